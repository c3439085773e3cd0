#include "platform/MainLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platform/Clock.h"
#include "platform/TaskQueue.h"

namespace tessaly {

// ---------------------------------------------------------------------------
// Clocks

int64_t TSteadyClock::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TSteadyClock& TSteadyClock::Instance() {
    static TSteadyClock clock;
    return clock;
}

// ---------------------------------------------------------------------------
// TMainLoop

namespace {

std::atomic<TMainLoop*> gCurrent{nullptr};

// Releases a waiting Invoke caller when the posted task is destroyed, whether it ran
// or was dropped with the loop.
struct TInvokeSync {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    bool ran = false;
    std::exception_ptr error;
};

struct TInvokeGuard {
    std::shared_ptr<TInvokeSync> sync;
    explicit TInvokeGuard(std::shared_ptr<TInvokeSync> s) : sync(std::move(s)) {}
    TInvokeGuard(TInvokeGuard&&) = default;
    ~TInvokeGuard() {
        if (!sync) return;
        {
            std::lock_guard<std::mutex> lock(sync->m);
            sync->done = true;
        }
        sync->cv.notify_all();
    }
};

}  // namespace

void TMainLoop::Invoke(TTask task) {
    if (IsMainThread()) {
        task();
        return;
    }
    auto sync = std::make_shared<TInvokeSync>();
    auto guard = std::make_shared<TInvokeGuard>(sync);
    Post([guard, sync, fn = std::move(task)]() mutable {
        try {
            fn();
        } catch (...) {
            sync->error = std::current_exception();
        }
        sync->ran = true;
        // The guard releases the caller once this lambda is destroyed; release now
        // instead, so the worker goes on while the main thread finishes its batch.
        guard.reset();
    });
    guard.reset();
    std::unique_lock<std::mutex> lock(sync->m);
    sync->cv.wait(lock, [&] { return sync->done; });
    if (sync->error) std::rethrow_exception(sync->error);
}

bool TMainLoop::RunUntilFor(const std::function<bool()>& done, int64_t timeoutMs) {
    const int64_t deadline = Clock().NowMs() + timeoutMs;
    RunUntil([&] { return done() || Clock().NowMs() >= deadline; });
    return done();
}

TMainLoop& TMainLoop::Current() {
    TMainLoop* loop = gCurrent.load(std::memory_order_acquire);
    if (loop) return *loop;
    static TBasicMainLoop fallback;
    return fallback;
}

void TMainLoop::SetCurrent(TMainLoop* loop) {
    gCurrent.store(loop, std::memory_order_release);
}

void OffMainThread(const char* what) {
    std::fprintf(stderr, "tessaly: %s called outside the main thread\n", what);
    std::abort();
}

void TMainLoop::FireTimer(TTimer* timer) {
    timer->Fire();
}

// ---------------------------------------------------------------------------
// TTimer

TTimer::TTimer(TMainLoop* loop)
    : loop_(loop ? loop : &TMainLoop::Current()), alive_(std::make_shared<bool>(true)) {}

TTimer::~TTimer() {
    *alive_ = false;
    if (!enabled_) return;
    CheckMainThread(*loop_, "TTimer");
    loop_->StopTimer(this);
}

void TTimer::SetInterval(int ms) {
    CheckMainThread(*loop_, "TTimer::SetInterval");
    if (ms == interval_) return;
    interval_ = ms;
    Restart();
}

void TTimer::SetEnabled(bool on) {
    CheckMainThread(*loop_, "TTimer::SetEnabled");
    if (on == enabled_) return;
    enabled_ = on;
    Restart();
}

void TTimer::Restart() {
    if (enabled_ && interval_ > 0)
        loop_->StartTimer(this, interval_);
    else
        loop_->StopTimer(this);
}

void TTimer::Fire() {
    if (inHandler_ || !enabled_ || !OnTimer) return;
    // The handler may destroy this timer or replace OnTimer; keep what we need alive.
    auto alive = alive_;
    auto handler = OnTimer;
    inHandler_ = true;
    try {
        handler();
    } catch (...) {
        if (*alive) inHandler_ = false;
        throw;
    }
    if (*alive) inHandler_ = false;
}

// ---------------------------------------------------------------------------
// TBasicMainLoop

struct TBasicMainLoop::TState {
    TTaskQueue tasks;
    int wakeFd = -1;

    // Main thread only.
    struct TTimerEntry {
        TTimer* timer;
        int64_t due;
        int interval;
        uint64_t serial;
    };
    std::vector<TTimerEntry> timers;
    uint64_t nextSerial = 1;
    int64_t nextDue = INT64_MAX;

    void RecomputeNextDue() {
        nextDue = INT64_MAX;
        for (const auto& t : timers)
            nextDue = std::min(nextDue, t.due);
    }
};

TBasicMainLoop::TBasicMainLoop(TClock* clock)
    : s_(std::make_unique<TState>()),
      clock_(clock ? clock : &TSteadyClock::Instance()),
      owner_(std::this_thread::get_id()) {
    s_->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (s_->wakeFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

TBasicMainLoop::~TBasicMainLoop() noexcept {
    // Uninstalled without asking Current(), which could create the fallback loop here.
    TMainLoop* self = this;
    gCurrent.compare_exchange_strong(self, nullptr);
    s_->tasks.Clear();
    close(s_->wakeFd);
}

void TBasicMainLoop::Post(TTask task) {
    if (s_->tasks.Push(std::move(task))) {
        const uint64_t one = 1;
        // A full counter still leaves the descriptor readable, which is all we need.
        [[maybe_unused]] ssize_t n = write(s_->wakeFd, &one, sizeof one);
    }
}

void TBasicMainLoop::ProcessMessages() {
    if (!IsMainThread()) OffMainThread("ProcessMessages");
    s_->tasks.RunPending();
    if (!s_->timers.empty()) RunDueTimers();
}

void TBasicMainLoop::RunDueTimers() {
    const int64_t now = clock_->NowMs();
    if (now < s_->nextDue) return;
    // Handlers may start, stop or destroy timers: collect first, then fire each one
    // that is still registered under the same serial.
    std::vector<std::pair<TTimer*, uint64_t>> due;
    for (auto& t : s_->timers) {
        if (t.due <= now) {
            t.due = now + t.interval;
            due.emplace_back(t.timer, t.serial);
        }
    }
    s_->RecomputeNextDue();
    for (const auto& d : due) {
        auto it = std::find_if(s_->timers.begin(), s_->timers.end(), [&](const auto& e) {
            return e.timer == d.first && e.serial == d.second;
        });
        if (it != s_->timers.end()) FireTimer(d.first);
    }
}

void TBasicMainLoop::StartTimer(TTimer* timer, int intervalMs) {
    StopTimer(timer);
    s_->timers.push_back({timer, clock_->NowMs() + intervalMs, intervalMs, s_->nextSerial++});
    s_->RecomputeNextDue();
}

void TBasicMainLoop::StopTimer(TTimer* timer) {
    auto& v = s_->timers;
    v.erase(std::remove_if(v.begin(), v.end(), [&](const auto& e) { return e.timer == timer; }),
            v.end());
    s_->RecomputeNextDue();
}

void TBasicMainLoop::Sleep() {
    int timeout = maxSleepMs_;
    if (!s_->timers.empty()) {
        if (clock_->IsReal()) {
            const int64_t wait = s_->nextDue - clock_->NowMs();
            timeout = static_cast<int>(std::clamp<int64_t>(wait, 0, maxSleepMs_));
        } else {
            timeout = std::min(timeout, 5);
        }
    }
    if (timeout == 0) return;
    pollfd p{s_->wakeFd, POLLIN, 0};
    if (poll(&p, 1, timeout) > 0) {
        uint64_t count;
        [[maybe_unused]] ssize_t n = read(s_->wakeFd, &count, sizeof count);
    }
}

void TBasicMainLoop::RunUntil(const std::function<bool()>& done) {
    if (!IsMainThread()) OffMainThread("RunUntil");
    for (;;) {
        ProcessMessages();
        if (done()) return;
        if (s_->tasks.HasPending()) continue;
        Sleep();
    }
}

}  // namespace tessaly
