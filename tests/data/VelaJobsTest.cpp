#include "data/VelaJobs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "support/TestSupport.h"

namespace tessaly {
namespace {

TVelaJob& Add(TVelaJobsList& l, std::string title, std::string company = "C",
              std::string url = "u") {
    TVelaJob& j = l.AddJob();
    j.Title = std::move(title);
    j.Company = std::move(company);
    j.URL = std::move(url);
    return j;
}

std::vector<std::string> Titles(const TVelaJobsList& l) {
    std::vector<std::string> t;
    for (int i = 0; i < l.Count(); ++i)
        t.push_back(l[i].Title);
    return t;
}

// ---------------------------------------------------------------- entities

TEST(JobEntities, NamedNumericAndLoneAmpersands) {
    EXPECT_EQ(DecodeEntities("R&amp;D"), "R&D");
    EXPECT_EQ(DecodeEntities("R&38;D"), "R&D");
    EXPECT_EQ(DecodeEntities("AT&T rocks"), "AT&T rocks");  // no ";" before the blank
    EXPECT_EQ(DecodeEntities("a&nbsp;b"),
              "a\xC2\xA0"
              "b");                                        // U+00A0 in UTF-8
    EXPECT_EQ(DecodeEntities("x&sup;"), "x\xE2\x8A\x83");  // a name of HTML: superset
    EXPECT_EQ(DecodeEntities("x&zz;y"), "x&zz;y");         // unknown names stay as written
    EXPECT_EQ(DecodeEntities("&Aelig;&AElig;"), "\xC3\x86\xC3\x86");  // the old and HTML's
    EXPECT_EQ(DecodeEntities("&Szlig;&Iexcl;"), "\xC3\x9F\xC2\xA1");
    EXPECT_EQ(DecodeEntities("a & b; c"), "a & b; c");
    EXPECT_EQ(DecodeEntities("Smith&Co;"), "Smith&Co;");  // "Co" is no prefix of an entry
    EXPECT_EQ(DecodeEntities("&amp;lt;"), "&lt;");        // decoded once, not again
    EXPECT_EQ(DecodeEntities("trailing &"), "trailing &");
    EXPECT_EQ(DecodeEntities("&q;"), "\"");            // a prefix of quot and of nothing later
    EXPECT_EQ(DecodeEntities("&frac1;"), "\xC2\xBD");  // the old table's last hit: frac12
}

TEST(JobEntities, UsualNumericFormsAndOddReferences) {
    EXPECT_EQ(DecodeEntities("O&#39;Brien"), "O'Brien");
    EXPECT_EQ(DecodeEntities("&#x26;"), "&");
    EXPECT_EQ(DecodeEntities("caf&#233;"), "caf\xC3\xA9");
    EXPECT_EQ(DecodeEntities("it&#8217;s"), "it\xE2\x80\x99s");
    EXPECT_EQ(DecodeEntities("&#99999;"), "\xF0\x98\x9A\x9F");  // any code point
    EXPECT_EQ(DecodeEntities("a&;b"), "a&;b");                  // an empty name matches nothing
    EXPECT_EQ(DecodeEntities("a&0;b"), "ab");
    EXPECT_EQ(DecodeEntities("&-5;"), "&-5;");
}

// Every "&" once looked ahead for its ";" and the next blank to the end of the text: a
// title of ampersands took minutes. Now the text is scanned once.
TEST(JobEntities, ManyAmpersandsDecodeInLinearTime) {
    const size_t n = 2 << 20;
    const std::string amps(n, '&');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DecodeEntities(amps + " x&amp;"), amps + " x&");
    EXPECT_EQ(DecodeEntities(amps), amps);
    EXPECT_EQ(DecodeEntities(amps + ";"), amps + ";");  // one unknown name, kept as written
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

// ---------------------------------------------------------------- tags and trimming

TEST(JobTagsAndTrimming, TagsGoEvenWhenWrittenAsEntities) {
    EXPECT_EQ(CleanJobText("<b>Welder</b>"), "Welder");
    EXPECT_EQ(CleanJobText("&lt;b&gt;Welder&lt;/b&gt;"), "Welder");
    EXPECT_EQ(StripTags("a > b <i>c</i>"), "a > b <i>c</i>");  // first ">" before first "<"
    EXPECT_EQ(StripTags("a <b>c</b> d <e"), "a c d <e");
    EXPECT_EQ(StripTags("<<x>>y"), ">y");
}

TEST(JobTagsAndTrimming, TrimRemovesBulletsQuotesAndDoubleBlanks) {
    EXPECT_EQ(TrimJobText("\t - * \"Sales\t Rep\"  \r\n"), "Sales Rep");
    EXPECT_EQ(TrimJobText("/\\!Manager   of    Stores"), "Manager of Stores");
    EXPECT_EQ(TrimJobText("Rep -"), "Rep -");  // only blanks and quotes go at the end
    EXPECT_EQ(TrimJobText("   "), "");
    EXPECT_EQ(TrimJobText("\"\"\""), "");
}

// ---------------------------------------------------------------- capitalising

TEST(JobCapitalising, AllCapitalsBecomeWordCapitals) {
    EXPECT_EQ(CapitaliseAllCapitals("SENIOR ENGINEER (JAVA/C++)"), "Senior Engineer (Java/C++)");
    EXPECT_EQ(CapitaliseAllCapitals("SALES-REP: NORTH;EAST,WEST"), "Sales-Rep: North;East,West");
    EXPECT_EQ(CapitaliseAllCapitals("IT Manager"), "IT Manager");  // any lower case: unchanged
    EXPECT_EQ(CapitaliseAllCapitals("123 \xC3\x89T\xC3\x89"), "123 \xC3\x89t\xC3\xA9");
    EXPECT_EQ(CapitaliseAllCapitals(""), "");
    EXPECT_EQ(CleanJobText("  <b>C&amp;C OPERATOR</b> "), "C&c Operator");
}

// ---------------------------------------------------------------- clean-up of a list

class JobCleanUp : public test::TLoopTest {};

TEST_F(JobCleanUp, FillsFieldsTemplatesAndResetsMarks) {
    TVelaJobsList l;
    TVelaJob& j = l.AddJob();
    j.Title = "<b>DATA ENTRY CLERK</b>";
    j.Company = " &nbsp; ";
    j.Location = "";
    j.URL = "/jobs?t=%title%&c=%company%&l=%location%\t\r\n &x=%title%";
    j.Status = kStatusRed;
    j.High = true;
    l.CleanUpJobs();
    EXPECT_EQ(j.Title, "Data Entry Clerk");
    EXPECT_EQ(j.Company, "n/a");  // a no-break space is a blank
    EXPECT_EQ(j.Location, "n/a");
    EXPECT_EQ(j.URL, "/jobs?t=Data+Entry+Clerk&c=n/a&l=n/a+&x=Data+Entry+Clerk");
    EXPECT_EQ(j.Status, kStatusWhite);
    EXPECT_FALSE(j.High);

    TVelaJob& k = l.AddJob();
    k.Company = "<i></i>";
    l.CleanUpJobs();
    EXPECT_EQ(k.Company, "n/a");
    EXPECT_EQ(k.Location, "n/a");
}

// A site with KeepCapitals keeps codes and acronyms; the rest of the clean-up still runs.
TEST_F(JobCleanUp, KeepCapitalsLeavesTextsInCapitalsAsWritten) {
    const struct {
        const char* raw;
        const char* capitalised;
        const char* kept;
    } cases[] = {
        {"US-DC-DISTRICT OF COLUMBIA", "Us-Dc-District Of Columbia", "US-DC-DISTRICT OF COLUMBIA"},
        {" <b>EVT&nbsp;NZ</b>", "Evt Nz", "EVT NZ"},
        {"IT Manager", "IT Manager", "IT Manager"},
    };
    for (const bool keep : {false, true}) {
        TVelaJobsList l;
        for (const auto& c : cases) {
            TVelaJob& j = l.AddJob();
            j.Title = j.Company = j.Location = c.raw;
        }
        l.CleanUpJobs(keep);
        for (int i = 0; i < l.Count(); ++i) {
            const char* want = keep ? cases[i].kept : cases[i].capitalised;
            EXPECT_EQ(l[i].Title, want) << keep;
            EXPECT_EQ(l[i].Company, want) << keep;
            EXPECT_EQ(l[i].Location, want) << keep;
        }
    }
}

TEST_F(JobCleanUp, AFailureStopsAndReachesTheCallerAndLeavesTheRest) {
    TVelaJobsList l;
    for (int i = 0; i < 3; ++i)
        Add(l, "<b>T</b>");
    // The caller's handler throws while it is asked after the first job.
    EXPECT_THROW(l.CleanUpJobs(false, []() -> bool { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    EXPECT_TRUE(Said().messages.empty());
    EXPECT_EQ(l[0].Title, "T");
    EXPECT_EQ(l[1].Title, "<b>T</b>");
    EXPECT_EQ(l[2].Title, "<b>T</b>");
}

TEST_F(JobCleanUp, KeepGoingIsAskedAfterEachJobAndCanEndTheCleanUp) {
    TVelaJobsList l;
    for (int i = 0; i < 3; ++i)
        Add(l, "<b>T</b>");
    int asked = 0;
    l.CleanUpJobs(false, [&] { return ++asked < 2; });
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(Titles(l), (std::vector<std::string>{"T", "T", "<b>T</b>"}));
}

// ---------------------------------------------------------------- states

TEST(JobStates, CodesAreWrittenOut) {
    EXPECT_EQ(ExpandStateCodes("Boston, MA"), "Boston, Massachusetts");
    EXPECT_EQ(ExpandStateCodes("Austin TX"), "Austin, Texas");
    EXPECT_EQ(ExpandStateCodes("Boston MA 02115"), "Boston MA 02115");
    EXPECT_EQ(ExpandStateCodes("Anywhere, USA"), "Anywhere");
    EXPECT_EQ(ExpandStateCodes("ny/nj"), "New York/, New Jersey");
    EXPECT_EQ(ExpandStateCodes("Washington, dc-"), "Washington, D.C.");
    EXPECT_EQ(ExpandStateCodes("Washington, dc -"), "Washington, dc");  // blank after dc
    EXPECT_EQ(ExpandStateCodes("ALL"), "Nationwide");
    EXPECT_EQ(ExpandStateCodes("Paris, France"), "Paris, France");
    EXPECT_EQ(ExpandStateCodes("n/a"), "n/a");
    EXPECT_EQ(ExpandStateCodes(""), "");
    EXPECT_EQ(ExpandStateCodes(",,, --"), "");
}

// Runs of blanks, commas and hyphens squeeze as they always did (the order of the
// deletions shows in "x , , ,y"), and a long run no longer takes time with its square.
TEST(JobStates, SeparatorRunsSqueezeInOrderAndInLinearTime) {
    struct {
        std::string location, expanded;
    } cases[] = {
        {"Boston ,, MA", "Boston, Massachusetts"},
        {"a - , b", "a, b"},
        {"x , , ,y", "x, ,y"},
        {"Dallas -,TX", "Dallas, Texas"},
        {"Akron, OH ,- US", "Akron, OH"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandStateCodes(c.location), c.expanded) << c.location;
    std::string run;
    for (int i = 0; i < 200000; ++i)
        run += " ,";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ExpandStateCodes(run + "Austin TX"), "Austin, Texas");
    EXPECT_EQ(ExpandStateCodes(std::string(400000, ',') + "x"), "x");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(JobStates, ListExpandsEveryLocation) {
    TVelaJobsList l;
    Add(l, "a").Location = "Denver, CO";
    Add(l, "b").Location = "";
    l.ExpandStates();
    EXPECT_EQ(l[0].Location, "Denver, Colorado");
    EXPECT_EQ(l[1].Location, "");
}

// ---------------------------------------------------------------- merging

class JobMerging : public test::TLoopTest {};

TEST_F(JobMerging, SecondMergeAddsNothingAndDuplicatesAreFreed) {
    TVelaJobsList listing;
    TVelaJobsList site;
    Add(site, "Cook", "Inn", "u1");
    Add(site, "Cook", "Inn", "u2");  // another link: another posting
    Add(site, "Cook", "Inn", "u1");  // the same posting twice on one site
    listing.MergeJobs(site, true);
    EXPECT_EQ(listing.Count(), 2);
    EXPECT_EQ(site.Count(), 0);
    EXPECT_EQ(listing[0].Status, kStatusNew);
    EXPECT_EQ(listing[1].JobIndex, 1);  // the index from the other list is kept

    Add(site, "Cook", "Inn", "u1");
    Add(site, "cook", "Inn", "u1");  // case counts
    site[1].JobIndex = 7;
    listing.MergeJobs(site, false);
    ASSERT_EQ(listing.Count(), 3);
    EXPECT_EQ(listing[2].Title, "cook");
    EXPECT_EQ(listing[2].Status, kStatusWhite);
    EXPECT_EQ(listing[2].JobIndex, 7);
    EXPECT_TRUE(Said().messages.empty());

    listing.MergeJobs(listing, false);  // into itself: nothing lost
    EXPECT_EQ(listing.Count(), 3);
}

TEST_F(JobMerging, FieldsAreComparedWholeNotByTheirJoin) {
    TVelaJobsList listing;
    TVelaJobsList site;
    Add(listing, "ab", "c", "u");
    Add(site, "a", "bc", "u");
    listing.MergeJobs(site, false);
    EXPECT_EQ(listing.Count(), 2);
}

// ---------------------------------------------------------------- list operations and sorting

TEST(JobList, DeleteRenumbersLaterJobs) {
    TVelaJobsList l;
    for (const char* t : {"a", "b", "c"})
        Add(l, t);
    l.DeleteJob(0);
    ASSERT_EQ(l.Count(), 2);
    EXPECT_EQ(l[0].JobIndex, 0);
    EXPECT_EQ(l[1].JobIndex, 1);
    l.DeleteJob(5);
    l.DeleteJob(-1);
    EXPECT_EQ(l.Count(), 2);
    l.ClearJobs();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(l.AddJob().JobIndex, 0);
}

TEST(JobSorting, PinnedFirstThenTheColumn) {
    TVelaJobsList l;
    Add(l, "b");
    Add(l, "Zeta").Pinned = true;
    Add(l, "a");
    Add(l, "B");
    Add(l, "\xC9t\xE9");
    l.SortJobs("Title ");
    EXPECT_EQ(Titles(l), (std::vector<std::string>{"Zeta", "B", "a", "b", "\xC9t\xE9"}));
    l.ReverseJobs();
    EXPECT_EQ(Titles(l).front(), "\xC9t\xE9");
    l.SortJobs("Title");  // not a column key: the order stays
    EXPECT_EQ(Titles(l).front(), "\xC9t\xE9");
    EXPECT_EQ(l[0].JobIndex, 4);  // sorting moves jobs, not their numbers
}

// Cutting a site's jobs to the most relevant: the same list, JobIndex included, as a full
// sort followed by deleting at the cut one job at a time.
TEST(JobList, KeepBestEqualsSortThenDeleteOneByOne) {
    struct {
        const char* key;
        int count;
    } cases[] = {
        {"Relevancy ", 5}, {"Relevancy ", 0}, {"Relevancy ", 40}, {"Title ", 7}, {"Title", 4}};
    for (const auto& c : cases) {
        TVelaJobsList cut, reference;
        for (int i = 0; i < 30; ++i)
            for (TVelaJobsList* l : {&cut, &reference}) {
                TVelaJob& j = Add(*l, std::string(1, static_cast<char>('a' + (i * 7) % 5)));
                j.Relevancy = static_cast<uint8_t>((i * 11) % 4);  // many ties
                j.Pinned = i % 9 == 4;
                j.URL = std::to_string(i);
            }
        cut.KeepBest(c.key, c.count);
        reference.SortJobs(c.key);
        while (reference.Count() > c.count)
            reference.DeleteJob(c.count);
        ASSERT_EQ(cut.Count(), reference.Count()) << c.key << c.count;
        for (int i = 0; i < cut.Count(); ++i) {
            EXPECT_EQ(cut[i].URL, reference[i].URL) << c.key << c.count << " at " << i;
            EXPECT_EQ(cut[i].JobIndex, reference[i].JobIndex);
        }
    }
}

TEST(JobSorting, StatusRankAndRelevancy) {
    TVelaJobsList l;
    auto add = [&](const char* t, uint8_t status, bool high, uint8_t rel) {
        TVelaJob& j = Add(l, t);
        j.Status = status;
        j.High = high;
        j.Relevancy = rel;
    };
    add("red", kStatusRed, false, 3);
    add("white", kStatusWhite, false, 6);
    add("newhigh", kStatusNew, true, 0);
    add("greenhigh", kStatusGreen, true, 2);
    add("new", kStatusNew, false, 5);
    add("whitehigh", kStatusWhite, true, 4);
    add("yellow", kStatusYellow, false, 1);
    l.SortJobs(" ");
    EXPECT_EQ(Titles(l), (std::vector<std::string>{"newhigh", "new", "whitehigh", "white",
                                                   "greenhigh", "yellow", "red"}));
    l.SortJobs("Relevancy ");
    EXPECT_EQ(Titles(l), (std::vector<std::string>{"white", "new", "whitehigh", "red", "greenhigh",
                                                   "yellow", "newhigh"}));
}

TEST(JobSorting, EveryTextColumnSortsItsOwnField) {
    TVelaJobsList l;
    for (int i = 0; i < 3; ++i) {
        TVelaJob& j = Add(l, std::string(1, static_cast<char>('a' + i)));
        const std::string key(1, static_cast<char>('z' - i));
        j.Company = j.Location = j.Source = j.Found = j.Notes = key;
    }
    for (const char* col : {"Company ", "Location ", "Source ", "Found ", "Notes "}) {
        l.SortJobs("Title ");
        l.SortJobs(col);
        EXPECT_EQ(Titles(l), (std::vector<std::string>{"c", "b", "a"})) << col;
    }
}

// ---------------------------------------------------------------- marks

TEST(JobMarks, SelectorsAndMarksCombineFreely) {
    TVelaJobsList l;
    Add(l, "a").Status = kStatusNew;
    Add(l, "b").Status = kStatusGreen;
    Add(l, "c").High = true;
    l.SetMarks("New", "High");
    EXPECT_TRUE(l[0].High);
    l.SetMarks("High", "Red");
    EXPECT_EQ(l[0].Status, kStatusRed);
    EXPECT_EQ(l[2].Status, kStatusRed);
    EXPECT_EQ(l[1].Status, kStatusGreen);
    EXPECT_TRUE(l.HasStatus(kStatusRed));
    EXPECT_FALSE(l.HasStatus(kStatusYellow));
    l.SetMarks("Red", "NotHigh");
    EXPECT_FALSE(l.HasHigh());
    l.SetMarks("Green", "Yellow");
    EXPECT_EQ(l[1].Status, kStatusYellow);
    l.SetMarks("White", "New");  // there is no selector for White
    l.SetMarks("Yellow", "Bogus");
    EXPECT_FALSE(l.HasStatus(kStatusNew));
    l.SetMarks("Red", "White");
    EXPECT_TRUE(l.HasStatus(kStatusWhite));
    EXPECT_FALSE(l.HasStatus(kStatusRed));

    l.PinAndHighlightAll();
    EXPECT_TRUE(l.HasHigh());
    EXPECT_TRUE(l[1].Pinned);
    l.UnpinAll();
    EXPECT_FALSE(l[1].Pinned);
    EXPECT_TRUE(l[1].High);
}

}  // namespace
}  // namespace tessaly
