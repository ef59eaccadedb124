#include "app/window_manager.hpp"

#include "app/report_window.hpp"

#include <utility>

namespace app {

WindowManager::WindowManager(QObject* parent) : QObject(parent) {}

WindowManager::~WindowManager() {
    // Deleting a window prunes the list through its destroyed signal, so walk a copy.
    const QList<QPointer<ReportWindow>> windows = std::exchange(m_windows, {});
    for (const QPointer<ReportWindow>& window : windows) {
        delete window.data();
    }
}

ReportWindow* WindowManager::newWindow() {
    auto* window = new ReportWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &ReportWindow::newWindowRequested, this, &WindowManager::newWindow);
    connect(window, &QObject::destroyed, this, [this] {
        m_windows.removeIf([](const QPointer<ReportWindow>& entry) { return entry.isNull(); });
    });
    m_windows.append(window);
    window->show();
    return window;
}

QList<ReportWindow*> WindowManager::windows() const {
    QList<ReportWindow*> open;
    for (const QPointer<ReportWindow>& window : m_windows) {
        if (!window.isNull()) {
            open.append(window.data());
        }
    }
    return open;
}

} // namespace app
