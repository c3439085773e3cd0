// The search engine: the program's working state (sites, searches, the current job list,
// the HTTP machine, the settings boxes) and the runs over it: a new search, an update, a
// refinement and grabbing. It is the toolkit-free half of the main window; the window, the
// command line and the tests drive it and show what it reports through TSearchFrontEnd.
//
// Everything here runs on the main thread. The machine's handlers let pending messages
// run after every step, so a handler, a timer and a user command can interleave: each
// handler leaves the counters consistent before it yields, and the completion check
// comes last.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "data/ConfigBox.h"
#include "data/JobColumns.h"
#include "data/Settings.h"
#include "data/VelaJobs.h"
#include "data/VelaSearches.h"
#include "data/VelaSources.h"
#include "net/HttpMachine.h"
#include "parsing/VelaPageSearch.h"
#include "platform/MainLoop.h"
#include "search/FrontEnd.h"

namespace tessaly {

// The campus site that the "CCN" editions always search.
inline constexpr const char* kCampusSiteTitle = "Viradod Edidivi Revazur";

// The connection options as the engine reads them from options.box.
struct TConnectionOptions {
    int MaxJobs = options::MaxJobs.Default;
    int MaxThreads = options::MaxThreads.Default;
    int TimeOut = options::TimeOut.Default;
    bool UseProxy = false;
    std::string ProxyIP;
    std::string ProxyPort;
    bool UseProxyAuthenticate = false;
    std::string ProxyUsername;
    std::string ProxyPassword;
};

// A store without the "Visual" keys has never been written: the design values apply.
// Otherwise unreadable numbers take the unreadable defaults and every number is held
// within its slider's range.
TConnectionOptions ReadConnectionOptions(const TConfigBox& options);

// The status image of a job in the listing (an index into the job image list).
int JobStatusImage(const TVelaJob& job);

// The page text with the relative addresses of one attribute ("ACTION=", "SRC=") made
// absolute against the page's address.
std::string UpdateRelativeLinks(const std::string& text, const std::string& pageURL,
                                const std::string& attribute);

// The folder of a search's grabbed pages: its table file without ".tbl".
std::string SearchFolder(const TVelaSearch& search);

// Which jobs a grab fetches.
enum TGrabChoice {
    gcAll,
    gcHighlighted,
    gcValidated,  // the Green ones
    gcSelected,   // the positions given
};

// The engine's working state. Only the engine's own code reaches it; the front-ends go
// through the engine's interface: settings in, state out, events through TSearchFrontEnd.
struct TSearchEngineState {
    explicit TSearchEngineState(std::string programDir) : ProgramDir(std::move(programDir)) {}

    std::string ProgramDir;
    TConfigBox IdBox;    // "ID" values of id.box
    TConfigBox Options;  // options.box
    TConfigBox Config;   // config.box, the update descriptor
    TVelaSourcesList Sources;
    TVelaSearchesList Searches;
    THTTPMachine Machine;
    TVelaPageSearch PageSearch;

    TRunState RunState = rsStarting;
    int ItemsQueued = 0;
    int ItemsInProgress = 0;
    int ItemsDone = 0;
    bool UpdateMode = false;
    bool AutoUpdatePending = true;
    bool JobsModified = false;
    TProgressModel Progress;
    TRefineValues LastRefine;
    TNewSearchValues NewSearch;
    // The listing's sort column and direction; a fresh listing is by relevancy.
    TJobColumn SortColumn = TJobColumn::Relevancy;
    bool SortDescending = false;
    int GridTimerMs = 500;
};

// The listing's sort column and direction.
struct TSortOrder {
    TJobColumn Column = TJobColumn::Relevancy;
    bool Descending = false;
};

// A run's requests: queued, in progress, done.
struct TRunCounts {
    int Queued = 0;
    int InProgress = 0;
    int Done = 0;
};

class TSearchEngine : private TSearchEngineState {
  public:
    // `programDir` holds id.box, sources.def, options.box and the searches directory.
    TSearchEngine(std::string programDir, TSearchFrontEnd& frontEnd);
    ~TSearchEngine();
    TSearchEngine(const TSearchEngine&) = delete;
    TSearchEngine& operator=(const TSearchEngine&) = delete;

    // Start-up: reads id.box (false when it is missing), options.box, config.box and sets
    // the machine's Agent. Loading sources.def and the index are separate steps, since
    // the window does them at its first activation.
    bool LoadIdentity();
    void LoadOptions();
    void LoadUpdateDescriptor();
    // The three above in their order, as every front-end starts: false when id.box is
    // missing.
    bool LoadSettings();
    // False when sources.def is missing (the program then ends). Throws on a damaged one.
    bool LoadSources();
    // Removes what saves cut short left behind, then loads the index. Call it holding the
    // home's lock.
    void LoadSearches();
    // The start-up every front-end runs once the settings are read: the job-site
    // definitions and the searches, then `beforeConnecting` (where the window asks for the
    // connection on a first start) and the machine; the engine is idle then. False when
    // sources.def is missing; throws on a damaged one. A damaged index throws as well,
    // unless `indexDamaged` takes it: the start-up then goes on without the searches.
    bool Start(const std::function<void()>& beforeConnecting = {},
               const std::function<void(const std::exception&)>& indexDamaged = {});
    // Shutdown: saves the current list if modified and the index. The owner waits until
    // the machine is idle first.
    void SaveOnClose();
    // Saves the running search's jobs merged so far (and the index): for leaving at once.
    void SaveMerged();
    // Deletes every file directly in "temp".
    void ClearTemp();

    // ---- Runs: the entry points take the values a dialog or a command line gives ---------
    // Each does nothing while another run goes on, and refuses (with its message) what it
    // may not do: a damaged table, no site taking part.
    //
    // A new search with these values, saved as a new search record and selected.
    void StartSearch(const TNewSearchValues& values);
    // Runs the search at `position` in Searches again with `values` (its region, category
    // and keywords, changed or not), adding the jobs posted since.
    void StartUpdate(int position, const TNewSearchValues& values);
    // Tests the selected search's jobs against the values' keywords.
    void Refine(const TRefineValues& values);
    // Fetches the chosen jobs of the selected search into its folder; `positions` are the
    // list positions of the jobs for gcSelected (ignored otherwise).
    void Grab(TGrabChoice choice, const std::vector<int>& positions = {});

    // ---- Commands: the window's menu handlers show their dialog, then call the above ----
    void MMNewClick();
    void MMUpdateClick();
    void MMRefineClick();
    void MMStopClick();
    void MMGrabAllClick() { Grab(gcAll); }
    void MMGrabHighClick() { Grab(gcHighlighted); }
    void MMGrabGreenClick() { Grab(gcValidated); }
    // The selection is read once the selected search's table is shown.
    void MMGrabSelectedClick();
    // "Clear Grabbed Pages" on the selected search.
    void MMDeleteGrabbedClick();
    // "Delete Search": clears the grabbed pages, deletes the table and the record.
    void MMDeleteAllClick();
    void InitMachine();

    // The selected search (position in Searches, -1 for none). Changing it starts the
    // grid timer, which loads that search's table half a second later.
    int Selected() const { return selected_; }
    void SelectSearch(int position);
    TVelaSearch* SelectedSearch();
    // Loads the selected search's table into the current list (the grid timer's handler).
    void GridTimerTimer();
    void StartGridTimer();

    // ---- Settings in: values the front-ends give, in effect at once --------------------
    // The listing's sort order (the listing itself is sorted by the caller).
    TSortOrder Sort() const { return {SortColumn, SortDescending}; }
    void SetSort(TSortOrder order) {
        SortColumn = order.Column;
        SortDescending = order.Descending;
    }
    // The front-end's own states (starting, translating) and its return to idle.
    void SetState(TRunState state) { RunState = state; }
    // A job of the listing was changed outside a run: the listing is saved at the end.
    void MarkListingModified() { JobsModified = true; }
    // Whether the automatic job-source update runs before the next search.
    void SetAutoUpdate(bool due) { AutoUpdatePending = due; }
    // The grid timer's and other engine delays, shortened by tests; 500 ms by default.
    void SetGridDelay(int ms) { GridTimerMs = ms; }
    // The new-search dialog's controls, kept between showings.
    TNewSearchValues& NewSearchPreset() { return NewSearch; }

    // ---- State out ----------------------------------------------------------------------
    const std::string& Home() const { return ProgramDir; }
    const TConfigBox& Identity() const { return IdBox; }
    // options.box: the window's settings edit it, the engine reads its sites and connection.
    TConfigBox& OptionsBox() { return Options; }
    const TConfigBox& OptionsBox() const { return Options; }
    // config.box, the update descriptor; the job-source update replaces it.
    TConfigBox& Descriptor() { return Config; }
    const TConfigBox& Descriptor() const { return Config; }
    TVelaSourcesList& Sites() { return Sources; }
    const TVelaSourcesList& Sites() const { return Sources; }
    TVelaSearchesList& SearchList() { return Searches; }
    const TVelaSearchesList& SearchList() const { return Searches; }
    THTTPMachine& Http() { return Machine; }
    const THTTPMachine& Http() const { return Machine; }
    TRunState State() const { return RunState; }
    TRunCounts Counts() const { return {ItemsQueued, ItemsInProgress, ItemsDone}; }
    bool AutoUpdateDue() const { return AutoUpdatePending; }
    bool ListingModified() const { return JobsModified; }
    int GridDelay() const { return GridTimerMs; }
    const TProgressModel& ProgressRows() const { return Progress; }
    // The last refinement's values, the refine dialog's preset.
    const TRefineValues& LastRefinement() const { return LastRefine; }

    // True when `search`'s table failed to load: nothing may save over it, so the commands
    // that would (update, refine, grab, clearing, deleting) say so and stop.
    bool TableDamaged(const TVelaSearch* search) const;
    // True when the last run that ended (a search, an update, a refinement or a grab)
    // was stopped before its end: the command line's exit status comes from here.
    bool LastRunStopped() const { return lastRunStopped_; }
    // True when the last search or update asked at least one site and reached none (no
    // network, a dead proxy): a failure, not an empty result.
    bool LastRunReachedNoSite() const { return lastRunReachedNoSite_; }
    // The jobs the last update added to its search (those it marked New).
    int LastRunNewJobs() const { return lastRunNewJobs_; }
    // True when at least one site would take part in a search started now.
    bool AnySiteTakesPart() const;

    // The current job list: the selected search's table.
    TVelaJobsList& Jobs() { return *jobs_; }
    // The jobs of the running search when it is not the selected one.
    TVelaJobsList* RunSideList() { return side_.get(); }

    const std::string& Product() const { return product_; }
    // The update descriptor's "Features"/"PreferedSources" text.
    std::string PreferredSources() const;
    bool IsPreferred(const TVelaSource& site) const;
    // A site takes part when it is enabled and the user has not disabled it.
    bool TakesPart(const TVelaSource& site) const;
    int MaxJobs() const;
    // One row per opening: a job another site also lists joins the first posting's row.
    // On unless the grouping entry of options.box says "False".
    bool GroupsOpenings() const;

  private:
    // ---- Run internals: the machine's events and the ends of the runs ----
    void InitSearch();
    void HttpMachineEvent(THTTPResult& result, THTTPMachineEventType type);
    void SearchDone();
    // The selected search when a refinement or a grab may start on it now (the grid timer's
    // load done first); null (with the message told for a damaged table) when not.
    TVelaSearch* JobRunSearch(const std::string& what);
    // The selected search when it may be updated now; null (with the message told) when not.
    TVelaSearch* UpdatableSearch();
    // The selected search's table is saved and loaded back whole, with `marks` turned
    // White, and the grids disabled: the start of a refinement or a grab.
    void BeginJobRun(TRunState state, std::initializer_list<const char*> marks);
    // The common course of a job page's fetch in a refinement or a grab; `finish` gets
    // the job and its position when the page came (`fetched`) or failed. False when the
    // event is not for this run.
    bool JobPageEvent(const THTTPResult& result, THTTPMachineEventType type, TRunState run,
                      const std::function<void(TVelaJob&, int, const THTTPResult&, bool)>& finish);
    void RefineEvent(THTTPResult& result, THTTPMachineEventType type);
    void RefineJob(TVelaJob& job, const std::string* text);
    void RefineDone();
    void GrabEvent(THTTPResult& result, THTTPMachineEventType type);
    void GrabJob(TVelaJob& job, int position, const THTTPResult& result, bool fetched);
    void GrabDone();

    TVelaSource* SiteOfQuery(int32_t id);
    int ProgressRowOf(const TVelaSource& site) const;
    void SetProgressRow(int row, int image, const std::string& status);
    void GaugeStep(int steps);
    void ProgressPhase(int phase);
    void SourcesDoneText();
    void FinishSite(TVelaSource& site, int row);
    // Notes where the result page a search run is about to request comes from.
    void NotePage(const THTTPQuery& query);
    // The address a result page came from (a GET's parameters included, the new location
    // after a redirection), against which its relative links are completed.
    std::string PageAddress(const THTTPResult& result);
    // What long work of a run (cutting, cleaning, scoring a site's jobs) asks between
    // steps: pending messages run, so Stop is seen, and the work goes on unless stopping.
    bool KeepRunning();
    // The list the running search merges into: the current list when it holds that
    // search's table, else a side list loaded from the table.
    TVelaJobsList& RunList();
    TVelaJob* JobOfRequest(int32_t id, int* position);
    bool StorePage(TVelaJob& job, const THTTPResult& result, std::string& text);
    void ShowPopupIf(const std::string& moment);
    void ShowFetching(const TVelaJob& job, int position);
    void ForgetUnreachable(TVelaJob& job);
    void EndJobRun(const std::string& aborted, const std::string& completed);
    void SaveCurrentList();
    // Reports that `search`'s table is damaged and `what` is not done; true when it is.
    bool RefuseDamaged(const TVelaSearch* search, const std::string& what);
    void NoteDamaged(const std::string& table, const std::string& error);
    // The automatic job-source update that runs before the first search of a session.
    void RunPendingUpdate();
    // Keeps a copy of an index found damaged before it is first written again.
    void SaveIndex();
    // Tells once per session that a settings box is damaged and what is used instead.
    void ReportDamagedBox(const std::string& error, const std::string& instead);

    TSearchFrontEnd& front_;
    std::unique_ptr<TVelaJobsList> jobs_;
    std::unique_ptr<TVelaJobsList> side_;  // the running search's jobs while not selected
    TVelaSearch* runSearch_ = nullptr;     // the search a search run belongs to
    TVelaSearch* marked_ = nullptr;        // the record to select after a grid rebuild
    int selected_ = -1;
    std::string product_;
    std::string edition_;
    std::string userID_;
    TTimer gridTimer_;
    std::set<int32_t> timedOut_;  // queries of this run that reported meTimeOut
    // Result pages in flight, by query ID: the URL asked for and the page's full address.
    std::map<int32_t, std::pair<std::string, std::string>> pageAddresses_;
    bool starting_ = false;                // InitSearch is still queuing sites: no completion yet
    std::set<std::string> damagedTables_;  // tables that failed to load: never saved over
    bool indexDamaged_ = false;            // the index needs its copy kept before a save
    std::set<std::string> reportedBoxes_;  // damaged settings boxes already told
    bool lastRunStopped_ = false;
    bool anySiteReached_ = false;  // some site of the running search answered at all
    bool lastRunReachedNoSite_ = false;
    int lastRunNewJobs_ = 0;
};

}  // namespace tessaly
