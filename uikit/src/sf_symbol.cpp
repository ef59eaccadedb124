#include "uikit/sf_symbol.hpp"

namespace uikit {

namespace detail {

const char* enclosureSuffix(Enclosure enclosure) noexcept {
    switch (enclosure) {
    case Enclosure::circle:
        return ".circle";
    case Enclosure::circleFill:
        return ".circle.fill";
    case Enclosure::square:
        return ".square";
    case Enclosure::squareFill:
        return ".square.fill";
    }
    return "";
}

} // namespace detail

SFSymbol::Variant SFSymbol::slashed() const {
    return Variant{*this}.slashed();
}
SFSymbol::Variant SFSymbol::circled() const {
    return Variant{*this}.circled();
}
SFSymbol::Variant SFSymbol::rectangled() const {
    return Variant{*this}.rectangled();
}
SFSymbol::Variant SFSymbol::squared() const {
    return Variant{*this}.squared();
}
SFSymbol::Variant SFSymbol::filled() const {
    return Variant{*this}.filled();
}

std::string SFSymbol::Variant::variantName() const {
    std::string name = base.id;
    for (const auto& [set, suffix] : {std::pair{slash, ".slash"}, std::pair{circle, ".circle"},
                                      std::pair{rectangle, ".rectangle"},
                                      std::pair{square, ".square"}, std::pair{fill, ".fill"}}) {
        if (set) {
            name += suffix;
        }
    }
    return name;
}

SFSymbol::Variant SFSymbol::Variant::with(bool Variant::*flag) const {
    Variant copy = *this;
    copy.*flag = true;
    return copy;
}

SFSymbol::Variant SFSymbol::Variant::slashed() const {
    return with(&Variant::slash);
}
SFSymbol::Variant SFSymbol::Variant::circled() const {
    return with(&Variant::circle);
}
SFSymbol::Variant SFSymbol::Variant::rectangled() const {
    return with(&Variant::rectangle);
}
SFSymbol::Variant SFSymbol::Variant::squared() const {
    return with(&Variant::square);
}
SFSymbol::Variant SFSymbol::Variant::filled() const {
    return with(&Variant::fill);
}

#define UIKIT_SF_DEFINE(property, name) const SFSymbol SFSymbol::property{name};
UIKIT_SF_SYMBOL_CONSTANTS(UIKIT_SF_DEFINE)
#undef UIKIT_SF_DEFINE
#define UIKIT_SF_DEFINE(property, name) SFSymbol SFSymbol::property{name};
UIKIT_SF_SYMBOL_MUTABLES(UIKIT_SF_DEFINE)
#undef UIKIT_SF_DEFINE
#define UIKIT_SF_DEFINE(property, name) const SFSymbol::Number SFSymbol::property{name};
UIKIT_SF_SYMBOL_NUMBERS(UIKIT_SF_DEFINE)
#undef UIKIT_SF_DEFINE
#define UIKIT_SF_DEFINE(property, name) const SFSymbol::Character SFSymbol::property{name};
UIKIT_SF_SYMBOL_LETTERS(UIKIT_SF_DEFINE)
#undef UIKIT_SF_DEFINE

const SFSymbol::Directionable SFSymbol::chevron{"chevron"};
const SFSymbol::Directionable SFSymbol::arrowtriangle{"arrowtriangle"};
SFSymbol::Directionable SFSymbol::arrow{"arrow"};
const SFSymbol::HorizontalDirectionable SFSymbol::sidebar{"sidebar"};

} // namespace uikit
