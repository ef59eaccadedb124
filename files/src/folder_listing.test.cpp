#include "files/vt_composite_folder.hpp"

#include "test_support.hpp"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using files::FileType;
using files::VtFile;
using files::VtFolder;
using files::VtPathError;
using files::test::ScratchFolder;
using files::test::writeBytes;

namespace {

template <class Item>
std::vector<std::string> names(const std::vector<Item>& items) {
    std::vector<std::string> result;
    for (const Item& item : items) {
        result.push_back(item.url().filename().string());
    }
    std::sort(result.begin(), result.end());
    return result;
}

struct Workspace : files::VtCompositeFolder<Workspace> {
    explicit Workspace(VtFolder backing) : folder(std::move(backing)) {}
    VtFolder folder;
    VtFolder backingFolder() const { return folder; }
};

static_assert(files::VtIOFolder<Workspace>);

TEST(FolderListing, KindsHiddenEntriesAndErrors) {
    ScratchFolder scratch;
    const VtFolder folder(scratch.path());
    writeBytes(scratch / "file.txt", "f");
    writeBytes(scratch / ".hidden", "h");
    fs::create_directories(scratch / "sub");
    fs::create_directories(scratch / ".hiddendir");
    fs::create_directories(scratch / "doc.pkg");
    fs::create_symlink("file.txt", scratch / "link");

    using V = std::vector<std::string>;
    EXPECT_EQ(names(folder.fetchSubFiles(FileType::regular(), true)), V{"file.txt"});
    EXPECT_EQ(names(folder.fetchSubFiles(FileType::regular(), false)), (V{".hidden", "file.txt"}));
    EXPECT_EQ(names(folder.fetchSubFiles(FileType::package(), false)), V{});
    EXPECT_EQ(names(folder.fetchSubFiles(FileType{}, false)), V{});
    EXPECT_EQ(names(folder.fetchSubFiles(FileType{8}, false)), V{});
    VtFile::setPackagePredicate([](const fs::path& p) { return p.extension() == ".pkg"; });
    EXPECT_EQ(names(folder.fetchSubFiles(FileType::package(), true)), V{"doc.pkg"});
    EXPECT_EQ(names(folder.fetchSubFiles(FileType::regular() | FileType::package(), true)),
              (V{"doc.pkg", "file.txt"}));
    VtFile::setPackagePredicate({});

    const auto subfolders = VtFolder(scratch.path(), true).fetchSubFolders();
    EXPECT_EQ(names(subfolders), (V{"doc.pkg", "sub"}));
    for (const VtFolder& sub : subfolders) {
        EXPECT_FALSE(sub.isSystem());
    }
    // A folder named without a trailing separator lists its folders all the same.
    EXPECT_EQ(names(VtFolder(scratch.path().string() + "/").fetchSubFolders()),
              (V{"doc.pkg", "sub"}));

    const VtFolder missing(scratch / "missing");
    EXPECT_TRUE(missing.fetchSubFiles(FileType::regular(), false).empty());
    EXPECT_TRUE(missing.fetchSubFolders().empty());
    EXPECT_TRUE(VtFolder(scratch / "file.txt").fetchSubFolders().empty());

    FileType set = FileType::regular();
    set.insert(FileType::package());
    EXPECT_TRUE(set.contains(FileType::package()));
    EXPECT_TRUE(FileType::regular().isSubset(set));
    EXPECT_TRUE(set.isSuperset(FileType::regular()));
    EXPECT_TRUE((set - FileType::regular()) == FileType::package());
    EXPECT_TRUE((set ^ FileType::regular()).isDisjoint(FileType::regular()));
}

TEST(CompositeFolder, ForwardsToItsBackingFolder) {
    ScratchFolder scratch;
    const Workspace plain(VtFolder(scratch / "ws"));
    EXPECT_FALSE(plain.exists());
    plain.create();
    EXPECT_TRUE(plain.exists());
    plain.file("a.txt").writeString("a", false);
    EXPECT_EQ(names(plain.fetchSubFiles(FileType::regular(), true)),
              std::vector<std::string>{"a.txt"});
    EXPECT_EQ(plain.folderName(), "ws");
    EXPECT_EQ(plain.child("c").url(), scratch / "ws" / "c");
    plain.move(scratch / "moved");
    EXPECT_FALSE(plain.exists());

    const Workspace system(VtFolder::systemTmpFolder());
    EXPECT_TRUE(system.exists());
    EXPECT_TRUE(system.isSystem());
    EXPECT_NO_THROW(system.create());
    EXPECT_THROW(system.remove(), VtPathError);
    EXPECT_THROW(system.move(scratch / "x"), VtPathError);
    try {
        system.remove();
    } catch (const VtPathError& error) {
        EXPECT_EQ(error.localizedDescription(), "Denied to delete system folder");
    }
}

} // namespace
