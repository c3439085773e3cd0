// The seam between the search engine and whatever front-end drives it (the Qt window, the
// command line, the tests). The engine never prints and never opens a window: it keeps
// the state (progress rows, gauge, status texts) and tells the front-end what changed.
// Every call runs on the main thread. Each method has a do-nothing default, so a
// front-end overrides only what it shows.
#pragma once

#include <string>
#include <vector>

namespace tessaly {

// What runs. The values are those the window's enabling rules test.
enum TRunState {
    rsSearching = 0,
    rsGrabbing = 1,
    rsRefining = 2,
    rsTranslating = 3,
    rsStopping = 4,
    rsStarting = 5,
    rsIdle = 6,
};

// Progress-row images.
enum : int {
    kProgressWaiting = 0,
    kProgressTransfer = 1,
    kProgressAnalyzing = 2,
    kProgressDone = 3,
    kProgressFailed = 4,
    kProgressNotApplicable = 5,
};

// One row of the progress window's grid ("Job Source", "Found", "Kept", "Status").
struct TProgressRow {
    int Image = kProgressWaiting;
    std::string JobSource;  // " " + the site's title
    std::string Found;
    std::string Kept;
    std::string Status;
};

// The progress window's content. Rows are data rows (the header is the view's own);
// the grid starts with one empty row, as the window's grid does.
struct TProgressModel {
    std::vector<TProgressRow> Rows;
    int GaugePosition = 0;
    int GaugeMax = 0;
    int Phase = 0;  // 0 shown, 1 first connection, 2 jobs merged, 3 search completed
    int SelectedRow = -1;
};

// The values the new-search dialog returns (and is preset with for an update).
struct TNewSearchValues {
    std::string Region;
    std::string Category;
    std::string Keywords;
};

// The refine dialog's controls as the refinement reads them.
struct TRefineValues {
    std::string Keywords;        // KeyBox
    bool Validation = true;      // ValidModeRadio (else InvalidModeRadio)
    bool MatchAll = false;       // AllModeBox
    bool Download = true;        // DownloadBox
    bool KeepAsGrabbed = false;  // KeepAsGrabbedBox
};

// The keyword translator's job: in the typed keywords and the languages wanted; out the
// four results (empty when the translator fails, so query building falls back to the
// typed keywords).
struct TKeywordTranslation {
    std::string UserLanguage = "en";
    std::string Keywords;
    bool French = false;
    bool German = false;
    bool Spanish = false;
    std::string KeywordsEN;
    std::string KeywordsFR;
    std::string KeywordsDE;
    std::string KeywordsSP;
};

class TSearchFrontEnd {
  public:
    virtual ~TSearchFrontEnd() = default;

    // Status bar: panel 1 holds messages, panel 2 the run counters.
    virtual void StatusText(int /*panel*/, const std::string& /*text*/) {}
    // The activity indicator of the status bar (on while a service request runs).
    virtual void Activity(bool /*on*/) {}

    // Progress window (the engine's TProgressModel holds what it shows).
    virtual void ProgressShow() {}
    virtual void ProgressClose() {}
    virtual void ProgressRowsChanged() {}  // rows added, removed or re-sorted
    virtual void ProgressRowChanged(int /*row*/) {}
    virtual void ProgressSelectRow(int /*row*/) {}
    virtual void ProgressGaugeChanged() {}
    virtual void ProgressPhaseChanged() {}

    // Listing: refill the job grid from the engine's current list (`full`: clear first),
    // rebuild the search grid (the engine's selected search is the row to select), redraw
    // or select the row of the job at a list position, show a fetching image on it.
    virtual void JobListToGrid(bool /*full*/) {}
    // The selected search's table is being loaded and shown (on) or is shown (off): the
    // window shows the hourglass and refuses deletions and another search meanwhile.
    virtual void TableLoading(bool /*on*/) {}
    virtual void SearchListToGrid() {}
    virtual void RedrawJobRow(int /*position*/) {}
    virtual void SetJobRowImage(int /*position*/, int /*image*/) {}
    virtual void SelectJobRow(int /*position*/) {}
    virtual void EnableGrids(bool /*enabled*/) {}
    // The list positions ("JobIndex" cells) of the selected job rows.
    virtual std::vector<int> SelectedJobPositions() { return {}; }
    // The toolbar and menus follow RunState and the listing.
    virtual void ButtonsState() {}

    // Modal dialogs. Each returns true when the user accepted.
    virtual bool NewSearchDialog(const std::string& /*caption*/, const std::string& /*button*/,
                                 TNewSearchValues& /*values*/) {
        return false;
    }
    virtual bool RefineDialog(TRefineValues& /*values*/) { return false; }
    // The job-source update window, shown modally before the first search of a run.
    virtual void RunSourceUpdate() {}
    // The keyword translator, shown modally; false when it is not available.
    virtual bool TranslateKeywords(TKeywordTranslation& /*translation*/) { return false; }
    // The update descriptor's pop-up message, at the moment named by "Popup"/"Mode".
    virtual void ShowPopupMessage() {}
};

}  // namespace tessaly
