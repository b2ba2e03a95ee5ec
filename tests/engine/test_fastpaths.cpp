// The frame's fast paths against the plain computations they replace, on whole frames (the analysis every
// voice reads included): two engines hear the same input, one with plainpaths set on the baseline kernels,
// the other on each kernel set in turn. Bound: every bus within -120 dB (1e-6) of the plain output's RMS; a
// bus no voice reaches plays exactly the same samples.
#include "dsp/simdpaths.h"
#include "framesignals.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace
{
using namespace framesignals;

// Ratio, gain, formant amount and factor, bus, mode2: shifted up and down, formants kept and
// moved, a silent voice alone on bus 1, a crossfading voice on bus 2.
constexpr double voices[][6] = {
    {1.26, 0.8, 1.0, 1.1, 0, 0}, {0.75, 0.5, 0.0, 1.0, 0, 0}, {2.0, 0.0, 0.5, 1.0, 1, 0}, {1.5, 0.6, 1.0, 0.9, 2, 2}};

// An engine with those voices, built and (plain: on the baseline kernels) run by body.
template <typename Body>
void withengine(double samplerate, bool plain, Body body)
{
    const simdpath fastpath = activesimdpath();
    usesimdpath(plain ? simdpath::baseline : fastpath);
    auto engine = makeengine(samplerate);
    engine->plainpaths = plain ? 1 : 0;
    for (const auto& v : voices)
    {
        pbkvoicestate& voice = addvoice(*engine, v[0], v[1]);
        voice.formantamount = v[2];
        voice.formantfactor = v[3];
        voice.bus = static_cast<std::uint64_t>(v[4]);
        voice.mode2 = static_cast<std::int32_t>(v[5]);
    }
    body(*engine);
    usesimdpath(fastpath);
}

// A harmonic tone on an offset in noise; hz 0: the offset and louder noise alone.
std::vector<double> testinput(double samplerate, std::size_t length, double hz = 196.0, double offset = 0.0)
{
    std::vector<double> x = harmonictone(hz, samplerate, length, hz > 0.0 ? 12 : 0);
    std::mt19937 generator(13u);
    for (double& v : x)
        v += offset + std::uniform_real_distribution<double>(-0.02, 0.02)(generator) * (hz > 0.0 ? 1.0 : 15.0);
    return x;
}

// A tone in noise, a silence (the quiet-time reset), then a louder tone starting with a click (an onset).
std::vector<double> frameinput(double samplerate, std::size_t hop)
{
    std::vector<double> x = testinput(samplerate, 40 * hop);
    std::vector<double> loud = harmonictone(330.0, samplerate, 30 * hop, 6, 0.6);
    x.resize(x.size() + 12 * hop, 0.0);
    loud[0] = 0.9;
    x.insert(x.end(), loud.begin(), loud.end());
    return x;
}

TEST(FramePaths, FastAndPlainPlayTheSameToBelowMinus120dB)
{
    for (const double samplerate : {44100.0, 96000.0})
        for (std::uint64_t bus = 0; bus < 3; ++bus)
            foreachsimdpath([&] {
                SCOPED_TRACE(testing::Message() << samplerate << " Hz, bus " << bus);
                const std::vector<double> x = frameinput(samplerate, samplerate < 96000.0 ? 256 : 512);
                std::vector<double> out[2];
                for (int plain : {0, 1})
                    withengine(samplerate, plain, [&](pbkpitchshift& e) { out[plain] = run(e, x, bus); });
                if (bus == 1) // nothing reaches bus 1: skipped, not approximated
                {
                    ASSERT_EQ(out[0], out[1]);
                    return;
                }
                const double level = rms(out[1], 0, out[1].size());
                ASSERT_GT(level, 0.01); // the bus sounds
                for (std::size_t i = 0; i < out[1].size(); ++i)
                    ASSERT_NEAR(out[0][i], out[1][i], 1e-6 * level) << i;
            });
}

// The pitch search with fewer direct lags and half-size transforms made as the search reaches them
// finds the note the plain search (full-size transform of every later lag) finds: tones from 55 Hz
// (the second block of lags) to 1400 Hz (direct lags only), on an offset, and noise (every lag).
TEST(PitchSearchPaths, FastAndPlainFindTheSameNote)
{
    for (const double samplerate : {44100.0, 96000.0})
        for (const double hz : {0.0, 55.0, 82.0, 110.0, 196.0, 261.6, 440.0, 700.0, 1400.0})
            for (const double offset : {0.0, 3.0})
                foreachsimdpath([&] {
                    SCOPED_TRACE(testing::Message() << samplerate << " Hz, tone " << hz << ", offset " << offset);
                    double notes[2] = {0.0, 0.0};
                    for (int plain : {0, 1})
                        withengine(samplerate, plain, [&](pbkpitchshift& e) {
                            e.wantpitch = 1;
                            e.detectiongate = 0.0;
                            e.inputlevel = 1.0;
                            const std::vector<double> x =
                                testinput(samplerate, static_cast<std::size_t>(e.fftsize), hz, offset);
                            std::copy(x.begin(), x.end(), e.inputframe.data);
                            detectpitch(e);
                            notes[plain] = e.detectednote;
                        });
                    EXPECT_GT(notes[1], 0.0); // the search ran
                    EXPECT_NEAR(notes[0], notes[1], 1e-9);
                });
}
} // namespace
