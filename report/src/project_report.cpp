#include "report/project_report.hpp"

#include "compensated_sum.hpp"

#include <bit>

namespace report {

double ProjectReport::Value::amount(ValueKind kind) const noexcept {
    const auto cost = kind.costKind();
    if (!cost) {
        return work;
    }
    switch (*cost) {
    case CostKind::all:
        return laborCost + materialsCost;
    case CostKind::laborOnly:
        return laborCost;
    case CostKind::materialsOnly:
        return materialsCost;
    }
    return 0.0;
}

ProjectReport::Value ProjectReport::Value::sum(std::span<const Value> values) {
    detail::CompensatedSum work;
    detail::CompensatedSum labor;
    detail::CompensatedSum materials;
    Value result;
    for (const Value& value : values) {
        work.add(value.work);
        labor.add(value.laborCost);
        materials.add(value.materialsCost);
        result.overloadedDay = result.overloadedDay || value.overloadedDay;
    }
    result.work = work.value();
    result.laborCost = labor.value();
    result.materialsCost = materials.value();
    return result;
}

ProjectReport::Row::Row(std::optional<std::int64_t> memberID, std::string name,
                        std::size_t periodCount)
    : m_memberID(memberID), m_name(std::move(name)), m_periodCount(periodCount),
      m_blocks((periodCount + kBlock - 1) / kBlock) {}

const ProjectReport::Value& ProjectReport::Row::data(std::size_t index) const noexcept {
    static const Value kZero{};
    if (index >= m_periodCount) {
        return kZero;
    }
    const auto& block = m_blocks[index / kBlock];
    return block ? (*block)[index % kBlock] : kZero;
}

std::vector<ProjectReport::Value> ProjectReport::Row::datas() const {
    std::vector<Value> values(m_periodCount);
    for (std::size_t i = 0; i < m_periodCount; ++i) {
        values[i] = data(i);
    }
    return values;
}

ProjectReport::Value& ProjectReport::Row::mutableData(std::size_t index) {
    auto& block = m_blocks[index / kBlock];
    if (!block) {
        block = std::make_unique<std::array<Value, kBlock>>();
    }
    return (*block)[index % kBlock];
}

} // namespace report

namespace {

std::size_t mix(std::size_t seed, std::size_t value) noexcept {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

std::size_t hashMember(std::size_t seed, const std::optional<std::int64_t>& id) noexcept {
    if (!id) {
        return mix(seed, 0);
    }
    return mix(mix(seed, 1), std::hash<std::int64_t>{}(*id));
}

std::size_t hashDate(std::size_t seed, core::Date date) noexcept {
    return mix(seed, std::hash<double>{}(date.timeIntervalSince1970()));
}

} // namespace

std::size_t std::hash<report::ProjectReport::Element>::operator()(
    const report::ProjectReport::Element& element) const noexcept {
    using E = report::ProjectReport::Element;
    std::size_t seed = mix(0, element.payload.index());
    return std::visit(
        [seed](const auto& payload) -> std::size_t {
            using T = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<T, E::Summary>) {
                return mix(seed, std::hash<std::string>{}(payload.text));
            } else if constexpr (std::is_same_v<T, E::Timeline> ||
                                 std::is_same_v<T, E::PeriodSubtotal>) {
                return hashDate(seed, payload.date);
            } else if constexpr (std::is_same_v<T, E::Member> ||
                                 std::is_same_v<T, E::MemberSubtotal>) {
                return mix(hashMember(seed, payload.memberID), payload.row);
            } else {
                return hashDate(mix(hashMember(seed, payload.memberID), payload.row), payload.date);
            }
        },
        element.payload);
}

std::size_t std::hash<report::ProjectReport::ValueKind>::operator()(
    report::ProjectReport::ValueKind kind) const noexcept {
    const auto cost = kind.costKind();
    return cost ? 1 + static_cast<std::size_t>(*cost) : 0;
}
