#pragma once

#include <exception>
#include <string>

namespace core {

/// Base of every typed error this system throws; carries a domain, a numeric code and a message.
class Error : public std::exception {
public:
    /// `domain` names the error type (e.g. "ZipError"), `code` its case, `message` the reason text.
    Error(std::string domain, int code, std::string message = {});

    /// The message, or the generic description when the message is empty.
    const char* what() const noexcept override;
    /// The error type's name, as used in the generic description.
    const std::string& domain() const noexcept { return m_domain; }
    /// The numeric value of the error's case.
    int errorCode() const noexcept { return m_code; }
    /// The message given at construction (possibly empty).
    const std::string& message() const noexcept { return m_message; }
    /// Human-readable text: the message, or "The operation couldn’t be completed. (<domain> error
    /// <n>.)".
    virtual std::string localizedDescription() const;

private:
    std::string m_domain;
    int m_code;
    std::string m_message;
    std::string m_what;
};

/// The generic description of an error without a message of its own.
std::string genericErrorDescription(const std::string& domain, int code);

/// The localized description of any exception: `Error::localizedDescription()` or `what()`.
std::string localizedDescription(const std::exception& error);

} // namespace core
