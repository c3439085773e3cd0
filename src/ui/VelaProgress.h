// The search progress window: a line per job site with its counts and state, a pie gauge
// of the whole run and a short animation. It only displays; the search driver writes it.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <string>
#include <vector>

class QFrame;
class QTableWidget;

namespace tessaly::ui {

class TFrameAnimation;

// A pie gauge: the done share drawn as a slice in the highlight colour.
class TPieGauge : public QWidget {
  public:
    explicit TPieGauge(QWidget* parent = nullptr);
    int Position() const { return position_; }
    int Maximum() const { return maximum_; }
    void SetPosition(int position);
    void SetMaximum(int maximum);
    // The share drawn, 0 to 100; 0 while the maximum is 0.
    int Percent() const;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    int position_ = 0;
    int maximum_ = 0;
};

class TProgressForm : public QDialog {
  public:
    // State images of the first column.
    enum { imgWaiting = 0, imgConnecting, imgAnalyzing, imgDone, imgFailed, imgNotApplicable };

    explicit TProgressForm(QWidget* parent = nullptr);

    // Where "progress.png" (the clip as a strip of square frames) is looked for.
    void SetProgramDir(const std::string& dir) { programDir_ = dir; }
    // Stays above other windows unless the option says otherwise.
    void SetStayOnTop(bool on);

    // The driver's side: the grid emptied to one blank line, lines added per site, cells,
    // images, the gauge and the animation state.
    void ClearLog();
    int AddLine(const std::string& sourceTitle);  // the row written
    void SetCell(int row, int column, const std::string& text);
    void SetImage(int row, int image);
    std::string Cell(int row, int column) const;
    int Image(int row) const;
    int LineCount() const;
    void SetAnimState(int state) { animState_ = state; }
    int AnimState() const { return animState_; }

    static const std::vector<QPixmap>& LogImageList();

    QTableWidget* LogGrid;
    TPieGauge* Gauge;
    TFrameAnimation* VelaAnim;
    QFrame* Bevel;

    void VelaAnimStop();
    void FormResize();

  protected:
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    // The width a column needs for its header and its texts.
    int ColumnFit(int column) const;
    void FormShow();
    void FormClose();

    std::string programDir_;
    int animState_ = 0;
    bool blankLine_ = false;  // row 0 is the blank line ClearLog leaves
};

}  // namespace tessaly::ui
