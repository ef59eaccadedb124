#include "app/termination_signals.hpp"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace app {
namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The write end of the channel; a signal handler may do no more than write to it.
volatile std::sig_atomic_t gWriteEnd = -1;
int gReadEnd = -1;

extern "C" void noteSignal(int /*signal*/) {
    const int savedErrno = errno;
    const char byte = 1;
    // A full channel already holds a wake-up, so a failed write loses nothing.
    [[maybe_unused]] const auto written = ::write(gWriteEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitOnTerminationSignals::QuitOnTerminationSignals(QObject* parent) : QObject(parent) {
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) {
        throw std::system_error(errno, std::generic_category(),
                                "Could not make the channel for termination signals");
    }
    gReadEnd = ends[0];
    gWriteEnd = ends[1];
    m_notifier = new QSocketNotifier(gReadEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [] {
        char bytes[16];
        while (::read(gReadEnd, bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });

    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &action, &m_previous[i]);
    }
}

QuitOnTerminationSignals::~QuitOnTerminationSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &m_previous[i], nullptr);
    }
    delete m_notifier;
    m_notifier = nullptr;
    ::close(gWriteEnd);
    ::close(gReadEnd);
    gWriteEnd = -1;
    gReadEnd = -1;
}

} // namespace app
