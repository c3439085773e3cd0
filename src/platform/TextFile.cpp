#include "platform/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Paths.h"

namespace tessaly {

namespace {

std::string Reason(int err) {
    return std::strerror(err);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
    throw EFileError(what + " \"" + path + "\": " + Reason(err));
}

}  // namespace

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

namespace {

// Reads a regular file whole. A device, a pipe or a socket is refused before a byte is
// read (/dev/zero would never end, a pipe would wait for a writer): `notRegular` is
// then set, errno is EINVAL.
bool ReadRegularFile(const std::string& path, std::string& out, bool& notRegular) {
    notRegular = false;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        notRegular = true;
        errno = EINVAL;
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    out.clear();
    if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            close(fd);
            errno = err;
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

}  // namespace

bool TryReadFileBytes(const std::string& path, std::string& out) {
    bool notRegular = false;
    return ReadRegularFile(path, out, notRegular);
}

std::string ReadFileBytes(const std::string& path) {
    std::string out;
    bool notRegular = false;
    if (!ReadRegularFile(path, out, notRegular)) {
        if (notRegular)
            throw EFileError("cannot read \"" + path +
                             "\": not a regular file (a device, a pipe or a socket)");
        Fail("cannot read", path, errno);
    }
    return out;
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("cannot create", path, errno);
    if (!WriteAll(fd, bytes)) {
        const int err = errno;
        close(fd);
        Fail("cannot write", path, err);
    }
    if (close(fd) != 0) Fail("cannot write", path, errno);
}

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
    // A unique name beside the target, so the rename stays on one file system; ".tmp."
    // marks it as ours for the clean-up after a kill.
    std::string tmp = path + ".tmp.XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) Fail("cannot create a temporary file for", path, errno);
    struct stat old {};
    // Keep the permissions of the file being replaced (a settings file may be private).
    if (stat(path.c_str(), &old) == 0)
        fchmod(fd, old.st_mode & 07777);
    else
        fchmod(fd, 0644);
    if (!WriteAll(fd, bytes) || fsync(fd) != 0) {
        const int err = errno;
        close(fd);
        unlink(tmp.c_str());
        Fail("cannot write", path, err);
    }
    if (close(fd) != 0) {
        const int err = errno;
        unlink(tmp.c_str());
        Fail("cannot write", path, err);
    }
    if (rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        unlink(tmp.c_str());
        Fail("cannot replace", path, err);
    }
}

TStrings SplitLines(std::string_view text) {
    TStrings lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        size_t end = lf;
        if (end > start && text[end - 1] == '\r') --end;
        lines.emplace_back(text.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

std::string JoinLinesCrLf(const TStrings& lines) {
    size_t total = 0;
    for (const auto& l : lines)
        total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

TStrings ReadTextLines(const std::string& path) {
    return SplitLines(ReadFileBytes(path));
}

void WriteTextLines(const std::string& path, const TStrings& lines) {
    WriteFileAtomic(path, JoinLinesCrLf(lines));
}

}  // namespace tessaly
