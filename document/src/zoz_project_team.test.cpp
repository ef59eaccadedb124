#include "document/zoz_project_team.hpp"
#include "document/zoz_model_error.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <thread>

namespace document {
namespace {

TEST(ZozProjectMemberTest, InitialsTakeTheLoweredFirstGraphemeOfEachWord) {
    ZozProjectMember member(1, "Duri Dizir Adova");
    EXPECT_EQ(member.initialsName(), "dda");
    member.setName("Anna Maria Lopez");
    EXPECT_EQ(member.initialsName(), "aml");
    member.setName("  de  la Cruz ");
    EXPECT_EQ(member.initialsName(), "dlc");
    member.setName("\xC3\x89mile"); // "Émile"
    EXPECT_EQ(member.initialsName(), "\xC3\xA9");
    // A decomposed "É" (E + combining acute) is one grapheme and keeps its accent.
    member.setName("E\xCC\x81mile");
    EXPECT_EQ(member.initialsName(), "e\xCC\x81");
    member.setName("   ");
    EXPECT_EQ(member.initialsName(), "");
    member.setName("");
    EXPECT_EQ(member.initialsName(), "");
    // Only U+0020 splits; a tab-only word is blank and skipped, a line break is content.
    member.setName("a\tb \t c");
    EXPECT_EQ(member.initialsName(), "ac");
    member.setName("\nx");
    EXPECT_EQ(member.initialsName(), "\n");
}

TEST(ZozProjectMemberTest, CostRateRules) {
    EXPECT_EQ(ZozProjectMember(1, "a").costRate(), 1.0);
    ZozProjectMember kept(2, "b", {}, {}, -5.0);
    EXPECT_EQ(kept.costRate(), -5.0);
    kept.setCostRate(-5.0);
    EXPECT_EQ(kept.costRate(), 0.0);
    kept.setCostRate(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(kept.costRate(), 0.0);
    kept.setCostRate(42.5);
    EXPECT_EQ(kept.costRate(), 42.5);

    ZozProjectMember source(7, "Eva Ruiz", "p7", "e@x.org", 30.0);
    const auto copy = source.clone();
    source.setName("Other");
    EXPECT_EQ(copy->id(), 7);
    EXPECT_EQ(copy->name(), "Eva Ruiz");
    EXPECT_EQ(copy->initialsName(), "er");
    EXPECT_EQ(copy->photoid(), "p7");
    EXPECT_EQ(copy->email(), "e@x.org");
    EXPECT_EQ(copy->costRate(), 30.0);
}

TEST(ZozProjectTeamTest, IdSequence) {
    ZozProjectTeam team;
    EXPECT_EQ(team.count(), 0U);
    EXPECT_EQ(team.add("a")->id(), 1);
    EXPECT_EQ(team.add("b")->id(), 2);
    EXPECT_EQ(team.add("c")->id(), 3);

    ZozProjectTeam other;
    other.add("one");
    other.add(std::make_shared<ZozProjectMember>(10, "ten"));
    EXPECT_EQ(other.idSeed(), 11);
    other.remove(10);
    EXPECT_EQ(other.add("next")->id(), 2);
    other.clear();
    EXPECT_EQ(other.idSeed(), 1);
    EXPECT_EQ(other.count(), 0U);
}

TEST(ZozProjectTeamTest, LookupsAndExistence) {
    ZozProjectTeam team;
    team.add(std::make_shared<ZozProjectMember>(4, "Anna", std::nullopt, "anna@x.org"));
    team.add(std::make_shared<ZozProjectMember>(4, "Second"));
    EXPECT_EQ(team.get(4)->name(), "Second");
    EXPECT_EQ(team.get(5), nullptr);
    EXPECT_FALSE(team.isMemberNameExist("anna"));
    EXPECT_TRUE(team.isMemberNameExist("Anna"));
    EXPECT_TRUE(team.isMemberEmailExist("anna@x.org"));
    EXPECT_FALSE(team.isMemberEmailExist("bob@x.org"));
    // Removal works from the front: the first member of id 4 goes.
    team.remove(4);
    EXPECT_EQ(team.members().size(), 1U);
    EXPECT_EQ(team.members().front()->name(), "Second");
}

TEST(ZozProjectTeamTest, CloneIsIndependentAndInitByMembersReplaces) {
    ZozProjectTeam team;
    team.add("Ann", {}, {}, 20.0);
    team.add("Bob");
    const auto copy = team.clone();
    team.members().front()->setName("Changed");
    ASSERT_EQ(copy->count(), 2U);
    EXPECT_EQ(copy->members().front()->name(), "Ann");
    EXPECT_EQ(copy->members().front()->costRate(), 20.0);
    EXPECT_EQ(copy->idSeed(), 3);
    EXPECT_EQ(ZozProjectTeam().clone()->idSeed(), 1);

    copy->initByMembers({std::make_shared<ZozProjectMember>(8, "x")});
    EXPECT_EQ(copy->count(), 1U);
    EXPECT_EQ(copy->idSeed(), 9);
}

TEST(ZozProjectTeamTest, ExhaustedSeedIsAnErrorNotAWrap) {
    ZozProjectTeam team;
    team.add(std::make_shared<ZozProjectMember>(std::numeric_limits<std::int64_t>::max(), "top"));
    EXPECT_THROW(team.add("one more"), ZozModelError);
    EXPECT_EQ(team.count(), 1U);
}

TEST(ZozProjectTeamTest, ConcurrentAddsGetDistinctIds) {
    ZozProjectTeam team;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                team.add("m");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<std::int64_t> ids;
    for (const auto& member : team.members()) {
        ids.insert(member->id());
    }
    EXPECT_EQ(ids.size(), 1000U);
    EXPECT_EQ(team.idSeed(), 1001);
}

} // namespace
} // namespace document
