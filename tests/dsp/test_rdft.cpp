#include "dsp/rdft.h"

#include "foundation/comath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
std::vector<double> randomSignal(int n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x)
        v = uniform(generator);
    return x;
}

// R[k] = sum x[j] cos(2 pi j k / n), I[k] = sum x[j] sin(2 pi j k / n) in long double, packed as
// a[0] = R[0], a[1] = R[n/2], a[2k] = R[k], a[2k+1] = I[k].
std::vector<double> naivePackedSpectrum(const std::vector<double>& x)
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

double maxAbsDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    double m = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        m = std::fmax(m, std::fabs(a[i] - b[i]));
    return m;
}

// Every power of two up to 4096 mixes radix-8, radix-4 and radix-2 passes differently.
TEST(Rdft, MatchesTheNaiveTransformAndRoundTripsAtEverySize)
{
    for (int n = 2; n <= 4096; n *= 2)
    {
        SCOPED_TRACE(n);
        const std::vector<double> x = randomSignal(n, 7u + static_cast<unsigned>(n));
        const std::vector<double> spectrum = naivePackedSpectrum(x);
        std::vector<int> ip(2 + 64, 0);
        std::vector<double> w(static_cast<std::size_t>(n / 2), 0.0);
        std::vector<double> a = x;
        rdft(n, 1, a.data(), ip.data(), w.data());
        const double scale = maxAbsDifference(spectrum, std::vector<double>(spectrum.size(), 0.0));
        EXPECT_LE(maxAbsDifference(a, spectrum) / scale, 1e-10);
        rdft(n, -1, a.data(), ip.data(), w.data()); // the inverse gives n/2 times the signal
        for (double& v : a)
            v *= 2.0 / n;
        EXPECT_LE(maxAbsDifference(a, x), 1e-12);
    }
}
} // namespace
