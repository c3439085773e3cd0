#include "ui/JobImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

#include "data/VelaJobs.h"

namespace tessaly::ui {

namespace {

constexpr int kSize = 16;

enum class TBase { Online, Grabbed, Fetching, Spare };
enum class TMark { None, New, Green, Yellow, Red };

const QColor kInk(40, 48, 64);
const QColor kHighFill(255, 214, 0);

void DrawHighlight(QPainter& p) {
    // A marker stroke behind the picture: reads as "highlighted" even on a yellow row.
    p.setPen(QPen(QColor(200, 120, 0), 1));
    p.setBrush(kHighFill);
    p.drawRoundedRect(QRectF(0.5, 0.5, kSize - 1, kSize - 1), 3, 3);
}

void DrawGlobe(QPainter& p, const QColor& fill) {
    const QRectF r(2.5, 2.5, 11, 11);
    p.setPen(QPen(kInk, 1));
    p.setBrush(fill);
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5.5, 2.5, 5, 11));
    p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
}

void DrawPage(QPainter& p, const QColor& fill) {
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(10.5, 1.5);
    page.lineTo(13.5, 4.5);
    page.lineTo(13.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(fill);
    p.drawPath(page);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(10.5, 1.5), QPointF(10.5, 4.5), QPointF(13.5, 4.5)}));
    p.setPen(QPen(QColor(120, 130, 150), 1));
    for (double y : {7.5, 9.5, 11.5})
        p.drawLine(QPointF(5.5, y), QPointF(11.5, y));
}

void DrawMark(QPainter& p, TMark mark) {
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (mark) {
        case TMark::None:
            break;
        case TMark::Green: {
            p.setPen(QPen(QColor(0, 140, 40), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(5, 9), QPointF(7.5, 12), QPointF(13, 5)}));
            break;
        }
        case TMark::Red: {
            p.setPen(QPen(QColor(210, 20, 20), 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5, 5), QPointF(12, 12));
            p.drawLine(QPointF(12, 5), QPointF(5, 12));
            break;
        }
        case TMark::Yellow: {
            // Unreachable: a broken link, an amber question mark.
            p.setPen(QPen(QColor(170, 110, 0), 1));
            p.setBrush(QColor(255, 200, 40));
            p.drawEllipse(QRectF(6.5, 6.5, 8, 8));
            QFont f = p.font();
            f.setPixelSize(8);
            f.setBold(true);
            p.setFont(f);
            p.setPen(QColor(90, 50, 0));
            p.drawText(QRectF(6.5, 6.5, 8, 8), Qt::AlignCenter, "?");
            break;
        }
        case TMark::New: {
            // A star: newly posted.
            QPolygonF star;
            for (int k = 0; k < 10; ++k) {
                const double a = -M_PI / 2 + k * M_PI / 5;
                const double rad = (k % 2) ? 3.0 : 7.0;
                star << QPointF(8 + rad * std::cos(a), 8.5 + rad * std::sin(a));
            }
            p.setPen(QPen(QColor(170, 70, 0), 1));
            p.setBrush(QColor(255, 140, 0));
            p.drawPolygon(star);
            break;
        }
    }
}

void DrawFetching(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 100, 210));
    QPolygonF arrow({QPointF(6, 3), QPointF(10, 3), QPointF(10, 8), QPointF(13, 8),
                     QPointF(8, 13.5), QPointF(3, 8), QPointF(6, 8)});
    p.drawPolygon(arrow);
}

QPixmap Draw(TBase base, TMark mark, bool high) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    if (high) DrawHighlight(p);
    const QColor paper = mark == TMark::Yellow ? QColor(255, 248, 200) : QColor(Qt::white);
    switch (base) {
        case TBase::Online:
            DrawGlobe(p, mark == TMark::Yellow ? paper : QColor(205, 228, 255));
            break;
        case TBase::Grabbed:
        case TBase::Fetching:
            DrawPage(p, paper);
            break;
        case TBase::Spare:
            DrawPage(p, QColor(225, 225, 225));
            break;
    }
    if (base == TBase::Fetching)
        DrawFetching(p);
    else
        DrawMark(p, mark);
    return pm;
}

std::vector<QPixmap> BuildJobImages() {
    std::vector<QPixmap> v(kJobImageCount);
    v[0] = Draw(TBase::Online, TMark::New, false);
    v[1] = Draw(TBase::Online, TMark::None, false);
    v[2] = Draw(TBase::Online, TMark::None, true);
    v[3] = Draw(TBase::Grabbed, TMark::None, false);
    v[4] = Draw(TBase::Grabbed, TMark::None, true);
    v[5] = Draw(TBase::Grabbed, TMark::Green, false);
    v[6] = Draw(TBase::Grabbed, TMark::Green, true);
    v[7] = Draw(TBase::Grabbed, TMark::Red, false);
    v[8] = Draw(TBase::Grabbed, TMark::Red, true);
    v[9] = Draw(TBase::Online, TMark::Yellow, false);
    v[10] = Draw(TBase::Online, TMark::Yellow, true);
    v[11] = Draw(TBase::Fetching, TMark::None, false);
    v[12] = Draw(TBase::Fetching, TMark::None, true);
    v[13] = Draw(TBase::Spare, TMark::None, false);
    v[14] = Draw(TBase::Spare, TMark::None, true);
    v[15] = Draw(TBase::Online, TMark::Green, false);
    v[16] = Draw(TBase::Online, TMark::Green, true);
    v[17] = Draw(TBase::Online, TMark::Red, false);
    v[18] = Draw(TBase::Online, TMark::Red, true);
    v[19] = Draw(TBase::Online, TMark::New, true);
    return v;
}

QPixmap BuildSearchImage() {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kInk, 1.4));
    p.setBrush(QColor(215, 235, 255));
    p.drawEllipse(QRectF(2, 2, 8.5, 8.5));
    p.setPen(QPen(QColor(120, 70, 20), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    return pm;
}

// Toolbar icons: 32 pixels, drawn with the same ink and palette as the job images.
QPixmap ToolbarPixmap(const QString& name) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPen ink(kInk, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    auto page = [&](QColor fill) {
        QPainterPath path;
        path.moveTo(7, 3);
        path.lineTo(20, 3);
        path.lineTo(26, 9);
        path.lineTo(26, 29);
        path.lineTo(7, 29);
        path.closeSubpath();
        p.setPen(ink);
        p.setBrush(fill);
        p.drawPath(path);
        p.drawPolyline(QPolygonF({QPointF(20, 3), QPointF(20, 9), QPointF(26, 9)}));
    };
    if (name == "New") {
        page(Qt::white);
        p.setPen(QPen(QColor(0, 140, 40), 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16.5, 13), QPointF(16.5, 25));
        p.drawLine(QPointF(10.5, 19), QPointF(22.5, 19));
    } else if (name == "Update") {
        p.setPen(QPen(QColor(20, 100, 210), 3.2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 6, 20, 20), 30 * 16, 150 * 16);
        p.drawArc(QRectF(6, 6, 20, 20), 210 * 16, 150 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 100, 210));
        p.drawPolygon(QPolygonF({QPointF(26, 3), QPointF(27.5, 13), QPointF(18.5, 9)}));
        p.drawPolygon(QPolygonF({QPointF(6, 29), QPointF(4.5, 19), QPointF(13.5, 23)}));
    } else if (name == "Refine") {
        p.setPen(ink);
        p.setBrush(QColor(205, 228, 255));
        p.drawPolygon(QPolygonF({QPointF(4, 5), QPointF(28, 5), QPointF(18.5, 17),
                                 QPointF(18.5, 28), QPointF(13.5, 25), QPointF(13.5, 17)}));
    } else if (name == "Grab") {
        p.setPen(ink);
        p.setBrush(QColor(225, 225, 225));
        p.drawRoundedRect(QRectF(4, 19, 24, 9), 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 100, 210));
        p.drawPolygon(QPolygonF({QPointF(13, 3), QPointF(19, 3), QPointF(19, 12), QPointF(24, 12),
                                 QPointF(16, 22), QPointF(8, 12), QPointF(13, 12)}));
    } else if (name == "Stop") {
        QPolygonF oct;
        for (int k = 0; k < 8; ++k) {
            const double a = M_PI / 8 + k * M_PI / 4;
            oct << QPointF(16 + 13 * std::cos(a), 16 + 13 * std::sin(a));
        }
        p.setPen(QPen(QColor(130, 0, 0), 1.4));
        p.setBrush(QColor(215, 30, 30));
        p.drawPolygon(oct);
        p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 16), QPointF(22, 16));
    } else if (name == "Highlight") {
        p.setPen(Qt::NoPen);
        p.setBrush(kHighFill);
        p.drawRect(QRectF(3, 20, 26, 8));
        p.setPen(ink);
        p.setBrush(QColor(255, 230, 80));
        p.drawPolygon(QPolygonF(
            {QPointF(19, 3), QPointF(27, 11), QPointF(14, 24), QPointF(8, 24), QPointF(8, 18)}));
    } else if (name == "Tools") {
        p.setPen(ink);
        p.setBrush(QColor(190, 195, 205));
        QPainterPath gear;
        for (int k = 0; k < 16; ++k) {
            const double a = k * M_PI / 8;
            const double rad = (k % 2) ? 9.0 : 12.5;
            const QPointF pt(16 + rad * std::cos(a), 16 + rad * std::sin(a));
            if (k == 0)
                gear.moveTo(pt);
            else
                gear.lineTo(pt);
        }
        gear.closeSubpath();
        gear.addEllipse(QPointF(16, 16), 4, 4);
        p.drawPath(gear);
    } else if (name == "Browse") {
        p.setPen(ink);
        p.setBrush(QColor(205, 228, 255));
        p.drawEllipse(QRectF(4, 4, 24, 24));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(10.5, 4, 11, 24));
        p.drawLine(QPointF(4, 16), QPointF(28, 16));
        p.drawLine(QPointF(6, 10), QPointF(26, 10));
        p.drawLine(QPointF(6, 22), QPointF(26, 22));
    } else if (name == "Guide") {
        p.setPen(ink);
        p.setBrush(QColor(40, 110, 60));
        p.drawRoundedRect(QRectF(6, 3, 20, 26), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 7, 14, 6));
        p.setPen(QPen(QColor(230, 230, 230), 1.6));
        p.drawLine(QPointF(9, 25), QPointF(23, 25));
    }
    return pm;
}

}  // namespace

QString JobImageHint(const TVelaJob& job) {
    QString hint;
    if (job.High) hint += "Highlighted ";
    if (job.Status == kStatusNew) hint += "New ";
    if (job.Status == kStatusGreen) hint += "Validated ";
    if (job.Status == kStatusYellow) hint += "Unreachable ";
    if (job.Status == kStatusRed) hint += "Invalidated ";
    hint += job.LocalFile.empty() ? "Online " : "Grabbed ";
    hint += "Job";
    return hint;
}

const std::vector<QPixmap>& JobImages() {
    static const std::vector<QPixmap> images = BuildJobImages();
    return images;
}

const QPixmap& SearchImage() {
    static const QPixmap image = BuildSearchImage();
    return image;
}

QIcon ToolbarIcon(const QString& name) {
    return QIcon(ToolbarPixmap(name));
}

QIcon ProgramIcon() {
    QIcon icon;
    icon.addPixmap(ToolbarPixmap("Browse"));
    return icon;
}

}  // namespace tessaly::ui
