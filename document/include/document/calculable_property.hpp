#pragma once

#include <optional>
#include <utility>

namespace document {

/// A task value that a group computes from its children: the stored value, the cached result of
/// the group's calculator and a request flag. The calculator is passed in by the owning task at
/// each read, so the holder carries no reference back to it. Not thread-safe.
template <class T>
class CalculableProperty {
public:
    /// A holder with `stored` as its stored value and nothing cached.
    explicit CalculableProperty(T stored) : m_storedValue(std::move(stored)) {}

    /// The value set through the task's setters or read from the document.
    const T& storedValue() const noexcept { return m_storedValue; }
    /// Mutable access to the stored value.
    T& storedValue() noexcept { return m_storedValue; }
    /// The cached calculator result, if any.
    const std::optional<T>& calculatedValue() const noexcept { return m_calculatedValue; }
    /// Whether a recomputation has been requested.
    bool isRequestCalculating() const noexcept { return m_requestCalculating; }
    /// Whether the next read runs the calculator (nothing cached, or a request pending).
    bool needsCalculating() const noexcept { return !m_calculatedValue || m_requestCalculating; }
    /// Marks the cache out of date; the next read recalculates.
    void requestCalculating() noexcept { m_requestCalculating = true; }

    /// The cached result, running `calculator` (returning `std::optional<T>`) first when
    /// needed; the stored value when the calculator gives none.
    template <class F>
    const T& value(F&& calculator) {
        if (needsCalculating()) {
            recalculate(std::forward<F>(calculator));
        }
        return m_calculatedValue ? *m_calculatedValue : m_storedValue;
    }

    /// Runs `calculator` now, caches its result and clears the request.
    template <class F>
    void recalculate(F&& calculator) {
        m_calculatedValue = std::forward<F>(calculator)();
        m_requestCalculating = false;
    }

private:
    T m_storedValue;
    std::optional<T> m_calculatedValue;
    bool m_requestCalculating = false;
};

} // namespace document
