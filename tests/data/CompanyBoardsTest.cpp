// Company career boards: the shipped families (data/companies.plain) over answers of our own
// in each service's published format (tests/fixtures/companies; companies and jobs are
// invented), the JSON cutting and the selection of whole boards, the board addresses people
// paste, and the sites a home adds after sources.def.
#include <gtest/gtest.h>

#include "data/BoardJobs.h"
#include "data/Companies.h"
#include "data/QueryBuilder.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"
#include "support/JobChecks.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

using test::TExpectedJob;

std::vector<TBoardFamily> ShippedFamilies() {
    const std::string path = test::FixturePath("../../data/companies.plain");
    return FamiliesOf(DecodeSourcesText(ReadFileBytes(path)), path);
}

class CompanyBoards : public test::TLoopTest {
  protected:
    CompanyBoards() : families(ShippedFamilies()) {
        auto enc = EncodeSourcesLines(ReadTextLines(test::FixturePath("../../data/sources.plain")));
        EXPECT_TRUE(enc.ok());
        if (enc.ok()) list.LoadFromText(enc.value(), "sources.plain");
    }

    TVelaSource& Watch(const std::string& family, const std::string& token,
                       const std::string& name) {
        const TBoardFamily* f = FindFamily(families, family);
        EXPECT_NE(f, nullptr) << family;
        return AddCompanySite(list, f ? *f : families[0], {family, token, name, 1});
    }

    // The first request of a site for a search in the first region and category.
    static std::string Request(TVelaSource& site) {
        TQuerySearch search;
        search.Region = site.MRegions->front();
        search.Category = site.MCategories->front();
        search.Keywords = "python";
        TQueryRequest r;
        EXPECT_TRUE(BuildFirstRequest(site, search, r));
        return r.URL + r.Parameters;
    }

    static TVelaJobsList& Harvest(TVelaSource& site, const std::string& fixture) {
        site.Jobs.ClearJobs();
        const std::string page =
            site.ScriptPage(ReadFileBytes(test::FixturePath("companies/" + fixture)));
        EXPECT_TRUE(site.PageInExpectedFormat(page)) << fixture;
        site.HarvestJobs(page);
        site.Jobs.CleanUpJobs();
        return site.Jobs;
    }

    std::vector<TBoardFamily> families;
    TVelaSourcesList list;
};

TEST_F(CompanyBoards, EachFamilyAsksItsApiAndReadsItsPublishedFormat) {
    struct TCase {
        const char *family, *token, *name, *request, *fixture;
        std::vector<TExpectedJob> jobs;
    };
    const std::vector<TCase> cases = {
        {"Greenhouse",
         "nimbusfreight",
         "Nimbus",
         "https://boards-api.greenhouse.io/v1/boards/nimbusfreight/jobs",
         "greenhouse.json",
         {{"Senior Python Engineer", "Nimbus Freight", "Zürich, Switzerland",
           "https://careers.nimbusfreight.example/jobs?gh_jid=4011001"},
          {"Data Analyst (Python & SQL)", "Nimbus Freight", "Remote - USA",
           "https://boards.greenhouse.io/nimbusfreight/jobs/4011002"},
          // No company name in the answer: the watch list's name.
          {"Office \"Front Desk\" Manager", "Nimbus", "Berlin",
           "https://boards.greenhouse.io/nimbusfreight/jobs/4011003"}}},
        {"lever",
         "tidewater",
         "Tidewater",
         "https://api.lever.co/v0/postings/tidewater?mode=json",
         "lever.json",
         // The sections' "text" keys come before the title's: lists inside a job are skipped.
         {{"Platform Engineer, Python", "Tidewater", "Lisbon, Portugal",
           "https://jobs.lever.co/tidewater/6b1e-01"},
          {"Account Executive – DACH", "Tidewater", "n/a",
           "https://jobs.lever.co/tidewater/6b1e-02"}}},
        {"Ashby",
         "quillworks",
         "Quill & Works",
         "https://api.ashbyhq.com/posting-api/job-board/quillworks",
         "ashby.json",
         {{"Staff Python Engineer", "Quill & Works", "Remote",
           "https://jobs.ashbyhq.com/quillworks/a1"},
          {"Product Designer", "Quill & Works", "Paris, France",
           "https://jobs.ashbyhq.com/quillworks/a2"}}},
        {"SmartRecruiters",
         "OrchardLabs",
         "Orchard",
         "https://api.smartrecruiters.com/v1/companies/OrchardLabs/postings?limit=100&offset=0",
         "smartrecruiters-page2.json",
         {{"Python Developer 100", "Orchard Labs", "Munich, Bavaria, de, Remote",
           "https://jobs.smartrecruiters.com/OrchardLabs/744000100"},
          {"Warehouse Associate 101", "Orchard Labs", "Munich, Bavaria, de",
           "https://jobs.smartrecruiters.com/OrchardLabs/744000101"},
          {"Warehouse Associate 102", "Orchard Labs", "Munich, Bavaria, de",
           "https://jobs.smartrecruiters.com/OrchardLabs/744000102"}}},
        {"Recruitee",
         "roadsurfer.com",
         "Kettle",
         "https://roadsurfer.com.recruitee.com/api/offers/",
         "recruitee.json",
         {{"Backend Developer (Python)", "Kettle & Kiln", "Hamburg, Germany",
           "https://kettlekiln.recruitee.com/o/backend-developer-python"},
          {"Barista Trainer", "Kettle & Kiln", "Amsterdam, Netherlands",
           "https://kettlekiln.recruitee.com/o/barista-trainer"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        TVelaSource& site = Watch(c.family, c.token, c.name);
        EXPECT_EQ(site.Title, c.name);
        EXPECT_TRUE(site.Enabled);
        EXPECT_TRUE(site.SelectByKeywords);
        EXPECT_EQ(Request(site), c.request);
        test::ExpectJobs(Harvest(site, c.fixture), c.jobs);
    }
}

TEST_F(CompanyBoards, NotFoundEmptyBoardAndErrorPageAreToldApart) {
    TVelaSource& lever = Watch("Lever", "nobody", "Nobody");
    const std::string missing =
        lever.ScriptPage(ReadFileBytes(test::FixturePath("companies/lever-not-found.json")));
    EXPECT_FALSE(lever.Parser.Run(lever.NotFoundScript, missing).empty());
    EXPECT_EQ(lever.Parser.Run(lever.NotFoundScript, lever.ScriptPage("[]")), "");
    EXPECT_TRUE(lever.PageInExpectedFormat(lever.ScriptPage("[]")));

    TVelaSource& gh = Watch("Greenhouse", "quiet", "Quiet");
    const std::string empty =
        gh.ScriptPage(ReadFileBytes(test::FixturePath("companies/greenhouse-empty.json")));
    EXPECT_TRUE(gh.PageInExpectedFormat(empty));
    EXPECT_EQ(gh.HarvestJobs(empty).Blocks, 0);
    EXPECT_EQ(gh.Parser.Run(gh.NotFoundScript, empty), "");
    const std::string challenge =
        gh.ScriptPage(ReadFileBytes(test::FixturePath("feeds/challenge-page.html")));
    EXPECT_FALSE(gh.PageInExpectedFormat(challenge));
    EXPECT_EQ(gh.Parser.Run(gh.NotFoundScript, challenge), "");
}

// A board's jobs are cut and read one by one: a cap or a stop keeps whole jobs in board
// order, and the blocks are counted up to the cap whether read or not.
TEST_F(CompanyBoards, CapsAndStopsKeepWholeJobsAndCountEveryBlock) {
    TVelaSource& site = Watch("Greenhouse", "nimbus", "Nimbus");
    const std::string page =
        site.ScriptPage(R"({"jobs":[{"title":"A","absolute_url":"https://x.test/1"},{"title":"1"},)"
                        R"({"title":"B","absolute_url":"https://x.test/2"},)"
                        R"({"title":"C","absolute_url":"https://x.test/3"}],"meta":{"total":4}})");
    struct {
        int maxBlocks, stopAt;  // KeepGoing says no once the list holds stopAt jobs
        int blocks, kept;
        std::vector<std::string> urls;
    } cases[] = {
        {-1, 99, 4, 3, {"https://x.test/1", "https://x.test/2", "https://x.test/3"}},
        {3, 99, 3, 2, {"https://x.test/1", "https://x.test/2"}},
        {0, 99, 0, 0, {}},
        {-1, 2, 4, 1, {"https://x.test/1"}},  // the job being read when stopped is dropped
    };
    for (const auto& c : cases) {
        site.Jobs.ClearJobs();
        site.BlockLimit = c.maxBlocks;
        site.Parser.KeepGoing = [&] { return site.Jobs.Count() < c.stopAt; };
        const THarvestCount count = site.HarvestJobs(page);
        std::vector<std::string> urls;
        for (int i = 0; i < site.Jobs.Count(); ++i)
            urls.push_back(site.Jobs[i].URL);
        EXPECT_EQ(urls, c.urls) << c.maxBlocks << " " << c.stopAt;
        EXPECT_EQ(count.Blocks, c.blocks) << c.maxBlocks << " " << c.stopAt;
        EXPECT_EQ(count.Kept, c.kept) << c.maxBlocks << " " << c.stopAt;
    }
}

// A board without a named charset is UTF-8 only when all of it is: a stray byte anywhere,
// even after the jobs, makes every job read as Windows-1252, the first ones included.
TEST_F(CompanyBoards, AStrayByteAnywhereMakesTheWholeBoardWindows1252) {
    TVelaSource& site = Watch("Greenhouse", "nimbus", "Nimbus");
    const std::string first =
        "{\"jobs\":[{\"title\":\"Caf\xC3\xA9 Lead\",\"absolute_url\":\"https://x.test/1\"},";
    struct {
        std::string rest;
        TStrings titles;
    } cases[] = {
        {"{\"title\":\"Z\xC3\xBCrich Ops\",\"absolute_url\":\"https://x.test/2\"}],\"n\":1}",
         {"Caf\xC3\xA9 Lead", "Z\xC3\xBCrich Ops"}},
        {"{\"title\":\"Ing\xE9nieur\",\"absolute_url\":\"https://x.test/2\"}],\"n\":1}",
         {"Caf\xC3\x83\xC2\xA9 Lead", "Ing\xC3\xA9nieur"}},
        {"{\"title\":\"Ops\",\"absolute_url\":\"https://x.test/2\"}],\"n\":\"\xE9\"}",
         {"Caf\xC3\x83\xC2\xA9 Lead", "Ops"}},
    };
    for (const auto& c : cases) {
        site.Jobs.ClearJobs();
        site.HarvestJobs(site.ScriptPage(first + c.rest));
        TStrings titles;
        for (int i = 0; i < site.Jobs.Count(); ++i)
            titles.push_back(site.Jobs[i].Title);
        EXPECT_EQ(titles, c.titles) << c.rest;
    }
}

TEST_F(CompanyBoards, SmartRecruitersPagesByOffset) {
    TVelaSource& site = Watch("SmartRecruiters", "OrchardLabs", "Orchard");
    Request(site);
    const std::string page1 =
        site.ScriptPage(ReadFileBytes(test::FixturePath("companies/smartrecruiters-page1.json")));
    EXPECT_EQ(site.HarvestJobs(page1).Kept, 100);
    TQueryRequest next;
    ASSERT_TRUE(BuildNextRequest(site, page1, next));
    EXPECT_EQ(
        next.URL,
        "https://api.smartrecruiters.com/v1/companies/OrchardLabs/postings?limit=100&offset=100");
    ASSERT_TRUE(BuildNextRequest(site, page1, next));
    EXPECT_TRUE(next.URL.ends_with("offset=200"));
    // A fresh search starts again from the first page.
    Request(site);
    ASSERT_TRUE(BuildNextRequest(site, page1, next));
    EXPECT_TRUE(next.URL.ends_with("offset=100"));
}

TEST(JsonArrayElements, CutsByNestingWhateverTheStringsHold) {
    struct TCase {
        const char *json, *key;
        TStrings want;
    };
    const std::vector<TCase> cases = {
        {R"({"meta":{"jobs":[1]},"jobs":[{"a":"}{,]"},{"b":{"c":[{"d":1}]}}]})",
         "jobs",
         {R"({"a":"}{,]"})", R"({"b":{"c":[]}})"}},
        {R"({"x":"\"jobs\":[9]","jobs":[]})", "jobs", {}},
        {R"([{"t":"a\\\"b\/c\\"},{"t":"\u0026"}])",
         ".",
         {R"({"t":"a&#92;&quot;b/c&#92;"})", R"({"t":"\u0026"})"}},
        {R"( [ {"t":1} , {"t":2} ] )", ".", {R"({"t":1})", R"({"t":2})"}},
        {R"({"ok":false,"error":"Document not found"})", ".", {}},
        {R"({"jobs":[{"t":1},{"t":"cut sho)", "jobs", {R"({"t":1})"}},
        {R"({"jobs":{"t":1}})", "jobs", {}},
        {"<html>", "jobs", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JsonArrayElements(c.json, c.key), c.want) << c.json;
}

// Long strings are scanned in chunks: every escape must be read alike wherever it falls.
TEST(JsonArrayElements, EscapesAreReadAlikeAtEveryPlaceOfALongString) {
    const std::vector<std::pair<std::string, std::string>> escapes = {
        {R"(\\\")", "&#92;&quot;"},
        {R"(\\\\)", "&#92;&#92;"},
        {R"(\\\/)", "&#92;/"},
        {R"(\\u0026)", "&#92;u0026"},
        {R"(\u0026\n)", R"(\u0026\n)"},
        {R"(\")", "&quot;"},
        {"</p>", "</p>"},
    };
    for (const auto& [escape, want] : escapes)
        for (size_t pad = 0; pad < 40; ++pad)
            for (const std::string after : {"", "x"}) {
                const std::string text = std::string(pad, 'a') + escape + after;
                const std::string json = "[{\"t\":\"" + text + "\"},{\"u\":1}]";
                const TStrings blocks = JsonArrayElements(json, ".");
                ASSERT_EQ(blocks.size(), 2u) << json;
                EXPECT_EQ(blocks[0], "{\"t\":\"" + std::string(pad, 'a') + want + after + "\"}")
                    << json;
                EXPECT_EQ(CompactJson("[ \"" + text + "\" , 1 ]"), "[\"" + text + "\",1]");
            }
}

TEST(BoardSelection, TitlesHoldAllWordsAnyAlternativeOrAPhrase) {
    struct TCase {
        const char *title, *keywords;
        bool holds;
    };
    const std::vector<TCase> cases = {
        {"Senior Python Engineer", "python", true},
        {"Senior Ruby on Rails Engineer", "python", false},
        {"Senior Python Engineer", "python engineer", true},
        {"Python Developer", "python engineer", false},
        {"Python Developers", "python developer", true},  // plurals are alike
        {"Data Engineer", "python OR data", true},
        {"Office Manager", "python OR data", false},
        {"Data Engineer, Python", "\"python engineer\"", false},
        {"Senior Python Engineer", "\"python engineer\" senior", true},
        {"C++ Developer", "c++", true},
        {"Anything", "", true},
        {"Anything", " , ", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TitleHoldsKeywords(c.title, c.keywords), c.holds)
            << c.title << " / " << c.keywords;
}

TEST(BoardSelection, RegionsKeepTheirPlacesAndRemoteJobs) {
    const TStrings master = {"Anywhere", "USA", "Germany", "Asia-Pacific"};
    const TStrings names = {"", "USA, United States, California", "Germany, Berlin, München"};
    TVelaJobsList jobs;
    for (const char* location : {"Berlin", "Remote - USA", "San Jose, California", "München",
                                 "Paris, France", "Worldwide", "n/a", "Kaberlin"}) {
        TVelaJob& j = jobs.AddJob();
        j.Title = "Python Engineer";
        j.Location = location;
    }
    TVelaJob& other = jobs.AddJob();
    other.Title = "Barista";
    other.Location = "Berlin";

    auto kept = [&](const std::string& region, const std::string& keywords) {
        TVelaJobsList copy;
        for (int i = 0; i < jobs.Count(); ++i) {
            TVelaJob& j = copy.AddJob();
            j.Title = jobs[i].Title;
            j.Location = jobs[i].Location;
        }
        SelectBoardJobs(copy, keywords, region, master, names);
        TStrings out;
        for (int i = 0; i < copy.Count(); ++i)
            out.push_back(copy[i].Location);
        return out;
    };
    EXPECT_EQ(kept("Anywhere", "python").size(), 8u);
    EXPECT_EQ(kept("Anywhere", "").size(), 9u);
    EXPECT_EQ(kept("Germany", "python"),
              (TStrings{"Berlin", "Remote - USA", "München", "Worldwide"}));
    EXPECT_EQ(kept("USA", "python"),
              (TStrings{"Remote - USA", "San Jose, California", "Worldwide"}));
    // A region without its line of names is known by its own name.
    EXPECT_EQ(kept("Asia-Pacific", "python"), (TStrings{"Remote - USA", "Worldwide"}));
}

TEST(BoardAddresses, PastedAddressesGiveFamilyAndToken) {
    const std::vector<TBoardFamily> families = ShippedFamilies();
    struct TCase {
        const char *input, *family, *token;  // family null: refused
    };
    const std::vector<TCase> cases = {
        {"https://boards.greenhouse.io/nimbusfreight", "Greenhouse", "nimbusfreight"},
        {"boards.greenhouse.io/nimbusfreight/", "Greenhouse", "nimbusfreight"},
        {"https://job-boards.greenhouse.io/Nimbus.Freight?gh_src=abc#top", "Greenhouse",
         "Nimbus.Freight"},
        {"HTTPS://BOARDS.GREENHOUSE.IO/nimbus/jobs/4011001", "Greenhouse", "nimbus"},
        {"https://jobs.lever.co/tidewater/6b1e-01/apply", "Lever", "tidewater"},
        {"www.jobs.ashbyhq.com/quillworks", "Ashby", "quillworks"},
        {"jobs.smartrecruiters.com/WesternDigital/744000100", "SmartRecruiters", "WesternDigital"},
        {"https://careers.smartrecruiters.com/OrchardLabs", "SmartRecruiters", "OrchardLabs"},
        {"https://roadsurfer.com.recruitee.com/o/driver", "Recruitee", "roadsurfer.com"},
        {"greenhouse:nimbus_freight-2", "Greenhouse", "nimbus_freight-2"},
        {"  SMARTRECRUITERS:Orchard  ", "SmartRecruiters", "Orchard"},
        {"https://example.com/jobs/acme", nullptr, nullptr},
        {"boards.greenhouse.io/", nullptr, nullptr},
        {"boards.greenhouse.io/a%2Fb", nullptr, nullptr},
        {"greenhouse:../../etc", nullptr, nullptr},
        {"greenhouse:acme?x=1", nullptr, nullptr},
        {"greenhouse:..", nullptr, nullptr},
        {"workday:acme", nullptr, nullptr},
        {"evil.com/.recruitee.com", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const auto ref = ParseBoardAddress(c.input, families);
        if (c.family == nullptr) {
            ASSERT_FALSE(ref.ok()) << c.input << " -> " << ref.value().Token;
            EXPECT_NE(ref.error().find("jobs.lever.co/TOKEN"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(ref.ok()) << c.input << ": " << ref.error();
        EXPECT_EQ(ref.value().Family, c.family) << c.input;
        EXPECT_EQ(ref.value().Token, c.token) << c.input;
    }
}

TEST(OwnSites, ComeAfterSourcesDefWithTheirOriginAndSlipsAreTold) {
    test::TTempDir home;
    WriteFileBytes(
        home.File(kOwnSourcesFile),
        "Title\r\nMy Board\r\nEnabled\r\nTrue\r\nFirstPageURL\r\nhttps://my.example/?\r\n"
        "Title|1\r\nDoodle\r\nFirstPageURL|1\r\nhttps://%board%.doodle.example/jobs\r\n"
        "BoardAddress|1\r\n%board%.doodle.example\r\nEnabled|1\r\nTrue\r\n"
        "Title|2\r\nSecond\r\n");
    WriteFileBytes(home.File(kWatchListFile),
                   "# mine\n"
                   "greenhouse:nimbus Nimbus Freight\n"
                   "doodle:acme\n"
                   "workday:acme Acme\n"
                   "lever:bad/token\n"
                   "lever:nimbus nimbus freight\n"
                   "not a line\n");
    TVelaSourcesList list;
    list.LoadFromText("Title\r\nShipped\r\nTitle|1\r\nAlso Shipped\r\n", "sources.def");
    const TStrings errors = AddOwnSites(list, home.Path(), test::FixturePath("../../data"));
    TStrings titles, origins;
    for (int i = 0; i < list.Count(); ++i) {
        titles.push_back(list[i].Title);
        origins.push_back(list[i].Origin);
    }
    // The family in the user's own file is no site; its company is.
    EXPECT_EQ(titles, (TStrings{"Shipped", "Also Shipped", "My Board", "Second", "Nimbus Freight",
                                "acme"}));
    EXPECT_EQ(origins[2], kOwnSourcesFile);
    EXPECT_EQ(origins[4], "companies.txt (Greenhouse:nimbus)");
    EXPECT_EQ(list[5].FirstPageURL, "https://acme.doodle.example/jobs");
    EXPECT_EQ(list[4].CompanyName, "Nimbus Freight");
    ASSERT_EQ(errors.size(), 4u) << Join(errors, "\n");
    EXPECT_NE(errors[0].find("line 5: \"bad/token\" is no board token"), std::string::npos);
    EXPECT_NE(errors[1].find("line 7: expected FAMILY:TOKEN"), std::string::npos);
    EXPECT_NE(errors[2].find("line 4: no board family \"workday\""), std::string::npos);
    EXPECT_NE(errors[3].find("line 6: a site named \"nimbus freight\""), std::string::npos);
}

}  // namespace
}  // namespace tessaly
