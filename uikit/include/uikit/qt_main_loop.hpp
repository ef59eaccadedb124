#pragma once

#include "core/executor.hpp"

#include <QObject>
#include <QPointer>

#include <memory>

namespace uikit {

/// core's main loop on the Qt GUI thread: jobs are queued to the thread that created the loop and
/// timed with `QTimer`, so view models and widgets meet on one thread.
/// Create it on the GUI thread after the `QApplication`; jobs posted after the loop object is gone
/// (the application quit) are dropped.
class QtMainLoop final : public core::Executor {
public:
    /// A loop serving the calling thread, which must own a Qt event loop.
    QtMainLoop();
    ~QtMainLoop() override;
    QtMainLoop(const QtMainLoop&) = delete;
    QtMainLoop& operator=(const QtMainLoop&) = delete;

    void post(Job job) override;
    void postAfter(core::Duration delay, Job job) override;
    bool isCurrent() const override;

    /// Makes a loop for the calling (GUI) thread and installs it as `core::mainLoop()`; returns it.
    static std::shared_ptr<QtMainLoop> install();

private:
    // Owned here and deleted on the GUI thread; queued calls target it so they die with it.
    QPointer<QObject> m_context;
};

} // namespace uikit
