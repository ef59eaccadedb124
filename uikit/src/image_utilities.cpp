#include "uikit/image_utilities.hpp"

#include "document/image_codec.hpp"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QPainterPath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>

namespace uikit {

namespace {

bool withinPixelLimits(double width, double height) {
    return width >= 1 && height >= 1 && width <= document::kMaxImageSide &&
           height <= document::kMaxImageSide &&
           width * height <= static_cast<double>(document::kMaxImagePixels);
}

std::optional<QSize> pixelSize(const QSizeF& size, int scale) {
    const double width = size.width();
    const double height = size.height();
    if (!std::isfinite(width) || !std::isfinite(height) || scale < 1) {
        return std::nullopt;
    }
    // Cut to whole points first, then scale, all in double so nothing can overflow before the
    // limits are checked.
    const double pixelWidth = std::trunc(width) * scale;
    const double pixelHeight = std::trunc(height) * scale;
    if (!withinPixelLimits(pixelWidth, pixelHeight)) {
        return std::nullopt;
    }
    return QSize(static_cast<int>(pixelWidth), static_cast<int>(pixelHeight));
}

std::optional<QByteArray> encode(const QImage& bitmap, const char* format, int quality) {
    if (bitmap.isNull()) {
        return std::nullopt;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(bitmap)) {
        return std::nullopt;
    }
    return bytes;
}

bool isDrawable(const QRectF& rect) {
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) &&
           std::isfinite(rect.height()) && rect.width() > 0 && rect.height() > 0;
}

// The whole image, or the first error, in the shape `loadImage` hands out.
ImageLoadResult widen(std::variant<Image, FetchError> result) {
    if (auto* image = std::get_if<Image>(&result)) {
        return std::move(*image);
    }
    return std::get<FetchError>(result);
}

} // namespace

bool isWithinImagePixelLimits(const QSize& pixels) noexcept {
    return withinPixelLimits(pixels.width(), pixels.height());
}

Image Image::fromBitmap(QImage bitmap) {
    const QSizeF size = bitmap.deviceIndependentSize();
    return {std::move(bitmap), size};
}

std::optional<ScaleKind> scaleKindFromRawValue(int raw) noexcept {
    switch (raw) {
    case 0:
        return ScaleKind::stretch;
    case 1:
        return ScaleKind::fill;
    case 2:
        return ScaleKind::fit;
    default:
        return std::nullopt;
    }
}

FetchError::FetchError(Code code)
    : core::Error("FetchError", static_cast<int>(code)), m_code(code) {}

ImageTransferError::ImageTransferError(int networkError, std::string message)
    : core::Error("QNetworkReply", networkError, std::move(message)) {}

int jpegWriterQuality(int compressionQuality) noexcept {
    return compressionQuality >= 1 && compressionQuality <= 99 ? compressionQuality : -1;
}

std::optional<QByteArray> jpegData(const QImage& bitmap, int compressionQuality) {
    return encode(bitmap, "jpeg", jpegWriterQuality(compressionQuality));
}

std::optional<QByteArray> pngData(const QImage& bitmap) {
    return encode(bitmap, "png", -1);
}

std::optional<Image> createImage(const QSizeF& size, int scale,
                                 const std::function<void(const QRectF&, QPainter&)>& draw) {
    const auto pixels = pixelSize(size, scale);
    if (!pixels) {
        return std::nullopt;
    }
    QImage bitmap(*pixels, QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull()) {
        return std::nullopt;
    }
    bitmap.fill(Qt::transparent);
    {
        QPainter painter(&bitmap);
        if (scale > 1) {
            painter.scale(scale, scale);
        }
        draw(QRectF(QPointF(0, 0), size), painter);
    }
    bitmap.setDevicePixelRatio(scale);
    return Image{std::move(bitmap), size};
}

QRectF placeImage(const QSizeF& imageSize, const QRectF& target, ScaleKind kind) {
    const qreal w = target.width();
    const qreal h = target.height();
    const qreal rw = imageSize.width() / w;
    const qreal rh = imageSize.height() / h;
    if (rw == rh || kind == ScaleKind::stretch) {
        return target;
    }
    QSizeF placed = target.size();
    if (kind == ScaleKind::fill) {
        if (rh < rw) {
            placed = QSizeF(w * rw / rh, h);
        } else if (rh > rw) {
            placed = QSizeF(w, h * rh / rw);
        }
    } else {
        const qreal m = std::max(rw, rh);
        placed = QSizeF(imageSize.width() / m, imageSize.height() / m);
    }
    return {target.x() + w / 2 - placed.width() / 2, target.y() + h / 2 - placed.height() / 2,
            placed.width(), placed.height()};
}

std::optional<Image> resized(const Image& source, const QSizeF& size, const QMarginsF& insets,
                             std::optional<qreal> radius, int scale, ScaleKind kind) {
    return createImage(size, scale, [&](const QRectF& bounds, QPainter& painter) {
        const QRectF inset(insets.left(), insets.top(),
                           bounds.width() - insets.left() - insets.right(),
                           bounds.height() - insets.top() - insets.bottom());
        // Insets that leave no room leave nothing to draw: a rectangle of negative size would
        // otherwise flip the placement and the corner arithmetic.
        if (!(inset.width() > 0) || !(inset.height() > 0)) {
            return;
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        if (radius) {
            painter.setRenderHint(QPainter::Antialiasing, true);
            // A radius that is no positive number gives square corners, never a stray curve.
            const qreal r = std::isfinite(*radius) && *radius > 0 ? *radius : 0;
            QPainterPath clip;
            clip.setFillRule(Qt::WindingFill);
            clip.addRoundedRect(inset, std::min(inset.width() / 2, r),
                                std::min(inset.height() / 2, r));
            painter.setClipPath(clip);
        }
        const QRectF target = placeImage(source.size, inset, kind);
        if (isDrawable(target) && !source.bitmap.isNull()) {
            painter.drawImage(target, source.bitmap, QRectF(source.bitmap.rect()));
        }
    });
}

QPixmap toPixmap(const Image& image) {
    QPixmap pixmap = QPixmap::fromImage(image.bitmap);
    if (image.size.width() > 0 && !pixmap.isNull()) {
        pixmap.setDevicePixelRatio(pixmap.width() / image.size.width());
    }
    return pixmap;
}

std::variant<Image, FetchError> imageFromData(const QByteArray& bytes) {
    const FetchError badImage(FetchError::Code::badImage);
    if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) > document::kMaxImageFileBytes) {
        return badImage;
    }
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Decoders that cannot tell their size up front are still held to the same bound.
    reader.setAllocationLimit(static_cast<int>(document::kMaxImagePixels * 4 / (1024 * 1024)));
    const QSize announced = reader.size();
    if (announced.isValid() && !withinPixelLimits(announced.width(), announced.height())) {
        return badImage;
    }
    QImage bitmap = reader.read();
    if (bitmap.isNull() || !withinPixelLimits(bitmap.width(), bitmap.height())) {
        return badImage;
    }
    return Image::fromBitmap(std::move(bitmap));
}

std::variant<Image, FetchError> loadImageFile(const QString& path) {
    const FetchError badImage(FetchError::Code::badImage);
    // Opened without blocking and held to regular files: a named pipe or a device would otherwise
    // stall the caller until some writer shows up.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return badImage;
    }
    struct stat info {};
    QFile file;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return badImage;
    }
    // One byte more than allowed tells an oversized file apart.
    const QByteArray bytes = file.read(static_cast<qint64>(document::kMaxImageFileBytes) + 1);
    return imageFromData(bytes);
}

void loadImage(const QUrl& url, std::function<void(ImageLoadResult)> done,
               std::chrono::milliseconds timeout) {
    if (url.isLocalFile()) {
        done(widen(loadImageFile(url.toLocalFile())));
        return;
    }
    struct Transfer {
        std::function<void(ImageLoadResult)> done;
        QByteArray bytes;
        bool tooLarge = false;
        bool finished = false;
    };
    auto transfer = std::make_shared<Transfer>();
    transfer->done = std::move(done);

    // Each load owns its manager: nothing is shared or cached between loads.
    auto* manager = new QNetworkAccessManager;
    QNetworkRequest request(url);
    request.setTransferTimeout(
        static_cast<int>(std::clamp<std::int64_t>(timeout.count(), 1, INT_MAX)));
    QNetworkReply* reply = manager->get(request);

    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, transfer] {
        transfer->bytes += reply->readAll();
        if (static_cast<std::size_t>(transfer->bytes.size()) > document::kMaxImageFileBytes) {
            transfer->tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, manager, [manager, reply, transfer] {
        if (transfer->finished) {
            return;
        }
        transfer->finished = true;
        manager->deleteLater();
        if (!transfer->tooLarge && reply->isOpen()) {
            transfer->bytes += reply->readAll();
        }
        ImageLoadResult result = FetchError(FetchError::Code::badID);
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (transfer->tooLarge) {
            result = FetchError(FetchError::Code::badImage);
        } else if (status.isValid()) {
            // An HTTP answer came: its status decides before any error Qt derives from it.
            if (status.toInt() != 200) {
                result = FetchError(FetchError::Code::badID);
            } else if (reply->error() != QNetworkReply::NoError) {
                result = ImageTransferError(reply->error(), reply->errorString().toStdString());
            } else {
                result = widen(imageFromData(transfer->bytes));
            }
        } else if (reply->error() != QNetworkReply::NoError) {
            result = ImageTransferError(reply->error(), reply->errorString().toStdString());
        }
        transfer->done(std::move(result));
    });
}

} // namespace uikit
