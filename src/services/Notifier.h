// Desktop notifications: the freedesktop notification service on the user's session bus.
// The toolkit-free core speaks to it through sd-bus, so the command line can tell of new
// jobs from a timer as the window does.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Result.h"

struct sd_bus;
struct sd_bus_slot;

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

// What became of a notification: the key of the action the user chose, or empty when it
// was closed unanswered (dismissed, expired, taken back). The activation token, when the
// server gave one, lets the window that the action opens come to the front.
struct TNotificationAnswer {
    uint32_t Id = 0;
    std::string Action;
    std::string ActivationToken;
};

// A connection to the notification service that stays open after sending, to hear what
// the user does with the notifications it sent. Nothing blocks: an event loop watches
// Fd() (for writing too while WantsWrite()), calls Process() when it is ready or when
// TimeoutMs() has passed. Wait() does that for a program without a loop.
class TDesktopNotifier {
  public:
    using TSent = std::function<void(TResult<uint32_t>)>;

    // The user's session bus: as the environment names it, else where it usually is (a
    // run from cron has neither variable).
    static TResult<std::unique_ptr<TDesktopNotifier>> Connect();
    ~TDesktopNotifier();
    TDesktopNotifier(const TDesktopNotifier&) = delete;
    TDesktopNotifier& operator=(const TDesktopNotifier&) = delete;

    // Sends `n`; `sent` gets the server's id for it or why there is none (no notification
    // server, a refusal, no answer within a few seconds), from Process() or at once when
    // the message cannot be made.
    void Send(const TDesktopNotification& n, TSent sent);

    // Told once for each notification this connection sent, when the user answers it.
    std::function<void(const TNotificationAnswer&)> OnAnswer;

    int Fd() const;
    bool WantsWrite() const;
    // Milliseconds until Process() must run although the connection is quiet; -1: never.
    int TimeoutMs() const;
    // Handles everything that arrived; false once the connection is lost (every send
    // still waiting has been told so).
    bool Process();
    // Waits up to `timeoutMs` for the connection and processes it; false when lost.
    bool Wait(int timeoutMs);

  private:
    struct TPending;
    explicit TDesktopNotifier(sd_bus* bus);
    void Notify(TPending& p, bool markup);
    void Finish(TPending& p, TResult<uint32_t> result);
    void Answered(uint32_t id, const std::string& action);

    sd_bus* bus_;
    std::vector<sd_bus_slot*> matches_;
    std::list<TPending> pending_;
    std::vector<uint32_t> sentIds_;           // not answered yet
    std::map<uint32_t, std::string> tokens_;  // activation tokens before the action
    bool lost_ = false;
};

// Sends `n` on a connection of its own; the id the server gave it, or why not (no session
// bus, no notification server, a refusal). Waits a few seconds at most for the answer.
TResult<uint32_t> SendDesktopNotification(const TDesktopNotification& n);

}  // namespace tessaly
