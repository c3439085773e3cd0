// The engine's runs end to end over a loopback server: a search over sites that succeed,
// fail, time out and do not apply; an update; stop; grabbing; refinement.
#include "search/SearchEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>

#include "data/VelaSources.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestBoards.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

// Records what the engine shows; the dialogs answer with preset values.
class TRecordingFront : public TSearchFrontEnd {
  public:
    void StatusText(int panel, const std::string& text) override {
        panels[panel] = text;
        history.push_back(IntToStr(panel) + ":" + text);
    }
    void ProgressShow() override { ++shown; }
    void ProgressClose() override { ++closed; }
    bool NewSearchDialog(const std::string& caption, const std::string& button,
                         TNewSearchValues& values) override {
        captions.push_back(caption + "/" + button);
        if (!accept) return false;
        values = answer;
        return true;
    }
    bool RefineDialog(TRefineValues& values) override {
        if (!accept) return false;
        values = refine;
        return true;
    }
    std::vector<int> SelectedJobPositions() override { return selection; }
    void JobListToGrid(bool) override { ++refills; }
    void RunSourceUpdate() override { ++updates; }
    bool TranslateKeywords(TKeywordTranslation& t) override {
        ++translations;
        t.KeywordsFR = "soudeur";
        return true;
    }
    bool HasStatus(const std::string& text) const {
        return std::find(history.begin(), history.end(), text) != history.end();
    }

    bool accept = true;
    TNewSearchValues answer{"Boston", "Trades", "welder"};
    TRefineValues refine;
    std::vector<int> selection;
    std::map<int, std::string> panels;
    std::vector<std::string> history;
    std::vector<std::string> captions;
    int shown = 0, closed = 0, refills = 0, updates = 0, translations = 0;
};

class SearchEngine : public test::TLoopTest {
  protected:
    SearchEngine() { home = Sandbox().Path(); }
    ~SearchEngine() override {
        engine_.reset();
        // Workers of an aborted machine finish on their own; wait so none outlives the loop.
        WaitFor([] { return THTTPMachine::LiveWorkers() == 0; }, 10000);
    }

    std::string Host() const { return boards.Host(); }
    void WriteSources(const std::string& extra = "") { boards.WriteHome(home, extra); }

    TSearchEngine& Start() {
        engine_ = std::make_unique<TSearchEngine>(home, front);
        TSearchEngine& e = *engine_;
        e.SetGridDelay(10);
        e.Http().Timing = {10, 10, 5, 20};
        EXPECT_TRUE(e.LoadIdentity());
        e.LoadOptions();
        e.LoadUpdateDescriptor();
        EXPECT_TRUE(e.LoadSources());
        e.LoadSearches();
        e.InitMachine();
        e.SetAutoUpdate(false);
        e.SetState(rsIdle);
        return e;
    }

    bool RunToIdle(TSearchEngine& e, int ms = 20000) {
        return WaitFor([&] { return e.State() == rsIdle; }, ms);
    }

    const TProgressRow* Row(TSearchEngine& e, const std::string& title) {
        for (const TProgressRow& r : e.ProgressRows().Rows)
            if (r.JobSource == " " + title) return &r;
        return nullptr;
    }

    std::string home;
    TRecordingFront front;
    test::TTestBoards boards;
    std::unique_ptr<TSearchEngine> engine_;
};

TEST_F(SearchEngine, NewSearchRunsEverySiteToItsEnd) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(front.captions, std::vector<std::string>{"New Search/&Search"});

    // Rows sorted by title; disabled site has none.
    std::vector<std::string> order;
    for (const auto& r : e.ProgressRows().Rows)
        order.push_back(r.JobSource);
    EXPECT_EQ(order, (std::vector<std::string>{" Alpha Jobs", " Beta Jobs", " Delta Jobs",
                                               " Gamma Jobs"}));
    EXPECT_EQ(Row(e, "Alpha Jobs")->Status, "Done");
    EXPECT_EQ(Row(e, "Alpha Jobs")->Found, "3");
    EXPECT_EQ(Row(e, "Alpha Jobs")->Kept, "3");
    EXPECT_EQ(Row(e, "Alpha Jobs")->Image, kProgressDone);
    EXPECT_EQ(Row(e, "Beta Jobs")->Status, "Unreachable");
    EXPECT_FALSE(e.LastRunReachedNoSite());  // one site answering is enough
    EXPECT_EQ(Row(e, "Delta Jobs")->Status, "Timed Out");
    EXPECT_EQ(Row(e, "Delta Jobs")->Image, kProgressFailed);
    EXPECT_EQ(Row(e, "Gamma Jobs")->Status, "Not Applicable");
    EXPECT_EQ(Row(e, "Gamma Jobs")->Image, kProgressNotApplicable);

    // Three sites counted; each reserved 4 * (25 div 2) + 5 or 5 steps and paid them back.
    EXPECT_EQ(e.Counts().Queued, 3);
    EXPECT_EQ(e.Counts().Done, 3);
    EXPECT_EQ(e.ProgressRows().GaugeMax, 53 + 5 + 5);
    EXPECT_EQ(e.ProgressRows().GaugePosition, e.ProgressRows().GaugeMax);
    EXPECT_EQ(e.ProgressRows().Phase, 3);
    EXPECT_TRUE(front.HasStatus("1:Connecting to Alpha Jobs for more jobs. Please wait..."));
    EXPECT_TRUE(front.HasStatus("1:Unable to connect to Beta Jobs."));
    EXPECT_TRUE(front.HasStatus("1:Retrieved 3 jobs from Alpha Jobs."));
    EXPECT_TRUE(front.HasStatus("2:0 of 3 sources done."));
    EXPECT_TRUE(front.HasStatus("2:1 of 3 sources done.") ||
                front.HasStatus("2:2 of 3 sources done."));
    EXPECT_EQ(front.panels[1], "Search Completed.");
    EXPECT_EQ(front.panels[2], "");
    EXPECT_EQ(Said().messages.back(), "Search Completed.");
    EXPECT_EQ(Said().beeps, 1);
    EXPECT_EQ(front.shown, 1);
    EXPECT_EQ(front.closed, 1);

    // Merged, saved and shown again from the table.
    ASSERT_EQ(e.SearchList().Count(), 1);
    const TVelaSearch& s = e.SearchList()[0];
    EXPECT_EQ(s.Keywords, "welder");
    EXPECT_EQ(BaseName(s.TableFile), "velares~1.tbl");
    EXPECT_EQ(s.JobCount, 3);
    EXPECT_TRUE(FileExists(s.TableFile));
    EXPECT_EQ(e.Jobs().Count(), 3);
    EXPECT_EQ(e.Jobs().FileName, s.TableFile);
    TVelaSearchesList index;
    index.LoadIndex(SearchesIndexPath(home));
    ASSERT_EQ(index.Count(), 1);
    EXPECT_EQ(index[0].JobCount, 3);
    // A new search marks nothing New.
    for (int i = 0; i < e.Jobs().Count(); ++i)
        EXPECT_EQ(e.Jobs()[i].Status, kStatusWhite) << e.Jobs()[i].Title;
    EXPECT_FALSE(e.Http().Stopping);
}

TEST_F(SearchEngine, AnAnswerThatCannotBeUsedSaysWhyInItsRow) {
    const std::string row = test::JobRow(11, "Pipe Fitter", "Dock Co", "Boston, MA");
    char size[16];
    std::snprintf(size, sizeof size, "%zx", row.size());
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    struct TCase {
        std::string bytes, status;
        int stallMs;
    } cases[] = {
        // The chunk announces more than the 64 MiB a page may have.
        {chunked + "4000001\r\n", "Too Large", 8000},
        {"HTTP/1.0 200 OK\r\nX-Long: " + std::string(9000, 'a') + "\r\n\r\n",
         "Bad Answer: HTTP line too long", 0},
        // The page breaks off before its last chunk: its jobs are not the whole page.
        {chunked + size + "\r\n" + row + "\r\n",
         "Bad Answer: connection closed before the document's last chunk", 0},
    };
    for (const TCase& c : cases) {
        boards.extraAnswer = [&c](const test::TTestHttpServer::TRequest&) {
            test::TTestHttpServer::TAnswer a;
            a.bytes = c.bytes;
            a.stallMs = c.stallMs;
            return a;
        };
        WriteSources("Omega Jobs");
        TSearchEngine& e = Start();
        e.MMNewClick();
        ASSERT_TRUE(RunToIdle(e));
        ASSERT_NE(Row(e, "Omega Jobs"), nullptr);
        EXPECT_EQ(Row(e, "Omega Jobs")->Status, c.status);
        EXPECT_EQ(Row(e, "Omega Jobs")->Image, kProgressFailed);
        EXPECT_EQ(Row(e, "Beta Jobs")->Status, "Unreachable");
        EXPECT_EQ(e.Jobs().Count(), 3);  // Alpha's alone
    }
}

TEST_F(SearchEngine, NextPagesGetNeitherInjectedLinesNorAnotherHostsCookie) {
    // Omega's pages link on: page 1 sets a cookie and links to page 2 on its own host, by
    // a link whose decoded references hold a line break; page 2 links to another host.
    const std::string other = "http://localhost:" + Host().substr(Host().rfind(':') + 1);
    boards.extraLines = {"MultiplePages", "True", "NextPageLinkScript",
                         "Go(Begin, \"Next &gt;\");|\xA7|Cut(All, Forward);|\xA7|"
                         "Go(Backward, After, \"<a href=\");|\xA7|Cut(All, Backward);|\xA7|"
                         "Go(Begin, \">\");|\xA7|Get(All, Backward);"};
    std::mutex lock;
    std::vector<test::TTestHttpServer::TRequest> seen;
    boards.extraAnswer = [&](const test::TTestHttpServer::TRequest& r) {
        std::lock_guard<std::mutex> guard(lock);
        seen.push_back(r);
        auto page = [](int id, const std::string& next, const std::string& cookie) {
            return test::TTestHttpServer::Normal(
                "<html><table>\n" +
                    test::JobRow(id, "Fitter " + IntToStr(id), "Dock Co", "Boston") + "</table>" +
                    (next.empty() ? "" : "<a href=" + next + ">Next &gt;</a>") + "</html>\n",
                cookie.empty() ? "" : "Set-Cookie: " + cookie + "\r\n");
        };
        if (seen.size() == 1)
            return page(1, Host() + "/extra/2&#13;&#10;X-Injected: yes",
                        "session=SECRET123; Path=/; HttpOnly");
        if (seen.size() == 2) return page(2, other + "/extra/3", "next=2; Path=/");
        return page(3, "", "");
    };
    WriteSources("Omega Jobs");
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Row(e, "Omega Jobs")->Status, "Done");
    EXPECT_EQ(Row(e, "Omega Jobs")->Found, "3");
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].requestLine, "GET /extra/2%0D%0AX-Injected:%20yes HTTP/1.0");
    EXPECT_EQ(seen[1].Header("Cookie"), "session=SECRET123");
    EXPECT_EQ(seen[2].requestLine, "GET /extra/3 HTTP/1.0");
    EXPECT_FALSE(seen[2].HasHeader("Cookie"));
    for (const auto& r : seen)
        EXPECT_FALSE(r.HasHeader("X-Injected")) << r.head;
}

// Relative job and next-page links are completed against the address of the page they
// were cut from: the request's address with its parameters, or where a redirection led.
// The site keeps its capitals.
TEST_F(SearchEngine, RelativeLinksAreCompletedAgainstTheirPagesAddress) {
    boards.extraAnswer = [](const test::TTestHttpServer::TRequest& r) {
        auto row = [](const std::string& href, const std::string& title) {
            return "<tr class=job><td><a href=" + href + ">" + title +
                   "</a></td><td>Co</td><td>Boston, MA</td></tr>\n";
        };
        if (r.requestLine.find("/extra?q=welder ") != std::string::npos)
            return test::TTestHttpServer::Normal(
                "<table>" + row("job/7", "EVT NZ WELDER") +
                "</table><a href=?q=welder&amp;page=2>Next &gt;</a>");
        if (r.requestLine.find("/extra?q=welder&page=2 ") != std::string::npos)
            return test::TTestHttpServer::Redirect("/extra/moved/list");
        if (r.requestLine.find("/extra/moved/list ") != std::string::npos)
            return test::TTestHttpServer::Normal("<table>" + row("item/9", "Moved Welder") +
                                                 "</table>");
        return test::TTestHttpServer::Status(404, "Not Found", "none");
    };
    WriteSources("Omega Jobs");
    const std::string def = JoinPath(home, "sources.def");
    TStrings lines = DecodeSourcesText(ReadFileBytes(def));
    const std::string copyLink =
        "Go(After, \"<a href=\");|\xA7|Cut(All, Backward);|\xA7|Go(Begin, \">\");|\xA7|"
        "Get(All, Backward);";
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
        if (lines[i] == "JobURLScript|5") lines[i + 1] = copyLink;
    lines.insert(lines.end(),
                 {"KeepCapitals|5", "True", "MultiplePages|5", "True", "JobsPerPage|5", "1",
                  "NextPageLinkScript|5",
                  "Go(After, \"</table>\");|\xA7|Cut(All, Backward);|\xA7|" + copyLink});
    WriteFileBytes(def, EncodeSourcesLines(lines).value());

    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    std::map<std::string, std::string> links;
    for (int i = 0; i < e.Jobs().Count(); ++i)
        if (e.Jobs()[i].Source == "Omega Jobs") links[e.Jobs()[i].Title] = e.Jobs()[i].URL;
    EXPECT_EQ(links, (std::map<std::string, std::string>{
                         {"EVT NZ WELDER", Host() + "/job/7"},
                         {"Moved Welder", Host() + "/extra/moved/item/9"}}));
}

TEST_F(SearchEngine, UpdateMarksOnlyNewlyPostedJobsNew) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    ASSERT_EQ(e.Jobs().Count(), 3);

    boards.extraRow = test::JobRow(9, "Night Welder", "Dock Co", "Boston, MA");
    e.MMUpdateClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(front.captions.back(), "Update Search/&Update");
    ASSERT_EQ(e.Jobs().Count(), 4);
    int fresh = 0;
    for (int i = 0; i < e.Jobs().Count(); ++i) {
        if (e.Jobs()[i].Status == kStatusNew) {
            ++fresh;
            EXPECT_EQ(e.Jobs()[i].Title, "Night Welder");
        }
    }
    EXPECT_EQ(fresh, 1);
    EXPECT_EQ(e.SearchList().Count(), 1);
    EXPECT_EQ(e.SearchList()[0].JobCount, 4);
    EXPECT_EQ(e.LastRunNewJobs(), 1);
    EXPECT_EQ(Said().messages.back(), "Search Completed. 1 new job.");
    EXPECT_EQ(front.panels[1], "Search Completed. 1 new job.");

    // Once more with nothing new: nothing added, and the earlier New mark is gone.
    e.MMUpdateClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(e.Jobs().Count(), 4);
    EXPECT_FALSE(e.Jobs().HasStatus(kStatusNew));
    EXPECT_EQ(Said().messages.back(), "Search Completed. No new jobs.");
}

// The entry points that take values run without any dialog: the command line's way in.
TEST_F(SearchEngine, ValueEntryPointsRunWithoutDialogs) {
    WriteSources();
    front.accept = false;  // any dialog shown would cancel the run
    TSearchEngine& e = Start();
    e.StartSearch({"Boston", "Trades", "welder"});
    ASSERT_TRUE(RunToIdle(e));
    e.StartSearch({"Boston", "Trades", "welder"});
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_TRUE(front.captions.empty());
    ASSERT_EQ(e.SearchList().Count(), 2);
    EXPECT_EQ(e.Selected(), 1);
    EXPECT_EQ(e.SearchList()[1].Keywords, "welder");
    EXPECT_EQ(Said().messages.back(), "Search Completed.");

    // An update of the first search, named by its position, with changed keywords.
    boards.extraRow = test::JobRow(9, "Night Welder", "Dock Co", "Boston, MA");
    e.StartUpdate(0, {"Boston", "Trades", "night welder"});
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(e.Selected(), 0);
    EXPECT_EQ(e.SearchList()[0].Keywords, "night welder");
    EXPECT_EQ(e.SearchList()[0].JobCount, 4);
    EXPECT_EQ(e.SearchList()[1].JobCount, 3);  // the other search is untouched
    EXPECT_TRUE(e.Jobs().HasStatus(kStatusNew));
    // A position that names no search starts nothing and keeps the selection.
    e.StartUpdate(7, {"Boston", "Trades", "x"});
    EXPECT_EQ(e.State(), rsIdle);
    EXPECT_EQ(e.Selected(), 0);

    // Grabbing the jobs at given positions fetches exactly those.
    e.Grab(gcSelected, {0, 2});
    ASSERT_TRUE(RunToIdle(e));
    for (int i = 0; i < e.Jobs().Count(); ++i)
        EXPECT_EQ(!e.Jobs()[i].LocalFile.empty(), i == 0 || i == 2) << i;

    // A refinement with these values; the values stay as the dialog's next preset.
    TRefineValues refine;
    refine.Keywords = "TIG";
    refine.Download = false;
    e.Refine(refine);
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Said().messages.back(), "Refining Completed.");
    EXPECT_EQ(e.LastRefinement().Keywords, "TIG");
    EXPECT_FALSE(e.LastRefinement().Download);
    int tested = 0;
    for (int i = 0; i < e.Jobs().Count(); ++i)
        tested += e.Jobs()[i].Status == kStatusGreen || e.Jobs()[i].Status == kStatusRed;
    EXPECT_EQ(tested, 2);  // only the grabbed copies are read without downloading
    EXPECT_TRUE(front.captions.empty());
}

TEST_F(SearchEngine, CancelledDialogLeavesNoSearch) {
    WriteSources();
    TSearchEngine& e = Start();
    front.accept = false;
    e.MMNewClick();
    EXPECT_EQ(e.SearchList().Count(), 0);
    EXPECT_EQ(e.State(), rsIdle);
    EXPECT_EQ(front.shown, 0);
}

TEST_F(SearchEngine, StopAbortsRunningAndWaitingSites) {
    WriteSources();
    TSearchEngine& e = Start();
    e.Http().TimeOut = 0;  // Delta stalls until the stop
    e.MMNewClick();
    ASSERT_TRUE(
        WaitFor([&] { return Row(e, "Alpha Jobs")->Status == "Done" && boards.deltaHits > 0; }));
    e.MMStopClick();
    EXPECT_EQ(e.State(), rsStopping);
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Said().messages.back(), "Search Aborted.");
    EXPECT_EQ(front.panels[1], "Search Aborted.");
    EXPECT_EQ(Row(e, "Alpha Jobs")->Status, "Done");
    EXPECT_EQ(Row(e, "Delta Jobs")->Status, "Aborted");
    EXPECT_EQ(e.Counts().Done, e.Counts().Queued);
    // The merged jobs are kept and saved.
    EXPECT_EQ(e.Jobs().Count(), 3);
    EXPECT_EQ(e.SearchList()[0].JobCount, 3);
    EXPECT_FALSE(e.Http().Stopping);
}

// A page of thousands of blocks: cutting stops at the most jobs a site may keep, and a
// Stop pressed while the page is being cut ends the cutting at once (the site's jobs are
// then not merged, as for any site running at a Stop).
TEST_F(SearchEngine, CuttingAHugePageStopsAtTheSiteLimitAndAtAStop) {
    std::string rows;
    for (int i = 0; i < 3000; ++i)
        rows += test::JobRow(i, "Welder " + IntToStr(i), "Iron Co", "Boston, MA");
    boards.extraAnswer = [&](const test::TTestHttpServer::TRequest&) {
        return test::TTestHttpServer::Normal("<html><table>\n" + rows + "</table></html>\n");
    };
    WriteSources("Huge Jobs");
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Row(e, "Huge Jobs")->Found, IntToStr(options::MaxJobs.High));
    EXPECT_EQ(Row(e, "Huge Jobs")->Kept, "25");

    TVelaSource* huge = nullptr;
    for (int i = 0; i < e.Sites().Count(); ++i)
        if (e.Sites()[i].Title == "Huge Jobs") huge = &e.Sites()[i];
    ASSERT_NE(huge, nullptr);
    int statements = 0;
    huge->Parser.OnTrace = [&](TParserScript&, int, int32_t, std::string_view) {
        if (statements++ == 0) MainLoop().Post([&] { e.MMStopClick(); });
    };
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Said().messages.back(), "Search Aborted.");
    EXPECT_EQ(Row(e, "Huge Jobs")->Found, "0");
    EXPECT_LT(statements, 10);
}

// Every site unreachable (no network, a dead proxy): a failure said as such, not a
// completed search; the search is kept with its count 0.
TEST_F(SearchEngine, ReachingNoSiteIsAFailure) {
    WriteSources();
    TSearchEngine& e = Start();
    for (const char* site : {"Alpha Jobs", "Delta Jobs"})
        e.OptionsBox().WriteString("Sources", site, "Disabled");
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Row(e, "Beta Jobs")->Status, "Unreachable");
    EXPECT_TRUE(e.LastRunReachedNoSite());
    const std::string said = "No job site could be reached. Check the connection settings.";
    EXPECT_EQ(Said().messages.back(), said);
    EXPECT_EQ(front.panels[1], said);
    ASSERT_EQ(e.SearchList().Count(), 1);
    EXPECT_EQ(e.SearchList()[0].JobCount, 0);
}

TEST_F(SearchEngine, RunWithoutAnySiteStillEnds) {
    WriteSources();
    TSearchEngine& e = Start();
    for (int i = 0; i < e.Sites().Count(); ++i)
        e.OptionsBox().WriteString("Sources", e.Sites()[i].Title, "Disabled");
    e.MMNewClick();
    EXPECT_EQ(e.State(), rsIdle);
    EXPECT_EQ(Said().messages.back(), "Search Completed.");
    EXPECT_EQ(e.Counts().Queued, 0);
}

// The window's path through a damaged table: shown empty, told once, and every command
// that would save the listing over it stops; the selection moving away and back, and
// closing, write nothing either.
TEST_F(SearchEngine, DamagedTableIsShownEmptyAndNeverSavedOver) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    const std::string table = e.SearchList()[0].TableFile;
    std::string bytes = ReadFileBytes(table);
    bytes.resize(bytes.size() * 2 / 3);
    WriteFileBytes(table, bytes);
    e.SelectSearch(0);
    ASSERT_TRUE(WaitFor([&] { return e.TableDamaged(e.SelectedSearch()); }));
    EXPECT_EQ(e.Jobs().Count(), 0);
    EXPECT_NE(Said().messages.back().find(table), std::string::npos) << Said().messages.back();
    const size_t told = Said().messages.size();
    e.MMUpdateClick();
    e.MMRefineClick();
    e.MMGrabAllClick();
    e.MMDeleteGrabbedClick();
    e.MMDeleteAllClick();
    EXPECT_EQ(e.State(), rsIdle);
    EXPECT_EQ(Said().messages.size(), told + 5);
    // The entry points that take values refuse it the same way.
    e.StartUpdate(0, {"Boston", "Trades", "welder"});
    e.Refine(TRefineValues{});
    e.Grab(gcAll);
    EXPECT_EQ(e.State(), rsIdle);
    EXPECT_EQ(Said().messages.size(), told + 8);
    EXPECT_EQ(e.SearchList().Count(), 2);
    e.SelectSearch(1);
    e.GridTimerTimer();
    e.SelectSearch(0);
    e.GridTimerTimer();
    e.SaveOnClose();
    EXPECT_EQ(ReadFileBytes(table), bytes);
}

TEST_F(SearchEngine, AutomaticUpdateRunsOncePerProgramRun) {
    WriteSources();
    TSearchEngine& e = Start();
    e.SetAutoUpdate(true);
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(front.updates, 1);
    EXPECT_TRUE(front.HasStatus("1:Automatic update in progress..."));
    // The second search got the next free table.
    ASSERT_EQ(e.SearchList().Count(), 2);
    EXPECT_EQ(BaseName(e.SearchList()[1].TableFile), "velares~2.tbl");
}

TEST_F(SearchEngine, ResultsStayWithTheirSearchWhenTheSelectionMoves) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    ASSERT_EQ(e.Jobs().Count(), 3);
    // A second search; while it runs the user goes back to the first one.
    front.answer.Keywords = "helper";
    e.MMNewClick();
    e.SelectSearch(0);
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(e.Selected(), 0);
    EXPECT_EQ(e.Jobs().FileName, e.SearchList()[0].TableFile);
    EXPECT_EQ(e.Jobs().Count(), 3);
    EXPECT_EQ(e.SearchList()[1].JobCount, 3);
    TVelaJobsList second;
    LoadJobTable(second, e.SearchList()[1].TableFile);
    EXPECT_EQ(second.Count(), 3);
}

TEST_F(SearchEngine, GrabStoresPagesOnceAndRewritesAddresses) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    e.MMGrabAllClick();
    EXPECT_EQ(e.State(), rsGrabbing);
    EXPECT_EQ(front.panels[2], "0 of 3 jobs grabbed.");
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Said().messages.back(), "Grabbing Completed.");
    const std::string folder = SearchFolder(e.SearchList()[0]);
    EXPECT_EQ(ListDirectory(folder).size(), 3u);
    for (int i = 0; i < e.Jobs().Count(); ++i) {
        const TVelaJob& job = e.Jobs()[i];
        ASSERT_FALSE(job.LocalFile.empty()) << job.Title;
        const std::string text = ReadFileBytes(job.LocalFile);
        EXPECT_NE(text.find("ACTION=\"" + Host() + "/apply.cgi\""), std::string::npos) << text;
        EXPECT_NE(text.find("SRC=\"" + Host() + "/logo.gif\">"), std::string::npos) << text;
        EXPECT_NE(text.find("\r\n"), std::string::npos);
    }
    e.MMGrabAllClick();
    EXPECT_EQ(Said().messages.back(), "These jobs have already been grabbed.");
    EXPECT_EQ(e.State(), rsIdle);

    // Clearing forgets the copies; grabbing only the selected one fetches just that.
    e.MMDeleteGrabbedClick();
    EXPECT_FALSE(DirectoryExists(folder));
    front.selection = {1};
    e.MMGrabSelectedClick();
    ASSERT_TRUE(RunToIdle(e));
    int grabbed = 0;
    for (int i = 0; i < e.Jobs().Count(); ++i)
        grabbed += !e.Jobs()[i].LocalFile.empty();
    EXPECT_EQ(grabbed, 1);
}

TEST_F(SearchEngine, GrabHighlightedAndValidatedChooseTheirJobs) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    // Nothing highlighted: nothing to fetch.
    e.MMGrabHighClick();
    EXPECT_EQ(Said().messages.back(), "These jobs have already been grabbed.");
    e.Jobs()[0].High = true;
    e.Jobs()[2].Status = kStatusGreen;
    const std::string high = e.Jobs()[0].URL, green = e.Jobs()[2].URL;
    e.MMGrabHighClick();
    ASSERT_TRUE(RunToIdle(e));
    e.MMGrabGreenClick();
    ASSERT_TRUE(RunToIdle(e));
    for (int i = 0; i < e.Jobs().Count(); ++i) {
        const TVelaJob& j = e.Jobs()[i];
        EXPECT_EQ(!j.LocalFile.empty(), j.URL == high || j.URL == green) << j.Title;
    }
    // Both chosen jobs have copies now: a second time fetches nothing.
    e.MMGrabHighClick();
    EXPECT_EQ(Said().messages.back(), "These jobs have already been grabbed.");
}

TEST_F(SearchEngine, GrabbedPageNeverOverwritesAnother) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    // Pages left by an earlier program run under the names this run's queries will get.
    const std::string folder = SearchFolder(e.SearchList()[0]);
    ForceDirectories(folder);
    for (int id = 1; id < 40; ++id)
        WriteFileBytes(JoinPath(folder, "index" + IntToStr(id) + ".html"), "old");
    e.MMGrabAllClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(ListDirectory(folder).size(), 39u + 3u);
    EXPECT_EQ(ReadFileBytes(JoinPath(folder, "index1.html")), "old");
}

TEST_F(SearchEngine, GrabFailsCleanlyWhenTheFolderCannotBeMade) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    // A file where the folder belongs.
    WriteFileBytes(SearchFolder(e.SearchList()[0]), "in the way");
    e.MMGrabAllClick();
    ASSERT_TRUE(RunToIdle(e));
    for (int i = 0; i < e.Jobs().Count(); ++i) {
        EXPECT_TRUE(e.Jobs()[i].LocalFile.empty());
        EXPECT_EQ(e.Jobs()[i].Status, kStatusYellow);
    }
    bool told = false;
    for (const auto& h : front.history)
        told |= h.find("cannot create the folder") != std::string::npos;
    EXPECT_TRUE(told);
}

TEST_F(SearchEngine, RefineValidatesAndMovesRelevancy) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    std::map<std::string, int> before;
    for (int i = 0; i < e.Jobs().Count(); ++i)
        before[e.Jobs()[i].URL] = e.Jobs()[i].Relevancy;

    front.refine.Keywords = "TIG";
    front.refine.Download = true;
    front.refine.KeepAsGrabbed = true;
    e.MMRefineClick();
    EXPECT_EQ(e.Http().MaxThreads, 4);
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Said().messages.back(), "Refining Completed.");
    int green = 0, red = 0;
    for (int i = 0; i < e.Jobs().Count(); ++i) {
        const TVelaJob& job = e.Jobs()[i];
        const int was = before[job.URL];
        EXPECT_FALSE(job.LocalFile.empty()) << "kept as grabbed";
        if (job.URL == Host() + "/job/1") {
            EXPECT_EQ(job.Status, kStatusGreen);
            EXPECT_EQ(job.Relevancy, std::min(was + 1, 6));
            ++green;
        } else {
            EXPECT_EQ(job.Status, kStatusRed) << job.Title;
            EXPECT_EQ(job.Relevancy, std::max(was - 1, 2));
            ++red;
        }
    }
    EXPECT_EQ(green, 1);
    EXPECT_EQ(red, 2);

    // Invalidation without downloading: grabbed copies are tested, nothing is fetched.
    front.refine.Validation = false;
    front.refine.Download = false;
    e.MMRefineClick();
    ASSERT_TRUE(RunToIdle(e));
    for (int i = 0; i < e.Jobs().Count(); ++i) {
        const TVelaJob& job = e.Jobs()[i];
        EXPECT_EQ(job.Status, job.URL == Host() + "/job/1" ? kStatusRed : kStatusGreen);
    }
}

TEST_F(SearchEngine, RefineReadsPagesOfEitherCharsetInUtf8) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    // Typed in UTF-8; only job 3's page holds the words, in Windows-1252 bytes.
    front.refine.Keywords = "Qualit\xc3\xa9 \xc3\xa9t\xc3\xa9";
    front.refine.MatchAll = true;
    front.refine.Download = true;
    e.MMRefineClick();
    ASSERT_TRUE(RunToIdle(e));
    int green = 0;
    for (int i = 0; i < e.Jobs().Count(); ++i) {
        const TVelaJob& job = e.Jobs()[i];
        EXPECT_EQ(job.Status, job.URL == Host() + "/job/3" ? kStatusGreen : kStatusRed) << job.URL;
        green += job.Status == kStatusGreen;
    }
    EXPECT_EQ(green, 1);
}

TEST_F(SearchEngine, RefineWithoutDownloadsCountsEveryJob) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    front.refine.Keywords = "TIG";
    front.refine.Download = false;
    e.MMRefineClick();
    EXPECT_EQ(e.State(), rsIdle);
    EXPECT_EQ(e.Counts().Done, 3);
    for (int i = 0; i < e.Jobs().Count(); ++i)
        EXPECT_EQ(e.Jobs()[i].Status, kStatusWhite);
    EXPECT_EQ(Said().messages.back(), "Refining Completed.");
}

TEST_F(SearchEngine, TranslatorRunsOnlyForForeignSites) {
    WriteSources();
    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(front.translations, 0);
    e.Sites()[0].KeywordLanguage = "fr";
    e.MMUpdateClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(front.translations, 1);
    EXPECT_EQ(e.SearchList()[0].KeywordsFR, "soudeur");
}

TEST(UpdateRelativeLinks, MakesAddressesAbsoluteOnThePagesHost) {
    const std::string url = "http://jobs.example/list/job7.html";
    EXPECT_EQ(UpdateRelativeLinks("<form ACTION=\"/cgi-bin/apply.pl\">", url, "ACTION="),
              "<form ACTION=\"http://jobs.example/cgi-bin/apply.pl\">");
    EXPECT_EQ(UpdateRelativeLinks("<img src=/img/logo.gif>", url, "SRC="),
              "<img src=\"http://jobs.example/img/logo.gif\">");
    EXPECT_EQ(UpdateRelativeLinks("<img SRC=a.gif width=3>", url, "SRC="),
              "<img SRC=\"http://jobs.examplea.gif\" width=3>");
    // Absolute and mail addresses stay, without their quotes.
    EXPECT_EQ(UpdateRelativeLinks("<a SRC=\"http://x/y\"> <b ACTION=\"mailto:me@x\">", url, "SRC="),
              "<a SRC=http://x/y> <b ACTION=\"mailto:me@x\">");
    EXPECT_EQ(UpdateRelativeLinks("<b ACTION=\"MailTo:me@x\">", url, "ACTION="),
              "<b ACTION=MailTo:me@x>");
    // No path after the host: the base is the scheme alone.
    EXPECT_EQ(UpdateRelativeLinks("<img SRC=/a.gif>", "http://jobs.example", "SRC="),
              "<img SRC=\"http:///a.gif\">");
    // An unclosed quote or a value at the very end.
    EXPECT_EQ(UpdateRelativeLinks("x SRC=\"/open", url, "SRC="),
              "x SRC=\"http://jobs.example/open\"");
    EXPECT_EQ(UpdateRelativeLinks("x SRC=", url, "SRC="), "x SRC=\"http://jobs.example\"");
    EXPECT_EQ(UpdateRelativeLinks("plain text", url, "SRC="), "plain text");
}

TEST(ConnectionOptions, DesignUnreadableAndHeldValues) {
    TConfigBox box;
    TConnectionOptions o = ReadConnectionOptions(box);
    EXPECT_EQ(o.MaxJobs, 75);
    EXPECT_EQ(o.MaxThreads, 8);
    EXPECT_EQ(o.TimeOut, 30);
    box.WriteString("Visual", "Yellow", "True");
    box.WriteString("Connection", "MaxThreads", "2");
    box.WriteString("Connection", "TimeOut", "soon");
    box.WriteString("Connection", "MaxJobs", "900");
    box.WriteString("Connection", "ProxyIP", "proxy.lan");
    o = ReadConnectionOptions(box);
    EXPECT_EQ(o.MaxThreads, 4);
    EXPECT_EQ(o.TimeOut, 45);
    EXPECT_EQ(o.MaxJobs, 250);
    EXPECT_EQ(o.ProxyIP, "") << "the proxy address is read only while the proxy is used";
    box.WriteString("Connection", "UseProxy", "True");
    EXPECT_EQ(ReadConnectionOptions(box).ProxyIP, "proxy.lan");
}

TEST(JobStatusImage, FollowsStatusCopyAndHighlight) {
    TVelaJob job;
    EXPECT_EQ(JobStatusImage(job), 1);
    job.Status = kStatusGreen;
    EXPECT_EQ(JobStatusImage(job), 15);
    job.LocalFile = "x";
    EXPECT_EQ(JobStatusImage(job), 5);
    job.High = true;
    EXPECT_EQ(JobStatusImage(job), 6);
    job.Status = kStatusNew;
    EXPECT_EQ(JobStatusImage(job), 19);  // the New star on the highlight
    job.High = false;
    EXPECT_EQ(JobStatusImage(job), 0);
    job.Status = kStatusRed;
    job.High = false;
    job.LocalFile.clear();
    EXPECT_EQ(JobStatusImage(job), 17);
}

// The shipped job boards, their addresses moved onto a loopback server that answers with
// feeds in each board's format, except one that answers a page that is no feed (its row
// says so and it adds no job) and one that refuses.
TEST_F(SearchEngine, BoardAnsweringOutsideItsFormatSaysSoAndAddsNothing) {
    std::atomic<int> remoteOkHits{0};
    test::TTestHttpServer feeds([&](const test::TTestHttpServer::TRequest& r) {
        auto feed = [](const std::string& name) {
            return ReadFileBytes(test::FixturePath("feeds/" + name));
        };
        const std::string& line = r.requestLine;
        if (line.find("/weworkremotely.com/remote-jobs.rss") != std::string::npos)
            return test::TTestHttpServer::Normal(feed("weworkremotely.rss"));
        if (line.find("/remotive.com/") != std::string::npos)
            return test::TTestHttpServer::Normal(feed("remotive.json"));
        if (line.find("/jobicy.com/") != std::string::npos)
            return test::TTestHttpServer::Normal(feed("jobicy.json"));
        // Remote OK answers the first search with a page that is no feed, and the next
        // one with its feed.
        if (line.find("/remoteok.com/") != std::string::npos)
            return test::TTestHttpServer::Normal(
                feed(remoteOkHits++ == 0 ? "challenge-page.html" : "remoteok.json"));
        // A refusal stays a failed request, as for every site.
        return test::TTestHttpServer::Status(403, "Forbidden", feed("challenge-page.html"));
    });
    boards.WriteHome(home);
    TStrings plain = ReadTextLines(test::FixturePath("../../data/sources.plain"));
    for (size_t i = 0; i + 1 < plain.size(); i += 2)
        if (plain[i].starts_with("FirstPageURL"))
            plain[i + 1] = ReplaceAll(plain[i + 1], "https://", feeds.Url("/"));
    auto encoded = EncodeSourcesLines(plain);
    ASSERT_TRUE(encoded.ok());
    WriteFileBytes(JoinPath(home, "sources.def"), encoded.value());
    front.answer = {"Anywhere", "All Categories", "python"};

    TSearchEngine& e = Start();
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    for (const char* good : {"We Work Remotely", "Remotive", "Jobicy"}) {
        ASSERT_NE(Row(e, good), nullptr) << good;
        EXPECT_EQ(Row(e, good)->Status, "Done") << good;
    }
    // The feed has no keyword parameter: the search keeps none of its four jobs, none of
    // which is a python job.
    EXPECT_EQ(Row(e, "We Work Remotely")->Found, "4");
    EXPECT_EQ(Row(e, "We Work Remotely")->Kept, "0");
    EXPECT_EQ(Row(e, "Remote OK")->Status, "No jobs in the expected format");
    EXPECT_EQ(Row(e, "Remote OK")->Image, kProgressFailed);
    EXPECT_EQ(Row(e, "Remote OK")->Found, "0");
    EXPECT_EQ(Row(e, "Arbeitnow")->Status, "Unreachable");
    EXPECT_TRUE(front.HasStatus("1:Remote OK did not answer in the expected format."));
    EXPECT_EQ(front.panels[1], "Search Completed.");

    ASSERT_EQ(e.Jobs().Count(), 3 + 2);
    for (int i = 0; i < e.Jobs().Count(); ++i) {
        EXPECT_NE(e.Jobs()[i].Source, "Remote OK");
        EXPECT_NE(e.Jobs()[i].Source, "Arbeitnow");
    }
    // The next search starts every board afresh: Remote OK answers in its format now.
    e.MMNewClick();
    ASSERT_TRUE(RunToIdle(e));
    EXPECT_EQ(Row(e, "Remote OK")->Status, "Done");
    EXPECT_EQ(Row(e, "Remote OK")->Kept, "3");
}

}  // namespace
}  // namespace tessaly
