#include "dsp/pbkpitchshift.h"

#include "allocation_counter.h"
#include "foundation/comath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace
{
using comath::pi;

std::unique_ptr<pbkpitchshift> engineAt(double rate)
{
    auto engine = std::make_unique<pbkpitchshift>();
    engine->init(rate);
    return engine;
}

template <typename T>
bool allEqual(const pbkbuffer<T>& buffer, T value)
{
    for (std::uint64_t i = 0; i < buffer.count; ++i)
        if (buffer[i] != value)
            return false;
    return true;
}

// Every size, rate, window and filter that init derives from the rate.
TEST(PitchEngine, InitDerivesSizesWindowsFiltersAndFftTablesFromTheRate)
{
    const struct
    {
        double rate;
        std::int64_t n;
        std::int64_t h;
    } rows[] = {
        {44100.0, 2048, 256}, {48000.0, 2048, 256}, {95999.99, 2048, 256}, {96000.0, 4096, 512}, {192000.0, 4096, 512},
    };
    for (const auto& [rate, n, h] : rows)
    {
        SCOPED_TRACE(rate);
        auto engine = engineAt(rate);
        const std::int64_t k = n / 2048;
        const struct
        {
            const char* name;
            std::int64_t value;
            std::int64_t expected;
        } sizes[] = {
            {"fftsize", engine->fftsize, n},
            {"hopsize", engine->hopsize, h},
            {"overlapsize", engine->overlapsize, n - h},
            {"halfsize", engine->halfsize, n / 2},
            {"framesize", engine->framesize, n},
            {"refillpos", engine->refillpos, n - h},
            {"windowlength", engine->windowlength, n},
            {"shortdrylength", engine->shortdrylength, n - 2 * h},
            {"spectrumlength", engine->spectrumlength, n},
            {"framefill", engine->framefill, n - h},
            {"levelstart", engine->levelstart, 640 * k},
            {"levelcount", engine->levelcount, 768 * k},
            {"historyhalf", engine->historyhalf, 4096 * k},
        };
        for (const auto& size : sizes)
            EXPECT_EQ(size.value, size.expected) << size.name;
        EXPECT_DOUBLE_EQ(engine->hoprate, rate / static_cast<double>(h));
        EXPECT_DOUBLE_EQ(engine->binwidth, rate / static_cast<double>(n));
        EXPECT_DOUBLE_EQ(engine->phaseadvance, pi / 4);
        const auto un = static_cast<std::uint64_t>(n);
        for (const pbkbuffer<double>* b : {&engine->analysiswindow, &engine->inputframe, &engine->spectrum,
                                           &engine->synthspectrum, &engine->envelope, &engine->pitchframe})
            EXPECT_EQ(b->capacity, un);
        EXPECT_EQ(engine->lastphase.count, un / 2);
        EXPECT_EQ(engine->history.capacity, 4 * un);
        EXPECT_EQ(engine->onsetmarks.capacity, 4 * un);
        // Welch: 1 - (j / (M - 1))^2 outward from the middle, M = N/2, mirrored.
        const auto m = un / 2;
        const pbkbuffer<double>& welch = engine->analysiswindow;
        EXPECT_EQ(welch[0], 0.0);
        for (std::uint64_t j = 0; j < m; ++j)
        {
            const double x = static_cast<double>(j) / static_cast<double>(m - 1);
            ASSERT_DOUBLE_EQ(welch[m + j], 1 - x * x) << j;
            ASSERT_EQ(welch[m - 1 - j], welch[m + j]) << j;
        }
        // Hann of 3000 points that stops short of zero at both ends.
        ASSERT_EQ(engine->onsetwindow.count, 3000u);
        for (std::uint64_t i = 0; i < 3000; ++i)
        {
            const double hann = 0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(i + 1) / 3001);
            ASSERT_DOUBLE_EQ(engine->onsetwindow[i], hann) << i;
        }

        const double cot = 1 / std::tan(pi * 5 / rate);
        EXPECT_NEAR(engine->dcblocker.stage.a1, -(cot - 1) / (cot + 1), 1e-15);
    }
}

// Same size class: storage reused without allocating; voices, dry ring and filter memory left to their owners.
TEST(PitchEngine, ReinitAtANewRateClearsStateAndKeepsWhatOthersOwn)
{
    auto engine = engineAt(44100.0);
    engine->voicestates.append(new pbkvoicestate());
    for (int i = 0; i < 3; ++i)
        engine->addbuffer();
    engine->rebuilddry(1792);
    engine->drydata[5] = 0.5;
    engine->inputframe[7] = 0.25;
    engine->detectednote = 57;
    engine->framefill = 2000;
    // What a running engine leaves behind: detector history and marks, phases, positions, flags.
    engine->history[9] = 0.5;
    engine->onsetmarks[9] = 1501;
    engine->historypos = 4096;
    engine->lastphase[3] = 1.0;
    engine->inonset = 1;
    engine->ratiochanges = 3;
    engine->wantpitch = 1;
    engine->detectiongate = 0.2;
    engine->framegap = 17;
    engine->inputlevel = 0.4;
    double x[3] = {1, 2, 3};
    engine->dcblocker.process(3, x);
    const double w1 = engine->dcblocker.state.memory[0].w1;
    const double* frame = engine->inputframe.data;
    const std::uint64_t before = allocation_counter::count();
    engine->init(48000.0);
    EXPECT_EQ(allocation_counter::count(), before);
    EXPECT_EQ(engine->inputframe.data, frame);
    EXPECT_TRUE(allEqual(engine->inputframe, 0.0));
    EXPECT_EQ(engine->busspectra.count, 0u);
    EXPECT_EQ(engine->busoutputs.count, 0u);
    EXPECT_EQ(engine->detectednote, 0.0);
    EXPECT_EQ(engine->framefill, engine->refillpos);
    EXPECT_TRUE(allEqual(engine->history, 0.0));
    EXPECT_TRUE(allEqual(engine->onsetmarks, 0));
    EXPECT_TRUE(allEqual(engine->lastphase, 0.0));
    EXPECT_EQ(engine->historypos, 0);
    EXPECT_EQ(engine->inonset, 0);
    EXPECT_EQ(engine->ratiochanges, 0);
    EXPECT_EQ(engine->wantpitch, 0);
    EXPECT_EQ(engine->framegap, 0);
    EXPECT_EQ(engine->detectiongate, 0.0);
    EXPECT_EQ(engine->inputlevel, 0.0);
    EXPECT_DOUBLE_EQ(engine->binwidth, 48000.0 / 2048);
    EXPECT_EQ(engine->voicestates.count, 1u);
    EXPECT_EQ(engine->drydata[5], 0.5);
    EXPECT_EQ(engine->dcblocker.state.memory[0].w1, w1);
}

TEST(PitchEngine, RateThatIsNotFiniteOrBelowOneLeavesTheEngineAsItWas)
{
    auto engine = engineAt(48000.0);
    engine->addbuffer();
    engine->inputframe[7] = 0.75;
    const double a1 = engine->dcblocker.stage.a1;
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (double rate : {std::numeric_limits<double>::quiet_NaN(), inf, -inf, 0.0, 0.999, -44100.0})
    {
        SCOPED_TRACE(rate);
        engine->init(rate);
        EXPECT_EQ(engine->samplerate, 48000.0);
        EXPECT_EQ(engine->busspectra.count, 1u);
        EXPECT_EQ(engine->inputframe[7], 0.75);
        EXPECT_EQ(engine->dcblocker.stage.a1, a1);
    }
    engine->init(1.0);
    EXPECT_EQ(engine->samplerate, 1.0);
}

// A second bus leaves the first, and what it holds, in place (the voice bus test measures the zeroing).
TEST(PitchEngine, AddbufferKeepsEarlierBuses)
{
    auto engine = engineAt(44100.0);
    engine->addbuffer();
    pbkbuffer<double>* bus0 = engine->busoutputs[0];
    (*bus0)[100] = 3.0;
    engine->addbuffer();
    EXPECT_EQ(engine->busoutputs[0], bus0);
    EXPECT_EQ((*bus0)[100], 3.0);
    EXPECT_NE(engine->busspectra[1]->data, engine->busoutputs[1]->data);
}
} // namespace
