// The remote window over a sample listing: the filters, the browse-time moment, opening
// jobs, highlighting, notes, deleting, sorting through the main listing, the enabling
// rules, the column widths and minimising.
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "UiTestSupport.h"
#include "data/ConfigBox.h"
#include "search/SearchEngine.h"
#include "ui/JobGrid.h"
#include "ui/QtText.h"
#include "ui/VelaJobTranslator.h"
#include "ui/VelaMain.h"
#include "ui/VelaRemote.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;

namespace {

TSampleJob Job(const std::string& title, uint8_t rel = 4, uint8_t status = kStatusWhite) {
    TSampleJob j;
    j.Title = title;
    j.Company = title + " Inc";
    j.Location = "Boston";
    j.Source = "Table Board";
    j.Relevancy = rel;
    j.Status = status;
    return j;
}

TSampleJob Grabbed(const std::string& title, uint8_t rel = 4) {
    TSampleJob j = Job(title, rel);
    j.LocalFile = "/home/user/searches/velares~1/" + title + ".html";
    return j;
}

QString Cell(TRemoteForm& r, int row, const char* header) {
    const int col = r.GetColIdx(header);
    return col >= 0 ? r.JobGrid->Text(row, col) : QString();
}

QString Hint(TRemoteForm& r, int row, const char* header) {
    const int col = r.GetColIdx(header);
    return col >= 0 ? r.JobGrid->Data(row, col, Qt::ToolTipRole).toString() : QString();
}

QStringList Titles(TRemoteForm& r) {
    QStringList t;
    for (int row = 0; row < r.JobGrid->rowCount(); ++row)
        t << Cell(r, row, "Job ");
    return t;
}

int RowOf(TRemoteForm& r, const QString& title) {
    return Titles(r).indexOf(title);
}

// Records the browse-time moment's outside effects.
struct TMoment {
    int popups = 0, banners = 0;
    void Watch(TRemoteForm& r) {
        r.OnPopupMessage = [this] { ++popups; };
        r.OnPopBanner = [this] { ++banners; };
    }
};

// The listing sorted by relevancy, as options saved earlier say (a first start sorts by
// the notes column).
void SortByRelevancy(TSampleHome& home) {
    TConfigBox options;
    options.WriteString("JobGrid", "SortColumn", "5");
    options.SaveToFile(home.File("options.box"));
}

}  // namespace

class RemoteFormTest : public QObject {
    Q_OBJECT

  private slots:
    void dialogsShowOverTheRemoteWindowWhileTheMainOneIsMinimised() {
        TSampleHome home;
        home.AddSearch("welder", "Massachusetts", "Engineering", SampleJobs());
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        std::vector<QWidget*> owners;
        w.answer = [&](QDialog* d) { owners.push_back(d->parentWidget()); };
        f.MMBrowseClick("All");
        QVERIFY(f.isMinimized());
        f.TranslateJob(0);
        f.GetRemoteForm()->close();
        f.TranslateJob(0);
        QCOMPARE(owners.size(), size_t{2});
        QCOMPARE(owners[0], f.GetRemoteWindow());
        QCOMPARE(owners[1], static_cast<QWidget*>(&f));
        // The dialog belongs to the main window again after showing over the remote one.
        QCOMPARE(Child<ui::TJobTranslator>(f, "JobTranslator")->parentWidget(),
                 static_cast<QWidget*>(&f));
    }

    void eachFilterListsItsJobsAndNeverDeletedOnes() {
        TSampleHome home;
        auto jobs = SampleJobs();
        TSampleJob gone = Job("Deleted Welder", kRelevancyDeleted, kStatusNew);
        gone.High = true;
        jobs.push_back(gone);
        home.AddSearch("welder", "Massachusetts", "Engineering", jobs);
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        QCOMPARE(f.GetRemoteWindow(), static_cast<QWidget*>(&r));
        QCOMPARE(f.GetRemoteGrid(), r.JobGrid);
        QCOMPARE(r.windowTitle(), QString("Remote Control"));

        const std::pair<const char*, QStringList> cases[] = {
            {"New", {"Pipe Welder"}},
            {"High", {"Senior Welder"}},
            {"Green", {"Welding Inspector"}},
            {"All", w.Titles()}};  // the main listing's order, which leaves deleted jobs out
        for (const auto& [filter, expected] : cases) {
            f.MMBrowseClick(filter);
            QVERIFY2(r.isVisible(), filter);
            QCOMPARE(Titles(r), expected);
            QVERIFY(!Titles(r).contains("Deleted Welder"));
            QVERIFY(f.isMinimized());
            r.close();
            QVERIFY(!r.isVisible());
            QVERIFY(!f.isMinimized());
        }

        // Cells and hints of one row.
        f.MMBrowseClick("All");
        const int row = RowOf(r, "Senior Welder");
        QCOMPARE(Cell(r, row, "Relevancy "), QString("(4)"));  // "(4) High" in the main window
        QCOMPARE(Hint(r, row, "Relevancy "), QString("High"));
        QCOMPARE(Cell(r, row, " "), QString("     "));
        QCOMPARE(Hint(r, row, " "), QString("Highlighted Online Job"));
        QCOMPARE(Hint(r, row, "Job "), QString("Title: Senior Welder\nCompany: Lowell Works\n"
                                               "Location: Lowell, Massachusetts\nSource: List "
                                               "Board"));
        QCOMPARE(Hint(r, row, "Notes "), QString("Click to enter notes"));
        const int cafe = RowOf(r, QString::fromUtf8("Caf\xc3\xa9 Manager"));
        QCOMPARE(Hint(r, cafe, "Notes "), QString("call back Monday"));
        QCOMPARE(Hint(r, cafe, "Relevancy "), QString("Lowest"));
        const int grabbed = RowOf(r, QString::fromUtf8("Ing\xc3\xa9nieur soudage"));
        QCOMPARE(Hint(r, grabbed, " "), QString("Grabbed Job"));
        QVERIFY(r.JobGrid->isColumnHidden(r.GetColIdx("RemoteIndex")));
        // The index cell leads to the very job of the row.
        QCOMPARE(r.GetJobAtRow(row)->Title, std::string("Senior Welder"));

        // Open with one filter, then another: the list follows.
        f.MMBrowseClick("Green");
        QCOMPARE(Titles(r), QStringList{"Welding Inspector"});
        // Hidden without being closed, the window still opens afresh on the next command.
        r.hide();
        f.MMBrowseClick("New");
        QVERIFY(r.isVisible());
        QCOMPARE(Titles(r), QStringList{"Pipe Welder"});
        r.close();
        QVERIFY(!f.isMinimized());
    }

    void nothingMatchingClosesAtOnceAndRestoresTheMainWindow() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Alpha"), Job("Bravo")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.Engine().Descriptor().WriteString("Popup", "Mode", "OnBrowse");
        f.Engine().Descriptor().WriteString("Features", "URLOnBrowse", "http://maker.test/browse");
        TMoment m;
        m.Watch(r);
        f.show();
        for (const char* filter : {"New", "High", "Green"}) {
            f.MMBrowseClick(filter);
            QVERIFY2(!r.isVisible(), filter);
            QVERIFY(!f.isMinimized());
            QVERIFY(!r.Timer->isActive());
        }
        // A window that closed at once had no browse-time moment.
        QCOMPARE(m.popups, 0);
        QCOMPARE(m.banners, 0);
        QVERIFY(w.opened.empty());
        QCOMPARE(w.Titles(), (QStringList{"Alpha", "Bravo"}));
    }

    void browseTimeMomentOnlyWhenSomeJobIsNotGrabbed() {
        TSampleHome home;
        TSampleJob high = Grabbed("Alpha");
        high.High = true;
        home.AddSearch("all grabbed", "Texas", "Engineering", {high, Grabbed("Bravo")});
        // The online job is one the filter hides.
        home.AddSearch("one online", "Texas", "Engineering", {high, Job("Charlie")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.Engine().Descriptor().WriteString("Popup", "Mode", "OnBrowse");
        f.Engine().Descriptor().WriteString("Features", "URLOnBrowse", "http://maker.test/browse");
        TMoment m;
        m.Watch(r);

        f.MMBrowseClick("High");
        QVERIFY(r.isVisible());
        QCOMPARE(m.popups, 0);
        QCOMPARE(m.banners, 0);
        QVERIFY(w.opened.empty());
        r.close();

        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(1, 0);
        QVERIFY(w.WaitFor([&] { return w.Titles().contains("Charlie"); }));
        f.MMBrowseClick("High");
        QCOMPARE(Titles(r), QStringList{"Alpha"});
        QCOMPARE(m.popups, 1);
        QCOMPARE(m.banners, 1);
        QCOMPARE(w.opened.size(), size_t(1));
        QCOMPARE(w.opened[0], std::make_pair(std::string("http://maker.test/browse"), false));
        r.close();

        // Another pop-up moment: no message, but the address and the banner still come.
        f.Engine().Descriptor().WriteString("Popup", "Mode", "OnOpen");
        f.Engine().Descriptor().WriteString("Features", "URLOnBrowse", "");
        f.MMBrowseClick("All");
        QCOMPARE(m.popups, 1);
        QCOMPARE(m.banners, 2);
        QCOMPARE(w.opened.size(), size_t(1));
        r.close();
    }

    void timerFollowsTheProgressWindowOption() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Alpha")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.Options().ProgressOnTop = true;
        f.Options().RemoteOnTop = false;
        f.MMBrowseClick("All");
        QVERIFY(r.Timer->isActive());
        QCOMPARE(r.Timer->interval(), 1000);
        QVERIFY(!(r.windowFlags() & Qt::WindowStaysOnTopHint));
        r.close();
        QVERIFY(!r.Timer->isActive());

        f.Options().ProgressOnTop = false;
        f.Options().RemoteOnTop = true;
        f.MMBrowseClick("All");
        QVERIFY(r.isVisible());
        QVERIFY(!r.Timer->isActive());
        QVERIFY(r.windowFlags() & Qt::WindowStaysOnTopHint);
        // Changing the option while the window shows keeps it open and listed.
        r.SetStayOnTop(false);
        QVERIFY(r.isVisible());
        QVERIFY(!(r.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(f.isMinimized());
        QCOMPARE(Titles(r), QStringList{"Alpha"});
        // So does the options dialog setting the flag on the window directly.
        TMoment m;
        m.Watch(r);
        QWidget* window = f.GetRemoteWindow();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        window->show();
        QVERIFY(r.isVisible());
        QVERIFY(f.isMinimized());
        QCOMPARE(m.banners, 0);
        r.close();
    }

    void titleOpensTheGrabbedCopyAndReloadTheWebAddress() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Grabbed("Alpha", 5), Job("Bravo", 3)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.Options().HotlinkTitles = false;  // the remote window always links its titles
        f.MMBrowseClick("All");
        QVERIFY(!f.JobsModified());
        const int title = r.GetColIdx("Job ");
        const int alpha = RowOf(r, "Alpha"), bravo = RowOf(r, "Bravo");

        r.JobGridClickCell(alpha, title);
        QCOMPARE(w.opened.back(),
                 std::make_pair(std::string("/home/user/searches/velares~1/Alpha.html"), false));
        QVERIFY(r.GetJobAtRow(alpha)->Visited);
        QVERIFY(f.JobsModified());

        r.JobGrid->setCurrentCell(alpha, title);
        r.JMReloadClick();
        QCOMPARE(w.opened.back(),
                 std::make_pair(std::string("http://table.example.test/job/Alpha"), false));

        QVERIFY(!r.GetJobAtRow(bravo)->Visited);
        r.JobGridClickCell(bravo, title);
        QCOMPARE(w.opened.back(),
                 std::make_pair(std::string("http://table.example.test/job/Bravo"), false));
        QVERIFY(r.GetJobAtRow(bravo)->Visited);
        QCOMPARE(w.opened.size(), size_t(3));

        // The header row and the relevancy column open nothing.
        r.JobGridClickCell(-1, title);
        r.JobGridClickCell(bravo, r.GetColIdx("Relevancy "));
        QCOMPARE(w.opened.size(), size_t(3));
        r.close();
    }

    void highlightingByStatusClickAndButton() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Alpha", 5), Grabbed("Bravo", 3)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.MMBrowseClick("All");
        const int status = r.GetColIdx(" ");
        const int alpha = RowOf(r, "Alpha");
        auto image = [&](int row) { return r.JobGrid->Data(row, status, Qt::UserRole).toInt(); };
        QCOMPARE(image(alpha), 1);  // online, white

        r.JobGridClickCell(alpha, status);
        QVERIFY(r.GetJobAtRow(alpha)->High);
        QCOMPARE(image(alpha), 2);
        QCOMPARE(Hint(r, alpha, " "), QString("Highlighted Online Job"));
        QVERIFY(f.JobsModified());

        const int bravo = RowOf(r, "Bravo");
        r.JobGrid->setCurrentCell(bravo, r.GetColIdx("Job "));
        r.HighBut->click();
        QVERIFY(r.GetJobAtRow(bravo)->High);
        QCOMPARE(image(bravo), 4);  // grabbed, white, highlighted
        r.JobGrid->setCurrentCell(alpha, r.GetColIdx("Job "));
        r.MenuItem("JMHighlight")->trigger();
        QVERIFY(!r.GetJobAtRow(alpha)->High);
        QCOMPARE(image(alpha), 1);

        // Closing refills the main listing: it shows the new highlight.
        r.close();
        const int mainRow = w.Titles().indexOf("Bravo");
        QCOMPARE(Child<TJobGrid>(f, "JobGrid")
                     ->Data(mainRow, f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), " "), Qt::UserRole)
                     .toInt(),
                 4);
    }

    void notesAreEditedWithEnter() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Alpha", 5), Job("Caf\xe9 Chef", 3)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.MMBrowseClick("All");
        const int notes = r.GetColIdx("Notes ");
        const int chef = RowOf(r, QString::fromUtf8("Caf\xc3\xa9 Chef"));

        r.JobGridClickCell(chef, notes);
        QVERIFY(r.EditingNotes());
        QCOMPARE(r.JobGrid->selectionBehavior(), QAbstractItemView::SelectItems);
        auto* editor = r.JobGrid->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(QString::fromUtf8("tr\xc3\xa8s bien"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(r.GetJobAtRow(chef)->Notes, std::string("tr\xc3\xa8s bien"));
        QVERIFY(f.JobsModified());
        QVERIFY(!r.EditingNotes());
        QCOMPARE(r.JobGrid->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(r.JobGrid->currentRow(), chef);
        QCOMPARE(Cell(r, chef, "Notes "), QString::fromUtf8("tr\xc3\xa8s bien"));
        QCOMPARE(Hint(r, chef, "Notes "), QString::fromUtf8("tr\xc3\xa8s bien"));

        // "Comment" opens the same editor on the selected row.
        const int alpha = RowOf(r, "Alpha");
        r.JobGrid->setCurrentCell(alpha, r.GetColIdx("Job "));
        r.CommentBut->click();
        QTRY_VERIFY(r.JobGrid->findChild<QLineEdit*>() &&
                    r.JobGrid->findChild<QLineEdit*>()->isVisible());
        editor = r.JobGrid->findChild<QLineEdit*>();
        editor->setText("call them");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(r.GetJobAtRow(alpha)->Notes, std::string("call them"));
        r.close();
        // The note is saved before another table is loaded.
        f.GridTimerTimer();
        QVERIFY(!f.JobsModified());
        bool found = false;
        for (int i = 0; i < f.Jobs().Count(); ++i)
            found = found || f.Jobs()[i].Notes == "call them";
        QVERIFY(found);
    }

    void deletingHidesTheJobAndTheLastOneClosesTheWindow() {
        TSampleHome home;
        home.AddSearch(
            "x", "Texas", "Engineering",
            {Job("Alpha", 5, kStatusNew), Job("Bravo", 4, kStatusNew), Job("Charlie", 3)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.MMBrowseClick("New");
        QCOMPARE(Titles(r), (QStringList{"Alpha", "Bravo"}));
        r.JobGrid->setCurrentCell(RowOf(r, "Alpha"), r.GetColIdx("Job "));
        // The menu item asks first, over the remote window.
        QWidget* askedOver = nullptr;
        w.answer = [&](QDialog* d) {
            askedOver = d->parentWidget();
            auto* box = qobject_cast<QMessageBox*>(d);
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        };
        r.MenuItem("JMDelete")->trigger();
        QCOMPARE(askedOver, static_cast<QWidget*>(&r));
        QCOMPARE(Titles(r), QStringList{"Bravo"});
        QVERIFY(f.JobsModified());
        QVERIFY(r.isVisible());
        // The main listing drops it as the window closes.
        r.JMDeleteClick();
        QVERIFY(!r.isVisible());
        QVERIFY(!f.isMinimized());
        QCOMPARE(w.Titles(), QStringList{"Charlie"});
        // Deleted jobs stay out whatever the filter.
        f.MMBrowseClick("All");
        QCOMPARE(Titles(r), QStringList{"Charlie"});
        QVERIFY(f.isMinimized());
        // Escape closes the window like its close box.
        QTest::keyClick(&r, Qt::Key_Escape);
        QVERIFY(!r.isVisible());
        QVERIFY(!f.isMinimized());
    }

    void sortingGoesThroughTheMainListing() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering",
                       {Job("Bravo", 3), Job("Alpha", 5), Job("Delta", 2), Job("Charlie", 4)});
        SortByRelevancy(home);
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.MMBrowseClick("All");
        QCOMPARE(Titles(r), (QStringList{"Alpha", "Charlie", "Bravo", "Delta"}));
        r.SortJobsbyClick();
        QVERIFY(r.MenuItem("byRelevancy")->isChecked());
        QVERIFY(r.MenuItem("Ascending")->isChecked());

        // The selected job stays selected through the new order.
        r.JobGrid->setCurrentCell(RowOf(r, "Bravo"), r.GetColIdx("Job "));
        r.MenuItem("byTitle")->trigger();
        QCOMPARE(Titles(r), (QStringList{"Alpha", "Bravo", "Charlie", "Delta"}));
        QCOMPARE(w.Titles(), Titles(r));
        QCOMPARE(f.Engine().Sort().Column, TJobColumn::Title);
        QCOMPARE(r.JobGrid->currentRow(), RowOf(r, "Bravo"));

        r.MenuItem("Descending")->trigger();
        QCOMPARE(Titles(r), (QStringList{"Delta", "Charlie", "Bravo", "Alpha"}));
        QCOMPARE(w.Titles(), Titles(r));
        QVERIFY(f.Engine().Sort().Descending);
        r.SortJobsbyClick();
        QVERIFY(r.MenuItem("byTitle")->isChecked());
        QVERIFY(!r.MenuItem("byRelevancy")->isChecked());
        QVERIFY(r.MenuItem("Descending")->isChecked());

        // A column chosen while descending keeps the direction the menu ticks.
        r.MenuItem("byRelevancy")->trigger();
        QCOMPARE(Titles(r), (QStringList{"Delta", "Bravo", "Charlie", "Alpha"}));
        QCOMPARE(w.Titles(), Titles(r));
        r.MenuItem("Ascending")->trigger();
        QCOMPARE(Titles(r), (QStringList{"Alpha", "Charlie", "Bravo", "Delta"}));
        r.close();
    }

    void followsTheMainListingWhileOpen() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Alpha", 3), Job("Bravo", 5)});
        home.AddSearch("y", "Texas", "Engineering", {Job("Zulu", 4)});
        home.AddSearch("z", "Texas", "Engineering", {Job("Yankee", 4, kStatusNew)});
        SortByRelevancy(home);
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.MMBrowseClick("All");
        QCOMPARE(Titles(r), (QStringList{"Bravo", "Alpha"}));
        auto rowsNameTheirJobs = [&] {
            for (int row = 0; row < r.JobGrid->rowCount(); ++row)
                if (FromBytes(r.GetJobAtRow(row)->Title) != Cell(r, row, "Job ")) return false;
            return true;
        };
        // The main window reorders its list: every row still leads to its own job.
        f.SortGridClick("Title");
        QCOMPARE(Titles(r), (QStringList{"Alpha", "Bravo"}));
        QVERIFY(rowsNameTheirJobs());
        r.JobGrid->setCurrentCell(RowOf(r, "Bravo"), r.GetColIdx("Notes "));
        r.JMHighlightClick();
        QVERIFY(f.Jobs()[f.Jobs()[0].Title == "Bravo" ? 0 : 1].High);

        // Another search loads: its jobs, or the window closes when none match.
        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(1, 0);
        QVERIFY(w.WaitFor([&] { return Titles(r) == QStringList{"Zulu"}; }));
        QVERIFY(rowsNameTheirJobs());
        r.close();
        f.MMBrowseClick("New");
        QVERIFY(!r.isVisible());
        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(2, 0);
        QVERIFY(w.WaitFor([&] { return w.Titles() == QStringList{"Yankee"}; }));
        f.MMBrowseClick("New");
        QVERIFY(r.isVisible());
        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(1, 0);
        QVERIFY(w.WaitFor([&] { return !r.isVisible(); }));
        QVERIFY(!f.isMinimized());
    }

    void menuAndButtonsFollowTheSelection() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Grabbed("Alpha", 5), Job("Bravo", 3)});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.MMBrowseClick("All");
        const char* perJob[] = {"JMHighlight", "JMComment", "JMTranslateJob", "JMSend", "JMDelete"};
        auto menuState = [&](bool job, bool reload) {
            r.JobMenuPopup();
            for (const char* n : perJob)
                if (r.MenuItem(n)->isEnabled() != job) return false;
            return r.MenuItem("JMReload")->isEnabled() == reload;
        };
        auto buttonState = [&](bool job, bool reload) {
            r.TimerTimer();
            for (QToolButton* b : {r.HighBut, r.CommentBut, r.TranslateBut, r.SendBut})
                if (b->isEnabled() != job) return false;
            return r.ReloadBut->isEnabled() == reload;
        };
        r.JobGrid->setCurrentCell(RowOf(r, "Alpha"), 1);
        QVERIFY(menuState(true, true));
        QVERIFY(buttonState(true, true));
        r.JobGrid->setCurrentCell(RowOf(r, "Bravo"), 1);
        QVERIFY(menuState(true, false));
        QVERIFY(buttonState(true, false));
        r.JobGrid->setCurrentCell(-1, -1);
        QVERIFY(!r.IsAnySelectedJob());
        QVERIFY(menuState(false, false));
        QVERIFY(buttonState(false, false));
        // Nothing selected: the commands do nothing.
        const bool modified = f.JobsModified();
        r.JMHighlightClick();
        r.JMDeleteClick();
        r.JMReloadClick();
        QCOMPARE(Titles(r), (QStringList{"Alpha", "Bravo"}));
        QCOMPARE(f.JobsModified(), modified);
        QVERIFY(w.opened.empty());

        QCOMPARE(r.MenuItem("JMHighlight")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
        QCOMPARE(r.MenuItem("JMComment")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        QCOMPARE(r.MenuItem("JMReload")->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(r.MenuItem("JMCopyURL")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        QCOMPARE(r.MenuItem("JMDelete")->shortcut(), QKeySequence(Qt::Key_Delete));
        QCOMPARE(r.JobMenu->defaultAction(), r.MenuItem("JMHighlight"));
        r.close();
    }

    void columnWidthsShareTheGrid() {
        TSampleHome home;
        std::vector<TSampleJob> few = {Job("Alpha"), Job("Bravo")};
        std::vector<TSampleJob> many;
        for (int i = 0; i < 60; ++i)
            many.push_back(Job("Job " + std::to_string(i)));
        home.AddSearch("few", "Texas", "Engineering", few);
        home.AddSearch("many", "Texas", "Engineering", many);
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.MMBrowseClick("All");
        r.resize(420, 400);
        QTest::qWait(20);
        const int status = r.GetColIdx(" "), job = r.GetColIdx("Job "),
                  rel = r.GetColIdx("Relevancy "), notes = r.GetColIdx("Notes ");
        auto expect = [&](int less) {
            r.JobGrid->setColumnWidth(job, 100);
            r.JobGrid->setColumnWidth(notes, 50);
            r.FormResize();
            const double room = r.JobGrid->width() - less;
            const int relWidth = r.RelevancyWidth();
            QVERIFY(relWidth >= 20);
            const double sum = 26 + 100 + relWidth + 50;
            QCOMPARE(r.JobGrid->columnWidth(status), 26);
            QCOMPARE(r.JobGrid->columnWidth(rel), relWidth);
            QCOMPARE(r.JobGrid->columnWidth(job), int(std::lround(100 * room / sum)));
            QCOMPARE(r.JobGrid->columnWidth(notes), int(std::lround(50 * room / sum)));
            QVERIFY(r.JobGrid->horizontalHeader()->stretchLastSection());
        };
        expect(10);
        r.close();

        Child<QTableWidget>(f, "SearchGrid")->setCurrentCell(1, 0);
        QVERIFY(w.WaitFor([&] { return w.Titles().size() == 60; }));
        f.MMBrowseClick("All");
        QCOMPARE(r.JobGrid->rowCount(), 60);
        expect(22);  // room for the vertical scroll bar

        // The grid never stays scrolled sideways.
        r.JobGrid->horizontalScrollBar()->setRange(0, 100);
        r.JobGrid->horizontalScrollBar()->setValue(40);
        QCOMPARE(r.JobGrid->horizontalScrollBar()->value(), 0);
        r.close();
    }

    void minimisingLeavesTheRemoteWindowOnScreen() {
        TSampleHome home;
        home.AddSearch("x", "Texas", "Engineering", {Job("Alpha")});
        TWindow w(home);
        TVelaMainForm& f = w.Form();
        TRemoteForm& r = *f.GetRemoteForm();
        f.showMaximized();
        f.MMBrowseClick("All");
        QVERIFY(f.isMinimized());
        r.setWindowState(r.windowState() | Qt::WindowMinimized);
        QVERIFY(!r.isMinimized());
        QVERIFY(r.isVisible());
        QVERIFY(f.isMinimized());
        // The main window comes back as it was.
        r.close();
        QVERIFY(!f.isMinimized());
        QVERIFY(f.isMaximized());
        // The program closing closes the remote window too.
        f.MMBrowseClick("All");
        QVERIFY(r.isVisible());
        f.close();
        QVERIFY(!r.isVisible());
    }
};

QTEST_MAIN(RemoteFormTest)
#include "RemoteFormTest.moc"
