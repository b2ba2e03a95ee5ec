#include "engine/frame.h"

#include "dsp/fastsincos.h"
#include "dsp/rdft.h"
#include "engine/harmony.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr double twopi = 2.0 * pi;
// From here on a double holds no fraction of a turn any more.
constexpr double largestwrappablephase = 1.0e15;

// ---- onset detector ----
// The fast follower must rise this far above the slow one for an onset ...
constexpr double onsetthreshold = 0.0007;
// ... and fall below this share of (slow + threshold) for the onset to end.
constexpr double onsetreleaseshare = 0.45;
// Added at every follower step, so that the followers never sink into denormals.
constexpr double followerfloor = 1e-10;
constexpr int onsetfound = -1; // mark of a sample at which an onset was found this frame

// ---- input level and quiet time ----
constexpr double levelscale = 50.0;
constexpr double quietlevel = 0.009; // below this a frame counts as quiet

// ---- pitch detector ----
constexpr std::int64_t shortestperiodsdivisor = 70; // tau0 = N / 70: about 1520 Hz at 44.1 kHz
constexpr double yinthreshold = 0.15;
constexpr double yinsumstart = 1e-20;
constexpr std::int64_t firstdipcheck = 6; // the dip test looks two lags back, from c = 6 on
// Lags summed directly before the rest goes through the transform: N / 16 of them cost about a
// third of the transform's three passes, and cover every voice above about 290 Hz.
constexpr std::int64_t directlagsdivisor = 16;
constexpr double flatparabola = 0.0001; // stands in for a zero curvature in the refinement
constexpr double lowestpitchhz = 10.0;
// A difference this small against the energy of the samples compared is no difference: the
// transform leaves residues around 1e-16 of that energy where the true value is 0, which
// would otherwise make a dip the direct sums do not see.
constexpr double differencetolerance = 1e-11;
constexpr double lowahz = 13.75;          // the A four octaves below A 220; C0 lies 3 semitones
constexpr double c0offsetsemitones = 3.0; // above it, so the note is 12 log2(f / 13.75) - 3
constexpr double log10of2 = 0.3010299956639812;

// ---- spectral envelope ----
constexpr double lifterfraction = 0.05;

// ---- synthesis ----
constexpr double warpfloor = 0.02; // keeps the envelope divisor away from 0
constexpr double crossfadeslowest = 0.25;
constexpr double crossfadefastest = 2.0;

// Element counts and indexes are signed in the engine, unsigned in its buffers.
inline std::uint64_t u(std::int64_t i)
{
    return static_cast<std::uint64_t>(i);
}

// The integer part of x (toward zero) when that lies in 0..hi - 1, else -1: an index computed
// from a double, with no cast that could overflow.
inline std::int64_t truncindex(double x, std::int64_t hi)
{
    if (!(x > -1.0 && x < static_cast<double>(hi)))
        return -1;
    return static_cast<std::int64_t>(x);
}

// wrapphase, inline in the loops over bins. The parity of q moves q without a branch: phases
// that advance by arbitrary amounts would mispredict it one time in two.
inline double wrapped(double x)
{
    if (!(std::fabs(x) < largestwrappablephase))
        return 0.0;
    std::int64_t q = static_cast<std::int64_t>(x / pi);
    const std::int64_t awayfromzero = q < 0 ? -1 : 1;
    q += (q & 1) * awayfromzero;
    return x - pi * static_cast<double>(q);
}

// Element i of a frame of count elements goes to index (rotation + i) mod n: run(i, index,
// length) for each stretch over which the index rises by one, without a division per element.
template <typename Run>
void forrotatedruns(std::int64_t rotation, std::int64_t n, std::int64_t count, Run run)
{
    std::int64_t at = rotation % n;
    for (std::int64_t i = 0; i < count;)
    {
        const std::int64_t length = std::min(count - i, n - at);
        run(i, at, length);
        i += length;
        at = 0;
    }
}

void negateodd(double* a, std::int64_t n)
{
    for (std::int64_t i = 1; i < n; i += 2)
        a[i] = -a[i];
}

bool haschangedratio(const pbkpitchshift& engine)
{
    for (std::uint64_t v = 0; v < engine.voicestates.count; ++v)
    {
        const pbkvoicestate& voice = *engine.voicestates[v];
        if (!(voice.lastratio == voice.ratio))
            return true;
    }
    return false;
}

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

// The time since the previous frame in samples: one hop, or more after a restarted schedule.
inline double frameinterval(const pbkpitchshift& engine)
{
    return static_cast<double>(engine.hopsize + engine.framegap);
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
    const std::int64_t directlags = engine.fftsize / directlagsdivisor;
    // Both ways of computing a difference agree on what counts as none.
    const double negligible = differencetolerance * centredenergy(x, window + tau0 + lags - 1);
    double sum = yinsumstart;
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
            if (c == directlags)
                differencefunction(engine, x, yin, c, lags, engine.spectrum.data, engine.synthspectrum.data);
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

// ---- synthesis ----

// A voice's spectrum lies in synthspectrum as two arrays of M values: the magnitudes (real
// parts once rectangular) from index 0, the phases (imaginary parts) from index M.
struct voicespectrum
{
    double* magnitude;
    double* phase;
};

voicespectrum voicespectrumof(pbkpitchshift& engine)
{
    return {engine.synthspectrum.data, engine.synthspectrum.data + engine.halfsize};
}

// Phase accumulation: each bin advances by its frequency moved by the ratio.
void accumulatephases(pbkpitchshift& engine, pbkvoicestate& voice, double ratio)
{
    const double* spectrum = engine.spectrum.data;
    const voicespectrum synth = voicespectrumof(engine);
    double* phases = voice.phases.data;
    double hopscale = twopi / engine.hoprate;
    double advance = engine.phaseadvance;
    if (engine.framegap != 0)
    {
        hopscale = twopi * frameinterval(engine) / engine.samplerate;
        advance = twopi * frameinterval(engine) / static_cast<double>(engine.fftsize);
    }
    for (std::int64_t k = 0; k < engine.halfsize; ++k)
    {
        const double kd = static_cast<double>(k);
        const double f = spectrum[2 * k + 1] * ratio;
        synth.magnitude[k] = spectrum[2 * k];
        const double theta = wrapped((kd * advance + (f - kd * engine.binwidth) * hopscale) + phases[k]);
        phases[k] = theta;
        synth.phase[k] = theta;
    }
}

// The input bin from which output bin k takes its value, round(k / ratio), or -1 when that
// lies beyond the spectrum.
inline std::int64_t sourcebin(std::int64_t k, double ratio, std::int64_t halfsize)
{
    return truncindex(static_cast<double>(k) / ratio + 0.5, halfsize);
}

// The highest input bin that the mapping reads. The source bin never falls as k rises, so it is
// the last output bin's, or the last bin when that one reads beyond the spectrum. For ratios
// above 1 the bins above it need neither the warp nor the sine and cosine.
std::int64_t highestsourcebin(const pbkpitchshift& engine, double ratio)
{
    const std::int64_t s = sourcebin(engine.halfsize - 1, ratio, engine.halfsize);
    return s < 0 ? engine.halfsize - 1 : s;
}

// Each bin's magnitude, up to bin last, takes the envelope read at k x g over its own envelope.
void warpformants(pbkpitchshift& engine, const pbkvoicestate& voice, double ratio, std::int64_t last)
{
    const double a = voice.formantamount;
    const double g = ((1.0 - a) + ratio * a) * voice.formantfactor;
    const double* envelope = engine.envelope.data;
    double* magnitude = voicespectrumof(engine).magnitude;
    for (std::int64_t k = 0; k <= last; ++k)
    {
        const std::int64_t j = truncindex(static_cast<double>(k) * g, engine.halfsize);
        if (j < 0)
        {
            magnitude[k] = 0.0;
            continue;
        }
        const double m = magnitude[k] * envelope[j] / (envelope[k] + warpfloor);
        magnitude[k] = m < 0.0 ? 0.0 : m;
    }
}

// Bins 1 to last; bin 0 is real: its magnitude stays and its phase goes.
void polartorectangularbins(pbkpitchshift& engine, std::int64_t last)
{
    const voicespectrum synth = voicespectrumof(engine);
    polartorectangular(synth.magnitude + 1, synth.phase + 1, last);
    synth.phase[0] = 0.0;
}

// Output bin k takes input bin round(k / ratio), times the gain and the EQ curve at k.
void mapintobus(pbkpitchshift& engine, const pbkvoicestate& voice, double ratio, double* bus)
{
    const voicespectrum synth = voicespectrumof(engine);
    const double* eq = voice.eqgains;
    for (std::int64_t k = 0; k < engine.halfsize; ++k)
    {
        const std::int64_t s = sourcebin(k, ratio, engine.halfsize);
        if (s < 0)
            continue;
        const double g = eq != nullptr ? voice.gain * eq[k] : voice.gain;
        bus[2 * k] += synth.magnitude[s] * g;
        bus[2 * k + 1] += synth.phase[s] * g;
    }
}

inline bool isusableratio(double ratio)
{
    return std::isfinite(ratio) && ratio > 0.0;
}

// The speed at which a bus replays the dry attack: 1, or its voice's ratio within 1/4..2.
double crossfadespeed(const pbkvoicestate& voice)
{
    if (voice.mode2 == 1)
        return 1.0;
    if (!(voice.ratio >= crossfadeslowest))
        return crossfadeslowest;
    if (voice.ratio > crossfadefastest)
        return crossfadefastest;
    return voice.ratio;
}

const pbkvoicestate* voiceofbus(const pbkpitchshift& engine, std::uint64_t bus)
{
    for (std::uint64_t v = 0; v < engine.voicestates.count; ++v)
        if (engine.voicestates[v]->bus == bus)
            return engine.voicestates[v];
    return engine.voicestates.count > 0 ? engine.voicestates[0] : nullptr;
}

void crossfadebus(pbkpitchshift& engine, double* output, double speed)
{
    const std::int64_t length = static_cast<std::int64_t>(engine.history.count);
    const double* history = engine.history.data;
    const int* marks = engine.onsetmarks.data;
    const std::int64_t base = engine.historypos - (engine.fftsize - engine.hopsize);
    for (std::int64_t i = 0; i < engine.hopsize; ++i)
    {
        const std::int64_t at = base + i;
        if (at < 0 || at >= length)
            continue;
        const int t = marks[at];
        if (t <= 0 || t > engine.onsetwidth)
            continue;
        const std::int64_t d = t - 1 - engine.onsethalfwidth; // offset from the onset
        const std::int64_t o = at - d;                          // the onset's position
        const double x = static_cast<double>(d) * speed;
        const double whole = std::trunc(x);
        const double r = x - whole;
        const std::int64_t here = o + static_cast<std::int64_t>(whole);
        const std::int64_t next = r >= 0.0 ? here + 1 : here - 1;
        if (here < 0 || here >= length || next < 0 || next >= length)
            continue;
        const double fr = std::fabs(r);
        const double v = history[next] * fr + history[here] * (1.0 - fr);
        const double w = engine.onsetwindow[u(t - 1)];
        output[i] = v * w + (1.0 - w) * output[i];
    }
}
} // namespace

// ================================================================================================

void processframe(pbkpitchshift& engine)
{
    guardnewhop(engine);
    detectonsets(engine);
    measureinputlevel(engine);
    resetquiettime(engine);
    refillframe(engine);
    detectpitch(engine);
    analysespectrum(engine);
    computeenvelope(engine);
    computetruefrequencies(engine);
    synthesisevoices(engine);
    overlapaddbuses(engine);
    crossfadeonsets(engine);
    engine.framegap = 0;
}

// The block driver already silences non-finite input for its dry ring; this guard stays
// because the frame is also run on its own, and it clips huge samples the driver passes on.
void guardnewhop(pbkpitchshift& engine)
{
    double* x = engine.inputframe.data + (engine.fftsize - engine.hopsize);
    for (std::int64_t i = 0; i < engine.hopsize; ++i)
    {
        if (!std::isfinite(x[i]))
            x[i] = 0.0;
        else if (x[i] > pbkmaxanalysissample)
            x[i] = pbkmaxanalysissample;
        else if (x[i] < -pbkmaxanalysissample)
            x[i] = -pbkmaxanalysissample;
    }
}

void detectonsets(pbkpitchshift& engine)
{
    movehistory(engine);
    followonsets(engine);
    markonsets(engine);
}

void measureinputlevel(pbkpitchshift& engine)
{
    engine.windowrotation = engine.windowlength / 2;
    const double* x = engine.inputframe.data + engine.levelstart;
    double sum = 0.0;
    for (std::int64_t j = 0; j < engine.levelcount; ++j)
        sum += std::fabs(x[j]);
    engine.inputlevel = sum / static_cast<double>(engine.levelcount) * levelscale;
}

void resetquiettime(pbkpitchshift& engine)
{
    if (haschangedratio(engine))
    {
        if (engine.ratiochanges < std::numeric_limits<std::int32_t>::max())
            ++engine.ratiochanges;
        return;
    }
    if (!(engine.inputlevel < quietlevel) || engine.ratiochanges == 0)
        return;
    engine.ratiochanges = 0;
    engine.lastphase.zero();
    for (std::uint64_t v = 0; v < engine.voicestates.count; ++v)
        engine.voicestates[v]->phases.zero();
}

void refillframe(pbkpitchshift& engine)
{
    engine.framefill = engine.refillpos;
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

void analysespectrum(pbkpitchshift& engine)
{
    const std::int64_t n = engine.fftsize;
    double* spectrum = engine.spectrum.data;
    const double* window = engine.analysiswindow.data;
    double* frame = engine.inputframe.data;

    std::memset(spectrum, 0, sizeof(double) * u(n));
    // The frame's middle lands at index 0.
    forrotatedruns(engine.windowrotation, n, engine.framesize, [&](std::int64_t i, std::int64_t at, std::int64_t length) {
        for (std::int64_t j = 0; j < length; ++j)
            spectrum[at + j] += window[i + j] * frame[i + j];
    });
    std::memmove(frame, frame + engine.hopsize, sizeof(double) * u(engine.refillpos));

    forwardtransform(engine, spectrum);
    spectrum[1] = 0.0; // the Nyquist value is dropped: bin 0 is real
    for (std::int64_t k = 0; k < engine.spectrumlength / 2; ++k)
    {
        const double re = spectrum[2 * k];
        const double im = spectrum[2 * k + 1];
        spectrum[2 * k] = std::sqrt(re * re + im * im);
        spectrum[2 * k + 1] = std::atan2(im, re);
    }
}

void computeenvelope(pbkpitchshift& engine)
{
    const std::int64_t n = engine.fftsize;
    const std::int64_t m = engine.halfsize;
    double* envelope = engine.envelope.data;
    const double* spectrum = engine.spectrum.data;

    // The log magnitudes go into the packed layout as they are, not as a symmetric spectrum.
    for (std::int64_t k = 0; k < m; ++k)
        envelope[k] = std::log1p(spectrum[2 * k]);
    std::memset(envelope + m, 0, sizeof(double) * u(n - m));

    inversetransform(engine, envelope);
    liftercepstrum(envelope, n);
    forwardtransform(engine, envelope);
    for (std::int64_t k = 0; k < m; ++k)
        if (envelope[k] < 0.0)
            envelope[k] = 0.0;

    engine.binsmoother.design(Dsp::ButterworthFilter::Kind::lowPass, pbkbinsmoothercutoff);
    engine.binsmoother.state.stateArray[0].w1 = 0.0;
    engine.binsmoother.state.stateArray[0].w2 = 0.0;
    engine.binsmoother.process(static_cast<int>(m), envelope);
}

void computetruefrequencies(pbkpitchshift& engine)
{
    double* spectrum = engine.spectrum.data;
    double* lastphase = engine.lastphase.data;
    double toHz = engine.hoprate / twopi;
    double advance = engine.phaseadvance;
    if (engine.framegap != 0)
    {
        // The first frame after a restarted schedule: the phases moved on over a longer time.
        toHz = engine.samplerate / (twopi * frameinterval(engine));
        advance = twopi * frameinterval(engine) / static_cast<double>(engine.fftsize);
    }
    for (std::int64_t k = 0; k < engine.halfsize; ++k)
    {
        const double kd = static_cast<double>(k);
        const double phase = spectrum[2 * k + 1];
        double delta = phase - lastphase[k];
        lastphase[k] = phase;
        delta = wrapped(delta - kd * advance);
        spectrum[2 * k + 1] = kd * engine.binwidth + delta * toHz;
    }
}

void synthesisevoices(pbkpitchshift& engine)
{
    std::uint64_t highest = 0;
    for (std::uint64_t v = 0; v < engine.voicestates.count; ++v)
        if (engine.voicestates[v]->bus > highest)
            highest = engine.voicestates[v]->bus;
    // More buses than needed: all go, and the ones needed are made anew below.
    if (engine.busspectra.count > highest + 1 || engine.busoutputs.count != engine.busspectra.count)
    {
        engine.busspectra.clearAndDestroy();
        engine.busoutputs.clearAndDestroy();
    }

    for (std::uint64_t v = 0; v < engine.voicestates.count; ++v)
    {
        pbkvoicestate& voice = *engine.voicestates[v];
        while (engine.busspectra.count <= voice.bus)
            engine.addbuffer();
        synthesisevoice(engine, voice);
    }
}

void synthesisevoice(pbkpitchshift& engine, pbkvoicestate& voice)
{
    if (voice.gain == 0.0 || !std::isfinite(voice.gain) || !isusableratio(voice.ratio)
        || voice.phases.count < u(engine.halfsize) || voice.bus >= engine.busspectra.count)
        return;
    if (engine.wantpitch != 0 && voice.harmonytable != nullptr)
    {
        harmonysnap(voice, engine.detectednote);
        if (!isusableratio(voice.ratio))
            return;
    }
    const double ratio = voice.ratio;

    accumulatephases(engine, voice, ratio);
    voice.lastratio = ratio;
    const std::int64_t last = highestsourcebin(engine, ratio);
    warpformants(engine, voice, ratio, last);
    polartorectangularbins(engine, last);
    mapintobus(engine, voice, ratio, engine.busspectra[voice.bus]->data);
}

void overlapaddbuses(pbkpitchshift& engine)
{
    const std::int64_t n = engine.fftsize;
    const std::int64_t hop = engine.hopsize;
    const double* window = engine.analysiswindow.data;
    for (std::uint64_t b = 0; b < engine.busspectra.count; ++b)
    {
        double* spectrum = engine.busspectra[b]->data;
        double* output = engine.busoutputs[b]->data;
        inversetransform(engine, spectrum);
        std::memmove(output, output + hop, sizeof(double) * u(engine.framesize - hop));
        std::memset(output + (engine.framesize - hop), 0, sizeof(double) * u(hop));
        // The rotation of the analysis undone.
        forrotatedruns(engine.windowrotation, n, engine.framesize,
                       [&](std::int64_t c, std::int64_t at, std::int64_t length) {
                           for (std::int64_t j = 0; j < length; ++j)
                               output[c + j] += spectrum[at + j] * window[c + j];
                       });
        std::memset(spectrum, 0, sizeof(double) * u(n));
    }
}

void crossfadeonsets(pbkpitchshift& engine)
{
    for (std::uint64_t b = 0; b < engine.busoutputs.count; ++b)
    {
        const pbkvoicestate* voice = voiceofbus(engine, b);
        if (voice == nullptr || voice->mode2 <= 0)
            continue;
        crossfadebus(engine, engine.busoutputs[b]->data, crossfadespeed(*voice));
    }
}

// ================================================================================================

void forwardtransform(pbkpitchshift& engine, double* a)
{
    const int n = static_cast<int>(engine.fftsize);
    rdft(n, 1, a, engine.fftip, engine.fftw);
    negateodd(a, n);
}

void inversetransform(pbkpitchshift& engine, double* a)
{
    const int n = static_cast<int>(engine.fftsize);
    negateodd(a, n);
    rdft(n, -1, a, engine.fftip, engine.fftw);
    const double scale = 2.0 / static_cast<double>(n);
    for (int i = 0; i < n; ++i)
        a[i] *= scale;
}

void liftercepstrum(double* cepstrum, std::int64_t n)
{
    const std::int64_t cut = static_cast<std::int64_t>(lifterfraction * static_cast<double>(n)) & ~std::int64_t{1};
    if (cut < 2 || cut > n)
        return;
    cepstrum[cut - 2] *= 0.5;
    cepstrum[cut - 1] *= 0.5;
    std::memset(cepstrum + cut, 0, sizeof(double) * u(n - cut));
}

// d(tau) = e(0) + e(tau) - 2 r(tau), with e the energy of a stretch of W samples and r the
// correlation of the first stretch with the one tau later, all lags of r at once through the
// transform: a few N log N operations in place of (N/2) x (N/4) multiply-adds. d does not
// change when a constant is added to x, so the mean goes first: the subtraction then loses
// nothing to a large offset.
void differencefunction(pbkpitchshift& engine, const double* x, double* d, std::int64_t firstlag, std::int64_t lags,
                        double* work1, double* work2)
{
    const std::int64_t n = engine.fftsize;
    const std::int64_t tau0 = n / shortestperiodsdivisor;
    const std::int64_t window = n / 4;
    if (lags > n / 2 - tau0)
        lags = n / 2 - tau0;
    if (firstlag < 0)
        firstlag = 0;
    if (lags <= firstlag)
        return;
    const std::int64_t span = window + tau0 + lags - 1; // samples read; below 3N/4, so r never wraps

    double mean = 0.0;
    for (std::int64_t j = 0; j < span; ++j)
        mean += x[j];
    mean /= static_cast<double>(span);

    double* first = work1;  // the first stretch, then its transform
    double* later = work2;  // every sample read, then the transform of the correlation
    for (std::int64_t j = 0; j < n; ++j)
    {
        const double y = j < span ? x[j] - mean : 0.0;
        first[j] = j < window ? y : 0.0;
        later[j] = y;
    }
    const int ni = static_cast<int>(n);
    rdft(ni, 1, first, engine.fftip, engine.fftw);
    rdft(ni, 1, later, engine.fftip, engine.fftw);

    // later := conj(first) x later, bin by bin, in the packed layout (DC and Nyquist are real).
    later[0] *= first[0];
    later[1] *= first[1];
    for (std::int64_t k = 1; k < n / 2; ++k)
    {
        const double ra = first[2 * k], ia = first[2 * k + 1];
        const double rb = later[2 * k], ib = later[2 * k + 1];
        later[2 * k] = ra * rb + ia * ib;
        later[2 * k + 1] = ra * ib - ia * rb;
    }
    rdft(ni, -1, later, engine.fftip, engine.fftw);
    const double scale = 2.0 / static_cast<double>(n);

    double e0 = 0.0;
    double etau = 0.0;
    for (std::int64_t j = 0; j < window; ++j)
    {
        const double y0 = x[j] - mean;
        const double yt = x[j + tau0 + firstlag] - mean;
        e0 += y0 * y0;
        etau += yt * yt;
    }
    for (std::int64_t c = firstlag; c < lags; ++c)
    {
        const std::int64_t tau = tau0 + c;
        if (c > firstlag)
        {
            // The stretch slides on by one sample.
            const double leaving = x[tau - 1] - mean;
            const double entering = x[tau - 1 + window] - mean;
            etau += entering * entering - leaving * leaving;
        }
        const double diff = e0 + etau - 2.0 * scale * later[tau];
        d[c] = diff > 0.0 ? diff : 0.0; // a sum of squares: below 0 only by rounding
    }
}

double wrapphase(double x)
{
    return wrapped(x);
}
