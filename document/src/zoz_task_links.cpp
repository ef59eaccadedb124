#include "document/zoz_task_links.hpp"

#include "document/zoz_project_task.hpp"

#include <algorithm>
#include <unordered_set>

namespace document {

std::optional<ZozTaskLinkType> zozTaskLinkTypeFromRaw(std::int64_t raw) {
    if (raw == 0 || raw == 1) {
        return static_cast<ZozTaskLinkType>(raw);
    }
    return std::nullopt;
}

// Collections.

bool ZozLinkCollection::isEmpty() const {
    return m_node->isGroupTask() ||
           std::none_of(m_links.begin(), m_links.end(),
                        [](const Entry& entry) { return !entry.task.expired(); });
}

bool ZozLinkCollection::contains(const ZozProjectTask& task) const {
    if (!m_storedIds.contains(task.id()) || isEmpty()) {
        return false;
    }
    return std::any_of(m_links.begin(), m_links.end(), [&](const Entry& entry) {
        return entry.id == task.id() && !entry.task.expired();
    });
}

bool ZozLinkCollection::add(const std::shared_ptr<ZozProjectTask>& task) {
    if (!task) {
        return false;
    }
    if (contains(*task)) {
        return false;
    }
    m_links.push_back({task->id(), task});
    ++m_storedIds[task->id()];
    return true;
}

std::optional<std::vector<std::shared_ptr<ZozProjectTask>>> ZozLinkCollection::links() const {
    if (isEmpty()) {
        return std::nullopt;
    }
    return storedLinks();
}

std::vector<std::shared_ptr<ZozProjectTask>> ZozLinkCollection::storedLinks() const {
    std::vector<std::shared_ptr<ZozProjectTask>> live;
    live.reserve(m_links.size());
    for (const auto& entry : m_links) {
        if (auto linked = entry.task.lock()) {
            live.push_back(std::move(linked));
        }
    }
    return live;
}

std::size_t ZozLinkCollection::storedCount() const {
    return static_cast<std::size_t>(std::count_if(
        m_links.begin(), m_links.end(), [](const Entry& entry) { return !entry.task.expired(); }));
}

bool ZozLinkCollection::removeFirst(std::int64_t id) {
    if (!m_storedIds.contains(id)) {
        return false;
    }
    const auto found = std::find_if(m_links.begin(), m_links.end(), [&](const Entry& entry) {
        return entry.id == id && !entry.task.expired();
    });
    if (found == m_links.end()) {
        return false;
    }
    m_links.erase(found);
    if (const auto counted = m_storedIds.find(id); --counted->second == 0) {
        m_storedIds.erase(counted);
    }
    return true;
}

namespace {

using Action = std::function<void(ZozProjectTask&, const std::shared_ptr<ZozProjectTask>&)>;
using Side = ZozLinkCollection& (*)(ZozProjectTask&);

ZozLinkCollection& predecessorSide(ZozProjectTask& task) {
    return task.links().predecessorCollection();
}

ZozLinkCollection& successorSide(ZozProjectTask& task) {
    return task.links().successorCollection();
}

// Near links first. A document may hold cyclic links (even a task listed as its own
// predecessor), so each task's list is walked once; the walk keeps its own stack so a long
// chain cannot exhaust the call stack.
void navigateNearFirst(ZozProjectTask& start, Side side, const Action& action) {
    struct Frame {
        ZozProjectTask* node;
        std::vector<std::shared_ptr<ZozProjectTask>> links;
        std::size_t next = 0;
    };
    std::unordered_set<const ZozProjectTask*> expanded{&start};
    std::vector<Frame> stack;
    if (auto first = side(start).links()) {
        stack.push_back({&start, std::move(*first)});
    }
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.next >= top.links.size()) {
            stack.pop_back();
            continue;
        }
        auto linked = top.links[top.next++];
        action(*top.node, linked);
        if (expanded.insert(linked.get()).second) {
            if (auto further = side(*linked).links()) {
                stack.push_back({linked.get(), std::move(*further)});
            }
        }
    }
}

// The farthest links first: a link is reported once everything behind it has been.
void navigateFarFirst(ZozProjectTask& start, Side side, const Action& handler) {
    struct Frame {
        ZozProjectTask* node;
        std::vector<std::shared_ptr<ZozProjectTask>> links;
        std::size_t next = 0;
        ZozProjectTask* reportFrom = nullptr; // the link (reportFrom, node) once done
        std::shared_ptr<ZozProjectTask> self;
    };
    std::unordered_set<const ZozProjectTask*> expanded{&start};
    std::vector<Frame> stack;
    if (auto first = side(start).links()) {
        stack.push_back({&start, std::move(*first), 0, nullptr, nullptr});
    }
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.next >= top.links.size()) {
            auto* from = top.reportFrom;
            auto self = std::move(top.self);
            stack.pop_back();
            if (from) {
                handler(*from, self);
            }
            continue;
        }
        auto linked = top.links[top.next++];
        auto* node = top.node;
        if (!expanded.insert(linked.get()).second) {
            handler(*node, linked);
            continue;
        }
        auto further = side(*linked).links();
        if (!further) {
            handler(*node, linked);
            continue;
        }
        auto* raw = linked.get();
        stack.push_back({raw, std::move(*further), 0, node, std::move(linked)});
    }
}

} // namespace

void ZozTaskPredecessors::navigate(const Action& action) {
    navigateNearFirst(node(), predecessorSide, action);
}

void ZozTaskSuccessors::navigate(const Action& action) {
    navigateNearFirst(node(), successorSide, action);
}

// Links.

ZozTaskPredecessors* ZozTaskLinks::predecessors() {
    return m_predecessors.isEmpty() ? nullptr : &m_predecessors;
}

ZozTaskSuccessors* ZozTaskLinks::successors() {
    return m_successors.isEmpty() ? nullptr : &m_successors;
}

void ZozTaskLinks::addPredecessor(const std::shared_ptr<ZozProjectTask>& p) {
    if (!p) {
        return;
    }
    p->links().successorCollection().add(m_task->shared_from_this());
    m_predecessors.add(p);
}

void ZozTaskLinks::removePredecessor(const std::shared_ptr<ZozProjectTask>& p) {
    if (!p) {
        return;
    }
    auto& theirs = p->links().successorCollection();
    if (!theirs.isEmpty()) {
        theirs.removeFirst(m_task->id());
    }
    if (!m_predecessors.isEmpty()) {
        m_predecessors.removeFirst(p->id());
    }
}

void ZozTaskLinks::clear(const TaskPredicate& condition, const TaskAction& onPredecessRemoved,
                         const TaskAction& onSuccessorRemoved) {
    for (const auto& p : m_predecessors.storedLinks()) {
        if (!condition || !condition(p)) {
            continue;
        }
        auto& theirs = p->links().successorCollection();
        if (!theirs.isEmpty()) {
            theirs.removeFirst(m_task->id());
        }
        if (!m_predecessors.isEmpty()) {
            m_predecessors.removeFirst(p->id());
        }
        if (onPredecessRemoved) {
            onPredecessRemoved(p);
        }
    }
    for (const auto& s : m_successors.storedLinks()) {
        if (!condition || !condition(s)) {
            continue;
        }
        auto& theirs = s->links().predecessorCollection();
        if (!theirs.isEmpty()) {
            theirs.removeFirst(m_task->id());
        }
        if (!m_successors.isEmpty()) {
            m_successors.removeFirst(s->id());
        }
        if (onSuccessorRemoved) {
            onSuccessorRemoved(s);
        }
    }
}

void ZozTaskLinks::backup() {
    Backup saved;
    for (const auto& p : m_predecessors.storedLinks()) {
        saved.predecessors.push_back(p);
    }
    for (const auto& s : m_successors.storedLinks()) {
        saved.successors.push_back(s);
    }
    m_backup = std::move(saved);
}

void ZozTaskLinks::restore() {
    if (!m_backup) {
        return;
    }
    for (const auto& p : m_predecessors.storedLinks()) {
        auto& theirs = p->links().successorCollection();
        if (!theirs.isEmpty()) {
            theirs.removeFirst(m_task->id());
        }
    }
    for (const auto& s : m_successors.storedLinks()) {
        auto& theirs = s->links().predecessorCollection();
        if (!theirs.isEmpty()) {
            theirs.removeFirst(m_task->id());
        }
    }
    m_predecessors.removeAll();
    m_successors.removeAll();
    const auto self = m_task->shared_from_this();
    for (const auto& entry : m_backup->predecessors) {
        if (auto p = entry.lock()) {
            p->links().successorCollection().add(self);
            m_predecessors.add(p);
        }
    }
    for (const auto& entry : m_backup->successors) {
        if (auto s = entry.lock()) {
            s->links().predecessorCollection().add(self);
            m_successors.add(s);
        }
    }
}

std::size_t ZozTaskLinks::predecessorCount() const {
    return m_predecessors.isEmpty() ? 0 : m_predecessors.storedCount();
}

std::size_t ZozTaskLinks::successorCount() const {
    return m_successors.isEmpty() ? 0 : m_successors.storedCount();
}

bool ZozTaskLinks::isBackupEmpty() const {
    return !m_backup || (m_backup->predecessors.empty() && m_backup->successors.empty());
}

bool ZozTaskLinks::hasDirectLinkWithTask(const ZozProjectTask& t) const {
    if (t.isGroupTask() || m_task->isGroupTask()) {
        return false;
    }
    return m_predecessors.contains(t) || m_successors.contains(t);
}

std::optional<std::vector<std::shared_ptr<ZozProjectTask>>>
ZozTaskLinks::directLinkedTasks() const {
    if (m_task->isGroupTask() || (m_predecessors.isEmpty() && m_successors.isEmpty())) {
        return std::nullopt;
    }
    std::vector<std::shared_ptr<ZozProjectTask>> all;
    if (auto p = m_predecessors.links()) {
        all.insert(all.end(), p->begin(), p->end());
    }
    if (auto s = m_successors.links()) {
        all.insert(all.end(), s->begin(), s->end());
    }
    return all;
}

bool ZozTaskLinks::hasDirectPredecessor(std::int64_t taskId) const {
    if (m_task->isGroupTask() || m_predecessors.isEmpty()) {
        return false;
    }
    const auto links = m_predecessors.storedLinks();
    return std::any_of(links.begin(), links.end(),
                       [&](const auto& t) { return t->id() == taskId; });
}

bool ZozTaskLinks::hasDirectSuccessor(std::int64_t taskId) const {
    if (m_task->isGroupTask() || m_successors.isEmpty()) {
        return false;
    }
    const auto links = m_successors.storedLinks();
    return std::any_of(links.begin(), links.end(),
                       [&](const auto& t) { return t->id() == taskId; });
}

bool ZozTaskLinks::hasPredeccessorLinkWithTask(const ZozProjectTask& t) const {
    if (t.isGroupTask() || m_task->isGroupTask() || m_predecessors.isEmpty()) {
        return false;
    }
    // Breadth of the chain is walked with a visited set, so cyclic links end the search.
    std::unordered_set<const ZozProjectTask*> seen{m_task};
    std::vector<std::shared_ptr<ZozProjectTask>> pending = m_predecessors.storedLinks();
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        auto p = std::move(pending.back());
        pending.pop_back();
        if (p->id() == t.id()) {
            return true;
        }
        if (!seen.insert(p.get()).second || p->isGroupTask() || !p->hasLinksObject()) {
            continue;
        }
        auto further = p->links().predecessorCollection().links();
        if (further) {
            pending.insert(pending.end(), further->rbegin(), further->rend());
        }
    }
    return false;
}

void ZozTaskLinks::navigatePredecessorTree(const Handler& handler) {
    navigateFarFirst(*m_task, predecessorSide, handler);
}

void ZozTaskLinks::navigateSuccessorTree(const Handler& handler) {
    navigateFarFirst(*m_task, successorSide, handler);
}

} // namespace document
