#include "core/rx_observable_state.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using core::rx::Cancellable;
using core::rx::RxObservableState;

namespace {

class RxObservableStateTest : public ::testing::Test {
protected:
    std::shared_ptr<core::ManualRunLoop> m_loop = std::make_shared<core::ManualRunLoop>();
    core::ScopedMainLoop m_installed{m_loop};
};

TEST_F(RxObservableStateTest, SendSuppressesEqualValuesButADirectWriteAlwaysPublishes) {
    std::vector<std::pair<int, int>> hooks;
    RxObservableState<int> state(
        1, [&](int oldValue, int newValue) { hooks.emplace_back(oldValue, newValue); });
    int announced = 0;
    Cancellable will = state.objectWillChange().sink([&] { ++announced; });
    std::vector<int> seen;
    Cancellable c = state.sink(false, std::nullopt, [&](int v) { seen.push_back(v); });
    EXPECT_EQ(seen, (std::vector<int>{1})); // the current value at once

    state.send(1);
    EXPECT_EQ(seen.size(), 1U);
    EXPECT_TRUE(hooks.empty());
    EXPECT_EQ(announced, 0);

    state.send(2);
    state.setValue(2);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 2}));
    EXPECT_EQ(hooks, (std::vector<std::pair<int, int>>{{1, 2}}));
    EXPECT_EQ(announced, 2);
    EXPECT_EQ(state.value(), 2);
}

TEST_F(RxObservableStateTest, WithoutDebounceEachChangeArrivesSynchronously) {
    RxObservableState<std::string> state("a");
    std::vector<std::string> seen;
    Cancellable none =
        state.sink(true, std::nullopt, [&](const std::string& v) { seen.push_back(v); });
    Cancellable zero = state.sink(true, core::Duration::zero(),
                                  [&](const std::string& v) { seen.push_back("0:" + v); });
    Cancellable negative =
        state.sink(true, -1s, [&](const std::string& v) { seen.push_back("-:" + v); });
    state.send("b");
    state.send("c");
    state.send("d");
    EXPECT_EQ(seen,
              (std::vector<std::string>{"b", "0:b", "-:b", "c", "0:c", "-:c", "d", "0:d", "-:d"}));
    EXPECT_EQ(m_loop->pendingCount(), 0U);
}

// A burst of changes within the interval gives one delivery, with the last value, on the main
// loop one interval after the last change; the virtual clock makes it take microseconds.
TEST_F(RxObservableStateTest, DebounceFoldsABurstIntoOneDeliveryOfTheLastValue) {
    struct Owner {
        std::vector<std::pair<int, core::Duration>> calls;
    };
    auto owner = std::make_shared<Owner>();
    RxObservableState<int> state(0);
    auto loop = m_loop;
    Cancellable c =
        state.sink(true, std::chrono::milliseconds(300), owner, [loop](Owner& o, int value) {
            EXPECT_TRUE(loop->isCurrent());
            o.calls.emplace_back(value, loop->now());
        });
    m_loop->advance(1s); // the dropped current value schedules nothing
    EXPECT_TRUE(owner->calls.empty());

    state.send(1);
    m_loop->advance(100ms);
    state.send(2);
    m_loop->advance(100ms);
    state.send(3); // the last change, at 1.2 s
    m_loop->advance(299ms);
    EXPECT_TRUE(owner->calls.empty());
    m_loop->advance(1ms);
    ASSERT_EQ(owner->calls.size(), 1U);
    EXPECT_EQ(owner->calls[0], std::make_pair(3, core::Duration(1500ms)));
    m_loop->advance(10s);
    EXPECT_EQ(owner->calls.size(), 1U);

    // A value that comes through after the owner is gone calls nothing.
    std::weak_ptr<Owner> weak = owner;
    state.send(4);
    owner.reset();
    EXPECT_TRUE(weak.expired());
    m_loop->advance(1s);
    EXPECT_EQ(m_loop->pendingCount(), 0U);
}

TEST_F(RxObservableStateTest, DropFirstComesBeforeTheDebounce) {
    RxObservableState<int> state(0);
    std::vector<int> seen;
    Cancellable c = state.sink(false, 300ms, [&](int v) { seen.push_back(v); });
    m_loop->advance(300ms);
    EXPECT_EQ(seen, (std::vector<int>{0})); // not dropped: the current value is debounced too
    state.send(5);
    state.send(6);
    m_loop->advance(300ms);
    EXPECT_EQ(seen, (std::vector<int>{0, 6}));
}

struct Member {
    int id = 0;
    std::string name;
    friend bool operator==(const Member&, const Member&) = default;
};

TEST_F(RxObservableStateTest, MembersReadThroughTheArrowAndIdentityComesFromTheValue) {
    RxObservableState<Member> state(Member{7, "Ada"});
    EXPECT_EQ(state->name, "Ada");
    EXPECT_EQ(state.id(), 7);
    state.send(Member{8, "Grace"});
    EXPECT_EQ(state->name, "Grace");
    EXPECT_EQ(state.id(), 8);

    core::rx::VtSingleObservableObject<Member> single(Member{1, "Lin"});
    std::vector<std::string> names;
    Cancellable c = single.publisher().sink([&](const Member& m) { names.push_back(m.name); });
    single.setValue(Member{1, "Lin"}); // no suppression here
    EXPECT_EQ(single->name, "Lin");
    EXPECT_EQ(names, (std::vector<std::string>{"Lin", "Lin"}));
}

// A six-option pipeline as a report view model builds it: latest values combined, the first
// tuple dropped, a 0.3 s debounce on the main loop.
TEST_F(RxObservableStateTest, CombinedOptionsAreDroppedOnceThenDebounced) {
    struct Options : core::rx::ObservableObject {
        core::rx::Published<int> kind{*this, 0};
        core::rx::Published<int> places{*this, 1};
        core::rx::Published<bool> currency{*this, false};
    };
    Options options;
    using Combined = std::tuple<int, std::tuple<int, bool>>;
    std::vector<Combined> renders;
    Cancellable c = core::rx::combineLatest(options.kind.publisher(),
                                            core::rx::combineLatest(options.places.publisher(),
                                                                    options.currency.publisher()))
                        .dropFirst()
                        .debounce(300ms, core::mainLoop())
                        .sink([&](const Combined& t) { renders.push_back(t); });
    m_loop->advance(1s);
    EXPECT_TRUE(renders.empty()); // the initial values start nothing

    options.kind.set(2);
    m_loop->advance(100ms);
    options.places.set(3);
    m_loop->advance(300ms);
    ASSERT_EQ(renders.size(), 1U);
    EXPECT_EQ(renders[0], Combined(2, {3, false}));

    options.currency.set(false); // an unchanged value still goes through
    m_loop->advance(300ms);
    EXPECT_EQ(renders.size(), 2U);
}

enum class ZoomKey { zoom };

} // namespace

template <>
struct core::RawValueTraits<ZoomKey> {
    using RawValue = std::string;
    static std::string rawValue(ZoomKey) { return "zoom"; }
    static std::optional<ZoomKey> fromRawValue(const std::string& raw) {
        return raw == "zoom" ? std::optional(ZoomKey::zoom) : std::nullopt;
    }
};

namespace {

TEST(VtUserDefaultObservableObject, LoadsOnceAndPublishesBeforeSaving) {
    auto defaults = core::UserDefaults::inMemory();
    core::rx::VtUserDefaultObservableObject<std::int64_t> object("zoom", 100, defaults);
    EXPECT_EQ(object.value(), 100);
    EXPECT_FALSE(defaults->object("zoom")); // nothing written until the first write

    // Each value with what the store held when it arrived.
    std::vector<std::pair<std::int64_t, std::optional<std::int64_t>>> seen;
    Cancellable c = object.publisher().sink(
        [&](std::int64_t v) { seen.emplace_back(v, defaults->integer("zoom")); });
    object.setValue(150);
    EXPECT_EQ(seen, (std::vector<std::pair<std::int64_t, std::optional<std::int64_t>>>{
                        {100, std::nullopt}, {150, std::nullopt}}));
    EXPECT_EQ(defaults->integer("zoom"), 150);

    core::rx::VtUserDefaultObservableObject<std::int64_t> reloaded(ZoomKey::zoom, 100, defaults);
    EXPECT_EQ(reloaded.value(), 150);
    defaults->set("zoom", 1); // changes by others are not seen after loading
    EXPECT_EQ(reloaded.value(), 150);
}

} // namespace
