#include "support/TestSessionBus.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly::test {

namespace {

constexpr const char* kName = "org.freedesktop.Notifications";

// A client connection to `address`, or null.
sd_bus* Connect(const std::string& address) {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) return nullptr;
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return bus;
}

std::string ReadVariantAsText(sd_bus_message* m) {
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(m, &type, &contents) <= 0 || type != 'v') return "";
    std::string text = std::string("?") + contents;
    sd_bus_message_enter_container(m, 'v', contents);
    if (std::strcmp(contents, "s") == 0) {
        const char* s = nullptr;
        if (sd_bus_message_read(m, "s", &s) >= 0) text = s;
    } else if (std::strcmp(contents, "i") == 0) {
        int32_t i = 0;
        if (sd_bus_message_read(m, "i", &i) >= 0) text = std::to_string(i);
    } else {
        sd_bus_message_skip(m, contents);
    }
    sd_bus_message_exit_container(m);
    return text;
}

}  // namespace

bool SessionBusAvailable() {
    return std::system("command -v dbus-daemon >/dev/null 2>&1") == 0;
}

TStandInDesktop::TStandInDesktop(std::vector<std::string> capabilities) : bus_(dir_.Path()) {
    if (!bus_.Started()) return;
    server_ = std::make_unique<TNotificationServer>(bus_.Address(), std::move(capabilities));
    session_.emplace("DBUS_SESSION_BUS_ADDRESS", bus_.Address().c_str());
}

TPrivateSessionBus::TPrivateSessionBus(const std::string& dir) {
    const std::string config = JoinPath(dir, "session-bus.conf");
    address_ = "unix:path=" + JoinPath(dir, "bus");
    WriteFileBytes(config,
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\"\n \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig>\n  <type>session</type>\n  <listen>" +
                       address_ +
                       "</listen>\n  <auth>EXTERNAL</auth>\n"
                       "  <policy context=\"default\">\n"
                       "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                       "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
                       "  </policy>\n</busconfig>\n");
    std::string configArg = "--config-file=" + config;
    char program[] = "dbus-daemon";
    char nofork[] = "--nofork";
    char* argv[] = {program, configArg.data(), nofork, nullptr};
    // Its complaints about resource limits a test cannot raise are no part of the output.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawnp(&pid_, program, &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        pid_ = -1;
        return;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!started_ && std::chrono::steady_clock::now() < until) {
        if (sd_bus* bus = Connect(address_)) {
            sd_bus_flush_close_unref(bus);
            started_ = true;
        } else if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;  // not installed, or it gave up
            return;
        } else {
            ::usleep(20000);
        }
    }
}

TPrivateSessionBus::~TPrivateSessionBus() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
}

TNotificationServer::TNotificationServer(const std::string& address,
                                         std::vector<std::string> capabilities)
    : capabilities_(std::move(capabilities)) {
    thread_ = std::thread([this, address] { Serve(address); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ready_ && !failed_ && std::chrono::steady_clock::now() < until)
        ::usleep(10000);
}

TNotificationServer::~TNotificationServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

std::vector<TNotificationServer::TCall> TNotificationServer::Calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
}

void TNotificationServer::Answer(uint32_t id, const std::string& action, const std::string& token) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back({id, action, token});
}

void TNotificationServer::Serve(const std::string& address) {
    sd_bus* bus = Connect(address);
    if (bus == nullptr || sd_bus_request_name(bus, kName, 0) < 0) {
        if (bus) sd_bus_flush_close_unref(bus);
        failed_ = true;
        return;
    }
    auto handler = [](sd_bus_message* m, void* self, sd_bus_error*) -> int {
        auto* server = static_cast<TNotificationServer*>(self);
        if (sd_bus_message_is_method_call(m, kName, "GetCapabilities")) {
            sd_bus_message* reply = nullptr;
            sd_bus_message_new_method_return(m, &reply);
            std::vector<char*> caps;
            for (auto& c : server->capabilities_)
                caps.push_back(c.data());
            caps.push_back(nullptr);
            sd_bus_message_append_strv(reply, caps.data());
            sd_bus_send(nullptr, reply, nullptr);
            sd_bus_message_unref(reply);
            return 1;
        }
        if (!sd_bus_message_is_method_call(m, kName, "Notify")) return 0;
        TCall call;
        const char *app = "", *icon = "", *summary = "", *body = "";
        sd_bus_message_read(m, "susss", &app, &call.replaces, &icon, &summary, &body);
        call.app = app;
        call.icon = icon;
        call.summary = summary;
        call.body = body;
        char** actions = nullptr;
        if (sd_bus_message_read_strv(m, &actions) >= 0 && actions) {
            for (char** a = actions; *a; ++a) {
                call.actions.emplace_back(*a);
                std::free(*a);
            }
            std::free(actions);
        }
        sd_bus_message_enter_container(m, 'a', "{sv}");
        while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
            const char* key = "";
            sd_bus_message_read(m, "s", &key);
            const std::string name = key;
            call.hints[name] = ReadVariantAsText(m);
            sd_bus_message_exit_container(m);
        }
        sd_bus_message_exit_container(m);
        sd_bus_message_read(m, "i", &call.timeout);
        uint32_t id = 0;
        {
            std::lock_guard<std::mutex> lock(server->mutex_);
            server->calls_.push_back(std::move(call));
            id = static_cast<uint32_t>(server->calls_.size());
        }
        sd_bus_reply_method_return(m, "u", id);
        return 1;
    };
    sd_bus_add_filter(bus, nullptr, handler, this);
    ready_ = true;
    constexpr const char* kPath = "/org/freedesktop/Notifications";
    while (!stop_) {
        std::vector<TAnswer> answers;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            answers.swap(answers_);
        }
        for (const TAnswer& a : answers) {
            if (!a.token.empty())
                sd_bus_emit_signal(bus, kPath, kName, "ActivationToken", "us", a.id,
                                   a.token.c_str());
            if (!a.action.empty())
                sd_bus_emit_signal(bus, kPath, kName, "ActionInvoked", "us", a.id,
                                   a.action.c_str());
            sd_bus_emit_signal(bus, kPath, kName, "NotificationClosed", "uu", a.id,
                               a.action.empty() ? 1u : 2u);
        }
        const int r = sd_bus_process(bus, nullptr);
        if (r < 0) break;
        if (r == 0) sd_bus_wait(bus, 50000);
    }
    sd_bus_flush_close_unref(bus);
}

}  // namespace tessaly::test
