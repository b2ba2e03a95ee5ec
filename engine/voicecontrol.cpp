// The voice-control pass of one hop: each voice's parameters plus the outputs of its patches
// become the values the synthesis uses for this hop, in the current engine's voice records.
#include "engine/patchparams.h"
#include "engine/pprojdata.h"

#include <algorithm>
#include <cmath>

namespace
{
// "Mode" 2 doubles the pitch range to two octaves each way.
constexpr std::int32_t modewide = 2;
// An LFO moves "Pitch" by a tenth of its output: +-2.4 semitones at full amplitude.
constexpr double lfopitchscale = 0.1;
// MIDI keys on "Pitch": a full keyboard sweep spans the voice's range, scaled by the
// adjustment mode and the voice's mode.
constexpr double keyswidescale = 0.5;
constexpr double keysnarrowscale = 2.0;
// Harmony glide: "Smooth" 1 moves the ratio by 0.001 x 20 per second.
constexpr double glideminimum = 0.001;
constexpr double glidepersecond = 20.0;
constexpr double detunespan = 2.0; // "Detune" 0..1 is -1..+1 semitone
constexpr double detunecentre = 0.5;
// Pan law: linear, 1 on both sides at the centre, up to 2 on one side.
constexpr double pancentre = 1.0;
constexpr double panmax = 2.0;
// Formant shift: 2^(2 - 4t), from 4 down to 1/4.
constexpr double formantexponentspan = 4.0;
constexpr double formantexponenttop = 2.0;

// A patch's derived curve (EQ gains, harmony ratios) as the synthesis reads it.
const double* curveview(const ppatchchannel& state)
{
    return state.buffer.get();
}

// What a voice's assignments add up to for one hop.
struct voicemodulation
{
    double sums[pvoiceparamcount] = {};
    std::uint64_t bus = 0;
    const double* eqgains = nullptr;
    const double* harmonytable = nullptr;
    double glidestep = 0.0;
    double keyoffset = 0.0;
    bool wantpitch = false;
};

// How much of a modulator's output reaches the voice parameter it targets.
double modulatorcontribution(const ppatchmod& patch, double m, std::int64_t target, std::int32_t voicemode)
{
    if (target != pvoicepitch)
        return m;
    const std::int32_t source = paramint(patch.params, ppatchsource);
    if (source == psourcelfo)
        return m * lfopitchscale;
    if (source == psourcecontroller && paramint(patch.params, ppatchmidicc) == pmidicckeys)
    {
        const bool hold = paramint(patch.params, ppatchadjustmode) == padjusthold;
        if (voicemode == modewide)
            return hold ? m * keyswidescale : m;
        return hold ? m : m * keysnarrowscale;
    }
    return m;
}
} // namespace

void pprojdata::voicecontrolpass()
{
    const std::uint64_t channel = currentchannel < 2 ? currentchannel : 0;
    pbkpitchshift& engine = engines[channel];
    if (engine.hopsize <= 0 || !(engine.samplerate >= 1.0) || params.count < pglobalparamcount)
        return;

    // The pan law follows the channels actually processed: a mono host gets the centre law
    // whatever "Mono Stereo" says, so a hard-panned voice is not lost.
    const bool stereo = processedchannels(hostchannels) == 2;
    const double hop = static_cast<double>(engine.hopsize);
    const std::uint64_t count = std::min(voices.count, engine.voicestates.count);

    for (std::uint64_t v = 0; v < count; ++v)
    {
        const pparvoice* voice = voices[v];
        pbkvoicestate& record = *engine.voicestates[v];
        if (voice == nullptr || voice->params.count < pvoiceparamcount)
            continue;
        const ocarray::ArrayPtr<pparam>& vp = voice->params;
        const std::int32_t mode = paramint(vp, pvoicemode);

        // Gather the assignments; for delay, EQ and harmony the later record decides.
        voicemodulation mod;
        for (std::uint64_t a = 0; a < voice->assignments.count; ++a)
        {
            const ppatchassign* assign = voice->assignments[a];
            const ppatchmod* patch = patchofkind(assign->patch, assign->kind);
            if (patch == nullptr)
                continue;
            switch (assign->kind)
            {
            case pkindmodulator:
                if (patch->params.count >= pmodulatorparamcount && assign->target >= 0
                    && assign->target < static_cast<std::int64_t>(pvoiceparamcount))
                {
                    const double m = patch->channels[channel].modoutput.load();
                    mod.sums[assign->target] += modulatorcontribution(*patch, m, assign->target, mode);
                }
                break;
            case pkinddelay: mod.bus = patch->channels[channel].busindex; break;
            case pkindeq:
                // One curve per patch, in channel 0's buffer, sized for the current FFT.
                if (patch->channels[0].bufferlength >= static_cast<std::uint64_t>(engine.halfsize))
                    mod.eqgains = curveview(patch->channels[0]);
                break;
            case pkindharmony:
                if (patch->params.count < pharmonyparamcount)
                    break;
                mod.harmonytable =
                    patch->channels[0].bufferlength >= pharmonysteps ? curveview(patch->channels[0]) : nullptr;
                mod.wantpitch = true;
                {
                    const double smooth = paramvalue(patch->params, ppatchamplitude1);
                    mod.glidestep = smooth != 0.0
                                        ? ((1.0 - smooth) + glideminimum) * hop * glidepersecond / engine.samplerate
                                        : 0.0;
                    mod.keyoffset = detunespan * (paramvalue(patch->params, ppatchamplitude2) - detunecentre)
                                    + paramint(patch->params, ppatchshape);
                }
                break;
            default: break;
            }
        }
        if (mod.wantpitch)
            engine.wantpitch = 1;

        const double p = clampto(paramvalue(vp, pvoicepitch) + mod.sums[pvoicepitch], 0.0, 1.0);
        const double range = mode == modewide ? 2.0 : 1.0;
        record.ratio = std::pow(2.0, (2.0 * p - 1.0) * range);

        const double q = stereo ? clampto(paramvalue(vp, pvoicepan) + mod.sums[pvoicepan], 0.0, panmax) : pancentre;
        const double side = channel == 0 ? panmax - q : q;
        const double gain = side * (paramvalue(vp, pvoicevolume) + mod.sums[pvoicevolume]);
        record.gain = gain > 0.0 ? gain : 0.0; // also drops a gain that is no number

        record.formantamount = clampto(paramvalue(vp, pvoiceformantscale) + mod.sums[pvoiceformantscale], 0.0, 1.0);
        const double t = clampto(paramvalue(vp, pvoiceformantshift) + mod.sums[pvoiceformantshift], 0.0, 1.0);
        record.formantfactor = std::pow(2.0, formantexponenttop - formantexponentspan * t);

        record.mode2 = paramint(vp, pvoicemode2);
        record.bus = mod.bus;
        record.eqgains = mod.eqgains;
        record.harmonytable = mod.harmonytable;
        record.glidestep = mod.glidestep;
        record.keyoffset = mod.keyoffset;
    }
}
