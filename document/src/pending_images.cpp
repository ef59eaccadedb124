#include "document/pending_images.hpp"

#include "core/executor.hpp"
#include "core/log.hpp"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>

namespace document::ZozX {

// The image writing of one load, shared by the handles and the job that writes the next image.
struct PendingImages::State {
    explicit State(std::vector<std::function<void()>> images) : writes(std::move(images)) {}

    // Posts the first image on `executor`; counted among the writings in flight until it ends.
    static void start(const std::shared_ptr<State>& state,
                      std::shared_ptr<core::Executor> executor);
    // Writes the next image and posts the one after it, or ends the writing.
    static void writeNext(const std::shared_ptr<State>& state);
    void end() noexcept;

    mutable std::mutex mutex;
    mutable std::condition_variable ended;
    std::vector<std::function<void()>> writes;
    std::size_t next = 0;
    bool stopped = false;
    bool finished = false;
    std::function<void()> then;
    std::shared_ptr<core::Executor> writer;
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

void runLogged(const std::function<void()>& work) noexcept {
    try {
        work();
    } catch (const std::exception& error) {
        core::logError(error, "Failed to finish after writing a document's images");
    } catch (...) {
        core::Log::error("Failed to finish after writing a document's images");
    }
}

} // namespace

PendingImages PendingImages::start(std::vector<std::function<void()>> writes,
                                   std::shared_ptr<core::Executor> writer) {
    auto state = std::make_shared<State>(std::move(writes));
    State::start(state, writer ? std::move(writer) : imageWriter());
    return PendingImages(std::move(state));
}

void PendingImages::State::start(const std::shared_ptr<State>& state,
                                 std::shared_ptr<core::Executor> executor) {
    {
        const std::lock_guard lock(writingsInFlight().mutex);
        ++writingsInFlight().count;
    }
    state->writer = std::move(executor);
    try {
        state->writer->post([state] { writeNext(state); });
    } catch (...) {
        state->end();
        throw;
    }
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
    try {
        write();
    } catch (const std::exception& error) {
        core::logError(error, "Failed to write a document's image");
    }
    write = nullptr;
    try {
        // One image per job: a stop is seen between two images, and other work on the same
        // executor is not held up behind a whole document.
        state->writer->post([state] { writeNext(state); });
    } catch (const std::exception& error) {
        core::logError(error, "Failed to go on writing a document's images");
        state->end();
    }
}

void PendingImages::State::end() noexcept {
    std::function<void()> last;
    {
        const std::lock_guard lock(mutex);
        finished = true;
        last = std::exchange(then, nullptr);
        writes.clear();
    }
    ended.notify_all();
    if (last) {
        runLogged(last);
    }
    auto& writings = writingsInFlight();
    const std::lock_guard lock(writings.mutex);
    if (--writings.count == 0) {
        writings.ended.notify_all();
    }
}

bool PendingImages::finished() const {
    const std::lock_guard lock(m_state->mutex);
    return m_state->finished;
}

void PendingImages::wait() const {
    std::unique_lock lock(m_state->mutex);
    m_state->ended.wait(lock, [this] { return m_state->finished; });
}

void PendingImages::stop(std::function<void()> then) const {
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopped = true;
        if (!m_state->finished) {
            if (m_state->then && then) {
                then = [first = std::move(m_state->then), second = std::move(then)] {
                    runLogged(first);
                    second();
                };
            }
            if (then) {
                m_state->then = std::move(then);
            }
            return;
        }
    }
    if (then) {
        runLogged(then);
    }
}

void PendingImages::waitForAll() {
    auto& writings = writingsInFlight();
    std::unique_lock lock(writings.mutex);
    writings.ended.wait(lock, [&writings] { return writings.count == 0; });
}

} // namespace document::ZozX
