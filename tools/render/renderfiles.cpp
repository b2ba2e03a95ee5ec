#include "tools/render/renderfiles.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_core/juce_core.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quillrender
{
namespace
{
// Conversion between the engine's doubles and JUCE's float buffers, in slices of this size.
constexpr int conversionslice = 4096;
constexpr int outputbitdepth = 32; // WavAudioFormat writes 32 bits as IEEE float

juce::File filefor(const std::string& path)
{
    return juce::File::getCurrentWorkingDirectory().getChildFile(juce::String::fromUTF8(path.c_str()));
}
} // namespace

// ---- audioreader ----------------------------------------------------------------------

struct audioreader::state
{
    juce::AudioFormatManager formats;
    std::unique_ptr<juce::AudioFormatReader> reader;
    std::int64_t position = 0;
    juce::AudioBuffer<float> slice;
};

audioreader::audioreader() : s(std::make_unique<state>())
{
    s->formats.registerBasicFormats();
}

audioreader::~audioreader() = default;

bool audioreader::open(const std::string& path, std::string& error)
{
    s->reader.reset();
    s->position = 0;
    const juce::File file = filefor(path);
    if (!file.existsAsFile())
    {
        error = "input file not found: " + path;
        return false;
    }
    s->reader.reset(s->formats.createReaderFor(file));
    if (s->reader == nullptr)
    {
        error = "cannot read " + path + ": not an audio file in a known format";
        return false;
    }
    const int channels = static_cast<int>(s->reader->numChannels);
    if (channels < 1 || channels > maxaudiochannels)
    {
        error = path + " has " + std::to_string(channels) + " channels; mono or stereo expected";
        s->reader.reset();
        return false;
    }
    if (!(s->reader->sampleRate >= 1.0) || !std::isfinite(s->reader->sampleRate))
    {
        error = path + " declares no usable sample rate";
        s->reader.reset();
        return false;
    }
    s->slice.setSize(channels, conversionslice);
    return true;
}

double audioreader::samplerate() const
{
    return s->reader != nullptr ? s->reader->sampleRate : 0.0;
}

int audioreader::channels() const
{
    return s->reader != nullptr ? static_cast<int>(s->reader->numChannels) : 0;
}

std::int64_t audioreader::length() const
{
    return s->reader != nullptr ? s->reader->lengthInSamples : 0;
}

int audioreader::read(double* const* dest, int n)
{
    if (s->reader == nullptr || n <= 0)
        return 0;
    const int channels = static_cast<int>(s->reader->numChannels);
    int done = 0;
    while (done < n && s->position < s->reader->lengthInSamples)
    {
        const std::int64_t left = s->reader->lengthInSamples - s->position;
        const int count = static_cast<int>(std::min<std::int64_t>({n - done, conversionslice, left}));
        // A read past a damaged stretch fills zeros and returns false; the zeros are what the
        // renderer then hears, as a host would.
        s->reader->read(s->slice.getArrayOfWritePointers(), channels, s->position, count);
        for (int c = 0; c < channels; ++c)
        {
            const float* from = s->slice.getReadPointer(c);
            std::copy(from, from + count, dest[c] + done);
        }
        s->position += count;
        done += count;
    }
    return done;
}

// ---- audiowriter ----------------------------------------------------------------------

struct audiowriter::state
{
    std::unique_ptr<juce::AudioFormatWriter> writer;
    int channels = 0;
    bool failed = false;
    juce::AudioBuffer<float> slice;
};

audiowriter::audiowriter() : s(std::make_unique<state>())
{
}

audiowriter::~audiowriter() = default;

bool audiowriter::open(const std::string& path, double samplerate, int channels, std::string& error)
{
    s->writer.reset();
    s->failed = false;
    const juce::File file = filefor(path);
    if (!file.getParentDirectory().isDirectory())
    {
        error = "cannot write " + path + ": its folder does not exist";
        return false;
    }
    // createOutputStream appends to an existing file; the renderer replaces it.
    if (file.exists() && !file.deleteFile())
    {
        error = "cannot replace " + path;
        return false;
    }
    std::unique_ptr<juce::OutputStream> stream = file.createOutputStream();
    if (stream == nullptr)
    {
        error = "cannot write " + path;
        return false;
    }
    juce::WavAudioFormat wav;
    s->writer.reset(
        wav.createWriterFor(stream.get(), samplerate, static_cast<unsigned>(channels), outputbitdepth, {}, 0));
    if (s->writer == nullptr)
    {
        error = "cannot write a WAV file of " + std::to_string(channels) + " channels at this rate to " + path;
        return false;
    }
    stream.release(); // the writer owns it now
    s->channels = channels;
    s->slice.setSize(channels, conversionslice);
    return true;
}

bool audiowriter::write(const double* const* source, int n)
{
    if (s->writer == nullptr)
        return false;
    for (int done = 0; done < n;)
    {
        const int count = std::min(n - done, conversionslice);
        for (int c = 0; c < s->channels; ++c)
        {
            float* to = s->slice.getWritePointer(c);
            for (int i = 0; i < count; ++i)
                to[i] = static_cast<float>(source[c][done + i]);
        }
        if (!s->writer->writeFromFloatArrays(s->slice.getArrayOfReadPointers(), s->channels, count))
            s->failed = true;
        done += count;
    }
    return !s->failed;
}

bool audiowriter::close(std::string& error)
{
    if (s->writer == nullptr)
    {
        error = "no output file is open";
        return false;
    }
    s->writer->flush();
    s->writer.reset(); // writes the final header and closes the stream
    if (s->failed)
    {
        error = "writing the output file failed (disk full?)";
        return false;
    }
    return true;
}

// ---- MIDI and state files -------------------------------------------------------------

bool readmidifile(const std::string& path, double samplerate, std::vector<timedmidimessage>& messages,
                  std::string& error)
{
    messages.clear();
    const juce::File file = filefor(path);
    if (!file.existsAsFile())
    {
        error = "MIDI file not found: " + path;
        return false;
    }
    juce::FileInputStream stream(file);
    if (!stream.openedOk())
    {
        error = "cannot open " + path;
        return false;
    }
    juce::MidiFile midi;
    if (!midi.readFrom(stream))
    {
        error = "cannot read " + path + ": not a standard MIDI file";
        return false;
    }
    midi.convertTimestampTicksToSeconds();

    for (int t = 0; t < midi.getNumTracks(); ++t)
    {
        for (const juce::MidiMessageSequence::MidiEventHolder* held : *midi.getTrack(t))
        {
            const juce::MidiMessage& m = held->message;
            const int size = m.getRawDataSize();
            if (m.isMetaEvent() || m.isSysEx() || size < 1 || size > 3 || m.getRawData()[0] >= 0xF0)
                continue;
            const double seconds = std::max(0.0, m.getTimeStamp());
            timedmidimessage out;
            out.sample = static_cast<std::int64_t>(std::floor(seconds * samplerate));
            out.size = size;
            std::copy(m.getRawData(), m.getRawData() + size, out.bytes);
            messages.push_back(out);
        }
    }
    // Tracks are merged by time; at equal times the earlier track comes first.
    std::stable_sort(messages.begin(), messages.end(),
                     [](const timedmidimessage& a, const timedmidimessage& b) { return a.sample < b.sample; });
    return true;
}

bool readstatefile(const std::string& path, std::string& text, std::string& error)
{
    std::error_code ignored;
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, ignored))
        in.open(path, std::ios::binary);
    if (!in.is_open())
    {
        error = "state file not found or unreadable: " + path;
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad())
    {
        error = "cannot read " + path;
        return false;
    }
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    return true;
}
} // namespace quillrender
