// Clang's thread-safety annotations; empty elsewhere. Build with clang and
// -Wthread-safety to have the lock discipline checked.
#pragma once

#include <mutex>

#if defined(__clang__)
#define TS_ATTR(x) __attribute__((x))
#else
#define TS_ATTR(x)
#endif

#define CAPABILITY(x) TS_ATTR(capability(x))
#define SCOPED_CAPABILITY TS_ATTR(scoped_lockable)
#define GUARDED_BY(x) TS_ATTR(guarded_by(x))
#define PT_GUARDED_BY(x) TS_ATTR(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) TS_ATTR(acquired_before(__VA_ARGS__))
#define REQUIRES(...) TS_ATTR(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) TS_ATTR(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TS_ATTR(release_capability(__VA_ARGS__))
#define EXCLUDES(...) TS_ATTR(locks_excluded(__VA_ARGS__))

namespace tessaly {

// std::mutex with the capability attribute, so GUARDED_BY can name it.
class CAPABILITY("mutex") TMutex {
  public:
    void lock() ACQUIRE() { m_.lock(); }
    void unlock() RELEASE() { m_.unlock(); }
    std::mutex& native() { return m_; }

  private:
    std::mutex m_;
};

class SCOPED_CAPABILITY TLock {
  public:
    explicit TLock(TMutex& m) ACQUIRE(m) : m_(m) { m_.lock(); }
    ~TLock() RELEASE() { m_.unlock(); }
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

  private:
    TMutex& m_;
};

}  // namespace tessaly
