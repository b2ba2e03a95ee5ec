#include "kit/pguitools.h"
#include "kit/pkcontrol.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

namespace
{
std::string order; // every destruction in turn, so a control deleted twice or never shows up

// Shows what it was last set to (-1: nothing yet).
struct FakeControl : pkControl
{
    explicit FakeControl(int i = -1) : id(i) {}
    ~FakeControl() override { order += std::to_string(id) + " "; }
    void setValue(float v) override { shown = v; }
    double getValue() override { return shown; }
    int getType() override { return pctlswitch; }
    int id;
    float shown = -1.0f;
};
} // namespace

TEST(MenuLists, GrowingKeepsTextsAndTagsAndBadListsAreHarmless)
{
    pguitools tools;
    char reused[32]; // the caller's buffer is reused, so the text must be copied
    for (int i = 0; i < 200; ++i)
    {
        std::snprintf(reused, sizeof reused, "%s", i % 5 == 0 ? "" : ("Controller " + std::to_string(i)).c_str());
        tools.pushmenuitem(0, reused, i == 7 ? 70 : pmenuowntag);
    }
    const auto& list = tools.menulists[0];
    ASSERT_EQ(list.count, 200u);
    for (std::uint64_t i = 0; i < 200; ++i) // own tag: the position
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].text.str(), i % 5 == 0 ? "" : "Controller " + std::to_string(i));
        EXPECT_EQ(list[i].tag, i == 7 ? 70 : static_cast<std::int32_t>(i));
    }
    tools.pushmenuitem(6, "lost", 1);
    tools.pushmenuitem(static_cast<unsigned long>(-1), "lost", 1);
    tools.pushmenuitem(5, nullptr, pmenuowntag);
    std::string counts;
    for (std::uint64_t l = 1; l < 6; ++l)
        counts += std::to_string(tools.menulists[l].count);
    EXPECT_EQ(counts, "00001");
    EXPECT_STREQ(tools.menulists[5][0].text.c_str(), "");
}

TEST(ControlHolder, DestructionDeletesEachControlOnceThenTheProxy)
{
    order.clear();
    {
        pguitools tools;
        for (int i = 0; i < 40; ++i)
            tools.controls.append(new FakeControl(i));
        // Radio groups and patch menus point at controls the control list owns.
        auto* group = new pkRadioGroup;
        group->count = 3;
        for (int j = 0; j < 3; ++j)
            group->items[j] = tools.controls[static_cast<std::uint64_t>(10 + j)];
        tools.radiogroups.append(group);
        tools.patchmenus.append(new ppatchmenu);
        tools.patchmenus[0]->itemmap.append(pheadingtag);
        tools.listenerproxy = reinterpret_cast<plistenerproxy*>(&order);
        tools.releaselistenerproxy = [](plistenerproxy*) { order += "proxy"; };
    }
    std::string each; // the listener proxy outlives every widget that might still call it
    for (int i = 0; i < 40; ++i)
        each += std::to_string(i) + " ";
    EXPECT_EQ(order, each + "proxy");
}

// Only the chosen switch of every group with the code lights, the others of those groups go
// dark, and groups with another code keep what they show.
TEST(ControlHolder, LightRadioShowsOnlyTheChosenSwitchOfGroupsWithTheCode)
{
    pguitools tools;
    FakeControl lamps[7];
    const std::tuple<std::int32_t, int, int> groups[] = {{91009, 0, 3}, {91010, 3, 2}, {91009, 5, 2}};
    for (const auto& [tag, first, count] : groups)
    {
        auto* group = new pkRadioGroup;
        group->tag = tag;
        group->count = static_cast<std::uint64_t>(count);
        for (int j = 0; j < count; ++j)
            group->items[j] = &lamps[first + j];
        tools.radiogroups.append(group);
    }
    tools.lightradio(91009, 1);
    tools.lightradio(91011, 0); // no group carries the code
    std::string shown;
    for (const FakeControl& lamp : lamps)
        shown += std::to_string(static_cast<int>(lamp.shown)) + " ";
    EXPECT_EQ(shown, "0 1 0 -1 -1 0 1 ");
    tools.radiogroups.clearAndDestroy(); // the records only; the lamps are the test's
}
