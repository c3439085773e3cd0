// The main window over a sample home: grids, sorting, clicks, find, highlight, notes,
// deletions and the enabling rules.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include "UiTestSupport.h"
#include "data/ConfigBox.h"
#include "data/VelaSearches.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"
#include "search/SearchEngine.h"
#include "ui/Contrast.h"
#include "ui/JobGrid.h"
#include "ui/JobImages.h"
#include "ui/VelaFindInResults.h"
#include "ui/VelaMain.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;

namespace {

TSampleJob Job(const std::string& title, const std::string& company, uint8_t rel = 4) {
    TSampleJob j;
    j.Title = title;
    j.Company = company;
    j.Location = "Boston";
    j.Source = "Table Board";
    j.Relevancy = rel;
    return j;
}

// Answers the find dialog with a keyword.
std::function<void(QDialog*)> FindAnswer(const QString& text, bool caseSensitive = false) {
    return [=](QDialog* d) {
        auto* f = static_cast<TFindInResultsForm*>(d);
        f->FindEdit->setText(text);
        f->CheckCase->setChecked(caseSensitive);
        QTest::keyClick(f->FindEdit, Qt::Key_Return);
    };
}

}  // namespace

// The width the shown columns of a grid take together.
int VisibleColumnsWidth(const QTableView* grid) {
    int sum = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (!grid->isColumnHidden(c)) sum += grid->columnWidth(c);
    return sum;
}

// The widths of a grid's shown columns, in column order.
QList<int> ShownWidths(const QTableView* grid) {
    QList<int> widths;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (!grid->isColumnHidden(c)) widths << grid->columnWidth(c);
    return widths;
}

// Clicks a row of the search list, as a user selects a search.
void ClickSearch(QTableWidget* searches, int row) {
    const QRect cell = searches->visualRect(searches->model()->index(row, 0));
    QTest::mouseClick(searches->viewport(), Qt::LeftButton, {}, cell.center());
}

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void gridsShowTheSearchesAndTheSelectedListing() {
        TSampleHome home;
        home.AddSearch("welder", "Massachusetts", "Engineering", SampleJobs());
        home.AddSearch("cook", "Texas", "Hospitality", {Job("Line Cook", "Diner")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QCOMPARE(Child<QTableWidget>(f, "SearchGrid")->rowCount(), 2);
        QCOMPARE(w.SearchCell(0, "Keywords "), QString("welder"));
        QCOMPARE(w.SearchCell(1, "Area "), QString("Texas"));
        QCOMPARE(w.SearchCell(1, "SearchIndex"), QString("1"));
        // The date column is narrow: its hint holds the whole date and time.
        const QTableWidgetItem* date =
            Child<QTableWidget>(w.Form(), "SearchGrid")
                ->item(0, w->GetColIdx(Child<QTableWidget>(w.Form(), "SearchGrid"), "Date "));
        QVERIFY(date && !date->text().isEmpty());
        QCOMPARE(date->toolTip(), date->text());
        QVERIFY(
            Child<QTableWidget>(f, "SearchGrid")
                ->isColumnHidden(f.GetColIdx(Child<QTableWidget>(f, "SearchGrid"), "SearchIndex")));
        QVERIFY(Child<TJobGrid>(f, "JobGrid")
                    ->isColumnHidden(f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "JobIndex")));
        // Default order: most relevant first; relevancy as words; texts decoded.
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->rowCount(), 8);
        QCOMPARE(w.JobCell(0, "Relevancy "), QString("(5) Highest"));
        QCOMPARE(w.JobCell(7, "Relevancy "), QString("(1) Lowest"));
        QVERIFY(w.Titles().contains(QString::fromUtf8("Caf\xc3\xa9 Manager")));
        QVERIFY(w.Titles().contains(QString::fromUtf8("Ing\xc3\xa9nieur soudage")));
        QCOMPARE(w.SearchCell(0, "Count "), QString("8"));
        // The status cell carries the job's image and its hint.
        const int row = w.Titles().indexOf("Welding Inspector");
        const int status = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), " ");
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->Data(row, status, Qt::UserRole).toInt(),
                 15);  // online, validated
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->Data(row, status, Qt::ToolTipRole).toString(),
                 QString("Validated Online Job"));
        const int notes = w.Titles().indexOf("Senior Welder");
        QCOMPARE(
            Child<TJobGrid>(f, "JobGrid")
                ->Data(notes, f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Notes"), Qt::ToolTipRole)
                .toString(),
            QString("Click to enter notes"));

        // Another search: its table is loaded when the grid timer fires.
        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(1, 0);
        QVERIFY(w.WaitFor([&] { return w.Titles() == QStringList{"Line Cook"}; }));
        QCOMPARE(w.SearchCell(1, "Count "), QString("1"));
    }

    void imagesFollowStatusGrabAndHighlight() {
        QCOMPARE(static_cast<int>(JobImages().size()), 20);
        for (const QPixmap& p : JobImages())
            QVERIFY(!p.isNull());
        TVelaJob j;
        j.Status = kStatusGreen;
        QCOMPARE(JobImageHint(j), QString("Validated Online Job"));
        j.High = true;
        j.LocalFile = "x.html";
        j.Status = kStatusRed;
        QCOMPARE(JobImageHint(j), QString("Highlighted Invalidated Grabbed Job"));
        // A new job shows its star whether highlighted or not, and says both.
        j = TVelaJob{};
        j.Status = kStatusNew;
        QCOMPARE(JobImageHint(j), QString("New Online Job"));
        const QImage star = JobImages()[size_t(JobStatusImage(j))].toImage();
        j.High = true;
        QCOMPARE(JobImageHint(j), QString("Highlighted New Online Job"));
        const QImage both = JobImages()[size_t(JobStatusImage(j))].toImage();
        j.Status = kStatusWhite;
        const QImage high = JobImages()[size_t(JobStatusImage(j))].toImage();
        QVERIFY(both != high);
        QVERIFY(both != star);
        // The star's orange shows in the middle of both.
        QCOMPARE(both.pixelColor(8, 8), star.pixelColor(8, 8));
    }

    void sortingByHeaderAndBySubmenu() {
        TSampleHome home;
        auto jobs = std::vector<TSampleJob>{Job("Bravo", "Zeta", 3), Job("Alpha", "Yank", 5),
                                            Job("Charlie", "Xray", 2)};
        jobs[0].Notes = "b note";
        jobs[1].Notes = "c note";
        jobs[2].Notes = "a note";
        home.AddSearch("x", "Texas", "Engineering", jobs);
        // Sorted by relevancy, as the options last said.
        TConfigBox options;
        options.WriteString("JobGrid", "SortColumn", "5");
        options.SaveToFile(home.File("options.box"));
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QCOMPARE(w.Titles(), (QStringList{"Alpha", "Bravo", "Charlie"}));  // by relevancy

        // A header click: the grid sorts by the texts, a second click reverses.
        const int company = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Company ");
        Child<TJobGrid>(f, "JobGrid")->horizontalHeader()->sectionClicked(company);
        QCOMPARE(w.Titles(), (QStringList{"Charlie", "Alpha", "Bravo"}));
        Child<TJobGrid>(f, "JobGrid")->horizontalHeader()->sectionClicked(company);
        QCOMPARE(w.Titles(), (QStringList{"Bravo", "Alpha", "Charlie"}));
        QCOMPARE(f.Engine().Sort().Column, TJobColumn::Company);
        QVERIFY(f.Engine().Sort().Descending);

        // The submenu sorts the list: notes by their text, in the ticked direction.
        f.SortGridClick("Ascending");
        f.SortGridClick("Notes");
        QCOMPARE(w.Titles(), (QStringList{"Charlie", "Bravo", "Alpha"}));
        QCOMPARE(f.Engine().Sort().Column, TJobColumn::Notes);
        f.SortGridClick("Descending");
        QCOMPARE(w.Titles(), (QStringList{"Alpha", "Bravo", "Charlie"}));
        f.SortJobsbyClick();
        QVERIFY(Child<QMenu>(f, "SortJobsby")->findChild<QAction*>("SortNotes")->isChecked());
        QVERIFY(Child<QMenu>(f, "SortJobsby")->findChild<QAction*>("SortDescending")->isChecked());

        // While a run goes on, header clicks do nothing.
        f.SetRunState(rsSearching);
        Child<TJobGrid>(f, "JobGrid")
            ->horizontalHeader()
            ->sectionClicked(f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title "));
        QCOMPARE(w.Titles(), (QStringList{"Alpha", "Bravo", "Charlie"}));
        f.SetRunState(rsIdle);
    }

    void movedColumnsKeepTheSortColumnOnReload() {
        TSampleHome home;
        home.AddSearch(
            "x", "Texas", "Engineering",
            {Job("Bravo", "Zeta", 3), Job("Alpha", "Yank", 5), Job("Charlie", "Xray", 2)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QHeaderView* h = Child<TJobGrid>(f, "JobGrid")->horizontalHeader();
        h->moveSection(h->visualIndex(f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title ")), 5);
        f.SortGridClick("Ascending");
        f.SortGridClick("Title");
        // Loading the search again sorts by the same column, wherever it is shown.
        f.GridTimerTimer();
        QCOMPARE(w.Titles(), (QStringList{"Alpha", "Bravo", "Charlie"}));
        QCOMPARE(h->sortIndicatorSection(), f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title "));
    }

    void statusAndTitleClicks() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Alpha", "Yank")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        const int status = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), " ");
        const int title = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title ");
        f.JobGridClickCell(0, status);
        QVERIFY(f.Jobs()[0].High);
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->Data(0, status, Qt::UserRole).toInt(), 2);
        QVERIFY(f.JobsModified());

        f.Options().HotlinkTitles = false;
        f.JobGridClickCell(0, title);
        QVERIFY(w.opened.empty());
        f.Options().HotlinkTitles = true;
        f.JobGridClickCell(0, title);
        QCOMPARE(w.opened.size(), size_t{1});
        QCOMPARE(w.opened[0].first, std::string("http://table.example.test/job/Alpha"));
        QVERIFY(!w.opened[0].second);
        QVERIFY(f.Jobs()[0].Visited);

        f.SelectGridRow(0);
        f.MMCopyURLClick();
        QCOMPARE(QApplication::clipboard()->text(), QString("http://table.example.test/job/Alpha"));
    }

    void otherBoardsOfAnOpeningShowAndOpenFromThePopUp() {
        TSampleHome home;
        TSampleJob a = Job("Alpha", "Yank");
        a.AlsoOn = {{"Jobicy", "http://jobicy.test/1"},
                    {"Smith & Co careers", "http://smith.test/1"}};
        home.AddSearch("x", "Texas", "Engineering", {a, Job("Bravo", "Yank")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        auto* grid = Child<TJobGrid>(f, "JobGrid");
        const int source = f.GetColIdx(grid, "Source ");
        const int row = grid->Model().RowOf(0);
        QCOMPARE(grid->Text(row, source), QString("Table Board +2"));
        QCOMPARE(grid->Data(row, source, Qt::ToolTipRole).toString(),
                 QString("Table Board\nAlso on:\nJobicy\nSmith & Co careers"));
        QCOMPARE(grid->Text(grid->Model().RowOf(1), source), QString("Table Board"));

        f.SelectGridRow(row);
        f.UpdateMenus();
        auto* also = Child<QMenu>(f, "ResAlsoOn");
        QVERIFY(also->menuAction()->isVisible());
        QCOMPARE(also->actions().size(), 2);
        QCOMPARE(also->actions()[1]->text(), QString("Smith && Co careers"));
        also->actions()[1]->trigger();
        QCOMPARE(w.opened.size(), size_t{1});
        QCOMPARE(w.opened[0].first, std::string("http://smith.test/1"));
        // A job on one board only has no such submenu.
        f.SelectGridRow(grid->Model().RowOf(1));
        f.UpdateMenus();
        QVERIFY(!also->menuAction()->isVisible());
    }

    void notesAreEditedAndWrittenLikeTheJob() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Caf\xe9 Chef", "Le Bistro")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        const int notes = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Notes");
        f.JobGridClickCell(0, notes);
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->selectionBehavior(),
                 QAbstractItemView::SelectItems);
        auto* editor = Child<TJobGrid>(f, "JobGrid")->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(QString::fromUtf8("tr\xc3\xa8s bien"));
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor commits from the event loop.
        QTRY_COMPARE(f.Jobs()[0].Notes,
                     std::string("tr\xc3\xa8s bien"));  // UTF-8, as every stored text
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(f.JobsModified());
        // The change is saved before another table is loaded.
        f.GridTimerTimer();
        QCOMPARE(f.Jobs()[0].Notes, std::string("tr\xc3\xa8s bien"));
        QVERIFY(!f.JobsModified());
    }

    void highlightModesCycle() {
        TSampleHome home;
        auto jobs = std::vector<TSampleJob>{Job("A", "a", 5), Job("B", "b", 4)};
        jobs[0].High = true;
        jobs[1].Status = kStatusNew;
        home.AddSearch("x", "Texas", "Engineering", jobs);
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        Child<TJobGrid>(f, "JobGrid")->selectAll();
        auto highs = [&] { return std::vector<bool>{f.Jobs()[0].High, f.Jobs()[1].High}; };
        f.MMHighSelectedClick();  // toggles each
        QCOMPARE(highs(), (std::vector<bool>{false, true}));
        QCOMPARE(int{f.Jobs()[1].Status}, int{kStatusWhite});
        f.MMHighSelectedClick();  // highlights all
        QCOMPARE(highs(), (std::vector<bool>{true, true}));
        f.MMHighSelectedClick();  // clears all
        QCOMPARE(highs(), (std::vector<bool>{false, false}));
        f.MMHighSelectedClick();  // the fourth press changes nothing
        QCOMPARE(highs(), (std::vector<bool>{false, false}));
        f.MMHighSelectedClick();  // then on with "highlight all"
        QCOMPARE(highs(), (std::vector<bool>{true, true}));
        // A new selected cell starts again with toggling.
        Child<TJobGrid>(f, "JobGrid")->setCurrentCell(1, 1);
        QCOMPARE(f.HighlightMode(), 0);
    }

    void findGoesColumnByColumnInDisplayOrder() {
        TSampleHome home;
        // Rows by relevancy: 1 "Keyco", 2 "key title", 3, 4, 5 "Key again".
        home.AddSearch("x", "Texas", "Engineering",
                       {Job("Alpha", "Keyco", 6), Job("The key title", "b", 5), Job("C", "c", 4),
                        Job("D", "d", 3), Job("Key again", "e", 2)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        const int title = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title ");
        const int company = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Company ");
        w.answer = FindAnswer("key");
        f.MMFindInResultsClick();
        QCOMPARE(f.FoundCol(), title);
        QCOMPARE(f.FoundRow(), 1);
        QVERIFY(f.Action("MMFindInResultsNext")->isEnabled());
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->currentRow(), 1);
        f.MMFindInResultsNextClick();
        QCOMPARE((std::pair{f.FoundCol(), f.FoundRow()}), (std::pair{title, 4}));
        f.MMFindInResultsNextClick();
        QCOMPARE((std::pair{f.FoundCol(), f.FoundRow()}), (std::pair{company, 0}));
        f.MMFindInResultsNextClick();
        QCOMPARE(w.messages.back(), QString("Keyword not found."));
        QVERIFY(!f.Action("MMFindInResultsNext")->isEnabled());

        // Case-sensitive: only "Key again" and "Keyco".
        w.answer = FindAnswer("Key", true);
        f.MMFindInResultsClick();
        QCOMPARE((std::pair{f.FoundCol(), f.FoundRow()}), (std::pair{title, 4}));

        // With the company column moved in front, it is searched first.
        QHeaderView* h = Child<TJobGrid>(f, "JobGrid")->horizontalHeader();
        h->moveSection(h->visualIndex(company), 0);
        w.answer = FindAnswer("key");
        f.MMFindInResultsClick();
        QCOMPARE((std::pair{f.FoundCol(), f.FoundRow()}), (std::pair{company, 0}));

        // Relevancy texts are searched too; a miss says so and Find Next starts over.
        w.answer = FindAnswer("LOW");
        f.MMFindInResultsClick();
        QCOMPARE(w.JobCell(f.FoundRow(), "Relevancy "), QString("(2) Low"));
        f.MMFindInResultsNextClick();
        QCOMPARE(w.JobCell(f.FoundRow(), "Relevancy "), QString("(1) Lowest"));
        w.answer = FindAnswer("nowhere");
        const size_t before = w.messages.size();
        f.MMFindInResultsClick();
        QCOMPARE(w.messages.size(), before + 1);
        QCOMPARE(f.FoundCol(), -1);

        // A cancelled dialog changes nothing.
        w.answer = nullptr;
        f.MMFindInResultsClick();
        QCOMPARE(w.messages.size(), before + 1);
    }

    void findInAnEmptyListing() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {});
        TWindow w(home);
        w.answer = FindAnswer("a");
        w->MMFindInResultsClick();
        QCOMPARE(w.messages.back(), QString("Keyword not found."));
    }

    void deletingJobsHidesThemAndKeepsOneRow() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("A", "a", 5), Job("B", "b", 4)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.SelectGridRow(0);
        f.MMDeleteSelectedClick();
        QCOMPARE(w.Titles(), QStringList{"B"});
        QCOMPARE(int{f.Jobs()[0].Relevancy}, int{kRelevancyDeleted});
        QCOMPARE(w.SearchCell(0, "Count "), QString("1"));
        f.SelectGridRow(0);
        f.MMDeleteSelectedClick();
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->rowCount(), 1);
        QCOMPARE(w.Titles(), QStringList{""});
        QVERIFY(!f.IsAnyJob());
        QVERIFY(!Child<QToolButton>(f, "RefineBut")->isEnabled());
        QVERIFY(!Child<QToolButton>(f, "GrabBut")->isEnabled());
        QVERIFY(!Child<QToolButton>(f, "ToolsBut")->isEnabled());
        QVERIFY(!Child<QToolButton>(f, "BrowseBut")->isEnabled());
        // Deleted jobs are left out when the table is saved.
        f.GridTimerTimer();
        QCOMPARE(f.Jobs().Count(), 0);
    }

    void deletingASearchRemovesItsTableAndRecord() {
        TSampleHome home;
        home.AddSearch("first", "Texas", "Engineering", {Job("A", "a")});
        home.AddSearch("second", "Texas", "Engineering", {Job("B", "b")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        const std::string table = f.Searches()[0].TableFile;
        QVERIFY(FileExists(table));
        f.MMDeleteAllClick();
        QVERIFY(!FileExists(table));
        QCOMPARE(Child<QTableWidget>(f, "SearchGrid")->rowCount(), 1);
        QCOMPARE(w.SearchCell(0, "Keywords "), QString("second"));
        TVelaSearchesList saved;
        saved.LoadIndex(SearchesIndexPath(home.Path()));
        QCOMPARE(saved.Count(), 1);
        QVERIFY(w.WaitFor([&] { return w.Titles() == QStringList{"B"}; }));
    }

    void clearingGrabbedPagesResetsEveryJob() {
        TSampleHome home;
        auto jobs = std::vector<TSampleJob>{Job("A", "a")};
        jobs[0].Status = kStatusGreen;
        jobs[0].LocalFile = "/somewhere/1.html";
        home.AddSearch("x", "Texas", "Engineering", jobs);
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        // No grab folder exists: the jobs are reset all the same.
        f.MMDeleteGrabbedClick();
        QCOMPARE(int{f.Jobs()[0].Status}, int{kStatusWhite});
        QVERIFY(f.Jobs()[0].LocalFile.empty());
        QVERIFY(f.JobsModified());
    }

    void commandsAreOfferedByRunState() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("A", "a")});
        TWindow w(home, false);
        TVelaMainForm& f = w.Form();
        // Starting: everything off.
        for (QToolButton* b : {Child<QToolButton>(f, "NewBut"), Child<QToolButton>(f, "UpdateBut"),
                               Child<QToolButton>(f, "RefineBut"), Child<QToolButton>(f, "GrabBut"),
                               Child<QToolButton>(f, "StopBut"), Child<QToolButton>(f, "HighBut")})
            QVERIFY(!b->isEnabled());
        QVERIFY(f.ReadProductId().ok());
        QVERIFY(f.FirstActivation().ok());
        f.GridTimerTimer();
        // Idle, nothing selected in the listing.
        Child<TJobGrid>(f, "JobGrid")->clearSelection();
        Child<TJobGrid>(f, "JobGrid")->setCurrentCell(-1, -1);
        f.ButtonsState();
        QVERIFY(Child<QToolButton>(f, "NewBut")->isEnabled());
        QVERIFY(Child<QToolButton>(f, "UpdateBut")->isEnabled());
        QVERIFY(Child<QToolButton>(f, "RefineBut")->isEnabled());
        QVERIFY(!Child<QToolButton>(f, "HighBut")->isEnabled());
        QVERIFY(!Child<QToolButton>(f, "StopBut")->isEnabled());
        f.UpdateMenus();
        QVERIFY(!f.Action("MMCopyURL")->isEnabled());
        QVERIFY(!f.Action("MMStop")->isEnabled());
        QVERIFY(!f.Action("MMFindInResultsNext")->isEnabled());
        QVERIFY(f.Action("MMFindInResults")->isEnabled());
        QVERIFY(f.Action("MMDeleteAll")->isEnabled());
        // A job selected.
        f.SelectGridRow(0);
        f.UpdateMenus();
        QVERIFY(Child<QToolButton>(f, "HighBut")->isEnabled());
        QVERIFY(f.Action("MMCopyURL")->isEnabled());
        QVERIFY(f.Action("MMDeleteSelected")->isEnabled());
        QVERIFY(Child<QMenu>(f, "ResPopup")->findChild<QAction*>("ResCopyURL")->isEnabled());
        QVERIFY(!f.Action("MMGrabHigh")->isEnabled());  // no job is highlighted
        // A run: the search commands go off, Stop comes on, Highlight stays.
        w.answer = FindAnswer("A");
        f.MMFindInResultsClick();
        QVERIFY(f.Action("MMFindInResultsNext")->isEnabled());
        f.SetRunState(rsSearching);
        f.UpdateMenus();
        for (QToolButton* b :
             {Child<QToolButton>(f, "NewBut"), Child<QToolButton>(f, "UpdateBut"),
              Child<QToolButton>(f, "RefineBut"), Child<QToolButton>(f, "GrabBut"),
              Child<QToolButton>(f, "ToolsBut"), Child<QToolButton>(f, "BrowseBut")})
            QVERIFY(!b->isEnabled());
        QVERIFY(Child<QToolButton>(f, "StopBut")->isEnabled());
        QVERIFY(Child<QToolButton>(f, "HighBut")->isEnabled());
        QVERIFY(f.Action("MMStop")->isEnabled());
        QVERIFY(!f.Action("MMNew")->isEnabled());
        QVERIFY(!f.Action("MMDeleteSelected")->isEnabled());
        QVERIFY(f.Action("MMCopyURL")->isEnabled());
        QVERIFY(!f.Action("MMFindInResultsNext")->isEnabled());
        QVERIFY(!Child<QMenu>(f, "SearchPopup")
                     ->findChild<QAction*>("SrchFindInResultsNext")
                     ->isEnabled());
        f.SetRunState(rsStopping);
        QVERIFY(!Child<QToolButton>(f, "StopBut")->isEnabled());
        f.SetRunState(rsIdle);
        QVERIFY(Child<QToolButton>(f, "NewBut")->isEnabled());
    }

    void hintsGoToThePanelWhileIdle() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("A", "a")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QStatusTipEvent tip("Update current job listing with newly posted jobs.");
        QApplication::sendEvent(&f, &tip);
        QCOMPARE(f.StatusText(1), QString("Update current job listing with newly posted jobs."));
        f.SetRunState(rsSearching);
        f.SetStatusText(1, "Searching");
        QStatusTipEvent other("Another hint");
        QApplication::sendEvent(&f, &other);
        QCOMPARE(f.StatusText(1), QString("Searching"));
        f.SetRunState(rsIdle);
    }

    void columnWidthsFollowTheWindow() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("A", "a")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        auto visibleSum = [&f] { return VisibleColumnsWidth(Child<TJobGrid>(f, "JobGrid")); };
        f.resize(1000, 600);
        f.FormResize();
        const int status = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), " ");
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->columnWidth(status), 26);
        const int before = visibleSum();
        f.FormResize();
        const int sum = visibleSum();
        // The visible columns share the window's width, less the scroll-bar allowance, the
        // rounding of each column and what the status column gives back when it returns
        // to 26 pixels after its share.
        const int statusShare = 26 * (f.width() - 30) / before;
        QVERIFY(sum <= f.width());
        QVERIFY2(sum >= f.width() - 30 - 8 - (statusShare - 26), qPrintable(QString::number(sum)));
        f.Options().AutoOptimize = false;
        f.FormResize();
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    }

    void captionFollowsTheEdition() {
        TSampleHome home;
        {
            TWindow w(home);
            QCOMPARE(w->windowTitle(), QString("Tessaly Jobs 98"));
        }
        home.WriteId("CCN-01", "Campus Edition");
        TWindow w(home);
        QCOMPARE(w->windowTitle(), QString("Tessaly Jobs 98 - Campus Edition"));
        QCOMPARE(w->Product().Agent(), std::string("TessalyJobs98/1.15 [en]"));
    }

    void theSplashScreenClosesOnceTheSearchesShow() {
        TSampleHome home;
        home.AddSearch("welder", "Texas", "Engineering", SampleJobs());
        TWindow w(home, false);
        QVERIFY(w->ReadProductId().ok());
        auto* splash = new QWidget;
        splash->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<QWidget> alive = splash;
        splash->show();
        w->SplashHandle = splash;
        QVERIFY(w->FirstActivation().ok());
        QVERIFY(w->SplashHandle.isNull());
        QVERIFY(alive.isNull() || !alive->isVisible());
        QCOMPARE(Child<QTableWidget>(w.Form(), "SearchGrid")->rowCount(), 1);
        // A failed activation leaves the splash screen to the caller, which ends the program.
        home.RemoveFile("sources.def");
        TWindow w2(home, false);
        QVERIFY(w2->ReadProductId().ok());
        QWidget second;
        second.show();
        w2->SplashHandle = &second;
        QVERIFY(!w2->FirstActivation().ok());
        QVERIFY(second.isVisible());
        w2->SplashHandle = nullptr;
    }

    void missingFilesAreReported() {
        TSampleHome home;
        home.RemoveFile("sources.def");
        TWindow w(home, false);
        QVERIFY(w->ReadProductId().ok());
        const TResult<void> activated = w->FirstActivation();
        QVERIFY(!activated);
        QVERIFY(activated.error().find("sources.def") != std::string::npos);
        home.RemoveFile("id.box");
        TWindow w2(home, false);
        const TResult<void> read = w2->ReadProductId();
        QVERIFY(!read);
        QVERIFY(read.error().find("id.box") != std::string::npos);
    }
    void theHourglassRefusesDeletionsAndAnotherSearchWhileATableLoads() {
        TSampleHome home;
        home.AddSearch("welder", "Texas", "Engineering", {Job("A", "a"), Job("B", "b")});
        home.AddSearch("cook", "Texas", "Hospitality", {Job("C", "c")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        // The engine sets it around loading a table: a table that fails to load says so
        // while the hourglass shows.
        struct TObserver : TPrompts {
            TVelaMainForm* form = nullptr;
            bool hourglass = false, waitCursor = false;
            void ShowMessage(const std::string&) override {
                hourglass = form->Hourglass();
                waitCursor = QApplication::overrideCursor() &&
                             QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            }
            void Beep() override {}
            bool AskYesNo(const std::string&) override { return false; }
        } observer;
        observer.form = &f;
        WriteFileBytes(f.Searches()[1].TableFile, "not a table");
        TPrompts::SetCurrent(&observer);
        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(1, 0);
        f.GridTimerTimer();
        TPrompts::SetCurrent(&w.prompts);
        QVERIFY(observer.hourglass);
        QVERIFY(observer.waitCursor);
        QVERIFY(!f.Hourglass());
        QVERIFY(!QApplication::overrideCursor());

        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(0, 0);
        f.GridTimerTimer();
        QCOMPARE(w.Titles(), (QStringList{"A", "B"}));
        f.SetHourglass(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        f.SelectGridRow(0);
        f.UpdateMenus();
        QVERIFY(!f.Action("MMDeleteSelected")->isEnabled());
        QVERIFY(!f.findChild<QAction*>("ResDeleteSelected")->isEnabled());
        QVERIFY(!f.Action("MMDeleteAll")->isEnabled());
        QVERIFY(!f.findChild<QAction*>("SrchDeleteAll")->isEnabled());
        f.MMDeleteSelectedClick();
        f.MMDeleteAllClick();
        QCOMPARE(w.Titles(), (QStringList{"A", "B"}));
        QCOMPARE(f.Searches().Count(), 2);
        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(1, 0);
        QCOMPARE(Child<QTableWidget>(f, "SearchGrid")->currentRow(), 0);
        f.SetHourglass(false);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(f.Action("MMDeleteSelected")->isEnabled());
        f.MMDeleteSelectedClick();
        QCOMPARE(w.Titles(), QStringList{"B"});
    }

    void popUpTwinsAreDisabledDuringARun() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("A", "a"), Job("B", "b")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.SelectGridRow(0);
        auto enabled = [&f](const char* name) { return f.findChild<QAction*>(name)->isEnabled(); };
        f.UpdateMenus();
        for (const char* n : {"ResDeleteSelected", "ResFindInResults", "SrchFindInResults"})
            QVERIFY2(enabled(n), n);
        f.SetRunState(rsSearching);
        f.UpdateMenus();
        for (const char* n : {"ResDeleteSelected", "ResFindInResults", "SrchFindInResults"})
            QVERIFY2(!enabled(n), n);
        // What does not change the listing stays.
        QVERIFY(enabled("ResCopyURL"));
        f.SetRunState(rsIdle);
    }

    void aHeaderClickDuringARunLeavesTheOrderAndTheMark() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering",
                       {Job("B", "zeta", 6), Job("A", "alpha", 4), Job("C", "mu", 5)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QVERIFY(ShowExposed(f));
        QHeaderView* h = Child<TJobGrid>(f, "JobGrid")->horizontalHeader();
        const int company = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Company ");
        const int mark = h->sortIndicatorSection();
        const Qt::SortOrder direction = h->sortIndicatorOrder();
        QVERIFY(mark != company);
        const QStringList order = w.Titles();
        auto clickHeader = [&](int col) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(col) + 5, h->height() / 2));
        };
        f.SetRunState(rsSearching);
        clickHeader(company);
        QCOMPARE(w.Titles(), order);
        QCOMPARE(h->sortIndicatorSection(), mark);
        QCOMPARE(h->sortIndicatorOrder(), direction);
        f.SetRunState(rsIdle);
        clickHeader(company);
        QCOMPARE(w.Titles(), (QStringList{"A", "C", "B"}));
        QCOMPARE(h->sortIndicatorSection(), company);
        QCOMPARE(h->sortIndicatorOrder(), Qt::AscendingOrder);
    }

    void columnWidthsAreFittedAgainAfterAFill() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("A", "a"), Job("B", "b")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        f.resize(900, 600);
        const int title = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title ");
        auto visibleSum = [&f] { return VisibleColumnsWidth(Child<TJobGrid>(f, "JobGrid")); };
        Child<TJobGrid>(f, "JobGrid")->setColumnWidth(title, 2000);
        f.JobListToGrid(false);
        QVERIFY2(visibleSum() <= f.width(), qPrintable(QString::number(visibleSum())));
        QVERIFY(Child<TJobGrid>(f, "JobGrid")->columnWidth(title) < 900);
        // Without Auto-optimize the user's widths stay.
        f.Options().AutoOptimize = false;
        Child<TJobGrid>(f, "JobGrid")->setColumnWidth(title, 2000);
        f.JobListToGrid(false);
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")->columnWidth(title), 2000);
    }

    // Switching searches back and forth (and fitting again, as Apply in Options does) never
    // narrows a column: the widths follow the texts, none below its header's.
    void fittedWidthsStayPutAcrossSwitches() {
        TSampleHome home;
        home.AddSearch("welder", "Massachusetts", "Engineering", SampleJobs());
        home.AddSearch("cook", "Texas", "Hospitality", {Job("Line Cook", "Diner")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QVERIFY(ShowExposed(f, {1200, 700}));
        auto* grid = Child<TJobGrid>(f, "JobGrid");
        auto* searches = Child<QTableWidget>(f, "SearchGrid");
        QVERIFY(w.WaitFor([&] { return w.Titles().size() == 8; }));
        const QList<int> jobWidths = ShownWidths(grid), searchWidths = ShownWidths(searches);
        for (int i = 0; i < 15; ++i) {
            ClickSearch(searches, 1);
            QVERIFY(w.WaitFor([&] { return w.Titles() == QStringList{"Line Cook"}; }));
            ClickSearch(searches, 0);
            QVERIFY(w.WaitFor([&] { return w.Titles().size() == 8; }));
            f.FormResize();
        }
        QCOMPARE(ShownWidths(grid), jobWidths);
        QCOMPARE(ShownWidths(searches), searchWidths);
        // There is room for every text at this size: no cell is cut.
        const QAbstractItemView* view = grid;
        for (int c = 0; c < grid->columnCount(); ++c) {
            if (grid->isColumnHidden(c) || c == grid->ColumnOf(TJobColumn::Status)) continue;
            const QString header = grid->model()->headerData(c, Qt::Horizontal).toString();
            QVERIFY2(grid->columnWidth(c) >= grid->horizontalHeader()->sectionSizeHint(c),
                     qPrintable(header));
            QVERIFY2(grid->columnWidth(c) >= view->sizeHintForColumn(c), qPrintable(header));
        }
    }

    // A search without keywords first in the list (made by the command line with ""): the
    // other searches still show their listings and the toolbar stays usable.
    void aSearchWithoutKeywordsLeavesTheOthersWorking() {
        TSampleHome home;
        home.AddSearch("", "Texas", "Engineering", {Job("Any Job", "Acme")});
        home.AddSearch("cook", "Texas", "Hospitality", {Job("Line Cook", "Diner")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        QVERIFY(ShowExposed(f));
        auto* searches = Child<QTableWidget>(f, "SearchGrid");
        QVERIFY(w.WaitFor([&] { return w.Titles() == QStringList{"Any Job"}; }));
        for (const auto& [row, title] : {std::pair{1, "Line Cook"}, std::pair{0, "Any Job"}}) {
            ClickSearch(searches, row);
            QVERIFY2(w.WaitFor([&] { return w.Titles() == QStringList{title}; }), title);
            QVERIFY(f.IsAnySelectedSearch());
            QVERIFY(Child<QToolButton>(f, "UpdateBut")->isEnabled());
            QVERIFY(Child<QToolButton>(f, "RefineBut")->isEnabled());
        }
    }

    // The caption beside the logo stays readable on a dark palette.
    void theLogoCaptionReadsOnADarkPalette() {
        const QPalette before = QApplication::palette();
        QPalette dark = before;
        dark.setColor(QPalette::Window, QColor(53, 53, 53));
        dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
        QApplication::setPalette(dark);
        {
            TSampleHome home;
            TWindow w(home);
            auto* caption = w.Form().findChild<QLabel*>("XkLogoOver");
            QVERIFY(caption);
            const QPalette& p = caption->palette();
            QVERIFY(ContrastRatio(p.color(QPalette::WindowText), p.color(QPalette::Window)) >= 4.5);
        }
        QApplication::setPalette(before);
    }

    void findIgnoresCaseForAToZOnly() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Caf\xe9 Manager", "Bistro")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        const int title = f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title ");
        w.answer = FindAnswer(QString::fromUtf8("cAF\xc3\xa9 MANAGER"));
        f.MMFindInResultsClick();
        QCOMPARE((std::pair{f.FoundCol(), f.FoundRow()}), (std::pair{title, 0}));
        // A capital E with an accent is another letter than a small one.
        w.answer = FindAnswer(QString::fromUtf8("CAF\xc3\x89"));
        f.MMFindInResultsClick();
        QCOMPARE(f.FoundCol(), -1);
        QCOMPARE(w.messages.back(), QString("Keyword not found."));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
