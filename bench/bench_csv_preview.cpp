// The CSV export sheet's work for the large generated plan's daily report: making the CSV text
// (on the background pool), reading it back with the preview's RFC 4180 reader, and the time the
// GUI thread spends loading the file into the preview table on the offscreen platform.
#include "bench_timing.hpp"
#include "project_generator.hpp"

#include "document/zoz_project.hpp"
#include "report/project_report.hpp"
#include "report/report_csv.hpp"
#include "report/report_render.hpp"
#include "uikit/csv_reader.hpp"
#include "uikit/file_preview.hpp"

#include <benchmark/benchmark.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace {

using report::Period;
using report::ProjectReport;
using report::ReportRender;

struct DailyCsv {
    bench::ProjectPlan plan;
    std::string text;

    DailyCsv() : plan(bench::ProjectPlan::forThisRun()) {
        const auto project = bench::generateProject(plan);
        const auto report = ProjectReport::make(Period::Kind::day, *project);
        const ReportRender render(
            ReportRender::DecimalPlaces::maxTwo, ReportRender::CurrencyDisplay::atEnd,
            ReportRender::WeekDisplay::week, ReportRender::MonthDisplay::month,
            ReportRender::ExceedPolicy::any);
        text = report::reportCsv(ProjectReport::ValueKind::cost(ProjectReport::CostKind::all),
                                 *project, render, *report);
    }
};

const DailyCsv& fixture() {
    static const DailyCsv instance;
    return instance;
}

void BM_ReadDailyCsv(benchmark::State& state) {
    const std::string& text = fixture().text;
    for (auto _ : state) {
        benchmark::DoNotOptimize(uikit::readCsv(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}

BENCHMARK(BM_ReadDailyCsv)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();

    const DailyCsv& csv = fixture();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("daily.csv"));
    std::ofstream(path.toStdString(), std::ios::binary) << csv.text;
    const int runs = bench::quickRun() ? 1 : 5;
    const double reading = bench::medianMilliseconds(
        runs, [&] { benchmark::DoNotOptimize(uikit::readCsv(csv.text)); });
    // The preview prints its file's URL on construction; keep that line out of the figures.
    std::fflush(stdout);
    uikit::FilePreview preview(path);
    const double loading = bench::medianMilliseconds(runs, [&] { preview.setFile(path); });
    std::printf("plan: %d tasks, %d members, %d years; daily CSV %zu bytes, %d lines x %d "
                "columns\n",
                csv.plan.taskCount, csv.plan.memberCount, csv.plan.years, csv.text.size(),
                preview.tableModel()->rowCount(), preview.tableModel()->columnCount());
    std::printf("read the daily CSV: %.1f ms; load it into the preview (GUI thread): %.1f ms\n",
                reading, loading);
    return 0;
}
