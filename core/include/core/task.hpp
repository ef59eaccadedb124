#pragma once

#include "core/error.hpp"
#include "core/executor.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace core {

/// Thrown by a task's value when the task was cancelled before its operation started.
class CancellationError : public Error {
public:
    /// The one case of this error.
    enum class Code { cancelled = 1 };
    /// The cancellation error.
    CancellationError();
};

/// A number of seconds as whole nanoseconds, truncated toward zero. NaN, negative values and
/// values above 1e-9 short of one nanosecond give 0; values of 2^64 ns or more give the largest
/// count (about 584 years).
std::uint64_t timeIntervalNanoseconds(double seconds) noexcept;

namespace detail {

/// What every task shares with the code running inside it: cancellation, priority, completion.
class TaskControl {
public:
    explicit TaskControl(TaskPriority priority, bool finishOnCancel) noexcept
        : m_priority(priority), m_finishOnCancel(finishOnCancel) {}
    virtual ~TaskControl() = default;
    TaskControl(const TaskControl&) = delete;
    TaskControl& operator=(const TaskControl&) = delete;

    void cancel();
    bool isCancelled() const;
    bool isFinished() const;
    TaskPriority priority() const noexcept { return m_priority; }
    /// Waits until `deadline` or cancellation; false when cancelled.
    bool sleepUntil(std::chrono::steady_clock::time_point deadline);
    /// Marks the operation as started; false when the task has already ended.
    bool beginRun();
    void wait() const;
    bool waitFor(Duration timeout) const;
    void addContinuation(std::shared_ptr<Executor> executor, Executor::Job job);
    /// Ends the task with `ExecutorError(droppedJob)` unless it has ended already.
    void abandon() noexcept;

protected:
    /// Stores the outcome under the lock; called once by `finish`.
    virtual void storeLocked(std::exception_ptr error) = 0;
    /// Ends the task with `error` (null: success, value already stored); the first end wins.
    void finish(std::exception_ptr error);

    mutable std::mutex m_mutex;

private:
    mutable std::condition_variable m_changed;
    const TaskPriority m_priority;
    bool m_finishOnCancel;
    bool m_cancelled = false;
    bool m_finished = false;
    std::vector<std::pair<std::shared_ptr<Executor>, Executor::Job>> m_continuations;
};

/// Makes `control` the calling thread's current task for the life of this object.
class CurrentTaskScope {
public:
    explicit CurrentTaskScope(std::shared_ptr<TaskControl> control) noexcept;
    ~CurrentTaskScope();
    CurrentTaskScope(const CurrentTaskScope&) = delete;
    CurrentTaskScope& operator=(const CurrentTaskScope&) = delete;

private:
    std::shared_ptr<TaskControl> m_previous;
};

/// The task running on this thread, if any.
std::shared_ptr<TaskControl> currentTask() noexcept;

/// The priority a new task inherits: the current task's, or medium.
TaskPriority inheritedPriority() noexcept;

template <class T>
class TaskState final : public TaskControl {
public:
    using Slot = std::conditional_t<std::is_void_v<T>, std::monostate, T>;
    using TaskControl::TaskControl;

    template <class F>
    void run(F& operation) {
        if (!beginRun()) {
            return;
        }
        try {
            if constexpr (std::is_void_v<T>) {
                operation();
                setValue(std::monostate{});
            } else {
                setValue(operation());
            }
        } catch (...) {
            finish(std::current_exception());
        }
    }

    void setValue(Slot value) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_value && !m_error) {
                m_value.emplace(std::move(value));
            }
        }
        finish(nullptr);
    }

    Slot value() const {
        wait();
        std::lock_guard lock(m_mutex);
        if (m_error) {
            std::rethrow_exception(m_error);
        }
        return *m_value;
    }

    std::exception_ptr error() const {
        wait();
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    void storeLocked(std::exception_ptr error) override {
        if (error && !m_value) {
            m_error = std::move(error);
        }
    }

    std::optional<Slot> m_value;
    std::exception_ptr m_error;
};

/// The operation of one task, shared by the jobs that are to run it. An executor that destroys
/// it unrun (stopped, or itself destroyed) ends the task with `ExecutorError(droppedJob)`, so that
/// no wait for the task hangs and its completion handlers still run.
template <class T, class F>
class TaskRun {
public:
    TaskRun(std::shared_ptr<TaskState<T>> state, F operation)
        : m_state(std::move(state)), m_operation(std::move(operation)) {}
    ~TaskRun() { m_state->abandon(); }
    TaskRun(const TaskRun&) = delete;
    TaskRun& operator=(const TaskRun&) = delete;

    /// Runs the operation as the calling thread's current task, unless the task has ended.
    void operator()() {
        const CurrentTaskScope scope(m_state);
        m_state->run(m_operation);
    }
    bool isFinished() const { return m_state->isFinished(); }

private:
    std::shared_ptr<TaskState<T>> m_state;
    F m_operation;
};

} // namespace detail

/// A handle to work running on an executor, whose outcome is a value of `T` or an error.
/// Copies share one task; dropping every handle neither cancels nor waits for the work.
template <class T>
class Task {
public:
    /// Asks the task to stop: the code inside sees `this_task::isCancelled()`, its sleeps end, and
    /// a `delayed` task still waiting out its delay ends at once with `CancellationError`.
    void cancel() const { m_state->cancel(); }
    /// Whether `cancel()` has been called.
    bool isCancelled() const { return m_state->isCancelled(); }
    /// Whether the task has its outcome.
    bool isFinished() const { return m_state->isFinished(); }
    /// The task's priority.
    TaskPriority priority() const noexcept { return m_state->priority(); }
    /// Blocks until the outcome is there (never call it on the main loop).
    void wait() const { m_state->wait(); }
    /// Blocks up to `timeout`; returns whether the outcome is there.
    bool waitFor(Duration timeout) const { return m_state->waitFor(timeout); }
    /// Blocks for the outcome: returns the value or rethrows the operation's error (or
    /// `CancellationError`).
    T value() const {
        if constexpr (std::is_void_v<T>) {
            m_state->value();
        } else {
            return m_state->value();
        }
    }
    /// Blocks for the outcome and returns its error, null on success.
    std::exception_ptr error() const { return m_state->error(); }
    /// Posts `handler(task)` to `executor` once the task has its outcome (at once if it has).
    template <class F>
        requires std::invocable<F&, const Task<T>&>
    void onCompletion(std::shared_ptr<Executor> executor, F handler) const {
        m_state->addContinuation(std::move(executor),
                                 [task = *this, handler = std::move(handler)]() mutable {
                                     handler(std::as_const(task));
                                 });
    }

    /// Wraps a task's shared state; tasks are made by `startTask` and `delayed`.
    explicit Task(std::shared_ptr<detail::TaskState<T>> state) : m_state(std::move(state)) {}

private:
    std::shared_ptr<detail::TaskState<T>> m_state;
};

/// Starts `operation` at once as a new task on `executor` (the background pool unless given)
/// with `priority`, or the current task's priority when absent. The operation's return value or
/// exception becomes the task's outcome. When the executor drops the task's job unrun (a stopped
/// pool, a destroyed run loop), the task ends at once with `ExecutorError(droppedJob)`.
template <class F>
auto startTask(F operation, std::optional<TaskPriority> priority = std::nullopt,
               std::shared_ptr<Executor> executor = background())
    -> Task<std::invoke_result_t<F&>> {
    using T = std::invoke_result_t<F&>;
    const TaskPriority resolved = priority.value_or(detail::inheritedPriority());
    auto state = std::make_shared<detail::TaskState<T>>(resolved, false);
    auto run = std::make_shared<detail::TaskRun<T, F>>(state, std::move(operation));
    executor->postPrioritized([run = std::move(run)] { (*run)(); }, resolved);
    return Task<T>(std::move(state));
}

/// Starts a task that waits `seconds` (see `timeIntervalNanoseconds`) on `executor`'s clock, then
/// runs `operation` there. Returns at once. Cancelling during the wait ends the task with
/// `CancellationError` and the operation never runs; no thread is held during the wait. When the
/// executor drops the wait or the operation's job unrun, or is gone when the wait is over, the
/// task ends with `ExecutorError(droppedJob)`.
template <class F>
auto delayed(double seconds, std::optional<TaskPriority> priority, F operation,
             std::shared_ptr<Executor> executor = background()) -> Task<std::invoke_result_t<F&>> {
    using T = std::invoke_result_t<F&>;
    const TaskPriority resolved = priority.value_or(detail::inheritedPriority());
    auto state = std::make_shared<detail::TaskState<T>>(resolved, true);
    auto run = std::make_shared<detail::TaskRun<T, F>>(state, std::move(operation));
    const auto nanoseconds = timeIntervalNanoseconds(seconds);
    const auto delay = nanoseconds > static_cast<std::uint64_t>(Duration::max().count())
                           ? Duration::max()
                           : Duration(static_cast<Duration::rep>(nanoseconds));
    std::weak_ptr<Executor> weakExecutor = executor;
    executor->postAfter(delay, [run = std::move(run), weakExecutor, resolved] {
        if (run->isFinished()) {
            return;
        }
        // The wait is over: the operation starts as a job of its own so the priority counts.
        // Without the executor this job's reference is the last, and letting it go ends the task.
        if (auto target = weakExecutor.lock()) {
            target->postPrioritized([run] { (*run)(); }, resolved);
        }
    });
    return Task<T>(std::move(state));
}

/// Operations on the task running the calling code.
namespace this_task {

/// Waits `seconds` (see `timeIntervalNanoseconds`); returns early, and never throws, when the
/// current task is cancelled. Blocks the calling thread: never call it on the main loop.
void sleep(double seconds) noexcept;

/// Whether the current task has been cancelled (false outside a task).
bool isCancelled() noexcept;

/// Throws `CancellationError` when the current task has been cancelled.
void checkCancellation();

} // namespace this_task

} // namespace core
