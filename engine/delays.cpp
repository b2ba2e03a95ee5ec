// The delay pass of one hop: every delay patch in use runs a modulated feedback delay over
// the hop's H new samples of its bus, in place.
#include "engine/modulators.h"
#include "engine/patchparams.h"
#include "engine/pprojdata.h"

#include <cmath>

namespace
{
using namespace pmodsource;

// "Amplitude 1" 1 sweeps the read position over 2 % of a second.
constexpr double depthpersecond = 0.01;
// Random modulation: smoothing corner 5 s + 0.05 Hz, noise scaled up and clipped to +-1.
constexpr double randomcornerspan = 5.0;
constexpr double randomcornerbase = 0.05;
constexpr double randomdrive = 60.0;

// The line is made on the patch's first hop on a channel (again after a sample-rate set-up);
// a line of the same length is cleared in place rather than made anew.
void startline(ppatchchannel& state, double sr)
{
    const auto length = static_cast<std::uint64_t>(pdelaylineseconds * sr);
    state.resetbuffer(length);
    state.delaywritepos = 0;
    state.modphase = 0.0; // the random generator restarts
    state.modstarted = 1;
}

// The modulation at one sample, -1..1.
double modulation(std::int32_t shape, ppatchchannel& state, const psmoother& filter, const pbkpitchshift& engine)
{
    const double p = state.delayphase;
    if (shape == pshapesine)
        return sineshape(p);
    if (shape == pshapetriangle)
        return triangleshape(p);
    const double l =
        randomdrive * randomstep(state.modphase, state.modstate, filter, engine.randmultiplier, engine.randincrement);
    return l < -1.0 ? -1.0 : (l > 1.0 ? 1.0 : l);
}

void rundelay(const ppatchmod& patch, ppatchchannel& state, pbkbuffer<double>& bus, const pbkpitchshift& engine)
{
    const double sr = engine.samplerate;
    if (state.modstarted == 0 || !state.buffer)
        startline(state, sr);
    const std::uint64_t length = state.bufferlength;
    if (length < 2)
        return;
    double* line = state.buffer.get();

    const double delay = paramvalue(patch.params, ppatchdelay) * sr;
    const double depth = sr * paramvalue(patch.params, ppatchamplitude1) * depthpersecond;
    const double feedback = paramvalue(patch.params, ppatchfeedback);
    const double mix = paramvalue(patch.params, ppatchdelaymix);
    const double phasestep = paramvalue(patch.params, ppatchspeed) / sr;
    const std::int32_t shape = paramint(patch.params, ppatchshape);
    psmoother filter;
    if (shape != pshapesine && shape != pshapetriangle)
        filter = designsmoother(randomcornerspan * paramnorm(patch.params, ppatchspeed) + randomcornerbase, sr);

    // The read position never leaves the line, whatever the parameters hold.
    const double lastposition = static_cast<double>(length - 1);
    std::uint64_t writepos = state.delaywritepos < length ? state.delaywritepos : 0;
    double phase = std::isfinite(state.delayphase) && state.delayphase >= 0.0 ? state.delayphase : 0.0;

    for (std::int64_t i = 0; i < engine.hopsize; ++i)
    {
        const double x = bus[static_cast<std::uint64_t>(i)];

        phase += phasestep;
        while (phase >= 1.0)
            phase -= 1.0;
        state.delayphase = phase;
        const double l = modulation(shape, state, filter, engine);

        double pos = (l + 1.0) * depth + delay;
        if (!(pos >= 0.0))
            pos = 0.0;
        if (pos > lastposition)
            pos = lastposition;
        const auto k = static_cast<std::uint64_t>(pos);
        const double fr = pos - static_cast<double>(k);

        const std::uint64_t r = writepos >= k ? writepos - k : writepos + length - k;
        const std::uint64_t older = r == 0 ? length - 1 : r - 1;
        const double dv = (1.0 - fr) * line[r] + fr * line[older];

        writepos = writepos + 1 == length ? 0 : writepos + 1;
        line[writepos] = feedback * dv + x;
        bus[static_cast<std::uint64_t>(i)] = x * (1.0 - mix) + dv * mix;
    }
    state.delaywritepos = writepos;
}
} // namespace

void pprojdata::delaypass()
{
    const std::uint64_t channel = currentchannel < 2 ? currentchannel : 0;
    pbkpitchshift& engine = engines[channel];
    if (engine.hopsize <= 0 || !(engine.samplerate >= 1.0))
        return;

    for (std::uint64_t i = 0; i < patches.count; ++i)
    {
        ppatchmod* patch = patches[i];
        if (patch == nullptr || patch->refcount == 0 || patch->kind != pkinddelay
            || patch->params.count < pdelayparamcount)
            continue;
        ppatchchannel& state = patch->channels[channel];
        // A bus that does not exist this hop (no voice made it yet) is left alone, and a patch
        // without a bus of its own (beyond the cap of delay lines) has no line.
        if (state.busindex == 0 || state.busindex >= engine.busoutputs.count)
            continue;
        pbkbuffer<double>& bus = *engine.busoutputs[state.busindex];
        if (bus.count < static_cast<std::uint64_t>(engine.hopsize))
            continue;
        rundelay(*patch, state, bus, engine);
    }
}
