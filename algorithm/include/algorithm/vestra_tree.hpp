#pragma once

#include "algorithm/channel.hpp"
#include "algorithm/tree_node.hpp"
#include "algorithm/vestra_tree_error.hpp"
#include "algorithm/vestra_tree_node.hpp"
#include "algorithm/vestra_tree_wbs_number.hpp"
#include "core/json_coding.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace algorithm::VtVestraTree {

/// A tree of nodes held in one slot array and addressed by their slot index. Every edit checks
/// everything before it changes anything, so a refused edit (logged, then thrown as `Error`)
/// leaves the tree as it was. Node pointers and references handed out stay valid until the next
/// edit; the tree must not be edited from inside one of its own walks.
template <class B, class L>
class Tree {
public:
    using NodeType = Node<B, L>;
    using ValueType = NodeValue<B, L>;

    /// A parent and one of its children, as the pair walks and the pair stream deliver them.
    struct ParentChildPair {
        NodeType parent;
        NodeType child;
    };

    /// One slot: a live node, or nothing once its node was removed. Every forwarding operation
    /// does nothing on an empty slot.
    class NodeBox {
    public:
        /// An empty slot.
        NodeBox() = default;
        /// A slot holding `node` when present.
        explicit NodeBox(std::optional<NodeType> node) : m_node(std::move(node)) {}

        /// The node; null for an empty slot.
        const NodeType* node() const noexcept { return m_node ? &*m_node : nullptr; }
        /// Stores `node`, or empties the slot when absent.
        void setNode(std::optional<NodeType> node) { m_node = std::move(node); }
        /// True when the slot holds a node.
        bool hasNode() const noexcept { return m_node.has_value(); }

        /// `Node::update` with a branch payload; throws `invalidContent` on a leaf.
        void update(Branch<B> content) {
            if (m_node) {
                m_node->update(std::move(content));
            }
        }
        /// `Node::update` with a leaf payload; throws `invalidContent` on a branch.
        void update(Leaf<L> content) {
            if (m_node) {
                m_node->update(std::move(content));
            }
        }
        /// `Node::update` with in-place edits.
        template <class CL, class WL, class CB, class WB>
        void update(CL&& caseLeaf, WL&& whereLeaf, CB&& caseBranch, WB&& whereBranch) {
            if (m_node) {
                m_node->update(caseLeaf, whereLeaf, caseBranch, whereBranch);
            }
        }
        /// `Node::setParentID`.
        void setParentID(NodeID parent) {
            if (m_node) {
                m_node->setParentID(parent);
            }
        }
        /// `Node::insertChildID` with the tree's leaf-to-branch converter.
        void insertChildID(NodeID child, std::optional<std::int64_t> index, const Tree& tree) {
            if (m_node) {
                m_node->insertChildID(child, index, tree.m_leafToBranchConverter);
            }
        }
        /// `Node::removeChildID` with the tree's branch-to-leaf converter.
        void removeChildID(NodeID child, const Tree& tree) {
            if (m_node) {
                m_node->removeChildID(child, tree.m_branchToLeafConverter);
            }
        }
        /// `Node::moveChildID`.
        void moveChildID(NodeID child, std::int64_t index) {
            if (m_node) {
                m_node->moveChildID(child, index);
            }
        }

    private:
        friend class Tree;
        std::optional<NodeType> m_node;
    };

    /// An empty tree without converters.
    Tree() = default;

    /// An empty tree with both converters.
    static Tree create(LeafToBranchConverter<B, L> leafToBranchConverter,
                       BranchToLeafConverter<B, L> branchToLeafConverter) {
        Tree tree;
        tree.m_leafToBranchConverter = std::move(leafToBranchConverter);
        tree.m_branchToLeafConverter = std::move(branchToLeafConverter);
        return tree;
    }

    /// A compact tree holding `rootNodeValue`, ids 0... n-1 in pre-order, the top node in slot 0.
    static Tree from(const ValueType& rootNodeValue,
                     LeafToBranchConverter<B, L> leafToBranchConverter = {},
                     BranchToLeafConverter<B, L> branchToLeafConverter = {}) {
        Tree tree = create(std::move(leafToBranchConverter), std::move(branchToLeafConverter));
        tree.m_nodes = slots(rootNodeValue);
        return tree;
    }

    /// A new tree holding a copy of `node`'s subtree in `in`, renumbered from 0, with `in`'s
    /// converters; throws `invalidStorage` when `node` is not live.
    static Tree from(NodeID node, const Tree& in) {
        return from(in.value(node), in.m_leafToBranchConverter, in.m_branchToLeafConverter);
    }

    /// Each id of `ids` mapped through `table`, in order; throws `invalidStorage` (logged) for
    /// an id the table does not hold.
    static std::vector<NodeID> remapIDs(const std::vector<NodeID>& ids,
                                        const std::unordered_map<NodeID, NodeID>& table) {
        std::vector<NodeID> result;
        result.reserve(ids.size());
        for (const NodeID id : ids) {
            const auto found = table.find(id);
            if (found == table.end()) {
                throwLogged(Error::Code::invalidStorage,
                            "Node with ID " + id.debugDescription() + " has no new ID",
                            "remapIDs(_:through:)");
            }
            result.push_back(found->second);
        }
        return result;
    }

    // ---- Storage -------------------------------------------------------------------------

    /// The slots; slot i holds the node with id i.
    const std::vector<NodeBox>& nodes() const noexcept { return m_nodes; }
    /// Indexes of freed slots, oldest first; reused in that order.
    const std::deque<std::int64_t>& emptyPositions() const noexcept { return m_emptyPositions; }
    /// The converter used when a leaf gains its first child (may be empty).
    const LeafToBranchConverter<B, L>& leafToBranchConverter() const noexcept {
        return m_leafToBranchConverter;
    }
    /// The converter used when a branch loses its last child (may be empty).
    const BranchToLeafConverter<B, L>& branchToLeafConverter() const noexcept {
        return m_branchToLeafConverter;
    }
    /// Replaces the leaf-to-branch converter.
    void setLeafToBranchConverter(LeafToBranchConverter<B, L> converter) {
        m_leafToBranchConverter = std::move(converter);
    }
    /// Replaces the branch-to-leaf converter.
    void setBranchToLeafConverter(BranchToLeafConverter<B, L> converter) {
        m_branchToLeafConverter = std::move(converter);
    }

    /// The live nodes in slot order.
    std::vector<const NodeType*> all() const {
        std::vector<const NodeType*> live;
        for (const auto& slot : m_nodes) {
            if (const NodeType* node = slot.node()) {
                live.push_back(node);
            }
        }
        return live;
    }
    /// The number of live nodes.
    std::int64_t nodesCount() const {
        return static_cast<std::int64_t>(std::count_if(
            m_nodes.begin(), m_nodes.end(), [](const NodeBox& slot) { return slot.hasNode(); }));
    }
    /// True only when there are no slots at all (a tree whose nodes were all removed is not).
    bool isEmpty() const noexcept { return m_nodes.empty(); }
    /// The number of children of `id`; 0 for an id outside the slots or a freed slot.
    std::int64_t countOfChildren(NodeID id) const {
        const NodeType* found = node(id);
        return found != nullptr ? found->childrenCount() : 0;
    }

    // ---- Queries -------------------------------------------------------------------------

    /// The live node with `id`; null when the id is outside the slots or its slot is free.
    const NodeType* node(NodeID id) const noexcept {
        if (id.rawValue < 0 || id.rawValue >= static_cast<std::int64_t>(m_nodes.size())) {
            return nullptr;
        }
        return m_nodes[static_cast<std::size_t>(id.rawValue)].node();
    }
    /// Same as `node(id)`.
    const NodeType* operator[](NodeID id) const noexcept { return node(id); }
    /// The node in slot 0; null when there is none.
    const NodeType* root() const noexcept { return node(NodeID(0)); }
    /// The parent id of `id`; absent when the node is missing or has no parent.
    std::optional<NodeID> parentID(NodeID id) const noexcept {
        const NodeType* found = node(id);
        return found != nullptr ? found->parentID : std::nullopt;
    }
    /// The parent node of `id`; null when the node is missing or has no parent.
    const NodeType* parent(NodeID id) const noexcept {
        const auto parentId = parentID(id);
        return parentId ? node(*parentId) : nullptr;
    }
    /// The parent of `child`; null without a parent; throws `invalidStorage` when the parent
    /// id names no live node.
    const NodeType* parent(const NodeType& child) const {
        return child.parentID ? &liveNode(*child.parentID) : nullptr;
    }
    /// The children ids of the live node `id`; throws `invalidStorage` when it is not live.
    const std::vector<NodeID>& childrenIDs(NodeID id) const { return liveNode(id).childrenIDs(); }
    /// The children of the live node `id`, in order; throws `invalidStorage` when it or a child
    /// is not live.
    std::vector<const NodeType*> children(NodeID id) const {
        std::vector<const NodeType*> result;
        for (const NodeID child : childrenIDs(id)) {
            result.push_back(&liveNode(child));
        }
        return result;
    }
    /// The first position of `id` among `inParent`'s children; absent when not listed.
    std::optional<std::int64_t> childIndex(NodeID id, const NodeType& inParent) const {
        return positionOf(id, inParent.childrenIDs());
    }
    /// The position of `id` among its parent's children; absent when the node is missing, has no
    /// parent, or is not listed.
    std::optional<std::int64_t> childIndexInParent(NodeID id) const {
        const NodeType* parentNode = parent(id);
        return parentNode != nullptr ? childIndex(id, *parentNode) : std::nullopt;
    }
    /// The sibling just before `of`; null for a first child or a root; throws `invalidStorage`
    /// when its parent is not live.
    const NodeType* previousSibling(const NodeType& of) const {
        const NodeType* parentNode = parent(of);
        if (parentNode == nullptr) {
            return nullptr;
        }
        const auto& ids = parentNode->childrenIDs();
        if (ids.empty() || ids.front() == of.id) {
            return nullptr;
        }
        const auto found = std::find(ids.begin() + 1, ids.end(), of.id);
        return found != ids.end() ? &liveNode(*(found - 1)) : nullptr;
    }
    /// The sibling just after `of`; null for a last child or a root; throws `invalidStorage`
    /// when its parent is not live.
    const NodeType* nextSibling(const NodeType& of) const {
        const NodeType* parentNode = parent(of);
        if (parentNode == nullptr) {
            return nullptr;
        }
        const auto& ids = parentNode->childrenIDs();
        const auto found = std::find(ids.begin(), ids.end(), of.id);
        if (found == ids.end() || found + 1 == ids.end()) {
            return nullptr;
        }
        return &liveNode(*(found + 1));
    }
    /// The node `gapOfGenerations` levels above `of` (itself for 0); null when there is no such
    /// node or the gap is negative.
    const NodeType* ancesstor(NodeID of, std::int64_t gapOfGenerations) const noexcept {
        if (gapOfGenerations < 0) {
            return nullptr;
        }
        NodeID current = of;
        for (; gapOfGenerations > 0; --gapOfGenerations) {
            const NodeType* parentNode = parent(current);
            if (parentNode == nullptr) {
                return nullptr;
            }
            current = parentNode->id;
        }
        return node(current);
    }
    /// The id at outline position `at`; absent when the path leaves the tree. The final id is
    /// not tested for being live.
    std::optional<NodeID> nodeID(const WBSNumber& at) const noexcept {
        if (root() == nullptr) {
            return std::nullopt;
        }
        NodeID current(0);
        for (const std::int64_t position : at.numbers) {
            const NodeType* currentNode = node(current);
            if (currentNode == nullptr) {
                return std::nullopt;
            }
            const auto& ids = currentNode->childrenIDs();
            if (position < 0 || position >= static_cast<std::int64_t>(ids.size())) {
                return std::nullopt;
            }
            current = ids[static_cast<std::size_t>(position)];
        }
        return current;
    }
    /// The node at outline position `at`, or null.
    const NodeType* node(const WBSNumber& at) const noexcept {
        const auto id = nodeID(at);
        return id ? node(*id) : nullptr;
    }
    /// Same as `node(at)`.
    const NodeType* operator[](const WBSNumber& at) const noexcept { return node(at); }
    /// The outline position of the live node `of`; throws `invalidStorage` when it or an
    /// ancestor is not live, `treeLogic` when a parent does not list its child.
    WBSNumber wbsNumber(NodeID of) const {
        std::vector<std::int64_t> reversed;
        const NodeType* current = &liveNode(of);
        while (current->parentID) {
            const NodeType& parentNode = liveNode(*current->parentID);
            const auto position = childIndex(current->id, parentNode);
            if (!position) {
                throwNotAChild(current->id, parentNode.id, "wbsNumber(of:)");
            }
            reversed.push_back(*position);
            current = &parentNode;
        }
        return WBSNumber{{reversed.rbegin(), reversed.rend()}};
    }

    // ---- Editing -------------------------------------------------------------------------

    /// Adds a leaf under `inParent` at `at` (appended when absent or out of range), or as the
    /// root when no parent is given; returns the new node. Throws `invalidStorage` for a parent
    /// that is not live, `treeLogic` for a second root or a leaf parent without a
    /// leaf-to-branch converter.
    NodeType create(L leaf, std::optional<NodeID> inParent, std::optional<std::int64_t> at = {}) {
        if (inParent) {
            makeSureCanTakeChild(*inParent, "create(leaf:inParent:at:)");
        } else if (nodesCount() > 0) {
            throwLogged(Error::Code::treeLogic,
                        "The tree already has a root node; a second one can not be created",
                        "create(leaf:inParent:at:)");
        }
        std::vector<NodeType> added{
            NodeType{NodeID(0), inParent, NodeType::InternalContent::leaf(std::move(leaf))}};
        return liveNode(insertPlanned(std::move(added), {0}, inParent, at));
    }

    /// Inserts a copy of `byValue` under `inParent`; see `copy(nodeValue, ...)`.
    NodeType create(const ValueType& byValue, NodeID inParent,
                    std::optional<std::int64_t> at = {}) {
        return copy(byValue, inParent, at);
    }

    /// Inserts `nodeValue` as a new subtree under `toParentWithID` at `indexInChildren`; ids are
    /// allocated in pre-order, reusing freed slots oldest first. Returns the new top node.
    NodeType copy(const ValueType& nodeValue, NodeID toParentWithID,
                  std::optional<std::int64_t> indexInChildren = {}) {
        makeSureCanTakeChild(toParentWithID, "copy(nodeValue:toParentWithID:indexInChildren:)");
        std::vector<NodeType> added;
        std::vector<std::size_t> parents;
        // Pre-order, first child first: each entry names its parent's position in `added`.
        std::vector<std::pair<const ValueType*, std::size_t>> stack{{&nodeValue, 0}};
        while (!stack.empty()) {
            const auto [value, parentIndex] = stack.back();
            stack.pop_back();
            const std::size_t index = added.size();
            added.push_back(NodeType{
                NodeID(0), std::nullopt,
                value->isLeaf() ? NodeType::InternalContent::leaf(value->leafPayload())
                                : NodeType::InternalContent::branch(value->branchPayload())});
            parents.push_back(parentIndex);
            const auto& kids = value->children();
            for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
                stack.emplace_back(&*it, index);
            }
        }
        return liveNode(insertPlanned(std::move(added), parents, toParentWithID, indexInChildren));
    }

    /// Copies the subtree of `nodeWithID` (as it is before the call, so copying below itself is
    /// sound) under `toParentWithID`; returns the copy's top node.
    NodeType copy(NodeID nodeWithID, NodeID toParentWithID,
                  std::optional<std::int64_t> indexInChildren = {}) {
        const ValueType snapshot = value(nodeWithID);
        return copy(snapshot, toParentWithID, indexInChildren);
    }

    /// Copies the subtree of `nodeWithID` in `of` under `toParentWithID` of `ofAnotherProject`;
    /// returns the copy's top node in the target.
    static NodeType copy(NodeID nodeWithID, const Tree& of, NodeID toParentWithID,
                         std::optional<std::int64_t> atIndexInChildren, Tree& ofAnotherProject) {
        const ValueType snapshot = of.value(nodeWithID);
        return ofAnotherProject.copy(snapshot, toParentWithID, atIndexInChildren);
    }

    /// Removes `nodeDeeply` and its subtree, freeing their slots in pre-order. `childWillRemove`
    /// sees each removed node (pre-order) and `parentWillUpdate` the parent as it was, both
    /// before anything changes, so a throwing callback leaves the tree whole.
    void remove(NodeID nodeDeeply, const std::function<void(const NodeType&)>& childWillRemove = {},
                const std::function<void(const NodeType&)>& parentWillUpdate = {}) {
        makeSureExists(nodeDeeply);
        std::vector<NodeID> doomed;
        std::vector<NodeID> stack{nodeDeeply};
        while (!stack.empty()) {
            const NodeID id = stack.back();
            stack.pop_back();
            if (!exists(id)) {
                throwLogged(Error::Code::invalidStorage,
                            "Node with ID: " + id.debugDescription() + " does not exist",
                            "remove(nodeDeeply:childWillRemove:parentWillUpdate:)");
            }
            doomed.push_back(id);
            const auto& ids = liveNode(id).childrenIDs();
            for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
                // A freed child slot is passed over; an id outside the slots fails above.
                if (node(*it) != nullptr || !inRange(*it)) {
                    stack.push_back(*it);
                }
            }
        }
        const auto parentId = liveNode(nodeDeeply).parentID;
        if (parentId && !exists(*parentId)) {
            throwLogged(Error::Code::invalidStorage,
                        "Node's parent with ID: " + parentId->debugDescription() +
                            " does not exist",
                        "remove(nodeDeeply:childWillRemove:parentWillUpdate:)");
        }
        if (childWillRemove) {
            for (const NodeID id : doomed) {
                childWillRemove(liveNode(id));
            }
        }
        std::optional<NodeType> updatedParent;
        if (parentId) {
            if (parentWillUpdate) {
                parentWillUpdate(liveNode(*parentId));
            }
            updatedParent = liveNode(*parentId);
            updatedParent->removeChildID(nodeDeeply, m_branchToLeafConverter);
        }
        for (const NodeID id : doomed) {
            slot(id).setNode(std::nullopt);
            m_emptyPositions.push_back(id.rawValue);
        }
        if (updatedParent) {
            slot(*parentId).setNode(std::move(updatedParent));
        }
    }

    /// Moves `nodeWithId` with its subtree under `toNewParent` at `childIndexInNewParent`.
    /// Throws `treeLogic` for the root, the current parent, a target inside the node's own
    /// subtree, or a leaf target without a leaf-to-branch converter; `invalidStorage` for ids
    /// that are not live.
    void move(NodeID nodeWithId, NodeID toNewParent,
              std::optional<std::int64_t> childIndexInNewParent = {}) {
        makeSureExists(nodeWithId);
        const auto oldParent = liveNode(nodeWithId).parentID;
        if (!oldParent) {
            throwLogged(Error::Code::treeLogic,
                        "The root node can not be moved to be a child of another node",
                        "move(nodeWithId:toNewParent:childIndexInNewParent:)");
        }
        if (*oldParent == toNewParent) {
            throwLogged(Error::Code::treeLogic, "The node can not be moved to the old parent",
                        "move(nodeWithId:toNewParent:childIndexInNewParent:)");
        }
        makeSureExists(*oldParent);
        makeSureCanTakeChild(toNewParent, "move(nodeWithId:toNewParent:childIndexInNewParent:)");
        if (toNewParent == nodeWithId || isNodeAncestorOf(nodeWithId, toNewParent)) {
            throwLogged(Error::Code::treeLogic,
                        "The node " + nodeWithId.debugDescription() +
                            " can not be moved into its own subtree",
                        "move(nodeWithId:toNewParent:childIndexInNewParent:)");
        }
        NodeType oldParentNode = liveNode(*oldParent);
        oldParentNode.removeChildID(nodeWithId, m_branchToLeafConverter);
        NodeType newParentNode = liveNode(toNewParent);
        newParentNode.insertChildID(nodeWithId, childIndexInNewParent, m_leafToBranchConverter);
        slot(*oldParent).setNode(std::move(oldParentNode));
        slot(toNewParent).setNode(std::move(newParentNode));
        slot(nodeWithId).setParentID(toNewParent);
    }

    /// Moves `of` to position `to` among its siblings (appended when out of range). Throws
    /// `treeLogic` for the root or a node its parent does not list.
    void changeSequenceInTheSameParent(NodeID of, std::int64_t to) {
        makeSureExists(of);
        const auto parentId = liveNode(of).parentID;
        if (!parentId) {
            throwLogged(Error::Code::treeLogic, "The sequence of root node can not be changed",
                        "changeSequenceInTheSameParent(of:to:)");
        }
        makeSureExists(*parentId);
        if (!liveNode(*parentId).contains(of)) {
            throwNotAChild(of, *parentId, "changeSequenceInTheSameParent(of:to:)");
        }
        slot(*parentId).moveChildID(of, to);
    }

    /// Replaces the leaf payload of `nodeWithID` when `where` accepts the node; throws
    /// `invalidContent` (logged) when the node is a branch.
    template <class P>
        requires std::predicate<P&, const NodeType&>
    void update(NodeID nodeWithID, Leaf<L> with, P&& where) {
        makeSureExists(nodeWithID);
        if (where(liveNode(nodeWithID))) {
            slot(nodeWithID).update(std::move(with));
        }
    }
    /// Replaces the branch payload of `nodeWithID` (children kept) when `where` accepts the node;
    /// throws `invalidContent` (logged) when the node is a leaf.
    template <class P>
        requires std::predicate<P&, const NodeType&>
    void update(NodeID nodeWithID, Branch<B> with, P&& where) {
        makeSureExists(nodeWithID);
        if (where(liveNode(nodeWithID))) {
            slot(nodeWithID).update(std::move(with));
        }
    }
    /// Edits the payload of `nodeWithID` in place: `caseLeaf(L&)` when `whereLeaf` accepts a
    /// leaf payload, `caseBranch(B&)` when `whereBranch` accepts a branch payload. A throwing
    /// edit leaves the node unchanged.
    template <class CL, class WL, class CB, class WB>
        requires std::invocable<CL&, L&> && std::predicate<WL&, const L&> &&
                 std::invocable<CB&, B&> && std::predicate<WB&, const B&>
    void update(NodeID nodeWithID, CL&& caseLeaf, WL&& whereLeaf, CB&& caseBranch,
                WB&& whereBranch) {
        makeSureExists(nodeWithID);
        slot(nodeWithID).update(caseLeaf, whereLeaf, caseBranch, whereBranch);
    }
    /// Edits a leaf payload in place when `where` accepts it; a branch is left unchanged.
    template <class CL, class WL>
        requires std::invocable<CL&, L&> && std::predicate<WL&, const L&>
    void updateLeaf(NodeID leafWithID, CL&& caseLeaf, WL&& where) {
        update(
            leafWithID, caseLeaf, where, [](B&) {}, [](const B&) { return false; });
    }
    /// Edits a branch payload in place when `where` accepts it; a leaf is left unchanged.
    template <class CB, class WB>
        requires std::invocable<CB&, B&> && std::predicate<WB&, const B&>
    void updateBranch(NodeID branchWithID, CB&& caseBranch, WB&& where) {
        update(
            branchWithID, [](L&) {}, [](const L&) { return false; }, caseBranch, where);
    }

    /// The subtree of the live node `of` as a detached value; throws `invalidStorage` when it is
    /// not live.
    ValueType value(NodeID of) const {
        return value(
            of, [](L&) {}, [](B&) {});
    }
    /// The subtree of the live node `of` as a detached value, each payload copy changed by
    /// `leafUpdate` / `branchUpdate` in pre-order; the tree is not changed.
    template <class FL, class FB>
        requires std::invocable<FL&, L&> && std::invocable<FB&, B&>
    ValueType value(NodeID of, FL&& leafUpdate, FB&& branchUpdate) const {
        makeSureExists(of);
        std::vector<ValueType> values;
        std::vector<std::size_t> parents;
        std::vector<std::pair<NodeID, std::size_t>> stack{{of, 0}};
        while (!stack.empty()) {
            const auto [id, parentIndex] = stack.back();
            stack.pop_back();
            const NodeType& current = liveNode(id);
            const std::size_t index = values.size();
            if (const L* leaf = current.leafValue()) {
                L payload = *leaf;
                leafUpdate(payload);
                values.push_back(ValueType::leaf(std::move(payload)));
            } else {
                B payload = current.branchPayload();
                branchUpdate(payload);
                values.push_back(ValueType::branch(std::move(payload)));
            }
            parents.push_back(parentIndex);
            const auto& ids = current.childrenIDs();
            for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
                stack.emplace_back(*it, index);
            }
        }
        return ValueType::assemble(std::move(values), parents);
    }

    // ---- Walks ---------------------------------------------------------------------------

    /// Pre-order from the root (nothing without one); a throw from `perform` ends the walk.
    template <class F>
        requires std::invocable<F&, const NodeType&>
    void travel(F&& perform) const {
        if (root() != nullptr) {
            travel(NodeID(0), perform);
        }
    }
    /// Pre-order from the live node `from`, which comes first.
    template <class F>
        requires std::invocable<F&, const NodeType&>
    void travel(NodeID from, F&& perform) const {
        std::vector<NodeID> stack{from};
        while (!stack.empty()) {
            const NodeType& current = liveNode(stack.back());
            stack.pop_back();
            perform(current);
            const auto& ids = current.childrenIDs();
            stack.insert(stack.end(), ids.rbegin(), ids.rend());
        }
    }
    /// The leaf payloads from the root, left to right.
    template <class F>
        requires std::invocable<F&, const L&>
    void travelLeafValues(F&& perform) const {
        travel([&](const NodeType& n) {
            if (const L* leaf = n.leafValue()) {
                perform(*leaf);
            }
        });
    }
    /// Pre-order from the live node `withIndexesFrom`, each node with its index path below it.
    template <class F>
        requires std::invocable<F&, const NodeType&, const TreeIndexPath&>
    void travelWithIndexes(NodeID withIndexesFrom, F&& perform) const {
        struct Frame {
            const NodeType* node;
            std::size_t next;
        };
        TreeIndexPath path;
        const NodeType& start = liveNode(withIndexesFrom);
        perform(start, path);
        std::vector<Frame> stack{{&start, 0}};
        while (!stack.empty()) {
            auto& top = stack.back();
            const auto& ids = top.node->childrenIDs();
            if (top.next >= ids.size()) {
                stack.pop_back();
                if (!stack.empty()) {
                    path.pop_back();
                }
                continue;
            }
            path.push_back(static_cast<std::int64_t>(top.next));
            const NodeType& child = liveNode(ids[top.next++]);
            perform(child, path);
            stack.push_back(Frame{&child, 0});
        }
    }
    /// Parent-child pairs from the root, each pair before the pairs below its child.
    template <class F>
        requires std::invocable<F&, const NodeType&, const NodeType&>
    void travelPairs(F&& perform) const {
        if (root() != nullptr) {
            travelPairs(NodeID(0), perform);
        }
    }
    /// Parent-child pairs below the live node `from`.
    template <class F>
        requires std::invocable<F&, const NodeType&, const NodeType&>
    void travelPairs(NodeID from, F&& perform) const {
        struct Frame {
            const NodeType* node;
            std::vector<const NodeType*> children;
            std::size_t next = 0;
        };
        const NodeType& start = liveNode(from);
        std::vector<Frame> stack;
        stack.push_back(Frame{&start, children(start.id)});
        while (!stack.empty()) {
            auto& top = stack.back();
            if (top.next >= top.children.size()) {
                stack.pop_back();
                continue;
            }
            const NodeType* parentNode = top.node;
            const NodeType* child = top.children[top.next++];
            perform(*parentNode, *child);
            stack.push_back(Frame{child, children(child->id)});
        }
    }
    /// Post-order from the live node `fromLeafTo`, which comes last.
    template <class F>
        requires std::invocable<F&, const NodeType&>
    void travelFromLeaf(NodeID fromLeafTo, F&& perform) const {
        std::vector<std::pair<const NodeType*, std::size_t>> stack{{&liveNode(fromLeafTo), 0}};
        while (!stack.empty()) {
            auto& [current, next] = stack.back();
            const auto& ids = current->childrenIDs();
            if (next < ids.size()) {
                const NodeType* child = &liveNode(ids[next++]);
                stack.emplace_back(child, 0);
                continue;
            }
            perform(*current);
            stack.pop_back();
        }
    }
    /// True when `a` is a proper ancestor of `b`; false when `b` is not live.
    bool isNodeAncestorOf(NodeID a, NodeID b) const noexcept {
        const NodeType* current = node(b);
        while (current != nullptr && current->parentID) {
            if (*current->parentID == a) {
                return true;
            }
            current = node(*current->parentID);
        }
        return false;
    }
    /// The live node `from`, then each ancestor up to the root.
    template <class F>
        requires std::invocable<F&, const NodeType&>
    void travelUpAncesstors(NodeID from, F&& perform) const {
        for (const NodeType* current = &liveNode(from); current != nullptr;
             current = parent(*current)) {
            perform(*current);
        }
    }
    /// The branch payloads on the way from the live node `from` up to the root.
    template <class F>
        requires std::invocable<F&, const B&>
    void travelUpAncesstorBranchValues(NodeID from, F&& perform) const {
        travelUpAncesstors(from, [&](const NodeType& n) {
            if (const B* branch = n.branchValue()) {
                perform(*branch);
            }
        });
    }
    /// From the live node `updateBranchFrom` up to the root, lets `perform(B&, children)` change
    /// each branch payload given its children as they are by then (a leaf start is skipped).
    /// Changes made below a throwing call stay.
    template <class F>
        requires std::invocable<F&, B&, const std::vector<const NodeType*>&>
    void travelUpAncesstorsUpdatingBranch(NodeID updateBranchFrom, F&& perform) {
        std::optional<NodeID> current = updateBranchFrom;
        while (current) {
            const auto kids = children(*current);
            updateBranch(
                *current, [&](B& payload) { perform(payload, kids); },
                [](const B&) { return true; });
            const NodeType* parentNode = parent(*current);
            current = parentNode != nullptr ? std::optional<NodeID>(parentNode->id) : std::nullopt;
        }
    }

    /// The first node in pre-order from the root for which `where` holds, or null.
    template <class P>
        requires std::predicate<P&, const NodeType&>
    const NodeType* findFirst(P&& where) const {
        return search([&](const NodeType& n) { return where(n); });
    }
    /// The first leaf in pre-order whose payload satisfies `where`, or null.
    template <class P>
        requires std::predicate<P&, const L&>
    const NodeType* findFirstLeaf(P&& where) const {
        return search([&](const NodeType& n) { return n.isLeaf() && where(n.leafPayload()); });
    }
    /// The first branch in pre-order whose payload satisfies `where` (before its children are
    /// looked at), or null.
    template <class P>
        requires std::predicate<P&, const B&>
    const NodeType* findFirstBranch(P&& where) const {
        return search([&](const NodeType& n) { return n.isBranch() && where(n.branchPayload()); });
    }
    /// True when some live node, in any slot, satisfies `where`.
    template <class P>
        requires std::predicate<P&, const NodeType&>
    bool exists(P&& where) const {
        return std::any_of(m_nodes.begin(), m_nodes.end(), [&](const NodeBox& slot) {
            return slot.node() != nullptr && where(*slot.node());
        });
    }
    /// True when some live leaf's payload satisfies `where`.
    template <class P>
        requires std::predicate<P&, const L&>
    bool existsLeaf(P&& where) const {
        return exists([&](const NodeType& n) { return n.isLeaf() && where(n.leafPayload()); });
    }
    /// True when some live branch's payload satisfies `where`.
    template <class P>
        requires std::predicate<P&, const B&>
    bool existsBranch(P&& where) const {
        return exists([&](const NodeType& n) { return n.isBranch() && where(n.branchPayload()); });
    }

    /// 0 for a node without children, else 1 + the largest height among its children; throws
    /// `invalidStorage` when `of` is not live.
    std::int64_t treeHeight(NodeID of) const {
        struct Frame {
            const NodeType* node;
            std::size_t next = 0;
            std::int64_t tallestChild = -1;
        };
        std::vector<Frame> stack{Frame{&liveNode(of)}};
        for (;;) {
            auto& top = stack.back();
            const auto& ids = top.node->childrenIDs();
            if (top.next < ids.size()) {
                const NodeType* child = &liveNode(ids[top.next++]);
                stack.push_back(Frame{child});
                continue;
            }
            const std::int64_t height = top.tallestChild + 1;
            stack.pop_back();
            if (stack.empty()) {
                return height;
            }
            stack.back().tallestChild = std::max(stack.back().tallestChild, height);
        }
    }
    /// The number of ancestors; 0 for the root and for an id that names no node.
    std::int64_t treeDepth(NodeID of) const noexcept {
        std::int64_t depth = 0;
        for (const NodeType* current = parent(of); current != nullptr;
             current = parent(current->id)) {
            ++depth;
        }
        return depth;
    }

    /// The pair walk from the root on a background thread over a copy of the tree; the future
    /// rethrows what `perform` throws.
    template <class F>
        requires std::invocable<F&, const NodeType&, const NodeType&>
    std::future<void> travelPairsAsync(F perform) const {
        return std::async(
            std::launch::async,
            [tree = *this, perform = std::move(perform)]() mutable { tree.travelPairs(perform); });
    }
    /// The pair walk below the live node `from` on a background thread over a copy of the tree.
    template <class F>
        requires std::invocable<F&, const NodeType&, const NodeType&>
    std::future<void> travelPairsAsync(NodeID from, F perform) const {
        return std::async(std::launch::async,
                          [tree = *this, from, perform = std::move(perform)]() mutable {
                              tree.travelPairs(from, perform);
                          });
    }

    /// A stream of the live node `from` and its subtree in pre-order, fed by a thread walking a
    /// copy of the tree as it is now; throws `invalidStorage` at once when `from` is not live.
    Channel<NodeType> travelStream(NodeID from) const {
        makeSureExists(from);
        return Channel<NodeType>([tree = *this, from](ChannelSink<NodeType>& sink) {
            tree.travel(from, [&](const NodeType& n) {
                if (!sink.yield(n)) {
                    throw StopWalk{};
                }
            });
        });
    }
    /// A stream of the parent-child pairs below the live node `from`, as `travelStream`.
    Channel<ParentChildPair> travelPairStream(NodeID from) const {
        makeSureExists(from);
        return Channel<ParentChildPair>([tree = *this, from](ChannelSink<ParentChildPair>& sink) {
            tree.travelPairs(from, [&](const NodeType& p, const NodeType& c) {
                if (!sink.yield(ParentChildPair{p, c})) {
                    throw StopWalk{};
                }
            });
        });
    }

    // ---- JSON ----------------------------------------------------------------------------

    /// The live nodes in slot order as pretty-printed JSON bytes, the payloads written by the
    /// core JSON encoder with `dateEncodingStrategy`; `userInfo` is accepted for symmetry with
    /// `jsonDecode` and does not reach the encoder. Throws `core::EncodingError`.
    std::string jsonEncode(
        core::DateEncodingStrategy dateEncodingStrategy =
            core::DateEncodingStrategy::deferredToDate(),
        [[maybe_unused]] const std::optional<core::JsonUserInfo>& userInfo = std::nullopt) const
        requires core::JsonEncodable<B> && core::JsonEncodable<L>
    {
        const core::Data bytes = core::jsonData(*this, std::move(dateEncodingStrategy), true);
        return {bytes.begin(), bytes.end()};
    }
    /// Reads JSON bytes written by `jsonEncode`, the payloads read by the core JSON decoder with
    /// `dateDecodingStrategy` and `userInfo`, and stores the two converters in the result.
    /// Malformed JSON and wrong shapes throw `core::DecodingError`; unknown or duplicate ids throw
    /// `invalidStorage`, several roots, cycles and parents and children that disagree `treeLogic`.
    static Tree jsonDecode(std::string_view data, core::DateDecodingStrategy dateDecodingStrategy,
                           std::optional<core::JsonUserInfo> userInfo,
                           LeafToBranchConverter<B, L> leafToBranchConverter,
                           BranchToLeafConverter<B, L> branchToLeafConverter)
        requires core::JsonDecodable<B> && core::JsonDecodable<L>
    {
        Tree tree = core::load<Tree>(core::Data(data.begin(), data.end()),
                                     std::move(dateDecodingStrategy), std::move(userInfo));
        tree.m_leafToBranchConverter = std::move(leafToBranchConverter);
        tree.m_branchToLeafConverter = std::move(branchToLeafConverter);
        return tree;
    }

    /// Builds a compact tree from decoded nodes, renumbering ids by position; validates
    /// everything first (see `jsonDecode`). No converters are set.
    static Tree fromStoredNodes(std::vector<NodeType> stored) {
        std::unordered_map<NodeID, NodeID> table;
        for (std::size_t i = 0; i < stored.size(); ++i) {
            if (!table.emplace(stored[i].id, NodeID(static_cast<std::int64_t>(i))).second) {
                throwLogged(Error::Code::invalidStorage,
                            "Node with ID " + stored[i].id.debugDescription() +
                                " is stored more than once",
                            "init(from:)");
            }
        }
        std::int64_t roots = 0;
        for (const NodeType& n : stored) {
            if (!n.parentID) {
                ++roots;
            } else if (!table.contains(*n.parentID)) {
                throwLogged(Error::Code::invalidStorage,
                            "Node's parent with ID: " + n.parentID->debugDescription() +
                                " does not exist",
                            "init(from:)");
            }
            for (const NodeID child : n.childrenIDs()) {
                if (!table.contains(child)) {
                    throwLogged(Error::Code::invalidStorage,
                                "Node with ID: " + child.debugDescription() + " does not exist",
                                "init(from:)");
                }
            }
        }
        if (!stored.empty() && roots != 1) {
            throwLogged(Error::Code::treeLogic,
                        "The tree must have exactly one root node, found " + std::to_string(roots),
                        "init(from:)");
        }
        if (!stored.empty() && stored.front().parentID) {
            throwLogged(Error::Code::treeLogic, "The root node must be stored first",
                        "init(from:)");
        }
        std::vector<bool> listed(stored.size(), false);
        for (const NodeType& n : stored) {
            for (const NodeID child : n.childrenIDs()) {
                const auto position = static_cast<std::size_t>(table.at(child).rawValue);
                if (listed[position] || stored[position].parentID != n.id) {
                    throwNotAChild(child, n.id, "init(from:)");
                }
                listed[position] = true;
            }
        }
        for (std::size_t i = 0; i < stored.size(); ++i) {
            if (stored[i].parentID && !listed[i]) {
                throwNotAChild(stored[i].id, *stored[i].parentID, "init(from:)");
            }
        }
        // Every node now has one parent that lists it once, so whatever the root does not reach
        // sits on a cycle.
        std::vector<std::size_t> stack;
        std::size_t reached = 0;
        if (!stored.empty()) {
            stack.push_back(0);
        }
        while (!stack.empty()) {
            const std::size_t position = stack.back();
            stack.pop_back();
            ++reached;
            for (const NodeID child : stored[position].childrenIDs()) {
                stack.push_back(static_cast<std::size_t>(table.at(child).rawValue));
            }
        }
        if (reached != stored.size()) {
            throwLogged(Error::Code::treeLogic, "The stored nodes form a cycle", "init(from:)");
        }

        Tree tree;
        tree.m_nodes.reserve(stored.size());
        for (NodeType& n : stored) {
            n.id = table.at(n.id);
            if (n.parentID) {
                n.parentID = table.at(*n.parentID);
            }
            if (n.isBranch()) {
                n.internalContent.subIDs = remapIDs(n.internalContent.subIDs, table);
            }
            tree.m_nodes.emplace_back(std::move(n));
        }
        return tree;
    }

private:
    struct StopWalk {};

    bool inRange(NodeID id) const noexcept {
        return id.rawValue >= 0 && id.rawValue < static_cast<std::int64_t>(m_nodes.size());
    }
    bool exists(NodeID id) const noexcept { return node(id) != nullptr; }
    NodeBox& slot(NodeID id) { return m_nodes[static_cast<std::size_t>(id.rawValue)]; }

    void makeSureExists(NodeID id) const {
        if (!inRange(id)) {
            throwLogged(Error::Code::invalidStorage,
                        "Node with ID " + id.debugDescription() + " does not eixst",
                        "_makeSureExists(nodeWithID:)");
        }
        if (!m_nodes[static_cast<std::size_t>(id.rawValue)].hasNode()) {
            throwLogged(Error::Code::invalidStorage,
                        "Node with ID " + id.debugDescription() + " has been removed",
                        "_makeSureExists(nodeWithID:)");
        }
    }

    const NodeType& liveNode(NodeID id) const {
        makeSureExists(id);
        return *m_nodes[static_cast<std::size_t>(id.rawValue)].m_node;
    }

    // A leaf without a converter cannot list a new child; the child would name a parent that
    // never lists it.
    void makeSureCanTakeChild(NodeID parentId, std::string_view operation) const {
        makeSureExists(parentId);
        if (liveNode(parentId).isLeaf() && !m_leafToBranchConverter) {
            throwLogged(Error::Code::treeLogic,
                        "The leaf with ID " + parentId.debugDescription() +
                            " can not take a child without a leaf-to-branch converter",
                        operation);
        }
    }

    [[noreturn]] static void throwNotAChild(NodeID child, NodeID parentId,
                                            std::string_view operation) {
        throwLogged(Error::Code::treeLogic,
                    "The node " + child.debugDescription() + " is not a child of node " +
                        parentId.debugDescription(),
                    operation);
    }

    static std::optional<std::int64_t> positionOf(NodeID id, const std::vector<NodeID>& ids) {
        const auto found = std::find(ids.begin(), ids.end(), id);
        if (found == ids.end()) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(found - ids.begin());
    }

    // Pre-order search from the root, children read by their slot and passed over when free.
    template <class Match>
    const NodeType* search(Match&& match) const {
        if (root() == nullptr) {
            return nullptr;
        }
        std::vector<const NodeType*> stack{root()};
        while (!stack.empty()) {
            const NodeType* current = stack.back();
            stack.pop_back();
            if (match(*current)) {
                return current;
            }
            const auto& ids = current->childrenIDs();
            for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
                if (const NodeType* child = node(*it)) {
                    stack.push_back(child);
                }
            }
        }
        return nullptr;
    }

    // The slots for a value: ids 0... n-1 in pre-order, the top node in slot 0 without parent.
    static std::vector<NodeBox> slots(const ValueType& value) {
        std::vector<NodeType> built;
        std::vector<std::pair<const ValueType*, std::optional<std::size_t>>> stack{
            {&value, std::nullopt}};
        while (!stack.empty()) {
            const auto [current, parentIndex] = stack.back();
            stack.pop_back();
            const std::size_t index = built.size();
            const NodeID id(static_cast<std::int64_t>(index));
            std::optional<NodeID> parentId;
            if (parentIndex) {
                parentId = NodeID(static_cast<std::int64_t>(*parentIndex));
                built[*parentIndex].internalContent.subIDs.push_back(id);
            }
            built.push_back(NodeType{
                id, parentId,
                current->isLeaf() ? NodeType::InternalContent::leaf(current->leafPayload())
                                  : NodeType::InternalContent::branch(current->branchPayload())});
            const auto& kids = current->children();
            for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
                stack.emplace_back(&*it, index);
            }
        }
        std::vector<NodeBox> result;
        result.reserve(built.size());
        for (auto& n : built) {
            result.emplace_back(std::move(n));
        }
        return result;
    }

    // Stores new nodes listed in pre-order (parents[i] < i names the parent of entry i > 0; the
    // top node's parent is `parentId`). Ids are planned first, the parent's new state computed
    // next (its converter may throw), and only then is anything stored.
    NodeID insertPlanned(std::vector<NodeType> added, const std::vector<std::size_t>& parents,
                         std::optional<NodeID> parentId, std::optional<std::int64_t> index) {
        // Plan the ids without touching the free list: `consumed` entries will be taken from
        // its front.
        std::size_t consumed = 0;
        std::size_t slotCount = m_nodes.size();
        std::vector<NodeID> ids;
        ids.reserve(added.size());
        if (!parentId) {
            // The root always lives in slot 0, whatever order the free slots were freed in.
            ids.push_back(NodeID(0));
            slotCount = std::max<std::size_t>(slotCount, 1);
        }
        while (ids.size() < added.size()) {
            std::optional<std::int64_t> reused;
            if (consumed < m_emptyPositions.size()) {
                reused = m_emptyPositions[consumed++];
            }
            if (reused && *reused >= 0 && static_cast<std::size_t>(*reused) < slotCount) {
                ids.push_back(NodeID(*reused));
            } else {
                ids.push_back(NodeID(static_cast<std::int64_t>(slotCount++)));
            }
        }
        for (std::size_t i = 0; i < added.size(); ++i) {
            added[i].id = ids[i];
            if (i == 0) {
                added[i].parentID = parentId;
            } else {
                added[i].parentID = ids[parents[i]];
                added[parents[i]].internalContent.subIDs.push_back(ids[i]);
            }
        }
        std::optional<NodeType> updatedParent;
        if (parentId) {
            updatedParent = liveNode(*parentId);
            updatedParent->insertChildID(ids.front(), index, m_leafToBranchConverter);
        }
        m_nodes.resize(slotCount);
        m_emptyPositions.erase(m_emptyPositions.begin(),
                               m_emptyPositions.begin() + static_cast<std::ptrdiff_t>(consumed));
        if (!parentId) {
            if (const auto zero = std::find(m_emptyPositions.begin(), m_emptyPositions.end(), 0);
                zero != m_emptyPositions.end()) {
                m_emptyPositions.erase(zero);
            }
        }
        for (auto& n : added) {
            const NodeID id = n.id;
            slot(id).setNode(std::move(n));
        }
        if (updatedParent) {
            slot(*parentId).setNode(std::move(updatedParent));
        }
        return ids.front();
    }

    std::vector<NodeBox> m_nodes;
    std::deque<std::int64_t> m_emptyPositions;
    LeafToBranchConverter<B, L> m_leafToBranchConverter;
    BranchToLeafConverter<B, L> m_branchToLeafConverter;
};

template <class B, class L>
std::vector<const Node<B, L>*> Node<B, L>::children(const Tree<B, L>& tree) const {
    return tree.children(id);
}
template <class B, class L>
const Node<B, L>* Node<B, L>::parent(const Tree<B, L>& tree) const {
    return tree.parent(*this);
}
template <class B, class L>
std::optional<std::int64_t> Node<B, L>::childIndexInParent(const Tree<B, L>& tree) const {
    return tree.childIndexInParent(id);
}
template <class B, class L>
std::optional<std::int64_t> Node<B, L>::childIndex(const Node& parentNode) const {
    const auto& ids = parentNode.childrenIDs();
    const auto found = std::find(ids.begin(), ids.end(), id);
    if (found == ids.end()) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(found - ids.begin());
}
template <class B, class L>
const Node<B, L>* Node<B, L>::previousSibling(const Tree<B, L>& tree) const {
    return tree.previousSibling(*this);
}
template <class B, class L>
const Node<B, L>* Node<B, L>::nextSibling(const Tree<B, L>& tree) const {
    return tree.nextSibling(*this);
}

/// The tree's JSON form for the core JSON helpers: the array of live nodes in slot order, each
/// payload written by `encoder` (so its date strategy reaches dates inside payloads).
template <class B, class L>
    requires core::JsonEncodable<B> && core::JsonEncodable<L>
core::Json encodeJson(const Tree<B, L>& tree, core::JsonEncoder& encoder) {
    using Serializer = nlohmann::adl_serializer<Node<B, L>>;
    core::Json json = core::Json::array();
    for (const auto* node : tree.all()) {
        const core::JsonEncoder::PathScope index(encoder, "Index " + std::to_string(json.size()));
        json.push_back(Serializer::template write<core::Json>(
            *node, [&](const L& leaf) { return encoder.encode(leaf); },
            [&](const B& branch) { return encoder.encode(branch); }));
    }
    return json;
}

/// Reads the form `encodeJson` writes into a compact tree without converters, each payload read
/// by `decoder`; a wrong shape throws `core::DecodingError`, inconsistent ids the tree's `Error`.
template <class B, class L>
    requires core::JsonDecodable<B> && core::JsonDecodable<L>
Tree<B, L> decodeJson(std::type_identity<Tree<B, L>>, const core::Json& json,
                      core::JsonDecoder& decoder) {
    using Serializer = nlohmann::adl_serializer<Node<B, L>>;
    if (!json.is_array()) {
        decoder.throwTypeMismatch("an array of nodes", json);
    }
    std::vector<Node<B, L>> stored;
    stored.reserve(json.size());
    for (const auto& element : json) {
        const core::JsonDecoder::PathScope index(decoder, "Index " + std::to_string(stored.size()));
        try {
            stored.push_back(Serializer::read(
                element, [&](const core::Json& leaf) { return decoder.decode<L>(leaf); },
                [&](const core::Json& branch) { return decoder.decode<B>(branch); }));
        } catch (const nlohmann::json::exception& error) {
            decoder.throwDataCorrupted(error.what());
        }
    }
    return Tree<B, L>::fromStoredNodes(std::move(stored));
}

} // namespace algorithm::VtVestraTree

/// The tree's JSON form: an array of its live nodes in slot order; reading renumbers ids by
/// position and refuses inconsistent input (see `Tree::jsonDecode`).
template <class B, class L>
struct nlohmann::adl_serializer<algorithm::VtVestraTree::Tree<B, L>> {
    using Tree = algorithm::VtVestraTree::Tree<B, L>;

    /// Writes the live nodes in slot order.
    template <class Json>
    static void to_json(Json& json, const Tree& tree) {
        json = Json::array();
        for (const auto* node : tree.all()) {
            json.push_back(*node);
        }
    }

    /// Reads an array of nodes into a compact tree without converters.
    template <class Json>
    static Tree from_json(const Json& json) {
        if (!json.is_array()) {
            throw nlohmann::detail::type_error::create(
                302, std::string("type must be array, but is ") + json.type_name(), &json);
        }
        std::vector<typename Tree::NodeType> stored;
        stored.reserve(json.size());
        for (const auto& element : json) {
            stored.push_back(element.template get<typename Tree::NodeType>());
        }
        return Tree::fromStoredNodes(std::move(stored));
    }
};
