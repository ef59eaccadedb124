#include "uikit/pinned_header.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

namespace {

using uikit::PinnedHeader;

TEST(PinnedHeader, OffsetIsTopMinusTheReadersTop) {
    EXPECT_EQ(PinnedHeader::contentOffset(0, 0), 0);
    EXPECT_EQ(PinnedHeader::contentOffset(10, -50), 60);
    EXPECT_EQ(PinnedHeader::contentOffset(10, 40), -30);
}

TEST(PinnedHeader, ContentStaysAtItsPlaceInTheViewportWhileTheContentScrolls) {
    QScrollArea area;
    area.resize(300, 200);
    auto* page = new QWidget();
    page->setFixedSize(280, 1000);
    auto* header = new PinnedHeader(
        10, area.viewport(), [] { return new QLabel(QStringLiteral("Pinned")); }, page);
    header->setGeometry(0, 100, 280, 900);
    area.setWidget(page);
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));

    auto contentTopInViewport = [&] {
        return header->content()->mapTo(area.viewport(), QPoint(0, 0)).y();
    };
    // The header starts 100 below the viewport's top: its content is moved up by 90.
    EXPECT_EQ(header->minY(), 100);
    EXPECT_EQ(header->content()->y(), -90);
    EXPECT_EQ(contentTopInViewport(), 10);

    area.verticalScrollBar()->setValue(350);
    EXPECT_EQ(header->minY(), -250);
    EXPECT_EQ(header->content()->y(), 260);
    EXPECT_EQ(contentTopInViewport(), 10);

    // Moving the header itself inside the page is followed too.
    header->move(0, 20);
    EXPECT_EQ(contentTopInViewport(), 10);
    EXPECT_EQ(qobject_cast<QLabel*>(header->content())->text(), QStringLiteral("Pinned"));
}

} // namespace
