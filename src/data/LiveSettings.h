// The settings in effect while the program runs: the store they are kept in, the values
// of the options dialog's check boxes that the windows read as they draw, and who is
// told when those change. The options dialog edits them and applies them; the windows
// listen and react, rather than being written into.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "data/ConfigBox.h"
#include "data/Settings.h"

namespace tessaly {

struct TVisualOptions {
    bool YellowHighlight = options::Yellow.Default;
    bool HotlinkTitles = options::HotLink.Default;
    bool AutoOptimize = options::OptimizeCols.Default;
    bool ProgressOnTop = options::ProgressOnTop.Default;
    bool RemoteOnTop = options::RemoteOnTop.Default;
    bool RememberWindows = options::RememberWindows.Default;
    bool RememberGrids = options::RememberGrids.Default;
    int CheckForJobsHours = options::CheckForJobsHours.Default;  // 0: no scheduled check
};

class TLiveSettings {
  public:
    // A listener gets the values that were in effect before the change.
    using TListener = std::function<void(const TVisualOptions& before)>;

    explicit TLiveSettings(TConfigBox& store) : store_(store) {}

    TConfigBox& Store() { return store_; }
    const TConfigBox& Store() const { return store_; }

    // The values in effect; until the dialog applies the stored ones, the defaults.
    TVisualOptions Visual;

    void Listen(TListener listener) { listeners_.push_back(std::move(listener)); }
    // Puts `values` in effect and tells every listener, in the order they came.
    void Apply(const TVisualOptions& values) {
        const TVisualOptions before = Visual;
        Visual = values;
        for (const TListener& l : listeners_)
            l(before);
    }

  private:
    TConfigBox& store_;
    std::vector<TListener> listeners_;
};

}  // namespace tessaly
