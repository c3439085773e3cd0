// The new-search dialog, also shown (with other captions) to update a search. It only
// records whether it was accepted; the main window reads its controls afterwards.
#pragma once

#include <QDialog>

#include "platform/ByteString.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace tessaly::ui {

class TNewSearchForm : public QDialog {
  public:
    explicit TNewSearchForm(QWidget* parent = nullptr);

    // Fills a list that is still empty from the master list and selects its first entry;
    // a list that has entries keeps them and its selection.
    void Init(const TStrings& regions, const TStrings& categories);

    // Selects the entry whose text equals `text` exactly (the last of equal ones);
    // without one the selection stays.
    static void SelectExact(QComboBox* box, const std::string& text);

    // Prepares an update of a search: its region, category and keywords, and the
    // update captions.
    void PrepareUpdate(const std::string& region, const std::string& category,
                       const std::string& keywords);
    // The captions of a new search; the controls keep what they held.
    void PrepareNew();

    bool Cancelled() const { return cancelled_; }
    std::string Region() const;
    std::string Category() const;
    std::string Keywords() const;  // lines joined by CR LF

    QComboBox* NSRegion;
    QComboBox* NSCategory;
    QPlainTextEdit* NSKeyword;
    QPushButton* SearchBut;
    QPushButton* CancelBut;

  protected:
    void showEvent(QShowEvent*) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void FormShow();
    void NSKeywordChange();
    void SearchButClick();

    bool cancelled_ = true;
};

}  // namespace tessaly::ui
