#include "app/report_window.hpp"

#include "app/document_page.hpp"
#include "app/loading_page.hpp"
#include "app/open_file_page.hpp"
#include "app/scene_events.hpp"

#include "core/error.hpp"
#include "core/executor.hpp"
#include "core/log.hpp"
#include "core/task.hpp"
#include "document/document_error.hpp"
#include "document/zoz_x.hpp"
#include "uikit/view_binding.hpp"

#include <QAction>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QKeySequence>
#include <QMessageBox>
#include <QPointer>
#include <QPropertyAnimation>
#include <QStackedWidget>
#include <QToolBar>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <utility>

namespace app {
namespace {

constexpr int kPageFadeMilliseconds = 350;

std::shared_ptr<const DocumentContext> openContext(const std::filesystem::path& url) {
    return std::make_shared<const DocumentContext>(url);
}

// How many document loads are running, so that the application can wait for them as it ends.
// Never destroyed: a worker may finish a load while the statics are torn down.
struct LoadsInFlight {
    std::mutex mutex;
    std::condition_variable ended;
    int count = 0;
};

LoadsInFlight& loadsInFlight() {
    static auto* const loads = new LoadsInFlight;
    return *loads;
}

// Counts one load from its start on the GUI thread to the end of its work on a worker.
class LoadInFlight {
public:
    LoadInFlight() {
        const std::lock_guard lock(loadsInFlight().mutex);
        ++loadsInFlight().count;
    }
    ~LoadInFlight() {
        auto& loads = loadsInFlight();
        const std::lock_guard lock(loads.mutex);
        if (--loads.count == 0) {
            loads.ended.notify_all();
        }
    }
    LoadInFlight(const LoadInFlight&) = delete;
    LoadInFlight& operator=(const LoadInFlight&) = delete;
};

std::string documentErrorCase(document::DocumentError::Code code) {
    using Code = document::DocumentError::Code;
    switch (code) {
    case Code::FileNotExist:
        return "FileNotExist";
    case Code::InvalidFileFormat:
        return "InvalidFileFormat";
    case Code::InvalidFileContent:
        return "InvalidFileContent";
    case Code::InvalidJson:
        return "InvalidJson";
    case Code::InvalidProjectData:
        return "InvalidProjectData";
    case Code::OpenError:
        return "OpenError";
    case Code::SaveError:
        return "SaveError";
    }
    return std::to_string(static_cast<int>(code));
}

// The alert only ever says that opening failed; the log keeps what actually went wrong.
void logLoadFailure(const std::filesystem::path& url, const std::exception_ptr& failure) {
    std::string cause;
    try {
        std::rethrow_exception(failure);
    } catch (const document::DocumentError& error) {
        cause = "ZozX.DocumentError." + documentErrorCase(error.code());
        if (!error.detail().empty()) {
            cause += " - " + error.detail();
        }
    } catch (const std::exception& error) {
        cause = core::localizedDescription(error);
    } catch (...) {
        cause = "an unknown exception";
    }
    core::Log::error("Failed to load the project file " + url.string() + ": " + cause);
}

} // namespace

ReportWindow::ReportWindow(QWidget* parent, Opener opener)
    : QMainWindow(parent), m_opener(opener ? std::move(opener) : Opener(openContext)),
      m_events(std::make_shared<SceneEvents>()) {
    // The toolbar carries each page's title, so it can be neither moved nor hidden.
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("windowToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    setContextMenuPolicy(Qt::NoContextMenu);

    m_pages = new QStackedWidget(this);
    m_pages->setMinimumSize(kMinimumContentSize);
    setCentralWidget(m_pages);

    m_openFilePage = new OpenFilePage(m_events, m_pages);
    m_loadingPage = new LoadingPage(m_pages);
    m_pages->addWidget(m_openFilePage);
    m_pages->addWidget(m_loadingPage);
    connect(m_openFilePage, &OpenFilePage::fileDidSelected, this, &ReportWindow::openDocument);

    m_alert = new QMessageBox(this);
    m_alert->setObjectName(QStringLiteral("alert"));
    m_alert->setWindowModality(Qt::WindowModal);
    m_alert->setStandardButtons(QMessageBox::Ok);
    m_alert->setTextFormat(Qt::PlainText);
    connect(m_alert, &QMessageBox::finished, this,
            [this] { dispatch(HomeState::AlertDismissed{}); });

    auto* newWindow = new QAction(QStringLiteral("New Window"), this);
    newWindow->setShortcut(QKeySequence::New);
    connect(newWindow, &QAction::triggered, this, &ReportWindow::newWindowRequested);
    addAction(newWindow);

    uikit::bindEvent(this, m_events->errorPresentRequest, [this](const QString& text) {
        dispatch(HomeState::ErrorRequested{text.toStdString()});
    });

    showPage(m_openFilePage);
    // The toolbar stands in for the title bar: it keeps the height the welcome screen's title
    // gives it, so that a page adding nothing to it (the progress screen) does not move up.
    m_toolBar->setMinimumHeight(m_toolBar->sizeHint().height());
}

ReportWindow::~ReportWindow() {
    if (m_loadWanted) {
        *m_loadWanted = false;
    }
}

SceneEvents& ReportWindow::sceneEvents() const noexcept {
    return *m_events;
}

void ReportWindow::openDocument(const QString& path) {
    dispatch(HomeState::FileSelected{std::filesystem::path(path.toStdString())});
}

void ReportWindow::waitForLoadsInFlight() {
    auto& loads = loadsInFlight();
    {
        std::unique_lock lock(loads.mutex);
        loads.ended.wait(lock, [&loads] { return loads.count == 0; });
    }
    // A document dropped while its images were still being written has its working folder
    // removed by the image writer once it stops.
    document::ZozX::PendingImages::waitForAll();
}

void ReportWindow::dispatch(const HomeState::Event& event) {
    const HomeState old = m_state;
    m_state = HomeState::reduce(old, event);
    if (!(m_state.viewState == old.viewState)) {
        if (m_state.isIdeal()) {
            showPage(m_openFilePage);
        } else if (const auto* url = m_state.loadingUrl()) {
            showPage(m_loadingPage);
            startLoading(*url);
        } else if (auto context = m_state.loadedContext()) {
            m_documentPage = new DocumentPage(std::move(context), m_events, m_pages);
            m_pages->addWidget(m_documentPage);
            showPage(m_documentPage);
        }
    }
    if (m_state.error) {
        showAlert();
    } else if (m_alert->isVisible()) {
        m_alert->hide();
    }
    emit stateChanged();
}

void ReportWindow::showPage(WindowPage* page) {
    const bool changes = m_pages->currentWidget() != page;
    m_toolBar->clear();
    page->fillToolbar(*m_toolBar);
    // A page whose toolbar items stand taller than the welcome screen's title raises the
    // toolbar's least height, so the window grows instead of pushing the page's bottom out of it.
    m_toolBar->setMinimumHeight(
        std::max(m_toolBar->minimumHeight(), m_toolBar->sizeHint().height()));
    m_pages->setCurrentWidget(page);
    if (changes) {
        fadeIn(page);
    }
}

void ReportWindow::fadeIn(QWidget* page) {
    // A change of screen eases in rather than jumping; the effect goes once the page is opaque,
    // so the page paints directly again.
    auto* effect = new QGraphicsOpacityEffect(page);
    effect->setOpacity(0.0);
    page->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(kPageFadeMilliseconds);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    const QPointer<QWidget> target(page);
    const QPointer<QGraphicsEffect> ownEffect(effect);
    // Removing the effect deletes it and its animation, so never from inside the animation's own
    // signal; and never once a later fade has put its own effect in place.
    connect(fade, &QPropertyAnimation::finished, page, [target, ownEffect] {
        QMetaObject::invokeMethod(
            target.data(),
            [target, ownEffect] {
                if (!target.isNull() && !ownEffect.isNull() &&
                    target->graphicsEffect() == ownEffect.data()) {
                    target->setGraphicsEffect(nullptr);
                }
            },
            Qt::QueuedConnection);
    });
    fade->start();
}

void ReportWindow::showAlert() {
    // A message arriving while the alert shows replaces its text.
    m_alert->setText(QString::fromStdString(m_state.alertTitle()));
    if (!m_alert->isVisible()) {
        m_alert->open();
    }
}

void ReportWindow::startLoading(const std::filesystem::path& url) {
    const QPointer<ReportWindow> self(this);
    auto wanted = std::make_shared<std::atomic<bool>>(true);
    m_loadWanted = wanted;
    auto inFlight = std::make_shared<LoadInFlight>();
    const auto task = core::startTask(
        [opener = m_opener, url, wanted, inFlight]() mutable {
            // The load ends when this guard goes, after the context below.
            const auto counted = std::move(inFlight);
            auto context = opener(url);
            // Nobody will show a document whose window is gone: dropping it here removes its
            // working folder now, even when the process is about to end.
            return wanted->load() ? context : nullptr;
        },
        core::kUserInitiatedPriority);
    task.onCompletion(core::mainLoop(), [self, url](const auto& done) {
        // A window closed meanwhile drops the result, and with it the opened document.
        ReportWindow* window = self.data();
        if (window == nullptr) {
            return;
        }
        if (const std::exception_ptr failure = done.error()) {
            logLoadFailure(url, failure);
            window->dispatch(HomeState::LoadFailed{url});
            return;
        }
        auto context = done.value();
        if (!context) {
            core::Log::error("Failed to load the project file " + url.string() +
                             ": the opener returned no document");
            window->dispatch(HomeState::LoadFailed{url});
            return;
        }
        window->dispatch(HomeState::LoadSucceeded{url, std::move(context)});
    });
}

} // namespace app
