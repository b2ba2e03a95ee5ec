#include "controlfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace
{
// One voice on a plain echo (no modulation, full mix, no feedback) with buses 0 .. buses-1.
struct delayrig
{
    controlmodel m;
    std::uint64_t delay = 0;

    explicit delayrig(double delayseconds, std::uint64_t buses = 2)
    {
        delay = m.addpatch(pkinddelay);
        m.param(delay, ppatchdelay).setvalue(delayseconds);
        m.param(delay, ppatchamplitude1).setvalue(0.0);
        m.param(delay, ppatchdelaymix).setvalue(1.0);
        m.param(delay, ppatchfeedback).setvalue(0.0);
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
        delayrig rig(0.05);
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
    EXPECT_EQ(m.patch(a).channels[0].busindex, 1u);
    EXPECT_EQ(m.patch(b).channels[0].busindex, 2u);
    EXPECT_EQ(m.patch(b).channels[1].busindex, 2u);
    EXPECT_EQ(m.record(0).bus, 1u);
    EXPECT_EQ(m.record(1).bus, 2u);
    // The first loses its voice: the second becomes bus 1 at the next hop.
    delete m.model.voices[0]->assignments.remove(0);
    m.patch(a).refcount = 0;
    m.controlhop();
    EXPECT_EQ(m.patch(b).channels[0].busindex, 1u);
    EXPECT_EQ(m.record(0).bus, 0u);
    EXPECT_EQ(m.record(1).bus, 1u);
}

TEST(DelayLine, MissingBusIsSkippedAndOutOfRangeStateNeverReadsOutside)
{
    delayrig missing(0.0, 1); // only bus 0
    missing.m.patchpass();
    missing.m.model.delaypass();
    EXPECT_EQ(missing.m.patch(missing.delay).channels[0].bufferlength, 0u);
    for (std::uint64_t i = 0; i < 256; ++i)
        ASSERT_EQ(missing.bus(0)[i], 0.0);
    delayrig rig(0.0);
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
    const struct
    {
        std::int32_t shape;
        double amplitude;
        double speed;
        double low;
        double high;
        double nearhigh;
    } rows[] = {
        {1, 1.0, 2.0, base, base + 882.0, 0.205}, // sine: a fifth of the time within 10 % of the top
        {0, 1.0, 2.0, base, base + 882.0, 0.1},   // triangle: a tenth
        {1, 0.5, 2.0, base, base + 441.0, 0.205},
        {2, 1.0, 10.0, base + 82.0, base + 882.0, -1.0}, // random: 60 z clamped to +-1
    };
    for (const auto& r : rows)
    {
        SCOPED_TRACE(testing::Message() << "shape " << r.shape << ", amplitude " << r.amplitude);
        delayrig rig(0.05);
        rig.m.param(rig.delay, ppatchshape).setvalue(r.shape);
        rig.m.param(rig.delay, ppatchamplitude1).setvalue(r.amplitude);
        rig.m.param(rig.delay, ppatchspeed).setvalue(r.speed);
        std::vector<double> ramp(256 * 200);
        for (std::size_t i = 0; i < ramp.size(); ++i)
            ramp[i] = static_cast<double>(i);
        std::vector<double> out = rig.run({ramp.begin(), ramp.begin() + 4096});
        if (r.shape == 2) // the smoothing memory primed far out: the clamp holds the sweep inside the range
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
            nearhigh += pos > r.high - 0.1 * (r.high - r.low) ? 1 : 0;
            clamped += pos == r.low || pos == r.high ? 1 : 0;
        }
        EXPECT_NEAR(high, r.high, 0.5);
        if (r.nearhigh > 0.0)
            EXPECT_NEAR(low, r.low, 0.5);
        else
            EXPECT_GT(low, r.low);
        if (r.nearhigh > 0.0)
            EXPECT_NEAR(static_cast<double>(nearhigh) / static_cast<double>(counted), r.nearhigh, 0.01);
        else
            EXPECT_GT(clamped, 1000u);
    }
}
