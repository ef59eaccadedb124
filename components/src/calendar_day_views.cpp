#include "components/calendar_day_views.hpp"

#include "uikit/color.hpp"
#include "uikit/symbol_icon.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include <algorithm>

namespace components {
namespace {

constexpr int kDayPadding = 5;
constexpr int kDayHeight = 60;

} // namespace

VtDefaultDayView::VtDefaultDayView(CivilDay day, bool inMonth, QWidget* parent,
                                   const CalendarLocale& locale)
    : QWidget(parent), m_day(day), m_weekend(locale.isWeekend(day)) {
    setFixedHeight(kDayHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // A day of another month keeps its cell so the grid does not shift.
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    if (!inMonth) {
        hide();
    }
}

QString VtDefaultDayView::text() const {
    const std::chrono::year_month_day ymd(m_day);
    return QString::number(static_cast<unsigned>(ymd.day()));
}

QColor VtDefaultDayView::circleColor() const {
    return m_weekend ? uikit::Color::systemFill(palette()) : QColor(0, 122, 255);
}

QSize VtDefaultDayView::sizeHint() const {
    return {kDayHeight, kDayHeight};
}

void VtDefaultDayView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF inner =
        QRectF(rect()).adjusted(kDayPadding, kDayPadding, -kDayPadding, -kDayPadding);
    const double side = std::max(0.0, std::min(inner.width(), inner.height()));
    QRectF circle(0, 0, side, side);
    circle.moveCenter(inner.center());
    painter.setPen(Qt::NoPen);
    painter.setBrush(circleColor());
    painter.drawEllipse(circle);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(inner, Qt::AlignCenter, text());
}

VtDefaultNavigatorButton::VtDefaultNavigatorButton(QString symbol, QWidget* parent)
    : QWidget(parent), m_symbol(std::move(symbol)) {
    setFixedSize(80, 40);
}

void VtDefaultNavigatorButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    constexpr int kSide = 16;
    const QRect box(QPoint((width() - kSide) / 2, (height() - kSide) / 2), QSize(kSide, kSide));
    uikit::symbolIcon(m_symbol.toStdString()).paint(&painter, box);
}

WeekdayView::WeekdayView(VtWeekdayNameDisplayStyle style, const QFont& font, QWidget* parent,
                         const CalendarWeekdayTables& tables)
    : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const auto& names = style == VtWeekdayNameDisplayStyle::veryShort
                            ? tables.veryShortWeekdaySymbols
                            : tables.shortWeekdaySymbols;
    for (std::size_t column = 0; column < names.size(); ++column) {
        auto* label = new QLabel(QString::fromStdString(names[column]), this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(font);
        label->setContentsMargins(0, 6, 0, 6);
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, colours.color(QPalette::PlaceholderText));
        label->setPalette(colours);
        row->addWidget(label, 1);
        m_labels[column] = label;
    }
}

} // namespace components
