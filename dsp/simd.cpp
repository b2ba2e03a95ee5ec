#include "dsp/simd.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

extern const dspkernels baselinekernels;
#if QUILL_HAVE_AVX2_KERNELS
extern const dspkernels avx2kernels;
#endif

namespace
{
bool cpuhasavx2()
{
#if QUILL_HAVE_AVX2_KERNELS
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

const dspkernels* kernelsfor(simdpath path)
{
#if QUILL_HAVE_AVX2_KERNELS
    if (path == simdpath::avx2)
        return &avx2kernels;
#endif
    return path == simdpath::baseline ? &baselinekernels : nullptr;
}

const dspkernels* chooseatstartup()
{
    const char* forced = std::getenv("QUILL_SIMD");
    const bool baselineonly = forced != nullptr && std::strcmp(forced, "baseline") == 0;
    return kernelsfor(cpuhasavx2() && !baselineonly ? simdpath::avx2 : simdpath::baseline);
}

std::atomic<const dspkernels*> active{chooseatstartup()};
} // namespace

const dspkernels& activekernels()
{
    const dspkernels* kernels = active.load(std::memory_order_relaxed);
    if (kernels == nullptr) // a static initialiser elsewhere ran before this file's
    {
        kernels = chooseatstartup();
        active.store(kernels, std::memory_order_relaxed);
    }
    return *kernels;
}

simdpath activesimdpath()
{
    return &activekernels() == &baselinekernels ? simdpath::baseline : simdpath::avx2;
}

bool usesimdpath(simdpath path)
{
    if (path == simdpath::avx2 && !cpuhasavx2())
        return false;
    active.store(kernelsfor(path), std::memory_order_relaxed);
    return true;
}
