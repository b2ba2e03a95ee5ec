// The analysis half of the frame: true frequency per bin, quiet-time reset, the pitch detector (tones, gate,
// silence, fallback) and onsets around a click.
#include "engine/frame.h"

#include "engine/framesignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

using namespace framesignals;

namespace
{
std::unique_ptr<pbkpitchshift> detectingengine(double sr)
{
    auto engine = makeengine(sr);
    engine->wantpitch = 1;
    engine->detectiongate = 0.0;
    return engine;
}

// Enough hops for the frame to hold nothing but the signal.
std::size_t settled(const pbkpitchshift& engine)
{
    return static_cast<std::size_t>(12 * engine.hopsize);
}
} // namespace

TEST(PitchDetection, SinesAndHarmonicTonesGiveTheirNote)
{
    for (const double sr : {44100.0, 48000.0})
        for (const double hz : {80.0, 110.0, 220.0, 440.0, 880.0})
            for (const bool harmonic : {false, true})
            {
                SCOPED_TRACE(testing::Message() << sr << " Hz rate, " << hz << " Hz, harmonic " << harmonic);
                auto engine = detectingengine(sr);
                run(*engine, harmonic ? harmonictone(hz, sr, settled(*engine)) : sine(hz, sr, settled(*engine)));
                EXPECT_NEAR(engine->detectednote, noteof(hz), 0.1);
            }
}

TEST(PitchDetection, SilenceKeepsTheLastNoteEvenWithTheGateOpen)
{
    auto engine = detectingengine(44100);
    run(*engine, sine(220.0, 44100, settled(*engine)));
    const double note = engine->detectednote;
    ASSERT_NEAR(note, noteof(220.0), 0.1);
    engine->inputframe.zero(); // falls silent at once: gate 0 lets the detector run on nothing
    measureinputlevel(*engine);
    ASSERT_EQ(engine->inputlevel, engine->detectiongate);
    detectpitch(*engine);
    EXPECT_EQ(engine->detectednote, note);
    run(*engine, std::vector<double>(settled(*engine), 0.0));
    EXPECT_EQ(engine->detectednote, note);
}

// Frames never dipping under the threshold, with exact values (N = 2048, tau0 = 29): ones at 512 and 568,
// a ramp from 540 + rampstart; 2 at lag index 27 and 55, (29 + c) / (c - 13) < 2 up to the ramp.
TEST(PitchFallback, TheDeepestLagWinsAndOnATieTheFirst)
{
    auto engine = detectingengine(44100);
    const auto detect = [&](std::int64_t rampstart) {
        engine->inputframe.zero();
        engine->inputframe[512] = 1.0;
        engine->inputframe[568] = 1.0;
        for (std::int64_t i = 540 + rampstart; i < engine->fftsize; ++i)
            engine->inputframe[i] = static_cast<double>(i - (540 + rampstart) + 1);
        detectpitch(*engine);
        for (std::int64_t c = 2; c < engine->halfsize - 29; ++c)
            ASSERT_GE(engine->yintable[c], 1.9) << "lag index " << c; // no dip anywhere
    };
    // The note of lag 29 + i refined by the parabola through the values at i - 1, i, i + 1.
    const auto noteat = [](std::int64_t i, double before, double at, double after) {
        const double refined = static_cast<double>(29 + i) + 0.5 * (before - after) / (before - 2.0 * at + after);
        return noteof(44100.0 / refined);
    };
    detect(56); // 27 and 55 tie at exactly 2
    ASSERT_EQ(engine->yintable[27], 2.0);
    ASSERT_EQ(engine->yintable[55], 2.0);
    EXPECT_NEAR(engine->detectednote, noteat(27, 55.0 / 27.0, 2.0, 114.0 / 30.0), 1e-9);
    detect(57); // 56 dips to 170 / 86, under the earlier minimum at 27
    EXPECT_NEAR(engine->detectednote, noteat(56, 2.0, 170.0 / 86.0, 258.0 / 89.0), 1e-9);
}

// Silence then unit clicks 1000 samples apart: the first click marks 1..3000 around itself, the second is
// not taken.
TEST(OnsetDetection, AClickMarksAWindowAndASecondClickInsideItIsNotTaken)
{
    for (const int count : {1, 2})
    {
        SCOPED_TRACE(testing::Message() << count << " clicks");
        auto engine = makeengine(44100);
        const std::size_t first = 20 * 256 + 100;
        std::vector<double> x(26 * 256, 0.0);
        for (int c = 0; c < count; ++c)
            x[first + 1000 * static_cast<std::size_t>(c)] = 1.0;
        run(*engine, x);
        const std::int64_t sincefirst = static_cast<std::int64_t>(x.size() - 1 - first);
        const std::int64_t at = engine->historypos + engine->hopsize - 1 - sincefirst;
        // offset, mark
        using mark = std::tuple<std::int64_t, int>;
        const mark expected[] = {{-1501, 0}, {-1500, 1}, {0, 1501}, {1000, 2501}, {1499, 3000}, {1500, 0}};
        for (const auto& [offset, mark] : expected)
            EXPECT_EQ(engine->onsetmarks[at + offset], mark) << "at click + " << offset;
    }
}

namespace
{
// The note by the plain definition: every lag summed directly, the first dip under 0.15, else the deepest lag.
double directnote(const std::vector<double>& x, double sr)
{
    const std::int64_t n = static_cast<std::int64_t>(x.size());
    const std::int64_t tau0 = n / 70;
    const std::int64_t lags = n / 2 - tau0;
    const std::int64_t w = n / 4;
    std::vector<double> yin(static_cast<std::size_t>(lags));
    double sum = 1e-20;
    std::int64_t chosen = -1;
    for (std::int64_t c = 0; c < lags && chosen < 0; ++c)
    {
        double d = 0.0;
        for (std::int64_t j = 0; j < w; ++j)
            d += (x[j] - x[j + tau0 + c]) * (x[j] - x[j + tau0 + c]);
        sum += d;
        yin[c] = (static_cast<double>(tau0 + c) / sum) * d;
        if (c >= 6 && yin[c - 2] < 0.15 && yin[c - 1] > yin[c - 2])
            chosen = c - 2;
    }
    const double a = yin[chosen - 1];
    const double b = yin[chosen];
    const double c = yin[chosen + 1];
    return noteof(sr / (static_cast<double>(tau0 + chosen) + 0.5 * (a - c) / (a - 2.0 * b + c)));
}
} // namespace

// Digital silence then a tone: the transform's lags (from 128 on) see the silence as the direct sums do.
// 440 Hz plus b x 220 Hz: the half-period lag dips to 0.09 (b 0.2) or 0.19 (b 0.3); only a dip under 0.15
// ends the search, so the second finds the full period of 220 Hz (note 45, not 57).
TEST(PitchDetection, TheNoteIsTheOneTheDirectSumsGive)
{
    // leading zeros, frequency, share b of the octave below (negative: a harmonic tone instead), the note
    // where the threshold decides it
    using row = std::tuple<std::size_t, double, double, double>;
    const row rows[] = {{700, 220.0, -1, 0}, {700, 330.0, -1, 0}, {600, 150.0, -1, 0}, {800, 110.0, -1, 0},
                        {0, 220.0, -1, 0},   {0, 440.0, 0.2, 57}, {0, 440.0, 0.3, 45}, {0, 440.0, 0.0, 57}};
    for (const auto& [zeros, hz, b, note] : rows)
    {
        SCOPED_TRACE(testing::Message() << zeros << " zeros, " << hz << " Hz, b " << b);
        auto engine = detectingengine(44100);
        std::vector<double> x(2048, 0.0);
        const std::vector<double> tone = harmonictone(hz, 44100, 2048 - zeros);
        for (std::size_t i = zeros; i < x.size(); ++i)
            x[i] = b < 0 ? tone[i - zeros] : std::sin(2 * pi * hz * i / 44100.0) + b * std::sin(pi * hz * i / 44100.0);
        std::copy(x.begin(), x.end(), engine->inputframe.data);
        detectpitch(*engine);
        EXPECT_NEAR(engine->detectednote, directnote(x, 44100), 1e-6);
        if (note > 0)
        {
            EXPECT_NEAR(engine->detectednote, note, 0.2) << "the threshold decides";
        }
    }
}

// The level is 50 x the mean absolute value: a sine of amplitude 0.01 with five periods in the 768 measured
// samples measures 50 x 0.01 x 2 / pi = 0.3183. A gate equal to the level lets the detector run.
TEST(PitchDetection, TheGateComparesFiftyTimesTheMeanLevel)
{
    const double level = 50.0 * 0.01 * 2.0 / pi;
    constexpr double atlevel = -1.0;    // the measured level itself
    constexpr double abovelevel = -2.0; // the next double above it
    // gate, runs
    using row = std::tuple<double, bool>;
    const row rows[] = {{0.30, true},  {0.317, true},   {0.320, false},
                        {0.64, false}, {atlevel, true}, {abovelevel, false}};
    for (const auto& [gate, runs] : rows)
    {
        auto engine = detectingengine(44100);
        const std::vector<double> x = sine(44100.0 * 5.0 / 768.0, 44100, 2048, 0.01);
        std::copy(x.begin(), x.end(), engine->inputframe.data);
        engine->detectednote = 12.0;
        measureinputlevel(*engine);
        EXPECT_NEAR(engine->inputlevel, level, 2e-4);
        const double above = std::nextafter(engine->inputlevel, 1e9);
        engine->detectiongate = gate == atlevel ? engine->inputlevel : gate == abovelevel ? above : gate;
        detectpitch(*engine);
        EXPECT_EQ(engine->detectednote != 12.0, runs) << "gate " << gate;
    }
}

namespace
{
// Onsets found while x runs through a fresh engine, counted as each window's centre passes.
int onsetsin(const std::vector<double>& x)
{
    auto engine = makeengine(44100);
    int found = 0;
    for (std::size_t at = 0; at + 256 <= x.size(); at += 256)
    {
        runhop(*engine, x.data() + at);
        for (std::int64_t i = 0; i < 256; ++i)
            found += engine->onsetmarks[engine->historypos + i - 1500] == 1501 ? 1 : 0;
    }
    return found;
}
} // namespace

// The fast follower (60 Hz) must rise 0.0007 over the slow one (0.27 Hz): a click of 0.09 after silence does,
// one of 0.08 does not. An onset lasts until the fast follower (22 Hz) falls under 0.45 of the slow one plus
// 0.0007: a tone that drops to 0.3 of its level ends it, and its return is a second onset; a drop to 0.4
// does not.
// Boundaries measured once; each constant moved a little moves one of them.
TEST(OnsetDetection, ClickThresholdAndTheShareThatEndsAnOnset)
{
    for (const auto& [click, onsets] : {std::pair<double, int>{0.08, 0}, {0.09, 1}, {0.12, 1}})
    {
        std::vector<double> x(30 * 256, 0.0);
        x[20 * 256 + 100] = click;
        EXPECT_EQ(onsetsin(x), onsets) << "click " << click;
    }
    for (const auto& [drop, onsets] : {std::pair<double, int>{0.4, 1}, {0.3, 2}, {1.0, 1}})
    {
        std::vector<double> x(2 * 44100, 0.0);
        for (std::size_t i = 4410; i < x.size(); ++i)
            x[i] = (i > 44100 && i < 44100 + 13230 ? drop : 1.0) * 0.3 * std::sin(2 * pi * 220 * i / 44100.0);
        EXPECT_EQ(onsetsin(x), onsets) << "drop to " << drop;
    }
    // A gap of silence ends the onset once the fast follower has fallen (22 Hz): 400 samples do, 325 not.
    for (const auto& [gap, onsets] : {std::pair<std::size_t, int>{325, 1}, {400, 2}})
    {
        std::vector<double> x(2 * 44100, 0.0);
        for (std::size_t i = 4410; i < x.size(); ++i)
            x[i] = i >= 44100 && i < 44100 + gap ? 0.0 : 0.3 * std::sin(2 * pi * 220 * i / 44100.0);
        EXPECT_EQ(onsetsin(x), onsets) << "gap " << gap;
    }
}

// The lifter halves the last two coefficients it keeps and clears the rest.
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
        const std::size_t past = static_cast<std::size_t>(engine->refillpos);
        const std::size_t hop = static_cast<std::size_t>(engine->hopsize);
        const double hz = row.bins * engine->binwidth;
        std::vector<double> x(past + 6 * hop);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = 0.5 * std::cos(2 * pi * hz * static_cast<double>(i) / row.samplerate);
        std::copy(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(past), engine->inputframe.data);
        for (std::size_t frame = 0; frame < 6; ++frame)
        {
            runhop(*engine, x.data() + past + frame * hop);
            if (frame > 0)
            {
                ASSERT_NEAR(engine->spectrum[2 * row.bin + 1], hz, row.tolerance) << frame;
            }
        }
        if (row.bins == 0.0)
        {
            EXPECT_GT(engine->spectrum[0], 0.0) << "the constant's level on bin 0";
        }
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
