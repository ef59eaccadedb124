// Building, rendering and exporting the resource report of a large generated plan, against the
// floor of parsing that plan's project.moc into a JSON tree.
#include "bench_timing.hpp"
#include "project_generator.hpp"

#include "document/data_map_service.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_project_team.hpp"
#include "report/project_report.hpp"
#include "report/report_csv.hpp"
#include "report/report_render.hpp"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <nlohmann/json.hpp>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using report::Period;
using report::ProjectReport;
using report::ReportRender;

struct Plan {
    std::string moc;
    std::shared_ptr<document::ZozProject> project;
    bench::ProjectPlan plan;

    explicit Plan(const bench::ProjectPlan& p) : plan(p) {
        const auto json = bench::generateJsonProject(plan);
        moc = document::encodeJsonProjectText(json);
        project = document::DataMapService::map(json);
        if (!project) {
            throw std::runtime_error("the generated plan does not map to a project");
        }
    }
};

Plan& fixture() {
    static Plan instance(bench::ProjectPlan::forThisRun());
    return instance;
}

ReportRender render() {
    return ReportRender(ReportRender::DecimalPlaces::maxTwo, ReportRender::CurrencyDisplay::atEnd,
                        ReportRender::WeekDisplay::week, ReportRender::MonthDisplay::month,
                        ReportRender::ExceedPolicy::any);
}

std::shared_ptr<const ProjectReport> dailyReport() {
    static const auto report = ProjectReport::make(Period::Kind::day, *fixture().project);
    return report;
}

std::size_t parseFloor(const std::string& moc) {
    const nlohmann::json tree = nlohmann::json::parse(moc);
    return tree.size();
}

void BM_ParseProjectMocFloor(benchmark::State& state) {
    const Plan& f = fixture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(parseFloor(f.moc));
    }
    state.counters["bytes"] = static_cast<double>(f.moc.size());
}

void BM_BuildReport(benchmark::State& state) {
    Plan& f = fixture();
    const auto kind = static_cast<Period::Kind>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ProjectReport::make(kind, *f.project));
    }
}

void BM_RenderDailySnapshot(benchmark::State& state) {
    const auto report = dailyReport();
    const auto options = render();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            report::makeSnapshot(*report, ProjectReport::ValueKind::work(), "$", options));
    }
}

void BM_WriteDailyCsv(benchmark::State& state) {
    const auto report = dailyReport();
    const auto options = render();
    const report::ReportCsvProject project{fixture().project->name(), "$"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            report::reportCsv(ProjectReport::ValueKind::work(), project, options, *report));
    }
}

BENCHMARK(BM_ParseProjectMocFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildReport)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderDailySnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteDailyCsv)->Unit(benchmark::kMillisecond);

double heapMiB() {
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();

    // One summary from this run: every timing measured back to back with the floor, the ratios,
    // the heap the daily report and its snapshot hold, and the process's peak memory.
    Plan& f = fixture();
    const int runs = bench::quickRun() ? 1 : 9;
    const double floor = bench::medianMilliseconds(runs, [&] { parseFloor(f.moc); });
    double build[3] = {};
    for (int kind = 0; kind < 3; ++kind) {
        build[kind] = bench::medianMilliseconds(runs, [&] {
            benchmark::DoNotOptimize(
                ProjectReport::make(static_cast<Period::Kind>(kind), *f.project));
        });
    }
    const auto options = render();
    const double heapBefore = heapMiB();
    const auto report = ProjectReport::make(Period::Kind::day, *f.project);
    const double reportHeap = heapMiB() - heapBefore;
    std::size_t items = 0;
    const double rendering = bench::medianMilliseconds(runs, [&] {
        items = report::makeSnapshot(*report, ProjectReport::ValueKind::work(), "$", options)
                    .numberOfItems();
    });
    const double snapshotBefore = heapMiB();
    const auto snapshot =
        report::makeSnapshot(*report, ProjectReport::ValueKind::work(), "$", options);
    const double snapshotHeap = heapMiB() - snapshotBefore;
    std::size_t csvBytes = 0;
    const report::ReportCsvProject csvProject{f.project->name(), "$"};
    const double csv = bench::medianMilliseconds(runs, [&] {
        csvBytes = report::reportCsv(ProjectReport::ValueKind::work(), csvProject, options, *report)
                       .size();
    });

    std::printf("plan: %d tasks, %zu members, %d years; %zu daily columns, %zu rows; "
                "project.moc %zu bytes\n",
                f.plan.taskCount, f.project->team().count(), f.plan.years,
                report->timeline().size(), report->rows().size(), f.moc.size());
    std::printf("floor (parse project.moc into a JSON tree): %.1f ms\n", floor);
    const char* names[3] = {"daily", "weekly", "monthly"};
    for (int kind = 0; kind < 3; ++kind) {
        std::printf("build %-7s report: %7.1f ms = %.2f x floor%s\n", names[kind], build[kind],
                    build[kind] / floor, kind == 0 ? " (goal <= 0.50)" : "");
    }
    std::printf("render daily snapshot: %7.1f ms = %.2f x floor (goal <= 1.00), %zu items\n",
                rendering, rendering / floor, items);
    std::printf("write daily CSV:       %7.1f ms = %.2f x floor (goal <= 1.00), %zu bytes\n", csv,
                csv / floor, csvBytes);

    if (!bench::quickRun()) {
        // Growth: half the tasks, and half the span, against the full plan.
        bench::ProjectPlan halfTasks = f.plan;
        halfTasks.taskCount /= 2;
        bench::ProjectPlan halfSpan = f.plan;
        halfSpan.years = std::max(1, f.plan.years / 2);
        for (const auto& [label, plan] :
             {std::pair{"half the tasks", halfTasks}, std::pair{"about half the span", halfSpan}}) {
            Plan smaller(plan);
            const double time = bench::medianMilliseconds(runs, [&] {
                benchmark::DoNotOptimize(ProjectReport::make(Period::Kind::day, *smaller.project));
            });
            std::printf("build daily report with %s (%d tasks, %d years): %.1f ms = %.2f of the "
                        "full plan's time\n",
                        label, plan.taskCount, plan.years, time, time / build[0]);
        }
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("heap held: daily report %.1f MiB, its snapshot %.1f MiB (%zu items); peak "
                "process memory %.1f MiB\n",
                reportHeap, snapshotHeap, snapshot.numberOfItems(),
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    benchmark::Shutdown();
    return 0;
}
