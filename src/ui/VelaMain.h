// The main window: the saved searches above, the job listing of the selected search
// below, and every command on them. It owns the list of job sites, the list of searches
// and the current job list for the whole run.
//
// Grids are addressed the way the rest of the program thinks of them: columns by header
// text (the user may move and size them), rows by the hidden index cells, so neither the
// display order of rows nor of columns matters.
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "data/JobColumns.h"
#include "data/LiveSettings.h"
#include "data/VelaJobs.h"
#include "data/VelaSearches.h"
#include "data/VelaSources.h"
#include "platform/MainLoop.h"
#include "platform/Result.h"
#include "search/FrontEnd.h"
#include "search/SearchEngine.h"
#include "services/BrowserControl.h"
#include "ui/WindowLayout.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTableView;
class QTableWidget;
class QToolBar;
class QToolButton;

namespace tessaly::ui {

class TFrameAnimation;
class TJobGrid;
class TNewSearchForm;
class TRefineForm;
class TFindInResultsForm;
class TProgressForm;
class TAboutForm;
class TBannerPanel;
class TSponsorForm;
class TUpdateForm;
class TSpamForm;
class TKeyTranslator;
class TJobTranslator;
class TRemoteForm;
class TRemoteHost;
class TOptionsForm;
class TProxyForm;
class TConnectWizard;
class TVelaAgent;

// The values of the user's options that the windows read: the live settings' check
// boxes.
using TMainOptions = TVisualOptions;

// Product identification from id.box.
struct TProductId {
    std::string Product, ProductName, Version, VersionName, Edition, EditionName, UserID;
    // "ProductName", plus " - " and "EditionName" for any edition but the plain one.
    std::string Caption() const;
    // The HTTP agent text: "Product/Version [en]".
    std::string Agent() const;
};

class TVelaMainForm : public QMainWindow, public TSearchFrontEnd {
  public:
    explicit TVelaMainForm(const std::string& programDir, QWidget* parent = nullptr);
    ~TVelaMainForm() override;

    // ---- start-up and shutdown
    // Reads id.box, the options and the update descriptor; fails when id.box is missing
    // or unreadable.
    TResult<void> ReadProductId();
    // Loads sources.def and the search index and shows the searches; fails when
    // sources.def is missing or broken.
    TResult<void> FirstActivation();
    const TProductId& Product() const { return product_; }
    // Selects search `number` (from 1, as the command line numbers them): at once when the
    // searches are shown and nothing runs; before they are shown, in place of the search
    // selected when the program last closed. Out of range, nothing changes.
    void ShowSearch(int number);
    // Brings the window to the front, out of the task bar when minimized.
    void ComeToFront();
    // The splash screen, shown while the program loads: the first activation brings it to
    // the front and closes it once the searches are shown. Null when there is none.
    QPointer<QWidget> SplashHandle;

    // ---- what the window owns
    TSearchEngine& Engine() { return *engine_; }
    TVelaSourcesList& Sources() { return engine_->Sites(); }
    TVelaSearchesList& Searches() { return engine_->SearchList(); }
    const TVelaSearchesList& Searches() const { return engine_->SearchList(); }
    TVelaJobsList& Jobs() { return engine_->Jobs(); }
    const TVelaJobsList& Jobs() const { return engine_->Jobs(); }
    TMainOptions& Options() { return settings_->Visual; }
    const TMainOptions& Options() const { return settings_->Visual; }
    // The settings in effect; the options dialog applies them, the windows listen.
    TLiveSettings& Settings() { return *settings_; }
    // Where every window sits and how every grid's columns run, as the settings keep
    // them: each window and grid is registered with its own settings.
    TLayoutKeeper& Layouts() { return layouts_; }
    // The scheduled check of every search for new jobs.
    TVelaAgent& Agent() { return *agent_; }
    const std::string& ProgramDir() const { return programDir_; }

    // ---- values of the window
    TRunState RunState() const { return engine_->State(); }
    void SetRunState(TRunState state);
    bool JobsModified() const { return engine_->ListingModified(); }
    void SetJobsModified() { engine_->MarkListingModified(); }
    // The Highlight command's next effect (0 toggle, 1 all on, 2 all off, 3 New marks off).
    int HighlightMode() const { return highlightMode_; }
    // Set while the job grid is filled: a second fill meanwhile is dropped.
    bool FillingGrid() const { return fillingGrid_; }
    // Column and row (logical column, grid row) of the last find hit; -1 when none.
    int FoundCol() const { return foundCol_; }
    int FoundRow() const { return foundRow_; }
    // Set while a table loads: deletions and search changes are refused then.
    bool Hourglass() const { return hourglass_; }
    // Set once closing has begun: errors then only beep.
    bool Closing() const { return closing_; }

    // ---- the front-end seam: what the search engine shows through the window
    void StatusText(int panel, const std::string& text) override { SetStatusText(panel, text); }
    void Activity(bool on) override;
    void ProgressShow() override;
    void ProgressClose() override;
    void ProgressRowsChanged() override;
    void ProgressRowChanged(int row) override;
    void ProgressSelectRow(int row) override;
    void ProgressGaugeChanged() override;
    void ProgressPhaseChanged() override;
    void JobListToGrid(bool full) override;
    void TableLoading(bool on) override { SetHourglass(on); }
    void SearchListToGrid() override;
    // Redraws one job's row (its image, texts and colours) after a change to it.
    void RedrawJobRow(int jobPosition) override;
    void SetJobRowImage(int jobPosition, int image) override;
    void SelectJobRow(int jobPosition) override;
    void EnableGrids(bool enabled) override;
    // Positions in the job list of the selected rows, top to bottom.
    std::vector<int> SelectedJobPositions() override;
    // Final: the constructor sets the first state, and no window derives from this one.
    void ButtonsState() final;
    bool NewSearchDialog(const std::string& caption, const std::string& button,
                         TNewSearchValues& values) override;
    bool RefineDialog(TRefineValues& values) override;
    // The job-source update window, the keyword translator and the descriptor's pop-up
    // message (VelaServices.cpp).
    void RunSourceUpdate() override;
    bool TranslateKeywords(TKeywordTranslation& translation) override;
    void ShowPopupMessage() override;

    // ---- grids
    int GetColIdx(const QTableWidget* grid, const char* header) const;
    int GetColIdx(const TJobGrid* grid, const char* header) const;
    void GridTimerTimer() { engine_->GridTimerTimer(); }
    // The grid row that shows the job at `jobPosition`, -1 when none.
    int RowOfJob(int jobPosition) const;
    void SelectGridRow(int row);
    void FormResize();
    void UpdateMenus();  // what the menus evaluate as they open

    bool IsAnySearch() const;
    bool IsAnySelectedSearch() const;
    TVelaSearch* GetSelectedSearch();
    int GetSelectedSearchPosition() const;
    bool IsAnyJob() const;
    bool IsAnySelectedJob() const;
    TVelaJob* GetSelectedJob();

    // Shows a text in a status panel (0 to 2).
    void SetStatusText(int panel, const std::string& text);
    QString StatusText(int panel) const;

    // Opens an address in the browser, in the current window or a new one, through the
    // browser control; tests replace it.
    void OpenURL(const std::string& address, bool newWindow);
    TBrowserControl& Browser() { return *browser_; }
    std::function<void(const std::string& address, bool newWindow)> OnOpenURL;
    // Message boxes go through here so tests can answer them.
    void ShowMessage(const QString& text);
    std::function<void(const QString&)> OnMessage;
    // Yes/No information boxes (the pop-up message); tests answer them here.
    bool AskYesNo(const QString& text);
    std::function<bool(const QString&)> OnYesNo;

    // ---- commands
    void MMNewClick();
    void MMUpdateClick();
    void MMRefineClick();
    void MMStopClick();
    void MMGrabClick(TGrabChoice choice);
    void MMOpenBrowserClick();
    void MMOpenNewBrowserClick();
    // The job pop-up's submenu: one item per other board the selected opening is on.
    void FillAlsoOnMenu();
    void MMExitClick();
    void MMCopyURLClick();
    void MMSendJobtoaFriendClick();
    void MMSendQv98toaFriendClick();
    void MMDeleteSelectedClick();
    void MMDeleteAllClick();
    // Asks before a deletion, over `owner`, unless the user chose not to be asked again
    // (kept in options.box); true to go ahead.
    bool ConfirmDelete(const QString& question, QWidget* owner);
    void MMDeleteGrabbedClick();
    void MMHighSelectedClick();
    void MMCommentJobClick();
    void MMTranslateJobClick();
    void MMPreferencesClick();
    void MMFindInResultsClick();
    void MMFindInResultsNextClick();
    void MMContentClick();
    void ConnectionSettingsAssistant1Click();
    void MMAboutClick();
    void MMVelaHomeClick();
    void MMBrowseClick(const char* filter);  // "New", "High", "Green", "All"
    void SortJobsbyClick();
    void SortGridClick(const QString& item);
    void JobGridClickCell(int row, int col);
    void JobGridDblClickCell(int row, int col);
    void JobGridCanSort(int col);
    void JobGridCellValidate(int row, const QString& text);

    // Runs the grid's text search: from the start, or after the last hit. True on a hit,
    // which becomes FoundCol/FoundRow and is selected.
    bool FindInGrid(const QString& text, bool caseSensitive, bool next);
    // Sets or clears the hourglass: set while a table loads, when deletions and a change
    // of search are refused.
    void SetHourglass(bool on);

    // ---- the grids, which the options dialog lays out and stores; every other widget is
    // the window's own, found by its name ("NewBut", "ResPopup", "Splitter1", "JobGrid",
    // "NewSearchForm", ...).
    QTableWidget* GetSearchGrid() const { return SearchGrid; }
    TJobGrid* GetJobGrid() const { return JobGrid; }

    // Windows of their own (no parent), which other windows lay out, store and drive;
    // null until they are created.
    TProgressForm* GetProgressForm() const { return ProgressForm; }
    TRemoteForm* GetRemoteForm() const { return RemoteForm; }
    TSponsorForm* GetSponsorForm() const { return SponsorForm; }
    QWidget* GetRemoteWindow() const { return RemoteWindow; }
    QTableView* GetRemoteGrid() const { return RemoteGrid; }
    QWidget* GetSponsorWindow() const { return SponsorWindow; }
    // Tests put stand-in windows in their place.
    void SetRemoteWindow(QWidget* window) { RemoteWindow = window; }
    void SetRemoteGrid(QTableView* grid) { RemoteGrid = grid; }
    void SetSponsorWindow(QWidget* window) { SponsorWindow = window; }

    // The remote window recomputes its column widths (after a grid layout reset).
    std::function<void()> OnRemoteLayout;
    // The update descriptor changed: every banner reads its triggers again.
    std::function<void()> OnBannerTriggersChanged;

    // Services several windows share: the job translator and the send-to-a-friend dialog
    // for the job at a list position (both modal), and the sponsor window's banner at a
    // moment ("OnBrowse", ...) when the update descriptor's "PopBanner" section asks.
    void TranslateJob(int jobPosition);
    void SendJobToFriend(int jobPosition);
    void PopBanner(const std::string& moment);

    // The Guide tool button's drop-down and the guide entries of the Help menu, from the
    // update descriptor.
    void BuildGuide();
    // Opens a guide entry's address in the current browser window.
    void LaunchGuideItem(const std::string& address);
    // The job-source update reloaded the site list: the options dialog reloads its list.
    std::function<void()> OnSourcesReloaded;
    // A job translation's status for the remote window's second panel ("" when it ends).
    std::function<void(const std::string&)> OnRemoteStatus;

    // ---- sponsor banners: "InBanner" above "Sponsor1" to "Sponsor5" in the banner area,
    // "PopBanner" in the sponsor window (SponsorForm, also SponsorWindow).
    // Lays the banner area out for the banners that show; hides it when none does.
    void AdPanelResize();
    // First activation: the banners read their triggers; from now on the run states
    // start them.
    void StartBanners();
    void StopBanners();
    void LoadBannerTriggers();
    // Starts every banner (the seven) whose triggers hold `trigger`.
    void FireBannerTrigger(int trigger);
    void InBannerBannerClick(const std::string& destination);

    // A main-menu action by its name ("MMNew", "MMFindInResultsNext", ...).
    QAction* Action(const char* name) const;

    // A modal dialog is shown through here; tests replace it to fill and answer it.
    std::function<int(QDialog*)> OnExecDialog;
    int ExecDialog(QDialog* dialog);

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    // Found by tests through their object names (the class names: "SearchGrid",
    // "InBanner", "OptionsForm", ...); the windows without a parent through the
    // accessors above.
    QTableWidget* SearchGrid;
    TJobGrid* JobGrid;
    QWidget* RemoteWindow = nullptr;   // the remote job-list window ("RemoteForm")
    QTableView* RemoteGrid = nullptr;  // its job grid
    QWidget* SponsorWindow = nullptr;  // the sponsor banner window ("SponsorForm")

    TNewSearchForm* NewSearchForm;
    TRefineForm* RefineForm;
    TFindInResultsForm* FindInResultsForm;
    TProgressForm* ProgressForm;
    TAboutForm* AboutForm;
    TUpdateForm* UpdateForm = nullptr;
    TSpamForm* SpamForm = nullptr;
    TKeyTranslator* KeyTranslator = nullptr;
    TJobTranslator* JobTranslator = nullptr;

    TBannerPanel* InBanner;
    TBannerPanel* Sponsors[5];  // "Sponsor1" to "Sponsor5"
    TSponsorForm* SponsorForm;
    TRemoteForm* RemoteForm = nullptr;
    // The options dialog and its two companions; created by ReadProductId, once the
    // options and the update descriptor are read and the other windows exist.
    TProxyForm* ProxyForm = nullptr;
    TConnectWizard* ConnectWizard = nullptr;
    TOptionsForm* OptionsForm = nullptr;

    struct TActions;
    void CreateActions();
    void CreateMenus();
    void CreateToolbar();
    void CreateGrids();
    void CreateStatusBar();
    void CreateBanners();
    void BannerTriggers(TRunState from, TRunState to);
    void PopSponsorOnce();
    void CreateOptionsForm();
    void RegisterLayouts();
    // Start-up: every window and grid placed from the settings (or afresh, when they hold
    // no usable layout), then left to keep its own.
    void RestoreLayout();
    // The settings in effect changed: the grids redraw, the windows kept on top follow,
    // the columns fit again when their fitting was switched.
    void SettingsChanged(const TMainOptions& before);
    QAction* MakeAction(const char* name, const char* caption, const char* hint,
                        std::function<void()> handler, const QKeySequence& key = {});
    // Puts the header's sort mark on the column the engine's sort key names.
    void ShowSortMark();
    void SetCell(QTableWidget* grid, int row, int col, const QString& text);
    // The search grid's column, found by its header; -1 when none.
    int SearchCol(TSearchColumn column) const;
    QString CellText(int row, TSearchColumn column) const;
    void UpdateSearchCount();
    void ResetHighlightMode() { highlightMode_ = 0; }
    void OptimizeGrid(QTableView* grid, int lessScroll, int lessNoScroll);
    void XkLogoStop();
    void CloseSplash();
    void ShutdownTimerTimer();
    void FillProgressRow(int row);
    void FormClose();
    void EndNotesEditing();
    void CreateServiceWindows();
    void DeleteServiceWindows();

    // Widgets, by the names users and tests know them (their object names).
    QWidget* Panel1;
    QToolBar* ButtonsPanel;
    QWidget* XkLogoPanel;
    TFrameAnimation* XkLogo;
    QWidget* AdPanel;
    QSplitter* Splitter1;
    QLabel* StatusPanels[3];
    QProgressBar* ActivityIndicator;
    QToolButton *NewBut, *UpdateBut, *RefineBut, *GrabBut, *StopBut, *HighBut, *ToolsBut,
        *BrowseBut, *GuideBut;
    QMenu *ResPopup, *SearchPopup, *GrabPopup, *BrowsePopup, *ToolsPopup, *GuidePopup;
    QMenu* SortMenu;
    QWidget *BufferPanelL, *BufferPanelR;
    bool ResizingAds = false;

    int highlightMode_ = 0;
    bool fillingGrid_ = false;
    int foundCol_ = -1, foundRow_ = -1;
    std::string programDir_;
    std::unique_ptr<TSearchEngine> engine_;
    std::unique_ptr<TBrowserControl> browser_;
    std::unique_ptr<TLiveSettings> settings_;
    TLayoutKeeper layouts_;
    std::unique_ptr<TRemoteHost> remoteHost_;  // outlives the remote window it serves
    int searchGridHeight_ = options::SearchGridHeight.Default;  // until the window is laid out
    TProductId product_;
    TRunState previousRunState_ = rsStarting;
    bool hourglass_ = false;
    bool searchesShown_ = false;
    int wantedSearch_ = 0;  // ShowSearch before the searches were shown
    bool ignoreSearchSelect_ = false;
    bool editingNotes_ = false;
    bool closing_ = false;
    bool closeAllowed_ = false;
    bool translating_ = false;  // the job translator set rsTranslating
    int lastSearchRow_ = -1;
    int sortedGridColumn_ = -1;  // the column the grid last sorted itself by
    bool gridSortDescending_ = false;
    int logoPhase_ = 0;
    bool bannersStarted_ = false;
    bool sponsorPopped_ = false;  // the sponsor window came up in this run
    std::unique_ptr<TTimer> shutdownTimer_;
    std::unique_ptr<TActions> a_;
    std::unique_ptr<TVelaAgent> agent_;  // goes first: its check drives the engine
};

}  // namespace tessaly::ui
