// The Atom feed of a search: well-formed whatever the jobs hold, newest first, capped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "data/AtomFeed.h"
#include "platform/ByteString.h"
#include "platform/DateTime.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

// Counts the non-overlapping occurrences of `what`.
size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(AtomFeed, WellFormedNewestFirstAndCapped) {
    if (std::system("command -v xmllint >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed (scripts/setup installs libxml2-utils)";
    test::TTempDir home;
    TVelaSearch search;
    search.Keywords = "c++ & <rust>\r\n\"systems\"";
    search.Region = "Boston";
    search.Category = "Trades";
    search.TableFile = JoinPath(home.Path(), "searches/velares~4.tbl");
    TVelaJobsList jobs;
    const std::time_t base = 1765000000;  // 2025-12-06T05:46:40Z
    for (int i = 0; i < 205; ++i) {
        TVelaJob& j = jobs.AddJob();
        j.Title = "Job " + IntToStr(i);
        j.Company = "Co";
        j.Location = "Town";
        j.URL = "http://127.0.0.1/job?id=" + IntToStr(i) + "&x=1";
        j.Found = DateTimeText(base + i * 60);
    }
    // What pages bring: markup, control characters, bytes that are not UTF-8, U+FFFF.
    TVelaJob& hostile = jobs.AddJob();
    hostile.Title = "A <b>bold</b> & \"quoted\" \x1b]0;title\x07 job \xEF\xBF\xBF";
    hostile.Company = "Caf\xe9 ]]> Ltd";
    hostile.Location = "Salem\x01, MA";
    hostile.URL = "http://127.0.0.1/job?a=1&b=<2>";
    hostile.Found = DateTimeText(base + 999 * 60);
    TVelaJob& unreadable = jobs.AddJob();
    unreadable.Title = "No address, no date";
    unreadable.Found = "whenever";
    jobs.AddJob().Relevancy = kRelevancyDeleted;  // the user deleted it: never in a feed

    WriteSearchFeed(home.Path(), search, jobs);
    const std::string path = JoinPath(home.Path(), "feeds/velares~4.atom");
    ASSERT_EQ(SearchFeedPath(home.Path(), search), path);
    const std::string feed = ReadFileBytes(path);
    EXPECT_EQ(std::system(("xmllint --noout '" + path + "'").c_str()), 0) << feed;
    EXPECT_EQ(Count(feed, "<entry>"), kFeedJobs);
    EXPECT_EQ(feed.find('\x1b'), std::string::npos);
    EXPECT_EQ(feed.find("\xEF\xBF\xBF"), std::string::npos);

    // Newest first: the date that cannot be read counts as now, then the hostile job, then
    // the rest from the newest down; of the 207 the seven oldest are left out.
    const size_t first = feed.find("<entry>");
    const size_t second = feed.find("<entry>", first + 1);
    EXPECT_NE(feed.find("<title>No address, no date</title>", first), std::string::npos);
    EXPECT_NE(feed.find("<id>urn:tessaly-jobs:No%20address%2C%20no%20date%7C%7C</id>", first),
              std::string::npos)
        << feed.substr(first, 300);
    EXPECT_NE(
        feed.find("<id>http://127.0.0.1/job?a=1&amp;b=&lt;2&gt;</id>\n"
                  "    <title>A &lt;b&gt;bold&lt;/b&gt; &amp; &quot;quoted&quot; ]0;title job "
                  "</title>\n"
                  "    <link href=\"http://127.0.0.1/job?a=1&amp;b=&lt;2&gt;\"/>\n"
                  "    <updated>2025-12-06T22:25:40Z</updated>\n"
                  "    <summary>Caf\xC3\xA9 ]]&gt; Ltd, Salem, MA</summary>",
                  second),
        std::string::npos)
        << feed.substr(second, 400);
    EXPECT_LT(feed.find("<title>Job 204</title>"), feed.find("<title>Job 203</title>"));
    EXPECT_NE(feed.find("<title>Job 7</title>"), std::string::npos);
    EXPECT_EQ(feed.find("<title>Job 6</title>"), std::string::npos);
    EXPECT_NE(feed.find("<updated>2025-12-06T05:53:40Z</updated>"), std::string::npos)
        << "job 7, found seven minutes after the base time";
}

TEST(AtomFeed, FoundDatesOfTheCLocaleAndOthers) {
    // Tables written by a process that never set its locale hold C-locale dates.
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 9;
    tm.tm_hour = 13;
    tm.tm_min = 5;
    tm.tm_sec = 7;
    tm.tm_isdst = -1;
    const std::time_t expected = std::mktime(&tm);
    EXPECT_EQ(FoundTime("12/09/26 @ 13:05:07"), expected);
    EXPECT_EQ(FoundTime(DateTimeText(expected)), expected);
    for (const char* bad : {"", "yesterday", "12/09/26", "12/09/26 @ 13:05:07 and more"})
        EXPECT_EQ(FoundTime(bad), -1) << bad;
}

}  // namespace
}  // namespace tessaly
