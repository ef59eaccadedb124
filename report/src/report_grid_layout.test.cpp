#include "report/report_grid_layout.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

using report::ReportGridLayout;
using Attributes = ReportGridLayout::Attributes;
using core::CGPoint;
using core::CGRect;

// The report window's layout: two pinned rows and columns, 240/90 wide, 26/16/24 high.
ReportGridLayout reportLayout() {
    return ReportGridLayout(
        2, 2, [](std::size_t column) { return column == 0 ? 240.0 : 90.0; },
        [](std::size_t row) { return row == 0   ? 26.0
                                     : row == 1 ? 16.0
                                                : 24.0; });
}

// The item counts of a report with `periods` columns and `rows` member rows.
std::vector<std::size_t> reportShape(std::size_t periods, std::size_t rows) {
    std::vector<std::size_t> counts{periods + 1, periods};
    counts.insert(counts.end(), rows, periods + 2);
    return counts;
}

CGRect frameOf(const ReportGridLayout::Prepared& grid, std::size_t section, std::size_t item,
               CGPoint offset = {}) {
    const auto attributes = grid.attributesForItem(section, item, offset);
    EXPECT_TRUE(attributes.has_value()) << section << "/" << item;
    return attributes ? attributes->frame : CGRect{};
}

int zOf(const ReportGridLayout::Prepared& grid, std::size_t section, std::size_t item) {
    return grid.attributesForItem(section, item, {})->zIndex;
}

// Every cell, tested one by one: what the rectangle query must find, in the same order.
std::vector<Attributes> everyCellIn(const ReportGridLayout::Prepared& grid, const CGRect& rect,
                                    CGPoint offset) {
    std::vector<Attributes> found;
    for (std::size_t s = 0; s < grid.sectionCount(); ++s) {
        for (std::size_t i = 0; i < grid.itemCount(s); ++i) {
            const Attributes cell = *grid.attributesForItem(s, i, offset);
            const CGRect& f = cell.frame;
            if (f.width() > 0 && f.height() > 0 && f.minX() < rect.maxX() &&
                rect.minX() < f.maxX() && f.minY() < rect.maxY() && rect.minY() < f.maxY()) {
                found.push_back(cell);
            }
        }
    }
    return found;
}

TEST(ReportGridLayoutTest, AnEmptyGridHasNoCellsAndNoSize) {
    const auto layout = reportLayout();
    for (const auto& counts : {std::vector<std::size_t>{}, std::vector<std::size_t>{0}}) {
        const auto grid = layout.prepare(counts);
        EXPECT_EQ(grid.contentSize(), core::CGSize{});
        EXPECT_TRUE(grid.attributesInRect(CGRect::make(0, 0, 1000, 1000), {}).empty());
        EXPECT_FALSE(grid.attributesForItem(0, 0, {}).has_value());
    }
    EXPECT_EQ(ReportGridLayout::Prepared().contentSize(), core::CGSize{});
    EXPECT_EQ(layout.prepare({}).pinnedSize(), core::CGSize{});
}

TEST(ReportGridLayoutTest, PlacesTheHeaderTheNamesAndTheValuesWithGridLines) {
    const auto grid = reportLayout().prepare(reportShape(3, 2));
    // The summary spans both pinned columns and both header rows, unshrunk.
    EXPECT_EQ(frameOf(grid, 0, 0), CGRect::make(0, 0, 330, 42));
    // The first title and the first period total both start after the two pinned columns.
    EXPECT_EQ(frameOf(grid, 0, 1), CGRect::make(330, 0, 89, 26));
    EXPECT_EQ(frameOf(grid, 0, 3), CGRect::make(510, 0, 89, 26));
    EXPECT_EQ(frameOf(grid, 1, 0), CGRect::make(330, 26, 89, 16));
    EXPECT_EQ(frameOf(grid, 1, 2), CGRect::make(510, 26, 89, 16));
    // Names and member totals keep their width; every body cell is one point lower; values are
    // one point narrower.
    EXPECT_EQ(frameOf(grid, 2, 0), CGRect::make(0, 42, 240, 23));
    EXPECT_EQ(frameOf(grid, 2, 1), CGRect::make(240, 42, 90, 23));
    EXPECT_EQ(frameOf(grid, 2, 2), CGRect::make(330, 42, 89, 23));
    EXPECT_EQ(frameOf(grid, 3, 4), CGRect::make(510, 66, 89, 23));
    EXPECT_FALSE(grid.attributesForItem(3, 5, {}).has_value());
    EXPECT_FALSE(grid.attributesForItem(4, 0, {}).has_value());

    // Layers: pinned header cells over pinned rows over pinned columns over values.
    EXPECT_EQ(zOf(grid, 0, 0), 2);
    EXPECT_EQ(zOf(grid, 0, 1), 1);
    EXPECT_EQ(zOf(grid, 1, 0), 1);
    EXPECT_EQ(zOf(grid, 2, 0), 1);
    EXPECT_EQ(zOf(grid, 2, 1), 1);
    EXPECT_EQ(zOf(grid, 2, 2), 0);

    // The content ends with the last cell of the last row ("not assigned"), shrunk.
    EXPECT_EQ(grid.contentSize(), (core::CGSize{599, 89}));
    // The pinned corner is the summary's slot.
    EXPECT_EQ(grid.pinnedSize(), (core::CGSize{330, 42}));
}

TEST(ReportGridLayoutTest, PinnedRowsAndColumnsFollowOnlyAPositiveScroll) {
    const auto grid = reportLayout().prepare(reportShape(3, 2));
    // Down by 100: the header rows and the summary come along, body rows stay.
    EXPECT_EQ(frameOf(grid, 0, 0, {0, 100}), CGRect::make(0, 100, 330, 42));
    EXPECT_EQ(frameOf(grid, 0, 1, {0, 100}), CGRect::make(330, 100, 89, 26));
    EXPECT_EQ(frameOf(grid, 1, 0, {0, 100}), CGRect::make(330, 126, 89, 16));
    EXPECT_EQ(frameOf(grid, 2, 0, {0, 100}), CGRect::make(0, 42, 240, 23));
    // Right by 100: the pinned columns of every row and the summary come along.
    EXPECT_EQ(frameOf(grid, 0, 0, {100, 0}), CGRect::make(100, 0, 330, 42));
    EXPECT_EQ(frameOf(grid, 2, 0, {100, 0}), CGRect::make(100, 42, 240, 23));
    EXPECT_EQ(frameOf(grid, 3, 1, {100, 0}), CGRect::make(340, 66, 90, 23));
    EXPECT_EQ(frameOf(grid, 0, 1, {100, 0}), CGRect::make(330, 0, 89, 26));
    EXPECT_EQ(frameOf(grid, 2, 2, {100, 0}), CGRect::make(330, 42, 89, 23));
    // Past the top or the left edge: everything at its natural place.
    for (const CGPoint offset : {CGPoint{-40, -30}, CGPoint{-40, 0}, CGPoint{0, -30}}) {
        EXPECT_EQ(frameOf(grid, 0, 0, offset), CGRect::make(0, 0, 330, 42));
        EXPECT_EQ(frameOf(grid, 2, 0, offset), CGRect::make(0, 42, 240, 23));
        EXPECT_EQ(frameOf(grid, 1, 0, offset), CGRect::make(330, 26, 89, 16));
    }
    // The content size does not move with the scroll offset.
    EXPECT_EQ(grid.contentSize(), (core::CGSize{599, 89}));
}

TEST(ReportGridLayoutTest, TheRectangleQueryFindsExactlyTheCellsItMeets) {
    // Fractional widths make frames integral outward, so slots and frames differ by a point.
    const ReportGridLayout layout(
        2, 2, [](std::size_t column) { return column == 0 ? 120.5 : 30.25 + double(column % 3); },
        [](std::size_t row) { return row == 0   ? 20.5
                                     : row == 1 ? 12.0
                                                : 15.75; });
    auto counts = reportShape(60, 40);
    counts.back() = 10; // a short last row
    const auto grid = layout.prepare(counts);
    for (const CGPoint offset : {CGPoint{0, 0}, CGPoint{333.3, 0}, CGPoint{0, 211.7},
                                 CGPoint{512, 401}, CGPoint{-20, -20}}) {
        for (const CGRect rect :
             {CGRect::make(offset.x, offset.y, 300, 200), CGRect::make(0, 0, 5000, 5000),
              CGRect::make(150.5, 20.5, 0.5, 0.5), CGRect::make(600, 500, -250, -180),
              CGRect::make(3000, 3000, 50, 50)}) {
            EXPECT_EQ(grid.attributesInRect(rect, offset), everyCellIn(grid, rect, offset))
                << offset.x << "," << offset.y << " " << rect.x() << "," << rect.y();
        }
    }
    // A rectangle meeting a frame only along an edge does not count it.
    const auto exact = reportLayout().prepare(reportShape(3, 2));
    const auto touching = exact.attributesInRect(CGRect::make(419, 70, 1, 1), {});
    EXPECT_TRUE(touching.empty());
    EXPECT_TRUE(exact.attributesInRect(CGRect::make(10, 10, 0, 50), {}).empty());
}

TEST(ReportGridLayoutTest, AViewportOfAHugeGridMeetsOnlyItsVisibleCells) {
    // Five years of days and 300 members: a 1920 x 1080 viewport in the middle meets only the
    // cells on screen and the pinned header, names and totals over them.
    const auto grid = reportLayout().prepare(reportShape(1827, 301));
    const CGPoint offset{80000, 3000};
    const auto cells = grid.attributesInRect(CGRect::make(offset.x, offset.y, 1920, 1080), offset);
    std::size_t pinned = 0;
    for (const auto& cell : cells) {
        pinned += cell.zIndex > 0 ? 1 : 0;
    }
    // 22 value columns across (those under the pinned columns included), 46 body rows down; the
    // summary, two header rows and two pinned columns ride along.
    EXPECT_EQ(cells.size(), 22u * 46u + 1u + 2u * 22u + 2u * 46u);
    EXPECT_EQ(pinned, 1u + 2u * 22u + 2u * 46u);
    EXPECT_EQ(grid.columnCount(), 1829u);
    EXPECT_EQ(grid.contentSize(), (core::CGSize{330 + 90 * 1827 - 1, 42 + 24 * 301 - 1}));
}

TEST(ReportGridLayoutTest, RefusesALayoutWithoutPinnedCellsOrSizes) {
    auto width = [](std::size_t) { return 10.0; };
    EXPECT_THROW(ReportGridLayout(0, 2, width, width), std::invalid_argument);
    EXPECT_THROW(ReportGridLayout(2, 0, width, width), std::invalid_argument);
    EXPECT_THROW(ReportGridLayout(2, 2, {}, width), std::invalid_argument);
    // Negative sizes count as zero: nothing overlaps anything, nothing is found.
    const ReportGridLayout negative(
        2, 2, [](std::size_t) { return -5.0; }, width);
    const auto grid = negative.prepare({3, 2, 4});
    EXPECT_EQ(negative.columnWidth(3), 0.0);
    EXPECT_TRUE(grid.attributesInRect(CGRect::make(-100, -100, 500, 500), {}).empty());
}

} // namespace
