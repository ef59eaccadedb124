#include "report/report_csv.hpp"

#include "cell_text.hpp"
#include "report/csv_writer.hpp"

#include <memory>

namespace report {

namespace {

// The cells of one export, with one number memo for all of them.
class CsvCells {
public:
    CsvCells(ProjectReport::ValueKind kind, const ReportCsvProject& project,
             const ReportRender& render, const ProjectReport& report)
        : m_kind(kind), m_project(project), m_report(report), m_render(render),
          m_texts(render, project.currency, kind.isCost()) {}

    std::size_t lines() const { return m_report.rows().size() + 2; }
    std::size_t columns() const { return m_report.timeline().size() + 2; }

    // The text of (line, column); empty outside the grid.
    std::string cellText(std::size_t line, std::size_t column) {
        const auto& timeline = m_report.timeline();
        const auto& rows = m_report.rows();
        if (line >= lines() || column >= columns()) {
            return {};
        }
        if (line == 0) {
            if (column == 0) {
                return spreadsheetSafeName(m_project.name);
            }
            return column >= 2 ? titles().title(timeline[column - 2].period) : std::string();
        }
        if (line == 1) {
            if (column == 1) {
                return shortestText(m_report.total().amount(m_kind));
            }
            return column >= 2 ? m_texts.text(timeline[column - 2].total.amount(m_kind), true)
                               : std::string();
        }
        const auto& row = rows[line - 2];
        if (column == 0) {
            // The fixed row name is ours, not the user's: it is written as it stands.
            return row.memberID() ? spreadsheetSafeName(row.name()) : row.name();
        }
        if (column == 1) {
            return m_texts.text(row.total().amount(m_kind), true);
        }
        return m_texts.text(row.data(column - 2).amount(m_kind), true);
    }

private:
    // Date formatters are costly to make; a single cell outside the title line needs none.
    const detail::TitleMaker& titles() {
        if (!m_titles) {
            m_titles = std::make_unique<detail::TitleMaker>(m_render);
        }
        return *m_titles;
    }

    ProjectReport::ValueKind m_kind;
    const ReportCsvProject& m_project;
    const ProjectReport& m_report;
    const ReportRender& m_render;
    detail::CellTextMaker m_texts;
    std::unique_ptr<detail::TitleMaker> m_titles;
};

} // namespace

std::string reportCsvCellText(std::size_t line, std::size_t column, ProjectReport::ValueKind kind,
                              const ReportCsvProject& project, const ReportRender& render,
                              const ProjectReport& report) {
    return CsvCells(kind, project, render, report).cellText(line, column);
}

std::string reportCsv(ProjectReport::ValueKind kind, const ReportCsvProject& project,
                      const ReportRender& render, const ProjectReport& report) {
    if (report.isTooLarge()) {
        return {};
    }
    CsvCells cells(kind, project, render, report);
    std::string out;
    const std::size_t lines = cells.lines();
    const std::size_t columns = cells.columns();
    out.reserve(lines * columns * 2);
    for (std::size_t line = 0; line < lines; ++line) {
        for (std::size_t column = 0; column < columns; ++column) {
            if (column > 0) {
                out.push_back(',');
            }
            CsvWriter::appendField(out, cells.cellText(line, column));
        }
        out.push_back('\n');
    }
    return out;
}

} // namespace report
