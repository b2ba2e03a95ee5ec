#include "dsp/cascade.h"

#include "foundation/comath.h"

#include <cmath>

namespace Dsp
{
namespace
{
using comath::pi;

bool isInfinite(complex_t c)
{
    return std::isinf(c.real()) || std::isinf(c.imag());
}

// |c|^2, infinite when either part is.
double squaredMagnitude(complex_t c)
{
    if (isInfinite(c))
        return INFINITY;
    return c.real() * c.real() + c.imag() * c.imag();
}

// (1 + c1 z^-1 + c2 z^-2) pair of coefficients for two roots: a complex root stands for itself
// and its conjugate, two real roots for themselves.
void rootsToCoefficients(complex_t r1, complex_t r2, double& c1, double& c2)
{
    if (r1.imag() != 0)
    {
        c1 = -2 * r1.real();
        c2 = squaredMagnitude(r1);
    }
    else
    {
        c1 = -(r1.real() + r2.real());
        c2 = r1.real() * r2.real();
    }
}

// Bilinear transform of an analog root, with f the prewarp factor of the kind.
complex_t mapLowPass(complex_t root, double f)
{
    if (isInfinite(root))
        return complex_t(-1, 0);
    return (1.0 + f * root) / (1.0 - f * root);
}

complex_t mapHighPass(complex_t root, double f)
{
    if (isInfinite(root))
        return complex_t(1, 0);
    return -((1.0 + f * root) / (1.0 - f * root));
}
} // namespace

void LayoutBase::addSingle(complex_t pole, complex_t zero)
{
    // A single pole ends a layout: nothing may follow it.
    if (poleCount >= maxPoleCount || poleCount % 2 != 0)
        return;
    PoleZeroPair& pair = pairs[poleCount / 2];
    pair.poles[0] = pole;
    pair.poles[1] = complex_t(0, 0);
    pair.zeros[0] = zero;
    pair.zeros[1] = complex_t(0, 0);
    ++poleCount;
}

void Cascade::setLayout(const LayoutBase& layout)
{
    const std::int32_t wanted = (layout.poleCount + 1) / 2;
    stageCount = wanted < maxStageCount ? wanted : maxStageCount;

    for (std::int32_t i = 0; i < stageCount; ++i)
    {
        const PoleZeroPair& pair = layout.pairs[i];
        Stage& s = stages[i];
        s.a0 = 1;
        s.b0 = 1;
        if (pair.isSingle())
        {
            s.a1 = -pair.poles[0].real();
            s.a2 = 0;
            s.b1 = -pair.zeros[0].real();
            s.b2 = 0;
        }
        else
        {
            rootsToCoefficients(pair.poles[0], pair.poles[1], s.a1, s.a2);
            rootsToCoefficients(pair.zeros[0], pair.zeros[1], s.b1, s.b2);
        }
    }

    if (stageCount == 0)
        return;
    const complex_t h = response(layout.normalW);
    const double scale = layout.normalGain / std::hypot(h.real(), h.imag());
    stages[0].b0 *= scale;
    stages[0].b1 *= scale;
    stages[0].b2 *= scale;
}

complex_t Cascade::response(double w) const
{
    const complex_t z1 = std::polar(1.0, -w); // z^-1
    const complex_t z2 = std::polar(1.0, -2 * w);
    complex_t numerator(1, 0);
    complex_t denominator(1, 0);
    for (std::int32_t i = 0; i < stageCount; ++i)
    {
        const Stage& s = stages[i];
        numerator *= (s.b0 * s.a0) + (s.b1 * s.a0) * z1 + (s.b2 * s.a0) * z2;
        denominator *= 1.0 + (s.a1 * s.a0) * z1 + (s.a2 * s.a0) * z2;
    }
    return numerator / denominator;
}

void ButterworthFilter::design(Kind kind, double cutoffRatio)
{
    // The prototype, one pole at -1 and a zero at infinity, is the same for every cutoff.
    if (analogOrder != 1)
    {
        analogOrder = 1;
        analog.reset();
        analog.addSingle(complex_t(-1, 0), complex_t(INFINITY, 0));
    }

    const double tangent = std::tan(pi * cutoffRatio);
    digital.reset();
    for (std::int32_t i = 0; i < (analog.poleCount + 1) / 2; ++i)
    {
        const PoleZeroPair& pair = analog.pairs[i];
        if (kind == Kind::lowPass)
            digital.addSingle(mapLowPass(pair.poles[0], tangent), mapLowPass(pair.zeros[0], tangent));
        else
            digital.addSingle(mapHighPass(pair.poles[0], 1 / tangent), mapHighPass(pair.zeros[0], 1 / tangent));
    }

    // Unity gain where the pass band is: at DC for the low-pass, at Nyquist for the high-pass.
    digital.normalW = kind == Kind::lowPass ? analog.normalW : pi - analog.normalW;
    digital.normalGain = analog.normalGain;
    cascade.setLayout(digital);
}
} // namespace Dsp
