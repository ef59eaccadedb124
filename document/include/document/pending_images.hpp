#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace core {
class Executor;
}

namespace document::ZozX {

/// The images of a document that a load returned before writing them into the working folder.
/// They are written afterwards, one per job on an executor, each exactly as `Manager::load` writes
/// it (an image that cannot be written is logged and left out).
/// The writing ends when every image is written or left out; when `stop` is called (the image
/// being written is finished, no other is begun); or when the executor drops one of its jobs
/// without running it (a pool stopped or destroyed, a test's run loop destroyed). The writing
/// holds its executor only weakly: whoever made the executor decides how long it lives.
/// Once the writing has ended, the follow-ups given to `stop` run one at a time, in the order they
/// were given. Copies share one writing; every member is safe from any thread.
class PendingImages {
public:
    struct State;

    /// Starts writing: posts the first of `writes` on `writer` (by default a thread the library
    /// keeps for image writing), and each following one as a job of its own once the one before
    /// it has run. A write reports its own failures; what it throws is logged.
    static PendingImages start(std::vector<std::function<void()>> writes,
                               std::shared_ptr<core::Executor> writer = nullptr);

    /// True once the writing has ended and every follow-up that `stop` was given so far has
    /// returned; every image file the writing made is complete then.
    bool finished() const;
    /// Blocks until `finished()` holds. Never call it from a job of the writer or from a
    /// follow-up, which would wait for itself.
    void wait() const;
    /// Like `wait`, giving up after `within`; returns whether `finished()` held.
    bool wait(std::chrono::milliseconds within) const;
    /// Begins no other image, and has `then` run once the writing has ended and the follow-ups
    /// given before it have returned: at once on this thread when nothing is left to wait for,
    /// else on the thread that ends the writing or runs the earlier follow-ups (usually the
    /// writer's, after the image it is writing). Exceptions from `then` are logged.
    void stop(std::function<void()> then) const;

    /// Blocks until every writing in the process has ended and run its follow-ups; call it before
    /// the process ends, so that no folder is left half written or not removed.
    static void waitForAll();
    /// Like `waitForAll`, giving up after `within`; returns whether every writing had finished.
    static bool waitForAll(std::chrono::milliseconds within);

private:
    explicit PendingImages(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    std::shared_ptr<State> m_state;
};

} // namespace document::ZozX
