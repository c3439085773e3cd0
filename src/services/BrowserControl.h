// Opens addresses in the user's own web browser.
//
// Three ways, kept under the names stored in options.box: "Netscape" drives a
// Mozilla-family browser and "MSIE" a Chromium-family browser through their command
// lines (the running browser is reused; a new window is asked for with a flag), and
// "Shell" hands the address to the desktop's default handler. A request is carried out
// 500 ms after it was made; a later request within that time replaces it.
//
// A browser is always started with an argument vector, never through a shell, so an
// address can never run a command.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MainLoop.h"

namespace tessaly {

enum class TActiveBrowser { Netscape = 0, MSIE = 1, Shell = 2 };

// "Netscape", "MSIE" or "Shell".
std::string_view BrowserName(TActiveBrowser browser);
// The browser of a stored name; nothing for any other text.
std::optional<TActiveBrowser> BrowserFromName(std::string_view name);
// Which way suits a browser program or desktop entry ("firefox.desktop",
// "/usr/bin/chromium"): Mozilla family, Chromium family, or the default handler.
TActiveBrowser BrowserKind(std::string_view program);

class TBrowserControl {
  public:
    using TArgs = std::vector<std::string>;
    // Starts a program from its argument vector and returns without waiting for it;
    // false when it could not be started.
    using TLauncher = std::function<bool(const TArgs& args)>;
    // Runs a program and returns what it printed (nothing when it failed).
    using TQuery = std::function<std::string(const TArgs& args)>;

    // `tempDir` holds the short-lived detection file. `query` replaces the real
    // program runs of the detection (tests); `loop` drives the request timer.
    explicit TBrowserControl(std::string tempDir, TQuery query = {}, TMainLoop* loop = nullptr);
    // A request still waiting for its timer is carried out: a page asked for just before
    // the program ends is opened, not dropped.
    ~TBrowserControl();
    TBrowserControl(const TBrowserControl&) = delete;
    TBrowserControl& operator=(const TBrowserControl&) = delete;

    // Stores the request and starts the timer; a request made while one waits replaces
    // it without restarting the timer.
    void RequestURL(const std::string& address, bool newWindow);
    // Carries out the waiting request now (the timer's handler).
    void OpenPending();
    bool Pending() const { return timer_.Enabled(); }
    // Carries out the waiting request, if any, at once (at shutdown).
    void Flush();

    TActiveBrowser ActiveBrowser = TActiveBrowser::Shell;
    // The detected browser: a desktop entry or a program; empty when none was found.
    std::string BrowserPath;
    // The command lines of the two named ways (program first); the address follows, after
    // NewWindowFlag for a new-window request.
    TArgs NetscapeCommand{"firefox"};
    TArgs MSIECommand{"chromium"};
    TArgs ShellCommand{"xdg-open"};
    std::string NewWindowFlag = "--new-window";

    // Test seam: when set, browsers are not started but handed to it.
    TLauncher Launch;
    // Told true before a browser is started and false afterwards (the busy cursor; a
    // front-end lets its window show it before answering).
    std::function<void(bool busy)> OnBusy;
    // Told the address and every command line tried when none of them could be started.
    std::function<void(const std::string& address, const std::vector<TArgs>& tried)> OnFailed;

    // Runs the detection again: the desktop's handler of ".htm" files, then $BROWSER.
    void DetectBrowser();

    // The argument vector a request would start with the active browser.
    TArgs CommandFor(const std::string& address, bool newWindow) const;

  private:
    bool Start(const TArgs& args);
    void StartRequest(const std::string& address, bool newWindow);

    std::string tempDir_;
    TQuery query_;
    TTimer timer_;
    std::string pendingAddress_;
    bool pendingNewWindow_ = false;
};

// Starts `args[0]` (looked up on PATH) detached from this process, with the arguments
// as given; true when the program was started.
bool LaunchDetached(const std::vector<std::string>& args);
// Runs `args[0]` and returns its standard output (at most 64 KiB), "" when it failed.
std::string RunAndRead(const std::vector<std::string>& args);

}  // namespace tessaly
