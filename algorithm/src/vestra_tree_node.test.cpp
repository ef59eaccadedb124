#include "algorithm/vestra_tree.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using namespace algorithm::VtVestraTree;
using testing::HasSubstr;

// Leaves and branches with the same payload type: the content must still tell them apart.
using N = Node<std::string, std::string>;
using V = NodeValue<std::string, std::string>;
using T = Tree<std::string, std::string>;

const LeafToBranchConverter<std::string, std::string> kToBranch = [](const std::string& leaf) {
    return "branch of " + leaf;
};
const BranchToLeafConverter<std::string, std::string> kToLeaf = [](const std::string& branch) {
    return "leaf of " + branch;
};

N leaf(std::int64_t id, std::string payload) {
    return N{NodeID(id), NodeID(0), N::InternalContent::leaf(std::move(payload))};
}

N branch(std::int64_t id, std::vector<std::int64_t> children) {
    std::vector<NodeID> ids;
    for (const auto c : children) {
        ids.emplace_back(c);
    }
    return N{NodeID(id), std::nullopt, N::InternalContent::branch("b", std::move(ids))};
}

std::vector<std::int64_t> raw(const N& n) {
    std::vector<std::int64_t> ids;
    for (const auto id : n.childrenIDs()) {
        ids.push_back(id.rawValue);
    }
    return ids;
}

TEST(VestraTreeNode, RootTestAndChildIdRules) {
    EXPECT_FALSE((N{NodeID(3), std::nullopt, N::InternalContent::leaf("x")}.isRoot()));
    EXPECT_FALSE((N{NodeID(0), NodeID(1), N::InternalContent::leaf("x")}.isRoot()));
    EXPECT_TRUE((N{NodeID(0), std::nullopt, N::InternalContent::leaf("x")}.isRoot()));

    // Without a converter a leaf cannot take a child; with one it becomes a branch holding
    // that child alone, whatever the index.
    N l = leaf(7, "p");
    l.insertChildID(NodeID(9), 3, {});
    EXPECT_TRUE(l.isLeaf());
    l.insertChildID(NodeID(9), 3, kToBranch);
    ASSERT_TRUE(l.isBranch());
    EXPECT_EQ(l.branchPayload(), "branch of p");
    EXPECT_EQ(raw(l), (std::vector<std::int64_t>{9}));

    N b = branch(0, {1, 2});
    b.insertChildID(NodeID(3), 0, {});
    EXPECT_EQ(raw(b), (std::vector<std::int64_t>{3, 1, 2}));
    b.insertChildID(NodeID(4), 3, {}); // == count: appended
    b.insertChildID(NodeID(5), -1, {});
    b.insertChildID(NodeID(6), std::nullopt, {});
    b.insertChildID(NodeID(1), 0, {}); // already listed: ignored
    EXPECT_EQ(raw(b), (std::vector<std::int64_t>{3, 1, 2, 4, 5, 6}));

    b.moveChildID(NodeID(2), 0);
    EXPECT_EQ(raw(b), (std::vector<std::int64_t>{2, 3, 1, 4, 5, 6}));
    b.moveChildID(NodeID(2), 50);
    EXPECT_EQ(raw(b), (std::vector<std::int64_t>{3, 1, 4, 5, 6, 2}));
    b.moveChildID(NodeID(8), 0); // not listed: added
    EXPECT_EQ(raw(b), (std::vector<std::int64_t>{8, 3, 1, 4, 5, 6, 2}));

    N one = branch(0, {1});
    N kept = one;
    kept.removeChildID(NodeID(1), {});
    EXPECT_TRUE(kept.isBranch());
    EXPECT_TRUE(kept.childrenIDs().empty());
    one.removeChildID(NodeID(4), kToLeaf); // not listed: nothing
    EXPECT_TRUE(one.isBranch());
    one.removeChildID(NodeID(1), kToLeaf);
    ASSERT_TRUE(one.isLeaf());
    EXPECT_EQ(one.leafPayload(), "leaf of b");

    // A converter that throws leaves the node whole.
    N two = branch(0, {1});
    EXPECT_THROW(two.removeChildID(NodeID(1), [](const std::string&) -> std::string { throw 1; }),
                 int);
    EXPECT_EQ(raw(two), (std::vector<std::int64_t>{1}));
}

TEST(VestraTreeNode, WrongCaseUpdateLogsThrowsAndChangesNothing) {
    N l = leaf(7, "old");
    testing::internal::CaptureStdout();
    // No assertion may return while standard output is captured: its report would vanish.
    std::optional<Error::Code> code;
    try {
        l.update(Branch<std::string>{"new"});
    } catch (const Error& e) {
        code = e.code();
    }
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("The content of the leaf with ID 7 can not be changed by a branch "
                          "content"));
    EXPECT_EQ(code, Error::Code::invalidContent);
    EXPECT_EQ(l, leaf(7, "old"));

    N b = branch(4, {1});
    testing::internal::CaptureStdout();
    EXPECT_THROW(b.update(Leaf<std::string>{"x"}), Error);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("The content of the branch with ID 4 can not be changed by a leaf "
                          "content"));
    EXPECT_EQ(b, branch(4, {1}));

    b.update(Branch<std::string>{"c"});
    EXPECT_EQ(b.branchPayload(), "c");
    EXPECT_EQ(raw(b), (std::vector<std::int64_t>{1}));

    // In-place edits work on a copy: a throwing edit leaves the payload as it was.
    const auto never = [](const std::string&) { return false; };
    const auto always = [](const std::string&) { return true; };
    l.update([](std::string& p) { p += "!"; }, always, [](std::string&) {}, never);
    EXPECT_EQ(l.leafPayload(), "old!");
    EXPECT_THROW(l.update(
                     [](std::string& p) {
                         p = "half";
                         throw 2;
                     },
                     always, [](std::string&) {}, never),
                 int);
    EXPECT_EQ(l.leafPayload(), "old!");

    // An empty slot ignores everything, even a payload of the wrong case, without a log line.
    T::NodeBox empty;
    testing::internal::CaptureStdout();
    empty.update(Branch<std::string>{"x"});
    empty.setParentID(NodeID(1));
    empty.moveChildID(NodeID(1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(empty.hasNode());
}

TEST(VestraTreeNode, NodeJsonForms) {
    const nlohmann::json leafJson = leaf(3, "x");
    EXPECT_EQ(leafJson, nlohmann::json::parse(R"({"id":3,"parent":0,"content":{"leaf":"x"}})"));
    const nlohmann::json branchJson = branch(0, {});
    EXPECT_EQ(branchJson,
              nlohmann::json::parse(R"({"id":0,"content":{"branch":"b","children":[]}})"));
    EXPECT_EQ(leafJson.get<N>(), leaf(3, "x"));
    EXPECT_EQ(branchJson.get<N>(), branch(0, {}));

    // "leaf" wins over other content keys; a null parent reads as none.
    const auto read =
        nlohmann::json::parse(R"({"id":2,"parent":null,"content":{"leaf":"y","branch":"z"}})")
            .get<N>();
    EXPECT_TRUE(read.isLeaf());
    EXPECT_FALSE(read.parentID);

    for (const char* bad : {R"({"content":{"leaf":"x"}})", R"({"id":1.5,"content":{"leaf":"x"}})",
                            R"({"id":1,"content":{"branch":"x"}})",
                            R"({"id":1,"content":{"branch":"x","children":{}}})",
                            R"({"id":1,"content":{"branch":"x","children":["a"]}})", R"([1])"}) {
        EXPECT_THROW(nlohmann::json::parse(bad).get<N>(), nlohmann::json::exception) << bad;
    }
    // Integral payloads are read strictly.
    EXPECT_THROW(
        (nlohmann::json::parse(R"({"id":1,"content":{"leaf":1.5}})").get<Node<int, int>>()),
        nlohmann::json::type_error);
    EXPECT_THROW(
        (nlohmann::json::parse(R"({"id":1,"content":{"leaf":3000000000}})").get<Node<int, int>>()),
        nlohmann::json::out_of_range);
}

TEST(VestraTreeNode, NodeValueJsonFormsAndWalks) {
    const V value = V::branch("r", {V::leaf("a"), V::branch("b", {V::leaf("c")})});
    const nlohmann::json json = value;
    EXPECT_EQ(json, nlohmann::json::parse(R"({"branch":{"_0":"r","_1":[
        {"leaf":{"_0":"a"}},{"branch":{"_0":"b","_1":[{"leaf":{"_0":"c"}}]}}]}})"));
    EXPECT_EQ(json.get<V>(), value);

    for (const char* bad : {"{}", R"({"leaf":{"_0":"a"},"branch":{"_0":"b","_1":[]}})"}) {
        try {
            (void)nlohmann::json::parse(bad).get<V>();
            FAIL() << bad;
        } catch (const nlohmann::json::type_error& e) {
            EXPECT_THAT(e.what(), HasSubstr("Invalid number of keys found, expected one."));
        }
    }
    EXPECT_THROW((void)nlohmann::json::parse(R"({"branch":{"_0":"b"}})").get<V>(),
                 nlohmann::json::out_of_range);
    EXPECT_EQ(nlohmann::json::parse(R"({"leaf":{"_0":"a"},"other":1})").get<V>(), V::leaf("a"));

    EXPECT_EQ(V::branch("x", {V::leaf("1"), V::leaf("2")}).count(), 3);
    std::string seen;
    value.treeTravel([&](const V& v) { seen += v.isLeaf() ? v.leafPayload() : v.branchPayload(); });
    EXPECT_EQ(seen, "rabc");
    seen.clear();
    value.treeTravelFromLeaf([&](const std::string& b) { seen += "B" + b; },
                             [&](const std::string& l) { seen += "L" + l; });
    EXPECT_EQ(seen, "LaLcBbBr");
}

TEST(VestraTreeNode, MillionLevelValuesCopyCodeAndDieWithoutRecursion) {
    constexpr int kLevels = 1'000'000;
    V deep = V::leaf("bottom");
    for (int i = 0; i < kLevels; ++i) {
        std::vector<V> kids;
        kids.push_back(std::move(deep));
        deep = V::branch("b", std::move(kids));
    }
    const V copy = deep;
    EXPECT_EQ(copy.count(), kLevels + 1);
    EXPECT_TRUE(copy == deep);
    int leaves = 0;
    copy.treeTravelFromLeaf([](const std::string&) {}, [&](const std::string&) { ++leaves; });
    EXPECT_EQ(leaves, 1);

    // Reading a deeply nested document; nlohmann parses without recursion.
    std::string text;
    constexpr int kJsonLevels = 100'000;
    for (int i = 0; i < kJsonLevels; ++i) {
        text += R"({"branch":{"_0":"b","_1":[)";
    }
    text += R"({"leaf":{"_0":"x"}})";
    for (int i = 0; i < kJsonLevels; ++i) {
        text += "]}}";
    }
    const V read = nlohmann::json::parse(text).get<V>();
    EXPECT_EQ(read.count(), kJsonLevels + 1);

    const T tree = T::from(copy);
    EXPECT_EQ(tree.nodesCount(), kLevels + 1);
    EXPECT_EQ(tree.treeHeight(NodeID(0)), kLevels);
    EXPECT_EQ(tree.value(NodeID(0)).count(), kLevels + 1);
}

} // namespace
