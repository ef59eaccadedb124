// The application entry: one window on the welcome screen, or opening the document named on the
// command line; Ctrl+N in any window opens another.
#include "app/app_font.hpp"
#include "app/report_window.hpp"
#include "app/window_manager.hpp"

#include "uikit/qt_main_loop.hpp"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dezuduz-resource-report"));
    QApplication::setApplicationDisplayName(QStringLiteral("Dezuduz - Resource Report"));
    QApplication::setDesktopFileName(QStringLiteral("dezuduz-resource-report"));
    // View models post to core's main loop, so it must exist before the first window.
    auto mainLoop = uikit::QtMainLoop::install();
    app::AppFont::registerFonts();

    int result = 0;
    {
        app::WindowManager windows;
        app::ReportWindow* first = windows.newWindow();
        const QStringList arguments = QApplication::arguments();
        if (arguments.size() > 1) {
            first->openDocument(arguments.at(1));
        }
        result = QApplication::exec();
    }
    core::installMainLoop(nullptr);
    return result;
}
