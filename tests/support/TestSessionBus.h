// A private session bus for the notification tests: a dbus-daemon of its own on a socket
// in a test directory, and a stand-in notification server on it that records what it is
// sent. Nothing reaches the user's desktop.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/ScopedEnv.h"
#include "support/TestSupport.h"

namespace tessaly::test {

// Whether dbus-daemon is installed (scripts/setup installs it): the bus tests skip without.
bool SessionBusAvailable();

class TPrivateSessionBus {
  public:
    // Starts dbus-daemon listening in `dir`; Started() is false when it is not installed
    // or did not come up.
    explicit TPrivateSessionBus(const std::string& dir);
    ~TPrivateSessionBus();
    TPrivateSessionBus(const TPrivateSessionBus&) = delete;
    TPrivateSessionBus& operator=(const TPrivateSessionBus&) = delete;

    bool Started() const { return started_; }
    const std::string& Address() const { return address_; }

  private:
    pid_t pid_ = -1;
    bool started_ = false;
    std::string address_;
};

// Owns org.freedesktop.Notifications on the bus at `address` from a thread of its own.
class TNotificationServer {
  public:
    struct TCall {
        std::string app, icon, summary, body;
        uint32_t replaces = 0;
        std::vector<std::string> actions;
        std::map<std::string, std::string> hints;  // string and integer values, as text
        int32_t timeout = 0;
    };

    TNotificationServer(const std::string& address, std::vector<std::string> capabilities);
    ~TNotificationServer();
    TNotificationServer(const TNotificationServer&) = delete;
    TNotificationServer& operator=(const TNotificationServer&) = delete;

    // True once the name is owned.
    bool Ready() const { return ready_; }
    std::vector<TCall> Calls() const;
    // As a user's click on notification `id` does: the activation token (when one is
    // given), the action chosen, then the notification closed. An empty `action` only
    // closes it (expired). Sent from the server's thread soon after.
    void Answer(uint32_t id, const std::string& action, const std::string& token = "");

  private:
    void Serve(const std::string& address);

    std::vector<std::string> capabilities_;
    mutable std::mutex mutex_;
    std::vector<TCall> calls_;
    struct TAnswer {
        uint32_t id;
        std::string action, token;
    };
    std::vector<TAnswer> answers_;
    std::atomic<bool> ready_{false};
    std::atomic<bool> failed_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A private session bus with a stand-in notification server on it, named by
// DBUS_SESSION_BUS_ADDRESS while this lives.
class TStandInDesktop {
  public:
    explicit TStandInDesktop(std::vector<std::string> capabilities);
    bool Ready() const { return server_ && server_->Ready(); }
    TNotificationServer& Server() { return *server_; }
    // The bus's folder, which may serve as the runtime directory too.
    const std::string& Dir() const { return dir_.Path(); }

  private:
    TTempDir dir_;
    TPrivateSessionBus bus_;
    std::unique_ptr<TNotificationServer> server_;
    std::optional<TScopedEnv> session_;
};

}  // namespace tessaly::test
