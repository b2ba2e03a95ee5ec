#include "dsp/cascade.h"

#include "allocation_counter.h"
#include "dsp/pbkpitchshift.h"
#include "dsp/rdft.h"
#include "foundation/comath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

namespace
{
using comath::pi;
using Dsp::ButterworthFilter;
using Kind = ButterworthFilter::Kind;

double gainAt(const Dsp::Cascade& cascade, double w)
{
    return std::abs(cascade.response(w));
}

// First order by the bilinear transform: one stage, unity gain at DC or Nyquist, none at the other end,
// -3 dB at the cutoff; the pole is the prewarped one: (1 - f)/(1 + f) with f = tan(pi fc / fs) (low-pass),
// (f - 1)/(f + 1) with f its cotangent (high-pass).
TEST(ButterworthDesign, OneStageWithUnityPassNullStopAndMinusThreeDecibelsAtTheCutoff)
{
    // kind, ratio, pole, pass, stop
    using row = std::tuple<Kind, double, double, double, double>;
    const row rows[] = {
        {Kind::lowPass, pbkbinsmoothercutoff, 0.21889359609629372, 0, pi},
        {Kind::highPass, 5 / 44100.0, 0.9992878743351422, pi, 0},
        {Kind::highPass, 5 / 192000.0, 0.9998363887676731, pi, 0},
    };
    for (const auto& [kind, ratio, pole, pass, stop] : rows)
    {
        SCOPED_TRACE(ratio);
        ButterworthFilter filter;
        filter.design(kind, ratio);
        EXPECT_EQ(filter.cascade.stageCount, 1);
        EXPECT_NEAR(-filter.stage.a1, pole, 1e-14);
        EXPECT_NEAR(gainAt(filter.cascade, pass), 1.0, 1e-12);
        EXPECT_NEAR(gainAt(filter.cascade, stop), 0.0, 1e-12);
        EXPECT_NEAR(gainAt(filter.cascade, 2 * pi * ratio), std::sqrt(0.5), 1e-9);
    }
}

TEST(CascadeProcess, DcStepDecaysThroughTheFiveHertzHighPass)
{
    ButterworthFilter filter;
    filter.design(Kind::highPass, 5 / 44100.0);
    const double p = -filter.stage.a1;
    std::vector<double> x(44100 * 4, 1.0);
    filter.process(static_cast<int>(x.size()), x.data());
    // Step response of ((1 + p)/2)(1 - z^-1)/(1 - p z^-1): ((1 + p)/2) p^n.
    for (int n : {0, 1, 100, 1000, 10000})
        EXPECT_NEAR(x[static_cast<std::size_t>(n)], (1 + p) / 2 * std::pow(p, n), 1e-7) << n;
    for (std::size_t n = 1; n < x.size(); ++n)
        ASSERT_LE(x[n], x[n - 1] + 1e-7) << n;
    EXPECT_LT(std::fabs(x.back()), 1e-5);
}

// The offset alternates sign sample by sample across calls; the high-pass passes it at about its own size.
TEST(CascadeProcess, SilentInputShowsTheAlternatingOffsetAcrossCalls)
{
    ButterworthFilter filter;
    filter.design(Kind::highPass, 5 / 44100.0);
    std::vector<double> x(1001, 0.0);
    filter.process(1, x.data());
    EXPECT_EQ(x[0], -1e-8 * filter.stage.b0);
    EXPECT_EQ(filter.state.vsa, -1e-8);
    filter.process(1000, x.data() + 1);
    EXPECT_EQ(filter.state.vsa, -1e-8);
    for (std::size_t n = 1; n < x.size(); ++n)
        ASSERT_LT(x[n] * x[n - 1], 0.0) << n;
    EXPECT_NEAR(x[1000], -1e-8, 1e-10);
}

TEST(AudioPath, DesignFilteringAndTransformsAllocateNothing)
{
    ButterworthFilter filter;
    std::vector<double> x(4096, 0.5);
    std::vector<int> ip(2 + 64, 0);
    std::vector<double> w(2048);
    const std::uint64_t before = allocation_counter::count();
    for (Kind kind : {Kind::lowPass, Kind::highPass})
    {
        filter.design(kind, kind == Kind::lowPass ? pbkbinsmoothercutoff : 5 / 44100.0);
        filter.process(4096, x.data());
    }
    rdft(4096, 1, x.data(), ip.data(), w.data());
    rdft(4096, -1, x.data(), ip.data(), w.data());
    EXPECT_EQ(allocation_counter::count(), before);
}
} // namespace
