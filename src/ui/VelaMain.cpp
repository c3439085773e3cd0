#include "ui/VelaMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>

#include "data/ConfigBox.h"
#include "platform/ByteString.h"
#include "platform/DateTime.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "ui/BrowserSupport.h"
#include "ui/Contrast.h"
#include "ui/FrameAnimation.h"
#include "ui/GridLayout.h"
#include "ui/JobGrid.h"
#include "ui/JobImages.h"
#include "ui/QtText.h"
#include "ui/VelaAbout.h"
#include "ui/VelaAgent.h"
#include "ui/VelaCompanies.h"
#include "ui/VelaConnectWizard.h"
#include "ui/VelaFindInResults.h"
#include "ui/VelaMainShared.h"
#include "ui/VelaNewSearch.h"
#include "ui/VelaOptions.h"
#include "ui/VelaProgress.h"
#include "ui/VelaProxy.h"
#include "ui/VelaRefine.h"
#include "ui/VelaRemote.h"
#include "ui/VelaSponsor.h"
#include "ui/VelaUpdate.h"

namespace tessaly::ui {

std::string TProductId::Caption() const {
    if (Edition.empty() || Edition == "Generic") return ProductName;
    return ProductName + " - " + EditionName;
}

std::string TProductId::Agent() const {
    return Product + "/" + Version + " [en]";
}

// ---------------------------------------------------------------- actions

QAction* TVelaMainForm::MakeAction(const char* name, const char* caption, const char* hint,
                                   std::function<void()> handler, const QKeySequence& key) {
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    if (hint && *hint) {
        a->setStatusTip(hint);
        a->setToolTip(hint);
    }
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    connect(a, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    a_->byName.emplace(name, a);
    return a;
}

QAction* TVelaMainForm::Action(const char* name) const {
    auto it = a_->byName.find(name);
    return it == a_->byName.end() ? nullptr : it->second;
}

namespace {

// The main window as the remote window sees it.
class TMainAsRemoteHost final : public TRemoteHost {
  public:
    explicit TMainAsRemoteHost(TVelaMainForm& main) : main_(main) {}
    TSearchEngine& Engine() override { return main_.Engine(); }
    const TVisualOptions& Visual() const override { return main_.Options(); }
    void OpenJob(const std::string& address) override { main_.OpenURL(address, false); }
    void JobsChanged() override { main_.SetJobsModified(); }
    void TranslateJob(int position) override { main_.TranslateJob(position); }
    void SendJobToFriend(int position) override { main_.SendJobToFriend(position); }
    void SortListing(const QString& item) override { main_.SortGridClick(item); }
    void ShowPopupMessage() override { main_.ShowPopupMessage(); }
    void PopBanner(const std::string& moment) override { main_.PopBanner(moment); }
    void StepAside() override {
        if (main_.isMinimized()) return;
        wasMaximized_ = main_.isMaximized();
        main_.showMinimized();
    }
    void ComeBack() override {
        if (main_.Closing()) return;
        main_.JobListToGrid(false);
        if (wasMaximized_)
            main_.showMaximized();
        else
            main_.showNormal();
        main_.raise();
        main_.activateWindow();
    }
    QWidget* ProgressWindow() override { return main_.GetProgressForm(); }
    bool ConfirmDelete(const QString& question, QWidget* owner) override {
        return main_.ConfirmDelete(question, owner);
    }

  private:
    TVelaMainForm& main_;
    bool wasMaximized_ = false;
};

}  // namespace

// ---------------------------------------------------------------- creation

TVelaMainForm::TVelaMainForm(const std::string& programDir, QWidget* parent)
    : QMainWindow(parent),
      programDir_(programDir),
      engine_(std::make_unique<TSearchEngine>(programDir, *this)),
      settings_(std::make_unique<TLiveSettings>(engine_->OptionsBox())),
      layouts_(*settings_),
      a_(std::make_unique<TActions>()) {
    setObjectName("VelaMainForm");
    setWindowTitle("Tessaly Jobs 98");
    setWindowIcon(ProgramIcon());
    resize(800, 560);

    browser_ = MakeBrowserControl(programDir_, engine_->OptionsBox());
    browser_->OnFailed = [this](const std::string& address,
                                const std::vector<TBrowserControl::TArgs>& tried) {
        // Said where the user looks: the status bar of the window in use, and a message.
        const std::string said = "No web browser could be started.";
        SetStatusText(1, said);
        if (RemoteForm && RemoteForm->isVisible()) RemoteForm->SetStatusText(1, said);
        ShowMessage(FromBytes(BrowserFailureText(address, tried)));
    };

    shutdownTimer_ = std::make_unique<TTimer>();
    shutdownTimer_->SetInterval(1000);
    shutdownTimer_->OnTimer = [this] { ShutdownTimerTimer(); };
    agent_ = std::make_unique<TVelaAgent>(*this);

    CreateActions();
    CreateMenus();
    CreateToolbar();
    CreateGrids();
    CreateStatusBar();
    CreateBanners();

    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(Panel1);
    v->addWidget(AdPanel);
    v->addWidget(Splitter1, 1);
    setCentralWidget(central);

    NewSearchForm = new TNewSearchForm(this);
    RefineForm = new TRefineForm(this);
    FindInResultsForm = new TFindInResultsForm(this);
    AboutForm = new TAboutForm(this);
    CreateServiceWindows();
    // Not a child of this window: minimising the main window leaves it on screen.
    ProgressForm = new TProgressForm(nullptr);
    ProgressForm->SetProgramDir(programDir_);
    // The menu keys (Esc to stop among them) work while the progress window is in front.
    for (const auto& [name, action] : a_->byName)
        if (!action->shortcut().isEmpty()) ProgressForm->addAction(action);
    // Also a window of its own, so it stays on screen while the main window is minimised.
    remoteHost_ = std::make_unique<TMainAsRemoteHost>(*this);
    RemoteForm = new TRemoteForm(*remoteHost_, nullptr);
    RemoteWindow = RemoteForm;
    RemoteGrid = RemoteForm->JobGrid;
    OnRemoteLayout = [this] { RemoteForm->FormResize(); };
    OnRemoteStatus = [this](const std::string& text) { RemoteForm->SetStatusText(1, text); };
    RegisterLayouts();

    const std::string logo = JoinPath(programDir_, "xklogo.png");
    if (FileExists(logo)) XkLogo->LoadStrip(QString::fromStdString(logo));

    JobGrid->horizontalHeader()->setSortIndicator(
        JobGrid->ColumnOf(engine_->Sort().Column),
        engine_->Sort().Descending ? Qt::DescendingOrder : Qt::AscendingOrder);

    SetRunState(rsStarting);
    ButtonsState();
}

TVelaMainForm::~TVelaMainForm() {
    // The grid goes with the window's widgets, after the engine its rows read: nothing it
    // does on its way may reach the window's handlers or the list.
    JobGrid->selectionModel()->disconnect(this);
    JobGrid->disconnect(this);
    JobGrid->Look = nullptr;
    JobGrid->Model().OnNotesEdited = nullptr;
    shutdownTimer_.reset();
    DeleteServiceWindows();
    OnRemoteLayout = nullptr;
    RemoteWindow = nullptr;
    RemoteGrid = nullptr;
    delete RemoteForm;
    delete ProgressForm;
    // The banners go before the machine that fetches for them.
    delete SponsorForm;
    delete AdPanel;
}

void TVelaMainForm::CreateActions() {
    using K = QKeySequence;
    auto* self = this;
    MakeAction("MMOpenBrowser", "&Open in Current Browser Window",
               "Open the selected job's description in the current browser window.",
               [self] { self->MMOpenBrowserClick(); });
    MakeAction("MMOpenNewBrowser", "Open in &New Browser Window",
               "Open the selected job's description in a new browser window.",
               [self] { self->MMOpenNewBrowserClick(); });
    MakeAction(
        "MMExit", "E&xit", "Close Tessaly Jobs.", [self] { self->MMExitClick(); },
        K(Qt::CTRL | Qt::Key_Q));
    MakeAction(
        "MMCopyURL", "&Copy Job Address", "Copy the selected job's address to the clipboard.",
        [self] { self->MMCopyURLClick(); }, K(Qt::CTRL | Qt::Key_C));
    MakeAction("MMSendJobtoaFriend", "Send Job to a &Friend...",
               "Recommend the selected job to a friend by e-mail.",
               [self] { self->MMSendJobtoaFriendClick(); });
    MakeAction(
        "MMDeleteSelected", "&Delete Selected Job(s)",
        "Remove the selected jobs from the job listing.",
        [self] {
            const size_t n = self->SelectedJobPositions().size();
            if (n == 0 || self->Hourglass()) return;
            if (self->ConfirmDelete(n == 1 ? QString("Delete the selected job from the listing?")
                                           : QString("Delete the %1 selected jobs from the "
                                                     "listing?")
                                                 .arg(n),
                                    self))
                self->MMDeleteSelectedClick();
        },
        K(Qt::Key_Delete));
    MakeAction("MMDeleteAll", "Delete Search", "Delete the selected search and its job listing.",
               [self] {
                   const TVelaSearch* s = self->GetSelectedSearch();
                   if (!s || self->Hourglass()) return;
                   if (self->ConfirmDelete(QString("Delete the search \"%1\" and its job listing?")
                                               .arg(FromBytes(SearchKeywords(s->Keywords))),
                                           self))
                       self->MMDeleteAllClick();
               });
    MakeAction("MMDeleteGrabbed", "Clear Grabbed Pages",
               "Delete the job descriptions grabbed for offline browsing.",
               [self] { self->MMDeleteGrabbedClick(); });
    MakeAction(
        "MMHighSelected", "&Highlight Selected Job(s)",
        "Highlight the selected jobs; press again to highlight all, then to clear all.",
        [self] { self->MMHighSelectedClick(); }, K(Qt::CTRL | Qt::Key_H));
    MakeAction(
        "MMCommentJob", "Comment Selected Job", "Enter notes about the selected job.",
        [self] { self->MMCommentJobClick(); }, K(Qt::CTRL | Qt::Key_E));
    MakeAction("MMTranslateJob", "Translate Job...", "Translate the selected job's description.",
               [self] { self->MMTranslateJobClick(); });
    MakeAction("MMPreferences", "&Preferences...", "Change the program's options.",
               [self] { self->MMPreferencesClick(); });
    MakeAction("MMCompanies", "Watched &Companies...",
               "Watch the career boards of the companies you want to work for.", [self] {
                   if (self->RunState() != rsIdle) return;
                   TCompaniesForm form(self->Engine(), self);
                   self->ExecDialog(&form);
               });
    MakeAction(
        "MMNew", "New &Search...", "Start a new search on all job sites.",
        [self] { self->MMNewClick(); }, K(Qt::CTRL | Qt::Key_N));
    // The key of earlier versions stays.
    Action("MMNew")->setShortcuts({K(Qt::CTRL | Qt::Key_N), K(Qt::CTRL | Qt::Key_S)});
    MakeAction(
        "MMRefine", "&Refine Search...",
        "Test the job descriptions of the current listing against more keywords.",
        [self] { self->MMRefineClick(); }, K(Qt::CTRL | Qt::Key_R));
    MakeAction(
        "MMUpdate", "&Update Search", "Update current job listing with newly posted jobs.",
        [self] { self->MMUpdateClick(); }, K(Qt::CTRL | Qt::Key_U));
    MakeAction(
        "MMStop", "Stop", "Stop the current operation.", [self] { self->MMStopClick(); },
        K(Qt::Key_Escape));
    MakeAction(
        "MMFindInResults", "&Find in Job Listing...", "Find a keyword in the job listing.",
        [self] { self->MMFindInResultsClick(); }, K(Qt::CTRL | Qt::Key_F));
    MakeAction(
        "MMFindInResultsNext", "Find &Next", "Find the keyword again, further down.",
        [self] { self->MMFindInResultsNextClick(); }, K(Qt::Key_F3));
    MakeAction(
        "MMContent", "&Help Contents", "Open the help.", [self] { self->MMContentClick(); },
        K(Qt::Key_F1));
    MakeAction("ConnectionSettingsAssistant1", "Connection Settings Assistant...",
               "Set up how Tessaly Jobs connects to the Internet.",
               [self] { self->ConnectionSettingsAssistant1Click(); });
    MakeAction("MMAbout", "&About Tessaly Jobs 98...", "Version and edition of Tessaly Jobs.",
               [self] { self->MMAboutClick(); });
    MakeAction("MMVelaHome", "Tessaly Jobs Web Site", "Visit the Tessaly Jobs web site.",
               [self] { self->MMVelaHomeClick(); });
    MakeAction("MMSendQv98toaFriend", "Send Tessaly Jobs to a Friend...",
               "Recommend Tessaly Jobs to a friend by e-mail.",
               [self] { self->MMSendQv98toaFriendClick(); });
    MakeAction("MMGrabSelected", "&Selected", "Grab the selected jobs' descriptions.",
               [self] { self->MMGrabClick(gcSelected); });
    MakeAction("MMGrabHigh", "&Highlighted", "Grab the highlighted jobs' descriptions.",
               [self] { self->MMGrabClick(gcHighlighted); });
    MakeAction("MMGrabGreen", "&Validated", "Grab the validated jobs' descriptions.",
               [self] { self->MMGrabClick(gcValidated); });
    MakeAction("MMGrabAll", "&All", "Grab every job description of the listing.",
               [self] { self->MMGrabClick(gcAll); });
    MakeAction("MMBrowseNew", "&New", "Browse the new jobs.",
               [self] { self->MMBrowseClick("New"); });
    MakeAction("MMBrowseHigh", "&Highlighted", "Browse the highlighted jobs.",
               [self] { self->MMBrowseClick("High"); });
    MakeAction("MMBrowseGreen", "&Validated", "Browse the validated jobs.",
               [self] { self->MMBrowseClick("Green"); });
    MakeAction("MMBrowseAll", "&All", "Browse all jobs.", [self] { self->MMBrowseClick("All"); });
    Action("MMFindInResultsNext")->setEnabled(false);
    Action("MMStop")->setEnabled(false);
}

void TVelaMainForm::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");
    QMenu* file = bar->addMenu("&File");
    file->setObjectName("MMFile");
    file->addAction(Action("MMOpenBrowser"));
    file->addAction(Action("MMOpenNewBrowser"));
    file->addSeparator();
    file->addAction(Action("MMExit"));

    QMenu* edit = bar->addMenu("&Edit");
    edit->setObjectName("MMEdit");
    for (const char* n : {"MMCopyURL", "MMSendJobtoaFriend"})
        edit->addAction(Action(n));
    edit->addSeparator();
    for (const char* n : {"MMDeleteSelected", "MMDeleteAll", "MMDeleteGrabbed"})
        edit->addAction(Action(n));
    edit->addSeparator();
    for (const char* n : {"MMHighSelected", "MMCommentJob", "MMTranslateJob"})
        edit->addAction(Action(n));
    SortMenu = edit->addMenu("Sort Jobs by");
    SortMenu->setObjectName("SortJobsby");
    auto* columns = new QActionGroup(this);
    auto* direction = new QActionGroup(this);
    for (const TJobColumnInfo& column : kJobColumns) {
        const char* item = column.Caption;
        QAction* a = SortMenu->addAction(item);
        a->setObjectName(QString("Sort") + item);
        a->setCheckable(true);
        columns->addAction(a);
        const QString name = item;
        connect(a, &QAction::triggered, this, [this, name] { SortGridClick(name); });
        a_->sortItems[item] = a;
    }
    SortMenu->addSeparator();
    for (const char* item : {"Ascending", "Descending"}) {
        QAction* a = SortMenu->addAction(item);
        a->setObjectName(QString("Sort") + item);
        a->setCheckable(true);
        direction->addAction(a);
        const QString name = item;
        connect(a, &QAction::triggered, this, [this, name] { SortGridClick(name); });
        a_->sortItems[item] = a;
    }
    connect(SortMenu, &QMenu::aboutToShow, this, [this] { SortJobsbyClick(); });
    edit->addSeparator();
    edit->addAction(Action("MMPreferences"));
    edit->addAction(Action("MMCompanies"));

    QMenu* search = bar->addMenu("Sea&rch");
    search->setObjectName("MMSearch");
    for (const char* n : {"MMNew", "MMRefine", "MMUpdate", "MMStop"})
        search->addAction(Action(n));
    search->addSeparator();
    a_->grabMenu = search->addMenu("&Grab Job Descriptions");
    a_->grabMenu->setObjectName("MMGrab");
    for (const char* n : {"MMGrabSelected", "MMGrabHigh", "MMGrabGreen", "MMGrabAll"})
        a_->grabMenu->addAction(Action(n));
    a_->grabMenu->setDefaultAction(Action("MMGrabAll"));
    a_->browseMenu = search->addMenu("&Browse Job Descriptions");
    a_->browseMenu->setObjectName("MMBrowse");
    for (const char* n : {"MMBrowseNew", "MMBrowseHigh", "MMBrowseGreen", "MMBrowseAll"})
        a_->browseMenu->addAction(Action(n));
    a_->browseMenu->setDefaultAction(Action("MMBrowseAll"));
    search->addSeparator();
    search->addAction(Action("MMFindInResults"));
    search->addAction(Action("MMFindInResultsNext"));

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("MMHelp");
    for (const char* n : {"MMContent", "ConnectionSettingsAssistant1", "MMAbout"})
        help->addAction(Action(n));
    help->addSeparator();
    for (const char* n : {"MMVelaHome", "MMSendQv98toaFriend"})
        help->addAction(Action(n));
    // The guide's entries are appended here by the job-source update.

    for (QMenu* m : {file, edit, search, help, a_->grabMenu, a_->browseMenu})
        connect(m, &QMenu::aboutToShow, this, [this] { UpdateMenus(); });

    // Pop-up menus: their own items, the main menu's handlers.
    auto copy = [this](QMenu* menu, const char* name, const char* caption, const char* from) {
        QAction* src = Action(from);
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        a->setStatusTip(src->statusTip());
        connect(a, &QAction::triggered, src, &QAction::trigger);
        return a;
    };
    ResPopup = new QMenu(this);
    ResPopup->setObjectName("ResPopup");
    a_->resOpen = copy(ResPopup, "ResOpenBrowser", "&Open Job in Browser Window", "MMOpenBrowser");
    a_->resOpenNew =
        copy(ResPopup, "ResOpenNewBrowser", "Open Job in &New Browser Window", "MMOpenNewBrowser");
    a_->resAlsoOn = ResPopup->addMenu("Open Job on Other &Boards");
    a_->resAlsoOn->setObjectName("ResAlsoOn");
    ResPopup->addSeparator();
    a_->resCopy = copy(ResPopup, "ResCopyURL", "&Copy Job Address", "MMCopyURL");
    a_->resSend =
        copy(ResPopup, "ResSendJobtoaFriend", "Send Job to a Friend...", "MMSendJobtoaFriend");
    a_->resDelete =
        copy(ResPopup, "ResDeleteSelected", "&Delete Selected Job(s)", "MMDeleteSelected");
    a_->resHigh = copy(ResPopup, "ResHighSelected", "&Highlight Selected Job(s)", "MMHighSelected");
    a_->resComment = copy(ResPopup, "ResCommentJob", "Comment Selected Job", "MMCommentJob");
    a_->resTranslate = copy(ResPopup, "ResTranslateJob", "Translate Job...", "MMTranslateJob");
    ResPopup->addSeparator();
    a_->resFind = copy(ResPopup, "ResFindInResults", "&Find in Job Listing...", "MMFindInResults");
    a_->resFindNext = copy(ResPopup, "ResFindInResultsNext", "Find &Next", "MMFindInResultsNext");

    SearchPopup = new QMenu(this);
    SearchPopup->setObjectName("SearchPopup");
    a_->srchDelete = copy(SearchPopup, "SrchDeleteAll", "&Delete Search", "MMDeleteAll");
    SearchPopup->addSeparator();
    a_->srchNew = copy(SearchPopup, "SrchNew", "New &Search...", "MMNew");
    a_->srchRefine = copy(SearchPopup, "SrchRefine", "&Refine Search...", "MMRefine");
    a_->srchUpdate = copy(SearchPopup, "SrchUpdate", "&Update Search", "MMUpdate");
    SearchPopup->addSeparator();
    SearchPopup->addMenu(a_->grabMenu);
    SearchPopup->addMenu(a_->browseMenu);
    SearchPopup->addSeparator();
    a_->srchFind =
        copy(SearchPopup, "SrchFindInResults", "&Find in Job Listing...", "MMFindInResults");
    a_->srchFindNext =
        copy(SearchPopup, "SrchFindInResultsNext", "Find &Next", "MMFindInResultsNext");

    GrabPopup = new QMenu(this);
    GrabPopup->setObjectName("GrabPopup");
    a_->grabSelected = copy(GrabPopup, "GrabSelectedJobs", "Selected Jobs", "MMGrabSelected");
    a_->grabHigh = copy(GrabPopup, "GrabHighlightedJobs", "Highlighted Jobs", "MMGrabHigh");
    a_->grabGreen = copy(GrabPopup, "GrabValidatedJobs", "Validated Jobs", "MMGrabGreen");
    a_->grabAll = copy(GrabPopup, "GrabAllJobs", "All Jobs", "MMGrabAll");

    BrowsePopup = new QMenu(this);
    BrowsePopup->setObjectName("BrowsePopup");
    a_->browseThis = copy(BrowsePopup, "BrowseThisJob", "This Job", "MMOpenBrowser");
    BrowsePopup->addSeparator();
    a_->browseNew = copy(BrowsePopup, "BrowseNewJobs", "New Jobs", "MMBrowseNew");
    a_->browseHigh = copy(BrowsePopup, "BrowseHighlightedJobs", "Highlighted Jobs", "MMBrowseHigh");
    a_->browseGreen = copy(BrowsePopup, "BrowseValidatedJobs", "Validated Jobs", "MMBrowseGreen");
    a_->browseAll = copy(BrowsePopup, "BrowseAllJobs", "All Jobs", "MMBrowseAll");

    ToolsPopup = new QMenu(this);
    ToolsPopup->setObjectName("ToolsPopup");
    a_->toolsComment = copy(ToolsPopup, "ToolsCommentJob", "Comment Job", "MMCommentJob");
    a_->toolsTranslate =
        copy(ToolsPopup, "ToolsTranslateJob", "Translate Job...", "MMTranslateJob");
    a_->toolsSend =
        copy(ToolsPopup, "ToolsSendJobtoaFriend", "Send Job To A Friend...", "MMSendJobtoaFriend");

    GuidePopup = new QMenu(this);
    GuidePopup->setObjectName("GuidePopup");

    for (QMenu* m : {ResPopup, SearchPopup, GrabPopup, BrowsePopup, ToolsPopup})
        connect(m, &QMenu::aboutToShow, this, [this] { UpdateMenus(); });
}

void TVelaMainForm::CreateToolbar() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    ButtonsPanel = new QToolBar(Panel1);
    ButtonsPanel->setObjectName("ButtonsPanel");
    ButtonsPanel->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ButtonsPanel->setIconSize(QSize(32, 32));
    ButtonsPanel->setMovable(false);
    ButtonsPanel->setFloatable(false);
    auto button = [this](const char* name, const char* caption, const char* hint,
                         const char* icon) {
        auto* b = new QToolButton(ButtonsPanel);
        b->setObjectName(name);
        b->setText(caption);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        b->setIcon(ToolbarIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        // The toolbar's buttons are 55 wide, wider only where the desktop's font would
        // clip the caption.
        const int textWidth = b->fontMetrics().horizontalAdvance(QString(caption).trimmed());
        b->setFixedSize(std::max(55, textWidth + 12), 56);
        ButtonsPanel->addWidget(b);
        return b;
    };
    NewBut = button("NewBut", "   New   ", "Start a New Search", "New");
    UpdateBut = button("UpdateBut", " Update ", "Update Selected Search", "Update");
    RefineBut = button("RefineBut", "  Refine ", "Refine Selected Search", "Refine");
    GrabBut = button("GrabBut", "  Grab  ", "Grab Job Descriptions for Offline Browsing", "Grab");
    StopBut = button("StopBut", "   Stop   ", "Stop Current Operation", "Stop");
    ButtonsPanel->addSeparator();
    HighBut = button("HighBut", "Highlight", "Highlight Selected Job(s)", "Highlight");
    ToolsBut = button("ToolsBut", "  Tools ", "Tessaly Tools", "Tools");
    BrowseBut = button("BrowseBut", "Browse", "Browse Job Descriptions", "Browse");
    GuideBut = button("GuideBut", " Guide ", "Tessaly Guide", "Guide");
    connect(NewBut, &QToolButton::clicked, this, [this] { MMNewClick(); });
    connect(UpdateBut, &QToolButton::clicked, this, [this] { MMUpdateClick(); });
    connect(RefineBut, &QToolButton::clicked, this, [this] { MMRefineClick(); });
    connect(StopBut, &QToolButton::clicked, this, [this] { MMStopClick(); });
    connect(HighBut, &QToolButton::clicked, this, [this] { MMHighSelectedClick(); });
    for (auto [b, m] : {std::pair{GrabBut, GrabPopup}, std::pair{ToolsBut, ToolsPopup},
                        std::pair{BrowseBut, BrowsePopup}, std::pair{GuideBut, GuidePopup}}) {
        b->setMenu(m);
        b->setPopupMode(QToolButton::InstantPopup);
        // The drop-down arrow would squeeze the caption of a 55-pixel button.
        b->setStyleSheet("QToolButton::menu-indicator { image: none; width: 0px; }");
    }
    StopBut->setEnabled(false);
    GuideBut->setEnabled(false);

    XkLogoPanel = new QWidget(Panel1);
    XkLogoPanel->setObjectName("XkLogoPanel");
    XkLogo = new TFrameAnimation(XkLogoPanel);
    XkLogo->setObjectName("XkLogo");
    XkLogo->setFixedSize(48, 48);
    XkLogo->SetPainter(PaintLogoFrame, kLogoFrames);
    XkLogo->SetFramesPerSecond(15);
    XkLogo->Seek(38);
    XkLogo->setToolTip("Tessaly Jobs Web Site");
    auto* over = new QLabel("Tessaly\nJobs 98", XkLogoPanel);
    over->setObjectName("XkLogoOver");
    QFont f = over->font();
    f.setBold(true);
    f.setItalic(true);
    over->setFont(f);
    SetReadableText(over, QColor(40, 70, 130));
    over->setCursor(Qt::PointingHandCursor);
    XkLogo->setCursor(Qt::PointingHandCursor);
    over->installEventFilter(this);
    XkLogo->OnClick = [this] { MMVelaHomeClick(); };
    XkLogo->OnMouseMove = [this] {
        if (RunState() == rsIdle && !XkLogo->Playing()) {
            logoPhase_ = 0;
            XkLogo->Play(1, 37);
        }
    };
    XkLogo->OnStop = [this] { XkLogoStop(); };
    auto* lh = new QHBoxLayout(XkLogoPanel);
    lh->setContentsMargins(4, 2, 8, 2);
    lh->addWidget(over);
    lh->addWidget(XkLogo);

    auto* h = new QHBoxLayout(Panel1);
    h->setContentsMargins(2, 0, 0, 0);
    h->addWidget(ButtonsPanel);
    h->addStretch(1);
    h->addWidget(XkLogoPanel);

    AdPanel = new QWidget(this);
    AdPanel->setObjectName("AdPanel");
    AdPanel->hide();
}

void TVelaMainForm::CreateGrids() {
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setChildrenCollapsible(false);
    // A bar a pointer finds without aiming for it.
    Splitter1->setHandleWidth(8);

    SearchGrid = new QTableWidget(1, 6, Splitter1);
    SearchGrid->setObjectName("SearchGrid");
    SearchGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SearchGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    SearchGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    SearchGrid->verticalHeader()->hide();
    SearchGrid->verticalHeader()->setDefaultSectionSize(20);
    SearchGrid->setWordWrap(false);
    SearchGrid->setIconSize(QSize(16, 16));
    SearchGrid->setMinimumHeight(60);
    for (int c = 0; c < 6; ++c)
        SearchGrid->setHorizontalHeaderItem(c, new QTableWidgetItem(kSearchGridHeaders[c]));
    SearchGrid->setColumnHidden(5, true);
    SearchGrid->horizontalHeader()->setStretchLastSection(true);
    // Refits once its rows have their room, as the job grid does.
    SearchGrid->viewport()->installEventFilter(this);
    SearchGrid->horizontalHeader()->setSectionsClickable(false);
    SearchGrid->horizontalHeader()->setHighlightSections(false);
    SearchGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SearchGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        SearchPopup->popup(SearchGrid->viewport()->mapToGlobal(p));
    });
    connect(SearchGrid, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int prevRow, int) {
                if (ignoreSearchSelect_) return;
                if (hourglass_) {
                    // A table is loading: the selection stays where it was.
                    if (row != prevRow && prevRow >= 0) {
                        ignoreSearchSelect_ = true;
                        SearchGrid->setCurrentCell(prevRow, 0);
                        ignoreSearchSelect_ = false;
                    }
                    return;
                }
                if (row != lastSearchRow_) {
                    lastSearchRow_ = row;
                    // The engine starts its grid timer: the table loads half a second later.
                    engine_->SelectSearch(GetSelectedSearchPosition());
                    ButtonsState();
                }
            });

    JobGrid = new TJobGrid(
        TJobGridKind::Main, [this]() -> TVelaJobsList& { return Jobs(); }, Splitter1);
    JobGrid->setObjectName("JobGrid");
    JobGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    JobGrid->setColumnHidden(JobGrid->IndexColumn(), true);
    // Whether the rows scroll, and so the room for the columns, is known once the grid
    // has its size.
    JobGrid->OnResized = [this] {
        if (!closing_) FormResize();
    };
    JobGrid->Look = [this] {
        return TJobGridLook{settings_->Visual.YellowHighlight, settings_->Visual.HotlinkTitles,
                            foundCol_, foundRow_};
    };
    JobGrid->Model().OnNotesEdited = [this](int row, const QString& text) {
        JobGridCellValidate(row, text);
    };
    QHeaderView* hh = JobGrid->horizontalHeader();
    hh->setSectionsMovable(true);
    hh->setStretchLastSection(true);
    hh->setSectionsClickable(true);
    hh->setSortIndicatorShown(true);
    JobGrid->setColumnWidth(JobGrid->ColumnOf(TJobColumn::Status), 26);
    JobGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(JobGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { ResPopup->popup(JobGrid->viewport()->mapToGlobal(p)); });
    connect(hh, &QHeaderView::sectionClicked, this, [this](int col) { JobGridCanSort(col); });
    connect(JobGrid, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& ix) { JobGridClickCell(ix.row(), ix.column()); });
    connect(JobGrid, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& ix) { JobGridDblClickCell(ix.row(), ix.column()); });
    connect(JobGrid->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        ResetHighlightMode();
        if (RunState() == rsIdle) ButtonsState();
    });
    connect(JobGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (RunState() == rsIdle) ButtonsState();
    });
    connect(JobGrid->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this] { EndNotesEditing(); });
    // Enter opens the job as a double click does; Tab goes on to the next control instead
    // of from cell to cell.
    auto* open = new QAction(JobGrid);
    open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    open->setShortcutContext(Qt::WidgetShortcut);
    JobGrid->addAction(open);
    connect(open, &QAction::triggered, this, [this] {
        if (JobGrid->currentRow() >= 0) JobGridDblClickCell(JobGrid->currentRow(), 0);
    });
    JobGrid->setTabKeyNavigation(false);
    SearchGrid->setTabKeyNavigation(false);
    // The listing never stays scrolled sideways while its columns are fitted to the window.
    connect(JobGrid->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (v != 0 && settings_->Visual.AutoOptimize) JobGrid->horizontalScrollBar()->setValue(0);
    });

    Splitter1->addWidget(SearchGrid);
    Splitter1->addWidget(JobGrid);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({91, 400});
}

void TVelaMainForm::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(true);
    // The outer panels grow with their texts ("12 of 17 sources done."); the middle one
    // takes the rest of the bar.
    const int widths[3] = {100, 350, 100};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(bar);
        StatusPanels[i]->setObjectName(QString("StatusPanel%1").arg(i));
        StatusPanels[i]->setMinimumWidth(i == 1 ? 150 : widths[i]);
        StatusPanels[i]->setFrameShape(QFrame::StyledPanel);
        StatusPanels[i]->setFrameShadow(QFrame::Sunken);
        StatusPanels[i]->setContentsMargins(3, 0, 3, 0);
        if (i == 1) StatusPanels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        bar->addWidget(StatusPanels[i], i == 1 ? 1 : 0);
    }
    ActivityIndicator = new QProgressBar(bar);
    ActivityIndicator->setObjectName("ActivityIndicator");
    ActivityIndicator->setFixedSize(90, 14);
    ActivityIndicator->setTextVisible(false);
    ActivityIndicator->setRange(0, 1);
    ActivityIndicator->setValue(0);
    bar->addPermanentWidget(ActivityIndicator);
}

// ---------------------------------------------------------------- start-up

TResult<void> TVelaMainForm::ReadProductId() {
    try {
        if (!engine_->LoadSettings())
            return Error("The product identification " + JoinPath(programDir_, "id.box") +
                         " is missing.");
        ApplyStoredBrowser(*browser_, engine_->OptionsBox());
        UpdateForm->LoadDescriptor();
    } catch (const std::exception& e) {
        return Error(e.what());
    }
    const TConfigBox& box = engine_->Identity();
    product_.Product = box.ReadString("ID", "Product");
    product_.ProductName = box.ReadString("ID", "ProductName");
    product_.Version = box.ReadString("ID", "Version");
    product_.VersionName = box.ReadString("ID", "VersionName");
    product_.Edition = box.ReadString("ID", "Edition");
    product_.EditionName = box.ReadString("ID", "EditionName");
    product_.UserID = box.ReadString("ID", "UserID");
    if (!product_.ProductName.empty()) setWindowTitle(FromBytes(product_.Caption()));
    CreateOptionsForm();
    return {};
}

void TVelaMainForm::CloseSplash() {
    if (!SplashHandle) return;
    SplashHandle->close();
    SplashHandle = nullptr;
    tessaly::ProcessMessages();
}

void TVelaMainForm::CreateOptionsForm() {
    if (OptionsForm) return;
    settings_->Listen([this](const TMainOptions& before) { SettingsChanged(before); });
    ProxyForm = new TProxyForm(this);
    ConnectWizard = new TConnectWizard(engine_->OptionsBox(), ProxyForm, this);
    ConnectWizard->OnShowProxy = [this] { ExecDialog(ProxyForm); };
    // Last: its check boxes decide whether the layouts below are kept, and how the grids
    // fit.
    OptionsForm = new TOptionsForm(*this, ProxyForm, this);
    OptionsForm->FormCreate();
    // Applied options reach the machine: thread count, time-out, proxy.
    OptionsForm->OnApplied = [this] { engine_->InitMachine(); };
    RestoreLayout();
    // New definitions from the maker's server: the dialog lists the new sites.
    OnSourcesReloaded = [this] { OptionsForm->LoadOptions(); };
}

namespace {

// The job listing's column that a stored sort number stands for; the listing sorts the
// notes column by the key "Notes ".
constexpr int kSortableColumns = kJobColumnCount;  // the index column sorts nothing
constexpr TJobColumn kResetSortColumn = TJobColumn::Relevancy;

// Changing the flag hides a window: one that showed shows again.
void SetStayOnTop(QWidget* window, bool on) {
    if (!window) return;
    if (auto* progress = dynamic_cast<TProgressForm*>(window)) {
        progress->SetStayOnTop(on);
        return;
    }
    if (static_cast<bool>(window->windowFlags() & Qt::WindowStaysOnTopHint) == on) return;
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) window->show();
}

// The search grid does not stretch, so the splitter keeps the height it is given once
// the window is laid out; before that its sizes say nothing yet.
void SetSearchGridHeight(QSplitter* splitter, int height) {
    int total = 0;
    for (int s : splitter->sizes())
        total += s;
    splitter->setSizes({height, splitter->isVisible() ? std::max(total - height, 1) : 400});
}

int SearchGridHeight(const QSplitter* splitter, int fallback) {
    return splitter->isVisible() ? splitter->sizes().value(0, fallback) : fallback;
}

// The search selected when the program last closed, found by its table's name (the
// positions move as searches are added); -1 when it is gone.
int RememberedSearch(const TVelaSearchesList& searches, const TConfigBox& options) {
    const std::string table = options::SelectedSearch.Read(options);
    for (int i = 0; !table.empty() && i < searches.Count(); ++i)
        if (BaseName(searches[i].TableFile) == table) return i;
    return -1;
}

}  // namespace

void TVelaMainForm::RegisterLayouts() {
    // The main window first: the others are placed afresh next to it. The search grid's
    // height goes with it.
    TWindowLayout main =
        PlacedWindow([this] { return static_cast<QWidget*>(this); }, options::MainForm, true, true,
                     [this] {
                         const QRect area = ScreenArea();
                         resize(FirstWindowSize(area));
                         move(area.x() + Centred(area.width(), width()),
                              area.y() + Centred(area.height(), height()));
                         searchGridHeight_ = options::SearchGridHeight.Default;
                         SetSearchGridHeight(Splitter1, searchGridHeight_);
                         SearchGrid->show();
                         ButtonsPanel->show();
                     });
    main.Save = [this, save = main.Save](TConfigBox& box) {
        save(box);
        options::SearchGridHeight.Write(box, SearchGridHeight(Splitter1, searchGridHeight_));
    };
    main.Values = [this, values = main.Values](std::vector<TPlaceValue>& v) {
        values(v);
        v.push_back({options::SearchGridHeight, [this](int h) {
                         searchGridHeight_ = h;
                         SetSearchGridHeight(Splitter1, h);
                     }});
    };
    layouts_.AddWindow(std::move(main));
    layouts_.AddWindow(PlacedWindow([this] { return static_cast<QWidget*>(ProgressForm); },
                                    options::ProgressForm, true, false,
                                    [this] {
                                        const QRect area = ScreenArea();
                                        ProgressForm->resize(450, 210);
                                        int left = x() + width() - 400;
                                        if (left + 450 > area.x() + area.width())
                                            left = area.x() + area.width() - 450 - 80;
                                        ProgressForm->move(left, y() + height() - 210 - 40);
                                    }));
    layouts_.AddWindow(
        PlacedWindow([this] { return SponsorWindow; }, options::SponsorForm, false, false,
                     [this] {
                         if (!SponsorWindow) return;
                         const int left = x() - 80;
                         SponsorWindow->move(left < 0 ? 20 : left, SponsorWindow->pos().y() + 200);
                     }));
    layouts_.AddWindow(PlacedWindow(
        [this] { return RemoteWindow; }, options::RemoteForm, true, false,
        [this] {
            if (!RemoteWindow) return;
            const QRect area = ScreenArea();
            RemoteWindow->move(area.x() + area.width() - RemoteWindow->width() - 80,
                               area.y() + area.height() - RemoteWindow->height() - 200);
        }));
    layouts_.AddGrid([this] { return static_cast<QTableView*>(SearchGrid); }, kSearchGridTable);
    // The listing's sort order goes with the job grid's columns.
    layouts_.AddGrid([this] { return static_cast<QTableView*>(JobGrid); }, kJobGridTable,
                     [this](TConfigBox& box) {
                         options::SortColumn.Write(box, static_cast<int>(engine_->Sort().Column));
                         options::SortDirection.Write(
                             box, engine_->Sort().Descending ? "Descending" : "Ascending");
                     });
    layouts_.AddGrid([this] { return RemoteGrid; }, kRemoteGridTable);
    layouts_.OnGridsReset = [this] {
        engine_->SetSort({kResetSortColumn, false});
        JobGrid->horizontalHeader()->setSortIndicator(JobGrid->ColumnOf(kResetSortColumn),
                                                      Qt::AscendingOrder);
        FormResize();
        engine_->StartGridTimer();
        if (OnRemoteLayout) OnRemoteLayout();
    };
}

void TVelaMainForm::RestoreLayout() {
    const TConfigBox& s = settings_->Store();
    if (options::MainForm.Width.Read(s) < 1 || !layouts_.RecallWindows(s)) layouts_.ResetWindows();
    // The stored column layouts go with the listing's sort order, or all are reset.
    const int sortColumn = options::SortColumn.Read(s);
    if (layouts_.RecallGrids(s) && sortColumn >= 0 && sortColumn < kSortableColumns) {
        const TSortOrder order{static_cast<TJobColumn>(sortColumn),
                               options::SortDirection.Read(s) == "Descending"};
        engine_->SetSort(order);
        SearchListToGrid();
        Jobs().SortJobs(order.Column);
        if (order.Descending) Jobs().ReverseJobs();
        JobListToGrid(true);
        ShowSortMark();
        FormResize();
    } else {
        layouts_.ResetGrids();
    }
    // From here on the store holds every layout, and each window and grid keeps its own
    // there as the user changes it.
    layouts_.SaveAll();
    layouts_.Watch();
}

void TVelaMainForm::SettingsChanged(const TMainOptions& before) {
    const TMainOptions& now = settings_->Visual;
    JobGrid->viewport()->update();
    if (RemoteGrid) RemoteGrid->viewport()->update();
    SetStayOnTop(ProgressForm, now.ProgressOnTop);
    SetStayOnTop(RemoteWindow, now.RemoteOnTop);
    if (now.AutoOptimize != before.AutoOptimize) FormResize();
}

void TVelaMainForm::ShowSearch(int number) {
    if (!searchesShown_) {
        wantedSearch_ = number;
        return;
    }
    if (number < 1 || number > Searches().Count() || RunState() != rsIdle || hourglass_) return;
    engine_->SelectSearch(number - 1);
    SearchListToGrid();
}

void TVelaMainForm::ComeToFront() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

TResult<void> TVelaMainForm::FirstActivation() {
    if (SplashHandle) {
        SplashHandle->raise();
        tessaly::ProcessMessages();
    }
    logoPhase_ = 0;
    XkLogo->Play(1, 37);
    // The wait cursor while the searches load (they show as they come).
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool waiting = true;
    auto stopWaiting = [&waiting] {
        if (waiting) QApplication::restoreOverrideCursor();
        waiting = false;
    };
    try {
        const bool started = engine_->Start(
            [this, &stopWaiting] {
                // The search asked for at the start, else the one selected when the
                // program last closed.
                const int last = RememberedSearch(Searches(), engine_->OptionsBox());
                const bool wanted = wantedSearch_ >= 1 && wantedSearch_ <= Searches().Count();
                if (wanted || last > 0) {
                    engine_->SelectSearch(wanted ? wantedSearch_ - 1 : last);
                    SearchListToGrid();
                }
                searchesShown_ = true;
                stopWaiting();
                engine_->StartGridTimer();
                CloseSplash();
                // Not on a window already closing (a SIGTERM during start-up): the
                // assistant's dialog would keep the program running.
                if (OptionsForm && !closing_ && ConnectionAssistantNeeded(engine_->OptionsBox()))
                    ConnectionSettingsAssistant1Click();
            },
            [this](const std::exception& e) { ShowMessage(QString::fromStdString(e.what())); });
        stopWaiting();
        if (!started)
            return Error("The job-site definitions " + JoinPath(programDir_, "sources.def") +
                         " are missing.");
    } catch (const std::exception& e) {
        stopWaiting();
        return Error(e.what());
    }
    // Closing began while the searches loaded: nothing more is started.
    if (!closing_) {
        if (engine_->Descriptor().ReadString("Popup", "Mode") == "OnOpen") ShowPopupMessage();
        StartBanners();
    }
    SetRunState(rsIdle);
    return {};
}

void TVelaMainForm::SetRunState(TRunState state) {
    engine_->SetState(state);
    const bool busy = state != rsIdle;
    ActivityIndicator->setRange(0, busy ? 0 : 1);
    ButtonsState();
    // The logo rests without animating; a change of state sets it going again.
    if (!XkLogo->Playing()) XkLogoStop();
}

void TVelaMainForm::XkLogoStop() {
    enum { lpRest, lpStart, lpWork, lpBusyRest, lpReturn };
    const bool busy = RunState() != rsIdle && RunState() != rsStarting;
    ActivityIndicator->setRange(0, RunState() != rsIdle ? 0 : 1);
    switch (logoPhase_) {
        case lpStart:
            logoPhase_ = lpWork;
            XkLogo->Play(11, 28);
            break;
        case lpWork:
        case lpBusyRest:
            if (busy) {
                logoPhase_ = lpBusyRest;
                XkLogo->Play(28, 29);
            } else {
                logoPhase_ = lpReturn;
                XkLogo->Play(29, 37);
            }
            break;
        default:
            if (busy) {
                logoPhase_ = lpStart;
                XkLogo->Play(1, 10);
            } else {
                logoPhase_ = lpRest;
                XkLogo->Seek(38);
            }
            break;
    }
    // The banners' triggers follow the change of state.
    BannerTriggers(previousRunState_, RunState());
    previousRunState_ = RunState();
}

void TVelaMainForm::ButtonsState() {
    const bool idle = RunState() == rsIdle;
    // The engine changes the state itself and then asks for the toolbar: the logo and
    // the activity indicator follow here.
    if (RunState() != previousRunState_ && !XkLogo->Playing()) XkLogoStop();
    ActivityIndicator->setRange(0, idle ? 1 : 0);
    switch (RunState()) {
        case rsStarting:
            for (QToolButton* b :
                 {NewBut, UpdateBut, RefineBut, GrabBut, ToolsBut, BrowseBut, HighBut, StopBut})
                b->setEnabled(false);
            break;
        case rsIdle: {
            const bool shown = IsAnyJob();
            NewBut->setEnabled(true);
            UpdateBut->setEnabled(IsAnySelectedSearch());
            RefineBut->setEnabled(shown);
            GrabBut->setEnabled(shown);
            ToolsBut->setEnabled(shown);
            BrowseBut->setEnabled(shown);
            HighBut->setEnabled(IsAnySelectedJob());
            StopBut->setEnabled(false);
            break;
        }
        default:
            for (QToolButton* b : {NewBut, UpdateBut, RefineBut, GrabBut, ToolsBut, BrowseBut})
                b->setEnabled(false);
            StopBut->setEnabled(RunState() != rsStopping);
            break;
    }
    // The shortcuts of the main menu follow the same rules as the menu items.
    if (!a_->byName.empty()) {
        Action("MMStop")->setEnabled(!idle && RunState() != rsStarting);
        UpdateMenus();
    }
}

void TVelaMainForm::UpdateMenus() {
    const bool idle = RunState() == rsIdle;
    const bool job = IsAnySelectedJob();
    const bool shown = IsAnyJob();
    const bool search = IsAnySelectedSearch();
    for (const char* n : {"MMOpenBrowser", "MMOpenNewBrowser", "MMCopyURL", "MMSendJobtoaFriend",
                          "MMHighSelected", "MMCommentJob", "MMTranslateJob"})
        Action(n)->setEnabled(job);
    // While a table loads the listing is not the selected search's yet: nothing is deleted.
    const bool settled = idle && !hourglass_;
    Action("MMDeleteSelected")->setEnabled(job && settled);
    Action("MMDeleteAll")->setEnabled(search && settled);
    const TVelaSearch* s = search ? const_cast<TVelaMainForm*>(this)->GetSelectedSearch() : nullptr;
    Action("MMDeleteGrabbed")->setEnabled(s && settled && DirectoryExists(SearchFolder(*s)));
    Action("MMPreferences")->setEnabled(idle);
    Action("MMCompanies")->setEnabled(idle);
    Action("MMNew")->setEnabled(idle);
    for (const char* n : {"MMRefine", "MMUpdate", "MMFindInResults"})
        Action(n)->setEnabled(shown && idle);
    a_->grabMenu->menuAction()->setEnabled(shown && idle);
    a_->browseMenu->menuAction()->setEnabled(shown && idle);
    FillAlsoOnMenu();
    Action("MMStop")->setEnabled(!idle && RunState() != rsStarting);
    QAction* next = Action("MMFindInResultsNext");
    if (!idle) next->setEnabled(false);
    // The pop-up copies follow the main item, so a later hit turns them on again.
    a_->resFindNext->setEnabled(next->isEnabled());
    a_->srchFindNext->setEnabled(next->isEnabled());

    const bool high = Jobs().HasHigh();
    const bool green = Jobs().HasStatus(kStatusGreen);
    Action("MMGrabSelected")->setEnabled(job);
    Action("MMGrabHigh")->setEnabled(high);
    Action("MMGrabGreen")->setEnabled(green);
    Action("MMBrowseNew")->setEnabled(Jobs().HasStatus(kStatusNew));
    Action("MMBrowseHigh")->setEnabled(high);
    Action("MMBrowseGreen")->setEnabled(green);
    a_->grabSelected->setEnabled(job);
    a_->grabHigh->setEnabled(high);
    a_->grabGreen->setEnabled(green);
    a_->browseThis->setEnabled(job);
    a_->browseNew->setEnabled(Jobs().HasStatus(kStatusNew));
    a_->browseHigh->setEnabled(high);
    a_->browseGreen->setEnabled(green);

    for (QAction* a :
         {a_->resOpen, a_->resOpenNew, a_->resCopy, a_->resSend, a_->resHigh, a_->resComment,
          a_->resTranslate, a_->toolsComment, a_->toolsTranslate, a_->toolsSend})
        a->setEnabled(job);
    // As their main-menu twins: no deleting or finding while a run changes the listing.
    a_->resDelete->setEnabled(Action("MMDeleteSelected")->isEnabled());
    a_->resFind->setEnabled(Action("MMFindInResults")->isEnabled());
    a_->srchDelete->setEnabled(Action("MMDeleteAll")->isEnabled());
    a_->srchNew->setEnabled(idle);
    for (QAction* a : {a_->srchRefine, a_->srchUpdate, a_->srchFind})
        a->setEnabled(shown && idle);
}

// ---------------------------------------------------------------- grid helpers

int TVelaMainForm::GetColIdx(const TJobGrid* grid, const char* header) const {
    return grid->ColumnOf(QString(header));
}

int TVelaMainForm::GetColIdx(const QTableWidget* grid, const char* header) const {
    const QString h = header;
    int found = -1;
    for (int c = 0; c < grid->columnCount(); ++c) {
        const QTableWidgetItem* it = grid->horizontalHeaderItem(c);
        if (it && it->text() == h) found = c;
    }
    return found;
}

void TVelaMainForm::SetCell(QTableWidget* grid, int row, int col, const QString& text) {
    if (col < 0) return;
    QTableWidgetItem* it = grid->item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        it->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        grid->setItem(row, col, it);
    }
    it->setText(text);
}

int TVelaMainForm::SearchCol(TSearchColumn column) const {
    return GetColIdx(SearchGrid, SearchColumnHeader(column));
}

QString TVelaMainForm::CellText(int row, TSearchColumn column) const {
    const int col = SearchCol(column);
    if (col < 0 || row < 0 || row >= SearchGrid->rowCount()) return {};
    const QTableWidgetItem* it = SearchGrid->item(row, col);
    return it ? it->text() : QString();
}

bool TVelaMainForm::IsAnySearch() const {
    // The blank row of an empty grid has no index; a search without keywords has one.
    return SearchGrid->rowCount() > 0 && !CellText(0, TSearchColumn::Index).isEmpty();
}

bool TVelaMainForm::IsAnySelectedSearch() const {
    return IsAnySearch() && SearchGrid->currentRow() >= 0;
}

int TVelaMainForm::GetSelectedSearchPosition() const {
    if (!IsAnySelectedSearch()) return -1;
    bool ok = false;
    const int pos = CellText(SearchGrid->currentRow(), TSearchColumn::Index).toInt(&ok);
    return ok && pos >= 0 && pos < Searches().Count() ? pos : -1;
}

TVelaSearch* TVelaMainForm::GetSelectedSearch() {
    const int pos = GetSelectedSearchPosition();
    return pos >= 0 ? &Searches()[pos] : nullptr;
}

bool TVelaMainForm::IsAnyJob() const {
    return JobGrid->Model().JobRows() > 0;
}

bool TVelaMainForm::IsAnySelectedJob() const {
    if (!IsAnyJob()) return false;
    return JobGrid->selectionModel()->hasSelection() || JobGrid->currentRow() >= 0;
}

// The selected rows, top to bottom; the current row when none is selected.
static std::vector<int> SelectedRows(const TJobGrid* grid) {
    std::vector<int> rows;
    for (const QItemSelectionRange& r : grid->selectionModel()->selection())
        for (int row = r.top(); row <= r.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty() && grid->currentRow() >= 0) rows.push_back(grid->currentRow());
    return rows;
}

std::vector<int> TVelaMainForm::SelectedJobPositions() {
    std::vector<int> positions;
    for (int row : SelectedRows(JobGrid)) {
        const int pos = JobGrid->Model().PositionAt(row);
        if (pos >= 0) positions.push_back(pos);
    }
    return positions;
}

TVelaJob* TVelaMainForm::GetSelectedJob() {
    if (!IsAnyJob()) return nullptr;
    const std::vector<int> p = SelectedJobPositions();
    return p.empty() ? nullptr : &Jobs()[p.front()];
}

int TVelaMainForm::RowOfJob(int jobPosition) const {
    return JobGrid->Model().RowOf(jobPosition);
}

void TVelaMainForm::SelectGridRow(int row) {
    if (row < 0 || row >= JobGrid->rowCount()) return;
    JobGrid->clearSelection();
    JobGrid->setCurrentCell(row, std::max(0, JobGrid->ColumnOf(TJobColumn::Title)));
    JobGrid->selectRow(row);
    JobGrid->ScrollToRow(row);
}

// ---------------------------------------------------------------- filling

void TVelaMainForm::SearchListToGrid() {
    try {
        const bool wasIgnoring = ignoreSearchSelect_;
        ignoreSearchSelect_ = true;
        SearchGrid->setRowCount(1);
        for (int c = 0; c < SearchGrid->columnCount(); ++c)
            delete SearchGrid->takeItem(0, c);
        for (int i = 0; i < Searches().Count(); ++i) {
            const TVelaSearch& s = Searches()[i];
            if (i >= SearchGrid->rowCount()) SearchGrid->setRowCount(i + 1);
            // Keywords of several lines show on one.
            SetCell(SearchGrid, i, SearchCol(TSearchColumn::Keywords),
                    FromBytes(SearchKeywords(s.Keywords)));
            if (QTableWidgetItem* it = SearchGrid->item(i, SearchCol(TSearchColumn::Keywords)))
                it->setIcon(QIcon(SearchImage()));
            SetCell(SearchGrid, i, SearchCol(TSearchColumn::Area), FromBytes(s.Region));
            SetCell(SearchGrid, i, SearchCol(TSearchColumn::Category), FromBytes(s.Category));
            SetCell(SearchGrid, i, SearchCol(TSearchColumn::Date), FromBytes(s.Created));
            SetCell(SearchGrid, i, SearchCol(TSearchColumn::Count), QString::number(s.JobCount));
            SetCell(SearchGrid, i, SearchCol(TSearchColumn::Index), QString::number(i));
            // Narrow columns cut their texts (the date first): the hint holds the whole one.
            for (TSearchColumn c : {TSearchColumn::Keywords, TSearchColumn::Area,
                                    TSearchColumn::Category, TSearchColumn::Date})
                if (QTableWidgetItem* it = SearchGrid->item(i, SearchCol(c)))
                    it->setToolTip(it->text());
        }
        // The engine's selected search is the row to select.
        const int selected = engine_->Selected();
        if (selected >= 0 && selected < Searches().Count())
            SearchGrid->setCurrentCell(selected, 0);
        else
            SearchGrid->setCurrentCell(-1, -1);
        lastSearchRow_ = SearchGrid->currentRow();
        ignoreSearchSelect_ = wasIgnoring;
    } catch (...) {
        // What was filled stays; the failure is not shown.
        ignoreSearchSelect_ = false;
    }
    FormResize();
}

void TVelaMainForm::SetHourglass(bool on) {
    if (on == hourglass_) return;
    hourglass_ = on;
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    if (!a_->byName.empty()) UpdateMenus();
}

void TVelaMainForm::JobListToGrid(bool full) {
    if (fillingGrid_) return;
    fillingGrid_ = true;
    try {
        // The model reads the list itself: showing it is a reset of the rows, whatever
        // their number. A full fill starts without a selection.
        if (full) JobGrid->clearSelection();
        JobGrid->ShowList();
        UpdateSearchCount();
    } catch (...) {
        // What was shown stays; the failure is not shown.
    }
    fillingGrid_ = false;
    foundCol_ = foundRow_ = -1;
    // The widths follow the rows: a listing that now scrolls has less room.
    FormResize();
    JobGrid->Repaint();
    ButtonsState();
    // The remote window's rows name list positions: an open one follows a new order or a
    // new list at once.
    if (RemoteForm && RemoteForm->isVisible()) RemoteForm->JobListToGrid();
}

void TVelaMainForm::UpdateSearchCount() {
    const int row = SearchGrid->currentRow();
    if (row < 0 || !IsAnySearch()) return;
    const int col = SearchCol(TSearchColumn::Count);
    // An empty listing counts 0: a blank would read as not searched yet.
    SetCell(SearchGrid, row, col, QString::number(JobGrid->Model().JobRows()));
}

void TVelaMainForm::RedrawJobRow(int jobPosition) {
    const int row = RowOfJob(jobPosition);
    if (row < 0 || jobPosition < 0 || jobPosition >= Jobs().Count()) return;
    JobGrid->Model().RowChanged(row);
}

// ---------------------------------------------------------------- layout

void TVelaMainForm::OptimizeGrid(QTableView* grid, int lessScroll, int lessNoScroll) {
    const int rowsFit =
        grid->viewport()->height() / std::max(1, grid->verticalHeader()->defaultSectionSize());
    const int less = grid->model()->rowCount() > rowsFit ? lessScroll : lessNoScroll;
    // The job titles and the search keywords take what the other columns leave; the status
    // column keeps the width of its image.
    const bool jobs = grid == JobGrid;
    const int spare =
        jobs ? JobGrid->ColumnOf(TJobColumn::Title) : SearchCol(TSearchColumn::Keywords);
    std::vector<std::pair<int, int>> fixed;
    if (jobs && JobGrid->ColumnOf(TJobColumn::Status) >= 0)
        fixed.emplace_back(JobGrid->ColumnOf(TJobColumn::Status), 26);
    const bool fits = FitGridColumns(grid, width() - less, spare, fixed);
    grid->setHorizontalScrollBarPolicy(fits ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

void TVelaMainForm::FormResize() {
    if (!settings_->Visual.AutoOptimize) {
        for (QTableView* g :
             {static_cast<QTableView*>(SearchGrid), static_cast<QTableView*>(JobGrid)}) {
            g->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            g->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        }
        return;
    }
    OptimizeGrid(SearchGrid, 32, 20);
    OptimizeGrid(JobGrid, 30, 18);
    for (QTableView* g :
         {static_cast<QTableView*>(SearchGrid), static_cast<QTableView*>(JobGrid)}) {
        g->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        g->horizontalHeader()->setStretchLastSection(true);
    }
}

void TVelaMainForm::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (!closing_) FormResize();
}

// ---------------------------------------------------------------- status bar and hints

void TVelaMainForm::SetStatusText(int panel, const std::string& text) {
    if (panel < 0 || panel > 2) return;
    StatusPanels[panel]->setText(FromBytes(text));
}

QString TVelaMainForm::StatusText(int panel) const {
    return panel >= 0 && panel <= 2 ? StatusPanels[panel]->text() : QString();
}

bool TVelaMainForm::event(QEvent* e) {
    if (e->type() == QEvent::StatusTip) {
        // Hints go to panel 1 while idle; during a run that panel reports the run.
        if (RunState() == rsIdle) StatusPanels[1]->setText(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}

void TVelaMainForm::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    // Minimising the program while a small window shows minimises only this window: the
    // small window stays on screen, brought back should the desktop have minimised it too.
    if (e->type() == QEvent::WindowStateChange && isMinimized()) {
        for (QWidget* w : {static_cast<QWidget*>(RemoteForm), static_cast<QWidget*>(ProgressForm)})
            if (w && w->isVisible() && w->isMinimized())
                w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    }
}

bool TVelaMainForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == SearchGrid->viewport() && e->type() == QEvent::Resize && !closing_) FormResize();
    // The still logo beside the animation opens the maker's site as the animation does.
    if (watched->objectName() == "XkLogoOver") {
        if (e->type() == QEvent::MouseButtonPress) {
            MMVelaHomeClick();
            return true;
        }
        if (e->type() == QEvent::MouseMove && XkLogo->OnMouseMove) XkLogo->OnMouseMove();
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------- opening and messages

void TVelaMainForm::OpenURL(const std::string& address, bool newWindow) {
    if (OnOpenURL) {
        OnOpenURL(address, newWindow);
        return;
    }
    browser_->RequestURL(address, newWindow);
}

void TVelaMainForm::ShowMessage(const QString& text) {
    if (OnMessage) {
        OnMessage(text);
        return;
    }
    // While browsing, this window is minimised: the message shows over the remote window.
    const bool browsing = isMinimized() && RemoteForm && RemoteForm->isVisible();
    QMessageBox::information(browsing ? static_cast<QWidget*>(RemoteForm) : this, windowTitle(),
                             text);
}

// ---------------------------------------------------------------- closing

void TVelaMainForm::closeEvent(QCloseEvent* e) {
    if (!closeAllowed_) {
        if (!closing_) StopBanners();
        closing_ = true;
        if (engine_->Http().IsBusy()) {
            // Requests are never cut off: the run in progress ends through its own
            // completion; the window looks again each second.
            engine_->Http().StopAll();
            shutdownTimer_->SetEnabled(true);
            e->ignore();
            return;
        }
        closeAllowed_ = true;
    }
    FormClose();
    e->accept();
}

void TVelaMainForm::ShutdownTimerTimer() {
    shutdownTimer_->SetEnabled(false);
    if (engine_->Http().IsBusy()) {
        shutdownTimer_->SetEnabled(true);
        return;
    }
    closeAllowed_ = true;
    close();
}

void TVelaMainForm::FormClose() {
    if (RemoteForm) RemoteForm->close();
    try {
        engine_->SaveOnClose();
    } catch (const std::exception& e) {
        std::cerr << "tessaly-jobs: " << e.what() << "\n";
        ShowMessage(QString::fromStdString(e.what()));
    }
    engine_->ClearTemp();
    if (const TVelaSearch* s = GetSelectedSearch())
        options::SelectedSearch.Write(engine_->OptionsBox(), BaseName(s->TableFile));
    // The options last, with the windows where the user left them.
    layouts_.SaveAll();
    if (OptionsForm) OptionsForm->FormDestroy();
    ProgressForm->hide();
    if (engine_->Descriptor().ReadString("Popup", "Mode") == "OnClose") ShowPopupMessage();
    // The page the message's Yes asked for waits for the browser control's timer, which
    // would never fire now: it is opened before the program goes away.
    if (browser_) browser_->Flush();
}

// ---------------------------------------------------------------- the seam

void TVelaMainForm::Activity(bool on) {
    ActivityIndicator->setRange(0, on || RunState() != rsIdle ? 0 : 1);
}

void TVelaMainForm::FillProgressRow(int row) {
    const auto& rows = engine_->ProgressRows().Rows;
    if (row < 0 || row >= static_cast<int>(rows.size())) return;
    const TProgressRow& r = rows[static_cast<size_t>(row)];
    ProgressForm->SetCell(
        row, 0, r.JobSource.empty() ? "" : r.JobSource.substr(r.JobSource[0] == ' ' ? 1 : 0));
    ProgressForm->SetCell(row, 1, r.Found);
    ProgressForm->SetCell(row, 2, r.Kept);
    ProgressForm->SetCell(row, 3, r.Status);
    if (!r.JobSource.empty()) ProgressForm->SetImage(row, r.Image);
}

void TVelaMainForm::ProgressShow() {
    ProgressRowsChanged();
    // A scheduled check runs in the background: the status bar tells how far it is, and
    // Stop stops it.
    if (agent_->Checking()) return;
    ProgressForm->show();
    ProgressForm->raise();
}

void TVelaMainForm::ProgressClose() {
    ProgressForm->hide();
}

void TVelaMainForm::ProgressRowsChanged() {
    ProgressForm->ClearLog();
    const int n = static_cast<int>(engine_->ProgressRows().Rows.size());
    for (int r = 0; r < n; ++r) {
        if (r > 0 || !engine_->ProgressRows().Rows[0].JobSource.empty()) ProgressForm->AddLine("");
        FillProgressRow(r);
    }
    ProgressGaugeChanged();
}

void TVelaMainForm::ProgressRowChanged(int row) {
    if (row >= ProgressForm->LineCount()) {
        ProgressRowsChanged();
        return;
    }
    FillProgressRow(row);
}

void TVelaMainForm::ProgressSelectRow(int row) {
    if (row >= 0 && row < ProgressForm->LogGrid->rowCount()) ProgressForm->LogGrid->selectRow(row);
}

void TVelaMainForm::ProgressGaugeChanged() {
    ProgressForm->Gauge->SetMaximum(engine_->ProgressRows().GaugeMax);
    ProgressForm->Gauge->SetPosition(engine_->ProgressRows().GaugePosition);
}

void TVelaMainForm::ProgressPhaseChanged() {
    // The first answer only starts the loop once; later phases play their segment.
    const int phase = engine_->ProgressRows().Phase;
    if (phase == 1 && ProgressForm->AnimState() != 0) return;
    ProgressForm->SetAnimState(phase);
}

void TVelaMainForm::SetJobRowImage(int jobPosition, int image) {
    const int row = RowOfJob(jobPosition);
    if (row < 0 || image < 0 || image >= kJobImageCount) return;
    JobGrid->Model().SetRowImage(row, image);
}

void TVelaMainForm::SelectJobRow(int jobPosition) {
    SelectGridRow(RowOfJob(jobPosition));
}

void TVelaMainForm::EnableGrids(bool enabled) {
    SearchGrid->setEnabled(enabled);
}

}  // namespace tessaly::ui
