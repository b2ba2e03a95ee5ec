// The vector kernels of the transform and of the per-bin arithmetic exist twice: for baseline
// x86-64 (SSE2) and for AVX2 with FMA. Which set runs is chosen once, at start-up, from what the
// CPU reports; QUILL_SIMD=baseline in the environment keeps the baseline set on any CPU. The
// choice is read relaxed on every call (a pointer that never changes once the audio runs),
// so the audio path gains no lock, allocation or system call.
#pragma once

#include <cstdint>

// The transform's twiddles laid out for the lanes of its passes: a pure function of n, built
// with the caller's tables (makewt) and kept for the life of the process.
struct rdftlanes
{
    // Per radix-8 group pair: 7 twiddle powers of (4 cosines, 4 sines), each lane's value twice.
    static constexpr int groupdoubles = 56;
    // Per pair of bins of the real-data stage: the weights' (4 real, 4 imaginary parts).
    static constexpr int pairdoubles = 8;

    const double* first = nullptr;  // the first pass, per pair of neighbouring blocks
    const double* middle = nullptr; // the middle passes in order, per block
    const double* halves = nullptr; // the real-data stage, per pair of bins
    // The bit reversal as exchanges of two values (pairs of double offsets), and as exchanges
    // of quads {x, x + 1, x + n/4, x + n/4 + 1}, x even below n/4, which the reversal maps onto
    // each other transposed (pairs of the double offsets of x, a quad with itself included).
    const int* swaps = nullptr;
    int swapcount = 0;
    const int* quads = nullptr;
    int quadcount = 0;
};

// One frame's step of a voice's phases (advancephases in dsp/fastmath.h).
struct phasestep
{
    double ratio;     // the frequencies' factor
    double advance;   // radians a bin's own centre moves per hop, per bin index
    double binwidth;  // Hz per bin
    double hopscale;  // radians per Hz of offset from the centre
    double wraplimit; // from here on a phase holds no fraction of a turn: 0
};

struct dspkernels
{
    const char* name;
    void (*bitreverse)(int n, double* a, const rdftlanes& lanes);
    void (*cftfsub)(int n, double* a, const rdftlanes& lanes);
    void (*cftbsub)(int n, double* a, const rdftlanes& lanes);
    void (*cft1st)(int n, double* a, const rdftlanes& lanes);
    void (*cftmdl)(int n, int l, double* a, const rdftlanes& lanes);
    void (*rftfsub)(int n, double* a, const rdftlanes& lanes);
    void (*rftbsub)(int n, double* a, const rdftlanes& lanes);
    void (*rectangulartopolar)(double* bins, std::int64_t count);
    void (*log1pofmagnitudes)(const double* bins, double* out, std::int64_t count);
    void (*polartorectangular)(double* magnitude, double* angle, std::int64_t count);
    void (*advancephases)(const double* bins, const phasestep& step, double* phases, double* magnitude, double* phase,
                          std::int64_t count);
    void (*warp)(const double* envelope, double g, double floor, std::int64_t hi, double* magnitude,
                 std::int64_t count);
    void (*mapbins)(const double* re, const double* im, double ratio, double gain, const double* eq, std::int64_t hi,
                    double* bins, std::int64_t count);
    void (*squareddifferences)(const double* a, const double* b, std::int64_t n, double* out, std::int64_t count);
    double (*sum)(const double* x, std::int64_t n);
    double (*squareddeviation)(const double* x, std::int64_t n, double about);
};

enum class simdpath
{
    baseline,
    avx2
};

// The kernels in use.
const dspkernels& activekernels();
simdpath activesimdpath();

// For tests and benchmarks: runs path from now on; false (nothing changed) when the CPU lacks it.
bool usesimdpath(simdpath path);
