#include "ui/FrameAnimation.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tessaly::ui {

TFrameAnimation::TFrameAnimation(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(66);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Step(); });
    setMouseTracking(true);
}

void TFrameAnimation::SetPainter(TPainter painter, int frameCount) {
    painter_ = std::move(painter);
    painterFrames_ = std::max(1, frameCount);
    update();
}

bool TFrameAnimation::LoadStrip(const QString& fileName) {
    QPixmap pm;
    if (!pm.load(fileName) || pm.height() <= 0 || pm.width() < pm.height()) return false;
    strip_ = pm;
    stripFrames_ = pm.width() / pm.height();
    update();
    return true;
}

void TFrameAnimation::ReleaseStrip() {
    strip_ = QPixmap();
    stripFrames_ = 0;
    update();
}

int TFrameAnimation::FrameCount() const {
    return HasStrip() ? stripFrames_ : painterFrames_;
}

void TFrameAnimation::SetFramesPerSecond(int fps) {
    timer_.setInterval(1000 / std::max(1, fps));
}

void TFrameAnimation::Play(int from, int to) {
    const int last = FrameCount();
    from = std::clamp(from, 1, last);
    to = std::clamp(to, 1, last);
    frame_ = from;
    to_ = to;
    update();
    // Even a one-frame segment takes a tick, so OnStop never runs inside Play.
    timer_.start();
}

void TFrameAnimation::Stop() {
    timer_.stop();
}

void TFrameAnimation::Seek(int frame) {
    timer_.stop();
    frame_ = std::clamp(frame, 1, FrameCount());
    update();
}

void TFrameAnimation::Step() {
    if (frame_ < to_) {
        ++frame_;
        update();
        return;
    }
    timer_.stop();
    if (OnStop) OnStop();
}

void TFrameAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int side = std::min(width(), height());
    const QRect r((width() - side) / 2, (height() - side) / 2, side, side);
    if (HasStrip()) {
        const int h = strip_.height();
        p.drawPixmap(r, strip_, QRect((frame_ - 1) * h, 0, h, h));
    } else if (painter_) {
        painter_(p, r, frame_);
    }
}

void TFrameAnimation::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && OnClick) OnClick();
}

void TFrameAnimation::mouseMoveEvent(QMouseEvent*) {
    if (OnMouseMove) OnMouseMove();
}

// ---------------------------------------------------------------- built-in pictures

void PaintLogoFrame(QPainter& p, const QRect& r, int frame) {
    const QPointF c = QRectF(r).center();
    const double rad = r.width() * 0.36;
    // Frames 1-10 speed up, 11-28 turn at full speed, 29-37 slow down, 37-38 rest.
    const double turn = frame * 2 * M_PI / 27.0;
    p.setPen(QPen(QColor(40, 48, 64), 1.5));
    p.setBrush(QColor(205, 228, 255));
    p.drawEllipse(c, rad, rad);
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < 3; ++k) {
        const double phase = turn + k * M_PI / 3;
        const double w = std::abs(std::cos(phase)) * rad;
        p.drawEllipse(c, w, rad);
    }
    p.drawLine(QPointF(c.x() - rad, c.y()), QPointF(c.x() + rad, c.y()));
    // The magnifier circles the globe while working.
    const bool working = frame > 1 && frame < 37;
    const double a = working ? turn : -M_PI / 4;
    const QPointF m(c.x() + rad * 0.75 * std::cos(a), c.y() + rad * 0.75 * std::sin(a));
    p.setPen(QPen(QColor(120, 70, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(m, m + QPointF(rad * 0.35, rad * 0.35));
    p.setPen(QPen(QColor(40, 48, 64), 1.5));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(m, rad * 0.3, rad * 0.3);
}

void PaintProgressFrame(QPainter& p, const QRect& r, int frame) {
    const double s = r.width() / 40.0;
    p.save();
    p.translate(r.topLeft());
    p.scale(s, s);
    // The folder every segment shares.
    p.setPen(QPen(QColor(40, 48, 64), 1));
    p.setBrush(QColor(255, 210, 90));
    p.drawRect(QRectF(6, 24, 28, 12));
    auto page = [&](double x, double y) {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(x, y, 10, 12));
        p.drawLine(QPointF(x + 2, y + 4), QPointF(x + 8, y + 4));
        p.drawLine(QPointF(x + 2, y + 7), QPointF(x + 8, y + 7));
    };
    if (frame <= 22) {
        // A site's jobs counted: a page drops into the folder.
        page(15, 2 + frame);
    } else if (frame <= 42) {
        // Done: a check mark grows over the folder.
        const double t = (frame - 22) / 20.0;
        p.setPen(QPen(QColor(0, 140, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath tick;
        tick.moveTo(11, 14);
        tick.lineTo(17, 20);
        tick.lineTo(30, 5);
        const double len = tick.length() * t;
        QPainterPath drawn;
        drawn.moveTo(tick.pointAtPercent(0));
        // Half-pixel steps, counted whole so that no rounding adds up.
        for (int step = 1; step * 0.5 <= len; ++step)
            drawn.lineTo(tick.pointAtPercent(tick.percentAtLength(step * 0.5)));
        p.drawPath(drawn);
    } else {
        // Searching: the magnifier sweeps over a page, back and forth.
        page(15, 8);
        const double t = (frame - 43) / 24.0;
        const double x = 12 + 16 * std::sin(t * M_PI);
        p.setPen(QPen(QColor(120, 70, 20), 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x + 3, 17), QPointF(x + 7, 21));
        p.setPen(QPen(QColor(40, 48, 64), 1.2));
        p.setBrush(QColor(215, 235, 255, 180));
        p.drawEllipse(QPointF(x, 14), 4.5, 4.5);
    }
    p.restore();
}

}  // namespace tessaly::ui
