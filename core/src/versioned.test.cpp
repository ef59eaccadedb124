#include "core/versioned.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using core::Versioned;

TEST(Versioned, EveryWriteRenewsTheVersionAndEqualityIgnoresTheValue) {
    Versioned<int> held(1);
    const core::Uuid first = held.version();
    held.set(1);
    const core::Uuid second = held.version();
    held.set(1);
    EXPECT_NE(first, second);
    EXPECT_NE(second, held.version());
    EXPECT_EQ(held.value(), 1);

    EXPECT_NE(Versioned<int>(5), Versioned<int>(5));

    Versioned<int> copy = held;
    EXPECT_EQ(copy, held);
    copy.set(2);
    EXPECT_NE(copy, held);
    EXPECT_EQ(held.value(), 1);

    const core::Uuid beforeNew = held.version();
    held.setNewVersion();
    EXPECT_NE(held.version(), beforeNew);
    EXPECT_EQ(held.value(), 1);
}

TEST(Versioned, ModifyRenewsOnceEvenWithoutAChange) {
    Versioned<std::vector<int>> list(std::vector<int>{1, 2});
    const core::Uuid before = list.version();
    int calls = 0;
    list.modify([&](std::vector<int>&) { ++calls; });
    EXPECT_EQ(calls, 1);
    EXPECT_NE(list.version(), before);
    list.modify([](std::vector<int>& v) { v.push_back(3); });
    EXPECT_EQ(list.value(), (std::vector<int>{1, 2, 3}));
}

TEST(Versioned, MapKeepsTheVersion) {
    const Versioned<int> number(42);
    const Versioned<std::string> text = number.map([](int v) { return std::to_string(v); });
    EXPECT_EQ(text.version(), number.version());
    EXPECT_EQ(text.value(), "42");
    const Versioned<std::string> empty;
    EXPECT_EQ(empty.value(), "");
}

} // namespace
