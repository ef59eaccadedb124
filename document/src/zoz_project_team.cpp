#include "document/zoz_project_team.hpp"

#include "document/zoz_model_error.hpp"

#include "core/log.hpp"

#include <algorithm>
#include <limits>

namespace document {

ZozProjectTeam::ZozProjectTeam() = default;

void ZozProjectTeam::initByMembers(const std::vector<std::shared_ptr<ZozProjectMember>>& members) {
    m_lock.sync([&] {
        m_members.clear();
        for (const auto& member : members) {
            if (member) {
                m_members.push_back(member);
            }
        }
        refreshIdSeedLocked();
    });
}

std::vector<std::shared_ptr<ZozProjectMember>> ZozProjectTeam::members() const {
    return m_lock.sync([&] { return m_members; });
}

std::shared_ptr<ZozProjectMember> ZozProjectTeam::get(std::int64_t memberId) const {
    return m_lock.sync([&]() -> std::shared_ptr<ZozProjectMember> {
        const auto found = std::find_if(m_members.rbegin(), m_members.rend(),
                                        [&](const auto& m) { return m->id() == memberId; });
        return found == m_members.rend() ? nullptr : *found;
    });
}

std::shared_ptr<ZozProjectMember> ZozProjectTeam::add(std::string name,
                                                      std::optional<std::string> photoId,
                                                      std::optional<std::string> email,
                                                      std::optional<double> costRate) {
    // The seed is read and advanced inside the lock so that concurrent adds never share an id.
    return m_lock.sync([&] {
        if (m_idseed == std::numeric_limits<std::int64_t>::max()) {
            throw core::logged(ZozModelError(ZozModelError::Code::idSeedExhausted,
                                             "no member id is left after the largest integer"));
        }
        const auto id = m_idseed++;
        auto member = std::make_shared<ZozProjectMember>(id, std::move(name), std::move(photoId),
                                                         std::move(email), costRate);
        m_members.push_back(member);
        return member;
    });
}

std::shared_ptr<ZozProjectMember> ZozProjectTeam::add(std::shared_ptr<ZozProjectMember> member) {
    appendMemberLocked(member);
    return member;
}

void ZozProjectTeam::appendMemberLocked(std::shared_ptr<ZozProjectMember> member) {
    if (!member) {
        return;
    }
    m_lock.sync([&] {
        m_members.push_back(std::move(member));
        refreshIdSeedLocked();
    });
}

void ZozProjectTeam::clear() {
    m_lock.sync([&] {
        m_members.clear();
        refreshIdSeedLocked();
    });
}

void ZozProjectTeam::remove(std::int64_t memberId) {
    m_lock.sync([&] {
        const auto found = std::find_if(m_members.begin(), m_members.end(),
                                        [&](const auto& m) { return m->id() == memberId; });
        if (found != m_members.end()) {
            m_members.erase(found);
        }
        refreshIdSeedLocked();
    });
}

bool ZozProjectTeam::isMemberNameExist(const std::string& memberName) const {
    return m_lock.sync([&] {
        return std::any_of(m_members.begin(), m_members.end(),
                           [&](const auto& m) { return m->name() == memberName; });
    });
}

bool ZozProjectTeam::isMemberEmailExist(const std::string& memberEmail) const {
    return m_lock.sync([&] {
        return std::any_of(m_members.begin(), m_members.end(),
                           [&](const auto& m) { return m->email() == memberEmail; });
    });
}

std::size_t ZozProjectTeam::count() const {
    return m_lock.sync([&] { return m_members.size(); });
}

std::int64_t ZozProjectTeam::idSeed() const {
    return m_lock.sync([&] { return m_idseed; });
}

std::shared_ptr<ZozProjectTeam> ZozProjectTeam::clone() const {
    auto copy = std::make_shared<ZozProjectTeam>();
    std::vector<std::shared_ptr<ZozProjectMember>> clones;
    for (const auto& member : members()) {
        clones.push_back(member->clone());
    }
    copy->initByMembers(clones);
    return copy;
}

void ZozProjectTeam::refreshIdSeedLocked() {
    if (m_members.empty()) {
        m_idseed = 1;
        return;
    }
    const auto largest =
        (*std::max_element(m_members.begin(), m_members.end(), [](const auto& a, const auto& b) {
            return a->id() < b->id();
        }))->id();
    // A member id at the top of the range leaves the seed there; `add` then refuses to go on.
    m_idseed = largest == std::numeric_limits<std::int64_t>::max() ? largest : largest + 1;
}

} // namespace document
