#include "files/item_attributes.hpp"
#include "files/vt_path.hpp"

#include "test_support.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <pwd.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;
using files::VtFile;
using files::VtPathError;
using files::test::ScratchFolder;
using files::test::writeBytes;

namespace {

int systemErrorCode(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const std::system_error& error) {
        return error.code().value();
    }
    ADD_FAILURE() << "no system_error";
    return 0;
}

bool supportsUserAttributes(const fs::path& path) {
    if (::setxattr(path.c_str(), "user.probe", "x", 1, 0) != 0) {
        return false;
    }
    ::removexattr(path.c_str(), "user.probe");
    return true;
}

TEST(ExtendedAttributes, IntegersTextsAndListing) {
    ScratchFolder scratch;
    const VtFile file(scratch / "f.txt");
    file.writeString("content", false);
    if (!supportsUserAttributes(file.url())) {
        GTEST_SKIP() << "the file system has no user extended attributes";
    }
    EXPECT_TRUE(file.extendedAttributes().empty());

    file.setExtendedAttribute("count", std::uint32_t{1});
    std::array<unsigned char, 8> raw{};
    ASSERT_EQ(::getxattr(file.url().c_str(), "user.count", raw.data(), raw.size()), 4);
    EXPECT_EQ(raw[0], 1);
    EXPECT_EQ(raw[1] | raw[2] | raw[3], 0);
    EXPECT_EQ(file.readExtendedAttributeUInt32("count"), 1U);

    file.setExtendedAttribute("label", "caf\xC3\xA9");
    EXPECT_EQ(file.readExtendedAttributeString("label"), "caf\xC3\xA9");
    try {
        (void)file.readExtendedAttributeUInt32("label");
        ADD_FAILURE() << "a 5-byte value read as UInt32";
    } catch (const VtPathError& error) {
        EXPECT_EQ(error.code(), VtPathError::Code::failure);
        EXPECT_EQ(error.localizedDescription(), "The stored value for \"label\" of file \"" +
                                                    file.pathString() +
                                                    "\" is not the type of UInt32");
    }
    file.setExtendedAttribute("four", "abcd");
    EXPECT_EQ(file.readExtendedAttributeUInt32("four"), 0x64636261U);

    // Empty values read as absent but are still listed; bad UTF-8 reads as U+FFFD.
    file.setExtendedAttribute("empty", "");
    EXPECT_FALSE(file.readExtendedAttributeString("empty"));
    EXPECT_FALSE(file.readExtendedAttributeUInt32("empty"));
    ASSERT_EQ(::setxattr(file.url().c_str(), "user.bad", "a\xFF", 2, 0), 0);
    EXPECT_EQ(file.readExtendedAttributeString("bad"), "a\xEF\xBF\xBD");
    std::vector<std::string> names = file.extendedAttributes();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bad", "count", "empty", "four", "label"}));

    // Missing attributes read as absent; removing one fails with ENODATA.
    EXPECT_FALSE(file.readExtendedAttributeString("missing"));
    EXPECT_FALSE(file.readExtendedAttributeUInt32("missing"));
    EXPECT_EQ(systemErrorCode([&] { file.removeExtendedAttribute("missing"); }), ENODATA);
    file.removeExtendedAttribute("count");
    EXPECT_FALSE(file.readExtendedAttributeUInt32("count"));

    // Errors other than a missing attribute are errors, not absence.
    const VtFile missing(scratch / "missing");
    EXPECT_EQ(systemErrorCode([&] { (void)missing.extendedAttributes(); }), ENOENT);
    EXPECT_EQ(systemErrorCode([&] { (void)missing.readExtendedAttributeString("x"); }), ENOENT);
    EXPECT_EQ(systemErrorCode([&] { missing.setExtendedAttribute("x", "v"); }), ENOENT);
}

TEST(ItemAttributes, SizeOwnerAndTimes) {
    ScratchFolder scratch;
    writeBytes(scratch / "five", "12345");
    const auto attributes = VtFile(scratch / "five").attributes();
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->fileSize, 5);
    ASSERT_TRUE(attributes->modificationTime);
    EXPECT_LT(std::abs(core::Date::now().timeIntervalSince(*attributes->modificationTime)), 300.0);
    if (const passwd* me = ::getpwuid(::getuid())) {
        EXPECT_EQ(attributes->owner, std::string(me->pw_name));
    }
    EXPECT_TRUE(files::VtFolder(scratch.path()).attributes());
    EXPECT_FALSE(VtFile(scratch / "missing").attributes());
}

} // namespace
