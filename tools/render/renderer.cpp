#include "tools/render/renderer.h"

#include "dsp/nodenormals.h"
#include "plugin/pmenulists.h"
#include "plugin/pmididecode.h"

#include <algorithm>

namespace quillrender
{

enginerenderer::enginerenderer(double samplerate, unsigned blocksize)
{
    // The links and the order of the plug-in's own set-up.
    controller.model = &projdata;
    projdata.tools = &controller.tools;
    projdata.controller = &controller;
    pfillmenulists(controller.tools);
    projdata.pushglobalparams();
    projdata.initpbm(samplerate);
    reserveblock(blocksize);
}

void enginerenderer::restorestate(const std::string& text)
{
    projdata.restorestate(text.data(), static_cast<std::int64_t>(text.size()));
}

void enginerenderer::setmidi(std::vector<timedmidimessage> messages)
{
    midi = std::move(messages);
    std::stable_sort(midi.begin(), midi.end(),
                     [](const timedmidimessage& a, const timedmidimessage& b) { return a.sample < b.sample; });
    nextmidi = 0;
    while (nextmidi < midi.size() && midi[nextmidi].sample < rendered)
        ++nextmidi;
}

std::int64_t enginerenderer::latency() const
{
    return std::max<std::int64_t>(0, projdata.engines[0].fftsize - 1);
}

void enginerenderer::reserveblock(unsigned n)
{
    for (int c = 0; c < 2; ++c)
    {
        if (inputs[c].size() < n)
            inputs[c].resize(n);
        if (outputs[c].size() < n)
            outputs[c].resize(n);
    }
}

// This block's messages become the model's records, at their positions inside the block.
void enginerenderer::collectmidi(unsigned n)
{
    projdata.midirecords.clear();
    const std::int64_t end = rendered + static_cast<std::int64_t>(n);
    for (; nextmidi < midi.size() && midi[nextmidi].sample < end; ++nextmidi)
    {
        const timedmidimessage& m = midi[nextmidi];
        krvstmidievent record;
        const int offset = static_cast<int>(std::max<std::int64_t>(0, m.sample - rendered));
        if (pmididecode::decode(m.bytes, m.size, offset, record))
            projdata.midirecords.append(record);
    }
}

void enginerenderer::applyqueuedevents()
{
    projdata.doaudioevents();
    projdata.applyhostparams();
}

void enginerenderer::renderblock(const double* const* in, int channels, unsigned n, double* const* out)
{
    const nodenormals flushed;
    const int given = std::clamp(channels, 0, 2);
    reserveblock(n);
    for (int c = 0; c < 2; ++c)
    {
        if (c < given)
            std::copy(in[c], in[c] + n, inputs[c].begin());
        else
            std::fill(inputs[c].begin(), inputs[c].begin() + n, 0.0);
    }
    collectmidi(n);
    applyqueuedevents();

    double* inptr[2] = {inputs[0].data(), inputs[1].data()};
    double* outptr[2] = {outputs[0].data(), outputs[1].data()};
    projdata.process(inptr, n, outptr, static_cast<unsigned>(std::max(1, given)));

    for (int c = 0; c < given; ++c)
        std::copy(outputs[c].begin(), outputs[c].begin() + n, out[c]);
    rendered += n;
}
} // namespace quillrender
