#include "ui/Contrast.h"

#include <QPalette>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace tessaly::ui {

namespace {

double Channel(int value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
    const QColor rgb = c.toRgb();
    return 0.2126 * Channel(rgb.red()) + 0.7152 * Channel(rgb.green()) +
           0.0722 * Channel(rgb.blue());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor StrongestOn(const QColor& background) {
    return ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background)
               ? QColor(Qt::black)
               : QColor(Qt::white);
}

QColor ReadableOn(const QColor& ink, const QColor& background, double ratio) {
    if (ContrastRatio(ink, background) >= ratio) return ink;
    // Towards whichever end stands out more from the background.
    const QColor end = StrongestOn(background);
    const QColor from = ink.toRgb();
    for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
        const QColor c(mix(from.red(), end.red()), mix(from.green(), end.green()),
                       mix(from.blue(), end.blue()));
        if (ContrastRatio(c, background) >= ratio) return c;
    }
    return end;
}

void SetReadableText(QWidget* widget, const QColor& ink) {
    QPalette p = widget->palette();
    const QColor back = p.color(widget->backgroundRole());
    p.setColor(widget->foregroundRole(), ReadableOn(ink, back));
    widget->setPalette(p);
}

}  // namespace tessaly::ui
