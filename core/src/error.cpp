#include "core/error.hpp"

namespace core {

Error::Error(std::string domain, int code, std::string message)
    : m_domain(std::move(domain)), m_code(code), m_message(std::move(message)) {
    m_what = m_message.empty() ? genericErrorDescription(m_domain, m_code) : m_message;
}

const char* Error::what() const noexcept {
    return m_what.c_str();
}

std::string Error::localizedDescription() const {
    return m_what;
}

std::string genericErrorDescription(const std::string& domain, int code) {
    // The platform's wording, with its typographic apostrophe.
    return "The operation couldn\u2019t be completed. (" + domain + " error " +
           std::to_string(code) + ".)";
}

std::string localizedDescription(const std::exception& error) {
    if (const auto* typed = dynamic_cast<const Error*>(&error)) {
        return typed->localizedDescription();
    }
    return error.what();
}

} // namespace core
