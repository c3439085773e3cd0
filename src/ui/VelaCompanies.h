// The watched companies in the window: a place to paste a career board's address, the
// list of the companies watched, and buttons to take one off the list or ask its board.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "search/SearchEngine.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tessaly::ui {

class TCompaniesForm : public QDialog {
  public:
    TCompaniesForm(TSearchEngine& engine, QWidget* parent = nullptr);
    ~TCompaniesForm() override;

    // The list as the watch list holds it now.
    void Refresh();

    QLineEdit* AddressEdit;
    QLineEdit* NameEdit;
    QPushButton* AddButton;
    QListWidget* CompanyList;
    QPushButton* RemoveButton;
    QPushButton* CheckButton;
    QLabel* StatusLabel;
    QPushButton* CloseButton;

  private:
    void AddClick();
    void RemoveClick();
    void CheckClick();
    // True when no run goes on; otherwise says to wait.
    bool IdleOrSay();
    // The selected company's name, when one is selected and no run goes on.
    std::optional<std::string> ChosenCompany();
    void Checked(TVelaSource& site, const THTTPResult& result, bool failed);
    // The engine's sites follow the watch list, so the next search has them.
    void ReloadSites();
    void Say(const std::string& text);

    TSearchEngine& engine_;
    // The check's answer may come after the dialog is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tessaly::ui
