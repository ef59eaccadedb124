#include "core/log.hpp"
#include "core/error.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using core::Log;
using core::LogLocation;

const LogLocation kAt{"run(x:)", "/src/a.cpp", 42};

std::string capture(const std::function<void()>& body) {
    testing::internal::CaptureStdout();
    body();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(Log, LinesWithoutLocationBlock) {
    EXPECT_EQ(capture([] { Log::verbose("m", kAt); }), "\U0001F440 [verbose] m\n");
    EXPECT_EQ(capture([] { Log::debug("", kAt); }), "\U0001F35A [debug] \n");
    EXPECT_EQ(capture([] { Log::info("two\nlines", kAt); }), "\U0001F4E8 [info] two\nlines\n");
}

TEST(Log, LinesWithLocationBlockNameFileBeforeFunction) {
    EXPECT_EQ(capture([] { Log::warning("w", kAt); }),
              "\U0001F514 [warning] w \t{ (/src/a.cpp).(run(x:)).(#42) }\n");
    EXPECT_EQ(capture([] { Log::error("", kAt); }),
              "\U0001F534 [error]  \t{ (/src/a.cpp).(run(x:)).(#42) }\n");
    EXPECT_EQ(capture([] {
                  Log::fatal("f", {"g", "h", -3});
              }),
              "\U0001F525 [severe] f \t{ (h).(g).(#-3) }\n");
}

TEST(Log, DefaultLocationIsTheCaller) {
    const std::string line = capture([] { Log::error("x"); });
    EXPECT_NE(line.find("log.test.cpp"), std::string::npos);
}

TEST(Log, DeferredMessageIsEvaluatedExactlyOnce) {
    int calls = 0;
    const std::string line = capture([&] {
        Log::verbose(
            [&] {
                ++calls;
                return std::string("lazy");
            },
            kAt);
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(line, "\U0001F440 [verbose] lazy\n");
}

TEST(Log, ErrorDescriptionRules) {
    const core::Error error("ZipError", 2, "Failed to zip file.");
    EXPECT_EQ(capture([&] { core::logError(error, std::nullopt, kAt); }),
              "\U0001F534 [error] Failed to zip file. \t{ (/src/a.cpp).(run(x:)).(#42) }\n");
    EXPECT_EQ(capture([&] { core::logError(error, "", kAt); }),
              "\U0001F534 [error] Failed to zip file. \t{ (/src/a.cpp).(run(x:)).(#42) }\n");
    EXPECT_EQ(capture([&] { core::logWarning(error, " ", kAt); }),
              "\U0001F514 [warning]   - Failed to zip file. \t{ (/src/a.cpp).(run(x:)).(#42) }\n");
    EXPECT_EQ(capture([&] { core::logDebug(error, "ctx", kAt); }),
              "\U0001F35A [debug] ctx - Failed to zip file.\n");
    EXPECT_EQ(capture([&] { core::logInfo(error); }), "\U0001F4E8 [info] Failed to zip file.\n");
}

struct CustomError : core::Error {
    CustomError() : core::Error("CustomError", 7) {}
    int extra = 11;
};

TEST(Log, LoggedReturnsTheSameErrorAndNamesItsOwnLocation) {
    CustomError thrown;
    CustomError copy;
    const std::string line = capture([&] { copy = core::logged(thrown, "d"); });
    EXPECT_EQ(copy.extra, 11);
    EXPECT_EQ(copy.errorCode(), 7);
    EXPECT_NE(line.find("d - The operation couldn\u2019t be completed. (CustomError error 7.)"),
              std::string::npos);
    EXPECT_NE(line.find(").(logged(description:)).(#125) }\n"), std::string::npos);
    EXPECT_NE(line.find("log.cpp"), std::string::npos);
}

TEST(Log, ConcurrentLinesNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    const std::string output = capture([] {
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                const std::string payload(300, static_cast<char>('a' + t));
                for (int i = 0; i < kLines; ++i) {
                    Log::info(payload, kAt);
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
    });
    std::istringstream lines(output);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        const std::string prefix = "\U0001F4E8 [info] ";
        ASSERT_EQ(line.rfind(prefix, 0), 0U);
        const std::string body = line.substr(prefix.size());
        ASSERT_EQ(body.size(), 300U);
        EXPECT_EQ(body.find_first_not_of(body.front()), std::string::npos);
    }
    EXPECT_EQ(count, kThreads * kLines);
}

} // namespace
