#pragma once

#include <core/error.hpp>
#include <core/log.hpp>

#include <source_location>
#include <string_view>

namespace algorithm::VtVestraTree {

/// The failure of a value-tree operation; logged by the tree before it is thrown.
class Error : public core::Error {
public:
    /// The four failure cases, in this order.
    enum class Code { invalidStorage, invalidContent, treeLogic, unknown };

    /// An error of the given case, with the generic description as its message.
    explicit Error(Code code);

    /// The failure case.
    Code code() const noexcept { return m_code; }

    /// Equal when the case is the same.
    friend bool operator==(const Error& a, const Error& b) noexcept { return a.m_code == b.m_code; }

private:
    Code m_code;
};

/// Writes `message` as an error line naming `operation` (a static text such as
/// "update(content:)") at the caller's file and line, then throws `Error(code)`.
[[noreturn]] void throwLogged(Error::Code code, std::string_view message,
                              std::string_view operation,
                              std::source_location at = std::source_location::current());

} // namespace algorithm::VtVestraTree
