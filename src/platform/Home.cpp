#include "platform/Home.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/ByteString.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

#ifndef TESSALY_SOURCE_DATA_DIR
#define TESSALY_SOURCE_DATA_DIR ""
#endif
#ifndef TESSALY_BUILD_DATA_DIR
#define TESSALY_BUILD_DATA_DIR ""
#endif

namespace tessaly {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// A file this program saves in the home (`inSearches`: in its "searches" folder).
bool SavedByProgram(const std::string& name, bool inSearches) {
    if (inSearches) {
        if (name == "velares.idx") return true;
        if (!StartsWith(name, "velares~") || !EndsWith(name, ".tbl")) return false;
        const std::string number = name.substr(8, name.size() - 12);
        return !number.empty() && std::all_of(number.begin(), number.end(),
                                              [](char c) { return c >= '0' && c <= '9'; });
    }
    return name == "sources.def" || name == "sources.def.bak" || name == "sources.def.new" ||
           (EndsWith(name, ".box") && name.size() > 4);
}

// BASE.tmp and BASE.new of a packed save, BASE.tmp.XXXXXX of an atomic write.
bool StaleTemporary(const std::string& name, bool inSearches) {
    std::string base;
    if (EndsWith(name, ".tmp") || EndsWith(name, ".new")) {
        base = name.substr(0, name.size() - 4);
    } else if (const size_t at = name.rfind(".tmp.");
               at != std::string::npos && at + 11 == name.size()) {
        const bool random =
            std::all_of(name.begin() + static_cast<long>(at) + 5, name.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            });
        if (random) base = name.substr(0, at);
    }
    return !base.empty() && SavedByProgram(base, inSearches);
}

}  // namespace

int RemoveStaleSaveTemporaries(const std::string& home) {
    int removed = 0;
    for (const bool inSearches : {false, true}) {
        const std::string dir = inSearches ? JoinPath(home, "searches") : home;
        for (const std::string& name : ListDirectory(dir)) {
            const std::string path = JoinPath(dir, name);
            if (StaleTemporary(name, inSearches) && FileExists(path) && DeleteFile(path)) ++removed;
        }
    }
    return removed;
}

std::string CanonicalDirectory(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(dir), ec);
    if (ec) return dir;
    fs::path canonical = fs::weakly_canonical(p, ec);
    if (!ec) p = canonical;
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

std::string ResolveHomeDirectory(const std::string& explicitHome) {
    // Stored paths are made from the home: it is made absolute here, once, so that no
    // relative path ever reaches a file and no later change of directory can move it.
    if (!explicitHome.empty()) return CanonicalDirectory(explicitHome);
    if (std::string env = Env("TESSALY_HOME"); !env.empty()) return CanonicalDirectory(env);
    const std::string exeDir = ExecutableDirectory();
    if (!exeDir.empty() && FileExists(JoinPath(exeDir, "id.box")))
        return CanonicalDirectory(exeDir);
    std::string base = Env("XDG_DATA_HOME");
    if (base.empty()) {
        std::string user = Env("HOME");
        if (user.empty()) user = "/tmp";
        base = JoinPath(user, ".local/share");
    }
    return CanonicalDirectory(JoinPath(base, "tessaly-jobs"));
}

std::string ShippedDataDirectory() {
    if (std::string env = Env("TESSALY_DATA_DIR"); !env.empty()) return env;
    const std::string beside = JoinPath(ExecutableDirectory(), "data");
    if (FileExists(JoinPath(beside, "id.box"))) return beside;
    // Installed: bin/tessaly-jobs with share/tessaly-jobs beside bin.
    const std::string installed = JoinPath(DirName(ExecutableDirectory()), "share/tessaly-jobs");
    if (FileExists(JoinPath(installed, "id.box"))) return installed;
    // Run from the build tree: the files the build staged, with the sources.def it made.
    const std::string staged = TESSALY_BUILD_DATA_DIR;
    if (!staged.empty() && FileExists(JoinPath(staged, "id.box"))) return staged;
    return TESSALY_SOURCE_DATA_DIR;
}

void PrepareHomeDirectory(const std::string& home, const std::string& shippedDir) {
    for (const char* sub : {"", "searches", "temp"}) {
        const std::string dir = *sub ? JoinPath(home, sub) : home;
        if (!ForceDirectories(dir))
            throw EFileError("Cannot create the directory " + dir + ": " + std::strerror(errno));
    }
    if (shippedDir.empty() || !DirectoryExists(shippedDir)) return;
    for (const std::string& name : ListDirectory(shippedDir)) {
        const std::string from = JoinPath(shippedDir, name);
        const std::string to = JoinPath(home, name);
        // The company board families are read where they are shipped, so that a new
        // version brings its own; a copy in the home would only look editable.
        if (!FileExists(from) || PathExists(to) || name == "companies.plain") continue;
        WriteFileBytes(to, ReadFileBytes(from));
    }
}

TInstanceLock::TInstanceLock(const std::string& home) {
    const std::string path = JoinPath(home, ".lock");
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        message_ = "Cannot open the lock file " + path + ": " + std::strerror(errno);
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        std::string holder;
        char buf[32] = {};
        const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
        if (n > 0) holder = Trim(std::string(buf, static_cast<size_t>(n)));
        ::close(fd);
        holder_ = holder;
        message_ = "Tessaly Jobs 98 is already running on " + home +
                   (holder.empty() ? std::string() : " (process " + holder + ")") +
                   "; close it first.";
        return;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) WriteAll(fd, pid);
    fd_ = fd;
}

TInstanceLock::~TInstanceLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock; the file stays for the next one
}

}  // namespace tessaly
