#include "services/Notifier.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/ByteString.h"
#include "platform/Paths.h"

namespace tessaly {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr uint64_t kAnswerUsec = 5'000'000;

struct TBusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct TMessageUnref {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using TBus = std::unique_ptr<sd_bus, TBusCloser>;
using TMessage = std::unique_ptr<sd_bus_message, TMessageUnref>;

// An sd_bus_error freed on every path.
struct TBusError {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ~TBusError() { sd_bus_error_free(&e); }
};

// The session bus as the environment names it; a run from cron, which has neither
// variable, still finds the user's bus at its usual place.
int OpenSessionBus(TBus& out) {
    sd_bus* bus = nullptr;
    int r;
    const bool named = std::getenv("DBUS_SESSION_BUS_ADDRESS") || std::getenv("XDG_RUNTIME_DIR");
    const std::string usual = "/run/user/" + IntToStr(::getuid()) + "/bus";
    if (named || !PathExists(usual)) {
        r = sd_bus_open_user(&bus);
    } else {
        r = sd_bus_new(&bus);
        if (r >= 0) r = sd_bus_set_address(bus, ("unix:path=" + usual).c_str());
        if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
        if (r >= 0) r = sd_bus_start(bus);
    }
    out.reset(bus);
    return r;
}

std::string Reason(const TBusError& error, int r) {
    if (sd_bus_error_has_names(&error.e, SD_BUS_ERROR_SERVICE_UNKNOWN,
                               SD_BUS_ERROR_NAME_HAS_NO_OWNER))
        return "no notification server answers on the session bus";
    if (sd_bus_error_is_set(&error.e) && error.e.message)
        return std::string("the notification server refused: ") + error.e.message;
    return std::string("the notification server did not answer: ") + std::strerror(-r);
}

// Whether the server reads markup in the body: then "&", "<" and ">" must be escaped.
bool ReadsMarkup(sd_bus* bus) {
    TBusError error;
    sd_bus_message* raw = nullptr;
    if (sd_bus_call_method(bus, kService, kPath, kService, "GetCapabilities", &error.e, &raw, "") <
        0)
        return false;
    TMessage reply(raw);
    char** caps = nullptr;
    if (sd_bus_message_read_strv(reply.get(), &caps) < 0 || caps == nullptr) return false;
    bool markup = false;
    for (char** c = caps; *c; ++c) {
        markup |= std::strcmp(*c, "body-markup") == 0;
        std::free(*c);
    }
    std::free(caps);
    return markup;
}

std::string MarkupEscaped(const std::string& text) {
    return ReplaceAll(ReplaceAll(ReplaceAll(text, "&", "&amp;"), "<", "&lt;"), ">", "&gt;");
}

}  // namespace

TResult<uint32_t> SendDesktopNotification(const TDesktopNotification& n) {
    TBus bus;
    int r = OpenSessionBus(bus);
    if (r < 0) return Error(std::string("no session bus: ") + std::strerror(-r));
    sd_bus_set_method_call_timeout(bus.get(), kAnswerUsec);
    const std::string body = ReadsMarkup(bus.get()) ? MarkupEscaped(n.Body) : n.Body;

    sd_bus_message* raw = nullptr;
    r = sd_bus_message_new_method_call(bus.get(), &raw, kService, kPath, kService, "Notify");
    TMessage m(raw);
    if (r >= 0)
        r = sd_bus_message_append(m.get(), "susss", n.AppName.c_str(), 0u, "", n.Summary.c_str(),
                                  body.c_str());
    if (r >= 0) r = sd_bus_message_open_container(m.get(), 'a', "s");
    for (const auto& [key, label] : n.Actions) {
        if (r >= 0) r = sd_bus_message_append(m.get(), "ss", key.c_str(), label.c_str());
    }
    if (r >= 0) r = sd_bus_message_close_container(m.get());
    if (r >= 0) r = sd_bus_message_open_container(m.get(), 'a', "{sv}");
    if (r >= 0 && !n.DesktopEntry.empty())
        r = sd_bus_message_append(m.get(), "{sv}", "desktop-entry", "s", n.DesktopEntry.c_str());
    if (r >= 0 && n.SearchNumber > 0)
        r = sd_bus_message_append(m.get(), "{sv}", "x-tessaly-jobs-search", "i", n.SearchNumber);
    if (r >= 0) r = sd_bus_message_close_container(m.get());
    if (r >= 0) r = sd_bus_message_append(m.get(), "i", n.TimeoutMs);
    if (r < 0)
        return Error(std::string("the notification could not be made: ") + std::strerror(-r));

    TBusError error;
    sd_bus_message* answer = nullptr;
    r = sd_bus_call(bus.get(), m.get(), kAnswerUsec, &error.e, &answer);
    if (r < 0) return Error(Reason(error, r));
    TMessage reply(answer);
    uint32_t id = 0;
    if (sd_bus_message_read(reply.get(), "u", &id) < 0)
        return Error("the notification server gave an answer that is no notification id");
    return id;
}

}  // namespace tessaly
