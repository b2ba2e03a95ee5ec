#include "tests/plugin/pluginharness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifndef QUILL_PLUGIN_PATH
#error "QUILL_PLUGIN_PATH must name the plug-in under test"
#endif

namespace quilltest
{
namespace
{
constexpr double twopi = 6.283185307179586;
constexpr double logk = 1.47712125471966;
constexpr double logspan = 29.0;
constexpr double wideinputrange = 6.474587245063127;
constexpr int sourcecontroller = 2;
constexpr double sourcemax = 99.0;
constexpr double menu127max = 127.0;
constexpr double speedmax = 10.0;
constexpr double defaultspeed = 0.5;

double lognorm(double value, double range)
{
    return std::log10(value / range * logspan + 1.0) / logk;
}

double hann(std::size_t i, std::size_t count)
{
    return 0.5 - 0.5 * std::cos(twopi * static_cast<double>(i) / static_cast<double>(count));
}
} // namespace

juce::String pluginpath()
{
    if (const char* fromenv = std::getenv("QUILL_PLUGIN_PATH"); fromenv != nullptr && *fromenv != 0)
        return fromenv;
    return QUILL_PLUGIN_PATH;
}

const juce::PluginDescription& plugindescription()
{
    static const juce::PluginDescription description = [] {
        juce::VSTPluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile(types, pluginpath());
        if (types.isEmpty())
        {
            ADD_FAILURE() << "no VST 2 plug-in in " << pluginpath();
            return juce::PluginDescription();
        }
        return *types[0];
    }();
    return description;
}

std::unique_ptr<juce::AudioPluginInstance> loadplugin(double rate, int block)
{
    juce::VSTPluginFormat format;
    juce::String error;
    auto plugin = format.createInstanceFromDescription(plugindescription(), rate, block, error);
    if (plugin == nullptr)
        ADD_FAILURE() << "cannot instantiate " << pluginpath() << ": " << error;
    return plugin;
}

std::string savestate(juce::AudioPluginInstance& plugin)
{
    juce::MemoryBlock chunk;
    EXPECT_TRUE(vsthost::savechunk(plugin, chunk));
    return std::string(static_cast<const char*>(chunk.getData()), chunk.getSize());
}

void restorestate(juce::AudioPluginInstance& plugin, const std::string& bytes)
{
    juce::VSTPluginFormat::setChunkData(&plugin, bytes.data(), static_cast<int>(bytes.size()), false);
}

std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(static_cast<float>(value)));
    return text;
}

std::string globals(double drynorm, double wetnorm, double monostereonorm)
{
    const double unitywide = lognorm(1.0, wideinputrange);
    const double values[] = {unitywide, 0.5, drynorm, wetnorm, 0.0, monostereonorm, unitywide, unitywide, 1.0};
    std::string text = "^PAR";
    for (double v : values)
        text += "," + number(v);
    return text;
}

std::string voice(double pitch, double volume, double pan)
{
    const double values[] = {pitch, volume, pan, 0.0, 0.5, 0.5, 0.0};
    std::string text = "^VOI";
    for (double v : values)
        text += "," + number(v);
    return text;
}

std::string controllermodulator(int midicc, int hostparameter, double amplitude1, double amplitude2)
{
    const double values[] = {amplitude1,
                             amplitude2,
                             sourcecontroller / sourcemax,
                             1.0 / sourcemax,
                             defaultspeed / speedmax,
                             0.0,
                             midicc / menu127max,
                             hostparameter / menu127max};
    std::string text = "^PAT,93001";
    for (double v : values)
        text += "," + number(v);
    return text;
}

std::string assignment(int patch, int target)
{
    return "^PAM," + std::to_string(patch) + "," + std::to_string(target) + ",1";
}

std::string statetext(const std::vector<std::string>& records)
{
    std::string text = "QLT-VERSION:1.2a";
    for (const auto& r : records)
        text += "," + r;
    return text;
}

// A state with every kind of patch, several voices and assignments; every value is one the
// writer reproduces exactly (six decimals that survive single precision).
std::string richstatetext()
{
    std::string eq = "^PAT,93003,0.500000,1.000000,0.010101,0.010101,0.050000,0.000000,0.050000,1.000000";
    for (int i = 0; i < 64; ++i)
        eq += "," + number(0.25 + 0.5 * (i % 8) / 7.0);
    std::string harmony = "^PAT,93004,0.250000,0.500000,0.030303,0.000000,0.050000";
    for (int i = 0; i < 12; ++i)
        harmony += "," + number(0.5 + (i - 6) / 48.0);
    const std::string delay =
        "^PAT,93002,0.000000,0.100000,0.010101,0.010101,0.050000,0.300000,0.250000,0.750000";
    const std::string lfo =
        "^PAT,93001,0.400000,0.000000,0.000000,0.010101,0.100000,0.000000,0.000000,0.000000";
    return statetext({globals(0.25, 0.75, 1.0), lfo, delay, eq, harmony, controllermodulator(10, 3),
                      voice(pitchnorm(7), 0.5, 0.25), assignment(0, 0), assignment(1, 0), assignment(2, 0),
                      voice(pitchnorm(-5), 0.4, 0.75), assignment(3, 0), assignment(4, 1),
                      voice(0.5, 0.3, 0.5)});
}

double pitchnorm(double semitones)
{
    return (1.0 + semitones / 12.0) / 2.0;
}

std::vector<float> harmonictone(double f0, double rate, int length, double amplitude, int harmonics)
{
    std::vector<float> x(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < x.size(); ++i)
    {
        double s = 0.0;
        for (int h = 1; h <= harmonics; ++h)
            s += std::sin(twopi * f0 * h * static_cast<double>(i) / rate) / h;
        x[i] = static_cast<float>(amplitude * s);
    }
    return x;
}

std::vector<float> sine(double f, double rate, int length, double amplitude)
{
    return harmonictone(f, rate, length, amplitude, 1);
}

rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input, int blocksize,
                 const juce::MidiBuffer& midi)
{
    return render(plugin, input, std::vector<int>{blocksize}, midi);
}

rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input,
                 const std::vector<int>& blocksizes, const juce::MidiBuffer& midi)
{
    rendering result;
    const int outchannels = std::min(2, plugin.getTotalNumOutputChannels());
    const int inchannels = plugin.getTotalNumInputChannels();
    const int bufferchannels = std::max(inchannels, plugin.getTotalNumOutputChannels());
    for (int ch = 0; ch < outchannels; ++ch)
        result.channels[ch].reserve(input.size());

    const int largest = *std::max_element(blocksizes.begin(), blocksizes.end());
    juce::AudioBuffer<float> buffer(bufferchannels, largest);
    juce::MidiBuffer blockmidi;
    std::size_t position = 0;
    for (std::size_t b = 0; position < input.size(); ++b)
    {
        const int wanted = blocksizes[b % blocksizes.size()];
        const int n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(wanted), input.size() - position));
        buffer.setSize(bufferchannels, n, false, false, true);
        buffer.clear();
        for (int ch = 0; ch < inchannels; ++ch)
            buffer.copyFrom(ch, 0, input.data() + position, n);
        blockmidi.clear();
        blockmidi.addEvents(midi, static_cast<int>(position), n, -static_cast<int>(position));
        plugin.processBlock(buffer, blockmidi);
        for (int ch = 0; ch < outchannels; ++ch)
        {
            const float* out = buffer.getReadPointer(ch);
            for (int i = 0; i < n; ++i)
            {
                result.allfinite = result.allfinite && std::isfinite(out[i]);
                result.channels[ch].push_back(out[i]);
            }
        }
        position += static_cast<std::size_t>(n);
    }
    return result;
}

double rms(const std::vector<float>& x, std::size_t from, std::size_t count)
{
    double sum = 0.0;
    const std::size_t end = std::min(x.size(), from + count);
    for (std::size_t i = from; i < end; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return end > from ? std::sqrt(sum / static_cast<double>(end - from)) : 0.0;
}

double magnitudeat(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double f)
{
    double re = 0.0;
    double im = 0.0;
    const double w = twopi * f / rate;
    for (std::size_t i = 0; i < count && from + i < x.size(); ++i)
    {
        const double s = x[from + i] * hann(i, count);
        re += s * std::cos(w * static_cast<double>(i));
        im -= s * std::sin(w * static_cast<double>(i));
    }
    return std::sqrt(re * re + im * im) / static_cast<double>(count);
}

double peakfrequency(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double lo,
                     double hi)
{
    // A coarse scan finer than the window's main lobe, then a fine one around its best bin.
    auto scan = [&](double a, double b, double step) {
        double best = a;
        double bestmagnitude = -1.0;
        for (double f = a; f <= b; f += step)
        {
            const double m = magnitudeat(x, from, count, rate, f);
            if (m > bestmagnitude)
            {
                bestmagnitude = m;
                best = f;
            }
        }
        return best;
    };
    const double coarsestep = rate / static_cast<double>(count) / 4.0;
    const double coarse = scan(lo, hi, coarsestep);
    return scan(coarse - coarsestep, coarse + coarsestep, coarsestep / 50.0);
}
} // namespace quilltest
