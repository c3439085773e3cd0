#include "ui/VelaConnectWizard.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "data/Settings.h"
#include "ui/ButtonRow.h"
#include "ui/VelaProxy.h"

namespace tessaly::ui {

TConnectWizard::TConnectWizard(TConfigBox& settings, TProxyForm* proxyForm, QWidget* parent)
    : QDialog(parent), settings_(settings), proxyForm_(proxyForm) {
    setObjectName("ConnectWizard");
    setWindowTitle("Connection Settings Assistant");
    auto* v = new QVBoxLayout(this);
    auto* intro = new QLabel(
        "Tessaly Jobs 98 searches job sites on the Internet. To reach them it needs to know "
        "how this computer is connected to the Internet.",
        this);
    intro->setWordWrap(true);
    v->addWidget(intro);
    UseDialUp = new QRadioButton("I'll use a dial-up (modem) connection", this);
    UseDialUp->setObjectName("UseDialUp");
    UseNetwork = new QRadioButton("I'll use a network (LAN) connection", this);
    UseNetwork->setObjectName("UseNetwork");
    auto* kind = new QButtonGroup(this);
    kind->addButton(UseDialUp);
    kind->addButton(UseNetwork);
    UseNetwork->setChecked(true);
    v->addWidget(UseDialUp);
    v->addWidget(UseNetwork);
    NetworkNote = new QLabel(
        "Since you're using a network connection, you might have to\n"
        "configure proxies to access the Internet.",
        this);
    NetworkNote->setObjectName("NetworkNote");
    UseDirect = new QRadioButton("I'll be directly connected to the Internet", this);
    UseDirect->setObjectName("UseDirect");
    UseProxy = new QRadioButton("I'll be connected through a proxy server", this);
    UseProxy->setObjectName("UseProxy");
    auto* route = new QButtonGroup(this);
    route->addButton(UseDirect);
    route->addButton(UseProxy);
    UseDirect->setChecked(true);
    auto* sub = new QVBoxLayout;
    sub->setContentsMargins(24, 0, 0, 0);
    sub->addWidget(NetworkNote);
    sub->addWidget(UseDirect);
    sub->addWidget(UseProxy);
    v->addLayout(sub);
    auto* closing = new QLabel(
        "You can change these settings later under the Preferences item of the Edit menu.", this);
    closing->setWordWrap(true);
    v->addWidget(closing);
    const TButtonRow row = MakeButtonRow(this, "&OK", "Submit", "&Cancel", "Cancel");
    Submit = row.Accept;
    Cancel = row.Cancel;
    v->addWidget(row.Box);

    OnShowProxy = [this] {
        if (proxyForm_) proxyForm_->exec();
    };
    connect(UseDialUp, &QRadioButton::clicked, this, [this] { SetStates(); });
    connect(UseNetwork, &QRadioButton::clicked, this, [this] { SetStates(); });
    // Each click on the choice shows the proxy dialog, also when it was already chosen.
    connect(UseProxy, &QRadioButton::clicked, this, [this] { OnShowProxy(); });
    connect(Submit, &QPushButton::clicked, this, [this] { SubmitClick(); });
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    SetStates();
}

void TConnectWizard::showEvent(QShowEvent* e) {
    // Dial-up is not stored, and a network connection is the usual one now: the network
    // choice shows, with the route the proxy option names.
    UseNetwork->setChecked(true);
    (UseProxyOption ? UseProxy : UseDirect)->setChecked(true);
    SetStates();
    QDialog::showEvent(e);
}

void TConnectWizard::SetStates() {
    const bool network = UseNetwork->isChecked();
    NetworkNote->setEnabled(network);
    UseDirect->setEnabled(network);
    UseProxy->setEnabled(network);
}

void TConnectWizard::SubmitClick() {
    // The proxy choice counts even while dial-up is selected and it is disabled.
    UseProxyOption = UseProxy->isChecked();
    options::SettingsSet.Write(settings_, true);
    accept();
}

bool ConnectionAssistantNeeded(const TConfigBox& settings) {
    return !options::SettingsSet.Read(settings);
}

}  // namespace tessaly::ui
