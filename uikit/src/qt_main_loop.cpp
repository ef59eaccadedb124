#include "uikit/qt_main_loop.hpp"

#include "core/log.hpp"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <exception>
#include <limits>

namespace uikit {
namespace {

// An executor never lets a job's exception escape into the event loop.
void runGuarded(const core::Executor::Job& job) {
    try {
        job();
    } catch (const std::exception& error) {
        core::Log::error(std::string("A main-loop job threw: ") + error.what());
    } catch (...) {
        core::Log::error("A main-loop job threw an unknown exception");
    }
}

} // namespace

QtMainLoop::QtMainLoop() : m_context(new QObject) {}

QtMainLoop::~QtMainLoop() {
    if (m_context) {
        if (m_context->thread() == QThread::currentThread()) {
            delete m_context.data();
        } else {
            m_context->deleteLater();
        }
    }
}

void QtMainLoop::post(Job job) {
    QObject* context = m_context.data();
    if (context == nullptr || !job) {
        return;
    }
    QMetaObject::invokeMethod(
        context, [job = std::move(job)] { runGuarded(job); }, Qt::QueuedConnection);
}

void QtMainLoop::postAfter(core::Duration delay, Job job) {
    QObject* context = m_context.data();
    if (context == nullptr || !job) {
        return;
    }
    using Millis = std::chrono::milliseconds;
    const auto ms = std::chrono::ceil<Millis>(std::max(delay, core::Duration::zero())).count();
    const int clamped = ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                             : static_cast<int>(ms);
    // QTimer must be started from the context's thread, so hop there first.
    QMetaObject::invokeMethod(
        context,
        [context, clamped, job = std::move(job)]() mutable {
            QTimer::singleShot(clamped, context, [job = std::move(job)] { runGuarded(job); });
        },
        Qt::QueuedConnection);
}

bool QtMainLoop::isCurrent() const {
    const QObject* context = m_context.data();
    return context != nullptr && context->thread() == QThread::currentThread();
}

std::shared_ptr<QtMainLoop> QtMainLoop::install() {
    auto loop = std::make_shared<QtMainLoop>();
    core::installMainLoop(loop);
    return loop;
}

} // namespace uikit
