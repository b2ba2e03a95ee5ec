// What plug-in validators throw at a plug-in: many instances, garbage states, parameters
// and saves from other threads while audio runs, odd rates and layouts, bad samples.
#include "tests/plugin/pluginharness.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

namespace quilltest
{
namespace
{
constexpr int shortblock = 256;

std::string withnul(const std::string& text)
{
    return text + std::string(1, '\0');
}

// One block of a steady tone; false when any output sample is not finite.
bool tonethrough(juce::AudioPluginInstance& plugin, int n = shortblock)
{
    juce::AudioBuffer<float> buffer(std::max(2, plugin.getTotalNumOutputChannels()), n);
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < n; ++i)
            buffer.setSample(ch, i, 0.25f * std::sin(0.0627f * static_cast<float>(i)));
    juce::MidiBuffer midi;
    plugin.processBlock(buffer, midi);
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < n; ++i)
            if (!std::isfinite(buffer.getSample(ch, i)))
                return false;
    return true;
}

// A saved chunk is always one text with its single NUL at the end, and whatever the model
// became, saving, restoring and saving again gives the same bytes.
void expectstablechunk(juce::AudioPluginInstance& plugin)
{
    const std::string chunk = savestate(plugin);
    ASSERT_FALSE(chunk.empty());
    ASSERT_EQ(chunk.find('\0'), chunk.size() - 1);
    EXPECT_EQ(chunk.rfind("QLT-VERSION:1.2a,^PAR,", 0), 0u);
    restorestate(plugin, chunk);
    EXPECT_TRUE(tonethrough(plugin));
    EXPECT_EQ(savestate(plugin), chunk);
}

class robustness : public plugintest
{
protected:
    std::unique_ptr<juce::AudioPluginInstance> prepared(double rate = defaultrate, int block = shortblock)
    {
        auto plugin = loadplugin(rate, block);
        if (plugin != nullptr)
            plugin->prepareToPlay(rate, block);
        return plugin;
    }
};

TEST_F(robustness, TwoHundredInstancesComeAndGo)
{
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> alive;
    for (int i = 0; i < 200; ++i)
    {
        auto plugin = loadplugin();
        ASSERT_NE(plugin, nullptr) << "instance " << i;
        if (i % 10 == 0)
        {
            plugin->prepareToPlay(defaultrate, shortblock);
            EXPECT_TRUE(tonethrough(*plugin));
            EXPECT_FALSE(savestate(*plugin).empty());
        }
        alive.push_back(std::move(plugin));
        if (alive.size() > 4)
            alive.erase(alive.begin()); // a few live side by side, the oldest goes first
    }
}

TEST_F(robustness, RandomBytesAsStateNeverHurt)
{
    auto plugin = prepared();
    ASSERT_NE(plugin, nullptr);
    std::mt19937 random(20240611);
    for (int round = 0; round < 150; ++round)
    {
        std::string bytes(random() % 600, '\0');
        for (auto& c : bytes)
            c = static_cast<char>(random() & 0xFF);
        if (round % 3 == 0)
            bytes.insert(0, "QLT-VERSION:1.2a,"); // past the first-comma check
        restorestate(*plugin, bytes);
        ASSERT_TRUE(tonethrough(*plugin)) << "round " << round;
    }
    expectstablechunk(*plugin);
}

TEST_F(robustness, TokenSoupAsStateNeverHurts)
{
    // Real markers with hostile numbers in random order reach every branch of the reader.
    const char* tokens[] = {"^PAR",  "^PAT",     "^VOI",      "^PAM",     "^XYZ",        "93001", "93002",
                            "93003", "93004",    "93005",     "-93001",   "0",           "1",     "2",
                            "7",     "-1",       "0.5",       "1.5",      "-0.5",        "nan",   "inf",
                            "-inf",  "1e308",    "-1e308",    "",         "abc",         "4294967296",
                            "99999999999999999999", "2147483647", "-2147483648", "0x10", " 3", "1,"};
    auto plugin = prepared();
    ASSERT_NE(plugin, nullptr);
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round)
    {
        std::string text = "QLT-VERSION:1.2a";
        const int count = static_cast<int>(random() % 400);
        for (int t = 0; t < count; ++t)
            text += std::string(",") + tokens[random() % std::size(tokens)];
        restorestate(*plugin, withnul(text));
        ASSERT_TRUE(tonethrough(*plugin)) << text;
    }
    expectstablechunk(*plugin);
}

TEST_F(robustness, EveryTruncationOfARichStateLoads)
{
    auto plugin = prepared();
    ASSERT_NE(plugin, nullptr);
    const std::string text = richstatetext();
    for (std::size_t length = 0; length <= text.size(); length += 3)
    {
        restorestate(*plugin, withnul(text.substr(0, length)));
        ASSERT_TRUE(tonethrough(*plugin)) << "length " << length;
        const std::string chunk = savestate(*plugin);
        ASSERT_EQ(chunk.find('\0'), chunk.size() - 1) << "length " << length;
    }
    expectstablechunk(*plugin);
}

TEST_F(robustness, ParametersAndSavesFromOtherThreadsWhileAudioRuns)
{
    auto plugin = prepared();
    ASSERT_NE(plugin, nullptr);
    // Modulators that follow host parameters 1 to 4 move the voice parameters.
    restorestate(*plugin, withnul(statetext({globals(0.5, 1.0), controllermodulator(0, 1),
                                             controllermodulator(0, 2), controllermodulator(0, 3),
                                             controllermodulator(0, 4), voice(pitchnorm(3), 0.2, 0.5),
                                             assignment(0, 0), assignment(1, 1), assignment(2, 2),
                                             assignment(3, 4)})));
    std::atomic<bool> running{true};
    std::thread automation([&] {
        std::mt19937 random(3);
        const auto& parameters = plugin->getParameters();
        while (running.load())
            parameters[static_cast<int>(random() % 8)]->setValue(static_cast<float>(random() % 1001) / 1000.0f);
    });
    std::thread saver([&] {
        while (running.load())
        {
            const std::string chunk = savestate(*plugin);
            EXPECT_EQ(chunk.find('\0'), chunk.size() - 1);
            std::this_thread::yield();
        }
    });
    bool finite = true;
    for (int block = 0; block < 600; ++block)
        finite = tonethrough(*plugin) && finite;
    running.store(false);
    automation.join();
    saver.join();
    EXPECT_TRUE(finite);
    expectstablechunk(*plugin);
}

TEST_F(robustness, RestoresFromAnotherThreadWhileAudioRuns)
{
    auto plugin = prepared();
    ASSERT_NE(plugin, nullptr);
    const std::string texts[] = {withnul(richstatetext()), withnul(statetext({globals(), voice(0.7)})),
                                 withnul("QLT-VERSION:1.2a,^VOI,^PAM,0,0,1")};
    std::atomic<bool> running{true};
    std::thread restorer([&] {
        for (int i = 0; running.load(); ++i)
            restorestate(*plugin, texts[i % std::size(texts)]);
    });
    bool finite = true;
    for (int block = 0; block < 400; ++block)
        finite = tonethrough(*plugin) && finite;
    running.store(false);
    restorer.join();
    EXPECT_TRUE(finite);
    // The last restore may still be pending (and a save would hand it back as it came).
    EXPECT_TRUE(tonethrough(*plugin));
    expectstablechunk(*plugin);
}

TEST_F(robustness, PrepareReleaseCyclesAtEveryCommonRate)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    restorestate(*plugin, withnul(richstatetext()));
    for (int cycle = 0; cycle < 2; ++cycle)
    {
        for (double rate : {44100.0, 48000.0, 96000.0, 192000.0})
        {
            SCOPED_TRACE(rate);
            plugin->prepareToPlay(rate, defaultblock);
            const auto out = render(*plugin, harmonictone(220.0, rate, static_cast<int>(rate * 0.3)), defaultblock);
            EXPECT_TRUE(out.allfinite);
            // The shifted voices come through once the pitch engine has filled its frame.
            EXPECT_GT(rms(out.channels[0], out.channels[0].size() / 2, out.channels[0].size() / 2), 0.001);
            plugin->releaseResources();
        }
    }
    EXPECT_EQ(savestate(*plugin), withnul(richstatetext()));
}

TEST_F(robustness, RatesThatAreNotRatesAreIgnored)
{
    auto plugin = prepared();
    ASSERT_NE(plugin, nullptr);
    for (double rate : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 0.0,
                        0.5, -48000.0})
    {
        SCOPED_TRACE(rate);
        plugin->prepareToPlay(rate, shortblock);
        EXPECT_TRUE(tonethrough(*plugin));
        EXPECT_EQ(plugin->getLatencySamples(), reportedlatency);
        plugin->releaseResources();
    }
}

TEST_F(robustness, MonoAndStereoLayoutsBothProcess)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    restorestate(*plugin, withnul(statetext({globals(0.5, 1.0), voice(pitchnorm(7))})));
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    for (const auto& set : {mono, stereo, mono})
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(set);
        layout.outputBuses.add(set);
        ASSERT_TRUE(plugin->setBusesLayout(layout));
        plugin->prepareToPlay(defaultrate, defaultblock);
        ASSERT_EQ(plugin->getTotalNumOutputChannels(), set.size());
        const auto out = render(*plugin, harmonictone(220.0, defaultrate, static_cast<int>(defaultrate)), defaultblock);
        EXPECT_TRUE(out.allfinite);
        for (int ch = 0; ch < set.size(); ++ch)
            EXPECT_GT(rms(out.channels[ch], out.channels[ch].size() / 2, out.channels[ch].size() / 2), 0.001);
        plugin->releaseResources();
    }
}

TEST_F(robustness, NonFiniteAndHugeSamplesGiveFiniteOutput)
{
    auto plugin = prepared(defaultrate, defaultblock);
    ASSERT_NE(plugin, nullptr);
    restorestate(*plugin, withnul(richstatetext()));
    auto input = harmonictone(220.0, defaultrate, static_cast<int>(defaultrate));
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), 1e30f, -3e38f, 1e-42f};
    for (std::size_t i = 0; i < input.size(); i += 97)
        input[i] = bad[(i / 97) % std::size(bad)];
    const auto out = render(*plugin, input, defaultblock);
    EXPECT_TRUE(out.allfinite);
    // And the engine recovers: clean input afterwards gives a clean, audible result.
    const auto clean = render(*plugin, harmonictone(220.0, defaultrate, static_cast<int>(defaultrate)), defaultblock);
    EXPECT_TRUE(clean.allfinite);
    EXPECT_GT(rms(clean.channels[0], clean.channels[0].size() / 2, clean.channels[0].size() / 2), 0.001);
}

TEST_F(robustness, AnOutputBeyondFloatRangeBecomesTheLargestFloat)
{
    auto plugin = prepared(defaultrate, defaultblock);
    ASSERT_NE(plugin, nullptr);
    // Dry only, "Global Volume" at its top (about 6.5): a near-maximal sample comes out
    // beyond what a float holds.
    restorestate(*plugin, withnul(statetext({"^PAR,0.500098,1.000000,1.000000,0.000000,0.000000,1.000000,"
                                             "0.500098,0.500098,1.000000",
                                             voice()})));
    std::vector<float> input(8192, 0.0f);
    input[1000] = 3e38f;
    input[3000] = -3e38f;
    const auto out = render(*plugin, input, defaultblock);
    EXPECT_TRUE(out.allfinite);
    constexpr int drydelay = 1535; // aligned blocks of 512 at 44100 Hz
    EXPECT_EQ(out.channels[0][1000 + drydelay], std::numeric_limits<float>::max());
    EXPECT_EQ(out.channels[0][3000 + drydelay], -std::numeric_limits<float>::max());
}

TEST_F(robustness, EmptyAndSingleSampleBlocks)
{
    auto plugin = prepared();
    ASSERT_NE(plugin, nullptr);
    restorestate(*plugin, withnul(richstatetext()));
    for (int i = 0; i < 50; ++i)
    {
        EXPECT_TRUE(tonethrough(*plugin, 0));
        EXPECT_TRUE(tonethrough(*plugin, 1));
    }
    EXPECT_EQ(savestate(*plugin), withnul(richstatetext()));
}
} // namespace
} // namespace quilltest
