#include "app/document_context.hpp"

#include "core/log.hpp"
#include "core/uuid.hpp"
#include "document/zoz_x.hpp"
#include "files/vt_path.hpp"

#include <exception>
#include <string>
#include <utility>

namespace app {
namespace {

// Removing the working folder is housekeeping: a failure is logged, never thrown, so it cannot
// hide the error that made the caller give up, nor escape a destructor.
void removeWorkingFolder(const std::filesystem::path& path) noexcept {
    try {
        const files::VtFolder folder(path);
        if (folder.exists()) {
            folder.remove();
        }
    } catch (const std::exception& error) {
        core::logWarning(error, "Could not remove the working folder " + path.string());
    }
}

} // namespace

DocumentContext::DocumentContext(std::filesystem::path url) : m_url(std::move(url)) {
    const files::VtFolder working =
        files::VtFolder::systemTmpFolder().child(core::Uuid::random().uuidString(), false);
    working.create();
    m_workingFolder = working.url();
    try {
        // The report's work starts on the pool while the images are still being written.
        m_project = document::ZozX::Manager().load(
            files::VtFile(m_url), working,
            [this](const std::shared_ptr<document::ZozProject>& project) {
                m_preparedLoad = report::ReportViewModel::prepareLoad(project);
            });
    } catch (...) {
        // Nothing refers to a folder whose document did not open.
        removeWorkingFolder(m_workingFolder);
        throw;
    }
}

std::shared_ptr<const report::ReportViewModel::PreparedLoad>
DocumentContext::takePreparedLoad() const {
    const std::lock_guard lock(m_preparedMutex);
    return std::exchange(m_preparedLoad, nullptr);
}

DocumentContext::~DocumentContext() {
    // The project's images live in the folder; the context is their last user.
    removeWorkingFolder(m_workingFolder);
}

core::UTType DocumentContext::defaultAppDocumentType() {
    return core::UTType::zoz();
}

} // namespace app
