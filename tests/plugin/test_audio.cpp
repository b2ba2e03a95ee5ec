// Audio through the plug-in, measured: pitch, MIDI and automation, block sizes, an unprepared rate.
#include "tests/plugin/pluginharness.h"

#include <algorithm>
#include <cmath>

namespace quilltest
{
namespace
{
constexpr double tonefrequency = 220.0, fifthabove = 329.6275569; // raised by seven equal-tempered semitones
constexpr double pitchtolerance = 0.005;
constexpr double bandlow = 200.0, bandhigh = 450.0; // the band holds the dry tone too: the voice must dominate it

std::string fifthvoice(double dry = 0.0)
{
    return statetext({globals(dry, 1.0), voice(pitchnorm(7))});
}

using audio = plugintest;

TEST_F(audio, SevenSemitoneVoiceRaisesAHarmonicToneToItsFifth)
{
    auto plugin = prepared(fifthvoice());
    ASSERT_NE(plugin, nullptr);
    const auto out = render(*plugin, harmonictone(tonefrequency, defaultrate, 110250), {defaultblock});
    ASSERT_TRUE(out.allfinite);
    for (const auto& channel : out.channels)
        EXPECT_NEAR(peakfrequency(channel, reportedlatency + 22050, 32768, defaultrate, bandlow, bandhigh), fifthabove,
                    fifthabove * pitchtolerance);
}

// The voice level after the event at `change` relative to the level before it.
double levelratio(const std::string& text, const juce::MidiBuffer& midi, int change)
{
    auto plugin = prepared(text);
    const auto out = render(*plugin, sine(440.0, defaultrate, 2 * change), {defaultblock}, midi);
    const std::size_t settle = 13230, span = static_cast<std::size_t>(change) - settle;
    const double before = rms(out.channels[0], settle, span);
    EXPECT_TRUE(out.allfinite && before > 0.01) << before;
    return rms(out.channels[0], static_cast<std::size_t>(change) + settle, span) / before;
}

TEST_F(audio, ControllersAndNotesOnChannelsOneAndSixteenDriveTheModulators)
{
    constexpr int change = 66150;
    juce::MidiBuffer controllers; // "MIDI CC" 3 + 7 listens to controller 7
    controllers.addEvent(juce::MidiMessage::controllerEvent(1, 7, 127), 0);
    controllers.addEvent(juce::MidiMessage::controllerEvent(16, 7, 32), change);
    const auto cc7 = statetext({globals(), controllermodulator(3 + 7, 0), voice(0.5, 0.0), assignment(0, voicevolume)});
    EXPECT_NEAR(levelratio(cc7, controllers, change), 32.0 / 127.0, 0.03);
    // Sources 1 and 2: the keys ((note mod 48) / 48) and the velocity.
    juce::MidiBuffer notes;
    notes.addEvent(juce::MidiMessage::noteOn(16, 84, static_cast<juce::uint8>(127)), 0);   // 0.75 + 1
    notes.addEvent(juce::MidiMessage::noteOn(1, 60, static_cast<juce::uint8>(0)), change); // 0.25 + 0
    EXPECT_NEAR(levelratio(statetext({globals(), controllermodulator(1, 0), controllermodulator(2, 0), voice(0.5, 0.0),
                                      assignment(0, voicevolume), assignment(1, voicevolume)}),
                           notes, change),
                0.25 / 1.75, 0.02);
}

TEST_F(audio, BlocksOfVaryingSizeGiveTheSameOutput)
{
    const struct
    {
        std::vector<int> sizes;
        int fixed;
        int length;
    } cases[] = {{{1, 17, 300, 1000, 2048, 4096, 513, 77, 1900}, 1000, 7 * 9952}, // unaligned
                 {{512, 1792, 256, 768, 1280}, 256, 14 * 4608}};                  // multiples of the hop
    for (const auto& c : cases)
    {
        const auto input = harmonictone(tonefrequency, defaultrate, c.length);
        auto fixedplugin = prepared(fifthvoice(0.5), c.fixed);
        auto varyingplugin = prepared(fifthvoice(0.5), 4096);
        const auto fixed = render(*fixedplugin, input, {c.fixed}).channels[0];
        const auto varying = render(*varyingplugin, input, c.sizes);
        ASSERT_TRUE(varying.allfinite && rms(fixed, 0, fixed.size()) > 0.01);
        float largest = 0.0f;
        for (std::size_t i = 0; i < fixed.size(); ++i)
            largest = std::max(largest, std::abs(fixed[i] - varying.channels[0][i]));
        EXPECT_LT(largest, 1e-6f) << c.sizes.size() << " sizes";
    }
}

// Straight through processReplacing with no prepareToPlay, as a bare VST 2 host may call it.
TEST_F(audio, AHostThatNeverPreparesStillGetsTheRateItAnnounced)
{
    constexpr double highrate = 96000.0;
    constexpr int n = defaultblock;
    auto plugin = loadplugin(highrate);
    ASSERT_NE(plugin, nullptr);
    restorestate(*plugin, withnul(fifthvoice()));
    const auto input = harmonictone(tonefrequency, highrate, 300 * n);
    std::vector<float> out(input.size()), right(n);
    for (std::size_t position = 0; position < input.size(); position += n)
    {
        float* inputs[2] = {const_cast<float*>(input.data() + position), const_cast<float*>(input.data() + position)};
        float* outputs[2] = {out.data() + position, right.data()};
        ASSERT_TRUE(vsthost::processreplacing(*plugin, inputs, outputs, n));
    }
    EXPECT_NEAR(peakfrequency(out, 48000, 65536, highrate, bandlow, bandhigh), fifthabove, fifthabove * pitchtolerance);
}

constexpr int parameterthree = 2;              // framework index of "Parameter 3"
constexpr int segment = 100;                   // blocks: "Parameter 3" at the host's 0.5, then at 1, then at 0.25
constexpr int framesize = 2048, hopsize = 256; // N and H at 44100 Hz

// The voice's volume follows one or two modulators on host parameter 3; the other parameters must not matter.
std::vector<float> automated(int listeners)
{
    std::vector<std::string> records{globals(), voice(0.5, 0.0)};
    for (int m = 0; m < listeners; ++m)
        records.insert(records.begin() + 1, controllermodulator(0, 3)), records.push_back(assignment(m, voicevolume));
    auto plugin = prepared(statetext(records));
    for (int i = 0; plugin != nullptr && i < hostparametercount; ++i)
        plugin->getParameters()[i]->setValue(i == parameterthree ? 0.5f : 1.0f);
    if (plugin == nullptr)
        return {};
    const auto set = [&](std::size_t b) {
        if (b % segment == 0 && b > 0)
            plugin->getParameters()[parameterthree]->setValue(b == segment ? 1.0f : 0.25f);
    };
    return render(*plugin, sine(440.0, defaultrate, 3 * segment * defaultblock), {defaultblock}, {}, set).channels[0];
}

// The modulator follows the value the host holds from the state's load on, not from the
// parameter's next move: the voice is heard from its first frame.
TEST_F(audio, ParameterThreeMovesOnlyTheFirstModulatorOnItFromTheLoadOn)
{
    const auto out = automated(1);
    const int start = segment * defaultblock;
    const auto first = std::find_if(out.begin(), out.end(), [](float s) { return std::abs(s) > 1e-6f; }) - out.begin();
    EXPECT_LE(first, framesize + hopsize);
    const std::size_t settle = 4 * framesize, span = start - settle;
    const double full = rms(out, start + settle, span);
    ASSERT_GT(full, 0.01);
    EXPECT_NEAR(rms(out, settle, span) / full, 0.5, 0.02);
    EXPECT_NEAR(rms(out, 2 * start + settle, span) / full, 0.25, 0.02);
    // If the second modulator followed too, the voice would be twice as loud.
    EXPECT_NEAR(rms(automated(2), start + settle, span) / full, 1.0, 0.02);
}
} // namespace
} // namespace quilltest
