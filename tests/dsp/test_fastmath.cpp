// The per-bin kernels against the library, value by value, on every kernel set. Bounds: 4 units
// in the last place (for the arctangent, of pi) for the arctangent and logarithm, 2e-9 for sine
// and cosine up to fastsincoslimit; magnitudes, signed zeros, non-finite values and angles beyond
// the limit exactly the library's.
#include "dsp/fastmath.h"
#include "dsp/fastsincos.h"

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
constexpr double ulps4 = 4 * std::numeric_limits<double>::epsilon();

// Appends count values uniform in low..high.
void addrandom(std::vector<double>& to, double low, double high, int count)
{
    static std::mt19937 generator(3u);
    for (int i = 0; i < count; ++i)
        to.push_back(std::uniform_real_distribution<double>(low, high)(generator));
}

// The same value (NaN, the sign of zero and infinities included) or within tolerance of it.
::testing::AssertionResult near(double a, double b, double tolerance)
{
    if ((std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b))
        || std::fabs(a - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a << " against " << b;
}

// The analysis' chain: (re, im) pairs at every scale, the arctangent's reduction boundaries
// (7/16, 11/16, 1) from both sides in every quadrant, signed zeros, infinities and NaN in every
// combination; then the logarithm of the magnitudes, with those where 1 + x crosses sqrt(2) or a
// power of two or rounds to 1.
TEST(FastSpectrumKernels, ArctangentMagnitudeAndLogarithm)
{
    std::vector<double> bins;
    for (double scale : {1e-300, 1e-20, 1e-3, 1.0, 1e3, 1e50, 1e200})
        addrandom(bins, -scale, scale, 60000);
    for (double t : {0.0, 0.4375, 0.6875, 1.0, 1.0 - 1e-16, 0.4375 + 1e-16, 0.6875 - 1e-16, 1e-300, 1e300, -1e-300})
        bins.insert(bins.end(), {t, 1.0, 1.0, t, -t, -1.0, -1.0, -t});
    for (double y : {0.0, -0.0, 1.0, -1.0, inf, -inf, nan, std::sqrt(2.0) - 1.0, 1e-17})
        for (double x : {0.0, -0.0, 1.0, -1.0, inf, -inf, nan, std::nextafter(std::sqrt(2.0) - 1.0, 0.0)})
            bins.insert(bins.end(), {x, y});
    foreachsimdpath([&] {
        std::vector<double> fast = bins;
        std::vector<double> logs(bins.size() / 2);
        rectangulartopolar(fast.data(), static_cast<std::int64_t>(logs.size()));
        log1pofmagnitudes(fast.data(), logs.data(), static_cast<std::int64_t>(logs.size()));
        for (std::size_t k = 0; k < logs.size(); ++k)
        {
            const double re = bins[2 * k];
            const double im = bins[2 * k + 1];
            const double magnitude = std::sqrt(re * re + im * im);
            ASSERT_TRUE(near(fast[2 * k], magnitude, 0.0)) << "magnitude of " << re << ", " << im;
            ASSERT_TRUE(near(fast[2 * k + 1], std::atan2(im, re), ulps4 * comath::pi))
                << "angle of " << re << ", " << im;
            ASSERT_TRUE(near(logs[k], std::log1p(magnitude), ulps4 * std::log1p(magnitude))) << re << ", " << im;
        }
    });
}

// Random angles, the multiples of pi/2 where quadrant, kernel and sign change, and beyond.
TEST(FastSpectrumKernels, PolarToRectangular)
{
    std::vector<double> angles = {1.5 * fastsincoslimit, -1e12, 1e300, inf, -inf, nan};
    for (double range : {comath::pi, fastsincoslimit})
        addrandom(angles, -range, range, 100000);
    for (int q = -8; q <= 8; ++q)
        for (double offset : {-1e-9, -1e-17, 0.0, 1e-17, 1e-9, 0.7, -0.7})
            angles.push_back(q * (comath::pi / 2) + offset);
    foreachsimdpath([&] {
        std::vector<double> re(angles.size(), 2.0);
        std::vector<double> im = angles;
        polartorectangular(re.data(), im.data(), static_cast<std::int64_t>(angles.size()));
        for (std::size_t i = 0; i < angles.size(); ++i)
        {
            const double x = angles[i];
            const double tolerance = std::fabs(x) <= fastsincoslimit ? 2e-9 : 0.0;
            ASSERT_TRUE(near(re[i], 2 * std::cos(x), tolerance)) << "cosine of " << x;
            ASSERT_TRUE(near(im[i], 2 * std::sin(x), tolerance)) << "sine of " << x;
        }
    });
}
} // namespace
