#include "core/number_formatter.hpp"

#include "calendar_impl.hpp"

#include <unicode/numberformatter.h>

#include <algorithm>

namespace core {

namespace {
constexpr int kMaxFractionDigits = 20;
}

struct NumberFormatter::State {
    std::string localeId = CalendarSettings::current().localeId;
    int minimumFractionDigits = 0;
    int maximumFractionDigits = 0;
    bool grouping = false;
    std::optional<icu::number::LocalizedNumberFormatter> format;
};

NumberFormatter::NumberFormatter() : m_state(std::make_unique<State>()) {}

NumberFormatter::~NumberFormatter() = default;

void NumberFormatter::setLocale(const std::string& localeId) {
    const std::lock_guard lock(m_mutex);
    m_state->localeId = detail::icuLocaleId(localeId);
    m_state->format.reset();
}

void NumberFormatter::setMinimumFractionDigits(int digits) {
    const std::lock_guard lock(m_mutex);
    m_state->minimumFractionDigits = std::clamp(digits, 0, kMaxFractionDigits);
    m_state->maximumFractionDigits =
        std::max(m_state->maximumFractionDigits, m_state->minimumFractionDigits);
    m_state->format.reset();
}

void NumberFormatter::setMaximumFractionDigits(int digits) {
    const std::lock_guard lock(m_mutex);
    m_state->maximumFractionDigits = std::clamp(digits, 0, kMaxFractionDigits);
    m_state->minimumFractionDigits =
        std::min(m_state->maximumFractionDigits, m_state->minimumFractionDigits);
    m_state->format.reset();
}

void NumberFormatter::setUsesGroupingSeparator(bool grouping) {
    const std::lock_guard lock(m_mutex);
    m_state->grouping = grouping;
    m_state->format.reset();
}

std::string NumberFormatter::localeId() const {
    const std::lock_guard lock(m_mutex);
    return m_state->localeId;
}

int NumberFormatter::minimumFractionDigits() const {
    const std::lock_guard lock(m_mutex);
    return m_state->minimumFractionDigits;
}

int NumberFormatter::maximumFractionDigits() const {
    const std::lock_guard lock(m_mutex);
    return m_state->maximumFractionDigits;
}

std::optional<std::string> NumberFormatter::string(double value) const {
    const std::lock_guard lock(m_mutex);
    State& state = *m_state;
    if (!state.format) {
        state.format = icu::number::NumberFormatter::withLocale(icu::Locale(state.localeId.c_str()))
                           .precision(icu::number::Precision::minMaxFraction(
                               state.minimumFractionDigits, state.maximumFractionDigits))
                           .roundingMode(UNUM_ROUND_HALFEVEN)
                           .grouping(state.grouping ? UNUM_GROUPING_AUTO : UNUM_GROUPING_OFF);
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::number::FormattedNumber formatted = state.format->formatDouble(value, status);
    std::string text;
    formatted.toString(status).toUTF8String(text);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return text;
}

} // namespace core
