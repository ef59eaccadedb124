#include "app/home_state.hpp"

#include "test_documents.hpp"

#include <gtest/gtest.h>

namespace app {
namespace {

using State = HomeState;

State reduce(const State& state, const State::Event& event) {
    return State::reduce(state, event);
}

class HomeStateTest : public fixtures::ScratchFolder {};

TEST_F(HomeStateTest, AWindowGoesFromWelcomeToLoadingToItsOnlyDocument) {
    writeDocument("a.zoz");
    const auto url = documents() / "a.zoz";
    auto context = std::make_shared<const DocumentContext>(url);

    State state;
    EXPECT_TRUE(state.isIdeal());
    EXPECT_FALSE(state.error);

    state = reduce(state, State::FileSelected{url});
    ASSERT_NE(state.loadingUrl(), nullptr);
    EXPECT_EQ(*state.loadingUrl(), url);

    // Another file while loading is not taken: a window opens one document.
    EXPECT_EQ(reduce(state, State::FileSelected{documents() / "b.zoz"}), state);
    // A result for another URL is stale and changes nothing.
    EXPECT_EQ(reduce(state, State::LoadSucceeded{documents() / "b.zoz", context}), state);
    EXPECT_EQ(reduce(state, State::LoadFailed{documents() / "b.zoz"}), state);

    state = reduce(state, State::LoadSucceeded{url, context});
    EXPECT_EQ(state.loadedContext(), context);
    EXPECT_FALSE(state.error);

    // Loaded has no way back: neither a file nor a late failure changes the document.
    EXPECT_EQ(reduce(state, State::FileSelected{url}), state);
    EXPECT_EQ(reduce(state, State::LoadFailed{url}), state);
}

TEST_F(HomeStateTest, AFailedOpenReturnsToTheWelcomeScreenWithTheFixedAlert) {
    State state = reduce(State{}, State::FileSelected{"/nowhere/x.zoz"});
    state = reduce(state, State::LoadFailed{"/nowhere/x.zoz"});
    EXPECT_TRUE(state.isIdeal());
    ASSERT_TRUE(state.error);
    EXPECT_EQ(state.alertTitle(), "Failed to load the project file");

    state = reduce(state, State::AlertDismissed{});
    EXPECT_FALSE(state.error);
    // The welcome screen stays usable after the alert.
    state = reduce(state, State::FileSelected{"/nowhere/y.zoz"});
    EXPECT_NE(state.loadingUrl(), nullptr);
}

TEST_F(HomeStateTest, AlertRequestsShowFromEveryStateAndTheLatestTextWins) {
    writeDocument("a.zoz");
    const auto url = documents() / "a.zoz";
    const auto context = std::make_shared<const DocumentContext>(url);
    const State ideal;
    const State loading = reduce(ideal, State::FileSelected{url});
    const State loaded = reduce(loading, State::LoadSucceeded{url, context});
    for (const State& state : {ideal, loading, loaded}) {
        const State first = reduce(state, State::ErrorRequested{"first"});
        EXPECT_EQ(first.viewState, state.viewState);
        EXPECT_EQ(first.alertTitle(), "first");
        EXPECT_EQ(reduce(first, State::ErrorRequested{"second"}).alertTitle(), "second");
    }
    // A message without text still gets a title.
    const State empty = reduce(ideal, State::ErrorRequested{""});
    EXPECT_TRUE(empty.error);
    EXPECT_EQ(empty.alertTitle(), "Something is wrong");
}

TEST_F(HomeStateTest, StatesCompareByTheirUrlsOnly) {
    writeDocument("a.zoz");
    const auto url = documents() / "a.zoz";
    const auto one = std::make_shared<const DocumentContext>(url);
    const auto two = std::make_shared<const DocumentContext>(url);
    EXPECT_EQ(State::ViewState(State::Loading{url}), State::ViewState(State::Loading{url}));
    EXPECT_NE(State::ViewState(State::Loading{url}), State::ViewState(State::Loading{"/b.zoz"}));
    EXPECT_EQ(State::ViewState(State::Loaded{one}), State::ViewState(State::Loaded{two}));
    EXPECT_NE(State::ViewState(State::Loading{url}), State::ViewState(State::Loaded{one}));
    EXPECT_EQ(State::ViewState(State::Ideal{}), State::ViewState(State::Ideal{}));
}

} // namespace
} // namespace app
