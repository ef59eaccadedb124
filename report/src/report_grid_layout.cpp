#include "report/report_grid_layout.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <stdexcept>

namespace report {

namespace {

double nonNegative(double size) {
    return size > 0 ? size : 0; // NaN compares false and counts as zero too
}

// The platform's integral rectangle: the smallest rectangle with whole-point edges holding the
// given one; an empty rectangle becomes the zero rectangle.
core::CGRect integral(const core::CGRect& rect) {
    if (!(rect.size.width > 0) || !(rect.size.height > 0)) {
        return {};
    }
    const double left = std::floor(rect.origin.x);
    const double top = std::floor(rect.origin.y);
    const double right = std::ceil(rect.origin.x + rect.size.width);
    const double bottom = std::ceil(rect.origin.y + rect.size.height);
    return core::CGRect::make(left, top, right - left, bottom - top);
}

bool overlaps(const core::CGRect& a, const core::CGRect& b) {
    return a.size.width > 0 && a.size.height > 0 && a.origin.x < b.maxX() &&
           b.minX() < a.origin.x + a.size.width && a.origin.y < b.maxY() &&
           b.minY() < a.origin.y + a.size.height;
}

// Integral frames reach at most one point past their slot; the searches widen by this much and
// then test the exact frame.
constexpr double kSlack = 1.0;

} // namespace

ReportGridLayout::ReportGridLayout(std::size_t stickyRowsCount, std::size_t stickyColumnsCount,
                                   std::function<double(std::size_t)> columnWidth,
                                   std::function<double(std::size_t)> rowHeight)
    : m_stickyRows(stickyRowsCount), m_stickyColumns(stickyColumnsCount),
      m_columnWidth(std::move(columnWidth)), m_rowHeight(std::move(rowHeight)) {
    if (m_stickyRows == 0 || m_stickyColumns == 0) {
        throw std::invalid_argument("A grid layout pins at least one row and one column");
    }
    if (!m_columnWidth || !m_rowHeight) {
        throw std::invalid_argument("A grid layout needs a column width and a row height");
    }
}

double ReportGridLayout::columnWidth(std::size_t column) const {
    return nonNegative(m_columnWidth(column));
}

double ReportGridLayout::rowHeight(std::size_t row) const {
    return nonNegative(m_rowHeight(row));
}

ReportGridLayout::Prepared ReportGridLayout::prepare(std::vector<std::size_t> itemCounts) const {
    Prepared prepared;
    prepared.m_stickyRows = m_stickyRows;
    prepared.m_stickyColumns = m_stickyColumns;
    prepared.m_itemCounts = std::move(itemCounts);

    const std::size_t sections = prepared.m_itemCounts.size();
    prepared.m_rowHeights.reserve(sections);
    prepared.m_rowTops.reserve(sections + 1);
    double y = 0;
    std::size_t columns = 0;
    for (std::size_t s = 0; s < sections; ++s) {
        const double height = rowHeight(s);
        prepared.m_rowHeights.push_back(height);
        prepared.m_rowTops.push_back(y);
        y += height;
        const std::size_t count = prepared.m_itemCounts[s];
        if (count > 0) {
            columns = std::max(columns, prepared.columnOf(s, count - 1) + 1);
        }
    }
    prepared.m_rowTops.push_back(y);

    prepared.m_columnWidths.reserve(columns);
    prepared.m_columnLefts.reserve(columns + 1);
    double x = 0;
    for (std::size_t c = 0; c < columns; ++c) {
        const double width = columnWidth(c);
        prepared.m_columnWidths.push_back(width);
        prepared.m_columnLefts.push_back(x);
        x += width;
    }
    prepared.m_columnLefts.push_back(x);

    if (sections == 0) {
        return prepared;
    }
    for (std::size_t c = 0; c < m_stickyColumns; ++c) {
        prepared.m_summarySize.width += columnWidth(c);
    }
    for (std::size_t r = 0; r < m_stickyRows; ++r) {
        prepared.m_summarySize.height += rowHeight(r);
    }
    return prepared;
}

std::size_t ReportGridLayout::Prepared::itemCount(std::size_t section) const noexcept {
    return section < m_itemCounts.size() ? m_itemCounts[section] : 0;
}

std::size_t ReportGridLayout::Prepared::columnOf(std::size_t section,
                                                 std::size_t item) const noexcept {
    if (section == 0) {
        // The summary fills the pinned columns; the titles follow it.
        return item == 0 ? 0 : item + m_stickyColumns - 1;
    }
    return section < m_stickyRows ? item + m_stickyColumns : item;
}

std::optional<std::size_t>
ReportGridLayout::Prepared::itemAtColumn(std::size_t section, std::size_t column) const noexcept {
    std::size_t item = column;
    if (section == 0) {
        if (column < m_stickyColumns) {
            return std::nullopt;
        }
        item = column - m_stickyColumns + 1;
    } else if (section < m_stickyRows) {
        if (column < m_stickyColumns) {
            return std::nullopt;
        }
        item = column - m_stickyColumns;
    }
    if (item >= itemCount(section)) {
        return std::nullopt;
    }
    return item;
}

ReportGridLayout::Attributes ReportGridLayout::Prepared::attributes(std::size_t section,
                                                                    std::size_t item,
                                                                    core::CGPoint offset) const {
    const bool headerRow = section < m_stickyRows;
    const double pinX = offset.x > 0 ? offset.x : 0;
    const double top = m_rowTops[section] + (headerRow && offset.y > 0 ? offset.y : 0);

    Attributes result;
    result.section = section;
    result.item = item;
    if (section == 0 && item == 0) {
        result.frame =
            integral(core::CGRect::make(pinX, top, m_summarySize.width, m_summarySize.height));
        result.zIndex = 2;
        return result;
    }

    const std::size_t column = columnOf(section, item);
    const bool pinnedColumn = column < m_stickyColumns;
    double width = m_columnWidths[column];
    double height = m_rowHeights[section];
    const double left = m_columnLefts[column] + (pinnedColumn ? pinX : 0);
    // One point is left free on the right and, in body rows, at the bottom for the grid lines;
    // the names and totals of body rows keep their full width.
    if (headerRow || !pinnedColumn) {
        width -= 1;
    }
    if (!headerRow) {
        height -= 1;
    }
    result.frame = integral(core::CGRect::make(left, top, width, height));
    if (headerRow) {
        result.zIndex = pinnedColumn ? 2 : 1;
    } else {
        result.zIndex = pinnedColumn ? 1 : 0;
    }
    return result;
}

core::CGSize ReportGridLayout::Prepared::contentSize() const {
    if (m_itemCounts.empty() || m_itemCounts.back() == 0) {
        return {};
    }
    const std::size_t section = m_itemCounts.size() - 1;
    const core::CGRect frame = attributes(section, m_itemCounts.back() - 1, {}).frame;
    return {frame.origin.x + frame.size.width, frame.origin.y + frame.size.height};
}

std::optional<ReportGridLayout::Attributes>
ReportGridLayout::Prepared::attributesForItem(std::size_t section, std::size_t item,
                                              core::CGPoint offset) const {
    if (item >= itemCount(section)) {
        return std::nullopt;
    }
    return attributes(section, item, offset);
}

void ReportGridLayout::Prepared::appendScrolledItems(std::size_t section, double minX, double maxX,
                                                     const core::CGRect& rect, core::CGPoint offset,
                                                     std::vector<Attributes>& out) const {
    // Scrolled columns stand at their natural place: the first whose right end passes minX.
    const auto rightEnds = std::span(m_columnLefts).subspan(1);
    auto first = std::upper_bound(rightEnds.begin(), rightEnds.end(), minX - kSlack);
    std::size_t column =
        std::max(m_stickyColumns, static_cast<std::size_t>(first - rightEnds.begin()));
    for (; column < m_columnWidths.size() && m_columnLefts[column] < maxX + kSlack; ++column) {
        const auto item = itemAtColumn(section, column);
        if (!item) {
            break; // a section fills its scrolled columns without gaps, so nothing follows
        }
        Attributes cell = attributes(section, *item, offset);
        if (overlaps(cell.frame, rect)) {
            out.push_back(cell);
        }
    }
}

std::vector<ReportGridLayout::Attributes>
ReportGridLayout::Prepared::attributesInRect(const core::CGRect& rect, core::CGPoint offset) const {
    std::vector<Attributes> out;
    if (!(rect.width() > 0) || !(rect.height() > 0) || m_itemCounts.empty()) {
        return out;
    }
    const double minX = rect.minX();
    const double maxX = rect.maxX();
    const double minY = rect.minY();
    const double maxY = rect.maxY();

    auto visitSection = [&](std::size_t section) {
        const std::size_t count = m_itemCounts[section];
        if (count == 0) {
            return;
        }
        // Pinned cells first: they hold the lowest item indices of their section.
        if (section == 0) {
            Attributes summary = attributes(0, 0, offset);
            if (overlaps(summary.frame, rect)) {
                out.push_back(summary);
            }
        } else if (section >= m_stickyRows) {
            for (std::size_t item = 0; item < std::min(count, m_stickyColumns); ++item) {
                Attributes cell = attributes(section, item, offset);
                if (overlaps(cell.frame, rect)) {
                    out.push_back(cell);
                }
            }
        }
        appendScrolledItems(section, minX, maxX, rect, offset, out);
    };

    const std::size_t sections = m_itemCounts.size();
    const std::size_t headers = std::min(m_stickyRows, sections);
    for (std::size_t section = 0; section < headers; ++section) {
        visitSection(section);
    }
    // Body rows stand at their natural place: the first whose bottom passes minY.
    const auto bottoms = std::span(m_rowTops).subspan(1);
    auto first = std::upper_bound(bottoms.begin(), bottoms.end(), minY - kSlack);
    for (std::size_t section = std::max(headers, static_cast<std::size_t>(first - bottoms.begin()));
         section < sections && m_rowTops[section] < maxY + kSlack; ++section) {
        visitSection(section);
    }
    return out;
}

} // namespace report
