#include "components/vt_hud.hpp"

#include <QGraphicsBlurEffect>
#include <QGraphicsDropShadowEffect>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

using components::VtHudEvent;
using components::VtHudManager;
using components::VtHudSession;

// Records what a session announces.
struct EventLog {
    explicit EventLog(const VtHudSession& session)
        : subscription(session.eventPublisher().sink(
              [this](const VtHudEvent& event) { events.push_back(event); })) {}
    std::vector<VtHudEvent> events;
    core::rx::Cancellable subscription;
};

TEST(HudManager, HoldsOneSessionAtATimeAndShowsBeforeTheStart) {
    auto manager = VtHudManager::create();
    EXPECT_FALSE(manager->presented().value());
    auto first = manager->newSession(true);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->cancellable());
    EXPECT_TRUE(manager->presented().value()) << "shown before the session starts";
    EXPECT_FALSE(first->presented());
    EXPECT_EQ(manager->newSession(false), nullptr);

    first->close();
    EXPECT_FALSE(manager->presented().value());
    EXPECT_EQ(manager->session(), nullptr);
    EXPECT_TRUE(manager->newSession(false)) << "a new session once the first is closed";
}

TEST(HudSession, AnnouncesStartAndEndOnceAndNothingWhenClosedUnstarted) {
    auto manager = VtHudManager::create();
    auto session = manager->newSession(false);
    EventLog log(*session);
    session->start();
    session->start();
    EXPECT_TRUE(session->presented());
    session->close();
    const std::vector<VtHudEvent> expected = {VtHudEvent::willPresent(), VtHudEvent::didPresented(),
                                              VtHudEvent::willDismiss(false),
                                              VtHudEvent::didDismissed(false)};
    EXPECT_EQ(log.events, expected);
    EXPECT_FALSE(session->presented());

    auto unstarted = manager->newSession(false);
    EventLog quiet(*unstarted);
    unstarted->close();
    EXPECT_TRUE(quiet.events.empty());
    EXPECT_FALSE(manager->presented().value());
    EXPECT_EQ(manager->session(), nullptr);
}

TEST(HudSession, AStaleSessionNeverHidesOrDropsTheNewerOne) {
    auto manager = VtHudManager::create();
    auto stale = manager->newSession(false);
    stale->start();
    stale->close();
    auto current = manager->newSession(false);
    current->start();

    stale->start(); // it announces, but the display is no longer its own
    stale->close();
    EXPECT_TRUE(manager->presented().value());
    EXPECT_EQ(manager->session(), current);

    manager->presented().setValue(false); // as the cancel button does
    stale->start();
    EXPECT_FALSE(manager->presented().value()) << "a stale start must not show it again";
}

TEST(HudSession, StillAnnouncesAfterItsManagerIsGone) {
    auto manager = VtHudManager::create();
    auto session = manager->newSession(false);
    manager.reset();
    EventLog log(*session);
    session->start();
    session->close();
    EXPECT_EQ(log.events.size(), 4U);
}

TEST(HudWidget, DisablesTheContentAndItsCancelButtonCallsBackOnce) {
    auto manager = VtHudManager::create();
    int cancelled = 0;
    auto* content = new QPushButton("Work");
    std::unique_ptr<components::VtHudModifier> host(components::vtHud(
        content, manager->presented(), 40, 6.0,
        components::VtHudCancelButton([&] { ++cancelled; }, [] { return QString("Stop"); }, 8)));
    host->resize(300, 200);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    EXPECT_FALSE(host->layer()->isVisible());

    auto session = manager->newSession(true);
    session->start();
    EXPECT_FALSE(content->isEnabled());
    EXPECT_NE(qobject_cast<QGraphicsBlurEffect*>(content->graphicsEffect()), nullptr);
    EXPECT_TRUE(host->layer()->isVisible());
    EXPECT_EQ(host->layer()->geometry(), host->rect()) << "the display covers everything";
    EXPECT_TRUE(host->spinner()->spinning());
    ASSERT_NE(host->cancelButton(), nullptr);
    EXPECT_EQ(host->cancelButton()->text(), "Stop");
    EXPECT_EQ(host->cancelButton()->geometry().bottom(), 200 - 16 - 8 - 1);

    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {},
                      host->cancelButton()->geometry().center());
    EXPECT_EQ(cancelled, 1);
    EXPECT_FALSE(manager->presented().value());
    EXPECT_FALSE(host->layer()->isVisible());
    EXPECT_TRUE(content->isEnabled());
    EXPECT_EQ(content->graphicsEffect(), nullptr);
    EXPECT_EQ(manager->session(), session) << "cancelling leaves the session to its owner";
}

TEST(HudWidget, WithoutCancellationOrBlurShowsOnlyTheVeilAndSpinner) {
    core::rx::RxState<bool> presented(false);
    auto* content = new QWidget();
    content->setEnabled(false);
    std::unique_ptr<components::VtHudModifier> host(components::vtHud(content, presented, 20));
    presented.setValue(true);
    EXPECT_EQ(host->cancelButton(), nullptr);
    EXPECT_EQ(content->graphicsEffect(), nullptr);
    presented.setValue(false);
    EXPECT_FALSE(content->isEnabled()) << "content disabled by its owner stays disabled";
}

TEST(HudWidget, LeavesAnEffectTheContentAlreadyCarries) {
    core::rx::RxState<bool> presented(false);
    auto* content = new QWidget();
    QPointer<QGraphicsDropShadowEffect> shadow = new QGraphicsDropShadowEffect();
    content->setGraphicsEffect(shadow);
    std::unique_ptr<components::VtHudModifier> host(components::vtHud(content, presented, 20, 6.0));
    presented.setValue(true);
    EXPECT_FALSE(content->isEnabled());
    presented.setValue(false);
    ASSERT_FALSE(shadow.isNull()) << "the owner's effect must survive the display";
    EXPECT_EQ(content->graphicsEffect(), shadow.data());
}

} // namespace
