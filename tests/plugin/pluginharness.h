// Drives the built Quillatrove.so through JUCE's own VST 2 hosting code, as a host would:
// the tests never link the processor itself.
#pragma once

#include "tools/vsthost/vsthost.h"

#include <gtest/gtest.h>

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

// The raw chunk (effGetChunk / effSetChunk) as bytes.
std::string savestate(juce::AudioPluginInstance& plugin);
void restorestate(juce::AudioPluginInstance& plugin, const std::string& bytes);
inline std::string withnul(const std::string& text) { return text + std::string(1, '\0'); }
// One silent block, so that pending restores are applied.
void oneblock(juce::AudioPluginInstance& plugin, int n = 256);

// State texts, values normalised and written as the state writer writes them.
std::string globals(double drynorm = 0.0, double wetnorm = 1.0, double monostereonorm = 1.0);
std::string voice(double pitchnorm = 0.5, double volumenorm = 0.5, double pannorm = 0.5);
// A controller-driven modulator ("^PAT,93001"): output = a1 + (a2 - a1) x value.
std::string controllermodulator(int midicc, int hostparameter, double amplitude1 = 0.0, double amplitude2 = 1.0);
std::string assignment(int patch, int target);
std::string statetext(const std::vector<std::string>& records);
// Every kind of patch, several voices and assignments, all values the writer reproduces exactly.
std::string richstatetext();
inline const std::string richlfo =
    "^PAT,93001,0.400000,0.000000,0.000000,0.010101,0.100000,0.000000,0.000000,0.000000";
// Pitch norm of a voice shifted by semitones (one octave each way).
inline double pitchnorm(double semitones) { return (1.0 + semitones / 12.0) / 2.0; }

std::vector<float> harmonictone(double f0, double rate, int length, double amplitude = 0.25, int harmonics = 8);
inline std::vector<float> sine(double f, double rate, int length) { return harmonictone(f, rate, length, 0.25, 1); }

struct rendering
{
    std::vector<float> channels[2];
    bool allfinite = true;
};
// The same input on every input channel, in blocks of the sizes listed (cycled), with MIDI
// at absolute sample positions.
rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input,
                 const std::vector<int>& blocksizes, const juce::MidiBuffer& midi = {});

double rms(const std::vector<float>& x, std::size_t from, std::size_t count);
double rmsofsecondhalf(const std::vector<float>& x);
// Hann-windowed DFT magnitude at f, and the strongest frequency between lo and hi.
double magnitudeat(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double f);
double peakfrequency(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double lo,
                     double hi);
} // namespace quilltest
