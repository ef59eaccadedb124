#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace core {

class JsonDecoder;
class JsonEncoder;

/// A text that holds exactly one e-mail address. Validation is our own matcher: the whole text,
/// optionally prefixed by "mailto:", must be one `local@domain` where the local part is a
/// dot-separated run of letters, digits and !#$%&'*+/=?^_`{|}~- (at most 64 bytes) and the
/// domain has at least two dot-separated labels of letters, digits and inner hyphens (each at
/// most 63 bytes, 253 in all) ending in an alphabetic top-level label of two or more letters.
/// Anything else (surrounding spaces, several addresses, web addresses, non-ASCII) is refused.
class EmailAddress {
public:
    /// The address when `rawValue` is exactly one e-mail address, else absent.
    static std::optional<EmailAddress> fromRawValue(std::string_view rawValue);
    /// An address taken from source text as it is, without validation.
    static EmailAddress literal(std::string_view rawValue) {
        return EmailAddress(std::string(rawValue));
    }

    /// The stored text.
    const std::string& rawValue() const noexcept { return m_rawValue; }

    friend bool operator==(const EmailAddress&, const EmailAddress&) = default;

private:
    explicit EmailAddress(std::string rawValue) : m_rawValue(std::move(rawValue)) {}

    std::string m_rawValue;
};

/// The address a JSON string holds, for the JSON helpers' decoder; throws DecodingError
/// (typeMismatch for another JSON type, dataCorrupted for a text that is no address).
EmailAddress decodeJson(std::type_identity<EmailAddress>, const nlohmann::ordered_json& json,
                        JsonDecoder& decoder);
/// The address as a JSON string, for the JSON helpers' encoder.
nlohmann::ordered_json encodeJson(const EmailAddress& address, JsonEncoder& encoder);

} // namespace core

/// JSON form: a single string. Reading one that is not an address throws
/// `nlohmann::json::other_error`; reading another JSON type throws `nlohmann::json::type_error`.
template <>
struct nlohmann::adl_serializer<core::EmailAddress> {
    static core::EmailAddress from_json(const nlohmann::json& json);
    static void to_json(nlohmann::json& json, const core::EmailAddress& address);
};
