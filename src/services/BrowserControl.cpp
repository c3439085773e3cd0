#include "services/BrowserControl.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

extern char** environ;

namespace tessaly {
namespace {

constexpr int kRequestDelayMs = 500;
constexpr const char* kDetectFile = "~~~~~~~~.htm";

std::vector<char*> Argv(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// The program a desktop entry most likely starts ("firefox-esr.desktop" starts
// "firefox-esr"); empty for reverse-domain ids that name no program.
std::string ProgramOfEntry(const std::string& entry) {
    std::string name = BaseName(entry);
    const std::string suffix = ".desktop";
    if (name.size() > suffix.size() && name.ends_with(suffix)) {
        name.resize(name.size() - suffix.size());
        if (name.find('.') != std::string::npos) return {};
    }
    return name;
}

}  // namespace

std::string_view BrowserName(TActiveBrowser browser) {
    switch (browser) {
        case TActiveBrowser::Netscape:
            return "Netscape";
        case TActiveBrowser::MSIE:
            return "MSIE";
        case TActiveBrowser::Shell:
            break;
    }
    return "Shell";
}

std::optional<TActiveBrowser> BrowserFromName(std::string_view name) {
    if (name == "Netscape") return TActiveBrowser::Netscape;
    if (name == "MSIE") return TActiveBrowser::MSIE;
    if (name == "Shell") return TActiveBrowser::Shell;
    return std::nullopt;
}

TActiveBrowser BrowserKind(std::string_view program) {
    const std::string p = LowerCase(BaseName(program));
    for (const char* m : {"firefox", "mozilla", "iceweasel", "seamonkey", "librewolf", "waterfox",
                          "icecat", "netscape"})
        if (p.find(m) != std::string::npos) return TActiveBrowser::Netscape;
    for (const char* c : {"chrom", "brave", "vivaldi", "edge", "opera"})
        if (p.find(c) != std::string::npos) return TActiveBrowser::MSIE;
    return TActiveBrowser::Shell;
}

TBrowserControl::TBrowserControl(std::string tempDir, TQuery query, TMainLoop* loop)
    : tempDir_(std::move(tempDir)), query_(std::move(query)), timer_(loop) {
    if (!query_) query_ = RunAndRead;
    timer_.SetInterval(kRequestDelayMs);
    timer_.OnTimer = [this] { OpenPending(); };
    DetectBrowser();
}

TBrowserControl::~TBrowserControl() {
    if (!Pending()) return;
    // Whoever watched the busy state may be gone already, and no message may run now.
    OnBusy = nullptr;
    timer_.SetEnabled(false);
    StartRequest(pendingAddress_, pendingNewWindow_);
}

void TBrowserControl::Flush() {
    if (Pending()) OpenPending();
}

void TBrowserControl::DetectBrowser() {
    // Ask the desktop which program opens a page file, as a double click on one would.
    std::string type;
    const std::string probe = JoinPath(tempDir_, kDetectFile);
    try {
        ForceDirectories(tempDir_);
        WriteFileBytes(probe, "<html></html>\r\n");
        type = Trim(query_({"xdg-mime", "query", "filetype", probe}));
    } catch (const std::exception&) {
        // An unwritable temp directory only costs the file-type question.
    }
    DeleteFile(probe);
    if (type.empty() || type.find('/') == std::string::npos) type = "text/html";
    std::string found = Trim(query_({"xdg-mime", "query", "default", type}));
    if (found.empty()) {
        const char* env = std::getenv("BROWSER");
        if (env != nullptr) {
            found = env;
            found = found.substr(0, found.find(':'));
            // $BROWSER may hold a command with "%s" or arguments: the program is the first word.
            found = Trim(found.substr(0, found.find(' ')));
        }
    }
    BrowserPath = found;
    ActiveBrowser = BrowserKind(found);
    const std::string program = ProgramOfEntry(found);
    if (!program.empty() && ActiveBrowser == TActiveBrowser::Netscape)
        NetscapeCommand = {found.ends_with(".desktop") ? program : found};
    if (!program.empty() && ActiveBrowser == TActiveBrowser::MSIE)
        MSIECommand = {found.ends_with(".desktop") ? program : found};
}

void TBrowserControl::RequestURL(const std::string& address, bool newWindow) {
    pendingAddress_ = address;
    pendingNewWindow_ = newWindow;
    if (!timer_.Enabled()) timer_.SetEnabled(true);
}

TBrowserControl::TArgs TBrowserControl::CommandFor(const std::string& address,
                                                   bool newWindow) const {
    TArgs args;
    switch (ActiveBrowser) {
        case TActiveBrowser::Netscape:
            args = NetscapeCommand;
            break;
        case TActiveBrowser::MSIE:
            args = MSIECommand;
            break;
        case TActiveBrowser::Shell:
            args = ShellCommand;
            break;
    }
    // The default handler has no notion of windows.
    if (newWindow && ActiveBrowser != TActiveBrowser::Shell && !NewWindowFlag.empty())
        args.push_back(NewWindowFlag);
    // "--" would be safer against an address starting with "-", but not every browser
    // takes it; an address is never given with a leading dash instead.
    args.push_back(!address.empty() && address[0] == '-' ? "./" + address : address);
    return args;
}

bool TBrowserControl::Start(const TArgs& args) {
    if (args.empty() || args[0].empty()) return false;
    return Launch ? Launch(args) : LaunchDetached(args);
}

void TBrowserControl::OpenPending() {
    timer_.SetEnabled(false);
    const std::string address = pendingAddress_;
    const bool newWindow = pendingNewWindow_;
    if (OnBusy) OnBusy(true);
    StartRequest(address, newWindow);
    if (OnBusy) OnBusy(false);
}

void TBrowserControl::StartRequest(const std::string& address, bool newWindow) {
    std::vector<TArgs> tried{CommandFor(address, newWindow)};
    if (Start(tried.back())) return;
    // A named browser that is not installed: the desktop's default handler still shows it.
    if (ActiveBrowser != TActiveBrowser::Shell) {
        tried.push_back(ShellCommand);
        tried.back().push_back(address);
        if (Start(tried.back())) return;
    }
    if (OnFailed) OnFailed(address, tried);
}

bool LaunchDetached(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    std::vector<char*> argv = Argv(args);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        if (devNull >= 0) close(devNull);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on. The grandchild belongs to init, so
        // the browser outlives this program and leaves no zombie behind.
        close(report[0]);
        setsid();
        const pid_t grandchild = fork();
        if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
        if (devNull >= 0) dup2(devNull, STDIN_FILENO);
        execvp(argv[0], argv.data());
        const int err = errno;
        (void)!write(report[1], &err, sizeof err);
        _exit(127);
    }
    close(report[1]);
    if (devNull >= 0) close(devNull);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes at exec; a reported errno means the program could not be started.
    int err = 0;
    ssize_t n;
    do {
        n = read(report[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

std::string RunAndRead(const std::vector<std::string>& args) {
    if (args.empty()) return {};
    std::vector<char*> argv = Argv(args);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    if (rc == 0) {
        char buf[4096];
        for (;;) {
            const ssize_t n = read(out[0], buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            if (text.size() < 65536) text.append(buf, static_cast<size_t>(n));
        }
    }
    close(out[0]);
    if (rc != 0) return {};
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : std::string();
}

}  // namespace tessaly
