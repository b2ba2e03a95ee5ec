// The frame's fast paths against the plain computations they replace, on whole frames: two
// engines hear the same input, one with plainpaths set on the baseline kernels, the other on each
// kernel set in turn, and every bus they play is compared.
// Bound: the difference stays below -120 dB (1e-6) of the plain output's RMS on every bus; a
// bus no voice reaches plays exactly the same samples.
#include "dsp/simdpaths.h"
#include "framesignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace
{
using namespace framesignals;

constexpr double bound = 1e-6; // -120 dB

struct voicesetup
{
    double ratio, gain, formantamount, formantfactor;
    std::uint64_t bus;
    std::int32_t mode2;
};

// Shifted up and down, formants kept and moved, a silent voice alone on bus 1, a crossfading
// voice on bus 2.
constexpr voicesetup voices[] = {
    {1.26, 0.8, 1.0, 1.1, 0, 0}, {0.75, 0.5, 0.0, 1.0, 0, 0}, {2.0, 0.0, 0.5, 1.0, 1, 0}, {1.5, 0.6, 1.0, 0.9, 2, 2}};

std::unique_ptr<pbkpitchshift> makevoicedengine(double samplerate, bool plain)
{
    auto engine = makeengine(samplerate);
    engine->plainpaths = plain ? 1 : 0;
    for (const voicesetup& v : voices)
    {
        pbkvoicestate& voice = addvoice(*engine, v.ratio, v.gain);
        voice.formantamount = v.formantamount, voice.formantfactor = v.formantfactor;
        voice.bus = v.bus, voice.mode2 = v.mode2;
    }
    return engine;
}

// A harmonic tone in noise, a silence (the quiet-time reset), then a louder tone starting with a
// click (an onset).
std::vector<double> testinput(double samplerate, std::size_t hop)
{
    std::vector<double> x = harmonictone(196.0, samplerate, 40 * hop, 12);
    std::mt19937 generator(13u);
    for (double& v : x)
        v += std::uniform_real_distribution<double>(-0.02, 0.02)(generator);
    x.resize(x.size() + 12 * hop, 0.0);
    std::vector<double> loud = harmonictone(330.0, samplerate, 30 * hop, 6, 0.6);
    loud[0] = 0.9;
    x.insert(x.end(), loud.begin(), loud.end());
    return x;
}

double rmsof(const std::vector<double>& x)
{
    double sum = 0.0;
    for (double v : x)
        sum += v * v;
    return std::sqrt(sum / static_cast<double>(x.size()));
}

TEST(FramePaths, FastAndPlainPlayTheSameToBelowMinus120dB)
{
    for (const double samplerate : {44100.0, 96000.0})
    {
        SCOPED_TRACE(testing::Message() << samplerate << " Hz");
        const std::size_t hop = samplerate < 96000.0 ? 256 : 512;
        const std::vector<double> x = testinput(samplerate, hop);
        for (std::uint64_t bus = 0; bus < 3; ++bus)
            foreachsimdpath([&] {
                SCOPED_TRACE(testing::Message() << "bus " << bus);
                const std::vector<double> fastout = run(*makevoicedengine(samplerate, false), x, bus);
                const simdpath fastpath = activesimdpath();
                usesimdpath(simdpath::baseline);
                const std::vector<double> plainout = run(*makevoicedengine(samplerate, true), x, bus);
                usesimdpath(fastpath);
                ASSERT_EQ(fastout.size(), plainout.size());
                if (bus == 1) // nothing reaches it: skipped, not approximated
                {
                    EXPECT_EQ(fastout, plainout);
                    return;
                }
                const double level = rmsof(plainout);
                ASSERT_GT(level, 0.01); // the bus sounds
                double worst = 0.0;
                for (std::size_t i = 0; i < fastout.size(); ++i)
                    worst = std::max(worst, std::fabs(fastout[i] - plainout[i]));
                EXPECT_LE(worst, bound * level);
            });
    }
}

// The magnitudes, the envelope and the true frequencies, which every voice reads, agree bin by
// bin (the kernel sets' transforms differ in the last bits).
TEST(FramePaths, AnalysisAgreesBinByBin)
{
    auto fast = makevoicedengine(44100.0, false);
    auto plain = makevoicedengine(44100.0, true);
    const simdpath startup = activesimdpath();
    const std::size_t hop = static_cast<std::size_t>(fast->hopsize);
    const std::vector<double> x = testinput(44100.0, hop);
    for (std::size_t at = 0; at + hop <= x.size(); at += hop)
    {
        usesimdpath(simdpath::baseline);
        runhop(*plain, x.data() + at);
        usesimdpath(simdpath::avx2); // where the CPU has it
        runhop(*fast, x.data() + at);
        for (std::int64_t k = 0; k < fast->halfsize; ++k)
        {
            const auto i = static_cast<std::uint64_t>(k);
            ASSERT_NEAR(fast->envelope[i], plain->envelope[i], 1e-12 * (1.0 + plain->envelope[i])) << at << ", " << k;
            ASSERT_NEAR(fast->spectrum[2 * i], plain->spectrum[2 * i], 1e-12 * (1.0 + plain->spectrum[2 * i])) << k;
            ASSERT_NEAR(fast->spectrum[2 * i + 1], plain->spectrum[2 * i + 1],
                        1e-12 * (1.0 + std::fabs(plain->spectrum[2 * i + 1])))
                << k; // Hz
        }
    }
    usesimdpath(startup);
}
// A harmonic tone on an offset with a little noise; hz 0: the offset and louder noise alone.
std::vector<double> pitchinput(double hz, double samplerate, std::int64_t n, double offset)
{
    std::vector<double> x = hz > 0.0 ? harmonictone(hz, samplerate, static_cast<std::size_t>(n), 10)
                                     : std::vector<double>(static_cast<std::size_t>(n), 0.0);
    const double noise = hz > 0.0 ? 0.01 : 0.3;
    std::mt19937 generator(17u);
    for (double& v : x)
        v += offset + std::uniform_real_distribution<double>(-noise, noise)(generator);
    return x;
}

// The pitch search with fewer direct lags and half-size transforms made as the search reaches them
// finds the note the plain search (full-size transform of every later lag) finds: tones from 55 Hz
// (the second block of lags) to 1400 Hz (direct lags only), on an offset, and noise (every lag).
TEST(PitchSearchPaths, FastAndPlainFindTheSameNote)
{
    for (const double samplerate : {44100.0, 96000.0})
        for (const double hz : {0.0, 55.0, 82.0, 110.0, 196.0, 261.6, 440.0, 700.0, 1400.0})
            for (const double offset : {0.0, 3.0})
            {
                SCOPED_TRACE(testing::Message() << samplerate << " Hz, tone " << hz << ", offset " << offset);
                double notes[2] = {0.0, 0.0};
                for (int plain = 0; plain < 2; ++plain)
                {
                    auto engine = makeengine(samplerate);
                    engine->plainpaths = static_cast<std::uint8_t>(plain);
                    engine->wantpitch = 1;
                    engine->detectiongate = 0.0;
                    engine->inputlevel = 1.0;
                    const std::vector<double> x = pitchinput(hz, samplerate, engine->fftsize, offset);
                    std::copy(x.begin(), x.end(), engine->inputframe.data);
                    detectpitch(*engine);
                    notes[plain] = engine->detectednote;
                }
                EXPECT_GT(notes[1], 0.0); // the search ran
                EXPECT_NEAR(notes[0], notes[1], 1e-9);
            }
}
} // namespace
