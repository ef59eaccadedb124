#pragma once

#include <cstdint>
#include <optional>

namespace document {

/// The pair form of a labour cost: index 0 for automatic, 1 for fixed, with the fixed amount.
struct ZozTaskLaborCostRaw {
    std::int64_t index = 0;
    std::optional<double> unit;
};

/// A task's labour cost: a fixed total, or automatic (work times cost rate); a value type.
class ZozTaskLaborCost {
public:
    /// An automatic labour cost.
    constexpr ZozTaskLaborCost() = default;
    /// An automatic labour cost (`auto` in the document's terms).
    static constexpr ZozTaskLaborCost automatic() { return {}; }
    /// A fixed labour cost of `amount` (0 included).
    static constexpr ZozTaskLaborCost fix(double amount) { return ZozTaskLaborCost(true, amount); }

    /// True for a fixed cost.
    constexpr bool isFix() const noexcept { return m_fixed; }
    /// The fixed amount; 0 for an automatic cost.
    constexpr double amount() const noexcept { return m_amount; }
    /// The pair form: (1, x) or (0, absent).
    ZozTaskLaborCostRaw raw() const;
    /// Automatic matches index 0 whatever the amount; fixed needs index 1 and an equal amount.
    bool isEqual(const ZozTaskLaborCostRaw& raw) const;
    /// Index 1 gives `fix(unit)`, every other index automatic.
    static ZozTaskLaborCost fromRawData(std::int64_t index, double unit);

    /// Same case and same amount.
    friend constexpr bool operator==(const ZozTaskLaborCost&, const ZozTaskLaborCost&) = default;

private:
    constexpr ZozTaskLaborCost(bool fixed, double amount) : m_fixed(fixed), m_amount(amount) {}

    bool m_fixed = false;
    double m_amount = 0.0;
};

/// A task's stored cost: labour cost and optional materials cost; a value type, so a copy never
/// changes with its source.
struct ZozTaskCost {
    /// The labour cost choice.
    ZozTaskLaborCost laborCost;
    /// The materials cost; absent when none was entered (read as 0).
    std::optional<double> materialsCost;

    /// Same labour cost and same materials cost.
    friend bool operator==(const ZozTaskCost&, const ZozTaskCost&) = default;
};

} // namespace document
