#include "uikit/sf_symbol.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using uikit::SFSymbol;

static_assert(uikit::SystemImageName<SFSymbol>);
static_assert(uikit::SystemImageName<SFSymbol::Number>);
static_assert(uikit::SystemImageName<SFSymbol::CharacterWithSquareFilled>);
static_assert(!uikit::SystemImageName<SFSymbol::Variant>);
static_assert(!uikit::SystemImageName<SFSymbol::Directionable>);
static_assert(uikit::VariantableSymbol<SFSymbol>);
static_assert(uikit::VariantableSymbol<SFSymbol::Variant>);

// A horizontal base has no up or down.
template <class T>
concept HasUp = requires(const T& base) { base.up(); };
static_assert(HasUp<SFSymbol::Directionable>);
static_assert(!HasUp<SFSymbol::HorizontalDirectionable>);

TEST(SFSymbol, EnclosedNumbersAndLettersAppendTheirSuffixes) {
    EXPECT_EQ(SFSymbol::seven.systemName(), "7");
    EXPECT_EQ(SFSymbol::seven.circled().systemName(), "7.circle");
    EXPECT_EQ(SFSymbol::seven.circled().filled().systemName(), "7.circle.fill");
    EXPECT_EQ(SFSymbol::seven.squared().systemName(), "7.square");
    EXPECT_EQ(SFSymbol::seven.squared().filled().systemName(), "7.square.fill");
    EXPECT_EQ(SFSymbol::zeroSeven.circled().systemName(), "07.circle");
    EXPECT_EQ(SFSymbol::a.circled().systemName(), "a.circle");
    EXPECT_EQ(SFSymbol::z.squared().filled().systemName(), "z.square.fill");
    EXPECT_EQ(SFSymbol::seven.circled().filled().id, "7") << "the id stays the bare number";
}

TEST(SFSymbol, VariantFlagsComposeInAnyOrderAndKeepTheBaseId) {
    const auto slashedFilled = SFSymbol::pencil.slashed().filled();
    EXPECT_EQ(slashedFilled, SFSymbol::pencil.filled().slashed());
    EXPECT_TRUE(slashedFilled.slash);
    EXPECT_TRUE(slashedFilled.fill);
    EXPECT_FALSE(slashedFilled.circle || slashedFilled.rectangle || slashedFilled.square);
    EXPECT_EQ(slashedFilled.id(), "pencil");
    EXPECT_EQ(slashedFilled.variantName(), "pencil.slash.fill");

    const auto all = SFSymbol::trash.filled().squared().rectangled().circled().slashed();
    EXPECT_EQ(all.variantName(), "trash.slash.circle.rectangle.square.fill");
    EXPECT_EQ(all.id(), "trash");
    EXPECT_EQ(SFSymbol::eye.circled().variantName(), "eye.circle");
    EXPECT_EQ(SFSymbol::eye.circled().circled(), SFSymbol::eye.circled());
}

TEST(SFSymbol, DirectionsAndAliases) {
    EXPECT_EQ(SFSymbol::chevron.left().id, "chevron.left");
    EXPECT_EQ(SFSymbol::chevron.down().id, "chevron.down");
    EXPECT_EQ(SFSymbol::arrow.up().id, "arrow.up");
    EXPECT_EQ(SFSymbol::arrowtriangle.right().id, "arrowtriangle.right");
    EXPECT_EQ(SFSymbol::sidebar.right().id, "sidebar.right");
    EXPECT_EQ(SFSymbol::Alias::config(), SFSymbol::slideHorizontal3);
    EXPECT_EQ(SFSymbol::Alias::setting(), SFSymbol::gear);

    const SFSymbol saved = SFSymbol::arrowTriangle2Circlepath;
    EXPECT_EQ(SFSymbol::Alias::refresh().id, "arrow.triangle.2.circlepath");
    SFSymbol::arrowTriangle2Circlepath = SFSymbol{"arrow.clockwise"};
    EXPECT_EQ(SFSymbol::Alias::refresh().id, "arrow.clockwise");
    SFSymbol::arrowTriangle2Circlepath = saved;
}

TEST(SFSymbol, TheCatalogueHasEveryEntryOnceUnderItsName) {
    std::vector<std::string> names;
    std::size_t constants = 0;
    std::size_t mutables = 0;
    std::size_t numbers = 0;
    std::size_t letters = 0;
    auto collect = [&names](const std::string& actual, const char* expected, std::size_t& count) {
        EXPECT_EQ(actual, expected);
        names.push_back(actual);
        ++count;
    };
#define UIKIT_COLLECT(property, name) collect(SFSymbol::property.systemName(), name, constants);
    UIKIT_SF_SYMBOL_CONSTANTS(UIKIT_COLLECT)
#undef UIKIT_COLLECT
#define UIKIT_COLLECT(property, name) collect(SFSymbol::property.systemName(), name, mutables);
    UIKIT_SF_SYMBOL_MUTABLES(UIKIT_COLLECT)
#undef UIKIT_COLLECT
#define UIKIT_COLLECT(property, name) collect(SFSymbol::property.systemName(), name, numbers);
    UIKIT_SF_SYMBOL_NUMBERS(UIKIT_COLLECT)
#undef UIKIT_COLLECT
#define UIKIT_COLLECT(property, name) collect(SFSymbol::property.systemName(), name, letters);
    UIKIT_SF_SYMBOL_LETTERS(UIKIT_COLLECT)
#undef UIKIT_COLLECT
    EXPECT_EQ(constants, 52U);
    EXPECT_EQ(mutables, 24U);
    EXPECT_EQ(numbers, 61U);
    EXPECT_EQ(letters, 26U);
    names.insert(names.end(), {SFSymbol::chevron.id, SFSymbol::arrowtriangle.id, SFSymbol::arrow.id,
                               SFSymbol::sidebar.id});
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());

    std::set<std::string> expectedNumbers;
    for (int n = 0; n <= 50; ++n) {
        expectedNumbers.insert(std::to_string(n));
    }
    for (char digit = '0'; digit <= '9'; ++digit) {
        expectedNumbers.insert(std::string{'0', digit});
    }
    std::set<std::string> numberNames;
#define UIKIT_COLLECT(property, name) numberNames.insert(name);
    UIKIT_SF_SYMBOL_NUMBERS(UIKIT_COLLECT)
#undef UIKIT_COLLECT
    EXPECT_EQ(numberNames, expectedNumbers);
    EXPECT_EQ(SFSymbol::twentyOne.id, "21");
    EXPECT_EQ(SFSymbol::zeroNine.id, "09");
    EXPECT_EQ(SFSymbol::fortyEight.id, "48");
    EXPECT_EQ(SFSymbol::fifty.id, "50");
}

} // namespace
