// New search, update and the events of a search run.
#include <algorithm>
#include <exception>

#include "data/AtomFeed.h"
#include "data/BoardJobs.h"
#include "data/QueryBuilder.h"
#include "data/Relevancy.h"
#include "net/Url.h"
#include "platform/ByteString.h"
#include "platform/DateTime.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"
#include "search/SearchEngine.h"

namespace tessaly {

namespace {

constexpr const char* kCampusSite = kCampusSiteTitle;
constexpr const char* kNoSiteTakesPart =
    "No job site takes part in searches: every site is disabled (the Options' Sources page, "
    "or the definitions). The search is not updated and its table is left as it is.";

}  // namespace

// ---- New search and update -------------------------------------------------------------

void TSearchEngine::MMNewClick() {
    if (RunState != rsIdle) return;
    TNewSearchValues values = NewSearch;
    if (front_.NewSearchDialog("New Search", "&Search", values)) StartSearch(values);
}

void TSearchEngine::StartSearch(const TNewSearchValues& values) {
    if (RunState != rsIdle) return;
    TVelaSearch& search = Searches.AddSearch();
    marked_ = &search;
    NewSearch = values;
    search.Region = values.Region;
    search.Category = values.Category;
    search.Keywords = values.Keywords;
    search.Created = NowText();
    search.JobCount = 0;
    search.TableFile = NewTableFileName(ProgramDir, &Searches);
    for (int i = 0; i < Searches.Count(); ++i)
        if (&Searches[i] == marked_) selected_ = i;
    front_.SearchListToGrid();
    StartGridTimer();
    UpdateMode = false;
    InitSearch();
}

TVelaSearch* TSearchEngine::UpdatableSearch() {
    const size_t damagedBefore = damagedTables_.size();
    if (gridTimer_.Enabled()) GridTimerTimer();  // the selected search's table is the one shown
    TVelaSearch* search = SelectedSearch();
    if (search == nullptr) return nullptr;
    // Found damaged by that very load: told already, not told twice.
    if (damagedTables_.size() > damagedBefore && TableDamaged(search)) return nullptr;
    if (RefuseDamaged(search, "updating the search")) return nullptr;
    // The update may bring sites; without one the table is not even rewritten.
    if (!AnySiteTakesPart() && AutoUpdatePending) RunPendingUpdate();
    if (!AnySiteTakesPart()) {
        Prompts().ShowError(kNoSiteTakesPart);
        return nullptr;
    }
    return search;
}

void TSearchEngine::MMUpdateClick() {
    if (RunState != rsIdle) return;
    TVelaSearch* search = UpdatableSearch();
    if (search == nullptr) return;
    marked_ = search;
    TNewSearchValues values = NewSearch;
    values.Region = search->Region;
    values.Category = search->Category;
    values.Keywords = search->Keywords;
    if (front_.NewSearchDialog("Update Search", "&Update", values)) StartUpdate(selected_, values);
}

void TSearchEngine::StartUpdate(int position, const TNewSearchValues& values) {
    if (RunState != rsIdle || position < 0 || position >= Searches.Count()) return;
    SelectSearch(position);
    TVelaSearch* search = UpdatableSearch();
    if (search == nullptr) return;
    marked_ = search;
    try {
        // Saving and loading back drops the jobs the user deleted. When that fails the
        // search stays as it was: nothing of the update is kept.
        SaveJobTable(*jobs_, search->TableFile, ProgramDir);
        LoadWholeJobTable(*jobs_, search->TableFile);
        jobs_->FileName = search->TableFile;
        JobsModified = false;
    } catch (const std::exception& e) {
        Prompts().ShowError(e.what());
        return;
    }
    NewSearch = values;
    search->Region = values.Region;
    search->Category = values.Category;
    search->Keywords = values.Keywords;
    search->Created = NowText();
    front_.SearchListToGrid();
    StartGridTimer();
    UpdateMode = true;
    InitSearch();
}

// ---- Starting the sites -------------------------------------------------------------------

void TSearchEngine::InitSearch() {
    RunState = rsSearching;
    TVelaSearch* search = SelectedSearch();
    if (search == nullptr) {
        RunState = rsIdle;
        front_.ButtonsState();
        return;
    }
    runSearch_ = search;
    side_.reset();

    if (StartsWith(edition_, "CCN")) {
        for (int i = 0; i < Sources.Count(); ++i) {
            TVelaSource& site = Sources[i];
            if (!StartsWith(site.Title, kCampusSite)) continue;
            site.UserID = userID_;
            site.Enabled = true;
            options::WriteSiteChoice(Options, site.Title, true);
        }
    }

    if (AutoUpdatePending) RunPendingUpdate();
    front_.ButtonsState();
    if (RunState == rsStopping) {
        // Stop during the update: no site starts, and the run still ends.
        SearchDone();
        return;
    }

    TKeywordTranslation translation;
    translation.Keywords = search->Keywords;
    bool needed = false;
    for (int i = 0; i < Sources.Count(); ++i) {
        const TVelaSource& site = Sources[i];
        if (!TakesPart(site) || site.KeywordLanguage == "en") continue;
        needed = true;
        translation.French |= site.KeywordLanguage == "fr";
        translation.German |= site.KeywordLanguage == "de";
        translation.Spanish |= site.KeywordLanguage == "sp";
    }
    TKeywordTranslation result;
    if (needed && front_.TranslateKeywords(translation)) result = translation;
    search->KeywordsEN = result.KeywordsEN;
    search->KeywordsFR = result.KeywordsFR;
    search->KeywordsDE = result.KeywordsDE;
    search->KeywordsSP = result.KeywordsSP;

    Progress = TProgressModel{};
    Progress.Rows.emplace_back();
    front_.ProgressShow();

    RunList().SetMarks("New", "White");
    ItemsQueued = 0;
    ItemsInProgress = 0;
    ItemsDone = 0;
    timedOut_.clear();
    pageAddresses_.clear();
    anySiteReached_ = false;

    const int maxJobs = MaxJobs();
    const std::string preferred = PreferredSources();
    starting_ = true;
    for (int i = 0; i < Sources.Count(); ++i) {
        TVelaSource& site = Sources[i];
        if (!TakesPart(site)) continue;
        if (Progress.Rows.empty() || !Progress.Rows.back().JobSource.empty())
            Progress.Rows.emplace_back();
        TProgressRow& row = Progress.Rows.back();
        row.Image = kProgressWaiting;
        row.JobSource = " " + site.Title;
        row.Found.clear();
        row.Kept.clear();
        site.SiteDone = false;
        site.FormatMismatch = false;
        site.NotFound = false;
        site.Jobs.ClearJobs();

        std::unique_ptr<THTTPQuery> query = Machine.NewQuery();
        query->OnEvent = [this](THTTPResult& r, THTTPMachineEventType t) {
            HttpMachineEvent(r, t);
        };
        if (!BuildFirstQuery(site, *search, *query)) {
            row.Status = "Not Applicable";
            row.Image = kProgressNotApplicable;
            site.SiteDone = true;
        } else {
            row.Status = "Waiting";
            site.ProgressSteps = site.JobsPerPage > 0 ? 4 * (maxJobs / site.JobsPerPage) + 5 : 5;
            Progress.GaugeMax += site.ProgressSteps;
            front_.ProgressGaugeChanged();
            ++ItemsQueued;
            front_.StatusText(2, "0 of " + IntToStr(ItemsQueued) + " sources done.");
            NotePage(*query);
            if (preferred.find(site.Title) != std::string::npos)
                Machine.InsertQuery(std::move(query));
            else
                Machine.AddQuery(std::move(query));
        }
        std::stable_sort(
            Progress.Rows.begin(), Progress.Rows.end(),
            [](const TProgressRow& a, const TProgressRow& b) { return a.JobSource < b.JobSource; });
        front_.ProgressRowsChanged();
        ProcessMessages();
    }
    starting_ = false;
    // A run whose sites all ended while others were still being started, or that
    // started none, completes here: no further event would reach the check.
    if (ItemsDone >= ItemsQueued) SearchDone();
}

void TSearchEngine::RunPendingUpdate() {
    front_.StatusText(1, "Automatic update in progress...");
    front_.RunSourceUpdate();
    ProcessMessages();
    AutoUpdatePending = false;
    ShowPopupIf("OnUpdate");
}

// ---- Events of a search query ---------------------------------------------------------------

TVelaSource* TSearchEngine::SiteOfQuery(int32_t id) {
    for (int i = 0; i < Sources.Count(); ++i) {
        TVelaSource& site = Sources[i];
        if (RunState == rsStopping) site.SiteDone = true;
        if (site.QueryID == id) return &site;
    }
    return nullptr;
}

int TSearchEngine::ProgressRowOf(const TVelaSource& site) const {
    const std::string text = " " + site.Title;
    for (size_t r = 0; r < Progress.Rows.size(); ++r)
        if (Progress.Rows[r].JobSource == text) return static_cast<int>(r);
    return -1;
}

void TSearchEngine::SetProgressRow(int row, int image, const std::string& status) {
    if (row < 0) return;
    TProgressRow& r = Progress.Rows[static_cast<size_t>(row)];
    if (image >= 0) r.Image = image;
    r.Status = status;
    front_.ProgressRowChanged(row);
}

void TSearchEngine::GaugeStep(int steps) {
    if (steps <= 0) return;
    Progress.GaugePosition = std::min(Progress.GaugePosition + steps, Progress.GaugeMax);
    front_.ProgressGaugeChanged();
}

void TSearchEngine::ProgressPhase(int phase) {
    Progress.Phase = phase;
    front_.ProgressPhaseChanged();
}

// The row of a site whose answer was not what its definition expects (an error or
// challenge page served with success, a changed format): a stale definition shows.
static const char* const kFormatMismatchStatus = "No jobs in the expected format";
// The row of a company board that does not exist (a token mistyped, a board closed).
static const char* const kNotFoundStatus = "Not Found";

// A whole board is read to its end (within this many jobs) before the search selects from
// it; the user's maximum applies to what is kept.
static constexpr int kWholeBoardJobs = 5000;

// True when a request's outcome shows that the server was reached and answered.
static bool AnswerCame(THttpOutcome outcome) {
    switch (outcome) {
        case THttpOutcome::Answered:
        case THttpOutcome::Refused:
        case THttpOutcome::BadAnswer:
        case THttpOutcome::TooLarge:
        case THttpOutcome::TooManyRedirections:
            return true;
        default:
            return false;
    }
}

// One step of a site's reserved gauge steps. A site that fetches more pages than its
// reservation planned for pays nothing more, so the gauge never runs past its maximum.
static int TakeStep(TVelaSource& site) {
    if (site.ProgressSteps <= 0) return 0;
    --site.ProgressSteps;
    return 1;
}

void TSearchEngine::HttpMachineEvent(THTTPResult& result, THTTPMachineEventType type) {
    TVelaSource* found = SiteOfQuery(result.ID);
    if (found == nullptr || runSearch_ == nullptr) return;
    TVelaSource& site = *found;
    const int row = ProgressRowOf(site);
    const bool stopping = RunState == rsStopping;
    switch (type) {
        case meStarted:
            SetProgressRow(row, kProgressTransfer, "Connecting");
            GaugeStep(TakeStep(site));
            front_.StatusText(
                1, site.Jobs.Count() == 0
                       ? "Connecting to " + site.Title + ". Please wait..."
                       : "Connecting to " + site.Title + " for more jobs. Please wait...");
            ++ItemsInProgress;
            break;
        case meDocBegin:
            anySiteReached_ = true;
            SetProgressRow(row, -1, "Connected");
            if (Progress.Phase == 0) ProgressPhase(1);
            break;
        case meDocData:
            SetProgressRow(row, -1, "Downloading");
            break;
        case meTimeOut:
            timedOut_.insert(result.ID);
            break;
        case meFailed: {
            pageAddresses_.erase(result.ID);
            // A server that answered, however badly, was reached: the connection works.
            if (AnswerCame(result.Outcome)) anySiteReached_ = true;
            // The client gives 404 for a refused connection and a lost name too, so only
            // a request that reported its time-out counts as timed out.
            std::string status = "Unreachable";
            if (result.Outcome == THttpOutcome::TooLarge) status = "Too Large";
            // The site was reached and gave an answer that cannot be read: say what was wrong.
            if (result.Outcome == THttpOutcome::BadAnswer) status = "Bad Answer: " + result.Reason;
            if (timedOut_.erase(result.ID) > 0 && !stopping) status = "Timed Out";
            if ((result.Status == 404 || result.Status == 0) && stopping) status = "Aborted";
            // A company board's server that answers 404 has no such board.
            if (!site.Board.empty() && result.Outcome == THttpOutcome::Refused &&
                result.Status == 404)
                status = kNotFoundStatus;
            SetProgressRow(row, kProgressFailed, status);
            GaugeStep(site.ProgressSteps);
            site.ProgressSteps = 0;
            site.SiteDone = true;
            front_.StatusText(1, "Unable to connect to " + site.Title + ".");
            --ItemsInProgress;
            ++ItemsDone;
            break;
        }
        case meDocEnd:
            SetProgressRow(row, kProgressAnalyzing, "Analyzing");
            GaugeStep(TakeStep(site));
            front_.StatusText(1, "Downloaded job listing from " + site.Title + ".");
            break;
        case meDone: {
            anySiteReached_ = true;
            // Every script run over the page asks whether the run goes on, so a Stop ends
            // long work on a huge page at once.
            const TKeepGoingScope ask(site.Parser, [this] { return KeepRunning(); });
            const std::string page = site.ScriptPage(result.Data);
            const std::string address = PageAddress(result);
            const int before = site.Jobs.Count();
            // A page the definition was not written for gives no job: whatever its scripts
            // would cut out of an error page is noise, and the row says why it is empty.
            if (!site.NotFoundScript.empty() &&
                !site.Parser.Run(site.NotFoundScript, page).empty()) {
                site.NotFound = true;
            } else if (!site.PageInExpectedFormat(page)) {
                if (!site.Parser.Stopped()) site.FormatMismatch = true;
            } else {
                // However many blocks a page holds, a site keeps no more jobs than the
                // highest MaxJobs allows (a whole board: what its selection may read), so
                // cutting stops there.
                const int most = site.SelectByKeywords ? kWholeBoardJobs : options::MaxJobs.High;
                site.BlockLimit = std::max(most - site.Jobs.Count(), 0);
                const THarvestCount count = site.HarvestJobs(page, result.Header, address);
                // Blocks that look like jobs, none with a title: the scripts no longer fit.
                if (!site.PageFormatScript.empty() && count.Kept == 0 && count.Untitled > 0)
                    site.FormatMismatch = true;
            }
            if (row >= 0) {
                Progress.Rows[static_cast<size_t>(row)].Found = IntToStr(site.Jobs.Count());
                front_.ProgressRowChanged(row);
            }
            ProcessMessages();
            if (RunState != rsStopping) {
                const int added = site.Jobs.Count() - before;
                // A page must add jobs to lead on: a site without a page size whose pages
                // keep linking to a next page would otherwise never end.
                const int cap = site.SelectByKeywords ? kWholeBoardJobs : MaxJobs();
                const bool more = site.MultiplePages && !site.FormatMismatch && !site.NotFound &&
                                  added >= std::max(site.JobsPerPage, 1) && site.Jobs.Count() < cap;
                if (more) {
                    std::unique_ptr<THTTPQuery> query = Machine.NewQuery();
                    query->OnEvent = [this](THTTPResult& r, THTTPMachineEventType t) {
                        HttpMachineEvent(r, t);
                    };
                    // The cookie goes back as its name=value pair, and only to the host
                    // that set it: a next page elsewhere is not sent it.
                    query->Cookie = CookiePair(result.Cookie);
                    query->CookieHost = result.CookieHost;
                    if (BuildNextQuery(site, page, *query, result.Header, address)) {
                        SetProgressRow(row, -1, "Waiting for more");
                        NotePage(*query);
                        Machine.AddQuery(std::move(query));
                    } else {
                        site.SiteDone = true;
                    }
                } else {
                    site.SiteDone = true;
                }
            } else {
                site.SiteDone = true;
            }
            --ItemsInProgress;
            if (!site.SiteDone) break;
            if (RunState != rsStopping) FinishSite(site, row);
            ++ItemsDone;
            if (site.NotFound) {
                SetProgressRow(row, kProgressFailed, kNotFoundStatus);
                front_.StatusText(1, site.Title + " has no such board.");
            } else if (site.FormatMismatch) {
                SetProgressRow(row, kProgressFailed, kFormatMismatchStatus);
                front_.StatusText(1, site.Title + " did not answer in the expected format.");
            } else {
                SetProgressRow(row, kProgressDone, "Done");
            }
            GaugeStep(site.ProgressSteps);
            site.ProgressSteps = 0;
            front_.StatusText(
                2, IntToStr(ItemsDone) + " of " + IntToStr(ItemsQueued) + " sources done.");
            break;
        }
    }
    if (row >= 0) {
        Progress.SelectedRow = row;
        front_.ProgressSelectRow(row);
    }
    ProcessMessages();
    if (!starting_ && ItemsDone >= ItemsQueued) SearchDone();
}

void TSearchEngine::NotePage(const THTTPQuery& query) {
    // A GET sends its parameters as part of the address, so they belong to the page's.
    pageAddresses_[query.ID] = {query.URL, query.IsPost ? query.URL : query.URL + query.Parameters};
}

std::string TSearchEngine::PageAddress(const THTTPResult& result) {
    const auto it = pageAddresses_.find(result.ID);
    if (it == pageAddresses_.end()) return result.URL;
    const auto [asked, address] = it->second;
    pageAddresses_.erase(it);
    // The result's URL differs from the one asked for only after a redirection; the new
    // location is then the page's whole address.
    return result.URL.empty() || result.URL == asked ? address : result.URL;
}

bool TSearchEngine::KeepRunning() {
    ProcessMessages();
    return RunState != rsStopping;
}

void TSearchEngine::FinishSite(TVelaSource& site, int row) {
    TVelaSearch& search = *runSearch_;
    const TKeepGoing keepGoing = [this] { return KeepRunning(); };
    try {
        site.Jobs.CleanUpJobs(site.KeepCapitals, keepGoing);
    } catch (...) {
        Prompts().ShowError("ERROR: Crash on CleanUpJobs");
    }
    if (product_.find("US") != std::string::npos) site.Jobs.ExpandStates();
    // A whole board keeps what the search asks for; the row's "Kept" shows the selection.
    if (site.SelectByKeywords)
        SelectBoardJobs(site.Jobs, search.Keywords, search.Region, Sources.MRegions,
                        Sources.MRegionNames);
    try {
        ScoreSourceJobs(site, search, keepGoing);
    } catch (...) {
        Prompts().ShowError("bug in Score");
    }
    // Stop pressed meanwhile: the site's jobs are half done and, as for every site still
    // running at a Stop, not merged.
    if (RunState == rsStopping) {
        site.Jobs.ClearJobs();
        return;
    }
    const int maxJobs = MaxJobs();
    site.Jobs.KeepBest(TJobColumn::Relevancy, maxJobs);
    if (IsPreferred(site)) site.Jobs.PinAndHighlightAll();
    const int count = site.Jobs.Count();
    front_.StatusText(1, "Retrieved " + IntToStr(count) + " jobs from " + site.Title + ".");
    if (row >= 0) {
        Progress.Rows[static_cast<size_t>(row)].Kept = IntToStr(count);
        front_.ProgressRowChanged(row);
    }
    ProgressPhase(2);
    TVelaJobsList& list = RunList();
    try {
        list.MergeJobs(site.Jobs, UpdateMode, GroupsOpenings());
    } catch (...) {
        Prompts().ShowError("ERROR: Crash on MergeJobsList");
    }
    site.Jobs.ClearJobs();
    list.SortJobs(TJobColumn::Relevancy);
    if (&list == jobs_.get()) front_.JobListToGrid(false);
}

// ---- Completion ----------------------------------------------------------------------------

void TSearchEngine::SearchDone() {
    if (RunState == rsIdle) return;
    ProgressPhase(3);
    std::string saveError;
    std::string feedError;
    bool keptInMemory = false;
    lastRunNewJobs_ = 0;
    if (runSearch_ != nullptr) {
        TVelaJobsList& list = RunList();
        runSearch_->JobCount = list.Count();
        if (UpdateMode) lastRunNewJobs_ = static_cast<int>(NewJobPositions(list).size());
        list.SortJobs(TJobColumn::Relevancy);
        list.UnpinAll();
        try {
            if (damagedTables_.count(runSearch_->TableFile))
                throw EFileError("the job table " + runSearch_->TableFile +
                                 " is damaged; the jobs found are not saved over it");
            SaveJobTable(list, runSearch_->TableFile, ProgramDir);
            list.FileName = runSearch_->TableFile;
            SaveIndex();
            // The feed follows the save: a reader never sees jobs the table lacks.
            try {
                WriteSearchFeed(ProgramDir, *runSearch_, list);
            } catch (const std::exception& e) {
                feedError = e.what();
            }
        } catch (const std::exception& e) {
            saveError = e.what();
            // The jobs found stay in the listing, to be saved again when it closes.
            if (&list == jobs_.get() && !damagedTables_.count(runSearch_->TableFile)) {
                list.FileName = runSearch_->TableFile;
                JobsModified = true;
                keptInMemory = true;
            }
        }
    }
    // The run's jobs are on disk now; the listing is loaded from there.
    side_.reset();
    runSearch_ = nullptr;
    if (!keptInMemory) GridTimerTimer();

    Prompts().Beep();
    front_.StatusText(2, "");
    lastRunStopped_ = RunState == rsStopping;
    lastRunReachedNoSite_ = !lastRunStopped_ && ItemsQueued > 0 && !anySiteReached_;
    std::string message = lastRunStopped_ ? "Search Aborted." : "Search Completed.";
    // An update says what it brought.
    if (!lastRunStopped_ && UpdateMode)
        message += lastRunNewJobs_ == 0   ? " No new jobs."
                   : lastRunNewJobs_ == 1 ? " 1 new job."
                                          : " " + IntToStr(lastRunNewJobs_) + " new jobs.";
    if (lastRunReachedNoSite_)
        message = "No job site could be reached. Check the connection settings.";
    if (!saveError.empty()) message = "Search Failed: its jobs could not be saved.";
    front_.StatusText(1, message);
    if (!saveError.empty())
        Prompts().ShowError(saveError + "\n" + message);
    else if (lastRunReachedNoSite_)
        Prompts().ShowError(message);
    else
        Prompts().ShowMessage(message);
    if (!feedError.empty()) Prompts().ShowError(feedError);

    front_.ProgressClose();
    RunState = rsIdle;
    front_.ButtonsState();
    ShowPopupIf("OnDoneSearch");
    Machine.Stopping = false;
}

}  // namespace tessaly
