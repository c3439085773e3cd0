// Small fixes of the workbench: unpacking into a directory, and the listing's sort
// direction.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/CliRun.h"
#include "support/TestBoards.h"
#include "support/TestSupport.h"

namespace tessaly::cli {
namespace {

using test::RunArgs;

TEST(ContainerUnpack, TheSecondWordIsTheTargetDirectory) {
    test::TTempDir dir;
    WriteFileBytes(dir.File("a.txt"), "alpha\r\n");
    ASSERT_EQ(RunArgs({"container", "pack", dir.File("a.tj"), dir.File("a.txt")}).status, kExitOk);
    auto r = RunArgs({"container", "unpack", dir.File("a.tj"), dir.File("into")});
    ASSERT_EQ(r.status, kExitOk) << r.err.str();
    const std::string written = TrimRight(r.out.str());
    EXPECT_EQ(written.rfind(dir.File("into") + "/", 0), 0u) << written;
    EXPECT_EQ(ReadFileBytes(written), "alpha\r\n");
    // --to says the same; two different targets are refused, as is an unknown member.
    EXPECT_EQ(RunArgs({"container", "unpack", dir.File("a.tj"), dir.File("into"), "--to",
                       dir.File("into")})
                  .status,
              kExitOk);
    r = RunArgs({"container", "unpack", dir.File("a.tj"), dir.File("x"), "--to", dir.File("y")});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.str().find("two target directories"), std::string::npos);
    EXPECT_EQ(RunArgs({"container", "unpack", dir.File("a.tj"), dir.File("into"), "--member",
                       "no-such-member"})
                  .status,
              kExitUsage);
}

class ShowOrder : public test::TLoopTest {
  protected:
    ShowOrder() {
        home = Sandbox().Path();
        boards.WriteHome(home);
        test::DisableBoards(home);
    }
    // The listing's rows as (number, relevancy text, title).
    std::vector<std::vector<std::string>> Show(std::vector<std::string> extra) {
        std::vector<std::string> argv = {"--home", home, "show", "1"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        auto r = RunArgs(argv);
        EXPECT_EQ(r.status, kExitOk) << r.err.str();
        std::vector<std::vector<std::string>> rows;
        for (const auto& line : SplitLines(r.out.str())) {
            const TStrings cells = Split(line, "\t");
            rows.push_back({cells.at(0), cells.at(6), cells.at(2)});
        }
        return rows;
    }
    std::string home;
    test::TTestBoards boards;
};

TEST_F(ShowOrder, DescMeansHighestFirstAndAscTheOpposite) {
    auto r = RunArgs({"--home", home, "search", "--region", "Boston", "--offline", "welder"});
    ASSERT_EQ(r.status, kExitOk) << r.err.str() << r.out.str();
    const auto byDefault = Show({});
    ASSERT_GE(byDefault.size(), 2u);
    // The boards give jobs of different relevancy, so the direction shows.
    ASSERT_NE(byDefault.front()[1], byDefault.back()[1]);
    // Relevancy is shown highest first by default and with --desc.
    EXPECT_EQ(Show({"--sort", "relevancy", "--desc"}), byDefault);
    EXPECT_EQ(Show({"--desc"}), byDefault);
    for (size_t i = 1; i < byDefault.size(); ++i)
        EXPECT_GE(byDefault[i - 1][1], byDefault[i][1]);  // "(5) Highest" before "(4) High"
    auto ascending = Show({"--sort", "relevancy", "--asc"});
    std::reverse(ascending.begin(), ascending.end());
    EXPECT_EQ(ascending, byDefault);
    // Text columns go A to Z unless --desc.
    const auto titles = Show({"--sort", "title"});
    auto titlesDesc = Show({"--sort", "title", "--desc"});
    EXPECT_TRUE(std::is_sorted(titles.begin(), titles.end(),
                               [](const auto& a, const auto& b) { return a[2] < b[2]; }));
    std::reverse(titlesDesc.begin(), titlesDesc.end());
    EXPECT_EQ(titlesDesc, titles);
    EXPECT_EQ(RunArgs({"--home", home, "show", "1", "--asc", "--desc"}).status, kExitUsage);
}

}  // namespace
}  // namespace tessaly::cli
