#include "document/json_coding.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using document::decodeJsonDate;
using document::decodeJsonProject;
using document::encodeJsonDate;
using document::JsonCodingError;
using document::JsonProject;
using document::JsonTask;

JsonProject decode(const std::string& text) {
    auto project = decodeJsonProject(text);
    EXPECT_TRUE(project.has_value());
    return project.value_or(JsonProject{});
}

JsonCodingError::Code failure(const std::string& text) {
    try {
        decodeJsonProject(text);
    } catch (const JsonCodingError& error) {
        return error.code();
    }
    ADD_FAILURE() << "decoded: " << text;
    return JsonCodingError::Code::notEncodable;
}

std::string withTask(const std::string& fields) {
    return R"({"Uid":"p","Root":{"Uid":1,"Childs":[{"Uid":2,)" + fields + "}]}}";
}

class JsonCoding : public ::testing::Test {
protected:
    core::ScopedCalendarOverride m_zone{"Europe/Berlin", "en_US"};
};

TEST_F(JsonCoding, StrictKindsFailTheWholeDocument) {
    using Code = JsonCodingError::Code;
    EXPECT_EQ(failure(withTask(R"("Comp":50.5)")), Code::typeMismatch);
    EXPECT_EQ(failure(withTask(R"("Type":3)")), Code::dataCorrupted);
    EXPECT_EQ(failure(withTask(R"("Type":-1)")), Code::dataCorrupted);
    EXPECT_EQ(failure(withTask(R"("Type":"1")")), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"LinkS":1})"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"Name":5})"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"WkHrs":"8"})"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"Ples":[{"Id":1},3]})"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"Ples":{"Id":1}})"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"Root":[]})"), Code::typeMismatch);
    EXPECT_EQ(failure(withTask(R"("Pred":[1,null])")), Code::typeMismatch);
    EXPECT_EQ(failure(withTask(R"("Pred":[1.5])")), Code::typeMismatch);
    EXPECT_EQ(failure(withTask(R"("Res":[{"Pid":true,"WL":50}])")), Code::typeMismatch);
    EXPECT_EQ(failure(withTask(R"("Cost":{"Auto":1})")), Code::typeMismatch);
    EXPECT_EQ(failure(withTask(R"("Childs":[5])")), Code::typeMismatch);
    EXPECT_EQ(failure(withTask(R"("Start":20210102)")), Code::typeMismatch);
    EXPECT_EQ(failure(withTask(R"("url1":{"url":7})")), Code::typeMismatch);
    EXPECT_EQ(failure("[]"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"Uid":"p",)"), Code::invalidSyntax);
    EXPECT_EQ(failure("not json"), Code::invalidSyntax);
    EXPECT_EQ(failure(""), Code::invalidSyntax);
}

TEST_F(JsonCoding, NumbersAreExactOrRefused) {
    using Code = JsonCodingError::Code;
    // Integers: beyond int64, non-integral or non-finite never truncate.
    EXPECT_EQ(failure(R"({"LinkT":9223372036854775808})"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"LinkT":18446744073709551616})"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"LinkT":1e30})"), Code::typeMismatch);
    EXPECT_EQ(failure(R"({"LinkT":9.2233720368547758e18})"), Code::typeMismatch);
    EXPECT_EQ(decode(R"({"LinkT":9223372036854775807})").taskLinkType,
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(decode(R"({"LinkT":-9223372036854775808})").taskLinkType,
              std::numeric_limits<std::int64_t>::min());
    // A whole-valued float is the same integer and is taken.
    EXPECT_EQ(decode(R"({"LinkT":1.0})").taskLinkType, 1);
    EXPECT_EQ(decode(withTask(R"("Comp":50.0)")).root->treeChildren()[0].completedPercent, 50);
    // Ids and percentages have bounds that keep the model's arithmetic exact.
    EXPECT_EQ(failure(withTask(R"("Comp":1000000001)")), Code::dataCorrupted);
    EXPECT_EQ(failure(R"({"Ples":[{"Id":9007199254740992,"Nm":"a"}]})"), Code::dataCorrupted);
    EXPECT_EQ(failure(withTask(R"("Pred":[-9007199254740992])")), Code::dataCorrupted);
    // Numbers that do not fit a double are a syntax error of the text itself.
    EXPECT_EQ(failure(R"({"WkHrs":1e400})"), Code::invalidSyntax);
    EXPECT_EQ(failure(R"({"WkHrs":NaN})"), Code::invalidSyntax);
    // Doubles take integers.
    EXPECT_EQ(decode(R"({"WkHrs":8})").dailyWorkingHours, 8.0);
    EXPECT_EQ(decode(R"({"WkHrs":18446744073709551615})").dailyWorkingHours, 1.8446744073709552e19);
}

TEST_F(JsonCoding, AbsenceNullUnknownAndRepeatedKeys) {
    const JsonProject empty = decode("{}");
    EXPECT_FALSE(empty.uniqueId || empty.name || empty.root || empty.peoples || empty.calendar ||
                 empty.dailyWorkingHours || empty.lastUpdate || empty.taskLinkType);
    EXPECT_FALSE(decodeJsonProject("null").has_value());
    EXPECT_FALSE(decodeJsonProject("  null  ").has_value());

    const JsonProject p = decode(
        R"({"UID":"x","uid":"y","Uid":"a","Name":null,"Root":{"Uid":1,"Type":null,"Childs":[]},
            "Ver":"1","Ver":"2"})");
    EXPECT_EQ(p.uniqueId, "a");
    EXPECT_FALSE(p.name);
    EXPECT_EQ(p.version, "2");
    ASSERT_TRUE(p.root);
    EXPECT_FALSE(p.root->type);
    EXPECT_FALSE(p.root->treeHasChildren());
    EXPECT_TRUE(p.root->childs && p.root->childs->empty());

    // Whatever sits under unknown keys is skipped unread, at any depth; null objects are absent.
    const JsonProject q = decode(
        R"({"Extra":{"Root":{"Uid":"bad"},"Ples":7},"More":[1,{"a":[true]}],"Uid":"q",
            "Root":{"Uid":1,"Work":null,"Childs":null,"Res":null,"x":{"Type":9},
                    "Cost":{"Labc":1,"Auto":null,"y":[{}]}},"Ples":[{"Id":1,"z":{"Id":"no"}}]})");
    EXPECT_EQ(q.uniqueId, "q");
    ASSERT_TRUE(q.root);
    EXPECT_FALSE(q.root->work || q.root->childs || q.root->resources);
    EXPECT_EQ(q.root->cost->laborCost, 1.0);
    EXPECT_FALSE(q.root->cost->isFixLaborCost);
    EXPECT_EQ(q.peoples->at(0).id, 1);
    EXPECT_FALSE(decode(R"({"Root":null})").root);
}

TEST_F(JsonCoding, NestingIsLimitedWithoutRecursion) {
    // Nesting under an unknown key counts as much as anywhere else.
    std::string deep = R"({"x":)";
    deep.append(100'000, '[').append(100'000, ']').append("}");
    EXPECT_EQ(failure(deep), JsonCodingError::Code::tooDeep);

    // A task chain a million levels deep: refused by the depth limit, quickly.
    std::string chain;
    constexpr int kLevels = 1'000'000;
    chain.reserve(kLevels * 12 + 32);
    chain += R"({"Uid":"p","Root":)";
    for (int i = 0; i < kLevels; ++i) {
        chain += R"({"Childs":[)";
    }
    chain += std::string(kLevels, ']') + std::string(kLevels, '}');
    EXPECT_EQ(failure(chain), JsonCodingError::Code::tooDeep);

    // The deepest tree the limit admits decodes, and encodes back.
    std::string ok = R"({"Root":)";
    const int levels = (static_cast<int>(document::kMaxJsonDepth) - 2) / 2;
    for (int i = 0; i < levels; ++i) {
        ok += R"({"Uid":)" + std::to_string(i) + R"(,"Childs":[)";
    }
    ok += R"({"Uid":-1})";
    for (int i = 0; i < levels; ++i) {
        ok += "]}";
    }
    ok += "}";
    const JsonProject project = decode(ok);
    EXPECT_NO_THROW(document::encodeJsonProjectText(project));
}

TEST_F(JsonCoding, DatesInTheShortAndLongForms) {
    const auto berlin = core::Calendar::current();
    const auto at = [&](int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
        return *berlin.dateFromLocal(y, mo, d, h, mi, s);
    };
    EXPECT_EQ(decodeJsonDate("2021-01-02"), at(2021, 1, 2));
    EXPECT_EQ(decodeJsonDate("2021-01-02T18:00:00"), at(2021, 1, 2, 18));
    // Only the first 19 characters count: the zone letter is not honoured.
    EXPECT_EQ(decodeJsonDate("2021-01-02T18:00:00.000Z"), at(2021, 1, 2, 18));
    EXPECT_EQ(decodeJsonDate("2024-02-29"), at(2024, 2, 29));

    const auto message = [](const std::string& text) {
        try {
            decodeJsonDate(text);
        } catch (const JsonCodingError& error) {
            return std::string(error.what());
        }
        return std::string("decoded");
    };
    EXPECT_EQ(message("2021-01-02 18:00:00"), "Cannot decode date string 2021-01-02 18:00:00");
    EXPECT_EQ(message(""), "Cannot decode date string ");
    EXPECT_EQ(message("2021-13-01"), "Cannot decode date string 2021-13-01");
    EXPECT_EQ(message("2021-02-30"), "Cannot decode date string 2021-02-30");
    EXPECT_EQ(message("2023-02-29"), "Cannot decode date string 2023-02-29");
    EXPECT_EQ(message("2021-1-2"), "Cannot decode date string 2021-1-2");
    EXPECT_EQ(message("2021-01-02T24:00:00"), "Cannot decode date string 2021-01-02T24:00:00");
    EXPECT_EQ(message("+021-01-02"), "Cannot decode date string +021-01-02");
    EXPECT_EQ(message("2021-01-02T18:00:0"), "Cannot decode date string 2021-01-02T18:00:0");
    EXPECT_EQ(message("2021-01-02T18:00:00\xC3\xA9"), "decoded");

    // A wall time in the spring gap resolves forward; the autumn hour repeats.
    EXPECT_EQ(decodeJsonDate("2024-03-31T02:30:00"), at(2024, 3, 31, 3, 30));
    EXPECT_EQ(decodeJsonDate("2024-03-31T02:30:00")
                  .timeIntervalSince(decodeJsonDate("2024-03-31T01:30:00")),
              3600.0);

    // Round trips to the second on both sides of each change, fractions dropped.
    for (const char* text : {"2024-03-30T12:00:00", "2024-03-31T00:00:00", "2024-03-31T03:00:00",
                             "2024-04-01T00:00:00", "2024-10-27T02:30:00", "2024-10-28T00:00:00",
                             "0001-01-01T00:00:00", "9999-12-31T23:59:59"}) {
        EXPECT_EQ(encodeJsonDate(decodeJsonDate(text)), text);
    }
    const core::Date noon = at(2024, 3, 31, 12);
    EXPECT_EQ(encodeJsonDate(core::Date(noon.timeIntervalSince1970() + 0.75)),
              "2024-03-31T12:00:00");
    EXPECT_FALSE(encodeJsonDate(core::Date(std::nan(""))));
    EXPECT_FALSE(encodeJsonDate(core::Date(1e15)));
    EXPECT_FALSE(encodeJsonDate(core::Date(at(1, 1, 1).timeIntervalSince1970() - 1)));

    using Code = JsonCodingError::Code;
    EXPECT_EQ(failure(withTask(R"("Start":"2021-01-02 18:00:00")")), Code::dataCorrupted);
    EXPECT_EQ(failure(R"({"LstUpd":""})"), Code::dataCorrupted);
    EXPECT_EQ(failure(R"({"OriTm":12})"), Code::typeMismatch);
}

TEST_F(JsonCoding, EncoderWritesTableOrderNoNullAndRoundTrips) {
    const std::string text = R"({"Uid":"P","Name":"Plan","Ver":"3","Color":2,"ColorV2":42,
        "Image":"cover","Ples":[{"Id":1,"Nm":"Ann Lee","Pt":"ph1","Em":"a@x.org","Cr":12.5},
        {"Id":2,"Nm":"Bo"}],"Cal":"8766;8767",
        "Root":{"Uid":0,"Type":2,"Name":"Plan","Start":"2024-01-01T00:00:00",
          "Finish":"2024-02-01T00:00:00","Comp":10,"Cost":{},"Clps":false,"Childs":[
          {"Uid":1,"Type":0,"Name":"A","Start":"2024-01-01T00:00:00","Finish":"2024-01-05T00:00:00",
           "Comp":50,"Res":[{"Pid":1,"WL":50},{"Pid":2,"WL":100}],"Work":{"WT":2,"Work":40.5},
           "Phys":20,"Ctor":1,"Cost":{"Auto":true,"Labc":250,"Mats":12.25},"Color":1,
           "ColorV2":89,"Icon":3,"Note":"n/1","Pred":[2],
           "DateBaseline":{"start":"2024-01-01T00:00:00","finish":"2024-01-04T00:00:00"},
           "url1":{"title":"Brief","url":"https://x.org/a"},"url2":{"url":"https://x.org/b"},
           "Clps":true},
          {"Uid":2,"Type":1,"Name":"M","Start":"2024-01-09T00:00:00",
           "Finish":"2024-01-10T00:00:00","Cost":{"Mats":1}}]},
        "LstUpd":"2024-01-02T10:11:12","Dvc":"box","Note":"notes","DftCr":1.5,"CurFmt":true,
        "Currency":"€","WkHrs":7.5,"Scale":2,"OriTm":"2024-01-01T00:00:00","OffY":-3.5,
        "LinkT":1,"LinkS":true,"WkOnly":false,"Author":"Me","Banner":"ban"})";
    const JsonProject project = decode(text);
    const std::string written = document::encodeJsonProjectText(project);
    EXPECT_EQ(written.find("null"), std::string::npos);
    // Keys follow the table order.
    EXPECT_LT(written.find("\"Uid\""), written.find("\"Name\""));
    EXPECT_LT(written.find("\"Cal\""), written.find("\"Root\""));
    EXPECT_LT(written.find("\"Root\""), written.find("\"LstUpd\""));
    EXPECT_LT(written.rfind("\"Childs\""), written.rfind("\"Clps\""));
    // Decoding what was written gives the same text again.
    const JsonProject again = decode(written);
    EXPECT_EQ(document::encodeJsonProjectText(again), written);
    EXPECT_EQ(again.root->treeChildren()[0].cost->laborCost, 250.0);
    EXPECT_EQ(again.root->treeChildren()[0].url2->title, std::nullopt);
    EXPECT_EQ(again.peoples->at(0).costRate, 12.5);
    EXPECT_EQ(again.currency, "€");
    EXPECT_EQ(document::encodeJsonProjectText(again, false).find('\n'), std::string::npos);
}

TEST_F(JsonCoding, NonFiniteOrUnwritableValuesGiveNoText) {
    JsonProject project("P", "Plan");
    EXPECT_TRUE(document::encodeJsonProject({project}));
    EXPECT_FALSE(document::encodeJsonProject({}));
    project.defaultCostRate = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(document::encodeJsonProject({project}));
    project.defaultCostRate = 1.0;
    JsonTask root;
    root.uid = 1;
    root.cost = document::JsonCost{true, std::numeric_limits<double>::infinity(), {}};
    project.root = root;
    EXPECT_FALSE(document::encodeJsonProject({project}));
    project.root->cost.reset();
    project.notes = std::string("\xFF\xFE");
    EXPECT_FALSE(document::encodeJsonProject({project}));
    project.notes.reset();
    project.lastUpdate = core::Date(1e14);
    EXPECT_FALSE(document::encodeJsonProject({project}));
}

TEST(JsonCodingType, ZozExtensionInAnyCase) {
    EXPECT_TRUE(document::hasZozExtension("/a/b/plan.zoz"));
    EXPECT_TRUE(document::hasZozExtension("PLAN.ZOZ"));
    EXPECT_FALSE(document::hasZozExtension("plan.zoz.zip"));
    EXPECT_FALSE(document::hasZozExtension("zoz"));
    EXPECT_EQ(document::kZozTypeIdentifier, "com.zidavoze.dezuduz.zoz");
}

} // namespace
