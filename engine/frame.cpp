// One phase-vocoder frame: the order of its steps, the guard on its input, and the transforms
// the steps share. The steps live in detection.cpp, analysis.cpp and synthesis.cpp.
#include "engine/frame.h"
#include "engine/frameshared.h"

#include "dsp/rdft.h"

#include <cmath>

using namespace pframe;

namespace
{
void negateodd(double* a, std::int64_t n)
{
    for (std::int64_t i = 1; i < n; i += 2)
        a[i] = -a[i];
}
} // namespace

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

void forwardtransform(pbkpitchshift& engine, double* a)
{
    const int n = static_cast<int>(engine.fftsize);
    rdft(n, 1, a, engine.fftip, engine.fftw);
    negateodd(a, n);
}

void inversetransform(pbkpitchshift& engine, double* a)
{
    inversetransformunscaled(engine, a);
    const double scale = inversescale(engine);
    for (std::int64_t i = 0; i < engine.fftsize; ++i)
        a[i] *= scale;
}

void inversetransformunscaled(pbkpitchshift& engine, double* a)
{
    const int n = static_cast<int>(engine.fftsize);
    negateodd(a, n);
    rdft(n, -1, a, engine.fftip, engine.fftw);
}

double inversescale(const pbkpitchshift& engine)
{
    return 2.0 / static_cast<double>(engine.fftsize);
}

double wrapphase(double x)
{
    return wrapped(x);
}
