// The two detectors inside the frame: pitch (notes of synthetic tones, the gate, silence) and
// onsets (the window of marks around a click, the blind stretch after it).
#include "engine/frame.h"

#include "engine/framesignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace framesignals;

namespace
{
// Enough hops for the frame to hold nothing but the signal.
std::size_t settledlength(const pbkpitchshift& engine)
{
    return static_cast<std::size_t>(12 * engine.hopsize);
}

std::unique_ptr<pbkpitchshift> detectingengine(double sr)
{
    auto engine = makeengine(sr);
    engine->wantpitch = 1;
    engine->detectiongate = 0.0;
    return engine;
}

// The squared differences exactly as written down: the oracle for the fast computation.
std::vector<double> directdifferences(const double* x, std::int64_t n, std::int64_t lags)
{
    const std::int64_t tau0 = n / 70;
    std::vector<double> d(static_cast<std::size_t>(lags));
    for (std::int64_t c = 0; c < lags; ++c)
    {
        double sum = 0.0;
        for (std::int64_t j = 0; j < n / 4; ++j)
        {
            const double diff = x[j] - x[j + tau0 + c];
            sum += diff * diff;
        }
        d[static_cast<std::size_t>(c)] = sum;
    }
    return d;
}
} // namespace

// ---- pitch ---------------------------------------------------------------------------------

using PitchCase = std::tuple<double, double, bool>; // sample rate, frequency, harmonic tone

class PitchDetection : public ::testing::TestWithParam<PitchCase>
{
};

TEST_P(PitchDetection, ToneGivesItsNote)
{
    const auto [sr, hz, harmonic] = GetParam();
    auto engine = detectingengine(sr);
    const std::size_t n = settledlength(*engine);
    run(*engine, harmonic ? harmonictone(hz, sr, n) : sine(hz, sr, n));
    EXPECT_NEAR(engine->detectednote, noteof(hz), 0.1);
}

INSTANTIATE_TEST_SUITE_P(Tones, PitchDetection,
                         ::testing::Combine(::testing::Values(44100.0, 48000.0, 96000.0),
                                            ::testing::Values(80.0, 110.0, 220.0, 440.0, 880.0),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<PitchCase>& info) {
                             return std::to_string(static_cast<int>(std::get<0>(info.param))) + "Hz_"
                                    + std::to_string(static_cast<int>(std::get<1>(info.param)))
                                    + (std::get<2>(info.param) ? "_harmonic" : "_sine");
                         });

TEST(PitchDetection, A440IsNoteFiftySeven)
{
    auto engine = detectingengine(44100);
    run(*engine, sine(440.0, 44100, settledlength(*engine)));
    EXPECT_NEAR(engine->detectednote, 57.0, 0.05);
}

TEST(PitchDetection, AGateEqualToTheLevelLetsItRunAndOneAboveDoesNot)
{
    auto engine = detectingengine(44100);
    const std::vector<double> x = sine(330.0, 44100, 2048);
    for (std::int64_t i = 0; i < 2048; ++i)
        engine->inputframe[i] = x[static_cast<std::size_t>(i)];
    measureinputlevel(*engine);
    ASSERT_GT(engine->inputlevel, 1.0);

    engine->detectiongate = engine->inputlevel;
    detectpitch(*engine);
    EXPECT_NEAR(engine->detectednote, noteof(330.0), 0.1);

    engine->detectednote = 12.0;
    engine->detectiongate = std::nextafter(engine->inputlevel, 1e9);
    detectpitch(*engine);
    EXPECT_EQ(engine->detectednote, 12.0);
    // The frame is copied whether or not the detector runs.
    EXPECT_EQ(engine->pitchframe[1000], x[1000]);
}

TEST(PitchDetection, NothingRunsWhenNoVoiceWantsPitch)
{
    auto engine = detectingengine(44100);
    engine->wantpitch = 0;
    engine->detectednote = 33.0;
    run(*engine, sine(440.0, 44100, settledlength(*engine)));
    EXPECT_EQ(engine->detectednote, 33.0);
}

TEST(PitchDetection, SilenceKeepsTheLastNoteEvenWithTheGateOpen)
{
    auto engine = detectingengine(44100);
    run(*engine, sine(220.0, 44100, settledlength(*engine)));
    const double note = engine->detectednote;
    ASSERT_NEAR(note, noteof(220.0), 0.1);

    // A frame that falls silent at once: nothing to detect, although gate 0 lets the detector run.
    engine->inputframe.zero();
    measureinputlevel(*engine);
    ASSERT_EQ(engine->inputlevel, engine->detectiongate);
    detectpitch(*engine);
    EXPECT_EQ(engine->detectednote, note);

    // And through a long silence.
    run(*engine, std::vector<double>(settledlength(*engine), 0.0));
    EXPECT_EQ(engine->detectednote, note);
}

TEST(PitchDetection, NoiseStillGivesAFiniteNoteInTheSearchedRange)
{
    auto engine = detectingengine(44100);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<double> x(settledlength(*engine));
    for (double& v : x)
        v = uniform(random);
    engine->detectednote = -100.0;
    run(*engine, x);
    EXPECT_TRUE(std::isfinite(engine->detectednote));
    // Lags 31 .. 1021 at 44.1 kHz, a little beyond at both ends after refinement.
    EXPECT_GT(engine->detectednote, noteof(44100.0 / 1024.0) - 0.5);
    EXPECT_LT(engine->detectednote, noteof(44100.0 / 29.0) + 0.5);
}

TEST(PitchDetection, FastDifferencesMatchTheDirectSums)
{
    auto engine = makeengine(44100);
    const std::int64_t n = engine->fftsize;
    const std::int64_t lags = n / 2 - n / 70;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> work1(static_cast<std::size_t>(n)), work2(static_cast<std::size_t>(n));

    // A tone, noise, and a small tone riding on a large offset (which the differences ignore).
    std::vector<std::vector<double>> frames;
    frames.push_back(harmonictone(97.0, 44100, static_cast<std::size_t>(n)));
    frames.emplace_back(static_cast<std::size_t>(n));
    for (double& v : frames.back())
        v = uniform(random);
    frames.push_back(sine(440.0, 44100, static_cast<std::size_t>(n), 1e-3));
    for (double& v : frames.back())
        v += 100.0;

    for (const std::vector<double>& x : frames)
    {
        const std::vector<double> expected = directdifferences(x.data(), n, lags);
        double largest = 0.0;
        for (double v : expected)
            largest = std::fmax(largest, v);
        for (const std::int64_t firstlag : {std::int64_t{0}, std::int64_t{64}})
        {
            std::vector<double> d(static_cast<std::size_t>(lags), -1.0);
            differencefunction(*engine, x.data(), d.data(), firstlag, lags, work1.data(), work2.data());
            for (std::size_t c = 0; c < d.size(); ++c)
            {
                if (c < static_cast<std::size_t>(firstlag))
                    ASSERT_EQ(d[c], -1.0) << "lag index " << c; // left alone
                else
                    ASSERT_NEAR(d[c], expected[c], 1e-9 * largest + 1e-12) << "lag index " << c;
            }
        }
    }
}

// ---- pitch: the fallback when no lag dips under the threshold -------------------------------

// A frame whose normalised differences never come under 0.15, built so that their values are
// known exactly (44.1 kHz: N = 2048, tau0 = 29, differences over the first 512 samples).
// Samples 0..511 are 0, so the difference at lag index c is the energy of samples 29 + c to
// 540 + c; a 1 at 512 makes it 1 for c = 0..27, a 1 at 568 makes it 2 from c = 28 on, and
// from sample 540 + rampstart a ramp 1, 2, 3, ... makes it grow from c = rampstart on. The
// normalised value (29 + c) d[c] / (d[0] + ... + d[c]) is then (29 + c) / (c + 1) up to
// c = 27, where it is 56 / 28 = 2; (29 + c) / (c - 13) from c = 28 on, above 2 until it is
// 84 / 42 = 2 again at c = 55, and below 2 after that until the ramp starts; with the ramp
// everything later stays far above 2.
class PitchFallback : public ::testing::Test
{
protected:
    void detect(std::int64_t rampstart)
    {
        ASSERT_EQ(engine->fftsize, 2048);
        engine->inputframe.zero();
        engine->inputframe[512] = 1.0;
        engine->inputframe[568] = 1.0;
        for (std::int64_t i = 540 + rampstart; i < engine->fftsize; ++i)
            engine->inputframe[i] = static_cast<double>(i - (540 + rampstart) + 1);
        engine->detectednote = -1.0;
        detectpitch(*engine);

        // The frame is what it claims to be: nothing under the threshold, so no dip.
        const std::int64_t lags = engine->halfsize - tau0;
        for (std::int64_t c = 2; c < lags; ++c)
            ASSERT_GE(engine->yintable[c], 1.9) << "lag index " << c;
    }

    // The note of the lag tau0 + i refined by the parabola through the values at i - 1, i, i + 1.
    double noteat(std::int64_t i, double before, double at, double after) const
    {
        const double lag = static_cast<double>(tau0 + i) + 0.5 * (before - after) / (before - 2.0 * at + after);
        return noteof(44100.0 / lag);
    }

    std::unique_ptr<pbkpitchshift> engine = detectingengine(44100);
    const std::int64_t tau0 = 2048 / 70;
};

// With the ramp from c = 56 the values at 27 and 55 are both exactly 2, the lowest of all: the
// first of the two wins, and neither the shortest nor the longest lag searched.
TEST_F(PitchFallback, TheDeepestLagWinsAndOnATieTheFirst)
{
    detect(56);
    ASSERT_EQ(engine->yintable[27], 2.0);
    ASSERT_EQ(engine->yintable[55], 2.0);
    // Around c = 27: 55 / 27 before, 57 x 2 / 30 after.
    EXPECT_NEAR(engine->detectednote, noteat(27, 55.0 / 27.0, 2.0, 114.0 / 30.0), 1e-9);
}

// With the ramp from c = 57 the value at 56 is 85 x 2 / 86, under the 2 at c = 27: the lowest
// value wins, not the first local minimum.
TEST_F(PitchFallback, ALaterDeeperLagBeatsAnEarlierMinimum)
{
    detect(57);
    ASSERT_EQ(engine->yintable[27], 2.0);
    ASSERT_LT(engine->yintable[56], 2.0);
    // Around c = 56: 2 before, 86 x 3 / 89 after.
    EXPECT_NEAR(engine->detectednote, noteat(56, 2.0, 170.0 / 86.0, 258.0 / 89.0), 1e-9);
}

// ---- onsets --------------------------------------------------------------------------------

class OnsetDetection : public ::testing::Test
{
protected:
    // Silence with unit clicks at the given sample positions, hops of 256 at 44.1 kHz.
    void runclicks(std::vector<std::size_t> clicks, std::size_t length)
    {
        std::vector<double> x(length, 0.0);
        for (std::size_t c : clicks)
            x[c] = 1.0;
        run(*engine, x);
        processed = length;
    }

    // History position of input sample s after the hops run so far.
    std::int64_t positionof(std::size_t s) const
    {
        const std::int64_t newest = engine->historypos + engine->hopsize - 1; // sample processed - 1
        return newest - static_cast<std::int64_t>(processed - 1 - s);
    }

    int markat(std::size_t s) const { return engine->onsetmarks[positionof(s)]; }

    std::unique_ptr<pbkpitchshift> engine = makeengine(44100);
    std::size_t processed = 0;
};

TEST_F(OnsetDetection, AClickAfterSilenceMarksAWindowAroundItself)
{
    const std::size_t click = 20 * 256 + 100;
    runclicks({click}, 22 * 256);

    EXPECT_EQ(markat(click), 1501);
    EXPECT_EQ(markat(click - 1500), 1);
    EXPECT_EQ(markat(click - 1), 1500);
    EXPECT_EQ(markat(click + 1), 1502);
    EXPECT_EQ(markat(click - 1501), 0);
    // The history position of the window's last sample: written by the marks, not yet by input.
    EXPECT_EQ(engine->onsetmarks[positionof(click) + 1499], 3000);
    EXPECT_EQ(engine->onsetmarks[positionof(click) + 1500], 0);
    EXPECT_EQ(engine->history[positionof(click)], 1.0);
}

TEST_F(OnsetDetection, SilenceNeverMarksAnything)
{
    runclicks({}, 40 * 256);
    for (std::uint64_t i = 0; i < engine->onsetmarks.count; ++i)
        ASSERT_EQ(engine->onsetmarks[i], 0) << i;
    EXPECT_EQ(engine->inonset, 0);
}

TEST_F(OnsetDetection, ASecondClickInsideTheWindowIsNotTaken)
{
    const std::size_t first = 20 * 256 + 100;
    const std::size_t second = first + 1000;
    runclicks({first, second}, 26 * 256);

    EXPECT_EQ(markat(first), 1501);
    // The second click only carries the first window's mark.
    EXPECT_EQ(markat(second), 2501);
    EXPECT_EQ(markat(second - 1), 2500);
    EXPECT_EQ(markat(first + 1499), 3000);
}

TEST_F(OnsetDetection, ALaterOnsetKeepsTheMarksOfTheEarlierWindowBeforeIt)
{
    // A faint first click lets the followers settle soon after its window, so a second click
    // 1800 samples on is an onset whose half-window before reaches back into the first window.
    const std::size_t first = 20 * 256 + 100;
    const std::size_t second = first + 1800;
    std::vector<double> x(34 * 256, 0.0);
    x[first] = 0.1;
    x[second] = 1.0;
    run(*engine, x);
    processed = x.size();

    EXPECT_EQ(markat(first), 1501);
    EXPECT_EQ(markat(second), 1501);
    EXPECT_EQ(markat(second - 1), 1500);
    EXPECT_EQ(markat(first + 1500), 1201);  // where no window lay: the new window's marks
    EXPECT_EQ(markat(first + 1499), 3000);  // the earlier window's marks stay
    EXPECT_EQ(markat(first + 300), 1801);
    EXPECT_EQ(markat(second + 1), 1502);
}
