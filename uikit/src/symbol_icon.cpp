#include "uikit/symbol_icon.hpp"

#include "kit_resources.hpp"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <utility>

namespace uikit {
namespace {

// Symbols with a standard freedesktop icon of the same meaning.
constexpr std::array<std::pair<std::string_view, std::string_view>, 24> kThemeNames{{
    {"xmark", "window-close"},
    {"chevron.left", "go-previous"},
    {"chevron.right", "go-next"},
    {"chevron.up", "go-up"},
    {"chevron.down", "go-down"},
    {"arrow.left", "go-previous"},
    {"arrow.right", "go-next"},
    {"arrow.up", "go-up"},
    {"arrow.down", "go-down"},
    {"plus", "list-add"},
    {"minus", "list-remove"},
    {"trash", "edit-delete"},
    {"arrow.triangle.2.circlepath", "view-refresh"},
    {"doc.on.doc", "edit-copy"},
    {"doc", "text-x-generic"},
    {"doc.text", "text-x-generic"},
    {"doc.badge.plus", "document-new"},
    {"folder", "folder"},
    {"gear", "preferences-system"},
    {"slider.horizontal.3", "preferences-system"},
    {"info", "dialog-information"},
    {"questionmark", "help-contents"},
    {"increase.indent", "format-indent-more"},
    {"decrease.indent", "format-indent-less"},
}};

struct EnclosedName {
    QString text;
    bool square = false;
    bool fill = false;
};

// "7.circle", "07.square.fill", "a.circle": one or two digits or one lower-case letter, then the
// enclosure.
std::optional<EnclosedName> parseEnclosed(std::string_view name) {
    const auto dot = name.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 2) {
        return std::nullopt;
    }
    const std::string_view head = name.substr(0, dot);
    const bool digits = std::all_of(head.begin(), head.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    const bool letter = head.size() == 1 && head[0] >= 'a' && head[0] <= 'z';
    if (!digits && !letter) {
        return std::nullopt;
    }
    const std::string_view tail = name.substr(dot);
    EnclosedName parsed{QString::fromLatin1(head.data(), static_cast<qsizetype>(head.size()))};
    if (tail == ".circle" || tail == ".circle.fill") {
        parsed.fill = tail.size() > 7;
    } else if (tail == ".square" || tail == ".square.fill") {
        parsed.square = true;
        parsed.fill = tail.size() > 7;
    } else {
        return std::nullopt;
    }
    return parsed;
}

QString resourcePath(std::string_view name) {
    return QStringLiteral(":/uikit/symbols/") +
           QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
           QStringLiteral(".svg");
}

bool hasResource(std::string_view name) {
    detail::ensureKitResources();
    return QFile::exists(resourcePath(name));
}

QColor inkColor(QIcon::Mode mode) {
    const QPalette palette = QGuiApplication::palette();
    return palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                         QPalette::WindowText);
}

// Draws the kit's symbols at any size in the palette's text colour: shapes are drawn in black on
// a transparent image, then tinted.
class SymbolEngine final : public QIconEngine {
public:
    using Draw = std::function<void(QPainter&, const QRectF&)>;

    explicit SymbolEngine(Draw draw) : m_draw(std::move(draw)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
        QImage image = render(rect.size() * ratio, mode, state);
        image.setDevicePixelRatio(ratio);
        painter->drawImage(rect, image);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return QPixmap::fromImage(render(size, mode, state));
    }

    QIconEngine* clone() const override { return new SymbolEngine(m_draw); }

private:
    QImage render(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/) const {
        QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        m_draw(painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), inkColor(mode));
        return image;
    }

    Draw m_draw;
};

QIcon engineIcon(SymbolEngine::Draw draw) {
    return QIcon(new SymbolEngine(std::move(draw)));
}

QIcon resourceIcon(std::string_view name) {
    auto renderer = std::make_shared<QSvgRenderer>(resourcePath(name));
    return engineIcon(
        [renderer](QPainter& painter, const QRectF& rect) { renderer->render(&painter, rect); });
}

QIcon paintedIcon(const EnclosedName& enclosed) {
    return engineIcon([enclosed](QPainter& painter, const QRectF& rect) {
        const qreal side = std::min(rect.width(), rect.height());
        const qreal stroke = std::max<qreal>(1, side / 14);
        const QRectF box = QRectF(rect.center() - QPointF(side, side) / 2, QSizeF(side, side))
                               .adjusted(stroke, stroke, -stroke, -stroke);
        QPainterPath shape;
        if (enclosed.square) {
            shape.addRoundedRect(box, side / 5, side / 5);
        } else {
            shape.addEllipse(box);
        }
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(
            std::max(1, static_cast<int>(side * (enclosed.text.size() > 1 ? 0.42 : 0.55))));
        painter.setFont(font);
        if (enclosed.fill) {
            painter.fillPath(shape, Qt::black);
            // The figure is cut out of the filled shape, as the filled symbols are.
            painter.setCompositionMode(QPainter::CompositionMode_Clear);
            painter.drawText(box, Qt::AlignCenter, enclosed.text);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        } else {
            painter.setPen(QPen(Qt::black, stroke));
            painter.drawPath(shape);
            painter.drawText(box, Qt::AlignCenter, enclosed.text);
        }
    });
}

QIcon placeholderIcon() {
    return engineIcon([](QPainter& painter, const QRectF& rect) {
        const qreal side = std::min(rect.width(), rect.height());
        const qreal stroke = std::max<qreal>(1, side / 14);
        const QRectF box = QRectF(rect.center() - QPointF(side, side) / 2, QSizeF(side, side))
                               .adjusted(stroke, stroke, -stroke, -stroke);
        painter.setPen(QPen(Qt::black, stroke, Qt::DashLine));
        painter.drawRoundedRect(box, side / 5, side / 5);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(std::max(1, static_cast<int>(side * 0.55)));
        painter.setFont(font);
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("?"));
    });
}

// The dedicated image of `name`, without falling back to the theme or a placeholder.
std::optional<QIcon> ownIcon(std::string_view name) {
    if (hasResource(name)) {
        return resourceIcon(name);
    }
    if (const auto enclosed = parseEnclosed(name)) {
        return paintedIcon(*enclosed);
    }
    return std::nullopt;
}

// A variant's own drawing when there is one, else its base's name.
std::string variantImageName(const SFSymbol::Variant& variant) {
    std::string name = variant.variantName();
    if (hasResource(name) || parseEnclosed(name)) {
        return name;
    }
    return variant.base.id;
}

} // namespace

std::optional<std::string> themeIconName(std::string_view name) {
    const auto found = std::find_if(kThemeNames.begin(), kThemeNames.end(),
                                    [name](const auto& entry) { return entry.first == name; });
    if (found == kThemeNames.end()) {
        return std::nullopt;
    }
    return std::string(found->second);
}

SymbolSource symbolSource(std::string_view name) {
    if (hasResource(name)) {
        return SymbolSource::resource;
    }
    if (parseEnclosed(name)) {
        return SymbolSource::painted;
    }
    if (const auto theme = themeIconName(name);
        theme && QIcon::hasThemeIcon(QString::fromStdString(*theme))) {
        return SymbolSource::theme;
    }
    return SymbolSource::placeholder;
}

QIcon symbolIcon(std::string_view name) {
    if (auto own = ownIcon(name)) {
        return *own;
    }
    if (const auto theme = themeIconName(name)) {
        const QString themeName = QString::fromStdString(*theme);
        if (QIcon::hasThemeIcon(themeName)) {
            return QIcon::fromTheme(themeName);
        }
    }
    return placeholderIcon();
}

QIcon symbolIcon(const SFSymbol::Variant& variant) {
    return symbolIcon(std::string_view(variantImageName(variant)));
}

void Label::applyTo(QAbstractButton& button) const {
    button.setText(title);
    button.setIcon(icon);
    if (!toolTip.isEmpty()) {
        button.setToolTip(toolTip);
    }
}

void Label::applyTo(QAction& action) const {
    action.setText(title);
    action.setIcon(icon);
    if (!toolTip.isEmpty()) {
        action.setToolTip(toolTip);
    }
}

Label label(std::string_view systemName, const QString& title) {
    Label result{title, symbolIcon(systemName), {}};
    if (symbolSource(systemName) == SymbolSource::placeholder) {
        result.toolTip =
            QString::fromUtf8(systemName.data(), static_cast<qsizetype>(systemName.size()));
    }
    return result;
}

Label label(const SFSymbol::Variant& variant, const QString& title) {
    const std::string name = variantImageName(variant);
    return label(std::string_view(name), title);
}

} // namespace uikit
