#include "core/diffable_snapshot.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using Snapshot = core::DiffableSnapshot<int, std::string>;

TEST(DiffableSnapshot, KeepsSectionsAndItemsInOrder) {
    Snapshot snapshot;
    snapshot.appendSections({0, 1, 2});
    snapshot.appendItems({"a", "b"}, 1);
    snapshot.appendItems({"c"}, 0);
    snapshot.appendItems({"d", "e"});
    snapshot.appendItems({"f"}, 1);

    EXPECT_EQ(snapshot.numberOfSections(), 3U);
    EXPECT_EQ(snapshot.numberOfItems(), 6U);
    EXPECT_EQ(snapshot.numberOfItems(1), 3U);
    EXPECT_EQ(snapshot.itemIdentifiers(), (std::vector<std::string>{"c", "a", "b", "f", "d", "e"}));
    ASSERT_EQ(snapshot.itemIdentifiers(2).size(), 2U);
    EXPECT_EQ(snapshot.itemIdentifiers(2)[1], "e");
    EXPECT_EQ(snapshot.locationOfItem("f"), (Snapshot::Location{1, 2}));
    EXPECT_EQ(snapshot.sectionIdentifier("d"), 2);
    EXPECT_FALSE(snapshot.locationOfItem("z"));
    EXPECT_EQ(snapshot.indexOfSection(2), 2U);
    EXPECT_FALSE(snapshot.indexOfSection(7));
}

TEST(DiffableSnapshot, RefusesDuplicatesAndUnknownSections) {
    Snapshot snapshot;
    EXPECT_THROW(snapshot.appendItems({"a"}), core::SnapshotError);
    snapshot.appendSections({4});
    EXPECT_THROW(snapshot.appendSections({5, 4}), core::SnapshotError);
    EXPECT_THROW(snapshot.appendSections({6, 6}), core::SnapshotError);
    EXPECT_EQ(snapshot.numberOfSections(), 1U);

    snapshot.appendItems({"a", "b"}, 4);
    try {
        snapshot.appendItems({"c", "a"}, 4);
        FAIL() << "a duplicate item was accepted";
    } catch (const core::SnapshotError& error) {
        EXPECT_EQ(error.code(), core::SnapshotError::Code::duplicateItem);
    }
    EXPECT_EQ(snapshot.itemIdentifiers(), (std::vector<std::string>{"a", "b", "c"}));
    // A fresh section that would repeat an item stays empty, and its other items are not kept.
    snapshot.appendSections({5});
    EXPECT_THROW(snapshot.appendItems({"x", "y", "b"}, 5), core::SnapshotError);
    EXPECT_EQ(snapshot.numberOfItems(5), 0U);
    EXPECT_FALSE(snapshot.locationOfItem("x"));
    EXPECT_EQ(snapshot.locationOfItem("b"), (Snapshot::Location{0, 1}));
    snapshot.appendItems({"x", "y"}, 5);
    EXPECT_EQ(snapshot.numberOfItems(), 5U);
    EXPECT_THROW(snapshot.appendItems({"x"}, 9), core::SnapshotError);
    EXPECT_THROW((void)snapshot.numberOfItems(9), core::SnapshotError);
}

TEST(DiffableSnapshot, GrowsItsIndexAndComparesByValue) {
    core::DiffableSnapshot<int, int> big;
    core::DiffableSnapshot<int, int> same;
    big.appendSections({0, 1});
    same.appendSections({0, 1});
    std::vector<int> items;
    for (int i = 0; i < 5000; ++i) {
        items.push_back(i * 7);
    }
    big.appendItems(items, 0);
    same.appendItems(items, 0);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(big.locationOfItem(i * 7),
                  (core::DiffableSnapshot<int, int>::Location{0, static_cast<std::size_t>(i)}));
    }
    EXPECT_THROW(big.appendItems({35}, 1), core::SnapshotError);
    EXPECT_EQ(big, same);
    same.appendItems({1}, 1);
    EXPECT_NE(big, same);
}

} // namespace
