#include "uikit/image.hpp"

#include "uikit/image_utilities.hpp"

#include <QFile>

#include <utility>
#include <variant>

namespace uikit {

std::optional<QImage> imageFromFile(const QString& path) {
    // The file loader's checks keep a pipe, a device or an oversized file from stalling or
    // exhausting the caller; the bitmap is all this form hands out.
    auto loaded = loadImageFile(path);
    if (auto* image = std::get_if<Image>(&loaded)) {
        return std::move(image->bitmap);
    }
    return std::nullopt;
}

std::optional<QImage> imageFromFile(const files::VtFile& file) {
    // Paths are bytes on Linux; the file-name codec keeps them as the file system has them.
    return imageFromFile(QFile::decodeName(QByteArray::fromStdString(file.url().native())));
}

std::optional<QImage> loadImage(const files::VtFile& file) {
    return imageFromFile(file);
}

} // namespace uikit
