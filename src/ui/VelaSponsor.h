// The sponsor window: a small stay-on-top tool window holding the banner "PopBanner". It
// shows itself while the banner shows a picture and hides when the banner hides; closing
// it stops the banner. Its position is the options' to keep.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

namespace tessaly {
class THTTPMachine;
class TConfigBox;
class TTimer;
}  // namespace tessaly

namespace tessaly::ui {

class TBannerPanel;

class TSponsorForm : public QWidget {
  public:
    TSponsorForm(THTTPMachine& machine, const TConfigBox& descriptor, QWidget* parent = nullptr);
    ~TSponsorForm() override;

    TBannerPanel* PopBanner;

    // Each second: the window follows the banner's visibility.
    void TimerTimer();
    // The banner's picture changed: banner, image and window are sized to it, and the
    // window is kept on the screen.
    void PopBannerResize();
    // The window's place inside the screen's bounds.
    static QPoint KeptOnScreen(const QRect& frame, const QRect& screen);

    // Opens a destination in a new browser window (the main window's OpenURL).
    std::function<void(const std::string& address, bool newWindow)> OnOpenURL;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void PopBannerBannerClick(const std::string& destination);
    std::unique_ptr<TTimer> timer_;
};

}  // namespace tessaly::ui
