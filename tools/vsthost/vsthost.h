// A command-line VST 2 host on JUCE's own hosting code: loads any VST 2 .so, reports what a
// host sees, renders a WAV file (optionally with a MIDI file and a state chunk) through it.
#pragma once

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vsthost
{
// Loads the first plug-in the file offers. On failure returns null and fills error.
std::unique_ptr<juce::AudioPluginInstance> loadplugin(const juce::String& path, double sampleRate, int blockSize,
                                                      juce::String& error);

// What only the VST 2 effect record itself tells: fields JUCE's hosting code keeps private.
struct effectfields
{
    bool valid = false;
    int version = 0; // the effect's version code
    int uniqueid = 0;
    int initialdelay = 0; // latency in samples
    int numparams = 0;
    int numinputs = 0;
    int numoutputs = 0;
    bool programchunks = false;
    bool haseditor = false;
    bool issynth = false;
    bool canreplacing = false;
};
effectfields readeffect(juce::AudioPluginInstance& plugin);

// Asks the plug-in for a speaker arrangement on its main buses, as a VST 2 host does
// (effSetSpeakerArrangement). Supported sets: disabled, mono, stereo, 5.1.
// Returns true when the plug-in accepts it.
bool requestarrangement(juce::AudioPluginInstance& plugin, const juce::AudioChannelSet& input,
                        const juce::AudioChannelSet& output);

// One block straight through the effect's processReplacing, as a bare VST 2 host calls it,
// without the hosting code's own preparation. Channel counts are the effect's. False when
// the plug-in is no VST 2 effect.
bool processreplacing(juce::AudioPluginInstance& plugin, float** inputs, float** outputs, int n);

// The vendor version as the plug-in answers effGetVendorVersion.
int vendorversion(juce::AudioPluginInstance& plugin);

// Writes name, vendor, version, unique id, category, MIDI flags, programs, latency, buses and
// parameters as a host sees them.
void describe(juce::AudioPluginInstance& plugin, std::ostream& out);

// The plug-in's raw chunk (no bank or preset wrapper around it).
bool savechunk(juce::AudioPluginInstance& plugin, juce::MemoryBlock& chunk);
bool loadchunk(juce::AudioPluginInstance& plugin, const juce::MemoryBlock& chunk);
// Reads a raw chunk from a file and hands it to the plug-in.
bool restorestate(juce::AudioPluginInstance& plugin, const juce::File& file, juce::String& error);

struct renderjob
{
    juce::File input;                              // WAV (or any format JUCE reads) to process
    juce::File output;                             // 32-bit float WAV written here
    juce::File midi;                               // optional standard MIDI file, merged over all tracks
    juce::File statein;                            // optional raw chunk restored before playback starts
    juce::File stateout;                           // optional: chunk saved after the render
    std::vector<std::pair<int, float>> parameters; // host index, normalised value
    int blocksize = 512;
    int channels = 0; // 0: the input file's (1 or 2)
};

// Renders the whole input plus the plug-in's reported latency, so that a latency-compensated
// result is complete. Returns false with a message on failure.
bool render(juce::AudioPluginInstance& plugin, const renderjob& job, juce::String& error);

// The title of the window showeditor opens.
inline constexpr const char* editorwindowtitle = "Quillatrove editor";

// Opens the plug-in's editor in a top-level window (no decorations, the editor at its
// corner) while silent audio blocks run on another thread (none when audio is false: a host
// whose transport is stopped), until SIGTERM or SIGINT; then closes it and, when stateout is
// given, saves the raw chunk there. Runs the message loop.
bool showeditor(juce::AudioPluginInstance& plugin, const juce::File& stateout, double rate, int blocksize, bool audio,
                juce::String& error);

// Makes X errors harmless for this process (a bare X server without a window manager sends
// some); call before loading a plug-in that opens windows.
void ignorexerrors();

// MIDI of a standard MIDI file as sample positions at the given rate, meta events left out.
juce::MidiBuffer readmidifile(const juce::File& file, double sampleRate, juce::String& error);
} // namespace vsthost
