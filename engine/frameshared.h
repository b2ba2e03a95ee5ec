// Pieces shared by the steps of the phase-vocoder frame (frame.cpp, detection.cpp, analysis.cpp,
// synthesis.cpp). Internal to the engine's frame; not part of its interface.
#pragma once

#include "dsp/pbkpitchshift.h"
#include "foundation/comath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pframe
{
using comath::pi;
using comath::twopi;
// From here on a double holds no fraction of a turn any more.
inline constexpr double largestwrappablephase = 1.0e15;
// tau0 = N / 70: about 1520 Hz at 44.1 kHz, the shortest period the pitch search considers.
inline constexpr std::int64_t shortestperiodsdivisor = 70;

// Element counts and indexes are signed in the engine, unsigned in its buffers.
inline std::uint64_t u(std::int64_t i)
{
    return static_cast<std::uint64_t>(i);
}

// The integer part of x (toward zero) when that lies in 0..hi - 1, else -1: an index computed
// from a double, with no cast that could overflow.
inline std::int64_t truncindex(double x, std::int64_t hi)
{
    if (!(x > -1.0 && x < static_cast<double>(hi)))
        return -1;
    return static_cast<std::int64_t>(x);
}

// wrapphase, inline in the loops over bins. The parity of q moves q without a branch: phases
// that advance by arbitrary amounts would mispredict it one time in two.
inline double wrapped(double x)
{
    if (!(std::fabs(x) < largestwrappablephase))
        return 0.0;
    std::int64_t q = static_cast<std::int64_t>(x / pi);
    const std::int64_t awayfromzero = q < 0 ? -1 : 1;
    q += (q & 1) * awayfromzero;
    return x - pi * static_cast<double>(q);
}

// Element i of a frame of count elements goes to index (rotation + i) mod n: run(i, index,
// length) for each stretch over which the index rises by one, without a division per element.
template <typename Run>
void forrotatedruns(std::int64_t rotation, std::int64_t n, std::int64_t count, Run run)
{
    std::int64_t at = rotation % n;
    for (std::int64_t i = 0; i < count;)
    {
        const std::int64_t length = std::min(count - i, n - at);
        run(i, at, length);
        i += length;
        at = 0;
    }
}

// The time since the previous frame in samples: one hop, or more after a restarted schedule.
inline double frameinterval(const pbkpitchshift& engine)
{
    return static_cast<double>(engine.hopsize + engine.framegap);
}
} // namespace pframe
