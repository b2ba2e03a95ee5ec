// The plug-in under JUCE's hosting code, as hosts and validators drive it: identity and buses,
// the command-line host, damaged and concurrent state loads, every rate, huge
// output, and the pitch and levels a user hears.
#include "tests/plugin/pluginharness.h"

#include <atomic>
#include <limits>
#include <random>
#include <thread>

namespace quilltest
{
namespace
{
using set = juce::AudioChannelSet;
const std::string fifthvoice = statetext({globals(), voice(pitchnorm(7))});

TEST(hosted, UniqueIdMidiAndBuses)
{
    auto instance = loadplugin();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(vsthost::readeffect(*instance).uniqueid, 0x566c6d71); // 'Vlmq'
    EXPECT_TRUE(instance->acceptsMidi());
    const std::tuple<set, set, bool> rows[] = {
        {set::stereo(), set::stereo(), true},
        {set::mono(), set::mono(), true},
        {set::mono(), set::stereo(), false},
        {set::stereo(), set::mono(), false},
        {set::create5point1(), set::create5point1(), false},
        {set::disabled(), set::stereo(), false},
    };
    for (const auto& [in, out, accepted] : rows)
        EXPECT_EQ(vsthost::requestarrangement(*instance, in, out), accepted) << in.getDescription();
}

// The command-line host's render: state chunk in, the input plus the latency out, the chunk saved.
TEST(hosted, CommandLineHostRendersInputPlusLatencyAndSavesTheChunk)
{
    const auto folder = juce::File::createTempFile("quill-vsthost");
    ASSERT_TRUE(folder.createDirectory());
    const auto input = harmonictone(440.0, defaultrate, static_cast<int>(defaultrate), 1);
    const float* channels[] = {input.data(), input.data()};
    auto* stream = new juce::FileOutputStream(folder.getChildFile("in.wav"));
    std::unique_ptr<juce::AudioFormatWriter> writer(
        juce::WavAudioFormat().createWriterFor(stream, defaultrate, 2, 32, {}, 0));
    ASSERT_TRUE(writer != nullptr && writer->writeFromFloatArrays(channels, 2, static_cast<int>(input.size())));
    writer.reset();
    const std::string text = modulatedvoice({controllermodulator(3 + 7, 0)});
    ASSERT_TRUE(folder.getChildFile("state.bin").replaceWithText(withnul(text)));
    vsthost::renderjob job;
    job.input = folder.getChildFile("in.wav");
    job.output = folder.getChildFile("out.wav");
    job.statein = folder.getChildFile("state.bin");
    job.stateout = folder.getChildFile("saved.bin");
    auto instance = loadplugin();
    juce::String error;
    ASSERT_TRUE(vsthost::render(*instance, job, error)) << error;
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader(formats.createReaderFor(job.output));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->numChannels, 2u);
    EXPECT_EQ(reader->lengthInSamples, static_cast<juce::int64>(input.size()) + reportedlatency);
    juce::MemoryBlock saved;
    ASSERT_TRUE(job.stateout.loadFileAsData(saved));
    EXPECT_EQ(std::string(static_cast<const char*>(saved.getData()), saved.getSize()), withnul(text) + hosttrailer());
    folder.deleteRecursively();
}

// Whatever the model became, its chunk is one text and one trailer, and it reloads to the same bytes.
void expectstablechunk(juce::AudioPluginInstance& instance)
{
    const std::string chunk = savestate(instance);
    ASSERT_TRUE(wellformedchunk(chunk)) << chunk;
    ASSERT_EQ(chunk.rfind("QLT-VERSION:1.2a,^PAR,", 0), 0u) << chunk;
    restorestate(instance, chunk);
    EXPECT_TRUE(tonethrough(instance));
    EXPECT_EQ(savestate(instance), chunk);
}

// Random bytes behind any prefix: the model survives. A trailer the reader rejects moves no
// host parameter; one it reads moves those it holds a finite value for.
TEST(hosted, DamagedStatesAndTrailersMoveNoParameterOutOfRange)
{
    auto instance = prepared(richstatetext());
    ASSERT_NE(instance, nullptr);
    const auto& parameters = instance->getParameters();
    const auto setall = [&](float value) {
        for (auto* p : parameters)
            p->setValue(value);
    };
    const auto values = [&] {
        std::string all;
        for (auto* p : parameters)
            all += juce::String(p->getValue(), 6).toStdString() + " ";
        return all;
    };
    const std::string text = withnul(richstatetext());
    const std::string prefixes[] = {"", "QLT-VERSION:1.2a,", text + "QLT-HOSTPARAMS:1,", text};
    std::mt19937 random(20240611);
    for (int round = 0; round < 300; ++round)
    {
        std::string bytes(random() % 600, '\0');
        std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random() & 0xFF); });
        restorestate(*instance, prefixes[round % 4] + bytes);
        ASSERT_TRUE(tonethrough(*instance)) << round;
        ASSERT_TRUE(wellformedchunk(savestate(*instance))) << round;
    }
    setall(0.2f);
    const std::string good = savestate(*instance);
    const std::string at2 = values();
    setall(0.7f);
    const std::string at7 = values();
    const std::string twos = hosttrailer(0.2f).substr(16, 32 * 9); // ",0.200000" 32 times
    const std::string cut = good.substr(text.size(), good.size() - text.size() - 1);
    for (const std::string& trailer : {cut, "QLT-HOSTPARAMS:2" + twos + '\0'}) // no closing NUL; another version
    {
        restorestate(*instance, text + trailer);
        EXPECT_EQ(values(), at7) << trailer;
    }
    // Out of range and not finite: clamped, or left alone.
    restorestate(*instance, text + "QLT-HOSTPARAMS:1,7,-2,nan,inf,1e999" + twos.substr(5 * 9) + '\0');
    EXPECT_EQ(values().substr(0, 54), "1.000000 0.000000 0.700000 0.700000 0.700000 0.200000 ");
    restorestate(*instance, good);
    EXPECT_EQ(values(), at2);
    expectstablechunk(*instance);
}

TEST(hosted, ParametersSavesAndRestoresFromOtherThreadsWhileAudioRuns)
{
    auto instance = prepared(richstatetext()); // a modulator on host parameter 3 moves the second voice's volume
    ASSERT_NE(instance, nullptr);
    const std::string texts[] = {withnul(richstatetext()), withnul(statetext({globals(), voice(0.7)}))};
    std::atomic<bool> running{true};
    std::thread automation([&] {
        std::mt19937 random(3);
        while (running.load())
            instance->getParameters()[static_cast<int>(random() % 8)]->setValue((random() % 1001) / 1000.0f);
    });
    std::thread saver([&] {
        for (int i = 0; running.load(); ++i)
        {
            EXPECT_TRUE(wellformedchunk(savestate(*instance)));
            if (i % 8 == 0)
                restorestate(*instance, texts[(i / 8) % 2]);
            std::this_thread::yield();
        }
    });
    bool finite = true;
    for (int block = 0; block < 600; ++block)
        finite = tonethrough(*instance) && finite;
    running.store(false);
    automation.join();
    saver.join();
    EXPECT_TRUE(finite);
    EXPECT_TRUE(tonethrough(*instance)); // the last restore may still be pending
    expectstablechunk(*instance);
}

TEST(hosted, PrepareReleaseCyclesAtEveryRateInMonoAndStereo)
{
    auto instance = loadplugin();
    ASSERT_NE(instance, nullptr);
    restorestate(*instance, withnul(richstatetext()));
    for (const auto& channels : {set::mono(), set::stereo()})
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(channels);
        layout.outputBuses.add(channels);
        ASSERT_TRUE(instance->setBusesLayout(layout));
        for (double rate : {44100.0, 48000.0, 96000.0, 192000.0})
        {
            SCOPED_TRACE(juce::String(rate) + " Hz, " + channels.getDescription());
            instance->prepareToPlay(rate, defaultblock);
            ASSERT_EQ(instance->getTotalNumOutputChannels(), channels.size());
            // From 96 kHz on the frame doubles, and the latency with it; JUCE's host hears of it.
            EXPECT_EQ(instance->getLatencySamples(), rate >= 96000.0 ? 2 * reportedlatency : reportedlatency);
            const auto out = render(*instance, harmonictone(220.0, rate, static_cast<int>(rate * 0.3)), {defaultblock});
            EXPECT_TRUE(out.allfinite);
            for (int ch = 0; ch < channels.size(); ++ch) // the voices are heard once the frame is full
                EXPECT_GT(rms(out.channels[ch], out.channels[ch].size() / 2, out.channels[ch].size()), 0.001);
            instance->releaseResources();
        }
    }
    EXPECT_EQ(savestate(*instance), withnul(richstatetext()) + hosttrailer());
}

// Dry only, "Global Volume" at its top (about 6.5): a near-maximal sample overflows a float and
// reaches the host as the largest float of its sign.
TEST(hosted, HugeOutputIsClampedToTheFloatRange)
{
    auto loud = prepared(statetext({record("^PAR", {0.500098, 1, 1, 0, 0, 1, 0.500098, 0.500098, 1}), voice()}));
    ASSERT_NE(loud, nullptr);
    constexpr int drydelay = 1535; // aligned blocks of 512 at 44100 Hz
    std::vector<float> peaks(8192, 0.0f);
    peaks[1000] = 3e38f;
    peaks[3000] = -3e38f;
    const auto out = render(*loud, peaks, {defaultblock}).channels[0];
    EXPECT_EQ(out[1000 + drydelay], std::numeric_limits<float>::max());
    EXPECT_EQ(out[3000 + drydelay], -std::numeric_limits<float>::max());
}

// A seven-semitone voice raises a harmonic tone to its fifth on both channels, also for a host
// that calls processReplacing without ever preparing: the plug-in plays at the rate it announced.
TEST(hosted, SevenSemitoneVoiceRaisesAHarmonicToneToItsFifth)
{
    constexpr double tone = 220.0;
    constexpr double fifth = 329.6275569; // raised by seven equal-tempered semitones
    const std::tuple<double, bool> rows[] = {{44100.0, true}, {96000.0, false}};
    for (const auto& [rate, prepares] : rows)
    {
        SCOPED_TRACE(rate);
        auto instance = loadplugin(rate);
        ASSERT_NE(instance, nullptr);
        if (prepares)
            instance->prepareToPlay(rate, defaultblock);
        restorestate(*instance, withnul(fifthvoice));
        auto input = harmonictone(tone, rate, static_cast<int>(2 * rate) / defaultblock * defaultblock);
        std::vector<float> out[2] = {input, input};
        for (std::size_t at = 0; at < input.size(); at += defaultblock)
        {
            float* in[2] = {&input[at], &input[at]};
            float* outs[2] = {&out[0][at], &out[1][at]};
            ASSERT_TRUE(vsthost::processreplacing(*instance, in, outs, defaultblock));
        }
        for (const auto& channel : out)
        {
            const double samplerate = rate;                     // a structured binding cannot be captured
            const auto window = static_cast<std::size_t>(rate); // a second: 1 Hz resolution
            const auto at = [&](double f) { return levelat(channel, channel.size() - window, window, samplerate, f); };
            EXPECT_GT(at(fifth), 0.2); // the tone's fundamental (0.25) carried by the voice at unity
            EXPECT_LT(at(tone), 0.01 * at(fifth));
            EXPECT_LT(at(fifth * 1.01), 0.03 * at(fifth)); // in tune within a sixth of a semitone
        }
    }
}

// Blocks of any size, up to eight times the one prepared (the conversion buffers grow), give
// what blocks of one size give.
TEST(hosted, BlocksOfVaryingSizeGiveTheSameOutput)
{
    const auto input = harmonictone(220.0, defaultrate, 7 * 9952);
    const std::string text = statetext({globals(0.5), voice(pitchnorm(7))});
    const auto fixed = render(*prepared(text, 1000), input, {1000}).channels[0];
    const auto varying = render(*prepared(text), input, {1, 17, 300, 1000, 2048, 4096, 513, 77, 1900}).channels[0];
    ASSERT_GT(rms(fixed, 0, fixed.size()), 0.01);
    float largest = 0.0f;
    for (std::size_t i = 0; i < fixed.size(); ++i)
        largest = std::max(largest, std::abs(fixed[i] - varying[i]));
    EXPECT_LT(largest, 1e-6f);
}

// A voice at volume 0 that only its modulators move, on MIDI of any channel or on host
// parameter 3: its level before and after the middle of the render, as a share of full volume.
// First values of a host parameter are set, and a block run, before the state is loaded.
TEST(hosted, ControllersNotesAndHostParametersDriveTheirModulators)
{
    constexpr int change = 66150;
    constexpr std::size_t settle = 13230;
    constexpr std::size_t span = change - settle;
    constexpr int none = -1;
    constexpr int parameterthree = 2; // its framework index
    const auto level = [&](const std::string& text, const std::vector<int>& first, const std::vector<int>& second,
                           float firstvalue, float secondvalue) {
        auto instance = prepared(statetext({globals()}));
        if (firstvalue >= 0.0f)
            instance->getParameters()[parameterthree]->setValue(firstvalue);
        tonethrough(*instance);
        restorestate(*instance, withnul(text));
        juce::MidiBuffer midi;
        if (!first.empty())
            midi.addEvent(juce::MidiMessage(first[0], first[1], first[2]), 0);
        if (!second.empty())
            midi.addEvent(juce::MidiMessage(second[0], second[1], second[2]), change);
        const auto set = [&](std::size_t b) {
            if (secondvalue >= 0.0f && b == change / defaultblock)
                instance->getParameters()[parameterthree]->setValue(secondvalue);
        };
        const auto out = render(*instance, harmonictone(440.0, defaultrate, 2 * change, 1), {defaultblock}, midi, set);
        return std::pair{rms(out.channels[0], settle, span), rms(out.channels[0], change + settle, span)};
    };
    const std::string parameter = modulatedvoice({controllermodulator(0, 3)});
    const double full = level(parameter, {}, {}, 1.0f, none).first; // the modulator at 1
    ASSERT_GT(full, 0.01);
    const std::string controller = modulatedvoice({controllermodulator(3 + 7, 0)}); // "MIDI CC" 3 + 7: controller 7
    const std::string keysvelocity = modulatedvoice({controllermodulator(1, 0), controllermodulator(2, 0)});
    const std::string twolisteners = modulatedvoice({controllermodulator(0, 3), controllermodulator(0, 3)});
    using bytes = std::vector<int>;
    // Name, state, MIDI at the start and at the middle, parameter 3 before the load and at the middle, levels.
    const std::tuple<const char*, const std::string&, bytes, bytes, float, float, double, double> rows[] = {
        {"controller 7 on channels 1, then 16", controller, {0xB0, 7, 127}, {0xBF, 7, 32}, none, none, 1.0, 32.0 / 127},
        {"keys (note mod 48) / 48 plus velocity", keysvelocity, {0x9F, 84, 127}, {0x90, 60, 0}, none, none, 1.75, 0.25},
        {"host default, then moved", parameter, {}, {}, none, 1.0f, 0.5, 1.0},
        {"only the first listener follows", twolisteners, {}, {}, none, 0.25f, 0.5, 0.25},
        {"set before the load", parameter, {}, {}, 0.8f, none, 0.8, 0.8},
        {"zero before the load", parameter, {}, {}, 0.0f, 0.6f, 0.0, 0.6},
    };
    for (const auto& [name, text, first, second, firstvalue, secondvalue, before, after] : rows)
    {
        SCOPED_TRACE(name);
        const auto heard = level(text, first, second, firstvalue, secondvalue);
        EXPECT_NEAR(heard.first / full, before, 0.03);
        EXPECT_NEAR(heard.second / full, after, 0.03);
    }
}
} // namespace
} // namespace quilltest
