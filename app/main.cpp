// The application entry: one window on the welcome screen, or opening the document named on the
// command line; Ctrl+N in any window opens another, Ctrl+W closes it, and the program ends once
// its last window is closed.
#include "app/app_font.hpp"
#include "app/report_window.hpp"
#include "app/termination_signals.hpp"
#include "app/window_manager.hpp"

#include "core/executor.hpp"
#include "uikit/qt_main_loop.hpp"

#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    // Log lines go to standard output; line buffering makes each reach a pipe or the journal as
    // it is written, not when the buffer fills or the program ends.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dezuduz-resource-report"));
    QApplication::setApplicationDisplayName(QStringLiteral("Dezuduz - Resource Report"));
    QApplication::setDesktopFileName(QStringLiteral("dezuduz-resource-report"));
    // View models post to core's main loop, so it must exist before the first window.
    auto mainLoop = uikit::QtMainLoop::install();
    app::AppFont::registerFonts();
    // Ended by a signal, the program still closes its windows, which remove their working folders.
    const app::QuitOnTerminationSignals quitOnSignals;

    int result = 0;
    {
        app::WindowManager windows;
        const QStringList arguments = QApplication::arguments();
        windows.newWindow(arguments.size() > 1 ? QFileInfo(arguments.at(1)).absoluteFilePath()
                                               : QString());
        result = QApplication::exec();
    }
    // The windows and their loads are gone; a report still being built for one of them must end
    // before the statics it reads do. Its result may still be posted to the main loop, so that
    // goes afterwards.
    core::stopBackground();
    core::installMainLoop(nullptr);
    return result;
}
