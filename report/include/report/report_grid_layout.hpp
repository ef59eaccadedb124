#pragma once

#include "core/geometry.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace report {

/// The report grid's sticky layout: sections are grid rows and items their cells. The first
/// `stickyRowsCount` sections (the header rows) stay pinned to the top of the visible area and
/// the first `stickyColumnsCount` columns to its left edge; the summary (section 0, item 0)
/// spans both the pinned columns and the pinned rows.
///
/// Header sections after 0 start at the first scrolled column; section 0's items after the
/// summary start there too; every other section's item i stands in column i. Cells are one
/// point smaller than their slot (on the right and, in body rows, at the bottom) so the grid
/// lines show between them; the pinned columns of body rows keep their full width.
class ReportGridLayout {
public:
    /// Where one cell stands: its section (grid row), item, frame in grid coordinates (with the
    /// pinned cells moved by the scroll offset) and layer; higher layers are drawn on top.
    struct Attributes {
        std::size_t section = 0;
        std::size_t item = 0;
        core::CGRect frame;
        int zIndex = 0;
        friend bool operator==(const Attributes&, const Attributes&) = default;
    };

    class Prepared;

    /// A layout pinning `stickyRowsCount` rows and `stickyColumnsCount` columns, with the given
    /// width of each column and height of each row in points (negative or NaN sizes count as
    /// zero); throws `std::invalid_argument` when a count is zero or a function is empty.
    ReportGridLayout(std::size_t stickyRowsCount, std::size_t stickyColumnsCount,
                     std::function<double(std::size_t column)> columnWidth,
                     std::function<double(std::size_t row)> rowHeight);

    /// The number of pinned header rows.
    std::size_t stickyRowsCount() const noexcept { return m_stickyRows; }
    /// The number of pinned leading columns.
    std::size_t stickyColumnsCount() const noexcept { return m_stickyColumns; }
    /// The width of `column` in points, never negative.
    double columnWidth(std::size_t column) const;
    /// The height of `row` in points, never negative.
    double rowHeight(std::size_t row) const;

    /// The geometry of a grid whose section s holds `itemCounts[s]` items. Takes time and memory
    /// proportional to the number of sections and columns, never to the number of cells.
    Prepared prepare(std::vector<std::size_t> itemCounts) const;

private:
    std::size_t m_stickyRows;
    std::size_t m_stickyColumns;
    std::function<double(std::size_t)> m_columnWidth;
    std::function<double(std::size_t)> m_rowHeight;
};

/// A prepared grid: row and column edges, from which any cell's frame is computed on demand for
/// a scroll offset (only a positive offset moves the pinned cells). Holds nothing per cell.
class ReportGridLayout::Prepared {
public:
    /// An empty grid: no sections, zero content size.
    Prepared() = default;

    /// The number of sections.
    std::size_t sectionCount() const noexcept { return m_itemCounts.size(); }
    /// The number of items of `section` (0 for a section past the end).
    std::size_t itemCount(std::size_t section) const noexcept;
    /// The number of columns.
    std::size_t columnCount() const noexcept { return m_columnWidths.size(); }

    /// The lower-right corner of the last item of the last section at its unscrolled place, as a
    /// size; zero without sections or when the last section is empty.
    core::CGSize contentSize() const;

    /// The size of the corner the pinned rows and columns cover (the summary's slot), which
    /// scrolled cells never show through; zero without sections.
    core::CGSize pinnedSize() const noexcept { return m_summarySize; }

    /// The attributes of `item` of `section` at scroll offset `offset`; none when there is no
    /// such item.
    std::optional<Attributes> attributesForItem(std::size_t section, std::size_t item,
                                                core::CGPoint offset) const;

    /// Every cell whose frame at scroll offset `offset` overlaps `rect` (touching edges do not
    /// count), section by section and in item order within a section. Takes time proportional
    /// to the number of cells near `rect`.
    std::vector<Attributes> attributesInRect(const core::CGRect& rect, core::CGPoint offset) const;

private:
    friend class ReportGridLayout;

    std::size_t columnOf(std::size_t section, std::size_t item) const noexcept;
    std::optional<std::size_t> itemAtColumn(std::size_t section, std::size_t column) const noexcept;
    Attributes attributes(std::size_t section, std::size_t item, core::CGPoint offset) const;
    void appendScrolledItems(std::size_t section, double minX, double maxX,
                             const core::CGRect& rect, core::CGPoint offset,
                             std::vector<Attributes>& out) const;

    std::size_t m_stickyRows = 1;
    std::size_t m_stickyColumns = 1;
    std::vector<std::size_t> m_itemCounts;
    std::vector<double> m_rowHeights;
    std::vector<double> m_rowTops; // one more than the sections: the last is the bottom
    std::vector<double> m_columnWidths;
    std::vector<double> m_columnLefts; // one more than the columns: the last is the right end
    core::CGSize m_summarySize;
};

} // namespace report
