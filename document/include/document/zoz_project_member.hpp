#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace document {

/// A team member: id, name with derived lower-case initials, photo id, e-mail and hourly cost
/// rate; shared by the team, task assignments and task contacts.
class ZozProjectMember {
public:
    /// Creates a member; an absent `costrate` gives 1.0 and a given one is kept as it is, even
    /// when negative (the mapper's rule).
    ZozProjectMember(std::int64_t id, std::string name, std::optional<std::string> photoid = {},
                     std::optional<std::string> email = {}, std::optional<double> costrate = {});

    /// The member id, fixed at creation.
    std::int64_t id() const noexcept { return m_id; }
    /// The display name.
    const std::string& name() const noexcept { return m_name; }
    /// Stores the name and recomputes the initials from it.
    void setName(std::string name);
    /// The lower-cased first grapheme of every non-blank space-separated word of the name.
    const std::string& initialsName() const noexcept { return m_initialsName; }

    /// The photo image id in the working folder, if any.
    const std::optional<std::string>& photoid() const noexcept { return m_photoid; }
    /// Replaces the photo image id.
    void setPhotoid(std::optional<std::string> photoid) { m_photoid = std::move(photoid); }
    /// The e-mail address, if any.
    const std::optional<std::string>& email() const noexcept { return m_email; }
    /// Replaces the e-mail address.
    void setEmail(std::optional<std::string> email) { m_email = std::move(email); }

    /// Labour cost per hour.
    double costRate() const noexcept { return m_costRate; }
    /// Stores the rate, a negative one (or NaN) as 0.0.
    void setCostRate(double rate);

    /// A new, independent member with the same id, name, photo id, e-mail and cost rate.
    std::shared_ptr<ZozProjectMember> clone() const;

private:
    std::int64_t m_id;
    std::string m_initialsName;
    std::string m_name;
    std::optional<std::string> m_photoid;
    std::optional<std::string> m_email;
    double m_costRate = 1.0;
};

} // namespace document
