#include "document/zoz_project_task.hpp"

#include "document/date_baseline.hpp"
#include "document/dezuduz_document_color_utility.hpp"
#include "document/dezuduz_document_config.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_project_calendar.hpp"
#include "document/zoz_task_links.hpp"

#include "model_dates.hpp"

#include "algorithm/tree_node.hpp"
#include "core/log.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace document {

std::optional<ProjectTaskInnerType> projectTaskInnerTypeFromRaw(std::int64_t raw) {
    if (raw >= 0 && raw <= 2) {
        return static_cast<ProjectTaskInnerType>(raw);
    }
    return std::nullopt;
}

std::optional<ZozProjectTaskType> zozProjectTaskTypeFromRaw(std::int64_t raw) {
    if (raw >= 0 && raw <= 4) {
        return static_cast<ZozProjectTaskType>(raw);
    }
    return std::nullopt;
}

void ZozProjectTask::Color::update(std::optional<std::int64_t> indexForOldColorSystem,
                                   std::optional<std::int64_t> indexForNewColorSystem) {
    indexForOldSystem = indexForOldColorSystem.value_or(0);
    index = indexForNewColorSystem
                ? *indexForNewColorSystem
                : DezuduzDocumentColorUtility::newColorIndex(indexForOldColorSystem, std::nullopt);
}

ZozProjectTask::Ptr ZozProjectTask::create(const std::shared_ptr<ZozProject>& project,
                                           ZozProjectTask* parent, std::int64_t taskid,
                                           core::Date start, core::Date finish) {
    return std::make_shared<ZozProjectTask>(Passkey{}, project, parent, taskid, start, finish);
}

ZozProjectTask::ZozProjectTask(Passkey, const std::shared_ptr<ZozProject>& project,
                               ZozProjectTask* parent, std::int64_t taskid, core::Date start,
                               core::Date finish)
    : m_project(project), m_id(taskid), m_start(start), m_finish(finish), m_parent(parent) {}

ZozProjectTask::~ZozProjectTask() {
    // A task that was given this parent while another task of its id stood in the list is not
    // reached below; it must not keep pointing at a parent that is gone.
    if (m_extras) {
        for (const auto& entry : m_extras->unlistedChildren) {
            if (const auto child = entry.lock(); child && child->m_parent == this) {
                child->m_parent = nullptr;
            }
        }
    }
    // Releasing a deep tree recursively would overflow the stack: detach each subtree whose last
    // owner we are and release its nodes one by one from a list.
    Children pending = std::move(m_childs);
    for (const auto& child : pending) {
        if (child && child->m_parent == this) {
            child->m_parent = nullptr;
        }
    }
    while (!pending.empty()) {
        Ptr node = std::move(pending.back());
        pending.pop_back();
        if (node && node.use_count() == 1) {
            for (auto& grandchild : node->m_childs) {
                if (grandchild && grandchild->m_parent == node.get()) {
                    grandchild->m_parent = nullptr;
                }
                pending.push_back(std::move(grandchild));
            }
            node->m_childs.clear();
        }
    }
}

// Kind.

ZozProjectTaskType ZozProjectTask::type() const {
    switch (m_innerType) {
    case ProjectTaskInnerType::milestone:
        return ZozProjectTaskType::milestone;
    case ProjectTaskInnerType::project:
        return m_parent ? ZozProjectTaskType::subProjectTask : ZozProjectTaskType::mainProjectTask;
    case ProjectTaskInnerType::common:
        break;
    }
    return m_childs.empty() ? ZozProjectTaskType::singleTask : ZozProjectTaskType::groupTask;
}

void ZozProjectTask::setTaskType(ZozProjectTaskType type) {
    switch (type) {
    case ZozProjectTaskType::milestone:
        m_innerType = ProjectTaskInnerType::milestone;
        break;
    case ZozProjectTaskType::singleTask:
    case ZozProjectTaskType::groupTask:
        m_innerType = ProjectTaskInnerType::common;
        break;
    case ZozProjectTaskType::subProjectTask:
    case ZozProjectTaskType::mainProjectTask:
        m_innerType = ProjectTaskInnerType::project;
        break;
    }
}

bool ZozProjectTask::isGroupTask() const noexcept {
    return m_innerType == ProjectTaskInnerType::common && !m_childs.empty();
}

bool ZozProjectTask::isSingleTask() const noexcept {
    return m_innerType == ProjectTaskInnerType::common && m_childs.empty();
}

bool ZozProjectTask::isSubProjectTask() const noexcept {
    return m_innerType == ProjectTaskInnerType::project && m_parent != nullptr;
}

bool ZozProjectTask::isMainOrSubProjectTask() const noexcept {
    return m_innerType == ProjectTaskInnerType::project || m_parent == nullptr;
}

bool ZozProjectTask::isInSubProject() const {
    for (const auto* ancestor = m_parent; ancestor; ancestor = ancestor->m_parent) {
        if (ancestor->isSubProjectTask()) {
            return true;
        }
    }
    return false;
}

ZozProjectTask::Ptr ZozProjectTask::getRootTaskOfDirectProject() const {
    for (auto* ancestor = m_parent; ancestor; ancestor = ancestor->m_parent) {
        if (ancestor->m_innerType == ProjectTaskInnerType::project || !ancestor->m_parent) {
            return ancestor->shared_from_this();
        }
    }
    return nullptr;
}

bool ZozProjectTask::includeSubProjectInChildsTree() const {
    if (m_childs.empty()) {
        return false;
    }
    const auto self = std::const_pointer_cast<ZozProjectTask>(shared_from_this());
    return algorithm::treeFindFirst(self, [](const Ptr& t) { return t->isSubProjectTask(); })
        .has_value();
}

bool ZozProjectTask::isVisibleInOneLine() const noexcept {
    return isMilestone() || isSingleTask() || isSubProjectTask();
}

// Plain properties and outline state.

void ZozProjectTask::collapse() noexcept {
    if (m_parent) {
        m_collapsed = true;
    }
}

namespace {
template <class T>
const std::optional<T>& absent() {
    static const std::optional<T> kAbsent;
    return kAbsent;
}
} // namespace

ZozProjectTask::Extras& ZozProjectTask::extras() {
    if (!m_extras) {
        m_extras = std::make_unique<Extras>();
    }
    return *m_extras;
}

const std::optional<std::string>& ZozProjectTask::notes() const noexcept {
    return m_extras ? m_extras->notes : absent<std::string>();
}

void ZozProjectTask::setNotes(std::optional<std::string> notes) {
    extras().notes = std::move(notes);
}

const std::optional<TaskUrl>& ZozProjectTask::url1() const noexcept {
    return m_extras ? m_extras->url1 : absent<TaskUrl>();
}

void ZozProjectTask::setUrl1(std::optional<TaskUrl> url) {
    extras().url1 = std::move(url);
}

const std::optional<TaskUrl>& ZozProjectTask::url2() const noexcept {
    return m_extras ? m_extras->url2 : absent<TaskUrl>();
}

void ZozProjectTask::setUrl2(std::optional<TaskUrl> url) {
    extras().url2 = std::move(url);
}

const std::optional<std::vector<std::int64_t>>&
ZozProjectTask::predecessorIdListBuf() const noexcept {
    return m_extras ? m_extras->predecessoridlistbuf : absent<std::vector<std::int64_t>>();
}

void ZozProjectTask::setPredecessorIdListBuf(std::vector<std::int64_t> ids) {
    extras().predecessoridlistbuf = std::move(ids);
}

void ZozProjectTask::clearPredecessorIdListBuf() {
    if (m_extras && m_extras->predecessoridlistbuf) {
        m_extras->predecessoridlistbuf->clear();
    }
}

const std::shared_ptr<DateBaseline>& ZozProjectTask::dateBaseline() {
    if (!m_dateBaseline) {
        m_dateBaseline = std::make_shared<DateBaseline>(weak_from_this());
    }
    return m_dateBaseline;
}

ZozTaskLinks& ZozProjectTask::links() {
    if (!m_links) {
        m_links = std::make_unique<ZozTaskLinks>(*this);
    }
    return *m_links;
}

ZozProjectTask::Ptr ZozProjectTask::treeParent() const {
    return m_parent ? m_parent->shared_from_this() : nullptr;
}

bool ZozProjectTask::isAllAncestorsExpanded() const {
    if (m_collapsed) {
        return false;
    }
    return !isHidden();
}

bool ZozProjectTask::isHidden() const {
    for (const auto* ancestor = m_parent; ancestor; ancestor = ancestor->m_parent) {
        if (ancestor->m_collapsed) {
            return true;
        }
    }
    return false;
}

ZozProjectTask::Ptr ZozProjectTask::lastChildIncludeMeInDeepTree() {
    Ptr current = shared_from_this();
    while (current->m_innerType == ProjectTaskInnerType::common && !current->m_childs.empty()) {
        current = current->m_childs.back();
    }
    return current;
}

ZozProjectTask::Ptr ZozProjectTask::lastExpandedChildIncludeMeInDeepTree() {
    Ptr current = shared_from_this();
    while (current->m_innerType == ProjectTaskInnerType::common && !current->m_childs.empty() &&
           !current->m_collapsed) {
        current = current->m_childs.back();
    }
    return current;
}

std::int64_t ZozProjectTask::deepsOfChildsExceptSubProjectTasks() const {
    if (m_childs.empty()) {
        return 0;
    }
    std::int64_t deepest = 1;
    std::vector<std::pair<const ZozProjectTask*, std::int64_t>> stack;
    for (const auto& child : m_childs) {
        stack.emplace_back(child.get(), 1);
    }
    while (!stack.empty()) {
        const auto [node, level] = stack.back();
        stack.pop_back();
        if (node->isGroupTask()) {
            deepest = std::max(deepest, level + 1);
            for (const auto& child : node->m_childs) {
                stack.emplace_back(child.get(), level + 1);
            }
        }
    }
    return deepest;
}

ZozTaskPredecessors* ZozProjectTask::getPredecessors() {
    return links().predecessors();
}

ZozTaskSuccessors* ZozProjectTask::getSuccessors() {
    return links().successors();
}

// Tree editing.

bool ZozProjectTask::isOwnAncestorOrSelf(const ZozProjectTask* candidate) const noexcept {
    for (const auto* node = this; node; node = node->m_parent) {
        if (node == candidate) {
            return true;
        }
    }
    return false;
}

bool ZozProjectTask::attachChild(const Ptr& child, std::string_view operation) {
    if (!child) {
        return false;
    }
    if (isOwnAncestorOrSelf(child.get())) {
        core::Log::warning(
            [&] {
                return "refused to place task " + std::to_string(child->m_id) + " under task " +
                       std::to_string(m_id) + ": it would become its own descendant";
            },
            core::LogLocation::named(operation));
        return false;
    }
    // A child listed by two parents would corrupt the tree (and could close a cycle of child
    // lists), so a re-parented child leaves its former parent's list.
    if (child->m_parent && child->m_parent != this) {
        auto& former = child->m_parent->m_childs;
        const auto found = std::find(former.begin(), former.end(), child);
        if (found != former.end()) {
            former.erase(found);
        }
    }
    child->m_parent = this;
    return true;
}

namespace {
bool containsId(const ZozProjectTask::Children& children, std::int64_t id) {
    return std::any_of(children.begin(), children.end(),
                       [&](const auto& c) { return c->id() == id; });
}

std::size_t clampIndex(std::int64_t index, std::size_t size) {
    if (index <= 0) {
        return 0;
    }
    return std::min(static_cast<std::size_t>(index), size);
}
} // namespace

ZozProjectTask::Ptr ZozProjectTask::createChild(std::int64_t newTaskId, core::Date start,
                                                core::Date finish) {
    auto child = create(m_project.lock(), this, newTaskId, start, finish);
    child->m_color = m_color;
    m_childs.push_back(child);
    return child;
}

ZozProjectTask::Ptr ZozProjectTask::createChildAfter(std::int64_t previousTaskId,
                                                     std::int64_t newTaskId, core::Date start,
                                                     core::Date finish) {
    auto child = create(m_project.lock(), this, newTaskId, start, finish);
    child->m_color = m_color;
    const auto previous = std::find_if(m_childs.begin(), m_childs.end(),
                                       [&](const auto& c) { return c->m_id == previousTaskId; });
    if (previous == m_childs.end()) {
        m_childs.push_back(child);
    } else {
        m_childs.insert(previous + 1, child);
    }
    return child;
}

void ZozProjectTask::rememberUnlistedChild(const Ptr& child) {
    const auto listed = std::find_if(m_childs.begin(), m_childs.end(),
                                     [&](const auto& c) { return c->m_id == child->m_id; });
    if (listed != m_childs.end() && *listed == child) {
        return;
    }
    auto& unlisted = extras().unlistedChildren;
    std::erase_if(unlisted, [](const auto& entry) { return entry.expired(); });
    unlisted.push_back(child);
}

bool ZozProjectTask::addChild(const Ptr& child) {
    if (!attachChild(child, "addChild(_:)")) {
        return false;
    }
    if (containsId(m_childs, child->m_id)) {
        rememberUnlistedChild(child);
    } else {
        m_childs.push_back(child);
    }
    return true;
}

bool ZozProjectTask::insertChild(const Ptr& child, std::int64_t index) {
    if (!attachChild(child, "insertChild(_:index:)")) {
        return false;
    }
    if (containsId(m_childs, child->m_id)) {
        rememberUnlistedChild(child);
    } else {
        const auto at = clampIndex(index, m_childs.size());
        m_childs.insert(m_childs.begin() + static_cast<std::ptrdiff_t>(at), child);
    }
    return true;
}

bool ZozProjectTask::insertChild(const Ptr& child, const Ptr& baseTask, bool belowBase) {
    if (!attachChild(child, "insertChild(_:baseTask:belowBase:)")) {
        return false;
    }
    if (m_childs.empty()) {
        m_childs.push_back(child);
        return true;
    }
    if (containsId(m_childs, child->m_id)) {
        rememberUnlistedChild(child);
        return true;
    }
    std::size_t at = 0;
    if (baseTask && baseTask->m_parent && baseTask->m_parent->m_id == m_id) {
        if (const auto index = algorithm::treeGetIndexInParent(baseTask)) {
            at = clampIndex(*index + (belowBase ? 1 : 0), m_childs.size());
        }
    }
    m_childs.insert(m_childs.begin() + static_cast<std::ptrdiff_t>(at), child);
    return true;
}

void ZozProjectTask::removeChild(const Ptr& child) {
    if (!child) {
        return;
    }
    const auto found = std::find_if(m_childs.begin(), m_childs.end(),
                                    [&](const auto& c) { return c->m_id == child->m_id; });
    if (found != m_childs.end()) {
        // The listed task may be another object of the same id; out of the list, it must not
        // keep pointing here.
        if ((*found)->m_parent == this) {
            (*found)->m_parent = nullptr;
        }
        m_childs.erase(found);
    }
    child->m_parent = nullptr;
}

ZozProjectTask::Ptr ZozProjectTask::removeChildAt(std::int64_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_childs.size()) {
        return nullptr;
    }
    const auto position = m_childs.begin() + static_cast<std::ptrdiff_t>(index);
    Ptr child = *position;
    m_childs.erase(position);
    if (child->m_parent == this) {
        child->m_parent = nullptr;
    }
    return child;
}

void ZozProjectTask::changeChildIndex(const Ptr& task, std::int64_t newIndex,
                                      const std::function<void(const Ptr&)>& sequenceChanged) {
    if (!task) {
        return;
    }
    const auto found = std::find_if(m_childs.begin(), m_childs.end(),
                                    [&](const auto& c) { return c->m_id == task->m_id; });
    if (found == m_childs.end()) {
        return;
    }
    const auto from = static_cast<std::size_t>(found - m_childs.begin());
    const auto to = clampIndex(newIndex, m_childs.size() - 1);
    if (from == to) {
        return;
    }
    Ptr moved = *found;
    m_childs.erase(found);
    m_childs.insert(m_childs.begin() + static_cast<std::ptrdiff_t>(to), moved);
    if (sequenceChanged) {
        for (auto i = std::min(from, to); i <= std::max(from, to); ++i) {
            sequenceChanged(m_childs[i]);
        }
    }
}

// Numbering.

void ZozProjectTask::computeWbsNumbers() {
    // Walk up to the nearest numbered ancestor (or the root), then number downwards: a deep tree
    // must not recurse.
    const auto numbered = [](const ZozProjectTask* t) { return t->m_extras && t->m_extras->wbsNo; };
    std::vector<ZozProjectTask*> chain;
    for (auto* node = this; node->m_parent && !numbered(node); node = node->m_parent) {
        chain.push_back(node);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        auto* task = *it;
        auto& own = task->extras();
        const auto* parent = task->m_parent;
        const auto& siblings = parent->m_childs;
        const auto found = std::find_if(siblings.begin(), siblings.end(),
                                        [&](const auto& c) { return c.get() == task; });
        if (found == siblings.end()) {
            // A task its parent does not list has no position to number.
            own.wbsNo = std::string();
            own.directWbsNo = std::string();
            continue;
        }
        const auto n = std::to_string(found - siblings.begin() + 1);
        const bool parentIsRoot = parent->m_parent == nullptr;
        own.wbsNo = parentIsRoot ? n : *parent->m_extras->wbsNo + "." + n;
        own.directWbsNo = parentIsRoot || parent->m_innerType == ProjectTaskInnerType::project
                              ? n
                              : *parent->m_extras->directWbsNo + "." + n;
    }
}

const std::string& ZozProjectTask::wbsNo() {
    if (!m_parent) {
        extras().wbsNo = std::string();
        extras().directWbsNo = std::string();
    } else if (!m_extras || !m_extras->wbsNo) {
        computeWbsNumbers();
    }
    return *m_extras->wbsNo;
}

const std::string& ZozProjectTask::directWbsNo() {
    (void)wbsNo();
    return *m_extras->directWbsNo;
}

void ZozProjectTask::refreshWbsNo() {
    if (m_extras) {
        m_extras->wbsNo.reset();
        m_extras->directWbsNo.reset();
    }
}

void ZozProjectTask::setGlobalSequenceNoInTaskTree(std::int64_t n) {
    algorithm::treeTravel(shared_from_this(), true,
                          [&](const Ptr& task) { task->m_sequenceno = n++; });
}

void ZozProjectTask::setDirectSequenceNoInTaskTree(std::int64_t n, bool includeMe) {
    if (includeMe) {
        m_directSequenceNo = n;
    }
    algorithm::treeConditionalTravel(shared_from_this(), false, [&](const Ptr& task) {
        task->m_directSequenceNo = ++n;
        return task->isGroupTask();
    });
}

// Values.

namespace {

// Truncates toward zero into the integer range; a NaN gives 0.
std::int64_t truncatedPercent(double q) {
    if (!(q == q)) {
        return 0;
    }
    constexpr double kLimit = 9.0e18;
    return static_cast<std::int64_t>(std::clamp(std::trunc(q), -kLimit, kLimit));
}

// The completion rounding rule: truncate, and round up from a fraction of 0.9.
std::int64_t roundedPercent(double q) {
    const auto r = truncatedPercent(q);
    if (std::isfinite(q) && q - static_cast<double>(r) >= 0.9) {
        return r + 1;
    }
    return r;
}

// What a group's completion is made of: its leaves' summed weights, their weighted
// percentages, and how many leaves without a working day are unfinished. Sums are in double: a
// hostile percentage times a day count would overflow an integer.
struct LeafTally {
    double total = 0.0;
    double weighted = 0.0;
    std::int64_t unfinishedZeroDay = 0;
};

// `weight(task, days)` and `percent(task)` read one leaf.
template <class Weight, class Percent>
LeafTally tallyLeaves(const ZozProjectTask::Ptr& group, Weight weight, Percent percent) {
    LeafTally tally;
    algorithm::treeTravel(group, true, [&](const ZozProjectTask::Ptr& task) {
        if (task->hasChilds()) {
            return;
        }
        const auto days = task->days();
        const double w = weight(*task, days);
        const auto p = percent(*task);
        tally.total += w;
        tally.weighted += w * static_cast<double>(p);
        if (days < 1 && p < 100) {
            ++tally.unfinishedZeroDay;
        }
    });
    return tally;
}

} // namespace

void ZozProjectTask::ensureGroupValues(Group which) {
    const auto needs = [which](const ZozProjectTask& task) {
        if (task.m_childs.empty()) {
            return false;
        }
        switch (which) {
        case Group::start:
            return task.m_start.needsCalculating();
        case Group::finish:
            return task.m_finish.needsCalculating();
        case Group::work:
            return task.m_work.needsCalculating();
        case Group::cost:
            return task.m_cost.needsCalculating();
        }
        return false;
    };
    if (!needs(*this)) {
        return;
    }
    // A group's value reads its children's values: compute the stale groups of the subtree from
    // the bottom up with an explicit list instead of recursing through the getters.
    std::vector<ZozProjectTask*> order;
    std::vector<ZozProjectTask*> stack{this};
    while (!stack.empty()) {
        auto* task = stack.back();
        stack.pop_back();
        order.push_back(task);
        for (const auto& child : task->m_childs) {
            if (needs(*child)) {
                stack.push_back(child.get());
            }
        }
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        auto* task = *it;
        switch (which) {
        case Group::start:
            task->m_start.recalculate([task] { return task->calculateStart(); });
            break;
        case Group::finish:
            task->m_finish.recalculate([task] { return task->calculateFinish(); });
            break;
        case Group::work:
            task->m_work.recalculate([task] { return task->calculateWork(); });
            break;
        case Group::cost:
            task->m_cost.recalculate([task] { return task->calculateCost(); });
            break;
        }
    }
}

std::optional<core::Date> ZozProjectTask::calculateStart() {
    if (m_childs.empty()) {
        return std::nullopt;
    }
    core::Date earliest = m_childs.front()->start();
    for (std::size_t i = 1; i < m_childs.size(); ++i) {
        const auto candidate = m_childs[i]->start();
        if (candidate < earliest) {
            earliest = candidate;
        }
    }
    return earliest;
}

std::optional<core::Date> ZozProjectTask::calculateFinish() {
    if (m_childs.empty()) {
        return std::nullopt;
    }
    core::Date latest = m_childs.front()->finish();
    for (std::size_t i = 1; i < m_childs.size(); ++i) {
        const auto candidate = m_childs[i]->finish();
        if (candidate > latest) {
            latest = candidate;
        }
    }
    return latest;
}

std::optional<ZozTaskWork> ZozProjectTask::calculateWork() {
    if (m_childs.empty()) {
        return std::nullopt;
    }
    double sum = 0.0;
    for (const auto& child : m_childs) {
        sum += child->work();
    }
    return ZozTaskWork::fixAmount(sum);
}

std::optional<ZozTaskCost> ZozProjectTask::calculateCost() {
    if (m_childs.empty()) {
        return std::nullopt;
    }
    double labor = 0.0;
    double materials = 0.0;
    for (const auto& child : m_childs) {
        labor += child->laborCost();
        materials += child->materialsCost();
    }
    return ZozTaskCost{ZozTaskLaborCost::fix(labor), materials};
}

std::optional<std::int64_t> ZozProjectTask::calculateCompletedPercentage() {
    if (m_childs.empty()) {
        return std::nullopt;
    }
    const LeafTally tally = tallyLeaves(
        shared_from_this(),
        [](ZozProjectTask&, std::int64_t days) { return static_cast<double>(days); },
        [](ZozProjectTask& task) { return task.m_completedPercentage.storedValue(); });
    if (tally.total < 1) {
        return tally.unfinishedZeroDay == 0 ? 100 : 0;
    }
    const auto r = roundedPercent(tally.weighted / tally.total);
    return r == 100 && tally.unfinishedZeroDay > 0 ? 99 : r;
}

std::optional<std::int64_t> ZozProjectTask::calculateWorkCompletedPercentage() {
    if (m_childs.empty()) {
        return std::nullopt;
    }
    const LeafTally tally = tallyLeaves(
        shared_from_this(), [](ZozProjectTask& task, std::int64_t) { return task.work(); },
        [](ZozProjectTask& task) { return task.m_workCompletedPercentage.storedValue(); });
    const double totalWork = tally.total;
    const double weighted = tally.weighted;
    const std::int64_t unfinishedZeroDay = tally.unfinishedZeroDay;
    if (!(totalWork >= 0.01)) {
        return 0;
    }
    const auto r = roundedPercent(weighted / totalWork);
    if (r > 100) {
        return unfinishedZeroDay < 1 ? 100 : 99;
    }
    return r == 100 && unfinishedZeroDay > 0 ? 99 : r;
}

core::Date ZozProjectTask::start() {
    if (!m_childs.empty()) {
        ensureGroupValues(Group::start);
        return m_start.value([this] { return calculateStart(); });
    }
    if (isMilestone()) {
        return detail::addDays(m_finish.storedValue(), -1);
    }
    return m_start.storedValue();
}

core::Date ZozProjectTask::finish() {
    if (!m_childs.empty()) {
        ensureGroupValues(Group::finish);
        return m_finish.value([this] { return calculateFinish(); });
    }
    return m_finish.storedValue();
}

core::Date ZozProjectTask::finishForDisplay() {
    return core::Date(finish().timeIntervalSince1970() - 1.0);
}

std::int64_t ZozProjectTask::days() {
    if (isMilestone()) {
        return 0;
    }
    const auto owner = m_project.lock();
    if (!owner) {
        return 0;
    }
    const auto s = start();
    const auto f = finish();
    return owner->calendar().countOfWorkingDays(s, f);
}

std::int64_t ZozProjectTask::duration() {
    if (isMilestone()) {
        return 0;
    }
    const auto s = start();
    return detail::daysAfter(finish(), s);
}

std::int64_t ZozProjectTask::completePercentage() {
    if (!m_childs.empty()) {
        return m_completedPercentage.value([this] { return calculateCompletedPercentage(); });
    }
    return m_completedPercentage.storedValue();
}

std::int64_t ZozProjectTask::workCompletePercentage() {
    if (!m_childs.empty()) {
        return m_workCompletedPercentage.value(
            [this] { return calculateWorkCompletedPercentage(); });
    }
    return m_workCompletedPercentage.storedValue();
}

double ZozProjectTask::work() {
    if (isMilestone()) {
        return 0.0;
    }
    if (!m_childs.empty()) {
        ensureGroupValues(Group::work);
        const auto& value = m_work.value([this] { return calculateWork(); });
        return value.isFixAmount() ? value.amount() : 0.0;
    }
    const auto& stored = m_work.storedValue();
    switch (stored.kind()) {
    case ZozTaskWork::Kind::fixDailyWork:
        return static_cast<double>(days()) * stored.amount();
    case ZozTaskWork::Kind::fixAmount:
        return stored.amount();
    case ZozTaskWork::Kind::byResource:
        break;
    }
    const auto owner = m_project.lock();
    const double dailyHours = owner ? owner->dailyWorkingHours() : ZozProject::kDefaultDailyHours;
    return resources().unitsOfWorkload() * static_cast<double>(days()) * dailyHours;
}

double ZozProjectTask::laborCost() {
    if (!m_childs.empty()) {
        ensureGroupValues(Group::cost);
        const auto& value = m_cost.value([this] { return calculateCost(); });
        return value.laborCost.isFix() ? value.laborCost.amount() : 0.0;
    }
    const auto& stored = m_cost.storedValue().laborCost;
    return stored.isFix() ? stored.amount() : estimatedAutoLaborCost();
}

double ZozProjectTask::estimatedAutoLaborCost() {
    auto& assigned = resources();
    double rate = 0.0;
    if (assigned.isEmpty()) {
        const auto owner = m_project.lock();
        rate = owner ? owner->defaultCostRate() : ZozProject::kDefaultCostRate;
    } else {
        rate = assigned.averageCostRate();
    }
    return work() * rate;
}

double ZozProjectTask::materialsCost() {
    if (!m_childs.empty()) {
        ensureGroupValues(Group::cost);
        return m_cost.value([this] { return calculateCost(); }).materialsCost.value_or(0.0);
    }
    return m_cost.storedValue().materialsCost.value_or(0.0);
}

std::int64_t ZozProjectTask::tobeCompletePercentage() {
    const auto today = detail::startOfToday();
    const auto owner = m_project.lock();
    if (!m_childs.empty()) {
        const LeafTally tally = tallyLeaves(
            shared_from_this(),
            [](ZozProjectTask&, std::int64_t days) { return static_cast<double>(days); },
            [](ZozProjectTask& task) { return task.tobeCompletePercentage(); });
        const double totalDays = tally.total;
        const double weighted = tally.weighted;
        const std::int64_t unfinishedZeroDay = tally.unfinishedZeroDay;
        if (totalDays < 1) {
            return unfinishedZeroDay == 0 ? 100 : 0;
        }
        const auto r = roundedPercent(weighted / totalDays);
        if (r == 100) {
            return unfinishedZeroDay > 0 ? 99 : 100;
        }
        return r;
    }
    const auto s = m_start.storedValue();
    const auto f = m_finish.storedValue();
    if (!(s < today)) {
        return 0;
    }
    if (today > f) {
        return 100;
    }
    if (isMilestone() || !owner) {
        return 0;
    }
    const auto n = owner->calendar().countOfWorkingDays(s, today);
    const auto d = days();
    return d > 0 ? (n * 100) / d : 0;
}

void ZozProjectTask::setStart(core::Date date) {
    if (!m_childs.empty()) {
        return;
    }
    m_start.storedValue() =
        DezuduzDocumentConfig::shared().isValid(date) ? date : detail::startOfToday();
}

void ZozProjectTask::setFinish(core::Date date) {
    if (!m_childs.empty()) {
        return;
    }
    m_finish.storedValue() = DezuduzDocumentConfig::shared().isValid(date)
                                 ? date
                                 : detail::addDays(detail::startOfToday(), 1);
}

void ZozProjectTask::setWork(ZozTaskWork work) {
    if (m_childs.empty()) {
        m_work.storedValue() = work;
    }
}

void ZozProjectTask::refreshCalculatablePropertiesOfTaskGroup(bool start, bool finish,
                                                              bool completed, bool work,
                                                              bool workcompleted, bool cost) {
    if (m_childs.empty()) {
        return;
    }
    if (start) {
        m_start.recalculate([this] { return calculateStart(); });
    }
    if (finish) {
        m_finish.recalculate([this] { return calculateFinish(); });
    }
    if (completed) {
        m_completedPercentage.recalculate([this] { return calculateCompletedPercentage(); });
    }
    if (work) {
        m_work.recalculate([this] { return calculateWork(); });
    }
    if (workcompleted) {
        m_workCompletedPercentage.recalculate(
            [this] { return calculateWorkCompletedPercentage(); });
    }
    if (cost) {
        m_cost.recalculate([this] { return calculateCost(); });
    }
}

void ZozProjectTask::requestToRefreshCalculatablePropertiesOfTaskGroup(bool start, bool finish,
                                                                       bool completed, bool work,
                                                                       bool workcompleted,
                                                                       bool cost) {
    if (m_childs.empty()) {
        return;
    }
    if (start) {
        m_start.requestCalculating();
    }
    if (finish) {
        m_finish.requestCalculating();
    }
    if (completed) {
        m_completedPercentage.requestCalculating();
    }
    if (work) {
        m_work.requestCalculating();
    }
    if (workcompleted) {
        m_workCompletedPercentage.requestCalculating();
    }
    if (cost) {
        m_cost.requestCalculating();
    }
}

void ZozProjectTask::requestToRefreshAllCalculatablePropertiesOfTaskGroup() {
    requestToRefreshCalculatablePropertiesOfTaskGroup(true, true, true, true, true, true);
}

void ZozProjectTask::executeRequestToRefreshCalculatablePropertiesOfTaskGroup() {
    refreshCalculatablePropertiesOfTaskGroup(
        m_start.isRequestCalculating(), m_finish.isRequestCalculating(),
        m_completedPercentage.isRequestCalculating(), m_work.isRequestCalculating(),
        m_workCompletedPercentage.isRequestCalculating(), m_cost.isRequestCalculating());
}

// Resources.

ZozTaskResources& ZozProjectTask::resources() {
    if (!m_childs.empty() || isMilestone()) {
        return ZozTaskResources::empty();
    }
    return m_resources;
}

bool ZozProjectTask::hasAssignment() const noexcept {
    return m_childs.empty() && !isMilestone() && !m_resources.isEmpty();
}

bool ZozProjectTask::isZozProjectMemberAssignedAsOwnerOrInResources(std::int64_t memberId) const {
    if (m_contactor && m_contactor->id() == memberId) {
        return true;
    }
    return m_resources.isMemberIncluded(memberId);
}

} // namespace document
