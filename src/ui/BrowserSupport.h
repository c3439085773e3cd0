// The window side of the browser control: the busy cursor while a browser starts and the
// stored choice of browser.
#pragma once

#include <memory>
#include <string>

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

}  // namespace tessaly::ui
