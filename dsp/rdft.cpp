// The real transform of n doubles runs as a complex FFT of the n/2 values a[2j] + i a[2j+1]
// with a real-data stage that separates the even and odd samples' spectra.
//
// The complex FFT is decimation in frequency carried out on data already permuted into
// bit-reversed order: each pass then works on contiguous blocks, all butterflies of a block
// share one twiddle, and the twiddles of successive blocks are successive entries of the
// bit-reversed table. The output comes out in natural order. Passes are radix 8, with one
// radix-4 or radix-2 pass at the end (whose single block needs no twiddle).
#include "dsp/rdft.h"

#include <cmath>

namespace
{
constexpr double cos45 = 0.70710678118654752440084436210485; // cos(pi/4)

struct cpx
{
    double re;
    double im;
};

inline cpx operator+(cpx x, cpx y) { return {x.re + y.re, x.im + y.im}; }
inline cpx operator-(cpx x, cpx y) { return {x.re - y.re, x.im - y.im}; }
inline cpx operator*(cpx x, cpx y) { return {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re}; }

// x times +i (forward kernel) or -i (inverse kernel).
template <bool Inverse>
inline cpx timesQuarterTurn(cpx x)
{
    if (Inverse)
        return {x.im, -x.re};
    return {-x.im, x.re};
}

// x times e^(+-i pi/4) and e^(+-3i pi/4).
template <bool Inverse>
inline cpx timesEighthTurn(cpx x)
{
    if (Inverse)
        return {cos45 * (x.re + x.im), cos45 * (x.im - x.re)};
    return {cos45 * (x.re - x.im), cos45 * (x.im + x.re)};
}

template <bool Inverse>
inline cpx timesThreeEighthsTurn(cpx x)
{
    if (Inverse)
        return {cos45 * (x.im - x.re), -cos45 * (x.re + x.im)};
    return {-cos45 * (x.re + x.im), cos45 * (x.re - x.im)};
}

inline cpx load(const double* a, int index) { return {a[2 * index], a[2 * index + 1]}; }

inline void store(double* a, int index, cpx x)
{
    a[2 * index] = x.re;
    a[2 * index + 1] = x.im;
}

// Twiddle e^(+-i theta) from a (cos, sin) entry of the table.
template <bool Inverse>
inline cpx twiddle(const double* w, int entry)
{
    return {w[2 * entry], Inverse ? -w[2 * entry + 1] : w[2 * entry + 1]};
}

// One radix-8 pass over m complex values: blocks of 8 * span values, each holding span
// interleaved groups of 8 values span apart. Each group, in bit-reversed order on entry, is
// replaced by its 8-point DFT in natural order, output s multiplied by the block's twiddle to
// the power s. The block's twiddle is table entry 2b, its square entry b.
template <bool Inverse>
void radix8Pass(int m, int span, double* a, const double* w)
{
    for (int base = 0, block = 0; base < m; base += 8 * span, ++block)
    {
        const cpx w1 = twiddle<Inverse>(w, 2 * block);
        const cpx w2 = twiddle<Inverse>(w, block);
        const cpx w3 = w1 * w2;
        const cpx w4 = w2 * w2;
        const cpx w5 = w1 * w4;
        const cpx w6 = w2 * w4;
        const cpx w7 = w3 * w4;

        for (int offset = 0; offset < span; ++offset)
        {
            const int first = base + offset;
            // Slots hold inputs 0, 4, 2, 6, 1, 5, 3, 7.
            const cpx x0 = load(a, first);
            const cpx x4 = load(a, first + span);
            const cpx x2 = load(a, first + 2 * span);
            const cpx x6 = load(a, first + 3 * span);
            const cpx x1 = load(a, first + 4 * span);
            const cpx x5 = load(a, first + 5 * span);
            const cpx x3 = load(a, first + 6 * span);
            const cpx x7 = load(a, first + 7 * span);

            // 4-point DFTs of the even and of the odd inputs.
            const cpx sum04 = x0 + x4, dif04 = x0 - x4;
            const cpx sum26 = x2 + x6, dif26 = timesQuarterTurn<Inverse>(x2 - x6);
            const cpx sum15 = x1 + x5, dif15 = x1 - x5;
            const cpx sum37 = x3 + x7, dif37 = timesQuarterTurn<Inverse>(x3 - x7);
            const cpx even0 = sum04 + sum26, even2 = sum04 - sum26;
            const cpx even1 = dif04 + dif26, even3 = dif04 - dif26;
            const cpx odd0 = sum15 + sum37;
            const cpx odd2 = timesQuarterTurn<Inverse>(sum15 - sum37);
            const cpx odd1 = timesEighthTurn<Inverse>(dif15 + dif37);
            const cpx odd3 = timesThreeEighthsTurn<Inverse>(dif15 - dif37);

            store(a, first, even0 + odd0);
            store(a, first + span, (even1 + odd1) * w1);
            store(a, first + 2 * span, (even2 + odd2) * w2);
            store(a, first + 3 * span, (even3 + odd3) * w3);
            store(a, first + 4 * span, (even0 - odd0) * w4);
            store(a, first + 5 * span, (even1 - odd1) * w5);
            store(a, first + 6 * span, (even2 - odd2) * w6);
            store(a, first + 7 * span, (even3 - odd3) * w7);
        }
    }
}

// Last pass, one block of 4 * span values: 4-point DFTs of groups span apart, inputs in
// bit-reversed order (0, 2, 1, 3).
template <bool Inverse>
void radix4LastPass(int span, double* a)
{
    for (int first = 0; first < span; ++first)
    {
        const cpx x0 = load(a, first);
        const cpx x2 = load(a, first + span);
        const cpx x1 = load(a, first + 2 * span);
        const cpx x3 = load(a, first + 3 * span);
        const cpx sum02 = x0 + x2, dif02 = x0 - x2;
        const cpx sum13 = x1 + x3, dif13 = timesQuarterTurn<Inverse>(x1 - x3);
        store(a, first, sum02 + sum13);
        store(a, first + span, dif02 + dif13);
        store(a, first + 2 * span, sum02 - sum13);
        store(a, first + 3 * span, dif02 - dif13);
    }
}

// Last pass, one block of 2 * span values.
void radix2LastPass(int span, double* a)
{
    for (int first = 0; first < span; ++first)
    {
        const cpx x0 = load(a, first);
        const cpx x1 = load(a, first + span);
        store(a, first, x0 + x1);
        store(a, first + span, x0 - x1);
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
            for (int low = 0; low < partSize; ++low)
            {
                const int index = (high << highShift) | (middle << p) | low;
                const int reversed = (ip[low] << highShift) | (middle << p) | ip[high];
                if (index < reversed)
                {
                    const cpx x = load(a, index);
                    store(a, index, load(a, reversed));
                    store(a, reversed, x);
                }
            }
}

void cftfsub(int n, double* a, const double* w) { complexTransform<false>(n, a, w); }

void cftbsub(int n, double* a, const double* w) { complexTransform<true>(n, a, w); }

void cft1st(int n, double* a, const double* w) { radix8Pass<false>(n / 2, 1, a, w); }

void cftmdl(int n, int l, double* a, const double* w) { radix8Pass<false>(n / 2, l / 2, a, w); }

// With Z the complex FFT of the packed halves, the spectrum at bin k (0 < k < n/4) is
//   X[k] = Z[k] - ((1 + i e^(i theta)) / 2) (Z[k] - conj Z[n/2 - k]),  theta = 2 pi k / n,
// and X[n/2 - k] follows from the same product conjugated. Bin n/4 is Z itself.
void rftfsub(int n, double* a, int nc, const double* c)
{
    const int m = n / 2;
    const int step = 2 * nc / m;
    int kk = 0;
    for (int j = 2; j < m; j += 2)
    {
        const int k = n - j;
        kk += step;
        const double wkr = 0.5 - c[nc - kk]; // (1 - sin theta) / 2
        const double wki = c[kk];            // cos theta / 2
        const double xr = a[j] - a[k];
        const double xi = a[j + 1] + a[k + 1];
        const double yr = wkr * xr - wki * xi;
        const double yi = wkr * xi + wki * xr;
        a[j] -= yr;
        a[j + 1] -= yi;
        a[k] += yr;
        a[k + 1] -= yi;
    }
}

// The inverse of rftfsub, up to a factor 2: Z[k] = X[k] - ((1 - i e^(-i theta)) / 2) (X[k] - conj X[n/2 - k]).
void rftbsub(int n, double* a, int nc, const double* c)
{
    const int m = n / 2;
    const int step = 2 * nc / m;
    int kk = 0;
    for (int j = 2; j < m; j += 2)
    {
        const int k = n - j;
        kk += step;
        const double wkr = 0.5 - c[nc - kk];
        const double wki = c[kk];
        const double xr = a[j] - a[k];
        const double xi = a[j + 1] + a[k + 1];
        const double yr = wkr * xr + wki * xi;
        const double yi = wkr * xi - wki * xr;
        a[j] -= yr;
        a[j + 1] -= yi;
        a[k] += yr;
        a[k + 1] -= yi;
    }
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
