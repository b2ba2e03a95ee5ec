// Harmony snapping: which table entry a detected note selects, the glide toward it, and notes
// that select nothing.
#include "engine/harmony.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
// Entry i holds 1 + i / 100, so the chosen entry can be read back from the ratio.
struct Table
{
    double ratios[12];
    Table()
    {
        for (int i = 0; i < 12; ++i)
            ratios[i] = 1.0 + i / 100.0;
    }
};

void makesnapping(pbkvoicestate& voice, const Table& table, double keyoffset = 0.0, double glidestep = 0.0)
{
    voice.harmonytable = table.ratios;
    voice.keyoffset = keyoffset;
    voice.glidestep = glidestep;
}
} // namespace

TEST(HarmonyIndex, RoundsToTheNearestSemitoneAboveTheKey)
{
    EXPECT_EQ(harmonyindex(11.6, 0.0), 0);  // 12.1 folds to 0
    EXPECT_EQ(harmonyindex(11.4, 0.0), 11);
    EXPECT_EQ(harmonyindex(57.0, 9.0), 0);  // A over an A key
    EXPECT_EQ(harmonyindex(57.0, 0.0), 9);
    EXPECT_EQ(harmonyindex(-0.6, 0.0), 11); // below C0 folds upward
    EXPECT_EQ(harmonyindex(-13.0, 0.0), 11);
    EXPECT_EQ(harmonyindex(60.2, 2.4), 10); // 58.3 folds to 10.3: key plus detune
}

TEST(HarmonyIndex, StaysInsideTheTableAtRoundingEdgesAndExtremes)
{
    // x a hair below 0: folding gives 12 - 5.6e-17, which is 12.0 in doubles.
    EXPECT_EQ(harmonyindex(std::nextafter(-0.5, -1.0), 0.0), 11);
    for (double note : {1e300, -1e300, 1e18 + 0.3, std::numeric_limits<double>::max()})
    {
        const std::int64_t i = harmonyindex(note, 0.0);
        EXPECT_GE(i, 0) << note;
        EXPECT_LE(i, 11) << note;
    }
}

TEST(HarmonyIndex, ANoteThatIsNotFiniteSelectsNothing)
{
    EXPECT_EQ(harmonyindex(std::numeric_limits<double>::quiet_NaN(), 0.0), -1);
    EXPECT_EQ(harmonyindex(std::numeric_limits<double>::infinity(), 0.0), -1);
    EXPECT_EQ(harmonyindex(60.0, -std::numeric_limits<double>::infinity()), -1);
}

TEST(HarmonySnap, JumpsToTheEntryWithoutGlideAndMultipliesTheRatio)
{
    const Table table;
    pbkvoicestate voice;
    makesnapping(voice, table);
    voice.ratio = 2.0;
    harmonysnap(voice, 4.2); // index 4
    EXPECT_DOUBLE_EQ(voice.harmonyratio, 1.04);
    EXPECT_DOUBLE_EQ(voice.ratio, 2.08);
}

TEST(HarmonySnap, GlidesByItsStepAndStopsOnTheTarget)
{
    const Table table;
    pbkvoicestate voice;
    makesnapping(voice, table, 0.0, 0.004);
    voice.harmonyratio = 1.0;
    harmonysnap(voice, 1.0); // target 1.01
    EXPECT_DOUBLE_EQ(voice.harmonyratio, 1.004);
    voice.ratio = 1.0;
    harmonysnap(voice, 1.0);
    harmonysnap(voice, 1.0);
    EXPECT_DOUBLE_EQ(voice.harmonyratio, 1.01);

    voice.harmonyratio = 1.2;
    voice.ratio = 1.0;
    harmonysnap(voice, 0.0); // target 1.00, falling
    EXPECT_DOUBLE_EQ(voice.harmonyratio, 1.196);
    EXPECT_DOUBLE_EQ(voice.ratio, 1.196);
}

TEST(HarmonySnap, ANoteThatIsNotFiniteKeepsTheCurrentInterval)
{
    const Table table;
    pbkvoicestate voice;
    makesnapping(voice, table);
    voice.harmonyratio = 1.05;
    voice.ratio = 2.0;
    harmonysnap(voice, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(voice.harmonyratio, 1.05);
    EXPECT_DOUBLE_EQ(voice.ratio, 2.1);
}

TEST(HarmonySnap, WithoutATableNothingChanges)
{
    pbkvoicestate voice;
    voice.ratio = 1.5;
    voice.harmonyratio = 1.3;
    harmonysnap(voice, 40.0);
    EXPECT_EQ(voice.ratio, 1.5);
    EXPECT_EQ(voice.harmonyratio, 1.3);
}
