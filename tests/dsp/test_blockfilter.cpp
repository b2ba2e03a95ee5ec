// The first-order filters: their design, and the one-pole filter run four stretches at once against the
// plain sample loop it replaces. Bound: 1e-14 of the largest input value (some -280 dB); the anti-denormal
// offset's sign and the filter memory carry on as the loop leaves them.
#include "dsp/blockfilter.h"
#include "dsp/pbkpitchshift.h"
#include "foundation/comath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

namespace
{
using comath::pi;
using Dsp::ButterworthFilter;
using Kind = ButterworthFilter::Kind;
constexpr double smoother = pbkbinsmoothercutoff;

// First order by the bilinear transform: one stage, unity gain at DC or Nyquist, none at the other end,
// -3 dB at the cutoff (where the prewarped pole puts it).
TEST(ButterworthDesign, OneStageWithUnityPassNullStopAndMinusThreeDecibelsAtTheCutoff)
{
    // kind, ratio, pass, stop (radians per sample)
    using row = std::tuple<Kind, double, double, double>;
    const row rows[] = {
        {Kind::lowPass, smoother, 0, pi}, {Kind::highPass, 5 / 44100.0, pi, 0}, {Kind::highPass, 5 / 192000.0, pi, 0}};
    for (const auto& [kind, ratio, pass, stop] : rows)
    {
        SCOPED_TRACE(ratio);
        ButterworthFilter filter;
        filter.design(kind, ratio);
        EXPECT_EQ(filter.cascade.stageCount, 1);
        EXPECT_NEAR(std::abs(filter.cascade.response(pass)), 1.0, 1e-12);
        EXPECT_NEAR(std::abs(filter.cascade.response(stop)), 0.0, 1e-12);
        EXPECT_NEAR(std::abs(filter.cascade.response(2 * pi * ratio)), std::sqrt(0.5), 1e-9);
    }
}

// Whole spectra of both sizes and odd lengths that leave samples over, a running memory, an offset that
// starts either way, a loud stretch ending where the second quarter starts; short arrays and slowly decaying
// poles (the 5 Hz high-pass) take the plain loop itself, bit for bit.
TEST(BlockFilter, MatchesTheSampleLoop)
{
    // kind, cutoff, samples, memory, offset flips, loud stretch before near silence, bound per input unit
    using row = std::tuple<Kind, double, int, double, int, bool, double>;
    const row rows[] = {
        {Kind::lowPass, smoother, 1024, 0.0, 0, false, 1e-14},
        {Kind::lowPass, smoother, 2048, 3.5, 1, false, 1e-14},
        {Kind::lowPass, smoother, 1023, 3.5, 0, false, 1e-14},
        {Kind::lowPass, smoother, 258, 0.0, 1, false, 1e-14},
        {Kind::lowPass, smoother, 4097, 3.5, 1, false, 1e-14},
        {Kind::lowPass, smoother, 1024, 0.0, 0, true, 1e-14},
        {Kind::lowPass, smoother, 100, 0.5, 1, false, 0.0},
        {Kind::highPass, 5.0 / 44100.0, 1024, 0.5, 1, false, 0.0},
        {Kind::lowPass, 0.01, 1024, 0.5, 1, false, 0.0},
    };
    for (const auto& [kind, cutoff, n, memory, flips, loud, bound] : rows)
    {
        SCOPED_TRACE(testing::Message() << cutoff << ", " << n << " samples, memory " << memory << ", flips " << flips);
        ButterworthFilter block;
        ButterworthFilter plain;
        for (ButterworthFilter* f : {&block, &plain})
        {
            f->design(kind, cutoff);
            f->state.stateArray[0].w1 = memory;
            f->state.vsa = flips % 2 == 0 ? f->state.vsa : -f->state.vsa;
        }
        std::mt19937 generator(static_cast<unsigned>(n));
        std::vector<double> fast(static_cast<std::size_t>(n), 1e-6);
        for (double& v : fast)
            v = loud ? v : std::uniform_real_distribution<double>(0.0, 6.0)(generator);
        if (loud) // ends right where the second quarter starts
            std::fill(fast.begin() + 200, fast.begin() + 256, 1e3);
        const double largest = *std::max_element(fast.begin(), fast.end());
        std::vector<double> slow = fast;
        processfirstorderblocks(block, n, fast.data());
        plain.process(n, slow.data());
        for (std::size_t i = 0; i < fast.size(); ++i)
            ASSERT_NEAR(fast[i], slow[i], bound * largest) << i;
        EXPECT_EQ(block.state.vsa, plain.state.vsa);
        EXPECT_NEAR(block.state.stateArray[0].w1, plain.state.stateArray[0].w1, bound * largest);
        EXPECT_NEAR(block.state.stateArray[0].w2, plain.state.stateArray[0].w2, bound * largest);
    }
}
} // namespace
