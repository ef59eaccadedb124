#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace algorithm::VtVestraTree {

/// Identifies a node of a value tree: the index of the slot holding it (the root lives at 0).
struct NodeID {
    /// The slot index; any value, negative included, makes an id.
    std::int64_t rawValue = 0;

    /// The id whose raw value is 0.
    constexpr NodeID() = default;
    /// The id with the given raw value.
    constexpr explicit NodeID(std::int64_t raw) noexcept : rawValue(raw) {}

    /// The raw value in decimal, nothing else.
    std::string debugDescription() const;

    /// Equal when the raw values are equal.
    friend constexpr bool operator==(NodeID, NodeID) noexcept = default;
};

/// Writes the id as a bare JSON integer.
void to_json(nlohmann::json& json, const NodeID& id);
/// Writes the id as a bare JSON integer.
void to_json(nlohmann::ordered_json& json, const NodeID& id);
/// Reads a bare JSON integer; anything else (a fraction included) throws nlohmann's type_error,
/// an integer outside 64 bits its out_of_range.
void from_json(const nlohmann::json& json, NodeID& id);
/// Reads a bare JSON integer, as the `nlohmann::json` form does.
void from_json(const nlohmann::ordered_json& json, NodeID& id);

/// Where one outline position stands relative to another on the same level.
enum class RelativePosition { before, same, after };

/// An outline position: the 0-based index among the parent's children at each level, from the
/// first level down; the root's number is empty.
struct WBSNumber {
    /// The positions, first level first.
    std::vector<std::int64_t> numbers;

    /// The root's number (empty).
    static WBSNumber root() { return {}; }

    /// The number of levels (0 for the root).
    std::int64_t level() const noexcept { return static_cast<std::int64_t>(numbers.size()); }
    /// True for the root's (empty) number.
    bool isRoot() const noexcept { return numbers.empty(); }
    /// True for the root's (empty) number.
    bool isEmpty() const noexcept { return numbers.empty(); }
    /// The last position; 0 for the root.
    std::int64_t indexInParent() const noexcept { return numbers.empty() ? 0 : numbers.back(); }
    /// All positions but the last; absent for the root.
    std::optional<WBSNumber> parent() const;
    /// This number followed by `index` (any value accepted).
    WBSNumber child(std::int64_t index) const;
    /// The same number with its last position raised by one; the root, which has no sibling,
    /// gives the root back.
    WBSNumber nextSibling() const;
    /// Each position plus one, joined by "." ("1.3.2" for 0, 2, 1); empty for the root.
    std::string string() const;
    /// Lexicographic position relative to `other` when both have the same level; absent across
    /// levels.
    std::optional<RelativePosition> relationShipOnSameLevel(const WBSNumber& other) const;

    /// Equal when both lists hold the same positions in order.
    friend bool operator==(const WBSNumber&, const WBSNumber&) = default;
};

} // namespace algorithm::VtVestraTree

/// Hashes an id exactly as its raw integer hashes.
template <>
struct std::hash<algorithm::VtVestraTree::NodeID> {
    std::size_t operator()(const algorithm::VtVestraTree::NodeID& id) const noexcept {
        return std::hash<std::int64_t>{}(id.rawValue);
    }
};

/// Hashes the number of positions, then each position in order.
template <>
struct std::hash<algorithm::VtVestraTree::WBSNumber> {
    std::size_t operator()(const algorithm::VtVestraTree::WBSNumber& number) const noexcept;
};
