// The send-to-a-friend dialog ("Send to a Friend"): recommends a job, or the program
// itself, to a friend by e-mail address. The maker's server mails the friend; the dialog
// posts the form, shows the outcome, waits two seconds and closes.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "data/VelaJobs.h"
#include "services/Referral.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tessaly {
class TSearchEngine;
}

namespace tessaly::ui {

class TSpamForm : public QDialog {
  public:
    explicit TSpamForm(TSearchEngine& engine, QWidget* parent = nullptr);
    ~TSpamForm() override;

    // The mode for the next showing: a job (copied) or, with none, the program itself.
    void SetJob(const TVelaJob* job);
    bool JobMode() const { return job_.has_value(); }
    TReferral* Logic() { return logic_.get(); }

    QLabel* ModeLine1;
    QLabel* ModeLine2;
    QLineEdit* Edit1;  // the friend's address, kept between showings
    // The user's own details, as the friend's e-mail names the sender; kept in options.box.
    QLineEdit* UserEmail;
    QLineEdit* UserFirstName;
    QLineEdit* UserLastName;
    QPushButton* Send;
    QPushButton* Cancel;
    QLabel* StatusPanels[2];
    QProgressBar* ActivityBar;  // in the first panel

    std::function<void()> OnBeep;

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

  private:
    void FormShow();
    void SendClick();
    // False, with what is missing said, while a field the message needs is empty or no
    // e-mail address.
    bool CheckFields();
    void FormClose();
    void SetBusy(bool busy);
    // The form is posted and its answer not in yet: Cancel stops it.
    bool Sending() const;
    void StoreUserDetails();

    TSearchEngine& engine_;
    std::unique_ptr<TReferral> logic_;
    std::string base_;
    std::optional<TVelaJob> job_;
};

}  // namespace tessaly::ui
