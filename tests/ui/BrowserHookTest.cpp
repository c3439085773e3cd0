// The main window opens addresses through the browser control, driven the stored way.
#include <QtTest>

#include "UiTestSupport.h"
#include "data/ConfigBox.h"
#include "services/BrowserControl.h"
#include "ui/BrowserSupport.h"
#include "ui/VelaMain.h"

using namespace tessaly;
using namespace tessaly::ui;

class BrowserHookTest : public QObject {
    Q_OBJECT

  private slots:
    void storedBrowserDrivesOpenURL() {
        test::TSampleHome home;
        TConfigBox box;
        box.WriteString("Visual", "Yellow", "True");
        box.WriteString("Connection", "ActiveBrowser", "MSIE");
        box.WriteString("Connection", "SettingsSet", "True");
        box.SaveToFile(home.File("options.box"));
        test::TWindow w(home);
        TBrowserControl& browser = w.Form().Browser();
        QCOMPARE(browser.ActiveBrowser, TActiveBrowser::MSIE);

        std::vector<TBrowserControl::TArgs> started;
        browser.Launch = [&](const TBrowserControl::TArgs& a) {
            started.push_back(a);
            return true;
        };
        browser.MSIECommand = {"chr"};
        w.Form().OnOpenURL = nullptr;
        w.Form().OpenURL("http://first/", false);
        w.Form().OpenURL("http://job/1", true);
        QTRY_COMPARE(started.size(), size_t(1));
        QCOMPARE(started[0], (TBrowserControl::TArgs{"chr", "--new-window", "http://job/1"}));
    }

    void unknownStoredBrowserKeepsTheDetectedOne() {
        test::TSampleHome home;
        TConfigBox box;
        box.WriteString("Connection", "ActiveBrowser", "Lynx");
        TBrowserControl browser(home.Path(), [](const TBrowserControl::TArgs&) {
            return std::string("firefox.desktop\n");
        });
        QCOMPARE(browser.ActiveBrowser, TActiveBrowser::Netscape);
        ApplyStoredBrowser(browser, box);
        QCOMPARE(browser.ActiveBrowser, TActiveBrowser::Netscape);
        box.WriteString("Connection", "ActiveBrowser", "Shell");
        ApplyStoredBrowser(browser, box);
        QCOMPARE(browser.ActiveBrowser, TActiveBrowser::Shell);
    }
};

QTEST_MAIN(BrowserHookTest)
#include "BrowserHookTest.moc"
