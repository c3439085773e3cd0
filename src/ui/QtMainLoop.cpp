#include "ui/QtMainLoop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <iostream>
#include <unordered_map>
#include <utility>

#include "platform/Clock.h"
#include "platform/TaskQueue.h"

namespace tessaly::ui {

namespace {

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Lives on the main thread and drains the posted queue when the wake-up event arrives.
class TReceiver final : public QObject {
  public:
    explicit TReceiver(std::function<void()> drain) : drain_(std::move(drain)) {}
    bool event(QEvent* e) override {
        if (e->type() != kWakeEvent) return QObject::event(e);
        drain_();
        return true;
    }

  private:
    std::function<void()> drain_;
};

}  // namespace

struct TQtMainLoop::TState {
    TTaskQueue tasks;

    // Main thread only.
    std::unique_ptr<TReceiver> receiver;
    std::unordered_map<TTimer*, QTimer*> timers;
};

TQtMainLoop::TQtMainLoop() : s_(std::make_unique<TState>()), owner_(std::this_thread::get_id()) {
    s_->receiver = std::make_unique<TReceiver>([this] { RunPosted(); });
    TMainLoop::SetCurrent(this);
}

TQtMainLoop::~TQtMainLoop() {
    if (&TMainLoop::Current() == this) TMainLoop::SetCurrent(nullptr);
    for (auto& [timer, qt] : s_->timers)
        delete qt;
    s_->timers.clear();
    s_->tasks.Clear();
}

TClock& TQtMainLoop::Clock() {
    // Qt's timers run on real time, so the loop's clock is the real one too.
    return TSteadyClock::Instance();
}

void TQtMainLoop::Post(TTask task) {
    // postEvent is thread-safe; one wake-up per batch keeps Qt's queue short.
    if (s_->tasks.Push(std::move(task)))
        QCoreApplication::postEvent(s_->receiver.get(), new QEvent(kWakeEvent));
}

void TQtMainLoop::RunPosted() {
    s_->tasks.RunPending(
        [this](std::exception_ptr error) { Report("TMainLoop", std::move(error)); });
}

void TQtMainLoop::ProcessMessages() {
    if (!IsMainThread()) OffMainThread("ProcessMessages");
    RunPosted();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TQtMainLoop::RunUntil(const std::function<bool()>& done) {
    if (!IsMainThread()) OffMainThread("RunUntil");
    // The wake timer bounds every wait, so a condition set by another thread is seen.
    QTimer wake;
    wake.setInterval(maxSleepMs_);
    wake.start();
    QEventLoop loop;
    for (;;) {
        RunPosted();
        if (done()) return;
        loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (done()) return;
    }
}

void TQtMainLoop::StartTimer(TTimer* timer, int intervalMs) {
    QTimer*& qt = s_->timers[timer];
    if (!qt) {
        qt = new QTimer;
        qt->setTimerType(Qt::PreciseTimer);
        QObject::connect(qt, &QTimer::timeout, [this, timer] {
            try {
                FireTimer(timer);
            } catch (...) {
                Report("TTimer", std::current_exception());
            }
        });
    }
    qt->start(intervalMs);
}

void TQtMainLoop::StopTimer(TTimer* timer) {
    auto it = s_->timers.find(timer);
    if (it == s_->timers.end()) return;
    QTimer* qt = it->second;
    s_->timers.erase(it);
    qt->stop();
    // The timer may be stopped from inside its own timeout signal.
    qt->deleteLater();
}

void TQtMainLoop::Report(const std::string& sender, std::exception_ptr error) {
    if (OnError) {
        OnError(sender, std::move(error));
        return;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::cerr << "tessaly-jobs: unexpected error in " << sender << ": " << e.what() << "\n";
    } catch (...) {
        std::cerr << "tessaly-jobs: unexpected error in " << sender << "\n";
    }
}

}  // namespace tessaly::ui
