#include <gtest/gtest.h>

#include "data/VelaSources.h"
#include "platform/TextFile.h"
#include "support/JobChecks.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

using test::TExpectedJob;

class Harvest : public test::TLoopTest {
  protected:
    Harvest() {
        auto enc = EncodeSourcesLines(ReadTextLines(test::FixturePath("boards.plain")));
        EXPECT_TRUE(enc.ok());
        const std::string def = Sandbox().File("sources.def");
        WriteFileBytes(def, enc.ok() ? enc.value() : "");
        list.LoadFromFile(def);
    }
    TVelaSource& Site(int i, const std::string& page, bool clean) {
        TVelaSource& s = list[i];
        s.HarvestJobs(ReadFileBytes(test::FixturePath("boards/" + page)));
        if (clean) {
            s.Jobs.CleanUpJobs();
            s.Jobs.ExpandStates();
        }
        return s;
    }
    TVelaSourcesList list;
};

TEST_F(Harvest, TableRowsRawDropRunningNumbersAndStampSourceAndTime) {
    TVelaSource& s = Site(0, "table.html", false);
    test::ExpectJobs(s.Jobs, {{"SENIOR WELDER (TIG/MIG)", "Smith &amp; Sons", "Boston, MA",
                               "http://table.example.test/job/101"},
                              {"Line &lt;b&gt;Cook&lt;/b&gt;", "The Inn", "Austin TX",
                               "http://table.example.test/job/102"},
                              {"Caf&eacute; Manager", "AT&T Foods", "Anywhere, USA",
                               "http://table.example.test/job/104"}});
    EXPECT_EQ(s.Jobs[2].Source, "Table Board");
    EXPECT_NE(s.Jobs[2].Found.find(" @ "), std::string::npos);
    EXPECT_EQ(s.Jobs[2].JobIndex, 2);  // the dropped block left no hole
    const std::string page = ReadFileBytes(test::FixturePath("boards/table.html"));
    EXPECT_EQ(s.Parser.Run(s.NextPageLinkScript, page), "http://table.example.test/search?page=2");
}

// A search caps the blocks a site may give and can be stopped while it cuts: what is kept
// is whole jobs in page order.
TEST_F(Harvest, LimitsCapTheBlocksAndKeepGoingStopsBetweenWholeJobs) {
    const std::string page = ReadFileBytes(test::FixturePath("boards/table.html"));
    const std::string first = "http://table.example.test/job/101";
    struct {
        int maxBlocks;
        int stopAt;  // KeepGoing says no once the list holds this many jobs
        std::vector<std::string> urls;
    } cases[] = {
        {2, 99, {first, "http://table.example.test/job/102"}},
        {0, 99, {}},
        {-1, 0, {}},
        {-1, 2, {first}},  // the second job is cut short, so dropped
    };
    for (const auto& c : cases) {
        TVelaSource& s = list[0];
        s.Jobs.ClearJobs();
        s.BlockLimit = c.maxBlocks;
        s.Parser.KeepGoing = [&] { return s.Jobs.Count() < c.stopAt; };
        s.HarvestJobs(page);
        std::vector<std::string> urls;
        for (int i = 0; i < s.Jobs.Count(); ++i)
            urls.push_back(s.Jobs[i].URL);
        EXPECT_EQ(urls, c.urls) << c.maxBlocks << " " << c.stopAt;
    }
}

TEST_F(Harvest, TableRowsCleaned) {
    test::ExpectJobs(
        Site(0, "table.html", true).Jobs,
        {{"Senior Welder (Tig/Mig)", "Smith & Sons", "Boston, Massachusetts",
          "http://table.example.test/job/101"},
         {"Line Cook", "The Inn", "Austin, Texas", "http://table.example.test/job/102"},
         {"Caf\xC3\xA9 Manager", "AT&T Foods", "Anywhere", "http://table.example.test/job/104"}});
}

TEST_F(Harvest, DivCardsWithTemplatedLinksAndANextPageForm) {
    TVelaSource& s = Site(1, "cards.html", true);
    test::ExpectJobs(
        s.Jobs, {{"Accountant - Payroll", "Miller & Partner", "Denver, Colorado",
                  "http://cards.example.test/view?job=Accountant+-+Payroll&at=Miller+&+Partner"},
                 {"Night Nurse", "n/a", "Portland OR 97201",
                  "http://cards.example.test/view?job=Night+Nurse&at=n/a"},
                 // The trimmer takes a closing quote off the end of a text.
                 {"Chef \"de partie", "Le Bistro", "New York/, New Jersey",
                  "http://cards.example.test/view?job=Chef+\"de+partie&at=Le+Bistro"}});
    const std::string page = ReadFileBytes(test::FixturePath("boards/cards.html"));
    const std::string form = s.Parser.Run(s.NextPageLinkScript, page);
    EXPECT_EQ(form.rfind("<form name=next action=/cards/search method=POST>", 0), 0u) << form;
    EXPECT_TRUE(EndsWith(form, "</form>"));
}

TEST_F(Harvest, DefinitionListFromParserScriptsKeepsRelativeLinks) {
    TVelaSource& s = Site(2, "list.html", true);
    test::ExpectJobs(s.Jobs, {{"Programmer/Analyst (Cobol, Db2)", "Acme Corp.", "Chicago, Illinois",
                               "detail.cgi?id=9001"},
                              {"Teacher of French",  // no-break spaces are blanks
                               "Lyc\xC3\xA9"
                               "e Fran\xC3\xA7"
                               "ais",
                               "Montr\xC3\xA9"
                               "al",
                               "detail.cgi?id=9003"}});
    const std::string page = ReadFileBytes(test::FixturePath("boards/list.html"));
    EXPECT_EQ(s.Parser.Run(s.NextPageLinkScript, page), "results.cgi?start=20");
}

// A search completes relative links against the address of the page they were cut from;
// links that are already full addresses stay as they are.
TEST_F(Harvest, RelativeLinksAreCompletedAgainstThePageAddress) {
    TVelaSource& relative = list[2];
    relative.HarvestJobs(ReadFileBytes(test::FixturePath("boards/list.html")), {},
                         "http://list.example.test/jobs/results.cgi?start=0");
    ASSERT_EQ(relative.Jobs.Count(), 2);
    EXPECT_EQ(relative.Jobs[0].URL, "http://list.example.test/jobs/detail.cgi?id=9001");
    EXPECT_EQ(relative.Jobs[1].URL, "http://list.example.test/jobs/detail.cgi?id=9003");
    TVelaSource& absolute = list[0];
    absolute.HarvestJobs(ReadFileBytes(test::FixturePath("boards/table.html")), {},
                         "https://elsewhere.test/a/b");
    ASSERT_EQ(absolute.Jobs.Count(), 3);
    EXPECT_EQ(absolute.Jobs[0].URL, "http://table.example.test/job/101");
}

}  // namespace
}  // namespace tessaly
