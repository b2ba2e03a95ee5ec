#include "dsp/fastsincos.h"

#include "dsp/simd.h"

void polartorectangular(double* magnitude, double* angle, std::int64_t count)
{
    activekernels().polartorectangular(magnitude, angle, count);
}
