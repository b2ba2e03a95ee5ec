// The command-line host's render on the real plug-in, with a MIDI file and a state chunk in,
// a saved chunk out, read back from the files it writes.
#include "tests/plugin/pluginharness.h"

namespace quilltest
{
namespace
{
using vsthosttest = plugintest;

TEST_F(vsthosttest, RendersInputPlusLatencyWithMidiAndStateAndSavesTheChunk)
{
    const auto folder = juce::File::createTempFile("quill-vsthost");
    ASSERT_TRUE(folder.createDirectory());
    const auto file = [&](const char* name) { return folder.getChildFile(name); };
    const int length = static_cast<int>(defaultrate);
    {
        const auto input = sine(440.0, defaultrate, length);
        juce::AudioBuffer<float> buffer(2, length);
        for (int ch = 0; ch < 2; ++ch)
            buffer.copyFrom(ch, 0, input.data(), length);
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer(
            wav.createWriterFor(new juce::FileOutputStream(file("in.wav")), defaultrate, 2, 32, {}, 0));
        ASSERT_NE(writer, nullptr);
        ASSERT_TRUE(writer->writeFromAudioSampleBuffer(buffer, 0, length));
    }
    // Controller 7 on channel 16 opens the voice halfway through (960 ticks at 120 bpm).
    juce::MidiMessageSequence track;
    track.addEvent(juce::MidiMessage::controllerEvent(16, 7, 127), 960.0);
    juce::MidiFile midifile;
    midifile.setTicksPerQuarterNote(960);
    midifile.addTrack(track);
    juce::FileOutputStream midistream(file("in.mid"));
    ASSERT_TRUE(midifile.writeTo(midistream));
    midistream.flush();
    const std::string text =
        statetext({globals(), controllermodulator(3 + 7, 0), voice(0.5, 0.0), assignment(0, voicevolume)});
    ASSERT_TRUE(file("state.bin").replaceWithText(withnul(text)));

    juce::String error;
    auto plugin = vsthost::loadplugin(pluginpath(), defaultrate, defaultblock, error);
    ASSERT_NE(plugin, nullptr) << error;
    vsthost::renderjob job;
    job.input = file("in.wav");
    job.output = file("out.wav");
    job.midi = file("in.mid");
    job.statein = file("state.bin");
    job.stateout = file("saved.bin");
    ASSERT_TRUE(vsthost::render(*plugin, job, error)) << error;

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader(formats.createReaderFor(file("out.wav")));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->numChannels, 2u);
    EXPECT_EQ(reader->lengthInSamples, length + reportedlatency);
    juce::AudioBuffer<float> out(2, static_cast<int>(reader->lengthInSamples));
    reader->read(&out, 0, out.getNumSamples(), 0, true, true);
    const std::vector<float> left(out.getReadPointer(0), out.getReadPointer(0) + out.getNumSamples());
    const std::size_t half = static_cast<std::size_t>(length / 2);
    EXPECT_LT(rms(left, 0, half - 4096), 1e-6);           // closed until the controller arrives
    EXPECT_GT(rms(left, half + 8192, half - 8192), 0.01); // open afterwards

    juce::MemoryBlock saved;
    ASSERT_TRUE(file("saved.bin").loadFileAsData(saved));
    EXPECT_EQ(std::string(static_cast<const char*>(saved.getData()), saved.getSize()), withnul(text));
    folder.deleteRecursively();
}
} // namespace
} // namespace quilltest
