#include "services/Notifier.h"

#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/Utf8.h"

namespace tessaly {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr uint64_t kAnswerUsec = 5'000'000;

struct TMessageUnref {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using TMessage = std::unique_ptr<sd_bus_message, TMessageUnref>;

// The session bus as the environment names it; a run from cron, which has neither
// variable, still finds the user's bus at its usual place.
int OpenSessionBus(sd_bus** out) {
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
    if (r < 0) {
        sd_bus_unref(bus);
        bus = nullptr;
    }
    *out = bus;
    return r;
}

std::string Reason(const sd_bus_error* error) {
    if (sd_bus_error_has_names(error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER))
        return "no notification server answers on the session bus";
    if (sd_bus_error_has_names(error, SD_BUS_ERROR_NO_REPLY, SD_BUS_ERROR_TIMEOUT))
        return "the notification server did not answer";
    return std::string("the notification server refused: ") + (error->message ? error->message
                                                               : error->name  ? error->name
                                                                              : "no reason given");
}

// Whether the server reads markup in the body: then "&", "<" and ">" must be escaped.
bool ReadsMarkup(sd_bus_message* capabilities) {
    char** caps = nullptr;
    if (sd_bus_message_is_method_error(capabilities, nullptr) ||
        sd_bus_message_read_strv(capabilities, &caps) < 0 || caps == nullptr)
        return false;
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

uint64_t MonotonicUsec() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1'000'000 + static_cast<uint64_t>(ts.tv_nsec) / 1000;
}

}  // namespace

// A notification between Send() and the server's answer with its id.
struct TDesktopNotifier::TPending {
    TDesktopNotifier* owner;
    TDesktopNotification n;
    TSent sent;
};

TResult<std::unique_ptr<TDesktopNotifier>> TDesktopNotifier::Connect() {
    sd_bus* bus = nullptr;
    const int r = OpenSessionBus(&bus);
    if (r < 0) return Error(std::string("no session bus: ") + std::strerror(-r));
    return std::unique_ptr<TDesktopNotifier>(new TDesktopNotifier(bus));
}

TDesktopNotifier::TDesktopNotifier(sd_bus* bus) : bus_(bus) {
    sd_bus_set_method_call_timeout(bus_, kAnswerUsec);
    // The signals are asked for before anything is sent, so none is missed. Any sender
    // may emit them; only the ids this connection was given count.
    for (const char* member : {"ActionInvoked", "NotificationClosed", "ActivationToken"}) {
        auto handler = [](sd_bus_message* m, void* self, sd_bus_error*) -> int {
            auto* me = static_cast<TDesktopNotifier*>(self);
            uint32_t id = 0;
            const char* text = nullptr;
            uint32_t reason = 0;
            if (sd_bus_message_is_signal(m, kService, "NotificationClosed")) {
                if (sd_bus_message_read(m, "uu", &id, &reason) >= 0) me->Answered(id, "");
            } else if (sd_bus_message_read(m, "us", &id, &text) >= 0 && text) {
                if (sd_bus_message_is_signal(m, kService, "ActivationToken")) {
                    if (std::find(me->sentIds_.begin(), me->sentIds_.end(), id) !=
                        me->sentIds_.end())
                        me->tokens_[id] = text;
                } else if (*text) {
                    me->Answered(id, text);
                }
            }
            return 0;
        };
        sd_bus_match_signal_async(bus_, nullptr, nullptr, kPath, kService, member, handler, nullptr,
                                  this);
    }
}

TDesktopNotifier::~TDesktopNotifier() {
    // Callbacks still registered die with the connection, never called.
    sd_bus_flush_close_unref(bus_);
}

void TDesktopNotifier::Send(const TDesktopNotification& n, TSent sent) {
    TPending& p = pending_.emplace_back(TPending{this, n, std::move(sent)});
    if (lost_) return Finish(p, Error("the session bus connection was lost"));
    // Asking first whether the body is read as markup; an error answer means plain text,
    // and the notification itself then tells what is wrong.
    auto capabilities = [](sd_bus_message* m, void* data, sd_bus_error*) -> int {
        auto& pending = *static_cast<TPending*>(data);
        pending.owner->Notify(pending, ReadsMarkup(m));
        return 0;
    };
    const int r = sd_bus_call_method_async(bus_, nullptr, kService, kPath, kService,
                                           "GetCapabilities", capabilities, &p, "");
    if (r < 0)
        Finish(p, Error(std::string("the notification could not be sent: ") + std::strerror(-r)));
}

void TDesktopNotifier::Notify(TPending& p, bool markup) {
    const TDesktopNotification& n = p.n;
    // The bus takes only UTF-8: texts of unknown origin are made so first.
    const std::string summary = DisplayUtf8(n.Summary);
    const std::string body = markup ? MarkupEscaped(DisplayUtf8(n.Body)) : DisplayUtf8(n.Body);
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_method_call(bus_, &raw, kService, kPath, kService, "Notify");
    TMessage m(raw);
    if (r >= 0)
        r = sd_bus_message_append(m.get(), "susss", n.AppName.c_str(), 0u, "", summary.c_str(),
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
        return Finish(
            p, Error(std::string("the notification could not be made: ") + std::strerror(-r)));
    auto answered = [](sd_bus_message* reply, void* data, sd_bus_error*) -> int {
        auto& pending = *static_cast<TPending*>(data);
        if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
            pending.owner->Finish(pending, Error(Reason(error)));
            return 0;
        }
        uint32_t id = 0;
        if (sd_bus_message_read(reply, "u", &id) < 0) {
            pending.owner->Finish(
                pending,
                Error("the notification server gave an answer that is no notification id"));
            return 0;
        }
        pending.owner->sentIds_.push_back(id);
        pending.owner->Finish(pending, id);
        return 0;
    };
    r = sd_bus_call_async(bus_, nullptr, m.get(), answered, &p, kAnswerUsec);
    if (r < 0)
        Finish(p, Error(std::string("the notification could not be sent: ") + std::strerror(-r)));
}

void TDesktopNotifier::Finish(TPending& p, TResult<uint32_t> result) {
    const TSent sent = std::move(p.sent);
    pending_.remove_if([&p](const TPending& q) { return &q == &p; });
    if (sent) sent(std::move(result));
}

void TDesktopNotifier::Answered(uint32_t id, const std::string& action) {
    const auto it = std::find(sentIds_.begin(), sentIds_.end(), id);
    if (it == sentIds_.end()) return;  // another program's, or answered already
    sentIds_.erase(it);
    TNotificationAnswer answer{id, action, {}};
    if (auto token = tokens_.find(id); token != tokens_.end()) {
        answer.ActivationToken = std::move(token->second);
        tokens_.erase(token);
    }
    if (OnAnswer) OnAnswer(answer);
}

int TDesktopNotifier::Fd() const {
    return sd_bus_get_fd(bus_);
}

bool TDesktopNotifier::WantsWrite() const {
    return !lost_ && (sd_bus_get_events(bus_) & POLLOUT) != 0;
}

int TDesktopNotifier::TimeoutMs() const {
    uint64_t until = 0;
    if (lost_ || sd_bus_get_timeout(bus_, &until) < 0 || until == UINT64_MAX) return -1;
    const uint64_t now = MonotonicUsec();
    if (until <= now) return 0;
    return static_cast<int>(
        std::min<uint64_t>((until - now + 999) / 1000, uint64_t{24} * 3600 * 1000));
}

bool TDesktopNotifier::Process() {
    if (lost_) return false;
    int r;
    while ((r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (r < 0) {
        lost_ = true;
        while (!pending_.empty())
            Finish(pending_.front(), Error("the session bus connection was lost"));
    }
    return !lost_;
}

bool TDesktopNotifier::Wait(int timeoutMs) {
    if (!Process()) return false;
    const int r = sd_bus_wait(bus_, timeoutMs < 0 ? UINT64_MAX : uint64_t(timeoutMs) * 1000);
    if (r < 0 && r != -EINTR) {
        lost_ = true;
        while (!pending_.empty())
            Finish(pending_.front(), Error("the session bus connection was lost"));
        return false;
    }
    return Process();
}

TResult<uint32_t> SendDesktopNotification(const TDesktopNotification& n) {
    auto notifier = TDesktopNotifier::Connect();
    if (!notifier) return Error(notifier.error());
    std::optional<TResult<uint32_t>> result;
    notifier.value()->Send(n, [&result](TResult<uint32_t> r) { result = std::move(r); });
    // Each call gives up after a few seconds, and a lost connection tells every send.
    while (!result && notifier.value()->Wait(-1)) {
    }
    if (!result) return Error("the session bus connection was lost");
    return std::move(*result);
}

}  // namespace tessaly
