#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace core {

/// Formats numbers as a locale writes them, through ICU: plain decimal digits with the locale's
/// decimal separator, no grouping unless asked, rounding half to even. Every operation takes an
/// internal lock, so one formatter may be shared by several threads.
class NumberFormatter {
public:
    /// A formatter in the current locale with no fraction digits and no grouping.
    NumberFormatter();
    ~NumberFormatter();
    NumberFormatter(const NumberFormatter&) = delete;
    NumberFormatter& operator=(const NumberFormatter&) = delete;

    /// The locale (an ICU or POSIX locale id such as "de_DE" or "en_US.UTF-8").
    void setLocale(const std::string& localeId);
    /// The fewest fraction digits written (trailing zeros pad up to it); clamped to 0...20.
    void setMinimumFractionDigits(int digits);
    /// The most fraction digits written (the rest rounded half to even); clamped to 0...20.
    void setMaximumFractionDigits(int digits);
    /// Whether the locale's grouping separator is written.
    void setUsesGroupingSeparator(bool grouping);

    /// The locale id in use.
    std::string localeId() const;
    /// The fewest fraction digits written.
    int minimumFractionDigits() const;
    /// The most fraction digits written.
    int maximumFractionDigits() const;

    /// The text of `value`; absent when ICU cannot format it. NaN and infinities give the
    /// locale's symbols.
    std::optional<std::string> string(double value) const;

private:
    struct State;
    mutable std::mutex m_mutex;
    std::unique_ptr<State> m_state;
};

} // namespace core
