// Cloning a generated project of 10,000 tasks in each of the ways a clone can be made, and a
// chain of groups 10,000 deep.
#include "project_generator.hpp"

#include "document/zoz_project.hpp"
#include "document/zoz_project_clone.hpp"

#include "core/calendar.hpp"
#include "core/date_amounts.hpp"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Ids = std::vector<std::int64_t>;

// Clones report every task they leave out on standard output; the figures should not wait for
// the terminal, so the warnings go nowhere while a benchmark runs.
class QuietOutput {
public:
    QuietOutput() : m_saved(dup(STDOUT_FILENO)) {
        std::fflush(stdout);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~QuietOutput() {
        std::fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
    }
    QuietOutput(const QuietOutput&) = delete;
    QuietOutput& operator=(const QuietOutput&) = delete;

private:
    int m_saved;
};

std::shared_ptr<document::ZozProject>& generated() {
    static std::shared_ptr<document::ZozProject> project = [] {
        bench::ProjectPlan plan = bench::ProjectPlan::forThisRun();
        plan.photoSide = 0;
        return bench::generateProject(plan);
    }();
    return project;
}

std::shared_ptr<document::ZozProject>& deepChain() {
    static std::shared_ptr<document::ZozProject> project = [] {
        const std::int64_t depth = bench::quickRun() ? 200 : 10'000;
        auto chain = document::ZozProject::create("deep", "Deep chain");
        const auto member = chain->team().add("Ann");
        const auto today = core::Date::today();
        auto parent = chain->root();
        for (std::int64_t id = 1; id <= depth; ++id) {
            parent = chain->createChild(parent, id, today, today + core::VtDays(1));
        }
        parent->resources().addOrUpdateResource(member, 100);
        return chain;
    }();
    return project;
}

template <class Clone>
void run(benchmark::State& state, document::ZozProject& source, Clone&& makeClone) {
    const QuietOutput quiet;
    std::size_t tasks = 0;
    for (auto _ : state) {
        const auto clone = makeClone(source);
        tasks = clone->taskCount();
        benchmark::DoNotOptimize(clone.get());
    }
    state.counters["source_tasks"] = static_cast<double>(source.taskCount());
    state.counters["cloned_tasks"] = static_cast<double>(tasks);
}

void BM_CloneWholeProject(benchmark::State& state) {
    run(state, *generated(), [](document::ZozProject& source) {
        return document::clone(source, nullptr, "Whole", std::nullopt, false, true);
    });
}

void BM_CloneWholeProjectAsToDoList(benchmark::State& state) {
    run(state, *generated(), [](document::ZozProject& source) {
        return document::clone(source, nullptr, "List", std::nullopt, true, true);
    });
}

void BM_CloneMembersShare(benchmark::State& state) {
    run(state, *generated(), [](document::ZozProject& source) {
        return document::clone(source, nullptr, "Share", Ids{1, 2, 3, 4, 5}, false, true);
    });
}

void BM_CloneDateRange(benchmark::State& state) {
    run(state, *generated(), [](document::ZozProject& source) {
        const auto from = source.root()->start() + core::VtDays(90);
        return document::clone(source, nullptr, "Quarter", from, from + core::VtDays(90), true);
    });
}

void BM_CloneSingleTasks(benchmark::State& state) {
    auto& source = *generated();
    std::vector<document::ZozProjectTask::Ptr> picked;
    for (const auto& [id, task] : source.taskDict()) {
        if (id % 10 == 0 && !task->hasChilds()) {
            picked.push_back(task);
        }
    }
    run(state, source, [&](document::ZozProject& from) {
        return document::clone(from, nullptr, picked, "Picked");
    });
}

void BM_CloneDeepChain(benchmark::State& state) {
    run(state, *deepChain(), [](document::ZozProject& source) {
        return document::clone(source, nullptr, "Deep", std::nullopt, false, false);
    });
}

BENCHMARK(BM_CloneWholeProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloneWholeProjectAsToDoList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloneMembersShare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloneDateRange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloneSingleTasks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloneDeepChain)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
