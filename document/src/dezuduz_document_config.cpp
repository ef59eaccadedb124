#include "document/dezuduz_document_config.hpp"

#include "model_dates.hpp"

namespace document {

DezuduzDocumentConfig::DezuduzDocumentConfig(core::Date today) {
    const auto day = detail::startOfDay(today);
    m_mindate = detail::addYears(day, -100);
    m_maxdate = detail::addYears(day, 100);
}

const DezuduzDocumentConfig& DezuduzDocumentConfig::shared() {
    static const DezuduzDocumentConfig instance(core::Date::now());
    return instance;
}

} // namespace document
