#include "ui/VelaProgress.h"

#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTableWidget>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "platform/Paths.h"
#include "ui/FrameAnimation.h"
#include "ui/QtText.h"

namespace tessaly::ui {

namespace {

QPixmap LogImage(int kind) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor ink(40, 48, 64);
    switch (kind) {
        case TProgressForm::imgWaiting:  // a clock
            p.setPen(QPen(ink, 1.2));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.drawLine(QPointF(8, 8), QPointF(8, 4));
            p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
            break;
        case TProgressForm::imgConnecting:  // two arrows, out and in
            p.setPen(QPen(QColor(20, 100, 210), 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(2, 5), QPointF(13, 5));
            p.drawLine(QPointF(10, 2), QPointF(13, 5));
            p.drawLine(QPointF(14, 11), QPointF(3, 11));
            p.drawLine(QPointF(6, 14), QPointF(3, 11));
            break;
        case TProgressForm::imgAnalyzing:  // a magnifier
            p.setPen(QPen(ink, 1.4));
            p.setBrush(QColor(215, 235, 255));
            p.drawEllipse(QRectF(2, 2, 8.5, 8.5));
            p.setPen(QPen(QColor(120, 70, 20), 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10, 10), QPointF(14, 14));
            break;
        case TProgressForm::imgDone:
            p.setPen(QPen(QColor(0, 140, 40), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 4)}));
            break;
        case TProgressForm::imgFailed:
            p.setPen(QPen(QColor(210, 20, 20), 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4, 4), QPointF(12, 12));
            p.drawLine(QPointF(12, 4), QPointF(4, 12));
            break;
        default:  // not applicable: a grey bar
            p.setPen(QPen(QColor(150, 150, 150), 2.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4, 8), QPointF(12, 8));
            break;
    }
    return pm;
}

}  // namespace

// ---------------------------------------------------------------- TPieGauge

TPieGauge::TPieGauge(QWidget* parent) : QWidget(parent) {
    setObjectName("Gauge");
}

void TPieGauge::SetPosition(int position) {
    position_ = position;
    update();
}

void TPieGauge::SetMaximum(int maximum) {
    maximum_ = maximum;
    update();
}

int TPieGauge::Percent() const {
    if (maximum_ <= 0) return 0;
    const long long p = static_cast<long long>(std::clamp(position_, 0, maximum_)) * 100 / maximum_;
    return static_cast<int>(p);
}

void TPieGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int side = std::min(width(), height()) - 2;
    const QRectF r((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.setBrush(palette().color(QPalette::Light));
    p.drawEllipse(r);
    p.setBrush(palette().color(QPalette::Highlight));
    const int pct = Percent();
    if (pct >= 100)
        p.drawEllipse(r);
    else if (pct > 0)
        p.drawPie(r, 90 * 16, -pct * 360 * 16 / 100);
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    const QString text = QString::number(pct) + "%";
    // The number on a small plate, readable over both colours.
    const QFontMetrics fm(f);
    QRectF plate(0, 0, fm.horizontalAdvance(text) + 6, fm.height());
    plate.moveCenter(r.center());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawRoundedRect(plate, 3, 3);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(plate, Qt::AlignCenter, text);
}

// ---------------------------------------------------------------- TProgressForm

TProgressForm::TProgressForm(QWidget* parent) : QDialog(parent) {
    setObjectName("ProgressForm");
    setWindowTitle("Search Progress");
    setModal(false);
    setSizeGripEnabled(true);

    LogGrid = new QTableWidget(1, 4, this);
    LogGrid->setObjectName("LogGrid");
    LogGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    LogGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    LogGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LogGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LogGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    LogGrid->verticalHeader()->hide();
    LogGrid->verticalHeader()->setDefaultSectionSize(20);
    LogGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    LogGrid->horizontalHeader()->setStretchLastSection(true);
    LogGrid->setIconSize(QSize(16, 16));
    LogGrid->setWordWrap(false);

    Bevel = new QFrame(this);
    Bevel->setObjectName("Bevel");
    Bevel->setFrameShape(QFrame::StyledPanel);
    Bevel->setFrameShadow(QFrame::Sunken);
    Gauge = new TPieGauge(this);
    Gauge->setFixedSize(46, 46);
    VelaAnim = new TFrameAnimation(this);
    VelaAnim->setObjectName("VelaAnim");
    VelaAnim->setFixedSize(80, 80);
    VelaAnim->SetPainter(PaintProgressFrame, kProgressFrames);
    VelaAnim->SetFramesPerSecond(15);

    SetStayOnTop(true);
    resize(520, 300);
    blankLine_ = true;
}

const std::vector<QPixmap>& TProgressForm::LogImageList() {
    static const std::vector<QPixmap> images = [] {
        std::vector<QPixmap> v;
        for (int k = 0; k <= imgNotApplicable; ++k)
            v.push_back(LogImage(k));
        return v;
    }();
    return images;
}

void TProgressForm::SetStayOnTop(bool on) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) show();
}

void TProgressForm::ClearLog() {
    LogGrid->clearContents();
    LogGrid->setRowCount(1);
    blankLine_ = true;
}

int TProgressForm::AddLine(const std::string& sourceTitle) {
    int row;
    if (blankLine_) {
        row = 0;
        blankLine_ = false;
    } else {
        row = LogGrid->rowCount();
        LogGrid->setRowCount(row + 1);
    }
    for (int c = 0; c < 4; ++c)
        LogGrid->setItem(row, c, new QTableWidgetItem);
    LogGrid->item(row, 0)->setText(" " + FromBytes(sourceTitle));
    SetImage(row, imgWaiting);
    return row;
}

void TProgressForm::SetCell(int row, int column, const std::string& text) {
    if (row < 0 || row >= LogGrid->rowCount() || column < 0 || column > 3) return;
    QTableWidgetItem* it = LogGrid->item(row, column);
    if (!it) {
        it = new QTableWidgetItem;
        LogGrid->setItem(row, column, it);
    }
    // The first column keeps its blank before the title.
    it->setText(column == 0 ? " " + FromBytes(text) : FromBytes(text));
    // A longer name or state than any before: the columns (and the window) fit again.
    if (column == 0 || column == 3) FormResize();
}

void TProgressForm::SetImage(int row, int image) {
    if (row < 0 || row >= LogGrid->rowCount()) return;
    const auto& images = LogImageList();
    if (image < 0 || image >= static_cast<int>(images.size())) return;
    QTableWidgetItem* it = LogGrid->item(row, 0);
    if (!it) {
        it = new QTableWidgetItem;
        LogGrid->setItem(row, 0, it);
    }
    it->setIcon(QIcon(images[static_cast<size_t>(image)]));
    it->setData(Qt::UserRole, image);
}

std::string TProgressForm::Cell(int row, int column) const {
    const QTableWidgetItem* it = LogGrid->item(row, column);
    if (!it) return {};
    QString t = it->text();
    if (column == 0 && t.startsWith(' ')) t.remove(0, 1);
    const QByteArray b = t.toUtf8();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

int TProgressForm::Image(int row) const {
    const QTableWidgetItem* it = LogGrid->item(row, 0);
    return it && it->data(Qt::UserRole).isValid() ? it->data(Qt::UserRole).toInt() : -1;
}

int TProgressForm::LineCount() const {
    return blankLine_ ? 0 : LogGrid->rowCount();
}

void TProgressForm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TProgressForm::hideEvent(QHideEvent* e) {
    FormClose();
    QDialog::hideEvent(e);
}

void TProgressForm::FormShow() {
    Gauge->SetPosition(0);
    Gauge->SetMaximum(0);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    const std::string clip = JoinPath(programDir_, "progress.png");
    if (!programDir_.empty() && FileExists(clip)) VelaAnim->LoadStrip(QString::fromStdString(clip));
    VelaAnim->OnStop = [this] { VelaAnimStop(); };
    animState_ = 0;
    VelaAnimStop();
    LogGrid->setHorizontalHeaderLabels({"Job Source", "Found", "Kept", "Status"});
    FormResize();
}

void TProgressForm::FormClose() {
    VelaAnim->OnStop = nullptr;
    VelaAnim->Stop();
    VelaAnim->ReleaseStrip();
}

void TProgressForm::VelaAnimStop() {
    switch (animState_) {
        case 0:
        case 1:
            VelaAnim->Play(43, 67);
            break;
        case 2:
            animState_ = 1;
            VelaAnim->Play(1, 22);
            break;
        case 3:
            animState_ = 4;
            VelaAnim->Play(23, 42);
            break;
        default:
            VelaAnim->Stop();
            break;
    }
}

void TProgressForm::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    FormResize();
}

void TProgressForm::FormResize() {
    // Measured on the client area; the smallest useful window is 300 by 200 outside,
    // which is about 300 by 173 inside a title bar.
    constexpr int kMinW = 300, kMinH = 173;
    if (width() < kMinW || height() < kMinH) {
        resize(std::max(width(), kMinW), std::max(height(), kMinH));
        return;  // the resize comes back here
    }
    const int w = width(), h = height();
    const int gridW = w - 100;
    LogGrid->setGeometry(4, 4, gridW - 4, h - 8);
    Bevel->setGeometry(gridW + 6, 4, 88, h - 8);
    // Both sit at fixed distances from the bottom, the gauge above the animation.
    Gauge->move(gridW + 27, h - 165);
    VelaAnim->move(gridW + 10, h - 118);
    // Each column what its header and texts need, and the room left shared out (40%,
    // 13%, 13%, 34%), rounded; the last one stretches anyway.
    const int gw = LogGrid->viewport()->width();
    const double shares[4] = {0.40, 0.13, 0.13, 0.34};
    int fits[4], needed = 0;
    for (int c = 0; c < 4; ++c)
        needed += fits[c] = ColumnFit(c);
    const int room = std::max(0, gw - needed);
    for (int c = 0; c < 4; ++c)
        LogGrid->setColumnWidth(c, fits[c] + static_cast<int>(std::lround(shares[c] * room)));
    // Texts that do not fit: the window grows to show them, as far as the screen allows.
    const int more = needed - gw;
    if (more > 0 && isVisible()) {
        const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
        const int grown = std::min(w + more, screen.isValid() ? screen.width() : w + more);
        if (grown > w) {
            if (screen.isValid() && x() + grown > screen.right())
                move(std::max(screen.left(), screen.right() - grown), y());
            resize(grown, h);  // comes back here
        }
    }
}

int TProgressForm::ColumnFit(int column) const {
    const QString header = LogGrid->horizontalHeaderItem(column)
                               ? LogGrid->horizontalHeaderItem(column)->text()
                               : QString();
    const int headerWidth = LogGrid->horizontalHeader()->fontMetrics().horizontalAdvance(header);
    // The view's own measure of the texts (public on its base class).
    const auto* view = static_cast<const QAbstractItemView*>(LogGrid);
    return std::max(view->sizeHintForColumn(column), headerWidth + 16);
}

}  // namespace tessaly::ui
