#include "uikit/mouse_down.hpp"
#include "uikit/animation.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QVariantAnimation>
#include <QWidget>

#include <stdexcept>
#include <vector>

namespace {

// Counts the presses the widget itself still receives.
class PressCountingWidget : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        QWidget::mousePressEvent(event);
    }
};

TEST(MouseDown, PressesReportWidgetCoordinatesFromTheTopLeftAndPassOn) {
    PressCountingWidget widget;
    widget.resize(100, 50);
    std::vector<QPointF> points;
    auto* filter =
        uikit::onMouseDown(&widget, false, [&](const QPointF& p) { points.push_back(p); });

    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(0, 49));
    // QTest takes (0, 0) for "the centre", so the top-left press is sent by hand.
    QMouseEvent topLeft(QEvent::MouseButtonPress, QPointF(0, 0), widget.mapToGlobal(QPointF(0, 0)),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &topLeft);
    QTest::mousePress(&widget, Qt::RightButton, {}, QPoint(50, 25));
    QTest::mouseDClick(&widget, Qt::LeftButton, {}, QPoint(99, 0));
    ASSERT_GE(points.size(), 3U);
    EXPECT_EQ(points[0], QPointF(0, 49)) << "the bottom-left corner is at the bottom";
    EXPECT_EQ(points[1], QPointF(0, 0));
    EXPECT_EQ(points.back(), QPointF(99, 0)) << "a double click's second press is reported too";
    EXPECT_GE(widget.presses, 3) << "the widget still gets its presses";

    filter->setDisabled(true);
    const auto before = points.size();
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(points.size(), before);
}

TEST(MouseDown, ADisabledFilterCallsNothingUntilEnabledAndGoesWithItsWidget) {
    auto widget = std::make_unique<QWidget>();
    widget->resize(100, 50);
    int calls = 0;
    QPointer<uikit::MouseDownFilter> filter =
        uikit::onMouseDown(widget.get(), true, [&](const QPointF&) { ++calls; });
    QTest::mouseClick(widget.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(calls, 0);
    filter->setDisabled(false);
    QTest::mouseClick(widget.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(calls, 1);
    widget.reset();
    EXPECT_TRUE(filter.isNull());
    EXPECT_THROW(uikit::onMouseDown(nullptr, false, [](const QPointF&) {}), std::invalid_argument);
}

// A one-second animation from 0 to 1 that a test drives by setting its current time.
void configure(QVariantAnimation& animation) {
    animation.setStartValue(0.0);
    animation.setEndValue(1.0);
    animation.setDuration(1000);
}

TEST(AnimationCompleted, CallsOnceAfterTheEndAndNeverForAnEarlyStop) {
    QVariantAnimation animation;
    configure(animation);
    int calls = 0;
    uikit::onAnimationCompleted(&animation, [&] { ++calls; });

    animation.start();
    animation.setCurrentTime(animation.duration());
    EXPECT_EQ(animation.state(), QAbstractAnimation::Stopped);
    EXPECT_EQ(calls, 0) << "never inside the animation step";
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    animation.start();
    animation.setCurrentTime(animation.duration());
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1) << "once only";

    QVariantAnimation stopped;
    configure(stopped);
    int stoppedCalls = 0;
    uikit::onAnimationCompleted(&stopped, [&] { ++stoppedCalls; });
    stopped.start();
    stopped.setCurrentTime(500);
    stopped.stop();
    QCoreApplication::processEvents();
    EXPECT_EQ(stoppedCalls, 0);
}

TEST(AnimationCompleted, ACallQueuedForADestroyedAnimationIsDropped) {
    auto animation = std::make_unique<QVariantAnimation>();
    configure(*animation);
    int calls = 0;
    uikit::onAnimationCompleted(animation.get(), [&] { ++calls; });
    animation->start();
    animation->setCurrentTime(animation->duration());
    animation.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0);
}

} // namespace
