#include "document/zoz_project.hpp"

#include "test_support.hpp"

#include "algorithm/tree_node.hpp"
#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace document {
namespace {

using testing::localDate;

class ZozProjectTaskTest : public ::testing::Test {
protected:
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "en_US"};
    std::shared_ptr<ZozProject> m_project = ZozProject::create("uid", "Plan");

    ZozProjectTask::Ptr task(std::int64_t id) {
        return ZozProjectTask::create(m_project, nullptr, id, localDate(2024, 3, 4),
                                      localDate(2024, 3, 11));
    }
};

TEST_F(ZozProjectTaskTest, TypeMatrix) {
    auto root = task(0);
    EXPECT_EQ(root->type(), ZozProjectTaskType::singleTask);
    EXPECT_TRUE(root->isMainProjectTask());
    auto child = task(1);
    root->addChild(child);
    // A common root with children reports a group, yet it is the main project task.
    EXPECT_EQ(root->type(), ZozProjectTaskType::groupTask);
    EXPECT_TRUE(root->isMainProjectTask());
    EXPECT_TRUE(root->isMainOrSubProjectTask());
    EXPECT_FALSE(root->allowLink());
    root->setTaskType(ZozProjectTaskType::mainProjectTask);
    EXPECT_EQ(root->type(), ZozProjectTaskType::mainProjectTask);

    EXPECT_EQ(child->type(), ZozProjectTaskType::singleTask);
    child->setTaskType(ZozProjectTaskType::groupTask);
    EXPECT_EQ(child->type(), ZozProjectTaskType::singleTask);
    child->setTaskType(ZozProjectTaskType::subProjectTask);
    EXPECT_EQ(child->type(), ZozProjectTaskType::subProjectTask);
    EXPECT_TRUE(child->isSubProjectTask());
    EXPECT_TRUE(child->isVisibleInOneLine());
    child->setTaskType(ZozProjectTaskType::mainProjectTask);
    EXPECT_EQ(child->type(), ZozProjectTaskType::subProjectTask);
    child->setTaskType(ZozProjectTaskType::milestone);
    EXPECT_EQ(child->type(), ZozProjectTaskType::milestone);
    EXPECT_TRUE(child->allowLink());
    auto grandchild = task(2);
    child->addChild(grandchild);
    EXPECT_EQ(child->type(), ZozProjectTaskType::milestone);
    EXPECT_FALSE(child->isGroupTask());

    EXPECT_EQ(projectTaskInnerTypeFromRaw(2), ProjectTaskInnerType::project);
    EXPECT_FALSE(projectTaskInnerTypeFromRaw(3).has_value());
    EXPECT_EQ(zozProjectTaskTypeFromRaw(4), ZozProjectTaskType::mainProjectTask);
    EXPECT_FALSE(zozProjectTaskTypeFromRaw(-1).has_value());
}

TEST_F(ZozProjectTaskTest, EditingRules) {
    auto root = task(0);
    auto a = task(1);
    auto b = task(2);
    EXPECT_TRUE(root->addChild(a));
    EXPECT_TRUE(root->addChild(b));
    // A second object with an existing id only gets re-parented.
    auto twin = task(1);
    EXPECT_TRUE(root->addChild(twin));
    EXPECT_EQ(root->childCount(), 2);
    EXPECT_EQ(twin->parent(), root);
    EXPECT_TRUE(*twin == *a);
    EXPECT_EQ(std::hash<ZozProjectTask>()(*twin), std::hash<ZozProjectTask>()(*a));

    // A base task under another parent: insert at the front.
    auto other = task(50);
    auto foreign = task(51);
    other->addChild(foreign);
    auto c = task(3);
    root->insertChild(c, foreign, true);
    EXPECT_EQ(root->firstChild(), c);
    auto d = task(4);
    root->insertChild(d, b, true);
    EXPECT_EQ(root->lastChild(), d);
    auto e = task(5);
    root->insertChild(e, b, false);
    EXPECT_EQ(root->childs()[2], e);
    auto f = task(6);
    root->insertChild(f, 99);
    EXPECT_EQ(root->lastChild(), f);
    auto g = task(7);
    root->insertChild(g, -4);
    EXPECT_EQ(root->firstChild(), g);

    // Order now: g c a e b d f.
    std::vector<std::int64_t> touched;
    root->changeChildIndex(f, 1, [&](const ZozProjectTask::Ptr& t) { touched.push_back(t->id()); });
    EXPECT_EQ(touched, (std::vector<std::int64_t>{6, 3, 1, 5, 2, 4}));
    touched.clear();
    root->changeChildIndex(g, 100,
                           [&](const ZozProjectTask::Ptr& t) { touched.push_back(t->id()); });
    EXPECT_EQ(root->lastChild(), g);
    EXPECT_EQ(touched.size(), 7U);

    auto created = root->createChildAfter(1, 8, localDate(2024, 3, 4), localDate(2024, 3, 5));
    EXPECT_EQ(*algorithm::treeGetIndexInParent(created), 3);
    EXPECT_EQ(created->project(), m_project);
    root->removeChild(created);
    EXPECT_EQ(created->parent(), nullptr);
    EXPECT_EQ(root->childCount(), 7);

    // Moving a child to another parent takes it out of the former parent's list.
    auto newParent = task(60);
    newParent->addChild(a);
    EXPECT_EQ(root->childCount(), 6);
    EXPECT_EQ(a->parent(), newParent);
}

TEST_F(ZozProjectTaskTest, TasksOutOfTheListNeverKeepADeadParent) {
    // Removing by id takes out the listed task, which may be another object than the one given:
    // both lose this parent.
    auto parent = task(10);
    auto listed = task(1);
    parent->addChild(listed);
    auto twin = task(1);
    parent->addChild(twin);
    EXPECT_EQ(twin->parent(), parent);
    parent->removeChild(twin);
    EXPECT_EQ(parent->childCount(), 0);
    EXPECT_EQ(listed->parentPointer(), nullptr);
    EXPECT_EQ(twin->parentPointer(), nullptr);

    // A task given a parent that lists another task of its id loses that parent when it goes.
    auto other = task(11);
    other->addChild(task(2));
    auto adopted = task(2);
    other->insertChild(adopted, 0);
    EXPECT_EQ(adopted->parent(), other);
    other.reset();
    EXPECT_EQ(adopted->parentPointer(), nullptr);
    EXPECT_FALSE(adopted->isHidden());
}

TEST_F(ZozProjectTaskTest, CyclesAreRefused) {
    auto root = task(0);
    auto child = task(1);
    auto grandchild = task(2);
    root->addChild(child);
    child->addChild(grandchild);
    EXPECT_FALSE(root->addChild(root));
    EXPECT_FALSE(grandchild->addChild(root));
    EXPECT_FALSE(grandchild->insertChild(child, 0));
    EXPECT_FALSE(grandchild->insertChild(root, nullptr, false));
    EXPECT_EQ(root->parent(), nullptr);
    EXPECT_EQ(child->parent(), root);
    EXPECT_EQ(grandchild->childCount(), 0);
    // A parent recorded at creation, without being listed, still counts as an ancestor.
    auto recorded = ZozProjectTask::create(m_project, grandchild.get(), 9, localDate(2024, 3, 4),
                                           localDate(2024, 3, 5));
    EXPECT_FALSE(recorded->addChild(root));
}

// The task tree hands out its child lists by reference; every walk must still iterate each list
// as it read it while a visitor edits the tree: a task removed from a list already read is still
// offered, children added to a task not yet reached are offered, and a list that grows and moves
// in memory never leaves the walk reading freed storage.
TEST_F(ZozProjectTaskTest, WalksFollowTheListsAsReadWhileVisitorsEditTheTree) {
    using algorithm::TreeIndexPath;
    using Ptr = ZozProjectTask::Ptr;
    struct Tree {
        Ptr a, b, c, d, e;
        std::string names;
        std::int64_t nextId = 100;
    };
    const auto makeTree = [&] {
        Tree t{task(1), task(2), task(3), task(4), task(5), {}, 100};
        t.a->addChild(t.b);
        t.b->addChild(t.d);
        t.b->addChild(t.e);
        t.a->addChild(t.c);
        return t;
    };
    const auto name = [](const Tree& t, const Ptr& x) -> std::string {
        const std::vector<std::pair<Ptr, const char*>> known{
            {t.a, "A"}, {t.b, "B"}, {t.c, "C"}, {t.d, "D"}, {t.e, "E"}};
        for (const auto& [node, label] : known) {
            if (node == x) {
                return label;
            }
        }
        return x->parentPointer() == t.b.get() ? "F" : "x";
    };
    // Offered `trigger`: C leaves A, A gains 40 children (its list moves), B gains F.
    const auto offer = [&](Tree& t, const Ptr& x, const Ptr& trigger) {
        t.names += name(t, x);
        if (x == trigger) {
            t.a->removeChild(t.c);
            for (int i = 0; i < 40; ++i) {
                t.a->createChild(t.nextId++, localDate(2024, 3, 4), localDate(2024, 3, 5));
            }
            t.b->createChild(t.nextId++, localDate(2024, 3, 4), localDate(2024, 3, 5));
        }
    };
    struct Case {
        const char* walk;
        std::function<void(Tree&)> run;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"pre-order",
         [&](Tree& t) {
             algorithm::treeTravel(t.a, true, [&](const Ptr& x) { offer(t, x, t.b); });
         },
         "ABDEFC"},
        {"index paths",
         [&](Tree& t) {
             algorithm::treeTravelWithIndexPath(t.a, false,
                                                [&](const Ptr& x, const TreeIndexPath& p) {
                                                    offer(t, x, t.b);
                                                    t.names += std::to_string(p.size());
                                                });
         },
         "B1D2E2F2C1"},
        {"asynchronous",
         [&](Tree& t) {
             algorithm::treeTravelAsync(t.a, true, [&](const Ptr& x) { offer(t, x, t.b); }).get();
         },
         "ABDEFC"},
        {"pairs",
         [&](Tree& t) {
             algorithm::treeTravel(t.a, [&](const Ptr&, const Ptr& x) { offer(t, x, t.b); });
         },
         "BDEFC"},
        {"conditional",
         [&](Tree& t) {
             algorithm::treeConditionalTravel(t.a, true, [&](const Ptr& x) {
                 offer(t, x, t.b);
                 return true;
             });
         },
         "ABDEFC"},
        {"calculate",
         [&](Tree& t) {
             algorithm::treeCalculate(t.a, 0, 0, [&](const int&, const Ptr& x, std::int64_t) {
                 offer(t, x, t.b);
                 return 0;
             });
         },
         "ABDEFC"},
        {"find first",
         [&](Tree& t) {
             const auto found = algorithm::treeFindFirst(
                 t.a,
                 [&](const Ptr& x) {
                     offer(t, x, t.b);
                     return x == t.c;
                 },
                 [](const Ptr&) { return true; });
             t.names += found ? "!" : "?";
         },
         "ABDEFC!"},
        {"contains",
         [&](Tree& t) {
             t.names += algorithm::treeContains(t.a,
                                                [&](const Ptr& x) {
                                                    offer(t, x, t.b);
                                                    return x == t.c;
                                                })
                            ? "!"
                            : "?";
         },
         "ABDEFC!"},
        {"leaves",
         [&](Tree& t) {
             algorithm::treeTravelLeaves(t.a, [&](const Ptr& x) { offer(t, x, t.d); });
         },
         "DEC"},
        {"post-order",
         [&](Tree& t) {
             algorithm::treeTravelFromLeaf(t.a, [&](const Ptr& x) { offer(t, x, t.d); });
         },
         "DEBCA"},
    };
    for (const Case& c : cases) {
        Tree t = makeTree();
        c.run(t);
        EXPECT_EQ(t.names, c.expected) << c.walk;
        EXPECT_EQ(t.a->childCount(), 41) << c.walk;
        EXPECT_EQ(t.c->parentPointer(), nullptr) << c.walk;
    }
}

TEST_F(ZozProjectTaskTest, NumberingAndOutline) {
    auto root = task(0);
    std::vector<ZozProjectTask::Ptr> level1;
    for (std::int64_t i = 1; i <= 3; ++i) {
        level1.push_back(task(i));
        root->addChild(level1.back());
    }
    std::vector<ZozProjectTask::Ptr> level2;
    for (std::int64_t i = 10; i < 13; ++i) {
        level2.push_back(task(i));
        level1[1]->addChild(level2.back());
    }
    EXPECT_EQ(root->wbsNo(), "");
    EXPECT_EQ(level2[2]->wbsNo(), "2.3");
    EXPECT_EQ(level2[2]->directWbsNo(), "2.3");
    auto deep = task(20);
    level2[2]->addChild(deep);
    level1[1]->setTaskType(ZozProjectTaskType::subProjectTask);
    level2[2]->refreshWbsNo();
    EXPECT_EQ(deep->wbsNo(), "2.3.1");
    EXPECT_EQ(deep->directWbsNo(), "3.1");
    EXPECT_EQ(level2[0]->directWbsNo(), "1");
    EXPECT_TRUE(deep->isInSubProject());
    EXPECT_EQ(deep->getRootTaskOfDirectProject(), level1[1]);
    EXPECT_EQ(level1[0]->getRootTaskOfDirectProject(), root);
    EXPECT_EQ(root->getRootTaskOfDirectProject(), nullptr);
    EXPECT_TRUE(root->includeSubProjectInChildsTree());
    EXPECT_FALSE(level1[0]->includeSubProjectInChildsTree());
    EXPECT_EQ(root->deepsOfChildsExceptSubProjectTasks(), 1);
    level1[1]->setTaskType(ZozProjectTaskType::groupTask);
    EXPECT_EQ(root->deepsOfChildsExceptSubProjectTasks(), 3);

    root->setGlobalSequenceNoInTaskTree(1);
    EXPECT_EQ(root->globalSequenceNo(), 1);
    EXPECT_EQ(deep->globalSequenceNo(), 7);
    EXPECT_EQ(level1[2]->globalSequenceNo(), 8);
    level1[1]->setTaskType(ZozProjectTaskType::milestone);
    root->setDirectSequenceNoInTaskTree(0, true);
    EXPECT_EQ(level1[2]->directSequenceNo(), 3);
    EXPECT_EQ(deep->directSequenceNo(), 0); // below a milestone: kept
    level1[1]->setTaskType(ZozProjectTaskType::groupTask);

    root->collapse();
    EXPECT_TRUE(root->expanded());
    level1[1]->collapse();
    EXPECT_TRUE(deep->isHidden());
    EXPECT_FALSE(level1[1]->isAllAncestorsExpanded());
    EXPECT_FALSE(level1[1]->isHidden());
    EXPECT_EQ(root->lastChildIncludeMeInDeepTree(), level1[2]);
    level1[2]->addChild(task(30));
    root->changeChildIndex(level1[1], 2, {});
    EXPECT_EQ(root->lastChildIncludeMeInDeepTree(), deep);
    EXPECT_EQ(root->lastExpandedChildIncludeMeInDeepTree(), level1[1]);
}

TEST_F(ZozProjectTaskTest, PlainPropertiesAndResources) {
    auto t = task(1);
    EXPECT_FALSE(t->notes().has_value());
    t->setNotes("n");
    t->setUrl1(TaskUrl::make(std::nullopt, std::string("https://x")));
    EXPECT_EQ(t->notes(), "n");
    EXPECT_EQ(t->url1()->url(), "https://x");
    EXPECT_FALSE(t->url2().has_value());
    EXPECT_FALSE(t->predecessorIdListBuf().has_value());
    t->clearPredecessorIdListBuf();
    EXPECT_FALSE(t->predecessorIdListBuf().has_value());
    t->setPredecessorIdListBuf({3, 4});
    t->clearPredecessorIdListBuf();
    EXPECT_TRUE(t->predecessorIdListBuf()->empty());

    t->color().update(3, std::nullopt);
    EXPECT_EQ(t->color().index, 125);
    t->color().update(std::nullopt, std::nullopt);
    EXPECT_EQ(t->color().indexForOldSystem, 0);
    EXPECT_EQ(t->color().index, 69);
    t->color().update(20, 7);
    EXPECT_EQ(t->color(), (ZozProjectTask::Color{20, 7}));
    const auto child = t->createChild(2, localDate(2024, 3, 4), localDate(2024, 3, 5));
    EXPECT_EQ(child->color(), t->color());
    t->removeChild(child);

    auto member = std::make_shared<ZozProjectMember>(5, "Ann");
    t->ownResources().addOrUpdateResource(member, 40);
    EXPECT_TRUE(t->hasAssignment());
    EXPECT_EQ(&t->resources(), &t->ownResources());
    t->setTaskType(ZozProjectTaskType::milestone);
    EXPECT_EQ(&t->resources(), &ZozTaskResources::empty());
    EXPECT_FALSE(t->hasAssignment());
    t->setTaskType(ZozProjectTaskType::singleTask);
    t->addChild(task(3));
    EXPECT_EQ(&t->resources(), &ZozTaskResources::empty());
    EXPECT_TRUE(t->isZozProjectMemberAssignedAsOwnerOrInResources(5));
    EXPECT_FALSE(t->isZozProjectMemberAssignedAsOwnerOrInResources(6));
    t->setContactor(std::make_shared<ZozProjectMember>(6, "Bob"));
    EXPECT_TRUE(t->isZozProjectMemberAssignedAsOwnerOrInResources(6));
}

} // namespace
} // namespace document
