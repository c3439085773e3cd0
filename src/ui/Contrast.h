// Text colours that stay readable on whatever the desktop's palette puts behind them: a
// colour that carries a meaning (a highlighted row, a note, a visited title) keeps its hue
// and is made darker on a light background, lighter on a dark one, until it stands out.
#pragma once

#include <QColor>

class QWidget;

namespace tessaly::ui {

// The least contrast of the listing's coloured texts with their background.
inline constexpr double kReadableContrast = 4.5;

// The contrast of two colours, from 1 (the same) to 21 (black on white), by their relative
// luminance.
double ContrastRatio(const QColor& a, const QColor& b);

// Black or white, whichever stands out more from `background`.
QColor StrongestOn(const QColor& background);

// `ink` itself when it reaches `ratio` against `background`, else the first of its mixes
// with black (on a light background) or white (on a dark one) that does.
QColor ReadableOn(const QColor& ink, const QColor& background, double ratio = kReadableContrast);

// Gives a widget's text the colour `ink`, made readable on the widget's own background.
void SetReadableText(QWidget* widget, const QColor& ink);

}  // namespace tessaly::ui
