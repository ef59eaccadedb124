#pragma once

#include "core/date.hpp"
#include "report/period.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace document {
class ZozProject;
class ZozTaskResources;
} // namespace document

namespace report {

namespace detail {
class ReportBuilder;
}

/// The computed resource report of one project: per team member (plus the row "--- not
/// assigned ---") and per period, the work hours and the labour and materials costs.
/// Immutable once built; share it as `std::shared_ptr<const ProjectReport>`.
class ProjectReport {
public:
    using Period = report::Period;

    /// Which cost a cost report shows.
    enum class CostKind { all = 0, laborOnly = 1, materialsOnly = 2 };

    /// What the cells show: work hours, or one kind of cost.
    class ValueKind {
    public:
        /// Work hours.
        static constexpr ValueKind work() noexcept { return ValueKind(false, CostKind::all); }
        /// The cost of `kind`.
        static constexpr ValueKind cost(CostKind kind) noexcept { return ValueKind(true, kind); }
        /// True for work hours.
        constexpr bool isWork() const noexcept { return !m_isCost; }
        /// True for a cost kind.
        constexpr bool isCost() const noexcept { return m_isCost; }
        /// The cost kind of a cost, none for work.
        constexpr std::optional<CostKind> costKind() const noexcept {
            return m_isCost ? std::optional<CostKind>(m_costKind) : std::nullopt;
        }
        /// Equal when both are work, or both costs of the same kind.
        friend constexpr bool operator==(ValueKind, ValueKind) noexcept = default;

    private:
        constexpr ValueKind(bool isCost, CostKind costKind)
            : m_isCost(isCost), m_costKind(costKind) {}
        bool m_isCost;
        CostKind m_costKind;
    };

    /// The amounts of one cell (or of a total).
    struct Value {
        /// Work hours: the sum of the cell's hour contributions in the order they were added.
        double work = 0.0;
        /// Labour cost in the project's currency.
        double laborCost = 0.0;
        /// Materials cost in the project's currency.
        double materialsCost = 0.0;
        /// True when, on some day of the cell, the row's hours of that day exceed that day's
        /// available hours (the daily working hours on a working day, 0 on any other day).
        bool overloadedDay = false;

        /// The amount `kind` selects: work, labour + materials, labour or materials.
        double amount(ValueKind kind) const noexcept;
        /// The field-wise sum of `values` (compensated, so rounding does not build up), the
        /// overloaded flag set when any input's is; the zero value for an empty list.
        static Value sum(std::span<const Value> values);

        friend bool operator==(const Value&, const Value&) = default;
    };

    /// One row of the report: a team member, or "--- not assigned ---" (no member id, last).
    class Row {
    public:
        /// The member's id; none only on the row "--- not assigned ---".
        const std::optional<std::int64_t>& memberID() const noexcept { return m_memberID; }
        /// The member's name, or "--- not assigned ---".
        const std::string& name() const noexcept { return m_name; }
        /// The number of periods (equal to the report's timeline length).
        std::size_t periodCount() const noexcept { return m_periodCount; }
        /// The value of period `index` (the zero value for a period the row never received).
        const Value& data(std::size_t index) const noexcept;
        /// Every period's value in order (a copy; prefer `data` on large reports).
        std::vector<Value> datas() const;
        /// The sum of the row's values over all periods.
        const Value& total() const noexcept { return m_total; }

    private:
        friend class detail::ReportBuilder;
        static constexpr std::size_t kBlock = 32;
        Row(std::optional<std::int64_t> memberID, std::string name, std::size_t periodCount);
        Value& mutableData(std::size_t index);

        std::optional<std::int64_t> m_memberID;
        std::string m_name;
        std::size_t m_periodCount = 0;
        // Periods are stored in blocks allocated on first write, so a long daily span with few
        // busy members stays small.
        std::vector<std::unique_ptr<std::array<Value, kBlock>>> m_blocks;
        Value m_total;
    };

    /// One column of the report: its period, the sum of all rows in it, and the hours its
    /// working days offer one full-time member.
    struct TimelineCellInfo {
        Period period;
        Value total;
        /// The daily working hours times the number of working days of the column.
        double availableHours = 0.0;
    };

    /// The identifier of one item of the report grid; items are told apart by their place
    /// (row index, period date), so duplicate member ids never make two items equal.
    struct Element {
        /// The top-left cell: the grand total's text.
        struct Summary {
            std::string text;
            friend bool operator==(const Summary&, const Summary&) = default;
        };
        /// A period title.
        struct Timeline {
            core::Date date;
            std::string text;
            friend bool operator==(const Timeline&, const Timeline&) = default;
        };
        /// A period's total.
        struct PeriodSubtotal {
            core::Date date;
            std::string text;
            friend bool operator==(const PeriodSubtotal&, const PeriodSubtotal&) = default;
        };
        /// A row's name.
        struct Member {
            std::size_t row = 0;
            std::optional<std::int64_t> memberID;
            std::string name;
            friend bool operator==(const Member&, const Member&) = default;
        };
        /// A row's total.
        struct MemberSubtotal {
            std::size_t row = 0;
            std::optional<std::int64_t> memberID;
            std::string text;
            friend bool operator==(const MemberSubtotal&, const MemberSubtotal&) = default;
        };
        /// One row's amount in one period, with its exceed mark.
        struct Value {
            std::size_t row = 0;
            std::optional<std::int64_t> memberID;
            core::Date date;
            std::string text;
            bool exceed = false;
            friend bool operator==(const Value&, const Value&) = default;
        };

        std::variant<Summary, Timeline, PeriodSubtotal, Member, MemberSubtotal, Value> payload;

        /// Equal when of the same case with equal payloads (texts and exceed marks included).
        friend bool operator==(const Element&, const Element&) = default;
    };

    /// The text of the row that carries work and cost no member carries.
    static constexpr const char* kNotAssignedName = "--- not assigned ---";

    /// The most cells (rows times columns) a report is built with; a larger one would need
    /// memory out of all proportion to the document it comes from.
    static constexpr std::size_t kMaxCells = 5'000'000;

    /// Builds the report of `project` with columns of `kind` in the current calendar; never
    /// throws for bad project data (out-of-span and non-finite contributions are dropped and
    /// logged). A report of more than `kMaxCells` cells is not built: the result is then
    /// `isTooLarge()`, with no columns, rows or amounts. Reads the project (whose getters fill
    /// caches) and changes nothing in it, so no other thread may change it meanwhile.
    static std::shared_ptr<const ProjectReport> make(Period::Kind kind,
                                                     document::ZozProject& project);

    /// The grand total: the sum of the period totals.
    const Value& total() const noexcept { return m_total; }
    /// One entry per column, in time order; empty only when `isTooLarge()`.
    const std::vector<TimelineCellInfo>& timeline() const noexcept { return m_timeline; }
    /// The team's rows in team order, then "--- not assigned ---"; empty when `isTooLarge()`.
    const std::vector<Row>& rows() const noexcept { return m_rows; }
    /// True when the report's rows times columns exceed `kMaxCells`, so that it was not built.
    bool isTooLarge() const noexcept { return m_cellCount > kMaxCells; }
    /// The report's rows times columns (also when it was too large to build).
    std::size_t cellCount() const noexcept { return m_cellCount; }
    /// The column kind the report was built with.
    Period::Kind periodKind() const noexcept { return m_kind; }
    /// The project's daily working hours when the report was built.
    double dailyWorkingHours() const noexcept { return m_dailyWorkingHours; }
    /// The number of contributions dropped because their day fell outside the timeline.
    std::size_t droppedContributions() const noexcept { return m_dropped; }

private:
    friend class detail::ReportBuilder;
    ProjectReport() = default;

    Value m_total;
    std::vector<TimelineCellInfo> m_timeline;
    std::vector<Row> m_rows;
    Period::Kind m_kind = Period::Kind::day;
    double m_dailyWorkingHours = 8.0;
    std::size_t m_dropped = 0;
    std::size_t m_cellCount = 0;
};

/// The sum over `resources`' assignments, in order from 0.0, of the member's cost rate times the
/// workload; 0.0 without assignments.
double assignedCostRateSum(const document::ZozTaskResources& resources);

} // namespace report

/// Hashes the case, then the identity fields (row index and dates; never texts or marks).
template <>
struct std::hash<report::ProjectReport::Element> {
    std::size_t operator()(const report::ProjectReport::Element& element) const noexcept;
};

/// Hashes the case and the cost kind.
template <>
struct std::hash<report::ProjectReport::ValueKind> {
    std::size_t operator()(report::ProjectReport::ValueKind kind) const noexcept;
};
