// The passes of the real transform, written once for vectors of four doubles (two complex
// values, real and imaginary parts interleaved as they lie in memory) and compiled twice: for
// baseline x86-64, where a vector is two SSE2 registers, and for AVX2 with FMA, where it is one
// register and a twiddle product is one fused multiply-add-subtract. Included only by the
// translation units that build the kernel tables (dsp/kernels*.cpp), inside their namespace.
//
// Every butterfly of a pass runs two at a time: within a middle pass two neighbouring groups of
// one block (one twiddle, broadcast), within the first pass two neighbouring blocks (a twiddle
// each, laid out lane by lane when the tables are built: rdftlanes).

using v4 = lanes4;
using v4bits = lanes4bits;

// The vector the passes run on: one complex value per SSE2 register, two per AVX register.
#if defined(__AVX2__)
using vec = v4;
using vecbits = v4bits;
#else
using vec = doublepair;
using vecbits = lanes2bits;
#endif
constexpr int valuesper = sizeof(vec) / (2 * sizeof(double));

constexpr std::uint64_t signbit = 0x8000000000000000ull;
#if defined(__AVX2__)
constexpr vecbits realsigns = {signbit, 0, signbit, 0};
constexpr vecbits imaginarysigns = {0, signbit, 0, signbit};
#else
constexpr vecbits realsigns = {signbit, 0};
constexpr vecbits imaginarysigns = {0, signbit};
#endif
constexpr double cos45 = 0.70710678118654752440084436210485; // cos(pi/4)

inline vec loadvec(const double* p)
{
    return loadvector<vec>(p);
}

inline void storevec(double* p, const vec& v)
{
    storevector(p, v);
}

inline vec swapparts(const vec& x)
{
#if defined(__AVX2__)
    return __builtin_shufflevector(x, x, 1, 0, 3, 2);
#else
    return __builtin_shufflevector(x, x, 1, 0);
#endif
}

inline vec negate(const vec& x, const vecbits& signs)
{
    return (vec)((vecbits)x ^ signs);
}

// x times +i (forward kernel) or -i (inverse).
template <bool Inverse>
inline vec quarterturn(const vec& x)
{
    return negate(swapparts(x), Inverse ? imaginarysigns : realsigns);
}

// x times e^(+-i pi/4) and e^(+-3i pi/4).
template <bool Inverse>
inline vec eighthturn(const vec& x)
{
    return cos45 * (x + quarterturn<Inverse>(x));
}

template <bool Inverse>
inline vec threeeighthsturn(const vec& x)
{
    return cos45 * (quarterturn<Inverse>(x) - x);
}

// x times (c + i s), or its conjugate for the inverse: the cosines from twiddle, the sines four
// doubles further, each lane's value twice.
template <bool Inverse>
inline vec rotate(const vec& x, const double* twiddle)
{
    const vec c = loadvec(twiddle);
    const vec s = loadvec(twiddle + 4);
#if defined(__FMA__)
    const __m256d crossed = (__m256d)(swapparts(x) * s);
    return Inverse ? (vec)_mm256_fmsubadd_pd((__m256d)x, (__m256d)c, crossed)
                   : (vec)_mm256_fmaddsub_pd((__m256d)x, (__m256d)c, crossed);
#else
    return x * c + negate(swapparts(x) * s, Inverse ? imaginarysigns : realsigns);
#endif
}

// Where a vector's values lie: side by side from p (inplace); for two values, one at p and one
// Apart doubles further (apart<0>: the same value twice, for a lone group); or the two values
// before p, the later one first (descending: the high bins of the real-data stage, which run
// down while the low ones run up).
struct inplace
{
    static vec load(const double* p) { return loadvec(p); }
    static void store(double* p, const vec& x) { storevec(p, x); }
};

#if defined(__AVX2__)
template <int Apart>
struct apart
{
    static vec load(const double* p) { return __builtin_shufflevector(loadlanes(p), loadlanes(p + Apart), 0, 1, 2, 3); }
    static void store(double* p, const vec& x)
    {
        storelanes(p + Apart, __builtin_shufflevector(x, x, 2, 3));
        storelanes(p, __builtin_shufflevector(x, x, 0, 1));
    }
};

struct descending
{
    static vec load(const double* p)
    {
        const vec x = loadvec(p - 2);
        return __builtin_shufflevector(x, x, 2, 3, 0, 1);
    }
    static void store(double* p, const vec& x) { storevec(p - 2, __builtin_shufflevector(x, x, 2, 3, 0, 1)); }
};
#else
template <int Apart>
using apart = inplace;
using descending = inplace;
#endif

// One group of a radix-8 pass, two side by side: 8 values stride doubles apart, in
// bit-reversed order on entry, replaced by their 8-point DFT in natural order with output s
// rotated by the s-th twiddle power (twiddles: 7 powers of 8 doubles each).
template <bool Inverse, typename Lanes>
__attribute__((always_inline)) inline void radix8group(double* p, std::ptrdiff_t stride, const double* twiddles)
{
    // Slots hold inputs 0, 4, 2, 6, 1, 5, 3, 7.
    const vec x0 = Lanes::load(p), x4 = Lanes::load(p + stride);
    const vec x2 = Lanes::load(p + 2 * stride), x6 = Lanes::load(p + 3 * stride);
    const vec x1 = Lanes::load(p + 4 * stride), x5 = Lanes::load(p + 5 * stride);
    const vec x3 = Lanes::load(p + 6 * stride), x7 = Lanes::load(p + 7 * stride);

    const vec sum04 = x0 + x4, dif04 = x0 - x4;
    const vec sum26 = x2 + x6, dif26 = quarterturn<Inverse>(x2 - x6);
    const vec sum15 = x1 + x5, dif15 = x1 - x5;
    const vec sum37 = x3 + x7, dif37 = quarterturn<Inverse>(x3 - x7);
    const vec even0 = sum04 + sum26, even2 = sum04 - sum26;
    const vec even1 = dif04 + dif26, even3 = dif04 - dif26;
    const vec odd0 = sum15 + sum37;
    const vec odd2 = quarterturn<Inverse>(sum15 - sum37);
    const vec odd1 = eighthturn<Inverse>(dif15 + dif37);
    const vec odd3 = threeeighthsturn<Inverse>(dif15 - dif37);

    Lanes::store(p, even0 + odd0);
    Lanes::store(p + stride, rotate<Inverse>(even1 + odd1, twiddles));
    Lanes::store(p + 2 * stride, rotate<Inverse>(even2 + odd2, twiddles + 8));
    Lanes::store(p + 3 * stride, rotate<Inverse>(even3 + odd3, twiddles + 16));
    Lanes::store(p + 4 * stride, rotate<Inverse>(even0 - odd0, twiddles + 24));
    Lanes::store(p + 5 * stride, rotate<Inverse>(even1 - odd1, twiddles + 32));
    Lanes::store(p + 6 * stride, rotate<Inverse>(even2 - odd2, twiddles + 40));
    Lanes::store(p + 7 * stride, rotate<Inverse>(even3 - odd3, twiddles + 48));
}

// The first pass: m/8 blocks of 8 adjacent values, a twiddle each, laid out for block pairs.
template <bool Inverse>
void radix8first(int m, double* a, const double* twiddles)
{
    const int blocks = m / 8;
    int block = 0;
    if constexpr (valuesper == 2)
    {
        for (; block + 2 <= blocks; block += 2, twiddles += rdftlanes::groupdoubles)
            radix8group<Inverse, apart<16>>(a + 16 * block, 2, twiddles);
        if (block < blocks)
            radix8group<Inverse, apart<0>>(a + 16 * block, 2, twiddles);
    }
    else
    {
        for (; block < blocks; ++block)
            radix8group<Inverse, inplace>(a + 16 * block, 2,
                                          twiddles + rdftlanes::groupdoubles * (block / 2) + 2 * (block % 2));
    }
}

// A middle pass: blocks of 8 * span values, span (even) groups each, one twiddle per block.
template <bool Inverse>
void radix8middle(int m, int span, double* a, const double* twiddles)
{
    const std::ptrdiff_t stride = 2 * span;
    const int blocks = m / (8 * span);
    for (int block = 0; block < blocks; ++block, twiddles += rdftlanes::groupdoubles)
    {
        double* base = a + 8 * stride * block;
        for (int offset = 0; offset < span; offset += valuesper)
            radix8group<Inverse, inplace>(base + 2 * offset, stride, twiddles);
    }
}

// The last pass, one block of 4 * span values: 4-point DFTs of groups span apart, inputs in
// bit-reversed order (0, 2, 1, 3).
template <bool Inverse, typename Lanes>
inline void radix4group(double* p, std::ptrdiff_t stride)
{
    const vec x0 = Lanes::load(p), x2 = Lanes::load(p + stride);
    const vec x1 = Lanes::load(p + 2 * stride), x3 = Lanes::load(p + 3 * stride);
    const vec sum02 = x0 + x2, dif02 = x0 - x2;
    const vec sum13 = x1 + x3, dif13 = quarterturn<Inverse>(x1 - x3);
    Lanes::store(p, sum02 + sum13);
    Lanes::store(p + stride, dif02 + dif13);
    Lanes::store(p + 2 * stride, sum02 - sum13);
    Lanes::store(p + 3 * stride, dif02 - dif13);
}

template <bool Inverse>
void radix4last(int span, double* a)
{
    const std::ptrdiff_t stride = 2 * span;
    if (span < valuesper)
        return radix4group<Inverse, apart<0>>(a, stride);
    for (int offset = 0; offset < span; offset += valuesper)
        radix4group<Inverse, inplace>(a + 2 * offset, stride);
}

void radix2last(int span, double* a)
{
    const int stride = 2 * span;
    if (span == 1)
    {
        const doublepair x0 = loadlanes(a), x1 = loadlanes(a + 2);
        storelanes(a, x0 + x1);
        storelanes(a + 2, x0 - x1);
        return;
    }
    for (int i = 0; i < stride; i += 2 * valuesper)
    {
        const vec x0 = loadvec(a + i), x1 = loadvec(a + i + stride);
        storevec(a + i, x0 + x1);
        storevec(a + i + stride, x0 - x1);
    }
}

// The complex FFT of n/2 values in bit-reversed order, l counting doubles as cftmdl does.
template <bool Inverse>
void complextransform(int n, double* a, const rdftlanes& lanes)
{
    const int m = n / 2;
    int l = 2;
    if (n >= 16)
    {
        radix8first<Inverse>(m, a, lanes.first);
        const double* twiddles = lanes.middle;
        for (l = 16; 8 * l <= n; l *= 8)
        {
            radix8middle<Inverse>(m, l / 2, a, twiddles);
            twiddles += rdftlanes::groupdoubles * (m / (4 * l));
        }
    }
    if (2 * l < n)
        radix4last<Inverse>(l / 2, a);
    else if (2 * l == n)
        radix2last(l / 2, a);
}

// With Z the complex FFT of the packed halves, bin k (0 < k < n/4) of the real spectrum is
//   X[k] = Z[k] - W (Z[k] - conj Z[n/2 - k]),  W = (1 + i e^(i theta)) / 2,  theta = 2 pi k / n,
// and X[n/2 - k] follows from the same product conjugated; the inverse uses conj W. Two bins
// at a time, the low ones going up and the high ones down; weights: 8 doubles a pair.
template <bool Inverse, typename Low, typename High>
inline void combinehalves(double* low, double* high, const double* weights)
{
    const vec x = Low::load(low), y = High::load(high);
    const vec product = rotate<Inverse>(x - negate(y, imaginarysigns), weights);
    Low::store(low, x - product);
    High::store(high, y + negate(product, imaginarysigns));
}

template <bool Inverse>
void realstage(int n, double* a, const rdftlanes& lanes)
{
    const int m = n / 2;
    const double* weights = lanes.halves;
    int j = 2;
    if constexpr (valuesper == 2)
    {
        for (; j + 2 < m; j += 4, weights += rdftlanes::pairdoubles)
            combinehalves<Inverse, inplace, descending>(a + j, a + n - j, weights);
        if (j < m)
            combinehalves<Inverse, apart<0>, apart<0>>(a + j, a + n - j, weights);
    }
    else
    {
        for (int bin = 0; j < m; j += 2, ++bin)
            combinehalves<Inverse, inplace, inplace>(a + j, a + n - j,
                                                     weights + rdftlanes::pairdoubles * (bin / 2) + 2 * (bin % 2));
    }
}

// bitrv2's permutation without its index arithmetic: from the list of its exchanges, or with two
// values a vector, quads exchanged and transposed.
void bitreversekernel([[maybe_unused]] int n, double* a, const rdftlanes& lanes)
{
#if defined(__AVX2__)
    {
        const int half = n / 2; // doubles from x to x + n/4
        for (int i = 0; i < 2 * lanes.quadcount; i += 2)
        {
            double* p = a + lanes.quads[i];
            double* q = a + lanes.quads[i + 1];
            const vec x = loadvec(p), xhigh = loadvec(p + half), y = loadvec(q), yhigh = loadvec(q + half);
            storevec(q, __builtin_shufflevector(x, xhigh, 0, 1, 4, 5));
            storevec(q + half, __builtin_shufflevector(x, xhigh, 2, 3, 6, 7));
            storevec(p, __builtin_shufflevector(y, yhigh, 0, 1, 4, 5));
            storevec(p + half, __builtin_shufflevector(y, yhigh, 2, 3, 6, 7));
        }
    }
#else
    {
        for (int i = 0; i < 2 * lanes.swapcount; i += 2)
        {
            double* x = a + lanes.swaps[i];
            double* y = a + lanes.swaps[i + 1];
            const vec saved = loadvec(x);
            storevec(x, loadvec(y));
            storevec(y, saved);
        }
    }
#endif
}

void cftfsubkernel(int n, double* a, const rdftlanes& lanes)
{
    complextransform<false>(n, a, lanes);
}

void cftbsubkernel(int n, double* a, const rdftlanes& lanes)
{
    complextransform<true>(n, a, lanes);
}

void cft1stkernel(int n, double* a, const rdftlanes& lanes)
{
    radix8first<false>(n / 2, a, lanes.first);
}

void cftmdlkernel(int n, int l, double* a, const rdftlanes& lanes)
{
    const int m = n / 2;
    const double* twiddles = lanes.middle;
    for (int before = 16; before < l; before *= 8)
        twiddles += rdftlanes::groupdoubles * (m / (4 * before));
    radix8middle<false>(m, l / 2, a, twiddles);
}

void rftfsubkernel(int n, double* a, const rdftlanes& lanes)
{
    realstage<false>(n, a, lanes);
}

void rftbsubkernel(int n, double* a, const rdftlanes& lanes)
{
    realstage<true>(n, a, lanes);
}
