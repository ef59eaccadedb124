#pragma once

#include "core/error.hpp"

namespace document {

/// The failures of reading or writing a project document; it carries no message of its own,
/// since every failure is logged before it is thrown.
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
    /// An error of the given case.
    explicit DocumentError(Code code);
    /// The error's case.
    Code code() const noexcept { return m_code; }

    friend bool operator==(const DocumentError& a, const DocumentError& b) noexcept {
        return a.m_code == b.m_code;
    }

private:
    Code m_code;
};

} // namespace document
