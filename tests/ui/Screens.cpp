// Saves pictures of the windows to a folder, for looking at them as a user would:
// the main window with a listing, the progress window during a search, each dialog, and
// the main window with its banners beside the sponsor window.
// Not a test: scripts/screenshots runs it under a virtual display.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <iostream>

#include "UiTestSupport.h"
#include "demo/Gif.h"
#include "platform/TextFile.h"
#include "ui/JobGrid.h"
#include "ui/QtMainLoop.h"
#include "ui/VelaAbout.h"
#include "ui/VelaBanner.h"
#include "ui/VelaConnectWizard.h"
#include "ui/VelaFindInResults.h"
#include "ui/VelaJobTranslator.h"
#include "ui/VelaKeyTranslator.h"
#include "ui/VelaMain.h"
#include "ui/VelaNewSearch.h"
#include "ui/VelaOptions.h"
#include "ui/VelaProgress.h"
#include "ui/VelaProxy.h"
#include "ui/VelaRefine.h"
#include "ui/VelaRemote.h"
#include "ui/VelaSpam.h"
#include "ui/VelaSponsor.h"
#include "ui/VelaUpdate.h"

using namespace tessaly;
using namespace tessaly::ui;
using tessaly::ui::test::Child;

namespace {

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Save(QWidget* w, const QString& dir, const char* name) {
    Settle(300);
    const QString path = dir + "/" + name + ".png";
    if (!w->grab().save(path)) std::cerr << "cannot write " << path.toStdString() << "\n";
    std::cout << path.toStdString() << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? argv[1] : "screenshots";
    // "dark" after the folder: the pictures on a dark colour scheme.
    if (argc > 2 && QString(argv[2]) == "dark") {
        app.setStyle("Fusion");
        QPalette p;
        p.setColor(QPalette::Window, QColor(53, 53, 53));
        p.setColor(QPalette::WindowText, QColor(240, 240, 240));
        p.setColor(QPalette::Base, QColor(35, 35, 35));
        p.setColor(QPalette::AlternateBase, QColor(53, 53, 53));
        p.setColor(QPalette::Text, QColor(235, 235, 235));
        p.setColor(QPalette::Button, QColor(53, 53, 53));
        p.setColor(QPalette::ButtonText, QColor(240, 240, 240));
        p.setColor(QPalette::Highlight, QColor(42, 130, 218));
        p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
        for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(QPalette::Disabled, r, QColor(120, 120, 120));
        app.setPalette(p);
    }
    QDir().mkpath(out);
    TQtMainLoop loop;
    test::TSampleHome home;
    home.AddSearch("welder", "Massachusetts", "Engineering", test::SampleJobs());
    home.AddSearch("cook chef", "Texas", "Hospitality", {});

    // One preferred site, so the options picture shows a grey item.
    WriteTextLines(home.File("config.box"), {"[Features]", "PreferedSources=Table Board"});

    TVelaMainForm form(home.Path());
    (void)form.ReadProductId();
    form.resize(900, 600);
    form.show();
    // The connection assistant of a first start is declined here; it has its own picture.
    form.OnExecDialog = [](QDialog* d) {
        d->reject();
        return d->result();
    };
    (void)form.FirstActivation();
    form.OnExecDialog = nullptr;
    form.GridTimerTimer();
    // A new job that is also highlighted shows both marks.
    for (int i = 0; i < form.Jobs().Count(); ++i)
        if (form.Jobs()[i].Title == "Pipe Welder") form.Jobs()[i].High = true;
    form.JobListToGrid(false);
    form.SelectGridRow(1);
    Save(&form, out, "main-window");

    Child<TNewSearchForm>(form, "NewSearchForm")
        ->Init(form.Sources().MRegions, form.Sources().MCategories);
    Child<TNewSearchForm>(form, "NewSearchForm")->PrepareNew();
    Child<TNewSearchForm>(form, "NewSearchForm")->NSKeyword->setPlainText("welder");
    Child<TNewSearchForm>(form, "NewSearchForm")->show();
    Save(Child<TNewSearchForm>(form, "NewSearchForm"), out, "new-search");
    Child<TNewSearchForm>(form, "NewSearchForm")->hide();

    Child<TRefineForm>(form, "RefineForm")->show();
    Child<TRefineForm>(form, "RefineForm")->KeyBox->setPlainText("certified");
    Save(Child<TRefineForm>(form, "RefineForm"), out, "refine");
    Child<TRefineForm>(form, "RefineForm")->hide();

    Child<TFindInResultsForm>(form, "FindInResultsForm")->show();
    Save(Child<TFindInResultsForm>(form, "FindInResultsForm"), out, "find");
    Child<TFindInResultsForm>(form, "FindInResultsForm")->hide();

    Child<TAboutForm>(form, "AboutForm")->Fill(form.Product(), form.Sources().Version);
    Child<TAboutForm>(form, "AboutForm")->show();
    Save(Child<TAboutForm>(form, "AboutForm"), out, "about");
    Child<TAboutForm>(form, "AboutForm")->hide();

    // The service dialogs. The sample home names no server: the update's request fails at
    // once and its status keeps the first text.
    Child<TUpdateForm>(form, "UpdateForm")->show();
    Save(Child<TUpdateForm>(form, "UpdateForm"), out, "automatic-update");
    Child<TUpdateForm>(form, "UpdateForm")->hide();

    Child<ui::TKeyTranslator>(form, "KeyTranslator")->show();
    Save(Child<ui::TKeyTranslator>(form, "KeyTranslator"), out, "keyword-translation");
    Child<ui::TKeyTranslator>(form, "KeyTranslator")->hide();

    Child<ui::TJobTranslator>(form, "JobTranslator")->LangBox->setCurrentRow(5);
    Child<ui::TJobTranslator>(form, "JobTranslator")->show();
    Save(Child<ui::TJobTranslator>(form, "JobTranslator"), out, "job-translator");
    Child<ui::TJobTranslator>(form, "JobTranslator")->hide();

    Child<TSpamForm>(form, "SpamForm")->SetJob(form.Jobs().Count() > 0 ? &form.Jobs()[0] : nullptr);
    Child<TSpamForm>(form, "SpamForm")->show();
    Child<TSpamForm>(form, "SpamForm")->Edit1->setText("friend@example.org");
    Child<TSpamForm>(form, "SpamForm")->UserEmail->setText("ann@example.org");
    Child<TSpamForm>(form, "SpamForm")->UserFirstName->setText("Ann");
    Child<TSpamForm>(form, "SpamForm")->UserLastName->setText("Lee");
    Child<TSpamForm>(form, "SpamForm")->StatusPanels[1]->setText("Sending...");
    Save(Child<TSpamForm>(form, "SpamForm"), out, "send-to-a-friend");
    Child<TSpamForm>(form, "SpamForm")->hide();

    TSplashForm splash(home.Path(), form.Product());
    splash.show();
    Save(&splash, out, "splash");
    splash.hide();

    // The remote window over the whole listing, a job in the middle selected; it
    // minimises the main window while it shows and restores it as it closes.
    TRemoteForm* remote = form.GetRemoteForm();
    remote->OnPopupMessage = [] {};
    remote->OnPopBanner = [] {};
    form.OnOpenURL = [](const std::string&, bool) {};
    form.MMBrowseClick("All");
    remote->JobGrid->setCurrentCell(2, remote->GetColIdx("Job "));
    remote->JobGrid->selectRow(2);
    remote->SetStatusText(1, "Job Translation in Progress. Please wait...");
    Save(remote, out, "remote-control");
    remote->close();
    form.OnOpenURL = nullptr;

    TProgressForm* p = form.GetProgressForm();
    p->ClearLog();
    p->show();
    const char* states[][4] = {{"Table Board", "25", "18", "Done"},
                               {"List Board", "40", "", "Downloading"},
                               {"Cards Board", "0", "", "Connecting"},
                               {"Quiet Board", "", "", "Not Applicable"}};
    const int images[] = {TProgressForm::imgDone, TProgressForm::imgAnalyzing,
                          TProgressForm::imgConnecting, TProgressForm::imgNotApplicable};
    for (int i = 0; i < 4; ++i) {
        const int row = p->AddLine(states[i][0]);
        for (int c = 1; c < 4; ++c)
            p->SetCell(row, c, states[i][c]);
        p->SetImage(row, images[i]);
    }
    p->Gauge->SetMaximum(4);
    p->Gauge->SetPosition(1);
    form.SetRunState(rsSearching);
    form.SetStatusText(1, "Searching 3 job sites...");
    form.SetStatusText(2, "1 of 4");
    Save(p, out, "progress");
    Save(&form, out, "main-window-searching");
    form.SetRunState(rsIdle);
    p->hide();

    TProxyForm proxy;
    proxy.ProxyAddress->setText("proxy.example.org");
    proxy.show();
    Save(&proxy, out, "proxy-settings");
    proxy.hide();
    TConfigBox settings;
    TConnectWizard wizard(settings, &proxy);
    wizard.UseProxyOption = true;
    wizard.show();
    Save(&wizard, out, "connection-assistant");
    wizard.hide();

    // The banner area with the strip and five small banners, and the sponsor window, with
    // the demo's own pictures (no ad server needed for a picture).
    struct TAd {
        const char* text;
        uint32_t background, ink;
    };
    const TAd side[5] = {{"RESUME PRO", 0x003366, 0xFFCC00},
                         {"MOVE EASY", 0x660000, 0xFFFFFF},
                         {"NIGHT SCHOOL", 0x004400, 0xFFFF99},
                         {"CAREER TIPS", 0x333333, 0x66CCFF},
                         {"SALARY CHECK", 0x440066, 0xFFFFFF}};
    Child<TBannerPanel>(form, "InBanner")
        ->ShowImage(demo::DrawBanner(468, 60, 0x000080, 0xFFFF00, "TESSALY 98", true));
    for (int i = 0; i < 5; ++i)
        Child<TBannerPanel>(form, ("Sponsor" + std::to_string(i + 1)).c_str())
            ->ShowImage(
                demo::DrawBanner(120, 60, side[i].background, side[i].ink, side[i].text, false));
    Save(&form, out, "main-window-banners");
    form.GetSponsorForm()->PopBanner->ShowImage(
        demo::DrawBanner(120, 60, 0x333333, 0x66CCFF, "CAREER TIPS", true));
    form.GetSponsorForm()->TimerTimer();
    Save(form.GetSponsorForm(), out, "sponsor-window");
    for (int i = 0; i < 5; ++i)
        Child<TBannerPanel>(form, ("Sponsor" + std::to_string(i + 1)).c_str())->Stop();
    Save(&form, out, "main-window-strip-only");
    TOptionsForm* options = Child<TOptionsForm>(form, "OptionsForm");
    options->show();
    options->PageControl->setCurrentWidget(options->VisualPage);
    Save(options, out, "options-visual");
    options->PageControl->setCurrentWidget(options->SourcesPage);
    options->CheckList->setCurrentRow(0);
    options->CheckListClick();
    Save(options, out, "options-sources");
    options->PageControl->setCurrentWidget(options->ConnectionPage);
    Save(options, out, "options-connection");
    options->PageControl->setCurrentWidget(options->BrowserPage);
    Save(options, out, "options-browser");
    options->PageControl->setCurrentWidget(options->UserPage);
    Save(options, out, "options-user");
    options->hide();

    form.OnMessage = [](const QString&) {};
    form.close();
    return 0;
}
