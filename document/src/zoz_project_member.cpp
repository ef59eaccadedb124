#include "document/zoz_project_member.hpp"

#include "model_text.hpp"

namespace document {

ZozProjectMember::ZozProjectMember(std::int64_t id, std::string name,
                                   std::optional<std::string> photoid,
                                   std::optional<std::string> email, std::optional<double> costrate)
    : m_id(id), m_photoid(std::move(photoid)), m_email(std::move(email)),
      m_costRate(costrate.value_or(1.0)) {
    setName(std::move(name));
}

void ZozProjectMember::setName(std::string name) {
    m_name = std::move(name);
    m_initialsName = detail::initialsOf(m_name);
}

void ZozProjectMember::setCostRate(double rate) {
    // `!(rate >= 0)` also turns NaN into 0, which the report would otherwise spread everywhere.
    m_costRate = !(rate >= 0.0) ? 0.0 : rate;
}

std::shared_ptr<ZozProjectMember> ZozProjectMember::clone() const {
    return std::make_shared<ZozProjectMember>(m_id, m_name, m_photoid, m_email, m_costRate);
}

} // namespace document
