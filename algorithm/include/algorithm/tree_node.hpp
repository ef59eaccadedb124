#pragma once

// Walks, searches and measures over any node type whose tree is held by the nodes themselves.
//
// A node type N adopts the contract through `TreeNodeTraits<N>`: either N (or, for a pointer-like
// N such as `std::shared_ptr<Task>`, the pointee) has member functions `treeChildren()` and
// optionally `treeParent()`, which the primary template forwards to, or the adopter specialises
// `algorithm::TreeNodeTraits<N>` with static `children(const N&)` and optionally
// `parent(const N&)`. No common base class is needed.
//
// Every walk uses an explicit stack: a tree's depth is under the control of whoever wrote the
// document, so the call stack must not grow with it.

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <iterator>
#include <optional>
#include <ranges>
#include <type_traits>
#include <utility>
#include <vector>

namespace algorithm {

/// A position path from a start node down: element k is the 0-based index among the children at
/// depth k + 1.
using TreeIndexPath = std::vector<std::int64_t>;

namespace detail {

template <class N>
concept HasMemberTreeChildren = requires(const N& n) { n.treeChildren(); };

template <class N>
concept HasPointeeTreeChildren = requires(const N& n) { n->treeChildren(); };

template <class N>
concept HasMemberTreeParent = requires(const N& n) { n.treeParent(); };

template <class N>
concept HasPointeeTreeParent = requires(const N& n) { n->treeParent(); };

// Turns what an adopter reports as a parent (an optional, or a nullable pointer-like value) into
// the one form the walks use.
template <class N, class P>
std::optional<N> normalizeParent(P&& parent) {
    if constexpr (std::same_as<std::remove_cvref_t<P>, std::optional<N>>) {
        return std::forward<P>(parent);
    } else {
        // Only N itself may stand for a nullable parent: building N from another pointer type
        // (a raw pointer into a shared_ptr, say) would create a second owner.
        static_assert(std::same_as<std::remove_cvref_t<P>, N>,
                      "treeParent() must return std::optional<N> or a nullable N");
        if (!parent) {
            return std::nullopt;
        }
        return N(std::forward<P>(parent));
    }
}

} // namespace detail

/// The customisation point of the tree contract; specialise it for a node type that does not
/// carry `treeChildren()` / `treeParent()` members (on itself or, for pointer-like nodes, on its
/// pointee). `children` returns a random-access, sized range of N, by value or as an lvalue
/// reference to a list the node owns; walks copy a handle node's list either way and read a value
/// node's list in place; `parent` returns `std::optional<N>` or a nullable N.
template <class N>
struct TreeNodeTraits {
    /// The node's children, first child first.
    static decltype(auto) children(const N& node)
        requires detail::HasMemberTreeChildren<N> || detail::HasPointeeTreeChildren<N>
    {
        if constexpr (detail::HasMemberTreeChildren<N>) {
            return node.treeChildren();
        } else {
            return node->treeChildren();
        }
    }

    /// The node's parent, absent for a root.
    static std::optional<N> parent(const N& node)
        requires detail::HasMemberTreeParent<N> || detail::HasPointeeTreeParent<N>
    {
        if constexpr (detail::HasMemberTreeParent<N>) {
            return detail::normalizeParent<N>(node.treeParent());
        } else {
            return detail::normalizeParent<N>(node->treeParent());
        }
    }
};

/// A node type whose nodes list their children through `TreeNodeTraits`.
template <class N>
concept TreeNode = std::copy_constructible<N> && requires(const N& node) {
    TreeNodeTraits<N>::children(node);
    requires std::ranges::random_access_range<decltype(TreeNodeTraits<N>::children(node))>;
    requires std::ranges::sized_range<decltype(TreeNodeTraits<N>::children(node))>;
    requires std::same_as<std::remove_cvref_t<std::ranges::range_reference_t<
                              decltype(TreeNodeTraits<N>::children(node))>>,
                          N>;
};

/// A tree node that also reports its parent, and whose `==` identifies nodes.
template <class N>
concept ParentLinkedTreeNode =
    TreeNode<N> && std::equality_comparable<N> && requires(const N& node) {
        { TreeNodeTraits<N>::parent(node) } -> std::convertible_to<std::optional<N>>;
    };

namespace detail {

// Nodes that are handles (pointers, smart pointers) share their objects with whoever else holds
// them, visitors included, so their child lists can change while a walk is inside them.
template <class N>
concept HandleNode = std::is_pointer_v<N> || requires(const N& node) { node.operator->(); };

// One read of a node's children, iterated as read. A handle's list is always copied, even when
// the adopter hands out a reference to the list it owns: a visitor that adds or removes children
// would otherwise make the walk skip nodes or read a reallocated list. A value node's list is
// read in place, since copying it would copy whole subtrees; a value tree is read through const
// references and does not change during a walk.
template <class N>
class ChildList {
    using Result = decltype(TreeNodeTraits<N>::children(std::declval<const N&>()));
    static constexpr bool kInPlace = std::is_lvalue_reference_v<Result> && !HandleNode<N>;
    using List = std::remove_cvref_t<Result>;
    using Storage = std::conditional_t<kInPlace, const List*, List>;

public:
    explicit ChildList(const N& node) : m_list(read(node)) {}

    std::size_t size() const { return static_cast<std::size_t>(std::ranges::size(list())); }
    bool empty() const { return size() == 0; }
    const N& operator[](std::size_t i) const {
        return std::ranges::begin(
            list())[static_cast<std::ranges::range_difference_t<const List>>(i)];
    }

private:
    static Storage read(const N& node) {
        if constexpr (kInPlace) {
            return &TreeNodeTraits<N>::children(node);
        } else {
            return TreeNodeTraits<N>::children(node);
        }
    }
    const List& list() const {
        if constexpr (kInPlace) {
            return *m_list;
        } else {
            return m_list;
        }
    }

    Storage m_list;
};

// The number of children, read without keeping (or copying) the list.
template <class N>
std::size_t childCount(const N& node) {
    return static_cast<std::size_t>(std::ranges::size(TreeNodeTraits<N>::children(node)));
}

// A node being walked: its children as read once, and the next one to visit. Frames live in a
// deque so that references to a node inside a lower frame's list stay valid while frames are
// pushed above it.
template <class N>
struct WalkFrame {
    const N* node;
    ChildList<N> children;
    std::size_t next = 0;

    explicit WalkFrame(const N& n) : node(&n), children(n) {}
    bool done() const { return next >= children.size(); }
    const N& take() { return children[next++]; }
};

template <class N>
using WalkStack = std::deque<WalkFrame<N>>;

// The pre-order walk below `node` without recursion: `visit(parent, child)` sees every
// descendant, siblings in list order, and answers whether to walk on into the child's children
// (read only after the visit returns).
template <class N, class Visit>
void walkDescendants(const N& node, Visit&& visit) {
    WalkStack<N> stack;
    stack.emplace_back(node);
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.done()) {
            stack.pop_back();
            continue;
        }
        const N& parent = *top.node;
        const N& child = top.take();
        if (visit(parent, child)) {
            stack.emplace_back(child);
        }
    }
}

} // namespace detail

/// The node's children as its traits report them.
template <TreeNode N>
decltype(auto) treeChildren(const N& node) {
    return TreeNodeTraits<N>::children(node);
}

/// The node's parent, absent for a root.
template <ParentLinkedTreeNode N>
std::optional<N> treeParent(const N& node) {
    return TreeNodeTraits<N>::parent(node);
}

/// True when the node has at least one child.
template <TreeNode N>
bool treeHasChildren(const N& node) {
    return detail::childCount(node) != 0;
}

/// True when the node has no children.
template <TreeNode N>
bool treeIsLeaf(const N& node) {
    return detail::childCount(node) == 0;
}

/// Pre-order walk, siblings in list order; each node's children are read after its visitor
/// returns. With `includeSelf` false only the start node is left out. A throw from `perform`
/// ends the walk and reaches the caller unchanged.
template <TreeNode N, class F>
    requires std::invocable<F&, const N&>
void treeTravel(const N& node, bool includeSelf, F&& perform) {
    if (includeSelf) {
        perform(node);
    }
    detail::walkDescendants(node, [&](const N&, const N& child) {
        perform(child);
        return true;
    });
}

/// The pre-order walk of `treeTravel`, offering each node with its index path relative to the
/// start node (empty for the start node itself). The path reference is valid during the call.
template <TreeNode N, class F>
    requires std::invocable<F&, const N&, const TreeIndexPath&>
void treeTravelWithIndexPath(const N& node, bool includeSelf, F&& perform) {
    TreeIndexPath path;
    if (includeSelf) {
        perform(node, path);
    }
    detail::WalkStack<N> stack;
    stack.emplace_back(node);
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.done()) {
            stack.pop_back();
            if (!stack.empty()) {
                path.pop_back();
            }
            continue;
        }
        path.push_back(static_cast<std::int64_t>(top.next));
        const N& child = top.take();
        perform(child, path);
        stack.emplace_back(child);
    }
}

/// `treeTravel` on a background thread, over the given node (moved in); the future rethrows
/// the visitor's error. Visitor calls never overlap.
template <TreeNode N, class F>
    requires std::invocable<F&, const N&>
std::future<void> treeTravelAsync(N node, bool includeSelf, F perform) {
    return std::async(std::launch::async, [node = std::move(node), includeSelf,
                                           perform = std::move(perform)]() mutable {
        treeTravel(node, includeSelf, perform);
    });
}

/// `treeTravelWithIndexPath` on a background thread, over the given node (moved in).
template <TreeNode N, class F>
    requires std::invocable<F&, const N&, const TreeIndexPath&>
std::future<void> treeTravelWithIndexPathAsync(N node, bool includeSelf, F perform) {
    return std::async(std::launch::async, [node = std::move(node), includeSelf,
                                           perform = std::move(perform)]() mutable {
        treeTravelWithIndexPath(node, includeSelf, perform);
    });
}

/// Walks parent-child pairs in the pre-order of the child: `perform(parent, child)`; the start
/// node is never a child and a leaf yields nothing.
template <TreeNode N, class F>
    requires std::invocable<F&, const N&, const N&>
void treeTravel(const N& node, F&& perform) {
    detail::walkDescendants(node, [&](const N& parent, const N& child) {
        perform(parent, child);
        return true;
    });
}

/// Pre-order walk with pruning: a node for which `canTravelChildren` answers false is offered but
/// its descendants are skipped. With `includeSelf` false every child of the start node is offered.
template <TreeNode N, class F>
    requires std::predicate<F&, const N&>
void treeConditionalTravel(const N& node, bool includeSelf, F&& canTravelChildren) {
    if (includeSelf && !canTravelChildren(node)) {
        return;
    }
    detail::walkDescendants(node,
                            [&](const N&, const N& child) { return canTravelChildren(child); });
}

/// Offers the leaves of the subtree, left to right (the start node too when it is a leaf).
template <TreeNode N, class F>
    requires std::invocable<F&, const N&>
void treeTravelLeaves(const N& node, F&& perform) {
    // Children are read again after the visitor, so a leaf that gains children is walked on.
    const auto visit = [&](const N& n) {
        if (detail::childCount(n) == 0) {
            perform(n);
        }
    };
    visit(node);
    detail::walkDescendants(node, [&](const N&, const N& child) {
        visit(child);
        return true;
    });
}

/// Post-order walk: every node after all of its descendants, the start node last.
template <TreeNode N, class F>
    requires std::invocable<F&, const N&>
void treeTravelFromLeaf(const N& node, F&& perform) {
    detail::WalkStack<N> stack;
    stack.emplace_back(node);
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.done()) {
            perform(*top.node);
            stack.pop_back();
            continue;
        }
        const N& child = top.take();
        stack.emplace_back(child);
    }
}

/// Top-down propagation in pre-order: each node gets `calculator(parent's result, node, index in
/// parent)`; the start node gets `parentResult` and `nodeIndexInParent`. Results are not returned.
template <TreeNode N, class R, class F>
    requires std::is_invocable_r_v<R, F&, const R&, const N&, std::int64_t>
void treeCalculate(const N& node, R parentResult, std::int64_t nodeIndexInParent, F&& calculator) {
    struct Frame {
        detail::WalkFrame<N> walk;
        R result;
    };
    std::deque<Frame> stack;
    stack.push_back(Frame{detail::WalkFrame<N>(node),
                          calculator(std::as_const(parentResult), node, nodeIndexInParent)});
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.walk.done()) {
            stack.pop_back();
            continue;
        }
        const auto index = static_cast<std::int64_t>(top.walk.next);
        const N& child = top.walk.take();
        R result = calculator(std::as_const(top.result), child, index);
        stack.push_back(Frame{detail::WalkFrame<N>(child), std::move(result)});
    }
}

/// The first node in pre-order for which `search` holds (the start node included), or absent;
/// `allowSearchChildren` is asked of each non-matching node that has children and can prune it.
template <TreeNode N, class S, class A>
    requires std::predicate<S&, const N&> && std::predicate<A&, const N&>
std::optional<N> treeFindFirst(const N& node, S&& search, A&& allowSearchChildren) {
    if (search(node)) {
        return node;
    }
    detail::WalkStack<N> stack;
    stack.emplace_back(node);
    if (stack.back().children.empty() || !allowSearchChildren(node)) {
        return std::nullopt;
    }
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.done()) {
            stack.pop_back();
            continue;
        }
        const N& child = top.take();
        if (search(child)) {
            return child;
        }
        stack.emplace_back(child);
        if (stack.back().children.empty() || !allowSearchChildren(child)) {
            stack.pop_back();
        }
    }
    return std::nullopt;
}

/// The first node in pre-order for which `search` holds (the start node included), or absent.
template <TreeNode N, class S>
    requires std::predicate<S&, const N&>
std::optional<N> treeFindFirst(const N& node, S&& search) {
    return treeFindFirst(node, search, [](const N&) { return true; });
}

/// True when `by` holds for the start node or any node below it.
template <TreeNode N, class S>
    requires std::predicate<S&, const N&>
bool treeContains(const N& node, S&& by) {
    if (by(node)) {
        return true;
    }
    detail::WalkStack<N> stack;
    stack.emplace_back(node);
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.done()) {
            stack.pop_back();
            continue;
        }
        const N& child = top.take();
        if (by(child)) {
            return true;
        }
        stack.emplace_back(child);
    }
    return false;
}

/// 0 for a leaf, else 1 + the largest height among the children.
template <TreeNode N>
std::int64_t treeHeight(const N& node) {
    struct Frame {
        detail::WalkFrame<N> walk;
        std::int64_t tallestChild = -1;
    };
    std::deque<Frame> stack;
    stack.push_back(Frame{detail::WalkFrame<N>(node)});
    for (;;) {
        auto& top = stack.back();
        if (!top.walk.done()) {
            const N& child = top.walk.take();
            stack.push_back(Frame{detail::WalkFrame<N>(child)});
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

/// True when the node has no parent.
template <ParentLinkedTreeNode N>
bool treeIsRoot(const N& node) {
    return !treeParent(node).has_value();
}

/// The number of ancestors (0 at a root).
template <ParentLinkedTreeNode N>
std::int64_t treeDepth(const N& node) {
    std::int64_t depth = 0;
    for (auto parent = treeParent(node); parent; parent = treeParent(*parent)) {
        ++depth;
    }
    return depth;
}

/// Steps up from the node to the first ancestor equal to `root`; 0 when the node equals `root`;
/// the plain depth when no ancestor is equal.
template <ParentLinkedTreeNode N>
std::int64_t treeDepth(const N& node, const N& toSpecifiedRoot) {
    if (node == toSpecifiedRoot) {
        return 0;
    }
    std::int64_t steps = 0;
    for (auto parent = treeParent(node); parent; parent = treeParent(*parent)) {
        ++steps;
        if (*parent == toSpecifiedRoot) {
            break;
        }
    }
    return steps;
}

/// The topmost ancestor, or the node itself at a root.
template <ParentLinkedTreeNode N>
N treeRoot(const N& node) {
    N current = node;
    while (auto parent = treeParent(current)) {
        current = std::move(*parent);
    }
    return current;
}

/// The first position in the parent's children holding a node equal to this one; absent at a
/// root or when the parent does not list it.
template <ParentLinkedTreeNode N>
std::optional<std::int64_t> treeGetIndexInParent(const N& node) {
    const auto parent = treeParent(node);
    if (!parent) {
        return std::nullopt;
    }
    const detail::ChildList<N> siblings(*parent);
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] == node) {
            return static_cast<std::int64_t>(i);
        }
    }
    return std::nullopt;
}

/// The sibling just after this node, or absent.
template <ParentLinkedTreeNode N>
std::optional<N> treeNextPeer(const N& node) {
    const auto parent = treeParent(node);
    const auto index = treeGetIndexInParent(node);
    if (!parent || !index) {
        return std::nullopt;
    }
    const detail::ChildList<N> siblings(*parent);
    const auto next = static_cast<std::size_t>(*index) + 1;
    if (next >= siblings.size()) {
        return std::nullopt;
    }
    return siblings[next];
}

/// The sibling just before this node, or absent.
template <ParentLinkedTreeNode N>
std::optional<N> treePreviousPeer(const N& node) {
    const auto parent = treeParent(node);
    const auto index = treeGetIndexInParent(node);
    if (!parent || !index || *index == 0) {
        return std::nullopt;
    }
    const detail::ChildList<N> siblings(*parent);
    const auto previous = static_cast<std::size_t>(*index) - 1;
    if (previous >= siblings.size()) {
        return std::nullopt;
    }
    return siblings[previous];
}

/// Offers the node (when `includeSelf`), its parent, grandparent... up to the root; a throw from
/// `perform` ends the walk and reaches the caller.
template <ParentLinkedTreeNode N, class F>
    requires std::invocable<F&, const N&>
void treeUpTravelAncestors(const N& node, bool includeSelf, F&& perform) {
    std::optional<N> current = includeSelf ? std::optional<N>(node) : treeParent(node);
    while (current) {
        perform(std::as_const(*current));
        current = treeParent(*current);
    }
}

/// The upward walk of `treeUpTravelAncestors`, ended after the first node for which `perform`
/// answers false.
template <ParentLinkedTreeNode N, class F>
    requires std::predicate<F&, const N&>
void treeConditionalUpTravelAncestors(const N& node, bool includeSelf, F&& perform) {
    std::optional<N> current = includeSelf ? std::optional<N>(node) : treeParent(node);
    while (current) {
        if (!perform(std::as_const(*current))) {
            return;
        }
        current = treeParent(*current);
    }
}

/// Offers the same nodes as `treeUpTravelAncestors`, root first and the node (when included)
/// last.
template <ParentLinkedTreeNode N, class F>
    requires std::invocable<F&, const N&>
void treeDownTravelAncestors(const N& node, bool includeSelf, F&& perform) {
    std::vector<N> line;
    treeUpTravelAncestors(node, includeSelf, [&](const N& n) { line.push_back(n); });
    for (auto it = line.rbegin(); it != line.rend(); ++it) {
        perform(std::as_const(*it));
    }
}

/// The nearest ancestor (never the node itself) for which `predicate` holds, or absent.
template <ParentLinkedTreeNode N, class P>
    requires std::predicate<P&, const N&>
std::optional<N> treeFindInAncestors(const N& node, P&& predicate) {
    for (auto parent = treeParent(node); parent; parent = treeParent(*parent)) {
        if (predicate(std::as_const(*parent))) {
            return parent;
        }
    }
    return std::nullopt;
}

/// True when some ancestor (never the node itself) satisfies `predicate`.
template <ParentLinkedTreeNode N, class P>
    requires std::predicate<P&, const N&>
bool treeExistsAncestor(const N& node, P&& predicate) {
    return treeFindInAncestors(node, predicate).has_value();
}

/// True when `node` is a proper ancestor of `of` (compared with `==`).
template <ParentLinkedTreeNode N>
bool treeIsAncestor(const N& node, const N& of) {
    for (auto parent = treeParent(of); parent; parent = treeParent(*parent)) {
        if (*parent == node) {
            return true;
        }
    }
    return false;
}

} // namespace algorithm
