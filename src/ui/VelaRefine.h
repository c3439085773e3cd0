// The refine dialog: further keywords and how a match marks a job. The refinement run
// reads the controls while it works, so they stay as the user left them.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace tessaly::ui {

class TRefineForm : public QDialog {
  public:
    explicit TRefineForm(QWidget* parent = nullptr);

    bool Cancelled() const { return cancelled_; }
    std::string Keywords() const;  // lines joined by CR LF

    QPlainTextEdit* KeyBox;
    QRadioButton* ValidModeRadio;
    QRadioButton* InvalidModeRadio;
    QLabel* ValidNote;
    QLabel* InvalidNote;
    QCheckBox* AllModeBox;
    QCheckBox* DownloadBox;
    QCheckBox* KeepAsGrabbedBox;
    QPushButton* RefineBut;
    QPushButton* CancelBut;

  protected:
    void showEvent(QShowEvent*) override;

  private:
    void FormShow();
    void KeyBoxChange();
    void ValidModeRadioClick();
    void InvalidModeRadioClick();
    void DownloadBoxClick();
    void RefineButClick();

    bool cancelled_ = true;
};

}  // namespace tessaly::ui
