// The job boards shipped in data/sources.plain, over answers of our own in each board's
// published format (tests/fixtures/feeds; the jobs are invented): the request one search
// makes of each board, the jobs cut out of an answer, and the answers that are not in the
// format a definition expects.
#include <gtest/gtest.h>

#include "data/QueryBuilder.h"
#include "data/VelaSources.h"
#include "platform/TextFile.h"
#include "support/JobChecks.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

using test::TExpectedJob;

std::string ShippedPlainPath() {
    return test::FixturePath("../../data/sources.plain");
}

class ShippedBoards : public test::TLoopTest {
  protected:
    ShippedBoards() {
        auto enc = EncodeSourcesLines(ReadTextLines(ShippedPlainPath()));
        EXPECT_TRUE(enc.ok()) << (enc.ok() ? "" : enc.error());
        if (enc.ok()) list.LoadFromText(enc.value(), "sources.plain");
    }

    TVelaSource& Board(const std::string& title) {
        for (int i = 0; i < list.Count(); ++i)
            if (list[i].Title == title) return list[i];
        ADD_FAILURE() << "no board " << title;
        return list[0];
    }

    std::string Feed(const std::string& name) {
        return ReadFileBytes(test::FixturePath("feeds/" + name));
    }

    // The jobs of one answer, read and cleaned as a search reads and cleans them.
    TVelaJobsList& Harvest(const std::string& title, const std::string& feed) {
        TVelaSource& s = Board(title);
        s.Jobs.ClearJobs();
        const std::string page = s.ScriptPage(Feed(feed));
        EXPECT_TRUE(s.PageInExpectedFormat(page)) << title << " / " << feed;
        s.HarvestJobs(page);
        s.Jobs.CleanUpJobs();
        return s.Jobs;
    }

    // The first request of a board for a search: its address and parameter text, or
    // "skipped" when the board does not serve the search.
    std::string Request(const std::string& title, const std::string& region,
                        const std::string& category, const std::string& keywords) {
        TQuerySearch search;
        search.Region = region;
        search.Category = category;
        search.Keywords = keywords;
        TQueryRequest req;
        if (!BuildFirstRequest(Board(title), search, req)) return "skipped";
        return req.URL + req.Parameters;
    }

    TVelaSourcesList list;
};

TEST_F(ShippedBoards, FiveEnabledBoardsOverOneVocabulary) {
    ASSERT_EQ(list.Count(), 5);
    for (const char* title : {"We Work Remotely", "Remote OK", "Remotive", "Jobicy", "Arbeitnow"}) {
        const TVelaSource& s = Board(title);
        EXPECT_TRUE(s.Enabled) << title;
        EXPECT_TRUE(s.FirstPageURL.starts_with("https://")) << title;
        EXPECT_FALSE(s.PageFormatScript.empty()) << title;
        // One request per search: the boards are never paged through.
        EXPECT_FALSE(s.MultiplePages) << title;
        // A list of codes, when there is one, covers every master entry.
        if (!s.Regions.empty()) {
            EXPECT_EQ(s.Regions.size(), list.MRegions.size()) << title;
        }
        if (!s.Categories.empty()) {
            EXPECT_EQ(s.Categories.size(), list.MCategories.size()) << title;
        }
    }
    // The command line's defaults (the first entries) ask every board.
    EXPECT_EQ(list.MRegions.front(), "Anywhere");
    EXPECT_EQ(list.MCategories.front(), "All Categories");
}

TEST_F(ShippedBoards, RequestsForASearch) {
    EXPECT_EQ(Request("We Work Remotely", "Anywhere", "All Categories", "python"),
              "https://weworkremotely.com/remote-jobs.rss");
    EXPECT_EQ(Request("We Work Remotely", "USA", "Back-End Development", "python"),
              "https://weworkremotely.com/categories/remote-back-end-programming-jobs.rss");
    EXPECT_EQ(Request("We Work Remotely", "UK", "Marketing", ""),
              "https://weworkremotely.com/categories/remote-sales-and-marketing-jobs.rss");
    EXPECT_EQ(Request("We Work Remotely", "Anywhere", "Data", "python"), "skipped");

    // Remote OK takes one tag: the first keyword.
    EXPECT_EQ(Request("Remote OK", "Anywhere", "All Categories", "python  django"),
              "https://remoteok.com/api?tag=python");
    EXPECT_EQ(Request("Remote OK", "Canada", "Design", ""), "https://remoteok.com/api?tag=");

    EXPECT_EQ(Request("Remotive", "Anywhere", "All Categories", "python  django"),
              "https://remotive.com/api/remote-jobs?search=python+django&limit=100&");
    EXPECT_EQ(Request("Remotive", "Europe", "Front-End Development", "react"),
              "https://remotive.com/api/remote-jobs?search=react&limit=100&category=software-dev");
    EXPECT_EQ(Request("Remotive", "USA", "Finance and Legal", ""),
              "https://remotive.com/api/remote-jobs?search=&limit=100&category=finance-legal");

    EXPECT_EQ(Request("Jobicy", "Anywhere", "Design", "figma ux"),
              "https://jobicy.com/api/v2/remote-jobs?count=50&tag=figma+ux&");
    EXPECT_EQ(Request("Jobicy", "Latin America", "Other", "python"),
              "https://jobicy.com/api/v2/remote-jobs?count=50&tag=python&geo=latam");

    // Arbeitnow takes no parameter; its region codes only leave it out of searches
    // outside Germany and Europe.
    EXPECT_EQ(Request("Arbeitnow", "Germany", "Data", "python"),
              "https://www.arbeitnow.com/api/job-board-api");
    EXPECT_EQ(Request("Arbeitnow", "Anywhere", "All Categories", ""),
              "https://www.arbeitnow.com/api/job-board-api");
    EXPECT_EQ(Request("Arbeitnow", "USA", "Data", "python"), "skipped");
}

TEST_F(ShippedBoards, RssCategoryFeedItems) {
    test::ExpectJobs(
        Harvest("We Work Remotely", "weworkremotely.rss"),
        {{"Senior Elixir Developer", "Otterbyte", "Anywhere in the World",
          "https://weworkremotely.com/remote-jobs/otterbyte-senior-elixir-developer"},
         // Only the first ": " parts the company from the title.
         {"Go Engineer: Payments Core", "Birch & Bramble Ltd", "USA Only",
          "https://weworkremotely.com/remote-jobs/birch-bramble-ltd-go-engineer-payments-core"},
         {"Backend Engineer (Node & Postgres)", "Mistral Ferry", "n/a",
          "https://weworkremotely.com/remote-jobs/mistral-ferry-backend-engineer"},
         {"Solo Title Without Company", "n/a", "Europe Only",
          "https://weworkremotely.com/remote-jobs/solo-title"}});
}

TEST_F(ShippedBoards, RemoteOkArrayAfterItsTerms) {
    const TVelaJobsList& jobs = Harvest("Remote OK", "remoteok.json");
    // The terms element and the posting without a position give no job.
    test::ExpectJobs(
        jobs,
        {{"Senior Rust Engineer", "Lanternfish Labs", "Worldwide",
          "https://remoteOK.com/remote-jobs/remote-senior-rust-engineer-lanternfish-labs-900101"},
         // Escaped quotes, backslashes and slashes stay inside their field.
         {"Python \"Data\" Wrangler (CI/CD)", "Quill & Quire", "n/a",
          "https://remoteOK.com/remote-jobs/remote-python-data-wrangler-quill-and-quire-900102"},
         // A \u escape is unescaped into UTF-8.
         {"Support Lead", "Caf\xC3\xA9 Sol", "USA, Canada",
          "https://remoteOK.com/remote-jobs/remote-support-lead-caf-sol-900104"}});
}

TEST_F(ShippedBoards, RemotiveJobsWithSpacedSeparatorsAndNulls) {
    const std::vector<TExpectedJob> want = {
        {"Staff Python Engineer", "Heron \"Hollow\" Analytics", "USA, Canada",
         "https://remotive.com/remote-jobs/software-dev/staff-python-engineer-700001"},
        // Escapes and raw UTF-8 give the same texts.
        {"Django Developer \xE2\x80\x93 Ma\xC3\xAEtre d'API", "Pi\xC3\xB1on Works", "Worldwide",
         "https://remotive.com/remote-jobs/software-dev/django-developer-700002"},
        {"Python Trainer", "Lark School", "n/a",
         "https://remotive.com/remote-jobs/software-dev/python-trainer-700003"}};
    test::ExpectJobs(Harvest("Remotive", "remotive.json"), want);
    // The same answer indented over many lines gives the same jobs: a JSON feed is
    // compacted before its scripts run.
    test::ExpectJobs(Harvest("Remotive", "remotive-pretty-printed.json"), want);
}

TEST_F(ShippedBoards, JobicyAndArbeitnowObjects) {
    test::ExpectJobs(Harvest("Jobicy", "jobicy.json"),
                     {// The clean-up gives a location in capitals only a capital initial.
                      {"Senior React Native Developer", "Kestrel & Kite", "Usa",
                       "https://jobicy.com/jobs/510001-senior-react-native-developer"},
                      {"Technical Writer / Editor", "Fjord Docs", "Europe, UK",
                       "https://jobicy.com/jobs/510002-technical-writer"}});
    // The links and meta objects after the data array (their page links included) give
    // no job.
    test::ExpectJobs(
        Harvest("Arbeitnow", "arbeitnow.json"),
        {{"Backend-Entwickler PHP (m/w/d)", "Stadtwerk Digital GmbH", "Berlin",
          "https://www.arbeitnow.com/jobs/companies/stadtwerk-digital/"
          "backend-entwickler-php-berlin-420001"},
         {"Remote Data Engineer", "Nordlicht Data", "Hamburg",
          "https://www.arbeitnow.com/jobs/companies/nordlicht-data/remote-data-engineer-420002"}});
}

TEST_F(ShippedBoards, AnswersOutsideTheExpectedFormatAreToldApart) {
    const std::string challenge = Feed("challenge-page.html");
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_FALSE(list[i].PageInExpectedFormat(challenge)) << list[i].Title;
    // A definition that states no format takes every page, as definitions always did.
    TVelaSource older(0, &list.MRegions, &list.MCategories);
    EXPECT_TRUE(older.PageInExpectedFormat(challenge));
    // Each format is refused by the boards that expect another one.
    EXPECT_FALSE(Board("We Work Remotely").PageInExpectedFormat(Feed("remotive.json")));
    EXPECT_FALSE(Board("Remote OK").PageInExpectedFormat(Feed("remotive.json")));
    EXPECT_FALSE(Board("Remotive").PageInExpectedFormat(Feed("remoteok.json")));
    EXPECT_FALSE(Board("Remotive").PageInExpectedFormat(Feed("weworkremotely.rss")));
    EXPECT_FALSE(Board("Arbeitnow").PageInExpectedFormat(Feed("remotive.json")));
    EXPECT_TRUE(Board("Jobicy").PageInExpectedFormat(Feed("jobicy.json")));
    // An indented answer is in the format once compacted, as a search reads it.
    TVelaSource& remotive = Board("Remotive");
    EXPECT_TRUE(
        remotive.PageInExpectedFormat(remotive.ScriptPage(Feed("remotive-pretty-printed.json"))));

    // No job found is an answer in the format, with nothing that looks like a job.
    EXPECT_TRUE(remotive.PageInExpectedFormat(Feed("no-results.json")));
    const THarvestCount none = remotive.HarvestJobs(Feed("no-results.json"));
    EXPECT_EQ(none.Blocks, 0);
    EXPECT_EQ(remotive.Jobs.Count(), 0);

    // Postings whose title moved to another key: in the format, but no job keeps a title
    // while the postings still have their links and companies.
    TVelaSource& remoteOk = Board("Remote OK");
    const std::string renamed = Feed("remoteok-renamed-fields.json");
    EXPECT_TRUE(remoteOk.PageInExpectedFormat(renamed));
    const THarvestCount count = remoteOk.HarvestJobs(renamed);
    EXPECT_EQ(count.Kept, 0);
    EXPECT_EQ(count.Untitled, 2);
    // A good answer keeps its jobs and counts the dropped posting that had a link.
    remoteOk.Jobs.ClearJobs();
    const THarvestCount good = remoteOk.HarvestJobs(Feed("remoteok.json"));
    EXPECT_EQ(good.Blocks, 4);
    EXPECT_EQ(good.Kept, 3);
    EXPECT_EQ(good.Untitled, 1);
}

}  // namespace
}  // namespace tessaly
