#include "engine/ppatch.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace
{
struct Model
{
    pguitools tools;
    pprojdata model;

    explicit Model(double rate)
    {
        model.tools = &tools;
        model.pushglobalparams();
        model.initpbm(rate);
    }
};

double axisposition(double k, double d)
{
    return (std::log2(k / d) + 9.0) / 9.0;
}

struct RateCase
{
    double rate;
    std::int64_t fftsize;
    std::uint64_t d;
};

class InitpbmAtRate : public ::testing::TestWithParam<RateCase>
{
};
} // namespace

TEST_P(InitpbmAtRate, SizesAxisAndEqBuffers)
{
    const RateCase c = GetParam();
    Model m(c.rate);
    EXPECT_EQ(m.model.samplerate(), c.rate);
    EXPECT_EQ(m.model.engines[0].fftsize, c.fftsize);
    EXPECT_EQ(m.model.engines[1].fftsize, c.fftsize);
    EXPECT_EQ(m.model.engines[0].enginerate, c.rate);
    ASSERT_EQ(m.model.axiscount, c.d);

    const double d = static_cast<double>(c.d);
    const double a = axisposition(3.0, d);
    EXPECT_EQ(m.model.freqaxis[0], 0.0);
    EXPECT_DOUBLE_EQ(m.model.freqaxis[1], 0.25 * a);
    EXPECT_DOUBLE_EQ(m.model.freqaxis[2], 0.5 * a);
    for (std::uint64_t k = 3; k < c.d; ++k)
        ASSERT_DOUBLE_EQ(m.model.freqaxis[k], axisposition(static_cast<double>(k), d)) << "bin " << k;
    EXPECT_LT(m.model.freqaxis[c.d - 1], 1.0);
    EXPECT_GT(m.model.freqaxis[c.d - 1], 0.99);

    // Bin k of frequency k * sr / N sits at (log2(f / F) + 9) / 9, F = 22.05 kHz above 44.1 kHz.
    const double top = c.rate > 44100.0 ? 22050.0 : c.rate / 2.0;
    const std::uint64_t k = c.d / 2;
    const double f = static_cast<double>(k) * c.rate / static_cast<double>(c.fftsize);
    EXPECT_NEAR(m.model.freqaxis[k], (std::log2(f / top) + 9.0) / 9.0, 2e-3);

    const auto e = m.model.newpatch(false, pkindeq);
    const ppatchchannel& ch = m.model.patches[e]->channels[0];
    EXPECT_EQ(ch.bufferlength, static_cast<std::uint64_t>(c.fftsize / 2));
    EXPECT_EQ(m.model.patches[e]->channels[1].bufferlength, static_cast<std::uint64_t>(c.fftsize / 2));

    EXPECT_DOUBLE_EQ(m.tools.historystep, 264.0 / (5.0 * c.rate));
    EXPECT_EQ(m.model.engines[0].voicestates[0]->phases.count, static_cast<std::uint64_t>(c.fftsize / 2));
}

INSTANTIATE_TEST_SUITE_P(Rates, InitpbmAtRate,
                         ::testing::Values(RateCase{44100.0, 2048, 1024}, RateCase{48000.0, 2048, 940},
                                           RateCase{96000.0, 4096, 940}, RateCase{192000.0, 4096, 470},
                                           RateCase{22050.0, 2048, 1024}),
                         [](const ::testing::TestParamInfo<RateCase>& info) {
                             return std::to_string(static_cast<int>(info.param.rate)) + "Hz";
                         });

TEST(Initpbm, AxisAt44100)
{
    Model m(44100.0);
    EXPECT_NEAR(m.model.freqaxis[1023], 0.99984, 1e-5);
    EXPECT_DOUBLE_EQ(m.model.freqaxis[512], 8.0 / 9.0);
}

TEST(Initpbm, At96000TheEqRepeatsPastTheAxis)
{
    Model m(96000.0);
    const auto e = m.model.newpatch(false, pkindeq);
    ppatchmod* eq = m.model.patches[e];
    for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
        eq->params[ppatchcurvefirst + i]->setnorm(static_cast<double>(i) / 63.0);
    m.model.recalcpatchstate(e);
    const ppatchchannel& ch = eq->channels[0];
    ASSERT_EQ(ch.bufferlength, 2048u);
    EXPECT_LT(ch.buffer[800], ch.buffer[939]); // bin 800 still reads point 62
    for (std::uint64_t k = 940; k < 2048; ++k)
        ASSERT_EQ(ch.buffer[k], ch.buffer[939]);
}

TEST(Initpbm, FirstCallMakesTheDefaultVoice)
{
    pprojdata model; // no holder: nothing of the editor is touched
    model.pushglobalparams();
    EXPECT_EQ(model.voices.count, 0u);
    model.initpbm(44100.0);
    EXPECT_EQ(model.voices.count, 1u);
    EXPECT_EQ(model.voicecount, 1u);
    EXPECT_EQ(model.engines[0].voicestates.count, 1u);
    EXPECT_EQ(model.engines[1].voicestates.count, 1u);
}

TEST(Initpbm, SecondCallKeepsVoicesAndRebuildsTheirRecords)
{
    Model m(44100.0);
    m.model.newvoice();
    m.model.newvoice();
    for (pbkpitchshift& e : m.model.engines)
        for (std::uint64_t v = 0; v < 3; ++v)
        {
            e.voicestates[v]->ratio = 2.0;
            e.voicestates[v]->harmonyratio = 1.25;
            e.voicestates[v]->phases[5] = 3.0;
        }
    pparvoice* second = m.model.voices[1];
    second->params[pvoicepitch]->setnorm(0.75);

    m.model.initpbm(96000.0);
    ASSERT_EQ(m.model.voices.count, 3u);
    EXPECT_EQ(m.model.voices[1], second);
    EXPECT_EQ(second->params[pvoicepitch]->norm, 0.75);
    for (const pbkpitchshift& e : m.model.engines)
    {
        ASSERT_EQ(e.voicestates.count, 3u);
        for (std::uint64_t v = 0; v < 3; ++v)
        {
            EXPECT_EQ(e.voicestates[v]->ratio, 1.0);
            EXPECT_EQ(e.voicestates[v]->harmonyratio, 1.0);
            EXPECT_EQ(e.voicestates[v]->phases.count, 2048u);
            EXPECT_EQ(e.voicestates[v]->phases[5], 0.0);
        }
    }
}

TEST(Initpbm, ResetsSelectionsPageAndGraph)
{
    Model m(44100.0);
    m.model.newvoice();
    m.model.selectedvoice = 1;
    m.model.selectedpatch = 4;
    m.model.modtarget = 2;
    m.model.page = 12;
    for (auto& pixel : m.tools.graphpixels)
        pixel = 9;
    m.model.initpbm(48000.0);
    EXPECT_EQ(m.model.selectedvoice, 0u);
    EXPECT_EQ(m.model.selectedpatch, 0u);
    EXPECT_EQ(m.model.modtarget, 0u);
    EXPECT_EQ(m.model.page, 0);
    for (const auto& pixel : m.tools.graphpixels)
        ASSERT_EQ(pixel.load(), 0);
}

TEST(Initpbm, RebuildsPatchStateAtTheNewSize)
{
    Model m(44100.0);
    const auto e = m.model.newpatch(false, pkindeq);
    const auto h = m.model.newpatch(false, pkindharmony);
    const auto d = m.model.newpatch(false, pkinddelay);
    m.model.patches[d]->channels[0].modstarted = 1;
    m.model.patches[d]->channels[1].modstarted = 1;
    ASSERT_EQ(m.model.patches[e]->channels[0].bufferlength, 1024u);

    m.model.initpbm(192000.0);
    EXPECT_EQ(m.model.patches[e]->channels[0].bufferlength, 2048u);
    EXPECT_EQ(m.model.patches[e]->channels[0].modstarted, 1u);
    EXPECT_NEAR(m.model.patches[e]->channels[0].buffer[2047], 1.0, 1e-12);
    EXPECT_EQ(m.model.patches[h]->channels[0].bufferlength, 12u);
    EXPECT_EQ(m.model.patches[h]->channels[0].modstarted, 1u);
    // Delay lines are made again on their next hop.
    EXPECT_EQ(m.model.patches[d]->channels[0].modstarted, 0u);
    EXPECT_EQ(m.model.patches[d]->channels[1].modstarted, 0u);
}

TEST(Initpbm, ImpossibleRateKeepsTheCurrentOne)
{
    Model m(48000.0);
    m.model.initpbm(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(m.model.samplerate(), 48000.0);
    EXPECT_EQ(m.model.axiscount, 940u);
    m.model.initpbm(0.5);
    m.model.initpbm(-44100.0);
    m.model.initpbm(std::numeric_limits<double>::infinity());
    EXPECT_EQ(m.model.samplerate(), 48000.0);
    EXPECT_EQ(m.model.engines[0].samplerate, 48000.0);

    pprojdata fresh;
    fresh.initpbm(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(fresh.samplerate(), 44100.0);
    EXPECT_EQ(fresh.axiscount, 1024u);
}

TEST(ModelConstruction, StartValues)
{
    pprojdata model;
    EXPECT_EQ(model.params.count, 0u);
    EXPECT_EQ(model.voices.capacity, 2u);
    EXPECT_EQ(model.patches.capacity, 2u);
    EXPECT_EQ(model.midirecords.capacity, 2u);
    EXPECT_EQ(model.coarsepitch, 0.5);
    EXPECT_EQ(model.coarsedelay, 0.5);
    EXPECT_EQ(model.mixoffset, 0u);
    EXPECT_EQ(model.mixrows, 8u);
    EXPECT_EQ(model.pendingkind, 0);
    EXPECT_TRUE(model.pendingtext.empty());
    for (const pbkpitchshift& e : model.engines)
    {
        EXPECT_EQ(e.randmultiplier, 1664525u);
        EXPECT_EQ(e.randincrement, 32767u);
        EXPECT_EQ(e.envupper, 0.22);
        EXPECT_EQ(e.envlower, 0.1694);
    }
}
