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

QSize FirstWindowSize(const QRect& area) {
    auto fit = [](int room, int least) {
        return std::min(room, std::max(least, static_cast<int>(std::lround(room * 0.7))));
    };
    return {fit(area.width(), 600), fit(area.height(), 450)};
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
    return l;
}

void TLayoutKeeper::SaveWindows(TConfigBox& box) const {
    for (const TWindowLayout& w : windows_)
        w.Save(box);
}

bool TLayoutKeeper::RecallWindows(const TConfigBox& box) const {
    std::vector<TPlaceValue> values;
    for (const TWindowLayout& w : windows_)
        w.Values(values);
    for (const TPlaceValue& v : values) {
        const std::optional<int32_t> n = ParseInt(v.Setting.Text(box));
        if (!n) return false;
        v.Set(*n);
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
