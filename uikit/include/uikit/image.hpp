#pragma once

#include "files/vt_path.hpp"

#include <QImage>
#include <QString>

#include <optional>

namespace uikit {

/// The bitmap of `loadImageFile(path)`, or nothing where that gives `badImage`: the file is
/// missing, no regular file (a pipe is refused without waiting on it), unreadable, larger than the
/// document reader accepts or holds no image within its pixel limits.
std::optional<QImage> imageFromFile(const QString& path);

/// The image in `file`, as `imageFromFile` of its path.
std::optional<QImage> imageFromFile(const files::VtFile& file);

/// The image in `file`, as `imageFromFile`.
std::optional<QImage> loadImage(const files::VtFile& file);

} // namespace uikit
