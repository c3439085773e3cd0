#include "data/Relevancy.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace tessaly {
namespace {

TEST(WordMatch, SplitKeepsSeparators) {
    EXPECT_EQ(SplitScoreWords("IT "), (TStrings{"IT ", ""}));
    EXPECT_EQ(SplitScoreWords("New York"), (TStrings{"New ", "York"}));
    EXPECT_EQ(SplitScoreWords("a.b"), (TStrings{"a.b"}));  // "." is no separator here
    EXPECT_EQ(SplitScoreWords(""), (TStrings{""}));
}

TEST(WordMatch, NonePartialFull) {
    EXPECT_EQ(WordMatch("Boston", "Boston"), TWordMatch::Full);
    EXPECT_EQ(WordMatch("York", "New York"), TWordMatch::Partial);
    EXPECT_EQ(WordMatch("n/a", "MA"), TWordMatch::None);
    EXPECT_EQ(WordMatch("IT manager", "IT"), TWordMatch::None);  // "IT " is 80, not above
    // Every pair counts: two hits for one sought word overshoot "full".
    EXPECT_EQ(WordMatch("nurse nurse", "nurse"), TWordMatch::Partial);
    // A trailing blank leaves an empty sought word: full only when a keyword hits twice.
    EXPECT_EQ(WordMatch("nurse manager", "nurse manager "), TWordMatch::Partial);
    EXPECT_EQ(WordMatch("nurse nurse manager", "nurse manager "), TWordMatch::Full);
    EXPECT_EQ(WordMatch("Senior MANAGERS", "manager"), TWordMatch::Full);  // case folded
}

TEST(Scoring, DefaultWeightsAndLevels) {
    const TRelevancyWeights w;
    const int64_t best = RelevancyScore(w, "Nurse", "Hospital", "Boston", "Boston", "nurse");
    EXPECT_EQ(best, 3);
    EXPECT_EQ(RelevancyText(RelevancyLevel(best)), "(5) Highest");
    const int64_t worst = RelevancyScore(w, "Cook", "n/a", "n/a", "Boston", "nurse");
    EXPECT_EQ(worst, -1);
    EXPECT_EQ(RelevancyText(RelevancyLevel(worst)), "(1) Lowest");
    EXPECT_EQ(RelevancyScore(w, "Cook", "n/a", "Boston", "Boston", "nurse"), 1);
    EXPECT_EQ(RelevancyText(RelevancyLevel(1)), "(3) Average");
    EXPECT_EQ(RelevancyLevel(0), 3);
    EXPECT_EQ(RelevancyLevel(2), 5);
    EXPECT_EQ(RelevancyLevel(-100), 2);
    EXPECT_EQ(RelevancyLevel(100), 6);
    EXPECT_EQ(RelevancyText(0), "");
    EXPECT_EQ(RelevancyText(1), "");
    // Extreme weights from a definitions file do not overflow.
    const TRelevancyWeights big{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
    EXPECT_EQ(RelevancyLevel(RelevancyScore(big, "a", "b", "c", "d", "e")), 6);
}

class ScoreJobsTest : public test::TLoopTest {};

TEST_F(ScoreJobsTest, ScoresTheSiteJobsByItsWeightsAndKeepsDeletedOnes) {
    TStrings regions{"Boston"}, categories{"Eng"};
    TVelaSource site(0, &regions, &categories);
    site.CategoryRelevancy = 1;
    auto& a = site.Jobs.AddJob();
    a.Title = "Nurse";
    a.Company = "n/a";
    a.Location = "Boston";
    auto& b = site.Jobs.AddJob();
    b.Title = "Cook";
    b.Company = "n/a";
    b.Location = "n/a";
    auto& c = site.Jobs.AddJob();
    c.Title = "Nurse";
    c.Relevancy = kRelevancyDeleted;
    struct {
        std::string Region = "Boston";
        std::string Keywords = "nurse";
    } search;
    int asked = 0;
    ScoreSourceJobs(site, search, [&] { return ++asked > 0; });
    EXPECT_EQ(site.Jobs[0].Relevancy, 6);  // 1 + 1 + 2
    EXPECT_EQ(site.Jobs[1].Relevancy, 3);  // 1 - 1 + 0
    EXPECT_EQ(site.Jobs[2].Relevancy, kRelevancyDeleted);
    EXPECT_EQ(asked, 3);  // the caller was asked after each job
}

}  // namespace
}  // namespace tessaly
