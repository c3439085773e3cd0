// The core's main loop on Qt's event loop, so core timers, posted calls and the workers'
// synchronous reports run inside Qt, also while a modal dialog runs its own loop.
//
// Posted tasks go into the task queue shared with the basic loop (TTaskQueue); the first
// task into an empty queue posts a single wake-up event to a receiver object on the main
// thread, which drains the queue in order. Any Qt event loop (the application's, a QDialog::exec, a
// nested QEventLoop) delivers that event, so a worker's Invoke is served wherever the main thread
// waits.
#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/MainLoop.h"

class QTimer;

namespace tessaly::ui {

class TQtMainLoop final : public TMainLoop {
  public:
    // Call on the main thread after the QApplication exists; installs itself as
    // MainLoop() and removes itself again on destruction.
    TQtMainLoop();
    ~TQtMainLoop() override;
    TQtMainLoop(const TQtMainLoop&) = delete;
    TQtMainLoop& operator=(const TQtMainLoop&) = delete;

    void Post(TTask task) override;
    void ProcessMessages() override;
    void RunUntil(const std::function<bool()>& done) override;
    bool IsMainThread() const override { return std::this_thread::get_id() == owner_; }
    TClock& Clock() override;

    // An exception escaping a posted task or a timer handler must not unwind through Qt.
    // It is handed here with the kind of sender ("TTimer" or "TMainLoop"); without a
    // handler it is written to standard error.
    std::function<void(const std::string& sender, std::exception_ptr error)> OnError;

    // Upper bound on one wait of RunUntil, so a predicate that changes without any event
    // (a flag set by another thread) is still seen.
    void SetMaxSleepMs(int ms) { maxSleepMs_ = ms; }

  protected:
    void StartTimer(TTimer* timer, int intervalMs) override;
    void StopTimer(TTimer* timer) override;

  private:
    struct TState;
    friend struct TState;
    void RunPosted();
    void Report(const std::string& sender, std::exception_ptr error);

    std::unique_ptr<TState> s_;
    std::thread::id owner_;
    int maxSleepMs_ = 50;
};

}  // namespace tessaly::ui
