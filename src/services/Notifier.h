// Desktop notifications: the freedesktop notification service on the user's session bus.
// The toolkit-free core speaks to it through sd-bus, so the command line can tell of new
// jobs from a timer as the window does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace tessaly {

struct TDesktopNotification {
    std::string AppName = "Tessaly Jobs 98";
    std::string Summary;
    // Plain text; escaped for servers that read markup in the body.
    std::string Body;
    // Pairs of an action key and its label ("default" is clicking the notification).
    std::vector<std::pair<std::string, std::string>> Actions;
    // The desktop file of the application, for servers that show its icon and name.
    std::string DesktopEntry;
    // A number for the receiver of an action (the search to open); not sent when 0.
    int SearchNumber = 0;
    int TimeoutMs = -1;  // the server's default
};

// Sends `n`; the id the server gave it, or why not (no session bus, no notification
// server, a refusal). Waits a few seconds at most for the server's answer.
TResult<uint32_t> SendDesktopNotification(const TDesktopNotification& n);

}  // namespace tessaly
