#include "core/weak_containers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace core;

TEST(WeakContainers, ReleasedObjectsStillCountAndReadNull) {
    auto first = std::make_shared<int>(1);
    auto second = std::make_shared<int>(2);
    VtWeakArray<int> array({first, second});
    first.reset();
    EXPECT_EQ(array.size(), 2U);
    EXPECT_EQ(array[0], nullptr);
    EXPECT_EQ(*array[1], 2);
    EXPECT_EQ(array.firstElement(), nullptr);
    EXPECT_EQ(array.lastElement(), second);
    std::vector<std::shared_ptr<int>> seen(array.begin(), array.end());
    EXPECT_EQ(seen, (std::vector<std::shared_ptr<int>>{nullptr, second}));
    EXPECT_EQ(std::count(array.begin(), array.end(), nullptr), 1);

    array.append(nullptr);
    auto third = std::make_shared<int>(3);
    array.insert(third, 0);
    EXPECT_EQ(array.size(), 4U);
    EXPECT_EQ(array.firstElement(), third);
    EXPECT_EQ(array[3], nullptr);

    array.removeFirst([](const std::shared_ptr<int>& object) { return object == nullptr; });
    EXPECT_EQ(array.size(), 3U);
    EXPECT_EQ(array[1], second);
    EXPECT_EQ(array[2], nullptr);
    array.removeFirst([](const std::shared_ptr<int>& object) { return object && *object == 9; });
    EXPECT_EQ(array.size(), 3U);
    array.removeAll();
    EXPECT_TRUE(array.empty());
    const VtWeakBox<int> box(std::make_shared<int>(5));
    EXPECT_EQ(box.unbox(), nullptr);
}

TEST(WeakContainers, ReferenceBoxesAreSharedByCopies) {
    struct Modifier {
        VtRefrenceBox<bool> completedCalled{false};
    };
    const Modifier original;
    const Modifier copy = original;
    copy.completedCalled.set(true);
    EXPECT_TRUE(original.completedCalled.get());
    const VtRefrenceBox<bool> separate(false);
    EXPECT_FALSE(separate.get());

    VtRefrenceArray<std::string> list{"a", "b"};
    VtRefrenceArray<std::string> other = list;
    other.append("c");
    EXPECT_EQ(list.size(), 2U);
    EXPECT_EQ(other.size(), 3U);
    EXPECT_EQ(other[2], "c");
    EXPECT_EQ(std::vector<std::string>(other.begin(), other.end()),
              (std::vector<std::string>{"a", "b", "c"}));
}

} // namespace

static_assert(std::random_access_iterator<core::VtWeakArray<int>::const_iterator>);
static_assert(std::random_access_iterator<core::VtRefrenceArray<int>::const_iterator>);
