#include "document/data_map_service.hpp"

#include "document/date_baseline.hpp"
#include "document/json_coding.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_task_links.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using document::ZozProject;
using document::ZozProjectTask;
using document::DataMapService::map;
using document::DataMapService::mapToJsonProject;

class Mapping : public ::testing::Test {
protected:
    std::shared_ptr<ZozProject> load(const std::string& text) {
        auto json = document::decodeJsonProject(text);
        EXPECT_TRUE(json);
        return json ? map(*json) : nullptr;
    }

    core::Date day(int y, int m, int d) const { return *m_calendar.dateFromLocal(y, m, d); }

    std::vector<std::int64_t> predecessorIds(ZozProject& project, std::int64_t id) {
        std::vector<std::int64_t> ids;
        const auto task = project.findTask(id);
        if (task && task->hasLinksObject()) {
            if (const auto* p = task->links().predecessors()) {
                for (const auto& link : p->links().value_or(std::vector<ZozProjectTask::Ptr>{})) {
                    ids.push_back(link->id());
                }
            }
        }
        return ids;
    }

    // 2024-03-31 is the spring change in Berlin: the plan's days cross it.
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "de_DE"};
    core::Calendar m_calendar = core::Calendar::current();
};

// Mon 2024-03-25 .. Fri 2024-04-05; 2024-04-01 (Mon) is a holiday: offset 8857 from 2000-01-01.
const char* const kSmall = R"({"Uid":"P","Name":"Small","Cal":"8857","WkHrs":8,"DftCr":10,
  "Ples":[{"Id":1,"Nm":"Ann Lee","Cr":20},{"Id":2,"Nm":"Bo"},{"Nm":"no id"},{"Id":9}],
  "Root":{"Uid":0,"Type":2,"Name":"Small","Clps":true,"Childs":[
    {"Uid":10,"Name":"Group","Start":"2020-01-01","Childs":[
      {"Uid":11,"Name":"A","Start":"2024-03-25T09:30:00","Finish":"2024-03-30","Comp":50,
       "Work":{"WT":1,"Work":8},"Cost":{"Auto":true,"Labc":300,"Mats":20},
       "Res":[{"Pid":1,"WL":50},{"Pid":3,"WL":50},{"Pid":2,"WL":0}]},
      {"Uid":12,"Name":"B","Start":"2024-04-03","Finish":"2024-03-28","Comp":100,
       "Res":[{"Pid":1,"WL":50},{"Pid":2,"WL":100},{"Pid":1,"WL":50}],"Pred":[11,11,12,10,99],
       "Cost":{"Auto":false,"Labc":999,"Mats":5},"Ctor":2,"Clps":true,
       "url1":{"title":"","url":"https://x.org"},"url2":{"title":"t","url":""},
       "DateBaseline":{"start":"2024-03-25"}},
      {"Uid":13,"Name":"Lost leaf","Start":"2024-03-25","Childs":[]},
      {"Uid":14,"Name":"No start","Finish":"2024-03-25"},
      {"Name":"No uid","Childs":[{"Uid":15,"Start":"2024-03-25","Finish":"2024-03-26"}]}]},
    {"Uid":20,"Type":1,"Name":"M","Start":"2024-04-05","Finish":"2024-04-06",
     "Res":[{"Pid":1,"WL":100}],"Pred":[12]},
    {"Uid":30,"Type":2,"Name":"Sub","Childs":[
      {"Uid":31,"Name":"C","Start":"2024-04-01","Finish":"2024-04-03","Pred":[11,20,32],
       "Work":{"WT":7},"Cost":{"Auto":true}},
      {"Uid":32,"Name":"D","Start":"2024-04-01","Finish":"2024-04-02","Work":{"WT":0,"Work":5}}]}
  ]}})";

TEST_F(Mapping, SmallDocumentByHand) {
    const auto project = load(kSmall);
    ASSERT_TRUE(project);
    ZozProject& p = *project;
    EXPECT_EQ(p.team().count(), 2U);
    EXPECT_EQ(p.team().get(2)->costRate(), 1.0);
    EXPECT_EQ(p.team().get(1)->costRate(), 20.0);

    const auto root = p.storedRoot();
    ASSERT_TRUE(root);
    EXPECT_FALSE(root->collapsed());
    EXPECT_EQ(p.taskCount(), 8U);
    EXPECT_FALSE(p.findTask(13));
    EXPECT_FALSE(p.findTask(14));
    EXPECT_FALSE(p.findTask(15));

    const auto a = p.findTask(11);
    const auto b = p.findTask(12);
    const auto group = p.findTask(10);
    ASSERT_TRUE(a && b && group);
    // Dates are cut to the day; reversed dates are swapped.
    EXPECT_EQ(a->start(), day(2024, 3, 25));
    EXPECT_EQ(b->start(), day(2024, 3, 28));
    EXPECT_EQ(b->finish(), day(2024, 4, 3));
    // B spans Thu 28, Fri 29, (weekend), Mon 1 (holiday), Tue 2: three working days.
    EXPECT_EQ(b->days(), 3);
    EXPECT_EQ(a->days(), 5);
    EXPECT_DOUBLE_EQ(a->work(), 40.0);
    // Member 2 at 0 % and the unknown member 3 are dropped; member 1 twice keeps one entry.
    ASSERT_EQ(b->resources().assignments().size(), 2U);
    EXPECT_DOUBLE_EQ(b->work(), 1.5 * 3 * 8);
    ASSERT_EQ(a->resources().assignments().size(), 1U);
    EXPECT_EQ(b->contactor()->id(), 2);
    EXPECT_TRUE(b->collapsed());
    EXPECT_FALSE(b->url1()->title());
    EXPECT_FALSE(b->url2());
    EXPECT_FALSE(b->dateBaseline()->start());
    // "Auto" true with "Labc" is fixed; "Auto" false with "Labc" is automatic.
    EXPECT_DOUBLE_EQ(a->laborCost(), 300.0);
    EXPECT_DOUBLE_EQ(b->laborCost(), b->work() * (50 * 20.0 + 100 * 1.0) / 150.0);

    // Group values come from the leaves, after the calendar: the holiday counts.
    EXPECT_EQ(group->start(), day(2024, 3, 25));
    EXPECT_EQ(group->finish(), day(2024, 4, 3));
    EXPECT_DOUBLE_EQ(group->work(), 40.0 + 36.0);
    EXPECT_DOUBLE_EQ(group->materialsCost(), 25.0);
    EXPECT_EQ(group->completePercentage(), (5 * 50 + 3 * 100) / 8);

    const auto milestone = p.findTask(20);
    EXPECT_EQ(milestone->start(), day(2024, 4, 5));
    EXPECT_TRUE(milestone->resources().assignments().empty());
    const auto c = p.findTask(31);
    EXPECT_TRUE(c->workData().isFixAmount());
    EXPECT_DOUBLE_EQ(c->workData().amount(), 0.0);
    EXPECT_TRUE(p.findTask(32)->workData().isByResource());
    EXPECT_FALSE(c->costData().laborCost.isFix());

    // Links: the repeated id gives one link, itself, a group and an unknown id none; links
    // across the sub-project are dropped.
    EXPECT_EQ(predecessorIds(p, 12), std::vector<std::int64_t>{11});
    EXPECT_EQ(predecessorIds(p, 20), std::vector<std::int64_t>{12});
    EXPECT_EQ(predecessorIds(p, 31), std::vector<std::int64_t>{32});
    EXPECT_FALSE(b->predecessorIdListBuf() && !b->predecessorIdListBuf()->empty());

    // Sequence numbers in pre-order from 0.
    EXPECT_EQ(root->globalSequenceNo(), 0);
    EXPECT_EQ(group->globalSequenceNo(), 1);
    EXPECT_EQ(a->globalSequenceNo(), 2);
    EXPECT_EQ(b->globalSequenceNo(), 3);
    EXPECT_EQ(milestone->globalSequenceNo(), 4);
    EXPECT_EQ(p.findTask(32)->globalSequenceNo(), 7);
}

TEST_F(Mapping, ProjectFieldDefaults) {
    EXPECT_FALSE(load("{}"));
    const auto hours = [&](const std::string& value) {
        std::string text = R"({"Uid":"p")";
        if (!value.empty()) {
            text.append(R"(,"WkHrs":)").append(value);
        }
        text.append("}");
        return load(text)->dailyWorkingHours();
    };
    EXPECT_EQ(hours("0"), 8.0);
    EXPECT_EQ(hours("-1"), 8.0);
    EXPECT_EQ(hours("25"), 8.0);
    EXPECT_EQ(hours(""), 8.0);
    EXPECT_EQ(hours("24"), 24.0);
    EXPECT_EQ(hours("0.5"), 0.5);

    const auto bare = load(R"({"Uid":"p","Currency":"  ","DftCr":-0.01,"Color":1,"LinkT":1})");
    EXPECT_EQ(bare->name(), "project");
    EXPECT_EQ(bare->currency(), "$");
    EXPECT_EQ(bare->defaultCostRate(), 1.0);
    EXPECT_EQ(bare->newColorIndex(), 89);
    EXPECT_EQ(bare->taskLinkType(), document::ZozTaskLinkType::linkingList);
    EXPECT_EQ(bare->team().count(), 0U);
    // No root in the JSON: a root of today is made and registered.
    ASSERT_TRUE(bare->storedRoot());
    EXPECT_EQ(bare->taskCount(), 1U);

    const auto set = load(R"({"Uid":"p","Currency":"","DftCr":0,"Color":40,"ColorV2":7,
        "LinkT":2,"LstUpd":"2024-01-01","Dvc":"box","Scale":3,"OffY":4})");
    EXPECT_EQ(set->currency(), "$");
    EXPECT_EQ(set->defaultCostRate(), 0.0);
    EXPECT_EQ(set->newColorIndex(), 7);
    EXPECT_EQ(set->taskLinkType(), document::ZozTaskLinkType::finishToStart);
    EXPECT_FALSE(set->lastUpdate());
    EXPECT_FALSE(set->device());
    EXPECT_EQ(load(R"({"Uid":"p","Currency":"kr"})")->currency(), "kr");
}

TEST_F(Mapping, HostileTreesAreMappedSoundly) {
    // Duplicate ids: the later task wins in the dictionary; a self-link and a cycle are allowed
    // to exist only as the cycle, and everything ends.
    const auto dup = load(R"({"Uid":"p","Root":{"Uid":0,"Childs":[
        {"Uid":1,"Name":"first","Start":"2024-01-01","Finish":"2024-01-02","Pred":[1,2]},
        {"Uid":2,"Name":"second","Start":"2024-01-01","Finish":"2024-01-02","Pred":[1]},
        {"Uid":1,"Name":"again","Start":"2024-01-03","Finish":"2024-01-04"}]}})");
    ASSERT_TRUE(dup);
    EXPECT_EQ(dup->findTask(1)->name(), "again");

    // A mistyped year opens: a task's date outside the valid range becomes today (a start) or
    // the day after (a finish); a baseline keeps its dates and counts no working days; each such
    // date is logged once.
    ::testing::internal::CaptureStdout();
    const auto far = load(R"({"Uid":"p","Root":{"Uid":0,"Childs":[
        {"Uid":1,"Start":"2024-01-01","Finish":"3024-01-02"},
        {"Uid":2,"Start":"1024-01-01","Finish":"9024-01-01",
         "DateBaseline":{"start":"2024-01-01","finish":"9999-01-01"}}]}})");
    const std::string logged = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(far);
    const core::Date today = m_calendar.startOfDay(core::Date::now());
    const core::Date tomorrow = *m_calendar.dateByAdding(core::CalendarComponent::day, 1, today);
    EXPECT_EQ(far->findTask(1)->start(), day(2024, 1, 1));
    EXPECT_EQ(far->findTask(1)->finish(), tomorrow);
    const auto second = far->findTask(2);
    EXPECT_EQ(second->start(), today);
    EXPECT_EQ(second->finish(), tomorrow);
    ASSERT_TRUE(second->storedDateBaseline());
    EXPECT_EQ(second->storedDateBaseline()->finish(), day(9999, 1, 1));
    EXPECT_EQ(second->storedDateBaseline()->days(), 0);
    for (const char* date : {"3024-01-02", "1024-01-01", "9024-01-01", "9999-01-01"}) {
        const auto first = logged.find(date);
        EXPECT_NE(first, std::string::npos) << date;
        EXPECT_EQ(logged.find(date, first + 1), std::string::npos) << date;
    }
    EXPECT_EQ(logged.find("2024-01-01"), std::string::npos);

    // A long chain of links, each task after the previous one.
    std::string chain = R"({"Uid":"p","Root":{"Uid":0,"Childs":[)";
    constexpr int kTasks = 20'000;
    for (int i = 1; i <= kTasks; ++i) {
        chain.append(i > 1 ? "," : "").append(R"({"Uid":)").append(std::to_string(i));
        chain.append(R"(,"Start":"2024-01-01","Finish":"2024-01-02","Pred":[)");
        chain.append(std::to_string(i == 1 ? kTasks : i - 1)).append("]}");
    }
    chain += "]}}";
    const auto linked = load(chain);
    ASSERT_TRUE(linked);
    EXPECT_EQ(predecessorIds(*linked, 1), std::vector<std::int64_t>{kTasks});
    EXPECT_EQ(predecessorIds(*linked, kTasks), std::vector<std::int64_t>{kTasks - 1});
}

TEST_F(Mapping, InvalidLinksAreLoggedAndSkipped) {
    // The root is a sub-project task, so it is a possible predecessor that lies in no project.
    ::testing::internal::CaptureStdout();
    const auto project = load(R"({"Uid":"p","Root":{"Uid":0,"Type":2,"Childs":[
        {"Uid":1,"Start":"2024-01-01","Finish":"2024-01-02","Pred":[0,3,2]},
        {"Uid":2,"Start":"2024-01-01","Finish":"2024-01-02"},
        {"Uid":5,"Type":2,"Childs":[{"Uid":3,"Start":"2024-01-01","Finish":"2024-01-02"}]}]}})");
    const std::string log = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(project);
    EXPECT_EQ(predecessorIds(*project, 1), std::vector<std::int64_t>{2});
    EXPECT_NE(log.find("Invalid link -  task 0 is not in any project\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Invalid link - cross project link between task 1 and 3\n"),
              std::string::npos)
        << log;
}

TEST_F(Mapping, LongListsOfLinksAndAssignmentsMapInOnePass) {
    // Each list is long enough that a search of the task's list per entry would take minutes:
    // one task after all others, all others after one task, and one task on every member.
    constexpr int kCount = 60'000;
    std::string text = R"({"Uid":"p","Ples":[)";
    for (int i = 1; i <= kCount; ++i) {
        text.append(i > 1 ? "," : "").append(R"({"Id":)" + std::to_string(i) + R"(,"Nm":"m"})");
    }
    text += R"(],"Root":{"Uid":0,"Childs":[{"Uid":1,"Start":"2024-01-01","Finish":"2024-01-02",
        "Res":[)";
    for (int i = 1; i <= kCount; ++i) {
        text.append(i > 1 ? "," : "").append(R"({"Pid":)" + std::to_string(i) + R"(,"WL":10})");
    }
    // A member listed again keeps its place and takes the later workload, clamped.
    text += R"(,{"Pid":2,"WL":150},{"Pid":3,"WL":40}],"Pred":[)";
    for (int i = 2; i <= kCount; ++i) {
        text.append(i > 2 ? "," : "").append(std::to_string(i));
    }
    text += "]}";
    for (int i = 2; i <= kCount; ++i) {
        text += R"(,{"Uid":)" + std::to_string(i) +
                R"(,"Start":"2024-01-01","Finish":"2024-01-02","Pred":[1, 1]})";
    }
    text += "]}}";
    const auto project = load(text);
    ASSERT_TRUE(project);
    const auto first = project->findTask(1);
    const auto& assignments = first->resources().assignments();
    ASSERT_EQ(assignments.size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(assignments[0]->workload(), 10);
    EXPECT_EQ(assignments[1]->member()->id(), 2);
    EXPECT_EQ(assignments[1]->workload(), 100);
    EXPECT_EQ(assignments[2]->workload(), 40);
    EXPECT_EQ(first->links().predecessorCount(), static_cast<std::size_t>(kCount - 1));
    EXPECT_EQ(first->links().successorCount(), static_cast<std::size_t>(kCount - 1));
    const auto last = project->findTask(kCount);
    EXPECT_EQ(predecessorIds(*project, kCount), std::vector<std::int64_t>{1});
    EXPECT_EQ(last->links().successorCount(), 1U);
}

TEST_F(Mapping, WriterWritesStoredAndCalculatedValues) {
    const auto project = load(kSmall);
    ASSERT_TRUE(project);
    const document::JsonProject json = mapToJsonProject(*project);
    EXPECT_FALSE(json.lastUpdate || json.device);
    EXPECT_EQ(json.calendar, "8857");
    ASSERT_TRUE(json.root && json.peoples);
    EXPECT_EQ(json.peoples->size(), 2U);
    const auto& children = json.root->treeChildren();
    ASSERT_EQ(children.size(), 3U);
    const auto& group = children[0];
    EXPECT_EQ(group.start, day(2024, 3, 25));
    EXPECT_EQ(group.finish, day(2024, 4, 3));
    EXPECT_EQ(group.completedPercent, (5 * 50 + 3 * 100) / 8);
    EXPECT_FALSE(group.resources);
    EXPECT_FALSE(group.predecessors);
    EXPECT_TRUE(group.cost);
    const auto& milestone = children[1];
    EXPECT_EQ(milestone.start, day(2024, 4, 5));
    EXPECT_EQ(milestone.finish, day(2024, 4, 6));
    EXPECT_FALSE(milestone.resources);
    const auto& b = group.treeChildren()[1];
    EXPECT_EQ(b.predecessors, std::vector<std::int64_t>{11});
    EXPECT_EQ(b.work, std::nullopt);
    EXPECT_EQ(b.cost->isFixLaborCost, std::nullopt);
    EXPECT_EQ(b.cost->materialsCost, 5.0);
    EXPECT_EQ(group.treeChildren()[0].cost->laborCost, 300.0);

    // A milestone of day D is written from D - 1, also across the daylight-saving change.
    const auto m = load(R"({"Uid":"p","Root":{"Uid":0,"Childs":[{"Uid":1,"Type":1,
        "Start":"2024-04-01","Finish":"2024-04-01"}]}})");
    const auto written = mapToJsonProject(*m);
    EXPECT_EQ(written.root->treeChildren()[0].start, day(2024, 3, 31));
    EXPECT_EQ(written.root->treeChildren()[0].finish, day(2024, 4, 1));

    // An empty team is written as an empty list, and nothing as null.
    const auto empty = load(R"({"Uid":"p"})");
    const auto emptyJson = mapToJsonProject(*empty);
    EXPECT_TRUE(emptyJson.peoples && emptyJson.peoples->empty());
    const std::string text = document::encodeJsonProjectText(mapToJsonProject(*project));
    EXPECT_EQ(text.find("null"), std::string::npos);
    EXPECT_NE(document::encodeJsonProjectText(emptyJson).find("\"Ples\": []"), std::string::npos);
}

} // namespace
