#include "dsp/rdft.h"

#include "allocation_counter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr int maxN = 4096;

// Work tables with room for every size tested, rebuilt on the first call.
struct Tables
{
    std::vector<int> ip = std::vector<int>(2 + 64, 0);
    std::vector<double> w = std::vector<double>(maxN / 2, 0.0);
};

std::vector<double> randomSignal(int n, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double& v : x)
        v = uniform(generator);
    return x;
}

// R[k] = sum x[j] cos(2 pi j k / n), I[k] = sum x[j] sin(2 pi j k / n), in long double, packed
// the way the transform packs them.
std::vector<double> naivePackedSpectrum(const std::vector<double>& x)
{
    const long n = static_cast<long>(x.size());
    std::vector<long double> cosine(x.size()), sine(x.size());
    for (long j = 0; j < n; ++j)
    {
        const long double angle
            = 2.0L * 3.14159265358979323846264338327950288L * static_cast<long double>(j) / static_cast<long double>(n);
        cosine[static_cast<std::size_t>(j)] = std::cos(angle);
        sine[static_cast<std::size_t>(j)] = std::sin(angle);
    }
    std::vector<double> packed(x.size());
    for (long k = 0; k <= n / 2; ++k)
    {
        long double re = 0, im = 0;
        for (long j = 0; j < n; ++j)
        {
            const auto phase = static_cast<std::size_t>((j * k) % n);
            re += x[static_cast<std::size_t>(j)] * cosine[phase];
            im += x[static_cast<std::size_t>(j)] * sine[phase];
        }
        if (k == 0)
            packed[0] = static_cast<double>(re);
        else if (k == n / 2)
            packed[1] = static_cast<double>(re);
        else
        {
            packed[static_cast<std::size_t>(2 * k)] = static_cast<double>(re);
            packed[static_cast<std::size_t>(2 * k + 1)] = static_cast<double>(im);
        }
    }
    return packed;
}

double maxAbs(const std::vector<double>& v)
{
    double m = 0;
    for (double x : v)
        m = std::fmax(m, std::fabs(x));
    return m;
}

double maxAbsDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    double m = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        m = std::fmax(m, std::fabs(a[i] - b[i]));
    return m;
}

void negateOdd(std::vector<double>& a)
{
    for (std::size_t i = 1; i < a.size(); i += 2)
        a[i] = -a[i];
}

int reverseBits(int value, int bits)
{
    int r = 0;
    for (int b = 0; b < bits; ++b)
        r |= ((value >> b) & 1) << (bits - 1 - b);
    return r;
}

class RdftSize : public ::testing::TestWithParam<int>
{
};

TEST_P(RdftSize, ForwardMatchesNaiveTransformWithSineTermPositive)
{
    const int n = GetParam();
    const std::vector<double> x = randomSignal(n, 7u + static_cast<unsigned>(n));
    std::vector<double> a = x;
    Tables t;
    rdft(n, 1, a.data(), t.ip.data(), t.w.data());

    const std::vector<double> expected = naivePackedSpectrum(x);
    EXPECT_LE(maxAbsDifference(a, expected) / maxAbs(expected), 1e-10);
}

TEST_P(RdftSize, InverseOfPackedSpectrumIsHalfNTimesTheSignal)
{
    const int n = GetParam();
    const std::vector<double> x = randomSignal(n, 11u + static_cast<unsigned>(n));
    std::vector<double> a = naivePackedSpectrum(x);
    Tables t;
    rdft(n, -1, a.data(), t.ip.data(), t.w.data());
    for (double& v : a)
        v *= 2.0 / n;
    EXPECT_LE(maxAbsDifference(a, x), 1e-10);
}

// The engine's round trip: forward, negate the odd elements, negate them back, inverse, 2/N.
TEST_P(RdftSize, RoundTripReturnsTheInput)
{
    const int n = GetParam();
    const std::vector<double> x = randomSignal(n, 3u + static_cast<unsigned>(n));
    std::vector<double> a = x;
    Tables t;
    rdft(n, 1, a.data(), t.ip.data(), t.w.data());
    negateOdd(a);
    negateOdd(a);
    rdft(n, -1, a.data(), t.ip.data(), t.w.data());
    for (double& v : a)
        v *= 2.0 / n;
    EXPECT_LE(maxAbsDifference(a, x), 1e-12);
}

TEST_P(RdftSize, UnitImpulseAtZeroGivesAFlatRealSpectrum)
{
    const int n = GetParam();
    std::vector<double> a(static_cast<std::size_t>(n), 0.0);
    a[0] = 1;
    Tables t;
    rdft(n, 1, a.data(), t.ip.data(), t.w.data());
    EXPECT_DOUBLE_EQ(a[0], 1.0);
    EXPECT_DOUBLE_EQ(a[1], 1.0);
    for (int k = 1; k < n / 2; ++k)
    {
        EXPECT_NEAR(a[static_cast<std::size_t>(2 * k)], 1.0, 1e-15) << "k = " << k;
        EXPECT_NEAR(a[static_cast<std::size_t>(2 * k + 1)], 0.0, 1e-15) << "k = " << k;
    }
}

TEST_P(RdftSize, KeptTablesGiveTheSameOutputAsRebuiltOnes)
{
    const int n = GetParam();
    const std::vector<double> x = randomSignal(n, 5u);
    Tables t;

    std::vector<double> rebuilt = x;
    t.ip[0] = 0;
    rdft(n, 1, rebuilt.data(), t.ip.data(), t.w.data());
    std::vector<double> kept = x;
    rdft(n, 1, kept.data(), t.ip.data(), t.w.data());
    EXPECT_EQ(0, std::memcmp(rebuilt.data(), kept.data(), sizeof(double) * kept.size()));

    t.ip[0] = 0;
    rdft(n, -1, rebuilt.data(), t.ip.data(), t.w.data());
    rdft(n, -1, kept.data(), t.ip.data(), t.w.data());
    EXPECT_EQ(0, std::memcmp(rebuilt.data(), kept.data(), sizeof(double) * kept.size()));
}

INSTANTIATE_TEST_SUITE_P(PowersOfTwo, RdftSize, ::testing::Values(2, 4, 8, 16, 2048, 4096),
                         [](const ::testing::TestParamInfo<int>& info) { return "N" + std::to_string(info.param); });

// The sizes between the ones the engine uses exercise the other mixes of radix-8, radix-4 and
// radix-2 passes.
TEST(Rdft, EverySizeUpTo8192MatchesTheNaiveTransform)
{
    for (int n = 32; n <= 8192; n *= 2)
    {
        const std::vector<double> x = randomSignal(n, static_cast<unsigned>(n));
        std::vector<double> a = x;
        std::vector<int> ip(2 + 64, 0);
        std::vector<double> w(static_cast<std::size_t>(n / 2));
        rdft(n, 1, a.data(), ip.data(), w.data());
        const std::vector<double> expected = naivePackedSpectrum(x);
        EXPECT_LE(maxAbsDifference(a, expected) / maxAbs(expected), 1e-10) << "n = " << n;
    }
}

TEST(Rdft, ImpulseAtOneGivesSineOfAnEighthTurnInBinOne)
{
    std::vector<double> a(8, 0.0);
    a[1] = 1;
    Tables t;
    rdft(8, 1, a.data(), t.ip.data(), t.w.data());
    EXPECT_NEAR(a[3], std::sin(pi / 4), 1e-15);
    negateOdd(a);
    EXPECT_NEAR(a[3], -std::sin(pi / 4), 1e-15);
}

// After the odd elements are negated the packing holds the usual DFT: a[2k] = Re X[k],
// a[2k+1] = Im X[k], a[1] = -X[N/2] for a signal whose X[N/2] is known.
TEST(Rdft, NegatedOddElementsHoldTheUsualDft)
{
    const int n = 64;
    std::vector<double> a(n);
    for (int j = 0; j < n; ++j)
        a[static_cast<std::size_t>(j)] = std::cos(2 * pi * 5 * j / n + 0.3) + 0.25 * ((j % 2) ? -1.0 : 1.0);
    Tables t;
    rdft(n, 1, a.data(), t.ip.data(), t.w.data());
    negateOdd(a);
    // X[5] = (n/2) e^(0.3 i); X[N/2] = 0.25 n.
    EXPECT_NEAR(a[10], n / 2.0 * std::cos(0.3), 1e-12);
    EXPECT_NEAR(a[11], n / 2.0 * std::sin(0.3), 1e-12);
    EXPECT_NEAR(a[1], -0.25 * n, 1e-12);
}

TEST(Rdft, TablesHoldBitReversedTwiddlesAndTheCosineTable)
{
    const int n = 2048;
    std::vector<double> a(n, 0.0);
    Tables t;
    rdft(n, 1, a.data(), t.ip.data(), t.w.data());
    const int nw = t.ip[0];
    const int nc = t.ip[1];
    ASSERT_EQ(nw, n / 4);
    ASSERT_EQ(nc, n / 4);

    const int bits = 8; // nw / 2 = 256 twiddles
    for (int m = 0; m < nw / 2; ++m)
    {
        const int slot = reverseBits(m, bits);
        EXPECT_NEAR(t.w[static_cast<std::size_t>(2 * slot)], std::cos(pi * m / nw), 1e-15) << m;
        EXPECT_NEAR(t.w[static_cast<std::size_t>(2 * slot + 1)], std::sin(pi * m / nw), 1e-15) << m;
    }
    const double* c = t.w.data() + nw;
    EXPECT_NEAR(c[0], std::cos(pi / 4), 1e-15);
    EXPECT_NEAR(c[nc / 2], 0.5 * std::cos(pi / 4), 1e-15);
    for (int j = 1; j < nc / 2; ++j)
    {
        EXPECT_NEAR(c[j], 0.5 * std::cos(j * pi / (2 * nc)), 1e-15) << j;
        EXPECT_NEAR(c[nc - j], 0.5 * std::sin(j * pi / (2 * nc)), 1e-15) << j;
    }
}

// Tables are not rebuilt for a smaller size: those of the larger one must serve it.
TEST(Rdft, TablesBuiltForALargerSizeServeASmallerOne)
{
    Tables t;
    std::vector<double> scratch(4096, 0.0);
    rdft(4096, 1, scratch.data(), t.ip.data(), t.w.data());
    ASSERT_EQ(t.ip[0], 1024);

    const std::vector<double> x = randomSignal(2048, 99u);
    std::vector<double> a = x;
    rdft(2048, 1, a.data(), t.ip.data(), t.w.data());
    EXPECT_EQ(t.ip[0], 1024);
    const std::vector<double> expected = naivePackedSpectrum(x);
    EXPECT_LE(maxAbsDifference(a, expected) / maxAbs(expected), 1e-10);

    rdft(2048, -1, a.data(), t.ip.data(), t.w.data());
    for (double& v : a)
        v *= 2.0 / 2048;
    EXPECT_LE(maxAbsDifference(a, x), 1e-12);
}

TEST(Rdft, BitReversalIsAnInvolutionThatReversesIndexBits)
{
    for (int complexCount : {2, 4, 8, 32, 1024, 2048})
    {
        const int n = 2 * complexCount;
        std::vector<double> a(static_cast<std::size_t>(n));
        for (int i = 0; i < complexCount; ++i)
        {
            a[static_cast<std::size_t>(2 * i)] = i;
            a[static_cast<std::size_t>(2 * i + 1)] = -i;
        }
        std::vector<int> work(64);
        bitrv2(n, work.data(), a.data());
        int bits = 0;
        while ((1 << bits) < complexCount)
            ++bits;
        for (int i = 0; i < complexCount; ++i)
        {
            ASSERT_EQ(a[static_cast<std::size_t>(2 * i)], reverseBits(i, bits)) << complexCount << " " << i;
            ASSERT_EQ(a[static_cast<std::size_t>(2 * i + 1)], -reverseBits(i, bits));
        }
    }
}

TEST(Rdft, TransformsAllocateNothing)
{
    Tables t;
    std::vector<double> a = randomSignal(4096, 1u);
    const std::uint64_t before = allocation_counter::count();
    t.ip[0] = 0;
    rdft(4096, 1, a.data(), t.ip.data(), t.w.data());
    rdft(4096, -1, a.data(), t.ip.data(), t.w.data());
    rdft(2048, 1, a.data(), t.ip.data(), t.w.data());
    EXPECT_EQ(allocation_counter::count(), before);
}
} // namespace
