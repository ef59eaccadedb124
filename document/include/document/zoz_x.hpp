#pragma once

#include "document/document_error.hpp"
#include "document/json_project.hpp"
#include "document/pending_images.hpp"
#include "files/vt_path.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace core {
class Executor;
}

namespace document {

class ZozProject;

/// The project document (`.zoz`): reading it into a working folder and a project, and writing it.
namespace ZozX {

using DocumentError = document::DocumentError;

/// Reads and writes project documents; it holds no state, so one may be shared freely.
class Manager {
public:
    /// A loaded project whose images are still being written.
    struct ProjectLoad {
        std::shared_ptr<ZozProject> project;
        PendingImages images;
    };

    /// The layout of a working folder: "project.moc" and the "Photo" folder inside `root`.
    class ProjectWorkingFolder {
    public:
        /// Describes the working folder at `root`; touches nothing on disk.
        explicit ProjectWorkingFolder(files::VtFolder root) : m_root(std::move(root)) {}
        /// The working folder itself.
        const files::VtFolder& root() const noexcept { return m_root; }
        /// The folder's "project.moc".
        files::VtFile jsonFile() const { return m_root.file("project.moc"); }
        /// The folder's "Photo" folder of member photos.
        files::VtFolder photoFolder() const { return m_root.child("Photo"); }

    private:
        files::VtFolder m_root;
    };

    /// Reads `document`, writes its JSON and images into `workingFolder` (which must exist) and
    /// maps the JSON onto a new project; throws `DocumentError` (or the folder error when the
    /// "Photo" folder cannot be created), leaving the working folder as it was. No temporary
    /// file outlives the call.
    std::shared_ptr<ZozProject> load(const files::VtFile& document,
                                     const files::VtFolder& workingFolder) const;
    /// Like `load`, but returns as soon as the project is mapped and every image it keeps has
    /// been read from the archive and checked, before the images are written: they are written
    /// afterwards on `writer` (by default a thread the library keeps for image writing), one job
    /// per image, for as long as the caller keeps `writer` (see `PendingImages`). Calls `onMapped`
    /// with the project on another thread as soon as it is mapped (the load may still fail after
    /// it). Throws as `load`, and then leaves nothing to write.
    ProjectLoad
    loadDeferringImages(const files::VtFile& document, const files::VtFolder& workingFolder,
                        const std::function<void(const std::shared_ptr<ZozProject>&)>& onMapped,
                        std::shared_ptr<core::Executor> writer = nullptr) const;

    /// Unpacks and decodes `document`; with a working folder, also copies its JSON and images
    /// there. Throws as `load`.
    JsonProject jsonProject(const files::VtFile& document,
                            const std::optional<files::VtFolder>& workingFolder) const;

    /// The project's JSON text, or absent when it cannot be encoded (nothing is logged).
    std::optional<std::string> jsonString(ZozProject& project, bool prettyPrint) const;

    /// Writes the project's JSON as the working folder's "project.moc", replacing the old file
    /// only once the new one is complete; throws `DocumentError::Code::SaveError`.
    void saveProject(ZozProject& project, const files::VtFolder& workingFolder) const;

    /// Writes `jsonProject` as pretty-printed JSON to `jsonFile`, replacing the old file only
    /// once the new one is complete (a failed save keeps it); throws `SaveError`.
    void saveAsJsonFile(const JsonProject& jsonProject, const files::VtFile& jsonFile) const;

    /// Packs the working folder's "project.moc" and the images the project names into the
    /// document `target`, replacing an old document only once the new one is complete; throws
    /// `DocumentError::Code::SaveError`.
    void zozFile(ZozProject& project, const files::VtFolder& workingFolder,
                 const files::VtFile& target) const;

    /// The same as `zozFile` for a project given as JSON (its name, member photo ids, image and
    /// banner ids name what is packed).
    void zozFile(const JsonProject& project, const files::VtFolder& workingFolder,
                 const files::VtFile& target) const;
};

/// True when `imageId` can name a file of its own: one plain path component, not "." or "..",
/// without slashes, backslashes or control characters.
bool isPlainImageId(const std::string& imageId);

} // namespace ZozX

} // namespace document
