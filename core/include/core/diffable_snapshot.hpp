#pragma once

#include "core/error.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace core {

/// The error a `DiffableSnapshot` throws when asked to break its uniqueness or to use a section
/// it does not hold.
class SnapshotError : public Error {
public:
    /// The failure cases.
    enum class Code { duplicateSection = 1, duplicateItem = 2, sectionNotFound = 3, tooLarge = 4 };

    /// An error of case `code` with an explanatory message.
    SnapshotError(Code code, std::string message)
        : Error("SnapshotError", static_cast<int>(code), std::move(message)), m_code(code) {}

    /// The failure case.
    Code code() const noexcept { return m_code; }

private:
    Code m_code;
};

/// A plain value holding ordered sections, each with ordered items, where every section and
/// every item occurs at most once in the whole snapshot (compared with `==`, found by hash).
template <class Section, class Item, class SectionHash = std::hash<Section>,
          class ItemHash = std::hash<Item>>
class DiffableSnapshot {
public:
    /// Where an item stands: its section's index and its index inside that section.
    struct Location {
        std::size_t section = 0;
        std::size_t item = 0;
        friend bool operator==(const Location&, const Location&) = default;
    };

    /// The number of sections.
    std::size_t numberOfSections() const noexcept { return m_sections.size(); }

    /// The number of items in all sections.
    std::size_t numberOfItems() const noexcept { return m_itemCount; }

    /// The number of items of `section`; throws `SnapshotError` when the section is absent.
    std::size_t numberOfItems(const Section& section) const {
        return m_items[requireSection(section)].size();
    }

    /// The section identifiers in order.
    const std::vector<Section>& sectionIdentifiers() const noexcept { return m_sections; }

    /// The items of `section` in order; throws `SnapshotError` when the section is absent.
    std::span<const Item> itemIdentifiers(const Section& section) const {
        return m_items[requireSection(section)];
    }

    /// The items of the section at `sectionIndex` (which must be below `numberOfSections()`).
    std::span<const Item> itemsAt(std::size_t sectionIndex) const {
        return m_items.at(sectionIndex);
    }

    /// Every item, section after section, in order.
    std::vector<Item> itemIdentifiers() const {
        std::vector<Item> all;
        all.reserve(m_itemCount);
        for (const auto& items : m_items) {
            all.insert(all.end(), items.begin(), items.end());
        }
        return all;
    }

    /// The index of `section`, or none.
    std::optional<std::size_t> indexOfSection(const Section& section) const {
        for (std::size_t i = 0; i < m_sections.size(); ++i) {
            if (m_sections[i] == section) {
                return i;
            }
        }
        return std::nullopt;
    }

    /// Where `item` stands, or none when the snapshot does not hold it.
    std::optional<Location> locationOfItem(const Item& item) const {
        if (m_slots.empty()) {
            return std::nullopt;
        }
        const std::size_t mask = m_slots.size() - 1;
        const std::uint64_t hash = spread(ItemHash{}(item));
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const Slot& entry = m_slots[slot];
            if (entry.section == kEmpty) {
                return std::nullopt;
            }
            if (entry.hash == hash && m_items[entry.section][entry.item] == item) {
                return Location{entry.section, entry.item};
            }
        }
    }

    /// The identifier of the section holding `item`, or none.
    std::optional<Section> sectionIdentifier(const Item& item) const {
        if (const auto location = locationOfItem(item)) {
            return m_sections[location->section];
        }
        return std::nullopt;
    }

    /// Appends sections at the end; throws `SnapshotError` (and changes nothing) when one is
    /// already present or occurs twice in `sections`.
    void appendSections(const std::vector<Section>& sections) {
        for (std::size_t i = 0; i < sections.size(); ++i) {
            bool repeated = indexOfSection(sections[i]).has_value();
            for (std::size_t j = 0; j < i && !repeated; ++j) {
                repeated = sections[j] == sections[i];
            }
            if (repeated) {
                throw SnapshotError(SnapshotError::Code::duplicateSection,
                                    "A section identifier occurs twice in the snapshot");
            }
        }
        for (const auto& section : sections) {
            m_sections.push_back(section);
            m_items.emplace_back();
        }
    }

    /// Makes room in the uniqueness index for `count` items in all, so that appending them
    /// does not regrow it.
    void reserve(std::size_t count) { reserveSlots(count); }

    /// Appends `items` at the end of `section`; throws `SnapshotError` when the section is absent
    /// or an item is already in the snapshot (items appended before the duplicate stay).
    void appendItems(std::vector<Item> items, const Section& section) {
        const std::size_t sectionIndex = requireSection(section);
        auto& target = m_items[sectionIndex];
        reserveSlots(m_itemCount + items.size());
        if (target.empty()) {
            // Adopt the whole list: a large grid then never copies its items.
            target = std::move(items);
            // Hash a batch ahead and prefetch its slots: the index is far larger than the cache
            // for a big grid, and overlapping the misses makes appending several times faster.
            constexpr std::size_t kBatch = 16;
            std::array<std::uint64_t, kBatch> hashes{};
            const std::size_t mask = m_slots.size() - 1;
            for (std::size_t i = 0; i < target.size(); ++i) {
                if (i % kBatch == 0) {
                    for (std::size_t k = 0; k < kBatch && i + k < target.size(); ++k) {
                        hashes[k] = spread(ItemHash{}(target[i + k]));
                        __builtin_prefetch(&m_slots[hashes[k] & mask]);
                    }
                }
                if (!insertSlot(sectionIndex, i, hashes[i % kBatch])) {
                    for (std::size_t j = 0; j < i; ++j) {
                        eraseSlot(sectionIndex, j);
                    }
                    target.clear();
                    throw SnapshotError(SnapshotError::Code::duplicateItem,
                                        "An item identifier occurs twice in the snapshot");
                }
            }
            m_itemCount += target.size();
            return;
        }
        target.reserve(target.size() + items.size());
        for (auto& item : items) {
            target.push_back(std::move(item));
            if (!insertSlot(sectionIndex, target.size() - 1, spread(ItemHash{}(target.back())))) {
                target.pop_back();
                throw SnapshotError(SnapshotError::Code::duplicateItem,
                                    "An item identifier occurs twice in the snapshot");
            }
            ++m_itemCount;
        }
    }

    /// Appends `items` at the end of the last section; throws `SnapshotError` when there is none
    /// or an item is already in the snapshot.
    void appendItems(std::vector<Item> items) {
        if (m_sections.empty()) {
            throw SnapshotError(SnapshotError::Code::sectionNotFound,
                                "The snapshot holds no section to append items to");
        }
        appendItems(std::move(items), m_sections.back());
    }

    /// Equal when both hold the same sections and items in the same order.
    friend bool operator==(const DiffableSnapshot& a, const DiffableSnapshot& b) {
        return a.m_sections == b.m_sections && a.m_items == b.m_items;
    }

private:
    static constexpr std::uint32_t kEmpty = 0xffffffffU;

    // A slot keeps the item's full hash, so growing the index and most failed comparisons never
    // touch the items themselves (which, for a large grid, would miss the cache every time).
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t section = kEmpty;
        std::uint32_t item = 0;
    };

    // A user hash may leave its low bits poor (identity hashes of integers, hashes of
    // multiples); the slots use the low bits, so mix every bit into them first.
    static std::uint64_t spread(std::size_t hash) noexcept {
        std::uint64_t x = static_cast<std::uint64_t>(hash) + 0x9e3779b97f4a7c15ULL;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
        return x ^ (x >> 31);
    }

    std::size_t requireSection(const Section& section) const {
        if (const auto index = indexOfSection(section)) {
            return *index;
        }
        throw SnapshotError(SnapshotError::Code::sectionNotFound,
                            "The snapshot holds no such section");
    }

    void reserveSlots(std::size_t count) {
        std::size_t wanted = 16;
        while (wanted < count + count / 2) {
            wanted *= 2;
        }
        if (wanted <= m_slots.size()) {
            return;
        }
        std::vector<Slot> old(wanted);
        old.swap(m_slots);
        const std::size_t mask = m_slots.size() - 1;
        for (const Slot& entry : old) {
            if (entry.section == kEmpty) {
                continue;
            }
            std::size_t slot = entry.hash & mask;
            while (m_slots[slot].section != kEmpty) {
                slot = (slot + 1) & mask;
            }
            m_slots[slot] = entry;
        }
    }

    bool insertSlot(std::size_t section, std::size_t index, std::uint64_t hash) {
        if (section >= kEmpty || index > kEmpty) {
            throw SnapshotError(SnapshotError::Code::tooLarge, "The snapshot cannot hold more");
        }
        const Item& item = m_items[section][index];
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = hash & mask;
        while (m_slots[slot].section != kEmpty) {
            const Slot& entry = m_slots[slot];
            if (entry.hash == hash && m_items[entry.section][entry.item] == item) {
                return false;
            }
            slot = (slot + 1) & mask;
        }
        m_slots[slot] = {hash, static_cast<std::uint32_t>(section),
                         static_cast<std::uint32_t>(index)};
        return true;
    }

    // Removes the slot of the item at (section, index); the following cluster is re-placed so
    // that probing stays correct.
    void eraseSlot(std::size_t section, std::size_t index) {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = spread(ItemHash{}(m_items[section][index])) & mask;
        while (m_slots[slot].section != section || m_slots[slot].item != index) {
            slot = (slot + 1) & mask;
        }
        m_slots[slot] = Slot{};
        for (std::size_t next = (slot + 1) & mask; m_slots[next].section != kEmpty;
             next = (next + 1) & mask) {
            const Slot moved = m_slots[next];
            m_slots[next] = Slot{};
            std::size_t place = moved.hash & mask;
            while (m_slots[place].section != kEmpty) {
                place = (place + 1) & mask;
            }
            m_slots[place] = moved;
        }
    }

    std::vector<Section> m_sections;
    std::vector<std::vector<Item>> m_items;
    std::vector<Slot> m_slots;
    std::size_t m_itemCount = 0;
};

} // namespace core
