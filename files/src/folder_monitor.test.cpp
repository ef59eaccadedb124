#include "files/folder_monitor.hpp"

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fcntl.h>

namespace fs = std::filesystem;
using files::VtFolder;
using files::test::ScratchFolder;
using files::test::writeBytes;
using namespace std::chrono_literals;

namespace {

/// Counts callbacks and remembers whether any ran on the test's thread.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    int calls = 0;
    bool onCallerThread = false;
    std::thread::id caller = std::this_thread::get_id();

    std::function<void()> callback() {
        return [this] {
            const std::lock_guard lock(mutex);
            ++calls;
            onCallerThread = onCallerThread || std::this_thread::get_id() == caller;
            changed.notify_all();
        };
    }
    bool waitFor(int atLeast) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] { return calls >= atLeast; });
    }
    int count() {
        const std::lock_guard lock(mutex);
        return calls;
    }
};

int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

TEST(FolderMonitor, CallsOffTheCallerThreadUntilCancelledOrDropped) {
    ScratchFolder scratch;
    const VtFolder folder(scratch.path());
    const int descriptorsBefore = openDescriptors();

    Recorder first;
    Recorder second;
    auto monitor = folder.trackUpdate(first.callback());
    auto other = folder.trackUpdate(second.callback());
    writeBytes(scratch / "new.txt", "x");
    ASSERT_TRUE(first.waitFor(1));
    ASSERT_TRUE(second.waitFor(1));
    EXPECT_FALSE(first.onCallerThread);

    monitor->cancel();
    monitor->cancel();
    const int afterCancel = first.count();
    writeBytes(scratch / "more.txt", "y");
    ASSERT_TRUE(second.waitFor(2)) << "cancelling one monitor leaves the other running";
    other.reset();
    const int afterDrop = second.count();
    fs::remove(scratch / "more.txt");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(first.count(), afterCancel);
    EXPECT_EQ(second.count(), afterDrop);
    monitor.reset();
    EXPECT_EQ(openDescriptors(), descriptorsBefore) << "descriptors are closed";
}

TEST(FolderMonitor, MissingFolderAndSelfDestruction) {
    ScratchFolder scratch;
    Recorder recorder;
    auto missing = VtFolder(scratch / "missing").trackUpdate(recorder.callback());
    EXPECT_FALSE(dynamic_cast<files::FolderMonitor&>(*missing).isWatching());
    missing->cancel();

    // Dropping the last handle inside the callback must neither deadlock nor crash.
    std::shared_ptr<files::VtFolderMonitorCancellable> self;
    std::mutex mutex;
    std::condition_variable done;
    bool dropped = false;
    self = VtFolder(scratch.path()).trackUpdate([&] {
        const std::lock_guard lock(mutex);
        self.reset();
        dropped = true;
        done.notify_all();
    });
    writeBytes(scratch / "trigger", "t");
    std::unique_lock lock(mutex);
    EXPECT_TRUE(done.wait_for(lock, 5s, [&] { return dropped; }));
}

} // namespace
