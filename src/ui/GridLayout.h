// The column layouts of the grids that the options keep: each grid's column table (the
// header texts; the last entry is the hidden index column), how a stored column list and
// width list are applied to a grid, and how they are read back from it.
//
// Columns keep their header texts (the grid's model's); a stored order moves them in the header
// view, so the windows go on finding their columns by header whatever the display order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "data/Settings.h"

class QTableView;

namespace tessaly::ui {

// The search grid's headers; the last is the hidden index column.
inline constexpr const char* kSearchGridHeaders[6] = {"Keywords ", "Area ",  "Category ",
                                                      "Date ",     "Count ", "SearchIndex"};
// The search grid's columns, in the order of their headers above. The texts are for
// display: the program names a column by this, and finds it by its header.
enum class TSearchColumn { Keywords, Area, Category, Date, Count, Index };
inline constexpr const char* SearchColumnHeader(TSearchColumn c) {
    return kSearchGridHeaders[static_cast<int>(c)];
}

// A grid whose column order and widths are kept: its settings (whose default widths are
// the reset widths) and its column table.
struct TGridTable {
    const TGridSettings& Store;
    const char* const* Headers;
    int Size;
};
extern const TGridTable kSearchGridTable;
extern const TGridTable kJobGridTable;
extern const TGridTable kRemoteGridTable;

// Applies a stored column list and width list to a grid whose columns carry the table's
// headers: the columns are shown in the listed order and sized from the width list, the
// index column hidden. False, and the grid untouched, when a header is missing from the
// grid or the list names a column twice or one outside the table.
bool ApplyGridLayout(QTableView* grid, const TGridTable& table, const std::string& order,
                     const std::string& sizes);
// The column list and width list of a grid as they are written: the table number of each
// displayed column, and the width of each shown one, in display order.
std::pair<std::string, std::string> GridLayoutLists(const QTableView* grid,
                                                    const TGridTable& table);

// Fits the shown columns of a grid to `room` pixels: each column as wide as its header and
// the texts of the rows in view, the spare width to the column `spare` (none: -1); when that
// is too wide, the columns wider than their header give up width in proportion to what
// they have over it, never going below it. The widths follow from the texts and the room
// alone, never from the widths before, so fitting again changes nothing. The `fixed`
// (column, width) pairs keep their widths. False when even the headers do not fit.
bool FitGridColumns(QTableView* grid, int room, int spare,
                    const std::vector<std::pair<int, int>>& fixed = {});

// The reset layout: the table's headers on the first columns, in table order, with the
// reset widths.
void ResetGridLayout(QTableView* grid, const TGridTable& table);

}  // namespace tessaly::ui
