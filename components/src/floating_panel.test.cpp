#include "components/floating_panel.hpp"
#include "components/floating_panel_expandable_layout.hpp"

#include "uikit/color.hpp"
#include "uikit/divider.hpp"
#include "uikit/symbol_icon.hpp"

#include "qt_test_pixels.hpp"
#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <utility>

namespace {

using components::FloatingPanel;
using components::FloatingPanelModifier;

int panelWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<FloatingPanel*>(widget) != nullptr && widget->isVisible()) {
            ++count;
        }
    }
    return count;
}

struct Presented {
    core::rx::RxState<bool> state{false};
    std::vector<bool> writes;
    core::rx::Cancellable subscription =
        state.sink(true, [this](bool value) { writes.push_back(value); });
};

// The current panel; a missing one fails the test by exception.
FloatingPanel& panelOf(const FloatingPanelModifier& modifier) {
    FloatingPanel* panel = modifier.panel();
    if (panel == nullptr) {
        throw std::logic_error("no panel");
    }
    return *panel;
}

struct Host {
    QWidget window;
    int built = 0;
    QWidget* lastContent = nullptr;
    FloatingPanelModifier* modifier = nullptr;

    Host(const core::rx::RxState<bool>& state, bool closeButton, bool autoDismiss = false) {
        modifier = new FloatingPanelModifier(&window, state, autoDismiss, closeButton,
                                             QRect(0, 0, 300, 200), [this] {
                                                 ++built;
                                                 lastContent = new QLabel("content");
                                                 return lastContent;
                                             });
    }
};

TEST(FloatingPanel, IsBuiltHiddenOnAppearanceAndShownLaterWithoutRebuilding) {
    Presented presented;
    Host host(presented.state, true);
    EXPECT_EQ(host.built, 0);
    host.window.show();
    ASSERT_EQ(host.built, 1);
    FloatingPanel& panel = panelOf(*host.modifier);
    EXPECT_FALSE(panel.isVisible());
    presented.state.setValue(true);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(host.built, 1);
    // The content finds its panel.
    EXPECT_EQ(components::floatingPanelContainer(host.lastContent).panel.data(), &panel);
}

TEST(FloatingPanel, EverySelfCloseWritesFalseExactlyOnce) {
    Presented presented;
    presented.state.setValue(true);
    presented.writes.clear();
    Host host(presented.state, true);
    host.window.show();
    FloatingPanel& panel = panelOf(*host.modifier);
    ASSERT_TRUE(panel.isVisible());
    QAbstractButton* closeButton = panel.closeButton();
    ASSERT_NE(closeButton, nullptr);
    QTest::mouseClick(closeButton, Qt::LeftButton);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(presented.writes, std::vector<bool>{false});

    presented.state.setValue(true);
    presented.writes.clear();
    const auto close = components::closeFloatingPanel(host.lastContent);
    close();
    EXPECT_EQ(presented.writes, std::vector<bool>{false});
}

TEST(FloatingPanel, HidingTheHostReleasesThePanelAndItsCloseActionGoesStale) {
    Presented presented;
    presented.state.setValue(true);
    Host host(presented.state, false);
    host.window.show();
    QPointer<FloatingPanel> panel = &panelOf(*host.modifier);
    EXPECT_EQ(panelOf(*host.modifier).closeButton(), nullptr);
    const auto close = components::closeFloatingPanel(host.lastContent);
    host.window.hide();
    EXPECT_EQ(host.modifier->panel(), nullptr);
    EXPECT_FALSE(presented.state.value());
    VT_TRY_VERIFY(panel.isNull());
    presented.writes.clear();
    close(); // the panel is gone: nothing happens
    EXPECT_TRUE(presented.writes.empty());
}

TEST(FloatingPanel, ReappearingNeverLeavesAnOrphanedWindow) {
    Presented presented;
    presented.state.setValue(true);
    Host host(presented.state, true);
    host.window.show();
    EXPECT_EQ(panelWindowCount(), 1);
    // A second appearance without a disappearance in between (the host shown again).
    QShowEvent show;
    QApplication::sendEvent(&host.window, &show);
    EXPECT_EQ(host.built, 2);
    EXPECT_EQ(panelWindowCount(), 1);
    EXPECT_TRUE(presented.state.value());
    host.window.hide();
    host.window.show();
    EXPECT_EQ(panelWindowCount(), 0); // closing on hide wrote false
    EXPECT_EQ(host.built, 3);
}

TEST(FloatingPanel, AutoDismissClosesWhenAnotherOfOurWindowsBecomesActive) {
    Presented presented;
    Host host(presented.state, true, true);
    host.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    presented.state.setValue(true);
    FloatingPanel* panel = &panelOf(*host.modifier);
    QApplication::setActiveWindow(panel);
    VT_TRY_COMPARE(QApplication::activeWindow(), panel);
    QTest::qWait(20);
    ASSERT_TRUE(panel->isVisible());
    // A deactivation that hands no other window of ours the focus (the user went to another
    // application) leaves the panel alone.
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(panel, &deactivate);
    QTest::qWait(10);
    EXPECT_TRUE(panel->isVisible());
    QApplication::setActiveWindow(&host.window);
    VT_TRY_VERIFY(!panel->isVisible());
    EXPECT_FALSE(presented.state.value());
}

// A point as gtest can print it.
std::pair<int, int> xy(QPoint point) {
    return {point.x(), point.y()};
}

// A shown panel at (200, 150) whose content holds a label, a button and a line edit.
struct DragPanel {
    core::rx::RxState<bool> presented{true};
    QLabel* label = nullptr;
    QPushButton* button = nullptr;
    QLineEdit* edit = nullptr;
    int clicks = 0;
    FloatingPanel panel{[this]() -> QWidget* {
                            auto* content = new QWidget;
                            auto* column = new QVBoxLayout(content);
                            label = new QLabel("background text");
                            button = new QPushButton("Press");
                            button->setMinimumSize(120, 40);
                            QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
                            edit = new QLineEdit("field");
                            column->addWidget(label);
                            column->addWidget(button);
                            column->addWidget(edit);
                            column->addStretch(1);
                            return content;
                        },
                        false, false, QRect(200, 150, 300, 260), presented};

    DragPanel() {
        panel.present();
        if (!QTest::qWaitForWindowExposed(&panel)) {
            throw std::runtime_error("panel not exposed");
        }
    }

    // Presses the left button on `widget`'s centre, moves by `delta`, releases there.
    void drag(const QWidget& widget, QPoint delta) {
        QWindow* window = panel.windowHandle();
        const QPoint before = panel.pos();
        const QPoint start = widget.mapTo(&panel, widget.rect().center());
        QTest::mousePress(window, Qt::LeftButton, {}, start);
        QTest::mouseMove(window, start + delta);
        // The pointer in the window's terms, the window having perhaps followed it.
        QTest::mouseRelease(window, Qt::LeftButton, {}, start + delta - (panel.pos() - before));
    }
};

TEST(FloatingPanel, DraggingTheBackgroundMovesItAndControlsKeepTheirPresses) {
    DragPanel d;
    const QPoint start = d.panel.pos();
    d.drag(*d.label, QPoint(30, 20));
    EXPECT_EQ(xy(d.panel.pos()), xy(start + QPoint(30, 20))) << "a label takes no press";

    const QPoint moved = d.panel.pos();
    d.drag(*d.button, QPoint(8, 4));
    EXPECT_EQ(xy(d.panel.pos()), xy(moved)) << "the button keeps its press";
    EXPECT_EQ(d.clicks, 1);
    d.drag(*d.edit, QPoint(8, 2));
    EXPECT_EQ(xy(d.panel.pos()), xy(moved)) << "the field keeps its press";
}

TEST(FloatingPanel, HasAVisibleEdgeAllRound) {
    DragPanel d;
    const QImage image = d.panel.grab().toImage();
    const QColor background = d.panel.palette().color(QPalette::Window);
    const int w = image.width();
    const int h = image.height();
    // The background itself, inside the empty title strip.
    ASSERT_EQ(image.pixelColor(w / 2, 10), background);
    for (const QPoint edge : {QPoint(0, h / 2), QPoint(w - 1, h / 2), QPoint(w / 2, 0),
                              QPoint(w / 2, h - 1), QPoint(0, 0), QPoint(w - 1, h - 1)}) {
        const QColor painted = image.pixelColor(edge);
        EXPECT_GT(std::abs(painted.lightness() - background.lightness()), 40)
            << edge.x() << "," << edge.y();
    }
}

// Content with a 2 px border of kBorderColour round a white inside.
constexpr QColor kBorderColour(220, 0, 0);

class BorderedContent final : public QWidget {
protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.fillRect(rect(), kBorderColour);
        painter.fillRect(rect().adjusted(2, 2, -2, -2), Qt::white);
    }
};

// How many pixels of the border show from the white inside outwards along `step`, starting from
// `content`'s centre, in a shot of `panel`.
int borderShown(const QImage& shot, const QWidget& panel, const QWidget& content, QPoint step) {
    QPoint at = content.mapTo(&panel, content.rect().center());
    while (shot.rect().contains(at) && shot.pixelColor(at) == QColor(Qt::white)) {
        at += step;
    }
    int shown = 0;
    while (shot.rect().contains(at) && shot.pixelColor(at) == kBorderColour) {
        ++shown;
        at += step;
    }
    return shown;
}

void expectWholeBorder(const char* which, FloatingPanel& panel, const QWidget& content) {
    SCOPED_TRACE(which);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QImage shot = panel.grab().toImage();
    for (const QPoint step : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)}) {
        EXPECT_EQ(borderShown(shot, panel, content, step), 2)
            << "towards " << step.x() << "," << step.y();
    }
}

TEST(FloatingPanel, TheEdgeNeverCoversTheContent) {
    core::rx::RxState<bool> presented(true);
    QWidget* bare = nullptr;
    FloatingPanel plain(
        [&]() -> QWidget* {
            bare = new BorderedContent;
            return bare;
        },
        false, false, QRect(100, 100, 300, 260), presented);
    plain.present();
    expectWholeBorder("plain", plain, *bare);

    // Expanded, the content column runs to the panel's right.
    QWidget* expandedContent = nullptr;
    FloatingPanel expanded(
        [&]() -> QWidget* {
            expandedContent = new BorderedContent;
            return new components::FloatingPanelExpandableLayout(
                new QLabel("tools"), new QLabel("side"), expandedContent);
        },
        false, true, QRect(100, 100, 700, 600), presented);
    expanded.present();
    expectWholeBorder("expanded", expanded, *expandedContent);
}

TEST(ExpandableWidthRule, ExpandsFromTheTotalWidthAndKeepsTheCentre) {
    const components::ExpandableWidthRule rule;
    EXPECT_TRUE(rule.isExpanded(512));
    EXPECT_FALSE(rule.isExpanded(511));

    double expanded = 512;
    const QRectF wide(100, 40, 700, 600);
    const QRectF collapsed = rule.toggled(wide, expanded);
    EXPECT_EQ(collapsed, QRectF(322, 40, 256, 600));
    EXPECT_EQ(expanded, 700);
    EXPECT_EQ(rule.toggled(collapsed, expanded), wide);

    expanded = 512;
    const QRectF exact(0, 0, 512, 512);
    EXPECT_EQ(rule.toggled(rule.toggled(exact, expanded), expanded), exact);
    expanded = 512;
    EXPECT_EQ(rule.toggled(QRectF(0, 0, 300, 512), expanded).width(), 512);
}

TEST(FloatingPanelExpandableLayout, FollowsItsWidthAndTogglesOnlyInsideAPanel) {
    components::FloatingPanelExpandableLayout outside(new QLabel("tools"), new QLabel("side"),
                                                      new QLabel("main"));
    outside.resize(700, 520);
    outside.show();
    EXPECT_TRUE(outside.isExpanded());
    EXPECT_EQ(outside.toggleSymbol(), "menubar.rectangle");
    // Both toggle symbols have a drawing of their own, not the kit's question-mark placeholder.
    EXPECT_EQ(uikit::symbolSource(outside.toggleSymbol().toStdString()),
              uikit::SymbolSource::resource);
    outside.toggle(); // no panel: nothing happens
    QTest::qWait(20);
    EXPECT_EQ(outside.width(), 700);
    outside.resize(400, 520);
    EXPECT_FALSE(outside.isExpanded());
    EXPECT_EQ(outside.toggleSymbol(), "uiwindow.split.2x1");
    EXPECT_EQ(uikit::symbolSource(outside.toggleSymbol().toStdString()),
              uikit::SymbolSource::resource);

    core::rx::RxState<bool> presented(true);
    components::FloatingPanelExpandableLayout* layout = nullptr;
    FloatingPanel panel(
        [&]() -> QWidget* {
            layout = new components::FloatingPanelExpandableLayout(
                new QLabel("tools"), new QLabel("side"), new QLabel("main"));
            return layout;
        },
        false, true, QRect(100, 100, 700, 600), presented);
    panel.present();
    ASSERT_NE(layout, nullptr);
    // The widths are the layout's own, inside the panel's edge.
    EXPECT_EQ(layout->width(), 700);
    const int centre = panel.geometry().center().x();
    QTest::mouseClick(layout->toggleButton(), Qt::LeftButton);
    VT_TRY_COMPARE(layout->width(), 256);
    EXPECT_NEAR(panel.geometry().center().x(), centre, 1);
    EXPECT_FALSE(layout->isExpanded());
    QTest::mouseClick(layout->toggleButton(), Qt::LeftButton);
    VT_TRY_COMPARE(layout->width(), 700);
    EXPECT_NEAR(panel.geometry().center().x(), centre, 1);
}

// The room right of the divider, in the layout's coordinates, and where the content stands.
struct ContentFit {
    QRect content;
    int dividerRight = 0;
    int contentsRight = 0;
};

void measureContentFit(const components::FloatingPanelExpandableLayout& layout, QWidget& content,
                       ContentFit& fit) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QWidget* column = content.parentWidget();
    // The content's column holds the divider and the content. Counted before any is read as a
    // divider: a lookup matching other widgets would read a divider's fields past them.
    const QList<uikit::Divider*> dividers =
        column->findChildren<uikit::Divider*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(dividers.size(), 1);
    const uikit::Divider* divider = dividers.front();
    ASSERT_EQ(divider->orientation(), Qt::Vertical);
    fit = {QRect(content.mapTo(&layout, QPoint(0, 0)), content.size()),
           divider->mapTo(&layout, QPoint(divider->width() - 1, 0)).x(),
           layout.contentsRect().right()};
}

TEST(FloatingPanelExpandableLayout, TheContentFillsExactlyTheRoomRightOfTheDivider) {
    // A label this long asks for more than the room it gets at the narrower widths.
    auto* content = new QLabel(QString("wide content ").repeated(40));
    components::FloatingPanelExpandableLayout layout(new QLabel("tools"), new QLabel("side"),
                                                     content);
    layout.resize(512, 520);
    layout.show();
    for (const int width : {512, 513, 700, 701, 1000, 512}) {
        layout.resize(width, 520);
        ASSERT_TRUE(layout.isExpanded());
        ContentFit fit;
        ASSERT_NO_FATAL_FAILURE(measureContentFit(layout, *content, fit)) << width;
        EXPECT_TRUE(content->isVisible()) << width;
        EXPECT_EQ(fit.content.left(), fit.dividerRight + 1) << width;
        EXPECT_EQ(fit.content.right(), fit.contentsRight) << width;
    }

    // The same inside a panel, the content the panel's own.
    core::rx::RxState<bool> presented(true);
    QLabel* inPanel = nullptr;
    FloatingPanel panel(
        [&]() -> QWidget* {
            inPanel = new QLabel("main");
            return new components::FloatingPanelExpandableLayout(new QLabel("tools"),
                                                                 new QLabel("side"), inPanel);
        },
        false, true, QRect(100, 100, 700, 600), presented);
    panel.present();
    auto& hosted = dynamic_cast<components::FloatingPanelExpandableLayout&>(*panel.content());
    ContentFit fit;
    ASSERT_NO_FATAL_FAILURE(measureContentFit(hosted, *inPanel, fit));
    EXPECT_EQ(fit.content.left(), fit.dividerRight + 1);
    // Its last column is the one just inside the panel's 1 px edge.
    EXPECT_EQ(inPanel->mapTo(&panel, QPoint(inPanel->width() - 1, 0)).x(), panel.width() - 2);
}

TEST(FloatingPanelExpandableLayout, ItsDividersAreOnePixelSeparatorLinesInLightAndDark) {
    auto* content = new QWidget;
    components::FloatingPanelExpandableLayout layout(nullptr, new QWidget, content);
    layout.resize(700, 520);
    layout.show();
    const QPalette light = vtLightPalette();
    const QPalette dark = vtDarkPalette();
    for (const QPalette& colours : {light, dark}) {
        SCOPED_TRACE(colours == light ? "light" : "dark");
        layout.setPalette(colours);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QImage shot = layout.grab().toImage();
        const QColor line = uikit::Color::separator(layout.palette());
        // Under the toolbar row, the row just above the main row.
        const int under = content->parentWidget()->mapTo(&layout, QPoint(0, 0)).y() - 1;
        for (const int x : {0, layout.width() / 2, layout.width() - 1}) {
            expectLineAt(shot, QPoint(x, under), QPoint(0, 1), line);
        }
        // Before the content, the column just left of it.
        const QPoint contentCorner = content->mapTo(&layout, QPoint(0, 0));
        for (const int y : {1, content->height() / 2, content->height() - 2}) {
            expectLineAt(shot, QPoint(contentCorner.x() - 1, contentCorner.y() + y), QPoint(1, 0),
                         line);
        }
    }
}

} // namespace
