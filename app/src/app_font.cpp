#include "app/app_font.hpp"

#include "uikit/color.hpp"

#include <QFile>
#include <QFontDatabase>
#include <QString>
#include <QStringList>

#include <set>
#include <string>

// The font resources are compiled into this static library; their initialiser must be called by
// name, outside any namespace.
static void initialiseFontResources() {
    Q_INIT_RESOURCE(app_fonts);
}

namespace app {
namespace {

constexpr std::string_view kDinPro = "DINPro";

[[noreturn]] void cannotCreateFont(std::string_view name, std::string_view extension) {
    const std::string message = "Couldn't create font from filename: " + std::string(name) +
                                " with extension " + std::string(extension);
    qFatal("%s", message.c_str());
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::string_view AppFont::rawValue(Face face) noexcept {
    switch (face) {
    case Face::dinPro:
        return kDinPro;
    }
    return kDinPro;
}

std::optional<AppFont::Face> AppFont::fromRawValue(std::string_view text) noexcept {
    for (const Face face : allCases) {
        if (rawValue(face) == text) {
            return face;
        }
    }
    return std::nullopt;
}

void AppFont::registerFonts() {
    registerFont(kDinPro, "ttf");
}

QFont AppFont::font(TextStyle style) {
    return uikit::loadFont(Face::dinPro, size(style));
}

std::optional<QFont> AppFont::nsFont(TextStyle style) {
    // The family is reachable either as registered under its own name or through the
    // substitution that registration installs.
    const QString family = QFont::substitute(toQString(kDinPro));
    if (!QFontDatabase::hasFamily(family)) {
        return std::nullopt;
    }
    return font(style);
}

int AppFont::size(TextStyle style) noexcept {
    switch (style) {
    case TextStyle::largeTitle:
        return 26;
    case TextStyle::title:
        return 22;
    case TextStyle::title2:
        return 17;
    case TextStyle::title3:
        return 15;
    case TextStyle::headline:
    case TextStyle::body:
        return 13;
    case TextStyle::subheadline:
        return 11;
    case TextStyle::callout:
        return 12;
    case TextStyle::footnote:
    case TextStyle::caption:
    case TextStyle::caption2:
        return 10;
    }
    return 13;
}

void registerFont(std::string_view name, std::string_view extension) {
    static std::set<std::string, std::less<>> registered;
    const std::string key = std::string(name) + "." + std::string(extension);
    if (registered.contains(key)) {
        return;
    }
    initialiseFontResources();
    const QString path = QStringLiteral(":/fonts/") + toQString(key);
    if (!QFile::exists(path)) {
        cannotCreateFont(name, extension);
    }
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families =
        id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        cannotCreateFont(name, extension);
    }
    // The face keeps its own family name (its licence reserves it); the name the screens use
    // reaches it by substitution.
    QFont::insertSubstitution(toQString(name), families.front());
    registered.insert(key);
}

} // namespace app
