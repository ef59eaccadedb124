#pragma once

#include "document/lazy_loading_value.hpp"

#include "core/date.hpp"

#include <cstdint>
#include <memory>
#include <optional>

namespace document {

class ZozProjectTask;

/// A task's saved start and exclusive finish with their cached working-day and calendar-day
/// lengths; refers to its task without owning it.
class DateBaseline {
public:
    /// An empty baseline of `task`.
    explicit DateBaseline(std::weak_ptr<ZozProjectTask> task);
    DateBaseline(const DateBaseline&) = delete;
    DateBaseline& operator=(const DateBaseline&) = delete;

    /// Sets both dates and clears the cached lengths.
    void change(core::Date start, core::Date finish);
    /// The saved start.
    std::optional<core::Date> start() const noexcept { return m_start; }
    /// The saved exclusive finish.
    std::optional<core::Date> finish() const noexcept { return m_finish; }
    /// The saved finish minus one second.
    std::optional<core::Date> finishForDisplay() const;
    /// Working days of the baseline: absent when the task is gone or a date is missing, 0 for a
    /// milestone; cached until the baseline's own dates change.
    std::optional<std::int64_t> days();
    /// Calendar days of the baseline, with the same rules and caching as `days`.
    std::optional<std::int64_t> duration();
    /// Saves the task's current start and finish, if the task still exists.
    void initializeByTaskDate();
    /// Takes over `other`'s dates (present or absent) and clears the cached lengths.
    void copyDates(const DateBaseline& other);

private:
    void clearCaches();
    std::optional<std::int64_t> compute(bool workingDays) const;

    std::weak_ptr<ZozProjectTask> m_task;
    std::optional<core::Date> m_start;
    std::optional<core::Date> m_finish;
    LazyLoadingNuallableValue<std::int64_t> m_days;
    LazyLoadingNuallableValue<std::int64_t> m_duration;
};

} // namespace document
