#include "files/zip.hpp"

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>
#include <utime.h>

namespace fs = std::filesystem;
using files::ArchiveFile;
using files::Zip;
using files::ZipCompression;
using files::ZipError;
using files::test::listTree;
using files::test::readBytes;
using files::test::ScratchFolder;
using files::test::writeBytes;

namespace {

/// Runs a shell command; its exit status and standard output.
std::pair<int, std::string> run(const std::string& command) {
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return {-1, {}};
    }
    std::string output;
    std::array<char, 4096> buffer{};
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
        output.append(buffer.data(), n);
    }
    return {::pclose(pipe), output};
}

bool haveTool(const std::string& name) {
    return run("command -v " + name).first == 0;
}

std::string quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

ZipError::Code zipError(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const ZipError& error) {
        return error.code();
    }
    ADD_FAILURE() << "packing succeeded";
    return ZipError::Code::unzipFail;
}

void setModificationTime(const fs::path& path, std::time_t time) {
    const utimbuf times{time, time};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

/// Pins the local time zone for the calls in its scope.
class TimeZoneScope {
public:
    explicit TimeZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    TimeZoneScope(const TimeZoneScope&) = delete;
    TimeZoneScope& operator=(const TimeZoneScope&) = delete;
    ~TimeZoneScope() {
        if (m_old) {
            ::setenv("TZ", m_old->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

TEST(ZipPack, RoundTripsThroughOurUnzipAndOtherReaders) {
    ScratchFolder scratch;
    const fs::path photos = scratch / "photos";
    fs::create_directories(photos / "sub");
    fs::create_directories(photos / "empty");
    writeBytes(photos / "a.jpg", files::test::randomBytes(40000, 7));
    writeBytes(photos / "sub" / "b.jpg", std::string(100000, 'b'));
    writeBytes(scratch / "project.moc", "{\"Name\":\"p\"}");
    writeBytes(scratch / "empty.txt", "");

    std::vector<double> fractions;
    const fs::path archive = scratch / "out.zip";
    Zip::zipFiles({scratch / "project.moc", photos, scratch / "empty.txt"}, archive, std::nullopt,
                  ZipCompression::BestCompression, [&](double f) { fractions.push_back(f); });
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0);
    EXPECT_EQ(std::count(fractions.begin(), fractions.end(), 1.0), 1);

    const fs::path out = scratch / "unpacked";
    files::VtZip::unzip(archive, out, true);
    EXPECT_EQ(listTree(out),
              (std::vector<std::string>{"empty.txt", "photos/", "photos/a.jpg", "photos/sub/",
                                        "photos/sub/b.jpg", "project.moc"}));
    EXPECT_EQ(readBytes(out / "photos" / "a.jpg"), readBytes(photos / "a.jpg"));
    EXPECT_EQ(readBytes(out / "photos" / "sub" / "b.jpg"), std::string(100000, 'b'));
    EXPECT_EQ(readBytes(out / "empty.txt"), "");
    // Nothing to pack, or only empty folders, still gives an archive.
    Zip::zipFiles({}, scratch / "none.zip");
    Zip::zipFiles({photos / "empty"}, scratch / "empty.zip");

    if (!haveTool("unzip") || !haveTool("python3")) {
        GTEST_SKIP() << "unzip or python3 is not installed";
    }
    const auto [unzipStatus, unzipOutput] = run("unzip -t " + quoted(archive));
    EXPECT_EQ(unzipStatus, 0) << unzipOutput;
    EXPECT_NE(unzipOutput.find("No errors detected"), std::string::npos) << unzipOutput;
    const auto [pythonStatus, pythonOutput] =
        run("python3 -c \"import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); "
            "assert z.testzip() is None; print(sorted(z.namelist()))\" " +
            quoted(archive));
    EXPECT_EQ(pythonStatus, 0) << pythonOutput;
    EXPECT_EQ(pythonOutput, "['empty.txt', 'photos/a.jpg', 'photos/sub/b.jpg', 'project.moc']\n");
    for (const char* name : {"none.zip", "empty.zip"}) {
        const auto [status, output] = run(
            "python3 -c \"import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist())\" " +
            quoted(scratch / name));
        EXPECT_EQ(status, 0) << output;
        EXPECT_EQ(output, "[]\n");
    }
}

TEST(ZipPack, FailuresLeaveTheExistingArchiveUntouched) {
    ScratchFolder scratch;
    writeBytes(scratch / "a.txt", "a");
    const fs::path archive = scratch / "doc.zoz";
    writeBytes(archive, "previous document");

    EXPECT_EQ(zipError([&] {
                  files::VtZip::zip({scratch / "a.txt", scratch / "gone"}, archive);
              }),
              ZipError::Code::zipFail);
    EXPECT_EQ(zipError([&] { Zip::zipFiles({scratch / "a.txt"}, archive, "secret"); }),
              ZipError::Code::zipFail);
    EXPECT_EQ(readBytes(archive), "previous document");
    EXPECT_EQ(listTree(scratch.path()), (std::vector<std::string>{"a.txt", "doc.zoz"}));

    // Unwritable targets: a missing folder, and a path taken by a folder.
    EXPECT_EQ(zipError([&] { files::VtZip::zip({scratch / "a.txt"}, scratch / "no" / "x.zip"); }),
              ZipError::Code::zipFail);
    fs::create_directories(scratch / "taken" / "inside");
    EXPECT_EQ(zipError([&] { files::VtZip::zip({scratch / "a.txt"}, scratch / "taken"); }),
              ZipError::Code::zipFail);
    EXPECT_EQ(listTree(scratch.path()),
              (std::vector<std::string>{"a.txt", "doc.zoz", "taken/", "taken/inside/"}));

    // A named pipe among the inputs is refused rather than waited on for ever.
    fs::create_directories(scratch / "pipes");
    ASSERT_EQ(::mkfifo((scratch / "pipes" / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(zipError([&] { files::VtZip::zip({scratch / "pipes"}, archive); }),
              ZipError::Code::zipFail);
    EXPECT_EQ(readBytes(archive), "previous document");

    // Success replaces the old archive whole.
    files::VtZip::zip({scratch / "a.txt"}, archive);
    files::VtZip::unzip(archive, scratch / "check", true);
    EXPECT_EQ(readBytes(scratch / "check" / "a.txt"), "a");
}

TEST(ZipPack, DatesAreLocalFieldsClampedToTheZipRange) {
    if (!haveTool("python3")) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const TimeZoneScope zone("UTC");
    ScratchFolder scratch;
    writeBytes(scratch / "old.txt", "old");
    writeBytes(scratch / "new.txt", "new");
    setModificationTime(scratch / "old.txt", 0);
    setModificationTime(scratch / "new.txt", 1735689598); // 2024-12-31 23:59:58 UTC
    files::VtZip::zip({scratch / "old.txt", scratch / "new.txt"}, scratch / "d.zip");
    const auto [status, output] =
        run("python3 -c \"import sys, zipfile; "
            "print([i.date_time for i in zipfile.ZipFile(sys.argv[1]).infolist()])\" " +
            quoted(scratch / "d.zip"));
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, "[(1980, 1, 1, 0, 0, 0), (2024, 12, 31, 23, 59, 58)]\n");
}

TEST(ZipPack, DataEntriesSkipEmptyOnesAndReportProgress) {
    ScratchFolder scratch;
    std::vector<double> fractions;
    Zip::zipData({ArchiveFile{"a.txt", {'a', 'a', 'a'}, std::nullopt},
                  ArchiveFile{"skipped", {}, std::nullopt},
                  ArchiveFile{"dir/b.txt", {'b'}, core::Date::now()}},
                 scratch / "m.zip", std::nullopt, ZipCompression::NoCompression,
                 [&](double f) { fractions.push_back(f); });
    EXPECT_EQ(fractions, (std::vector<double>{0.75, 1.0, 1.0}));
    files::VtZip::unzip(scratch / "m.zip", scratch / "out", true);
    EXPECT_EQ(listTree(scratch / "out"), (std::vector<std::string>{"a.txt", "dir/", "dir/b.txt"}));
    EXPECT_EQ(zipError([&] {
                  Zip::zipData({ArchiveFile{"", {'x'}, std::nullopt}}, scratch / "n.zip");
              }),
              ZipError::Code::zipFail);
    EXPECT_FALSE(fs::exists(scratch / "n.zip"));

    // An archive of nothing is still an archive, which unpacking then refuses as empty.
    Zip::zipData({ArchiveFile{"e", {}, std::nullopt}}, scratch / "e.zip");
    EXPECT_TRUE(fs::exists(scratch / "e.zip"));
    EXPECT_EQ(files::zipCompressionFromRawValue(2), ZipCompression::DefaultCompression);
    EXPECT_FALSE(files::zipCompressionFromRawValue(4));
    EXPECT_EQ(files::deflateLevel(ZipCompression::DefaultCompression), -1);
    EXPECT_EQ(files::deflateLevel(ZipCompression::BestCompression), 9);
}

} // namespace

namespace {

TEST(ZipPack, QuickOperationsUseTheDocumentsFolder) {
    ScratchFolder scratch;
    const char* previous = std::getenv("XDG_DOCUMENTS_DIR");
    const std::optional<std::string> saved =
        previous ? std::optional<std::string>(previous) : std::nullopt;
    const fs::path documents = scratch / "Documents";
    ::setenv("XDG_DOCUMENTS_DIR", documents.c_str(), 1);
    writeBytes(scratch / "a.txt", "a");

    const fs::path archive = Zip::quickZipFiles({scratch / "a.txt"}, "backup");
    EXPECT_EQ(archive, documents / "backup.zip");
    fs::copy_file(archive, scratch / "report.zip.zip");
    const fs::path unpacked = Zip::quickUnzipFile(scratch / "report.zip.zip");
    EXPECT_EQ(unpacked, documents / "report");
    EXPECT_EQ(readBytes(unpacked / "a.txt"), "a");
    try {
        (void)Zip::quickUnzipFile(scratch / "missing.zip");
        ADD_FAILURE() << "a missing archive unpacked";
    } catch (const ZipError& error) {
        EXPECT_EQ(error.code(), ZipError::Code::unzipFail);
    }

    if (saved) {
        ::setenv("XDG_DOCUMENTS_DIR", saved->c_str(), 1);
    } else {
        ::unsetenv("XDG_DOCUMENTS_DIR");
    }
}

} // namespace
