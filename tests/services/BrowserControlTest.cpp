#include "services/BrowserControl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

using TArgs = TBrowserControl::TArgs;

// The desktop's answers to the detection questions; `handler` is what it names as the
// default program for pages ("" for none).
TBrowserControl::TQuery Desktop(std::string handler, std::vector<TArgs>* asked = nullptr,
                                bool* probeSeen = nullptr) {
    return [=](const TArgs& args) -> std::string {
        if (asked) asked->push_back(args);
        if (args.size() == 4 && args[2] == "filetype") {
            if (probeSeen) *probeSeen = FileExists(args[3]);
            return "text/html\n";
        }
        if (args.size() == 4 && args[2] == "default") return handler.empty() ? "" : handler + "\n";
        return "";
    };
}

class BrowserControlTest : public test::TLoopTest {
  protected:
    BrowserControlTest() : test::TLoopTest(true) { ::unsetenv("BROWSER"); }

    std::unique_ptr<TBrowserControl> Make(const std::string& handler) {
        auto b = std::make_unique<TBrowserControl>(Sandbox().Path(), Desktop(handler), &Loop());
        b->Launch = [this](const TArgs& args) {
            started.push_back(args);
            return startWorks;
        };
        return b;
    }
    void Elapse(int ms) {
        FakeClock().Advance(ms);
        Loop().ProcessMessages();
    }

    std::vector<TArgs> started;
    bool startWorks = true;
};

TEST_F(BrowserControlTest, DetectionFollowsTheDesktopThenBrowserVariable) {
    std::vector<TArgs> asked;
    bool probeSeen = false;
    TBrowserControl firefox(Sandbox().Path(), Desktop("firefox-esr.desktop", &asked, &probeSeen),
                            &Loop());
    EXPECT_EQ(firefox.ActiveBrowser, TActiveBrowser::Netscape);
    EXPECT_EQ(firefox.BrowserPath, "firefox-esr.desktop");
    EXPECT_EQ(firefox.NetscapeCommand, TArgs{"firefox-esr"});
    // The probe page existed while the desktop was asked about it, and is gone afterwards.
    EXPECT_TRUE(probeSeen);
    EXPECT_FALSE(FileExists(JoinPath(Sandbox().Path(), "~~~~~~~~.htm")));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], (TArgs{"xdg-mime", "query", "default", "text/html"}));

    EXPECT_EQ(Make("chromium.desktop")->ActiveBrowser, TActiveBrowser::MSIE);
    EXPECT_EQ(Make("org.gnome.Epiphany.desktop")->ActiveBrowser, TActiveBrowser::Shell);
    // A reverse-domain entry names no program: the configured command stays.
    auto flatpak = Make("org.mozilla.firefox.desktop");
    EXPECT_EQ(flatpak->ActiveBrowser, TActiveBrowser::Netscape);
    EXPECT_EQ(flatpak->NetscapeCommand, TArgs{"firefox"});

    ::setenv("BROWSER", "/opt/chrome/google-chrome %s:w3m", 1);
    auto fromEnv = Make("");
    EXPECT_EQ(fromEnv->BrowserPath, "/opt/chrome/google-chrome");
    EXPECT_EQ(fromEnv->ActiveBrowser, TActiveBrowser::MSIE);
    EXPECT_EQ(fromEnv->MSIECommand, TArgs{"/opt/chrome/google-chrome"});
    ::unsetenv("BROWSER");
    auto none = Make("");
    EXPECT_EQ(none->BrowserPath, "");
    EXPECT_EQ(none->ActiveBrowser, TActiveBrowser::Shell);
}

TEST_F(BrowserControlTest, StoredNamesRoundTripAndOthersAreRejected) {
    for (TActiveBrowser b : {TActiveBrowser::Netscape, TActiveBrowser::MSIE, TActiveBrowser::Shell})
        EXPECT_EQ(BrowserFromName(BrowserName(b)), b);
    EXPECT_EQ(BrowserFromName("netscape"), std::nullopt);
    EXPECT_EQ(BrowserFromName(""), std::nullopt);
}

TEST_F(BrowserControlTest, NewWindowFlagForEachWay) {
    auto b = Make("");
    b->NetscapeCommand = {"ff"};
    b->MSIECommand = {"chr", "--profile-directory=Default"};
    b->ActiveBrowser = TActiveBrowser::Netscape;
    EXPECT_EQ(b->CommandFor("http://a/", true), (TArgs{"ff", "--new-window", "http://a/"}));
    EXPECT_EQ(b->CommandFor("http://a/", false), (TArgs{"ff", "http://a/"}));
    b->ActiveBrowser = TActiveBrowser::MSIE;
    EXPECT_EQ(b->CommandFor("http://a/", true),
              (TArgs{"chr", "--profile-directory=Default", "--new-window", "http://a/"}));
    EXPECT_EQ(b->CommandFor("http://a/", false),
              (TArgs{"chr", "--profile-directory=Default", "http://a/"}));
    // The default handler has no windows to choose from.
    b->ActiveBrowser = TActiveBrowser::Shell;
    EXPECT_EQ(b->CommandFor("http://a/", true), (TArgs{"xdg-open", "http://a/"}));
    // An address is never taken for an option.
    EXPECT_EQ(b->CommandFor("--headless", false), (TArgs{"xdg-open", "./--headless"}));
}

TEST_F(BrowserControlTest, OnlyTheLastRequestWithinTheDelayIsOpened) {
    auto b = Make("firefox.desktop");
    std::vector<bool> busy;
    b->OnBusy = [&](bool on) { busy.push_back(on); };
    b->RequestURL("http://first/", true);
    Elapse(300);
    b->RequestURL("http://second/", false);
    EXPECT_TRUE(started.empty());
    // The timer was not restarted by the second request.
    Elapse(200);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (TArgs{"firefox", "http://second/"}));
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    EXPECT_FALSE(b->Pending());
    Elapse(1000);
    EXPECT_EQ(started.size(), 1u);
}

TEST_F(BrowserControlTest, MissingNamedBrowserFallsBackToTheDefaultHandler) {
    auto b = Make("chromium.desktop");
    startWorks = false;
    std::vector<bool> busy;
    b->OnBusy = [&](bool on) { busy.push_back(on); };
    b->RequestURL("http://x/", true);
    Elapse(500);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1], (TArgs{"xdg-open", "http://x/"}));
    // The cursor comes back also when nothing could be started.
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
}

// A stand-in browser on the PATH records its arguments, one per line.
class BrowserLaunchTest : public test::TLoopTest {
  protected:
    BrowserLaunchTest() {
        bin = JoinPath(Sandbox().Path(), "bin");
        ForceDirectories(bin);
        log = JoinPath(Sandbox().Path(), "args.log");
        const std::string script = JoinPath(bin, "standin-browser");
        WriteFileBytes(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                   log + ".part\"\nmv \"" + log + ".part\" \"" + log + "\"\n");
        ::chmod(script.c_str(), 0755);
        const char* old = std::getenv("PATH");
        oldPath = old ? old : "";
        ::setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
    }
    ~BrowserLaunchTest() override { ::setenv("PATH", oldPath.c_str(), 1); }

    std::string bin, log, oldPath;
};

TEST_F(BrowserLaunchTest, HostileAddressesReachTheBrowserAsOneArgument) {
    TBrowserControl b(Sandbox().Path(), [](const TArgs&) { return std::string(); });
    b.ActiveBrowser = TActiveBrowser::Netscape;
    b.NetscapeCommand = {"standin-browser"};
    const std::string marker = JoinPath(Sandbox().Path(), "pwned");
    const std::string hostile =
        "http://x/?a=1;touch " + marker + "&b=$(touch " + marker + ")'\"` touch " + marker + "`";
    b.RequestURL(hostile, true);
    b.OpenPending();
    ASSERT_TRUE(WaitFor([&] { return FileExists(log); }));
    EXPECT_EQ(ReadTextLines(log), (TStrings{"--new-window", hostile}));
    EXPECT_FALSE(FileExists(marker));
}

TEST_F(BrowserLaunchTest, RequestStillWaitingWhenTheProgramEndsIsOpened) {
    {
        TBrowserControl b(Sandbox().Path(), [](const TArgs&) { return std::string(); });
        b.ActiveBrowser = TActiveBrowser::Netscape;
        b.NetscapeCommand = {"standin-browser"};
        b.RequestURL("http://offers.example.test/closing", false);
        ASSERT_TRUE(b.Pending());
    }  // gone before its timer fired
    ASSERT_TRUE(WaitFor([&] { return FileExists(log); }));
    EXPECT_EQ(ReadTextLines(log), TStrings{"http://offers.example.test/closing"});
}

TEST_F(BrowserLaunchTest, LaunchReportsAProgramThatCannotStart) {
    EXPECT_FALSE(LaunchDetached({"no-such-browser-anywhere"}));
    EXPECT_TRUE(LaunchDetached({"standin-browser", "a b"}));
    ASSERT_TRUE(WaitFor([&] { return FileExists(log); }));
    EXPECT_EQ(ReadTextLines(log), TStrings{"a b"});
    EXPECT_EQ(RunAndRead({"printf", "%s|", "x y", "z"}), "x y|z|");
    EXPECT_EQ(RunAndRead({"false"}), "");
    EXPECT_EQ(RunAndRead({"no-such-program-anywhere"}), "");
}

}  // namespace
}  // namespace tessaly
