// New jobs told on the desktop by the command line.
#pragma once

#include <string>
#include <vector>

#include "platform/Result.h"
#include "services/NewJobs.h"

namespace tessaly::cli {

// Sends the one notification of an update whose news is `news`. When the window is
// installed, a helper that outlives this process sends it and opens the window on the
// first search of `home` that has new jobs when the notification is clicked; without
// the helper (or the window) the notification offers no action. Fails with the reason
// there is no notification (no session bus, no notification server, a refusal).
TResult<void> TellNewJobs(const std::vector<TSearchNews>& news, const std::string& home);

}  // namespace tessaly::cli
