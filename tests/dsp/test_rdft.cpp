// The transform against the direct sums in long double, on every kernel set and at every size
// up to 4096 (each mixes radix-8, radix-4 and radix-2 passes differently).
#include "dsp/rdft.h"

#include "dsp/simdpaths.h"
#include "foundation/comath.h"

#include <cmath>
#include <random>
#include <vector>

namespace
{
// R[k] = sum x[j] cos(2 pi j k / n), I[k] = sum x[j] sin(2 pi j k / n), packed as rdft packs them.
std::vector<double> directspectrum(const std::vector<double>& x)
{
    const std::size_t n = x.size();
    std::vector<long double> cosine(n);
    std::vector<long double> sine(n);
    for (std::size_t j = 0; j < n; ++j)
    {
        cosine[j] = std::cos(2.0L * comath::pilong * j / n);
        sine[j] = std::sin(2.0L * comath::pilong * j / n);
    }
    std::vector<double> packed(n);
    for (std::size_t k = 0; k <= n / 2; ++k)
    {
        long double re = 0;
        long double im = 0;
        for (std::size_t j = 0; j < n; ++j)
        {
            re += x[j] * cosine[(j * k) % n];
            im += x[j] * sine[(j * k) % n];
        }
        packed[k == 0 ? 0 : k == n / 2 ? 1 : 2 * k] = static_cast<double>(re);
        if (k != 0 && k != n / 2)
            packed[2 * k + 1] = static_cast<double>(im);
    }
    return packed;
}

// Largest difference over the largest value of expected.
double relativeerror(const std::vector<double>& actual, const std::vector<double>& expected)
{
    double difference = 0;
    double largest = 0;
    for (std::size_t i = 0; i < actual.size(); ++i)
    {
        difference = std::fmax(difference, std::fabs(actual[i] - expected[i]));
        largest = std::fmax(largest, std::fabs(expected[i]));
    }
    return difference / largest;
}

TEST(Rdft, MatchesTheDirectSumsAndRoundTripsOnEveryKernelSet)
{
    std::mt19937 generator(7u);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (int n = 2; n <= 4096; n *= 2)
    {
        SCOPED_TRACE(n);
        std::vector<double> x(static_cast<std::size_t>(n));
        for (double& v : x)
            v = uniform(generator);
        const std::vector<double> spectrum = directspectrum(x);
        foreachsimdpath([&] {
            std::vector<int> ip(2 + 64, 0);
            std::vector<double> w(static_cast<std::size_t>(n / 2));
            std::vector<double> a = x;
            rdft(n, 1, a.data(), ip.data(), w.data());
            EXPECT_LE(relativeerror(a, spectrum), 2e-15);
            rdft(n, -1, a.data(), ip.data(), w.data()); // n/2 times the signal
            for (double& v : a)
                v *= 2.0 / n;
            EXPECT_LE(relativeerror(a, x), 2e-15);
        });
    }
}
} // namespace
