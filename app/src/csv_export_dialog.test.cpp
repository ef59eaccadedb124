#include "app/csv_export_dialog.hpp"

#include "test_support.hpp"

#include "report/report_view_model.hpp"
#include "uikit/color.hpp"
#include "uikit/csv_reader.hpp"
#include "uikit/file_preview.hpp"

#include "qt_test_pixels.hpp"

#include <gtest/gtest.h>

#include "document/zoz_x.hpp"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <sstream>

namespace {

using app::CsvExportDialog;
using app::ExportFlow;
using Case = ExportFlow::ViewState::Case;
namespace fs = std::filesystem;
using app::testing::readAll;
using app::testing::shownRecords;

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

TEST_F(CsvExportDialogTest, UnderTheHeaderIsASeparatorLineInLightAndDark) {
    auto sheet = openSheet();
    ASSERT_EQ(sheet->state().kind(), Case::exported);
    const QPalette light = vtLightPalette();
    const QPalette dark = vtDarkPalette();
    for (const QPalette& colours : {light, dark}) {
        SCOPED_TRACE(colours == light ? "light" : "dark");
        sheet->setPalette(colours);
        const QImage shot = sheet->grab().toImage();
        const QColor line = uikit::Color::separator(sheet->palette());
        // Right under the header, between it and the preview.
        for (const int x : {0, 5, shot.width() - 1}) {
            expectLineAt(shot, QPoint(x, CsvExportDialog::kHeaderHeight), QPoint(0, 1), line);
        }
    }
}

// Reads a CSV file with Python's csv module and compares it cell by cell with a JSON table of
// expected texts (null: not compared). Prints the differences; exits 1 when there are any.
constexpr const char* kPythonCheck = R"(
import csv, json, sys
with open(sys.argv[1], newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f, strict=True))
with open(sys.argv[2], encoding="utf-8") as f:
    expected = json.load(f)
problems = []
if len(rows) != len(expected):
    problems.append(f"{len(rows)} lines, expected {len(expected)}")
for r, (got, want) in enumerate(zip(rows, expected)):
    if len(got) != len(want):
        problems.append(f"line {r}: {len(got)} fields, expected {len(want)}")
    for c, (g, w) in enumerate(zip(got, want)):
        if w is not None and g != w:
            problems.append(f"({r},{c}): {g!r} != {w!r}")
print("\n".join(problems[:20]))
sys.exit(1 if problems else 0)
)";

std::string elementText(const report::ProjectReport::Element& element) {
    return std::visit(
        [](const auto& payload) -> std::string {
            if constexpr (requires { payload.name; }) {
                return payload.name;
            } else {
                return payload.text;
            }
        },
        element.payload);
}

// The CSV lines as the grid shows their cells: titles, period totals, then one line per row
// with its name, total and values. The project's name heads the first line; the grand total
// (line 1, column 1) is not a grid cell and is left out.
QJsonArray gridAsCsv(const report::ReportSnapshot& snapshot, const std::string& projectName) {
    QJsonArray lines;
    for (std::size_t section = 0; section < snapshot.numberOfSections(); ++section) {
        const auto items = snapshot.itemsAt(section);
        QJsonArray line;
        if (section == 0) {
            line << QString::fromStdString(projectName) << QString();
            for (std::size_t i = 1; i < items.size(); ++i) {
                line << QString::fromStdString(elementText(items[i]));
            }
        } else {
            if (section == 1) {
                line << QString() << QJsonValue();
            }
            for (const auto& item : items) {
                line << QString::fromStdString(elementText(item));
            }
        }
        lines << line;
    }
    return lines;
}

TEST(CsvExportOfTheSample, ReadsBackInPythonsCsvModuleAsTheGridShowsIt) {
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    QTemporaryDir working;
    const auto project =
        document::ZozX::Manager().load(files::VtFile(fs::path(VT_EXAMPLES_DIR) / "sample.zoz"),
                                       files::VtFolder(fs::path(working.path().toStdString())));

    using report::ReportRender;
    struct Options {
        report::ProjectReport::ValueKind kind;
        report::Period::Kind period;
        ReportRender::DecimalPlaces places;
        ReportRender::CurrencyDisplay currency;
    };
    const Options cases[] = {
        {report::ProjectReport::ValueKind::work(), report::Period::Kind::week,
         ReportRender::DecimalPlaces::fixedTwo, ReportRender::CurrencyDisplay::atStart},
        {report::ProjectReport::ValueKind::cost(report::ProjectReport::CostKind::all),
         report::Period::Kind::day, ReportRender::DecimalPlaces::maxOne,
         ReportRender::CurrencyDisplay::atEnd},
        {report::ProjectReport::ValueKind::cost(report::ProjectReport::CostKind::laborOnly),
         report::Period::Kind::month, ReportRender::DecimalPlaces::none,
         ReportRender::CurrencyDisplay::none},
    };
    for (const Options& options : cases) {
        const auto model = report::ReportViewModel::create();
        model->valueKind.set(options.kind);
        model->periodKind.set(options.period);
        model->decimalPlaces.set(options.places);
        model->currencyFormat.set(options.currency);
        bool loaded = false;
        model->load(options.kind, project, [&] { loaded = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 20000));
        const QJsonArray expected = gridAsCsv(*model->snapshot.get().value(), project->name());

        CsvExportDialog sheet(model, QString::fromStdString(project->name()));
        sheet.open();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return sheet.state().kind() != Case::generating; }, 20000));
        ASSERT_EQ(sheet.state().kind(), Case::exported);

        const QString expectedPath = working.filePath(QStringLiteral("expected.json"));
        QFile expectedFile(expectedPath);
        ASSERT_TRUE(expectedFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        expectedFile.write(QJsonDocument(expected).toJson());
        expectedFile.close();

        QProcess check;
        check.start(python, {QStringLiteral("-c"), QString::fromUtf8(kPythonCheck),
                             QString::fromStdString(sheet.temporaryFile().string()), expectedPath});
        ASSERT_TRUE(check.waitForFinished(60000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString()
                                       << check.readAllStandardError().toStdString();
    }
}

} // namespace
