#include "core/rx_state.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(RxState, ReplaysTheCurrentValueAndPublishesEveryWrite) {
    const core::rx::RxState<int> state(5);
    std::vector<int> all;
    std::vector<int> later;
    auto a = state.sink(false, [&](int v) { all.push_back(v); });
    auto b = state.sink(true, [&](int v) { later.push_back(v); });
    EXPECT_EQ(all, std::vector<int>{5});
    EXPECT_TRUE(later.empty());

    const auto copy = state; // copies share the value
    copy.setValue(6);
    copy.setValue(6);
    state.modify([](int& v) { v *= 2; });
    EXPECT_EQ(all, (std::vector<int>{5, 6, 6, 12}));
    EXPECT_EQ(later, (std::vector<int>{6, 6, 12}));
    EXPECT_EQ(state.value(), 12);
}

TEST(RxState, AReleasedOwnerIsNotCalled) {
    const core::rx::RxState<int> state(1);
    auto owner = std::make_shared<std::vector<int>>();
    auto handle = state.sink(false, owner, [](std::vector<int>& o, int v) { o.push_back(v); });
    state.setValue(2);
    EXPECT_EQ(*owner, (std::vector<int>{1, 2}));
    std::weak_ptr<std::vector<int>> weak = owner;
    owner.reset();
    state.setValue(3);
    EXPECT_TRUE(weak.expired());
}

TEST(RxUserDefaults, StartsFromTheStoreAndSavesAfterPublishing) {
    auto store = core::UserDefaults::inMemory();
    const core::rx::RxUserDefaults<std::int64_t> count(7, "count", store);
    EXPECT_EQ(count.value(), 7);
    EXPECT_FALSE(store->object("count")); // the default is not stored

    std::vector<std::optional<std::int64_t>> storedDuringDelivery;
    auto handle = count.sink(
        true, [&](std::int64_t) { storedDuringDelivery.push_back(store->integer("count")); });
    count.update(8);
    count.update(8);
    EXPECT_EQ(storedDuringDelivery, (std::vector<std::optional<std::int64_t>>{std::nullopt, 8}));
    EXPECT_EQ(store->integer("count"), 8);
    EXPECT_EQ(core::rx::RxUserDefaults<std::int64_t>(0, "count", store).value(), 8);
}

} // namespace
