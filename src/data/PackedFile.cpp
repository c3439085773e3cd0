#include "data/PackedFile.h"

#include <ctime>

#include "data/Packer.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/TextFile.h"

namespace tessaly {

namespace {

TSaveFaultHook& FaultHook() {
    static TSaveFaultHook hook;
    return hook;
}

int Fault(TSaveStep step, const std::string& file) {
    return FaultHook() ? FaultHook()(step, file) : 0;
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
    throw EFileError(what + " \"" + path + "\": " + std::strerror(err));
}

// Writes the whole text to `path` (created or truncated) and syncs it; removes the file
// again on any failure.
void WriteTemp(const std::string& path, std::string_view text, mode_t mode) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) Fail("cannot create", path, errno);
    fchmod(fd, mode);
    int err = Fault(TSaveStep::WriteTemp, path);
    bool ok;
    if (err != 0) {
        WriteAll(fd, text.substr(0, text.size() / 2));
        ok = false;
    } else {
        ok = WriteAll(fd, text) && fsync(fd) == 0;
        if (!ok) err = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(path.c_str());
        Fail("cannot write", path, err);
    }
}

}  // namespace

void SetSaveFaultHook(TSaveFaultHook hook) {
    FaultHook() = std::move(hook);
}

std::string ReadStoredText(const std::string& path) {
    if (auto text = ReadPackedOrPlain(path)) return std::move(*text);
    return ReadFileBytes(path);  // raises the error that names the file
}

void SaveTextSafely(const std::string& target, std::string_view text, bool packed, int forcedMode) {
    // Keep the permissions of the file being replaced (a settings file may be private).
    mode_t mode = 0644;
    struct stat old {};
    if (forcedMode >= 0)
        mode = static_cast<mode_t>(forcedMode) & 07777;
    else if (stat(target.c_str(), &old) == 0)
        mode = old.st_mode & 07777;

    const std::string tmp = target + ".tmp";
    WriteTemp(tmp, text, mode);
    std::string complete = tmp;
    if (packed) {
        const std::string packedName = target + ".new";
        if (const int err = Fault(TSaveStep::Pack, packedName); err != 0) {
            unlink(tmp.c_str());
            Fail("cannot pack", target, err);
        }
        // The member is named after the temporary file, as the program has always
        // stored it; readers take the first member whatever its name.
        const std::string container = BuildContainer(text, BaseName(tmp), TPackMethod::Lh5,
                                                     DosDateTimeFromUnix(std::time(nullptr)), 0x20);
        try {
            WriteTemp(packedName, container, mode);
        } catch (...) {
            unlink(tmp.c_str());
            throw;
        }
        complete = packedName;
    }
    int err = Fault(TSaveStep::Rename, target);
    if (err == 0 && rename(complete.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        unlink(complete.c_str());
        if (complete != tmp) unlink(tmp.c_str());
        Fail("cannot replace", target, err);
    }
    if (complete != tmp) unlink(tmp.c_str());
}

}  // namespace tessaly
