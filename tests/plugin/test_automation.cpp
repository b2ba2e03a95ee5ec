// Host automation: a host parameter moves the first modulator that follows it, from the
// next block on, and nothing else.
#include "tests/plugin/pluginharness.h"

#include <algorithm>
#include <cmath>

namespace quilltest
{
namespace
{
constexpr int blocks = 200;
constexpr int parameterthree = 2; // framework index of "Parameter 3"
constexpr float silence = 1e-6f;
constexpr int framesize = 2048;   // N at 44100 Hz
constexpr int hopsize = 256;      // H at 44100 Hz

class automation : public plugintest
{
protected:
    void load(const std::string& text)
    {
        plugin = loadplugin();
        ASSERT_NE(plugin, nullptr);
        plugin->prepareToPlay(defaultrate, defaultblock);
        restorestate(*plugin, text + std::string(1, '\0'));
    }

    // Level of a steady sine through the plug-in, after the voice has settled.
    double level()
    {
        const auto out = render(*plugin, sine(440.0, defaultrate, static_cast<int>(defaultrate)), defaultblock);
        EXPECT_TRUE(out.allfinite);
        const std::size_t settle = static_cast<std::size_t>(framesize * 4);
        return rms(out.channels[0], settle, out.channels[0].size() - settle);
    }

    void sethostparameter(int index, float value) { plugin->getParameters()[index]->setValue(value); }

    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

// The voice's volume is the output of modulator 0 alone.
std::string followsthree()
{
    return statetext({globals(), controllermodulator(0, 3), voice(0.5, 0.0, 0.5), assignment(0, voicevolume)});
}

TEST_F(automation, ParameterThreeScalesTheVoiceThroughItsModulator)
{
    load(followsthree());
    EXPECT_LT(level(), silence); // no value has arrived yet: the modulator's output is 0
    sethostparameter(parameterthree, 1.0f);
    const double full = level();
    ASSERT_GT(full, 0.01);
    sethostparameter(parameterthree, 0.25f);
    EXPECT_NEAR(level() / full, 0.25, 0.02);
}

TEST_F(automation, OtherParametersDoNotMoveIt)
{
    load(followsthree());
    for (int i = 0; i < hostparametercount; ++i)
        if (i != parameterthree)
            sethostparameter(i, 1.0f);
    EXPECT_LT(level(), silence);
}

TEST_F(automation, OnlyTheFirstModulatorOnParameterThreeFollowsIt)
{
    load(followsthree());
    sethostparameter(parameterthree, 1.0f);
    const double one = level();

    // A second modulator on the same host parameter, also on the volume: if it followed too,
    // the voice would be twice as loud.
    load(statetext({globals(), controllermodulator(0, 3), controllermodulator(0, 3), voice(0.5, 0.0, 0.5),
                    assignment(0, voicevolume), assignment(1, voicevolume)}));
    sethostparameter(parameterthree, 1.0f);
    EXPECT_NEAR(level() / one, 1.0, 0.02);
}

TEST_F(automation, TheChangeIsHeardFromTheNextBlockOn)
{
    load(followsthree());
    sethostparameter(parameterthree, 0.0f);
    const auto input = sine(440.0, defaultrate, blocks * defaultblock);
    const int changeblock = blocks / 2;

    juce::AudioBuffer<float> buffer(2, defaultblock);
    juce::MidiBuffer midi;
    std::vector<float> out;
    for (int b = 0; b < blocks; ++b)
    {
        if (b == changeblock)
            sethostparameter(parameterthree, 1.0f);
        for (int ch = 0; ch < 2; ++ch)
            buffer.copyFrom(ch, 0, input.data() + b * defaultblock, defaultblock);
        plugin->processBlock(buffer, midi);
        out.insert(out.end(), buffer.getReadPointer(0), buffer.getReadPointer(0) + defaultblock);
    }
    const auto first = std::find_if(out.begin(), out.end(), [](float s) { return std::abs(s) > silence; });
    ASSERT_NE(first, out.end());
    const int start = changeblock * defaultblock;
    const int heard = static_cast<int>(first - out.begin());
    EXPECT_GE(heard, start);
    // The next hop synthesises with the new gain; its frame reaches the output within one
    // frame and a hop.
    EXPECT_LE(heard, start + framesize + hopsize);
}
} // namespace
} // namespace quilltest
