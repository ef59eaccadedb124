#include "core/numbers.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

using namespace core;

constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
constexpr auto kMin = std::numeric_limits<std::int64_t>::min();

TEST(Numbers, IntegerConversionsSaturate) {
    EXPECT_EQ(toString(-5), "-5");
    EXPECT_EQ(toString(0), "0");
    EXPECT_EQ(toString(kMin), "-9223372036854775808");
    EXPECT_EQ(toUInt32(-1), 0U);
    EXPECT_EQ(toUInt32(std::int64_t{5000000000}), 4294967295U);
    EXPECT_EQ(toUInt32(42), 42U);
    EXPECT_EQ(toInt(std::uint32_t{4294967295U}), 4294967295);
    EXPECT_EQ(toInt(std::numeric_limits<std::uint64_t>::max()), kMax);
    EXPECT_DOUBLE_EQ(toDouble(3), 3.0);
    EXPECT_FLOAT_EQ(toFloat(std::int64_t{16777217}), 16777216.0F);
}

TEST(Numbers, FloatToIntegerTruncatesRoundsAndSaturates) {
    EXPECT_EQ(toInt(-2.7), -2);
    EXPECT_EQ(toInt(2.7), 2);
    EXPECT_EQ(toFloorInt(-2.5), -3);
    EXPECT_EQ(toCeilInt(-2.5), -2);
    EXPECT_EQ(toCeilInt(2.1), 3);
    EXPECT_EQ(toInt(1e300), kMax);
    EXPECT_EQ(toInt(-1e300), kMin);
    EXPECT_EQ(toInt(9223372036854775808.0), kMax);
    EXPECT_EQ(toInt(-9223372036854775808.0), kMin);
    EXPECT_EQ(toFloorInt(std::numeric_limits<double>::infinity()), kMax);
    EXPECT_EQ(toCeilInt(-std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(toInt(std::nan("")), 0);
    EXPECT_DOUBLE_EQ(ceiled(1.01), 2.0);
}

TEST(Numbers, DoubleTextIsShortestWithAPoint) {
    EXPECT_EQ(toString(3.0), "3.0");
    EXPECT_EQ(toString(0.1), "0.1");
    EXPECT_EQ(toString(1.5), "1.5");
    EXPECT_EQ(toString(-0.25), "-0.25");
    EXPECT_EQ(toString(0.0), "0.0");
    EXPECT_EQ(toString(0.0001), "0.0001");
    EXPECT_EQ(toString(0.00001), "1e-05");
    EXPECT_EQ(toString(1e15), "1000000000000000.0");
    EXPECT_EQ(toString(1e16), "1e+16");
    EXPECT_EQ(toString(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(toString(std::nan("")), "nan");
}

TEST(Numbers, LocaleFormatting) {
    {
        const ScopedCalendarOverride locale("UTC", "en_US");
        EXPECT_EQ(spellout(42), "forty-two");
        EXPECT_EQ(toDecimalString(1.5, 2, std::nullopt), "1.50");
        EXPECT_EQ(toDecimalString(1.23456, std::nullopt, 0), "1.235");
        EXPECT_EQ(toDecimalString(1234.5, 0, 1), "1,234.5");
        EXPECT_EQ(toDecimalString(1.25, -1, 1), "1.2");
        EXPECT_EQ(toDecimalString(1.5, std::nullopt, std::nullopt), "1.5");
        EXPECT_FALSE(toDecimalString(1.5, kMax, std::nullopt).empty());
    }
    {
        const ScopedCalendarOverride locale("UTC", "de_DE");
        EXPECT_EQ(toDecimalString(1234.5, 2, 2), "1.234,50");
        EXPECT_EQ(spellout(2), "zwei");
    }
}

TEST(Numbers, BooleansScopedAndOptionals) {
    EXPECT_EQ(toString(true, "yes", "no"), "yes");
    EXPECT_TRUE(negated(false));
    EXPECT_FALSE(isSomeTrue(std::nullopt));
    EXPECT_TRUE(isSomeTrue(true));

    EXPECT_EQ(scoped(5, 0, 3), 3);
    EXPECT_EQ(scoped(-1, 0, 3), 0);
    EXPECT_EQ(scoped(3, 4, 2), 4);
    EXPECT_EQ(scoped(5, 4, 2), 2);

    const std::optional<int> none;
    EXPECT_EQ(plusOptional(none, std::optional<int>(4)), 4);
    EXPECT_EQ(plusOptional(std::optional<int>(2), std::optional<int>(4)), 6);
    EXPECT_FALSE(plusOptional(none, none));
    EXPECT_EQ(plusOptional(std::optional<std::int64_t>(kMax), std::optional<std::int64_t>(1)),
              kMax);

    int made = 0;
    EXPECT_EQ(orElse(std::optional<int>(1), [&] { return ++made; }), 1);
    EXPECT_EQ(orElse(none, [&] { return ++made; }), 1);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(orDefault(none, 9), 9);
    EXPECT_TRUE(isNone(none));
    EXPECT_THROW(orThrow(none, VtError::failure("missing")), VtError);
    int seen = 0;
    whenSome(std::optional<int>(3), [&](int v) { seen = v; });
    EXPECT_EQ(seen, 3);
}

TEST(Numbers, ResultsAndErrors) {
    const auto ok = Result<int>::catching([] { return 1; });
    const auto failed = Result<int>::catching([]() -> int { throw VtError::failure("bad"); });
    EXPECT_TRUE(ok.isSuccess());
    EXPECT_FALSE(ok.error());
    EXPECT_TRUE(failed.isFailure());
    EXPECT_THROW(failed.get(), VtError);

    const DomainError coded = DomainError::coded(7);
    EXPECT_EQ(coded.domain(), "");
    EXPECT_EQ(coded.errorCode(), 7);
    EXPECT_EQ(coded.localizedDescription(),
              "The operation couldn\u2019t be completed. ( error 7.)");
    const DomainError described = DomainError::create(
        "Io", 2, {{std::string(DomainError::kLocalizedDescriptionKey), std::string("Disk full")}});
    EXPECT_EQ(described.localizedDescription(), "Disk full");
    EXPECT_EQ(VtError::failure("").localizedDescription(), "");
    EXPECT_EQ(VtError::failure("why").localizedDescription(), "why");

    EXPECT_FALSE(VtTry::trueOrFalse([] { throw std::runtime_error("x"); }));
    EXPECT_TRUE(VtTry::trueOrFalse([] {}));
    EXPECT_NO_THROW(VtTry::doNotCareError([] { throw VtError::failure("x"); }));
}

} // namespace
