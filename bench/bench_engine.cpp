// What the engine costs a host's audio thread, against the reference a user would otherwise
// reach for and against the bare transforms a phase vocoder cannot avoid. Four families, one
// run, the same input and the same 512-sample blocks:
//
//   BM_Engine/<rate>/<voices>      pprojdata::process on stereo input: voices at different
//                                  intervals with formants preserved and shifted, one delay
//                                  patch, one LFO.
//   BM_EngineHarmony/44100/4       the same with a harmony patch on voice 0, which adds pitch
//                                  detection: what snapping to a key costs on top.
//   BM_RubberBand/<rate>/<voices>  one stereo Rubber Band R2 stretcher per voice, real-time
//                                  mode, formants preserved, constant pitch.
//   BM_FftFloor/<rate>/<channels>  one forward and one inverse rdft of the engine's frame size
//                                  per hop per channel: the floor of one phase-vocoder voice.
//   BM_FftwFloor/<rate>/<channels> the same transforms through FFTW (FFTW_MEASURE plans): the
//                                  floor the hardware allows, which bench/compare measures against.
//
// Each reports the counter cpu_s_per_audio_s: CPU seconds spent per second of audio, which
// reads the same whatever the number of iterations. bench/compare turns the JSON output into
// the table of bench/README.md.
#include "dsp/nodenormals.h"
#include "dsp/rdft.h"
#include "engine/patchparams.h"
#include "engine/pprojdata.h"
#include "foundation/comath.h"
#include "plugin/pinstance.h"

#include <benchmark/benchmark.h>
#if QUILL_HAVE_RUBBERBAND
#include <rubberband/RubberBandStretcher.h>
#endif
#if QUILL_HAVE_FFTW
#include <fftw3.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace
{
constexpr unsigned blocksize = 512;
constexpr int stereo = 2;
constexpr double inputseconds = 4.0;  // the test signal, replayed in a loop
constexpr double warmupseconds = 1.0; // first hops allocate delay lines and buses
using comath::pi;

// ---- the input: a 220 Hz harmonic tone plus noise ---------------------------------------

constexpr double tonehz = 220.0;
constexpr int toneharmonics = 12;
constexpr double tonelevel = 0.25;  // of the fundamental; harmonic h has tonelevel / h
constexpr double noiselevel = 0.02; // peak of the uniform noise

// A fixed generator, so that every run hears the same noise.
class noisesource
{
public:
    explicit noisesource(std::uint32_t seed) : state(seed) {}
    double next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state;
};

struct testsignal
{
    std::vector<double> channels[stereo];
    std::vector<float> floats[stereo]; // the same samples for Rubber Band
    std::uint64_t length = 0;          // a whole number of blocks
};

testsignal maketestsignal(double rate)
{
    testsignal s;
    const auto blocks = static_cast<std::uint64_t>(std::ceil(inputseconds * rate / blocksize));
    s.length = blocks * blocksize;
    for (int c = 0; c < stereo; ++c)
    {
        noisesource noise(12345u + 777u * static_cast<std::uint32_t>(c));
        // The right channel's tone lags a little, as a real stereo source would.
        const double lag = 0.3 * c;
        std::vector<double>& x = s.channels[c];
        x.resize(s.length);
        for (std::uint64_t i = 0; i < s.length; ++i)
        {
            const double t = static_cast<double>(i) / rate;
            double v = 0.0;
            for (int h = 1; h <= toneharmonics; ++h)
                v += tonelevel / h * std::sin(2.0 * pi * tonehz * h * t + lag * h);
            x[i] = v + noiselevel * noise.next();
        }
        s.floats[c].assign(x.begin(), x.end());
    }
    return s;
}

// ---- shared pieces ----------------------------------------------------------------------

// Intervals of the voices in semitones, voice 0 first: every voice a different one.
constexpr double voiceintervals[] = {4.0, 7.0, -5.0, 12.0, -12.0, 3.0, 9.0, -8.0};
constexpr int maxvoices = static_cast<int>(sizeof(voiceintervals) / sizeof(voiceintervals[0]));

// A benchmark of a path that has gone quiet would measure the wrong thing: the last block of
// the warm-up must carry sound on both channels.
constexpr double audiblerms = 1e-3;

template <typename T>
bool audible(const std::vector<T>& x, std::size_t n)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        sum += static_cast<double>(x[i]) * static_cast<double>(x[i]);
    return std::isfinite(sum) && std::sqrt(sum / static_cast<double>(n)) > audiblerms;
}

// CPU seconds per second of audio: the audio seconds processed, as a rate over CPU time,
// inverted.
void reportcost(benchmark::State& state, double rate, int voices)
{
    const double audioseconds = static_cast<double>(state.iterations()) * blocksize / rate;
    state.counters["cpu_s_per_audio_s"] =
        benchmark::Counter(audioseconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["voices"] = voices;
    state.counters["rate"] = rate;
}

// ---- our engine -------------------------------------------------------------------------

// "Pitch" maps -1..+1 octave onto 0..1 (with "Mode" 0): 0.5 + semitones / 24.
double pitchvalue(double semitones)
{
    return 0.5 + semitones / 24.0;
}

constexpr double formantscale = 1.0;  // formants fully preserved across the pitch shift ...
constexpr double formantshift = 0.55; // ... and moved up a little (0.5 leaves them in place)

// The delay patch: a quarter second, some feedback, half wet, a slow sine sweep.
constexpr double delayseconds = 0.25;
constexpr double delayfeedback = 0.3;
constexpr double delaymix = 0.5;
constexpr double delaydepth = 0.2;
constexpr double delaysweephz = 0.5;

// The LFO: a 5 Hz sine vibrato of a fifth of its full depth (+-0.5 semitone at "Mode" 0).
constexpr double lfohz = 5.0;
constexpr double lfoamplitude = 0.2;

// The instance starts with voice 0; the others are added here. The harmony variant adds a
// harmony patch (diatonic thirds in C) to voice 0, which turns on the pitch detector of both
// channels.
void setupmodel(pprojdata& model, int voices, bool harmony)
{
    while (model.voices.count < static_cast<std::uint64_t>(voices))
        model.newvoice();

    for (int v = 0; v < voices; ++v)
    {
        pparvoice& voice = *model.voiceat(static_cast<std::uint64_t>(v));
        voice.params[pvoicepitch]->setvalue(pitchvalue(voiceintervals[v]));
        voice.params[pvoiceformantscale]->setvalue(formantscale);
        voice.params[pvoiceformantshift]->setvalue(formantshift);
    }

    const std::uint64_t delay = model.newpatch(false, pkinddelay);
    ppatchmod& d = *model.patchat(delay);
    d.params[ppatchdelay]->setvalue(delayseconds);
    d.params[ppatchfeedback]->setvalue(delayfeedback);
    d.params[ppatchdelaymix]->setvalue(delaymix);
    d.params[ppatchamplitude1]->setvalue(delaydepth);
    d.params[ppatchshape]->setvalue(pshapesine);
    d.params[ppatchspeed]->setvalue(delaysweephz);
    model.assignpatch(pkinddelay, 0, delay, 0);

    const std::uint64_t lfo = model.newpatch(false, pkindmodulator);
    ppatchmod& l = *model.patchat(lfo);
    l.params[ppatchsource]->setvalue(psourcelfo);
    l.params[ppatchshape]->setvalue(pshapesine);
    l.params[ppatchspeed]->setvalue(lfohz);
    l.params[ppatchamplitude1]->setvalue(lfoamplitude);
    for (int v = 0; v < voices; ++v)
        model.assignpatch(pkindmodulator, static_cast<std::uint64_t>(v), lfo, pvoicepitch);

    if (harmony)
    {
        const std::uint64_t h = model.newpatch(false, pkindharmony);
        model.patchat(h)->params[ppatchsource]->setvalue(pharmonythirds);
        model.recalcpatchstate(h);
        model.assignpatch(pkindharmony, 0, h, 0);
    }
}

class enginerun
{
public:
    enginerun(double rate, int voices, bool harmony) : signal(maketestsignal(rate)), instance(rate)
    {
        setupmodel(model, voices, harmony);
        for (int c = 0; c < stereo; ++c)
        {
            in[c].resize(blocksize);
            out[c].resize(blocksize);
        }
    }

    void block()
    {
        double* inptr[stereo] = {in[0].data(), in[1].data()};
        double* outptr[stereo] = {out[0].data(), out[1].data()};
        for (int c = 0; c < stereo; ++c)
            std::copy_n(signal.channels[c].data() + position, blocksize, in[c].data());
        // The audio path alone: the event drain and the mailbox have nothing to hand over.
        model.process(inptr, blocksize, outptr, stereo);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::DoNotOptimize(out[1].data());
        position += blocksize;
        if (position >= signal.length)
            position = 0;
    }

    bool sounding() const { return audible(out[0], blocksize) && audible(out[1], blocksize); }

private:
    testsignal signal;
    pinstance instance;
    pprojdata& model = instance.model;
    std::vector<double> in[stereo], out[stereo];
    std::uint64_t position = 0;
};

void runengine(benchmark::State& state, bool harmony)
{
    const double rate = static_cast<double>(state.range(0));
    const int voices = static_cast<int>(state.range(1));
    const nodenormals flushed;
    auto run = std::make_unique<enginerun>(rate, voices, harmony);
    for (double t = 0.0; t < warmupseconds; t += blocksize / rate)
        run->block();
    if (!run->sounding())
    {
        state.SkipWithError("the engine's output is silent");
        return;
    }

    for (auto _ : state)
        run->block();
    reportcost(state, rate, voices);
}

void BM_Engine(benchmark::State& state)
{
    runengine(state, false);
}

// Not part of the comparison (Rubber Band has no pitch tracking): what a harmony patch adds.
void BM_EngineHarmony(benchmark::State& state)
{
    runengine(state, true);
}

#if QUILL_HAVE_RUBBERBAND
// ---- Rubber Band --------------------------------------------------------------------------

double intervalratio(int voice)
{
    return std::pow(2.0, voiceintervals[voice] / 12.0);
}

constexpr RubberBand::RubberBandStretcher::Options rubberbandoptions =
    RubberBand::RubberBandStretcher::OptionProcessRealTime | RubberBand::RubberBandStretcher::OptionEngineFaster
    | RubberBand::RubberBandStretcher::OptionFormantPreserved | RubberBand::RubberBandStretcher::OptionThreadingNever;
// Enough for whatever a stretcher holds ready after one block.
constexpr std::size_t retrievecapacity = 16384;

class rubberbandrun
{
public:
    rubberbandrun(double rate, int voices) : signal(maketestsignal(rate))
    {
        for (int v = 0; v < voices; ++v)
        {
            auto s = std::make_unique<RubberBand::RubberBandStretcher>(static_cast<std::size_t>(rate), stereo,
                                                                       rubberbandoptions, 1.0, intervalratio(v));
            s->setMaxProcessSize(blocksize);
            stretchers.push_back(std::move(s));
        }
        for (int c = 0; c < stereo; ++c)
            out[c].resize(retrievecapacity);
    }

    void block()
    {
        const float* inptr[stereo] = {signal.floats[0].data() + position, signal.floats[1].data() + position};
        float* outptr[stereo] = {out[0].data(), out[1].data()};
        for (auto& s : stretchers)
        {
            s->process(inptr, blocksize, false);
            const int ready = s->available();
            if (ready > 0)
                retrieved =
                    s->retrieve(outptr, std::min<std::size_t>(static_cast<std::size_t>(ready), retrievecapacity));
            benchmark::DoNotOptimize(out[0].data());
            benchmark::DoNotOptimize(out[1].data());
        }
        position += blocksize;
        if (position >= signal.length)
            position = 0;
    }

    // The last stretcher's latest output.
    bool sounding() const { return retrieved > 0 && audible(out[0], retrieved) && audible(out[1], retrieved); }

private:
    testsignal signal;
    std::vector<std::unique_ptr<RubberBand::RubberBandStretcher>> stretchers;
    std::vector<float> out[stereo];
    std::size_t retrieved = 0;
    std::uint64_t position = 0;
};

void BM_RubberBand(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0));
    const int voices = static_cast<int>(state.range(1));
    const nodenormals flushed;
    auto run = std::make_unique<rubberbandrun>(rate, voices);
    for (double t = 0.0; t < warmupseconds; t += blocksize / rate)
        run->block();
    if (!run->sounding())
    {
        state.SkipWithError("Rubber Band's output is silent");
        return;
    }

    for (auto _ : state)
        run->block();
    reportcost(state, rate, voices);
}
#endif

// ---- the FFT floor ------------------------------------------------------------------------

// The engine's frame: N = 2048 and H = 256, both doubled from 96000 Hz.
constexpr double doublesizerate = 96000.0;
constexpr int basefftsize = 2048;
constexpr int basehopsize = 256;
constexpr int rdftipsize = 66;

// Our transform, tables built once as the engine does.
struct rdftpair
{
    std::vector<int> ip;
    std::vector<double> w, work;

    explicit rdftpair(int n) : ip(rdftipsize, 0), w(static_cast<std::size_t>(n / 2)), work(static_cast<std::size_t>(n))
    {
        rdft(n, 1, work.data(), ip.data(), w.data());
    }
    double* frame() { return work.data(); }
    void forwardinverse()
    {
        const int n = static_cast<int>(work.size());
        rdft(n, 1, work.data(), ip.data(), w.data());
        rdft(n, -1, work.data(), ip.data(), w.data());
    }
};

#if QUILL_HAVE_FFTW
struct fftwpair
{
    std::vector<double> work;
    std::vector<fftw_complex> spectrum;
    fftw_plan forward, inverse;

    explicit fftwpair(int n) : work(static_cast<std::size_t>(n)), spectrum(static_cast<std::size_t>(n / 2 + 1))
    {
        forward = fftw_plan_dft_r2c_1d(n, work.data(), spectrum.data(), FFTW_MEASURE);
        inverse = fftw_plan_dft_c2r_1d(n, spectrum.data(), work.data(), FFTW_MEASURE);
    }
    ~fftwpair()
    {
        fftw_destroy_plan(forward);
        fftw_destroy_plan(inverse);
    }
    fftwpair(const fftwpair&) = delete;
    fftwpair& operator=(const fftwpair&) = delete;
    double* frame() { return work.data(); }
    void forwardinverse()
    {
        fftw_execute(forward);
        fftw_execute(inverse);
    }
};
#endif

template <typename Transform>
class fftfloorrun
{
public:
    fftfloorrun(double rate, int channelcount)
        : signal(maketestsignal(rate)),
          channels(channelcount),
          n(basefftsize * (rate >= doublesizerate ? 2 : 1)),
          hop(basehopsize * (rate >= doublesizerate ? 2 : 1)),
          transform(n)
    {
    }

    void block()
    {
        pending += blocksize;
        while (pending >= static_cast<unsigned>(hop))
        {
            pending -= static_cast<unsigned>(hop);
            // Any N samples of the signal will do: only the transforms are measured.
            const std::uint64_t start = std::min(position, signal.length - static_cast<std::uint64_t>(n));
            for (int c = 0; c < channels; ++c)
            {
                std::copy_n(signal.channels[c].data() + start, n, transform.frame());
                transform.forwardinverse();
                benchmark::DoNotOptimize(transform.frame());
            }
        }
        position += blocksize;
        if (position >= signal.length)
            position = 0;
    }

private:
    testsignal signal;
    int channels;
    int n = 0;
    int hop = 0;
    Transform transform;
    std::uint64_t position = 0;
    unsigned pending = 0;
};

template <typename Transform>
void fftfloor(benchmark::State& state)
{
    const double rate = static_cast<double>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const nodenormals flushed;
    fftfloorrun<Transform> run(rate, channels);
    for (auto _ : state)
        run.block();
    reportcost(state, rate, 1);
    state.counters["channels"] = channels;
}

void BM_FftFloor(benchmark::State& state)
{
    fftfloor<rdftpair>(state);
}

#if QUILL_HAVE_FFTW
void BM_FftwFloor(benchmark::State& state)
{
    fftfloor<fftwpair>(state);
}
#endif

void floorargs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"rate", "channels"});
    for (int rate : {44100, 96000})
        for (int channels : {1, 2})
            b->Args({rate, channels});
}

void engineargs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"rate", "voices"});
    for (int rate : {44100, 96000})
        for (int voices : {1, 4, 8})
            b->Args({rate, voices});
}

static_assert(maxvoices >= 8, "every benchmarked voice needs its own interval");
} // namespace

BENCHMARK(BM_Engine)->Apply(engineargs);
BENCHMARK(BM_EngineHarmony)->ArgNames({"rate", "voices"})->Args({44100, 4});
#if QUILL_HAVE_RUBBERBAND
BENCHMARK(BM_RubberBand)->Apply(engineargs);
#endif
BENCHMARK(BM_FftFloor)->Apply(floorargs);
#if QUILL_HAVE_FFTW
BENCHMARK(BM_FftwFloor)->Apply(floorargs);
#endif
