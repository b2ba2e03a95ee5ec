// The analysis half of the frame: transforms, true frequency per bin, spectral envelope, input
// level, quiet-time reset, and the frame's resistance to bad input.
#include "engine/frame.h"

#include "dsp/allocation_counter.h"
#include "engine/framesignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace framesignals;

namespace
{
// Runs hops of x through the engine and calls check after each frame with the hop's index.
template <typename Check>
void eachframe(pbkpitchshift& engine, const std::vector<double>& x, Check check)
{
    const std::size_t hop = static_cast<std::size_t>(engine.hopsize);
    for (std::size_t at = 0, frame = 0; at + hop <= x.size(); at += hop, ++frame)
    {
        runhop(engine, x.data() + at);
        check(frame);
    }
}

bool allfinite(const double* x, std::uint64_t n)
{
    for (std::uint64_t i = 0; i < n; ++i)
        if (!std::isfinite(x[i]))
            return false;
    return true;
}
} // namespace

// ---- transforms ----------------------------------------------------------------------------

TEST(FrameTransforms, ForwardGivesTheUsualDftSignsAndInverseUndoesIt)
{
    auto engine = makeengine(44100);
    const std::int64_t n = engine->fftsize;
    const int k = 10;
    std::vector<double> a(static_cast<std::size_t>(n));
    for (std::int64_t j = 0; j < n; ++j)
        a[static_cast<std::size_t>(j)] = std::sin(2 * pi * k * static_cast<double>(j) / static_cast<double>(n));
    const std::vector<double> original = a;

    forwardtransform(*engine, a.data());
    // X[k] of a sine is -i N/2: real part 0, imaginary part -N/2.
    EXPECT_NEAR(a[2 * k], 0.0, 1e-9);
    EXPECT_NEAR(a[2 * k + 1], -static_cast<double>(n) / 2, 1e-9);
    EXPECT_NEAR(a[2 * k + 3], 0.0, 1e-9);

    inversetransform(*engine, a.data());
    for (std::size_t j = 0; j < a.size(); ++j)
        ASSERT_NEAR(a[j], original[j], 1e-12) << j;
}

TEST(FrameTransforms, LifterKeepsHalvesAndClearsTheNamedCoefficients)
{
    struct Case
    {
        std::int64_t n;
        std::int64_t firsthalved;
    };
    for (const Case c : {Case{2048, 100}, Case{4096, 202}})
    {
        std::vector<double> cepstrum(static_cast<std::size_t>(c.n), 3.0);
        liftercepstrum(cepstrum.data(), c.n);
        for (std::int64_t i = 0; i < c.n; ++i)
        {
            const double expected = i < c.firsthalved ? 3.0 : i < c.firsthalved + 2 ? 1.5 : 0.0;
            ASSERT_EQ(cepstrum[static_cast<std::size_t>(i)], expected) << "N " << c.n << " element " << i;
        }
    }
}

TEST(FrameTransforms, PhaseWrapLandsInMinusPiToPiByWholeTurns)
{
    for (double x : {0.0, 1.0, -1.0, 3.0, -3.0, 3.2, -3.2, 7.0, -7.0, 100.0, -1234.5})
    {
        const double w = wrapphase(x);
        EXPECT_LE(std::fabs(w), pi + 1e-12) << x;
        const double turns = (x - w) / (2 * pi);
        EXPECT_NEAR(turns, std::round(turns), 1e-9) << x;
    }
    // The odd-quotient rule: 3.2 / pi truncates to 1, which moves to 2.
    EXPECT_NEAR(wrapphase(3.2), 3.2 - 2 * pi, 1e-15);
    EXPECT_EQ(wrapphase(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_EQ(wrapphase(std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(wrapphase(1e300), 0.0);
}

// ---- true frequency ------------------------------------------------------------------------

class TrueFrequency : public ::testing::TestWithParam<double>
{
protected:
    // A sine that has been going on for a while: the frame starts full of it, as in steady
    // playing, and hops of it follow.
    // phase: the sine's phase at the first sample of the first frame.
    std::vector<double> steadysine(pbkpitchshift& engine, double hz, std::size_t hops, double phase = 0.0)
    {
        const std::size_t past = static_cast<std::size_t>(engine.refillpos);
        const std::vector<double> x =
            sine(hz, engine.samplerate, past + hops * static_cast<std::size_t>(engine.hopsize), 0.5, phase);
        for (std::size_t i = 0; i < past; ++i)
            engine.inputframe[i] = x[i];
        return std::vector<double>(x.begin() + static_cast<std::ptrdiff_t>(past), x.end());
    }
};

TEST_P(TrueFrequency, SineAtABinCentreGivesTheCentreFrequency)
{
    auto engine = makeengine(GetParam());
    const std::int64_t k = 40;
    const double hz = static_cast<double>(k) * engine->binwidth;
    eachframe(*engine, steadysine(*engine, hz, 6), [&](std::size_t frame) {
        if (frame < 1)
            return;
        ASSERT_NEAR(engine->spectrum[2 * k + 1], hz, 1e-6) << "frame " << frame;
    });
}

TEST_P(TrueFrequency, SineBetweenBinsGivesItsOwnFrequencyInTheBinsAround)
{
    auto engine = makeengine(GetParam());
    const double hz = 1000.0;
    const std::uint64_t below = static_cast<std::uint64_t>(hz / engine->binwidth);
    ASSERT_GT(hz / engine->binwidth - static_cast<double>(below), 0.2); // really between bins
    eachframe(*engine, steadysine(*engine, hz, 6), [&](std::size_t frame) {
        if (frame < 1)
            return;
        ASSERT_NEAR(engine->spectrum[2 * below + 1], hz, 0.05) << "frame " << frame;
        ASSERT_NEAR(engine->spectrum[2 * below + 3], hz, 0.05) << "frame " << frame;
        // One bin further out the leakage of the mirror frequency shows, still within 0.25 Hz.
        ASSERT_NEAR(engine->spectrum[2 * below - 1], hz, 0.25) << "frame " << frame;
        ASSERT_NEAR(engine->spectrum[2 * below + 5], hz, 0.25) << "frame " << frame;
    });
}

// The first frame has no earlier phase to compare with: it measures against 0. A sine at the
// centre of bin k = 100, full in the frame, with phase p at the frame's first sample, has the
// phase p + pi k at the frame's middle sample N/2, which the zero-phase windowing puts at
// index 0; as a cosine that is p + pi k - pi/2, and p + 100 pi = p (mod 2 pi). With
// p = pi/2 - 2.5 the bin's phase is -2.5. The bin's own advance over a hop, k 2 pi H / N =
// 25 pi, is pi modulo 2 pi, so the advance beyond it wraps to -2.5 - pi + 2 pi = pi - 2.5,
// and the true frequency reads k binwidth + (pi - 2.5) hoprate / (2 pi). The mirror image of
// the sine, 200 bins away, moves the phase by less than 1e-5.
TEST_P(TrueFrequency, FirstFrameMeasuresAgainstAZeroLastPhase)
{
    auto engine = makeengine(GetParam());
    const std::int64_t k = 100;
    const double hz = static_cast<double>(k) * engine->binwidth;
    const std::vector<double> hop = steadysine(*engine, hz, 1, pi / 2 - 2.5);
    runhop(*engine, hop.data());

    EXPECT_NEAR(engine->lastphase[k], -2.5, 1e-4);
    const double expected = hz + (pi - 2.5) * engine->hoprate / (2 * pi);
    // About 17.6 Hz (44.1 kHz) or 19.1 Hz (96 kHz) above the sine's own frequency.
    EXPECT_NEAR(engine->spectrum[2 * k + 1], expected, 1e-4 * engine->hoprate / (2 * pi));
}

INSTANTIATE_TEST_SUITE_P(Rates, TrueFrequency, ::testing::Values(44100.0, 96000.0));

TEST(TrueFrequency, ConstantInputGivesBinZeroAtZeroHz)
{
    auto engine = makeengine(44100);
    eachframe(*engine, std::vector<double>(10 * 256, 0.25), [&](std::size_t frame) {
        EXPECT_EQ(engine->lastphase[0], 0.0) << frame; // the phase of bin 0
        EXPECT_EQ(engine->spectrum[1], 0.0) << frame;
        EXPECT_GT(engine->spectrum[0], 0.0) << frame;
    });
}

// ---- spectral envelope ---------------------------------------------------------------------

TEST(SpectralEnvelope, IsNonNegativeSmoothAndFollowsTheSpectralTilt)
{
    auto engine = makeengine(44100);
    // Harmonics of 200 Hz falling off by 1/h: strong at the bottom, weak at the top.
    run(*engine, harmonictone(200.0, 44100, 12 * 256, 40, 0.5));
    const double* envelope = engine->envelope.data;
    const std::int64_t m = engine->halfsize;

    double largeststep = 0.0;
    for (std::int64_t k = 0; k < m; ++k)
    {
        ASSERT_GE(envelope[k], -1e-7) << k; // the smoother's anti-denormal offset, no more
        if (k > 0)
            largeststep = std::fmax(largeststep, std::fabs(envelope[k] - envelope[k - 1]));
    }
    // Between two harmonics (about 9 bins apart) the raw log spectrum falls by several units;
    // the envelope moves only a little from bin to bin.
    double rawdip = 0.0;
    for (std::int64_t k = 10; k < 18; ++k)
        rawdip = std::fmax(rawdip, std::log1p(engine->spectrum[2 * 9]) - std::log1p(engine->spectrum[2 * k]));
    EXPECT_GT(rawdip, 3.0);
    EXPECT_LT(largeststep, 0.5);

    // Where the harmonics are (up to 8 kHz, bin 371) against where there is nothing (13 to 21 kHz).
    double low = 0.0, high = 0.0;
    for (std::int64_t k = 10; k < 40; ++k)
        low += envelope[k] / 30.0;
    for (std::int64_t k = 600; k < 1000; ++k)
        high += envelope[k] / 400.0;
    EXPECT_GT(low, 3.0 * high);
}

TEST(SpectralEnvelope, SilenceGivesAFlatZeroEnvelope)
{
    auto engine = makeengine(44100);
    run(*engine, std::vector<double>(4 * 256, 0.0));
    for (std::int64_t k = 0; k < engine->halfsize; ++k)
        ASSERT_NEAR(engine->envelope[k], 0.0, 1e-6) << k;
}

// ---- level and quiet-time reset ------------------------------------------------------------

TEST(InputLevel, IsFiftyTimesTheMeanMagnitudeOfTheLevelStretch)
{
    auto engine = makeengine(44100);
    for (std::int64_t i = 0; i < engine->fftsize; ++i)
        engine->inputframe[i] = (i % 2 == 0) ? 0.2 : -0.2;
    // Outside the stretch 640..1407: not measured.
    engine->inputframe[639] = 100.0;
    engine->inputframe[1408] = 100.0;
    measureinputlevel(*engine);
    EXPECT_NEAR(engine->inputlevel, 10.0, 1e-12);
    EXPECT_EQ(engine->windowrotation, 1024);
}

class QuietTimeReset : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine = makeengine(44100);
        voice = &addvoice(*engine);
        fillphases(1.0);
    }

    void fillphases(double value)
    {
        for (std::int64_t k = 0; k < engine->halfsize; ++k)
        {
            engine->lastphase[k] = value;
            voice->phases[k] = value;
        }
    }

    bool phasescleared() const
    {
        for (std::int64_t k = 0; k < engine->halfsize; ++k)
            if (engine->lastphase[k] != 0.0 || voice->phases[k] != 0.0)
                return false;
        return true;
    }

    std::unique_ptr<pbkpitchshift> engine;
    pbkvoicestate* voice = nullptr;
};

TEST_F(QuietTimeReset, ResetsOnceInTheFirstQuietFrameAfterARatioChange)
{
    engine->inputlevel = 0.0;
    voice->ratio = 1.5; // lastratio is still 1
    resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, 1);
    EXPECT_FALSE(phasescleared()); // a changing frame never resets, however quiet

    voice->lastratio = 1.5;
    resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, 0);
    EXPECT_TRUE(phasescleared());

    fillphases(1.0);
    resetquiettime(*engine); // nothing counted since: nothing to reset
    EXPECT_FALSE(phasescleared());
}

TEST_F(QuietTimeReset, ALevelOfExactlyTheThresholdIsNotQuiet)
{
    engine->ratiochanges = 3;
    engine->inputlevel = 0.009;
    resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, 3);
    EXPECT_FALSE(phasescleared());

    engine->inputlevel = std::nextafter(0.009, 0.0);
    resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, 0);
    EXPECT_TRUE(phasescleared());
}

TEST_F(QuietTimeReset, ANotANumberRatioCountsAsAChangeAndTheCountSaturates)
{
    voice->ratio = std::numeric_limits<double>::quiet_NaN();
    voice->lastratio = std::numeric_limits<double>::quiet_NaN();
    engine->ratiochanges = std::numeric_limits<std::int32_t>::max() - 1;
    resetquiettime(*engine);
    resetquiettime(*engine);
    resetquiettime(*engine);
    EXPECT_EQ(engine->ratiochanges, std::numeric_limits<std::int32_t>::max());
}

TEST_F(QuietTimeReset, ASoundingVoiceWithAHarmonyIntervalPreventsTheReset)
{
    // Its lastratio carries the harmony factor, the ratio written for the next hop does not.
    const double fifth = std::pow(2.0, 7.0 / 12.0);
    const double table[12] = {fifth, fifth, fifth, fifth, fifth, fifth, fifth, fifth, fifth, fifth, fifth, fifth};
    voice->harmonytable = table;
    engine->wantpitch = 1;
    const std::vector<double> quiet(256, 0.0);
    for (int frame = 0; frame < 5; ++frame)
    {
        voice->ratio = 1.0; // what the voice control writes every hop
        runhop(*engine, quiet.data());
        EXPECT_NEAR(voice->lastratio, fifth, 1e-15);
    }
    EXPECT_EQ(engine->ratiochanges, 4); // from the second frame on
}

// ---- bad input -----------------------------------------------------------------------------

TEST(FrameInput, NonFiniteAndHugeSamplesPoisonNothingLater)
{
    auto engine = makeengine(44100);
    addvoice(*engine, 1.25);
    engine->wantpitch = 1;
    std::vector<double> x = sine(220.0, 44100, 60 * 256);
    x[3000] = std::numeric_limits<double>::quiet_NaN();
    x[3001] = std::numeric_limits<double>::infinity();
    x[3002] = -std::numeric_limits<double>::infinity();
    x[3003] = 1e300;
    x[3004] = -1e308;
    x[3005] = std::numeric_limits<double>::denorm_min();

    const std::vector<double> out = run(*engine, x);
    EXPECT_TRUE(allfinite(engine->lastphase.data, engine->lastphase.count));
    EXPECT_TRUE(allfinite(engine->voicestates[0]->phases.data, engine->voicestates[0]->phases.count));
    EXPECT_TRUE(allfinite(engine->history.data, engine->history.count));
    EXPECT_TRUE(allfinite(out.data(), out.size()));
    EXPECT_TRUE(std::isfinite(engine->faststate) && std::isfinite(engine->slowstate));
    // Long after the bad samples the detector and the voice are back on the tone.
    EXPECT_NEAR(engine->detectednote, noteof(220.0), 0.1);
    const std::vector<double> tail(out.end() - 8192, out.end());
    EXPECT_NEAR(peakfrequency(tail, 44100, 100, 2000), 220.0 * 1.25, 220.0 * 1.25 * 0.005);
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
