#include "algorithm/vestra_tree_wbs_number.hpp"

#include <limits>

namespace algorithm::VtVestraTree {

namespace {

template <class Json>
void readNodeID(const Json& json, NodeID& id) {
    // nlohmann's own get<int64_t>() would turn 1.5 into 1 and a huge unsigned into garbage.
    if (json.is_number_integer() && !json.is_number_unsigned()) {
        id = NodeID(json.template get<std::int64_t>());
        return;
    }
    if (json.is_number_unsigned()) {
        const auto value = json.template get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            throw nlohmann::detail::out_of_range::create(
                406, "node id " + std::to_string(value) + " is out of range", &json);
        }
        id = NodeID(static_cast<std::int64_t>(value));
        return;
    }
    throw nlohmann::detail::type_error::create(
        302, std::string("type must be an integer, but is ") + json.type_name(), &json);
}

} // namespace

std::string NodeID::debugDescription() const {
    return std::to_string(rawValue);
}

void to_json(nlohmann::json& json, const NodeID& id) {
    json = id.rawValue;
}
void to_json(nlohmann::ordered_json& json, const NodeID& id) {
    json = id.rawValue;
}
void from_json(const nlohmann::json& json, NodeID& id) {
    readNodeID(json, id);
}
void from_json(const nlohmann::ordered_json& json, NodeID& id) {
    readNodeID(json, id);
}

std::optional<WBSNumber> WBSNumber::parent() const {
    if (numbers.empty()) {
        return std::nullopt;
    }
    return WBSNumber{{numbers.begin(), numbers.end() - 1}};
}

WBSNumber WBSNumber::child(std::int64_t index) const {
    WBSNumber result = *this;
    result.numbers.push_back(index);
    return result;
}

WBSNumber WBSNumber::nextSibling() const {
    WBSNumber result = *this;
    if (!result.numbers.empty() &&
        result.numbers.back() < std::numeric_limits<std::int64_t>::max()) {
        ++result.numbers.back();
    }
    return result;
}

std::string WBSNumber::string() const {
    std::string text;
    for (const auto position : numbers) {
        if (!text.empty()) {
            text += '.';
        }
        // The largest position has no successor inside 64 bits; write its text directly.
        text += position == std::numeric_limits<std::int64_t>::max()
                    ? std::string("9223372036854775808")
                    : std::to_string(position + 1);
    }
    return text;
}

std::optional<RelativePosition> WBSNumber::relationShipOnSameLevel(const WBSNumber& other) const {
    if (numbers.size() != other.numbers.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (numbers[i] < other.numbers[i]) {
            return RelativePosition::before;
        }
        if (numbers[i] > other.numbers[i]) {
            return RelativePosition::after;
        }
    }
    return RelativePosition::same;
}

} // namespace algorithm::VtVestraTree

std::size_t std::hash<algorithm::VtVestraTree::WBSNumber>::operator()(
    const algorithm::VtVestraTree::WBSNumber& number) const noexcept {
    std::size_t seed = std::hash<std::size_t>{}(number.numbers.size());
    for (const auto position : number.numbers) {
        seed ^= std::hash<std::int64_t>{}(position) + 0x9e3779b97f4a7c15ULL + (seed << 6U) +
                (seed >> 2U);
    }
    return seed;
}
