#pragma once

#include "components/calendar_day_views.hpp"
#include "components/month.hpp"
#include "components/year_picker.hpp"

#include "core/date.hpp"
#include "core/rx.hpp"
#include "core/rx_observable_state.hpp"
#include "uikit/binding.hpp"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QGridLayout;
class QPushButton;

namespace components {

/// The month a calendar shows; every write is published, even of the same month.
class VtCalendarViewModel final : public core::rx::ObservableObject {
public:
    /// A model showing `month`.
    explicit VtCalendarViewModel(Month initial) : month(*this, initial) {}

    /// The shown month.
    core::rx::Published<Month> month;
};

/// A month calendar: a navigator bar (previous month, the month's title, next month), the weekday
/// row and a six-week grid of day views built by the caller. Clicking the title opens a year
/// picker that moves the calendar to the same month of another year.
class VtCalendarView : public QWidget {
    Q_OBJECT
public:
    /// Builds one grid cell from its day and whether the day lies in the shown month.
    using DayBuilder = std::function<QWidget*(CivilDay day, bool inMonth)>;
    /// Builds the content of the previous or next button from a symbol name.
    using NavigatorButtonBuilder = std::function<QWidget*(const QString& symbol)>;

    /// Everything a caller may set besides the first month.
    struct Options {
        /// Whether the navigator reacts (the grid looks the same either way).
        bool enabled = true;
        /// The navigator bar's background; invalid means the kit's quaternary fill.
        QColor navigatorBackground;
        double navigatorCornerRadius = 6.0;
        /// Empty means `VtDefaultNavigatorButton`.
        NavigatorButtonBuilder navigatorButtonBuilder;
        VtWeekdayNameDisplayStyle weekdayDisplayStyle = VtWeekdayNameDisplayStyle::shortName;
        /// Empty (default-constructed) means the application's caption font (10 px).
        std::optional<QFont> weekdayFont;
        double weekdayVerticalPadding = 10.0;
        int countOfQuickAccessOptions = 30;
        /// Empty means `VtDefaultDayView`.
        DayBuilder dayView;
    };

    /// A calendar showing the month that holds `atMonth` (in the process's calendar).
    VtCalendarView(core::Date atMonth, Options options, QWidget* parent = nullptr);
    /// A calendar showing the month that holds `day`.
    VtCalendarView(CivilDay day, Options options, QWidget* parent = nullptr);
    /// A calendar with the default day views, navigator buttons and settings.
    explicit VtCalendarView(core::Date atMonth, QWidget* parent = nullptr);
    /// A calendar with the default day views, navigator buttons and settings.
    explicit VtCalendarView(CivilDay day, QWidget* parent = nullptr);
    ~VtCalendarView() override;

    /// Shows the month that holds `date`, published even when it is the shown month; `animated`
    /// cross-fades the title and the grid.
    void navigate(core::Date date, bool animated);
    /// Shows the month `by` months away (animated), as the navigator's arrows do.
    void shiftMonth(int by);

    /// The shown month.
    Month month() const { return m_model->month.get(); }
    /// The model (shared so bindings can hold it weakly).
    std::shared_ptr<VtCalendarViewModel> viewModel() const { return m_model; }
    /// The year of the shown month, read and written by the year picker: a write keeps the month
    /// number and is ignored for years outside 1...9999 or once the model is gone.
    uikit::Binding<int> yearBinding() const;

    /// Whether the year popover is shown.
    bool isYearSelecting() const noexcept { return m_yearSelecting; }
    /// The popover's picker while it is shown.
    YearPicker* yearPicker() const { return m_picker.data(); }
    /// The navigator's title button.
    QPushButton* titleButton() const noexcept { return m_title; }
    /// The navigator's previous (-1) or next (+1) button.
    QAbstractButton* arrowButton(int direction) const noexcept {
        return direction < 0 ? m_previous : m_next;
    }
    /// The grid's cells in grid order.
    const std::vector<QWidget*>& dayWidgets() const noexcept { return m_days; }

private:
    void display(const Month& month, bool animated);
    void openYearPicker();
    void fadeIn(QWidget* widget);

    Options m_options;
    std::shared_ptr<VtCalendarViewModel> m_model;
    core::rx::Cancellable m_subscription;
    bool m_animateNext = false;
    bool m_yearSelecting = false;

    QWidget* m_navigator = nullptr;
    QAbstractButton* m_previous = nullptr;
    QAbstractButton* m_next = nullptr;
    QPushButton* m_title = nullptr;
    QWidget* m_gridHost = nullptr;
    QGridLayout* m_grid = nullptr;
    std::vector<QWidget*> m_days;
    QPointer<QWidget> m_popover;
    QPointer<YearPicker> m_picker;
};

} // namespace components
