#pragma once

#include "report/report_render.hpp"

#include <unicode/datefmt.h>

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

// Period titles with date formatters made for one render pass (ICU date formatters are not
// safe to share between threads).
class TitleMaker {
public:
    explicit TitleMaker(const ReportRender& render);
    ~TitleMaker();
    TitleMaker(const TitleMaker&) = delete;
    TitleMaker& operator=(const TitleMaker&) = delete;
    std::string title(const Period& period) const;

private:
    std::string formatDate(const std::unique_ptr<icu::DateFormat>& format, core::Date date) const;

    const ReportRender& m_render;
    std::unique_ptr<icu::DateFormat> m_day;
    std::unique_ptr<icu::DateFormat> m_month;
};

} // namespace report::detail
