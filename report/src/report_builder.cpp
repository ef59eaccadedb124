#include "report_builder.hpp"

#include "compensated_sum.hpp"
#include "core/log.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <unordered_map>

namespace report::detail {

namespace {

// A span longer than this (about 219 years) cannot come from valid document dates; it is cut
// so that a hostile document cannot make the tables huge.
constexpr std::int64_t kMaxSpanDays = 80'000;
// The operation the builder's log lines name, as the report's callers know it.
constexpr std::string_view kBuildOperation = "init(periodKind:project:)";

// A stretch of days over which a task gives a row the same hours each (working) day, as the
// distribution wrote it; day indexes count from the span's first day.
struct WorkStretch {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    bool workingOnly = false;
    double hours = 0.0;
};

} // namespace

class ReportBuilder {
public:
    static std::shared_ptr<const ProjectReport> build(Period::Kind kind, const BuildInput& input,
                                                      const core::Calendar& calendar) {
        ReportBuilder builder(kind, input, calendar);
        return builder.run();
    }

private:
    ReportBuilder(Period::Kind kind, const BuildInput& input, const core::Calendar& calendar)
        : m_kind(kind), m_input(input), m_calendar(calendar) {}

    std::shared_ptr<const ProjectReport> run();

    struct Spread {
        std::size_t row;
        bool isWork;
        double hours;
        double labor;
        double materials;
    };

    void makeTables();
    void makeRows();
    void distributeWork(const BuildTask& task);
    void distributeCost(const BuildTask& task);
    void spread(bool workingOnly, const Spread& amount);
    void addAt(std::int64_t dayNumber, const Spread& amount);
    bool isWorkingDayNumber(std::int64_t dayNumber) const;
    std::int64_t visitedDays(bool workingOnly) const;
    std::size_t rowOf(std::int64_t memberId) const;
    bool finite(double amount, const char* what);
    void recordStretch(std::size_t row, std::int64_t a, std::int64_t b, bool workingOnly,
                       double hours);
    void markOverloadedDays();
    void finish();

    Period::Kind m_kind;
    const BuildInput& m_input;
    const core::Calendar& m_calendar;
    std::shared_ptr<ProjectReport> m_report;

    std::int64_t m_firstDay = 0;
    std::size_t m_dayCount = 0;
    std::vector<std::uint32_t> m_periodOf;
    std::vector<std::uint8_t> m_working;
    std::vector<std::int64_t> m_workingBefore;
    std::unordered_map<std::int64_t, std::size_t> m_rowOfMember;
    std::size_t m_notAssignedRow = 0;
    // Week and month columns mark a cell when one of its days is over: each row's stretches
    // are kept (in distribution order) to total its days one row at a time at the end, so the
    // memory stays proportional to the cells and the plan, never to rows times days.
    bool m_needsDayTotals = false;
    std::vector<std::vector<WorkStretch>> m_stretches;
    std::size_t m_skippedNonFinite = 0;
    std::int64_t m_taskFirstDay = 0;
    std::int64_t m_taskLastDay = 0;
};

std::shared_ptr<const ProjectReport> buildReport(Period::Kind kind, const BuildInput& input,
                                                 const core::Calendar& calendar) {
    return ReportBuilder::build(kind, input, calendar);
}

std::shared_ptr<const ProjectReport> ReportBuilder::run() {
    m_report = std::shared_ptr<ProjectReport>(new ProjectReport());
    m_report->m_kind = m_kind;
    m_report->m_dailyWorkingHours = m_input.dailyWorkingHours;
    makeTables();
    const std::size_t columns = m_report->m_timeline.size();
    const std::size_t rows = m_input.members.size() + 1;
    // Both factors are bounded (the span is cut to kMaxSpanDays, the team by the reader), so the
    // product cannot overflow.
    m_report->m_cellCount = rows * columns;
    if (m_report->isTooLarge()) {
        core::Log::warning("The report of " + std::to_string(rows) + " rows and " +
                               std::to_string(columns) + " columns exceeds " +
                               std::to_string(ProjectReport::kMaxCells) + " cells and is not built",
                           core::LogLocation::named(kBuildOperation));
        m_report->m_timeline.clear();
        m_report->m_timeline.shrink_to_fit();
        return m_report;
    }
    makeRows();
    for (const BuildTask& task : m_input.tasks) {
        // Each task's dates become day numbers once; every later step reads the tables.
        m_taskFirstDay = m_calendar.localDayNumber(task.start);
        m_taskLastDay = std::max(m_taskFirstDay, m_calendar.localDayNumber(task.finishForDisplay));
        distributeWork(task);
        distributeCost(task);
    }
    finish();
    return m_report;
}

void ReportBuilder::makeTables() {
    m_firstDay = m_calendar.localDayNumber(m_input.rootStart);
    std::int64_t lastDay = m_calendar.localDayNumber(m_input.rootFinishForDisplay);
    if (lastDay < m_firstDay) {
        lastDay = m_firstDay;
    }
    if (lastDay - m_firstDay >= kMaxSpanDays) {
        core::Log::warning("The report span is cut to " + std::to_string(kMaxSpanDays) +
                               " days; the project's dates run further",
                           core::LogLocation::named(kBuildOperation));
        lastDay = m_firstDay + kMaxSpanDays - 1;
    }
    m_dayCount = static_cast<std::size_t>(lastDay - m_firstDay + 1);

    const core::Date start = m_calendar.startOfLocalDay(m_firstDay);
    const core::Date end = m_calendar.startOfLocalDay(lastDay);
    const auto periods = Period::timeline(start, end, m_kind, m_calendar);

    m_periodOf.resize(m_dayCount);
    m_working.resize(m_dayCount);
    m_workingBefore.resize(m_dayCount + 1);
    std::vector<std::int64_t> workingDaysOfPeriod(periods.size(), 0);
    std::uint32_t period = 0;
    for (std::size_t j = 0; j < m_dayCount; ++j) {
        const std::int64_t day = m_firstDay + static_cast<std::int64_t>(j);
        if (j > 0 && columnStartsBetween(m_kind, day - 1, day) > 0 && period + 1 < periods.size()) {
            ++period;
        }
        m_periodOf[j] = period;
        const bool working = m_input.isWorkingDay(day);
        m_working[j] = working ? 1 : 0;
        m_workingBefore[j + 1] = m_workingBefore[j] + (working ? 1 : 0);
        workingDaysOfPeriod[period] += working ? 1 : 0;
    }

    m_report->m_timeline.reserve(periods.size());
    for (std::size_t p = 0; p < periods.size(); ++p) {
        m_report->m_timeline.push_back(
            {periods[p],
             {},
             static_cast<double>(workingDaysOfPeriod[p]) * m_input.dailyWorkingHours});
    }
}

void ReportBuilder::makeRows() {
    const std::size_t periods = m_report->m_timeline.size();
    auto& rows = m_report->m_rows;
    rows.reserve(m_input.members.size() + 1);
    for (const BuildMember& member : m_input.members) {
        m_rowOfMember[member.id] = rows.size();
        rows.push_back(ProjectReport::Row(member.id, member.name, periods));
    }
    m_notAssignedRow = rows.size();
    rows.push_back(ProjectReport::Row(std::nullopt, ProjectReport::kNotAssignedName, periods));
    // A day report whose columns are its days needs no separate day totals.
    m_needsDayTotals = m_kind != Period::Kind::day || periods != m_dayCount;
    if (m_needsDayTotals) {
        m_stretches.resize(rows.size());
    }
}

std::size_t ReportBuilder::rowOf(std::int64_t memberId) const {
    const auto found = m_rowOfMember.find(memberId);
    return found == m_rowOfMember.end() ? m_notAssignedRow : found->second;
}

bool ReportBuilder::isWorkingDayNumber(std::int64_t dayNumber) const {
    const std::int64_t j = dayNumber - m_firstDay;
    if (j >= 0 && static_cast<std::size_t>(j) < m_dayCount) {
        return m_working[static_cast<std::size_t>(j)] != 0;
    }
    // Only a task that leaves the root's span gets here; its contributions are dropped, but the
    // divisor still counts its days as the walk visits them.
    return m_input.isWorkingDay(dayNumber);
}

std::int64_t ReportBuilder::visitedDays(bool workingOnly) const {
    const std::int64_t a = m_taskFirstDay;
    const std::int64_t b = m_taskLastDay;
    if (!workingOnly) {
        return b - a + 1;
    }
    const std::int64_t lo = std::max(a, m_firstDay);
    const std::int64_t hi = std::min(b, m_firstDay + static_cast<std::int64_t>(m_dayCount) - 1);
    std::int64_t count = 0;
    if (lo <= hi) {
        count = m_workingBefore[static_cast<std::size_t>(hi - m_firstDay + 1)] -
                m_workingBefore[static_cast<std::size_t>(lo - m_firstDay)];
    }
    for (std::int64_t day = a; day <= b && day < m_firstDay; ++day) {
        count += isWorkingDayNumber(day) ? 1 : 0;
    }
    for (std::int64_t day = std::max(a, hi + 1); day <= b; ++day) {
        count += isWorkingDayNumber(day) ? 1 : 0;
    }
    return count;
}

bool ReportBuilder::finite(double amount, const char* what) {
    if (std::isfinite(amount)) {
        return true;
    }
    ++m_skippedNonFinite;
    core::Log::warning(
        [&] {
            return std::string("A non-finite ") + what +
                   " amount of a task is left out of the report";
        },
        core::LogLocation::named(kBuildOperation));
    return false;
}

void ReportBuilder::addAt(std::int64_t dayNumber, const Spread& amount) {
    const std::int64_t j = dayNumber - m_firstDay;
    if (j < 0 || static_cast<std::size_t>(j) >= m_dayCount) {
        ++m_report->m_dropped;
        return;
    }
    const auto day = static_cast<std::size_t>(j);
    ProjectReport::Value& cell = m_report->m_rows[amount.row].mutableData(m_periodOf[day]);
    if (amount.isWork) {
        cell.work += amount.hours;
    } else {
        cell.laborCost += amount.labor;
        cell.materialsCost += amount.materials;
    }
}

void ReportBuilder::spread(bool workingOnly, const Spread& amount) {
    const std::int64_t a = m_taskFirstDay;
    const std::int64_t b = m_taskLastDay;
    const std::int64_t lastInSpan = m_firstDay + static_cast<std::int64_t>(m_dayCount) - 1;
    if (a >= m_firstDay && b <= lastInSpan) {
        // The common case, kept tight: two table reads and one cell write per day.
        ProjectReport::Row& row = m_report->m_rows[amount.row];
        const bool isWork = amount.isWork;
        const auto from = static_cast<std::size_t>(a - m_firstDay);
        const auto to = static_cast<std::size_t>(b - m_firstDay);
        for (std::size_t day = from; day <= to; ++day) {
            if (workingOnly && m_working[day] == 0) {
                continue;
            }
            ProjectReport::Value& cell = row.mutableData(m_periodOf[day]);
            if (isWork) {
                cell.work += amount.hours;
            } else {
                cell.laborCost += amount.labor;
                cell.materialsCost += amount.materials;
            }
        }
        if (isWork) {
            recordStretch(amount.row, a, b, workingOnly, amount.hours);
        }
        return;
    }
    for (std::int64_t day = a; day <= b; ++day) {
        if (workingOnly && !isWorkingDayNumber(day)) {
            continue;
        }
        addAt(day, amount);
    }
    if (amount.isWork) {
        recordStretch(amount.row, std::max(a, m_firstDay), std::min(b, lastInSpan), workingOnly,
                      amount.hours);
    }
}

void ReportBuilder::recordStretch(std::size_t row, std::int64_t a, std::int64_t b, bool workingOnly,
                                  double hours) {
    if (!m_needsDayTotals || a > b) {
        return;
    }
    m_stretches[row].push_back({static_cast<std::uint32_t>(a - m_firstDay),
                                static_cast<std::uint32_t>(b - m_firstDay), workingOnly, hours});
}

void ReportBuilder::markOverloadedDays() {
    const double hours = m_input.dailyWorkingHours;
    std::vector<double> dayTotal(m_dayCount, 0.0);
    for (std::size_t r = 0; r < m_stretches.size(); ++r) {
        auto& stretches = m_stretches[r];
        if (stretches.empty()) {
            continue;
        }
        // The day totals add up in distribution order, as the cells do.
        std::uint32_t lo = stretches.front().from;
        std::uint32_t hi = stretches.front().to;
        for (const WorkStretch& stretch : stretches) {
            lo = std::min(lo, stretch.from);
            hi = std::max(hi, stretch.to);
            for (std::uint32_t day = stretch.from; day <= stretch.to; ++day) {
                if (!stretch.workingOnly || m_working[day] != 0) {
                    dayTotal[day] += stretch.hours;
                }
            }
        }
        ProjectReport::Row& row = m_report->m_rows[r];
        for (std::uint32_t day = lo; day <= hi; ++day) {
            const double available = m_working[day] != 0 ? hours : 0.0;
            if (dayTotal[day] > available + kExceedTolerance) {
                row.mutableData(m_periodOf[day]).overloadedDay = true;
            }
            dayTotal[day] = 0.0;
        }
        std::vector<WorkStretch>().swap(stretches);
    }
}

void ReportBuilder::distributeWork(const BuildTask& task) {
    if (!task.isSingleTask || task.isGroupTask || task.duration < 1) {
        return;
    }
    const double units = task.unitsOfWorkload;
    const auto assignments = std::span<const BuildAssignment>(m_input.assignments)
                                 .subspan(task.firstAssignment, task.assignmentCount);
    auto give = [&](std::size_t row, double hours, bool workingOnly) {
        if (finite(hours, "work")) {
            spread(workingOnly, {row, true, hours, 0.0, 0.0});
        }
    };
    switch (task.workKind) {
    case WorkKind::fixDailyWork: {
        const double h = task.workAmount;
        if (units <= 0) {
            give(m_notAssignedRow, h, true);
        } else {
            for (const auto& assignment : assignments) {
                give(rowOf(assignment.memberId),
                     (static_cast<double>(assignment.workload) / 100.0) * h / units, true);
            }
        }
        break;
    }
    case WorkKind::fixAmount: {
        const double amount = task.workAmount;
        if (task.days < 1) {
            const auto n = visitedDays(false);
            give(m_notAssignedRow, amount / static_cast<double>(n), false);
        } else {
            const auto n = visitedDays(true);
            if (n < 1) {
                break;
            }
            const double perDay = amount / static_cast<double>(n);
            if (units <= 0) {
                give(m_notAssignedRow, perDay, true);
            } else {
                for (const auto& assignment : assignments) {
                    give(rowOf(assignment.memberId),
                         (static_cast<double>(assignment.workload) / 100.0) * perDay / units, true);
                }
            }
        }
        break;
    }
    case WorkKind::byResource:
        for (const auto& assignment : assignments) {
            give(rowOf(assignment.memberId),
                 static_cast<double>(assignment.workload) * m_input.dailyWorkingHours / 100.0,
                 true);
        }
        break;
    }
}

void ReportBuilder::distributeCost(const BuildTask& task) {
    // A milestone with children would count its cost twice: through the children and itself.
    const bool milestone = task.isMilestone && !task.hasChildren;
    if (!((task.isSingleTask && task.duration >= 1) || milestone)) {
        return;
    }
    // A non-finite cost is left out on its own: the task's other cost still counts.
    const double labor = finite(task.laborCost, "labour cost") ? task.laborCost : 0.0;
    const double materials =
        finite(task.materialsCost, "materials cost") ? task.materialsCost : 0.0;
    if (labor <= 0 && materials <= 0) {
        return;
    }
    const auto assignments = std::span<const BuildAssignment>(m_input.assignments)
                                 .subspan(task.firstAssignment, task.assignmentCount);
    double rateSum = 0.0;
    for (const auto& assignment : assignments) {
        rateSum += assignment.costRate * static_cast<double>(assignment.workload);
    }
    const double units = task.unitsOfWorkload;

    if (milestone || (task.days < 1 && task.duration < 1)) {
        addAt(m_taskFirstDay, {m_notAssignedRow, false, 0.0, labor, materials});
        return;
    }
    const bool workingOnly = task.days >= 1;
    const auto n = visitedDays(workingOnly);
    if (n < 1) {
        return;
    }
    const double perDayLabor = labor / static_cast<double>(n);
    const double perDayMaterials = materials / static_cast<double>(n);
    if (units <= 0 || rateSum <= 0) {
        spread(workingOnly, {m_notAssignedRow, false, 0.0, perDayLabor, perDayMaterials});
        return;
    }
    for (const auto& assignment : assignments) {
        const auto w = static_cast<double>(assignment.workload);
        double shareLabor = (assignment.costRate * w) * perDayLabor / rateSum;
        double shareMaterials = w * perDayMaterials / (units * 100.0);
        if (!finite(shareLabor, "labour cost")) {
            shareLabor = 0.0;
        }
        if (!finite(shareMaterials, "materials cost")) {
            shareMaterials = 0.0;
        }
        if (shareLabor == 0.0 && shareMaterials == 0.0) {
            continue;
        }
        spread(workingOnly, {rowOf(assignment.memberId), false, 0.0, shareLabor, shareMaterials});
    }
}

void ReportBuilder::finish() {
    auto& report = *m_report;
    auto& rows = report.m_rows;
    const std::size_t periods = report.m_timeline.size();
    const double hours = m_input.dailyWorkingHours;

    // Exceed marks: a day column is one day; longer columns look at each day's own total.
    constexpr std::size_t kBlock = ProjectReport::Row::kBlock;
    if (!m_needsDayTotals) {
        for (auto& row : rows) {
            for (std::size_t b = 0; b < row.m_blocks.size(); ++b) {
                if (!row.m_blocks[b]) {
                    continue;
                }
                auto& block = *row.m_blocks[b];
                const std::size_t count = std::min(kBlock, periods - b * kBlock);
                for (std::size_t i = 0; i < count; ++i) {
                    const double available = m_working[b * kBlock + i] != 0 ? hours : 0.0;
                    block[i].overloadedDay = block[i].work > available + kExceedTolerance;
                }
            }
        }
    } else {
        markOverloadedDays();
    }

    std::vector<CompensatedSum> periodWork(periods);
    std::vector<CompensatedSum> periodLabor(periods);
    std::vector<CompensatedSum> periodMaterials(periods);
    for (auto& row : rows) {
        CompensatedSum work;
        CompensatedSum labor;
        CompensatedSum materials;
        for (std::size_t b = 0; b < row.m_blocks.size(); ++b) {
            if (!row.m_blocks[b]) {
                continue;
            }
            const auto& block = *row.m_blocks[b];
            const std::size_t count = std::min(kBlock, periods - b * kBlock);
            for (std::size_t i = 0; i < count; ++i) {
                const ProjectReport::Value& cell = block[i];
                const std::size_t p = b * kBlock + i;
                work.add(cell.work);
                labor.add(cell.laborCost);
                materials.add(cell.materialsCost);
                periodWork[p].add(cell.work);
                periodLabor[p].add(cell.laborCost);
                periodMaterials[p].add(cell.materialsCost);
                row.m_total.overloadedDay = row.m_total.overloadedDay || cell.overloadedDay;
            }
        }
        row.m_total.work = work.value();
        row.m_total.laborCost = labor.value();
        row.m_total.materialsCost = materials.value();
    }
    CompensatedSum work;
    CompensatedSum labor;
    CompensatedSum materials;
    for (std::size_t p = 0; p < periods; ++p) {
        auto& total = report.m_timeline[p].total;
        total.work = periodWork[p].value();
        total.laborCost = periodLabor[p].value();
        total.materialsCost = periodMaterials[p].value();
        work.add(total.work);
        labor.add(total.laborCost);
        materials.add(total.materialsCost);
    }
    report.m_total.work = work.value();
    report.m_total.laborCost = labor.value();
    report.m_total.materialsCost = materials.value();

    if (report.m_dropped > 0) {
        core::Log::warning("Dropped " + std::to_string(report.m_dropped) +
                               " report contributions whose day lies outside the project's span",
                           core::LogLocation::named(kBuildOperation));
    }
}

} // namespace report::detail
