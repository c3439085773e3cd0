// Time source for the main loop's timers. Tests substitute TTestClock and advance it
// by hand, so timer-driven logic is tested without sleeping.
#pragma once

#include <atomic>
#include <cstdint>

namespace tessaly {

class TClock {
  public:
    virtual ~TClock() = default;
    // Milliseconds on a monotonic scale; only differences matter.
    virtual int64_t NowMs() const = 0;
    // False for a clock that only moves when told to.
    virtual bool IsReal() const { return true; }
};

class TSteadyClock final : public TClock {
  public:
    int64_t NowMs() const override;
    static TSteadyClock& Instance();
};

// Moves only through Advance/Set; safe to read from any thread.
class TTestClock final : public TClock {
  public:
    int64_t NowMs() const override { return now_.load(); }
    bool IsReal() const override { return false; }
    void Advance(int64_t ms) { now_ += ms; }
    void Set(int64_t ms) { now_ = ms; }

  private:
    std::atomic<int64_t> now_{0};
};

}  // namespace tessaly
