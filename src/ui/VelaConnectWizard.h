// The connection settings assistant shown at the first start: dial-up or network, and on
// a network direct or through a proxy.
#pragma once

#include <QDialog>
#include <functional>

#include "data/ConfigBox.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace tessaly::ui {

class TProxyForm;

class TConnectWizard : public QDialog {
  public:
    // `settings` is the options store (written to when the assistant is confirmed);
    // `proxyForm` is shown when the proxy choice is clicked.
    TConnectWizard(TConfigBox& settings, TProxyForm* proxyForm, QWidget* parent = nullptr);

    // The options' "Connect through a proxy server" state: read when shown, set when
    // confirmed.
    bool UseProxyOption = false;

    QRadioButton* UseDialUp;
    QRadioButton* UseNetwork;
    QLabel* NetworkNote;
    QRadioButton* UseDirect;
    QRadioButton* UseProxy;
    QPushButton* Submit;
    QPushButton* Cancel;

    void SetStates();
    void SubmitClick();
    // Shows the proxy dialog; replaced by tests.
    std::function<void()> OnShowProxy;

  protected:
    void showEvent(QShowEvent*) override;

  private:
    TConfigBox& settings_;
    TProxyForm* proxyForm_;
};

// Whether the assistant still has to be shown: until it was confirmed once.
bool ConnectionAssistantNeeded(const TConfigBox& settings);

}  // namespace tessaly::ui
