// Harmony snapping: the entry a detected note selects, and notes that select nothing.
#include "engine/harmony.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

TEST(HarmonyIndex, RoundsToTheSemitoneAboveTheKeyAndStaysInsideTheTable)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // note, key, expected
    using row = std::tuple<double, double, std::int64_t>;
    const row cases[] = {
        {11.6, 0.0, 0},
        {11.4, 0.0, 11},
        {11.5, 0.0, 0}, // half a semitone below the key rounds up to it
        {std::nextafter(11.5, 0.0), 0.0, 11},
        {57.0, 9.0, 0},
        {-13.0, 0.0, 11},
        {60.2, 2.4, 10},
        {std::nextafter(-0.5, -1.0), 0.0, 11}, // folds to 12.0 in doubles
        {nan, 0.0, -1},
        {inf, 0.0, -1},
        {60.0, -inf, -1},
    };
    for (const auto& [note, key, expected] : cases)
        EXPECT_EQ(harmonyindex(note, key), expected) << note << " over " << key;
    for (const double note : {1e300, -1e300, 1e18 + 0.3, std::numeric_limits<double>::max()})
        EXPECT_TRUE(harmonyindex(note, 0.0) >= 0 && harmonyindex(note, 0.0) <= 11) << note;
}

TEST(HarmonySnap, JumpsToTheEntryAndMultipliesTheRatio)
{
    double table[12];
    for (int i = 0; i < 12; ++i)
        table[i] = 1.0 + i / 100.0; // the chosen entry reads back from the ratio
    pbkvoicestate voice;
    voice.harmonytable = table;
    voice.ratio = 2.0;
    for (const double note : {4.2, std::numeric_limits<double>::quiet_NaN()}) // no note: keeps the interval
    {
        voice.ratio = 2.0;
        harmonysnap(voice, note);
        EXPECT_DOUBLE_EQ(voice.harmonyratio, 1.04);
        EXPECT_DOUBLE_EQ(voice.ratio, 2.08);
    }
    pbkvoicestate untabled; // without a table nothing changes
    untabled.ratio = 1.5;
    harmonysnap(untabled, 40.0);
    EXPECT_EQ(untabled.ratio, 1.5);
}
