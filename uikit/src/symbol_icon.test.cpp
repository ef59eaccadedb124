#include "uikit/symbol_icon.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QToolButton>

namespace {

using uikit::SFSymbol;
using uikit::SymbolSource;

QImage render(const QIcon& icon) {
    return icon.pixmap(QSize(32, 32)).toImage();
}

int opaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        }
    }
    return count;
}

TEST(SymbolIcon, EachNameFindsItsSourceInOrder) {
    for (const char* name : {"square.and.arrow.up", "sidebar.right", "chevron.left",
                             "chevron.right", "chevron.up", "chevron.down", "xmark"}) {
        EXPECT_EQ(uikit::symbolSource(name), SymbolSource::resource) << name;
        EXPECT_GT(opaquePixels(render(uikit::symbolIcon(name))), 20) << name;
    }
    for (const char* name :
         {"7.circle", "7.circle.fill", "07.square", "50.square.fill", "a.circle"}) {
        EXPECT_EQ(uikit::symbolSource(name), SymbolSource::painted) << name;
    }
    for (const char* name : {"7.circles", "ab.circle", "A.circle", ".circle", "123.circle", "7"}) {
        EXPECT_NE(uikit::symbolSource(name), SymbolSource::painted) << name;
    }
    EXPECT_EQ(uikit::symbolSource("no.such.symbol"), SymbolSource::placeholder);
    EXPECT_FALSE(uikit::symbolIcon("no.such.symbol").isNull());
    EXPECT_EQ(uikit::themeIconName("arrow.triangle.2.circlepath"), "view-refresh");
    EXPECT_EQ(uikit::themeIconName("pencil"), std::nullopt);
}

TEST(SymbolIcon, FilledEnclosuresCoverMoreThanOutlinesAndVariantsUseTheirOwnDrawing) {
    const QImage outline = render(uikit::symbolIcon(SFSymbol::seven.circled()));
    const QImage filled = render(uikit::symbolIcon(SFSymbol::seven.circled().filled()));
    EXPECT_GT(opaquePixels(filled), 2 * opaquePixels(outline));
    EXPECT_EQ(qAlpha(filled.pixel(0, 0)), 0) << "outside the circle stays clear";

    // A variant draws its own image when one exists ("7" circled is "7.circle"), else its base.
    EXPECT_EQ(render(uikit::symbolIcon(SFSymbol{"7"}.circled())), outline);
    EXPECT_EQ(render(uikit::symbolIcon(SFSymbol::xmark.filled())),
              render(uikit::symbolIcon(SFSymbol::xmark)));
}

TEST(SymbolIcon, TheKitsDrawingsTakeThePalettesTextColour) {
    const QPalette saved = QGuiApplication::palette();
    QPalette red = saved;
    red.setColor(QPalette::Active, QPalette::WindowText, Qt::red);
    QGuiApplication::setPalette(red);
    const QImage image = render(uikit::symbolIcon(SFSymbol::xmark));
    QGuiApplication::setPalette(saved);
    bool sawRed = false;
    for (int y = 0; y < image.height() && !sawRed; ++y) {
        for (int x = 0; x < image.width() && !sawRed; ++x) {
            const QRgb pixel = image.pixel(x, y);
            sawRed = qAlpha(pixel) == 255 && qRed(pixel) == 255 && qGreen(pixel) == 0;
        }
    }
    EXPECT_TRUE(sawRed);
}

TEST(SymbolIcon, LabelsCarryTitleIconAndAToolTipOnlyForPlaceholders) {
    QToolButton button;
    uikit::label(SFSymbol::squareAndArrowUp, "CSV").applyTo(button);
    EXPECT_EQ(button.text(), "CSV");
    EXPECT_FALSE(button.icon().isNull());
    EXPECT_TRUE(button.toolTip().isEmpty());

    QAction action;
    uikit::label(SFSymbol::newspaper, "News").applyTo(action);
    EXPECT_EQ(action.text(), "News");
    EXPECT_EQ(action.toolTip(), "newspaper");

    EXPECT_TRUE(uikit::label(SFSymbol::a.circled().filled(), "A").toolTip.isEmpty());
    EXPECT_EQ(uikit::label(SFSymbol::pencil.slashed(), "Edit").toolTip, "pencil");
}

} // namespace
