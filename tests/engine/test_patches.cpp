#include "engine/pevent.h"
#include "engine/ppatch.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
// A model set up as the processor does it, at 44100 Hz with one voice.
struct Model
{
    pguitools tools;
    pprojdata model;

    explicit Model(double rate = 44100.0)
    {
        model.tools = &tools;
        model.pushglobalparams();
        model.initpbm(rate);
    }

    ppatchmod* patch(std::uint64_t i) { return model.patches[i]; }
    pparvoice* voice(std::uint64_t i) { return model.voices[i]; }

    void setcurve(std::uint64_t p, double (*norm)(std::uint64_t))
    {
        for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
            patch(p)->params[ppatchcurvefirst + i]->setnorm(norm(i));
        model.recalcpatchstate(p);
    }

    std::vector<int> graph()
    {
        std::vector<int> out;
        for (std::uint64_t c = 0; c < pgraphside; ++c)
            out.push_back(tools.graphpixels[c]);
        return out;
    }
};

// A switch stand-in that remembers what it was shown.
class FakeSwitch : public pkControl
{
public:
    void setValue(float v) override
    {
        shown = v;
        ++sets;
    }
    double getValue() override { return shown; }
    int getType() override { return pctlswitch; }

    float shown = -1.0f;
    int sets = 0;
};

double flatfull(std::uint64_t) { return 1.0; }
double flatzero(std::uint64_t) { return 0.0; }
double ramp(std::uint64_t i) { return static_cast<double>(i) / 63.0; }
} // namespace

TEST(Voices, DefaultParameters)
{
    Model m;
    ASSERT_EQ(m.model.voices.count, 1u);
    pparvoice* v = m.voice(0);
    ASSERT_EQ(v->params.count, 7u);
    const char* names[] = {"Pitch", "Volume", "Pan", "Mode", "Formant Scale", "Formant Shift", "Mode2"};
    for (std::uint64_t i = 0; i < 7; ++i)
        EXPECT_STREQ(v->params[i]->name.c_str(), names[i]);
    EXPECT_EQ(v->params[pvoicepitch]->value, 0.5);
    EXPECT_EQ(v->params[pvoicepitch]->style, 1u);
    EXPECT_EQ(v->params[pvoicevolume]->norm, 0.5);
    EXPECT_EQ(v->params[pvoicepan]->value, 1.0);
    EXPECT_EQ(v->params[pvoicepan]->norm, 0.5);
    EXPECT_EQ(v->params[pvoicemode]->type, pparamint);
    EXPECT_EQ(v->params[pvoicemode]->control, pconmenu);
    EXPECT_EQ(v->params[pvoicemode2]->range, 4.0);
    EXPECT_EQ(v->assignments.count, 0u);
}

TEST(Patches, ParameterCountsByKind)
{
    Model m;
    EXPECT_EQ(m.patch(m.model.newpatch(false, pkindmodulator))->params.count, 8u);
    EXPECT_EQ(m.patch(m.model.newpatch(false, pkinddelay))->params.count, 8u);
    EXPECT_EQ(m.patch(m.model.newpatch(false, pkindeq))->params.count, 72u);
    EXPECT_EQ(m.patch(m.model.newpatch(false, pkindharmony))->params.count, 17u);
    for (std::uint64_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(m.patch(i)->kind, static_cast<std::uint64_t>(pkindmodulator + static_cast<int>(i)));
        EXPECT_EQ(m.patch(i)->refcount, 0u);
        EXPECT_EQ(m.patch(i)->mark, 0u);
        EXPECT_TRUE(m.patch(i)->label.empty());
    }
}

TEST(Patches, DefaultsByKind)
{
    Model m;
    ppatchmod* mod = m.patch(m.model.newpatch(false, pkindmodulator));
    EXPECT_EQ(mod->params[ppatchamplitude1]->value, 0.5);
    EXPECT_EQ(mod->params[ppatchsource]->intvalue, 0);
    EXPECT_EQ(mod->params[ppatchshape]->intvalue, 1);
    EXPECT_EQ(mod->params[ppatchspeed]->value, 0.5);
    EXPECT_EQ(mod->params[ppatchspeed]->range, 10.0);
    EXPECT_STREQ(mod->params[ppatchhostparam]->name.c_str(), "Host Parameter");
    EXPECT_EQ(mod->params[ppatchhostparam]->style, 1u);
    EXPECT_EQ(mod->params[ppatchmidicc]->range, 127.0);

    ppatchmod* delay = m.patch(m.model.newpatch(false, pkinddelay));
    EXPECT_EQ(delay->params[ppatchsource]->intvalue, 1);
    EXPECT_EQ(delay->params[ppatchdelay]->value, 0.05);
    EXPECT_EQ(delay->params[ppatchdelay]->style, 1u);
    EXPECT_EQ(delay->params[ppatchdelaymix]->value, 1.0);

    ppatchmod* harmony = m.patch(m.model.newpatch(false, pkindharmony));
    EXPECT_STREQ(harmony->params[0]->name.c_str(), "Smooth");
    EXPECT_STREQ(harmony->params[1]->name.c_str(), "Detune");
    EXPECT_EQ(harmony->params[1]->norm, 0.5);
    EXPECT_EQ(harmony->params[ppatchintervalfirst]->control, pcontextfield);
    EXPECT_EQ(harmony->params[ppatchintervalfirst]->min, -24.0);
}

TEST(Patches, InvalidKindMakesNothing)
{
    Model m;
    EXPECT_EQ(m.model.newpatch(false, 5), 0u);
    EXPECT_EQ(m.model.newpatch(true, -1), 0u); // no pending kind
    EXPECT_EQ(m.model.patches.count, 0u);
    m.model.pendingkind = pkindeq;
    EXPECT_EQ(m.model.newpatch(true, -1), 0u);
    EXPECT_EQ(m.patch(0)->kind, static_cast<std::uint64_t>(pkindeq));
}

TEST(Patches, ReuseTakesTheFirstFreeSlot)
{
    Model m;
    for (int i = 0; i < 3; ++i)
        m.model.newpatch(false, pkinddelay);
    m.model.assignpatch(pkinddelay, 0, 0, 0);
    m.model.newvoice();
    m.model.assignpatch(pkinddelay, 1, 2, 0);
    ppatchmod* first = m.patch(0);
    ppatchmod* third = m.patch(2);

    EXPECT_EQ(m.model.newpatch(true, pkindeq), 1u);
    EXPECT_EQ(m.model.patches.count, 3u);
    EXPECT_EQ(m.patch(0), first);
    EXPECT_EQ(m.patch(2), third);
    EXPECT_EQ(m.patch(1)->kind, static_cast<std::uint64_t>(pkindeq));
    EXPECT_EQ(m.patch(1)->params.count, 72u);

    // No free slot left: appended. Without reuse: appended.
    m.model.assignpatch(pkindeq, 0, 1, 0);
    EXPECT_EQ(m.model.newpatch(true, pkindharmony), 3u);
    EXPECT_EQ(m.model.newpatch(false, pkindharmony), 4u);
}

TEST(Assignment, SecondEqReleasesTheFirst)
{
    Model m;
    const auto a = m.model.newpatch(false, pkindeq);
    const auto b = m.model.newpatch(false, pkindeq);
    m.model.assignpatch(pkindeq, 0, a, 0);
    EXPECT_EQ(m.patch(a)->refcount, 1u);
    m.model.assignpatch(pkindeq, 0, b, 0);
    EXPECT_EQ(m.patch(a)->refcount, 0u);
    EXPECT_EQ(m.patch(b)->refcount, 1u);
    ASSERT_EQ(m.voice(0)->assignments.count, 1u);
    EXPECT_EQ(m.voice(0)->assignments[0]->patch, b);
    EXPECT_EQ(m.voice(0)->assignments[0]->kind, pkindeq);
    EXPECT_EQ(m.voice(0)->assignments[0]->amount, 1.0);
}

TEST(Assignment, SameDelayTwiceChangesNothing)
{
    Model m;
    const auto d = m.model.newpatch(false, pkinddelay);
    m.model.assignpatch(pkinddelay, 0, d, 0);
    m.model.assignpatch(pkinddelay, 0, d, 0);
    EXPECT_EQ(m.patch(d)->refcount, 1u);
    EXPECT_EQ(m.voice(0)->assignments.count, 1u);
}

TEST(Assignment, KindsDoNotReleaseEachOther)
{
    Model m;
    const auto d = m.model.newpatch(false, pkinddelay);
    const auto e = m.model.newpatch(false, pkindeq);
    const auto h = m.model.newpatch(false, pkindharmony);
    m.model.assignpatch(pkinddelay, 0, d, 0);
    m.model.assignpatch(pkindeq, 0, e, 0);
    m.model.assignpatch(pkindharmony, 0, h, 3); // the target of a non-modulator is 0
    EXPECT_EQ(m.voice(0)->assignments.count, 3u);
    EXPECT_EQ(m.voice(0)->assignments[2]->target, 0);
    for (auto i : {d, e, h})
        EXPECT_EQ(m.patch(i)->refcount, 1u);
}

TEST(Assignment, ModulatorTwiceForTwoTargets)
{
    Model m;
    const auto p = m.model.newpatch(false, pkindmodulator);
    m.model.assignpatch(pkindmodulator, 0, p, pvoicepitch);
    m.model.assignpatch(pkindmodulator, 0, p, pvoicepan);
    EXPECT_EQ(m.patch(p)->refcount, 2u);
    ASSERT_EQ(m.voice(0)->assignments.count, 2u);
    EXPECT_EQ(m.voice(0)->assignments[0]->target, 0);
    EXPECT_EQ(m.voice(0)->assignments[1]->target, 2);
}

TEST(Assignment, SharedPatchCountsEveryVoice)
{
    Model m;
    m.model.newvoice();
    m.model.newvoice();
    const auto h = m.model.newpatch(false, pkindharmony);
    for (std::uint64_t v = 0; v < 3; ++v)
        m.model.assignpatch(pkindharmony, v, h, 0);
    EXPECT_EQ(m.patch(h)->refcount, 3u);
    // Moving one voice to another harmony patch releases one count.
    const auto h2 = m.model.newpatch(true, pkindharmony);
    EXPECT_NE(h2, h);
    m.model.assignpatch(pkindharmony, 1, h2, 0);
    EXPECT_EQ(m.patch(h)->refcount, 2u);
    EXPECT_EQ(m.patch(h2)->refcount, 1u);
}

// A saved state may carry a delay record with a target other than 0. Replacing that delay
// must still drop the old record along with its count, never only the count.
TEST(Assignment, ReplacingKeepsRecordsAndCountsInStep)
{
    Model m;
    const auto a = m.model.newpatch(false, pkinddelay);
    const auto b = m.model.newpatch(false, pkinddelay);
    auto* loaded = new ppatchassign;
    loaded->kind = pkinddelay;
    loaded->patch = a;
    loaded->target = 3;
    m.voice(0)->assignments.append(loaded);
    m.patch(a)->refcount = 1;

    m.model.assignpatch(pkinddelay, 0, b, 0);
    ASSERT_EQ(m.voice(0)->assignments.count, 1u);
    EXPECT_EQ(m.voice(0)->assignments[0]->patch, b);
    EXPECT_EQ(m.patch(a)->refcount, 0u);
    EXPECT_EQ(m.patch(b)->refcount, 1u);
}

TEST(Assignment, IndexesFromOutsideAreChecked)
{
    Model m;
    const auto d = m.model.newpatch(false, pkinddelay);
    m.model.assignpatch(pkinddelay, 5, d, 0);      // no such voice
    m.model.assignpatch(pkinddelay, 0, 9, 0);      // no such patch
    m.model.assignpatch(pkindeq, 0, d, 0);         // wrong kind for the patch
    m.model.assignpatch(93007, 0, d, 0);           // no such kind
    m.model.assignpatch(pkindnone, 0, d, 0);
    EXPECT_EQ(m.patch(d)->refcount, 0u);
    EXPECT_EQ(m.voice(0)->assignments.count, 0u);
}

TEST(Harmony, DefaultSetIsTheThirds)
{
    Model m;
    ppatchmod* h = m.patch(m.model.newpatch(false, pkindharmony));
    ASSERT_EQ(h->channels[0].bufferlength, 12u);
    EXPECT_EQ(h->channels[1].bufferlength, 12u);
    EXPECT_EQ(h->channels[0].modstarted, 1u);
    for (std::uint64_t j = 0; j < 12; ++j)
    {
        EXPECT_EQ(h->params[ppatchintervalfirst + j]->value, pprojdata::scales[0][j]);
        EXPECT_DOUBLE_EQ(h->channels[0].buffer[j], std::pow(2.0, pprojdata::scales[0][j] / 12.0));
    }
}

TEST(Harmony, FifthsSet)
{
    Model m;
    const auto i = m.model.newpatch(false, pkindharmony);
    ppatchmod* h = m.patch(i);
    h->params[ppatchsource]->setvalue(1.0);
    m.model.recalcpatchstate(i);
    for (std::uint64_t j = 0; j < 11; ++j)
    {
        EXPECT_EQ(h->params[ppatchintervalfirst + j]->value, 7.0);
        EXPECT_DOUBLE_EQ(h->channels[0].buffer[j], std::pow(2.0, 7.0 / 12.0));
    }
    EXPECT_EQ(h->params[ppatchintervalfirst + 11]->value, 6.0);
    EXPECT_DOUBLE_EQ(h->channels[0].buffer[11], std::sqrt(2.0));
}

TEST(Harmony, SixthsSetAndCustomIntervals)
{
    Model m;
    const auto i = m.model.newpatch(false, pkindharmony);
    ppatchmod* h = m.patch(i);
    h->params[ppatchsource]->setvalue(2.0);
    m.model.recalcpatchstate(i);
    EXPECT_EQ(h->params[ppatchintervalfirst + 4]->value, 8.0);
    EXPECT_EQ(h->params[ppatchintervalfirst + 0]->value, 9.0);

    // The custom set keeps hand-edited intervals, including negative ones.
    h->params[ppatchsource]->setvalue(3.0);
    h->params[ppatchintervalfirst + 2]->setvalue(-12.0);
    h->params[ppatchintervalfirst + 3]->setvalue(24.0);
    const double* before = h->channels[0].buffer.get();
    m.model.recalcpatchstate(i);
    EXPECT_EQ(h->channels[0].buffer.get(), before); // rewritten in place
    EXPECT_DOUBLE_EQ(h->channels[0].buffer[2], 0.5);
    EXPECT_DOUBLE_EQ(h->channels[0].buffer[3], 4.0);
    EXPECT_DOUBLE_EQ(h->channels[0].buffer[0], std::pow(2.0, 9.0 / 12.0));
}

TEST(Harmony, RecalcOutOfRangeDoesNothing)
{
    Model m;
    m.model.recalcpatchstate(0);
    m.model.recalcpatchstate(12345);
    EXPECT_EQ(m.model.patches.count, 0u);
}

TEST(EqCurve, FlatMiddleIsUnity)
{
    Model m;
    const auto e = m.model.newpatch(false, pkindeq);
    ppatchmod* eq = m.patch(e);
    ASSERT_EQ(eq->channels[0].bufferlength, 1024u);
    ASSERT_EQ(eq->channels[1].bufferlength, 1024u);
    for (std::uint64_t k = 0; k < 1024; ++k)
        EXPECT_NEAR(eq->channels[0].buffer[k], 1.0, 1e-12) << "bin " << k;
}

TEST(EqCurve, FullAndEmptyArePlusMinusTwelveDecibels)
{
    Model m;
    const auto e = m.model.newpatch(false, pkindeq);
    ppatchmod* eq = m.patch(e);
    m.setcurve(e, flatfull);
    for (std::uint64_t k = 0; k < 1024; k += 37)
        EXPECT_NEAR(eq->channels[0].buffer[k], std::pow(10.0, 12.0 / 20.0), 1e-12);
    m.setcurve(e, flatzero);
    for (std::uint64_t k = 0; k < 1024; k += 37)
        EXPECT_NEAR(eq->channels[0].buffer[k], std::pow(10.0, -12.0 / 20.0), 1e-12);
}

TEST(EqCurve, FollowsTheLogAxis)
{
    Model m;
    const auto e = m.model.newpatch(false, pkindeq);
    m.setcurve(e, ramp);
    const double* gain = m.patch(e)->channels[0].buffer.get();
    // Bin 512 sits at 8/9 of the axis: between points 56 and 57.
    const double x = 8.0 / 9.0 * 64.0;
    const double f = x - 56.0;
    const double level = f * 57.0 / 63.0 + (1.0 - f) * 56.0 / 63.0;
    EXPECT_NEAR(gain[512], std::pow(10.0, (level * 24.0 - 12.0) / 20.0), 1e-9);
    for (std::uint64_t k = 1; k < 1024; ++k)
        EXPECT_GE(gain[k], gain[k - 1]) << "bin " << k;
    EXPECT_NEAR(gain[0], std::pow(10.0, -12.0 / 20.0), 1e-12); // bin 0 reads point 0
}

TEST(EqCurve, BinsPastTheAxisRepeatTheLastGain)
{
    Model m(48000.0);
    ASSERT_EQ(m.model.axiscount, 940u);
    const auto e = m.model.newpatch(false, pkindeq);
    m.setcurve(e, ramp);
    const ppatchchannel& ch = m.patch(e)->channels[0];
    ASSERT_EQ(ch.bufferlength, 1024u);
    EXPECT_GT(ch.buffer[939], ch.buffer[800]); // bin 800 still reads point 62
    for (std::uint64_t k = 940; k < 1024; ++k)
        EXPECT_EQ(ch.buffer[k], ch.buffer[939]) << "bin " << k;
}

TEST(EqDisplay, FlatHalfAfterSmoothing)
{
    Model m;
    const auto e = m.model.newpatch(false, pkindeq);
    m.model.recalcpatchgraph(e);
    const auto h = m.graph();
    for (int c = 0; c < 14; ++c)
        EXPECT_EQ(h[c], 247) << "column " << c;
    for (int c = 14; c < 512; ++c)
        EXPECT_EQ(h[c], 256) << "column " << c;
}

TEST(EqDisplay, ZeroCurveIsZero)
{
    Model m;
    const auto e = m.model.newpatch(false, pkindeq);
    m.model.recalcpatchgraph(e); // leave something non-zero behind first
    m.setcurve(e, flatzero);
    m.model.recalcpatchgraph(e);
    for (int v : m.graph())
        EXPECT_EQ(v, 0);
}

TEST(EqDisplay, LastColumnReadsTheLastPointTwice)
{
    Model m;
    const auto e = m.model.newpatch(false, pkindeq);
    m.setcurve(e, [](std::uint64_t i) { return i >= 62 ? 1.0 : 0.0; });
    m.model.recalcpatchgraph(e);
    const auto h = m.graph();
    // Columns 497..511 all read points 62 and 63 only, so the window is full at 512.
    EXPECT_EQ(h[511], 512);
    EXPECT_EQ(h[0], 0);
    EXPECT_LT(h[496], 512);
}

TEST(EqDisplay, OnlyEqPatchesAreDrawn)
{
    Model m;
    const auto d = m.model.newpatch(false, pkinddelay);
    m.tools.graphpixels[3] = 77;
    m.model.recalcpatchgraph(d);
    m.model.recalcpatchgraph(99);
    EXPECT_EQ(m.tools.graphpixels[3], 77);
    // No holder: nothing to draw into, nothing breaks.
    m.model.newpatch(false, pkindeq);
    m.model.tools = nullptr;
    m.model.recalcpatchgraph(1);
}

TEST(VoiceRecords, FollowTheVoiceCount)
{
    Model m;
    m.model.newvoice();
    m.model.newvoice();
    EXPECT_EQ(m.model.voicecount, 3u);
    for (const pbkpitchshift& e : m.model.engines)
    {
        ASSERT_EQ(e.voicestates.count, 3u);
        for (std::uint64_t v = 0; v < 3; ++v)
        {
            const pbkvoicestate* r = e.voicestates[v];
            EXPECT_EQ(r->ratio, 1.0);
            EXPECT_EQ(r->lastratio, 1.0);
            EXPECT_EQ(r->harmonyratio, 1.0);
            EXPECT_EQ(r->gain, 0.0);
            EXPECT_EQ(r->phases.count, 1024u);
            EXPECT_EQ(r->phases[1023], 0.0);
        }
    }
    // Fewer voices: the records are rebuilt fresh, none is left over.
    m.model.engines[0].voicestates[0]->ratio = 2.0;
    delete m.model.voices.remove(2);
    m.model.voicecountchanged(false);
    EXPECT_EQ(m.model.voicecount, 2u);
    for (const pbkpitchshift& e : m.model.engines)
        ASSERT_EQ(e.voicestates.count, 2u);
    EXPECT_EQ(m.model.engines[0].voicestates[0]->ratio, 1.0);
}

TEST(VoiceRecords, MoreVoicesKeepTheExistingRecords)
{
    Model m;
    pbkvoicestate* first = m.model.engines[1].voicestates[0];
    first->harmonyratio = 1.5;
    m.model.newvoice();
    EXPECT_EQ(m.model.engines[1].voicestates[0], first);
    EXPECT_EQ(first->harmonyratio, 1.5);
    EXPECT_EQ(m.model.engines[1].voicestates[1]->harmonyratio, 1.0);
}

TEST(MixPage, ScrollOffsetStaysInRangeOnDeletion)
{
    Model m;
    while (m.model.voices.count < 10)
        m.model.newvoice();
    m.model.mixoffset = 2;
    ASSERT_EQ(m.model.mixrows, 8u);

    delete m.model.voices.remove(9);
    m.model.voicecountchanged(false);
    EXPECT_EQ(m.model.mixoffset, 1u);

    delete m.model.voices.remove(8);
    m.model.voicecountchanged(false);
    EXPECT_EQ(m.model.mixoffset, 0u);

    m.model.mixoffset = 1; // seven voices: fewer than the rows
    delete m.model.voices.remove(7);
    m.model.voicecountchanged(false);
    EXPECT_EQ(m.model.mixoffset, 0u);
}

TEST(MixPage, OffsetInRangeIsKept)
{
    Model m;
    while (m.model.voices.count < 12)
        m.model.newvoice();
    m.model.mixoffset = 3;
    delete m.model.voices.remove(11);
    m.model.voicecountchanged(false);
    EXPECT_EQ(m.model.mixoffset, 3u); // 3 + 8 rows still fit in 11 voices
}

TEST(RadioWrite, WritesValueMinusOne)
{
    Model m;
    m.model.newvoice();
    m.model.setvoiceradio(pevvoicemode, 3.0, 1, pvoicemode);
    EXPECT_EQ(m.voice(1)->params[pvoicemode]->intvalue, 2);
    EXPECT_EQ(m.voice(0)->params[pvoicemode]->intvalue, 0);
    m.model.setvoiceradio(pevvoicemode, 0.0, 1, pvoicemode); // value 0: nothing
    EXPECT_EQ(m.voice(1)->params[pvoicemode]->intvalue, 2);
    m.model.setvoiceradio(pevmonostereo, 1.0, 0, pglobalmonostereo);
    EXPECT_EQ(m.model.params[pglobalmonostereo]->intvalue, 0);
    EXPECT_EQ(m.voice(0)->params[pvoiceformantshift]->value, 0.5); // voices untouched
}

TEST(RadioWrite, OutsideIndexesAreIgnored)
{
    Model m;
    m.model.setvoiceradio(pevvoicemode, 2.0, 7, pvoicemode);
    m.model.setvoiceradio(pevvoicemode, 2.0, 0, 44);
    m.model.setvoiceradio(pevmonostereo, 2.0, 0, 44);
    EXPECT_EQ(m.voice(0)->params[pvoicemode]->intvalue, 0);
}

TEST(RadioWrite, LightsTheGroupOnlyFromTheMessageThread)
{
    Model m;
    std::vector<FakeSwitch*> switches;
    auto* group = new pkRadioGroup;
    group->tag = pevvoicemode2;
    group->count = 4;
    for (int j = 0; j < 4; ++j)
    {
        auto* s = new FakeSwitch;
        m.tools.controls.append(s);
        group->items[j] = s;
        switches.push_back(s);
    }
    m.tools.radiogroups.append(group);
    auto* other = new pkRadioGroup;
    other->tag = pevvoicemode;
    other->count = 1;
    auto* lone = new FakeSwitch;
    m.tools.controls.append(lone);
    other->items[0] = lone;
    m.tools.radiogroups.append(other);

    m.model.setvoiceradio(pevvoicemode2, 3.0, 0, pvoicemode2); // audio thread: widgets untouched
    for (FakeSwitch* s : switches)
        EXPECT_EQ(s->sets, 0);

    m.model.setvoiceradio(pevvoicemode2, 4.0, 0, pvoicemode2, true);
    EXPECT_EQ(m.voice(0)->params[pvoicemode2]->intvalue, 3);
    EXPECT_EQ(switches[0]->shown, 0.0f);
    EXPECT_EQ(switches[1]->shown, 0.0f);
    EXPECT_EQ(switches[2]->shown, 0.0f);
    EXPECT_EQ(switches[3]->shown, 1.0f);
    EXPECT_EQ(lone->sets, 0); // another group's tag
}
