#pragma once

#include <functional>
#include <optional>
#include <utility>

namespace document {

/// A value computed by its initializer on first read, kept afterwards even when absent; not
/// thread-safe.
template <class T>
class LazyLoadingNuallableValue {
public:
    /// Creates a holder that will call `initializer` on the first read.
    explicit LazyLoadingNuallableValue(std::function<std::optional<T>()> initializer)
        : m_initializer(std::move(initializer)) {}

    /// The cached value, computing it first when it has not been computed since the last clear.
    const std::optional<T>& value() {
        if (!m_calculated) {
            m_value = m_initializer ? m_initializer() : std::nullopt;
            m_calculated = true;
        }
        return m_value;
    }

    /// Whether a value (present or absent) is cached.
    bool isCalculated() const noexcept { return m_calculated; }

    /// Forgets the cached value so that the next read computes afresh.
    void clear() {
        m_calculated = false;
        m_value.reset();
    }

private:
    bool m_calculated = false;
    std::optional<T> m_value;
    std::function<std::optional<T>()> m_initializer;
};

/// A value computed by its calculator on first read and cached afterwards; not thread-safe.
template <class T>
class LazyLoadingValue {
public:
    /// Creates a holder that will call `calculator` on the first read.
    explicit LazyLoadingValue(std::function<T()> calculator)
        : m_calculator(std::move(calculator)) {}

    /// The cached value, computing it on the first read.
    const T& value() {
        if (!m_value) {
            m_value = m_calculator();
        }
        return *m_value;
    }

private:
    std::optional<T> m_value;
    std::function<T()> m_calculator;
};

} // namespace document
