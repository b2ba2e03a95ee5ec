#include "dsp/fastmath.h"

#include "dsp/simd.h"

#include <cmath>

void rectangulartopolar(double* bins, std::int64_t count)
{
    activekernels().rectangulartopolar(bins, count);
}

void rectangulartopolarplain(double* bins, std::int64_t count)
{
    for (std::int64_t k = 0; k < count; ++k)
    {
        double* bin = bins + 2 * k;
        const double re = bin[0], im = bin[1];
        bin[0] = std::sqrt(re * re + im * im);
        bin[1] = std::atan2(im, re);
    }
}

void log1pofmagnitudes(const double* bins, double* out, std::int64_t count)
{
    activekernels().log1pofmagnitudes(bins, out, count);
}

void log1pofmagnitudesplain(const double* bins, double* out, std::int64_t count)
{
    for (std::int64_t k = 0; k < count; ++k)
        out[k] = std::log1p(bins[2 * k]);
}

void advancephases(const double* bins, const phasestep& step, double* phases, double* magnitude, double* phase,
                   std::int64_t count)
{
    activekernels().advancephases(bins, step, phases, magnitude, phase, count);
}

void warpmagnitudes(const double* envelope, double g, double floor, std::int64_t hi, double* magnitude,
                    std::int64_t count)
{
    activekernels().warp(envelope, g, floor, hi, magnitude, count);
}

void mapbins(const double* re, const double* im, double ratio, double gain, const double* eq, std::int64_t hi,
             double* bins, std::int64_t count)
{
    activekernels().mapbins(re, im, ratio, gain, eq, hi, bins, count);
}

void squareddifferences(const double* a, const double* b, std::int64_t n, double* out, std::int64_t count)
{
    activekernels().squareddifferences(a, b, n, out, count);
}

double sumof(const double* x, std::int64_t n)
{
    return activekernels().sum(x, n);
}

double squareddeviation(const double* x, std::int64_t n, double about)
{
    return activekernels().squareddeviation(x, n, about);
}
