// Drives the built Quillatrove.so through JUCE's own VST 2 hosting code, as a host would.
#pragma once

#include "tests/plugin/statetexts.h"
#include "tools/vsthost/vsthost.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quilltest
{
inline constexpr double defaultrate = 44100.0;
inline constexpr int defaultblock = 512;
inline constexpr int reportedlatency = 1780;

// JUCE's runtime for the test process: the test thread is the message thread.
class plugintest : public ::testing::Test
{
protected:
    juce::ScopedJuceInitialiser_GUI runtime;
};

juce::String pluginpath();
const juce::PluginDescription& plugindescription();
std::unique_ptr<juce::AudioPluginInstance> loadplugin(double rate = defaultrate, int block = defaultblock);
// Loaded, prepared at the default rate and given a state text.
std::unique_ptr<juce::AudioPluginInstance> prepared(const std::string& text, int block = defaultblock);
std::string savestate(juce::AudioPluginInstance& plugin);
inline void restorestate(juce::AudioPluginInstance& plugin, const std::string& bytes)
{
    juce::VSTPluginFormat::setChunkData(&plugin, bytes.data(), static_cast<int>(bytes.size()), false);
}
// A chunk as the plug-in saves it with every host parameter at its default.
inline std::string chunkof(const std::string& text)
{
    return withnul(text) + hosttrailer();
}
// The state text of a chunk with its NUL; the whole chunk when it has none.
inline std::string textpart(const std::string& chunk)
{
    return chunk.substr(0, chunk.find('\0') + 1);
}
// Any text, its NUL, and one trailer of 32 values in 0..1 closed by a NUL.
bool wellformedchunk(const std::string& chunk);
void oneblock(juce::AudioPluginInstance& plugin);

// Every kind of patch, several voices and assignments, in the writer's own format.
std::string richstatetext();

struct rendering
{
    std::vector<float> channels[2];
    bool allfinite = true;
};
// Input on every channel, in blocks of the listed sizes (cycled), MIDI at absolute positions;
// `beforeblock` (if any) is called with each block's index.
rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input, const std::vector<int>& blocksizes,
                 const juce::MidiBuffer& midi = {}, const std::function<void(std::size_t)>& beforeblock = {});

// The strongest frequency between lo and hi (Hann-windowed DFT).
double peakfrequency(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double lo,
                     double hi);
} // namespace quilltest
