#include "uikit/qt_main_loop.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(QtMainLoop, RunsPostedJobsInOrderOnTheGuiThreadNeverOnTheCallersStack) {
    auto loop = std::make_shared<uikit::QtMainLoop>();
    std::vector<int> order;
    bool onGuiThread = true;
    loop->post([&] { order.push_back(1); });
    // A job posted from another thread still runs on the GUI thread.
    std::thread([&] {
        loop->post([&] {
            onGuiThread = onGuiThread && loop->isCurrent();
            order.push_back(2);
        });
    }).join();
    EXPECT_TRUE(order.empty());
    VT_TRY_COMPARE(order.size(), std::size_t{2});
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(onGuiThread);
}

TEST(QtMainLoop, TimedJobsWaitTheirDelayAndAThrowingJobDoesNotStopTheLoop) {
    auto loop = std::make_shared<uikit::QtMainLoop>();
    QElapsedTimer clock;
    clock.start();
    qint64 ranAfter = -1;
    loop->post([] { throw std::runtime_error("boom"); });
    loop->postAfter(50ms, [&] { ranAfter = clock.elapsed(); });
    VT_TRY_VERIFY(ranAfter >= 0);
    EXPECT_GE(ranAfter, 45);
}

TEST(QtMainLoop, JobsQueuedBeforeTheLoopIsDestroyedAreDropped) {
    std::atomic<int> ran{0};
    {
        auto loop = std::make_shared<uikit::QtMainLoop>();
        loop->post([&] { ++ran; });
        loop->postAfter(1ms, [&] { ++ran; });
    }
    QTest::qWait(30);
    EXPECT_EQ(ran.load(), 0);
}

} // namespace
