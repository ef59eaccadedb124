#include "core/user_defaults.hpp"

#include "core/log.hpp"
#include "core/uuid.hpp"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

namespace core {

namespace {

using Json = nlohmann::ordered_json;

// Kinds that JSON cannot tell apart on its own are wrapped in a one-key object.
constexpr const char* kDataTag = "$data";
constexpr const char* kDateTag = "$date";
constexpr const char* kDictTag = "$dict";
// JSON has no NaN or infinity (the writer would turn them into null, which no reader accepts and
// which would cost every other setting of the file), so those travel as text under this tag.
constexpr const char* kRealTag = "$real";

Json encodeReal(double value) {
    if (std::isfinite(value)) {
        return Json(value);
    }
    return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
}

// A number, or the text `encodeReal` writes for a non-finite one.
std::optional<double> decodeReal(const Json& json) {
    if (json.is_number()) {
        return json.get<double>();
    }
    if (json.is_string()) {
        const auto& text = json.get_ref<const std::string&>();
        if (text == "nan") {
            return std::numeric_limits<double>::quiet_NaN();
        }
        if (text == "inf" || text == "-inf") {
            return text[0] == '-' ? -std::numeric_limits<double>::infinity()
                                  : std::numeric_limits<double>::infinity();
        }
    }
    return std::nullopt;
}

Json encode(const PropertyValue& property);

Json encodeDictionary(const PropertyValue::Dictionary& dictionary) {
    Json object = Json::object();
    for (const auto& [key, value] : dictionary) {
        object[key] = encode(value);
    }
    return object;
}

Json encode(const PropertyValue& property) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Data>) {
                return Json{{kDataTag, base64(v)}};
            } else if constexpr (std::is_same_v<T, Date>) {
                return Json{{kDateTag, encodeReal(v.timeIntervalSince1970())}};
            } else if constexpr (std::is_same_v<T, double>) {
                return std::isfinite(v) ? Json(v) : Json{{kRealTag, encodeReal(v)}};
            } else if constexpr (std::is_same_v<T, PropertyValue::Array>) {
                Json array = Json::array();
                for (const auto& item : v) {
                    array.push_back(encode(item));
                }
                return array;
            } else if constexpr (std::is_same_v<T, PropertyValue::Dictionary>) {
                return Json{{kDictTag, encodeDictionary(v)}};
            } else {
                return Json(v);
            }
        },
        property.value);
}

// Throws std::runtime_error on anything the encoder never writes.
PropertyValue decode(const Json& json, int depth);

PropertyValue::Dictionary decodeDictionary(const Json& json, int depth) {
    if (!json.is_object()) {
        throw std::runtime_error("a dictionary is not a JSON object");
    }
    PropertyValue::Dictionary dictionary;
    for (const auto& [key, value] : json.items()) {
        dictionary[key] = decode(value, depth + 1);
    }
    return dictionary;
}

PropertyValue decode(const Json& json, int depth) {
    constexpr int kMaxDepth = 256;
    if (depth > kMaxDepth) {
        throw std::runtime_error("values nested too deeply");
    }
    switch (json.type()) {
    case Json::value_t::boolean:
        return json.get<bool>();
    case Json::value_t::number_integer:
        return json.get<std::int64_t>();
    case Json::value_t::number_unsigned: {
        const auto value = json.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(INT64_MAX)) {
            throw std::runtime_error("an integer out of range");
        }
        return static_cast<std::int64_t>(value);
    }
    case Json::value_t::number_float:
        return json.get<double>();
    case Json::value_t::string:
        return json.get<std::string>();
    case Json::value_t::array: {
        PropertyValue::Array array;
        for (const auto& item : json) {
            array.push_back(decode(item, depth + 1));
        }
        return array;
    }
    case Json::value_t::object: {
        if (json.size() == 1) {
            if (const auto data = json.find(kDataTag); data != json.end() && data->is_string()) {
                if (auto bytes = decodeBase64Data(data->get<std::string>())) {
                    return std::move(*bytes);
                }
                throw std::runtime_error("bad base64 bytes");
            }
            if (const auto date = json.find(kDateTag); date != json.end()) {
                if (const auto seconds = decodeReal(*date)) {
                    return Date(*seconds);
                }
            }
            if (const auto real = json.find(kRealTag); real != json.end() && real->is_string()) {
                if (const auto number = decodeReal(*real)) {
                    return *number;
                }
            }
            if (const auto dict = json.find(kDictTag); dict != json.end()) {
                return decodeDictionary(*dict, depth);
            }
        }
        throw std::runtime_error("an unknown tagged value");
    }
    default:
        throw std::runtime_error("a value of an unsupported kind");
    }
}

std::optional<std::int64_t> exactInteger(double value) {
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!std::isfinite(value) || std::trunc(value) != value || value < -9223372036854775808.0 ||
        value >= 9223372036854775808.0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(value);
}

std::mutex& standardMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& applicationName() {
    static std::string name = "resource-report";
    return name;
}

} // namespace

PropertyValue parseArgumentValue(const std::string& text) {
    std::int64_t integer = 0;
    const char* end = text.data() + text.size();
    if (!text.empty()) {
        auto [ptr, ec] = std::from_chars(text.data(), end, integer);
        if (ec == std::errc() && ptr == end) {
            return integer;
        }
        double number = 0;
        auto [fptr, fec] = std::from_chars(text.data(), end, number);
        if (fec == std::errc() && fptr == end && std::isfinite(number)) {
            return number;
        }
    }
    if (text == "YES" || text == "true") {
        return true;
    }
    if (text == "NO" || text == "false") {
        return false;
    }
    return text;
}

UserDefaults::UserDefaults(std::filesystem::path file, std::vector<std::string> arguments)
    : m_file(std::move(file)), m_arguments(std::move(arguments)) {
    // "-key value" pairs form the argument domain; the program path (first) is never a key.
    for (std::size_t i = 1; i + 1 < m_arguments.size(); ++i) {
        const std::string& argument = m_arguments[i];
        if (argument.size() > 1 && argument[0] == '-') {
            m_argumentDomain[argument.substr(1)] = parseArgumentValue(m_arguments[i + 1]);
            m_argumentTexts[argument.substr(1)] = m_arguments[i + 1];
            ++i;
        }
    }
    if (!m_file.empty()) {
        load();
    }
}

std::shared_ptr<UserDefaults> UserDefaults::inMemory(std::vector<std::string> arguments) {
    return std::make_shared<UserDefaults>(std::filesystem::path{}, std::move(arguments));
}

std::shared_ptr<UserDefaults> UserDefaults::open(std::filesystem::path file,
                                                 std::vector<std::string> arguments) {
    return std::make_shared<UserDefaults>(std::move(file), std::move(arguments));
}

void UserDefaults::setApplicationName(std::string name) {
    std::lock_guard lock(standardMutex());
    applicationName() = std::move(name);
}

std::vector<std::string> UserDefaults::processArguments() {
    std::vector<std::string> arguments;
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::string argument;
    while (std::getline(cmdline, argument, '\0')) {
        arguments.push_back(argument);
    }
    return arguments;
}

std::shared_ptr<UserDefaults> UserDefaults::standard() {
    static const std::shared_ptr<UserDefaults> store = [] {
        std::filesystem::path base;
        if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
            base = config;
        } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
            base = std::filesystem::path(home) / ".config";
        } else {
            base = std::filesystem::temp_directory_path();
        }
        std::string name;
        {
            std::lock_guard lock(standardMutex());
            name = applicationName();
        }
        return open(base / name / "defaults.json", processArguments());
    }();
    return store;
}

void UserDefaults::load() {
    std::error_code ec;
    const auto type = std::filesystem::status(m_file, ec).type();
    if (type == std::filesystem::file_type::not_found) {
        return; // nothing stored yet
    }
    std::ifstream input(m_file, std::ios::binary);
    if (type != std::filesystem::file_type::regular || !input) {
        // What is there but cannot be read must not be replaced by an empty file: keep this
        // store in memory only.
        Log::error([&] {
            return "The settings file " + m_file.string() +
                   " cannot be read; settings will not be saved this time";
        });
        m_file.clear();
        return;
    }
    std::stringstream buffer;
    buffer << input.rdbuf();
    try {
        const Json json = Json::parse(buffer.str());
        m_values = decodeDictionary(json, 0);
    } catch (const std::exception& error) {
        Log::error([&] {
            return "The settings file " + m_file.string() +
                   " is corrupt and was set aside: " + error.what();
        });
        std::error_code ignored;
        std::filesystem::rename(m_file, m_file.string() + ".corrupt", ignored);
        m_values.clear();
    }
}

void UserDefaults::save() const {
    const std::string text = encodeDictionary(m_values).dump(2) + "\n";
    std::error_code ec;
    const auto folder = m_file.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (!ec) {
            ::chmod(folder.c_str(), 0700);
        }
    }
    const auto temp =
        std::filesystem::path(m_file.string() + ".tmp-" + Uuid::random().uuidString());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool written = fd >= 0;
    if (written) {
        std::size_t offset = 0;
        while (offset < text.size()) {
            const ssize_t n = ::write(fd, text.data() + offset, text.size() - offset);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                written = false;
                break;
            }
            offset += static_cast<std::size_t>(n);
        }
        written = (::fsync(fd) == 0) && written;
        written = (::close(fd) == 0) && written;
    }
    if (written && std::rename(temp.c_str(), m_file.c_str()) == 0) {
        return;
    }
    const int savedErrno = errno;
    std::filesystem::remove(temp, ec);
    Log::error([&] {
        return "Failed to save the settings file " + m_file.string() + ": " +
               std::error_code(savedErrno, std::generic_category()).message();
    });
}

std::optional<PropertyValue> UserDefaults::object(const std::string& key) const {
    std::lock_guard lock(m_mutex);
    if (const auto found = m_argumentDomain.find(key); found != m_argumentDomain.end()) {
        return found->second;
    }
    if (const auto found = m_values.find(key); found != m_values.end()) {
        return found->second;
    }
    return std::nullopt;
}

void UserDefaults::set(const std::string& key, PropertyValue value) {
    std::lock_guard lock(m_mutex);
    m_values[key] = std::move(value);
    if (!m_file.empty()) {
        save();
    }
}

void UserDefaults::remove(const std::string& key) {
    std::lock_guard lock(m_mutex);
    if (m_values.erase(key) > 0 && !m_file.empty()) {
        save();
    }
}

std::optional<std::string> UserDefaults::string(const std::string& key) const {
    {
        // "-port 8080" is text to whoever asks for text, as it was typed.
        std::lock_guard lock(m_mutex);
        if (const auto found = m_argumentTexts.find(key); found != m_argumentTexts.end()) {
            return found->second;
        }
    }
    const auto value = object(key);
    if (const auto* text = value ? value->get<std::string>() : nullptr) {
        return *text;
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArray(const std::string& key) const {
    const auto value = object(key);
    const auto* array = value ? value->get<PropertyValue::Array>() : nullptr;
    if (!array) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    texts.reserve(array->size());
    for (const auto& item : *array) {
        const auto* text = item.get<std::string>();
        if (!text) {
            return std::nullopt;
        }
        texts.push_back(*text);
    }
    return texts;
}

std::optional<std::int64_t> UserDefaults::integer(const std::string& key) const {
    const auto value = object(key);
    if (!value) {
        return std::nullopt;
    }
    if (const auto* i = value->get<std::int64_t>()) {
        return *i;
    }
    if (const auto* d = value->get<double>()) {
        return exactInteger(*d);
    }
    if (const auto* b = value->get<bool>()) {
        return *b ? 1 : 0;
    }
    return std::nullopt;
}

std::optional<double> UserDefaults::doubleValue(const std::string& key) const {
    const auto value = object(key);
    if (!value) {
        return std::nullopt;
    }
    if (const auto* d = value->get<double>()) {
        return *d;
    }
    if (const auto* i = value->get<std::int64_t>()) {
        return static_cast<double>(*i);
    }
    if (const auto* b = value->get<bool>()) {
        return *b ? 1.0 : 0.0;
    }
    return std::nullopt;
}

std::optional<bool> UserDefaults::boolValue(const std::string& key) const {
    const auto value = object(key);
    if (!value) {
        return std::nullopt;
    }
    if (const auto* b = value->get<bool>()) {
        return *b;
    }
    if (const auto* i = value->get<std::int64_t>(); i && (*i == 0 || *i == 1)) {
        return *i == 1;
    }
    if (const auto* d = value->get<double>(); d && (*d == 0.0 || *d == 1.0)) {
        return *d == 1.0;
    }
    return std::nullopt;
}

std::optional<Data> UserDefaults::data(const std::string& key) const {
    const auto value = object(key);
    if (const auto* bytes = value ? value->get<Data>() : nullptr) {
        return *bytes;
    }
    return std::nullopt;
}

} // namespace core
