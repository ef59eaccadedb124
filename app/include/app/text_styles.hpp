#pragma once

#include "app/app_font.hpp"

#include <QFont>

class QLabel;

namespace app {

/// The application's default font at the pixel size of `style`.
QFont systemFont(TextStyle style);

/// A label showing `text` verbatim (never as rich text) in the default font at `style`'s size.
QLabel* makeTitleLabel(const QString& text, TextStyle style, QWidget* parent = nullptr);

} // namespace app
