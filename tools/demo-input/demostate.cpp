#include "tools/demo-input/demostate.h"

#include "engine/patchparams.h"
#include "engine/pprojdata.h"
#include "plugin/pinstance.h"

namespace quilldemo
{
namespace
{
constexpr double demorate = 44100.0;

// "Pitch" maps 0..1 to -1..+1 octave (in mode 0): 0.5 is the unshifted voice.
constexpr double octavedown = 0.0;

void setparam(ocarray::ArrayPtr<pparam>& params, std::uint64_t index, double units)
{
    params[index]->setvalue(units);
}

std::uint64_t harmonyfor(pprojdata& model, std::uint64_t voice, double intervalset, double smooth)
{
    const std::uint64_t p = model.newpatch(false, pkindharmony);
    ppatchmod& patch = *model.patches[p];
    setparam(patch.params, ppatchamplitude1, smooth); // "Smooth": a short glide between notes
    setparam(patch.params, ppatchsource, intervalset);
    setparam(patch.params, ppatchshape, pkeyc);
    model.recalcpatchstate(p);
    model.assignpatch(pkindharmony, voice, p, 0);
    return p;
}
} // namespace

void builddemostate(pprojdata& model)
{
    // The sung voice stays audible under its harmonies.
    setparam(model.params, pglobaldry, 0.8);
    setparam(model.params, pglobalwet, 0.9);
    setparam(model.params, pglobalvolume, 0.6); // four voices together, kept below full scale

    model.voices.clearAndDestroy();
    model.patches.clearAndDestroy();

    // Voice 0: a third above, a little to the left.
    const std::uint64_t third = model.newvoice();
    setparam(model.voices[third]->params, pvoicepan, 0.7);
    setparam(model.voices[third]->params, pvoicevolume, 0.45);
    harmonyfor(model, third, pharmonythirds, 0.6);

    // Voice 1: a sixth above, to the right, through a quarter-second feedback delay.
    const std::uint64_t sixth = model.newvoice();
    setparam(model.voices[sixth]->params, pvoicepan, 1.35);
    setparam(model.voices[sixth]->params, pvoicevolume, 0.35);
    harmonyfor(model, sixth, pharmonysixths, 0.6);
    const std::uint64_t delay = model.newpatch(false, pkinddelay);
    ppatchmod& echo = *model.patches[delay];
    setparam(echo.params, ppatchdelay, 0.25);
    setparam(echo.params, ppatchfeedback, 0.35);
    setparam(echo.params, ppatchdelaymix, 0.45);
    setparam(echo.params, ppatchamplitude1, 0.05); // a slight chorus-like sway of the delay time
    model.assignpatch(pkinddelay, sixth, delay, 0);

    // Voice 2: an octave below, panned slowly by a sine LFO.
    const std::uint64_t low = model.newvoice();
    setparam(model.voices[low]->params, pvoicepitch, octavedown);
    setparam(model.voices[low]->params, pvoicevolume, 0.3);
    const std::uint64_t lfo = model.newpatch(false, pkindmodulator);
    ppatchmod& sway = *model.patches[lfo];
    setparam(sway.params, ppatchamplitude1, 0.7);
    setparam(sway.params, ppatchsource, psourcelfo);
    setparam(sway.params, ppatchshape, pshapesine);
    setparam(sway.params, ppatchspeed, 0.3); // cycles per second
    model.recalcpatchstate(lfo);
    model.assignpatch(pkindmodulator, low, lfo, pvoicepan);

    model.voicecountchanged(true);
}

std::string demostatetext()
{
    pinstance instance(demorate);
    builddemostate(instance.model);
    costringa text;
    instance.model.writestate(text);
    return text.str();
}
} // namespace quilldemo
