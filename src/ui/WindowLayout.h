// The layouts the settings keep: where each window sits and how each grid's columns run.
// Every window and grid is registered once, with its settings and how it is placed
// afresh; saving, recalling and resetting then go through here, so the options dialog
// knows none of the windows.
#pragma once

#include <QRect>
#include <functional>
#include <vector>

#include "data/Settings.h"
#include "ui/GridLayout.h"

class QTableView;
class QWidget;

namespace tessaly::ui {

// The screen's work area, and the offset that centres `size` in `screen` (half a pixel
// rounds to the even neighbour).
QRect ScreenArea();
int Centred(int screen, int size);

// One stored number of a window's place and how the window takes it.
struct TPlaceValue {
    const TSetting<int>& Setting;
    std::function<void(int)> Set;
};

// A window's part of the layout.
struct TWindowLayout {
    std::function<void(TConfigBox&)> Save;
    // Appends the values it reads, in the order they are read.
    std::function<void(std::vector<TPlaceValue>&)> Values;
    std::function<void()> Reset;
    // Brings the window back onto the screen that shows it, after its values are read.
    std::function<void()> Fit;
};

// Keeps a window whole on the screen under its centre (the primary one when none is):
// a size stored under another scaling or a larger desktop shrinks to the work area, and
// a position off it moves onto it.
void FitToScreen(QWidget* window);

// The part of a window kept by position (and size): `window` gives it, null while there
// is none; `sizeFirst` reads the size before the position.
TWindowLayout PlacedWindow(std::function<QWidget*()> window, const TWindowSettings& at,
                           bool withSize, bool sizeFirst, std::function<void()> reset);

class TLayoutKeeper {
  public:
    void AddWindow(TWindowLayout layout) { windows_.push_back(std::move(layout)); }
    void AddGrid(std::function<QTableView*()> grid, const TGridTable& table) {
        grids_.push_back({std::move(grid), table});
    }

    void SaveWindows(TConfigBox& box) const;
    // False, with the windows read so far placed, when a stored value is missing or no
    // number: the caller resets them all then. Each window read whole is kept on screen.
    bool RecallWindows(const TConfigBox& box) const;
    void ResetWindows() const;

    void SaveGrids(TConfigBox& box) const;
    // False when a grid's stored lists do not fit it (that grid is left as it was).
    bool RecallGrids(const TConfigBox& box) const;
    void ResetGrids() const;

  private:
    struct TGrid {
        std::function<QTableView*()> View;
        const TGridTable& Table;
    };
    std::vector<TWindowLayout> windows_;
    std::vector<TGrid> grids_;
};

}  // namespace tessaly::ui
