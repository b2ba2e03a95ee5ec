// The menu string lists the processor fills at construction.
#include "kit/pguitools.h"
#include "plugin/pmenulists.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
TEST(menulists, FilledListsAndTheirEntries)
{
    pguitools tools;
    tools.pushmenuitem(pmenukeys, "stale", pmenuowntag);
    tools.pushmenuitem(pmenuscratch, "scratch", pmenuowntag); // the editor's: left alone
    pfillmenulists(tools);
    pfillmenulists(tools); // a refill replaces rather than appends
    EXPECT_EQ(tools.midimenubase, 3);
    const struct { std::uint64_t list, count, entry; const char* text; } cases[] = {
        {pmenumidisources, 35, 0, "Pitch Wheel"},       {pmenumidisources, 35, 1, "MIDI Keys Mode"},
        {pmenumidisources, 35, 2, "Velocity Mode"},     {pmenumidisources, 35, 3, "0 Bank Select"},
        {pmenumidisources, 35, 10, "7 Channel Volume"}, {pmenumidisources, 35, 22, "19 General Controller 4"},
        {pmenumidisources, 35, 34, "31 Undefined"},     {pmenuhostparams, 32, 0, "0"},
        {pmenuhostparams, 32, 31, "31"},                {pmenulfoshapes, 3, 0, "LFO:Sine"},
        {pmenulfoshapes, 3, 2, "LFO:Random"},           {pmenukeys, 12, 0, "Key:C"},
        {pmenukeys, 12, 1, "Key:C#"},                   {pmenukeys, 12, 11, "Key:B"}};
    for (const auto& c : cases)
    {
        const auto& list = tools.menulists[c.list];
        ASSERT_EQ(list.count, c.count) << c.text;
        EXPECT_EQ(list[c.entry].text.str(), c.text);
        if (c.list == pmenumidisources || c.list == pmenuhostparams)
        {
            EXPECT_EQ(list[c.entry].tag, static_cast<std::int32_t>(c.entry)) << c.text;
        }
    }
    EXPECT_EQ(tools.menulists[pmenuunused].count, 0u);
    EXPECT_EQ(tools.menulists[pmenuscratch].count, 1u);
}
} // namespace
