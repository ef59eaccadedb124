#pragma once

#include "core/collection.hpp"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// Containers that change how their elements are owned. Nothing here locks: a shared box is
// meant for one thread at a time.

namespace core {

/// One object held without keeping it alive.
template <class Element>
class VtWeakBox {
public:
    /// Holds `object` (possibly null) weakly.
    explicit VtWeakBox(const std::shared_ptr<Element>& object = nullptr) : m_object(object) {}
    /// The object while something else keeps it alive, else null.
    std::shared_ptr<Element> unbox() const noexcept { return m_object.lock(); }

private:
    std::weak_ptr<Element> m_object;
};

namespace detail {

/// What a box holds: a weak box's current object, a reference box's value.
template <class Box>
struct BoxContent;

template <class Element>
struct BoxContent<VtWeakBox<Element>> {
    static std::shared_ptr<Element> get(const VtWeakBox<Element>& box) { return box.unbox(); }
};

template <class Box>
decltype(auto) unboxed(const Box& box) {
    return BoxContent<Box>::get(box);
}

/// A random-access iterator over boxes that yields what each box holds.
template <class Base>
class UnboxingIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using reference = decltype(unboxed(*std::declval<Base>()));
    using value_type = std::remove_cvref_t<reference>;
    using difference_type = std::ptrdiff_t;
    using pointer = void;

    UnboxingIterator() = default;
    /// Iterates from `it`.
    explicit UnboxingIterator(Base it) : m_it(it) {}

    reference operator*() const { return unboxed(*m_it); }
    auto operator->() const
        requires std::is_lvalue_reference_v<reference>
    {
        return &unboxed(*m_it);
    }
    UnboxingIterator& operator++() {
        ++m_it;
        return *this;
    }
    UnboxingIterator operator++(int) { return UnboxingIterator(m_it++); }
    UnboxingIterator& operator--() {
        --m_it;
        return *this;
    }
    UnboxingIterator operator--(int) { return UnboxingIterator(m_it--); }
    UnboxingIterator& operator+=(difference_type n) {
        m_it += n;
        return *this;
    }
    UnboxingIterator& operator-=(difference_type n) {
        m_it -= n;
        return *this;
    }
    friend UnboxingIterator operator+(UnboxingIterator it, difference_type n) { return it += n; }
    friend UnboxingIterator operator+(difference_type n, UnboxingIterator it) { return it += n; }
    friend UnboxingIterator operator-(UnboxingIterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const UnboxingIterator& a, const UnboxingIterator& b) {
        return a.m_it - b.m_it;
    }
    reference operator[](difference_type n) const { return unboxed(m_it[n]); }
    friend auto operator<=>(const UnboxingIterator&, const UnboxingIterator&) = default;

private:
    Base m_it{};
};

} // namespace detail

/// An ordered list of weakly held objects. Entries whose objects have gone stay in place: they
/// still count and read as null.
template <class Element>
class VtWeakArray {
public:
    /// Reads each entry's current object (null once gone).
    using const_iterator =
        detail::UnboxingIterator<typename std::vector<VtWeakBox<Element>>::const_iterator>;
    using iterator = const_iterator;
    using value_type = std::shared_ptr<Element>;

    /// An empty list.
    VtWeakArray() = default;
    /// One weak entry per object, in order.
    explicit VtWeakArray(const std::vector<std::shared_ptr<Element>>& objects) {
        m_items.reserve(objects.size());
        for (const auto& object : objects) {
            m_items.emplace_back(object);
        }
    }
    /// One weak entry per listed object (nulls allowed), in order.
    VtWeakArray(std::initializer_list<std::shared_ptr<Element>> objects)
        : VtWeakArray(std::vector<std::shared_ptr<Element>>(objects)) {}

    /// The number of entries, gone objects included.
    std::size_t size() const noexcept { return m_items.size(); }
    /// True when there are no entries.
    bool empty() const noexcept { return m_items.empty(); }
    /// The object at `position` (null once gone); the position must be below `size()`.
    std::shared_ptr<Element> operator[](std::size_t position) const {
        return m_items[position].unbox();
    }
    /// The first entry's object; null when empty or gone.
    std::shared_ptr<Element> firstElement() const {
        return m_items.empty() ? nullptr : m_items.front().unbox();
    }
    /// The last entry's object; null when empty or gone.
    std::shared_ptr<Element> lastElement() const {
        return m_items.empty() ? nullptr : m_items.back().unbox();
    }
    /// Adds a weak entry for `object` (possibly null) at the end.
    void append(const std::shared_ptr<Element>& object) { m_items.emplace_back(object); }
    /// Inserts a weak entry for `object` at `position` (0 ... size(), both included).
    void insert(const std::shared_ptr<Element>& object, std::size_t position) {
        // Appending and rotating (rather than vector::insert) keeps GCC 12's -O3
        // null-dereference analysis from a false alarm inside libstdc++.
        m_items.emplace_back(object);
        std::rotate(m_items.begin() + static_cast<std::ptrdiff_t>(position), m_items.end() - 1,
                    m_items.end());
    }
    /// Removes the first entry whose current object (null once gone) satisfies `pred`.
    template <class Pred>
    void removeFirst(Pred pred) {
        core::removeFirst(m_items, [&](const VtWeakBox<Element>& box) {
            return static_cast<bool>(pred(box.unbox()));
        });
    }
    /// Removes every entry and releases the storage.
    void removeAll() {
        m_items.clear();
        m_items.shrink_to_fit();
    }

    const_iterator begin() const { return const_iterator(m_items.begin()); }
    const_iterator end() const { return const_iterator(m_items.end()); }

private:
    std::vector<VtWeakBox<Element>> m_items;
};

/// A value shared by every copy of the box: a write through one copy is seen by all.
template <class Value>
class VtRefrenceBox {
public:
    /// A new box holding `value`.
    explicit VtRefrenceBox(Value value) : m_value(std::make_shared<Value>(std::move(value))) {}

    /// The shared value.
    const Value& get() const noexcept { return *m_value; }
    /// Replaces the shared value.
    void set(Value value) const { *m_value = std::move(value); }
    /// Changes the shared value in place.
    template <class F>
    void modify(F&& change) const {
        std::forward<F>(change)(*m_value);
    }

private:
    std::shared_ptr<Value> m_value;
};

namespace detail {
template <class Value>
struct BoxContent<VtRefrenceBox<Value>> {
    static const Value& get(const VtRefrenceBox<Value>& box) { return box.get(); }
};
} // namespace detail

/// An ordered list of shared boxes: copies of the list share the boxes but not later appends.
template <class Value>
class VtRefrenceArray {
public:
    /// Reads each box's value.
    using const_iterator =
        detail::UnboxingIterator<typename std::vector<VtRefrenceBox<Value>>::const_iterator>;
    using iterator = const_iterator;
    using value_type = Value;

    /// An empty list.
    VtRefrenceArray() = default;
    /// One new box per value, in order.
    explicit VtRefrenceArray(const std::vector<Value>& values) {
        m_items.reserve(values.size());
        for (const auto& value : values) {
            m_items.emplace_back(value);
        }
    }
    /// One new box per listed value, in order.
    VtRefrenceArray(std::initializer_list<Value> values)
        : VtRefrenceArray(std::vector<Value>(values)) {}

    /// The number of boxes.
    std::size_t size() const noexcept { return m_items.size(); }
    /// True when there are no boxes.
    bool empty() const noexcept { return m_items.empty(); }
    /// The value of the box at `position`; the position must be below `size()`.
    const Value& operator[](std::size_t position) const { return m_items[position].get(); }
    /// Adds a new box holding a copy of `value` at the end.
    void append(Value value) { m_items.emplace_back(std::move(value)); }

    const_iterator begin() const { return const_iterator(m_items.begin()); }
    const_iterator end() const { return const_iterator(m_items.end()); }

private:
    std::vector<VtRefrenceBox<Value>> m_items;
};

} // namespace core
