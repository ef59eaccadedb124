#pragma once

#include "document/gcd_locker.hpp"
#include "document/zoz_project_member.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace document {

/// A project's ordered member list with the seed of new member ids; every operation is one
/// indivisible step under the team's lock, so it may be called from any thread.
class ZozProjectTeam {
public:
    /// Creates an empty team whose next id is 1.
    ZozProjectTeam();
    ZozProjectTeam(const ZozProjectTeam&) = delete;
    ZozProjectTeam& operator=(const ZozProjectTeam&) = delete;

    /// Replaces the members by `members`, in order, and refreshes the id seed.
    void initByMembers(const std::vector<std::shared_ptr<ZozProjectMember>>& members);
    /// A copy of the member list (the members themselves are shared).
    std::vector<std::shared_ptr<ZozProjectMember>> members() const;
    /// The last-added member with `memberId`, or null.
    std::shared_ptr<ZozProjectMember> get(std::int64_t memberId) const;
    /// Appends a new member whose id is the current seed and advances the seed by one; throws
    /// `ZozModelError::Code::idSeedExhausted` when the seed cannot advance.
    std::shared_ptr<ZozProjectMember> add(std::string name, std::optional<std::string> photoId = {},
                                          std::optional<std::string> email = {},
                                          std::optional<double> costRate = {});
    /// Appends `member` unchanged (its id is not checked) and refreshes the seed; returns it.
    std::shared_ptr<ZozProjectMember> add(std::shared_ptr<ZozProjectMember> member);
    /// The mapper's append: the same as `add(member)`.
    void appendMemberLocked(std::shared_ptr<ZozProjectMember> member);
    /// Removes every member; the next id becomes 1.
    void clear();
    /// Removes the first member with `memberId`, if any, and refreshes the seed.
    void remove(std::int64_t memberId);
    /// Whether a member's name equals `memberName` exactly.
    bool isMemberNameExist(const std::string& memberName) const;
    /// Whether a member's e-mail is present and equals `memberEmail` exactly.
    bool isMemberEmailExist(const std::string& memberEmail) const;
    /// The number of members.
    std::size_t count() const;
    /// The id the next `add(name, ...)` hands out.
    std::int64_t idSeed() const;
    /// A new, independent team holding a clone of every member in order.
    std::shared_ptr<ZozProjectTeam> clone() const;

private:
    // Runs inside the lock of the calling operation.
    void refreshIdSeedLocked();

    std::vector<std::shared_ptr<ZozProjectMember>> m_members;
    mutable GCDLocker m_lock{"project.team"};
    std::int64_t m_idseed = 1;
};

} // namespace document
