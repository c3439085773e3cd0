#include "ui/GridLayout.h"

#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>
#include <algorithm>
#include <optional>
#include <vector>

#include "data/JobColumns.h"
#include "ui/JobGrid.h"
#include "ui/OptionsRules.h"

namespace tessaly::ui {

namespace {

// The job columns' headers in table order, then the index column.
const char* const kJobHeaders[] = {
    kJobColumns[0].Header, kJobColumns[1].Header, kJobColumns[2].Header, kJobColumns[3].Header,
    kJobColumns[4].Header, kJobColumns[5].Header, kJobColumns[6].Header, kJobIndexHeader};

// Narrow columns (an image, a short mark) keep their width, but none becomes too narrow
// to take hold of again.
constexpr int kNarrowestColumn = 8;

QString HeaderText(const QTableView* grid, int logical) {
    return grid->model() ? grid->model()->headerData(logical, Qt::Horizontal).toString()
                         : QString();
}

int ColumnCount(const QTableView* grid) {
    return grid->model() ? grid->model()->columnCount() : 0;
}

// The logical column of each table entry, found by header; nothing when one is missing.
std::optional<std::vector<int>> TableColumns(const QTableView* grid, const TGridTable& t) {
    std::vector<int> cols;
    for (int k = 0; k < t.Size; ++k) {
        int found = -1;
        for (int c = 0; c < ColumnCount(grid) && found < 0; ++c)
            if (HeaderText(grid, c) == t.Headers[k]) found = c;
        if (found < 0) return std::nullopt;
        cols.push_back(found);
    }
    return cols;
}

// A screenful of rows, measured when the grid shows none yet.
constexpr int kRowsMeasured = 60;

// The widest text of a column among the rows in view, as the grid draws them. Only those:
// measuring text is costly, and a listing may hold 100,000 rows.
int ShownTextWidth(const QTableView* grid, int column) {
    const int rows = grid->model()->rowCount();
    if (rows == 0) return 0;
    const int top = std::max(0, grid->rowAt(0));
    int bottom = grid->rowAt(grid->viewport()->height() - 1);
    if (bottom < 0) bottom = std::min(rows - 1, top + kRowsMeasured);
    int widest = 0;
    for (int r = top; r <= bottom; ++r)
        widest = std::max(widest, grid->sizeHintForIndex(grid->model()->index(r, column)).width());
    return widest + (grid->showGrid() ? 1 : 0);
}

}  // namespace

const TGridTable kSearchGridTable{options::SearchGrid, kSearchGridHeaders, 6};
const TGridTable kJobGridTable{options::JobGrid, kJobHeaders, 8};
const TGridTable kRemoteGridTable{options::RemoteGrid, kRemoteGridHeaders, 5};

bool ApplyGridLayout(QTableView* grid, const TGridTable& t, const std::string& order,
                     const std::string& sizes) {
    const std::optional<std::vector<int>> cols = TableColumns(grid, t);
    if (!cols) return false;
    const std::optional<std::vector<int>> ord = ParseColumnOrder(order, t.Size);
    if (!ord) return false;
    // Each column is shown once: a list naming one twice would drop another from view,
    // and with it the index column the window finds its rows by.
    std::vector<bool> seen(static_cast<size_t>(t.Size), false);
    for (int n : *ord) {
        if (seen[static_cast<size_t>(n)]) return false;
        seen[static_cast<size_t>(n)] = true;
    }
    QHeaderView* h = grid->horizontalHeader();
    for (int i = 0; i < t.Size; ++i) {
        const int logical = (*cols)[static_cast<size_t>((*ord)[static_cast<size_t>(i)])];
        h->moveSection(h->visualIndex(logical), i);
    }
    // The widths go to the shown columns in display order; the hidden index column has
    // none.
    const int indexCol = cols->back();
    const std::vector<int> widths = ParseColumnWidths(sizes, t.Size);
    size_t next = 0;
    for (int v = 0; v < t.Size; ++v) {
        const int logical = h->logicalIndex(v);
        if (logical == indexCol) continue;
        grid->setColumnHidden(logical, false);
        const int width = std::max(widths[next++], kNarrowestColumn);
        if (width < h->minimumSectionSize()) h->setMinimumSectionSize(width);
        grid->setColumnWidth(logical, width);
    }
    grid->setColumnHidden(indexCol, true);
    h->setStretchLastSection(true);
    return true;
}

std::pair<std::string, std::string> GridLayoutLists(const QTableView* grid, const TGridTable& t) {
    std::vector<int> order, widths;
    const QHeaderView* h = grid->horizontalHeader();
    for (int v = 0; v < ColumnCount(grid); ++v) {
        const int logical = h->logicalIndex(v);
        const QString header = HeaderText(grid, logical);
        for (int k = 0; k < t.Size; ++k) {
            if (header != t.Headers[k]) continue;
            order.push_back(k);
            if (!grid->isColumnHidden(logical)) widths.push_back(grid->columnWidth(logical));
            break;
        }
    }
    return {JoinColumnList(order), JoinColumnList(widths)};
}

bool FitGridColumns(QTableView* grid, int room, int spare,
                    const std::vector<std::pair<int, int>>& fixed) {
    const QHeaderView* h = grid->horizontalHeader();
    std::vector<int> cols, floors, wants;
    long left = room;
    for (int c = 0; c < ColumnCount(grid); ++c) {
        if (grid->isColumnHidden(c)) continue;
        const auto f = std::find_if(fixed.begin(), fixed.end(),
                                    [c](const std::pair<int, int>& p) { return p.first == c; });
        if (f != fixed.end()) {
            grid->setColumnWidth(c, f->second);
            left -= f->second;
            continue;
        }
        const int header = std::max(h->sectionSizeHint(c), kNarrowestColumn);
        cols.push_back(c);
        floors.push_back(header);
        wants.push_back(std::max(header, ShownTextWidth(grid, c)));
    }
    long floorSum = 0, wantSum = 0;
    for (size_t i = 0; i < cols.size(); ++i) {
        floorSum += floors[i];
        wantSum += wants[i];
    }
    const bool fits = floorSum <= left;
    for (size_t i = 0; i < cols.size(); ++i) {
        long width = wants[i];
        if (wantSum > left) {
            // Too wide: the room over the headers goes out by what each wants over its own.
            const long over = wantSum - floorSum;
            width = floors[i];
            if (fits && over > 0) width += (wants[i] - floors[i]) * (left - floorSum) / over;
        } else if (cols[i] == spare) {
            width += left - wantSum;
        }
        grid->setColumnWidth(cols[i], static_cast<int>(width));
    }
    return fits;
}

void ResetGridLayout(QTableView* grid, const TGridTable& t) {
    if (!grid) return;
    // Headers in table order, whatever the grid showed before. A model's headers are its
    // own and already are.
    if (auto* widget = dynamic_cast<QTableWidget*>(grid)) {
        for (int i = 0; i < t.Size && i < widget->columnCount(); ++i) {
            if (QTableWidgetItem* it = widget->horizontalHeaderItem(i))
                it->setText(t.Headers[i]);
            else
                widget->setHorizontalHeaderItem(i, new QTableWidgetItem(t.Headers[i]));
        }
    }
    ApplyGridLayout(grid, t, "", t.Store.Sizes.Default);
}

}  // namespace tessaly::ui
