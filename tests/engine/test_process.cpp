// The audio block driver, measured on its output: dry delay per block class, the pitch and
// timing of a shifted voice, where MIDI records act, channel handling, and robustness.
#include "dsp/allocation_counter.h"
#include "dsp/rdft.h"
#include "editor/pcontroller.h"
#include "engine/framesignals.h"
#include "engine/pprojdata.h"
#include "kit/pguitools.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using framesignals::harmonictone;
using framesignals::peak;
using framesignals::pi;
using framesignals::rms;

namespace
{
using signal = std::vector<double>;

struct stereo
{
    signal left, right;
};

// The model wired and set up the way the plug-in does it, driven block by block.
struct testhost
{
    pcontroller controller;
    pprojdata model;

    explicit testhost(double rate)
    {
        controller.model = &model;
        model.tools = &controller.tools;
        model.controller = &controller;
        model.pushglobalparams();
        model.initpbm(rate);
    }

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

    void block(double* left, double* right, unsigned n, double* outleft, double* outright, unsigned channels = 2)
    {
        double* in[2] = {left, right};
        double* out[2] = {outleft, outright};
        model.process(in, n, out, channels);
    }

    // The whole input, in blocks whose sizes cycle through pattern.
    stereo render(const signal& left, const signal& right, const std::vector<unsigned>& pattern)
    {
        stereo out{signal(left.size()), signal(left.size())};
        signal inl = left, inr = right; // the driver mixes in place
        for (std::size_t k = 0, at = 0; at < left.size(); ++k)
        {
            const unsigned n = std::min<unsigned>(pattern[k % pattern.size()], left.size() - at);
            block(inl.data() + at, inr.data() + at, n, out.left.data() + at, out.right.data() + at);
            at += n;
        }
        return out;
    }

    stereo render(const signal& input, const std::vector<unsigned>& pattern) { return render(input, input, pattern); }
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
    double weighted = 0.0, total = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i)
    {
        weighted += static_cast<double>(i) * s[i] * s[i];
        total += s[i] * s[i];
    }
    return weighted / total;
}

// The strongest spectral peak in 60..2000 Hz, refined between bins.
double fundamental(const signal& s, std::size_t from, double rate)
{
    constexpr int n = 65536;
    signal a(n), w(n / 2), mag(n / 2);
    for (int i = 0; i < n; ++i)
        a[i] = s[from + i] * (0.5 - 0.5 * std::cos(2.0 * pi * i / n));
    std::vector<int> ip(2 + 256);
    rdft(n, 1, a.data(), ip.data(), w.data());
    for (int k = 1; k < n / 2; ++k)
        mag[k] = std::hypot(a[2 * k], a[2 * k + 1]);
    const double binhz = rate / n;
    const int lo = static_cast<int>(60.0 / binhz), hi = static_cast<int>(2000.0 / binhz);
    const int k = static_cast<int>(std::max_element(mag.begin() + lo, mag.begin() + hi) - mag.begin());
    const double l = std::log(mag[k - 1]), c = std::log(mag[k]), r = std::log(mag[k + 1]);
    return (k + 0.5 * (l - r) / (l - 2.0 * c + r)) * binhz;
}

// ---- the dry path ---------------------------------------------------------------------

// The dry ring delays by its length - 1: N - H - 1 for blocks that are not hop-aligned,
// N - 2H - 1 for aligned ones (a whole number of hops no longer than N - H).
TEST(BlockDriver, DryOutputIsTheInputDelayedByTheRing)
{
    struct row
    {
        double rate;
        unsigned block;
        std::size_t delay;
    };
    for (const row r : {row{44100, 300, 1791}, row{44100, 256, 1535}, row{44100, 1792, 1535}, row{44100, 2048, 1791},
                        row{44100, 1, 1791}, row{44100, 17, 1791}, row{44100, 4096, 1791}, row{96000, 512, 3071},
                        row{96000, 300, 3583}})
    {
        SCOPED_TRACE(::testing::Message() << r.rate << " Hz, blocks of " << r.block);
        testhost host(r.rate);
        host.dryonly();
        const std::size_t length = (12000 + r.block - 1) / r.block * r.block; // whole blocks: one class
        const signal left = noise(length, 7), right = noise(length, 99);
        const stereo out = host.render(left, right, {r.block});
        EXPECT_TRUE(delayedcopy(left, out.left, r.delay));
        EXPECT_TRUE(delayedcopy(right, out.right, r.delay));
    }
}

// Each switch between aligned and unaligned blocks rebuilds the rings: silence for a ring's
// length, then the new class's delay, never a jump beyond the signal's own level.
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

// Some hosts send a 0-sample block between their usual ones to pass parameter changes: the
// dry signal goes on as if it had not been there, and the block's MIDI records still apply.
TEST(BlockDriver, AnEmptyBlockBetweenAlignedBlocksKeepsTheDrySignal)
{
    testhost host(44100);
    host.dryonly();
    const signal in = noise(40 * 256, 13);
    signal work = in, right = noise(in.size(), 14), out0(in.size()), out1(in.size());
    for (std::size_t at = 0; at < in.size(); at += 256)
    {
        if (at == 20 * 256)
        {
            out0[at] = 42.0;
            host.block(work.data() + at, right.data() + at, 0, out0.data() + at, out1.data() + at);
            EXPECT_EQ(out0[at], 42.0); // nothing written
        }
        host.block(work.data() + at, right.data() + at, 256, out0.data() + at, out1.data() + at);
    }
    EXPECT_TRUE(delayedcopy(in, out0, 1535));
}

// ---- the wet path ---------------------------------------------------------------------

TEST(BlockDriver, SevenSemitonesUpOnA220HzTone)
{
    const double expected = 220.0 * std::pow(2.0, 7.0 / 12.0); // 329.63 Hz
    for (const double rate : {44100.0, 48000.0, 96000.0})
    {
        SCOPED_TRACE(rate);
        testhost host(rate);
        host.onevoice(7.0);
        const stereo out = host.render(harmonictone(220.0, rate, static_cast<std::size_t>(rate * 2.0) + 65536), {512});
        const std::size_t from = static_cast<std::size_t>(rate);
        EXPECT_NEAR(fundamental(out.left, from, rate), expected, 0.005 * expected);
        EXPECT_NEAR(fundamental(out.right, from, rate), expected, 0.005 * expected);
        EXPECT_GT(rms(out.left, from, from + 65536), 0.05);
    }
}

// "Mono Stereo" 0 plays the first channel on both outputs; 1 keeps the channels apart.
TEST(BlockDriver, MonoAndStereoChoices)
{
    const signal tone = harmonictone(220.0, 44100, 20000);
    testhost mono(44100), stereoed(44100);
    mono.onevoice(7.0);
    mono.setglobal(pglobalmonostereo, 0.0);
    mono.setglobal(pglobaldry, 0.5);
    const stereo out = mono.render(tone, noise(20000, 5), {300});
    EXPECT_EQ(out.left, out.right);
    EXPECT_GT(peak(out.left), 0.1);

    stereoed.onevoice(0.0);
    const stereo apart = stereoed.render(tone, signal(20000, 0.0), {300});
    EXPECT_GT(peak(apart.left), 0.1);
    EXPECT_EQ(peak(apart.right), 0.0);
}

// The wet signal against the input. Unaligned, a hop runs on the sample that completes the
// frame and bus entry j (frame sample j, N - 1 - j before the newest) plays j samples later:
// N - 1 = 2047. Aligned, the entries are written back over the H samples that ended at the
// hop, H - 1 earlier: N - H = 1792. The wet signal trails the dry one by H, by design.
TEST(BlockDriver, WetSignalTiming)
{
    signal burst(30000, 0.0);
    for (int i = 0; i < 4096; ++i)
        burst[10000 + i] = 0.4 * std::sin(2.0 * pi * 1000.0 * i / 44100.0) * (0.5 - 0.5 * std::cos(2.0 * pi * i / 4096));
    for (const auto& [block, delay] : {std::pair<unsigned, double>{300, 2047.0}, {256, 1792.0}})
    {
        testhost host(44100);
        host.onevoice(0.0);
        EXPECT_NEAR(energycentre(host.render(burst, {block}).left) - energycentre(burst), delay, 1.0) << block;
    }
}

// ---- robustness -----------------------------------------------------------------------

// A shifted voice with an LFO on its pitch, through a delay; with harmony, a second voice
// snaps to the detected note.
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

// NaN, +-1e30 and infinity in mixed odd blocks: the output stays finite, and once the bad
// stretch has left the frame and the rings the level is that of a render that never saw it.
TEST(Robustness, OddBlockSizesAndBadSamples)
{
    constexpr double rate = 44100;
    const signal clean = harmonictone(196.0, rate, static_cast<std::size_t>(rate * 4));
    signal in = clean;
    const std::size_t bad = static_cast<std::size_t>(rate);
    const double bads[] = {std::numeric_limits<double>::quiet_NaN(), 1e30, -1e30, std::numeric_limits<double>::infinity()};
    for (std::size_t i = 0; i < 3000; ++i)
        in[bad + i] = bads[i % 4];
    const std::vector<unsigned> pattern = {0, 1, 17, 256, 300, 4096};

    testhost host(rate), reference(rate);
    busymodel(host);
    busymodel(reference);
    const stereo out = host.render(in, pattern);
    EXPECT_TRUE(allfinite(out.left));
    EXPECT_TRUE(allfinite(out.right));
    const std::size_t from = bad + 3000 + static_cast<std::size_t>(rate * 1.5);
    const double ratio = rms(out.left, from, in.size()) / rms(reference.render(clean, pattern).left, from, in.size());
    EXPECT_GT(ratio, 0.7);
    EXPECT_LT(ratio, 1.4);
}

// Ten minutes in mixed block sizes: after a warm-up (buses, delay lines, rings of both
// classes) nothing is allocated and the peak resident memory stays put. One channel and no
// harmony (pitch detection is the costliest step) keep the run short.
TEST(Robustness, TenMinutesRunWithoutAllocatingOrGrowing)
{
    constexpr double rate = 44100;
    constexpr std::size_t total = static_cast<std::size_t>(rate * 600), warmup = static_cast<std::size_t>(rate * 10);
    const std::vector<unsigned> pattern = {256, 300, 17, 4096, 1, 512, 1792};
    const auto peakresidentkilobytes = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    };
    testhost host(rate);
    busymodel(host, false);
    host.setglobal(pglobalmonostereo, 0.0);

    signal left(4096), right(4096), out0(4096), out1(4096);
    std::uint32_t seed = 1;
    std::uint64_t allocations = 0;
    long resident = 0;
    double phase = 0.0;
    for (std::size_t done = 0, k = 0; done < total;)
    {
        const unsigned n = static_cast<unsigned>(std::min<std::size_t>(pattern[k++ % pattern.size()], total - done));
        for (unsigned i = 0; i < n; ++i)
        {
            phase += 2.0 * pi * (180.0 + 40.0 * std::sin(done * 1e-5)) / rate;
            seed = seed * 1664525u + 1013904223u;
            left[i] = 0.3 * std::sin(phase) + 0.01 * (static_cast<double>(seed) / 4294967296.0 - 0.5);
            right[i] = 0.5 * left[i];
        }
        host.block(left.data(), right.data(), n, out0.data(), out1.data());
        if (done < warmup && done + n >= warmup)
        {
            allocations = allocation_counter::count();
            resident = peakresidentkilobytes();
        }
        done += n;
        ASSERT_TRUE(std::isfinite(out0[0]) && std::isfinite(out1[0]));
    }
    EXPECT_EQ(allocation_counter::count(), allocations);
    EXPECT_LE(peakresidentkilobytes() - resident, 1024); // kilobytes
}
} // namespace
