#include "components/year_picker.hpp"

#include "uikit/color.hpp"
#include "uikit/symbol_icon.hpp"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace components {
namespace {

constexpr int kFirstYear = 1000;
constexpr int kPastLastYear = 10000;

int saturatedInt(std::int64_t value) noexcept {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

QString backgroundStyle(const QColor& color, int radius) {
    return QStringLiteral("background-color: %1; border: none; border-radius: %2px;")
        .arg(color.name(QColor::HexArgb))
        .arg(radius);
}

} // namespace

YearPicker::Year::Year(uikit::Binding<int> value) : m_value(std::move(value)) {
    readBack();
}

void YearPicker::Year::readBack() {
    m_string = QString::number(m_value.get());
}

void YearPicker::Year::commit() {
    if (m_string.isEmpty()) {
        readBack();
        return;
    }
    // Keep the number characters of any script; only ASCII digits then parse, so "２０３１"
    // (full-width) is refused rather than misread.
    std::string digits;
    bool foreign = false;
    for (const char32_t code : m_string.toUcs4()) {
        if (!QChar::isNumber(code)) {
            continue;
        }
        if (code >= U'0' && code <= U'9') {
            digits.push_back(static_cast<char>(code));
        } else {
            foreign = true;
        }
    }
    if (!digits.empty() && !foreign) {
        int year = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), year);
        if (error == std::errc() && end == digits.data() + digits.size() && year >= kFirstYear &&
            year < kPastLastYear) {
            m_value.set(year);
        }
    }
    readBack();
}

void YearPicker::Year::select(int year) {
    if (year != m_value.get()) {
        m_value.set(year);
    }
    readBack();
}

void YearPicker::Year::step(int delta) {
    m_value.set(saturatedInt(static_cast<std::int64_t>(m_value.get()) + delta));
    readBack();
}

std::vector<int> YearPicker::quickAccessYears(int year, int count) {
    std::vector<int> years;
    if (count <= 0) {
        return years;
    }
    years.reserve(static_cast<std::size_t>(count));
    const std::int64_t first = static_cast<std::int64_t>(year) - count / 2;
    for (std::int64_t i = 0; i < count; ++i) {
        years.push_back(saturatedInt(first + i));
    }
    return years;
}

int YearPicker::quickAccessColumnCount(int width) noexcept {
    return std::max(1, (width + 1) / 41);
}

YearPicker::YearPicker(std::shared_ptr<Year> year, int countOfQuickAccessOptions, QWidget* parent,
                       int width)
    : QWidget(parent), m_year(std::move(year)), m_count(std::max(0, countOfQuickAccessOptions)),
      m_gridWidth(width - 10) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(5, 5, 5, 5);
    outer->setSpacing(5);

    auto* header = new QHBoxLayout;
    header->setSpacing(1);
    m_field = new QLineEdit(this);
    m_field->setFixedSize(46, 21);
    m_field->setFrame(false);
    m_field->setTextMargins(2, 0, 2, 0);
    m_field->setStyleSheet(backgroundStyle(uikit::Color::systemBackground(palette()), 3));
    header->addWidget(m_field);

    auto* steps = new QVBoxLayout;
    steps->setSpacing(1);
    const auto makeStep = [this](std::string_view symbol) {
        auto* button = new QPushButton(this);
        button->setIcon(uikit::symbolIcon(symbol));
        button->setIconSize(QSize(9, 9));
        button->setFixedSize(13, 10);
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setStyleSheet(backgroundStyle(uikit::Color::systemBackground(palette()), 3) +
                              QStringLiteral("padding: 0px;"));
        return button;
    };
    m_up = makeStep("chevron.up");
    m_down = makeStep("chevron.down");
    steps->addWidget(m_up);
    steps->addWidget(m_down);
    header->addLayout(steps);
    header->addStretch(1);

    m_close = new QPushButton(this);
    m_close->setIcon(uikit::symbolIcon(uikit::SFSymbol::xmark.circled().filled()));
    m_close->setFlat(true);
    m_close->setFocusPolicy(Qt::NoFocus);
    m_close->setAccessibleName(QStringLiteral("Close"));
    m_close->setContentsMargins(2, 2, 2, 2);
    header->addWidget(m_close);
    outer->addLayout(header);

    m_grid = new QGridLayout;
    m_grid->setSpacing(1);
    outer->addLayout(m_grid);
    outer->addStretch(1);

    connect(m_field, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_year->setString(text); });
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        m_year->setString(m_field->text());
        m_year->commit();
        syncField();
        m_field->clearFocus();
        // The quick-access years centre on, and highlight, the year just committed.
        rebuildGrid();
    });
    for (const int delta : {1, -1}) {
        connect(stepButton(delta), &QPushButton::clicked, this, [this, delta] {
            m_year->step(delta);
            syncField();
            m_field->clearFocus();
            rebuildGrid();
        });
    }
    connect(m_close, &QPushButton::clicked, this, [this] { dismiss(); });

    syncField();
    rebuildGrid();
}

void YearPicker::setDismissAction(std::function<void()> dismiss) {
    m_dismiss = std::move(dismiss);
}

void YearPicker::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The field never starts with the keyboard focus: the user clicks it to type.
    m_field->clearFocus();
}

void YearPicker::syncField() {
    m_field->setText(m_year->string());
}

void YearPicker::dismiss() {
    if (m_dismiss) {
        m_dismiss();
    } else {
        window()->close();
    }
}

void YearPicker::rebuildGrid() {
    for (QPushButton* button : m_yearButtons) {
        m_grid->removeWidget(button);
        button->deleteLater();
    }
    m_yearButtons.clear();
    const int current = m_year->value();
    const int columns = quickAccessColumnCount(m_gridWidth);
    const int columnWidth = std::min(80, (m_gridWidth - (columns - 1)) / columns);
    int index = 0;
    for (const int year : quickAccessYears(current, m_count)) {
        auto* button = new QPushButton(QString::number(year), this);
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedWidth(columnWidth);
        const QColor background = year == current ? palette().color(QPalette::Highlight)
                                                  : uikit::Color::tertiarySystemFill(palette());
        button->setStyleSheet(backgroundStyle(background, 2) +
                              QStringLiteral("padding-top: 3px; padding-bottom: 3px;"));
        connect(button, &QPushButton::clicked, this, [this, year] {
            m_year->select(year);
            syncField();
            dismiss();
        });
        m_grid->addWidget(button, index / columns, index % columns);
        m_yearButtons.push_back(button);
        ++index;
    }
}

} // namespace components
