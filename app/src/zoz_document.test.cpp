#include "app/zoz_document.hpp"

#include "test_documents.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace app {
namespace {

class ZozDocumentRule : public fixtures::ScratchFolder {
protected:
    QUrl local(const std::filesystem::path& path) const {
        return QUrl::fromLocalFile(QString::fromStdString(path.string()));
    }
};

TEST_F(ZozDocumentRule, OnlyALocalRegularFileWithTheSuffixInAnyCaseIsADocument) {
    const auto upper = writeFile("PLAN.ZOZ", "x");
    const auto mixed = writeFile("plan.Zoz", "x");
    const auto text = writeFile("a.zoz.txt", "x");
    const auto bare = writeFile("zoz", "x");
    std::filesystem::create_directory(documents() / "folder.zoz");
    std::filesystem::create_symlink(upper, documents() / "link.zoz");

    EXPECT_TRUE(isZozDocument(local(upper)));
    EXPECT_TRUE(isZozDocument(local(mixed)));
    EXPECT_TRUE(isZozDocument(local(documents() / "link.zoz")));
    EXPECT_FALSE(isZozDocument(local(text)));
    EXPECT_FALSE(isZozDocument(local(bare)));
    EXPECT_FALSE(isZozDocument(local(documents() / "folder.zoz")));
    EXPECT_FALSE(isZozDocument(local(documents() / "missing.zoz")));
    EXPECT_FALSE(isZozDocument(QUrl(QStringLiteral("https://example.com/plan.zoz"))));
    EXPECT_FALSE(isZozDocument(QUrl()));
}

TEST_F(ZozDocumentRule, ADropIsJudgedByItsFirstUrlAlone) {
    const auto first = writeFile("first.zoz", "x");
    const auto second = writeFile("second.zoz", "x");
    const auto text = writeFile("notes.txt", "x");

    EXPECT_EQ(droppedDocument({local(first), local(second)}), local(first));
    EXPECT_EQ(droppedDocument({local(first), local(text)}), local(first));
    // A document behind a wrong first item is not looked for.
    EXPECT_EQ(droppedDocument({local(text), local(first)}), std::nullopt);
    EXPECT_EQ(droppedDocument({}), std::nullopt);
}

} // namespace
} // namespace app
