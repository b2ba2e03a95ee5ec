#include "dsp/blockfilter.h"

#include <cmath>

namespace
{
typedef double lanes4 __attribute__((vector_size(4 * sizeof(double))));

constexpr int lanes = 4;
constexpr double largestpole = 0.5;
constexpr double forgotten = 1e-18; // a start decayed this far adds nothing to a double
constexpr int shortest = 256;       // below this the plain loop is as quick

bool isfirstorder(const Dsp::Cascade& cascade)
{
    if (cascade.stageCount != 1)
        return false;
    const Dsp::Cascade::Stage& s = cascade.stages[0];
    return s.a2 == 0.0 && s.b2 == 0.0 && std::fabs(s.a1) <= largestpole && std::isfinite(s.b0) && std::isfinite(s.b1);
}
} // namespace

void processfirstorderblocks(Dsp::ButterworthFilter& filter, int n, double* x)
{
    if (n < shortest || !isfirstorder(filter.cascade))
    {
        filter.process(n, x);
        return;
    }
    const Dsp::Cascade::Stage& s = filter.cascade.stages[0];
    Dsp::DirectFormII& memory = filter.state.stateArray[0];
    const double a1 = s.a1;
    const double pole = -a1;
    // The plain loop adds -v at sample i, v being the stored offset, which changes sign each time.
    const double firstoffset = -filter.state.vsa;
    const int quarter = n / lanes;

    // w, the stage's intermediate value, in place of x: the quarters from rest (the first from
    // the memory), side by side.
    lanes4 w = {memory.w1, 0.0, 0.0, 0.0};
    lanes4 offset;
    for (int j = 0; j < lanes; ++j)
        offset[j] = (j * quarter) % 2 == 0 ? firstoffset : -firstoffset;
    for (int i = 0; i < quarter; ++i)
    {
        const lanes4 in = {x[i], x[quarter + i], x[2 * quarter + i], x[3 * quarter + i]};
        w = (in - a1 * w) + offset;
        offset = -offset;
        for (int j = 0; j < lanes; ++j)
            x[j * quarter + i] = w[j];
    }
    // Each later quarter takes the end of the one before, corrected already.
    for (int j = 1; j < lanes; ++j)
    {
        const int start = j * quarter;
        const double carry = x[start - 1];
        double weight = pole;
        for (int i = 0; i < quarter && std::fabs(weight) > forgotten; ++i, weight *= pole)
            x[start + i] += weight * carry;
    }
    // What n leaves over after four quarters, sample by sample.
    double offsetnow = (lanes * quarter) % 2 == 0 ? firstoffset : -firstoffset;
    for (int i = lanes * quarter; i < n; ++i)
    {
        x[i] = (x[i] - a1 * x[i - 1]) + offsetnow;
        offsetnow = -offsetnow;
    }

    // The output of each sample from its w and the one before, last first so w[i - 1] is still there.
    const double lastw = x[n - 1], beforelastw = x[n - 2];
    for (int i = n - 1; i > 0; --i)
        x[i] = s.b1 * x[i - 1] + s.b0 * x[i];
    x[0] = s.b1 * memory.w1 + s.b0 * x[0];
    memory.w2 = beforelastw;
    memory.w1 = lastw;
    if (n % 2 != 0)
        filter.state.vsa = -filter.state.vsa;
}
