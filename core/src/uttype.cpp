#include "core/uttype.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace core {

namespace {

struct Entry {
    std::string_view identifier;
    std::vector<std::string_view> parents;
    std::vector<std::string_view> extensions; // preferred first, lower case
};

constexpr std::string_view kDynamicPrefix = "dyn.";
constexpr std::string_view kDynamicExtensionPrefix = "dyn.ext.";

const std::vector<Entry>& registry() {
    static const std::vector<Entry> entries{
        {"public.item", {}, {}},
        {"public.content", {"public.item"}, {}},
        {"public.data", {"public.item"}, {}},
        {"public.directory", {"public.item"}, {}},
        {"public.folder", {"public.directory"}, {}},
        {"public.symlink", {"public.item"}, {}},
        {"com.apple.package", {"public.directory"}, {}},
        {"com.apple.bundle", {"public.directory"}, {"bundle"}},
        {"com.apple.application-bundle", {"com.apple.package", "com.apple.bundle"}, {"app"}},
        {"com.apple.framework", {"com.apple.bundle"}, {"framework"}},
        {"public.text", {"public.data", "public.content"}, {}},
        {"public.plain-text", {"public.text"}, {"txt", "text"}},
        {"public.utf8-plain-text", {"public.plain-text"}, {}},
        {"public.comma-separated-values-text", {"public.text"}, {"csv"}},
        {"public.json", {"public.text"}, {"json"}},
        {"public.xml", {"public.text"}, {"xml"}},
        {"public.html", {"public.text"}, {"html", "htm"}},
        {"public.image", {"public.data", "public.content"}, {}},
        {"public.png", {"public.image"}, {"png"}},
        {"public.jpeg", {"public.image"}, {"jpeg", "jpg", "jpe"}},
        {"public.tiff", {"public.image"}, {"tiff", "tif"}},
        {"com.compuserve.gif", {"public.image"}, {"gif"}},
        {"com.microsoft.bmp", {"public.image"}, {"bmp"}},
        {"com.microsoft.ico", {"public.image"}, {"ico"}},
        {"public.heic", {"public.image"}, {"heic"}},
        {"org.webmproject.webp", {"public.image"}, {"webp"}},
        {"public.svg-image", {"public.image"}, {"svg"}},
        {"com.adobe.pdf", {"public.data", "public.content"}, {"pdf"}},
        {"public.archive", {"public.data"}, {}},
        {"public.zip-archive", {"public.archive"}, {"zip"}},
        {"org.gnu.gnu-zip-archive", {"public.archive"}, {"gz"}},
        // The project document: imported with no parent type.
        {"com.zidavoze.dezuduz.zoz", {}, {"zoz"}},
    };
    return entries;
}

const Entry* findEntry(std::string_view identifier) {
    const auto& entries = registry();
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const Entry& entry) {
        return entry.identifier == identifier;
    });
    return found == entries.end() ? nullptr : &*found;
}

std::string lowercased(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return result;
}

} // namespace

std::optional<UTType> UTType::fromIdentifier(std::string_view identifier) {
    if (findEntry(identifier) != nullptr) {
        return UTType(std::string(identifier));
    }
    if (identifier.size() > kDynamicPrefix.size() &&
        identifier.substr(0, kDynamicPrefix.size()) == kDynamicPrefix) {
        return UTType(std::string(identifier));
    }
    return std::nullopt;
}

std::optional<UTType> UTType::fromFilenameExtension(std::string_view extension) {
    if (extension.empty()) {
        return std::nullopt;
    }
    const std::string lower = lowercased(extension);
    for (const Entry& entry : registry()) {
        if (std::find(entry.extensions.begin(), entry.extensions.end(), lower) !=
            entry.extensions.end()) {
            return UTType(std::string(entry.identifier));
        }
    }
    return UTType(std::string(kDynamicExtensionPrefix) + lower);
}

std::optional<UTType> UTType::importedAs(std::string_view identifier) {
    if (findEntry(identifier) == nullptr) {
        return std::nullopt;
    }
    return UTType(std::string(identifier));
}

UTType UTType::item() {
    return UTType("public.item");
}
UTType UTType::data() {
    return UTType("public.data");
}
UTType UTType::folder() {
    return UTType("public.folder");
}
UTType UTType::directory() {
    return UTType("public.directory");
}
UTType UTType::package() {
    return UTType("com.apple.package");
}
UTType UTType::image() {
    return UTType("public.image");
}
UTType UTType::png() {
    return UTType("public.png");
}
UTType UTType::jpeg() {
    return UTType("public.jpeg");
}
UTType UTType::plainText() {
    return UTType("public.plain-text");
}
UTType UTType::commaSeparatedText() {
    return UTType("public.comma-separated-values-text");
}
UTType UTType::json() {
    return UTType("public.json");
}
UTType UTType::zip() {
    return UTType("public.zip-archive");
}
UTType UTType::zoz() {
    return UTType("com.zidavoze.dezuduz.zoz");
}

std::optional<std::string> UTType::preferredFilenameExtension() const {
    if (const Entry* entry = findEntry(m_identifier);
        entry != nullptr && !entry->extensions.empty()) {
        return std::string(entry->extensions.front());
    }
    if (m_identifier.starts_with(kDynamicExtensionPrefix)) {
        return m_identifier.substr(kDynamicExtensionPrefix.size());
    }
    return std::nullopt;
}

bool UTType::isDynamic() const noexcept {
    return m_identifier.starts_with(kDynamicPrefix);
}

bool UTType::conforms(const UTType& other) const {
    if (isDynamic()) {
        // A dynamic type stands for a file of unknown content.
        return other == *this || other == data() || other == item();
    }
    // Walk the registry's parent links; the registry is small and acyclic.
    std::vector<std::string_view> pending{m_identifier};
    std::size_t guard = 0;
    while (!pending.empty() && guard++ < 256) {
        const std::string_view current = pending.back();
        pending.pop_back();
        if (current == other.m_identifier) {
            return true;
        }
        if (const Entry* entry = findEntry(current)) {
            pending.insert(pending.end(), entry->parents.begin(), entry->parents.end());
        }
    }
    return false;
}

std::string UTType::preferredFileNameWithExtension(std::string_view name) const {
    const auto extension = preferredFilenameExtension();
    std::string result(name);
    if (!extension || extension->empty()) {
        return result;
    }
    std::string suffix(1, '.');
    suffix += *extension;
    if (result.size() >= suffix.size() &&
        result.compare(result.size() - suffix.size(), suffix.size(), suffix) == 0) {
        return result;
    }
    result += suffix;
    return result;
}

} // namespace core
