#pragma once

#include "core/uuid.hpp"

#include <optional>

namespace app {

/// Remembers the versions of the grid's three inputs (layout, snapshot, scroll command) last
/// handed to the grid and tells which of a new set of inputs changed. A version is recorded as
/// soon as it is reported changed, before the grid has applied anything.
class GridInputTracker {
public:
    /// What a new set of inputs brings.
    struct Decision {
        bool layoutChanged = false;
        bool snapshotChanged = false;
        bool command = false;

        /// True when anything is to be applied.
        bool any() const noexcept { return layoutChanged || snapshotChanged || command; }
        friend bool operator==(const Decision&, const Decision&) = default;
    };

    /// A tracker for a grid made with the layout of version `layoutVersion`; the first snapshot
    /// always counts as changed, whatever its version.
    explicit GridInputTracker(const core::Uuid& layoutVersion);

    /// Compares the inputs' versions with the recorded ones and records the changed ones.
    /// `commandVersion` is absent when the command input holds no command: that changes nothing.
    /// A command counts once per version.
    Decision decide(const core::Uuid& layoutVersion, const core::Uuid& snapshotVersion,
                    const std::optional<core::Uuid>& commandVersion);

private:
    core::Uuid m_layoutVersion;
    core::Uuid m_snapshotVersion;
    std::optional<core::Uuid> m_commandVersion;
};

} // namespace app
