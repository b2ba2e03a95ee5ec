// The real transform of n doubles runs as a complex FFT of the n/2 values a[2j] + i a[2j+1]
// with a real-data stage that separates the even and odd samples' spectra.
//
// The complex FFT is decimation in frequency carried out on data already permuted into
// bit-reversed order: each pass then works on contiguous blocks, all butterflies of a block
// share one twiddle, and the twiddles of successive blocks are successive entries of the
// bit-reversed table. The output comes out in natural order. Passes are radix 8, with one
// radix-4 or radix-2 pass at the end (whose single block needs no twiddle).
//
// The passes themselves are vector kernels (dsp/rdftkernels.h, in the set dsp/simd.h chose).
// They read the twiddles in the order and lane layout they use them: every power of a block's
// twiddle (which the published routines multiply out per block) and the real-data stage's
// weights, built once per n when the caller's tables are built, and kept (lanes below).
#include "dsp/rdft.h"

#include "dsp/doublepair.h"
#include "dsp/simd.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstddef>
#include <memory>
#include <mutex>

namespace
{
int log2Of(int powerOfTwo)
{
    int bits = 0;
    while ((1 << bits) < powerOfTwo)
        ++bits;
    return bits;
}

using longcomplex = std::complex<long double>;
const long double pilong = 3.14159265358979323846264338327950288L;

// Two lanes' complex values as the kernels read them: both real parts twice, then both
// imaginary parts twice.
double* putlanes(double* out, longcomplex first, longcomplex second)
{
    out[0] = out[1] = static_cast<double>(first.real());
    out[2] = out[3] = static_cast<double>(second.real());
    out[4] = out[5] = static_cast<double>(first.imag());
    out[6] = out[7] = static_cast<double>(second.imag());
    return out + rdftlanes::pairdoubles;
}

// Powers 1 to 7 of the twiddles at angles first and second, lane by lane.
double* putpowers(double* out, long double first, long double second)
{
    for (int power = 1; power <= 7; ++power)
        out = putlanes(out, std::polar(1.0L, power * first), std::polar(1.0L, power * second));
    return out;
}

// Sizes of the three parts for n (see rdftlanes).
constexpr int firstdoubles(int n)
{
    return rdftlanes::groupdoubles * ((n / 16 + 1) / 2);
}

constexpr int middledoubles(int n)
{
    int blocks = 0;
    for (int l = 16; 8 * l <= n; l *= 8)
        blocks += n / (8 * l);
    return rdftlanes::groupdoubles * blocks;
}

constexpr int lanedoubles(int n)
{
    return firstdoubles(n) + middledoubles(n) + rdftlanes::pairdoubles * (n / 8);
}

// Block b of every pass turns by entry 2b of the twiddle table, the bit-reversed list of
// e^(i pi q / nw), q < nw/2, nw = n/4: the angle pi reverse(2b) / nw.
long double blockangle(int n, int block)
{
    const int bits = log2Of(n / 8);
    int reversed = 0;
    for (int bit = 0, entry = 2 * block; bit < bits; ++bit, entry >>= 1)
        reversed = (reversed << 1) | (entry & 1);
    return pilong * reversed / (n / 4);
}

// The tables for n into storage (lanedoubles(n) doubles) and swaps (n ints).
rdftlanes buildlanes(int n, double* storage, int* swaps)
{
    rdftlanes lanes = {storage, storage + firstdoubles(n), storage + firstdoubles(n) + middledoubles(n)};
    const int bits = log2Of(n / 2);
    auto reverse = [bits](int index) {
        int reversed = 0;
        for (int bit = 0; bit < bits; ++bit)
            reversed |= ((index >> bit) & 1) << (bits - 1 - bit);
        return reversed;
    };
    lanes.swaps = swaps;
    // Each exchange is a pair of element offsets: the pairs first, then the quads that the
    // wide kernels move four values at a time.
    int* next = swaps;
    auto addexchange = [&next, &reverse](int index) {
        *next++ = 2 * index;
        *next++ = 2 * reverse(index);
    };
    for (int index = 0; index < n / 2; ++index)
        if (index < reverse(index))
            addexchange(index);
    lanes.swapcount = static_cast<int>(next - swaps) / 2;
    lanes.quads = next;
    for (int index = 0; index < n / 4 && n >= 8; index += 2)
        if (index <= reverse(index))
            addexchange(index);
    lanes.quadcount = static_cast<int>(next - lanes.quads) / 2;
    const int blocks = n / 16;
    double* out = storage;
    for (int block = 0; block < blocks; block += 2)
        out = putpowers(out, blockangle(n, block), blockangle(n, std::min(block + 1, blocks - 1)));
    for (int l = 16; 8 * l <= n; l *= 8)
        for (int block = 0; block < n / (8 * l); ++block)
            out = putpowers(out, blockangle(n, block), blockangle(n, block));
    // Bin k's weight (1 - sin theta, cos theta) / 2, theta = 2 pi k / n, k = 1 .. n/4 - 1.
    auto weight = [n](int k) {
        const long double theta = 2 * pilong * k / n;
        return longcomplex((1 - std::sin(theta)) / 2, std::cos(theta) / 2);
    };
    const int bins = n / 4 - 1;
    for (int k = 1; k <= bins; k += 2)
        out = putlanes(out, weight(k), weight(std::min(k + 1, bins)));
    return lanes;
}

// Built for every size a table build serves, so the transforms only read them; up to the
// largest size the engine uses in storage of their own, so that a table build allocates nothing.
constexpr int maxsizebits = 31;
constexpr int storedsizebits = 13;
constexpr int storeddoubles()
{
    int total = 0;
    for (int n = 4; n <= (1 << storedsizebits); n *= 2)
        total += lanedoubles(n);
    return total;
}

std::mutex lanesbuilding;
double lanestore[storeddoubles()];
int swapstore[2 << storedsizebits];
int lanestoreused = 0, swapstoreused = 0;
std::array<rdftlanes, maxsizebits> lanesbuilt;
std::array<std::unique_ptr<double[]>, maxsizebits> lanesbeyondstore;
std::array<std::unique_ptr<int[]>, maxsizebits> swapsbeyondstore;
std::array<std::atomic<const rdftlanes*>, maxsizebits> lanesready{};

const rdftlanes& lanesfor(int n)
{
    const int bits = log2Of(n);
    if (const rdftlanes* ready = lanesready[bits].load(std::memory_order_acquire))
        return *ready;
    const std::lock_guard<std::mutex> lock(lanesbuilding); // only the first build for n
    if (lanesready[bits].load(std::memory_order_relaxed) == nullptr)
    {
        double* storage = lanestore + lanestoreused;
        int* swaps = swapstore + swapstoreused;
        if (bits <= storedsizebits)
            lanestoreused += lanedoubles(n), swapstoreused += n;
        else
            storage = (lanesbeyondstore[bits] = std::make_unique<double[]>(lanedoubles(n))).get(),
            swaps = (swapsbeyondstore[bits] = std::make_unique<int[]>(n)).get();
        lanesbuilt[bits] = buildlanes(n, storage, swaps);
        lanesready[bits].store(&lanesbuilt[bits], std::memory_order_release);
    }
    return lanesbuilt[bits];
}
} // namespace

void makewt(int nw, int* ip, double* w)
{
    for (int n = 4; n <= 4 * nw; n *= 2)
        lanesfor(n);
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
                const doublepair saved = loadlanes(x);
                storelanes(x, loadlanes(y));
                storelanes(y, saved);
            }
}

// The published routines' twiddles come from the lane layout built with w (makewt).
void cftfsub(int n, double* a, const double*)
{
    activekernels().cftfsub(n, a, lanesfor(n));
}

void cftbsub(int n, double* a, const double*)
{
    activekernels().cftbsub(n, a, lanesfor(n));
}

void cft1st(int n, double* a, const double*)
{
    activekernels().cft1st(n, a, lanesfor(n));
}

void cftmdl(int n, int l, double* a, const double*)
{
    activekernels().cftmdl(n, l, a, lanesfor(n));
}

// With Z the complex FFT of the packed halves, the spectrum at bin k (0 < k < n/4) is
//   X[k] = Z[k] - ((1 + i e^(i theta)) / 2) (Z[k] - conj Z[n/2 - k]),  theta = 2 pi k / n,
// and X[n/2 - k] follows from the same product conjugated; the weights come from the cosine table c.
void rftfsub(int n, double* a, int, const double*)
{
    activekernels().rftfsub(n, a, lanesfor(n));
}

// The inverse of rftfsub, up to a factor 2: Z[k] = X[k] - ((1 - i e^(-i theta)) / 2) (X[k] - conj X[n/2 - k]).
void rftbsub(int n, double* a, int, const double*)
{
    activekernels().rftbsub(n, a, lanesfor(n));
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
            activekernels().bitreverse(n, a, lanesfor(n));
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
            activekernels().bitreverse(n, a, lanesfor(n));
            cftbsub(n, a, w);
        }
        else if (n == 4)
        {
            cftfsub(n, a, w); // two points: both kernels agree
        }
    }
}
