#include "ui/BrowserSupport.h"

#include <QApplication>
#include <QCursor>

#include "data/Settings.h"
#include "platform/MainLoop.h"
#include "platform/Paths.h"

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

}  // namespace tessaly::ui
