#include "controlfixture.h"
#include "engine/modulators.h"
#include "foundation/comath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

namespace
{
constexpr double rate = 44100.0;
constexpr std::int32_t lfo = psourcelfo;
constexpr std::int32_t envelopefollower = psourceenvelope;
constexpr std::int32_t triangle = pshapetriangle;
constexpr std::int32_t sine = pshapesine;
constexpr std::int32_t randomshape = 2; // any other code: random
} // namespace

TEST(ModulatorLfo, OutputsAtPhasesZeroQuarterAndHalfAndHoldAtSpeedZero)
{
    using row = std::tuple<std::int32_t, double, double>; // shape, phase, output at "Amplitude 1" 0.8
    const row rows[] = {{sine, 0.0, 0.8},      {sine, 0.25, 0.0},     {sine, 0.5, -0.8},
                        {triangle, 0.0, -0.8}, {triangle, 0.25, 0.0}, {triangle, 0.5, 0.8}};
    for (const auto& [shape, phase, expected] : rows)
    {
        SCOPED_TRACE(testing::Message() << shape << " at " << phase);
        controlmodel m;
        const std::uint64_t p = m.addmodulator(lfo, shape, 0.0, 0.8);
        m.patch(p).channels[0].modphase = phase;
        for (int hop = 0; hop < 20; ++hop)
        {
            m.patchpass();
            ASSERT_NEAR(m.output(p), expected, 1e-12);
        }
    }
}

// A modulator as made is heard as an LFO: a sine of "Amplitude 1" 0.5 at "Speed" 0.5 Hz.
TEST(ModulatorLfo, ANewModulatorIsAHalfHertzSineAtHalfAmplitude)
{
    controlmodel m;
    const std::uint64_t p = m.addpatch(pkindmodulator, 0, pvoicepitch);
    for (int hop = 1; hop <= 400; ++hop)
    {
        m.patchpass();
        ASSERT_NEAR(m.output(p), 0.5 * std::cos(2.0 * comath::pi * 0.5 * hop * 256.0 / rate), 0.01) << hop;
    }
}

// "Speed" at a tenth of the knob, whose top is 10 Hz: 1 Hz.
TEST(ModulatorLfo, SpeedOneCompletesOneCycleEvery172Point27Hops)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, sine, 0.0);
    m.param(p, ppatchspeed).setnorm(0.1);
    int wraps = 0;
    double previous = 0.0;
    for (int hop = 1; hop <= 17227; ++hop)
    {
        m.patchpass();
        const double phase = m.patch(p).channels[0].modphase;
        wraps += phase < previous ? 1 : 0;
        previous = phase;
    }
    EXPECT_EQ(wraps, 100); // 17227 hops of 256 samples are 100.002 cycles; 17226 would be 99.996
}

TEST(ModulatorLfo, RandomShapeAdvancesItsGeneratorEveryHopOnBothChannels)
{
    controlmodel m;
    const std::uint64_t p = m.addmodulator(lfo, randomshape, 5.0, 0.0);
    for (double expected : {32767.0, 3001915890.0, 3389635913.0})
    {
        m.patchpass(0);
        m.patchpass(1);
        EXPECT_EQ(m.patch(p).channels[0].modphase, expected);
        EXPECT_EQ(m.patch(p).channels[1].modphase, expected);
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

// The follower written out from its definition: level smoothed at 18 Hz, attack and release corners
// 10 d^2 + 0.5 and 150 d^2 + 5 Hz with d = 1 - speed, gain 300 a2^2, gate between 0.1694 and 0.22.
struct referencefollower
{
    double level = 0.0;
    double envelope = 0.0;
    bool open = false;
    double step(double x, double speed, double a2)
    {
        const double d = 1.0 - speed;
        const double tau = 2.0 * M_PI / rate;
        const double c = std::exp(-tau * 18.0);
        const double ka = std::exp(-tau * (10 * d * d + 0.5));
        const double kr = std::exp(-tau * (150 * d * d + 5));
        level = c * level + (1.0 - c) * std::fabs(300.0 * a2 * a2 * x);
        double target = 0.0;
        double k = open ? ka : kr;
        if (level > 0.22)
        {
            open = true;
            target = 1.0;
            k = ka;
        }
        else if (level < 0.1694)
        {
            open = false;
            k = kr;
        }
        envelope = target * (1.0 - k) + envelope * k;
        return envelope;
    }
};

// Hold target for a constant input: twice the mean excess of the level over 0.22 in its first 0.015 s,
// capped at 1.
double expectedholdtarget(double input, double a2)
{
    referencefollower f;
    const int window = static_cast<int>(0.015 * rate);
    double sum = 0.0;
    for (int counted = 0; counted < window;)
    {
        f.step(input, 0.5, a2);
        if (f.level > 0.22)
        {
            sum += f.level - 0.22;
            ++counted;
        }
    }
    return std::min(1.0, 2.0 * sum / window);
}
} // namespace

TEST(ModulatorEnvelope, HoldModeReachesTwiceTheMeanExcessOfEachBurst)
{
    controlmodel m;
    const std::uint64_t p = addfollower(m, 0.1, 1); // input gain 3: the level settles at 0.3
    const double target = expectedholdtarget(0.1, 0.1);
    ASSERT_GT(target, 0.02);
    ASSERT_LT(target, 0.2);
    EXPECT_NEAR(runenvelope(m, p, 0.1, 400), 0.5 * target, 1e-3);
    EXPECT_EQ(m.modstate(p)[pmodsource::slotenvholdcount], std::floor(0.015 * rate));
    // The gate closes, and a louder burst is measured afresh.
    runenvelope(m, p, 0.0, 100);
    EXPECT_EQ(m.modstate(p)[pmodsource::slotenvholdcount], 0.0);
    EXPECT_NEAR(runenvelope(m, p, 0.2, 400), 0.5 * expectedholdtarget(0.2, 0.1), 1e-3);
    // A second, louder follower on the same channel is measured apart and capped.
    controlmodel two;
    const std::uint64_t quiet = addfollower(two, 0.1, 1);
    const std::uint64_t capped = addfollower(two, 1.0, 1);
    runenvelope(two, quiet, 0.1, 400);
    EXPECT_NEAR(two.output(quiet), 0.5 * target, 1e-3);
    EXPECT_NEAR(two.output(capped), 0.5, 1e-3);
}

// Attack and release are measured against the definition below; here non-finite input.
TEST(ModulatorEnvelope, NonFiniteInputIsSilence)
{
    controlmodel m;
    const std::uint64_t p = addfollower(m, 1.0); // input gain 300
    EXPECT_NEAR(runenvelope(m, p, 0.01, 200), 0.5, 1e-3);
    EXPECT_NEAR(runenvelope(m, p, std::nan(""), 200), 0.0, 1e-3);
    EXPECT_NEAR(runenvelope(m, p, 1e308, 200), 0.0, 1e-3);
    EXPECT_NEAR(runenvelope(m, p, 0.01, 200), 0.5, 1e-3); // and it still hears real input
}

// A patch switched in place between every source and shape pair, after the first has run on a
// loud input: from the first hop on, the output stays within the range of what now runs.
TEST(ModulatorChange, EverySourceAndShapeChangeInPlaceStaysInTheNewShapesRange)
{
    constexpr std::int32_t controller = 2;
    using kind = std::tuple<std::int32_t, std::int32_t, double>; // source, shape, largest output
    const kind kinds[] = {{lfo, triangle, 1.0},
                          {lfo, sine, 1.0},
                          {lfo, randomshape, 10.0},
                          {envelopefollower, sine, 0.5},
                          {controller, sine, 1.0}};
    for (const auto& [fromsource, fromshape, frombound] : kinds)
        for (const auto& [source, shape, bound] : kinds)
        {
            SCOPED_TRACE(testing::Message() << fromsource << "/" << fromshape << " to " << source << "/" << shape);
            controlmodel m;
            const std::uint64_t p = m.addmodulator(fromsource, fromshape, 7.0, 1.0, pvoicevolume);
            m.param(p, ppatchamplitude2).setvalue(1.0);
            m.voiceparam(0, pvoicevolume).setvalue(0.5);
            m.param(p, ppatchadjustmode).setvalue(1.0); // hold mode: the follower uses all its state
            m.model.setcont(static_cast<int>(p), 1.0);  // a controller holds its last value, here 1
            m.setnewesthop(0.5);
            for (int hop = 0; hop < 300; ++hop)
                m.controlhop();
            m.param(p, ppatchsource).setvalue(source);
            m.param(p, ppatchshape).setvalue(shape);
            double largest = 0.0;
            for (int hop = 0; hop < 300; ++hop)
            {
                m.controlhop();
                largest = std::max(largest, std::fabs(m.output(p)));
                ASSERT_LE(m.record(0).gain, 0.5 + bound + 1e-9); // "Volume" 0.5 plus the output, centre pan
            }
            EXPECT_LE(largest, bound * (1.0 + 1e-9));
            EXPECT_GT(largest, 0.0);
        }
}

// Attack and release at three speeds against the definition, hop by hop: every corner frequency shows.
TEST(ModulatorEnvelope, FollowsItsDefinitionAtEverySpeed)
{
    for (const double speed : {0.0, 0.5, 0.9})
    {
        controlmodel m;
        const std::uint64_t p = addfollower(m, 1.0);
        m.param(p, ppatchspeed).setnorm(speed);
        referencefollower reference;
        double highest = 0.0;
        for (int hop = 0; hop < 600; ++hop)
        {
            // Levels 0.06 .. 0.42: through the gate's band.
            const double x = hop < 300 ? 0.0002 * (hop % 7 + 1) : 0.0;
            double expected = 0.0;
            for (int i = 0; i < 256; ++i)
                expected = reference.step(x, speed, 1.0);
            m.setnewesthop(x);
            m.patchpass();
            ASSERT_NEAR(m.output(p), 0.5 * expected, 1e-9) << "speed " << speed << ", hop " << hop;
            highest = std::max(highest, expected);
        }
        EXPECT_GT(highest, 0.3);
    }
}

namespace
{
// One voice on a new delay patch, with buses 0 .. buses-1: as made, a plain echo of 0.05 s (no
// modulation, full mix, no feedback), which the echo test measures.
struct delayrig
{
    controlmodel m;
    std::uint64_t delay = m.addpatch(pkinddelay);

    explicit delayrig(std::uint64_t buses = 2)
    {
        for (std::uint64_t b = 0; b < buses; ++b)
            m.engine().addbuffer();
    }

    pbkbuffer<double>& bus(std::uint64_t b) { return *m.engine().busoutputs[b]; }
    std::vector<double> run(const std::vector<double>& input)
    {
        const auto hop = static_cast<std::size_t>(m.engine().hopsize);
        std::vector<double> output(input.size(), 0.0);
        for (std::size_t start = 0; start + hop <= input.size(); start += hop)
        {
            m.patchpass();
            std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(start), hop, &bus(1)[0]);
            m.model.delaypass();
            std::copy_n(&bus(1)[0], hop, output.begin() + static_cast<std::ptrdiff_t>(start));
        }
        return output;
    }
};

std::vector<double> impulse(std::size_t length, std::size_t at = 0)
{
    std::vector<double> x(length, 0.0);
    x[at] = 1.0;
    return x;
}
} // namespace

TEST(DelayEcho, ImpulseComesOut2206SamplesLaterAndFeedbackHalvesEachEcho)
{
    for (double feedback : {0.0, 0.5})
    {
        SCOPED_TRACE(feedback);
        delayrig rig;
        if (feedback > 0.0)
            rig.m.param(rig.delay, ppatchfeedback).setvalue(feedback);
        const std::vector<double> out = rig.run(impulse(256 * 40));
        for (std::size_t i = 0; i < out.size(); ++i)
        {
            const std::size_t echo = i / 2206;
            const double expected = i % 2206 == 0 && echo >= 1 ? std::pow(feedback, echo - 1.0) : 0.0;
            ASSERT_EQ(out[i], expected) << i;
        }
    }
}

TEST(DelayBuses, TwoPatchesTakeBusesInListOrderAndRenumber)
{
    controlmodel m;
    const std::uint64_t a = m.addpatch(pkinddelay, 0);
    m.model.newvoice();
    const std::uint64_t b = m.addpatch(pkinddelay, 1);
    m.controlhop();
    const auto buses = [&] {
        return std::vector<std::uint64_t>{m.patch(a).channels[0].busindex, m.patch(b).channels[0].busindex,
                                          m.patch(b).channels[1].busindex, m.record(0).bus, m.record(1).bus};
    };
    EXPECT_EQ(buses(), (std::vector<std::uint64_t>{1, 2, 2, 1, 2}));
    // The first loses its voice: the second becomes bus 1 at the next hop.
    delete m.model.voices[0]->assignments.remove(0);
    m.patch(a).refcount = 0;
    m.controlhop();
    EXPECT_EQ(buses(), (std::vector<std::uint64_t>{1, 1, 1, 0, 1})) << "the released patch's number is unused";
}

TEST(DelayLine, MissingBusIsSkippedAndOutOfRangeStateNeverReadsOutside)
{
    delayrig missing(1); // only bus 0
    missing.m.patchpass();
    missing.m.model.delaypass();
    EXPECT_EQ(missing.m.patch(missing.delay).channels[0].bufferlength, 0u);
    for (std::uint64_t i = 0; i < 256; ++i)
        ASSERT_EQ(missing.bus(0)[i], 0.0);
    delayrig rig;
    rig.run(impulse(256));
    ppatchchannel& state = rig.m.patch(rig.delay).channels[0];
    EXPECT_EQ(state.bufferlength, 88200u);
    state.delaywritepos = 1u << 30;
    state.delayphase = std::nan("");
    for (double x : rig.run(impulse(256 * 4)))
        ASSERT_TRUE(std::isfinite(x));
    EXPECT_LT(state.delaywritepos, state.bufferlength);
}

// Through a ramp x[i] = i the echo reads x at t - 1 - pos exactly (linear interpolation of a line), so each
// output sample gives the read position. "Delay" 0.05 s is 2205 samples; "Amplitude 1" a sweeps 0.02 a sr.
TEST(DelayModulation, DepthShapesAndTheRandomClamp)
{
    constexpr double base = 2205.0;
    // shape, "Amplitude 1", speed, lowest and highest read position, share near the top (random: none)
    using row = std::tuple<std::int32_t, double, double, double, double, double>;
    const row rows[] = {
        {1, 1.0, 2.0, base, base + 882.0, 0.205}, // sine: a fifth of the time within 10 % of the top
        {0, 1.0, 2.0, base, base + 882.0, 0.1},   // triangle: a tenth
        {1, 0.5, 2.0, base, base + 441.0, 0.205},
        {2, 1.0, 10.0, base + 82.0, base + 882.0, -1.0}, // random: 60 z clamped to +-1
    };
    for (const auto& [shape, amplitude, speed, rlow, rhigh, rnearhigh] : rows)
    {
        SCOPED_TRACE(testing::Message() << "shape " << shape << ", amplitude " << amplitude);
        delayrig rig;
        rig.m.param(rig.delay, ppatchshape).setvalue(shape);
        rig.m.param(rig.delay, ppatchamplitude1).setvalue(amplitude);
        rig.m.param(rig.delay, ppatchspeed).setvalue(speed);
        std::vector<double> ramp(256 * 200);
        for (std::size_t i = 0; i < ramp.size(); ++i)
            ramp[i] = static_cast<double>(i);
        std::vector<double> out = rig.run({ramp.begin(), ramp.begin() + 4096});
        if (shape == 2) // the smoothing memory primed far out: the clamp holds the sweep inside the range
            std::fill_n(rig.m.modstate(rig.delay), 8, 0.5);
        const std::vector<double> rest = rig.run({ramp.begin() + 4096, ramp.end()});
        out.insert(out.end(), rest.begin(), rest.end());
        double low = 1e9;
        double high = -1e9;
        std::size_t nearhigh = 0;
        std::size_t clamped = 0;
        std::size_t counted = 0;
        for (std::size_t t = 4096; t < 4096 + 44100; ++t, ++counted)
        {
            const double pos = static_cast<double>(t) - 1.0 - out[t];
            low = std::min(low, pos);
            high = std::max(high, pos);
            nearhigh += pos > rhigh - 0.1 * (rhigh - rlow) ? 1 : 0;
            clamped += pos == rlow || pos == rhigh ? 1 : 0;
        }
        EXPECT_NEAR(high, rhigh, 0.5);
        if (rnearhigh > 0.0)
        {
            EXPECT_NEAR(low, rlow, 0.5);
            EXPECT_NEAR(static_cast<double>(nearhigh) / static_cast<double>(counted), rnearhigh, 0.01);
        }
        else
        {
            EXPECT_GT(low, rlow);
            EXPECT_GT(clamped, 1000u);
        }
    }
}
