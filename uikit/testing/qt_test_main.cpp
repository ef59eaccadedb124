// The entry point of every Qt test binary: widgets need a QApplication, and view models need
// core's main loop, which here is the Qt event loop itself.
#include "uikit/qt_main_loop.hpp"

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    // Tests never need a display; a developer may still override the platform to watch them.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    auto loop = uikit::QtMainLoop::install();
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    core::installMainLoop(nullptr);
    return result;
}
