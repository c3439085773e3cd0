#include "ui/WindowLayout.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "data/LiveSettings.h"
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
    l.Window = std::move(window);
    return l;
}

namespace {

// Tells the keeper of every move, resize, hide and close of the windows it watches.
class TWindowWatcher : public QObject {
  public:
    explicit TWindowWatcher(std::function<void(QObject*)> changed) : changed_(std::move(changed)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        switch (e->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Hide:
            case QEvent::Close:
                changed_(watched);
                break;
            default:
                break;
        }
        return false;
    }

  private:
    std::function<void(QObject*)> changed_;
};

// Sets a flag for the lifetime of the guard.
class TFlagGuard {
  public:
    explicit TFlagGuard(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~TFlagGuard() { flag_ = was_; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

  private:
    bool& flag_;
    bool was_;
};

}  // namespace

TLayoutKeeper::TLayoutKeeper(TLiveSettings& settings) : settings_(settings) {}

TLayoutKeeper::~TLayoutKeeper() = default;

void TLayoutKeeper::SaveWindow(const TWindowLayout& window) {
    if (!placing_ && settings_.Visual.RememberWindows) window.Save(settings_.Store());
}

void TLayoutKeeper::SaveGrid(const TGrid& grid) {
    if (placing_ || !settings_.Visual.RememberGrids) return;
    const QTableView* view = grid.View();
    if (!view) return;
    TConfigBox& box = settings_.Store();
    const auto [order, sizes] = GridLayoutLists(view, grid.Table);
    grid.Table.Store.Order.Write(box, order);
    grid.Table.Store.Sizes.Write(box, sizes);
    if (grid.AlsoSave) grid.AlsoSave(box);
}

void TLayoutKeeper::Watch() {
    watcher_ = std::make_unique<TWindowWatcher>([this](QObject* watched) {
        for (const TWindowLayout& w : windows_)
            if (w.Window && w.Window() == watched) SaveWindow(w);
    });
    for (const TWindowLayout& w : windows_)
        if (QWidget* window = w.Window ? w.Window() : nullptr)
            window->installEventFilter(watcher_.get());
    for (size_t i = 0; i < grids_.size(); ++i) {
        QTableView* view = grids_[i].View();
        if (!view) continue;
        const QHeaderView* header = view->horizontalHeader();
        auto save = [this, i] { SaveGrid(grids_[i]); };
        QObject::connect(header, &QHeaderView::sectionMoved, watcher_.get(), save);
        QObject::connect(header, &QHeaderView::sectionResized, watcher_.get(), save);
        QObject::connect(header, &QHeaderView::sortIndicatorChanged, watcher_.get(), save);
    }
}

void TLayoutKeeper::SaveAll() {
    for (const TWindowLayout& w : windows_)
        SaveWindow(w);
    for (const TGrid& g : grids_)
        SaveGrid(g);
}

bool TLayoutKeeper::RecallWindows(const TConfigBox& box) {
    const TFlagGuard placing(placing_);
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

void TLayoutKeeper::ResetWindows() {
    {
        const TFlagGuard placing(placing_);
        for (const TWindowLayout& w : windows_)
            w.Reset();
    }
    for (const TWindowLayout& w : windows_)
        SaveWindow(w);
}

bool TLayoutKeeper::RecallGrids(const TConfigBox& box) {
    const TFlagGuard placing(placing_);
    for (const TGrid& g : grids_) {
        QTableView* view = g.View();
        if (view && !ApplyGridLayout(view, g.Table, g.Table.Store.Order.Read(box),
                                     g.Table.Store.Sizes.Read(box)))
            return false;
    }
    return true;
}

void TLayoutKeeper::ResetGrids() {
    {
        const TFlagGuard placing(placing_);
        for (const TGrid& g : grids_)
            if (QTableView* view = g.View()) ResetGridLayout(view, g.Table);
        if (OnGridsReset) OnGridsReset();
    }
    for (const TGrid& g : grids_)
        SaveGrid(g);
}

}  // namespace tessaly::ui
