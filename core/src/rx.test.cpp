#include "core/rx.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace std::chrono_literals;
using core::rx::Cancellable;
using core::rx::CurrentValueSubject;
using core::rx::PassthroughSubject;

namespace {

// Built by appending: GCC 12 warns falsely about `"literal" + std::string` under -O3.
std::string tagged(const char* tag, int value) {
    std::string text(tag);
    text += std::to_string(value);
    return text;
}

TEST(Subject, DeliversInSubscriptionOrderAndCancelsOnDestruction) {
    PassthroughSubject<int> subject;
    std::vector<std::string> seen;
    subject.send(0); // nobody listens: gone
    {
        Cancellable a = subject.sink([&](int v) { seen.push_back(tagged("a", v)); });
        Cancellable b = subject.sink([&](int v) { seen.push_back(tagged("b", v)); });
        subject.send(1);
        b.cancel();
        subject.send(2);
    }
    subject.send(3);
    EXPECT_EQ(seen, (std::vector<std::string>{"a1", "b1", "a2"}));
    EXPECT_EQ(subject.subscriberCount(), 0U);

    // A moved handle keeps the subscription; assigning over a handle cancels what it held.
    int count = 0;
    Cancellable first = subject.sink([&](int) { ++count; });
    Cancellable moved = std::move(first);
    subject.send(4);
    moved = subject.sink([&](int) { count += 100; });
    subject.send(5);
    EXPECT_EQ(count, 101);
}

TEST(Subject, CompletionEndsTheStreamForPresentAndLaterSubscribers) {
    PassthroughSubject<int> subject;
    std::vector<int> values;
    int finished = 0;
    Cancellable a = subject.sink([&](int v) { values.push_back(v); },
                                 [&](core::rx::Completion c) { finished += c ? 100 : 1; });
    subject.send(1);
    subject.sendCompletion();
    subject.send(2);
    subject.sendCompletion(std::make_exception_ptr(std::runtime_error("late")));
    Cancellable late = subject.sink([&](int v) { values.push_back(v); },
                                    [&](core::rx::Completion c) { finished += c ? 100 : 1; });
    EXPECT_EQ(values, (std::vector<int>{1}));
    EXPECT_EQ(finished, 2);
}

TEST(Subject, SubscribersMaySendSubscribeAndCancelFromInsideADelivery) {
    PassthroughSubject<int> subject;
    std::vector<std::string> seen;
    std::optional<Cancellable> self;
    std::optional<Cancellable> other;
    std::optional<Cancellable> added;
    self = subject.sink([&](int v) {
        seen.push_back(tagged("self", v));
        if (v == 1) {
            subject.send(10); // re-entrant send: delivered at once, nested
            added = subject.sink([&](int w) { seen.push_back(tagged("added", w)); });
        }
        if (v == 2) {
            self->cancel(); // cancels itself mid-delivery; its closure stays alive until it returns
            other.reset();  // and another subscriber, which then misses this value
            seen.push_back(tagged("after-cancel", v));
        }
    });
    other = subject.sink([&](int v) { seen.push_back(tagged("other", v)); });
    subject.send(1);
    subject.send(2);
    subject.send(3);
    EXPECT_EQ(seen, (std::vector<std::string>{"self1", "self10", "other10", "other1", "self2",
                                              "after-cancel2", "added2", "added3"}));
}

TEST(Subject, AThrowingSubscriberDoesNotKeepTheValueFromTheOthers) {
    PassthroughSubject<int> subject;
    int got = 0;
    Cancellable bad = subject.sink([](int) { throw std::runtime_error("subscriber bug"); });
    Cancellable good = subject.sink([&](int v) { got = v; });
    subject.send(5);
    EXPECT_EQ(got, 5);
}

TEST(CurrentValueSubject, GivesTheCurrentValueFirstThenStoresBeforePublishing) {
    CurrentValueSubject<std::string> subject("a");
    std::vector<std::string> seen;
    Cancellable c = subject.sink([&](const std::string& v) {
        seen.push_back(v + "/" + subject.value()); // the stored value is the new one already
    });
    subject.send("b");
    subject.send("b");
    EXPECT_EQ(seen, (std::vector<std::string>{"a/a", "b/b", "b/b"}));
}

TEST(Operators, DropFirstAndMap) {
    CurrentValueSubject<int> subject(1);
    std::vector<std::string> seen;
    Cancellable c = subject.publisher()
                        .dropFirst()
                        .map([](int v) { return std::to_string(v * 2); })
                        .sink([&](const std::string& v) { seen.push_back(v); });
    subject.send(2);
    subject.send(3);
    EXPECT_EQ(seen, (std::vector<std::string>{"4", "6"}));

    std::vector<int> afterTwo;
    PassthroughSubject<int> events;
    Cancellable d = events.publisher().dropFirst(2).sink([&](int v) { afterTwo.push_back(v); });
    for (int i = 1; i <= 4; ++i) {
        events.send(i);
    }
    EXPECT_EQ(afterTwo, (std::vector<int>{3, 4}));
}

TEST(Operators, CombineLatestWaitsForEveryInputThenDeliversEachChange) {
    CurrentValueSubject<int> kind(0);
    PassthroughSubject<std::string> places;
    CurrentValueSubject<bool> flag(false);
    std::vector<std::tuple<int, std::tuple<std::string, bool>>> seen;
    Cancellable c =
        core::rx::combineLatest(kind.publisher(),
                                core::rx::combineLatest(places.publisher(), flag.publisher()))
            .sink([&](const auto& t) { seen.push_back(t); });
    kind.send(1); // `places` has nothing yet
    EXPECT_TRUE(seen.empty());
    places.send("one");
    flag.send(true);
    kind.send(2);
    ASSERT_EQ(seen.size(), 3U);
    EXPECT_EQ(seen[0], std::make_tuple(1, std::make_tuple(std::string("one"), false)));
    EXPECT_EQ(seen[1], std::make_tuple(1, std::make_tuple(std::string("one"), true)));
    EXPECT_EQ(seen[2], std::make_tuple(2, std::make_tuple(std::string("one"), true)));

    // Ends when all inputs have ended; fails as soon as one fails.
    PassthroughSubject<int> a;
    PassthroughSubject<int> b;
    int ends = 0;
    Cancellable e =
        core::rx::combineLatest(a.publisher(), b.publisher())
            .sink([](const auto&) {}, [&](core::rx::Completion f) { ends += f ? 10 : 1; });
    a.sendCompletion();
    EXPECT_EQ(ends, 0);
    b.sendCompletion(std::make_exception_ptr(std::runtime_error("b failed")));
    EXPECT_EQ(ends, 10);
}

TEST(Operators, DebounceDeliversTheLastValueOfABurstOnItsExecutor) {
    auto loop = std::make_shared<core::ManualRunLoop>();
    PassthroughSubject<int> subject;
    std::vector<std::pair<int, core::Duration>> seen;
    Cancellable c = subject.publisher().debounce(300ms, loop).sink([&](int v) {
        seen.emplace_back(v, loop->now());
    });
    subject.send(1);
    loop->advance(100ms);
    subject.send(2);
    loop->advance(299ms);
    EXPECT_TRUE(seen.empty());
    loop->advance(1ms);
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0], std::make_pair(2, core::Duration(400ms)));

    // A value pending when the subscription is cancelled is never delivered.
    subject.send(3);
    c.cancel();
    loop->advance(1s);
    EXPECT_EQ(seen.size(), 1U);

    // A normal end delivers the waiting value first.
    std::vector<int> flushed;
    bool finished = false;
    Cancellable d = subject.publisher()
                        .debounce(300ms, loop)
                        .sink([&](int v) { flushed.push_back(v); },
                              [&](core::rx::Completion) { finished = true; });
    subject.send(4);
    subject.sendCompletion();
    EXPECT_EQ(flushed, (std::vector<int>{4}));
    EXPECT_TRUE(finished);
}

TEST(Operators, ReplaceErrorAndIgnoreError) {
    PassthroughSubject<int> source;
    std::vector<int> replaced;
    std::vector<int> ignored;
    int ends = 0;
    Cancellable a = source.publisher()
                        .replaceError([](std::exception_ptr) { return -1; })
                        .sink([&](int v) { replaced.push_back(v); },
                              [&](core::rx::Completion c) { ends += c ? 100 : 1; });
    Cancellable b = source.publisher().ignoreError().sink(
        [&](int v) { ignored.push_back(v); }, [&](core::rx::Completion c) { ends += c ? 100 : 1; });
    source.send(1);
    source.send(2);
    source.sendCompletion(std::make_exception_ptr(std::runtime_error("upstream failed")));
    EXPECT_EQ(replaced, (std::vector<int>{1, 2, -1}));
    EXPECT_EQ(ignored, (std::vector<int>{1, 2}));
    EXPECT_EQ(ends, 2); // both finished normally
}

TEST(Future, RunsItsActionAtOnceAndReplaysTheFirstOutcome) {
    int runs = 0;
    auto future = core::rx::Future<int>::from([&] { return ++runs * 10; });
    EXPECT_EQ(runs, 1); // nobody has subscribed yet
    std::vector<int> seen;
    Cancellable a = future.sink([&](int v) { seen.push_back(v); });
    Cancellable b = future.sink([&](int v) { seen.push_back(v + 1); });
    EXPECT_EQ(seen, (std::vector<int>{10, 11}));
    EXPECT_EQ(runs, 1);

    auto failed = core::rx::Future<int>::from([]() -> int { throw std::runtime_error("no"); });
    bool failure = false;
    Cancellable c =
        failed.sink([](int) {}, [&](core::rx::Completion e) { failure = e != nullptr; });
    EXPECT_TRUE(failure);

    // Callback form: the first completion wins, later ones are ignored.
    core::rx::Future<int>::Promise kept;
    auto callback = core::rx::Future<int>::from([&](core::rx::Future<int>::Promise promise) {
        promise(core::rx::Outcome<int>(std::in_place_index<0>, 5));
        promise(core::rx::Outcome<int>(std::in_place_index<0>, 6));
        kept = promise;
    });
    int got = 0;
    Cancellable d = callback.sink([&](int v) { got = v; });
    EXPECT_EQ(got, 5);

    // A completion handed over later still reaches waiting subscribers once.
    core::rx::Future<std::string>::Promise later;
    auto pending = core::rx::Future<std::string>::from(
        [&](core::rx::Future<std::string>::Promise promise) { later = promise; });
    std::vector<std::string> texts;
    Cancellable e = pending.sink([&](const std::string& v) { texts.push_back(v); });
    later(core::rx::Outcome<std::string>(std::in_place_index<0>, "done"));
    later(core::rx::Outcome<std::string>(std::in_place_index<0>, "again"));
    EXPECT_EQ(texts, (std::vector<std::string>{"done"}));
}

// Eight threads send distinct values while other threads subscribe and cancel in a loop.
// Subscribers present throughout see every value exactly once; a churning subscriber sees no
// value twice and always sees the values its own thread sent while it was subscribed.
TEST(SubjectThreads, ConcurrentSendsWithSubscribersComingAndGoing) {
    constexpr int kSenders = 8;
    constexpr int kPerSender = 2000;
    constexpr int kChurners = 4;
    PassthroughSubject<int> subject;

    std::vector<std::atomic<int>> counts(static_cast<std::size_t>(kSenders * kPerSender));
    std::atomic<long> total{0};
    Cancellable steady = subject.sink([&](int v) {
        if (v >= 0) {
            counts[static_cast<std::size_t>(v)].fetch_add(1);
        }
        total.fetch_add(1);
    });
    std::atomic<int> steadyCombined{0};
    Cancellable combined = subject.publisher()
                               .map([](int v) { return v % 2; })
                               .debounce(0ms, core::background())
                               .sink([&](int) { steadyCombined.fetch_add(1); });

    std::atomic<bool> stop{false};
    std::atomic<int> churnFailures{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < kChurners; ++c) {
        threads.emplace_back([&, c] {
            int round = 0;
            while (!stop.load()) {
                std::mutex mutex;
                std::multiset<int> seen;
                Cancellable handle = subject.sink([&](int v) {
                    std::lock_guard lock(mutex);
                    seen.insert(v);
                });
                const int own = -1 - (c * 1'000'000 + round++);
                subject.send(own); // sent while subscribed: must arrive, once
                handle.cancel();
                subject.send(own - 500'000); // sent after cancel returned: must not arrive
                std::lock_guard lock(mutex);
                if (seen.count(own) != 1 || seen.count(own - 500'000) != 0) {
                    ++churnFailures;
                }
                for (auto it = seen.begin(); it != seen.end(); it = seen.upper_bound(*it)) {
                    if (seen.count(*it) != 1) {
                        ++churnFailures;
                    }
                }
            }
        });
    }
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&, s] {
            for (int i = 0; i < kPerSender; ++i) {
                subject.send(s * kPerSender + i);
            }
        });
    }
    for (std::thread& t : senders) {
        t.join();
    }
    stop = true;
    for (std::thread& t : threads) {
        t.join();
    }
    steady.cancel();
    combined.cancel();

    long regular = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        ASSERT_EQ(counts[i].load(), 1) << "value " << i;
        ++regular;
    }
    EXPECT_EQ(regular, kSenders * kPerSender);
    EXPECT_EQ(churnFailures.load(), 0);
    // The churners' own values reach the steady subscriber too (negative, not counted above).
    EXPECT_GE(total.load(), kSenders * kPerSender);
}

TEST(SubjectThreads, CancelWaitsForADeliveryRunningOnAnotherThread) {
    PassthroughSubject<int> subject;
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    Cancellable handle = subject.sink([&](int) {
        inside = true;
        std::this_thread::sleep_for(50ms);
        finished = true;
    });
    std::thread sender([&] { subject.send(1); });
    while (!inside) {
        std::this_thread::yield();
    }
    handle.cancel();
    EXPECT_TRUE(finished.load()); // the closure is not running once cancel() returned
    sender.join();
}

} // namespace
