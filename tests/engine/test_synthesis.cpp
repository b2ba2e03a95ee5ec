// The synthesis half of the frame, measured on its output: pitch of shifted tones, level,
// formant warp, EQ, buses, skipped voices, harmony, and the onset crossfade.
#include "engine/frame.h"

#include "engine/framesignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace framesignals;

namespace
{
constexpr double sr = 44100.0;
constexpr std::size_t hop = 256;
// Hops before the output is steady: the frame fills (8) and the overlap-add settles (8).
constexpr std::size_t warmup = 16 * hop;

std::vector<double> steady(const std::vector<double>& out)
{
    return std::vector<double>(out.begin() + warmup, out.end());
}

std::vector<double> shifted(double hz, double ratio, std::size_t hops = 64)
{
    auto engine = makeengine(sr);
    addvoice(*engine, ratio);
    return steady(run(*engine, sine(hz, sr, hops * hop)));
}
} // namespace

// ---- pitch ---------------------------------------------------------------------------------

TEST(VoiceSynthesis, RatioOneKeepsASteadySineAtItsFrequency)
{
    const std::vector<double> out = shifted(440.0, 1.0);
    EXPECT_NEAR(peakfrequency(out, sr, 50, 5000), 440.0, 440.0 * 0.001);
}

TEST(VoiceSynthesis, RatioTwoMovesA440To880)
{
    const std::vector<double> out = shifted(440.0, 2.0);
    EXPECT_NEAR(peakfrequency(out, sr, 50, 5000), 880.0, 880.0 * 0.005);
}

TEST(VoiceSynthesis, AFifthUpMoves220To329Point6)
{
    const std::vector<double> out = shifted(220.0, std::pow(2.0, 7.0 / 12.0));
    EXPECT_NEAR(peakfrequency(out, sr, 50, 5000), 329.63, 329.63 * 0.005);
}

TEST(VoiceSynthesis, RatioOneHalfMoves880To440)
{
    const std::vector<double> out = shifted(880.0, 0.5);
    EXPECT_NEAR(peakfrequency(out, sr, 50, 5000), 440.0, 440.0 * 0.005);
}

TEST(VoiceSynthesis, OutputLevelCarriesTheWindowOverlapGain)
{
    // Welch window twice over eight overlapping frames: about 4.27, times env / (env + 0.02).
    const std::vector<double> out = shifted(440.0, 1.0);
    const double gain = rms(out, 0, out.size()) / (0.5 / std::sqrt(2.0));
    EXPECT_GT(gain, 4.0);
    EXPECT_LT(gain, 4.3);
}

TEST(VoiceSynthesis, GainAndEqCurveScaleTheOutput)
{
    auto plain = makeengine(sr);
    addvoice(*plain, 1.0, 1.0);
    const std::vector<double> reference = steady(run(*plain, sine(300.0, sr, 40 * hop)));

    auto quieter = makeengine(sr);
    std::vector<double> eq(1024, 0.5);
    addvoice(*quieter, 1.0, 0.8).eqgains = eq.data();
    const std::vector<double> out = steady(run(*quieter, sine(300.0, sr, 40 * hop)));

    EXPECT_NEAR(rms(out, 0, out.size()) / rms(reference, 0, reference.size()), 0.4, 0.004);
}

TEST(VoiceSynthesis, EqCurveIsReadAtTheOutputBin)
{
    // Ratio 2 moves 400 Hz to 800 Hz (bin 37); a curve that silences bins from 30 up removes it,
    // even though the input bin (18) lies below.
    auto engine = makeengine(sr);
    std::vector<double> eq(1024, 1.0);
    for (std::size_t k = 30; k < eq.size(); ++k)
        eq[k] = 0.0;
    addvoice(*engine, 2.0).eqgains = eq.data();
    const std::vector<double> out = steady(run(*engine, sine(400.0, sr, 40 * hop)));
    const std::vector<double> open = shifted(400.0, 2.0, 40);
    // What is left is window leakage from input bins below 15: 40 dB down.
    EXPECT_LT(rms(out, 0, out.size()), 0.01 * rms(open, 0, open.size()));
}

// ---- formants ------------------------------------------------------------------------------

class FormantWarp : public ::testing::Test
{
protected:
    // A 150 Hz tone with many harmonics, through one voice.
    std::vector<double> render(double ratio, double amount, double factor)
    {
        auto engine = makeengine(sr);
        pbkvoicestate& voice = addvoice(*engine, ratio);
        voice.formantamount = amount;
        voice.formantfactor = factor;
        return steady(run(*engine, harmonictone(150.0, sr, 64 * hop, 60, 0.3)));
    }
};

TEST_F(FormantWarp, TheFactorMovesTheEnvelopeButNotThePitch)
{
    const std::vector<double> neutral = render(1.0, 0.0, 1.0);
    const std::vector<double> down = render(1.0, 0.0, 2.0); // reads the envelope at twice the bin
    const std::vector<double> up = render(1.0, 0.0, 0.5);

    for (const std::vector<double>* out : {&neutral, &down, &up})
        EXPECT_NEAR(peakfrequency(*out, sr, 100, 200), 150.0, 150.0 * 0.005);

    const double centre = spectralcentroid(neutral, sr, 50, 10000);
    EXPECT_LT(spectralcentroid(down, sr, 50, 10000), centre * 0.8);
    EXPECT_GT(spectralcentroid(up, sr, 50, 10000), centre * 1.1);
}

TEST_F(FormantWarp, FullCorrectionHoldsTheEnvelopeAgainstAShift)
{
    const double input = spectralcentroid(render(1.0, 0.0, 1.0), sr, 50, 10000);
    const double corrected = spectralcentroid(render(1.5, 1.0, 1.0), sr, 50, 10000);
    const double uncorrected = spectralcentroid(render(1.5, 0.0, 1.0), sr, 50, 10000);
    EXPECT_LT(std::fabs(corrected - input), std::fabs(uncorrected - input) * 0.5);
}

// ---- buses and skipped voices --------------------------------------------------------------

TEST(VoiceBuses, AVoiceOnBusThreeCreatesBusesOneToThree)
{
    auto engine = makeengine(sr);
    addvoice(*engine).bus = 3;
    const std::vector<double> x = sine(500.0, sr, 20 * hop);
    const std::vector<double> onthree = steady(run(*engine, x, 3));
    ASSERT_EQ(engine->busspectra.count, 4u);
    ASSERT_EQ(engine->busoutputs.count, 4u);
    EXPECT_GT(rms(onthree, 0, onthree.size()), 0.5);
    for (std::uint64_t b = 0; b < 3; ++b)
        for (std::int64_t i = 0; i < engine->framesize; ++i)
            ASSERT_EQ((*engine->busoutputs[b])[i], 0.0) << "bus " << b;

    // Back on bus 0: every bus goes, bus 0 starts anew without the old tail.
    engine->voicestates[0]->bus = 0;
    const std::vector<double> silence(hop, 0.0);
    runhop(*engine, silence.data());
    EXPECT_EQ(engine->busspectra.count, 1u);
    EXPECT_EQ(engine->busoutputs.count, 1u);
    double tail = 0.0;
    for (std::int64_t i = 0; i < engine->framesize; ++i)
        tail = std::fmax(tail, std::fabs((*engine->busoutputs[0])[i]));
    EXPECT_LT(tail, 0.5); // only the one new frame, the windowed remains of the tone
}

TEST(VoiceBuses, ASilentVoiceMakesItsBusButKeepsItsPhases)
{
    auto engine = makeengine(sr);
    pbkvoicestate& voice = addvoice(*engine, 1.5, 0.0);
    voice.bus = 2;
    voice.lastratio = 1.0;
    const std::vector<double> x = sine(500.0, sr, 4 * hop);
    run(*engine, x);
    EXPECT_EQ(engine->busspectra.count, 3u);
    for (std::int64_t k = 0; k < engine->halfsize; ++k)
        ASSERT_EQ(voice.phases[k], 0.0);
    EXPECT_EQ(voice.lastratio, 1.0);
    EXPECT_EQ(engine->ratiochanges, 4); // still a change for the quiet-time reset
}

TEST(VoiceBuses, AVoiceWithAnUnusableRatioOrGainIsSkipped)
{
    for (const double ratio : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
    {
        auto engine = makeengine(sr);
        pbkvoicestate& voice = addvoice(*engine, ratio);
        const std::vector<double> out = run(*engine, sine(500.0, sr, 12 * hop));
        EXPECT_EQ(rms(out, 0, out.size()), 0.0) << ratio;
        EXPECT_EQ(voice.phases[10], 0.0) << ratio;
        EXPECT_EQ(voice.lastratio, 1.0) << ratio;
    }
    auto engine = makeengine(sr);
    addvoice(*engine, 1.0, std::numeric_limits<double>::quiet_NaN());
    const std::vector<double> out = run(*engine, sine(500.0, sr, 12 * hop));
    EXPECT_EQ(rms(out, 0, out.size()), 0.0);
}

TEST(VoiceBuses, ExtremeFormantFactorsSilenceTheVoiceWithoutHarm)
{
    for (const double factor : {1e300, -5.0, std::numeric_limits<double>::quiet_NaN()})
    {
        auto engine = makeengine(sr);
        addvoice(*engine).formantfactor = factor;
        const std::vector<double> out = run(*engine, sine(500.0, sr, 12 * hop));
        // Bin 0 may still read envelope[0]; nothing else sounds, and nothing is out of range.
        EXPECT_LT(rms(out, 0, out.size()), 1e-6) << factor;
    }
}

TEST(VoiceBuses, VoicesOnOneBusAddUp)
{
    auto one = makeengine(sr);
    addvoice(*one);
    const std::vector<double> single = steady(run(*one, sine(500.0, sr, 30 * hop)));

    auto two = makeengine(sr);
    addvoice(*two);
    addvoice(*two);
    const std::vector<double> both = steady(run(*two, sine(500.0, sr, 30 * hop)));
    for (std::size_t i = 0; i < both.size(); ++i)
        ASSERT_NEAR(both[i], 2.0 * single[i], 1e-9);
}

// ---- harmony -------------------------------------------------------------------------------

TEST(VoiceHarmony, TheDetectedNoteSnapsTheVoiceToItsInterval)
{
    auto engine = makeengine(sr);
    engine->wantpitch = 1;
    const double fifth = std::pow(2.0, 7.0 / 12.0);
    double table[12];
    for (double& r : table)
        r = fifth;
    pbkvoicestate& voice = addvoice(*engine);
    voice.harmonytable = table;

    std::vector<double> out;
    const std::vector<double> x = sine(220.0, sr, 48 * hop);
    for (std::size_t at = 0; at < x.size(); at += hop)
    {
        voice.ratio = 1.0; // the voice control's ratio before harmony, every hop
        runhop(*engine, x.data() + at);
        out.insert(out.end(), engine->busoutputs[0]->data, engine->busoutputs[0]->data + hop);
    }
    EXPECT_NEAR(engine->detectednote, noteof(220.0), 0.1);
    EXPECT_DOUBLE_EQ(voice.harmonyratio, fifth);
    EXPECT_DOUBLE_EQ(voice.lastratio, fifth);
    EXPECT_NEAR(peakfrequency(steady(out), sr, 50, 5000), 220.0 * fifth, 220.0 * fifth * 0.005);
}

TEST(VoiceHarmony, NoSnappingWithoutPitchWanted)
{
    auto engine = makeengine(sr);
    double table[12];
    for (double& r : table)
        r = 2.0;
    pbkvoicestate& voice = addvoice(*engine);
    voice.harmonytable = table;
    run(*engine, sine(220.0, sr, 4 * hop));
    EXPECT_EQ(voice.harmonyratio, 1.0);
    EXPECT_EQ(voice.lastratio, 1.0);
}

// ---- onset crossfade -----------------------------------------------------------------------

class OnsetCrossfade : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine = makeengine(sr);
        voice = &addvoice(*engine);
        engine->addbuffer();
        // A ramp history makes the interpolated read easy to predict: history[p] = p / 1000.
        for (std::uint64_t p = 0; p < engine->history.count; ++p)
            engine->history[p] = static_cast<double>(p) / 1000.0;
        engine->historypos = engine->historyhalf;
        base = engine->historypos - (engine->fftsize - engine->hopsize);
        for (std::int64_t i = 0; i < engine->framesize; ++i)
            (*engine->busoutputs[0])[i] = 1.0;
    }

    // Marks the hop's samples as lying in one onset window, sample i with mark first + i.
    void markhop(int first)
    {
        for (std::int64_t i = 0; i < engine->hopsize; ++i)
            engine->onsetmarks[base + i] = first + static_cast<int>(i);
    }

    // What sample i becomes with mark t at speed s.
    double expected(std::int64_t i, int t, double s) const
    {
        const double d = t - 1 - 1500;
        const double onset = static_cast<double>(base + i) - d;
        const double v = (onset + d * s) / 1000.0;
        const double w = engine->onsetwindow[static_cast<std::uint64_t>(t - 1)];
        return v * w + (1 - w) * 1.0;
    }

    std::unique_ptr<pbkpitchshift> engine;
    pbkvoicestate* voice = nullptr;
    std::int64_t base = 0;
};

TEST_F(OnsetCrossfade, ModeZeroIgnoresTheMarks)
{
    markhop(1400);
    crossfadeonsets(*engine);
    for (std::int64_t i = 0; i < engine->hopsize; ++i)
        ASSERT_EQ((*engine->busoutputs[0])[i], 1.0);
}

TEST_F(OnsetCrossfade, TheAttackIsReplayedAtSpeedOneOrTheVoiceRatioWithinLimits)
{
    struct Case
    {
        int mode2;
        double ratio;
        double speed;
    };
    for (const Case c : {Case{1, 3.0, 1.0}, Case{3, 3.0, 2.0}, Case{2, 0.1, 0.25}, Case{4, 1.3, 1.3}})
    {
        SetUp();
        voice->mode2 = c.mode2;
        voice->ratio = c.ratio;
        markhop(1400);
        engine->onsetmarks[base + 7] = 0; // unmarked samples stay
        crossfadeonsets(*engine);
        for (std::int64_t i = 0; i < engine->hopsize; ++i)
        {
            const double want = i == 7 ? 1.0 : expected(i, 1400 + static_cast<int>(i), c.speed);
            ASSERT_NEAR((*engine->busoutputs[0])[i], want, 1e-9) << "mode " << c.mode2 << " sample " << i;
        }
        // Samples after the hop are the next hops' business.
        EXPECT_EQ((*engine->busoutputs[0])[engine->hopsize], 1.0);
    }
    // At the onset (sample 101, mark 1501) it is almost only dry input; at speed 1 (mode 1) the
    // input of the same time.
    SetUp();
    voice->mode2 = 1;
    markhop(1400);
    crossfadeonsets(*engine);
    EXPECT_NEAR((*engine->busoutputs[0])[101], static_cast<double>(base + 101) / 1000.0, 1e-4);
}

TEST_F(OnsetCrossfade, ABusNoVoiceUsesFollowsTheFirstVoice)
{
    engine->addbuffer();
    for (std::int64_t i = 0; i < engine->framesize; ++i)
        (*engine->busoutputs[1])[i] = 1.0;
    voice->mode2 = 1;
    markhop(2000);
    crossfadeonsets(*engine);
    EXPECT_NEAR((*engine->busoutputs[1])[5], expected(5, 2005, 1.0), 1e-12);
}

TEST_F(OnsetCrossfade, AClickIsLetThroughAtItsOwnTimeInAFullFrame)
{
    // End to end: a click with a voice an octave up at mode 1. The dry click comes out at the
    // time the bus plays the input it was made from.
    auto full = makeengine(sr);
    pbkvoicestate& shifter = addvoice(*full, 2.0);
    shifter.mode2 = 1;
    std::vector<double> x(40 * hop, 0.0);
    const std::size_t click = 20 * hop + 50;
    x[click] = 1.0;
    const std::vector<double> out = run(*full, x);
    // Bus sample j of a hop is made from sample j of its frame, N - 1 - j samples before the
    // hop's newest: what the bus plays lags the input by N - H = 1792 samples.
    const std::size_t heard = click + 1792;
    std::size_t loudest = 0;
    for (std::size_t i = 0; i < out.size(); ++i)
        if (std::fabs(out[i]) > std::fabs(out[loudest]))
            loudest = i;
    EXPECT_NEAR(static_cast<double>(loudest), static_cast<double>(heard), 1.0);
    EXPECT_NEAR(out[loudest], 1.0 * full->onsetwindow[1500], 0.1);
}
