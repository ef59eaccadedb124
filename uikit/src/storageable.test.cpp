#include "uikit/storageable.hpp"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QWidget>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace {

// A stored preference: decoding counts its calls, and a NaN zoom cannot be encoded.
struct ViewPreferences {
    std::string layout;
    double zoom = 1;

    static inline int decodeCalls = 0;

    static std::string storageKey() { return "viewPreferences"; }
    static ViewPreferences decodeValue(const core::Json& json, core::JsonDecoder& decoder) {
        ++decodeCalls;
        return {decoder.decode<std::string>(json, "layout"), decoder.decode<double>(json, "zoom")};
    }
    core::Json encodeValue(core::JsonEncoder& encoder) const {
        core::Json json;
        encoder.encode(json, "layout", layout);
        encoder.encode(json, "zoom", zoom);
        return json;
    }
    friend bool operator==(const ViewPreferences&, const ViewPreferences&) = default;
};

// Every field optional, so "{}" decodes.
struct Tags {
    std::optional<std::string> first;

    static std::string storageKey() { return "tags"; }
    static Tags decodeValue(const core::Json& json, core::JsonDecoder& decoder) {
        return {decoder.decodeIfPresent<std::string>(json, "first")};
    }
    core::Json encodeValue(core::JsonEncoder& encoder) const {
        core::Json json = core::Json::object();
        encoder.encodeIfPresent(json, "first", first);
        if (first && first->empty()) {
            encoder.throwInvalidValue("an empty tag");
        }
        return json;
    }
};

static_assert(uikit::Storageable<ViewPreferences>);
static_assert(!uikit::Storageable<std::string>);

struct SidebarKey {
    std::string key() const { return "sidebarWidth"; }
};

enum class Theme { light, dark };
enum class Density { compact = 1, regular = 2 };

} // namespace

template <>
struct core::RawValueTraits<Theme> {
    using RawValue = std::string;
    static std::string rawValue(Theme theme) { return theme == Theme::dark ? "dark" : "light"; }
    static std::optional<Theme> fromRawValue(const std::string& raw) {
        if (raw == "dark") {
            return Theme::dark;
        }
        if (raw == "light") {
            return Theme::light;
        }
        return std::nullopt;
    }
};

template <>
struct core::RawValueTraits<Density> {
    using RawValue = int;
    static int rawValue(Density density) { return static_cast<int>(density); }
    static std::optional<Density> fromRawValue(int raw) {
        if (raw == 1 || raw == 2) {
            return static_cast<Density>(raw);
        }
        return std::nullopt;
    }
};

namespace {

TEST(Storageable, RawValueIsCompactJsonAndAnEncodingFailureIsAnEmptyObject) {
    const ViewPreferences preferences{"grid", 1.5};
    EXPECT_EQ(uikit::rawValue(preferences), R"({"layout":"grid","zoom":1.5})");
    EXPECT_EQ(uikit::fromRawValue<ViewPreferences>(uikit::rawValue(preferences)), preferences);

    const ViewPreferences broken{"grid", std::numeric_limits<double>::quiet_NaN()};
    EXPECT_EQ(uikit::rawValue(broken), "{}");
    const ViewPreferences notUtf8{"\xff\xfe", 1};
    EXPECT_EQ(uikit::rawValue(notUtf8), "{}");

    // Saving stores "{}"; it reads back only where "{}" decodes for the type.
    auto store = core::UserDefaults::inMemory();
    uikit::save(broken, *store);
    EXPECT_EQ(store->string("viewPreferences"), "{}");
    EXPECT_FALSE(uikit::load<ViewPreferences>(*store));
    uikit::save(Tags{""}, *store);
    EXPECT_EQ(store->string("tags"), "{}");
    const auto tags = uikit::load<Tags>(*store);
    ASSERT_TRUE(tags);
    EXPECT_FALSE(tags->first);
}

TEST(Storageable, EmptyTextIsNothingAndNeverReachesTheDecoder) {
    auto store = core::UserDefaults::inMemory();
    ViewPreferences::decodeCalls = 0;
    EXPECT_FALSE(uikit::fromRawValue<ViewPreferences>(""));
    EXPECT_FALSE(uikit::load<ViewPreferences>(*store));
    store->set("viewPreferences", "");
    EXPECT_FALSE(uikit::load<ViewPreferences>(*store));
    store->set("viewPreferences", 42);
    EXPECT_FALSE(uikit::load<ViewPreferences>(*store));
    EXPECT_EQ(ViewPreferences::decodeCalls, 0);
}

TEST(Storageable, LoadAgreesWithFromRawValueAndLeavesUndecodableEntriesAlone) {
    auto store = core::UserDefaults::inMemory();
    for (const std::string raw : {R"({"layout":"list","zoom":2})", R"({"layout":"list"})",
                                  "not json", "{}", "[]", R"({"layout":"list","zoom":"big"})"}) {
        store->set("viewPreferences", raw);
        EXPECT_EQ(uikit::load<ViewPreferences>(*store), uikit::fromRawValue<ViewPreferences>(raw))
            << raw;
        EXPECT_EQ(store->string("viewPreferences"), raw);
    }
}

TEST(Storageable, ValuesSurviveInTheUsersSettingsFile) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::filesystem::path file = folder.filePath("defaults.json").toStdString();
    uikit::save(ViewPreferences{"board", 0.75}, *core::UserDefaults::open(file));
    const auto reopened = core::UserDefaults::open(file);
    EXPECT_EQ(uikit::load<ViewPreferences>(*reopened), (ViewPreferences{"board", 0.75}));
    // AppStorage of the type itself reads the same entry.
    const uikit::AppStorage<ViewPreferences> storage(ViewPreferences{"none", 1}, reopened);
    EXPECT_EQ(storage.key(), "viewPreferences");
    EXPECT_EQ(storage.wrappedValue(), (ViewPreferences{"board", 0.75}));
}

TEST(AppStorage, EveryKeyFormReachesTheSameEntryAsItsText) {
    auto store = core::UserDefaults::inMemory();
    const uikit::AppStorage<std::int64_t> byObject(240, SidebarKey{}, store);
    const uikit::AppStorage<std::int64_t> byText(240, "sidebarWidth", store);
    EXPECT_EQ(byObject.wrappedValue(), 240);
    EXPECT_FALSE(store->object("sidebarWidth")); // the initial value is not written
    byObject.setWrappedValue(300);
    EXPECT_EQ(byText.wrappedValue(), 300);
    byText.projectedValue().set(310);
    EXPECT_EQ(byObject.projectedValue().get(), 310);

    const uikit::AppStorage<bool> byRawKey(true, Theme::dark, store);
    EXPECT_EQ(byRawKey.key(), "dark");
    byRawKey.setWrappedValue(false);
    EXPECT_EQ(store->boolValue("dark"), false);
}

TEST(AppStorage, RawValuedTypesAndOptionalsKeepTheirStoredForm) {
    auto store = core::UserDefaults::inMemory();
    const uikit::AppStorage<Theme> theme(Theme::light, "theme", store);
    theme.setWrappedValue(Theme::dark);
    EXPECT_EQ(store->string("theme"), "dark");
    store->set("theme", "sepia");
    EXPECT_EQ(theme.wrappedValue(), Theme::light); // unknown raw value: the initial value

    const uikit::AppStorage<Density> density(Density::regular, "density", store);
    density.setWrappedValue(Density::compact);
    EXPECT_EQ(store->integer("density"), 1);
    store->set("density", std::int64_t{1} << 40);
    EXPECT_EQ(density.wrappedValue(), Density::regular);
    // Cut to the raw type's 32 bits this would read as compact; out of range, it reads as nothing.
    store->set("density", (std::int64_t{1} << 32) + 1);
    EXPECT_EQ(density.wrappedValue(), Density::regular);

    const uikit::AppStorage<std::optional<std::string>> name("name", store);
    const uikit::AppStorage<std::optional<std::int64_t>> count(SidebarKey{}, store);
    EXPECT_FALSE(name.wrappedValue());
    EXPECT_FALSE(count.wrappedValue());
    name.setWrappedValue("Ada");
    EXPECT_EQ(name.wrappedValue(), "Ada");
    name.setWrappedValue(std::nullopt);
    EXPECT_FALSE(store->object("name"));
}

TEST(SceneStorage, EachWindowKeepsItsOwnValuesInMemory) {
    QWidget first;
    auto* inside = new QWidget(&first);
    QWidget second;
    const uikit::SceneStorage<std::string> tab("overview", "tab", *inside);
    const uikit::SceneStorage<std::string> sameWindow("overview", "tab", first);
    const uikit::SceneStorage<std::string> otherWindow("overview", "tab", second);
    tab.setWrappedValue("details");
    EXPECT_EQ(sameWindow.wrappedValue(), "details");
    EXPECT_EQ(otherWindow.wrappedValue(), "overview");
    EXPECT_TRUE(tab.store()->file().empty());
}

} // namespace
