#pragma once

#include <concepts>
#include <string>

// The catalogue's tables, one X(property, "system name") per entry, so the declarations, the
// definitions and anything that walks the catalogue stay in step.

// clang-format off
/// The constant symbols.
#define UIKIT_SF_SYMBOL_CONSTANTS(X) \
    X(pencil, "pencil") \
    X(xmark, "xmark") \
    X(checkmark, "checkmark") \
    X(iPad, "ipad") \
    X(iPadLandscape, "ipad.landscape") \
    X(iCloud, "icloud") \
    X(rectangleGrid2x2, "rectangle.grid.2x2") \
    X(message, "message") \
    X(questionmarkDiamond, "questionmark.diamond") \
    X(questionmark, "questionmark") \
    X(questionmarkSquareDashed, "questionmark.square.dashed") \
    X(questionmarkApp, "questionmark.app") \
    X(gear, "gear") \
    X(gearShape2, "gearshape.2") \
    X(plus, "plus") \
    X(folderFillBadgePlus, "folder.fill.badge.plus") \
    X(bagBadgePlus, "bag.badge.plus") \
    X(rectangleBadgePlus, "rectangle.badge.plus") \
    X(rectangleBadgeXmark, "rectangle.badge.xmark") \
    X(plusSquareOnSquare, "plus.square.on.square") \
    X(minus, "minus") \
    X(paintPalette, "paintpalette") \
    X(info, "info") \
    X(docOnDoc, "doc.on.doc") \
    X(docAppend, "doc.append") \
    X(doc, "doc") \
    X(docText, "doc.text") \
    X(docBadgePlus, "doc.badge.plus") \
    X(squareAndArrowUp, "square.and.arrow.up") \
    X(trash, "trash") \
    X(squareOnSquare, "square.on.square") \
    X(squareOnSquareDashed, "square.on.square.dashed") \
    X(ellipsis, "ellipsis") \
    X(folder, "folder") \
    X(newspaper, "newspaper") \
    X(photoOnRectangleAngled, "photo.on.rectangle.angled") \
    X(timer, "timer") \
    X(timelapse, "timelapse") \
    X(clock, "clock") \
    X(character, "character") \
    X(characterTextBox, "character.textbox") \
    X(arrowtriangleLeftRight, "arrowtriangle.left.and.line.vertical.and.arrowtriangle.right.fill") \
    X(arrowUpLeftDownRight, "arrow.up.left.and.arrow.down.right") \
    X(arrowUpArrowDown, "arrow.up.arrow.down") \
    X(eye, "eye") \
    X(threeLineHorizontal, "line.3.horizontal") \
    X(increaseIndent, "increase.indent") \
    X(decreaseIndent, "decrease.indent") \
    X(slideHorizontal3, "slider.horizontal.3") \
    X(slideVertical3, "slider.vertical.3") \
    X(slideHorizontalBelowRectangle, "slider.horizontal.below.rectangle") \
    X(slideHorizontalBelowSquareFilledAndSquare, "slider.horizontal.below.square.filled.and.square")

/// The symbols a program may reassign (main thread only).
#define UIKIT_SF_SYMBOL_MUTABLES(X) \
    X(arrowUturnDown, "arrow.uturn.down") \
    X(squareGrid4x3Fill, "square.grid.4x3.fill") \
    X(listDash, "list.dash") \
    X(listBullet, "list.bullet") \
    X(equal, "equal") \
    X(multiply, "multiply") \
    X(arrowTriangle2Circlepath, "arrow.triangle.2.circlepath") \
    X(tray, "tray") \
    X(tray2, "tray.2") \
    X(lock, "lock") \
    X(lockOpen, "lock.open") \
    X(circle, "circle") \
    X(wandAndStarsInverse, "wand.and.stars.inverse") \
    X(sparkles, "sparkles") \
    X(sparklesRectangleStack, "sparkles.rectangle.stack") \
    X(filemenuAndSelection, "filemenu.and.selection") \
    X(rectangleFillOnRectangleAngledFill, "rectangle.fill.on.rectangle.angled.fill") \
    X(globe, "globe") \
    X(bubbleLeftAndRight, "bubble.left.and.bubble.right") \
    X(personTextRectangle, "person.text.rectangle") \
    X(book, "book") \
    X(playTv, "play.tv") \
    X(squareTextSquare, "square.text.square") \
    X(cursorarrowRays, "cursorarrow.rays")

/// The numbers 0 to 50 and 00 to 09.
#define UIKIT_SF_SYMBOL_NUMBERS(X) \
    X(zero, "0") \
    X(one, "1") \
    X(two, "2") \
    X(three, "3") \
    X(four, "4") \
    X(five, "5") \
    X(six, "6") \
    X(seven, "7") \
    X(eight, "8") \
    X(nine, "9") \
    X(zeroZero, "00") \
    X(zeroOne, "01") \
    X(zeroTwo, "02") \
    X(zeroThree, "03") \
    X(zeroFour, "04") \
    X(zeroFive, "05") \
    X(zeroSix, "06") \
    X(zeroSeven, "07") \
    X(zeroEight, "08") \
    X(zeroNine, "09") \
    X(ten, "10") \
    X(eleven, "11") \
    X(twelve, "12") \
    X(thirteen, "13") \
    X(fourteen, "14") \
    X(fifteen, "15") \
    X(sixteen, "16") \
    X(seventeen, "17") \
    X(eighteen, "18") \
    X(nineteen, "19") \
    X(twenty, "20") \
    X(twentyOne, "21") \
    X(twentyTwo, "22") \
    X(twentyThree, "23") \
    X(twentyFour, "24") \
    X(twentyFive, "25") \
    X(twentySix, "26") \
    X(twentySeven, "27") \
    X(twentyEight, "28") \
    X(twentyNine, "29") \
    X(thirty, "30") \
    X(thirtyOne, "31") \
    X(thirtyTwo, "32") \
    X(thirtyThree, "33") \
    X(thirtyFour, "34") \
    X(thirtyFive, "35") \
    X(thirtySix, "36") \
    X(thirtySeven, "37") \
    X(thirtyEight, "38") \
    X(thirtyNine, "39") \
    X(forty, "40") \
    X(fortyOne, "41") \
    X(fortyTwo, "42") \
    X(fortyThree, "43") \
    X(fortyFour, "44") \
    X(fortyFive, "45") \
    X(fortySix, "46") \
    X(fortySeven, "47") \
    X(fortyEight, "48") \
    X(fortyNine, "49") \
    X(fifty, "50")

/// The lower-case Latin letters.
#define UIKIT_SF_SYMBOL_LETTERS(X) \
    X(a, "a") \
    X(b, "b") \
    X(c, "c") \
    X(d, "d") \
    X(e, "e") \
    X(f, "f") \
    X(g, "g") \
    X(h, "h") \
    X(i, "i") \
    X(j, "j") \
    X(k, "k") \
    X(l, "l") \
    X(m, "m") \
    X(n, "n") \
    X(o, "o") \
    X(p, "p") \
    X(q, "q") \
    X(r, "r") \
    X(s, "s") \
    X(t, "t") \
    X(u, "u") \
    X(v, "v") \
    X(w, "w") \
    X(x, "x") \
    X(y, "y") \
    X(z, "z")
// clang-format on

namespace uikit {

/// Anything that names one system symbol.
template <class T>
concept SystemImageName = requires(const T& symbol) {
    { symbol.systemName() } -> std::convertible_to<std::string>;
};

namespace detail {

/// The enclosed forms of a number or letter, each with its name suffix.
enum class Enclosure { circle, circleFill, square, squareFill };

/// The name suffix of an enclosure: ".circle", ".circle.fill", ".square" or ".square.fill".
const char* enclosureSuffix(Enclosure enclosure) noexcept;

/// A number or letter (`Tag` tells which) in a circle or square, outlined or filled.
template <class Tag, Enclosure kEnclosure>
struct Enclosed {
    /// The digits or the letter.
    std::string id;

    /// The digits or letter followed by the enclosure's suffix ("7.circle.fill").
    std::string systemName() const { return id + enclosureSuffix(kEnclosure); }
    /// The filled form of an outlined enclosure, with the same id.
    auto filled() const
        requires(kEnclosure == Enclosure::circle || kEnclosure == Enclosure::square)
    {
        constexpr Enclosure kFilled =
            kEnclosure == Enclosure::circle ? Enclosure::circleFill : Enclosure::squareFill;
        return Enclosed<Tag, kFilled>{id};
    }

    friend bool operator==(const Enclosed&, const Enclosed&) = default;
};

struct NumberTag {};
struct CharacterTag {};

} // namespace detail

/// A typed system symbol name, such as "square.and.arrow.up"; `symbolIcon` draws it. The
/// catalogue's entries are shared values built when the program starts, so they must not be read
/// from another file's static initialisers.
struct SFSymbol {
    struct Variant;
    struct Number;
    struct Character;
    struct Directionable;
    struct HorizontalDirectionable;
    struct Alias;
    /// A number in a circle ("7.circle").
    using NumberWithCircle = detail::Enclosed<detail::NumberTag, detail::Enclosure::circle>;
    /// A number in a filled circle ("7.circle.fill").
    using NumberWithCircleFilled =
        detail::Enclosed<detail::NumberTag, detail::Enclosure::circleFill>;
    /// A number in a square ("7.square").
    using NumberWithSquare = detail::Enclosed<detail::NumberTag, detail::Enclosure::square>;
    /// A number in a filled square ("7.square.fill").
    using NumberWithSquareFilled =
        detail::Enclosed<detail::NumberTag, detail::Enclosure::squareFill>;
    /// A letter in a circle ("a.circle").
    using CharacterWithCircle = detail::Enclosed<detail::CharacterTag, detail::Enclosure::circle>;
    /// A letter in a filled circle ("a.circle.fill").
    using CharacterWithCircleFilled =
        detail::Enclosed<detail::CharacterTag, detail::Enclosure::circleFill>;
    /// A letter in a square ("a.square").
    using CharacterWithSquare = detail::Enclosed<detail::CharacterTag, detail::Enclosure::square>;
    /// A letter in a filled square ("a.square.fill").
    using CharacterWithSquareFilled =
        detail::Enclosed<detail::CharacterTag, detail::Enclosure::squareFill>;

    /// The symbol's name.
    std::string id;

    /// The name given to the icon lookup: `id`.
    const std::string& systemName() const noexcept { return id; }
    /// This symbol with only the slash variant.
    Variant slashed() const;
    /// This symbol with only the circle variant.
    Variant circled() const;
    /// This symbol with only the rectangle variant.
    Variant rectangled() const;
    /// This symbol with only the square variant.
    Variant squared() const;
    /// This symbol with only the fill variant.
    Variant filled() const;

    friend bool operator==(const SFSymbol&, const SFSymbol&) = default;

#define UIKIT_SF_DECLARE(property, name) static const SFSymbol property;
    UIKIT_SF_SYMBOL_CONSTANTS(UIKIT_SF_DECLARE)
#undef UIKIT_SF_DECLARE
#define UIKIT_SF_DECLARE(property, name) static SFSymbol property;
    UIKIT_SF_SYMBOL_MUTABLES(UIKIT_SF_DECLARE)
#undef UIKIT_SF_DECLARE
#define UIKIT_SF_DECLARE(property, name) static const Number property;
    UIKIT_SF_SYMBOL_NUMBERS(UIKIT_SF_DECLARE)
#undef UIKIT_SF_DECLARE
#define UIKIT_SF_DECLARE(property, name) static const Character property;
    UIKIT_SF_SYMBOL_LETTERS(UIKIT_SF_DECLARE)
#undef UIKIT_SF_DECLARE

    /// The base "chevron" (`chevron.left()` is "chevron.left").
    static const Directionable chevron;
    /// The base "arrowtriangle".
    static const Directionable arrowtriangle;
    /// The base "arrow"; a program may reassign it (main thread only).
    static Directionable arrow;
    /// The base "sidebar", which has only left and right forms.
    static const HorizontalDirectionable sidebar;
};

/// A symbol drawn with variants: the flags are applied in the order slash, circle, rectangle,
/// square, fill, and its `id` is its base's whatever the flags.
struct SFSymbol::Variant {
    SFSymbol base;
    bool slash = false;
    bool circle = false;
    bool rectangle = false;
    bool square = false;
    bool fill = false;

    /// The base's name.
    const std::string& id() const noexcept { return base.id; }
    /// The name of the variant's own image: the base name followed by ".slash", ".circle",
    /// ".rectangle", ".square" and ".fill" for each flag set, in that order.
    std::string variantName() const;
    /// A copy with the slash flag set.
    Variant slashed() const;
    /// A copy with the circle flag set.
    Variant circled() const;
    /// A copy with the rectangle flag set.
    Variant rectangled() const;
    /// A copy with the square flag set.
    Variant squared() const;
    /// A copy with the fill flag set.
    Variant filled() const;

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    Variant with(bool Variant::*flag) const;
};

/// A number's symbol ("7").
struct SFSymbol::Number {
    /// The digits.
    std::string id;
    /// The digits.
    const std::string& systemName() const noexcept { return id; }
    /// The number in a circle.
    NumberWithCircle circled() const { return {id}; }
    /// The number in a square.
    NumberWithSquare squared() const { return {id}; }
    friend bool operator==(const Number&, const Number&) = default;
};

/// A letter's symbol ("a").
struct SFSymbol::Character {
    /// The letter.
    std::string id;
    /// The letter.
    const std::string& systemName() const noexcept { return id; }
    /// The letter in a circle.
    CharacterWithCircle circled() const { return {id}; }
    /// The letter in a square.
    CharacterWithSquare squared() const { return {id}; }
    friend bool operator==(const Character&, const Character&) = default;
};

/// A base name with four directed forms.
struct SFSymbol::Directionable {
    /// The base name.
    std::string id;
    /// The symbol `id` + ".left".
    SFSymbol left() const { return {id + ".left"}; }
    /// The symbol `id` + ".right".
    SFSymbol right() const { return {id + ".right"}; }
    /// The symbol `id` + ".up".
    SFSymbol up() const { return {id + ".up"}; }
    /// The symbol `id` + ".down".
    SFSymbol down() const { return {id + ".down"}; }
};

/// A base name with a left and a right form only.
struct SFSymbol::HorizontalDirectionable {
    /// The base name.
    std::string id;
    /// The symbol `id` + ".left".
    SFSymbol left() const { return {id + ".left"}; }
    /// The symbol `id` + ".right".
    SFSymbol right() const { return {id + ".right"}; }
};

/// Other names for catalogue entries, looked up on each call.
struct SFSymbol::Alias {
    /// The symbol "slider.horizontal.3".
    static SFSymbol config() { return {"slider.horizontal.3"}; }
    /// The symbol "gear".
    static SFSymbol setting() { return {"gear"}; }
    /// Whatever `SFSymbol::arrowTriangle2Circlepath` holds now.
    static SFSymbol refresh() { return SFSymbol::arrowTriangle2Circlepath; }
};

/// Symbols that derive variants.
template <class T>
concept VariantableSymbol = requires(const T& symbol) {
    { symbol.slashed() } -> std::same_as<SFSymbol::Variant>;
    { symbol.circled() } -> std::same_as<SFSymbol::Variant>;
    { symbol.rectangled() } -> std::same_as<SFSymbol::Variant>;
    { symbol.squared() } -> std::same_as<SFSymbol::Variant>;
    { symbol.filled() } -> std::same_as<SFSymbol::Variant>;
};

} // namespace uikit
