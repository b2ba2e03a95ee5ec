#include "dsp/fastsincos.h"

#include "foundation/comath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
using comath::pi;
constexpr double tolerance = 1e-9;

void expectLibraryValues(double x)
{
    double s = 0.0;
    double c = 0.0;
    fastsincos(x, s, c);
    EXPECT_NEAR(s, std::sin(x), tolerance) << "sin " << x;
    EXPECT_NEAR(c, std::cos(x), tolerance) << "cos " << x;
}

TEST(FastSinCos, AgreesWithTheLibraryUpToItsLimit)
{
    std::mt19937 generator(1u);
    for (double range : {pi, 100.0, fastsincoslimit})
    {
        std::uniform_real_distribution<double> uniform(-range, range);
        for (int i = 0; i < 100000; ++i)
            expectLibraryValues(uniform(generator));
    }
    // Multiples of pi/2 are where the quadrant, kernel and sign change.
    for (int q = -8; q <= 8; ++q)
        for (double offset : {-1e-9, -1e-17, 0.0, 1e-17, 1e-9, 0.7, -0.7})
            expectLibraryValues(q * (pi / 2) + offset);
}

TEST(FastSinCos, BeyondTheLimitAndNonFiniteAnglesGiveTheLibraryValues)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (double x : {fastsincoslimit * 1.5, -1e12, 1e300, inf, -inf, std::numeric_limits<double>::quiet_NaN()})
    {
        SCOPED_TRACE(x);
        double s = 0.0;
        double c = 0.0;
        fastsincos(x, s, c);
        if (std::isnan(std::sin(x)))
        {
            EXPECT_TRUE(std::isnan(s));
            EXPECT_TRUE(std::isnan(c));
        }
        else
        {
            EXPECT_EQ(s, std::sin(x));
            EXPECT_EQ(c, std::cos(x));
        }
    }
}
} // namespace
