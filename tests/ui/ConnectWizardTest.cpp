// The connection settings assistant.
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "ui/VelaConnectWizard.h"

using namespace tessaly;
using namespace tessaly::ui;

class ConnectWizardTest : public QObject {
    Q_OBJECT

  private slots:
    void neededUntilConfirmed() {
        TConfigBox box;
        QVERIFY(ConnectionAssistantNeeded(box));
        box.WriteString("Connection", "SettingsSet", "true");
        QVERIFY(ConnectionAssistantNeeded(box));
        TConnectWizard w(box, nullptr);
        w.show();
        w.Submit->click();
        QCOMPARE(box.ReadString("Connection", "SettingsSet"), std::string("True"));
        QVERIFY(!ConnectionAssistantNeeded(box));
        QVERIFY(!w.UseProxyOption);
    }

    void showingFollowsTheProxyOption() {
        TConfigBox box;
        TConnectWizard w(box, nullptr);
        w.UseProxyOption = true;
        w.show();
        QVERIFY(w.UseNetwork->isChecked());
        QVERIFY(w.UseProxy->isChecked());
        // One choice per group: the others are cleared.
        QVERIFY(!w.UseDialUp->isChecked());
        QVERIFY(!w.UseDirect->isChecked());
        QVERIFY(w.UseProxy->isEnabled());
        QVERIFY(w.NetworkNote->isEnabled());
        w.hide();
        // Unchecked: a network connection without a proxy, the common case.
        w.UseProxyOption = false;
        w.show();
        QVERIFY(w.UseNetwork->isChecked());
        QVERIFY(w.UseDirect->isChecked());
        QVERIFY(!w.UseDialUp->isChecked());
        QVERIFY(!w.UseProxy->isChecked());
        QVERIFY(w.UseDirect->isEnabled());
        w.Cancel->click();
        QVERIFY(ConnectionAssistantNeeded(box));
    }

    void proxyChoiceShowsTheProxyDialogAndCountsUnderDialUp() {
        TConfigBox box;
        TConnectWizard w(box, nullptr);
        int shown = 0;
        w.OnShowProxy = [&] { ++shown; };
        w.show();
        QTest::mouseClick(w.UseNetwork, Qt::LeftButton);
        QVERIFY(w.UseProxy->isEnabled());
        QTest::mouseClick(w.UseProxy, Qt::LeftButton);
        QTest::mouseClick(w.UseProxy, Qt::LeftButton);
        QCOMPARE(shown, 2);
        QTest::mouseClick(w.UseDialUp, Qt::LeftButton);
        QVERIFY(!w.UseProxy->isEnabled());
        w.Submit->click();
        QVERIFY(w.UseProxyOption);
    }
};

QTEST_MAIN(ConnectWizardTest)
#include "ConnectWizardTest.moc"
