#include "dsp/fastsincos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
constexpr double pi = 3.14159265358979323846;

// Largest difference from std::sin / std::cos over n angles drawn uniformly from -range..range.
double worstError(double range, int n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-range, range);
    double worst = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double x = uniform(generator);
        double s = 0.0, c = 0.0;
        fastsincos(x, s, c);
        worst = std::fmax(worst, std::fmax(std::fabs(s - std::sin(x)), std::fabs(c - std::cos(x))));
    }
    return worst;
}

TEST(FastSinCos, AgreesWithTheLibraryOnTheWrappedPhaseRange)
{
    EXPECT_LE(worstError(pi, 200000, 1u), 1e-15);
}

TEST(FastSinCos, AgreesWithTheLibraryUpToItsLimit)
{
    EXPECT_LE(worstError(100.0, 100000, 2u), 1e-15);
    EXPECT_LE(worstError(fastsincoslimit, 100000, 3u), 1e-15);
}

// Multiples of pi/2 are where the quadrant changes: the right kernel and sign on each side.
TEST(FastSinCos, QuadrantBoundariesTakeTheRightSigns)
{
    for (int q = -8; q <= 8; ++q)
        for (double offset : {-1e-9, -1e-17, 0.0, 1e-17, 1e-9, 0.7, -0.7})
        {
            const double x = q * (pi / 2) + offset;
            double s = 0.0, c = 0.0;
            fastsincos(x, s, c);
            EXPECT_NEAR(s, std::sin(x), 1e-15) << x;
            EXPECT_NEAR(c, std::cos(x), 1e-15) << x;
        }
    double s = 1.0, c = 0.0;
    fastsincos(0.0, s, c);
    EXPECT_EQ(s, 0.0);
    EXPECT_EQ(c, 1.0);
}

TEST(FastSinCos, BeyondTheLimitAndNonFiniteAnglesGiveTheLibraryValues)
{
    for (double x : {fastsincoslimit * 1.5, -1e12, 1e300, std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
    {
        double s = 0.0, c = 0.0;
        fastsincos(x, s, c);
        const double expectedSine = std::sin(x), expectedCosine = std::cos(x);
        if (std::isnan(expectedSine))
        {
            EXPECT_TRUE(std::isnan(s)) << x;
            EXPECT_TRUE(std::isnan(c)) << x;
            continue;
        }
        EXPECT_EQ(s, expectedSine) << x;
        EXPECT_EQ(c, expectedCosine) << x;
    }
}

// The array form, four at a time with up to three left over, against the library; an angle out
// of range is done alone without disturbing its neighbours.
TEST(FastPolarToRectangular, EveryValueBecomesMagnitudeTimesCosineAndSine)
{
    std::mt19937 generator(4u);
    std::uniform_real_distribution<double> angle(-pi, pi), magnitude(0.0, 10.0);
    for (int count : {0, 1, 3, 4, 7, 1023})
    {
        std::vector<double> m(static_cast<std::size_t>(count)), a(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
        {
            m[static_cast<std::size_t>(i)] = magnitude(generator);
            a[static_cast<std::size_t>(i)] = angle(generator);
        }
        if (count == 7)
            a[2] = 1e9; // outside the fast range, among three fast ones
        const std::vector<double> magnitudes = m, angles = a;
        polartorectangular(m.data(), a.data(), count);
        for (std::size_t i = 0; i < m.size(); ++i)
        {
            EXPECT_NEAR(m[i], magnitudes[i] * std::cos(angles[i]), 1e-14) << count << " " << i;
            EXPECT_NEAR(a[i], magnitudes[i] * std::sin(angles[i]), 1e-14) << count << " " << i;
        }
    }
}
} // namespace
