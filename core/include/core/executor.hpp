#pragma once

#include "core/error.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace core {

/// A span of time on an executor's clock, in nanoseconds.
using Duration = std::chrono::nanoseconds;

/// How urgently a task wants a thread; higher values run first where an executor orders work.
enum class TaskPriority : std::uint8_t { background = 9, low = 17, medium = 21, high = 25 };

/// Another name for `TaskPriority::low`.
inline constexpr TaskPriority kUtilityPriority = TaskPriority::low;
/// Another name for `TaskPriority::high`.
inline constexpr TaskPriority kUserInitiatedPriority = TaskPriority::high;

/// Failures of the executor layer itself.
class ExecutorError : public Error {
public:
    /// The cases of executor failures: no main loop installed; a task's job destroyed unrun (a
    /// stopped or destroyed executor dropped it).
    enum class Code { noMainLoop = 1, droppedJob = 2 };

    /// An error of case `code` with the given reason text.
    ExecutorError(Code code, std::string message);
    /// The case of this error.
    Code code() const noexcept { return m_code; }

private:
    Code m_code;
};

/// Somewhere jobs run: a thread pool, the main loop, a test's manual run loop.
/// Every operation is safe to call from any thread; a job never runs on the caller's stack.
/// A job that throws is caught and logged by the executor, never passed on.
class Executor {
public:
    /// A unit of work.
    using Job = std::function<void()>;

    virtual ~Executor() = default;

    /// Queues `job` to run as soon as the executor can.
    virtual void post(Job job) = 0;
    /// Queues `job` to run once `delay` has passed on this executor's clock (negative counts as 0).
    virtual void postAfter(Duration delay, Job job) = 0;
    /// Like `post`, with a scheduling priority; executors that do not order work ignore it.
    virtual void postPrioritized(Job job, TaskPriority priority);
    /// True when the calling thread is running one of this executor's jobs.
    virtual bool isCurrent() const = 0;

protected:
    Executor() = default;
    Executor(const Executor&) = default;
    Executor& operator=(const Executor&) = default;
};

/// The process-wide thread pool where background work and unstructured tasks run.
std::shared_ptr<Executor> background();

/// The installed main loop, where view state changes and debounced deliveries run.
/// Throws `ExecutorError(noMainLoop)` when no host has installed one.
std::shared_ptr<Executor> mainLoop();

/// Installs `loop` as the main loop (nullptr removes it) and returns the one it replaces.
std::shared_ptr<Executor> installMainLoop(std::shared_ptr<Executor> loop);

/// Installs a main loop for the life of this object, then puts the previous one back.
class ScopedMainLoop {
public:
    /// Installs `loop` until destruction.
    explicit ScopedMainLoop(std::shared_ptr<Executor> loop);
    ~ScopedMainLoop();
    ScopedMainLoop(const ScopedMainLoop&) = delete;
    ScopedMainLoop& operator=(const ScopedMainLoop&) = delete;

private:
    std::shared_ptr<Executor> m_previous;
};

/// A set of worker threads; ready jobs run highest priority first, then in posting order. While
/// a worker waits inside a `BlockingRegion` (a task's sleep or wait), the pool runs a stand-in
/// worker, so waiting tasks cannot starve the queue or deadlock it.
/// `stop()` ends the pool for good; destruction stops it. The last owner may let go of the pool
/// on one of the pool's own workers (from a job, or as a job's captures are released): that
/// worker ends by itself once it is back from the job, and the others are waited for.
class ThreadPool final : public Executor {
public:
    /// Starts `threads` workers (at least one).
    explicit ThreadPool(std::size_t threads);
    /// Stops the pool (see `stop`).
    ~ThreadPool() override;
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    /// Queues `job`; once the pool is stopped, drops it (destroys it on this thread) instead.
    void post(Job job) override;
    void postAfter(Duration delay, Job job) override;
    void postPrioritized(Job job, TaskPriority priority) override;
    bool isCurrent() const override;

    /// Stops the pool: drops the jobs and timers not begun (destroying them on this thread) and
    /// every job posted from now on, then blocks until every job running on the pool has
    /// returned and its worker has ended, except the job that is calling, when a job of this pool
    /// calls it. Later calls wait the same way. Never call it from two of the pool's jobs at once.
    void stop();

    /// The number of live worker threads, stand-ins included.
    std::size_t threadCount() const;

private:
    friend class BlockingRegion;
    struct Shared;
    // What the workers use, owned by the pool and by each worker: a worker that outlives the pool
    // object (the one that destroyed it) still finds the state it needs to end.
    std::shared_ptr<Shared> m_shared;
};

/// Ends the process-wide pool of `background()` (see `ThreadPool::stop`): jobs not begun are
/// dropped, running ones are waited for, later posts are dropped. Call it once, as the program
/// ends and before `main` returns, so that no background job still runs while the process
/// destroys its statics.
void stopBackground();

/// Marks the calling thread as waiting for the life of this object: on a pool worker the pool
/// starts a stand-in meanwhile. Elsewhere it does nothing.
class BlockingRegion {
public:
    BlockingRegion() noexcept;
    ~BlockingRegion();
    BlockingRegion(const BlockingRegion&) = delete;
    BlockingRegion& operator=(const BlockingRegion&) = delete;

private:
    ThreadPool::Shared* m_pool;
};

/// A run loop driven by hand with a virtual clock, for tests: nothing runs until the test asks,
/// and time moves only when the test advances it, so long delays are tested in microseconds.
/// Jobs may be posted from any thread; they run on the thread that drives the loop.
class ManualRunLoop final : public Executor {
public:
    ManualRunLoop() = default;
    ManualRunLoop(const ManualRunLoop&) = delete;
    ManualRunLoop& operator=(const ManualRunLoop&) = delete;
    ~ManualRunLoop() override = default;

    void post(Job job) override;
    void postAfter(Duration delay, Job job) override;
    bool isCurrent() const override;

    /// The virtual time elapsed since creation.
    Duration now() const;
    /// Runs every job that is due now, including those posted meanwhile; returns how many ran.
    std::size_t runUntilIdle();
    /// Moves the clock forward by `delta`, running each job at its due time in order; returns how
    /// many ran. Jobs due at the same time run in posting order.
    std::size_t advance(Duration delta);
    /// Runs due jobs, waiting up to `realTimeout` of real time for other threads to post more,
    /// until `done()` holds; the virtual clock stays put. Returns whether `done()` held.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds realTimeout);
    /// The number of jobs waiting, due or not.
    std::size_t pendingCount() const;

private:
    bool runOneDue();

    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    Duration m_now{0};
    std::uint64_t m_sequence = 0;
    // Keyed by (due time, sequence) so equal due times keep posting order.
    std::map<std::pair<Duration, std::uint64_t>, Job> m_jobs;
    std::thread::id m_runner;
    std::size_t m_depth = 0;
};

/// A plain main loop for programs without a GUI: `run()` serves jobs on the calling thread,
/// timed by the steady clock, until `stop()`.
class ThreadRunLoop final : public Executor {
public:
    ThreadRunLoop() = default;
    ThreadRunLoop(const ThreadRunLoop&) = delete;
    ThreadRunLoop& operator=(const ThreadRunLoop&) = delete;
    ~ThreadRunLoop() override = default;

    void post(Job job) override;
    void postAfter(Duration delay, Job job) override;
    bool isCurrent() const override;

    /// Serves jobs on the calling thread until `stop()` is called; jobs left queued stay queued.
    void run();
    /// Makes `run()` return after the job it is running, from any thread (also from a job).
    void stop();

private:
    using Clock = std::chrono::steady_clock;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::uint64_t m_sequence = 0;
    std::map<std::pair<Clock::time_point, std::uint64_t>, Job> m_jobs;
    bool m_stopRequested = false;
    std::thread::id m_runner;
};

} // namespace core
