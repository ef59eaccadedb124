#pragma once

#include "components/month.hpp"

#include <QFont>
#include <QWidget>

#include <array>

class QLabel;

namespace components {

/// The default day cell of the month calendar: the day number on a circle, grey on weekend days
/// and blue otherwise, 60 high. A day outside the shown month keeps its place but is not drawn.
class VtDefaultDayView : public QWidget {
    Q_OBJECT
public:
    /// The cell of `day`; `inMonth` tells whether it belongs to the shown month.
    VtDefaultDayView(CivilDay day, bool inMonth, QWidget* parent = nullptr,
                     const CalendarLocale& locale = moduleCalendar());

    /// The day shown.
    CivilDay day() const noexcept { return m_day; }
    /// The text drawn: the day of the month without a leading zero.
    QString text() const;
    /// The circle's colour: the weekend fill on weekend days, blue otherwise.
    QColor circleColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CivilDay m_day;
    bool m_weekend;
};

/// The default previous/next button content of the calendar's navigator: the symbol 80 wide and
/// 40 high.
class VtDefaultNavigatorButton : public QWidget {
    Q_OBJECT
public:
    /// A button content showing the symbol named `symbol` ("chevron.left", "chevron.right").
    explicit VtDefaultNavigatorButton(QString symbol, QWidget* parent = nullptr);
    /// The symbol's name.
    const QString& symbol() const noexcept { return m_symbol; }
    QSize sizeHint() const override { return {80, 40}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
};

/// How the weekday row names the days.
enum class VtWeekdayNameDisplayStyle { shortName, veryShort };

/// The weekday row over the month grid: seven equally wide names in column order, starting with
/// the calendar's first weekday. Names are kept by column, so repeated very short names ("S",
/// "T") stay distinct.
class WeekdayView : public QWidget {
    Q_OBJECT
public:
    /// A row in `style`, drawn in `font`, with the names of `tables`.
    WeekdayView(VtWeekdayNameDisplayStyle style, const QFont& font, QWidget* parent = nullptr,
                const CalendarWeekdayTables& tables = calendarWeekdayTables());

    /// The label of column `column` (0...6).
    QLabel* label(int column) const { return m_labels.at(static_cast<std::size_t>(column)); }

private:
    std::array<QLabel*, 7> m_labels{};
};

} // namespace components
