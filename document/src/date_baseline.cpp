#include "document/date_baseline.hpp"

#include "document/zoz_project.hpp"
#include "document/zoz_project_task.hpp"

#include "model_dates.hpp"

namespace document {

DateBaseline::DateBaseline(std::weak_ptr<ZozProjectTask> task)
    : m_task(std::move(task)), m_days([this] { return compute(true); }),
      m_duration([this] { return compute(false); }) {}

void DateBaseline::change(core::Date start, core::Date finish) {
    m_start = start;
    m_finish = finish;
    clearCaches();
}

std::optional<core::Date> DateBaseline::finishForDisplay() const {
    if (!m_finish) {
        return std::nullopt;
    }
    return core::Date(m_finish->timeIntervalSince1970() - 1.0);
}

std::optional<std::int64_t> DateBaseline::days() {
    return m_days.value();
}

std::optional<std::int64_t> DateBaseline::duration() {
    return m_duration.value();
}

void DateBaseline::initializeByTaskDate() {
    const auto task = m_task.lock();
    if (!task) {
        return;
    }
    m_start = task->start();
    m_finish = task->hasChilds() ? task->finish() : task->storedFinish();
    clearCaches();
}

void DateBaseline::copyDates(const DateBaseline& other) {
    m_start = other.m_start;
    m_finish = other.m_finish;
    clearCaches();
}

void DateBaseline::clearCaches() {
    m_days.clear();
    m_duration.clear();
}

std::optional<std::int64_t> DateBaseline::compute(bool workingDays) const {
    const auto task = m_task.lock();
    if (!task) {
        return std::nullopt;
    }
    if (task->isMilestone()) {
        return 0;
    }
    if (!m_start || !m_finish) {
        return std::nullopt;
    }
    if (!workingDays) {
        return detail::daysAfter(*m_finish, *m_start);
    }
    const auto project = task->project();
    if (!project) {
        return std::nullopt;
    }
    return project->calendar().countOfWorkingDays(*m_start, *m_finish);
}

} // namespace document
