#pragma once

#include "core/error.hpp"

#include <string>

namespace document {

/// A failure of an operation on the project model itself (not of reading a document).
class ZozModelError : public core::Error {
public:
    /// The cases of a model failure.
    enum class Code {
        /// No further id can be handed out: the seed reached the largest 64-bit integer.
        idSeedExhausted = 1,
    };

    /// Creates the error of `code` with an explanatory `message`.
    explicit ZozModelError(Code code, std::string message = {})
        : core::Error("ZozModelError", static_cast<int>(code), std::move(message)), m_code(code) {}

    /// The case of this failure.
    Code code() const noexcept { return m_code; }

private:
    Code m_code;
};

} // namespace document
