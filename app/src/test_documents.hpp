// Test helper: a private temporary folder for every test (so leftover working folders show) and
// project documents written by our own writer.
#pragma once

#include "app/report_window.hpp"
#include "core/uuid.hpp"
#include "document/zoz_project.hpp"
#include "project_generator.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace app::fixtures {

namespace fs = std::filesystem;

/// Points TMPDIR at a fresh folder for the test's life and writes documents beside it.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("app-test-" + core::Uuid::random().uuidString());
        fs::create_directories(tmp());
        fs::create_directories(documents());
        if (const char* old = std::getenv("TMPDIR")) {
            m_oldTmp = old;
        }
        setenv("TMPDIR", tmp().c_str(), 1);
    }

    // Cleaning up waits for the destructor: a window the test holds as a member is gone only
    // then, and what it started on other threads (a load, an export) may still write here for a
    // moment, so removal is tried until nothing is left.
    ~ScratchFolder() override {
        // Bounded, so that work a failed test left held fails this test instead of hanging the
        // binary.
        EXPECT_TRUE(ReportWindow::waitForLoadsInFlight(std::chrono::seconds(30)))
            << "a document load or image writing did not end";
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::error_code error;
        while (true) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            fs::remove_all(m_root, error);
            if (!fs::exists(m_root) || std::chrono::steady_clock::now() > giveUp) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_FALSE(fs::exists(m_root)) << m_root << ": " << error.message();
        if (m_oldTmp) {
            setenv("TMPDIR", m_oldTmp->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    /// The folder TMPDIR names during the test.
    fs::path tmp() const { return m_root / "tmp"; }
    /// Where the test's documents are written.
    fs::path documents() const { return m_root / "documents"; }

    /// What the temporary folder holds now.
    std::vector<fs::path> tmpEntries() const {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(tmp())) {
            entries.push_back(entry.path());
        }
        return entries;
    }

    /// Writes a small generated project as the document `name`; returns the project's name.
    std::string writeDocument(const std::string& name, std::uint64_t seed = 1) const {
        auto plan = bench::ProjectPlan::tiny();
        plan.seed = seed;
        const auto working = m_root / ("working-" + name);
        const auto project = bench::writeProjectDocument(plan, working, documents() / name);
        fs::remove_all(working);
        return project->name();
    }

    /// Writes `bytes` as the file `name` among the documents.
    fs::path writeFile(const std::string& name, const std::string& bytes) const {
        const auto path = documents() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

private:
    fs::path m_root;
    std::optional<std::string> m_oldTmp;
};

} // namespace app::fixtures
