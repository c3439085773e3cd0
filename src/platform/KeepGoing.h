// Long work in the data and parsing layers (cleaning and scoring a job list, running a
// script, matching a page) asks its caller between steps whether to go on. Those layers
// never run the message loop themselves: a caller that owns the loop (the search driver, a
// front-end) keeps its window alive inside its answer, and answers false to end the work
// early.
#pragma once

#include <functional>

namespace tessaly {

using TKeepGoing = std::function<bool()>;

// Asks `keepGoing`; without one the work simply goes on.
inline bool AskKeepGoing(const TKeepGoing& keepGoing) {
    return !keepGoing || keepGoing();
}

}  // namespace tessaly
