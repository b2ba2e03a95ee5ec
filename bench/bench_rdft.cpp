// One forward and one inverse real transform at the engine's two frame sizes, with the tables
// built once beforehand as the engine keeps them.
#include "dsp/rdft.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
void BM_RdftForwardInverse(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<int> ip(66, 0);
    std::vector<double> w(static_cast<std::size_t>(n / 2));
    std::vector<double> a(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j)
        a[static_cast<std::size_t>(j)] = std::sin(0.01 * j) + 0.5 * std::sin(0.37 * j);
    rdft(n, 1, a.data(), ip.data(), w.data()); // builds the tables
    rdft(n, -1, a.data(), ip.data(), w.data());
    const double scale = 2.0 / n;

    for (auto _ : state)
    {
        rdft(n, 1, a.data(), ip.data(), w.data());
        rdft(n, -1, a.data(), ip.data(), w.data());
        for (double& v : a)
            v *= scale; // keeps the values from growing from one pair to the next
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
} // namespace

BENCHMARK(BM_RdftForwardInverse)->Arg(2048)->Arg(4096);
