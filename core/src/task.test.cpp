#include "core/task.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

TEST(TimeInterval, TruncatesToNanosecondsAndClampsOutOfRangeValues) {
    EXPECT_EQ(core::timeIntervalNanoseconds(1.5), 1'500'000'000U);
    EXPECT_EQ(core::timeIntervalNanoseconds(0.0), 0U);
    EXPECT_EQ(core::timeIntervalNanoseconds(1e-10), 0U);
    EXPECT_EQ(core::timeIntervalNanoseconds(-0.5e-9), 0U);
    EXPECT_EQ(core::timeIntervalNanoseconds(2.9e-9), 2U);
    // Outside the contract: clamped rather than trapping or wrapping.
    EXPECT_EQ(core::timeIntervalNanoseconds(-1e-9), 0U);
    EXPECT_EQ(core::timeIntervalNanoseconds(-5.0), 0U);
    EXPECT_EQ(core::timeIntervalNanoseconds(std::nan("")), 0U);
    EXPECT_EQ(core::timeIntervalNanoseconds(1e20), UINT64_MAX);
    EXPECT_EQ(core::timeIntervalNanoseconds(std::numeric_limits<double>::infinity()), UINT64_MAX);
}

// Tasks on the process-wide pool may outlive a test that gives up on them: they hold what they
// touch, and every wait for them is bounded.
constexpr auto kPatience = 10s;

TEST(Task, DeliversTheOperationsValueOrError) {
    auto answer = core::startTask([] { return std::string("forty-two"); });
    ASSERT_TRUE(answer.waitFor(kPatience));
    EXPECT_EQ(answer.value(), "forty-two");
    EXPECT_TRUE(answer.isFinished());
    EXPECT_EQ(answer.error(), nullptr);

    auto failing = core::startTask([]() -> int { throw std::runtime_error("bad input"); });
    ASSERT_TRUE(failing.waitFor(kPatience));
    EXPECT_THROW(failing.value(), std::runtime_error);
    EXPECT_NE(failing.error(), nullptr);

    auto ran = std::make_shared<std::atomic<bool>>(false);
    auto nothing = core::startTask([ran] { *ran = true; });
    ASSERT_TRUE(nothing.waitFor(kPatience));
    nothing.value();
    EXPECT_TRUE(*ran);
}

TEST(Task, CancellingASleepingTaskEndsTheSleepPromptlyWithoutError) {
    auto started = std::make_shared<std::atomic<bool>>(false);
    const auto begin = std::chrono::steady_clock::now();
    auto sleeper = core::startTask([started] {
        *started = true;
        core::this_task::sleep(10.0);
        return core::this_task::isCancelled();
    });
    while (!*started && std::chrono::steady_clock::now() - begin < kPatience) {
        std::this_thread::yield();
    }
    sleeper.cancel();
    ASSERT_TRUE(sleeper.waitFor(kPatience));
    EXPECT_TRUE(sleeper.value()); // returned normally, and saw the cancellation itself
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_TRUE(sleeper.isCancelled());

    auto checked = core::startTask([] {
        core::this_task::sleep(10.0);
        core::this_task::checkCancellation();
    });
    checked.cancel();
    ASSERT_TRUE(checked.waitFor(kPatience));
    EXPECT_THROW(checked.value(), core::CancellationError);
}

TEST(Task, SleepOutsideATaskJustWaits) {
    const auto begin = std::chrono::steady_clock::now();
    core::this_task::sleep(0.01);
    core::this_task::sleep(std::nan(""));
    core::this_task::sleep(-3.0);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 10ms);
    EXPECT_FALSE(core::this_task::isCancelled());
}

TEST(Delayed, RunsTheOperationAfterTheDelayOnTheExecutorsClock) {
    auto loop = std::make_shared<core::ManualRunLoop>();
    std::atomic<int> runs{0};
    auto task = core::delayed(
        1.5, std::nullopt,
        [&] {
            ++runs;
            return 7;
        },
        loop);
    loop->advance(1499ms);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(task.isFinished());
    loop->advance(1ms);
    EXPECT_EQ(runs, 1);
    ASSERT_TRUE(task.isFinished());
    EXPECT_EQ(task.value(), 7);
    EXPECT_EQ(task.priority(), core::TaskPriority::medium);
}

TEST(Delayed, CancellingDuringTheDelayFailsTheTaskAndNeverRunsTheOperation) {
    auto loop = std::make_shared<core::ManualRunLoop>();
    std::atomic<bool> ran{false};
    auto task = core::delayed(
        10.0, core::TaskPriority::high, [&] { ran = true; }, loop);
    loop->advance(5s);
    task.cancel();
    ASSERT_TRUE(task.isFinished()); // at once, not at the end of the delay
    EXPECT_THROW(task.value(), core::CancellationError);
    loop->advance(10s);
    EXPECT_FALSE(ran);
    EXPECT_EQ(task.priority(), core::TaskPriority::high);

    // The same on the real pool: the caller does not wait out the delay.
    const auto begin = std::chrono::steady_clock::now();
    auto pooled = core::delayed(10.0, std::nullopt, [&] { ran = true; });
    pooled.cancel();
    ASSERT_TRUE(pooled.waitFor(kPatience));
    EXPECT_THROW(pooled.value(), core::CancellationError);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_FALSE(ran);
}

TEST(Delayed, PassesTheOperationsFailureUnchangedAndInheritsPriority) {
    auto failing = core::delayed(0.0, std::nullopt,
                                 []() -> int { throw std::invalid_argument("no such member"); });
    ASSERT_TRUE(failing.waitFor(kPatience));
    EXPECT_THROW(failing.value(), std::invalid_argument);

    auto outer = core::startTask(
        [] { return core::delayed(0.001, std::nullopt, [] { return 1; }).priority(); },
        core::TaskPriority::background);
    ASSERT_TRUE(outer.waitFor(kPatience));
    EXPECT_EQ(outer.value(), core::TaskPriority::background);
}

TEST(Task, WaitingTasksCannotStarveTheirPool) {
    // One worker: the outer task waits for an inner one queued behind it, and both sleep.
    auto pool = std::make_shared<core::ThreadPool>(1);
    // Held weakly: a worker that dropped the last reference would have to join itself.
    auto outer = core::startTask(
        [weakPool = std::weak_ptr<core::ThreadPool>(pool)] {
            auto inner = core::startTask(
                [] {
                    core::this_task::sleep(0.005);
                    return 2;
                },
                std::nullopt, weakPool.lock());
            core::this_task::sleep(0.005);
            return inner.value() * 10;
        },
        std::nullopt, pool);
    ASSERT_TRUE(outer.waitFor(kPatience));
    EXPECT_EQ(outer.value(), 20);
    // The stand-ins retire once the waits are over.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (pool->threadCount() > 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(pool->threadCount(), 1U);
}

TEST(Task, CompletionHandlersRunOnTheirExecutor) {
    auto loop = std::make_shared<core::ManualRunLoop>();
    auto task = core::startTask([] { return 3; });
    int seen = 0;
    task.onCompletion(loop, [&](const core::Task<int>& done) { seen = done.value(); });
    ASSERT_TRUE(loop->runUntil([&] { return seen != 0; }, kPatience));
    EXPECT_EQ(seen, 3);
    // Added after the end: posted at once.
    task.onCompletion(loop, [&](const core::Task<int>& done) { seen += done.value(); });
    loop->runUntilIdle();
    EXPECT_EQ(seen, 6);
}

// Whether `task` ended with the error of an executor that dropped its job.
template <class T>
bool endedAsDropped(const core::Task<T>& task) {
    if (!task.waitFor(kPatience)) {
        ADD_FAILURE() << "the task has not ended";
        return false;
    }
    try {
        task.value();
    } catch (const core::ExecutorError& error) {
        return error.code() == core::ExecutorError::Code::droppedJob;
    } catch (...) {
    }
    return false;
}

// Whether posting to `pool` now drops the job at once: its stop has begun.
bool dropsPosts(core::Executor& pool) {
    auto probe = std::make_shared<int>(0);
    pool.post([probe] { ++*probe; });
    return probe.use_count() == 1;
}

TEST(Task, ATaskWhoseJobAStoppedPoolDropsEndsWithAnError) {
    std::atomic<bool> ran{false};
    const auto pool = std::make_shared<core::ThreadPool>(1);
    pool->stop();
    auto loop = std::make_shared<core::ManualRunLoop>();

    const auto started = core::startTask([&ran] { ran = true; }, std::nullopt, pool);
    EXPECT_TRUE(endedAsDropped(started));
    bool handled = false;
    started.onCompletion(
        loop, [&handled](const core::Task<void>& done) { handled = done.error() != nullptr; });
    ASSERT_TRUE(loop->runUntil([&handled] { return handled; }, kPatience));

    EXPECT_TRUE(endedAsDropped(core::delayed(
        0.0, std::nullopt, [&ran] { ran = true; }, pool)));
    EXPECT_FALSE(ran);
}

TEST(Task, ATaskQueuedWhenItsPoolStopsEnds) {
    std::atomic<bool> ran{false};
    std::promise<void> busy;
    std::future<void> stopping;
    auto loop = std::make_shared<core::ManualRunLoop>();
    const auto pool = std::make_shared<core::ThreadPool>(1);
    // Declared after the pool, so that a test ending early opens the gate before the pool waits
    // for the job held at it.
    std::promise<void> release;
    pool->post([&busy, gate = release.get_future().share()] {
        busy.set_value();
        gate.wait();
    });
    ASSERT_EQ(busy.get_future().wait_for(kPatience), std::future_status::ready);
    const auto queued = core::startTask([&ran] { ran = true; }, std::nullopt, pool);
    const auto waiting = core::delayed(
        3600.0, std::nullopt, [&ran] { ran = true; }, pool);
    const auto ready = core::delayed(
        0.0, std::nullopt, [&ran] { ran = true; }, pool);
    std::atomic<int> handled{0};
    for (const auto* task : {&queued, &waiting, &ready}) {
        task->onCompletion(loop, [&handled](const core::Task<void>&) { ++handled; });
    }

    stopping = std::async(std::launch::async, [&pool] { pool->stop(); });
    EXPECT_TRUE(endedAsDropped(queued));
    EXPECT_TRUE(endedAsDropped(waiting));
    EXPECT_TRUE(endedAsDropped(ready));
    EXPECT_TRUE(loop->runUntil([&handled] { return handled == 3; }, kPatience));
    release.set_value();
    EXPECT_EQ(stopping.wait_for(kPatience), std::future_status::ready);
    EXPECT_FALSE(ran);
}

TEST(Task, AJobWaitingForATaskItStartsAfterTheStopBeganDoesNotHoldTheStop) {
    std::promise<bool> endedInTime;
    auto outcome = endedInTime.get_future();
    std::promise<void> running;
    const auto pool = std::make_shared<core::ThreadPool>(1);
    pool->post([&] {
        running.set_value();
        const auto giveUp = std::chrono::steady_clock::now() + kPatience;
        while (!dropsPosts(*pool) && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(1ms);
        }
        // Bounded, so that a pool that never ends the task fails the test instead of hanging it.
        const auto late = core::startTask([] { return 1; }, std::nullopt, pool);
        endedInTime.set_value(late.waitFor(kPatience));
    });
    ASSERT_EQ(running.get_future().wait_for(kPatience), std::future_status::ready);
    auto stopping = std::async(std::launch::async, [&pool] { pool->stop(); });
    ASSERT_EQ(outcome.wait_for(20s), std::future_status::ready);
    EXPECT_TRUE(outcome.get());
    EXPECT_EQ(stopping.wait_for(kPatience), std::future_status::ready);
}

// A run loop destroyed with a task's job still queued ends the task too.
TEST(Task, ATaskWhoseRunLoopIsDestroyedEnds) {
    auto loop = std::make_shared<core::ManualRunLoop>();
    const auto task = core::startTask([] { return 1; }, std::nullopt, loop);
    const auto waiting = core::delayed(
        1.0, std::nullopt, [] { return 2; }, loop);
    EXPECT_FALSE(task.isFinished());
    loop.reset();
    EXPECT_TRUE(endedAsDropped(task));
    EXPECT_TRUE(endedAsDropped(waiting));
}

} // namespace
