// The demo's own material: the phrase it sings and the harmony set-up it renders with.
#include "renderfixture.h"

#include "tools/demo-input/demostate.h"
#include "tools/demo-input/melody.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace
{
// resources/demo/demo-state.txt is the state writer's output for the demo set-up; a change
// of either shows here.
TEST(Demo, StateFileMatchesTheWriter)
{
    std::ifstream file(std::string(QUILL_SOURCE_DIR) + "/resources/demo/demo-state.txt", std::ios::binary);
    ASSERT_TRUE(file.is_open());
    const std::string stored((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stored, quilldemo::demostatetext());
}

TEST(Demo, StateHasHarmoniesADelayAndAnLfo)
{
    const std::string text = quilldemo::demostatetext();
    const auto count = [&](const std::string& token) {
        std::size_t n = 0;
        for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("^VOI"), 3u);
    EXPECT_EQ(count("^PAT,93004"), 2u);
    EXPECT_EQ(count("^PAT,93002"), 1u);
    EXPECT_EQ(count("^PAT,93001"), 1u);
}

// The period of a stretch: the first lag (60..1000 Hz) whose autocorrelation comes within
// 10 % of the strongest. The vowel makes an upper harmonic the loudest partial, so the
// spectrum's peak would not be the fundamental; the period still is.
double periodhz(const std::vector<double>& s, std::size_t from, std::size_t length, double rate)
{
    const auto lagfor = [&](double hz) { return static_cast<std::size_t>(rate / hz); };
    std::vector<double> r(lagfor(60.0) + 1, 0.0);
    for (std::size_t lag = lagfor(1000.0); lag < r.size(); ++lag)
        for (std::size_t i = from; i < from + length; ++i)
            r[lag] += s[i] * s[i + lag];
    const double best = *std::max_element(r.begin(), r.end());
    for (std::size_t lag = lagfor(1000.0); lag < r.size(); ++lag)
        if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1])
        {
            const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
            return rate / (lag + 0.5 * (a - c) / (a - 2.0 * b + c));
        }
    return 0.0;
}

// The first note (A3) sung straight, before its vibrato grows in: 220 Hz. The last one, the
// same A3, with its vibrato: still centred on 220 Hz over whole vibrato cycles.
TEST(Demo, PhraseStartsAndEndsOnA3)
{
    constexpr double rate = 44100;
    const std::vector<double> phrase = quilldemo::synthesizemelody(rate);
    ASSERT_EQ(phrase.size(), static_cast<std::size_t>(quilldemo::melodyseconds() * rate));
    EXPECT_NEAR(periodhz(phrase, static_cast<std::size_t>(0.15 * rate), 4096, rate), 220.0, 1.0);
    EXPECT_NEAR(quilldemo::melodypitch(0.3), 220.0, 1e-9);
    EXPECT_NEAR(quilldemo::melodypitch(4.1), 220.0, 1e-9);
    EXPECT_GT(quilldemo::melodypitch(4.8), 0.0);
    EXPECT_EQ(quilldemo::melodypitch(2.5), 0.0); // the breath between the lines
}

TEST(Demo, PhraseGlidesWithoutJumps)
{
    // Pitch is continuous through each legato change of note: no step above a few cents
    // per millisecond.
    double previous = quilldemo::melodypitch(0.1);
    for (double t = 0.101; t < quilldemo::melodyseconds(); t += 0.001)
    {
        const double hz = quilldemo::melodypitch(t);
        if (hz > 0.0 && previous > 0.0)
        {
            EXPECT_LT(std::abs(12.0 * std::log2(hz / previous)), 0.15) << "at " << t << " s";
        }
        previous = hz;
    }
}

} // namespace
