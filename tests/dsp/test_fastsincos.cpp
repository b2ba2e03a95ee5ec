// The synthesis' polar-to-rectangular kernel against the library's sine and cosine, on every
// kernel set: up to fastsincoslimit within 1e-9, beyond it and for non-finite angles the
// library's own values.
#include "dsp/fastsincos.h"

#include "dsp/simdpaths.h"
#include "foundation/comath.h"

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
TEST(FastSinCos, PolarToRectangularAgreesWithTheLibrary)
{
    std::mt19937 generator(1u);
    std::vector<double> angles;
    for (double range : {comath::pi, 100.0, fastsincoslimit})
        for (int i = 0; i < 100000; ++i)
            angles.push_back(std::uniform_real_distribution<double>(-range, range)(generator));
    for (int q = -8; q <= 8; ++q) // where the quadrant, kernel and sign change
        for (double offset : {-1e-9, -1e-17, 0.0, 1e-17, 1e-9, 0.7, -0.7})
            angles.push_back(q * (comath::pi / 2) + offset);
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (double x : {fastsincoslimit * 1.5, -1e12, 1e300, inf, -inf, std::numeric_limits<double>::quiet_NaN()})
        angles.push_back(x);
    foreachsimdpath([&] {
        std::vector<double> re(angles.size(), 2.0), im = angles;
        polartorectangular(re.data(), im.data(), static_cast<std::int64_t>(angles.size()));
        for (std::size_t i = 0; i < angles.size(); ++i)
        {
            const double x = angles[i], tolerance = std::fabs(x) <= fastsincoslimit ? 2e-9 : 0.0;
            if (!std::isfinite(x))
                ASSERT_TRUE(std::isnan(re[i]) && std::isnan(im[i])) << x;
            else
                ASSERT_TRUE(std::fabs(re[i] - 2 * std::cos(x)) <= tolerance
                            && std::fabs(im[i] - 2 * std::sin(x)) <= tolerance)
                    << x;
        }
    });
}
} // namespace
