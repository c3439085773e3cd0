// New jobs told on the desktop from the command line. Only the program that sent a
// notification hears that it was clicked, and an update ends long before anybody clicks.
// So this program starts itself once more, detached, under a command the overview does
// not list: that helper sends the notification, tells the update the server's answer
// through a pipe, and stays (a day at most) to open the window on the search when the
// notification is clicked.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "cli/Command.h"
#include "cli/NotificationCommand.h"
#include "cli/Workspace.h"
#include "data/VelaSearches.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "services/BrowserControl.h"
#include "services/NewJobs.h"

namespace tessaly::cli {

namespace {

// The helper's two calls may take five seconds each; then it is given up.
constexpr int kHelperAnswerMs = 15'000;
// A notification still unanswered after a day is left to the notification server.
constexpr auto kHelperStays = std::chrono::hours(24);

constexpr const char* kNotificationUsage =
    "Usage: tessaly notification --window PROGRAM --search N [--table FILE] --summary TEXT\n"
    "                            --body TEXT\n\n"
    "The helper of 'tessaly update --notify': sends the notification, writes \"sent ID\" or\n"
    "\"error REASON\" as one line, and when the notification is clicked starts PROGRAM on\n"
    "search N of the home, or on the search whose job table is FILE wherever it is by then.\n"
    "Not meant to be run by hand.\n";

// Stops writing to the update's pipe: the update reads its end and goes on.
void LetGoOfOutput() {
    std::cout.flush();
    const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull < 0) return;
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    ::close(devNull);
}

// A run from cron knows no display. The user's desktop session told the user's service
// manager where its display is: the window is shown there.
void ImportDisplay() {
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) return;
    const TStrings lines = SplitLines(RunAndRead({"systemctl", "--user", "show-environment"}));
    for (const std::string name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"})
        for (const std::string& line : lines)
            if (StartsWith(line, name + "="))
                ::setenv(name.c_str(), line.substr(name.size() + 1).c_str(), 0);
}

// The number search `number` has now: searches deleted since the notification was sent
// move it. The index is only read (the window may hold the home meanwhile). 0 when
// the search is gone.
int NumberNow(const std::string& home, int number, const std::string& table) {
    if (table.empty()) return number;
    TVelaSearchesList searches;
    try {
        searches.LoadIndex(SearchesIndexPath(home));
    } catch (const std::exception&) {
        return number;
    }
    for (int i = 0; i < searches.Count(); ++i)
        if (BaseName(searches[i].TableFile) == BaseName(table)) return i + 1;
    return 0;
}

int Notification(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {"window", "search", "table", "summary", "body"});
        !parsed)
        return UsageError(io, "notification", parsed.error());
    const std::string window = args.Value("window").value_or("");
    const std::optional<int64_t> search = ParseInt(args.Value("search").value_or(""));
    if (window.empty() || !search || *search < 1 || *search > INT32_MAX ||
        !args.Positional().empty())
        return UsageError(io, "notification", "expected --window PROGRAM and --search N");

    TDesktopNotification n;
    n.Summary = args.Value("summary").value_or("");
    n.Body = args.Value("body").value_or("");
    OfferShowSearch(n, static_cast<int>(*search));
    auto notifier = TDesktopNotifier::Connect();
    if (!notifier) {
        io.out << "error " << notifier.error() << std::endl;
        return kExitUsage;
    }
    TDesktopNotifier& bus = *notifier.value();
    std::optional<TResult<uint32_t>> sent;
    std::optional<TNotificationAnswer> answer;
    bus.OnAnswer = [&answer](const TNotificationAnswer& a) { answer = a; };
    bus.Send(n, [&sent](TResult<uint32_t> r) { sent = std::move(r); });
    while (!sent && bus.Wait(-1)) {
    }
    if (!sent || !*sent) {
        io.out << "error " << (sent ? sent->error() : "the session bus connection was lost")
               << std::endl;
        return kExitUsage;
    }
    io.out << "sent " << sent->value() << std::endl;
    LetGoOfOutput();

    const auto until = std::chrono::steady_clock::now() + kHelperStays;
    while (!answer) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !bus.Wait(static_cast<int>(left.count()))) break;
    }
    if (!answer || answer->Action != "default") return kExitOk;
    // The window comes to the front with the token the server gave for the click.
    if (!answer->ActivationToken.empty()) {
        ::setenv("XDG_ACTIVATION_TOKEN", answer->ActivationToken.c_str(), 1);
        ::setenv("DESKTOP_STARTUP_ID", answer->ActivationToken.c_str(), 1);
    }
    notifier.value().reset();
    ImportDisplay();
    std::vector<std::string> words = {window, "--home", ResolveHomeDirectory(HomeOption())};
    const int now =
        NumberNow(words.back(), static_cast<int>(*search), args.Value("table").value_or(""));
    if (now > 0) words.insert(words.end(), {"--search", IntToStr(now)});
    std::vector<char*> windowArgv;
    windowArgv.reserve(words.size() + 1);
    for (std::string& w : words)
        windowArgv.push_back(w.data());
    windowArgv.push_back(nullptr);
    ::execv(window.c_str(), windowArgv.data());
    return kExitUsage;  // nobody reads this: the window could not be started
}

// The notification sent from this process, which nobody will hear being clicked: no
// action is offered then.
TResult<void> SendHere(TDesktopNotification n) {
    n.Actions.clear();
    n.SearchNumber = 0;
    auto sent = SendDesktopNotification(n);
    if (!sent) return Error(sent.error());
    return {};
}

}  // namespace

TResult<void> TellNewJobs(const std::vector<TSearchNews>& news, const std::string& home) {
    const TDesktopNotification n = NewJobsNotification(news);
    const std::string window = WindowProgram();
    const std::string self = JoinPath(ExecutableDirectory(), "tessaly");
    if (n.Actions.empty() || window.empty() || ::access(self.c_str(), X_OK) != 0)
        return SendHere(n);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return SendHere(n);
    std::vector<std::string> words = {self,
                                      "--home",
                                      home,
                                      "notification",
                                      "--window=" + window,
                                      "--search=" + IntToStr(n.SearchNumber),
                                      "--table=" + news.front().table,
                                      "--summary=" + n.Summary,
                                      "--body=" + n.Body};
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Its own session, so neither a Ctrl-C in this terminal nor the terminal's closing
    // takes it away; default signal handling.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return SendHere(n);
    }

    // Its one line, or its silence.
    std::string said;
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kHelperAnswerMs);
    while (said.find('\n') == std::string::npos && said.size() < 4096) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        pollfd p{out[0], POLLIN, 0};
        if (left.count() <= 0) break;
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buf[512];
        const ssize_t got = ::read(out[0], buf, sizeof buf);
        if (got <= 0) break;
        said.append(buf, static_cast<size_t>(got));
    }
    ::close(out[0]);
    const std::string line = said.substr(0, said.find('\n'));
    if (StartsWith(line, "sent ")) return {};
    if (StartsWith(line, "error ")) return Error(line.substr(6));
    return Error("the notification helper gave no answer");
}

namespace {
TRegisterCommand r({"notification", "", kNotificationUsage, Notification});
}  // namespace

}  // namespace tessaly::cli
