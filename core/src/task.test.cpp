#include "core/task.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
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

TEST(Task, DeliversTheOperationsValueOrError) {
    auto answer = core::startTask([] { return std::string("forty-two"); });
    EXPECT_EQ(answer.value(), "forty-two");
    EXPECT_TRUE(answer.isFinished());
    EXPECT_EQ(answer.error(), nullptr);

    auto failing = core::startTask([]() -> int { throw std::runtime_error("bad input"); });
    EXPECT_THROW(failing.value(), std::runtime_error);
    EXPECT_NE(failing.error(), nullptr);

    std::atomic<bool> ran{false};
    auto nothing = core::startTask([&] { ran = true; });
    nothing.value();
    EXPECT_TRUE(ran);
}

TEST(Task, CancellingASleepingTaskEndsTheSleepPromptlyWithoutError) {
    std::atomic<bool> started{false};
    const auto begin = std::chrono::steady_clock::now();
    auto sleeper = core::startTask([&] {
        started = true;
        core::this_task::sleep(10.0);
        return core::this_task::isCancelled();
    });
    while (!started) {
        std::this_thread::yield();
    }
    sleeper.cancel();
    EXPECT_TRUE(sleeper.value()); // returned normally, and saw the cancellation itself
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_TRUE(sleeper.isCancelled());

    auto checked = core::startTask([] {
        core::this_task::sleep(10.0);
        core::this_task::checkCancellation();
    });
    checked.cancel();
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
    EXPECT_THROW(pooled.value(), core::CancellationError);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_FALSE(ran);
}

TEST(Delayed, PassesTheOperationsFailureUnchangedAndInheritsPriority) {
    auto failing = core::delayed(0.0, std::nullopt,
                                 []() -> int { throw std::invalid_argument("no such member"); });
    EXPECT_THROW(failing.value(), std::invalid_argument);

    auto outer = core::startTask(
        [] { return core::delayed(0.001, std::nullopt, [] { return 1; }).priority(); },
        core::TaskPriority::background);
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
    ASSERT_TRUE(outer.waitFor(10s));
    EXPECT_EQ(outer.value(), 20);
    // The stand-ins retire once the waits are over.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
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
    ASSERT_TRUE(loop->runUntil([&] { return seen != 0; }, 10s));
    EXPECT_EQ(seen, 3);
    // Added after the end: posted at once.
    task.onCompletion(loop, [&](const core::Task<int>& done) { seen += done.value(); });
    loop->runUntilIdle();
    EXPECT_EQ(seen, 6);
}

} // namespace
