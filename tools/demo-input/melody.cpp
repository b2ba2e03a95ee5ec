#include "tools/demo-input/melody.h"

#include "foundation/comath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace quilldemo
{
namespace
{
using comath::pi;
using comath::twopi;

constexpr double glideseconds = 0.06;  // portamento into each note of a legato line
constexpr double vibratorate = 5.4;    // Hz
constexpr double vibratodepth = 0.35;  // semitones, reached once the vibrato has grown
constexpr double vibratodelay = 0.25;  // seconds of straight tone before it starts
constexpr double vibratogrowth = 0.35; // seconds for it to reach full depth
constexpr double attackseconds = 0.04;
constexpr double releaseseconds = 0.09;
constexpr double harmonicceiling = 0.45; // of the sample rate
constexpr int maxharmonics = 120;
constexpr double sourcetilt = 1.0;    // harmonic k of the glottal source at 1/k^tilt
constexpr double rolloffhz = 5000.0;  // a further gentle low-pass on the voice
constexpr double ceilingtaper = 0.05; // of the sample rate: harmonics fade out below the ceiling
constexpr double breathlevel = 0.004;
constexpr double peaklevel = 0.5;

double midihz(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// The note sounding at t, or none in a rest.
const melodynote* noteat(double t)
{
    for (const melodynote& n : melodynotes())
        if (t >= n.start && t < n.start + n.length)
            return &n;
    return nullptr;
}

const melodynote* notebefore(const melodynote* n)
{
    const std::vector<melodynote>& all = melodynotes();
    if (n == &all.front())
        return nullptr;
    const melodynote* previous = n - 1;
    // Only a note that ends where this one starts is glided from.
    return std::abs(previous->start + previous->length - n->start) < 1e-9 ? previous : nullptr;
}

double envelopeat(double t, const melodynote& n)
{
    const double into = t - n.start;
    const double left = n.start + n.length - t;
    const bool legatoin = notebefore(&n) != nullptr;
    const double rise = legatoin ? 1.0 : std::min(1.0, into / attackseconds);
    const melodynote* next = (&n != &melodynotes().back()) ? &n + 1 : nullptr;
    const bool legatoout = next != nullptr && notebefore(next) == &n;
    const double fall = legatoout ? 1.0 : std::min(1.0, left / releaseseconds);
    return std::max(0.0, std::min(rise, fall));
}

// Level of a harmonic at frequency f through the vowel's formants.
double vowelgain(const vowel& v, double f)
{
    double g = 0.02; // floor between the formants
    for (int i = 0; i < 4; ++i)
    {
        const double x = (f - v.formants[i]) / (0.5 * v.widths[i]);
        g += v.levels[i] / (1.0 + x * x);
    }
    const double r = f / rolloffhz;
    return g / (1.0 + r * r);
}

// The vowel at t: a legato note moves its formants from the previous note's vowel during the
// glide, so neither pitch nor timbre jumps.
vowel vowelat(double t, const melodynote& n)
{
    const vowel& target = melodyvowels()[static_cast<std::size_t>(n.vowelindex)];
    const melodynote* previous = notebefore(&n);
    const double into = t - n.start;
    if (previous == nullptr || into >= glideseconds)
        return target;
    const vowel& from = melodyvowels()[static_cast<std::size_t>(previous->vowelindex)];
    const double w = 0.5 - 0.5 * std::cos(pi * into / glideseconds);
    vowel v;
    for (int i = 0; i < 4; ++i)
    {
        v.formants[i] = from.formants[i] + (target.formants[i] - from.formants[i]) * w;
        v.widths[i] = from.widths[i] + (target.widths[i] - from.widths[i]) * w;
        v.levels[i] = from.levels[i] + (target.levels[i] - from.levels[i]) * w;
    }
    return v;
}

// 1 well below the ceiling, falling smoothly to 0 at it, so harmonics that cross it as the
// pitch moves fade instead of switching.
double ceilinggain(double f, double samplerate)
{
    const double ceiling = harmonicceiling * samplerate;
    const double x = (ceiling - f) / (ceilingtaper * samplerate);
    return x >= 1.0 ? 1.0 : (x <= 0.0 ? 0.0 : x * x * (3.0 - 2.0 * x));
}
} // namespace

const std::vector<vowel>& melodyvowels()
{
    static const std::vector<vowel> vowels = {
        {{800, 1150, 2900, 3900}, {80, 90, 120, 130}, {1.0, 0.50, 0.25, 0.10}}, // "ah"
        {{400, 1600, 2700, 3300}, {60, 80, 120, 150}, {1.0, 0.35, 0.20, 0.08}}, // "eh"
        {{450, 800, 2830, 3800}, {70, 80, 100, 130}, {1.0, 0.45, 0.10, 0.05}},  // "oh"
    };
    return vowels;
}

const std::vector<melodynote>& melodynotes()
{
    // A phrase in A minor around A3, sung in two legato lines with a breath between them.
    static const std::vector<melodynote> notes = {
        {0.10, 0.60, 57, 0}, {0.70, 0.40, 60, 1}, {1.10, 0.40, 62, 0}, {1.50, 0.90, 64, 2},
        {2.60, 0.45, 62, 1}, {3.05, 0.45, 60, 0}, {3.50, 0.50, 59, 2}, {4.00, 1.20, 57, 0},
    };
    return notes;
}

double melodyseconds()
{
    const melodynote& last = melodynotes().back();
    return last.start + last.length + 0.3;
}

// Pitch in semitones of note n at time t: a glide from where the previous legato note
// ended (its vibrato included, so the pitch never jumps), then a vibrato that grows in.
double notepitch(const melodynote& n, double t)
{
    const double into = t - n.start;
    double note = n.midinote;
    if (const melodynote* previous = notebefore(&n); previous != nullptr && into < glideseconds)
    {
        const double from = notepitch(*previous, n.start);
        const double w = 0.5 - 0.5 * std::cos(pi * into / glideseconds);
        note = from + (n.midinote - from) * w;
    }
    const double grown = std::clamp((into - vibratodelay) / vibratogrowth, 0.0, 1.0);
    return note + vibratodepth * grown * std::sin(twopi * vibratorate * (into - vibratodelay));
}

double melodypitch(double t)
{
    const melodynote* n = noteat(t);
    return n == nullptr ? 0.0 : midihz(notepitch(*n, t));
}

std::vector<double> synthesizemelody(double samplerate)
{
    const std::size_t count = static_cast<std::size_t>(melodyseconds() * samplerate);
    std::vector<double> out(count, 0.0);
    std::vector<double> phases(maxharmonics, 0.0);
    std::uint32_t noise = 12345;

    for (std::size_t s = 0; s < count; ++s)
    {
        const double t = static_cast<double>(s) / samplerate;
        const melodynote* n = noteat(t);
        if (n == nullptr)
        {
            std::fill(phases.begin(), phases.end(), 0.0);
            continue;
        }
        const double f0 = melodypitch(t);
        const double level = envelopeat(t, *n);
        const vowel v = vowelat(t, *n);
        double sample = 0.0;
        for (int k = 1; k <= maxharmonics; ++k)
        {
            const double f = f0 * k;
            if (f >= harmonicceiling * samplerate)
                break;
            double& phase = phases[static_cast<std::size_t>(k - 1)];
            phase = std::fmod(phase + twopi * f / samplerate, twopi);
            sample += std::sin(phase) * vowelgain(v, f) * ceilinggain(f, samplerate) / std::pow(k, sourcetilt);
        }
        noise = noise * 1664525u + 1013904223u;
        const double white = static_cast<double>(noise) / 4294967296.0 * 2.0 - 1.0;
        out[s] = level * (sample + breathlevel * white * vowelgain(v, 1500.0));
    }

    double peak = 0.0;
    for (double x : out)
        peak = std::max(peak, std::abs(x));
    if (peak > 0.0)
        for (double& x : out)
            x *= peaklevel / peak;
    return out;
}
} // namespace quilldemo
