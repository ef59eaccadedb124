#include "components/vt_toast.hpp"

#include "test_support.hpp"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using components::ToastController;
using components::VtToast;
using Harness = components::testing::ControllerHarness<ToastController, VtToast::Toast>;

VtToast::Toast toast(const char* title, double seconds) {
    return {VtToast::Kind::info, std::nullopt, title, std::nullopt, seconds};
}

// Content a toast hangs over: white, or white under dense black text.
class Page : public QWidget {
public:
    bool text = true;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!text) {
            return;
        }
        QFont small = font();
        small.setPixelSize(12);
        small.setBold(true);
        painter.setFont(small);
        painter.setPen(Qt::black);
        for (int y = 10; y < height(); y += 10) {
            painter.drawText(0, y, QString(80, QLatin1Char('W')));
        }
    }
};

QImage dot() {
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::black);
    return image;
}

TEST(Toast, ChoosesItsLayoutByIconAndANonEmptySubtitle) {
    VtToast::Toast plain = toast("t", 1);
    EXPECT_EQ(VtToast::layoutOf(plain), VtToast::Layout::title);
    plain.subTitle = "";
    EXPECT_EQ(VtToast::layoutOf(plain), VtToast::Layout::title) << "empty counts as absent";
    plain.subTitle = "more";
    EXPECT_EQ(VtToast::layoutOf(plain), VtToast::Layout::titleBlock);
    plain.icon = dot();
    EXPECT_EQ(VtToast::layoutOf(plain), VtToast::Layout::badgeTitleBlock);
    plain.subTitle.reset();
    EXPECT_EQ(VtToast::layoutOf(plain), VtToast::Layout::iconTitle);

    VtToast::Toast other = plain;
    EXPECT_EQ(other, plain);
    other.icon->setPixelColor(0, 0, Qt::red);
    EXPECT_NE(other, plain) << "icons compare as images";
}

TEST(ToastController, TimesEachChangeAndLetsEachTimerClearOnlyItsOwnToast) {
    Harness h;
    h.state.setValue(toast("a", 2));
    h.state.setValue(toast("a", 2));
    EXPECT_EQ(h.loop->pendingCount(), 1U) << "an equal toast starts no second timer";
    h.advance(1);
    h.state.setValue(toast("b", 2));
    h.advance(1); // a's timer
    ASSERT_TRUE(h.state.value());
    EXPECT_EQ(h.state.value()->title, "b");
    h.advance(1);
    EXPECT_FALSE(h.state.value());

    h.state.setValue(toast("tapped", 5));
    h.controller->tap();
    h.loop->runUntilIdle();
    EXPECT_FALSE(h.state.value());
    h.controller->tap(); // late: nothing left to clear
    h.loop->runUntilIdle();
    EXPECT_FALSE(h.state.value());
}

TEST(ToastController, AnOldTimerSparesAnEqualToastSetAgainAfterAClear) {
    Harness h;
    h.state.setValue(toast("a", 2));
    h.advance(1);
    h.state.setValue(std::nullopt);
    h.advance(0.5);
    h.state.setValue(toast("a", 2));
    h.advance(0.5); // the first timer ends: its toast was cleared, this one is another showing
    EXPECT_TRUE(h.state.value());
    h.advance(1.5);
    EXPECT_FALSE(h.state.value()) << "the second showing keeps its own two seconds";
}

TEST(ToastController, TimesAToastAlreadySetWhenAttached) {
    Harness h(toast("early", 3));
    h.advance(3);
    EXPECT_FALSE(h.state.value());
}

TEST(ToastController, ItsTimerOutlivesTheViewButClearsOnlyItsOwnToast) {
    Harness h;
    h.state.setValue(toast("a", 2));
    h.controller.reset();
    h.advance(2);
    EXPECT_FALSE(h.state.value());

    h.controller = std::make_unique<ToastController>(components::detail::bindingOver(h.state));
    h.state.setValue(toast("b", 2));
    h.controller.reset();
    h.advance(1);
    h.state.setValue(toast("set after the view went", 2));
    h.advance(1);
    EXPECT_TRUE(h.state.value());
}

TEST(ToastWidget, LaysOutEachFormOverTheFullWidthAtTheTop) {
    core::rx::RxState<std::optional<VtToast::Toast>> state(std::nullopt);
    std::unique_ptr<VtToast> host(components::vtToast(new QWidget(), state));
    host->resize(400, 300);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));

    struct Form {
        VtToast::Toast toast;
        int labels;
        bool boldTitle;
    };
    const QImage icon = dot();
    const std::vector<Form> forms = {
        {{VtToast::Kind::info, std::nullopt, "Title", "", 100}, 1, false},
        {{VtToast::Kind::warning, std::nullopt, "Title", "Sub", 100}, 2, true},
        {{VtToast::Kind::error, icon, "Title", std::nullopt, 100}, 2, false},
        {{VtToast::Kind::info, icon, "Title", "Sub", 100}, 2, true},
    };
    for (const Form& form : forms) {
        state.setValue(form.toast);
        QWidget* strip = host->strip();
        ASSERT_TRUE(strip->isVisible());
        EXPECT_EQ(strip->width(), 400);
        EXPECT_LT(strip->height(), 150);
        const auto labels = strip->findChildren<QLabel*>();
        EXPECT_EQ(labels.size(), form.labels);
        QLabel* title = nullptr;
        for (QLabel* label : labels) {
            if (label->text() == "Title") {
                title = label;
            } else if (label->text() == "Sub") {
                EXPECT_EQ(label->palette().color(QPalette::WindowText),
                          VtToast::secondaryColor(form.toast.kind));
            }
        }
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->font().bold(), form.boldTitle);
        EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(Qt::white));
        const bool badge = VtToast::layoutOf(form.toast) == VtToast::Layout::badgeTitleBlock;
        const auto children = strip->findChildren<QWidget*>();
        EXPECT_EQ(children.size(), labels.size() + (badge ? 1 : 0)) << "labels and badge";
    }

    // Once faded in, the strip is painted in its kind's tint.
    const auto* fade = qobject_cast<QGraphicsOpacityEffect*>(host->strip()->graphicsEffect());
    ASSERT_TRUE(QTest::qWaitFor([&] { return fade->opacity() == 1.0; }));
    state.setValue(VtToast::Toast{VtToast::Kind::error, std::nullopt, "Failed", std::nullopt, 100});
    const QColor painted = host->grab().toImage().pixelColor(3, 5);
    EXPECT_GT(painted.redF(), painted.greenF() + 0.2);
    EXPECT_GT(painted.redF(), painted.blueF() + 0.2);
    EXPECT_EQ(VtToast::secondaryColor(VtToast::Kind::warning), QColor::fromRgbF(0.2F, 0.2F, 0.2F));
}

TEST(ToastWidget, ItsTextIsPaintedOnABackingNothingBeneathShowsThrough) {
    core::rx::RxState<std::optional<VtToast::Toast>> state(std::nullopt);
    auto* page = new Page();
    std::unique_ptr<VtToast> host(components::vtToast(page, state));
    host->resize(400, 300);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));

    for (const VtToast::Kind kind :
         {VtToast::Kind::info, VtToast::Kind::warning, VtToast::Kind::error}) {
        state.setValue(VtToast::Toast{kind, std::nullopt, "Title", "A secondary line", 100});
        QWidget* strip = host->strip();
        const auto* fade = qobject_cast<QGraphicsOpacityEffect*>(strip->graphicsEffect());
        ASSERT_NE(fade, nullptr);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return fade->opacity() == 1.0 && strip->pos() == QPoint(0, 0); }));
        page->text = true;
        const QImage overText = host->grab().toImage();
        page->text = false;
        const QImage overBlank = host->grab().toImage();

        // Each pixel around and in a line is its backing or its text colour, or a blend of the
        // two where the glyphs are smoothed: never darker or lighter from the page beneath.
        const auto labels = strip->findChildren<QLabel*>();
        ASSERT_EQ(labels.size(), 2);
        for (const QLabel* label : labels) {
            const QRect area(label->mapTo(host.get(), QPoint(0, 0)), label->size());
            const int backing = qGray(overBlank.pixel(area.topLeft()));
            const int ink = qGray(label->palette().color(QPalette::WindowText).rgb());
            int inkiest = backing;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    const int grey = qGray(overText.pixel(x, y));
                    ASSERT_GE(grey, std::min(backing, ink) - 3)
                        << label->text().toStdString() << " at " << x << "," << y;
                    ASSERT_LE(grey, std::max(backing, ink) + 3)
                        << label->text().toStdString() << " at " << x << "," << y;
                    if (std::abs(grey - ink) < std::abs(inkiest - ink)) {
                        inkiest = grey;
                    }
                }
            }
            EXPECT_LT(std::abs(inkiest - ink), std::abs(backing - ink) / 2)
                << label->text().toStdString() << ": its glyphs reach their colour";
        }
        // Over any page the strip looks the same (its rounded lower corners and the shadow band
        // beneath it let the page through).
        const QRect face(8, 0, strip->width() - 16, strip->height() - 10);
        EXPECT_EQ(overText.copy(face), overBlank.copy(face));
    }
}

TEST(ToastWidget, AClickOnTheStripClearsItAClickBelowReachesTheContentAndTheStripIsTimed) {
    core::rx::RxState<std::optional<VtToast::Toast>> state(toast("Saved", 100));
    auto* content = new components::testing::PressCounter();
    std::unique_ptr<VtToast> host(components::vtToast(content, state));
    host->resize(400, 300);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->strip()->pos() == QPoint(0, 0); }));

    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, QPoint(200, 250));
    EXPECT_EQ(content->presses, 1);
    EXPECT_TRUE(state.value());
    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(content->presses, 1) << "a click on the strip is the toast's";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !state.value(); }));

    state.setValue(toast("Gone at once", 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !state.value(); })) << "the strip starts its timer";
}

} // namespace
