#include "document/zoz_task_resources.hpp"
#include "document/zoz_project_team.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace document {
namespace {

std::shared_ptr<ZozProjectMember> member(std::int64_t id, double rate, std::string name = "m") {
    return std::make_shared<ZozProjectMember>(id, std::move(name), std::nullopt, std::nullopt,
                                              rate);
}

TEST(ZozTaskResourcesTest, SumsAndUnits) {
    ZozTaskResources resources;
    EXPECT_EQ(resources.unitsOfWorkload(), 0.0);
    EXPECT_EQ(resources.averageCostRate(), 0.0);
    resources.addOrUpdateResource(member(1, 1), 50);
    resources.addOrUpdateResource(member(2, 1), 100);
    resources.addOrUpdateResource(member(3, 1), 25);
    EXPECT_EQ(resources.sumOfWorkload(), 175);
    EXPECT_DOUBLE_EQ(resources.unitsOfWorkload(), 1.75);
    EXPECT_EQ(resources.at(2)->member()->id(), 3);
    EXPECT_EQ(resources.at(3), nullptr);
    EXPECT_EQ(resources.at(-1), nullptr);
}

TEST(ZozTaskResourcesTest, AverageCostRate) {
    ZozTaskResources one;
    one.addOrUpdateResource(member(1, 80), 30);
    EXPECT_EQ(one.averageCostRate(), 80.0);

    ZozTaskResources two;
    two.addOrUpdateResource(member(1, 100), 50);
    two.addOrUpdateResource(member(2, 40), 100);
    EXPECT_DOUBLE_EQ(two.averageCostRate(), 60.0);

    // Workloads summing to zero would divide by zero: the rate is 0, never NaN or infinity.
    ZozTaskResources zero;
    zero.addOrUpdateResource(member(1, 100), 0);
    zero.addOrUpdateResource(member(2, 40), 0);
    EXPECT_EQ(zero.averageCostRate(), 0.0);
    ZozTaskResources cancelling;
    cancelling.addOrUpdateResource(member(1, 100), 50);
    cancelling.addOrUpdateResource(member(2, 40), -50);
    EXPECT_EQ(cancelling.averageCostRate(), 0.0);
}

TEST(ZozTaskResourcesTest, HugeWorkloadsSaturate) {
    ZozTaskResources resources;
    const auto big = std::numeric_limits<std::int64_t>::max();
    resources.addOrUpdateResource(member(1, 1), big);
    resources.addOrUpdateResource(member(2, 1), big);
    EXPECT_EQ(resources.sumOfWorkload(), big);
    EXPECT_TRUE(std::isfinite(resources.unitsOfWorkload()));
    EXPECT_GT(resources.unitsOfWorkload(), 1e16);
}

TEST(ZozTaskResourcesTest, AddOrUpdateClampsOnlyUpdates) {
    ZozTaskResources resources;
    const auto m = member(5, 1);
    resources.addOrUpdateResource(m, 150);
    EXPECT_EQ(resources.getAssignmentByMemberId(5)->workload(), 150);
    resources.addOrUpdateResource(m, 150);
    EXPECT_EQ(resources.getAssignmentByMemberId(5)->workload(), 100);
    resources.addOrUpdateResource(m, -5);
    EXPECT_EQ(resources.getAssignmentByMemberId(5)->workload(), 0);
    EXPECT_EQ(resources.assignments().size(), 1U);
    resources.addOrUpdateResource(nullptr, 10);
    EXPECT_EQ(resources.assignments().size(), 1U);
}

TEST(ZozTaskResourcesTest, LookupFromTheEndRemovalFromTheFront) {
    ZozTaskResources resources;
    resources.addOrUpdateResource(member(1, 1, "first"), 10);
    resources.addOrUpdateResource(member(2, 1, "b"), 20);
    EXPECT_TRUE(resources.isMemberIncluded(2));
    EXPECT_FALSE(resources.isMemberIncluded(3));
    EXPECT_TRUE(resources.isAnyMemberIncluded({3, 2}));
    EXPECT_FALSE(resources.isAnyMemberIncluded({}));
    resources.remove(1);
    EXPECT_FALSE(resources.isMemberIncluded(1));
    resources.remove(9);
    EXPECT_EQ(resources.assignments().size(), 1U);
}

TEST(ZozTaskResourcesTest, SortedByNameIsStable) {
    ZozTaskResources resources;
    resources.addOrUpdateResource(member(1, 1, "Zed"), 10);
    resources.addOrUpdateResource(member(2, 1, "Amy"), 20);
    resources.addOrUpdateResource(member(3, 1, "Amy"), 30);
    const auto sorted = resources.assignementsSortedByName();
    ASSERT_EQ(sorted.size(), 3U);
    EXPECT_EQ(sorted[0]->member()->id(), 2);
    EXPECT_EQ(sorted[1]->member()->id(), 3);
    EXPECT_EQ(sorted[2]->member()->id(), 1);
}

TEST(ZozTaskResourcesTest, RowData) {
    ZozProjectTeam team;
    team.add(member(3, 1));
    team.add(member(7, 1));

    ZozTaskResources resources;
    resources.fromRowData(",3,50,9,100", team);
    ASSERT_EQ(resources.assignments().size(), 1U);
    EXPECT_EQ(resources.toRowData(), ",3,50");

    resources.fromRowData(",3,50,7,100", team);
    EXPECT_EQ(resources.toRowData(), ",3,50,7,100");
    resources.fromRowData(",3,0", team);
    EXPECT_TRUE(resources.isEmpty());
    resources.fromRowData("  ", team);
    EXPECT_TRUE(resources.isEmpty());
    // Doubled and trailing commas make no fields; a member named twice keeps the last
    // (clamped) workload; unparsable pairs and an unpaired last field are skipped.
    resources.fromRowData(",,3,,40,,3,150,x,5,7,1.5,7", team);
    ASSERT_EQ(resources.assignments().size(), 1U);
    EXPECT_EQ(resources.toRowData(), ",3,100");
    EXPECT_EQ(ZozTaskResources().toRowData(), "");
}

TEST(ZozTaskResourcesTest, SharedEmptyInstanceIgnoresChanges) {
    auto& empty = ZozTaskResources::empty();
    EXPECT_EQ(&empty, &ZozTaskResources::empty());
    empty.addOrUpdateResource(member(1, 1), 50);
    ZozProjectTeam team;
    team.add(member(3, 1));
    empty.fromRowData(",3,50", team);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty.toRowData(), "");
    EXPECT_EQ(empty.unitsOfWorkload(), 0.0);
}

} // namespace
} // namespace document
