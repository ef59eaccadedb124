#include "core/collection.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace {

struct Item {
    int id;
    int key;
    std::string group;
};

TEST(Collection, ExtremesCallTheKeyOncePerElementAndKeepTheEarliestTie) {
    const std::vector<Item> items{{0, 3, "a"}, {1, 1, "b"}, {2, 1, "a"}};
    int calls = 0;
    const auto counted = [&](const Item& item) {
        ++calls;
        return item.key;
    };
    EXPECT_EQ(core::minBy(items, counted)->id, 1);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(core::minOf(items, counted), 1);
    EXPECT_EQ(core::maxOf(items, &Item::key), 3);

    const std::vector<Item> fives{{0, 5, ""}, {1, 2, ""}, {2, 5, ""}};
    EXPECT_EQ(core::maxBy(fives, &Item::key)->id, 0);

    const std::vector<std::pair<int, int>> pairs{{2, 0}, {7, 1}, {7, 2}};
    EXPECT_EQ(core::maxBy(pairs, [](auto p) { return p.first; })->second, 1);
    EXPECT_EQ(core::max(std::vector<int>{2, 7, 7}), 7);
    EXPECT_EQ(core::min(std::vector<int>{4, 1, 9}), 1);

    calls = 0;
    const std::vector<Item> none;
    EXPECT_FALSE(core::minBy(none, counted));
    EXPECT_FALSE(core::max(std::vector<int>{}));
    EXPECT_EQ(core::sumOf(none, counted), 0);
    EXPECT_EQ(calls, 0);
}

TEST(Collection, SumsSaturateInsteadOfOverflowing) {
    EXPECT_EQ(core::sum(std::vector<int>{1, 2, 3}), 6);
    EXPECT_DOUBLE_EQ(core::sumOf(std::vector<double>{0.5, 0.25}, [](double v) { return v; }), 0.75);
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(core::sum(std::vector<std::int64_t>{kMax, 1, 5}), kMax);
    EXPECT_EQ(core::sum(std::vector<std::int64_t>{kMin, -1}), kMin);
    EXPECT_EQ(core::sum(std::vector<std::uint8_t>{200, 100}), 255);
}

TEST(Collection, RemoveFirstAndPositionalReads) {
    std::vector<int> values{1, 2, 3, 2};
    EXPECT_EQ(core::removeFirst(values, [](int v) { return v == 2; }), 2);
    EXPECT_EQ(values, (std::vector<int>{1, 3, 2}));
    EXPECT_FALSE(core::removeFirst(values, [](int v) { return v == 9; }));
    EXPECT_EQ(values.size(), 3U);

    const std::vector<int> four{1, 2, 3, 4};
    EXPECT_EQ(core::firstReverseOrder(four, [](int v) { return v % 2 == 0; }), 4);
    EXPECT_FALSE(core::firstReverseOrder(four, [](int v) { return v > 4; }));
    EXPECT_EQ(core::elementAt(four, 0), 1);
    EXPECT_FALSE(core::elementAt(four, -1));
    EXPECT_FALSE(core::elementAt(four, 4));
    EXPECT_FALSE(core::elementAt(std::vector<int>{}, 0));
}

TEST(Collection, MultiplicitiesAndDistinct) {
    using V = std::vector<int>;
    EXPECT_TRUE(core::containsSameElements(V{1, 1, 2}, V{1, 2, 1}));
    EXPECT_FALSE(core::containsSameElements(V{1, 1, 2}, V{1, 2, 2}));
    EXPECT_FALSE(core::containsSameElements(V{1}, V{1, 1}));
    EXPECT_TRUE(core::containsSameElements(V{}, V{}));
    EXPECT_EQ(core::distincted(V{3, 1, 3, 2, 1}), (V{3, 1, 2}));
    std::vector<std::pair<int, int>> calls;
    const auto byTens = core::distincted(V{11, 25, 17}, [&](int kept, int candidate) {
        calls.emplace_back(kept, candidate);
        return kept / 10 == candidate / 10;
    });
    EXPECT_EQ(byTens, (V{11, 25}));
    EXPECT_EQ(calls.front(), std::make_pair(11, 25));
    EXPECT_EQ(core::toSet(V{1, 1, 2}).size(), 2U);
}

TEST(Collection, CreationMappingAndIndexing) {
    int calls = 0;
    EXPECT_TRUE(core::create(0, [&](std::int64_t) { return ++calls; }).empty());
    EXPECT_TRUE(core::create(-4, [&](std::int64_t) { return ++calls; }).empty());
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(core::create(3, [](std::int64_t i) { return i * i; }),
              (std::vector<std::int64_t>{0, 1, 4}));
    EXPECT_EQ(core::mapWithIndex(
                  std::vector<std::string>{"a", "b"},
                  [](std::int64_t i, const std::string& s) { return s + std::to_string(i); }),
              (std::vector<std::string>{"a0", "b1"}));

    const std::vector<int> all{0, 1, 2, 3, 4, 50, 60, 70};
    const auto boxes = core::indexed(std::span(all).subspan(5));
    ASSERT_EQ(boxes.size(), 3U);
    EXPECT_EQ(boxes[0].index, 0);
    EXPECT_EQ(boxes[2].index, 2);
    EXPECT_EQ(boxes[2].value, 70);

    EXPECT_TRUE(core::isNilOrEmpty(std::optional<std::vector<int>>()));
    EXPECT_TRUE(core::isNilOrEmpty(std::optional<std::vector<int>>(std::vector<int>{})));
    EXPECT_FALSE(core::nilIfEmpty(std::vector<int>{}));
    EXPECT_TRUE(core::notEmpty(all));
}

TEST(Collection, KeyPathOperations) {
    const std::vector<Item> items{{0, 3, "a"}, {1, 1, "b"}, {2, 1, "a"}, {3, 2, "b"}};
    EXPECT_EQ(core::map(items, &Item::id), (std::vector<int>{0, 1, 2, 3}));
    const auto byKey = core::map(core::sorted(items, &Item::key), &Item::id);
    EXPECT_EQ(byKey, (std::vector<int>{1, 2, 3, 0}));
    const auto groups = core::grouped(items, &Item::group);
    EXPECT_EQ(core::map(groups.at("a"), &Item::id), (std::vector<int>{0, 2}));
    EXPECT_EQ(core::map(groups.at("b"), &Item::id), (std::vector<int>{1, 3}));
    EXPECT_EQ(core::count(items, [](const Item& i) { return i.key == 1; }), 2);
    int visited = 0;
    EXPECT_TRUE(core::anySatisfy(items, [&](const Item& i) {
        ++visited;
        return i.key == 1;
    }));
    EXPECT_EQ(visited, 2);
}

} // namespace
