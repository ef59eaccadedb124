#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace document {

class ZozProjectTask;

/// How the project's task links are read (raw values as the document stores them).
enum class ZozTaskLinkType : std::int64_t { finishToStart = 0, linkingList = 1 };

/// The link type of raw value `raw`, or absent for any other number.
std::optional<ZozTaskLinkType> zozTaskLinkTypeFromRaw(std::int64_t raw);

/// The contract of a node that can be linked.
template <class N>
concept ZozLinkNode = requires(N& node, const N& other) {
    { node.allowLink() } -> std::convertible_to<bool>;
    node.getPredecessors();
    node.getSuccessors();
    { node.isSameNode(other) } -> std::convertible_to<bool>;
};

/// One side of a task's links: the linked tasks in the order they were added, matched by id.
/// Entries do not own their tasks; entries whose task is gone are skipped. A collection of a
/// group task reports itself empty, whatever it holds, until the task has no children again.
class ZozLinkCollection {
public:
    /// An empty collection of `node` (its owner, which outlives it).
    explicit ZozLinkCollection(ZozProjectTask& node) : m_node(&node) {}
    virtual ~ZozLinkCollection() = default;
    ZozLinkCollection(const ZozLinkCollection&) = delete;
    ZozLinkCollection& operator=(const ZozLinkCollection&) = delete;

    /// True when the owner is a group task or no live entry is stored.
    bool isEmpty() const;
    /// Whether an entry has `task`'s id (false when `isEmpty`).
    bool contains(const ZozProjectTask& task) const;
    /// Appends `task` unless a visible entry already has its id; returns whether it was added.
    bool add(const std::shared_ptr<ZozProjectTask>& task);
    /// The live entries, or absent when `isEmpty`.
    std::optional<std::vector<std::shared_ptr<ZozProjectTask>>> links() const;
    /// The live entries as stored, also when hidden.
    std::vector<std::shared_ptr<ZozProjectTask>> storedLinks() const;
    /// The number of live entries as stored.
    std::size_t storedCount() const;
    /// Removes the first entry with `id`; returns whether one was removed.
    bool removeFirst(std::int64_t id);
    /// Removes every entry.
    void removeAll() {
        m_links.clear();
        m_storedIds.clear();
    }
    /// The owning task.
    ZozProjectTask& node() const noexcept { return *m_node; }

private:
    // A task's id never changes, so each entry keeps it: matching by id needs no lock of the
    // entry, and an id that was never stored is ruled out at once (a task may have many links).
    struct Entry {
        std::int64_t id;
        std::weak_ptr<ZozProjectTask> task;
    };

    ZozProjectTask* m_node;
    std::vector<Entry> m_links;
    std::unordered_map<std::int64_t, std::size_t> m_storedIds; // entries per id, live or not
};

/// A task's predecessors.
class ZozTaskPredecessors : public ZozLinkCollection {
public:
    using ZozLinkCollection::ZozLinkCollection;
    /// Depth first: for each predecessor p, `action(node, p)` and then p's own predecessors; each
    /// task's predecessors are walked once, so a cycle ends the walk.
    void navigate(
        const std::function<void(ZozProjectTask&, const std::shared_ptr<ZozProjectTask>&)>& action);
};

/// A task's successors.
class ZozTaskSuccessors : public ZozLinkCollection {
public:
    using ZozLinkCollection::ZozLinkCollection;
    /// Depth first over successors, as `ZozTaskPredecessors::navigate`.
    void navigate(
        const std::function<void(ZozProjectTask&, const std::shared_ptr<ZozProjectTask>&)>& action);
};

/// A task's two link collections, kept consistent with the collections of the linked tasks.
class ZozTaskLinks {
public:
    /// A handler of a link: (task, linked task).
    using Handler = std::function<void(ZozProjectTask&, const std::shared_ptr<ZozProjectTask>&)>;
    /// A test or action on a linked task.
    using TaskPredicate = std::function<bool(const std::shared_ptr<ZozProjectTask>&)>;
    /// An action on a linked task.
    using TaskAction = std::function<void(const std::shared_ptr<ZozProjectTask>&)>;

    /// Empty links of `task` (its owner) with no backup.
    explicit ZozTaskLinks(ZozProjectTask& task)
        : m_task(&task), m_predecessors(task), m_successors(task) {}
    ZozTaskLinks(const ZozTaskLinks&) = delete;
    ZozTaskLinks& operator=(const ZozTaskLinks&) = delete;

    /// The predecessor collection, or null when it `isEmpty`.
    ZozTaskPredecessors* predecessors();
    /// The successor collection, or null when it `isEmpty`.
    ZozTaskSuccessors* successors();
    /// The predecessor collection, hidden or not.
    ZozTaskPredecessors& predecessorCollection() noexcept { return m_predecessors; }
    /// The successor collection, hidden or not.
    ZozTaskSuccessors& successorCollection() noexcept { return m_successors; }

    /// Makes `p` a predecessor of this task, on both ends (duplicates skipped on each side).
    void addPredecessor(const std::shared_ptr<ZozProjectTask>& p);
    /// Removes the link from `p` to this task on both ends.
    void removePredecessor(const std::shared_ptr<ZozProjectTask>& p);
    /// Removes, on both ends, every link whose other task passes `condition`, calling the
    /// matching action after each removal.
    void clear(const TaskPredicate& condition, const TaskAction& onPredecessRemoved = {},
               const TaskAction& onSuccessorRemoved = {});
    /// Saves both lists, replacing an earlier backup.
    void backup();
    /// Detaches this task from all its links and re-creates the saved ones on both ends.
    void restore();

    /// Both collections report empty.
    bool isEmpty() const { return m_predecessors.isEmpty() && m_successors.isEmpty(); }
    /// The predecessor collection reports empty.
    bool isPredecessEmpty() const { return m_predecessors.isEmpty(); }
    /// The successor collection reports empty.
    bool isSuccessEmpty() const { return m_successors.isEmpty(); }
    /// 0 when the collection reports empty, else its number of live entries.
    std::size_t predecessorCount() const;
    /// 0 when the collection reports empty, else its number of live entries.
    std::size_t successorCount() const;
    /// True without a backup or when both saved lists are empty.
    bool isBackupEmpty() const;

    /// Whether `t` is a direct predecessor or successor (false when either is a group).
    bool hasDirectLinkWithTask(const ZozProjectTask& t) const;
    /// Predecessors then successors, duplicates kept; absent for a group or without links.
    std::optional<std::vector<std::shared_ptr<ZozProjectTask>>> directLinkedTasks() const;
    /// Whether a visible predecessor has `taskId`.
    bool hasDirectPredecessor(std::int64_t taskId) const;
    /// Whether a visible successor has `taskId`.
    bool hasDirectSuccessor(std::int64_t taskId) const;
    /// Whether `t` precedes this task directly or through a chain; ends on cyclic links.
    bool hasPredeccessorLinkWithTask(const ZozProjectTask& t) const;
    /// Reports every link behind this task, the farthest first; ends on cyclic links.
    void navigatePredecessorTree(const Handler& handler);
    /// Reports every link ahead of this task, the farthest first; ends on cyclic links.
    void navigateSuccessorTree(const Handler& handler);

private:
    struct Backup {
        std::vector<std::weak_ptr<ZozProjectTask>> predecessors;
        std::vector<std::weak_ptr<ZozProjectTask>> successors;
    };

    ZozProjectTask* m_task;
    ZozTaskPredecessors m_predecessors;
    ZozTaskSuccessors m_successors;
    std::optional<Backup> m_backup;
};

} // namespace document
