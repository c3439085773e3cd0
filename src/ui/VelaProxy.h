// The proxy dialog: its fields are the live proxy settings, so it has no cancel.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaly::ui {

class TProxyForm : public QDialog {
  public:
    explicit TProxyForm(QWidget* parent = nullptr);

    QLineEdit* ProxyAddress;
    QLineEdit* ProxyPort;
    QCheckBox* UseProxyAuthenticate;
    QLabel* UserNameLabel;
    QLineEdit* ProxyUserName;
    QLabel* PasswordLabel;
    QLineEdit* ProxyPassword;
    QPushButton* OKButton;

    // A port that is not a whole number beeps and becomes "80"; others are written back
    // in plain decimal form.
    void ProxyPortChange();
    // The user name and password are editable only with authentication.
    void UseProxyAuthenticateClick();

  private:
    bool fixingPort_ = false;
};

}  // namespace tessaly::ui
