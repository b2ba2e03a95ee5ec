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
