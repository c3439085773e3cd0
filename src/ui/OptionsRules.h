// The value rules of the options dialog, kept apart from the widgets: column and width
// lists of the grids, the proxy port. The sliders' ranges are their settings'.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaly::ui {

// A column list ("1,0,") read for a grid whose table has `tableSize` entries: the table
// entry shown at each display position; an empty or non-number field keeps the
// position's own number. Nothing when an entry lies outside the table, so that the
// caller applies the reset layout instead.
std::optional<std::vector<int>> ParseColumnOrder(const std::string& list, int tableSize);
// A width list read for `count` columns; 70 for an empty, negative or non-number field.
std::vector<int> ParseColumnWidths(const std::string& list, int count);
// The written form: every number followed by a comma.
std::string JoinColumnList(const std::vector<int>& values);

// The proxy port box: its text in plain decimal form, or nothing for a non-number
// (the dialog beeps and shows "80").
std::optional<std::string> NormalisedPort(const std::string& text);

}  // namespace tessaly::ui
