// The frame's synthesis, in hop order: every voice into its bus spectrum, each bus back to time
// by overlap-add, then the onset crossfade.
#include "engine/frame.h"
#include "engine/frameshared.h"

#include "dsp/fastsincos.h"
#include "engine/harmony.h"

#include <cmath>
#include <cstring>

using namespace pframe;

namespace
{
constexpr double warpfloor = 0.02; // keeps the envelope divisor away from 0
constexpr double crossfadeslowest = 0.25;
constexpr double crossfadefastest = 2.0;

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

// The bin of the magnitude peak that bin k lies under: uphill from k.
std::int64_t peakof(const double* magnitude, std::int64_t k, std::int64_t bins)
{
    const std::int64_t step = k + 1 < bins && magnitude[k + 1] > magnitude[k] ? 1 : -1;
    while (k + step >= 0 && k + step < bins && magnitude[k + step] > magnitude[k])
        k += step;
    return k;
}

// While the frame still holds the quiet before a sound, each bin takes the analysis phase
// relation to the peak it lies under; the peak keeps its accumulated phase. A partial spreads
// over neighbouring bins, and its level depends on their phases keeping the input's relation.
// A bin's advance is known only modulo a turn: while a sound enters the frame (or against the
// silence before it) neighbouring bins resolve it to different turns, and the ratio would make
// each such turn a lasting (ratio - 1) turn between them, so that where the note started would
// set its level. Once the frame is full of sound every bin of a partial advances alike, and the
// relation taken in the last such frame stays.
void startfromanalysis(pbkpitchshift& engine, const voicespectrum& synth, double* phases)
{
    const double* analysis = engine.lastphase.data;
    for (std::int64_t k = 0; k < engine.halfsize; ++k)
    {
        const std::int64_t p = peakof(synth.magnitude, k, engine.halfsize);
        phases[k] = wrapped(synth.phase[p] + (analysis[k] - analysis[p]));
    }
    std::memcpy(synth.phase, phases, sizeof(double) * u(engine.halfsize));
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
    if (engine.soundstarting != 0)
        startfromanalysis(engine, synth, phases);
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

// Stops at the first value that is not zero: a bus a voice reached stops within a few.
bool isallzero(const double* x, std::int64_t n)
{
    for (std::int64_t i = 0; i < n; ++i)
        if (x[i] != 0.0)
            return false;
    return true;
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
        const std::int64_t o = at - d;                        // the onset's position
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
        std::memmove(output, output + hop, sizeof(double) * u(engine.framesize - hop));
        std::memset(output + (engine.framesize - hop), 0, sizeof(double) * u(hop));
        // A bus no sounding voice reached (bus 0 while every voice has a delay patch, a voice
        // fallen silent) transforms to zeros, which add nothing: its tail only moves on.
        if (engine.plainpaths == 0 && isallzero(spectrum, n))
            continue;
        // The rotation of the analysis undone; the transform's scale applied on the way, as
        // inversetransform would have applied it.
        inversetransformunscaled(engine, spectrum);
        const double scale = inversescale(engine);
        forrotatedruns(engine.windowrotation, n, engine.framesize,
                       [&](std::int64_t c, std::int64_t at, std::int64_t length) {
                           for (std::int64_t j = 0; j < length; ++j)
                               output[c + j] += (spectrum[at + j] * scale) * window[c + j];
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
