#include "app/document_context.hpp"

#include "core/executor.hpp"
#include "document/document_error.hpp"
#include "document/zoz_project.hpp"

#include "test_documents.hpp"

#include <gtest/gtest.h>

#include <chrono>

namespace app {
namespace {

using Code = document::DocumentError::Code;

class DocumentContextTest : public fixtures::ScratchFolder {
protected:
    Code openError(const std::filesystem::path& url) {
        try {
            DocumentContext context(url);
        } catch (const document::DocumentError& error) {
            return error.code();
        }
        ADD_FAILURE() << "opened " << url;
        return Code::OpenError;
    }
};

TEST_F(DocumentContextTest, EachOpenHasItsOwnWorkingFolderRemovedWithTheContext) {
    const std::string name = writeDocument("plan.zoz");
    const auto url = documents() / "plan.zoz";
    std::filesystem::path firstFolder;
    {
        const DocumentContext first(url);
        const DocumentContext second(url);
        EXPECT_EQ(first, second);
        EXPECT_EQ(first.url(), url);
        EXPECT_EQ(first.project()->name(), name);
        // The report's work began while the document was being opened.
        const auto prepared = first.takePreparedLoad();
        EXPECT_NE(prepared, nullptr);
        EXPECT_NE(prepared, second.takePreparedLoad());
        EXPECT_EQ(first.takePreparedLoad(), nullptr);
        firstFolder = first.workingFolder();
        EXPECT_NE(first.workingFolder(), second.workingFolder());
        EXPECT_EQ(first.workingFolder().parent_path(), tmp());
        EXPECT_TRUE(std::filesystem::exists(first.workingFolder() / "project.moc"));
        // Named by an upper-case UUID.
        const auto folderName = first.workingFolder().filename().string();
        EXPECT_TRUE(core::Uuid::parse(folderName));
        EXPECT_EQ(core::Uuid::parse(folderName)->uuidString(), folderName);
    }
    EXPECT_TRUE(document::ZozX::PendingImages::waitForAll(std::chrono::seconds(10)));
    EXPECT_FALSE(std::filesystem::exists(firstFolder));
    EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(DocumentContextTest, TheProjectIsReadyBeforeItsImagesAndTheFolderOutlastsTheirWriting) {
    writeDocument("plan.zoz");
    const auto url = documents() / "plan.zoz";
    namespace fs = std::filesystem;
    // Images are written only when the test runs the writer.
    const auto writer = std::make_shared<core::ManualRunLoop>();
    {
        const DocumentContext context(url, writer);
        EXPECT_EQ(context.project()->team().members().size(), 6U);
        EXPECT_NE(context.takePreparedLoad(), nullptr);
        EXPECT_TRUE(fs::exists(context.workingFolder() / "project.moc"));
        EXPECT_TRUE(fs::is_empty(context.workingFolder() / "Photo"));
        EXPECT_FALSE(context.images().finished());
        writer->runUntilIdle();
        EXPECT_TRUE(context.images().finished());
        EXPECT_FALSE(fs::is_empty(context.workingFolder() / "Photo"));
    }
    // Its writing over, the context takes its folder with it.
    EXPECT_TRUE(tmpEntries().empty());

    fs::path folder;
    {
        const DocumentContext context(url, writer);
        folder = context.workingFolder();
    }
    // Closed while its images are still to be written: the folder stays for the writer, which
    // writes no more and removes it as it stops.
    EXPECT_TRUE(fs::exists(folder / "Photo"));
    EXPECT_EQ(writer->runUntilIdle(), 1U);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(DocumentContextTest, AFailedOpenPassesTheDocumentErrorOnAndLeavesNoFolder) {
    EXPECT_EQ(openError(documents() / "deleted.zoz"), Code::FileNotExist);
    EXPECT_EQ(openError(writeFile("text.zoz", "not a zip archive at all")),
              Code::InvalidFileFormat);
    EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(DocumentContextTest, TheAppDocumentTypeIsTheProjectDocument) {
    EXPECT_EQ(DocumentContext::defaultAppDocumentType(), core::UTType::zoz());
}

} // namespace
} // namespace app
