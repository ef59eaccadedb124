#include "uikit/image.hpp"

#include <QFile>
#include <QImageReader>

namespace uikit {

std::optional<QImage> imageFromFile(const QString& path) {
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) {
        return std::nullopt;
    }
    return image;
}

std::optional<QImage> imageFromFile(const files::VtFile& file) {
    // Paths are bytes on Linux; the file-name codec keeps them as the file system has them.
    return imageFromFile(QFile::decodeName(QByteArray::fromStdString(file.url().native())));
}

std::optional<QImage> loadImage(const files::VtFile& file) {
    return imageFromFile(file);
}

} // namespace uikit
