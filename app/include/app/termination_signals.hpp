#pragma once

#include <QObject>

#include <array>
#include <csignal>

class QSocketNotifier;

namespace app {

/// While it lives, SIGTERM, SIGINT and SIGHUP make the application's event loop quit, as closing
/// its last window does, instead of ending the process on the spot: the windows then close
/// normally and remove their documents' working folders. Make one, on the GUI thread, after the
/// application object; its destruction puts the previous handlers back.
class QuitOnTerminationSignals final : public QObject {
public:
    /// Installs the handlers; throws `std::system_error` when the signal channel can't be made.
    explicit QuitOnTerminationSignals(QObject* parent = nullptr);
    ~QuitOnTerminationSignals() override;
    QuitOnTerminationSignals(const QuitOnTerminationSignals&) = delete;
    QuitOnTerminationSignals& operator=(const QuitOnTerminationSignals&) = delete;

private:
    QSocketNotifier* m_notifier = nullptr;
    std::array<struct sigaction, 3> m_previous{};
};

} // namespace app
