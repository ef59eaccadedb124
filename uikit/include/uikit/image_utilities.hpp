#pragma once

#include "core/error.hpp"

#include <QByteArray>
#include <QImage>
#include <QMarginsF>
#include <QPixmap>
#include <QRectF>
#include <QSizeF>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <variant>

class QPainter;

namespace uikit {

/// An image as the kit hands it around: one bitmap and the size it stands for in
/// device-independent pixels (points), which need not be a whole number.
struct Image {
    QImage bitmap;
    QSizeF size;

    /// An image of `bitmap` whose size in points is its pixel size over its device pixel ratio.
    static Image fromBitmap(QImage bitmap);
};

/// How `resized` places an image in its target rectangle; raw values 0, 1, 2.
enum class ScaleKind {
    stretch = 0, ///< Fills the rectangle exactly; the aspect ratio is not kept.
    fill = 1,    ///< Keeps the aspect ratio and covers the rectangle, centred; excess lies outside.
    fit = 2,     ///< Keeps the aspect ratio and lies wholly inside the rectangle, centred.
};

/// The scale kind of raw value `raw`; absent for anything but 0, 1 and 2.
std::optional<ScaleKind> scaleKindFromRawValue(int raw) noexcept;

/// Why an image could not be loaded.
class FetchError : public core::Error {
public:
    enum class Code {
        badID = 0,    ///< A web URL answered with something other than HTTP status 200.
        badImage = 1, ///< The bytes (file or web) are no image within the decoder's limits.
    };
    /// The error of case `code`.
    explicit FetchError(Code code);
    /// The error's case.
    Code code() const noexcept { return m_code; }
    friend bool operator==(const FetchError& a, const FetchError& b) noexcept {
        return a.m_code == b.m_code;
    }

private:
    Code m_code;
};

/// A web transfer that failed before an answer came (refused connection, time-out, TLS...);
/// `errorCode()` is Qt's `QNetworkReply::NetworkError` value.
class ImageTransferError : public core::Error {
public:
    /// The failure of Qt's network error `networkError`, explained by `message`.
    ImageTransferError(int networkError, std::string message);
};

/// What a load gives: the image, or why there is none.
using ImageLoadResult = std::variant<Image, FetchError, ImageTransferError>;

/// The Qt JPEG quality for a compression quality in percent: 1 to 99 are kept, anything else
/// gives -1, the encoder's default.
int jpegWriterQuality(int compressionQuality) noexcept;

/// The bitmap encoded as JPEG at `compressionQuality` (see `jpegWriterQuality`); absent for a
/// null bitmap or when encoding fails.
std::optional<QByteArray> jpegData(const QImage& bitmap, int compressionQuality);

/// The bitmap encoded as PNG; absent for a null bitmap or when encoding fails.
std::optional<QByteArray> pngData(const QImage& bitmap);

/// Draws a new image of `size` points with `scale` pixels per point (pixel width = the width cut
/// to a whole number, times `scale`). `draw` is called once, before this returns, with the
/// rectangle (0, 0, width, height) in points and a painter scaled to points, y pointing down.
/// Absent, without calling `draw` or allocating, when a dimension is not finite, the scale is
/// below 1, or the bitmap would be empty or exceed the document reader's pixel limits.
std::optional<Image> createImage(const QSizeF& size, int scale,
                                 const std::function<void(const QRectF&, QPainter&)>& draw);

/// Where an image of `imageSize` is drawn for `kind` in `target`: the whole target for stretch
/// or equal aspect ratios, else a rectangle of the image's aspect ratio centred on it.
QRectF placeImage(const QSizeF& imageSize, const QRectF& target, ScaleKind kind);

/// A new image of `size` points (see `createImage`) holding `source` placed by `kind` in the
/// rectangle left by `insets` (each on its named edge), clipped to corners of `radius` (cut per
/// axis to half the rectangle's width and height) when one is given; insets that leave no room
/// give a transparent image.
std::optional<Image> resized(const Image& source, const QSizeF& size, const QMarginsF& insets,
                             std::optional<qreal> radius, int scale, ScaleKind kind);

/// The image as a pixmap for a label or a painter, its device pixel ratio set so that it covers
/// its size in points.
QPixmap toPixmap(const Image& image);

/// True when a bitmap of `pixels` is non-empty and within the document reader's pixel limits.
bool isWithinImagePixelLimits(const QSize& pixels) noexcept;

/// The image in the local file at `path`: `badImage` when it is no regular file (a pipe or a
/// device is refused without waiting on it), cannot be read, is larger than the document reader
/// accepts or holds no image within its pixel limits.
std::variant<Image, FetchError> loadImageFile(const QString& path);

/// The image in `bytes`; `badImage` as `loadImageFile` for anything that is no bounded image.
std::variant<Image, FetchError> imageFromData(const QByteArray& bytes);

/// How long a web image load may go without receiving data before it fails with a time-out.
inline constexpr std::chrono::milliseconds kImageLoadTimeout{60'000};

/// Loads the image at `url` and calls `done` exactly once on the calling thread, which must run a
/// Qt event loop: for a file URL before this returns; for any other URL once the web transfer
/// ends (only HTTP status 200 is accepted), fails or goes `timeout` without receiving data.
void loadImage(const QUrl& url, std::function<void(ImageLoadResult)> done,
               std::chrono::milliseconds timeout = kImageLoadTimeout);

} // namespace uikit
