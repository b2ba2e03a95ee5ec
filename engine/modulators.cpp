// The patch pass of one hop: delay patches in use are numbered to their buses, LFOs and
// envelope followers advance. Also the source shapes that the delay patches share.
#include "engine/modulators.h"
#include "engine/patchparams.h"
#include "engine/pprojdata.h"

#include <cmath>

namespace pmodsource
{
namespace
{
constexpr double generatorrange = 4294967296.0;       // 2^32
constexpr float noisescale = 4.6566128730773926e-10f; // 2^-31
constexpr double smootheroffsethz = 0.01;
constexpr double antidenormal = 1e-10;
} // namespace

double sineshape(double phase)
{
    const double x = phase - (std::floor(phase + 0.25) + 0.25);
    const double y = 16.0 * x * (std::fabs(x) - 0.5);
    return 0.225 * y * (std::fabs(y) - 1.0) + y;
}

double triangleshape(double phase)
{
    if (phase > 0.5)
        return 4.0 * (0.75 - phase);
    return 4.0 * (phase - 0.25);
}

psmoother designsmoother(double frequency, double samplerate)
{
    const double w = twopi * (frequency + smootheroffsethz) / samplerate;
    const double cosw = std::cos(w);
    const double sinw = std::sin(w);
    const double a0 = 1.0 + sinw;
    psmoother f;
    f.b0 = ((1.0 - cosw) / 2.0) / a0;
    f.b1 = (1.0 - cosw) / a0;
    f.b2 = ((1.0 - cosw) / 2.0) / a0;
    f.a1 = (-2.0 * cosw) / a0;
    f.a2 = (1.0 - sinw) / a0;
    return f;
}

float nextnoise(double& generator, std::uint32_t multiplier, std::uint32_t increment)
{
    // A phase left over from another shape is not a generator state: it counts as 0.
    std::uint32_t g = 0;
    if (generator >= 0.0 && generator < generatorrange)
        g = static_cast<std::uint32_t>(generator);
    g = g * multiplier + increment;
    generator = static_cast<double>(g);
    return static_cast<float>(g) * noisescale - 1.0f;
}

double randomstep(double& generator, double* state, const psmoother& filter, std::uint32_t multiplier,
                  std::uint32_t increment)
{
    const double r = nextnoise(generator, multiplier, increment);
    const double b0 = filter.b0, b1 = filter.b1, b2 = filter.b2;
    const double a1 = filter.a1, a2 = filter.a2;

    const double y =
        b0 * r + b1 * state[slotx1] + b2 * state[slotx2] - a1 * state[sloty1] - a2 * state[sloty2] + antidenormal;
    state[slotx2] = state[slotx1];
    state[slotx1] = r;
    state[sloty2] = state[sloty1];
    state[sloty1] = y;

    const double z = b0 * y + b1 * state[slotu1] + b2 * state[slotu2] - a1 * state[slotz1] - a2 * state[slotz2];
    state[slotu2] = state[slotu1];
    state[slotu1] = y;
    state[slotz2] = state[slotz1];
    state[slotz1] = z;
    return z;
}
} // namespace pmodsource

namespace
{
using namespace pmodsource;

// The random LFO's smoothing corner, before the hop decimates it: (1250 s + 21) Hz at
// 44100 Hz, scaled with the rate. The factor sits just below 1/44100 and is kept as is.
constexpr double randomcornerspan = 1250.0;
constexpr double randomcornerbase = 21.0;
constexpr double randomcornerscale = 2.267573e-05;
constexpr double randomlfogain = 10.0;

// Envelope follower: an 18 Hz level smoother, attack and release corners that shorten as
// "Speed" rises, a 15 ms window in which hold mode measures a burst.
constexpr double envsmoothhz = 18.0;
constexpr double envattackspanhz = 10.0;
constexpr double envattackbasehz = 0.5;
constexpr double envreleasespanhz = 150.0;
constexpr double envreleasebasehz = 5.0;
constexpr double envinputgain = 300.0;
constexpr double envholdseconds = 0.015;
constexpr double envoutputcentre = 0.5;

// The LFO steps once per hop. The random shape keeps its generator where the other shapes
// keep their phase, so its phase does not move: a phase step would wipe the generator.
void advancelfo(const ppatchmod& patch, ppatchchannel& state, const pbkpitchshift& engine)
{
    const double sr = engine.samplerate;
    const double amplitude = paramvalue(patch.params, ppatchamplitude1);
    const std::int32_t shape = paramint(patch.params, ppatchshape);

    if (shape != pshapesine && shape != pshapetriangle)
    {
        const double s = paramnorm(patch.params, ppatchspeed);
        const double corner = (randomcornerspan * s + randomcornerbase) * randomcornerscale * sr;
        const psmoother filter = designsmoother(corner, sr);
        const double z =
            randomstep(state.modphase, state.modstate, filter, engine.randmultiplier, engine.randincrement);
        state.modoutput = z * amplitude * randomlfogain;
        return;
    }

    double phase = state.modphase + (static_cast<double>(engine.hopsize) / sr) * paramvalue(patch.params, ppatchspeed);
    if (phase > 1.0)
        phase -= std::floor(phase);
    if (!std::isfinite(phase))
        phase = 0.0;
    state.modphase = phase;
    const double shaped = shape == pshapesine ? sineshape(phase) : triangleshape(phase);
    state.modoutput = shaped * amplitude;
}

// Once per patch and channel, and again after each sample-rate set-up. The smoothing
// coefficient and the hold length follow from the rate alone and are recomputed each hop.
void startenvelope(ppatchchannel& state)
{
    double* st = state.modstate;
    st[slotenvholdcount] = 0.0;
    st[slotenvholdsum] = 0.0;
    state.modstarted = 1;
}

// Follows the level of the hop's H newest input samples. The hold state belongs to the
// patch and channel, so two followers on one channel measure their bursts apart.
void advanceenvelope(const ppatchmod& patch, ppatchchannel& state, const pbkpitchshift& engine)
{
    const double sr = engine.samplerate;
    if (state.modstarted == 0)
        startenvelope(state);

    const double d = 1.0 - paramnorm(patch.params, ppatchspeed);
    const double ka = std::exp(-twopi * (envattackspanhz * d * d + envattackbasehz) / sr);
    const double kr = std::exp(-twopi * (envreleasespanhz * d * d + envreleasebasehz) / sr);
    const double amplitude2 = paramvalue(patch.params, ppatchamplitude2);
    const double g = envinputgain * amplitude2 * amplitude2;
    const bool hold = paramint(patch.params, ppatchadjustmode) == padjusthold;
    const double upper = engine.envupper;
    const double lower = engine.envlower;

    double* st = state.modstate;
    const double c = std::exp(-twopi * envsmoothhz / sr);
    const double holdlength = std::floor(envholdseconds * sr);
    double level = st[slotenvlevel];
    double envelope = st[slotenvvalue];
    bool gateopen = st[slotenvgate] != 0.0;
    double holdcount = st[slotenvholdcount];
    double holdsum = st[slotenvholdsum];
    double held = st[slotenvheld];

    const std::int64_t first = engine.framesize - engine.hopsize;
    for (std::int64_t i = first; i < engine.framesize; ++i)
    {
        double rectified = std::fabs(g * engine.inputframe[static_cast<std::uint64_t>(i)]);
        if (!std::isfinite(rectified))
            rectified = 0.0; // a sample that is no number, or overflows, is silence here
        level = c * level + (1.0 - c) * rectified;

        double target = 0.0;
        double k = gateopen ? ka : kr;
        if (level > upper)
        {
            gateopen = true;
            k = ka;
            target = 1.0;
            if (hold)
            {
                // Only the first holdlength samples of a burst count; the count stops there.
                if (holdcount < holdlength)
                {
                    holdcount += 1.0;
                    holdsum += level - upper;
                    held = 2.0 * holdsum / holdcount;
                }
                target = held <= 1.0 ? held : 1.0;
            }
        }
        else if (level < lower)
        {
            gateopen = false;
            holdcount = 0.0;
            holdsum = 0.0;
            k = kr;
        }
        envelope = target * (1.0 - k) + envelope * k;
    }

    st[slotenvlevel] = level;
    st[slotenvvalue] = envelope;
    st[slotenvgate] = gateopen ? 1.0 : 0.0;
    st[slotenvholdcount] = holdcount;
    st[slotenvholdsum] = holdsum;
    st[slotenvheld] = held;
    state.modoutput = (paramvalue(patch.params, ppatchamplitude1) - envoutputcentre) * envelope;
}
} // namespace

void pprojdata::patchpass()
{
    const std::uint64_t channel = currentchannel < 2 ? currentchannel : 0;
    const pbkpitchshift& engine = engines[channel];
    if (engine.hopsize <= 0 || engine.framesize < engine.hopsize || !(engine.samplerate >= 1.0))
        return; // not set up for a rate yet

    std::uint64_t nextbus = 0;
    for (std::uint64_t i = 0; i < patches.count; ++i)
    {
        ppatchmod* patch = patches[i];
        if (patch == nullptr || patch->refcount == 0)
            continue;
        if (patch->kind == pkinddelay)
        {
            // Beyond the cap a delay patch gets no bus: its voices play undelayed on bus 0
            // and no line is made for it.
            const std::uint64_t bus = nextbus < pprojdata::maxdelaylines ? ++nextbus : 0;
            patch->channels[0].busindex = bus;
            patch->channels[1].busindex = bus;
        }
        else if (patch->kind == pkindmodulator && patch->params.count >= pmodulatorparamcount)
        {
            ppatchchannel& state = patch->channels[channel];
            const std::int32_t source = paramint(patch->params, ppatchsource);
            if (source == psourcelfo)
                advancelfo(*patch, state, engine);
            else if (source == psourceenvelope)
                advanceenvelope(*patch, state, engine);
        }
    }
}
