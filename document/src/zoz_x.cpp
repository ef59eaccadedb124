#include "document/zoz_x.hpp"

#include "document/data_map_service.hpp"
#include "document/image_codec.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"

#include "core/log.hpp"
#include "files/zip.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <map>
#include <set>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace document {

namespace fs = std::filesystem;

DocumentError::DocumentError(Code code)
    : core::Error("ZozX.DocumentError", static_cast<int>(code)), m_code(code) {}

namespace ZozX {

namespace {

constexpr const char* kJsonEntryName = "project.moc";

bool isRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

std::vector<std::uint8_t> readImageFile(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) {
        throw ImageCodecError(ImageCodecError::Code::invalidImage, ec.message());
    }
    if (size > kMaxImageFileBytes) {
        throw ImageCodecError(ImageCodecError::Code::tooLarge, "The image file of " +
                                                                   std::to_string(size) +
                                                                   " bytes exceeds the size limit");
    }
    return files::VtFile(path).readData();
}

void throwLogged(DocumentError::Code code, const std::string& message,
                 core::LogLocation at = core::LogLocation::from(std::source_location::current())) {
    core::Log::error(message, at);
    throw DocumentError(code);
}

// An archive entry the read needs is damaged: the document is refused as one that cannot be
// unpacked, like any other archive failure.
struct DamagedEntry {
    std::string detail;
};

// What a read has put into the working folder; taken out again unless the read succeeds, so a
// failed load leaves the caller's folder as it was.
class PlacedFiles {
public:
    PlacedFiles() = default;
    PlacedFiles(const PlacedFiles&) = delete;
    PlacedFiles& operator=(const PlacedFiles&) = delete;
    ~PlacedFiles() {
        if (m_kept) {
            return;
        }
        std::error_code ec;
        for (auto it = m_files.rbegin(); it != m_files.rend(); ++it) {
            fs::remove(*it, ec);
        }
        for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) {
            fs::remove_all(*it, ec);
        }
    }
    void addFile(fs::path path) { m_files.push_back(std::move(path)); }
    void addFolder(fs::path path) { m_folders.push_back(std::move(path)); }
    void keep() noexcept { m_kept = true; }

private:
    std::vector<fs::path> m_files;
    std::vector<fs::path> m_folders;
    bool m_kept = false;
};

// Writes `text` as the new file `path`, never replacing one; leaves nothing on failure.
void writeNewFile(const fs::path& path, std::string_view text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot create " + path.string());
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(path.c_str());
            throw std::system_error(error, std::generic_category(),
                                    "cannot write " + path.string());
        }
        written += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        throw std::system_error(error, std::generic_category(), "cannot write " + path.string());
    }
}

// Where each JPEG went when it was written into the working folder, by image id.
using PlacedImages = std::map<std::string, fs::path>;

// Writes one image of the document into the working folder, straight from the archive: the
// JPEG as it is, or the PNG converted to JPEG. Problems are logged and loading goes on without
// the image; only a damaged entry ends the read.
void copyImageFromArchiveToWorkingFolder(const files::ZipEntryReader& archive,
                                         const std::string& imageId,
                                         const files::VtFile& workingFile,
                                         const std::string& logSeed, PlacedImages& placed,
                                         PlacedFiles& placedFiles) {
    if (!isPlainImageId(imageId)) {
        core::Log::warning("Skipped " + logSeed + " of " + imageId +
                           " as its id is not a plain file name");
        return;
    }
    const std::string jpg = imageId + ".jpg";
    const std::string png = imageId + ".png";
    // An id named by several roles (a photo that is also the cover) was packed once: the later
    // roles copy the file that the first one wrote.
    const auto earlier = placed.find(imageId);
    const auto jpgSize = archive.size(jpg);
    if (jpgSize || earlier != placed.end()) {
        if (earlier != placed.end() && earlier->second == workingFile.url()) {
            return;
        }
        try {
            if (earlier != placed.end()) {
                files::VtFile(earlier->second).copy(workingFile);
            } else {
                if (*jpgSize > kMaxImageFileBytes) {
                    throw ImageCodecError(ImageCodecError::Code::tooLarge,
                                          "The image file exceeds the size limit");
                }
                archive.extract(jpg, workingFile.url());
                placed.emplace(imageId, workingFile.url());
            }
            placedFiles.addFile(workingFile.url());
        } catch (const files::ZipError& error) {
            throw DamagedEntry{error.detail()};
        } catch (const std::exception& error) {
            core::Log::error("Failed to copy " + logSeed + " of " + imageId + " as " +
                             core::localizedDescription(error));
        }
        return;
    }
    const auto pngSize = archive.size(png);
    if (!pngSize) {
        return;
    }
    std::vector<std::uint8_t> jpeg;
    try {
        if (*pngSize > kMaxImageFileBytes) {
            throw ImageCodecError(ImageCodecError::Code::tooLarge,
                                  "The image file of " + std::to_string(*pngSize) +
                                      " bytes exceeds the size limit");
        }
        const std::string bytes = archive.read(png);
        jpeg =
            convertPngToJpeg(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), kJpegQuality);
    } catch (const files::ZipError& error) {
        throw DamagedEntry{error.detail()};
    } catch (const std::exception& error) {
        core::Log::warning("Skipped " + logSeed + " of " + imageId + " as " +
                           core::localizedDescription(error));
        return;
    }
    try {
        // Like the JPEG entries, never over a file already there.
        writeNewFile(workingFile.url(),
                     std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()));
        placedFiles.addFile(workingFile.url());
    } catch (const std::exception&) {
        core::Log::error("Failed to compress " + logSeed + " png file to jpg file, id: " + imageId);
    }
}

// The archive entry of one image in the working folder, converting a PNG-only image to JPEG
// first; absent (and logged) when there is none.
std::optional<fs::path>
copyImageFileFromWorkingFolderToZozFile(const fs::path& sourceFolder,
                                        const std::optional<std::string>& imageId,
                                        const std::string& logSeed) {
    if (!imageId || imageId->empty()) {
        return std::nullopt;
    }
    if (isPlainImageId(*imageId)) {
        const fs::path jpg = sourceFolder / (*imageId + ".jpg");
        if (isRegularFile(jpg)) {
            return jpg;
        }
        const fs::path png = sourceFolder / (*imageId + ".png");
        if (isRegularFile(png)) {
            try {
                files::VtFile(jpg).writeData(convertPngToJpeg(readImageFile(png), kJpegQuality));
                return jpg;
            } catch (const std::exception&) {
                // Reported below as a missing image, like any image that cannot be packed.
            }
        }
    }
    core::Log::warning(logSeed + " [" + *imageId +
                       "] is not exist in the project working directory");
    return std::nullopt;
}

void saveJson(const JsonProject& jsonProject, const files::VtFile& jsonFile, bool prettyPrint) {
    const auto failed = [&] {
        throwLogged(DocumentError::Code::SaveError,
                    "Failed to save project \"" + jsonProject.name.value_or("") +
                        "\" to json file: \"" + jsonFile.pathString() + "\"");
    };
    std::string text;
    try {
        text = encodeJsonProjectText(jsonProject, prettyPrint);
    } catch (const std::exception&) {
        // The old file stays: a project that cannot be encoded must not cost the saved one.
        failed();
    }
    try {
        jsonFile.writeString(text, true);
    } catch (const std::exception& error) {
        core::logError(error, "Failed to save project to file " + jsonFile.pathString());
        failed();
    }
}

} // namespace

bool isPlainImageId(const std::string& imageId) {
    if (imageId.empty() || imageId == "." || imageId == "..") {
        return false;
    }
    return std::none_of(imageId.begin(), imageId.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || u < 0x20 || u == 0x7F;
    });
}

namespace {

struct ReadResult {
    JsonProject json;
    std::shared_ptr<ZozProject> project;
};

std::shared_ptr<ZozProject> mapProject(const JsonProject& json) {
    try {
        return DataMapService::map(json);
    } catch (const std::exception& error) {
        core::logError(error, "Failed to map the project");
        return nullptr;
    }
}

// Reads the JSON entry into memory and writes into the working folder only the files it keeps:
// nothing is unpacked to a temporary folder first, so each file is written once. The mapping
// runs while the images are written; whatever fails, the working folder is left as it was.
ReadResult readDocument(const files::VtFile& document,
                        const std::optional<files::VtFolder>& workingFolder, bool wantProject) {
    const std::string path = document.pathString();
    if (!document.exists()) {
        throwLogged(DocumentError::Code::FileNotExist,
                    ".zoz file loading failed as the file does not exist:" + path);
    }
    const auto unzipFailed = [&](const std::exception& error) {
        core::logError(error, "Failed to unzip the .zoz file \"" + path + "\"");
        throw DocumentError(DocumentError::Code::InvalidFileFormat);
    };
    std::optional<files::ZipEntryReader> archive;
    try {
        archive.emplace(document.url());
    } catch (const std::exception& error) {
        unzipFailed(error);
    }
    const auto jsonSize = archive->size(kJsonEntryName);
    if (!jsonSize) {
        throwLogged(DocumentError::Code::InvalidFileContent,
                    "Failed to load project as there is no json file in teh zip file:" + path);
    }
    if (*jsonSize > kMaxProjectJsonBytes) {
        throwLogged(DocumentError::Code::InvalidFileFormat,
                    "The json file of " + path + " exceeds " +
                        std::to_string(kMaxProjectJsonBytes) + " bytes");
    }
    std::string text;
    try {
        text = archive->read(kJsonEntryName);
    } catch (const std::exception& error) {
        unzipFailed(error);
    }
    std::optional<JsonProject> decoded;
    try {
        decoded = decodeJsonProject(text);
    } catch (const std::exception&) {
        decoded.reset();
    }
    if (!decoded) {
        throwLogged(DocumentError::Code::InvalidJson, "Failed to pharse project json file:" + path);
    }
    ReadResult result{std::move(*decoded), nullptr};
    const JsonProject& json = result.json;
    // The future's destructor waits for the mapping, so it never outlives the JSON it reads.
    std::future<std::shared_ptr<ZozProject>> mapped;
    if (wantProject) {
        mapped = std::async(std::launch::async, [&json] { return mapProject(json); });
    }

    PlacedFiles placedFiles;
    if (workingFolder) {
        const Manager::ProjectWorkingFolder working(*workingFolder);
        try {
            writeNewFile(working.jsonFile().url(), text);
        } catch (const std::exception&) {
            throwLogged(DocumentError::Code::OpenError,
                        "Failed to copy the json file when opening project at:" + path);
        }
        placedFiles.addFile(working.jsonFile().url());
        std::string().swap(text);
        try {
            PlacedImages placed;
            if (json.peoples) {
                const files::VtFolder photos = working.photoFolder();
                if (!photos.exists()) {
                    photos.create();
                    placedFiles.addFolder(photos.url());
                }
                for (const auto& member : *json.peoples) {
                    if (member.photoId && !member.photoId->empty()) {
                        copyImageFromArchiveToWorkingFolder(
                            *archive, *member.photoId,
                            files::VtFile(photos.url() / (*member.photoId + ".jpg")), "photo",
                            placed, placedFiles);
                    }
                }
            }
            const auto copyRootImage = [&](const std::optional<std::string>& id,
                                           const std::string& role) {
                if (id && !id->empty()) {
                    copyImageFromArchiveToWorkingFolder(
                        *archive, *id, files::VtFile(working.root().url() / (*id + ".jpg")), role,
                        placed, placedFiles);
                }
            };
            copyRootImage(json.imageId, "tile cover image");
            copyRootImage(json.pdfBannerImageId, "pdf banner image");
        } catch (const DamagedEntry& damaged) {
            core::Log::error("Failed to unzip the .zoz file \"" + path + "\" - " + damaged.detail);
            throw DocumentError(DocumentError::Code::InvalidFileFormat);
        }
    }
    if (wantProject) {
        result.project = mapped.get();
        if (!result.project) {
            throwLogged(DocumentError::Code::InvalidProjectData,
                        "Failed to convert from json project object:" + path);
        }
    }
    placedFiles.keep();
    return result;
}

} // namespace

JsonProject Manager::jsonProject(const files::VtFile& document,
                                 const std::optional<files::VtFolder>& workingFolder) const {
    return readDocument(document, workingFolder, false).json;
}

std::shared_ptr<ZozProject> Manager::load(const files::VtFile& document,
                                          const files::VtFolder& workingFolder) const {
    return readDocument(document, workingFolder, true).project;
}

void Manager::saveAsJsonFile(const JsonProject& jsonProject, const files::VtFile& jsonFile) const {
    saveJson(jsonProject, jsonFile, true);
}

void Manager::zozFile(const JsonProject& project, const files::VtFolder& workingFolder,
                      const files::VtFile& target) const {
    const std::string name = project.name.value_or("");
    const ProjectWorkingFolder working(workingFolder);
    const files::VtFile jsonFile = working.jsonFile();
    if (!jsonFile.exists()) {
        throwLogged(DocumentError::Code::SaveError,
                    "Failed to save project \"" + name + "\" because the json file does not exist");
    }
    std::vector<fs::path> entries{jsonFile.url()};
    // Entries sit at the archive's root by file name; a name already taken is not packed twice.
    std::set<std::string> names{kJsonEntryName};
    const auto addImage = [&](const fs::path& folder, const std::optional<std::string>& id,
                              const std::string& role) {
        if (const auto path = copyImageFileFromWorkingFolderToZozFile(folder, id, role)) {
            if (names.insert(path->filename().string()).second) {
                entries.emplace_back(*path);
            }
        }
    };
    const fs::path photoFolder = working.photoFolder().url();
    if (project.peoples) {
        for (const auto& member : *project.peoples) {
            addImage(photoFolder, member.photoId, "photo");
        }
    }
    addImage(working.root().url(), project.imageId, "tile cover image");
    addImage(working.root().url(), project.pdfBannerImageId, "pdf banner image");

    // The zip layer writes beside the target and renames over it only when complete, so the
    // old document is never removed beforehand and survives a failed save.
    try {
        files::VtZip::zip(entries, target.url());
    } catch (const std::exception& error) {
        throwLogged(DocumentError::Code::SaveError,
                    "Failed to save project \"" + name +
                        "\" as .zoz file, with error: " + core::localizedDescription(error));
    }
}

} // namespace ZozX

} // namespace document
