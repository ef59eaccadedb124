#pragma once

#include "files/vt_path.hpp"

#include <QImage>
#include <QString>

#include <optional>

namespace uikit {

/// The image in the file at `path`, or nothing when the file is missing, unreadable, not an
/// image, or larger than Qt's image allocation limit.
std::optional<QImage> imageFromFile(const QString& path);

/// The image in `file`, as `imageFromFile` of its path.
std::optional<QImage> imageFromFile(const files::VtFile& file);

/// The image in `file`, as `imageFromFile`.
std::optional<QImage> loadImage(const files::VtFile& file);

} // namespace uikit
