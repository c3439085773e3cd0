// The program directory ("home") shared by the GUI and the CLI, and the lock that lets
// one process at a time write it.
#pragma once

#include <string>

namespace tessaly {

// The home directory: `explicitHome` when not empty (the --home option), else
// $TESSALY_HOME, else the executable's directory when it holds id.box, else
// $XDG_DATA_HOME/tessaly-jobs (default ~/.local/share/tessaly-jobs). The result is
// absolute and canonical (symbolic links resolved as far as the path exists).
std::string ResolveHomeDirectory(const std::string& explicitHome);

// `dir` made absolute against the current directory, with its existing part resolved.
std::string CanonicalDirectory(const std::string& dir);

// The directory of the files shipped with the program (id.box, the default definitions):
// $TESSALY_DATA_DIR, else "data" beside the executable, else share/tessaly-jobs of the
// installation, else the files a build staged in its own data/ (id.box and the sources.def
// made from data/sources.plain), else the source tree's data/.
std::string ShippedDataDirectory();

// Creates `home` with its "searches" and "temp" directories and copies every shipped file
// that is missing there (but the company board families, read where they are shipped), so
// a first start has id.box and sources.def. Existing files are never replaced. Throws
// EFileError when the directories cannot be created.
void PrepareHomeDirectory(const std::string& home, const std::string& shippedDir);

// Removes what saves of this program cut short by a kill leave in `home` and its
// "searches" folder: BASE.tmp, BASE.new and BASE.tmp.XXXXXX (six letters or digits)
// beside one of the files the program itself saves (a *.box, sources.def and its .bak and
// .new, velares.idx, velares~N.tbl). Call it only while holding the home's lock; returns the
// number of files removed.
int RemoveStaleSaveTemporaries(const std::string& home);

// An exclusive lock on HOME/.lock held for the life of the object. A second process gets
// no lock and a message naming the process that holds it.
class TInstanceLock {
  public:
    explicit TInstanceLock(const std::string& home);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    bool Acquired() const { return fd_ >= 0; }
    // Why the lock was not acquired, for the user.
    const std::string& Message() const { return message_; }
    // The process id of the holder as the lock file gives it ("" when unknown).
    const std::string& Holder() const { return holder_; }

  private:
    int fd_ = -1;
    std::string message_;
    std::string holder_;
};

}  // namespace tessaly
