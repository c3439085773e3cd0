// Thread roles: the task queue both main loops share, and the checks that stop a worker
// from running main-thread code.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/MainLoop.h"
#include "platform/TaskQueue.h"

namespace tessaly {
namespace {

TEST(TaskQueue, OneWakeUpPerBatchAndOrderKeptThroughNestedRuns) {
    TTaskQueue q;
    std::vector<std::string> ran;
    EXPECT_TRUE(q.Push([&] {
        ran.push_back("a");
        // A nested loop inside a task goes on with the tasks after it.
        q.RunPending();
        ran.push_back("a-end");
    }));
    EXPECT_FALSE(q.Push([&] { ran.push_back("b"); }));
    EXPECT_FALSE(q.Push([&] { ran.push_back("c"); }));
    EXPECT_TRUE(q.HasPending());
    q.RunPending();
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c", "a-end"}));
    EXPECT_FALSE(q.HasPending());
    // Taken away, the next task needs a wake-up again.
    EXPECT_TRUE(q.Push([] {}));
}

TEST(TaskQueue, ErrorsStopTheRunOrAreHandedOver) {
    TTaskQueue q;
    int after = 0;
    q.Push([] { throw std::runtime_error("first"); });
    q.Push([&] { ++after; });
    EXPECT_THROW(q.RunPending(), std::runtime_error);
    EXPECT_EQ(after, 0);
    EXPECT_TRUE(q.HasPending());  // still there for the next run
    q.Push([] { throw std::runtime_error("second"); });
    q.Push([&] { ++after; });
    std::vector<std::string> errors;
    q.RunPending([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            errors.push_back(x.what());
        }
    });
    EXPECT_EQ(after, 2);
    EXPECT_EQ(errors, std::vector<std::string>{"second"});
}

TEST(TaskQueue, ClearDropsEverythingAndDestroysTheTasks) {
    TTaskQueue q;
    auto token = std::make_shared<int>(0);
    q.Push([token] {});
    std::thread([&] { q.Push([token] {}); }).join();
    EXPECT_EQ(token.use_count(), 3);
    q.Clear();
    EXPECT_EQ(token.use_count(), 1);
    EXPECT_FALSE(q.HasPending());
}

// A call from a worker ends the program at once and names the entry point.
class ThreadRoleDeathTest : public ::testing::Test {
  protected:
    ThreadRoleDeathTest() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    template <class F>
    static void OnWorker(F f) {
        std::thread(f).join();
    }
};

TEST_F(ThreadRoleDeathTest, LoopAndTimersRefuseWorkers) {
    EXPECT_DEATH(
        {
            TBasicMainLoop loop;
            OnWorker([&] { loop.ProcessMessages(); });
        },
        "ProcessMessages called outside the main thread");
    EXPECT_DEATH(
        {
            TBasicMainLoop loop;
            OnWorker([&] { loop.RunUntil([] { return true; }); });
        },
        "RunUntil called outside the main thread");
    EXPECT_DEATH(
        {
            TBasicMainLoop loop;
            TTimer timer(&loop);
            OnWorker([&] { timer.SetEnabled(true); });
        },
        "TTimer::SetEnabled called outside the main thread");
    // Post and Invoke are the ways in from a worker, and stay open.
    TBasicMainLoop loop;
    int ran = 0;
    OnWorker([&] { loop.Post([&] { ++ran; }); });
    loop.ProcessMessages();
    EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace tessaly
