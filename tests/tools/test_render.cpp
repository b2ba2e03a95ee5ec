// The renderer end to end as a user runs it, and the demo material it ships with.
#include "engine/framesignals.h"
#include "engine/pprojdata.h"
#include "scratchdir.h"
#include "tests/plugin/statetexts.h"
#include "tools/demo-input/demostate.h"
#include "tools/render/renderer.h"
#include "tools/render/renderfiles.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>

namespace
{
using namespace quilltest; // the state texts the plug-in's tests build

std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct toolrun
{
    int exitcode = -1;
    std::string errors;
};

// quill-render run as a user runs it.
toolrun runrender(const std::vector<std::string>& arguments)
{
    const scratchdir dir;
    std::string command = quoted(QUILL_RENDER_TOOL);
    for (const std::string& a : arguments)
        command += " " + quoted(a);
    const int status = std::system((command + " >/dev/null 2>" + quoted(dir.file("stderr"))).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, filebytes(dir.file("stderr"))};
}

void writewav(const std::string& path, double rate, const std::vector<std::vector<double>>& channels)
{
    quillrender::audiowriter writer;
    std::string error;
    std::vector<const double*> ptr;
    for (const auto& c : channels)
        ptr.push_back(c.data());
    ASSERT_TRUE(writer.open(path, rate, static_cast<int>(channels.size()), error)) << error;
    ASSERT_TRUE(writer.write(ptr.data(), static_cast<int>(channels[0].size())));
    ASSERT_TRUE(writer.close(error)) << error;
}

std::vector<std::vector<double>> readwav(const std::string& path)
{
    quillrender::audioreader reader;
    std::string error;
    EXPECT_TRUE(reader.open(path, error)) << error;
    std::vector<std::vector<double>> channels(reader.channels(), std::vector<double>(reader.length()));
    std::vector<double*> ptr;
    for (auto& c : channels)
        ptr.push_back(c.data());
    EXPECT_EQ(reader.read(ptr.data(), static_cast<int>(reader.length())), reader.length());
    return channels;
}

// A format-0 MIDI file where one tick is one millisecond; events are {tick, status, data1, data2}, deltas
// under 128.
std::string midifile(const std::vector<std::array<unsigned, 4>>& events)
{
    std::string track = {0x00, '\xFF', 0x51, 0x03, 0x0E, '\xA6', 0x00}; // tempo 960000
    unsigned last = 0;
    for (const auto& [tick, status, data1, data2] : events)
    {
        track += static_cast<char>(tick - last);
        track += static_cast<char>(status);
        track += static_cast<char>(data1);
        track += static_cast<char>(data2);
        last = tick;
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

// A voice sounding only through a modulator on controller 1, moved at sample 480: hops fall on 255,
// 511, ..., so hop 511 takes it; unaligned blocks play from 512, aligned ones back over 256..511 (257).
TEST(RenderMidi, ControllerInAFileMovesItsModulatorAtTheFirstHopAtOrAfterIt)
{
    const int controllerone = 3 + 1; // "MIDI CC" entries: three fixed, then controller 0, 1, ...
    const std::string wheel =
        statetext({globals(), controllermodulator(controllerone, 0), voice(0.5, 0.0), assignment(0, voicevolume)});
    const std::string moved = midifile({{10, 0xB3, 1, 127}});
    const std::string later = midifile({{20, 0xB3, 1, 127}}); // sample 960: hop 1023
    const std::string others = midifile({{1, 0xB0, 2, 127}, {2, 0x90, 60, 100}, {3, 0xE0, 0, 64}});
    const std::tuple<const char*, const std::string&, std::ptrdiff_t> rows[] = {
        {"512", moved, 257},  {"300", moved, 512},          {"1", moved, 512},
        {"4096", moved, 512}, {"4096", later, 1024}, // a record's place in a long block counts
        {"512", later, 769},  {"300", others, 4800 + 2047},
    };
    scratchdir dir;
    writewav(dir.file("in.wav"), 48000, {framesignals::harmonictone(220, 48000, 4800, 4)});
    std::ofstream(dir.file("state.txt"), std::ios::binary) << wheel;
    for (const auto& [block, midi, firstsound] : rows)
    {
        SCOPED_TRACE(::testing::Message() << "blocks of " << block << ", expected " << firstsound);
        std::ofstream(dir.file("in.mid"), std::ios::binary) << midi;
        const auto run = runrender({"--state", dir.file("state.txt"), "--midi", dir.file("in.mid"), "--block", block,
                                    dir.file("in.wav"), dir.file("out.wav")});
        ASSERT_EQ(run.exitcode, 0) << run.errors;
        const auto out = readwav(dir.file("out.wav"));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(std::find_if(out[0].begin(), out[0].end(), [](double x) { return x != 0.0; }) - out[0].begin(),
                  firstsound);
    }
}

// The output runs on by the latency (N - 1). 5000 samples are no whole number of blocks: the
// padded last block keeps the dry delay, by block class and rate, to the input's last sample.
TEST(RenderTail, TheDrySignalLastsToTheInputsLastSampleWithinTheLatency)
{
    constexpr std::size_t length = 5000;
    const std::tuple<double, const char*, std::size_t, std::size_t> rows[] = {
        {44100, "512", 1535, 2047},
        {44100, "300", 1791, 2047},
        {96000, "512", 3071, 4095},
        {96000, "300", 3583, 4095},
    };
    scratchdir dir;
    for (const auto& [rate, block, delay, latency] : rows)
    {
        SCOPED_TRACE(::testing::Message() << rate << " Hz, blocks of " << block);
        const std::string dry = statefor(rate, [](pprojdata& model) {
            model.params[pglobaldry]->setvalue(1.0);
            model.voices[0]->params[pvoicevolume]->setvalue(0.0);
        });
        writewav(dir.file("in.wav"), rate, {framesignals::harmonictone(440, rate, length, 4)});
        std::ofstream(dir.file("dry.txt"), std::ios::binary) << dry;
        const auto run = runrender({"-s", dir.file("dry.txt"), "-b", block, dir.file("in.wav"), dir.file("out.wav")});
        ASSERT_EQ(run.exitcode, 0) << run.errors;
        const auto in = readwav(dir.file("in.wav"));
        const auto out = readwav(dir.file("out.wav"));
        ASSERT_EQ(out.size(), 1u);
        ASSERT_EQ(out[0].size(), length + latency);
        for (std::size_t i = 0; i < out[0].size(); ++i)
            ASSERT_NEAR(out[0][i], i >= delay && i - delay < length ? in[0][i - delay] : 0.0, 1e-6) << "sample " << i;
        EXPECT_NE(out[0][length - 1 + delay], 0.0);
    }
}

TEST(RenderFiles, StateFileIsCutAtItsFirstNul)
{
    scratchdir dir;
    std::ofstream(dir.file("s.txt"), std::ios::binary) << std::string("QLT-VERSION:1.2a,^PAR\0,junk", 28);
    std::string text;
    std::string error;
    ASSERT_TRUE(quillrender::readstatefile(dir.file("s.txt"), text, error)) << error;
    EXPECT_EQ(text, "QLT-VERSION:1.2a,^PAR");
}

TEST(RenderCommandLine, FileProblemsAndWrongArgumentsAreNamedWithANonZeroExitAndGarbageStateStillRenders)
{
    constexpr int failure = 1;
    constexpr int usage = 2;
    scratchdir dir;
    const std::string in = dir.file("in.wav");
    const std::string out = dir.file("out.wav");
    const std::vector<double> t = framesignals::harmonictone(220, 44100, 441, 4);
    writewav(in, 44100, {t});
    writewav(dir.file("three.wav"), 44100, {t, t, t});
    std::ofstream(dir.file("text.wav"), std::ios::binary) << "this is not a WAV file\n";
    std::ofstream(dir.file("bad.mid"), std::ios::binary) << "MThd but not really";
    std::ofstream(dir.file("garbage.txt"), std::ios::binary) << "^PAT,^PAM,,zz,\x01\xff,^VOI,1e999,-3,^PAR,nan";
    std::ofstream(out, std::ios::binary) << std::string(100000,
                                                        'x'); // an old output, replaced by the one that succeeds
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{dir.file("nothing.wav"), out}, failure, "input file not found: " + dir.file("nothing.wav")},
        {{dir.file("text.wav"), out}, failure, "not an audio file"},
        {{dir.file("three.wav"), out}, failure, "3 channels; mono or stereo expected"},
        {{"--state", dir.file("none.txt"), in, out}, failure, "state file not found or unreadable"},
        {{"-m", dir.file("bad.mid"), in, out}, failure, "not a standard MIDI file"},
        {{in, dir.file("no/such/folder/out.wav")}, failure, "its folder does not exist"},
        {{}, usage, ""},
        {{"--bogus", in, out}, usage, ""},
        {{"--block", "0", in, out}, usage, "block size must be"},
        {{"--rate", "nan", in, out}, usage, ""},
        {{"--help"}, 0, ""},
        {{"--state", dir.file("garbage.txt"), "-b", "17", in, out}, 0, ""}, // garbage state: the model as it was
    };
    for (const auto& [arguments, exitcode, message] : rows)
    {
        SCOPED_TRACE(arguments.empty() ? std::string("no arguments") : arguments[0]);
        const auto run = runrender(arguments);
        EXPECT_EQ(run.exitcode, exitcode) << run.errors;
        EXPECT_NE(run.errors.find(message), std::string::npos) << run.errors;
    }
    const auto rendered = readwav(out);
    ASSERT_EQ(rendered.size(), 1u);
    EXPECT_EQ(rendered[0].size(), 441u + 2047u);
}

TEST(Demo, StateFileMatchesTheWriter)
{
    EXPECT_EQ(filebytes(std::string(QUILL_SOURCE_DIR) + "/resources/demo/demo-state.txt"), quilldemo::demostatetext());
}
} // namespace
