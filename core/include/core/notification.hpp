#pragma once

#include "core/rx.hpp"

#include <any>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>

namespace core {

/// The name of a process-wide notification.
struct NotificationName {
    std::string rawValue;

    friend bool operator==(const NotificationName&, const NotificationName&) = default;
};

/// One posted notification: its name, the value it carries (empty when none) and the identity of
/// that value when it is a shared object (null otherwise).
struct Notification {
    NotificationName name;
    std::any object;
    const void* sender = nullptr;
};

namespace detail {

/// Numbers travel as `int64_t` or `double` so that a receiver asking for another arithmetic type
/// still finds them, as the platform's number bridging does.
template <class T>
std::any normalisedObject(T&& value) {
    using V = std::decay_t<T>;
    if constexpr (std::is_same_v<V, bool>) {
        return value;
    } else if constexpr (std::is_integral_v<V>) {
        if constexpr (std::is_unsigned_v<V> && sizeof(V) >= sizeof(std::int64_t)) {
            if (value > static_cast<V>(INT64_MAX)) {
                return static_cast<double>(value);
            }
        }
        return static_cast<std::int64_t>(value);
    } else if constexpr (std::is_floating_point_v<V>) {
        return static_cast<double>(value);
    } else if constexpr (std::is_convertible_v<V, std::string> && !std::is_same_v<V, std::string>) {
        return std::string(std::forward<T>(value));
    } else {
        return V(std::forward<T>(value));
    }
}

template <class T>
const void* identityOf(const T& value) {
    // Only smart pointers carry an identity: a value whose `get()` gives no pointer has none.
    if constexpr (requires {
                      value.get();
                      requires std::is_pointer_v<decltype(value.get())>;
                  }) {
        return static_cast<const void*>(value.get());
    } else {
        return nullptr;
    }
}

/// The carried value as a `T`, when it is one (numbers convert when exact).
template <class T>
std::optional<T> objectAs(const std::any& object) {
    if (const T* exact = std::any_cast<T>(&object)) {
        return *exact;
    }
    if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) {
        if (const auto* integer = std::any_cast<std::int64_t>(&object)) {
            const auto converted = static_cast<T>(*integer);
            if constexpr (std::is_integral_v<T>) {
                if (std::in_range<T>(*integer)) {
                    return converted;
                }
            } else if (converted >= T(-0x1p63) && converted < T(0x1p63) &&
                       static_cast<std::int64_t>(converted) == *integer) {
                // The range test first: INT64_MAX rounds up to 2^63, which no int64_t holds.
                return converted;
            }
        } else if (const auto* real = std::any_cast<double>(&object)) {
            if constexpr (std::is_floating_point_v<T>) {
                return static_cast<T>(*real);
            } else if (std::isfinite(*real) && std::trunc(*real) == *real &&
                       *real >= static_cast<double>(std::numeric_limits<T>::min()) &&
                       *real < std::ldexp(1.0, std::numeric_limits<T>::digits)) {
                return static_cast<T>(*real);
            }
        }
    }
    return std::nullopt;
}

} // namespace detail

/// A process-wide notification centre: posting delivers synchronously, on the posting thread, to
/// every subscriber of the name that exists at that moment. Safe to use from several threads.
class NotificationCenter {
public:
    /// The process's centre.
    static NotificationCenter& defaultCenter();

    /// Posts `name` carrying `object` (may be empty) from the value whose identity is `sender`.
    void post(const NotificationName& name, std::any object = {}, const void* sender = nullptr);
    /// Notifications of `name`; with a non-null `sender`, only those whose value is that object.
    rx::Publisher<Notification> publisher(const NotificationName& name,
                                          const void* sender = nullptr);

private:
    rx::PassthroughSubject<Notification> subject(const std::string& name);

    std::mutex m_mutex;
    std::unordered_map<std::string, rx::PassthroughSubject<Notification>> m_subjects;
};

/// Posts `name` with no value.
void send(const NotificationName& name);

/// Posts `name` carrying `value`; a shared object (e.g. `std::shared_ptr`) also carries its
/// identity, for subscribers that filter by sender.
template <class T>
void send(const NotificationName& name, T&& value) {
    const void* identity = detail::identityOf(value);
    NotificationCenter::defaultCenter().post(name, detail::normalisedObject(std::forward<T>(value)),
                                             identity);
}

/// Calls `closure` for each notification of `name` (from `sender` only, when not null).
template <class F>
    requires std::invocable<F&> || std::invocable<F&, const Notification&>
rx::Cancellable sink(const NotificationName& name, const void* sender, F closure) {
    return NotificationCenter::defaultCenter()
        .publisher(name, sender)
        .sink([closure = std::move(closure)](const Notification& notification) mutable {
            if constexpr (std::invocable<F&, const Notification&>) {
                closure(notification);
            } else {
                closure();
            }
        });
}

/// Calls `closure` with the value of each notification of `name` that carries a `T`;
/// notifications without a value or with a value of another type are skipped.
template <class T, class F>
    requires std::invocable<F&, const T&>
rx::Cancellable sinkValue(const NotificationName& name, const void* sender, F closure) {
    return NotificationCenter::defaultCenter()
        .publisher(name, sender)
        .sink([closure = std::move(closure)](const Notification& notification) mutable {
            if (auto value = detail::objectAs<T>(notification.object)) {
                closure(*value);
            }
        });
}

/// A notification name that can be posted and observed directly.
class VtRxNotification {
public:
    /// The notification named `name`.
    explicit VtRxNotification(std::string name) : m_name{std::move(name)} {}
    /// The notification with the name `name`.
    explicit VtRxNotification(NotificationName name) : m_name(std::move(name)) {}
    /// The notification named by the literal `name`.
    VtRxNotification(const char* name) : m_name{name} {}

    /// The name.
    const NotificationName& name() const noexcept { return m_name; }
    /// Posts with no value.
    void send() const { core::send(m_name); }
    /// Posts carrying `value`.
    template <class T>
    void send(T&& value) const {
        core::send(m_name, std::forward<T>(value));
    }
    /// Calls `closure` (with or without the notification) for each post.
    template <class F>
    rx::Cancellable sink(const void* sender, F closure) const {
        return core::sink(m_name, sender, std::move(closure));
    }
    /// Calls `closure` with each posted value that is a `T`.
    template <class T, class F>
    rx::Cancellable sinkValue(const void* sender, F closure) const {
        return core::sinkValue<T>(m_name, sender, std::move(closure));
    }

private:
    NotificationName m_name;
};

} // namespace core
