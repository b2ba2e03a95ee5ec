// Audio through the plug-in, measured: pitch of a shifted voice, dry timing, MIDI control of
// the modulators on any channel, block-size independence, a rate the host never prepared.
#include "tests/plugin/pluginharness.h"

#include <algorithm>
#include <cmath>

namespace quilltest
{
namespace
{
constexpr double tonefrequency = 220.0;
constexpr double fifthabove = 329.6275569; // 220 Hz raised by seven equal-tempered semitones
constexpr double pitchtolerance = 0.005;
constexpr int analysislength = 32768;
constexpr double bandlow = 250.0;
constexpr double bandhigh = 450.0;
// Dry ring delay at N = 2048: one sample short of the ring (N - 2H aligned, N - H otherwise).
constexpr int alignedrydelay = 1535;
constexpr int unaligneddrydelay = 1791;
// At 96 kHz and above N = 4096, H = 512.
constexpr int alignedrydelayhighrate = 3071;
constexpr double unitywideglobalvolume = 0.99959267591; // "Global Volume" at norm 0.5

int seconds(double s, double rate)
{
    return static_cast<int>(s * rate);
}

std::string fifthvoice(double dry = 0.0, double wet = 1.0)
{
    return statetext({globals(dry, wet), voice(pitchnorm(7), 0.5, 0.5)});
}

void restorebeforeaudio(juce::AudioPluginInstance& plugin, const std::string& text)
{
    restorestate(plugin, text + std::string(1, '\0'));
}

std::vector<float> impulse(int length, int at)
{
    std::vector<float> x(static_cast<std::size_t>(length), 0.0f);
    x[static_cast<std::size_t>(at)] = 1.0f;
    return x;
}

int loudestsample(const std::vector<float>& x)
{
    const auto it = std::max_element(x.begin(), x.end(), [](float a, float b) { return std::abs(a) < std::abs(b); });
    return static_cast<int>(it - x.begin());
}

using audio = plugintest;

TEST_F(audio, SevenSemitoneVoiceRaisesAHarmonicToneToItsFifth)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, defaultblock);
    restorebeforeaudio(*plugin, fifthvoice());

    const auto input = harmonictone(tonefrequency, defaultrate, seconds(2.5, defaultrate));
    const auto out = render(*plugin, input, defaultblock);
    ASSERT_TRUE(out.allfinite);
    const std::size_t from = static_cast<std::size_t>(reportedlatency + seconds(0.5, defaultrate));
    for (const auto& channel : out.channels)
    {
        const double f = peakfrequency(channel, from, analysislength, defaultrate, bandlow, bandhigh);
        EXPECT_NEAR(f, fifthabove, fifthabove * pitchtolerance);
        // No dry signal: the input's fundamental is gone.
        EXPECT_LT(magnitudeat(channel, from, analysislength, defaultrate, tonefrequency),
                  0.1 * magnitudeat(channel, from, analysislength, defaultrate, f));
    }
}

TEST_F(audio, DryPathIsTheInputDelayedByTheDryRing)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, defaultblock);
    restorebeforeaudio(*plugin, statetext({globals(1.0, 0.0), voice()}));

    const int at = 3000;
    const auto aligned = render(*plugin, impulse(8192, at), 512);
    ASSERT_TRUE(aligned.allfinite);
    EXPECT_EQ(loudestsample(aligned.channels[0]), at + alignedrydelay);
    EXPECT_NEAR(aligned.channels[0][static_cast<std::size_t>(at + alignedrydelay)], unitywideglobalvolume, 1e-5);
    EXPECT_EQ(loudestsample(aligned.channels[1]), at + alignedrydelay);

    const auto unaligned = render(*plugin, impulse(8192, at), 500);
    EXPECT_EQ(loudestsample(unaligned.channels[0]), at + unaligneddrydelay);
}

juce::MidiBuffer controllerchanges(int firstchannel, int firstvalue, int secondchannel, int secondvalue, int secondat)
{
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::controllerEvent(firstchannel, 7, firstvalue), 0);
    midi.addEvent(juce::MidiMessage::controllerEvent(secondchannel, 7, secondvalue), secondat);
    return midi;
}

TEST_F(audio, ControllerOnChannelsOneAndSixteenDrivesItsModulator)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, defaultblock);
    // "MIDI CC" 3 + 7 listens to controller 7; its output is the voice's whole volume.
    restorebeforeaudio(*plugin, statetext({globals(), controllermodulator(3 + 7, 0), voice(0.5, 0.0, 0.5),
                                           assignment(0, voicevolume)}));

    const int change = seconds(1.5, defaultrate);
    const auto input = sine(440.0, defaultrate, seconds(3.0, defaultrate));
    const auto out = render(*plugin, input, defaultblock, controllerchanges(1, 127, 16, 32, change));
    ASSERT_TRUE(out.allfinite);
    const std::size_t settle = static_cast<std::size_t>(seconds(0.3, defaultrate));
    const double full = rms(out.channels[0], settle, static_cast<std::size_t>(change) - settle);
    const double quarter = rms(out.channels[0], static_cast<std::size_t>(change) + settle, settle * 3);
    EXPECT_GT(full, 0.01);
    EXPECT_NEAR(quarter / full, 32.0 / 127.0, 0.03);
}

TEST_F(audio, NotesOnAnyChannelDriveTheKeysAndVelocityModulators)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, defaultblock);
    // Patch 0 follows the keys ((note mod 48) / 48), patch 1 the velocity; the voice's
    // volume is their sum.
    restorebeforeaudio(*plugin,
                       statetext({globals(), controllermodulator(1, 0), controllermodulator(2, 0),
                                  voice(0.5, 0.0, 0.5), assignment(0, voicevolume), assignment(1, voicevolume)}));

    const int second = seconds(1.5, defaultrate);
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::noteOn(16, 84, static_cast<juce::uint8>(127)), 0); // keys 0.75 + velocity 1
    midi.addEvent(juce::MidiMessage::noteOn(1, 60, static_cast<juce::uint8>(0)), second); // keys 0.25 + velocity 0
    const auto out = render(*plugin, sine(440.0, defaultrate, seconds(3.0, defaultrate)), defaultblock, midi);
    ASSERT_TRUE(out.allfinite);
    const std::size_t settle = static_cast<std::size_t>(seconds(0.3, defaultrate));
    const double loud = rms(out.channels[0], settle, static_cast<std::size_t>(second) - settle);
    const double quiet = rms(out.channels[0], static_cast<std::size_t>(second) + settle, settle * 3);
    EXPECT_GT(loud, 0.01);
    EXPECT_NEAR(quiet / loud, 0.25 / 1.75, 0.02);
}

TEST_F(audio, PolyPressureAndProgramChangesLeaveTheModulatorsAlone)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, defaultblock);
    // Listening to controller 0: a program change or poly pressure read as a controller would
    // open the voice.
    restorebeforeaudio(*plugin, statetext({globals(), controllermodulator(3, 0), controllermodulator(3 + 5, 0),
                                           voice(0.5, 0.0, 0.5), assignment(0, voicevolume),
                                           assignment(1, voicevolume)}));
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::programChange(1, 0), 0);
    midi.addEvent(juce::MidiMessage::aftertouchChange(3, 5, 100), 10);
    midi.addEvent(juce::MidiMessage::controllerEvent(2, 121, 127), 20);
    const auto out = render(*plugin, sine(440.0, defaultrate, seconds(1.0, defaultrate)), defaultblock, midi);
    ASSERT_TRUE(out.allfinite);
    EXPECT_LT(rms(out.channels[0], 0, out.channels[0].size()), 1e-6);
}

std::vector<float> fifthrender(const std::vector<int>& blocksizes, int length)
{
    auto plugin = loadplugin();
    if (plugin == nullptr)
        return {};
    plugin->prepareToPlay(defaultrate, *std::max_element(blocksizes.begin(), blocksizes.end()));
    restorebeforeaudio(*plugin, fifthvoice(0.5, 1.0));
    const auto out = render(*plugin, harmonictone(tonefrequency, defaultrate, length), blocksizes);
    EXPECT_TRUE(out.allfinite);
    return out.channels[0];
}

float largestdifference(const std::vector<float>& a, const std::vector<float>& b)
{
    float d = 0.0f;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

// Lengths are whole cycles of the size lists, so that no short last block changes the
// block class (and with it the dry timing) at the very end.
TEST_F(audio, UnalignedBlocksOfAnySizeGiveTheSameOutput)
{
    const std::vector<int> sizes = {1, 17, 300, 1000, 2048, 4096, 513, 77, 1900};
    const int length = 7 * 9952; // 9952: the sum of the sizes
    const auto fixed = fifthrender({1000}, length);
    const auto varying = fifthrender(sizes, length);
    ASSERT_EQ(fixed.size(), varying.size());
    ASSERT_GT(rms(fixed, 0, fixed.size()), 0.01);
    EXPECT_LT(largestdifference(fixed, varying), 1e-6f);
}

TEST_F(audio, AlignedBlocksOfAnySizeGiveTheSameOutput)
{
    const std::vector<int> sizes = {512, 1792, 256, 768, 1280};
    const int length = 14 * 4608; // 4608: the sum of the sizes
    const auto fixed = fifthrender({256}, length);
    const auto varying = fifthrender(sizes, length);
    ASSERT_EQ(fixed.size(), varying.size());
    ASSERT_GT(rms(fixed, 0, fixed.size()), 0.01);
    EXPECT_LT(largestdifference(fixed, varying), 1e-6f);
}

TEST_F(audio, ASwitchOfBlockClassKeepsThePitch)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, 1000);
    restorebeforeaudio(*plugin, fifthvoice());
    const int half = 64 * 1000; // a whole number of both block sizes
    const auto input = harmonictone(tonefrequency, defaultrate, 2 * half);
    // Aligned blocks of 512, then unaligned blocks of 1000: the switch rebuilds the dry rings
    // and restarts the hop schedule once.
    std::vector<float> first(input.begin(), input.begin() + half);
    std::vector<float> second(input.begin() + half, input.end());
    const auto before = render(*plugin, first, 512);
    const auto after = render(*plugin, second, 1000);
    ASSERT_TRUE(before.allfinite);
    ASSERT_TRUE(after.allfinite);
    const std::size_t settle = 8192;
    EXPECT_NEAR(peakfrequency(before.channels[0], settle, analysislength, defaultrate, bandlow, bandhigh), fifthabove,
                fifthabove * pitchtolerance);
    EXPECT_NEAR(peakfrequency(after.channels[0], settle, analysislength, defaultrate, bandlow, bandhigh), fifthabove,
                fifthabove * pitchtolerance);
}

TEST_F(audio, BlocksSwitchingClassEveryTimeStayFiniteAndAudible)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, 2048);
    restorebeforeaudio(*plugin, fifthvoice());
    const auto input = harmonictone(tonefrequency, defaultrate, seconds(2.0, defaultrate));
    const auto out = render(*plugin, input, std::vector<int>{256, 300, 512, 1, 2048, 7, 1792, 1536, 2500});
    ASSERT_TRUE(out.allfinite);
    EXPECT_GT(rms(out.channels[0], out.channels[0].size() / 2, out.channels[0].size() / 2), 0.01);
}

// A bare VST 2 host may call processReplacing without ever switching the effect on; JUCE's
// hosting code cannot (it sizes its buffers in prepareToPlay), so the blocks go straight to
// the effect here, as such a host sends them.
std::vector<float> renderunprepared(juce::AudioPluginInstance& plugin, const std::vector<float>& input, int n)
{
    std::vector<float> out(input.size(), 0.0f);
    std::vector<float> scratch(static_cast<std::size_t>(n) * 4, 0.0f);
    for (std::size_t position = 0; position + static_cast<std::size_t>(n) <= input.size(); position += n)
    {
        for (int ch = 0; ch < 2; ++ch)
            std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(position), n, scratch.begin() + ch * n);
        float* inputs[2] = {scratch.data(), scratch.data() + n};
        float* outputs[2] = {scratch.data() + 2 * n, scratch.data() + 3 * n};
        EXPECT_TRUE(vsthost::processreplacing(plugin, inputs, outputs, n));
        std::copy_n(outputs[0], n, out.begin() + static_cast<std::ptrdiff_t>(position));
    }
    return out;
}

TEST_F(audio, AHostThatNeverPreparesStillGetsTheRateItAnnounced)
{
    constexpr double highrate = 96000.0;
    auto plugin = loadplugin(highrate, defaultblock);
    ASSERT_NE(plugin, nullptr);
    // The rate was only announced when the host opened the plug-in.
    restorebeforeaudio(*plugin, statetext({globals(1.0, 0.0), voice()}));
    const int at = 5000;
    const auto dry = renderunprepared(*plugin, impulse(16 * defaultblock * 2, at), defaultblock);
    EXPECT_EQ(loudestsample(dry), at + alignedrydelayhighrate);

    auto shifted = loadplugin(highrate, defaultblock);
    ASSERT_NE(shifted, nullptr);
    restorebeforeaudio(*shifted, fifthvoice());
    const auto out = renderunprepared(*shifted, harmonictone(tonefrequency, highrate, 300 * defaultblock), defaultblock);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float s) { return std::isfinite(s); }));
    const std::size_t from = static_cast<std::size_t>(seconds(0.5, highrate));
    EXPECT_NEAR(peakfrequency(out, from, 65536, highrate, bandlow, bandhigh), fifthabove, fifthabove * pitchtolerance);
}
} // namespace
} // namespace quilltest
