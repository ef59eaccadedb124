#pragma once

#include "core/json_coding.hpp"
#include "core/user_default.hpp"
#include "core/user_defaults.hpp"
#include "uikit/binding.hpp"

#include <concepts>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

class QWidget;

namespace uikit {

/// A value kept in the settings store as one JSON text under a fixed key: the type names its key
/// with `static std::string storageKey()`, decodes itself with
/// `static T decodeValue(const core::Json&, core::JsonDecoder&)` and encodes itself with
/// `core::Json encodeValue(core::JsonEncoder&) const`.
template <class T>
concept Storageable = requires(const T& value, const core::Json& json, core::JsonDecoder& decoder,
                               core::JsonEncoder& encoder) {
    { T::storageKey() } -> std::convertible_to<std::string>;
    { T::decodeValue(json, decoder) } -> std::same_as<T>;
    { value.encodeValue(encoder) } -> std::convertible_to<core::Json>;
};

/// An object that names the key a stored value is kept under, with `std::string key() const`.
template <class K>
concept StorageKeyable = requires(const K& object) {
    { object.key() } -> std::convertible_to<std::string>;
};

/// The compact JSON text of `value` (default date coding); "{}" when it cannot be encoded or its
/// text is not UTF-8.
template <Storageable T>
std::string rawValue(const T& value) {
    try {
        core::JsonEncoder encoder;
        return core::writeJson(value.encodeValue(encoder), false);
    } catch (const std::exception&) {
        return "{}";
    }
}

/// The value that the JSON text `raw` decodes to (default date coding); absent on any failure,
/// an empty text included.
template <Storageable T>
std::optional<T> fromRawValue(const std::string& raw) {
    try {
        core::JsonDecoder decoder;
        return T::decodeValue(core::parseJson(raw), decoder);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

/// The value stored under `T::storageKey()`: absent when there is no text there, the text is
/// empty (nothing is decoded) or it does not decode; an undecodable entry is left in place.
template <Storageable T>
std::optional<T> load(core::UserDefaults& store) {
    const auto raw = store.string(T::storageKey());
    if (!raw || raw->empty()) {
        return std::nullopt;
    }
    return fromRawValue<T>(*raw);
}

/// Stores `rawValue(value)` under `T::storageKey()`, replacing what was there.
template <Storageable T>
void save(const T& value, core::UserDefaults& store) {
    store.set(T::storageKey(), rawValue(value));
}

/// The key text of a storage key: a `StorageKeyable` object's `key()`, a raw-text key's raw value,
/// or the text itself.
template <class K>
std::string storageKeyString(const K& key) {
    if constexpr (StorageKeyable<K>) {
        return std::string(key.key());
    } else if constexpr (core::StringRawRepresentable<K>) {
        return core::RawValueTraits<K>::rawValue(key);
    } else {
        static_assert(std::is_convertible_v<const K&, std::string>,
                      "a storage key is text, a StorageKeyable object or a raw-text value");
        return std::string(key);
    }
}

namespace detail {

template <class T>
struct StoredOptional : std::false_type {};
template <class T>
struct StoredOptional<std::optional<T>> : std::true_type {
    using Wrapped = T;
};

template <class E>
concept IntegerRawRepresentable =
    core::RawRepresentable<E> && std::integral<typename core::RawValueTraits<E>::RawValue> &&
    !std::same_as<typename core::RawValueTraits<E>::RawValue, bool>;

/// How one kind of value is read from and written to the store.
template <class T>
struct StoredForm {
    static std::optional<T> read(core::UserDefaults& store, const std::string& key) {
        if constexpr (Storageable<T>) {
            const auto raw = store.string(key);
            return raw ? fromRawValue<T>(*raw) : std::nullopt;
        } else if constexpr (IntegerRawRepresentable<T>) {
            using Raw = typename core::RawValueTraits<T>::RawValue;
            const auto number = store.integer(key);
            if (!number || !std::in_range<Raw>(*number)) {
                return std::nullopt;
            }
            return core::RawValueTraits<T>::fromRawValue(static_cast<Raw>(*number));
        } else {
            static_assert(core::VtUserDefaultStorable<T>, "no stored form for this type");
            return core::UserDefaultStorage<T>::load(key, store);
        }
    }
    static void write(core::UserDefaults& store, const std::string& key, const T& value) {
        if constexpr (Storageable<T>) {
            store.set(key, rawValue(value));
        } else if constexpr (IntegerRawRepresentable<T>) {
            store.set(key, static_cast<std::int64_t>(core::RawValueTraits<T>::rawValue(value)));
        } else {
            core::UserDefaultStorage<T>::save(store, key, value);
        }
    }
};

} // namespace detail

/// A value kept in the settings store under a key: each read asks the store (the initial value
/// stands in while nothing readable is stored), each write stores at once. Holds text, 64-bit
/// integers, Booleans, raw-valued enumerations, `Storageable` values, and optional text or
/// integers, for which writing absent removes the entry.
template <class Value>
class AppStorage {
public:
    /// A `Storageable` value under its type's `storageKey()`, in `store` (the user's standard
    /// store when null).
    explicit AppStorage(Value wrappedValue, std::shared_ptr<core::UserDefaults> store = nullptr)
        requires Storageable<Value>
        : AppStorage(std::move(wrappedValue), std::string(Value::storageKey()), std::move(store)) {}

    /// A value under `key` (text, a `StorageKeyable` object read once, or a raw-text value), in
    /// `store` (the user's standard store when null).
    template <class Key>
    AppStorage(Value wrappedValue, const Key& key,
               std::shared_ptr<core::UserDefaults> store = nullptr)
        requires(!detail::StoredOptional<Value>::value)
        : m_store(store ? std::move(store) : core::UserDefaults::standard()),
          m_key(storageKeyString(key)), m_initial(std::move(wrappedValue)) {}

    /// An optional text or integer under `key`, absent until something is stored.
    template <class Key>
    explicit AppStorage(const Key& key, std::shared_ptr<core::UserDefaults> store = nullptr)
        requires(detail::StoredOptional<Value>::value)
        : m_store(store ? std::move(store) : core::UserDefaults::standard()),
          m_key(storageKeyString(key)), m_initial(std::nullopt) {}

    /// The stored value, or the initial one when nothing readable is stored.
    Value wrappedValue() const {
        if constexpr (detail::StoredOptional<Value>::value) {
            using Wrapped = typename detail::StoredOptional<Value>::Wrapped;
            return detail::StoredForm<Wrapped>::read(*m_store, m_key);
        } else {
            return detail::StoredForm<Value>::read(*m_store, m_key).value_or(m_initial);
        }
    }
    /// Stores `value` under the key at once; an absent optional removes the entry.
    void setWrappedValue(const Value& value) const {
        if constexpr (detail::StoredOptional<Value>::value) {
            using Wrapped = typename detail::StoredOptional<Value>::Wrapped;
            if (value) {
                detail::StoredForm<Wrapped>::write(*m_store, m_key, *value);
            } else {
                m_store->remove(m_key);
            }
        } else {
            detail::StoredForm<Value>::write(*m_store, m_key, value);
        }
    }
    /// A binding that reads and writes through this storage.
    Binding<Value> projectedValue() const {
        AppStorage self = *this;
        return Binding<Value>([self] { return self.wrappedValue(); },
                              [self](const Value& value) { self.setWrappedValue(value); });
    }
    /// The key the value is kept under.
    const std::string& key() const noexcept { return m_key; }
    /// The store the value is kept in.
    const std::shared_ptr<core::UserDefaults>& store() const noexcept { return m_store; }

private:
    std::shared_ptr<core::UserDefaults> m_store;
    std::string m_key;
    Value m_initial;
};

/// The in-memory store of the window that holds `view`, made on first use and dropped with that
/// window; there is no restoration of window state on this platform, so nothing is written to
/// disk.
std::shared_ptr<core::UserDefaults> sceneStore(QWidget& view);

/// A value kept per window: `AppStorage` over the in-memory store of the window holding `view`.
template <class Value>
class SceneStorage : public AppStorage<Value> {
public:
    /// A `Storageable` value under its type's `storageKey()`.
    SceneStorage(Value wrappedValue, QWidget& view)
        requires Storageable<Value>
        : AppStorage<Value>(std::move(wrappedValue), sceneStore(view)) {}
    /// A value under `key`.
    template <class Key>
    SceneStorage(Value wrappedValue, const Key& key, QWidget& view)
        requires(!detail::StoredOptional<Value>::value)
        : AppStorage<Value>(std::move(wrappedValue), key, sceneStore(view)) {}
    /// An optional text or integer under `key`, absent until something is stored.
    template <class Key>
    SceneStorage(const Key& key, QWidget& view)
        requires(detail::StoredOptional<Value>::value)
        : AppStorage<Value>(key, sceneStore(view)) {}
};

} // namespace uikit
