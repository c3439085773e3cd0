// One opening, one row, from end to end: loopback boards that cross-post, a search, an
// update, the listing, its exports and the option that keeps every posting a row.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestBoards.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

class CrossPosts : public test::TLoopTest {
  protected:
    CrossPosts() {
        home = Sandbox().Path();
        // Zeta lists Alpha's "SENIOR WELDER" once crossPost is set, spelled its own way.
        boards.extraAnswer = [this](const test::TTestHttpServer::TRequest&) {
            std::string rows = test::JobRow(7, "Pipe Fitter", "Harbor Works", "Boston, MA");
            if (crossPost) {
                rows += test::JobRow(8, "Sr. Welder", "Smith &amp; Sons, Inc.",
                                     "Boston, Massachusetts, USA");
                rows += test::JobRow(9, "Welder II", "Smith &amp; Sons", "Boston, MA");
            }
            return test::TTestHttpServer::Normal("<html><table>\n" + rows + "</table></html>\n");
        };
        boards.WriteHome(home, "Zeta Jobs");
        test::DisableBoards(home);
    }
    test::TCliRun Run(std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"--home", home});
        return test::RunArgs(argv);
    }
    TStrings Lines(std::vector<std::string> argv) {
        auto r = Run(std::move(argv));
        EXPECT_EQ(r.status, kExitOk) << r.err.str();
        return SplitLines(r.out.str());
    }

    std::string home;
    std::atomic<bool> crossPost{false};
    test::TTestBoards boards;
};

TEST_F(CrossPosts, UpdateGroupsTheCopyUnderItsRowShownAndExportedWithIt) {
    auto r = Run({"search", "--region", "Boston", "--offline", "--quiet", "welder"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    ASSERT_EQ(Lines({"show", "1"}).size(), 4u);

    crossPost = true;
    r = Run({"update", "1", "--offline", "--quiet"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    // The copy joined Alpha's row; only the other level is a new opening.
    const TStrings fresh = Lines({"show", "1", "--new"});
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_NE(fresh[0].find("Welder II"), std::string::npos) << fresh[0];
    const TStrings shown = Lines({"show", "1", "--sort", "title"});
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_NE(shown[2].find("Senior Welder\tSmith & Sons\tBoston, MA\tAlpha Jobs +1\t"),
              std::string::npos)
        << shown[2];
    for (size_t i : {0u, 1u, 3u, 4u})
        EXPECT_EQ(shown[i].find(" +"), std::string::npos) << shown[i];

    const std::string copy = boards.Host() + "/job/8";
    r = Run({"show", "1", "--json"});
    const std::string json = r.out.str();
    EXPECT_NE(json.find("\"AlsoOn\": [{\"Source\": \"Zeta Jobs\", \"URL\": \"" + copy + "\"}]"),
              std::string::npos)
        << json;
    EXPECT_EQ(Split(json, "\"AlsoOn\": []").size(), 5u) << json;  // the other four rows

    const std::string csv = JoinPath(home, "out.csv");
    ASSERT_EQ(Run({"export", "1", csv}).status, kExitOk);
    const TStrings rows = SplitLines(ReadFileBytes(csv));
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_TRUE(EndsWith(rows[0], ",LocalFile,AlsoOn")) << rows[0];
    int grouped = 0;
    for (const std::string& row : rows)
        grouped += EndsWith(row, "," + copy) ? 1 : 0;
    EXPECT_EQ(grouped, 1);

    // A second update brings the copy again: still one row, one other board, nothing New.
    ASSERT_EQ(Run({"update", "1", "--offline", "--quiet"}).status, kExitOk);
    EXPECT_EQ(Lines({"show", "1"}).size(), 5u);
    EXPECT_TRUE(Lines({"show", "1", "--new"}).empty());
    EXPECT_EQ(Split(Run({"show", "1", "--json"}).out.str(), copy).size(), 2u);
}

TEST_F(CrossPosts, TheOptionKeepsEveryPostingARow) {
    crossPost = true;
    const std::string box = JoinPath(home, "options.box");
    ASSERT_EQ(Run({"box", "set", box, "Search", "GroupCrossPosts", "False"}).status, kExitOk);
    ASSERT_EQ(Run({"search", "--region", "Boston", "--offline", "--quiet", "welder"}).status,
              kExitOk);
    const TStrings shown = Lines({"show", "1"});
    EXPECT_EQ(shown.size(), 6u);
    for (const std::string& line : shown)
        EXPECT_EQ(line.find(" +"), std::string::npos) << line;
}

}  // namespace
}  // namespace tessaly::cli
