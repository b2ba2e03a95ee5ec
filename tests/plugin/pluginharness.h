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

using plugin = std::unique_ptr<juce::AudioPluginInstance>;
plugin loadplugin(double rate = defaultrate, int block = defaultblock);
// Loaded, prepared at the default rate and given a state text.
plugin prepared(const std::string& text, int block = defaultblock);
std::string savestate(juce::AudioPluginInstance& instance);
void restorestate(juce::AudioPluginInstance& instance, const std::string& bytes);
// Any text, its NUL, and one trailer of 32 values in 0..1 closed by a NUL.
bool wellformedchunk(const std::string& chunk);
// Every kind of patch, several voices and assignments, in the writer's own format.
std::string richstatetext();

struct rendering
{
    std::vector<float> channels[2];
    bool allfinite = true;
};
// Input on every channel, in blocks of the listed sizes (cycled), MIDI at absolute positions;
// `beforeblock` (if any) is called with each block's index.
rendering render(juce::AudioPluginInstance& instance, const std::vector<float>& input, const std::vector<int>& sizes,
                 const juce::MidiBuffer& midi = {}, const std::function<void(std::size_t)>& beforeblock = {});
// A short tone through the plug-in: whether every output sample is finite.
bool tonethrough(juce::AudioPluginInstance& instance);
} // namespace quilltest
