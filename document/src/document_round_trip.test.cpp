#include "document/data_map_service.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_x.hpp"

#include "core/calendar.hpp"
#include "core/uuid.hpp"

#include "project_generator.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("round-trip-" + core::Uuid::random().uuidString());
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
    // The plan's dates cross both daylight-saving changes of this zone.
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "de_DE"};
};

TEST_F(RoundTrip, GeneratedDocumentsReadBackIdentically) {
    bench::ProjectPlan plan = bench::ProjectPlan::tiny();
    plan.taskCount = 600;
    plan.memberCount = 20;
    plan.maxDepth = 6;
    plan.years = 2;
    const fs::path doc = m_folder / "plan.zoz";
    const auto generated = bench::writeProjectDocument(plan, m_folder / "src", doc);
    ASSERT_TRUE(generated);
    const document::ZozX::Manager manager;
    const std::string first = *manager.jsonString(*generated, true);

    // The same seed gives the same project; another seed another one.
    EXPECT_EQ(*manager.jsonString(*bench::generateProject(plan), true), first);
    bench::ProjectPlan other = plan;
    other.seed = 2;
    EXPECT_NE(*manager.jsonString(*bench::generateProject(other), true), first);

    // Project, document, project, document: the same JSON each time.
    const files::VtFolder work(m_folder / "work");
    work.create();
    const auto loaded = manager.load(files::VtFile(doc), work);
    EXPECT_EQ(*manager.jsonString(*loaded, true), first);
    EXPECT_EQ(loaded->taskCount(), generated->taskCount());
    manager.saveProject(*loaded, work);
    manager.zozFile(*loaded, work, files::VtFile(m_folder / "again.zoz"));
    const files::VtFolder work2(m_folder / "work2");
    work2.create();
    const document::JsonProject read =
        manager.jsonProject(files::VtFile(m_folder / "again.zoz"), work2);
    EXPECT_EQ(document::encodeJsonProjectText(read), first);
    for (int id = 1; id <= plan.memberCount; ++id) {
        EXPECT_TRUE(fs::exists(work.url() / "Photo" / ("photo-" + std::to_string(id) + ".jpg")));
    }
    EXPECT_TRUE(fs::exists(work.url() / "cover.jpg"));
    EXPECT_TRUE(fs::exists(work.url() / "banner.jpg"));

    // Shape of the plan: depth, kinds of work, cost and task.
    std::size_t deepest = 0;
    int milestones = 0;
    int fixDaily = 0;
    int fixAmount = 0;
    int fixedLabour = 0;
    int materials = 0;
    int links = 0;
    int severalPredecessors = 0;
    int titledUrls = 0;
    int untitledUrls = 0;
    int notes = 0;
    int baselines = 0;
    int contacts = 0;
    std::vector<std::pair<const document::JsonTask*, std::size_t>> pending{{&*read.root, 0}};
    while (!pending.empty()) {
        const auto [task, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        milestones += task->type == document::JsonTaskType::milestone ? 1 : 0;
        fixDaily += task->work && task->work->workType == 1 ? 1 : 0;
        fixAmount += task->work && task->work->workType == 2 ? 1 : 0;
        fixedLabour += task->cost && task->cost->isFixLaborCost == true ? 1 : 0;
        materials += task->cost && task->cost->materialsCost ? 1 : 0;
        links += task->predecessors ? 1 : 0;
        severalPredecessors += task->predecessors && task->predecessors->size() > 1 ? 1 : 0;
        for (const auto& url : {task->url1, task->url2}) {
            titledUrls += url && url->title && url->url ? 1 : 0;
            untitledUrls += url && !url->title && url->url ? 1 : 0;
        }
        notes += task->notes ? 1 : 0;
        baselines += task->dateBaseline ? 1 : 0;
        contacts += task->contactorId ? 1 : 0;
        for (const auto& child : task->treeChildren()) {
            pending.emplace_back(&child, depth + 1);
        }
    }
    EXPECT_LE(deepest, 6U);
    EXPECT_GE(deepest, 3U);
    EXPECT_GT(milestones, 0);
    EXPECT_GT(fixDaily, 0);
    EXPECT_GT(fixAmount, 0);
    EXPECT_GT(fixedLabour, 0);
    EXPECT_GT(materials, 0);
    EXPECT_GT(links, 0);
    EXPECT_GT(severalPredecessors, 0);
    EXPECT_GT(titledUrls, 0);
    EXPECT_GT(untitledUrls, 0);
    EXPECT_GT(notes, 0);
    EXPECT_GT(baselines, 0);
    EXPECT_GT(contacts, 0);
    // The project's own fields come back with values other than their defaults.
    EXPECT_EQ(read.timespaceScale, 1.75);
    EXPECT_EQ(read.screenOffsetY, 132.5);
    EXPECT_EQ(read.taskLinkType, 1);
    EXPECT_EQ(read.userHasSetLinkType, true);
    EXPECT_TRUE(read.timespaceOrginalTime && read.pdfAuthorName && read.notes && read.version);
    EXPECT_TRUE(read.calendar && !read.calendar->empty());

    // Other readers accept what we write.
    const std::string check = "unzip -tq '" + doc.string() +
                              "' > /dev/null && python3 -c \"import json,sys,zipfile\n"
                              "json.loads(zipfile.ZipFile(sys.argv[1]).read('project.moc'))\" '" +
                              doc.string() + "'";
    EXPECT_EQ(std::system(check.c_str()), 0);
}

} // namespace
