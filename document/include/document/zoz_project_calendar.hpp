#pragma once

#include "core/date.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace core {
class Calendar;
}

namespace document {

/// A project's working-day calendar: Saturday and Sunday are off, every other day works, and each
/// listing of a day in the exception list flips it. Days are local civil days of the current
/// calendar; answers come from a day map that grows on demand. Every operation is safe to call
/// from several threads at once.
class ZozProjectCalendar {
public:
    /// One day of the map: whether it works and how many working days of the map precede it.
    struct DayMapItem {
        std::int64_t workingDayIndex = 0;
        bool isWorkingDay = false;
    };

    /// The local day number (days since 1970-01-01) of 2000-01-01, the origin of exception
    /// offsets.
    static constexpr std::int64_t kSingularityOriginDay = 10957;

    /// A calendar whose map spans the local days of `start` and `finish` (either order) with a
    /// year to spare on each side, with the exceptions of `singularities` (see
    /// `setDayExceptionString`).
    ZozProjectCalendar(core::Date start, core::Date finish, std::string_view singularities);
    ZozProjectCalendar(const ZozProjectCalendar&) = delete;
    ZozProjectCalendar& operator=(const ZozProjectCalendar&) = delete;

    /// Local midnight of 2000-01-01 in the current calendar.
    static core::Date singularityOriginalDate();

    /// Replaces the exceptions by the ";"-separated day offsets from 2000-01-01 (an optional sign
    /// then ASCII digits); unparsable pieces and days outside the valid document range are
    /// skipped; rebuilds the map.
    void setDayExceptionString(std::string_view singularities);
    /// Replaces the exceptions by `exceptions` as given (not validated) and rebuilds the map.
    void setDayExceptions(std::vector<core::Date> exceptions);
    /// Appends a valid `date` not on an already listed day; takes effect at the next rebuild.
    void addExceptionDay(core::Date date);
    /// Toggles the exception status of the day of `datetime` and rebuilds the map.
    void changeWorkingDay(core::Date datetime);

    /// Whether the local day of `date` is a working day.
    bool isWorkingDay(core::Date date) const;
    /// Whether local day number `day` is a working day.
    bool isWorkingDayNumber(std::int64_t day) const;
    /// The working days d with day(start) <= d < day(finish), negated when finish is earlier;
    /// 0 when either date lies outside the valid document range.
    std::int64_t countOfWorkingDays(core::Date start, core::Date finish) const;
    /// The start of the working day reached by stepping over `workingdays` working days from the
    /// day of `date` (0: the next working day, the day itself included).
    core::Date getWorkingDayByAddWorkingDays(core::Date date, std::int64_t workingdays) const;
    /// The start of the first working day from the day of `date` onwards.
    core::Date getNextWorkingDayFromDateIncludeCurrent(core::Date date) const;
    /// The start of the last working day up to the day of `date`.
    core::Date getPreviousWorkingDayFromDateIncludeCurrent(core::Date date) const;
    /// The exclusive finish (start's time of day kept) of a span of `workingdays` working days
    /// beginning at `start`; plain calendar days for an invalid start or too few working days.
    core::Date getFinishDateFromStartDateByWorkingDays(core::Date start,
                                                       std::int64_t workingdays) const;

    /// Each exception's day offset from 2000-01-01, in list order.
    std::vector<std::int64_t> getExceptionDayIndexsList() const;
    /// The exception list, in the order the days were added.
    std::vector<core::Date> exceptions() const;
    /// The sorted offsets joined by ";" (duplicates kept), or absent when there is no exception.
    std::optional<std::string> rowData() const;
    /// A new calendar over this one's map range and exceptions (as written and read back).
    std::shared_ptr<ZozProjectCalendar> clone() const;

    /// The first day of the map (start of day).
    core::Date mapStart() const;
    /// The last day of the map, included (start of day).
    core::Date mapEnd() const;

private:
    // Everything below is guarded by m_mutex: shared for lookups, exclusive for changes.
    // One calendar is fetched per operation and handed down: fetching it is far dearer than the
    // day arithmetic.
    bool coversLocked(std::int64_t first, std::int64_t last) const noexcept;
    void resetRangeLocked(const core::Calendar& cal, std::int64_t first, std::int64_t last) const;
    void rebuildLocked(const core::Calendar& cal) const;
    bool answerOutsideMapLocked(const core::Calendar& cal, std::int64_t day) const;
    std::int64_t indexOfLocked(std::int64_t day) const;
    void parseExceptionsLocked(const core::Calendar& cal, std::string_view singularities);
    bool isWorkingDayNumber(const core::Calendar& cal, std::int64_t day) const;

    mutable std::shared_mutex m_mutex;
    std::vector<core::Date> m_dayexceptions;
    mutable std::int64_t m_startDay = 0;
    mutable std::int64_t m_endDay = -1;
    mutable std::vector<DayMapItem> m_mappings;
};

} // namespace document
