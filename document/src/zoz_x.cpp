#include "document/zoz_x.hpp"

#include "document/data_map_service.hpp"
#include "document/image_codec.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"

#include "core/log.hpp"
#include "core/uuid.hpp"
#include "files/zip.hpp"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

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

DocumentError::DocumentError(Code code, std::string detail)
    : core::Error("ZozX.DocumentError", static_cast<int>(code)), m_code(code),
      m_detail(std::move(detail)) {}

namespace ZozX {

namespace {

constexpr const char* kJsonEntryName = "project.moc";

// The operations the log lines name, as the document library's callers know them.
constexpr std::string_view kReadOperation = "_jsonProject(fromDezuduzFile:workingFolder:)";
constexpr std::string_view kLoadOperation = "load(projectFromDezuduzDocument:to:)";
constexpr std::string_view kCopyImageOperation =
    "_copyImageFromUnzipFolderToWorkingFolder(sourceFolder:imageId:workingFile:logSeed:)";
constexpr std::string_view kSaveJsonOperation = "_saveAsJsonFile(jsonProject:jsonFile:)";
constexpr std::string_view kZozFileOperation = "zozFile(project:fromWorkingFolder:toFile:)";
constexpr std::string_view kPackImageOperation =
    "_copyImageFileFromWorkingFolderToZozFile(sourceFolder:imageId:logSeed:)";

// Why an operation failed, in words: the zip layer's own account where it has one.
std::string causeOf(const std::exception& error) {
    if (const auto* zip = dynamic_cast<const files::ZipError*>(&error);
        zip != nullptr && !zip->detail().empty()) {
        return zip->detail();
    }
    return core::localizedDescription(error);
}

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
            core::Log::warning("Failed to remove unzip cache folder at " + m_path.string() + " - " +
                                   ec.message(),
                               core::LogLocation::named(kReadOperation));
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

// Logs the message with its cause, then throws the case with the cause as its detail.
[[noreturn]] void throwLogged(DocumentError::Code code, const std::string& message,
                              const core::LogLocation& at, std::string cause = {}) {
    core::Log::error(cause.empty() ? message : message + " - " + cause, at);
    throw DocumentError(code, std::move(cause));
}

// The text in Unicode normalisation form C; the text itself when it is not valid UTF-8.
std::string composed(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        return text;
    }
    const icu::UnicodeString normal = nfc->normalize(icu::UnicodeString::fromUTF8(text), status);
    std::string result;
    if (U_SUCCESS(status)) {
        normal.toUTF8String(result);
    }
    return U_SUCCESS(status) ? result : text;
}

// The name of a file in `folder` that differs from `name` only in Unicode normalisation (an
// archive made where file names are decomposed); absent when there is none.
std::optional<std::string> differentlyNormalisedName(const fs::path& folder,
                                                     const std::string& name) {
    const std::string wanted = composed(name);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (candidate != name && composed(candidate) == wanted && isRegularFile(it->path())) {
            return candidate;
        }
    }
    return std::nullopt;
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
                               " as its id is not a plain file name",
                           core::LogLocation::named(kCopyImageOperation));
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
                                 causeOf(error),
                             core::LogLocation::named(kCopyImageOperation));
        }
        return;
    }
    if (!isRegularFile(png)) {
        // A missing image is not worth a line; one that is there under another normalisation of
        // its name is, since the user sees it in the archive.
        for (const std::string& name : {imageId + ".jpg", imageId + ".png"}) {
            if (const auto other = differentlyNormalisedName(sourceFolder, name)) {
                core::Log::warning("Skipped " + logSeed + " of " + imageId +
                                       " as the archive names its file \"" + *other +
                                       "\", which differs from the id in Unicode normalisation",
                                   core::LogLocation::named(kCopyImageOperation));
                break;
            }
        }
        return;
    }
    std::vector<std::uint8_t> jpeg;
    try {
        jpeg = convertPngToJpeg(readImageFile(png), kJpegQuality);
    } catch (const std::exception& error) {
        core::Log::warning("Skipped " + logSeed + " of " + imageId + " as " + causeOf(error),
                           core::LogLocation::named(kCopyImageOperation));
        return;
    }
    try {
        workingFile.writeData(jpeg);
    } catch (const std::exception& error) {
        core::Log::error("Failed to compress " + logSeed + " png file to jpg file, id: " + imageId +
                             " - " + causeOf(error),
                         core::LogLocation::named(kCopyImageOperation));
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
                           "] is not exist in the project working directory",
                       core::LogLocation::named(kPackImageOperation));
    return std::nullopt;
}

void saveJson(const JsonProject& jsonProject, const files::VtFile& jsonFile, bool prettyPrint) {
    const auto failed = [&](const std::exception& error) {
        throwLogged(DocumentError::Code::SaveError,
                    "Failed to save project \"" + jsonProject.name.value_or("") +
                        "\" to json file: \"" + jsonFile.pathString() + "\"",
                    core::LogLocation::named(kSaveJsonOperation), causeOf(error));
    };
    std::string text;
    try {
        text = encodeJsonProjectText(jsonProject, prettyPrint);
    } catch (const std::exception& error) {
        // The old file stays: a project that cannot be encoded must not cost the saved one.
        failed(error);
    }
    try {
        jsonFile.writeString(text, true, core::TextEncoding::utf8);
    } catch (const std::exception& error) {
        core::logError(error, "Failed to save project to file " + jsonFile.pathString(),
                       core::LogLocation::named(kSaveJsonOperation));
        failed(error);
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

// The decoded JSON and, when asked for, the project mapped from it, each with the reason it is
// missing.
struct Decoded {
    std::optional<JsonProject> json;
    std::string decodeFailure;
    std::shared_ptr<ZozProject> project;
    std::string mapFailure;
};

Decoded decodeText(const std::string& text, bool mapProject) {
    Decoded decoded;
    try {
        decoded.json = decodeJsonProject(text);
    } catch (const std::exception& error) {
        decoded.decodeFailure = causeOf(error);
        return decoded;
    }
    if (!decoded.json) {
        decoded.decodeFailure = "the text is JSON null, not a project";
        return decoded;
    }
    if (mapProject) {
        try {
            decoded.project = DataMapService::map(*decoded.json);
            if (!decoded.project) {
                decoded.mapFailure = decoded.json->uniqueId
                                         ? "the project's data is outside what can be mapped"
                                         : "the project has no \"Uid\"";
            }
        } catch (const std::exception& error) {
            decoded.mapFailure = causeOf(error);
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
    std::string mapFailure;
};

ReadResult readDocument(const files::VtFile& document,
                        const std::optional<files::VtFolder>& workingFolder, bool mapProject) {
    const std::string path = document.pathString();
    if (!document.exists()) {
        throwLogged(DocumentError::Code::FileNotExist,
                    ".zoz file loading failed as the file does not exist:" + path,
                    core::LogLocation::named(kReadOperation));
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
        // The error's own description ("Failed to unzip file.") says little: its cause follows.
        std::string message =
            core::errorLogMessage(error, "Failed to unzip the .zoz file \"" + path + "\"");
        std::string cause = causeOf(error);
        if (cause != core::localizedDescription(error)) {
            message += " (" + cause + ")";
        }
        core::Log::error(message, core::LogLocation::named(kReadOperation));
        throw DocumentError(DocumentError::Code::InvalidFileFormat, std::move(cause));
    }
    if (!isRegularFile(jsonPath)) {
        throwLogged(DocumentError::Code::InvalidFileContent,
                    "Failed to load project as there is no json file in teh zip file:" + path,
                    core::LogLocation::named(kReadOperation),
                    std::string("the archive holds no entry \"") + kJsonEntryName + "\"");
    }
    std::error_code ec;
    if (fs::file_size(jsonPath, ec) > kMaxProjectJsonBytes && !ec) {
        throwLogged(DocumentError::Code::InvalidFileFormat,
                    "The json file of " + path + " exceeds " +
                        std::to_string(kMaxProjectJsonBytes) + " bytes",
                    core::LogLocation::named(kReadOperation),
                    std::string("entry \"") + kJsonEntryName + "\" is larger than " +
                        std::to_string(kMaxProjectJsonBytes) + " bytes");
    }
    Decoded decoded;
    if (early.valid()) {
        decoded = early.get();
    } else if (auto text = readJsonText(jsonPath)) {
        decoded = decodeText(*text, mapProject);
    } else {
        decoded.decodeFailure = std::string("entry \"") + kJsonEntryName + "\" cannot be read";
    }
    if (!decoded.json) {
        throwLogged(DocumentError::Code::InvalidJson, "Failed to pharse project json file:" + path,
                    core::LogLocation::named(kReadOperation), decoded.decodeFailure);
    }
    JsonProject json = std::move(*decoded.json);
    if (workingFolder) {
        const Manager::ProjectWorkingFolder working(*workingFolder);
        try {
            files::VtFile(jsonPath).move(working.jsonFile());
        } catch (const std::exception& error) {
            throwLogged(DocumentError::Code::OpenError,
                        "Failed to copy the json file when opening project at:" + path,
                        core::LogLocation::named(kReadOperation), causeOf(error));
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
    return {std::move(json), std::move(decoded.project), std::move(decoded.mapFailure)};
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
                    "Failed to convert from json project object:" + document.pathString(),
                    core::LogLocation::named(kLoadOperation), std::move(read.mapFailure));
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
                    "Failed to save project \"" + name + "\" because the json file does not exist",
                    core::LogLocation::named(kZozFileOperation));
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
                        "\" as .zoz file, with error: " + core::localizedDescription(error),
                    core::LogLocation::named(kZozFileOperation), causeOf(error));
    }
}

} // namespace ZozX

} // namespace document
