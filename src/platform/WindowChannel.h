// The running window's channel: a local socket through which a second start asks the
// window to come to the front ("raise") and a command-line run hands it the update of
// every search ("update"). Its address follows from the home alone, so the window and
// the command line find the same socket without asking each other.
#pragma once

#include <string>

#include "platform/Result.h"

namespace tessaly {

// $XDG_RUNTIME_DIR (else /run/user/UID when it is the user's, else /tmp) +
// "/tessaly-jobs-" + 16 hex digits of a hash of `home`.
// A runtime directory too long for a socket's address gives way to /tmp.
std::string WindowChannelPath(const std::string& home);

// Sends `command` and a line end to the window holding `home` and waits up to `timeoutMs`
// for its answer line; the answer without its line end, or why there is none (no window
// listening, no answer in time).
TResult<std::string> AskWindow(const std::string& home, const std::string& command, int timeoutMs);

}  // namespace tessaly
