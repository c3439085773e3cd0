// The options dialog: the first start, the stored values and their unreadable forms, the
// window and grid layouts, the job-site list, Apply and Cancel, and the user's details.
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSplitter>
#include <QTableWidget>
#include <QtTest>
#include <cmath>
#include <filesystem>

#include "UiTestSupport.h"
#include "data/ConfigBox.h"
#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "services/BrowserControl.h"
#include "services/Referral.h"
#include "ui/JobGrid.h"
#include "ui/VelaConnectWizard.h"
#include "ui/VelaMain.h"
#include "ui/VelaOptions.h"
#include "ui/VelaProgress.h"
#include "ui/VelaProxy.h"

using namespace tessaly;
using namespace tessaly::ui;
using namespace tessaly::ui::test;

namespace {

using TValues = std::vector<std::tuple<std::string, std::string, std::string>>;

// An options.box as an earlier run would have left it (the "Visual" mark and the
// assistant done), with these values on top.
void WriteOptions(TSampleHome& home, const TValues& values) {
    TConfigBox box;
    for (const char* key :
         {"Yellow", "ProgressOnTop", "RemoteOnTop", "RememberGrids", "RememberWindows"})
        box.WriteString("Visual", key, "True");
    box.WriteString("Visual", "HotLink", "False");
    box.WriteString("Visual", "OptimizeCols", "False");
    box.WriteString("Connection", "SettingsSet", "True");
    for (const auto& [section, key, value] : values)
        box.WriteString(section, key, value);
    box.SaveToFile(home.File("options.box"));
}

TConfigBox ReadOptions(TSampleHome& home) {
    TConfigBox box;
    box.LoadFromFile(home.File("options.box"));
    return box;
}

// Starts the window as the program does, once the test has given it its other windows.
void Start(TWindow& w) {
    TResult<void> started = w->ReadProductId();
    if (started) started = w->FirstActivation();
    if (!started) QFAIL(("start-up failed: " + started.error()).c_str());
    w->GridTimerTimer();
}

// Starts a window with neither a sponsor nor a remote window.
void StartWithMainAndProgressOnly(TWindow& w) {
    w->SetSponsorWindow(nullptr);
    w->SetRemoteWindow(nullptr);
    w->SetRemoteGrid(nullptr);
    Start(w);
}

QRect Screen() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// The header texts of a grid in display order.
QStringList DisplayedHeaders(const QTableView* grid) {
    QStringList out;
    const QHeaderView* h = grid->horizontalHeader();
    for (int v = 0; v < grid->model()->columnCount(); ++v) {
        const int logical = h->logicalIndex(v);
        out << grid->model()->headerData(logical, Qt::Horizontal).toString();
    }
    return out;
}

// Shows the options dialog through the Preferences command and lets `inside` work it.
void WithOptions(TWindow& w, const std::function<void(TOptionsForm&)>& inside) {
    w.answer = [&](QDialog* d) {
        if (auto* f = dynamic_cast<TOptionsForm*>(d)) inside(*f);
    };
    w->MMPreferencesClick();
    w.answer = nullptr;
}

const QStringList kJobTable{" ",          "Title ", "Company ", "Location ",
                            "Relevancy ", "Notes",  "JobIndex"};

}  // namespace

class OptionsFormTest : public QObject {
    Q_OBJECT

  private slots:
    void firstStartUsesTheDesignValuesAndWritesEverythingAtExit() {
        TSampleHome home;
        QWidget sponsor;
        TWindow w(home, false);
        w->SetSponsorWindow(&sponsor);
        // The assistant is confirmed for a proxy, typed into the proxy dialog it opens.
        std::vector<QString> shown;
        w.answer = [&](QDialog* d) {
            shown.push_back(d->objectName());
            if (auto* wizard = dynamic_cast<TConnectWizard*>(d)) {
                QTest::mouseClick(wizard->UseNetwork, Qt::LeftButton);
                QTest::mouseClick(wizard->UseProxy, Qt::LeftButton);
                wizard->Submit->click();
            } else if (auto* proxy = dynamic_cast<TProxyForm*>(d)) {
                proxy->ProxyAddress->setText("proxy.example.test");
                proxy->ProxyPort->setText("3128");
                proxy->OKButton->click();
            }
        };
        Start(w);
        QCOMPARE(shown, (std::vector<QString>{"ConnectWizard", "ProxyForm"}));
        TVelaMainForm& f = w.Form();
        TOptionsForm& o = *Child<TOptionsForm>(f, "OptionsForm");

        const QRect area = Screen();
        const QSize first = FirstWindowSize(area);
        QCOMPARE(f.size(), first);
        QCOMPARE(f.pos().x(),
                 area.x() + static_cast<int>(std::nearbyint((area.width() - first.width()) / 2.0)));
        QCOMPARE(
            f.pos().y(),
            area.y() + static_cast<int>(std::nearbyint((area.height() - first.height()) / 2.0)));
        f.show();
        QTRY_COMPARE(Child<QSplitter>(f, "Splitter1")->sizes().value(0), 82);
        QCOMPARE(o.MaxJobsLabel->text(), QString("75 jobs"));
        QCOMPARE(o.MaxThreadsLabel->text(), QString("8 tasks"));
        QCOMPARE(o.TimeOutLabel->text(), QString("30 secs"));
        QVERIFY(o.opYellow->isChecked());
        QVERIFY(!o.opHotLink->isChecked());
        QVERIFY(!f.Options().HotlinkTitles);
        // The proxy chosen in the assistant is used from the first start on.
        QVERIFY(o.UseProxy->isChecked());
        QCOMPARE(f.Engine().Http().Proxy, std::string("proxy.example.test"));
        QCOMPARE(f.Engine().Http().MaxThreads, 8);
        QVERIFY(!FileExists(home.File("options.box")));

        const std::string detected(BrowserName(f.Browser().ActiveBrowser));
        f.close();
        const std::string path = home.File("options.box");
        QVERIFY(FileExists(path));
        QCOMPARE(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        const TConfigBox box = ReadOptions(home);
        for (const char* key : {"Yellow", "HotLink", "ProgressOnTop", "RemoteOnTop", "OptimizeCols",
                                "RememberGrids", "RememberWindows"})
            QVERIFY2(!box.ReadString("Visual", key).empty(), key);
        QCOMPARE(box.ReadString("Visual", "HotLink"), std::string("False"));
        const std::pair<const char*, const char*> numbers[] = {
            {"MainForm", "Width"},    {"MainForm", "Height"},    {"MainForm", "Top"},
            {"MainForm", "Left"},     {"SearchGrid", "Height"},  {"ProgressForm", "Top"},
            {"ProgressForm", "Left"}, {"ProgressForm", "Width"}, {"ProgressForm", "Height"},
            {"SponsorForm", "Top"},   {"SponsorForm", "Left"},   {"JobGrid", "SortColumn"}};
        for (const auto& [section, key] : numbers)
            QVERIFY2(ParseInt(box.ReadString(section, key)).has_value(), key);
        QCOMPARE(box.ReadString("MainForm", "Width"), std::to_string(first.width()));
        QCOMPARE(box.ReadString("SearchGrid", "Height"), std::string("82"));
        QCOMPARE(box.ReadString("SearchGrid", "Order"), std::string("0,1,2,3,4,5,"));
        QCOMPARE(box.ReadString("JobGrid", "Order"), std::string("0,1,2,3,4,5,6,7,"));
        QCOMPARE(box.ReadString("JobGrid", "SortDirection"), std::string("Ascending"));
        QVERIFY(!box.ReadString("SearchGrid", "Sizes").empty());
        QVERIFY(!box.ReadString("JobGrid", "Sizes").empty());
        for (const char* key : {"Top", "Left", "Width", "Height"})
            QVERIFY2(ParseInt(box.ReadString("RemoteForm", key)).has_value(), key);
        QCOMPARE(box.ReadString("Remote", "Order"), std::string("0,1,2,3,4,"));
        QCOMPARE(box.ReadString("Connection", "MaxJobs"), std::string("75"));
        QCOMPARE(box.ReadString("Connection", "MaxThreads"), std::string("8"));
        QCOMPARE(box.ReadString("Connection", "TimeOut"), std::string("30"));
        QCOMPARE(box.ReadString("Connection", "UseProxy"), std::string("True"));
        QCOMPARE(box.ReadString("Connection", "ProxyIP"), std::string("proxy.example.test"));
        QCOMPARE(box.ReadString("Connection", "ProxyPort"), std::string("3128"));
        QCOMPARE(box.ReadString("Connection", "UseProxyAuthenticate"), std::string("False"));
        QCOMPARE(box.ReadString("Connection", "ActiveBrowser"), detected);
        QCOMPARE(box.ReadString("Connection", "SettingsSet"), std::string("True"));
        QCOMPARE(box.ReadString("Sources", "Table Board"), std::string("Enabled"));
        QVERIFY(box.ReadString("Sources", "List Board").empty());  // not offered
    }

    void aCancelledAssistantAsksAgainAtTheNextStart() {
        TSampleHome home;
        int wizards = 0;
        {
            TWindow w(home, false);
            w.answer = [&](QDialog* d) {
                if (d->objectName() == "ConnectWizard") ++wizards;
                d->reject();
            };
            Start(w);
            QCOMPARE(wizards, 1);
            QVERIFY(!Child<TOptionsForm>(w.Form(), "OptionsForm")->UseProxy->isChecked());
            w->close();
        }
        QVERIFY(ReadOptions(home).ReadString("Connection", "SettingsSet").empty());
        TWindow w(home, false);
        w.answer = [&](QDialog* d) {
            if (d->objectName() == "ConnectWizard") ++wizards;
            d->reject();
        };
        Start(w);
        QCOMPARE(wizards, 2);
    }

    void sliderValuesAreRaisedHeldAndDefaulted() {
        TSampleHome home;
        WriteOptions(home, {{"Connection", "MaxThreads", "2"}, {"Connection", "TimeOut", "soon"}});
        TWindow w(home, false);
        Start(w);
        TOptionsForm& o = *Child<TOptionsForm>(w.Form(), "OptionsForm");
        QCOMPARE(o.MaxThreadsLabel->text(), QString("4 tasks"));
        QCOMPARE(o.MaxJobsLabel->text(), QString("75 jobs"));
        QCOMPARE(o.TimeOutLabel->text(), QString("45 secs"));
        QCOMPARE(w->Engine().Http().MaxThreads, 4);
        QCOMPARE(w->Engine().Http().TimeOut, 45);

        TConfigBox& s = o.Store();
        s.WriteString("Connection", "MaxJobs", "900");
        s.WriteString("Connection", "MaxThreads", "");
        s.WriteString("Connection", "TimeOut", "-5");
        o.LoadOptions();
        QCOMPARE(o.MaxJobsLabel->text(), QString("250 jobs"));
        QCOMPARE(o.MaxThreadsLabel->text(), QString("16 tasks"));
        QCOMPARE(o.TimeOutLabel->text(), QString("15 secs"));
        // The user cannot pull a slider below its lowest value either.
        o.MaxJobs->setValue(0);
        QCOMPARE(o.MaxJobs->value(), 25);
        QCOMPARE(o.MaxJobsLabel->text(), QString("25 jobs"));
    }

    void anUnusedProxyKeepsItsAddressOutOfTheDialog() {
        TSampleHome home;
        WriteOptions(home, {{"Connection", "UseProxy", "False"},
                            {"Connection", "ProxyIP", "old-proxy.test"},
                            {"Connection", "ProxyPort", "8080"}});
        TWindow w(home, false);
        Start(w);
        TVelaMainForm& f = w.Form();
        QVERIFY(Child<TProxyForm>(f, "ProxyForm")->ProxyAddress->text().isEmpty());
        QVERIFY(f.Engine().Http().Proxy.empty());
        WithOptions(w, [](TOptionsForm& o) {
            QVERIFY(!o.UseProxy->isChecked());
            QVERIFY(!o.ProxySettingsButton->isEnabled());
            o.OKButton->click();
        });
        QCOMPARE(ReadOptions(home).ReadString("Connection", "ProxyIP"),
                 std::string("old-proxy.test"));
        QCOMPARE(ReadOptions(home).ReadString("Connection", "UseProxy"), std::string("False"));

        // Turned on, the proxy and its authentication reach the file and the machine.
        w.answer = [](QDialog* d) {
            if (auto* o = dynamic_cast<TOptionsForm*>(d)) {
                o->UseProxy->setChecked(true);
                QVERIFY(o->ProxySettingsButton->isEnabled());
                o->ProxySettingsButton->click();
                o->OKButton->click();
            } else if (auto* p = dynamic_cast<TProxyForm*>(d)) {
                p->ProxyAddress->setText("new-proxy.test");
                p->ProxyPort->setText("3128");
                p->UseProxyAuthenticate->setChecked(true);
                p->ProxyUserName->setText("ann");
                p->ProxyPassword->setText("s3cret");
                p->OKButton->click();
            }
        };
        f.MMPreferencesClick();
        QCOMPARE(f.Engine().Http().Proxy, std::string("new-proxy.test"));
        QCOMPARE(f.Engine().Http().ProxyPort, std::string("3128"));
        QCOMPARE(f.Engine().Http().ProxyPassword, std::string("s3cret"));
        const TConfigBox box = ReadOptions(home);
        QCOMPARE(box.ReadString("Connection", "ProxyUsername"), std::string("ann"));
        QCOMPARE(box.ReadString("Connection", "UseProxyAuthenticate"), std::string("True"));
    }

    void columnListsOrderTheGridsOrResetThem() {
        TSampleHome home;
        home.AddSearch("welder", "Texas", "Engineering", SampleJobs());
        WriteOptions(home, {{"JobGrid", "Order", "1,0"},
                            {"JobGrid", "Sizes", "150,30"},
                            {"JobGrid", "SortColumn", "1"},
                            {"JobGrid", "SortDirection", "Descending"},
                            {"SearchGrid", "Order", "4,3,2,1,0,5,"}});
        {
            TWindow w(home, false);
            Start(w);
            TVelaMainForm& f = w.Form();
            QCOMPARE(DisplayedHeaders(Child<TJobGrid>(f, "JobGrid")),
                     (QStringList{"Title ", " ", "Company ", "Location ", "Source ", "Relevancy ",
                                  "Notes", "JobIndex"}));
            QCOMPARE(DisplayedHeaders(Child<QTableWidget>(f, "SearchGrid")).first(),
                     QString("Count "));
            QCOMPARE(Child<TJobGrid>(f, "JobGrid")
                         ->columnWidth(f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title ")),
                     150);
            QCOMPARE(Child<TJobGrid>(f, "JobGrid")
                         ->columnWidth(f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), " ")),
                     30);
            QCOMPARE(Child<TJobGrid>(f, "JobGrid")
                         ->columnWidth(f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Company ")),
                     70);
            QVERIFY(Child<TJobGrid>(f, "JobGrid")
                        ->isColumnHidden(f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "JobIndex")));
            // The listing sorts by the stored column and direction.
            QCOMPARE(f.Engine().Sort().Column, TJobColumn::Title);
            QVERIFY(f.Engine().Sort().Descending);
            QStringList titles = w.Titles();
            QStringList sorted = titles;
            std::sort(sorted.begin(), sorted.end(), std::greater<QString>());
            QCOMPARE(titles.first(), sorted.first());
            // Cells are still found by header: the row knows its job.
            QCOMPARE(w.JobCell(0, "Title "), titles.first());
            f.close();
        }
        TConfigBox box = ReadOptions(home);
        QCOMPARE(box.ReadString("JobGrid", "Order"), std::string("1,0,2,3,4,5,6,7,"));
        QCOMPARE(box.ReadString("JobGrid", "SortColumn"), std::string("1"));
        QCOMPARE(box.ReadString("JobGrid", "SortDirection"), std::string("Descending"));
        QVERIFY(box.ReadString("JobGrid", "Sizes").rfind("150,30,", 0) == 0);

        // A number outside the table, or one column named twice: the reset layout.
        for (const char* order : {"0,1,9", "-1,0", "1,1,2,3,4,5,6,7"}) {
            WriteOptions(home, {{"JobGrid", "Order", order}, {"JobGrid", "SortColumn", "1"}});
            TWindow w(home, false);
            Start(w);
            TVelaMainForm& f = w.Form();
            QCOMPARE(DisplayedHeaders(Child<TJobGrid>(f, "JobGrid")),
                     (QStringList{" ", "Title ", "Company ", "Location ", "Source ", "Relevancy ",
                                  "Notes", "JobIndex"}));
            QCOMPARE(Child<TJobGrid>(f, "JobGrid")
                         ->columnWidth(f.GetColIdx(Child<TJobGrid>(f, "JobGrid"), "Title ")),
                     140);
            QCOMPARE(f.Engine().Sort().Column, TJobColumn::Relevancy);
            QVERIFY(!f.Engine().Sort().Descending);
        }
        // A sort column the listing does not have resets the layout as well.
        WriteOptions(home, {{"JobGrid", "SortColumn", "7"}});
        TWindow w(home, false);
        Start(w);
        QCOMPARE(w->Engine().Sort().Column, TJobColumn::Relevancy);
        // Missing, the sort column is the notes column.
        WriteOptions(home, {});
        TWindow w2(home, false);
        Start(w2);
        QCOMPARE(w2->Engine().Sort().Column, TJobColumn::Notes);
    }

    void storedGeometryIsAppliedWholeOrNotAtAll() {
        TSampleHome home;
        const TValues geometry{{"MainForm", "Width", "700"},      {"MainForm", "Height", "500"},
                               {"MainForm", "Top", "30"},         {"MainForm", "Left", "40"},
                               {"SearchGrid", "Height", "120"},   {"ProgressForm", "Top", "100"},
                               {"ProgressForm", "Left", "110"},   {"ProgressForm", "Width", "460"},
                               {"ProgressForm", "Height", "220"}, {"SponsorForm", "Top", "333"},
                               {"SponsorForm", "Left", "44"}};
        WriteOptions(home, geometry);
        {
            TWindow w(home, false);
            // No sponsor or remote window in this run: their keys are neither read nor
            // invented.
            StartWithMainAndProgressOnly(w);
            TVelaMainForm& f = w.Form();
            QCOMPARE(f.geometry().size(), QSize(700, 500));
            QCOMPARE(f.pos(), QPoint(40, 30));
            f.show();
            QTRY_COMPARE(Child<QSplitter>(f, "Splitter1")->sizes().value(0), 120);
            QCOMPARE(f.GetProgressForm()->pos(), QPoint(110, 100));
            QCOMPARE(f.GetProgressForm()->size(), QSize(460, 220));
            f.close();
        }
        // The sponsor window's keys stay as they were while it does not exist.
        QCOMPARE(ReadOptions(home).ReadString("SponsorForm", "Top"), std::string("333"));

        TValues broken = geometry;
        std::get<2>(broken[10]) = "left";
        WriteOptions(home, broken);
        QWidget sponsor;
        sponsor.move(300, 50);
        TWindow w(home, false);
        w->SetSponsorWindow(&sponsor);
        Start(w);
        TVelaMainForm& f = w.Form();
        QCOMPARE(f.size(), FirstWindowSize(Screen()));
        QCOMPARE(f.GetProgressForm()->size(), QSize(450, 210));
        QCOMPARE(f.GetProgressForm()->y(), f.y() + f.height() - 210 - 40);
        // Moved to its stored place first, then by the reset layout.
        QCOMPARE(sponsor.y(), 333 + 200);
        QCOMPARE(sponsor.x(), f.x() - 80 < 0 ? 20 : f.x() - 80);
    }

    void firstStartFillsMostOfTheScreen() {
        const struct {
            QRect area;
            QSize size;
        } cases[] = {
            {QRect(0, 0, 1600, 1000), QSize(1120, 700)},  // 70% of a large screen
            {QRect(0, 0, 800, 600), QSize(600, 450)},     // never below what the toolbar needs
            {QRect(0, 0, 500, 400), QSize(500, 400)},     // never beyond the screen
        };
        for (const auto& c : cases)
            QCOMPARE(FirstWindowSize(c.area), c.size);
    }

    void resetSettingsPlacesEveryWindowAndGrid() {
        TSampleHome home;
        WriteOptions(home, {{"Remote", "Order", "3,2,1,0,4"}});
        QWidget sponsor, remote;
        sponsor.move(100, 50);
        remote.resize(300, 200);
        QTableWidget remoteGrid(0, 6);
        const char* headers[] = {" ", "Job ", "Relevancy ", "Notes ", "RemoteIndex", ""};
        for (int c = 0; c < 6; ++c)
            remoteGrid.setHorizontalHeaderItem(c, new QTableWidgetItem(headers[c]));
        int remoteLayouts = 0;
        TWindow w(home, false);
        w->SetSponsorWindow(&sponsor);
        w->SetRemoteWindow(&remote);
        w->SetRemoteGrid(&remoteGrid);
        w->OnRemoteLayout = [&] { ++remoteLayouts; };
        Start(w);
        TVelaMainForm& f = w.Form();
        QCOMPARE(DisplayedHeaders(&remoteGrid),
                 (QStringList{"Notes ", "Relevancy ", "Job ", " ", "RemoteIndex", ""}));
        QVERIFY(remoteGrid.isColumnHidden(4));
        const int sponsorTop = sponsor.y();

        f.resize(800, 600);
        f.move(5, 5);
        Child<TJobGrid>(f, "JobGrid")->horizontalHeader()->moveSection(3, 0);
        WithOptions(w, [](TOptionsForm& o) {
            o.ResetButton->click();
            o.ResetButton->click();
            o.OKButton->click();
        });
        QCOMPARE(sponsor.y(), sponsorTop + 400);
        const QRect area = Screen();
        QCOMPARE(f.size(), FirstWindowSize(area));
        QCOMPARE(sponsor.x(), f.x() - 80 < 0 ? 20 : f.x() - 80);
        QCOMPARE(remote.pos(),
                 QPoint(area.x() + area.width() - 300 - 80, area.y() + area.height() - 200 - 200));
        const int progressLeft = f.x() + 600 - 400;
        QCOMPARE(f.GetProgressForm()->x(), progressLeft + 450 > area.x() + area.width()
                                               ? area.x() + area.width() - 450 - 80
                                               : progressLeft);
        QCOMPARE(DisplayedHeaders(Child<TJobGrid>(f, "JobGrid")).first(), QString(" "));
        QCOMPARE(DisplayedHeaders(&remoteGrid),
                 (QStringList{" ", "Job ", "Relevancy ", "Notes ", "RemoteIndex", ""}));
        QCOMPARE(remoteGrid.columnWidth(1), 100);
        QCOMPARE(remoteLayouts, 2);
        QCOMPARE(f.Engine().Sort().Column, TJobColumn::Relevancy);
        const TConfigBox box = ReadOptions(home);
        QCOMPARE(box.ReadString("Remote", "Order"), std::string("0,1,2,3,4,"));
        QCOMPARE(box.ReadString("Remote", "Sizes"), std::string("26,100,20,70,"));
        QCOMPARE(box.ReadString("RemoteForm", "Width"), std::string("300"));
    }

    void preferredSitesStayGreyAndOthersToggle() {
        TSampleHome home;
        WriteTextLines(home.File("config.box"),
                       {"[Features]", "PreferedSources=Premium: Table Board, Jobs Online"});
        WriteOptions(home, {{"Sources", "Card Board", "Disabled"}});
        TWindow w(home, false);
        Start(w);
        TVelaMainForm& f = w.Form();
        WithOptions(w, [&](TOptionsForm& o) {
            // Offered sites only, in alphabetical order.
            QCOMPARE(o.CheckList->count(), 2);
            QListWidgetItem* card = o.CheckList->item(0);
            QListWidgetItem* table = o.CheckList->item(1);
            QCOMPARE(card->text(), QString("Card Board"));
            QCOMPARE(table->text(), QString("Table Board"));
            QCOMPARE(card->checkState(), Qt::Unchecked);
            QCOMPARE(table->checkState(), Qt::PartiallyChecked);
            QVERIFY(!o.Browse->isEnabled());

            table->setCheckState(Qt::Unchecked);  // what a click on its box does
            QCOMPARE(table->checkState(), Qt::PartiallyChecked);
            table->setCheckState(Qt::Checked);
            QCOMPARE(table->checkState(), Qt::PartiallyChecked);
            card->setCheckState(Qt::Checked);
            QCOMPARE(card->checkState(), Qt::Checked);

            o.CheckList->setCurrentItem(card);
            QVERIFY(o.Browse->isEnabled());
            o.Browse->click();
            o.OKButton->click();
        });
        QCOMPARE(w.opened.size(), size_t{1});
        QVERIFY(!w.opened[0].second);
        for (int i = 0; i < f.Sources().Count(); ++i)
            if (f.Sources()[i].Title == "Card Board")
                QCOMPARE(w.opened[0].first, f.Sources()[i].HomeURL);
        const TConfigBox box = ReadOptions(home);
        QCOMPARE(box.ReadString("Sources", "Card Board"), std::string("Enabled"));
        QCOMPARE(box.ReadString("Sources", "Table Board"), std::string("Enabled"));
        for (int i = 0; i < f.Sources().Count(); ++i)
            if (f.Sources()[i].Title == "Card Board") QVERIFY(f.Engine().TakesPart(f.Sources()[i]));
    }

    void applyReconfiguresTheMachine() {
        TSampleHome home;
        WriteOptions(home, {});
        TWindow w(home, false);
        Start(w);
        TVelaMainForm& f = w.Form();
        QCOMPARE(f.Engine().Http().MaxThreads, 16);  // unreadable: none stored
        WithOptions(w, [](TOptionsForm& o) {
            o.MaxThreads->setValue(12);
            o.TimeOut->setValue(60);
            o.MaxJobs->setValue(100);
            QCOMPARE(o.TimeOutLabel->text(), QString("60 secs"));
            o.OKButton->click();
        });
        QCOMPARE(f.Engine().Http().MaxThreads, 12);
        QCOMPARE(f.Engine().Http().TimeOut, 60);
        QCOMPARE(f.Engine().MaxJobs(), 100);
        QVERIFY(f.Engine().Http().Enabled());
        const TConfigBox box = ReadOptions(home);
        QCOMPARE(box.ReadString("Connection", "MaxThreads"), std::string("12"));
        QCOMPARE(box.ReadString("Connection", "TimeOut"), std::string("60"));

        // A file that cannot be written is reported, the old one stays intact, and the
        // machine takes the new values all the same.
        ForceDirectories(home.File("options.box.tmp"));
        WithOptions(w, [](TOptionsForm& o) {
            o.MaxThreads->setValue(6);
            o.OKButton->click();
        });
        QCOMPARE(w.messages.size(), size_t{1});
        QVERIFY(w.messages[0].startsWith("The options could not be saved."));
        QCOMPARE(f.Engine().Http().MaxThreads, 6);
        QCOMPARE(ReadOptions(home).ReadString("Connection", "MaxThreads"), std::string("12"));
        QVERIFY(Child<TOptionsForm>(f, "OptionsForm")->Store().Modified);  // tried again at exit
    }

    void cancelPutsBackTheSettingsInEffect() {
        TSampleHome home;
        WriteOptions(home, {{"Visual", "HotLink", "True"}});
        TWindow w(home, false);
        Start(w);
        TVelaMainForm& f = w.Form();
        TOptionsForm& o = *Child<TOptionsForm>(f, "OptionsForm");
        QVERIFY(f.Options().HotlinkTitles);
        // The store holds what start-up completed and has not been written.
        QVERIFY(o.Store().Modified);
        WithOptions(w, [](TOptionsForm& d) {
            d.opHotLink->click();
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        QVERIFY(o.opHotLink->isChecked());
        QVERIFY(f.Options().HotlinkTitles);

        WithOptions(w, [](TOptionsForm& d) { d.OKButton->click(); });
        QVERIFY(!o.Store().Modified);
        // Nothing unwritten: the cancelled change is undone all the same.
        WithOptions(w, [](TOptionsForm& d) {
            d.opHotLink->click();
            d.CancelBut->click();
        });
        QVERIFY(o.opHotLink->isChecked());
        QVERIFY(f.Options().HotlinkTitles);
        QCOMPARE(o.Store().ReadString("Visual", "HotLink"), std::string("True"));
        // The next showing starts from the store again.
        WithOptions(w, [](TOptionsForm& d) {
            QVERIFY(d.opHotLink->isChecked());
            d.reject();
        });
    }

    void cancelLeavesTheWindowsAndStoredPlacesFitTheScreen() {
        // A place stored under another scaling, larger than this screen and partly off it.
        TSampleHome home;
        const QRect area = Screen();
        const std::string wide = std::to_string(area.width() * 2);
        const std::string tall = std::to_string(area.height() * 2);
        WriteOptions(home, {{"MainForm", "Width", wide},
                            {"MainForm", "Height", tall},
                            {"MainForm", "Top", "-40"},
                            {"MainForm", "Left", std::to_string(area.right() - 100)},
                            {"ProgressForm", "Width", wide},
                            {"ProgressForm", "Height", "220"},
                            {"ProgressForm", "Top", std::to_string(area.bottom())},
                            {"ProgressForm", "Left", "10"},
                            {"SearchGrid", "Height", "90"}});
        TWindow w(home, false);
        StartWithMainAndProgressOnly(w);
        TVelaMainForm& f = w.Form();
        for (const QWidget* window :
             {static_cast<QWidget*>(&f), static_cast<QWidget*>(f.GetProgressForm())})
            QVERIFY2(area.contains(window->geometry()), qPrintable(window->objectName()));
        QCOMPARE(f.GetProgressForm()->height(), 220);

        // Moved and sized by the user, the windows stay so through a cancelled dialog.
        f.resize(area.width() / 2, area.height() / 2);
        f.move(area.x() + 7, area.y() + 9);
        const QRect placed = f.geometry();
        WithOptions(w, [](TOptionsForm& d) { d.CancelBut->click(); });
        QCOMPARE(f.geometry(), placed);
        WithOptions(w, [](TOptionsForm& d) { QTest::keyClick(&d, Qt::Key_Escape); });
        QCOMPARE(f.geometry(), placed);
    }

    void onTopAndBrowserChoicesTakeEffectAtOnce() {
        TSampleHome home;
        WriteOptions(home,
                     {{"Visual", "ProgressOnTop", "True"}, {"Visual", "RemoteOnTop", "True"}});
        QWidget remote;
        TWindow w(home, false);
        w->SetRemoteWindow(&remote);
        Start(w);
        TVelaMainForm& f = w.Form();
        QVERIFY(f.GetProgressForm()->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(remote.windowFlags() & Qt::WindowStaysOnTopHint);
        // A browser the program does not know: none selected, the detected one stays.
        const TActiveBrowser detected = f.Browser().ActiveBrowser;
        Child<TOptionsForm>(f, "OptionsForm")
            ->Store()
            .WriteString("Connection", "ActiveBrowser", "Lynx");
        WithOptions(w, [&](TOptionsForm& o) {
            QVERIFY(!o.wNetscape->isChecked() && !o.wMSIE->isChecked() && !o.wShell->isChecked());
            QCOMPARE(f.Browser().ActiveBrowser, detected);
            o.opKeepProgressOnTop->click();
            o.opKeepRemoteOnTop->click();
            QVERIFY(!(f.GetProgressForm()->windowFlags() & Qt::WindowStaysOnTopHint));
            QVERIFY(!(remote.windowFlags() & Qt::WindowStaysOnTopHint));
            QVERIFY(!f.Options().RemoteOnTop);
            QTest::mouseClick(o.wMSIE, Qt::LeftButton);
            QCOMPARE(f.Browser().ActiveBrowser, TActiveBrowser::MSIE);
            o.OKButton->click();
        });
        QCOMPARE(ReadOptions(home).ReadString("Connection", "ActiveBrowser"), std::string("MSIE"));
        QCOMPARE(ReadOptions(home).ReadString("Visual", "RemoteOnTop"), std::string("False"));
    }

    void groupingIsOnUntilTurnedOffAndReachesTheEngine() {
        TSampleHome home;
        TWindow w(home, false);
        Start(w);
        TVelaMainForm& f = w.Form();
        QVERIFY(f.Engine().GroupsOpenings());  // a store that never named it
        WithOptions(w, [&](TOptionsForm& o) {
            QVERIFY(o.opOneRowPerOpening->isChecked());
            o.opOneRowPerOpening->click();
            o.OKButton->click();
        });
        QCOMPARE(options::GroupCrossPosts.Text(ReadOptions(home)), std::string("False"));
        QVERIFY(!f.Engine().GroupsOpenings());
    }

    // "Don't ask again" in the deletions' question can be taken back here.
    void askingBeforeDeletingCanBeTurnedBackOn() {
        TSampleHome home;
        WriteOptions(home, {{"Confirm", "DeleteUnasked", "True"}});
        TWindow w(home, false);
        Start(w);
        TVelaMainForm& f = w.Form();
        WithOptions(w, [&](TOptionsForm& o) {
            QVERIFY(!o.opAskBeforeDeleting->isChecked());
            o.opAskBeforeDeleting->click();
            o.OKButton->click();
        });
        QVERIFY(!options::DeleteUnasked.Read(f.Engine().OptionsBox()));
        QVERIFY(!options::DeleteUnasked.Read(ReadOptions(home)));
    }

    void userDetailsRoundTrip() {
        TSampleHome home;
        WriteOptions(home, {{"User", "Email", "ann@example.test"},
                            {"User", "FirstName", "Ann"},
                            {"User", "LastName", "Lee"}});
        TWindow w(home, false);
        Start(w);
        TVelaMainForm& f = w.Form();
        WithOptions(w, [](TOptionsForm& o) {
            QCOMPARE(o.PageControl->tabText(o.PageControl->indexOf(o.UserPage)), QString(" User "));
            QCOMPARE(o.UserEmail->text(), QString("ann@example.test"));
            QCOMPARE(o.UserFirstName->text(), QString("Ann"));
            QCOMPARE(o.UserLastName->text(), QString("Lee"));
            o.UserLastName->clear();
            QTest::keyClicks(o.UserLastName, "Ng");
            o.UserLastName->insert(QString::fromUtf8("\xc3\xa9"));
            o.OKButton->click();
        });
        TUserDetails saved = ReadUserDetails(ReadOptions(home));
        QCOMPARE(saved.Email, std::string("ann@example.test"));
        QCOMPARE(saved.LastName, std::string("Ng\xc3\xa9"));  // stored in UTF-8

        // Details written elsewhere meanwhile (sending a job) are not replaced by the
        // page's older, unedited values.
        TOptionsForm& o = *Child<TOptionsForm>(f, "OptionsForm");
        o.Store().WriteString("User", "Email", "ann@new.test");
        o.SaveOptions();
        QCOMPARE(o.Store().ReadString("User", "Email"), std::string("ann@new.test"));
    }

    void theHelpMenuAssistantSetsTheProxyBox() {
        TSampleHome home;
        WriteOptions(home, {});
        TWindow w(home, false);
        Start(w);
        TVelaMainForm& f = w.Form();
        int proxies = 0;
        w.answer = [&](QDialog* d) {
            if (auto* wizard = dynamic_cast<TConnectWizard*>(d)) {
                // It shows the options' proxy box as its choice.
                QCOMPARE(wizard->UseProxy->isChecked(),
                         Child<TOptionsForm>(f, "OptionsForm")->UseProxy->isChecked());
                QTest::mouseClick(wizard->UseNetwork, Qt::LeftButton);
                QTest::mouseClick(wizard->UseProxy, Qt::LeftButton);
                wizard->Submit->click();
            } else {
                ++proxies;
                d->accept();
            }
        };
        f.ConnectionSettingsAssistant1Click();
        QCOMPARE(proxies, 1);
        QVERIFY(Child<TOptionsForm>(f, "OptionsForm")->UseProxy->isChecked());
        QCOMPARE(
            Child<TOptionsForm>(f, "OptionsForm")->Store().ReadString("Connection", "UseProxy"),
            std::string("True"));
        QVERIFY(Child<TOptionsForm>(f, "OptionsForm")->ProxySettingsButton->isEnabled());
        // Not yet in use: the machine changes when the options are applied.
        QVERIFY(f.Engine().Http().Proxy.empty());
        // The choice survives the options dialog's next showing.
        Child<TProxyForm>(f, "ProxyForm")->ProxyAddress->setText("lan-proxy.test");
        f.ConnectionSettingsAssistant1Click();
        WithOptions(w, [&](TOptionsForm& o) {
            QVERIFY(o.UseProxy->isChecked());
            QCOMPARE(Child<TProxyForm>(f, "ProxyForm")->ProxyAddress->text(),
                     QString("lan-proxy.test"));
            o.OKButton->click();
        });
        QCOMPARE(f.Engine().Http().Proxy, std::string("lan-proxy.test"));
    }
};

QTEST_MAIN(OptionsFormTest)
#include "OptionsFormTest.moc"
