// The menu string lists the processor fills at construction.
#include "kit/pguitools.h"
#include "plugin/pmenulists.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string text(const pguitools& tools, std::uint64_t list, std::uint64_t entry)
{
    return tools.menulists[list][entry].text.str();
}

TEST(menulists, MidiSourcesAreThreeFixedEntriesThenThirtyTwoControllers)
{
    pguitools tools;
    pfillmenulists(tools);
    const auto& list = tools.menulists[pmenumidisources];
    ASSERT_EQ(list.count, 35u);
    EXPECT_EQ(tools.midimenubase, 3);
    EXPECT_EQ(text(tools, pmenumidisources, 0), "Pitch Wheel");
    EXPECT_EQ(text(tools, pmenumidisources, 1), "MIDI Keys Mode");
    EXPECT_EQ(text(tools, pmenumidisources, 2), "Velocity Mode");
    EXPECT_EQ(text(tools, pmenumidisources, 3), "0 Bank Select");
    EXPECT_EQ(text(tools, pmenumidisources, 4), "1 Modulation Wheel");
    EXPECT_EQ(text(tools, pmenumidisources, 3 + 7), "7 Channel Volume");
    EXPECT_EQ(text(tools, pmenumidisources, 3 + 11), "11 Expression Controller");
    EXPECT_EQ(text(tools, pmenumidisources, 3 + 19), "19 General Controller 4");
    EXPECT_EQ(text(tools, pmenumidisources, 34), "31 Undefined");
    for (std::uint64_t i = 0; i < list.count; ++i)
        EXPECT_EQ(list[i].tag, static_cast<std::int32_t>(i));
}

TEST(menulists, HostParameterNumbersAreZeroToThirtyOne)
{
    pguitools tools;
    pfillmenulists(tools);
    const auto& list = tools.menulists[pmenuhostparams];
    ASSERT_EQ(list.count, 32u);
    for (std::uint64_t i = 0; i < list.count; ++i)
    {
        EXPECT_EQ(list[i].text.str(), std::to_string(i));
        EXPECT_EQ(list[i].tag, static_cast<std::int32_t>(i));
    }
}

TEST(menulists, ShapesAndKeys)
{
    pguitools tools;
    pfillmenulists(tools);
    ASSERT_EQ(tools.menulists[pmenulfoshapes].count, 3u);
    EXPECT_EQ(text(tools, pmenulfoshapes, 0), "LFO:Sine");
    EXPECT_EQ(text(tools, pmenulfoshapes, 2), "LFO:Random");
    ASSERT_EQ(tools.menulists[pmenukeys].count, 12u);
    EXPECT_EQ(text(tools, pmenukeys, 0), "Key:C");
    EXPECT_EQ(text(tools, pmenukeys, 1), "Key:C#");
    EXPECT_EQ(text(tools, pmenukeys, 11), "Key:B");
    EXPECT_EQ(tools.menulists[pmenuunused].count, 0u);
    EXPECT_EQ(tools.menulists[pmenuscratch].count, 0u);
}

TEST(menulists, RefillingReplacesRatherThanAppends)
{
    pguitools tools;
    tools.pushmenuitem(pmenukeys, "stale", pmenuowntag);
    tools.pushmenuitem(pmenuscratch, "scratch", pmenuowntag);
    pfillmenulists(tools);
    pfillmenulists(tools);
    EXPECT_EQ(tools.menulists[pmenumidisources].count, 35u);
    EXPECT_EQ(tools.menulists[pmenukeys].count, 12u);
    EXPECT_EQ(text(tools, pmenukeys, 0), "Key:C");
    // The patch menus' scratch list belongs to the editor.
    EXPECT_EQ(tools.menulists[pmenuscratch].count, 1u);
}
} // namespace
