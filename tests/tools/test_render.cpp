// The renderer end to end as a user runs it: MIDI from a file reaching a modulator at the
// right hop, the dry signal and the latency tail kept, channels and rate, its file readers,
// and its command line, where every file problem is named with a non-zero exit.
#include "renderfixture.h"

#include "engine/pprojdata.h"
#include "tools/render/renderer.h"
#include "tools/render/renderfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>

namespace
{
using rendertest::runrender;

// A format-0 MIDI file at 960 ticks per quarter and 960000 microseconds per quarter: one tick
// is one millisecond. Events are {tick, status, data1, data2}.
std::string midifile(const std::vector<std::array<unsigned, 4>>& events)
{
    std::string track = {0x00, '\xFF', 0x51, 0x03, 0x0E, '\xA6', 0x00}; // tempo 960000
    unsigned last = 0;
    for (const auto& [tick, status, data1, data2] : events)
    {
        std::string vlq(1, static_cast<char>((tick - last) & 0x7F));
        for (unsigned delta = (tick - last) >> 7; delta != 0; delta >>= 7)
            vlq.insert(vlq.begin(), static_cast<char>(0x80 | (delta & 0x7F)));
        last = tick;
        track += vlq + static_cast<char>(status) + static_cast<char>(data1) + static_cast<char>(data2);
    }
    track += std::string{0x00, '\xFF', 0x2F, 0x00};
    std::string file = std::string("MThd\0\0\0\6\0\0\0\1\3\xC0MTrk", 18);
    for (int shift = 24; shift >= 0; shift -= 8)
        file += static_cast<char>(track.size() >> shift);
    return file + track;
}

// The state text of a fresh model after setup.
std::string statefor(double rate, const std::function<void(pprojdata&)>& setup)
{
    quillrender::enginerenderer engine(rate);
    engine.model().params[pglobalvolume]->setvalue(1.0);
    setup(engine.model());
    costringa text;
    engine.model().writestate(text);
    return text.str();
}

std::size_t firstsound(const std::vector<double>& s)
{
    return static_cast<std::size_t>(std::find_if(s.begin(), s.end(), [](double x) { return x != 0.0; }) - s.begin());
}

// One voice that sounds only through a modulator on the modulation wheel (controller 1, "MIDI
// CC" entry 4), moved at 10 ms = sample 480 at 48000 Hz. Hops fall on 255, 511, ... whatever
// the block size, so it sounds from hop 511; its entry 0 is 0 (the window's edge). Unaligned
// blocks play the hop from its sample on: first sound at 512. Aligned blocks (512) write it
// back over the hop's own samples 256..511: 257. Other messages leave the voice silent.
TEST(RenderMidi, ControllerInAFileMovesItsModulatorAtTheFirstHopAtOrAfterIt)
{
    const std::string wheel = statefor(48000, [](pprojdata& model) {
        model.voices[0]->params[pvoicevolume]->setvalue(0.0);
        const std::uint64_t p = model.newpatch(false, pkindmodulator);
        model.patches[p]->params[ppatchamplitude1]->setvalue(0.0);
        model.patches[p]->params[ppatchamplitude2]->setvalue(1.0);
        model.patches[p]->params[ppatchsource]->setvalue(2.0);
        model.patches[p]->params[ppatchmidicc]->setvalue(4.0);
        model.assignpatch(pkindmodulator, 0, p, pvoicevolume);
    });
    const std::string moved = midifile({{10, 0xB3, 1, 127}});
    const std::string others = midifile({{1, 0xB0, 2, 127}, {2, 0x90, 60, 100}, {3, 0xE0, 0, 64}});
    struct row
    {
        const char* block;
        const std::string& midi;
        std::size_t firstsound;
    };
    for (const row& r : {row{"512", moved, 257}, row{"300", moved, 512}, row{"1", moved, 512}, row{"4096", moved, 512},
                         row{"300", others, 4800 + 2047}})
    {
        SCOPED_TRACE(::testing::Message() << "blocks of " << r.block << ", expected " << r.firstsound);
        rendertest::scratchdir dir;
        rendertest::writewav(dir.file("in.wav"), 48000, {rendertest::tone(220, 48000, 4800)});
        rendertest::writetext(dir.file("state.txt"), wheel);
        rendertest::writetext(dir.file("in.mid"), r.midi);
        const auto run = runrender({"--state", dir.file("state.txt"), "--midi", dir.file("in.mid"), "--block", r.block,
                                    dir.file("in.wav"), dir.file("out.wav")});
        ASSERT_EQ(run.exitcode, 0) << run.errors;
        const auto out = rendertest::readwav(dir.file("out.wav"));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(firstsound(out[0]), r.firstsound);
    }
}

// 5000 samples are no whole number of blocks: the last block is padded, not shortened, so the
// dry delay (1535 aligned, 1791 not) holds to the input's last sample, which the output
// carries in full, followed by silence up to the latency of 2047 samples.
TEST(RenderTail, TheDrySignalLastsToTheInputsLastSample)
{
    constexpr std::size_t length = 5000;
    const std::string dry = statefor(44100, [](pprojdata& model) {
        model.params[pglobaldry]->setvalue(1.0);
        model.voices[0]->params[pvoicevolume]->setvalue(0.0);
    });
    for (const auto& [block, delay] : {std::pair<const char*, std::size_t>{"512", 1535}, {"300", 1791}})
    {
        SCOPED_TRACE(block);
        rendertest::scratchdir dir;
        rendertest::writewav(dir.file("in.wav"), 44100, {rendertest::tone(440, 44100, length)});
        rendertest::writetext(dir.file("dry.txt"), dry);
        ASSERT_EQ(runrender({"-s", dir.file("dry.txt"), "-b", block, dir.file("in.wav"), dir.file("out.wav")}).exitcode, 0);
        const auto in = rendertest::readwav(dir.file("in.wav"));
        const auto out = rendertest::readwav(dir.file("out.wav"));
        ASSERT_EQ(out.size(), 1u);
        ASSERT_EQ(out[0].size(), length + 2047);
        for (std::size_t i = 0; i < out[0].size(); ++i)
            ASSERT_NEAR(out[0][i], i >= delay && i - delay < length ? in[0][i - delay] : 0.0, 1e-6) << "sample " << i;
        EXPECT_NE(out[0][length - 1 + delay], 0.0);
    }
}

// The voices trail the input by up to N - 1 samples (2047, 4095 from 96000 Hz up): the output
// runs that much longer. Default blocks of 512 are aligned below 96000 Hz and the wet signal
// trails by N - H (1792, 3584 above): the first half of that stretch still sounds in full.
TEST(RenderTail, TheOutputRunsOnByTheLatencyWithTheLastSoundInIt)
{
    for (const auto& [rate, latency, trail] :
         {std::tuple<double, std::size_t, std::size_t>{44100, 2047, 1792}, {96000, 4095, 3584}})
    {
        SCOPED_TRACE(rate);
        const std::size_t length = static_cast<std::size_t>(rate * 0.5) + 77;
        rendertest::scratchdir dir;
        rendertest::writewav(dir.file("in.wav"), rate, {rendertest::tone(330, rate, length)});
        ASSERT_EQ(runrender({dir.file("in.wav"), dir.file("out.wav")}).exitcode, 0);
        const auto out = rendertest::readwav(dir.file("out.wav"));
        ASSERT_EQ(out.size(), 1u);
        ASSERT_EQ(out[0].size(), length + latency);
        const auto rms = [&o = out[0]](std::size_t from, std::size_t to) {
            double sum = 0.0;
            for (std::size_t i = from; i < to; ++i)
                sum += o[i] * o[i];
            return std::sqrt(sum / static_cast<double>(to - from));
        };
        const double steady = rms(length / 2, length);
        ASSERT_GT(steady, 0.05);
        EXPECT_GT(rms(length, length + trail / 2), 0.7 * steady);
    }
}

// Stereo stays stereo, each channel from its own input (the default dry level is 0, so a
// silent channel stays silent), and --rate replaces the file's rate.
TEST(RenderAudio, StereoAndRateOverride)
{
    rendertest::scratchdir dir;
    rendertest::writewav(dir.file("in.wav"), 22050, {rendertest::tone(110, 22050, 20000), std::vector<double>(20000)});
    ASSERT_EQ(runrender({"--rate", "44100", dir.file("in.wav"), dir.file("out.wav")}).exitcode, 0);
    double rate = 0.0;
    const auto out = rendertest::readwav(dir.file("out.wav"), &rate);
    EXPECT_EQ(rate, 44100.0);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_LT(firstsound(out[0]), out[0].size());
    EXPECT_EQ(firstsound(out[1]), out[1].size());
}

TEST(RenderFiles, StateFileIsCutAtItsFirstNul)
{
    rendertest::scratchdir dir;
    rendertest::writetext(dir.file("s.txt"), std::string("QLT-VERSION:1.2a,^PAR\0,junk", 28));
    std::string text, error;
    ASSERT_TRUE(quillrender::readstatefile(dir.file("s.txt"), text, error)) << error;
    EXPECT_EQ(text, "QLT-VERSION:1.2a,^PAR");
}

// ---- the command line -----------------------------------------------------------------

TEST(RenderCommandLine, FileProblemsAndWrongArgumentsAreNamedWithANonZeroExit)
{
    constexpr int failure = 1, usage = 2;
    rendertest::scratchdir dir;
    const std::string in = dir.file("in.wav"), out = dir.file("out.wav");
    const std::vector<double> t = rendertest::tone(220, 44100, 441);
    rendertest::writewav(in, 44100, {t});
    rendertest::writewav(dir.file("three.wav"), 44100, {t, t, t});
    rendertest::writetext(dir.file("text.wav"), "this is not a WAV file\n");
    rendertest::writetext(dir.file("bad.mid"), "MThd but not really");
    struct row
    {
        std::vector<std::string> arguments;
        int exitcode;
        std::string message;
    };
    const row rows[] = {
        {{dir.file("nothing.wav"), out}, failure, "input file not found: " + dir.file("nothing.wav")},
        {{dir.file("text.wav"), out}, failure, "not an audio file"},
        {{dir.file("three.wav"), out}, failure, "3 channels; mono or stereo expected"},
        {{"--state", dir.file("none.txt"), in, out}, failure, "state file not found or unreadable"},
        {{"--midi", dir.file("none.mid"), in, out}, failure, "MIDI file not found"},
        {{"-m", dir.file("bad.mid"), in, out}, failure, "not a standard MIDI file"},
        {{in, dir.file("no/such/folder/out.wav")}, failure, "its folder does not exist"},
        {{}, usage, ""},
        {{in, out, dir.file("b.wav")}, usage, ""},
        {{"--bogus", in, out}, usage, ""},
        {{"--block", "0", in, out}, usage, "block size must be"},
        {{"--block", "99999999", in, out}, usage, "block size must be"},
        {{"--rate", "nan", in, out}, usage, ""},
        {{"--rate", "1e9", in, out}, usage, ""},
        {{"--help"}, 0, ""},
    };
    for (const row& r : rows)
    {
        const auto run = runrender(r.arguments);
        EXPECT_EQ(run.exitcode, r.exitcode) << run.errors;
        EXPECT_NE(run.errors.find(r.message), std::string::npos) << run.errors;
    }
}

// Any text is a state to the engine (garbage leaves the model as it was), and an existing
// output file is replaced: the output is the input plus the latency.
TEST(RenderCommandLine, MalformedStateTextStillRendersOverAnOldOutput)
{
    rendertest::scratchdir dir;
    rendertest::writewav(dir.file("in.wav"), 44100, {rendertest::tone(220, 44100, 4410)});
    rendertest::writetext(dir.file("garbage.txt"), "^PAT,^PAM,,zz,\x01\xff,^VOI,1e999,-3,^PAR,nan");
    rendertest::writetext(dir.file("out.wav"), std::string(100000, 'x'));
    const auto run = runrender({"--state", dir.file("garbage.txt"), "-b", "17", dir.file("in.wav"), dir.file("out.wav")});
    EXPECT_EQ(run.exitcode, 0) << run.errors;
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size(), 4410u + 2047u);
}
} // namespace
