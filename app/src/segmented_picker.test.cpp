#include "app/segmented_picker.hpp"

#include "qt_test_pixels.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QTest>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

namespace {

using app::SegmentedPicker;

// The least contrast between the chosen segment's fill and the others' that shows the choice at a
// glance.
constexpr double kChosenContrast = 1.5;
// WCAG's least contrast for large text and for what tells a control's state.
constexpr double kReadableContrast = 3.0;
// Below this two fills look the same (a style's gradient varies a little from row to row).
constexpr double kAlikeContrast = 1.1;

// The shared test palettes leave buttons and selections to the platform's palette, which is light;
// each appearance gets its own here. The light one selects in a dark blue, on which its black
// button text would not read.
QPalette lightPalette() {
    QPalette palette = vtLightPalette();
    palette.setColor(QPalette::Button, QColor(239, 239, 239));
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(10, 50, 120));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

QPalette darkPalette() {
    QPalette palette = vtDarkPalette();
    palette.setColor(QPalette::Button, QColor(50, 50, 50));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(42, 110, 180));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

std::string rgb(const QColor& color) {
    return std::to_string(color.red()) + "," + std::to_string(color.green()) + "," +
           std::to_string(color.blue());
}

// A picker of three segments, wide enough to leave bare fill beside each text, shown in
// `palette` with the middle segment chosen.
std::unique_ptr<SegmentedPicker> shown(const QPalette& palette) {
    auto picker = std::make_unique<SegmentedPicker>("Period", QStringList{"Day", "Week", "Month"});
    picker->setPalette(palette);
    picker->setSelectedIndex(1);
    picker->resize(300, picker->sizeHint().height());
    picker->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(picker.get()));
    return picker;
}

// A shot of a picker and what its segments show in it.
struct Shot {
    explicit Shot(SegmentedPicker& of)
        : picker(of), image(of.grab().toImage().convertToFormat(QImage::Format_RGB32)) {}

    // Segment `index` within the edge the style draws around it.
    QRect inside(int index) const {
        return picker.button(index)->geometry().adjusted(3, 3, -3, -3);
    }

    // The colour covering most of segment `index`: its fill, whatever its text leaves bare.
    QColor fill(int index) const {
        std::map<QRgb, int> counts;
        const QRect area = inside(index);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                ++counts[image.pixel(x, y)];
            }
        }
        const auto most = std::max_element(counts.begin(), counts.end(),
                                           [](auto a, auto b) { return a.second < b.second; });
        return most == counts.end() ? QColor() : QColor(most->first);
    }

    // The pixel of segment `index` standing furthest from its fill: the core of its text.
    QColor text(int index) const {
        const QColor background = fill(index);
        QColor furthest = background;
        const QRect area = inside(index);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor seen = image.pixelColor(x, y);
                if (vtContrastRatio(seen, background) > vtContrastRatio(furthest, background)) {
                    furthest = seen;
                }
            }
        }
        return furthest;
    }

    const SegmentedPicker& picker;
    QImage image;
};

// Expects segment `chosen` of `picker` to stand out from every other one and its text to read
// clearly on its fill.
void expectMarked(SegmentedPicker& picker, int chosen) {
    const Shot shot(picker);
    const QColor mark = shot.fill(chosen);
    for (int other = 0; other < picker.count(); ++other) {
        if (other != chosen) {
            const QColor fill = shot.fill(other);
            EXPECT_GE(vtContrastRatio(mark, fill), kChosenContrast)
                << "segment " << chosen << " filled " << rgb(mark) << ", segment " << other << " "
                << rgb(fill);
        }
    }
    const QColor text = shot.text(chosen);
    EXPECT_GE(vtContrastRatio(text, mark), kReadableContrast)
        << "text " << rgb(text) << " on " << rgb(mark);
}

TEST(SegmentedPicker, ChosenSegmentStandsOutWithReadableTextInLightAndDark) {
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        auto picker = shown(dark ? darkPalette() : lightPalette());
        expectMarked(*picker, 1);
    }
}

TEST(SegmentedPicker, MarkFollowsTheChoiceAndAPaletteSwitchedWhileShown) {
    auto picker = shown(lightPalette());
    QTest::mouseClick(picker->button(2), Qt::LeftButton);
    ASSERT_EQ(picker->selectedIndex(), 2);
    {
        SCOPED_TRACE("clicked");
        expectMarked(*picker, 2);
    }

    picker->setSelectedIndex(-1);
    {
        const Shot shot(*picker);
        for (const int index : {1, 2}) {
            EXPECT_LT(vtContrastRatio(shot.fill(index), shot.fill(0)), kAlikeContrast)
                << "none chosen, yet segment " << index << " filled " << rgb(shot.fill(index))
                << " and segment 0 " << rgb(shot.fill(0));
        }
    }

    picker->setSelectedIndex(0);
    picker->setPalette(darkPalette());
    {
        SCOPED_TRACE("switched to dark");
        expectMarked(*picker, 0);
    }
    // Filled as in a picker shown in the dark palette from the start: nothing of the light one
    // stays.
    const auto fresh = shown(darkPalette());
    EXPECT_EQ(rgb(Shot(*picker).fill(0)), rgb(Shot(*fresh).fill(1)));
}

} // namespace
