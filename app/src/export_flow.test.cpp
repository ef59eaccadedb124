#include "app/export_flow.hpp"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <sstream>

namespace {

using app::ExportFlow;
using ViewState = ExportFlow::ViewState;
namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class ExportFlowTest : public testing::Test {
protected:
    fs::path folder() const { return fs::path(m_folder.path().toStdString()); }

    core::ManualRunLoop m_worker;
    std::shared_ptr<core::ManualRunLoop> m_main = std::make_shared<core::ManualRunLoop>();

private:
    QTemporaryDir m_folder;
};

TEST_F(ExportFlowTest, TemporaryTargetsAreFreshCsvPaths) {
    const fs::path first = ExportFlow::temporaryTarget();
    const fs::path second = ExportFlow::temporaryTarget();
    EXPECT_NE(first, second);
    EXPECT_EQ(first.extension(), ".csv");
    EXPECT_EQ(first.parent_path(), fs::temp_directory_path());
    EXPECT_EQ(ExportFlow::temporaryTarget(folder()).parent_path(), folder());
    EXPECT_FALSE(fs::exists(first));
}

TEST_F(ExportFlowTest, TheTextIsMadeOnTheWorkerAndTheStateSettlesOnTheMainLoop) {
    const fs::path target = ExportFlow::temporaryTarget(folder());
    ExportFlow flow(target);
    EXPECT_EQ(flow.state(), ViewState::generating());
    EXPECT_FALSE(flow.showsSaveButton());
    std::optional<ViewState> reported;
    flow.start([] { return std::string("Plan,,W1\n,12.5,\"1,5\"\n"); }, m_worker, m_main,
               [&](const ViewState& state) {
                   reported = state;
                   flow.settle(state);
               });
    EXPECT_EQ(m_main->runUntilIdle(), 0U);
    EXPECT_FALSE(fs::exists(target));
    m_worker.runUntilIdle();
    EXPECT_EQ(readAll(target), "Plan,,W1\n,12.5,\"1,5\"\n");
    // The shared temporary folder must not show other users who costs what.
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(reported);
    m_main->runUntilIdle();
    ASSERT_TRUE(reported);
    EXPECT_EQ(flow.state(), ViewState::exported(target));
    EXPECT_TRUE(flow.showsSaveButton());
    // The state moves once: nothing takes it back.
    EXPECT_FALSE(flow.settle(ViewState::failed()));
    EXPECT_FALSE(flow.settle(ViewState::generating()));
    flow.close();
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(ExportFlowTest, EmptyTextAndAnUnwritableFolderFail) {
    EXPECT_EQ(ExportFlow::writeCsv("", folder() / "empty.csv"), ViewState::failed());
    EXPECT_FALSE(fs::exists(folder() / "empty.csv"));
    // A regular file stands where the folder should be: nobody, root included, writes there.
    writeAll(folder() / "not-a-folder", "x");
    const fs::path target = ExportFlow::temporaryTarget(folder() / "not-a-folder");
    EXPECT_EQ(ExportFlow::writeCsv("a\n", target), ViewState::failed());

    ExportFlow flow(target);
    flow.start([] { return std::string("a\n"); }, m_worker, m_main,
               [&](const ViewState& state) { flow.settle(state); });
    m_worker.runUntilIdle();
    m_main->runUntilIdle();
    EXPECT_EQ(flow.state(), ViewState::failed());
    EXPECT_FALSE(flow.showsSaveButton());
}

TEST_F(ExportFlowTest, ClosingRemovesTheFileEvenWhenItIsStillBeingWritten) {
    const fs::path target = ExportFlow::temporaryTarget(folder());
    bool called = false;
    {
        ExportFlow flow(target);
        flow.start([] { return std::string("x\n"); }, m_worker, m_main,
                   [&](const ViewState&) { called = true; });
        // Closed before the worker ran: the worker removes what it wrote.
    }
    m_worker.runUntilIdle();
    m_main->runUntilIdle();
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(called);

    // Written but not yet reported: closing removes it and the report is dropped.
    const fs::path second = ExportFlow::temporaryTarget(folder());
    auto flow = std::make_unique<ExportFlow>(second);
    flow->start([] { return std::string("y\n"); }, m_worker, m_main,
                [&](const ViewState&) { called = true; });
    m_worker.runUntilIdle();
    EXPECT_TRUE(fs::exists(second));
    flow.reset();
    EXPECT_FALSE(fs::exists(second));
    m_main->runUntilIdle();
    EXPECT_FALSE(called);
}

TEST_F(ExportFlowTest, TheWorkerHoldsTheMainLoopUntilItHasPostedThere) {
    // The loop's owner may let it go while the text is still being made (the application
    // ending): the worker must never post to a loop that is gone.
    auto main = std::make_shared<core::ManualRunLoop>();
    const std::weak_ptr<core::ManualRunLoop> watched = main;
    ExportFlow flow(ExportFlow::temporaryTarget(folder()));
    bool reported = false;
    flow.start([] { return std::string("a\n"); }, m_worker, main,
               [&](const ViewState&) { reported = true; });
    main.reset();
    ASSERT_FALSE(watched.expired());
    m_worker.runUntilIdle();
    // Posted, then let go: the report went with the loop.
    EXPECT_TRUE(watched.expired());
    EXPECT_FALSE(reported);
}

TEST_F(ExportFlowTest, SavingReplacesAnExistingFileAndAFailureLeavesItIntact) {
    const fs::path source = folder() / "source.csv";
    writeAll(source, "new,text\n");
    const fs::path chosen = folder() / "Chosen.csv";
    writeAll(chosen, "old contents that are longer than the new ones\n");

    EXPECT_EQ(ExportFlow::save(source, std::nullopt), ExportFlow::SaveOutcome::cancelled);
    EXPECT_EQ(readAll(chosen), "old contents that are longer than the new ones\n");

    EXPECT_EQ(ExportFlow::save(source, chosen), ExportFlow::SaveOutcome::saved);
    EXPECT_EQ(readAll(chosen), "new,text\n");

    // A missing source or a place that cannot be written fails and keeps what is there.
    EXPECT_EQ(ExportFlow::save(folder() / "gone.csv", chosen), ExportFlow::SaveOutcome::failed);
    EXPECT_EQ(readAll(chosen), "new,text\n");
    writeAll(folder() / "file", "x");
    EXPECT_EQ(ExportFlow::save(source, folder() / "file" / "inside.csv"),
              ExportFlow::SaveOutcome::failed);
    fs::create_directory(folder() / "a-folder");
    EXPECT_EQ(ExportFlow::save(source, folder() / "a-folder"), ExportFlow::SaveOutcome::failed);
    EXPECT_TRUE(fs::is_directory(folder() / "a-folder"));
}

TEST(ExportFlowNames, SuggestedNameReplacesSlashesAndNulAndNamesTheUntitled) {
    EXPECT_EQ(ExportFlow::suggestedFileName("Plan 2024"), "Plan 2024");
    EXPECT_EQ(ExportFlow::suggestedFileName("a/b/c"), "a-b-c");
    EXPECT_EQ(ExportFlow::suggestedFileName(std::string("x\0y", 3)), "x-y");
    EXPECT_EQ(ExportFlow::suggestedFileName(""), "Untitled");
    EXPECT_EQ(ExportFlow::suggestedFileName("Résumé.csv"), "Résumé.csv");
}

} // namespace
