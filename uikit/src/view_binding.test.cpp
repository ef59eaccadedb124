#include "uikit/view_binding.hpp"

#include "qt_test_wait.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

bool onGuiThread() {
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

TEST(ViewBinding, EventValuesArriveOnTheGuiThreadUntilTheOwnerIsDeleted) {
    auto owner = std::make_unique<QObject>();
    core::rx::RxEvent<std::string> errors;
    std::vector<std::string> received;
    bool allOnGuiThread = true;
    uikit::bindEvent(owner.get(), errors, [&](const std::string& message) {
        allOnGuiThread = allOnGuiThread && onGuiThread();
        received.push_back(message);
    });

    errors.send("here");
    EXPECT_EQ(received, std::vector<std::string>{"here"})
        << "a send on the GUI thread is synchronous";
    std::thread([&] { errors.send("from a worker"); }).join();
    EXPECT_EQ(received.size(), 1U) << "a worker's value waits for the GUI thread";
    VT_TRY_COMPARE(received.size(), std::size_t{2});
    EXPECT_EQ(received.back(), "from a worker");
    EXPECT_TRUE(allOnGuiThread);

    owner.reset();
    EXPECT_EQ(errors.subject().subscriberCount(), 0U);
    errors.send("after");
    std::thread([&] { errors.send("after, from a worker"); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(received.size(), 2U);
}

TEST(ViewBinding, AValueQueuedFromAWorkerIsDroppedWhenTheOwnerGoesFirst) {
    auto owner = std::make_unique<QObject>();
    core::rx::RxEvent<void> refresh;
    int calls = 0;
    uikit::bindEvent(owner.get(), refresh, [&] { ++calls; });
    std::thread([&] { refresh.send(); }).join();
    owner.reset();
    QTest::qWait(10);
    EXPECT_EQ(calls, 0);
}

TEST(ViewBinding, EventsAndStatesWriteIntoBindings) {
    QObject owner;
    auto text = std::make_shared<std::string>();
    uikit::Binding<std::string> binding([text] { return *text; },
                                        [text](const std::string& value) { *text = value; });
    core::rx::RxEvent<std::string> event;
    uikit::bindEvent(&owner, event, binding);
    event.send("event");
    EXPECT_EQ(*text, "event");

    core::rx::RxState<std::string> state("current");
    uikit::bindEvent(&owner, state, binding);
    EXPECT_EQ(*text, "current") << "a state delivers its current value when bound";
    state.setValue("next");
    EXPECT_EQ(*text, "next");

    core::rx::PassthroughSubject<std::string> subject;
    uikit::bind(&owner, subject.publisher(), binding);
    subject.send("published");
    EXPECT_EQ(*text, "published");
}

TEST(ViewBinding, ObservableStateFormsDifferOnlyInTheCurrentValue) {
    QObject owner;
    core::rx::RxObservableState<int> digits(2);
    std::vector<int> all;
    std::vector<int> changes;
    auto stored = std::make_shared<int>(0);
    uikit::bindState(&owner, digits, [&](int value) { all.push_back(value); });
    uikit::bindDropFirstOf(&owner, digits, [&](int value) { changes.push_back(value); });
    uikit::bindState(&owner, digits,
                     uikit::Binding<int>([stored] { return *stored; },
                                         [stored](const int& value) { *stored = value; }));
    EXPECT_EQ(*stored, 2);
    digits.send(3);
    digits.send(3);
    EXPECT_EQ(all, (std::vector<int>{2, 3}));
    EXPECT_EQ(changes, std::vector<int>{3});
    EXPECT_EQ(*stored, 3);
}

TEST(ViewBinding, AsyncFormsRunEachValueOffTheGuiThread) {
    QObject owner;
    core::rx::RxEvent<int> event;
    core::rx::RxState<int> state(1);
    std::atomic<int> sum{0};
    std::atomic<int> onGui{0};
    auto add = [&](int value) {
        onGui += onGuiThread() ? 1 : 0;
        sum += value;
    };
    uikit::bindEventAsync(&owner, event, add);
    uikit::bindEventAsync(&owner, state, add);
    event.send(10);
    state.setValue(100);
    VT_TRY_COMPARE(sum.load(), 111);
    EXPECT_EQ(onGui.load(), 0);
}

TEST(ViewBinding, ANullOwnerIsRefused) {
    core::rx::RxEvent<int> event;
    EXPECT_THROW(uikit::bindEvent(nullptr, event, [](int) {}), std::invalid_argument);
    EXPECT_EQ(event.subject().subscriberCount(), 0U);
}

} // namespace
