// The generated jobs: enough of them, distinct, the same on every run, spread so that
// every board has something for every search it serves.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "demo/JobCatalog.h"

namespace tessaly::demo {
namespace {

TEST(JobCatalog, HundredsOfDistinctJobs) {
    TJobCatalog c;
    EXPECT_GE(c.Jobs().size(), 300u);
    std::set<std::tuple<std::string, std::string, std::string>> keys;
    std::set<int> ids;
    for (const TDemoJob& j : c.Jobs()) {
        keys.emplace(j.Title, j.Company, j.City);
        ids.insert(j.Id);
        EXPECT_EQ(c.ById(j.Id), &j);
        EXPECT_FALSE(j.TitleFr.empty());
        EXPECT_EQ(j.State.size(), 2u);
        EXPECT_EQ(j.Skills.size(), 3u);
        EXPECT_EQ(j.Posted.size(), 8u) << j.Posted;
    }
    EXPECT_EQ(keys.size(), c.Jobs().size());
    EXPECT_EQ(ids.size(), c.Jobs().size());
    EXPECT_EQ(c.ById(0), nullptr);
    EXPECT_EQ(c.ById(1000 + static_cast<int>(c.Jobs().size()) + 1), nullptr);
}

TEST(JobCatalog, SameSeedSameJobs) {
    TJobCatalog a, b, other(7);
    ASSERT_EQ(a.Jobs().size(), b.Jobs().size());
    bool differs = false;
    for (size_t i = 0; i < a.Jobs().size(); ++i) {
        EXPECT_EQ(a.Jobs()[i].Title, b.Jobs()[i].Title);
        EXPECT_EQ(a.Jobs()[i].Company, b.Jobs()[i].Company);
        EXPECT_EQ(a.Jobs()[i].Skills, b.Jobs()[i].Skills);
        differs |= a.Jobs()[i].Company != other.Jobs()[i].Company;
    }
    EXPECT_TRUE(differs);
}

TEST(JobCatalog, BoardsCoverWhatTheyClaim) {
    TJobCatalog c;
    for (const std::string& category : MasterCategories()) {
        EXPECT_GE(c.Find(TBoard::CareerHub, {}, "Nationwide", category).size(), 20u) << category;
        EXPECT_FALSE(c.Find(TBoard::Emploi, {}, "New York", category).empty()) << category;
    }
    EXPECT_TRUE(c.Find(TBoard::Emploi, {}, "Texas", "Sales").empty());
    EXPECT_TRUE(c.Find(TBoard::TechPost, {}, "Nationwide", "Sales").empty());
    EXPECT_FALSE(c.Find(TBoard::TechPost, {}, "Nationwide", "Engineering").empty());
}

TEST(JobCatalog, FindFiltersRegionCategoryAndEveryKeyword) {
    TJobCatalog c;
    for (const TDemoJob* j : c.Find(TBoard::JobFair, {"senior"}, "Texas", "Accounting")) {
        EXPECT_EQ(j->Region, "Texas");
        EXPECT_EQ(j->Category, "Accounting");
    }
    const auto nurses = c.Find(TBoard::CareerHub, {"NURSE manager"}, "Nationwide", "Healthcare");
    ASSERT_FALSE(nurses.empty());
    for (const TDemoJob* j : nurses)
        EXPECT_EQ(j->Title, "Nurse Manager");
    EXPECT_TRUE(c.Find(TBoard::CareerHub, {"nurse", "zzz"}, "", "Healthcare").empty());
    // Skills count: a refinement keyword that is not in the title still finds the job.
    EXPECT_FALSE(c.Find(TBoard::CareerHub, {"AutoCAD"}, "", "Engineering").empty());
}

TEST(JobCatalog, KeywordWordsSplitAtBlanksCommasAndPluses) {
    EXPECT_EQ(KeywordWords(" a,b+c  d,,"), (TStrings{"a", "b", "c", "d"}));
    EXPECT_TRUE(KeywordWords(" , + ").empty());
}

}  // namespace
}  // namespace tessaly::demo
