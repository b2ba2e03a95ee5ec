#include "plugin/pinstance.h"

#include "plugin/pmenulists.h"
#include "plugin/pmididecode.h"

#include <algorithm>
#include <cmath>
#include <mutex>

pinstance::pinstance(double samplerate)
{
    model.tools = &controller.tools;
    model.display = &controller.tools;
    controller.model = &model;
    controller.tools.rootcontrol = &rootcontrol;

    prepared = usablerate(samplerate) ? samplerate : fallbackrate;
    model.midimenubase = pfillmenulists(controller.tools);
    model.pushglobalparams();
    model.initpbm(prepared);
}

bool pinstance::usablerate(double rate)
{
    return std::isfinite(rate) && rate >= 1.0;
}

bool pinstance::prepare(double samplerate)
{
    // Any difference counts, a NaN included, but the model only takes a usable rate.
    if (samplerate == prepared || !usablerate(samplerate))
        return false;
    std::lock_guard<std::mutex> hold(model.modelmutex);
    prepared = samplerate;
    model.initpbm(samplerate);
    return true;
}

void pinstance::clearmidi()
{
    model.midirecords.clear();
}

void pinstance::addmidi(const std::uint8_t* bytes, int size, int position)
{
    krvstmidievent record;
    if (pmididecode::decode(bytes, size, position, record))
        model.midirecords.append(record);
}

void pinstance::processblock(double** in, unsigned n, double** out, unsigned inputchannels)
{
    if (!model.beginblock())
    {
        // The editor's tick is applying queued commands while the host was quiet; this block
        // comes in the microseconds before it ends. Waiting is not allowed, reading the model
        // is not safe: the block is silent.
        for (double* channel : {out[0], out[1]})
            std::fill(channel, channel + n, 0.0);
        return;
    }
    model.doaudioevents();
    model.applyhostparams();
    model.process(in, n, out, inputchannels);
    model.endblock();
}

void pinstance::restorestate(const void* data, std::int64_t size)
{
    model.restorestate(data, size);
}
