#include "controlfixture.h"
#include "engine/modulators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
constexpr double rate = 44100.0;
constexpr std::int32_t lfo = 0, envelopefollower = 1;
constexpr std::int32_t triangle = 0, sine = 1, randomshape = 2;
} // namespace

// ---- shapes and the random source ----

TEST(LfoShapes, SineApproximatesCosineAtItsQuarterPoints)
{
    EXPECT_DOUBLE_EQ(pmodsource::sineshape(0.0), 1.0);
    EXPECT_NEAR(pmodsource::sineshape(0.25), 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(pmodsource::sineshape(0.5), -1.0);
    EXPECT_NEAR(pmodsource::sineshape(0.75), 0.0, 1e-12);
    // A parabolic cosine stays within about 0.1 % of the real one.
    for (double p = 0.0; p < 1.0; p += 0.01)
        EXPECT_NEAR(pmodsource::sineshape(p), std::cos(2.0 * M_PI * p), 2e-3) << p;
}

TEST(LfoShapes, TriangleRunsFromMinusOneToOneAndBack)
{
    EXPECT_DOUBLE_EQ(pmodsource::triangleshape(0.0), -1.0);
    EXPECT_DOUBLE_EQ(pmodsource::triangleshape(0.25), 0.0);
    EXPECT_DOUBLE_EQ(pmodsource::triangleshape(0.5), 1.0);
    EXPECT_DOUBLE_EQ(pmodsource::triangleshape(0.75), 0.0);
    EXPECT_DOUBLE_EQ(pmodsource::triangleshape(1.0), -1.0);
}

TEST(RandomSource, GeneratorSequenceFromStateZero)
{
    double g = 0.0;
    const float first = pmodsource::nextnoise(g, 1664525u, 32767u);
    EXPECT_EQ(g, 32767.0);
    EXPECT_FLOAT_EQ(first, 32767.0f / 2147483648.0f - 1.0f);
    pmodsource::nextnoise(g, 1664525u, 32767u);
    EXPECT_EQ(g, 3001915890.0);
    pmodsource::nextnoise(g, 1664525u, 32767u);
    EXPECT_EQ(g, 3389635913.0);
}

TEST(RandomSource, NoiseStaysWithinPlusMinusOne)
{
    double g = 0.0;
    double lowest = 1.0, highest = -1.0, sum = 0.0;
    constexpr int samples = 100000;
    for (int i = 0; i < samples; ++i)
    {
        const float r = pmodsource::nextnoise(g, 1664525u, 32767u);
        lowest = std::min<double>(lowest, r);
        highest = std::max<double>(highest, r);
        sum += r;
    }
    EXPECT_GE(lowest, -1.0);
    EXPECT_LE(highest, 1.0);
    EXPECT_LT(lowest, -0.99);
    EXPECT_GT(highest, 0.99);
    EXPECT_NEAR(sum / samples, 0.0, 0.01);
}

TEST(RandomSource, SmootherPassesDcAndStopsNyquist)
{
    double state[pmodstatesize] = {};
    pmodsource::designsmoother(100.0, rate, state);
    const double b0 = state[pmodsource::slotb0], b1 = state[pmodsource::slotb1], b2 = state[pmodsource::slotb2];
    const double a1 = state[pmodsource::slota1], a2 = state[pmodsource::slota2];
    EXPECT_NEAR((b0 + b1 + b2) / (1.0 + a1 + a2), 1.0, 1e-9);
    EXPECT_NEAR((b0 - b1 + b2) / (1.0 - a1 + a2), 0.0, 1e-12);
}


// ---- LFO ----

TEST(ModulatorLfo, SineCompletesOneCycleEvery172Point27HopsAtSpeedOne)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, sine, 1.0);
    m.param(p, ppatchamplitude1).setvalue(1.0);

    int wraps = 0;
    double previous = 0.0;
    for (int hop = 1; hop <= 17227; ++hop)
    {
        m.patchpass();
        const double phase = m.patch(p).channels[0].modphase;
        if (phase < previous)
            ++wraps;
        previous = phase;
        if (hop == 172)
        {
            EXPECT_EQ(wraps, 0);
        }
        if (hop == 173)
        {
            EXPECT_EQ(wraps, 1);
        }
        ASSERT_DOUBLE_EQ(m.output(p), pmodsource::sineshape(phase));
    }
    // 17227 hops of 256 samples are 100.002 cycles; 17226 would be 99.996.
    EXPECT_EQ(wraps, 100);
}

TEST(ModulatorLfo, OutputsAtPhasesZeroQuarterAndHalfScaleWithAmplitude)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, sine, 0.0);
    m.param(p, ppatchamplitude1).setvalue(0.8);
    const double expected[] = {0.8, 0.0, -0.8};
    const double phases[] = {0.0, 0.25, 0.5};
    for (int i = 0; i < 3; ++i)
    {
        m.patch(p).channels[0].modphase = phases[i];
        m.patchpass();
        EXPECT_NEAR(m.output(p), expected[i], 1e-12) << phases[i];
    }
}

TEST(ModulatorLfo, TriangleAtSpeedZeroStaysAtMinusAmplitude)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, triangle, 0.0);
    m.param(p, ppatchamplitude1).setvalue(0.7);
    for (int hop = 0; hop < 50; ++hop)
    {
        m.patchpass();
        ASSERT_DOUBLE_EQ(m.output(p), -0.7);
    }
}

TEST(ModulatorLfo, BothChannelsRunTheSameSequence)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, randomshape, 3.0);
    m.param(p, ppatchamplitude1).setvalue(1.0);
    for (int hop = 0; hop < 30; ++hop)
    {
        m.patchpass(0);
        m.patchpass(1);
        ASSERT_EQ(m.output(p, 0), m.output(p, 1));
    }
}

TEST(ModulatorLfo, RandomShapeAdvancesItsGeneratorEveryHop)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, randomshape, 5.0);
    m.param(p, ppatchamplitude1).setvalue(0.0);
    const double sequence[] = {32767.0, 3001915890.0, 3389635913.0};
    for (double g : sequence)
    {
        m.patchpass();
        EXPECT_EQ(m.patch(p).channels[0].modphase, g);
        EXPECT_EQ(m.output(p), 0.0); // amplitude 0 silences it, the generator still runs
    }
}


TEST(ModulatorLfo, UnassignedPatchKeepsItsLastOutput)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, sine, 2.0);
    m.param(p, ppatchamplitude1).setvalue(1.0);
    for (int hop = 0; hop < 10; ++hop)
        m.patchpass();
    const double kept = m.output(p);
    const double phase = m.patch(p).channels[0].modphase;
    m.patch(p).refcount = 0;
    for (int hop = 0; hop < 10; ++hop)
        m.patchpass();
    EXPECT_EQ(m.output(p), kept);
    EXPECT_EQ(m.patch(p).channels[0].modphase, phase);
}


// ---- envelope follower ----

namespace
{
// Runs hops with the newest input at a constant level; returns the follower output.
double runenvelope(controlmodel& m, std::uint64_t p, double input, int hops)
{
    m.setnewesthop(input);
    for (int hop = 0; hop < hops; ++hop)
        m.patchpass();
    return m.output(p);
}
} // namespace

TEST(ModulatorEnvelope, AttackRisesToFullAndReleaseFallsToZero)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(envelopefollower, 0, 0.5);
    m.param(p, ppatchamplitude1).setvalue(1.0); // output = 0.5 x envelope
    m.param(p, ppatchamplitude2).setvalue(1.0); // input gain 300

    EXPECT_NEAR(runenvelope(m, p, 0.01, 200), 0.5, 1e-3); // level 3, far above the gate
    EXPECT_NEAR(runenvelope(m, p, 0.0, 200), 0.0, 1e-3);
}


TEST(ModulatorEnvelope, AmplitudeTwoZeroHearsNothing)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(envelopefollower, 0, 0.5);
    m.param(p, ppatchamplitude1).setvalue(1.0);
    m.param(p, ppatchamplitude2).setvalue(0.0);
    EXPECT_EQ(runenvelope(m, p, 0.9, 50), 0.0);
    EXPECT_EQ(m.patch(p).channels[0].modstate[pmodsource::slotenvlevel], 0.0);
}

TEST(ModulatorEnvelope, GateStaysOpenBetweenTheThresholds)
{
    // After a burst the level settles inside the band (0.19): the envelope then falls with
    // the slow attack coefficient; below the band it falls with the fast release one.
    controlmodel band, below;
    const std::uint64_t pb = band.addmodulator(envelopefollower, 0, 0.5);
    const std::uint64_t pl = below.addmodulator(envelopefollower, 0, 0.5);
    for (controlmodel* m : {&band, &below})
    {
        const std::uint64_t p = m == &band ? pb : pl;
        m->param(p, ppatchamplitude1).setvalue(1.0);
        m->param(p, ppatchamplitude2).setvalue(1.0);
        runenvelope(*m, p, 0.01, 100);
    }
    const double inband = runenvelope(band, pb, 0.19 / 300.0, 10);
    const double silent = runenvelope(below, pl, 0.0, 10);
    EXPECT_EQ(band.patch(pb).channels[0].modstate[pmodsource::slotenvgate], 1.0);
    EXPECT_EQ(below.patch(pl).channels[0].modstate[pmodsource::slotenvgate], 0.0);
    EXPECT_GT(inband, 0.01);
    EXPECT_LT(silent, 1e-4);
}

namespace
{
// The target hold mode should reach for a constant input: twice the mean excess of the
// smoothed level over the upper threshold during its first 0.015 s above it, capped at 1.
double expectedholdtarget(double input, double gain, double sr)
{
    const double c = std::exp(-2.0 * M_PI * 18.0 / sr);
    const int window = static_cast<int>(0.015 * sr);
    double level = 0.0, sum = 0.0;
    int counted = 0;
    for (int i = 0; counted < window && i < 1000000; ++i)
    {
        level = c * level + (1.0 - c) * std::fabs(gain * input);
        if (level > 0.22)
        {
            sum += level - 0.22;
            ++counted;
        }
    }
    return std::min(1.0, 2.0 * sum / counted);
}
} // namespace

TEST(ModulatorEnvelope, HoldModeReachesTwiceTheMeanExcessOfTheBurst)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(envelopefollower, 0, 0.5);
    m.param(p, ppatchamplitude1).setvalue(1.0);
    m.param(p, ppatchamplitude2).setvalue(0.1); // input gain 3
    m.param(p, ppatchadjustmode).setvalue(1);
    const double input = 0.1; // level settles at 0.3
    const double target = expectedholdtarget(input, 3.0, rate);
    ASSERT_GT(target, 0.02);
    ASSERT_LT(target, 0.2);
    EXPECT_NEAR(runenvelope(m, p, input, 400), 0.5 * target, 1e-3);
    EXPECT_EQ(m.patch(p).channels[0].modstate[pmodsource::slotenvholdcount], std::floor(0.015 * rate));
}

TEST(ModulatorEnvelope, HoldModeIsCappedAtOne)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(envelopefollower, 0, 0.5);
    m.param(p, ppatchamplitude1).setvalue(1.0);
    m.param(p, ppatchamplitude2).setvalue(1.0);
    m.param(p, ppatchadjustmode).setvalue(1);
    EXPECT_NEAR(runenvelope(m, p, 0.05, 400), 0.5, 1e-3);
}

TEST(ModulatorEnvelope, HoldRestartsAfterTheGateCloses)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(envelopefollower, 0, 0.5);
    m.param(p, ppatchamplitude1).setvalue(1.0);
    m.param(p, ppatchamplitude2).setvalue(0.1);
    m.param(p, ppatchadjustmode).setvalue(1);
    runenvelope(m, p, 0.1, 400);
    runenvelope(m, p, 0.0, 100);
    EXPECT_EQ(m.patch(p).channels[0].modstate[pmodsource::slotenvholdcount], 0.0);
    // A second, louder burst is measured afresh.
    const double louder = expectedholdtarget(0.2, 3.0, rate);
    EXPECT_NEAR(runenvelope(m, p, 0.2, 400), 0.5 * louder, 1e-3);
}

TEST(ModulatorEnvelope, TwoHoldFollowersOnOneChannelMeasureApart)
{
    const double quiet = expectedholdtarget(0.1, 3.0, rate);
    const double loud = expectedholdtarget(0.1, 4.32, rate); // "Amplitude 2" 0.12
    ASSERT_GT(std::fabs(quiet - loud), 0.05);

    controlmodel m;
    const std::uint64_t a = m.addmodulator(envelopefollower, 0, 0.5);
    const std::uint64_t b = m.addmodulator(envelopefollower, 0, 0.5);
    for (std::uint64_t p : {a, b})
    {
        m.param(p, ppatchamplitude1).setvalue(1.0);
        m.param(p, ppatchadjustmode).setvalue(1);
    }
    m.param(a, ppatchamplitude2).setvalue(0.1);
    m.param(b, ppatchamplitude2).setvalue(0.12);
    runenvelope(m, a, 0.1, 400);
    EXPECT_NEAR(m.output(a), 0.5 * quiet, 1e-3);
    EXPECT_NEAR(m.output(b), 0.5 * loud, 1e-3);
}

TEST(ModulatorEnvelope, NonFiniteInputIsSilence)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(envelopefollower, 0, 0.5);
    m.param(p, ppatchamplitude1).setvalue(1.0);
    m.param(p, ppatchamplitude2).setvalue(1.0);
    runenvelope(m, p, 0.01, 100);
    const double nan = std::nan("");
    EXPECT_NEAR(runenvelope(m, p, nan, 200), 0.0, 1e-3);
    EXPECT_NEAR(runenvelope(m, p, 1e308, 200), 0.0, 1e-3);
    EXPECT_NEAR(runenvelope(m, p, 0.01, 200), 0.5, 1e-3); // and it still hears real input
}

TEST(ModulatorEnvelope, SetsItselfUpAgainAfterARateChange)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(envelopefollower, 0, 0.5);
    m.param(p, ppatchamplitude2).setvalue(1.0);
    m.patchpass();
    EXPECT_EQ(m.patch(p).channels[0].modstate[pmodsource::slotenvholdlength], std::floor(0.015 * rate));
    m.model.initpbm(96000.0);
    EXPECT_EQ(m.patch(p).channels[0].modstarted, 0u);
    m.patchpass();
    EXPECT_EQ(m.patch(p).channels[0].modstarted, 1u);
    EXPECT_EQ(m.patch(p).channels[0].modstate[pmodsource::slotenvholdlength], std::floor(0.015 * 96000.0));
}
