#include "ui/VelaProxy.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Prompts.h"
#include "ui/OptionsRules.h"

namespace tessaly::ui {

TProxyForm::TProxyForm(QWidget* parent) : QDialog(parent) {
    setObjectName("ProxyForm");
    setWindowTitle("Proxy Settings");
    auto* v = new QVBoxLayout(this);
    v->addWidget(new QLabel("Connect through the following HTTP proxy server:", this));
    auto* g = new QGridLayout;
    ProxyAddress = new QLineEdit(this);
    ProxyAddress->setObjectName("ProxyAddress");
    ProxyPort = new QLineEdit("80", this);
    ProxyPort->setObjectName("ProxyPort");
    ProxyPort->setMaximumWidth(70);
    g->addWidget(new QLabel("IP Adress:", this), 0, 0);
    g->addWidget(ProxyAddress, 0, 1);
    g->addWidget(new QLabel("Port:", this), 0, 2);
    g->addWidget(ProxyPort, 0, 3);
    UseProxyAuthenticate = new QCheckBox("Use proxy authentification", this);
    UseProxyAuthenticate->setObjectName("UseProxyAuthenticate");
    g->addWidget(UseProxyAuthenticate, 1, 0, 1, 4);
    UserNameLabel = new QLabel("User name:", this);
    ProxyUserName = new QLineEdit(this);
    ProxyUserName->setObjectName("ProxyUserName");
    PasswordLabel = new QLabel("Password:", this);
    ProxyPassword = new QLineEdit(this);
    ProxyPassword->setObjectName("ProxyPassword");
    ProxyPassword->setEchoMode(QLineEdit::Password);
    g->addWidget(UserNameLabel, 2, 0);
    g->addWidget(ProxyUserName, 2, 1, 1, 3);
    g->addWidget(PasswordLabel, 3, 0);
    g->addWidget(ProxyPassword, 3, 1, 1, 3);
    v->addLayout(g);
    OKButton = new QPushButton("&OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    v->addWidget(OKButton, 0, Qt::AlignRight);

    connect(ProxyPort, &QLineEdit::textChanged, this, [this] { ProxyPortChange(); });
    connect(UseProxyAuthenticate, &QCheckBox::toggled, this,
            [this] { UseProxyAuthenticateClick(); });
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    UseProxyAuthenticateClick();
}

void TProxyForm::ProxyPortChange() {
    if (fixingPort_) return;
    fixingPort_ = true;
    const std::optional<std::string> port = NormalisedPort(ProxyPort->text().toStdString());
    if (!port) Prompts().Beep();
    const QString shown = QString::fromStdString(port.value_or("80"));
    if (shown != ProxyPort->text()) ProxyPort->setText(shown);
    fixingPort_ = false;
}

void TProxyForm::UseProxyAuthenticateClick() {
    const bool on = UseProxyAuthenticate->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(UserNameLabel), static_cast<QWidget*>(ProxyUserName),
                       static_cast<QWidget*>(PasswordLabel), static_cast<QWidget*>(ProxyPassword)})
        w->setEnabled(on);
    // Window background while editable, button face while not.
    for (QLineEdit* e : {ProxyUserName, ProxyPassword}) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, palette().color(on ? QPalette::Base : QPalette::Button));
        e->setPalette(p);
    }
}

}  // namespace tessaly::ui
