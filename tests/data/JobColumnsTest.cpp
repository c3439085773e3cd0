// The job column table: lookups by each of its texts, and that every column's sort key
// is one the job list sorts by.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "data/JobColumns.h"
#include "data/VelaJobs.h"

namespace tessaly {
namespace {

TEST(JobColumns, EachTextFindsItsColumnAndUnknownTextsNone) {
    std::set<std::string> headers, keys, names;
    for (int i = 0; i < kJobColumnCount; ++i) {
        const TJobColumnInfo& c = kJobColumns[i];
        EXPECT_EQ(static_cast<int>(c.Column), i) << c.Caption;
        EXPECT_EQ(JobColumnByHeader(c.Header), c.Column);
        EXPECT_EQ(JobColumnBySortKey(c.SortKey), c.Column);
        EXPECT_EQ(JobColumnByName(c.Name), c.Column);
        EXPECT_EQ(JobColumnByCaption(c.Caption), c.Column);
        headers.insert(c.Header);
        keys.insert(c.SortKey);
        names.insert(c.Name);
    }
    EXPECT_EQ(headers.size(), size_t(kJobColumnCount));
    EXPECT_EQ(keys.size(), size_t(kJobColumnCount));
    EXPECT_EQ(names.size(), size_t(kJobColumnCount));
    // The stored spellings differ for the notes column only.
    EXPECT_EQ(JobColumnByHeader("Notes"), TJobColumn::Notes);
    EXPECT_EQ(JobColumnBySortKey("Notes "), TJobColumn::Notes);
    EXPECT_FALSE(JobColumnBySortKey("Notes"));
    EXPECT_FALSE(JobColumnByHeader("Title"));  // headers keep their trailing blank
    EXPECT_FALSE(JobColumnByName(""));
    EXPECT_FALSE(JobColumnByName("found"));
    EXPECT_FALSE(JobColumnByCaption("title"));
}

TEST(JobColumns, NamesCompareWithoutCaseForAToZOnly) {
    EXPECT_EQ(JobColumnByName("TITLE"), TJobColumn::Title);
    EXPECT_EQ(JobColumnByName("ReLeVaNcY"), TJobColumn::Relevancy);
    // A dotless capital I is not an I: no locale folds names.
    EXPECT_FALSE(JobColumnByName("T\xc4\xb0TLE"));
    EXPECT_FALSE(JobColumnByName("title "));
}

TEST(JobColumns, EverySortKeyOrdersTheList) {
    for (const TJobColumnInfo& c : kJobColumns) {
        TVelaJobsList list;
        for (const char* v : {"b", "c", "a"}) {
            TVelaJob& j = list.AddJob();
            j.Title = j.Company = j.Location = j.Source = j.Notes = v;
        }
        list[0].Relevancy = 3;
        list[1].Relevancy = 2;
        list[2].Relevancy = 6;
        list[0].Status = kStatusGreen;
        list[1].Status = kStatusRed;
        list[2].Status = kStatusNew;
        list.SortJobs(c.SortKey);
        std::string order;
        for (int i = 0; i < list.Count(); ++i)
            order += list[i].Title;
        // A key the list does not know would leave "bca".
        EXPECT_NE(order, "bca") << "column " << c.Caption << " does not sort";
    }
}

}  // namespace
}  // namespace tessaly
