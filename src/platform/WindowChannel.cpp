#include "platform/WindowChannel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tessaly {

namespace {

// 64-bit FNV-1a: stable across builds and machines, which is all a name needs.
uint64_t HashText(const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// Closes the socket however the exchange ends.
struct TFd {
    int fd;
    ~TFd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::string WindowChannelPath(const std::string& home) {
    char name[40];
    std::snprintf(name, sizeof name, "/tessaly-jobs-%016llx",
                  static_cast<unsigned long long>(HashText(home)));
    // A run from cron has no $XDG_RUNTIME_DIR: the user's runtime directory is where the
    // window of a desktop session has it.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string userRuntime = "/run/user/" + std::to_string(::getuid());
    struct stat st = {};
    std::string dir =
        runtime && *runtime ? runtime
        : ::stat(userRuntime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
            ? userRuntime
            : "/tmp";
    if (dir.size() + std::strlen(name) >= sizeof(sockaddr_un::sun_path)) dir = "/tmp";
    return dir + name;
}

TResult<std::string> AskWindow(const std::string& home, const std::string& command, int timeoutMs) {
    const std::string path = WindowChannelPath(home);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    TFd s{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (s.fd < 0) return Error(std::string("no socket: ") + std::strerror(errno));
    if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return Error("no window listens on " + path + " (" + std::strerror(errno) + ")");
    const std::string line = command + "\n";
    if (::send(s.fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
        return Error(std::string("the window's channel refused the request: ") +
                     std::strerror(errno));
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (answer.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{s.fd, POLLIN, 0};
        const int ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return Error("the window did not answer");
        char buffer[64];
        const ssize_t n = ::recv(s.fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Error("the window closed the channel without an answer");
        answer.append(buffer, static_cast<size_t>(n));
    }
    return answer.substr(0, answer.find('\n'));
}

}  // namespace tessaly
