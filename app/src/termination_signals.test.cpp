#include "app/termination_signals.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <csignal>

namespace app {
namespace {

// Runs the event loop until something quits it, raising `signal` once it runs; false when the
// loop had to be stopped by the time limit.
bool signalQuitsTheLoop(int signal) {
    bool timedOut = false;
    QTimer::singleShot(0, [signal] { std::raise(signal); });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::quit();
    });
    limit.start(5000);
    QCoreApplication::exec();
    return !timedOut;
}

TEST(QuitOnTerminationSignals, TerminationSignalsQuitTheEventLoopAndTheOldHandlersComeBack) {
    {
        const QuitOnTerminationSignals quitOnSignals;
        EXPECT_TRUE(signalQuitsTheLoop(SIGTERM));
        EXPECT_TRUE(signalQuitsTheLoop(SIGINT));
        EXPECT_TRUE(signalQuitsTheLoop(SIGHUP));
    }
    struct sigaction current {};
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

} // namespace
} // namespace app
