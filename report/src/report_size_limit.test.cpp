#include "report/project_report.hpp"
#include "report/report_csv.hpp"
#include "report/report_view_model.hpp"

#include "core/calendar.hpp"
#include "core/executor.hpp"
#include "core/uuid.hpp"
#include "document/dezuduz_document_config.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_x.hpp"

#include <gtest/gtest.h>
#include <malloc.h>

#include <chrono>
#include <cinttypes>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using report::Period;
using report::ProjectReport;
using report::ReportViewModel;

// A tiny document that asks for a huge grid: `members` members, all assigned to one task that
// runs over the whole valid date range (about 73,000 days), written by our own writer and read
// back by the reader.
class HugeGridDocument {
public:
    explicit HugeGridDocument(int members)
        : m_folder(fs::temp_directory_path() / ("huge-grid-" + core::Uuid::random().uuidString())) {
        const auto& config = document::DezuduzDocumentConfig::shared();
        const auto calendar = core::Calendar::current();
        document::JsonTask task;
        task.uid = 1;
        task.name = "Forever";
        task.start = config.minDate();
        task.finish = calendar.startOfLocalDay(calendar.localDayNumber(config.maxDate()) - 1);
        task.resources.emplace();
        document::JsonProject json;
        json.uniqueId = "huge";
        json.name = "Huge grid";
        json.peoples.emplace();
        for (int id = 1; id <= members; ++id) {
            json.peoples->push_back({id, "M" + std::to_string(id), {}, {}, 1.0});
            task.resources->push_back({id, 100});
        }
        json.root.emplace();
        json.root->uid = 0;
        json.root->start = task.start;
        json.root->finish = task.finish;
        json.root->childs.emplace(1, task);

        const document::ZozX::Manager manager;
        const files::VtFolder source(m_folder / "source");
        source.create();
        manager.saveAsJsonFile(json, source.file("project.moc"));
        const files::VtFile file(m_folder / "huge.zoz");
        manager.zozFile(json, source, file);
        m_bytes = fs::file_size(file.url());
        const files::VtFolder working(m_folder / "working");
        working.create();
        m_project = manager.load(file, working);
    }
    ~HugeGridDocument() {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
    HugeGridDocument(const HugeGridDocument&) = delete;
    HugeGridDocument& operator=(const HugeGridDocument&) = delete;

    const std::shared_ptr<document::ZozProject>& project() const { return m_project; }
    std::uintmax_t bytes() const { return m_bytes; }

private:
    fs::path m_folder;
    std::uintmax_t m_bytes = 0;
    std::shared_ptr<document::ZozProject> m_project;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The process's peak resident memory in MiB since the last reset (VmHWM).
double peakResidentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return static_cast<double>(std::strtoumax(line.c_str() + 6, nullptr, 10)) / 1024.0;
        }
    }
    return 0.0;
}

// Returns freed memory to the system and restarts the peak from the current size, so that the
// peak covers what follows and not the tests that ran before in this process.
void restartPeak() {
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

class ReportSizeLimitTest : public testing::Test {
protected:
    core::ScopedCalendarOverride m_calendar{"Europe/Berlin", "en_GB"};
};

TEST_F(ReportSizeLimitTest, ATinyDocumentCannotMakeTheReportExhaustMemory) {
    restartPeak();
    const HugeGridDocument huge(1000);
    EXPECT_LT(huge.bytes(), 16U * 1024);

    const report::ReportRender render(
        report::ReportRender::DecimalPlaces::maxOne, report::ReportRender::CurrencyDisplay::none,
        report::ReportRender::WeekDisplay::week, report::ReportRender::MonthDisplay::month,
        report::ReportRender::ExceedPolicy::overrall);
    // 1,001 rows by some 73,000 days or 10,400 weeks: refused before any cell is allocated.
    for (const Period::Kind kind : {Period::Kind::day, Period::Kind::week}) {
        const auto refused = ProjectReport::make(kind, *huge.project());
        EXPECT_TRUE(refused->isTooLarge());
        EXPECT_GT(refused->cellCount(), ProjectReport::kMaxCells);
        EXPECT_TRUE(refused->rows().empty());
        EXPECT_TRUE(refused->timeline().empty());
        EXPECT_EQ(
            report::reportCsv(ProjectReport::ValueKind::work(), *huge.project(), render, *refused),
            "");
        const auto grid =
            report::makeSnapshot(*refused, ProjectReport::ValueKind::work(), "", render);
        EXPECT_EQ(grid.numberOfItems(), 0U);
    }

    // By month the same document fits: every member works every working day of 200 years.
    const auto monthly = ProjectReport::make(Period::Kind::month, *huge.project());
    ASSERT_FALSE(monthly->isTooLarge());
    EXPECT_EQ(monthly->rows().size(), 1001U);
    EXPECT_GT(monthly->timeline().size(), 2390U);
    EXPECT_EQ(monthly->cellCount(), monthly->rows().size() * monthly->timeline().size());
    const double memberHours = monthly->rows().front().total().work;
    EXPECT_GT(memberHours, 200.0 * 250 * 8);
    EXPECT_DOUBLE_EQ(monthly->rows()[999].total().work, memberHours);
    EXPECT_EQ(monthly->rows().back().total().work, 0.0);

    // A smaller team fits by week as well.
    const HugeGridDocument smaller(400);
    const auto weekly = ProjectReport::make(Period::Kind::week, *smaller.project());
    ASSERT_FALSE(weekly->isTooLarge());
    EXPECT_GT(weekly->timeline().size(), 10'400U);
    EXPECT_DOUBLE_EQ(weekly->rows().front().total().work, memberHours);

    // Sanitizer builds keep freed memory in quarantine and add shadow memory: only a plain build
    // measures what the report itself costs.
    const double peak = peakResidentMiB();
    if (!kSanitized) {
        EXPECT_LT(peak, 300.0);
    }
}

TEST_F(ReportSizeLimitTest, TheViewModelShowsAnEmptyGridAndSaysWhy) {
    const auto loop = std::make_shared<core::ManualRunLoop>();
    const core::ScopedMainLoop mainLoop(loop);
    // 71 rows by some 73,000 days is just over the limit; by month it is a small grid.
    const HugeGridDocument huge(70);
    const auto model = ReportViewModel::create();
    std::vector<std::optional<std::string>> messages;
    const auto subscription = model->message.publisher().dropFirst().sink(
        [&](const std::optional<std::string>& text) { messages.push_back(text); });

    bool done = false;
    model->load(ProjectReport::ValueKind::work(), huge.project(), [&] { done = true; });
    ASSERT_TRUE(loop->runUntil([&] { return done; }, 60s));
    EXPECT_EQ(model->snapshot.get().value()->numberOfItems(), 0U);
    EXPECT_EQ(model->message.get(),
              "This report is too large to show by day; choose weeks or months");
    EXPECT_TRUE(model->report()->isTooLarge());
    EXPECT_EQ(model->csvText(), "");

    // Changing a display option renders the stored report again: still empty, still said.
    model->decimalPlaces.set(report::ReportRender::DecimalPlaces::maxTwo);
    model->periodKind.set(Period::Kind::month);
    loop->advance(ReportViewModel::kDebounce);
    ASSERT_TRUE(loop->runUntil([&] { return messages.size() >= 2; }, 60s));
    EXPECT_EQ(messages.back(), std::nullopt);
    EXPECT_FALSE(model->report()->isTooLarge());
    // The titles and the summary, the period totals, and 71 rows of a name, a total and values.
    EXPECT_EQ(model->snapshot.get().value()->numberOfItems(),
              model->report()->timeline().size() * 73 + 143);
    EXPECT_NE(model->csvText(), "");
}

} // namespace
