#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace report {

/// Writes grids of cell texts as comma-separated text: fields joined by ",", every line (the
/// last included) ended by "\n", a field quoted when it holds a comma, quote, semicolon, CR or LF.
struct CsvWriter {
    /// The text of `rows` lines of `columns` fields each, asking `cellString(line, column)` for
    /// every field in order; zero lines give the empty text.
    std::string csv(std::size_t rows, std::size_t columns,
                    const std::function<std::string(std::size_t, std::size_t)>& cellString) const;

    /// The text of `table`, one line per inner list.
    std::string csv(const std::vector<std::vector<std::string>>& table) const;

    /// Appends the field that stands for `text` to `out`: empty for an empty text, quotes
    /// doubled, and the whole quoted when it holds a comma, quote, semicolon, CR or LF.
    static void appendField(std::string& out, std::string_view text);
};

/// The shortest text that reads back as `value`, laid out as "12.5", "0.0", "-0.0", "1e-05",
/// "1e+16", "nan", "inf" or "-inf": exponential below 1e-4 and above 2^53 in magnitude.
std::string shortestText(double value);

/// `name` made safe for a spreadsheet cell: a leading "'" when it starts with "=", "+", "-",
/// "@", a tab or a carriage return, so that no spreadsheet runs it as a formula.
std::string spreadsheetSafeName(std::string_view name);

} // namespace report
