#include "uikit/divider.hpp"

#include "uikit/color.hpp"

#include "qt_test_pixels.hpp"

#include <gtest/gtest.h>

#include <QBoxLayout>
#include <QImage>
#include <QLabel>
#include <QList>

#include <cmath>

namespace {

using uikit::Divider;

// A window filled with its palette's window colour, laid out along the divider's cross axis with
// room on both sides of it.
struct Holder {
    explicit Holder(Qt::Orientation orientation, Divider::Background background = {}) {
        window.setAutoFillBackground(true);
        auto* layout = new QBoxLayout(orientation == Qt::Horizontal ? QBoxLayout::TopToBottom
                                                                    : QBoxLayout::LeftToRight,
                                      &window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addStretch(1);
        divider = new Divider(orientation, std::move(background));
        layout->addWidget(divider);
        layout->addStretch(1);
        window.resize(60, 40);
        window.show();
    }

    // The divider's middle in a shot of the window, and one step across the line.
    QPoint middle() const { return divider->mapTo(&window, divider->rect().center()); }
    QPoint across() const {
        return divider->orientation() == Qt::Horizontal ? QPoint(0, 1) : QPoint(1, 0);
    }

    QWidget window;
    Divider* divider = nullptr;
};

// `over` with `layer` laid on it, per channel.
int blended(int layer, int alpha, int over) {
    return static_cast<int>(std::lround((layer * alpha + over * (255 - alpha)) / 255.0));
}

TEST(Divider, IsAOnePixelSeparatorLineInLightAndDarkFollowingThePalette) {
    for (const Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        SCOPED_TRACE(orientation == Qt::Horizontal ? "horizontal" : "vertical");
        Holder holder(orientation);
        const bool horizontal = orientation == Qt::Horizontal;
        EXPECT_EQ(horizontal ? holder.divider->height() : holder.divider->width(), 1);
        EXPECT_EQ(horizontal ? holder.divider->width() : holder.divider->height(),
                  horizontal ? holder.window.width() : holder.window.height());
        // The same divider repainted after each change of palette.
        for (const QPalette& colours : {vtLightPalette(), vtDarkPalette()}) {
            SCOPED_TRACE(uikit::Color::isDarkAppearance(colours) ? "dark" : "light");
            holder.window.setPalette(colours);
            expectLineAt(holder.window.grab().toImage(), holder.middle(), holder.across(),
                         colours.color(QPalette::Mid));
        }
    }
}

TEST(Divider, ABackgroundLiesBehindTheLineAndShowsOnlyThroughATranslucentSeparator) {
    Holder plain(Qt::Horizontal);
    Holder backed(Qt::Vertical,
                  [](const QPalette& palette) { return uikit::Color::systemBackground(palette); });
    for (const QPalette& colours :
         {vtLightPalette(QColor(0, 0, 0, 64)), vtDarkPalette(QColor(255, 255, 255, 64))}) {
        SCOPED_TRACE(uikit::Color::isDarkAppearance(colours) ? "dark" : "light");
        const QColor separator = colours.color(QPalette::Mid);
        for (Holder* holder : {&plain, &backed}) {
            holder->window.setPalette(colours);
            // Without a background the window's own colour lies behind the line.
            const QColor behind = holder == &backed ? uikit::Color::systemBackground(colours)
                                                    : colours.color(QPalette::Window);
            const QColor seen = holder->window.grab().toImage().pixelColor(holder->middle());
            EXPECT_NEAR(seen.red(), blended(separator.red(), separator.alpha(), behind.red()), 1)
                << seen.name().toStdString() << " over " << behind.name().toStdString();
            EXPECT_NEAR(seen.blue(), blended(separator.blue(), separator.alpha(), behind.blue()),
                        1);
        }
    }

    // An opaque separator hides the background entirely.
    backed.window.setPalette(vtLightPalette());
    expectLineAt(backed.window.grab().toImage(), backed.middle(), backed.across(),
                 QColor(184, 184, 184));
}

// Panels find their dividers by type; that takes the divider's own meta-object, without which
// every widget would pass for one.
TEST(Divider, ALookupByTypeFindsTheDividersAndNoOtherWidget) {
    QWidget parent;
    new QWidget(&parent);
    new QLabel(QStringLiteral("beside"), &parent);
    auto* divider = new Divider(Qt::Horizontal, {}, &parent);
    auto* nested = new QWidget(&parent);
    new QWidget(nested);
    auto* inner = new Divider(Qt::Vertical, {}, nested);

    EXPECT_EQ(parent.findChildren<Divider*>(Qt::FindDirectChildrenOnly), QList<Divider*>{divider});
    EXPECT_EQ(parent.findChildren<Divider*>(), (QList<Divider*>{divider, inner}));
    EXPECT_EQ(nested->findChild<Divider*>(), inner);
    EXPECT_TRUE(divider->inherits("uikit::Divider"));

    // A plain widget is no divider, and one holding only plain widgets has none.
    QWidget plain;
    new QWidget(&plain);
    new QLabel(&plain);
    EXPECT_FALSE(plain.inherits("uikit::Divider"));
    EXPECT_EQ(plain.findChild<Divider*>(), nullptr);
    EXPECT_TRUE(plain.findChildren<Divider*>().isEmpty());
}

} // namespace
