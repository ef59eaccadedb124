#include "app/report_window.hpp"

#include "app/csv_export_dialog.hpp"
#include "app/document_page.hpp"
#include "app/inspector_panel.hpp"
#include "app/loading_page.hpp"
#include "app/open_file_page.hpp"
#include "app/platform.hpp"
#include "app/report_grid_view.hpp"
#include "app/scene_events.hpp"
#include "app/segmented_picker.hpp"
#include "app/window_manager.hpp"
#include "core/executor.hpp"
#include "report/report_view_model.hpp"

#include "test_documents.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace app {
namespace {

namespace fs = std::filesystem;

QUrl urlOf(const fs::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string()));
}

// Runs the event loop until `done` holds; false after five seconds. (QTest's QTRY macros report
// to QTest's own log and return silently, which GoogleTest would count as a pass.)
template <class F>
bool waitFor(F done) {
    return QTest::qWaitFor(done, 5000);
}

QString qstr(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Answers the file chooser from the test.
class StubPlatform final : public Platform {
public:
    void chooseOpenFile(QWidget* /*parent*/, const QString& suffix, Choice done) override {
        suffixes.push_back(suffix);
        pending = std::move(done);
    }
    void chooseSaveFile(QWidget*, const QString&, const QString&, Choice) override {}
    void revealFile(const QString&) override {}

    std::vector<QString> suffixes;
    Choice pending;
};

class ReportWindowTest : public fixtures::ScratchFolder {
protected:
    void TearDown() override { setPlatform(nullptr); }

    static QString toolbarTitle(const ReportWindow& window, const char* name) {
        const auto* label = window.toolBar()->findChild<QLabel*>(QString::fromLatin1(name));
        return label != nullptr ? label->text() : QString();
    }

    // Drags `urls` over the welcome screen, then drops them.
    static void dragAndDrop(OpenFilePage& page, const QList<QUrl>& urls, bool& highlighted) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&page, &enter);
        highlighted = page.draggingMouseIn();
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&page, &drop);
    }
};

// The mean brightness, 0 to 255, of what the screen shows of `widget`: read from what the
// window last put on the screen, not painted afresh as grab() would.
double shownBrightness(const QWidget& widget) {
    const QPoint origin = widget.mapTo(widget.window(), QPoint(0, 0));
    const QImage shot = widget.window()
                            ->screen()
                            ->grabWindow(widget.window()->winId(), origin.x(), origin.y(),
                                         widget.width(), widget.height())
                            .toImage();
    if (shot.isNull()) {
        return -1;
    }
    double sum = 0;
    for (int y = 0; y < shot.height(); y += 4) {
        for (int x = 0; x < shot.width(); x += 4) {
            sum += qGray(shot.pixel(x, y));
        }
    }
    return sum / ((shot.height() + 3) / 4 * ((shot.width() + 3) / 4));
}

TEST_F(ReportWindowTest, TheDocumentPageFadesInWithoutADarkFrame) {
    writeDocument("plan.zoz");
    ReportWindow window;
    QPalette light;
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    window.setPalette(light);
    window.resize(1000, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.openDocument(qstr(documents() / "plan.zoz"));
    ASSERT_TRUE(waitFor([&] { return window.documentPage() != nullptr; }));
    // Every frame of the change, while it eases in and once it is done.
    std::vector<double> frames;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 600) {
        QTest::qWait(40);
        frames.push_back(shownBrightness(*window.pages()));
    }
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_GT(frames[i], 150) << "frame " << i << " of the change is dark";
    }
}

TEST_F(ReportWindowTest, AValidDocumentShowsLoadingThenItsPageWithTheProjectName) {
    const std::string name = writeDocument("plan.zoz");
    ReportWindow window;
    window.show();
    EXPECT_EQ(window.pages()->currentWidget(), window.openFilePage());
    EXPECT_EQ(toolbarTitle(window, "toolbarTitle"), QStringLiteral("Dezuduz - Resource Report"));
    EXPECT_EQ(window.pages()->minimumSize(), QSize(860, 580));
    EXPECT_FALSE(window.alert()->isVisible());

    window.openDocument(qstr(documents() / "plan.zoz"));
    EXPECT_EQ(window.pages()->currentWidget(), window.loadingPage());
    const auto* loading = window.loadingPage()->findChild<QLabel*>(QStringLiteral("loadingLabel"));
    ASSERT_NE(loading, nullptr);
    EXPECT_EQ(loading->text(), QStringLiteral("Loading..."));

    ASSERT_TRUE(waitFor([&] { return window.documentPage() != nullptr; }));
    EXPECT_EQ(window.pages()->currentWidget(), window.documentPage());
    EXPECT_EQ(toolbarTitle(window, "projectName"), QString::fromStdString(name));
    EXPECT_EQ(toolbarTitle(window, "toolbarTitle"), QString());
    // The change eases in and ends with nothing laid over the page.
    ASSERT_TRUE(waitFor([&] {
        return window.pages()->findChild<QWidget*>(QStringLiteral("pageFade")) == nullptr;
    }));
    // The page started the report: its grid snapshot arrives with the members' rows.
    const auto model = window.documentPage()->viewModel();
    ASSERT_TRUE(waitFor([&] { return model->snapshot.get().value()->numberOfSections() > 2; }));
    EXPECT_FALSE(window.alert()->isVisible());
}

TEST_F(ReportWindowTest, TheToolbarKeepsItsHeightWhileAPageWithoutItemsShows) {
    writeDocument("plan.zoz");
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    auto opener = [gate](const fs::path& url) {
        gate.wait_for(std::chrono::seconds(10));
        return std::make_shared<const DocumentContext>(url);
    };
    ReportWindow window(nullptr, opener);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int welcomeHeight = window.toolBar()->height();
    const QPoint welcomeTop = window.pages()->pos();
    window.openDocument(qstr(documents() / "plan.zoz"));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.pages()->currentWidget(), window.loadingPage());
    // The loading page adds nothing to the toolbar; the screen below must not jump up.
    EXPECT_EQ(window.toolBar()->height(), welcomeHeight);
    EXPECT_EQ(window.pages()->pos(), welcomeTop);
    release.set_value();
    ASSERT_TRUE(waitFor([&] { return window.documentPage() != nullptr; }));
}

TEST_F(ReportWindowTest, TheDocumentPageFitsInTheWindowUnderItsTallerToolbar) {
    writeDocument("plan.zoz");
    ReportWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.openDocument(qstr(documents() / "plan.zoz"));
    ASSERT_TRUE(waitFor([&] { return window.documentPage() != nullptr; }));
    // The page's toolbar buttons make the toolbar taller than the welcome screen's title did; the
    // window grows with it rather than cutting off the grid's last row and scroll bar.
    ASSERT_TRUE(waitFor([&] {
        return window.pages()->geometry().bottom() <= window.rect().bottom() &&
               window.pages()->height() >= ReportWindow::kMinimumContentSize.height();
    })) << window.pages()->geometry().bottom()
        << " in a window " << window.height() << " high";
}

TEST_F(ReportWindowTest, ACorruptDocumentReturnsToTheWelcomeScreenWithTheAlertAndLogsTheCause) {
    const fs::path corrupt = writeFile("corrupt.zoz", "PK\x03\x04 but nothing else");
    ReportWindow window;
    window.show();
    ::testing::internal::CaptureStdout();
    window.openDocument(qstr(corrupt));
    const bool loadingShown = window.pages()->currentWidget() == window.loadingPage();
    const bool alerted = waitFor([&] { return window.alert()->isVisible(); });
    // The capture ends before any assertion: a failure would otherwise print into it, and the
    // run would end with no report at all.
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(loadingShown);
    ASSERT_TRUE(alerted) << log;

    EXPECT_EQ(window.pages()->currentWidget(), window.openFilePage());
    EXPECT_EQ(window.alert()->text(), QStringLiteral("Failed to load the project file"));
    EXPECT_TRUE(window.alert()->informativeText().isEmpty());
    EXPECT_EQ(window.alert()->buttons().size(), 1);
    EXPECT_NE(
        log.find("Failed to load the project file " + corrupt.string() + ": ZozX.DocumentError."),
        std::string::npos)
        << log;
    // With the reader's own account of why.
    EXPECT_NE(log.find(": ZozX.DocumentError.InvalidFileFormat - "), std::string::npos) << log;
    EXPECT_TRUE(tmpEntries().empty());

    // OK dismisses the alert and the welcome screen still opens documents.
    window.alert()->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(waitFor([&] { return !window.alert()->isVisible(); }));
    EXPECT_FALSE(window.state().error);
    writeDocument("good.zoz");
    window.openDocument(qstr(documents() / "good.zoz"));
    ASSERT_TRUE(waitFor([&] { return window.documentPage() != nullptr; }));
}

TEST_F(ReportWindowTest, ADropOfTwoDocumentsOpensTheFirst) {
    const std::string first = writeDocument("first.zoz", 1);
    writeDocument("second.zoz", 2);
    ReportWindow window;
    window.show();
    bool highlighted = false;
    dragAndDrop(*window.openFilePage(),
                {urlOf(documents() / "first.zoz"), urlOf(documents() / "second.zoz")}, highlighted);
    EXPECT_TRUE(highlighted);
    EXPECT_FALSE(window.openFilePage()->draggingMouseIn());
    ASSERT_NE(window.state().loadingUrl(), nullptr);
    EXPECT_EQ(*window.state().loadingUrl(), documents() / "first.zoz");
    ASSERT_TRUE(waitFor([&] { return window.documentPage() != nullptr; }));
    EXPECT_EQ(window.documentPage()->context()->url(), documents() / "first.zoz");
}

TEST_F(ReportWindowTest, ADropOfAnythingElseShowsTheMessageAndClearsTheHighlight) {
    const fs::path text = writeFile("notes.txt", "hello");
    ReportWindow window;
    window.show();
    bool highlighted = false;
    dragAndDrop(*window.openFilePage(), {urlOf(text), urlOf(documents() / "x.zoz")}, highlighted);
    EXPECT_TRUE(highlighted);
    EXPECT_FALSE(window.openFilePage()->draggingMouseIn());
    EXPECT_TRUE(window.state().isIdeal());
    EXPECT_EQ(window.pages()->currentWidget(), window.openFilePage());
    EXPECT_TRUE(window.alert()->isVisible());
    EXPECT_EQ(window.alert()->text(),
              QStringLiteral("Please drag a Dezuduz file with the .zoz file extension here."));

    // A drag that leaves without dropping clears the highlight as well.
    QMimeData data;
    data.setUrls({urlOf(text)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.openFilePage(), &enter);
    EXPECT_TRUE(window.openFilePage()->draggingMouseIn());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(window.openFilePage(), &leave);
    EXPECT_FALSE(window.openFilePage()->draggingMouseIn());
}

TEST_F(ReportWindowTest, TheOpenButtonsAskTheChooserOnceAndOpenWhatItAnswers) {
    const auto stub = std::make_shared<StubPlatform>();
    setPlatform(stub);
    writeDocument("chosen.zoz");
    ReportWindow window;
    window.show();
    auto* open = window.toolBar()->findChild<QToolButton*>(QStringLiteral("openButton"));
    auto* card = window.openFilePage()->findChild<QAbstractButton*>(QStringLiteral("openCard"));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->size(), QSize(240, 150));

    card->click();
    open->click(); // the chooser is already open
    ASSERT_EQ(stub->suffixes.size(), 1U);
    EXPECT_EQ(stub->suffixes.front(), QStringLiteral("zoz"));
    EXPECT_TRUE(window.openFilePage()->opening());

    // Cancelling changes nothing and shows nothing.
    std::exchange(stub->pending, {})(std::nullopt);
    EXPECT_FALSE(window.openFilePage()->opening());
    EXPECT_TRUE(window.state().isIdeal());
    EXPECT_FALSE(window.alert()->isVisible());

    open->click();
    ASSERT_EQ(stub->suffixes.size(), 2U);
    std::exchange(stub->pending, {})(qstr(documents() / "chosen.zoz"));
    EXPECT_NE(window.state().loadingUrl(), nullptr);
    ASSERT_TRUE(waitFor([&] { return window.documentPage() != nullptr; }));
}

TEST_F(ReportWindowTest, ClosingAWindowWhileItLoadsDropsTheDocumentAndItsWorkingFolder) {
    writeDocument("plan.zoz");
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    // Shared with the load, which goes on after a test that gives up early.
    struct Opened {
        std::atomic<bool> done{false};
        fs::path workingFolder;
    };
    const auto opened = std::make_shared<Opened>();
    auto opener = [gate, opened](const fs::path& url) {
        gate.wait_for(std::chrono::seconds(10));
        auto context = std::make_shared<const DocumentContext>(url);
        opened->workingFolder = context->workingFolder();
        opened->done = true;
        return context;
    };

    auto* loading = new ReportWindow(nullptr, opener);
    const QPointer<ReportWindow> window = loading;
    loading->setAttribute(Qt::WA_DeleteOnClose);
    loading->show();
    loading->openDocument(qstr(documents() / "plan.zoz"));
    EXPECT_EQ(loading->pages()->currentWidget(), loading->loadingPage());
    loading->close();
    ASSERT_TRUE(waitFor([&] { return window.isNull(); }));

    release.set_value();
    ASSERT_TRUE(waitFor([&] { return opened->done.load(); }));
    EXPECT_FALSE(opened->workingFolder.empty());
    // The result reaches a window that is gone; dropping it removes the working folder.
    ASSERT_TRUE(waitFor([&] { return tmpEntries().empty(); }));
}

TEST_F(ReportWindowTest, ClosingAWindowWithItsDocumentOpenRemovesTheWorkingFolder) {
    writeDocument("plan.zoz");
    auto* window = new ReportWindow;
    window->openDocument(qstr(documents() / "plan.zoz"));
    ASSERT_TRUE(waitFor([&] { return window->documentPage() != nullptr; }));
    EXPECT_EQ(tmpEntries().size(), 1U);
    delete window;
    EXPECT_TRUE(waitFor([&] { return tmpEntries().empty(); }));
}

TEST_F(ReportWindowTest, ThePageShowsBeforeTheImagesAreWrittenAndTheirFolderOutlastsTheWriting) {
    writeDocument("plan.zoz");
    // The images are written only when the test runs the writer.
    const auto writer = std::make_shared<core::ManualRunLoop>();
    fs::path workingFolder;
    auto opener = [writer, &workingFolder](const fs::path& url) {
        auto context = std::make_shared<const DocumentContext>(url, writer);
        workingFolder = context->workingFolder();
        return context;
    };
    // Owned here, so that a failed check still closes the window, and with it the writing.
    auto window = std::make_unique<ReportWindow>(nullptr, opener);
    window->show();
    window->openDocument(qstr(documents() / "plan.zoz"));
    ASSERT_TRUE(waitFor([&] { return window->documentPage() != nullptr; }));
    const auto model = window->documentPage()->viewModel();
    ASSERT_TRUE(waitFor([&] { return model->snapshot.get().value()->numberOfSections() > 2; }));
    EXPECT_TRUE(fs::is_empty(workingFolder / "Photo"));

    // Closed before its images were written, the window leaves the folder to the writer, which
    // removes it as it stops.
    window.reset();
    EXPECT_EQ(tmpEntries().size(), 1U);
    writer->runUntilIdle();
    EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(ReportWindowTest, TheApplicationsEndWaitsForTheFolderOfAClosedDocumentToGo) {
    writeDocument("plan.zoz");
    // The image writer is held back until the test lets it go. (The gate is declared after the
    // writer so that, whatever happens, it opens before the writer is destroyed.)
    const auto writer = std::make_shared<core::ThreadPool>(1);
    std::promise<void> release;
    writer->post([gate = release.get_future().share()] { gate.wait(); });
    auto opener = [writer](const fs::path& url) {
        return std::make_shared<const DocumentContext>(url, writer);
    };
    {
        const auto window = std::make_unique<ReportWindow>(nullptr, opener);
        window->openDocument(qstr(documents() / "plan.zoz"));
        ASSERT_TRUE(waitFor([&] { return window->documentPage() != nullptr; }));
    }
    // The window went before the writer wrote anything: its folder waits for the writer.
    EXPECT_EQ(tmpEntries().size(), 1U);
    EXPECT_FALSE(ReportWindow::waitForLoadsInFlight(std::chrono::milliseconds(20)));
    auto ending = std::async(std::launch::async, [] {
        return ReportWindow::waitForLoadsInFlight(std::chrono::seconds(10));
    });
    EXPECT_EQ(ending.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    release.set_value();
    ASSERT_EQ(ending.wait_for(std::chrono::seconds(11)), std::future_status::ready);
    EXPECT_TRUE(ending.get());
    EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(ReportWindowTest, EndingTheApplicationWhileADocumentLoadsLeavesNoWorkingFolder) {
    writeDocument("plan.zoz");
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::atomic<bool> unpacked{false};
    // The document is unpacked, then the load dawdles until its window has gone.
    auto opener = [gate, &unpacked](const fs::path& url) {
        auto context = std::make_shared<const DocumentContext>(url);
        unpacked = true;
        gate.wait_for(std::chrono::seconds(10));
        return context;
    };
    {
        WindowManager manager(nullptr, opener);
        ReportWindow* window = manager.newWindow();
        QObject::connect(window, &QObject::destroyed, [&release] { release.set_value(); });
        window->openDocument(qstr(documents() / "plan.zoz"));
        ASSERT_TRUE(waitFor([&] { return unpacked.load(); }));
        EXPECT_EQ(tmpEntries().size(), 1U);
    } // the application ends: its manager goes with the window, and no event runs after
    EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(ReportWindowTest, AWindowOpenedWithADocumentNeverShowsTheWelcomeScreen) {
    writeDocument("plan.zoz");
    WindowManager manager;
    ReportWindow* window = manager.newWindow(qstr(documents() / "plan.zoz"));
    // Shown, but not yet painted: what it paints first is the progress screen, with no picture of
    // the welcome screen fading over it.
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->pages()->currentWidget(), window->loadingPage());
    EXPECT_EQ(window->findChild<QWidget*>(QStringLiteral("pageFade")), nullptr);
    EXPECT_TRUE(waitFor([&] { return window->documentPage() != nullptr; }));

    // Without a document it still starts on the welcome screen.
    ReportWindow* empty = manager.newWindow();
    EXPECT_EQ(empty->pages()->currentWidget(), empty->openFilePage());
}

TEST_F(ReportWindowTest, AnErrorSentInOneWindowShowsOnlyInThatWindow) {
    WindowManager manager;
    ReportWindow* first = manager.newWindow();
    // Ctrl+N in a window opens another one, with its own state and events.
    first->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(first));
    QTest::keyClick(first, Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(waitFor([&] { return manager.windows().size() == 2; }));
    ReportWindow* second = manager.windows().at(1);
    EXPECT_NE(&first->sceneEvents(), &second->sceneEvents());

    second->sceneEvents().errorPresentRequest.send(QStringLiteral("Only here"));
    EXPECT_TRUE(second->alert()->isVisible());
    EXPECT_EQ(second->alert()->text(), QStringLiteral("Only here"));
    EXPECT_FALSE(first->alert()->isVisible());
    EXPECT_FALSE(first->state().error);

    // A second message while the alert shows replaces its text.
    second->sceneEvents().errorPresentRequest.send(QStringLiteral("Newer"));
    EXPECT_EQ(second->alert()->text(), QStringLiteral("Newer"));

    second->close();
    ASSERT_TRUE(waitFor([&] { return manager.windows().size() == 1; }));
    EXPECT_EQ(manager.windows().front(), first);
}

// Makes `target`'s window the active one, gives `target` the keyboard focus and presses Ctrl+W
// there, as a user would.
void pressCtrlW(QWidget* target) {
    QWidget* window = target->window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    target->setFocus(Qt::OtherFocusReason);
    VT_TRY_COMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key_W, Qt::ControlModifier);
}

// Holds document loads back until the test lets them go; opened at the latest when it goes.
class LoadGate {
public:
    ~LoadGate() { open(); }

    void open() {
        std::call_once(m_opened, [this] { m_release.set_value(); });
    }
    // What a load waits on, held by the load itself, so that it never reaches into the test.
    std::shared_future<void> passage() const { return m_passage; }

private:
    std::promise<void> m_release;
    std::shared_future<void> m_passage = m_release.get_future().share();
    std::once_flag m_opened;
};

TEST_F(ReportWindowTest, CtrlWClosesOnlyTheFocusedWindowWhereverItsFocusIs) {
    writeDocument("plan.zoz");
    WindowManager manager;
    const QPointer<ReportWindow> welcome = manager.newWindow();
    const QPointer<ReportWindow> inGrid = manager.newWindow(qstr(documents() / "plan.zoz"));
    const QPointer<ReportWindow> inInspector = manager.newWindow(qstr(documents() / "plan.zoz"));
    VT_TRY_VERIFY(inGrid->documentPage() != nullptr && inInspector->documentPage() != nullptr);
    EXPECT_EQ(tmpEntries().size(), 2U);

    // The closed window is deleted, not merely hidden, and its document goes with it.
    ASSERT_NO_FATAL_FAILURE(pressCtrlW(inGrid->documentPage()->grid()));
    VT_TRY_VERIFY(inGrid.isNull());
    EXPECT_EQ(manager.windows(), (QList<ReportWindow*>{welcome.data(), inInspector.data()}));
    EXPECT_TRUE(welcome->isVisible());
    EXPECT_TRUE(inInspector->isVisible());
    VT_TRY_COMPARE(tmpEntries().size(), 1U);

    QAbstractButton* period = inInspector->documentPage()->inspector()->periodPicker()->button(0);
    ASSERT_NE(period, nullptr);
    ASSERT_NO_FATAL_FAILURE(pressCtrlW(period));
    VT_TRY_VERIFY(inInspector.isNull());
    EXPECT_EQ(manager.windows(), QList<ReportWindow*>{welcome.data()});
    EXPECT_TRUE(welcome->isVisible());
    VT_TRY_VERIFY(tmpEntries().empty());

    auto* card = welcome->openFilePage()->findChild<QAbstractButton*>(QStringLiteral("openCard"));
    ASSERT_NE(card, nullptr);
    ASSERT_NO_FATAL_FAILURE(pressCtrlW(card));
    VT_TRY_VERIFY(welcome.isNull());
    EXPECT_TRUE(manager.windows().isEmpty());
}

TEST_F(ReportWindowTest, CtrlWWhileADocumentLoadsDropsItAndItsWorkingFolder) {
    writeDocument("plan.zoz");
    LoadGate gate;
    const auto unpacked = std::make_shared<std::atomic<bool>>(false);
    // The document is unpacked, then the load waits at the gate.
    auto opener = [passage = gate.passage(), unpacked](const fs::path& url) {
        auto context = std::make_shared<const DocumentContext>(url);
        *unpacked = true;
        passage.wait_for(std::chrono::seconds(10));
        return context;
    };
    WindowManager manager(nullptr, opener);
    // However the test ends, the load goes on and ends, and what it posts back arrives, before the
    // manager waits for it and the test's frame goes.
    const auto letGo = qScopeGuard([&gate] {
        gate.open();
        EXPECT_TRUE(ReportWindow::waitForLoadsInFlight(std::chrono::seconds(10)));
        QCoreApplication::sendPostedEvents();
    });
    const QPointer<ReportWindow> window = manager.newWindow(qstr(documents() / "plan.zoz"));
    VT_TRY_VERIFY(unpacked->load());
    EXPECT_EQ(tmpEntries().size(), 1U);
    EXPECT_EQ(window->pages()->currentWidget(), window->loadingPage());

    ASSERT_NO_FATAL_FAILURE(pressCtrlW(window->loadingPage()));
    VT_TRY_VERIFY(window.isNull());
    EXPECT_TRUE(manager.windows().isEmpty());
    gate.open();
    EXPECT_TRUE(ReportWindow::waitForLoadsInFlight(std::chrono::seconds(10)));
    EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(ReportWindowTest, CtrlWInTheExportSheetClosesTheSheetAndLeavesItsWindowOpen) {
    writeDocument("plan.zoz");
    WindowManager manager;
    const QPointer<ReportWindow> window = manager.newWindow(qstr(documents() / "plan.zoz"));
    VT_TRY_VERIFY(window->documentPage() != nullptr);
    DocumentPage* page = window->documentPage();
    page->exportCsv();
    const QPointer<CsvExportDialog> sheet = page->csvExportDialog();
    ASSERT_NE(sheet, nullptr);
    VT_TRY_VERIFY(sheet->state().kind() == ExportFlow::ViewState::Case::exported);
    const fs::path temporary = sheet->temporaryFile();
    EXPECT_TRUE(fs::exists(temporary));

    ASSERT_NO_FATAL_FAILURE(pressCtrlW(sheet->saveButton()));
    VT_TRY_VERIFY(sheet.isNull());
    EXPECT_FALSE(fs::exists(temporary));
    // Only the sheet went: the window still shows its document.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->documentPage(), page);
    EXPECT_EQ(manager.windows(), QList<ReportWindow*>{window.data()});
}

TEST_F(ReportWindowTest, CtrlWOnTheLastWindowEndsTheApplicationsLoopWithStatusZero) {
    WindowManager manager;
    const QPointer<ReportWindow> window = manager.newWindow();
    for (QWidget* other : QApplication::topLevelWidgets()) {
        ASSERT_TRUE(other == window.data() || !other->isVisible())
            << "another window keeps the application open: " << other->metaObject()->className();
    }
    auto* card = window->openFilePage()->findChild<QAbstractButton*>(QStringLiteral("openCard"));
    ASSERT_NE(card, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    card->setFocus(Qt::OtherFocusReason);

    // The loop the program's main runs; a limit ends it with another status when the close does
    // not.
    QTimer::singleShot(0, card, [card] { QTest::keyClick(card, Qt::Key_W, Qt::ControlModifier); });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    limit.start(5000);
    const int status = QCoreApplication::exec();
    ASSERT_EQ(status, 0);
    VT_TRY_VERIFY(window.isNull());
}

} // namespace
} // namespace app
