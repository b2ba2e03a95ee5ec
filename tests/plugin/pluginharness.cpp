#include "tests/plugin/pluginharness.h"

#include <regex>

namespace quilltest
{
plugin loadplugin(double rate, int block)
{
    juce::String error;
    auto instance = vsthost::loadplugin(QUILL_PLUGIN_PATH, rate, block, error);
    EXPECT_NE(instance, nullptr) << error;
    return instance;
}

plugin prepared(const std::string& text, int block)
{
    auto instance = loadplugin();
    if (instance == nullptr)
        return instance;
    instance->prepareToPlay(defaultrate, block);
    restorestate(*instance, withnul(text));
    return instance;
}

std::string savestate(juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock chunk;
    EXPECT_TRUE(vsthost::savechunk(instance, chunk));
    return std::string(static_cast<const char*>(chunk.getData()), chunk.getSize());
}

void restorestate(juce::AudioPluginInstance& instance, const std::string& bytes)
{
    juce::VSTPluginFormat::setChunkData(&instance, bytes.data(), static_cast<int>(bytes.size()), false);
}

bool wellformedchunk(const std::string& chunk)
{
    // Values as the writer writes them: six decimals, none above 1.
    static const std::regex trailer("QLT-HOSTPARAMS:1(,(0\\.\\d{6}|1\\.000000)){" + std::to_string(hostparametercount)
                                    + "}\\x00");
    const std::size_t nul = chunk.find('\0');
    return nul != std::string::npos
           && std::regex_match(chunk.begin() + static_cast<long>(nul) + 1, chunk.end(), trailer);
}

std::string richstatetext()
{
    std::string eq = "^PAT,93003,0.500000,1.000000,0.010101,0.010101,0.050000,0.000000,0.050000,1.000000";
    for (int i = 0; i < 64; ++i)
        eq = record(eq, {0.25 + 0.5 * (i % 8) / 7.0});
    std::string harmony = "^PAT,93004,0.250000,0.500000,0.030303,0.000000,0.050000";
    for (int i = 0; i < 12; ++i)
        harmony = record(harmony, {0.5 + (i - 6) / 48.0});
    return statetext(
        {globals(0.25, 0.75, 1.0), "^PAT,93001,0.400000,0.000000,0.000000,0.010101,0.100000,0.000000,0.000000,0.000000",
         "^PAT,93002,0.000000,0.100000,0.010101,0.010101,0.050000,0.300000,0.250000,0.750000", eq, harmony,
         controllermodulator(10, 3), voice(pitchnorm(7), 0.5, 0.25), assignment(0, 0), assignment(1, 0),
         assignment(2, 0), voice(pitchnorm(-5), 0.4, 0.75), assignment(3, 0), assignment(4, 1), voice(0.5, 0.3, 0.5)});
}

rendering render(juce::AudioPluginInstance& instance, const std::vector<float>& input, const std::vector<int>& sizes,
                 const juce::MidiBuffer& midi, const std::function<void(std::size_t)>& beforeblock)
{
    rendering result;
    const int outchannels = std::min(2, instance.getTotalNumOutputChannels());
    const int inchannels = instance.getTotalNumInputChannels();
    const int bufferchannels = std::max(inchannels, instance.getTotalNumOutputChannels());
    juce::AudioBuffer<float> buffer(bufferchannels, *std::max_element(sizes.begin(), sizes.end()));
    juce::MidiBuffer blockmidi;
    for (std::size_t b = 0, position = 0; position < input.size(); ++b)
    {
        const int n = std::min(sizes[b % sizes.size()], static_cast<int>(input.size() - position));
        buffer.setSize(bufferchannels, n, false, false, true);
        buffer.clear();
        for (int ch = 0; ch < inchannels; ++ch)
            buffer.copyFrom(ch, 0, input.data() + position, n);
        blockmidi.clear();
        blockmidi.addEvents(midi, static_cast<int>(position), n, -static_cast<int>(position));
        if (beforeblock)
            beforeblock(b);
        instance.processBlock(buffer, blockmidi);
        for (int ch = 0; ch < outchannels; ++ch)
            for (int i = 0; i < n; ++i)
            {
                result.allfinite &= std::isfinite(buffer.getSample(ch, i));
                result.channels[ch].push_back(buffer.getSample(ch, i));
            }
        position += static_cast<std::size_t>(n);
    }
    return result;
}

bool tonethrough(juce::AudioPluginInstance& instance)
{
    return render(instance, harmonictone(440.0, defaultrate, 256, 1), {256}).allfinite;
}
} // namespace quilltest
