#include "uikit/scroll_proxies.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QAbstractAnimation>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <optional>

namespace {

using uikit::ListProxy;

TEST(RowScrollTarget, MovesByTheLeastDistanceThatShowsTheRow) {
    const QRectF visible(0, 400, 100, 200); // content rows 400 to 600 are visible
    // Short rows: below shows its bottom at the bottom, above shows its top at the top.
    EXPECT_EQ(uikit::rowScrollTarget(QRectF(0, 650, 100, 20), visible), 470);
    EXPECT_EQ(uikit::rowScrollTarget(QRectF(0, 100, 100, 20), visible), 100);
    EXPECT_EQ(uikit::rowScrollTarget(QRectF(0, 590, 100, 20), visible), 410); // partly hidden
    EXPECT_FALSE(uikit::rowScrollTarget(QRectF(0, 450, 100, 20), visible));   // fully visible
    // Rows taller than the view: below shows its top, above shows its bottom.
    EXPECT_EQ(uikit::rowScrollTarget(QRectF(0, 700, 100, 300), visible), 700);
    EXPECT_EQ(uikit::rowScrollTarget(QRectF(0, 0, 100, 300), visible), 100);
    EXPECT_FALSE(uikit::rowScrollTarget(QRectF(0, 350, 100, 300), visible)); // overlapping
    EXPECT_FALSE(uikit::rowScrollTarget(QRectF(0, 900, 100, 20), QRectF(0, 0, 0, 200)));
}

class ListProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_list = new QListWidget(&m_window);
        m_list->setGeometry(10, 20, 150, 200);
        m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        m_list->setUniformItemSizes(true);
        for (int row = 0; row < m_rows; ++row) {
            auto* item = new QListWidgetItem(QString("row %1").arg(row), m_list);
            item->setSizeHint(QSize(100, 20));
        }
        m_window.resize(300, 300);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }
    QScrollBar* bar() const { return m_list->verticalScrollBar(); }

    QWidget m_window;
    QListWidget* m_list = nullptr;
    int m_rows = 50;
};

TEST_F(ListProxyTest, AnimatedRowScrollsSlideOnlyWhenTheRowIsHidden) {
    const ListProxy proxy{m_list};
    proxy.scrollRowToVisible(3, true); // already visible: nothing moves
    EXPECT_EQ(bar()->value(), 0);
    EXPECT_TRUE(bar()->findChildren<QAbstractAnimation*>().isEmpty());

    proxy.scrollRowToVisible(30, true);
    EXPECT_EQ(bar()->value(), 0); // sliding, not jumping
    const int viewportHeight = m_list->viewport()->height();
    VT_TRY_COMPARE(bar()->value(), 31 * 20 - viewportHeight);
    EXPECT_TRUE(
        m_list->viewport()->rect().contains(m_list->visualRect(m_list->model()->index(30, 0))));

    proxy.scrollToBottom(false);
    EXPECT_EQ(bar()->value(), bar()->maximum());
    proxy.scrollRowToVisible(0, false);
    EXPECT_EQ(bar()->value(), 0);
}

TEST_F(ListProxyTest, LocationsBelowTheLastRowAreInsideWithoutARow) {
    const ListProxy proxy{m_list};
    m_list->clear();
    m_list->addItems({"a", "b"});
    const QPoint viewportOrigin = m_list->viewport()->mapTo(&m_window, QPoint(0, 0));
    const auto onRow = proxy.location(QPointF(viewportOrigin) + QPointF(5, 3));
    EXPECT_EQ(onRow.kind, ListProxy::TapLocation::Kind::inside);
    EXPECT_EQ(onRow.row, 0);
    EXPECT_EQ(onRow.point, QPointF(5, 3));
    const auto below = proxy.location(QPointF(viewportOrigin) + QPointF(5, 150));
    EXPECT_EQ(below.kind, ListProxy::TapLocation::Kind::inside);
    EXPECT_FALSE(below.row);
    EXPECT_EQ(proxy.location(QPointF(250, 250)).kind, ListProxy::TapLocation::Kind::outside);
}

TEST_F(ListProxyTest, ProxiesOfAGoneViewDoNothing) {
    const ListProxy list{m_list};
    const uikit::ScrollViewProxy area{m_list};
    EXPECT_FALSE(area.visibleRect().isEmpty());
    delete m_list;
    list.scrollToBottom(true);
    list.scrollRowToVisible(10, true);
    area.scroll(QPoint(0, 100), true);
    EXPECT_EQ(list.location(QPointF(20, 30)).kind, ListProxy::TapLocation::Kind::outside);
    EXPECT_TRUE(area.visibleRect().isEmpty());
}

TEST(ScrollViewProxy, FoundFromInsideItsAreaAndScrollsIt) {
    QScrollArea area;
    auto* content = new QWidget;
    content->resize(400, 1000);
    auto* inner = new QLabel("inside", content);
    area.setWidget(content);
    area.resize(200, 200);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));

    std::optional<uikit::ScrollViewProxy> found;
    uikit::scrollViewProxy(*inner, [&](uikit::ScrollViewProxy proxy) { found = proxy; });
    EXPECT_FALSE(found);
    VT_TRY_VERIFY(found.has_value());
    EXPECT_EQ(found->scrollView, &area);
    found->scroll(QPoint(30, 300), false);
    EXPECT_EQ(area.horizontalScrollBar()->value(), 30);
    EXPECT_EQ(area.verticalScrollBar()->value(), 300);
    found->scroll(QPoint(0, 500), true);
    VT_TRY_COMPARE(area.verticalScrollBar()->value(), 500);

    // A view outside any scroll area never hears back.
    QLabel alone("alone");
    bool called = false;
    uikit::scrollViewProxy(alone, [&](uikit::ScrollViewProxy) { called = true; });
    std::optional<ListProxy> list;
    uikit::listProxy(alone, [&](ListProxy proxy) { list = proxy; });
    QTest::qWait(20);
    EXPECT_FALSE(called);
    EXPECT_FALSE(list);
}

TEST(ListProxy, AnItemViewIsFoundAroundOrBelowTheView) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* list = new QListWidget;
    layout->addWidget(list);
    EXPECT_EQ(uikit::findItemView(&window), list);
    EXPECT_EQ(uikit::findItemView(list->viewport()), list);
    EXPECT_EQ(uikit::findEnclosingScrollArea(list->viewport()), list);
    EXPECT_EQ(uikit::findItemView(nullptr), nullptr);
}

} // namespace
