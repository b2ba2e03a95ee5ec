#include "engine/harmony.h"
#include "engine/patchparams.h"

#include <cmath>

namespace
{
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
    double m = x - psemitonesperoctave * std::floor(x / psemitonesperoctave);
    if (m < 0)
        m += psemitonesperoctave;
    // Rounding can leave m at 12.0 (a hair below a multiple of 12), and a huge x loses its
    // fraction altogether: the index stays inside the table either way.
    if (!(m >= 0))
        return 0;
    constexpr auto laststep = static_cast<std::int64_t>(pharmonysteps) - 1;
    if (m >= static_cast<double>(laststep))
        return laststep;
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
