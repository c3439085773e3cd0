// A sponsor banner on screen: the panel that holds one banner's picture. The choice of
// entry, the fetching, rotation and the click flow are TBanner's; the panel decodes the
// GIF (animated ones play), shows the hints and "Please wait..." and hands clicks on.
#pragma once

#include <QByteArray>
#include <QFrame>
#include <functional>
#include <memory>
#include <string>

#include "services/Banner.h"

class QBuffer;
class QLabel;
class QMovie;

namespace tessaly::ui {

class TBannerPanel : public QFrame {
  public:
    // `name` is the banner's section in `descriptor` and the panel's object name.
    TBannerPanel(THTTPMachine& machine, const TConfigBox& descriptor, const std::string& name,
                 QWidget* parent = nullptr);
    ~TBannerPanel() override;

    TBanner& Banner() { return *banner_; }
    const std::string& BannerName() const { return banner_->Name(); }
    void LoadTriggers() { banner_->LoadTriggers(); }
    bool HasTrigger(TBannerTrigger t) const { return banner_->HasTrigger(t); }
    void Start() { banner_->Start(); }
    void Stop() { banner_->Stop(); }
    bool Active() const { return banner_->Active(); }

    // Decodes `bytes` as a GIF picture and shows it; false (picture cleared) when they
    // are no picture.
    bool ShowImage(const std::string& bytes);
    // Size of the picture shown; empty when none.
    QSize ImageSize() const;
    // Puts the image at this place inside the panel (by default it is centred).
    void PlaceImage(const QPoint& at);
    // The panel's caption: "Please wait..." while a click is on its way.
    QString Caption() const;
    bool Animated() const;

    // The picture; a click on it goes to the banner.
    QLabel* Image;

    // The address a click leads to (the owner opens it in a new browser window).
    std::function<void(const std::string& destinationUrl)> OnBannerClick;
    // The panel was shown, hidden or resized: the owner lays it out again.
    std::function<void()> OnResize;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void ClearPicture();
    void HidePanel();
    void Relayout();
    void CentreImage();

    std::unique_ptr<TBanner> banner_;
    QLabel* caption_;
    QByteArray bytes_;
    QBuffer* buffer_ = nullptr;
    QMovie* movie_ = nullptr;
    bool placed_ = false;
};

}  // namespace tessaly::ui
