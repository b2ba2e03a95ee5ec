// One forward and one inverse real transform at the engine's two frame sizes, with the tables
// built once beforehand as the engine keeps them; beside it the same pair through FFTW
// (planned with FFTW_MEASURE) when the library is there, the fastest general transform a user
// could link. Both scale the result back by 2/N, so neither's values grow from pair to pair.
#include "dsp/rdft.h"

#include <benchmark/benchmark.h>

#if QUILL_HAVE_FFTW
#include <fftw3.h>
#endif

#include <cmath>
#include <vector>

namespace
{
constexpr int ipsize = 66;

std::vector<double> testframe(int n)
{
    std::vector<double> a(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j)
        a[static_cast<std::size_t>(j)] = std::sin(0.01 * j) + 0.5 * std::sin(0.37 * j);
    return a;
}

void BM_RdftForwardInverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<int> ip(ipsize, 0);
    std::vector<double> w(static_cast<std::size_t>(n / 2));
    std::vector<double> a = testframe(n);
    rdft(n, 1, a.data(), ip.data(), w.data()); // builds the tables
    rdft(n, -1, a.data(), ip.data(), w.data());
    const double scale = 2.0 / n;

    for (auto _ : state)
    {
        rdft(n, 1, a.data(), ip.data(), w.data());
        rdft(n, -1, a.data(), ip.data(), w.data());
        for (double& v : a)
            v *= scale;
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2);
}

#if QUILL_HAVE_FFTW
void BM_FftwForwardInverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    double* a = fftw_alloc_real(static_cast<std::size_t>(n));
    fftw_complex* spectrum = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    const fftw_plan forward = fftw_plan_dft_r2c_1d(n, a, spectrum, FFTW_MEASURE);
    const fftw_plan inverse = fftw_plan_dft_c2r_1d(n, spectrum, a, FFTW_MEASURE);
    const std::vector<double> frame = testframe(n); // planning overwrote a
    std::copy(frame.begin(), frame.end(), a);
    const double scale = 1.0 / n;

    for (auto _ : state)
    {
        fftw_execute(forward);
        fftw_execute(inverse);
        for (int j = 0; j < n; ++j)
            a[j] *= scale;
        benchmark::DoNotOptimize(a);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2);
    fftw_destroy_plan(forward);
    fftw_destroy_plan(inverse);
    fftw_free(spectrum);
    fftw_free(a);
}
#endif
} // namespace

BENCHMARK(BM_RdftForwardInverse)->Arg(2048)->Arg(4096);
#if QUILL_HAVE_FFTW
BENCHMARK(BM_FftwForwardInverse)->Arg(2048)->Arg(4096);
#endif
