#include "tools/render/renderer.h"

#include "dsp/nodenormals.h"

#include <algorithm>

namespace quillrender
{

enginerenderer::enginerenderer(double samplerate, unsigned blocksize) : instance(samplerate)
{
    reserveblock(blocksize);
}

void enginerenderer::restorestate(const std::string& text)
{
    instance.restorestate(text.data(), static_cast<std::int64_t>(text.size()));
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
    return std::max<std::int64_t>(0, instance.model.engines[0].fftsize - 1);
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
    instance.clearmidi();
    const std::int64_t end = rendered + static_cast<std::int64_t>(n);
    for (; nextmidi < midi.size() && midi[nextmidi].sample < end; ++nextmidi)
    {
        const timedmidimessage& m = midi[nextmidi];
        const int offset = static_cast<int>(std::max<std::int64_t>(0, m.sample - rendered));
        instance.addmidi(m.bytes, m.size, offset);
    }
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

    double* inptr[2] = {inputs[0].data(), inputs[1].data()};
    double* outptr[2] = {outputs[0].data(), outputs[1].data()};
    instance.processblock(inptr, n, outptr, static_cast<unsigned>(std::max(1, given)));

    for (int c = 0; c < given; ++c)
        std::copy(outputs[c].begin(), outputs[c].begin() + n, out[c]);
    rendered += n;
}
} // namespace quillrender
