#include "kit/pguitools.h"
#include "kit/pkcontrol.h"

#include <gtest/gtest.h>

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
};

class FakeControl : public pkControl
{
public:
    FakeControl(Ledger& l, int i) : ledger(l), id(i) {}
    ~FakeControl() override
    {
        ledger.destroyed.insert(id);
        ledger.order.push_back("control");
    }
    void setValue(float v) override { value = v; }
    double getValue() override { return value; }
    int getType() override { return pctlknob; }

    Ledger& ledger;
    int id;
    double value = 0.0;
};
} // namespace

TEST(MenuLists, OwnTagIsThePosition)
{
    pguitools tools;
    tools.pushmenuitem(0, "A", pmenuowntag);
    tools.pushmenuitem(0, "B", 7);
    tools.pushmenuitem(0, "C", pmenuowntag);
    const auto& list = tools.menulists[0];
    ASSERT_EQ(list.count, 3u);
    EXPECT_EQ(list[0].tag, 0);
    EXPECT_EQ(list[1].tag, 7);
    EXPECT_EQ(list[2].tag, 2);
    EXPECT_STREQ(list[2].text.c_str(), "C");
}

TEST(MenuLists, GrowingKeepsTheTexts)
{
    pguitools tools;
    ASSERT_EQ(tools.menulists[3].capacity, 2u);
    tools.pushmenuitem(3, "C", pmenuowntag);
    tools.pushmenuitem(3, "C#", pmenuowntag);
    tools.pushmenuitem(3, "D", pmenuowntag);
    EXPECT_EQ(tools.menulists[3].capacity, 4u);
    EXPECT_STREQ(tools.menulists[3][0].text.c_str(), "C");
    EXPECT_STREQ(tools.menulists[3][1].text.c_str(), "C#");
    EXPECT_STREQ(tools.menulists[3][2].text.c_str(), "D");

    // Many growths: every text stays intact, empty texts stay empty.
    for (int i = 0; i < 200; ++i)
        tools.pushmenuitem(0, i % 5 == 0 ? "" : ("Controller " + std::to_string(i)).c_str(), pmenuowntag);
    ASSERT_EQ(tools.menulists[0].count, 200u);
    EXPECT_EQ(tools.menulists[0].capacity, 256u);
    for (int i = 0; i < 200; ++i)
    {
        const std::string expected = i % 5 == 0 ? "" : "Controller " + std::to_string(i);
        ASSERT_EQ(tools.menulists[0][i].text.str(), expected) << i;
        ASSERT_EQ(tools.menulists[0][i].tag, i);
    }
}

TEST(MenuLists, TextIsCopied)
{
    pguitools tools;
    char text[] = "Sine";
    tools.pushmenuitem(2, text, 1);
    text[0] = 'X';
    EXPECT_STREQ(tools.menulists[2][0].text.c_str(), "Sine");
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

TEST(ControlHolder, StartValues)
{
    pguitools tools;
    EXPECT_EQ(tools.graphrect.left, 369);
    EXPECT_EQ(tools.graphrect.top, 142);
    EXPECT_EQ(tools.graphrect.right, 881);
    EXPECT_EQ(tools.graphrect.bottom, 654);
    EXPECT_EQ(tools.graphrect.right - tools.graphrect.left, 512);
    EXPECT_EQ(tools.graphrect.bottom - tools.graphrect.top, 512);
    EXPECT_EQ(tools.chooserrect.right, 0);
    EXPECT_EQ(tools.historystep, 1.0);
    EXPECT_EQ(tools.historyposition, 0.0);
    EXPECT_EQ(tools.midimenubase, 0);
    EXPECT_EQ(tools.built, 0u);
    EXPECT_EQ(tools.editoropen, 0u);
    EXPECT_EQ(tools.controls.count, 0u);
    EXPECT_EQ(tools.controls.capacity, 2u);
    EXPECT_EQ(tools.patchmenus.capacity, 2u);
    EXPECT_EQ(tools.radiogroups.capacity, 2u);
    EXPECT_EQ(tools.rootcontrol, nullptr);
    EXPECT_EQ(tools.parent.component, nullptr);
    for (const auto& pixel : tools.graphpixels)
        ASSERT_EQ(pixel.load(), 0);
    for (const auto& slot : tools.modulationhistory)
        ASSERT_EQ(slot.load(), 0);
}

TEST(ControlHolder, DestructionDeletesEachControlOnce)
{
    Ledger ledger;
    {
        pguitools tools;
        for (int i = 0; i < 40; ++i)
            tools.controls.append(new FakeControl(ledger, i));
        // Radio groups point at controls the control list owns.
        auto* group = new pkRadioGroup;
        group->count = 3;
        group->tag = 91009;
        for (int j = 0; j < 3; ++j)
            group->items[j] = tools.controls[static_cast<std::uint64_t>(10 + j)];
        tools.radiogroups.append(group);
        tools.radiogroups.append(new pkRadioGroup);
        // Patch menus point at controls too, and own their item maps.
        auto* menu = new ppatchmenu;
        for (int j = 0; j < 9; ++j)
            menu->itemmap.append(j == 0 ? pheadingtag : j);
        tools.patchmenus.append(menu);
        tools.pushmenuitem(5, "Delay 1", 1);
        tools.graphview = nullptr;
    }
    ASSERT_EQ(ledger.destroyed.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(ledger.destroyed.count(i), 1u) << "control " << i;
}

namespace
{
Ledger* proxyledger = nullptr;
void releaseproxy(plistenerproxy*)
{
    proxyledger->order.push_back("proxy");
}
} // namespace

TEST(ControlHolder, ListenerProxyOutlivesTheWidgets)
{
    Ledger ledger;
    proxyledger = &ledger;
    {
        pguitools tools;
        tools.controls.append(new FakeControl(ledger, 1));
        tools.controls.append(new FakeControl(ledger, 2));
        tools.listenerproxy = reinterpret_cast<plistenerproxy*>(&ledger);
        tools.releaselistenerproxy = releaseproxy;
    }
    ASSERT_EQ(ledger.order.size(), 3u);
    EXPECT_EQ(ledger.order.back(), "proxy");
    proxyledger = nullptr;
}

TEST(ControlContract, UnboundControlReportsZeros)
{
    Ledger ledger;
    FakeControl c(ledger, 0);
    EXPECT_EQ(c.tag, 0);
    EXPECT_EQ(c.paramindex, 0);
    EXPECT_EQ(c.ownerkind, 0);
    EXPECT_EQ(c.ownerindex, 0);
    EXPECT_EQ(c.mode, 0);
    EXPECT_EQ(c.voice, 0);
    c.tag = 17;
    EXPECT_EQ(c.getTag(), 17);
    c.setTip(nullptr); // the base ignores tips
    c.setTip("x");
}

TEST(ControlContract, PlainComponent)
{
    pkComponent c;
    pkControl& base = c;
    EXPECT_EQ(base.getType(), pctlcomponent);
    base.setValue(3.0f);
    EXPECT_EQ(base.getValue(), 0.0);
    c.tag = 5;
    EXPECT_EQ(base.getTag(), 0); // a component answers with its own tag
    c.componenttag = 12;
    EXPECT_EQ(base.getTag(), 12);
    EXPECT_EQ(c.component, nullptr);
}
