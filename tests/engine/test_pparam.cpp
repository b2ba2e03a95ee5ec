#include "engine/pparam.h"
#include "engine/pprojdata.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

namespace
{
constexpr double volumerange = 1.55324431506512;
constexpr double qnan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

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
    enum Setter
    {
        bynorm,
        byvalue
    };
    struct Row
    {
        pparamtype type;
        double min;
        double range;
        Setter setter;
        double input;
        double value;
        double norm;
        std::int32_t intvalue;
    };
    const Row rows[] = {
        {pparamlog, 0.0, volumerange, bynorm, 0.5, 0.23980086790, 0.5, 0},
        {pparamlog, 0.5, 2.0, bynorm, 0.0, 0.5, 0.0, 0},
        {pparamlog, 0.5, 2.0, bynorm, 1.0, 2.5, 1.0, 0},
        {pparamlog, 0.5, 2.0, byvalue, 2.5, 2.5, 1.0, 0},
        {pparamlog, 3.0, 0.0, byvalue, 3.0, 3.0, 0.0, 0}, // zero range: no division by zero
        {pparamlinear, -24.0, 48.0, byvalue, 4.0, 4.0, 28.0 / 48.0, 0},
        {pparamlinear, 0.0, 4.0, byvalue, 3.0, 3.0, 0.75, 0}, // intvalue only for integers
        // Integers: rounded half up from a norm, truncated from units.
        {pparamint, 0.0, 4.0, bynorm, 0.6, 2.4, 0.6, 2},
        {pparamint, 0.0, 4.0, bynorm, 0.7, 2.8, 0.7, 3},
        {pparamint, 0.0, 4.0, bynorm, 0.625, 2.5, 0.625, 3},
        {pparamint, 0.0, 4.0, byvalue, 2.8, 2.8, 0.7, 2},
        // Clamping.
        {pparamlinear, 0.0, 1.0, byvalue, -3.0, 0.0, 0.0, 0},
        {pparamlinear, 0.0, 1.0, byvalue, 5.0, 1.0, 1.0, 0},
        {pparamlinear, 0.0, 1.0, bynorm, 1.5, 1.0, 1.0, 0},
        {pparamlinear, 0.0, 1.0, bynorm, -0.2, 0.0, 0.0, 0},
        // Non-finite input falls to the minimum, never into the model.
        {pparamlinear, -24.0, 48.0, byvalue, qnan, -24.0, 0.0, 0},
        {pparamlog, -24.0, 48.0, byvalue, inf, -24.0, 0.0, 0},
        {pparamint, 0.0, 4.0, bynorm, qnan, 0.0, 0.0, 0},
        {pparamlog, -24.0, 48.0, bynorm, -inf, -24.0, 0.0, 0},
    };
    for (const Row& r : rows)
    {
        SCOPED_TRACE(::testing::Message() << "row " << (&r - rows));
        pparam p = makeparam(r.type, r.min, r.range);
        p.setnorm(0.4); // a previous value that must not survive
        if (r.setter == bynorm)
            p.setnorm(r.input);
        else
            p.setvalue(r.input);
        EXPECT_NEAR(p.value, r.value, 1e-10);
        EXPECT_NEAR(p.norm, r.norm, 1e-12);
        EXPECT_EQ(p.intvalue, r.intvalue);
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
    int badnorms = 0;
    int badvalues = 0;
    int badints = 0;
    for (long reads = 0; !done || reads < 1000; ++reads)
    {
        const double n = p.norm;
        const double v = p.value;
        const std::int32_t k = q.intvalue;
        badnorms += n != 0.25 && std::fabs(n - 0.75) > 1e-12 ? 1 : 0;
        badvalues += v != lowvalue && v != highvalue ? 1 : 0;
        badints += k != 0 && k != 1 && k != 3 ? 1 : 0;
    }
    writer.join();
    EXPECT_EQ(badnorms, 0);
    EXPECT_EQ(badvalues, 0);
    EXPECT_EQ(badints, 0);
}

namespace
{
// One row of a parameter table: name, mapping (1 linear, 2 log, 3 integer), control (1 knob, 2 menu,
// 4 text field), style, range, and the initial value in units (or its norm where the table gives a norm).
struct paramrow
{
    const char* name;
    int type;
    int control;
    std::uint64_t style;
    double min;
    double max;
    double initial;
    bool initialnorm = false;
};

void expectparams(const ocarray::ArrayPtr<pparam>& list, std::uint64_t first, std::initializer_list<paramrow> rows)
{
    std::uint64_t i = first;
    for (const paramrow& r : rows)
    {
        SCOPED_TRACE(::testing::Message() << "parameter " << i << " \"" << r.name << "\"");
        const pparam& p = *list[i];
        EXPECT_EQ(p.name.str(), r.name);
        EXPECT_EQ(static_cast<int>(p.type), r.type);
        EXPECT_EQ(static_cast<int>(p.control), r.control);
        EXPECT_EQ(p.style, r.style);
        EXPECT_NEAR(p.min, r.min, 1e-12);
        EXPECT_NEAR(p.min + p.range, r.max, 1e-12);
        EXPECT_NEAR(r.initialnorm ? p.norm.load() : p.value.load(), r.initial, 1e-9);
        ++i;
    }
}
} // namespace

// Every parameter a model makes: mapping, control, style, range and initial value.
TEST(ParameterTables, GlobalVoiceAndPatchParameters)
{
    constexpr double wide = 6.474587245063127;
    pprojdata model;
    model.pushglobalparams();
    model.params[0]->setnorm(0.1);
    model.pushglobalparams(); // replaces the list, never appends to it
    ASSERT_EQ(model.params.count, 9u);
    EXPECT_NEAR(model.params[pglobalin]->norm, 0.50009791770, 5e-12);
    EXPECT_NEAR(model.params[pglobalvolume]->value, 0.99959267591, 5e-12);
    // log10(30) is rounded down, so the exact norm of the top would be a hair above 1.
    EXPECT_EQ(model.params[pglobalwet]->norm, 1.0);
    EXPECT_EQ(model.params[pglobalmonostereo]->intvalue, 1);
    expectparams(model.params, 0,
                 {
                     {"In", 2, 1, 0, 0, wide, 1.0},
                     {"Global Volume", 2, 1, 0, 0, wide, 0.5, true},
                     {"Dry Volume", 2, 1, 0, 0, 1, 0},
                     {"Wet Vol", 2, 1, 0, 0, 1, 1},
                     {"Detection Gate", 2, 1, 0, 0, 1.25, 0},
                     {"Mono Stereo", 3, 2, 0, 0, 1, 1},
                     {"Global XGate", 2, 1, 0, 0, wide, 1},
                     {"Global Feedback", 2, 1, 0, 0, wide, 1},
                     {"Show Note", 3, 2, 0, 0, 1, 1},
                 });
    model.newvoice();
    expectparams(model.voices[0]->params, 0,
                 {
                     {"Pitch", 1, 1, 1, 0, 1, 0.5},
                     {"Volume", 2, 1, 0, 0, volumerange, 0.5, true},
                     {"Pan", 1, 1, 0, 0, 2, 1},
                     {"Mode", 3, 2, 0, 0, 4, 0},
                     {"Formant Scale", 1, 1, 0, 0, 1, 0.5},
                     {"Formant Shift", 1, 1, 0, 0, 1, 0.5},
                     {"Mode2", 3, 2, 0, 0, 4, 0},
                 });
    for (const int kind : {pkindmodulator, pkinddelay, pkindeq, pkindharmony})
        model.newpatch(false, kind);
    expectparams(model.patches[0]->params, 0,
                 {
                     {"Amplitude 1", 1, 1, 0, 0, 1, 0.5},
                     {"Amplitude 2", 1, 1, 0, 0, 1, 0},
                     {"", 3, 2, 0, 0, 99, 0},
                     {"", 3, 2, 0, 0, 99, 1},
                     {"Speed", 1, 1, 0, 0, 10, 0.5},
                     {"Adjustment Mode", 3, 2, 0, 0, 3, 0},
                     {"MIDI CC", 3, 2, 0, 0, 127, 0},
                     {"Host Parameter", 3, 2, 1, 0, 127, 0},
                 });
    expectparams(model.patches[1]->params, 0,
                 {
                     {"Amplitude 1", 1, 1, 0, 0, 1, 0},
                     {"Amplitude 2", 1, 1, 0, 0, 1, 0},
                     {"", 3, 2, 0, 0, 99, 1},
                     {"", 3, 2, 0, 0, 99, 1},
                     {"Speed", 1, 1, 0, 0, 10, 0.5},
                     {"Delay", 1, 1, 1, 0, 1, 0.05},
                     {"Delay Feedback", 1, 1, 0, 0, 1, 0},
                     {"Delay Mix", 1, 1, 0, 0, 1, 1},
                 });
    expectparams(model.patches[2]->params, 0,
                 {
                     {"Amplitude 1", 1, 1, 0, 0, 1, 0.5},
                     {"Amplitude 2", 1, 1, 0, 0, 1, 0},
                     {"", 3, 2, 0, 0, 99, 1},
                     {"", 3, 2, 0, 0, 99, 1},
                     {"Speed", 1, 1, 0, 0, 10, 0.5},
                     {"", 1, 1, 0, 0, 1, 0},
                     {"", 1, 1, 0, 0, 1, 0.05},
                     {"", 1, 1, 0, 0, 1, 1},
                     {"", 1, 1, 0, 0, 1, 0.5},
                 });
    expectparams(model.patches[2]->params, 71, {{"", 1, 1, 0, 0, 1, 0.5}});
    expectparams(model.patches[3]->params, 0,
                 {
                     {"Smooth", 1, 1, 0, 0, 1, 0},
                     {"Detune", 1, 1, 0, 0, 1, 0.5},
                     {"", 3, 2, 0, 0, 99, 0},
                     {"", 3, 2, 0, 0, 99, 0},
                     {"Speed", 1, 1, 0, 0, 10, 0.5},
                     {"", 1, 4, 0, -24, 24, 4},
                 });
    // Interval set 0 (thirds) fills the intervals: 4 at the key, 3 at position 11.
    expectparams(model.patches[3]->params, 16, {{"", 1, 4, 0, -24, 24, 3}});
}
