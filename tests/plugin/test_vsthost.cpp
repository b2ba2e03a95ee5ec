// The command-line host's render on the real plug-in: state chunk in, audio and chunk out.
#include "tests/plugin/pluginharness.h"

namespace quilltest
{
namespace
{
using vsthosttest = plugintest;

TEST_F(vsthosttest, RendersInputPlusLatencyWithStateAndSavesTheChunk)
{
    const auto folder = juce::File::createTempFile("quill-vsthost");
    ASSERT_TRUE(folder.createDirectory());
    const auto file = [&](const char* name) { return folder.getChildFile(name); };
    const int length = static_cast<int>(defaultrate);
    const auto input = sine(440.0, defaultrate, length);
    const float* channels[] = {input.data(), input.data()};
    std::unique_ptr<juce::AudioFormatWriter> writer(
        juce::WavAudioFormat().createWriterFor(new juce::FileOutputStream(file("in.wav")), defaultrate, 2, 32, {}, 0));
    ASSERT_TRUE(writer != nullptr && writer->writeFromFloatArrays(channels, 2, length));
    writer.reset();
    const std::string text = statetext({globals(), controllermodulator(3 + 7, 0), voice(0.5, 0.0), assignment(0, 1)});
    ASSERT_TRUE(file("state.bin").replaceWithText(withnul(text)));

    juce::String error;
    auto plugin = vsthost::loadplugin(pluginpath(), defaultrate, defaultblock, error);
    ASSERT_NE(plugin, nullptr) << error;
    vsthost::renderjob job;
    job.input = file("in.wav");
    job.output = file("out.wav");
    job.statein = file("state.bin");
    job.stateout = file("saved.bin");
    ASSERT_TRUE(vsthost::render(*plugin, job, error)) << error;

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader(formats.createReaderFor(file("out.wav")));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->numChannels, 2u);
    EXPECT_EQ(reader->lengthInSamples, length + reportedlatency);
    juce::MemoryBlock saved;
    ASSERT_TRUE(file("saved.bin").loadFileAsData(saved));
    EXPECT_EQ(std::string(static_cast<const char*>(saved.getData()), saved.getSize()), chunkof(text));
    folder.deleteRecursively();
}
} // namespace
} // namespace quilltest
