#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace algorithm {

/// A first-in-first-out queue whose members may be called from any thread; each member is atomic,
/// a sequence of members is not.
template <class T>
class VtQueue {
public:
    /// An empty queue.
    VtQueue() = default;
    VtQueue(const VtQueue&) = delete;
    VtQueue& operator=(const VtQueue&) = delete;
    /// Frees the nodes one by one, so a queue of any length is destroyed without deep recursion.
    ~VtQueue() { releaseChain(std::move(m_top)); }

    /// Appends `value` at the bottom.
    void enqueue(T value) {
        auto node = std::make_unique<Node>(std::move(value));
        const std::scoped_lock lock(m_mutex);
        Node* const added = node.get();
        if (m_top == nullptr) {
            m_top = std::move(node);
        } else {
            m_bottom->next = std::move(node);
        }
        m_bottom = added;
        ++m_count;
    }

    /// Removes and returns the top element; absent when the queue is empty.
    std::optional<T> dequeue() {
        std::unique_ptr<Node> taken;
        {
            const std::scoped_lock lock(m_mutex);
            if (m_top == nullptr) {
                return std::nullopt;
            }
            taken = std::move(m_top);
            m_top = std::move(taken->next);
            if (m_top == nullptr) {
                m_bottom = nullptr;
            }
            --m_count;
        }
        return std::optional<T>(std::move(taken->value));
    }

    /// A copy of the top element; absent when the queue is empty.
    std::optional<T> peek() const {
        const std::scoped_lock lock(m_mutex);
        if (m_top == nullptr) {
            return std::nullopt;
        }
        return m_top->value;
    }

    /// True when the queue holds no element.
    bool isEmpty() const {
        const std::scoped_lock lock(m_mutex);
        return m_top == nullptr;
    }

    /// The number of elements, read in constant time.
    std::int64_t count() const {
        const std::scoped_lock lock(m_mutex);
        return m_count;
    }

private:
    struct Node {
        explicit Node(T v) : value(std::move(v)) {}
        T value;
        std::unique_ptr<Node> next;
    };

    static void releaseChain(std::unique_ptr<Node> node) {
        // Detach each successor before its predecessor dies: a plain unique_ptr chain would
        // recurse once per node in its destructor.
        while (node != nullptr) {
            node = std::move(node->next);
        }
    }

    mutable std::mutex m_mutex;
    std::unique_ptr<Node> m_top;
    Node* m_bottom = nullptr;
    std::int64_t m_count = 0;
};

} // namespace algorithm
