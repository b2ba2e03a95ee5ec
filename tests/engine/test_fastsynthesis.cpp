// The synthesis's fast paths against the computation they replace, written out plainly from its
// definition: the branch-free phase wrap, and a voice's whole contribution to its bus with the
// polynomial sine and cosine and the bins above the highest one the mapping reads left out.
#include "engine/frame.h"

#include "engine/framesignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace framesignals;

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

// The input bin round(k / ratio), or -1 beyond the spectrum.
std::int64_t plainsource(std::int64_t k, double ratio, std::int64_t m)
{
    const double s = static_cast<double>(k) / ratio + 0.5;
    return s < static_cast<double>(m) ? static_cast<std::int64_t>(s) : -1;
}

// One voice into a zeroed bus spectrum, step by step as defined, with the library's sine and
// cosine; phases advance as the engine's would.
std::vector<double> plainvoice(const pbkpitchshift& engine, const pbkvoicestate& voice, std::vector<double>& phases)
{
    const std::int64_t m = engine.halfsize;
    const double ratio = voice.ratio;
    const double* spectrum = engine.spectrum.data;
    const double* envelope = engine.envelope.data;
    std::vector<double> magnitude(static_cast<std::size_t>(m)), theta(static_cast<std::size_t>(m));
    for (std::int64_t k = 0; k < m; ++k)
    {
        const double kd = static_cast<double>(k);
        const double f = spectrum[2 * k + 1] * ratio;
        const std::size_t i = static_cast<std::size_t>(k);
        theta[i] = plainwrap((kd * engine.phaseadvance + (f - kd * engine.binwidth) * (2 * pi / engine.hoprate))
                             + phases[i]);
        phases[i] = theta[i];
        const double g = ((1.0 - voice.formantamount) + ratio * voice.formantamount) * voice.formantfactor;
        const double j = kd * g;
        const double warped = j < static_cast<double>(m)
                                  ? spectrum[2 * k] * envelope[static_cast<std::size_t>(j)] / (envelope[k] + 0.02)
                                  : 0.0;
        magnitude[i] = warped < 0.0 ? 0.0 : warped;
    }
    std::vector<double> bus(static_cast<std::size_t>(2 * m), 0.0);
    for (std::int64_t k = 0; k < m; ++k)
    {
        const std::int64_t s = plainsource(k, ratio, m);
        if (s < 0)
            continue;
        const std::size_t i = static_cast<std::size_t>(s);
        const double re = s == 0 ? magnitude[0] : magnitude[i] * std::cos(theta[i]);
        const double im = s == 0 ? 0.0 : magnitude[i] * std::sin(theta[i]);
        const double gain = voice.eqgains != nullptr ? voice.gain * voice.eqgains[k] : voice.gain;
        bus[static_cast<std::size_t>(2 * k)] += re * gain;
        bus[static_cast<std::size_t>(2 * k + 1)] += im * gain;
    }
    return bus;
}

struct VoiceCase
{
    double ratio;
    double formantamount;
    double formantfactor;
    bool eq;
};

class FastVoiceSynthesis : public ::testing::TestWithParam<double>
{
};
} // namespace

TEST(FastPhaseWrap, GivesExactlyTheWrapOfTheDefinition)
{
    std::mt19937 generator(9u);
    for (double range : {4.0, 100.0, 1e4, 1e9, 1e14})
    {
        std::uniform_real_distribution<double> uniform(-range, range);
        for (int i = 0; i < 20000; ++i)
        {
            const double x = uniform(generator);
            ASSERT_EQ(wrapphase(x), plainwrap(x)) << x;
        }
    }
    // Whole multiples of pi, odd and even, and their neighbours: where q changes.
    for (int q = -9; q <= 9; ++q)
        for (double x : {q * pi, std::nextafter(q * pi, 1e300), std::nextafter(q * pi, -1e300)})
            EXPECT_EQ(wrapphase(x), plainwrap(x)) << x;
}

// A voice on the spectrum of a tone in noise, for ratios below, at and above 1, with and without
// formant correction and EQ: the bus receives what the plain computation gives, to rounding.
TEST_P(FastVoiceSynthesis, MatchesThePlainComputation)
{
    const double samplerate = GetParam();
    auto engine = makeengine(samplerate);
    pbkvoicestate& voice = addvoice(*engine);
    // A tone over noise: every bin up to the top carries something.
    std::vector<double> input = harmonictone(180.0, samplerate, static_cast<std::size_t>(12 * engine->hopsize));
    std::mt19937 generator(5u);
    std::uniform_real_distribution<double> noise(-0.05, 0.05);
    for (double& x : input)
        x += noise(generator);
    for (std::size_t at = 0; at + static_cast<std::size_t>(engine->hopsize) <= input.size();
         at += static_cast<std::size_t>(engine->hopsize))
        runhop(*engine, input.data() + at);

    std::vector<double> eq(static_cast<std::size_t>(engine->halfsize));
    for (std::size_t k = 0; k < eq.size(); ++k)
        eq[k] = 0.5 + 0.5 * std::cos(0.01 * static_cast<double>(k));

    const VoiceCase cases[] = {{0.5, 0.0, 1.0, false}, {0.8, 0.5, 1.1, true}, {1.0, 0.0, 1.0, false},
                               {1.26, 1.0, 0.9, true}, {2.0, 0.5, 1.0, false}, {3.7, 1.0, 1.0, true}};
    for (const VoiceCase& c : cases)
    {
        voice.ratio = c.ratio;
        voice.gain = 0.7;
        voice.formantamount = c.formantamount;
        voice.formantfactor = c.formantfactor;
        voice.eqgains = c.eq ? eq.data() : nullptr;
        std::vector<double> phases(voice.phases.data, voice.phases.data + voice.phases.count);
        const std::vector<double> expected = plainvoice(*engine, voice, phases);

        double* bus = engine->busspectra[0]->data;
        std::memset(bus, 0, sizeof(double) * static_cast<std::size_t>(engine->fftsize));
        synthesisevoice(*engine, voice);

        double largest = 0.0;
        for (double v : expected)
            largest = std::fmax(largest, std::fabs(v));
        ASSERT_GT(largest, 1.0) << c.ratio; // the voice sounds
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(bus[i], expected[i], 1e-12 * largest) << "ratio " << c.ratio << " element " << i;
        for (std::size_t k = 0; k < phases.size(); ++k)
            ASSERT_EQ(voice.phases[k], phases[k]) << "ratio " << c.ratio << " bin " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, FastVoiceSynthesis, ::testing::Values(44100.0, 96000.0));
