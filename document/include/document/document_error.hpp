#pragma once

#include "core/error.hpp"

#include <string>

namespace document {

/// The failures of reading or writing a project document: a case, and the cause that was also
/// logged before the error was thrown.
class DocumentError : public core::Error {
public:
    enum class Code {
        FileNotExist = 1,
        InvalidFileFormat,
        InvalidFileContent,
        InvalidJson,
        InvalidProjectData,
        OpenError,
        SaveError,
    };
    /// An error of the given case; `detail` says why, in words (empty when nothing more is known).
    explicit DocumentError(Code code, std::string detail = {});
    /// The error's case.
    Code code() const noexcept { return m_code; }
    /// Why the operation failed, for logs and diagnostics (for example "\"Uid\" of the project is
    /// not a string"); empty when the case says all there is.
    const std::string& detail() const noexcept { return m_detail; }

    friend bool operator==(const DocumentError& a, const DocumentError& b) noexcept {
        return a.m_code == b.m_code;
    }

private:
    Code m_code;
    std::string m_detail;
};

} // namespace document
