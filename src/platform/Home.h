// The home directory (the program directory of the documents) and the lock that lets one
// process at a time write it. The GUI and the command line share both.
#pragma once

#include <sys/types.h>
#include <string>

namespace tessaly {

// The home directory: `explicitHome` (from --home) when given, else $TESSALY_HOME, else
// the executable's directory when it holds id.box, else $XDG_DATA_HOME/tessaly-jobs
// (default ~/.local/share/tessaly-jobs). The last one is created when missing.
// Returns "" and sets `error` when no directory can be had.
std::string ResolveHomeDirectory(const std::string& explicitHome, std::string& error);

// Copies the shipped files (id.box, sources.def) from `dataDir` into `home` where they
// are missing; existing files are never touched. Returns the number copied.
int SeedHomeDirectory(const std::string& home, const std::string& dataDir);

// Where the shipped files are: beside the executable in ../share/tessaly-jobs when
// installed, else `fallback` (the source tree's data/ for a build tree).
std::string ShippedDataDirectory(const std::string& fallback);

// An exclusive lock on "tessaly.lock" in the home directory, held for the life of the
// object. The file holds the holder's process id, so a refused process can say who
// holds it. The lock goes with the process, so a crash never leaves it stale.
class TInstanceLock {
  public:
    explicit TInstanceLock(const std::string& home);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    // The process that holds the lock when this one could not take it; 0 when unknown.
    pid_t HolderPid() const { return holder_; }
    // Why the lock was not taken, in words for the user.
    const std::string& Error() const { return error_; }

  private:
    int fd_ = -1;
    pid_t holder_ = 0;
    std::string error_;
};

}  // namespace tessaly
