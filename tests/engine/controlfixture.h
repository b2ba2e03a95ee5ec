// A model set up at a sample rate with one voice, and shortcuts for the per-hop control
// passes that the modulator, voice-control, delay and MIDI tests share.
#pragma once

#include "engine/pprojdata.h"

#include <cstdint>

struct controlmodel
{
    pprojdata model;

    explicit controlmodel(double samplerate = 44100.0)
    {
        model.pushglobalparams();
        model.initpbm(samplerate);
    }

    // A new patch of kind, assigned to voice (refcount 1) unless assign is false.
    std::uint64_t addpatch(std::int32_t kind, std::uint64_t voice = 0, std::int64_t target = 0, bool assign = true)
    {
        const std::uint64_t p = model.newpatch(false, kind);
        if (assign)
            model.assignpatch(kind, voice, p, target);
        return p;
    }

    ppatchmod& patch(std::uint64_t p) { return *model.patches[p]; }
    pparam& param(std::uint64_t p, std::uint64_t index) { return *model.patches[p]->params[index]; }
    pparam& voiceparam(std::uint64_t v, std::uint64_t index) { return *model.voices[v]->params[index]; }
    pparam& global(std::uint64_t index) { return *model.params[index]; }
    pbkpitchshift& engine(std::uint64_t channel = 0) { return model.engines[channel]; }
    pbkvoicestate& record(std::uint64_t v, std::uint64_t channel = 0) { return *model.engines[channel].voicestates[v]; }
    double output(std::uint64_t p, std::uint64_t channel = 0) { return model.patches[p]->channels[channel].modoutput.load(); }

    // A modulator with the given source, shape and "Speed" value.
    std::uint64_t addmodulator(std::int32_t source, std::int32_t shape, double speed, std::uint64_t voice = 0,
                               std::int64_t target = 0)
    {
        const std::uint64_t p = addpatch(pkindmodulator, voice, target);
        param(p, ppatchsource).setvalue(source);
        param(p, ppatchshape).setvalue(shape);
        param(p, ppatchspeed).setvalue(speed);
        return p;
    }

    void patchpass(std::uint64_t channel = 0)
    {
        model.currentchannel = channel;
        model.patchpass();
    }

    void controlhop(std::uint64_t channel = 0)
    {
        model.currentchannel = channel;
        model.patchpass();
        model.voicecontrolpass();
    }

    // The engine's H newest input samples, as the patch pass sees them before the frame.
    void setnewesthop(double value, std::uint64_t channel = 0)
    {
        pbkpitchshift& e = engine(channel);
        for (std::int64_t i = e.framesize - e.hopsize; i < e.framesize; ++i)
            e.inputframe[static_cast<std::uint64_t>(i)] = value;
    }
};
