// `tessaly schedule`: a systemd user timer that runs `tessaly update --all --quiet --notify`
// on this home every so often; where no user manager answers, the lines that set it up by
// hand (systemctl, or cron).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/Command.h"
#include "cli/Workspace.h"
#include "platform/ByteString.h"
#include "platform/Home.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace tessaly::cli {
namespace {

constexpr const char* kTimer = "tessaly-jobs-update.timer";
constexpr const char* kService = "tessaly-jobs-update.service";
// The first line of both files: what `schedule off` may remove.
constexpr const char* kMarker =
    "# Written by 'tessaly schedule'; 'tessaly schedule off' removes it.";
// The job sites are not asked more often than this.
constexpr int kShortestMinutes = 5;
constexpr int kLongestMinutes = 366 * 24 * 60;

std::string UnitDirectory() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        base = JoinPath(home && home[0] ? home : "/", ".config");
    }
    return JoinPath(JoinPath(base, "systemd"), "user");
}

// Minutes of "30m", "6h", "1d"; the error says what is wrong.
TResult<int> ParseDuration(const std::string& text) {
    const std::string format = "write a whole number and m, h or d (30m, 6h, 1d)";
    if (text.size() < 2 || text.size() > 8) return Error("no duration \"" + text + "\": " + format);
    const char unit = text.back();
    const std::string digits = text.substr(0, text.size() - 1);
    const int factor = unit == 'm' ? 1 : unit == 'h' ? 60 : unit == 'd' ? 24 * 60 : 0;
    const auto n = digits.find_first_not_of("0123456789") == std::string::npos
                       ? ParseInt(digits)
                       : std::optional<int32_t>();
    if (factor == 0 || !n) return Error("no duration \"" + text + "\": " + format);
    const int64_t minutes = static_cast<int64_t>(*n) * factor;
    if (minutes < kShortestMinutes)
        return Error("every " + text + " is too often: the job sites are asked at most every " +
                     IntToStr(kShortestMinutes) + " minutes (5m)");
    if (minutes > kLongestMinutes) return Error("every " + text + " is more than a year");
    return static_cast<int>(minutes);
}

// An argument of ExecStart: quoted, with systemd's escapes for backslash, quote,
// specifiers and variables. Control characters have no safe form: refused.
TResult<std::string> SystemdWord(const std::string& arg) {
    for (const char c : arg)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return Error("the path \"" + EscapeForDisplay(arg) +
                         "\" holds a control character; a timer cannot run it");
    std::string out = "\"";
    for (const char c : arg) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '%' || c == '$') out += c;
        out += c;
    }
    return out + "\"";
}

// An argument for a crontab line: single-quoted for the shell, '%' escaped for cron.
std::string CronWord(const std::string& arg) {
    return "'" + ReplaceAll(ReplaceAll(arg, "'", "'\\''"), "%", "\\%") + "'";
}

// The crontab time fields nearest to every `minutes`; `exact` false when cron cannot
// repeat at that interval.
std::string CronTimes(int minutes, bool& exact) {
    exact = true;
    if (minutes < 60) {
        exact = 60 % minutes == 0;
        return "*/" + IntToStr(minutes) + " * * * *";
    }
    if (minutes < 24 * 60) {
        exact = minutes % 60 == 0 && (24 * 60) % minutes == 0;
        return "0 */" + IntToStr(minutes / 60) + " * * *";
    }
    exact = minutes % (24 * 60) == 0;
    return "0 0 */" + IntToStr(minutes / (24 * 60)) + " * *";
}

// Runs systemctl with `args` (its output discarded); its exit status, -1 when it did not run.
int Systemctl(const std::vector<std::string>& args) {
    std::vector<std::string> words = {"systemctl", "--user"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// True when the file exists and begins with the marker: this command wrote it.
bool OursOrAbsent(const std::string& path) {
    std::string text;
    if (!PathExists(path)) return true;
    return TryReadFileBytes(path, text) && StartsWith(text, kMarker);
}

// The value of the first "Key=" line of a unit file ("" when none).
std::string UnitValue(const std::string& path, const std::string& key) {
    std::string text;
    if (!TryReadFileBytes(path, text)) return "";
    for (const std::string& line : SplitLines(text))
        if (StartsWith(line, key + "=")) return line.substr(key.size() + 1);
    return "";
}

int Every(const std::string& duration, TCliIO& io) {
    auto minutes = ParseDuration(duration);
    if (!minutes) return UsageError(io, "schedule", minutes.error());
    const std::string dir = UnitDirectory();
    const std::string timer = JoinPath(dir, kTimer), service = JoinPath(dir, kService);
    for (const std::string& file : {timer, service})
        if (!OursOrAbsent(file))
            return UsageError(io, "schedule",
                              file + " was not written by 'tessaly schedule'; it is left as it is");
    std::error_code ec;
    const std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec) return UsageError(io, "schedule", "cannot tell where this program is: " + ec.message());
    const std::string home = ResolveHomeDirectory(HomeOption());
    std::vector<std::string> args = {program, "--home", home};
    if (!CAFileOption().empty())
        args.insert(args.end(), {"--cafile", CanonicalDirectory(CAFileOption())});
    args.insert(args.end(), {"update", "--all", "--quiet", "--notify"});
    std::string exec, cron;
    for (const std::string& a : args) {
        auto word = SystemdWord(a);
        if (!word) return UsageError(io, "schedule", word.error());
        exec += (exec.empty() ? "" : " ") + word.value();
        cron += (cron.empty() ? "" : " ") + CronWord(a);
    }
    // A unit file's line ends are LF; the program's own text files use CR LF.
    const std::string every =
        IntToStr(ParseInt(duration.substr(0, duration.size() - 1)).value_or(0)) + duration.back();
    const std::string serviceText =
        std::string(kMarker) +
        "\n[Unit]\nDescription=Tessaly Jobs 98: update the saved searches\n" +
        "\n[Service]\nType=oneshot\nExecStart=" + exec +
        "\n# The notification's helper stays after the update to open the window when it is"
        "\n# clicked.\nKillMode=process\n";
    const std::string timerText =
        std::string(kMarker) + "\n[Unit]\nDescription=Tessaly Jobs 98: update the saved searches " +
        "every " + every + "\n\n[Timer]\nOnStartupSec=5min\nOnUnitActiveSec=" + every +
        "\n\n[Install]\nWantedBy=timers.target\n";
    if (!ForceDirectories(dir))
        return UsageError(io, "schedule", "cannot create the folder " + dir);
    WriteFileAtomic(service, serviceText);
    WriteFileAtomic(timer, timerText);

    if (Systemctl({"daemon-reload"}) == 0) {
        // Restarted, so that a changed interval applies at once.
        if (Systemctl({"enable", kTimer}) == 0 && Systemctl({"restart", kTimer}) == 0) {
            io.out << "Every " << duration << " the saved searches of " << home << " are updated ("
                   << kTimer << " in " << dir << "); 'tessaly schedule off' stops it.\n";
            return kExitOk;
        }
        io.err << "tessaly schedule: systemctl --user could not enable " << kTimer << ".\n";
    }
    bool exact = true;
    const std::string times = CronTimes(minutes.value(), exact);
    io.out << "The timer is written in " << dir
           << ", but no systemd user manager answered. Start it with\n"
           << "  systemctl --user enable --now " << kTimer << "\n"
           << "or have cron run the update: add this line with 'crontab -e'\n"
           << "  " << times << " " << cron << "\n";
    if (!exact)
        io.out << "(cron cannot repeat every " << duration
               << " exactly: that line runs at the nearest steps it can.)\n";
    return kExitOk;
}

int Off(TCliIO& io) {
    const std::string dir = UnitDirectory();
    const std::string timer = JoinPath(dir, kTimer), service = JoinPath(dir, kService);
    if (!PathExists(timer) && !PathExists(service)) {
        io.out << "No schedule is set.\n";
        return kExitOk;
    }
    for (const std::string& file : {timer, service})
        if (!OursOrAbsent(file))
            return UsageError(io, "schedule",
                              file + " was not written by 'tessaly schedule'; it is left as it is");
    const bool manager = Systemctl({"disable", "--now", kTimer}) == 0;
    // The link an enabling left, when no manager was there to take it away.
    const std::string wanted = JoinPath(JoinPath(dir, "timers.target.wants"), kTimer);
    std::error_code ec;
    if (std::filesystem::is_symlink(wanted, ec) &&
        std::filesystem::read_symlink(wanted, ec).string() == timer)
        std::filesystem::remove(wanted, ec);
    DeleteFile(timer);
    DeleteFile(service);
    if (manager) Systemctl({"daemon-reload"});
    io.out << "The schedule is off: " << kTimer << " and " << kService << " are removed from "
           << dir << ".\n";
    if (!manager) io.out << "No systemd user manager answered; remove any crontab line as well.\n";
    return kExitOk;
}

int Status(TCliIO& io) {
    const std::string dir = UnitDirectory();
    const std::string timer = JoinPath(dir, kTimer), service = JoinPath(dir, kService);
    if (!PathExists(timer)) {
        io.out << "No schedule is set; 'tessaly schedule every 6h' sets one.\n";
        return kExitOk;
    }
    io.out
        << "Every " << UnitValue(timer, "OnUnitActiveSec") << ": "
        << UnitValue(service, "ExecStart") << "\n"
        << (Systemctl({"is-active", "--quiet", kTimer}) == 0
                ? "The timer is active.\n"
                : "The timer is not active (not enabled, or no systemd user manager answers).\n");
    return kExitOk;
}

int Schedule(const std::vector<std::string>& argv, TCliIO& io) {
    TArgs args;
    if (auto parsed = args.Parse(argv, {}, {}); !parsed)
        return UsageError(io, "schedule", parsed.error());
    const auto& p = args.Positional();
    if (p.size() == 2 && p[0] == "every") return Every(p[1], io);
    if (p.size() == 1 && p[0] == "off") return Off(io);
    if (p.size() == 1 && p[0] == "status") return Status(io);
    return UsageError(io, "schedule", "expected 'every DURATION', 'off' or 'status'");
}

TRegisterCommand r1(
    {"schedule", "update every saved search every so often, unattended",
     "Usage: tessaly schedule every DURATION | off | status\n"
     "\n"
     "every DURATION (30m, 6h, 1d; 5m at least) writes a systemd user timer and service\n"
     "in $XDG_CONFIG_HOME/systemd/user (~/.config/systemd/user) that run\n"
     "'tessaly update --all --quiet --notify' on this home, and enables the timer. Where\n"
     "no user manager answers, the files are written all the same and the command prints\n"
     "the systemctl line that starts them and a crontab line that does the same.\n"
     "off disables the timer and removes the two files it wrote, nothing else. status\n"
     "says how often the update runs, on which home, and whether the timer is active.\n",
     Schedule});

}  // namespace
}  // namespace tessaly::cli
