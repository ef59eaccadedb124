#pragma once

// Test support for the window's tests: a small project with work and costs, a platform whose
// choosers answer as the test says, and readers of what a file or a preview holds.

#include "app/platform.hpp"
#include "core/calendar.hpp"
#include "document/zoz_project.hpp"
#include "document/zoz_project_member.hpp"
#include "document/zoz_project_task.hpp"
#include "document/zoz_project_team.hpp"
#include "project_generator.hpp"
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
    auto project = bench::makeThreeWeekProject({.uid = "E2E-PROJECT",
                                                .name = name,
                                                .firstMemberName = "Ada, \"the first\"",
                                                .materialsCost = 25.5});
    project->setCurrency("€");
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
