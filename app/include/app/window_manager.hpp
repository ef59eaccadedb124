#pragma once

#include "app/report_window.hpp"

#include <QList>
#include <QObject>
#include <QPointer>

namespace app {

/// The application's windows: makes each new one, shows it, and answers its request for another
/// window. Every window is deleted when it closes; each holds its own state. Destroying the
/// manager, as the application ends, deletes the windows left and waits for their loads.
class WindowManager final : public QObject {
    Q_OBJECT
public:
    /// A manager with no windows, whose windows open documents with `opener` (by default, by
    /// making a `DocumentContext`).
    explicit WindowManager(QObject* parent = nullptr, ReportWindow::Opener opener = {});
    ~WindowManager() override;

    /// Makes, shows and returns a new window: on its welcome screen, or, given a `document` path,
    /// opening that document, in which case its first frame already shows the progress screen.
    ReportWindow* newWindow(const QString& document = QString());
    /// The windows open now, oldest first.
    QList<ReportWindow*> windows() const;

private:
    ReportWindow::Opener m_opener;
    QList<QPointer<ReportWindow>> m_windows;
};

} // namespace app
