#include "app/csv_export_dialog.hpp"

#include "test_support.hpp"

#include "report/report_view_model.hpp"
#include "uikit/csv_reader.hpp"
#include "uikit/file_preview.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <sstream>

namespace {

using app::CsvExportDialog;
using app::ExportFlow;
using Case = ExportFlow::ViewState::Case;
namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The preview's table as records of text.
std::vector<uikit::CsvRecord> shownRecords(const uikit::FilePreview& preview) {
    const QAbstractItemModel& model = *preview.tableModel();
    std::vector<uikit::CsvRecord> records;
    for (int row = 0; row < model.rowCount(); ++row) {
        uikit::CsvRecord record;
        for (int column = 0; column < model.columnCount(); ++column) {
            record.push_back(model.data(model.index(row, column)).toString().toStdString());
        }
        records.push_back(std::move(record));
    }
    return records;
}

class CsvExportDialogTest : public testing::Test {
protected:
    void SetUp() override {
        m_project = app::testing::makeProject("Plan/B");
        m_model = report::ReportViewModel::create();
        bool loaded = false;
        m_model->load(report::ProjectReport::ValueKind::work(), m_project, [&] { loaded = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 20000));
        ASSERT_FALSE(m_model->csvText().empty());
    }

    // An opened sheet over the loaded model, once it has left "Generating...".
    std::unique_ptr<CsvExportDialog> openSheet(const fs::path& temporaryFolder = {}) {
        auto sheet = std::make_unique<CsvExportDialog>(m_model, "Plan/B", nullptr, temporaryFolder);
        sheet->open();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return sheet->state().kind() != Case::generating; }, 20000));
        return sheet;
    }

    fs::path folder() const { return fs::path(m_folder.path().toStdString()); }

    std::shared_ptr<document::ZozProject> m_project;
    std::shared_ptr<report::ReportViewModel> m_model;
    QTemporaryDir m_folder;
    app::testing::ScopedStubPlatform m_platform;
};

TEST_F(CsvExportDialogTest, PreviewsTheReportAndEachOpeningHasItsOwnTemporaryFile) {
    auto first = openSheet();
    auto second = openSheet();
    ASSERT_EQ(first->state().kind(), Case::exported);
    ASSERT_EQ(second->state().kind(), Case::exported);
    const fs::path firstFile = first->temporaryFile();
    const fs::path secondFile = second->temporaryFile();
    EXPECT_NE(firstFile, secondFile);
    EXPECT_EQ(firstFile.extension(), ".csv");
    EXPECT_EQ(first->state().url(), firstFile);
    EXPECT_EQ(readAll(firstFile), m_model->csvText());
    EXPECT_TRUE(first->saveButton()->isVisible());

    ASSERT_NE(first->preview(), nullptr);
    EXPECT_EQ(shownRecords(*first->preview()), uikit::readCsv(m_model->csvText()));
    EXPECT_EQ(first->size(), CsvExportDialog::kInitialSize);
    EXPECT_EQ(first->minimumSize(), CsvExportDialog::kMinimumSize);
    EXPECT_EQ(first->windowModality(), Qt::WindowModal);

    first->reject();
    EXPECT_FALSE(fs::exists(firstFile));
    EXPECT_TRUE(fs::exists(secondFile));
    // Escape closes the sheet as "Done" does.
    QTest::keyClick(second.get(), Qt::Key_Escape);
    EXPECT_FALSE(second->isVisible());
    EXPECT_FALSE(fs::exists(secondFile));
}

TEST_F(CsvExportDialogTest, NothingLoadedOrAnUnwritableFolderFailsWithoutSave) {
    const auto empty = report::ReportViewModel::create();
    CsvExportDialog sheet(empty, "Empty");
    EXPECT_EQ(sheet.statusText(), QStringLiteral("Generating..."));
    sheet.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.state().kind() != Case::generating; }, 20000));
    EXPECT_EQ(sheet.state().kind(), Case::failed);
    EXPECT_EQ(sheet.statusText(), QStringLiteral("Failed to generate the CSV file"));
    EXPECT_FALSE(sheet.saveButton()->isVisible());
    EXPECT_EQ(sheet.preview(), nullptr);

    // A file stands where the folder should be: not even root can write there.
    std::ofstream(folder() / "file") << "x";
    const auto blocked = openSheet(folder() / "file");
    EXPECT_EQ(blocked->state().kind(), Case::failed);
    EXPECT_EQ(blocked->statusText(), QStringLiteral("Failed to generate the CSV file"));
    EXPECT_FALSE(blocked->saveButton()->isVisible());
}

TEST_F(CsvExportDialogTest, CancellingTheChooserShowsNothing) {
    auto sheet = openSheet();
    m_platform->answer = [](const QString&) { return std::nullopt; };
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    ASSERT_EQ(m_platform->suggestedNames.size(), 1U);
    EXPECT_EQ(m_platform->suggestedNames.front(), QStringLiteral("Plan-B"));
    EXPECT_EQ(m_platform->suffixes.front(), QStringLiteral("csv"));
    EXPECT_EQ(sheet->saveFailedAlert(), nullptr);
    EXPECT_TRUE(m_platform->revealed.empty());
    EXPECT_EQ(sheet->state().kind(), Case::exported);
}

TEST_F(CsvExportDialogTest, SavingReplacesTheChosenFileAndRevealsIt) {
    auto sheet = openSheet();
    const fs::path chosen = folder() / "Chosen.csv";
    std::ofstream(chosen) << "an older export that is to be replaced\n";
    m_platform->answer = [&](const QString&) { return QString::fromStdString(chosen.string()); };
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    EXPECT_EQ(readAll(chosen), m_model->csvText());
    ASSERT_EQ(m_platform->revealed.size(), 1U);
    EXPECT_EQ(m_platform->revealed.front(), QString::fromStdString(chosen.string()));
    EXPECT_EQ(sheet->saveFailedAlert(), nullptr);
}

TEST_F(CsvExportDialogTest, AFailedSaveAlertsAndKeepsTheSheetAndTheOldFile) {
    auto sheet = openSheet();
    const fs::path blocked = folder() / "not-a-folder";
    std::ofstream(blocked) << "keep me";
    m_platform->answer = [&](const QString&) {
        return QString::fromStdString((blocked / "report.csv").string());
    };
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    ASSERT_NE(sheet->saveFailedAlert(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheet->saveFailedAlert()->isVisible(); }));
    EXPECT_EQ(sheet->saveFailedAlert()->text(), QStringLiteral("Failed to save!"));
    EXPECT_TRUE(sheet->saveFailedAlert()->informativeText().isEmpty());
    EXPECT_EQ(readAll(blocked), "keep me");
    EXPECT_TRUE(m_platform->revealed.empty());
    EXPECT_EQ(sheet->state().kind(), Case::exported);
    EXPECT_NE(sheet->preview(), nullptr);
    sheet->saveFailedAlert()->accept();

    // The button works again after a failure.
    const fs::path chosen = folder() / "Second try.csv";
    m_platform->answer = [&](const QString&) { return QString::fromStdString(chosen.string()); };
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    EXPECT_EQ(readAll(chosen), m_model->csvText());
    EXPECT_EQ(m_platform->revealed.size(), 1U);
}

} // namespace
