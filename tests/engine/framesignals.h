// Synthetic signals and measurements for the frame and block-driver tests.
#pragma once

#include "dsp/pbkpitchshift.h"
#include "dsp/rdft.h"
#include "engine/frame.h"
#include "foundation/comath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace framesignals
{
using comath::pi;

inline std::unique_ptr<pbkpitchshift> makeengine(double samplerate)
{
    auto engine = std::make_unique<pbkpitchshift>();
    engine->init(samplerate);
    return engine;
}

// A voice record as the model makes it, sounding unshifted on bus 0.
inline pbkvoicestate& addvoice(pbkpitchshift& engine, double ratio = 1.0, double gain = 1.0)
{
    auto* voice = new pbkvoicestate;
    voice->phases.resize(static_cast<std::uint64_t>(engine.halfsize));
    voice->ratio = ratio;
    voice->gain = gain;
    voice->formantfactor = 1.0;
    voice->formantamount = 0.0;
    engine.voicestates.append(voice);
    return *voice;
}

// Harmonics 1..count of hz below the Nyquist frequency with amplitudes amplitude / h (a band-limited sawtooth);
// count 1 is a sine.
inline std::vector<double> harmonictone(double hz, double samplerate, std::size_t n, int count = 8,
                                        double amplitude = 0.3)
{
    std::vector<double> x(n, 0.0);
    for (int h = 1; h <= count && h * hz < samplerate / 2; ++h)
        for (std::size_t i = 0; i < n; ++i)
            x[i] += amplitude / h * std::sin(2 * pi * h * hz * static_cast<double>(i) / samplerate);
    return x;
}

inline std::vector<double> sine(double hz, double samplerate, std::size_t n, double amplitude = 0.5)
{
    return harmonictone(hz, samplerate, n, 1, amplitude);
}

// Writes the next hop where the block driver writes it and runs the frame.
inline void runhop(pbkpitchshift& engine, const double* hop)
{
    for (std::int64_t i = 0; i < engine.hopsize; ++i)
        engine.inputframe[static_cast<std::uint64_t>(engine.framefill++)] = hop[i];
    processframe(engine);
}

// Runs whole hops of x and returns what the bus played.
inline std::vector<double> run(pbkpitchshift& engine, const std::vector<double>& x, std::uint64_t bus = 0)
{
    std::vector<double> out;
    const std::size_t hop = static_cast<std::size_t>(engine.hopsize);
    for (std::size_t at = 0; at + hop <= x.size(); at += hop)
    {
        runhop(engine, x.data() + at);
        for (std::size_t i = 0; i < hop; ++i)
            out.push_back(bus < engine.busoutputs.count ? (*engine.busoutputs[bus])[i] : 0.0);
    }
    return out;
}

// Hann-windowed magnitudes of x zero-padded to 2^17, in Hz and magnitude, from lo to hi Hz.
inline std::vector<std::pair<double, double>> spectrumof(const std::vector<double>& x, double samplerate, double lo,
                                                         double hi)
{
    const std::size_t size = 1 << 17;
    const std::size_t n = std::min(x.size(), size);
    std::vector<double> a(size, 0.0);
    std::vector<double> w(size / 2, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        a[i] = x[i] * (0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(i) / static_cast<double>(n)));
    std::vector<int> ip(3 + static_cast<std::size_t>(std::sqrt(static_cast<double>(size / 2))), 0);
    rdft(static_cast<int>(size), 1, a.data(), ip.data(), w.data());
    std::vector<std::pair<double, double>> bins;
    const double binhz = samplerate / static_cast<double>(size);
    for (std::size_t k = static_cast<std::size_t>(lo / binhz); k < size / 2 && static_cast<double>(k) * binhz <= hi;
         ++k)
        bins.emplace_back(static_cast<double>(k) * binhz, std::hypot(a[2 * k], a[2 * k + 1]));
    return bins;
}

// The strongest frequency of x between lo and hi Hz, refined by a parabola through log magnitudes.
inline double peakfrequency(const std::vector<double>& x, double samplerate, double lo, double hi)
{
    const auto bins = spectrumof(x, samplerate, lo, hi);
    std::size_t best = 1;
    for (std::size_t k = 1; k + 1 < bins.size(); ++k)
        best = bins[k].second > bins[best].second ? k : best;
    const double a = std::log(bins[best - 1].second + 1e-300);
    const double b = std::log(bins[best].second + 1e-300);
    const double c = std::log(bins[best + 1].second + 1e-300);
    return bins[best].first + 0.5 * (a - c) / (a - 2 * b + c) * (bins[1].first - bins[0].first);
}

// Magnitude-weighted mean frequency of x between lo and hi Hz.
inline double spectralcentroid(const std::vector<double>& x, double samplerate, double lo, double hi)
{
    double weighted = 0.0;
    double total = 0.0;
    for (const auto& [hz, m] : spectrumof(x, samplerate, lo, hi))
    {
        weighted += hz * m;
        total += m;
    }
    return weighted / total;
}

inline double rms(const std::vector<double>& x, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t i = from; i < to && i < x.size(); ++i)
        sum += x[i] * x[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

inline double peak(const std::vector<double>& x)
{
    double p = 0.0;
    for (const double v : x)
        p = std::fmax(p, std::fabs(v));
    return p;
}

// Semitones above C0, A4 = 57.
inline double noteof(double hz)
{
    return 12.0 * std::log2(hz / 13.75) - 3.0;
}
} // namespace framesignals
