#include "document/zoz_x.hpp"

#include "document/data_map_service.hpp"
#include "document/image_codec.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"

#include "core/log.hpp"
#include "files/zip.hpp"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
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

// The archive's file names by their Unicode normalisation form C, the first of equal forms
// winning; composed once per read, on the first image that is missing, since a document may name
// many missing images in an archive of many entries.
class ComposedNames {
public:
    explicit ComposedNames(const files::ZipEntryReader& archive) : m_archive(archive) {}

    // The archive's name of a file entry that differs from `name` only in Unicode normalisation
    // (an archive made where file names are decomposed); absent when there is none. `name`
    // itself is not in the archive.
    std::optional<std::string> differentlyNormalised(const std::string& name) {
        if (!m_names) {
            m_names.emplace();
            for (const std::string& candidate : m_archive.fileNames()) {
                m_names->emplace(composed(candidate), candidate);
            }
        }
        const auto found = m_names->find(composed(name));
        if (found == m_names->end() || found->second == name) {
            return std::nullopt;
        }
        return found->second;
    }

private:
    const files::ZipEntryReader& m_archive;
    std::optional<std::unordered_map<std::string, std::string>> m_names;
};

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

// The bytes of the images a load keeps are held in memory from their check until they are
// written, up to this much; past it an entry is checked without keeping its bytes and read again
// when it is written, so that a document of large images costs a second inflation, not memory.
constexpr std::uint64_t kHeldImageBytes = std::uint64_t{16} * 1024 * 1024;

// One image entry of the archive that the load checked and keeps.
struct ImageSource {
    std::string entry;
    // A PNG-only image, converted to JPEG when written.
    bool png = false;
    // The entry's bytes; null when they are read from the archive again.
    std::shared_ptr<const std::string> bytes;
};

// One image file to write into the working folder: the role and id it is logged by, and where.
struct ImageJob {
    std::string imageId;
    std::string logSeed;
    fs::path target;
    std::shared_ptr<const ImageSource> source;
};

// The images a load keeps, in the order it met them, each checked against the archive.
struct ImagePlan {
    std::vector<ImageJob> jobs;
    // An id named by several roles (a photo that is also the cover) was packed once: each of its
    // roles writes the entry checked for the first one.
    std::map<std::string, std::shared_ptr<const ImageSource>> sources;
    std::set<fs::path> targets;
    std::uint64_t heldBytes = 0;
    bool readsArchiveAgain = false;
};

// Checks the entry of a kept image, holding its bytes while the plan may; a damaged entry ends
// the read, like any archive failure.
std::shared_ptr<const ImageSource> checkedSource(const files::ZipEntryReader& archive,
                                                 const std::string& entry, std::uint64_t size,
                                                 bool png, ImagePlan& plan) {
    auto source = std::make_shared<ImageSource>();
    source->entry = entry;
    source->png = png;
    try {
        if (plan.heldBytes + size <= kHeldImageBytes) {
            source->bytes = std::make_shared<const std::string>(archive.read(entry));
            plan.heldBytes += size;
        } else {
            archive.verify(entry);
            plan.readsArchiveAgain = true;
        }
    } catch (const files::ZipError& error) {
        throw DamagedEntry{error.detail()};
    }
    return source;
}

// The checked entry of the image `imageId`: its JPEG, else its PNG; null (and logged where the
// user would want to know) when the archive holds neither within the size limit.
std::shared_ptr<const ImageSource> imageEntry(const files::ZipEntryReader& archive,
                                              ComposedNames& composedNames,
                                              const std::string& imageId,
                                              const std::string& logSeed, ImagePlan& plan) {
    const std::string jpg = imageId + ".jpg";
    const std::string png = imageId + ".png";
    if (const auto jpgSize = archive.size(jpg)) {
        if (*jpgSize > kMaxImageFileBytes) {
            core::Log::error("Failed to copy " + logSeed + " of " + imageId +
                                 " as The image file exceeds the size limit",
                             core::LogLocation::named(kCopyImageOperation));
            return nullptr;
        }
        return checkedSource(archive, jpg, *jpgSize, false, plan);
    }
    if (const auto pngSize = archive.size(png)) {
        if (*pngSize > kMaxImageFileBytes) {
            core::Log::warning("Skipped " + logSeed + " of " + imageId + " as The image file of " +
                                   std::to_string(*pngSize) + " bytes exceeds the size limit",
                               core::LogLocation::named(kCopyImageOperation));
            return nullptr;
        }
        return checkedSource(archive, png, *pngSize, true, plan);
    }
    // A missing image is not worth a line; one that is there under another normalisation of its
    // name is, since the user sees it in the archive.
    for (const std::string& name : {jpg, png}) {
        if (const auto other = composedNames.differentlyNormalised(name)) {
            core::Log::warning("Skipped " + logSeed + " of " + imageId +
                                   " as the archive names its file \"" + *other +
                                   "\", which differs from the id in Unicode normalisation",
                               core::LogLocation::named(kCopyImageOperation));
            break;
        }
    }
    return nullptr;
}

// Decides how one image of the document reaches the working folder as `target` and checks its
// entry: the JPEG as it is, or the PNG converted to JPEG. Problems are logged and loading goes on
// without the image; only a damaged entry ends the read.
void planImage(const files::ZipEntryReader& archive, ComposedNames& composedNames,
               const std::string& imageId, const fs::path& target, const std::string& logSeed,
               ImagePlan& plan) {
    if (!isPlainImageId(imageId)) {
        core::Log::warning("Skipped " + logSeed + " of " + imageId +
                               " as its id is not a plain file name",
                           core::LogLocation::named(kCopyImageOperation));
        return;
    }
    if (plan.targets.count(target) != 0) {
        return;
    }
    std::shared_ptr<const ImageSource> source;
    if (const auto earlier = plan.sources.find(imageId); earlier != plan.sources.end()) {
        source = earlier->second;
    } else {
        source = imageEntry(archive, composedNames, imageId, logSeed, plan);
        if (!source) {
            return;
        }
        plan.sources.emplace(imageId, source);
    }
    plan.targets.insert(target);
    plan.jobs.push_back({imageId, logSeed, target, std::move(source)});
}

// Writes one planned image as the new file its job names; `archive` is needed only for an
// entry whose bytes were not held. True when the file was written; a failure is logged and the
// image left out.
bool writeImage(const ImageJob& job, const files::ZipEntryReader* archive) {
    const ImageSource& source = *job.source;
    try {
        if (!source.png) {
            // Like the archive's own entries, never over a file already there.
            if (source.bytes) {
                writeNewFile(job.target, *source.bytes);
            } else {
                archive->extract(source.entry, job.target);
            }
            return true;
        }
    } catch (const std::exception& error) {
        core::Log::error("Failed to copy " + job.logSeed + " of " + job.imageId + " as " +
                             causeOf(error),
                         core::LogLocation::named(kCopyImageOperation));
        return false;
    }
    std::vector<std::uint8_t> jpeg;
    try {
        const std::string read = source.bytes ? std::string() : archive->read(source.entry);
        const std::string& bytes = source.bytes ? *source.bytes : read;
        jpeg = convertPngToJpeg({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                                kJpegQuality);
    } catch (const std::exception& error) {
        core::Log::warning("Skipped " + job.logSeed + " of " + job.imageId + " as " +
                               causeOf(error),
                           core::LogLocation::named(kCopyImageOperation));
        return false;
    }
    try {
        writeNewFile(job.target,
                     std::string_view(reinterpret_cast<const char*>(jpeg.data()), jpeg.size()));
        return true;
    } catch (const std::exception& error) {
        core::Log::error("Failed to compress " + job.logSeed +
                             " png file to jpg file, id: " + job.imageId + " - " + causeOf(error),
                         core::LogLocation::named(kCopyImageOperation));
        return false;
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

struct ReadResult {
    JsonProject json;
    std::shared_ptr<ZozProject> project;
    // The images left to write; none unless the read was asked to leave them.
    std::optional<PendingImages> images;
};

// The mapped project, or why there is none.
struct Mapped {
    std::shared_ptr<ZozProject> project;
    std::string failure;
};

Mapped mapProject(const JsonProject& json) {
    try {
        if (auto project = DataMapService::map(json)) {
            return {std::move(project), {}};
        }
        return {nullptr, json.uniqueId ? "the project's data is outside what can be mapped"
                                       : "the project has no \"Uid\""};
    } catch (const std::exception& error) {
        return {nullptr, causeOf(error)};
    }
}

// Reads the JSON entry into memory and writes into the working folder only the files it keeps:
// nothing is unpacked to a temporary folder first, so each file is written once. The mapping
// runs while the image entries are checked; whatever fails, the working folder is left as it
// was. When `deferImages`, the images are left to `writer` (by default the library's image
// thread) once the read has succeeded (all of them were checked by then); otherwise they are
// written here before it returns.
ReadResult readDocument(const files::VtFile& document,
                        const std::optional<files::VtFolder>& workingFolder, bool wantProject,
                        const std::function<void(const std::shared_ptr<ZozProject>&)>& onMapped,
                        bool deferImages = false,
                        std::shared_ptr<core::Executor> writer = nullptr) {
    const std::string path = document.pathString();
    if (!document.exists()) {
        throwLogged(DocumentError::Code::FileNotExist,
                    ".zoz file loading failed as the file does not exist:" + path,
                    core::LogLocation::named(kReadOperation));
    }
    // The error's own description ("Failed to unzip file.") says little: its cause follows.
    const auto unzipFailed = [&](const std::exception& error) {
        std::string message =
            core::errorLogMessage(error, "Failed to unzip the .zoz file \"" + path + "\"");
        std::string cause = causeOf(error);
        if (cause != core::localizedDescription(error)) {
            message += " (" + cause + ")";
        }
        core::Log::error(message, core::LogLocation::named(kReadOperation));
        throw DocumentError(DocumentError::Code::InvalidFileFormat, std::move(cause));
    };
    // Opening checks the whole archive, before anything is read or written.
    std::shared_ptr<const files::ZipEntryReader> archive;
    try {
        archive = std::make_shared<const files::ZipEntryReader>(document.url());
    } catch (const std::exception& error) {
        unzipFailed(error);
    }
    const auto jsonSize = archive->size(kJsonEntryName);
    if (!jsonSize) {
        throwLogged(DocumentError::Code::InvalidFileContent,
                    "Failed to load project as there is no json file in teh zip file:" + path,
                    core::LogLocation::named(kReadOperation),
                    std::string("the archive holds no entry \"") + kJsonEntryName + "\"");
    }
    if (*jsonSize > kMaxProjectJsonBytes) {
        throwLogged(DocumentError::Code::InvalidFileFormat,
                    "The json file of " + path + " exceeds " +
                        std::to_string(kMaxProjectJsonBytes) + " bytes",
                    core::LogLocation::named(kReadOperation),
                    std::string("entry \"") + kJsonEntryName + "\" is larger than " +
                        std::to_string(kMaxProjectJsonBytes) + " bytes");
    }
    std::string text;
    try {
        text = archive->read(kJsonEntryName);
    } catch (const std::exception& error) {
        unzipFailed(error);
    }
    std::optional<JsonProject> decoded;
    std::string decodeFailure = "the text is JSON null, not a project";
    try {
        decoded = decodeJsonProject(text);
    } catch (const std::exception& error) {
        decoded.reset();
        decodeFailure = causeOf(error);
    }
    if (!decoded) {
        throwLogged(DocumentError::Code::InvalidJson, "Failed to pharse project json file:" + path,
                    core::LogLocation::named(kReadOperation), std::move(decodeFailure));
    }
    ReadResult result{std::move(*decoded), nullptr, std::nullopt};
    const JsonProject& json = result.json;
    // The future's destructor waits for the mapping, so it never outlives the JSON it reads.
    std::future<Mapped> mapped;
    if (wantProject) {
        mapped = std::async(std::launch::async, [&json, &onMapped] {
            Mapped outcome = mapProject(json);
            if (outcome.project && onMapped) {
                try {
                    onMapped(outcome.project);
                } catch (const std::exception& error) {
                    // Only the caller's head start is lost: the load goes on.
                    core::logError(error, "The mapped project could not be handed over early");
                }
            }
            return outcome;
        });
    }

    PlacedFiles placedFiles;
    ImagePlan images;
    if (workingFolder) {
        const Manager::ProjectWorkingFolder working(*workingFolder);
        try {
            writeNewFile(working.jsonFile().url(), text);
        } catch (const std::exception& error) {
            throwLogged(DocumentError::Code::OpenError,
                        "Failed to copy the json file when opening project at:" + path,
                        core::LogLocation::named(kReadOperation), causeOf(error));
        }
        placedFiles.addFile(working.jsonFile().url());
        std::string().swap(text);
        try {
            ComposedNames composedNames(*archive);
            if (json.peoples) {
                const files::VtFolder photos = working.photoFolder();
                if (!photos.exists()) {
                    photos.create();
                    placedFiles.addFolder(photos.url());
                }
                for (const auto& member : *json.peoples) {
                    if (member.photoId && !member.photoId->empty()) {
                        planImage(*archive, composedNames, *member.photoId,
                                  photos.url() / (*member.photoId + ".jpg"), "photo", images);
                    }
                }
            }
            const auto planRootImage = [&](const std::optional<std::string>& id,
                                           const std::string& role) {
                if (id && !id->empty()) {
                    planImage(*archive, composedNames, *id, working.root().url() / (*id + ".jpg"),
                              role, images);
                }
            };
            planRootImage(json.imageId, "tile cover image");
            planRootImage(json.pdfBannerImageId, "pdf banner image");
        } catch (const DamagedEntry& damaged) {
            throwLogged(DocumentError::Code::InvalidFileFormat,
                        "Failed to unzip the .zoz file \"" + path + "\"",
                        core::LogLocation::named(kReadOperation), damaged.detail);
        }
        if (!deferImages) {
            // Written while the project is mapped; taken out again if the mapping fails.
            for (const ImageJob& job : images.jobs) {
                if (writeImage(job, archive.get())) {
                    placedFiles.addFile(job.target);
                }
            }
            images.jobs.clear();
        }
    }
    if (wantProject) {
        Mapped outcome = mapped.get();
        if (!outcome.project) {
            throwLogged(DocumentError::Code::InvalidProjectData,
                        "Failed to convert from json project object:" + path,
                        core::LogLocation::named(kLoadOperation), std::move(outcome.failure));
        }
        result.project = std::move(outcome.project);
    }
    if (deferImages) {
        // Only an entry whose bytes are not held needs the archive kept open.
        std::shared_ptr<const files::ZipEntryReader> kept =
            images.readsArchiveAgain ? std::move(archive) : nullptr;
        std::vector<std::function<void()>> writes;
        writes.reserve(images.jobs.size());
        for (ImageJob& job : images.jobs) {
            writes.emplace_back([job = std::move(job), kept] {
                try {
                    writeImage(job, kept.get());
                } catch (const std::exception& error) {
                    // Only running out of memory gets here; the image is left out like any other
                    // failure.
                    core::logError(error, "Failed to write " + job.logSeed + " of " + job.imageId);
                }
            });
        }
        result.images = PendingImages::start(std::move(writes), std::move(writer));
    }
    placedFiles.keep();
    return result;
}

} // namespace

JsonProject Manager::jsonProject(const files::VtFile& document,
                                 const std::optional<files::VtFolder>& workingFolder) const {
    return readDocument(document, workingFolder, false, {}).json;
}

std::shared_ptr<ZozProject> Manager::load(const files::VtFile& document,
                                          const files::VtFolder& workingFolder) const {
    return readDocument(document, workingFolder, true, {}).project;
}

Manager::ProjectLoad Manager::loadDeferringImages(
    const files::VtFile& document, const files::VtFolder& workingFolder,
    const std::function<void(const std::shared_ptr<ZozProject>&)>& onMapped,
    std::shared_ptr<core::Executor> writer) const {
    ReadResult read =
        readDocument(document, workingFolder, true, onMapped, true, std::move(writer));
    return {std::move(read.project), std::move(*read.images)};
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
