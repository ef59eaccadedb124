#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

namespace app {

class ReportWindow;

/// The application's windows: makes each new one, shows it, and answers its request for another
/// window. Every window is deleted when it closes; each holds its own state.
class WindowManager final : public QObject {
    Q_OBJECT
public:
    /// A manager with no windows.
    explicit WindowManager(QObject* parent = nullptr);
    ~WindowManager() override;

    /// Makes, shows and returns a new window on its welcome screen.
    ReportWindow* newWindow();
    /// The windows open now, oldest first.
    QList<ReportWindow*> windows() const;

private:
    QList<QPointer<ReportWindow>> m_windows;
};

} // namespace app
