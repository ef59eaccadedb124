#include "core/executor.hpp"

#include "core/log.hpp"

#include <algorithm>
#include <exception>
#include <limits>

namespace core {

namespace {

void runGuarded(const Executor::Job& job) {
    // A job's failure must not take a worker or the loop down with it.
    try {
        job();
    } catch (const std::exception& error) {
        logError(error, "A job failed on an executor");
    } catch (...) {
        Log::error("A job failed on an executor with an unknown exception");
    }
}

template <class TimePoint>
TimePoint saturatingAdd(TimePoint base, Duration delay) {
    const Duration step = std::max(delay, Duration::zero());
    const auto room = TimePoint::max() - base;
    if (std::chrono::duration_cast<Duration>(room) <= step) {
        return TimePoint::max();
    }
    return base + std::chrono::duration_cast<typename TimePoint::duration>(step);
}

Duration saturatingAdd(Duration base, Duration delay) {
    const Duration step = std::max(delay, Duration::zero());
    if (Duration::max() - base <= step) {
        return Duration::max();
    }
    return base + step;
}

thread_local ThreadPool* tCurrentPool = nullptr;

// Stand-ins are a safety valve, not a way to run unbounded work.
constexpr std::size_t kMaxPoolThreads = 256;

struct MainLoopSlot {
    std::mutex mutex;
    std::shared_ptr<Executor> loop;
};

MainLoopSlot& mainLoopSlot() {
    static MainLoopSlot slot;
    return slot;
}

bool readyAfter(const auto& lhs, const auto& rhs) {
    // Heap order: the top is the highest priority, and among equals the oldest.
    if (lhs.priority != rhs.priority) {
        return lhs.priority < rhs.priority;
    }
    return lhs.sequence > rhs.sequence;
}

} // namespace

ExecutorError::ExecutorError(Code code, std::string message)
    : Error("ExecutorError", static_cast<int>(code), std::move(message)), m_code(code) {}

void Executor::postPrioritized(Job job, TaskPriority /*priority*/) {
    post(std::move(job));
}

std::shared_ptr<Executor> background() {
    // Never destroyed: workers may still be finishing jobs while statics are torn down at exit.
    static auto* const pool = new std::shared_ptr<Executor>(std::make_shared<ThreadPool>(
        std::clamp<std::size_t>(std::thread::hardware_concurrency(), 4, 16)));
    return *pool;
}

std::shared_ptr<Executor> mainLoop() {
    MainLoopSlot& slot = mainLoopSlot();
    std::lock_guard lock(slot.mutex);
    if (!slot.loop) {
        throw ExecutorError(ExecutorError::Code::noMainLoop, "No main loop is installed");
    }
    return slot.loop;
}

std::shared_ptr<Executor> installMainLoop(std::shared_ptr<Executor> loop) {
    MainLoopSlot& slot = mainLoopSlot();
    std::lock_guard lock(slot.mutex);
    std::swap(slot.loop, loop);
    return loop;
}

ScopedMainLoop::ScopedMainLoop(std::shared_ptr<Executor> loop)
    : m_previous(installMainLoop(std::move(loop))) {}

ScopedMainLoop::~ScopedMainLoop() {
    installMainLoop(std::move(m_previous));
}

// ---------------------------------------------------------------------------------------------
// ThreadPool

ThreadPool::ThreadPool(std::size_t threads) : m_baseCount(std::max<std::size_t>(threads, 1)) {
    std::lock_guard lock(m_mutex);
    m_workers.reserve(m_baseCount);
    for (std::size_t i = 0; i < m_baseCount; ++i) {
        m_workers.emplace_back([this] { work(); });
        ++m_running;
    }
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true; // from here on no worker is added, so the list below is stable
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

std::size_t ThreadPool::threadCount() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

void ThreadPool::beginBlocking() {
    std::lock_guard lock(m_mutex);
    ++m_blocked;
    if (m_stopping || m_running - m_blocked >= m_baseCount || m_running >= kMaxPoolThreads) {
        return;
    }
    try {
        m_workers.emplace_back([this] { work(); });
        ++m_running;
    } catch (const std::exception& error) {
        // The wait goes on with one worker fewer.
        logError(error, "Could not start a stand-in worker");
    }
}

void ThreadPool::endBlocking() {
    {
        std::lock_guard lock(m_mutex);
        --m_blocked;
    }
    m_wake.notify_all(); // a surplus worker may now retire
}

BlockingRegion::BlockingRegion() noexcept : m_pool(tCurrentPool) {
    if (m_pool) {
        m_pool->beginBlocking();
    }
}

BlockingRegion::~BlockingRegion() {
    if (m_pool) {
        m_pool->endBlocking();
    }
}

void ThreadPool::post(Job job) {
    postPrioritized(std::move(job), TaskPriority::medium);
}

void ThreadPool::postPrioritized(Job job, TaskPriority priority) {
    {
        std::lock_guard lock(m_mutex);
        enqueueLocked(std::move(job), priority);
    }
    m_wake.notify_one();
}

void ThreadPool::postAfter(Duration delay, Job job) {
    {
        std::lock_guard lock(m_mutex);
        m_timers.emplace(saturatingAdd(Clock::now(), delay),
                         std::make_pair(TaskPriority::medium, std::move(job)));
    }
    // Every idle worker recomputes its wake-up time; one of them takes the new timer.
    m_wake.notify_all();
}

bool ThreadPool::isCurrent() const {
    return tCurrentPool == this;
}

void ThreadPool::enqueueLocked(Job job, TaskPriority priority) {
    m_ready.push_back(Ready{priority, m_sequence++, std::move(job)});
    std::push_heap(m_ready.begin(), m_ready.end(), readyAfter<Ready, Ready>);
}

void ThreadPool::work() {
    tCurrentPool = this;
    std::unique_lock lock(m_mutex);
    while (true) {
        const auto now = Clock::now();
        while (!m_timers.empty() && m_timers.begin()->first <= now) {
            const auto due = m_timers.begin();
            enqueueLocked(std::move(due->second.second), due->second.first);
            m_timers.erase(due);
        }
        if (m_stopping) {
            return;
        }
        if (!m_ready.empty()) {
            std::pop_heap(m_ready.begin(), m_ready.end(), readyAfter<Ready, Ready>);
            Job job = std::move(m_ready.back().job);
            m_ready.pop_back();
            lock.unlock();
            runGuarded(job);
            job = nullptr; // release captures before taking the lock again
            lock.lock();
            continue;
        }
        if (m_running - m_blocked > m_baseCount) {
            // Idle while the workers it stood in for are back: retire. The thread lets go of
            // its handle and touches nothing of the pool once the lock is released.
            const auto self =
                std::find_if(m_workers.begin(), m_workers.end(), [](const std::thread& t) {
                    return t.get_id() == std::this_thread::get_id();
                });
            if (self != m_workers.end()) {
                self->detach();
                m_workers.erase(self);
            }
            --m_running;
            return;
        }
        if (m_timers.empty()) {
            m_wake.wait(lock);
        } else {
            // A copy: another worker may erase the timer while this one waits.
            const Clock::time_point next = m_timers.begin()->first;
            m_wake.wait_until(lock, next);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// ManualRunLoop

void ManualRunLoop::post(Job job) {
    postAfter(Duration::zero(), std::move(job));
}

void ManualRunLoop::postAfter(Duration delay, Job job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.emplace(std::make_pair(saturatingAdd(m_now, delay), m_sequence++), std::move(job));
    }
    m_posted.notify_all();
}

bool ManualRunLoop::isCurrent() const {
    std::lock_guard lock(m_mutex);
    return m_depth > 0 && m_runner == std::this_thread::get_id();
}

Duration ManualRunLoop::now() const {
    std::lock_guard lock(m_mutex);
    return m_now;
}

std::size_t ManualRunLoop::pendingCount() const {
    std::lock_guard lock(m_mutex);
    return m_jobs.size();
}

bool ManualRunLoop::runOneDue() {
    Job job;
    {
        std::lock_guard lock(m_mutex);
        if (m_jobs.empty() || m_jobs.begin()->first.first > m_now) {
            return false;
        }
        const auto first = m_jobs.begin();
        job = std::move(first->second);
        m_jobs.erase(first);
        m_runner = std::this_thread::get_id();
        ++m_depth;
    }
    runGuarded(job);
    job = nullptr;
    std::lock_guard lock(m_mutex);
    --m_depth;
    return true;
}

std::size_t ManualRunLoop::runUntilIdle() {
    std::size_t count = 0;
    while (runOneDue()) {
        ++count;
    }
    return count;
}

std::size_t ManualRunLoop::advance(Duration delta) {
    std::size_t count = runUntilIdle();
    Duration target;
    {
        std::lock_guard lock(m_mutex);
        target = saturatingAdd(m_now, delta);
    }
    while (true) {
        {
            std::lock_guard lock(m_mutex);
            if (m_jobs.empty() || m_jobs.begin()->first.first > target) {
                m_now = target;
                break;
            }
            m_now = std::max(m_now, m_jobs.begin()->first.first);
        }
        count += runUntilIdle();
    }
    return count + runUntilIdle();
}

bool ManualRunLoop::runUntil(const std::function<bool()>& done,
                             std::chrono::milliseconds realTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + realTimeout;
    while (true) {
        runUntilIdle();
        if (done()) {
            return true;
        }
        std::unique_lock lock(m_mutex);
        const bool due = !m_jobs.empty() && m_jobs.begin()->first.first <= m_now;
        if (!due && m_posted.wait_until(lock, deadline) == std::cv_status::timeout) {
            lock.unlock();
            runUntilIdle();
            return done();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// ThreadRunLoop

void ThreadRunLoop::post(Job job) {
    postAfter(Duration::zero(), std::move(job));
}

void ThreadRunLoop::postAfter(Duration delay, Job job) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.emplace(std::make_pair(saturatingAdd(Clock::now(), delay), m_sequence++),
                       std::move(job));
    }
    m_wake.notify_all();
}

bool ThreadRunLoop::isCurrent() const {
    std::lock_guard lock(m_mutex);
    return m_runner == std::this_thread::get_id();
}

void ThreadRunLoop::run() {
    std::unique_lock lock(m_mutex);
    const std::thread::id previous = m_runner;
    m_runner = std::this_thread::get_id();
    while (!m_stopRequested) {
        if (m_jobs.empty()) {
            m_wake.wait(lock);
            continue;
        }
        const auto due = m_jobs.begin()->first.first;
        if (due > Clock::now()) {
            m_wake.wait_until(lock, due);
            continue;
        }
        const auto first = m_jobs.begin();
        Job job = std::move(first->second);
        m_jobs.erase(first);
        lock.unlock();
        runGuarded(job);
        job = nullptr;
        lock.lock();
    }
    m_stopRequested = false;
    m_runner = previous;
}

void ThreadRunLoop::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
}

} // namespace core
