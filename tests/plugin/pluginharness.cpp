#include "tests/plugin/pluginharness.h"

#include "foundation/comath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quilltest
{
namespace
{
using comath::twopi;
constexpr double unitywidenorm = 0.500098; // 1.0 on the logarithmic wide-input range
constexpr double sourcecontroller = 2.0 / 99.0;
constexpr double menu127max = 127.0;

// Values as the state writer writes them: floats, six decimals.
std::string record(std::string text, std::initializer_list<double> values)
{
    char number[64];
    for (double v : values)
        std::snprintf(number, sizeof number, ",%.6f", static_cast<double>(static_cast<float>(v))), text += number;
    return text;
}
} // namespace

juce::String pluginpath() { return QUILL_PLUGIN_PATH; }

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
        plugin->prepareToPlay(defaultrate, block), restorestate(*plugin, withnul(text));
    return plugin;
}

std::string savestate(juce::AudioPluginInstance& plugin)
{
    juce::MemoryBlock chunk;
    EXPECT_TRUE(vsthost::savechunk(plugin, chunk));
    return std::string(static_cast<const char*>(chunk.getData()), chunk.getSize());
}

std::string hosttrailer(float value)
{
    std::string trailer = "QLT-HOSTPARAMS:1";
    for (int i = 0; i < hostparametercount; ++i)
        trailer = record(trailer, {static_cast<double>(value)});
    return withnul(trailer);
}

bool wellformedchunk(const std::string& chunk)
{
    const std::string text = textpart(chunk), trailer = chunk.substr(text.size());
    if (text.back() != '\0' || trailer.rfind("QLT-HOSTPARAMS:1,", 0) != 0)
        return false;
    if (trailer.find('\0') != trailer.size() - 1)
        return false;
    int values = 0;
    for (std::size_t comma = trailer.find(','); comma != std::string::npos; comma = trailer.find(',', comma + 1))
    {
        const double v = std::atof(trailer.c_str() + comma + 1);
        if (!(v >= 0.0 && v <= 1.0))
            return false;
        ++values;
    }
    return values == hostparametercount;
}

void oneblock(juce::AudioPluginInstance& plugin) { render(plugin, std::vector<float>(256), {256}); }

std::string globals(double drynorm, double wetnorm, double monostereonorm)
{
    return record("^PAR", {unitywidenorm, 0.5, drynorm, wetnorm, 0.0, monostereonorm, unitywidenorm, unitywidenorm, 1.0});
}

std::string voice(double pitch, double volume, double pan) { return record("^VOI", {pitch, volume, pan, 0.0, 0.5, 0.5, 0.0}); }

std::string controllermodulator(int midicc, int hostparameter)
{
    return record("^PAT,93001", {0.0, 1.0, sourcecontroller, 1.0 / 99.0, 0.05, 0.0, midicc / menu127max, hostparameter / menu127max});
}

std::string statetext(const std::vector<std::string>& records)
{
    std::string text = "QLT-VERSION:1.2a";
    for (const auto& r : records)
        text += "," + r;
    return text;
}

std::string richstatetext()
{
    std::string eq = "^PAT,93003,0.500000,1.000000,0.010101,0.010101,0.050000,0.000000,0.050000,1.000000";
    for (int i = 0; i < 64; ++i)
        eq = record(eq, {0.25 + 0.5 * (i % 8) / 7.0});
    std::string harmony = "^PAT,93004,0.250000,0.500000,0.030303,0.000000,0.050000";
    for (int i = 0; i < 12; ++i)
        harmony = record(harmony, {0.5 + (i - 6) / 48.0});
    return statetext({globals(0.25, 0.75, 1.0), "^PAT,93001,0.400000,0.000000,0.000000,0.010101,0.100000,0.000000,0.000000,0.000000",
                      "^PAT,93002,0.000000,0.100000,0.010101,0.010101,0.050000,0.300000,0.250000,0.750000", eq,
                      harmony, controllermodulator(10, 3), voice(pitchnorm(7), 0.5, 0.25), assignment(0, 0),
                      assignment(1, 0), assignment(2, 0), voice(pitchnorm(-5), 0.4, 0.75), assignment(3, 0),
                      assignment(4, 1), voice(0.5, 0.3, 0.5)});
}

std::vector<float> harmonictone(double f0, double rate, int length, int harmonics)
{
    std::vector<float> x(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < x.size(); ++i)
    {
        double s = 0.0;
        for (int h = 1; h <= harmonics; ++h)
            s += std::sin(twopi * f0 * h * static_cast<double>(i) / rate) / h;
        x[i] = static_cast<float>(0.25 * s);
    }
    return x;
}

rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input,
                 const std::vector<int>& blocksizes, const juce::MidiBuffer& midi,
                 const std::function<void(std::size_t)>& beforeblock)
{
    rendering result;
    const int outchannels = std::min(2, plugin.getTotalNumOutputChannels()), inchannels = plugin.getTotalNumInputChannels();
    const int bufferchannels = std::max(inchannels, plugin.getTotalNumOutputChannels());
    juce::AudioBuffer<float> buffer(bufferchannels, *std::max_element(blocksizes.begin(), blocksizes.end()));
    juce::MidiBuffer blockmidi;
    for (std::size_t b = 0, position = 0; position < input.size(); ++b)
    {
        const int n = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(blocksizes[b % blocksizes.size()]), input.size() - position));
        buffer.setSize(bufferchannels, n, false, false, true), buffer.clear();
        for (int ch = 0; ch < inchannels; ++ch)
            buffer.copyFrom(ch, 0, input.data() + position, n);
        blockmidi.clear(), blockmidi.addEvents(midi, static_cast<int>(position), n, -static_cast<int>(position));
        if (beforeblock)
            beforeblock(b);
        plugin.processBlock(buffer, blockmidi);
        for (int ch = 0; ch < outchannels; ++ch)
            for (int i = 0; i < n; ++i)
                result.allfinite &= std::isfinite(buffer.getSample(ch, i)), result.channels[ch].push_back(buffer.getSample(ch, i));
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

double peakfrequency(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double lo, double hi)
{
    const auto magnitudeat = [&](double f) {
        double re = 0.0, im = 0.0;
        for (std::size_t i = 0; i < count && from + i < x.size(); ++i)
        {
            const double t = static_cast<double>(i), hann = 0.5 - 0.5 * std::cos(twopi * t / static_cast<double>(count));
            re += x[from + i] * hann * std::cos(twopi * f / rate * t);
            im -= x[from + i] * hann * std::sin(twopi * f / rate * t);
        }
        return re * re + im * im;
    };
    const auto scan = [&](double a, double b, double step) {
        double best = a, bestmagnitude = -1.0;
        for (double f = a; f <= b; f += step)
            if (const double m = magnitudeat(f); m > bestmagnitude)
                bestmagnitude = m, best = f;
        return best;
    };
    const double coarsestep = rate / static_cast<double>(count) / 4.0, coarse = scan(lo, hi, coarsestep); // finer than the main lobe
    return scan(coarse - coarsestep, coarse + coarsestep, coarsestep / 50.0);
}
} // namespace quilltest
