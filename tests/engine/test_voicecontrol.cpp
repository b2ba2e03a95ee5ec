#include "controlfixture.h"
#include "engine/harmony.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
constexpr std::int32_t lfo = 0, controller = 2;
constexpr std::int32_t sine = 1;
constexpr std::int32_t midikeys = 1;

// Appends an assignment record as a state text may hold it, bypassing the one-per-kind rule.
void pushrecord(pparvoice& voice, std::int32_t kind, std::uint64_t patch, std::int64_t target = 0)
{
    auto* record = new ppatchassign;
    record->kind = kind;
    record->patch = patch;
    record->target = target;
    voice.assignments.append(record);
}
} // namespace

// ---- ratio ----

TEST(VoiceRatio, PitchMapsOneOctaveEachWayAndTwoInWideMode)
{
    controlmodel m;
    m.controlhop();
    EXPECT_EQ(m.record(0).ratio, 1.0); // "Pitch" at its default 0.5

    m.voiceparam(0, pvoicepitch).setvalue(1.0);
    m.controlhop();
    EXPECT_EQ(m.record(0).ratio, 2.0);

    m.voiceparam(0, pvoicemode).setvalue(2);
    m.controlhop();
    EXPECT_EQ(m.record(0).ratio, 4.0);

    m.voiceparam(0, pvoicepitch).setvalue(0.0);
    m.controlhop();
    EXPECT_EQ(m.record(0).ratio, 0.25);

    m.voiceparam(0, pvoicemode).setvalue(0);
    m.controlhop();
    EXPECT_EQ(m.record(0).ratio, 0.5);
}

TEST(VoiceRatio, FullLfoOnPitchMovesTwoPointFourSemitones)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, sine, 0.0, 0, pvoicepitch);
    m.param(p, ppatchamplitude1).setvalue(1.0);

    m.patch(p).channels[0].modphase = 0.0; // output +1
    m.controlhop();
    EXPECT_NEAR(m.record(0).ratio, std::pow(2.0, 0.2), 1e-12);
    EXPECT_NEAR(12.0 * std::log2(m.record(0).ratio), 2.4, 1e-9);

    m.patch(p).channels[0].modphase = 0.5; // output -1
    m.controlhop();
    EXPECT_NEAR(m.record(0).ratio, std::pow(2.0, -0.2), 1e-12);
}

TEST(VoiceRatio, ModulationIsClampedToThePitchRange)
{
    controlmodel m;
    const std::uint64_t a = m.addpatch(pkindmodulator, 0, pvoicepitch);
    m.param(a, ppatchsource).setvalue(controller);
    m.patch(a).channels[0].modoutput = 5.0;
    m.controlhop();
    EXPECT_EQ(m.record(0).ratio, 2.0);
    m.patch(a).channels[0].modoutput = -5.0;
    m.controlhop();
    EXPECT_EQ(m.record(0).ratio, 0.5);
}

TEST(VoiceRatio, MidiKeysScaleWithAdjustmentModeAndVoiceMode)
{
    // "Pitch" 0.5 plus the keys contribution; 0.125 of output lands on these ratios.
    struct row
    {
        std::int32_t adjust, mode;
        double ratio;
    } rows[] = {
        {0, 0, std::pow(2.0, 0.5)},  // x 2: p = 0.75
        {1, 0, std::pow(2.0, 0.25)}, // x 1: p = 0.625
        {0, 2, std::pow(2.0, 0.5)},  // x 1, two octaves: p = 0.625
        {1, 2, std::pow(2.0, 0.25)}, // x 0.5, two octaves: p = 0.5625
    };
    for (const row& r : rows)
    {
        controlmodel m;
        const std::uint64_t p = m.addpatch(pkindmodulator, 0, pvoicepitch);
        m.param(p, ppatchsource).setvalue(controller);
        m.param(p, ppatchmidicc).setvalue(midikeys);
        m.param(p, ppatchadjustmode).setvalue(r.adjust);
        m.voiceparam(0, pvoicemode).setvalue(r.mode);
        m.patch(p).channels[0].modoutput = 0.125;
        m.controlhop();
        EXPECT_NEAR(m.record(0).ratio, r.ratio, 1e-12) << r.adjust << " " << r.mode;
    }
}


// ---- gain and pan ----

TEST(VoiceGain, PanLawInStereo)
{
    controlmodel m;
    m.global(pglobalmonostereo).setvalue(1);
    m.voiceparam(0, pvoicevolume).setvalue(0.8);

    m.voiceparam(0, pvoicepan).setvalue(1.0);
    m.controlhop(0);
    m.controlhop(1);
    EXPECT_DOUBLE_EQ(m.record(0, 0).gain, 0.8);
    EXPECT_DOUBLE_EQ(m.record(0, 1).gain, 0.8);

    m.voiceparam(0, pvoicepan).setvalue(0.0);
    m.controlhop(0);
    m.controlhop(1);
    EXPECT_DOUBLE_EQ(m.record(0, 0).gain, 1.6);
    EXPECT_DOUBLE_EQ(m.record(0, 1).gain, 0.0);

    m.voiceparam(0, pvoicepan).setvalue(1.5);
    m.controlhop(0);
    m.controlhop(1);
    EXPECT_DOUBLE_EQ(m.record(0, 0).gain, 0.4);
    EXPECT_DOUBLE_EQ(m.record(0, 1).gain, 1.2);
}

TEST(VoiceGain, PanModulationIsClampedToTheSides)
{
    controlmodel m;
    m.global(pglobalmonostereo).setvalue(1);
    m.voiceparam(0, pvoicevolume).setvalue(1.0);
    const std::uint64_t p = m.addpatch(pkindmodulator, 0, pvoicepan);
    m.param(p, ppatchsource).setvalue(controller);
    m.patch(p).channels[0].modoutput = 3.0;
    m.patch(p).channels[1].modoutput = 3.0;
    m.controlhop(0);
    m.controlhop(1);
    EXPECT_DOUBLE_EQ(m.record(0, 0).gain, 0.0);
    EXPECT_DOUBLE_EQ(m.record(0, 1).gain, 2.0);
}

TEST(VoiceGain, PanHasNoEffectInMono)
{
    controlmodel m;
    m.global(pglobalmonostereo).setvalue(0);
    m.voiceparam(0, pvoicevolume).setvalue(0.8);
    m.voiceparam(0, pvoicepan).setvalue(0.0);
    m.controlhop(0);
    EXPECT_DOUBLE_EQ(m.record(0, 0).gain, 0.8);
}

TEST(VoiceGain, VolumeModulationAddsAndNeverGoesNegative)
{
    controlmodel m;
    m.voiceparam(0, pvoicevolume).setvalue(0.3);
    const std::uint64_t p = m.addpatch(pkindmodulator, 0, pvoicevolume);
    m.param(p, ppatchsource).setvalue(controller);
    m.patch(p).channels[0].modoutput = 0.2;
    m.controlhop();
    EXPECT_DOUBLE_EQ(m.record(0).gain, 0.5);
    m.patch(p).channels[0].modoutput = -0.5;
    m.controlhop();
    EXPECT_EQ(m.record(0).gain, 0.0);
}

// ---- formants, mode2, targets ----

TEST(VoiceFormants, ShiftMapsToFactorFourDownToAQuarter)
{
    controlmodel m;
    m.controlhop();
    EXPECT_EQ(m.record(0).formantfactor, 1.0);
    EXPECT_EQ(m.record(0).formantamount, 0.5);

    m.voiceparam(0, pvoiceformantshift).setvalue(0.0);
    m.voiceparam(0, pvoiceformantscale).setvalue(1.0);
    m.controlhop();
    EXPECT_EQ(m.record(0).formantfactor, 4.0);
    EXPECT_EQ(m.record(0).formantamount, 1.0);

    m.voiceparam(0, pvoiceformantshift).setvalue(1.0);
    m.controlhop();
    EXPECT_EQ(m.record(0).formantfactor, 0.25);
}


TEST(VoiceTargets, ModeTwoIsCopiedAndUnknownTargetsContributeNothing)
{
    controlmodel m;
    m.voiceparam(0, pvoicemode2).setvalue(3);
    const std::uint64_t p = m.addpatch(pkindmodulator);
    m.param(p, ppatchsource).setvalue(controller);
    m.patch(p).channels[0].modoutput = 0.4;
    pushrecord(*m.model.voices[0], pkindmodulator, p, 9);
    pushrecord(*m.model.voices[0], pkindmodulator, p, -1);
    m.model.voices[0]->assignments[0]->target = 7;
    m.controlhop();
    EXPECT_EQ(m.record(0).mode2, 3);
    EXPECT_EQ(m.record(0).ratio, 1.0);
    EXPECT_DOUBLE_EQ(m.record(0).gain, m.voiceparam(0, pvoicevolume).value.load());
}

TEST(VoiceTargets, RecordsNamingNoPatchOfTheirKindAreSkipped)
{
    controlmodel m;
    const std::uint64_t eq = m.addpatch(pkindeq, 0, 0, false);
    pushrecord(*m.model.voices[0], pkinddelay, eq);      // an EQ patch read as a delay
    pushrecord(*m.model.voices[0], pkindharmony, 4000);  // no such patch
    pushrecord(*m.model.voices[0], pkindnone, 0);
    m.controlhop();
    EXPECT_EQ(m.record(0).bus, 0u);
    EXPECT_EQ(m.record(0).harmonytable, nullptr);
    EXPECT_EQ(m.engine().wantpitch, 0);
}

// ---- bus, EQ and harmony ----

TEST(VoiceRouting, DelayEqAndHarmonyPatchesReachTheRecord)
{
    controlmodel m;
    const std::uint64_t delay = m.addpatch(pkinddelay);
    const std::uint64_t eq = m.addpatch(pkindeq);
    const std::uint64_t harmony = m.addpatch(pkindharmony);
    m.controlhop();
    EXPECT_EQ(m.record(0).bus, 1u);
    EXPECT_EQ(m.record(0).eqgains, m.patch(eq).channels[0].buffer.get());
    EXPECT_EQ(m.record(0).harmonytable, m.patch(harmony).channels[0].buffer.get());
    EXPECT_EQ(m.engine().wantpitch, 1);
    (void)delay;

    // Both channels read channel 0's curves.
    m.controlhop(1);
    EXPECT_EQ(m.record(0, 1).eqgains, m.patch(eq).channels[0].buffer.get());
    EXPECT_EQ(m.record(0, 1).bus, 1u);
}

TEST(VoiceRouting, LaterRecordOfOneKindWins)
{
    controlmodel m;
    const std::uint64_t first = m.addpatch(pkindeq, 0, 0, false);
    const std::uint64_t second = m.addpatch(pkindeq, 0, 0, false);
    const std::uint64_t d1 = m.addpatch(pkinddelay, 0, 0, false);
    const std::uint64_t d2 = m.addpatch(pkinddelay, 0, 0, false);
    pparvoice& voice = *m.model.voices[0];
    pushrecord(voice, pkindeq, first);
    pushrecord(voice, pkinddelay, d1);
    pushrecord(voice, pkindeq, second);
    pushrecord(voice, pkinddelay, d2);
    for (std::uint64_t p : {first, second, d1, d2})
        m.patch(p).refcount = 1;
    m.controlhop();
    EXPECT_EQ(m.record(0).eqgains, m.patch(second).channels[0].buffer.get());
    EXPECT_EQ(m.record(0).bus, 2u);
}


TEST(VoiceHarmony, GlideStepFollowsSmooth)
{
    controlmodel m;
    const std::uint64_t h = m.addpatch(pkindharmony);
    m.param(h, ppatchamplitude1).setvalue(0.0);
    m.controlhop();
    EXPECT_EQ(m.record(0).glidestep, 0.0);

    m.param(h, ppatchamplitude1).setvalue(1.0);
    m.controlhop();
    EXPECT_DOUBLE_EQ(m.record(0).glidestep, 0.001 * 256.0 * 20.0 / 44100.0);

    m.param(h, ppatchamplitude1).setvalue(0.5);
    m.controlhop();
    EXPECT_DOUBLE_EQ(m.record(0).glidestep, 0.501 * 256.0 * 20.0 / 44100.0);
}

TEST(VoiceHarmony, KeyOffsetIsDetunePlusKey)
{
    controlmodel m;
    const std::uint64_t h = m.addpatch(pkindharmony);
    m.controlhop();
    EXPECT_EQ(m.record(0).keyoffset, 0.0); // "Detune" centred, key 0
    m.param(h, ppatchamplitude2).setvalue(1.0);
    m.param(h, ppatchshape).setvalue(5);
    m.controlhop();
    EXPECT_DOUBLE_EQ(m.record(0).keyoffset, 6.0);
    m.param(h, ppatchamplitude2).setvalue(0.25);
    m.controlhop();
    EXPECT_DOUBLE_EQ(m.record(0).keyoffset, 4.5);
}

namespace
{
// A harmony patch whose interval at position i is i semitones, so the chosen ratio names
// the table index.
std::uint64_t addindexharmony(controlmodel& m)
{
    const std::uint64_t h = m.addpatch(pkindharmony);
    m.param(h, ppatchsource).setvalue(3); // custom interval set
    for (std::uint64_t i = 0; i < pharmonysteps; ++i)
        m.param(h, ppatchintervalfirst + i).setvalue(static_cast<double>(i));
    m.model.recalcpatchstate(h);
    return h;
}

// The table position the snapping picks for a detected note: hop, snap, read the ratio.
long snappedindex(controlmodel& m, double note)
{
    m.controlhop();
    pbkvoicestate& r = m.record(0);
    const double before = r.ratio;
    harmonysnap(r, note);
    return std::lround(12.0 * std::log2(r.ratio / before));
}
} // namespace

TEST(VoiceHarmony, SnappingFoldsTheNoteAboveTheKey)
{
    controlmodel m;
    addindexharmony(m);
    EXPECT_EQ(snappedindex(m, 11.6), 0); // rounds to 12, folded
    EXPECT_EQ(snappedindex(m, 11.4), 11);
    EXPECT_EQ(snappedindex(m, 57.0), 9); // A4
    EXPECT_EQ(snappedindex(m, -1.0), 11);
}

TEST(VoiceHarmony, SnappingFollowsTheKeyAndDetune)
{
    controlmodel m;
    const std::uint64_t h = addindexharmony(m);
    for (int key = 0; key < 12; ++key)
    {
        m.param(h, ppatchshape).setvalue(key);
        // The key note itself is position 0; the note a semitone below it is position 11.
        EXPECT_EQ(snappedindex(m, 24.0 + key), 0) << key;
        EXPECT_EQ(snappedindex(m, 23.0 + key), 11) << key;
    }
    m.param(h, ppatchshape).setvalue(0);
    m.param(h, ppatchamplitude2).setvalue(0.75); // half a semitone sharp key
    EXPECT_EQ(snappedindex(m, 11.6), 11);
    EXPECT_EQ(snappedindex(m, 12.1), 0);
    m.param(h, ppatchamplitude2).setvalue(0.25); // half a semitone flat
    EXPECT_EQ(snappedindex(m, 11.4), 0);
}

TEST(VoiceHarmony, GlideRisesStepByStepToTheTarget)
{
    controlmodel m;
    const std::uint64_t h = m.addpatch(pkindharmony); // preset thirds
    m.param(h, ppatchamplitude1).setvalue(1.0);
    m.controlhop();
    const double step = m.record(0).glidestep;
    const double target = std::pow(2.0, 4.0 / 12.0);
    for (int hop = 1; hop <= 5; ++hop)
    {
        m.controlhop();
        harmonysnap(m.record(0), 0.0);
        EXPECT_NEAR(m.record(0).harmonyratio, 1.0 + hop * step, 1e-12);
    }
    // A voice that loses its harmony patch keeps its glided ratio without applying it.
    const double kept = m.record(0).harmonyratio;
    m.model.voices[0]->assignments.clearAndDestroy();
    m.controlhop();
    EXPECT_EQ(m.record(0).harmonytable, nullptr);
    EXPECT_EQ(m.record(0).harmonyratio, kept);
    EXPECT_EQ(m.record(0).ratio, 1.0);
    EXPECT_LT(kept, target);
}

