// The frame's analysis, in hop order: input level and quiet-time reset, the refill position,
// the windowed forward transform, the spectral envelope and the true frequency of each bin.
#include "engine/frame.h"
#include "engine/frameshared.h"

#include "dsp/blockfilter.h"
#include "dsp/fastmath.h"

#include <cmath>
#include <cstring>
#include <limits>

using namespace pframe;

namespace
{
// ---- input level and quiet time ----
constexpr double levelscale = 50.0;
constexpr double quietlevel = 0.009; // below this a frame counts as quiet
// A hop this far below the newest (-36 dB) is the quiet before a sound that is starting.
constexpr double startingshare = 1.0 / 64.0;

// ---- spectral envelope ----
constexpr double lifterfraction = 0.05;

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
} // namespace

void measureinputlevel(pbkpitchshift& engine)
{
    engine.windowrotation = engine.windowlength / 2;
    const double* x = engine.inputframe.data + engine.levelstart;
    double sum = 0.0;
    for (std::int64_t j = 0; j < engine.levelcount; ++j)
        sum += std::fabs(x[j]);
    engine.inputlevel = sum / static_cast<double>(engine.levelcount) * levelscale;

    double* levels = engine.hoplevels;
    const int last = pbkpitchshift::levelhops - 1;
    std::memmove(levels, levels + 1, sizeof(double) * last);
    const double* newest = engine.inputframe.data + (engine.fftsize - engine.hopsize);
    levels[last] = 0.0;
    for (std::int64_t j = 0; j < engine.hopsize; ++j)
        levels[last] += std::fabs(newest[j]);
    engine.soundstarting = 0;
    for (int h = 0; h < last; ++h)
        if (levels[h] < levels[last] * startingshare)
            engine.soundstarting = 1;
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

void analysespectrum(pbkpitchshift& engine)
{
    const std::int64_t n = engine.fftsize;
    double* spectrum = engine.spectrum.data;
    const double* window = engine.analysiswindow.data;
    double* frame = engine.inputframe.data;

    std::memset(spectrum, 0, sizeof(double) * u(n));
    // The frame's middle lands at index 0.
    forrotatedruns(engine.windowrotation, n, engine.framesize,
                   [&](std::int64_t i, std::int64_t at, std::int64_t length) {
                       for (std::int64_t j = 0; j < length; ++j)
                           spectrum[at + j] += window[i + j] * frame[i + j];
                   });
    std::memmove(frame, frame + engine.hopsize, sizeof(double) * u(engine.refillpos));

    forwardtransform(engine, spectrum);
    spectrum[1] = 0.0; // the Nyquist value is dropped: bin 0 is real
    if (engine.plainpaths != 0)
        rectangulartopolarplain(spectrum, engine.spectrumlength / 2);
    else
        rectangulartopolar(spectrum, engine.spectrumlength / 2);
}

void computeenvelope(pbkpitchshift& engine)
{
    const std::int64_t n = engine.fftsize;
    const std::int64_t m = engine.halfsize;
    double* envelope = engine.envelope.data;
    const double* spectrum = engine.spectrum.data;

    // The log magnitudes go into the packed layout as they are, not as a symmetric spectrum.
    if (engine.plainpaths != 0)
        log1pofmagnitudesplain(spectrum, envelope, m);
    else
        log1pofmagnitudes(spectrum, envelope, m);
    std::memset(envelope + m, 0, sizeof(double) * u(n - m));

    if (engine.plainpaths != 0)
    {
        inversetransform(engine, envelope);
        liftercepstrum(envelope, n);
    }
    else
    {
        // The lifter keeps the first few coefficients: only those need the transform's scale.
        inversetransformunscaled(engine, envelope);
        const double scale = inversescale(engine);
        const std::int64_t kept = liftercut(n);
        for (std::int64_t i = 0; i < kept; ++i)
            envelope[i] *= scale;
        liftercepstrum(envelope, n);
    }
    forwardtransform(engine, envelope);
    for (std::int64_t k = 0; k < m; ++k)
        if (envelope[k] < 0.0)
            envelope[k] = 0.0;

    Dsp::ButterworthFilter& smoother = engine.binsmoother;
    // The design comes out the same every frame: the fast path makes it once.
    if (engine.plainpaths != 0 || smoother.cascade.stageCount == 0)
        smoother.design(Dsp::ButterworthFilter::Kind::lowPass, pbkbinsmoothercutoff);
    smoother.state.stateArray[0].w1 = 0.0;
    smoother.state.stateArray[0].w2 = 0.0;
    if (engine.plainpaths != 0)
        smoother.process(static_cast<int>(m), envelope);
    else
        processfirstorderblocks(smoother, static_cast<int>(m), envelope);
}

std::int64_t liftercut(std::int64_t n)
{
    const std::int64_t cut = static_cast<std::int64_t>(lifterfraction * static_cast<double>(n)) & ~std::int64_t{1};
    return cut < 2 || cut > n ? n : cut;
}

void liftercepstrum(double* cepstrum, std::int64_t n)
{
    const std::int64_t cut = liftercut(n);
    if (cut == n)
        return;
    cepstrum[cut - 2] *= 0.5;
    cepstrum[cut - 1] *= 0.5;
    std::memset(cepstrum + cut, 0, sizeof(double) * u(n - cut));
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
