// The real transform of n doubles runs as a complex FFT of the n/2 values a[2j] + i a[2j+1]
// with a real-data stage that separates the even and odd samples' spectra.
//
// The complex FFT is decimation in frequency carried out on data already permuted into
// bit-reversed order: each pass then works on contiguous blocks, all butterflies of a block
// share one twiddle, and the twiddles of successive blocks are successive entries of the
// bit-reversed table. The output comes out in natural order. Passes are radix 8, with one
// radix-4 or radix-2 pass at the end (whose single block needs no twiddle).
#include "dsp/rdft.h"

#include "dsp/lanes2.h"

#include <cmath>
#include <cstddef>

namespace
{
constexpr double cos45 = 0.70710678118654752440084436210485; // cos(pi/4)

// One complex value (T = double), or two side by side (T = lanes2), the real parts in one
// vector and the imaginary parts in the other: every operation below then runs two butterflies
// at once, lane by lane exactly the arithmetic of the single ones, so both give the same bits.
template <typename T>
struct complexof
{
    T re;
    T im;
};

using cpx = complexof<double>;
using cpx2 = complexof<lanes2>;

template <typename T>
inline complexof<T> operator+(complexof<T> x, complexof<T> y)
{
    return {x.re + y.re, x.im + y.im};
}

template <typename T>
inline complexof<T> operator-(complexof<T> x, complexof<T> y)
{
    return {x.re - y.re, x.im - y.im};
}

template <typename T>
inline complexof<T> operator*(complexof<T> x, complexof<T> y)
{
    return {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re};
}

// x times +i (forward kernel) or -i (inverse kernel).
template <bool Inverse, typename C>
inline C timesQuarterTurn(C x)
{
    if (Inverse)
        return {x.im, -x.re};
    return {-x.im, x.re};
}

// x times e^(+-i pi/4) and e^(+-3i pi/4).
template <bool Inverse, typename C>
inline C timesEighthTurn(C x)
{
    if (Inverse)
        return {cos45 * (x.re + x.im), cos45 * (x.im - x.re)};
    return {cos45 * (x.re - x.im), cos45 * (x.im + x.re)};
}

template <bool Inverse, typename C>
inline C timesThreeEighthsTurn(C x)
{
    if (Inverse)
        return {cos45 * (x.im - x.re), -cos45 * (x.re + x.im)};
    return {-cos45 * (x.re + x.im), cos45 * (x.re - x.im)};
}

// Where the values of a group lie: one value at p (single), or two values side by side for two
// groups at once, at p and Apart doubles further (paired).
struct single
{
    using value = cpx;
    static cpx load(const double* p) { return {p[0], p[1]}; }
    static void store(double* p, cpx x)
    {
        p[0] = x.re;
        p[1] = x.im;
    }
};

template <int Apart>
struct paired
{
    using value = cpx2;
    static cpx2 load(const double* p) { return {lanes2{p[0], p[Apart]}, lanes2{p[1], p[Apart + 1]}}; }
    static void store(double* p, cpx2 x)
    {
        p[0] = x.re[0];
        p[1] = x.im[0];
        p[Apart] = x.re[1];
        p[Apart + 1] = x.im[1];
    }
};

// Twiddle e^(+-i theta) from a (cos, sin) entry of the table; for a pair, one entry per lane or
// the same in both.
template <bool Inverse>
inline cpx twiddle(const double* w, int entry)
{
    return {w[2 * entry], Inverse ? -w[2 * entry + 1] : w[2 * entry + 1]};
}

template <bool Inverse>
inline cpx2 twiddle(const double* w, int firstEntry, int secondEntry)
{
    const cpx x = twiddle<Inverse>(w, firstEntry);
    const cpx y = twiddle<Inverse>(w, secondEntry);
    return {lanes2{x.re, y.re}, lanes2{x.im, y.im}};
}

inline cpx2 bothLanes(cpx x)
{
    return {lanes2{x.re, x.re}, lanes2{x.im, x.im}};
}

// The block twiddle's powers 1 to 7 from the twiddle (w1) and its square (w2).
template <typename C>
struct twiddlePowers
{
    C w1, w2, w3, w4, w5, w6, w7;

    twiddlePowers(C first, C square)
        : w1(first), w2(square), w3(w1 * w2), w4(w2 * w2), w5(w1 * w4), w6(w2 * w4), w7(w3 * w4)
    {
    }
};

// One group of a radix-8 pass: 8 values `stride` doubles apart from p, or two such groups side
// by side (Lanes). The group, in bit-reversed order on entry, is replaced by its 8-point DFT in
// natural order, output s multiplied by the s-th twiddle power.
template <bool Inverse, typename Lanes, typename C = typename Lanes::value>
inline void radix8Group(double* p, std::ptrdiff_t stride, const twiddlePowers<C>& w)
{
    // Slots hold inputs 0, 4, 2, 6, 1, 5, 3, 7.
    const C x0 = Lanes::load(p);
    const C x4 = Lanes::load(p + stride);
    const C x2 = Lanes::load(p + 2 * stride);
    const C x6 = Lanes::load(p + 3 * stride);
    const C x1 = Lanes::load(p + 4 * stride);
    const C x5 = Lanes::load(p + 5 * stride);
    const C x3 = Lanes::load(p + 6 * stride);
    const C x7 = Lanes::load(p + 7 * stride);

    // 4-point DFTs of the even and of the odd inputs.
    const C sum04 = x0 + x4, dif04 = x0 - x4;
    const C sum26 = x2 + x6, dif26 = timesQuarterTurn<Inverse>(x2 - x6);
    const C sum15 = x1 + x5, dif15 = x1 - x5;
    const C sum37 = x3 + x7, dif37 = timesQuarterTurn<Inverse>(x3 - x7);
    const C even0 = sum04 + sum26, even2 = sum04 - sum26;
    const C even1 = dif04 + dif26, even3 = dif04 - dif26;
    const C odd0 = sum15 + sum37;
    const C odd2 = timesQuarterTurn<Inverse>(sum15 - sum37);
    const C odd1 = timesEighthTurn<Inverse>(dif15 + dif37);
    const C odd3 = timesThreeEighthsTurn<Inverse>(dif15 - dif37);

    Lanes::store(p, even0 + odd0);
    Lanes::store(p + stride, (even1 + odd1) * w.w1);
    Lanes::store(p + 2 * stride, (even2 + odd2) * w.w2);
    Lanes::store(p + 3 * stride, (even3 + odd3) * w.w3);
    Lanes::store(p + 4 * stride, (even0 - odd0) * w.w4);
    Lanes::store(p + 5 * stride, (even1 - odd1) * w.w5);
    Lanes::store(p + 6 * stride, (even2 - odd2) * w.w6);
    Lanes::store(p + 7 * stride, (even3 - odd3) * w.w7);
}

// One radix-8 pass over m complex values: blocks of 8 * span values, each holding span
// interleaved groups of 8 values span apart; all groups of block b share its twiddle, table
// entry 2b (its square is entry b). Groups run two at a time: neighbours within a block when it
// holds several (span >= 2, always even), else two neighbouring blocks with a twiddle each.
template <bool Inverse>
void radix8Pass(int m, int span, double* a, const double* w)
{
    const int blocks = m / (8 * span);
    if (span == 1)
    {
        constexpr int blockDoubles = 16;
        int block = 0;
        for (; block + 2 <= blocks; block += 2)
        {
            const twiddlePowers<cpx2> powers(twiddle<Inverse>(w, 2 * block, 2 * block + 2),
                                             twiddle<Inverse>(w, block, block + 1));
            radix8Group<Inverse, paired<blockDoubles>>(a + blockDoubles * block, 2, powers);
        }
        if (block < blocks)
        {
            const twiddlePowers<cpx> powers(twiddle<Inverse>(w, 2 * block), twiddle<Inverse>(w, block));
            radix8Group<Inverse, single>(a + blockDoubles * block, 2, powers);
        }
        return;
    }
    const std::ptrdiff_t stride = 2 * span;
    for (int block = 0; block < blocks; ++block)
    {
        double* base = a + 8 * stride * block;
        const twiddlePowers<cpx2> powers(bothLanes(twiddle<Inverse>(w, 2 * block)),
                                         bothLanes(twiddle<Inverse>(w, block)));
        for (int offset = 0; offset < span; offset += 2)
            radix8Group<Inverse, paired<2>>(base + 2 * offset, stride, powers);
    }
}

// Last pass, one block of 4 * span values: 4-point DFTs of groups span apart, inputs in
// bit-reversed order (0, 2, 1, 3).
template <bool Inverse, typename Lanes>
inline void radix4Group(double* p, std::ptrdiff_t stride)
{
    using C = typename Lanes::value;
    const C x0 = Lanes::load(p);
    const C x2 = Lanes::load(p + stride);
    const C x1 = Lanes::load(p + 2 * stride);
    const C x3 = Lanes::load(p + 3 * stride);
    const C sum02 = x0 + x2, dif02 = x0 - x2;
    const C sum13 = x1 + x3, dif13 = timesQuarterTurn<Inverse>(x1 - x3);
    Lanes::store(p, sum02 + sum13);
    Lanes::store(p + stride, dif02 + dif13);
    Lanes::store(p + 2 * stride, sum02 - sum13);
    Lanes::store(p + 3 * stride, dif02 - dif13);
}

template <bool Inverse>
void radix4LastPass(int span, double* a)
{
    const std::ptrdiff_t stride = 2 * span;
    int first = 0;
    for (; first + 2 <= span; first += 2)
        radix4Group<Inverse, paired<2>>(a + 2 * first, stride);
    if (first < span)
        radix4Group<Inverse, single>(a + 2 * first, stride);
}

// Last pass, one block of 2 * span values: sums and differences need no split into real and
// imaginary parts, so each vector holds one complex value as it lies in memory.
void radix2LastPass(int span, double* a)
{
    const int stride = 2 * span;
    for (int i = 0; i < stride; i += 2)
    {
        const lanes2 x0 = loadlanes(a + i);
        const lanes2 x1 = loadlanes(a + i + stride);
        storelanes(a + i, x0 + x1);
        storelanes(a + i + stride, x0 - x1);
    }
}

// n doubles, n/2 complex values; l counts doubles as in cftmdl.
template <bool Inverse>
void complexTransform(int n, double* a, const double* w)
{
    const int m = n / 2;
    int l = 2;
    if (n >= 16)
    {
        radix8Pass<Inverse>(m, 1, a, w);
        l = 16;
        while (8 * l <= n)
        {
            radix8Pass<Inverse>(m, l / 2, a, w);
            l *= 8;
        }
    }
    if (2 * l < n)
        radix4LastPass<Inverse>(l / 2, a);
    else if (2 * l == n)
        radix2LastPass(l / 2, a);
}

int log2Of(int powerOfTwo)
{
    int bits = 0;
    while ((1 << bits) < powerOfTwo)
        ++bits;
    return bits;
}
} // namespace

void makewt(int nw, int* ip, double* w)
{
    ip[0] = nw;
    ip[1] = 1;
    if (nw <= 2)
        return;
    // nw/2 values e^(i pi m / nw); the second half of the quarter circle mirrors the first.
    const int nwh = nw / 2;
    const double delta = std::atan(1.0) / nwh;
    w[0] = 1;
    w[1] = 0;
    w[nwh] = std::cos(delta * nwh);
    w[nwh + 1] = w[nwh];
    for (int j = 2; j < nwh; j += 2)
    {
        const double x = std::cos(delta * j);
        const double y = std::sin(delta * j);
        w[j] = x;
        w[j + 1] = y;
        w[nw - j] = y;
        w[nw - j + 1] = x;
    }
    bitrv2(nw, ip + 2, w);
}

void makect(int nc, int* ip, double* c)
{
    ip[1] = nc;
    if (nc <= 1)
        return;
    const int nch = nc / 2;
    const double delta = std::atan(1.0) / nch;
    c[0] = std::cos(delta * nch);
    c[nch] = 0.5 * c[0];
    for (int j = 1; j < nch; ++j)
    {
        c[j] = 0.5 * std::cos(delta * j);
        c[nc - j] = 0.5 * std::sin(delta * j);
    }
}

// The index of m = 2^bits complex values splits into high, middle (one bit when bits is odd)
// and low parts of p bits each; reversing it reverses and swaps high and low. ip holds the
// p-bit reversal table, 2^p <= sqrt(m) entries.
//
// An index (high, middle, low) whose reversal (reverse(low), middle, reverse(high)) is larger
// has reverse(low) > high, so the loop visits exactly those pairs, once each, by running over
// the reversal's high part from high + 1 on.
void bitrv2(int n, int* ip, double* a)
{
    const int m = n / 2;
    const int bits = log2Of(m);
    const int p = bits / 2;
    const int middleBits = bits - 2 * p;
    const int partSize = 1 << p;

    ip[0] = 0;
    for (int k = 1; k < partSize; ++k)
        ip[k] = (ip[k >> 1] >> 1) | ((k & 1) << (p - 1));

    const int highShift = p + middleBits;
    for (int high = 0; high < partSize; ++high)
        for (int middle = 0; middle < (1 << middleBits); ++middle)
            for (int reversedHigh = high + 1; reversedHigh < partSize; ++reversedHigh)
            {
                const int index = (high << highShift) | (middle << p) | ip[reversedHigh];
                const int reversed = (reversedHigh << highShift) | (middle << p) | ip[high];
                double* x = a + 2 * index;
                double* y = a + 2 * reversed;
                const cpx saved = single::load(x);
                single::store(x, single::load(y));
                single::store(y, saved);
            }
}

void cftfsub(int n, double* a, const double* w)
{
    complexTransform<false>(n, a, w);
}

void cftbsub(int n, double* a, const double* w)
{
    complexTransform<true>(n, a, w);
}

void cft1st(int n, double* a, const double* w)
{
    radix8Pass<false>(n / 2, 1, a, w);
}

void cftmdl(int n, int l, double* a, const double* w)
{
    radix8Pass<false>(n / 2, l / 2, a, w);
}

namespace
{
// With Z the complex FFT of the packed halves, the spectrum at bin k (0 < k < n/4) is
//   X[k] = Z[k] - ((1 + i e^(i theta)) / 2) (Z[k] - conj Z[n/2 - k]),  theta = 2 pi k / n,
// and X[n/2 - k] follows from the same product conjugated. Bin n/4 is Z itself.
// low is bin k, high bin n/2 - k, wk the weight (1 - sin theta, cos theta) / 2, or its
// conjugate for the inverse.
template <typename C>
inline void combineHalves(C& low, C& high, C wk)
{
    const C difference = {low.re - high.re, low.im + high.im};
    const C product = wk * difference;
    low = low - product;
    high = {high.re + product.re, high.im - product.im};
}

// The weight of the k-th step (its kk-th table entry), conjugated for the inverse; pairs for two
// neighbouring steps.
template <bool Inverse>
inline cpx halvesWeight(const double* c, int nc, int kk)
{
    return {0.5 - c[nc - kk], Inverse ? -c[kk] : c[kk]};
}

template <bool Inverse>
inline cpx2 halvesWeight(const double* c, int nc, int kk, int step)
{
    const cpx x = halvesWeight<Inverse>(c, nc, kk);
    const cpx y = halvesWeight<Inverse>(c, nc, kk + step);
    return {lanes2{x.re, y.re}, lanes2{x.im, y.im}};
}

// Bins j/2 and (n - j)/2 for j = 2, 4, .. below n/2: two steps at a time, the low bins going up
// and the high ones down.
template <bool Inverse>
void combineAllHalves(int n, double* a, int nc, const double* c)
{
    const int m = n / 2;
    const int step = 2 * nc / m;
    int j = 2;
    int kk = step;
    for (; j + 2 < m; j += 4, kk += 2 * step)
    {
        using lowLanes = paired<2>;
        using highLanes = paired<-2>;
        cpx2 low = lowLanes::load(a + j);
        cpx2 high = highLanes::load(a + n - j);
        combineHalves(low, high, halvesWeight<Inverse>(c, nc, kk, step));
        lowLanes::store(a + j, low);
        highLanes::store(a + n - j, high);
    }
    if (j < m)
    {
        cpx low = single::load(a + j);
        cpx high = single::load(a + n - j);
        combineHalves(low, high, halvesWeight<Inverse>(c, nc, kk));
        single::store(a + j, low);
        single::store(a + n - j, high);
    }
}
} // namespace

void rftfsub(int n, double* a, int nc, const double* c)
{
    combineAllHalves<false>(n, a, nc, c);
}

// The inverse of rftfsub, up to a factor 2: Z[k] = X[k] - ((1 - i e^(-i theta)) / 2) (X[k] - conj X[n/2 - k]).
void rftbsub(int n, double* a, int nc, const double* c)
{
    combineAllHalves<true>(n, a, nc, c);
}

void rdft(int n, int isgn, double* a, int* ip, double* w)
{
    int nw = ip[0];
    if (n > 4 * nw)
    {
        nw = n / 4;
        makewt(nw, ip, w);
    }
    int nc = ip[1];
    if (n > 4 * nc)
    {
        nc = n / 4;
        makect(nc, ip, w + nw);
    }

    if (isgn >= 0)
    {
        if (n > 4)
        {
            bitrv2(n, ip + 2, a);
            cftfsub(n, a, w);
            rftfsub(n, a, nc, w + nw);
        }
        else if (n == 4)
        {
            cftfsub(n, a, w);
        }
        // Z[0] = E[0] + i O[0]: X[0] = E[0] + O[0], X[n/2] = E[0] - O[0].
        const double difference = a[0] - a[1];
        a[0] += a[1];
        a[1] = difference;
    }
    else
    {
        a[1] = 0.5 * (a[0] - a[1]);
        a[0] -= a[1];
        if (n > 4)
        {
            rftbsub(n, a, nc, w + nw);
            bitrv2(n, ip + 2, a);
            cftbsub(n, a, w);
        }
        else if (n == 4)
        {
            cftfsub(n, a, w); // two points: both kernels agree
        }
    }
}
