// The one cross-thread entry into a main loop, shared by the basic loop and the GUI's: any
// thread appends a task under a mutex; the main thread swaps the batch out and runs it in
// the order it was posted. The loop that owns the queue only adds how a sleeping main
// thread is woken (an eventfd, a toolkit event).
#pragma once

#include <atomic>
#include <deque>
#include <exception>
#include <functional>
#include <vector>

#include "platform/ThreadAnnotations.h"

namespace tessaly {

class TTaskQueue {
  public:
    using TTask = std::function<void()>;
    using TErrorHandler = std::function<void(std::exception_ptr)>;

    // Any thread. Returns true when nothing was waiting to be taken: the owner then wakes
    // the main thread (once per batch).
    bool Push(TTask task);

    // Main thread. Runs what is pending, in order. A task may call RunPending again (a
    // nested loop); the inner call goes on with the same tasks, so the order always holds.
    // Without `onError` an exception from a task leaves here and the tasks after it stay
    // queued; with it, each error is handed over and the next task runs.
    void RunPending(const TErrorHandler& onError = nullptr);

    // Anything posted or taken but not run yet. Cheap: an atomic load while nothing is
    // posted. Main thread.
    bool HasPending() const;

    // Drops every task not run yet (their destructors release waiting Invoke callers).
    // Never throws: the loops call it from their destructors.
    void Clear() noexcept;

  private:
    mutable TMutex mutex_;
    std::vector<TTask> posted_ GUARDED_BY(mutex_);
    std::atomic<bool> hasPosted_{false};
    std::deque<TTask> ready_;  // main thread only
};

}  // namespace tessaly
