#include "project_generator.hpp"

#include "document/data_map_service.hpp"
#include "document/image_codec.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_project_member.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_project_team.hpp"
#include "document/zoz_x.hpp"

#include "core/calendar.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace bench {

namespace fs = std::filesystem;
using document::JsonTask;

namespace {

constexpr std::array kFirstNames{"Ada",   "Bruno", "Chiara", "Dmitri", "Elif", "Femi",
                                 "Greta", "Hiro",  "Ines",   "Jonas",  "Kaia", "Luca",
                                 "Mira",  "Nils",  "Olga",   "Pavel",  "Rosa", "Sami"};
constexpr std::array kLastNames{"Arden",  "Bexley", "Castell", "Dunmore", "Ellery", "Fenwick",
                                "Garrow", "Hollis", "Ivers",   "Jessop",  "Kemble", "Lorne"};
constexpr std::array kTaskWords{"Design",  "Review", "Build", "Test",  "Survey", "Draft",
                                "Install", "Order",  "Plan",  "Audit", "Paint",  "Wire"};

// A small, fully specified generator so that a seed means the same project everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_engine(seed) {}
    std::int64_t below(std::int64_t n) {
        return static_cast<std::int64_t>(m_engine() % static_cast<std::uint64_t>(n));
    }
    std::int64_t between(std::int64_t lo, std::int64_t hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }

private:
    std::mt19937_64 m_engine;
};

struct Node {
    JsonTask task;
    std::size_t parent = 0;
    std::int64_t startDay = 0;
    std::int64_t finishDay = 0;
    std::vector<std::size_t> children;
};

} // namespace

ProjectPlan ProjectPlan::tiny() {
    ProjectPlan plan;
    plan.taskCount = 40;
    plan.maxDepth = 3;
    plan.memberCount = 6;
    plan.years = 1;
    plan.photoSide = 8;
    return plan;
}

ProjectPlan ProjectPlan::large() {
    return ProjectPlan{};
}

ProjectPlan ProjectPlan::forThisRun() {
    return quickRun() ? tiny() : large();
}

bool quickRun() {
    const char* value = std::getenv("VT_BENCH_TINY");
    return value != nullptr && std::string(value) == "1";
}

document::JsonProject generateJsonProject(const ProjectPlan& plan) {
    Random random(plan.seed);
    const core::Calendar calendar = core::Calendar::current();
    const std::int64_t firstDay = core::Calendar::dayNumberFromCivil(2024, 1, 1);
    const std::int64_t origin = core::Calendar::dayNumberFromCivil(2000, 1, 1);
    const std::int64_t span = std::max<std::int64_t>(14, std::int64_t{plan.years} * 365);
    const auto dayDate = [&](std::int64_t day) { return calendar.startOfLocalDay(day); };

    document::JsonProject project("GEN-" + std::to_string(plan.seed),
                                  "Synthetic plan " + std::to_string(plan.seed));
    project.version = "1";
    project.oldColorIndex = 3;
    project.newColorIndex = 125;
    project.imageId = "cover";
    project.pdfBannerImageId = "banner";
    project.notes = "Generated with seed " + std::to_string(plan.seed);
    project.defaultCostRate = 40.0;
    project.displayCurrencyAtBegin = true;
    project.currency = "€";
    project.dailyWorkingHours = 7.5;
    // Every field the writer writes holds a value other than its default, so that a round trip
    // shows each one survives.
    project.timespaceScale = 1.75;
    project.timespaceOrginalTime = dayDate(firstDay);
    project.screenOffsetY = 132.5;
    project.taskLinkType = 1;
    project.userHasSetLinkType = true;
    project.onlyWorkingDayTaskSchedule = true;
    project.pdfAuthorName = "Planning office";

    auto& people = project.peoples.emplace();
    for (int i = 1; i <= plan.memberCount; ++i) {
        const std::string name =
            std::string(kFirstNames[static_cast<std::size_t>(i) % kFirstNames.size()]) + " " +
            kLastNames[static_cast<std::size_t>(i / 7) % kLastNames.size()];
        people.push_back({i, name + (i > 100 ? " " + std::to_string(i) : ""),
                          plan.photoSide > 0
                              ? std::optional<std::string>("photo-" + std::to_string(i))
                              : std::nullopt,
                          "member" + std::to_string(i) + "@example.org",
                          static_cast<double>(random.between(20, 120))});
    }

    // Holidays every year, and now and then a Saturday worked.
    std::string holidays;
    for (int year = 0; year < plan.years + 1; ++year) {
        for (const auto& [month, day] : {std::pair{1, 1}, std::pair{12, 25}, std::pair{12, 26}}) {
            const auto d = core::Calendar::dayNumberFromCivil(2024 + year, month, day);
            holidays += (holidays.empty() ? "" : ";") + std::to_string(d - origin);
        }
        const std::int64_t saturday = firstDay + 5 + 7 * random.between(0, 50) + 365 * year;
        holidays += ";" + std::to_string(saturday - origin);
    }
    project.calendar = holidays;

    std::vector<Node> nodes(1);
    nodes[0].task.uid = 0;
    nodes[0].task.type = document::JsonTaskType::project;
    nodes[0].task.name = *project.name;
    std::vector<std::size_t> path{0};
    std::vector<std::int64_t> lastLeafOf(static_cast<std::size_t>(plan.taskCount) + 1, -1);
    // The leaf before the last one under each parent: a second predecessor from the same group,
    // so that no link crosses into another project group.
    std::vector<std::int64_t> earlierLeafOf(lastLeafOf.size(), -1);
    bool justOpened = false;
    for (int i = 1; i <= plan.taskCount; ++i) {
        if (!justOpened) {
            while (path.size() > 1 && random.chance(15)) {
                path.pop_back();
            }
        }
        const std::size_t parent = path.back();
        Node node;
        node.parent = parent;
        JsonTask& t = node.task;
        t.uid = i;
        t.name = std::string(kTaskWords[static_cast<std::size_t>(
                     random.below(static_cast<std::int64_t>(kTaskWords.size())))]) +
                 " " + std::to_string(i);
        t.oldColorIndex = random.below(18);
        t.newColorIndex = random.below(150);
        t.iconIndex = random.below(20);
        t.collapsed = false;
        const bool group = path.size() < static_cast<std::size_t>(plan.maxDepth) &&
                           i < plan.taskCount && random.chance(18);
        if (group) {
            t.type = path.size() == 1 && random.chance(15) ? document::JsonTaskType::project
                                                           : document::JsonTaskType::common;
            t.collapsed = random.chance(10);
            t.cost = document::JsonCost{};
        } else {
            const bool milestone = random.chance(4);
            t.type = milestone ? document::JsonTaskType::milestone : document::JsonTaskType::common;
            node.startDay = firstDay + random.below(span - 20);
            node.finishDay = node.startDay + (milestone ? 1 : random.between(1, 15));
            t.completedPercent = random.below(101);
            t.physicalCompletedPercentage = random.below(101);
            if (!milestone) {
                auto& res = t.resources.emplace();
                const auto count = random.between(1, 3);
                for (std::int64_t k = 0; k < count; ++k) {
                    const std::int64_t member = 1 + (random.below(plan.memberCount) + k * 37) %
                                                        std::max(1, plan.memberCount);
                    if (std::none_of(res.begin(), res.end(),
                                     [&](const auto& a) { return a.peopleId == member; })) {
                        res.push_back({member, 25 * random.between(1, 4)});
                    }
                }
                switch (i % 3) {
                case 1:
                    t.work = document::JsonWorkData{1, static_cast<double>(random.between(2, 8))};
                    break;
                case 2:
                    t.work = document::JsonWorkData{2, static_cast<double>(random.between(8, 120))};
                    break;
                default:
                    break;
                }
            }
            document::JsonCost cost;
            if (i % 4 == 0) {
                cost.isFixLaborCost = true;
                cost.laborCost = static_cast<double>(random.between(100, 5000));
            }
            if (i % 3 == 0) {
                cost.materialsCost = static_cast<double>(random.between(10, 900)) + 0.5;
            }
            t.cost = cost;
            if (random.chance(30)) {
                t.contactorId = random.between(1, std::max(1, plan.memberCount));
            }
            const std::int64_t previous = lastLeafOf[parent];
            if (previous >= 0 && random.chance(30)) {
                t.predecessors = std::vector<std::int64_t>{previous};
                // Now and then a second, earlier predecessor from the same group.
                if (const std::int64_t earlier = earlierLeafOf[parent];
                    earlier >= 0 && random.chance(30)) {
                    t.predecessors->push_back(earlier);
                }
            }
            earlierLeafOf[parent] = lastLeafOf[parent];
            lastLeafOf[parent] = i;
            if (random.chance(20)) {
                t.dateBaseline =
                    document::JsonDateBaseline{dayDate(node.startDay), dayDate(node.finishDay)};
            }
            if (random.chance(10)) {
                t.notes = "Note on task " + std::to_string(i);
            }
            if (random.chance(5)) {
                t.url1 = document::JsonTaskUrl{"Brief " + std::to_string(i),
                                               "https://example.org/brief/" + std::to_string(i)};
            }
            if (random.chance(5)) {
                // A link without a title.
                t.url2 = document::JsonTaskUrl{std::nullopt,
                                               "https://example.org/plan/" + std::to_string(i)};
            }
        }
        nodes[parent].children.push_back(nodes.size());
        nodes.push_back(std::move(node));
        justOpened = group;
        if (group) {
            path.push_back(nodes.size() - 1);
        }
    }

    // Assemble bottom-up: children always come after their parent, so walking backwards
    // completes every subtree before it is moved into its parent.
    for (std::size_t i = nodes.size(); i-- > 0;) {
        Node& node = nodes[i];
        if (!node.children.empty()) {
            node.startDay = nodes[node.children.front()].startDay;
            node.finishDay = nodes[node.children.front()].finishDay;
            auto& childs = node.task.childs.emplace();
            childs.reserve(node.children.size());
            for (const std::size_t c : node.children) {
                node.startDay = std::min(node.startDay, nodes[c].startDay);
                node.finishDay = std::max(node.finishDay, nodes[c].finishDay);
                childs.push_back(std::move(nodes[c].task));
            }
        } else if (node.finishDay == 0) {
            // A group that got no children is written as an empty single task of one day.
            node.startDay = firstDay;
            node.finishDay = firstDay + 1;
        }
        node.task.start = dayDate(node.startDay);
        node.task.finish = dayDate(node.finishDay);
    }
    project.root = std::move(nodes[0].task);
    return project;
}

std::shared_ptr<document::ZozProject> generateProject(const ProjectPlan& plan) {
    return document::DataMapService::map(generateJsonProject(plan));
}

std::shared_ptr<document::ZozProject> writeProjectDocument(const ProjectPlan& plan,
                                                           const fs::path& workingFolder,
                                                           const fs::path& document) {
    const auto project = generateProject(plan);
    fs::create_directories(workingFolder / "Photo");
    const auto side = static_cast<std::uint32_t>(std::max(1, plan.photoSide));
    const auto writeImage = [&](const fs::path& path, std::uint8_t shade, bool png) {
        std::vector<std::uint8_t> pixels(std::size_t{side} * side * (png ? 4 : 3));
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint8_t>(shade + (i % 7) * 9);
        }
        const auto bytes = png ? document::encodePng(pixels, side, side)
                               : document::encodeJpeg(pixels, side, side);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    };
    if (plan.photoSide > 0) {
        for (const auto& member : project->team().members()) {
            const auto id = member->id();
            writeImage(workingFolder / "Photo" /
                           (member->photoid().value_or("") + (id % 5 == 0 ? ".png" : ".jpg")),
                       static_cast<std::uint8_t>(id * 13), id % 5 == 0);
        }
        writeImage(workingFolder / "cover.jpg", 40, false);
        writeImage(workingFolder / "banner.png", 200, true);
    }
    const document::ZozX::Manager manager;
    const files::VtFolder folder(workingFolder);
    manager.saveProject(*project, folder);
    manager.zozFile(*project, folder, files::VtFile(document));
    return project;
}

std::shared_ptr<document::ZozProject> makeThreeWeekProject(const ThreeWeekPlan& plan) {
    using document::ZozTaskLaborCost;
    using document::ZozTaskWork;
    auto project = document::ZozProject::create(plan.uid, plan.name);
    auto ada = std::make_shared<document::ZozProjectMember>(1, plan.firstMemberName, std::nullopt,
                                                            std::nullopt, 10.0);
    auto bob =
        std::make_shared<document::ZozProjectMember>(2, "Bob", std::nullopt, std::nullopt, 20.0);
    project->team().add(ada);
    project->team().add(bob);
    const auto calendar = core::Calendar::current();
    const std::int64_t monday = core::Calendar::dayNumberFromCivil(2024, 3, 4);
    auto day = [&](std::int64_t offset) { return calendar.startOfLocalDay(monday + offset); };
    std::int64_t id = 0;
    auto task = [&](std::int64_t from, std::int64_t to) {
        return project->createChild(project->root(), ++id, day(from), day(to));
    };
    auto first = task(0, 5);
    first->setWork(ZozTaskWork::fixDailyWork(6));
    first->resources().addOrUpdateResource(ada, 100);
    auto second = task(3, 12);
    second->setWork(ZozTaskWork::byResource());
    second->resources().addOrUpdateResource(ada, 100);
    second->resources().addOrUpdateResource(bob, 50);
    auto third = task(8, 19);
    third->setWork(ZozTaskWork::fixAmount(40));
    third->setLaborCost(ZozTaskLaborCost::fix(300));
    third->setMaterialsCost(plan.materialsCost);
    return project;
}

} // namespace bench
