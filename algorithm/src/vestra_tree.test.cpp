#include "algorithm/vestra_tree.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

namespace {

using namespace algorithm::VtVestraTree;
using testing::HasSubstr;

using T = Tree<std::string, std::string>;
using N = T::NodeType;
using V = T::ValueType;

T convertingTree() {
    return T::create([](const std::string& l) { return l + "+"; },
                     [](const std::string& b) { return b + "-"; });
}

// The live node `id`; the test fails loudly instead of dereferencing null.
template <class Any = T>
const typename Any::NodeType& at(const Any& tree, std::int64_t id) {
    const auto* found = tree.node(NodeID(id));
    if (found == nullptr) {
        throw std::logic_error("no node " + std::to_string(id));
    }
    return *found;
}

std::string name(const N& n) {
    return n.isLeaf() ? n.leafPayload() : n.branchPayload();
}

// Outline of the subtree under `id`, e.g. "R(A(C),B)"; small trees only.
std::string shape(const T& tree, NodeID id) {
    std::string text;
    std::vector<std::size_t> open;
    tree.travelWithIndexes(id, [&](const N& n, const algorithm::TreeIndexPath& path) {
        while (open.size() > path.size()) {
            text += ")";
            open.pop_back();
        }
        if (!text.empty() && text.back() != '(') {
            text += ",";
        }
        text += name(n);
        if (n.childrenCount() > 0) {
            text += "(";
            open.push_back(path.size());
        }
    });
    text += std::string(open.size(), ')');
    return text;
}

std::string shape(const T& tree) {
    return tree.root() != nullptr ? shape(tree, NodeID(0)) : "";
}

// R(A(C),B): ids R 0, A 1, C 2, B 3.
T sample() {
    return T::from(V::branch("R", {V::branch("A", {V::leaf("C")}), V::leaf("B")}));
}

template <class F>
std::string logOf(F&& action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

template <class F>
Error::Code codeOf(F&& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.code();
    }
    ADD_FAILURE() << "no error thrown";
    return Error::Code::unknown;
}

// The full observable state, to show a refused edit changed nothing.
std::string state(const T& tree) {
    std::string text = nlohmann::json(tree).dump() + " free:";
    for (const auto p : tree.emptyPositions()) {
        text += std::to_string(p) + ",";
    }
    return text + " slots:" + std::to_string(tree.nodes().size());
}

TEST(VestraTreeQueries, EmptyTreesAndMissingIds) {
    const T empty;
    EXPECT_EQ(empty.root(), nullptr);
    EXPECT_EQ(empty.node(WBSNumber::root()), nullptr);
    EXPECT_EQ(empty.node(NodeID(0)), nullptr);
    EXPECT_EQ(empty.nodeID(WBSNumber::root()), std::nullopt);

    T noRoot = sample();
    noRoot.remove(NodeID(0));
    EXPECT_EQ(noRoot.root(), nullptr);
    EXPECT_EQ(noRoot.node(WBSNumber::root()), nullptr);
    EXPECT_EQ(noRoot.node(WBSNumber{{0}}), nullptr);

    T tree = sample();
    tree.remove(NodeID(2));
    EXPECT_EQ(tree.node(NodeID(2)), nullptr);
    EXPECT_EQ(tree.parentID(NodeID(2)), std::nullopt);
    EXPECT_EQ(tree.parent(NodeID(2)), nullptr);
    EXPECT_EQ(tree.childIndexInParent(NodeID(2)), std::nullopt);
    EXPECT_EQ(tree.node(NodeID(-1)), nullptr);
    EXPECT_EQ(tree.countOfChildren(NodeID(2)), 0);
    EXPECT_EQ(tree.countOfChildren(NodeID(99)), 0);

    // Where a live id is required, a missing one is a logged invalidStorage, not a crash.
    EXPECT_EQ(codeOf([&] { (void)tree.childrenIDs(NodeID(2)); }), Error::Code::invalidStorage);
    EXPECT_EQ(codeOf([&] { (void)tree.wbsNumber(NodeID(40)); }), Error::Code::invalidStorage);
    EXPECT_EQ(codeOf([&] { (void)tree.treeHeight(NodeID(2)); }), Error::Code::invalidStorage);
}

TEST(VestraTreeQueries, FamilyAndOutlineNumbers) {
    const T tree = T::from(V::branch("R", {V::leaf("a"), V::leaf("b"), V::leaf("c")}));
    const N& a = at(tree, 1);
    const N& b = at(tree, 2);
    const N& c = at(tree, 3);
    const N& root = at(tree, 0);
    EXPECT_EQ(tree.previousSibling(a), nullptr);
    EXPECT_EQ(tree.nextSibling(c), nullptr);
    EXPECT_EQ(tree.previousSibling(c), &b);
    EXPECT_EQ(tree.nextSibling(a), &b);
    EXPECT_EQ(b.previousSibling(tree), &a);
    EXPECT_EQ(tree.previousSibling(root), nullptr);
    EXPECT_EQ(tree.nextSibling(root), nullptr);
    EXPECT_EQ(tree.parent(root), nullptr);
    EXPECT_EQ(tree.childIndexInParent(NodeID(0)), std::nullopt);
    EXPECT_EQ(c.childIndexInParent(tree), 2);
    EXPECT_EQ(tree.childIndex(NodeID(1), a), std::nullopt); // a leaf lists nothing
    EXPECT_EQ(tree.children(NodeID(0)), (std::vector<const N*>{&a, &b, &c}));

    EXPECT_EQ(tree.ancesstor(NodeID(2), 0), &b);
    EXPECT_EQ(tree.ancesstor(NodeID(2), 1), &root);
    EXPECT_EQ(tree.ancesstor(NodeID(2), 2), nullptr);
    EXPECT_EQ(tree.ancesstor(NodeID(0), 1), nullptr);
    EXPECT_EQ(tree.ancesstor(NodeID(2), -1), nullptr);

    EXPECT_EQ(tree.wbsNumber(NodeID(0)), WBSNumber::root());
    EXPECT_EQ(tree.wbsNumber(NodeID(2)).string(), "2");
    EXPECT_EQ(tree.nodeID(WBSNumber{{3}}), std::nullopt); // == number of children
    EXPECT_EQ(tree.nodeID(WBSNumber{{-1}}), std::nullopt);
    EXPECT_EQ(tree.nodeID(WBSNumber{{0, 0}}), std::nullopt); // runs into a leaf
    EXPECT_EQ(tree[WBSNumber{{2}}], &c);

    const T nested = sample();
    EXPECT_EQ(nested.wbsNumber(NodeID(2)).string(), "1.1");
}

TEST(VestraTreeQueries, OutlineNumbersAndIdsStayInverseThroughRandomEdits) {
    std::mt19937 random(20240607);
    T tree = convertingTree();
    (void)tree.create(std::string("root"), std::nullopt);
    for (int step = 0; step < 600; ++step) {
        const auto live = tree.all();
        const N& pick = *live[random() % live.size()];
        const N& other = *live[random() % live.size()];
        const auto index = static_cast<std::int64_t>(random() % 4) - 1;
        try {
            switch (random() % 6) {
            case 0:
            case 1:
            case 2:
                (void)tree.create(std::to_string(step), pick.id, index);
                break;
            case 3:
                if (!pick.isRoot()) {
                    tree.remove(pick.id);
                }
                break;
            case 4:
                testing::internal::CaptureStdout();
                try {
                    tree.move(pick.id, other.id, index);
                } catch (const Error&) {
                    // root, same parent or own subtree: refused, fine here
                }
                (void)testing::internal::GetCapturedStdout();
                break;
            default:
                if (!pick.isRoot()) {
                    tree.changeSequenceInTheSameParent(pick.id, index);
                }
                break;
            }
        } catch (const Error& e) {
            FAIL() << "unexpected refusal " << static_cast<int>(e.code());
        }
        for (const N* n : tree.all()) {
            ASSERT_EQ(tree.nodeID(tree.wbsNumber(n->id)), n->id);
        }
    }
    EXPECT_GT(tree.nodesCount(), 1);
}

TEST(VestraTreeEditing, SlotReuseIsFirstInFirstOut) {
    T tree = convertingTree();
    EXPECT_TRUE(tree.isEmpty());
    EXPECT_EQ(tree.nodesCount(), 0);
    EXPECT_TRUE(tree.all().empty());
    EXPECT_EQ(tree.create(std::string("R"), std::nullopt).id, NodeID(0));
    (void)tree.create(std::string("x"), NodeID(0));             // 1
    const auto p = tree.create(std::string("P"), NodeID(0)).id; // 2
    (void)tree.create(std::string("c1"), p);                    // 3
    (void)tree.create(std::string("c2"), p);                    // 4
    EXPECT_EQ(shape(tree), "R+(x,P+(c1,c2))");

    tree.remove(p);
    EXPECT_EQ(tree.emptyPositions(), (std::deque<std::int64_t>{2, 3, 4}));
    EXPECT_EQ(tree.create(std::string("n1"), NodeID(0)).id, NodeID(2));
    EXPECT_EQ(tree.create(std::string("n2"), NodeID(0)).id, NodeID(3));
    EXPECT_EQ(tree.create(std::string("n3"), NodeID(0)).id, NodeID(4));
    EXPECT_EQ(tree.create(std::string("n4"), NodeID(0)).id, NodeID(5));

    // A subtree takes freed slots in pre-order, top node first, and is attached last.
    tree.remove(NodeID(2));
    tree.remove(NodeID(4));
    const auto top =
        tree.copy(V::branch("S", {V::leaf("s1"), V::leaf("s2")}), NodeID(0), std::int64_t{0});
    EXPECT_EQ(top.id, NodeID(2));
    EXPECT_EQ(at(tree, 4).parentID, NodeID(2));
    EXPECT_EQ(at(tree, 6).parentID, NodeID(2));
    EXPECT_EQ(shape(tree), "R+(S(s1,s2),x,n2,n4)");

    // Removing everything keeps the slots: not empty, no live node; a new root goes to slot 0
    // whatever order the slots were freed in.
    tree.remove(NodeID(3));
    tree.remove(NodeID(0));
    EXPECT_FALSE(tree.isEmpty());
    EXPECT_EQ(tree.nodesCount(), 0);
    EXPECT_EQ(tree.emptyPositions().front(), 3);
    EXPECT_EQ(tree.create(std::string("again"), std::nullopt).id, NodeID(0));
    EXPECT_EQ(at(tree, 0).id, NodeID(0));
    EXPECT_EQ(tree.create(std::string("k"), NodeID(0)).id, NodeID(3));
}

TEST(VestraTreeEditing, ConvertersAndIndexes) {
    T tree = convertingTree();
    (void)tree.create(std::string("R"), std::nullopt);
    const auto a = tree.create(std::string("a"), NodeID(0)).id;
    (void)tree.create(std::string("b"), NodeID(0));
    (void)tree.create(std::string("first"), NodeID(0), 0);
    for (const std::optional<std::int64_t> index :
         {std::optional<std::int64_t>(3), {7}, {-1}, {}}) {
        (void)tree.create(std::string("end"), NodeID(0), index);
    }
    EXPECT_EQ(shape(tree), "R+(first,a,b,end,end,end,end)");
    (void)tree.create(std::string("only"), a, 5);
    EXPECT_EQ(at(tree, a.rawValue).branchPayload(), "a+");
    tree.remove(tree.childrenIDs(a).front());
    EXPECT_EQ(at(tree, a.rawValue).leafPayload(), "a+-");

    // Without converters the last child leaves an empty branch behind.
    T plain = T::from(V::branch("R", {V::leaf("x")}));
    plain.remove(NodeID(1));
    EXPECT_TRUE(at(plain, 0).isBranch());
    EXPECT_EQ(at(plain, 0).childrenCount(), 0);

    const T one = T::from(V::leaf("solo"));
    EXPECT_EQ(one.nodes().size(), 1U);
    EXPECT_TRUE(at(one, 0).isRoot());
    const T fromLeaf = T::from(NodeID(2), sample());
    EXPECT_EQ(fromLeaf.nodes().size(), 1U);
    EXPECT_TRUE(at(fromLeaf, 0).isRoot());
    EXPECT_EQ(name(*fromLeaf.root()), "C");
}

TEST(VestraTreeEditing, CopiesTakeASnapshot) {
    T tree = convertingTree();
    tree = T::from(V::branch("R", {V::branch("A", {V::leaf("C")}), V::leaf("B")}),
                   tree.leafToBranchConverter(), tree.branchToLeafConverter());
    (void)tree.copy(NodeID(1), NodeID(2)); // A into its own leaf child C
    EXPECT_EQ(shape(tree), "R(A(C+(A(C))),B)");

    T other = T::from(V::branch("X", {}));
    (void)T::copy(NodeID(1), tree, NodeID(0), std::nullopt, other);
    EXPECT_EQ(shape(other), "X(A(C+(A(C))))");

    const auto shouting = tree.value(
        NodeID(1), [](std::string& l) { l += "!"; }, [](std::string& b) { b += "?"; });
    EXPECT_EQ(shape(T::from(shouting)), "A?(C+?(A?(C!)))");
    EXPECT_EQ(shape(tree), "R(A(C+(A(C))),B)");
}

TEST(VestraTreeEditing, RemoveCallbacksComeInPreOrderThenTheParent) {
    T tree = T::from(V::branch("R", {V::branch("A", {V::leaf("C"), V::leaf("D")}), V::leaf("B")}));
    std::string seen;
    tree.remove(
        NodeID(1), [&](const N& n) { seen += "remove " + name(n) + "; "; },
        [&](const N& n) {
            seen += "update " + name(n) + " with " + std::to_string(n.childrenCount());
        });
    EXPECT_EQ(seen, "remove A; remove C; remove D; update R with 2");
    EXPECT_EQ(tree.emptyPositions(), (std::deque<std::int64_t>{1, 2, 3}));

    // A throwing callback leaves the tree whole.
    const std::string before = state(tree);
    EXPECT_THROW(tree.remove(NodeID(4), {}, [](const N&) { throw std::runtime_error("no"); }),
                 std::runtime_error);
    EXPECT_EQ(state(tree), before);
}

TEST(VestraTreeEditing, RefusalsLogTheirLineAndChangeNothing) {
    T tree = sample(); // no converters: C and B are leaves that cannot take children
    tree.remove(NodeID(3));
    const std::string before = state(tree);
    struct Case {
        std::function<void()> edit;
        Error::Code code;
        std::string line;
        std::string operation; // named in the line's location block
    };
    const std::vector<Case> cases{
        {[&] { tree.move(NodeID(5), NodeID(0)); }, Error::Code::invalidStorage,
         "Node with ID 5 does not eixst", "_makeSureExists(nodeWithID:)"},
        {[&] { tree.move(NodeID(3), NodeID(0)); }, Error::Code::invalidStorage,
         "Node with ID 3 has been removed", "_makeSureExists(nodeWithID:)"},
        {[&] { (void)tree.create(std::string("x"), NodeID(3)); }, Error::Code::invalidStorage,
         "Node with ID 3 has been removed", "_makeSureExists(nodeWithID:)"},
        {[&] { tree.move(NodeID(0), NodeID(1)); }, Error::Code::treeLogic,
         "The root node can not be moved to be a child of another node",
         "move(nodeWithId:toNewParent:childIndexInNewParent:)"},
        {[&] { tree.move(NodeID(2), NodeID(1), std::int64_t{0}); }, Error::Code::treeLogic,
         "The node can not be moved to the old parent",
         "move(nodeWithId:toNewParent:childIndexInNewParent:)"},
        {[&] { tree.changeSequenceInTheSameParent(NodeID(0), 1); }, Error::Code::treeLogic,
         "The sequence of root node can not be changed", "changeSequenceInTheSameParent(of:to:)"},
        {[&] { tree.move(NodeID(1), NodeID(2)); }, Error::Code::treeLogic,
         "The leaf with ID 2 can not take a child without a leaf-to-branch converter",
         "move(nodeWithId:toNewParent:childIndexInNewParent:)"},
        {[&] { (void)tree.create(std::string("x"), NodeID(2)); }, Error::Code::treeLogic,
         "The leaf with ID 2 can not take a child without a leaf-to-branch converter",
         "create(leaf:inParent:at:)"},
        {[&] { (void)tree.copy(NodeID(1), NodeID(2)); }, Error::Code::treeLogic,
         "The leaf with ID 2 can not take a child without a leaf-to-branch converter",
         "copy(nodeValue:toParentWithID:indexInChildren:)"},
        {[&] { (void)tree.create(std::string("x"), std::nullopt); }, Error::Code::treeLogic,
         "The tree already has a root node; a second one can not be created",
         "create(leaf:inParent:at:)"},
        {[&] { tree.update(NodeID(2), Branch<std::string>{"x"}, [](const N&) { return true; }); },
         Error::Code::invalidContent,
         "The content of the leaf with ID 2 can not be changed by a branch content",
         "update(content:)"},
        {[&] { tree.remove(NodeID(9)); }, Error::Code::invalidStorage,
         "Node with ID 9 does not eixst", "_makeSureExists(nodeWithID:)"},
        {[&] { (void)tree.value(NodeID(3)); }, Error::Code::invalidStorage,
         "Node with ID 3 has been removed", "_makeSureExists(nodeWithID:)"},
    };
    for (const auto& c : cases) {
        Error::Code code = Error::Code::unknown;
        const auto log = logOf([&] { code = codeOf(c.edit); });
        EXPECT_EQ(code, c.code) << c.line;
        EXPECT_THAT(log, HasSubstr(c.line));
        EXPECT_THAT(log, HasSubstr(").(" + c.operation + ").(#")) << log;
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        EXPECT_EQ(state(tree), before) << c.line;
    }

    // Moving a node into its own subtree would make a cycle.
    T converting = convertingTree();
    converting = T::from(V::branch("R", {V::branch("A", {V::branch("C", {})}), V::leaf("B")}),
                         converting.leafToBranchConverter(), converting.branchToLeafConverter());
    const std::string snapshot = state(converting);
    for (const NodeID target : {NodeID(1), NodeID(2)}) {
        Error::Code code = Error::Code::unknown;
        const auto log = logOf([&] { code = codeOf([&] { converting.move(NodeID(1), target); }); });
        EXPECT_EQ(code, Error::Code::treeLogic);
        EXPECT_THAT(log, HasSubstr("The node 1 can not be moved into its own subtree"));
        EXPECT_EQ(state(converting), snapshot);
    }
}

} // namespace

namespace {

TEST(VestraTreeJson, RenumbersAcrossGaps) {
    T tree = T::from(V::branch("R", {V::leaf("a"), V::branch("b", {V::leaf("c")}), V::leaf("d")}));
    // ids: R 0, a 1, b 2, c 3, d 4; free 1 and 3 to leave live nodes at 0, 2 and 4.
    tree.remove(NodeID(1));
    tree.remove(NodeID(3));
    const std::string text = tree.jsonEncode();
    const auto json = nlohmann::ordered_json::parse(text);
    ASSERT_EQ(json.size(), 3U);
    EXPECT_EQ(json[0].dump(), R"({"id":0,"content":{"branch":"R","children":[2,4]}})");
    EXPECT_EQ(json[1].dump(), R"({"id":2,"parent":0,"content":{"branch":"b","children":[]}})");

    const T read = T::jsonDecode(text, core::DateDecodingStrategy::deferredToDate(), std::nullopt,
                                 {}, [](const std::string& b) { return b + "-"; });
    EXPECT_EQ(read.nodes().size(), 3U);
    EXPECT_TRUE(read.emptyPositions().empty());
    EXPECT_EQ(shape(read), "R(b,d)");
    EXPECT_EQ(at(read, 0).childrenIDs(), (std::vector<NodeID>{NodeID(1), NodeID(2)}));
    EXPECT_EQ(at(read, 2).parentID, NodeID(0));
    EXPECT_FALSE(at(read, 0).parentID);
    ASSERT_TRUE(read.branchToLeafConverter());
    EXPECT_FALSE(read.leafToBranchConverter());

    // Read without converters, an emptied branch stays a branch.
    T plain = nlohmann::json::parse(text).get<T>();
    plain.remove(NodeID(2));
    EXPECT_TRUE(at(plain, 0).isBranch());
}

TEST(VestraTreeJson, EmptyAndFullyRemovedTrees) {
    EXPECT_EQ(nlohmann::json::parse(T().jsonEncode()).dump(), "[]");
    T gone = sample();
    gone.remove(NodeID(0));
    EXPECT_FALSE(gone.isEmpty());
    EXPECT_EQ(nlohmann::json(gone).dump(), "[]");
    const T read = T::jsonDecode(gone.jsonEncode(), core::DateDecodingStrategy::deferredToDate(),
                                 std::nullopt, {}, {});
    EXPECT_TRUE(read.isEmpty());
    EXPECT_TRUE(read.emptyPositions().empty());
}

TEST(VestraTreeJson, DateStrategyAndUserInfoReachThePayloads) {
    // Branches carry a date, leaves a value that reads its scale from the user info.
    struct Scaled {
        double value = 0;
        core::Json encode(core::JsonEncoder&) const { return value; }
        static Scaled decode(const core::Json& json, core::JsonDecoder& decoder) {
            const double scale = std::any_cast<double>(decoder.userInfo().at("scale"));
            return {decoder.decode<double>(json) * scale};
        }
        bool operator==(const Scaled&) const = default;
    };
    using DatedTree = Tree<core::Date, Scaled>;
    const core::Date date(1'700'000'000.0);
    const DatedTree tree = DatedTree::from(
        NodeValue<core::Date, Scaled>::branch(date, {NodeValue<core::Date, Scaled>::leaf({2.5})}));
    const std::string text = tree.jsonEncode(core::DateEncodingStrategy::secondsSince1970());
    const auto json = nlohmann::ordered_json::parse(text);
    EXPECT_EQ(json[0]["content"]["branch"], 1'700'000'000.0);
    EXPECT_EQ(json[1]["content"]["leaf"], 2.5);

    const DatedTree read =
        DatedTree::jsonDecode(text, core::DateDecodingStrategy::secondsSince1970(),
                              core::JsonUserInfo{{"scale", 2.0}}, {}, {});
    const core::Date* readDate = at(read, 0).branchValue();
    const auto* readLeaf = at(read, 1).leafValue();
    ASSERT_TRUE(readDate != nullptr && readLeaf != nullptr);
    EXPECT_EQ(*readDate, date);
    EXPECT_EQ(readLeaf->value, 5.0);
    // Another strategy reads the same number as another date.
    const DatedTree shifted =
        DatedTree::jsonDecode(text, core::DateDecodingStrategy::deferredToDate(),
                              core::JsonUserInfo{{"scale", 1.0}}, {}, {});
    const core::Date* shiftedDate = at(shifted, 0).branchValue();
    ASSERT_TRUE(shiftedDate != nullptr);
    EXPECT_NE(*shiftedDate, date);
    // A payload of the wrong kind names where it stands.
    try {
        (void)DatedTree::jsonDecode(R"([{"id":0,"content":{"branch":"x","children":[]}}])",
                                    core::DateDecodingStrategy::secondsSince1970(),
                                    core::JsonUserInfo{{"scale", 1.0}}, {}, {});
        ADD_FAILURE();
    } catch (const core::DecodingError& error) {
        EXPECT_EQ(error.code(), core::DecodingError::Code::typeMismatch);
        EXPECT_EQ(error.codingPath().front(), "Index 0");
    }
}

TEST(VestraTreeJson, RejectsInconsistentInput) {
    const auto node = [](int id, std::optional<int> parent, std::vector<int> children,
                         bool isLeaf = false) {
        nlohmann::json n{{"id", id}};
        if (parent) {
            n["parent"] = *parent;
        }
        n["content"] = isLeaf ? nlohmann::json{{"leaf", "x"}}
                              : nlohmann::json{{"branch", "x"}, {"children", children}};
        return n;
    };
    using J = nlohmann::json;
    struct Case {
        J json;
        Error::Code code;
        std::string line;
    };
    const std::vector<Case> cases{
        {J::array({node(0, {}, {1}), node(1, 0, {}), node(1, 0, {})}), Error::Code::invalidStorage,
         "Node with ID 1 is stored more than once"},
        {J::array({node(0, {}, {}), node(1, 7, {})}), Error::Code::invalidStorage,
         "Node's parent with ID: 7 does not exist"},
        {J::array({node(0, {}, {4})}), Error::Code::invalidStorage,
         "Node with ID: 4 does not exist"},
        {J::array({node(0, {}, {}), node(1, {}, {})}), Error::Code::treeLogic,
         "The tree must have exactly one root node, found 2"},
        {J::array({node(0, 1, {}), node(1, 0, {0})}), Error::Code::treeLogic,
         "The tree must have exactly one root node, found 0"},
        {J::array({node(1, 0, {}), node(0, {}, {1})}), Error::Code::treeLogic,
         "The root node must be stored first"},
        {J::array({node(0, {}, {1, 1}), node(1, 0, {})}), Error::Code::treeLogic,
         "The node 1 is not a child of node 0"},
        {J::array({node(0, {}, {}), node(1, 0, {})}), Error::Code::treeLogic,
         "The node 1 is not a child of node 0"},
        {J::array({node(0, {}, {1}), node(1, {}, {})}), Error::Code::treeLogic,
         "The tree must have exactly one root node, found 2"},
        {J::array({node(0, {}, {1}), node(1, 0, {}), node(2, 0, {})}), Error::Code::treeLogic,
         "The node 2 is not a child of node 0"},
        {J::array({node(0, {}, {}), node(1, 2, {2}), node(2, 1, {1})}), Error::Code::treeLogic,
         "The stored nodes form a cycle"},
        {J::array({node(0, {}, {}), node(1, 1, {1})}), Error::Code::treeLogic,
         "The stored nodes form a cycle"},
    };
    const auto decode = [](std::string_view text) {
        return T::jsonDecode(text, core::DateDecodingStrategy::deferredToDate(), std::nullopt, {},
                             {});
    };
    for (const auto& c : cases) {
        Error::Code code = Error::Code::unknown;
        const auto log = logOf([&] { code = codeOf([&] { (void)decode(c.json.dump()); }); });
        EXPECT_EQ(code, c.code) << c.json.dump();
        EXPECT_THAT(log, HasSubstr(c.line)) << c.json.dump();
    }
    for (const char* bad :
         {"", "{}", "[1]", R"([{"id":0}])", "[[]]", R"([{"id":"0","content":{"leaf":"x"}}])"}) {
        EXPECT_THROW((void)decode(bad), core::DecodingError) << bad;
    }
}

TEST(VestraTreeWalks, OrdersOnSampleTree) {
    const T tree = sample(); // R(A(C),B)
    std::string seen;
    tree.travel([&](const N& n) { seen += name(n); });
    EXPECT_EQ(seen, "RACB");
    seen.clear();
    tree.travel(NodeID(1), [&](const N& n) { seen += name(n); });
    EXPECT_EQ(seen, "AC");
    seen.clear();
    tree.travelLeafValues([&](const std::string& l) { seen += l; });
    EXPECT_EQ(seen, "CB");
    seen.clear();
    tree.travelPairs([&](const N& p, const N& c) { seen += name(p) + name(c) + " "; });
    EXPECT_EQ(seen, "RA AC RB ");
    seen.clear();
    tree.travelFromLeaf(NodeID(0), [&](const N& n) { seen += name(n); });
    EXPECT_EQ(seen, "CABR");
    seen.clear();
    tree.travelWithIndexes(NodeID(0), [&](const N& n, const algorithm::TreeIndexPath& path) {
        seen += name(n) + "[";
        for (const auto i : path) {
            seen += std::to_string(i);
        }
        seen += "]";
    });
    EXPECT_EQ(seen, "R[]A[0]C[00]B[1]");
    seen.clear();
    tree.travelUpAncesstors(NodeID(2), [&](const N& n) { seen += name(n); });
    EXPECT_EQ(seen, "CAR");
    seen.clear();
    tree.travelUpAncesstorBranchValues(NodeID(2), [&](const std::string& b) { seen += b; });
    EXPECT_EQ(seen, "AR");

    EXPECT_EQ(tree.treeHeight(NodeID(0)), 2);
    EXPECT_EQ(tree.treeDepth(NodeID(2)), 2);
    EXPECT_EQ(tree.treeDepth(NodeID(0)), 0);
    EXPECT_EQ(tree.treeDepth(NodeID(77)), 0);
    EXPECT_TRUE(tree.isNodeAncestorOf(NodeID(0), NodeID(2)));
    EXPECT_FALSE(tree.isNodeAncestorOf(NodeID(2), NodeID(0)));
    EXPECT_FALSE(tree.isNodeAncestorOf(NodeID(2), NodeID(2)));

    std::string asked;
    EXPECT_EQ(tree.findFirstBranch([&](const std::string& b) {
        asked += b;
        return b == "A";
    }),
              tree.node(NodeID(1)));
    EXPECT_EQ(asked, "RA"); // the match is returned before its children are looked at
    asked.clear();
    EXPECT_EQ(tree.findFirstLeaf([&](const std::string& l) {
        asked += l;
        return false;
    }),
              nullptr);
    EXPECT_EQ(asked, "CB");
    EXPECT_EQ(tree.findFirst([](const N& n) { return name(n) == "B"; }), tree.node(NodeID(3)));
    EXPECT_TRUE(tree.existsLeaf([](const std::string& l) { return l == "B"; }));
    EXPECT_FALSE(tree.existsBranch([](const std::string& b) { return b == "B"; }));

    T removed = sample();
    removed.remove(NodeID(3));
    EXPECT_FALSE(removed.exists([](const N& n) { return name(n) == "B"; }));

    const T empty;
    int calls = 0;
    empty.travel([&](const N&) { ++calls; });
    empty.travelPairs([&](const N&, const N&) { ++calls; });
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(empty.findFirst([](const N&) { return true; }), nullptr);
    EXPECT_FALSE(empty.exists([](const N&) { return true; }));

    const T single = T::from(V::leaf("only"));
    single.travel([&](const N&) { ++calls; });
    single.travelPairs([&](const N&, const N&) { ++calls; });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(single.treeHeight(NodeID(0)), 0);
}

TEST(VestraTreeWalks, AThrowAtTheSecondNodeMakesExactlyTwoCalls) {
    const T tree = sample();
    int calls = 0;
    const auto stopAtSecond = [&](const N&) {
        if (++calls == 2) {
            throw std::runtime_error("second");
        }
    };
    EXPECT_THROW(tree.travel(stopAtSecond), std::runtime_error);
    EXPECT_EQ(calls, 2);
    calls = 0;
    EXPECT_THROW(tree.travelFromLeaf(NodeID(0), stopAtSecond), std::runtime_error);
    EXPECT_EQ(calls, 2);
    calls = 0;
    auto future = tree.travelPairsAsync([&](const N& p, const N&) { stopAtSecond(p); });
    EXPECT_THROW(future.get(), std::runtime_error);
    EXPECT_EQ(calls, 2);

    std::string seen;
    tree.travelPairsAsync(NodeID(1), [&](const N& p, const N& c) { seen += name(p) + name(c); })
        .get();
    EXPECT_EQ(seen, "AC");
}

TEST(VestraTreeWalks, UpdatingBranchesOnTheWayUp) {
    // Each branch's payload becomes the number of leaves below it, computed from its children
    // as already updated below.
    T tree = T::from(V::branch("R", {V::branch("A", {V::leaf("1"), V::leaf("1")}), V::leaf("1")}));
    const auto count = [](std::string& payload, const std::vector<const N*>& kids) {
        int total = 0;
        for (const N* k : kids) {
            total += std::stoi(name(*k));
        }
        payload = std::to_string(total);
    };
    tree.travelUpAncesstorsUpdatingBranch(NodeID(2), count); // from a leaf: skipped, then A, R
    EXPECT_EQ(shape(tree), "3(2(1,1),1)");

    int calls = 0;
    EXPECT_THROW(tree.travelUpAncesstorsUpdatingBranch(
                     NodeID(1),
                     [&](std::string& payload, const std::vector<const N*>&) {
                         payload = "x" + std::to_string(++calls);
                         if (calls == 2) {
                             throw std::runtime_error("stop");
                         }
                     }),
                 std::runtime_error);
    EXPECT_EQ(shape(tree), "3(x1(1,1),1)"); // the change below the failing node stays
}

TEST(VestraTreeWalks, TravelStreams) {
    const T tree = sample();
    auto nodes = tree.travelStream(NodeID(0));
    std::string seen;
    while (auto n = nodes.next()) {
        seen += name(*n);
    }
    EXPECT_EQ(seen, "RACB");

    auto pairs = tree.travelPairStream(NodeID(0));
    seen.clear();
    while (auto p = pairs.next()) {
        seen += name(p->parent) + name(p->child) + " ";
    }
    EXPECT_EQ(seen, "RA AC RB ");

    auto leafNodes = tree.travelStream(NodeID(3));
    EXPECT_EQ(name(*leafNodes.next()), "B");
    EXPECT_FALSE(leafNodes.next());
    auto leafPairs = tree.travelPairStream(NodeID(3));
    EXPECT_FALSE(leafPairs.next());

    const auto log = logOf([&] { EXPECT_THROW((void)tree.travelStream(NodeID(9)), Error); });
    EXPECT_THAT(log, HasSubstr("Node with ID 9 does not eixst"));
}

TEST(VestraTreeWalks, DroppingAStreamMidwayStopsItsThread) {
    // A wide tree so the producer is still walking when the consumer walks away.
    std::vector<V> kids;
    for (int i = 0; i < 200'000; ++i) {
        kids.push_back(V::leaf(std::to_string(i)));
    }
    T tree = T::from(V::branch("R", std::move(kids)));
    for (int round = 0; round < 20; ++round) {
        auto stream = tree.travelStream(NodeID(0));
        EXPECT_EQ(name(*stream.next()), "R");
        // Changes after the call do not reach the stream: it walks its own copy.
        if (round == 0) {
            tree.remove(NodeID(1));
            EXPECT_EQ(name(*stream.next()), "0");
        }
    } // each stream is dropped here with its producer still running
    auto full = tree.travelStream(NodeID(0));
    std::int64_t count = 0;
    while (full.next()) {
        ++count;
    }
    EXPECT_EQ(count, tree.nodesCount());
}

TEST(VestraTreeWalks, MillionLevelChain) {
    constexpr std::int64_t kLevels = 1'000'000;
    V chain = V::leaf("bottom");
    for (std::int64_t i = 1; i < kLevels; ++i) {
        std::vector<V> one;
        one.push_back(std::move(chain));
        chain = V::branch("b", std::move(one));
    }
    const T tree = T::from(chain);
    const NodeID bottom(kLevels - 1);
    std::int64_t calls = 0;
    tree.travel([&](const N&) { ++calls; });
    EXPECT_EQ(calls, kLevels);
    calls = 0;
    tree.travelPairs([&](const N&, const N&) { ++calls; });
    EXPECT_EQ(calls, kLevels - 1);
    std::size_t deepest = 0;
    tree.travelWithIndexes(NodeID(0), [&](const N&, const algorithm::TreeIndexPath& p) {
        deepest = std::max(deepest, p.size());
    });
    EXPECT_EQ(deepest, static_cast<std::size_t>(kLevels - 1));
    std::int64_t first = -1;
    tree.travelFromLeaf(NodeID(0), [&](const N& n) {
        if (first < 0) {
            first = n.id.rawValue;
        }
    });
    EXPECT_EQ(first, kLevels - 1);
    EXPECT_EQ(tree.treeHeight(NodeID(0)), kLevels - 1);
    EXPECT_EQ(tree.treeDepth(bottom), kLevels - 1);
    EXPECT_EQ(tree.wbsNumber(bottom).level(), kLevels - 1);
    EXPECT_EQ(tree.nodeID(tree.wbsNumber(bottom)), bottom);
    EXPECT_TRUE(tree.isNodeAncestorOf(NodeID(0), bottom));
    EXPECT_NE(tree.findFirstLeaf([](const std::string&) { return true; }), nullptr);

    T editable = tree;
    editable.setLeafToBranchConverter([](const std::string& l) { return l; });
    (void)editable.copy(NodeID(kLevels / 2), bottom);
    EXPECT_EQ(editable.nodesCount(), kLevels + kLevels / 2);
    editable.remove(NodeID(1));
    EXPECT_EQ(editable.nodesCount(), 1);
}

} // namespace
