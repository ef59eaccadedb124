#pragma once

#include "core/uttype.hpp"
#include "document/zoz_x.hpp"
#include "report/report_view_model.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

namespace core {
class Executor;
}

namespace app {

/// One opened project document: the file as the user chose it and the project read from it.
/// Immutable once made. The working folder it unpacks the document into belongs to it: it is
/// removed at once when opening fails, and after the context is destroyed once no image is being
/// written into it any more.
class DocumentContext {
public:
    /// Opens the document at `url`: makes a working folder named by a fresh UUID in the system
    /// temporary folder and loads the project into it, returning once the project is mapped and
    /// every image entry checked; the images are written afterwards on `imageWriter` (by default
    /// the document library's own thread), which the caller keeps for as long as they are to be
    /// written. Throws the folder's error or the document library's
    /// `document::DocumentError` unchanged. Blocks: call it off the GUI thread.
    explicit DocumentContext(std::filesystem::path url,
                             std::shared_ptr<core::Executor> imageWriter = nullptr);
    /// Stops the writing of images not begun yet; the working folder is removed once the writing
    /// has ended: here when it has, else on the thread that ends it (the image writer's). Never
    /// waits.
    ~DocumentContext();
    DocumentContext(const DocumentContext&) = delete;
    DocumentContext& operator=(const DocumentContext&) = delete;

    /// The document file as given.
    const std::filesystem::path& url() const noexcept { return m_url; }
    /// The project read from the document; never null.
    const std::shared_ptr<document::ZozProject>& project() const noexcept { return m_project; }
    /// The folder holding the unpacked project entry and images; an image file is complete only
    /// once `images().finished()` holds.
    const std::filesystem::path& workingFolder() const noexcept { return m_workingFolder; }
    /// The writing of the images into the working folder, which goes on after the context is
    /// made.
    const document::ZozX::PendingImages& images() const noexcept { return *m_images; }
    /// The project's first report, begun as soon as the project was read, while the images were
    /// still being unpacked, for `report::ReportViewModel::load`: handed to the first caller
    /// only (null afterwards), so that the context never keeps a grid the window has replaced.
    /// Safe from any thread.
    std::shared_ptr<const report::ReportViewModel::PreparedLoad> takePreparedLoad() const;

    /// The application's document type: the project document.
    static core::UTType defaultAppDocumentType();

    /// Two contexts are equal when their URLs are; the projects are not compared.
    friend bool operator==(const DocumentContext& a, const DocumentContext& b) noexcept {
        return a.m_url == b.m_url;
    }

private:
    std::filesystem::path m_url;
    std::filesystem::path m_workingFolder;
    std::shared_ptr<document::ZozProject> m_project;
    std::optional<document::ZozX::PendingImages> m_images;
    mutable std::mutex m_preparedMutex;
    mutable std::shared_ptr<const report::ReportViewModel::PreparedLoad> m_preparedLoad;
};

} // namespace app
