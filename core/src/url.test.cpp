#include "core/url.hpp"

#include "core/uuid.hpp"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;
using core::Url;
using core::UTType;

const fs::path& temporaryFolder() {
    static const fs::path folder = core::temporaryDirectory().path();
    return folder;
}

void expectDirectlyInTemporaryFolder(const Url& url) {
    EXPECT_TRUE(url.isFileURL());
    EXPECT_EQ(url.path().parent_path(), temporaryFolder()) << url.path();
}

class ScratchFolder {
public:
    ScratchFolder()
        : m_path(temporaryFolder() / ("url-test-" + core::Uuid::random().uuidString())) {
        fs::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return m_path; }
    fs::path file(const std::string& name, std::string_view content = "x") const {
        std::ofstream(m_path / name) << content;
        return m_path / name;
    }

private:
    fs::path m_path;
};

TEST(Url, TemporaryFileExtensionRule) {
    const auto last = [](std::string_view extension) {
        const Url url = core::temporaryFileWithExtension(extension);
        expectDirectlyInTemporaryFolder(url);
        return url.lastPathComponent();
    };
    EXPECT_EQ(last("csv").size(), 36U + 4U);
    EXPECT_TRUE(last("csv").ends_with(".csv"));
    EXPECT_TRUE(last(".csv").ends_with(".csv"));
    EXPECT_EQ(last(".csv").find(".."), std::string::npos);
    EXPECT_EQ(last(".").size(), 36U);
    EXPECT_EQ(last("   ").size(), 36U);
    EXPECT_EQ(last("").size(), 36U);
    EXPECT_TRUE(last("tar.gz").ends_with(".tar.gz"));
    EXPECT_TRUE(last(" csv").ends_with(". csv"));
    EXPECT_TRUE(last("CSV").ends_with(".CSV"));
    // An extension that would climb out of the folder gives the UUID alone.
    EXPECT_EQ(last("x/../../etc").size(), 36U);
    EXPECT_TRUE(core::Uuid::parse(last("")).has_value());
}

TEST(Url, TemporaryFileNamesStayInTheFolder) {
    const Url a = core::temporaryFile();
    const Url b = core::temporaryFile();
    EXPECT_NE(a, b);
    expectDirectlyInTemporaryFolder(a);
    expectDirectlyInTemporaryFolder(b);
    EXPECT_FALSE(fs::exists(a.path()));
    EXPECT_EQ(core::temporaryFileWithName("report.csv").lastPathComponent(), "report.csv");
    EXPECT_EQ(core::temporaryFileWithName(" lead").lastPathComponent(), " lead");
    for (const std::string_view name :
         {std::string_view("   "), std::string_view(""), std::string_view("../x"),
          std::string_view("a/b"), std::string_view(".."), std::string_view("."),
          std::string_view("/etc/passwd"), std::string_view("a\0b", 3)}) {
        const Url url = core::temporaryFileWithName(name);
        expectDirectlyInTemporaryFolder(url);
        EXPECT_TRUE(core::Uuid::parse(url.lastPathComponent()).has_value()) << name;
    }
    EXPECT_TRUE(core::temporaryDirectory().hasDirectoryPath());
}

TEST(Url, ReplacementFolderSharesTheItemsFileSystem) {
    const ScratchFolder scratch;
    const fs::path target = scratch.file("plan.zoz");
    const Url folder = core::temporaryDirectory(Url(target));
    EXPECT_TRUE(fs::is_directory(folder.path()));
    const Url file = core::temporaryFile(Url(target));
    EXPECT_EQ(file.lastPathComponent(), "plan.zoz");
    EXPECT_TRUE(fs::is_directory(file.path().parent_path()));
    // A rename into place must work: same file system.
    std::ofstream(file.path()) << "new";
    fs::rename(file.path(), target);
    EXPECT_EQ(std::ifstream(target).get(), 'n');
    fs::remove_all(folder.path());
    fs::remove_all(file.path().parent_path());
    EXPECT_THROW((void)core::temporaryDirectory(*Url::parse("https://example.com/a")),
                 std::invalid_argument);
    const Url forRoot = core::temporaryFile(Url::fileURL("/", true));
    EXPECT_EQ(forRoot.lastPathComponent().size(), 36U);
    fs::remove_all(forRoot.path().parent_path());
}

TEST(Url, TypesComeFromTheRegistry) {
    const ScratchFolder scratch;
    EXPECT_EQ(core::getUTType(Url(scratch.file("FILE.ZOZ"))), UTType::zoz());
    EXPECT_EQ(core::getUTType(Url(scratch.file("plan.zoz"))), UTType::zoz());
    EXPECT_EQ(core::getTypeIdentifier(Url(scratch.file("plan.zoz"))), "com.zidavoze.dezuduz.zoz");
    EXPECT_EQ(core::getUTType(Url(scratch.path())), UTType::folder());
    EXPECT_FALSE(core::getUTType(Url(scratch.path() / "missing.png")));
    EXPECT_EQ(core::getTypeIdentifier(Url(scratch.file("README"))), "public.data");
    const auto unknown = core::getUTType(Url(scratch.file("notes.WXYZ")));
    ASSERT_TRUE(unknown);
    EXPECT_TRUE(unknown->isDynamic());
    EXPECT_TRUE(unknown->conforms(UTType::data()));
    EXPECT_FALSE(unknown->conforms(UTType::image()));

    EXPECT_TRUE(core::isLocalImageFile(Url(scratch.file("a.png"))));
    EXPECT_TRUE(core::isLocalImageFile(Url(scratch.file("b.JPG"))));
    EXPECT_FALSE(core::isLocalImageFile(Url(scratch.file("c.txt"))));
    EXPECT_FALSE(core::isLocalImageFile(Url(scratch.path() / "missing.png")));
    EXPECT_FALSE(core::isLocalImageFile(*Url::parse("https://example.com/a.png")));

    fs::create_directory(scratch.path() / "Tool.app");
    EXPECT_TRUE(core::isPackage(Url(scratch.path() / "Tool.app")));
    EXPECT_FALSE(core::isPackage(Url(scratch.path())));
    EXPECT_TRUE(core::isDirectory(Url(scratch.path())));
    EXPECT_FALSE(core::isRegularFile(Url(scratch.path())));
    EXPECT_TRUE(core::isRegularFile(Url(scratch.path() / "a.png")));
    EXPECT_FALSE(core::isDirectory(Url(scratch.path() / "missing")));
    fs::create_symlink(scratch.path() / "a.png", scratch.path() / "link.png");
    EXPECT_FALSE(core::isRegularFile(Url(scratch.path() / "link.png")));
    EXPECT_EQ(core::getTypeIdentifier(Url(scratch.path() / "link.png")), "public.symlink");
}

TEST(Url, PreferredFileNames) {
    EXPECT_EQ(UTType::png().preferredFileNameWithExtension("x"), "x.png");
    EXPECT_EQ(UTType::png().preferredFileNameWithExtension("x.png"), "x.png");
    EXPECT_EQ(UTType::png().preferredFileNameWithExtension("x.PNG"), "x.PNG.png");
    EXPECT_EQ(UTType::jpeg().preferredFileNameWithExtension("photo"), "photo.jpeg");
    EXPECT_EQ(UTType::folder().preferredFileNameWithExtension("dir"), "dir");
    EXPECT_EQ(UTType::zoz().preferredFileNameWithExtension("Plan"), "Plan.zoz");
    EXPECT_TRUE(UTType::png().conforms(UTType::item()));
    EXPECT_FALSE(UTType::zoz().conforms(UTType::data()));
    EXPECT_EQ(UTType::fromIdentifier("com.zidavoze.dezuduz.zoz"), UTType::zoz());
    EXPECT_EQ(UTType::importedAs("com.zidavoze.dezuduz.zoz"), UTType::zoz());
    EXPECT_FALSE(UTType::fromIdentifier("com.example.unknown"));
}

TEST(Url, ParsingAndText) {
    const Url file = Url::literal("file:///tmp/a%20b/report.csv");
    EXPECT_TRUE(file.isFileURL());
    EXPECT_EQ(file.path(), "/tmp/a b/report.csv");
    EXPECT_EQ(file.absoluteString(), "file:///tmp/a%20b/report.csv");
    EXPECT_EQ(file.lastPathComponent(), "report.csv");
    EXPECT_EQ(Url::fileURL("/tmp/x", true).absoluteString(), "file:///tmp/x/");
    EXPECT_TRUE(Url::literal("file://localhost/tmp/").hasDirectoryPath());
    const Url web = Url::literal("HTTPS://example.com/a?b=c");
    EXPECT_EQ(web.scheme(), "https");
    EXPECT_FALSE(web.isFileURL());
    EXPECT_EQ(web.absoluteString(), "HTTPS://example.com/a?b=c");
    EXPECT_THROW((void)Url::literal("not a url"), std::invalid_argument);
    EXPECT_FALSE(Url::parse("file://host/tmp"));
    EXPECT_FALSE(Url::parse("file:///tmp/%zz"));
    EXPECT_FALSE(Url::parse("file:///tmp/%00"));
    EXPECT_FALSE(Url::parse("1http://x"));
    EXPECT_EQ(Url::parse(Url(fs::path("/tmp/é #?.txt")).absoluteString())->path(), "/tmp/é #?.txt");
}

} // namespace
