// A frame-indexed animation played by frame ranges, as the logo and the progress window
// use it. Frames come from a strip image (frames side by side, square, left to right,
// frame 1 first) when one is loaded; otherwise from a painter function, so the window
// works without any file.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace tessaly::ui {

class TFrameAnimation : public QWidget {
  public:
    using TPainter = std::function<void(QPainter&, const QRect&, int frame)>;

    explicit TFrameAnimation(QWidget* parent = nullptr);

    // Frames drawn by `painter`, numbered 1 to `frameCount`.
    void SetPainter(TPainter painter, int frameCount);
    // Loads a strip; false (and the painter kept) when the file is missing or unreadable.
    bool LoadStrip(const QString& fileName);
    // Forgets a loaded strip.
    void ReleaseStrip();
    bool HasStrip() const { return !strip_.isNull(); }

    int FrameCount() const;
    int Frame() const { return frame_; }
    bool Playing() const { return timer_.isActive(); }
    void SetFramesPerSecond(int fps);

    // Plays frames `from` to `to` once, then calls OnStop. A range outside the frames
    // is clipped; an empty one stops at once (OnStop still runs, from the event loop).
    void Play(int from, int to);
    // Stops without calling OnStop.
    void Stop();
    // Shows one frame and stays there.
    void Seek(int frame);

    std::function<void()> OnStop;
    std::function<void()> OnClick;
    std::function<void()> OnMouseMove;

    QSize sizeHint() const override { return {40, 40}; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;

  private:
    void Step();

    TPainter painter_;
    int painterFrames_ = 1;
    QPixmap strip_;
    int stripFrames_ = 0;
    QTimer timer_;
    int frame_ = 1;
    int to_ = 1;
};

// The built-in pictures: the program's logo (frames 1-38: a turning globe that starts
// to search, searches, and comes back to rest) and the progress clip (frames 1-67:
// pages dropping into a folder, a check mark, and the magnifier sweep that loops).
void PaintLogoFrame(QPainter& p, const QRect& r, int frame);
void PaintProgressFrame(QPainter& p, const QRect& r, int frame);
inline constexpr int kLogoFrames = 38;
inline constexpr int kProgressFrames = 67;

}  // namespace tessaly::ui
