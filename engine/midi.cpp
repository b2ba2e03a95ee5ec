// Controller-driven modulators: MIDI records and host parameters set the output of the
// modulator that listens to them, and the editor's modulation history follows it.
#include "engine/patchparams.h"
#include "engine/pdisplaydata.h"
#include "engine/pprojdata.h"

#include <cmath>

namespace
{
constexpr double midivaluemax = 127.0;
constexpr std::int32_t keysspan = 48; // the keys value repeats every four octaves
constexpr double historyscale = 255.0;

bool iscontrollermodulator(const ppatchmod* patch)
{
    return patch != nullptr && patch->kind == pkindmodulator && patch->params.count >= pmodulatorparamcount
           && paramint(patch->params, ppatchsource) == psourcecontroller;
}

// The first controller-driven modulator whose parameter `param` has the integer id, or -1.
int findlistener(const ocarray::ArrayPtr<ppatchmod>& patches, std::uint64_t param, std::int64_t id)
{
    for (std::uint64_t i = 0; i < patches.count; ++i)
        if (iscontrollermodulator(patches[i]) && paramint(patches[i]->params, param) == id)
            return static_cast<int>(i);
    return -1;
}
} // namespace

void pprojdata::processmidievent(const krvstmidievent* record)
{
    if (record == nullptr)
        return;

    const std::int64_t base = midimenubase;
    std::int64_t id = 0;
    switch (record->status)
    {
    case kmidinoteoff: return; // no menu entry listens to note off
    case kmidipitchbend: id = pmidiccpitchwheel; break;
    case kmidinoteon: id = pmidicckeys; break;
    default: id = base + record->number; break; // channel pressure lands beyond the menu
    }

    const int listener = findlistener(patches, ppatchmidicc, id);
    if (id != pmidicckeys)
    {
        setcont(listener, record->value);
        return;
    }

    // A note on sets the velocity listener and the keys listener (a note on of velocity 0
    // included).
    setcont(findlistener(patches, ppatchmidicc, pmidiccvelocity), record->rawvalue / midivaluemax);
    const std::int32_t key = ((record->number % keysspan) + keysspan) % keysspan;
    setcont(listener, static_cast<double>(key) / keysspan);
}

void pprojdata::setcont(int patch, double value)
{
    if (patch < 0 || std::isnan(value))
        return;
    ppatchmod* p = patchofkind(static_cast<std::uint64_t>(patch), pkindmodulator);
    if (p == nullptr || p->params.count < pmodulatorparamcount)
        return;
    const double v = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);

    double a = paramvalue(p->params, ppatchamplitude1);
    if (paramint(p->params, ppatchadjustmode) == padjusthold)
        a -= 1.0;
    const double b = paramvalue(p->params, ppatchamplitude2);
    const double output = a + (b - a) * v;
    p->channels[0].modoutput = output;
    p->channels[1].modoutput = output;

    // The modulator page draws the selected patch's controller, and every patch that listens
    // to the same controller or host parameter.
    if (display == nullptr || page.load() != ppagemodulator)
        return;
    const std::uint64_t selectedindex = selectedpatch.load();
    const ppatchmod* selected = patchofkind(selectedindex, pkindmodulator);
    const bool shown = static_cast<std::uint64_t>(patch) == selectedindex
                       || (selected != nullptr && selected->params.count >= pmodulatorparamcount
                           && (paramint(selected->params, ppatchmidicc) == paramint(p->params, ppatchmidicc)
                               || paramint(selected->params, ppatchhostparam) == paramint(p->params, ppatchhostparam)));
    if (!shown)
        return;

    // Only the audio thread writes the history; the try-lock keeps any other writer out
    // without ever waiting, and a skipped point only misdraws the display.
    if (!display->historylock.try_lock())
        return;
    constexpr auto slots = static_cast<std::int32_t>(phistoryslots);
    const double position = display->historyposition.load();
    std::int32_t pos = 0;
    if (position >= static_cast<double>(slots))
        pos = slots - 1;
    else if (position > 0.0)
        pos = static_cast<std::int32_t>(position);
    std::int32_t w = display->historywrite.load();
    w = w < 0 || w >= slots ? pos : w;
    // The last value holds up to the play position, so a still controller draws a flat line.
    const std::int32_t last = display->modulationhistory[w].load();
    while (w != pos)
    {
        w = w + 1 == slots ? 0 : w + 1;
        if (w != pos)
            display->modulationhistory[w].store(last);
    }
    display->modulationhistory[pos].store(static_cast<std::int32_t>(v * historyscale));
    display->historywrite.store(pos);
    display->historylock.unlock();
}

int pprojdata::findhostparampatch(int hostparam) const
{
    if (hostparam < 0 || hostparam >= hostparamcount)
        return -1;
    return findlistener(patches, ppatchhostparam, static_cast<std::int64_t>(hostparam) + 1);
}

void pprojdata::applyhostparams()
{
    std::uint32_t changed = hostparams.takechanged();
    for (int i = 0; changed != 0; ++i, changed >>= 1)
        if ((changed & 1u) != 0)
            setcont(findhostparampatch(i), hostparams.value(i));
}
