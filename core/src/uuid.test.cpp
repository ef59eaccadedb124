#include "core/uuid.hpp"
#include "core/error.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

namespace {

TEST(Uuid, RandomIsVersion4UpperCaseAndUnique) {
    std::unordered_set<core::Uuid> seen;
    for (int i = 0; i < 1000; ++i) {
        const core::Uuid uuid = core::Uuid::random();
        const std::string text = uuid.uuidString();
        ASSERT_EQ(text.size(), 36U);
        EXPECT_EQ(text[14], '4');
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
        EXPECT_EQ(text.find_first_of("abcdef"), std::string::npos);
        EXPECT_TRUE(seen.insert(uuid).second);
    }
}

TEST(Uuid, ParseRoundTripsAndRejectsMalformedText) {
    const core::Uuid uuid = core::Uuid::random();
    EXPECT_EQ(core::Uuid::parse(uuid.uuidString()), uuid);
    EXPECT_EQ(core::Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")->uuidString(),
              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_FALSE(core::Uuid::parse(""));
    EXPECT_FALSE(core::Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5"));
    EXPECT_FALSE(core::Uuid::parse("E621E1F8XC36C-495A-93FC-0C247A3E6E5F"));
    EXPECT_FALSE(core::Uuid::parse("G621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
}

TEST(Error, GenericDescriptionWhenNoMessage) {
    const core::Error plain("VtError", 3);
    EXPECT_EQ(plain.localizedDescription(),
              "The operation couldn\u2019t be completed. (VtError error 3.)");
    const core::Error worded("ZipError", 0, "File not found.");
    EXPECT_STREQ(worded.what(), "File not found.");
    EXPECT_EQ(core::localizedDescription(std::runtime_error("plain")), "plain");
}

} // namespace
