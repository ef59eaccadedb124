#pragma once

#include <cstdint>
#include <optional>

namespace document {

/// The pair form of a task's work as the document stores it: an index and an optional amount.
struct ZozTaskWorkRaw {
    std::int64_t index = 0;
    std::optional<double> unit;
};

/// How a task's work is given: by its members' workloads, as hours per working day, or as a
/// total of hours; a value type.
class ZozTaskWork {
public:
    /// The three ways of giving work, with their raw indexes.
    enum class Kind : std::int64_t { byResource = 0, fixDailyWork = 1, fixAmount = 2 };

    /// Work carried by the assigned members' workloads (the default of a new task).
    constexpr ZozTaskWork() = default;
    /// Work derived from the assignments.
    static constexpr ZozTaskWork byResource() { return {}; }
    /// `hours` on each working day of the task.
    static constexpr ZozTaskWork fixDailyWork(double hours) {
        return ZozTaskWork(Kind::fixDailyWork, hours);
    }
    /// `hours` for the whole task.
    static constexpr ZozTaskWork fixAmount(double hours) {
        return ZozTaskWork(Kind::fixAmount, hours);
    }

    /// The case of this work.
    constexpr Kind kind() const noexcept { return m_kind; }
    /// The hours of a fixed case; 0 for `byResource`.
    constexpr double amount() const noexcept { return m_amount; }
    /// True for `byResource`.
    constexpr bool isByResource() const noexcept { return m_kind == Kind::byResource; }
    /// True for `fixDailyWork`.
    constexpr bool isFixDailyWork() const noexcept { return m_kind == Kind::fixDailyWork; }
    /// True for `fixAmount`.
    constexpr bool isFixAmount() const noexcept { return m_kind == Kind::fixAmount; }

    /// The pair form: (1, h), (2, a) or (0, absent).
    ZozTaskWorkRaw raw() const;
    /// Whether the pair form names this work; `byResource` ignores the amount, a fixed case needs
    /// a present amount that compares equal.
    bool isEqual(const ZozTaskWorkRaw& raw) const;
    /// Index 1 gives `fixDailyWork(unit)`, 2 gives `fixAmount(unit)`, any other `byResource`.
    static ZozTaskWork fromRawData(std::int64_t index, double unit);

    /// Same case and same amount.
    friend constexpr bool operator==(const ZozTaskWork&, const ZozTaskWork&) = default;

private:
    constexpr ZozTaskWork(Kind kind, double amount) : m_kind(kind), m_amount(amount) {}

    Kind m_kind = Kind::byResource;
    double m_amount = 0.0;
};

} // namespace document
