#pragma once

#include "document/calculable_property.hpp"
#include "document/task_url.hpp"
#include "document/zoz_project_member.hpp"
#include "document/zoz_task_cost.hpp"
#include "document/zoz_task_resources.hpp"
#include "document/zoz_task_work.hpp"

#include "core/date.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace document {

class ZozProject;
class ZozTaskLinks;
class ZozTaskPredecessors;
class ZozTaskSuccessors;
class DateBaseline;

/// The stored kind of a task (raw values as the document stores them).
enum class ProjectTaskInnerType : std::int64_t { common = 0, milestone = 1, project = 2 };

/// The public kind of a task, derived from the stored kind and from whether it has children.
enum class ZozProjectTaskType : std::int64_t {
    milestone = 0,
    singleTask = 1,
    groupTask = 2,
    subProjectTask = 3,
    mainProjectTask = 4,
};

/// The stored kind of raw value `raw`, or absent for any other number.
std::optional<ProjectTaskInnerType> projectTaskInnerTypeFromRaw(std::int64_t raw);
/// The public kind of raw value `raw`, or absent for any other number.
std::optional<ZozProjectTaskType> zozProjectTaskTypeFromRaw(std::int64_t raw);

/// One node of a project's task tree. Always owned by `std::shared_ptr` (see `create`): a parent
/// owns its children, the project owns the root; the parent link and the project link are
/// non-owning. Tasks are equal when their ids are. Destroying any tree, however deep, uses
/// constant stack. A tree is built on one thread and afterwards only read.
class ZozProjectTask : public std::enable_shared_from_this<ZozProjectTask> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    /// The owning handle of a task.
    using Ptr = std::shared_ptr<ZozProjectTask>;
    /// A child list.
    using Children = std::vector<Ptr>;

    /// A task's colour: its index in the old colour system and in the current palette.
    struct Color {
        std::int64_t indexForOldSystem = 0;
        std::int64_t index = 0;

        /// Sets the old index (0 when absent) and the new index: the given one, else the old
        /// index's table entry, else the table's first entry.
        void update(std::optional<std::int64_t> indexForOldColorSystem,
                    std::optional<std::int64_t> indexForNewColorSystem);
        /// Sets the palette index alone.
        void update(std::int64_t indexForNewColorSystemTo) { index = indexForNewColorSystemTo; }
        /// Copies both indexes of `other`.
        void copy(const Color& other) { *this = other; }
        /// Both indexes equal.
        friend bool operator==(const Color&, const Color&) = default;
    };

    /// Creates a task of `project` under `parent` (recorded, not added to its children), with
    /// dates stored unchanged.
    static Ptr create(const std::shared_ptr<ZozProject>& project, ZozProjectTask* parent,
                      std::int64_t taskid, core::Date start, core::Date finish);
    /// Use `create`.
    ZozProjectTask(Passkey, const std::shared_ptr<ZozProject>& project, ZozProjectTask* parent,
                   std::int64_t taskid, core::Date start, core::Date finish);
    ~ZozProjectTask();
    ZozProjectTask(const ZozProjectTask&) = delete;
    ZozProjectTask& operator=(const ZozProjectTask&) = delete;

    // Kind.

    /// The public kind.
    ZozProjectTaskType type() const;
    /// Stores the inner kind matching `type` (group and single both store `common`).
    void setTaskType(ZozProjectTaskType type);
    /// The stored kind.
    ProjectTaskInnerType innerType() const noexcept { return m_innerType; }
    /// Stores the kind as given.
    void setInnerType(ProjectTaskInnerType type) noexcept { m_innerType = type; }
    /// The stored kind is milestone.
    bool isMilestone() const noexcept { return m_innerType == ProjectTaskInnerType::milestone; }
    /// A common task with children.
    bool isGroupTask() const noexcept;
    /// A common task without children.
    bool isSingleTask() const noexcept;
    /// The task has no parent, whatever its kind.
    bool isMainProjectTask() const noexcept { return m_parent == nullptr; }
    /// A project task with a parent.
    bool isSubProjectTask() const noexcept;
    /// A project task, or the root.
    bool isMainOrSubProjectTask() const noexcept;
    /// Some ancestor is a sub-project task.
    bool isInSubProject() const;
    /// The nearest ancestor that is a project task or the root; null for the root.
    Ptr getRootTaskOfDirectProject() const;
    /// The task's tree (the task included) holds a sub-project task.
    bool includeSubProjectInChildsTree() const;
    /// A milestone, a single task or a sub-project task.
    bool isVisibleInOneLine() const noexcept;

    // Plain properties.

    /// The task id.
    std::int64_t id() const noexcept { return m_id; }
    /// The display name.
    const std::string& name() const noexcept { return m_name; }
    /// Replaces the name.
    void setName(std::string name) { m_name = std::move(name); }
    /// The notes, if any.
    const std::optional<std::string>& notes() const noexcept;
    /// Replaces the notes.
    void setNotes(std::optional<std::string> notes);
    /// The icon index.
    std::int64_t iconIndex() const noexcept { return m_iconindex; }
    /// Replaces the icon index.
    void setIcon(std::int64_t toIndex) noexcept { m_iconindex = toIndex; }
    /// The contact member, or null.
    const std::shared_ptr<ZozProjectMember>& contactor() const noexcept { return m_contactor; }
    /// Replaces the contact member.
    void setContactor(std::shared_ptr<ZozProjectMember> member) { m_contactor = std::move(member); }
    /// Removes the contact member.
    void clearContactor() noexcept { m_contactor.reset(); }
    /// The first web link.
    const std::optional<TaskUrl>& url1() const noexcept;
    /// Replaces the first web link.
    void setUrl1(std::optional<TaskUrl> url);
    /// The second web link.
    const std::optional<TaskUrl>& url2() const noexcept;
    /// Replaces the second web link.
    void setUrl2(std::optional<TaskUrl> url);
    /// The colour, read-write.
    Color& color() noexcept { return m_color; }
    /// The colour.
    const Color& color() const noexcept { return m_color; }
    /// Whether the task has the focus in an outline.
    bool focused() const noexcept { return m_focused; }
    /// Sets the focus flag.
    void setFocused(bool focused) noexcept { m_focused = focused; }
    /// Whether the children are hidden in an outline.
    bool collapsed() const noexcept { return m_collapsed; }
    /// Not collapsed.
    bool expanded() const noexcept { return !m_collapsed; }
    /// Collapses the task, unless it is the root.
    void collapse() noexcept;
    /// Expands the task.
    void expand() noexcept { m_collapsed = false; }
    /// The project, or null when it is gone.
    std::shared_ptr<ZozProject> project() const { return m_project.lock(); }
    /// The predecessor ids read from a document, held until the links are resolved.
    const std::optional<std::vector<std::int64_t>>& predecessorIdListBuf() const noexcept;
    /// Stores the predecessor ids.
    void setPredecessorIdListBuf(std::vector<std::int64_t> ids);
    /// Empties a present predecessor id list; an absent one stays absent.
    void clearPredecessorIdListBuf();
    /// The global sequence number.
    std::int64_t globalSequenceNo() const noexcept { return m_sequenceno; }
    /// The sequence number within the nearest sub-project.
    std::int64_t directSequenceNo() const noexcept { return m_directSequenceNo; }
    /// The baseline, created empty on first access.
    const std::shared_ptr<DateBaseline>& dateBaseline();
    /// The baseline if it exists, else null; reading it creates nothing.
    const std::shared_ptr<DateBaseline>& storedDateBaseline() const noexcept {
        return m_dateBaseline;
    }
    /// The links, created on first access with empty collections.
    ZozTaskLinks& links();
    /// Whether the links exist yet (reading them does not create them).
    bool hasLinksObject() const noexcept { return m_links != nullptr; }

    // Outline state and tree.

    /// The children, first to last; empty for a leaf.
    const Children& childs() const noexcept { return m_childs; }
    /// The children (tree contract).
    const Children& treeChildren() const noexcept { return m_childs; }
    /// The parent, or null for the root (tree contract).
    Ptr treeParent() const;
    /// The parent, or null for the root.
    Ptr parent() const { return treeParent(); }
    /// The parent without taking ownership, or null.
    ZozProjectTask* parentPointer() const noexcept { return m_parent; }
    /// False when collapsed, else true when no ancestor is collapsed.
    bool isAllAncestorsExpanded() const;
    /// False for the root, else true when some ancestor is collapsed.
    bool isHidden() const;
    /// The first child, or null.
    Ptr firstChild() const { return m_childs.empty() ? nullptr : m_childs.front(); }
    /// The last child, or null.
    Ptr lastChild() const { return m_childs.empty() ? nullptr : m_childs.back(); }
    /// The number of children.
    std::int64_t childCount() const noexcept { return static_cast<std::int64_t>(m_childs.size()); }
    /// Whether the task has children.
    bool hasChilds() const noexcept { return !m_childs.empty(); }
    /// Steps to the last child while the current task is a common task with children.
    Ptr lastChildIncludeMeInDeepTree();
    /// The same, stepping only through expanded tasks.
    Ptr lastExpandedChildIncludeMeInDeepTree();
    /// 0 without children, else 1 + the deepest nesting of common groups below.
    std::int64_t deepsOfChildsExceptSubProjectTasks() const;

    /// Whether the task may carry links: false exactly for a group task.
    bool allowLink() const noexcept { return !isGroupTask(); }
    /// The predecessor collection, or null when it reports empty.
    ZozTaskPredecessors* getPredecessors();
    /// The successor collection, or null when it reports empty.
    ZozTaskSuccessors* getSuccessors();
    /// Same id.
    bool isSameNode(const ZozProjectTask& node) const noexcept { return m_id == node.m_id; }
    /// Same id.
    bool isEquel(const ZozProjectTask& node) const noexcept { return m_id == node.m_id; }
    /// Tasks are equal when their ids are.
    friend bool operator==(const ZozProjectTask& a, const ZozProjectTask& b) noexcept {
        return a.m_id == b.m_id;
    }

    // Tree editing (the project's operations also register tasks).

    /// A new child of the same project with this colour, appended; returns it.
    Ptr createChild(std::int64_t newTaskId, core::Date start, core::Date finish);
    /// A new child inserted after the child with `previousTaskId` (appended when none); returns
    /// it.
    Ptr createChildAfter(std::int64_t previousTaskId, std::int64_t newTaskId, core::Date start,
                         core::Date finish);
    /// Re-parents `child` here and appends it unless a child with its id is present; refuses
    /// (logs, returns false) when `child` is this task or one of its ancestors.
    bool addChild(const Ptr& child);
    /// The same, inserting at `index` (clamped to 0...childCount()).
    bool insertChild(const Ptr& child, std::int64_t index);
    /// The same, inserting at (or just below) `baseTask` when it is a child here, else at the
    /// front.
    bool insertChild(const Ptr& child, const Ptr& baseTask, bool belowBase);
    /// Removes the first child with `child`'s id and clears `child`'s parent.
    void removeChild(const Ptr& child);
    /// Moves `task` to `newIndex` (clamped) and calls `sequenceChanged` for every child between
    /// the old and the new position, in ascending order.
    void changeChildIndex(const Ptr& task, std::int64_t newIndex,
                          const std::function<void(const Ptr&)>& sequenceChanged);
    /// Removes and returns the child at `index` (null outside the list), clearing its parent.
    Ptr removeChildAt(std::int64_t index);

    // Numbering.

    /// The work-breakdown number ("2.1.3"); "" for the root and for a task its parent does not
    /// list; cached until `refreshWbsNo`.
    const std::string& wbsNo();
    /// The work-breakdown number within the nearest project task.
    const std::string& directWbsNo();
    /// Forgets this task's two cached numbers.
    void refreshWbsNo();
    /// Numbers the task's tree from `n` in pre-order.
    void setGlobalSequenceNoInTaskTree(std::int64_t n);
    /// Numbers the task (when `includeMe`) and the tasks below it from `n`, not descending into
    /// sub-projects or below milestones.
    void setDirectSequenceNoInTaskTree(std::int64_t n, bool includeMe);

    // Values (calculated for groups).

    /// The start: a group's calculated start, a milestone's finish minus one day, else stored.
    core::Date start();
    /// The exclusive finish: a group's calculated finish, else stored.
    core::Date finish();
    /// `finish()` minus one second.
    core::Date finishForDisplay();
    /// The stored start.
    core::Date storedStart() const noexcept { return m_start.storedValue(); }
    /// The stored finish.
    core::Date storedFinish() const noexcept { return m_finish.storedValue(); }
    /// Working days in [start, finish) of the project calendar; 0 for a milestone.
    std::int64_t days();
    /// Calendar days from start to finish; 0 for a milestone.
    std::int64_t duration();
    /// Completion percent: a group's calculated value, else stored.
    std::int64_t completePercentage();
    /// Work completion percent: a group's calculated value, else stored.
    std::int64_t workCompletePercentage();
    /// The stored completion percent.
    std::int64_t storedCompletedPercentage() const noexcept {
        return m_completedPercentage.storedValue();
    }
    /// The stored work completion percent.
    std::int64_t storedWorkCompletedPercentage() const noexcept {
        return m_workCompletedPercentage.storedValue();
    }
    /// The stored work (never the calculated one).
    const ZozTaskWork& workData() const noexcept { return m_work.storedValue(); }
    /// Hours of work: 0 for a milestone, the children's sum for a group, else by the stored work.
    double work();
    /// The labour cost: the children's sum for a group, else fixed or automatic.
    double laborCost();
    /// `work()` times the assignments' average rate, or the project's default rate when nobody
    /// is assigned; never NaN from an empty workload sum.
    double estimatedAutoLaborCost();
    /// The materials cost (0 when none): the children's sum for a group.
    double materialsCost();
    /// `laborCost() + materialsCost()`.
    double totalCost() { return laborCost() + materialsCost(); }
    /// The stored cost (never the calculated one).
    const ZozTaskCost& costData() const noexcept { return m_cost.storedValue(); }
    /// The expected completion percent today.
    std::int64_t tobeCompletePercentage();

    /// Stores the start (ignored for a group); an invalid date becomes the start of today.
    void setStart(core::Date date);
    /// Stores the finish (ignored for a group); an invalid date becomes the start of tomorrow.
    void setFinish(core::Date date);
    /// Stores the completion percent unchanged.
    void setCompletedPercentage(std::int64_t percent) noexcept {
        m_completedPercentage.storedValue() = percent;
    }
    /// Stores the work completion percent unchanged.
    void setWorkCompletedPercentage(std::int64_t percent) noexcept {
        m_workCompletedPercentage.storedValue() = percent;
    }
    /// Stores the work (ignored for a group).
    void setWork(ZozTaskWork work);
    /// Replaces the stored labour cost.
    void setLaborCost(ZozTaskLaborCost cost) noexcept { m_cost.storedValue().laborCost = cost; }
    /// Replaces the stored materials cost.
    void setMaterialsCost(std::optional<double> cost) noexcept {
        m_cost.storedValue().materialsCost = cost;
    }

    /// Recalculates now the selected group values (only for a task with children).
    void refreshCalculatablePropertiesOfTaskGroup(bool start, bool finish, bool completed,
                                                  bool work, bool workcompleted, bool cost);
    /// Marks the selected group values for recalculation at their next read.
    void requestToRefreshCalculatablePropertiesOfTaskGroup(bool start, bool finish, bool completed,
                                                           bool work, bool workcompleted,
                                                           bool cost);
    /// Marks all six group values.
    void requestToRefreshAllCalculatablePropertiesOfTaskGroup();
    /// Recalculates now every marked group value.
    void executeRequestToRefreshCalculatablePropertiesOfTaskGroup();

    // Resources.

    /// The assignments: the shared empty instance for a group or a milestone.
    ZozTaskResources& resources();
    /// The task's own assignment list, whatever its kind (for the mapper and the writer).
    ZozTaskResources& ownResources() noexcept { return m_resources; }
    /// False for a group or a milestone, else whether its own list is not empty.
    bool hasAssignment() const noexcept;
    /// The contact member has `memberId`, or the own list includes it.
    bool isZozProjectMemberAssignedAsOwnerOrInResources(std::int64_t memberId) const;

private:
    friend class ZozProject;

    enum class Group { start, finish, work, cost };

    bool linksEmptyBecauseGroup() const noexcept { return isGroupTask(); }
    bool isOwnAncestorOrSelf(const ZozProjectTask* candidate) const noexcept;
    bool attachChild(const Ptr& child, std::string_view operation);
    void rememberUnlistedChild(const Ptr& child);
    void ensureGroupValues(Group which);
    std::optional<core::Date> calculateStart();
    std::optional<core::Date> calculateFinish();
    std::optional<ZozTaskWork> calculateWork();
    std::optional<ZozTaskCost> calculateCost();
    std::optional<std::int64_t> calculateCompletedPercentage();
    std::optional<std::int64_t> calculateWorkCompletedPercentage();
    void computeWbsNumbers();

    std::weak_ptr<ZozProject> m_project;
    std::int64_t m_id;
    std::string m_name;
    CalculableProperty<core::Date> m_start;
    CalculableProperty<core::Date> m_finish;
    CalculableProperty<std::int64_t> m_completedPercentage{0};
    ZozTaskResources m_resources;
    CalculableProperty<ZozTaskWork> m_work{ZozTaskWork::byResource()};
    CalculableProperty<std::int64_t> m_workCompletedPercentage{0};
    std::shared_ptr<ZozProjectMember> m_contactor;
    CalculableProperty<ZozTaskCost> m_cost{ZozTaskCost{}};
    Color m_color;
    std::int64_t m_iconindex = 0;
    ProjectTaskInnerType m_innerType = ProjectTaskInnerType::common;
    ZozProjectTask* m_parent;
    Children m_childs;
    std::unique_ptr<ZozTaskLinks> m_links;
    std::int64_t m_sequenceno = 0;
    std::int64_t m_directSequenceNo = 0;
    std::shared_ptr<DateBaseline> m_dateBaseline;
    // Fields most tasks leave empty live apart, so that large trees stay small.
    struct Extras {
        std::optional<std::string> notes;
        std::optional<TaskUrl> url1;
        std::optional<TaskUrl> url2;
        std::optional<std::vector<std::int64_t>> predecessoridlistbuf;
        std::optional<std::string> wbsNo;
        std::optional<std::string> directWbsNo;
        // Tasks given this parent while another task of their id was listed.
        std::vector<std::weak_ptr<ZozProjectTask>> unlistedChildren;
    };
    Extras& extras();
    std::unique_ptr<Extras> m_extras;
    bool m_collapsed = false;
    bool m_focused = false;
};

} // namespace document

/// Tasks hash by id, matching their equality.
template <>
struct std::hash<document::ZozProjectTask> {
    std::size_t operator()(const document::ZozProjectTask& task) const noexcept {
        return std::hash<std::int64_t>()(task.id());
    }
};
