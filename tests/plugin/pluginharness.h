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

// JUCE's runtime for the test process: the test thread is the message thread.
class plugintest : public ::testing::Test
{
protected:
    juce::ScopedJuceInitialiser_GUI runtime;
};

// The plug-in under test, from QUILL_PLUGIN_PATH (compile definition, or the environment
// variable of the same name when it is set).
juce::String pluginpath();
// Its description, scanned once per process.
const juce::PluginDescription& plugindescription();
std::unique_ptr<juce::AudioPluginInstance> loadplugin(double rate = defaultrate, int block = defaultblock);

// The raw chunk as bytes, and a restore from bytes (the host's effGetChunk / effSetChunk).
std::string savestate(juce::AudioPluginInstance& plugin);
void restorestate(juce::AudioPluginInstance& plugin, const std::string& bytes);

// State texts. Values are normalised, written as the state writer writes them.
std::string number(double value);
// "^PAR" and the nine global values; the others stay at their defaults.
std::string globals(double drynorm = 0.0, double wetnorm = 1.0, double monostereonorm = 1.0);
// "^VOI" and the seven voice values.
std::string voice(double pitchnorm = 0.5, double volumenorm = 0.5, double pannorm = 0.5);
// "^PAT,93001" for a controller-driven modulator: output = a1 + (a2 - a1) x value.
std::string controllermodulator(int midicc, int hostparameter, double amplitude1 = 0.0, double amplitude2 = 1.0);
// "^PAM" with the patch index and the voice parameter it moves.
std::string assignment(int patch, int target);
std::string statetext(const std::vector<std::string>& records);
// A state with every kind of patch, several voices and assignments; every value is one the
// writer reproduces exactly.
std::string richstatetext();

// The pitch norm of a voice shifted by the given semitones (mode 0: one octave each way).
double pitchnorm(double semitones);
inline constexpr int voicevolume = 1;

// Audio.
std::vector<float> harmonictone(double f0, double rate, int length, double amplitude = 0.25, int harmonics = 8);
std::vector<float> sine(double f, double rate, int length, double amplitude = 0.25);

struct rendering
{
    std::vector<float> channels[2];
    bool allfinite = true;
};
// Feeds the same input to every input channel in blocks of blocksize (or the sizes listed,
// cycled), with MIDI events at absolute sample positions; collects every output channel.
rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input, int blocksize,
                 const juce::MidiBuffer& midi = {});
rendering render(juce::AudioPluginInstance& plugin, const std::vector<float>& input,
                 const std::vector<int>& blocksizes, const juce::MidiBuffer& midi = {});

double rms(const std::vector<float>& x, std::size_t from, std::size_t count);
// The frequency of the strongest component between lo and hi (Hann window, DFT scan).
double peakfrequency(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double lo,
                     double hi);
// DFT magnitude of a Hann-windowed segment at one frequency.
double magnitudeat(const std::vector<float>& x, std::size_t from, std::size_t count, double rate, double f);
} // namespace quilltest
