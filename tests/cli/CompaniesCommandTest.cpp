// `tessaly companies` and watched companies in searches: the watch list's commands on every
// address form, `check` over saved answers, and a search that reaches the boards' real
// https host names through the program's proxy, answered by a loopback stand-in with a
// certificate of the test CA (trusted through --cafile). The answers are fixtures of our
// own in each family's format.
#include <gtest/gtest.h>

#include <map>

#include "data/ConfigBox.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"
#include "support/TestTls.h"

namespace tessaly::cli {
namespace {

using test::TTestHttpServer;

class Companies : public test::TCliTest {
  protected:
    Companies() : home(sandbox.File("home")) { PrepareHomeDirectory(home, ShippedDataDirectory()); }
    int Home(std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"--home", home});
        return Run(argv);
    }
    static std::string Fixture(const std::string& name) {
        return test::FixturePath("companies/" + name);
    }
    test::TTempDir sandbox;
    std::string home;
};

TEST_F(Companies, AddTellsFamilyAndTokenAndRefusesWhatItDoesNotKnow) {
    struct TCase {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const std::vector<TCase> cases = {
        {{"https://boards.greenhouse.io/nimbusfreight/", "--name", "Nimbus"},
         kExitOk,
         "Watching \"Nimbus\": Greenhouse board nimbusfreight."},
        {{"jobs.lever.co/tidewater?lever-source=x"}, kExitOk, "Lever board tidewater"},
        {{"https://jobs.ashbyhq.com/quillworks"}, kExitOk, "Ashby board quillworks"},
        {{"smartrecruiters:OrchardLabs"}, kExitOk, "SmartRecruiters board OrchardLabs"},
        {{"kettlekiln.recruitee.com/o/x", "--name", "Kettle & Kiln"}, kExitOk, "Recruitee"},
        // The same board again, a name already searched, unknown or unsafe forms.
        {{"greenhouse:nimbusfreight"}, kExitUsage, "already watched, as \"Nimbus\""},
        {{"lever:other", "--name", "nimbus"}, kExitUsage, "a site named \"Nimbus\""},
        {{"lever:other", "--name", "Remote OK"}, kExitUsage, "already searched"},
        {{"https://careers.example.com/acme"}, kExitUsage, "jobs.ashbyhq.com/TOKEN"},
        {{"greenhouse:acme/../../x"}, kExitUsage, "FAMILY:TOKEN"},
        {{"boards.greenhouse.io/acme%3Fx"}, kExitUsage, "no board address"},
        {{"lever:bar", "--name", "a|b"}, kExitUsage, "no control character"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {"companies", "add"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(Home(argv), c.status) << c.args[0] << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.says), std::string::npos)
            << c.args[0] << "\n"
            << out.str() << err.str();
    }
    ASSERT_EQ(Home({"companies", "list"}), kExitOk);
    EXPECT_EQ(out.str(),
              "Nimbus\tGreenhouse\tnimbusfreight\ntidewater\tLever\ttidewater\n"
              "quillworks\tAshby\tquillworks\nOrchardLabs\tSmartRecruiters\tOrchardLabs\n"
              "Kettle & Kiln\tRecruitee\tkettlekiln\n");
    ASSERT_EQ(Home({"sources"}), kExitOk);
    EXPECT_NE(out.str().find("Kettle & Kiln\tenabled\tcompanies.txt (Recruitee:kettlekiln)"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("Remote OK\tenabled\tsources.def"), std::string::npos);

    // Removal by token or name, in any case; the list's notes stay.
    EXPECT_EQ(Home({"companies", "remove", "NIMBUSFREIGHT"}), kExitOk);
    EXPECT_EQ(Home({"companies", "remove", "kettle & KILN"}), kExitOk);
    EXPECT_EQ(Home({"companies", "remove", "nobody"}), kExitUsage);
    EXPECT_EQ(ReadFileBytes(JoinPath(home, "companies.txt")),
              "# Companies watched by every search: FAMILY:TOKEN and the name shown.\n"
              "Lever:tidewater\nAshby:quillworks\nSmartRecruiters:OrchardLabs\n");
}

TEST_F(Companies, CheckReadsASavedAnswerAndTellsNotFoundAndOtherFormats) {
    ASSERT_EQ(Home({"companies", "add", "lever:tidewater", "--name", "Tidewater"}), kExitOk);
    ASSERT_EQ(Home({"companies", "add", "greenhouse:nimbus"}), kExitOk);
    struct TCase {
        const char *name, *page;
        int status;
        const char* says;
    };
    const std::vector<TCase> cases = {
        {"tidewater", "lever.json", kExitOk, "Tidewater: 2 jobs\n"},
        {"Tidewater", "lever-not-found.json", kExitFailed, "Tidewater: not found\n"},
        {"nimbus", "greenhouse-empty.json", kExitOk, "nimbus: 0 jobs\n"},
        {"nimbus", "../feeds/challenge-page.html", kExitFailed,
         "nimbus: not in the expected format\n"},
        {"nimbus", "lever.json", kExitFailed, "nimbus: not in the expected format\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Home({"companies", "check", c.name, "--page", Fixture(c.page)}), c.status)
            << c.page << err.str();
        EXPECT_EQ(out.str(), c.says) << c.page;
    }
    EXPECT_EQ(Home({"companies", "check", "--page", Fixture("lever.json")}), kExitUsage);
    EXPECT_EQ(Home({"companies", "check", "nobody"}), kExitUsage);

    ASSERT_EQ(
        Home({"companies", "check", "nimbus", "--page", Fixture("greenhouse.json"), "--json"}),
        kExitOk);
    EXPECT_EQ(err.str(), "nimbus: 3 jobs\n");
    EXPECT_NE(out.str().find("{\"Title\": \"Data Analyst (Python & SQL)\", \"Company\": "
                             "\"Nimbus Freight\", \"Location\": \"Remote - USA\", \"URL\": "
                             "\"https://boards.greenhouse.io/nimbusfreight/jobs/4011002\"}"),
              std::string::npos)
        << out.str();
}

// Without a file, defs check reads the user's own definitions, which take the master lists
// of sources.def and may hold families.
TEST_F(Companies, DefsCheckReadsTheOwnFileAndItsFamilies) {
    WriteFileBytes(JoinPath(home, "mysources.plain"),
                   "Title\r\nDoodle\r\nEnabled\r\nTrue\r\n"
                   "FirstPageURL\r\nhttps://%board%.doodle.example/jobs\r\n"
                   "BoardAddress\r\ndoodle.example/jobs\r\nTextFormat\r\nJSON\r\n"
                   "JsonJobArray\r\njobs\r\nJobTitleScript\r\nGet(All, Forward);\r\n"
                   "Regions\r\nx\r\nSelectByKeywords\r\nTrue\r\n");
    EXPECT_EQ(Home({"defs", "check"}), kExitFailed) << err.str();
    EXPECT_NE(out.str().find("BoardAddress \"doodle.example/jobs\" has no %board%"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("Regions codes"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("JobBlockScript"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("unknown key"), std::string::npos) << out.str();

    // A family's scripts over a saved answer: blocks cut by the JSON array.
    const std::string families = test::FixturePath("../../data/companies.plain");
    Run({"defs", "check", families, "--page", "Greenhouse", Fixture("greenhouse.json")});
    EXPECT_NE(out.str().find("JsonJobArray \"jobs\": found 3 blocks\n  JobTitleScript: found in 3 "
                             "of 3 blocks (first: \"Senior Python Engineer\")"),
              std::string::npos)
        << out.str();
    Run({"defs", "check", families, "--page", "Lever", Fixture("lever-not-found.json")});
    EXPECT_NE(out.str().find("NotFoundScript: the answer says the board does not exist"),
              std::string::npos)
        << out.str();
}

// The watched companies of a search, through the proxy to the boards' real host names.
class CompaniesOverHttps : public Companies {
  protected:
    CompaniesOverHttps()
        : server([this](const TTestHttpServer::TRequest& r) { return Answer(r); },
                 test::TestLeaf("boards",
                                "DNS:boards-api.greenhouse.io,DNS:api.lever.co,DNS:api.ashbyhq.com,"
                                "DNS:api.smartrecruiters.com,DNS:kettlekiln.recruitee.com"),
                 TTestHttpServer::TTunnel{}, true) {
        for (const char* f :
             {"greenhouse.json", "lever.json", "lever-not-found.json", "ashby.json",
              "smartrecruiters-page1.json", "smartrecruiters-page2.json", "recruitee.json"})
            answers[f] = ReadFileBytes(Fixture(f));
        TConfigBox options;
        const std::string path = JoinPath(home, "options.box");
        if (FileExists(path)) options.LoadFromFile(path);
        // A store the options dialog wrote: its connection settings are read.
        options.WriteString("Visual", "Yellow", "1");
        options.WriteString("Connection", "MaxJobs", "75");
        options.WriteString("Connection", "MaxThreads", "8");
        options.WriteString("Connection", "TimeOut", "30");
        options.WriteString("Connection", "UseProxy", "True");
        options.WriteString("Connection", "ProxyIP", "127.0.0.1");
        options.WriteString("Connection", "ProxyPort", IntToStr(server.Port()));
        // Only the watched companies take part.
        for (const char* board :
             {"We Work Remotely", "Remote OK", "Remotive", "Jobicy", "Arbeitnow"})
            options.WriteString("Sources", board, "Disabled");
        options.SaveToFile(path);
        WriteFileBytes(JoinPath(home, "companies.txt"),
                       "greenhouse:nimbusfreight Nimbus\nlever:tidewater Tidewater\n"
                       "lever:ghost Ghost\nashby:quillworks Quillworks\n"
                       "smartrecruiters:OrchardLabs Orchard\nrecruitee:kettlekiln Kettle\n"
                       "greenhouse:gone Gone\n");
    }

    TTestHttpServer::TAnswer Answer(const TTestHttpServer::TRequest& r) const {
        static const std::map<std::string, std::string> byPath = {
            {"/v1/boards/nimbusfreight/jobs", "greenhouse.json"},
            {"/v0/postings/tidewater?mode=json", "lever.json"},
            {"/v0/postings/ghost?mode=json", "lever-not-found.json"},
            {"/posting-api/job-board/quillworks", "ashby.json"},
            {"/v1/companies/OrchardLabs/postings?limit=100&offset=0", "smartrecruiters-page1.json"},
            {"/v1/companies/OrchardLabs/postings?limit=100&offset=100",
             "smartrecruiters-page2.json"},
            {"/api/offers/", "recruitee.json"},
        };
        const TStrings parts = Split(r.requestLine, " ");
        const auto it = byPath.find(parts.size() > 1 ? parts[1] : "");
        if (it == byPath.end())
            return TTestHttpServer::Status(404, "Not Found", R"({"status":404,"error":"x"})");
        return TTestHttpServer::Normal(answers.at(it->second),
                                       "Content-Type: application/json; charset=utf-8\r\n");
    }

    std::map<std::string, std::string> answers;
    TTestHttpServer server;
};

TEST_F(CompaniesOverHttps, EachCompanyIsASiteOfTheSearchWithItsSelectionAndStatus) {
    const std::string ca = test::TestCertificates().caFile;
    ASSERT_EQ(Run({"--cafile", ca, "--home", home, "search", "--region", "Anywhere", "--category",
                   "All Categories", "--offline", "python"}),
              kExitOk)
        << err.str() << out.str();
    const std::string o = out.str();
    for (const char* line :
         {"Nimbus: Done, found 3, kept 2", "Tidewater: Done, found 2, kept 1", "Ghost: Not Found",
          "Gone: Not Found", "Quillworks: Done, found 2, kept 1",
          "Orchard: Done, found 103, kept 11", "Kettle: Done, found 2, kept 1"})
        EXPECT_NE(o.find(line), std::string::npos) << line << "\n" << o;
    EXPECT_EQ(o.find("Ghost: Done"), std::string::npos) << o;

    // One request per company, and the second page of the one that pages.
    EXPECT_EQ(server.Requests().size(), 8u);
    const std::vector<std::string> connects = server.Connects();
    EXPECT_NE(std::find(connects.begin(), connects.end(),
                        "CONNECT boards-api.greenhouse.io:443 HTTP/1.0"),
              connects.end());
    EXPECT_NE(std::find(connects.begin(), connects.end(),
                        "CONNECT kettlekiln.recruitee.com:443 HTTP/1.0"),
              connects.end());

    ASSERT_EQ(Run({"--home", home, "show", "1", "--json"}), kExitOk) << err.str();
    EXPECT_NE(out.str().find(R"("Title": "Senior Python Engineer", "Company": "Nimbus Freight", )"
                             R"("Location": "Zürich, Switzerland", "Source": "Nimbus")"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("https://jobs.smartrecruiters.com/OrchardLabs/744000100"),
              std::string::npos);
    EXPECT_EQ(out.str().find("Warehouse"), std::string::npos);

    // The same boards without the test CA trusted: no board answers, which is a failure.
    ASSERT_EQ(Run({"--home", home, "search", "--offline", "python"}), kExitUsage) << err.str();
    EXPECT_EQ(out.str().find(": Done"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("No job site could be reached."), std::string::npos) << err.str();

    // The check asks the board once, as a search does.
    EXPECT_EQ(Run({"--cafile", ca, "--home", home, "companies", "check", "orchard"}), kExitOk);
    EXPECT_EQ(out.str(), "Orchard: 103 jobs\n");
    EXPECT_EQ(Run({"--cafile", ca, "--home", home, "companies", "check", "gone"}), kExitFailed);
    EXPECT_EQ(out.str(), "Gone: not found\n");
}

}  // namespace
}  // namespace tessaly::cli
