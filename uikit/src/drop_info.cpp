#include "uikit/drop_info.hpp"

#include "core/log.hpp"
#include "core/url.hpp"

#include <QFile>
#include <QMimeData>
#include <QMimeDatabase>
#include <QVariant>

#include <filesystem>
#include <memory>
#include <source_location>

namespace uikit {

namespace {

// The reason logged with a dropped item that could not be read.
class DropItemError : public core::Error {
public:
    explicit DropItemError(std::string message)
        : core::Error("DropItemError", 1, std::move(message)) {}
};

void logFailure(std::string_view description, std::string_view function, std::string_view reason,
                const std::source_location& at = std::source_location::current()) {
    core::logError(
        DropItemError(std::string(reason)), description,
        core::LogLocation{function, at.file_name(), static_cast<std::int64_t>(at.line())});
}

// A URL item read as a URL: an unreadable or empty one is a failed load, logged as such.
std::optional<QUrl> readUrlItem(const QUrl& item, std::string_view description,
                                std::string_view function) {
    if (!item.isValid()) {
        logFailure(description, function, "The dropped URL is not valid");
        return std::nullopt;
    }
    if (item.isEmpty() || (item.isLocalFile() && item.toLocalFile().isEmpty())) {
        logFailure(description, function, "The dropped item holds no URL");
        return std::nullopt;
    }
    return item;
}

std::optional<QUrl> readUrl(const QUrl& item) {
    return readUrlItem(item, "Failed to fetch url from drop info", "loadUrl()");
}

bool namesLocalImageFile(const QUrl& url) {
    return url.isLocalFile() && core::isLocalImageFile(core::Url(std::filesystem::path(
                                    QFile::encodeName(url.toLocalFile()).toStdString())));
}

bool isImageFormat(const QMimeDatabase& database, const QString& format) {
    const QMimeType type = database.mimeTypeForName(format);
    return format.startsWith("image/") || (type.isValid() && type.name().startsWith("image/"));
}

} // namespace

DropInfo::DropInfo(const QMimeData& data) {
    if (data.hasUrls()) {
        const QList<QUrl> urls = data.urls();
        m_urls.assign(urls.begin(), urls.end());
    }
    if (data.hasText()) {
        m_text = data.text();
    }
    const QMimeDatabase database;
    for (const QString& format : data.formats()) {
        if (format == "application/x-qt-image") {
            m_images.push_back({{}, qvariant_cast<QImage>(data.imageData()), true});
            continue;
        }
        QByteArray bytes = data.data(format);
        if (isImageFormat(database, format)) {
            m_images.push_back({bytes, {}, false});
        }
        m_data.emplace_back(format, std::move(bytes));
    }
}

const QByteArray* DropInfo::dataOf(const QString& mimeType) const {
    for (const auto& [format, bytes] : m_data) {
        if (format == mimeType) {
            return &bytes;
        }
    }
    return nullptr;
}

std::optional<QUrl> DropInfo::loadUrl() const {
    if (m_urls.empty()) {
        return std::nullopt;
    }
    return readUrl(m_urls.front());
}

std::optional<QUrl> DropInfo::loadFileUrl() const {
    for (const QUrl& url : m_urls) {
        if (url.isLocalFile()) {
            return readUrlItem(url, "Failed to fetch file url from drop info", "loadFileUrl()");
        }
    }
    return std::nullopt;
}

std::optional<QUrl> DropInfo::loadImageUrl() const {
    auto url = loadUrl();
    if (!url) {
        return std::nullopt;
    }
    // With an image beside it the URL is taken as the image's own, whatever it names.
    if (hasImageItems() || namesLocalImageFile(*url)) {
        return url;
    }
    return std::nullopt;
}

std::optional<Image> DropInfo::loadImageItem(std::size_t index) const {
    if (index >= m_images.size()) {
        return std::nullopt;
    }
    const ImageItem& item = m_images[index];
    const bool empty = item.isDecoded ? item.image.isNull() : item.bytes.isEmpty();
    if (empty) {
        logFailure("Failed to fetch image from drop info", "loadImage()",
                   "The dropped image item is empty");
        return std::nullopt;
    }
    if (item.isDecoded) {
        // An image handed over decoded is held to the same limits as one decoded here.
        if (!isWithinImagePixelLimits(item.image.size())) {
            return std::nullopt;
        }
        return Image::fromBitmap(item.image);
    }
    auto decoded = imageFromData(item.bytes);
    if (auto* image = std::get_if<Image>(&decoded)) {
        return std::move(*image);
    }
    return std::nullopt;
}

void DropInfo::loadImage(std::function<void(std::optional<Image>)> done,
                         std::chrono::milliseconds timeout) const {
    for (const QUrl& item : m_urls) {
        if (!item.isLocalFile()) {
            continue;
        }
        const auto url = readUrl(item);
        if (!url || !namesLocalImageFile(*url)) {
            continue;
        }
        auto loaded = loadImageFile(url->toLocalFile());
        if (auto* image = std::get_if<Image>(&loaded)) {
            done(std::move(*image));
            return;
        }
    }
    for (std::size_t index = 0; index < m_images.size(); ++index) {
        if (auto image = loadImageItem(index)) {
            done(std::move(image));
            return;
        }
    }
    const auto url = m_urls.empty() ? std::nullopt : readUrl(m_urls.front());
    if (!url || (url->isLocalFile() && !namesLocalImageFile(*url))) {
        done(std::nullopt);
        return;
    }
    uikit::loadImage(
        *url,
        [done = std::move(done)](ImageLoadResult result) {
            if (auto* image = std::get_if<Image>(&result)) {
                done(std::move(*image));
            } else {
                done(std::nullopt);
            }
        },
        timeout);
}

std::optional<QString> DropInfo::loadString() const {
    return m_text;
}

} // namespace uikit
