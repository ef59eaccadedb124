#include "core/user_defaults.hpp"
#include "core/user_default.hpp"
#include "core/uuid.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

enum class Fruit { apple, pear };
enum class Level { low = 1, high = 5 };
enum class SettingKey { theme, launchCount, verbose };

template <>
struct core::RawValueTraits<Fruit> {
    using RawValue = std::string;
    static std::string rawValue(Fruit f) { return f == Fruit::apple ? "apple" : "pear"; }
    static std::optional<Fruit> fromRawValue(const std::string& raw) {
        if (raw == "apple") {
            return Fruit::apple;
        }
        if (raw == "pear") {
            return Fruit::pear;
        }
        return std::nullopt;
    }
};

template <>
struct core::RawValueTraits<Level> {
    using RawValue = std::int64_t;
    static std::int64_t rawValue(Level l) { return static_cast<std::int64_t>(l); }
    static std::optional<Level> fromRawValue(const std::int64_t& raw) {
        if (raw == 1 || raw == 5) {
            return static_cast<Level>(raw);
        }
        return std::nullopt;
    }
};

template <>
struct core::RawValueTraits<SettingKey> {
    using RawValue = std::string;
    static std::string rawValue(SettingKey k) {
        switch (k) {
        case SettingKey::theme:
            return "theme";
        case SettingKey::launchCount:
            return "launchCount";
        case SettingKey::verbose:
            return "verbose";
        }
        return {};
    }
    static std::optional<SettingKey> fromRawValue(const std::string&) { return std::nullopt; }
};

namespace {

struct TempFolder {
    fs::path path = fs::temp_directory_path() / ("defaults-" + core::Uuid::random().uuidString());
    TempFolder() { fs::create_directories(path); }
    ~TempFolder() { fs::remove_all(path); }
};

TEST(UserDefaults, EveryKindSurvivesAReloadWithItsType) {
    TempFolder folder;
    const auto file = folder.path / "app" / "defaults.json";
    const core::PropertyValue::Dictionary nested{{"$data", core::PropertyValue("not bytes")},
                                                 {"n", core::PropertyValue(2.0)}};
    {
        auto store = core::UserDefaults::open(file);
        store->set("int", std::int64_t{-7});
        store->set("float", 3.0);
        store->set("bool", true);
        store->set("text", "h\u00e9llo \"q\"");
        store->set("bytes", core::Data{0, 255, 10});
        store->set("date", core::Date(1.5e9));
        store->set("array", core::PropertyValue::Array{1, "two", 3.5});
        store->set("dict", nested);
        store->set("gone", 1);
        store->remove("gone");
        // JSON has no such numbers: they must neither be lost nor cost the file its other values.
        store->set("nan", std::nan(""));
        store->set("infinity", -HUGE_VAL);
        store->set("endless", core::Date(HUGE_VAL));
    }
    auto reloaded = core::UserDefaults::open(file);
    EXPECT_EQ(reloaded->object("int"), core::PropertyValue(std::int64_t{-7}));
    EXPECT_EQ(reloaded->object("float"), core::PropertyValue(3.0));
    EXPECT_EQ(reloaded->object("bool"), core::PropertyValue(true));
    EXPECT_EQ(reloaded->string("text"), "h\u00e9llo \"q\"");
    EXPECT_EQ(reloaded->data("bytes"), (core::Data{0, 255, 10}));
    EXPECT_EQ(reloaded->object("date"), core::PropertyValue(core::Date(1.5e9)));
    EXPECT_EQ(reloaded->object("array"),
              core::PropertyValue(core::PropertyValue::Array{1, "two", 3.5}));
    EXPECT_EQ(reloaded->object("dict"), core::PropertyValue(nested));
    EXPECT_FALSE(reloaded->object("gone"));
    ASSERT_TRUE(reloaded->doubleValue("nan"));
    EXPECT_TRUE(std::isnan(*reloaded->doubleValue("nan")));
    EXPECT_EQ(reloaded->object("infinity"), core::PropertyValue(-HUGE_VAL));
    EXPECT_EQ(reloaded->object("endless"), core::PropertyValue(core::Date(HUGE_VAL)));
    EXPECT_EQ(fs::status(file.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
    // Nothing but the file itself is left in the folder: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()),
              1);
}

TEST(UserDefaults, ACorruptFileIsSetAsideAndReplaced) {
    TempFolder folder;
    const auto file = folder.path / "defaults.json";
    std::ofstream(file) << "{\"a\": [1, 2";
    testing::internal::CaptureStdout();
    auto store = core::UserDefaults::open(file);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("corrupt"), std::string::npos);
    EXPECT_FALSE(store->object("a"));
    EXPECT_TRUE(fs::exists(folder.path / "defaults.json.corrupt"));
    store->set("a", 1);
    EXPECT_EQ(core::UserDefaults::open(file)->integer("a"), 1);

    std::ofstream(file, std::ios::trunc) << "{\"x\": {\"$unknown\": 1}}";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(core::UserDefaults::open(file)->object("x"));
    testing::internal::GetCapturedStdout();
}

TEST(UserDefaults, ConversionsAreLossless) {
    auto store = core::UserDefaults::inMemory();
    store->set("whole", 4.0);
    store->set("fraction", 4.5);
    store->set("huge", 1e300);
    store->set("flag", true);
    store->set("two", 2);
    EXPECT_EQ(store->integer("whole"), 4);
    EXPECT_FALSE(store->integer("fraction"));
    EXPECT_FALSE(store->integer("huge"));
    EXPECT_EQ(store->integer("flag"), 1);
    EXPECT_EQ(store->doubleValue("two"), 2.0);
    EXPECT_FALSE(store->boolValue("two"));
    EXPECT_FALSE(store->string("two"));
    store->set("mixed", core::PropertyValue::Array{"a", 1});
    EXPECT_FALSE(store->stringArray("mixed"));
}

TEST(UserDefaults, StorageFormatsOfTheBuiltInKinds) {
    auto store = core::UserDefaults::inMemory();
    core::UserDefaultStorage<core::Date>::save(*store, "when", core::Date(12.5));
    EXPECT_EQ(store->object("when"), core::PropertyValue(12.5));
    EXPECT_EQ(core::UserDefaultStorage<core::Date>::load("when", *store), core::Date(12.5));
    store->set("dateObject", core::Date(3));
    EXPECT_FALSE(core::UserDefaultStorage<core::Date>::load("dateObject", *store));

    core::UserDefaultStorage<Fruit>::save(*store, "fruit", Fruit::pear);
    EXPECT_EQ(store->string("fruit"), "pear");
    store->set("fruit", "banana");
    EXPECT_FALSE(core::UserDefaultStorage<Fruit>::load("fruit", *store));
    core::UserDefaultStorage<Level>::save(*store, "level", Level::high);
    EXPECT_EQ(store->integer("level"), 5);
    store->set("level", 3);
    EXPECT_FALSE(core::UserDefaultStorage<Level>::load("level", *store));
}

TEST(UserDefaults, WrappersReadOnceAndWriteThroughEveryTime) {
    auto store = core::UserDefaults::inMemory();
    core::VtUserDefault<std::int64_t> count(3, "count", store);
    EXPECT_EQ(count.wrappedValue(), 3);
    EXPECT_FALSE(store->object("count"));
    count.setWrappedValue(3);
    EXPECT_EQ(store->integer("count"), 3);
    store->set("count", 9);
    EXPECT_EQ(count.wrappedValue(), 3);
    count.modify([](std::int64_t& v) { v += 1; });
    EXPECT_EQ(store->integer("count"), 4);

    store->set("fruit", "banana");
    const auto fruit = core::userDefault(SettingKey::theme, Fruit::apple, store);
    EXPECT_EQ(fruit.wrappedValue(), Fruit::apple);

    auto optional = core::VtOptionalUserDefault<std::string>("name", store);
    EXPECT_FALSE(optional.wrappedValue());
    optional.setWrappedValue("Ada");
    EXPECT_EQ(core::VtOptionalUserDefault<std::string>("name", store).wrappedValue(), "Ada");
    optional.setWrappedValue(std::nullopt);
    EXPECT_FALSE(store->object("name"));
}

struct EmptyPrefix {
    static std::string keyPrefix() { return ""; }
};

TEST(UserDefaults, GroupKeysAndLaunchArguments) {
    EXPECT_EQ(core::groupKey<EmptyPrefix>("k"), "_k");
    auto store = core::UserDefaults::inMemory(
        {"/usr/bin/app", "-theme", "dark", "-launchCount", "12", "-verbose=1", "verbose"});
    EXPECT_EQ(core::loadLaunchArgument<std::optional<std::string>>(SettingKey::theme, store),
              "dark");
    EXPECT_EQ(core::loadLaunchArgument<std::optional<std::int64_t>>(SettingKey::launchCount, store),
              12);
    EXPECT_EQ(core::loadLaunchArgument<std::optional<double>>(SettingKey::launchCount, store),
              12.0);
    // Numeric text given at launch still reads as the text it was, for a text setting.
    EXPECT_EQ(core::loadLaunchArgument<std::optional<std::string>>(SettingKey::launchCount, store),
              "12");
    EXPECT_EQ(core::VtUserDefault<std::string>("none", "launchCount", store).wrappedValue(), "12");
    EXPECT_TRUE(core::loadLaunchArgument<bool>(SettingKey::theme, store));
    // Neither "-verbose=1" nor "verbose" is the switch "-verbose".
    EXPECT_FALSE(core::loadLaunchArgument<bool>(SettingKey::verbose, store));
    // A launch argument wins over the stored value.
    store->set("theme", "light");
    EXPECT_EQ(store->string("theme"), "dark");
    EXPECT_FALSE(core::UserDefaults::processArguments().empty());
}

} // namespace

namespace {

struct Window {
    std::string title;
    double width = 0;
    core::Date opened;

    static Window decode(const core::Json& json, core::JsonDecoder& decoder) {
        return {decoder.decode<std::string>(json, "title"), decoder.decode<double>(json, "width"),
                decoder.decode<core::Date>(json, "opened")};
    }
    core::Json encode(core::JsonEncoder& encoder) const {
        core::Json json;
        encoder.encode(json, "title", title);
        encoder.encode(json, "width", width);
        encoder.encode(json, "opened", opened);
        return json;
    }
};

} // namespace

template <>
inline constexpr bool core::kStoresAsJson<Window> = true;

namespace {

TEST(UserDefaults, CodableValuesAreKeptAsPrettyJson) {
    auto store = core::UserDefaults::inMemory();
    core::UserDefaultStorage<Window>::save(*store, "window", {"Main", 640, core::Date(0)});
    const auto bytes = store->data("window");
    ASSERT_TRUE(bytes);
    const std::string text(bytes->begin(), bytes->end());
    EXPECT_NE(text.find("\"title\" : \"Main\""), std::string::npos);
    EXPECT_NE(text.find("1970-01-01T00:00:00Z"), std::string::npos);
    const auto loaded = core::UserDefaultStorage<Window>::load("window", *store);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->width, 640);

    // A value that cannot be encoded leaves the old entry, with a warning.
    testing::internal::CaptureStdout();
    core::UserDefaultStorage<Window>::save(*store, "window", {"Main", NAN, core::Date(0)});
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[warning]"), std::string::npos);
    EXPECT_EQ(store->data("window"), bytes);

    store->set("window", core::Data{'{', '}'});
    EXPECT_FALSE(core::UserDefaultStorage<Window>::load("window", *store));
    store->set("window", "not bytes");
    EXPECT_FALSE(core::UserDefaultStorage<Window>::load("window", *store));
}

} // namespace

namespace {

TEST(UserDefaults, AnUnreadableFileIsNeverReplaced) {
    TempFolder folder;
    // A folder where the file should be cannot be opened as a file, even by root.
    const auto file = folder.path / "defaults.json";
    fs::create_directories(file / "inside");
    testing::internal::CaptureStdout();
    auto store = core::UserDefaults::open(file);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("cannot be read"), std::string::npos);
    store->set("a", 1);
    EXPECT_EQ(store->integer("a"), 1);
    EXPECT_TRUE(fs::is_directory(file / "inside"));
}

} // namespace
