#include "uikit/csv_reader.hpp"

#include <string>
#include <utility>

namespace uikit {
namespace {

std::string describe(CsvFormatError::Code code, std::size_t offset) {
    const std::string where = " at byte " + std::to_string(offset);
    switch (code) {
    case CsvFormatError::Code::unterminatedQuote:
        return "A quoted field is not closed before the end of the text" + where;
    case CsvFormatError::Code::textAfterQuote:
        return "A closing quote is followed by text" + where;
    }
    return "Broken comma-separated text" + where;
}

} // namespace

CsvFormatError::CsvFormatError(Code code, std::size_t offset)
    : core::Error("CsvFormatError", static_cast<int>(code), describe(code, offset)), m_code(code),
      m_offset(offset) {}

std::vector<CsvRecord> readCsv(std::string_view text, CsvEnding ending) {
    std::vector<CsvRecord> records;
    CsvRecord record;
    std::string field;
    std::size_t i = 0;
    const std::size_t size = text.size();
    // True once the current record has begun, until its line break.
    bool open = false;

    auto endField = [&] {
        record.push_back(std::move(field));
        field.clear();
    };
    auto endRecord = [&] {
        endField();
        records.push_back(std::move(record));
        record.clear();
        open = false;
    };
    // Steps over a line break at `i` ("\r\n", "\n" or "\r"); false when none is there.
    auto skipLineBreak = [&]() -> bool {
        if (text[i] == '\n') {
            ++i;
            return true;
        }
        if (text[i] == '\r') {
            ++i;
            if (i < size && text[i] == '\n') {
                ++i;
            }
            return true;
        }
        return false;
    };

    while (i < size) {
        open = true;
        if (text[i] == '"') {
            const std::size_t opening = i++;
            bool closed = false;
            while (!closed) {
                const std::size_t quote = text.find('"', i);
                if (quote == std::string_view::npos) {
                    if (ending == CsvEnding::mayBeCut) {
                        return records;
                    }
                    throw CsvFormatError(CsvFormatError::Code::unterminatedQuote, opening);
                }
                field.append(text.substr(i, quote - i));
                i = quote + 1;
                if (i < size && text[i] == '"') {
                    field.push_back('"');
                    ++i;
                } else {
                    closed = true;
                }
            }
            if (i == size) {
                break;
            }
            if (text[i] == ',') {
                endField();
                ++i;
                continue;
            }
            if (!skipLineBreak()) {
                throw CsvFormatError(CsvFormatError::Code::textAfterQuote, i);
            }
            endRecord();
            continue;
        }
        // An unquoted field runs to the next comma or line break; a stray quote inside it is
        // kept as text, as lenient readers do.
        const std::size_t stop = text.find_first_of(",\r\n", i);
        const std::size_t end = stop == std::string_view::npos ? size : stop;
        field.append(text.substr(i, end - i));
        i = end;
        if (i == size) {
            break;
        }
        if (text[i] == ',') {
            endField();
            ++i;
        } else {
            skipLineBreak();
            endRecord();
        }
    }
    // A comma as the very last character leaves an empty last field open.
    if (open) {
        if (ending == CsvEnding::mayBeCut) {
            return records;
        }
        endRecord();
    }
    return records;
}

} // namespace uikit
