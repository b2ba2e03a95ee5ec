#include "engine/harmony.h"

#include <cmath>

namespace
{
constexpr double semitonesperoctave = 12.0;
// Half a semitone, so that truncation rounds the note to its nearest semitone.
constexpr double roundinghalf = 0.5;

// One glide step from current toward target, stopping on it.
double glidetoward(double current, double target, double step)
{
    if (target > current)
        return std::fmin(current + step, target);
    if (target < current)
        return std::fmax(current - step, target);
    return current;
}
} // namespace

std::int64_t harmonyindex(double detectednote, double keyoffset)
{
    const double x = detectednote - keyoffset + roundinghalf;
    if (!std::isfinite(x))
        return -1;
    double m = x - semitonesperoctave * std::floor(x / semitonesperoctave);
    if (m < 0)
        m += semitonesperoctave;
    // Rounding can leave m at 12.0 (a hair below a multiple of 12), and a huge x loses its
    // fraction altogether: the index stays inside the table either way.
    if (!(m >= 0))
        return 0;
    if (m >= static_cast<double>(pharmonytablesize - 1))
        return pharmonytablesize - 1;
    return static_cast<std::int64_t>(m);
}

void harmonysnap(pbkvoicestate& voice, double detectednote)
{
    if (voice.harmonytable == nullptr)
        return;
    const std::int64_t i = harmonyindex(detectednote, voice.keyoffset);
    if (i >= 0)
    {
        const double target = voice.harmonytable[i];
        if (!(voice.glidestep > 0))
            voice.harmonyratio = target;
        else
            voice.harmonyratio = glidetoward(voice.harmonyratio, target, voice.glidestep);
    }
    voice.ratio *= voice.harmonyratio;
}
