#include "components/vt_calendar_view.hpp"

#include "year_popover.hpp"

#include "uikit/color.hpp"

#include <QAbstractButton>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace components {
namespace {

constexpr int kFirstWritableYear = 1;
constexpr int kLastWritableYear = 9999;
constexpr int kPopoverWidth = 280;
constexpr int kCaptionPixelSize = 10;

// A button whose look is a caller-built widget; the widget ignores the mouse so the button gets
// every click.
class ContentButton final : public QAbstractButton {
public:
    ContentButton(QWidget* content, QWidget* parent) : QAbstractButton(parent) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        content->setParent(this);
        content->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(content);
        setFocusPolicy(Qt::NoFocus);
        // A disabled arrow is invisible but keeps its place in the bar.
        QSizePolicy policy = sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        setSizePolicy(policy);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {}
};

// The navigator bar's background, rounded by the caller's radius.
class RoundedBar final : public QWidget {
public:
    RoundedBar(QColor colour, double radius, QWidget* parent)
        : QWidget(parent), m_colour(std::move(colour)), m_radius(radius) {}

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), m_radius, m_radius);
        painter.fillPath(path, m_colour);
    }

private:
    QColor m_colour;
    double m_radius;
};

} // namespace

VtCalendarView::VtCalendarView(core::Date atMonth, QWidget* parent)
    : VtCalendarView(civilDay(atMonth), Options{}, parent) {}

VtCalendarView::VtCalendarView(CivilDay day, QWidget* parent)
    : VtCalendarView(day, Options{}, parent) {}

VtCalendarView::VtCalendarView(core::Date atMonth, Options options, QWidget* parent)
    : VtCalendarView(civilDay(atMonth), std::move(options), parent) {}

VtCalendarView::VtCalendarView(CivilDay day, Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)),
      m_model(std::make_shared<VtCalendarViewModel>(Month(day))) {
    if (!m_options.navigatorBackground.isValid()) {
        m_options.navigatorBackground = uikit::Color::quaternarySystemFill(palette());
    }
    if (!m_options.navigatorButtonBuilder) {
        m_options.navigatorButtonBuilder = [](const QString& symbol) -> QWidget* {
            return new VtDefaultNavigatorButton(symbol);
        };
    }
    if (!m_options.dayView) {
        m_options.dayView = [](CivilDay cellDay, bool inMonth) -> QWidget* {
            return new VtDefaultDayView(cellDay, inMonth);
        };
    }
    if (!m_options.weekdayFont) {
        QFont caption = font();
        caption.setPixelSize(kCaptionPixelSize);
        m_options.weekdayFont = caption;
    }

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_navigator =
        new RoundedBar(m_options.navigatorBackground, m_options.navigatorCornerRadius, this);
    auto* bar = new QHBoxLayout(m_navigator);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(0);
    m_previous = new ContentButton(m_options.navigatorButtonBuilder("chevron.left"), m_navigator);
    m_next = new ContentButton(m_options.navigatorButtonBuilder("chevron.right"), m_navigator);
    m_title = new QPushButton(m_navigator);
    m_title->setFlat(true);
    m_title->setFocusPolicy(Qt::NoFocus);
    QPalette titleColours = m_title->palette();
    titleColours.setColor(
        QPalette::ButtonText,
        titleColours.color(m_options.enabled ? QPalette::WindowText : QPalette::PlaceholderText));
    m_title->setPalette(titleColours);
    bar->addWidget(m_previous);
    bar->addStretch(1);
    bar->addWidget(m_title);
    bar->addStretch(1);
    bar->addWidget(m_next);
    for (QAbstractButton* arrow : {m_previous, m_next}) {
        arrow->setEnabled(m_options.enabled);
        arrow->setVisible(m_options.enabled);
    }
    // The bar is as high as its buttons; spare height goes to the grid.
    m_navigator->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    column->addWidget(m_navigator);

    auto* weekdays = new WeekdayView(m_options.weekdayDisplayStyle, *m_options.weekdayFont, this);
    // A caller's NaN or huge padding must not reach an integer conversion.
    const double wanted = m_options.weekdayVerticalPadding;
    const int padding =
        std::isfinite(wanted) ? static_cast<int>(std::clamp(wanted, 0.0, 1000.0)) : 0;
    weekdays->setContentsMargins(0, padding, 0, padding);
    weekdays->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    column->addWidget(weekdays);

    m_gridHost = new QWidget(this);
    m_grid = new QGridLayout(m_gridHost);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setSpacing(1);
    column->addWidget(m_gridHost);

    connect(m_previous, &QAbstractButton::clicked, this, [this] { shiftMonth(-1); });
    connect(m_next, &QAbstractButton::clicked, this, [this] { shiftMonth(1); });
    connect(m_title, &QPushButton::clicked, this, [this] {
        if (m_options.enabled) {
            openYearPicker();
        }
    });

    m_subscription = m_model->month.publisher().sink(
        [this](const Month& shown) { display(shown, std::exchange(m_animateNext, false)); });
}

VtCalendarView::~VtCalendarView() {
    m_subscription.cancel();
    if (m_popover) {
        m_popover->close();
    }
}

void VtCalendarView::navigate(core::Date date, bool animated) {
    m_animateNext = animated;
    m_model->month.set(Month::containing(date));
}

void VtCalendarView::shiftMonth(int by) {
    m_animateNext = true;
    m_model->month.set(m_model->month.get().adding(by));
}

uikit::Binding<int> VtCalendarView::yearBinding() const {
    const std::weak_ptr<VtCalendarViewModel> weak = m_model;
    return uikit::Binding<int>(
        [weak] {
            if (const auto model = weak.lock()) {
                return model->month.get().year;
            }
            return Month::containing(core::Date::now()).year;
        },
        [weak](const int& year) {
            const auto model = weak.lock();
            if (!model || year < kFirstWritableYear || year > kLastWritableYear) {
                return;
            }
            model->month.set(model->month.get().withYear(year));
        });
}

void VtCalendarView::display(const Month& shown, bool animated) {
    // The title names the month, so an unchanged title means the same month is shown again:
    // its title and its days keep their places and nothing fades.
    const QString title = QString::fromStdString(shown.title()).toUpper();
    const bool changed = title != m_title->text();
    m_title->setText(title);
    for (QWidget* day : m_days) {
        m_grid->removeWidget(day);
        delete day;
    }
    m_days.clear();
    for (const Month::VisualDay& cell : shown.visualDays()) {
        QWidget* view = m_options.dayView(cell.date, cell.inCurrentMonth);
        if (view == nullptr) {
            view = new QWidget;
        }
        // A builder may hide its widget to mark a day of another month; it stays hidden.
        const bool hiddenByBuilder = view->testAttribute(Qt::WA_WState_ExplicitShowHide) &&
                                     view->testAttribute(Qt::WA_WState_Hidden);
        view->setParent(m_gridHost);
        m_grid->addWidget(view, cell.visualIndex / 7, cell.visualIndex % 7);
        view->setVisible(!hiddenByBuilder);
        m_days.push_back(view);
    }
    if (animated && changed) {
        fadeIn(m_title);
        fadeIn(m_gridHost);
    }
}

void VtCalendarView::fadeIn(QWidget* widget) {
    auto* effect = new QGraphicsOpacityEffect(widget);
    widget->setGraphicsEffect(effect);
    auto* animation = new QPropertyAnimation(effect, "opacity", effect);
    animation->setDuration(250);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QPropertyAnimation::finished, widget,
            [widget] { widget->setGraphicsEffect(nullptr); });
    animation->start();
}

void VtCalendarView::openYearPicker() {
    if (m_popover) {
        return;
    }
    m_yearSelecting = true;
    auto* popover = new detail::YearPopover(this, [this] { m_yearSelecting = false; });
    auto year = std::make_shared<YearPicker::Year>(yearBinding());
    auto* picker = new YearPicker(std::move(year), m_options.countOfQuickAccessOptions, popover,
                                  kPopoverWidth - 2 * detail::kPopoverEdge);
    picker->setDismissAction([popover] { popover->close(); });
    popover->setContent(picker);
    popover->setFixedWidth(kPopoverWidth);
    const QRect bar(m_navigator->mapToGlobal(QPoint(0, 0)), m_navigator->size());
    const int titleX = m_title->mapToGlobal(m_title->rect().center()).x();
    const QScreen* screen = QGuiApplication::screenAt(bar.center());
    if (screen == nullptr) {
        screen = m_navigator->screen();
    }
    popover->placeBeside(bar, titleX, screen->availableGeometry());
    m_popover = popover;
    m_picker = picker;
    popover->show();
}

} // namespace components
