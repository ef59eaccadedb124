#include "components/vt_calendar_view.hpp"

#include "core/calendar.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGraphicsEffect>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cmath>

namespace {

using components::CivilDay;
using components::Month;
using components::VtCalendarView;

CivilDay civil(int y, unsigned m, unsigned d) {
    return CivilDay(std::chrono::year(y) / std::chrono::month(m) / std::chrono::day(d));
}

class CalendarViewTest : public ::testing::Test {
protected:
    core::ScopedCalendarOverride m_calendar{"Europe/Berlin", "en_US"};
};

TEST_F(CalendarViewTest, BuildsFortyTwoDaysWithTheirFlagsAndAnUpperCaseTitle) {
    std::vector<std::pair<CivilDay, bool>> built;
    VtCalendarView::Options options;
    options.dayView = [&](CivilDay day, bool inMonth) -> QWidget* {
        built.emplace_back(day, inMonth);
        return new QLabel;
    };
    VtCalendarView view(civil(2024, 3, 14), options);
    ASSERT_EQ(built.size(), 42u);
    const auto expected = Month(civil(2024, 3, 1)).visualDays();
    for (std::size_t i = 0; i < built.size(); ++i) {
        EXPECT_EQ(built[i].first, expected[i].date);
        EXPECT_EQ(built[i].second, expected[i].inCurrentMonth);
    }
    EXPECT_EQ(view.titleButton()->text(), "MAR 2024");
    EXPECT_EQ(view.dayWidgets().size(), 42u);
}

TEST_F(CalendarViewTest, ArrowsCrossYearsAndTheYearPickerKeepsTheMonth) {
    VtCalendarView view(civil(2023, 12, 24));
    view.show();
    QTest::mouseClick(view.arrowButton(1), Qt::LeftButton);
    EXPECT_EQ(view.month(), Month(civil(2024, 1, 1)));
    QTest::mouseClick(view.arrowButton(-1), Qt::LeftButton);
    QTest::mouseClick(view.arrowButton(-1), Qt::LeftButton);
    EXPECT_EQ(view.month(), Month(civil(2023, 11, 1)));

    view.navigate(core::Calendar::current().dateFromLocal(2024, 3, 5).value(), false);
    QTest::mouseClick(view.titleButton(), Qt::LeftButton);
    ASSERT_TRUE(view.isYearSelecting());
    const components::YearPicker* picker = view.yearPicker();
    ASSERT_NE(picker, nullptr);
    QPushButton* year2030 = nullptr;
    const std::vector<QPushButton*> buttons = picker->yearButtons();
    for (QPushButton* button : buttons) {
        if (button->text() == "2030") {
            year2030 = button;
        }
    }
    ASSERT_NE(year2030, nullptr);
    QTest::mouseClick(year2030, Qt::LeftButton);
    EXPECT_EQ(view.month(), Month(civil(2030, 3, 1)));
    EXPECT_EQ(view.titleButton()->text(), "MAR 2030");
    VT_TRY_VERIFY(!view.isYearSelecting());
}

TEST_F(CalendarViewTest, NavigatingToTheShownMonthPublishesAgainAndBadYearsAreIgnored) {
    VtCalendarView view(civil(2024, 3, 5));
    int published = 0;
    auto subscription =
        view.viewModel()->month.publisher().sink([&](const Month&) { ++published; });
    published = 0; // the current value on subscription
    view.navigate(core::Calendar::current().dateFromLocal(2024, 3, 20).value(), true);
    EXPECT_EQ(published, 1);
    EXPECT_EQ(view.month(), Month(civil(2024, 3, 1)));

    auto year = view.yearBinding();
    year.set(0);
    year.set(10000);
    EXPECT_EQ(view.month().year, 2024);
    year.set(1);
    EXPECT_EQ(view.month(), Month(civil(1, 3, 1)));
}

TEST_F(CalendarViewTest, TheBarStaysFortyHighAndThePopoverIsRounded) {
    VtCalendarView view(civil(2024, 3, 5));
    // More room than the calendar needs goes to the grid, never to the navigator bar.
    view.resize(560, 700);
    view.show();
    QWidget* bar = view.titleButton()->parentWidget();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->height(), 40);
    QTest::mouseClick(view.titleButton(), Qt::LeftButton);
    ASSERT_NE(view.yearPicker(), nullptr);
    const QWidget* popover = view.yearPicker()->window();
    EXPECT_EQ(popover->width(), 280);
    EXPECT_FALSE(popover->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(popover->mask().contains(QPoint(140, popover->height() / 2)));
}

TEST_F(CalendarViewTest, OnlyAChangedMonthFadesItsTitleIn) {
    VtCalendarView view(civil(2024, 3, 5));
    view.show();
    // The same month keeps its title: nothing to fade.
    view.navigate(core::Calendar::current().dateFromLocal(2024, 3, 20).value(), true);
    EXPECT_EQ(view.titleButton()->graphicsEffect(), nullptr);
    view.navigate(core::Calendar::current().dateFromLocal(2024, 4, 20).value(), true);
    EXPECT_NE(view.titleButton()->graphicsEffect(), nullptr);
    VT_TRY_COMPARE(view.titleButton()->graphicsEffect(), nullptr);
}

TEST_F(CalendarViewTest, AnUnusablePaddingGivesNone) {
    for (const double padding : {std::nan(""), -4.0, 1e300}) {
        VtCalendarView::Options options;
        options.weekdayVerticalPadding = padding;
        VtCalendarView view(civil(2024, 3, 5), options);
        EXPECT_EQ(view.dayWidgets().size(), 42u);
    }
}

TEST_F(CalendarViewTest, ADisabledCalendarHidesItsArrowsAndOpensNoPicker) {
    VtCalendarView::Options options;
    options.enabled = false;
    VtCalendarView view(civil(2024, 3, 5), options);
    view.show();
    EXPECT_FALSE(view.arrowButton(1)->isVisible());
    EXPECT_TRUE(view.arrowButton(1)->sizePolicy().retainSizeWhenHidden());
    QTest::mouseClick(view.titleButton(), Qt::LeftButton);
    EXPECT_FALSE(view.isYearSelecting());
    EXPECT_EQ(view.yearPicker(), nullptr);
    view.shiftMonth(1); // the program may still move it
    EXPECT_EQ(view.month(), Month(civil(2024, 4, 1)));
}

TEST(CalendarDayViews, DayCellsAndTheWeekdayRowFollowTheLocale) {
    components::CalendarLocale locale;
    locale.firstWeekday = 2;
    locale.weekend = {false, false, false, false, false, true, true}; // Friday and Saturday
    const auto tables = components::makeCalendarWeekdayTables(locale);
    components::WeekdayView row(components::VtWeekdayNameDisplayStyle::shortName, QFont(), nullptr,
                                tables);
    EXPECT_EQ(row.label(0)->text(), "Mon");
    EXPECT_EQ(row.label(6)->text(), "Sun");
    components::WeekdayView letters(components::VtWeekdayNameDisplayStyle::veryShort, QFont(),
                                    nullptr, tables);
    // "T" twice (Tuesday, Thursday) still gives seven labels in column order.
    EXPECT_EQ(letters.label(1)->text(), "T");
    EXPECT_EQ(letters.label(3)->text(), "T");

    components::VtDefaultDayView first(civil(2024, 3, 1), true, nullptr, locale);
    EXPECT_EQ(first.text(), "1");
    EXPECT_NE(first.circleColor(), QColor(0, 122, 255)); // a Friday: weekend here
    components::VtDefaultDayView sunday(civil(2024, 3, 3), true, nullptr, locale);
    EXPECT_EQ(sunday.circleColor(), QColor(0, 122, 255));
    components::VtDefaultDayView outside(civil(2024, 2, 29), false, nullptr, locale);
    EXPECT_TRUE(outside.isHidden());
    EXPECT_TRUE(outside.sizePolicy().retainSizeWhenHidden());
}

} // namespace
