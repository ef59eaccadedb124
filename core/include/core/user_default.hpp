#pragma once

#include "core/json_coding.hpp"
#include "core/log.hpp"
#include "core/user_defaults.hpp"

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace core {

/// How a type is kept in the settings store: `load(key, store)` gives the stored value or absent,
/// `save(store, key, value)` replaces it. Built in for text, lists of text, integers, doubles,
/// Booleans and dates; raw-valued enumerations get it from `RawValueTraits`.
template <class T, class = void>
struct UserDefaultStorage;

/// Declares an enumeration's raw values: specialise with `using RawValue = ...;`,
/// `static RawValue rawValue(E)` and `static std::optional<E> fromRawValue(const RawValue&)`.
template <class E>
struct RawValueTraits;

/// A type that the settings store can hold.
template <class T>
concept VtUserDefaultStorable = requires(const std::string& key, UserDefaults& store, const T& v) {
    { UserDefaultStorage<T>::load(key, store) } -> std::same_as<std::optional<T>>;
    UserDefaultStorage<T>::save(store, key, v);
};

/// A type with declared raw values.
template <class E>
concept RawRepresentable = requires(const E& e) {
    typename RawValueTraits<E>::RawValue;
    { RawValueTraits<E>::rawValue(e) } -> std::convertible_to<typename RawValueTraits<E>::RawValue>;
    {
        RawValueTraits<E>::fromRawValue(std::declval<const typename RawValueTraits<E>::RawValue&>())
    } -> std::same_as<std::optional<E>>;
};

/// A raw-valued type whose raw value is text: usable as a settings key.
template <class K>
concept StringRawRepresentable =
    RawRepresentable<K> && std::same_as<typename RawValueTraits<K>::RawValue, std::string>;

template <>
struct UserDefaultStorage<std::string> {
    static std::optional<std::string> load(const std::string& key, UserDefaults& store) {
        return store.string(key);
    }
    static void save(UserDefaults& store, const std::string& key, const std::string& value) {
        store.set(key, value);
    }
};

template <>
struct UserDefaultStorage<std::vector<std::string>> {
    static std::optional<std::vector<std::string>> load(const std::string& key,
                                                        UserDefaults& store) {
        return store.stringArray(key);
    }
    static void save(UserDefaults& store, const std::string& key,
                     const std::vector<std::string>& value) {
        PropertyValue::Array array(value.begin(), value.end());
        store.set(key, std::move(array));
    }
};

template <>
struct UserDefaultStorage<std::int64_t> {
    static std::optional<std::int64_t> load(const std::string& key, UserDefaults& store) {
        return store.integer(key);
    }
    static void save(UserDefaults& store, const std::string& key, std::int64_t value) {
        store.set(key, value);
    }
};

template <>
struct UserDefaultStorage<double> {
    static std::optional<double> load(const std::string& key, UserDefaults& store) {
        return store.doubleValue(key);
    }
    static void save(UserDefaults& store, const std::string& key, double value) {
        store.set(key, value);
    }
};

template <>
struct UserDefaultStorage<bool> {
    static std::optional<bool> load(const std::string& key, UserDefaults& store) {
        return store.boolValue(key);
    }
    static void save(UserDefaults& store, const std::string& key, bool value) {
        store.set(key, value);
    }
};

/// Dates are kept as a plain double of seconds since 1970; a stored date object reads absent.
template <>
struct UserDefaultStorage<Date> {
    static std::optional<Date> load(const std::string& key, UserDefaults& store) {
        if (const auto value = store.object(key); value && value->get<Date>()) {
            return std::nullopt;
        }
        if (const auto seconds = store.doubleValue(key)) {
            return Date(*seconds);
        }
        return std::nullopt;
    }
    static void save(UserDefaults& store, const std::string& key, Date value) {
        store.set(key, value.timeIntervalSince1970());
    }
};

/// Raw-valued types are kept as their raw value; an unknown raw value reads absent.
template <class E>
struct UserDefaultStorage<E, std::enable_if_t<RawRepresentable<E>>> {
    using Raw = typename RawValueTraits<E>::RawValue;
    static std::optional<E> load(const std::string& key, UserDefaults& store) {
        if (auto raw = UserDefaultStorage<Raw>::load(key, store)) {
            return RawValueTraits<E>::fromRawValue(*raw);
        }
        return std::nullopt;
    }
    static void save(UserDefaults& store, const std::string& key, const E& value) {
        UserDefaultStorage<Raw>::save(store, key, RawValueTraits<E>::rawValue(value));
    }
};

/// Opts a JSON-codable type into being stored as JSON: specialise to `true`.
template <class T>
inline constexpr bool kStoresAsJson = false;

/// JSON-codable types that opt in are kept as pretty-printed JSON bytes with ISO 8601 dates;
/// bytes that do not decode read absent, and a value that cannot be encoded is not saved (the
/// old entry stays, with a warning).
template <class T>
struct UserDefaultStorage<
    T, std::enable_if_t<kStoresAsJson<T> && JsonEncodable<T> && JsonDecodable<T>>> {
    static std::optional<T> load(const std::string& key, UserDefaults& store) {
        const auto bytes = store.data(key);
        if (!bytes) {
            return std::nullopt;
        }
        try {
            return core::load<T>(*bytes, DateDecodingStrategy::iso8601());
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    static void save(UserDefaults& store, const std::string& key, const T& value) {
        try {
            store.set(key, jsonData(value, DateEncodingStrategy::iso8601(), true));
        } catch (const std::exception& error) {
            logWarning(error, "The setting \"" + key + "\" was not saved");
        }
    }
};

/// A setting read once at creation and written through on every change (even an unchanged one).
/// A copy has its own current value; writes through either copy reach the store.
template <VtUserDefaultStorable Value>
class VtUserDefault {
public:
    /// Reads `key` once; starts from the stored value, or from `defaultValue` when none loads.
    VtUserDefault(Value defaultValue, std::string key,
                  std::shared_ptr<UserDefaults> userDefaults = UserDefaults::standard())
        : m_userDefaults(std::move(userDefaults)), m_key(std::move(key)),
          m_default(std::move(defaultValue)),
          m_value(UserDefaultStorage<Value>::load(m_key, *m_userDefaults).value_or(m_default)) {}

    /// The same, keyed by a raw-text key's raw value.
    template <StringRawRepresentable K>
    VtUserDefault(Value defaultValue, const K& key,
                  std::shared_ptr<UserDefaults> userDefaults = UserDefaults::standard())
        : VtUserDefault(std::move(defaultValue), RawValueTraits<K>::rawValue(key),
                        std::move(userDefaults)) {}

    /// The current value; the store is not read again.
    const Value& wrappedValue() const noexcept { return m_value; }
    /// Sets the value and saves it at once.
    void setWrappedValue(Value value) {
        m_value = std::move(value);
        UserDefaultStorage<Value>::save(*m_userDefaults, m_key, m_value);
    }
    /// Changes a copy of the value and writes it back once.
    template <class F>
    void modify(F&& change) {
        Value copy = m_value;
        std::forward<F>(change)(copy);
        setWrappedValue(std::move(copy));
    }
    /// The key this setting is stored under.
    const std::string& key() const noexcept { return m_key; }
    /// The value given at creation.
    const Value& defaultValue() const noexcept { return m_default; }

private:
    std::shared_ptr<UserDefaults> m_userDefaults;
    std::string m_key;
    Value m_default;
    Value m_value;
};

/// An optional setting: absent unless something loads; writing absent removes the key.
template <VtUserDefaultStorable Value>
class VtOptionalUserDefault {
public:
    /// Reads `key` once.
    explicit VtOptionalUserDefault(
        std::string key, std::shared_ptr<UserDefaults> userDefaults = UserDefaults::standard())
        : m_userDefaults(std::move(userDefaults)), m_key(std::move(key)),
          m_value(UserDefaultStorage<Value>::load(m_key, *m_userDefaults)) {}

    /// The same, keyed by a raw-text key's raw value.
    template <StringRawRepresentable K>
    explicit VtOptionalUserDefault(
        const K& key, std::shared_ptr<UserDefaults> userDefaults = UserDefaults::standard())
        : VtOptionalUserDefault(RawValueTraits<K>::rawValue(key), std::move(userDefaults)) {}

    /// The current value.
    const std::optional<Value>& wrappedValue() const noexcept { return m_value; }
    /// Sets the value: a present one is saved, an absent one removes the stored entry.
    void setWrappedValue(std::optional<Value> value) {
        m_value = std::move(value);
        if (m_value) {
            UserDefaultStorage<Value>::save(*m_userDefaults, m_key, *m_value);
        } else {
            m_userDefaults->remove(m_key);
        }
    }
    /// Changes a copy of the value and writes it back once.
    template <class F>
    void modify(F&& change) {
        std::optional<Value> copy = m_value;
        std::forward<F>(change)(copy);
        setWrappedValue(std::move(copy));
    }
    /// The key this setting is stored under.
    const std::string& key() const noexcept { return m_key; }

private:
    std::shared_ptr<UserDefaults> m_userDefaults;
    std::string m_key;
    std::optional<Value> m_value;
};

/// A setting named by a raw-text key, on the given store.
template <VtUserDefaultStorable Value, StringRawRepresentable K>
VtUserDefault<Value>
userDefault(const K& key, Value defaultValue,
            std::shared_ptr<UserDefaults> userDefaults = UserDefaults::standard()) {
    return VtUserDefault<Value>(std::move(defaultValue), key, std::move(userDefaults));
}

/// An optional setting named by a raw-text key, on the given store.
template <VtUserDefaultStorable Value, StringRawRepresentable K>
VtOptionalUserDefault<Value>
optionalUserDefault(const K& key,
                    std::shared_ptr<UserDefaults> userDefaults = UserDefaults::standard()) {
    return VtOptionalUserDefault<Value>(key, std::move(userDefaults));
}

/// A group of settings whose keys share a prefix: `static std::string keyPrefix()`.
template <class G>
concept VtUserDefaultGroup = requires {
    { G::keyPrefix() } -> std::convertible_to<std::string>;
};

/// The stored key of `key` in group `G`: prefix, "_", key.
template <VtUserDefaultGroup G>
std::string groupKey(const std::string& key) {
    return std::string(G::keyPrefix()) + "_" + key;
}

/// A setting of group `G` on the standard store.
template <VtUserDefaultGroup G, VtUserDefaultStorable Value>
VtUserDefault<Value> create(Value defaultValue, const std::string& key) {
    return VtUserDefault<Value>(std::move(defaultValue), groupKey<G>(key));
}

/// An optional setting of group `G` on the standard store.
template <VtUserDefaultGroup G, VtUserDefaultStorable Value>
VtOptionalUserDefault<Value> create(const std::string& key) {
    return VtOptionalUserDefault<Value>(groupKey<G>(key));
}

/// Reads a launch argument named by a raw-text key `key`: as `bool`, true when an argument equals
/// "-" + key exactly (the program path included); as an optional text, integer or double, the
/// standard store's value (whose argument domain holds "-key value" pairs).
template <class R, StringRawRepresentable K>
R loadLaunchArgument(const K& key,
                     const std::shared_ptr<UserDefaults>& store = UserDefaults::standard()) {
    const std::string name = RawValueTraits<K>::rawValue(key);
    if constexpr (std::is_same_v<R, bool>) {
        for (const auto& argument : store->launchArguments()) {
            if (argument.size() == name.size() + 1 && argument[0] == '-' &&
                argument.compare(1, std::string::npos, name) == 0) {
                return true;
            }
        }
        return false;
    } else if constexpr (std::is_same_v<R, std::optional<std::string>>) {
        return store->string(name);
    } else if constexpr (std::is_same_v<R, std::optional<std::int64_t>>) {
        return UserDefaultStorage<std::int64_t>::load(name, *store);
    } else {
        static_assert(std::is_same_v<R, std::optional<double>>,
                      "launch arguments load as bool or optional text, integer or double");
        return UserDefaultStorage<double>::load(name, *store);
    }
}

} // namespace core
