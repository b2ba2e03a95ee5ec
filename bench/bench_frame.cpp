// One phase-vocoder frame of one channel, as the block driver runs it once per hop, with 1, 4
// and 8 sounding voices at both frame sizes; one voice's synthesis alone, the cost of each
// further voice; and the pitch detector alone, the largest cost shared by the voices.
#include "dsp/pbkpitchshift.h"
#include "engine/frame.h"
#include "foundation/comath.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace
{
using comath::pi;

// A 110 Hz tone with harmonics: a low voice, so the pitch search runs over many lags.
std::vector<double> testtone(double samplerate, std::size_t n, double hz = 110.0)
{
    std::vector<double> x(n, 0.0);
    for (int h = 1; h <= 12; ++h)
        for (std::size_t i = 0; i < n; ++i)
            x[i] += 0.3 / h * std::sin(2 * pi * h * hz * static_cast<double>(i) / samplerate);
    return x;
}

std::vector<double> noise(std::size_t n)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<double> x(n);
    for (double& v : x)
        v = uniform(random);
    return x;
}

// Voices spread over two buses with different ratios and formant settings; the first carries a
// harmony patch, so the detector runs at every frame.
void addvoices(pbkpitchshift& engine, int count, const double* harmonytable)
{
    for (int v = 0; v < count; ++v)
    {
        auto* voice = new pbkvoicestate;
        voice->phases.resize(static_cast<std::uint64_t>(engine.halfsize));
        voice->ratio = std::pow(2.0, (v % 5 - 2) * 4.0 / 12.0);
        voice->lastratio = voice->ratio;
        voice->gain = 0.5;
        voice->formantamount = (v % 2) * 0.5;
        voice->formantfactor = 1.0;
        voice->bus = static_cast<std::uint64_t>(v % 2);
        voice->mode2 = v == 0 ? 1 : 0;
        if (v == 0)
            voice->harmonytable = harmonytable;
        engine.voicestates.append(voice);
    }
    engine.wantpitch = 1;
    engine.detectiongate = 0.0;
}

void BM_frame(benchmark::State& state)
{
    const double samplerate = static_cast<double>(state.range(0));
    const int voices = static_cast<int>(state.range(1));
    pbkpitchshift engine;
    engine.init(samplerate);
    double table[12];
    for (double& r : table)
        r = std::pow(2.0, 4.0 / 12.0);
    addvoices(engine, voices, table);

    const std::size_t hop = static_cast<std::size_t>(engine.hopsize);
    const std::vector<double> input = testtone(samplerate, 64 * hop);
    std::size_t at = 0;
    for (auto _ : state)
    {
        for (std::size_t i = 0; i < hop; ++i)
            engine.inputframe[static_cast<std::uint64_t>(engine.framefill++)] = input[at + i];
        at = (at + hop) % input.size();
        for (std::uint64_t v = 0; v < engine.voicestates.count; ++v)
            engine.voicestates[v]->ratio = engine.voicestates[v]->lastratio; // as the voice control writes it
        processframe(engine);
        benchmark::DoNotOptimize(engine.busoutputs[0]->data[0]);
    }
    state.counters["cpu_per_audio_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(hop) / samplerate,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_frame)
    ->ArgNames({"rate", "voices"})
    ->ArgsProduct({{44100, 96000}, {1, 4, 8}})
    ->Unit(benchmark::kMicrosecond);

// One voice's synthesis alone (phase accumulation, formant warp, polar to rectangular, mapping
// into its bus), on the analysis of a steady tone: the cost of each further voice on a bus
// that exists already. The ratio is in thousandths.
void BM_synthesisevoice(benchmark::State& state)
{
    const double samplerate = static_cast<double>(state.range(0));
    pbkpitchshift engine;
    engine.init(samplerate);
    addvoices(engine, 1, nullptr);
    pbkvoicestate& voice = *engine.voicestates[0];
    voice.ratio = static_cast<double>(state.range(1)) / 1000.0;
    voice.formantamount = 0.5;
    engine.wantpitch = 0;

    const std::size_t hop = static_cast<std::size_t>(engine.hopsize);
    const std::vector<double> input = testtone(samplerate, 16 * hop);
    for (std::size_t at = 0; at < input.size(); at += hop)
    {
        for (std::size_t i = 0; i < hop; ++i)
            engine.inputframe[static_cast<std::uint64_t>(engine.framefill++)] = input[at + i];
        processframe(engine);
    }
    double* bus = engine.busspectra[0]->data;
    for (auto _ : state)
    {
        synthesisevoice(engine, voice);
        benchmark::DoNotOptimize(bus[2]);
    }
    state.counters["cpu_per_audio_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(hop) / samplerate,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_synthesisevoice)
    ->ArgNames({"rate", "ratio"})
    ->ArgsProduct({{44100, 96000}, {500, 1000, 1260, 2000}})
    ->Unit(benchmark::kMicrosecond);

// The detector on one full frame: a low and a middle tone, and noise, which has no dip and so
// searches every lag.
void BM_detectpitch(benchmark::State& state)
{
    const double samplerate = static_cast<double>(state.range(0));
    const int source = static_cast<int>(state.range(1));
    pbkpitchshift engine;
    engine.init(samplerate);
    engine.wantpitch = 1;
    engine.detectiongate = 0.0;
    const std::size_t n = static_cast<std::size_t>(engine.fftsize);
    const std::vector<double> x = source == 0 ? noise(n) : testtone(samplerate, n, static_cast<double>(source));
    for (std::size_t i = 0; i < n; ++i)
        engine.inputframe[i] = x[i];
    engine.inputlevel = 1.0;
    for (auto _ : state)
    {
        detectpitch(engine);
        benchmark::DoNotOptimize(engine.detectednote);
    }
}
BENCHMARK(BM_detectpitch)
    ->ArgNames({"rate", "tonehz"})
    ->ArgsProduct({{44100, 96000}, {80, 440, 0}})
    ->Unit(benchmark::kMicrosecond);
} // namespace
