#include "uikit/hosting_window_finder.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QUndoStack>

#include <optional>

namespace {

TEST(HostingWindowFinder, TheWindowIsFoundOnceTheViewIsPlaced) {
    QWidget window;
    auto* view = new QLabel("view");
    std::optional<QWidget*> found;
    uikit::findWindow(*view, [&](QWidget* w) { found = w; });
    view->setParent(&window); // placed after the request, before the event loop runs
    EXPECT_FALSE(found);
    VT_TRY_VERIFY(found.has_value());
    EXPECT_EQ(*found, &window);

    auto* gone = new QLabel(&window);
    std::optional<QWidget*> none;
    uikit::findWindow(*gone, [&](QWidget* w) { none = w; });
    delete gone;
    VT_TRY_VERIFY(none.has_value());
    EXPECT_EQ(*none, nullptr);
}

TEST(HostingWindowFinder, TheUndoStackIsTheWindowsOwn) {
    QWidget window;
    auto* view = new QLabel(&window);
    std::optional<QUndoStack*> found;
    uikit::findUndoManager(*view, [&](QUndoStack* stack) { found = stack; });
    VT_TRY_VERIFY(found.has_value());
    EXPECT_EQ(*found, nullptr);

    auto* stack = new QUndoStack(&window);
    found.reset();
    uikit::findUndoManager(*view, [&](QUndoStack* s) { found = s; });
    VT_TRY_VERIFY(found.has_value());
    EXPECT_EQ(*found, stack);
}

TEST(EncloseInWindow, TheWindowHoldsTheContentAndIsTitledOnlyWhenAsked) {
    auto store = core::UserDefaults::inMemory();
    auto* content = new QLabel("content");
    const auto untitled =
        uikit::encloseInWindow(content, "", Qt::Window, QSize(240, 160), "", store);
    EXPECT_EQ(content->window(), untitled.get());
    EXPECT_TRUE(untitled->windowTitle().isEmpty());
    EXPECT_EQ(untitled->size(), QSize(240, 160));
    EXPECT_FALSE(untitled->testAttribute(Qt::WA_DeleteOnClose));
    untitled->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(untitled.get()));
    untitled->close();
    EXPECT_FALSE(store->object(uikit::frameAutosaveKey("")));

    const auto titled =
        uikit::encloseInWindow(nullptr, "Inspector", Qt::Tool, QSize(100, 80), "", store);
    EXPECT_EQ(titled->windowTitle(), "Inspector");
    EXPECT_TRUE(titled->windowFlags().testFlag(Qt::Tool));
}

TEST(EncloseInWindow, AnAutosavedFrameComesBackInTheNextWindow) {
    auto store = core::UserDefaults::inMemory();
    QRect saved;
    {
        const auto first =
            uikit::encloseInWindow(nullptr, "Notes", Qt::Window, QSize(200, 120), "notes", store);
        first->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(first.get()));
        first->setGeometry(40, 50, 260, 140);
        saved = first->geometry();
        first->hide();
    }
    ASSERT_TRUE(store->data(uikit::frameAutosaveKey("notes")));
    const auto second =
        uikit::encloseInWindow(nullptr, "Notes", Qt::Window, QSize(200, 120), "notes", store);
    EXPECT_EQ(second->geometry().size(), saved.size());
    EXPECT_EQ(second->geometry().topLeft(), saved.topLeft());
    // Another name starts afresh.
    const auto other =
        uikit::encloseInWindow(nullptr, "Other", Qt::Window, QSize(200, 120), "other", store);
    EXPECT_EQ(other->size(), QSize(200, 120));
}

} // namespace
