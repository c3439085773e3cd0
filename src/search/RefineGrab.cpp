// Refinement (a keyword test over the job pages) and grabbing (job pages stored for
// offline reading). Both disable the grids for their duration, so the current list is
// the selected search's list from start to end.
#include <algorithm>
#include <exception>

#include "data/Relevancy.h"
#include "platform/ByteString.h"
#include "platform/Charset.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"
#include "platform/Utf8.h"
#include "search/SearchEngine.h"

namespace tessaly {

namespace {

std::string Quoted(const std::string& title) {
    return "\"" + title + "\"";
}

}  // namespace

std::string UpdateRelativeLinks(const std::string& text, const std::string& pageURL,
                                const std::string& attribute) {
    // The scheme and host of the page. Addresses are taken to begin with "http://"; one
    // that begins with "https://" keeps its scheme.
    const bool secure = StartsWith(UpperCase(pageURL.substr(0, 8)), "HTTPS://");
    const std::string scheme = secure ? "https://" : "http://";
    const size_t hostStart = scheme.size();
    std::string base = scheme;
    if (pageURL.size() > hostStart) {
        const size_t slash = pageURL.find('/', hostStart);
        if (slash != std::string::npos) base += pageURL.substr(hostStart, slash - hostStart);
    }

    const std::string upperText = UpperCase(text);
    const std::string upperAttr = UpperCase(attribute);
    if (upperAttr.empty()) return text;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    size_t at = 0;
    while (true) {
        // Both upper-cased (a to z only): the search ignores case as the page writes it.
        const size_t hit = upperText.find(upperAttr, at);
        if (hit == std::string::npos) break;
        const size_t valueStart = hit + attribute.size();
        out.append(text, at, valueStart - at);
        std::string value;
        size_t next;
        if (valueStart < text.size() && text[valueStart] == '"') {
            const size_t close = text.find('"', valueStart + 1);
            const size_t end = close == std::string::npos ? text.size() : close;
            value = text.substr(valueStart + 1, end - valueStart - 1);
            next = close == std::string::npos ? text.size() : close + 1;
        } else {
            const size_t end = std::min(text.find(' ', valueStart), text.find('>', valueStart));
            const size_t stop = end == std::string::npos ? text.size() : end;
            value = text.substr(valueStart, stop - valueStart);
            next = stop;
        }
        const std::string upperValue = UpperCase(value);
        const bool absolute = upperValue.find("MAILTO:") != std::string::npos ||
                              upperValue.find("HTTP://") != std::string::npos ||
                              upperValue.find("HTTPS://") != std::string::npos;
        if (absolute)
            out += value;
        else
            out += "\"" + base + value + "\"";
        at = next;
    }
    out.append(text, at, std::string::npos);
    return out;
}

TVelaJob* TSearchEngine::JobOfRequest(int32_t id, int* position) {
    for (int i = 0; i < jobs_->Count(); ++i) {
        if ((*jobs_)[i].RequestID == id) {
            if (position) *position = i;
            return &(*jobs_)[i];
        }
    }
    return nullptr;
}

// Stores a fetched job page in the search's folder as the job's grabbed copy, with its
// form and image addresses made absolute. `text` receives the stored text. False (and a
// status text) when the page cannot be stored; the job keeps no copy then.
bool TSearchEngine::StorePage(TVelaJob& job, const THTTPResult& result, std::string& text) {
    TVelaSearch* search = SelectedSearch();
    const std::string folder = search ? SearchFolder(*search) : std::string();
    if (folder.empty() || !ForceDirectories(folder)) {
        front_.StatusText(
            1, "Unable to grab " + Quoted(job.Title) + ": cannot create the folder " + folder);
        return false;
    }
    // Query numbers start at 1 with every program start, so the first free name from the
    // query's number on is taken: another job's page is never overwritten.
    std::string file;
    for (int64_t n = result.ID;; ++n) {
        file = JoinPath(folder, "index" + IntToStr(n) + ".html");
        if (!PathExists(file)) break;
    }
    std::string page = JoinLinesCrLf(SplitLines(result.Data));
    page = UpdateRelativeLinks(page, job.URL, "ACTION=");
    page = UpdateRelativeLinks(page, job.URL, "SRC=");
    try {
        WriteFileAtomic(file, page);
    } catch (const std::exception& e) {
        front_.StatusText(1, "Unable to grab " + Quoted(job.Title) + ": " + e.what());
        return false;
    }
    job.LocalFile = file;
    text = std::move(page);
    return true;
}

// A job's page is on its way: its row shows the fetching image.
void TSearchEngine::ShowFetching(const TVelaJob& job, int position) {
    front_.StatusText(1, "Grabbing " + Quoted(job.Title));
    front_.SetJobRowImage(position, job.High ? 12 : 11);
    front_.SelectJobRow(position);
}

// A job's page could not be fetched: the job is unreachable and keeps no copy.
void TSearchEngine::ForgetUnreachable(TVelaJob& job) {
    front_.StatusText(1, "Unable to grab " + Quoted(job.Title));
    job.LocalFile.clear();
    job.Status = kStatusYellow;
}

// ---- What refinement and grabbing share ---------------------------------------------------

// The selected search when a refinement or a grab may start on it; null when not.
TVelaSearch* TSearchEngine::JobRunSearch(const std::string& what) {
    if (RunState != rsIdle) return nullptr;
    if (gridTimer_.Enabled()) GridTimerTimer();
    TVelaSearch* search = SelectedSearch();
    if (search == nullptr || RefuseDamaged(search, what)) return nullptr;
    return search;
}

void TSearchEngine::BeginJobRun(TRunState state, std::initializer_list<const char*> marks) {
    TVelaSearch* search = SelectedSearch();
    RunState = state;
    front_.ButtonsState();
    front_.EnableGrids(false);
    for (const char* selector : marks)
        jobs_->SetMarks(selector, "White");
    try {
        SaveJobTable(*jobs_, search->TableFile, ProgramDir);
        LoadWholeJobTable(*jobs_, search->TableFile);
        jobs_->FileName = search->TableFile;
    } catch (const std::exception& e) {
        Prompts().ShowError(e.what());
    }
}

bool TSearchEngine::JobPageEvent(
    const THTTPResult& result, THTTPMachineEventType type, TRunState run,
    const std::function<void(TVelaJob&, int, const THTTPResult&, bool)>& finish) {
    if (RunState != run && RunState != rsStopping) return false;
    int position = -1;
    TVelaJob* job = JobOfRequest(result.ID, &position);
    if (job == nullptr) return false;
    switch (type) {
        case meStarted:
            ShowFetching(*job, position);
            ++ItemsInProgress;
            break;
        case meFailed:
            if (result.Status != 0) ForgetUnreachable(*job);
            --ItemsInProgress;  // before the count: the finish may end the run
            finish(*job, position, result, false);
            break;
        case meDone:
            --ItemsInProgress;
            finish(*job, position, result, true);
            break;
        default:
            break;
    }
    return true;
}

// ---- Refinement ----------------------------------------------------------------------------

void TSearchEngine::MMRefineClick() {
    if (JobRunSearch("refining its jobs") == nullptr) return;
    TRefineValues values = LastRefine;
    const bool accepted = front_.RefineDialog(values);
    // Four fetching threads from the refine dialog on, whether it was accepted or not.
    Machine.MaxThreads = 4;
    if (accepted) Refine(values);
}

void TSearchEngine::Refine(const TRefineValues& values) {
    if (JobRunSearch("refining its jobs") == nullptr) return;
    LastRefine = values;
    Machine.MaxThreads = 4;  // a refinement fetches with four threads
    BeginJobRun(rsRefining, {"New", "Green", "Red", "Yellow"});
    front_.JobListToGrid(true);
    ItemsQueued = jobs_->Count();
    ItemsInProgress = 0;
    ItemsDone = 0;
    if (ItemsQueued == 0) {
        RefineDone();  // nothing to test: the run ends at once
        return;
    }
    for (int i = 0; i < ItemsQueued && RunState != rsIdle && i < jobs_->Count(); ++i) {
        TVelaJob& job = (*jobs_)[i];
        job.RequestID = -1;
        std::string content;
        if (RunState == rsStopping) {
            RefineJob(job, nullptr);
        } else if (!job.LocalFile.empty()) {
            if (TryReadFileBytes(job.LocalFile, content)) {
                const std::string text = job.Title + " " + content;
                RefineJob(job, &text);
            } else {
                RefineJob(job, nullptr);  // the grabbed copy is gone: no text to test
            }
        } else if (LastRefine.Download) {
            std::unique_ptr<THTTPQuery> query = Machine.NewQuery();
            query->URL = job.URL;
            query->OnEvent = [this](THTTPResult& r, THTTPMachineEventType t) { RefineEvent(r, t); };
            job.RequestID = query->ID;
            Machine.AddQuery(std::move(query));
        } else {
            RefineJob(job, nullptr);
        }
    }
}

void TSearchEngine::RefineEvent(THTTPResult& result, THTTPMachineEventType type) {
    JobPageEvent(result, type, rsRefining,
                 [this](TVelaJob& job, int, const THTTPResult& page, bool fetched) {
                     if (!fetched) {
                         RefineJob(job, nullptr);
                         return;
                     }
                     std::string text = page.Data;
                     if (LastRefine.KeepAsGrabbed) {
                         std::string stored;
                         if (StorePage(job, page, stored)) text = std::move(stored);
                     }
                     // Keywords are UTF-8, so the page is read in UTF-8 by its charset, as
                     // a result page is (the stored copy keeps the page's own bytes).
                     std::string siteCharset;
                     for (int i = 0; i < Sources.Count(); ++i)
                         if (Utf8FromStored(Sources[i].Title) == job.Source)
                             siteCharset = Sources[i].Charset;
                     text = ToUtf8(text, ResolvePageCharset(siteCharset, page.Header, text));
                     RefineJob(job, &text);
                 });
}

void TSearchEngine::RefineJob(TVelaJob& job, const std::string* text) {
    int position = -1;
    for (int i = 0; i < jobs_->Count(); ++i)
        if (&(*jobs_)[i] == &job) position = i;
    if (text != nullptr) {
        // The window stays live while a long page is matched; a Stop meanwhile still lets
        // this page's verdict through, as the run ends with it.
        const auto live = [] {
            ProcessMessages();
            return true;
        };
        const bool match = PageSearch.CountMatches(Utf8FromStored(LastRefine.Keywords), *text,
                                                   LastRefine.MatchAll, live) > 0;
        const bool green = LastRefine.Validation ? match : !match;
        job.Status = green ? kStatusGreen : kStatusRed;
        const int level = std::clamp(job.Relevancy + (green ? 1 : -1), 2, 6);
        job.Relevancy = static_cast<uint8_t>(level);
        front_.RedrawJobRow(position);
        front_.SelectJobRow(position);
        front_.StatusText(1, (green ? "Upgraded " : "Downgraded ") + Quoted(job.Title));
    }
    front_.StatusText(2, IntToStr(ItemsDone) + " of " + IntToStr(ItemsQueued) + " jobs refined.");
    ProcessMessages();
    ++ItemsDone;
    if (ItemsDone >= ItemsQueued) RefineDone();
}

void TSearchEngine::RefineDone() {
    if (RunState == rsIdle) return;
    jobs_->SortJobs(TJobColumn::Relevancy);
    EndJobRun("Refining Aborted.", "Refining Completed.");
}

// The end of a refinement or a grab: the listing is saved to the selected search's table
// and shown again from it, and the run's message closes it.
void TSearchEngine::EndJobRun(const std::string& aborted, const std::string& completed) {
    std::string saveError;
    if (TVelaSearch* search = SelectedSearch()) {
        try {
            SaveJobTable(*jobs_, search->TableFile, ProgramDir);
        } catch (const std::exception& e) {
            saveError = e.what();
            JobsModified = true;  // kept in the listing, saved again when it closes
        }
    }
    if (saveError.empty()) GridTimerTimer();
    front_.StatusText(2, "");
    Prompts().Beep();
    lastRunStopped_ = RunState == rsStopping;
    const std::string& message = lastRunStopped_ ? aborted : completed;
    front_.StatusText(1, message);
    if (saveError.empty())
        Prompts().ShowMessage(message);
    else
        Prompts().ShowError(saveError + "\nThe results are not saved.");
    RunState = rsIdle;
    front_.ButtonsState();
    front_.EnableGrids(true);
    Machine.Stopping = false;
}

// ---- Grabbing ------------------------------------------------------------------------------

void TSearchEngine::MMGrabSelectedClick() {
    if (JobRunSearch("grabbing its jobs") == nullptr) return;
    Grab(gcSelected, front_.SelectedJobPositions());
}

void TSearchEngine::Grab(TGrabChoice choice, const std::vector<int>& positions) {
    if (JobRunSearch("grabbing its jobs") == nullptr) return;
    BeginJobRun(rsGrabbing, {"New"});
    ItemsQueued = 0;
    ItemsInProgress = 0;
    ItemsDone = 0;
    const int timeOut = Machine.TimeOut / 2;
    for (int i = 0; i < jobs_->Count(); ++i) {
        TVelaJob& job = (*jobs_)[i];
        job.RequestID = -1;
        bool chosen = false;
        switch (choice) {
            case gcAll:
                chosen = true;
                break;
            case gcHighlighted:
                chosen = job.High;
                break;
            case gcValidated:
                chosen = job.Status == kStatusGreen;
                break;
            case gcSelected:
                chosen = std::find(positions.begin(), positions.end(), i) != positions.end();
                break;
        }
        if (!chosen || !job.LocalFile.empty()) continue;
        std::unique_ptr<THTTPQuery> query = Machine.NewQuery();
        query->URL = job.URL;
        query->TimeOut = timeOut;
        query->OnEvent = [this](THTTPResult& r, THTTPMachineEventType t) { GrabEvent(r, t); };
        job.RequestID = query->ID;
        Machine.AddQuery(std::move(query));
        ++ItemsQueued;
    }
    if (ItemsQueued == 0) {
        Prompts().ShowMessage("These jobs have already been grabbed.");
        RunState = rsIdle;
        front_.ButtonsState();
        front_.EnableGrids(true);
        return;
    }
    front_.StatusText(2, "0 of " + IntToStr(ItemsQueued) + " jobs grabbed.");
}

void TSearchEngine::GrabEvent(THTTPResult& result, THTTPMachineEventType type) {
    const bool ours = JobPageEvent(result, type, rsGrabbing,
                                   [this](TVelaJob& job, int position, const THTTPResult& page,
                                          bool fetched) { GrabJob(job, position, page, fetched); });
    if (!ours) return;
    ProcessMessages();
    if (ItemsDone >= ItemsQueued) GrabDone();
}

void TSearchEngine::GrabJob(TVelaJob& job, int position, const THTTPResult& result, bool fetched) {
    if (!fetched) {
        if (result.Status != 0) front_.RedrawJobRow(position);
        front_.SelectJobRow(position);
        ++ItemsDone;
        return;
    }
    std::string stored;
    if (StorePage(job, result, stored)) {
        front_.StatusText(1, "Grabbed " + Quoted(job.Title));
    } else {
        // The folder or the file could not be written: the job counts as unreachable.
        job.LocalFile.clear();
        job.Status = kStatusYellow;
    }
    front_.RedrawJobRow(position);
    front_.SelectJobRow(position);
    ++ItemsDone;
    front_.StatusText(2, IntToStr(ItemsDone) + " of " + IntToStr(ItemsQueued) + " jobs grabbed.");
}

void TSearchEngine::GrabDone() {
    if (RunState == rsIdle) return;
    EndJobRun("Grabbing Aborted.", "Grabbing Completed.");
}

}  // namespace tessaly
