// The vectorised arctangent and logarithm of the analysis against the library, value by value
// and over whole spectra. Bound: 4 units in the last place of the library's result (for the
// arctangent, of pi where the result is smaller), 1e-15 relative: some 300 dB below the signal.
#include "dsp/fastmath.h"

#include "foundation/comath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
using comath::pi;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double ulp = std::numeric_limits<double>::epsilon();
constexpr double atan2bound = 4 * ulp * pi;
constexpr double log1pulps = 4 * ulp;

double atan2error(double y, double x)
{
    return std::fabs(fastatan2(y, x) - std::atan2(y, x));
}

double log1perror(double x)
{
    const double expected = std::log1p(x);
    return std::fabs(fastlog1p(x) - expected) / std::fmax(expected, std::numeric_limits<double>::min());
}

TEST(FastAtan2, AgreesWithTheLibraryOverEveryOctantAndScale)
{
    std::mt19937 generator(3u);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    double worst = 0.0;
    for (double scale : {1e-300, 1e-20, 1.0, 1e3, 1e50})
        for (int i = 0; i < 50000; ++i)
            worst = std::fmax(worst, atan2error(scale * uniform(generator), scale * uniform(generator)));
    EXPECT_LE(worst, atan2bound);
    // The reduction's boundaries (7/16, 11/16, 1) and the axes, from both sides and in every quadrant.
    for (double t : {0.0, 0.4375, 0.6875, 1.0, 1.0 - 1e-16, 0.4375 + 1e-16, 0.6875 - 1e-16, 1e-300, 1e300})
        for (double sy : {1.0, -1.0})
            for (double sx : {1.0, -1.0})
            {
                EXPECT_LE(atan2error(sy * t, sx * 1.0), atan2bound) << t;
                EXPECT_LE(atan2error(sx * 1.0, sy * t), atan2bound) << t;
            }
}

TEST(FastAtan2, SignedZerosInfinitiesAndNanGiveTheLibraryValues)
{
    for (double y : {0.0, -0.0, 1.0, -1.0, inf, -inf})
        for (double x : {0.0, -0.0, 1.0, -1.0, inf, -inf})
        {
            const double expected = std::atan2(y, x);
            EXPECT_EQ(fastatan2(y, x), expected) << y << ", " << x;
            EXPECT_EQ(std::signbit(fastatan2(y, x)), std::signbit(expected)) << y << ", " << x;
        }
    EXPECT_TRUE(std::isnan(fastatan2(nan, 1.0)));
    EXPECT_TRUE(std::isnan(fastatan2(1.0, nan)));
}

TEST(FastLog1p, AgreesWithTheLibraryFromTinyToHuge)
{
    std::mt19937 generator(4u);
    double worst = 0.0;
    for (double top : {1e-12, 1e-3, 1.0, 3.0, 1e4, 1e200})
    {
        std::uniform_real_distribution<double> uniform(0.0, top);
        for (int i = 0; i < 50000; ++i)
            worst = std::fmax(worst, log1perror(uniform(generator)));
    }
    EXPECT_LE(worst, log1pulps);
    // Where 1 + x crosses sqrt(2) and powers of two, and where it rounds to 1.
    for (double x : {std::sqrt(2.0) - 1.0, std::nextafter(std::sqrt(2.0) - 1.0, 0.0), 1.0, 3.0, 1e-17, 1e-300})
        EXPECT_LE(log1perror(x), log1pulps) << x;
    EXPECT_EQ(fastlog1p(0.0), 0.0);
}

TEST(FastLog1p, OutsideItsRangeGivesTheLibraryValues)
{
    for (double x : {-0.5, -1.0, inf})
        EXPECT_EQ(fastlog1p(x), std::log1p(x)) << x;
    EXPECT_TRUE(std::isnan(fastlog1p(nan)));
    EXPECT_TRUE(std::isnan(fastlog1p(-2.0)));
}

// A packed spectrum of random bins with a few silent, non-finite and odd-count ends.
std::vector<double> randombins(std::size_t count)
{
    std::mt19937 generator(7u);
    std::normal_distribution<double> normal(0.0, 10.0);
    std::vector<double> bins(2 * count);
    for (double& x : bins)
        x = normal(generator);
    bins[0] = bins[1] = 0.0;
    bins[5] = inf; // a group of four with a non-finite value goes through the library
    bins[12] = nan;
    return bins;
}

TEST(FastSpectrumPaths, MatchThePlainOnesBinByBin)
{
    for (std::size_t count : {1u, 4u, 1023u, 1024u})
    {
        std::vector<double> fast = randombins(std::max<std::size_t>(count, 8));
        fast.resize(2 * count);
        std::vector<double> plain = fast;
        rectangulartopolar(fast.data(), static_cast<std::int64_t>(count));
        rectangulartopolarplain(plain.data(), static_cast<std::int64_t>(count));
        std::vector<double> fastlog(count), plainlog(count);
        log1pofmagnitudes(fast.data(), fastlog.data(), static_cast<std::int64_t>(count));
        log1pofmagnitudesplain(plain.data(), plainlog.data(), static_cast<std::int64_t>(count));
        for (std::size_t k = 0; k < count; ++k)
        {
            SCOPED_TRACE(testing::Message() << count << " bins, bin " << k);
            if (std::isnan(plain[2 * k + 1]))
            {
                EXPECT_TRUE(std::isnan(fast[2 * k + 1]));
                continue;
            }
            EXPECT_EQ(fast[2 * k], plain[2 * k]); // the magnitude is the same computation
            EXPECT_LE(std::fabs(fast[2 * k + 1] - plain[2 * k + 1]), atan2bound);
            if (std::isfinite(plainlog[k]))
                EXPECT_LE(std::fabs(fastlog[k] - plainlog[k]), log1pulps * std::fabs(plainlog[k]));
            else
                EXPECT_EQ(fastlog[k], plainlog[k]);
        }
    }
}
} // namespace
