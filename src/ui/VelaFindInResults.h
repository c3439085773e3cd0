// The find dialog: the keyword and the case option. The search itself runs over the
// main window's job grid.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tessaly::ui {

class TFindInResultsForm : public QDialog {
  public:
    explicit TFindInResultsForm(QWidget* parent = nullptr);

    bool Cancelled() const { return cancelled_; }

    QLineEdit* FindEdit;
    QCheckBox* CheckCase;
    QPushButton* Search;
    QPushButton* Cancel;

  protected:
    void showEvent(QShowEvent*) override;

  private:
    void FormShow();
    void FindEditChange();
    void SearchClick();

    bool cancelled_ = true;
};

}  // namespace tessaly::ui
