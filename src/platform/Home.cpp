#include "platform/Home.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/ByteString.h"
#include "platform/Paths.h"

namespace tessaly {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

}  // namespace

std::string ResolveHomeDirectory(const std::string& explicitHome, std::string& error) {
    auto existing = [&](const std::string& dir, const char* from) -> std::string {
        if (DirectoryExists(dir)) return dir;
        error = std::string(from) + ": " + dir + " is not a directory";
        return {};
    };
    if (!explicitHome.empty()) return existing(explicitHome, "--home");
    const std::string env = Env("TESSALY_HOME");
    if (!env.empty()) return existing(env, "TESSALY_HOME");
    const std::string exe = ExecutableDirectory();
    if (!exe.empty() && FileExists(JoinPath(exe, "id.box"))) return exe;
    std::string base = Env("XDG_DATA_HOME");
    if (base.empty()) {
        const std::string home = Env("HOME");
        if (home.empty()) {
            error = "neither XDG_DATA_HOME nor HOME is set; give --home DIR";
            return {};
        }
        base = JoinPath(home, ".local/share");
    }
    const std::string dir = JoinPath(base, "tessaly-jobs");
    if (!ForceDirectories(dir)) {
        error = "cannot create " + dir + ": " + std::strerror(errno);
        return {};
    }
    return dir;
}

int SeedHomeDirectory(const std::string& home, const std::string& dataDir) {
    int copied = 0;
    for (const char* name : {"id.box", "sources.def"}) {
        const std::string from = JoinPath(dataDir, name);
        const std::string to = JoinPath(home, name);
        if (!FileExists(from) || PathExists(to)) continue;
        std::error_code ec;
        if (std::filesystem::copy_file(from, to, ec)) ++copied;
    }
    return copied;
}

std::string ShippedDataDirectory(const std::string& fallback) {
    const std::string exe = ExecutableDirectory();
    const std::string installed = JoinPath(DirName(exe), "share/tessaly-jobs");
    if (!exe.empty() && DirectoryExists(installed)) return installed;
    return fallback;
}

TInstanceLock::TInstanceLock(const std::string& home) {
    const std::string path = JoinPath(home, "tessaly.lock");
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error_ = "cannot open " + path + ": " + std::strerror(errno);
        return;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        char buf[32] = {};
        const ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
        if (n > 0)
            holder_ =
                static_cast<pid_t>(ParseIntOr(Trim(std::string(buf, static_cast<size_t>(n))), 0));
        close(fd);
        if (err == EWOULDBLOCK)
            error_ = home + " is in use by process " +
                     (holder_ > 0 ? IntToStr(holder_) : std::string("(unknown)"));
        else
            error_ = "cannot lock " + path + ": " + std::strerror(err);
        return;
    }
    const std::string pid = IntToStr(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0) {
        [[maybe_unused]] ssize_t w = pwrite(fd, pid.data(), pid.size(), 0);
    }
    fd_ = fd;
}

TInstanceLock::~TInstanceLock() {
    // Closing releases the lock; the file stays, so a waiting process never races a
    // deletion.
    if (fd_ >= 0) close(fd_);
}

}  // namespace tessaly
