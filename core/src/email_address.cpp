#include "core/email_address.hpp"

#include "core/json_coding.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace core {

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isAtomCharacter(char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) ||
           std::string_view("!#$%&'*+/=?^_`{|}~-").find(c) != std::string_view::npos;
}

// A non-empty run of `isPart` characters separated by single dots.
template <class Pred>
bool isDottedRun(std::string_view text, Pred isPart) {
    if (text.empty() || text.front() == '.' || text.back() == '.' ||
        text.find("..") != std::string_view::npos) {
        return false;
    }
    return std::all_of(text.begin(), text.end(), [&](char c) { return c == '.' || isPart(c); });
}

bool isDomainLabel(std::string_view label) {
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
        return false;
    }
    return std::all_of(label.begin(), label.end(),
                       [](char c) { return isAsciiLetter(c) || isAsciiDigit(c) || c == '-'; });
}

bool isDomain(std::string_view domain) {
    if (domain.size() > 253 || domain.find('.') == std::string_view::npos) {
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = domain.find('.', start);
        const std::string_view label =
            domain.substr(start, dot == std::string_view::npos ? domain.npos : dot - start);
        if (!isDomainLabel(label)) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return label.size() >= 2 && std::all_of(label.begin(), label.end(), isAsciiLetter);
        }
        start = dot + 1;
    }
}

} // namespace

std::optional<EmailAddress> EmailAddress::fromRawValue(std::string_view rawValue) {
    std::string_view address = rawValue;
    constexpr std::string_view kScheme = "mailto:";
    if (address.substr(0, kScheme.size()) == kScheme) {
        address.remove_prefix(kScheme.size());
    }
    const std::size_t at = address.find('@');
    if (at == std::string_view::npos || address.find('@', at + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view local = address.substr(0, at);
    if (local.size() > 64 || !isDottedRun(local, isAtomCharacter) ||
        !isDomain(address.substr(at + 1))) {
        return std::nullopt;
    }
    return EmailAddress(std::string(rawValue));
}

EmailAddress decodeJson(std::type_identity<EmailAddress>, const Json& json, JsonDecoder& decoder) {
    auto address = EmailAddress::fromRawValue(decoder.decode<std::string>(json));
    if (!address) {
        decoder.throwDataCorrupted("The data is not a valid e-mail address.");
    }
    return std::move(*address);
}

Json encodeJson(const EmailAddress& address, JsonEncoder& encoder) {
    return encoder.encode(address.rawValue());
}

} // namespace core

core::EmailAddress
nlohmann::adl_serializer<core::EmailAddress>::from_json(const nlohmann::json& json) {
    const auto& text = json.get_ref<const nlohmann::json::string_t&>();
    auto address = core::EmailAddress::fromRawValue(text);
    if (!address) {
        throw nlohmann::json::other_error::create(501, "The data is not a valid e-mail address.",
                                                  &json);
    }
    return *address;
}

void nlohmann::adl_serializer<core::EmailAddress>::to_json(nlohmann::json& json,
                                                           const core::EmailAddress& address) {
    json = address.rawValue();
}
