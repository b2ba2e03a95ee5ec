// One set of vector kernels, for the instruction set the including translation unit is compiled
// for: the including file defines KERNELSET_NAMESPACE and KERNELSET_TABLE and includes this
// once. The kernels' vectors are passed and returned by value only inside that file, so the
// calling convention (which differs between SSE2 and AVX) never crosses a boundary.
#include "dsp/doublepair.h"
#include "dsp/fastsincos.h"
#include "dsp/lanes.h"
#include "dsp/simd.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(__clang__)
#pragma clang diagnostic ignored "-Wunknown-warning-option"
#pragma clang diagnostic ignored "-Wpsabi"
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace KERNELSET_NAMESPACE
{
// A vector from memory and back, at any alignment.
template <typename V>
inline V loadvector(const double* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename V>
inline void storevector(double* p, const V& v)
{
    std::memcpy(p, &v, sizeof v);
}

namespace transform
{
#include "dsp/rdftkernels.h"
} // namespace transform
namespace spectrum
{
#include "dsp/fastmathkernels.h"
} // namespace spectrum
namespace sincos
{
#include "dsp/fastsincoskernels.h"
} // namespace sincos
namespace voice
{
#include "dsp/voicekernels.h"
} // namespace voice
} // namespace KERNELSET_NAMESPACE

extern const dspkernels KERNELSET_TABLE;
const dspkernels KERNELSET_TABLE = {
#if defined(__AVX2__)
    "avx2",
#else
    "baseline",
#endif
    KERNELSET_NAMESPACE::transform::bitreversekernel,
    KERNELSET_NAMESPACE::transform::cftfsubkernel,
    KERNELSET_NAMESPACE::transform::cftbsubkernel,
    KERNELSET_NAMESPACE::transform::cft1stkernel,
    KERNELSET_NAMESPACE::transform::cftmdlkernel,
    KERNELSET_NAMESPACE::transform::rftfsubkernel,
    KERNELSET_NAMESPACE::transform::rftbsubkernel,
    KERNELSET_NAMESPACE::spectrum::rectangulartopolarkernel,
    KERNELSET_NAMESPACE::spectrum::log1pofmagnitudeskernel,
    KERNELSET_NAMESPACE::sincos::polartorectangularkernel,
    KERNELSET_NAMESPACE::voice::advancephaseskernel,
    KERNELSET_NAMESPACE::voice::warpkernel,
    KERNELSET_NAMESPACE::voice::mapbinskernel,
    KERNELSET_NAMESPACE::voice::squareddifferenceskernel,
    KERNELSET_NAMESPACE::voice::sumkernel,
    KERNELSET_NAMESPACE::voice::squareddeviationkernel,
};
