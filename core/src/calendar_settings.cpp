#include "calendar_impl.hpp"

#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include <unistd.h>

namespace core {

namespace {

struct OverrideStack {
    std::mutex mutex;
    std::vector<std::pair<std::uint64_t, CalendarSettings>> entries;
    std::uint64_t nextToken = 1;
};

OverrideStack& overrides() {
    // Never destroyed, like every state the calendar reads: work on other threads may still
    // count days while the process ends.
    static auto* const stack = new OverrideStack;
    return *stack;
}

std::string envValue(const char* name) {
    const char* value = std::getenv(name); // NOLINT(concurrency-mt-unsafe): read-only use
    return value != nullptr ? std::string(value) : std::string();
}

// "/usr/share/zoneinfo/Europe/Berlin" (also under posix/ or right/) -> "Europe/Berlin".
std::string zoneIdFromPath(std::string_view path) {
    constexpr std::string_view kMarker = "zoneinfo/";
    const auto at = path.rfind(kMarker);
    if (at == std::string_view::npos) {
        return {};
    }
    std::string_view id = path.substr(at + kMarker.size());
    for (const std::string_view prefix : {std::string_view("posix/"), std::string_view("right/")}) {
        if (id.substr(0, prefix.size()) == prefix) {
            id.remove_prefix(prefix.size());
        }
    }
    return std::string(id);
}

std::string hostZoneId() {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/etc/localtime", buffer.data(), buffer.size() - 1);
    if (length > 0) {
        std::string id =
            zoneIdFromPath(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
        if (detail::isKnownZone(id)) {
            return id;
        }
    }
    std::ifstream file("/etc/timezone");
    std::string line;
    if (file && std::getline(file, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
            line.pop_back();
        }
        if (detail::isKnownZone(line)) {
            return line;
        }
    }
    std::unique_ptr<icu::TimeZone> detected(icu::TimeZone::detectHostTimeZone());
    if (detected) {
        icu::UnicodeString id;
        detected->getID(id);
        std::string text;
        id.toUTF8String(text);
        if (detail::isKnownZone(text)) {
            return text;
        }
    }
    return "UTC";
}

// /etc/localtime is a file lookup: read again at most once a second.
std::string cachedHostZoneId() {
    struct HostZone {
        std::mutex mutex;
        std::string id;
        std::chrono::steady_clock::time_point readAt;
    };
    static auto* const host = new HostZone; // never destroyed, as above
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard lock(host->mutex);
    if (host->id.empty() || now - host->readAt >= std::chrono::seconds(1)) {
        host->id = hostZoneId();
        host->readAt = now;
    }
    return host->id;
}

std::string zoneIdFromEnvironment() {
    const char* tz = std::getenv("TZ"); // NOLINT(concurrency-mt-unsafe): read-only use
    if (tz == nullptr) {
        return cachedHostZoneId();
    }
    std::string_view value(tz);
    if (value.empty()) {
        return "UTC"; // the C library's reading of an empty TZ
    }
    if (value.front() == ':') {
        value.remove_prefix(1);
    }
    std::string id(value);
    if (!value.empty() && value.front() == '/') {
        id = zoneIdFromPath(value);
    }
    if (detail::isKnownZone(id)) {
        return id;
    }
    return cachedHostZoneId();
}

std::string localeIdFromEnvironment() {
    std::string name = envValue("LC_ALL");
    if (name.empty()) {
        name = envValue("LANG");
    }
    return detail::icuLocaleId(name);
}

} // namespace

namespace detail {

std::string icuLocaleId(std::string_view posixName) {
    const auto end = posixName.find_first_of(".@");
    const std::string_view base = posixName.substr(0, end);
    if (base.empty() || base == "C" || base == "POSIX") {
        return "en_US_POSIX";
    }
    return std::string(base);
}

void followIcuDefaultZone(const std::string& zoneId) {
    struct Applied {
        std::mutex mutex;
        std::string zoneId;
    };
    static auto* const applied = new Applied; // never destroyed, as above
    const std::lock_guard lock(applied->mutex);
    if (zoneId == applied->zoneId) {
        return;
    }
    if (auto zone = makeKnownZone(zoneId)) {
        icu::TimeZone::adoptDefault(zone.release());
        applied->zoneId = zoneId;
    }
}

} // namespace detail

CalendarSettings CalendarSettings::current() {
    {
        OverrideStack& stack = overrides();
        const std::lock_guard lock(stack.mutex);
        if (!stack.entries.empty()) {
            return stack.entries.back().second;
        }
    }
    return CalendarSettings{zoneIdFromEnvironment(), localeIdFromEnvironment(), {}, {}};
}

ScopedCalendarOverride::ScopedCalendarOverride(std::string_view zoneId, std::string_view localeId,
                                               std::optional<int> firstWeekday,
                                               std::optional<int> minimumDaysInFirstWeek)
    : ScopedCalendarOverride(CalendarSettings{std::string(zoneId), std::string(localeId),
                                              firstWeekday, minimumDaysInFirstWeek}) {}

ScopedCalendarOverride::ScopedCalendarOverride(CalendarSettings settings) : m_token(0) {
    if (!detail::isKnownZone(settings.zoneId)) {
        throw std::invalid_argument("unknown time zone: " + settings.zoneId);
    }
    if (settings.firstWeekday && (*settings.firstWeekday < 1 || *settings.firstWeekday > 7)) {
        throw std::invalid_argument("first weekday outside 1...7");
    }
    if (settings.minimumDaysInFirstWeek &&
        (*settings.minimumDaysInFirstWeek < 1 || *settings.minimumDaysInFirstWeek > 7)) {
        throw std::invalid_argument("minimum days in first week outside 1...7");
    }
    const std::string zoneId = settings.zoneId;
    {
        OverrideStack& stack = overrides();
        const std::lock_guard lock(stack.mutex);
        m_token = stack.nextToken++;
        stack.entries.emplace_back(m_token, std::move(settings));
    }
    detail::followIcuDefaultZone(zoneId);
}

ScopedCalendarOverride::~ScopedCalendarOverride() {
    {
        OverrideStack& stack = overrides();
        const std::lock_guard lock(stack.mutex);
        const auto it = std::find_if(stack.entries.begin(), stack.entries.end(),
                                     [this](const auto& entry) { return entry.first == m_token; });
        if (it != stack.entries.end()) {
            stack.entries.erase(it);
        }
    }
    try {
        detail::followIcuDefaultZone(CalendarSettings::current().zoneId);
    } catch (...) { // NOLINT(bugprone-empty-catch): a destructor must not throw
    }
}

} // namespace core
