#include "calendar_impl.hpp"

#include <unicode/tztrans.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <map>
#include <stdexcept>

namespace core::detail {

namespace {

// The table covers 1800-01-01 to 2300-01-01 (UTC); outside it ICU answers, under a lock.
constexpr double kTableBegin = -5364662400.0;
constexpr double kTableEnd = 10413792000.0;
// Real zones change their rules at most a few times a year; this is over ten a year for the
// table's five centuries.
constexpr std::size_t kMaxTableTransitions = 5000;
constexpr double kWindowHalfWidth = 27.0 * 3600.0; // more than any UTC offset

std::int32_t toSeconds(std::int32_t millis) noexcept {
    return millis / 1000;
}

} // namespace

std::unique_ptr<icu::TimeZone> makeKnownZone(const std::string& zoneId) {
    if (zoneId.empty()) {
        return nullptr;
    }
    if (auto zone = systemZone(zoneId)) {
        return zone;
    }
    std::unique_ptr<icu::TimeZone> zone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneId)));
    icu::UnicodeString id;
    if (!zone || zone->getID(id) == icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID)) {
        return nullptr;
    }
    return zone;
}

bool isKnownZone(const std::string& zoneId) {
    return !zoneId.empty() && (hasSystemZone(zoneId) || makeKnownZone(zoneId) != nullptr);
}

std::shared_ptr<const ZoneTable> ZoneTable::forZone(const std::string& zoneId) {
    struct Tables {
        std::mutex mutex;
        std::map<std::string, std::shared_ptr<const ZoneTable>, std::less<>> byZone;
    };
    // Never destroyed: work on other threads may still count days while the process ends.
    static auto* const tables = new Tables;
    {
        const std::lock_guard lock(tables->mutex);
        if (const auto found = tables->byZone.find(zoneId); found != tables->byZone.end()) {
            return found->second;
        }
    }
    auto zone = makeKnownZone(zoneId);
    if (!zone) {
        throw std::invalid_argument("unknown time zone: " + zoneId);
    }
    auto table = std::make_shared<const ZoneTable>(std::move(zone));
    const std::lock_guard lock(tables->mutex);
    return tables->byZone.emplace(zoneId, std::move(table)).first->second;
}

ZoneTable::ZoneTable(std::unique_ptr<icu::TimeZone> zone)
    : m_begin(kTableBegin), m_end(kTableEnd), m_zone(std::move(zone)) {
    icu::UnicodeString id;
    m_zone->getID(id);
    id.toUTF8String(m_id);

    UErrorCode status = U_ZERO_ERROR;
    std::int32_t raw = 0;
    std::int32_t dst = 0;
    m_zone->getOffset(m_begin * 1000.0, false, raw, dst, status);
    m_initialOffset = U_SUCCESS(status) ? toSeconds(raw + dst) : 0;

    const auto* basic = dynamic_cast<const icu::BasicTimeZone*>(m_zone.get());
    if (basic == nullptr) {
        return;
    }
    std::int32_t previous = m_initialOffset;
    icu::TimeZoneTransition transition;
    UDate base = m_begin * 1000.0;
    // A zone read from a damaged or hostile file can make ICU answer with transitions that never
    // move on, or with ever more of them: the walk stops where no real zone goes, and the table
    // keeps the offsets it met until then.
    std::size_t steps = 0;
    while (basic->getNextTransition(base, false, transition)) {
        if (!(transition.getTime() > base) || ++steps > kMaxTableTransitions) {
            break;
        }
        base = transition.getTime();
        if (base >= m_end * 1000.0) {
            break;
        }
        const icu::TimeZoneRule* to = transition.getTo();
        if (to == nullptr) {
            continue;
        }
        const std::int32_t offset = toSeconds(to->getRawOffset() + to->getDSTSavings());
        if (offset != previous) {
            m_times.push_back(base / 1000.0);
            m_offsets.push_back(offset);
            previous = offset;
        }
    }
}

std::unique_ptr<icu::TimeZone> ZoneTable::makeIcuZone() const {
    const std::lock_guard lock(m_icuMutex);
    return std::unique_ptr<icu::TimeZone>(m_zone->clone());
}

std::int32_t ZoneTable::icuOffsetAt(double t) const noexcept {
    const std::lock_guard lock(m_icuMutex);
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t raw = 0;
    std::int32_t dst = 0;
    m_zone->getOffset(t * 1000.0, false, raw, dst, status);
    return U_SUCCESS(status) ? toSeconds(raw + dst) : 0;
}

std::int32_t ZoneTable::offsetAt(double t) const noexcept {
    if (!std::isfinite(t)) {
        return m_initialOffset;
    }
    if (t < m_begin) {
        return m_initialOffset;
    }
    if (t >= m_end) {
        return icuOffsetAt(t);
    }
    const auto after = std::upper_bound(m_times.begin(), m_times.end(), t);
    if (after == m_times.begin()) {
        return m_initialOffset;
    }
    return m_offsets[static_cast<std::size_t>(after - m_times.begin() - 1)];
}

ZoneTable::Window ZoneTable::windowAround(double lo, double hi) const noexcept {
    Window window;
    window.offsetBefore = offsetAt(lo);
    if (hi < m_begin) {
        return window;
    }
    if (hi < m_end) {
        auto it = std::upper_bound(m_times.begin(), m_times.end(), lo);
        for (; it != m_times.end() && *it <= hi && window.count < window.transitions.size(); ++it) {
            const auto index = static_cast<std::size_t>(it - m_times.begin());
            window.transitions[window.count++] = {*it, m_offsets[index]};
        }
        return window;
    }
    const auto* basic = dynamic_cast<const icu::BasicTimeZone*>(m_zone.get());
    if (basic == nullptr) {
        return window;
    }
    const std::lock_guard lock(m_icuMutex);
    icu::TimeZoneTransition transition;
    UDate base = lo * 1000.0;
    std::int32_t previous = window.offsetBefore;
    while (window.count < window.transitions.size() &&
           basic->getNextTransition(base, false, transition) &&
           transition.getTime() <= hi * 1000.0) {
        base = transition.getTime();
        const icu::TimeZoneRule* to = transition.getTo();
        if (to == nullptr) {
            continue;
        }
        const std::int32_t offset = toSeconds(to->getRawOffset() + to->getDSTSavings());
        if (offset != previous) {
            window.transitions[window.count++] = {base / 1000.0, offset};
            previous = offset;
        }
    }
    return window;
}

double ZoneTable::instantOfWall(double wall, bool gapToTransition) const noexcept {
    if (!std::isfinite(wall)) {
        return wall;
    }
    const Window window = windowAround(wall - kWindowHalfWidth, wall + kWindowHalfWidth);
    // Segments in time order: the earliest instant whose wall time matches wins, which is the
    // first occurrence of a repeated wall time.
    std::int32_t offset = window.offsetBefore;
    double segmentBegin = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i <= window.count; ++i) {
        const double segmentEnd =
            i < window.count ? window.transitions[i].at : std::numeric_limits<double>::infinity();
        const double candidate = wall - offset;
        if (candidate >= segmentBegin && candidate < segmentEnd) {
            return candidate;
        }
        if (i < window.count) {
            segmentBegin = segmentEnd;
            offset = window.transitions[i].offsetAfter;
        }
    }
    // No instant shows this wall time: it lies in a gap that some transition jumps over.
    offset = window.offsetBefore;
    for (std::size_t i = 0; i < window.count; ++i) {
        const Transition& transition = window.transitions[i];
        if (transition.at + offset <= wall && wall < transition.at + transition.offsetAfter) {
            return gapToTransition ? transition.at : wall - offset;
        }
        offset = transition.offsetAfter;
    }
    return wall - window.offsetBefore;
}

} // namespace core::detail
