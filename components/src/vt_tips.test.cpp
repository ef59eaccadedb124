#include "components/vt_tips.hpp"

#include "test_support.hpp"

#include <QGraphicsOpacityEffect>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <utility>
#include <vector>

namespace {

using components::TipsController;
using components::VtTips;
using Tips = VtTips::Tips;

// Deadlines are read on the real monotonic clock when a tip is made; the controller's clock is
// that same clock at the test's start plus the manual loop's virtual time.
struct TipsHarness : components::testing::ControllerHarness<TipsController, Tips> {
    explicit TipsHarness(std::optional<Tips> initial = std::nullopt)
        : ControllerHarness(std::move(initial)) {
        controller.reset();
        controller = std::make_unique<TipsController>(
            components::detail::bindingOver(state), [start = start, loop = loop] {
                return start + std::chrono::duration_cast<Tips::Clock::duration>(loop->now());
            });
        controller->changed(state.value());
    }
    Tips::Clock::time_point start = Tips::Clock::now();
};

Tips tip(const char* title, double seconds, std::function<void()> tapped = {}) {
    return Tips::info(title, std::nullopt, std::nullopt, Qt::AlignTop | Qt::AlignHCenter,
                      uikit::EdgeInsets::all(4), 4, seconds, 0, std::move(tapped));
}

TEST(Tips, ALiteralIsATopCentredInfoTipAndEveryTipIsItsOwn) {
    const auto before = Tips::Clock::now();
    const Tips literal = "Saved";
    EXPECT_EQ(literal.title, "Saved");
    EXPECT_EQ(literal.kind, VtTips::Kind::info);
    EXPECT_EQ(literal.alignment, Qt::AlignTop | Qt::AlignHCenter);
    EXPECT_FALSE(literal.icon);
    EXPECT_FALSE(literal.subTitle);
    EXPECT_FALSE(literal.bundle);
    EXPECT_EQ(literal.padding, uikit::EdgeInsets::all(4));
    EXPECT_EQ(literal.spacing, 4);
    EXPECT_EQ(literal.duration, 3.5);
    EXPECT_EQ(literal.zIndex, 0);
    EXPECT_FALSE(literal.tapped);
    EXPECT_GE(literal.deadline - before, std::chrono::milliseconds(3500));

    EXPECT_NE(Tips("Saved"), literal);
    const Tips copy = literal;
    EXPECT_EQ(copy, literal);
    EXPECT_EQ(tip("never", std::numeric_limits<double>::infinity()).deadline,
              Tips::Clock::time_point::max());
    EXPECT_GT(tip("huge", 1e300).deadline, before) << "a huge duration saturates, never wraps";
    EXPECT_EQ(Tips::error("e", "s", std::nullopt, {}, 0, 1, 0, {}).alignment,
              Qt::AlignTop | Qt::AlignHCenter);
}

TEST(TipsController, ATapClearsFirstThenRunsTheActionOnceAndExpiryNeverRunsIt) {
    TipsHarness h;
    int runs = 0;
    bool clearedFirst = false;
    h.state.setValue(tip("tap me", 1, [&] {
        ++runs;
        clearedFirst = !h.state.value().has_value();
    }));
    h.controller->tap();
    EXPECT_FALSE(h.state.value());
    EXPECT_EQ(runs, 0) << "queued after the clearing";
    h.loop->runUntilIdle();
    h.controller->tap();
    h.loop->runUntilIdle();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(clearedFirst);

    h.state.setValue(tip("expires", 1, [&] { ++runs; }));
    h.advance(2);
    EXPECT_FALSE(h.state.value());
    EXPECT_EQ(runs, 1);
}

TEST(TipsController, AStaleTimerSparesANewerTip) {
    TipsHarness h;
    h.state.setValue(tip("first", 1));
    h.advance(0.2);
    h.controller->tap();
    h.advance(0.3);
    h.state.setValue(tip("after a tap", 5));
    h.advance(0.5); // the first tip's timer
    ASSERT_TRUE(h.state.value());
    EXPECT_EQ(h.state.value()->title, "after a tap");
    h.advance(4.4);
    EXPECT_TRUE(h.state.value());
    h.advance(0.1);
    EXPECT_FALSE(h.state.value());
}

TEST(TipsController, ADirectReplacementExpiresOnItsOwnTimer) {
    TipsHarness h;
    h.state.setValue(tip("shown", 1));
    h.advance(0.5);
    h.state.setValue(tip("replacement", 2));
    h.advance(0.5); // the shown tip's timer; the replacement's deadline is ahead
    ASSERT_TRUE(h.state.value());
    EXPECT_EQ(h.state.value()->title, "replacement");
    h.advance(1.5);
    EXPECT_FALSE(h.state.value()) << "the replacement has a timer of its own";
}

TEST(TipsController, TimesATipAlreadySetWhenAttached) {
    TipsHarness h(tip("early", 2));
    h.advance(2);
    EXPECT_FALSE(h.state.value());
}

TEST(Tips, PlacesByAlignmentCentringAnOpenAxis) {
    const QRect outer(10, 10, 200, 100);
    EXPECT_EQ(VtTips::place(outer, QSize(20, 10), Qt::AlignTop | Qt::AlignHCenter),
              QRect(100, 10, 20, 10));
    EXPECT_EQ(VtTips::place(outer, QSize(20, 10), Qt::AlignBottom | Qt::AlignRight),
              QRect(190, 100, 20, 10));
    EXPECT_EQ(VtTips::place(outer, QSize(20, 10), Qt::AlignLeft), QRect(10, 55, 20, 10));
}

QColor blend(const QColor& over, const QColor& under, double alpha) {
    const auto mix = [alpha](double a, double b) {
        return static_cast<float>(a * alpha + b * (1 - alpha));
    };
    return QColor::fromRgbF(mix(over.redF(), under.redF()), mix(over.greenF(), under.greenF()),
                            mix(over.blueF(), under.blueF()));
}

TEST(TipsWidget, PaintsEachKindInItsColoursAtItsIdealSize) {
    core::rx::RxState<std::optional<Tips>> state(std::nullopt);
    std::unique_ptr<VtTips> host(components::vtTips(new QWidget(), state));
    host->resize(400, 300);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    const std::vector<std::pair<VtTips::Kind, QColor>> kinds = {
        {VtTips::Kind::info, QColor::fromRgbF(0.1F, 0.1F, 0.15F)},
        // Yellow at 0.95 over the window behind it.
        {VtTips::Kind::warning,
         blend(QColor(255, 204, 0), host->palette().color(QPalette::Window), 0.95)},
        {VtTips::Kind::error, QColor::fromRgbF(0.85F, 0.1F, 0.1F)},
        {VtTips::Kind::success, QColor::fromRgbF(0.15F, 0.75F, 0.1F)},
    };
    for (const auto& [kind, background] : kinds) {
        Tips shown = Tips::warning("Hint", "More", std::nullopt, Qt::AlignBottom | Qt::AlignLeft,
                                   uikit::EdgeInsets::all(6), 8, 100, 0, {});
        shown.kind = kind;
        state.setValue(shown);
        QWidget* view = host->tip();
        ASSERT_TRUE(view->isVisible());
        // The first tip fades in; later ones replace it in place.
        const auto* fade = qobject_cast<QGraphicsOpacityEffect*>(view->graphicsEffect());
        ASSERT_TRUE(QTest::qWaitFor([&] { return fade->opacity() == 1.0; }));
        EXPECT_EQ(view->pos(), QPoint(8, 300 - 8 - view->height()));
        EXPECT_EQ(view->size(), view->sizeHint());
        EXPECT_LT(view->width(), 200) << "a tip keeps its own size";
        const QImage image = view->grab().toImage();
        const QColor painted = image.pixelColor(3, image.height() / 2);
        EXPECT_NEAR(painted.redF(), background.redF(), 0.02) << static_cast<int>(kind);
        EXPECT_NEAR(painted.greenF(), background.greenF(), 0.02) << static_cast<int>(kind);
        EXPECT_NEAR(painted.blueF(), background.blueF(), 0.02) << static_cast<int>(kind);
        const VtTips::Colors colors = VtTips::colors(kind);
        EXPECT_EQ(colors.main,
                  kind == VtTips::Kind::warning ? QColor(Qt::black) : QColor(Qt::white));
        const double grey = kind == VtTips::Kind::warning ? 0.2 : 0.8;
        EXPECT_NEAR(colors.grey.redF(), grey, 0.01);
    }
    EXPECT_EQ(host->tip()->x(), 8);
}

TEST(TipsWidget, AClickOnTheTipClearsItThenRunsItsActionAndAClickBesideReachesTheContent) {
    int taps = 0;
    core::rx::RxState<std::optional<Tips>> state(tip("Copied", 100, [&] { ++taps; }));
    auto* content = new components::testing::PressCounter();
    std::unique_ptr<VtTips> host(components::vtTips(content, state));
    host->resize(400, 300);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    QWidget* view = host->tip();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->y() == 4; }));

    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, QPoint(10, 150));
    EXPECT_EQ(content->presses, 1);
    QTest::mouseClick(host->windowHandle(), Qt::LeftButton, {}, view->geometry().center());
    EXPECT_EQ(content->presses, 1) << "a click on the tip is the tip's";
    EXPECT_FALSE(state.value());
    EXPECT_TRUE(QTest::qWaitFor([&] { return taps == 1; }));

    state.setValue(tip("Gone at once", 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !state.value(); })) << "the tip starts its timer";
    EXPECT_EQ(taps, 1);
}

// A window holding three overlapping siblings, bottom first: "below", the tipped view, "above".
struct Siblings {
    QWidget window;
    QWidget* below = new QWidget(&window);
    core::rx::RxState<std::optional<Tips>> state{std::nullopt};
    VtTips* tipped = components::vtTips(new QWidget(), state, &window);
    QWidget* above = new QWidget(&window);
    // Inside all three.
    QPoint overlap{100, 100};

    Siblings() {
        below->setObjectName("below");
        tipped->setObjectName("tipped");
        above->setObjectName("above");
        below->setGeometry(0, 0, 200, 200);
        tipped->setGeometry(50, 50, 200, 200);
        above->setGeometry(80, 80, 200, 200);
        window.resize(400, 400);
        window.show();
    }

    // The siblings' names, bottom first, as Qt stacks them.
    std::vector<std::string> order() const {
        std::vector<std::string> names;
        for (const QObject* child : window.children()) {
            if (child->isWidgetType()) {
                names.push_back(child->objectName().toStdString());
            }
        }
        return names;
    }
    // Whether a click at the overlap lands in the tipped view.
    bool tippedOnTop() const {
        QWidget* hit = window.childAt(overlap);
        return hit == tipped || tipped->isAncestorOf(hit);
    }
    void set(double zIndex) {
        state.setValue(
            Tips::info("z", std::nullopt, std::nullopt, Qt::AlignBottom, {}, 0, 100, zIndex, {}));
    }
};

using Order = std::vector<std::string>;
const Order kOwnPlace{"below", "tipped", "above"};

TEST(TipsWidget, AZIndexHoldsOnlyWhileItsTipIsSet) {
    Siblings s;
    ASSERT_EQ(s.order(), kOwnPlace);
    ASSERT_FALSE(s.tippedOnTop());

    s.set(1);
    EXPECT_EQ(s.order(), (Order{"below", "above", "tipped"}));
    EXPECT_TRUE(s.tippedOnTop());
    s.state.setValue(std::nullopt);
    EXPECT_EQ(s.order(), kOwnPlace) << "cleared";
    EXPECT_FALSE(s.tippedOnTop());

    s.set(0);
    EXPECT_EQ(s.order(), kOwnPlace) << "zero leaves the view where it is";
    s.state.setValue(std::nullopt);
    EXPECT_EQ(s.order(), kOwnPlace);

    s.set(-1);
    EXPECT_EQ(s.order(), (Order{"tipped", "below", "above"}));
    EXPECT_EQ(s.window.childAt(60, 60), s.below) << "under the sibling it overlaps";
    s.state.setValue(std::nullopt);
    EXPECT_EQ(s.order(), kOwnPlace) << "cleared";
    EXPECT_NE(s.window.childAt(60, 60), s.below);
}

TEST(TipsWidget, AReplacingTipMovesTheViewFromItsOwnPlace) {
    Siblings s;
    s.set(2);
    s.set(1);
    s.set(-3);
    EXPECT_EQ(s.order(), (Order{"tipped", "below", "above"}));
    s.set(0);
    EXPECT_EQ(s.order(), kOwnPlace) << "replaced by a tip with zero";
    s.set(1);
    s.set(-1);
    s.state.setValue(std::nullopt);
    EXPECT_EQ(s.order(), kOwnPlace) << "cleared after two moves";

    // A sibling added while the view is raised stays above it once the view is back.
    s.set(1);
    auto* later = new QWidget(&s.window);
    later->setObjectName("later");
    s.state.setValue(std::nullopt);
    EXPECT_EQ(s.order(), (Order{"below", "tipped", "above", "later"}));

    // The topmost view goes back to the top.
    s.tipped->raise();
    s.set(-1);
    EXPECT_EQ(s.order().front(), "tipped");
    s.state.setValue(std::nullopt);
    EXPECT_EQ(s.order(), (Order{"below", "above", "later", "tipped"}));
}

// The neighbour recorded above the view can leave the parent while a tip holds the view elsewhere;
// the view then goes back to its old index among the siblings that remain, not to the top.
TEST(TipsWidget, AViewWhoseNeighbourLeftGoesBackToItsIndexAmongTheRest) {
    QWidget elsewhere;
    const std::vector<std::pair<const char*, std::function<void(QWidget*)>>> ways{
        {"deleted", [](QWidget* gone) { delete gone; }},
        {"reparented", [&elsewhere](QWidget* gone) { gone->setParent(&elsewhere); }},
    };
    for (const auto& [how, leave] : ways) {
        SCOPED_TRACE(how);
        {
            // At the bottom, under "below".
            Siblings s;
            s.tipped->lower();
            s.set(1);
            leave(s.below);
            ASSERT_EQ(s.order(), (Order{"above", "tipped"}));
            s.state.setValue(std::nullopt);
            EXPECT_EQ(s.order(), (Order{"tipped", "above"}));
            EXPECT_FALSE(s.tippedOnTop());
        }
        {
            // Second of four, under "above", lowered by the tip this time.
            Siblings s;
            auto* top = new QWidget(&s.window);
            top->setObjectName("top");
            top->setGeometry(90, 90, 200, 200);
            top->show();
            s.set(-1);
            leave(s.above);
            ASSERT_EQ(s.order(), (Order{"tipped", "below", "top"}));
            s.state.setValue(std::nullopt);
            EXPECT_EQ(s.order(), (Order{"below", "tipped", "top"}));
            EXPECT_FALSE(s.tippedOnTop());
        }
    }
}

} // namespace
