#include "algorithm/tree_node.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// A reference node as the task tree has them: shared children handed out by reference, a
// non-owning parent link, and members on the pointee that the default traits pick up.
struct Task : std::enable_shared_from_this<Task> {
    explicit Task(std::string n) : name(std::move(n)) {}
    Task(const Task&) = delete;
    Task& operator=(const Task&) = delete;
    ~Task() {
        // Tear a deep chain down from the bottom so destruction never recurses per level.
        std::vector<std::shared_ptr<Task>> pending = std::move(children);
        while (!pending.empty()) {
            auto last = std::move(pending.back());
            pending.pop_back();
            if (last.use_count() == 1) {
                for (auto& c : last->children) {
                    pending.push_back(std::move(c));
                }
                last->children.clear();
            }
        }
    }

    std::string name;
    std::vector<std::shared_ptr<Task>> children;
    Task* parent = nullptr;

    const std::vector<std::shared_ptr<Task>>& treeChildren() const { return children; }
    std::shared_ptr<Task> treeParent() const {
        return parent != nullptr ? parent->shared_from_this() : nullptr;
    }
};
using TaskPtr = std::shared_ptr<Task>;

TaskPtr add(const TaskPtr& parent, std::string name) {
    auto child = std::make_shared<Task>(std::move(name));
    child->parent = parent.get();
    parent->children.push_back(child);
    return child;
}

// A value node whose child list must not be copied: it adopts the contract by specialising the
// traits and handing out a reference to the list it owns.
struct Record {
    std::string name;
    std::vector<Record> kids;
};

// An index into a synthetic chain: lets every walk run over a million levels cheaply.
struct ChainNode {
    std::int64_t index = 0;
    std::int64_t length = 0;
    friend bool operator==(const ChainNode&, const ChainNode&) = default;
};

// A handle into a table of nodes whose == compares labels, so distinct siblings can be equal.
struct Labelled {
    struct Arena {
        std::vector<std::string> labels;
        std::vector<int> parents;
        std::vector<std::vector<int>> children;
    };
    const Arena* arena = nullptr;
    int id = 0;
    friend bool operator==(const Labelled& x, const Labelled& y) {
        return x.arena->labels[static_cast<std::size_t>(x.id)] ==
               y.arena->labels[static_cast<std::size_t>(y.id)];
    }
};

} // namespace

template <>
struct algorithm::TreeNodeTraits<Labelled> {
    static std::vector<Labelled> children(const Labelled& n) {
        std::vector<Labelled> list;
        for (const int c : n.arena->children[static_cast<std::size_t>(n.id)]) {
            list.push_back(Labelled{n.arena, c});
        }
        return list;
    }
    static std::optional<Labelled> parent(const Labelled& n) {
        const int p = n.arena->parents[static_cast<std::size_t>(n.id)];
        return p < 0 ? std::nullopt : std::optional<Labelled>(Labelled{n.arena, p});
    }
};

template <>
struct algorithm::TreeNodeTraits<Record> {
    static const std::vector<Record>& children(const Record& r) { return r.kids; }
};

template <>
struct algorithm::TreeNodeTraits<ChainNode> {
    static std::vector<ChainNode> children(const ChainNode& n) {
        if (n.index + 1 >= n.length) {
            return {};
        }
        return {ChainNode{n.index + 1, n.length}};
    }
    static std::optional<ChainNode> parent(const ChainNode& n) {
        if (n.index == 0) {
            return std::nullopt;
        }
        return ChainNode{n.index - 1, n.length};
    }
};

static_assert(algorithm::ParentLinkedTreeNode<TaskPtr>);
static_assert(algorithm::TreeNode<Record>);
static_assert(!algorithm::ParentLinkedTreeNode<Record>);
static_assert(algorithm::ParentLinkedTreeNode<ChainNode>);

namespace {

using namespace algorithm;

struct Sample {
    TaskPtr a = std::make_shared<Task>("A");
    TaskPtr b = add(a, "B");
    TaskPtr d = add(b, "D");
    TaskPtr e = add(b, "E");
    TaskPtr c = add(a, "C");
};

std::string path(const TreeIndexPath& p) {
    std::string text = "[";
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += std::to_string(p[i]);
    }
    text += ']';
    return text;
}

Record sampleRecord() {
    return Record{"A", {Record{"B", {Record{"D", {}}, Record{"E", {}}}}, Record{"C", {}}}};
}

TEST(TreeNode, WalkOrdersOnSampleTree) {
    const Sample s;
    std::string seen;
    treeTravel(s.a, true, [&](const TaskPtr& t) { seen += t->name; });
    EXPECT_EQ(seen, "ABDEC");
    seen.clear();
    treeTravel(s.a, false, [&](const TaskPtr& t) { seen += t->name; });
    EXPECT_EQ(seen, "BDEC");

    seen.clear();
    treeTravelWithIndexPath(
        s.a, true, [&](const TaskPtr& t, const TreeIndexPath& p) { seen += t->name + path(p); });
    EXPECT_EQ(seen, "A[]B[0]D[0,0]E[0,1]C[1]");
    seen.clear();
    treeTravelWithIndexPath(
        s.a, false, [&](const TaskPtr& t, const TreeIndexPath& p) { seen += t->name + path(p); });
    EXPECT_EQ(seen, "B[0]D[0,0]E[0,1]C[1]");

    seen.clear();
    treeTravel(s.a, [&](const TaskPtr& p, const TaskPtr& c) { seen += p->name + c->name + " "; });
    EXPECT_EQ(seen, "AB BD BE AC ");

    seen.clear();
    treeTravelLeaves(s.a, [&](const TaskPtr& t) { seen += t->name; });
    EXPECT_EQ(seen, "DEC");
    seen.clear();
    treeTravelFromLeaf(s.a, [&](const TaskPtr& t) { seen += t->name; });
    EXPECT_EQ(seen, "DEBCA");

    const auto pruneB = [&](const TaskPtr& t) {
        seen += t->name;
        return t != s.b;
    };
    seen.clear();
    treeConditionalTravel(s.a, true, pruneB);
    EXPECT_EQ(seen, "ABC");
    seen.clear();
    treeConditionalTravel(s.a, false, pruneB);
    EXPECT_EQ(seen, "BC");

    seen.clear();
    treeCalculate(s.a, std::string("R"), 9,
                  [&](const std::string& up, const TaskPtr& t, std::int64_t i) {
                      std::string mine = up + "/" + t->name + std::to_string(i);
                      seen += mine + " ";
                      return mine;
                  });
    EXPECT_EQ(seen, "R/A9 R/A9/B0 R/A9/B0/D0 R/A9/B0/E1 R/A9/C1 ");

    EXPECT_EQ(treeHeight(s.a), 2);
    EXPECT_EQ(treeHeight(s.c), 0);
    EXPECT_TRUE(treeHasChildren(s.b));
    EXPECT_TRUE(treeIsLeaf(s.d));
}

TEST(TreeNode, ValueNodesWalkWithoutCopyingTheirLists) {
    const Record a = sampleRecord();
    std::string seen;
    std::vector<const Record*> offered;
    treeTravel(a, true, [&](const Record& r) {
        seen += r.name;
        offered.push_back(&r);
    });
    EXPECT_EQ(seen, "ABDEC");
    // The walk hands out the nodes the tree owns, not copies.
    EXPECT_EQ(offered[1], &a.kids[0]);
    EXPECT_EQ(offered[3], &a.kids[0].kids[1]);

    seen.clear();
    treeTravelFromLeaf(a, [&](const Record& r) { seen += r.name; });
    EXPECT_EQ(seen, "DEBCA");
    EXPECT_EQ(treeHeight(a), 2);
    const auto found = treeFindFirst(a, [](const Record& r) { return r.name == "E"; });
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->name, "E");
}

TEST(TreeNode, SingleNode) {
    const auto only = std::make_shared<Task>("X");
    int calls = 0;
    treeTravel(only, true, [&](const TaskPtr&) { ++calls; });
    EXPECT_EQ(calls, 1);
    treeTravel(only, false, [&](const TaskPtr&) { ++calls; });
    treeTravel(only, [&](const TaskPtr&, const TaskPtr&) { ++calls; });
    EXPECT_EQ(calls, 1);
    treeTravelLeaves(only, [&](const TaskPtr&) { ++calls; });
    treeTravelFromLeaf(only, [&](const TaskPtr&) { ++calls; });
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(treeHeight(only), 0);
    EXPECT_EQ(treeDepth(only), 0);
    EXPECT_TRUE(treeIsRoot(only));
    EXPECT_TRUE(treeIsLeaf(only));
    EXPECT_EQ(treeRoot(only), only);
    EXPECT_FALSE(treeGetIndexInParent(only));
    EXPECT_FALSE(treeNextPeer(only));
    EXPECT_FALSE(treePreviousPeer(only));
    EXPECT_FALSE(treeFindInAncestors(only, [](const TaskPtr&) { return true; }));
    EXPECT_FALSE(treeExistsAncestor(only, [](const TaskPtr&) { return true; }));
}

TEST(TreeNode, ThrowStopsTheWalkAndReachesTheCaller) {
    const Sample s;
    struct Stop : std::runtime_error {
        using std::runtime_error::runtime_error;
    };
    std::string seen;
    const auto visit = [&](const TaskPtr& t) {
        seen += t->name;
        if (t == s.d) {
            throw Stop("at D");
        }
    };
    try {
        treeTravel(s.a, true, visit);
        FAIL() << "the visitor's error was swallowed";
    } catch (const Stop& e) {
        EXPECT_STREQ(e.what(), "at D");
    }
    EXPECT_EQ(seen, "ABD");

    seen.clear();
    auto future = treeTravelAsync(s.a, true, visit);
    EXPECT_THROW(future.get(), Stop);
    EXPECT_EQ(seen, "ABD");

    seen.clear();
    EXPECT_THROW(treeUpTravelAncestors(s.e, true,
                                       [&](const TaskPtr& t) {
                                           seen += t->name;
                                           if (t == s.b) {
                                               throw Stop("at B");
                                           }
                                       }),
                 Stop);
    EXPECT_EQ(seen, "EB");
}

TEST(TreeNode, AsyncWalksKeepTheOrder) {
    const Sample s;
    std::string seen;
    treeTravelAsync(s.a, false, [&](const TaskPtr& t) { seen += t->name; }).get();
    EXPECT_EQ(seen, "BDEC");
    seen.clear();
    treeTravelWithIndexPathAsync(s.a, true, [&](const TaskPtr& t, const TreeIndexPath& p) {
        seen += t->name + path(p);
    }).get();
    EXPECT_EQ(seen, "A[]B[0]D[0,0]E[0,1]C[1]");
}

// What a visitor does to the sample tree when offered its trigger node: C leaves A's list, A's
// list grows until it moves in memory, and F joins B. A walk keeps iterating the lists as it read
// them, and reads a node's children only when it reaches them.
void editTree(const Sample& s) {
    s.a->children.pop_back();
    for (int i = 0; i < 64; ++i) {
        add(s.a, "x");
    }
    add(s.b, "F");
}

TEST(TreeNode, VisitorsThatEditTheTreeLeaveEveryWalkOnTheListsAsRead) {
    struct Case {
        const char* walk;
        std::function<std::string(const Sample&)> run;
        const char* expected;
    };
    // Each walk edits when it offers B (children of B not read yet, A's list read before) or,
    // for the bottom-up walks, when it offers D (B's list already read).
    const auto onB = [](const Sample& s, std::string& seen, const TaskPtr& t) {
        seen += t->name;
        if (t == s.b) {
            editTree(s);
        }
    };
    const auto onD = [](const Sample& s, std::string& seen, const TaskPtr& t) {
        seen += t->name;
        if (t == s.d) {
            editTree(s);
        }
    };
    const std::vector<Case> cases{
        {"pre-order",
         [&](const Sample& s) {
             std::string seen;
             treeTravel(s.a, true, [&](const TaskPtr& t) { onB(s, seen, t); });
             return seen;
         },
         "ABDEFC"},
        {"pre-order without self",
         [&](const Sample& s) {
             std::string seen;
             treeTravel(s.a, false, [&](const TaskPtr& t) { onB(s, seen, t); });
             return seen;
         },
         "BDEFC"},
        {"index paths",
         [&](const Sample& s) {
             std::string seen;
             treeTravelWithIndexPath(s.a, true, [&](const TaskPtr& t, const TreeIndexPath& p) {
                 onB(s, seen, t);
                 seen += path(p);
             });
             return seen;
         },
         "A[]B[0]D[0,0]E[0,1]F[0,2]C[1]"},
        {"asynchronous",
         [&](const Sample& s) {
             std::string seen;
             treeTravelAsync(s.a, true, [&](const TaskPtr& t) { onB(s, seen, t); }).get();
             return seen;
         },
         "ABDEFC"},
        {"asynchronous index paths",
         [&](const Sample& s) {
             std::string seen;
             treeTravelWithIndexPathAsync(s.a, false,
                                          [&](const TaskPtr& t, const TreeIndexPath& p) {
                                              onB(s, seen, t);
                                              seen += path(p);
                                          })
                 .get();
             return seen;
         },
         "B[0]D[0,0]E[0,1]F[0,2]C[1]"},
        {"pairs",
         [&](const Sample& s) {
             std::string seen;
             treeTravel(s.a, [&](const TaskPtr& parent, const TaskPtr& child) {
                 seen += parent->name;
                 onB(s, seen, child);
                 seen += ' ';
             });
             return seen;
         },
         "AB BD BE BF AC "},
        {"conditional",
         [&](const Sample& s) {
             std::string seen;
             treeConditionalTravel(s.a, true, [&](const TaskPtr& t) {
                 onB(s, seen, t);
                 return true;
             });
             return seen;
         },
         "ABDEFC"},
        {"calculate",
         [&](const Sample& s) {
             std::string seen;
             treeCalculate(s.a, 0, 0, [&](const int& depth, const TaskPtr& t, std::int64_t i) {
                 onB(s, seen, t);
                 seen += std::to_string(depth) + std::to_string(i);
                 return depth + 1;
             });
             return seen;
         },
         "A00B10D20E21F22C11"},
        {"find first",
         [&](const Sample& s) {
             std::string seen;
             const auto found = treeFindFirst(s.a, [&](const TaskPtr& t) {
                 onB(s, seen, t);
                 return t == s.c;
             });
             return seen + "=" + (found ? (*found)->name : "none");
         },
         "ABDEFC=C"},
        {"find first with pruning",
         [&](const Sample& s) {
             std::string seen;
             const auto found = treeFindFirst(
                 s.a,
                 [&](const TaskPtr& t) {
                     onB(s, seen, t);
                     return t == s.c;
                 },
                 [](const TaskPtr&) { return true; });
             return seen + "=" + (found ? (*found)->name : "none");
         },
         "ABDEFC=C"},
        {"contains",
         [&](const Sample& s) {
             std::string seen;
             const bool found = treeContains(s.a, [&](const TaskPtr& t) {
                 onB(s, seen, t);
                 return t == s.c;
             });
             return seen + (found ? "=yes" : "=no");
         },
         "ABDEFC=yes"},
        {"leaves",
         [&](const Sample& s) {
             std::string seen;
             treeTravelLeaves(s.a, [&](const TaskPtr& t) { onD(s, seen, t); });
             return seen;
         },
         "DEC"},
        {"post-order",
         [&](const Sample& s) {
             std::string seen;
             treeTravelFromLeaf(s.a, [&](const TaskPtr& t) { onD(s, seen, t); });
             return seen;
         },
         "DEBCA"},
    };
    for (const Case& c : cases) {
        const Sample s;
        EXPECT_EQ(c.run(s), c.expected) << c.walk;
        EXPECT_EQ(s.a->children.size(), 65U) << c.walk; // the edit ran once
    }
}

TEST(TreeNode, SearchesAndParentLinks) {
    const Sample s;
    std::vector<std::string> asked;
    const auto dOrC = [&](const TaskPtr& t) {
        asked.push_back(t->name);
        return t == s.d || t == s.c;
    };
    EXPECT_EQ(treeFindFirst(s.a, dOrC), s.d);
    EXPECT_EQ(asked, (std::vector<std::string>{"A", "B", "D"}));
    EXPECT_EQ(treeFindFirst(s.a, [](const TaskPtr& t) { return t->name == "A"; }), s.a);
    EXPECT_FALSE(treeFindFirst(s.a, [](const TaskPtr&) { return false; }));

    asked.clear();
    const auto found = treeFindFirst(
        s.a, [](const TaskPtr& t) { return t->name == "E"; },
        [&](const TaskPtr& t) {
            asked.push_back(t->name);
            return t != s.b;
        });
    EXPECT_FALSE(found);
    // Only nodes that have children and did not match are asked.
    EXPECT_EQ(asked, (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(treeContains(s.a, [](const TaskPtr& t) { return t->name == "C"; }));
    EXPECT_FALSE(treeContains(s.b, [](const TaskPtr& t) { return t->name == "C"; }));

    EXPECT_EQ(treeDepth(s.e), 2);
    EXPECT_EQ(treeDepth(s.e, s.b), 1);
    EXPECT_EQ(treeDepth(s.e, s.e), 0);
    EXPECT_EQ(treeDepth(s.e, s.c), 2); // not an ancestor: the plain depth
    EXPECT_EQ(treeDepth(s.a, s.c), 0);
    EXPECT_EQ(treeRoot(s.e), s.a);

    EXPECT_EQ(treeGetIndexInParent(s.c), 1);
    EXPECT_EQ(treeNextPeer(s.b), s.c);
    EXPECT_FALSE(treeNextPeer(s.c));
    EXPECT_FALSE(treePreviousPeer(s.b));
    EXPECT_EQ(treePreviousPeer(s.c), s.b);

    std::string seen;
    treeUpTravelAncestors(s.e, true, [&](const TaskPtr& t) { seen += t->name; });
    EXPECT_EQ(seen, "EBA");
    seen.clear();
    treeUpTravelAncestors(s.a, false, [&](const TaskPtr& t) { seen += t->name; });
    EXPECT_EQ(seen, "");
    treeDownTravelAncestors(s.e, true, [&](const TaskPtr& t) { seen += t->name; });
    EXPECT_EQ(seen, "ABE");
    seen.clear();
    treeConditionalUpTravelAncestors(s.e, true, [&](const TaskPtr& t) {
        seen += t->name;
        return t != s.b;
    });
    EXPECT_EQ(seen, "EB");

    EXPECT_EQ(treeFindInAncestors(s.e, [](const TaskPtr&) { return true; }), s.b);
    EXPECT_FALSE(treeExistsAncestor(s.e, [&](const TaskPtr& t) { return t == s.e; }));
    EXPECT_TRUE(treeIsAncestor(s.a, s.e));
    EXPECT_FALSE(treeIsAncestor(s.e, s.e));
    EXPECT_FALSE(treeIsAncestor(s.b, s.c));
}

TEST(TreeNode, EqualSiblingsShareTheFirstIndex) {
    // R(X, X): the second X equals the first under ==, so it gets the first one's index and peers.
    const Labelled::Arena arena{{"R", "X", "X"}, {-1, 0, 0}, {{1, 2}, {}, {}}};
    const Labelled second{&arena, 2};
    EXPECT_EQ(treeGetIndexInParent(second), 0);
    EXPECT_FALSE(treePreviousPeer(second));
    ASSERT_TRUE(treeNextPeer(second));
    EXPECT_EQ(treeNextPeer(second)->id, 2);
}

TEST(TreeNode, MillionLevelChainNeverRecurses) {
    constexpr std::int64_t kLevels = 1'000'000;
    const ChainNode top{0, kLevels};
    const ChainNode bottom{kLevels - 1, kLevels};

    std::int64_t visits = 0;
    treeTravel(top, true, [&](const ChainNode&) { ++visits; });
    EXPECT_EQ(visits, kLevels);
    std::size_t deepest = 0;
    treeTravelWithIndexPath(top, false, [&](const ChainNode&, const TreeIndexPath& p) {
        deepest = std::max(deepest, p.size());
    });
    EXPECT_EQ(deepest, static_cast<std::size_t>(kLevels - 1));
    visits = 0;
    treeTravel(top, [&](const ChainNode&, const ChainNode&) { ++visits; });
    EXPECT_EQ(visits, kLevels - 1);
    visits = 0;
    treeConditionalTravel(top, true, [&](const ChainNode&) { return ++visits > 0; });
    EXPECT_EQ(visits, kLevels);
    std::int64_t leaf = -1;
    treeTravelLeaves(top, [&](const ChainNode& n) { leaf = n.index; });
    EXPECT_EQ(leaf, kLevels - 1);
    std::int64_t firstPost = -1;
    treeTravelFromLeaf(top, [&](const ChainNode& n) {
        if (firstPost < 0) {
            firstPost = n.index;
        }
    });
    EXPECT_EQ(firstPost, kLevels - 1);
    std::int64_t lastDepth = 0;
    treeCalculate(top, std::int64_t{-1}, 0, [&](std::int64_t up, const ChainNode&, std::int64_t) {
        lastDepth = up + 1;
        return lastDepth;
    });
    EXPECT_EQ(lastDepth, kLevels - 1);
    EXPECT_EQ(treeHeight(top), kLevels - 1);
    EXPECT_EQ(treeFindFirst(top, [&](const ChainNode& n) { return n == bottom; }), bottom);
    EXPECT_FALSE(treeContains(top, [](const ChainNode& n) { return n.index < 0; }));

    EXPECT_EQ(treeDepth(bottom), kLevels - 1);
    EXPECT_EQ(treeRoot(bottom), top);
    EXPECT_TRUE(treeIsAncestor(top, bottom));
    visits = 0;
    treeDownTravelAncestors(bottom, true, [&](const ChainNode&) { ++visits; });
    EXPECT_EQ(visits, kLevels);
}

TEST(TreeNode, DeepTaskChain) {
    constexpr int kLevels = 200'000;
    const auto root = std::make_shared<Task>("root");
    TaskPtr last = root;
    for (int i = 1; i < kLevels; ++i) {
        last = add(last, "t");
    }
    int visits = 0;
    treeTravel(root, false, [&](const TaskPtr&) { ++visits; });
    EXPECT_EQ(visits, kLevels - 1);
    EXPECT_EQ(treeHeight(root), kLevels - 1);
    EXPECT_EQ(treeDepth(last), kLevels - 1);
    EXPECT_EQ(treeRoot(last), root);
}

} // namespace
