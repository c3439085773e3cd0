#include "platform/MainLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace tessaly {
namespace {

class MainLoopTest : public test::TLoopTest {};

class FakeClockLoopTest : public test::TLoopTest {
  protected:
    FakeClockLoopTest() : TLoopTest(true) {}
};

TEST_F(MainLoopTest, PostedTasksRunInOrderEvenWhenATaskProcessesMessages) {
    std::vector<int> order;
    Loop().Post([&] {
        order.push_back(1);
        Loop().Post([&] { order.push_back(4); });
        Loop().ProcessMessages();  // nested: runs 2, 3 (posted earlier), then 4
        order.push_back(5);
    });
    Loop().Post([&] { order.push_back(2); });
    Loop().Post([&] { order.push_back(3); });
    Loop().ProcessMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(MainLoopTest, ASelfRepostingTaskDoesNotTrapProcessMessages) {
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        Loop().Post(again);
    };
    Loop().Post(again);
    Loop().ProcessMessages();
    EXPECT_EQ(runs, 1);
    Loop().ProcessMessages();
    EXPECT_EQ(runs, 2);
}

TEST_F(MainLoopTest, InvokeFromWorkerRunsOnMainThreadAndBlocks) {
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> workerDone{false};
    std::thread::id ranOn;
    int value = 0;
    std::thread worker([&] {
        MainLoop().Invoke([&] {
            ranOn = std::this_thread::get_id();
            value = 42;
        });
        EXPECT_EQ(value, 42);  // visible to the worker once Invoke returns
        workerDone = true;
    });
    EXPECT_TRUE(WaitFor([&] { return workerDone.load(); }));
    worker.join();
    EXPECT_EQ(ranOn, mainId);
}

TEST_F(MainLoopTest, InvokeReachesAMainThreadSittingInANestedLoop) {
    std::atomic<int> reports{0};
    bool nestedDone = false;
    std::thread worker;
    Loop().Post([&] {
        // A modal wait started from inside a task: worker reports still arrive.
        worker = std::thread([&] {
            for (int i = 0; i < 3; ++i)
                MainLoop().Invoke([&] { ++reports; });
        });
        Loop().RunUntil([&] { return reports == 3; });
        nestedDone = true;
    });
    EXPECT_TRUE(WaitFor([&] { return nestedDone; }));
    worker.join();
    EXPECT_EQ(reports, 3);
}

TEST_F(MainLoopTest, InvokeOnMainThreadRunsAtOnce) {
    bool ran = false;
    Loop().Invoke([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST_F(MainLoopTest, InvokeRethrowsTheTasksExceptionInTheWorker) {
    std::atomic<bool> caught{false};
    std::thread worker([&] {
        try {
            MainLoop().Invoke([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error& e) {
            caught = std::string(e.what()) == "boom";
        }
    });
    EXPECT_TRUE(WaitFor([&] { return caught.load(); }));
    worker.join();
}

TEST(MainLoopLifetime, DestroyingTheLoopReleasesWaitingInvokers) {
    auto loop = std::make_unique<TBasicMainLoop>();
    std::atomic<bool> released{false};
    bool ran = false;
    std::thread worker([&] {
        loop->Invoke([&] { ran = true; });
        released = true;
    });
    // Give the worker time to post; then drop the loop without running anything.
    while (!released) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (loop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            loop.reset();
        }
    }
    worker.join();
    EXPECT_FALSE(ran);
}

TEST_F(FakeClockLoopTest, TimerFiresPerIntervalOnTheTestClock) {
    TTimer timer;
    int fired = 0;
    timer.OnTimer = [&] { ++fired; };
    timer.SetInterval(250);
    timer.SetEnabled(true);
    FakeClock().Advance(249);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 0);
    FakeClock().Advance(1);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 1);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 1);  // not again until another interval has passed
    FakeClock().Advance(1000);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 2);  // late expiries do not pile up
    timer.SetEnabled(false);
    FakeClock().Advance(1000);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 2);
}

TEST_F(FakeClockLoopTest, ChangingTheIntervalRestartsTheCountdown) {
    TTimer timer;
    int fired = 0;
    timer.OnTimer = [&] { ++fired; };
    timer.SetInterval(500);
    timer.SetEnabled(true);
    FakeClock().Advance(400);
    timer.SetInterval(250);
    FakeClock().Advance(200);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 0);
    FakeClock().Advance(50);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 1);
}

TEST_F(FakeClockLoopTest, HandlerNeverReentersItself) {
    TTimer timer;
    int depth = 0, maxDepth = 0, fired = 0;
    timer.OnTimer = [&] {
        ++fired;
        maxDepth = std::max(maxDepth, ++depth);
        // Processing messages from inside the handler, with the timer due again.
        FakeClock().Advance(100);
        Loop().ProcessMessages();
        FakeClock().Advance(100);
        Loop().ProcessMessages();
        --depth;
    };
    timer.SetInterval(100);
    timer.SetEnabled(true);
    FakeClock().Advance(100);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(maxDepth, 1);
    FakeClock().Advance(100);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 2);  // fires normally once its handler has returned
}

TEST_F(FakeClockLoopTest, OtherTimersRunWhileOneHandlerProcessesMessages) {
    TTimer slow, fast;
    int fastFired = 0;
    slow.OnTimer = [&] {
        FakeClock().Advance(50);
        Loop().ProcessMessages();
    };
    fast.OnTimer = [&] { ++fastFired; };
    slow.SetInterval(100);
    fast.SetInterval(50);
    slow.SetEnabled(true);
    fast.SetEnabled(true);
    FakeClock().Advance(100);
    Loop().ProcessMessages();
    EXPECT_EQ(fastFired, 2);  // once beside slow, once from inside slow's handler
}

TEST_F(FakeClockLoopTest, TimerMayBeDestroyedInsideItsHandler) {
    auto timer = std::make_unique<TTimer>();
    auto other = std::make_unique<TTimer>();
    int otherFired = 0;
    timer->OnTimer = [&] {
        timer.reset();
        other.reset();
    };
    other->OnTimer = [&] { ++otherFired; };
    timer->SetInterval(10);
    other->SetInterval(10);
    timer->SetEnabled(true);
    other->SetEnabled(true);
    FakeClock().Advance(10);
    Loop().ProcessMessages();
    EXPECT_EQ(timer, nullptr);
    EXPECT_EQ(otherFired, 0);  // destroyed before its turn in the same batch
}

TEST_F(FakeClockLoopTest, ZeroIntervalNeverFires) {
    TTimer timer;
    int fired = 0;
    timer.OnTimer = [&] { ++fired; };
    timer.SetInterval(0);
    timer.SetEnabled(true);
    FakeClock().Advance(10000);
    Loop().ProcessMessages();
    EXPECT_EQ(fired, 0);
}

TEST_F(MainLoopTest, RunUntilSleepsUntilATimerOnTheRealClock) {
    TTimer timer;
    int fired = 0;
    timer.OnTimer = [&] { ++fired; };
    timer.SetInterval(30);
    timer.SetEnabled(true);
    EXPECT_TRUE(WaitFor([&] { return fired >= 2; }, 5000));
}

}  // namespace
}  // namespace tessaly
