#include "components/vt_banner.hpp"

#include "components/delay.hpp"
#include "test_support.hpp"

#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using components::BannerController;
using components::VtBanner;
using Harness = components::testing::ControllerHarness<BannerController, VtBanner::Def>;
using components::testing::PressCounter;

VtBanner::Def banner(const char* title, double seconds) {
    return {title, "", VtBanner::Style::info, seconds};
}

TEST(BannerController, DismissesAfterItsDurationAndATapWinsOverTheStaleTimer) {
    Harness h;
    h.state.setValue(banner("saved", 2));
    h.advance(1.999);
    EXPECT_TRUE(h.state.value());
    h.advance(0.001);
    EXPECT_FALSE(h.state.value());

    h.state.setValue(banner("tapped", 2));
    h.advance(0.5);
    h.controller->tap();
    EXPECT_TRUE(h.state.value()) << "a tap clears on the next turn, not inside the click";
    h.loop->runUntilIdle();
    EXPECT_FALSE(h.state.value());
    h.state.setValue(banner("next", 2));
    h.advance(1.5); // the tapped banner's timer ends here
    EXPECT_EQ(h.state.value()->title, "next");
    h.advance(0.5);
    EXPECT_FALSE(h.state.value());
}

TEST(BannerController, EverySetRestartsTheFullDuration) {
    Harness h;
    h.state.setValue(banner("first", 2));
    h.advance(1);
    h.state.setValue(banner("second", 2));
    h.advance(1.5);
    EXPECT_EQ(h.state.value()->title, "second");
    h.state.setValue(banner("second", 2)); // an equal write counts as a set too
    h.advance(1.5);
    EXPECT_TRUE(h.state.value());
    h.advance(0.5);
    EXPECT_FALSE(h.state.value());

    h.state.setValue(banner("cleared outside", 1));
    h.state.setValue(std::nullopt);
    h.advance(0.5);
    h.state.setValue(banner("later", 1));
    h.advance(0.5); // the cleared banner's timer: stale
    EXPECT_TRUE(h.state.value());
}

TEST(BannerController, OddDurationsDismissAtOnceNeverOrAtTheLongestDelay) {
    for (const double now : {0.0, std::nan(""), -5.0}) {
        Harness h;
        h.state.setValue(banner("now", now));
        h.loop->runUntilIdle();
        EXPECT_FALSE(h.state.value()) << now;
    }
    {
        Harness h;
        h.state.setValue(banner("forever", std::numeric_limits<double>::infinity()));
        EXPECT_EQ(h.loop->pendingCount(), 0U);
        h.advance(1e7);
        EXPECT_TRUE(h.state.value());
    }
    Harness h;
    h.state.setValue(banner("huge", 1e300));
    h.loop->advance(components::kLongestDelay - core::Duration(1));
    EXPECT_TRUE(h.state.value());
    h.loop->advance(core::Duration(1));
    EXPECT_FALSE(h.state.value());
}

TEST(BannerController, AViewGoneWhileShowingStillClearsTheCallersValue) {
    Harness h;
    h.state.setValue(banner("shown", 100));
    h.controller.reset();
    EXPECT_TRUE(h.state.value());
    h.loop->runUntilIdle();
    EXPECT_FALSE(h.state.value());
}

TEST(BannerWidget, ShowsOneOrTwoLinesAndLetsClicksBesideTheCardReachTheContent) {
    core::rx::RxState<std::optional<VtBanner::Def>> state(std::nullopt);
    auto* content = new PressCounter();
    std::unique_ptr<components::VtBannerModifier> host(components::vtBanner(content, state));
    host->resize(400, 300);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    EXPECT_FALSE(host->card()->isVisible());

    state.setValue(VtBanner::Def("Saved", "", VtBanner::Style::success, 1000));
    ASSERT_TRUE(host->card()->isVisible());
    const auto visibleLabels = [&] {
        int count = 0;
        for (const auto* label : host->card()->findChildren<QLabel*>()) {
            count += label->isVisible() ? 1 : 0;
        }
        return count;
    };
    EXPECT_EQ(visibleLabels(), 1);
    const QRect card = host->card()->geometry();
    EXPECT_LT(card.bottom(), 150) << "the card hangs at the top and is only as tall as its text";
    EXPECT_GT(card.width(), 300);

    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, QPoint(200, 250));
    EXPECT_EQ(content->presses, 1);
    EXPECT_TRUE(state.value());

    state.setValue(VtBanner::Def("Saved", "All changes are on disk", VtBanner::Style::error, 1000));
    EXPECT_EQ(visibleLabels(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->card()->y() == 16; })) << "in place";
    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, host->card()->geometry().center());
    EXPECT_EQ(content->presses, 1) << "a click on the card is the banner's";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !state.value(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !host->card()->isVisible(); }));
}

TEST(BannerWidget, TheCardIsTallEnoughForEveryLineAndWrapsALongDetail) {
    core::rx::RxState<std::optional<VtBanner::Def>> state(std::nullopt);
    std::unique_ptr<components::VtBannerModifier> host(components::vtBanner(new QWidget(), state));
    host->resize(300, 400);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    const auto labelShowing = [&](const QString& text) -> QLabel* {
        for (QLabel* label : host->card()->findChildren<QLabel*>()) {
            if (label->text() == text && label->isVisible()) {
                return label;
            }
        }
        return nullptr;
    };
    const auto linesNeeded = [](const QLabel& label) {
        return QFontMetrics(label.font())
            .boundingRect(QRect(0, 0, label.width(), 100'000), Qt::TextWordWrap, label.text())
            .height();
    };

    // The first banner measures a card that has never been on screen.
    state.setValue(VtBanner::Def("Saved", "On disk", VtBanner::Style::info, 1000));
    for (const char* text : {"Saved", "On disk"}) {
        const QLabel* label = labelShowing(text);
        ASSERT_NE(label, nullptr) << text;
        EXPECT_GE(label->height(), linesNeeded(*label)) << text;
    }

    const QString detail =
        "The project could not be saved because the folder it lives in is no longer writable";
    state.setValue(VtBanner::Def("Not saved", detail, VtBanner::Style::error, 1000));
    const QLabel* shown = labelShowing(detail);
    ASSERT_NE(shown, nullptr);
    EXPECT_GT(linesNeeded(*shown), QFontMetrics(shown->font()).height()) << "more than one line";
    EXPECT_GE(shown->height(), linesNeeded(*shown)) << "every line of the detail is shown";
    EXPECT_LE(shown->geometry().right(), host->card()->width() - 12);
    EXPECT_GT(shown->width(), host->card()->width() - 2 * 12 - 8) << "it wraps at the card's edge";
}

TEST(BannerWidget, AHostNotOnScreenDropsAClearedCardAtOnce) {
    core::rx::RxState<std::optional<VtBanner::Def>> state(
        VtBanner::Def("Early", "", VtBanner::Style::warning, 1000));
    std::unique_ptr<components::VtBannerModifier> host(components::vtBanner(new QWidget(), state));
    EXPECT_FALSE(host->card()->isHidden()) << "a banner set before the host shows";
    state.setValue(std::nullopt);
    EXPECT_TRUE(host->card()->isHidden());
    host->show();
    EXPECT_FALSE(host->card()->isVisible());
}

} // namespace
