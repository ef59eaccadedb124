#pragma once

#include "core/date.hpp"
#include "document/zoz_task_work.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace document {

/// The kind of a JSON task, held under "Type" as its integer raw value.
enum class JsonTaskType : std::int64_t { common = 0, milestone = 1, project = 2 };

/// A task's web link: "title" and "url".
struct JsonTaskUrl {
    std::optional<std::string> title;
    std::optional<std::string> url;

    friend bool operator==(const JsonTaskUrl&, const JsonTaskUrl&) = default;
};

/// A task's baseline dates: "start" and "finish".
struct JsonDateBaseline {
    std::optional<core::Date> start;
    std::optional<core::Date> finish;

    /// A baseline with both dates set.
    static JsonDateBaseline make(core::Date start, core::Date finish) { return {start, finish}; }

    friend bool operator==(const JsonDateBaseline&, const JsonDateBaseline&) = default;
};

/// A task's cost: "Auto" (true means a fixed labour cost), "Labc" and "Mats".
struct JsonCost {
    std::optional<bool> isFixLaborCost;
    std::optional<double> laborCost;
    std::optional<double> materialsCost;

    friend bool operator==(const JsonCost&, const JsonCost&) = default;
};

/// How a task's work is given: "WT" (1 fixed daily work, 2 fixed amount) and "Work" (hours).
struct JsonWorkData {
    std::optional<std::int64_t> workType;
    std::optional<double> workValue;

    /// The JSON form of a task's work: fixed daily work is "WT" 1, a fixed amount "WT" 2, each
    /// with its hours under "Work"; work by resource leaves both fields absent.
    static JsonWorkData make(const ZozTaskWork& work);

    friend bool operator==(const JsonWorkData&, const JsonWorkData&) = default;
};

/// One member on a task: "Pid" (the member's id) and "WL" (workload in percent).
struct JsonResourceAssignment {
    std::optional<std::int64_t> peopleId;
    std::optional<std::int64_t> workload;

    friend bool operator==(const JsonResourceAssignment&, const JsonResourceAssignment&) = default;
};

/// A member of the project: "Id", "Nm", "Pt", "Em", "Cr".
struct JsonPeople {
    std::optional<std::int64_t> id;
    std::optional<std::string> name;
    std::optional<std::string> photoId;
    std::optional<std::string> email;
    std::optional<double> costRate;

    friend bool operator==(const JsonPeople&, const JsonPeople&) = default;
};

/// One node of the JSON task tree; every field is optional and children nest under "Childs".
struct JsonTask {
    std::optional<std::int64_t> uid;
    std::optional<JsonTaskType> type;
    std::optional<std::string> name;
    std::optional<core::Date> start;
    std::optional<core::Date> finish;
    std::optional<std::int64_t> completedPercent;
    std::optional<std::vector<JsonResourceAssignment>> resources;
    std::optional<JsonWorkData> work;
    std::optional<std::int64_t> physicalCompletedPercentage;
    std::optional<std::int64_t> contactorId;
    std::optional<JsonCost> cost;
    std::optional<std::int64_t> oldColorIndex;
    std::optional<std::int64_t> newColorIndex;
    std::optional<std::int64_t> iconIndex;
    std::optional<std::string> notes;
    std::optional<std::vector<std::int64_t>> predecessors;
    std::optional<JsonDateBaseline> dateBaseline;
    std::optional<JsonTaskUrl> url1;
    std::optional<JsonTaskUrl> url2;
    std::optional<std::vector<JsonTask>> childs;
    std::optional<bool> collapsed;

    JsonTask() = default;
    JsonTask(const JsonTask&) = default;
    JsonTask(JsonTask&&) noexcept = default;
    JsonTask& operator=(const JsonTask&) = default;
    JsonTask& operator=(JsonTask&&) noexcept = default;
    /// Releases the subtree without recursion, so that no tree depth can exhaust the stack.
    ~JsonTask();

    /// The children, or an empty list when "Childs" is absent.
    const std::vector<JsonTask>& treeChildren() const noexcept;
    /// True when "Childs" is present and not empty.
    bool treeHasChildren() const noexcept { return childs && !childs->empty(); }

    /// Tree-node equality: two tasks are equal when their "Uid"s are (both absent included).
    friend bool operator==(const JsonTask& a, const JsonTask& b) noexcept { return a.uid == b.uid; }
};

/// The top-level object of "project.moc".
struct JsonProject {
    std::optional<std::string> uniqueId;
    std::optional<std::string> name;
    std::optional<std::string> version;
    std::optional<std::int64_t> oldColorIndex;
    std::optional<std::int64_t> newColorIndex;
    std::optional<std::string> imageId;
    std::optional<std::vector<JsonPeople>> peoples;
    std::optional<std::string> calendar;
    std::optional<JsonTask> root;
    std::optional<core::Date> lastUpdate;
    std::optional<std::string> device;
    std::optional<std::string> notes;
    std::optional<double> defaultCostRate;
    std::optional<bool> displayCurrencyAtBegin;
    std::optional<std::string> currency;
    std::optional<double> dailyWorkingHours;
    std::optional<double> timespaceScale;
    std::optional<core::Date> timespaceOrginalTime;
    std::optional<double> screenOffsetY;
    std::optional<std::int64_t> taskLinkType;
    std::optional<bool> userHasSetLinkType;
    std::optional<bool> onlyWorkingDayTaskSchedule;
    std::optional<std::string> pdfAuthorName;
    std::optional<std::string> pdfBannerImageId;

    JsonProject() = default;
    /// A project with the given "Uid" and "Name" and every other field absent.
    JsonProject(std::string uid, std::string projectName)
        : uniqueId(std::move(uid)), name(std::move(projectName)) {}
};

/// The in-memory holder of a decoded project, or of one about to be encoded.
struct JsonProjectData {
    std::optional<JsonProject> data;
};

} // namespace document
