#pragma once

#include "core/user_default.hpp"

#include <QFont>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace app {

/// The text styles the screens size their text by.
enum class TextStyle {
    largeTitle,
    title,
    title2,
    title3,
    headline,
    subheadline,
    body,
    callout,
    footnote,
    caption,
    caption2,
};

/// The application's own font faces, read from its compiled-in resources.
struct AppFont {
    /// One face of the application.
    enum class Face { dinPro };

    /// Every face, in declaration order.
    static constexpr std::array<Face, 1> allCases{Face::dinPro};

    /// The face's family name as the screens ask for it ("DINPro").
    static std::string_view rawValue(Face face) noexcept;
    /// The face whose raw value is exactly `text`; absent for any other text.
    static std::optional<Face> fromRawValue(std::string_view text) noexcept;

    /// Registers every face with the process's font database; stops the program when a face's
    /// file is missing or is no font.
    static void registerFonts();
    /// "DINPro" at the pixel size of `style`.
    static QFont font(TextStyle style);
    /// "DINPro" at the pixel size of `style`; absent when the face is not registered.
    static std::optional<QFont> nsFont(TextStyle style);
    /// The size of `style` in device-independent pixels; 13 for a style this table does not know.
    static int size(TextStyle style) noexcept;
};

/// Loads the font file `<name>.<extension>` from the application's resources and makes it
/// reachable under the family `name` for this process; stops the program with "Couldn't create
/// font from filename: <name> with extension <extension>" when the file is missing or is no font.
/// Registering the same file again changes nothing.
void registerFont(std::string_view name, std::string_view extension);

} // namespace app

/// The faces' raw values are their family names, so a face is a font asset of the UI kit.
template <>
struct core::RawValueTraits<app::AppFont::Face> {
    using RawValue = std::string;
    static std::string rawValue(app::AppFont::Face face) {
        return std::string(app::AppFont::rawValue(face));
    }
    static std::optional<app::AppFont::Face> fromRawValue(const std::string& text) {
        return app::AppFont::fromRawValue(text);
    }
};
