#include "ui/VelaBanner.h"

#include <QBuffer>
#include <QEvent>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <algorithm>

#include "ui/QtText.h"

namespace tessaly::ui {

TBannerPanel::TBannerPanel(THTTPMachine& machine, const TConfigBox& descriptor,
                           const std::string& name, QWidget* parent)
    : QFrame(parent), banner_(std::make_unique<TBanner>(machine, descriptor, name)) {
    setObjectName(QString::fromStdString(name));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setToolTip(TBanner::kDefaultHint);

    caption_ = new QLabel(this);
    caption_->setObjectName("Caption");
    caption_->setAlignment(Qt::AlignCenter);
    caption_->hide();

    Image = new QLabel(this);
    Image->setObjectName("Image");
    Image->setToolTip(TBanner::kImageHint);
    Image->setCursor(Qt::PointingHandCursor);
    Image->hide();
    Image->installEventFilter(this);
    hide();

    TBanner& b = *banner_;
    b.OnImage = [this](const std::string& bytes) { return ShowImage(bytes); };
    b.OnHide = [this] { HidePanel(); };
    b.OnHint = [this](const std::string& hint) { setToolTip(FromBytes(hint)); };
    b.OnWaiting = [this] {
        caption_->setText("Please wait...");
        caption_->setGeometry(contentsRect());
        caption_->show();
        Image->hide();
    };
    b.OnStopAnimation = [this] {
        if (movie_) movie_->setPaused(true);
    };
    b.OnBannerClick = [this](const std::string& url) {
        if (OnBannerClick) OnBannerClick(url);
    };
}

TBannerPanel::~TBannerPanel() {
    // The banner's answers may still arrive; none may reach a half-destroyed panel.
    banner_.reset();
}

bool TBannerPanel::ShowImage(const std::string& bytes) {
    // Check the first frame on a copy first: a movie only says whether the header looks
    // right, and a picture that cannot be drawn must make the banner choose again.
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    {
        QBuffer probe(&data);
        probe.open(QIODevice::ReadOnly);
        QImageReader reader(&probe, "gif");
        const QImage first = reader.read();
        if (first.isNull() || first.width() <= 0 || first.height() <= 0) {
            ClearPicture();
            return false;
        }
    }
    ClearPicture();
    bytes_ = std::move(data);
    buffer_ = new QBuffer(&bytes_, this);
    buffer_->open(QIODevice::ReadOnly);
    movie_ = new QMovie(buffer_, "gif", this);
    movie_->setCacheMode(QMovie::CacheAll);
    if (!movie_->isValid() || !movie_->jumpToFrame(0) || movie_->currentImage().isNull()) {
        ClearPicture();
        return false;
    }
    const QSize size = movie_->currentImage().size();
    Image->setMovie(movie_);
    Image->setFixedSize(size);
    movie_->start();
    caption_->hide();
    Image->show();
    CentreImage();
    show();
    Relayout();
    return true;
}

void TBannerPanel::ClearPicture() {
    Image->setMovie(nullptr);
    Image->clear();
    Image->hide();
    delete movie_;
    movie_ = nullptr;
    delete buffer_;
    buffer_ = nullptr;
    bytes_.clear();
}

QSize TBannerPanel::ImageSize() const {
    return movie_ ? Image->size() : QSize();
}

bool TBannerPanel::Animated() const {
    return movie_ && movie_->frameCount() > 1;
}

QString TBannerPanel::Caption() const {
    return caption_->isHidden() ? QString() : caption_->text();
}

void TBannerPanel::PlaceImage(const QPoint& at) {
    placed_ = true;
    Image->move(at);
}

void TBannerPanel::CentreImage() {
    if (placed_) return;
    const QRect r = rect();
    Image->move(std::max(0, (r.width() - Image->width()) / 2),
                std::max(0, (r.height() - Image->height()) / 2));
}

void TBannerPanel::HidePanel() {
    const bool wasShown = !isHidden();
    hide();
    if (wasShown) Relayout();
}

void TBannerPanel::Relayout() {
    if (OnResize) OnResize();
}

void TBannerPanel::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    caption_->setGeometry(contentsRect());
    CentreImage();
}

bool TBannerPanel::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Image && e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton &&
        Image->rect().contains(static_cast<QMouseEvent*>(e)->position().toPoint())) {
        banner_->Click();
        return true;
    }
    return QFrame::eventFilter(watched, e);
}

}  // namespace tessaly::ui
