// File side of the offline renderer: audio files read and written block by block, and
// standard MIDI files turned into messages at sample positions. JUCE stays behind these
// declarations, so the engine side and its tests need none of it.
#pragma once

#include "tools/render/timedmidi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillrender
{
// The engine takes a mono or a stereo signal.
inline constexpr int maxaudiochannels = 2;

// An audio file in any format juce_audio_formats reads (WAV, AIFF, FLAC, Ogg Vorbis),
// read front to back.
class audioreader
{
public:
    audioreader();
    ~audioreader();
    audioreader(const audioreader&) = delete;
    audioreader& operator=(const audioreader&) = delete;

    // False, with a message naming the file and the reason, when the file is missing, is not
    // an audio file the formats know, or has no channel or more than two.
    bool open(const std::string& path, std::string& error);

    double samplerate() const;
    int channels() const;
    std::int64_t length() const; // samples per channel

    // Reads the next samples into one buffer per channel of the file; returns how many were
    // read (fewer than n only at the end of the file).
    int read(double* const* dest, int n);

private:
    struct state;
    std::unique_ptr<state> s;
};

// A 32-bit float WAV file written front to back; float keeps levels above full scale and
// every sample the engine produces.
class audiowriter
{
public:
    audiowriter();
    ~audiowriter();
    audiowriter(const audiowriter&) = delete;
    audiowriter& operator=(const audiowriter&) = delete;

    // Replaces the file. False, with a message, when it cannot be created.
    bool open(const std::string& path, double samplerate, int channels, std::string& error);
    // Appends n samples of each channel; false when the disk refuses them.
    bool write(const double* const* source, int n);
    // Finishes the header; the file is complete only after this.
    bool close(std::string& error);

private:
    struct state;
    std::unique_ptr<state> s;
};

// Reads a standard MIDI file (format 0, 1 or 2; tempo maps and SMPTE timing are followed)
// and returns its channel messages of every track, merged in time order, at the sample
// positions of the given rate. Meta and system-exclusive events are left out.
bool readmidifile(const std::string& path, double samplerate, std::vector<timedmidimessage>& messages,
                  std::string& error);

// The whole file as text, cut at its first NUL as a host's state chunk is.
bool readstatefile(const std::string& path, std::string& text, std::string& error);
} // namespace quillrender
