#include "core/rx_event.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using core::rx::Cancellable;
using core::rx::RxEvent;

namespace {

struct Screen {
    std::vector<std::string> errors;
    std::atomic<int> refreshes{0};
};

TEST(RxEvent, ValuesBeforeSubscribingAreLostAndCopiesShareOneSubject) {
    RxEvent<std::string> event;
    event.send("too early");
    std::vector<std::string> seen;
    const RxEvent<std::string> copy = event;
    Cancellable c = copy.sink(false, [&](const std::string& v) { seen.push_back(v); });
    event.send("A");
    copy.send("B");
    EXPECT_EQ(seen, (std::vector<std::string>{"A", "B"}));
}

TEST(RxEvent, DropFirstSkipsTheFirstValueAfterSubscribing) {
    RxEvent<int> event;
    event.send(0);
    std::vector<int> seen;
    Cancellable c = event.sink(true, [&](int v) { seen.push_back(v); });
    event.send(1);
    event.send(2);
    EXPECT_EQ(seen, (std::vector<int>{2}));
}

TEST(RxEvent, AReleasedOwnerGetsNoCallAndNoTask) {
    RxEvent<std::string> event;
    auto screen = std::make_shared<Screen>();
    Cancellable sync = event.sink(
        false, screen, [](Screen& s, const std::string& message) { s.errors.push_back(message); });
    std::atomic<int> tasks{0};
    Cancellable async = event.sinkAsync(false, screen, [&](Screen& s, const std::string&) {
        ++s.refreshes;
        ++tasks;
    });
    event.send("Please drop a project file");
    EXPECT_EQ(screen->errors, (std::vector<std::string>{"Please drop a project file"}));
    std::weak_ptr<Screen> weak = screen;
    screen.reset();
    // The task started for the first value holds the owner until it has run.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!weak.expired() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(weak.expired());
    EXPECT_EQ(tasks.load(), 1);
    event.send("after the owner is gone");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(tasks.load(), 1);
}

TEST(RxEvent, CancellingFromInsideADeliveryStopsLaterValues) {
    RxEvent<int> event;
    std::vector<int> seen;
    Cancellable c;
    c = event.sink(false, [&](int v) {
        seen.push_back(v);
        c.cancel();
    });
    event.send(1);
    event.send(2);
    EXPECT_EQ(seen, (std::vector<int>{1}));
}

TEST(RxEvent, AsyncSendReturnsBeforeSubscribersRunOnTheExecutor) {
    auto loop = std::make_shared<core::ManualRunLoop>();
    std::vector<int> calls;
    Cancellable c;
    {
        RxEvent<void> event;
        c = event.sink(false, [&] { calls.push_back(1); });
        event.asyncSend(loop);
        event.send();
        EXPECT_EQ(calls.size(), 1U); // only the synchronous send so far
    }
    // The posted job keeps the subject alive after the last event copy is gone.
    loop->runUntilIdle();
    EXPECT_EQ(calls.size(), 2U);

    // The owner form takes the owner alone for events without values.
    RxEvent<void> ping;
    auto screen = std::make_shared<Screen>();
    Cancellable d = ping.sink(false, screen, [](Screen& s) { ++s.refreshes; });
    ping.send();
    EXPECT_EQ(screen->refreshes.load(), 1);
}

TEST(RxEventSubscriptionManager, KeepsSubscriptionsUntilCancelAllOrItsEnd) {
    RxEvent<int> event;
    std::vector<int> seen;
    {
        core::rx::RxEventSubscriptionManager manager;
        manager.cancelAll(); // empty stays empty
        EXPECT_EQ(manager.count(), 0U);
        manager.subscribe(event, [&](int v) { seen.push_back(v); });
        manager.subscribe(event, [&](int v) { seen.push_back(v * 10); });
        event.send(1);
        manager.cancelAll();
        EXPECT_EQ(manager.count(), 0U);
        event.send(2);
        manager.subscribe(event, [&](int v) { seen.push_back(v * 100); });
        event.send(3);
    }
    event.send(4);
    EXPECT_EQ(seen, (std::vector<int>{1, 10, 300}));
}

} // namespace
