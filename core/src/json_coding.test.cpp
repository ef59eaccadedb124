#include "core/json_coding.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

namespace {

using core::Data;
using core::Date;
using core::DateDecodingStrategy;
using core::DateEncodingStrategy;
using core::DecodingError;
using core::Json;
using core::JsonDecoder;
using core::JsonEncoder;

Data bytes(std::string_view text) {
    return Data(text.begin(), text.end());
}

std::string text(const Data& data) {
    return std::string(data.begin(), data.end());
}

struct Pet {
    std::string name;
    std::int32_t age = 0;
    static Pet decode(const Json& json, JsonDecoder& decoder) {
        return {decoder.decode<std::string>(json, "name"),
                decoder.decode<std::int32_t>(json, "age")};
    }
    Json encode(JsonEncoder& encoder) const {
        Json json;
        encoder.encode(json, "name", name);
        encoder.encode(json, "age", age);
        return json;
    }
    friend bool operator==(const Pet&, const Pet&) = default;
};

struct Person {
    std::string name;
    Date birthday;
    std::vector<Pet> pets;
    std::optional<std::string> nickname;
    static Person decode(const Json& json, JsonDecoder& decoder) {
        return {decoder.decode<std::string>(json, "name"), decoder.decode<Date>(json, "birthday"),
                decoder.decode<std::vector<Pet>>(json, "pets"),
                decoder.decodeIfPresent<std::string>(json, "nickname")};
    }
    Json encode(JsonEncoder& encoder) const {
        Json json;
        encoder.encode(json, "name", name);
        encoder.encode(json, "birthday", birthday);
        encoder.encode(json, "pets", pets);
        encoder.encodeIfPresent(json, "nickname", nickname);
        return json;
    }
    friend bool operator==(const Person&, const Person&) = default;
};

template <class T>
DecodingError::Code failure(std::string_view json) {
    try {
        (void)core::load<T>(bytes(json), DateDecodingStrategy::deferredToDate());
    } catch (const DecodingError& error) {
        return error.code();
    }
    ADD_FAILURE() << json << " decoded";
    return DecodingError::Code::dataCorrupted;
}

TEST(JsonCoding, DecodingIsStrictAboutKinds) {
    using Code = DecodingError::Code;
    const auto deferred = DateDecodingStrategy::deferredToDate();
    EXPECT_EQ(core::load<std::int64_t>(bytes("42"), deferred), 42);
    EXPECT_EQ(core::load<std::int64_t>(bytes("1.0"), deferred), 1); // exact, so no loss
    EXPECT_EQ(failure<std::int64_t>("1.5"), Code::dataCorrupted);
    EXPECT_EQ(failure<std::int64_t>("true"), Code::typeMismatch);
    EXPECT_EQ(failure<std::int64_t>("\"1\""), Code::typeMismatch);
    EXPECT_EQ(failure<std::int64_t>("9223372036854775808"), Code::dataCorrupted);
    EXPECT_EQ(failure<std::int8_t>("300"), Code::dataCorrupted);
    EXPECT_EQ(failure<std::uint32_t>("-1"), Code::dataCorrupted);
    EXPECT_EQ(failure<bool>("1"), Code::typeMismatch);
    EXPECT_EQ(failure<double>("\"1.5\""), Code::typeMismatch);
    EXPECT_EQ(failure<float>("1e300"), Code::dataCorrupted);
    EXPECT_EQ(failure<std::string>("7"), Code::typeMismatch);
    EXPECT_EQ(failure<std::string>("null"), Code::valueNotFound);
    EXPECT_EQ(failure<core::Uuid>("\"not-a-uuid\""), Code::dataCorrupted);
    EXPECT_EQ(core::load<std::optional<int>>(bytes("null"), deferred), std::nullopt);
    EXPECT_EQ(core::load<std::string>(bytes("\"fragment\""), deferred), "fragment");
    // The whole buffer is one value.
    EXPECT_EQ(failure<int>("1 2"), Code::dataCorrupted);
    EXPECT_EQ(failure<int>(""), Code::dataCorrupted);
    EXPECT_EQ(failure<double>("1e400"), Code::dataCorrupted);
    EXPECT_EQ(failure<Json>(std::string(100000, '[')), Code::dataCorrupted);
    EXPECT_EQ(failure<std::string>("\"\xff\""), Code::dataCorrupted);
}

TEST(JsonCoding, ErrorsNameTheirPath) {
    const auto strategy = DateDecodingStrategy::secondsSince1970();
    try {
        (void)core::load<Person>(
            bytes(
                R"({"name":"A","birthday":0,"pets":[{"name":"x","age":1},{"name":"y","age":true}]})"),
            strategy);
        FAIL();
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.code(), DecodingError::Code::typeMismatch);
        EXPECT_EQ(error.codingPath(), (std::vector<std::string>{"pets", "Index 1", "age"}));
        EXPECT_EQ(error.debugDescription(), "Expected to decode Int32 but found bool instead.");
        EXPECT_EQ(error.localizedDescription(),
                  "The data couldn\u2019t be read because it isn\u2019t in the correct format.");
    }
    try {
        (void)core::load<Person>(bytes(R"({"name":"A","pets":[]})"), strategy);
        FAIL();
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.code(), DecodingError::Code::keyNotFound);
        EXPECT_TRUE(error.codingPath().empty());
    }
}

TEST(JsonCoding, DateStrategiesRoundTrip) {
    const core::ScopedCalendarOverride pin("Europe/Berlin", "en_US");
    const Person person{"Ann", Date(1709571600.0), {{"Rex", 3}, {"Tom", 12}}, "A/nn"};
    auto formatter = std::make_shared<core::DateFormatter>();
    formatter->setDateFormat("yyyy-MM-dd'T'HH:mm:ss");
    const std::vector<std::pair<DateEncodingStrategy, DateDecodingStrategy>> strategies{
        {DateEncodingStrategy::deferredToDate(), DateDecodingStrategy::deferredToDate()},
        {DateEncodingStrategy::secondsSince1970(), DateDecodingStrategy::secondsSince1970()},
        {DateEncodingStrategy::millisecondsSince1970(),
         DateDecodingStrategy::millisecondsSince1970()},
        {DateEncodingStrategy::iso8601(), DateDecodingStrategy::iso8601()},
        {DateEncodingStrategy::formatted(formatter), DateDecodingStrategy::formatted(formatter)},
        {DateEncodingStrategy::custom([](Date date, JsonEncoder&) {
             return Json(std::to_string(date.timeIntervalSince1970()));
         }),
         DateDecodingStrategy::custom([](const Json& json, JsonDecoder& decoder) {
             return Date(std::stod(decoder.decode<std::string>(json)));
         })}};
    for (const auto& [encoding, decoding] : strategies) {
        for (const bool pretty : {false, true}) {
            const Data data = core::jsonData(person, encoding, pretty);
            EXPECT_EQ(core::load<Person>(data, decoding), person) << text(data);
        }
    }
    const auto birthday = [&](const DateEncodingStrategy& strategy) {
        return core::jsonData(person.birthday, strategy, false);
    };
    EXPECT_EQ(text(birthday(DateEncodingStrategy::deferredToDate())), "731264400");
    EXPECT_EQ(text(birthday(DateEncodingStrategy::iso8601())), "\"2024-03-04T17:00:00Z\"");
    EXPECT_EQ(text(birthday(DateEncodingStrategy::formatted(formatter))),
              "\"2024-03-04T18:00:00\"");
    const auto iso = DateDecodingStrategy::iso8601();
    EXPECT_EQ(core::load<Date>(bytes("\"2024-03-04T18:00:00+01:00\""), iso), person.birthday);
    EXPECT_THROW((void)core::load<Date>(bytes("\"2024-02-30T18:00:00Z\""), iso), DecodingError);
    EXPECT_THROW((void)core::load<Date>(bytes("\"2024-03-04 18:00:00Z\""), iso), DecodingError);
    EXPECT_EQ(core::load<Date>(bytes("\"2024-03-04T18:00:00\""),
                               DateDecodingStrategy::formatted(formatter)),
              person.birthday);
    EXPECT_THROW((void)core::load<Date>(bytes("\"2024-03-04T18:00:00.000Z\""),
                                        DateDecodingStrategy::formatted(formatter)),
                 DecodingError);
}

TEST(JsonCoding, UserInfoReachesTheDecoderOnlyWhenItHasEntries) {
    struct Probe {
        std::size_t entries = 0;
        static Probe decode(const Json&, JsonDecoder& decoder) {
            return {decoder.userInfo().size()};
        }
    };
    const auto strategy = DateDecodingStrategy::deferredToDate();
    EXPECT_EQ(core::load<Probe>(bytes("{}"), strategy).entries, 0U);
    EXPECT_EQ(core::load<Probe>(bytes("{}"), strategy, core::JsonUserInfo{}).entries, 0U);
    EXPECT_EQ(core::load<Probe>(bytes("{}"), strategy, core::JsonUserInfo{{"k", 1}}).entries, 1U);
}

TEST(JsonCoding, WritesThePlatformLayoutAndKeepsEveryValue) {
    Json value = Json::object();
    value["z"] = 1;
    value["a"] = Json::array({1, 2});
    value["c"] = Json::object();
    value["d"] = "x/y \"q\" \n é";
    value["e"] = Json::array();
    EXPECT_EQ(core::writeJson(value, false),
              "{\"z\":1,\"a\":[1,2],\"c\":{},\"d\":\"x\\/y \\\"q\\\" \\n é\",\"e\":[]}");
    EXPECT_EQ(core::writeJson(value, true), "{\n"
                                            "  \"z\" : 1,\n"
                                            "  \"a\" : [\n"
                                            "    1,\n"
                                            "    2\n"
                                            "  ],\n"
                                            "  \"c\" : {\n"
                                            "\n"
                                            "  },\n"
                                            "  \"d\" : \"x\\/y \\\"q\\\" \\n é\",\n"
                                            "  \"e\" : [\n"
                                            "\n"
                                            "  ]\n"
                                            "}");
    Json numbers = Json::array({std::numeric_limits<std::int64_t>::min(),
                                std::numeric_limits<std::int64_t>::max(),
                                std::numeric_limits<std::uint64_t>::max(), 0.1, 1e-300, -0.0, 2.5,
                                1e21, std::string("\x01\t\u2028"), true, nullptr});
    const Json back = core::parseJson(core::writeJson(numbers, false));
    EXPECT_EQ(back, numbers);
    EXPECT_TRUE(std::signbit(back[5].get<double>()));
    EXPECT_EQ(core::writeJson(Json(100.0), false), "100");
    // Deep but legal nesting is written without recursion.
    Json deep = Json::array();
    Json* cursor = &deep;
    for (int i = 0; i < 500; ++i) {
        cursor->push_back(Json::array());
        cursor = &cursor->back();
    }
    EXPECT_EQ(core::parseJson(core::writeJson(deep, true)), deep);
}

TEST(JsonCoding, EncodingFailuresAndTextEncodings) {
    const auto deferred = DateEncodingStrategy::deferredToDate();
    EXPECT_THROW((void)core::jsonData(std::vector<double>{1.0, NAN}, deferred, false),
                 core::EncodingError);
    EXPECT_THROW((void)core::jsonData(std::string("\xc3"), deferred, false), core::EncodingError);
    const Person person{"Zoë", Date(0), {}, std::nullopt};
    const std::string utf8 = core::jsonString(person, deferred, core::TextEncoding::utf8, true);
    EXPECT_EQ(utf8, text(core::jsonData(person, deferred, true)));
    EXPECT_EQ(utf8.find("nickname"), std::string::npos);
    try {
        (void)core::jsonString(person, deferred, core::TextEncoding::ascii, false);
        FAIL();
    } catch (const core::SwJsonError& error) {
        EXPECT_EQ(error, core::SwJsonError());
        EXPECT_EQ(std::hash<core::SwJsonError>{}(error), std::hash<int>{}(0));
        EXPECT_EQ(error.localizedDescription(),
                  "The operation couldn\u2019t be completed. (VtUtility.SwJsonError error 0.)");
    }
    EXPECT_EQ(core::jsonString(Pet{"Rex", 2}, deferred, core::TextEncoding::ascii, false),
              R"({"name":"Rex","age":2})");
}

TEST(JsonCoding, FilesAreReadWholeAndWrittenOnlyWhenEncodingSucceeds) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("json-coding-" + core::Uuid::random().uuidString());
    std::filesystem::create_directories(folder);
    const auto file = folder / "pets.json";
    const auto deferredOut = DateEncodingStrategy::deferredToDate();
    const auto deferredIn = DateDecodingStrategy::deferredToDate();
    EXPECT_THROW((void)core::save(std::vector<double>{NAN}, file, deferredOut, false),
                 core::EncodingError);
    EXPECT_FALSE(std::filesystem::exists(file));
    const std::vector<Pet> pets{{"Rex", 3}};
    core::save(pets, file, deferredOut, true, {.atomic = true});
    EXPECT_EQ(core::load<std::vector<Pet>>(file, deferredIn), pets);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_THROW(core::save(pets, file, deferredOut, false, {.withoutOverwriting = true}),
                 std::filesystem::filesystem_error);
    EXPECT_THROW(
        core::save(pets, file, deferredOut, false, {.atomic = true, .withoutOverwriting = true}),
        std::filesystem::filesystem_error);
    core::save(std::vector<Pet>{}, file, deferredOut, false);
    EXPECT_TRUE(core::load<std::vector<Pet>>(file, deferredIn).empty());
    EXPECT_THROW((void)core::load<std::vector<Pet>>(folder / "missing.json", deferredIn),
                 std::filesystem::filesystem_error);
    EXPECT_THROW((void)core::load<std::vector<Pet>>(folder, deferredIn),
                 std::filesystem::filesystem_error);
    std::filesystem::remove_all(folder);
}

} // namespace
