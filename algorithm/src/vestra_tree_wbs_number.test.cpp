#include "algorithm/vestra_tree_wbs_number.hpp"
#include "algorithm/vestra_tree_error.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <unordered_set>

namespace {

using namespace algorithm::VtVestraTree;

TEST(WBSNumber, Properties) {
    const WBSNumber root = WBSNumber::root();
    EXPECT_EQ(root.level(), 0);
    EXPECT_TRUE(root.isRoot());
    EXPECT_TRUE(root.isEmpty());
    EXPECT_EQ(root.indexInParent(), 0);
    EXPECT_FALSE(root.parent());
    EXPECT_EQ(root.string(), "");
    EXPECT_EQ(root.nextSibling(), root);

    const WBSNumber n{{0, 2, 1}};
    EXPECT_EQ(n.level(), 3);
    EXPECT_FALSE(n.isRoot());
    EXPECT_EQ(n.indexInParent(), 1);
    EXPECT_EQ(n.parent(), (WBSNumber{{0, 2}}));
    EXPECT_EQ(n.child(4), (WBSNumber{{0, 2, 1, 4}}));
    EXPECT_EQ(n.child(-1), (WBSNumber{{0, 2, 1, -1}}));
    EXPECT_EQ(n.string(), "1.3.2");
    EXPECT_EQ(n.nextSibling(), (WBSNumber{{0, 2, 2}}));
    EXPECT_EQ(WBSNumber{{0}}.string(), "1");
    EXPECT_EQ(WBSNumber{{std::numeric_limits<std::int64_t>::max()}}.string(),
              "9223372036854775808");
}

TEST(WBSNumber, ComparisonTableAndHashing) {
    using R = RelativePosition;
    const auto rel = [](WBSNumber a, WBSNumber b) { return a.relationShipOnSameLevel(b); };
    EXPECT_EQ(rel({{0, 1}}, {{0, 2}}), R::before);
    EXPECT_EQ(rel({{0, 2}}, {{0, 1}}), R::after);
    EXPECT_EQ(rel({{1, 1}}, {{1, 1}}), R::same);
    EXPECT_EQ(rel({}, {}), R::same);
    EXPECT_EQ(rel({{0}}, {{0, 0}}), std::nullopt);
    EXPECT_EQ(rel({{0, 5}}, {{1, 0}}), R::before); // no common parent needed

    EXPECT_EQ((WBSNumber{{0, 1}}), (WBSNumber{{0, 1}}));
    EXPECT_NE((WBSNumber{{0, 1}}), (WBSNumber{{1, 0}}));
    const std::hash<WBSNumber> hash;
    EXPECT_EQ(hash(WBSNumber{{0, 1}}), hash(WBSNumber{{0, 1}}));
    const std::unordered_set<WBSNumber> set{WBSNumber{{0, 1}}, WBSNumber{{1, 0}}, WBSNumber{}};
    EXPECT_EQ(set.size(), 3U);
}

TEST(NodeID, JsonFormAndDescription) {
    const NodeID seven(7);
    EXPECT_EQ(seven.debugDescription(), "7");
    EXPECT_EQ(std::hash<NodeID>{}(seven), std::hash<std::int64_t>{}(7));
    const nlohmann::json json = seven;
    EXPECT_EQ(json.dump(), "7");
    EXPECT_EQ(json.get<NodeID>(), seven);
    EXPECT_EQ(nlohmann::json::parse("-3").get<NodeID>(), NodeID(-3));

    // Strict: a fraction, text or object is not an id, nor is an integer beyond 64 bits.
    EXPECT_THROW(nlohmann::json::parse("1.5").get<NodeID>(), nlohmann::json::type_error);
    EXPECT_THROW(nlohmann::json::parse("\"1\"").get<NodeID>(), nlohmann::json::type_error);
    EXPECT_THROW(nlohmann::json::parse("{\"rawValue\":1}").get<NodeID>(),
                 nlohmann::json::type_error);
    EXPECT_THROW(nlohmann::json::parse("18446744073709551615").get<NodeID>(),
                 nlohmann::json::out_of_range);
}

TEST(VtVestraTreeError, CasesAndDescription) {
    const Error error(Error::Code::treeLogic);
    EXPECT_EQ(error.code(), Error::Code::treeLogic);
    EXPECT_EQ(error, Error(Error::Code::treeLogic));
    EXPECT_FALSE(error == Error(Error::Code::unknown));
    EXPECT_EQ(error.localizedDescription(),
              "The operation couldn’t be completed. (VtVestraTree.Error error 2.)");
}

} // namespace
