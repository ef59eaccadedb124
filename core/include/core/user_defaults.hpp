#pragma once

#include "core/date.hpp"
#include "core/string_utils.hpp"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace core {

/// One value of the settings store: the kinds a settings file can hold, with their types intact.
struct PropertyValue {
    using Array = std::vector<PropertyValue>;
    using Dictionary = std::map<std::string, PropertyValue>;
    using Storage =
        std::variant<bool, std::int64_t, double, std::string, Data, Date, Array, Dictionary>;

    Storage value;

    PropertyValue() : value(false) {}
    PropertyValue(bool v) : value(v) {}
    PropertyValue(std::int64_t v) : value(v) {}
    PropertyValue(int v) : value(static_cast<std::int64_t>(v)) {}
    PropertyValue(double v) : value(v) {}
    PropertyValue(std::string v) : value(std::move(v)) {}
    PropertyValue(const char* v) : value(std::string(v)) {}
    PropertyValue(Data v) : value(std::move(v)) {}
    PropertyValue(Date v) : value(v) {}
    PropertyValue(Array v) : value(std::move(v)) {}
    PropertyValue(Dictionary v) : value(std::move(v)) {}

    /// The value as a `T` when it holds exactly that kind.
    template <class T>
    const T* get() const noexcept {
        return std::get_if<T>(&value);
    }

    friend bool operator==(const PropertyValue&, const PropertyValue&) = default;
};

/// A per-user settings store: typed values under string keys, with launch arguments layered on
/// top. A store opened on a file writes every change through at once (temp file, then rename),
/// so a crash never leaves a torn file. Safe to use from several threads.
class UserDefaults {
public:
    /// A store kept in memory only; `arguments` are the launch arguments (program path first).
    static std::shared_ptr<UserDefaults> inMemory(std::vector<std::string> arguments = {});
    /// A store kept in `file`. A missing file starts empty; an unreadable or corrupt one is
    /// reported, set aside beside it as "<name>.corrupt" and replaced on the next write.
    static std::shared_ptr<UserDefaults> open(std::filesystem::path file,
                                              std::vector<std::string> arguments = {});
    /// The process's standard store: "$XDG_CONFIG_HOME/<application name>/defaults.json"
    /// (or "~/.config/..."), with the process's own launch arguments.
    static std::shared_ptr<UserDefaults> standard();
    /// Names the folder of the standard store; takes effect only before its first use.
    static void setApplicationName(std::string name);
    /// The launch arguments of this process, the program path included.
    static std::vector<std::string> processArguments();

    /// The value under `key`: a launch argument "-key value" wins over the stored one.
    std::optional<PropertyValue> object(const std::string& key) const;
    /// Stores `value` under `key`, replacing what was there, and writes the file through.
    void set(const std::string& key, PropertyValue value);
    /// Removes the stored value under `key` (a launch argument of that name stays visible).
    void remove(const std::string& key);

    /// The text under `key`, absent when it is not text; a launch argument's value is always its
    /// text as given, also where it reads as a number or a Boolean.
    std::optional<std::string> string(const std::string& key) const;
    /// The list of texts under `key`, absent when it is not a list of texts only.
    std::optional<std::vector<std::string>> stringArray(const std::string& key) const;
    /// The value under `key` converted to an integer without loss, absent otherwise.
    std::optional<std::int64_t> integer(const std::string& key) const;
    /// The value under `key` converted to a double (integers and Booleans convert).
    std::optional<double> doubleValue(const std::string& key) const;
    /// The value under `key` converted to a Boolean (numbers 0 and 1 convert).
    std::optional<bool> boolValue(const std::string& key) const;
    /// The bytes under `key`, absent when they are not bytes.
    std::optional<Data> data(const std::string& key) const;

    /// The launch arguments this store was given.
    const std::vector<std::string>& launchArguments() const noexcept { return m_arguments; }
    /// The file this store writes, empty for an in-memory store.
    const std::filesystem::path& file() const noexcept { return m_file; }

    UserDefaults(std::filesystem::path file, std::vector<std::string> arguments);

private:
    void load();
    void save() const;

    mutable std::mutex m_mutex;
    std::filesystem::path m_file;
    std::vector<std::string> m_arguments;
    PropertyValue::Dictionary m_argumentDomain;
    std::map<std::string, std::string> m_argumentTexts;
    PropertyValue::Dictionary m_values;
};

/// The value that a launch argument's text stands for: an integer or a number when it reads as
/// one, "YES"/"NO"/"true"/"false" as a Boolean, otherwise the text itself.
PropertyValue parseArgumentValue(const std::string& text);

} // namespace core
