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
struct Ledger
{
    std::multiset<int> destroyed;
    std::vector<std::string> order;
} ledger;

class FakeControl : public pkControl
{
public:
    explicit FakeControl(int i) : id(i) {}
    ~FakeControl() override
    {
        ledger.destroyed.insert(id);
        ledger.order.push_back("control");
    }
    void setValue(float) override {}
    double getValue() override { return 0.0; }
    int getType() override { return pctlknob; }

    int id;
};

void releaseproxy(plistenerproxy*)
{
    ledger.order.push_back("proxy");
}
} // namespace

TEST(MenuLists, GrowingKeepsTextsAndTags)
{
    pguitools tools;
    ASSERT_EQ(tools.menulists[0].capacity, 2u);
    char reused[32];
    for (int i = 0; i < 200; ++i)
    {
        // Every fifth text is empty; the caller's buffer is reused, so the text must be copied.
        std::snprintf(reused, sizeof reused, "%s", i % 5 == 0 ? "" : ("Controller " + std::to_string(i)).c_str());
        tools.pushmenuitem(0, reused, i == 7 ? 70 : pmenuowntag);
    }
    const auto& list = tools.menulists[0];
    ASSERT_EQ(list.count, 200u);
    EXPECT_EQ(list.capacity, 256u);
    for (int i = 0; i < 200; ++i)
    {
        const std::string expected = i % 5 == 0 ? "" : "Controller " + std::to_string(i);
        ASSERT_EQ(list[static_cast<std::uint64_t>(i)].text.str(), expected) << i;
        ASSERT_EQ(list[static_cast<std::uint64_t>(i)].tag, i == 7 ? 70 : i) << i; // own tag: the position
    }
}

TEST(MenuLists, BadListOrNullTextIsHarmless)
{
    pguitools tools;
    tools.pushmenuitem(6, "lost", 1);
    tools.pushmenuitem(static_cast<unsigned long>(-1), "lost", 1);
    tools.pushmenuitem(5, nullptr, pmenuowntag);
    for (const auto& list : tools.menulists)
        EXPECT_LE(list.count, 1u);
    ASSERT_EQ(tools.menulists[5].count, 1u);
    EXPECT_STREQ(tools.menulists[5][0].text.c_str(), "");
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
        tools.listenerproxy = reinterpret_cast<plistenerproxy*>(&ledger);
        tools.releaselistenerproxy = releaseproxy;
    }
    ASSERT_EQ(ledger.destroyed.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(ledger.destroyed.count(i), 1u) << "control " << i;
    // The listener proxy outlives every widget that might still call it.
    ASSERT_EQ(ledger.order.size(), 41u);
    EXPECT_EQ(ledger.order.back(), "proxy");
}
