// The proxy dialog's port rule and authentication enabling.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "UiTestSupport.h"
#include "ui/VelaProxy.h"

using namespace tessaly::ui;

class ProxyFormTest : public QObject {
    Q_OBJECT

  private slots:
    void portIsADecimalNumberOrEighty() {
        test::TRecordedPrompts said;
        tessaly::TPrompts::SetCurrent(&said);
        TProxyForm f;
        f.ProxyPort->setText("0080");
        QCOMPARE(f.ProxyPort->text(), QString("80"));
        QCOMPARE(said.beeps, 0);
        f.ProxyPort->setText("3128");
        QCOMPARE(f.ProxyPort->text(), QString("3128"));
        f.ProxyPort->setText("31x");
        QCOMPARE(f.ProxyPort->text(), QString("80"));
        QCOMPARE(said.beeps, 1);
        // Emptying the box counts as a non-number too.
        f.ProxyPort->clear();
        QCOMPARE(f.ProxyPort->text(), QString("80"));
        QCOMPARE(said.beeps, 2);
        tessaly::TPrompts::SetCurrent(nullptr);
    }

    void authenticationEnablesNameAndPassword() {
        TProxyForm f;
        QVERIFY(!f.ProxyUserName->isEnabled());
        QVERIFY(!f.PasswordLabel->isEnabled());
        f.UseProxyAuthenticate->setChecked(true);
        QVERIFY(f.ProxyUserName->isEnabled());
        QVERIFY(f.ProxyPassword->isEnabled());
        QCOMPARE(f.ProxyPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(f.ProxyUserName->palette().color(QPalette::Base),
                 f.palette().color(QPalette::Base));
        f.UseProxyAuthenticate->setChecked(false);
        QVERIFY(!f.ProxyPassword->isEnabled());
        QCOMPARE(f.ProxyUserName->palette().color(QPalette::Base),
                 f.palette().color(QPalette::Button));
    }
};

QTEST_MAIN(ProxyFormTest)
#include "ProxyFormTest.moc"
