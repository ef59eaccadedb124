#include "document/zoz_x.hpp"

#include "document/data_map_service.hpp"
#include "document/image_codec.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"

#include "core/log.hpp"
#include "core/uuid.hpp"
#include "files/zip.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <system_error>
#include <vector>

namespace document {

namespace fs = std::filesystem;

DocumentError::DocumentError(Code code)
    : core::Error("ZozX.DocumentError", static_cast<int>(code)), m_code(code) {}

namespace ZozX {

namespace {

constexpr const char* kJsonEntryName = "project.moc";

// Removes the unzip folder however the read ends: a failed read must not leave the
// document's contents behind in the shared temporary folder.
class TemporaryFolderGuard {
public:
    explicit TemporaryFolderGuard(fs::path path) : m_path(std::move(path)) {}
    TemporaryFolderGuard(const TemporaryFolderGuard&) = delete;
    TemporaryFolderGuard& operator=(const TemporaryFolderGuard&) = delete;
    ~TemporaryFolderGuard() {
        if (m_path.empty()) {
            return;
        }
        std::error_code ec;
        fs::remove_all(m_path, ec);
        if (ec) {
            core::Log::warning("Failed to remove unzip cache folder at " + m_path.string());
        }
    }

private:
    fs::path m_path;
};

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

// Where each unpacked JPEG went when it was moved into the working folder, by image id.
using PlacedImages = std::map<std::string, fs::path>;

// Copies one image of the unpacked document into the working folder: the JPEG as it is, or
// the PNG converted to JPEG. Problems are logged; loading goes on without the image.
void copyImageFromUnzipFolderToWorkingFolder(const fs::path& sourceFolder,
                                             const std::string& imageId,
                                             const files::VtFile& workingFile,
                                             const std::string& logSeed, PlacedImages& placed) {
    if (!isPlainImageId(imageId)) {
        core::Log::warning("Skipped " + logSeed + " of " + imageId +
                           " as its id is not a plain file name");
        return;
    }
    const fs::path jpg = sourceFolder / (imageId + ".jpg");
    const fs::path png = sourceFolder / (imageId + ".png");
    // An id named by several roles (a photo that is also the cover) was packed once: the later
    // roles copy the file that the first one moved out.
    const auto earlier = placed.find(imageId);
    if (isRegularFile(jpg) || earlier != placed.end()) {
        if (earlier != placed.end() && earlier->second == workingFile.url()) {
            return;
        }
        try {
            std::error_code ec;
            if (fs::file_size(jpg, ec) > kMaxImageFileBytes && !ec) {
                throw ImageCodecError(ImageCodecError::Code::tooLarge,
                                      "The image file exceeds the size limit");
            }
            if (earlier != placed.end()) {
                files::VtFile(earlier->second).copy(workingFile);
            } else {
                // The unpacked file is dropped with its folder anyway: moving it gives the same
                // working folder as a copy, at a fraction of the cost.
                files::VtFile(jpg).move(workingFile);
                placed.emplace(imageId, workingFile.url());
            }
        } catch (const std::exception& error) {
            core::Log::error("Failed to copy " + logSeed + " of " + imageId + " as " +
                             core::localizedDescription(error));
        }
        return;
    }
    if (!isRegularFile(png)) {
        return;
    }
    std::vector<std::uint8_t> jpeg;
    try {
        jpeg = convertPngToJpeg(readImageFile(png), kJpegQuality);
    } catch (const std::exception& error) {
        core::Log::warning("Skipped " + logSeed + " of " + imageId + " as " +
                           core::localizedDescription(error));
        return;
    }
    try {
        workingFile.writeData(jpeg);
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

// The decoded JSON and, when asked for, the project mapped from it.
struct Decoded {
    std::optional<JsonProject> json;
    std::shared_ptr<ZozProject> project;
};

Decoded decodeText(const std::string& text, bool mapProject) {
    Decoded decoded;
    try {
        decoded.json = decodeJsonProject(text);
    } catch (const std::exception&) {
        return decoded;
    }
    if (decoded.json && mapProject) {
        try {
            decoded.project = DataMapService::map(*decoded.json);
        } catch (const std::exception& error) {
            core::logError(error, "Failed to map the project");
        }
    }
    return decoded;
}

// The whole text of a regular file no larger than the JSON limit; absent otherwise.
std::optional<std::string> readJsonText(const fs::path& path) {
    std::error_code ec;
    if (!isRegularFile(path)) {
        return std::nullopt;
    }
    const auto size = fs::file_size(path, ec);
    if (ec || size > kMaxProjectJsonBytes) {
        return std::nullopt;
    }
    std::string text(size, '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (!in || in.gcount() != static_cast<std::streamsize>(size)) {
        return std::nullopt;
    }
    return text;
}

struct ReadResult {
    JsonProject json;
    std::shared_ptr<ZozProject> project;
};

ReadResult readDocument(const files::VtFile& document,
                        const std::optional<files::VtFolder>& workingFolder, bool mapProject) {
    const std::string path = document.pathString();
    if (!document.exists()) {
        throwLogged(DocumentError::Code::FileNotExist,
                    ".zoz file loading failed as the file does not exist:" + path);
    }
    const files::VtFolder unzipFolder =
        files::VtFolder::systemTmpFolder().child(core::Uuid::random().uuidString());
    const TemporaryFolderGuard guard(unzipFolder.url());
    const fs::path jsonPath = unzipFolder.url() / kJsonEntryName;
    // As soon as the JSON entry is out (our writer puts it first), it is decoded and mapped on
    // another thread while the images are still being unpacked; the checks below still run in
    // the documented order, and a later copy of the entry starts the decoding afresh.
    std::future<Decoded> early;
    const auto onFileWritten = [&](const std::string& written) {
        if (!std::string_view(written).ends_with(kJsonEntryName)) {
            return;
        }
        if (auto text = readJsonText(jsonPath)) {
            if (early.valid()) {
                early.wait();
            }
            early = std::async(std::launch::async, [text = std::move(*text), mapProject] {
                return decodeText(text, mapProject);
            });
        }
    };
    try {
        files::Zip::unzipFile(document.url(), unzipFolder.url(), true, std::nullopt, {},
                              onFileWritten);
    } catch (const std::exception& error) {
        core::logError(error, "Failed to unzip the .zoz file \"" + path + "\"");
        throw DocumentError(DocumentError::Code::InvalidFileFormat);
    }
    if (!isRegularFile(jsonPath)) {
        throwLogged(DocumentError::Code::InvalidFileContent,
                    "Failed to load project as there is no json file in teh zip file:" + path);
    }
    std::error_code ec;
    if (fs::file_size(jsonPath, ec) > kMaxProjectJsonBytes && !ec) {
        throwLogged(DocumentError::Code::InvalidFileFormat,
                    "The json file of " + path + " exceeds " +
                        std::to_string(kMaxProjectJsonBytes) + " bytes");
    }
    Decoded decoded;
    if (early.valid()) {
        decoded = early.get();
    } else if (auto text = readJsonText(jsonPath)) {
        decoded = decodeText(*text, mapProject);
    }
    if (!decoded.json) {
        throwLogged(DocumentError::Code::InvalidJson, "Failed to pharse project json file:" + path);
    }
    JsonProject json = std::move(*decoded.json);
    if (workingFolder) {
        const Manager::ProjectWorkingFolder working(*workingFolder);
        try {
            files::VtFile(jsonPath).move(working.jsonFile());
        } catch (const std::exception&) {
            throwLogged(DocumentError::Code::OpenError,
                        "Failed to copy the json file when opening project at:" + path);
        }
        PlacedImages placed;
        if (json.peoples) {
            const files::VtFolder photos = working.photoFolder();
            if (!photos.exists()) {
                photos.create();
            }
            for (const auto& member : *json.peoples) {
                if (member.photoId && !member.photoId->empty()) {
                    copyImageFromUnzipFolderToWorkingFolder(
                        unzipFolder.url(), *member.photoId,
                        files::VtFile(photos.url() / (*member.photoId + ".jpg")), "photo", placed);
                }
            }
        }
        const auto copyRootImage = [&](const std::optional<std::string>& id,
                                       const std::string& role) {
            if (id && !id->empty()) {
                copyImageFromUnzipFolderToWorkingFolder(
                    unzipFolder.url(), *id, files::VtFile(working.root().url() / (*id + ".jpg")),
                    role, placed);
            }
        };
        copyRootImage(json.imageId, "tile cover image");
        copyRootImage(json.pdfBannerImageId, "pdf banner image");
    }
    return {std::move(json), std::move(decoded.project)};
}

} // namespace

JsonProject Manager::jsonProject(const files::VtFile& document,
                                 const std::optional<files::VtFolder>& workingFolder) const {
    return readDocument(document, workingFolder, false).json;
}

std::shared_ptr<ZozProject> Manager::load(const files::VtFile& document,
                                          const files::VtFolder& workingFolder) const {
    ReadResult read = readDocument(document, workingFolder, true);
    if (!read.project) {
        throwLogged(DocumentError::Code::InvalidProjectData,
                    "Failed to convert from json project object:" + document.pathString());
    }
    return std::move(read.project);
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
