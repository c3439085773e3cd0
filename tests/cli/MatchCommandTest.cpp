#include <gtest/gtest.h>

#include <sstream>

#include "cli/Command.h"
#include "data/VelaSources.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

using test::RunArgs;

class MatchCommandTest : public ::testing::Test {
  protected:
    test::TTempDir dir;
    std::string defs = dir.File("sources.def");
    std::string page = dir.File("page.html");
    void SetUp() override {
        const TStrings plain = {"MRegions",
                                "Texas",
                                "MCategories",
                                "Eng",
                                "Title",
                                "Site",
                                "FirstPageURL",
                                "http://s.test/?",
                                "Regions",
                                "tx",
                                "Categories",
                                "e",
                                "FirstPageParameters",
                                "q=<keyword:+>|\xA7|&r=<region>",
                                "CategoryRelevancy",
                                "2"};
        auto encoded = EncodeSourcesLines(plain);
        ASSERT_TRUE(encoded.ok());
        WriteFileBytes(defs, encoded.value());
        WriteFileBytes(page, "<p>Managers wanted</p> MANAGER");
    }
};

TEST_F(MatchCommandTest, QueryPrintsTheFirstRequest) {
    auto c = RunArgs({"query", defs, "Site", "--region", "Texas", "--category", "Eng", "--keywords",
                      "nurse  manager", "--json"});
    EXPECT_EQ(c.status, kExitOk) << c.err.str();
    EXPECT_EQ(c.out.str(),
              "{\"ok\": true, \"URL\": \"http://s.test/?\", \"IsPost\": false, \"Parameters\": "
              "\"q=nurse+manager&r=tx\"}\n");
    auto none =
        RunArgs({"query", defs, "0", "--region", "Mars", "--category", "Eng", "--keywords", "x"});
    EXPECT_EQ(none.status, kExitFailed);
    auto bad =
        RunArgs({"query", defs, "5", "--region", "Texas", "--category", "Eng", "--keywords", "x"});
    EXPECT_EQ(bad.status, kExitUsage);
    EXPECT_NE(bad.err.str().find("no site number 5"), std::string::npos);
}

TEST_F(MatchCommandTest, SimilarityScoreAndMatch) {
    EXPECT_EQ(RunArgs({"similarity", "MANAGERS", "MANAGER"}).out.str(), "93\n");
    auto s = RunArgs({"score", defs, "0", "--region", "Texas", "--keywords", "nurse", "--title",
                      "Nurse", "--location", "Texas"});
    EXPECT_EQ(s.out.str(), "5 (5) Highest\n") << s.err.str();
    EXPECT_EQ(RunArgs({"match", "manager", page}).out.str(), "2\n");
    EXPECT_EQ(RunArgs({"match", "manager nurse", page, "--all"}).out.str(), "0\n");
    EXPECT_EQ(RunArgs({"match", "manager", dir.File("missing")}).status, kExitUsage);
    // A page in the Windows code page matches keywords typed in UTF-8, and the same page in
    // UTF-8 does too ("qualit\xe9" in raw bytes would be only 80 % alike).
    const std::string latin = dir.File("latin.html");
    WriteFileBytes(latin, "<p>Contr\xf4le qualit\xe9, \xe9t\xe9</p>");
    const std::string utf8 = dir.File("utf8.html");
    WriteFileBytes(utf8,
                   "<meta charset=utf-8><p>Contr\xc3\xb4le qualit\xc3\xa9, \xc3\xa9t\xc3\xa9</p>");
    for (const std::string& p : {latin, utf8})
        EXPECT_EQ(RunArgs({"match", "qualit\xc3\xa9 \xc3\xa9t\xc3\xa9", p, "--all"}).out.str(),
                  "2\n")
            << p;
}

}  // namespace
}  // namespace tessaly::cli
