#include "core/executor.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

TEST(ManualRunLoop, RunsJobsAtTheirVirtualTimeInOrder) {
    core::ManualRunLoop loop;
    std::vector<std::string> ran;
    loop.postAfter(300ms, [&] { ran.push_back("b@300"); });
    loop.postAfter(100ms, [&] { ran.push_back("a@100"); });
    loop.postAfter(300ms, [&] { ran.push_back("c@300"); });
    loop.post([&] {
        ran.push_back("now");
        // Posted from inside a job: runs in the same pass, still at time zero.
        loop.post([&] { ran.push_back("nested"); });
    });
    EXPECT_TRUE(ran.empty()); // nothing runs on the caller's stack
    EXPECT_EQ(loop.runUntilIdle(), 2U);
    EXPECT_EQ(ran, (std::vector<std::string>{"now", "nested"}));

    EXPECT_EQ(loop.advance(299ms), 1U);
    EXPECT_EQ(loop.now(), 299ms);
    EXPECT_EQ(loop.pendingCount(), 2U);
    // A job due at 300 that posts one 50 ms later runs it within the same advance.
    loop.postAfter(1ms, [&] { loop.postAfter(50ms, [&] { ran.push_back("d@350"); }); });
    EXPECT_EQ(loop.advance(1s), 4U);
    EXPECT_EQ(ran, (std::vector<std::string>{"now", "nested", "a@100", "b@300", "c@300", "d@350"}));
    EXPECT_EQ(loop.now(), 1299ms);
}

TEST(ManualRunLoop, IsCurrentOnlyInsideItsJobsAndSurvivesThrowingJobs) {
    core::ManualRunLoop loop;
    bool inside = false;
    loop.post([] { throw std::runtime_error("boom"); });
    loop.post([&] { inside = loop.isCurrent(); });
    EXPECT_EQ(loop.runUntilIdle(), 2U);
    EXPECT_TRUE(inside);
    EXPECT_FALSE(loop.isCurrent());
}

TEST(ManualRunLoop, RunUntilWaitsForJobsPostedByOtherThreads) {
    core::ManualRunLoop loop;
    std::atomic<int> count{0};
    std::thread poster([&] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(1ms);
            loop.post([&] { ++count; });
        }
    });
    EXPECT_TRUE(loop.runUntil([&] { return count == 5; }, 10s));
    poster.join();
    EXPECT_FALSE(loop.runUntil([] { return false; }, 1ms));
    EXPECT_EQ(loop.now(), 0ms);
}

TEST(ManualRunLoop, HugeDelaysSaturateInsteadOfWrapping) {
    core::ManualRunLoop loop;
    bool ran = false;
    loop.advance(1s);
    loop.postAfter(core::Duration::max(), [&] { ran = true; });
    loop.advance(24h);
    EXPECT_FALSE(ran);
    loop.postAfter(-5s, [&] { ran = true; }); // negative counts as now
    loop.runUntilIdle();
    EXPECT_TRUE(ran);
}

TEST(MainLoop, MustBeInstalledAndScopesRestoreThePrevious) {
    EXPECT_THROW(core::mainLoop(), core::ExecutorError);
    auto outer = std::make_shared<core::ManualRunLoop>();
    {
        core::ScopedMainLoop scopeOuter(outer);
        EXPECT_EQ(core::mainLoop(), outer);
        auto inner = std::make_shared<core::ManualRunLoop>();
        {
            core::ScopedMainLoop scopeInner(inner);
            EXPECT_EQ(core::mainLoop(), inner);
        }
        EXPECT_EQ(core::mainLoop(), outer);
    }
    EXPECT_THROW(core::mainLoop(), core::ExecutorError);
}

TEST(ThreadPool, RunsHigherPriorityFirstAndFifoWithinAPriority) {
    core::ThreadPool pool(1);
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::mutex mutex;
    std::vector<int> order;
    pool.post([gate] { gate.wait(); }); // keeps the only worker busy while the queue fills
    const auto record = [&](int id) {
        return [&, id] {
            std::lock_guard lock(mutex);
            order.push_back(id);
        };
    };
    pool.postPrioritized(record(1), core::TaskPriority::background);
    pool.postPrioritized(record(2), core::TaskPriority::high);
    pool.postPrioritized(record(3), core::TaskPriority::medium);
    pool.postPrioritized(record(4), core::TaskPriority::high);
    std::promise<void> done;
    pool.postPrioritized([&] { done.set_value(); }, core::TaskPriority::background);
    release.set_value();
    done.get_future().wait();
    EXPECT_EQ(order, (std::vector<int>{2, 4, 3, 1}));
}

TEST(ThreadPool, TimersFireNoEarlierThanAskedAndIsCurrentHolds) {
    auto pool = std::make_shared<core::ThreadPool>(2);
    const auto start = std::chrono::steady_clock::now();
    std::promise<std::pair<std::chrono::steady_clock::duration, bool>> fired;
    pool->postAfter(20ms, [&] {
        fired.set_value({std::chrono::steady_clock::now() - start, pool->isCurrent()});
    });
    const auto [elapsed, current] = fired.get_future().get();
    EXPECT_GE(elapsed, 20ms);
    EXPECT_TRUE(current);
    EXPECT_FALSE(pool->isCurrent());
    std::promise<void> survived;
    pool->post([] { throw std::runtime_error("a failing job"); });
    pool->post([&] { survived.set_value(); });
    EXPECT_EQ(survived.get_future().wait_for(10s), std::future_status::ready);
}

TEST(ThreadRunLoop, ServesJobsAndTimersUntilStopped) {
    core::ThreadRunLoop loop;
    std::vector<int> order;
    loop.postAfter(10ms, [&] {
        order.push_back(3);
        loop.stop();
    });
    loop.post([&] { order.push_back(1); });
    std::thread other([&] { loop.post([&] { order.push_back(2); }); });
    other.join();
    bool currentInside = false;
    loop.post([&] { currentInside = loop.isCurrent(); });
    loop.run();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(currentInside);

    // A stop from another thread ends a loop that is waiting for work.
    std::thread stopper([&] {
        std::this_thread::sleep_for(5ms);
        loop.stop();
    });
    loop.run();
    stopper.join();
}

TEST(Background, IsOneSharedPool) {
    EXPECT_EQ(core::background(), core::background());
    std::promise<bool> current;
    core::background()->post([&] { current.set_value(core::background()->isCurrent()); });
    EXPECT_TRUE(current.get_future().get());
}

} // namespace
