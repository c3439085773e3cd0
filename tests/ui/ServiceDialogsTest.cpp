// The service windows inside the main window, against a scripted server: the automatic
// update dialog, the Guide menus, the pop-up message at its moments, both translators and
// the send-to-a-friend dialog in both modes.
#include <sys/stat.h>
#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "UiTestSupport.h"
#include "data/ConfigBox.h"
#include "data/VelaSources.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "services/Translation.h"
#include "support/TestBoards.h"
#include "support/TestHttpServer.h"
#include "ui/VelaJobTranslator.h"
#include "ui/VelaKeyTranslator.h"
#include "ui/VelaMain.h"
#include "ui/VelaNewSearch.h"
#include "ui/VelaSpam.h"
#include "ui/VelaUpdate.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;
using tessaly::test::TTestHttpServer;

namespace {

// The maker's server and the translation service in one: answers by path, recorded.
class TServices {
  public:
    TServices()
        : server_([this](const TTestHttpServer::TRequest& r) {
              std::lock_guard<std::mutex> hold(lock_);
              for (auto& [path, answer] : answers_)
                  if (r.requestLine.find(" " + path) != std::string::npos) return answer(r);
              return TTestHttpServer::Status(404, "Not Found", "");
          }) {}
    void On(const std::string& path,
            std::function<TTestHttpServer::TAnswer(const TTestHttpServer::TRequest&)> answer) {
        std::lock_guard<std::mutex> hold(lock_);
        answers_.emplace_back(path, std::move(answer));
    }
    std::string Url(const std::string& path = "") const { return server_.Url(path); }
    // Requests whose line names `path`.
    std::vector<TTestHttpServer::TRequest> To(const std::string& path) const {
        std::vector<TTestHttpServer::TRequest> v;
        for (auto& r : server_.Requests())
            if (r.requestLine.find(" " + path) != std::string::npos) v.push_back(r);
        return v;
    }

  private:
    std::mutex lock_;
    std::vector<std::pair<
        std::string, std::function<TTestHttpServer::TAnswer(const TTestHttpServer::TRequest&)>>>
        answers_;
    TTestHttpServer server_;
};

// id.box of `home` pointing every service at the server.
void PointAt(TSampleHome& home, const TServices& s) {
    TConfigBox id;
    id.LoadFromFile(home.File("id.box"));
    id.WriteString("ID", "ConfigURL", s.Url("/update/config.box"));
    id.WriteString("ID", "SourcesURL", s.Url("/update/sources.def"));
    id.WriteString("ID", "TranslateURL", s.Url(""));
    id.WriteString("ID", "ReferralURL", s.Url(""));
    id.SaveToFile(home.File("id.box"));
}

std::string Descriptor(const std::string& version, const std::string& captions = "",
                       const std::string& urls = "") {
    TConfigBox box;
    if (!version.empty()) box.WriteString("DEFFile", "Version", version);
    if (!captions.empty()) box.WriteString("Guide", "Captions", captions);
    if (!urls.empty()) box.WriteString("Guide", "URLs", urls);
    return box.SaveToText();
}

std::string Definitions(const std::string& version) {
    TStrings lines = ReadTextLines(std::string(TESSALY_FIXTURES) + "/boards.plain");
    lines[1] = version;
    return EncodeSourcesLines(lines).value();
}

// The guide entries at the end of the Help menu (after the separator the guide adds).
QStringList HelpGuide(TVelaMainForm& f) {
    QStringList captions;
    for (QAction* a : f.menuBar()->findChild<QMenu*>("MMHelp")->actions())
        if (a->objectName() == "GuideItem") captions << a->text();
    return captions;
}

QStringList PopupCaptions(TVelaMainForm& f) {
    QStringList captions;
    for (QAction* a : Child<QMenu>(f, "GuidePopup")->actions())
        captions << a->text();
    return captions;
}

// Waits in the dialog's own loop until it closes itself, as a modal dialog would.
std::function<void(QDialog*)> WaitUntilClosed(TWindow& w, int ms = 10000) {
    return [&w, ms](QDialog* d) { w.WaitFor([d] { return !d->isVisible(); }, ms); };
}

TSampleJob Job(const std::string& title, const std::string& url) {
    TSampleJob j;
    j.Title = title;
    j.Company = "Acme Pipe Co";
    j.Location = "Boston, MA";
    j.Source = "Table Board";
    j.URL = url;
    return j;
}

}  // namespace

class ServiceDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    // ---- the automatic update

    void equalVersionNeedsNoUpdateAndClosesOnItsOwn() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        s.On("/update/config.box", [](auto&) {
            return TTestHttpServer::Normal(
                Descriptor("1998.11.03", "Tips\r\nNews\r\nHelp\r\n", "http://a/\r\nhttp://b/\r\n"));
        });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QVERIFY(!Child<QToolButton>(f, "GuideBut")->isEnabled());
        Child<TUpdateForm>(f, "UpdateForm")->Update().Settings.CloseDelayMs = 400;
        int triggers = 0;
        f.OnBannerTriggersChanged = [&] { ++triggers; };
        QString statusAtOutcome;
        bool openAtOutcome = false;
        w.answer = [&](QDialog* d) {
            QCOMPARE(d->windowTitle(), QString("Automatic Update"));
            QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
            QVERIFY(w.WaitFor(
                [&] { return !Child<TUpdateForm>(f, "UpdateForm")->Update().Running(); }));
            statusAtOutcome = Child<TUpdateForm>(f, "UpdateForm")->StatusLabel->text();
            openAtOutcome = d->isVisible();  // the closing timer still runs
            QVERIFY(w.WaitFor([d] { return !d->isVisible(); }, 5000));
        };
        f.RunSourceUpdate();
        QCOMPARE(statusAtOutcome, QString("No update needed."));
        QVERIFY(openAtOutcome);
        QVERIFY(!Child<TUpdateForm>(f, "UpdateForm")->isVisible());
        QCOMPARE(s.To("/update/sources.def").size(), size_t{0});
        QCOMPARE(triggers, 1);
        // The descriptor is stored and everything reads it through the engine.
        QVERIFY(FileExists(home.File("config.box")));
        QCOMPARE(f.Engine().Descriptor().ReadString("DEFFile", "Version"),
                 std::string("1998.11.03"));

        // Three captions, two addresses: three entries in each menu, the last without one.
        QVERIFY(Child<QToolButton>(f, "GuideBut")->isEnabled());
        QCOMPARE(PopupCaptions(f), (QStringList{"Tips", "News", "Help"}));
        QCOMPARE(HelpGuide(f), (QStringList{"Tips", "News", "Help"}));
        Child<QMenu>(f, "GuidePopup")->actions()[1]->trigger();
        QCOMPARE(w.opened.back(), std::make_pair(std::string("http://b/"), false));
        QCOMPARE(Child<QMenu>(f, "GuidePopup")->actions()[2]->statusTip(), QString());
        // The request carried the program's agent text.
        QCOMPARE(s.To("/update/config.box").at(0).Header("User-Agent"),
                 std::string("TJ98/1.15 [en]"));
    }

    // Shown for real (its own modal loop): it ends by itself once the outcome is known.
    void modalUpdateEndsOnItsOwn() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        s.On("/update/config.box",
             [](auto&) { return TTestHttpServer::Normal(Descriptor("1998.11.03")); });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        Child<TUpdateForm>(f, "UpdateForm")->Update().Settings.CloseDelayMs = 50;
        f.OnExecDialog = nullptr;
        QElapsedTimer clock;
        clock.start();
        f.RunSourceUpdate();
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(Child<TUpdateForm>(f, "UpdateForm")->result(), int{QDialog::Accepted});
        QCOMPARE(Child<TUpdateForm>(f, "UpdateForm")->StatusLabel->text(),
                 QString("No update needed."));
    }

    void differentVersionReplacesTheDefinitions() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        const std::string fresh = Definitions("1999.02.01");
        s.On("/update/config.box",
             [](auto&) { return TTestHttpServer::Normal(Descriptor("1999.02.01")); });
        s.On("/update/sources.def", [fresh](auto&) { return TTestHttpServer::Normal(fresh); });
        const std::string old = ReadFileBytes(home.File("sources.def"));
        WriteFileBytes(home.File("sources.def.bak"), "a stale backup");
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        Child<TUpdateForm>(f, "UpdateForm")->Update().Settings.CloseDelayMs = 50;
        int reloads = 0;
        f.OnSourcesReloaded = [&] {
            ++reloads;
            // The options reload sees the new list.
            QCOMPARE(f.Sources().Version, std::string("1999.02.01"));
        };
        w.answer = WaitUntilClosed(w);
        f.RunSourceUpdate();
        QVERIFY(!Child<TUpdateForm>(f, "UpdateForm")->isVisible());
        QCOMPARE(Child<TUpdateForm>(f, "UpdateForm")->StatusLabel->text(),
                 QString("Job sources updated."));
        QCOMPARE(reloads, 1);
        QCOMPARE(ReadFileBytes(home.File("sources.def")), fresh);
        QCOMPARE(ReadFileBytes(home.File("sources.def.bak")), old);
        QVERIFY(f.Sources().Count() > 1);
        // No guide in this descriptor: the button stays off and the Help menu has none.
        QVERIFY(!Child<QToolButton>(f, "GuideBut")->isEnabled());
        QVERIFY(HelpGuide(f).isEmpty());
    }

    void closingAbortsTheDescriptorRequest() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        s.On("/update/config.box", [](auto&) { return TTestHttpServer::StallAfterHeader(15000); });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        w.answer = [&](QDialog* d) {
            QVERIFY(w.WaitFor([&] { return s.To("/update/config.box").size() == 1; }));
            QCOMPARE(Child<TUpdateForm>(f, "UpdateForm")->StatusLabel->text(),
                     QString("Contacting Tessaly Technologies. Please wait..."));
            d->reject();  // the user closes it
        };
        QElapsedTimer clock;
        clock.start();
        f.RunSourceUpdate();
        QVERIFY(w.WaitFor([&] { return !f.Engine().Http().IsBusy(); }, 5000));
        QVERIFY(clock.elapsed() < 5000);  // well before the 15-second limit
        QVERIFY(!Child<TUpdateForm>(f, "UpdateForm")->Update().Running());
        QVERIFY(!FileExists(home.File("config.box")));
    }

    void withoutAnAddressNoDialogShows() {
        TSampleHome home;  // the shipped id.box names no update address
        TWindow w(home);
        int shown = 0;
        w.answer = [&](QDialog*) { ++shown; };
        w->RunSourceUpdate();
        QCOMPARE(shown, 0);
    }

    void guideFromTheStoredDescriptorAtStartAndRebuilt() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        WriteFileBytes(home.File("config.box"), Descriptor("", "Resume tips\r\nInterviews\r\n",
                                                           "http://t/\r\nhttp://i/\r\n"));
        s.On("/update/config.box", [](auto&) {
            return TTestHttpServer::Normal(Descriptor("", "Salaries\r\n", "http://s/\r\n"));
        });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QMenu* help = f.menuBar()->findChild<QMenu*>("MMHelp");
        QVERIFY(Child<QToolButton>(f, "GuideBut")->isEnabled());
        QCOMPARE(PopupCaptions(f), (QStringList{"Resume tips", "Interviews"}));
        QCOMPARE(HelpGuide(f), (QStringList{"Resume tips", "Interviews"}));
        const int helpItems = static_cast<int>(help->actions().size());
        // A descriptor without a version: the guide is rebuilt and the dialog waits.
        bool stayedOpen = false;
        w.answer = [&](QDialog* d) {
            QVERIFY(w.WaitFor([&] { return PopupCaptions(f).size() == 1; }));
            w.WaitFor([] { return false; }, 300);
            stayedOpen = d->isVisible();
            d->reject();
        };
        f.RunSourceUpdate();
        QVERIFY(stayedOpen);
        QCOMPARE(HelpGuide(f), QStringList{"Salaries"});
        QCOMPARE(static_cast<int>(help->actions().size()), helpItems - 1);
        // The Help menu's own items are all still there.
        QVERIFY(help->actions().contains(f.Action("MMSendQv98toaFriend")));
        QVERIFY(help->actions().contains(f.Action("MMAbout")));
        for (QAction* a : help->actions())
            if (a->objectName() == "GuideItem") a->trigger();
        QCOMPARE(w.opened.back(), std::make_pair(std::string("http://s/"), false));
    }

    // The first search of a run: the update first, its pop-up moment, then the keywords
    // translated for a site that wants French.
    void firstSearchRunsTheUpdateAndTheTranslator() {
        TServices s;
        tessaly::test::TBoardsHome home;
        TWindow w(home.Path());
        TVelaMainForm& f = w.Form();
        const std::string version = f.Sources().Version;
        s.On("/update/config.box", [version](auto&) {
            TConfigBox box;
            box.WriteString("DEFFile", "Version", version);
            box.WriteString("Popup", "Mode", "OnUpdate");
            box.WriteString("Popup", "Message", "Sources checked");
            return TTestHttpServer::Normal(box.SaveToText());
        });
        s.On("/cgi-bin/translate?", [](auto&) {
            return TTestHttpServer::Normal(
                "En Fran\xE7"
                "ais: <font face=\"helvetica\">soudeur\r\n");
        });
        // The home's id.box names the two services, read again as at a start.
        const std::string idFile = JoinPath(f.ProgramDir(), "id.box");
        TConfigBox id;
        id.LoadFromFile(idFile);
        id.WriteString("ID", "ConfigURL", s.Url("/update/config.box"));
        id.WriteString("ID", "TranslateURL", s.Url(""));
        id.SaveToFile(idFile);
        QVERIFY(f.Engine().LoadIdentity());
        Child<TUpdateForm>(f, "UpdateForm")->Update().Settings.CloseDelayMs = 50;
        f.Engine().SetAutoUpdate(true);
        f.Sources()[0].KeywordLanguage = "fr";
        QStringList shown;
        w.answer = [&](QDialog* d) {
            shown << d->windowTitle();
            if (d == Child<TNewSearchForm>(f, "NewSearchForm")) {
                auto* n = static_cast<TNewSearchForm*>(d);
                TNewSearchForm::SelectExact(n->NSRegion, "Boston");
                TNewSearchForm::SelectExact(n->NSCategory, "Trades");
                n->NSKeyword->setPlainText("welder");
                QTest::mouseClick(n->SearchBut, Qt::LeftButton);
            } else {
                QVERIFY(w.WaitFor([d] { return !d->isVisible(); }, 10000));
            }
        };
        f.Action("MMNew")->trigger();
        QVERIFY(w.WaitFor([&] { return f.RunState() == rsIdle; }));
        QCOMPARE(shown, (QStringList{"New Search", "Automatic Update", "Keyword(s) Translation"}));
        QCOMPARE(w.messages.front(), QString("Sources checked"));
        QVERIFY(!f.Engine().AutoUpdateDue());
        const TVelaSearch& search = f.Searches()[f.Searches().Count() - 1];
        QCOMPARE(search.KeywordsFR, std::string("soudeur"));
        QCOMPARE(search.KeywordsEN, std::string("welder"));
    }

    // ---- the pop-up message

    void popupMessageAtOpenAndAtClose() {
        for (const char* mode : {"OnOpen", "OnClose", "OnDoneSearch"}) {
            TSampleHome home;
            TConfigBox box;
            box.WriteString("Popup", "Mode", mode);
            box.WriteString("Popup", "Message", "Visit our new career guide!");
            box.WriteString("Popup", "URL", "http://maker.example/guide");
            box.SaveToFile(home.File("config.box"));
            TWindow w(home, false);
            TVelaMainForm& f = w.Form();
            std::vector<QString> asked;
            f.OnYesNo = [&](const QString& text) {
                asked.push_back(text);
                return true;
            };
            QVERIFY(f.ReadProductId().ok());
            QVERIFY(f.FirstActivation().ok());
            const size_t atOpen = asked.size();
            f.close();
            QVERIFY(!f.isVisible());
            const size_t atClose = asked.size() - atOpen;
            QCOMPARE(atOpen, size_t{std::string(mode) == "OnOpen"});
            QCOMPARE(atClose, size_t{std::string(mode) == "OnClose"});
            if (!asked.empty()) {
                QCOMPARE(asked[0], QString("Visit our new career guide!"));
                QCOMPARE(w.opened.size(), size_t{1});
                QCOMPARE(w.opened[0],
                         std::make_pair(std::string("http://maker.example/guide"), false));
            } else {
                QVERIFY(w.opened.empty());
            }
        }
    }

    // Yes at closing opens the page through the real browser control: a stand-in browser
    // on the PATH records what it was started with.
    void popupAtCloseOpensThePageInTheBrowser() {
        TSampleHome home;
        const std::string bin = home.File("bin"), log = home.File("browser.log");
        ForceDirectories(bin);
        const std::string script = JoinPath(bin, "standin-browser");
        WriteFileBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + log + ".part\"\nmv \"" +
                                   log + ".part\" \"" + log + "\"\n");
        ::chmod(script.c_str(), 0755);
        const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        ::setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
        TConfigBox box;
        box.WriteString("Popup", "Mode", "OnClose");
        box.WriteString("Popup", "Message", "Visit our new career guide!");
        box.WriteString("Popup", "URL", "http://maker.example/guide");
        box.SaveToFile(home.File("config.box"));
        {
            TWindow w(home, false);
            TVelaMainForm& f = w.Form();
            f.OnOpenURL = nullptr;  // the real browser control
            f.Browser().ActiveBrowser = TActiveBrowser::Netscape;
            f.Browser().NetscapeCommand = {"standin-browser"};
            f.OnYesNo = [](const QString&) { return true; };
            QVERIFY(f.ReadProductId().ok());
            QVERIFY(f.FirstActivation().ok());
            f.close();
            QVERIFY(!f.isVisible());
        }
        ::setenv("PATH", oldPath.c_str(), 1);
        QDeadlineTimer deadline(10000);
        while (!FileExists(log) && !deadline.hasExpired())
            QThread::msleep(20);
        QVERIFY(FileExists(log));
        QCOMPARE(ReadTextLines(log), TStrings{"http://maker.example/guide"});
    }

    void popupAnsweredNoOpensNothing() {
        TSampleHome home;
        TWindow w(home);
        w->Engine().Descriptor().WriteString("Popup", "Message", "News");
        w->Engine().Descriptor().WriteString("Popup", "URL", "http://maker.example/news");
        w->ShowPopupMessage();
        QCOMPARE(w.messages, std::vector<QString>{"News"});  // asked, answered No
        QVERIFY(w.opened.empty());
    }

    // ---- the keyword translator

    void keywordTranslatorFillsAndFallsBack() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        s.On("/cgi-bin/translate?", [](const TTestHttpServer::TRequest& r) {
            if (r.body.find("lp=en_fr") != std::string::npos)
                return TTestHttpServer::Status(500, "Server Error", "busy");
            return TTestHttpServer::Normal(
                "<html>\r\nEn Espa\xF1ol:<br><font face=\"arial, helvetica\">soldador cocinero\r\n"
                "</font></html>\r\n");
        });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QString caption;
        w.answer = [&](QDialog* d) {
            caption = d->windowTitle();
            QVERIFY(w.WaitFor([d] { return !d->isVisible(); }, 10000));
        };
        TKeywordTranslation t;
        t.Keywords = "welder cook";
        t.French = true;
        t.Spanish = true;
        QVERIFY(f.TranslateKeywords(t));
        QCOMPARE(caption, QString("Keyword(s) Translation"));
        QCOMPARE(t.KeywordsSP, std::string("soldador cocinero"));
        QCOMPARE(t.KeywordsFR, std::string("welder cook"));  // failed: as typed
        QCOMPARE(t.KeywordsEN, std::string("welder cook"));
        QCOMPARE(t.KeywordsDE, std::string("welder cook"));  // not asked for
        const auto sent = s.To("/cgi-bin/translate?");
        QCOMPARE(sent.size(), size_t{2});
        std::vector<std::string> bodies{sent[0].body, sent[1].body};
        std::sort(bodies.begin(), bodies.end());
        QCOMPARE(bodies[0], std::string("doit=done&lp=en_fr&urltext=welder cook"));
        QCOMPARE(bodies[1], std::string("doit=done&lp=en_sp&urltext=welder cook"));

        // Closed before the answers: the keywords as typed; the link opens a new window.
        w.answer = [&](QDialog* d) {
            emit Child<ui::TKeyTranslator>(f, "KeyTranslator")->Label4->linkActivated("vendor");
            d->reject();
        };
        TKeywordTranslation g;
        g.Keywords = "nurse";
        g.German = true;
        QVERIFY(f.TranslateKeywords(g));
        QCOMPARE(g.KeywordsDE, std::string("nurse"));
        QCOMPARE(w.opened.back(), std::make_pair(s.Url("/download.html"), true));
    }

    void keywordTranslatorNeedsAService() {
        TSampleHome home;
        TWindow w(home);
        int shown = 0;
        w.answer = [&](QDialog*) { ++shown; };
        TKeywordTranslation t;
        t.Keywords = "welder";
        t.French = true;
        QVERIFY(!w->TranslateKeywords(t));
        QCOMPARE(shown, 0);
        QVERIFY(t.KeywordsFR.empty());
    }

    // ---- the job translator

    void jobTranslatorSavesAndOpensTheTranslation() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        const std::string url = "http://jobs.example.test/view?id=5&x=1";
        home.AddSearch("welder", "Massachusetts", "Engineering", {Job("Pipe Welder", url)});
        s.On("/cgi-bin/translate?",
             [](auto&) { return TTestHttpServer::Normal("<html>Soudeur de tuyaux</html>"); });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.SelectGridRow(0);
        std::vector<std::string> remote;
        std::vector<TRunState> states;
        f.OnRemoteStatus = [&](const std::string& text) {
            remote.push_back(text);
            states.push_back(f.RunState());
        };
        w.answer = [&](QDialog* d) {
            auto* t = static_cast<ui::TJobTranslator*>(d);
            QCOMPARE(t->LangBox->count(), 10);
            QCOMPARE(t->LangBox->currentItem()->text(), QString("English to French"));
            t->LangBox->setCurrentRow(5);
            QTest::mouseClick(t->TranslateBut, Qt::LeftButton);
        };
        const int beeps = w.prompts.beeps;
        f.Action("MMTranslateJob")->trigger();
        QCOMPARE(w.prompts.beeps, beeps + 1);
        QVERIFY(w.WaitFor([&] { return !w.opened.empty(); }));
        QVERIFY(w.WaitFor([&] { return f.RunState() == rsIdle; }));
        const std::string file = home.File("translation.html");
        QCOMPARE(w.opened.back(), std::make_pair(file, false));
        QCOMPARE(ReadFileBytes(file), std::string("<html>Soudeur de tuyaux</html>"));
        QCOMPARE(s.To("/cgi-bin/translate?").at(0).body,
                 "doit=done&lp=fr_en&urltext=" + EscapeURL(url));
        QCOMPARE(remote,
                 (std::vector<std::string>{"Job Translation in Progress. Please wait...", ""}));
        QCOMPARE(states.front(), rsTranslating);
        QCOMPARE(f.StatusText(1), QString());

        // The choice is kept; Cancel sends nothing.
        int row = -1;
        w.answer = [&](QDialog* d) {
            row = static_cast<ui::TJobTranslator*>(d)->LangBox->currentRow();
            QTest::mouseClick(static_cast<ui::TJobTranslator*>(d)->CancelBut, Qt::LeftButton);
        };
        f.Action("MMTranslateJob")->trigger();
        QCOMPARE(row, 5);
        w.WaitFor([] { return false; }, 200);
        QCOMPARE(s.To("/cgi-bin/translate?").size(), size_t{1});
    }

    void jobTranslatorFailureIsReported() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        home.AddSearch("welder", "Massachusetts", "Engineering",
                       {Job("Pipe Welder", "http://jobs.example.test/1")});
        s.On("/cgi-bin/translate?",
             [](auto&) { return TTestHttpServer::Status(503, "Unavailable", "later"); });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        w.answer = [](QDialog* d) { static_cast<QDialog*>(d)->accept(); };
        f.TranslateJob(0);
        QVERIFY(w.WaitFor([&] { return !w.messages.empty(); }));
        QCOMPARE(w.messages.back(),
                 QString("Translation could not be completed at this time. Please try later."));
        QCOMPARE(f.RunState(), rsIdle);
        QVERIFY(w.opened.empty());
        QVERIFY(!FileExists(home.File("translation.html")));
    }

    void translationDuringAnotherRunLeavesItsState() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        home.AddSearch("welder", "Massachusetts", "Engineering",
                       {Job("Pipe Welder", "http://jobs.example.test/1")});
        s.On("/cgi-bin/translate?", [](auto&) { return TTestHttpServer::Normal("<p>ok</p>"); });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.SetRunState(rsGrabbing);
        w.answer = [](QDialog* d) { d->accept(); };
        f.TranslateJob(0);
        QVERIFY(w.WaitFor([&] { return !w.opened.empty(); }));
        QCOMPARE(f.RunState(), rsGrabbing);
        f.SetRunState(rsIdle);
    }

    // ---- send to a friend

    void sendAJobAndTheProgram() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        home.AddSearch("welder", "Massachusetts", "Engineering",
                       {Job("Senior Pipe Welder", "http://jobs.example.test/view?id=5&x=1")});
        std::atomic<bool> thank{true};
        s.On("/cgi-bin/referal.asp", [&thank](auto&) {
            return TTestHttpServer::Normal(thank ? "<p>Thank You for telling a friend</p>"
                                                 : "<p>Sorry</p>");
        });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.SelectGridRow(0);
        QString line1, line2, outcome;
        bool busyDuringPause = false;
        QElapsedTimer pause;
        qint64 pauseMs = 0;
        w.answer = [&](QDialog* d) {
            auto* spam = static_cast<TSpamForm*>(d);
            QCOMPARE(d->windowTitle(), QString("Send to a Friend"));
            line1 = spam->ModeLine1->text();
            line2 = spam->ModeLine2->text();
            spam->Edit1->setText("friend@example.org");
            spam->UserEmail->setText("ann@example.org");
            spam->UserFirstName->setText("Ann");
            spam->UserLastName->setText("Lee");
            QTest::mouseClick(spam->Send, Qt::LeftButton);
            QCOMPARE(spam->StatusPanels[1]->text(), QString("Sending..."));
            QVERIFY(w.WaitFor([&] { return spam->StatusPanels[1]->text() != "Sending..."; }));
            pause.start();
            outcome = spam->StatusPanels[1]->text();
            busyDuringPause = !spam->Send->isEnabled() && !spam->Cancel->isEnabled();
            QVERIFY(w.WaitFor([d] { return !d->isVisible(); }, 5000));
            pauseMs = pause.elapsed();
        };
        const int beeps = w.prompts.beeps;
        f.Action("MMSendJobtoaFriend")->trigger();
        QCOMPARE(line1, QString("You know someone who really should"));
        QCOMPARE(line2, QString("apply for this particular job?"));
        QCOMPARE(outcome, QString("Done."));
        QVERIFY(busyDuringPause);
        QVERIFY(pauseMs >= 1800);
        QCOMPARE(w.prompts.beeps, beeps + 1);
        const auto sent = s.To("/cgi-bin/referal.asp");
        QCOMPARE(sent.size(), size_t{1});
        QCOMPARE(sent[0].requestLine.substr(0, 5), std::string("POST "));
        QCOMPARE(sent[0].body,
                 std::string("recipient=friend@example.org&email=ann@example.org&realname=Ann+Lee"
                             "&edition=Generic&jobtitle=Senior+Pipe+Welder&jobcompany=Acme+Pipe+Co"
                             "&joblocation=Boston,+MA&jobsource=Table+Board"
                             "&joburl=http://jobs.example.test/view?id\xA7"
                             "5\xB6x\xA7"
                             "1"));
        // The user's details are kept in options.box.
        TConfigBox options;
        options.LoadFromFile(home.File("options.box"));
        QCOMPARE(options.ReadString("User", "Email"), std::string("ann@example.org"));
        QCOMPARE(options.ReadString("User", "FirstName"), std::string("Ann"));
        QCOMPARE(options.ReadString("User", "LastName"), std::string("Lee"));

        // The program mode: the details and the friend's address come back; no job fields.
        thank = false;
        QString friendShown, emailShown;
        w.answer = [&](QDialog* d) {
            auto* spam = static_cast<TSpamForm*>(d);
            line1 = spam->ModeLine1->text();
            line2 = spam->ModeLine2->text();
            friendShown = spam->Edit1->text();
            emailShown = spam->UserEmail->text();
            QVERIFY(spam->StatusPanels[1]->text().isEmpty());
            QTest::mouseClick(spam->Send, Qt::LeftButton);
            QVERIFY(w.WaitFor([&] { return spam->StatusPanels[1]->text() != "Sending..."; }));
            outcome = spam->StatusPanels[1]->text();
            QVERIFY(w.WaitFor([d] { return !d->isVisible(); }, 5000));
        };
        f.Action("MMSendQv98toaFriend")->trigger();
        QCOMPARE(line1, QString("You know someone who could make"));
        QCOMPARE(line2, QString("good use of Tessaly Jobs 98?"));
        QCOMPARE(friendShown, QString("friend@example.org"));
        QCOMPARE(emailShown, QString("ann@example.org"));
        QCOMPARE(outcome, QString("Error. Try later."));
        QCOMPARE(s.To("/cgi-bin/referal.asp").at(1).body,
                 std::string("recipient=friend@example.org&email=ann@example.org&realname=Ann+Lee"
                             "&edition=Generic"));
    }

    void sendingCanBeCancelledWhileTheServerHangs() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        s.On("/cgi-bin/referal.asp",
             [](auto&) { return TTestHttpServer::StallAfterHeader(15000); });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        bool cancelEnabled = false, closedAtOnce = false;
        QElapsedTimer took;
        w.answer = [&](QDialog* d) {
            auto* spam = static_cast<TSpamForm*>(d);
            spam->Edit1->setText("friend@example.org");
            spam->UserEmail->setText("ann@example.org");
            spam->UserFirstName->setText("Ann");
            QTest::mouseClick(spam->Send, Qt::LeftButton);
            QVERIFY(w.WaitFor([&] { return s.To("/cgi-bin/referal.asp").size() == 1; }));
            cancelEnabled = spam->Cancel->isEnabled() && !spam->Send->isEnabled();
            took.start();
            QTest::mouseClick(spam->Cancel, Qt::LeftButton);
            closedAtOnce = !d->isVisible() && took.elapsed() < 2000;
        };
        const int beeps = w.prompts.beeps;
        f.MMSendQv98toaFriendClick();
        QVERIFY(cancelEnabled);
        QVERIFY(closedAtOnce);
        // The stopped request ends quietly: no outcome, no beep, the machine free again.
        QVERIFY(w.WaitFor([&] { return !f.Engine().Http().IsBusy(); }, 5000));
        w.WaitFor([] { return false; }, 300);
        QCOMPARE(w.prompts.beeps, beeps);
        QVERIFY(!Child<TSpamForm>(f, "SpamForm")->Logic()->Busy());
    }

    void cancellingTheSendDialogStopsRunningRequests() {
        TServices s;
        TSampleHome home;
        PointAt(home, s);
        s.On("/slow", [](auto&) { return TTestHttpServer::StallAfterHeader(15000); });
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        auto q = f.Engine().Http().NewQuery();
        q->URL = s.Url("/slow");
        bool failed = false;
        q->OnEvent = [&](THTTPResult&, THTTPMachineEventType t) { failed |= t == meFailed; };
        f.Engine().Http().AddQuery(std::move(q));
        QVERIFY(w.WaitFor([&] { return s.To("/slow").size() == 1; }));
        w.answer = [](QDialog* d) {
            QTest::mouseClick(static_cast<TSpamForm*>(d)->Cancel, Qt::LeftButton);
        };
        f.MMSendQv98toaFriendClick();
        QVERIFY(w.WaitFor([&] { return failed; }, 5000));
        QCOMPARE(s.To("/cgi-bin/referal.asp").size(), size_t{0});
    }
};

QTEST_MAIN(ServiceDialogsTest)
#include "ServiceDialogsTest.moc"
