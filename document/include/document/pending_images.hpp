#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace core {
class Executor;
}

namespace document::ZozX {

/// The images of a document that a load returned before writing them into the working folder.
/// They are written afterwards, one per job on an executor, each exactly as `Manager::load` writes
/// it (an image that cannot be written is logged and left out). A file is complete only once
/// `finished()` holds. Copies share one writing; every member is safe from any thread.
class PendingImages {
public:
    struct State;

    /// Starts writing: posts the first of `writes` on `writer` (by default a thread the library
    /// keeps for image writing), and each following one as a job of its own once the one before
    /// it has run. A write reports its own failures; what it throws is logged.
    static PendingImages start(std::vector<std::function<void()>> writes,
                               std::shared_ptr<core::Executor> writer = nullptr);

    /// True once every image is written or left out, or the writing has stopped.
    bool finished() const;
    /// Blocks until `finished()`; never call it from a job of the executor that writes them.
    void wait() const;
    /// Writes no image that is not begun yet, and calls `then` once the writing has ended: at
    /// once on this thread when it already has, else on the writer's executor after the image it
    /// is writing. Exceptions from `then` are logged. A later call's `then` runs after an
    /// earlier one's.
    void stop(std::function<void()> then) const;

    /// Blocks until the image writing of every load in the process has ended and run what its
    /// `stop` was given; call it before the process ends, so that no folder is left half
    /// written or not removed.
    static void waitForAll();

private:
    explicit PendingImages(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    std::shared_ptr<State> m_state;
};

} // namespace document::ZozX
