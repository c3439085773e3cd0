// The core's main loop on Qt's event loop: posted tasks, Invoke from workers (also
// while a modal loop runs), timers and nested loops.
#include <QDialog>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/MainLoop.h"
#include "ui/QtMainLoop.h"

using namespace tessaly;
using namespace tessaly::ui;

class QtMainLoopTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { loop_ = std::make_unique<TQtMainLoop>(); }
    void cleanup() { loop_.reset(); }

    void installsItselfAndRemovesItself() {
        QCOMPARE(&TMainLoop::Current(), static_cast<TMainLoop*>(loop_.get()));
        loop_.reset();
        QVERIFY(&TMainLoop::Current() != nullptr);
        QVERIFY(TMainLoop::Current().IsMainThread());
    }

    void postedTasksRunInOrderFromAnyThread() {
        std::vector<int> seen;
        loop_->Post([&] { seen.push_back(1); });
        std::thread worker([&] {
            for (int i = 2; i <= 50; ++i)
                loop_->Post([&seen, i] { seen.push_back(i); });
        });
        worker.join();
        loop_->ProcessMessages();
        QCOMPARE(static_cast<int>(seen.size()), 50);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(seen[static_cast<size_t>(i)], i + 1);
    }

    void qtsOwnLoopRunsPostedTasks() {
        // The application's loop, not ProcessMessages, drains the queue.
        bool ran = false;
        loop_->Post([&] { ran = true; });
        QTRY_VERIFY_WITH_TIMEOUT(ran, 5000);
    }

    void invokeFromWorkerWaitsForTheMainThreadAndRethrows() {
        std::atomic<bool> done{false};
        int value = 0;
        std::string error;
        std::thread worker([&] {
            loop_->Invoke([&] {
                QVERIFY(loop_->IsMainThread());
                value = 42;
            });
            try {
                loop_->Invoke([] { throw std::runtime_error("boom"); });
            } catch (const std::exception& e) {
                error = e.what();
            }
            done = true;
        });
        loop_->RunUntil([&] { return done.load(); });
        worker.join();
        QCOMPARE(value, 42);
        QCOMPARE(error, std::string("boom"));
    }

    void invokeIsServedInsideAModalDialog() {
        // A worker's synchronous report must not wait for the dialog to close.
        QDialog dialog;
        std::atomic<bool> reported{false};
        std::thread worker;
        QTimer::singleShot(0, &dialog, [&] {
            worker = std::thread([&] {
                loop_->Invoke([&] { reported = true; });
                loop_->Post([&] { dialog.accept(); });
            });
        });
        dialog.exec();
        worker.join();
        QVERIFY(reported);
    }

    void invokeOnTheMainThreadRunsAtOnce() {
        bool ran = false;
        loop_->Invoke([&] { ran = true; });
        QVERIFY(ran);
    }

    void timersFireAndStop() {
        TTimer timer(loop_.get());
        int fired = 0;
        timer.OnTimer = [&] {
            if (++fired == 3) timer.SetEnabled(false);
        };
        timer.SetInterval(5);
        timer.SetEnabled(true);
        loop_->RunUntil([&] { return fired >= 3; });
        QCOMPARE(fired, 3);
        QVERIFY(!timer.Enabled());
        // Stopped: nothing more arrives.
        loop_->RunUntilFor([] { return false; }, 60);
        QCOMPARE(fired, 3);
    }

    void aTimerMayDestroyItselfInItsHandler() {
        auto* timer = new TTimer(loop_.get());
        bool fired = false;
        timer->OnTimer = [&] {
            fired = true;
            delete timer;
        };
        timer->SetInterval(1);
        timer->SetEnabled(true);
        loop_->RunUntil([&] { return fired; });
        QVERIFY(fired);
        loop_->RunUntilFor([] { return false; }, 30);  // no dangling QTimer fires
    }

    void aHandlerInANestedLoopIsNotReentered() {
        TTimer timer(loop_.get());
        int depth = 0, maxDepth = 0, calls = 0;
        timer.OnTimer = [&] {
            ++calls;
            maxDepth = std::max(maxDepth, ++depth);
            if (calls == 1) loop_->RunUntilFor([] { return false; }, 50);
            --depth;
        };
        timer.SetInterval(2);
        timer.SetEnabled(true);
        loop_->RunUntil([&] { return calls >= 2; });
        QCOMPARE(maxDepth, 1);
    }

    void runUntilSeesAFlagSetByAnotherThread() {
        std::atomic<bool> flag{false};
        std::thread worker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            flag = true;
        });
        loop_->RunUntil([&] { return flag.load(); });
        worker.join();
        QVERIFY(flag);
    }

    void errorsOfTasksAndTimersGoToTheHandler() {
        std::vector<std::string> senders;
        loop_->OnError = [&](const std::string& sender, std::exception_ptr) {
            senders.push_back(sender);
        };
        bool after = false;
        loop_->Post([] { throw std::runtime_error("task"); });
        loop_->Post([&] { after = true; });
        loop_->ProcessMessages();
        QVERIFY(after);  // one failing task does not drop the rest
        TTimer timer(loop_.get());
        timer.OnTimer = [&] {
            timer.SetEnabled(false);
            throw std::runtime_error("timer");
        };
        timer.SetInterval(1);
        timer.SetEnabled(true);
        loop_->RunUntil([&] { return senders.size() >= 2; });
        QCOMPARE(senders, (std::vector<std::string>{"TMainLoop", "TTimer"}));
    }

  private:
    std::unique_ptr<TQtMainLoop> loop_;
};

QTEST_MAIN(QtMainLoopTest)
#include "QtMainLoopTest.moc"
