// The application program itself, ended by SIGTERM while it is busy with a large plan: it must
// leave cleanly whatever its threads are doing. Under the sanitizers, a background job still
// running after `main` returns shows as a use of freed statics and fails the run.
#include "test_documents.hpp"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ApplicationExit : public fixtures::ScratchFolder {
protected:
    // Whether a working folder in the temporary folder holds the project's JSON yet: the project
    // is then being mapped, and its first report begins as soon as it is.
    bool projectUnpacked() const {
        for (const fs::path& entry : tmpEntries()) {
            if (fs::exists(entry / "project.moc")) {
                return true;
            }
        }
        return false;
    }

    // The temporary folder's entries but Qt's own runtime folder.
    std::vector<std::string> leftInTmp() const {
        std::vector<std::string> left;
        for (const fs::path& entry : tmpEntries()) {
            if (entry.filename().string().rfind("runtime-", 0) != 0) {
                left.push_back(entry.filename().string());
            }
        }
        return left;
    }
};

TEST_F(ApplicationExit, EndedWhileItBuildsTheFirstReportItLeavesCleanly) {
    // Large enough that the first report takes a while after the project is mapped.
    bench::ProjectPlan plan = bench::ProjectPlan::large();
    plan.taskCount = 4'000;
    plan.memberCount = 150;
    plan.photoSide = 8;
    const fs::path document = documents() / "large.zoz";
    bench::writeProjectDocument(plan, documents() / "working", document);
    fs::remove_all(documents() / "working");

    for (const auto delay : {0ms, 50ms, 100ms, 200ms, 300ms, 500ms}) {
        SCOPED_TRACE(delay.count());
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TMPDIR"), QString::fromStdString(tmp().string()));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(VT_APP_EXECUTABLE),
                      {QString::fromStdString(document.string())});
        ASSERT_TRUE(program.waitForStarted(10'000)) << program.errorString().toStdString();
        const auto giveUp = std::chrono::steady_clock::now() + 60s;
        while (!projectUnpacked() && program.state() == QProcess::Running &&
               std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(2ms);
        }
        std::this_thread::sleep_for(delay);
        program.terminate();
        if (!program.waitForFinished(60'000)) {
            program.kill();
            program.waitForFinished();
            ADD_FAILURE() << "the program did not end within a minute of SIGTERM";
        }
        const std::string errors = program.readAllStandardError().toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << errors;
        EXPECT_EQ(program.exitCode(), 0) << errors;
        EXPECT_EQ(errors.find("Sanitizer"), std::string::npos) << errors;
        EXPECT_EQ(leftInTmp(), std::vector<std::string>{});
    }
}

} // namespace
} // namespace app
