// The synthesis half of the frame, measured on its output, and its fast paths against the plain
// computation.
#include "engine/frame.h"

#include "engine/framesignals.h"
#include "engine/pprojdata.h"
#include "plugin/pinstance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace framesignals;

namespace
{
constexpr double sr = 44100.0;
constexpr std::size_t hop = 256;
constexpr std::size_t warmup = 16 * hop; // the frame fills and the overlap-add settles

std::vector<double> steady(const std::vector<double>& out)
{
    return {out.begin() + warmup, out.end()};
}

std::vector<double> render(const std::vector<double>& x, double ratio, double amount = 0.0, double factor = 1.0)
{
    auto engine = makeengine(sr);
    pbkvoicestate& voice = addvoice(*engine, ratio);
    voice.formantamount = amount;
    voice.formantfactor = factor;
    return steady(run(*engine, x));
}
} // namespace

TEST(VoiceSynthesis, TheRatioMovesASineToItsNewFrequencyAtTheOverlapGain)
{
    const struct
    {
        double hz;
        double ratio;
        double expected;
    } cases[] = {{440, 1.0, 440}, {440, 2.0, 880}, {220, std::pow(2.0, 7.0 / 12.0), 329.63}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.ratio);
        const std::vector<double> out = render(sine(c.hz, sr, 64 * hop), c.ratio);
        EXPECT_NEAR(peakfrequency(out, sr, 50, 5000), c.expected, c.expected * (c.ratio == 1.0 ? 0.001 : 0.005));
        // Welch window twice over eight overlapping frames: about 4.27, times env / (env + 0.02).
        if (c.ratio == 1.0)
        {
            EXPECT_NEAR(rms(out, 0, out.size()) / (0.5 / std::sqrt(2.0)), 4.15, 0.15);
        }
    }
}

TEST(FormantWarp, TheFactorMovesTheEnvelopeButNotThePitch)
{
    const std::vector<double> tone = harmonictone(150.0, sr, 64 * hop, 60, 0.3);
    const std::vector<double> neutral = render(tone, 1.0);
    const std::vector<double> down = render(tone, 1.0, 0.0, 2.0);
    const std::vector<double> up = render(tone, 1.0, 0.0, 0.5);
    for (const std::vector<double>* out : {&neutral, &down, &up})
        EXPECT_NEAR(peakfrequency(*out, sr, 100, 200), 150.0, 150.0 * 0.005);
    const double centre = spectralcentroid(neutral, sr, 50, 10000);
    EXPECT_LT(spectralcentroid(down, sr, 50, 10000), centre * 0.8);
    EXPECT_GT(spectralcentroid(up, sr, 50, 10000), centre * 1.1);
}

TEST(VoiceBuses, AVoiceOnBusThreeCreatesBusesOneToThree)
{
    auto engine = makeengine(sr);
    addvoice(*engine).bus = 3;
    const std::vector<double> onthree = steady(run(*engine, sine(500.0, sr, 20 * hop), 3));
    ASSERT_EQ(engine->busspectra.count, 4u);
    ASSERT_EQ(engine->busoutputs.count, 4u);
    EXPECT_GT(rms(onthree, 0, onthree.size()), 0.5);
    for (std::uint64_t b = 0; b < 3; ++b)
        for (std::int64_t i = 0; i < engine->framesize; ++i)
            ASSERT_EQ((*engine->busoutputs[b])[i], 0.0) << "bus " << b;
}

TEST(VoiceBuses, UnusableRatiosGainsAndFormantFactorsSilenceTheVoiceWithoutHarm)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct
    {
        double ratio;
        double gain;
        double factor;
    } cases[] = {
        {0.0, 1, 1}, {-1.0, 1, 1}, {nan, 1, 1}, {inf, 1, 1}, {1, nan, 1}, {1, 1, 1e300}, {1, 1, -5.0}, {1, 1, nan},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.ratio << " " << c.gain << " " << c.factor);
        auto engine = makeengine(sr);
        pbkvoicestate& voice = addvoice(*engine, c.ratio, c.gain);
        voice.formantfactor = c.factor;
        const std::vector<double> out = run(*engine, sine(500.0, sr, 12 * hop));
        EXPECT_LE(rms(out, 0, out.size()), c.factor == 1.0 ? 0.0 : 1e-6); // bin 0 may still read envelope[0]
        EXPECT_EQ(voice.lastratio, c.ratio > 0.0 && std::isfinite(c.ratio) ? c.ratio : 1.0);
    }
}

namespace
{
// x / pi truncated, moved one step away from zero when odd; 0 for what holds no fraction of a turn.
double plainwrap(double x)
{
    if (!(std::fabs(x) < 1e15))
        return 0.0;
    std::int64_t q = static_cast<std::int64_t>(x / pi);
    if (q % 2 != 0)
        q += q > 0 ? 1 : -1;
    return x - pi * static_cast<double>(q);
}

// One voice into a zeroed bus spectrum as defined, with the library's sine and cosine.
std::vector<double> plainvoice(const pbkpitchshift& engine, const pbkvoicestate& voice, std::vector<double>& phases)
{
    const std::int64_t m = engine.halfsize;
    const double* spectrum = engine.spectrum.data;
    const double* envelope = engine.envelope.data;
    const double g = ((1.0 - voice.formantamount) + voice.ratio * voice.formantamount) * voice.formantfactor;
    std::vector<double> magnitude(static_cast<std::size_t>(m));
    std::vector<double> bus(static_cast<std::size_t>(2 * m), 0.0);
    for (std::int64_t k = 0; k < m; ++k)
    {
        const double kd = static_cast<double>(k);
        const double f = spectrum[2 * k + 1] * voice.ratio;
        const double advance = kd * engine.phaseadvance + (f - kd * engine.binwidth) * (2 * pi / engine.hoprate);
        phases[k] = plainwrap(advance + phases[k]);
        const double warped = kd * g < static_cast<double>(m)
                                  ? spectrum[2 * k] * envelope[static_cast<std::size_t>(kd * g)] / (envelope[k] + 0.02)
                                  : 0.0;
        magnitude[k] = warped < 0.0 ? 0.0 : warped;
    }
    for (std::int64_t k = 0; k < m; ++k)
    {
        const double source = static_cast<double>(k) / voice.ratio + 0.5; // round(k / ratio)
        if (source >= static_cast<double>(m))
            continue;
        const std::size_t s = static_cast<std::size_t>(source);
        const double gain = voice.eqgains != nullptr ? voice.gain * voice.eqgains[k] : voice.gain;
        bus[2 * k] += (s == 0 ? magnitude[0] : magnitude[s] * std::cos(phases[s])) * gain;
        bus[2 * k + 1] += (s == 0 ? 0.0 : magnitude[s] * std::sin(phases[s])) * gain;
    }
    return bus;
}
} // namespace

TEST(FastPhaseWrap, GivesExactlyTheWrapOfTheDefinition)
{
    std::mt19937 generator(9u);
    for (double range : {4.0, 1e4, 1e14})
        for (int i = 0; i < 20000; ++i)
        {
            const double x = std::uniform_real_distribution<double>(-range, range)(generator);
            ASSERT_EQ(wrapphase(x), plainwrap(x)) << x;
        }
    for (int q = -9; q <= 9; ++q) // where the quotient changes
        for (double x : {q * pi, std::nextafter(q * pi, 1e300), std::nextafter(q * pi, -1e300)})
            EXPECT_EQ(wrapphase(x), plainwrap(x)) << x;
    for (double x : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300})
        EXPECT_EQ(wrapphase(x), 0.0) << x;
}

// A tone in noise fills every bin; ratios around 1, formant correction and EQ match to rounding.
TEST(FastVoiceSynthesis, MatchesThePlainComputation)
{
    const struct
    {
        double ratio;
        double formantamount;
        double formantfactor;
        bool eq;
    } cases[] = {
        {0.5, 0.0, 1.0, false}, {0.8, 0.5, 1.1, true},  {1.0, 0.0, 1.0, false},
        {1.26, 1.0, 0.9, true}, {2.0, 0.5, 1.0, false}, {3.7, 1.0, 1.0, true},
    };
    for (const double samplerate : {44100.0, 96000.0})
    {
        auto engine = makeengine(samplerate);
        pbkvoicestate& voice = addvoice(*engine, 1.0, 0.7);
        std::vector<double> input = harmonictone(180.0, samplerate, static_cast<std::size_t>(12 * engine->hopsize));
        std::mt19937 generator(5u);
        for (double& x : input) // every bin up to the top carries something
            x += std::uniform_real_distribution<double>(-0.05, 0.05)(generator);
        run(*engine, input);
        std::vector<double> eq(static_cast<std::size_t>(engine->halfsize));
        for (std::size_t k = 0; k < eq.size(); ++k)
            eq[k] = 0.5 + 0.5 * std::cos(0.01 * static_cast<double>(k));
        for (const auto& c : cases)
        {
            SCOPED_TRACE(testing::Message() << samplerate << " Hz, ratio " << c.ratio);
            voice.ratio = c.ratio;
            voice.formantamount = c.formantamount;
            voice.formantfactor = c.formantfactor;
            voice.eqgains = c.eq ? eq.data() : nullptr;
            std::vector<double> phases(voice.phases.data, voice.phases.data + voice.phases.count);
            const std::vector<double> expected = plainvoice(*engine, voice, phases);
            std::fill_n(engine->busspectra[0]->data, engine->fftsize, 0.0);
            synthesisevoice(*engine, voice);
            const double largest = peak(expected);
            ASSERT_GT(largest, 1.0); // the voice sounds
            for (std::size_t i = 0; i < expected.size(); ++i)
                ASSERT_NEAR((*engine->busspectra[0])[i], expected[i], 1e-12 * largest) << "element " << i;
            for (std::size_t k = 0; k < phases.size(); ++k)
                ASSERT_EQ(voice.phases[k], phases[k]) << "bin " << k;
        }
    }
}

namespace
{
// What bus 0 plays when its only voice is silent and its mode2 asks for the crossfade: around the onset of
// x, the input replayed at the crossfade speed, linearly interpolated, times the Hann weight of the window.
struct crossfaderun
{
    std::vector<double> played; // by input index
    std::int64_t onset = -1;    // input index of the onset
};

crossfaderun crossfade(const std::vector<double>& x, double ratio, std::int32_t mode2)
{
    auto engine = makeengine(sr);
    pbkvoicestate& voice = addvoice(*engine, ratio, 0.0);
    voice.mode2 = mode2;
    crossfaderun r{std::vector<double>(x.size(), 0.0), -1};
    const std::int64_t n = engine->fftsize;
    for (std::size_t at = 0; at + hop <= x.size(); at += hop)
    {
        runhop(*engine, x.data() + at);
        const std::int64_t newest = static_cast<std::int64_t>(at + hop) - 1;
        for (std::int64_t i = 0; i < static_cast<std::int64_t>(hop); ++i)
        {
            if (engine->onsetmarks[engine->historypos + i] == 1501)
                r.onset = newest - static_cast<std::int64_t>(hop) + 1 + i;
            if (newest - (n - 1) + i >= 0)
                r.played[static_cast<std::size_t>(newest - (n - 1) + i)] = engine->busoutputs[0]->data[i];
        }
    }
    return r;
}

double expectedcrossfade(const std::vector<double>& x, std::int64_t onset, std::int64_t t, double speed)
{
    const std::int64_t d = t - onset;
    if (d < -1500 || d > 1499)
        return 0.0;
    const double at = static_cast<double>(d) * speed;
    const double whole = std::trunc(at);
    const double r = at - whole;
    const std::size_t here = static_cast<std::size_t>(onset + static_cast<std::int64_t>(whole));
    const double v = r >= 0.0 ? x[here + 1] * r + x[here] * (1.0 - r) : x[here - 1] * -r + x[here] * (1.0 + r);
    return v * (0.5 - 0.5 * std::cos(2.0 * pi * static_cast<double>(d + 1501) / 3001.0));
}
} // namespace

// Silence, then a tone: mode2 1 replays the attack as it came, mode2 2 at the voice's ratio within
// 1/4..2.
TEST(OnsetCrossfade, ReplaysTheAttackAtItsSpeedUnderTheHannWindow)
{
    std::vector<double> x(48 * hop, 0.0);
    for (std::size_t i = 20 * hop + 37; i < x.size(); ++i)
        x[i] = 0.5 * std::sin(2.0 * pi * 310.0 * static_cast<double>(i) / sr)
               + 0.2 * std::sin(0.0131 * static_cast<double>(i * i % 9973));
    const struct
    {
        double ratio;
        std::int32_t mode2;
        double speed;
    } rows[] = {
        {0.7, 1, 1.0}, {0.37, 2, 0.37}, {1.6, 3, 1.6}, {3.0, 2, 2.0}, {0.1, 4, 0.25}, {0.7, 0, 0.0},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "ratio " << row.ratio << ", mode2 " << row.mode2);
        const crossfaderun r = crossfade(x, row.ratio, row.mode2);
        ASSERT_GE(r.onset, static_cast<std::int64_t>(20 * hop + 37));
        double worst = 0.0;
        double loudest = 0.0;
        for (std::int64_t t = 0; t + 2 < static_cast<std::int64_t>(x.size()) - 2048; ++t)
        {
            const double expected = row.mode2 > 0 ? expectedcrossfade(x, r.onset, t, row.speed) : 0.0;
            worst = std::max(worst, std::fabs(r.played[static_cast<std::size_t>(t)] - expected));
            loudest = std::max(loudest, std::fabs(expected));
        }
        EXPECT_LT(worst, 1e-12);
        if (row.mode2 > 0)
        {
            EXPECT_GT(loudest, 0.3);
        }
    }
}

namespace
{
// A tone after `silence` samples through the model's one voice (nothing dry, blocks of 512): the held level in
// dB against the input's, from two frames after the frame first holds only tone, over four frames.
double heldlevel(double rate, std::int32_t mode, double formants, bool harmonic, double semitones, std::size_t silence)
{
    pinstance instance(rate);
    pparam* const* voice = instance.model.voices[0]->params.data;
    voice[pvoicemode]->setvalue(mode);
    voice[pvoicepitch]->setvalue(0.5 + semitones / (mode == 2 ? 48.0 : 24.0)); // "Mode" 2 spans two octaves
    voice[pvoiceformantscale]->setvalue(formants);
    instance.model.params[pglobaldry]->setvalue(0.0);
    // Four frames long: the level of a shifted harmonic tone wavers with the hop, more slowly the lower it goes.
    const std::size_t n = static_cast<std::size_t>(instance.model.engines[0].fftsize);
    const std::size_t from = silence + 3 * n;
    std::vector<double> x((from + 4 * n) / 512 * 512, 0.0);
    const std::vector<double> tone = harmonic ? harmonictone(220.0, rate, x.size(), 40) : sine(330.0, rate, x.size());
    std::copy(tone.begin(), tone.end() - static_cast<std::ptrdiff_t>(silence), x.begin() + silence);
    std::vector<double> in = x, out(x.size()), unused(x.size());
    for (std::size_t at = 0; at < x.size(); at += 512)
    {
        double* inputs[2] = {in.data() + at, in.data() + at};
        double* outputs[2] = {out.data() + at, unused.data() + at};
        instance.processblock(inputs, 512, outputs, 1);
    }
    return 20.0 * std::log10(rms(out, from, x.size()) / rms(x, from, x.size()));
}

#ifdef NDEBUG
constexpr std::size_t offsetstep = 8;
#else
constexpr std::size_t offsetstep = 40; // the sanitizer builds, unoptimised
#endif

// The level spread over start offsets every offsetstep samples across a hop and a bit, and their mean.
void startspread(double rate, std::int32_t mode, double formants, bool harmonic, double semitones, double& spread,
                 double& mean)
{
    double lo = 1e9, hi = -1e9, sum = 0.0;
    const std::size_t hop = rate >= pbkdoublesizerate ? 512 : 256;
    std::size_t count = 0;
    for (std::size_t silence = 0; silence <= hop + 16; silence += offsetstep, ++count)
    {
        const double level = heldlevel(rate, mode, formants, harmonic, semitones, silence);
        lo = std::min(lo, level), hi = std::max(hi, level), sum += level;
    }
    spread = hi - lo, mean = sum / static_cast<double>(count);
}
} // namespace

// The phase relation of a partial's bins is set while the tone enters the frame: it must not decide the level.
TEST(VoiceStart, AHeldToneKeepsOneLevelWhereverItStarts)
{
    const struct
    {
        double rate;
        std::int32_t mode;
        double formants;
        bool harmonic;
        double semitones, level; // dB against the input
    } rows[] = {
        {44100, 0, 0.5, false, 6, 0.7},  {44100, 0, 0.5, false, 7, 2.8},  {44100, 0, 0.5, true, 6, 0.2},
        {48000, 2, 1.0, true, -5, -3.4}, {96000, 1, 0.0, true, 12, -0.1}, {96000, 4, 1.0, false, -12, -9.2},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << row.rate << " Hz, mode " << row.mode << ", " << row.semitones << " st");
        double spread = 0.0, mean = 0.0;
        startspread(row.rate, row.mode, row.formants, row.harmonic, row.semitones, spread, mean);
        EXPECT_LE(spread, 0.5);
        EXPECT_NEAR(mean, row.level, 0.3);
    }
}

#ifdef NDEBUG
// Every interval at each rate, the modes, formant settings and tones taking turns.
class VoiceStartAtRate : public testing::TestWithParam<double>
{
};

TEST_P(VoiceStartAtRate, EveryIntervalKeepsOneLevelWhereverItStarts)
{
    for (int semitones = -12; semitones <= 12; ++semitones)
    {
        const std::int32_t mode = (semitones + 12) % 5;
        SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << semitones << " st");
        double spread = 0.0, mean = 0.0;
        startspread(GetParam(), mode, semitones % 2 == 0 ? 1.0 : 0.0, semitones % 3 != 0, semitones, spread, mean);
        EXPECT_LE(spread, 0.5);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, VoiceStartAtRate, testing::Values(44100.0, 48000.0, 96000.0));
#endif
