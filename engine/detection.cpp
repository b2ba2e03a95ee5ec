// The frame's two detectors, in the order the frame runs them: onsets over the newest hop
// (first step), then the pitch of the whole frame (after the input level).
#include "engine/frame.h"
#include "engine/frameshared.h"

#include "dsp/rdft.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace pframe;

namespace
{
// ---- onset detector ----
// The fast follower must rise this far above the slow one for an onset ...
constexpr double onsetthreshold = 0.0007;
// ... and fall below this share of (slow + threshold) for the onset to end.
constexpr double onsetreleaseshare = 0.45;
// Added at every follower step, so that the followers never sink into denormals.
constexpr double followerfloor = 1e-10;
constexpr int onsetfound = -1; // mark of a sample at which an onset was found this frame

// ---- pitch detector ----
constexpr double yinthreshold = 0.15;
constexpr double yinsumstart = 1e-20;
constexpr std::int64_t firstdipcheck = 6; // the dip test looks two lags back, from c = 6 on
// Lags summed directly before the rest goes through the transform: N / 16 of them cost about a
// third of the transform's three passes, and cover every voice above about 290 Hz.
constexpr std::int64_t directlagsdivisor = 16;
// With half-size transforms made a block at a time, a block costs about as much as N / 32
// direct lags: those cover every voice above about 490 Hz (at 44.1 kHz).
constexpr std::int64_t fastdirectlagsdivisor = 32;
constexpr double flatparabola = 0.0001; // stands in for a zero curvature in the refinement
constexpr double lowestpitchhz = 10.0;
// A difference this small against the energy of the samples compared is no difference: the
// transform leaves residues around 1e-16 of that energy where the true value is 0, which
// would otherwise make a dip the direct sums do not see.
constexpr double differencetolerance = 1e-11;
constexpr double lowahz = 13.75;          // the A four octaves below A 220; C0 lies 3 semitones
constexpr double c0offsetsemitones = 3.0; // above it, so the note is 12 log2(f / 13.75) - 3
constexpr double log10of2 = 0.3010299956639812;

// ---- onsets ----

// The history moves on by the samples that came in since the last frame: one hop, plus the
// samples a restarted schedule kept (framegap), so that it stays without a seam too.
void movehistory(pbkpitchshift& engine)
{
    const std::int64_t length = static_cast<std::int64_t>(engine.history.count);
    const std::int64_t gap = engine.framegap > 0 && engine.framegap < engine.hopsize ? engine.framegap : 0;
    const std::int64_t hop = engine.hopsize + gap;
    double* history = engine.history.data;
    int* marks = engine.onsetmarks.data;
    std::memmove(history, history + hop, sizeof(double) * u(length - hop));
    std::memcpy(history + engine.historyhalf - gap, engine.inputframe.data + engine.fftsize - hop,
                sizeof(double) * u(hop));
    std::memmove(marks, marks + hop, sizeof(int) * u(length - hop));
    std::memset(marks + (length - hop), 0, sizeof(int) * u(hop));
    engine.historypos = engine.historyhalf;
}

// One step of a follower towards the level a.
inline double follow(double state, double a, const pbkcoefpair& pair)
{
    return state * pair.keep + a * pair.take + followerfloor;
}

void followonsets(pbkpitchshift& engine)
{
    int* marks = engine.onsetmarks.data;
    for (std::int64_t i = 0; i < engine.hopsize; ++i)
    {
        const std::int64_t p = engine.historypos + i;
        // Inside an earlier onset's window the detector is blind and its filters hold.
        if (marks[p] > 0)
            continue;
        double x = engine.history[u(p)];
        engine.dcblocker.process(1, &x);
        engine.filteredsample = x;
        const double a = std::fabs(x);

        engine.fastcoef = engine.inonset != 0 ? &engine.releasecoef : &engine.attackcoef;
        engine.faststate = follow(engine.faststate, a, *engine.fastcoef);
        engine.slowstate = follow(engine.slowstate, a, *engine.slowcoef);
        engine.followeroutput = engine.faststate;

        if (engine.inonset == 0)
        {
            const bool onset = engine.faststate > engine.slowstate + onsetthreshold;
            engine.inonset = onset ? 1 : 0;
            marks[p] = onset ? onsetfound : 0;
        }
        else
        {
            if (engine.faststate < (engine.slowstate + onsetthreshold) * onsetreleaseshare)
                engine.inonset = 0;
            marks[p] = 0;
        }
    }
}

// The half-window before an onset keeps the marks of an earlier window; the onset itself and
// the half after it take the new marks.
void markonsets(pbkpitchshift& engine)
{
    int* marks = engine.onsetmarks.data;
    const std::int64_t length = static_cast<std::int64_t>(engine.onsetmarks.count);
    for (std::int64_t i = 0; i < engine.hopsize; ++i)
    {
        const std::int64_t p = engine.historypos + i;
        if (marks[p] != onsetfound)
            continue;
        for (std::int64_t d = 0; d < engine.onsetwidth; ++d)
        {
            const std::int64_t q = p - engine.onsethalfwidth + d;
            if (q < 0 || q >= length)
                continue;
            if (d < engine.onsethalfwidth && marks[q] > 0)
                continue;
            marks[q] = static_cast<int>(d + 1);
        }
    }
}

// ---- pitch ----

bool hasenergy(const double* x, std::int64_t n)
{
    for (std::int64_t j = 0; j < n; ++j)
        if (x[j] != 0.0)
            return true;
    return false;
}

// The squared difference of two stretches of n samples. Four running sums instead of one let
// the additions overlap; the result differs from the plain sum only by rounding.
double squareddifference(const double* a, const double* b, std::int64_t n)
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    std::int64_t j = 0;
    for (; j + 4 <= n; j += 4)
    {
        const double d0 = a[j] - b[j];
        const double d1 = a[j + 1] - b[j + 1];
        const double d2 = a[j + 2] - b[j + 2];
        const double d3 = a[j + 3] - b[j + 3];
        s0 += d0 * d0;
        s1 += d1 * d1;
        s2 += d2 * d2;
        s3 += d3 * d3;
    }
    for (; j < n; ++j)
    {
        const double d = a[j] - b[j];
        s0 += d * d;
    }
    return (s0 + s1) + (s2 + s3);
}

// Cumulative mean normalised difference into yintable, lag by lag, stopping at the first dip
// under the threshold; returns the chosen index, or -1 when none can be chosen. The first lags
// are summed directly, so a high voice that stops early costs little; should the search go on,
// all later lags come at once from the transform, so a low voice or noise costs no more than
// that.
// The energy of x[0..n-1] about its mean: the scale of every difference the search computes.
double centredenergy(const double* x, std::int64_t n)
{
    double mean = 0.0;
    for (std::int64_t j = 0; j < n; ++j)
        mean += x[j];
    mean /= static_cast<double>(n);
    double energy = 0.0;
    for (std::int64_t j = 0; j < n; ++j)
        energy += (x[j] - mean) * (x[j] - mean);
    return energy;
}

std::int64_t searchyintable(pbkpitchshift& engine, const double* x, std::int64_t tau0, std::int64_t lags,
                            std::int64_t window)
{
    double* yin = engine.yintable;
    // The fast path sums fewer lags directly and sizes its transforms to what the search needs:
    // half-size transforms, each good for the next n/4 + 1 lags, made only as the search reaches
    // them (most voices stop within the first). The plain one transforms every lag at full size.
    const bool plain = engine.plainpaths != 0;
    const std::int64_t directlags = engine.fftsize / (plain ? directlagsdivisor : fastdirectlagsdivisor);
    const std::int64_t size = plain ? engine.fftsize : engine.fftsize / 2;
    const std::int64_t perblock = plain ? lags : differencelagsper(engine, size);
    // Both ways of computing a difference agree on what counts as none.
    const double negligible = differencetolerance * centredenergy(x, window + tau0 + lags - 1);
    double sum = yinsumstart;
    std::int64_t ready = directlags; // yintable holds transformed differences up to here
    for (std::int64_t c = 0; c < lags; ++c)
    {
        double d = 0.0;
        if (c < directlags)
        {
            d = squareddifference(x, x + tau0 + c, window);
        }
        else
        {
            // yintable from c on is not written yet: the differences wait there.
            if (c == ready)
            {
                ready = std::min(lags, c + perblock);
                differencefunction(engine, x, yin, c, ready, engine.spectrum.data, engine.synthspectrum.data, size);
            }
            d = yin[c];
        }
        if (d < negligible)
            d = 0.0;
        sum += d;
        yin[c] = (static_cast<double>(tau0 + c) / sum) * d;
        if (c >= firstdipcheck && yin[c - 2] < yinthreshold && yin[c - 1] > yin[c - 2])
            return c - 2;
    }
    // No dip: the deepest point away from the ends.
    std::int64_t best = -1;
    for (std::int64_t c = 2; c <= lags - 3; ++c)
        if (best < 0 || yin[c] < yin[best])
            best = c;
    return best;
}

double refinedlag(const double* yin, std::int64_t i)
{
    const double a = yin[i - 1];
    const double b = yin[i];
    const double c = yin[i + 1];
    double den = a - 2.0 * b + c;
    if (den == 0.0)
        den = flatparabola;
    return static_cast<double>(i) + 0.5 * (a - c) / den;
}
} // namespace

void detectonsets(pbkpitchshift& engine)
{
    movehistory(engine);
    followonsets(engine);
    markonsets(engine);
}

void detectpitch(pbkpitchshift& engine)
{
    const std::int64_t n = engine.fftsize;
    std::memcpy(engine.pitchframe.data, engine.inputframe.data, sizeof(double) * u(n));
    if (engine.wantpitch == 0 || !(engine.detectiongate <= engine.inputlevel))
        return;

    const std::int64_t tau0 = n / shortestperiodsdivisor;
    const std::int64_t lags = engine.halfsize - tau0;
    const std::int64_t window = n / 4;
    const double* x = engine.pitchframe.data;
    // Every sample the differences read: nothing there, nothing to detect.
    if (lags < 3 || !hasenergy(x, window + tau0 + lags - 1))
        return;

    const std::int64_t i = searchyintable(engine, x, tau0, lags, window);
    if (i < 1 || i + 1 >= lags)
        return;

    double f = engine.samplerate / (static_cast<double>(tau0) + refinedlag(engine.yintable, i));
    f = std::fmax(f, lowestpitchhz);
    const double note = 12.0 * std::log10(f / lowahz) / log10of2 - c0offsetsemitones;
    if (std::isfinite(note))
        engine.detectednote = note;
}

std::int64_t differencelagsper(const pbkpitchshift& engine, std::int64_t size)
{
    return size - engine.fftsize / 4 + 1;
}

// d(tau) = e(0) + e(tau) - 2 r(tau), with e the energy of a stretch of W samples and r the
// correlation of the first stretch with the one tau later, all lags of r at once through the
// transform: a few P log P operations in place of P x W multiply-adds. A transform of P points
// holds the correlation for P - W + 1 lags without wrapping round: the first stretch (W samples,
// padded) against the P samples from the block's first lag on. d does not change when a
// constant is added to x, so the mean goes first: the subtraction then loses nothing to a large
// offset.
void differencefunction(pbkpitchshift& engine, const double* x, double* d, std::int64_t firstlag, std::int64_t lags,
                        double* work1, double* work2, std::int64_t size)
{
    const std::int64_t n = engine.fftsize;
    const std::int64_t tau0 = n / shortestperiodsdivisor;
    const std::int64_t window = n / 4;
    if (size <= 0 || size > n || size < n / 2)
        size = n;
    if (lags > n / 2 - tau0)
        lags = n / 2 - tau0;
    if (firstlag < 0)
        firstlag = 0;
    if (lags <= firstlag)
        return;
    const std::int64_t span = window + tau0 + lags - 1; // samples read: below 3N/4

    double mean = 0.0;
    for (std::int64_t j = 0; j < span; ++j)
        mean += x[j];
    mean /= static_cast<double>(span);

    double e0 = 0.0;
    for (std::int64_t j = 0; j < window; ++j)
        e0 += (x[j] - mean) * (x[j] - mean);

    const int ni = static_cast<int>(size);
    const double scale = 2.0 / static_cast<double>(size);
    double* first = work1; // the first stretch's transform, kept for every block
    double* later = work2; // a block's samples, then the transform of its correlation
    for (std::int64_t j = 0; j < size; ++j)
        first[j] = j < window ? x[j] - mean : 0.0;
    rdft(ni, 1, first, engine.fftip, engine.fftw);

    const std::int64_t perblock = differencelagsper(engine, size);
    for (std::int64_t blockfirst = firstlag; blockfirst < lags; blockfirst += perblock)
    {
        const std::int64_t blocklags = std::min(perblock, lags - blockfirst);
        const std::int64_t start = tau0 + blockfirst; // later[0] is x[start]
        for (std::int64_t j = 0; j < size; ++j)
            later[j] = start + j < span ? x[start + j] - mean : 0.0;
        rdft(ni, 1, later, engine.fftip, engine.fftw);

        // later := conj(first) x later, bin by bin, in the packed layout (DC and Nyquist are real).
        later[0] *= first[0];
        later[1] *= first[1];
        for (std::int64_t k = 1; k < size / 2; ++k)
        {
            const double ra = first[2 * k], ia = first[2 * k + 1];
            const double rb = later[2 * k], ib = later[2 * k + 1];
            later[2 * k] = ra * rb + ia * ib;
            later[2 * k + 1] = ra * ib - ia * rb;
        }
        rdft(ni, -1, later, engine.fftip, engine.fftw);

        double etau = 0.0;
        for (std::int64_t j = 0; j < window; ++j)
            etau += (x[start + j] - mean) * (x[start + j] - mean);
        for (std::int64_t c = blockfirst; c < blockfirst + blocklags; ++c)
        {
            const std::int64_t tau = tau0 + c;
            if (c > blockfirst)
            {
                // The stretch slides on by one sample.
                const double leaving = x[tau - 1] - mean;
                const double entering = x[tau - 1 + window] - mean;
                etau += entering * entering - leaving * leaving;
            }
            const double diff = e0 + etau - 2.0 * scale * later[c - blockfirst];
            d[c] = diff > 0.0 ? diff : 0.0; // a sum of squares: below 0 only by rounding
        }
    }
}
