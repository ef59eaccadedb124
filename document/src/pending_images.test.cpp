#include "document/pending_images.hpp"

#include "core/executor.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using document::ZozX::PendingImages;
using namespace std::chrono_literals;

// What ran, in order, from any thread.
class Journal {
public:
    void add(const std::string& what) {
        const std::lock_guard lock(m_mutex);
        m_entries.push_back(what);
    }
    std::vector<std::string> entries() const {
        const std::lock_guard lock(m_mutex);
        return m_entries;
    }
    bool has(const std::string& what) const {
        const auto all = entries();
        return std::find(all.begin(), all.end(), what) != all.end();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

std::vector<std::function<void()>> writes(Journal& journal, int count) {
    std::vector<std::function<void()>> made;
    for (int i = 1; i <= count; ++i) {
        made.emplace_back([&journal, i] { journal.add("image " + std::to_string(i)); });
    }
    return made;
}

// Waits up to ten seconds for `done`.
bool eventually(const std::function<bool()>& done) {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(100us);
    }
    return true;
}

// The tests keep one order of locals so that no write or follow-up outlives the test's frame,
// however the test ends: first what the jobs write into, then the writer, then what they wait at
// (promises whose futures they hold). A test that ends early breaks those promises first, which
// lets the waiting jobs go on; then the writer, as it goes, waits for its running job and ends the
// writing (running the follow-ups) while what they write into is still there.
constexpr auto kPatience = 10s;

bool ready(const std::future<void>& future) {
    return future.wait_for(kPatience) == std::future_status::ready;
}

TEST(PendingImages, FollowUpsRunOneAtATimeInTheOrderOfTheStops) {
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        Journal journal;
        const auto writer = std::make_shared<core::ThreadPool>(1);
        const PendingImages images = PendingImages::start(writes(journal, 3), writer);
        images.stop([&journal] {
            journal.add("first begins");
            std::this_thread::sleep_for(2ms);
            journal.add("first ends");
        });
        // Finished means the follow-up has run too; a stop after that follows at once.
        ASSERT_TRUE(eventually([&] { return images.finished(); }));
        EXPECT_TRUE(journal.has("first ends"));
        images.stop([&journal] { journal.add("second"); });
        EXPECT_TRUE(journal.has("second"));
        const auto entries = journal.entries();
        ASSERT_GE(entries.size(), 3U);
        EXPECT_EQ(std::vector<std::string>(entries.end() - 3, entries.end()),
                  (std::vector<std::string>{"first begins", "first ends", "second"}));
    }

    // A stop while an earlier follow-up runs leaves its own to the thread running that one, after
    // it; neither `finished` nor `wait` is through before both have run.
    Journal journal;
    std::promise<void> writing;
    std::promise<void> firstBegan;
    std::thread::id secondRanOn;
    const auto writer = std::make_shared<core::ThreadPool>(1);
    std::promise<void> goOn;
    std::promise<void> release;
    std::vector<std::function<void()>> one;
    one.emplace_back([&, gate = goOn.get_future().share()] {
        writing.set_value();
        gate.wait();
        journal.add("image 1");
    });
    const PendingImages images = PendingImages::start(std::move(one), writer);
    ASSERT_TRUE(ready(writing.get_future()));
    images.stop([&, gate = release.get_future().share()] {
        journal.add("first begins");
        firstBegan.set_value();
        gate.wait();
        journal.add("first ends");
    });
    goOn.set_value();
    ASSERT_TRUE(ready(firstBegan.get_future()));
    const auto stopping = std::this_thread::get_id();
    images.stop([&] {
        journal.add("second");
        secondRanOn = std::this_thread::get_id();
    });
    EXPECT_FALSE(journal.has("second"));
    EXPECT_FALSE(images.finished());
    EXPECT_FALSE(images.wait(20ms));
    release.set_value();
    ASSERT_TRUE(images.wait(kPatience));
    EXPECT_EQ(journal.entries(),
              (std::vector<std::string>{"image 1", "first begins", "first ends", "second"}));
    EXPECT_NE(secondRanOn, stopping);
}

// A write reports its own failures: whatever escapes it is logged, and the next image follows.
TEST(PendingImages, WhateverAWriteThrowsTheWritingGoesOn) {
    Journal journal;
    const auto writer = std::make_shared<core::ThreadPool>(1);
    std::vector<std::function<void()>> failing = writes(journal, 4);
    failing[0] = [] { throw 42; };
    failing[2] = [] { throw std::runtime_error("the disk is full"); };
    const PendingImages images = PendingImages::start(std::move(failing), writer);
    EXPECT_TRUE(eventually([&] { return journal.has("image 4"); }));
    images.stop([&journal] { journal.add("removed"); });
    ASSERT_TRUE(images.wait(kPatience));
    EXPECT_EQ(journal.entries(), (std::vector<std::string>{"image 2", "image 4", "removed"}));
}

// A writing left on an executor that never runs it (a test's held run loop, a pool that is
// stopped) ends once the executor drops its job, so that no wait for it hangs.
TEST(PendingImages, AWritingEndsWhenItsExecutorDropsItsJob) {
    Journal journal;
    auto held = std::make_shared<core::ManualRunLoop>();
    const PendingImages images = PendingImages::start(writes(journal, 3), held);
    images.stop([&journal] { journal.add("followed"); });
    EXPECT_FALSE(images.wait(10ms));
    EXPECT_FALSE(PendingImages::waitForAll(10ms));
    held.reset();
    EXPECT_TRUE(images.finished());
    EXPECT_TRUE(PendingImages::waitForAll(kPatience));
    EXPECT_EQ(journal.entries(), std::vector<std::string>{"followed"});

    // A pool stopped between two images: the one begun is finished, no other.
    std::promise<void> writing;
    auto pool = std::make_shared<core::ThreadPool>(1);
    std::future<void> stopping;
    std::promise<void> release;
    std::vector<std::function<void()>> slow = writes(journal, 3);
    slow.front() = [&, gate = release.get_future().share()] {
        writing.set_value();
        gate.wait();
        journal.add("slow image");
    };
    const PendingImages stopped = PendingImages::start(std::move(slow), pool);
    ASSERT_TRUE(ready(writing.get_future()));
    stopped.stop([&journal] { journal.add("followed again"); });
    stopping = std::async(std::launch::async, [&pool] { pool->stop(); });
    release.set_value();
    EXPECT_TRUE(ready(stopping));
    EXPECT_TRUE(stopped.wait(kPatience));
    EXPECT_EQ(journal.entries(),
              (std::vector<std::string>{"followed", "slow image", "followed again"}));
}

// The writing holds its executor weakly: a caller's pool may go while it writes, even when the
// writing's job ends up holding the pool's last reference on one of its workers.
TEST(PendingImages, ACallersPoolMayGoWhileItWrites) {
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        Journal journal;
        std::atomic<int> written{0};
        std::vector<std::function<void()>> counted;
        for (int i = 0; i < 5; ++i) {
            counted.emplace_back([&written] {
                std::this_thread::sleep_for(50us);
                ++written;
            });
        }
        auto pool = std::make_shared<core::ThreadPool>(2);
        const PendingImages images = PendingImages::start(std::move(counted), pool);
        if (round % 2 == 0) {
            EXPECT_TRUE(eventually([&] { return written > 0; }));
        }
        images.stop([&journal, &written] { journal.add(std::to_string(written)); });
        pool.reset();
        EXPECT_TRUE(images.wait(kPatience));
        // The follow-up came after the last image written.
        ASSERT_EQ(journal.entries().size(), 1U);
        EXPECT_EQ(journal.entries().front(), std::to_string(written));
    }
    EXPECT_TRUE(PendingImages::waitForAll(kPatience));
}

} // namespace
