#include "files/folder_monitor.hpp"

#include "posix_util.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>

namespace files {

/// What the monitor's thread needs; shared so that the thread can outlive a monitor destroyed
/// from inside its own callback.
struct FolderMonitor::State {
    detail::UniqueFd inotify;
    detail::UniqueFd wakeUp;
    std::function<void()> callback;
    std::atomic<bool> cancelled{false};
};

namespace {

constexpr std::uint32_t kWatchedEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

/// Reads every queued event; false when the descriptor failed.
bool drain(int fd) {
    alignas(inotify_event) std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 && errno == EAGAIN;
    }
}

void watch(const std::shared_ptr<FolderMonitor::State>& state) {
    std::array<pollfd, 2> fds{pollfd{state->inotify.get(), POLLIN, 0},
                              pollfd{state->wakeUp.get(), POLLIN, 0}};
    while (!state->cancelled.load()) {
        fds[0].revents = 0;
        fds[1].revents = 0;
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            const bool healthy = drain(state->inotify.get());
            if (!state->cancelled.load()) {
                state->callback();
            }
            if (!healthy) {
                return;
            }
        } else if (fds[0].revents != 0) {
            return;
        }
    }
}

} // namespace

FolderMonitor::FolderMonitor(std::filesystem::path url) : m_url(std::move(url)) {}

FolderMonitor::~FolderMonitor() {
    cancel();
}

void FolderMonitor::startMonitoring(std::function<void()> folderDidChange) {
    const std::lock_guard lock(m_mutex);
    if (m_started) {
        return;
    }
    m_started = true;
    auto state = std::make_shared<State>();
    state->callback = std::move(folderDidChange);
    state->inotify = detail::UniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    state->wakeUp = detail::UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    // A folder that cannot be watched (missing, not a folder, no permission) gives a monitor
    // that never calls.
    if (!state->inotify.valid() || !state->wakeUp.valid() || !state->callback ||
        ::inotify_add_watch(state->inotify.get(), m_url.c_str(), kWatchedEvents) < 0) {
        return;
    }
    m_state = state;
    m_thread = std::jthread([state] { watch(state); });
}

void FolderMonitor::cancel() {
    std::jthread thread;
    std::shared_ptr<State> state;
    {
        const std::lock_guard lock(m_mutex);
        m_started = true; // a cancelled monitor never starts
        state = std::move(m_state);
        thread = std::move(m_thread);
    }
    if (!state) {
        return;
    }
    state->cancelled.store(true);
    const std::uint64_t one = 1;
    // The thread also stops on the flag when the wake-up write cannot happen.
    [[maybe_unused]] const ssize_t written = ::write(state->wakeUp.get(), &one, sizeof one);
    if (thread.joinable()) {
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach(); // inside our own callback: the loop ends when it returns
        } else {
            thread.join();
        }
    }
}

bool FolderMonitor::isWatching() const {
    const std::lock_guard lock(m_mutex);
    return m_state != nullptr;
}

std::shared_ptr<VtFolderMonitorCancellable>
VtFolder::trackUpdate(std::function<void()> callback) const {
    auto monitor = std::make_shared<FolderMonitor>(m_url);
    monitor->startMonitoring(std::move(callback));
    return monitor;
}

} // namespace files
