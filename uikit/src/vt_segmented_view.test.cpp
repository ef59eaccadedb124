#include "uikit/vt_segmented_view.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include <memory>
#include <vector>

namespace {

using uikit::VtSegmentedView;

const QColor kBackground(200, 200, 200);
const QColor kActive(0, 90, 200);
const QColor kActiveTitle(Qt::white);
const QColor kInactiveTitle(Qt::black);

// A control whose items are labels of different widths, over a selection held here.
struct Fixture {
    explicit Fixture(int count, int initial = 0) : selection(initial) {
        view = std::make_unique<VtSegmentedView>(
            uikit::Binding<int>([this] { return selection; },
                                [this](const int& value) {
                                    selection = value;
                                    ++writes;
                                }),
            [this](int index) { tapped.push_back(index); }, 6.0, uikit::EdgeInsets::all(4),
            kBackground, kActive, kActiveTitle, kInactiveTitle, count,
            [this](int index) {
                auto* label = new QLabel(QString("item %1").arg(index));
                label->setFixedSize(30 + 20 * index, 16);
                labels.push_back(label);
                return label;
            });
        view->show();
        if (count > 0) { // an empty control has no size, so its window is never exposed
            EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        }
    }

    QColor titleColor(int index) const {
        return labels[static_cast<std::size_t>(index)]->palette().color(QPalette::WindowText);
    }
    QColor pixel(QPointF at) const { return view->grab().toImage().pixelColor(at.toPoint()); }
    // A point in the item's inset margin, clear of its label and of the rounded corners.
    QColor marginPixel(int index) const {
        const QRect item = view->item(index)->geometry();
        return pixel(QPointF(item.x() + 2, item.center().y()));
    }

    int selection;
    int writes = 0;
    std::vector<int> tapped;
    std::vector<QLabel*> labels;
    std::unique_ptr<VtSegmentedView> view;
};

TEST(VtSegmentedView, TheHighlightCoversExactlyTheSelectedItem) {
    Fixture f(3, 1);
    EXPECT_EQ(f.view->elementCount(), 3);
    // Items are as wide as their views plus the insets, side by side without spacing.
    EXPECT_EQ(f.view->item(0)->geometry(), QRect(0, 0, 38, 24));
    EXPECT_EQ(f.view->item(1)->geometry(), QRect(38, 0, 58, 24));
    EXPECT_EQ(f.view->highlightRect(), QRectF(f.view->item(1)->geometry()));
    EXPECT_EQ(f.marginPixel(1), kActive);
    EXPECT_EQ(f.marginPixel(2), kBackground);
    EXPECT_EQ(f.titleColor(1), kActiveTitle);
    EXPECT_EQ(f.titleColor(0), kInactiveTitle);
    // The control's corners are cut to its radius.
    EXPECT_NE(f.pixel(QPointF(0, 0)), kActive);
    EXPECT_NE(f.pixel(QPointF(0, 0)), kBackground);
}

TEST(VtSegmentedView, TapsSelectSlideAndReportEvenTheSelectedItem) {
    Fixture f(3, 0);
    QTest::mouseClick(f.view->item(2), Qt::LeftButton);
    EXPECT_EQ(f.selection, 2);
    EXPECT_EQ(f.tapped, std::vector<int>{2});
    EXPECT_EQ(f.titleColor(2), kActiveTitle);
    EXPECT_EQ(f.titleColor(0), kInactiveTitle);
    EXPECT_TRUE(f.view->isSliding());
    EXPECT_NE(f.view->highlightRect(), QRectF(f.view->item(2)->geometry()));
    VT_TRY_VERIFY(!f.view->isSliding());
    EXPECT_EQ(f.view->highlightRect(), QRectF(f.view->item(2)->geometry()));

    // Tapping the selected item writes the same value again and still reports it.
    QTest::mouseClick(f.view->item(2), Qt::LeftButton);
    EXPECT_EQ(f.writes, 2);
    EXPECT_EQ(f.tapped, (std::vector<int>{2, 2}));
    EXPECT_FALSE(f.view->isSliding());
}

TEST(VtSegmentedView, AnOutsideChangeMovesTheHighlightWithoutSliding) {
    Fixture f(3, 0);
    f.selection = 1;
    f.view->refresh();
    EXPECT_FALSE(f.view->isSliding());
    EXPECT_EQ(f.view->highlightRect(), QRectF(f.view->item(1)->geometry()));
    EXPECT_EQ(f.titleColor(1), kActiveTitle);
    EXPECT_TRUE(f.tapped.empty());
}

TEST(VtSegmentedView, ASelectionOutOfRangeHighlightsNothing) {
    for (const int selection : {3, -1}) {
        Fixture f(3, selection);
        EXPECT_TRUE(f.view->highlightRect().isEmpty());
        for (int index = 0; index < 3; ++index) {
            EXPECT_EQ(f.titleColor(index), kInactiveTitle);
            EXPECT_EQ(f.marginPixel(index), kBackground);
        }
        // A tap from nothing selected lands at once.
        QTest::mouseClick(f.view->item(0), Qt::LeftButton);
        EXPECT_FALSE(f.view->isSliding());
        EXPECT_EQ(f.view->highlightRect(), QRectF(f.view->item(0)->geometry()));
    }
}

TEST(VtSegmentedView, NoItemsLeaveOnlyTheBackground) {
    for (const int count : {0, -4}) {
        Fixture f(count, 0);
        EXPECT_EQ(f.view->elementCount(), 0);
        EXPECT_EQ(f.view->item(0), nullptr);
        EXPECT_TRUE(f.view->highlightRect().isEmpty());
        EXPECT_TRUE(f.labels.empty());
    }
}

} // namespace
