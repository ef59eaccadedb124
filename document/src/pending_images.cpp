#include "document/pending_images.hpp"

#include "core/executor.hpp"
#include "core/log.hpp"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <utility>

namespace document::ZozX {

// The image writing of one load, shared by the handles and the job that writes the next image.
struct PendingImages::State {
    explicit State(std::vector<std::function<void()>> images) : writes(std::move(images)) {}

    // Writes the next image and posts the one after it, or ends the writing.
    static void writeNext(const std::shared_ptr<State>& state);
    // Posts the next image's job on the writer; ends the writing when the writer is gone or
    // refuses it.
    static void postNext(const std::shared_ptr<State>& state);
    // Ends the writing and runs the follow-ups; only the first call does anything.
    void end() noexcept;
    // Runs the follow-ups queued, those queued meanwhile included, on this thread; the caller
    // has set `draining`.
    void drain() noexcept;
    bool finishedLocked() const { return ended && !draining && followUps.empty(); }

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<std::function<void()>> writes;
    std::size_t next = 0;
    bool stopped = false;
    bool ended = false;
    // A thread is running the follow-ups; the others leave theirs in the queue for it.
    bool draining = false;
    std::deque<std::function<void()>> followUps;
    std::weak_ptr<core::Executor> writer;
};

namespace {

// How many image writings have not yet ended and run what they were given on stopping, so that
// the process can wait for them. Never destroyed: a writer may end while statics are torn down.
struct WritingsInFlight {
    std::mutex mutex;
    std::condition_variable ended;
    std::size_t count = 0;
};

WritingsInFlight& writingsInFlight() {
    static auto* const writings = new WritingsInFlight;
    return *writings;
}

// The one thread that writes the images of every load, so that waiting on the disk never takes
// a worker from the pool that builds the report. Never destroyed, like the pool.
std::shared_ptr<core::Executor> imageWriter() {
    static auto* const writer =
        new std::shared_ptr<core::Executor>(std::make_shared<core::ThreadPool>(1));
    return *writer;
}

// Runs `work`, logging whatever it throws as `failure`.
void runLogged(const std::function<void()>& work, const char* failure) noexcept {
    try {
        work();
    } catch (const std::exception& error) {
        core::logError(error, failure);
    } catch (...) {
        core::Log::error(std::string(failure) + ": an unknown exception");
    }
}

// The writer's turn for one image. An executor that drops the job without running it would
// otherwise leave the writing waiting for ever: the turn then ends it.
class Turn {
public:
    explicit Turn(std::shared_ptr<PendingImages::State> state) : m_state(std::move(state)) {}
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    ~Turn() {
        if (m_state) {
            m_state->end();
        }
    }

    void take() { PendingImages::State::writeNext(std::exchange(m_state, nullptr)); }

private:
    std::shared_ptr<PendingImages::State> m_state;
};

} // namespace

PendingImages PendingImages::start(std::vector<std::function<void()>> writes,
                                   std::shared_ptr<core::Executor> writer) {
    auto state = std::make_shared<State>(std::move(writes));
    if (!writer) {
        writer = imageWriter();
    }
    {
        const std::lock_guard lock(writingsInFlight().mutex);
        ++writingsInFlight().count;
    }
    state->writer = writer;
    try {
        auto turn = std::make_shared<Turn>(state);
        writer->post([turn] { turn->take(); });
    } catch (...) {
        state->end();
        throw;
    }
    return PendingImages(std::move(state));
}

void PendingImages::State::writeNext(const std::shared_ptr<State>& state) {
    std::function<void()> write;
    {
        const std::lock_guard lock(state->mutex);
        if (!state->stopped && state->next < state->writes.size()) {
            // Taken out, so that the bytes of a written image are freed at once.
            write = std::move(state->writes[state->next++]);
        }
    }
    if (!write) {
        state->end();
        return;
    }
    // Whatever a write throws, the writing goes on: this thread holds the turn, and leaving
    // here by an exception would leave the writing unended and its follow-ups never run.
    runLogged(write, "Failed to write a document's image");
    write = nullptr;
    postNext(state);
}

void PendingImages::State::postNext(const std::shared_ptr<State>& state) {
    const std::shared_ptr<core::Executor> executor = state->writer.lock();
    if (!executor) {
        state->end();
        return;
    }
    try {
        // One image per job: a stop is seen between two images, and other work on the same
        // executor is not held up behind a whole document.
        auto turn = std::make_shared<Turn>(state);
        executor->post([turn] { turn->take(); });
    } catch (const std::exception& error) {
        core::logError(error, "Failed to go on writing a document's images");
        state->end();
    } catch (...) {
        core::Log::error("Failed to go on writing a document's images: an unknown exception");
        state->end();
    }
}

void PendingImages::State::end() noexcept {
    std::vector<std::function<void()>> unwritten;
    {
        const std::lock_guard lock(mutex);
        if (ended) {
            return;
        }
        ended = true;
        stopped = true;
        unwritten = std::move(writes);
        // No stop runs follow-ups before the writing has ended: this thread runs those given so
        // far and those given while it runs them.
        draining = true;
    }
    unwritten.clear();
    drain();
    auto& writings = writingsInFlight();
    const std::lock_guard lock(writings.mutex);
    if (--writings.count == 0) {
        writings.ended.notify_all();
    }
}

void PendingImages::State::drain() noexcept {
    while (true) {
        std::function<void()> followUp;
        {
            const std::lock_guard lock(mutex);
            if (followUps.empty()) {
                draining = false;
                break;
            }
            followUp = std::move(followUps.front());
            followUps.pop_front();
        }
        runLogged(followUp, "Failed to finish after writing a document's images");
    }
    changed.notify_all();
}

bool PendingImages::finished() const {
    const std::lock_guard lock(m_state->mutex);
    return m_state->finishedLocked();
}

void PendingImages::wait() const {
    std::unique_lock lock(m_state->mutex);
    m_state->changed.wait(lock, [this] { return m_state->finishedLocked(); });
}

bool PendingImages::wait(std::chrono::milliseconds within) const {
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, within, [this] { return m_state->finishedLocked(); });
}

void PendingImages::stop(std::function<void()> then) const {
    bool drainHere = false;
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopped = true;
        if (then) {
            m_state->followUps.push_back(std::move(then));
        }
        // While the writing goes on, or another thread runs follow-ups, that thread runs this
        // one too, after the earlier ones.
        if (m_state->ended && !m_state->draining && !m_state->followUps.empty()) {
            m_state->draining = true;
            drainHere = true;
        }
    }
    if (drainHere) {
        m_state->drain();
    }
}

void PendingImages::waitForAll() {
    auto& writings = writingsInFlight();
    std::unique_lock lock(writings.mutex);
    writings.ended.wait(lock, [&writings] { return writings.count == 0; });
}

bool PendingImages::waitForAll(std::chrono::milliseconds within) {
    auto& writings = writingsInFlight();
    std::unique_lock lock(writings.mutex);
    return writings.ended.wait_for(lock, within, [&writings] { return writings.count == 0; });
}

} // namespace document::ZozX
