#include "algorithm/binary_search.hpp"
#include "algorithm/vt_queue.hpp"
#include "algorithm/vt_stack.hpp"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

using algorithm::indexByBinarySearch;
using algorithm::VtBinarySearchCompareResult;
using algorithm::VtQueue;
using algorithm::VtStack;

auto seeking(int sought, std::vector<int>& probes) {
    return [sought, &probes](const int& element) {
        probes.push_back(element);
        if (element < sought) {
            return VtBinarySearchCompareResult::less;
        }
        return element == sought ? VtBinarySearchCompareResult::equal
                                 : VtBinarySearchCompareResult::large;
    };
}

TEST(BinarySearch, ProbeSequences) {
    const std::vector<int> odd{1, 3, 5, 7, 9};
    std::vector<int> probes;
    EXPECT_EQ(indexByBinarySearch(odd, seeking(7, probes)), 3);
    EXPECT_EQ(probes, (std::vector<int>{5, 7}));
    probes.clear();
    EXPECT_EQ(indexByBinarySearch(odd, seeking(4, probes)), std::nullopt);
    EXPECT_EQ(probes, (std::vector<int>{5, 1, 3}));
    probes.clear();
    EXPECT_EQ(indexByBinarySearch(std::vector<int>{2, 2, 2}, seeking(2, probes)), 1);
    probes.clear();
    EXPECT_EQ(indexByBinarySearch(std::vector<int>{}, seeking(2, probes)), std::nullopt);
    EXPECT_TRUE(probes.empty());
    probes.clear();
    EXPECT_EQ(indexByBinarySearch(odd, seeking(10, probes)), std::nullopt);
    EXPECT_EQ(indexByBinarySearch(odd, seeking(0, probes)), std::nullopt);
}

TEST(VtQueue, FirstInFirstOutAndRefill) {
    VtQueue<int> queue;
    EXPECT_TRUE(queue.isEmpty());
    for (int i = 1; i <= 3; ++i) {
        queue.enqueue(i);
    }
    EXPECT_EQ(queue.count(), 3);
    EXPECT_EQ(queue.peek(), 1);
    EXPECT_EQ(queue.dequeue(), 1);
    EXPECT_EQ(queue.dequeue(), 2);
    EXPECT_EQ(queue.dequeue(), 3);
    EXPECT_EQ(queue.count(), 0);
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(queue.dequeue(), std::nullopt);
    EXPECT_EQ(queue.peek(), std::nullopt);
    EXPECT_EQ(queue.count(), 0);

    // Once empty, the bottom link must not dangle: the refill starts a fresh chain.
    queue.enqueue(4);
    queue.enqueue(5);
    EXPECT_EQ(queue.peek(), 4);
    EXPECT_EQ(queue.dequeue(), 4);
    EXPECT_EQ(queue.dequeue(), 5);
    EXPECT_EQ(queue.dequeue(), std::nullopt);
}

TEST(VtQueue, DestroysFiveMillionNodesWithoutRecursion) {
    auto queue = std::make_unique<VtQueue<int>>();
    for (int i = 0; i < 5'000'000; ++i) {
        queue->enqueue(i);
    }
    EXPECT_EQ(queue->count(), 5'000'000);
    queue.reset();
}

TEST(VtQueue, EnqueueFromEightThreads) {
    VtQueue<int> queue;
    constexpr int kThreads = 8;
    constexpr int kEach = 10'000;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&queue, t] {
                for (int i = 0; i < kEach; ++i) {
                    queue.enqueue(t * kEach + i);
                }
            });
        }
    }
    EXPECT_EQ(queue.count(), kThreads * kEach);
    std::set<int> seen;
    std::vector<int> lastOfThread(kThreads, -1);
    while (auto value = queue.dequeue()) {
        const int thread = *value / kEach;
        // Each thread's own elements leave in the order it put them in.
        EXPECT_LT(lastOfThread[static_cast<std::size_t>(thread)], *value);
        lastOfThread[static_cast<std::size_t>(thread)] = *value;
        seen.insert(*value);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST(VtStack, LastInFirstOut) {
    VtStack<int> stack;
    stack.clear();
    EXPECT_TRUE(stack.isEmpty());
    EXPECT_EQ(stack.top(), std::nullopt);
    EXPECT_EQ(stack.bottom(), std::nullopt);
    for (int i = 1; i <= 3; ++i) {
        stack.push(i);
    }
    EXPECT_EQ(stack.top(), 3);
    EXPECT_EQ(stack.bottom(), 1);
    EXPECT_EQ(stack.count(), 3);
    EXPECT_EQ(stack.pop(), 3);
    EXPECT_EQ(stack.pop(), 2);
    EXPECT_EQ(stack.pop(), 1);
    EXPECT_EQ(stack.pop(), std::nullopt);
    stack.push(7);
    stack.clear();
    EXPECT_TRUE(stack.isEmpty());
    EXPECT_EQ(stack.count(), 0);
}

} // namespace
