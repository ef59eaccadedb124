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
#include <QKeySequence>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStackedWidget>
#include <QToolBar>
#include <QVariantAnimation>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <utility>

namespace app {
namespace {

constexpr int kPageFadeMilliseconds = 350;

// The picture of the page going away, laid over the page coming in and fading out. Nothing is
// put between the new page and the screen, so a page whose scroll area paints its viewport
// opaquely shows as it is at once (an opacity effect on such a page left it black until the
// effect went).
class PageFade final : public QWidget {
public:
    PageFade(QPixmap outgoing, QWidget* parent) : QWidget(parent), m_outgoing(std::move(outgoing)) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

    void setOpacity(qreal opacity) {
        m_opacity = opacity;
        update();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.setOpacity(m_opacity);
        painter.drawPixmap(0, 0, m_outgoing);
    }

private:
    QPixmap m_outgoing;
    qreal m_opacity = 1.0;
};

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

    // Closing by the keyboard goes through close() as the title bar's button does: the same close
    // event drops a load in flight, and the last window's close ends the application.
    auto* closeWindow = new QAction(QStringLiteral("Close Window"), this);
    closeWindow->setShortcuts(QKeySequence::Close);
    connect(closeWindow, &QAction::triggered, this, &QWidget::close);
    addAction(closeWindow);

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

bool ReportWindow::waitForLoadsInFlight(std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    auto& loads = loadsInFlight();
    {
        std::unique_lock lock(loads.mutex);
        if (!loads.ended.wait_until(lock, deadline, [&loads] { return loads.count == 0; })) {
            return false;
        }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return document::ZozX::PendingImages::waitForAll(std::max(left, std::chrono::milliseconds(0)));
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
    QWidget* const previous = m_pages->currentWidget();
    const bool changes = previous != page;
    // What the window showed, taken before the change; the new page then paints directly beneath
    // it as it fades.
    const bool fades = changes && previous != nullptr && isVisible();
    const QPixmap outgoing = fades ? previous->grab() : QPixmap();
    m_toolBar->clear();
    page->fillToolbar(*m_toolBar);
    // A page whose toolbar items stand taller than the welcome screen's title raises the
    // toolbar's least height, so the window grows instead of pushing the page's bottom out of it.
    m_toolBar->setMinimumHeight(
        std::max(m_toolBar->minimumHeight(), m_toolBar->sizeHint().height()));
    m_pages->setCurrentWidget(page);
    if (fades) {
        fadeFrom(outgoing);
    }
}

void ReportWindow::fadeFrom(const QPixmap& outgoing) {
    // A change during a fade starts from what shows now, the earlier picture no longer counts.
    delete m_fade.data();
    auto* fade = new PageFade(outgoing, m_pages);
    m_fade = fade;
    fade->setObjectName(QStringLiteral("pageFade"));
    fade->setGeometry(m_pages->rect());
    fade->raise();
    fade->show();
    auto* animation = new QVariantAnimation(fade);
    animation->setDuration(kPageFadeMilliseconds);
    animation->setStartValue(1.0);
    animation->setEndValue(0.0);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QVariantAnimation::valueChanged, fade,
            [fade](const QVariant& opacity) { fade->setOpacity(opacity.toReal()); });
    // The animation belongs to the fade: never delete it from inside its own signal.
    connect(animation, &QVariantAnimation::finished, fade, &QObject::deleteLater);
    animation->start();
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
