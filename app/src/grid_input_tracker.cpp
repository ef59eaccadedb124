#include "app/grid_input_tracker.hpp"

namespace app {

GridInputTracker::GridInputTracker(const core::Uuid& layoutVersion)
    : m_layoutVersion(layoutVersion), m_snapshotVersion(core::Uuid::random()) {}

GridInputTracker::Decision
GridInputTracker::decide(const core::Uuid& layoutVersion, const core::Uuid& snapshotVersion,
                         const std::optional<core::Uuid>& commandVersion) {
    Decision decision;
    if (layoutVersion != m_layoutVersion) {
        m_layoutVersion = layoutVersion;
        decision.layoutChanged = true;
    }
    if (snapshotVersion != m_snapshotVersion) {
        m_snapshotVersion = snapshotVersion;
        decision.snapshotChanged = true;
    }
    if (commandVersion && commandVersion != m_commandVersion) {
        m_commandVersion = commandVersion;
        decision.command = true;
    }
    return decision;
}

} // namespace app
