#include "report/report_view_model.hpp"

#include "project_generator.hpp"

#include "core/calendar.hpp"
#include "core/executor.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_project_member.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_project_team.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;
using report::Period;
using report::ProjectReport;
using report::ReportRender;
using report::ReportViewModel;

// Three weeks from Monday 2024-03-04, across the spring change in New York, two members and a
// handful of tasks of every work kind with costs.
std::shared_ptr<document::ZozProject> makeProject() {
    return bench::makeThreeWeekProject({.uid = "uid", .name = "View model"});
}

class ReportViewModelTest : public testing::Test {
protected:
    ReportViewModelTest()
        : m_calendar("America/New_York", "en_US"), m_mainLoop(m_loop), m_project(makeProject()),
          m_model(ReportViewModel::create()) {
        m_published = m_model->snapshot.publisher().dropFirst().sink(
            [this](const core::Versioned<ReportViewModel::Snapshot>& value) {
                m_versions.push_back(value.version());
            });
    }

    // Runs the main loop until `count` snapshots have been published in all.
    bool waitForPublications(std::size_t count) {
        return m_loop->runUntil([&] { return m_versions.size() >= count; }, 20s);
    }

    void loadProject() {
        bool done = false;
        m_model->load(ProjectReport::ValueKind::cost(ProjectReport::CostKind::all), m_project,
                      [&] { done = true; });
        ASSERT_TRUE(m_loop->runUntil([&] { return done; }, 20s));
        m_versions.clear();
    }

    // The snapshot the model should show for its current options.
    report::ReportSnapshot expected(ProjectReport::ValueKind kind) const {
        const ReportRender render(m_model->decimalPlaces.get(), m_model->currencyFormat.get(),
                                  m_model->weekDisplay.get(), m_model->monthDisplay.get(),
                                  m_model->exceedPolicy.get());
        return report::makeSnapshot(*m_model->report(), kind, *m_project, render);
    }

    const report::ReportSnapshot& shown() const { return *m_model->snapshot.get().value(); }

    core::ScopedCalendarOverride m_calendar;
    std::shared_ptr<core::ManualRunLoop> m_loop = std::make_shared<core::ManualRunLoop>();
    core::ScopedMainLoop m_mainLoop;
    std::shared_ptr<document::ZozProject> m_project;
    std::shared_ptr<ReportViewModel> m_model;
    std::vector<core::Uuid> m_versions;
    core::rx::Cancellable m_published;
};

TEST_F(ReportViewModelTest, StartsEmptyAndDoesNothingUntilAnOptionChanges) {
    EXPECT_EQ(shown().numberOfSections(), 1U);
    EXPECT_EQ(shown().numberOfItems(), 0U);
    EXPECT_EQ(m_model->csvText(), "");
    const auto layout = m_model->layout.get().value();
    EXPECT_EQ(layout->stickyRowsCount(), 2U);
    EXPECT_EQ(layout->stickyColumnsCount(), 2U);
    EXPECT_EQ(layout->columnWidth(0), 240);
    EXPECT_EQ(layout->columnWidth(7), 90);
    EXPECT_EQ(layout->rowHeight(0), 26);
    EXPECT_EQ(layout->rowHeight(1), 16);
    EXPECT_EQ(layout->rowHeight(2), 24);
    m_loop->advance(2s);
    EXPECT_EQ(m_loop->pendingCount(), 0U);
    EXPECT_TRUE(m_versions.empty());
    // An option change before any load starts work that ends without effect.
    m_model->valueKind.set(ProjectReport::ValueKind::work());
    m_loop->advance(300ms);
    m_loop->runUntil([] { return false; }, 50ms);
    EXPECT_TRUE(m_versions.empty());
    EXPECT_EQ(m_model->report(), nullptr);
}

TEST_F(ReportViewModelTest, LoadRendersWithTheValueKindItIsGiven) {
    m_model->valueKind.set(ProjectReport::ValueKind::work());
    const auto layoutVersion = m_model->layout.get().version();
    bool done = false;
    m_model->load(ProjectReport::ValueKind::cost(ProjectReport::CostKind::laborOnly), m_project,
                  [&] { done = true; });
    ASSERT_TRUE(m_loop->runUntil([&] { return done; }, 20s));
    ASSERT_NE(m_model->report(), nullptr);
    EXPECT_EQ(m_model->report()->periodKind(), Period::Kind::day);
    EXPECT_EQ(shown(),
              expected(ProjectReport::ValueKind::cost(ProjectReport::CostKind::laborOnly)));
    EXPECT_EQ(shown().numberOfSections(), m_model->report()->rows().size() + 2);
    EXPECT_EQ(m_model->layout.get().version(), layoutVersion);
    EXPECT_FALSE(m_model->csvText().empty());
}

TEST_F(ReportViewModelTest, APreparedLoadIsTakenOnlyWhileItsOptionsHold) {
    const auto all = ProjectReport::ValueKind::cost(ProjectReport::CostKind::all);
    const auto prepared = ReportViewModel::prepareLoad(m_project);
    const auto loadWith = [&](const std::shared_ptr<ReportViewModel>& model,
                              ProjectReport::ValueKind kind) {
        bool done = false;
        model->load(kind, m_project, prepared, [&] { done = true; });
        EXPECT_TRUE(m_loop->runUntil([&] { return done; }, 20s));
        return *model->snapshot.get().value();
    };
    const auto first = loadWith(m_model, all);
    EXPECT_EQ(first, expected(all));
    EXPECT_EQ(m_model->report()->periodKind(), Period::Kind::day);

    // A project changed after the preparation shows that a later load takes what was made
    // ahead, as long as every option is still the initial one.
    auto extra = m_project->createChild(m_project->root(), 99, m_project->root()->start(),
                                        m_project->root()->finish());
    extra->setLaborCost(document::ZozTaskLaborCost::fix(1000));
    EXPECT_EQ(loadWith(ReportViewModel::create(), all), first);

    // Another value kind or display option renders the prepared report anew.
    const auto places = ReportViewModel::create();
    places->decimalPlaces.set(ReportRender::DecimalPlaces::maxThree);
    const auto rendered = loadWith(places, all);
    ASSERT_NE(places->report(), nullptr);
    EXPECT_NE(rendered, first);
    EXPECT_EQ(rendered, report::makeSnapshot(*places->report(), all, *m_project,
                                             ReportRender(ReportRender::DecimalPlaces::maxThree,
                                                          ReportRender::CurrencyDisplay::none,
                                                          ReportRender::WeekDisplay::week,
                                                          ReportRender::MonthDisplay::month,
                                                          ReportRender::ExceedPolicy::overrall)));
    const auto work = ReportViewModel::create();
    const auto worked = loadWith(work, ProjectReport::ValueKind::work());
    ASSERT_NE(work->report(), nullptr);
    EXPECT_EQ(worked,
              report::makeSnapshot(*work->report(), ProjectReport::ValueKind::work(), *m_project,
                                   ReportRender(ReportRender::DecimalPlaces::maxOne,
                                                ReportRender::CurrencyDisplay::none,
                                                ReportRender::WeekDisplay::week,
                                                ReportRender::MonthDisplay::month,
                                                ReportRender::ExceedPolicy::overrall)));

    // Another period kind builds the report of the changed project.
    const auto weekly = ReportViewModel::create();
    weekly->periodKind.set(Period::Kind::week);
    loadWith(weekly, all);
    ASSERT_NE(weekly->report(), nullptr);
    EXPECT_EQ(weekly->report()->periodKind(), Period::Kind::week);
    EXPECT_DOUBLE_EQ(weekly->report()->total().laborCost,
                     ProjectReport::make(Period::Kind::week, *m_project)->total().laborCost);
    EXPECT_NE(weekly->report()->total().laborCost, m_model->report()->total().laborCost);
}

TEST_F(ReportViewModelTest, ABurstOfOptionChangesGivesOneRenderWithTheLastValues) {
    loadProject();
    const auto report = m_model->report();
    m_model->valueKind.set(ProjectReport::ValueKind::work());
    m_loop->advance(200ms);
    m_model->decimalPlaces.set(ReportRender::DecimalPlaces::fixedTwo);
    m_loop->advance(299ms);
    EXPECT_TRUE(m_versions.empty());
    m_loop->advance(1ms);
    ASSERT_TRUE(waitForPublications(1));
    m_loop->advance(1s);
    m_loop->runUntil([] { return false; }, 50ms);
    EXPECT_EQ(m_versions.size(), 1U);
    EXPECT_EQ(m_model->report(), report); // a re-render keeps the report
    EXPECT_EQ(shown(), expected(ProjectReport::ValueKind::work()));

    // Assigning the value already held still renders again, with a fresh version.
    m_model->decimalPlaces.set(ReportRender::DecimalPlaces::fixedTwo);
    m_loop->advance(300ms);
    ASSERT_TRUE(waitForPublications(2));
    EXPECT_NE(m_versions[0], m_versions[1]);
}

TEST_F(ReportViewModelTest, APeriodChangeRebuildsOnly) {
    loadProject();
    const auto before = m_model->report();
    m_model->periodKind.set(Period::Kind::week);
    m_loop->advance(300ms);
    ASSERT_TRUE(waitForPublications(1));
    m_loop->advance(1s);
    m_loop->runUntil([] { return false; }, 50ms);
    EXPECT_EQ(m_versions.size(), 1U);
    EXPECT_NE(m_model->report(), before);
    EXPECT_EQ(m_model->report()->periodKind(), Period::Kind::week);
    EXPECT_EQ(shown(), expected(m_model->valueKind.get()));
}

TEST_F(ReportViewModelTest, APeriodChangeDuringTheFirstLoadWins) {
    bool done = false;
    m_model->load(ProjectReport::ValueKind::work(), m_project, [&] { done = true; });
    m_model->periodKind.set(Period::Kind::month);
    m_loop->advance(300ms);
    ASSERT_TRUE(m_loop->runUntil(
        [&] {
            const auto report = m_model->report();
            return done && report && report->periodKind() == Period::Kind::month &&
                   shown().numberOfSections() > 1 &&
                   shown().numberOfItems(0) == report->timeline().size() + 1;
        },
        20s));
}

TEST_F(ReportViewModelTest, OverlappingChangesAlwaysEndOnTheLatestOptions) {
    loadProject();
    const std::vector<Period::Kind> periods{Period::Kind::week, Period::Kind::month,
                                            Period::Kind::day};
    for (int i = 0; i < 60; ++i) {
        m_model->periodKind.set(periods[static_cast<std::size_t>(i) % 3]);
        m_model->decimalPlaces.set(static_cast<ReportRender::DecimalPlaces>(i % 9));
        m_model->valueKind.set(
            i % 2 == 0 ? ProjectReport::ValueKind::work()
                       : ProjectReport::ValueKind::cost(ProjectReport::CostKind::materialsOnly));
        // Sometimes quiet long enough for the pipelines to fire, sometimes not.
        m_loop->advance(i % 4 == 0 ? 350ms : 100ms);
        m_loop->runUntil([] { return false; }, 1ms);
    }
    m_loop->advance(1s);
    m_loop->runUntil([] { return false; }, 300ms);
    const std::set<core::Uuid> distinct(m_versions.begin(), m_versions.end());
    EXPECT_EQ(distinct.size(), m_versions.size());
    ASSERT_EQ(m_model->report()->periodKind(), m_model->periodKind.get());
    EXPECT_EQ(shown(), expected(m_model->valueKind.get()));
}

TEST_F(ReportViewModelTest, AViewModelReleasedMidTaskPublishesNothing) {
    std::weak_ptr<ReportViewModel> weak = m_model;
    bool published = false;
    m_model->load(ProjectReport::ValueKind::work(), m_project, [&] { published = true; });
    m_model->rebuild(Period::Kind::week);
    m_published.cancel();
    m_model.reset(); // before the main loop could publish anything
    EXPECT_TRUE(weak.expired());
    m_loop->runUntil([] { return false; }, 300ms);
    EXPECT_FALSE(published);
}

TEST_F(ReportViewModelTest, TheCsvTextNeedsAProject) {
    loadProject();
    EXPECT_FALSE(m_model->csvText().empty());
    std::weak_ptr<document::ZozProject> weakProject = m_project;
    m_project.reset(); // the document was closed: the view model never owned it
    // Background work may hold it a moment longer, but never keeps it.
    for (int i = 0; i < 500 && !weakProject.expired(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(weakProject.expired());
    EXPECT_EQ(m_model->csvText(), "");
    m_model->periodKind.set(Period::Kind::week);
    m_loop->advance(300ms);
    m_loop->runUntil([] { return false; }, 100ms);
    EXPECT_TRUE(m_versions.empty());
}

} // namespace
