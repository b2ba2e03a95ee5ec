// Drives the built Quillatrove.so through JUCE's own VST 2 hosting code, as a host would.
#pragma once

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
inline constexpr int hostparametercount = 32;
inline constexpr int voicevolume = 1; // voice parameter index of "Volume"

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
inline std::string withnul(const std::string& text) { return text + std::string(1, '\0'); }
// The host-parameter trailer behind the state text's NUL, every parameter at `value`, its NUL included.
std::string hosttrailer(float value = 0.5f);
// A chunk as the plug-in saves it with every host parameter at its default.
inline std::string chunkof(const std::string& text) { return withnul(text) + hosttrailer(); }
// The state text of a chunk with its NUL; the whole chunk when it has none.
inline std::string textpart(const std::string& chunk) { return chunk.substr(0, chunk.find('\0') + 1); }
// Any text, its NUL, and one trailer of 32 values in 0..1 closed by a NUL.
bool wellformedchunk(const std::string& chunk);
void oneblock(juce::AudioPluginInstance& plugin);

std::string globals(double drynorm = 0.0, double wetnorm = 1.0, double monostereonorm = 1.0);
std::string voice(double pitchnorm = 0.5, double volumenorm = 0.5, double pannorm = 0.5);
// A controller-driven modulator: output = value, from "MIDI CC" menu entry `midicc` or host parameter.
std::string controllermodulator(int midicc, int hostparameter);
inline std::string assignment(int patch, int target) { return "^PAM," + std::to_string(patch) + "," + std::to_string(target) + ",1"; }
std::string statetext(const std::vector<std::string>& records);
// Every kind of patch, several voices and assignments, in the writer's own format.
std::string richstatetext();
inline double pitchnorm(double semitones) { return (1.0 + semitones / 12.0) / 2.0; }

std::vector<float> harmonictone(double f0, double rate, int length, int harmonics = 8);
inline std::vector<float> sine(double f, double rate, int length) { return harmonictone(f, rate, length, 1); }

struct rendering
{
    std::vector<float> channels[2];
    bool allfinite = true;
};
// Input on every channel, in blocks of the listed sizes (cycled), MIDI at absolute positions;
// `beforeblock` (if any) is called with each block's index.
rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input,
                 const std::vector<int>& blocksizes, const juce::MidiBuffer& midi = {},
                 const std::function<void(std::size_t)>& beforeblock = {});

double rms(const std::vector<float>& x, std::size_t from, std::size_t count);
inline double rmsofsecondhalf(const std::vector<float>& x) { return rms(x, x.size() / 2, x.size() / 2); }
// The strongest frequency between lo and hi (Hann-windowed DFT).
double peakfrequency(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double lo, double hi);
} // namespace quilltest
