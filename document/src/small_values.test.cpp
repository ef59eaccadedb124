#include "document/dezuduz_document_color_utility.hpp"
#include "document/gcd_locker.hpp"
#include "document/json_project.hpp"
#include "document/lazy_loading_value.hpp"
#include "document/task_url.hpp"
#include "document/zoz_task_cost.hpp"
#include "document/zoz_task_work.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace document {
namespace {

TEST(ColorUtilityTest, TableEdges) {
    using U = DezuduzDocumentColorUtility;
    EXPECT_EQ(U::newColorIndex(0, std::nullopt), 69);
    EXPECT_EQ(U::newColorIndex(17, std::nullopt), 149);
    EXPECT_EQ(U::newColorIndex(8, 5), 40); // a valid old index wins over the default
    EXPECT_EQ(U::newColorIndex(18, 5), 5);
    EXPECT_EQ(U::newColorIndex(-1, 5), 5);
    EXPECT_EQ(U::newColorIndex(std::nullopt, std::nullopt), 69);
    EXPECT_EQ(U::newColorIndex(99, std::nullopt), 69);
}

TEST(GCDLockerTest, SyncIsExclusiveAndReturnsResults) {
    GCDLocker locker("test.lock");
    EXPECT_EQ(locker.label(), "test.lock");
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                locker.sync([&] { ++counter; });
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(locker.sync([&] { return counter; }), 40000);
}

TEST(LazyLoadingValueTest, AbsentResultIsComputedOnce) {
    int calls = 0;
    LazyLoadingNuallableValue<int> lazy([&]() -> std::optional<int> {
        ++calls;
        return std::nullopt;
    });
    EXPECT_FALSE(lazy.value().has_value());
    EXPECT_FALSE(lazy.value().has_value());
    EXPECT_EQ(calls, 1);
    lazy.clear();
    EXPECT_FALSE(lazy.isCalculated());
    (void)lazy.value();
    EXPECT_EQ(calls, 2);

    int computed = 0;
    LazyLoadingValue<int> plain([&] { return ++computed; });
    EXPECT_EQ(plain.value(), 1);
    EXPECT_EQ(plain.value(), 1);
}

TEST(ZozTaskWorkTest, RawForms) {
    EXPECT_TRUE(ZozTaskWork::fromRawData(7, 3.5).isByResource());
    const auto raw = ZozTaskWork::fromRawData(7, 3.5).raw();
    EXPECT_EQ(raw.index, 0);
    EXPECT_FALSE(raw.unit.has_value());
    EXPECT_EQ(ZozTaskWork::fromRawData(1, 8), ZozTaskWork::fixDailyWork(8));
    EXPECT_EQ(ZozTaskWork::fromRawData(2, 16), ZozTaskWork::fixAmount(16));
    EXPECT_EQ(ZozTaskWork::fixAmount(16).raw().unit, 16.0);
    EXPECT_FALSE(ZozTaskWork::fixAmount(16).isEqual({2, std::nullopt}));
    EXPECT_TRUE(ZozTaskWork::fixAmount(16).isEqual({2, 16.0}));
    EXPECT_FALSE(ZozTaskWork::fixDailyWork(16).isEqual({2, 16.0}));
    EXPECT_TRUE(ZozTaskWork::byResource().isEqual({0, 4.0}));
    EXPECT_FALSE(ZozTaskWork::byResource().isEqual({1, 4.0}));
    // Its JSON form.
    EXPECT_EQ(JsonWorkData::make(ZozTaskWork::fixDailyWork(6)), (JsonWorkData{1, 6.0}));
    EXPECT_EQ(JsonWorkData::make(ZozTaskWork::fixAmount(16)), (JsonWorkData{2, 16.0}));
    EXPECT_EQ(JsonWorkData::make(ZozTaskWork::byResource()), JsonWorkData{});
}

TEST(TaskUrlTest, Rules) {
    const auto link = TaskUrl::make(std::string(), std::string("x"));
    ASSERT_TRUE(link.has_value());
    EXPECT_FALSE(link->title().has_value());
    EXPECT_EQ(link->visualString(), "x");
    EXPECT_FALSE(TaskUrl::make(std::string("t"), std::string()).has_value());
    EXPECT_FALSE(TaskUrl::make(std::string("t"), std::nullopt).has_value());
    const auto titled = link->titleChanged(std::string("Title"));
    EXPECT_EQ(titled.visualString(), "Title");
    EXPECT_FALSE(titled.urlChanged("").has_value());
    EXPECT_EQ(titled.urlChanged("y")->url(), "y");
    EXPECT_EQ(titled.urlChanged("y")->title(), "Title");
    EXPECT_EQ(titled, *TaskUrl::make(std::string("Title"), std::string("x")));
    EXPECT_NE(titled, *link);
}

TEST(ZozTaskCostTest, RawAndEquality) {
    EXPECT_TRUE(ZozTaskLaborCost::fix(0).isFix());
    EXPECT_EQ(ZozTaskLaborCost::fix(0).raw().index, 1);
    EXPECT_EQ(ZozTaskLaborCost::fix(0).raw().unit, 0.0);
    EXPECT_FALSE(ZozTaskLaborCost::fromRawData(2, 50).isFix());
    EXPECT_EQ(ZozTaskLaborCost::fromRawData(1, 50), ZozTaskLaborCost::fix(50));
    EXPECT_FALSE(ZozTaskLaborCost::automatic().raw().unit.has_value());
    EXPECT_TRUE(ZozTaskLaborCost::automatic().isEqual({0, 12.5}));
    EXPECT_FALSE(ZozTaskLaborCost::fix(12.5).isEqual({1, std::nullopt}));
    EXPECT_TRUE(ZozTaskLaborCost::fix(12.5).isEqual({1, 12.5}));
    EXPECT_FALSE(ZozTaskLaborCost::fix(std::nan("")).isEqual({1, std::nan("")}));

    // A copy is independent of its source.
    ZozTaskCost cost{ZozTaskLaborCost::automatic(), std::nullopt};
    auto copy = cost;
    cost.laborCost = ZozTaskLaborCost::fix(3);
    EXPECT_FALSE(copy.laborCost.isFix());
}

} // namespace
} // namespace document
