// The main thread's message loop: the one place where program state is touched.
//
// Workers never touch program data; they hand their reports to the main thread with
// Post (fire and forget) or Invoke (run it there and wait). Timers and posted tasks run
// from ProcessMessages. Only the front-ends and the search driver call it: long work in the
// lower layers asks a callback its caller gives instead (KeepGoing.h), and the caller pumps
// there. RunUntil is a nested (modal) loop.
//
// TMainLoop is an interface: TBasicMainLoop serves the command line and the tests; the
// GUI installs an adapter onto its toolkit's event loop. Core code only ever talks to
// MainLoop().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace tessaly {

class TTimer;
class TClock;

class TMainLoop {
  public:
    using TTask = std::function<void()>;

    virtual ~TMainLoop() = default;

    // Queues a task for the main thread; callable from any thread.
    virtual void Post(TTask task) = 0;

    // Runs `task` on the main thread and returns once it has run. On the main thread it
    // runs at once; from a worker it blocks, also while the main thread sits in a nested
    // RunUntil. An exception thrown by the task is rethrown to the caller. If the loop is
    // destroyed before the task could run, the caller is released without it having run.
    virtual void Invoke(TTask task);

    // Runs what is pending now (posted tasks in order, then due timers) and returns.
    // Cheap when nothing is pending. Main thread only (checked, see CheckMainThread); may
    // be called from inside tasks and timer handlers.
    virtual void ProcessMessages() = 0;

    // Nested loop: processes messages, sleeping while there is nothing to do, until
    // `done()` is true. `done` is checked after every batch of messages. Main thread only.
    virtual void RunUntil(const std::function<bool()>& done) = 0;

    // Runs the loop until `done()` or `timeoutMs` (on the loop's clock) has passed.
    // Returns done(). Meant for tests and modal waits with a deadline.
    bool RunUntilFor(const std::function<bool()>& done, int64_t timeoutMs);

    virtual bool IsMainThread() const = 0;
    virtual TClock& Clock() = 0;

    // The loop that core code talks to. Installing nullptr restores the default, a
    // TBasicMainLoop created on first use whose main thread is the thread that first
    // asked for it.
    static TMainLoop& Current();
    static void SetCurrent(TMainLoop* loop);

  protected:
    friend class TTimer;
    // Timer backend: (re)start counting `intervalMs` for `timer`, or stop it.
    virtual void StartTimer(TTimer* timer, int intervalMs) = 0;
    virtual void StopTimer(TTimer* timer) = 0;
    // Called by the backend when a timer is due; runs its handler unless it is running.
    static void FireTimer(TTimer* timer);
};

// Thread roles are checked, not only written down: the main-thread-only entry points
// (ProcessMessages, RunUntil, timers, the HTTP machine) call this. The check stays on in
// release builds on purpose: it costs one thread-id comparison, while a call from the wrong
// thread is a data race on program state that would otherwise show up only as rare,
// unexplained corruption. It ends the program at once, naming the entry point.
[[noreturn]] void OffMainThread(const char* what);
inline void CheckMainThread(const TMainLoop& loop, const char* what) {
    if (!loop.IsMainThread()) OffMainThread(what);
}

inline TMainLoop& MainLoop() {
    return TMainLoop::Current();
}
inline void ProcessMessages() {
    TMainLoop::Current().ProcessMessages();
}

// A window-style timer: fires OnTimer every Interval milliseconds while Enabled, on the
// main thread, from the loop. A handler never re-enters itself: while it runs (for
// example inside a nested loop it started) further expiries of the same timer are
// dropped. Changing Interval or enabling restarts the countdown; both are main-thread only
// (checked). An Interval of 0 or less never fires. The timer may be destroyed inside its
// own handler.
class TTimer {
  public:
    explicit TTimer(TMainLoop* loop = nullptr);
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    int Interval() const { return interval_; }
    void SetInterval(int ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);

    std::function<void()> OnTimer;

  private:
    friend class TMainLoop;
    void Fire();
    void Restart();

    TMainLoop* loop_;
    int interval_ = 1000;
    bool enabled_ = false;
    bool inHandler_ = false;
    std::shared_ptr<bool> alive_;
};

// The loop used by the command line and the tests: the shared task queue (TTaskQueue), an
// eventfd to wake a sleeping RunUntil, and a timer list checked against a clock.
class TBasicMainLoop final : public TMainLoop {
  public:
    // `clock` defaults to the steady clock; it must outlive the loop.
    explicit TBasicMainLoop(TClock* clock = nullptr);
    // Drops what never ran (releasing waiting Invoke callers) and never throws: it runs at
    // exit and while tests unwind.
    ~TBasicMainLoop() noexcept override;
    TBasicMainLoop(const TBasicMainLoop&) = delete;
    TBasicMainLoop& operator=(const TBasicMainLoop&) = delete;

    void Post(TTask task) override;
    void ProcessMessages() override;
    void RunUntil(const std::function<bool()>& done) override;
    bool IsMainThread() const override { return std::this_thread::get_id() == owner_; }
    TClock& Clock() override { return *clock_; }

    // Upper bound on one sleep of RunUntil, so a predicate that changes without any
    // message (a flag set by another thread) is still seen.
    void SetMaxSleepMs(int ms) { maxSleepMs_ = ms; }

  protected:
    void StartTimer(TTimer* timer, int intervalMs) override;
    void StopTimer(TTimer* timer) override;

  private:
    struct TState;
    void RunDueTimers();
    void Sleep();

    std::unique_ptr<TState> s_;
    TClock* clock_;
    std::thread::id owner_;
    int maxSleepMs_ = 100;
};

}  // namespace tessaly
