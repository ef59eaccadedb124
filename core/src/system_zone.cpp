// Time zones read from the system's compiled zone files, so that the calendar agrees with the C
// library (and the system clock) rather than with the older rules compiled into ICU.
#include "calendar_impl.hpp"

#include <unicode/basictz.h>
#include <unicode/dtrule.h>
#include <unicode/rbtz.h>
#include <unicode/tzrule.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>

namespace core::detail {

namespace {

constexpr std::size_t kMaxZoneFileBytes = 1024 * 1024;
// Transitions before this (about 30,000 years ago) are the files' "big bang" markers: dropped.
constexpr double kEarliestTransition = -1e12;
// No zone has a transition after the year 10000; ICU, asked to follow the rule string from a
// year far beyond it, overflows its year arithmetic and lists transitions without end.
constexpr double kLatestTransition = 253402300800.0;
constexpr std::int32_t kMillisPerSecond = 1000;

// One local time type of a zone file.
struct LocalType {
    std::int32_t utcOffset = 0; // seconds east of UTC
    bool isDst = false;
    std::string name;
};

// A day of the year of a rule string: "Mm.w.d" (weekday rule) or "Jn" (day of a non-leap year).
struct RuleDay {
    int month = 1;   // 1...12
    int week = 0;    // 1...5 (5 = last) for a weekday rule, 0 for a fixed day
    int weekday = 0; // 0 = Sunday ... 6
    int day = 1;     // day of the month for a fixed day
    std::int32_t seconds = 2 * 3600;
};

// The rule string at the end of a zone file, for the years after its last transition.
struct FooterRule {
    std::string standardName;
    std::int32_t standardOffset = 0; // seconds east of UTC
    std::optional<std::string> dstName;
    std::int32_t dstOffset = 0;
    std::optional<RuleDay> dstStart;
    std::optional<RuleDay> dstEnd;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}
    bool has(std::size_t count) const noexcept { return m_bytes.size() - m_at >= count; }
    std::int64_t bigEndian(std::size_t width) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            value = (value << 8U) | static_cast<unsigned char>(m_bytes[m_at + i]);
        }
        m_at += width;
        if (width == 4) {
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        }
        return static_cast<std::int64_t>(value);
    }
    std::uint8_t byte() { return static_cast<std::uint8_t>(m_bytes[m_at++]); }
    void skip(std::size_t count) { m_at += count; }
    std::string_view rest() const noexcept { return m_bytes.substr(m_at); }
    std::size_t position() const noexcept { return m_at; }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

// Parses the rule string grammar of POSIX TZ values (with the zone-file extensions: quoted names
// and hours up to 167).
class RuleParser {
public:
    explicit RuleParser(std::string_view text) : m_text(text) {}

    std::optional<FooterRule> parse() {
        FooterRule rule;
        auto standardName = name();
        auto standardOffset = standardName ? offset() : std::nullopt;
        if (!standardOffset) {
            return std::nullopt;
        }
        rule.standardName = std::move(*standardName);
        rule.standardOffset = -*standardOffset; // the string counts west of UTC
        if (done()) {
            return rule;
        }
        rule.dstName = name();
        if (!rule.dstName) {
            return std::nullopt;
        }
        rule.dstOffset = rule.standardOffset + 3600;
        if (!done() && peek() != ',') {
            const auto dst = offset();
            if (!dst) {
                return std::nullopt;
            }
            rule.dstOffset = -*dst;
        }
        // Without dates the C library falls back to a built-in rule no zone file relies on.
        if (!accept(',') || !(rule.dstStart = ruleDay()) || !accept(',') ||
            !(rule.dstEnd = ruleDay()) || !done()) {
            return std::nullopt;
        }
        return rule;
    }

private:
    bool done() const noexcept { return m_at == m_text.size(); }
    char peek() const noexcept { return done() ? '\0' : m_text[m_at]; }
    bool accept(char c) {
        if (peek() == c && !done()) {
            ++m_at;
            return true;
        }
        return false;
    }
    std::optional<int> number(int maximum) {
        const std::size_t begin = m_at;
        int value = 0;
        while (!done() && std::isdigit(static_cast<unsigned char>(peek())) != 0) {
            value = value * 10 + (peek() - '0');
            ++m_at;
            if (value > maximum) {
                return std::nullopt;
            }
        }
        return m_at == begin ? std::nullopt : std::optional<int>(value);
    }
    std::optional<std::string> name() {
        const std::size_t begin = m_at;
        if (accept('<')) {
            const auto end = m_text.find('>', m_at);
            if (end == std::string_view::npos) {
                return std::nullopt;
            }
            std::string quoted(m_text.substr(m_at, end - m_at));
            m_at = end + 1;
            return quoted.empty() ? std::nullopt : std::optional<std::string>(quoted);
        }
        while (!done() && std::isalpha(static_cast<unsigned char>(peek())) != 0) {
            ++m_at;
        }
        if (m_at - begin < 3) {
            return std::nullopt;
        }
        return std::string(m_text.substr(begin, m_at - begin));
    }
    // [+-]hh[:mm[:ss]] in seconds, hours up to `maxHours`.
    std::optional<std::int32_t> offset(int maxHours = 24) {
        int sign = 1;
        if (accept('-')) {
            sign = -1;
        } else {
            accept('+');
        }
        const auto hours = number(maxHours);
        if (!hours) {
            return std::nullopt;
        }
        std::int32_t seconds = *hours * 3600;
        for (const int scale : {60, 1}) {
            if (!accept(':')) {
                break;
            }
            const auto part = number(59);
            if (!part) {
                return std::nullopt;
            }
            seconds += *part * scale;
        }
        return sign * seconds;
    }
    std::optional<RuleDay> ruleDay() {
        RuleDay day;
        if (accept('M')) {
            const auto month = number(12);
            const auto week = month && accept('.') ? number(5) : std::nullopt;
            const auto weekday = week && accept('.') ? number(6) : std::nullopt;
            if (!weekday || *month < 1 || *week < 1) {
                return std::nullopt;
            }
            day.month = *month;
            day.week = *week;
            day.weekday = *weekday;
        } else if (accept('J')) {
            const auto julian = number(365);
            if (!julian || *julian < 1) {
                return std::nullopt;
            }
            // Day n of a year without 29 February: a fixed month and day every year.
            static constexpr std::array<int, 12> kMonthDays = {31, 28, 31, 30, 31, 30,
                                                               31, 31, 30, 31, 30, 31};
            int remaining = *julian;
            day.month = 1;
            while (remaining > kMonthDays[static_cast<std::size_t>(day.month - 1)]) {
                remaining -= kMonthDays[static_cast<std::size_t>(day.month - 1)];
                ++day.month;
            }
            day.day = remaining;
        } else {
            // A zero-based day before 29 February is a fixed January or February day (the zone
            // compiler writes those so); a later one moves with leap years: no annual rule holds
            // it.
            const auto zeroBased = number(365);
            if (!zeroBased || *zeroBased >= 59) {
                return std::nullopt;
            }
            day.month = *zeroBased < 31 ? 1 : 2;
            day.day = *zeroBased < 31 ? *zeroBased + 1 : *zeroBased - 30;
        }
        if (accept('/')) {
            const auto time = offset(167);
            if (!time) {
                return std::nullopt;
            }
            day.seconds = *time;
        }
        return day;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

icu::UnicodeString unicode(const std::string& text) {
    return icu::UnicodeString::fromUTF8(text);
}

icu::DateTimeRule* dateTimeRule(const RuleDay& day) {
    const std::int32_t millis = day.seconds * kMillisPerSecond;
    if (day.week == 0) {
        return new icu::DateTimeRule(day.month - 1, day.day, millis, icu::DateTimeRule::WALL_TIME);
    }
    return new icu::DateTimeRule(day.month - 1, day.week == 5 ? -1 : day.week, day.weekday + 1,
                                 millis, icu::DateTimeRule::WALL_TIME);
}

std::int32_t utcYear(double seconds) {
    return static_cast<std::int32_t>(
        Calendar::civilFromDayNumber(static_cast<std::int64_t>(std::floor(seconds / 86400.0)))
            .year);
}

struct ParsedFile {
    std::vector<double> times; // seconds since 1970
    std::vector<std::size_t> typeOfTransition;
    std::vector<LocalType> types;
    std::string footer;
};

std::optional<ParsedFile> parseZoneFile(std::string_view bytes) {
    Reader reader(bytes);
    const auto header = [&](std::array<std::uint32_t, 6>& counts) -> std::optional<char> {
        if (!reader.has(44) || reader.rest().substr(0, 4) != "TZif") {
            return std::nullopt;
        }
        reader.skip(4);
        const char version = static_cast<char>(reader.byte());
        reader.skip(15);
        for (auto& count : counts) {
            count = static_cast<std::uint32_t>(reader.bigEndian(4));
        }
        return version;
    };
    // isutcnt, isstdcnt, leapcnt, timecnt, typecnt, charcnt
    std::array<std::uint32_t, 6> counts{};
    const auto version = header(counts);
    if (!version) {
        return std::nullopt;
    }
    const auto blockSize = [&](std::size_t timeWidth) {
        return std::size_t{counts[3]} * timeWidth + counts[3] + std::size_t{counts[4]} * 6 +
               counts[5] + std::size_t{counts[2]} * (timeWidth + 4) + counts[1] + counts[0];
    };
    std::size_t timeWidth = 4;
    if (*version != '\0') {
        // Version 2 and later repeat the data with 64-bit times after the 32-bit block.
        if (!reader.has(blockSize(4))) {
            return std::nullopt;
        }
        reader.skip(blockSize(4));
        if (!header(counts)) {
            return std::nullopt;
        }
        timeWidth = 8;
    }
    // Leap-second files count time differently from the C library's usual view: not used.
    if (counts[2] != 0 || counts[4] == 0 || !reader.has(blockSize(timeWidth))) {
        return std::nullopt;
    }
    ParsedFile file;
    file.times.reserve(counts[3]);
    for (std::uint32_t i = 0; i < counts[3]; ++i) {
        file.times.push_back(static_cast<double>(reader.bigEndian(timeWidth)));
    }
    for (std::uint32_t i = 0; i < counts[3]; ++i) {
        const std::size_t type = reader.byte();
        if (type >= counts[4]) {
            return std::nullopt;
        }
        file.typeOfTransition.push_back(type);
    }
    std::vector<std::size_t> nameIndex;
    for (std::uint32_t i = 0; i < counts[4]; ++i) {
        LocalType type;
        type.utcOffset = static_cast<std::int32_t>(reader.bigEndian(4));
        type.isDst = reader.byte() != 0;
        nameIndex.push_back(reader.byte());
        if (type.utcOffset <= -25 * 3600 || type.utcOffset >= 26 * 3600) {
            return std::nullopt;
        }
        file.types.push_back(type);
    }
    const std::string_view names = reader.rest().substr(0, counts[5]);
    for (std::size_t i = 0; i < file.types.size(); ++i) {
        if (nameIndex[i] < names.size()) {
            const std::string_view name = names.substr(nameIndex[i]);
            file.types[i].name = std::string(name.substr(0, name.find('\0')));
        }
    }
    reader.skip(blockSize(timeWidth) - std::size_t{counts[3]} * (timeWidth + 1) -
                std::size_t{counts[4]} * 6);
    if (timeWidth == 8) {
        const std::string_view rest = reader.rest();
        if (rest.size() >= 2 && rest.front() == '\n') {
            const auto end = rest.find('\n', 1);
            if (end != std::string_view::npos) {
                file.footer = std::string(rest.substr(1, end - 1));
            }
        }
    }
    if (!std::is_sorted(file.times.begin(), file.times.end()) ||
        (!file.times.empty() && file.times.back() >= kLatestTransition)) {
        return std::nullopt;
    }
    return file;
}

} // namespace

std::unique_ptr<icu::BasicTimeZone> zoneFromZoneFile(const std::string& zoneId,
                                                     std::string_view bytes) {
    const auto file = parseZoneFile(bytes);
    if (!file) {
        return nullptr;
    }
    // Daylight time is stored as standard offset plus savings: the standard offset of a
    // daylight type is the one of the nearest standard type around it.
    std::size_t first = 0;
    while (first < file->times.size() && file->times[first] < kEarliestTransition) {
        ++first;
    }
    const LocalType& initial =
        first == 0 ? file->types.front() : file->types[file->typeOfTransition[first - 1]];
    std::int32_t standard = initial.utcOffset;
    if (initial.isDst) {
        for (std::size_t i = first; i < file->times.size(); ++i) {
            if (const LocalType& type = file->types[file->typeOfTransition[i]]; !type.isDst) {
                standard = type.utcOffset;
                break;
            }
        }
    }
    auto zone = std::make_unique<icu::RuleBasedTimeZone>(
        unicode(zoneId),
        new icu::InitialTimeZoneRule(unicode(initial.name), standard * kMillisPerSecond,
                                     (initial.utcOffset - standard) * kMillisPerSecond));
    std::map<std::tuple<std::string, std::int32_t, std::int32_t>, std::vector<UDate>> rules;
    for (std::size_t i = first; i < file->times.size(); ++i) {
        const LocalType& type = file->types[file->typeOfTransition[i]];
        if (!type.isDst) {
            standard = type.utcOffset;
        }
        rules[{type.name, standard, type.utcOffset - standard}].push_back(file->times[i] *
                                                                          kMillisPerSecond);
    }
    UErrorCode status = U_ZERO_ERROR;
    for (const auto& [key, times] : rules) {
        const auto& [name, raw, savings] = key;
        zone->addTransitionRule(
            new icu::TimeArrayTimeZoneRule(
                unicode(name), raw * kMillisPerSecond, savings * kMillisPerSecond, times.data(),
                static_cast<std::int32_t>(times.size()), icu::DateTimeRule::UTC_TIME),
            status);
    }
    const auto footer = RuleParser(file->footer).parse();
    if (!footer && !file->footer.empty()) {
        // The years after the table follow a rule this reader cannot hold: ICU's own data is
        // closer than a zone frozen at its last transition.
        return nullptr;
    }
    if (footer && footer->dstName) {
        // The rule takes over after the last transition; from that transition's year on, its
        // next change is the first one after the table.
        const std::int32_t startYear =
            first < file->times.size() ? utcYear(file->times.back()) : 1970;
        const std::int32_t raw = std::min(footer->standardOffset, footer->dstOffset);
        zone->addTransitionRule(
            new icu::AnnualTimeZoneRule(unicode(footer->standardName), raw * kMillisPerSecond,
                                        (footer->standardOffset - raw) * kMillisPerSecond,
                                        dateTimeRule(*footer->dstEnd), startYear,
                                        icu::AnnualTimeZoneRule::MAX_YEAR),
            status);
        zone->addTransitionRule(
            new icu::AnnualTimeZoneRule(unicode(*footer->dstName), raw * kMillisPerSecond,
                                        (footer->dstOffset - raw) * kMillisPerSecond,
                                        dateTimeRule(*footer->dstStart), startYear,
                                        icu::AnnualTimeZoneRule::MAX_YEAR),
            status);
    }
    zone->complete(status);
    if (U_FAILURE(status)) {
        return nullptr;
    }
    return zone;
}

namespace {

// The folder of compiled zone files the C library reads.
std::string zoneFolder() {
    const char* folder = std::getenv("TZDIR"); // NOLINT(concurrency-mt-unsafe): read-only use
    return folder != nullptr && *folder != '\0' ? std::string(folder)
                                                : std::string("/usr/share/zoneinfo");
}

// True for an id that names a file below the zone folder and nothing else.
bool isZoneFileName(const std::string& zoneId) {
    if (zoneId.empty() || zoneId.size() > 255 || zoneId.front() == '/') {
        return false;
    }
    std::size_t start = 0;
    while (start <= zoneId.size()) {
        const auto end = std::min(zoneId.find('/', start), zoneId.size());
        const std::string_view part = std::string_view(zoneId).substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return std::all_of(zoneId.begin(), zoneId.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '/' || c == '_' ||
               c == '-' || c == '+' || c == '.';
    });
}

std::optional<std::string> readZoneFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(kMaxZoneFileBytes + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const auto count = static_cast<std::size_t>(in.gcount());
    if (count > kMaxZoneFileBytes || in.bad()) {
        return std::nullopt;
    }
    bytes.resize(count);
    return bytes;
}

} // namespace

namespace {

// A zone whose rules, built once from a zone file, are shared by all its copies. ICU copies a
// calendar's zone for many a calendar operation (the largest day of a month, for one), and a
// rule-based zone rebuilds its whole transition table on each copy: sharing the finished,
// never-changed rules makes a copy cost one reference count. Every query goes to those rules.
class SharedRulesZone final : public icu::BasicTimeZone {
public:
    explicit SharedRulesZone(std::shared_ptr<const icu::BasicTimeZone> rules)
        : icu::BasicTimeZone(idOf(*rules)), m_rules(std::move(rules)) {}

    static UClassID getStaticClassID() {
        static const char kClassId = 0;
        return const_cast<char*>(&kClassId);
    }
    UClassID getDynamicClassID() const override { return getStaticClassID(); }
    SharedRulesZone* clone() const override { return new SharedRulesZone(*this); }

    int32_t getOffset(uint8_t era, int32_t year, int32_t month, int32_t day, uint8_t dayOfWeek,
                      int32_t millis, UErrorCode& status) const override {
        return m_rules->getOffset(era, year, month, day, dayOfWeek, millis, status);
    }
    int32_t getOffset(uint8_t era, int32_t year, int32_t month, int32_t day, uint8_t dayOfWeek,
                      int32_t millis, int32_t monthLength, UErrorCode& status) const override {
        return m_rules->getOffset(era, year, month, day, dayOfWeek, millis, monthLength, status);
    }
    void getOffset(UDate date, UBool local, int32_t& rawOffset, int32_t& dstOffset,
                   UErrorCode& status) const override {
        m_rules->getOffset(date, local, rawOffset, dstOffset, status);
    }
    void getOffsetFromLocal(UDate date, UTimeZoneLocalOption nonExistingTimeOpt,
                            UTimeZoneLocalOption duplicatedTimeOpt, int32_t& rawOffset,
                            int32_t& dstOffset, UErrorCode& status) const override {
        m_rules->getOffsetFromLocal(date, nonExistingTimeOpt, duplicatedTimeOpt, rawOffset,
                                    dstOffset, status);
    }
    // The rules stay as the file gives them, as a rule-based zone does.
    void setRawOffset(int32_t /*offsetMillis*/) override {}
    int32_t getRawOffset() const override { return m_rules->getRawOffset(); }
    UBool useDaylightTime() const override { return m_rules->useDaylightTime(); }
    UBool inDaylightTime(UDate date, UErrorCode& status) const override {
        return m_rules->inDaylightTime(date, status);
    }
    UBool hasSameRules(const icu::TimeZone& other) const override {
        const auto* shared = dynamic_cast<const SharedRulesZone*>(&other);
        return m_rules->hasSameRules(shared != nullptr ? *shared->m_rules : other);
    }
    UBool getNextTransition(UDate base, UBool inclusive,
                            icu::TimeZoneTransition& result) const override {
        return m_rules->getNextTransition(base, inclusive, result);
    }
    UBool getPreviousTransition(UDate base, UBool inclusive,
                                icu::TimeZoneTransition& result) const override {
        return m_rules->getPreviousTransition(base, inclusive, result);
    }
    int32_t countTransitionRules(UErrorCode& status) const override {
        return m_rules->countTransitionRules(status);
    }
    void getTimeZoneRules(const icu::InitialTimeZoneRule*& initial,
                          const icu::TimeZoneRule* trsrules[], int32_t& trscount,
                          UErrorCode& status) const override {
        m_rules->getTimeZoneRules(initial, trsrules, trscount, status);
    }

private:
    static icu::UnicodeString idOf(const icu::TimeZone& zone) {
        icu::UnicodeString id;
        zone.getID(id);
        return id;
    }

    std::shared_ptr<const icu::BasicTimeZone> m_rules;
};

// The rules of a system zone file, read once per process; null when there is no usable file.
std::shared_ptr<const icu::BasicTimeZone> cachedSystemZone(const std::string& zoneId) {
    struct Zones {
        std::mutex mutex;
        // Null entries remember paths with no usable file. The rules are never changed.
        std::map<std::string, std::shared_ptr<const icu::BasicTimeZone>, std::less<>> byPath;
    };
    // Never destroyed: work on other threads may still count days while the process ends.
    static auto* const zones = new Zones;
    const std::string path = zoneFolder() + "/" + zoneId;
    const std::lock_guard lock(zones->mutex);
    auto found = zones->byPath.find(path);
    if (found == zones->byPath.end()) {
        std::shared_ptr<const icu::BasicTimeZone> rules;
        if (isZoneFileName(zoneId)) {
            if (const auto bytes = readZoneFile(path)) {
                rules = zoneFromZoneFile(zoneId, *bytes);
            }
        }
        found = zones->byPath.emplace(path, std::move(rules)).first;
    }
    return found->second;
}

} // namespace

bool hasSystemZone(const std::string& zoneId) {
    return cachedSystemZone(zoneId) != nullptr;
}

std::unique_ptr<icu::TimeZone> systemZone(const std::string& zoneId) {
    auto rules = cachedSystemZone(zoneId);
    return rules ? std::make_unique<SharedRulesZone>(std::move(rules)) : nullptr;
}

} // namespace core::detail
