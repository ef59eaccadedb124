#include "document/zoz_x.hpp"

#include "document/image_codec.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"

#include "core/calendar.hpp"
#include "core/executor.hpp"
#include "core/uuid.hpp"
#include "files/zip.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using document::DocumentError;
using document::JsonPeople;
using document::JsonProject;
using document::JsonResourceAssignment;
using document::JsonTask;
using document::ZozX::Manager;
using document::ZozX::PendingImages;
using Entries = std::vector<std::pair<std::string, std::string>>;

std::string readText(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::string text(ec ? 0 : size, '\0');
    std::ifstream(path, std::ios::binary)
        .read(text.data(), static_cast<std::streamsize>(text.size()));
    return text;
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string pngBytes(std::uint8_t alpha = 255) {
    const std::vector<std::uint8_t> rgba(4 * 4 * 4, alpha);
    const auto png = document::encodePng(rgba, 4, 4);
    return {png.begin(), png.end()};
}

std::string jpegBytes() {
    const std::vector<std::uint8_t> rgb(4 * 4 * 3, 90);
    const auto jpeg = document::encodeJpeg(rgb, 4, 4);
    return {jpeg.begin(), jpeg.end()};
}

bool isJpegFile(const fs::path& path) {
    const std::string bytes = readText(path);
    return document::looksLikeJpeg(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

std::size_t countEntries(const fs::path& folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(folder)) {
        ++n;
    }
    return n;
}

class Container : public ::testing::Test {
protected:
    void SetUp() override {
        m_scratch = fs::temp_directory_path() / ("reader-" + core::Uuid::random().uuidString());
        m_tmp = m_scratch / "tmp";
        fs::create_directories(m_tmp);
        // The reader's unzip folders go to TMPDIR: a private one shows every leftover.
        const char* old = std::getenv("TMPDIR");
        m_oldTmp = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("TMPDIR", m_tmp.c_str(), 1);
    }

    void TearDown() override {
        if (m_oldTmp) {
            ::setenv("TMPDIR", m_oldTmp->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
        fs::remove_all(m_scratch);
    }

    // Builds an archive with Python's zipfile, which writes any entry name it is given.
    fs::path makeZip(const std::string& name, const Entries& entries) {
        const fs::path staging = m_scratch / ("staging-" + core::Uuid::random().uuidString());
        fs::create_directories(staging);
        std::string manifest;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            writeText(staging / std::to_string(i), entries[i].second);
            manifest += entries[i].first + "\n";
        }
        writeText(staging / "manifest", manifest);
        const fs::path archive = m_scratch / name;
        const std::string command =
            "python3 -c \"import sys,zipfile\nnames=open(sys.argv[1]+'/manifest').read()"
            ".split('\\n')[:-1]\nwith zipfile.ZipFile(sys.argv[2],'w',zipfile.ZIP_DEFLATED) as "
            "z:\n  for i,n in enumerate(names): z.write(sys.argv[1]+'/'+str(i),n)\" '" +
            staging.string() + "' '" + archive.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return archive;
    }

    files::VtFolder workingFolder() {
        const fs::path path = m_scratch / ("work-" + core::Uuid::random().uuidString());
        fs::create_directories(path);
        return files::VtFolder(path);
    }

    DocumentError::Code loadFailure(const fs::path& document) {
        try {
            Manager().jsonProject(files::VtFile(document), workingFolder());
        } catch (const DocumentError& error) {
            return error.code();
        }
        ADD_FAILURE() << "loaded " << document;
        return DocumentError::Code::SaveError;
    }

    fs::path m_scratch;
    fs::path m_tmp;
    std::optional<std::string> m_oldTmp;
    core::ScopedCalendarOverride m_zone{"America/New_York", "en_US"};
};

TEST_F(Container, LoadCopiesJsonAndImagesAndConvertsPngPhotos) {
    const std::string json = R"({"Uid":"p","Name":"Plan","Image":"cover","Banner":"ban",
        "Ples":[{"Id":1,"Nm":"Ann","Pt":"ph1"},{"Id":2,"Nm":"Bo","Pt":"ph2"},
                {"Id":3,"Nm":"Cy","Pt":""},{"Id":4,"Nm":"Di"},{"Id":5,"Nm":"Ed","Pt":"gone"}],
        "Root":{"Uid":0,"Start":"2024-01-01","Finish":"2024-01-02"}})";
    const std::string jpeg = jpegBytes();
    const fs::path doc = makeZip("plan.zoz", {{"project.moc", json},
                                              {"ph1.png", pngBytes(0)},
                                              {"ph2.jpg", jpeg},
                                              {"ph2.png", pngBytes()},
                                              {"cover.jpg", jpeg},
                                              {"stray.txt", "x"}});
    const files::VtFolder work = workingFolder();
    const document::JsonProject project = Manager().jsonProject(files::VtFile(doc), work);
    EXPECT_EQ(project.name, "Plan");
    EXPECT_EQ(project.peoples->size(), 5U);
    EXPECT_EQ(readText(work.url() / "project.moc"), json);
    EXPECT_TRUE(isJpegFile(work.url() / "Photo" / "ph1.jpg"));
    EXPECT_EQ(readText(work.url() / "Photo" / "ph2.jpg"), jpeg);
    EXPECT_EQ(readText(work.url() / "cover.jpg"), jpeg);
    EXPECT_FALSE(fs::exists(work.url() / "ban.jpg"));
    EXPECT_EQ(countEntries(work.url() / "Photo"), 2U);
    EXPECT_EQ(countEntries(work.url()), 5U);
    EXPECT_EQ(countEntries(m_tmp), 0U);

    // Without a working folder only the JSON is decoded, and nothing is left behind.
    EXPECT_EQ(Manager().jsonProject(files::VtFile(doc), std::nullopt).uniqueId, "p");
    EXPECT_EQ(countEntries(m_tmp), 0U);
    // The working folder already holds a "project.moc": the copy is refused.
    try {
        Manager().jsonProject(files::VtFile(doc), work);
        ADD_FAILURE();
    } catch (const DocumentError& error) {
        EXPECT_EQ(error.code(), DocumentError::Code::OpenError);
    }
    EXPECT_EQ(countEntries(m_tmp), 0U);
}

TEST_F(Container, OneImageServesEveryRoleThatNamesIt) {
    // The writer packs an image once, however many roles name it; each role gets its copy back.
    const std::string jpeg = jpegBytes();
    const fs::path doc =
        makeZip("shared.zoz", {{"project.moc", R"({"Uid":"p","Image":"logo","Banner":"logo",
            "Ples":[{"Id":1,"Nm":"A","Pt":"logo"},{"Id":2,"Nm":"B","Pt":"logo"}]})"},
                               {"logo.jpg", jpeg}});
    const files::VtFolder work = workingFolder();
    Manager().jsonProject(files::VtFile(doc), work);
    EXPECT_EQ(readText(work.url() / "Photo" / "logo.jpg"), jpeg);
    EXPECT_EQ(readText(work.url() / "logo.jpg"), jpeg);
    EXPECT_EQ(countEntries(work.url()), 4U);
    EXPECT_EQ(countEntries(m_tmp), 0U);
}

TEST_F(Container, PhotoFolderExistsExactlyWhenPlesIsPresent) {
    const files::VtFolder without = workingFolder();
    Manager().jsonProject(files::VtFile(makeZip("a.zoz", {{"project.moc", R"({"Uid":"p"})"}})),
                          without);
    EXPECT_FALSE(fs::exists(without.url() / "Photo"));
    const files::VtFolder with = workingFolder();
    Manager().jsonProject(
        files::VtFile(makeZip("b.zoz", {{"project.moc", R"({"Uid":"p","Ples":[]})"}})), with);
    EXPECT_TRUE(fs::is_directory(with.url() / "Photo"));
}

TEST_F(Container, HostileDocumentsGiveTypedErrorsAndLeaveNothingBehind) {
    using Code = DocumentError::Code;
    EXPECT_EQ(loadFailure(m_scratch / "missing.zoz"), Code::FileNotExist);
    writeText(m_scratch / "text.zoz", "this is not a zip archive");
    EXPECT_EQ(loadFailure(m_scratch / "text.zoz"), Code::InvalidFileFormat);
    const fs::path good = makeZip("good.zoz", {{"project.moc", R"({"Uid":"p"})"}});
    const std::string bytes = readText(good);
    writeText(m_scratch / "cut.zoz", bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(loadFailure(m_scratch / "cut.zoz"), Code::InvalidFileFormat);
    EXPECT_EQ(loadFailure(makeZip("none.zoz", {{"other.moc", "{}"}})), Code::InvalidFileContent);
    EXPECT_EQ(loadFailure(makeZip("dir.zoz", {{"project.moc/x", "{}"}})), Code::InvalidFileContent);
    EXPECT_EQ(loadFailure(makeZip("nojson.zoz", {{"project.moc", "{\"Uid\":"}})),
              Code::InvalidJson);
    EXPECT_EQ(loadFailure(makeZip("null.zoz", {{"project.moc", "null"}})), Code::InvalidJson);
    EXPECT_EQ(
        loadFailure(makeZip("types.zoz", {{"project.moc", R"({"Uid":"p","Root":{"Uid":"1"}})"}})),
        Code::InvalidJson);
    EXPECT_EQ(loadFailure(makeZip("deep.zoz", {{"project.moc", std::string(100'000, '[')}})),
              Code::InvalidJson);
    EXPECT_EQ(loadFailure(makeZip("slip.zoz",
                                  {{"project.moc", R"({"Uid":"p"})"}, {"../../escaped.txt", "x"}})),
              Code::InvalidFileFormat);
    EXPECT_FALSE(fs::exists(m_scratch / "escaped.txt"));
    EXPECT_FALSE(fs::exists(m_scratch.parent_path() / "escaped.txt"));
    EXPECT_EQ(countEntries(m_tmp), 0U);
}

TEST_F(Container, FailuresSayWhyInTheLogAndTheError) {
    using Code = DocumentError::Code;
    struct Case {
        fs::path document;
        Code code;
        std::string message; // the fixed text of the log line
        std::string cause;
    };
    const std::vector<Case> cases = {
        {makeZip("uid.zoz", {{"project.moc", R"({"Uid":5})"}}), Code::InvalidJson,
         "Failed to pharse project json file:", "\"Uid\" of the project is not a string"},
        {makeZip("null.zoz", {{"project.moc", "null"}}), Code::InvalidJson,
         "Failed to pharse project json file:", "the text is JSON null, not a project"},
        {makeZip("slip.zoz", {{"project.moc", R"({"Uid":"p"})"}, {"../x", "x"}}),
         Code::InvalidFileFormat, "Failed to unzip the .zoz file \"",
         "entry \"../x\" climbs out of the destination folder"},
        {makeZip("none.zoz", {{"other.moc", "{}"}}), Code::InvalidFileContent,
         "Failed to load project as there is no json file in teh zip file:",
         "the archive holds no entry \"project.moc\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.document.filename().string());
        ::testing::internal::CaptureStdout();
        try {
            Manager().jsonProject(files::VtFile(c.document), workingFolder());
            ADD_FAILURE() << "loaded";
        } catch (const DocumentError& error) {
            EXPECT_EQ(error.code(), c.code);
            EXPECT_EQ(error.detail(), c.cause);
        }
        const std::string log = ::testing::internal::GetCapturedStdout();
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        EXPECT_NE(log.find(c.cause), std::string::npos) << log;
        EXPECT_NE(log.find("(_jsonProject(fromDezuduzFile:workingFolder:))"), std::string::npos)
            << log;
    }

    // A stored entry whose bytes no longer match its checksum.
    const fs::path damaged = m_scratch / "crc.zoz";
    const std::string command =
        "python3 -c \"import sys,zipfile\nwith zipfile.ZipFile(sys.argv[1],'w') as z: "
        "z.writestr('project.moc','{\\\"Uid\\\":\\\"p\\\"}')\" '" +
        damaged.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string bytes = readText(damaged);
    const auto at = bytes.find("{\"Uid\":\"p\"}");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 8] = 'q';
    writeText(damaged, bytes);
    try {
        Manager().jsonProject(files::VtFile(damaged), std::nullopt);
        ADD_FAILURE() << "loaded";
    } catch (const DocumentError& error) {
        EXPECT_EQ(error.code(), Code::InvalidFileFormat);
        EXPECT_EQ(error.detail(), "entry \"project.moc\" is damaged (CRC error)");
    }

    ::testing::internal::CaptureStdout();
    try {
        Manager().load(files::VtFile(makeZip("nouid.zoz", {{"project.moc", R"({"Name":"x"})"}})),
                       workingFolder());
        ADD_FAILURE() << "loaded";
    } catch (const DocumentError& error) {
        EXPECT_EQ(error.code(), Code::InvalidProjectData);
        EXPECT_EQ(error.detail(), "the project has no \"Uid\"");
    }
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Failed to convert from json project object:"), std::string::npos) << log;
    EXPECT_NE(log.find("(load(projectFromDezuduzDocument:to:))"), std::string::npos) << log;
}

TEST_F(Container, ImageNamedInAnotherNormalisationIsLoggedWhenDropped) {
    // The id is composed ("é" as one code point), the archive's file name decomposed.
    const std::string composedId = "Caf\xC3\xA9";
    const std::string decomposedName = "Cafe\xCC\x81.jpg";
    const fs::path doc = makeZip(
        "nfc.zoz",
        {{"project.moc", R"({"Uid":"p","Ples":[{"Id":1,"Nm":"A","Pt":")" + composedId + R"("},
             {"Id":2,"Nm":"B","Pt":"absent"}]})"},
         {decomposedName, jpegBytes()}});
    ::testing::internal::CaptureStdout();
    EXPECT_NO_THROW(Manager().jsonProject(files::VtFile(doc), workingFolder()));
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Skipped photo of " + composedId), std::string::npos) << log;
    EXPECT_NE(log.find(decomposedName), std::string::npos) << log;
    // An image that is simply not there stays silent.
    EXPECT_EQ(log.find("absent"), std::string::npos) << log;
}

TEST_F(Container, ManyMissingImagesInAnArchiveOfManyEntriesLoad) {
    // Each missing image is looked for under other normalisations of its name: the archive's
    // names must not be normalised again for each of them (20,000 x 10,000 would never end).
    std::string json =
        R"({"Uid":"p","Ples":[{"Id":1,"Nm":"C","Pt":")" + std::string("Caf\xC3\xA9") + "\"}";
    for (int i = 0; i < 20'000; ++i) {
        json += R"(,{"Id":)" + std::to_string(i + 2) + R"(,"Nm":"M","Pt":"missing)" +
                std::to_string(i) + "\"}";
    }
    Entries entries{{"project.moc", json + "]}"}, {"Cafe\xCC\x81.jpg", jpegBytes()}};
    for (int i = 0; entries.size() < files::ZipLimits::kMaxEntries; ++i) {
        entries.emplace_back("filler-" + std::to_string(i), "");
    }
    const fs::path doc = makeZip("many.zoz", entries);
    ::testing::internal::CaptureStdout();
    const JsonProject loaded = Manager().jsonProject(files::VtFile(doc), workingFolder());
    const std::string log = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(loaded.peoples);
    EXPECT_EQ(loaded.peoples->size(), 20'001U);
    EXPECT_NE(log.find("Skipped photo of Caf\xC3\xA9"), std::string::npos);
}

TEST_F(Container, HostileOrBadImagesAreSkipped) {
    const std::string png = pngBytes();
    std::string huge = png;
    huge[16] = 0x7F; // claims a width far beyond the limit
    const fs::path doc = makeZip(
        "images.zoz",
        {{"project.moc",
          R"({"Uid":"p","Image":"../outside","Banner":"a/b","Ples":[{"Id":1,"Nm":"A","Pt":".."},
             {"Id":2,"Nm":"B","Pt":"bad"},{"Id":3,"Nm":"C","Pt":"huge"},
             {"Id":4,"Nm":"D","Pt":"ok"}]})"},
         {"outside.jpg", jpegBytes()},
         {"a/b.jpg", jpegBytes()},
         {"bad.png", "\x89PNG\r\n\x1a\n garbage"},
         {"huge.png", huge},
         {"ok.png", png}});
    const files::VtFolder work = workingFolder();
    EXPECT_NO_THROW(Manager().jsonProject(files::VtFile(doc), work));
    EXPECT_EQ(countEntries(work.url() / "Photo"), 1U);
    EXPECT_TRUE(isJpegFile(work.url() / "Photo" / "ok.jpg"));
    EXPECT_FALSE(fs::exists(work.url() / "a"));
    EXPECT_FALSE(fs::exists(work.url().parent_path() / "outside.jpg"));
    EXPECT_EQ(countEntries(work.url()), 3U);
    EXPECT_EQ(countEntries(m_tmp), 0U);

    EXPECT_TRUE(document::ZozX::isPlainImageId("photo-1"));
    EXPECT_TRUE(document::ZozX::isPlainImageId("..."));
    for (const char* id : {"", ".", "..", "../x", "a/b", "/abs", "a\\b", "a\nb"}) {
        EXPECT_FALSE(document::ZozX::isPlainImageId(id)) << id;
    }
}

TEST_F(Container, WriterPacksWhatItReadsAndFailedSavesKeepOldFiles) {
    const files::VtFolder work = workingFolder();
    document::JsonProject project("P1", "Written");
    project.peoples = std::vector<document::JsonPeople>{{1, "Ann", "ph1", {}, {}},
                                                        {2, "Bo", "ph2", {}, {}},
                                                        {3, "Cy", "missing", {}, {}},
                                                        {4, "Di", "../x", {}, {}}};
    project.imageId = "cover";
    fs::create_directories(work.url() / "Photo");
    writeText(work.url() / "Photo" / "ph1.png", pngBytes());
    writeText(work.url() / "Photo" / "ph2.jpg", jpegBytes());
    writeText(work.url() / "cover.jpg", jpegBytes());
    const Manager manager;
    const files::VtFile target(m_scratch / "out.zoz");
    // Nothing to pack without the JSON.
    EXPECT_THROW(manager.zozFile(project, work, target), DocumentError);
    EXPECT_FALSE(target.exists());

    manager.saveAsJsonFile(project, work.file("project.moc"));
    manager.zozFile(project, work, target);
    EXPECT_TRUE(isJpegFile(work.url() / "Photo" / "ph1.jpg"));
    const std::string check = "unzip -tq '" + target.pathString() +
                              "' > /dev/null && python3 -c \"" +
                              "import json,sys,zipfile\nz=zipfile.ZipFile(sys.argv[1])\n" +
                              "assert sorted(z.namelist())==['cover.jpg','ph1.jpg','ph2.jpg'," +
                              "'project.moc'],z.namelist()\njson.loads(z.read('project.moc'))\" '" +
                              target.pathString() + "'";
    EXPECT_EQ(std::system(check.c_str()), 0);

    const files::VtFolder back = workingFolder();
    const auto read = manager.jsonProject(target, back);
    EXPECT_EQ(document::encodeJsonProjectText(read), document::encodeJsonProjectText(project));
    EXPECT_TRUE(isJpegFile(back.url() / "Photo" / "ph1.jpg"));

    // A project that cannot be encoded leaves the saved JSON and the document untouched.
    const std::string savedJson = readText(work.url() / "project.moc");
    const std::string savedDoc = readText(target.url());
    document::JsonProject broken = project;
    broken.dailyWorkingHours = std::numeric_limits<double>::quiet_NaN();
    try {
        manager.saveAsJsonFile(broken, work.file("project.moc"));
        ADD_FAILURE();
    } catch (const DocumentError& error) {
        EXPECT_EQ(error.code(), DocumentError::Code::SaveError);
    }
    EXPECT_EQ(readText(work.url() / "project.moc"), savedJson);
    fs::remove(work.url() / "project.moc");
    EXPECT_THROW(manager.zozFile(project, work, target), DocumentError);
    EXPECT_EQ(readText(target.url()), savedDoc);
}

// Documents our writer makes within the reader's limits open, however repetitive their JSON and
// therefore however well it compresses.
TEST_F(Container, RepetitiveDocumentsFromOurWriterOpen) {
    JsonTask task;
    task.uid = 1;
    task.start = core::Calendar::current().startOfDay(core::Date::now());
    task.finish = core::Date(task.start->timeIntervalSince1970() + 86400 * 3);
    task.resources.emplace(50'000, JsonResourceAssignment{1, 100});
    JsonProject busy;
    busy.uniqueId = "busy";
    busy.peoples.emplace(1, JsonPeople{1, "Ann", {}, {}, {}});
    JsonTask root;
    root.uid = 0;
    root.childs = std::vector<JsonTask>{std::move(task)};
    busy.root = std::move(root);
    JsonProject named;
    named.uniqueId = "named";
    named.name = std::string(20 * 1024 * 1024, 'n');

    const Manager manager;
    for (const JsonProject* json : {&busy, &named}) {
        const files::VtFolder source = workingFolder();
        manager.saveAsJsonFile(*json, source.file("project.moc"));
        const files::VtFile document(m_scratch / (*json->uniqueId + ".zoz"));
        manager.zozFile(*json, source, document);
        // Well beyond the 200 : 1 that a bomb check on small entries would refuse.
        EXPECT_GT(fs::file_size(source.url() / "project.moc"), fs::file_size(document.url()) * 200)
            << *json->uniqueId;
        const auto project = manager.load(document, workingFolder());
        ASSERT_TRUE(project) << *json->uniqueId;
        EXPECT_EQ(project->uniqueId(), *json->uniqueId);
    }
}

TEST_F(Container, LoadMapsTheProjectOrRefusesItsData) {
    const std::string jpeg = jpegBytes();
    const fs::path good =
        makeZip("good.zoz", {{"project.moc", R"({"Uid":"p","Name":"Plan","Ples":[{"Id":1,"Nm":"Ann",
            "Pt":"ph"}],"Root":{"Uid":0,"Childs":[{"Uid":1,"Start":"2024-01-01",
            "Finish":"2024-01-05","Res":[{"Pid":1,"WL":100},{"Pid":7,"WL":50}]}]}})"},
                             {"ph.jpg", jpeg}});
    const files::VtFolder work = workingFolder();
    const auto project = Manager().load(files::VtFile(good), work);
    ASSERT_TRUE(project);
    EXPECT_EQ(project->name(), "Plan");
    EXPECT_EQ(project->taskCount(), 2U);
    EXPECT_EQ(project->findTask(1)->resources().assignments().size(), 1U);
    EXPECT_EQ(readText(work.url() / "Photo" / "ph.jpg"), jpeg);

    // A load that fails leaves the caller's working folder as it was, whether nothing was in it
    // (no "Uid": refused after its JSON and photo were written) or the user's own files were
    // (a "project.moc" already there: refused before anything is written), and the temporary
    // folder holds nothing; the same folder then takes a good document.
    const auto failsWith = [&](const fs::path& document, const files::VtFolder& folder) {
        try {
            Manager().load(files::VtFile(document), folder);
        } catch (const DocumentError& error) {
            return std::optional<DocumentError::Code>(error.code());
        }
        return std::optional<DocumentError::Code>();
    };
    const fs::path noUid = makeZip(
        "bad.zoz", {{"project.moc", R"({"Name":"x","Ples":[{"Id":1,"Pt":"ph"}],"Image":"ph"})"},
                    {"ph.jpg", jpeg}});
    const files::VtFolder empty = workingFolder();
    EXPECT_EQ(failsWith(noUid, empty), DocumentError::Code::InvalidProjectData);
    EXPECT_EQ(countEntries(empty.url()), 0U);
    EXPECT_EQ(countEntries(m_tmp), 0U);
    EXPECT_TRUE(Manager().load(files::VtFile(good), empty));
    EXPECT_EQ(readText(empty.url() / "Photo" / "ph.jpg"), jpeg);

    const files::VtFolder used = workingFolder();
    writeText(used.url() / "project.moc", "mine");
    fs::create_directories(used.url() / "Photo");
    writeText(used.url() / "Photo" / "other.jpg", "mine too");
    EXPECT_EQ(failsWith(good, used), DocumentError::Code::OpenError);
    EXPECT_EQ(failsWith(noUid, used), DocumentError::Code::OpenError);
    fs::remove(used.url() / "project.moc");
    EXPECT_EQ(failsWith(noUid, used), DocumentError::Code::InvalidProjectData);
    EXPECT_EQ(countEntries(used.url()), 2U);
    EXPECT_EQ(readText(used.url() / "Photo" / "other.jpg"), "mine too");
    EXPECT_EQ(countEntries(m_tmp), 0U);
}

// Runs what the image writing posts to it only when the test says, one job at a time.
class HeldWriter final : public core::Executor {
public:
    void post(Job job) override {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    void postAfter(core::Duration /*delay*/, Job job) override { post(std::move(job)); }
    bool isCurrent() const override { return false; }

    std::size_t waiting() const {
        const std::lock_guard lock(m_mutex);
        return m_jobs.size();
    }
    // Runs the first waiting job; false when none waits.
    bool runOne() {
        Job job;
        {
            const std::lock_guard lock(m_mutex);
            if (m_jobs.empty()) {
                return false;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
        return true;
    }
    // Runs jobs, those they post included, until none waits; returns how many ran.
    std::size_t runAll() {
        std::size_t ran = 0;
        while (runOne()) {
            ++ran;
        }
        return ran;
    }

private:
    mutable std::mutex m_mutex;
    std::deque<Job> m_jobs;
};

// Every file below `folder` by its relative path, with its bytes.
std::map<std::string, std::string> filesBelow(const fs::path& folder) {
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            found.emplace(fs::relative(entry.path(), folder).string(), readText(entry.path()));
        }
    }
    return found;
}

class DeferredImages : public Container {
protected:
    // A plan of `members` members, each with a photo (every fourth a PNG), a JPEG cover and a
    // PNG banner.
    fs::path manyImages(int members) {
        std::string json = R"({"Uid":"p","Name":"Plan","Image":"cover","Banner":"banner","Ples":[)";
        Entries entries;
        const std::string jpeg = jpegBytes();
        for (int i = 1; i <= members; ++i) {
            json += std::string(i > 1 ? "," : "") + R"({"Id":)" + std::to_string(i) +
                    R"(,"Nm":"M","Pt":"ph)" + std::to_string(i) + "\"}";
            entries.emplace_back("ph" + std::to_string(i) + (i % 4 == 0 ? ".png" : ".jpg"),
                                 i % 4 == 0 ? pngBytes() : jpeg);
        }
        entries.emplace_back("project.moc", json + "]}");
        entries.emplace_back("cover.jpg", jpeg);
        entries.emplace_back("banner.png", pngBytes());
        return makeZip("many-images.zoz", entries);
    }

    // A plan whose photos are stored (not deflated) entries of the given bytes, photo i of
    // member i; returns the document.
    fs::path storedPhotos(const std::string& name, const std::vector<std::string>& photos) {
        std::string json = R"({"Uid":"p","Ples":[)";
        for (std::size_t i = 0; i < photos.size(); ++i) {
            json += std::string(i > 0 ? "," : "") + R"({"Id":)" + std::to_string(i + 1) +
                    R"(,"Nm":"M","Pt":"big)" + std::to_string(i + 1) + "\"}";
            writeText(m_scratch / ("stored-" + std::to_string(i + 1)), photos[i]);
        }
        writeText(m_scratch / "stored-json", json + "]}");
        const fs::path archive = m_scratch / name;
        const std::string command =
            "python3 -c \"import sys,zipfile\nwith zipfile.ZipFile(sys.argv[1]+'/" + name +
            "','w') as z:\n  z.write(sys.argv[1]+'/stored-json','project.moc')\n  for i in "
            "range(1," +
            std::to_string(photos.size() + 1) +
            "): z.write(sys.argv[1]+'/stored-'+str(i),'big'+str(i)+'.jpg')\" '" +
            m_scratch.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return archive;
    }

    Manager::ProjectLoad loadHeld(const fs::path& document, const files::VtFolder& work) {
        return Manager().loadDeferringImages(
            files::VtFile(document), work, [](const std::shared_ptr<document::ZozProject>&) {},
            m_writer);
    }

    std::shared_ptr<HeldWriter> m_writer = std::make_shared<HeldWriter>();
};

TEST_F(DeferredImages, TheProjectComesBeforeItsImagesWhichFollowAsTheFullLoadWritesThem) {
    const fs::path doc = manyImages(40);
    const files::VtFolder work = workingFolder();
    // The project is handed over once, as soon as it is mapped, and is the one the load returns.
    std::vector<std::shared_ptr<document::ZozProject>> handedOver;
    const Manager::ProjectLoad loaded = Manager().loadDeferringImages(
        files::VtFile(doc), work,
        [&](const std::shared_ptr<document::ZozProject>& mapped) { handedOver.push_back(mapped); },
        m_writer);
    ASSERT_TRUE(loaded.project);
    ASSERT_EQ(handedOver.size(), 1U);
    EXPECT_EQ(handedOver[0], loaded.project);
    EXPECT_EQ(loaded.project->name(), "Plan");
    EXPECT_TRUE(fs::exists(work.url() / "project.moc"));
    EXPECT_EQ(countEntries(work.url() / "Photo"), 0U);
    EXPECT_FALSE(fs::exists(work.url() / "cover.jpg"));
    EXPECT_FALSE(loaded.images.finished());

    // One image per job.
    ASSERT_TRUE(m_writer->runOne());
    EXPECT_EQ(countEntries(work.url() / "Photo"), 1U);
    EXPECT_FALSE(loaded.images.finished());
    EXPECT_EQ(m_writer->runAll(), 42U);
    EXPECT_TRUE(loaded.images.finished());
    EXPECT_TRUE(loaded.images.wait(std::chrono::seconds(10)));

    // Exactly what the load that writes its images before returning leaves.
    const files::VtFolder reference = workingFolder();
    ASSERT_TRUE(Manager().load(files::VtFile(doc), reference));
    const auto written = filesBelow(work.url());
    EXPECT_EQ(written.size(), 43U);
    EXPECT_EQ(written, filesBelow(reference.url()));
    EXPECT_TRUE(isJpegFile(work.url() / "Photo" / "ph4.jpg"));
    EXPECT_TRUE(isJpegFile(work.url() / "banner.jpg"));
    EXPECT_EQ(countEntries(m_tmp), 0U);
}

TEST_F(DeferredImages, AStopWritesNothingMoreAndFollowsTheLastImage) {
    const files::VtFolder work = workingFolder();
    const Manager::ProjectLoad loaded = loadHeld(manyImages(10), work);
    ASSERT_TRUE(m_writer->runOne());
    ASSERT_TRUE(m_writer->runOne());
    // Nothing waits for the writing while it is held; a process-wide wait does.
    auto everyWriting = std::async(
        std::launch::async, [] { return PendingImages::waitForAll(std::chrono::seconds(20)); });
    EXPECT_EQ(everyWriting.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);

    // The follow-up (removing the folder, say) waits for the writer, and no image follows it.
    std::vector<std::size_t> photosWhenFollowed;
    loaded.images.stop([&] {
        photosWhenFollowed.push_back(countEntries(work.url() / "Photo"));
        fs::remove_all(work.url());
    });
    loaded.images.stop([&] { photosWhenFollowed.push_back(99); });
    EXPECT_TRUE(photosWhenFollowed.empty());
    EXPECT_TRUE(fs::exists(work.url() / "Photo"));
    EXPECT_FALSE(loaded.images.finished());
    EXPECT_EQ(m_writer->runAll(), 1U);
    EXPECT_EQ(photosWhenFollowed, (std::vector<std::size_t>{2, 99}));
    EXPECT_FALSE(fs::exists(work.url()));
    EXPECT_TRUE(loaded.images.finished());
    EXPECT_TRUE(everyWriting.get());

    // Once the writing has ended, a stop follows at once, and a failing follow-up is logged.
    ::testing::internal::CaptureStdout();
    loaded.images.stop([&] { throw std::runtime_error("follow-up failed"); });
    loaded.images.stop([&] { photosWhenFollowed.push_back(0); });
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("follow-up failed"), std::string::npos) << log;
    EXPECT_EQ(photosWhenFollowed.size(), 3U);
}

TEST_F(DeferredImages, AnImageThatCannotBeWrittenIsLoggedAndLeftOut) {
    const files::VtFolder work = workingFolder();
    const Manager::ProjectLoad loaded = loadHeld(manyImages(8), work);
    // Something took the places of a JPEG and of a converted PNG meanwhile.
    fs::create_directory(work.url() / "Photo" / "ph3.jpg");
    fs::create_directory(work.url() / "Photo" / "ph4.jpg");
    ::testing::internal::CaptureStdout();
    m_writer->runAll();
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Failed to copy photo of ph3 as"), std::string::npos) << log;
    EXPECT_NE(log.find("Failed to compress photo png file to jpg file, id: ph4"), std::string::npos)
        << log;
    EXPECT_TRUE(loaded.images.finished());
    EXPECT_TRUE(fs::is_directory(work.url() / "Photo" / "ph3.jpg"));
    EXPECT_TRUE(isJpegFile(work.url() / "Photo" / "ph8.jpg"));
    EXPECT_EQ(countEntries(work.url() / "Photo"), 8U);
    EXPECT_TRUE(fs::exists(work.url() / "banner.jpg"));
}

TEST_F(DeferredImages, EveryImageEntryIsCheckedBeforeTheLoadReturns) {
    // Three photos of 6 MiB: more than the load holds in memory, so the last one is checked
    // without being kept and read again when it is written.
    std::vector<std::string> photos;
    for (char fill : {'a', 'b', 'c'}) {
        photos.emplace_back(std::size_t{6} * 1024 * 1024, fill);
        photos.back()[1000] = '!';
    }
    const fs::path good = storedPhotos("good.zoz", photos);
    const files::VtFolder work = workingFolder();
    const Manager::ProjectLoad loaded = loadHeld(good, work);
    m_writer->runAll();
    ASSERT_TRUE(loaded.images.finished());
    for (std::size_t i = 0; i < photos.size(); ++i) {
        EXPECT_TRUE(readText(work.url() / "Photo" / ("big" + std::to_string(i + 1) + ".jpg")) ==
                    photos[i])
            << i;
    }

    // A damaged photo, whether held or not, refuses the document before anything is left to
    // write, and the working folder is as it was.
    for (char damaged : {'a', 'c'}) {
        SCOPED_TRACE(damaged);
        std::string bytes = readText(good);
        const auto at = bytes.find(std::string(1000, damaged) + "!");
        ASSERT_NE(at, std::string::npos);
        bytes[at + 1000] = '?';
        const fs::path broken = m_scratch / (std::string("broken-") + damaged + ".zoz");
        writeText(broken, bytes);
        const files::VtFolder empty = workingFolder();
        try {
            loadHeld(broken, empty);
            ADD_FAILURE() << "loaded";
        } catch (const DocumentError& error) {
            EXPECT_EQ(error.code(), DocumentError::Code::InvalidFileFormat);
            EXPECT_NE(error.detail().find("is damaged (CRC error)"), std::string::npos)
                << error.detail();
        }
        EXPECT_EQ(m_writer->waiting(), 0U);
        EXPECT_EQ(countEntries(empty.url()), 0U);
    }

    // A project that cannot be mapped is never handed over, and leaves nothing to write.
    std::size_t handedOver = 0;
    const fs::path noUid = makeZip(
        "bad.zoz", {{"project.moc", R"({"Ples":[{"Id":1,"Pt":"ph"}]})"}, {"ph.jpg", jpegBytes()}});
    EXPECT_THROW(Manager().loadDeferringImages(
                     files::VtFile(noUid), workingFolder(),
                     [&](const std::shared_ptr<document::ZozProject>&) { ++handedOver; }, m_writer),
                 DocumentError);
    EXPECT_EQ(handedOver, 0U);
    EXPECT_EQ(m_writer->waiting(), 0U);
    // A receiver that fails costs only its head start.
    const auto kept = Manager().loadDeferringImages(
        files::VtFile(manyImages(1)), workingFolder(),
        [](const std::shared_ptr<document::ZozProject>&) {
            throw std::runtime_error("receiver failed");
        },
        m_writer);
    EXPECT_TRUE(kept.project);
    m_writer->runAll();
    EXPECT_TRUE(kept.images.finished());
}

TEST_F(DeferredImages, OnlySixteenMebibytesOfImagesAreHeldUntilTheyAreWritten) {
    // Three photos of 6 MiB: the first two are held from the check to the write, the third is
    // read from the archive again when it is written.
    std::vector<std::string> photos;
    for (char fill : {'a', 'b', 'c'}) {
        photos.emplace_back(std::size_t{6} * 1024 * 1024, fill);
        photos.back()[1000] = '!';
    }
    const fs::path document = storedPhotos("held.zoz", photos);
    const files::VtFolder work = workingFolder();
    const Manager::ProjectLoad loaded = loadHeld(document, work);
    // Every photo is damaged in the document after the load: only those not held notice.
    std::string bytes = readText(document);
    for (char fill : {'a', 'b', 'c'}) {
        const auto at = bytes.find(std::string(1000, fill) + "!");
        ASSERT_NE(at, std::string::npos);
        std::fstream file(document, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(at + 1000));
        file.put('?');
    }
    ::testing::internal::CaptureStdout();
    m_writer->runAll();
    const std::string log = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(loaded.images.finished());
    EXPECT_TRUE(readText(work.url() / "Photo" / "big1.jpg") == photos[0]);
    EXPECT_TRUE(readText(work.url() / "Photo" / "big2.jpg") == photos[1]);
    EXPECT_FALSE(fs::exists(work.url() / "Photo" / "big3.jpg"));
    EXPECT_NE(log.find("Failed to copy photo of big3 as"), std::string::npos) << log;
}

// As a closed document does: the load and the caller's pool let go while the images are written.
TEST_F(DeferredImages, ACallersPoolMayGoWhileItWritesAndTheFolderFollowsTheLastImage) {
    const fs::path doc = manyImages(12);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const files::VtFolder work = workingFolder();
        auto pool = std::make_shared<core::ThreadPool>(2);
        {
            const Manager::ProjectLoad loaded = Manager().loadDeferringImages(
                files::VtFile(doc), work, [](const std::shared_ptr<document::ZozProject>&) {},
                pool);
            if (round % 3 == 1) {
                std::this_thread::sleep_for(std::chrono::microseconds(200 * round));
            }
            loaded.images.stop([folder = work.url()] { fs::remove_all(folder); });
        }
        pool.reset();
        ASSERT_TRUE(PendingImages::waitForAll(std::chrono::seconds(10)));
        EXPECT_FALSE(fs::exists(work.url()));
    }
    EXPECT_EQ(countEntries(m_tmp), 0U);
}

TEST_F(DeferredImages, ByDefaultALibraryThreadWritesThem) {
    const files::VtFolder work = workingFolder();
    const Manager::ProjectLoad loaded = Manager().loadDeferringImages(
        files::VtFile(manyImages(5)), work, [](const std::shared_ptr<document::ZozProject>&) {});
    ASSERT_TRUE(loaded.images.wait(std::chrono::seconds(10)));
    EXPECT_EQ(countEntries(work.url() / "Photo"), 5U);
    EXPECT_TRUE(PendingImages::waitForAll(std::chrono::seconds(10)));
}

} // namespace
