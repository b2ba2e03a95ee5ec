#include "controlfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

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
            EXPECT_TRUE(low > rlow && clamped > 1000u) << low << ", clamped " << clamped;
        }
    }
}
