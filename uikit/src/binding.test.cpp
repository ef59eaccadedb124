#include "uikit/binding.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace std::chrono_literals;

// A value in shared storage with a binding over it that records every write.
template <class T>
struct Stored {
    explicit Stored(T initial) : value(std::make_shared<T>(std::move(initial))) {}
    std::shared_ptr<T> value;
    std::shared_ptr<std::vector<T>> writes = std::make_shared<std::vector<T>>();
    uikit::Binding<T> binding() const {
        return uikit::Binding<T>([v = value] { return *v; },
                                 [v = value, w = writes](const T& x) {
                                     *v = x;
                                     w->push_back(x);
                                 });
    }
};

TEST(Binding, ToBooleanReadsPresenceAndOnlyEverClears) {
    Stored<std::optional<int>> error(7);
    const auto presented = error.binding().toBoolean();
    EXPECT_TRUE(presented.get());
    presented.set(true);
    EXPECT_EQ(*error.value, 7);
    presented.set(false);
    EXPECT_EQ(*error.value, std::nullopt);
    EXPECT_FALSE(presented.get());
    presented.set(true);
    EXPECT_EQ(*error.value, std::nullopt) << "writing true never makes a value";
}

TEST(Binding, ToBooleanWithAPredicateOrAnExpressionEvaluatedOnEachRead) {
    Stored<std::optional<int>> number(std::nullopt);
    const auto big = number.binding().toBoolean([](const int& n) { return n > 10; });
    int expected = 3;
    const auto isExpected = number.binding().toBoolean([&expected] { return expected; });
    EXPECT_FALSE(big.get());
    EXPECT_FALSE(isExpected.get());
    *number.value = 3;
    EXPECT_FALSE(big.get());
    EXPECT_TRUE(isExpected.get());
    expected = 4;
    EXPECT_FALSE(isExpected.get());
    *number.value = 11;
    EXPECT_TRUE(big.get());
    isExpected.set(true);
    EXPECT_EQ(*number.value, 11);
    big.set(false);
    EXPECT_EQ(*number.value, std::nullopt);
}

TEST(Binding, ToSomeMapsTheDefaultToAbsentOnlyWhenAsked) {
    Stored<std::optional<int>> digits(std::nullopt);
    const auto clearing = digits.binding().toSome(0, true);
    EXPECT_EQ(clearing.get(), 0);
    clearing.set(0);
    EXPECT_EQ(*digits.value, std::nullopt);
    clearing.set(5);
    EXPECT_EQ(*digits.value, 5);
    EXPECT_EQ(clearing.get(), 5);
    clearing.set(0);
    EXPECT_EQ(*digits.value, std::nullopt);

    const auto keeping = digits.binding().toSome(0, false);
    keeping.set(0);
    EXPECT_EQ(*digits.value, 0);
}

TEST(Binding, ToOptionalNeverReadsAbsentAndStoresTheDefaultForAbsent) {
    Stored<int> count(9);
    const auto optional = count.binding().toOptional(1);
    EXPECT_EQ(optional.get(), 9);
    optional.set(std::nullopt);
    EXPECT_EQ(*count.value, 1);
    optional.set(4);
    EXPECT_EQ(*count.value, 4);
}

TEST(Binding, NotNegatesBothWays) {
    Stored<bool> fixed(true);
    const auto notFixed = not fixed.binding();
    EXPECT_FALSE(notFixed.get());
    notFixed.set(true);
    EXPECT_FALSE(*fixed.value);
    EXPECT_TRUE(notFixed.get());
}

TEST(Binding, CeiledRoundsUpOnWriteOnly) {
    Stored<double> amount(2.5);
    const auto ceiled = amount.binding().ceiled();
    EXPECT_EQ(ceiled.get(), 2.5) << "reading never rounds";
    ceiled.set(2.1);
    EXPECT_EQ(*amount.value, 3.0);
    ceiled.set(-2.5);
    EXPECT_EQ(*amount.value, -2.0);
    ceiled.set(4.0);
    EXPECT_EQ(*amount.value, 4.0);
    Stored<float> width(0.f);
    width.binding().ceiled().set(1.25f);
    EXPECT_EQ(*width.value, 2.f);
}

TEST(Binding, DebouncedWritesTheBaseOnceWithTheLastValueAfterTheQuietInterval) {
    auto loop = std::make_shared<core::ManualRunLoop>();
    Stored<int> base(1);
    const auto debounced = base.binding().debounced(300ms, loop);
    EXPECT_EQ(debounced.get(), 1);
    loop->advance(1s);
    EXPECT_TRUE(base.writes->empty()) << "creating the binding writes nothing back";

    debounced.set(2);
    loop->advance(100ms);
    debounced.set(3);
    loop->advance(100ms);
    debounced.set(4);
    EXPECT_EQ(debounced.get(), 4) << "a write reads back at once";
    EXPECT_EQ(*base.value, 1);
    loop->advance(299ms);
    EXPECT_TRUE(base.writes->empty());
    loop->advance(1ms);
    EXPECT_EQ(*base.writes, std::vector<int>{4});
}

TEST(Binding, DebouncedOnMainUsesTheMainLoopAndDiesWithItsLastCopy) {
    auto loop = std::make_shared<core::ManualRunLoop>();
    core::ScopedMainLoop scope(loop);
    Stored<int> base(0);
    {
        const auto debounced = base.binding().debouncedOnMain(0.3);
        debounced.set(5);
        loop->advance(300ms);
        EXPECT_EQ(*base.writes, std::vector<int>{5});
        debounced.set(6);
    }
    loop->advance(1s);
    EXPECT_EQ(*base.writes, std::vector<int>{5})
        << "a write pending when the binding went is dropped";
}

TEST(Binding, SecondsBecomeSafeDelays) {
    EXPECT_EQ(uikit::secondsToDuration(std::numeric_limits<double>::quiet_NaN()), 0ns);
    EXPECT_EQ(uikit::secondsToDuration(-3), 0ns);
    EXPECT_EQ(uikit::secondsToDuration(0.25), 250ms);
    EXPECT_EQ(uikit::secondsToDuration(std::numeric_limits<double>::infinity()),
              uikit::secondsToDuration(1e300));
    EXPECT_EQ(uikit::secondsToDuration(1e300), std::chrono::milliseconds(2'147'483'647));
}

} // namespace
