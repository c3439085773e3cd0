// Start-up and shutdown of the program: a second instance, the error handler of last
// resort, and what closing leaves behind.
#include <QHeaderView>
#include <QLocalSocket>
#include <QProcess>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include "UiTestSupport.h"
#include "data/Settings.h"
#include "data/VelaSearches.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "ui/JobGrid.h"
#include "ui/VelaApp.h"
#include "ui/VelaMain.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;

namespace {

QProcessEnvironment Offscreen() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    void aSecondStartBringsTheFirstToTheFront() {
        TSampleHome home;
        QProcess first;
        first.setProcessEnvironment(Offscreen());
        first.start(TESSALY_JOBS_BIN, {"--home", QString::fromStdString(home.Path())});
        QVERIFY(first.waitForStarted());
        // Ready once it listens for other starts.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QLocalSocket probe;
                probe.connectToServer(InstanceServerName(home.Path()));
                return probe.waitForConnected(100);
            }(),
            30000);
        QProcess second;
        second.setProcessEnvironment(Offscreen());
        second.start(TESSALY_JOBS_BIN, {"--home", QString::fromStdString(home.Path())});
        QVERIFY(second.waitForFinished(30000));
        const QString said = QString::fromUtf8(second.readAllStandardError());
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(said.contains("(process " + QString::number(first.processId()) + ")"),
                 qPrintable(said));
        QVERIFY2(said.contains("brought to the front"), qPrintable(said));
        QCOMPARE(first.state(), QProcess::Running);
        // SIGTERM closes the window in order: the program ends by itself, normally.
        first.terminate();
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
    }

    void aSecondStartDuringTheFirstsStartUpFindsIt() {
        TSampleHome home;
        // Both at once: whichever takes the home first is the first; the other must find it
        // even though it has only just begun, and end after bringing it to the front.
        QProcess a, b;
        for (QProcess* p : {&a, &b}) {
            p->setProcessEnvironment(Offscreen());
            p->start(TESSALY_JOBS_BIN, {"--home", QString::fromStdString(home.Path())});
        }
        QVERIFY(a.waitForStarted() && b.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning, 30000);
        QProcess& second = a.state() == QProcess::NotRunning ? a : b;
        QProcess& first = &second == &a ? b : a;
        const QString said = QString::fromUtf8(second.readAllStandardError());
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(said.contains("brought to the front"), qPrintable(said));
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(30000));
    }

    void errorsInAGridsViewportOrHeaderAreTheGrids() {
        auto* app = static_cast<TVelaApplication*>(qApp);
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", SampleJobs());
        TWindow w(home);
        QVERIFY(ShowExposed(w.Form()));
        QTableView* grid = Child<TJobGrid>(w.Form(), "JobGrid");
        using TSender = std::pair<std::string, std::string>;
        QCOMPARE(ErrorSender(grid->viewport()), (TSender{"QTableView", "JobGrid"}));
        QCOMPARE(ErrorSender(grid->horizontalHeader()), (TSender{"QTableView", "JobGrid"}));
        QCOMPARE(ErrorSender(Child<QTableWidget>(w.Form(), "SearchGrid")->viewport()),
                 (TSender{"QTableWidget", "SearchGrid"}));
        QCOMPARE(ErrorSender(Child<QToolButton>(w.Form(), "NewBut")),
                 (TSender{"QToolButton", "NewBut"}));
        QVERIFY(IsIgnoredErrorSender("QTableView", "JobGrid"));

        // A click handler of the grid that fails: ignored, the window stays.
        std::vector<QString> boxes;
        app->OnErrorBox = [&](const QString& t) { boxes.push_back(t); };
        app->MainForm = &w.Form();
        struct TThrower : QObject {
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::MouseButtonPress) throw std::runtime_error("click");
                return false;
            }
        } thrower;
        grid->viewport()->installEventFilter(&thrower);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(40, 10));
        grid->viewport()->removeEventFilter(&thrower);
        QVERIFY(boxes.empty());
        QVERIFY(w->isVisible());
        app->MainForm = nullptr;
        app->OnErrorBox = nullptr;
    }

    void aMissingIdentificationEndsWithAMessage() {
        TSampleHome home;
        home.RemoveFile("id.box");
        // The shipped id.box would be copied in: point the shipped files elsewhere.
        QProcessEnvironment env = Offscreen();
        env.insert("TESSALY_DATA_DIR", QString::fromStdString(home.File("nothing")));
        QProcess p;
        p.setProcessEnvironment(env);
        // The message box waits for a click; the same words go to standard error.
        p.start(TESSALY_JOBS_BIN, {"--home", QString::fromStdString(home.Path())});
        QVERIFY(p.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += p.readAllStandardError()).contains("id.box is missing"),
                                 30000);
        p.kill();
        p.waitForFinished(30000);
    }

    void unexpectedErrorsShowTheBoxAndShutDown() {
        auto* app = static_cast<TVelaApplication*>(qApp);
        QVERIFY(IsIgnoredErrorSender("QTimer", ""));
        QVERIFY(IsIgnoredErrorSender("TTimer", ""));
        QVERIFY(IsIgnoredErrorSender("QTableWidget", "JobGrid"));
        QVERIFY(IsIgnoredErrorSender("QToolBar", "ButtonsPanel"));
        QVERIFY(!IsIgnoredErrorSender("QPushButton", "SearchBut"));
        QCOMPARE(UnexpectedErrorText("QPushButton", "disk full"),
                 QString("Tessaly Jobs has encountered an unexpected condition in QPushButton and "
                         "will shut down.\r\ndisk full"));

        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", SampleJobs());
        TWindow w(home);
        w->show();
        std::vector<QString> boxes;
        app->OnErrorBox = [&](const QString& t) { boxes.push_back(t); };
        app->MainForm = &w.Form();
        // An error from a grid is ignored; one from a button shuts down in order.
        app->HandleError("QTableWidget", "JobGrid", "ignored");
        QVERIFY(boxes.empty());
        QVERIFY(w->isVisible());
        // Raised inside an event handler, it reaches the handler through notify().
        QObject thrower;
        thrower.setObjectName("Thrower");
        QTimer::singleShot(0, &thrower, [] { throw std::runtime_error("boom"); });
        QTRY_COMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].contains("boom"));
        QVERIFY(!w->isVisible());
        // Once closing has begun, only the beep.
        app->HandleError("QPushButton", "", "late");
        QCOMPARE(boxes.size(), size_t{1});
        app->MainForm = nullptr;
        app->OnErrorBox = nullptr;
    }

    void theSearchToShowComesFromTheCommandLine() {
        TSampleHome home;
        home.AddSearch("first", "Texas", "Engineering", SampleJobs());
        home.AddSearch("second", "Texas", "Engineering", SampleJobs());
        TVelaSearchesList searches;
        searches.LoadIndex(SearchesIndexPath(home.Path()));
        {
            // No connection assistant in the way.
            TConfigBox options;
            options.LoadFromFile(home.File("options.box"));
            options::SettingsSet.Write(options, true);
            options.SaveToFile(home.File("options.box"));
        }
        // The search the window had selected as it closed.
        auto selectedAtClose = [&] {
            TConfigBox options;
            options.LoadFromFile(home.File("options.box"));
            const std::string table = options::SelectedSearch.Read(options);
            for (int i = 0; i < searches.Count(); ++i)
                if (BaseName(searches[i].TableFile) == table) return i + 1;
            return 0;
        };
        auto start = [&](QProcess& p, QStringList args) {
            p.setProcessEnvironment(Offscreen());
            p.start(TESSALY_JOBS_BIN,
                    QStringList{"--home", QString::fromStdString(home.Path())} << args);
            QVERIFY(p.waitForStarted());
        };
        auto listening = [&] {
            QLocalSocket probe;
            probe.connectToServer(InstanceServerName(home.Path()));
            return probe.waitForConnected(100);
        };
        auto stop = [](QProcess& p) {
            p.terminate();
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), 0);
        };

        QProcess first;
        start(first, {"--search", "2"});
        QTRY_VERIFY_WITH_TIMEOUT(listening(), 30000);
        QTest::qWait(2000);  // the searches shown
        stop(first);
        QCOMPARE(selectedAtClose(), 2);

        // A second start names another search: the open window shows it.
        QProcess again, second;
        start(again, {});
        QTRY_VERIFY_WITH_TIMEOUT(listening(), 30000);
        QTest::qWait(2000);
        start(second, {"--search", "1"});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        QTest::qWait(500);
        stop(again);
        QCOMPARE(selectedAtClose(), 1);
    }

    void closingSavesAndEmptiesTemp() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", SampleJobs());
        WriteFileAtomic(home.File("temp/left-over.htm"), "x");
        ForceDirectories(home.File("temp/keep"));
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.show();
        f.SelectGridRow(0);
        f.MMDeleteSelectedClick();
        f.close();
        QVERIFY(!f.isVisible());
        QVERIFY(!FileExists(home.File("temp/left-over.htm")));
        QVERIFY(DirectoryExists(home.File("temp/keep")));  // files only
        TVelaSearchesList saved;
        saved.LoadIndex(SearchesIndexPath(home.Path()));
        TVelaJobsList table;
        LoadJobTable(table, saved[0].TableFile);
        QCOMPARE(table.Count(), static_cast<int>(SampleJobs().size()) - 1);
    }
};

int main(int argc, char** argv) {
    TVelaApplication app(argc, argv);
    StartupTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "StartupTest.moc"
