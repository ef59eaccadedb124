#include "core/value_holders.hpp"

#include "core/string_utils.hpp"

namespace core {

Trimmed::Trimmed(std::string_view text) : m_value(trimmed(text, CharacterSet::whitespaces())) {}

void Trimmed::set(std::string_view text) {
    m_value = trimmed(text, CharacterSet::whitespaces());
}

} // namespace core
