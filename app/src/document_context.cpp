#include "app/document_context.hpp"

#include "core/executor.hpp"
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

DocumentContext::DocumentContext(std::filesystem::path url,
                                 std::shared_ptr<core::Executor> imageWriter)
    : m_url(std::move(url)) {
    const files::VtFolder working =
        files::VtFolder::systemTmpFolder().child(core::Uuid::random().uuidString(), false);
    working.create();
    m_workingFolder = working.url();
    try {
        // The report's work starts on the pool as soon as the project is mapped, and the page
        // need not wait for the disk: the images are written after the load returns.
        auto loaded = document::ZozX::Manager().loadDeferringImages(
            files::VtFile(m_url), working,
            [this](const std::shared_ptr<document::ZozProject>& project) {
                const std::lock_guard lock(m_preparedMutex);
                m_preparedLoad = report::ReportViewModel::prepareLoad(project);
            },
            std::move(imageWriter));
        m_project = std::move(loaded.project);
        m_images.emplace(std::move(loaded.images));
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
    // The project's images live in the folder and the context is their last user; but no image
    // may land in a folder already removed, so the folder goes after the writer's last image.
    m_images->stop([folder = m_workingFolder] { removeWorkingFolder(folder); });
}

core::UTType DocumentContext::defaultAppDocumentType() {
    return core::UTType::zoz();
}

} // namespace app
