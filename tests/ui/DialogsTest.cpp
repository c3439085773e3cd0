// The new-search, refine, find and progress windows on their own.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

#include "ui/FrameAnimation.h"
#include "ui/QtMainLoop.h"
#include "ui/VelaFindInResults.h"
#include "ui/VelaNewSearch.h"
#include "ui/VelaProgress.h"
#include "ui/VelaRefine.h"

using namespace tessaly;
using namespace tessaly::ui;

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void newSearchListsFillOnceAndKeepTheChoice() {
        TNewSearchForm f;
        f.Init({"Boston", "Texas", "Boston"}, {"Trades", "Hospitality"});
        QCOMPARE(f.NSRegion->count(), 3);
        QCOMPARE(f.Region(), std::string("Boston"));
        QCOMPARE(f.Category(), std::string("Trades"));
        f.NSRegion->setCurrentIndex(1);
        f.NSCategory->setCurrentIndex(1);
        // A later Init (another showing, or after a definitions update) keeps everything.
        f.Init({"Ohio"}, {"Other"});
        QCOMPARE(f.NSRegion->count(), 3);
        QCOMPARE(f.Region(), std::string("Texas"));
        QCOMPARE(f.Category(), std::string("Hospitality"));
    }

    void newSearchAcceptsOnlyWithKeywords() {
        TNewSearchForm f;
        f.Init({"Boston"}, {"Trades"});
        f.show();
        QVERIFY(f.Cancelled());
        QVERIFY(!f.SearchBut->isEnabled());
        f.NSKeyword->setPlainText(" ");  // a blank counts
        QVERIFY(f.SearchBut->isEnabled());
        f.NSKeyword->clear();
        QVERIFY(!f.SearchBut->isEnabled());
        f.NSKeyword->setPlainText("welder\nfitter");
        QCOMPARE(f.Keywords(), std::string("welder\r\nfitter"));
        f.CancelBut->click();
        QVERIFY(f.Cancelled());
        f.show();
        QTest::mouseClick(f.SearchBut, Qt::LeftButton);
        QVERIFY(!f.Cancelled());
        QVERIFY(!f.isVisible());
        // Shown again: cancelled until accepted; Escape keeps it so.
        f.show();
        QVERIFY(f.Cancelled());
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(f.Cancelled());
        QVERIFY(!f.isVisible());
    }

    void newSearchWithoutRegionsCannotBeAccepted() {
        TNewSearchForm f;
        f.Init({}, {"Trades"});
        f.show();
        f.NSKeyword->setPlainText("welder");
        QVERIFY(!f.SearchBut->isEnabled());
    }

    void updatePresetsExactMatchesOnly() {
        TNewSearchForm f;
        f.Init({"Boston", "boston", "Texas", "Boston"}, {"Trades", "Hospitality"});
        f.NSRegion->setCurrentIndex(2);
        f.PrepareUpdate("Nowhere", "Hospitality", "cook\r\nchef");
        QCOMPARE(f.NSRegion->currentIndex(), 2);  // unknown: selection stays
        QCOMPARE(f.NSCategory->currentIndex(), 1);
        QCOMPARE(f.NSKeyword->toPlainText(), QString("cook\nchef"));
        QCOMPARE(f.windowTitle(), QString("Update Search"));
        QCOMPARE(f.SearchBut->text(), QString("&Update"));
        f.PrepareUpdate("Boston", "Trades", "x");
        QCOMPARE(f.NSRegion->currentIndex(), 3);  // the last of the equal ones
        f.PrepareNew();
        QCOMPARE(f.windowTitle(), QString("New Search"));
        QCOMPARE(f.SearchBut->text(), QString("&Search"));
    }

    void refineResetsItsKeywordsAndPairsItsOptions() {
        TRefineForm f;
        QVERIFY(f.ValidModeRadio->isChecked());
        QVERIFY(!f.InvalidNote->isEnabled());
        QVERIFY(f.DownloadBox->isChecked());
        f.show();
        QVERIFY(!f.RefineBut->isEnabled());
        f.KeyBox->setPlainText("certified");
        QVERIFY(f.RefineBut->isEnabled());
        f.InvalidModeRadio->click();
        QVERIFY(f.InvalidModeRadio->isChecked());
        QVERIFY(!f.ValidModeRadio->isChecked());
        QVERIFY(f.InvalidNote->isEnabled());
        QVERIFY(!f.ValidNote->isEnabled());
        f.ValidModeRadio->click();
        QVERIFY(f.ValidModeRadio->isChecked());
        QVERIFY(!f.InvalidModeRadio->isChecked());
        // Unticking the download greys the keep option without changing its tick.
        f.KeepAsGrabbedBox->setChecked(true);
        f.DownloadBox->click();
        QVERIFY(!f.KeepAsGrabbedBox->isEnabled());
        QVERIFY(f.KeepAsGrabbedBox->isChecked());
        QTest::mouseClick(f.RefineBut, Qt::LeftButton);
        QVERIFY(!f.Cancelled());
        // The next showing empties the keywords only.
        f.show();
        QVERIFY(f.Cancelled());
        QVERIFY(f.KeyBox->toPlainText().isEmpty());
        QVERIFY(!f.RefineBut->isEnabled());
        QVERIFY(!f.DownloadBox->isChecked());
        f.close();
        QVERIFY(f.Cancelled());
    }

    void findAcceptsWithEnterAndKeepsItsValues() {
        TFindInResultsForm f;
        f.show();
        QVERIFY(!f.Search->isEnabled());
        QTest::keyClick(f.FindEdit, Qt::Key_Return);  // nothing typed: stays open
        QVERIFY(f.isVisible());
        QTest::keyClicks(f.FindEdit, "weld");
        f.CheckCase->setChecked(true);
        QTest::keyClick(f.FindEdit, Qt::Key_Return);
        QVERIFY(!f.Cancelled());
        QVERIFY(!f.isVisible());
        f.show();
        QVERIFY(f.Cancelled());
        QCOMPARE(f.FindEdit->text(), QString("weld"));
        QVERIFY(f.CheckCase->isChecked());
        f.Cancel->click();
        QVERIFY(f.Cancelled());
    }

    void progressRowsGaugeAndLayout() {
        TQtMainLoop loop;
        TProgressForm f;
        QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
        f.ClearLog();
        QCOMPARE(f.LineCount(), 0);
        QCOMPARE(f.LogGrid->rowCount(), 1);  // the blank line
        const int a = f.AddLine("Alpha Jobs");
        const int b = f.AddLine("Beta Jobs");
        QCOMPARE(a, 0);
        QCOMPARE(b, 1);
        f.SetCell(b, 3, "Unreachable");
        f.SetImage(b, TProgressForm::imgFailed);
        QCOMPARE(f.Cell(b, 0), std::string("Beta Jobs"));
        QCOMPARE(f.Cell(b, 3), std::string("Unreachable"));
        QCOMPARE(f.Image(b), int{TProgressForm::imgFailed});
        QCOMPARE(f.Image(a), int{TProgressForm::imgWaiting});

        f.Gauge->SetMaximum(8);
        f.Gauge->SetPosition(2);
        QCOMPARE(f.Gauge->Percent(), 25);
        f.show();
        // Shown again: the gauge starts from 0 of 0 and the headers are written.
        QCOMPARE(f.Gauge->Maximum(), 0);
        QCOMPARE(f.Gauge->Percent(), 0);
        QCOMPARE(f.LogGrid->horizontalHeaderItem(0)->text(), QString("Job Source"));
        QCOMPARE(f.LogGrid->horizontalHeaderItem(3)->text(), QString("Status"));

        // Too small snaps back.
        f.resize(100, 50);
        f.FormResize();
        QVERIFY(f.width() >= 300);
        QVERIFY(f.height() >= 173);
        f.resize(600, 300);
        f.FormResize();
        // Each column shows its header whole; the room left goes mostly to the names, and
        // together they fill the grid.
        const int w = f.LogGrid->viewport()->width();
        int sum = 0;
        for (int c = 0; c < 4; ++c) {
            const QString header = f.LogGrid->horizontalHeaderItem(c)->text();
            QVERIFY(f.LogGrid->columnWidth(c) >=
                    f.LogGrid->horizontalHeader()->fontMetrics().horizontalAdvance(header));
            sum += f.LogGrid->columnWidth(c);
        }
        QVERIFY(f.LogGrid->columnWidth(0) > f.LogGrid->columnWidth(1));
        QVERIFY2(std::abs(sum - w) <= 2, qPrintable(QString("%1 %2").arg(sum).arg(w)));
        f.hide();
    }

    void progressAnimationStates() {
        TQtMainLoop loop;
        TProgressForm f;
        f.show();                          // state 0: the loop of frames 43 to 67
        QVERIFY(!f.VelaAnim->HasStrip());  // no clip file: drawn frames
        QVERIFY(f.VelaAnim->Playing());
        QCOMPARE(f.VelaAnim->Frame(), 43);
        f.SetAnimState(2);
        f.VelaAnimStop();  // the segment ended
        QCOMPARE(f.VelaAnim->Frame(), 1);
        QCOMPARE(f.AnimState(), 1);
        f.VelaAnimStop();
        QCOMPARE(f.VelaAnim->Frame(), 43);
        f.SetAnimState(3);
        f.VelaAnimStop();
        QCOMPARE(f.VelaAnim->Frame(), 23);
        QCOMPARE(f.AnimState(), 4);
        f.VelaAnimStop();
        QVERIFY(!f.VelaAnim->Playing());
        // A segment plays to its end and then asks for the next one.
        f.SetAnimState(3);
        f.VelaAnimStop();
        QTRY_VERIFY_WITH_TIMEOUT(!f.VelaAnim->Playing(), 20000);
        QCOMPARE(f.VelaAnim->Frame(), 42);
        f.hide();
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
