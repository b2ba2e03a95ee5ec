// The analysis half of the frame: lifter, true frequency per bin, quiet-time reset.
#include "engine/frame.h"

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
        {
            const double expected = i < firsthalved ? 3.0 : i < firsthalved + 2 ? 1.5 : 0.0;
            ASSERT_EQ(cepstrum[static_cast<std::size_t>(i)], expected) << "N " << n << " element " << i;
        }
    }
}

// A sine already filling the frame, as in steady playing, then hops of it; checks each frame after the
// first.
template <typename Check>
void steadysine(double samplerate, double bins, Check check)
{
    auto engine = makeengine(samplerate);
    const std::size_t past = static_cast<std::size_t>(engine->refillpos);
    const std::size_t hop = static_cast<std::size_t>(engine->hopsize);
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
        SCOPED_TRACE(frame);
        EXPECT_EQ(engine->spectrum[1], 0.0);
        EXPECT_GT(engine->spectrum[0], 0.0);
    }
}

// A ratio that is not a number counts as a change every frame: the count saturates, never wraps.
TEST(QuietTimeReset, ClearsPhasesWhenQuietAndSaturatesTheChangeCount)
{
    auto engine = makeengine(44100);
    pbkvoicestate& voice = addvoice(*engine);
    std::fill_n(voice.phases.data, engine->halfsize, 1.0);
    voice.ratio = 1.5; // a changing frame counts the change but never resets
    engine->inputlevel = std::nextafter(0.009, 0.0);
    resetquiettime(*engine);
    EXPECT_EQ(voice.phases[0], 1.0);
    voice.lastratio = 1.5;
    resetquiettime(*engine);
    for (std::int64_t k = 0; k < engine->halfsize; ++k)
        ASSERT_EQ(voice.phases[static_cast<std::uint64_t>(k)], 0.0) << "bin " << k;
    // A level of exactly 0.009 is not quiet.
    voice.phases[0] = 1.0;
    voice.ratio = 2.0;
    resetquiettime(*engine);
    voice.lastratio = 2.0;
    engine->inputlevel = 0.009;
    resetquiettime(*engine);
    EXPECT_EQ(voice.phases[0], 1.0);
    voice.ratio = std::numeric_limits<double>::quiet_NaN();
    voice.lastratio = voice.ratio;
    engine->ratiochanges = std::numeric_limits<std::int32_t>::max() - 1;
    for (int i = 0; i < 3; ++i)
        resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, std::numeric_limits<std::int32_t>::max());
}
