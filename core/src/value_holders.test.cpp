#include "core/value_holders.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace core;

TEST(ValueHolders, ValueChange) {
    int seen = 0;
    ValueChange<int>::changed(4).caseChanged([&](int v) { seen = v; });
    ValueChange<int>::same().caseChanged([&](int) { seen = -1; });
    EXPECT_EQ(seen, 4);
    EXPECT_TRUE(ValueChange<int>::same().isSame());
    EXPECT_FALSE(ValueChange<int>::changed(0).isSame());
}

TEST(ValueHolders, OptionalSomeValueFallsBackToItsDefault) {
    VtOptionalSomeValue<std::vector<int>> holder(std::vector<int>{9});
    EXPECT_EQ(holder.get(), std::vector<int>{9});
    EXPECT_FALSE(holder.innerValue());
    holder.modify([](std::vector<int>& v) { v.push_back(1); });
    EXPECT_EQ(holder.innerValue(), (std::vector<int>{9, 1}));
    VtOptionalSomeValue<int> number(3, 5);
    EXPECT_EQ(number.get(), 5);
    number.set(3);
    EXPECT_EQ(number.innerValue(), 3);
}

TEST(ValueHolders, TrimmedKeepsLineBreaksAndInnerSpaces) {
    Trimmed text(" \ta b\t ");
    EXPECT_EQ(text.get(), "a b");
    text.set("\nx \n");
    EXPECT_EQ(text.get(), "\nx \n");
    text.set("    ");
    EXPECT_EQ(text.get(), "");
    text.modify([](std::string& s) { s = "  y  "; });
    EXPECT_EQ(text.get(), "y");
}

TEST(ValueHolders, LazyValueComputesOnceUntilReset) {
    int calls = 0;
    VtLazyValue<int> lazy(std::nullopt, [&] { return ++calls * 10; });
    EXPECT_EQ(lazy.get(), 10);
    EXPECT_EQ(lazy.get(), 10);
    EXPECT_EQ(calls, 1);
    lazy.reset();
    EXPECT_EQ(lazy.get(), 20);
    lazy.set(7);
    lazy.get();
    EXPECT_EQ(calls, 2);
    VtLazyValue<int> preset(5, [&] { return ++calls; });
    EXPECT_EQ(preset.get(), 5);
    EXPECT_EQ(calls, 2);
}

TEST(ValueHolders, NullableLazyValueRemembersAbsence) {
    int calls = 0;
    VtLazyNuallableValue<int> lazy([&]() -> std::optional<int> {
        ++calls;
        return std::nullopt;
    });
    EXPECT_FALSE(lazy.get());
    EXPECT_FALSE(lazy.get());
    EXPECT_EQ(calls, 1);
    lazy.reset();
    EXPECT_FALSE(lazy.get());
    EXPECT_EQ(calls, 2);
}

TEST(ValueHolders, WeakLazyValueIsNotReloadedAfterItsObjectGoes) {
    int calls = 0;
    VtLazyLoadingNuallableWeakValue<int> orphan([&] {
        ++calls;
        return std::make_shared<int>(1);
    });
    EXPECT_EQ(orphan.get(), nullptr);
    EXPECT_EQ(orphan.get(), nullptr);
    EXPECT_EQ(calls, 1);

    auto kept = std::make_shared<int>(2);
    VtLazyLoadingNuallableWeakValue<int> weak([&] {
        ++calls;
        return kept;
    });
    EXPECT_EQ(weak.get(), kept);
    kept.reset();
    EXPECT_EQ(weak.get(), nullptr);
    EXPECT_EQ(calls, 2);
    weak.reset();
    weak.get();
    EXPECT_EQ(calls, 3);
}

TEST(ValueHolders, OneTimeRunnerIgnoresReentrantAndLaterRuns) {
    std::vector<int> seen;
    std::unique_ptr<VtOneTimeRunner<int>> runner;
    runner = std::make_unique<VtOneTimeRunner<int>>([&](int v) {
        seen.push_back(v);
        runner->run(v + 1);
    });
    runner->run(1);
    runner->run(2);
    EXPECT_EQ(seen, std::vector<int>{1});
    EXPECT_EQ(UncheckedSendable<std::string>("s").value(), "s");
}

} // namespace
