// The editor tick: the numbers each page hands the graph view.
#include "engine/eventmodel.h"
#include "engine/patchparams.h"
#include "kit/pguitools.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace
{
std::string feed(const pprojdata& m)
{
    int data[pprojdata::pgraphfeedcapacity];
    const long n = m.graphfeed(data);
    std::string out = std::to_string(n) + ":";
    for (long i = 0; i < n && i < 8; ++i)
        out += " " + std::to_string(data[i]);
    return out;
}
} // namespace

// Patches: modulator 0 (envelope, triangle 2), delay 1 ("Delay" 0.05 of 1 s), harmony 2; voice 0 panned
// left, voice 1 right with two delays (the last one, 0.5, counts) and a record whose patch named
// nothing pointing at the first; twelve voices in all for the mix page's rows.
TEST(Tick, EachPageFeedsWhatItDraws)
{
    eventmodel em;
    pprojdata& m = em.m();
    const auto param = [&](std::uint64_t p, std::uint64_t i) -> pparam& { return *m.patches[p]->params[i]; };
    for (const std::int32_t kind : {pkindmodulator, pkinddelay, pkindharmony})
        m.newpatch(false, kind);
    param(0, ppatchamplitude1).setnorm(0.5);
    param(0, ppatchspeed).setnorm(0.999);
    param(0, ppatchsource).setvalue(1);
    param(0, ppatchshape).setvalue(2);
    param(1, ppatchspeed).setnorm(0.25);
    param(1, ppatchshape).setvalue(0);
    m.voices[0]->params[pvoicepan]->setnorm(0.0);
    m.newvoice();
    m.voices[1]->params[pvoicepan]->setnorm(1.0);
    for (const double delay : {0.9, 0.5})
    {
        const std::uint64_t p = m.newpatch(false, pkinddelay);
        m.assignpatch(pkinddelay, 1, p, 0);
        param(p, ppatchdelay).setnorm(delay);
    }
    auto* stray = new ppatchassign;
    stray->patch = 3;
    m.voices[1]->assignments.append(stray);
    // Page, selected patch, voices, mix offset; the feed and whether the tick made a graph view.
    const std::tuple<std::int32_t, std::uint64_t, std::uint64_t, std::uint64_t, const char*, bool> rows[] = {
        {ppagemodulator, 0, 2, 0, "4: 64 127 1 2", true},
        {ppagedelay, 1, 2, 0, "4: 6 32 0 0", true},
        {ppagedelay, 0, 2, 0, "-1:", false},
        {ppagemodulator, 99, 2, 0, "-1:", false},
        {ppagemodulator, 2, 2, 0, "-1:", false},
        {ppagevoices, 0, 2, 0, "-1:", false},
        {ppageharmony, 2, 2, 0, "-1:", false},
        {7, 0, 2, 0, "-1:", false},
        {ppagemix, 0, 2, 0, "4: 21 217 243 130", true},
        {ppagemix, 0, 12, 11, "2: 132 217", true},
        {ppagemix, 0, 12, 40, "0:", true},
    };
    for (const auto& [page, patch, voices, offset, fed, view] : rows)
    {
        SCOPED_TRACE(std::to_string(page) + " patch " + std::to_string(patch));
        while (m.voices.count < voices)
            m.newvoice();
        m.page = page;
        m.selectedpatch = patch;
        m.mixoffset = offset;
        EXPECT_EQ(feed(m), fed);
        em.controller->tools.graphview = nullptr; // owned by the control list, which keeps it
        m.guiidle();
        EXPECT_EQ(em.controller->tools.graphview != nullptr, view);
    }
    m.mixoffset = 1; // rows from the scroll offset, at most eight
    EXPECT_EQ(feed(m).substr(0, 3), "16:");
}

TEST(Tick, EqPagePassesTheStoredPixelsUntouched)
{
    eventmodel em;
    for (std::uint64_t i = 0; i < pgraphpixelcount; ++i)
        em.controller->tools.graphpixels[i] = static_cast<std::int32_t>((i * 37) % 509);
    em.m().page = ppageeq;
    em.m().selectedpatch = 1234; // the stored curve does not depend on the selection
    int data[pprojdata::pgraphfeedcapacity];
    ASSERT_EQ(em.m().graphfeed(data), 512);
    for (std::uint64_t i = 0; i < 512; ++i)
        ASSERT_EQ(data[i], static_cast<int>((i * 37) % 509)) << i;
}
