#include "data/Openings.h"

#include <gtest/gtest.h>

namespace tessaly {
namespace {

struct TPosting {
    const char* title;
    const char* company;
    const char* location;
};

struct TPairCase {
    const char* rule;
    TPosting a, b;
};

std::string Print(const TPosting& p) {
    return OpeningFingerprint(p.title, p.company, p.location);
}

// Every rule, as boards really spell the same opening.
TEST(OpeningFingerprint, SpellingsOfOneOpeningAgree) {
    const TPairCase cases[] = {
        {"case and blanks",
         {"Senior Python Engineer", "Acme Analytics", "Boston"},
         {"SENIOR  PYTHON ENGINEER ", "ACME ANALYTICS", " boston"}},
        {"punctuation",
         {"Python Engineer!", "Acme", "Boston"},
         {"Python-Engineer", "Acme", "Boston"}},
        {"dashes of every kind",
         {"Data Engineer - Platform", "Acme", "Berlin"},
         {"Data Engineer \xE2\x80\x94 Platform", "Acme", "Berlin"}},
        {"en dash and minus",
         {"Data Engineer \xE2\x80\x93 Platform", "Acme", "Berlin"},
         {"Data Engineer \xE2\x88\x92 Platform", "Acme", "Berlin"}},
        {"ampersand",
         {"R&D Manager", "Smith & Sons", "Leeds"},
         {"R and D Manager", "Smith and Sons", "Leeds"}},
        {"Sr.",
         {"Sr. Python Engineer", "Acme", "Boston"},
         {"Senior Python Engineer", "Acme", "Boston"}},
        {"Snr", {"Snr Analyst", "Acme", "Boston"}, {"Senior Analyst", "Acme", "Boston"}},
        {"Jr.", {"Jr. Developer", "Acme", "Boston"}, {"Junior Developer", "Acme", "Boston"}},
        {"Eng.", {"Software Eng.", "Acme", "Boston"}, {"Software Engineer", "Acme", "Boston"}},
        {"Mgr", {"Product Mgr", "Acme", "Boston"}, {"Product Manager", "Acme", "Boston"}},
        {"(Remote)",
         {"Python Engineer (Remote)", "Acme", "Boston"},
         {"Python Engineer", "Acme", "Boston"}},
        {"- Remote",
         {"Python Engineer - Remote", "Acme", "Boston"},
         {"Python Engineer", "Acme", "Boston"}},
        {"\xE2\x80\x93 Remote",
         {"Python Engineer \xE2\x80\x93 Remote", "Acme", "Boston"},
         {"Python Engineer", "Acme", "Boston"}},
        {"Inc.",
         {"Analyst", "Acme Analytics, Inc.", "Boston"},
         {"Analyst", "Acme Analytics", "Boston"}},
        {"LLC", {"Analyst", "Acme LLC", "Boston"}, {"Analyst", "Acme", "Boston"}},
        {"Ltd", {"Analyst", "Acme Ltd", "Leeds"}, {"Analyst", "Acme Limited", "Leeds"}},
        {"GmbH", {"Analyst", "Acme GmbH", "Berlin"}, {"Analyst", "Acme", "Berlin"}},
        {"S.A.", {"Analyst", "Acme S.A.", "Madrid"}, {"Analyst", "Acme", "Madrid"}},
        {"plc", {"Analyst", "Acme plc", "Leeds"}, {"Analyst", "ACME", "Leeds"}},
        {"Corp.", {"Analyst", "Acme Corp.", "Boston"}, {"Analyst", "Acme Corporation", "Boston"}},
        {"& Co.", {"Analyst", "Smith & Co.", "Boston"}, {"Analyst", "Smith", "Boston"}},
        {"Co., Ltd.",
         {"Analyst", "Acme Holdings Co., Ltd.", "Osaka"},
         {"Analyst", "Acme Holdings", "Osaka"}},
        {"The", {"Analyst", "The Acme Group", "Boston"}, {"Analyst", "Acme Group", "Boston"}},
        {"USA", {"Analyst", "Acme", "USA"}, {"Analyst", "Acme", "United States"}},
        {"US", {"Analyst", "Acme", "US"}, {"Analyst", "Acme", "United States of America"}},
        {"U.S.", {"Analyst", "Acme", "U.S."}, {"Analyst", "Acme", "USA"}},
        {"country after a place",
         {"Analyst", "Acme", "Boston, MA, USA"},
         {"Analyst", "Acme", "Boston, MA"}},
        {"state code",
         {"Analyst", "Acme", "Boston, MA"},
         {"Analyst", "Acme", "Boston, Massachusetts"}},
        {"state code without comma",
         {"Analyst", "Acme", "Austin TX"},
         {"Analyst", "Acme", "Austin, Texas"}},
        {"state of two words",
         {"Analyst", "Acme", "Concord, NH"},
         {"Analyst", "Acme", "Concord, New Hampshire"}},
        {"UK", {"Analyst", "Acme", "London, United Kingdom"}, {"Analyst", "Acme", "London"}},
        {"accents keep their case rule",
         {"INGÉNIEUR QUALITÉ", "Société Générale", "Zürich"},
         {"Ingénieur Qualité", "SOCIÉTÉ GÉNÉRALE", "ZÜRICH"}},
        {"typographic apostrophe",
         {"Barista", "Macy\xE2\x80\x99s", "Boston"},
         {"Barista", "Macy's", "Boston"}},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Print(c.a).empty()) << c.rule;
        EXPECT_EQ(Print(c.a), Print(c.b)) << c.rule;
    }
}

// What looks alike but is another opening.
TEST(OpeningFingerprint, OtherOpeningsStayApart) {
    const TPairCase cases[] = {
        {"level II/III", {"Engineer II", "Acme", "Boston"}, {"Engineer III", "Acme", "Boston"}},
        {"Senior/Staff",
         {"Senior Engineer", "Acme", "Boston"},
         {"Staff Engineer", "Acme", "Boston"}},
        {"Senior/none", {"Senior Engineer", "Acme", "Boston"}, {"Engineer", "Acme", "Boston"}},
        {"C++/C#/C", {"C++ Developer", "Acme", "Boston"}, {"C# Developer", "Acme", "Boston"}},
        {"C/C++", {"C Developer", "Acme", "Boston"}, {"C++ Developer", "Acme", "Boston"}},
        {"other company",
         {"Analyst", "Acme Analytics", "Boston"},
         {"Analyst", "Acme Robotics", "Boston"}},
        {"company form alone", {"Analyst", "Acme Inc", "Boston"}, {"Analyst", "Inc", "Boston"}},
        {"other city", {"Analyst", "Acme", "Boston, MA"}, {"Analyst", "Acme", "Cambridge, MA"}},
        {"other state", {"Analyst", "Acme", "Portland, OR"}, {"Analyst", "Acme", "Portland, ME"}},
        {"place or none", {"Analyst", "Acme", "Boston"}, {"Analyst", "Acme", "n/a"}},
        {"remote inside the title",
         {"Remote Support Engineer", "Acme", "Boston"},
         {"Support Engineer", "Acme", "Boston"}},
        {"other country", {"Analyst", "Acme", "US"}, {"Analyst", "Acme", "UK"}},
    };
    for (const auto& c : cases)
        EXPECT_NE(Print(c.a), Print(c.b)) << c.rule;
}

TEST(OpeningFingerprint, JobsWithoutTitleOrRealCompanyAreNeverGrouped) {
    const TPosting cases[] = {
        {"", "Acme", "Boston"},    {"Analyst", "n/a", "Boston"},
        {"Analyst", "", "Boston"}, {"Analyst", "Confidential", "Boston"},
        {"- !", "Acme", "Boston"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Print(c), "") << c.title << " / " << c.company;
}

TEST(OpeningFingerprint, SourceColumnCountsTheOtherBoards) {
    TVelaJob j;
    j.Source = "Remotive";
    EXPECT_EQ(SourceWithAlsoOn(j), "Remotive");
    j.AlsoOn = {{"Jobicy", "j"}, {"Acme careers", "a"}};
    EXPECT_EQ(SourceWithAlsoOn(j), "Remotive +2");
}

// ---------------------------------------------------------------- grouping in the merge

TVelaJob& Post(TVelaJobsList& l, const char* source, const char* title, const char* company,
               const char* url) {
    TVelaJob& j = l.AddJob();
    j.Source = source;
    j.Title = title;
    j.Company = company;
    j.Location = "Remote";
    j.URL = url;
    return j;
}

TEST(OpeningMerge, CrossPostsJoinTheFirstRowAndUpdatesMarkNoneNew) {
    TVelaJobsList listing, site;
    Post(site, "Remotive", "Senior Python Engineer", "Acme Analytics", "r1");
    listing.MergeJobs(site, false, true);

    Post(site, "Jobicy", "Sr. Python Engineer", "Acme Analytics, Inc.", "j1");  // a copy
    Post(site, "Jobicy", "Python Engineer II", "Acme Analytics", "j2");         // another level
    Post(site, "Jobicy", "SENIOR PYTHON ENGINEER", "Acme", "j3");  // the site's second posting
    listing.MergeJobs(site, true, true);
    ASSERT_EQ(listing.Count(), 3);
    EXPECT_EQ(listing[0].URL, "r1");  // the first-listed posting stays the row's own
    EXPECT_EQ(listing[0].Status, kStatusWhite);
    EXPECT_EQ(listing[0].AlsoOn, (std::vector<TAlsoOn>{{"Jobicy", "j1"}}));
    EXPECT_EQ(listing[1].URL, "j2");
    EXPECT_EQ(listing[1].Status, kStatusNew);
    EXPECT_EQ(listing[2].URL, "j3");  // within one site only the exact rule holds
    EXPECT_TRUE(listing[2].AlsoOn.empty());
    EXPECT_EQ(site.Count(), 0);

    // An update: every board lists its postings again, and a third board joins in.
    listing.SetMarks("New", "White");
    Post(site, "Remotive", "Senior Python Engineer", "Acme Analytics", "r1");
    Post(site, "Jobicy", "Sr. Python Engineer", "Acme Analytics, Inc.", "j1");
    Post(site, "Acme careers", "Senior Python Engineer - Remote", "The Acme Analytics", "a1");
    Post(site, "Remotive", "Senior Python Engineer", "Acme Analytics", "r2");  // reposted
    listing.MergeJobs(site, true, true);
    ASSERT_EQ(listing.Count(), 4);
    EXPECT_EQ(listing[0].AlsoOn, (std::vector<TAlsoOn>{{"Jobicy", "j1"}, {"Acme careers", "a1"}}));
    EXPECT_EQ(listing[3].URL, "r2");
    EXPECT_EQ(listing[3].Status, kStatusNew);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(listing[i].Status, kStatusWhite) << i;
}

TEST(OpeningMerge, WithoutGroupingEveryPostingIsARow) {
    TVelaJobsList listing, site;
    Post(listing, "Remotive", "Senior Python Engineer", "Acme Analytics", "r1");
    Post(site, "Jobicy", "Sr. Python Engineer", "Acme Analytics, Inc.", "j1");
    listing.MergeJobs(site, true);
    ASSERT_EQ(listing.Count(), 2);
    EXPECT_TRUE(listing[0].AlsoOn.empty());
    EXPECT_EQ(listing[1].Status, kStatusNew);
}

}  // namespace
}  // namespace tessaly
