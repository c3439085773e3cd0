// The main window as a user meets it: questions before deletions, keys, what is
// remembered between runs, and what is said when something cannot be done.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <algorithm>

#include "UiTestSupport.h"
#include "data/ConfigBox.h"
#include "data/Settings.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "services/BrowserControl.h"
#include "support/TestBoards.h"
#include "ui/DialogPrompts.h"
#include "ui/JobGrid.h"
#include "ui/VelaMain.h"
#include "ui/VelaNewSearch.h"
#include "ui/VelaProgress.h"
#include "ui/VelaRemote.h"
#include "ui/VelaSpam.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;

namespace {

TSampleJob Job(const std::string& title) {
    TSampleJob j;
    j.Title = title;
    j.Company = "Acme";
    j.Location = "Boston";
    j.Source = "Table Board";
    return j;
}

// Answers the deletion question: Yes or No, ticking "Don't ask again" first when asked to;
// counts the questions.
std::function<void(QDialog*)> DeleteAnswer(bool yes, bool dontAsk, int& asked) {
    return [yes, dontAsk, &asked](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        QVERIFY(box && box->objectName() == "ConfirmDelete");
        ++asked;
        if (dontAsk) box->checkBox()->setChecked(true);
        QTest::mouseClick(box->button(yes ? QMessageBox::Yes : QMessageBox::No), Qt::LeftButton);
    };
}

void ShowActive(QWidget& w) {
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

}  // namespace

class EverydayUseTest : public QObject {
    Q_OBJECT

  private slots:
    void deletingAsksFirstUntilToldNotTo() {
        TSampleHome home;
        home.AddSearch("welder", "Texas", "Engineering", {Job("A"), Job("B"), Job("C")});
        home.AddSearch("cook", "Texas", "Engineering", {Job("D")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        ShowActive(f);
        auto* grid = Child<TJobGrid>(f, "JobGrid");
        int asked = 0;

        // The Del key on a job: No keeps it.
        f.SelectGridRow(0);
        grid->setFocus();
        w.answer = DeleteAnswer(false, false, asked);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(asked, 1);
        QCOMPARE(w.Titles(), (QStringList{"A", "B", "C"}));
        // Delete Search from the search grid's pop-up: No keeps the search.
        f.findChild<QAction*>("SrchDeleteAll")->trigger();
        QCOMPARE(asked, 2);
        QCOMPARE(Child<QTableWidget>(f, "SearchGrid")->rowCount(), 2);

        // Yes with "Don't ask again": deleted, and never asked again.
        w.answer = DeleteAnswer(true, true, asked);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(asked, 3);
        QCOMPARE(w.Titles(), (QStringList{"B", "C"}));
        QVERIFY(options::DeleteUnasked.Read(f.Engine().OptionsBox()));
        f.SelectGridRow(0);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(asked, 3);
        QCOMPARE(w.Titles(), QStringList{"C"});
    }

    void sendingToAFriendSaysWhatIsMissingAndStaysOpen() {
        TSampleHome home;
        home.AddSearch("welder", "Texas", "Engineering", {Job("A")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.SelectGridRow(0);
        QStringList said;
        bool sent = true, open = false;
        w.answer = [&](QDialog* d) {
            auto* spam = static_cast<TSpamForm*>(d);
            const struct {
                QLineEdit* edit;
                const char* text;
                const char* says;
            } steps[] = {
                {nullptr, "", "Please enter your friend's email address."},
                {spam->Edit1, "friend", "Please check your friend's email address."},
                {spam->Edit1, "friend@example.org", "Please enter your email address."},
                {spam->UserEmail, "ann@example", "Please check your email address."},
                {spam->UserEmail, "ann@example.org", "Please enter your first name."},
            };
            for (const auto& step : steps) {
                if (step.edit) step.edit->setText(step.text);
                QTest::mouseClick(spam->Send, Qt::LeftButton);
                said << spam->StatusPanels[1]->text();
                QCOMPARE(said.back(), QString(step.says));
            }
            open = d->isVisible();
            sent = spam->Logic() != nullptr;
            QTest::mouseClick(spam->Cancel, Qt::LeftButton);
        };
        for (const char* key : {"Email", "FirstName", "LastName"})
            f.Engine().OptionsBox().WriteString("User", key, "");
        f.Action("MMSendJobtoaFriend")->trigger();
        QCOMPARE(said.size(), 5);
        QVERIFY(open);
        QVERIFY(!sent);
    }

    void theSelectedSearchIsSelectedAgainAfterARestart() {
        TSampleHome home;
        home.AddSearch("welder", "Texas", "Engineering", {Job("A")});
        home.AddSearch("cook", "Texas", "Engineering", {Job("B")});
        home.AddSearch("baker", "Texas", "Engineering", {Job("C")});
        {
            TWindow w(home);
            ShowActive(w.Form());
            auto* searches = Child<QTableWidget>(w.Form(), "SearchGrid");
            QTest::mouseClick(searches->viewport(), Qt::LeftButton, {},
                              searches->visualItemRect(searches->item(2, 0)).center());
            QVERIFY(w.WaitFor([&] { return w.Titles() == QStringList{"C"}; }));
            w->close();
        }
        TWindow again(home);
        QCOMPARE(Child<QTableWidget>(again.Form(), "SearchGrid")->currentRow(), 2);
        QCOMPARE(again.Titles(), QStringList{"C"});
    }

    void enterStartsTheSearchAndCtrlEnterBreaksTheLine() {
        TNewSearchForm form;
        form.Init({"Boston"}, {"Trades"});
        form.show();
        QTest::keyClicks(form.NSKeyword, "welder");
        QTest::keyClick(form.NSKeyword, Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(form.isVisible());
        QTest::keyClicks(form.NSKeyword, "pipe");
        QTest::keyClick(form.NSKeyword, Qt::Key_Enter);
        QVERIFY(!form.isVisible());
        QVERIFY(!form.Cancelled());
        QCOMPARE(form.Keywords(), std::string("welder\r\npipe"));
        // Nothing typed: Enter does not start.
        form.NSKeyword->clear();
        form.show();
        QTest::keyClick(form.NSKeyword, Qt::Key_Return);
        QVERIFY(form.isVisible());
        QVERIFY(form.Cancelled());
    }

    void keysOfTheMainWindow() {
        TSampleHome home;
        TSampleJob a = Job("A");
        a.URL = "http://jobs.example.test/a";
        home.AddSearch("welder", "Texas", "Engineering", {a, Job("B")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        ShowActive(f);
        auto* grid = Child<TJobGrid>(f, "JobGrid");

        // Enter on a row opens the job; Tab leaves the listing.
        f.SelectGridRow(0);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(w.opened.size(), size_t{1});
        QCOMPARE(w.opened[0].first, std::string("http://jobs.example.test/a"));
        QTest::keyClick(grid, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != grid);

        // Ctrl+N starts a new search, as Ctrl+S did and still does.
        QStringList dialogs;
        w.answer = [&](QDialog* d) {
            dialogs << d->objectName();
            d->reject();
        };
        QTest::keyClick(&f, Qt::Key_N, Qt::ControlModifier);
        QTest::keyClick(&f, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs, (QStringList{"NewSearchForm", "NewSearchForm"}));

        // Ctrl+C copies the job's address in both windows.
        QTest::keyClick(&f, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString("http://jobs.example.test/a"));
        QApplication::clipboard()->clear();
        f.MMBrowseClick("All");
        TRemoteForm& r = *f.GetRemoteForm();
        ShowActive(r);
        r.JobGrid->setCurrentCell(0, r.GetColIdx("Job "));
        r.JobGrid->selectRow(0);
        QTest::keyClick(&r, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString("http://jobs.example.test/a"));
        r.close();

        // Ctrl+Q quits.
        ShowActive(f);
        QTest::keyClick(&f, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!f.isVisible());
    }

    void escapeStopsASearchFromTheProgressWindow() {
        tessaly::test::TBoardsHome home;
        TWindow w(home.Path());
        TVelaMainForm& f = w.Form();
        f.Engine().Http().TimeOut = 0;  // the stalling board holds its request until stopped
        ShowActive(f);
        w.answer = [](QDialog* d) {
            auto* ns = static_cast<TNewSearchForm*>(d);
            TNewSearchForm::SelectExact(ns->NSRegion, "Boston");
            TNewSearchForm::SelectExact(ns->NSCategory, "Trades");
            QTest::keyClicks(ns->NSKeyword, "welder");
            QTest::keyClick(ns->NSKeyword, Qt::Key_Return);
        };
        QTest::keyClick(&f, Qt::Key_N, Qt::ControlModifier);
        QVERIFY(f.RunState() != rsIdle);
        QVERIFY(w.WaitFor([&] { return home.boards.deltaHits > 0 && f.Engine().Http().IsBusy(); }));
        TProgressForm& progress = *f.GetProgressForm();
        ShowActive(progress);
        // A menu key of the main window works over the progress window.
        const size_t opened = w.opened.size();
        QTest::keyClick(&progress, Qt::Key_F1);
        QCOMPARE(w.opened.size(), opened + 1);
        QTest::keyClick(&progress, Qt::Key_Escape);
        QVERIFY(w.WaitFor([&] { return f.RunState() == rsIdle; }));
        const auto& said = w.prompts.messages;
        QVERIFY(std::find(said.begin(), said.end(), "Search Aborted.") != said.end());
    }

    void openingAJobWithoutABrowserSaysWhatWasTried() {
        TSampleHome home;
        TSampleJob a = Job("A");
        a.URL = "http://jobs.example.test/a";
        home.AddSearch("welder", "Texas", "Engineering", {a});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        ShowActive(f);
        f.OnOpenURL = nullptr;
        TBrowserControl& browser = f.Browser();
        browser.ActiveBrowser = TActiveBrowser::Netscape;
        browser.NetscapeCommand = {"no-such-browser"};
        browser.ShellCommand = {"no-such-opener"};
        int starts = 0;
        browser.Launch = [&](const TBrowserControl::TArgs&) {
            ++starts;
            return false;
        };
        auto* grid = Child<TJobGrid>(f, "JobGrid");
        const std::function<void()> ways[] = {
            [&] {
                const QRect cell =
                    grid->visualRect(grid->model()->index(0, grid->ColumnOf(TJobColumn::Title)));
                // A double click is a click and then its second press.
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
                QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
            },
            [&] { f.Action("MMOpenBrowser")->trigger(); },
        };
        for (const auto& open : ways) {
            w.messages.clear();
            f.SetStatusText(1, "");
            f.SelectGridRow(0);
            open();
            QVERIFY(w.WaitFor([&] { return !w.messages.empty(); }, 5000));
            const QString said = w.messages.back();
            QVERIFY2(said.contains("no-such-browser http://jobs.example.test/a") &&
                         said.contains("no-such-opener http://jobs.example.test/a") &&
                         said.contains("Preferences"),
                     qPrintable(said));
            QCOMPARE(f.StatusText(1), QString("No web browser could be started."));
        }
        QCOMPARE(starts, 4);
    }

    void helpOpensTheCopyShippedWithTheProgram() {
        TSampleHome home;
        TWindow w(home);
        ShowActive(w.Form());
        QTest::keyClick(&w.Form(), Qt::Key_F1);
        QCOMPARE(w.opened.size(), size_t{1});
        const std::string page = w.opened[0].first;
        QVERIFY2(page.ends_with("index.html") && FileExists(page), page.c_str());
        const std::string text = ReadFileBytes(page);
        QVERIFY(text.find("Writing job-site definitions") != std::string::npos);
        QVERIFY(text.find("A desktop job-search agent") != std::string::npos);
    }

    void theEndOfARunIsSaidOverTheProgressWindow() {
        QWidget main;
        TProgressForm progress;  // kept on top
        progress.show();
        ShowActive(main);
        const std::unique_ptr<TPrompts> prompts = MakeDialogPrompts();
        QWidget* owner = nullptr;
        bool onTop = false;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                owner = box->parentWidget();
                onTop = box->windowFlags() & Qt::WindowStaysOnTopHint;
                box->accept();
            }
        });
        prompts->ShowMessage("Search Aborted.");
        QCOMPARE(owner, static_cast<QWidget*>(&progress));
        QVERIFY(onTop);
    }

    void textsFitAndTheSpareWidthGoesToTheTitles() {
        TSampleHome home;
        home.AddSearch("welder", "Texas", "Engineering", SampleJobs());
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.resize(1400, 800);
        ShowActive(f);
        f.FormResize();
        auto* grid = Child<TJobGrid>(f, "JobGrid");
        QHeaderView* header = grid->horizontalHeader();
        int right = 0;
        for (int c = 0; c < header->count(); ++c)
            if (!header->isSectionHidden(c))
                right =
                    std::max(right, header->sectionViewportPosition(c) + header->sectionSize(c));
        // Every header in view, the titles with the room the others leave.
        QVERIFY(right <= grid->viewport()->width());
        const int title = grid->ColumnOf(TJobColumn::Title),
                  notes = grid->ColumnOf(TJobColumn::Notes);
        QVERIFY2(grid->columnWidth(title) > 2 * grid->columnWidth(notes),
                 qPrintable(
                     QString("%1 %2").arg(grid->columnWidth(title)).arg(grid->columnWidth(notes))));

        // Narrow, the dates still show whole; the keywords take what is left.
        f.resize(700, 500);
        QVERIFY(w.WaitFor([&] { return f.width() == 700; }, 2000));
        f.FormResize();
        auto* searches = Child<QTableWidget>(f, "SearchGrid");
        const int date = f.GetColIdx(searches, "Date ");
        const QTableWidgetItem* created = searches->item(0, date);
        QVERIFY(searches->columnWidth(date) >
                searches->fontMetrics().horizontalAdvance(created->text()));

        // The splitter's bar is one a pointer finds.
        QVERIFY(Child<QSplitter>(f, "Splitter1")->handle(1)->height() >= 8);

        // A status text is shown whole.
        const QString done = "15 of 17 sources done.";
        f.SetStatusText(2, done.toStdString());
        auto* pane = Child<QLabel>(f, "StatusPanel2");
        QVERIFY(w.WaitFor(
            [&] {
                return pane->contentsRect().width() >= pane->fontMetrics().horizontalAdvance(done);
            },
            2000));

        // The progress window: the board's whole name, and its state beside it.
        TProgressForm progress;
        QVERIFY(ShowExposed(progress, {450, 210}));
        progress.AddLine("");
        const std::string name = "The Very Long Name of a Job Board Online";
        progress.SetCell(0, 0, name);
        progress.SetCell(0, 3, "Unreachable");
        QTest::qWait(50);
        const QTableWidget* log = progress.LogGrid;
        QVERIFY(log->columnWidth(0) >=
                log->fontMetrics().horizontalAdvance(QString::fromStdString(" " + name)) + 16);
        QVERIFY(log->columnViewportPosition(3) +
                    log->fontMetrics().horizontalAdvance("Unreachable") <=
                log->viewport()->width());
    }
};

QTEST_MAIN(EverydayUseTest)
#include "EverydayUseTest.moc"
