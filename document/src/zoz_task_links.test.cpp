#include "document/zoz_task_links.hpp"
#include "document/zoz_project.hpp"

#include "test_support.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace document {
namespace {

using testing::localDate;

static_assert(ZozLinkNode<ZozProjectTask>);

class ZozTaskLinksTest : public ::testing::Test {
protected:
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "en_US"};
    std::shared_ptr<ZozProject> m_project = ZozProject::create("uid", "Plan");

    ZozProjectTask::Ptr task(std::int64_t id) {
        return ZozProjectTask::create(m_project, nullptr, id, localDate(2024, 3, 4),
                                      localDate(2024, 3, 11));
    }

    static std::vector<std::int64_t> ids(const std::optional<std::vector<ZozProjectTask::Ptr>>& l) {
        std::vector<std::int64_t> out;
        if (l) {
            for (const auto& t : *l) {
                out.push_back(t->id());
            }
        }
        return out;
    }

    using Pairs = std::vector<std::pair<std::int64_t, std::int64_t>>;
};

TEST_F(ZozTaskLinksTest, BothEndsAreKept) {
    auto a = task(1);
    auto b = task(2);
    b->links().addPredecessor(a);
    b->links().addPredecessor(a);
    EXPECT_EQ(ids(b->links().predecessorCollection().links()), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(ids(a->links().successorCollection().links()), (std::vector<std::int64_t>{2}));
    EXPECT_EQ(b->links().predecessorCount(), 1U);
    EXPECT_TRUE(b->links().hasDirectPredecessor(1));
    EXPECT_TRUE(a->links().hasDirectSuccessor(2));
    EXPECT_TRUE(b->links().hasDirectLinkWithTask(*a));
    EXPECT_NE(b->getPredecessors(), nullptr);
    EXPECT_EQ(b->getSuccessors(), nullptr);

    // Removing a link that exists on one side only removes that side.
    a->links().successorCollection().removeFirst(2);
    b->links().removePredecessor(a);
    EXPECT_TRUE(b->links().isEmpty());
    EXPECT_TRUE(a->links().isEmpty());

    // A task that is both predecessor and successor is listed twice.
    b->links().addPredecessor(a);
    a->links().addPredecessor(b);
    EXPECT_EQ(ids(b->links().directLinkedTasks()), (std::vector<std::int64_t>{1, 1}));

    // A released task's entries are skipped.
    a.reset();
    EXPECT_TRUE(b->links().isEmpty());
    EXPECT_FALSE(b->links().directLinkedTasks().has_value());
}

TEST_F(ZozTaskLinksTest, GroupsHideTheirLinks) {
    auto a = task(1);
    auto b = task(2);
    b->links().addPredecessor(a);
    auto child = task(3);
    b->addChild(child);
    EXPECT_FALSE(b->allowLink());
    EXPECT_TRUE(b->links().isEmpty());
    EXPECT_FALSE(b->links().predecessors());
    EXPECT_EQ(b->links().predecessorCount(), 0U);
    EXPECT_FALSE(b->links().hasDirectLinkWithTask(*a));
    EXPECT_FALSE(a->links().hasDirectLinkWithTask(*b));
    // A hidden collection appends even a duplicate.
    b->links().predecessorCollection().add(a);
    b->removeChild(child);
    EXPECT_EQ(ids(b->links().predecessorCollection().links()), (std::vector<std::int64_t>{1, 1}));
}

TEST_F(ZozTaskLinksTest, ClearBackupAndRestore) {
    auto a = task(1);
    auto b = task(2);
    auto c = task(3);
    b->links().addPredecessor(a);
    c->links().addPredecessor(b);
    b->links().backup();
    EXPECT_FALSE(b->links().isBackupEmpty());
    b->links().removePredecessor(a);
    EXPECT_TRUE(a->links().isEmpty());
    b->links().restore();
    b->links().restore();
    EXPECT_EQ(ids(b->links().predecessorCollection().links()), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(ids(a->links().successorCollection().links()), (std::vector<std::int64_t>{2}));
    EXPECT_EQ(ids(c->links().predecessorCollection().links()), (std::vector<std::int64_t>{2}));

    std::vector<std::int64_t> removedPredecessors;
    std::vector<std::int64_t> removedSuccessors;
    b->links().clear([](const auto&) { return true; },
                     [&](const auto& t) { removedPredecessors.push_back(t->id()); },
                     [&](const auto& t) { removedSuccessors.push_back(t->id()); });
    EXPECT_EQ(removedPredecessors, (std::vector<std::int64_t>{1}));
    EXPECT_EQ(removedSuccessors, (std::vector<std::int64_t>{3}));
    EXPECT_TRUE(b->links().isEmpty());
    EXPECT_TRUE(a->links().isEmpty());
    EXPECT_TRUE(c->links().isEmpty());
    EXPECT_TRUE(task(9)->links().isBackupEmpty());
}

TEST_F(ZozTaskLinksTest, WalkOrders) {
    auto a = task(1);
    auto b = task(2);
    auto c = task(3);
    b->links().addPredecessor(c); // c before b before a
    a->links().addPredecessor(b);
    EXPECT_TRUE(a->links().hasPredeccessorLinkWithTask(*c));
    EXPECT_FALSE(c->links().hasPredeccessorLinkWithTask(*a));

    Pairs far;
    a->links().navigatePredecessorTree([&](ZozProjectTask& t, const ZozProjectTask::Ptr& p) {
        far.emplace_back(t.id(), p->id());
    });
    EXPECT_EQ(far, (Pairs{{2, 3}, {1, 2}}));
    Pairs near;
    a->getPredecessors()->navigate([&](ZozProjectTask& t, const ZozProjectTask::Ptr& p) {
        near.emplace_back(t.id(), p->id());
    });
    EXPECT_EQ(near, (Pairs{{1, 2}, {2, 3}}));
    Pairs ahead;
    c->links().navigateSuccessorTree([&](ZozProjectTask& t, const ZozProjectTask::Ptr& s) {
        ahead.emplace_back(t.id(), s->id());
    });
    EXPECT_EQ(ahead, (Pairs{{2, 1}, {3, 2}}));
}

TEST_F(ZozTaskLinksTest, CyclesTerminate) {
    auto a = task(1);
    a->links().addPredecessor(a); // a task listed as its own predecessor
    EXPECT_FALSE(a->links().hasPredeccessorLinkWithTask(*task(5)));
    EXPECT_TRUE(a->links().hasPredeccessorLinkWithTask(*a));
    Pairs seen;
    a->links().navigatePredecessorTree([&](ZozProjectTask& t, const ZozProjectTask::Ptr& p) {
        seen.emplace_back(t.id(), p->id());
    });
    EXPECT_EQ(seen, (Pairs{{1, 1}}));

    auto b = task(2);
    auto c = task(3);
    b->links().addPredecessor(c);
    c->links().addPredecessor(b);
    seen.clear();
    b->links().navigatePredecessorTree([&](ZozProjectTask& t, const ZozProjectTask::Ptr& p) {
        seen.emplace_back(t.id(), p->id());
    });
    EXPECT_EQ(seen, (Pairs{{3, 2}, {2, 3}}));
    seen.clear();
    b->getSuccessors()->navigate([&](ZozProjectTask& t, const ZozProjectTask::Ptr& s) {
        seen.emplace_back(t.id(), s->id());
    });
    EXPECT_EQ(seen, (Pairs{{2, 3}, {3, 2}}));
    EXPECT_FALSE(b->links().hasPredeccessorLinkWithTask(*a));
}

TEST_F(ZozTaskLinksTest, LongChainsAndDiamondsStayCheap) {
    constexpr std::int64_t kLength = 200'000;
    std::vector<ZozProjectTask::Ptr> chain;
    chain.reserve(kLength);
    for (std::int64_t i = 0; i < kLength; ++i) {
        chain.push_back(task(i));
        if (i > 0) {
            chain[static_cast<std::size_t>(i)]->links().addPredecessor(
                chain[static_cast<std::size_t>(i - 1)]);
        }
    }
    auto& last = chain.back();
    EXPECT_TRUE(last->links().hasPredeccessorLinkWithTask(*chain.front()));
    std::int64_t count = 0;
    last->links().navigatePredecessorTree([&](ZozProjectTask&, const auto&) { ++count; });
    EXPECT_EQ(count, kLength - 1);
    count = 0;
    chain.front()->getSuccessors()->navigate([&](ZozProjectTask&, const auto&) { ++count; });
    EXPECT_EQ(count, kLength - 1);

    // One task preceded by every task of the chain: each link is added without rescanning the
    // links already there, and a duplicate is still refused.
    auto sink = task(-1);
    for (const auto& t : chain) {
        sink->links().addPredecessor(t);
    }
    sink->links().addPredecessor(chain.front());
    EXPECT_EQ(sink->links().predecessorCount(), static_cast<std::size_t>(kLength));
    EXPECT_TRUE(chain.back()->links().hasDirectSuccessor(-1));
    sink->links().removePredecessor(chain.back());
    EXPECT_EQ(sink->links().predecessorCount(), static_cast<std::size_t>(kLength - 1));
    EXPECT_FALSE(chain.back()->links().hasDirectSuccessor(-1));

    // Sixty layers of two tasks each, every task linked to both of the layer before: walking
    // every path would never end, walking every task once is instant.
    std::vector<ZozProjectTask::Ptr> layers;
    for (std::int64_t i = 0; i < 120; ++i) {
        layers.push_back(task(kLength + i));
        if (i >= 2) {
            const auto base = static_cast<std::size_t>((i / 2 - 1) * 2);
            layers.back()->links().addPredecessor(layers[base]);
            layers.back()->links().addPredecessor(layers[base + 1]);
        }
    }
    count = 0;
    layers.back()->links().navigatePredecessorTree([&](ZozProjectTask&, const auto&) { ++count; });
    EXPECT_EQ(count, 59 * 4 - 2);
    EXPECT_TRUE(layers.back()->links().hasPredeccessorLinkWithTask(*layers.front()));
}

} // namespace
} // namespace document
