// The per-bin kernels of the analysis against the library, bin by bin, on every kernel set.
// Bounds: 4 units in the last place (for the arctangent, of pi), some 300 dB below the signal;
// magnitudes, signed zeros and non-finite values exactly the library's.
#include "dsp/fastmath.h"

#include "dsp/simdpaths.h"
#include "foundation/comath.h"

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double ulp = std::numeric_limits<double>::epsilon();

// (re, im) pairs: random at every scale, the arctangent's reduction boundaries (7/16, 11/16, 1)
// from both sides in every quadrant, signed zeros, infinities and NaN.
std::vector<double> arctangentbins()
{
    std::mt19937 generator(3u);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> bins;
    for (double scale : {1e-300, 1e-20, 1.0, 1e3, 1e50})
        for (int i = 0; i < 40000; ++i)
            bins.push_back(scale * uniform(generator));
    for (double t : {0.0, 0.4375, 0.6875, 1.0, 1.0 - 1e-16, 0.4375 + 1e-16, 0.6875 - 1e-16, 1e-300, 1e300})
        for (double sign : {1.0, -1.0})
            bins.insert(bins.end(), {sign * t, 1.0, 1.0, sign * t, -sign * t, -1.0, -1.0, -sign * t});
    for (double y : {0.0, -0.0, 1.0, -1.0, inf, -inf, nan})
        for (double x : {0.0, -0.0, 1.0, -1.0, inf, -inf, nan})
            bins.insert(bins.end(), {x, y});
    return bins;
}

// Values for the logarithm in the even slots: random from tiny to huge, where 1 + x crosses
// sqrt(2), powers of two or rounds to 1, and outside the kernel's range.
std::vector<double> logarithmbins()
{
    std::mt19937 generator(4u);
    std::vector<double> bins;
    for (double top : {1e-12, 1e-3, 1.0, 3.0, 1e4, 1e200})
        for (int i = 0; i < 40000; ++i)
            bins.insert(bins.end(), {std::uniform_real_distribution<double>(0.0, top)(generator), 0.0});
    for (double x : {std::sqrt(2.0) - 1.0, std::nextafter(std::sqrt(2.0) - 1.0, 0.0), 1.0, 3.0, 1e-17, 1e-300, 0.0,
                     -0.5, -1.0, -2.0, inf, nan, 5.0})
        bins.insert(bins.end(), {x, 0.0});
    return bins;
}

bool same(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
}

TEST(FastSpectrumKernels, MatchTheLibraryBinByBin)
{
    const std::vector<double> polar = arctangentbins(), logs = logarithmbins();
    foreachsimdpath([&] {
        std::vector<double> fast = polar;
        rectangulartopolar(fast.data(), static_cast<std::int64_t>(fast.size() / 2));
        for (std::size_t i = 0; i < polar.size(); i += 2)
        {
            const double re = polar[i], im = polar[i + 1], angle = std::atan2(im, re);
            ASSERT_TRUE(same(fast[i], std::sqrt(re * re + im * im))) << re << ", " << im;
            ASSERT_TRUE(same(fast[i + 1], angle) || std::fabs(fast[i + 1] - angle) <= 4 * ulp * comath::pi)
                << re << ", " << im;
        }
        std::vector<double> logged(logs.size() / 2);
        log1pofmagnitudes(logs.data(), logged.data(), static_cast<std::int64_t>(logged.size()));
        for (std::size_t k = 0; k < logged.size(); ++k)
        {
            const double expected = std::log1p(logs[2 * k]);
            ASSERT_TRUE(same(logged[k], expected) || std::fabs(logged[k] - expected) <= 4 * ulp * std::fabs(expected))
                << logs[2 * k];
        }
    });
}
} // namespace
