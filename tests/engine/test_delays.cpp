#include "controlfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
constexpr double rate = 44100.0;
constexpr std::int32_t triangle = 0, sine = 1, randomshape = 2;

// A model with one voice on a delay patch, bus buffers up to `buses`, and a plain echo:
// no modulation, full mix, no feedback.
struct delayrig
{
    controlmodel m;
    std::uint64_t delay = 0;

    explicit delayrig(double samplerate = rate, std::uint64_t buses = 2) : m(samplerate)
    {
        delay = m.addpatch(pkinddelay);
        m.param(delay, ppatchamplitude1).setvalue(0.0);
        m.param(delay, ppatchdelaymix).setvalue(1.0);
        m.param(delay, ppatchfeedback).setvalue(0.0);
        for (std::uint64_t b = 0; b < buses; ++b)
            m.engine().addbuffer();
    }

    pbkbuffer<double>& bus(std::uint64_t b) { return *m.engine().busoutputs[b]; }

    // Runs input through the delay pass hop by hop on bus 1; returns what the bus carried.
    std::vector<double> run(const std::vector<double>& input)
    {
        const auto hop = static_cast<std::size_t>(m.engine().hopsize);
        std::vector<double> output(input.size(), 0.0);
        for (std::size_t start = 0; start + hop <= input.size(); start += hop)
        {
            m.patchpass();
            for (std::size_t j = 0; j < hop; ++j)
                bus(1)[j] = input[start + j];
            m.model.delaypass();
            for (std::size_t j = 0; j < hop; ++j)
                output[start + j] = bus(1)[j];
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

TEST(DelayEcho, ImpulseComesOut2206SamplesLater)
{
    delayrig rig;
    rig.m.param(rig.delay, ppatchdelay).setvalue(0.05);
    const std::vector<double> out = rig.run(impulse(256 * 20));
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], i == 2206 ? 1.0 : 0.0) << i;
}

TEST(DelayEcho, FeedbackHalvesEachEcho)
{
    delayrig rig;
    rig.m.param(rig.delay, ppatchdelay).setvalue(0.05);
    rig.m.param(rig.delay, ppatchfeedback).setvalue(0.5);
    const std::vector<double> out = rig.run(impulse(256 * 40));
    EXPECT_EQ(out[2206], 1.0);
    EXPECT_EQ(out[2 * 2206], 0.5);
    EXPECT_EQ(out[3 * 2206], 0.25);
    EXPECT_EQ(out[4 * 2206], 0.125);
    double elsewhere = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (i % 2206 != 0)
            elsewhere += std::fabs(out[i]);
    EXPECT_EQ(elsewhere, 0.0);
}

TEST(DelayEcho, MixBlendsDryAndDelayed)
{
    delayrig rig;
    rig.m.param(rig.delay, ppatchdelay).setvalue(0.01);
    rig.m.param(rig.delay, ppatchdelaymix).setvalue(0.25);
    const std::vector<double> out = rig.run(impulse(256 * 4, 10));
    EXPECT_DOUBLE_EQ(out[10], 0.75);
    EXPECT_DOUBLE_EQ(out[10 + 442], 0.25); // 0.01 s = 441 samples, plus one
}

TEST(DelayEcho, MixZeroPassesTheBusWhileTheLineFills)
{
    delayrig rig;
    rig.m.param(rig.delay, ppatchdelay).setvalue(0.05);
    rig.m.param(rig.delay, ppatchdelaymix).setvalue(0.0);
    std::vector<double> input(256 * 4);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = std::sin(0.01 * static_cast<double>(i));
    EXPECT_EQ(rig.run(input), input);

    // The line kept what went in: with the mix opened the echo of that input comes out.
    rig.m.param(rig.delay, ppatchdelaymix).setvalue(1.0);
    const std::vector<double> out = rig.run(std::vector<double>(256 * 10, 0.0));
    EXPECT_DOUBLE_EQ(out[2206 - 1024 + 300], input[300]);
}

TEST(DelayModulation, SineSweepsTheReadPositionOverTwoPercentOfASecond)
{
    delayrig rig;
    rig.m.param(rig.delay, ppatchdelay).setvalue(0.1);
    rig.m.param(rig.delay, ppatchamplitude1).setvalue(1.0);
    rig.m.param(rig.delay, ppatchshape).setvalue(sine);
    rig.m.param(rig.delay, ppatchspeed).setvalue(1.0);
    // A ramp read back through the line tells the delay of every sample.
    const std::size_t length = 256 * 400; // 2.3 s: two full cycles after the line filled
    std::vector<double> ramp(length);
    for (std::size_t i = 0; i < length; ++i)
        ramp[i] = static_cast<double>(i);
    const std::vector<double> out = rig.run(ramp);
    double shortest = 1e9, longest = 0.0;
    for (std::size_t i = 10000; i < length; ++i)
    {
        const double delayed = static_cast<double>(i) - out[i];
        shortest = std::min(shortest, delayed);
        longest = std::max(longest, delayed);
    }
    const double d = 0.1 * rate + 1.0;
    EXPECT_NEAR(shortest, d, 0.01);
    EXPECT_NEAR(longest, d + 0.02 * rate, 0.01);
}

TEST(DelayModulation, TriangleAndRandomStayInsideTheirRange)
{
    for (std::int32_t shape : {triangle, randomshape})
    {
        delayrig rig;
        rig.m.param(rig.delay, ppatchdelay).setvalue(1.0);
        rig.m.param(rig.delay, ppatchamplitude1).setvalue(1.0);
        rig.m.param(rig.delay, ppatchshape).setvalue(shape);
        rig.m.param(rig.delay, ppatchspeed).setvalue(10.0);
        const std::size_t length = 256 * 600;
        std::vector<double> ramp(length);
        for (std::size_t i = 0; i < length; ++i)
            ramp[i] = static_cast<double>(i);
        const std::vector<double> out = rig.run(ramp);
        double shortest = 1e9, longest = 0.0;
        for (std::size_t i = 50000; i < length; ++i)
        {
            const double delayed = static_cast<double>(i) - out[i];
            shortest = std::min(shortest, delayed);
            longest = std::max(longest, delayed);
        }
        EXPECT_GE(shortest, rate + 1.0 - 1e-6) << shape;
        EXPECT_LE(longest, 1.02 * rate + 1.0 + 1e-6) << shape;
        EXPECT_GT(longest - shortest, 0.005 * rate) << shape; // it does move
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
    pparvoice& voice = *m.model.voices[0];
    delete voice.assignments.remove(0);
    m.patch(a).refcount = 0;
    m.controlhop();
    EXPECT_EQ(m.patch(b).channels[0].busindex, 1u);
    EXPECT_EQ(m.record(0).bus, 0u);
    EXPECT_EQ(m.record(1).bus, 1u);
}

TEST(DelayBuses, PatchWhoseBusDoesNotExistIsSkipped)
{
    delayrig rig(rate, 1); // only bus 0
    rig.m.patchpass();
    rig.m.model.delaypass();
    EXPECT_EQ(rig.m.patch(rig.delay).channels[0].modstarted, 0u);
    EXPECT_EQ(rig.m.patch(rig.delay).channels[0].bufferlength, 0u);
    for (std::uint64_t i = 0; i < 256; ++i)
        EXPECT_EQ(rig.bus(0)[i], 0.0);
}

TEST(DelayBuses, UnusedPatchIsNeitherNumberedNorRun)
{
    delayrig rig;
    rig.m.patch(rig.delay).refcount = 0;
    rig.bus(1)[0] = 1.0;
    rig.m.patchpass();
    rig.m.model.delaypass();
    EXPECT_EQ(rig.m.patch(rig.delay).channels[0].busindex, 0u);
    EXPECT_EQ(rig.m.patch(rig.delay).channels[0].modstarted, 0u);
    EXPECT_EQ(rig.bus(1)[0], 1.0);
}

TEST(DelayLine, IsTwoSecondsAndReusedWhenItsLengthStays)
{
    delayrig rig;
    rig.m.param(rig.delay, ppatchdelay).setvalue(0.05);
    rig.run(impulse(256 * 2));
    ppatchchannel& state = rig.m.patch(rig.delay).channels[0];
    EXPECT_EQ(state.bufferlength, 88200u);
    const double* line = state.buffer.get();

    // A set-up at the same rate clears the line in place: no echo of the old impulse.
    rig.m.model.initpbm(rate);
    rig.m.engine().addbuffer();
    rig.m.engine().addbuffer();
    const std::vector<double> out = rig.run(std::vector<double>(256 * 10, 0.0));
    EXPECT_EQ(state.buffer.get(), line);
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 0.0);

    // A new rate makes a line of the new length.
    rig.m.model.initpbm(48000.0);
    rig.m.engine().addbuffer();
    rig.m.engine().addbuffer();
    rig.run(impulse(256 * 2));
    EXPECT_EQ(state.bufferlength, 96000u);
}


TEST(DelayLine, OutOfRangeStateNeverReadsOutsideTheLine)
{
    delayrig rig;
    rig.run(impulse(256));
    ppatchchannel& state = rig.m.patch(rig.delay).channels[0];
    state.delaywritepos = 1u << 30;
    state.delayphase = std::nan("");
    std::vector<double> out = rig.run(impulse(256 * 4));
    for (double x : out)
        EXPECT_TRUE(std::isfinite(x));
    EXPECT_LT(state.delaywritepos, state.bufferlength);
}
