#include "ui/BrowserSupport.h"

#include <QApplication>
#include <QCursor>

#include "data/Settings.h"
#include "platform/ByteString.h"
#include "platform/MainLoop.h"
#include "platform/Paths.h"

#ifndef TESSALY_BUILD_HELP_DIR
#define TESSALY_BUILD_HELP_DIR ""
#endif

namespace tessaly::ui {

std::unique_ptr<TBrowserControl> MakeBrowserControl(const std::string& programDir,
                                                    const TConfigBox& options) {
    auto browser = std::make_unique<TBrowserControl>(JoinPath(programDir, "temp"));
    ApplyStoredBrowser(*browser, options);
    browser->OnBusy = [](bool busy) {
        if (busy) {
            QApplication::setOverrideCursor(Qt::BusyCursor);
            // Shown before the browser starts, which may take a moment.
            ProcessMessages();
        } else {
            QApplication::restoreOverrideCursor();
        }
    };
    return browser;
}

void ApplyStoredBrowser(TBrowserControl& browser, const TConfigBox& options) {
    if (auto stored = BrowserFromName(options::ActiveBrowser.Read(options)))
        browser.ActiveBrowser = *stored;
}

std::string BrowserFailureText(const std::string& address,
                               const std::vector<TBrowserControl::TArgs>& tried) {
    std::string text = "No web browser could be started to show\n" + address + "\n\nTried:";
    for (const TBrowserControl::TArgs& args : tried) {
        text += "\n   ";
        for (const std::string& a : args)
            text += " " + a;
    }
    return text +
           "\n\nChoose an installed browser under Edit > Preferences, page Browser, or set the "
           "desktop's default web browser.";
}

std::string LocalHelpPage(const std::string& programDir) {
    for (const std::string& dir :
         {JoinPath(programDir, "help"), JoinPath(DirName(programDir), "share/doc/tessaly-jobs"),
          std::string(TESSALY_BUILD_HELP_DIR)}) {
        if (dir.empty()) continue;
        const std::string page = JoinPath(dir, "index.html");
        if (FileExists(page)) return page;
    }
    return {};
}

}  // namespace tessaly::ui
