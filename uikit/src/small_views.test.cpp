#include "uikit/small_views.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include <limits>
#include <vector>

namespace {

TEST(VtPressSensitiveButton, TheFaceIsRebuiltWithThePressedState) {
    std::vector<bool> builds;
    int clicks = 0;
    uikit::VtPressSensitiveButton button([&] { ++clicks; },
                                         [&](bool isPressed) {
                                             builds.push_back(isPressed);
                                             auto* face = new QLabel(isPressed ? "held" : "idle");
                                             face->setFixedSize(60, 20);
                                             return face;
                                         });
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    EXPECT_EQ(builds, std::vector<bool>{false});
    EXPECT_EQ(button.sizeHint(), QSize(60, 20));

    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(qobject_cast<QLabel*>(button.labelView())->text(), "held");
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(qobject_cast<QLabel*>(button.labelView())->text(), "idle");
    EXPECT_EQ(builds, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(clicks, 1);
    // A click on the face itself reaches the button.
    QTest::mouseClick(button.labelView(), Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(button.findChildren<QLabel*>().size(), 1);
}

TEST(StretchyHeader, PullingStretchesAndPushingFades) {
    using uikit::StretchyHeaderGeometry;
    EXPECT_EQ(uikit::stretchyHeaderGeometry(50, 200), (StretchyHeaderGeometry{-50, 250, 1}));
    EXPECT_EQ(uikit::stretchyHeaderGeometry(0, 200), (StretchyHeaderGeometry{0, 200, 1}));
    EXPECT_EQ(uikit::stretchyHeaderGeometry(-100, 200), (StretchyHeaderGeometry{0, 200, 0.5}));
    EXPECT_EQ(uikit::stretchyHeaderGeometry(-250, 200), (StretchyHeaderGeometry{0, 200, 0}));
    EXPECT_EQ(uikit::stretchyHeaderGeometry(-10, 0).opacity, 1); // no height, nothing to fade
}

TEST(StretchyHeader, TheHeaderFollowsItsPlaceInTheWindow) {
    QWidget window;
    window.resize(100, 300);
    window.setAutoFillBackground(true);
    QWidget content(&window);
    content.setGeometry(0, 0, 100, 300);
    QPixmap red(20, 10);
    red.fill(Qt::red);
    std::vector<qreal> offsets;
    auto* header = new uikit::VtStretchyImageHeaderView(
        red, 100, [&](qreal minY) { offsets.push_back(minY); }, &content);
    header->setGeometry(0, 50, 100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(header->height(), 100);
    EXPECT_EQ(offsets.back(), 50);
    EXPECT_EQ(window.grab().toImage().pixelColor(50, 100), QColor(Qt::red));

    // Scrolling the content up by 100 moves the header to -50: half faded.
    content.move(0, -100);
    EXPECT_EQ(offsets.back(), -50);
    const QColor faded = window.grab().toImage().pixelColor(50, 0);
    const QColor background = window.palette().window().color();
    EXPECT_NEAR(faded.redF(), 0.5 + background.redF() / 2, 0.02);
    EXPECT_NEAR(faded.greenF(), background.greenF() / 2, 0.02);
}

TEST(StretchyHeader, AnAbsurdRestingHeightIsBoundedToWhatAWidgetCanTake) {
    QPixmap image(4, 4);
    image.fill(Qt::red);
    const uikit::VtStretchyImageHeaderView huge(image, 1e300);
    EXPECT_EQ(huge.maximumHeight(), QWIDGETSIZE_MAX);
    for (const qreal none : {std::numeric_limits<qreal>::quiet_NaN(), -40.0}) {
        const uikit::VtStretchyImageHeaderView flat(image, none);
        EXPECT_EQ(flat.maximumHeight(), 0);
    }
}

TEST(VtLazyView, TheContentIsBuiltOnTheFirstShowOnly) {
    int builds = 0;
    uikit::VtLazyView view([&] {
        ++builds;
        return new QLabel("content");
    });
    EXPECT_EQ(builds, 0);
    EXPECT_EQ(view.content(), nullptr);
    view.show();
    EXPECT_EQ(builds, 1);
    const QWidget* content = view.content();
    ASSERT_NE(content, nullptr);
    EXPECT_TRUE(view.isAncestorOf(content));
    view.hide();
    view.show();
    EXPECT_EQ(builds, 1);
}

} // namespace
