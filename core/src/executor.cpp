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

namespace {

const std::shared_ptr<ThreadPool>& backgroundPool() {
    // Never destroyed: it may still be asked for while statics are torn down at exit, where
    // `stopBackground` has already ended it.
    static auto* const pool = new std::shared_ptr<ThreadPool>(std::make_shared<ThreadPool>(
        std::clamp<std::size_t>(std::thread::hardware_concurrency(), 4, 16)));
    return *pool;
}

} // namespace

std::shared_ptr<Executor> background() {
    return backgroundPool();
}

void stopBackground() {
    backgroundPool()->stop();
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

struct ThreadPool::Shared : std::enable_shared_from_this<Shared> {
    using Clock = std::chrono::steady_clock;
    struct Ready {
        TaskPriority priority;
        std::uint64_t sequence;
        Job job;
    };
    using Timers = std::multimap<Clock::time_point, std::pair<TaskPriority, Job>>;

    explicit Shared(std::size_t threads) : baseCount(std::max<std::size_t>(threads, 1)) {}

    // Queues `job` unless the pool is stopping; a job left with the caller is destroyed by it
    // outside the lock, since its captures may post again.
    bool enqueueLocked(Job& job, TaskPriority priority);
    void startWorkerLocked();
    void work();
    void beginBlocking();
    void endBlocking();

    std::mutex mutex;
    std::condition_variable wake;
    // Signalled whenever a worker ends.
    std::condition_variable workerEnded;
    std::vector<Ready> ready; // a heap ordered by priority, then sequence
    Timers timers;
    std::uint64_t sequence = 0;
    bool stopping = false;
    const std::size_t baseCount;
    std::size_t running = 0;
    std::size_t blocked = 0;
    std::vector<std::thread> workers;

    // The pool whose worker the calling thread is, if any.
    static thread_local Shared* current;
};

thread_local ThreadPool::Shared* ThreadPool::Shared::current = nullptr;

bool ThreadPool::Shared::enqueueLocked(Job& job, TaskPriority priority) {
    if (stopping) {
        return false;
    }
    ready.push_back(Ready{priority, sequence++, std::move(job)});
    std::push_heap(ready.begin(), ready.end(), readyAfter<Ready, Ready>);
    return true;
}

void ThreadPool::Shared::startWorkerLocked() {
    // Each worker owns the state too, so that it can end after the pool object is gone.
    workers.emplace_back([self = shared_from_this()] { self->work(); });
    ++running;
}

void ThreadPool::Shared::work() {
    current = this;
    std::unique_lock lock(mutex);
    while (true) {
        const auto now = Clock::now();
        while (!timers.empty() && timers.begin()->first <= now) {
            const auto due = timers.begin();
            enqueueLocked(due->second.second, due->second.first);
            timers.erase(due);
        }
        if (stopping) {
            break;
        }
        if (!ready.empty()) {
            std::pop_heap(ready.begin(), ready.end(), readyAfter<Ready, Ready>);
            Job job = std::move(ready.back().job);
            ready.pop_back();
            lock.unlock();
            runGuarded(job);
            job = nullptr; // release captures before taking the lock again
            lock.lock();
            continue;
        }
        if (running - blocked > baseCount) {
            // Idle while the workers it stood in for are back: retire, letting go of its handle.
            const auto self =
                std::find_if(workers.begin(), workers.end(), [](const std::thread& t) {
                    return t.get_id() == std::this_thread::get_id();
                });
            if (self != workers.end()) {
                self->detach();
                workers.erase(self);
            }
            break;
        }
        if (timers.empty()) {
            wake.wait(lock);
        } else {
            // A copy: another worker may erase the timer while this one waits.
            const Clock::time_point next = timers.begin()->first;
            wake.wait_until(lock, next);
        }
    }
    --running;
    workerEnded.notify_all();
    current = nullptr;
}

ThreadPool::ThreadPool(std::size_t threads) : m_shared(std::make_shared<Shared>(threads)) {
    try {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->workers.reserve(m_shared->baseCount);
        for (std::size_t i = 0; i < m_shared->baseCount; ++i) {
            m_shared->startWorkerLocked();
        }
    } catch (...) {
        // The system refused a thread: the workers already started would otherwise wait for ever
        // for the jobs of a pool that never was, holding its state.
        stop();
        throw;
    }
}

ThreadPool::~ThreadPool() {
    stop();
}

void ThreadPool::stop() {
    std::vector<std::thread> workers;
    std::vector<Shared::Ready> dropped;
    Shared::Timers droppedTimers;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true; // from here on no worker is added and no job queued
        workers = std::exchange(m_shared->workers, {});
        dropped = std::exchange(m_shared->ready, {});
        droppedTimers = std::exchange(m_shared->timers, {});
    }
    m_shared->wake.notify_all();
    // The jobs not begun go first: a running job may be waiting for one of them, and releasing
    // their captures tells it that they never run (a promise breaks, a task ends with an error).
    dropped.clear();
    droppedTimers.clear();
    const bool onWorker = isCurrent();
    for (std::thread& worker : workers) {
        if (worker.get_id() == std::this_thread::get_id()) {
            // The job calling us is still on this thread's stack; the worker ends after it.
            worker.detach();
        } else {
            worker.join();
        }
    }
    // Workers another call took are waited for too.
    std::unique_lock lock(m_shared->mutex);
    m_shared->workerEnded.wait(lock, [&] { return m_shared->running == (onWorker ? 1U : 0U); });
}

std::size_t ThreadPool::threadCount() const {
    const std::lock_guard lock(m_shared->mutex);
    return m_shared->running;
}

void ThreadPool::Shared::beginBlocking() {
    const std::lock_guard lock(mutex);
    ++blocked;
    if (stopping || running - blocked >= baseCount || running >= kMaxPoolThreads) {
        return;
    }
    try {
        startWorkerLocked();
    } catch (const std::exception& error) {
        // The wait goes on with one worker fewer.
        logError(error, "Could not start a stand-in worker");
    }
}

void ThreadPool::Shared::endBlocking() {
    {
        const std::lock_guard lock(mutex);
        --blocked;
    }
    wake.notify_all(); // a surplus worker may now retire
}

BlockingRegion::BlockingRegion() noexcept : m_pool(ThreadPool::Shared::current) {
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
    bool queued = false;
    {
        const std::lock_guard lock(m_shared->mutex);
        queued = m_shared->enqueueLocked(job, priority);
    }
    if (queued) {
        m_shared->wake.notify_one();
    }
    // A job the stopped pool did not take is destroyed here, outside the lock.
}

void ThreadPool::postAfter(Duration delay, Job job) {
    bool queued = false;
    {
        const std::lock_guard lock(m_shared->mutex);
        if (!m_shared->stopping) {
            m_shared->timers.emplace(saturatingAdd(Shared::Clock::now(), delay),
                                     std::make_pair(TaskPriority::medium, std::move(job)));
            queued = true;
        }
    }
    if (queued) {
        // Every idle worker recomputes its wake-up time; one of them takes the new timer.
        m_shared->wake.notify_all();
    }
}

bool ThreadPool::isCurrent() const {
    return Shared::current == m_shared.get();
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
