#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

/// A uniform type identifier from our own registry of file types ("public.png",
/// "com.zidavoze.dezuduz.zoz"...), with its file-name extensions and the types it conforms to.
/// Extensions unknown to the registry give dynamic types ("dyn.ext.<extension>"). On Linux the
/// type of a file is decided by its extension alone.
class UTType {
public:
    /// The registered type with `identifier`, or the dynamic type a "dyn." identifier names;
    /// absent for any other identifier.
    static std::optional<UTType> fromIdentifier(std::string_view identifier);
    /// The registered type an extension (without the dot, any letter case) belongs to, else a
    /// dynamic type that conforms to "public.data"; absent for an empty extension.
    static std::optional<UTType> fromFilenameExtension(std::string_view extension);
    /// The type declared under `identifier` by the application: the registered one when known,
    /// else absent.
    static std::optional<UTType> importedAs(std::string_view identifier);

    /// "public.item": the base of all items.
    static UTType item();
    /// "public.data": any byte stream.
    static UTType data();
    /// "public.folder": a plain folder.
    static UTType folder();
    /// "public.directory": any directory, folders and packages alike.
    static UTType directory();
    /// "com.apple.package": a directory shown as one file.
    static UTType package();
    /// "public.image": any image.
    static UTType image();
    /// "public.png".
    static UTType png();
    /// "public.jpeg".
    static UTType jpeg();
    /// "public.plain-text".
    static UTType plainText();
    /// "public.comma-separated-values-text".
    static UTType commaSeparatedText();
    /// "public.json".
    static UTType json();
    /// "public.zip-archive".
    static UTType zip();
    /// "com.zidavoze.dezuduz.zoz": the project document, extension "zoz".
    static UTType zoz();

    /// The identifier.
    const std::string& identifier() const noexcept { return m_identifier; }
    /// The extension a file of this type is best given, without the dot; absent when none.
    std::optional<std::string> preferredFilenameExtension() const;
    /// True for types made up for an unknown extension.
    bool isDynamic() const noexcept;
    /// True when this type is `other` or descends from it.
    bool conforms(const UTType& other) const;
    /// `name` completed with the preferred extension: unchanged when there is none or `name`
    /// already ends in "." and it (letter case counts), else `name` + "." + extension.
    std::string preferredFileNameWithExtension(std::string_view name) const;

    friend bool operator==(const UTType& a, const UTType& b) noexcept {
        return a.m_identifier == b.m_identifier;
    }

private:
    explicit UTType(std::string identifier) : m_identifier(std::move(identifier)) {}
    std::string m_identifier;
};

} // namespace core
