#include "components/vt_calendar_view.hpp"

#include "core/calendar.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGraphicsEffect>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

// A widget's rectangle on the screen.
QRect globalRect(const QWidget& widget) {
    return {widget.mapToGlobal(QPoint(0, 0)), widget.size()};
}

// The largest difference between two colours in any of red, green and blue (0 to 255).
int distance(const QColor& a, const QColor& b) {
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue())});
}

TEST_F(CalendarViewTest, TheYearPopoverStaysOnTheScreenBesideTheBarAndPointsAtTheTitle) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize size(300, 320);
    const struct {
        const char* where;
        QPoint at;
        bool below;
    } places[] = {
        {"in the middle", screen.center() - QPoint(150, 160), true},
        {"a third past the right edge", QPoint(screen.right() - 200, screen.top() + 40), true},
        {"a third past the left edge", QPoint(screen.left() - 100, screen.top() + 40), true},
        {"at the bottom", QPoint(screen.left() + 200, screen.bottom() + 1 - 100), false},
        {"past the bottom right corner", screen.bottomRight() - QPoint(200, 60), false},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.where);
        VtCalendarView view(civil(2024, 3, 5));
        view.resize(size);
        view.move(place.at);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QTest::mouseClick(view.titleButton(), Qt::LeftButton);
        ASSERT_NE(view.yearPicker(), nullptr);
        QWidget* popover = view.yearPicker()->window();
        const QRect frame = popover->frameGeometry();
        EXPECT_TRUE(screen.contains(frame)) << "popover at " << frame.x() << "," << frame.y();

        const QRect bar = globalRect(*view.titleButton()->parentWidget());
        EXPECT_FALSE(frame.intersects(bar)) << "the bar and its title stay in sight";
        if (place.below) {
            EXPECT_EQ(frame.top(), bar.bottom() + 1);
        } else {
            EXPECT_EQ(frame.bottom(), bar.top() - 1);
        }

        // The arrow rises from the edge facing the bar, in line with the title's middle.
        const int arrowX = globalRect(*view.titleButton()).center().x() - frame.x();
        const int nearBar = place.below ? 2 : popover->height() - 3;
        const QRegion shape = popover->mask();
        EXPECT_TRUE(shape.contains(QPoint(arrowX, nearBar)));
        EXPECT_FALSE(shape.contains(QPoint(arrowX - 12, nearBar)));
        EXPECT_FALSE(shape.contains(QPoint(arrowX + 12, nearBar)));
        popover->close();
        VT_TRY_VERIFY(!view.isYearSelecting());
    }
}

TEST_F(CalendarViewTest, TheYearPopoverHasItsOwnSurfaceAndAVisibleEdge) {
    struct PaletteRestorer {
        const QPalette saved = QApplication::palette();
        ~PaletteRestorer() { QApplication::setPalette(saved); }
    } restorer;
    const QPalette original = restorer.saved;
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, Qt::white);
    for (const QPalette& palette : {original, dark}) {
        QApplication::setPalette(palette);
        VtCalendarView view(civil(2024, 3, 5));
        view.resize(300, 320);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        QTest::mouseClick(view.titleButton(), Qt::LeftButton);
        ASSERT_NE(view.yearPicker(), nullptr);
        QWidget* popover = view.yearPicker()->window();
        const QImage face = popover->grab().toImage();
        const int w = face.width();
        const int h = face.height();
        // Beside the picker's content, inside the edge.
        const QColor surface = face.pixelColor(3, h / 2);
        const QColor beneath =
            view.grab().toImage().pixelColor(1, view.titleButton()->parentWidget()->height() + 1);
        EXPECT_GE(distance(surface, beneath), 8) << "the popover stands out from the calendar";
        int top = 0; // of the panel beside its arrow
        while (top < h && !popover->mask().contains(QPoint(20, top))) {
            ++top;
        }
        for (const QPoint edge :
             {QPoint(0, h / 2), QPoint(w - 1, h / 2), QPoint(w / 2, h - 1), QPoint(20, top)}) {
            EXPECT_GE(distance(face.pixelColor(edge), surface), 24)
                << "edge at " << edge.x() << "," << edge.y();
        }
        popover->close();
        VT_TRY_VERIFY(!view.isYearSelecting());
    }
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
