// What plug-in validators throw at a plug-in: instances, garbage, threads, rates, bad samples.
#include "tests/plugin/pluginharness.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

namespace quilltest
{
namespace
{
constexpr int drydelay = 1535; // aligned blocks of 512 at 44100 Hz

bool tonethrough(juce::AudioPluginInstance& plugin)
{
    return render(plugin, sine(440.0, defaultrate, 256), {256}).allfinite;
}

std::string randombytes(std::mt19937& random, std::size_t most)
{
    std::string bytes(random() % most, '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random() & 0xFF); });
    return bytes;
}

// Whatever the model became, its chunk is one text and one trailer, and it reloads to the same bytes.
void expectstablechunk(juce::AudioPluginInstance& plugin)
{
    const std::string chunk = savestate(plugin);
    ASSERT_TRUE(wellformedchunk(chunk) && chunk.rfind("QLT-VERSION:1.2a,^PAR,", 0) == 0) << chunk;
    restorestate(plugin, chunk);
    EXPECT_TRUE(tonethrough(plugin));
    EXPECT_EQ(savestate(plugin), chunk);
}

using robustness = plugintest;

TEST_F(robustness, TwoHundredInstancesComeAndGo)
{
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> alive;
    for (int i = 0; i < 200; ++i)
    {
        alive.push_back(i % 10 == 0 ? prepared(richstatetext()) : loadplugin());
        ASSERT_NE(alive.back(), nullptr) << "instance " << i;
        EXPECT_TRUE(i % 10 != 0 || tonethrough(*alive.back()));
        if (alive.size() > 4)
            alive.erase(alive.begin());
    }
}

// Random bytes, truncated texts and damaged trailers: the model survives, and no host parameter
// leaves 0..1 or moves unless the trailer is whole.
TEST_F(robustness, DamagedStatesAndTrailersMoveNoParameterOutOfRange)
{
    auto plugin = prepared(richstatetext());
    ASSERT_NE(plugin, nullptr);
    const auto& parameters = plugin->getParameters();
    const auto setall = [&](float v) {
        for (auto* p : parameters)
            p->setValue(v);
    };
    const auto values = [&] {
        std::string all;
        for (auto* p : parameters)
            all += juce::String(p->getValue(), 6).toStdString() + " ";
        return all;
    };
    const std::string text = withnul(richstatetext());
    const auto inrange = [](auto* p) { return p->getValue() >= 0.0f && p->getValue() <= 1.0f; };
    const std::string prefixes[] = {"", "QLT-VERSION:1.2a,", text + "QLT-HOSTPARAMS:1,", text};
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round)
    {
        restorestate(*plugin, prefixes[round % 4] + randombytes(random, 600));
        ASSERT_TRUE(tonethrough(*plugin) && wellformedchunk(savestate(*plugin))) << round;
        ASSERT_TRUE(std::all_of(parameters.begin(), parameters.end(), inrange)) << round;
    }
    for (std::size_t length = 0; length < text.size(); length += 3)
    {
        restorestate(*plugin, withnul(text.substr(0, length)));
        ASSERT_TRUE(tonethrough(*plugin) && wellformedchunk(savestate(*plugin))) << length;
    }
    setall(0.2f);
    const std::string good = savestate(*plugin), at2 = values();
    const std::string twos = hosttrailer(0.2f).substr(16, 32 * 9); // ",0.200000" 32 times
    setall(0.7f);
    const std::string at7 = values();
    const struct
    {
        std::string trailer;
        const char* name;
    } damaged[] = {
        {good.substr(text.size(), good.size() - text.size() - 1), "no closing NUL"},
        {good.substr(text.size(), 30), "cut inside the values"},
        {"QLT-HOSTPARAMS:1" + twos + ",0.200000" + '\0', "33 values"},
        {"QLT-HOSTPARAMS:1" + twos + std::string(5000, '7') + '\0', "a long tail"},
        {"QLT-HOSTPARAMS:2" + twos + '\0', "another version"},
        {"QLT-HOSTPARAMS:1,abc" + twos.substr(9) + '\0', "garbage in place of a value"},
        {"qlt-hostparams:1" + twos + '\0', "lower case"},
    };
    for (const auto& d : damaged)
    {
        restorestate(*plugin, text + d.trailer);
        EXPECT_EQ(values(), at7) << d.name;
    }
    // Out of range and not finite: clamped, or left alone.
    restorestate(*plugin, text + "QLT-HOSTPARAMS:1,7,-2,nan,inf,1e999" + twos.substr(5 * 9) + '\0');
    EXPECT_EQ(values().substr(0, 54), "1.000000 0.000000 0.700000 0.700000 0.700000 0.200000 ");
    restorestate(*plugin, good);
    EXPECT_EQ(values(), at2);
    expectstablechunk(*plugin);
}

TEST_F(robustness, ParametersSavesAndRestoresFromOtherThreadsWhileAudioRuns)
{
    auto plugin = prepared(richstatetext()); // a modulator on host parameter 3 moves the second voice's volume
    ASSERT_NE(plugin, nullptr);
    const std::string texts[] = {withnul(richstatetext()), withnul(statetext({globals(), voice(0.7)}))};
    std::atomic<bool> running{true};
    std::thread automation([&] {
        std::mt19937 random(3);
        while (running.load())
            plugin->getParameters()[static_cast<int>(random() % 8)]->setValue((random() % 1001) / 1000.0f);
    });
    std::thread saver([&] {
        for (int i = 0; running.load(); ++i)
        {
            EXPECT_TRUE(wellformedchunk(savestate(*plugin)));
            if (i % 8 == 0)
                restorestate(*plugin, texts[(i / 8) % 2]);
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
    EXPECT_TRUE(tonethrough(*plugin)); // the last restore may still be pending
    expectstablechunk(*plugin);
}

TEST_F(robustness, PrepareReleaseCyclesAtEveryRateInMonoAndStereo)
{
    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    restorestate(*plugin, withnul(richstatetext()));
    for (const auto& set : {juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo()})
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(set);
        layout.outputBuses.add(set);
        ASSERT_TRUE(plugin->setBusesLayout(layout));
        for (double rate : {44100.0, 48000.0, 96000.0, 192000.0})
        {
            SCOPED_TRACE(juce::String(rate) + " Hz, " + set.getDescription());
            plugin->prepareToPlay(rate, defaultblock);
            ASSERT_EQ(plugin->getTotalNumOutputChannels(), set.size());
            // From 96 kHz on the frame doubles, and the latency with it; JUCE's host hears of it.
            EXPECT_EQ(plugin->getLatencySamples(), rate >= 96000.0 ? 2 * reportedlatency : reportedlatency);
            const auto out = render(*plugin, harmonictone(220.0, rate, static_cast<int>(rate * 0.3)), {defaultblock});
            EXPECT_TRUE(out.allfinite);
            for (int ch = 0; ch < set.size(); ++ch) // the voices are heard once the frame is full
                EXPECT_GT(rmsofsecondhalf(out.channels[ch]), 0.001);
            plugin->releaseResources();
        }
    }
    for (double rate : {std::nan(""), std::numeric_limits<double>::infinity(), 0.0, -48000.0})
    {
        plugin->prepareToPlay(rate, defaultblock); // not a rate: ignored
        EXPECT_TRUE(tonethrough(*plugin)) << rate;
    }
    EXPECT_EQ(savestate(*plugin), chunkof(richstatetext()));
}

TEST_F(robustness, NonFiniteAndHugeInputGiveFiniteOutputClampedToTheFloatRange)
{
    auto plugin = prepared(richstatetext());
    ASSERT_NE(plugin, nullptr);
    auto input = harmonictone(220.0, defaultrate, 44100);
    using limits = std::numeric_limits<float>;
    const float bad[] = {limits::quiet_NaN(), limits::infinity(), -limits::infinity(), 1e30f, -3e38f, 1e-42f};
    for (std::size_t i = 0; i < input.size(); i += 97)
        input[i] = bad[(i / 97) % std::size(bad)];
    EXPECT_TRUE(render(*plugin, input, {defaultblock, 0, 1}).allfinite);
    const auto clean = render(*plugin, harmonictone(220.0, defaultrate, 44100), {defaultblock});
    EXPECT_TRUE(clean.allfinite && rmsofsecondhalf(clean.channels[0]) > 0.001); // and it recovers
    // Dry only, "Global Volume" at its top (about 6.5): a near-maximal sample overflows a float.
    auto loud = prepared(statetext({record("^PAR", {0.500098, 1, 1, 0, 0, 1, 0.500098, 0.500098, 1}), voice()}));
    ASSERT_NE(loud, nullptr);
    std::vector<float> peaks(8192, 0.0f);
    peaks[1000] = 3e38f;
    peaks[3000] = -3e38f;
    const auto out = render(*loud, peaks, {defaultblock}).channels[0];
    EXPECT_EQ(out[1000 + drydelay], limits::max());
    EXPECT_EQ(out[3000 + drydelay], -limits::max());
}
} // namespace
} // namespace quilltest
