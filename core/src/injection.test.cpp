#include "core/injection.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct GreetingKey {
    using Value = std::string;
    static core::SharedInjectionValue<std::string>& sharedValue() {
        static core::SharedInjectionValue<std::string> value("hello");
        return value;
    }
};
using Greeting = core::KeyProperty<GreetingKey>;

struct CountingProperty {
    using Value = int;
    static inline int reads = 0;
    static int get() { return ++reads; }
};

struct SerialKey {
    using Value = int;
    static inline int made = 0;
    static int makeValue() { return ++made; }
};

TEST(Injection, AWrapperMadeEarlierSeesALaterReplacement) {
    const core::Injected<Greeting> injected;
    EXPECT_EQ(injected.wrappedValue(), "hello");
    core::VtInjectedValues::set<Greeting>("bonjour");
    EXPECT_EQ(*injected, "bonjour");
    core::VtInjectedValues::modify<Greeting>([](std::string& s) { s += "!"; });
    EXPECT_EQ(core::VtInjectedValues::get<Greeting>(), "bonjour!");
    core::VtInjectedValues::set<Greeting>("hello");
}

TEST(Injection, EveryReadRunsTheGetter) {
    const core::Injected<CountingProperty> injected;
    const int before = CountingProperty::reads;
    (void)injected.wrappedValue();
    (void)injected.wrappedValue();
    EXPECT_EQ(CountingProperty::reads, before + 2);
    const int first = core::Injected<core::DynamicKeyProperty<SerialKey>>().wrappedValue();
    const int second = core::VtInjectedValues::get<core::DynamicKeyProperty<SerialKey>>();
    EXPECT_EQ(second, first + 1);
}

TEST(Injection, ReplacingWhileOthersReadIsSafe) {
    core::VtInjectedValues::set<Greeting>("");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 2000; ++i) {
                if (t % 2 == 0) {
                    core::VtInjectedValues::set<Greeting>(
                        std::string(static_cast<size_t>(i % 50), 'x'));
                } else {
                    const std::string value = core::VtInjectedValues::get<Greeting>();
                    EXPECT_EQ(value.find_first_not_of('x'), std::string::npos);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    core::VtInjectedValues::set<Greeting>("hello");
}

} // namespace
