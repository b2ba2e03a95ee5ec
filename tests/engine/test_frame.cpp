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
            ASSERT_EQ(cepstrum[static_cast<std::size_t>(i)], i < firsthalved       ? 3.0
                                                             : i < firsthalved + 2 ? 1.5
                                                                                   : 0.0)
                << "N " << n << " element " << i;
    }
}

// A cosine already filling the frame, as in steady playing, then hops of it: from the second frame on, a bin
// near it gives its frequency; a constant gives bin 0 at 0 Hz.
TEST(TrueFrequency, SteadyTonesAtAndBetweenBinCentresGiveTheirFrequency)
{
    // clang-format off
    const struct { double samplerate, bins; std::uint64_t bin; double tolerance; } rows[] = {
        {44100, 0.0, 0, 0.0},
        {44100, 40.0, 40, 1e-6},
        {44100, 46.4, 46, 0.05},
        {44100, 46.4, 45, 0.25}, // the mirror frequency's leakage shows
        {96000, 40.0, 40, 1e-6},
        {96000, 46.4, 47, 0.05},
    };
    // clang-format on
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << row.samplerate << " Hz, " << row.bins << " bins, bin " << row.bin);
        auto engine = makeengine(row.samplerate);
        const std::size_t past = static_cast<std::size_t>(engine->refillpos),
                          hop = static_cast<std::size_t>(engine->hopsize);
        const double hz = row.bins * engine->binwidth;
        std::vector<double> x(past + 6 * hop);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = 0.5 * std::cos(2 * pi * hz * static_cast<double>(i) / row.samplerate);
        std::copy(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(past), engine->inputframe.data);
        for (std::size_t frame = 0; frame < 6; ++frame)
        {
            runhop(*engine, x.data() + past + frame * hop);
            ASSERT_TRUE(frame == 0 || std::fabs(engine->spectrum[2 * row.bin + 1] - hz) <= row.tolerance) << frame;
        }
        EXPECT_TRUE(row.bins > 0.0 || engine->spectrum[0] > 0.0);
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
    voice.ratio = voice.lastratio = std::numeric_limits<double>::quiet_NaN();
    engine->ratiochanges = std::numeric_limits<std::int32_t>::max() - 1;
    for (int i = 0; i < 3; ++i)
        resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, std::numeric_limits<std::int32_t>::max());
}
