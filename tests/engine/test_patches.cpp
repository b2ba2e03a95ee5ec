#include "controlfixture.h"
#include "engine/patchparams.h"
#include "engine/pparam.h"
#include "engine/ppatch.h"
#include "engine/pprojdata.h"
#include "eventmodel.h"
#include "kit/pguitools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace
{
// A model set up as the processor does it, with one voice, and a way to set a whole EQ curve.
struct Model : controlmodel
{
    pguitools& tools = instance.controller.tools;
    void setcurve(std::uint64_t p, const std::function<double(std::uint64_t)>& norm)
    {
        for (std::uint64_t i = 0; i < peqcurvepoints; ++i)
            param(p, ppatchcurvefirst + i).setnorm(norm(i));
        model.recalcpatchstate(p);
    }
};

double decibels(double db)
{
    return std::pow(10.0, db / 20.0);
}
} // namespace

TEST(Patches, NewPatchMakesTheKindAskedForOrThePendingOne)
{
    Model m;
    EXPECT_EQ(m.model.newpatch(false, 5), 0u); // no such kind: nothing made
    EXPECT_EQ(m.model.newpatch(true, -1), 0u); // no pending kind
    m.model.pendingkind = pkindeq;
    m.model.newpatch(true, -1); // the pending kind
    for (int kind : {pkindmodulator, pkinddelay, pkindharmony})
        m.model.newpatch(false, kind);
    EXPECT_EQ(structure(m.model), "voices 1/1 | patches 93003:0 93001:0 93002:0 93004:0 | assign");
}

TEST(Assignment, AssignReassignReleaseAndSlotReuseKeepCounts)
{
    Model m;
    m.model.newvoice();
    const std::uint64_t e1 = 0;
    const std::uint64_t h = 3;
    for (int kind : {pkindeq, pkindeq, pkinddelay, pkindharmony, pkindmodulator})
        m.model.newpatch(false, kind);
    // A second EQ releases the first; the same delay again changes nothing; a non-modulator's target is 0;
    // one modulator, two targets.
    // kind, voice, patch, target
    using assignment = std::tuple<std::int32_t, std::uint64_t, std::uint64_t, std::int64_t>;
    const assignment assigns[] = {
        {pkindeq, 0, 0, 0},
        {pkindeq, 0, 1, 0},
        {pkinddelay, 0, 2, 0},
        {pkinddelay, 0, 2, 0},
        {pkindharmony, 0, 3, 3},
        {pkindharmony, 1, 3, 0},
        {pkindmodulator, 0, 4, pvoicepitch},
        {pkindmodulator, 0, 4, pvoicepan},
    };
    for (const auto& [kind, voice, patch, target] : assigns)
        m.model.assignpatch(kind, voice, patch, target);
    EXPECT_EQ(structure(m.model), "voices 2/2 | patches 93003:0 93003:1 93002:1 93004:2 93001:2 | assign "
                                  "0>1/93003/0 0>2/93002/0 0>3/93004/0 0>4/93001/0 0>4/93001/2 1>3/93004/0");
    EXPECT_EQ(m.model.voices[0]->assignments[0]->amount, 1.0);
    // A new patch reuses the released EQ's slot; moving one voice to it releases one count.
    EXPECT_EQ(m.model.newpatch(true, pkindharmony), e1);
    m.model.assignpatch(pkindharmony, 1, e1, 0);
    EXPECT_EQ(m.patch(h).refcount, 1u);
    EXPECT_EQ(m.patch(e1).refcount, 1u);
    EXPECT_EQ(m.patch(e1).params.count, pharmonyparamcount);
    EXPECT_EQ(m.model.newpatch(true, pkindeq), 5u);  // no free slot left: appended
    EXPECT_EQ(m.model.newpatch(false, pkindeq), 6u); // reuse not asked for
}

// A loaded delay record with a target other than 0 is replaced whole, never only its count;
// indexes from outside are checked.
TEST(Assignment, ReplacingLoadedRecordsAndBadIndexes)
{
    Model m;
    const auto a = m.model.newpatch(false, pkinddelay);
    const auto b = m.model.newpatch(false, pkinddelay);
    auto* loaded = new ppatchassign;
    loaded->kind = pkinddelay;
    loaded->patch = a;
    loaded->target = 3;
    m.model.voices[0]->assignments.append(loaded);
    m.patch(a).refcount = 1;
    m.model.assignpatch(pkinddelay, 0, b, 0);
    m.model.assignpatch(pkinddelay, 5, a, 0); // no such voice
    m.model.assignpatch(pkinddelay, 0, 9, 0); // no such patch
    m.model.assignpatch(pkindeq, 0, a, 0);    // wrong kind for the patch
    m.model.assignpatch(93007, 0, a, 0);
    m.model.assignpatch(pkindnone, 0, a, 0);
    EXPECT_EQ(structure(m.model), "voices 1/1 | patches 93002:0 93002:1 | assign 0>1/93002/0");
}

TEST(Harmony, IntervalSetsAndRatios)
{
    Model m;
    const auto i = m.model.newpatch(false, pkindharmony);
    ppatchmod* h = &m.patch(i);
    const double sets[3][12] = {{4, 4, 3, 3, 3, 4, 4, 4, 4, 3, 3, 3},
                                {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 6},
                                {9, 9, 9, 9, 8, 9, 9, 9, 9, 8, 8, 8}};
    for (int set = 0; set < 3; ++set)
    {
        h->params[ppatchsource]->setvalue(set);
        m.model.recalcpatchstate(i);
        ASSERT_EQ(h->channels[0].bufferlength, 12u);
        for (std::uint64_t j = 0; j < 12; ++j)
        {
            EXPECT_EQ(h->params[ppatchintervalfirst + j]->value, sets[set][j]) << "set " << set << " step " << j;
            EXPECT_NEAR(h->channels[0].buffer[j], std::exp2(sets[set][j] / 12.0), 1e-12) << "set " << set;
        }
    }
    // The custom set keeps hand-edited intervals, negative ones included.
    h->params[ppatchsource]->setvalue(pharmonycustom);
    h->params[ppatchintervalfirst + 2]->setvalue(-24.0); // the fields' ends: two octaves each way
    h->params[ppatchintervalfirst + 3]->setvalue(24.0);
    m.model.recalcpatchstate(i);
    m.model.recalcpatchstate(12345); // out of range: nothing
    EXPECT_DOUBLE_EQ(h->channels[0].buffer[2], 0.25);
    EXPECT_DOUBLE_EQ(h->channels[0].buffer[3], 4.0);
}

TEST(EqCurve, FlatFullEmptyAndLogAxis)
{
    Model m;
    const auto e = m.model.newpatch(false, pkindeq);
    const ppatchchannel& ch = m.patch(e).channels[0];
    ASSERT_EQ(ch.bufferlength, 1024u);
    for (const double norm : {-1.0, 1.0, 0.0}) // -1: the flat curve a new EQ starts with
    {
        if (norm >= 0.0)
            m.setcurve(e, [norm](std::uint64_t) { return norm; });
        const double expected = norm < 0.0 ? 1.0 : decibels(norm * 24.0 - 12.0);
        for (std::uint64_t k = 0; k < 1024; ++k)
            ASSERT_NEAR(ch.buffer[k], expected, 1e-12) << norm << ", bin " << k;
    }
    m.setcurve(e, [](std::uint64_t i) { return static_cast<double>(i) / 63.0; });
    // Bin 512 sits at 8/9 of the axis, between points 56 and 57.
    const double f = 8.0 / 9.0 * 64.0 - 56.0;
    const double level = (f * 57.0 + (1.0 - f) * 56.0) / 63.0;
    EXPECT_NEAR(ch.buffer[512], decibels(level * 24.0 - 12.0), 1e-9);
    EXPECT_NEAR(ch.buffer[0], decibels(-12.0), 1e-12); // bin 0 reads point 0
    for (std::uint64_t k = 1; k < 1024; ++k)
        ASSERT_GE(ch.buffer[k], ch.buffer[k - 1]) << "bin " << k;
}

TEST(EqDisplay, SmoothedColumnHeights)
{
    Model m;
    const auto e = m.model.newpatch(false, pkindeq);
    auto column = [&](int c) { return m.tools.graphpixels[static_cast<std::uint64_t>(c)].load(); };
    m.model.recalcpatchgraph(e); // flat
    for (int c = 0; c < 512; ++c)
        ASSERT_EQ(column(c), c < 14 ? 247 : 256) << "column " << c;
    m.setcurve(e, [](std::uint64_t) { return 0.0; });
    m.model.recalcpatchgraph(e);
    for (int c = 0; c < 512; ++c)
        ASSERT_EQ(column(c), 0) << "column " << c;
    // Columns 497..511 read points 62 and 63 only: the window is full at the last column.
    m.setcurve(e, [](std::uint64_t i) { return i >= 62 ? 1.0 : 0.0; });
    m.model.recalcpatchgraph(e);
    EXPECT_EQ(column(511), 512);
    EXPECT_LT(column(496), 512);
    m.model.display = nullptr; // no holder: nothing to draw into, nothing breaks
    m.model.recalcpatchgraph(e);
}

TEST(MixPage, ScrollOffsetOnVoiceDeletion)
{
    // voices, offset, offset after the last voice is deleted: it drops only as far as needed to keep
    // the eight rows filled
    using row = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>;
    const row rows[] = {{10, 2, 1}, {9, 1, 0}, {8, 1, 0}, {12, 3, 3}, {12, 4, 3}};
    for (const auto& [voices, offset, after] : rows)
    {
        SCOPED_TRACE(::testing::Message() << voices << " voices, offset " << offset);
        Model m;
        while (m.model.voices.count < voices)
            m.model.newvoice();
        ASSERT_EQ(m.model.mixrows, 8u);
        m.model.mixoffset = offset;
        delete m.model.voices.remove(m.model.voices.count - 1);
        m.model.voicecountchanged(false);
        EXPECT_EQ(m.model.mixoffset, after);
    }
}

// The model writes the radio choice and hands back what it wrote; it never lights switches.
TEST(RadioWrite, WritesValueMinusOneAndReturnsTheParameter)
{
    // event, value, voice, parameter, which list holds the parameter written ("none": nothing is),
    // the switch value written
    using row = std::tuple<std::int32_t, double, std::uint64_t, std::uint64_t, const char*, std::int32_t>;
    const row rows[] = {
        {pevvoicemode, 3.0, 0, pvoicemode, "voice", 2},
        {pevvoicemode2, 2.0, 0, pvoicemode2, "voice", 1},
        {pevmonostereo, 1.0, 9, pglobalmonostereo, "global", 0}, // the voice does not matter
        {pevvoicemode, 0.0, 0, pvoicemode, "none", -1},
        {pevvoicemode, std::nan(""), 0, pvoicemode, "none", -1},
        {pevvoicemode, 2.0, 1, pvoicemode, "none", -1}, // no voice 1
        {pevvoicemode, 2.0, 0, 99, "none", -1},
        {pevmonostereo, 2.0, 0, 99, "none", -1},
    };
    for (const auto& [code, value, voice, param, written, lit] : rows)
    {
        SCOPED_TRACE(::testing::Message() << code << " value " << value << " param " << param);
        Model m;
        const std::string list = written;
        pparam* expected = list == "voice" ? m.model.voices[voice]->params[param]
                                           : (list == "global" ? m.model.params[param] : nullptr);
        pparam* p = m.model.setvoiceradio(code, value, voice, param);
        EXPECT_EQ(p, expected);
        EXPECT_EQ(p != nullptr ? p->intvalue.load() : -1, lit);
    }
}

namespace
{
constexpr double volumerange = 1.55324431506512;
constexpr double qnan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr bool bynorm = true;
constexpr bool byvalue = false;

pparam makeparam(pparamtype type, double min, double range)
{
    pparam p;
    p.type = type;
    p.min = min;
    p.range = range;
    return p;
}
} // namespace

TEST(ParameterMapping, SettersMapClampAndRound)
{
    // type, min, range, set by norm, input, expected value, norm and integer value
    using row = std::tuple<pparamtype, double, double, bool, double, double, double, std::int32_t>;
    const row rows[] = {
        {pparamlog, 0.0, volumerange, bynorm, 0.5, 0.23980086790, 0.5, 0},
        {pparamlog, 0.5, 2.0, bynorm, 0.0, 0.5, 0.0, 0},
        {pparamlog, 0.5, 2.0, bynorm, 1.0, 2.5, 1.0, 0},
        {pparamlog, 0.5, 2.0, byvalue, 2.5, 2.5, 1.0, 0},
        {pparamlog, 3.0, 0.0, byvalue, 3.0, 3.0, 0.0, 0}, // zero range: no division by zero
        {pparamlinear, -24.0, 48.0, byvalue, 4.0, 4.0, 28.0 / 48.0, 0},
        {pparamlinear, 0.0, 4.0, byvalue, 3.0, 3.0, 0.75, 0}, // intvalue only for integers
        {pparamint, 0.0, 4.0, bynorm, 0.6, 2.4, 0.6, 2},      // rounded half up from a norm
        {pparamint, 0.0, 4.0, bynorm, 0.7, 2.8, 0.7, 3},
        {pparamint, 0.0, 4.0, bynorm, 0.625, 2.5, 0.625, 3},
        {pparamint, 0.0, 4.0, byvalue, 2.8, 2.8, 0.7, 2}, // truncated from units
        {pparamlinear, 0.0, 1.0, byvalue, -3.0, 0.0, 0.0, 0},
        {pparamlinear, 0.0, 1.0, byvalue, 5.0, 1.0, 1.0, 0},
        {pparamlinear, 0.0, 1.0, bynorm, 1.5, 1.0, 1.0, 0},
        {pparamlinear, 0.0, 1.0, bynorm, -0.2, 0.0, 0.0, 0},
        {pparamlinear, -24.0, 48.0, byvalue, qnan, -24.0, 0.0, 0}, // not finite: the minimum
        {pparamlog, -24.0, 48.0, byvalue, inf, -24.0, 0.0, 0},
        {pparamint, 0.0, 4.0, bynorm, qnan, 0.0, 0.0, 0},
        {pparamlog, -24.0, 48.0, bynorm, -inf, -24.0, 0.0, 0},
    };
    for (const auto& [type, min, range, setnorm, input, value, norm, intvalue] : rows)
    {
        SCOPED_TRACE(::testing::Message() << "type " << type << ", " << min << " + " << range << ", input " << input);
        pparam p = makeparam(type, min, range);
        p.setnorm(0.4); // a previous value that must not survive
        setnorm ? p.setnorm(input) : p.setvalue(input);
        EXPECT_NEAR(p.value, value, 1e-10);
        EXPECT_NEAR(p.norm, norm, 1e-12);
        EXPECT_EQ(p.intvalue, intvalue);
    }
}

// Each field is stored whole: every value read is one some writer stored, never a mixture.
TEST(ParameterThreads, ReaderSeesOnlyStoredValues)
{
    pparam p = makeparam(pparamlog, 0.0, 6.474587245063127);
    pparam q = makeparam(pparamint, 0.0, 4.0);
    p.setnorm(0.25);
    const double lowvalue = p.value;
    p.setnorm(0.75);
    const double highvalue = p.value;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 100000; ++i)
        {
            p.setnorm(0.25);
            q.setvalue(1.0);
            p.setvalue(highvalue);
            q.setnorm(0.75);
        }
        done = true;
    });
    int bad = 0;
    for (long reads = 0; !done || reads < 1000; ++reads)
    {
        const double n = p.norm;
        const double v = p.value;
        const std::int32_t k = q.intvalue;
        bad += n != 0.25 && std::fabs(n - 0.75) > 1e-12 ? 1 : 0;
        bad += v != lowvalue && v != highvalue ? 1 : 0;
        bad += k != 0 && k != 1 && k != 3 ? 1 : 0;
    }
    writer.join();
    EXPECT_EQ(bad, 0);
}

// Over every parameter a model makes: norm 0 and 1 reach the ends of its range, its initial
// value is the one its norm maps to, and a value set in units reads back.
TEST(ParameterTables, EveryParameterSpansItsRangeAndStartsConsistent)
{
    pprojdata model;
    model.pushglobalparams();
    const double initialin = model.params[pglobalin]->norm;
    model.params[pglobalin]->setnorm(0.1);
    model.pushglobalparams(); // replaces the list, never appends to it
    ASSERT_EQ(model.params.count, static_cast<std::uint64_t>(pglobalparamcount));
    EXPECT_EQ(model.params[pglobalin]->norm, initialin);
    // log10(30) is rounded down, so the exact norm of the top would be a hair above 1.
    EXPECT_EQ(model.params[pglobalwet]->norm, 1.0);
    model.newvoice();
    for (const int kind : {pkindmodulator, pkinddelay, pkindeq, pkindharmony})
        model.newpatch(false, kind);
    std::vector<std::pair<std::string, const ocarray::ArrayPtr<pparam>*>> lists = {{"global", &model.params},
                                                                                   {"voice", &model.voices[0]->params}};
    for (std::uint64_t k = 0; k < model.patches.count; ++k)
        lists.emplace_back("patch kind " + std::to_string(model.patches[k]->kind), &model.patches[k]->params);
    for (const auto& [listname, list] : lists)
        for (std::uint64_t i = 0; i < list->count; ++i)
        {
            const pparam& initial = *(*list)[i];
            SCOPED_TRACE(::testing::Message() << listname << " parameter " << i << " \"" << initial.name.str() << "\"");
            ASSERT_GE(initial.norm, 0.0);
            ASSERT_LE(initial.norm, 1.0);
            pparam p = makeparam(initial.type, initial.min, initial.range);
            p.setnorm(initial.norm);
            EXPECT_NEAR(p.value, initial.value, 1e-9 * (1.0 + std::fabs(initial.value)));
            const bool integer = initial.type == pparamint;
            EXPECT_EQ(initial.intvalue, integer ? static_cast<std::int32_t>(std::lround(initial.value)) : 0);
            for (const double end : {0.0, 1.0})
            {
                p.setnorm(end);
                EXPECT_NEAR(p.value, initial.min + end * initial.range, 1e-12 * (1.0 + initial.range)) << end;
            }
            p.setvalue(initial.min + 0.25 * initial.range);
            EXPECT_NEAR(p.value, initial.min + 0.25 * initial.range, 1e-9);
        }
}

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
    EXPECT_EQ(m.model->voices[1], second);
    EXPECT_EQ(second->params[pvoicepitch]->norm, 0.75);
    for (const pbkpitchshift& en : m.model->engines)
    {
        ASSERT_EQ(en.voicestates.count, 3u);
        EXPECT_EQ(en.voicestates[2]->phases.count, 2048u);
        EXPECT_EQ(en.voicestates[2]->phases[5], 0.0);
    }
    const ppatchchannel& eq = m.model->patches[e]->channels[0];
    EXPECT_EQ(eq.bufferlength, 2048u);
    EXPECT_NEAR(eq.buffer[2047], 1.0, 1e-12);                   // flat over the new bins
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
    EXPECT_EQ(m.model->samplerate(), 48000.0);
    EXPECT_EQ(m.model->axiscount, 940u);
    EXPECT_EQ(fresh.samplerate(), 44100.0);
    EXPECT_EQ(fresh.axiscount, 1024u);
}
