#pragma once

#include "uikit/sf_symbol.hpp"

#include <QIcon>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

class QAbstractButton;
class QAction;

namespace uikit {

/// Where a symbol's image comes from: Linux has no system symbol set.
enum class SymbolSource {
    resource,    ///< one of the kit's own drawings
    painted,     ///< a number or letter in a circle or square, painted on demand
    theme,       ///< the matching icon of the freedesktop icon theme
    placeholder, ///< none of those: a dashed square with a question mark
};

/// The freedesktop icon-theme name that stands for the symbol `name`, or nothing.
std::optional<std::string> themeIconName(std::string_view name);

/// Where `symbolIcon(name)` takes its image from (GUI thread only).
SymbolSource symbolSource(std::string_view name);

/// The image of the symbol named `name`: the kit's own drawing, a painted enclosed number or
/// letter ("7.circle.fill"), the theme's icon, or a placeholder, in that order of preference. The
/// kit's drawings follow the palette's text colour. GUI thread only.
QIcon symbolIcon(std::string_view name);

/// The image of a symbol or of an enclosed number or letter.
template <SystemImageName T>
QIcon symbolIcon(const T& symbol) {
    return symbolIcon(std::string_view(std::string(symbol.systemName())));
}

/// The image of a variant: the drawing of its variant name ("pencil.slash.fill") when there is
/// a dedicated one, else its base symbol's image.
QIcon symbolIcon(const SFSymbol::Variant& variant);

/// A title with a symbol's image, as buttons and actions show them.
struct Label {
    /// The text.
    QString title;
    /// The symbol's image.
    QIcon icon;
    /// The symbol's name when it has only a placeholder image, else empty.
    QString toolTip;

    /// Sets `button`'s text and icon (and the tool tip, when there is one).
    void applyTo(QAbstractButton& button) const;
    /// Sets `action`'s text and icon (and the tool tip, when there is one).
    void applyTo(QAction& action) const;
};

/// A label with `title` and the image of the symbol named `systemName`.
Label label(std::string_view systemName, const QString& title);

/// A label with `title` and `symbol`'s image.
template <SystemImageName T>
Label label(const T& symbol, const QString& title) {
    return label(std::string_view(std::string(symbol.systemName())), title);
}

/// A label with `title` and the variant's image.
Label label(const SFSymbol::Variant& variant, const QString& title);

} // namespace uikit
