#pragma once

#include "files/vt_path.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace files {

/// Watches one folder's entries (created, deleted, moved in or out) through inotify on a thread
/// of its own, calling its callback once per batch of events. Destroying it cancels it.
class FolderMonitor final : public VtFolderMonitorCancellable {
public:
    /// A monitor for the folder at `url`; it watches nothing until started.
    explicit FolderMonitor(std::filesystem::path url);
    FolderMonitor(const FolderMonitor&) = delete;
    FolderMonitor& operator=(const FolderMonitor&) = delete;
    /// Cancels; safe on the monitor's own thread (the thread then ends by itself).
    ~FolderMonitor() override;

    /// Starts watching with `folderDidChange` as callback; does nothing when already started
    /// or cancelled, and watches nothing when the folder cannot be watched.
    void startMonitoring(std::function<void()> folderDidChange);
    /// Stops the notifications; when it returns on another thread no callback runs any more.
    void cancel() override;
    /// Whether a watch is open (started on a folder that exists, and not cancelled).
    bool isWatching() const;
    /// The watched folder.
    const std::filesystem::path& url() const noexcept { return m_url; }

    /// What the watching thread shares with the monitor (defined privately).
    struct State;

private:
    std::filesystem::path m_url;
    mutable std::mutex m_mutex;
    std::shared_ptr<State> m_state;
    std::jthread m_thread;
    bool m_started = false;
};

} // namespace files
