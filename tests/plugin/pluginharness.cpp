#include "tests/plugin/pluginharness.h"

#include "foundation/comath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>

namespace quilltest
{
using comath::twopi;

juce::String pluginpath()
{
    return QUILL_PLUGIN_PATH;
}

const juce::PluginDescription& plugindescription()
{
    static juce::OwnedArray<juce::PluginDescription> types;
    if (types.isEmpty())
        juce::VSTPluginFormat().findAllTypesForFile(types, pluginpath());
    static const juce::PluginDescription none;
    return types.isEmpty() ? none : *types[0];
}

std::unique_ptr<juce::AudioPluginInstance> loadplugin(double rate, int block)
{
    juce::String error;
    auto plugin = juce::VSTPluginFormat().createInstanceFromDescription(plugindescription(), rate, block, error);
    EXPECT_NE(plugin, nullptr) << pluginpath() << ": " << error;
    return plugin;
}

std::unique_ptr<juce::AudioPluginInstance> prepared(const std::string& text, int block)
{
    auto plugin = loadplugin();
    if (plugin != nullptr)
    {
        plugin->prepareToPlay(defaultrate, block);
        restorestate(*plugin, withnul(text));
    }
    return plugin;
}

std::string savestate(juce::AudioPluginInstance& plugin)
{
    juce::MemoryBlock chunk;
    EXPECT_TRUE(vsthost::savechunk(plugin, chunk));
    return std::string(static_cast<const char*>(chunk.getData()), chunk.getSize());
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

void oneblock(juce::AudioPluginInstance& plugin)
{
    render(plugin, std::vector<float>(256), {256});
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

rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input, const std::vector<int>& blocksizes,
                 const juce::MidiBuffer& midi, const std::function<void(std::size_t)>& beforeblock)
{
    rendering result;
    const int outchannels = std::min(2, plugin.getTotalNumOutputChannels());
    const int inchannels = plugin.getTotalNumInputChannels();
    const int bufferchannels = std::max(inchannels, plugin.getTotalNumOutputChannels());
    juce::AudioBuffer<float> buffer(bufferchannels, *std::max_element(blocksizes.begin(), blocksizes.end()));
    juce::MidiBuffer blockmidi;
    for (std::size_t b = 0, position = 0; position < input.size(); ++b)
    {
        const auto size = static_cast<std::size_t>(blocksizes[b % blocksizes.size()]);
        const int n = static_cast<int>(std::min(size, input.size() - position));
        buffer.setSize(bufferchannels, n, false, false, true);
        buffer.clear();
        for (int ch = 0; ch < inchannels; ++ch)
            buffer.copyFrom(ch, 0, input.data() + position, n);
        blockmidi.clear();
        blockmidi.addEvents(midi, static_cast<int>(position), n, -static_cast<int>(position));
        if (beforeblock)
            beforeblock(b);
        plugin.processBlock(buffer, blockmidi);
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

double peakfrequency(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double lo,
                     double hi)
{
    const auto magnitudeat = [&](double f) {
        double re = 0.0, im = 0.0;
        for (std::size_t i = 0; i < count && from + i < x.size(); ++i)
        {
            const double t = static_cast<double>(i);
            const double hann = 0.5 - 0.5 * std::cos(twopi * t / static_cast<double>(count));
            re += x[from + i] * hann * std::cos(twopi * f / rate * t);
            im -= x[from + i] * hann * std::sin(twopi * f / rate * t);
        }
        return re * re + im * im;
    };
    const auto scan = [&](double a, double b, double step) {
        double best = a;
        double bestmagnitude = -1.0;
        for (double f = a; f <= b; f += step)
            if (const double m = magnitudeat(f); m > bestmagnitude)
            {
                bestmagnitude = m;
                best = f;
            }
        return best;
    };
    const double coarsestep = rate / static_cast<double>(count) / 4.0; // finer than the main lobe
    const double coarse = scan(lo, hi, coarsestep);
    return scan(coarse - coarsestep, coarse + coarsestep, coarsestep / 50.0);
}
} // namespace quilltest
