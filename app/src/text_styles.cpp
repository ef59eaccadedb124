#include "app/text_styles.hpp"

#include <QApplication>
#include <QLabel>

namespace app {

QFont systemFont(TextStyle style) {
    QFont font = QApplication::font();
    font.setPixelSize(AppFont::size(style));
    return font;
}

QLabel* makeTitleLabel(const QString& text, TextStyle style, QWidget* parent) {
    auto* label = new QLabel(parent);
    // Names come from documents: a name that looks like markup is still shown as typed.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(systemFont(style));
    return label;
}

} // namespace app
