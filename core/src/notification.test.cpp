#include "core/notification.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST(Notification, ValuesReachOnlySubscribersOfTheirType) {
    const core::VtRxNotification changed("test.changed");
    int plainCalls = 0;
    std::vector<std::string> texts;
    std::vector<int> numbers;
    std::vector<double> reals;
    auto plain = changed.sink(nullptr, [&] { ++plainCalls; });
    auto text =
        changed.sinkValue<std::string>(nullptr, [&](const std::string& s) { texts.push_back(s); });
    auto number = changed.sinkValue<int>(nullptr, [&](int n) { numbers.push_back(n); });
    auto real = changed.sinkValue<double>(nullptr, [&](double d) { reals.push_back(d); });

    changed.send();
    changed.send(42);
    changed.send("hi");
    changed.send(2.5);
    changed.send(std::int64_t{1} << 40); // does not fit an int
    changed.send(INT64_MAX);             // no double holds it exactly

    EXPECT_EQ(plainCalls, 6);
    EXPECT_EQ(texts, std::vector<std::string>{"hi"});
    EXPECT_EQ(numbers, std::vector<int>{42});
    EXPECT_EQ(reals, (std::vector<double>{42.0, 2.5, 1099511627776.0}));
}

TEST(Notification, ALateSubscriberMissesEarlierPostsAndCancelledOnesHearNothing) {
    core::VtRxNotification first("test.late");
    first.send(1);
    int calls = 0;
    {
        auto handle =
            core::VtRxNotification("test.late").sinkValue<int>(nullptr, [&](int) { ++calls; });
        EXPECT_EQ(calls, 0);
        // Two instances made from the same text are one notification.
        first.send(2);
        EXPECT_EQ(calls, 1);
    }
    first.send(3);
    EXPECT_EQ(calls, 1);
}

TEST(Notification, ASenderFilterMatchesTheVeryObjectOnly) {
    const core::NotificationName name{"test.sender"};
    auto mine = std::make_shared<std::string>("mine");
    auto other = std::make_shared<std::string>("mine");
    std::vector<std::string> received;
    auto handle = core::sink(name, mine.get(), [&](const core::Notification& n) {
        received.push_back(*std::any_cast<std::shared_ptr<std::string>>(n.object));
    });
    core::send(name, other);
    core::send(name);
    core::send(name, mine);
    EXPECT_EQ(received, std::vector<std::string>{"mine"});
}

struct Counter {
    int count = 0;
    int get() const { return count; }
};

TEST(Notification, AValueWithAGetterThatGivesNoPointerHasNoIdentity) {
    const core::NotificationName name{"test.getter"};
    std::vector<int> counts;
    const void* sender = &counts;
    auto handle = core::sinkValue<Counter>(name, nullptr,
                                           [&](const Counter& c) { counts.push_back(c.get()); });
    auto any = core::sink(name, nullptr, [&](const core::Notification& n) { sender = n.sender; });
    core::send(name, Counter{3});
    EXPECT_EQ(counts, std::vector<int>{3});
    EXPECT_EQ(sender, nullptr);
}

TEST(Notification, ASubscriberMayPostFromInsideItsDelivery) {
    const core::NotificationName ping{"test.ping"};
    const core::NotificationName pong{"test.pong"};
    int pongs = 0;
    auto a = core::sink(ping, nullptr, [&] { core::send(pong); });
    auto b = core::sink(pong, nullptr, [&] { ++pongs; });
    core::send(ping);
    EXPECT_EQ(pongs, 1);
}

} // namespace
