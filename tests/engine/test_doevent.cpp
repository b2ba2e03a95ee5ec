// Kinds in structure(): 93001 modulator, 93002 delay, 93003 EQ, 93004 harmony.
#include "eventmodel.h"

#include "kit/pguitools.h"
#include "kit/pkcontrol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace
{
class Dispatcher : public ::testing::Test
{
protected:
    eventmodel em;
    pprojdata& m = em.m();
    void SetUp() override { em.rebuildsposted(); }
    // A control bound to parameter `param` of `owner`; returns its event code.
    std::int32_t control(std::int32_t owner, std::int32_t param, std::int32_t ownerkind = pownerpatch)
    {
        auto* c = new pkComponent;
        c->ownerkind = ownerkind;
        c->ownerindex = owner;
        c->paramindex = param;
        em.controller->tools.controls.append(c);
        return static_cast<std::int32_t>(em.controller->tools.controls.count - 1);
    }
};
} // namespace

TEST_F(Dispatcher, VoiceCommandsKeepReferenceCountsAndTheLastVoice)
{
    for (float value : {0.5f, 1.0f, 1.0f}) // only value 1 acts
        em.apply(pevaddvoice, value);
    EXPECT_EQ(m.selectedvoice, 2u);
    for (int kind : {pkindeq, pkindmodulator, pkinddelay})
        m.newpatch(false, kind);
    const struct
    {
        std::int32_t kind;
        std::uint64_t voice;
        std::uint64_t patch;
        std::int64_t target;
    } assigns[] = {
        {pkindmodulator, 0, 1, pvoicepitch},
        {pkinddelay, 1, 2, 0},
        {pkindeq, 2, 0, 0},
        {pkindmodulator, 2, 1, pvoicepitch},
        {pkindmodulator, 2, 1, pvoicepan},
        {pkinddelay, 2, 2, 0},
    };
    for (const auto& a : assigns)
        m.assignpatch(a.kind, a.voice, a.patch, a.target);
    m.voices[1]->params[pvoicepitch]->setnorm(0.25);
    em.rebuildsposted();
    em.apply(pevdeletevoice, 1.0f); // voice 2 of 3, sharing every patch
    EXPECT_EQ(structure(m), "voices 2/2 | patches 93003:0 93001:1 93002:1 | assign 0>1/93001/0 1>2/93002/0");
    EXPECT_EQ(m.selectedvoice, 1u);
    EXPECT_EQ(em.rebuildsposted(), 1u);
    m.selectedvoice = 0;
    em.apply(pevdeletevoice, 1.0f);
    em.apply(pevdeletevoice, 1.0f); // never the last voice, but the editor still rebuilds
    EXPECT_EQ(structure(m), "voices 1/1 | patches 93003:0 93001:0 93002:1 | assign 0>2/93002/0");
    EXPECT_DOUBLE_EQ(m.voices[0]->params[pvoicepitch]->norm, 0.25);
    EXPECT_EQ(m.selectedvoice, 0u);
    EXPECT_EQ(em.rebuildsposted(), 2u);
}

TEST_F(Dispatcher, AssignAndUnassignKeepTheReferenceCounts)
{
    for (int kind : {pkindeq, pkindeq, pkindmodulator})
        m.newpatch(false, kind);
    em.apply(pevassignpatch, 1.0f);
    em.apply(pevassignpatch, 2.0f); // one EQ per voice
    m.assignpatch(pkindmodulator, 0, 2, pvoicevolume);
    m.assignpatch(pkindmodulator, 0, 2, pvoicepan);
    m.pendingkind = pkindmodulator;
    m.modtarget = pvoicepan;
    em.apply(pevunassignpatch, 3.0f);
    m.pendingkind = 0; // without a modulator pending the target is 0 again
    em.apply(pevunassignpatch, 2.0f);
    EXPECT_EQ(structure(m), "voices 1/1 | patches 93003:0 93003:0 93001:1 | assign 0>2/93001/1");
    // The first free slot is reused, for the voice the event names, with its own parameters.
    m.newvoice();
    em.apply(pevnewharmony, 2.0f);
    EXPECT_EQ(structure(m), "voices 2/2 | patches 93004:1 93003:0 93001:1 | assign 0>2/93001/1 1>0/93004/0");
    EXPECT_EQ(m.patches[0]->params.count, pharmonyparamcount);
}

TEST_F(Dispatcher, HarmonyInvertMirrorsTheIntervalTable)
{
    const std::vector<std::vector<double>> rows[] = {
        {std::vector<double>(12, 4.0), std::vector<double>(12, -4.0)},
        {{-3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8}, {0, -1, -2, -3, -4, -5, -6, -7, -8, 3, 2, 1}},
        // Every position lands on the key: the highest one wins.
        {{0, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, {-1, 0, -11, -10, -9, -8, -7, -6, -5, -4, -3, -2}},
    };
    const std::uint64_t h = m.newpatch(false, pkindharmony);
    auto interval = [&](std::uint64_t i) -> pparam& { return *m.patches[h]->params[ppatchintervalfirst + i]; };
    m.selectedpatch = h;
    m.page = ppageharmony;
    for (const auto& row : rows)
    {
        for (std::uint64_t i = 0; i < pharmonysteps; ++i)
            interval(i).setvalue(row[0][i]);
        em.apply(pevharmonyinvert, 1.0f);
        for (std::uint64_t i = 0; i < pharmonysteps; ++i)
            EXPECT_EQ(interval(i).value, row[1][i]) << "position " << i;
        EXPECT_EQ(m.patches[h]->params[ppatchsource]->intvalue, 3);
        EXPECT_NEAR(m.patches[h]->channels[0].buffer[5], std::pow(2.0, row[1][5] / 12.0), 1e-12);
        EXPECT_EQ(em.rebuildsposted(), 1u);
    }
    m.page = ppageeq; // only on the harmony page
    em.apply(pevharmonyinvert, 1.0f);
    m.page = ppageharmony;
    m.selectedpatch = m.newpatch(false, pkindeq); // only for a harmony patch
    em.apply(pevharmonyinvert, 1.0f);
    EXPECT_DOUBLE_EQ(interval(0).value, -1.0);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

TEST_F(Dispatcher, MonoStereoRestartsPatchesWhoseChannelsDifferInLength)
{
    ppatchmod& p = *m.patches[m.newpatch(false, pkindmodulator)];
    ppatchmod& delay = *m.patches[m.newpatch(false, pkinddelay)];
    p.channels[1].modphase = 0.7;
    p.channels[0].modoutput = 0.9;
    p.channels[0].modstate[3] = 1.5;
    // Channel 1 holds less than channel 0: only the shorter length may be copied (ASan watches).
    delay.channels[0].resetbuffer(4000);
    delay.channels[1].resetbuffer(10);
    delay.channels[0].modstarted = 1;
    em.apply(pevmonostereo, 1.0f);
    EXPECT_EQ(m.params[pglobalmonostereo]->intvalue, 0);
    EXPECT_EQ(p.channels[1].modphase, 0.0);
    EXPECT_EQ(p.channels[1].modoutput, 0.9);
    EXPECT_EQ(p.channels[1].modstate[3], 1.5);
    EXPECT_EQ(delay.channels[0].modstarted, 0u) << "set up again on the next hop";
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, EventsNamingNothingChangeNothing)
{
    m.newvoice();
    const std::uint64_t h = m.newpatch(false, pkindharmony);
    m.assignpatch(pkindharmony, 1, h, 0);
    auto* menu = new ppatchmenu; // item 0 names patch 8, which does not exist
    menu->itemmap.append(9);
    em.controller->tools.patchmenus.append(menu);
    const auto hc = static_cast<std::int32_t>(h);
    const std::string before = em.write();
    for (std::int32_t code : {control(0, ppatchsource, pownervoice), control(5, ppatchintervalfirst),
                              control(-1, ppatchintervalfirst), control(hc, 40), control(hc, -3), hc + 1000})
        em.apply(code, 1.0f);
    for (std::int32_t code : {INT_MIN, -1, 89998, 90000, 90999, 91000, 91002, 91009, 91010, 91069, 91099, 91111, 91999,
                              92004, 92030, 93001, 93004, 99999, INT_MAX})
        for (float value : {0.0f, 1.0f, 2.0f})
            em.apply(code, value);
    // Indexes carried in values: no patch 1, 4 or 8; no menu 1 or 10; items beyond the map.
    for (const auto& [code, value] : std::initializer_list<std::pair<std::int32_t, float>>{{pevassignpatch, 2},
                                                                                           {pevunassignpatch, 5},
                                                                                           {pevselectpatch, 9},
                                                                                           {pevpatchmenu, 0},
                                                                                           {pevpatchmenu, 1},
                                                                                           {pevpatchmenu, -1},
                                                                                           {pevpatchmenu + 1, 0},
                                                                                           {pevpatchmenulast, 0},
                                                                                           {pevchoosekind, 7},
                                                                                           {pevnewpatch, 1}})
        em.apply(code, value); // pevchoosekind 7: no such kind, so nothing to make
    const float inf = std::numeric_limits<float>::infinity();
    for (float value : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -1e30f, -2.0f})
        for (std::int32_t code : {pevaddvoice, pevdeletevoice, pevnewpatch, pevunassignpatch, pevselectpatch,
                                  pevassignpatch, pevchoosekind, pevnewdelay, pevneweq, pevnewharmony, pevpatchmenu})
            em.apply(code, value);
    EXPECT_EQ(em.write(), before);
    EXPECT_EQ(m.selectedvoice, 0u);
    EXPECT_EQ(m.selectedpatch.load(), 0u);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

// 91062 finds the selected voice's record of a kind (or makes a patch in a free slot), 91059 selects a patch
// and shows the pending kind's page, 91063 flattens the selected EQ curve in place without a rebuild.
TEST_F(Dispatcher, ChooseKindSelectPatchAndResetCurve)
{
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    const std::uint64_t eq = m.newpatch(false, pkindeq);
    m.newpatch(false, pkindharmony); // slot 2, free
    m.assignpatch(pkindmodulator, 0, mod, pvoicepan);
    m.assignpatch(pkindeq, 0, eq, 0);
    em.apply(pevchoosekind, 3.0f); // EQ: the voice has one
    EXPECT_EQ(m.page.load(), 12);
    EXPECT_EQ(m.selectedpatch.load(), 1u);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(em.rebuildsposted(), 1u);
    EXPECT_EQ(structure(m), "voices 1/1 | patches 93001:1 93003:1 93004:0 | assign 0>0/93001/2 0>1/93003/0");
    m.modtarget = pvoicepan;
    em.apply(pevchoosekind, 2.0f); // delay: none yet, made in the free slot
    EXPECT_EQ(m.page.load(), 11);
    EXPECT_EQ(m.selectedpatch.load(), 2u);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(em.rebuildsposted(), 1u);
    EXPECT_EQ(structure(m),
              "voices 1/1 | patches 93001:1 93003:1 93002:1 | assign 0>0/93001/2 0>1/93003/0 0>2/93002/0");
    m.pendingkind = pkindharmony;
    em.apply(pevselectpatch, 2.0f);
    EXPECT_EQ(m.page.load(), 13);
    EXPECT_EQ(m.selectedpatch.load(), 1u);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(em.rebuildsposted(), 1u);
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        m.patches[eq]->params[ppatchcurvefirst + i]->setnorm(0.9);
    m.recalcpatchstate(eq);
    ASSERT_GT(m.patches[eq]->channels[0].buffer[10], 1.5);
    em.apply(pevresetcurve, 1.0f);
    const ppatchchannel& curve = m.patches[eq]->channels[0];
    const double* gains = curve.buffer.get();
    EXPECT_TRUE(std::all_of(gains, gains + curve.bufferlength, [](double g) { return g == 1.0; }));
    EXPECT_EQ(m.patches[eq]->params[ppatchcurvefirst + 63]->norm, 0.5);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}
