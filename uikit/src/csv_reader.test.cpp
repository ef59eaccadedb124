#include "uikit/csv_reader.hpp"

#include <gtest/gtest.h>

namespace {

using uikit::CsvEnding;
using uikit::CsvFormatError;
using uikit::CsvRecord;
using uikit::readCsv;
using Records = std::vector<CsvRecord>;

TEST(CsvReader, QuotedFieldsKeepCommasDoubledQuotesAndLineBreaks) {
    EXPECT_EQ(readCsv("a,\"1,5\",c\n"), (Records{{"a", "1,5", "c"}}));
    EXPECT_EQ(readCsv("\"say \"\"hi\"\"\",x\n"), (Records{{"say \"hi\"", "x"}}));
    EXPECT_EQ(readCsv("\"two\nlines\",\"cr\r\nlf\"\nnext\n"),
              (Records{{"two\nlines", "cr\r\nlf"}, {"next"}}));
    EXPECT_EQ(readCsv("\"\"\n"), (Records{{""}}));
    EXPECT_EQ(readCsv("\"a;b\",\"\"\"\"\n"), (Records{{"a;b", "\""}}));
}

TEST(CsvReader, LineEndingsAndEmptyFields) {
    // A final line break adds no record; a missing one loses none.
    EXPECT_EQ(readCsv("a,b\nc,d\n"), (Records{{"a", "b"}, {"c", "d"}}));
    EXPECT_EQ(readCsv("a,b\nc,d"), (Records{{"a", "b"}, {"c", "d"}}));
    EXPECT_EQ(readCsv("a,b\r\nc,d\r\n"), (Records{{"a", "b"}, {"c", "d"}}));
    EXPECT_EQ(readCsv("a\rb\r"), (Records{{"a"}, {"b"}}));
    EXPECT_EQ(readCsv(",,\n"), (Records{{"", "", ""}}));
    EXPECT_EQ(readCsv("a,"), (Records{{"a", ""}}));
    EXPECT_EQ(readCsv("a,\n"), (Records{{"a", ""}}));
    EXPECT_EQ(readCsv("\"q\","), (Records{{"q", ""}}));
    EXPECT_EQ(readCsv("\n\n"), (Records{{""}, {""}}));
    EXPECT_TRUE(readCsv("").empty());
    // Non-ASCII text passes through byte for byte.
    EXPECT_EQ(readCsv("Zoë,€12\n"), (Records{{"Zoë", "€12"}}));
}

TEST(CsvReader, BrokenQuotingIsAnErrorWithItsOffset) {
    try {
        readCsv("a,\"open\nstill open");
        FAIL() << "an open quote at the end must fail";
    } catch (const CsvFormatError& error) {
        EXPECT_EQ(error.code(), CsvFormatError::Code::unterminatedQuote);
        EXPECT_EQ(error.offset(), 2U);
    }
    try {
        readCsv("\"ab\"c,d\n");
        FAIL() << "text after a closing quote must fail";
    } catch (const CsvFormatError& error) {
        EXPECT_EQ(error.code(), CsvFormatError::Code::textAfterQuote);
        EXPECT_EQ(error.offset(), 4U);
    }
    // A quote inside an unquoted field is kept, as lenient readers do.
    EXPECT_EQ(readCsv("5\" pipe,x\n"), (Records{{"5\" pipe", "x"}}));
}

TEST(CsvReader, TextThatMayBeCutDropsItsUnfinishedLastRecord) {
    EXPECT_EQ(readCsv("a,b\nc,\"d\ne", CsvEnding::mayBeCut), (Records{{"a", "b"}}));
    EXPECT_EQ(readCsv("a,b\nc,d", CsvEnding::mayBeCut), (Records{{"a", "b"}}));
    EXPECT_EQ(readCsv("a,b\nc,d\n", CsvEnding::mayBeCut), (Records{{"a", "b"}, {"c", "d"}}));
}

} // namespace
