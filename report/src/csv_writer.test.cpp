#include "report/csv_writer.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace {

using report::CsvWriter;
using report::shortestText;

TEST(CsvWriter, QuotesOnlyWhatNeedsQuoting) {
    const CsvWriter writer;
    EXPECT_EQ(writer.csv({{"say \"hi\"", "1,5", "a;b", "abc", ""}}),
              "\"say \"\"hi\"\"\",\"1,5\",\"a;b\",abc,\n");
    EXPECT_EQ(writer.csv({{"two\nlines", "cr\rhere"}, {}}), "\"two\nlines\",\"cr\rhere\"\n\n");
    EXPECT_EQ(writer.csv(0, 3, [](std::size_t, std::size_t) { return std::string("x"); }), "");
    EXPECT_EQ(writer.csv(2, 0, [](std::size_t, std::size_t) { return std::string("x"); }), "\n\n");
    EXPECT_EQ(writer.csv(2, 3,
                         [](std::size_t row, std::size_t column) {
                             return column == 1 ? std::string() : std::to_string(row) + "c";
                         }),
              "0c,,0c\n1c,,1c\n");
}

TEST(CsvWriter, ShortestTextLaysOutDigitsAsThePlatformDoes) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {12.5, "12.5"},
        {40.0, "40.0"},
        {-3.0, "-3.0"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.3333333333333333"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {-0.000012, "-1.2e-05"},
        {123456789.0, "123456789.0"},
        {9007199254740992.0, "9007199254740992.0"},
        {1e16, "1e+16"},
        {1.5e300, "1.5e+300"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shortestText(c.value), c.text) << c.text;
    }
}

TEST(CsvWriter, NamesThatLookLikeFormulasAreDefused) {
    EXPECT_EQ(report::spreadsheetSafeName("=SUM(A1)"), "'=SUM(A1)");
    EXPECT_EQ(report::spreadsheetSafeName("+1"), "'+1");
    EXPECT_EQ(report::spreadsheetSafeName("-x"), "'-x");
    EXPECT_EQ(report::spreadsheetSafeName("@cmd"), "'@cmd");
    EXPECT_EQ(report::spreadsheetSafeName("\tTab"), "'\tTab");
    EXPECT_EQ(report::spreadsheetSafeName("\rCR"), "'\rCR");
    EXPECT_EQ(report::spreadsheetSafeName("Anna = Lead"), "Anna = Lead");
    EXPECT_EQ(report::spreadsheetSafeName(""), "");
}

} // namespace
