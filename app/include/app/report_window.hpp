#pragma once

#include "app/home_state.hpp"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

class QMessageBox;
class QPixmap;
class QStackedWidget;
class QToolBar;

namespace app {

class DocumentPage;
class LoadingPage;
class OpenFilePage;
class SceneEvents;
class WindowPage;

/// One application window: the welcome screen, then "Loading..." while a document opens in the
/// background, then the document; back to the welcome screen with an alert when opening fails.
/// It holds at most one document for its whole life. Its single toolbar is filled by the page it
/// shows; its alert is one window-modal message box. The platform's Close command (Ctrl+W) closes
/// it as its title bar's button does. Closing it while a document loads drops the result when it
/// arrives.
class ReportWindow final : public QMainWindow {
    Q_OBJECT
public:
    /// Opens a document; runs on the background pool and throws when opening fails.
    using Opener =
        std::function<std::shared_ptr<const DocumentContext>(const std::filesystem::path& url)>;

    /// The smallest size of the window's content, below the toolbar.
    static constexpr QSize kMinimumContentSize{860, 580};

    /// A window on its welcome screen that opens documents with `opener` (by default, by making a
    /// `DocumentContext`).
    explicit ReportWindow(QWidget* parent = nullptr, Opener opener = {});
    ~ReportWindow() override;

    /// Starts opening the document at `path`, as choosing it on the welcome screen does; does
    /// nothing unless the welcome screen shows.
    void openDocument(const QString& path);

    /// Blocks until every document load that any window started has ended, and every working
    /// folder of a dropped document has been removed (after its images stopped being written); a
    /// load whose window is gone drops its document before it ends. Call it on the GUI thread
    /// once no window needs the event loop any more (as the application ends), so that leaving
    /// the process cuts no load off halfway.
    static void waitForLoadsInFlight();
    /// Like `waitForLoadsInFlight`, giving up after `within`; returns whether everything had
    /// ended.
    static bool waitForLoadsInFlight(std::chrono::milliseconds within);

    /// The window's state.
    const HomeState& state() const noexcept { return m_state; }
    /// The window's events; an error sent on it shows in this window's alert.
    SceneEvents& sceneEvents() const noexcept;
    /// The toolbar the active page fills.
    QToolBar* toolBar() const noexcept { return m_toolBar; }
    /// The window's alert, shown while the state holds an error.
    QMessageBox* alert() const noexcept { return m_alert; }
    /// The stack of pages; its current widget is the page shown.
    QStackedWidget* pages() const noexcept { return m_pages; }
    /// The welcome screen.
    OpenFilePage* openFilePage() const noexcept { return m_openFilePage; }
    /// The progress screen.
    LoadingPage* loadingPage() const noexcept { return m_loadingPage; }
    /// The document's page once a document is open, else null.
    DocumentPage* documentPage() const noexcept { return m_documentPage; }

signals:
    /// The user asked for another window (Ctrl+N).
    void newWindowRequested();
    /// The window's state changed.
    void stateChanged();

private:
    void dispatch(const HomeState::Event& event);
    void showPage(WindowPage* page);
    void fadeFrom(const QPixmap& outgoing);
    void showAlert();
    void startLoading(const std::filesystem::path& url);

    Opener m_opener;
    HomeState m_state;
    std::shared_ptr<SceneEvents> m_events;
    QToolBar* m_toolBar = nullptr;
    QStackedWidget* m_pages = nullptr;
    OpenFilePage* m_openFilePage = nullptr;
    LoadingPage* m_loadingPage = nullptr;
    DocumentPage* m_documentPage = nullptr;
    QMessageBox* m_alert = nullptr;
    // The picture of the page left behind while it fades out.
    QPointer<QWidget> m_fade;
    // Cleared when the window goes, so that its load in flight drops what it opens.
    std::shared_ptr<std::atomic<bool>> m_loadWanted;
};

} // namespace app
