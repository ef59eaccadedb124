#include "core/executor.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

// Counts the threads of this process, to see a worker end.
std::size_t threadsOfThisProcess() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

// Waits up to ten seconds for `done`.
bool eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(ThreadPool, StopDropsWhatHasNotBegunAndWaitsForWhatRuns) {
    core::ThreadPool pool(1);
    std::promise<void> started;
    std::promise<void> release;
    std::atomic<bool> firstEnded{false};
    pool.post([&, gate = release.get_future().share()] {
        started.set_value();
        gate.wait();
        firstEnded = true;
    });
    started.get_future().wait();
    std::atomic<int> ranAfter{0};
    pool.post([&] { ++ranAfter; });
    pool.postAfter(1ms, [&] { ++ranAfter; });
    // A job never begun is destroyed, so whoever waits for its promise hears that it never runs.
    std::promise<int> never;
    auto neverRuns = never.get_future();
    pool.post([promise = std::make_shared<std::promise<int>>(std::move(never))] {
        promise->set_value(1);
    });

    auto stopping = std::async(std::launch::async, [&] { pool.stop(); });
    EXPECT_EQ(stopping.wait_for(50ms), std::future_status::timeout);
    EXPECT_THROW(neverRuns.get(), std::future_error);
    release.set_value();
    ASSERT_EQ(stopping.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(firstEnded);

    // Posts after the stop are dropped at once, on the poster's thread.
    auto captured = std::make_shared<int>(0);
    pool.post([captured] { ++*captured; });
    pool.postAfter(0ms, [captured] { ++*captured; });
    pool.postPrioritized([captured] { ++*captured; }, core::TaskPriority::high);
    EXPECT_EQ(captured.use_count(), 1);
    pool.stop(); // again: nothing left to wait for
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(ranAfter, 0);
    EXPECT_EQ(*captured, 0);
    EXPECT_EQ(pool.threadCount(), 0U);
}

TEST(ThreadPool, ItsLastOwnerMayLetGoOnOneOfItsWorkers) {
    const std::size_t threadsBefore = threadsOfThisProcess();
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        auto pool = std::make_shared<core::ThreadPool>(3);
        std::promise<void> released;
        const std::shared_future<void> gate = released.get_future().share();
        std::promise<void> otherEnded;
        // Another worker is busy when the pool goes: it still finishes its job.
        pool->post([&otherEnded, gate] {
            gate.wait();
            std::this_thread::sleep_for(2ms);
            otherEnded.set_value();
        });
        std::promise<bool> wasCurrent;
        // The job holds the only owner once the test lets go: the pool is destroyed on its worker,
        // from the job's body or as its captures go.
        pool->post([&wasCurrent, gate, round, owner = pool]() mutable {
            gate.wait();
            wasCurrent.set_value(owner->isCurrent());
            if (round % 2 == 0) {
                owner.reset();
            }
        });
        pool.reset();
        released.set_value();
        EXPECT_TRUE(wasCurrent.get_future().get());
        EXPECT_EQ(otherEnded.get_future().wait_for(10s), std::future_status::ready);
    }
    // Every worker ends, the ones that destroyed their pool included.
    EXPECT_TRUE(eventually([&] { return threadsOfThisProcess() <= threadsBefore; }))
        << threadsOfThisProcess() << " threads, " << threadsBefore << " before";
}

TEST(ThreadPool, AStopFromOneOfItsJobsWaitsForTheOthers) {
    core::ThreadPool pool(2);
    std::promise<void> otherStarted;
    std::atomic<bool> otherEnded{false};
    pool.post([&] {
        otherStarted.set_value();
        std::this_thread::sleep_for(20ms);
        otherEnded = true;
    });
    otherStarted.get_future().wait();
    std::promise<bool> endedWhenStopped;
    pool.post([&] {
        pool.stop();
        endedWhenStopped.set_value(otherEnded);
    });
    EXPECT_TRUE(endedWhenStopped.get_future().get());
}

// The process-wide pool ends before the program does: a job still running when `main` is left
// would read statics that `exit` destroys.
TEST(BackgroundDeathTest, StoppingItWaitsForRunningJobsAndDropsTheRest) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::promise<void> started;
            std::atomic<bool> ended{false};
            core::background()->post([&] {
                started.set_value();
                std::this_thread::sleep_for(100ms);
                ended = true;
            });
            started.get_future().wait();
            core::background()->postAfter(50ms, [] { std::_Exit(3); });
            core::stopBackground();
            core::background()->post([] { std::_Exit(4); });
            std::this_thread::sleep_for(20ms);
            std::_Exit(ended ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
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
