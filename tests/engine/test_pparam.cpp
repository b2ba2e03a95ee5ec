#include "engine/pparam.h"
#include "engine/ppatch.h"
#include "engine/pprojdata.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

namespace
{
constexpr double widerange = 6.474587245063127;
constexpr double volumerange = 1.55324431506512;

pparam makeparam(pparamtype type, double min, double range)
{
    pparam p;
    p.type = type;
    p.min = min;
    p.range = range;
    return p;
}
} // namespace

TEST(GlobalParameters, TableInStateTextOrder)
{
    pprojdata model;
    model.pushglobalparams();
    ASSERT_EQ(model.params.count, 9u);
    const char* names[] = {"In", "Global Volume", "Dry Volume", "Wet Vol", "Detection Gate",
                           "Mono Stereo", "Global XGate", "Global Feedback", "Show Note"};
    for (std::uint64_t i = 0; i < 9; ++i)
    {
        EXPECT_STREQ(model.params[i]->name.c_str(), names[i]);
        EXPECT_EQ(model.params[i]->min, 0.0);
        EXPECT_EQ(model.params[i]->style, 0u);
    }
    EXPECT_EQ(model.params[pglobalmonostereo]->type, pparamint);
    EXPECT_EQ(model.params[pglobalmonostereo]->control, pconmenu);
    EXPECT_EQ(model.params[pglobalgate]->range, 1.25);
    EXPECT_EQ(model.params[pglobalin]->type, pparamlog);
}

TEST(GlobalParameters, InitialValuesAtPrintedDigits)
{
    pprojdata model;
    model.pushglobalparams();
    // 1.0 in units of the wide range sits just above the middle of the knob.
    EXPECT_EQ(model.params[pglobalin]->value, 1.0);
    EXPECT_NEAR(model.params[pglobalin]->norm, 0.50009791770, 5e-12);
    // The middle of the knob is a hair below unity.
    EXPECT_EQ(model.params[pglobalvolume]->norm, 0.5);
    EXPECT_NEAR(model.params[pglobalvolume]->value, 0.99959267591, 5e-12);
    EXPECT_EQ(model.params[pglobaldry]->value, 0.0);
    EXPECT_EQ(model.params[pglobaldry]->norm, 0.0);
    // The top of a logarithmic range: K is log10(30) rounded down, so the exact norm would be
    // a hair above 1; it is held at 1.
    EXPECT_EQ(model.params[pglobalwet]->value, 1.0);
    EXPECT_EQ(model.params[pglobalwet]->norm, 1.0);
    EXPECT_EQ(model.params[pglobalmonostereo]->intvalue, 1);
    EXPECT_EQ(model.params[pglobalshownote]->intvalue, 1);
    EXPECT_EQ(model.params[pglobalxgate]->value, 1.0);
    EXPECT_EQ(model.params[pglobalfeedback]->value, 1.0);
}

TEST(GlobalParameters, PushglobalparamsReplacesTheList)
{
    pprojdata model;
    model.pushglobalparams();
    model.params[0]->setnorm(0.1);
    model.pushglobalparams();
    EXPECT_EQ(model.params.count, 9u);
    EXPECT_EQ(model.params[0]->value, 1.0);
}

TEST(ParameterMapping, VoiceVolumeMiddle)
{
    pparam p = makeparam(pparamlog, 0.0, volumerange);
    p.setnorm(0.5);
    EXPECT_NEAR(p.value, 0.2398008679, 1e-10);
}

TEST(ParameterMapping, LogarithmicEnds)
{
    pparam p = makeparam(pparamlog, 0.5, 2.0);
    p.setnorm(0.0);
    EXPECT_EQ(p.value, 0.5);
    p.setnorm(1.0);
    EXPECT_NEAR(p.value, 2.5, 1e-12);
    p.setvalue(2.5);
    EXPECT_EQ(p.norm, 1.0);
    p.setvalue(0.5);
    EXPECT_EQ(p.norm, 0.0);
}

TEST(ParameterMapping, LogarithmicRoundTrip)
{
    pparam p = makeparam(pparamlog, 0.0, widerange);
    for (double n = 0.0; n <= 1.0; n += 0.0625)
    {
        p.setnorm(n);
        const double v = p.value;
        p.setvalue(v);
        EXPECT_NEAR(p.norm, n, 1e-12) << "norm " << n;
    }
}

TEST(ParameterMapping, IntegerRoundingBothWays)
{
    pparam p = makeparam(pparamint, 0.0, 4.0);
    p.setnorm(0.6);
    EXPECT_NEAR(p.value, 2.4, 1e-12);
    EXPECT_EQ(p.intvalue, 2);
    p.setnorm(0.7);
    EXPECT_NEAR(p.value, 2.8, 1e-12);
    EXPECT_EQ(p.intvalue, 3); // from a normalised value: rounded half up
    p.setvalue(2.8);
    EXPECT_EQ(p.intvalue, 2); // from units: truncated
    EXPECT_NEAR(p.norm, 0.7, 1e-12);
    p.setnorm(0.625); // exactly 2.5
    EXPECT_EQ(p.intvalue, 3);
}

TEST(ParameterMapping, IntegerValueOnlyForIntegerType)
{
    pparam p = makeparam(pparamlinear, 0.0, 4.0);
    p.setvalue(3.0);
    EXPECT_EQ(p.intvalue, 0);
}

TEST(ParameterMapping, ClampsBothSetters)
{
    pparam p = makeparam(pparamlinear, 0.0, 1.0);
    p.setvalue(-3.0);
    EXPECT_EQ(p.value, 0.0);
    EXPECT_EQ(p.norm, 0.0);
    p.setvalue(5.0);
    EXPECT_EQ(p.value, 1.0);
    EXPECT_EQ(p.norm, 1.0);
    p.setnorm(1.5);
    EXPECT_EQ(p.norm, 1.0);
    EXPECT_EQ(p.value, 1.0);
    p.setnorm(-0.2);
    EXPECT_EQ(p.norm, 0.0);
    EXPECT_EQ(p.value, 0.0);
}

TEST(ParameterMapping, TextFieldWithNegativeMinimum)
{
    pparam p = makeparam(pparamlinear, -24.0, 48.0);
    p.setvalue(4.0);
    EXPECT_NEAR(p.norm, 28.0 / 48.0, 1e-15);
    p.setnorm(0.0);
    EXPECT_EQ(p.value, -24.0);
}

TEST(ParameterMapping, ZeroRangeGivesNormZero)
{
    pparam p = makeparam(pparamlog, 3.0, 0.0);
    p.setvalue(3.0);
    EXPECT_EQ(p.norm, 0.0);
    EXPECT_EQ(p.value, 3.0);
}

TEST(ParameterMapping, NonFiniteInputNeverEntersTheModel)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (pparamtype type : {pparamlinear, pparamlog, pparamint})
    {
        pparam p = makeparam(type, -24.0, 48.0);
        p.setvalue(10.0);
        p.setvalue(nan);
        EXPECT_EQ(p.value, -24.0);
        EXPECT_EQ(p.norm, 0.0);
        p.setvalue(10.0);
        p.setvalue(inf);
        EXPECT_EQ(p.value, -24.0);
        p.setvalue(10.0);
        p.setnorm(nan);
        EXPECT_EQ(p.norm, 0.0);
        EXPECT_EQ(p.value, -24.0);
        p.setnorm(-inf);
        EXPECT_EQ(p.norm, 0.0);
        EXPECT_TRUE(std::isfinite(p.value.load()));
    }
}

TEST(ParameterCreation, NewparamAppliesNormOrUnits)
{
    pprojdata model;
    ocarray::ArrayPtr<pparam> list;
    pparam* a = model.newparam(list, 4.0, 0.5, true, pconmenu, pparamint, "A", 7);
    pparam* b = model.newparam(list, 4.0, 0.5, false, pconknob, pparamlinear, nullptr, 0);
    ASSERT_EQ(list.count, 2u);
    EXPECT_EQ(list[0], a);
    EXPECT_EQ(a->value, 2.0);
    EXPECT_EQ(a->intvalue, 2);
    EXPECT_EQ(a->style, 7u);
    EXPECT_EQ(a->control, pconmenu);
    EXPECT_STREQ(a->name.c_str(), "A");
    EXPECT_EQ(b->value, 0.5);
    EXPECT_EQ(b->norm, 0.125);
    EXPECT_STREQ(b->name.c_str(), "");
}

TEST(ParameterCreation, PatchParameterTakesMinAndMax)
{
    ppatchmod patch(pkinddelay);
    const std::uint64_t before = patch.params.count;
    pparam* p = patch.newparam(-2.0, 6.0, 10.0, pconknob, pparamlinear, "X", 1);
    EXPECT_EQ(patch.params.count, before + 1);
    EXPECT_EQ(p->min, -2.0);
    EXPECT_EQ(p->range, 8.0);
    EXPECT_EQ(p->value, 6.0); // applied in units, clamped
    EXPECT_EQ(p->norm, 1.0);
}

// One thread writes a parameter through both setters while another reads it. Each field is
// stored whole: every value read is one some writer stored, never a mixture.
TEST(ParameterThreads, ReaderSeesOnlyStoredValues)
{
    pparam p = makeparam(pparamlog, 0.0, widerange);
    p.setnorm(0.25);
    const double lowvalue = p.value;
    p.setnorm(0.75);
    const double highvalue = p.value;
    pparam q = makeparam(pparamint, 0.0, 4.0);

    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 200000; ++i)
        {
            if (i % 2 == 0)
            {
                p.setnorm(0.25);
                q.setvalue(1.0);
            }
            else
            {
                p.setvalue(highvalue);
                q.setnorm(0.75);
            }
        }
        done = true;
    });

    int bad = 0;
    long reads = 0;
    while (!done || reads < 1000)
    {
        const double n = p.norm;
        const double v = p.value;
        const std::int32_t k = q.intvalue;
        if (n != 0.25 && std::fabs(n - 0.75) > 1e-12)
            ++bad;
        if (v != lowvalue && v != highvalue)
            ++bad;
        if (k != 0 && k != 1 && k != 3)
            ++bad;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(bad, 0);
}
