// A model with one voice at a sample rate, and the per-hop control passes the control tests share.
#pragma once

#include "engine/patchparams.h"
#include "engine/pprojdata.h"
#include "plugin/pinstance.h"

#include <cstdint>

struct controlmodel
{
    pinstance instance;
    pprojdata& model = instance.model;

    explicit controlmodel(double samplerate = 44100.0) : instance(samplerate) {}
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
    pbkpitchshift& engine(std::uint64_t channel = 0) { return model.engines[channel]; }
    pbkvoicestate& record(std::uint64_t v, std::uint64_t channel = 0) { return *model.engines[channel].voicestates[v]; }
    double output(std::uint64_t p, std::uint64_t channel = 0)
    {
        return model.patches[p]->channels[channel].modoutput.load();
    }
    double* modstate(std::uint64_t p) { return model.patches[p]->channels[0].modstate; }
    std::uint64_t addmodulator(std::int32_t source, std::int32_t shape, double speed, double amplitude1 = 1.0,
                               std::int64_t target = 0)
    {
        const std::uint64_t p = addpatch(pkindmodulator, 0, target);
        param(p, ppatchsource).setvalue(source);
        param(p, ppatchshape).setvalue(shape);
        param(p, ppatchspeed).setvalue(speed);
        param(p, ppatchamplitude1).setvalue(amplitude1);
        return p;
    }
    void patchpass(std::uint64_t channel = 0)
    {
        model.currentchannel = channel;
        model.patchpass();
    }
    void controlhop(std::uint64_t channel = 0)
    {
        patchpass(channel);
        model.voicecontrolpass();
    }
    void setnewesthop(double value)
    {
        for (std::int64_t i = engine().framesize - engine().hopsize; i < engine().framesize; ++i)
            engine().inputframe[static_cast<std::uint64_t>(i)] = value;
    }
};
