// The command-line host's work on the real plug-in: what it reports, and a render with MIDI,
// a state chunk and a host parameter, read back from the files it writes.
#include "tests/plugin/pluginharness.h"

#include <sstream>

namespace quilltest
{
namespace
{
class vsthosttest : public plugintest
{
protected:
    void SetUp() override
    {
        // Unique per test: ctest runs the cases of this file side by side.
        folder = juce::File::getSpecialLocation(juce::File::tempDirectory)
                     .getChildFile("quill-vsthost-test-" + juce::Uuid().toString());
        ASSERT_TRUE(folder.createDirectory());
    }
    void TearDown() override { folder.deleteRecursively(); }

    juce::File file(const char* name) const { return folder.getChildFile(name); }

    void writewav(const juce::File& target, const std::vector<float>& samples, int channels)
    {
        juce::AudioBuffer<float> buffer(channels, static_cast<int>(samples.size()));
        for (int ch = 0; ch < channels; ++ch)
            buffer.copyFrom(ch, 0, samples.data(), static_cast<int>(samples.size()));
        auto stream = std::make_unique<juce::FileOutputStream>(target);
        ASSERT_TRUE(stream->openedOk());
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer(
            wav.createWriterFor(stream.get(), defaultrate, static_cast<unsigned>(channels), 32, {}, 0));
        ASSERT_NE(writer, nullptr);
        stream.release();
        ASSERT_TRUE(writer->writeFromAudioSampleBuffer(buffer, 0, buffer.getNumSamples()));
    }

    juce::File folder;
};

TEST_F(vsthosttest, DescribesThePlugInAsAHostSeesIt)
{
    juce::String error;
    auto plugin = vsthost::loadplugin(pluginpath(), defaultrate, defaultblock, error);
    ASSERT_NE(plugin, nullptr) << error;
    std::ostringstream out;
    vsthost::describe(*plugin, out);
    const std::string text = out.str();
    for (const char* line : {"name: Quillatrove\n", "vendor: Korvel Music\n", "version code: 0x10200\n",
                             "'Vlmq'", "category: Effect\n", "accepts MIDI: yes\n", "produces MIDI: no\n",
                             "latency: 1780 samples\n", "programs: 1\n", "has editor: no\n",
                             "program chunks: yes\n", "parameters: 32\n", "  0 \"Parameter 1\" value 0.5",
                             "  31 \"Parameter 32\" value 0.5"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(vsthosttest, RefusesAFileThatIsNoPlugIn)
{
    const auto notaplugin = file("empty.so");
    ASSERT_TRUE(notaplugin.replaceWithText("nothing"));
    juce::String error;
    EXPECT_EQ(vsthost::loadplugin(notaplugin.getFullPathName(), defaultrate, defaultblock, error), nullptr);
    EXPECT_TRUE(error.isNotEmpty());
}

TEST_F(vsthosttest, RendersWithMidiStateAndParameterAndSavesTheChunk)
{
    const int length = static_cast<int>(defaultrate);
    writewav(file("in.wav"), sine(440.0, defaultrate, length), 2);

    // Controller 7 on channel 16 opens the voice halfway through.
    juce::MidiMessageSequence track;
    track.addEvent(juce::MidiMessage::controllerEvent(16, 7, 127), 960.0);
    juce::MidiFile midifile;
    midifile.setTicksPerQuarterNote(960); // 120 bpm by default: 960 ticks are half a second
    midifile.addTrack(track);
    {
        juce::FileOutputStream stream(file("in.mid"));
        ASSERT_TRUE(stream.openedOk());
        ASSERT_TRUE(midifile.writeTo(stream));
    }

    const std::string text = statetext({globals(), controllermodulator(3 + 7, 0), voice(0.5, 0.0, 0.5),
                                        assignment(0, voicevolume)});
    ASSERT_TRUE(file("state.bin").replaceWithText(text + std::string(1, '\0')));

    juce::String error;
    auto plugin = vsthost::loadplugin(pluginpath(), defaultrate, defaultblock, error);
    ASSERT_NE(plugin, nullptr) << error;
    vsthost::renderjob job;
    job.input = file("in.wav");
    job.output = file("out.wav");
    job.midi = file("in.mid");
    job.statein = file("state.bin");
    job.stateout = file("saved.bin");
    job.parameters = {{4, 0.75f}};
    ASSERT_TRUE(vsthost::render(*plugin, job, error)) << error;

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader(formats.createReaderFor(file("out.wav")));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->numChannels, 2u);
    EXPECT_EQ(reader->sampleRate, defaultrate);
    EXPECT_EQ(reader->lengthInSamples, length + reportedlatency);
    juce::AudioBuffer<float> out(2, static_cast<int>(reader->lengthInSamples));
    reader->read(&out, 0, out.getNumSamples(), 0, true, true);
    const std::vector<float> left(out.getReadPointer(0), out.getReadPointer(0) + out.getNumSamples());
    const std::size_t half = static_cast<std::size_t>(length / 2);
    EXPECT_LT(rms(left, 0, half - 4096), 1e-6);       // closed until the controller arrives
    EXPECT_GT(rms(left, half + 8192, half - 8192), 0.01); // open afterwards

    juce::MemoryBlock saved;
    ASSERT_TRUE(file("saved.bin").loadFileAsData(saved));
    EXPECT_EQ(std::string(static_cast<const char*>(saved.getData()), saved.getSize()), text + std::string(1, '\0'));
    EXPECT_FLOAT_EQ(plugin->getParameters()[4]->getValue(), 0.75f);
}

TEST_F(vsthosttest, MonoFilesRenderMono)
{
    writewav(file("mono.wav"), sine(440.0, defaultrate, 4096), 1);
    juce::String error;
    auto plugin = vsthost::loadplugin(pluginpath(), defaultrate, defaultblock, error);
    ASSERT_NE(plugin, nullptr) << error;
    vsthost::renderjob job;
    job.input = file("mono.wav");
    job.output = file("mono-out.wav");
    ASSERT_TRUE(vsthost::render(*plugin, job, error)) << error;
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader(formats.createReaderFor(file("mono-out.wav")));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->numChannels, 1u);
    EXPECT_EQ(reader->lengthInSamples, 4096 + reportedlatency);
}

TEST_F(vsthosttest, ReportsAMissingInputFile)
{
    juce::String error;
    auto plugin = vsthost::loadplugin(pluginpath(), defaultrate, defaultblock, error);
    ASSERT_NE(plugin, nullptr) << error;
    vsthost::renderjob job;
    job.input = file("missing.wav");
    job.output = file("never.wav");
    EXPECT_FALSE(vsthost::render(*plugin, job, error));
    EXPECT_TRUE(error.contains("missing.wav"));
    EXPECT_FALSE(file("never.wav").exists());
}
} // namespace
} // namespace quilltest
