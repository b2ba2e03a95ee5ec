#include "dsp/pbkpitchshift.h"

#include "allocation_counter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <tuple>

namespace
{

std::unique_ptr<pbkpitchshift> engineAt(double rate)
{
    auto engine = std::make_unique<pbkpitchshift>();
    engine->init(rate);
    return engine;
}

template <typename T>
bool allZero(const pbkbuffer<T>& buffer)
{
    return std::all_of(buffer.data, buffer.data + buffer.count, [](T x) { return x == T{}; });
}

// The sizes init derives from the rate; the delays they make, its windows and filters are measured on the
// block driver's and the frame's output.
TEST(PitchEngine, InitDerivesTheSizesFromTheRate)
{
    // rate, frame N, hop H
    using row = std::tuple<double, std::int64_t, std::int64_t>;
    const row rows[] = {{44100.0, 2048, 256}, {95999.99, 2048, 256}, {96000.0, 4096, 512}, {192000.0, 4096, 512}};
    for (const auto& [rate, n, h] : rows)
    {
        SCOPED_TRACE(rate);
        auto engine = engineAt(rate);
        EXPECT_EQ(engine->fftsize, n);
        EXPECT_EQ(engine->hopsize, h);
    }
}

// Same size class: storage reused without allocating, everything a running engine leaves behind
// cleared; voices, dry ring and filter memory left to their owners.
TEST(PitchEngine, ReinitAtANewRateClearsStateAndKeepsWhatOthersOwn)
{
    auto engine = engineAt(44100.0);
    engine->voicestates.append(new pbkvoicestate());
    for (int i = 0; i < 3; ++i)
        engine->addbuffer();
    engine->rebuilddry(1792);
    engine->drydata[5] = 0.5;
    engine->inputframe[7] = engine->history[9] = engine->lastphase[3] = 0.25;
    engine->onsetmarks[9] = 1501;
    engine->detectednote = engine->detectiongate = engine->inputlevel = 0.4;
    engine->historypos = engine->inonset = engine->ratiochanges = engine->wantpitch = engine->framegap = 3;
    double x[3] = {1, 2, 3};
    engine->dcblocker.process(3, x);
    const double w1 = engine->dcblocker.state.memory[0].w1;
    const double* frame = engine->inputframe.data;
    const std::uint64_t before = allocation_counter::count();
    engine->init(48000.0);
    EXPECT_EQ(allocation_counter::count(), before);
    EXPECT_EQ(engine->inputframe.data, frame);
    for (const pbkbuffer<double>* cleared : {&engine->inputframe, &engine->history, &engine->lastphase})
        EXPECT_TRUE(allZero(*cleared));
    EXPECT_TRUE(allZero(engine->onsetmarks));
    for (const double cleared : {engine->detectednote, engine->detectiongate, engine->inputlevel})
        EXPECT_EQ(cleared, 0.0);
    for (const std::int64_t cleared :
         {engine->historypos, std::int64_t{engine->inonset}, std::int64_t{engine->ratiochanges},
          std::int64_t{engine->wantpitch}, engine->framegap})
        EXPECT_EQ(cleared, 0);
    EXPECT_EQ(engine->busspectra.count + engine->busoutputs.count, 0u);
    EXPECT_EQ(engine->framefill, engine->refillpos);
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
