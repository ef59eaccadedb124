#include "core/string_utils.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace core;

TEST(StringUtils, BlankAndEmptyTests) {
    EXPECT_TRUE(isBlank(""));
    EXPECT_TRUE(isBlank(" \t \u00A0\u3000"));
    EXPECT_FALSE(isBlank("\n"));
    EXPECT_FALSE(isBlank(" a "));
    EXPECT_TRUE(isBlank(std::optional<std::string>()));
    EXPECT_EQ(nilIfBlank(" a "), " a ");
    EXPECT_EQ(nilIfBlank("  "), std::nullopt);
    EXPECT_EQ(nilIfEmpty(""), std::nullopt);
    EXPECT_EQ(nilIfEmpty(std::optional<std::string>("x")), "x");
    EXPECT_EQ(emptyIfNil(std::nullopt), "");
    EXPECT_EQ(orDefaultIfBlank(std::optional<std::string>(" "), "d"), "d");
    EXPECT_EQ(orDefaultIfEmpty(std::optional<std::string>(" "), "d"), " ");
    EXPECT_EQ(stringReplaceEmptyBy(std::nullopt, "d"), "d");
}

TEST(StringUtils, TrimmingKeepsAllWhitespaceTextUnchanged) {
    EXPECT_EQ(trimmingLeft("  ab "), "ab ");
    EXPECT_EQ(trimmingRight("  ab "), "  ab");
    EXPECT_EQ(trimmingLeft("   "), "   ");
    EXPECT_EQ(trimmingRight("   "), "   ");
    EXPECT_EQ(trimmingLeft("\n\u2028x"), "x");
    EXPECT_EQ(trimmingRight("x\r\n\u0085"), "x");
    EXPECT_EQ(trimmed("--a-b--", CharacterSet::of("-")), "a-b");
    EXPECT_EQ(trimmed("\t a\n ", CharacterSet::whitespaces()), "a\n");
    EXPECT_EQ(trimmed("  ", CharacterSet::whitespaces()), "");
}

TEST(StringUtils, ChompedCutsAtTheOccurrence) {
    EXPECT_EQ(chompedPrefix("abcd", "ab"), "cd");
    EXPECT_EQ(chompedPrefix("xxabcd", "ab"), "cd");
    EXPECT_EQ(chompedPrefix("cdab", "ab"), "cd");
    EXPECT_EQ(chompedPrefix("xyz", "ab"), "xyz");
    EXPECT_EQ(chompedPrefix("xyz", ""), "xyz");
    EXPECT_EQ(chompedSuffix("abcd", "cd"), "ab");
    EXPECT_EQ(chompedSuffix("cdab", "cd"), "ab");
    EXPECT_EQ(chompedSuffix("abcdxcd", "cd"), "abcdx");
}

TEST(StringUtils, CaseInsensitiveEquality) {
    EXPECT_TRUE(isEqualCaseInsensitive("Hello", "hELLO"));
    EXPECT_TRUE(isEqualCaseInsensitive("\u00C9t\u00E9", "e\u0301T\u00C9"));
    EXPECT_TRUE(isEqualCaseInsensitive("STRASSE", "stra\u00DFe"));
    EXPECT_FALSE(isEqualCaseInsensitive("abc", "abd"));
}

TEST(StringUtils, CharacterPositionsAreGraphemes) {
    const std::string text = "ae\u0301\U0001F1EB\U0001F1F7z";
    EXPECT_EQ(characterCount(text), 4);
    EXPECT_EQ(characterAt(text, 1), "e\u0301");
    EXPECT_EQ(characterAt(text, 2), "\U0001F1EB\U0001F1F7");
    EXPECT_EQ(characters(text, 1, 3), "e\u0301\U0001F1EB\U0001F1F7");
    EXPECT_EQ(characters(text, 4, 4), "");
    EXPECT_THROW(characterAt(text, 4), std::out_of_range);
    EXPECT_THROW(characterAt(text, -1), std::out_of_range);
    EXPECT_THROW(characters(text, 2, 1), std::out_of_range);
    EXPECT_THROW(characters("", 0, 1), std::out_of_range);
}

TEST(StringUtils, PaddingToLeft) {
    EXPECT_EQ(paddingToLeft("42", 5, "0", true), "00042");
    EXPECT_EQ(paddingToLeft("1234567", 5, "0", true), "34567");
    EXPECT_EQ(paddingToLeft("1234567", 5, "0", false), "1234567");
    EXPECT_EQ(paddingToLeft("12345", 5, "0", true), "12345");
    EXPECT_EQ(paddingToLeft("42", 4, "ab", false), "abab42");
    EXPECT_EQ(paddingToLeft("42", 4, "", false), "42");
    EXPECT_EQ(paddingToLeft("e\u0301x", 3, "0", false), "0e\u0301x");
    EXPECT_EQ(paddingToLeft("abc", -2, "0", true), "");
}

TEST(StringUtils, Base64WrapsAndDecodesStrictly) {
    EXPECT_EQ(base64("abc"), "YWJj");
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("ab"), "YWI=");
    const std::string sixty(60, 'x');
    const std::string encoded = base64(sixty);
    ASSERT_EQ(encoded.size(), 64U + 2U + 16U);
    EXPECT_EQ(encoded.substr(64, 2), "\r\n");
    EXPECT_EQ(encoded.find('\n', 66), std::string::npos);
    EXPECT_EQ(base64(std::string(48, 'y')).find('\r'), std::string::npos);
    EXPECT_EQ(decodeBase64(encoded), sixty);

    EXPECT_EQ(decodeBase64("YWJj"), "abc");
    EXPECT_EQ(decodeBase64("YW\r\nJj"), "abc");
    EXPECT_EQ(decodeBase64("YWI="), "ab");
    EXPECT_EQ(decodeBase64("YWI"), std::nullopt);
    EXPECT_EQ(decodeBase64("YW=I"), std::nullopt);
    EXPECT_EQ(decodeBase64("YWJj===="), std::nullopt);
    EXPECT_EQ(decodeBase64("YQ=="), "a");
    EXPECT_EQ(decodeBase64("Y==="), std::nullopt);
    EXPECT_EQ(decodeBase64(base64(Data{0x61, 0xFF})), std::nullopt);
    EXPECT_EQ(decodeBase64Data(base64(Data{0x00, 0xFF, 0x10})), (Data{0x00, 0xFF, 0x10}));
}

TEST(StringUtils, EncodingsAreLossless) {
    EXPECT_EQ(toData("abc", TextEncoding::ascii), (Data{'a', 'b', 'c'}));
    EXPECT_EQ(toData("\u00E9", TextEncoding::ascii), std::nullopt);
    EXPECT_EQ(toData("\u00E9", TextEncoding::isoLatin1), (Data{0xE9}));
    EXPECT_EQ(toData("\u20AC", TextEncoding::windowsCP1252), (Data{0x80}));
    EXPECT_EQ(toData("\u20AC", TextEncoding::isoLatin1), std::nullopt);
    EXPECT_EQ(toData("A", TextEncoding::utf16BigEndian), (Data{0x00, 0x41}));
    EXPECT_EQ(toData("\xFF", TextEncoding::utf8), std::nullopt);
    EXPECT_EQ(toUTF8Data("\u00E9"), (Data{0xC3, 0xA9}));

    EXPECT_EQ(toString(Data{0xE9}, TextEncoding::isoLatin1), "\u00E9");
    EXPECT_EQ(toString(Data{0xE9}, TextEncoding::ascii), std::nullopt);
    EXPECT_EQ(toString(Data{0xC3, 0xA9}, TextEncoding::utf8), "\u00E9");
    EXPECT_EQ(toString(Data{0xC3}, TextEncoding::utf8), std::nullopt);
    EXPECT_EQ(toString(Data{0xFE, 0xFF, 0x00, 0x41}, TextEncoding::utf16), "A");
    EXPECT_EQ(toString(Data{0xD8, 0x00}, TextEncoding::utf16BigEndian), std::nullopt);
    const auto japanese = toData("\u65E5\u672C", TextEncoding::shiftJIS);
    ASSERT_TRUE(japanese);
    EXPECT_EQ(toString(*japanese, TextEncoding::shiftJIS), "\u65E5\u672C");
}

TEST(StringUtils, Utf8ReplacementPerMaximalSubpart) {
    EXPECT_EQ(toUTF8String(Data{0x61, 0xFF, 0x62}), "a\uFFFDb");
    // A truncated three-byte sequence is one subpart; a surrogate encoding is three.
    EXPECT_EQ(toUTF8String(Data{0xE2, 0x82, 0x41}), "\uFFFDA");
    EXPECT_EQ(toUTF8String(Data{0xED, 0xA0, 0x80}), "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(toUTF8String(Data{0xF0, 0x9F, 0x98}), "\uFFFD");
    EXPECT_EQ(toUTF8String(Data{0xC0, 0xAF}), "\uFFFD\uFFFD");
    EXPECT_EQ(toUTF8String(Data{0xF0, 0x9F, 0x98, 0x80}), "\U0001F600");
}

TEST(StringUtils, UuidText) {
    const std::string text = uuidString();
    ASSERT_EQ(text.size(), 36U);
    EXPECT_EQ(text[8], '-');
    EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);
    EXPECT_NE(uuidString(), text);
}

} // namespace
