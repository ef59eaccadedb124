#include "calendar_impl.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using core::Calendar;
using core::Date;
using core::detail::zoneFromZoneFile;

// A local time type of a zone file being written.
struct Type {
    std::int32_t utcOffset;
    bool isDst;
    std::uint8_t nameAt;
};

// The parts of a compiled zone file (version 2: a 32-bit block, then a 64-bit block and the rule
// string).
struct ZoneFile {
    std::vector<std::int64_t> times;
    std::vector<std::uint8_t> typeOfTransition;
    std::vector<Type> types;
    std::string names;
    std::string footer;
};

void putBigEndian(std::string& out, std::uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFFU));
    }
}

std::string bytesOf(const ZoneFile& file) {
    std::string out;
    for (const int width : {4, 8}) {
        out += "TZif2";
        out.append(15, '\0');
        for (const std::size_t count : {std::size_t{0}, std::size_t{0}, std::size_t{0},
                                        file.times.size(), file.types.size(), file.names.size()}) {
            putBigEndian(out, count, 4);
        }
        for (const std::int64_t time : file.times) {
            putBigEndian(out, static_cast<std::uint64_t>(time), width);
        }
        for (const std::uint8_t type : file.typeOfTransition) {
            out.push_back(static_cast<char>(type));
        }
        for (const Type& type : file.types) {
            putBigEndian(out, static_cast<std::uint32_t>(type.utcOffset), 4);
            out.push_back(type.isDst ? '\1' : '\0');
            out.push_back(static_cast<char>(type.nameAt));
        }
        out += file.names;
    }
    return out + "\n" + file.footer + "\n";
}

// Offset of the 64-bit block's header in `bytesOf(file)`.
std::size_t secondHeaderAt(const ZoneFile& file) {
    return 44 + file.times.size() * 5 + file.types.size() * 6 + file.names.size();
}

void putCount(std::string& bytes, std::size_t headerAt, int which, std::uint32_t count) {
    std::string encoded;
    putBigEndian(encoded, count, 4);
    bytes.replace(headerAt + 20 + 4 * static_cast<std::size_t>(which), 4, encoded);
}

// Two transitions, then a daylight-saving rule with weekday dates.
ZoneFile berlinLike() {
    return {{-2422054408, 1711846800},
            {0, 1},
            {{3600, false, 0}, {7200, true, 4}, {3600, false, 0}},
            std::string("CET\0CEST\0", 9),
            "CET-1CEST,M3.5.0,M10.5.0/3"};
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(SystemZone, DamagedOrHostileFilesGiveNoZone) {
    const ZoneFile file = berlinLike();
    const std::string good = bytesOf(file);
    ASSERT_NE(zoneFromZoneFile("Test/Good", good), nullptr);
    // Cut anywhere inside the header or the data blocks.
    for (std::size_t size = 0; size < good.size() - file.footer.size() - 2; ++size) {
        EXPECT_EQ(zoneFromZoneFile("Test/Cut", good.substr(0, size)), nullptr) << size;
    }
    const std::size_t second = secondHeaderAt(file);
    for (const std::size_t headerAt : {std::size_t{0}, second}) {
        for (int which = 0; which < 6; ++which) {
            // Counts far beyond the bytes that follow.
            std::string huge = good;
            putCount(huge, headerAt, which, 0xFFFFFFFFU);
            EXPECT_EQ(zoneFromZoneFile("Test/Huge", huge), nullptr) << headerAt << " " << which;
        }
    }
    // A transition naming a type that does not exist.
    std::string badType = good;
    badType[second + 44 + 2 * 8 + 1] = '\x03';
    EXPECT_EQ(zoneFromZoneFile("Test/BadType", badType), nullptr);
    // No types at all, leap seconds, an absurd offset, transitions out of order.
    std::string noTypes = good;
    putCount(noTypes, second, 4, 0);
    EXPECT_EQ(zoneFromZoneFile("Test/NoTypes", noTypes), nullptr);
    std::string leaps = good;
    putCount(leaps, second, 2, 1);
    EXPECT_EQ(zoneFromZoneFile("Test/Leaps", leaps), nullptr);
    ZoneFile absurd = file;
    absurd.types[1].utcOffset = 30 * 3600;
    EXPECT_EQ(zoneFromZoneFile("Test/Absurd", bytesOf(absurd)), nullptr);
    ZoneFile unsorted = file;
    std::swap(unsorted.times[0], unsorted.times[1]);
    EXPECT_EQ(zoneFromZoneFile("Test/Unsorted", bytesOf(unsorted)), nullptr);
    // A transition a billion years from now, with a rule string after it.
    ZoneFile far = file;
    far.times.push_back(35465849205580656);
    far.typeOfTransition.push_back(0);
    EXPECT_EQ(zoneFromZoneFile("Test/Far", bytesOf(far)), nullptr);
    // A rule string that cannot be followed: ICU's data serves the zone rather than a zone frozen
    // at its last transition.
    for (const char* footer : {"CET-1CEST,M3.5.0", "CET-1CEST,M13.5.0,M10.5.0",
                               "CET-1CEST,100,J300", "CET-1CEST,M3.5.0,M10.5.0/x", "C-1"}) {
        ZoneFile broken = file;
        broken.footer = footer;
        EXPECT_EQ(zoneFromZoneFile("Test/Rule", bytesOf(broken)), nullptr) << footer;
    }
    // A name index past the names, and a transition at the start of time, still read safely.
    ZoneFile odd = file;
    odd.types[1].nameAt = 200;
    odd.times = {INT64_MIN, 4102444800};
    odd.footer.clear();
    auto zone = zoneFromZoneFile("Test/Odd", bytesOf(odd));
    ASSERT_NE(zone, nullptr);
    const core::detail::ZoneTable table(std::move(zone));
    EXPECT_EQ(table.offsetAt(0.0), 3600);
}

TEST(SystemZone, RuleStringsWithFixedDaysFollowTheCLibrary) {
    // The zone compiler writes a fixed day as "Jn" (day of a year without 29 February) and, in
    // January and February, as a zero-based day "n"; both hold in leap years too.
    const fs::path folder = fs::temp_directory_path() / ("vt-zones-" + std::to_string(::getpid()));
    fs::create_directories(folder / "Test");
    struct Case {
        const char* id;
        std::int32_t standard;
        std::int32_t daylight;
        const char* names;
        const char* footer;
    };
    for (const Case& c :
         {Case{"Test/Julian", -3 * 3600, -2 * 3600, "-03\0-02", "<-03>3<-02>,J60,J300/3"},
          Case{"Test/ZeroBased", 4 * 3600, 5 * 3600, "+04\0+05", "<+04>-4<+05>,40,J305"},
          Case{"Test/January", 3600, 7200, "+01\0+02", "<+01>-1<+02>,0/5,58/-1"}}) {
        SCOPED_TRACE(c.id);
        // The C library follows the rule string only after a transition.
        const ZoneFile file{{1577836800},
                            {0},
                            {{c.standard, false, 0}, {c.daylight, true, 4}},
                            std::string(c.names, 8),
                            c.footer};
        std::ofstream(folder / c.id, std::ios::binary) << bytesOf(file);
        const ScopedEnv zoneFolder("TZDIR", folder.c_str());
        const ScopedEnv tz("TZ", c.id);
        ::tzset();
        const Calendar calendar = Calendar::withSettings({c.id, "en_US", {}, {}});
        const double end = static_cast<double>(Calendar::dayNumberFromCivil(2030, 1, 1)) * 86400.0;
        for (double t = static_cast<double>(Calendar::dayNumberFromCivil(2023, 1, 1)) * 86400.0;
             t < end; t += 1800.0) {
            const auto seconds = static_cast<std::time_t>(t);
            std::tm local{};
            ASSERT_NE(::localtime_r(&seconds, &local), nullptr);
            ASSERT_EQ(calendar.utcOffset(Date(t)), local.tm_gmtoff) << t;
        }
    }
    ::tzset();
    fs::remove_all(folder);
}

TEST(SystemZone, IdsNeverNameAFileOutsideTheZoneFolder) {
    for (const char* id : {"../../etc/passwd", "/etc/passwd", "Europe/../../../etc/passwd", "./UTC",
                           "Europe//Berlin", "Europe/Berlin/", "", "Europe/Ber\nlin"}) {
        EXPECT_FALSE(core::detail::hasSystemZone(id)) << id;
        EXPECT_EQ(core::detail::systemZone(id), nullptr) << id;
    }
    EXPECT_TRUE(core::detail::hasSystemZone("Europe/Berlin"));
}

} // namespace
