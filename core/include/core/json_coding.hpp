#pragma once

#include "core/date.hpp"
#include "core/date_formatter.hpp"
#include "core/error.hpp"
#include "core/string_utils.hpp"
#include "core/uuid.hpp"

#include <nlohmann/json.hpp>

#include <any>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace core {

/// A JSON value; objects keep their keys in insertion order.
using Json = nlohmann::ordered_json;
/// Values a caller hands to the types being decoded, by key.
using JsonUserInfo = std::map<std::string, std::any, std::less<>>;

/// The one error of the JSON helpers of their own: JSON bytes that cannot be read as text in the
/// requested encoding. All values are equal.
class SwJsonError : public Error {
public:
    enum class Code { invalidJsonData = 0 };
    /// The error `code` (there is only one), with the generic description.
    explicit SwJsonError(Code code = Code::invalidJsonData);
    /// The error's case.
    Code code() const noexcept { return Code::invalidJsonData; }
    friend bool operator==(const SwJsonError&, const SwJsonError&) noexcept { return true; }
};

/// A value that could not be decoded: its case, where it sits (the keys and indices from the
/// root) and what was wrong.
class DecodingError : public Error {
public:
    enum class Code { typeMismatch = 0, valueNotFound, keyNotFound, dataCorrupted };
    /// An error of case `code` at `codingPath`, explained by `debugDescription`.
    DecodingError(Code code, std::vector<std::string> codingPath, std::string debugDescription);
    /// The error's case.
    Code code() const noexcept { return m_code; }
    /// The keys and array indices from the root to the failing value.
    const std::vector<std::string>& codingPath() const noexcept { return m_codingPath; }
    /// What was wrong, for developers.
    const std::string& debugDescription() const noexcept { return m_debugDescription; }

private:
    Code m_code;
    std::vector<std::string> m_codingPath;
    std::string m_debugDescription;
};

/// A value that cannot be written as JSON (a non-finite number, text that is not UTF-8).
class EncodingError : public Error {
public:
    enum class Code { invalidValue = 0 };
    /// An invalid value at `codingPath`, explained by `debugDescription`.
    EncodingError(std::vector<std::string> codingPath, std::string debugDescription);
    /// The error's case.
    Code code() const noexcept { return Code::invalidValue; }
    /// The keys and array indices from the root to the failing value.
    const std::vector<std::string>& codingPath() const noexcept { return m_codingPath; }
    /// What was wrong, for developers.
    const std::string& debugDescription() const noexcept { return m_debugDescription; }

private:
    std::vector<std::string> m_codingPath;
    std::string m_debugDescription;
};

class JsonDecoder;
class JsonEncoder;

/// How dates are read from JSON.
class DateDecodingStrategy {
public:
    /// A number of seconds since 2001-01-01 00:00:00 UTC (the default).
    static DateDecodingStrategy deferredToDate();
    /// A number of seconds since 1970-01-01 00:00:00 UTC.
    static DateDecodingStrategy secondsSince1970();
    /// A number of milliseconds since 1970-01-01 00:00:00 UTC.
    static DateDecodingStrategy millisecondsSince1970();
    /// An ISO 8601 internet date-time text, e.g. "2024-03-04T17:00:00Z" or with "+01:00".
    static DateDecodingStrategy iso8601();
    /// A text that `formatter` parses; the formatter is shared, never changed.
    static DateDecodingStrategy formatted(std::shared_ptr<const DateFormatter> formatter);
    /// A function of the value and the decoder (whose coding path points at the value).
    static DateDecodingStrategy custom(std::function<Date(const Json&, JsonDecoder&)> decode);

    /// The date `value` holds; throws DecodingError.
    Date decode(const Json& value, JsonDecoder& decoder) const;

private:
    enum class Kind {
        deferredToDate,
        secondsSince1970,
        millisecondsSince1970,
        iso8601,
        formatted,
        custom
    };
    Kind m_kind = Kind::deferredToDate;
    std::shared_ptr<const DateFormatter> m_formatter;
    std::function<Date(const Json&, JsonDecoder&)> m_custom;
};

/// How dates are written to JSON.
class DateEncodingStrategy {
public:
    /// A number of seconds since 2001-01-01 00:00:00 UTC (the default).
    static DateEncodingStrategy deferredToDate();
    /// A number of seconds since 1970-01-01 00:00:00 UTC.
    static DateEncodingStrategy secondsSince1970();
    /// A number of milliseconds since 1970-01-01 00:00:00 UTC.
    static DateEncodingStrategy millisecondsSince1970();
    /// An ISO 8601 internet date-time text in UTC, e.g. "2024-03-04T17:00:00Z".
    static DateEncodingStrategy iso8601();
    /// The text of `formatter`; the formatter is shared, never changed.
    static DateEncodingStrategy formatted(std::shared_ptr<const DateFormatter> formatter);
    /// A function of the date and the encoder giving the JSON value.
    static DateEncodingStrategy custom(std::function<Json(Date, JsonEncoder&)> encode);

    /// The JSON value of `date`; throws EncodingError for a date that cannot be written.
    Json encode(Date date, JsonEncoder& encoder) const;

private:
    enum class Kind {
        deferredToDate,
        secondsSince1970,
        millisecondsSince1970,
        iso8601,
        formatted,
        custom
    };
    Kind m_kind = Kind::deferredToDate;
    std::shared_ptr<const DateFormatter> m_formatter;
    std::function<Json(Date, JsonEncoder&)> m_custom;
};

/// The decoding context of one call: date strategy, user info and the coding path. Reading is
/// strict: every value must have the JSON kind its type asks for (1.5 or true is no integer).
class JsonDecoder {
public:
    /// A decoder with the given date strategy and user info.
    explicit JsonDecoder(DateDecodingStrategy strategy = DateDecodingStrategy::deferredToDate(),
                         JsonUserInfo userInfo = {});

    /// The date strategy.
    const DateDecodingStrategy& dateDecodingStrategy() const noexcept { return m_strategy; }
    /// The user info; empty unless the caller gave entries.
    const JsonUserInfo& userInfo() const noexcept { return m_userInfo; }
    /// The keys and indices from the root to the value being decoded.
    const std::vector<std::string>& codingPath() const noexcept { return m_path; }

    /// `value` as a T; throws DecodingError (valueNotFound for null unless T is optional).
    template <class T>
    T decode(const Json& value);
    /// The value under `key` of `object` as a T; throws DecodingError (typeMismatch when
    /// `object` is no object, keyNotFound when the key is missing).
    template <class T>
    T decode(const Json& object, std::string_view key);
    /// The value under `key` as a T, absent when the key is missing or its value is null.
    template <class T>
    std::optional<T> decodeIfPresent(const Json& object, std::string_view key);

    /// Throws typeMismatch at the current path: `expected` was asked for, `found` stands there.
    [[noreturn]] void throwTypeMismatch(std::string_view expected, const Json& found) const;
    /// Throws valueNotFound at the current path: `expected` was asked for, null stands there.
    [[noreturn]] void throwValueNotFound(std::string_view expected) const;
    /// Throws dataCorrupted at the current path with `description`.
    [[noreturn]] void throwDataCorrupted(std::string description) const;

    /// Enters `key` (or an index as text) on the coding path until destroyed.
    class PathScope {
    public:
        PathScope(JsonDecoder& decoder, std::string key) : m_decoder(decoder) {
            m_decoder.m_path.push_back(std::move(key));
        }
        ~PathScope() { m_decoder.m_path.pop_back(); }
        PathScope(const PathScope&) = delete;
        PathScope& operator=(const PathScope&) = delete;

    private:
        JsonDecoder& m_decoder;
    };

private:
    DateDecodingStrategy m_strategy;
    JsonUserInfo m_userInfo;
    std::vector<std::string> m_path;
};

/// The encoding context of one call: date strategy and the coding path.
class JsonEncoder {
public:
    /// An encoder with the given date strategy.
    explicit JsonEncoder(DateEncodingStrategy strategy = DateEncodingStrategy::deferredToDate());

    /// The date strategy.
    const DateEncodingStrategy& dateEncodingStrategy() const noexcept { return m_strategy; }
    /// The keys and indices from the root to the value being encoded.
    const std::vector<std::string>& codingPath() const noexcept { return m_path; }

    /// The JSON value of `value`; throws EncodingError.
    template <class T>
    Json encode(const T& value);
    /// Stores `value` under `key` of `object` (made an object if null).
    template <class T>
    void encode(Json& object, std::string_view key, const T& value);
    /// Stores `value` under `key` when present; an absent value writes no key.
    template <class T>
    void encodeIfPresent(Json& object, std::string_view key, const std::optional<T>& value);

    /// Throws invalidValue at the current path with `description`.
    [[noreturn]] void throwInvalidValue(std::string description) const;

    /// Enters `key` (or an index as text) on the coding path until destroyed.
    class PathScope {
    public:
        PathScope(JsonEncoder& encoder, std::string key) : m_encoder(encoder) {
            m_encoder.m_path.push_back(std::move(key));
        }
        ~PathScope() { m_encoder.m_path.pop_back(); }
        PathScope(const PathScope&) = delete;
        PathScope& operator=(const PathScope&) = delete;

    private:
        JsonEncoder& m_encoder;
    };

private:
    DateEncodingStrategy m_strategy;
    std::vector<std::string> m_path;
};

namespace detail {

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};
template <class T>
struct IsVector : std::false_type {};
template <class T, class A>
struct IsVector<std::vector<T, A>> : std::true_type {};
template <class T>
struct IsStringMap : std::false_type {};
template <class T, class C, class A>
struct IsStringMap<std::map<std::string, T, C, A>> : std::true_type {};

template <class T>
concept JsonInteger = std::integral<T> && !std::same_as<T, bool>;

/// The exact integer `value` holds (an integral float counts), or absent.
std::optional<std::int64_t> exactSigned(const Json& value);
/// The exact non-negative integer `value` holds (an integral float counts), or absent.
std::optional<std::uint64_t> exactUnsigned(const Json& value);
/// The JSON kind of `value` in words ("a string", "null"...).
std::string kindName(const Json& value);
std::string integerTypeName(bool isSigned, std::size_t size);
std::optional<Uuid> parseUuid(const std::string& text);
void checkEncodable(const std::string& text, JsonEncoder& encoder);
Json encodeDouble(double value, JsonEncoder& encoder);

template <class T>
std::string typeName() {
    if constexpr (std::same_as<T, bool>) {
        return "Bool";
    } else if constexpr (JsonInteger<T>) {
        return integerTypeName(std::is_signed_v<T>, sizeof(T));
    } else if constexpr (std::floating_point<T>) {
        return sizeof(T) == sizeof(float) ? "Float" : "Double";
    } else if constexpr (std::same_as<T, std::string>) {
        return "String";
    } else if constexpr (std::same_as<T, Date>) {
        return "Date";
    } else if constexpr (std::same_as<T, Uuid>) {
        return "UUID";
    } else if constexpr (IsVector<T>::value) {
        return "Array";
    } else if constexpr (IsStringMap<T>::value) {
        return "Dictionary";
    } else {
        return "Value";
    }
}

} // namespace detail

/// A type the decoder reads: JSON itself, bool, integers, floating point, std::string, Date,
/// Uuid, optionals, vectors and string-keyed maps of such types, or a type with
/// `static T decode(const Json&, JsonDecoder&)` or a free `decodeJson(std::type_identity<T>,
/// const Json&, JsonDecoder&)` found by argument-dependent lookup.
template <class T>
concept JsonDecodable =
    std::same_as<T, Json> || std::same_as<T, bool> || detail::JsonInteger<T> ||
    std::floating_point<T> || std::same_as<T, std::string> || std::same_as<T, Date> ||
    std::same_as<T, Uuid> || detail::IsOptional<T>::value || detail::IsVector<T>::value ||
    detail::IsStringMap<T>::value || requires(const Json& json, JsonDecoder& decoder) {
        { T::decode(json, decoder) } -> std::convertible_to<T>;
    } || requires(const Json& json, JsonDecoder& decoder) {
        { decodeJson(std::type_identity<T>{}, json, decoder) } -> std::convertible_to<T>;
    };

/// A type the encoder writes: the types JsonDecodable lists, or a type with
/// `Json encode(JsonEncoder&) const` or a free `encodeJson(const T&, JsonEncoder&)` found by
/// argument-dependent lookup.
template <class T>
concept JsonEncodable =
    std::same_as<T, Json> || std::same_as<T, bool> || detail::JsonInteger<T> ||
    std::floating_point<T> || std::same_as<T, std::string> || std::same_as<T, Date> ||
    std::same_as<T, Uuid> || detail::IsOptional<T>::value || detail::IsVector<T>::value ||
    detail::IsStringMap<T>::value || requires(const T& value, JsonEncoder& encoder) {
        { value.encode(encoder) } -> std::convertible_to<Json>;
    } || requires(const T& value, JsonEncoder& encoder) {
        { encodeJson(value, encoder) } -> std::convertible_to<Json>;
    };

template <class T>
T JsonDecoder::decode(const Json& value) {
    if constexpr (std::same_as<T, Json>) {
        return value;
    } else if constexpr (detail::IsOptional<T>::value) {
        if (value.is_null()) {
            return std::nullopt;
        }
        return decode<typename T::value_type>(value);
    } else {
        if (value.is_null()) {
            throwValueNotFound(detail::typeName<T>());
        }
        if constexpr (std::same_as<T, bool>) {
            if (!value.is_boolean()) {
                throwTypeMismatch("Bool", value);
            }
            return value.get<bool>();
        } else if constexpr (detail::JsonInteger<T>) {
            const std::string name = detail::integerTypeName(std::is_signed_v<T>, sizeof(T));
            if (!value.is_number()) {
                throwTypeMismatch(name, value);
            }
            if constexpr (std::is_signed_v<T>) {
                const auto exact = detail::exactSigned(value);
                if (!exact || *exact < std::numeric_limits<T>::min() ||
                    *exact > std::numeric_limits<T>::max()) {
                    throwDataCorrupted("Parsed JSON number <" + value.dump() +
                                       "> does not fit in " + name + ".");
                }
                return static_cast<T>(*exact);
            } else {
                const auto exact = detail::exactUnsigned(value);
                if (!exact || *exact > std::numeric_limits<T>::max()) {
                    throwDataCorrupted("Parsed JSON number <" + value.dump() +
                                       "> does not fit in " + name + ".");
                }
                return static_cast<T>(*exact);
            }
        } else if constexpr (std::floating_point<T>) {
            if (!value.is_number()) {
                throwTypeMismatch(sizeof(T) == sizeof(float) ? "Float" : "Double", value);
            }
            const double number = value.get<double>();
            if constexpr (sizeof(T) < sizeof(double)) {
                if (std::abs(number) > static_cast<double>(std::numeric_limits<T>::max())) {
                    throwDataCorrupted("Parsed JSON number <" + value.dump() +
                                       "> does not fit in Float.");
                }
            }
            return static_cast<T>(number);
        } else if constexpr (std::same_as<T, std::string>) {
            if (!value.is_string()) {
                throwTypeMismatch("String", value);
            }
            return value.get<std::string>();
        } else if constexpr (std::same_as<T, Date>) {
            return m_strategy.decode(value, *this);
        } else if constexpr (std::same_as<T, Uuid>) {
            if (!value.is_string()) {
                throwTypeMismatch("String", value);
            }
            const auto uuid = detail::parseUuid(value.get<std::string>());
            if (!uuid) {
                throwDataCorrupted("Attempted to decode UUID from invalid UUID string.");
            }
            return *uuid;
        } else if constexpr (detail::IsVector<T>::value) {
            if (!value.is_array()) {
                throwTypeMismatch("Array", value);
            }
            T result;
            result.reserve(value.size());
            std::size_t index = 0;
            for (const Json& element : value) {
                const PathScope scope(*this, "Index " + std::to_string(index++));
                result.push_back(decode<typename T::value_type>(element));
            }
            return result;
        } else if constexpr (detail::IsStringMap<T>::value) {
            if (!value.is_object()) {
                throwTypeMismatch("Dictionary", value);
            }
            T result;
            for (const auto& [key, element] : value.items()) {
                const PathScope scope(*this, key);
                result.emplace(key, decode<typename T::mapped_type>(element));
            }
            return result;
        } else if constexpr (requires(JsonDecoder& decoder) { T::decode(value, decoder); }) {
            return T::decode(value, *this);
        } else {
            return decodeJson(std::type_identity<T>{}, value, *this);
        }
    }
}

template <class T>
T JsonDecoder::decode(const Json& object, std::string_view key) {
    if (!object.is_object()) {
        throwTypeMismatch("Dictionary", object);
    }
    const auto found = object.find(key);
    if (found == object.end()) {
        throw DecodingError(DecodingError::Code::keyNotFound, m_path,
                            "No value associated with key \"" + std::string(key) + "\".");
    }
    const PathScope scope(*this, std::string(key));
    return decode<T>(*found);
}

template <class T>
std::optional<T> JsonDecoder::decodeIfPresent(const Json& object, std::string_view key) {
    if (!object.is_object()) {
        throwTypeMismatch("Dictionary", object);
    }
    const auto found = object.find(key);
    if (found == object.end()) {
        return std::nullopt;
    }
    const Json& entry = *found;
    if (entry.type() == Json::value_t::null) {
        return std::nullopt;
    }
    const PathScope scope(*this, std::string(key));
    return decode<T>(entry);
}

template <class T>
Json JsonEncoder::encode(const T& value) {
    if constexpr (std::same_as<T, Json>) {
        return value;
    } else if constexpr (detail::IsOptional<T>::value) {
        return value ? encode(*value) : Json(nullptr);
    } else if constexpr (std::same_as<T, bool>) {
        return Json(value);
    } else if constexpr (detail::JsonInteger<T>) {
        if constexpr (std::is_signed_v<T>) {
            return Json(static_cast<std::int64_t>(value));
        } else {
            return Json(static_cast<std::uint64_t>(value));
        }
    } else if constexpr (std::floating_point<T>) {
        return detail::encodeDouble(static_cast<double>(value), *this);
    } else if constexpr (std::same_as<T, std::string>) {
        detail::checkEncodable(value, *this);
        return Json(value);
    } else if constexpr (std::same_as<T, Date>) {
        return m_strategy.encode(value, *this);
    } else if constexpr (std::same_as<T, Uuid>) {
        return Json(value.uuidString());
    } else if constexpr (detail::IsVector<T>::value) {
        Json array = Json::array();
        std::size_t index = 0;
        for (const auto& element : value) {
            const PathScope scope(*this, "Index " + std::to_string(index++));
            array.push_back(encode(element));
        }
        return array;
    } else if constexpr (detail::IsStringMap<T>::value) {
        Json object = Json::object();
        for (const auto& [key, element] : value) {
            detail::checkEncodable(key, *this);
            const PathScope scope(*this, key);
            object[key] = encode(element);
        }
        return object;
    } else if constexpr (requires(JsonEncoder& encoder) { value.encode(encoder); }) {
        return value.encode(*this);
    } else {
        return encodeJson(value, *this);
    }
}

template <class T>
void JsonEncoder::encode(Json& object, std::string_view key, const T& value) {
    if (object.is_null()) {
        object = Json::object();
    }
    const std::string name(key);
    detail::checkEncodable(name, *this);
    const PathScope scope(*this, name);
    object[name] = encode(value);
}

template <class T>
void JsonEncoder::encodeIfPresent(Json& object, std::string_view key,
                                  const std::optional<T>& value) {
    if (value) {
        encode(object, key, *value);
    }
}

/// Parses the whole of `bytes` as one JSON value (fragments and null included); throws
/// DecodingError dataCorrupted for text that is not JSON or nests deeper than 512 levels.
Json parseJson(std::string_view bytes);

/// Writes `root` compactly, or pretty-printed (two-space indent, "key" : value, keys in their
/// stored order); "/" is written as "\/". Throws EncodingError for a non-finite number or text
/// that is not UTF-8.
std::string writeJson(const Json& root, bool prettyPrinted);

/// Writing options of `save`.
struct DataWritingOptions {
    /// Write to a temporary sibling and rename it into place.
    bool atomic = false;
    /// Fail when the file exists.
    bool withoutOverwriting = false;
};

/// Reads a whole file; throws std::filesystem::filesystem_error when it cannot be read.
Data readFileData(const std::filesystem::path& file);
/// Writes `bytes` to `file` with `options`; throws std::filesystem::filesystem_error.
void writeFileData(const std::filesystem::path& file, std::string_view bytes,
                   DataWritingOptions options);

/// A T decoded from the JSON `bytes` with a fresh decoder; empty user info counts as none.
/// Throws DecodingError.
template <JsonDecodable T>
T load(const Data& bytes, DateDecodingStrategy dateDecodingStrategy,
       std::optional<JsonUserInfo> userInfo = std::nullopt) {
    JsonDecoder decoder(std::move(dateDecodingStrategy),
                        userInfo && !userInfo->empty() ? std::move(*userInfo) : JsonUserInfo{});
    const Json json =
        parseJson(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return decoder.decode<T>(json);
}

/// A T decoded from the JSON file at `file`; throws std::filesystem::filesystem_error when the
/// file cannot be read (nothing is decoded), then DecodingError.
template <JsonDecodable T>
T load(const std::filesystem::path& file, DateDecodingStrategy dateDecodingStrategy,
       std::optional<JsonUserInfo> userInfo = std::nullopt) {
    return load<T>(readFileData(file), std::move(dateDecodingStrategy), std::move(userInfo));
}

/// The JSON bytes of `value` (UTF-8), compact or pretty-printed; throws EncodingError.
template <JsonEncodable T>
Data jsonData(const T& value, DateEncodingStrategy dateEncodingStrategy, bool prettyPrinted) {
    JsonEncoder encoder(std::move(dateEncodingStrategy));
    const std::string text = writeJson(encoder.encode(value), prettyPrinted);
    return Data(text.begin(), text.end());
}

/// The JSON bytes of `value` read as text in `encoding`; throws EncodingError, or SwJsonError
/// when the bytes are not valid in that encoding.
template <JsonEncodable T>
std::string jsonString(const T& value, DateEncodingStrategy dateEncodingStrategy,
                       TextEncoding encoding, bool prettyPrinted) {
    auto text = toString(jsonData(value, std::move(dateEncodingStrategy), prettyPrinted), encoding);
    if (!text) {
        throw SwJsonError(SwJsonError::Code::invalidJsonData);
    }
    return std::move(*text);
}

/// Writes the JSON bytes of `value` to `file`; an encoding failure writes nothing. Throws
/// EncodingError or std::filesystem::filesystem_error.
template <JsonEncodable T>
void save(const T& value, const std::filesystem::path& file,
          DateEncodingStrategy dateEncodingStrategy, bool prettyPrinted,
          DataWritingOptions options = {}) {
    const Data bytes = jsonData(value, std::move(dateEncodingStrategy), prettyPrinted);
    writeFileData(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                  options);
}

} // namespace core

/// All SwJsonError values hash alike: the hash of the case index 0.
template <>
struct std::hash<core::SwJsonError> {
    std::size_t operator()(const core::SwJsonError&) const noexcept { return std::hash<int>{}(0); }
};
