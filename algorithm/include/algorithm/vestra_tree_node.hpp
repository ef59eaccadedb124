#pragma once

#include "algorithm/vestra_tree_error.hpp"
#include "algorithm/vestra_tree_wbs_number.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace algorithm::VtVestraTree {

/// The payload of a leaf; a distinct type even when leaves and branches carry the same payload.
template <class L>
struct Leaf {
    L payload;
    /// Equal when the payloads are equal.
    friend bool operator==(const Leaf&, const Leaf&) = default;
};

/// The payload of a branch; a distinct type even when leaves and branches carry the same payload.
template <class B>
struct Branch {
    B payload;
    /// Equal when the payloads are equal.
    friend bool operator==(const Branch&, const Branch&) = default;
};

/// Turns a leaf payload into the payload of the branch it becomes when it gains a first child.
template <class B, class L>
using LeafToBranchConverter = std::function<B(const L&)>;

/// Turns a branch payload into the payload of the leaf it becomes when it loses its last child.
template <class B, class L>
using BranchToLeafConverter = std::function<L(const B&)>;

template <class B, class L>
class Tree;

namespace detail {

// nlohmann's own get<T>() turns 1.5 into 1 and wraps out-of-range integers; payloads and ids are
// read through this instead.
template <class T, class Json>
T readStrict(const Json& json) {
    if constexpr (std::same_as<T, bool>) {
        if (!json.is_boolean()) {
            throw nlohmann::detail::type_error::create(
                302, std::string("type must be boolean, but is ") + json.type_name(), &json);
        }
    } else if constexpr (std::is_integral_v<T>) {
        if (!json.is_number_integer()) {
            throw nlohmann::detail::type_error::create(
                302, std::string("type must be an integer, but is ") + json.type_name(), &json);
        }
        const bool fits = json.is_number_unsigned()
                              ? std::in_range<T>(json.template get<std::uint64_t>())
                              : std::in_range<T>(json.template get<std::int64_t>());
        if (!fits) {
            throw nlohmann::detail::out_of_range::create(
                406, "integer out of range: " + json.dump(), &json);
        }
    } else if constexpr (std::is_floating_point_v<T>) {
        if (!json.is_number()) {
            throw nlohmann::detail::type_error::create(
                302, std::string("type must be number, but is ") + json.type_name(), &json);
        }
    }
    return json.template get<T>();
}

template <class Json>
void requireObject(const Json& json) {
    if (!json.is_object()) {
        throw nlohmann::detail::type_error::create(
            302, std::string("type must be object, but is ") + json.type_name(), &json);
    }
}

} // namespace detail

/// One node of a value tree: its id (its slot index), its parent's id, and a leaf payload or a
/// branch payload with the ordered ids of its children.
template <class B, class L>
struct Node {
    /// A leaf or a branch payload.
    struct Content {
        std::variant<Leaf<L>, Branch<B>> value;

        /// True for a leaf payload.
        bool isLeaf() const noexcept { return value.index() == 0; }
        /// True for a branch payload.
        bool isBranch() const noexcept { return value.index() == 1; }
        /// The leaf payload; null for a branch.
        const L* leafValue() const noexcept { return isLeaf() ? &leafPayload() : nullptr; }
        /// The branch payload; null for a leaf.
        const B* branchValue() const noexcept { return isBranch() ? &branchPayload() : nullptr; }
        /// The leaf payload; throws std::bad_variant_access for a branch.
        const L& leafPayload() const { return std::get<0>(value).payload; }
        /// The branch payload; throws std::bad_variant_access for a leaf.
        const B& branchPayload() const { return std::get<1>(value).payload; }
        /// Equal when the case and payload are equal.
        friend bool operator==(const Content&, const Content&) = default;
    };

    /// The content together with the children ids a branch holds.
    struct InternalContent {
        Content content;
        std::vector<NodeID> subIDs;

        /// Leaf content, no children.
        static InternalContent leaf(L payload) {
            return {Content{Leaf<L>{std::move(payload)}}, {}};
        }
        /// Branch content with the given children ids.
        static InternalContent branch(B payload, std::vector<NodeID> subIDs = {}) {
            return {Content{Branch<B>{std::move(payload)}}, std::move(subIDs)};
        }
        /// The given content; the children stay for a branch and are dropped for a leaf.
        InternalContent replacing(Content newContent) const {
            InternalContent result{std::move(newContent), {}};
            if (result.content.isBranch()) {
                result.subIDs = subIDs;
            }
            return result;
        }
        /// The children ids: `subIDs` for a branch, none for a leaf.
        const std::vector<NodeID>& childrenIDs() const noexcept {
            static const std::vector<NodeID> kNone;
            return content.isBranch() ? subIDs : kNone;
        }
        /// Equal when content and children are equal.
        friend bool operator==(const InternalContent&, const InternalContent&) = default;
    };

    /// The node's id, equal to the index of its slot.
    NodeID id;
    /// The parent's id; absent for the root.
    std::optional<NodeID> parentID;
    /// The payload and children.
    InternalContent internalContent;

    /// The payload.
    const Content& content() const noexcept { return internalContent.content; }
    /// True for a leaf.
    bool isLeaf() const noexcept { return content().isLeaf(); }
    /// True for a branch.
    bool isBranch() const noexcept { return content().isBranch(); }
    /// The leaf payload; null for a branch.
    const L* leafValue() const noexcept { return content().leafValue(); }
    /// The branch payload; null for a leaf.
    const B* branchValue() const noexcept { return content().branchValue(); }
    /// The leaf payload; throws std::bad_variant_access for a branch.
    const L& leafPayload() const { return content().leafPayload(); }
    /// The branch payload; throws std::bad_variant_access for a leaf.
    const B& branchPayload() const { return content().branchPayload(); }
    /// True for id 0 without a parent.
    bool isRoot() const noexcept { return id.rawValue == 0 && !parentID.has_value(); }
    /// The children ids (none for a leaf).
    const std::vector<NodeID>& childrenIDs() const noexcept {
        return internalContent.childrenIDs();
    }
    /// The number of children (0 for a leaf).
    std::int64_t childrenCount() const noexcept {
        return static_cast<std::int64_t>(childrenIDs().size());
    }
    /// True when `child` is among the children ids.
    bool contains(NodeID child) const {
        const auto& ids = childrenIDs();
        return std::find(ids.begin(), ids.end(), child) != ids.end();
    }

    /// The payload read through `ofBranch` or `ofLeaf` (callables or member pointers).
    template <class FB, class FL>
    auto value(FB&& ofBranch, FL&& ofLeaf) const {
        using T = std::common_type_t<std::invoke_result_t<FB&, const B&>,
                                     std::invoke_result_t<FL&, const L&>>;
        if (const B* branch = branchValue()) {
            return T(std::invoke(ofBranch, *branch));
        }
        return T(std::invoke(ofLeaf, leafPayload()));
    }
    /// For a branch the payload read through `ofBranch`; for a leaf a copy of `defaultOfLeaf`.
    template <class FB, class T>
    T valueOr(FB&& ofBranch, const T& defaultOfLeaf) const {
        if (const B* branch = branchValue()) {
            return T(std::invoke(ofBranch, *branch));
        }
        return defaultOfLeaf;
    }

    /// Makes `parent` the parent id.
    void setParentID(NodeID parent) { parentID = parent; }

    /// Replaces a branch's payload, keeping its children; on a leaf logs and throws
    /// `invalidContent`, leaving the node unchanged.
    void update(Branch<B> branch) {
        if (!isBranch()) {
            throwLogged(Error::Code::invalidContent,
                        "The content of the leaf with ID " + id.debugDescription() +
                            " can not be changed by a branch content",
                        "update(content:)");
        }
        internalContent.content.value = std::move(branch);
    }
    /// Replaces a leaf's payload; on a branch logs and throws `invalidContent`, leaving the node
    /// unchanged.
    void update(Leaf<L> leaf) {
        if (!isLeaf()) {
            throwLogged(Error::Code::invalidContent,
                        "The content of the branch with ID " + id.debugDescription() +
                            " can not be changed by a leaf content",
                        "update(content:)");
        }
        internalContent.content.value = std::move(leaf);
    }

    /// Edits a copy of the payload with `caseLeaf` / `caseBranch` when `whereLeaf` /
    /// `whereBranch` accepts it, then stores the copy; a throw from an edit leaves the node as it
    /// was and reaches the caller.
    template <class CL, class WL, class CB, class WB>
    void update(CL&& caseLeaf, WL&& whereLeaf, CB&& caseBranch, WB&& whereBranch) {
        if (auto* leaf = std::get_if<Leaf<L>>(&internalContent.content.value)) {
            if (whereLeaf(std::as_const(leaf->payload))) {
                L edited = leaf->payload;
                caseLeaf(edited);
                leaf->payload = std::move(edited);
            }
        } else if (auto* branch = std::get_if<Branch<B>>(&internalContent.content.value)) {
            if (whereBranch(std::as_const(branch->payload))) {
                B edited = branch->payload;
                caseBranch(edited);
                branch->payload = std::move(edited);
            }
        }
    }

    /// Adds `child` at `index` (appended when absent or out of range); ignored when already
    /// listed. A leaf becomes a branch holding that one child through `converter`, or stays
    /// unchanged without one.
    void insertChildID(NodeID child, std::optional<std::int64_t> index,
                       const LeafToBranchConverter<B, L>& converter) {
        if (const L* leaf = leafValue()) {
            if (converter) {
                internalContent = InternalContent::branch(converter(*leaf), {child});
            }
            return;
        }
        auto& ids = internalContent.subIDs;
        if (std::find(ids.begin(), ids.end(), child) != ids.end()) {
            return;
        }
        if (index && *index >= 0 && *index < static_cast<std::int64_t>(ids.size())) {
            ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(*index), child);
        } else {
            ids.push_back(child);
        }
    }

    /// Removes the first occurrence of `child`; a branch left without children becomes a leaf
    /// through `converter`, or stays an empty branch without one.
    void removeChildID(NodeID child, const BranchToLeafConverter<B, L>& converter) {
        const B* branch = branchValue();
        if (branch == nullptr) {
            return;
        }
        auto& ids = internalContent.subIDs;
        const auto found = std::find(ids.begin(), ids.end(), child);
        if (found == ids.end()) {
            return;
        }
        if (ids.size() == 1 && converter) {
            // Converted before anything changes, so a throwing converter leaves the node whole.
            internalContent = InternalContent::leaf(converter(*branch));
            return;
        }
        ids.erase(found);
    }

    /// Moves (or adds) `child` to `index` among a branch's children: removed first, then inserted
    /// when 0 <= index < remaining count, else appended. A leaf is left unchanged.
    void moveChildID(NodeID child, std::int64_t index) {
        if (!isBranch()) {
            return;
        }
        auto& ids = internalContent.subIDs;
        if (const auto found = std::find(ids.begin(), ids.end(), child); found != ids.end()) {
            ids.erase(found);
        }
        if (index >= 0 && index < static_cast<std::int64_t>(ids.size())) {
            ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(index), child);
        } else {
            ids.push_back(child);
        }
    }

    /// The children nodes in `tree`, in order.
    std::vector<const Node*> children(const Tree<B, L>& tree) const;
    /// The parent in `tree`; null without a parent.
    const Node* parent(const Tree<B, L>& tree) const;
    /// This node's position among its parent's children in `tree`.
    std::optional<std::int64_t> childIndexInParent(const Tree<B, L>& tree) const;
    /// This node's position among `parentNode`'s children.
    std::optional<std::int64_t> childIndex(const Node& parentNode) const;
    /// The sibling just before this one in `tree`.
    const Node* previousSibling(const Tree<B, L>& tree) const;
    /// The sibling just after this one in `tree`.
    const Node* nextSibling(const Tree<B, L>& tree) const;

    /// Equal when id, parent and content are equal.
    friend bool operator==(const Node&, const Node&) = default;
};

/// A detached subtree: a leaf payload, or a branch payload with the values of its children. Deep
/// values are copied and destroyed without recursion.
template <class B, class L>
class NodeValue {
public:
    /// A leaf value.
    static NodeValue leaf(L payload) { return NodeValue(Leaf<L>{std::move(payload)}); }
    /// A branch value with its children's values in order.
    static NodeValue branch(B payload, std::vector<NodeValue> children = {}) {
        return NodeValue(BranchValue{std::move(payload), std::move(children)});
    }

    /// Copies the whole subtree with an explicit stack.
    NodeValue(const NodeValue& other) : m_content(shallowCopy(other)) { copyChildren(other); }
    /// Takes the subtree over.
    NodeValue(NodeValue&&) noexcept = default;
    /// Copies the whole subtree.
    NodeValue& operator=(const NodeValue& other) {
        if (this != &other) {
            NodeValue copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    /// Takes the subtree over, releasing the old one without recursion.
    NodeValue& operator=(NodeValue&& other) noexcept {
        if (this != &other) {
            releaseChildren();
            m_content = std::move(other.m_content);
        }
        return *this;
    }
    /// Releases the subtree level by level.
    ~NodeValue() { releaseChildren(); }

    /// True for a leaf value.
    bool isLeaf() const noexcept { return m_content.index() == 0; }
    /// True for a branch value.
    bool isBranch() const noexcept { return m_content.index() == 1; }
    /// The leaf payload; null for a branch.
    const L* leafValue() const noexcept { return isLeaf() ? &leafPayload() : nullptr; }
    /// The branch payload; null for a leaf.
    const B* branchValue() const noexcept { return isBranch() ? &branchPayload() : nullptr; }
    /// The leaf payload; throws std::bad_variant_access for a branch.
    const L& leafPayload() const { return std::get<0>(m_content).payload; }
    /// The branch payload; throws std::bad_variant_access for a leaf.
    const B& branchPayload() const { return std::get<1>(m_content).payload; }
    /// The children's values (none for a leaf).
    const std::vector<NodeValue>& children() const noexcept {
        static const std::vector<NodeValue> kNone;
        return isBranch() ? std::get<1>(m_content).children : kNone;
    }

    /// The number of values in the subtree, itself included.
    std::int64_t count() const {
        std::int64_t total = 0;
        treeTravel([&total](const NodeValue&) { ++total; });
        return total;
    }

    /// Pre-order walk over the values.
    template <class F>
        requires std::invocable<F&, const NodeValue&>
    void treeTravel(F&& action) const {
        std::vector<const NodeValue*> stack{this};
        while (!stack.empty()) {
            const NodeValue* value = stack.back();
            stack.pop_back();
            action(*value);
            const auto& kids = value->children();
            for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
                stack.push_back(&*it);
            }
        }
    }

    /// Pre-order walk over payloads: `branchAction` on branches, `leafAction` on leaves.
    template <class FB, class FL>
        requires std::invocable<FB&, const B&> && std::invocable<FL&, const L&>
    void treeTravel(FB&& branchAction, FL&& leafAction) const {
        treeTravel([&](const NodeValue& value) {
            if (const B* branch = value.branchValue()) {
                branchAction(*branch);
            } else {
                leafAction(value.leafPayload());
            }
        });
    }

    /// Post-order walk over payloads: each branch after all of its descendants.
    template <class FB, class FL>
        requires std::invocable<FB&, const B&> && std::invocable<FL&, const L&>
    void treeTravelFromLeaf(FB&& branchAction, FL&& leafAction) const {
        std::vector<std::pair<const NodeValue*, std::size_t>> stack{{this, 0}};
        while (!stack.empty()) {
            auto& [value, next] = stack.back();
            const auto& kids = value->children();
            if (next < kids.size()) {
                const NodeValue* child = &kids[next++];
                stack.emplace_back(child, 0);
                continue;
            }
            if (const B* branch = value->branchValue()) {
                branchAction(*branch);
            } else {
                leafAction(value->leafPayload());
            }
            stack.pop_back();
        }
    }

    /// Equal when the subtrees have the same shape and payloads.
    friend bool operator==(const NodeValue& a, const NodeValue& b) {
        std::vector<std::pair<const NodeValue*, const NodeValue*>> stack{{&a, &b}};
        while (!stack.empty()) {
            const auto [x, y] = stack.back();
            stack.pop_back();
            if (x->isLeaf() != y->isLeaf()) {
                return false;
            }
            if (x->isLeaf() ? !(x->leafPayload() == y->leafPayload())
                            : !(x->branchPayload() == y->branchPayload())) {
                return false;
            }
            const auto& xs = x->children();
            const auto& ys = y->children();
            if (xs.size() != ys.size()) {
                return false;
            }
            for (std::size_t i = 0; i < xs.size(); ++i) {
                stack.emplace_back(&xs[i], &ys[i]);
            }
        }
        return true;
    }

private:
    friend class Tree<B, L>;

    struct BranchValue {
        B payload;
        std::vector<NodeValue> children;
    };
    using Content = std::variant<Leaf<L>, BranchValue>;

    explicit NodeValue(Content content) : m_content(std::move(content)) {}

    // Builds a value from payload-only values listed in pre-order, where parents[i] < i names
    // the parent of entry i > 0; children are put in place from the deepest up, no recursion.
    static NodeValue assemble(std::vector<NodeValue> values,
                              const std::vector<std::size_t>& parents) {
        for (std::size_t i = values.size(); i-- > 1;) {
            if (auto* kids = values[i].mutableChildren()) {
                std::reverse(kids->begin(), kids->end());
            }
            values[parents[i]].mutableChildren()->push_back(std::move(values[i]));
        }
        if (auto* kids = values.front().mutableChildren()) {
            std::reverse(kids->begin(), kids->end());
        }
        return std::move(values.front());
    }

    std::vector<NodeValue>* mutableChildren() noexcept {
        return isBranch() ? &std::get<1>(m_content).children : nullptr;
    }

    // The payload alone, children left out.
    static Content shallowCopy(const NodeValue& value) {
        if (const B* branch = value.branchValue()) {
            return BranchValue{*branch, {}};
        }
        return Leaf<L>{value.leafPayload()};
    }

    void copyChildren(const NodeValue& source) {
        std::vector<std::pair<const NodeValue*, NodeValue*>> stack{{&source, this}};
        while (!stack.empty()) {
            const auto [from, to] = stack.back();
            stack.pop_back();
            auto* target = to->mutableChildren();
            if (target == nullptr) {
                continue;
            }
            const auto& kids = from->children();
            target->reserve(kids.size());
            for (const auto& kid : kids) {
                target->push_back(NodeValue(shallowCopy(kid)));
            }
            // The target list is complete, so pointers into it stay valid.
            for (std::size_t i = 0; i < kids.size(); ++i) {
                stack.emplace_back(&kids[i], &(*target)[i]);
            }
        }
    }

    void releaseChildren() noexcept {
        auto* kids = mutableChildren();
        if (kids == nullptr || kids->empty()) {
            return;
        }
        std::vector<NodeValue> pending = std::move(*kids);
        kids->clear();
        while (!pending.empty()) {
            NodeValue last = std::move(pending.back());
            pending.pop_back();
            if (auto* grandchildren = last.mutableChildren()) {
                for (auto& g : *grandchildren) {
                    pending.push_back(std::move(g));
                }
                grandchildren->clear();
            }
        }
    }

    Content m_content;
};

} // namespace algorithm::VtVestraTree

// Coding forms. Keys are exact; payloads use their own serializers, with integers, floating
// point numbers and Booleans read strictly.
template <class B, class L>
struct nlohmann::adl_serializer<algorithm::VtVestraTree::Node<B, L>> {
    using Node = algorithm::VtVestraTree::Node<B, L>;
    using NodeID = algorithm::VtVestraTree::NodeID;

    /// Writes {"id", "parent" (only when present), "content"}; a leaf's content is {"leaf"}, a
    /// branch's {"branch", "children"} (children written even when empty).
    template <class Json>
    static void to_json(Json& json, const Node& node) {
        json = write<Json>(
            node, [](const L& leaf) { return Json(leaf); },
            [](const B& branch) { return Json(branch); });
    }

    /// Reads the form `to_json` writes; a present "leaf" wins over any other content key, a null
    /// "parent" reads as absent; failures are nlohmann's exceptions.
    template <class Json>
    static Node from_json(const Json& json) {
        using algorithm::VtVestraTree::detail::readStrict;
        return read(
            json, [](const Json& leaf) { return readStrict<L>(leaf); },
            [](const Json& branch) { return readStrict<B>(branch); });
    }

    /// The form `to_json` writes, with the payloads turned into JSON by the given functions.
    template <class Json, class LeafJson, class BranchJson>
    static Json write(const Node& node, LeafJson&& leafJson, BranchJson&& branchJson) {
        Json json = Json::object();
        json["id"] = node.id;
        if (node.parentID) {
            json["parent"] = *node.parentID;
        }
        Json content = Json::object();
        if (const L* leaf = node.leafValue()) {
            content["leaf"] = leafJson(*leaf);
        } else {
            content["branch"] = branchJson(*node.branchValue());
            content["children"] = node.internalContent.subIDs;
        }
        json["content"] = std::move(content);
        return json;
    }

    /// Reads the form `to_json` writes, the payloads read by the given functions; failures of
    /// the form are nlohmann's exceptions, those of the payloads whatever the functions throw.
    template <class Json, class ReadLeaf, class ReadBranch>
    static Node read(const Json& json, ReadLeaf&& readLeaf, ReadBranch&& readBranch) {
        algorithm::VtVestraTree::detail::requireObject(json);
        const auto id = json.at("id").template get<NodeID>();
        std::optional<NodeID> parentID;
        if (const auto parent = json.find("parent"); parent != json.end() && !parent->is_null()) {
            parentID = parent->template get<NodeID>();
        }
        const auto& content = json.at("content");
        algorithm::VtVestraTree::detail::requireObject(content);
        if (const auto leaf = content.find("leaf"); leaf != content.end()) {
            return Node{id, parentID, Node::InternalContent::leaf(readLeaf(*leaf))};
        }
        auto payload = readBranch(content.at("branch"));
        const auto& children = content.at("children");
        if (!children.is_array()) {
            throw nlohmann::detail::type_error::create(
                302, std::string("type must be array, but is ") + children.type_name(), &children);
        }
        std::vector<NodeID> ids;
        ids.reserve(children.size());
        for (const auto& child : children) {
            ids.push_back(child.template get<NodeID>());
        }
        return Node{id, parentID,
                    Node::InternalContent::branch(std::move(payload), std::move(ids))};
    }
};

template <class B, class L>
struct nlohmann::adl_serializer<algorithm::VtVestraTree::NodeValue<B, L>> {
    using NodeValue = algorithm::VtVestraTree::NodeValue<B, L>;

    /// Writes {"leaf": {"_0"}} or {"branch": {"_0", "_1": [children]}}, without recursion.
    template <class Json>
    static void to_json(Json& json, const NodeValue& value) {
        std::vector<std::pair<const NodeValue*, Json*>> stack{{&value, &json}};
        while (!stack.empty()) {
            const auto [from, to] = stack.back();
            stack.pop_back();
            Json body = Json::object();
            if (const L* leaf = from->leafValue()) {
                body["_0"] = *leaf;
                *to = Json::object();
                (*to)["leaf"] = std::move(body);
                continue;
            }
            body["_0"] = *from->branchValue();
            const auto& kids = from->children();
            body["_1"] = Json::array();
            for (std::size_t i = 0; i < kids.size(); ++i) {
                body["_1"].push_back(Json());
            }
            *to = Json::object();
            (*to)["branch"] = std::move(body);
            // The children array is complete, so pointers into it stay valid.
            auto& slots = (*to)["branch"]["_1"];
            for (std::size_t i = 0; i < kids.size(); ++i) {
                stack.emplace_back(&kids[i], &slots[i]);
            }
        }
    }

    /// Reads the form `to_json` writes, without recursion; an object holding neither or both of
    /// "leaf" and "branch" throws a type_error "Invalid number of keys found, expected one.".
    template <class Json>
    static NodeValue from_json(const Json& json) {
        // Each entry is a JSON value whose subtree is not built yet; values are completed from
        // the deepest up, so a parent takes its finished children.
        struct Pending {
            const Json* json;
            std::optional<NodeValue> built;
            std::vector<NodeValue> children;
            std::size_t parent;
        };
        std::vector<Pending> order;
        order.push_back(Pending{&json, std::nullopt, {}, 0});
        for (std::size_t i = 0; i < order.size(); ++i) {
            const Json& current = *order[i].json;
            const auto& body = caseBody(current);
            if (current.contains("branch")) {
                const auto& kids = body.at("_1");
                if (!kids.is_array()) {
                    throw nlohmann::detail::type_error::create(
                        302, std::string("type must be array, but is ") + kids.type_name(), &kids);
                }
                for (const auto& kid : kids) {
                    order.push_back(Pending{&kid, std::nullopt, {}, i});
                }
            }
        }
        // Children were appended after their parent, so the reverse order finishes every child
        // before its parent; siblings arrive in reverse and are put back in order.
        for (std::size_t i = order.size(); i-- > 0;) {
            auto& entry = order[i];
            const Json& current = *entry.json;
            const auto& body = caseBody(current);
            using algorithm::VtVestraTree::detail::readStrict;
            if (current.contains("leaf")) {
                entry.built = NodeValue::leaf(readStrict<L>(body.at("_0")));
            } else {
                std::reverse(entry.children.begin(), entry.children.end());
                entry.built =
                    NodeValue::branch(readStrict<B>(body.at("_0")), std::move(entry.children));
            }
            if (i > 0) {
                order[entry.parent].children.push_back(std::move(*entry.built));
            }
        }
        return std::move(*order.front().built);
    }

private:
    template <class Json>
    static const Json& caseBody(const Json& json) {
        algorithm::VtVestraTree::detail::requireObject(json);
        const bool isLeaf = json.contains("leaf");
        if (isLeaf == json.contains("branch")) {
            throw nlohmann::detail::type_error::create(
                302, "Invalid number of keys found, expected one.", &json);
        }
        const auto& body = json.at(isLeaf ? "leaf" : "branch");
        algorithm::VtVestraTree::detail::requireObject(body);
        return body;
    }
};
