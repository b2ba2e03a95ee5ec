// The editor tick on the model's side: the EQ stroke countdown and the graph view's data.
#include "engine/patchparams.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"

#include <cmath>

namespace
{
// Parameters arrive at the graph as norm x 128.
constexpr double graphscale = 128.0;
// Mix page: pan across x 21..243, the voice's delay down y 217..43.
constexpr double mixpanspan = 222.0;
constexpr double mixpancentre = 132.0;
constexpr double mixdelayspan = 174.0;
constexpr double mixdelaycentre = 130.0;
constexpr std::uint64_t mixmaxpoints = 8;

int scaled(double norm)
{
    return static_cast<int>(std::trunc(norm * graphscale));
}

// "Delay" norm of the voice's last delay record whose patch is a delay patch, else 0.
double voicedelaynorm(const pprojdata& model, const pparvoice& voice)
{
    double d = 0.0;
    for (std::uint64_t i = 0; i < voice.assignments.count; ++i)
    {
        const ppatchassign* record = voice.assignments[i];
        if (record == nullptr || record->kind != pkinddelay)
            continue;
        const ppatchmod* patch = model.patchofkind(record->patch, pkinddelay);
        if (patch != nullptr && patch->params.count > ppatchdelay)
            d = paramnorm(patch->params, ppatchdelay);
    }
    return d;
}
} // namespace

long pprojdata::graphfeed(int* data) const
{
    switch (page.load())
    {
    case ppagemodulator:
    {
        const ppatchmod* patch = patchofkind(selectedpatch, pkindmodulator);
        if (patch == nullptr || patch->params.count <= ppatchspeed)
            return -1;
        data[0] = scaled(paramnorm(patch->params, ppatchamplitude1));
        data[1] = scaled(paramnorm(patch->params, ppatchspeed));
        data[2] = paramint(patch->params, ppatchsource);
        data[3] = paramint(patch->params, ppatchshape);
        return 4;
    }
    case ppagedelay:
    {
        const ppatchmod* patch = patchofkind(selectedpatch, pkinddelay);
        if (patch == nullptr || patch->params.count <= ppatchdelay)
            return -1;
        data[0] = scaled(paramnorm(patch->params, ppatchdelay));
        data[1] = scaled(paramnorm(patch->params, ppatchspeed));
        data[2] = 0;
        data[3] = paramint(patch->params, ppatchshape);
        return 4;
    }
    case ppageeq:
        if (tools == nullptr)
            return -1;
        for (unsigned long i = 0; i < pgraphfeedcapacity; ++i)
            data[i] = tools->graphpixels[i].load();
        return static_cast<long>(pgraphfeedcapacity);
    case ppagemix:
    {
        long n = 0;
        const std::uint64_t end = mixoffset + mixrows < voices.count ? mixoffset + mixrows : voices.count;
        for (std::uint64_t v = mixoffset; v < end && static_cast<std::uint64_t>(n) < 2 * mixmaxpoints; ++v)
        {
            const pparvoice* voice = voices[v];
            if (voice == nullptr || voice->params.count <= pvoicepan)
                continue;
            const double pan = paramnorm(voice->params, pvoicepan);
            data[n++] = static_cast<int>(std::trunc((pan - 0.5) * mixpanspan + mixpancentre));
            data[n++] =
                static_cast<int>(std::trunc((0.5 - voicedelaynorm(*this, *voice)) * mixdelayspan + mixdelaycentre));
        }
        return n;
    }
    default: return -1;
    }
}

void pprojdata::guiidle()
{
    if (tools == nullptr)
        return;
    if (tools->strokecountdown > 0)
        --tools->strokecountdown;

    int data[pgraphfeedcapacity];
    const long count = graphfeed(data);
    if (count >= 0)
        tools->updatepixels(data, static_cast<unsigned long>(count), page);
}
