// The bypass path on its own: a ring as long as the latency, and the crossfade either way.
#include "plugin/hosttiming.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace
{
// Runs x through the ring in blocks of the listed sizes (cycled); returns what comes out.
std::vector<float> delayed(pbypassdelay& d, std::vector<float> x, const std::vector<int>& blocks)
{
    for (std::size_t at = 0, b = 0; at < x.size(); ++b)
    {
        const int n = std::min(blocks[b % blocks.size()], static_cast<int>(x.size() - at));
        d.delay(x.data() + at, n, 0);
        at += static_cast<std::size_t>(n);
    }
    return x;
}

TEST(bypassdelay, OutputIsTheInputFromExactlyTheLatencyBeforeAtAnyBlockSize)
{
    std::vector<float> x(20000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(i + 1);
    const std::tuple<double, std::vector<int>> rows[] = {
        {44100.0, {512}}, {44100.0, {1}}, {48000.0, {4096, 7, 1780}}, {96000.0, {3560}}, {192000.0, {5000, 64}},
    };
    for (const auto& [rate, blocks] : rows)
    {
        SCOPED_TRACE(rate);
        pbypassdelay d;
        const auto latency = static_cast<std::size_t>(hosttiming::latencyforrate(rate));
        d.prepare(static_cast<int>(latency), rate);
        const auto y = delayed(d, x, blocks);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < y.size(); ++i)
            wrong += y[i] != (i < latency ? 0.0f : x[i - latency]);
        EXPECT_EQ(wrong, 0u);
    }
    // A sample that is not finite is delayed as silence; a new preparation empties the ring.
    pbypassdelay d;
    d.prepare(4, 44100.0);
    EXPECT_EQ(testing::PrintToString(delayed(d, {1.0f, NAN, INFINITY, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f}, {8})),
              "{ 0, 0, 0, 0, 1, 0, 0, 4 }");
    d.prepare(4, 44100.0);
    EXPECT_EQ(testing::PrintToString(delayed(d, {9.0f, 9.0f, 9.0f, 9.0f}, {4})), "{ 0, 0, 0, 0 }");
}

// 20 ms at 1000 Hz is 20 samples: a straight line from processed to delayed and back.
TEST(bypassdelay, CrossfadeRunsStraightOverTwentyMillisecondsAndHoldsEachEnd)
{
    pbypassdelay d;
    d.prepare(10, 1000.0);
    const auto mixes = [&](bool bypassed, int blocks, int n) {
        std::string out;
        for (int b = 0; b < blocks; ++b)
        {
            d.settarget(bypassed);
            out += std::to_string(d.blend(0, 0.0f, 1.0f)).substr(0, 4) + " ";
            d.endblock(n);
        }
        return out;
    };
    EXPECT_EQ(mixes(false, 2, 5), "0.00 0.00 ");
    EXPECT_EQ(mixes(true, 6, 5), "0.05 0.30 0.55 0.80 1.00 1.00 ");
    EXPECT_EQ(mixes(false, 3, 10), "0.95 0.45 0.00 ");
    d.settarget(true);
    EXPECT_EQ(d.blend(19, 0.25f, 0.75f), 0.75f); // the last step of a fade lands on the delayed sample
    d.endblock(20);
    d.prepare(10, 1000.0);
    EXPECT_EQ(d.mix(), 1.0f); // a bypass in force stays in force across a new preparation
}
} // namespace
