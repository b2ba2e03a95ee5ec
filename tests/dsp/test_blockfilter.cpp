// The one-pole filter run four stretches at once against the plain sample loop it replaces.
// Bound: 1e-14 of the largest input value (some -280 dB); the anti-denormal offset's sign and
// the filter memory carry on as the loop leaves them.
#include "dsp/blockfilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

namespace
{
constexpr double bound = 1e-14;
constexpr double smoothercutoff = 8000.0 / 44100.0; // the bin smoother's design

std::vector<double> randominput(int n, double level)
{
    std::mt19937 generator(static_cast<unsigned>(n));
    std::uniform_real_distribution<double> uniform(0.0, level);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x)
        v = uniform(generator);
    return x;
}

struct filterpair
{
    Dsp::ButterworthFilter block, plain;

    filterpair(Dsp::ButterworthFilter::Kind kind, double cutoff, double memory, int offsetflips)
    {
        for (Dsp::ButterworthFilter* f : {&block, &plain})
        {
            f->design(kind, cutoff);
            f->state.stateArray[0].w1 = memory;
            for (int i = 0; i < offsetflips; ++i)
                f->state.vsa = -f->state.vsa;
        }
    }
};

TEST(BlockFilter, MatchesTheSampleLoopOnTheBinSmoother)
{
    // Whole spectra of both sizes, odd lengths that leave samples over, a running memory, an
    // offset that starts either way.
    for (int n : {1024, 2048, 1023, 258, 4097})
        for (double memory : {0.0, 3.5})
            for (int flips : {0, 1})
            {
                SCOPED_TRACE(testing::Message() << n << " samples, memory " << memory << ", flips " << flips);
                filterpair f(Dsp::ButterworthFilter::Kind::lowPass, smoothercutoff, memory, flips);
                std::vector<double> fast = randominput(n, 6.0);
                std::vector<double> plain = fast;
                processfirstorderblocks(f.block, n, fast.data());
                f.plain.process(n, plain.data());
                double worst = 0.0;
                for (std::size_t i = 0; i < fast.size(); ++i)
                    worst = std::max(worst, std::fabs(fast[i] - plain[i]));
                EXPECT_LE(worst, bound * 6.0);
                EXPECT_EQ(f.block.state.vsa, f.plain.state.vsa);
                EXPECT_NEAR(f.block.state.stateArray[0].w1, f.plain.state.stateArray[0].w1, bound * 6.0);
                EXPECT_NEAR(f.block.state.stateArray[0].w2, f.plain.state.stateArray[0].w2, bound * 6.0);
            }
}

// A loud start then near silence: the quarters after it still carry the loud tail exactly enough.
TEST(BlockFilter, ALoudStretchBeforeAQuietOneCarriesOver)
{
    filterpair f(Dsp::ButterworthFilter::Kind::lowPass, smoothercutoff, 0.0, 0);
    std::vector<double> fast(1024, 1e-6);
    std::fill(fast.begin() + 200, fast.begin() + 256, 1e3); // ends right where the second quarter starts
    std::vector<double> plain = fast;
    processfirstorderblocks(f.block, 1024, fast.data());
    f.plain.process(1024, plain.data());
    for (std::size_t i = 0; i < fast.size(); ++i)
        ASSERT_NEAR(fast[i], plain[i], bound * 1e3) << i;
    EXPECT_GT(fast[260], 1.0); // the tail reached the second quarter
}

// Short arrays and filters whose pole decays slowly (the 5 Hz high-pass) take the plain loop itself.
TEST(BlockFilter, OtherwiseIsTheSampleLoopBitForBit)
{
    // kind, cutoff, n
    using row = std::tuple<Dsp::ButterworthFilter::Kind, double, int>;
    const row rows[] = {{Dsp::ButterworthFilter::Kind::lowPass, smoothercutoff, 100},
                        {Dsp::ButterworthFilter::Kind::highPass, 5.0 / 44100.0, 1024},
                        {Dsp::ButterworthFilter::Kind::lowPass, 0.01, 1024}};
    for (const auto& [kind, cutoff, n] : rows)
    {
        filterpair f(kind, cutoff, 0.5, 1);
        std::vector<double> fast = randominput(n, 1.0);
        std::vector<double> plain = fast;
        processfirstorderblocks(f.block, n, fast.data());
        f.plain.process(n, plain.data());
        EXPECT_EQ(fast, plain) << cutoff << ", " << n;
    }
}
} // namespace
