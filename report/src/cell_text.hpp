#pragma once

#include "report/report_render.hpp"

#include "core/date_formatter.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace report::detail {

// Formats numbers once per distinct amount in one render pass: a report holds few distinct
// amounts and many cells, and an ICU call costs far more than a hash lookup.
class CellTextMaker {
public:
    CellTextMaker(const ReportRender& render, std::string_view currency, bool withCurrency);
    // The cell text of `amount` (empty for zero when `hideZero`); valid until the maker dies.
    const std::string& text(double amount, bool hideZero);

private:
    const ReportRender& m_render;
    std::string m_currency;
    bool m_withCurrency;
    std::unordered_map<std::uint64_t, std::string> m_memo;
};

// Period titles with date formatters made for one render pass, so that parallel renders never
// wait on each other's formatter lock.
class TitleMaker {
public:
    explicit TitleMaker(const ReportRender& render);
    ~TitleMaker();
    TitleMaker(const TitleMaker&) = delete;
    TitleMaker& operator=(const TitleMaker&) = delete;
    std::string title(const Period& period) const;

private:
    const ReportRender& m_render;
    core::DateFormatter m_day;
    core::DateFormatter m_month;
};

} // namespace report::detail
