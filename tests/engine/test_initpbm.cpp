#include "engine/ppatch.h"
#include "engine/pprojdata.h"
#include "eventmodel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

// Frame size, axis bins and EQ buffers at each rate a host uses.
TEST(Initpbm, SizesAxisAndEqBuffersFollowTheRate)
{
    // rate, frame N, axis bins D
    using row = std::tuple<double, std::int64_t, std::uint64_t>;
    const row rows[] = {{44100.0, 2048, 1024},
                        {48000.0, 2048, 940},
                        {96000.0, 4096, 940},
                        {192000.0, 4096, 470},
                        {22050.0, 2048, 1024}};
    for (const auto& [rate, fftsize, d] : rows)
    {
        SCOPED_TRACE(rate);
        eventmodel m(rate);
        EXPECT_EQ(m.model->engines[1].fftsize, fftsize);
        ASSERT_EQ(m.model->axiscount, d);
        const auto half = static_cast<std::uint64_t>(fftsize / 2);
        EXPECT_EQ(m.model->engines[0].voicestates[0]->phases.count, half);
        // Bins 1 and 2 sit at a quarter and a half of bin 3; the rest rise to just below 1.
        const double* axis = m.model->freqaxis;
        EXPECT_EQ(axis[0], 0.0);
        EXPECT_DOUBLE_EQ(axis[1], 0.25 * axis[3]);
        EXPECT_DOUBLE_EQ(axis[2], 0.5 * axis[3]);
        for (std::uint64_t k = 1; k < d; ++k)
            ASSERT_GT(axis[k], axis[k - 1]) << "bin " << k;
        // Bin k of frequency k * sr / N sits at (log2(f / F) + 9) / 9, F = 22.05 kHz above 44.1 kHz.
        const double top = std::min(rate / 2.0, 22050.0);
        const double f = static_cast<double>(d / 2) * rate / static_cast<double>(fftsize);
        EXPECT_NEAR(axis[d / 2], (std::log2(f / top) + 9.0) / 9.0, 2e-3);
        EXPECT_NEAR(axis[d - 1], 1.0, 2e-3);
        // EQ buffers cover every bin; bins past the axis repeat the last gain.
        const auto e = m.model->newpatch(false, pkindeq);
        ppatchmod* eq = m.model->patches[e];
        for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
            eq->params[ppatchcurvefirst + i]->setnorm(static_cast<double>(i) / 63.0);
        m.model->recalcpatchstate(e);
        const ppatchchannel& ch = eq->channels[0];
        ASSERT_EQ(ch.bufferlength, half);
        EXPECT_GT(ch.buffer[d - 1], ch.buffer[d / 2]);
        for (std::uint64_t b = d; b < half; ++b)
            ASSERT_EQ(ch.buffer[b], ch.buffer[d - 1]) << "bin " << b;
    }
}

TEST(Initpbm, SecondCallKeepsVoicesAndRebuildsState)
{
    eventmodel m;
    m.model->newvoice();
    m.model->newvoice();
    pparvoice* second = m.model->voices[1];
    second->params[pvoicepitch]->setnorm(0.75);
    m.model->engines[1].voicestates[2]->phases[5] = 3.0;
    const auto e = m.model->newpatch(false, pkindeq);
    const auto d = m.model->newpatch(false, pkinddelay);
    m.model->patches[d]->channels[0].modstarted = 1;
    m.model->initpbm(96000.0);
    ASSERT_EQ(m.model->voices.count, 3u);
    EXPECT_TRUE(m.model->voices[1] == second && second->params[pvoicepitch]->norm == 0.75);
    for (const pbkpitchshift& en : m.model->engines)
    {
        ASSERT_EQ(en.voicestates.count, 3u);
        EXPECT_TRUE(en.voicestates[2]->phases.count == 2048u && en.voicestates[2]->phases[5] == 0.0);
    }
    const ppatchchannel& eq = m.model->patches[e]->channels[0];
    EXPECT_TRUE(eq.bufferlength == 2048u && std::fabs(eq.buffer[2047] - 1.0) < 1e-12); // flat over the new bins
    EXPECT_EQ(m.model->patches[d]->channels[0].modstarted, 0u); // delay lines remade on their next hop
}

TEST(Initpbm, ImpossibleRateKeepsTheCurrentOne)
{
    eventmodel m(48000.0);
    pprojdata fresh;
    const double inf = std::numeric_limits<double>::infinity();
    for (double rate : {std::numeric_limits<double>::quiet_NaN(), 0.5, -44100.0, inf})
    {
        m.model->initpbm(rate);
        fresh.initpbm(rate);
    }
    EXPECT_TRUE(m.model->samplerate() == 48000.0 && m.model->axiscount == 940u);
    EXPECT_TRUE(fresh.samplerate() == 44100.0 && fresh.axiscount == 1024u);
}
