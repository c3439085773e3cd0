#include "ui/VelaSponsor.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <algorithm>

#include "platform/MainLoop.h"
#include "ui/VelaBanner.h"

namespace tessaly::ui {

namespace {
constexpr int kMargin = 4;  // around the banner, and around the image inside it
}

TSponsorForm::TSponsorForm(THTTPMachine& machine, const TConfigBox& descriptor, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName("SponsorForm");
    setWindowTitle("Click for details...");
    setAttribute(Qt::WA_ShowWithoutActivating);
    PopBanner = new TBannerPanel(machine, descriptor, "PopBanner", this);
    PopBanner->PlaceImage(QPoint(kMargin, kMargin));
    PopBanner->OnResize = [this] { PopBannerResize(); };
    PopBanner->OnBannerClick = [this](const std::string& d) { PopBannerBannerClick(d); };
    resize(120 + 4 * kMargin, 60 + 4 * kMargin);
    move(20, 200);

    timer_ = std::make_unique<TTimer>();
    timer_->SetInterval(1000);
    timer_->OnTimer = [this] { TimerTimer(); };
    timer_->SetEnabled(true);
}

TSponsorForm::~TSponsorForm() {
    timer_.reset();
}

void TSponsorForm::TimerTimer() {
    const bool bannerShown = !PopBanner->isHidden();
    if (bannerShown && !isVisible())
        show();
    else if (!bannerShown && isVisible())
        hide();
}

void TSponsorForm::closeEvent(QCloseEvent* e) {
    if (PopBanner->Active()) PopBanner->Stop();
    QWidget::closeEvent(e);
}

void TSponsorForm::PopBannerBannerClick(const std::string& destination) {
    if (OnOpenURL) OnOpenURL(destination, true);
}

void TSponsorForm::PopBannerResize() {
    if (PopBanner->isHidden()) return;
    const QSize image = PopBanner->ImageSize();
    PopBanner->PlaceImage(QPoint(kMargin, kMargin));
    PopBanner->setGeometry(kMargin, kMargin, image.width() + 2 * kMargin,
                           image.height() + 2 * kMargin);
    // The window manager adds the frame and title bar; the client area holds the banner
    // with the same margin all round.
    resize(PopBanner->width() + 2 * kMargin, PopBanner->height() + 2 * kMargin);
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    QRect frame = frameGeometry();
    // Before the first show there is no frame yet: the window's own size stands for it.
    if (frame.size().width() < width() || frame.size().height() < height()) frame.setSize(size());
    const QPoint at = KeptOnScreen(frame, s->availableGeometry());
    if (at != frame.topLeft()) move(at);
}

QPoint TSponsorForm::KeptOnScreen(const QRect& frame, const QRect& screen) {
    // The right and bottom edges first, then the left and top: a window larger than the
    // screen keeps its title bar reachable.
    int x = std::min(frame.x(), screen.x() + screen.width() - frame.width());
    int y = std::min(frame.y(), screen.y() + screen.height() - frame.height());
    x = std::max(x, screen.x());
    y = std::max(y, screen.y());
    return {x, y};
}

}  // namespace tessaly::ui
