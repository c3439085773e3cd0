// The window side of the browser control: the busy cursor while a browser starts and the
// stored choice of browser.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/ConfigBox.h"
#include "services/BrowserControl.h"

namespace tessaly::ui {

// A browser control whose probe file goes to the program's temp directory, driven the
// way options.box says ("Connection"/"ActiveBrowser") when it names one of the three.
std::unique_ptr<TBrowserControl> MakeBrowserControl(const std::string& programDir,
                                                    const TConfigBox& options);
// Takes the stored choice of browser when it names one of the three; keeps the detected
// one otherwise.
void ApplyStoredBrowser(TBrowserControl& browser, const TConfigBox& options);

// What the user is told when no browser could be started for `address`: the command lines
// tried and where a working browser is chosen.
std::string BrowserFailureText(const std::string& address,
                               const std::vector<TBrowserControl::TArgs>& tried);

// The help page shipped with the program: "help/index.html" beside the executable in
// `programDir`, the installed documentation of the prefix above it, else the build tree's
// copy; empty when there is none.
std::string LocalHelpPage(const std::string& programDir);

}  // namespace tessaly::ui
