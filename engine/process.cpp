// The audio path of one block: input collected hop by hop into each channel's engine, the
// work of each hop in its order (MIDI, patches, voices, frame, delays), and the mix of the
// wet buses with the delayed dry input under the global volumes.
#include "engine/frame.h"
#include "engine/pdisplaydata.h"
#include "engine/pprojdata.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr unsigned maxchannels = 2;

// The input as the engine hears it: a sample that is not finite is silence. The frame cleans
// its own newest hop as well (guardnewhop), since it can be run without this driver; this
// one is still needed because the dry ring takes the raw input and would carry a NaN or an
// infinity to the output.
inline double finiteinput(double x)
{
    return std::isfinite(x) ? x : 0.0;
}

// The ring's oldest sample out, x in as the newest: a delay of the ring's length - 1.
inline double dryexchange(pbkdryring& ring, double x)
{
    std::uint64_t pos = ring.drywritepos + 1;
    if (pos >= ring.dryringlength)
        pos = 0;
    ring.drywritepos = pos;
    ring.drydata[pos] = x;
    const std::uint64_t oldest = pos + 1 >= ring.dryringlength ? 0 : pos + 1;
    return ring.drydata[oldest];
}

// The wet signal at entry j of the hop: every bus summed.
inline double wetsample(const pbkpitchshift& engine, std::int64_t j)
{
    double w = 0.0;
    for (std::uint64_t b = 0; b < engine.busoutputs.count; ++b)
        w += (*engine.busoutputs[b])[static_cast<std::uint64_t>(j)];
    return w;
}

// The editor's modulation history plays at a steady speed: one step per sample of each
// processed channel, wrapping after its 264 slots.
inline double advancehistory(double position, double step)
{
    position += step;
    if (static_cast<std::int64_t>(position) >= static_cast<std::int64_t>(phistoryslots))
        position -= static_cast<double>(phistoryslots);
    return position;
}

struct mixlevels
{
    double wet = 0.0;
    double dry = 0.0;
};

mixlevels readmixlevels(const pprojdata& model)
{
    return {model.params[pglobalwet]->value.load(), model.params[pglobaldry]->value.load()};
}
} // namespace

// ---- per block ------------------------------------------------------------------------

// Aligned: the block length is a whole number of hops that fits in N - H. Such a block has
// its hops' output written back over the samples the hop collected, which needs H fewer
// samples of dry delay.
void pprojdata::setblockclass(unsigned n)
{
    const pbkpitchshift& engine = engines[0];
    const auto length = static_cast<std::int64_t>(n);
    const bool aligned = n > 0 && length % engine.hopsize == 0 && length <= engine.refillpos;
    alignedblock = aligned ? n : 0;
    drylength = static_cast<std::uint64_t>(aligned ? engine.shortdrylength : engine.refillpos);
}

// A new block class or FFT size rebuilds both rings, zeroed, and restarts the hop schedule.
// Their storage holds N - H doubles per engine, enough for both classes, and is replaced
// only when N grows: a host that alternates block classes never makes the audio thread
// allocate.
void pprojdata::preparedryrings()
{
    const std::uint64_t capacity = engines[0].drydata != nullptr ? engines[0].drycapacity : 0;
    if (drylength == capacity)
        return;
    const auto needed = static_cast<std::uint64_t>(std::max(engines[0].refillpos, engines[1].refillpos));
    if (drystoragesize < needed || drystoragesize < drylength)
    {
        // Both engines are pointed at the new storage below, before anything reads them.
        const std::uint64_t size = std::max(needed, drylength);
        for (std::unique_ptr<double[]>& storage : drystorage)
            storage.reset(new double[size]);
        drystoragesize = size;
    }
    for (unsigned c = 0; c < maxchannels; ++c)
    {
        pbkpitchshift& engine = engines[c];
        engine.releasedry(); // frees only a ring the engine itself made
        std::fill(drystorage[c].get(), drystorage[c].get() + drylength, 0.0);
        engine.drydata = drystorage[c].get();
        engine.dryowned = 0;
        engine.dryringlength = engine.drycapacity = drylength;
        if (engine.drywritepos >= drylength)
            engine.drywritepos = drylength - 1;
        restartschedule(engine);
    }
}

// The hop schedule restarts at N - H. Input collected since the last hop is kept: the frame
// moves back over it, so the next frame holds the input without a seam, and that one frame
// measures its phase advance over the longer interval (framegap). Dropping the samples would
// splice the input; the phase vocoder would carry the splice into the relative phases of a
// shifted voice's bins and change a held tone's level and timbre until the next silence.
void pprojdata::restartschedule(pbkpitchshift& engine)
{
    const std::int64_t pending = engine.framefill - engine.refillpos;
    if (pending > 0 && pending < engine.hopsize && engine.refillpos > 0)
    {
        double* frame = engine.inputframe.data;
        std::memmove(frame, frame + pending, sizeof(double) * static_cast<std::uint64_t>(engine.refillpos));
        engine.framegap += pending;
    }
    engine.framefill = engine.refillpos;
}

// Two channels when "Mono Stereo" asks for them and the caller has two; a single input
// channel is processed alone, whatever the choice.
unsigned pprojdata::processedchannels(unsigned inputchannels) const
{
    const unsigned wanted = params[pglobalmonostereo]->intvalue.load() > 0 ? 2u : 1u;
    return std::min(wanted, std::max(1u, inputchannels));
}

// A channel that sat out the previous block still holds what it heard when it last ran, and
// a ring survives the engine's set-up for a new rate when its length stays: neither may be
// played now. Clearing in place allocates nothing.
void pprojdata::restartchannels(unsigned channels)
{
    for (unsigned c = 0; c < channels; ++c)
    {
        pbkpitchshift& engine = engines[c];
        const bool starting = c >= lastchannels;
        if (!starting && !engineset)
            continue;
        if (engine.drydata != nullptr)
            std::fill(engine.drydata, engine.drydata + engine.drycapacity, 0.0);
        if (!starting)
            continue; // the set-up cleared the rest
        engine.inputframe.zero();
        engine.history.zero();
        engine.onsetmarks.zero();
        for (std::uint64_t b = 0; b < engine.busoutputs.count; ++b)
            engine.busoutputs[b]->zero();
        for (std::uint64_t b = 0; b < engine.busspectra.count; ++b)
            engine.busspectra[b]->zero();
    }
    engineset = false;
    lastchannels = channels;
}

void pprojdata::process(double** in, unsigned n, double** out, unsigned inputchannels)
{
    // A model that has never been set up has no frame to fill: it plays silence.
    if (engines[0].framesize <= 0 || engines[1].framesize <= 0 || params.count < pglobalparamcount)
    {
        std::fill(out[0], out[0] + n, 0.0);
        std::fill(out[1], out[1] + n, 0.0);
        return;
    }

    // An empty block (a host's parameter flush) keeps the block class: a rebuild would empty the dry rings.
    if (n == 0)
    {
        applyremainingmidi(0);
        return;
    }

    setblockclass(n);
    preparedryrings();
    hostchannels = inputchannels;
    const unsigned channels = processedchannels(inputchannels);
    restartchannels(channels);
    if (inputchannels == 0)
        std::fill(in[0], in[0] + n, 0.0); // no input at all is silence, not stale memory

    std::uint64_t record = 0; // shared by both channel passes
    for (unsigned c = 0; c < channels; ++c)
        processchannel(c, in[c], n, record);
    applyremainingmidi(record);
    writeoutput(in, n, out, channels);
}

// ---- one channel ----------------------------------------------------------------------

void pprojdata::processchannel(unsigned channel, double* io, unsigned n, std::uint64_t& record)
{
    currentchannel = channel;
    pbkpitchshift& engine = engines[channel];
    engine.wantpitch = 0;
    engine.detectiongate = params[pglobalgate]->value.load();

    const std::int64_t restart = engine.refillpos;
    mixlevels levels = readmixlevels(*this);
    double historypos = display != nullptr ? display->historyposition.load() : 0.0;
    const double historystep = display != nullptr ? display->historystep.load() : 0.0;

    for (unsigned s = 0; s < n; ++s)
    {
        if (display != nullptr)
        {
            historypos = advancehistory(historypos, historystep);
            display->historyposition.store(historypos);
        }

        const double x = finiteinput(io[s]);
        io[s] = x;
        engine.inputframe[static_cast<std::uint64_t>(engine.framefill)] = x;
        ++engine.framefill;

        if (engine.framefill >= engine.framesize)
        {
            runhop(engine, s, record);
            levels = readmixlevels(*this);
            if (alignedblock != 0)
                mixhop(engine, io, s, levels.wet, levels.dry);
        }
        if (alignedblock == 0)
        {
            const double w = wetsample(engine, engine.framefill - restart);
            io[s] = w * levels.wet + dryexchange(engine, x) * levels.dry;
        }
    }
}

// One hop of the current channel, in the order the parts depend on each other: controller
// values first, then the patches that move voices, the voices' values for this hop, the
// frame that synthesises them into the buses, and the delays that run on those buses.
void pprojdata::runhop(pbkpitchshift& engine, unsigned sample, std::uint64_t& record)
{
    applyduemidi(sample, record);
    patchpass();
    voicecontrolpass();
    processframe(engine);
    delaypass();
}

// Every record whose position the schedule has reached: a record is heard at the first hop
// at or after its sample.
void pprojdata::applyduemidi(unsigned sample, std::uint64_t& record)
{
    while (record < midirecords.count && static_cast<std::int64_t>(sample) >= midirecords[record].sampleoffset)
    {
        processmidievent(&midirecords[record]);
        ++record;
    }
}

// Aligned blocks: the hop's H bus samples replace the H samples that ended at this one.
void pprojdata::mixhop(pbkpitchshift& engine, double* io, unsigned sample, double wet, double dry)
{
    const std::int64_t hop = engine.hopsize;
    const std::int64_t first = static_cast<std::int64_t>(sample) - hop + 1;
    for (std::int64_t j = std::max<std::int64_t>(0, -first); j < hop; ++j)
    {
        double& t = io[first + j];
        t = wetsample(engine, j) * wet + dryexchange(engine, t) * dry;
    }
}

// Records after the block's last hop still reach their modulators, once both channels ran.
void pprojdata::applyremainingmidi(std::uint64_t record)
{
    for (; record < midirecords.count; ++record)
        processmidievent(&midirecords[record]);
}

void pprojdata::writeoutput(double** in, unsigned n, double** out, unsigned channels) const
{
    const double g = params[pglobalvolume]->value.load();
    const double* left = in[0];
    const double* right = channels == 2 ? in[1] : in[0];
    for (unsigned i = 0; i < n; ++i)
    {
        out[0][i] = left[i] * g;
        out[1][i] = right[i] * g;
    }
}
