#include "controlfixture.h"
#include "engine/harmony.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace
{
constexpr std::int32_t lfo = psourcelfo;
constexpr std::int32_t controller = psourcecontroller;
constexpr std::int32_t sine = pshapesine;
constexpr double qnan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

// A controller modulator on target whose output is set by hand.
std::uint64_t addcontroller(controlmodel& m, std::int64_t target, double output)
{
    const std::uint64_t p = m.addpatch(pkindmodulator, 0, target);
    m.param(p, ppatchsource).setvalue(controller);
    for (ppatchchannel& c : m.patch(p).channels)
        c.modoutput = output;
    return p;
}

// An assignment record as a state text may hold it, bypassing the one-per-kind rule.
void pushrecord(controlmodel& m, std::int32_t kind, std::uint64_t patch, std::int64_t target = 0)
{
    m.model.voices[0]->assignments.append(new ppatchassign{kind, patch, target, 1.0});
}
} // namespace

TEST(VoiceRatio, PitchMapsOneOctaveEachWayAndTwoInWideMode)
{
    // pitch, mode, ratio
    using row = std::tuple<double, std::int32_t, double>;
    const row rows[] = {{0.5, 0, 1.0}, {1.0, 0, 2.0}, {1.0, 2, 4.0}, {0.0, 2, 0.25}, {0.0, 0, 0.5}};
    for (const auto& [pitch, mode, ratio] : rows)
    {
        SCOPED_TRACE(testing::Message() << "pitch " << pitch << " mode " << mode);
        controlmodel m;
        m.voiceparam(0, pvoicepitch).setvalue(pitch);
        m.voiceparam(0, pvoicemode).setvalue(mode);
        m.controlhop();
        EXPECT_EQ(m.record(0).ratio, ratio);
    }
}

TEST(VoiceRatio, FullLfoOnPitchMovesTwoPointFourSemitones)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, sine, 0.0, 1.0, pvoicepitch);
    for (double phase : {0.0, 0.5}) // outputs +1 and -1
    {
        m.patch(p).channels[0].modphase = phase;
        m.controlhop();
        EXPECT_NEAR(m.record(0).ratio, std::pow(2.0, phase == 0.0 ? 0.2 : -0.2), 1e-12);
    }
}

TEST(VoiceGain, PanLawInStereoAndMono)
{
    // stereo, pan, modulation, left, right
    using row = std::tuple<int, double, double, double, double>;
    const row rows[] = {
        {1, 1.0, 0.0, 0.8, 0.8}, {1, 0.0, 0.0, 1.6, 0.0},
        {1, 1.5, 0.0, 0.4, 1.2}, {1, 1.0, 3.0, 0.0, 1.6}, // modulation clamped
        {0, 0.0, 0.0, 0.8, 0.8},
    };
    for (const auto& [stereo, pan, modulation, left, right] : rows)
    {
        SCOPED_TRACE(testing::Message() << "stereo " << stereo << " pan " << pan << " + " << modulation);
        controlmodel m;
        m.model.params[pglobalmonostereo]->setvalue(stereo);
        m.voiceparam(0, pvoicevolume).setvalue(0.8);
        m.voiceparam(0, pvoicepan).setvalue(pan);
        addcontroller(m, pvoicepan, modulation);
        m.controlhop(0);
        EXPECT_DOUBLE_EQ(m.record(0, 0).gain, left);
        if (stereo == 1)
        {
            m.controlhop(1);
            EXPECT_DOUBLE_EQ(m.record(0, 1).gain, right);
        }
    }
}

TEST(VoiceTargets, UnknownTargetsAndRecordsNamingNoPatchOfTheirKindAreSkipped)
{
    controlmodel m;
    const std::uint64_t p = addcontroller(m, pvoicepitch, 0.4);
    m.model.voices[0]->assignments[0]->target = 7;
    pushrecord(m, pkindmodulator, p, -1);
    pushrecord(m, pkinddelay, m.addpatch(pkindeq, 0, 0, false)); // an EQ patch read as a delay
    pushrecord(m, pkindharmony, 4000);                           // no such patch
    m.controlhop();
    const pbkvoicestate& r = m.record(0);
    EXPECT_EQ(r.ratio, 1.0);
    EXPECT_EQ(r.bus, 0u);
    EXPECT_EQ(r.harmonytable, nullptr);
    EXPECT_EQ(m.engine().wantpitch, 0);
}

TEST(VoiceRouting, LaterRecordOfOneKindWins)
{
    controlmodel m;
    std::uint64_t eq[2];
    std::uint64_t delay[2];
    for (int i = 0; i < 2; ++i)
    {
        eq[i] = m.addpatch(pkindeq, 0, 0, false);
        delay[i] = m.addpatch(pkinddelay, 0, 0, false);
        m.patch(eq[i]).refcount = m.patch(delay[i]).refcount = 1;
        pushrecord(m, pkindeq, eq[i]);
        pushrecord(m, pkinddelay, delay[i]);
    }
    m.controlhop();
    EXPECT_EQ(m.record(0).eqgains, m.patch(eq[1]).channels[0].buffer.get());
    EXPECT_EQ(m.record(0).bus, 2u);
}

namespace
{
// The table position snapping picks, read from the ratio (interval i is i semitones).
long snappedindex(controlmodel& m, double note)
{
    m.controlhop();
    pbkvoicestate& r = m.record(0);
    const double before = r.ratio;
    harmonysnap(r, note);
    return std::lround(12.0 * std::log2(r.ratio / before));
}
} // namespace

TEST(VoiceHarmony, SnappingFollowsTheKeyAndDetune)
{
    controlmodel m;
    const std::uint64_t h = m.addpatch(pkindharmony);
    m.param(h, ppatchsource).setvalue(pharmonycustom);
    for (std::uint64_t i = 0; i < pharmonysteps; ++i)
        m.param(h, ppatchintervalfirst + i).setvalue(static_cast<double>(i));
    m.model.recalcpatchstate(h);
    m.voiceparam(0, pvoicepitch).setvalue(0.75); // the entry multiplies the voice's own ratio
    // key, detune, note, index (no note: the last entry stays)
    using row = std::tuple<int, double, double, long>;
    const row rows[] = {
        {0, 0.5, 57.0, 9}, {0, 0.75, 11.6, 11}, {0, 0.75, 12.1, 0}, {0, 0.25, 11.4, 0},
        {5, 1.0, 30.0, 0}, {5, 1.0, 29.0, 11},  {5, 1.0, qnan, 11},
    };
    for (const auto& [key, detune, note, index] : rows)
    {
        SCOPED_TRACE(testing::Message() << "key " << key << " detune " << detune << " note " << note);
        m.param(h, ppatchshape).setvalue(key);
        m.param(h, ppatchamplitude2).setvalue(detune);
        EXPECT_EQ(snappedindex(m, note), index);
    }
    m.param(h, ppatchamplitude2).setvalue(0.5);
    for (int key = 0; key < 12; ++key)
    {
        m.param(h, ppatchshape).setvalue(key);
        EXPECT_EQ(snappedindex(m, 24.0 + key), 0) << key;
        EXPECT_EQ(snappedindex(m, 23.0 + key), 11) << key << ", one below";
    }
}

// The entry a detected note selects, and notes that select nothing.
TEST(HarmonyIndex, RoundsToTheSemitoneAboveTheKeyAndStaysInsideTheTable)
{
    // note, key, expected
    using row = std::tuple<double, double, std::int64_t>;
    const row cases[] = {
        {11.6, 0.0, 0},
        {11.4, 0.0, 11},
        {11.5, 0.0, 0}, // half a semitone below the key rounds up to it
        {std::nextafter(11.5, 0.0), 0.0, 11},
        {57.0, 9.0, 0},
        {-13.0, 0.0, 11},
        {60.2, 2.4, 10},
        {std::nextafter(-0.5, -1.0), 0.0, 11}, // folds to 12.0 in doubles
        {qnan, 0.0, -1},
        {infinity, 0.0, -1},
        {60.0, -infinity, -1},
    };
    for (const auto& [note, key, expected] : cases)
        EXPECT_EQ(harmonyindex(note, key), expected) << note << " over " << key;
    for (const double note : {1e300, -1e300, 1e18 + 0.3, std::numeric_limits<double>::max()})
    {
        EXPECT_GE(harmonyindex(note, 0.0), 0) << note;
        EXPECT_LE(harmonyindex(note, 0.0), 11) << note;
    }
}
