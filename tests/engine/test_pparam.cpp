#include "engine/pparam.h"
#include "engine/pprojdata.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

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
