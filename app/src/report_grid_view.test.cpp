#include "app/report_grid_view.hpp"

#include "app/cell_painter.hpp"
#include "app/cell_style.hpp"
#include "app/document_page.hpp"
#include "app/report_window.hpp"
#include "document/zoz_x.hpp"
#include "files/vt_path.hpp"
#include "grid_test_project.hpp"
#include "test_documents.hpp"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {

using app::CellColour;
using app::GridPalette;
using app::ReportGridView;
using report::Period;
using report::ProjectReport;
using Element = ProjectReport::Element;

constexpr int kWait = 20'000;

QColor colourOf(CellColour colour) {
    return app::CellPainter::toColor(GridPalette::light().background(colour));
}

// The offscreen platform's default palette is light; the tests pin it anyway.
QPalette lightPalette() {
    QPalette light;
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    return light;
}

// Waits until `grid` has applied `count` snapshots in all.
bool waitForApplications(const ReportGridView& grid, std::size_t count) {
    return QTest::qWaitFor([&] { return grid.snapshotApplications() >= count; }, kWait);
}

// The first value cell `grid` shows with the given exceed mark, as (section, item).
std::pair<std::size_t, std::size_t> firstValue(const ReportGridView& grid, bool exceed) {
    const auto& snapshot = *grid.snapshot();
    for (std::size_t s = 2; s < snapshot.numberOfSections(); ++s) {
        const auto items = snapshot.itemsAt(s);
        for (std::size_t i = 2; i < items.size(); ++i) {
            const auto* value = std::get_if<Element::Value>(&items[i].payload);
            if (value && value->exceed == exceed) {
                return {s, i};
            }
        }
    }
    ADD_FAILURE() << "no value cell with exceed " << exceed;
    return {0, 0};
}

// The colour of the pixel of `image` (a grab of `grid`) at `point` of the viewport.
QColor colourAt(const ReportGridView& grid, const QImage& image, QPoint point) {
    return image.pixelColor(grid.viewport()->mapTo(&grid, point));
}

// The colour one point inside the top-left corner of a cell in `image`, a grab of `grid`.
QColor cellColour(const ReportGridView& grid, const QImage& image, std::size_t section,
                  std::size_t item) {
    const auto rect = grid.cellRect(section, item);
    EXPECT_TRUE(rect.has_value());
    return rect ? colourAt(grid, image, rect->topLeft() + QPoint(1, 1)) : QColor();
}

// A report window showing a document written by the test.
class ReportGridWindowTest : public app::fixtures::ScratchFolder {
protected:
    // Writes the test plan of `members` members over `days` days as a document, opens it in a
    // window and waits until its grid shows the report.
    void open(int members, int days) {
        const auto project = app::testing::makeGridProject(members, days);
        const files::VtFolder working(documents() / "working");
        working.create();
        const document::ZozX::Manager manager;
        manager.saveProject(*project, working);
        manager.zozFile(*project, working, files::VtFile(documents() / "grid.zoz"));

        m_window.setPalette(lightPalette());
        m_window.resize(1000, 700);
        m_window.show();
        m_window.openDocument(QString::fromStdString((documents() / "grid.zoz").string()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window.documentPage() != nullptr; }, kWait));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return grid().snapshot() && grid().snapshot()->numberOfSections() > 1; }, kWait));
    }

    ReportGridView& grid() const { return *m_window.documentPage()->grid(); }
    report::ReportViewModel& model() const { return *m_window.documentPage()->viewModel(); }

    core::ScopedCalendarOverride m_calendar{"UTC", "en_US"};
    app::ReportWindow m_window;
};

TEST_F(ReportGridWindowTest, ShowsTheTeamTheUnassignedRowAndTheTwoHeaderRows) {
    open(5, 20);
    const auto& snapshot = *grid().snapshot();
    ASSERT_EQ(snapshot.numberOfSections(), 5u + 1u + 2u);
    // The grid shows the view model's snapshot itself, not a copy.
    EXPECT_EQ(grid().snapshot(), model().snapshot.get().value());
    const auto lastRow = snapshot.itemsAt(snapshot.numberOfSections() - 1);
    EXPECT_EQ(std::get<Element::Member>(lastRow[0].payload).name, "--- not assigned ---");
    // 20 days: 330 + 20 × 90 − 1 wide, 42 + 6 × 24 − 1 high.
    EXPECT_EQ(grid().contentSize(), (core::CGSize{2129, 185}));
    EXPECT_EQ(grid().cellRect(0, 1), QRect(330, 0, 89, 26));
    EXPECT_EQ(grid().cellRect(1, 0), QRect(330, 26, 89, 16));
    // The grid takes all the width the inspector beside it leaves.
    EXPECT_EQ(grid().width() + m_window.documentPage()->inspectorSide()->width(),
              m_window.documentPage()->width());
}

TEST_F(ReportGridWindowTest, PaintsAnOverAllocatedCellInTheExceedColourAndItsNeighbourPlain) {
    open(3, 10);
    // Exceed marks are for work; the page loads cost.
    const auto applied = grid().snapshotApplications();
    model().valueKind.set(ProjectReport::ValueKind::work());
    ASSERT_TRUE(waitForApplications(grid(), applied + 1));

    const auto [section, item] = firstValue(grid(), true);
    EXPECT_EQ(section, 2u); // the first member, on Wednesday
    EXPECT_EQ(item, 4u);
    QImage image = grid().grab().toImage();
    EXPECT_EQ(cellColour(grid(), image, section, item), colourOf(CellColour::exceed));
    EXPECT_EQ(cellColour(grid(), image, section, item + 1), colourOf(CellColour::value));
    EXPECT_EQ(cellColour(grid(), image, section + 1, item), colourOf(CellColour::value));

    // Back to cost: the same cell, drawn again, has no mark left over.
    model().valueKind.set(ProjectReport::ValueKind::cost(ProjectReport::CostKind::all));
    ASSERT_TRUE(waitForApplications(grid(), applied + 2));
    image = grid().grab().toImage();
    EXPECT_EQ(cellColour(grid(), image, section, item), colourOf(CellColour::value));
}

TEST_F(ReportGridWindowTest, KeepsThePinnedRowsAndColumnsOnTopWhenScrolledRightAndDown) {
    open(40, 120);
    const auto summary = grid().cellRect(0, 0);
    const auto member = grid().cellRect(12, 0);
    ASSERT_TRUE(summary && member);

    grid().horizontalScrollBar()->setValue(1000);
    grid().verticalScrollBar()->setValue(250);
    ASSERT_EQ(grid().scrollOrigin(), QPoint(1000, 250));
    const QImage image = grid().grab().toImage();

    // The summary and the first two columns stay where they were across; the header rows stay
    // at the top.
    EXPECT_EQ(grid().cellRect(0, 0), summary);
    EXPECT_EQ(grid().cellRect(12, 0)->x(), member->x());
    EXPECT_EQ(grid().cellRect(12, 0)->y(), member->y() - 250);
    EXPECT_EQ(cellColour(grid(), image, 0, 0), colourOf(CellColour::summary));
    // The first title now on screen lies beside the summary, over the rows beneath it.
    const std::size_t title = 1 + (1000 + 330) / 90; // section 0 item of the column at x = 330
    EXPECT_EQ(cellColour(grid(), image, 0, title), colourOf(CellColour::timeline));
    EXPECT_EQ(cellColour(grid(), image, 1, title - 1), colourOf(CellColour::subtotal));
    // Row 12 starts 10 points under the header: the summary covers its top, its lower part
    // shows its name and total over the values scrolled beneath them.
    EXPECT_EQ(grid().cellRect(12, 0)->y(), 42 + 10 * 24 - 250);
    EXPECT_EQ(colourAt(grid(), image, {5, 36}), colourOf(CellColour::summary));
    EXPECT_EQ(colourAt(grid(), image, {5, 45}), colourOf(CellColour::rowMember));
    EXPECT_EQ(colourAt(grid(), image, {245, 45}), colourOf(CellColour::subtotal));
    EXPECT_EQ(cellColour(grid(), image, 13, 0), colourOf(CellColour::rowMember));
    // Just right of the pinned columns and just below the header the values show.
    EXPECT_EQ(colourAt(grid(), image, {335, 60}), colourOf(CellColour::value));
    // Where a pinned column crosses a pinned row the summary is drawn, not a scrolled cell.
    EXPECT_EQ(colourAt(grid(), image, {300, 30}), colourOf(CellColour::summary));
}

TEST_F(ReportGridWindowTest, AppliesTheSameOptionsAgainWhenTheyAreSetAgain) {
    open(3, 10);
    const auto applied = grid().snapshotApplications();
    model().decimalPlaces.set(report::ReportRender::DecimalPlaces::fixedTwo);
    ASSERT_TRUE(waitForApplications(grid(), applied + 1));
    QTest::qWait(300);
    model().decimalPlaces.set(report::ReportRender::DecimalPlaces::fixedTwo);
    ASSERT_TRUE(waitForApplications(grid(), applied + 2));
    QTest::qWait(100);
    EXPECT_EQ(grid().snapshotApplications(), applied + 2);
}

// A grid of its own, fed by a view model the test loads.
class ReportGridViewTest : public testing::Test {
protected:
    void SetUp() override {
        m_grid->setPalette(lightPalette());
        m_grid->resize(800, 400);
        m_grid->show();
    }

    // Loads `project` and waits until the grid shows its report.
    void load(const std::shared_ptr<document::ZozProject>& project) {
        m_project = project;
        const auto before = m_grid->snapshotApplications();
        m_model->load(ProjectReport::ValueKind::cost(ProjectReport::CostKind::all), project);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return m_grid->snapshotApplications() > before &&
                       m_grid->snapshot()->numberOfSections() > 1;
            },
            kWait));
    }

    bool waitForApplications(std::size_t count) { return ::waitForApplications(*m_grid, count); }

    core::ScopedCalendarOverride m_calendar{"UTC", "en_US"};
    std::shared_ptr<report::ReportViewModel> m_model = report::ReportViewModel::create();
    std::unique_ptr<ReportGridView> m_grid = std::make_unique<ReportGridView>(m_model);
    std::shared_ptr<document::ZozProject> m_project;
};

TEST_F(ReportGridViewTest, ShowsTheEmptySnapshotBeforeTheLoad) {
    ASSERT_TRUE(waitForApplications(1));
    EXPECT_EQ(m_grid->snapshot()->numberOfSections(), 1u);
    EXPECT_EQ(m_grid->contentSize(), core::CGSize{});
    EXPECT_EQ(m_grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // Handed the same versions again, as a rebuilt window would, the grid applies nothing more.
    m_grid->setInputs(m_model->layout.get(), m_model->snapshot.get(),
                      ReportGridView::ScrollCommandInput(std::nullopt));
    QTest::qWait(50);
    EXPECT_EQ(m_grid->snapshotApplications(), 1u);
}

TEST_F(ReportGridViewTest, ShowsTheViewModelsMessageCentredWhileItHasOne) {
    ASSERT_TRUE(waitForApplications(1));
    // The rows of the grid's middle that hold any ink.
    const auto inkedRows = [&] {
        const QImage image = m_grid->grab().toImage();
        std::vector<int> rows;
        const QRect area = m_grid->viewport()->geometry();
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (image.pixelColor(x, y).lightness() < 128) {
                    rows.push_back(y - area.top());
                    break;
                }
            }
        }
        return rows;
    };
    EXPECT_TRUE(inkedRows().empty());
    m_model->message.set("This report is too large to show by day; choose weeks or months");
    EXPECT_EQ(m_grid->message(),
              QStringLiteral("This report is too large to show by day; choose weeks or months"));
    const auto rows = inkedRows();
    ASSERT_FALSE(rows.empty());
    const int middle = m_grid->viewport()->height() / 2;
    EXPECT_LT(rows.front(), middle);
    EXPECT_GT(rows.back(), middle - 10);
    EXPECT_LT(rows.back(), middle + 20);
    m_model->message.set(std::nullopt);
    EXPECT_TRUE(m_grid->message().isEmpty());
    EXPECT_TRUE(inkedRows().empty());
}

TEST_F(ReportGridViewTest, AppliesALayoutAndASnapshotHandedOverInOneUpdate) {
    load(app::testing::makeGridProject(3, 10));
    const auto applied = m_grid->snapshotApplications();
    const auto shown = m_grid->snapshot();
    // The same layout object with a new snapshot: laid out again, and the snapshot applied.
    auto narrower = std::make_shared<report::ReportSnapshot>();
    narrower->appendSections({0, 1, 2});
    narrower->appendItems({Element{Element::Summary{"9"}}}, 0);
    m_grid->applyUpdate(m_model->layout.get().value(), narrower, std::nullopt);
    EXPECT_EQ(m_grid->snapshotApplications(), applied + 1);
    EXPECT_EQ(m_grid->snapshot().get(), narrower.get());
    // Another layout with wider columns and a snapshot: both apply.
    auto wide = std::make_shared<const report::ReportGridLayout>(
        2, 2, [](std::size_t) { return 100.0; }, [](std::size_t) { return 30.0; });
    m_grid->applyUpdate(wide, shown, std::nullopt);
    EXPECT_EQ(m_grid->snapshotApplications(), applied + 2);
    EXPECT_EQ(m_grid->cellRect(0, 1), QRect(200, 0, 99, 30));
}

TEST_F(ReportGridViewTest, PagesByWhatThePinnedRowsAndColumnsLeaveInView) {
    load(app::testing::makeGridProject(40, 60));
    const QSize pinned = m_grid->cellRect(0, 0)->size(); // the summary covers the pinned corner
    const QSize view = m_grid->viewport()->size();
    m_grid->horizontalScrollBar()->setValue(100);
    m_grid->verticalScrollBar()->setValue(50);

    // The first content line hidden below the view before a page down is the first one shown
    // under the pinned rows after it: no row is skipped unseen.
    QTest::keyClick(m_grid.get(), Qt::Key_PageDown);
    EXPECT_EQ(m_grid->scrollOrigin().y() + pinned.height(), 50 + view.height());
    // The same across, as a click in the scroll bar's track pages.
    m_grid->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(m_grid->scrollOrigin().x() + pinned.width(), 100 + view.width());
    QTest::keyClick(m_grid.get(), Qt::Key_PageUp);
    EXPECT_EQ(m_grid->scrollOrigin().y(), 50);
}

TEST_F(ReportGridViewTest, ScrollsToACommandedElementAndIgnoresAnUnknownOne) {
    load(app::testing::makeGridProject(30, 60));
    const Element unknown{Element::Summary{"not in the grid"}};
    EXPECT_FALSE(m_grid->scrollTo({unknown, {}, {}, {}, {}, {}}, false));
    EXPECT_EQ(m_grid->scrollOrigin(), QPoint(0, 0));

    // A far value cell, brought in as far as needed: its right edge at the view's right edge.
    const auto target = m_grid->snapshot()->itemsAt(20)[40];
    ASSERT_TRUE(m_grid->scrollTo({target, {}, {}, {}, {}, {}}, false));
    const auto rect = m_grid->cellRect(20, 40);
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->right() + 1, m_grid->viewport()->width());
    EXPECT_EQ(rect->bottom() + 1, m_grid->viewport()->height());
    // Asked again: already there, nothing to do.
    EXPECT_FALSE(m_grid->scrollTo({target, {}, {}, {}, {}, {}}, false));

    // Through the inputs, a command runs once, animated.
    const ReportGridView::ScrollCommandInput command(
        app::ReportGridScrollCommand{m_grid->snapshot()->itemsAt(2)[2], {}, {}, {}, {}, {}});
    m_grid->setInputs(m_model->layout.get(), m_model->snapshot.get(), command);
    // The cell is brought in by its leading and top edges (under the pinned cells).
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !m_grid->isSettling() && m_grid->scrollOrigin() == QPoint(330, 42); }, kWait));
    m_grid->horizontalScrollBar()->setValue(500);
    m_grid->setInputs(m_model->layout.get(), m_model->snapshot.get(), command);
    QTest::qWait(400);
    EXPECT_EQ(m_grid->scrollOrigin().x(), 500);
}

TEST_F(ReportGridViewTest, HoldsTheScrollPositionWhenTheContentShrinksThenSettlesWithinIt) {
    m_grid->resize(1200, 400);
    load(app::testing::makeGridProject(4, 200));
    EXPECT_EQ(m_grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const int end = m_grid->horizontalScrollBar()->maximum();
    m_grid->horizontalScrollBar()->setValue(end);
    const auto applied = m_grid->snapshotApplications();

    // Months instead of days: the content becomes far narrower than where the view stands.
    m_model->periodKind.set(Period::Kind::month);
    ASSERT_TRUE(waitForApplications(applied + 1));
    EXPECT_TRUE(m_grid->isSettling());
    EXPECT_EQ(m_grid->scrollOrigin().x(), end);

    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_grid->isSettling(); }, kWait));
    const int content = static_cast<int>(m_grid->contentSize().width);
    const int visible = m_grid->viewport()->width();
    EXPECT_LT(content, visible);
    EXPECT_EQ(m_grid->scrollOrigin().x(), 0);
    EXPECT_EQ(m_grid->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(m_grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // A wider view keeps a still-valid position; a narrower one brings the bar back.
    m_grid->resize(content - 100, 400);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_grid->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn; }, kWait));
    m_grid->horizontalScrollBar()->setValue(60);
    m_grid->resize(content - 80, 400);
    EXPECT_EQ(m_grid->scrollOrigin().x(), 60);
}

TEST(CellPainterTest, ElidesALongNameAtTheRightAndKeepsNamesLeft) {
    const auto paint = [](const std::string& name) {
        QImage image(240, 24, QImage::Format_ARGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        QFont font;
        font.setPixelSize(13);
        app::CellPainter cells(font, GridPalette::light(), Qt::black, Qt::gray);
        const Element element{Element::Member{0, 1, name}};
        cells.paint(painter, QRect(0, 0, 240, 24), app::styleFor(element));
        return image;
    };
    // The columns holding any ink (text darker than the cell).
    const auto inked = [](const QImage& image) {
        std::vector<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                if (image.pixelColor(x, y).lightness() < 150) {
                    columns.push_back(x);
                    break;
                }
            }
        }
        return columns;
    };
    const auto shortName = inked(paint("Ada"));
    ASSERT_FALSE(shortName.empty());
    EXPECT_LE(shortName.front(), 4);
    EXPECT_LT(shortName.back(), 60);
    // A name far too long for the column stays within its label, two points from the edge.
    const auto longName = inked(paint(std::string(200, 'W')));
    ASSERT_FALSE(longName.empty());
    EXPECT_LE(longName.front(), 4);
    EXPECT_LE(longName.back(), 240 - 2);
    EXPECT_GT(longName.back(), 200);
}

} // namespace
