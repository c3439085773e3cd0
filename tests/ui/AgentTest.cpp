// The window's scheduled check for new jobs: its period from the options, and a check of
// every search, started through the window's channel, against loopback boards whose
// answers change between runs.
#include <QCheckBox>
#include <QLocalSocket>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "UiTestSupport.h"
#include "data/VelaSearches.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "services/NewJobs.h"
#include "support/ScopedEnv.h"
#include "support/TestBoards.h"
#include "support/TestSessionBus.h"
#include "ui/VelaAgent.h"
#include "ui/VelaApp.h"
#include "ui/VelaMain.h"
#include "ui/VelaOptions.h"
#include "ui/VelaProgress.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;

namespace {

constexpr int kHourMs = 60 * 60 * 1000;

// The titles of the jobs marked New in a search's table as saved.
QStringList NewTitles(const TVelaSearch& search) {
    TVelaJobsList jobs;
    LoadJobTable(jobs, search.TableFile);
    QStringList titles;
    for (const int row : NewJobPositions(jobs))
        titles << QString::fromStdString(jobs[row].Title);
    return titles;
}

// Saved searches over the loopback boards, run from the window one after the other.
bool RunSearches(TWindow& w, std::initializer_list<const char*> keywords) {
    for (const char* k : keywords) {
        w.Form().Engine().StartSearch({"Boston", "Trades", k});
        if (!w.WaitFor([&] { return w.Form().RunState() == rsIdle; })) return false;
    }
    return true;
}

}  // namespace

class AgentTest : public QObject {
    Q_OBJECT

  private slots:
    void thePeriodFollowsTheOption() {
        tessaly::test::TBoardsHome home;
        TStrings options = ReadTextLines(JoinPath(home.Path(), "options.box"));
        options.insert(options.begin() + 2, {"[Search]", "CheckForJobsHours=3"});
        WriteTextLines(JoinPath(home.Path(), "options.box"), options);
        TWindow w(home.Path());
        TVelaMainForm& f = w.Form();
        const QTimer& period = f.Agent().Period();
        QVERIFY(period.isActive());
        QCOMPARE(period.interval(), 3 * kHourMs);

        // The dialog shows the stored period; its changes take effect at once.
        w.answer = [&](QDialog* d) {
            auto* o = dynamic_cast<TOptionsForm*>(d);
            if (!o) return;
            QVERIFY(o->opCheckForJobs->isChecked());
            QCOMPARE(o->opCheckForJobsHours->value(), 3);
            o->opCheckForJobs->setChecked(false);
            QVERIFY(!period.isActive());
            o->opCheckForJobsHours->setValue(2);
            o->opCheckForJobs->setChecked(true);
            QVERIFY(period.isActive());
            QCOMPARE(period.interval(), 2 * kHourMs);
            o->OKButton->click();
        };
        f.MMPreferencesClick();
        TConfigBox stored;
        stored.LoadFromFile(JoinPath(home.Path(), "options.box"));
        QCOMPARE(options::CheckForJobsHours.Read(stored), 2);
    }

    void aDamagedTableIsLeftAloneAndToldOnce() {
        tessaly::test::TBoardsHome home;
        tessaly::test::DisableBoards(home.Path());
        // The check's notification reaches no desktop.
        const std::string noBus = "unix:path=" + JoinPath(home.Path(), "no-bus");
        tessaly::test::TScopedEnv session("DBUS_SESSION_BUS_ADDRESS", noBus.c_str());
        TWindow w(home.Path());
        TVelaMainForm& f = w.Form();
        QVERIFY(RunSearches(w, {"welder", "pipe"}));
        const int welder = f.Searches()[0].Keywords == "welder" ? 0 : 1;
        f.Engine().SelectSearch(welder);
        f.SearchListToGrid();
        QVERIFY(w.WaitFor([&] { return f.Jobs().FileName == f.Searches()[welder].TableFile; }));
        const std::string damaged = f.Searches()[1 - welder].TableFile;
        const std::string bytes = "V1.01\r\n\x01\xff\xfe\r\nTitle\r\n";
        WriteFileBytes(damaged, bytes);
        home.boards.extraRow = tessaly::test::JobRow(7, "Night Welder", "Dock Co", "Salem, MA");

        const size_t said = w.prompts.messages.size();
        for (const char* status :
             {"Checked 1 search: 1 new job", "Checked 1 search: no new jobs"}) {
            f.Agent().CheckNow();
            QVERIFY(w.WaitFor([&] { return !f.Agent().Checking(); }, 60000));
            QCOMPARE(f.StatusText(1), QString(status));
            QCOMPARE(ReadFileBytes(damaged), bytes);
            // The damage is told once, not at every check.
            QCOMPARE(w.prompts.messages.size(), said + 1);
        }
        QVERIFY(QString::fromStdString(w.prompts.messages.back())
                    .contains(QString::fromStdString(damaged)));
    }

    void aCheckThroughTheChannelUpdatesEverySearchAndTellsTheNewJobs() {
        if (!tessaly::test::SessionBusAvailable()) QSKIP("dbus-daemon is not installed");
        tessaly::test::TStandInDesktop desktop({"body"});
        QVERIFY(desktop.Ready());
        tessaly::test::TNotificationServer& server = desktop.Server();
        tessaly::test::TScopedEnv runtime("XDG_RUNTIME_DIR", desktop.Dir().c_str());

        tessaly::test::TBoardsHome home;
        tessaly::test::DisableBoards(home.Path());
        TWindow w(home.Path());
        TVelaMainForm& f = w.Form();
        QVERIFY(RunSearches(w, {"welder", "pipe"}));
        QCOMPARE(f.Searches().Count(), 2);
        const int welder = f.Searches()[0].Keywords == "welder" ? 0 : 1;
        const int pipe = 1 - welder;
        auto listedNew = [&] {
            QStringList titles;
            for (const int row : NewJobPositions(f.Jobs()))
                titles << QString::fromStdString(f.Jobs()[row].Title);
            return titles;
        };

        // A new job on the board; the user updates a search, and meanwhile a command-line
        // run hands the update of all to the window: it waits for the user's run.
        home.boards.extraRow = tessaly::test::JobRow(7, "Night Welder", "Dock Co", "Salem, MA");
        const size_t said = w.prompts.messages.size();
        f.Engine().StartUpdate(welder, {"Boston", "Trades", "welder"});
        QVERIFY(f.RunState() != rsIdle);
        TWindowChannel channel([](int) {},
                               [&f] {
                                   f.Agent().CheckNow();
                                   return true;
                               });
        QVERIFY(channel.Listen(home.Path()));
        QLocalSocket socket;
        socket.connectToServer(InstanceServerName(home.Path()));
        socket.write("update\n");
        QVERIFY(w.WaitFor([&] { return socket.canReadLine(); }, 5000));
        QCOMPARE(socket.readLine(), QByteArray("ok\n"));
        QVERIFY(f.Agent().Checking());
        QVERIFY(w.WaitFor([&] { return !f.Agent().Checking(); }, 60000));
        // Both searches ran after the user's: the welder search's job came with the user's
        // run, so only the other search's is new now.
        QCOMPARE(f.StatusText(1), QString("Checked 2 searches: 1 new job"));
        QCOMPARE(NewTitles(f.Searches()[welder]), QStringList());
        QCOMPARE(NewTitles(f.Searches()[pipe]), QStringList{"Night Welder"});
        QCOMPARE(f.Engine().Selected(), welder);  // the user's search again

        // The next check, the user on the other search: its listing shows the new job.
        home.boards.extraRow += tessaly::test::JobRow(8, "Day Welder", "Dock Co", "Salem, MA");
        f.Engine().SelectSearch(pipe);
        f.SearchListToGrid();
        f.Agent().CheckNow();
        // It runs in the background: no progress window; the first panel tells how far.
        bool progressShown = false;
        QSet<QString> told;
        QVERIFY(w.WaitFor(
            [&] {
                progressShown |= f.GetProgressForm()->isVisible();
                told << f.StatusText(0);
                return !f.Agent().Checking();
            },
            60000));
        QVERIFY(!progressShown);
        QVERIFY(told.contains("Checking for new jobs: search 2 of 2..."));
        QCOMPARE(f.StatusText(0), QString());
        QCOMPARE(f.StatusText(1), QString("Checked 2 searches: 2 new jobs"));
        QCOMPARE(NewTitles(f.Searches()[welder]), QStringList{"Day Welder"});
        QCOMPARE(f.Engine().Selected(), pipe);
        QVERIFY(w.WaitFor([&] { return f.Jobs().FileName == f.Searches()[pipe].TableFile; }));
        QCOMPARE(listedNew(), QStringList{"Day Welder"});

        // One notification per check that found new jobs, and no box per search of a check.
        QVERIFY(w.WaitFor([&] { return server.Calls().size() == 2; }, 5000));
        const auto calls = server.Calls();
        QCOMPARE(calls[0].summary, std::string("1 new job"));
        QCOMPARE(calls[0].body, std::string("pipe: Night Welder"));
        QCOMPARE(calls[1].summary, std::string("2 new jobs"));
        QCOMPARE(w.prompts.messages.size(), said + 1);  // "Search Completed." of the user's

        // A click on the first notification, the user on the other search: the window
        // shows the search it told of.
        f.Engine().SelectSearch(welder);
        f.SearchListToGrid();
        server.Answer(1, "default");
        QVERIFY(w.WaitFor([&] { return f.Engine().Selected() == pipe; }, 5000));
    }
};

QTEST_MAIN(AgentTest)
#include "AgentTest.moc"
