// The renderer end to end: MIDI from a file reaching a modulator at the right hop, the rate
// override, channel layouts, the pitch of a shifted voice through the file path, the end of
// the input and the engine's latency kept in the output, and the audio and MIDI file readers
// themselves.
#include "renderfixture.h"

#include "engine/pprojdata.h"
#include "tools/render/renderer.h"
#include "tools/render/renderfiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

namespace
{
using rendertest::runrender;

// A format-0 MIDI file with 960 ticks per quarter at 960000 microseconds per quarter: one
// tick is one millisecond. Each event is (tick, status, data1, data2).
struct midievent
{
    std::uint32_t tick;
    std::uint8_t status, data1, data2;
};

std::vector<std::uint8_t> midifile(const std::vector<midievent>& events)
{
    std::vector<std::uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x0E, 0xA6, 0x00}; // tempo 960000
    std::uint32_t last = 0;
    for (const midievent& e : events)
    {
        std::uint32_t delta = e.tick - last;
        last = e.tick;
        std::vector<std::uint8_t> vlq = {static_cast<std::uint8_t>(delta & 0x7F)};
        while ((delta >>= 7) != 0)
            vlq.insert(vlq.begin(), static_cast<std::uint8_t>(0x80 | (delta & 0x7F)));
        track.insert(track.end(), vlq.begin(), vlq.end());
        track.push_back(e.status);
        track.push_back(e.data1);
        if ((e.status & 0xF0) != 0xD0 && (e.status & 0xF0) != 0xC0)
            track.push_back(e.data2);
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x03, 0xC0, // 960
                                      'M', 'T', 'r', 'k'};
    const auto size = static_cast<std::uint32_t>(track.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        file.push_back(static_cast<std::uint8_t>(size >> shift));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

// One voice that sounds only through a modulator listening to the modulation wheel
// (controller 1, "MIDI CC" menu entry 3 + 1): "Volume" 0 plus the wheel's 0..1.
std::string wheelstate()
{
    quillrender::enginerenderer engine(48000);
    pprojdata& model = engine.model();
    model.params[pglobalvolume]->setvalue(1.0);
    model.voices[0]->params[pvoicevolume]->setvalue(0.0);
    const std::uint64_t p = model.newpatch(false, pkindmodulator);
    ppatchmod& wheel = *model.patches[p];
    wheel.params[ppatchamplitude1]->setvalue(0.0);
    wheel.params[ppatchamplitude2]->setvalue(1.0);
    wheel.params[ppatchsource]->setvalue(2.0);
    wheel.params[ppatchmidicc]->setvalue(4.0);
    model.assignpatch(pkindmodulator, 0, p, pvoicevolume);
    costringa text;
    model.writestate(text);
    return text.str();
}

std::size_t firstsound(const std::vector<double>& s)
{
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] != 0.0)
            return i;
    return s.size();
}

struct midicase
{
    const char* block;
    std::size_t firstsound;
};

class RenderMidi : public ::testing::TestWithParam<midicase>
{
};

// At 48000 Hz hops fall on samples 255, 511, 767, ... whatever the block size. The wheel
// moves at 10 ms (sample 480), so the voice sounds from hop 511 on. Its first entry is still
// 0 (the window's edge). Unaligned blocks play the hop's entries from the hop's sample on:
// the first non-zero sample is 512. Hop-aligned blocks (512) write them back over the hop's
// own 256 samples, 256..511: the first non-zero sample is 257.
TEST_P(RenderMidi, ControllerInAFileMovesItsModulatorAtTheNextHop)
{
    rendertest::scratchdir dir;
    rendertest::writewav(dir.file("in.wav"), 48000, {rendertest::tone(220, 48000, 4800)});
    rendertest::writetext(dir.file("state.txt"), wheelstate());
    rendertest::writebytes(dir.file("wheel.mid"), midifile({{10, 0xB3, 1, 127}}));

    const auto run = runrender({"--state", dir.file("state.txt"), "--midi", dir.file("wheel.mid"), "--block",
                                GetParam().block, dir.file("in.wav"), dir.file("out.wav")});
    ASSERT_EQ(run.exitcode, 0) << run.errors;
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(firstsound(out[0]), GetParam().firstsound);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, RenderMidi,
                         ::testing::Values(midicase{"512", 257}, midicase{"300", 512}, midicase{"1", 512},
                                           midicase{"4096", 512}));

TEST(RenderMidiFile, WithoutTheControllerTheVoiceStaysSilent)
{
    rendertest::scratchdir dir;
    rendertest::writewav(dir.file("in.wav"), 48000, {rendertest::tone(220, 48000, 4800)});
    rendertest::writetext(dir.file("state.txt"), wheelstate());
    // Another controller, a note and a bend: none of them is the wheel.
    rendertest::writebytes(dir.file("other.mid"),
                           midifile({{1, 0xB0, 2, 127}, {2, 0x90, 60, 100}, {3, 0xE0, 0, 64}}));
    ASSERT_EQ(runrender({"-s", dir.file("state.txt"), "-m", dir.file("other.mid"), dir.file("in.wav"),
                         dir.file("out.wav")})
                  .exitcode,
              0);
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(firstsound(out[0]), out[0].size());
}

TEST(RenderMidiFile, MessagesLandAtTheirSamplePositions)
{
    rendertest::scratchdir dir;
    rendertest::writebytes(dir.file("t.mid"), midifile({{0, 0x90, 60, 100}, {10, 0xB0, 7, 127}, {250, 0x80, 60, 0}}));
    std::vector<quillrender::timedmidimessage> messages;
    std::string error;
    ASSERT_TRUE(quillrender::readmidifile(dir.file("t.mid"), 44100, messages, error)) << error;
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].sample, 0);
    EXPECT_EQ(messages[1].sample, 441);
    EXPECT_EQ(messages[2].sample, 11025);
    EXPECT_EQ(messages[1].bytes[0], 0xB0);
    EXPECT_EQ(messages[1].bytes[2], 127);
}

// ---- audio through the file path ------------------------------------------------------

TEST(RenderAudio, SevenSemitonesUpThroughTheTool)
{
    rendertest::scratchdir dir;
    rendertest::writewav(dir.file("in.wav"), 44100, {rendertest::tone(220, 44100, 88200)});
    quillrender::enginerenderer engine(44100);
    engine.model().voices[0]->params[pvoicepitch]->setvalue(0.5 + 7.0 / 24.0);
    costringa state;
    engine.model().writestate(state);
    rendertest::writetext(dir.file("up.txt"), state.str());

    ASSERT_EQ(runrender({"-s", dir.file("up.txt"), dir.file("in.wav"), dir.file("out.wav")}).exitcode, 0);
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 1u);
    ASSERT_EQ(out[0].size(), 88200u + 2047u);
    const double expected = 220.0 * std::pow(2.0, 7.0 / 12.0);
    EXPECT_NEAR(rendertest::fundamental(out[0], 44100, 44100), expected, 0.005 * expected);
}

// The file says 22050 Hz; processing at 44100 Hz treats the same samples as a tone an
// octave higher, and the output file carries the new rate.
TEST(RenderAudio, RateOverride)
{
    rendertest::scratchdir dir;
    rendertest::writewav(dir.file("in.wav"), 22050, {rendertest::tone(110, 22050, 60000)});
    ASSERT_EQ(runrender({"--rate", "44100", dir.file("in.wav"), dir.file("out.wav")}).exitcode, 0);
    double rate = 0.0;
    const auto out = rendertest::readwav(dir.file("out.wav"), &rate);
    EXPECT_EQ(rate, 44100.0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(rendertest::fundamental(out[0], 20000, 44100), 220.0, 1.1);
}

// Stereo in, stereo out, each channel from its own input; the default state's dry level is
// 0, so a silent channel stays silent.
TEST(RenderAudio, StereoKeepsItsChannels)
{
    rendertest::scratchdir dir;
    rendertest::writewav(dir.file("in.wav"), 44100,
                         {rendertest::tone(220, 44100, 20000), std::vector<double>(20000, 0.0)});
    ASSERT_EQ(runrender({dir.file("in.wav"), dir.file("out.wav")}).exitcode, 0);
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 2u);
    double left = 0.0, right = 0.0;
    for (std::size_t i = 0; i < out[0].size(); ++i)
    {
        left = std::max(left, std::abs(out[0][i]));
        right = std::max(right, std::abs(out[1][i]));
    }
    EXPECT_GT(left, 0.05);
    EXPECT_EQ(right, 0.0);
}

// The whole input through the dry path only: voices silent, dry and global volume at 1.
std::string drystate()
{
    quillrender::enginerenderer engine(44100);
    pprojdata& model = engine.model();
    model.params[pglobalvolume]->setvalue(1.0);
    model.params[pglobaldry]->setvalue(1.0);
    model.voices[0]->params[pvoicevolume]->setvalue(0.0);
    costringa text;
    model.writestate(text);
    return text.str();
}

struct drytailcase
{
    const char* block;
    std::size_t delay; // 1535 when the blocks are hop-aligned, 1791 when not
};

void PrintTo(const drytailcase& c, std::ostream* os)
{
    *os << "block " << c.block << ", delay " << c.delay;
}

class RenderDryTail : public ::testing::TestWithParam<drytailcase>
{
};

// 5000 samples are no whole number of blocks: the last block is padded, not shortened, so the
// block class and with it the dry delay hold to the input's last sample, which the output
// carries in full, followed by silence up to the latency of 2047 samples.
TEST_P(RenderDryTail, TheDrySignalLastsToTheInputsLastSample)
{
    rendertest::scratchdir dir;
    constexpr std::size_t length = 5000;
    rendertest::writewav(dir.file("in.wav"), 44100, {rendertest::tone(440, 44100, length)});
    rendertest::writetext(dir.file("dry.txt"), drystate());
    const auto run =
        runrender({"-s", dir.file("dry.txt"), "-b", GetParam().block, dir.file("in.wav"), dir.file("out.wav")});
    ASSERT_EQ(run.exitcode, 0) << run.errors;

    const auto in = rendertest::readwav(dir.file("in.wav"));
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 1u);
    const std::size_t delay = GetParam().delay;
    for (std::size_t i = 0; i < out[0].size(); ++i)
    {
        const double expected = i >= delay && i - delay < length ? in[0][i - delay] : 0.0;
        ASSERT_NEAR(out[0][i], expected, 1e-6) << "sample " << i;
    }
    ASSERT_EQ(out[0].size(), length + 2047);
    EXPECT_NE(out[0][length - 1 + delay], 0.0); // the input's last sample, delayed
}

INSTANTIATE_TEST_SUITE_P(BlockClasses, RenderDryTail,
                         ::testing::Values(drytailcase{"512", 1535}, drytailcase{"300", 1791}),
                         [](const ::testing::TestParamInfo<drytailcase>& info) {
                             return std::string("block") + info.param.block;
                         });

class RenderWetTail : public ::testing::TestWithParam<double>
{
};

// The shifted voices trail the input by up to N - 1 samples (2047, or 4095 from 96000 Hz up):
// the output runs that much longer, and the sound of the input's last stretch is in it.
TEST_P(RenderWetTail, TheOutputRunsOnByTheLatencyWithTheLastSoundInIt)
{
    const double rate = GetParam();
    const std::size_t latency = rate >= 96000 ? 4095 : 2047;
    const std::size_t length = static_cast<std::size_t>(rate * 0.5) + 77;
    rendertest::scratchdir dir;
    rendertest::writewav(dir.file("in.wav"), rate, {rendertest::tone(330, rate, length)});
    ASSERT_EQ(runrender({dir.file("in.wav"), dir.file("out.wav")}).exitcode, 0);
    const auto out = rendertest::readwav(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 1u);
    ASSERT_EQ(out[0].size(), length + latency);

    const auto rms = [&](std::size_t from, std::size_t to) {
        double sum = 0.0;
        for (std::size_t i = from; i < to; ++i)
            sum += out[0][i] * out[0][i];
        return std::sqrt(sum / static_cast<double>(to - from));
    };
    const double steady = rms(length / 2, length);
    ASSERT_GT(steady, 0.05);
    // The default blocks of 512 are hop-aligned below 96000 Hz, and the wet signal trails by
    // N - H: 1792 samples there, 3584 above. Most of that stretch after the input's end still
    // sounds at full level.
    const std::size_t trail = rate >= 96000 ? 3584 : 1792;
    EXPECT_GT(rms(length, length + trail / 2), 0.7 * steady);
}

INSTANTIATE_TEST_SUITE_P(Rates, RenderWetTail, ::testing::Values(44100.0, 96000.0));

// The engine side alone: the same input in one block or in many gives the same output as
// long as the block class stays the same.
TEST(RenderEngine, BlockSizesOfOneClassGiveTheSameOutput)
{
    const std::vector<double> in = rendertest::tone(330, 44100, 12000);
    const auto render = [&](unsigned block) {
        quillrender::enginerenderer engine(44100, block);
        std::vector<double> out(in.size());
        for (std::size_t at = 0; at < in.size(); at += block)
        {
            const unsigned n = static_cast<unsigned>(std::min<std::size_t>(block, in.size() - at));
            const double* i[1] = {in.data() + at};
            double* o[1] = {out.data() + at};
            engine.renderblock(i, 1, n, o);
        }
        return out;
    };
    const std::vector<double> whole = render(4001);
    EXPECT_EQ(render(300), whole);
    EXPECT_EQ(render(17), whole);
}

TEST(RenderFiles, FloatWavRoundTripIsExact)
{
    rendertest::scratchdir dir;
    std::vector<double> left = rendertest::tone(1000, 96000, 5000), right(5000);
    for (std::size_t i = 0; i < right.size(); ++i)
        right[i] = static_cast<float>(std::sin(0.001 * i) * 1.5); // beyond full scale is kept
    for (double& x : left)
        x = static_cast<float>(x);
    rendertest::writewav(dir.file("rt.wav"), 96000, {left, right});
    double rate = 0.0;
    const auto back = rendertest::readwav(dir.file("rt.wav"), &rate);
    EXPECT_EQ(rate, 96000.0);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], left);
    EXPECT_EQ(back[1], right);
}

TEST(RenderFiles, StateFileIsCutAtItsFirstNul)
{
    rendertest::scratchdir dir;
    rendertest::writetext(dir.file("s.txt"), std::string("QLT-VERSION:1.2a,^PAR\0,junk", 28));
    std::string text, error;
    ASSERT_TRUE(quillrender::readstatefile(dir.file("s.txt"), text, error)) << error;
    EXPECT_EQ(text, "QLT-VERSION:1.2a,^PAR");
}
} // namespace
