#include "app/window_manager.hpp"

#include "app/report_window.hpp"

#include <utility>

namespace app {

WindowManager::WindowManager(QObject* parent, ReportWindow::Opener opener)
    : QObject(parent), m_opener(std::move(opener)) {}

WindowManager::~WindowManager() {
    // Deleting a window prunes the list through its destroyed signal, so walk a copy.
    const QList<QPointer<ReportWindow>> windows = std::exchange(m_windows, {});
    for (const QPointer<ReportWindow>& window : windows) {
        delete window.data();
    }
    // A load cut off by the process's end would leave its working folder behind.
    ReportWindow::waitForLoadsInFlight();
}

ReportWindow* WindowManager::newWindow(const QString& document) {
    auto* window = new ReportWindow(nullptr, m_opener);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!document.isEmpty()) {
        // Before the window shows, so that the welcome screen never does.
        window->openDocument(document);
    }
    connect(window, &ReportWindow::newWindowRequested, this, [this] { newWindow(); });
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
