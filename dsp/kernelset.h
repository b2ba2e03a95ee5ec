// One set of vector kernels, for the instruction set the including translation unit is compiled
// for: the including file defines KERNELSET_NAMESPACE and KERNELSET_TABLE and includes this
// once. The kernels' vectors are passed and returned by value only inside that file, so the
// calling convention (which differs between SSE2 and AVX) never crosses a boundary.
#include "dsp/lanes2.h"
#include "dsp/simd.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__FMA__)
#include <immintrin.h>
#endif

#if defined(__clang__)
#pragma clang diagnostic ignored "-Wunknown-warning-option"
#pragma clang diagnostic ignored "-Wpsabi"
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace KERNELSET_NAMESPACE
{
#include "dsp/rdftkernels.h"
} // namespace KERNELSET_NAMESPACE

extern const dspkernels KERNELSET_TABLE;
const dspkernels KERNELSET_TABLE = {
#if defined(__AVX2__)
    "avx2",
#else
    "baseline",
#endif
    KERNELSET_NAMESPACE::cftfsubkernel,
    KERNELSET_NAMESPACE::cftbsubkernel,
    KERNELSET_NAMESPACE::cft1stkernel,
    KERNELSET_NAMESPACE::cftmdlkernel,
    KERNELSET_NAMESPACE::rftfsubkernel,
    KERNELSET_NAMESPACE::rftbsubkernel,
};
