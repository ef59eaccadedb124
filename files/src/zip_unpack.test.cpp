#include "files/zip.hpp"

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <system_error>

#include <sys/stat.h>

namespace fs = std::filesystem;
using files::Zip;
using files::ZipError;
using files::ZipLimits;
using files::test::buildZip;
using files::test::listTree;
using files::test::RawEntry;
using files::test::readBytes;
using files::test::ScratchFolder;
using files::test::writeBytes;

namespace {

ZipError::Code unzipError(const fs::path& archive, const fs::path& destination,
                          bool overwrite = true) {
    try {
        files::VtZip::unzip(archive, destination, overwrite);
    } catch (const ZipError& error) {
        return error.code();
    }
    ADD_FAILURE() << "unpacking " << archive << " succeeded";
    return ZipError::Code::zipFail;
}

TEST(ZipUnpack, EntriesLandAtTheirRelativePaths) {
    ScratchFolder scratch;
    writeBytes(scratch / "a.zip", buildZip({
                                      {.name = "docs/", .data = ""},
                                      {.name = "a\\b.txt", .data = "backslash"},
                                      {.name = "dir\\", .data = ""},
                                      {.name = "./top.txt", .data = "top", .deflate = false},
                                      {.name = "deep/er/x.bin", .data = std::string(70000, 'x')},
                                  }));
    const fs::path out = scratch / "out" / "nested";
    files::VtZip::unzip(scratch / "a.zip", out, true);
    EXPECT_EQ(listTree(out),
              (std::vector<std::string>{"a/", "a/b.txt", "deep/", "deep/er/", "deep/er/x.bin",
                                        "dir/", "docs/", "top.txt"}));
    EXPECT_EQ(readBytes(out / "a" / "b.txt"), "backslash");
    EXPECT_EQ(readBytes(out / "top.txt"), "top");
    EXPECT_EQ(readBytes(out / "deep" / "er" / "x.bin"), std::string(70000, 'x'));
    // A fresh destination is private to the user.
    struct stat info {};
    ASSERT_EQ(::stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777U, 0700U);
}

TEST(ZipUnpack, HostileNamesAreRefusedWithoutWritingOutside) {
    const std::vector<std::string> names = {
        "../x",      "..\\x", "/x", "\\x",          "C:x",          "c:\\x",
        "a/../../x", "a/..",  "..", "ok/./../../x", "a\\..\\..\\x", std::string("a\0b", 3),
        "",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ScratchFolder scratch;
        // The good entry comes first: the whole archive must be refused before anything lands.
        writeBytes(scratch / "h.zip",
                   buildZip({{.name = "good.txt", .data = "g"}, {.name = name, .data = "evil"}}));
        EXPECT_EQ(unzipError(scratch / "h.zip", scratch / "d" / "e"), ZipError::Code::unzipFail);
        EXPECT_EQ(listTree(scratch.path()), std::vector<std::string>{"h.zip"});
    }
}

TEST(ZipUnpack, NeverFollowsOrCreatesSymbolicLinks) {
    ScratchFolder scratch;
    const fs::path outside = scratch / "outside";
    fs::create_directories(outside);
    writeBytes(outside / "victim.txt", "precious");
    const fs::path dest = scratch / "dest";
    fs::create_directories(dest);
    fs::create_directory_symlink(outside, dest / "link");
    fs::create_symlink(outside / "victim.txt", dest / "leaf.txt");

    // Through a folder link already in the destination.
    writeBytes(scratch / "a.zip", buildZip({{.name = "link/victim.txt", .data = "pwned"}}));
    EXPECT_EQ(unzipError(scratch / "a.zip", dest), ZipError::Code::unzipFail);
    // Onto a file link already in the destination.
    writeBytes(scratch / "b.zip", buildZip({{.name = "leaf.txt", .data = "pwned"}}));
    EXPECT_EQ(unzipError(scratch / "b.zip", dest), ZipError::Code::unzipFail);
    // A symbolic-link entry.
    writeBytes(scratch / "c.zip", buildZip({{.name = "made-link",
                                             .data = outside.string(),
                                             .externalAttributes = 0120777U << 16U}}));
    EXPECT_EQ(unzipError(scratch / "c.zip", dest), ZipError::Code::unzipFail);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest / "made-link")));
    EXPECT_EQ(readBytes(outside / "victim.txt"), "precious");
    EXPECT_EQ(listTree(outside), std::vector<std::string>{"victim.txt"});
}

TEST(ZipUnpack, DamagedArchivesFail) {
    ScratchFolder scratch;
    const std::string good = buildZip(
        {{.name = "a.txt", .data = std::string(5000, 'a')}, {.name = "b.txt", .data = "b"}});
    const auto fails = [&](const std::string& bytes) {
        writeBytes(scratch / "bad.zip", bytes);
        return unzipError(scratch / "bad.zip", scratch / "out");
    };
    EXPECT_EQ(fails(""), ZipError::Code::unzipFail);
    EXPECT_EQ(fails("this is not an archive"), ZipError::Code::unzipFail);
    EXPECT_EQ(fails(buildZip({})), ZipError::Code::unzipFail);
    EXPECT_EQ(fails(good.substr(0, good.size() - 10)), ZipError::Code::unzipFail);
    // Local data cut away while the directory still points at it.
    std::string cut = good;
    cut.erase(40, 20);
    EXPECT_EQ(fails(cut), ZipError::Code::unzipFail);
    // Declared sizes that lie either way, a wrong checksum, corrupt deflate data.
    EXPECT_EQ(fails(buildZip({{.name = "s", .data = "twelve bytes", .declaredSize = 5}})),
              ZipError::Code::unzipFail);
    EXPECT_EQ(fails(buildZip({{.name = "l", .data = "twelve bytes", .declaredSize = 50}})),
              ZipError::Code::unzipFail);
    EXPECT_EQ(
        fails(buildZip({{.name = "s", .data = "stored", .deflate = false, .declaredSize = 3}})),
        ZipError::Code::unzipFail);
    EXPECT_EQ(fails(buildZip({{.name = "c", .data = "checksum", .crc = 1234}})),
              ZipError::Code::unzipFail);
    std::string corrupt = buildZip({{.name = "z", .data = files::test::randomBytes(4000, 1)}});
    for (std::size_t i = 40; i < 200; ++i) {
        corrupt[i] = static_cast<char>(~corrupt[i]);
    }
    EXPECT_EQ(fails(corrupt), ZipError::Code::unzipFail);
    // Encrypted entries are refused whatever password is given.
    writeBytes(scratch / "enc.zip", buildZip({{.name = "e", .data = "x", .flags = 1}}));
    EXPECT_THROW(Zip::unzipFile(scratch / "enc.zip", scratch / "out", true, "secret"), ZipError);
}

/// `bytes` (one archive without comment) with the end record declaring `count` entries.
std::string withDeclaredCount(std::string bytes, std::uint16_t count) {
    const std::size_t end = bytes.size() - 22;
    for (const std::size_t field : {end + 8, end + 10}) {
        bytes[field] = static_cast<char>(count & 0xFFU);
        bytes[field + 1] = static_cast<char>(count >> 8U);
    }
    return bytes;
}

TEST(ZipUnpack, LyingEntryCountsAndConflictingEntriesFail) {
    ScratchFolder scratch;
    const auto fails = [&](const std::string& bytes) {
        writeBytes(scratch / "bad.zip", bytes);
        const ZipError::Code code = unzipError(scratch / "bad.zip", scratch / "out" / "dest");
        const std::vector<std::string> items = listTree(scratch / "out");
        const bool contained = std::all_of(items.begin(), items.end(), [](const std::string& item) {
            return item.starts_with("dest/");
        });
        fs::remove_all(scratch / "out");
        fs::create_directories(scratch / "out");
        return code == ZipError::Code::unzipFail && contained;
    };
    fs::create_directories(scratch / "out");
    const std::string three = buildZip({{.name = "a.txt", .data = "a"},
                                        {.name = "b.txt", .data = "b"},
                                        {.name = "c", .data = "c"}});
    // Fewer entries than the directory holds would silently leave the rest behind.
    EXPECT_TRUE(fails(withDeclaredCount(three, 2)));
    EXPECT_TRUE(fails(withDeclaredCount(three, 1)));
    EXPECT_TRUE(fails(withDeclaredCount(three, 4)));
    EXPECT_TRUE(fails(withDeclaredCount(three, 0xFFFF)));
    // A directory cut short behind an intact end record.
    std::string cut = three;
    cut.erase(cut.size() - 22 - 10, 10);
    EXPECT_TRUE(fails(cut));

    // A file and a folder of the same name, in either order.
    EXPECT_TRUE(fails(buildZip({{.name = "x", .data = "file"}, {.name = "x/", .data = ""}})));
    EXPECT_TRUE(fails(buildZip({{.name = "x/", .data = ""}, {.name = "x", .data = "file"}})));
    EXPECT_TRUE(fails(buildZip({{.name = "x", .data = "file"}, {.name = "x/y", .data = "in"}})));

    // A repeated name is written again, the later entry winning as in other readers.
    writeBytes(scratch / "dup.zip",
               buildZip({{.name = "d.txt", .data = "first"}, {.name = "d.txt", .data = "second"}}));
    files::VtZip::unzip(scratch / "dup.zip", scratch / "out" / "dup", true);
    EXPECT_EQ(readBytes(scratch / "out" / "dup" / "d.txt"), "second");
    EXPECT_EQ(listTree(scratch / "out"), (std::vector<std::string>{"dup/", "dup/d.txt"}));
}

TEST(ZipUnpack, ArchivesWithCommentsExtraFieldsAndAPrefixUnpack) {
    ScratchFolder scratch;
    // Records with extra fields and comments, zip64 records, an archive comment and a stub in
    // front of the archive all move where the directory ends.
    const std::string script = R"(import sys, zipfile
path = sys.argv[1]
with open(path, 'wb') as f:
    f.write(b'#!stub\n' * 10)
with zipfile.ZipFile(path, 'a') as z:
    z.comment = b'archive comment'
    i = zipfile.ZipInfo('a.txt')
    i.extra = b'\xfe\xca\x04\x00abcd'
    i.comment = b'entry comment'
    z.writestr(i, 'alpha')
    with z.open('b.txt', 'w', force_zip64=True) as e:
        e.write(b'beta')
    z.writestr('c/d.txt', 'delta', compress_type=zipfile.ZIP_DEFLATED)
)";
    writeBytes(scratch / "make.py", script);
    const std::string command =
        "python3 '" + (scratch / "make.py").string() + "' '" + (scratch / "a.zip").string() + "'";
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "python3 could not build the archive";
    }
    files::VtZip::unzip(scratch / "a.zip", scratch / "out", true);
    EXPECT_EQ(listTree(scratch / "out"),
              (std::vector<std::string>{"a.txt", "b.txt", "c/", "c/d.txt"}));
    EXPECT_EQ(readBytes(scratch / "out" / "b.txt"), "beta");
    EXPECT_EQ(readBytes(scratch / "out" / "c" / "d.txt"), "delta");
}

TEST(ZipUnpack, MissingArchiveIsFileNotFoundBeforeAnythingIsCreated) {
    ScratchFolder scratch;
    EXPECT_EQ(unzipError(scratch / "missing.zip", scratch / "out"), ZipError::Code::fileNotFound);
    EXPECT_FALSE(fs::exists(scratch / "out"));
    EXPECT_EQ(ZipError(ZipError::Code::fileNotFound).localizedDescription(), "File not found.");
    EXPECT_EQ(ZipError(ZipError::Code::unzipFail).localizedDescription(), "Failed to unzip file.");
    EXPECT_EQ(ZipError(ZipError::Code::zipFail).localizedDescription(), "Failed to zip file.");
}

TEST(ZipUnpack, LimitsRefuseBombsBeforeWriting) {
    ScratchFolder scratch;
    const auto refused = [&](const std::vector<RawEntry>& entries) {
        writeBytes(scratch / "bomb.zip", buildZip(entries));
        const bool failed =
            unzipError(scratch / "bomb.zip", scratch / "out") == ZipError::Code::unzipFail;
        const bool nothingWritten = !fs::exists(scratch / "out");
        fs::remove_all(scratch / "out");
        return failed && nothingWritten;
    };
    std::vector<RawEntry> many(ZipLimits::kMaxEntries + 1);
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i] = {.name = std::to_string(i) + ".f", .data = "", .deflate = false};
    }
    EXPECT_TRUE(refused(many));
    EXPECT_TRUE(
        refused({{.name = "big",
                  .data = "x",
                  .deflate = false,
                  .declaredSize = static_cast<std::uint32_t>(ZipLimits::kMaxEntrySize + 1)}}));
    const auto third = static_cast<std::uint32_t>(ZipLimits::kMaxTotalSize / 3 + 1);
    // Each entry alone passes the entry and ratio limits; together they exceed the total.
    const std::string filler = files::test::randomBytes(third / 150, 3);
    EXPECT_TRUE(refused({{.name = "1", .data = filler, .deflate = false, .declaredSize = third},
                         {.name = "2", .data = filler, .deflate = false, .declaredSize = third},
                         {.name = "3", .data = filler, .deflate = false, .declaredSize = third}}));
    // Beyond the largest entry a valid document holds, a tiny archive may not ask for hundreds
    // of megabytes.
    const auto huge = static_cast<std::uint32_t>(ZipLimits::kRatioCheckThreshold + 1);
    const std::string stored = files::test::randomBytes(huge / ZipLimits::kMaxCompressionRatio, 4);
    EXPECT_TRUE(
        refused({{.name = "bomb", .data = stored, .deflate = false, .declaredSize = huge}}));
    // Repetitive entries up to that size are welcome, however well they compress.
    writeBytes(scratch / "ok.zip",
               buildZip({{.name = "zeros", .data = std::string(4 * 1024 * 1024, '\0')}}));
    EXPECT_NO_THROW(files::VtZip::unzip(scratch / "ok.zip", scratch / "out", true));
}

TEST(ZipUnpack, OverwriteProgressHandlerPasswordAndPermissions) {
    ScratchFolder scratch;
    writeBytes(
        scratch / "a.zip",
        buildZip({{.name = "my file.txt", .data = "new", .externalAttributes = 0100600U << 16U},
                  {.name = "keep.txt",
                   .data = files::test::randomBytes(9000, 2),
                   .externalAttributes = 0100200U << 16U},
                  {.name = "sub/", .data = "", .externalAttributes = 040500U << 16U}}));
    const fs::path out = scratch / "out";
    fs::create_directories(out);
    writeBytes(out / "my file.txt", "old");

    std::vector<double> fractions;
    std::vector<std::string> outputs;
    Zip::unzipFile(
        scratch / "a.zip", out, false, "ignored password",
        [&](double f) { fractions.push_back(f); },
        [&](const std::string& path) { outputs.push_back(path); });
    EXPECT_EQ(readBytes(out / "my file.txt"), "old");
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0);
    for (std::size_t i = 0; i + 1 < fractions.size(); ++i) {
        EXPECT_LT(fractions[i], 1.0);
        EXPECT_LE(fractions[i], fractions[i + 1]);
    }
    ASSERT_EQ(outputs.size(), 2U);
    EXPECT_NE(outputs[0].find("keep.txt"), std::string::npos);
    EXPECT_EQ(outputs[1].find(' '), std::string::npos);

    outputs.clear();
    Zip::unzipFile(scratch / "a.zip", out, true, std::nullopt, {},
                   [&](const std::string& path) { outputs.push_back(path); });
    EXPECT_EQ(readBytes(out / "my file.txt"), "new");
    ASSERT_EQ(outputs.size(), 3U);
    EXPECT_NE(outputs[0].find("my%20file.txt"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat((out / "my file.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777U, 0600U);
    ASSERT_EQ(::stat((out / "keep.txt").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & 0400U, 0U) << "a mode below 0400 is not applied";
    ASSERT_EQ(::stat((out / "sub").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777U, 0700U) << "folders keep owner rwx";
}

} // namespace

TEST(ZipEntryReader, ReadsOnlyTheEntriesAskedForAfterCheckingTheWholeArchive) {
    ScratchFolder scratch;
    const std::string big = files::test::randomBytes(200'000, 7);
    writeBytes(scratch / "a.zip", buildZip({{.name = "a.txt", .data = "first"},
                                            {.name = "dir/", .data = ""},
                                            {.name = "dir\\b.bin", .data = big},
                                            {.name = "./a.txt", .data = "second"},
                                            {.name = "bad.txt", .data = "checksum", .crc = 1234}}));
    const files::ZipEntryReader reader(scratch / "a.zip");
    EXPECT_EQ(reader.fileNames(), (std::vector<std::string>{"a.txt", "dir/b.bin", "bad.txt"}));
    EXPECT_EQ(reader.size("dir/b.bin"), big.size());
    EXPECT_FALSE(reader.size("dir"));
    EXPECT_EQ(reader.read("dir/b.bin"), big);
    EXPECT_EQ(reader.read("a.txt"), "second"); // the later entry of one path counts
    EXPECT_THROW((void)reader.read("missing"), ZipError);
    // Checking an entry inflates it as reading does, and fails where reading would.
    EXPECT_NO_THROW(reader.verify("dir/b.bin"));
    EXPECT_THROW(reader.verify("bad.txt"), ZipError);
    EXPECT_THROW(reader.verify("missing"), ZipError);

    reader.extract("dir/b.bin", scratch / "b.bin");
    EXPECT_EQ(readBytes(scratch / "b.bin"), big);
    // Never over an existing file or through a link, and no partial file of a damaged entry.
    EXPECT_THROW(reader.extract("a.txt", scratch / "b.bin"), std::system_error);
    EXPECT_EQ(readBytes(scratch / "b.bin"), big);
    fs::create_symlink(scratch / "elsewhere", scratch / "link");
    EXPECT_THROW(reader.extract("a.txt", scratch / "link"), std::system_error);
    EXPECT_FALSE(fs::exists(scratch / "elsewhere"));
    EXPECT_THROW(reader.extract("bad.txt", scratch / "bad.txt"), ZipError);
    EXPECT_FALSE(fs::exists(scratch / "bad.txt"));

    // The whole archive is checked before any entry can be read.
    writeBytes(scratch / "h.zip",
               buildZip({{.name = "ok.txt", .data = "fine"}, {.name = "../up.txt", .data = "x"}}));
    EXPECT_THROW(files::ZipEntryReader(scratch / "h.zip"), ZipError);
    try {
        files::ZipEntryReader missing(scratch / "none.zip");
        ADD_FAILURE();
    } catch (const ZipError& error) {
        EXPECT_EQ(error.code(), ZipError::Code::fileNotFound);
    }
}

TEST(ZipUnpack, OnlyARegularFileIsReadAsAnArchive) {
    ScratchFolder scratch;
    fs::create_directory(scratch / "folder.zip");
    EXPECT_THROW(files::ZipEntryReader(scratch / "folder.zip"), ZipError);

    // Opening a pipe for reading waits for a writer that never comes.
    const fs::path pipe = scratch / "pipe.zip";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&pipe] {
        try {
            files::ZipEntryReader reader(pipe);
        } catch (const ZipError& error) {
            return error.code();
        }
        return ZipError::Code::zipFail;
    });
    if (opening.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "reading a pipe as an archive blocked";
        // A writer that closes at once lets the blocked reader see an empty file.
        std::ofstream{pipe};
    }
    EXPECT_EQ(opening.get(), ZipError::Code::unzipFail);
}
