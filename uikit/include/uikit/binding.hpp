#pragma once

#include "core/executor.hpp"
#include "core/rx.hpp"

#include <chrono>
#include <cmath>
#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace uikit {

template <class T>
class Binding;

namespace detail {

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

} // namespace detail

/// Turns seconds, as callers give them, into an executor delay: NaN, zero and negative values give
/// zero, and values beyond about 24 days (infinity included) are clamped there.
core::Duration secondsToDuration(double seconds) noexcept;

/// A two-way reference to a value stored elsewhere: reading calls the getter, writing the setter.
/// Copies refer to the same storage. Widgets and view models share state through bindings, and
/// the derivations below adapt one binding to the shape a control needs.
template <class T>
class Binding {
public:
    /// The type of the referenced value.
    using Value = T;
    /// Reads the referenced value.
    using Getter = std::function<T()>;
    /// Writes the referenced value.
    using Setter = std::function<void(const T&)>;

    /// A binding that reads with `get` and writes with `set`; both must be callable.
    Binding(Getter get, Setter set) : m_get(std::move(get)), m_set(std::move(set)) {}

    /// The referenced value, read anew.
    T get() const { return m_get(); }
    /// Writes `value` through the setter.
    void set(const T& value) const { m_set(value); }

    /// Over an optional: true while it holds a value; writing false clears it, writing true does
    /// nothing.
    Binding<bool> toBoolean() const
        requires detail::IsOptional<T>::value
    {
        return toBooleanWith([](const auto& /*wrapped*/) { return true; });
    }

    /// Over an optional: false when empty, else `isTrue(value)`; writes as `toBoolean()`.
    template <class Predicate>
        requires detail::IsOptional<T>::value &&
                 std::is_invocable_r_v<bool, Predicate&, const typename T::value_type&>
    Binding<bool> toBoolean(Predicate isTrue) const {
        return toBooleanWith(std::move(isTrue));
    }

    /// Over an optional of an equatable value: false when empty, else whether the value equals
    /// `expected()`, evaluated anew on each read; writes as `toBoolean()`.
    template <class Expression>
        requires detail::IsOptional<T>::value &&
                 std::is_invocable_r_v<typename T::value_type, Expression&> &&
                 std::equality_comparable<typename T::value_type>
    Binding<bool> toBoolean(Expression expected) const {
        return toBooleanWith(
            [expected = std::move(expected)](const typename T::value_type& value) mutable {
                return value == expected();
            });
    }

    /// Over an optional: reads the value, or `defaultValue` when empty; writing `defaultValue`
    /// clears the optional when `setDefaultToNil`, any other write stores the value.
    template <class U = T>
        requires detail::IsOptional<U>::value && std::equality_comparable<typename U::value_type>
    Binding<typename U::value_type> toSome(typename U::value_type defaultValue,
                                           bool setDefaultToNil) const {
        using W = typename T::value_type;
        auto base = *this;
        return Binding<W>([base, defaultValue] { return base.get().value_or(defaultValue); },
                          [base, defaultValue, setDefaultToNil](const W& value) {
                              if (setDefaultToNil && value == defaultValue) {
                                  base.set(std::nullopt);
                              } else {
                                  base.set(value);
                              }
                          });
    }

    /// An optional view of this binding: reads are always present; writing an empty optional
    /// stores `defaultValue`.
    Binding<std::optional<T>> toOptional(T defaultValue) const {
        auto base = *this;
        return Binding<std::optional<T>>([base] { return std::optional<T>(base.get()); },
                                         [base, defaultValue](const std::optional<T>& value) {
                                             base.set(value.value_or(defaultValue));
                                         });
    }

    /// Over a flag: reads and writes the negation (`not binding`).
    Binding operator!() const
        requires std::same_as<T, bool>
    {
        auto base = *this;
        return Binding([base] { return !base.get(); }, [base](bool value) { base.set(!value); });
    }

    /// Over a floating-point number: reads unchanged, writes the value rounded up to a whole
    /// number (-2.5 is written as -2).
    Binding ceiled() const
        requires std::floating_point<T>
    {
        auto base = *this;
        return Binding([base] { return base.get(); },
                       [base](const T& value) { base.set(std::ceil(value)); });
    }

    /// A binding that records each write at once (and reads it back) but writes this binding
    /// only once `interval` has passed on `scheduler` without another write; it starts from this
    /// binding's value and writes nothing by being created. Pending writes are dropped when the
    /// last copy of the result goes.
    Binding debounced(core::Duration interval, std::shared_ptr<core::Executor> scheduler) const {
        struct Debounce {
            explicit Debounce(T initial) : subject(std::move(initial)) {}
            core::rx::CurrentValueSubject<T> subject;
            core::rx::Cancellable cancellable;
        };
        auto base = *this;
        auto state = std::make_shared<Debounce>(base.get());
        // The subscription captures only the base, so the returned binding alone keeps it alive.
        state->cancellable = state->subject.publisher()
                                 .dropFirst()
                                 .debounce(interval, std::move(scheduler))
                                 .sink([base](const T& value) { base.set(value); });
        return Binding([state] { return state->subject.value(); },
                       [state](const T& value) { state->subject.send(value); });
    }

    /// `debounced` for `seconds` on core's main loop (which must be installed).
    Binding debouncedOnMain(double seconds) const {
        return debounced(secondsToDuration(seconds), core::mainLoop());
    }

private:
    template <class Predicate>
    Binding<bool> toBooleanWith(Predicate isTrue) const {
        auto base = *this;
        auto shared = std::make_shared<Predicate>(std::move(isTrue));
        return Binding<bool>(
            [base, shared] {
                const T value = base.get();
                return value.has_value() && static_cast<bool>((*shared)(*value));
            },
            [base](bool value) {
                if (!value) {
                    base.set(std::nullopt);
                }
            });
    }

    Getter m_get;
    Setter m_set;
};

} // namespace uikit
