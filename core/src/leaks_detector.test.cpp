#include "core/leaks_detector.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

namespace leaks = core::VtMemoryLeaksDetector;
using namespace std::chrono_literals;

struct Screen {
    std::string key;
    std::string leaksSessionKey() const { return key; }
};

namespace widgets {
struct Widget {
    int size = 0;
};
} // namespace widgets

class LeaksDetector : public testing::Test {
protected:
    void SetUp() override {
        leaks::setExecutor(m_loop);
        testing::internal::CaptureStdout();
    }
    void TearDown() override {
        std::fflush(stdout);
        const std::string rest = testing::internal::GetCapturedStdout();
        // A failed check reports into the capture; give its report back.
        if (HasFailure()) {
            std::cout << rest << std::flush;
        }
        leaks::setExecutor(nullptr);
    }
    std::string output() {
        std::fflush(stdout);
        std::string text = testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        return text;
    }
    static int count(const std::string& text, const std::string& needle) {
        int n = 0;
        for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
            ++n;
        }
        return n;
    }

    std::shared_ptr<core::ManualRunLoop> m_loop = std::make_shared<core::ManualRunLoop>();
};

TEST_F(LeaksDetector, AReleasedObjectIsReportedOnceAndEndsTheSessionEarly) {
    const Screen screen{"released"};
    auto widget = std::make_shared<widgets::Widget>();
    core::leaksTrack(screen, widget, widget); // the same object twice keeps one entry
    m_loop->runUntilIdle();
    ASSERT_EQ(leaks::Manager::shared().existingSession("released")->trackedObjects().size(), 1U);
    widget.reset();
    core::leaksReport(screen, 2);
    m_loop->runUntilIdle();
    EXPECT_EQ(output(), "");
    m_loop->advance(500ms);
    const std::string text = output();
    EXPECT_EQ(text, "\U0001F35A [debug] \u267B\uFE0F Widget\n");
    EXPECT_EQ(leaks::Manager::shared().existingSession("released"), nullptr);
    EXPECT_EQ(m_loop->pendingCount(), 0U);
}

TEST_F(LeaksDetector, AnObjectAliveToTheEndIsReportedOnTheLastPassOnly) {
    const Screen screen{"leaked"};
    auto kept = std::make_shared<widgets::Widget>();
    auto dropped = std::make_shared<int>(1);
    core::leaksTrack(screen, kept, std::optional<std::string>("Kept view model"));
    core::leaksTrack(screen, dropped);
    core::leaksReport(screen, 1);
    m_loop->runUntilIdle();
    dropped.reset();
    m_loop->advance(500ms);
    std::string text = output();
    EXPECT_EQ(count(text, "\u267B\uFE0F int"), 1);
    EXPECT_EQ(count(text, "\U0001F9E8"), 0);
    m_loop->advance(500ms);
    text = output();
    EXPECT_EQ(count(text, "\u267B\uFE0F"), 0);
    EXPECT_EQ(
        text.rfind("\U0001F534 [error] \U0001F9E8 Kept view model (not deallocated) \t{ (", 0), 0U);
    EXPECT_NE(text.find(").(checkAndReport(reportLeaks:)).(#51) }\n"), std::string::npos);
    EXPECT_EQ(leaks::Manager::shared().existingSession("leaked"), nullptr);
    // A later report for the key starts from a new, empty session.
    core::leaksReport(screen, 1);
    m_loop->advance(1s);
    EXPECT_EQ(output(), "");
}

TEST_F(LeaksDetector, NothingToTrackOrNoTimeWritesNothing) {
    const Screen screen{"quiet"};
    core::leaksTrack(screen);
    m_loop->runUntilIdle();
    EXPECT_EQ(leaks::Manager::shared().existingSession("quiet"), nullptr);

    auto widget = std::make_shared<widgets::Widget>();
    core::leaksTrack(screen, widget);
    core::leaksReport(screen, 0);
    m_loop->advance(5s);
    EXPECT_EQ(output(), "");
    EXPECT_EQ(leaks::Manager::shared().existingSession("quiet"), nullptr);
    core::leaksReport(screen, INT64_MIN); // no overflow on an absurd value
    m_loop->runUntilIdle();
}

TEST(LeaksDetectorTypeName, NamespacesAreLeftOut) {
    EXPECT_EQ(leaks::typeName(typeid(widgets::Widget)), "Widget");
    EXPECT_EQ(leaks::typeName(typeid(std::shared_ptr<widgets::Widget>)), "shared_ptr<Widget>");
}

} // namespace
