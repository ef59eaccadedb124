#include "files/vt_path.hpp"

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unordered_set>

namespace fs = std::filesystem;
using files::Filename;
using files::VtFile;
using files::VtFolder;
using files::VtPathError;
using files::test::readBytes;
using files::test::ScratchFolder;
using files::test::writeBytes;

namespace {

VtPathError::Code pathError(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const VtPathError& error) {
        return error.code();
    }
    ADD_FAILURE() << "no VtPathError";
    return VtPathError::Code::failure;
}

TEST(Filename, ParsesAtTheLastDotAndReadsPathsOurWay) {
    struct Case {
        const char* text;
        const char* name;
        const char* extension;
    };
    for (const Case& c :
         {Case{"report.csv", "report", "csv"}, Case{"archive.tar.gz", "archive.tar", "gz"},
          Case{"README", "README", ""}, Case{"notes.", "notes.", ""}, Case{".", ".", ""},
          Case{".profile", "", "profile"}, Case{"a..b", "a.", "b"}, Case{"", "", ""},
          // A dot carrying a combining mark is not a dot of its own.
          Case{"a.b.\xCC\x81x", "a", "b.\xCC\x81x"}}) {
        SCOPED_TRACE(c.text);
        const Filename parsed = Filename::parse(c.text);
        EXPECT_EQ(parsed, Filename(c.name, c.extension));
        EXPECT_EQ(parsed.string(), c.text);
        EXPECT_TRUE(parsed == std::string_view(c.text));
    }
    const Filename literal = "photo.jpg";
    EXPECT_TRUE(literal == "photo.jpg");
    EXPECT_FALSE(literal == "photo");
    EXPECT_EQ(literal.updated("png").string(), "photo.png");
    EXPECT_EQ(literal.updated("").string(), "photo");
    core::JsonEncoder encoder;
    core::JsonDecoder decoder;
    EXPECT_EQ(encoder.encode(literal), core::Json("photo.jpg"));
    EXPECT_EQ(decoder.decode<Filename>(core::Json("x.y")), Filename("x", "y"));
    EXPECT_THROW((void)decoder.decode<Filename>(core::Json(3)), core::DecodingError);

    // Paths: a lone first or last dot gives no extension.
    EXPECT_EQ(Filename::fromPath("/a/.profile"), Filename(".profile", ""));
    EXPECT_EQ(Filename::fromPath("/a/notes."), Filename("notes.", ""));
    EXPECT_EQ(Filename::fromPath("/a/project.moc"), Filename("project", "moc"));
    EXPECT_EQ(Filename::fromPath("/a/b.c/"), Filename("b", "c"));
    EXPECT_EQ(VtFile::fileName("/x/archive.tar.gz"), "archive.tar");
}

TEST(VtFile, AnAtomicWriteKeepsThePermissionsOfTheFileItReplaces) {
    ScratchFolder scratch;
    const VtFile secret(scratch / "secret.csv");
    secret.writeString("old", false);
    fs::permissions(secret.url(), fs::perms::owner_read | fs::perms::owner_write);
    secret.writeString("new", true);
    EXPECT_EQ(readBytes(secret.url()), "new");
    EXPECT_EQ(fs::status(secret.url()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(VtFile, CopyAndMoveNeverReplaceAndRemoveOfMissingFails) {
    ScratchFolder scratch;
    const VtFile a(scratch / "a.txt");
    const VtFile b(scratch / "b.txt");
    a.writeString("alpha", true);
    b.writeData(std::vector<std::uint8_t>{'b', 'e', 't', 'a'});
    EXPECT_THROW(a.copy(b), fs::filesystem_error);
    EXPECT_THROW(a.move(b), fs::filesystem_error);
    EXPECT_EQ(readBytes(a.url()), "alpha");
    EXPECT_EQ(readBytes(b.url()), "beta");

    const VtFile c(scratch / "c.txt");
    a.copy(c);
    EXPECT_EQ(c.readString(), "alpha");
    c.move(scratch / "d.txt");
    EXPECT_FALSE(c.exists());
    EXPECT_EQ(VtFile(scratch / "d.txt").readLines(), std::vector<std::string>{"alpha"});
    writeBytes(scratch / "lines.txt", "one\r\ntwo\rthree\n\nfour");
    EXPECT_EQ(VtFile(scratch / "lines.txt").readLines(),
              (std::vector<std::string>{"one", "two", "three", "", "four"}));
    writeBytes(scratch / "chars.txt", "e\xCC\x81\xF0\x9F\x91\x8D\r\n");
    EXPECT_EQ(VtFile(scratch / "chars.txt").readCharacters(),
              (std::vector<std::string>{"e\xCC\x81", "\xF0\x9F\x91\x8D", "\r\n"}));
    fs::remove(scratch / "lines.txt");
    fs::remove(scratch / "chars.txt");
    EXPECT_THROW(c.remove(), fs::filesystem_error);
    EXPECT_THROW(c.copy(scratch / "e.txt"), fs::filesystem_error);
    EXPECT_THROW((void)c.readData(), fs::filesystem_error);
    EXPECT_EQ(pathError([&] { (void)c.readObject<int>(); }), VtPathError::Code::notExists);

    // Folders: copy onto an existing folder must not merge, move must not replace.
    const VtFolder one(scratch / "one");
    const VtFolder two(scratch / "two");
    one.create();
    two.create();
    one.file("x").writeString("1", false);
    two.file("y").writeString("2", false);
    EXPECT_THROW(one.copy(two), fs::filesystem_error);
    EXPECT_THROW(one.move(two), fs::filesystem_error);
    EXPECT_THROW(one.copy(one.child("inside")), fs::filesystem_error);
    EXPECT_EQ(files::test::listTree(two.url()), std::vector<std::string>{"y"});
    one.copy(scratch / "three");
    EXPECT_EQ(VtFolder(scratch / "three").file("x").readString(), "1");
    one.remove();
    EXPECT_FALSE(one.exists());
    EXPECT_THROW(one.remove(), fs::filesystem_error);

    // Writing replaces contents; the atomic write leaves no temporary behind.
    a.writeString("\xC3\xA9t\xC3\xA9", true);
    EXPECT_EQ(readBytes(a.url()), "\xC3\xA9t\xC3\xA9");
    a.writeData(std::vector<std::uint8_t>{0xFF});
    EXPECT_THROW((void)a.readString(), VtPathError);
    // Other text encodings, both ways; text that an encoding cannot hold writes nothing.
    a.writeString("\xC3\xA9t\xC3\xA9", true, core::TextEncoding::isoLatin1);
    EXPECT_EQ(readBytes(a.url()), "\xE9t\xE9");
    EXPECT_EQ(a.readString(core::TextEncoding::isoLatin1), "\xC3\xA9t\xC3\xA9");
    EXPECT_THROW((void)a.readString(), VtPathError);
    EXPECT_THROW(a.writeString("\xE6\x97\xA5", false, core::TextEncoding::isoLatin1), VtPathError);
    EXPECT_EQ(readBytes(a.url()), "\xE9t\xE9");
    a.writeString("\xE6\x97\xA5", false, core::TextEncoding::utf16BigEndian);
    EXPECT_EQ(readBytes(a.url()), "\x65\xE5");
    EXPECT_EQ(a.readString(core::TextEncoding::utf16BigEndian), "\xE6\x97\xA5");
    EXPECT_THROW((void)a.readString(core::TextEncoding::ascii), VtPathError);
    a.writeData(std::vector<std::uint8_t>{0xFF});
    EXPECT_EQ(files::test::listTree(two.url()), std::vector<std::string>{"y"});
    EXPECT_EQ(files::test::listTree(scratch.path()),
              (std::vector<std::string>{"a.txt", "b.txt", "d.txt", "three/", "three/x", "two/",
                                        "two/y"}));
}

TEST(VtFolder, GuardsKeepRemovalInsideItsParent) {
    ScratchFolder scratch;
    const VtFolder work(scratch.path());
    for (const char* name : {"..", "", ".", "/etc", "a/../..", "a/./b", "x/.."}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(pathError([&] { (void)work.child(name); }), VtPathError::Code::failure);
        EXPECT_EQ(pathError([&] { (void)work.file(name); }), VtPathError::Code::failure);
    }
    EXPECT_EQ(work.child("a/b").url(), scratch.path() / "a" / "b");

    const VtFolder tmp = VtFolder::systemTmpFolder();
    EXPECT_TRUE(tmp.exists());
    EXPECT_NO_THROW(tmp.create());
    const auto denied = VtPathError::Code::deniedToDeleteSystemFolder;
    EXPECT_EQ(pathError([&] { tmp.remove(); }), denied);
    EXPECT_EQ(pathError([&] { tmp.move(scratch / "t"); }), denied);
    // Protected whatever the flag: the root, the home folder, system folders and their parents.
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    for (const fs::path& path :
         {fs::path("/"), fs::path(home), fs::path(home) / "..", tmp.url(), tmp.url() / ".",
          VtFolder::systemCacheFolder().url(), VtFolder::applicationInboxFolder().url()}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(pathError([&] { VtFolder(path, false).remove(); }), denied);
        EXPECT_EQ(pathError([&] { VtFolder(path, false).move(scratch / "m"); }), denied);
        EXPECT_EQ(pathError([&] { VtFile(path).remove(); }), denied);
    }
    EXPECT_EQ(VtPathError::deniedToDeleteSystemFolder().localizedDescription(),
              "Denied to delete system folder");
    EXPECT_EQ(VtPathError::notExists().localizedDescription(), "File does not exist");
    EXPECT_EQ(VtPathError::failure("why").localizedDescription(), "why");
}

TEST(VtFolder, CreateMakesPrivateFoldersAndLeavesAnythingInTheWay) {
    ScratchFolder scratch;
    const VtFolder deep = VtFolder(scratch.path()).child("x/y");
    deep.create();
    deep.create();
    struct stat info {};
    ASSERT_EQ(::stat(deep.url().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777U, 0700U);
    ASSERT_EQ(::stat(deep.parent().url().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777U, 0700U);

    writeBytes(scratch / "file", "keep");
    const VtFolder taken(scratch / "file");
    EXPECT_NO_THROW(taken.create());
    EXPECT_TRUE(taken.exists());
    EXPECT_TRUE(VtFile(scratch / "x").exists());
    EXPECT_EQ(readBytes(scratch / "file"), "keep");

    // Values: flags are kept as given, equality ignores them, JSON keeps both.
    const VtFolder system(scratch.path(), true);
    EXPECT_FALSE(system.child("c", false).isSystem());
    EXPECT_TRUE(system.child("c", false).parent().parent().isSystem() == false);
    EXPECT_TRUE(system.child("c", true).parent().isSystem());
    EXPECT_EQ(system, VtFolder(scratch.path().string() + "/", false));
    EXPECT_EQ(std::hash<VtFolder>{}(system), std::hash<VtFolder>{}(VtFolder(scratch.path())));
    const VtFolder spaced(scratch / "with space %", true);
    core::JsonEncoder encoder;
    core::JsonDecoder decoder;
    const core::Json json = encoder.encode(spaced);
    EXPECT_EQ(json.at("url").get<std::string>().rfind("file:///", 0), 0U);
    EXPECT_NE(json.at("url").get<std::string>().find("%20"), std::string::npos);
    EXPECT_EQ(json.begin().key(), "url");
    const auto decoded = decoder.decode<VtFolder>(json);
    EXPECT_EQ(decoded, spaced);
    EXPECT_TRUE(decoded.isSystem());
    const auto fails = [&](const core::Json& bad) {
        EXPECT_THROW((void)decoder.decode<VtFolder>(bad), core::DecodingError) << bad.dump();
    };
    fails(core::Json{{"url", json.at("url")}});
    fails(core::Json{{"isSystem", true}});
    fails(core::Json{{"url", "/x"}, {"isSystem", false}});
    fails(core::Json{{"url", "https://example.com/"}, {"isSystem", false}});
    fails(core::Json{{"url", json.at("url")}, {"isSystem", 1}});
}

TEST(VtFile, TemporaryNamesAndValues) {
    std::unordered_set<VtFile> seen;
    for (const auto& extension :
         {std::optional<std::string_view>{}, std::optional<std::string_view>{""},
          std::optional<std::string_view>{"   "}, std::optional<std::string_view>{"."}}) {
        const VtFile file = VtFile::tmp(extension);
        EXPECT_EQ(file.url().parent_path(), VtFolder::systemTmpFolder().url());
        EXPECT_EQ(file.url().filename().string().size(), 36U);
        EXPECT_EQ(file.url().filename().string().find_first_of("abcdef"), std::string::npos);
        EXPECT_FALSE(file.exists());
        EXPECT_TRUE(seen.insert(file).second);
    }
    EXPECT_EQ(VtFile::tmp("csv").fileExtension(), "csv");
    EXPECT_EQ(VtFile::tmp(".csv").url().filename().string().size(), 40U);
    EXPECT_EQ(VtFolder("/w").file("project.moc").filename(), Filename("project", "moc"));
    EXPECT_EQ(VtFolder("/w").file(Filename("a", "")).url(), fs::path("/w/a"));
    EXPECT_EQ(VtFile("/w/a.txt").folder(), VtFolder("/w"));
    EXPECT_FALSE(VtFile("/w/a.txt").isPackage());
    VtFile::setPackagePredicate([](const fs::path& p) { return p.extension() == ".pkg"; });
    EXPECT_TRUE(VtFile("/w/a.pkg").isPackage());
    VtFile::setPackagePredicate({});
    EXPECT_FALSE(VtFile("/w/a.pkg").isPackage());

    fs::path opened;
    VtFolder::setOpenInFileManagerHook([&](const fs::path& p) { opened = p; });
    VtFolder("/w/x").openInFinder();
    VtFolder::setOpenInFileManagerHook({});
    VtFolder("/w/y").openInFinder();
    EXPECT_EQ(opened, fs::path("/w/x"));
}

TEST(VtFile, SnapshotsAndJson) {
    ScratchFolder scratch;
    const VtFolder root(scratch / "tree");
    root.child("sub").create();
    root.file("a.json").writeJson(std::vector<int>{1, 2, 3});
    EXPECT_EQ(root.file("a.json").readArray<int>(), (std::vector<int>{1, 2, 3}));
    EXPECT_THROW((void)root.file("a.json").readObject<std::string>(), core::DecodingError);
    root.child("sub").file("b").writeString("bee", false);
    fs::create_symlink("a.json", root.url() / "link");
    const files::FileWrapper wrapper = VtFile(root.url()).toFileWrapper();
    EXPECT_EQ(wrapper.kind, files::FileWrapper::Kind::directory);
    ASSERT_EQ(wrapper.children.size(), 3U);
    EXPECT_EQ(wrapper.children[0].filename, "a.json");
    EXPECT_EQ(wrapper.children[1].symbolicLinkDestination, "a.json");
    ASSERT_EQ(wrapper.children[2].children.size(), 1U);
    EXPECT_EQ(wrapper.children[2].children[0].contents, (std::vector<std::uint8_t>{'b', 'e', 'e'}));
    EXPECT_THROW((void)VtFile(scratch / "missing").toFileWrapper(), fs::filesystem_error);
}

} // namespace
