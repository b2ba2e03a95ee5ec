#include "dsp/cascade.h"

#include "allocation_counter.h"
#include "dsp/pbkpitchshift.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
constexpr double pi = 3.14159265358979323846;

using Dsp::ButterworthFilter;
using Kind = ButterworthFilter::Kind;

double lowPassPole(double f) { return (1 - f) / (1 + f); }
double highPassPole(double f) { return (f - 1) / (f + 1); }

double gainAt(const Dsp::Cascade& cascade, double w) { return std::abs(cascade.response(w)); }

TEST(ButterworthDesign, FreshFilterHasNoStagesAndNoPrototype)
{
    ButterworthFilter filter;
    EXPECT_EQ(filter.cascade.stageCount, 0);
    EXPECT_EQ(filter.cascade.maxStageCount, 1);
    EXPECT_EQ(filter.cascade.stages, &filter.stage);
    EXPECT_EQ(filter.digital.poleCount, 0);
    EXPECT_EQ(filter.digital.pairs, &filter.digitalPair);
    EXPECT_EQ(filter.analog.poleCount, 0);
    EXPECT_EQ(filter.analog.maxPoleCount, 1);
    EXPECT_EQ(filter.analog.pairs, &filter.analogPair);
    EXPECT_EQ(filter.analog.normalW, 0.0);
    EXPECT_EQ(filter.analog.normalGain, 1.0);
    EXPECT_EQ(filter.analogOrder, -1);
    EXPECT_EQ(filter.state.vsa, 1e-8);
    EXPECT_EQ(filter.state.stateArray, filter.state.memory);
    EXPECT_EQ(filter.state.memory[0].w1, 0.0);
    EXPECT_EQ(filter.state.memory[0].w2, 0.0);
}

// The bin smoother's fixed cutoff: f = tan(pi 8000 / 44100) at every sample rate.
TEST(ButterworthDesign, LowPassCoefficientsFollowFromThePrewarpedCutoff)
{
    const double f = 0.6408323141620625;
    ASSERT_EQ(std::tan(pi * pbkbinsmoothercutoff), f);
    const double p = lowPassPole(f);
    EXPECT_NEAR(p, 0.2188935961, 1e-10);

    ButterworthFilter filter;
    filter.design(Kind::lowPass, pbkbinsmoothercutoff);
    const Dsp::Cascade::Stage& s = filter.stage;
    EXPECT_EQ(filter.cascade.stageCount, 1);
    EXPECT_EQ(s.a0, 1.0);
    EXPECT_NEAR(s.a1, -p, 1e-15);
    EXPECT_EQ(s.a2, 0.0);
    EXPECT_NEAR(s.b0, (1 - p) / 2, 1e-15);
    EXPECT_NEAR(s.b1, (1 - p) / 2, 1e-15);
    EXPECT_EQ(s.b2, 0.0);
    EXPECT_NEAR(gainAt(filter.cascade, 0), 1.0, 1e-15);
    EXPECT_NEAR(gainAt(filter.cascade, pi), 0.0, 1e-15);
    EXPECT_NEAR(gainAt(filter.cascade, 2 * pi * 8000 / 44100), std::sqrt(0.5), 1e-12);

    EXPECT_EQ(filter.digital.poleCount, 1);
    EXPECT_NEAR(filter.digitalPair.poles[0].real(), p, 1e-15);
    EXPECT_EQ(filter.digitalPair.zeros[0], Dsp::complex_t(-1, 0));
    EXPECT_EQ(filter.digital.normalW, 0.0);
    EXPECT_EQ(filter.digital.normalGain, 1.0);
}

TEST(ButterworthDesign, FiveHertzHighPassCoefficientsFollowFromThePrewarpedCutoff)
{
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0})
    {
        const double f = 1 / std::tan(pi * 5 / rate);
        const double p = highPassPole(f);
        ButterworthFilter filter;
        filter.design(Kind::highPass, 5 / rate);
        const Dsp::Cascade::Stage& s = filter.stage;
        EXPECT_NEAR(s.a1, -p, 1e-15) << rate;
        EXPECT_EQ(s.a2, 0.0);
        EXPECT_NEAR(s.b0, (1 + p) / 2, 1e-15) << rate;
        EXPECT_NEAR(s.b1, -(1 + p) / 2, 1e-15) << rate;
        EXPECT_EQ(s.b2, 0.0);
        EXPECT_NEAR(gainAt(filter.cascade, pi), 1.0, 1e-12);
        EXPECT_NEAR(gainAt(filter.cascade, 0), 0.0, 1e-12);
        EXPECT_NEAR(gainAt(filter.cascade, 2 * pi * 5 / rate), std::sqrt(0.5), 1e-9);
        EXPECT_EQ(filter.digitalPair.zeros[0], Dsp::complex_t(1, 0));
        EXPECT_EQ(filter.digital.normalW, pi);
    }
    const double f44 = 1 / std::tan(pi * 5 / 44100);
    EXPECT_NEAR(f44, 2807.49, 0.01);
    EXPECT_NEAR(highPassPole(f44), 0.999288, 1e-6);
}

TEST(ButterworthDesign, DesigningAgainGivesTheSameStageAndKeepsThePrototype)
{
    ButterworthFilter filter;
    filter.design(Kind::highPass, 5 / 44100.0);
    EXPECT_EQ(filter.analogOrder, 1);
    const Dsp::Cascade::Stage first = filter.stage;

    // A second design reuses the prototype as it stands rather than building it again.
    filter.analogPair.poles[0] = Dsp::complex_t(-1, 0);
    filter.design(Kind::highPass, 5 / 44100.0);
    EXPECT_EQ(filter.analogOrder, 1);
    EXPECT_EQ(filter.analog.poleCount, 1);
    EXPECT_EQ(filter.digital.poleCount, 1);
    EXPECT_EQ(filter.stage.a1, first.a1);
    EXPECT_EQ(filter.stage.b0, first.b0);
    EXPECT_EQ(filter.stage.b1, first.b1);
}

TEST(ButterworthDesign, RedesignKeepsTheFilterMemoryAndOffset)
{
    ButterworthFilter filter;
    filter.design(Kind::lowPass, pbkbinsmoothercutoff);
    std::vector<double> x = {0.3, -0.7, 0.2};
    filter.process(static_cast<int>(x.size()), x.data());
    const double w1 = filter.state.memory[0].w1;
    const double w2 = filter.state.memory[0].w2;
    const double vsa = filter.state.vsa;

    filter.design(Kind::highPass, 0.01);
    EXPECT_EQ(filter.state.memory[0].w1, w1);
    EXPECT_EQ(filter.state.memory[0].w2, w2);
    EXPECT_EQ(filter.state.vsa, vsa);
}

TEST(CascadeProcess, DcStepDecaysThroughTheFiveHertzHighPass)
{
    ButterworthFilter filter;
    filter.design(Kind::highPass, 5 / 44100.0);
    const double p = -filter.stage.a1;
    const double b0 = filter.stage.b0;

    std::vector<double> x(44100 * 4, 1.0);
    filter.process(static_cast<int>(x.size()), x.data());
    // Step response of ((1 + p)/2)(1 - z^-1)/(1 - p z^-1) is b0 p^n.
    for (int n : {0, 1, 100, 1000, 10000})
        EXPECT_NEAR(x[static_cast<std::size_t>(n)], b0 * std::pow(p, n), 1e-7) << n;
    for (std::size_t n = 1; n < x.size(); ++n)
        ASSERT_LE(x[n], x[n - 1] + 1e-7) << n;
    EXPECT_LT(std::fabs(x.back()), 1e-5);
}

TEST(CascadeProcess, AlternatingInputPassesTheHighPassOnceSettled)
{
    ButterworthFilter filter;
    filter.design(Kind::highPass, 5 / 44100.0);
    std::vector<double> x(20000);
    for (std::size_t n = 0; n < x.size(); ++n)
        x[n] = (n % 2) ? -1.0 : 1.0;
    filter.process(static_cast<int>(x.size()), x.data());
    for (std::size_t n = 10000; n < x.size(); ++n)
        ASSERT_NEAR(x[n], (n % 2) ? -1.0 : 1.0, 1e-6) << n;
}

TEST(CascadeProcess, LowPassPassesDcAndStopsNyquist)
{
    ButterworthFilter filter;
    filter.design(Kind::lowPass, pbkbinsmoothercutoff);
    std::vector<double> dc(200, 2.5);
    filter.process(200, dc.data());
    EXPECT_NEAR(dc.back(), 2.5, 1e-7);

    ButterworthFilter other;
    other.design(Kind::lowPass, pbkbinsmoothercutoff);
    std::vector<double> nyquist(200);
    for (std::size_t n = 0; n < nyquist.size(); ++n)
        nyquist[n] = (n % 2) ? -1.0 : 1.0;
    other.process(200, nyquist.data());
    EXPECT_NEAR(nyquist.back(), 0.0, 1e-7);
}

// Direct Form II with the offset subtracted on the first sample, added on the second, ...
TEST(CascadeProcess, SilentInputShowsTheAlternatingOffsetAcrossCalls)
{
    ButterworthFilter filter;
    filter.design(Kind::highPass, 5 / 44100.0);
    const Dsp::Cascade::Stage s = filter.stage;

    std::vector<double> x(1000, 0.0);
    filter.process(1, x.data());
    EXPECT_EQ(x[0], -1e-8 * s.b0);
    EXPECT_EQ(filter.state.vsa, -1e-8);
    filter.process(999, x.data() + 1);
    EXPECT_EQ(filter.state.vsa, 1e-8);

    double w1 = 0, w2 = 0, e = 1e-8;
    for (std::size_t n = 0; n < x.size(); ++n)
    {
        const double w = 0.0 - s.a1 * w1 - s.a2 * w2 - e;
        const double y = s.b2 * w2 + (s.b1 * w1 + s.b0 * w);
        w2 = w1;
        w1 = w;
        e = -e;
        ASSERT_EQ(x[n], y) << n;
        ASSERT_LT(std::fabs(x[n]), 1e-7) << n;
    }
    // The offsets alternate at the Nyquist frequency, which the high-pass lets through.
    EXPECT_LT(x[500] * x[501], 0.0);
    EXPECT_NEAR(std::fabs(x[501]), 1e-8, 1e-10);
}

TEST(CascadeProcess, ZeroCountLeavesSamplesAndStateUnchanged)
{
    ButterworthFilter filter;
    filter.design(Kind::highPass, 5 / 48000.0);
    double x[2] = {0.5, -0.25};
    filter.process(2, x);
    const double w1 = filter.state.memory[0].w1;
    const double vsa = filter.state.vsa;
    double y[1] = {0.75};
    filter.process(0, y);
    filter.process(-3, y);
    EXPECT_EQ(y[0], 0.75);
    EXPECT_EQ(filter.state.memory[0].w1, w1);
    EXPECT_EQ(filter.state.vsa, vsa);
}

// The general conversion of a layout: a conjugate pole pair and two real zeros in one stage.
TEST(CascadeLayout, ConjugatePoleAndRealZeroPairsBecomeOneBiquad)
{
    Dsp::PoleZeroPair pair;
    Dsp::LayoutBase layout(&pair, 2);
    const Dsp::complex_t pole = std::polar(0.9, 0.4);
    pair.poles[0] = pole;
    pair.poles[1] = std::conj(pole);
    pair.zeros[0] = Dsp::complex_t(-1, 0);
    pair.zeros[1] = Dsp::complex_t(-0.5, 0);
    layout.poleCount = 2;
    layout.normalW = 0;
    layout.normalGain = 2;

    Dsp::Cascade::Stage stage;
    Dsp::Cascade cascade(&stage, 1);
    cascade.setLayout(layout);
    EXPECT_EQ(cascade.stageCount, 1);
    EXPECT_NEAR(stage.a1, -2 * pole.real(), 1e-15);
    EXPECT_NEAR(stage.a2, 0.81, 1e-15);
    // Zeros -1 and -0.5: 1 + 1.5 z^-1 + 0.5 z^-2, then scaled to gain 2 at DC.
    const double scale = 2 * (1 + stage.a1 + stage.a2) / 3.0;
    EXPECT_NEAR(stage.b0, scale, 1e-14);
    EXPECT_NEAR(stage.b1, 1.5 * scale, 1e-14);
    EXPECT_NEAR(stage.b2, 0.5 * scale, 1e-14);
    EXPECT_NEAR(gainAt(cascade, 0), 2.0, 1e-14);
}

TEST(CascadeLayout, TwoStagesRunInOrderWithTheOffsetOnlyOnTheFirst)
{
    // A real pole pair (0.5, 0.2) with zeros (-1, -1), then a single pole -0.25 with zero 1.
    Dsp::PoleZeroPair pairs[2];
    Dsp::LayoutBase layout(pairs, 3);
    pairs[0].poles[0] = Dsp::complex_t(0.5, 0);
    pairs[0].poles[1] = Dsp::complex_t(0.2, 0);
    pairs[0].zeros[0] = Dsp::complex_t(-1, 0);
    pairs[0].zeros[1] = Dsp::complex_t(-1, 0);
    layout.poleCount = 2;
    layout.addSingle(Dsp::complex_t(-0.25, 0), Dsp::complex_t(1, 0));
    ASSERT_EQ(layout.poleCount, 3);
    layout.normalW = pi / 2;
    layout.normalGain = 1;

    Dsp::Cascade::Stage stages[2];
    Dsp::Cascade cascade(stages, 2);
    cascade.setLayout(layout);
    ASSERT_EQ(cascade.stageCount, 2);
    EXPECT_NEAR(stages[0].a1, -0.7, 1e-15);
    EXPECT_NEAR(stages[0].a2, 0.1, 1e-15);
    EXPECT_NEAR(stages[1].a1, 0.25, 1e-15);
    EXPECT_EQ(stages[1].a2, 0.0);
    EXPECT_EQ(stages[1].b0, 1.0); // only stage 0 carries the gain
    EXPECT_EQ(stages[1].b1, -1.0);
    EXPECT_NEAR(gainAt(cascade, pi / 2), 1.0, 1e-14);

    Dsp::CascadeStages<2>::State<Dsp::DirectFormII> state;
    std::vector<double> x = {1, 0, 0, 0.5, -2, 0, 0};
    std::vector<double> expected = x;
    cascade.process(static_cast<int>(x.size()), x.data(), state);

    Dsp::DirectFormII first, second;
    double e = 1e-8;
    for (double& v : expected)
    {
        v = second.process1(first.process1(v, stages[0], -e), stages[1], 0.0);
        e = -e;
    }
    for (std::size_t n = 0; n < x.size(); ++n)
        EXPECT_EQ(x[n], expected[n]) << n;
}

TEST(CascadeProcess, DesignAndFilteringAllocateNothing)
{
    ButterworthFilter filter;
    std::vector<double> x(1024, 0.5);
    const std::uint64_t before = allocation_counter::count();
    for (int frame = 0; frame < 4; ++frame)
    {
        filter.design(Kind::lowPass, pbkbinsmoothercutoff);
        filter.process(1024, x.data());
        filter.design(Kind::highPass, 5 / 44100.0);
        filter.process(1024, x.data());
    }
    EXPECT_EQ(allocation_counter::count(), before);
}
} // namespace
