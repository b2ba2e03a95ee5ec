// The engine side of the offline renderer: the model set up as the plug-in sets it up, fed
// block by block with audio and with MIDI messages at their sample positions, the way a
// host drives the plug-in. No framework code, so it runs in the engine-only test build.
#pragma once

#include "engine/pprojdata.h"
#include "plugin/pinstance.h"
#include "tools/render/timedmidi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillrender
{
inline constexpr unsigned defaultblocksize = 512;
inline constexpr unsigned maxblocksize = 1u << 20;
inline constexpr double minrate = 1000.0;
inline constexpr double maxrate = 768000.0;

class enginerenderer
{
public:
    // The model at samplerate with its default state: one voice, no patches.
    enginerenderer(double samplerate, unsigned blocksize = defaultblocksize);
    enginerenderer(const enginerenderer&) = delete;
    enginerenderer& operator=(const enginerenderer&) = delete;

    // Hands a state text over as a host restoring a saved state does; the model is rebuilt
    // from it at the start of the next block. Any text is accepted: the engine's reader
    // copes with malformed ones.
    void restorestate(const std::string& text);

    // The MIDI of the whole render, positions counted from its first sample, in time order.
    void setmidi(std::vector<timedmidimessage> messages);

    // One block: channels (1 or 2) input buffers of n samples in, as many output buffers out.
    // A block longer than any before grows the conversion buffers.
    void renderblock(const double* const* in, int channels, unsigned n, double* const* out);

    // Samples rendered so far.
    std::int64_t position() const { return rendered; }

    // How far the wet signal can trail the input: N - 1 samples for the engine's FFT size N at
    // this rate (the lag of hop-unaligned blocks; aligned blocks trail by less). A render that
    // goes on this long past the input hears the processing of its last samples in full.
    std::int64_t latency() const;

    pprojdata& model() { return instance.model; }

private:
    void reserveblock(unsigned n);
    void collectmidi(unsigned n);

    pinstance instance;
    std::vector<double> inputs[2], outputs[2];
    std::vector<timedmidimessage> midi;
    std::size_t nextmidi = 0;
    std::int64_t rendered = 0;
};
} // namespace quillrender
