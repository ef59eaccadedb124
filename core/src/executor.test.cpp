#include "core/executor.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
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

// The pool tests keep one order of locals so that no job outlives the test's frame, however the
// test ends: first what the jobs write into, then the pool, then what they wait at (promises whose
// futures they hold). A test that ends early breaks those promises first, which lets the waiting
// jobs go on; then the pool, as it goes, waits for its running jobs while what they write into is
// still there. Every wait is bounded, so that a fault fails the test instead of hanging the binary.
constexpr auto kPatience = 10s;

bool ready(const std::future<void>& future) {
    return future.wait_for(kPatience) == std::future_status::ready;
}

TEST(ThreadPool, RunsHigherPriorityFirstAndFifoWithinAPriority) {
    std::mutex mutex;
    std::vector<int> order;
    std::promise<void> done;
    core::ThreadPool pool(1);
    std::promise<void> release;
    const std::shared_future<void> gate = release.get_future().share();
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
    pool.postPrioritized([&] { done.set_value(); }, core::TaskPriority::background);
    release.set_value();
    ASSERT_TRUE(ready(done.get_future()));
    EXPECT_EQ(order, (std::vector<int>{2, 4, 3, 1}));
}

TEST(ThreadPool, TimersFireNoEarlierThanAskedAndIsCurrentHolds) {
    std::promise<std::pair<std::chrono::steady_clock::duration, bool>> fired;
    std::promise<void> survived;
    auto pool = std::make_shared<core::ThreadPool>(2);
    const auto start = std::chrono::steady_clock::now();
    pool->postAfter(20ms, [&fired, raw = pool.get(), start] {
        fired.set_value({std::chrono::steady_clock::now() - start, raw->isCurrent()});
    });
    auto firing = fired.get_future();
    ASSERT_EQ(firing.wait_for(kPatience), std::future_status::ready);
    const auto [elapsed, current] = firing.get();
    EXPECT_GE(elapsed, 20ms);
    EXPECT_TRUE(current);
    EXPECT_FALSE(pool->isCurrent());
    pool->post([] { throw std::runtime_error("a failing job"); });
    pool->post([&survived] { survived.set_value(); });
    EXPECT_TRUE(ready(survived.get_future()));
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
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Whether posting to `pool` now drops the job at once: its stop has begun.
bool dropsPosts(core::ThreadPool& pool) {
    auto probe = std::make_shared<int>(0);
    pool.post([probe] { ++*probe; });
    return probe.use_count() == 1;
}

TEST(ThreadPool, StopDropsWhatHasNotBegunAndWaitsForWhatRuns) {
    std::promise<void> started;
    std::atomic<bool> firstEnded{false};
    std::atomic<int> ranAfter{0};
    core::ThreadPool pool(1);
    std::future<void> stopping;
    std::promise<void> release;
    pool.post([&, gate = release.get_future().share()] {
        started.set_value();
        gate.wait();
        firstEnded = true;
    });
    ASSERT_TRUE(ready(started.get_future()));
    pool.post([&] { ++ranAfter; });
    pool.postAfter(1ms, [&] { ++ranAfter; });
    // A job never begun is destroyed, so whoever waits for its promise hears that it never runs.
    std::promise<int> never;
    auto neverRuns = never.get_future();
    pool.post([promise = std::make_shared<std::promise<int>>(std::move(never))] {
        promise->set_value(1);
    });

    stopping = std::async(std::launch::async, [&] { pool.stop(); });
    EXPECT_EQ(stopping.wait_for(50ms), std::future_status::timeout);
    ASSERT_EQ(neverRuns.wait_for(kPatience), std::future_status::ready);
    EXPECT_THROW(neverRuns.get(), std::future_error);
    release.set_value();
    ASSERT_TRUE(ready(stopping));
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

TEST(ThreadPool, EveryStopWaitsForTheRunningJobs) {
    std::promise<void> started;
    std::atomic<bool> jobEnded{false};
    std::promise<bool> endedBeforeSecondReturned;
    auto secondOutcome = endedBeforeSecondReturned.get_future();
    // One worker, so that a job posted before the stop waits in the queue instead of running.
    core::ThreadPool pool(1);
    std::future<void> first;
    std::future<void> second;
    std::promise<void> release;
    pool.post([&, gate = release.get_future().share()] {
        started.set_value();
        gate.wait();
        std::this_thread::sleep_for(5ms);
        jobEnded = true;
    });
    ASSERT_TRUE(ready(started.get_future()));
    first = std::async(std::launch::async, [&pool] { pool.stop(); });
    ASSERT_TRUE(eventually([&pool] { return dropsPosts(pool); }));
    // The first call has taken the workers to join: the second finds none, and still waits.
    second = std::async(std::launch::async, [&] {
        pool.stop();
        endedBeforeSecondReturned.set_value(jobEnded);
    });
    EXPECT_EQ(second.wait_for(50ms), std::future_status::timeout);
    release.set_value();
    ASSERT_EQ(secondOutcome.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(secondOutcome.get());
    EXPECT_TRUE(ready(first));
}

// The fault this guards against is an abort (a worker joining itself), so the rounds run in a
// child process: a regression fails this test alone instead of ending the whole binary.
TEST(ThreadPoolDeathTest, ItsLastOwnerMayLetGoOnOneOfItsWorkers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child's exit codes: 0 when every check held, else the first that failed.
    const auto rounds = []() -> int {
        const std::size_t threadsBefore = threadsOfThisProcess();
        for (int round = 0; round < 50; ++round) {
            std::promise<void> otherEnded;
            std::promise<bool> wasCurrent;
            auto pool = std::make_shared<core::ThreadPool>(3);
            std::promise<void> released;
            const std::shared_future<void> gate = released.get_future().share();
            // Another worker is busy when the pool goes: it still finishes its job.
            pool->post([&otherEnded, gate] {
                gate.wait();
                std::this_thread::sleep_for(2ms);
                otherEnded.set_value();
            });
            // The job holds the only owner once the test lets go: the pool is destroyed on its
            // worker, from the job's body or as its captures go.
            pool->post([&wasCurrent, gate, round, owner = pool]() mutable {
                gate.wait();
                wasCurrent.set_value(owner->isCurrent());
                if (round % 2 == 0) {
                    owner.reset();
                }
            });
            pool.reset();
            released.set_value();
            auto current = wasCurrent.get_future();
            if (current.wait_for(kPatience) != std::future_status::ready || !current.get()) {
                return 2;
            }
            if (!ready(otherEnded.get_future())) {
                return 3;
            }
        }
        // Every worker ends, the ones that destroyed their pool included.
        return eventually([&] { return threadsOfThisProcess() <= threadsBefore; }) ? 0 : 4;
    };
    EXPECT_EXIT(std::_Exit(rounds()), ::testing::ExitedWithCode(0), "");
}

// In a child process too: a stop that joined its own worker would abort.
TEST(ThreadPoolDeathTest, AStopFromOneOfItsJobsWaitsForTheOthers) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child's exit codes: 0 when the other job had ended when the stop returned.
    const auto stopFromAJob = []() -> int {
        std::promise<void> otherStarted;
        std::atomic<bool> otherEnded{false};
        std::promise<bool> endedWhenStopped;
        auto outcome = endedWhenStopped.get_future();
        core::ThreadPool pool(2);
        pool.post([&] {
            otherStarted.set_value();
            std::this_thread::sleep_for(20ms);
            otherEnded = true;
        });
        if (!ready(otherStarted.get_future())) {
            return 2;
        }
        pool.post([&] {
            pool.stop();
            endedWhenStopped.set_value(otherEnded);
        });
        if (outcome.wait_for(kPatience) != std::future_status::ready) {
            return 3;
        }
        return outcome.get() ? 0 : 4;
    };
    EXPECT_EXIT(std::_Exit(stopFromAJob()), ::testing::ExitedWithCode(0), "");
}

// Lets a test have the system refuse new threads, as it does when the process reaches its thread
// limit: this binary's own pthread_create passes each call on to the C library's, unless a refusal
// is in force and its allowance of threads is spent.
std::atomic<int> threadsAllowed{-1}; // below zero: no refusal in force

class RefuseThreadsAfter {
public:
    explicit RefuseThreadsAfter(int allowed) { threadsAllowed = allowed; }
    ~RefuseThreadsAfter() { threadsAllowed = -1; }
    RefuseThreadsAfter(const RefuseThreadsAfter&) = delete;
    RefuseThreadsAfter& operator=(const RefuseThreadsAfter&) = delete;
};

TEST(ThreadPool, AConstructorRefusedAThreadLeavesNoWorkerBehind) {
    const std::size_t threadsBefore = threadsOfThisProcess();
    for (const int started : {0, 1, 3}) {
        SCOPED_TRACE(started);
        {
            const RefuseThreadsAfter refusal(started);
            EXPECT_THROW(core::ThreadPool pool(8), std::system_error);
        }
        EXPECT_TRUE(eventually([&] { return threadsOfThisProcess() <= threadsBefore; }))
            << threadsOfThisProcess() << " threads, " << threadsBefore << " before";
    }
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
            if (!ready(started.get_future())) {
                std::_Exit(5);
            }
            core::background()->postAfter(50ms, [] { std::_Exit(3); });
            core::stopBackground();
            core::background()->post([] { std::_Exit(4); });
            std::this_thread::sleep_for(20ms);
            std::_Exit(ended ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ThreadRunLoop, ServesJobsAndTimersUntilStopped) {
    std::atomic<bool> gaveUp{false};
    core::ThreadRunLoop loop;
    // Ends a run that nothing else ends, so that a fault fails the test instead of hanging it.
    loop.postAfter(kPatience, [&] {
        gaveUp = true;
        loop.stop();
    });
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
    EXPECT_FALSE(gaveUp);
}

TEST(Background, IsOneSharedPool) {
    EXPECT_EQ(core::background(), core::background());
    // Shared with the job, which the process-wide pool may run after the test has given up.
    auto current = std::make_shared<std::promise<bool>>();
    auto answer = current->get_future();
    core::background()->post([current] { current->set_value(core::background()->isCurrent()); });
    ASSERT_EQ(answer.wait_for(kPatience), std::future_status::ready);
    EXPECT_TRUE(answer.get());
}

} // namespace

// Outside the anonymous namespace: it stands in for the C library's function in this binary.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) noexcept {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create next = [] {
        Create found = nullptr;
        void* symbol = dlsym(RTLD_NEXT, "pthread_create");
        static_assert(sizeof(found) == sizeof(symbol));
        std::memcpy(&found, &symbol, sizeof(found));
        return found;
    }();
    int allowed = threadsAllowed.load();
    while (allowed >= 0) {
        if (allowed == 0) {
            return EAGAIN;
        }
        if (threadsAllowed.compare_exchange_weak(allowed, allowed - 1)) {
            break;
        }
    }
    return next(thread, attributes, start, argument);
}
