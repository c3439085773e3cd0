#include "ui/VelaOptions.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <iostream>

#include "data/ConfigBox.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "services/BrowserControl.h"
#include "services/Referral.h"
#include "ui/ButtonRow.h"
#include "ui/OptionsRules.h"
#include "ui/QtText.h"
#include "ui/VelaMain.h"
#include "ui/VelaProxy.h"
#include "ui/WindowLayout.h"

namespace tessaly::ui {

namespace {

// The period the check's spin box offers while the check is off.
constexpr int kShownCheckHours = 6;

std::string Bytes(const QString& text, const std::string& like) {
    return ToBytesLike(text, like);
}

QSlider* MakeSlider(QWidget* parent, const char* name, int maximum, int small, int large,
                    int tick) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(name);
    s->setRange(0, maximum);
    s->setSingleStep(small);
    s->setPageStep(large);
    s->setTickInterval(tick);
    s->setTickPosition(QSlider::TicksBelow);
    return s;
}

QLabel* ValueLabel(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setMinimumWidth(l->fontMetrics().horizontalAdvance("250 tasks") + 8);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

}  // namespace

// ---------------------------------------------------------------- creation

TOptionsForm::TOptionsForm(TVelaMainForm& main, TProxyForm* proxyForm, QWidget* parent)
    : QDialog(parent),
      main_(main),
      settings_(main.Settings()),
      layouts_(main.Layouts()),
      proxy_(proxyForm) {
    setObjectName("OptionsForm");
    setWindowTitle("Options");
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* v = new QVBoxLayout(this);
    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    v->addWidget(PageControl);
    CreateVisualPage();
    CreateSourcesPage();
    CreateConnectionPage();
    CreateBrowserPage();
    CreateUserPage();

    const TButtonRow row = MakeButtonRow(this, "&Apply", "OKButton", "&Cancel", "CancelBut");
    OKButton = row.Accept;
    CancelBut = row.Cancel;
    v->addWidget(row.Box);

    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(CancelBut, &QPushButton::clicked, this, [this] { reject(); });
}

void TOptionsForm::CreateVisualPage() {
    VisualPage = new QWidget(PageControl);
    VisualPage->setObjectName("VisualPage");
    PageControl->addTab(VisualPage, " Visual ");
    auto* page = new QVBoxLayout(VisualPage);
    auto* group = new QGroupBox(" Main Window ", VisualPage);
    group->setObjectName("MainWindowGroup");
    page->addWidget(group);
    page->addStretch();
    auto* g = new QVBoxLayout(group);
    auto box = [&](const char* name, const char* caption, const TSetting<bool>& setting) {
        auto* c = new QCheckBox(caption, group);
        c->setObjectName(name);
        c->setChecked(setting.Default);
        g->addWidget(c);
        connect(c, &QCheckBox::toggled, this, [this] { SyncMainOptions(); });
        return c;
    };
    opYellow = box("opYellow", "Draw highlighted jobs background in yellow", options::Yellow);
    opHotLink = box("opHotLink", "Hotlink job titles to descriptions", options::HotLink);
    opKeepProgressOnTop =
        box("opKeepProgressOnTop", "Keep search progress window on top", options::ProgressOnTop);
    opKeepRemoteOnTop =
        box("opKeepRemoteOnTop", "Keep remote control on top while browsing", options::RemoteOnTop);
    opOptimizeCols = box("opOptimizeCols", "Auto-optimize column widths", options::OptimizeCols);
    opRememberWindows =
        box("opRememberWindows", "Remember window size and position", options::RememberWindows);
    opRememberGrids =
        box("opRememberGrids", "Remember column order and width", options::RememberGrids);
    // Grouping takes effect in the next merge; the windows need not hear of it.
    opOneRowPerOpening = new QCheckBox("One row for a job found on several boards", group);
    opOneRowPerOpening->setObjectName("opOneRowPerOpening");
    opOneRowPerOpening->setChecked(true);
    g->addWidget(opOneRowPerOpening);
    // The deletions' question, back on after its "Don't ask again".
    opAskBeforeDeleting = new QCheckBox("Ask before deleting jobs or searches", group);
    opAskBeforeDeleting->setObjectName("opAskBeforeDeleting");
    opAskBeforeDeleting->setChecked(true);
    g->addWidget(opAskBeforeDeleting);
    auto* check = new QHBoxLayout;
    opCheckForJobs = new QCheckBox("Check for new jobs every", group);
    opCheckForJobs->setObjectName("opCheckForJobs");
    opCheckForJobsHours = new QSpinBox(group);
    opCheckForJobsHours->setObjectName("opCheckForJobsHours");
    opCheckForJobsHours->setRange(1, options::CheckForJobsHours.High);
    opCheckForJobsHours->setValue(kShownCheckHours);
    opCheckForJobsHours->setSuffix(" hours");
    opCheckForJobsHours->setEnabled(false);
    check->addWidget(opCheckForJobs);
    check->addWidget(opCheckForJobsHours);
    check->addStretch();
    g->addLayout(check);
    connect(opCheckForJobs, &QCheckBox::toggled, this, [this](bool on) {
        opCheckForJobsHours->setEnabled(on);
        SyncMainOptions();
    });
    connect(opCheckForJobsHours, &QSpinBox::valueChanged, this, [this] { SyncMainOptions(); });
    ResetButton = new QPushButton("&Reset Settings", group);
    ResetButton->setObjectName("ResetButton");
    g->addWidget(ResetButton, 0, Qt::AlignRight);

    connect(ResetButton, &QPushButton::clicked, this, [this] { ResetButtonClick(); });
}

void TOptionsForm::CreateSourcesPage() {
    SourcesPage = new QWidget(PageControl);
    SourcesPage->setObjectName("SourcesPage");
    PageControl->addTab(SourcesPage, " Sources ");
    auto* page = new QVBoxLayout(SourcesPage);

    auto* featured = new QGroupBox(" Featured Job Sources  ", SourcesPage);
    featured->setObjectName("FeaturedGroup");
    auto* f = new QHBoxLayout(featured);
    CheckList = new QListWidget(featured);
    CheckList->setObjectName("CheckList");
    CheckList->setSortingEnabled(true);
    CheckList->setMinimumHeight(110);
    Browse = new QPushButton("&Browse ", featured);
    Browse->setObjectName("Browse");
    Browse->setEnabled(false);
    f->addWidget(CheckList, 1);
    f->addWidget(Browse, 0, Qt::AlignTop);
    page->addWidget(featured, 1);

    auto* maximum = new QGroupBox(" Maximum Results  ", SourcesPage);
    maximum->setObjectName("MaximumGroup");
    auto* m = new QGridLayout(maximum);
    m->addWidget(new QLabel("What is the maximum number of jobs that Tessaly \n"
                            "Jobs 98 can retrieve per job source? ",
                            maximum),
                 0, 0, 1, 2);
    MaxJobs = MakeSlider(maximum, "MaxJobs", options::MaxJobs.High, 25, 50, 25);
    MaxJobsLabel = ValueLabel(maximum, "MaxJobsLabel");
    m->addWidget(MaxJobs, 1, 0);
    m->addWidget(MaxJobsLabel, 1, 1);
    page->addWidget(maximum);

    MaxJobs->setValue(options::MaxJobs.Default);
    MaxJobsChange();
    connect(MaxJobs, &QSlider::valueChanged, this, [this] { MaxJobsChange(); });
    connect(CheckList, &QListWidget::currentItemChanged, this, [this] { CheckListClick(); });
    connect(CheckList, &QListWidget::itemClicked, this, [this] { CheckListClick(); });
    connect(CheckList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!fillingList_) CheckListClickCheck(item);
    });
    connect(Browse, &QPushButton::clicked, this, [this] { BrowseClick(); });
}

void TOptionsForm::CreateConnectionPage() {
    ConnectionPage = new QWidget(PageControl);
    ConnectionPage->setObjectName("ConnectionPage");
    PageControl->addTab(ConnectionPage, " Connection ");
    auto* page = new QVBoxLayout(ConnectionPage);

    auto* perf = new QGroupBox(" Performance ", ConnectionPage);
    perf->setObjectName("PerformanceGroup");
    auto* p = new QGridLayout(perf);
    p->addWidget(new QLabel("What is the maximum number of online operations\n"
                            "that should be performed at once ?",
                            perf),
                 0, 0, 1, 2);
    MaxThreads = MakeSlider(perf, "MaxThreads", options::MaxThreads.High, 1, 4, 4);
    MaxThreadsLabel = ValueLabel(perf, "MaxThreadsLabel");
    p->addWidget(MaxThreads, 1, 0);
    p->addWidget(MaxThreadsLabel, 1, 1);
    p->addWidget(new QLabel("How long should the software wait before timing out\n"
                            "a pending online operation?",
                            perf),
                 2, 0, 1, 2);
    TimeOut = MakeSlider(perf, "TimeOut", options::TimeOut.High, 5, 15, 15);
    TimeOutLabel = ValueLabel(perf, "TimeOutLabel");
    p->addWidget(TimeOut, 3, 0);
    p->addWidget(TimeOutLabel, 3, 1);
    page->addWidget(perf);

    auto* proxies = new QGroupBox(" Proxies  ", ConnectionPage);
    proxies->setObjectName("ProxiesGroup");
    auto* x = new QHBoxLayout(proxies);
    UseProxy = new QCheckBox("Connect through a proxy server", proxies);
    UseProxy->setObjectName("UseProxy");
    ProxySettingsButton = new QPushButton("Settings", proxies);
    ProxySettingsButton->setObjectName("ProxySettingsButton");
    x->addWidget(UseProxy, 1);
    x->addWidget(ProxySettingsButton);
    page->addWidget(proxies);
    page->addStretch();

    MaxThreads->setValue(options::MaxThreads.Default);
    TimeOut->setValue(options::TimeOut.Default);
    MaxThreadsChange();
    TimeOutChange();
    UseProxyClick();
    connect(MaxThreads, &QSlider::valueChanged, this, [this] { MaxThreadsChange(); });
    connect(TimeOut, &QSlider::valueChanged, this, [this] { TimeOutChange(); });
    connect(UseProxy, &QCheckBox::toggled, this, [this] { UseProxyClick(); });
    connect(ProxySettingsButton, &QPushButton::clicked, this,
            [this] { ProxySettingsButtonClick(); });
}

void TOptionsForm::CreateBrowserPage() {
    BrowserPage = new QWidget(PageControl);
    BrowserPage->setObjectName("BrowserPage");
    PageControl->addTab(BrowserPage, " Browser ");
    auto* page = new QVBoxLayout(BrowserPage);
    auto* group = new QGroupBox(" Browser Support  ", BrowserPage);
    group->setObjectName("BrowserGroup");
    auto* g = new QVBoxLayout(group);
    g->addWidget(
        new QLabel("Which Web browser should Tessaly Jobs use\n"
                   " to display job descriptions?",
                   group));
    // What each choice does here: the first two start that kind of browser with the
    // address (a running one opens it in its window), the third hands it to the desktop.
    wNetscape = new QRadioButton("Mozilla-family browser (remote command line)", group);
    wNetscape->setObjectName("wNetscape");
    wMSIE = new QRadioButton("Chromium-family browser (command line)", group);
    wMSIE->setObjectName("wMSIE");
    wShell = new QRadioButton("System Default Browser (desktop's default handler)", group);
    wShell->setObjectName("wShell");
    browserGroup_ = new QButtonGroup(this);
    for (QRadioButton* b : {wNetscape, wMSIE, wShell}) {
        browserGroup_->addButton(b);
        g->addWidget(b);
        connect(b, &QRadioButton::clicked, this, [this] { ChangeActiveBrowserClick(); });
    }
    page->addWidget(group);
    page->addStretch();
}

void TOptionsForm::CreateUserPage() {
    UserPage = new QWidget(PageControl);
    UserPage->setObjectName("UserPage");
    PageControl->addTab(UserPage, " User ");
    auto* page = new QVBoxLayout(UserPage);
    auto* group = new QGroupBox(" About You  ", UserPage);
    group->setObjectName("UserGroup");
    auto* g = new QGridLayout(group);
    g->addWidget(new QLabel("Sending a job to a friend names you as the sender:", group), 0, 0, 1,
                 2);
    auto edit = [&](int row, const char* name, const char* label) {
        auto* e = new QLineEdit(group);
        e->setObjectName(name);
        g->addWidget(new QLabel(label, group), row, 0);
        g->addWidget(e, row, 1);
        return e;
    };
    UserEmail = edit(1, "UserEmail", "E-mail address:");
    UserFirstName = edit(2, "UserFirstName", "First name:");
    UserLastName = edit(3, "UserLastName", "Last name:");
    page->addWidget(group);
    page->addStretch();
}

// ---------------------------------------------------------------- lifecycle

std::string TOptionsForm::FileName() const {
    return JoinPath(main_.ProgramDir(), "options.box");
}

TConfigBox& TOptionsForm::Store() {
    return settings_.Store();
}

void TOptionsForm::FormCreate() {
    // The main window has read options.box into the store already: the browser control
    // and the engine needed it before any window existed. The windows are placed after
    // this, since laying out the grids fits them to the window only when "Auto-optimize
    // column widths" is ticked.
    if (options::Written(Store())) LoadOptions();
    // From here on the store holds a complete set of options; it reaches the disk on
    // "&Apply" or at the end of the run.
    SaveOptions();
    SyncMainOptions();
}

void TOptionsForm::showEvent(QShowEvent* e) {
    FormShow();
    const QRect area = ScreenArea();
    adjustSize();
    move(area.x() + Centred(area.width(), width()), area.y() + Centred(area.height(), height()));
    QDialog::showEvent(e);
}

void TOptionsForm::FormShow() {
    if (options::Written(Store())) LoadOptions();
}

bool TOptionsForm::WriteStore() {
    try {
        // It may hold the proxy password: readable by the user alone.
        Store().SaveToFile(FileName(), 0600);
        return true;
    } catch (const std::exception& e) {
        std::cerr << "tessaly-jobs: " << e.what() << "\n";
        main_.ShowMessage("The options could not be saved.\r\n" + FromBytes(e.what()));
        return false;
    }
}

void TOptionsForm::OKButtonClick() {
    SaveOptions();
    WriteStore();
    // The machine takes the new thread count, time-out and proxy; this stops what runs.
    if (OnApplied) OnApplied();
    accept();
}

void TOptionsForm::CancelButClick() {
    // The store holds the settings in effect: the controls and what they changed at once
    // (the check boxes, the site list, the browser) go back to it. The windows stay where
    // they are.
    LoadOptions();
}

void TOptionsForm::reject() {
    CancelButClick();
    QDialog::reject();
}

void TOptionsForm::FormDestroy() {
    SaveOptions();
    WriteStore();
}

void TOptionsForm::ResetButtonClick() {
    layouts_.ResetWindows();
    layouts_.ResetGrids();
    // Windows kept on top come back above the others; the dialog keeps the focus.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint))
            w->raise();
    raise();
    activateWindow();
}

// ---------------------------------------------------------------- store to controls

void TOptionsForm::LoadOptions() {
    const TConfigBox& s = Store();
    opYellow->setChecked(options::Yellow.Read(s));
    opHotLink->setChecked(options::HotLink.Read(s));
    opKeepProgressOnTop->setChecked(options::ProgressOnTop.Read(s));
    opKeepRemoteOnTop->setChecked(options::RemoteOnTop.Read(s));
    opOptimizeCols->setChecked(options::OptimizeCols.Read(s));
    opRememberGrids->setChecked(options::RememberGrids.Read(s));
    opRememberWindows->setChecked(options::RememberWindows.Read(s));
    opOneRowPerOpening->setChecked(options::GroupsCrossPosts(s));
    opAskBeforeDeleting->setChecked(!options::DeleteUnasked.Read(s));
    const int checkHours = options::CheckForJobsHours.Read(s);
    opCheckForJobsHours->setValue(checkHours > 0 ? checkHours : kShownCheckHours);
    opCheckForJobs->setChecked(checkHours > 0);

    fillingList_ = true;
    CheckList->clear();
    Browse->setEnabled(false);
    TVelaSourcesList& sites = main_.Sources();
    for (int i = 0; i < sites.Count(); ++i) {
        TVelaSource& site = sites[i];
        site.EnabledChoice = options::SiteChosen(s, site.Title);
        if (!site.Enabled) continue;
        auto* item = new QListWidgetItem(FromBytes(site.Title));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        if (main_.Engine().IsPreferred(site))
            item->setCheckState(Qt::PartiallyChecked);
        else
            item->setCheckState(site.EnabledChoice ? Qt::Checked : Qt::Unchecked);
        CheckList->addItem(item);
    }
    fillingList_ = false;

    MaxJobs->setValue(options::MaxJobs.Read(s));
    MaxThreads->setValue(options::MaxThreads.Read(s));
    TimeOut->setValue(options::TimeOut.Read(s));

    UseProxy->setChecked(options::UseProxy.Read(s));
    if (UseProxy->isChecked() && proxy_) {
        proxy_->ProxyAddress->setText(FromBytes(options::ProxyIP.Read(s)));
        proxy_->ProxyPort->setText(FromBytes(options::ProxyPort.Read(s)));
        proxy_->UseProxyAuthenticate->setChecked(options::UseProxyAuthenticate.Read(s));
        if (proxy_->UseProxyAuthenticate->isChecked()) {
            proxy_->ProxyUserName->setText(FromBytes(options::ProxyUsername.Read(s)));
            proxy_->ProxyPassword->setText(FromBytes(options::ProxyPassword.Read(s)));
        }
    }

    // A stored name other than the three leaves no option selected and the browser as
    // it was detected.
    SelectBrowserOfControl();
    const std::string stored = options::ActiveBrowser.Read(s);
    browserGroup_->setExclusive(false);
    wNetscape->setChecked(stored == "Netscape");
    wMSIE->setChecked(stored == "MSIE");
    wShell->setChecked(stored == "Shell");
    browserGroup_->setExclusive(true);

    const TUserDetails user = ReadUserDetails(s);
    UserEmail->setText(FromBytes(user.Email));
    UserFirstName->setText(FromBytes(user.FirstName));
    UserLastName->setText(FromBytes(user.LastName));

    MaxJobsChange();
    MaxThreadsChange();
    TimeOutChange();
    UseProxyClick();
    if (proxy_) proxy_->UseProxyAuthenticateClick();
    ChangeActiveBrowserClick();
    SyncMainOptions();
}

// ---------------------------------------------------------------- controls to store

void TOptionsForm::SaveOptions() {
    TConfigBox& s = Store();
    options::Yellow.Write(s, opYellow->isChecked());
    options::HotLink.Write(s, opHotLink->isChecked());
    options::ProgressOnTop.Write(s, opKeepProgressOnTop->isChecked());
    options::RemoteOnTop.Write(s, opKeepRemoteOnTop->isChecked());
    options::OptimizeCols.Write(s, opOptimizeCols->isChecked());
    options::RememberGrids.Write(s, opRememberGrids->isChecked());
    options::RememberWindows.Write(s, opRememberWindows->isChecked());
    options::GroupCrossPosts.Write(s, opOneRowPerOpening->isChecked() ? "True" : "False");
    options::DeleteUnasked.Write(s, !opAskBeforeDeleting->isChecked());
    options::CheckForJobsHours.Write(s, CheckForJobsHours());

    const TVelaSourcesList& sites = main_.Sources();
    for (int i = 0; i < sites.Count(); ++i)
        if (sites[i].Enabled) options::WriteSiteChoice(s, sites[i].Title, sites[i].EnabledChoice);

    options::MaxJobs.Write(s, MaxJobs->value());
    options::MaxThreads.Write(s, MaxThreads->value());
    options::TimeOut.Write(s, TimeOut->value());
    if (UseProxy->isChecked() && proxy_) {
        options::UseProxy.Write(s, true);
        auto text = [&](const TSetting<std::string>& setting, const QLineEdit* e) {
            setting.Write(s, Bytes(e->text(), setting.Read(s)));
        };
        text(options::ProxyIP, proxy_->ProxyAddress);
        text(options::ProxyPort, proxy_->ProxyPort);
        options::UseProxyAuthenticate.Write(s, proxy_->UseProxyAuthenticate->isChecked());
        if (proxy_->UseProxyAuthenticate->isChecked()) {
            text(options::ProxyUsername, proxy_->ProxyUserName);
            text(options::ProxyPassword, proxy_->ProxyPassword);
        }
    } else {
        // The address typed earlier stays in the store for the next time.
        options::UseProxy.Write(s, false);
    }

    SelectBrowserOfControl();
    options::ActiveBrowser.Write(s, std::string(BrowserName(main_.Browser().ActiveBrowser)));

    // The send-to-a-friend dialog writes these details too: the page's values replace
    // them only when they were edited here, so a newer entry from there is not lost.
    const TUserDetails stored = ReadUserDetails(s);
    const TUserDetails typed{Bytes(UserEmail->text(), stored.Email),
                             Bytes(UserFirstName->text(), stored.FirstName),
                             Bytes(UserLastName->text(), stored.LastName)};
    if (UserEmail->isModified() || UserFirstName->isModified() || UserLastName->isModified()) {
        WriteUserDetails(s, typed);
        for (QLineEdit* e : {UserEmail, UserFirstName, UserLastName})
            e->setModified(false);
    }
}

// ---------------------------------------------------------------- control handlers

void TOptionsForm::MaxJobsChange() {
    if (MaxJobs->value() < options::MaxJobs.Low) MaxJobs->setValue(options::MaxJobs.Low);
    MaxJobsLabel->setText(QString::number(MaxJobs->value()) + " jobs");
}

void TOptionsForm::MaxThreadsChange() {
    if (MaxThreads->value() < options::MaxThreads.Low)
        MaxThreads->setValue(options::MaxThreads.Low);
    MaxThreadsLabel->setText(QString::number(MaxThreads->value()) + " tasks");
}

void TOptionsForm::TimeOutChange() {
    if (TimeOut->value() < options::TimeOut.Low) TimeOut->setValue(options::TimeOut.Low);
    TimeOutLabel->setText(QString::number(TimeOut->value()) + " secs");
}

void TOptionsForm::UseProxyClick() {
    ProxySettingsButton->setEnabled(UseProxy->isChecked());
}

void TOptionsForm::ProxySettingsButtonClick() {
    if (proxy_) main_.ExecDialog(proxy_);
}

void TOptionsForm::SelectBrowserOfControl() {
    switch (main_.Browser().ActiveBrowser) {
        case TActiveBrowser::Netscape:
            wNetscape->setChecked(true);
            break;
        case TActiveBrowser::MSIE:
            wMSIE->setChecked(true);
            break;
        case TActiveBrowser::Shell:
            wShell->setChecked(true);
            break;
    }
}

void TOptionsForm::ChangeActiveBrowserClick() {
    TBrowserControl& b = main_.Browser();
    if (wNetscape->isChecked()) b.ActiveBrowser = TActiveBrowser::Netscape;
    if (wMSIE->isChecked()) b.ActiveBrowser = TActiveBrowser::MSIE;
    if (wShell->isChecked()) b.ActiveBrowser = TActiveBrowser::Shell;
}

TVelaSource* TOptionsForm::SiteOfItem(const QListWidgetItem* item) {
    if (!item) return nullptr;
    TVelaSourcesList& sites = main_.Sources();
    for (int i = 0; i < sites.Count(); ++i)
        if (FromBytes(sites[i].Title) == item->text()) return &sites[i];
    return nullptr;
}

void TOptionsForm::CheckListClick() {
    Browse->setEnabled(CheckList->currentItem() != nullptr);
}

void TOptionsForm::CheckListClickCheck(QListWidgetItem* item) {
    TVelaSource* site = SiteOfItem(item);
    if (!site) return;
    fillingList_ = true;
    if (main_.Engine().IsPreferred(*site)) {
        // A preferred site is always searched: its item stays grey.
        item->setCheckState(Qt::PartiallyChecked);
    } else {
        site->EnabledChoice = !site->EnabledChoice;
        item->setCheckState(site->EnabledChoice ? Qt::Checked : Qt::Unchecked);
    }
    fillingList_ = false;
}

void TOptionsForm::BrowseClick() {
    if (const TVelaSource* site = SiteOfItem(CheckList->currentItem()))
        main_.OpenURL(site->HomeURL, false);
}

void TOptionsForm::SyncMainOptions() {
    TMainOptions o;
    o.YellowHighlight = opYellow->isChecked();
    o.HotlinkTitles = opHotLink->isChecked();
    o.AutoOptimize = opOptimizeCols->isChecked();
    o.ProgressOnTop = opKeepProgressOnTop->isChecked();
    o.RemoteOnTop = opKeepRemoteOnTop->isChecked();
    o.RememberWindows = opRememberWindows->isChecked();
    o.RememberGrids = opRememberGrids->isChecked();
    o.CheckForJobsHours = CheckForJobsHours();
    settings_.Apply(o);
}

int TOptionsForm::CheckForJobsHours() const {
    return opCheckForJobs->isChecked() ? opCheckForJobsHours->value() : 0;
}

}  // namespace tessaly::ui
