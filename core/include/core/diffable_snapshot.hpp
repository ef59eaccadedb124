#pragma once

#include "core/error.hpp"

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
    enum class Code { duplicateSection = 1, duplicateItem = 2, sectionNotFound = 3 };

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
        for (std::size_t slot = ItemHash{}(item)&mask;; slot = (slot + 1) & mask) {
            const std::uint64_t entry = m_slots[slot];
            if (entry == 0) {
                return std::nullopt;
            }
            const Location location = decode(entry);
            if (m_items[location.section][location.item] == item) {
                return location;
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

    /// Appends `items` at the end of `section`; throws `SnapshotError` when the section is absent
    /// or an item is already in the snapshot (items appended before the duplicate stay).
    void appendItems(std::vector<Item> items, const Section& section) {
        const std::size_t sectionIndex = requireSection(section);
        auto& target = m_items[sectionIndex];
        target.reserve(target.size() + items.size());
        reserveSlots(m_itemCount + items.size());
        for (auto& item : items) {
            target.push_back(std::move(item));
            if (!insertSlot(sectionIndex, target.size() - 1)) {
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
    static std::uint64_t encode(std::size_t section, std::size_t item) {
        return ((static_cast<std::uint64_t>(section) << 32) | static_cast<std::uint64_t>(item)) + 1;
    }
    static Location decode(std::uint64_t entry) {
        const std::uint64_t value = entry - 1;
        return {static_cast<std::size_t>(value >> 32),
                static_cast<std::size_t>(value & 0xffffffffU)};
    }

    std::size_t requireSection(const Section& section) const {
        if (const auto index = indexOfSection(section)) {
            return *index;
        }
        throw SnapshotError(SnapshotError::Code::sectionNotFound,
                            "The snapshot holds no such section");
    }

    // Open addressing over item positions keeps the uniqueness index at 8 bytes a slot, so a
    // snapshot of half a million cells does not double its size for the index.
    void reserveSlots(std::size_t count) {
        std::size_t wanted = 16;
        while (wanted < count * 2) {
            wanted *= 2;
        }
        if (wanted <= m_slots.size()) {
            return;
        }
        std::vector<std::uint64_t> old(wanted, 0);
        old.swap(m_slots);
        const std::size_t mask = m_slots.size() - 1;
        for (const std::uint64_t entry : old) {
            if (entry == 0) {
                continue;
            }
            const Location location = decode(entry);
            std::size_t slot = ItemHash{}(m_items[location.section][location.item]) & mask;
            while (m_slots[slot] != 0) {
                slot = (slot + 1) & mask;
            }
            m_slots[slot] = entry;
        }
    }

    bool insertSlot(std::size_t section, std::size_t index) {
        const Item& item = m_items[section][index];
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = ItemHash{}(item)&mask;
        while (m_slots[slot] != 0) {
            const Location location = decode(m_slots[slot]);
            if (m_items[location.section][location.item] == item) {
                return false;
            }
            slot = (slot + 1) & mask;
        }
        m_slots[slot] = encode(section, index);
        return true;
    }

    std::vector<Section> m_sections;
    std::vector<std::vector<Item>> m_items;
    std::vector<std::uint64_t> m_slots;
    std::size_t m_itemCount = 0;
};

} // namespace core
