// The job grid over a job list of its own: what each role shows in both layouts, the
// colours, the transient images, notes editing, row redraws, removal and the text sort.
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QtTest>
#include <cmath>

#include "data/VelaJobs.h"
#include "search/SearchEngine.h"
#include "ui/JobGrid.h"
#include "ui/JobImages.h"

using namespace tessaly;
using namespace tessaly::ui;

namespace {

// Three jobs: a plain one, a highlighted new one with notes, a deleted one.
void Fill(TVelaJobsList& list) {
    TVelaJob& a = list.AddJob();
    a.Title = "Welder";
    a.Company = "Acme";
    a.Location = "Boston";
    a.Source = "Table Board";
    a.Relevancy = 4;
    TVelaJob& b = list.AddJob();
    b.Title = "Caf\xe9 Manager";  // Windows-1252
    b.Company = "n/a";
    b.Notes = "call back";
    b.Relevancy = 6;
    b.Status = kStatusNew;
    b.High = true;
    TVelaJob& c = list.AddJob();
    c.Title = "Gone";
    c.Relevancy = kRelevancyDeleted;
}

// The colours a cell is drawn with, as the grid's delegate prepares them. The preparing
// function is protected: it is reached through a member pointer taken in a derived class,
// and called virtually on the grid's own delegate.
struct TOpenDelegate : QStyledItemDelegate {
    static auto Init() { return &TOpenDelegate::initStyleOption; }
};

QStyleOptionViewItem StyleOf(TJobGrid& grid, int row, int col, bool selected = false) {
    QStyleOptionViewItem opt;
    opt.initFrom(grid.viewport());
    if (selected) opt.state |= QStyle::State_Selected;
    opt.widget = &grid;
    auto* d = static_cast<QStyledItemDelegate*>(grid.itemDelegate());
    (d->*TOpenDelegate::Init())(&opt, grid.model()->index(row, col));
    return opt;
}

// The contrast of two colours as the accessibility guidelines define it (relative
// luminance of the sRGB channels), from 1 to 21.
double Contrast(const QColor& a, const QColor& b) {
    auto lum = [](const QColor& c) {
        auto ch = [](double v) {
            v /= 255;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * ch(c.red()) + 0.7152 * ch(c.green()) + 0.0722 * ch(c.blue());
    };
    const double x = lum(a), y = lum(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// A colour scheme as a desktop theme gives it: window, base and text colours.
QPalette Scheme(const QColor& window, const QColor& base, const QColor& text) {
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    return p;
}

}  // namespace

class JobGridTest : public QObject {
    Q_OBJECT

  private slots:
    void mainLayoutShowsEveryColumnAndSkipsDeletedJobs() {
        TVelaJobsList list;
        Fill(list);
        TJobGrid grid(TJobGridKind::Main, [&list]() -> TVelaJobsList& { return list; });
        grid.ShowList();
        QCOMPARE(grid.rowCount(), 2);
        QCOMPARE(grid.columnCount(), 8);
        QCOMPARE(grid.Model().headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString("Notes"));
        QCOMPARE(grid.IndexColumn(), grid.ColumnOf("JobIndex"));
        const int title = grid.ColumnOf(TJobColumn::Title);
        const int status = grid.ColumnOf(TJobColumn::Status);
        const int rel = grid.ColumnOf(TJobColumn::Relevancy);
        const int notes = grid.ColumnOf(TJobColumn::Notes);
        QCOMPARE(grid.Text(1, title), QString::fromUtf8("Caf\xc3\xa9 Manager"));
        QCOMPARE(grid.Text(1, rel), QString("(5) Highest"));
        QCOMPARE(grid.Text(1, grid.IndexColumn()), QString("1"));
        QCOMPARE(grid.Data(0, title, Qt::ToolTipRole).toString(), QString("Welder"));
        QCOMPARE(grid.Data(0, notes, Qt::ToolTipRole).toString(), QString("Click to enter notes"));
        QCOMPARE(grid.Data(1, notes, Qt::ToolTipRole).toString(), QString("call back"));
        QCOMPARE(grid.Data(1, status, Qt::UserRole).toInt(), JobStatusImage(list[1]));
        QVERIFY(!grid.Data(1, status, Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(grid.Data(1, status, Qt::ToolTipRole).toString(), JobImageHint(list[1]));
        // Only the notes take an editor.
        QVERIFY(grid.Model().flags(grid.model()->index(0, notes)) & Qt::ItemIsEditable);
        QVERIFY(!(grid.Model().flags(grid.model()->index(0, title)) & Qt::ItemIsEditable));
        QCOMPARE(grid.Model().RowOf(2), -1);
        QCOMPARE(grid.Model().RowOf(1), 1);

        // An empty listing keeps one blank row without a job.
        list.ClearJobs();
        grid.ShowList();
        QCOMPARE(grid.rowCount(), 1);
        QCOMPARE(grid.Model().JobRows(), 0);
        QVERIFY(!grid.Model().JobAt(0));
        QCOMPARE(grid.Text(0, title), QString());
        QVERIFY(!(grid.Model().flags(grid.model()->index(0, notes)) & Qt::ItemIsEditable));
    }

    void remoteLayoutFiltersAndShowsItsOwnTexts() {
        TVelaJobsList list;
        Fill(list);
        TJobGrid grid(TJobGridKind::Remote, [&list]() -> TVelaJobsList& { return list; });
        grid.ShowList([](const TVelaJob& j) { return j.High; });
        QCOMPARE(grid.rowCount(), 1);
        QCOMPARE(grid.columnCount(), 6);
        const int job = grid.ColumnOf("Job ");
        QCOMPARE(job, grid.ColumnOf(TJobColumn::Title));
        QCOMPARE(grid.Text(0, grid.ColumnOf(TJobColumn::Relevancy)), QString("(5)"));
        QCOMPARE(grid.Data(0, grid.ColumnOf(TJobColumn::Relevancy), Qt::ToolTipRole).toString(),
                 QString("Highest"));
        QCOMPARE(grid.Data(0, grid.ColumnOf(TJobColumn::Relevancy), Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignCenter));
        QCOMPARE(
            grid.Data(0, job, Qt::ToolTipRole).toString(),
            QString::fromUtf8("Title: Caf\xc3\xa9 Manager\nCompany: n/a\nLocation: \nSource: "));
        QCOMPARE(grid.Text(0, grid.ColumnOf("RemoteIndex")), QString("1"));
        // Nothing matched: no rows at all (the window closes).
        grid.ShowList([](const TVelaJob&) { return false; });
        QCOMPARE(grid.rowCount(), 0);
    }

    // Both windows rank a job alike: the remote mark is the main text's number.
    void bothLayoutsRankAJobAlike() {
        TVelaJobsList list;
        for (uint8_t level = 2; level <= 6; ++level)
            list.AddJob().Relevancy = level;
        TJobGrid main(TJobGridKind::Main, [&list]() -> TVelaJobsList& { return list; });
        TJobGrid remote(TJobGridKind::Remote, [&list]() -> TVelaJobsList& { return list; });
        main.ShowList();
        remote.ShowList();
        const QStringList names{"Lowest", "Low", "Average", "High", "Highest"};
        for (int r = 0; r < 5; ++r) {
            const QString mark = QString("(%1)").arg(r + 1);
            QCOMPARE(main.Text(r, main.ColumnOf(TJobColumn::Relevancy)), mark + " " + names[r]);
            QCOMPARE(remote.Text(r, remote.ColumnOf(TJobColumn::Relevancy)), mark);
            QCOMPARE(
                remote.Data(r, remote.ColumnOf(TJobColumn::Relevancy), Qt::ToolTipRole).toString(),
                names[r]);
        }
    }

    void coloursFollowTheJobAndTheLook() {
        TVelaJobsList list;
        Fill(list);
        list[0].Visited = true;
        TJobGrid grid(TJobGridKind::Main, [&list]() -> TVelaJobsList& { return list; });
        TJobGridLook look;
        grid.Look = [&look] { return look; };
        grid.ShowList();
        const int title = grid.ColumnOf(TJobColumn::Title);
        const int company = grid.ColumnOf(TJobColumn::Company);
        const int notes = grid.ColumnOf(TJobColumn::Notes);
        QCOMPARE(StyleOf(grid, 1, title).backgroundBrush.color(), QColor(255, 255, 0));
        QCOMPARE(StyleOf(grid, 0, title).backgroundBrush.style(), Qt::NoBrush);
        // "n/a" grey and the notes' olive, made dark enough to read.
        const QColor na = StyleOf(grid, 1, company).palette.color(QPalette::Text);
        QVERIFY(na.red() == na.green() && na.green() == na.blue() && na.red() > 64);
        const QColor note = StyleOf(grid, 0, notes).palette.color(QPalette::Text);
        QVERIFY(note.red() == note.green() && note.blue() == 0 && note.red() > 64);
        QVERIFY(!StyleOf(grid, 0, title).font.underline());
        look.HotlinkTitles = true;
        QVERIFY(StyleOf(grid, 0, title).font.underline());
        QCOMPARE(StyleOf(grid, 0, title).palette.color(QPalette::Text), QColor(128, 0, 128));
        QCOMPARE(StyleOf(grid, 1, title).palette.color(QPalette::Text), QColor(0, 0, 255));
        look.YellowHighlight = false;
        QCOMPARE(StyleOf(grid, 1, title).backgroundBrush.style(), Qt::NoBrush);
        // The find hit wins over every other rule.
        look.FoundColumn = title;
        look.FoundRow = 1;
        const QColor hit = StyleOf(grid, 1, title).palette.color(QPalette::Text);
        QVERIFY(hit.red() > 100 && hit.green() == 0 && hit.blue() == 0);

        // Every coloured text (highlighted rows, notes, titles, the find hit, "n/a") reads
        // at a contrast of at least 4.5 on what is behind it, on a light and a dark palette.
        look = TJobGridLook{};
        // Row 0 plain, row 1 highlighted; each cell as it is drawn, then selected.
        const std::vector<std::pair<int, int>> cells = {
            {0, title}, {1, title}, {0, notes}, {1, notes}, {1, company}};
        for (const auto& [name, palette] :
             {std::pair{"light", Scheme(QColor(239, 239, 239), Qt::white, Qt::black)},
              std::pair{"dark",
                        Scheme(QColor(53, 53, 53), QColor(35, 35, 35), QColor(235, 235, 235))}}) {
            grid.setPalette(palette);
            for (const bool hotlink : {false, true}) {
                look.HotlinkTitles = hotlink;
                look.FoundColumn = hotlink ? title : -1;
                look.FoundRow = 0;
                for (const auto& [row, col] : cells) {
                    for (const bool selected : {false, true}) {
                        const QStyleOptionViewItem o = StyleOf(grid, row, col, selected);
                        const QColor back = selected ? o.palette.color(QPalette::Highlight)
                                            : o.backgroundBrush.style() != Qt::NoBrush
                                                ? o.backgroundBrush.color()
                                                : o.palette.color(QPalette::Base);
                        const QColor ink =
                            o.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
                        const double c = Contrast(ink, back);
                        QVERIFY2(c >= 4.5, qPrintable(QString("%1 palette, row %2, column %3%4%5: "
                                                              "%6 on %7, %8:1")
                                                          .arg(name)
                                                          .arg(row)
                                                          .arg(col)
                                                          .arg(hotlink ? ", hot-linked" : "")
                                                          .arg(selected ? ", selected" : "")
                                                          .arg(ink.name(), back.name())
                                                          .arg(c)));
                    }
                }
            }
        }
    }

    void rowRedrawAndTransientImages() {
        TVelaJobsList list;
        Fill(list);
        TJobGrid grid(TJobGridKind::Main, [&list]() -> TVelaJobsList& { return list; });
        grid.ShowList();
        QSignalSpy changed(grid.model(), &QAbstractItemModel::dataChanged);
        const int status = grid.ColumnOf(TJobColumn::Status);
        grid.Model().SetRowImage(0, kJobImageFetching);
        QCOMPARE(grid.Data(0, status, Qt::UserRole).toInt(), kJobImageFetching);
        QCOMPARE(changed.size(), 1);
        // The job changes; its row is redrawn: its own image again, its new texts.
        list[0].High = true;
        list[0].Title = "Welder II";
        grid.Model().RowChanged(0);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 0);
        QCOMPARE(changed.last().at(1).value<QModelIndex>().column(), grid.columnCount() - 1);
        QCOMPARE(grid.Data(0, status, Qt::UserRole).toInt(), JobStatusImage(list[0]));
        QCOMPARE(grid.Text(0, grid.ColumnOf(TJobColumn::Title)), QString("Welder II"));
    }

    void notesEditGoesToTheHandlerWithItsRow() {
        TVelaJobsList list;
        Fill(list);
        TJobGrid grid(TJobGridKind::Main, [&list]() -> TVelaJobsList& { return list; });
        grid.resize(600, 200);
        grid.show();
        grid.ShowList();
        int editedRow = -1;
        QString editedText;
        grid.Model().OnNotesEdited = [&](int row, const QString& text) {
            editedRow = row;
            editedText = text;
        };
        const int notes = grid.ColumnOf(TJobColumn::Notes);
        grid.EditCell(1, notes);
        auto* editor = grid.findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString("call back"));
        editor->setText("hired");
        QTest::keyClick(editor, Qt::Key_Return);
        // The editor commits from the event loop.
        QTRY_COMPARE(editedRow, 1);
        QCOMPARE(editedText, QString("hired"));
        // Other columns take no text.
        QVERIFY(!grid.Model().setData(grid.model()->index(0, 1), "x", Qt::EditRole));
    }

    void removingAndSortingKeepTheSelectionOnItsJobs() {
        TVelaJobsList list;
        for (const char* t : {"delta", "alpha", "Charlie", "bravo", "echo"}) {
            TVelaJob& j = list.AddJob();
            j.Title = t;
            j.Relevancy = 4;
        }
        TJobGrid grid(TJobGridKind::Main, [&list]() -> TVelaJobsList& { return list; });
        grid.setSelectionMode(QAbstractItemView::ExtendedSelection);
        grid.ShowList();
        const int title = grid.ColumnOf(TJobColumn::Title);
        auto titles = [&] {
            QStringList t;
            for (int r = 0; r < grid.rowCount(); ++r)
                t << grid.Text(r, title);
            return t;
        };
        grid.setCurrentCell(3, title);  // bravo
        grid.Model().SortByText(title, Qt::AscendingOrder);
        // Code-unit order: capitals first; the list itself keeps its order.
        QCOMPARE(titles(), (QStringList{"Charlie", "alpha", "bravo", "delta", "echo"}));
        QCOMPARE(list[0].Title, std::string("delta"));
        QCOMPARE(grid.currentRow(), 2);
        QCOMPARE(grid.Model().PositionAt(2), 3);
        QCOMPARE(grid.Model().RowOf(3), 2);
        grid.Model().SortByText(title, Qt::DescendingOrder);
        QCOMPARE(titles(), (QStringList{"echo", "delta", "bravo", "alpha", "Charlie"}));
        QCOMPARE(grid.currentRow(), 2);

        // Rows 0, 1 and 3 go; what was selected and left stays selected.
        grid.selectRow(4);
        grid.Model().RemoveRows({3, 0, 1});
        QCOMPARE(titles(), (QStringList{"bravo", "Charlie"}));
        QCOMPARE(grid.Model().RowOf(2), 1);
        QCOMPARE(grid.Model().RowOf(4), -1);
        QVERIFY(grid.selectionModel()->isRowSelected(1, {}));
        grid.Model().RemoveRows({0, 1});
        QCOMPARE(grid.rowCount(), 1);
        QCOMPARE(grid.Model().JobRows(), 0);
    }
};

QTEST_MAIN(JobGridTest)
#include "JobGridTest.moc"
