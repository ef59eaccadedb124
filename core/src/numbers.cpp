#include "core/numbers.hpp"

#include "core/calendar.hpp"

#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>

#include <array>
#include <charconv>
#include <cmath>
#include <memory>

namespace core {

namespace {

// ICU refuses more fraction digits than this.
constexpr std::int64_t kMaxFractionDigits = 999;

// The same locale the calendar service uses, so tests pin both with one override.
icu::Locale currentLocale() {
    const std::string id = CalendarSettings::current().localeId;
    return id.empty() ? icu::Locale::getDefault() : icu::Locale(id.c_str());
}

std::string utf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

} // namespace

std::int64_t toFloorInt(double value) noexcept {
    return saturatingCast<std::int64_t>(std::floor(value));
}

std::int64_t toCeilInt(double value) noexcept {
    return saturatingCast<std::int64_t>(std::ceil(value));
}

double ceiled(double value) noexcept {
    return std::ceil(value);
}

std::string toString(std::int64_t value) {
    return std::to_string(value);
}

std::string toString(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    const double magnitude = std::fabs(value);
    const bool fixed = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 0x1p53);
    std::array<char, 64> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                      fixed ? std::chars_format::fixed : std::chars_format::scientific);
    std::string text(buffer.data(), ec == std::errc() ? end : buffer.data());
    if (fixed && text.find('.') == std::string::npos) {
        text.append(".0");
    }
    return text;
}

std::optional<std::string> spellout(std::int64_t value) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::RuleBasedNumberFormat format(icu::URBNF_SPELLOUT, currentLocale(), status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    icu::UnicodeString text;
    format.format(static_cast<int64_t>(value), text);
    if (text.isBogus() || text.isEmpty()) {
        return std::nullopt;
    }
    return utf8(text);
}

std::string toDecimalString(double value, std::optional<std::int64_t> minimumFractionDigits,
                            std::optional<std::int64_t> maximumFractionDigits) {
    if (!minimumFractionDigits && !maximumFractionDigits) {
        return toString(value);
    }
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::NumberFormat> format(
        icu::NumberFormat::createInstance(currentLocale(), UNUM_DECIMAL, status));
    if (U_FAILURE(status) || !format) {
        return "";
    }
    if (minimumFractionDigits && *minimumFractionDigits >= 0) {
        format->setMinimumFractionDigits(
            static_cast<std::int32_t>(std::min(*minimumFractionDigits, kMaxFractionDigits)));
    }
    if (maximumFractionDigits && *maximumFractionDigits > 0) {
        format->setMaximumFractionDigits(
            static_cast<std::int32_t>(std::min(*maximumFractionDigits, kMaxFractionDigits)));
    }
    icu::UnicodeString text;
    format->format(value, text);
    return text.isBogus() ? std::string() : utf8(text);
}

namespace {
std::string describedBy(const std::map<std::string, std::any>& userInfo) {
    const auto found = userInfo.find(std::string(DomainError::kLocalizedDescriptionKey));
    if (found == userInfo.end()) {
        return {};
    }
    if (const auto* text = std::any_cast<std::string>(&found->second)) {
        return *text;
    }
    if (const auto* literal = std::any_cast<const char*>(&found->second)) {
        return *literal ? *literal : "";
    }
    return {};
}
} // namespace

DomainError::DomainError(std::string domain, int code, std::string message,
                         std::map<std::string, std::any> userInfo)
    : Error(std::move(domain), code, std::move(message)), m_userInfo(std::move(userInfo)) {}

DomainError DomainError::create(std::string domain, int code,
                                std::map<std::string, std::any> userInfo) {
    std::string message = describedBy(userInfo);
    return DomainError(std::move(domain), code, std::move(message), std::move(userInfo));
}

DomainError DomainError::coded(int code) {
    return DomainError("", code, "", {});
}

VtError::VtError(std::string message) : Error("VtError", 0, std::move(message)) {}

VtError VtError::failure(std::string message) {
    return VtError(std::move(message));
}

std::string VtError::localizedDescription() const {
    return message();
}

} // namespace core
