#pragma once

#include "report/project_report.hpp"
#include "report/report_render.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace document {
class ZozProject;
}

namespace report {

/// The project facts the CSV text shows: its name and its currency text.
struct ReportCsvProject {
    std::string name;
    std::string currency;
};

/// The text of one cell of the report's CSV grid ((rows + 2) lines × (periods + 2) columns):
/// line 0 the project name and the period titles, line 1 the grand total in shortest form and the
/// period totals, then each row's name, total and values; empty outside the grid. Names that a
/// spreadsheet would run as a formula get a leading "'".
std::string reportCsvCellText(std::size_t line, std::size_t column, ProjectReport::ValueKind kind,
                              const ReportCsvProject& project, const ReportRender& render,
                              const ProjectReport& report);

/// The whole CSV text of the report grid, as `CsvWriter` writes it; empty for a report too large
/// to build.
std::string reportCsv(ProjectReport::ValueKind kind, const ReportCsvProject& project,
                      const ReportRender& render, const ProjectReport& report);
/// The same with the name and currency of `project`.
std::string reportCsv(ProjectReport::ValueKind kind, const document::ZozProject& project,
                      const ReportRender& render, const ProjectReport& report);

} // namespace report
