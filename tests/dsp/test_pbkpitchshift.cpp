#include "dsp/pbkpitchshift.h"

#include "allocation_counter.h"
#include "dsp/rdft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace
{
constexpr double pi = 3.14159265358979323846;

std::unique_ptr<pbkpitchshift> engineAt(double rate)
{
    auto engine = std::make_unique<pbkpitchshift>();
    engine->enginerate = rate;
    engine->init(rate);
    return engine;
}

void fill(pbkbuffer<double>& buffer, double value)
{
    for (std::uint64_t i = 0; i < buffer.count; ++i)
        buffer[i] = value;
}

bool allZero(const pbkbuffer<double>& buffer)
{
    for (std::uint64_t i = 0; i < buffer.count; ++i)
        if (buffer[i] != 0.0)
            return false;
    return true;
}

bool allZero(const pbkbuffer<int>& buffer)
{
    for (std::uint64_t i = 0; i < buffer.count; ++i)
        if (buffer[i] != 0)
            return false;
    return true;
}

void addVoice(pbkpitchshift& engine)
{
    auto voice = std::make_unique<pbkvoicestate>();
    voice->phases.resize(static_cast<std::uint64_t>(engine.halfsize));
    voice->phases.zero();
    engine.voicestates.append(voice.release());
}

TEST(PitchEngine, ConstructedEngineIsEmpty)
{
    auto engine = std::make_unique<pbkpitchshift>();
    for (const pbkbuffer<double>* b : {&engine->analysiswindow, &engine->inputframe, &engine->lastphase,
                                      &engine->spectrum, &engine->synthspectrum, &engine->envelope,
                                      &engine->pitchframe, &engine->history, &engine->onsetwindow})
    {
        EXPECT_EQ(b->count, 0u);
        EXPECT_EQ(b->capacity, 0u);
        EXPECT_EQ(b->data, nullptr);
    }
    EXPECT_EQ(engine->onsetmarks.capacity, 0u);
    EXPECT_EQ(engine->voicestates.count, 0u);
    EXPECT_EQ(engine->voicestates.capacity, 2u);
    EXPECT_EQ(engine->busspectra.count, 0u);
    EXPECT_EQ(engine->busspectra.capacity, 2u);
    EXPECT_EQ(engine->busoutputs.count, 0u);
    EXPECT_EQ(engine->busoutputs.capacity, 2u);
    EXPECT_EQ(engine->drywritepos, 0u);
    EXPECT_EQ(engine->drydata, nullptr);
    EXPECT_EQ(engine->dryowned, 0);
    for (const Dsp::ButterworthFilter* f : {&engine->binsmoother, &engine->dcblocker})
    {
        EXPECT_EQ(f->cascade.stageCount, 0);
        EXPECT_EQ(f->analogOrder, -1);
        EXPECT_EQ(f->analog.normalGain, 1.0);
        EXPECT_EQ(f->state.vsa, 1e-8);
    }
    EXPECT_EQ(engine->slowcoef, &engine->slowpair);
    EXPECT_EQ(engine->fastcoef, nullptr);
    EXPECT_EQ(engine->faststate, 0.0);
    EXPECT_EQ(engine->slowstate, 0.0);
    EXPECT_EQ(engine->fftsize, 0);
    EXPECT_EQ(engine->samplerate, 0.0);
}

struct RateSizes
{
    double rate;
    std::int64_t n;
    std::int64_t h;
};

class PitchEngineInit : public ::testing::TestWithParam<RateSizes>
{
};

TEST_P(PitchEngineInit, DerivesEverySizeAndRateFromTheSampleRate)
{
    const RateSizes p = GetParam();
    auto engine = engineAt(p.rate);
    const std::int64_t k = p.n / 2048;
    EXPECT_EQ(engine->samplerate, p.rate);
    EXPECT_EQ(engine->fftsize, p.n);
    EXPECT_EQ(engine->hopsize, p.h);
    EXPECT_EQ(engine->overlapsize, p.n - p.h);
    EXPECT_EQ(engine->halfsize, p.n / 2);
    EXPECT_EQ(engine->framesize, p.n);
    EXPECT_EQ(engine->refillpos, p.n - p.h);
    EXPECT_EQ(engine->windowlength, p.n);
    EXPECT_EQ(engine->shortdrylength, p.n - 2 * p.h);
    EXPECT_EQ(engine->spectrumlength, p.n);
    EXPECT_EQ(engine->levelstart, 640 * k);
    EXPECT_EQ(engine->levelcount, 768 * k);
    EXPECT_EQ(engine->historyhalf, 4096 * k);
    EXPECT_EQ(engine->framefill, p.n - p.h);
    EXPECT_EQ(engine->windowrotation, 0);
    EXPECT_EQ(engine->fftsize / engine->hopsize, 8);

    EXPECT_DOUBLE_EQ(engine->hoprate, p.rate / static_cast<double>(p.h));
    EXPECT_DOUBLE_EQ(engine->binwidth, p.rate / static_cast<double>(p.n));
    EXPECT_DOUBLE_EQ(engine->phaseadvance, 2 * pi / 8);

    const auto n = static_cast<std::uint64_t>(p.n);
    EXPECT_EQ(engine->analysiswindow.count, n);
    EXPECT_EQ(engine->inputframe.count, n);
    EXPECT_EQ(engine->lastphase.count, n / 2);
    EXPECT_EQ(engine->spectrum.count, n);
    EXPECT_EQ(engine->synthspectrum.count, n);
    EXPECT_EQ(engine->envelope.count, n);
    EXPECT_EQ(engine->pitchframe.count, n);
    EXPECT_EQ(engine->history.count, 4 * n);
    EXPECT_EQ(engine->onsetmarks.count, 4 * n);
    EXPECT_EQ(engine->analysiswindow.capacity, n);
    EXPECT_EQ(engine->history.capacity, 4 * n);
    EXPECT_TRUE(allZero(engine->inputframe));
    EXPECT_TRUE(allZero(engine->lastphase));
    EXPECT_TRUE(allZero(engine->history));
    EXPECT_TRUE(allZero(engine->onsetmarks));

    EXPECT_EQ(engine->onsetwidth, 3000);
    EXPECT_EQ(engine->onsethalfwidth, 1500);
    EXPECT_EQ(engine->historypos, 0);
    EXPECT_EQ(engine->inonset, 0);
    EXPECT_EQ(engine->detectiongate, 0.0);
    EXPECT_EQ(engine->detectednote, 0.0);
    EXPECT_EQ(engine->inputlevel, 0.0);
    EXPECT_EQ(engine->wantpitch, 0);
    EXPECT_EQ(engine->ratiochanges, 0);
    EXPECT_EQ(engine->busspectra.count, 0u);
    EXPECT_EQ(engine->busoutputs.count, 0u);
}

// Welch window: 1 - (j / (M - 1))^2 outward from the middle, M = N/2, mirrored.
TEST_P(PitchEngineInit, BuildsTheWelchAnalysisWindow)
{
    auto engine = engineAt(GetParam().rate);
    const std::int64_t n = engine->framesize;
    const std::int64_t m = n / 2;
    const pbkbuffer<double>& w = engine->analysiswindow;
    EXPECT_EQ(w[0], 0.0);
    EXPECT_EQ(w[static_cast<std::uint64_t>(n - 1)], 0.0);
    EXPECT_EQ(w[static_cast<std::uint64_t>(m - 1)], 1.0);
    EXPECT_EQ(w[static_cast<std::uint64_t>(m)], 1.0);
    for (std::int64_t j = 0; j < m; ++j)
    {
        const double x = static_cast<double>(j) / static_cast<double>(m - 1);
        ASSERT_DOUBLE_EQ(w[static_cast<std::uint64_t>(m + j)], 1 - x * x) << j;
        ASSERT_EQ(w[static_cast<std::uint64_t>(m - 1 - j)], w[static_cast<std::uint64_t>(m + j)]) << j;
    }
}

TEST_P(PitchEngineInit, BuildsTheOnsetWindowFollowersAndHighPass)
{
    const double rate = GetParam().rate;
    auto engine = engineAt(rate);

    ASSERT_EQ(engine->onsetwindow.count, 3000u);
    const double end = 0.5 - 0.5 * std::cos(2 * pi / 3001);
    EXPECT_GT(end, 0.0);
    EXPECT_DOUBLE_EQ(engine->onsetwindow[0], end);
    EXPECT_DOUBLE_EQ(engine->onsetwindow[2999], end);
    for (std::uint64_t i = 0; i < 3000; ++i)
        ASSERT_DOUBLE_EQ(engine->onsetwindow[i], 0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(i + 1) / 3001)) << i;
    EXPECT_NEAR(engine->onsetwindow[1499], 1.0, 1e-6);

    const struct
    {
        const pbkcoefpair* pair;
        double hz;
    } followers[] = {{&engine->attackcoef, 60}, {&engine->releasecoef, 22}, {&engine->slowpair, 0.27}};
    for (const auto& f : followers)
    {
        const double a = std::exp(-2 * pi * f.hz / rate);
        EXPECT_DOUBLE_EQ(f.pair->keep, a) << f.hz;
        EXPECT_DOUBLE_EQ(f.pair->take, 1 - a) << f.hz;
    }
    EXPECT_EQ(engine->slowcoef, &engine->slowpair);

    const double f = 1 / std::tan(pi * 5 / rate);
    const double p = (f - 1) / (f + 1);
    EXPECT_EQ(engine->dcblocker.cascade.stageCount, 1);
    EXPECT_NEAR(engine->dcblocker.stage.a1, -p, 1e-15);
    EXPECT_NEAR(engine->dcblocker.stage.b0, (1 + p) / 2, 1e-15);
    EXPECT_NEAR(engine->dcblocker.stage.b1, -(1 + p) / 2, 1e-15);
    EXPECT_EQ(engine->binsmoother.cascade.stageCount, 0); // designed by the frame, not here
}

// The kept tables must be those a transform builds for N itself.
TEST_P(PitchEngineInit, BuildsTheFftTablesForN)
{
    auto engine = engineAt(GetParam().rate);
    const int n = static_cast<int>(engine->fftsize);
    std::vector<int> ip(pbkpitchshift::fftipsize, 0);
    std::vector<double> w(static_cast<std::size_t>(n / 2), 0.0);
    std::vector<double> scratch(static_cast<std::size_t>(n), 0.0);
    rdft(n, 1, scratch.data(), ip.data(), w.data());

    EXPECT_EQ(engine->fftip[0], ip[0]);
    EXPECT_EQ(engine->fftip[1], ip[1]);
    EXPECT_EQ(0, std::memcmp(engine->fftw, w.data(), sizeof(double) * w.size()));

    // And a transform with them kept matches one that rebuilds them.
    std::vector<double> a(static_cast<std::size_t>(n)), b;
    for (int j = 0; j < n; ++j)
        a[static_cast<std::size_t>(j)] = std::sin(0.37 * j) + 0.1 * std::cos(1.3 * j);
    b = a;
    rdft(n, 1, a.data(), engine->fftip, engine->fftw);
    ip[0] = 0;
    rdft(n, 1, b.data(), ip.data(), w.data());
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), sizeof(double) * a.size()));
}

INSTANTIATE_TEST_SUITE_P(Rates, PitchEngineInit,
                         ::testing::Values(RateSizes{44100.0, 2048, 256}, RateSizes{48000.0, 2048, 256},
                                           RateSizes{95999.99, 2048, 256}, RateSizes{96000.0, 4096, 512},
                                           RateSizes{192000.0, 4096, 512}),
                         [](const ::testing::TestParamInfo<RateSizes>& info) {
                             return "Rate" + std::to_string(static_cast<long>(info.param.rate * 100));
                         });

TEST(PitchEngine, ReinitInTheSameSizeClassReusesStorageAndClearsState)
{
    auto engine = engineAt(44100.0);
    addVoice(*engine);
    engine->addbuffer();
    engine->addbuffer();
    engine->addbuffer();
    ASSERT_EQ(engine->busspectra.capacity, 4u);
    engine->rebuilddry(static_cast<std::uint64_t>(engine->refillpos));
    engine->drydata[5] = 0.5;
    engine->drywritepos = 17;

    fill(engine->inputframe, 0.25);
    fill(engine->lastphase, 1.5);
    fill(engine->history, -0.5);
    for (std::uint64_t i = 0; i < engine->onsetmarks.count; ++i)
        engine->onsetmarks[i] = 1501;
    engine->inonset = 1;
    engine->detectednote = 57;
    engine->detectiongate = 0.2;
    engine->inputlevel = 0.9;
    engine->wantpitch = 1;
    engine->ratiochanges = 3;
    engine->framefill = 2000;
    engine->windowrotation = 1024;
    engine->historypos = 4096;
    engine->faststate = 0.125;
    engine->slowstate = 0.0625;
    engine->yintable[10] = 0.3;
    engine->randmultiplier = 1664525;
    engine->envholdlength = 5;
    engine->envupper = 0.22;
    double x[3] = {1, 2, 3};
    engine->dcblocker.process(3, x);
    const double w1 = engine->dcblocker.state.memory[0].w1;
    const double vsa = engine->dcblocker.state.vsa;
    const double* window = engine->analysiswindow.data;
    const double* frame = engine->inputframe.data;
    const double* hist = engine->history.data;
    const int* marks = engine->onsetmarks.data;
    const double* spec = engine->spectrum.data;
    const pbkvoicestate* voice = engine->voicestates[0];
    voice->phases.data[3] = 2.0;

    const std::uint64_t before = allocation_counter::count();
    engine->enginerate = 48000.0;
    engine->init(48000.0);
    EXPECT_EQ(allocation_counter::count(), before);

    EXPECT_EQ(engine->analysiswindow.data, window);
    EXPECT_EQ(engine->inputframe.data, frame);
    EXPECT_EQ(engine->history.data, hist);
    EXPECT_EQ(engine->onsetmarks.data, marks);
    EXPECT_EQ(engine->spectrum.data, spec);
    EXPECT_TRUE(allZero(engine->inputframe));
    EXPECT_TRUE(allZero(engine->lastphase));
    EXPECT_TRUE(allZero(engine->history));
    EXPECT_TRUE(allZero(engine->onsetmarks));
    EXPECT_EQ(engine->busspectra.count, 0u);
    EXPECT_EQ(engine->busoutputs.count, 0u);
    EXPECT_EQ(engine->busspectra.capacity, 4u);
    EXPECT_EQ(engine->inonset, 0);
    EXPECT_EQ(engine->detectednote, 0.0);
    EXPECT_EQ(engine->detectiongate, 0.0);
    EXPECT_EQ(engine->inputlevel, 0.0);
    EXPECT_EQ(engine->wantpitch, 0);
    EXPECT_EQ(engine->ratiochanges, 0);
    EXPECT_EQ(engine->framefill, engine->refillpos);
    EXPECT_EQ(engine->windowrotation, 0);
    EXPECT_EQ(engine->historypos, 0);
    EXPECT_DOUBLE_EQ(engine->binwidth, 48000.0 / 2048);

    // Left alone: voices, dry ring, filter memory, followers, yin table, modulator scratch.
    ASSERT_EQ(engine->voicestates.count, 1u);
    EXPECT_EQ(engine->voicestates[0], voice);
    EXPECT_EQ(voice->phases.data[3], 2.0);
    EXPECT_EQ(engine->drydata[5], 0.5);
    EXPECT_EQ(engine->drywritepos, 17u);
    EXPECT_EQ(engine->dryowned, 1);
    EXPECT_EQ(engine->dcblocker.state.memory[0].w1, w1);
    EXPECT_EQ(engine->dcblocker.state.vsa, vsa);
    EXPECT_EQ(engine->faststate, 0.125);
    EXPECT_EQ(engine->slowstate, 0.0625);
    EXPECT_EQ(engine->yintable[10], 0.3);
    EXPECT_EQ(engine->randmultiplier, 1664525u);
    EXPECT_EQ(engine->envholdlength, 5);
    EXPECT_EQ(engine->envupper, 0.22);
    EXPECT_EQ(engine->enginerate, 48000.0);
}

TEST(PitchEngine, ReinitAcross96kHzDoublesEveryFrameArray)
{
    auto engine = engineAt(44100.0);
    addVoice(*engine);
    engine->addbuffer();
    engine->init(96000.0);

    EXPECT_EQ(engine->fftsize, 4096);
    EXPECT_EQ(engine->hopsize, 512);
    for (const pbkbuffer<double>* b : {&engine->analysiswindow, &engine->inputframe, &engine->spectrum,
                                      &engine->synthspectrum, &engine->envelope, &engine->pitchframe})
    {
        EXPECT_EQ(b->count, 4096u);
        EXPECT_EQ(b->capacity, 4096u);
    }
    EXPECT_EQ(engine->lastphase.count, 2048u);
    EXPECT_EQ(engine->history.capacity, 16384u);
    EXPECT_EQ(engine->onsetmarks.capacity, 16384u);
    EXPECT_EQ(engine->historyhalf, 8192);
    EXPECT_TRUE(allZero(engine->inputframe));
    EXPECT_EQ(engine->busspectra.count, 0u);
    // The voice records wait for the model to rebuild them.
    EXPECT_EQ(engine->voicestates[0]->phases.count, 1024u);

    engine->addbuffer();
    EXPECT_EQ(engine->busspectra[0]->count, 4096u);
    EXPECT_EQ(engine->busoutputs[0]->count, 4096u);

    engine->init(44100.0);
    EXPECT_EQ(engine->fftsize, 2048);
    EXPECT_EQ(engine->analysiswindow.capacity, 2048u);
    EXPECT_EQ(engine->history.capacity, 8192u);
    EXPECT_EQ(engine->fftip[0], 512);
}

TEST(PitchEngine, RateThatIsNotFiniteOrBelowOneLeavesTheEngineAsItWas)
{
    auto engine = engineAt(48000.0);
    engine->addbuffer();
    fill(engine->inputframe, 0.75);
    engine->detectednote = 40;
    const double a1 = engine->dcblocker.stage.a1;

    for (double rate : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(), 0.0, 0.999, -44100.0})
    {
        engine->init(rate);
        EXPECT_EQ(engine->samplerate, 48000.0) << rate;
        EXPECT_EQ(engine->fftsize, 2048) << rate;
        EXPECT_DOUBLE_EQ(engine->hoprate, 48000.0 / 256) << rate;
        EXPECT_EQ(engine->busspectra.count, 1u) << rate;
        EXPECT_EQ(engine->inputframe[7], 0.75) << rate;
        EXPECT_EQ(engine->detectednote, 40.0) << rate;
        EXPECT_EQ(engine->dcblocker.stage.a1, a1) << rate;
    }
    engine->init(1.0);
    EXPECT_EQ(engine->samplerate, 1.0);
}

TEST(PitchEngine, AddbufferAppendsZeroedBusesInOrder)
{
    auto engine = engineAt(44100.0);
    EXPECT_EQ(engine->busspectra.count, 0u);
    engine->addbuffer();
    ASSERT_EQ(engine->busspectra.count, 1u);
    ASSERT_EQ(engine->busoutputs.count, 1u);
    EXPECT_EQ(engine->busspectra[0]->count, 2048u);
    EXPECT_EQ(engine->busoutputs[0]->count, 2048u);
    EXPECT_TRUE(allZero(*engine->busspectra[0]));
    EXPECT_TRUE(allZero(*engine->busoutputs[0]));

    const pbkbuffer<double>* bus0 = engine->busoutputs[0];
    fill(*engine->busoutputs[0], 3.0);
    engine->addbuffer();
    engine->addbuffer();
    ASSERT_EQ(engine->busoutputs.count, 3u);
    EXPECT_EQ(engine->busoutputs.capacity, 4u);
    EXPECT_EQ(engine->busoutputs[0], bus0);
    EXPECT_EQ((*engine->busoutputs[0])[100], 3.0);
    EXPECT_TRUE(allZero(*engine->busspectra[2]));
    EXPECT_TRUE(allZero(*engine->busoutputs[2]));
    EXPECT_NE(engine->busspectra[2]->data, engine->busoutputs[2]->data);
}

TEST(PitchEngine, DryRingRebuildGivesZeroedOwnedStorage)
{
    auto engine = engineAt(44100.0);
    engine->rebuilddry(1792);
    ASSERT_NE(engine->drydata, nullptr);
    EXPECT_EQ(engine->dryringlength, 1792u);
    EXPECT_EQ(engine->drycapacity, 1792u);
    EXPECT_EQ(engine->dryowned, 1);
    for (std::uint64_t i = 0; i < 1792; ++i)
        ASSERT_EQ(engine->drydata[i], 0.0);

    engine->drywritepos = 1700;
    engine->drydata[3] = 1.0;
    engine->rebuilddry(1536);
    EXPECT_EQ(engine->drywritepos, 1535u);
    EXPECT_EQ(engine->drydata[3], 0.0);
    engine->drywritepos = 100;
    engine->rebuilddry(3584);
    EXPECT_EQ(engine->drywritepos, 100u);
    EXPECT_EQ(engine->dryringlength, 3584u);
}

TEST(PitchBuffer, ResizeKeepsElementsAndReplacesStorageOnlyOnANewSize)
{
    pbkbuffer<double> b;
    b.resize(4);
    EXPECT_EQ(b.count, 4u);
    EXPECT_EQ(b.capacity, 4u);
    for (std::uint64_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(b[i], 0.0);
        b[i] = static_cast<double>(i + 1);
    }
    const double* storage = b.data;
    b.resize(4);
    EXPECT_EQ(b.data, storage);

    b.resize(6);
    EXPECT_EQ(b.capacity, 6u);
    EXPECT_EQ(b[3], 4.0);
    EXPECT_EQ(b[5], 0.0);
    b.resize(2);
    EXPECT_EQ(b.capacity, 2u);
    EXPECT_EQ(b[1], 2.0);
    b.resize(0);
    EXPECT_EQ(b.capacity, 0u);
    EXPECT_EQ(b.data, nullptr);
}
} // namespace
