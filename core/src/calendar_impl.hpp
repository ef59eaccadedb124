#pragma once

// Private to core: the ICU objects behind core::Calendar, shared with the formatters.

#include "core/calendar.hpp"

#include <unicode/basictz.h>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace core::detail {

/// The UTC offsets of one time zone as a sorted table of transitions, so that day arithmetic in
/// the common range needs no ICU call. Immutable once built, apart from the ICU fallback.
class ZoneTable {
public:
    /// The shared table of a zone id, built on first request; throws std::invalid_argument for an
    /// id ICU does not know.
    static std::shared_ptr<const ZoneTable> forZone(const std::string& zoneId);

    explicit ZoneTable(std::unique_ptr<icu::TimeZone> zone);

    /// The zone's id.
    const std::string& id() const noexcept { return m_id; }
    /// Local time minus UTC at instant `t` (seconds since 1970), in seconds.
    std::int32_t offsetAt(double t) const noexcept;
    /// The instant of local wall time `wall` (seconds since the local 1970-01-01 00:00). A repeated
    /// wall time gives its first occurrence. In a gap, `gapToTransition` gives the transition
    /// instant (the first valid instant), otherwise the wall time moved forward by the gap.
    double instantOfWall(double wall, bool gapToTransition) const noexcept;
    /// A new ICU zone equal to this one.
    std::unique_ptr<icu::TimeZone> makeIcuZone() const;

private:
    struct Transition {
        double at;
        std::int32_t offsetAfter;
    };
    struct Window {
        std::int32_t offsetBefore = 0;
        std::array<Transition, 8> transitions{};
        std::size_t count = 0;
    };
    Window windowAround(double lo, double hi) const noexcept;
    std::int32_t icuOffsetAt(double t) const noexcept;

    std::string m_id;
    double m_begin = 0.0;
    double m_end = 0.0;
    std::int32_t m_initialOffset = 0;
    std::vector<double> m_times;           // transition instants, ascending
    std::vector<std::int32_t> m_offsets;   // offset after each transition
    std::unique_ptr<icu::TimeZone> m_zone; // only under m_icuMutex
    mutable std::mutex m_icuMutex;
};

/// Everything a core::Calendar holds; immutable and shared by copies.
struct CalendarImpl {
    CalendarSettings settings; // week rules resolved
    std::shared_ptr<const ZoneTable> zone;
    icu::Locale locale;
    std::unique_ptr<icu::Calendar> prototype; // never used directly: cloned per thread
    std::uint64_t serial = 0;
};

/// A working ICU calendar cloned from a prototype, reused by the same thread: ICU calendars
/// change state on every query, so one is never shared.
class WorkingCalendar {
public:
    explicit WorkingCalendar(const CalendarImpl& impl);
    ~WorkingCalendar();
    WorkingCalendar(const WorkingCalendar&) = delete;
    WorkingCalendar& operator=(const WorkingCalendar&) = delete;
    icu::Calendar* operator->() const noexcept { return m_calendar.get(); }
    icu::Calendar& operator*() const noexcept { return *m_calendar; }

private:
    std::uint64_t m_serial;
    std::unique_ptr<icu::Calendar> m_calendar;
};

/// Turns a POSIX locale name ("de_DE.UTF-8@euro", "C") into an ICU locale id.
std::string icuLocaleId(std::string_view posixName);
/// A zone for an id: built from the system's compiled zone file when it can be read (the rules
/// the C library follows), else from ICU's own data; absent when neither knows the id.
std::unique_ptr<icu::TimeZone> makeKnownZone(const std::string& zoneId);
/// True when `makeKnownZone` would give a zone for the id; cheaper, as it makes none.
bool isKnownZone(const std::string& zoneId);
/// True when the system's compiled zone file for `zoneId` can be read as a zone (see
/// `systemZone`); makes no zone of its own.
bool hasSystemZone(const std::string& zoneId);
/// The zone of the system's compiled zone file for `zoneId` (under TZDIR, or
/// /usr/share/zoneinfo), read once per process; absent when there is no such readable file.
std::unique_ptr<icu::TimeZone> systemZone(const std::string& zoneId);
/// A zone named `zoneId` from the bytes of a compiled zone file: its transitions, then its rule
/// string for the years after them; absent when the bytes are not a usable zone file.
std::unique_ptr<icu::BasicTimeZone> zoneFromZoneFile(const std::string& zoneId,
                                                     std::string_view bytes);
/// Makes ICU's default time zone follow `zoneId` (only touches ICU when it changes).
void followIcuDefaultZone(const std::string& zoneId);

inline constexpr double kMaxAbsSeconds = 1.8e14; // about 5.7 million years: ICU's range

} // namespace core::detail
