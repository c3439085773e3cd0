#include "ui/WindowLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTableView>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/ByteString.h"

namespace tessaly::ui {

QRect ScreenArea() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
}

int Centred(int screen, int size) {
    return static_cast<int>(std::nearbyint((screen - size) / 2.0));
}

void FitToScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = window->size().boundedTo(area.size());
    if (size != window->size()) window->resize(size);
    // A minimum size larger than the area keeps the top left corner on it.
    const int x = std::max(area.left(), std::min(window->x(), area.right() + 1 - window->width()));
    const int y = std::max(area.top(), std::min(window->y(), area.bottom() + 1 - window->height()));
    if (QPoint(x, y) != window->pos()) window->move(x, y);
}

TWindowLayout PlacedWindow(std::function<QWidget*()> window, const TWindowSettings& at,
                           bool withSize, bool sizeFirst, std::function<void()> reset) {
    TWindowLayout l;
    l.Save = [window, &at, withSize](TConfigBox& box) {
        const QWidget* w = window();
        if (!w) return;
        at.Top.Write(box, w->pos().y());
        at.Left.Write(box, w->pos().x());
        if (!withSize) return;
        at.Width.Write(box, w->width());
        at.Height.Write(box, w->height());
    };
    l.Values = [window, &at, withSize, sizeFirst](std::vector<TPlaceValue>& v) {
        QWidget* w = window();
        if (!w) return;
        auto size = [&] {
            v.push_back({at.Width, [w](int x) { w->resize(x, w->height()); }});
            v.push_back({at.Height, [w](int x) { w->resize(w->width(), x); }});
        };
        if (withSize && sizeFirst) size();
        v.push_back({at.Top, [w](int y) { w->move(w->pos().x(), y); }});
        v.push_back({at.Left, [w](int x) { w->move(x, w->pos().y()); }});
        if (withSize && !sizeFirst) size();
    };
    l.Reset = std::move(reset);
    l.Fit = [window] {
        if (QWidget* w = window()) FitToScreen(w);
    };
    return l;
}

void TLayoutKeeper::SaveWindows(TConfigBox& box) const {
    for (const TWindowLayout& w : windows_)
        w.Save(box);
}

bool TLayoutKeeper::RecallWindows(const TConfigBox& box) const {
    for (const TWindowLayout& w : windows_) {
        std::vector<TPlaceValue> values;
        w.Values(values);
        for (const TPlaceValue& v : values) {
            const std::optional<int32_t> n = ParseInt(v.Setting.Text(box));
            if (!n) return false;
            v.Set(*n);
        }
        if (w.Fit) w.Fit();
    }
    return true;
}

void TLayoutKeeper::ResetWindows() const {
    for (const TWindowLayout& w : windows_)
        w.Reset();
}

void TLayoutKeeper::SaveGrids(TConfigBox& box) const {
    for (const TGrid& g : grids_) {
        const QTableView* view = g.View();
        if (!view) continue;
        const auto [order, sizes] = GridLayoutLists(view, g.Table);
        g.Table.Store.Order.Write(box, order);
        g.Table.Store.Sizes.Write(box, sizes);
    }
}

bool TLayoutKeeper::RecallGrids(const TConfigBox& box) const {
    for (const TGrid& g : grids_) {
        QTableView* view = g.View();
        if (view && !ApplyGridLayout(view, g.Table, g.Table.Store.Order.Read(box),
                                     g.Table.Store.Sizes.Read(box)))
            return false;
    }
    return true;
}

void TLayoutKeeper::ResetGrids() const {
    for (const TGrid& g : grids_)
        if (QTableView* view = g.View()) ResetGridLayout(view, g.Table);
}

}  // namespace tessaly::ui
