#include "components/year_picker.hpp"

#include "uikit/symbol_icon.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <limits>

namespace {

using components::YearPicker;

struct Store {
    int year = 2024;
    int writes = 0;
    uikit::Binding<int> binding() {
        return uikit::Binding<int>([this] { return year; },
                                   [this](const int& value) {
                                       year = value;
                                       ++writes;
                                   });
    }
};

TEST(YearPickerModel, CommitKeepsNumberCharactersAndAcceptsOnlyFourDigitYears) {
    const struct {
        QString typed;
        int year;
        QString shown;
    } table[] = {
        {"2031", 2031, "2031"},
        {"20a31", 2031, "2031"},
        {" 2031 ", 2031, "2031"},
        {"999", 2024, "2024"},
        {"0999", 2024, "2024"},
        {"12345", 2024, "2024"},
        {"", 2024, "2024"},
        {"abc", 2024, "2024"},
        {QString::fromUtf8("\uFF12\uFF10\uFF13\uFF11"), 2024, "2024"}, // full-width digits
        {"2031\u0663", 2024, "2024"},                                  // an Arabic-Indic digit
        {"1234567890123456789012345", 2024, "2024"},
        {"1000", 1000, "1000"},
        {"9999", 9999, "9999"},
        {"10000", 2024, "2024"},
    };
    for (const auto& row : table) {
        Store store;
        YearPicker::Year year(store.binding());
        year.setString(row.typed);
        year.commit();
        EXPECT_EQ(store.year, row.year) << row.typed.toStdString();
        EXPECT_EQ(year.string(), row.shown) << row.typed.toStdString();
    }
}

TEST(YearPickerModel, SelectWritesOnlyAChangeAndStepsSaturate) {
    Store store;
    YearPicker::Year year(store.binding());
    year.select(2024);
    EXPECT_EQ(store.writes, 0);
    year.setString("19");
    year.step(1);
    EXPECT_EQ(store.year, 2025);
    EXPECT_EQ(year.string(), "2025");
    store.year = std::numeric_limits<int>::max();
    year.step(1);
    EXPECT_EQ(store.year, std::numeric_limits<int>::max());
    store.year = std::numeric_limits<int>::min();
    year.step(-1);
    EXPECT_EQ(store.year, std::numeric_limits<int>::min());
}

TEST(YearPickerModel, QuickAccessYearsCentreOnTheYear) {
    const auto years = [](int year, int count) {
        return YearPicker::quickAccessYears(year, count);
    };
    EXPECT_EQ(years(2024, 30).front(), 2009);
    EXPECT_EQ(years(2024, 30).back(), 2038);
    EXPECT_EQ(years(2024, 5), (std::vector<int>{2022, 2023, 2024, 2025, 2026}));
    EXPECT_EQ(years(2024, 4), (std::vector<int>{2022, 2023, 2024, 2025}));
    EXPECT_EQ(years(2024, 1), (std::vector<int>{2024}));
    EXPECT_TRUE(years(2024, 0).empty());
    EXPECT_TRUE(years(2024, -3).empty());
    const int top = std::numeric_limits<int>::max();
    EXPECT_EQ(years(top, 4), (std::vector<int>{top - 2, top - 1, top, top}));
    EXPECT_EQ(years(std::numeric_limits<int>::min(), 2).front(), std::numeric_limits<int>::min());
    EXPECT_EQ(YearPicker::quickAccessColumnCount(270), 6);
    EXPECT_EQ(YearPicker::quickAccessColumnCount(10), 1);
}

TEST(YearPickerView, AGridClickWritesAndClosesWhileCloseNeverWrites) {
    Store store;
    int dismissed = 0;
    YearPicker picker(std::make_shared<YearPicker::Year>(store.binding()), 30);
    picker.setDismissAction([&] { ++dismissed; });
    picker.show();
    ASSERT_EQ(picker.yearButtons().size(), 30u);
    EXPECT_EQ(picker.textField()->text(), "2024");
    QTest::mouseClick(picker.closeButton(), Qt::LeftButton);
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(store.writes, 0);
    QPushButton* year2030 = picker.yearButtons()[21];
    ASSERT_EQ(year2030->text(), "2030");
    QTest::mouseClick(year2030, Qt::LeftButton);
    EXPECT_EQ(store.year, 2030);
    EXPECT_EQ(dismissed, 2);
    // Typing, then Return, commits and keeps the picker open.
    picker.textField()->setFocus();
    QTest::keyClicks(picker.textField(), "1");
    picker.textField()->selectAll();
    QTest::keyClicks(picker.textField(), "1999");
    QTest::keyClick(picker.textField(), Qt::Key_Return);
    EXPECT_EQ(store.year, 1999);
    EXPECT_EQ(dismissed, 2);
    EXPECT_FALSE(picker.textField()->hasFocus());
    // The grid follows the committed year: centred on it, with it highlighted.
    ASSERT_EQ(picker.yearButtons().size(), 30u);
    EXPECT_EQ(picker.yearButtons().front()->text(), "1984");
    EXPECT_EQ(picker.yearButtons()[15]->text(), "1999");
    EXPECT_TRUE(picker.yearButtons()[15]->styleSheet().contains(
        picker.palette().color(QPalette::Highlight).name(QColor::HexArgb)));
}

TEST(YearPickerView, TheCloseButtonShowsAnXInAFilledCircle) {
    Store store;
    YearPicker picker(std::make_shared<YearPicker::Year>(store.binding()), 0);
    const auto render = [](const QIcon& icon) { return icon.pixmap(QSize(32, 32)).toImage(); };
    const QImage shown = render(picker.closeButton()->icon());
    EXPECT_EQ(shown, render(uikit::symbolIcon("xmark.circle.fill")));
    EXPECT_NE(shown, render(uikit::symbolIcon("xmark")));
    EXPECT_EQ(uikit::symbolSource("xmark.circle.fill"), uikit::SymbolSource::resource);
}

} // namespace
