#include "report/report_view_model.hpp"

#include "core/executor.hpp"
#include "core/log.hpp"
#include "document/zoz_project.hpp"
#include "report/report_csv.hpp"

#include <deque>
#include <future>

namespace report {

// Work runs one job at a time in request order, so a re-render queued after a rebuild always
// renders the rebuilt report. The queue outlives the view model while jobs are queued; the jobs
// hold the view model only weakly.
struct ReportViewModel::WorkQueue : std::enable_shared_from_this<WorkQueue> {
    std::mutex mutex;
    std::deque<std::function<void()>> jobs;
    bool draining = false;

    void push(std::function<void()> job) {
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
            if (draining) {
                return;
            }
            draining = true;
        }
        core::background()->post([self = shared_from_this()] { self->drain(); });
    }

    void drain() {
        for (;;) {
            std::function<void()> job;
            {
                std::lock_guard lock(mutex);
                if (jobs.empty()) {
                    draining = false;
                    return;
                }
                job = std::move(jobs.front());
                jobs.pop_front();
            }
            try {
                job();
            } catch (const std::exception& error) {
                // The grid keeps its last snapshot; the failure must not take the window down.
                core::logError(error, "The report could not be built");
            }
        }
    }
};

namespace {

// The options a new view model starts with, which a prepared load is made with.
constexpr Period::Kind kInitialPeriod = Period::Kind::day;

ProjectReport::ValueKind initialValueKind() {
    return ProjectReport::ValueKind::cost(ProjectReport::CostKind::all);
}

ReportRender initialRender() {
    return ReportRender(ReportRender::DecimalPlaces::maxOne, ReportRender::CurrencyDisplay::none,
                        ReportRender::WeekDisplay::week, ReportRender::MonthDisplay::month,
                        ReportRender::ExceedPolicy::overrall);
}

bool sameOptions(const ReportRender& a, const ReportRender& b) {
    return a.decimalPlaces() == b.decimalPlaces() && a.currencyDisplay() == b.currencyDisplay() &&
           a.weekDisplay() == b.weekDisplay() && a.monthDisplay() == b.monthDisplay() &&
           a.exceedPolicy() == b.exceedPolicy() && a.localeId() == b.localeId();
}

std::shared_ptr<const ReportGridLayout> makeLayout() {
    return std::make_shared<const ReportGridLayout>(
        2, 2, [](std::size_t column) { return column == 0 ? 240.0 : 90.0; },
        [](std::size_t row) {
            if (row == 0) {
                return 26.0;
            }
            return row == 1 ? 16.0 : 24.0;
        });
}

ReportViewModel::Snapshot emptySnapshot() {
    auto snapshot = std::make_shared<ReportSnapshot>();
    snapshot->appendSections({0});
    snapshot->appendItems({}, 0);
    return snapshot;
}

// What the window says instead of a grid that would not fit in memory; each kind points to the
// coarser columns that may still fit.
std::optional<std::string> tooLargeMessage(const ProjectReport& report) {
    if (!report.isTooLarge()) {
        return std::nullopt;
    }
    switch (report.periodKind()) {
    case Period::Kind::day:
        return "This report is too large to show by day; choose weeks or months";
    case Period::Kind::week:
        return "This report is too large to show by week; choose months";
    case Period::Kind::month:
        break;
    }
    return "This report is too large to show, even by month";
}

} // namespace

ReportViewModel::ReportViewModel()
    : valueKind(*this, initialValueKind()), periodKind(*this, kInitialPeriod),
      decimalPlaces(*this, initialRender().decimalPlaces()),
      currencyFormat(*this, initialRender().currencyDisplay()),
      weekDisplay(*this, initialRender().weekDisplay()),
      monthDisplay(*this, initialRender().monthDisplay()),
      exceedPolicy(*this, initialRender().exceedPolicy()),
      layout(*this, core::Versioned<std::shared_ptr<const ReportGridLayout>>(makeLayout())),
      snapshot(*this, core::Versioned<Snapshot>(emptySnapshot())), message(*this, std::nullopt),
      m_work(std::make_shared<WorkQueue>()) {}

ReportViewModel::~ReportViewModel() = default;

std::shared_ptr<ReportViewModel> ReportViewModel::create() {
    std::shared_ptr<ReportViewModel> model(new ReportViewModel());
    model->startPipelines();
    return model;
}

void ReportViewModel::startPipelines() {
    const std::weak_ptr<ReportViewModel> weak = weak_from_this();
    const auto loop = core::mainLoop();

    periodKind.publisher()
        .dropFirst()
        .debounce(kDebounce, loop)
        .sink([weak](Period::Kind kind) {
            if (auto self = weak.lock()) {
                self->rebuild(kind);
            }
        })
        .store(m_cancellables);

    using Options =
        std::tuple<ProjectReport::ValueKind,
                   std::tuple<ReportRender::DecimalPlaces, ReportRender::CurrencyDisplay>,
                   std::tuple<ReportRender::WeekDisplay, ReportRender::MonthDisplay>,
                   ReportRender::ExceedPolicy>;
    core::rx::combineLatest(
        valueKind.publisher(),
        core::rx::combineLatest(decimalPlaces.publisher(), currencyFormat.publisher()),
        core::rx::combineLatest(weekDisplay.publisher(), monthDisplay.publisher()),
        exceedPolicy.publisher())
        .dropFirst()
        .debounce(kDebounce, loop)
        .sink([weak](const Options& options) {
            if (auto self = weak.lock()) {
                const auto& [kind, numbers, titles, exceed] = options;
                self->rerender(kind, std::get<0>(numbers), std::get<1>(numbers),
                               std::get<0>(titles), std::get<1>(titles), exceed);
            }
        })
        .store(m_cancellables);
}

ReportRender ReportViewModel::currentRender() const {
    return ReportRender(decimalPlaces.get(), currencyFormat.get(), weekDisplay.get(),
                        monthDisplay.get(), exceedPolicy.get());
}

void ReportViewModel::enqueue(std::function<void()> work) {
    m_work->push(std::move(work));
}

void ReportViewModel::publish(std::uint64_t request, Publication published,
                              std::function<void()> done) {
    if (published.snapshot && request >= m_lastPublished) {
        m_lastPublished = request;
        snapshot.set(core::Versioned<Snapshot>(std::move(published.snapshot)));
        if (message.get() != published.message) {
            message.set(std::move(published.message));
        }
    }
    if (done) {
        done();
    }
}

namespace {

template <class Publication>
void postPublication(const std::weak_ptr<ReportViewModel>& weak, std::uint64_t request,
                     Publication publication, std::function<void()> done,
                     void (ReportViewModel::*publish)(std::uint64_t, Publication,
                                                      std::function<void()>)) {
    core::mainLoop()->post([weak, request, publication = std::move(publication),
                            done = std::move(done), publish]() mutable {
        if (auto self = weak.lock()) {
            ((*self).*publish)(request, std::move(publication), std::move(done));
        }
    });
}

} // namespace

struct ReportViewModel::PreparedLoad {
    // What the preparation makes: the report and its snapshot, or nothing when the project went
    // before the work began.
    struct Made {
        std::shared_ptr<const ProjectReport> report;
        Publication publication;
    };

    Period::Kind period;
    ProjectReport::ValueKind kind;
    ReportRender render;
    std::shared_future<Made> made;
};

std::shared_ptr<const ReportViewModel::PreparedLoad>
ReportViewModel::prepareLoad(const std::shared_ptr<document::ZozProject>& project) {
    auto promise = std::make_shared<std::promise<PreparedLoad::Made>>();
    auto prepared = std::make_shared<const PreparedLoad>(PreparedLoad{
        kInitialPeriod, initialValueKind(), initialRender(), promise->get_future().share()});
    core::background()->post([promise, prepared = std::weak_ptr<const PreparedLoad>(prepared),
                              weakProject = std::weak_ptr<document::ZozProject>(project)] {
        try {
            const auto shared = weakProject.lock();
            const auto options = prepared.lock();
            if (!shared || !options) {
                promise->set_value({});
                return;
            }
            auto built = ProjectReport::make(options->period, *shared);
            Publication publication{std::make_shared<const ReportSnapshot>(makeSnapshot(
                                        *built, options->kind, *shared, options->render)),
                                    tooLargeMessage(*built)};
            promise->set_value({std::move(built), std::move(publication)});
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    });
    return prepared;
}

ReportViewModel::Publication ReportViewModel::buildAndRender(
    const std::weak_ptr<ReportViewModel>& weak, std::shared_ptr<document::ZozProject> project,
    std::optional<Period::Kind> period, std::optional<ProjectReport::ValueKind> kind,
    const PreparedLoad* prepared) {
    if (!project) {
        return {};
    }
    if (!period) {
        auto self = weak.lock();
        if (!self) {
            return {};
        }
        period = self->periodKind.get();
    }
    std::shared_ptr<const ProjectReport> built;
    std::optional<Publication> made;
    if (prepared) {
        // Usually finished already: it began while the document was still being opened. Wait for
        // it even when it cannot be used, since two builds must never read the project at once
        // (its getters fill caches).
        const core::BlockingRegion waiting;
        prepared->made.wait();
    }
    if (prepared && prepared->period == *period) {
        try {
            const PreparedLoad::Made& ready = prepared->made.get();
            built = ready.report;
            made = ready.publication;
        } catch (const std::exception& error) {
            core::logWarning(error, "The report made ahead is not used");
        }
    }
    if (!built) {
        built = ProjectReport::make(*period, *project);
        made.reset();
    }
    std::optional<ReportRender> render;
    {
        auto self = weak.lock();
        if (!self) {
            return {};
        }
        render.emplace(self->currentRender());
        kind = kind.value_or(self->valueKind.get());
    }
    if (made && !(*kind == prepared->kind && sameOptions(*render, prepared->render))) {
        made.reset();
    }
    Publication rendered = made ? std::move(*made)
                                : Publication{std::make_shared<const ReportSnapshot>(
                                                  makeSnapshot(*built, *kind, *project, *render)),
                                              tooLargeMessage(*built)};
    auto self = weak.lock();
    if (!self) {
        return {};
    }
    std::lock_guard lock(self->m_stateMutex);
    self->m_report = std::move(built);
    self->m_project = project;
    return rendered;
}

void ReportViewModel::load(ProjectReport::ValueKind kind,
                           const std::shared_ptr<document::ZozProject>& project,
                           std::function<void()> done) {
    load(kind, project, nullptr, std::move(done));
}

void ReportViewModel::load(ProjectReport::ValueKind kind,
                           const std::shared_ptr<document::ZozProject>& project,
                           std::shared_ptr<const PreparedLoad> prepared,
                           std::function<void()> done) {
    const std::uint64_t request = ++m_nextRequest;
    const std::weak_ptr<ReportViewModel> weak = weak_from_this();
    enqueue([weak, kind, project, prepared = std::move(prepared), request,
             done = std::move(done)]() mutable {
        // The project is handed over so that it is released before the publication is posted.
        Publication rendered =
            buildAndRender(weak, std::move(project), std::nullopt, kind, prepared.get());
        prepared.reset();
        postPublication(weak, request, std::move(rendered), std::move(done),
                        &ReportViewModel::publish);
    });
}

void ReportViewModel::rebuild(Period::Kind kind) {
    const std::uint64_t request = ++m_nextRequest;
    const std::weak_ptr<ReportViewModel> weak = weak_from_this();
    enqueue([weak, kind, request] {
        std::shared_ptr<document::ZozProject> project;
        if (auto self = weak.lock()) {
            std::lock_guard lock(self->m_stateMutex);
            project = self->m_project.lock();
        }
        Publication rendered = buildAndRender(weak, std::move(project), kind, std::nullopt);
        if (rendered.snapshot) {
            postPublication(weak, request, std::move(rendered), {}, &ReportViewModel::publish);
        }
    });
}

void ReportViewModel::rerender(ProjectReport::ValueKind kind, ReportRender::DecimalPlaces places,
                               ReportRender::CurrencyDisplay currency,
                               ReportRender::WeekDisplay week, ReportRender::MonthDisplay month,
                               ReportRender::ExceedPolicy policy) {
    const std::uint64_t request = ++m_nextRequest;
    const std::weak_ptr<ReportViewModel> weak = weak_from_this();
    enqueue([weak, request, kind, render = ReportRender(places, currency, week, month, policy)] {
        Publication rendered;
        {
            std::shared_ptr<document::ZozProject> project;
            std::shared_ptr<const ProjectReport> stored;
            if (auto self = weak.lock()) {
                std::lock_guard lock(self->m_stateMutex);
                project = self->m_project.lock();
                stored = self->m_report;
            }
            if (!project || !stored) {
                return;
            }
            rendered = {std::make_shared<const ReportSnapshot>(
                            makeSnapshot(*stored, kind, *project, render)),
                        tooLargeMessage(*stored)};
        }
        postPublication(weak, request, std::move(rendered), {}, &ReportViewModel::publish);
    });
}

std::string ReportViewModel::csvText() const {
    std::shared_ptr<document::ZozProject> project;
    std::shared_ptr<const ProjectReport> stored;
    {
        std::lock_guard lock(m_stateMutex);
        project = m_project.lock();
        stored = m_report;
    }
    if (!project || !stored) {
        return {};
    }
    return reportCsv(valueKind.get(), *project, currentRender(), *stored);
}

std::shared_ptr<const ProjectReport> ReportViewModel::report() const {
    std::lock_guard lock(m_stateMutex);
    return m_report;
}

} // namespace report
