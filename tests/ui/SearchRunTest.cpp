// Runs through the window against loopback job boards: a new search through the dialog,
// update, refine and grab from the menus, and closing while a search runs.
#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>
#include <algorithm>

#include "UiTestSupport.h"
#include "data/VelaSearches.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestBoards.h"
#include "ui/JobGrid.h"
#include "ui/VelaMain.h"
#include "ui/VelaNewSearch.h"
#include "ui/VelaProgress.h"
#include "ui/VelaRefine.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;

namespace {

// Fills the new-search dialog as a user would and presses its accept button.
void AnswerNewSearch(QDialog* d, const char* keywords) {
    auto* f = static_cast<TNewSearchForm*>(d);
    TNewSearchForm::SelectExact(f->NSRegion, "Boston");
    TNewSearchForm::SelectExact(f->NSCategory, "Trades");
    f->NSKeyword->setPlainText(keywords);
    QTest::mouseClick(f->SearchBut, Qt::LeftButton);
}

bool Said(const TWindow& w, const std::string& text) {
    const auto& m = w.prompts.messages;
    return std::find(m.begin(), m.end(), text) != m.end();
}

// The progress window's line of a site, -1 when none.
int ProgressLine(TVelaMainForm& f, const std::string& title) {
    for (int r = 0; r < f.GetProgressForm()->LineCount(); ++r)
        if (f.GetProgressForm()->Cell(r, 0) == title) return r;
    return -1;
}

}  // namespace

class SearchRunTest : public QObject {
    Q_OBJECT

  private slots:
    void newSearchThroughTheDialog() {
        tessaly::test::TBoardsHome home;
        TWindow w(home.Path());
        TVelaMainForm& f = w.Form();
        QCOMPARE(f.RunState(), rsIdle);
        std::vector<QString> captions;
        w.answer = [&](QDialog* d) {
            captions.push_back(d->windowTitle());
            AnswerNewSearch(d, "welder");
        };
        f.Action("MMNew")->trigger();
        QCOMPARE(captions, std::vector<QString>{"New Search"});
        QVERIFY(f.RunState() != rsIdle);
        QVERIFY(Child<QToolButton>(f, "StopBut")->isEnabled());
        QVERIFY(!Child<QToolButton>(f, "NewBut")->isEnabled());
        QVERIFY(w.WaitFor([&] { return f.RunState() == rsIdle; }));

        // The progress window's lines and final texts.
        const int alpha = ProgressLine(f, "Alpha Jobs");
        QVERIFY(alpha >= 0);
        QCOMPARE(f.GetProgressForm()->Cell(alpha, 1), std::string("3"));
        QCOMPARE(f.GetProgressForm()->Cell(alpha, 2), std::string("3"));
        QCOMPARE(f.GetProgressForm()->Cell(alpha, 3), std::string("Done"));
        QCOMPARE(f.GetProgressForm()->Image(alpha), int{TProgressForm::imgDone});
        const int beta = ProgressLine(f, "Beta Jobs");
        QCOMPARE(f.GetProgressForm()->Cell(beta, 3), std::string("Unreachable"));
        QCOMPARE(f.GetProgressForm()->Image(beta), int{TProgressForm::imgFailed});
        QVERIFY(Said(w, "Search Completed."));
        QCOMPARE(f.StatusText(1), QString("Search Completed."));

        // The listing and the search list.
        QCOMPARE(w.SearchCell(0, "Keywords "), QString("welder"));
        QCOMPARE(w.SearchCell(0, "Area "), QString("Boston"));
        QVERIFY(w.WaitFor([&] { return f.IsAnyJob(); }));
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->rowCount(), f.Jobs().Count());
        QCOMPARE(w.SearchCell(0, "Count "), QString::number(f.Jobs().Count()));
        QVERIFY(Child<QToolButton>(f, "NewBut")->isEnabled());
        QVERIFY(!Child<QToolButton>(f, "StopBut")->isEnabled());

        // Update from the menu: the dialog comes preset with the search.
        w.answer = [&](QDialog* d) {
            auto* ns = static_cast<TNewSearchForm*>(d);
            captions.push_back(d->windowTitle());
            QCOMPARE(ns->NSKeyword->toPlainText(), QString("welder"));
            QCOMPARE(ns->SearchBut->text(), QString("&Update"));
            QTest::mouseClick(ns->SearchBut, Qt::LeftButton);
        };
        const size_t said = w.prompts.messages.size();
        f.Action("MMUpdate")->trigger();
        QCOMPARE(captions.back(), QString("Update Search"));
        QVERIFY(w.WaitFor([&] { return f.RunState() == rsIdle; }));
        QVERIFY(w.prompts.messages.size() > said);
        // The update says how many jobs it brought, in its message and the status bar.
        QVERIFY(Said(w, "Search Completed. No new jobs."));
        QCOMPARE(f.StatusText(1), QString("Search Completed. No new jobs."));
        QCOMPARE(Child<QTableWidget>(f, "SearchGrid")->rowCount(), 1);

        // Refine from the menu: every job with a text gets a mark.
        w.answer = [&](QDialog* d) {
            auto* r = static_cast<TRefineForm*>(d);
            r->KeyBox->setPlainText("welder");
            QTest::mouseClick(r->RefineBut, Qt::LeftButton);
        };
        f.Action("MMRefine")->trigger();
        QVERIFY(w.WaitFor([&] { return f.RunState() == rsIdle; }));
        QVERIFY(w.WaitFor([&] { return f.IsAnyJob(); }));
        QVERIFY(f.Jobs().HasStatus(kStatusGreen) || f.Jobs().HasStatus(kStatusRed));

        // Grab from the menu: the pages land beside the table.
        f.Action("MMGrabAll")->trigger();
        QVERIFY(w.WaitFor([&] { return f.RunState() == rsIdle; }));
        QVERIFY(w.WaitFor([&] { return f.IsAnyJob(); }));
        bool grabbed = false;
        for (int i = 0; i < f.Jobs().Count(); ++i)
            grabbed |= !f.Jobs()[i].LocalFile.empty();
        QVERIFY(grabbed);
        f.UpdateMenus();
        QVERIFY(f.Action("MMDeleteGrabbed")->isEnabled());
    }

    // No board answering (no network): said so, and the search counts 0 jobs, not blank.
    void reachingNoBoardSaysSoAndCountsZero() {
        tessaly::test::TBoardsHome home;
        // Beta Jobs is unreachable.
        tessaly::test::DisableBoards(home.Path(), {"Alpha Jobs", "Delta Jobs"});
        TWindow w(home.Path());
        TVelaMainForm& f = w.Form();
        w.answer = [](QDialog* d) { AnswerNewSearch(d, "welder"); };
        f.Action("MMNew")->trigger();
        QVERIFY(w.WaitFor([&] { return f.RunState() == rsIdle; }));
        const char* said = "No job site could be reached. Check the connection settings.";
        QVERIFY(Said(w, said));
        QVERIFY(!Said(w, "Search Completed."));
        QCOMPARE(f.StatusText(1), QString(said));
        QTRY_COMPARE(w.SearchCell(0, "Count "), QString("0"));
    }

    void cancelledNewSearchLeavesNothing() {
        tessaly::test::TBoardsHome home;
        TWindow w(home.Path());
        w.answer = nullptr;  // cancelled
        w->Action("MMNew")->trigger();
        QCOMPARE(w->Searches().Count(), 0);
        QCOMPARE(w->RunState(), rsIdle);
        QVERIFY(!w->IsAnySearch());
    }

    void closingDuringASearchWaitsForTheLastRequest() {
        tessaly::test::TBoardsHome home;
        TWindow w(home.Path());
        TVelaMainForm& f = w.Form();
        f.Engine().Http().TimeOut = 0;  // the stalling board holds its request until stopped
        f.show();
        w.answer = [](QDialog* d) { AnswerNewSearch(d, "welder"); };
        f.Action("MMNew")->trigger();
        QVERIFY(w.WaitFor([&] {
            const int alpha = ProgressLine(f, "Alpha Jobs");
            return alpha >= 0 && f.GetProgressForm()->Cell(alpha, 3) == "Done" &&
                   home.boards.deltaHits > 0 && f.Engine().Http().IsBusy();
        }));
        f.close();
        // Refused while the request runs; the run ends through its own completion.
        QVERIFY(f.isVisible());
        QVERIFY(w.WaitFor([&] { return !f.isVisible(); }));
        // Closing stops the requests without changing the run state: the run reports its
        // end as any run does.
        QCOMPARE(f.RunState(), rsIdle);
        QVERIFY(Said(w, "Search Completed.") || Said(w, "Search Aborted."));
        TVelaSearchesList saved;
        saved.LoadIndex(SearchesIndexPath(home.Path()));
        QCOMPARE(saved.Count(), 1);
        QVERIFY(saved[0].JobCount > 0);
    }
};

QTEST_MAIN(SearchRunTest)
#include "SearchRunTest.moc"
