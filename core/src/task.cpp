#include "core/task.hpp"

#include "core/log.hpp"

#include <cmath>
#include <thread>

namespace core {

namespace {

thread_local std::shared_ptr<detail::TaskControl> tCurrentTask;

std::chrono::steady_clock::time_point deadlineAfter(std::uint64_t nanoseconds) {
    using Clock = std::chrono::steady_clock;
    const auto now = Clock::now();
    const auto room =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::time_point::max() - now);
    if (nanoseconds >= static_cast<std::uint64_t>(room.count())) {
        return Clock::time_point::max();
    }
    return now + std::chrono::duration_cast<Clock::duration>(
                     std::chrono::nanoseconds(static_cast<std::int64_t>(nanoseconds)));
}

} // namespace

CancellationError::CancellationError()
    : Error("CancellationError", static_cast<int>(Code::cancelled), "The task was cancelled") {}

std::uint64_t timeIntervalNanoseconds(double seconds) noexcept {
    const double nanoseconds = seconds * 1'000'000'000.0;
    // Out-of-contract values are clamped instead of trapping: callers only pass small constants,
    // and a bad one must neither crash nor sleep forever by accident of wrap-around.
    if (std::isnan(nanoseconds) || nanoseconds < 1.0) {
        return 0;
    }
    constexpr double kTwoTo64 = 18446744073709551616.0;
    if (nanoseconds >= kTwoTo64) {
        return UINT64_MAX;
    }
    return static_cast<std::uint64_t>(nanoseconds);
}

namespace detail {

void TaskControl::cancel() {
    bool finishNow = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled) {
            return;
        }
        m_cancelled = true;
        finishNow = m_finishOnCancel && !m_finished;
    }
    m_changed.notify_all();
    if (finishNow) {
        finish(std::make_exception_ptr(CancellationError()));
    }
}

bool TaskControl::isCancelled() const {
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

bool TaskControl::isFinished() const {
    std::lock_guard lock(m_mutex);
    return m_finished;
}

bool TaskControl::sleepUntil(std::chrono::steady_clock::time_point deadline) {
    const BlockingRegion blocking;
    std::unique_lock lock(m_mutex);
    if (deadline == std::chrono::steady_clock::time_point::max()) {
        m_changed.wait(lock, [this] { return m_cancelled; });
        return false;
    }
    return !m_changed.wait_until(lock, deadline, [this] { return m_cancelled; });
}

bool TaskControl::beginRun() {
    std::lock_guard lock(m_mutex);
    if (m_finished) {
        return false;
    }
    m_finishOnCancel = false;
    return true;
}

void TaskControl::wait() const {
    if (isFinished()) {
        return; // no stand-in worker for a wait that will not block
    }
    const BlockingRegion blocking;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_finished; });
}

bool TaskControl::waitFor(Duration timeout) const {
    if (isFinished()) {
        return true;
    }
    const BlockingRegion blocking;
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_finished; });
}

void TaskControl::addContinuation(std::shared_ptr<Executor> executor, Executor::Job job) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_finished) {
            m_continuations.emplace_back(std::move(executor), std::move(job));
            return;
        }
    }
    executor->post(std::move(job));
}

void TaskControl::abandon() noexcept {
    if (isFinished()) {
        return;
    }
    try {
        finish(std::make_exception_ptr(ExecutorError(ExecutorError::Code::droppedJob,
                                                     "The executor dropped the task's job unrun")));
    } catch (const std::exception& error) {
        // Called as a job is destroyed: there is no one to pass a failure to.
        logError(error, "Could not end a task whose job was dropped");
    } catch (...) {
        Log::error("Could not end a task whose job was dropped: an unknown exception");
    }
}

void TaskControl::finish(std::exception_ptr error) {
    std::vector<std::pair<std::shared_ptr<Executor>, Executor::Job>> continuations;
    {
        std::lock_guard lock(m_mutex);
        if (m_finished) {
            return;
        }
        storeLocked(std::move(error));
        m_finished = true;
        continuations.swap(m_continuations);
    }
    m_changed.notify_all();
    for (auto& [executor, job] : continuations) {
        executor->post(std::move(job));
    }
}

CurrentTaskScope::CurrentTaskScope(std::shared_ptr<TaskControl> control) noexcept
    : m_previous(std::exchange(tCurrentTask, std::move(control))) {}

CurrentTaskScope::~CurrentTaskScope() {
    tCurrentTask = std::move(m_previous);
}

std::shared_ptr<TaskControl> currentTask() noexcept {
    return tCurrentTask;
}

TaskPriority inheritedPriority() noexcept {
    return tCurrentTask ? tCurrentTask->priority() : TaskPriority::medium;
}

} // namespace detail

namespace this_task {

void sleep(double seconds) noexcept {
    const std::uint64_t nanoseconds = timeIntervalNanoseconds(seconds);
    const auto deadline = deadlineAfter(nanoseconds);
    if (tCurrentTask) {
        tCurrentTask->sleepUntil(deadline);
        return;
    }
    // Outside a task nothing can cancel the wait.
    const BlockingRegion blocking;
    if (deadline == std::chrono::steady_clock::time_point::max()) {
        while (true) {
            std::this_thread::sleep_for(std::chrono::hours(24));
        }
    }
    std::this_thread::sleep_until(deadline);
}

bool isCancelled() noexcept {
    return tCurrentTask && tCurrentTask->isCancelled();
}

void checkCancellation() {
    if (isCancelled()) {
        throw CancellationError();
    }
}

} // namespace this_task

} // namespace core
