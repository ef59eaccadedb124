#include "app/grid_input_tracker.hpp"

#include <gtest/gtest.h>

namespace {

using app::GridInputTracker;
using core::Uuid;
using Decision = GridInputTracker::Decision;

TEST(GridInputTrackerTest, TheFirstSnapshotAlwaysAppliesButNotTheLayoutTheGridWasMadeWith) {
    const Uuid layout = Uuid::random();
    // Even a snapshot version the grid could have seen before (here the nil one) applies first.
    GridInputTracker tracker(layout);
    EXPECT_EQ(tracker.decide(layout, Uuid(), std::nullopt), (Decision{false, true, false}));
    // Handed again unchanged: nothing.
    const Decision again = tracker.decide(layout, Uuid(), std::nullopt);
    EXPECT_FALSE(again.any());
}

TEST(GridInputTrackerTest, EveryNewVersionAppliesAgainEvenForTheSameContent) {
    const Uuid layout = Uuid::random();
    GridInputTracker tracker(layout);
    tracker.decide(layout, Uuid::random(), std::nullopt);
    // A snapshot assigned again (same content, fresh version) is handed on again.
    EXPECT_EQ(tracker.decide(layout, Uuid::random(), std::nullopt), (Decision{false, true, false}));
    // A new layout and a new snapshot in one set: both, in one decision.
    const Uuid snapshot = Uuid::random();
    EXPECT_EQ(tracker.decide(Uuid::random(), snapshot, std::nullopt),
              (Decision{true, true, false}));
}

TEST(GridInputTrackerTest, ACommandRunsOncePerVersionAndNoCommandChangesNothing) {
    const Uuid layout = Uuid::random();
    const Uuid snapshot = Uuid::random();
    GridInputTracker tracker(layout);
    tracker.decide(layout, snapshot, std::nullopt);
    const Uuid command = Uuid::random();
    EXPECT_EQ(tracker.decide(layout, snapshot, command), (Decision{false, false, true}));
    // However often the inputs are handed again, the same command is not carried out again.
    EXPECT_FALSE(tracker.decide(layout, snapshot, command).any());
    // An input holding no command leaves the recorded command alone...
    EXPECT_FALSE(tracker.decide(layout, snapshot, std::nullopt).any());
    EXPECT_FALSE(tracker.decide(layout, snapshot, command).any());
    // ...and a new command version is carried out.
    EXPECT_TRUE(tracker.decide(layout, snapshot, Uuid::random()).command);
}

} // namespace
