#include "core/repeater.hpp"
#include "core/email_address.hpp"
#include "core/json_coding.hpp"
#include "core/random_string.hpp"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace core;

TEST(Repeater, NegativeCountsRunNothingButFinally) {
    EXPECT_EQ(Repeater(-3).count(), 0);
    EXPECT_EQ(times(-3).count(), 0);
    int calls = 0;
    int finals = 0;
    times(-3).run([&] { ++calls; });
    times(-3).run([&](std::int64_t) { ++calls; }, [&] { ++finals; });
    EXPECT_TRUE(times(-3).map([] { return 1; }).empty());
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(finals, 1);

    std::vector<std::int64_t> order;
    times(3).run([&](std::int64_t i) { order.push_back(i); }, [&] { order.push_back(-1); });
    EXPECT_EQ(order, (std::vector<std::int64_t>{0, 1, 2, -1}));
    EXPECT_EQ(times(5).map([](std::int64_t i) { return i * 10; }),
              (std::vector<std::int64_t>{0, 10, 20, 30, 40}));
    EXPECT_EQ(times(2).map([] { return std::string("x"); }), (std::vector<std::string>{"x", "x"}));

    int ran = 0;
    EXPECT_THROW(times(5).run([&](std::int64_t i) {
        ++ran;
        if (i == 1) {
            throw std::runtime_error("stop");
        }
    }),
                 std::runtime_error);
    EXPECT_EQ(ran, 2);
}

TEST(RandomString, LengthsAndAlphabet) {
    EXPECT_EQ(randomString(0), "");
    EXPECT_EQ(randomString(-2), "");
    EXPECT_EQ(randomString(5, 3).size(), 5U);
    EXPECT_EQ(randomString(2, 0), "");
    EXPECT_EQ(randomString(4, 4).size(), 4U);
    std::set<std::size_t> lengths;
    std::set<char> characters;
    for (int i = 0; i < 400; ++i) {
        const std::string text = randomString(1, 3);
        lengths.insert(text.size());
        characters.insert(text.begin(), text.end());
    }
    EXPECT_EQ(lengths, (std::set<std::size_t>{1, 2, 3}));
    for (const char c : randomString(2000)) {
        characters.insert(c);
    }
    EXPECT_EQ(characters.size(), 62U);
    EXPECT_TRUE(std::all_of(characters.begin(), characters.end(),
                            [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }));
}

TEST(EmailAddress, AcceptsExactlyOneWholeAddress) {
    for (const char* good : {"john.appleseed@example.com", "a+tag@mail.example.co.uk",
                             "mailto:someone@example.org", "x_y-z@sub-domain.example.io"}) {
        const auto address = EmailAddress::fromRawValue(good);
        ASSERT_TRUE(address) << good;
        EXPECT_EQ(address->rawValue(), good);
    }
    for (const char* bad :
         {"", " john@example.com", "john@example.com ", "john@example.com jane@example.com",
          "https://example.com", "www.example.com", "john@", "@example.com", "john@example",
          "john..doe@example.com", ".john@example.com", "john@-example.com", "john@example.c0m",
          "john@@example.com", "jo hn@example.com", "j\u00F6hn@example.com", "john@example..com",
          "john@example.com.", "mailto:"}) {
        EXPECT_FALSE(EmailAddress::fromRawValue(bad)) << bad;
    }
}

TEST(EmailAddress, JsonFormIsOneString) {
    const nlohmann::json encoded = EmailAddress::literal("a@b.cd");
    EXPECT_EQ(encoded.dump(), "\"a@b.cd\"");
    EXPECT_EQ(nlohmann::json("x@example.com").get<EmailAddress>().rawValue(), "x@example.com");
    EXPECT_THROW((void)nlohmann::json("not an address").get<EmailAddress>(),
                 nlohmann::json::other_error);
    EXPECT_THROW((void)nlohmann::json(5).get<EmailAddress>(), nlohmann::json::type_error);
    EXPECT_EQ(EmailAddress::literal("unchecked").rawValue(), "unchecked");
    // The JSON helpers read and write it the same way.
    const auto strategy = DateDecodingStrategy::deferredToDate();
    const auto load = [&](std::string_view text) {
        return core::load<std::vector<EmailAddress>>(Data(text.begin(), text.end()), strategy);
    };
    EXPECT_EQ(load(R"(["x@example.com"])").at(0).rawValue(), "x@example.com");
    EXPECT_THROW((void)load(R"(["not an address"])"), DecodingError);
    EXPECT_THROW((void)load("[5]"), DecodingError);
    const Data bytes =
        jsonData(EmailAddress::literal("a@b.cd"), DateEncodingStrategy::deferredToDate(), false);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "\"a@b.cd\"");
}

} // namespace
