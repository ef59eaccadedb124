#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace algorithm {

/// A last-in-first-out stack whose members may be called from any thread; each member is atomic,
/// a sequence of members is not.
template <class T>
class VtStack {
public:
    /// An empty stack.
    VtStack() = default;
    VtStack(const VtStack&) = delete;
    VtStack& operator=(const VtStack&) = delete;
    ~VtStack() = default;

    /// Puts `value` on top.
    void push(T value) {
        const std::scoped_lock lock(m_mutex);
        m_stack.push_back(std::move(value));
    }

    /// Removes and returns the top element; absent when the stack is empty.
    std::optional<T> pop() {
        const std::scoped_lock lock(m_mutex);
        if (m_stack.empty()) {
            return std::nullopt;
        }
        std::optional<T> value(std::move(m_stack.back()));
        m_stack.pop_back();
        return value;
    }

    /// A copy of the top (last pushed) element; absent when empty.
    std::optional<T> top() const {
        const std::scoped_lock lock(m_mutex);
        return m_stack.empty() ? std::nullopt : std::optional<T>(m_stack.back());
    }

    /// A copy of the bottom (first pushed) element; absent when empty.
    std::optional<T> bottom() const {
        const std::scoped_lock lock(m_mutex);
        return m_stack.empty() ? std::nullopt : std::optional<T>(m_stack.front());
    }

    /// True when the stack holds no element.
    bool isEmpty() const {
        const std::scoped_lock lock(m_mutex);
        return m_stack.empty();
    }

    /// The number of elements.
    std::int64_t count() const {
        const std::scoped_lock lock(m_mutex);
        return static_cast<std::int64_t>(m_stack.size());
    }

    /// Removes every element and gives the storage back.
    void clear() {
        // Declared before the lock so the elements are destroyed after it is released.
        std::vector<T> released;
        const std::scoped_lock lock(m_mutex);
        released.swap(m_stack);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<T> m_stack;
};

} // namespace algorithm
