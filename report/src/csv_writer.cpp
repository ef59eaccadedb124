#include "report/csv_writer.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace report {

void CsvWriter::appendField(std::string& out, std::string_view text) {
    if (text.empty()) {
        return;
    }
    const bool quoted = text.find_first_of(",\";\r\n") != std::string_view::npos;
    if (!quoted) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (const char c : text) {
        if (c == '"') {
            out.push_back('"');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

std::string
CsvWriter::csv(std::size_t rows, std::size_t columns,
               const std::function<std::string(std::size_t, std::size_t)>& cellString) const {
    std::string out;
    for (std::size_t row = 0; row < rows; ++row) {
        for (std::size_t column = 0; column < columns; ++column) {
            if (column > 0) {
                out.push_back(',');
            }
            appendField(out, cellString(row, column));
        }
        out.push_back('\n');
    }
    return out;
}

std::string CsvWriter::csv(const std::vector<std::vector<std::string>>& table) const {
    std::string out;
    for (const auto& line : table) {
        for (std::size_t column = 0; column < line.size(); ++column) {
            if (column > 0) {
                out.push_back(',');
            }
            appendField(out, line[column]);
        }
        out.push_back('\n');
    }
    return out;
}

std::string shortestText(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    if (value == 0.0) {
        return std::signbit(value) ? "-0.0" : "0.0";
    }
    // The scientific form of to_chars carries the shortest round-trip digits and the exponent;
    // the layout is ours.
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::scientific);
    const std::string_view scientific(buffer.data(),
                                      static_cast<std::size_t>(result.ptr - buffer.data()));
    const std::size_t ePos = scientific.find('e');
    std::string_view mantissa = scientific.substr(0, ePos);
    const int exponent = std::atoi(std::string(scientific.substr(ePos + 1)).c_str());

    std::string out;
    if (mantissa.front() == '-') {
        out.push_back('-');
        mantissa.remove_prefix(1);
    }
    std::string digits;
    for (const char c : mantissa) {
        if (c != '.') {
            digits.push_back(c);
        }
    }

    const double magnitude = std::fabs(value);
    if (magnitude < 1e-4 || magnitude > 9007199254740992.0) {
        out.push_back(digits.front());
        if (digits.size() > 1) {
            out.push_back('.');
            out.append(digits, 1);
        }
        out.push_back('e');
        out.push_back(exponent < 0 ? '-' : '+');
        const int absExponent = std::abs(exponent);
        if (absExponent < 10) {
            out.push_back('0');
        }
        out.append(std::to_string(absExponent));
        return out;
    }

    if (exponent < 0) {
        out.append("0.");
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits);
        return out;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        out.append(digits);
        out.append(integerDigits - digits.size(), '0');
        out.append(".0");
    } else {
        out.append(digits, 0, integerDigits);
        out.push_back('.');
        out.append(digits, integerDigits);
    }
    return out;
}

std::string spreadsheetSafeName(std::string_view name) {
    std::string out;
    if (!name.empty()) {
        const char first = name.front();
        if (first == '=' || first == '+' || first == '-' || first == '@' || first == '\t' ||
            first == '\r') {
            out.push_back('\'');
        }
    }
    out.append(name);
    return out;
}

} // namespace report
