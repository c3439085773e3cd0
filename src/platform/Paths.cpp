#include "platform/Paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tessaly {

std::string JoinPath(std::string_view dir, std::string_view name) {
    if (dir.empty()) return std::string(name);
    std::string r(dir);
    if (r.back() != kPathSep) r += kPathSep;
    while (!name.empty() && name.front() == kPathSep)
        name.remove_prefix(1);
    r += name;
    return r;
}

std::string BaseName(std::string_view path) {
    const size_t at = path.rfind(kPathSep);
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

std::string DirName(std::string_view path) {
    const size_t at = path.rfind(kPathSep);
    if (at == std::string_view::npos) return {};
    if (at == 0) return "/";
    return std::string(path.substr(0, at));
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool ForceDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    const std::string parent = DirName(path);
    if (!parent.empty() && parent != path && !ForceDirectories(parent)) return false;
    return mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && DirectoryExists(path));
}

bool DeleteFile(const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* d = opendir(path.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

int64_t FreeDiskSpace(const std::string& path) {
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}

std::string ExecutableDirectory() {
    std::string buf(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return ".";
    buf.resize(static_cast<size_t>(n));
    return DirName(buf);
}

}  // namespace tessaly
