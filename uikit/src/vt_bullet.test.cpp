#include "uikit/vt_bullet.hpp"

#include <gtest/gtest.h>

#include <QLabel>

namespace {

using uikit::VtBullet;

QStringList shownTexts(const QWidget& widget) {
    QStringList texts;
    for (const QLabel* label :
         widget.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        texts << label->text();
    }
    return texts;
}

TEST(VtBullet, TitleLineHasNoBulletAndEachItemHasOne) {
    const VtBullet bullet(QStringLiteral("Notes"),
                          {QStringLiteral("first"), QStringLiteral("second")});
    EXPECT_EQ(shownTexts(bullet), (QStringList{"Notes", "•", "first", "•", "second"}));

    const VtBullet titleOnly(QStringLiteral("Only a title"), {});
    EXPECT_EQ(shownTexts(titleOnly), QStringList{"Only a title"});

    const VtBullet nothing(std::vector<QString>{});
    EXPECT_TRUE(shownTexts(nothing).isEmpty());
    ASSERT_EQ(nothing.sections().size(), 1U);
    EXPECT_FALSE(nothing.sections().front().title.has_value());
}

TEST(VtBullet, TextsAreShownLiterallyAndWrap) {
    const VtBullet bullet(std::vector<QString>{QStringLiteral("<b>x</b>")});
    const auto labels = bullet.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    const QLabel* item = labels.back();
    EXPECT_EQ(item->text(), QStringLiteral("<b>x</b>"));
    EXPECT_EQ(item->textFormat(), Qt::PlainText);
    EXPECT_TRUE(item->wordWrap());
}

TEST(VtBullet, SectionsKeepTheirOrderAndEachHasItsOwnId) {
    std::vector<VtBullet::Section> sections;
    sections.emplace_back(QStringLiteral("Heading"));
    sections.emplace_back(std::nullopt, std::vector<QString>{QStringLiteral("a")});
    sections.emplace_back(QStringLiteral("Second"), std::vector<QString>{QStringLiteral("b")});
    const VtBullet bullet(std::move(sections));
    EXPECT_EQ(shownTexts(bullet), (QStringList{"Heading", "•", "a", "Second", "•", "b"}));
    EXPECT_TRUE(bullet.sections()[0].items.empty());
    EXPECT_NE(bullet.sections()[0].id, bullet.sections()[1].id);
    EXPECT_NE(bullet.sections()[1].id, bullet.sections()[2].id);
}

} // namespace
