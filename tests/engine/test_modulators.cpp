#include "controlfixture.h"
#include "engine/modulators.h"
#include "foundation/comath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{
constexpr double rate = 44100.0;
constexpr std::int32_t lfo = psourcelfo, envelopefollower = psourceenvelope;
constexpr std::int32_t triangle = pshapetriangle, sine = pshapesine, randomshape = 2; // any other code: random
} // namespace

TEST(ModulatorLfo, OutputsAtPhasesZeroQuarterAndHalfAndHoldAtSpeedZero)
{
    const struct { std::int32_t shape; double phase, expected; } rows[] = {
        {sine, 0.0, 0.8}, {sine, 0.25, 0.0}, {sine, 0.5, -0.8},
        {triangle, 0.0, -0.8}, {triangle, 0.25, 0.0}, {triangle, 0.5, 0.8}};
    for (const auto& r : rows)
    {
        SCOPED_TRACE(testing::Message() << r.shape << " at " << r.phase);
        controlmodel m;
        const std::uint64_t p = m.addmodulator(lfo, r.shape, 0.0, 0.8);
        m.patch(p).channels[0].modphase = r.phase;
        for (int hop = 0; hop < 20; ++hop)
        {
            m.patchpass();
            ASSERT_NEAR(m.output(p), r.expected, 1e-12);
        }
    }
}

TEST(ModulatorLfo, SpeedOneCompletesOneCycleEvery172Point27Hops)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, sine, 1.0);
    int wraps = 0;
    double previous = 0.0;
    for (int hop = 1; hop <= 17227; ++hop)
    {
        m.patchpass();
        const double phase = m.patch(p).channels[0].modphase;
        wraps += phase < previous ? 1 : 0;
        previous = phase;
        ASSERT_TRUE(hop != 172 || wraps == 0);
        ASSERT_TRUE(hop != 173 || wraps == 1);
    }
    EXPECT_EQ(wraps, 100); // 17227 hops of 256 samples are 100.002 cycles; 17226 would be 99.996
}

TEST(ModulatorLfo, RandomShapeAdvancesItsGeneratorEveryHopOnBothChannels)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, randomshape, 5.0, 0.0);
    for (double expected : {32767.0, 3001915890.0, 3389635913.0})
    {
        m.patchpass(0), m.patchpass(1);
        EXPECT_TRUE(m.patch(p).channels[0].modphase == expected && m.patch(p).channels[1].modphase == expected);
        EXPECT_EQ(m.output(p), 0.0); // amplitude 0 silences it; the generator still runs
    }
}

namespace
{
double runenvelope(controlmodel& m, std::uint64_t p, double input, int hops)
{
    m.setnewesthop(input);
    for (int hop = 0; hop < hops; ++hop)
        m.patchpass();
    return m.output(p);
}

// "Amplitude 1" 1 makes the output half the envelope; "Amplitude 2" sets the input gain.
std::uint64_t addfollower(controlmodel& m, double amplitude2, std::int32_t adjustmode = 0)
{
    const std::uint64_t p = m.addmodulator(envelopefollower, 0, 0.5);
    m.param(p, ppatchamplitude2).setvalue(amplitude2);
    m.param(p, ppatchadjustmode).setvalue(adjustmode);
    return p;
}

// Hold target for a constant input: twice the mean excess over 0.22 in its first 0.015 s, capped at 1.
double expectedholdtarget(double input, double gain)
{
    const double c = std::exp(-2.0 * comath::pi * 18.0 / rate);
    const int window = static_cast<int>(0.015 * rate);
    double level = 0.0, sum = 0.0;
    for (int counted = 0; counted < window;)
        if ((level = c * level + (1.0 - c) * std::fabs(gain * input)) > 0.22)
            sum += level - 0.22, ++counted;
    return std::min(1.0, 2.0 * sum / window);
}
} // namespace

TEST(ModulatorEnvelope, HoldModeReachesTwiceTheMeanExcessOfEachBurst)
{
    controlmodel m;
    const std::uint64_t p = addfollower(m, 0.1, 1); // input gain 3: the level settles at 0.3
    const double target = expectedholdtarget(0.1, 3.0);
    ASSERT_TRUE(target > 0.02 && target < 0.2);
    EXPECT_NEAR(runenvelope(m, p, 0.1, 400), 0.5 * target, 1e-3);
    EXPECT_EQ(m.modstate(p)[pmodsource::slotenvholdcount], std::floor(0.015 * rate));
    // The gate closes, and a louder burst is measured afresh.
    runenvelope(m, p, 0.0, 100);
    EXPECT_EQ(m.modstate(p)[pmodsource::slotenvholdcount], 0.0);
    EXPECT_NEAR(runenvelope(m, p, 0.2, 400), 0.5 * expectedholdtarget(0.2, 3.0), 1e-3);
    // A second, louder follower on the same channel is measured apart and capped.
    controlmodel two;
    const std::uint64_t quiet = addfollower(two, 0.1, 1), capped = addfollower(two, 1.0, 1);
    runenvelope(two, quiet, 0.1, 400);
    EXPECT_NEAR(two.output(quiet), 0.5 * target, 1e-3);
    EXPECT_NEAR(two.output(capped), 0.5, 1e-3);
}

TEST(ModulatorEnvelope, AttackReleaseAndNonFiniteInputIsSilence)
{
    controlmodel m;
    const std::uint64_t p = addfollower(m, 1.0); // input gain 300
    EXPECT_NEAR(runenvelope(m, p, 0.01, 200), 0.5, 1e-3);
    EXPECT_NEAR(runenvelope(m, p, 0.0, 200), 0.0, 1e-3);
    runenvelope(m, p, 0.01, 100);
    EXPECT_NEAR(runenvelope(m, p, std::nan(""), 200), 0.0, 1e-3);
    EXPECT_NEAR(runenvelope(m, p, 1e308, 200), 0.0, 1e-3);
    EXPECT_NEAR(runenvelope(m, p, 0.01, 200), 0.5, 1e-3); // and it still hears real input
}
