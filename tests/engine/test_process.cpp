// The audio block driver, measured on its output: dry delay per block class, the pitch of a
// shifted voice, the wet timing, where MIDI records take effect, channel handling, and
// robustness against odd blocks, bad samples and long renders.
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
#include <numeric>
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

    // One voice shifted by semitones, nothing dry, "Global Volume" at 1.
    void onevoice(double semitones)
    {
        // "Pitch" p gives the ratio 2^(2p - 1) in mode 0.
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
        std::size_t at = 0;
        for (std::size_t k = 0; at < left.size(); ++k)
        {
            const unsigned n = std::min<unsigned>(pattern[k % pattern.size()], left.size() - at);
            block(inl.data() + at, inr.data() + at, n, out.left.data() + at, out.right.data() + at);
            at += n;
        }
        return out;
    }

    stereo render(const signal& input, const std::vector<unsigned>& pattern) { return render(input, input, pattern); }
};

signal noise(std::size_t n, std::uint32_t seed, double level = 0.5)
{
    signal s(n);
    for (double& x : s)
    {
        seed = seed * 1664525u + 1013904223u;
        x = level * (static_cast<double>(seed) / 2147483648.0 - 1.0);
    }
    return s;
}

// The lag (0..maxlag) at which out best matches in.
std::size_t bestlag(const signal& in, const signal& out, std::size_t maxlag)
{
    std::size_t best = 0;
    double bestscore = -1.0;
    for (std::size_t lag = 0; lag <= maxlag; ++lag)
    {
        double score = 0.0;
        for (std::size_t i = lag; i < out.size(); ++i)
            score += out[i] * in[i - lag];
        if (score > bestscore)
        {
            bestscore = score;
            best = lag;
        }
    }
    return best;
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

// The fundamental of a steady harmonic stretch: the strongest spectral peak in 60..2000 Hz
// (refined between bins), checked to have no comparable peak below it.
double fundamental(const signal& s, std::size_t from, double rate)
{
    constexpr int n = 65536;
    signal a(n);
    for (int i = 0; i < n; ++i)
        a[i] = s[from + i] * (0.5 - 0.5 * std::cos(2.0 * pi * i / n));
    std::vector<int> ip(2 + 256);
    signal w(n / 2);
    ip[0] = 0;
    rdft(n, 1, a.data(), ip.data(), w.data());
    signal mag(n / 2);
    for (int k = 1; k < n / 2; ++k)
        mag[k] = std::hypot(a[2 * k], a[2 * k + 1]);
    const double binhz = rate / n;
    const int lo = static_cast<int>(60.0 / binhz), hi = static_cast<int>(2000.0 / binhz);
    const int k = static_cast<int>(std::max_element(mag.begin() + lo, mag.begin() + hi) - mag.begin());
    for (int j = lo; j < static_cast<int>(0.9 * k); ++j)
        if (mag[j] > 0.2 * mag[k])
            return j * binhz; // a strong partial below the peak: that is the fundamental's region
    const double l = std::log(mag[k - 1]), c = std::log(mag[k]), r = std::log(mag[k + 1]);
    return (k + 0.5 * (l - r) / (l - 2.0 * c + r)) * binhz;
}

long peakresidentkilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// ---- the dry path ---------------------------------------------------------------------

struct drycase
{
    double rate;
    unsigned block;
    std::size_t delay;
};

class DryDelay : public ::testing::TestWithParam<drycase>
{
};

// The dry ring delays by its length - 1: N - H - 1 for blocks that are not hop-aligned,
// N - 2H - 1 for aligned ones (a whole number of hops no longer than N - H).
TEST_P(DryDelay, OutputIsTheInputDelayedByTheRing)
{
    const drycase c = GetParam();
    testhost host(c.rate);
    host.dryonly();
    // Whole blocks only: a shorter last block would be of the other class.
    const std::size_t length = (12000 + c.block - 1) / c.block * c.block;
    const signal in = noise(length, 7);
    const stereo out = host.render(in, noise(length, 99), {c.block});

    EXPECT_EQ(bestlag(in, out.left, 4000), c.delay);
    for (std::size_t i = 0; i < in.size(); ++i)
    {
        const double expected = i < c.delay ? 0.0 : in[i - c.delay];
        ASSERT_EQ(out.left[i], expected) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(BlockClasses, DryDelay,
                         ::testing::Values(drycase{44100, 300, 1791}, drycase{44100, 256, 1535},
                                           drycase{44100, 1792, 1535}, drycase{44100, 512, 1535},
                                           drycase{44100, 2048, 1791}, drycase{44100, 1000, 1791},
                                           drycase{44100, 1, 1791}, drycase{48000, 4096, 1791},
                                           drycase{96000, 512, 3071}, drycase{96000, 300, 3583}));

TEST(BlockDriver, BothChannelsCarryTheirOwnDelayedInput)
{
    testhost host(44100);
    host.dryonly();
    const signal left = noise(6000, 3), right = noise(6000, 4);
    const stereo out = host.render(left, right, {300});
    for (std::size_t i = 1791; i < left.size(); ++i)
    {
        ASSERT_EQ(out.left[i], left[i - 1791]);
        ASSERT_EQ(out.right[i], right[i - 1791]);
    }
}

// A host that switches between aligned and unaligned blocks rebuilds the rings each time:
// the output goes silent for a ring's length, then resumes with the new class's delay; it
// never jumps beyond the signal's own level.
TEST(BlockDriver, SwitchingBlockClassesRebuildsTheRingsWithoutClicks)
{
    testhost host(44100);
    host.dryonly();
    const signal in = noise(60 * 256 + 60 * 300, 11);
    std::vector<unsigned> pattern(20, 256);
    pattern.insert(pattern.end(), 20, 300u);
    const stereo out = host.render(in, pattern);

    EXPECT_LE(peak(out.left), peak(in));
    // Each run of 20 blocks starts a fresh ring: silence for the ring, then the delayed input.
    std::size_t start = 0;
    for (int run = 0; run < 5; ++run)
    {
        const bool aligned = run % 2 == 0;
        const std::size_t length = 20 * (aligned ? 256 : 300);
        const std::size_t delay = aligned ? 1535 : 1791;
        for (std::size_t i = start; i < start + length; ++i)
        {
            const double expected = i < start + delay ? 0.0 : in[i - delay];
            ASSERT_EQ(out.left[i], expected) << "run " << run << " sample " << i - start;
        }
        start += length;
    }
}

TEST(BlockDriver, BlockClassFollowsLengthAndHop)
{
    testhost host(44100);
    signal buf(4096), out0(4096), out1(4096);
    struct blockclass
    {
        std::uint64_t aligned, drylength;
        bool operator==(const blockclass& o) const { return aligned == o.aligned && drylength == o.drylength; }
    };
    const auto classify = [&](unsigned n) {
        host.block(buf.data(), buf.data(), n, out0.data(), out1.data());
        return blockclass{host.model.alignedblock, host.model.drylength};
    };
    EXPECT_TRUE(classify(1792) == (blockclass{1792, 1536}));
    EXPECT_TRUE(classify(256) == (blockclass{256, 1536}));
    // An empty block is of neither class: the one before stays, and so does the schedule.
    const std::int64_t fill = host.model.engines[0].framefill;
    EXPECT_TRUE(classify(0) == (blockclass{256, 1536}));
    EXPECT_EQ(host.model.engines[0].framefill, fill);
    EXPECT_TRUE(classify(2048) == (blockclass{0, 1792}));
    EXPECT_TRUE(classify(1000) == (blockclass{0, 1792}));
    EXPECT_TRUE(classify(0) == (blockclass{0, 1792}));
}

// Some hosts send a 0-sample block between their usual ones to pass parameter changes: the
// dry signal goes on as if it had not been there, with no stretch of silence.
TEST(BlockDriver, AnEmptyBlockBetweenAlignedBlocksKeepsTheDrySignal)
{
    testhost host(44100);
    host.dryonly();
    const signal in = noise(40 * 256, 13);
    signal work = in, right = noise(in.size(), 14), out0(in.size()), out1(in.size());
    for (std::size_t at = 0; at < in.size(); at += 256)
    {
        if (at == 20 * 256)
            host.block(work.data() + at, right.data() + at, 0, out0.data() + at, out1.data() + at);
        host.block(work.data() + at, right.data() + at, 256, out0.data() + at, out1.data() + at);
    }
    for (std::size_t i = 0; i < in.size(); ++i)
    {
        const double expected = i < 1535 ? 0.0 : in[i - 1535];
        ASSERT_EQ(out0[i], expected) << "sample " << i;
    }
}

// A new sample rate across 96000 Hz changes N: the next block rebuilds the rings at the new
// length (their storage grows once), and back again.
TEST(BlockDriver, RateChangesResizeTheRings)
{
    testhost host(44100);
    host.dryonly();
    const signal in = noise(9000, 21);
    const auto delayed = [&](std::size_t delay) {
        const stereo out = host.render(in, {300});
        for (std::size_t i = 0; i < in.size(); ++i)
            if (out.left[i] != (i < delay ? 0.0 : in[i - delay]))
                return false;
        return true;
    };
    EXPECT_TRUE(delayed(1791));
    host.model.initpbm(96000);
    EXPECT_TRUE(delayed(3583));
    host.model.initpbm(48000);
    EXPECT_TRUE(delayed(1791));
}

// After a rebuild the schedule starts again at N - H: the first hop falls on sample H - 1.
TEST(BlockDriver, ARebuildRestartsTheHopSchedule)
{
    testhost host(44100);
    signal buf(300), out0(300), out1(300);
    const std::int64_t refill = host.model.engines[0].refillpos;
    host.block(buf.data(), buf.data(), 100, out0.data(), out1.data());
    EXPECT_EQ(host.model.engines[0].framefill, refill + 100);
    host.block(buf.data(), buf.data(), 256, out0.data(), out1.data()); // aligned: rebuilt
    EXPECT_EQ(host.model.engines[0].framefill, refill);
    host.block(buf.data(), buf.data(), 300, out0.data(), out1.data()); // unaligned: rebuilt
    EXPECT_EQ(host.model.engines[0].framefill, refill + 300 - 256);
    EXPECT_EQ(host.model.engines[1].framefill, refill + 300 - 256);
}

// ---- the wet path ---------------------------------------------------------------------

class ShiftedPitch : public ::testing::TestWithParam<double>
{
};

TEST_P(ShiftedPitch, SevenSemitonesUpOnA220HzTone)
{
    const double rate = GetParam();
    testhost host(rate);
    host.onevoice(7.0);
    const signal in = harmonictone(220.0, rate, static_cast<std::size_t>(rate * 2.0) + 65536);
    const stereo out = host.render(in, {512});

    const double expected = 220.0 * std::pow(2.0, 7.0 / 12.0); // 329.63 Hz
    const std::size_t from = static_cast<std::size_t>(rate * 1.0);
    EXPECT_NEAR(fundamental(out.left, from, rate), expected, 0.005 * expected);
    EXPECT_NEAR(fundamental(out.right, from, rate), expected, 0.005 * expected);
    EXPECT_GT(rms(out.left, from, from + 65536), 0.05);
}

INSTANTIATE_TEST_SUITE_P(Rates, ShiftedPitch, ::testing::Values(44100.0, 48000.0, 96000.0));

TEST(BlockDriver, MonoChoiceCopiesTheFirstChannelToBothOutputs)
{
    testhost host(44100);
    host.onevoice(7.0);
    host.setglobal(pglobalmonostereo, 0.0);
    host.setglobal(pglobaldry, 0.5);
    const signal tone = harmonictone(220.0, 44100, 20000);
    const stereo out = host.render(tone, noise(20000, 5), {300});
    EXPECT_EQ(out.left, out.right);
    EXPECT_GT(peak(out.left), 0.1);

    // The second input is not listened to at all.
    testhost other(44100);
    other.onevoice(7.0);
    other.setglobal(pglobalmonostereo, 0.0);
    other.setglobal(pglobaldry, 0.5);
    EXPECT_EQ(other.render(tone, signal(20000, 0.0), {300}).left, out.left);
}

TEST(BlockDriver, StereoChoiceProcessesEachChannelOnItsOwnInput)
{
    testhost host(44100);
    host.onevoice(0.0);
    const stereo out = host.render(harmonictone(220.0, 44100, 20000), signal(20000, 0.0), {300});
    EXPECT_GT(peak(out.left), 0.1);
    EXPECT_EQ(peak(out.right), 0.0);
}

// A caller with a single input channel gets it processed alone; a caller with none gets
// silence, whatever its buffers hold.
TEST(BlockDriver, MissingInputChannelsAreSilence)
{
    testhost host(44100);
    host.onevoice(0.0);
    host.setglobal(pglobaldry, 1.0);
    signal left = harmonictone(220.0, 44100, 8192), stale(8192, 0.7), out0(8192), out1(8192);
    host.block(left.data(), stale.data(), 8192, out0.data(), out1.data(), 1);
    EXPECT_EQ(out0, out1); // channel 0 alone, copied to both outputs
    EXPECT_GT(peak(out0), 0.1);

    testhost none(44100);
    none.setglobal(pglobaldry, 1.0);
    signal garbage(8192, 0.7);
    none.block(garbage.data(), garbage.data(), 8192, out0.data(), out1.data(), 0);
    EXPECT_EQ(peak(out0), 0.0);
    EXPECT_EQ(peak(out1), 0.0);
}

// The wet signal's timing against the input. Unaligned, a hop runs on the sample that
// completes the frame, and bus entry j of that hop (made from frame sample j, N - 1 - j
// samples before the newest) plays j samples later: every output sample is the input of
// N - 1 samples before. Aligned, the hop's entries are written back over the H samples that
// ended at the hop, H - 1 earlier: N - H. (The dry ring is H shorter in both classes, so the
// wet signal trails the dry one by H samples, by design.)
TEST(BlockDriver, WetSignalTiming)
{
    const signal burst = [] {
        signal s(30000, 0.0);
        for (int i = 0; i < 4096; ++i)
            s[10000 + i] = 0.4 * std::sin(2.0 * pi * 1000.0 * i / 44100.0) * (0.5 - 0.5 * std::cos(2.0 * pi * i / 4096));
        return s;
    }();
    const double incentre = energycentre(burst);

    testhost unaligned(44100);
    unaligned.onevoice(0.0);
    EXPECT_NEAR(energycentre(unaligned.render(burst, {300}).left) - incentre, 2047.0, 1.0);

    testhost aligned(44100);
    aligned.onevoice(0.0);
    EXPECT_NEAR(energycentre(aligned.render(burst, {256}).left) - incentre, 1792.0, 1.0);
}

// ---- MIDI records ---------------------------------------------------------------------

// A voice that only sounds once the pitch wheel has moved: "Volume" 0, plus a controller
// modulator on the pitch wheel with "Amplitude 2" 1 on "Volume".
struct wheelhost : testhost
{
    wheelhost() : testhost(44100)
    {
        voiceparam(0, pvoicevolume).setvalue(0.0);
        setglobal(pglobalvolume, 1.0);
        const std::uint64_t p = model.newpatch(false, pkindmodulator);
        ppatchmod& wheel = *model.patches[p];
        wheel.params[ppatchamplitude1]->setvalue(0.0);
        wheel.params[ppatchamplitude2]->setvalue(1.0);
        wheel.params[ppatchsource]->setvalue(2.0);
        wheel.params[ppatchmidicc]->setvalue(0.0); // the pitch wheel
        model.assignpatch(pkindmodulator, 0, p, pvoicevolume);
    }

    void bend(std::int32_t offset)
    {
        krvstmidievent record;
        record.status = kmidipitchbend;
        record.number = kmidinumberbend;
        record.rawvalue = 16383;
        record.value = 1.0;
        record.sampleoffset = offset;
        model.midirecords.append(record);
    }

    stereo block(signal input)
    {
        stereo out{signal(input.size()), signal(input.size())};
        signal right = input;
        testhost::block(input.data(), right.data(), static_cast<unsigned>(input.size()), out.left.data(),
                        out.right.data());
        model.midirecords.clear();
        return out;
    }
};

std::size_t firstsound(const signal& s)
{
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] != 0.0)
            return i;
    return s.size();
}

// Fresh schedule, unaligned block of 2000: hops on samples 255, 511, ..., 1791. A voice's
// first hop of sound plays from that hop's sample on; its entry 0 is still 0 (the window's
// edge), so the first non-zero sample is the one after the hop.
TEST(MidiRecords, ARecordActsAtTheFirstHopAtOrAfterItsSample)
{
    wheelhost host;
    host.bend(300);
    const stereo out = host.block(harmonictone(220.0, 44100, 2000));
    EXPECT_EQ(firstsound(out.left), 512u); // hop 511
    // Channel 1 runs after channel 0 has applied the record: it sounds from its first hop.
    EXPECT_EQ(firstsound(out.right), 256u); // hop 255
}

TEST(MidiRecords, ARecordOnAHopSampleActsAtThatHop)
{
    wheelhost host;
    host.bend(255);
    EXPECT_EQ(firstsound(host.block(harmonictone(220.0, 44100, 2000)).left), 256u);
}

TEST(MidiRecords, RecordsAfterTheLastHopActAtTheEndOfTheBlock)
{
    wheelhost host;
    host.bend(1900); // the block's last hop is on sample 1791
    const stereo first = host.block(harmonictone(220.0, 44100, 2000));
    EXPECT_EQ(peak(first.left), 0.0);
    EXPECT_EQ(peak(first.right), 0.0);
    EXPECT_DOUBLE_EQ(host.model.patches[0]->channels[0].modoutput.load(), 1.0);
    // The next block's first hop (its sample 47) already has the wheel's value.
    const stereo next = host.block(harmonictone(220.0, 44100, 2000));
    EXPECT_EQ(firstsound(next.left), 48u);
    EXPECT_EQ(firstsound(next.right), 48u);
}

TEST(MidiRecords, AnEmptyBlockAppliesItsRecordsAndWritesNothing)
{
    wheelhost host;
    host.bend(0);
    signal in(1, 0.3), out0(1, 42.0), out1(1, 42.0);
    host.testhost::block(in.data(), in.data(), 0, out0.data(), out1.data());
    EXPECT_DOUBLE_EQ(host.model.patches[0]->channels[0].modoutput.load(), 1.0);
    EXPECT_EQ(out0[0], 42.0);
    EXPECT_EQ(out1[0], 42.0);
}

// ---- editor display -------------------------------------------------------------------

TEST(BlockDriver, HistoryPositionAdvancesPerSampleOfEachChannel)
{
    testhost host(44100);
    const double step = host.controller.tools.historystep.load();
    ASSERT_NEAR(step, 264.0 / (5.0 * 44100.0), 1e-15);
    signal in(1000, 0.0), out0(1000), out1(1000);
    host.block(in.data(), in.data(), 1000, out0.data(), out1.data());
    EXPECT_NEAR(host.controller.tools.historyposition.load(), 2000 * step, 1e-9);

    // Five seconds of one channel sweep the 264 slots once.
    host.setglobal(pglobalmonostereo, 0.0);
    signal second(44100, 0.0), o0(44100), o1(44100);
    for (int i = 0; i < 5; ++i)
        host.block(second.data(), second.data(), 44100, o0.data(), o1.data());
    EXPECT_NEAR(host.controller.tools.historyposition.load(), 2000 * step, 1e-6);
}

// ---- robustness -----------------------------------------------------------------------

// A shifted voice with an LFO on its pitch, through a delay on its own bus; with harmony, a
// second voice snaps to the detected note.
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

TEST(Robustness, OddBlockSizesAndBadSamples)
{
    constexpr double rate = 44100;
    signal in = harmonictone(196.0, rate, static_cast<std::size_t>(rate * 4));
    const signal clean = in;
    const std::size_t bad = static_cast<std::size_t>(rate);
    for (std::size_t i = 0; i < 3000; ++i)
    {
        const std::size_t k = i % 4;
        in[bad + i] = k == 0 ? std::numeric_limits<double>::quiet_NaN()
                      : k == 1 ? 1e30
                      : k == 2 ? -1e30
                               : std::numeric_limits<double>::infinity();
    }
    const std::vector<unsigned> pattern = {0, 1, 17, 256, 300, 4096};

    testhost host(rate);
    busymodel(host);
    const stereo out = host.render(in, pattern);
    EXPECT_TRUE(allfinite(out.left));
    EXPECT_TRUE(allfinite(out.right));

    // Once the bad stretch has left the frame and the rings, the level is that of a render
    // that never saw it.
    testhost reference(rate);
    busymodel(reference);
    const stereo expected = reference.render(clean, pattern);
    const std::size_t from = bad + 3000 + static_cast<std::size_t>(rate * 1.5);
    const double ratio = rms(out.left, from, in.size()) / rms(expected.left, from, in.size());
    EXPECT_GT(ratio, 0.7);
    EXPECT_LT(ratio, 1.4);
}

// Each block size on its own: with every patch kind at work, the dry path keeps its exact
// delay (the wet path at level 0 adds exactly nothing, so it stayed finite throughout); the
// wet path alone keeps the voice's pitch, 220 Hz seven semitones up.
TEST(Robustness, EveryBlockSizeAloneKeepsTheDelayAndTheSound)
{
    constexpr double rate = 44100;
    const double shifted = 220.0 * std::pow(2.0, 7.0 / 12.0); // 329.63 Hz
    for (unsigned n : {1u, 17u, 256u, 300u, 4096u})
    {
        const bool aligned = n % 256 == 0 && n <= 1792;
        const std::size_t delay = aligned ? 1535 : 1791;
        // Whole blocks only, so that the render stays in one block class.
        const auto wholeblocks = [n](std::size_t length) { return (length + n - 1) / n * n; };

        testhost dry(rate);
        busymodel(dry);
        dry.setglobal(pglobalwet, 0.0);
        dry.setglobal(pglobaldry, 1.0);
        dry.setglobal(pglobalvolume, 1.0);
        const signal tone = harmonictone(220.0, rate, wholeblocks(12000));
        const stereo heard = dry.render(tone, {n});
        for (std::size_t i = 0; i < tone.size(); ++i)
        {
            const double expected = i < delay ? 0.0 : tone[i - delay];
            ASSERT_EQ(heard.left[i], expected) << "block " << n << ", sample " << i;
        }

        // The patches would blur the pitch (the LFO, the harmony voice) or comb-filter it (the
        // delay): the shifted voice alone, and nothing dry.
        testhost wet(rate);
        wet.onevoice(7.0);
        const std::size_t from = 8192;
        const stereo shiftedout = wet.render(harmonictone(220.0, rate, wholeblocks(from + 65536)), {n});
        EXPECT_TRUE(allfinite(shiftedout.left)) << n;
        EXPECT_NEAR(fundamental(shiftedout.left, from, rate), shifted, 0.005 * shifted) << "block " << n;
        EXPECT_GT(rms(shiftedout.left, from, from + 65536), 0.05) << "block " << n;
    }
}

// Ten minutes of audio in mixed block sizes: after the first seconds (voices' buses and
// delay lines made, rings sized for both block classes), nothing more is allocated and the
// peak resident memory stays where it was. (One channel, and no pitch detection, the
// costliest step, to keep the run short.)
TEST(Robustness, TenMinutesRunWithoutAllocatingOrGrowing)
{
    constexpr double rate = 44100;
    constexpr std::size_t total = static_cast<std::size_t>(rate * 600);
    constexpr std::size_t warmup = static_cast<std::size_t>(rate * 10);
    const std::vector<unsigned> pattern = {256, 300, 17, 4096, 1, 512, 1792};
    testhost host(rate);
    busymodel(host, false);
    host.setglobal(pglobalmonostereo, 0.0);

    signal left(4096), right(4096), out0(4096), out1(4096);
    std::uint32_t seed = 1;
    std::size_t done = 0, k = 0;
    std::uint64_t allocationsafterwarmup = 0;
    long residentafterwarmup = 0;
    double phase = 0.0;
    bool warm = false;
    while (done < total)
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
        done += n;
        if (!warm && done >= warmup)
        {
            warm = true;
            allocationsafterwarmup = allocation_counter::count();
            residentafterwarmup = peakresidentkilobytes();
        }
        ASSERT_TRUE(std::isfinite(out0[0]) && std::isfinite(out1[0]));
    }
    EXPECT_EQ(allocation_counter::count(), allocationsafterwarmup);
    EXPECT_LE(peakresidentkilobytes() - residentafterwarmup, 1024); // kilobytes
}
} // namespace
