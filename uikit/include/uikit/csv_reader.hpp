#pragma once

#include "core/error.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace uikit {

/// Comma-separated text that breaks the quoting rules, with the byte offset of the fault.
class CsvFormatError : public core::Error {
public:
    /// The faults the reader tells apart.
    enum class Code {
        /// A quoted field is still open when the text ends.
        unterminatedQuote = 1,
        /// A closing quote is followed by something other than a comma or a line break.
        textAfterQuote = 2
    };

    /// An error of case `code` found at byte `offset` of the text.
    CsvFormatError(Code code, std::size_t offset);
    /// The case of this error.
    Code code() const noexcept { return m_code; }
    /// The byte offset in the text where the fault was found.
    std::size_t offset() const noexcept { return m_offset; }

private:
    Code m_code;
    std::size_t m_offset;
};

/// One record of comma-separated text: its fields, unquoted, as UTF-8.
using CsvRecord = std::vector<std::string>;

/// How the end of the text is to be read.
enum class CsvEnding {
    /// The text is whole: an open quote at its end is an error.
    complete,
    /// The text may have been cut short: a last record without its line break is dropped.
    mayBeCut
};

/// Reads RFC 4180 text: fields separated by commas, records by "\n" or "\r\n" (a lone "\r" too);
/// a field in double quotes may hold commas, line breaks and doubled quotes. A line break after
/// the last record adds no empty record; an empty text gives no record; an empty line gives a
/// record of one empty field. Throws `CsvFormatError` for broken quoting in a complete text.
std::vector<CsvRecord> readCsv(std::string_view text, CsvEnding ending = CsvEnding::complete);

} // namespace uikit
