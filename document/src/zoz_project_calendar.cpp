#include "document/zoz_project_calendar.hpp"

#include "document/dezuduz_document_config.hpp"

#include "model_dates.hpp"
#include "model_text.hpp"

#include "core/string_utils.hpp"

#include "core/calendar.hpp"

#include <algorithm>
#include <mutex>

namespace document {

namespace {

// The map never grows past the valid document range plus the year the map keeps to spare: a
// hostile date in year 1 or 9999 would otherwise build millions of entries. Days beyond it are
// answered directly.
struct DayLimits {
    std::int64_t firstValid;   // first valid local day
    std::int64_t pastValid;    // first invalid local day after the range
    std::int64_t lowestMapped; // lowest day the map may hold
    std::int64_t highestMapped;
};

DayLimits dayLimits(const core::Calendar& cal) {
    const auto& config = DezuduzDocumentConfig::shared();
    const auto first = cal.localDayNumber(config.minDate());
    const auto past = cal.localDayNumber(config.maxDate());
    return {first, past, detail::addYearsToLocalDay(first, -1),
            detail::addYearsToLocalDay(past, 1)};
}

bool isWeekendDay(std::int64_t day) {
    const int weekday = core::Calendar::weekdayOfDayNumber(day);
    return weekday == 1 || weekday == 7;
}

bool isValidDate(core::Date date) {
    return DezuduzDocumentConfig::shared().isValid(date);
}

} // namespace

ZozProjectCalendar::ZozProjectCalendar(core::Date start, core::Date finish,
                                       std::string_view singularities) {
    const auto cal = core::Calendar::current();
    const std::unique_lock lock(m_mutex);
    parseExceptionsLocked(cal, singularities);
    resetRangeLocked(cal, cal.localDayNumber(start), cal.localDayNumber(finish));
}

core::Date ZozProjectCalendar::singularityOriginalDate() {
    return detail::startOfLocalDay(kSingularityOriginDay);
}

void ZozProjectCalendar::parseExceptionsLocked(const core::Calendar& cal,
                                               std::string_view singularities) {
    m_dayexceptions.clear();
    if (core::isBlank(singularities)) {
        return;
    }
    const auto limits = dayLimits(cal);
    for (const auto piece : detail::splitDroppingEmpty(singularities, ';')) {
        const auto offset = detail::parseInt64Strict(piece);
        // Range-check the offset before any arithmetic (a huge one must not overflow); the
        // limits are instants, so the exact test on the date follows.
        if (!offset || *offset < limits.firstValid - kSingularityOriginDay - 1 ||
            *offset > limits.pastValid - kSingularityOriginDay + 1) {
            continue;
        }
        const auto date = cal.startOfLocalDay(kSingularityOriginDay + *offset);
        if (isValidDate(date)) {
            m_dayexceptions.push_back(date);
        }
    }
}

void ZozProjectCalendar::setDayExceptionString(std::string_view singularities) {
    const auto cal = core::Calendar::current();
    const std::unique_lock lock(m_mutex);
    parseExceptionsLocked(cal, singularities);
    rebuildLocked(cal);
}

void ZozProjectCalendar::setDayExceptions(std::vector<core::Date> exceptions) {
    const auto cal = core::Calendar::current();
    const std::unique_lock lock(m_mutex);
    m_dayexceptions = std::move(exceptions);
    rebuildLocked(cal);
}

void ZozProjectCalendar::addExceptionDay(core::Date date) {
    if (!isValidDate(date)) {
        return;
    }
    const auto cal = core::Calendar::current();
    const auto day = cal.localDayNumber(date);
    const std::unique_lock lock(m_mutex);
    const bool listed = std::any_of(m_dayexceptions.begin(), m_dayexceptions.end(),
                                    [&](core::Date e) { return cal.localDayNumber(e) == day; });
    if (!listed) {
        m_dayexceptions.push_back(date);
    }
}

void ZozProjectCalendar::changeWorkingDay(core::Date datetime) {
    const auto cal = core::Calendar::current();
    const auto day = cal.localDayNumber(datetime);
    const auto dayStart = cal.startOfLocalDay(day);
    const std::unique_lock lock(m_mutex);
    const auto found = std::find(m_dayexceptions.begin(), m_dayexceptions.end(), dayStart);
    if (found != m_dayexceptions.end()) {
        m_dayexceptions.erase(found);
    } else {
        m_dayexceptions.push_back(dayStart);
    }
    if (day < m_startDay || day > m_endDay) {
        resetRangeLocked(cal, std::min(day, m_startDay), std::max(day, m_endDay));
    } else {
        rebuildLocked(cal);
    }
}

bool ZozProjectCalendar::coversLocked(std::int64_t first, std::int64_t last) const noexcept {
    return !m_mappings.empty() && first >= m_startDay && last <= m_endDay;
}

void ZozProjectCalendar::resetRangeLocked(const core::Calendar& cal, std::int64_t first,
                                          std::int64_t last) const {
    const auto limits = dayLimits(cal);
    const auto lo = std::min(first, last);
    const auto hi = std::max(first, last);
    m_startDay = std::clamp(
        detail::addYearsToLocalDay(std::clamp(lo, limits.lowestMapped, limits.highestMapped), -1),
        limits.lowestMapped, limits.highestMapped);
    m_endDay = std::clamp(
        detail::addYearsToLocalDay(std::clamp(hi, limits.lowestMapped, limits.highestMapped), 1),
        limits.lowestMapped, limits.highestMapped);
    rebuildLocked(cal);
}

void ZozProjectCalendar::rebuildLocked(const core::Calendar& cal) const {
    const auto count = static_cast<std::size_t>(m_endDay - m_startDay + 1);
    m_mappings.assign(count, DayMapItem{});
    for (std::size_t i = 0; i < count; ++i) {
        m_mappings[i].isWorkingDay = !isWeekendDay(m_startDay + static_cast<std::int64_t>(i));
    }
    for (const auto exception : m_dayexceptions) {
        const auto day = cal.localDayNumber(exception);
        if (day >= m_startDay && day <= m_endDay) {
            auto& item = m_mappings[static_cast<std::size_t>(day - m_startDay)];
            item.isWorkingDay = !item.isWorkingDay;
        }
    }
    std::int64_t running = 0;
    for (auto& item : m_mappings) {
        item.workingDayIndex = running;
        if (item.isWorkingDay) {
            ++running;
        }
    }
}

bool ZozProjectCalendar::answerOutsideMapLocked(const core::Calendar& cal, std::int64_t day) const {
    bool working = !isWeekendDay(day);
    for (const auto exception : m_dayexceptions) {
        if (cal.localDayNumber(exception) == day) {
            working = !working;
        }
    }
    return working;
}

std::int64_t ZozProjectCalendar::indexOfLocked(std::int64_t day) const {
    return m_mappings[static_cast<std::size_t>(day - m_startDay)].workingDayIndex;
}

bool ZozProjectCalendar::isWorkingDay(core::Date date) const {
    const auto cal = core::Calendar::current();
    return isWorkingDayNumber(cal, cal.localDayNumber(date));
}

bool ZozProjectCalendar::isWorkingDayNumber(std::int64_t day) const {
    {
        const std::shared_lock lock(m_mutex);
        if (coversLocked(day, day)) {
            return m_mappings[static_cast<std::size_t>(day - m_startDay)].isWorkingDay;
        }
    }
    return isWorkingDayNumber(core::Calendar::current(), day);
}

bool ZozProjectCalendar::isWorkingDayNumber(const core::Calendar& cal, std::int64_t day) const {
    {
        const std::shared_lock lock(m_mutex);
        if (coversLocked(day, day)) {
            return m_mappings[static_cast<std::size_t>(day - m_startDay)].isWorkingDay;
        }
    }
    const auto limits = dayLimits(cal);
    if (day < limits.lowestMapped || day > limits.highestMapped) {
        const std::shared_lock lock(m_mutex);
        return answerOutsideMapLocked(cal, day);
    }
    const std::unique_lock lock(m_mutex);
    if (!coversLocked(day, day)) {
        if (m_mappings.empty()) {
            resetRangeLocked(cal, day, day);
        } else if (day < m_startDay) {
            resetRangeLocked(cal, day, m_endDay);
        } else {
            resetRangeLocked(cal, m_startDay, day);
        }
    }
    if (!coversLocked(day, day)) {
        return answerOutsideMapLocked(cal, day);
    }
    return m_mappings[static_cast<std::size_t>(day - m_startDay)].isWorkingDay;
}

std::int64_t ZozProjectCalendar::countOfWorkingDays(core::Date start, core::Date finish) const {
    if (!isValidDate(start) || !isValidDate(finish)) {
        return 0;
    }
    const auto cal = core::Calendar::current();
    const auto s = cal.localDayNumber(start);
    const auto f = cal.localDayNumber(finish);
    const auto lo = std::min(s, f);
    const auto hi = std::max(s, f);
    {
        const std::shared_lock lock(m_mutex);
        if (coversLocked(lo, hi)) {
            return indexOfLocked(f) - indexOfLocked(s);
        }
    }
    const std::unique_lock lock(m_mutex);
    if (!coversLocked(lo, hi)) {
        if (m_mappings.empty()) {
            resetRangeLocked(cal, lo, hi);
        } else {
            resetRangeLocked(cal, std::min(lo, m_startDay), std::max(hi, m_endDay));
        }
    }
    // Valid days always lie inside the largest map; this guards the arithmetic all the same.
    if (!coversLocked(lo, hi)) {
        return 0;
    }
    return indexOfLocked(f) - indexOfLocked(s);
}

core::Date ZozProjectCalendar::getWorkingDayByAddWorkingDays(core::Date date,
                                                             std::int64_t workingdays) const {
    const auto cal = core::Calendar::current();
    auto day = cal.localDayNumber(date);
    if (workingdays > 0) {
        std::int64_t counted = 0;
        do {
            if (isWorkingDayNumber(cal, day)) {
                ++counted;
            }
            ++day;
        } while (counted < workingdays);
        while (!isWorkingDayNumber(cal, day)) {
            ++day;
        }
    } else if (workingdays < 0) {
        std::int64_t counted = 0;
        do {
            if (isWorkingDayNumber(cal, day)) {
                --counted;
            }
            --day;
        } while (counted > workingdays);
        while (!isWorkingDayNumber(cal, day)) {
            --day;
        }
    } else {
        while (!isWorkingDayNumber(cal, day)) {
            ++day;
        }
    }
    return cal.startOfLocalDay(day);
}

core::Date ZozProjectCalendar::getNextWorkingDayFromDateIncludeCurrent(core::Date date) const {
    const auto cal = core::Calendar::current();
    auto day = cal.localDayNumber(date);
    while (!isWorkingDayNumber(cal, day)) {
        ++day;
    }
    return cal.startOfLocalDay(day);
}

core::Date ZozProjectCalendar::getPreviousWorkingDayFromDateIncludeCurrent(core::Date date) const {
    const auto cal = core::Calendar::current();
    auto day = cal.localDayNumber(date);
    while (!isWorkingDayNumber(cal, day)) {
        --day;
    }
    return cal.startOfLocalDay(day);
}

core::Date
ZozProjectCalendar::getFinishDateFromStartDateByWorkingDays(core::Date start,
                                                            std::int64_t workingdays) const {
    if (!isValidDate(start)) {
        return detail::addDays(start, workingdays);
    }
    const auto cal = core::Calendar::current();
    const auto s = cal.localDayNumber(start);
    std::int64_t steps = -1;
    {
        const std::unique_lock lock(m_mutex);
        if (m_mappings.empty()) {
            resetRangeLocked(cal, s, s);
        } else if (s < m_startDay) {
            resetRangeLocked(cal, s, m_endDay);
        } else if (s > m_endDay) {
            resetRangeLocked(cal, m_startDay, s);
        } else if (indexOfLocked(m_endDay) - indexOfLocked(s) < workingdays) {
            resetRangeLocked(cal, m_startDay, m_endDay);
        }
        if (workingdays <= 0) {
            return start;
        }
        if (coversLocked(s, s)) {
            // workingDayIndex never decreases, so the first entry reaching the target is found by
            // binary search. The count is compared as a difference from the start's index: adding
            // a huge count to that index would overflow.
            const auto i0 = static_cast<std::size_t>(s - m_startDay);
            const auto base = m_mappings[i0].workingDayIndex;
            const auto first = m_mappings.begin() + static_cast<std::ptrdiff_t>(i0 + 1);
            const auto found =
                std::lower_bound(first, m_mappings.end(), workingdays,
                                 [base](const DayMapItem& item, std::int64_t target) {
                                     return item.workingDayIndex - base < target;
                                 });
            if (found != m_mappings.end()) {
                steps = static_cast<std::int64_t>(found - m_mappings.begin()) -
                        static_cast<std::int64_t>(i0);
            }
        }
    }
    return detail::addDays(start, steps >= 0 ? steps : workingdays);
}

std::vector<std::int64_t> ZozProjectCalendar::getExceptionDayIndexsList() const {
    const auto cal = core::Calendar::current();
    const std::shared_lock lock(m_mutex);
    std::vector<std::int64_t> offsets;
    offsets.reserve(m_dayexceptions.size());
    for (const auto exception : m_dayexceptions) {
        offsets.push_back(cal.localDayNumber(exception) - kSingularityOriginDay);
    }
    return offsets;
}

std::vector<core::Date> ZozProjectCalendar::exceptions() const {
    const std::shared_lock lock(m_mutex);
    return m_dayexceptions;
}

std::optional<std::string> ZozProjectCalendar::rowData() const {
    // Sorting the day numbers gives the order of the dates and stays well-defined for a NaN date.
    auto offsets = getExceptionDayIndexsList();
    if (offsets.empty()) {
        return std::nullopt;
    }
    std::sort(offsets.begin(), offsets.end());
    std::string row;
    for (const auto offset : offsets) {
        if (!row.empty()) {
            row += ';';
        }
        row += std::to_string(offset);
    }
    return row;
}

std::shared_ptr<ZozProjectCalendar> ZozProjectCalendar::clone() const {
    std::int64_t first = 0;
    std::int64_t last = 0;
    {
        const std::shared_lock lock(m_mutex);
        first = m_startDay;
        last = m_endDay;
    }
    return std::make_shared<ZozProjectCalendar>(detail::startOfLocalDay(first),
                                                detail::startOfLocalDay(last),
                                                rowData().value_or(std::string()));
}

core::Date ZozProjectCalendar::mapStart() const {
    const std::shared_lock lock(m_mutex);
    return detail::startOfLocalDay(m_startDay);
}

core::Date ZozProjectCalendar::mapEnd() const {
    const std::shared_lock lock(m_mutex);
    return detail::startOfLocalDay(m_endDay);
}

} // namespace document
