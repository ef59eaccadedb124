#include "app/document_page.hpp"

#include "app/csv_export_dialog.hpp"
#include "app/inspector_panel.hpp"
#include "app/report_grid_view.hpp"
#include "app/report_window.hpp"
#include "report/report_view_model.hpp"
#include "uikit/color.hpp"
#include "uikit/csv_reader.hpp"
#include "uikit/file_preview.hpp"

#include "test_documents.hpp"
#include "test_support.hpp"

#include "qt_test_pixels.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAction>
#include <QElapsedTimer>
#include <QTest>
#include <QToolBar>

#include <fstream>
#include <sstream>

namespace {

using app::DocumentPage;
using app::ReportWindow;
using Case = app::ExportFlow::ViewState::Case;
using Element = report::ProjectReport::Element;
namespace fs = std::filesystem;
using app::testing::readAll;
using app::testing::shownRecords;

constexpr int kWait = 20'000;

// The period titles the grid shows.
std::vector<std::string> shownTitles(const app::ReportGridView& grid) {
    std::vector<std::string> titles;
    for (const Element& element : grid.snapshot()->itemsAt(0)) {
        if (const auto* timeline = std::get_if<Element::Timeline>(&element.payload)) {
            titles.push_back(timeline->text);
        }
    }
    return titles;
}

// Clicks the one shown button of `parent` whose text is `text`.
void clickButton(QWidget& parent, const QString& text) {
    for (QAbstractButton* button : parent.findChildren<QAbstractButton*>()) {
        if (button->text() == text && button->isVisible()) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    ADD_FAILURE() << "no shown button reads " << text.toStdString();
}

// Clicks the toolbar button of the action named `name`.
void clickToolbar(const ReportWindow& window, const char* name) {
    auto* action = window.toolBar()->findChild<QAction*>(QString::fromLatin1(name));
    ASSERT_NE(action, nullptr) << name;
    QWidget* button = window.toolBar()->widgetForAction(action);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
}

class DocumentPageTest : public app::fixtures::ScratchFolder {
protected:
    // Opens a document written by the test and waits until the grid shows its report.
    DocumentPage* openDocument() {
        const fs::path path = documents() / "road.zoz";
        writeDocument(path.filename().string());
        m_window.resize(1200, 800);
        m_window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&m_window));
        m_window.openDocument(QString::fromStdString(path.string()));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const DocumentPage* page = m_window.documentPage();
                return page != nullptr && page->grid()->snapshot() != nullptr &&
                       page->grid()->snapshot()->numberOfSections() > 2;
            },
            kWait));
        return m_window.documentPage();
    }

    app::testing::ScopedStubPlatform m_platform;
    ReportWindow m_window;
};

TEST_F(DocumentPageTest, OpensChangesOptionsAndExportsTheReportItShows) {
    DocumentPage* page = openDocument();
    ASSERT_NE(page, nullptr);
    app::InspectorPanel& inspector = *page->inspector();
    const app::ReportGridView& grid = *page->grid();

    // The inspector stands right of the grid, 280 points wide.
    EXPECT_TRUE(inspector.isVisible());
    EXPECT_EQ(inspector.width(), app::InspectorPanel::kWidth);
    EXPECT_GE(inspector.mapTo(page, QPoint(0, 0)).x(), grid.geometry().right());

    // Options reach the inspector at once and the grid only once the view model publishes.
    const std::vector<std::string> dayTitles = shownTitles(grid);
    ASSERT_FALSE(dayTitles.empty());
    QElapsedTimer sinceFirstChange;
    sinceFirstChange.start();
    clickButton(inspector, QStringLiteral("Week"));
    clickButton(inspector, QStringLiteral("Work"));
    EXPECT_TRUE(inspector.visibleSectionTitles().contains(QStringLiteral("Exceed Policy")));
    EXPECT_EQ(shownTitles(grid), dayTitles);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownTitles(grid) != dayTitles; }, kWait));
    EXPECT_GE(sinceFirstChange.elapsed(), 300);
    EXPECT_EQ(shownTitles(grid).front().front(), 'W');

    // "CSV" opens the sheet; its preview holds the report's CSV text.
    clickToolbar(m_window, "csvAction");
    app::CsvExportDialog* sheet = page->csvExportDialog();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet->state().kind() != Case::generating; }, kWait));
    ASSERT_EQ(sheet->state().kind(), Case::exported);
    const std::string csv = page->viewModel()->csvText();
    ASSERT_NE(sheet->preview(), nullptr);
    EXPECT_EQ(shownRecords(*sheet->preview()), uikit::readCsv(csv));
    const fs::path temporary = sheet->temporaryFile();
    EXPECT_EQ(temporary.parent_path(), tmp());
    // A second press while the sheet is open opens no other sheet.
    m_window.toolBar()->findChild<QAction*>(QStringLiteral("csvAction"))->trigger();
    EXPECT_EQ(page->csvExportDialog(), sheet);

    // Save through the chooser: the chosen file holds the text and the file manager shows it.
    const fs::path chosen = documents() / "Exported.csv";
    m_platform->answer = [&](const QString&) { return QString::fromStdString(chosen.string()); };
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    EXPECT_EQ(readAll(chosen), csv);
    ASSERT_EQ(m_platform->revealed.size(), 1U);
    EXPECT_EQ(m_platform->revealed.front(), QString::fromStdString(chosen.string()));

    // "Done" closes the sheet and its temporary file goes with it.
    clickButton(*sheet, QStringLiteral("Done"));
    EXPECT_FALSE(fs::exists(temporary));
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->csvExportDialog() == nullptr; }, kWait));

    // The next press opens a new sheet with a temporary file of its own.
    clickToolbar(m_window, "csvAction");
    app::CsvExportDialog* again = page->csvExportDialog();
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again->temporaryFile(), temporary);
    again->reject();
}

TEST_F(DocumentPageTest, TheSidebarButtonSlidesTheInspectorOutAndIn) {
    DocumentPage* page = openDocument();
    ASSERT_NE(page, nullptr);
    QWidget& side = *page->inspectorSide();
    const int fullWidth = side.width();
    EXPECT_EQ(fullWidth, app::InspectorPanel::kWidth + 1);

    clickToolbar(m_window, "inspectorAction");
    EXPECT_FALSE(page->isInspectorShown());
    ASSERT_TRUE(QTest::qWaitFor([&] { return side.isHidden(); }, kWait));
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->grid()->width() == page->width(); }, kWait));

    clickToolbar(m_window, "inspectorAction");
    EXPECT_TRUE(page->isInspectorShown());
    EXPECT_FALSE(side.isHidden());
    ASSERT_TRUE(QTest::qWaitFor([&] { return side.width() == fullWidth; }, kWait));
    EXPECT_EQ(page->inspector()->width(), app::InspectorPanel::kWidth);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return page->grid()->width() + fullWidth == page->width(); }, kWait));
}

TEST_F(DocumentPageTest, TheDividerBeforeTheInspectorIsASeparatorLineInLightAndDark) {
    DocumentPage* page = openDocument();
    ASSERT_NE(page, nullptr);
    const QWidget& side = *page->inspectorSide();
    const QPalette light = vtLightPalette();
    const QPalette dark = vtDarkPalette();
    for (const QPalette& colours : {light, dark}) {
        SCOPED_TRACE(colours == light ? "light" : "dark");
        m_window.setPalette(colours);
        const QImage shot = page->grab().toImage();
        const QColor line = uikit::Color::separator(side.palette());
        const int x = side.mapTo(page, QPoint(0, 0)).x();
        for (const int y : {1, shot.height() / 2, shot.height() - 2}) {
            expectLineAt(shot, QPoint(x, y), QPoint(1, 0), line);
        }
    }
}

} // namespace
