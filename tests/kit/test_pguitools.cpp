#include "kit/pguitools.h"
#include "kit/pkcontrol.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace
{
// Records every destruction, so a control deleted twice or never shows up.
std::multiset<int> destroyed;
std::vector<std::string> order;

struct FakeControl : pkControl
{
    explicit FakeControl(int i) : id(i) {}
    ~FakeControl() override { destroyed.insert(id), order.push_back("control"); }
    void setValue(float) override {}
    double getValue() override { return 0.0; }
    int getType() override { return pctlknob; }
    int id;
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
    for (int i = 0; i < 200; ++i)
    {
        ASSERT_EQ(list[static_cast<std::uint64_t>(i)].text.str(), i % 5 == 0 ? "" : "Controller " + std::to_string(i));
        ASSERT_EQ(list[static_cast<std::uint64_t>(i)].tag, i == 7 ? 70 : i) << i; // own tag: the position
    }

    tools.pushmenuitem(6, "lost", 1);
    tools.pushmenuitem(static_cast<unsigned long>(-1), "lost", 1);
    tools.pushmenuitem(5, nullptr, pmenuowntag);
    ASSERT_EQ(tools.menulists[5].count, 1u);
    EXPECT_STREQ(tools.menulists[5][0].text.c_str(), "");
    for (std::uint64_t l = 1; l < 5; ++l)
        EXPECT_EQ(tools.menulists[l].count, 0u);
}

TEST(ControlHolder, DestructionDeletesEachControlOnceThenTheProxy)
{
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
        tools.releaselistenerproxy = [](plistenerproxy*) { order.push_back("proxy"); };
    }
    std::multiset<int> each;
    for (int i = 0; i < 40; ++i)
        each.insert(i);
    EXPECT_EQ(destroyed, each);
    // The listener proxy outlives every widget that might still call it.
    ASSERT_EQ(order.size(), 41u);
    EXPECT_EQ(order.back(), "proxy");
}
