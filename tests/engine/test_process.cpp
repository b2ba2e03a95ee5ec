// The audio block driver, measured on its output: dry delay, pitch and timing of a voice, robustness.
#include "dsp/allocation_counter.h"
#include "editor/pcontroller.h"
#include "engine/framesignals.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"
#include "plugin/pinstance.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <tuple>
#include <vector>

using framesignals::harmonictone;
using framesignals::peak;
using framesignals::peakfrequency;
using framesignals::pi;
using framesignals::rms;

namespace
{
using signal = std::vector<double>;

struct stereo
{
    signal left;
    signal right;
};

// The model wired and set up the way the plug-in does it, driven block by block.
struct testhost
{
    pinstance instance;
    pprojdata& model = instance.model;
    explicit testhost(double rate) : instance(rate) {}
    void setglobal(pglobalparamindex index, double units) { model.params[index]->setvalue(units); }
    pparam& voiceparam(std::uint64_t voice, pvoiceparamindex index) { return *model.voices[voice]->params[index]; }
    // All voices silent, dry at full level, "Global Volume" at 1: the output is the dry ring.
    void dryonly()
    {
        voiceparam(0, pvoicevolume).setvalue(0.0);
        setglobal(pglobaldry, 1.0);
        setglobal(pglobalvolume, 1.0);
    }
    // One voice shifted by semitones ("Pitch" p gives the ratio 2^(2p - 1)), nothing dry.
    void onevoice(double semitones)
    {
        voiceparam(0, pvoicepitch).setvalue(0.5 + semitones / 24.0);
        setglobal(pglobaldry, 0.0);
        setglobal(pglobalvolume, 1.0);
    }
    // The whole input, in blocks whose sizes cycle through pattern. A mono host (channels 1) supplies only the
    // left buffer; the other holds NaN, which must never be read.
    stereo render(const signal& left, const signal& right, const std::vector<unsigned>& pattern, int channels = 2)
    {
        stereo out{signal(left.size()), signal(left.size())};
        signal inl = left; // the driver mixes in place
        signal inr = channels == 2 ? right : signal(left.size(), std::numeric_limits<double>::quiet_NaN());
        for (std::size_t k = 0, at = 0; at < left.size(); ++k)
        {
            const unsigned n = std::min<unsigned>(pattern[k % pattern.size()], left.size() - at);
            double* in[2] = {inl.data() + at, inr.data() + at};
            double* o[2] = {out.left.data() + at, out.right.data() + at};
            model.process(in, n, o, channels);
            at += n;
        }
        return out;
    }
    stereo render(const signal& input, const std::vector<unsigned>& pattern, int channels = 2)
    {
        return render(input, input, pattern, channels);
    }
};

signal noise(std::size_t n, std::uint32_t seed)
{
    signal s(n);
    for (double& x : s)
    {
        seed = seed * 1664525u + 1013904223u;
        x = 0.5 * (static_cast<double>(seed) / 2147483648.0 - 1.0);
    }
    return s;
}

// Exactly the input delayed by delay samples from `from` on (silence before the delay).
::testing::AssertionResult delayedcopy(const signal& in, const signal& out, std::size_t delay, std::size_t from = 0,
                                       std::size_t to = SIZE_MAX)
{
    for (std::size_t i = from; i < std::min(to, out.size()); ++i)
        if (out[i] != (i < from + delay ? 0.0 : in[i - delay]))
            return ::testing::AssertionFailure() << "sample " << i - from << " of a delay of " << delay;
    return ::testing::AssertionSuccess();
}

// Energy-weighted mean time of a signal, in samples.
double energycentre(const signal& s)
{
    double weighted = 0.0;
    double total = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i)
    {
        weighted += static_cast<double>(i) * s[i] * s[i];
        total += s[i] * s[i];
    }
    return weighted / total;
}

// The dry ring delays N - H - 1 for unaligned blocks, N - 2H - 1 for hop-aligned ones. Some hosts send
// 0-sample blocks to pass parameter changes: the dry signal goes on untouched.
TEST(BlockDriver, DryOutputIsTheInputDelayedByTheRing)
{
    const std::vector<unsigned> withemptyblock = {256, 256, 256, 256, 256, 256, 256, 256, 256, 256, 0};
    using row = std::tuple<double, std::vector<unsigned>, std::size_t>; // rate, block sizes, dry delay
    const row rows[] = {
        {44100, {300}, 1791}, {44100, {256}, 1535}, {44100, {1792}, 1535}, {44100, {2048}, 1791},
        {44100, {1}, 1791},   {44100, {17}, 1791},  {44100, {4096}, 1791}, {44100, withemptyblock, 1535},
        {96000, {512}, 3071}, {96000, {300}, 3583},
    };
    for (const auto& [rate, blocks, delay] : rows)
    {
        SCOPED_TRACE(::testing::Message() << rate << " Hz, blocks of " << blocks[0] << " in " << blocks.size());
        testhost host(rate);
        host.dryonly();
        const std::size_t cycle = std::accumulate(blocks.begin(), blocks.end(), std::size_t{0});
        const std::size_t length = (12000 + cycle - 1) / cycle * cycle; // whole blocks: one class
        const signal left = noise(length, 7);
        const signal right = noise(length, 99);
        const stereo out = host.render(left, right, blocks);
        EXPECT_TRUE(delayedcopy(left, out.left, delay)) << "left";
        EXPECT_TRUE(delayedcopy(right, out.right, delay)) << "right";
    }
}

// Each switch of block class rebuilds the rings: silence, then the new delay, never a click.
TEST(BlockDriver, SwitchingBlockClassesRebuildsTheRingsWithoutClicks)
{
    testhost host(44100);
    host.dryonly();
    const signal in = noise(60 * 256 + 60 * 300, 11);
    std::vector<unsigned> pattern(20, 256);
    pattern.insert(pattern.end(), 20, 300u);
    const stereo out = host.render(in, pattern);
    EXPECT_LE(peak(out.left), peak(in));
    for (std::size_t run = 0, start = 0; run < 5; ++run)
    {
        const bool aligned = run % 2 == 0;
        const std::size_t length = 20 * (aligned ? 256 : 300);
        EXPECT_TRUE(delayedcopy(in, out.left, aligned ? 1535 : 1791, start, start + length)) << "run " << run;
        start += length;
    }
}

TEST(BlockDriver, SevenSemitonesUpOnA220HzTone)
{
    const double expected = 220.0 * std::pow(2.0, 7.0 / 12.0); // 329.63 Hz
    for (const double rate : {44100.0, 48000.0, 96000.0})
    {
        SCOPED_TRACE(rate);
        testhost host(rate);
        host.onevoice(7.0);
        const signal tone = harmonictone(220.0, rate, static_cast<std::size_t>(rate * 2.0) + 65536);
        const stereo out = host.render(tone, {512});
        const std::size_t from = static_cast<std::size_t>(rate);
        for (const signal* s : {&out.left, &out.right})
        {
            const double found = peakfrequency({s->begin() + from, s->begin() + from + 65536}, rate, 60, 2000);
            EXPECT_NEAR(found, expected, 0.005 * expected) << (s == &out.left ? "left" : "right");
        }
        EXPECT_GT(rms(out.left, from, from + 65536), 0.05);
    }
}

// "Mono Stereo" 0 plays the first channel on both outputs.
TEST(BlockDriver, MonoPlaysTheFirstChannelOnBothOutputs)
{
    testhost mono(44100);
    mono.onevoice(7.0);
    mono.setglobal(pglobalmonostereo, 0.0);
    mono.setglobal(pglobaldry, 0.5);
    const stereo out = mono.render(harmonictone(220.0, 44100, 20000), noise(20000, 5), {300});
    EXPECT_EQ(out.left, out.right);
    EXPECT_GT(peak(out.left), 0.1);
}

// "Detection Gate" at the top of its knob holds the detector back below a level of 1.25.
TEST(BlockDriver, TheGateKnobReachesTheDetector)
{
    testhost host(44100);
    host.setglobal(pglobalgate, 2.0); // past the top
    host.render(noise(256, 1), {256});
    EXPECT_EQ(host.model.engines[0].detectiongate, 1.25);
}

// Unaligned, bus entry j (N - 1 - j before the newest sample) plays j samples later: N - 1 = 2047.
// Aligned, entries are written back over the hop's own samples, H - 1 earlier: N - H = 1792.
TEST(BlockDriver, WetSignalTiming)
{
    signal burst(30000, 0.0);
    for (int i = 0; i < 4096; ++i)
    {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * pi * i / 4096);
        burst[10000 + i] = 0.4 * std::sin(2.0 * pi * 1000.0 * i / 44100.0) * hann;
    }
    for (const auto& [block, delay] : {std::pair<unsigned, double>{300, 2047.0}, {256, 1792.0}})
    {
        testhost host(44100);
        host.onevoice(0.0);
        EXPECT_NEAR(energycentre(host.render(burst, {block}).left) - energycentre(burst), delay, 1.0) << block;
    }
}

// A shifted voice with an LFO on its pitch through a delay, and optionally a harmony voice.
void busymodel(testhost& host, bool harmony = true)
{
    host.onevoice(7.0);
    host.setglobal(pglobaldry, 0.5);
    const std::uint64_t delay = host.model.newpatch(false, pkinddelay);
    host.model.patches[delay]->params[ppatchdelaymix]->setvalue(0.5);
    host.model.assignpatch(pkinddelay, 0, delay, 0);
    const std::uint64_t lfo = host.model.newpatch(false, pkindmodulator);
    host.model.patches[lfo]->params[ppatchspeed]->setvalue(3.0);
    host.model.assignpatch(pkindmodulator, 0, lfo, pvoicepitch);
    host.model.recalcpatchstate(lfo);
    if (harmony)
    {
        const std::uint64_t second = host.model.newvoice();
        host.model.assignpatch(pkindharmony, second, host.model.newpatch(false, pkindharmony), 0);
    }
}

bool allfinite(const signal& s)
{
    return std::all_of(s.begin(), s.end(), [](double x) { return std::isfinite(x); });
}

// Bad samples in odd blocks: finite output, and afterwards the level of a render that never saw them.
TEST(Robustness, OddBlockSizesAndBadSamples)
{
    constexpr double rate = 44100;
    const signal clean = harmonictone(196.0, rate, static_cast<std::size_t>(rate * 4));
    signal in = clean;
    const std::size_t bad = static_cast<std::size_t>(rate);
    const double inf = std::numeric_limits<double>::infinity();
    const double bads[] = {std::numeric_limits<double>::quiet_NaN(), 1e30, -1e30, inf};
    for (std::size_t i = 0; i < 3000; ++i)
        in[bad + i] = bads[i % 4];
    const std::vector<unsigned> pattern = {0, 1, 17, 256, 300, 4096};
    testhost host(rate);
    testhost reference(rate);
    busymodel(host);
    busymodel(reference);
    const stereo out = host.render(in, pattern);
    EXPECT_TRUE(allfinite(out.left)) << "left";
    EXPECT_TRUE(allfinite(out.right)) << "right";
    const std::size_t from = bad + 3000 + static_cast<std::size_t>(rate * 1.5);
    const double level = rms(out.left, from, in.size());
    EXPECT_NEAR(level / rms(reference.render(clean, pattern).left, from, in.size()), 1.0, 0.3);
}

// After a warm-up nothing is allocated and resident memory stays put over ten minutes of a tone that restarts
// every 0.65 s in odd blocks; mono without harmony keeps the run short.
TEST(Robustness, TenMinutesRunWithoutAllocatingOrGrowing)
{
    constexpr double rate = 44100;
    constexpr std::size_t total = static_cast<std::size_t>(rate * 600);
    const std::vector<unsigned> pattern = {256, 300, 17, 4096, 1, 512, 1792};
    const signal tone = harmonictone(180.0, rate, 4096 * 7, 4);
    testhost host(rate);
    busymodel(host, false);
    host.setglobal(pglobalmonostereo, 0.0);
    signal in(4096);
    signal out(2 * 4096);
    double* inputs[2] = {in.data(), in.data()};
    double* outputs[2] = {out.data(), out.data() + 4096};
    std::uint64_t allocations = 0;
    rusage usage{};
    for (std::size_t done = 0, k = 0; done < total; ++k)
    {
        const unsigned n = pattern[k % pattern.size()];
        std::copy_n(tone.begin() + static_cast<std::ptrdiff_t>(k % 7 * 4096), n, in.begin());
        host.model.process(inputs, n, outputs, 2);
        done += n;
        if (k == 1000) // some 10 s in
        {
            allocations = allocation_counter::count();
            getrusage(RUSAGE_SELF, &usage);
        }
    }
    const long resident = usage.ru_maxrss;
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_TRUE(allfinite(out));
    EXPECT_EQ(allocation_counter::count(), allocations);
    EXPECT_LE(usage.ru_maxrss - resident, 1024); // kilobytes
}

// A mono host with "Mono Stereo" 1 processes one channel: the pan law is the centre's, whatever "Pan"
// says.
TEST(BlockDriver, PanHasNoEffectWhenTheHostSuppliesOneChannel)
{
    const signal tone = harmonictone(220.0, 44100, 256 * 200);
    double centre = 0.0;
    for (const double pan : {1.0, 0.0, 2.0, 1.5})
    {
        testhost host(44100);
        host.onevoice(0.0);
        host.voiceparam(0, pvoicepan).setvalue(pan);
        const stereo out = host.render(tone, {256}, 1);
        EXPECT_EQ(out.left, out.right) << "both outputs carry the one channel";
        const double level = rms(out.left, 256 * 100, 256 * 200);
        centre = pan == 1.0 ? level : centre;
        EXPECT_NEAR(level / centre, 1.0, 1e-12) << "pan " << pan;
    }
    EXPECT_GT(centre, 0.05);
}

// What a channel or a ring heard before a pause in its processing, or before a new rate, is never
// replayed.
TEST(BlockDriver, AChannelThatStartsAndARingAfterANewRatePlaySilenceOnSilentInput)
{
    const signal sound = noise(44100, 3);
    const signal silence(4 * 2048, 0.0);
    const auto dryandwet = [](testhost& host) {
        host.onevoice(0.0);
        host.setglobal(pglobaldry, 1.0);
    };
    // Stereo, then mono for a while, then stereo again on silence: the right channel starts afresh.
    testhost restarted(44100);
    dryandwet(restarted);
    restarted.render(sound, {256});
    restarted.setglobal(pglobalmonostereo, 0.0);
    restarted.render(sound, {256});
    restarted.setglobal(pglobalmonostereo, 1.0);
    const stereo afterstart = restarted.render(silence, {256});
    EXPECT_EQ(peak(afterstart.right), 0.0);
    // A mono host, then a stereo one: channel 1 starts on silence.
    testhost widened(44100);
    dryandwet(widened);
    widened.render(sound, {256}, 1);
    EXPECT_EQ(peak(widened.render(silence, {256}).right), 0.0);
    // 44100 Hz then 48000 Hz (the same N): both rings start from silence, wet and dry.
    testhost rerated(44100);
    dryandwet(rerated);
    rerated.render(sound, {300});
    rerated.model.initpbm(48000.0);
    const stereo afterrate = rerated.render(silence, {300});
    EXPECT_EQ(peak(afterrate.left) + peak(afterrate.right), 0.0);
}

// A held tone through one shifted voice, in blocks of 512 with one block of oddsize at `change`.
signal heldtone(double pitch, int harmonics, unsigned oddsize, std::size_t change, std::size_t total)
{
    testhost host(44100);
    host.voiceparam(0, pvoicepitch).setvalue(pitch);
    host.setglobal(pglobaldry, 0.0);
    std::vector<unsigned> pattern(change / 512, 512);
    pattern.push_back(oddsize);
    pattern.insert(pattern.end(), total / 512 + 1, 512);
    return host.render(harmonictone(220.0, 44100, total, harmonics), pattern).left;
}

// Hosts split blocks at loop points and automation: one odd block restarts the hop schedule, and from two
// frames (2N) later a held tone has, window by window (0.1 s), the level of a render that never changed
// class.
TEST(BlockDriver, AHeldToneIsBackToItsLevelTwoFramesAfterABlockClassChange)
{
    constexpr std::size_t change = 128 * 512;
    constexpr std::size_t settle = 2 * 2048;
    constexpr std::size_t window = 4410;
    constexpr std::size_t total = change + 44100;
    for (const double pitch : {0.3, 0.7, 0.8333})
        for (const int harmonics : {1, 6})
        {
            const signal steady = heldtone(pitch, harmonics, 512, change, total);
            for (const unsigned odd : {1u, 96u, 128u, 300u, 1000u})
            {
                const signal changed = heldtone(pitch, harmonics, odd, change, total);
                double worst = 0.0;
                for (std::size_t from = change + settle; from + window <= total; from += window)
                {
                    const double ratio = rms(changed, from, from + window) / rms(steady, from, from + window);
                    worst = std::max(worst, std::fabs(20.0 * std::log10(ratio)));
                }
                EXPECT_LT(worst, 0.5) << "pitch " << pitch << ", harmonics " << harmonics << ", block " << odd;
            }
        }
}
} // namespace
