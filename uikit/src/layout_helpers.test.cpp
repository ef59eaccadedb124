#include "uikit/layout_helpers.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QTest>
#include <QVBoxLayout>

#include <vector>

namespace {

// A widget whose natural width the test sets.
class Hinted final : public QWidget {
public:
    explicit Hinted(int width) : m_width(width) {}
    void setHintWidth(int width) {
        m_width = width;
        updateGeometry();
    }
    QSize sizeHint() const override { return {m_width, 20}; }

private:
    int m_width;
};

TEST(EqualWidthGroup, MembersTakeTheWidestNaturalWidthAndNeverShrink) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    uikit::EqualWidthGroup group(&window);
    EXPECT_FALSE(group.width());
    std::vector<Hinted*> members;
    for (const int width : {40, 90, 60}) {
        members.push_back(new Hinted(width));
        layout->addWidget(&uikit::sameWidth(*members.back(), group), 0, Qt::AlignLeft);
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(group.width(), 90);
    for (const Hinted* member : members) {
        EXPECT_EQ(member->minimumWidth(), 90);
        EXPECT_GE(member->width(), 90);
    }

    members[1]->setHintWidth(30); // narrower later: the group keeps its width
    QTest::qWait(20);
    EXPECT_EQ(group.width(), 90);
    EXPECT_GE(members[1]->width(), 90);

    members[2]->setHintWidth(120); // wider: everyone follows once the layout hears of it
    VT_TRY_COMPARE(group.width(), std::optional<int>(120));
    for (const Hinted* member : members) {
        EXPECT_EQ(member->minimumWidth(), 120);
    }
    // A member added later is widened at once and cannot narrow the group.
    auto* late = new Hinted(10);
    layout->addWidget(&uikit::sameWidth(*late, group));
    EXPECT_EQ(late->minimumWidth(), 120);
    delete members[0]; // a deleted member is simply gone
    group.measure();
    EXPECT_EQ(group.width(), 120);
}

TEST(LayoutReaders, FramesAndSizesAreReportedOnlyWhenTheyChange) {
    QWidget window;
    window.resize(300, 200);
    QWidget panel(&window);
    panel.setGeometry(10, 10, 200, 150);
    QWidget probe(&panel);
    probe.setGeometry(5, 5, 50, 20);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    std::vector<QRectF> frames;
    std::vector<QRectF> inPanel;
    std::vector<QSizeF> sizes;
    uikit::readFrame(probe, nullptr, [&](QRectF frame) { frames.push_back(frame); });
    uikit::readFrame(probe, &panel, [&](QRectF frame) { inPanel.push_back(frame); });
    uikit::readSize(probe, [&](QSizeF size) { sizes.push_back(size); });
    ASSERT_EQ(frames, std::vector<QRectF>{QRectF(15, 15, 50, 20)});
    EXPECT_EQ(inPanel, std::vector<QRectF>{QRectF(5, 5, 50, 20)});
    EXPECT_EQ(sizes, std::vector<QSizeF>{QSizeF(50, 20)});

    probe.setGeometry(5, 5, 50, 20); // the same geometry again
    panel.move(30, 10);              // an ancestor moves: the frame in the window changes
    EXPECT_EQ(frames.back(), QRectF(35, 15, 50, 20));
    EXPECT_EQ(inPanel.size(), 1u); // ...but not the frame in the panel
    probe.resize(60, 20);
    EXPECT_EQ(frames.back(), QRectF(35, 15, 60, 20));
    EXPECT_EQ(inPanel.back(), QRectF(5, 5, 60, 20));
    EXPECT_EQ(sizes.back(), QSizeF(60, 20));
    EXPECT_EQ(frames.size(), 3u);
    EXPECT_EQ(sizes.size(), 2u);
}

} // namespace
