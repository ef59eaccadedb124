#pragma once

// Test support for the window's tests: a small project with work and costs, a platform whose
// choosers answer as the test says, and readers of what a file or a preview holds.

#include "app/platform.hpp"
#include "core/calendar.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_project_member.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_project_team.hpp"
#include "uikit/csv_reader.hpp"
#include "uikit/file_preview.hpp"

#include <QAbstractItemModel>

#include <QString>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace app::testing {

// The whole content of the file at `path`, as bytes.
inline std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The preview's table as records of text.
inline std::vector<uikit::CsvRecord> shownRecords(const uikit::FilePreview& preview) {
    const QAbstractItemModel& model = *preview.tableModel();
    std::vector<uikit::CsvRecord> records;
    for (int row = 0; row < model.rowCount(); ++row) {
        uikit::CsvRecord record;
        for (int column = 0; column < model.columnCount(); ++column) {
            record.push_back(model.data(model.index(row, column)).toString().toStdString());
        }
        records.push_back(std::move(record));
    }
    return records;
}

// Three weeks from Monday 2024-03-04: two members, tasks of every work kind, labour and
// materials costs, and a day on which Ada has more work than a working day holds.
inline std::shared_ptr<document::ZozProject> makeProject(const std::string& name) {
    using document::ZozTaskLaborCost;
    using document::ZozTaskWork;
    auto project = document::ZozProject::create("E2E-PROJECT", name);
    project->setCurrency("€");
    auto ada = std::make_shared<document::ZozProjectMember>(1, "Ada, \"the first\"", std::nullopt,
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
    third->setMaterialsCost(25.5);
    return project;
}

// A desktop whose save chooser answers with `answer(suggestedName)` and whose file manager
// only records what it was asked to show.
class StubPlatform final : public Platform {
public:
    void chooseOpenFile(QWidget*, const QString&, Choice done) override { done(std::nullopt); }

    void chooseSaveFile(QWidget*, const QString& suggestedName, const QString& suffix,
                        Choice done) override {
        suggestedNames.push_back(suggestedName);
        suffixes.push_back(suffix);
        done(answer ? answer(suggestedName) : std::nullopt);
    }

    void revealFile(const QString& path) override { revealed.push_back(path); }

    std::function<std::optional<QString>(const QString&)> answer;
    std::vector<QString> suggestedNames;
    std::vector<QString> suffixes;
    std::vector<QString> revealed;
};

// Installs a stub platform for the life of a test.
class ScopedStubPlatform {
public:
    ScopedStubPlatform() : m_previous(setPlatform(m_stub)) {}
    ~ScopedStubPlatform() { setPlatform(m_previous); }
    ScopedStubPlatform(const ScopedStubPlatform&) = delete;
    ScopedStubPlatform& operator=(const ScopedStubPlatform&) = delete;

    StubPlatform& operator*() const { return *m_stub; }
    StubPlatform* operator->() const { return m_stub.get(); }

private:
    std::shared_ptr<StubPlatform> m_stub = std::make_shared<StubPlatform>();
    std::shared_ptr<Platform> m_previous;
};

} // namespace app::testing
