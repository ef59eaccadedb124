#pragma once

#include "core/json_coding.hpp"
#include "uikit/image_utilities.hpp"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QUrl>

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QMimeData;

namespace uikit {

/// What a drop carries, read into values: URLs, images, decoded JSON objects and text. It keeps
/// its own copy of the dropped data, so it outlives the drop event. Every load gives an absent
/// result when nothing fits; a URL or image item that cannot be read (or is empty) is logged.
class DropInfo {
public:
    /// The items of `data`: each URL of its URL list, each image format and its text.
    explicit DropInfo(const QMimeData& data);

    /// The first URL item (file or web), absent when there is none or it cannot be read.
    std::optional<QUrl> loadUrl() const;
    /// The first local file URL item, absent when there is none or it cannot be read.
    std::optional<QUrl> loadFileUrl() const;
    /// The first URL item when the drop also carries an image item or the URL names a local image
    /// file; absent otherwise.
    std::optional<QUrl> loadImageUrl() const;
    /// The first image found, tried in order: local image files among the URL items, then image
    /// items, then the image at the first URL item (fetched from the web when it is no file,
    /// within `timeout`). `done` is called exactly once on the calling thread, which must run a
    /// Qt event loop; before this returns unless a web fetch is needed.
    void loadImage(std::function<void(std::optional<Image>)> done,
                   std::chrono::milliseconds timeout = kImageLoadTimeout) const;
    /// The first item of MIME type `mimeType` decoded as JSON into a `T`, dates read as ISO 8601
    /// text; absent when there is no such item, it is empty or it does not decode.
    template <core::JsonDecodable T>
    std::optional<T> loadObject(const QString& mimeType) const {
        const QByteArray* bytes = dataOf(mimeType);
        if (bytes == nullptr || bytes->isEmpty()) {
            return std::nullopt;
        }
        try {
            return core::load<T>(core::Data(bytes->begin(), bytes->end()),
                                 core::DateDecodingStrategy::iso8601());
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    /// The dropped text, absent when the drop has none.
    std::optional<QString> loadString() const;

    /// True when the drop carries at least one image item.
    bool hasImageItems() const noexcept { return !m_images.empty(); }
    /// The image of the `index`th image item; absent (and logged) when it cannot be read, absent
    /// without a log when it is no image or there is no such item.
    std::optional<Image> loadImageItem(std::size_t index) const;

private:
    struct ImageItem {
        QByteArray bytes; // encoded image data, or empty when `image` holds it
        QImage image;
        bool isDecoded = false;
    };

    const QByteArray* dataOf(const QString& mimeType) const;

    std::vector<QUrl> m_urls;
    std::vector<ImageItem> m_images;
    std::vector<std::pair<QString, QByteArray>> m_data;
    std::optional<QString> m_text;
};

} // namespace uikit
