#pragma once

#include "document/zoz_project_calendar.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_project_team.hpp"
#include "document/zoz_task_links.hpp"

#include "core/date.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace document {

/// The root of a project document: identity and display settings, the team, the working-day
/// calendar and the task tree with a dictionary of tasks by id. Always owned by
/// `std::shared_ptr` (see `create`); it owns its team, calendar, dictionary and root, and tasks
/// refer back to it without owning it. Built on one thread, afterwards only read.
class ZozProject : public std::enable_shared_from_this<ZozProject> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    /// The daily working hours of a new project, and the replacement of an invalid value.
    static constexpr double kDefaultDailyHours = 8.0;
    /// The default cost rate of a new project, and the replacement of a negative value.
    static constexpr double kDefaultCostRate = 1.0;

    /// A new project with every field at its default; an absent `version` becomes a fresh UUID
    /// string.
    static std::shared_ptr<ZozProject> create(std::string uid, std::string name,
                                              std::optional<std::string> version = {});
    /// Use `create`.
    ZozProject(Passkey, std::string uid, std::string name, std::optional<std::string> version);
    ~ZozProject();
    ZozProject(const ZozProject&) = delete;
    ZozProject& operator=(const ZozProject&) = delete;

    /// Installs a given calendar, appends the given members (refreshing the team's id seed), and
    /// installs `rootTask` with its whole tree registered, unless a root exists already.
    void initializeByCalendarAndTeamAndRootTask(
        std::shared_ptr<ZozProjectCalendar> calendar,
        const std::optional<std::vector<std::shared_ptr<ZozProjectMember>>>& teamMembers,
        const ZozProjectTask::Ptr& rootTask);

    // Identity and settings.

    /// The project's identity.
    const std::string& uid() const noexcept { return m_uniqueId; }
    /// The project's identity.
    const std::string& uniqueId() const noexcept { return m_uniqueId; }
    /// The display name.
    const std::string& name() const noexcept { return m_name; }
    /// Replaces the name.
    void setName(std::string name) { m_name = std::move(name); }
    /// The document version text.
    const std::string& version() const noexcept { return m_version; }
    /// Replaces the version text.
    void setVersion(std::string version) { m_version = std::move(version); }
    /// The colour index of the old colour system.
    std::int64_t oldColorIndex() const noexcept { return m_oldColorIndex; }
    /// Replaces the old colour index.
    void setOldColorIndex(std::int64_t index) noexcept { m_oldColorIndex = index; }
    /// The colour index of the current palette.
    std::int64_t newColorIndex() const noexcept { return m_newColorIndex; }
    /// Replaces the palette colour index.
    void setNewColorIndex(std::int64_t index) noexcept { m_newColorIndex = index; }
    /// The cover image id, if any.
    const std::optional<std::string>& imageId() const noexcept { return m_imageId; }
    /// Replaces the cover image id.
    void setImageId(std::optional<std::string> id) { m_imageId = std::move(id); }
    /// The notes, if any.
    const std::optional<std::string>& notes() const noexcept { return m_notes; }
    /// Replaces the notes.
    void setNotes(std::optional<std::string> notes) { m_notes = std::move(notes); }
    /// The time of the last change, if any.
    const std::optional<core::Date>& lastUpdate() const noexcept { return m_lastUpdate; }
    /// Replaces the time of the last change.
    void setLastUpdate(std::optional<core::Date> date) noexcept { m_lastUpdate = date; }
    /// The device that saved the document, if any.
    const std::optional<std::string>& device() const noexcept { return m_device; }
    /// Replaces the device name.
    void setDevice(std::optional<std::string> device) { m_device = std::move(device); }
    /// Cost per hour of automatic labour when nobody is assigned.
    double defaultCostRate() const noexcept { return m_defaultCostRate; }
    /// Stores the rate; a negative one (or NaN) becomes 1.0, 0 stays 0.
    void setDefaultCostRate(double rate) noexcept;
    /// Whether the currency text stands before the amount.
    bool displayCurrencyAtBegin() const noexcept { return m_displayCurrencyAtBegin; }
    /// Replaces the currency placement.
    void setDisplayCurrencyAtBegin(bool atBegin) noexcept { m_displayCurrencyAtBegin = atBegin; }
    /// The currency text.
    const std::string& currency() const noexcept { return m_currency; }
    /// Replaces the currency text.
    void setCurrency(std::string currency) { m_currency = std::move(currency); }
    /// Hours of one working day.
    double dailyWorkingHours() const noexcept { return m_dailyWorkingHours; }
    /// Stores the hours; a value outside (0, 24], or NaN, becomes 8.0.
    void setDailyWorkingHours(double hours) noexcept;
    /// How task links are read.
    ZozTaskLinkType taskLinkType() const noexcept { return m_taskLinkType; }
    /// Replaces the link type.
    void setTaskLinkType(ZozTaskLinkType type) noexcept { m_taskLinkType = type; }
    /// Zoom of the planning view's time axis.
    double timespaceScale() const noexcept { return m_timespaceScale; }
    /// Replaces the time axis zoom.
    void setTimespaceScale(double scale) noexcept { m_timespaceScale = scale; }
    /// Origin of the planning view's time axis, if any.
    const std::optional<core::Date>& timespaceOrginalTime() const noexcept {
        return m_timespaceOrginalTime;
    }
    /// Replaces the time axis origin.
    void setTimespaceOrginalTime(std::optional<core::Date> date) noexcept {
        m_timespaceOrginalTime = date;
    }
    /// Vertical scroll offset of the planning view.
    double screenOffsetY() const noexcept { return m_screenOffsetY; }
    /// Replaces the scroll offset.
    void setScreenOffsetY(double offset) noexcept { m_screenOffsetY = offset; }
    /// Author printed on the PDF export, if any.
    const std::optional<std::string>& pdfAuthorName() const noexcept { return m_pdfAuthorName; }
    /// Replaces the PDF author.
    void setPdfAuthorName(std::optional<std::string> name) { m_pdfAuthorName = std::move(name); }
    /// PDF banner image id, if any.
    const std::optional<std::string>& pdfBannerImageId() const noexcept {
        return m_pdfBannerImageId;
    }
    /// Replaces the PDF banner image id.
    void setPdfBannerImageId(std::optional<std::string> id) { m_pdfBannerImageId = std::move(id); }
    /// Whether the user chose the link type.
    bool userHasSetLinkType() const noexcept { return m_userHasSetLinkType; }
    /// Replaces the flag.
    void setUserHasSetLinkType(bool set) noexcept { m_userHasSetLinkType = set; }
    /// Whether tasks are scheduled on working days only.
    bool onlyWorkingDayTaskSchedule() const noexcept { return m_onlyWorkingDayTaskSchedule; }
    /// Replaces the flag.
    void setOnlyWorkingDayTaskSchedule(bool only) noexcept { m_onlyWorkingDayTaskSchedule = only; }

    // Team, calendar, tasks.

    /// The team (never null).
    ZozProjectTeam& team() const noexcept { return *m_team; }
    /// The team's shared handle.
    const std::shared_ptr<ZozProjectTeam>& teamPointer() const noexcept { return m_team; }
    /// Replaces the team; a null team is ignored.
    void setTeam(std::shared_ptr<ZozProjectTeam> team);
    /// The calendar, created on first use from the stored root's dates (or today), never
    /// creating a root.
    ZozProjectCalendar& calendar();
    /// The calendar's shared handle, created as `calendar()` does.
    const std::shared_ptr<ZozProjectCalendar>& calendarPointer();
    /// The stored calendar, possibly null.
    const std::shared_ptr<ZozProjectCalendar>& storedCalendar() const noexcept {
        return m_calendar;
    }
    /// Replaces the calendar.
    void initializeCalendar(std::shared_ptr<ZozProjectCalendar> calendar);
    /// The root task, created on first use (id 0, today to tomorrow, not registered).
    const ZozProjectTask::Ptr& root();
    /// The stored root, possibly null.
    const ZozProjectTask::Ptr& storedRoot() const noexcept { return m_root; }
    /// The number of registered tasks.
    std::size_t taskCount() const noexcept { return m_taskDict.size(); }
    /// The registered task of `taskId`, or null.
    ZozProjectTask::Ptr findTask(std::int64_t taskId) const;
    /// Every registered task by id.
    const std::unordered_map<std::int64_t, ZozProjectTask::Ptr>& taskDict() const noexcept {
        return m_taskDict;
    }
    /// Registers `task` under its id, replacing an earlier entry.
    void registerTask(const ZozProjectTask::Ptr& task);
    /// Removes the entry of `taskId`.
    void unregisterTask(std::int64_t taskId);
    /// The last id handed out by `createNewTaskId`, if any.
    std::optional<std::int64_t> taskIdSeed() const noexcept { return m_taskIdSeed; }
    /// Replaces the id seed.
    void setTaskIdSeed(std::optional<std::int64_t> seed) noexcept { m_taskIdSeed = seed; }
    /// A new task id: the seed (first the largest id of the tree, at least 0) plus one; throws
    /// `ZozModelError::Code::idSeedExhausted` at the top of the 64-bit range.
    std::int64_t createNewTaskId();
    /// Whether a leaf task that is not a milestone assigns `memberId`.
    bool isMemberBeAssignedToAnyTask(std::int64_t memberId) const;

    // Tree editing with registration.

    /// Adds `childTask` under `parentTask` and registers its subtree; false when refused.
    bool addChild(const ZozProjectTask::Ptr& parentTask, const ZozProjectTask::Ptr& childTask);
    /// Inserts at `index` and registers; false when refused.
    bool insertChild(const ZozProjectTask::Ptr& parentTask, const ZozProjectTask::Ptr& childTask,
                     std::int64_t index);
    /// Inserts relative to `baseTask` and registers; false when refused.
    bool insertChild(const ZozProjectTask::Ptr& parentTask, const ZozProjectTask::Ptr& childTask,
                     const ZozProjectTask::Ptr& baseTask, bool belowBaseTask);
    /// Creates, appends and registers a new child.
    ZozProjectTask::Ptr createChild(const ZozProjectTask::Ptr& parentTask,
                                    std::int64_t newChildTaskId, core::Date start,
                                    core::Date finish);
    /// Creates a child after `previousChildTaskId`, registers and returns it.
    ZozProjectTask::Ptr createChildAfter(const ZozProjectTask::Ptr& parentTask,
                                         std::int64_t previousChildTaskId,
                                         std::int64_t newChildTaskId, core::Date start,
                                         core::Date finish);
    /// Unregisters `childTask`'s subtree and removes it from `parentTask`.
    void removeChild(const ZozProjectTask::Ptr& parentTask, const ZozProjectTask::Ptr& childTask);
    /// Removes the children at `toIndex` down to `fromIndex` (clamped to the list; nothing when
    /// the range is empty), unregistering their subtrees.
    void removeChildByRange(const ZozProjectTask::Ptr& parentTask, std::int64_t fromIndex,
                            std::int64_t toIndex);
    /// Moves `task` among its siblings (see `ZozProjectTask::changeChildIndex`).
    void changeChildIndex(const ZozProjectTask::Ptr& parentTask, const ZozProjectTask::Ptr& task,
                          std::int64_t newIndex,
                          const std::function<void(const ZozProjectTask::Ptr&)>& sequenceChanged);

private:
    void registerSubtree(const ZozProjectTask::Ptr& task);
    void unregisterSubtree(const ZozProjectTask::Ptr& task);

    std::string m_uniqueId;
    std::string m_name;
    std::string m_version;
    std::int64_t m_oldColorIndex = 0;
    std::int64_t m_newColorIndex = 0;
    std::optional<std::string> m_imageId;
    std::shared_ptr<ZozProjectTeam> m_team;
    std::shared_ptr<ZozProjectCalendar> m_calendar;
    std::optional<std::string> m_notes;
    std::unordered_map<std::int64_t, ZozProjectTask::Ptr> m_taskDict;
    std::optional<std::int64_t> m_taskIdSeed;
    ZozProjectTask::Ptr m_root;
    std::optional<core::Date> m_lastUpdate;
    std::optional<std::string> m_device;
    double m_defaultCostRate = kDefaultCostRate;
    bool m_displayCurrencyAtBegin = false;
    std::string m_currency = "$";
    double m_dailyWorkingHours = kDefaultDailyHours;
    ZozTaskLinkType m_taskLinkType = ZozTaskLinkType::finishToStart;
    double m_timespaceScale = 1.0;
    std::optional<core::Date> m_timespaceOrginalTime;
    double m_screenOffsetY = 0.0;
    std::optional<std::string> m_pdfAuthorName;
    std::optional<std::string> m_pdfBannerImageId;
    bool m_userHasSetLinkType = false;
    bool m_onlyWorkingDayTaskSchedule = false;
};

} // namespace document
