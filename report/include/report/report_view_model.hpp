#pragma once

#include "core/rx.hpp"
#include "core/rx_observable_state.hpp"
#include "core/versioned.hpp"
#include "report/period.hpp"
#include "report/project_report.hpp"
#include "report/report_grid_layout.hpp"
#include "report/report_render.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace document {
class ZozProject;
}

namespace report {

/// One report window's state: the seven report options, the last built report, and the grid's
/// layout and snapshot, each versioned so the grid can tell by version alone what to apply.
///
/// Options, `layout` and `snapshot` change on the main loop. Option changes reach the report
/// through two pipelines that drop their first value and debounce by 0.3 s on the main loop: a
/// new period kind rebuilds the report, any other option renders the stored report again.
/// Builds and renders run one at a time, in request order, on the background pool, with copies
/// of what they need; a result older than one already published is dropped, so the grid always
/// follows the latest options. Work finishing after the view model is gone publishes nothing.
class ReportViewModel final : public core::rx::ObservableObject,
                              public std::enable_shared_from_this<ReportViewModel> {
public:
    using Snapshot = std::shared_ptr<const ReportSnapshot>;

    /// The quiet time the option pipelines wait for before acting.
    static constexpr core::Duration kDebounce = std::chrono::milliseconds(300);

    /// A view model with the default options, the grid layout, an empty snapshot (one empty
    /// section 0) and both pipelines running on the installed main loop.
    static std::shared_ptr<ReportViewModel> create();

    ReportViewModel(const ReportViewModel&) = delete;
    ReportViewModel& operator=(const ReportViewModel&) = delete;
    ~ReportViewModel();

    core::rx::Published<ProjectReport::ValueKind> valueKind;
    core::rx::Published<Period::Kind> periodKind;
    core::rx::Published<ReportRender::DecimalPlaces> decimalPlaces;
    core::rx::Published<ReportRender::CurrencyDisplay> currencyFormat;
    core::rx::Published<ReportRender::WeekDisplay> weekDisplay;
    core::rx::Published<ReportRender::MonthDisplay> monthDisplay;
    core::rx::Published<ReportRender::ExceedPolicy> exceedPolicy;
    /// The grid's layout (two pinned rows and columns; column 0 240 points wide, the others 90;
    /// row 0 26 points high, row 1 16, the others 24), set once at creation.
    core::rx::Published<core::Versioned<std::shared_ptr<const ReportGridLayout>>> layout;
    /// What the grid shows; every publication carries a fresh version.
    core::rx::Published<core::Versioned<Snapshot>> snapshot;
    /// The text the window shows over an empty grid when the report is too large to build
    /// ("This report is too large to show by day; choose weeks or months"); none otherwise.
    /// Published on the main loop together with each snapshot.
    core::rx::Published<std::optional<std::string>> message;

    /// The report and snapshot of a project made ahead of `load` with the initial options.
    struct PreparedLoad;

    /// Starts making, on the background pool, what `load` would publish for `project` with the
    /// options a new view model starts with; the work holds the project only weakly.
    static std::shared_ptr<const PreparedLoad>
    prepareLoad(const std::shared_ptr<document::ZozProject>& project);

    /// Builds the report of `project` for the period kind current now, renders it with the value
    /// kind `kind` and the current display options, stores report and (weakly) project, then
    /// publishes the snapshot (empty, with a `message`, when the report is too large) on the
    /// main loop and calls `done` there.
    void load(ProjectReport::ValueKind kind, const std::shared_ptr<document::ZozProject>& project,
              std::function<void()> done = {});
    /// Like `load`, taking from `prepared` (made by `prepareLoad` for the same project) the
    /// report when the period kind is still the initial one, and its snapshot too when the
    /// value kind and display options are as well; builds anew whatever does not match, or
    /// when the preparation failed.
    void load(ProjectReport::ValueKind kind, const std::shared_ptr<document::ZozProject>& project,
              std::shared_ptr<const PreparedLoad> prepared, std::function<void()> done = {});
    /// Rebuilds the report for `kind` and publishes it rendered with the options current when it
    /// runs; does nothing while no project is loaded.
    void rebuild(Period::Kind kind);
    /// Renders the stored report again with the given options; does nothing before a load.
    void rerender(ProjectReport::ValueKind kind, ReportRender::DecimalPlaces places,
                  ReportRender::CurrencyDisplay currency, ReportRender::WeekDisplay week,
                  ReportRender::MonthDisplay month, ReportRender::ExceedPolicy policy);
    /// The report's CSV text with the current options; empty when no project or report is there,
    /// or when the report is too large.
    /// Safe from any thread.
    std::string csvText() const;

    /// The last built report, if any.
    std::shared_ptr<const ProjectReport> report() const;

private:
    ReportViewModel();
    /// A rendered grid and the message that goes with it.
    struct Publication {
        Snapshot snapshot;
        std::optional<std::string> message;
    };

    void startPipelines();
    ReportRender currentRender() const;
    /// Builds the report of `project` (for `period`, or the current period kind) and renders it
    /// (with `kind`, or the current value kind) and the current display options; stores report
    /// and project. Null when the project or the view model is gone.
    static Publication buildAndRender(const std::weak_ptr<ReportViewModel>& weak,
                                      std::shared_ptr<document::ZozProject> project,
                                      std::optional<Period::Kind> period,
                                      std::optional<ProjectReport::ValueKind> kind,
                                      const PreparedLoad* prepared = nullptr);
    /// Queues `work` behind the work already queued; it runs on the background pool.
    void enqueue(std::function<void()> work);
    /// On the main loop: publishes `publication` unless a newer request has published already.
    void publish(std::uint64_t request, Publication publication, std::function<void()> done);

    mutable std::mutex m_stateMutex;
    std::shared_ptr<const ProjectReport> m_report;
    std::weak_ptr<document::ZozProject> m_project;

    struct WorkQueue;
    std::shared_ptr<WorkQueue> m_work;

    std::atomic<std::uint64_t> m_nextRequest{0};
    std::uint64_t m_lastPublished = 0; // main loop only

    std::vector<core::rx::Cancellable> m_cancellables;
};

} // namespace report
