// A whole search over the demo boards through the engine: every board ends with its
// expected status, the gauge reaches its maximum, the preferred board's jobs come first.
#include <gtest/gtest.h>

#include <map>

#include "DemoFixture.h"
#include "search/SearchEngine.h"

namespace tessaly::test {
namespace {

class DemoSearch : public TDemoTest {
  protected:
    DemoSearch() : TDemoTest(3000) {}
};

TEST_F(DemoSearch, EveryBoardEndsWithItsStatus) {
    LoadSites();
    TAcceptingFrontEnd accept;
    TSearchEngine run(Sandbox().Path(), accept);
    ASSERT_NO_FATAL_FAILURE(StartEngine(run));
    ASSERT_TRUE(SearchEveryBoard(run));

    std::map<std::string, std::string> status = BoardStatus(run);
    EXPECT_EQ(status["Lazy River Jobs"], "Timed Out");
    EXPECT_EQ(status["Harbor Line Careers"], "Unreachable");
    EXPECT_EQ(status["TechPost Careers"], "Done");
    EXPECT_EQ(run.ProgressRows().GaugePosition, run.ProgressRows().GaugeMax);
    EXPECT_GT(run.ProgressRows().GaugeMax, 0);
    EXPECT_EQ(Said().messages, std::vector<std::string>{"Search Completed."});
    ASSERT_GT(run.Jobs().Count(), 20);
    // Pinned while merged, the preferred board's jobs stay highlighted.
    EXPECT_EQ(run.Jobs()[0].Source, "TechPost Careers");
    EXPECT_TRUE(run.Jobs()[0].High);
    for (int i = 0; i < run.Jobs().Count(); ++i) {
        const TVelaJob& j = run.Jobs()[i];
        EXPECT_FALSE(j.Title.empty());
        EXPECT_EQ(j.URL.rfind("http://127.0.0.1:", 0), 0u) << j.URL;
        EXPECT_EQ(j.Title.find("&amp;"), std::string::npos) << "entities decoded";
    }

    // An update while the boards list the same jobs adds nothing.
    const int count = run.Jobs().Count();
    run.MMUpdateClick();
    ASSERT_TRUE(WaitFor([&] { return run.State() == rsIdle; }, 30000));
    EXPECT_EQ(run.Jobs().Count(), count);
    EXPECT_FALSE(run.Jobs().HasStatus(kStatusNew));
}

}  // namespace
}  // namespace tessaly::test
