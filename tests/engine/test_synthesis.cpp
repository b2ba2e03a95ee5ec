// The synthesis half of the frame, measured on its output.
#include "engine/frame.h"

#include "engine/framesignals.h"
#include "engine/pprojdata.h"
#include "plugin/pinstance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace framesignals;

namespace
{
constexpr double sr = 44100.0;
constexpr std::size_t hop = 256;

#ifdef NDEBUG
constexpr std::size_t offsetstep = 8;
#else
constexpr std::size_t offsetstep = 40; // the sanitizer builds, unoptimised
#endif

struct startlevels
{
    double spread = 0.0; // dB against the input, over the start offsets
    double mean = 0.0;
    double hz = 0.0;     // the strongest frequency near the shifted fundamental
    double attack = 0.0; // the largest gap between the held level and the one a frame after the start
};

// A sine of 330 Hz (or harmonics of 220 Hz at 1/h) after silences every offsetstep samples across a hop and a
// bit, through the model's one voice, nothing dry, in blocks of 512. Each level is measured from two frames after
// the frame first holds only tone, over four frames: a shifted harmonic tone's level wavers with the hop.
startlevels levelsof(double rate, std::int32_t mode, double formants, bool harmonic, double semitones)
{
    startlevels r;
    double lo = 1e9;
    double hi = -1e9;
    double count = 0.0;
    const double f = (harmonic ? 220.0 : 330.0) * std::pow(2.0, semitones / 12.0);
    for (std::size_t silence = 0; silence <= (rate >= pbkdoublesizerate ? 512 : 256) + 16; silence += offsetstep)
    {
        pinstance instance(rate);
        pparam* const* voice = instance.model.voices[0]->params.data;
        voice[pvoicemode]->setvalue(mode);
        voice[pvoicepitch]->setvalue(0.5 + semitones / (mode == 2 ? 48.0 : 24.0)); // "Mode" 2 spans two octaves
        voice[pvoiceformantscale]->setvalue(formants);
        instance.model.params[pglobaldry]->setvalue(0.0);
        const std::size_t n = static_cast<std::size_t>(instance.model.engines[0].fftsize);
        const std::size_t from = silence + 3 * n;
        std::vector<double> x((from + 4 * n) / 512 * 512, 0.0);
        const std::vector<double> tone =
            harmonic ? harmonictone(220.0, rate, x.size(), 40) : sine(330.0, rate, x.size());
        std::copy(tone.begin(), tone.end() - static_cast<std::ptrdiff_t>(silence), x.begin() + silence);
        std::vector<double> in = x;
        std::vector<double> out(x.size());
        std::vector<double> unused(x.size());
        for (std::size_t at = 0; at < x.size(); at += 512)
        {
            double* inputs[2] = {in.data() + at, in.data() + at};
            double* outputs[2] = {out.data() + at, unused.data() + at};
            instance.processblock(inputs, 512, outputs, 1);
        }
        const double level = 20.0 * std::log10(rms(out, from, x.size()) / rms(x, from, x.size()));
        const double early = 20.0 * std::log10(rms(out, silence + n, silence + n + n / 4) / rms(x, from, x.size()));
        r.attack = std::max(r.attack, std::fabs(early - level));
        lo = std::min(lo, level);
        hi = std::max(hi, level);
        r.mean += level;
        ++count;
        if (silence == 0)
            r.hz = peakfrequency({out.begin() + static_cast<std::ptrdiff_t>(from), out.end()}, rate, f * 0.9, f * 1.1);
    }
    r.spread = hi - lo;
    r.mean /= count;
    return r;
}
} // namespace

// The ratio moves the pitch and the overlap gain the level; the phase relation of a partial's bins, set while the
// tone enters the frame, must not decide the level.
TEST(VoiceSynthesis, AHeldToneMovesByItsIntervalAndKeepsOneLevelWhereverItStarts)
{
    // clang-format off
    const struct { double rate; std::int32_t mode; double formants; bool harmonic; double semitones, level; } rows[] = {
        {44100, 0, 0.5, false, 0, -0.1},
        {44100, 0, 0.5, false, 6, 0.7},
        {44100, 0, 0.5, false, 7, 2.8},
        {44100, 0, 0.5, true, 6, 0.2},
        {48000, 2, 1.0, true, -5, -3.4},
        {96000, 1, 0.0, true, 12, -0.1},
        {96000, 4, 1.0, false, -12, -9.2},
    };
    // clang-format on
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << row.rate << " Hz, mode " << row.mode << ", " << row.semitones << " st");
        const startlevels r = levelsof(row.rate, row.mode, row.formants, row.harmonic, row.semitones);
        EXPECT_LE(r.spread, 0.5);
        EXPECT_NEAR(r.mean, row.level, 0.3);
        EXPECT_LT(r.attack, 2.0); // the voice reaches its level within a frame
        const double f = (row.harmonic ? 220.0 : 330.0) * std::pow(2.0, row.semitones / 12.0);
        EXPECT_NEAR(r.hz, f, f * 0.005);
    }
}

#ifdef NDEBUG
// Every interval at every rate, the modes, formant settings and tones taking turns.
TEST(VoiceSynthesis, EveryIntervalKeepsOneLevelWhereverItStarts)
{
    for (const double rate : {44100.0, 48000.0, 96000.0})
        for (int st = -12; st <= 12; ++st)
        {
            SCOPED_TRACE(testing::Message() << rate << " Hz, " << st << " st");
            EXPECT_LE(levelsof(rate, (st + 12) % 5, st % 2 == 0 ? 1.0 : 0.0, st % 3 != 0, st).spread, 0.5);
        }
}
#endif

TEST(FormantWarp, TheFactorMovesTheEnvelopeButNotThePitch)
{
    const std::vector<double> tone = harmonictone(150.0, sr, 64 * hop, 60, 0.3);
    double centre = 0.0;
    for (const double factor : {1.0, 2.0, 0.5}) // neutral, down, up
    {
        auto engine = makeengine(sr);
        addvoice(*engine).formantfactor = factor;
        const std::vector<double> out = run(*engine, tone);
        const std::vector<double> steady(out.begin() + 16 * hop, out.end());
        EXPECT_NEAR(peakfrequency(steady, sr, 100, 200), 150.0, 150.0 * 0.005);
        const double c = spectralcentroid(steady, sr, 50, 10000);
        centre = factor == 1.0 ? c : centre;
        if (factor > 1.0)
        {
            EXPECT_LT(c, centre * 0.8) << factor;
        }
        if (factor < 1.0)
        {
            EXPECT_GT(c, centre * 1.1) << factor;
        }
    }
}

// A voice on bus 3 makes buses 1 to 3 and sounds there alone; an EQ curve that passes only what lies above 700 Hz
// is read at the output bin; an unusable ratio, gain or formant factor silences the voice without harm (bin 0 may
// still read envelope[0] when the factor is off).
TEST(VoiceBuses, AVoiceSoundsOnItsBusThroughItsCurveAndUnusableValuesSilenceIt)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // clang-format off
    const struct { double ratio, gain, factor; std::uint64_t bus; bool eq; double lowest, highest; } rows[] = {
        {1, 1, 1, 3, false, 0.5, 1e9},
        {2, 1, 1, 0, true, 0.5, 1e9},
        {1, 1, 1, 0, true, 0.0, 0.05},
        {0.0, 1, 1, 0, false, 0.0, 0.0},
        {-1.0, 1, 1, 0, false, 0.0, 0.0},
        {nan, 1, 1, 0, false, 0.0, 0.0},
        {inf, 1, 1, 0, false, 0.0, 0.0},
        {1, nan, 1, 0, false, 0.0, 0.0},
        {1, 1, 1e300, 0, false, 0.0, 1e-6},
        {1, 1, -5.0, 0, false, 0.0, 1e-6},
        {1, 1, nan, 0, false, 0.0, 1e-6},
    };
    // clang-format on
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << row.ratio << " " << row.gain << " " << row.factor << ", bus " << row.bus);
        auto engine = makeengine(sr);
        pbkvoicestate& voice = addvoice(*engine, row.ratio, row.gain);
        std::vector<double> eq(static_cast<std::size_t>(engine->halfsize));
        for (std::size_t k = 0; k < eq.size(); ++k)
            eq[k] = static_cast<double>(k) * engine->binwidth > 700.0 ? 1.0 : 0.0;
        voice.formantfactor = row.factor;
        voice.bus = row.bus;
        voice.eqgains = row.eq ? eq.data() : nullptr;
        const std::vector<double> out = run(*engine, sine(500.0, sr, 20 * hop), row.bus);
        ASSERT_EQ(engine->busoutputs.count, row.bus + 1);
        EXPECT_GE(rms(out, 16 * hop, out.size()), row.lowest);
        EXPECT_LE(rms(out, 0, out.size()), row.highest);
        for (std::uint64_t b = 0; b < row.bus; ++b)
            for (std::int64_t i = 0; i < engine->framesize; ++i)
                ASSERT_EQ((*engine->busoutputs[b])[i], 0.0) << "bus " << b;
        EXPECT_EQ(voice.lastratio, row.ratio > 0.0 && std::isfinite(row.ratio) ? row.ratio : 1.0);
    }
}

// Silence, then a tone: around its onset, bus 0 of a silent voice plays the input replayed at the crossfade speed
// (1 for mode2 1, else the ratio within 1/4..2), linearly interpolated, under the Hann weight of the window.
TEST(OnsetCrossfade, ReplaysTheAttackAtItsSpeedUnderTheHannWindow)
{
    std::vector<double> x(48 * hop, 0.0);
    for (std::size_t i = 20 * hop + 37; i < x.size(); ++i)
        x[i] = 0.5 * std::sin(2.0 * pi * 310.0 * static_cast<double>(i) / sr)
               + 0.2 * std::sin(0.0131 * static_cast<double>(i * i % 9973));
    // clang-format off
    const struct { double ratio; std::int32_t mode2; double speed; } rows[] = {
        {0.7, 1, 1.0},
        {0.37, 2, 0.37},
        {1.6, 3, 1.6},
        {3.0, 2, 2.0},
        {0.1, 4, 0.25},
        {0.7, 0, 0.0},
    };
    // clang-format on
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "ratio " << row.ratio << ", mode2 " << row.mode2);
        auto engine = makeengine(sr);
        addvoice(*engine, row.ratio, 0.0).mode2 = row.mode2;
        std::vector<double> played(x.size(), 0.0); // by input index
        std::int64_t onset = -1;
        const std::int64_t h = engine->hopsize;
        const std::int64_t back = engine->fftsize - h; // made from the input this far back
        for (std::int64_t at = 0; at + h <= static_cast<std::int64_t>(x.size()); at += h)
        {
            runhop(*engine, x.data() + at);
            for (std::int64_t i = 0; i < h; ++i)
            {
                onset = engine->onsetmarks[engine->historypos + i] == 1501 ? at + i : onset;
                played[static_cast<std::size_t>(std::max<std::int64_t>(at + i - back, 0))] =
                    engine->busoutputs[0]->data[i];
            }
        }
        ASSERT_GE(onset, static_cast<std::int64_t>(20 * hop + 37));
        double worst = 0.0;
        double loudest = 0.0;
        for (std::int64_t d = -onset; d + onset + 2 < static_cast<std::int64_t>(x.size()) - 2048; ++d)
        {
            const double at = static_cast<double>(d) * row.speed;
            const double r = at - std::trunc(at);
            const std::size_t here = static_cast<std::size_t>(onset + static_cast<std::int64_t>(at));
            const double expected =
                row.mode2 > 0 && d >= -1500 && d <= 1499
                    ? (r >= 0.0 ? x[here + 1] * r + x[here] * (1.0 - r) : x[here - 1] * -r + x[here] * (1.0 + r))
                          * (0.5 - 0.5 * std::cos(2.0 * pi * static_cast<double>(d + 1501) / 3001.0))
                    : 0.0;
            worst = std::max(worst, std::fabs(played[static_cast<std::size_t>(onset + d)] - expected));
            loudest = std::max(loudest, std::fabs(expected));
        }
        EXPECT_LT(worst, 1e-12);
        EXPECT_GE(loudest, row.mode2 == 0 ? 0.0 : 0.3) << "the attack is heard";
    }
}
