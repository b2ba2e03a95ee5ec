// Kinds in structure(): 93001 modulator, 93002 delay, 93003 EQ, 93004 harmony.
#include "engine/patchparams.h"
#include "eventmodel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <tuple>

namespace
{
class Dispatcher : public ::testing::Test
{
protected:
    eventmodel em;
    pprojdata& m = em.m();
    void SetUp() override { em.rebuildsposted(); }
};
} // namespace

TEST_F(Dispatcher, VoiceCommandsKeepReferenceCountsAndTheLastVoice)
{
    for (float value : {0.5f, 1.0f, 1.0f}) // only value 1 acts
        em.apply(pevaddvoice, value);
    EXPECT_EQ(m.selectedvoice, 2u);
    for (int kind : {pkindeq, pkindmodulator, pkinddelay})
        m.newpatch(false, kind);
    // Kind, voice, patch, target.
    const std::tuple<std::int32_t, std::uint64_t, std::uint64_t, std::int64_t> assigns[] = {
        {pkindmodulator, 0, 1, pvoicepitch},
        {pkinddelay, 1, 2, 0},
        {pkindeq, 2, 0, 0},
        {pkindmodulator, 2, 1, pvoicepitch},
        {pkindmodulator, 2, 1, pvoicepan},
        {pkinddelay, 2, 2, 0},
    };
    for (const auto& [kind, voice, patch, target] : assigns)
        m.assignpatch(kind, voice, patch, target);
    m.voices[1]->params[pvoicepitch]->setnorm(0.25);
    em.rebuildsposted();
    em.apply(pevent{pevdeletevoice, 1.0f, 2}); // voice 2 of 3, sharing every patch
    EXPECT_EQ(structure(m), "voices 2/2 | patches 93003:0 93001:1 93002:1 | assign 0>1/93001/0 1>2/93002/0");
    EXPECT_EQ(m.selectedvoice, 1u);
    EXPECT_EQ(em.rebuildsposted(), 1u);
    em.apply(pevent{pevdeletevoice, 1.0f, 0}); // the selection stays on the voice it showed
    EXPECT_EQ(m.selectedvoice, 0u);
    em.apply(pevent{pevdeletevoice, 1.0f, 0}); // never the last voice, but the editor still rebuilds
    EXPECT_EQ(structure(m), "voices 1/1 | patches 93003:0 93001:0 93002:1 | assign 0>2/93002/0");
    EXPECT_DOUBLE_EQ(m.voices[0]->params[pvoicepitch]->norm, 0.25);
    EXPECT_EQ(em.rebuildsposted(), 1u); // two requests in a row are one
}

TEST_F(Dispatcher, AssignAndUnassignKeepTheReferenceCounts)
{
    for (int kind : {pkindeq, pkindeq, pkindmodulator})
        m.newpatch(false, kind);
    em.apply(pevent{pevassignpatch, 1.0f, 0, 0});
    em.apply(pevent{pevassignpatch, 2.0f, 0, 1}); // one EQ per voice
    m.assignpatch(pkindmodulator, 0, 2, pvoicevolume);
    m.assignpatch(pkindmodulator, 0, 2, pvoicepan);
    em.apply(pevent{pevunassignpatch, 3.0f, 0, 2, pvoicepan});
    em.apply(pevent{pevunassignpatch, 2.0f, 0, 1, 0});
    EXPECT_EQ(structure(m), "voices 1/1 | patches 93003:0 93003:0 93001:1 | assign 0>2/93001/1");
    // The first free slot is reused, for the voice the event names, with its own parameters.
    m.newvoice();
    em.apply(pevnewharmony, 2.0f);
    em.apply(pevnewharmony, 2.0f); // the voice has one now: a second press makes no orphan
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
    for (const auto& row : rows)
    {
        for (std::uint64_t i = 0; i < pharmonysteps; ++i)
            interval(i).setvalue(row[0][i]);
        em.apply(pevent{pevharmonyinvert, 1.0f, -1, static_cast<std::int64_t>(h)});
        for (std::uint64_t i = 0; i < pharmonysteps; ++i)
            EXPECT_EQ(interval(i).value, row[1][i]) << "position " << i;
        EXPECT_EQ(m.patches[h]->params[ppatchsource]->intvalue, 3);
        EXPECT_NEAR(m.patches[h]->channels[0].buffer[5], std::pow(2.0, row[1][5] / 12.0), 1e-12);
        EXPECT_EQ(em.rebuildsposted(), 1u);
    }
    em.apply(pevent{pevharmonyinvert, 1.0f, -1, static_cast<std::int64_t>(m.newpatch(false, pkindeq))});
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

TEST_F(Dispatcher, ANewSourceRestartsTheModulatorTheEventNames)
{
    const auto p = static_cast<std::int64_t>(m.newpatch(false, pkindmodulator));
    for (ppatchchannel& ch : m.patches[0]->channels)
    {
        ch.modoutput = 0.7;
        ch.modstate[3] = 0.4;
        ch.modstarted = 1;
    }
    m.patches[0]->params[ppatchsource]->setvalue(psourceenvelope);
    m.page = ppagevoices; // the user left the modulator page before the drain
    em.apply(pevent{pevpatchtype, 2.0f, -1, p});
    for (const ppatchchannel& ch : m.patches[0]->channels)
    {
        EXPECT_EQ(ch.modoutput, 0.0);
        EXPECT_EQ(ch.modstate[3], 0.0);
        EXPECT_EQ(ch.modstarted, 0u);
    }
    EXPECT_EQ(em.rebuildsposted(), 1u);
}

TEST_F(Dispatcher, EventsNamingNothingChangeNothing)
{
    m.newvoice();
    const std::uint64_t h = m.newpatch(false, pkindharmony);
    m.assignpatch(pkindharmony, 1, h, 0);
    const std::string before = em.write();
    // Codes that are no model command, or that only the controller applies, without targets.
    for (std::int32_t code : {INT_MIN, -1,    0,     89998, 90000, 90999, 91000, 91002, 91009, 91010, 91059,  91062,
                              91069,   91099, 91100, 91111, 91999, 92004, 92030, 93001, 93004, 99999, INT_MAX})
        for (float value : {0.0f, 1.0f, 2.0f})
            em.apply(code, value);
    // Targets that name nothing: no voice 5 or 7, no patch 1, 3, 4 or 9, no kind 93007, not an EQ.
    for (const pevent& e :
         {pevent{pevassignpatch, 2, 0, 1}, pevent{pevassignpatch, 1, 5, 0}, pevent{pevunassignpatch, 2, 0, 1},
          pevent{pevnewpatch, 1, 0, -1, 0, 93007}, pevent{pevnewpatch, 1, 7, -1, 0, pkindeq},
          pevent{pevresetcurve, 1, -1, 0}, pevent{pevharmonyinvert, 1, -1, 4}, pevent{pevpatchtype, 1, -1, 9},
          pevent{pevrecalcpatch, 1, -1, 3}})
        em.apply(e);
    const float inf = std::numeric_limits<float>::infinity();
    for (float value : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -1e30f, -2.0f})
        for (std::int32_t code : {pevaddvoice, pevdeletevoice, pevnewpatch, pevunassignpatch, pevassignpatch,
                                  pevnewdelay, pevneweq, pevnewharmony})
            em.apply(pevent{code, value, 0, -1, 0, pkinddelay});
    EXPECT_EQ(em.write(), before);
    EXPECT_EQ(m.selectedvoice, 0u);
    EXPECT_EQ(m.selectedpatch.load(), 0u);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}

// 91057 makes a patch of the named kind in a free slot for the named voice and shows it; 91063
// flattens the named EQ curve in place without a rebuild.
TEST_F(Dispatcher, NewPatchForTheNamedVoiceAndResetCurve)
{
    const std::uint64_t mod = m.newpatch(false, pkindmodulator);
    const std::uint64_t eq = m.newpatch(false, pkindeq);
    m.newpatch(false, pkindharmony); // slot 2, free
    m.assignpatch(pkindmodulator, 0, mod, pvoicepan);
    m.assignpatch(pkindeq, 0, eq, 0);
    m.pendingkind = pkinddelay;
    em.apply(pevent{pevnewpatch, 1.0f, 0, -1, pvoicepan, pkinddelay});
    EXPECT_EQ(m.page.load(), 11);
    EXPECT_EQ(m.selectedpatch.load(), 2u);
    EXPECT_EQ(m.pendingkind, 0);
    EXPECT_EQ(em.rebuildsposted(), 1u);
    EXPECT_EQ(structure(m),
              "voices 1/1 | patches 93001:1 93003:1 93002:1 | assign 0>0/93001/2 0>1/93003/0 0>2/93002/0");
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        m.patches[eq]->params[ppatchcurvefirst + i]->setnorm(0.9);
    m.recalcpatchstate(eq);
    ASSERT_GT(m.patches[eq]->channels[0].buffer[10], 1.5);
    em.apply(pevent{pevresetcurve, 1.0f, -1, static_cast<std::int64_t>(eq)});
    const ppatchchannel& curve = m.patches[eq]->channels[0];
    const double* gains = curve.buffer.get();
    EXPECT_TRUE(std::all_of(gains, gains + curve.bufferlength, [](double g) { return g == 1.0; }));
    EXPECT_EQ(m.patches[eq]->params[ppatchcurvefirst + 63]->norm, 0.5);
    EXPECT_EQ(em.rebuildsposted(), 0u);
}
