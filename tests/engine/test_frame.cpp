// The analysis half of the frame: lifter, true frequency per bin, input level, quiet-time reset,
// bad input and allocation.
#include "engine/frame.h"

#include "dsp/allocation_counter.h"
#include "engine/framesignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace framesignals;

TEST(FrameTransforms, LifterKeepsHalvesAndClearsTheNamedCoefficients)
{
    for (const std::int64_t n : {2048, 4096})
    {
        const std::int64_t firsthalved = n == 2048 ? 100 : 202;
        std::vector<double> cepstrum(static_cast<std::size_t>(n), 3.0);
        liftercepstrum(cepstrum.data(), n);
        for (std::int64_t i = 0; i < n; ++i)
            ASSERT_EQ(cepstrum[static_cast<std::size_t>(i)], i < firsthalved ? 3.0 : i < firsthalved + 2 ? 1.5 : 0.0)
                << "N " << n << " element " << i;
    }
}

// A sine already filling the frame, as in steady playing, then hops of it; checks each frame after the first.
template <typename Check>
void steadysine(double samplerate, double bins, Check check)
{
    auto engine = makeengine(samplerate);
    const std::size_t past = static_cast<std::size_t>(engine->refillpos), hop = static_cast<std::size_t>(engine->hopsize);
    const double hz = bins * engine->binwidth;
    const std::vector<double> x = sine(hz, samplerate, past + 6 * hop);
    std::copy(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(past), engine->inputframe.data);
    for (std::size_t frame = 0; frame < 6; ++frame)
    {
        runhop(*engine, x.data() + past + frame * hop);
        if (frame > 0)
            check(engine->spectrum.data, hz);
    }
}

TEST(TrueFrequency, SteadySinesAtAndBetweenBinCentresGiveTheirFrequency)
{
    for (const double sr : {44100.0, 96000.0})
    {
        SCOPED_TRACE(sr);
        steadysine(sr, 40.0, [](const double* spectrum, double hz) { ASSERT_NEAR(spectrum[2 * 40 + 1], hz, 1e-6); });
        steadysine(sr, 46.4, [](const double* spectrum, double hz) {
            ASSERT_NEAR(spectrum[2 * 46 + 1], hz, 0.05);
            ASSERT_NEAR(spectrum[2 * 47 + 1], hz, 0.05);
            ASSERT_NEAR(spectrum[2 * 45 + 1], hz, 0.25); // the mirror frequency's leakage shows
        });
    }
}

TEST(TrueFrequency, ConstantInputGivesBinZeroAtZeroHz)
{
    auto engine = makeengine(44100);
    const std::vector<double> x(256, 0.25);
    for (int frame = 0; frame < 10; ++frame)
    {
        runhop(*engine, x.data());
        EXPECT_EQ(engine->spectrum[1], 0.0) << frame;
        EXPECT_GT(engine->spectrum[0], 0.0) << frame;
    }
}

TEST(InputLevel, IsFiftyTimesTheMeanMagnitudeOfTheLevelStretch)
{
    auto engine = makeengine(44100);
    for (std::int64_t i = 0; i < engine->fftsize; ++i)
        engine->inputframe[i] = (i % 2 == 0) ? 0.2 : -0.2;
    engine->inputframe[639] = engine->inputframe[1408] = 100.0; // just outside the stretch 640..1407
    measureinputlevel(*engine);
    EXPECT_NEAR(engine->inputlevel, 10.0, 1e-12);
}

TEST(QuietTimeReset, ClearsThePhasesOnceInTheFirstQuietFrameAfterARatioChange)
{
    auto engine = makeengine(44100);
    pbkvoicestate& voice = addvoice(*engine);
    const auto fill = [&] {
        std::fill_n(engine->lastphase.data, engine->halfsize, 1.0);
        std::fill_n(voice.phases.data, engine->halfsize, 1.0);
    };
    const auto cleared = [&] {
        return std::all_of(engine->lastphase.data, engine->lastphase.data + engine->halfsize, [](double p) { return p == 0.0; })
               && std::all_of(voice.phases.data, voice.phases.data + engine->halfsize, [](double p) { return p == 0.0; });
    };
    fill();
    engine->inputlevel = 0.0;
    voice.ratio = 1.5; // lastratio is still 1: a changing frame never resets
    resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, 1);
    EXPECT_FALSE(cleared());

    voice.lastratio = 1.5;
    engine->inputlevel = 0.009; // exactly the threshold is not quiet
    resetquiettime(*engine);
    EXPECT_FALSE(cleared());
    engine->inputlevel = std::nextafter(0.009, 0.0);
    resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, 0);
    EXPECT_TRUE(cleared());

    // A ratio that is not a number counts as a change every frame, and the count saturates.
    voice.ratio = voice.lastratio = std::numeric_limits<double>::quiet_NaN();
    engine->ratiochanges = std::numeric_limits<std::int32_t>::max() - 1;
    for (int i = 0; i < 3; ++i)
        resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, std::numeric_limits<std::int32_t>::max());
}

TEST(FrameInput, NonFiniteAndHugeSamplesPoisonNothingLater)
{
    auto engine = makeengine(44100);
    addvoice(*engine, 1.25);
    engine->wantpitch = 1;
    std::vector<double> x = sine(220.0, 44100, 60 * 256);
    const double inf = std::numeric_limits<double>::infinity();
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e300, -1e308,
                          std::numeric_limits<double>::denorm_min()};
    std::copy(std::begin(bad), std::end(bad), x.begin() + 3000);

    const std::vector<double> out = run(*engine, x);
    const auto finite = [](const double* v, std::uint64_t n) {
        return std::all_of(v, v + n, [](double s) { return std::isfinite(s); });
    };
    EXPECT_TRUE(finite(engine->lastphase.data, engine->lastphase.count));
    EXPECT_TRUE(finite(engine->voicestates[0]->phases.data, engine->voicestates[0]->phases.count));
    EXPECT_TRUE(finite(engine->history.data, engine->history.count));
    EXPECT_TRUE(finite(out.data(), out.size()));
    EXPECT_TRUE(std::isfinite(engine->faststate) && std::isfinite(engine->slowstate));
    EXPECT_NEAR(engine->detectednote, noteof(220.0), 0.1); // back on the tone long after
    EXPECT_NEAR(peakfrequency({out.end() - 8192, out.end()}, 44100, 100, 2000), 275.0, 275.0 * 0.005);
}

TEST(FrameAllocation, AFrameWithItsBusesInPlaceAllocatesNothing)
{
    auto engine = makeengine(44100);
    addvoice(*engine).bus = 2;
    addvoice(*engine, 1.5);
    engine->wantpitch = 1;
    const std::vector<double> x = harmonictone(150.0, 44100, 4 * 256);
    runhop(*engine, x.data()); // makes buses 0..2
    const std::uint64_t before = allocation_counter::count();
    for (int hop = 1; hop < 4; ++hop)
        runhop(*engine, x.data() + 256 * hop);
    EXPECT_EQ(allocation_counter::count(), before);
}
