// The layouts the settings keep: where each window sits and how each grid's columns run.
// Every window and grid is registered once, with its settings and how it is placed
// afresh. Once watched, each one saves its own layout into the settings as the user
// changes it (a window moved, sized, hidden or closed; a grid's column moved or sized, its
// sort changed), so the options dialog knows none of the windows and nothing waits for it.
#pragma once

#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <vector>

#include "data/Settings.h"
#include "ui/GridLayout.h"

class QObject;
class QTableView;
class QWidget;

namespace tessaly {
class TLiveSettings;
}

namespace tessaly::ui {

// The screen's work area, and the offset that centres `size` in `screen` (half a pixel
// rounds to the even neighbour).
QRect ScreenArea();
int Centred(int screen, int size);
// The main window's size on a first start: about 70% of the work area, never smaller than
// the 600 by 450 its toolbar and grids need, nor larger than the area.
QSize FirstWindowSize(const QRect& area);

// One stored number of a window's place and how the window takes it.
struct TPlaceValue {
    const TSetting<int>& Setting;
    std::function<void(int)> Set;
};

// A window's part of the layout.
struct TWindowLayout {
    // The window, null while there is none.
    std::function<QWidget*()> Window;
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
    // Layouts are saved into `settings`' store while its options keep them ("Remember
    // window positions", "Remember grid layouts").
    explicit TLayoutKeeper(TLiveSettings& settings);
    ~TLayoutKeeper();
    TLayoutKeeper(const TLayoutKeeper&) = delete;
    TLayoutKeeper& operator=(const TLayoutKeeper&) = delete;

    void AddWindow(TWindowLayout layout) { windows_.push_back(std::move(layout)); }
    // `alsoSave` writes what goes with the grid's columns (the listing's sort order).
    void AddGrid(std::function<QTableView*()> grid, const TGridTable& table,
                 std::function<void(TConfigBox&)> alsoSave = {}) {
        grids_.push_back({std::move(grid), table, std::move(alsoSave)});
    }

    // From here on every window and grid that exists saves itself when it changes.
    void Watch();
    // Every layout into the store at once: what never changed since it was placed (a
    // window placed while hidden tells nobody), at the start and at the end of the run.
    void SaveAll();

    // False, with the windows read so far placed, when a stored value is missing or no
    // number: the caller resets them all then. Each window read whole is kept on screen.
    bool RecallWindows(const TConfigBox& box);
    void ResetWindows();
    // False when a grid's stored lists do not fit it (that grid is left as it was).
    bool RecallGrids(const TConfigBox& box);
    // The reset column layouts, then `OnGridsReset` (the listing's reset sort order).
    void ResetGrids();
    std::function<void()> OnGridsReset;

  private:
    struct TGrid {
        std::function<QTableView*()> View;
        const TGridTable& Table;
        std::function<void(TConfigBox&)> AlsoSave;
    };
    void SaveWindow(const TWindowLayout& window);
    void SaveGrid(const TGrid& grid);

    TLiveSettings& settings_;
    std::vector<TWindowLayout> windows_;
    std::vector<TGrid> grids_;
    // Placing windows and grids from the store or afresh moves and sizes them: nothing
    // saves meanwhile, or a value not yet read would be overwritten.
    bool placing_ = false;
    std::unique_ptr<QObject> watcher_;
};

}  // namespace tessaly::ui
