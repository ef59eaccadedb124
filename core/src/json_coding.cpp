#include "core/json_coding.hpp"

#include "core/calendar.hpp"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace core {

namespace {

constexpr double kSecondsFrom1970To2001 = 978307200.0;
constexpr std::size_t kMaxDepth = 512;

std::string describeDecoding(DecodingError::Code code) {
    switch (code) {
    case DecodingError::Code::keyNotFound:
    case DecodingError::Code::valueNotFound:
        return "The data couldn\u2019t be read because it is missing.";
    case DecodingError::Code::typeMismatch:
    case DecodingError::Code::dataCorrupted:
        return "The data couldn\u2019t be read because it isn\u2019t in the correct format.";
    }
    return {};
}

[[noreturn]] void throwFileError(const std::filesystem::path& file, int error, const char* what) {
    throw std::filesystem::filesystem_error(what, file,
                                            std::error_code(error, std::generic_category()));
}

// The nesting depth of JSON text, counted outside strings; stops early once past `limit`.
std::size_t nestingDepth(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) {
                return deepest;
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

bool allNumbersFinite(const Json& root) {
    std::vector<const Json*> pending{&root};
    while (!pending.empty()) {
        const Json* node = pending.back();
        pending.pop_back();
        if (node->is_number_float() && !std::isfinite(node->get<double>())) {
            return false;
        }
        if (node->is_structured()) {
            for (const Json& child : *node) {
                pending.push_back(&child);
            }
        }
    }
    return true;
}

void appendEscaped(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '/':
            out += "\\/";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                std::array<char, 8> buffer{};
                std::snprintf(buffer.data(), buffer.size(), "\\u%04x",
                              static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += buffer.data();
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendDouble(std::string& out, double value) {
    if (!std::isfinite(value)) {
        throw EncodingError({}, "Unable to encode Double." +
                                    std::string(std::isnan(value) ? "nan" : "infinity") +
                                    " directly in JSON.");
    }
    if (value == 0.0 && std::signbit(value)) {
        out += "-0.0"; // "-0" would read back as the integer 0
        return;
    }
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

void appendScalar(std::string& out, const Json& value) {
    switch (value.type()) {
    case Json::value_t::null:
        out += "null";
        break;
    case Json::value_t::boolean:
        out += value.get<bool>() ? "true" : "false";
        break;
    case Json::value_t::number_integer:
        out += std::to_string(value.get<std::int64_t>());
        break;
    case Json::value_t::number_unsigned:
        out += std::to_string(value.get<std::uint64_t>());
        break;
    case Json::value_t::number_float:
        appendDouble(out, value.get<double>());
        break;
    case Json::value_t::string: {
        const auto& text = value.get_ref<const std::string&>();
        if (!isValidUTF8(text)) {
            throw EncodingError({}, "Unable to encode a string that is not UTF-8.");
        }
        appendEscaped(out, text);
        break;
    }
    default:
        throw EncodingError({}, "Unable to encode binary data directly in JSON.");
    }
}

void appendIndent(std::string& out, std::size_t depth) {
    out += '\n';
    out.append(depth * 2, ' ');
}

std::string twoDigits(std::int64_t value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) {
        text.insert(text.begin(), '0');
    }
    return text;
}

// "yyyy-MM-ddTHH:mm:ss" followed by "Z" or "+hh:mm" / "-hh:mm"; absent when malformed.
std::optional<Date> parseInternetDateTime(std::string_view text) {
    const auto digits = [&text](std::size_t at, std::size_t count) -> std::optional<int> {
        if (at + count > text.size()) {
            return std::nullopt;
        }
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return std::nullopt;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const auto at = [&text](std::size_t index, char c) {
        return index < text.size() && text[index] == c;
    };
    const auto year = digits(0, 4);
    const auto month = digits(5, 2);
    const auto day = digits(8, 2);
    const auto hour = digits(11, 2);
    const auto minute = digits(14, 2);
    const auto second = digits(17, 2);
    if (!year || !month || !day || !hour || !minute || !second || !at(4, '-') || !at(7, '-') ||
        !at(10, 'T') || !at(13, ':') || !at(16, ':')) {
        return std::nullopt;
    }
    int offset = 0;
    if (text.size() == 20 && at(19, 'Z')) {
        offset = 0;
    } else if (text.size() == 25 && (at(19, '+') || at(19, '-')) && at(22, ':')) {
        const auto offsetHours = digits(20, 2);
        const auto offsetMinutes = digits(23, 2);
        if (!offsetHours || !offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) {
            return std::nullopt;
        }
        offset = (*offsetHours * 3600 + *offsetMinutes * 60) * (at(19, '-') ? -1 : 1);
    } else {
        return std::nullopt;
    }
    static constexpr std::array<int, 12> kDaysInMonth{31, 29, 31, 30, 31, 30,
                                                      31, 31, 30, 31, 30, 31};
    const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
    if (*month < 1 || *month > 12 || *day < 1 ||
        *day > kDaysInMonth[static_cast<std::size_t>(*month - 1)] ||
        (*month == 2 && *day == 29 && !leap) || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    const auto days = static_cast<double>(Calendar::dayNumberFromCivil(*year, *month, *day));
    return Date(days * 86400.0 + *hour * 3600.0 + *minute * 60.0 + *second - offset);
}

std::optional<std::string> writeInternetDateTime(Date date) {
    const double seconds = std::floor(date.timeIntervalSince1970());
    if (!std::isfinite(seconds) || std::fabs(seconds) > 3.0e11) {
        return std::nullopt;
    }
    const auto whole = static_cast<std::int64_t>(seconds);
    const std::int64_t day = whole >= 0 ? whole / 86400 : -((-whole + 86399) / 86400);
    const std::int64_t secondOfDay = whole - day * 86400;
    const auto civil = Calendar::civilFromDayNumber(day);
    if (civil.year < 0 || civil.year > 9999) {
        return std::nullopt;
    }
    std::string year = std::to_string(civil.year);
    year.insert(0, 4 - year.size(), '0');
    return year + "-" + twoDigits(civil.month) + "-" + twoDigits(civil.day) + "T" +
           twoDigits(secondOfDay / 3600) + ":" + twoDigits(secondOfDay / 60 % 60) + ":" +
           twoDigits(secondOfDay % 60) + "Z";
}

} // namespace

SwJsonError::SwJsonError(Code code) : Error("VtUtility.SwJsonError", static_cast<int>(code)) {}

DecodingError::DecodingError(Code code, std::vector<std::string> codingPath,
                             std::string debugDescription)
    : Error("Swift.DecodingError", static_cast<int>(code), describeDecoding(code)), m_code(code),
      m_codingPath(std::move(codingPath)), m_debugDescription(std::move(debugDescription)) {}

EncodingError::EncodingError(std::vector<std::string> codingPath, std::string debugDescription)
    : Error("Swift.EncodingError", 0,
            "The data couldn\u2019t be written because it isn\u2019t in the correct format."),
      m_codingPath(std::move(codingPath)), m_debugDescription(std::move(debugDescription)) {}

DateDecodingStrategy DateDecodingStrategy::deferredToDate() {
    return {};
}

DateDecodingStrategy DateDecodingStrategy::secondsSince1970() {
    DateDecodingStrategy strategy;
    strategy.m_kind = Kind::secondsSince1970;
    return strategy;
}

DateDecodingStrategy DateDecodingStrategy::millisecondsSince1970() {
    DateDecodingStrategy strategy;
    strategy.m_kind = Kind::millisecondsSince1970;
    return strategy;
}

DateDecodingStrategy DateDecodingStrategy::iso8601() {
    DateDecodingStrategy strategy;
    strategy.m_kind = Kind::iso8601;
    return strategy;
}

DateDecodingStrategy
DateDecodingStrategy::formatted(std::shared_ptr<const DateFormatter> formatter) {
    DateDecodingStrategy strategy;
    strategy.m_kind = Kind::formatted;
    strategy.m_formatter = std::move(formatter);
    return strategy;
}

DateDecodingStrategy
DateDecodingStrategy::custom(std::function<Date(const Json&, JsonDecoder&)> decode) {
    DateDecodingStrategy strategy;
    strategy.m_kind = Kind::custom;
    strategy.m_custom = std::move(decode);
    return strategy;
}

Date DateDecodingStrategy::decode(const Json& value, JsonDecoder& decoder) const {
    switch (m_kind) {
    case Kind::deferredToDate:
        return Date(decoder.decode<double>(value) + kSecondsFrom1970To2001);
    case Kind::secondsSince1970:
        return Date(decoder.decode<double>(value));
    case Kind::millisecondsSince1970:
        return Date(decoder.decode<double>(value) / 1000.0);
    case Kind::iso8601: {
        const auto date = parseInternetDateTime(decoder.decode<std::string>(value));
        if (!date) {
            decoder.throwDataCorrupted("Expected date string to be ISO8601-formatted.");
        }
        return *date;
    }
    case Kind::formatted: {
        const auto date =
            m_formatter ? m_formatter->date(decoder.decode<std::string>(value)) : std::nullopt;
        if (!date) {
            decoder.throwDataCorrupted("Date string does not match format expected by formatter.");
        }
        return *date;
    }
    case Kind::custom:
        if (!m_custom) {
            decoder.throwDataCorrupted("No custom date decoding was given.");
        }
        return m_custom(value, decoder);
    }
    decoder.throwDataCorrupted("Unknown date decoding strategy.");
}

DateEncodingStrategy DateEncodingStrategy::deferredToDate() {
    return {};
}

DateEncodingStrategy DateEncodingStrategy::secondsSince1970() {
    DateEncodingStrategy strategy;
    strategy.m_kind = Kind::secondsSince1970;
    return strategy;
}

DateEncodingStrategy DateEncodingStrategy::millisecondsSince1970() {
    DateEncodingStrategy strategy;
    strategy.m_kind = Kind::millisecondsSince1970;
    return strategy;
}

DateEncodingStrategy DateEncodingStrategy::iso8601() {
    DateEncodingStrategy strategy;
    strategy.m_kind = Kind::iso8601;
    return strategy;
}

DateEncodingStrategy
DateEncodingStrategy::formatted(std::shared_ptr<const DateFormatter> formatter) {
    DateEncodingStrategy strategy;
    strategy.m_kind = Kind::formatted;
    strategy.m_formatter = std::move(formatter);
    return strategy;
}

DateEncodingStrategy DateEncodingStrategy::custom(std::function<Json(Date, JsonEncoder&)> encode) {
    DateEncodingStrategy strategy;
    strategy.m_kind = Kind::custom;
    strategy.m_custom = std::move(encode);
    return strategy;
}

Json DateEncodingStrategy::encode(Date date, JsonEncoder& encoder) const {
    switch (m_kind) {
    case Kind::deferredToDate:
        return detail::encodeDouble(date.timeIntervalSince1970() - kSecondsFrom1970To2001, encoder);
    case Kind::secondsSince1970:
        return detail::encodeDouble(date.timeIntervalSince1970(), encoder);
    case Kind::millisecondsSince1970:
        return detail::encodeDouble(date.timeIntervalSince1970() * 1000.0, encoder);
    case Kind::iso8601: {
        auto text = writeInternetDateTime(date);
        if (!text) {
            encoder.throwInvalidValue("Date lies outside the years ISO 8601 text can hold.");
        }
        return Json(std::move(*text));
    }
    case Kind::formatted:
        if (!m_formatter) {
            encoder.throwInvalidValue("No date formatter was given.");
        }
        return Json(m_formatter->string(date));
    case Kind::custom:
        if (!m_custom) {
            encoder.throwInvalidValue("No custom date encoding was given.");
        }
        return m_custom(date, encoder);
    }
    encoder.throwInvalidValue("Unknown date encoding strategy.");
}

JsonDecoder::JsonDecoder(DateDecodingStrategy strategy, JsonUserInfo userInfo)
    : m_strategy(std::move(strategy)), m_userInfo(std::move(userInfo)) {}

void JsonDecoder::throwTypeMismatch(std::string_view expected, const Json& found) const {
    throw DecodingError(DecodingError::Code::typeMismatch, m_path,
                        "Expected to decode " + std::string(expected) + " but found " +
                            detail::kindName(found) + " instead.");
}

void JsonDecoder::throwValueNotFound(std::string_view expected) const {
    throw DecodingError(DecodingError::Code::valueNotFound, m_path,
                        "Expected " + std::string(expected) + " value but found null instead.");
}

void JsonDecoder::throwDataCorrupted(std::string description) const {
    throw DecodingError(DecodingError::Code::dataCorrupted, m_path, std::move(description));
}

JsonEncoder::JsonEncoder(DateEncodingStrategy strategy) : m_strategy(std::move(strategy)) {}

void JsonEncoder::throwInvalidValue(std::string description) const {
    throw EncodingError(m_path, std::move(description));
}

namespace detail {

std::optional<std::int64_t> exactSigned(const Json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        // 2^63 is exact as a double; the range check must exclude it.
        if (std::isfinite(number) && std::trunc(number) == number &&
            number >= -9223372036854775808.0 && number < 9223372036854775808.0) {
            return static_cast<std::int64_t>(number);
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> exactUnsigned(const Json& value) {
    if (value.is_number_unsigned()) {
        return value.get<std::uint64_t>();
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (number < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(number);
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && number >= 0.0 &&
            number < 18446744073709551616.0) {
            return static_cast<std::uint64_t>(number);
        }
    }
    return std::nullopt;
}

std::string kindName(const Json& value) {
    switch (value.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::boolean:
        return "bool";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        return "number";
    case Json::value_t::string:
        return "a string/data";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::object:
        return "a dictionary";
    default:
        return "binary data";
    }
}

std::string integerTypeName(bool isSigned, std::size_t size) {
    const std::string bits = std::to_string(size * 8);
    if (size == sizeof(std::int64_t)) {
        return isSigned ? "Int" : "UInt";
    }
    return (isSigned ? "Int" : "UInt") + bits;
}

std::optional<Uuid> parseUuid(const std::string& text) {
    return Uuid::parse(text);
}

void checkEncodable(const std::string& text, JsonEncoder& encoder) {
    if (!isValidUTF8(text)) {
        encoder.throwInvalidValue("Unable to encode a string that is not UTF-8.");
    }
}

Json encodeDouble(double value, JsonEncoder& encoder) {
    if (!std::isfinite(value)) {
        encoder.throwInvalidValue("Unable to encode Double." +
                                  std::string(std::isnan(value) ? "nan" : "infinity") +
                                  " directly in JSON.");
    }
    return Json(value);
}

} // namespace detail

Json parseJson(std::string_view bytes) {
    if (nestingDepth(bytes, kMaxDepth) > kMaxDepth) {
        throw DecodingError(DecodingError::Code::dataCorrupted, {},
                            "The given data was not valid JSON: too many nested arrays or "
                            "dictionaries.");
    }
    Json json;
    try {
        json = Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::exception& error) {
        throw DecodingError(DecodingError::Code::dataCorrupted, {},
                            std::string("The given data was not valid JSON: ") + error.what());
    }
    if (!allNumbersFinite(json)) {
        throw DecodingError(DecodingError::Code::dataCorrupted, {},
                            "The given data was not valid JSON: a number is not representable.");
    }
    return json;
}

std::string writeJson(const Json& root, bool prettyPrinted) {
    std::string out;
    if (!root.is_structured()) {
        appendScalar(out, root);
        return out;
    }
    struct Frame {
        const Json* node;
        Json::const_iterator next;
        bool first;
    };
    std::vector<Frame> stack;
    const auto open = [&](const Json& node) {
        out += node.is_object() ? '{' : '[';
        if (node.empty()) {
            if (prettyPrinted) {
                out += '\n';
                appendIndent(out, stack.size());
            }
            out += node.is_object() ? '}' : ']';
            return;
        }
        stack.push_back(Frame{&node, node.cbegin(), true});
    };
    open(root);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.node->cend()) {
            const bool isObject = frame.node->is_object();
            stack.pop_back();
            if (prettyPrinted) {
                appendIndent(out, stack.size());
            }
            out += isObject ? '}' : ']';
            continue;
        }
        if (!frame.first) {
            out += ',';
        }
        frame.first = false;
        if (prettyPrinted) {
            appendIndent(out, stack.size());
        }
        const Json::const_iterator current = frame.next++;
        if (frame.node->is_object()) {
            if (!isValidUTF8(current.key())) {
                throw EncodingError({}, "Unable to encode a key that is not UTF-8.");
            }
            appendEscaped(out, current.key());
            out += prettyPrinted ? " : " : ":";
        }
        const Json& value = current.value();
        if (value.is_structured()) {
            if (stack.size() >= kMaxDepth) {
                throw EncodingError({}, "Unable to encode JSON nested deeper than 512 levels.");
            }
            open(value); // may grow the stack: `frame` is not used after this
        } else {
            appendScalar(out, value);
        }
    }
    return out;
}

Data readFileData(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        throwFileError(file, EISDIR, "The file couldn\u2019t be opened.");
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        throwFileError(file, errno != 0 ? errno : ENOENT, "The file couldn\u2019t be opened.");
    }
    Data bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    if (stream.bad()) {
        throwFileError(file, EIO, "The file couldn\u2019t be read.");
    }
    return bytes;
}

namespace {

void writeAll(int fd, std::string_view bytes, const std::filesystem::path& file) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            ::close(fd);
            throwFileError(file, error, "The file couldn\u2019t be saved.");
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

void writeFileData(const std::filesystem::path& file, std::string_view bytes,
                   DataWritingOptions options) {
    if (!options.atomic) {
        const int flags =
            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (options.withoutOverwriting ? O_EXCL : 0);
        const int fd = ::open(file.c_str(), flags, 0666);
        if (fd < 0) {
            throwFileError(file, errno, "The file couldn\u2019t be saved.");
        }
        writeAll(fd, bytes, file);
        if (::close(fd) != 0) {
            throwFileError(file, errno, "The file couldn\u2019t be saved.");
        }
        return;
    }
    // Write a sibling, then move it into place in one step, so readers see old or new bytes.
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::string name(".");
    name += file.filename().string();
    name += ".XXXXXX";
    std::string pattern = (folder / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        throwFileError(file, errno, "The file couldn\u2019t be saved.");
    }
    struct stat existing {};
    const mode_t mode = ::stat(file.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    try {
        writeAll(fd, bytes, file);
    } catch (...) {
        ::unlink(pattern.c_str());
        throw;
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int error = errno;
        ::unlink(pattern.c_str());
        throwFileError(file, error, "The file couldn\u2019t be saved.");
    }
    if (options.withoutOverwriting) {
        // link() refuses an existing target, so two writers cannot both win.
        const int result = ::link(pattern.c_str(), file.c_str());
        const int error = errno;
        ::unlink(pattern.c_str());
        if (result != 0) {
            throwFileError(file, error, "The file couldn\u2019t be saved.");
        }
        return;
    }
    if (::rename(pattern.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(pattern.c_str());
        throwFileError(file, error, "The file couldn\u2019t be saved.");
    }
}

} // namespace core
