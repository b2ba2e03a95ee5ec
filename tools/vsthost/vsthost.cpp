#include "tools/vsthost/vsthost.h"

#include <algorithm>
#include <cmath>
#include <iomanip>

namespace vsthost
{
namespace
{
std::string fourcc(int id)
{
    const auto u = static_cast<std::uint32_t>(id);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const auto c = static_cast<char>((u >> shift) & 0xFFu);
        if (c < 0x20 || c > 0x7E)
            return {};
        text += c;
    }
    return text;
}

const char* yesno(bool b)
{
    return b ? "yes" : "no";
}

void describebuses(juce::AudioPluginInstance& plugin, bool isInput, std::ostream& out)
{
    const int count = plugin.getBusCount(isInput);
    for (int b = 0; b < count; ++b)
    {
        const auto* bus = plugin.getBus(isInput, b);
        out << (isInput ? "input bus " : "output bus ") << b << ": \"" << bus->getName() << "\" "
            << bus->getCurrentLayout().getDescription() << " (" << bus->getNumberOfChannels() << " channels"
            << (bus->isEnabled() ? "" : ", disabled") << ")\n";
    }
}

bool readfile(const juce::File& file, juce::MemoryBlock& data, juce::String& error)
{
    if (!file.loadFileAsData(data))
    {
        error = "cannot read " + file.getFullPathName();
        return false;
    }
    return true;
}

juce::AudioChannelSet channelset(int channels)
{
    return channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
}
} // namespace

std::unique_ptr<juce::AudioPluginInstance> loadplugin(const juce::String& path, double sampleRate, int blockSize,
                                                      juce::String& error)
{
    juce::VSTPluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile(types, juce::File(path).getFullPathName());
    if (types.isEmpty())
    {
        error = "no VST 2 plug-in in " + path;
        return nullptr;
    }
    auto plugin = format.createInstanceFromDescription(*types[0], sampleRate, blockSize, error);
    if (plugin == nullptr && error.isEmpty())
        error = "the plug-in in " + path + " could not be instantiated";
    return plugin;
}

void describe(juce::AudioPluginInstance& plugin, std::ostream& out)
{
    const auto desc = plugin.getPluginDescription();
    out << "name: " << desc.name << "\n";
    out << "descriptive name: " << desc.descriptiveName << "\n";
    out << "vendor: " << desc.manufacturerName << "\n";
    out << "version: " << desc.version << "\n";

    const auto fields = readeffect(plugin);
    if (fields.valid)
    {
        out << "version code: 0x" << std::hex << fields.version << std::dec << "\n";
        out << "program chunks: " << yesno(fields.programchunks) << "\n";
        out << "has editor: " << yesno(fields.haseditor) << "\n";
        out << "is synth: " << yesno(fields.issynth) << "\n";
    }

    const std::string code = fourcc(desc.uniqueId);
    out << "unique id: " << desc.uniqueId << " (0x" << std::hex << std::setw(8) << std::setfill('0')
        << static_cast<std::uint32_t>(desc.uniqueId) << std::dec << std::setfill(' ') << ")";
    if (!code.empty())
        out << " '" << code << "'";
    out << "\n";
    out << "category: " << desc.category << "\n";
    out << "accepts MIDI: " << yesno(plugin.acceptsMidi()) << "\n";
    out << "produces MIDI: " << yesno(plugin.producesMidi()) << "\n";
    out << "latency: " << plugin.getLatencySamples() << " samples\n";
    out << "tail: " << plugin.getTailLengthSeconds() << " s\n";
    out << "programs: " << plugin.getNumPrograms() << "\n";
    out << "channels: " << plugin.getTotalNumInputChannels() << " in, " << plugin.getTotalNumOutputChannels()
        << " out\n";
    describebuses(plugin, true, out);
    describebuses(plugin, false, out);

    const auto& parameters = plugin.getParameters();
    out << "parameters: " << parameters.size() << "\n";
    for (int i = 0; i < parameters.size(); ++i)
    {
        const auto* p = parameters[i];
        // VST 2 has no query for a parameter's default: the value is all a host can show.
        out << "  " << i << " \"" << p->getName(64) << "\" value " << p->getValue()
            << (p->isAutomatable() ? "" : " (not automatable)") << "\n";
    }
}

bool savechunk(juce::AudioPluginInstance& plugin, juce::MemoryBlock& chunk)
{
    chunk.reset();
    return juce::VSTPluginFormat::getChunkData(&plugin, chunk, false);
}

bool loadchunk(juce::AudioPluginInstance& plugin, const juce::MemoryBlock& chunk)
{
    return juce::VSTPluginFormat::setChunkData(&plugin, chunk.getData(), static_cast<int>(chunk.getSize()), false);
}

bool restorestate(juce::AudioPluginInstance& plugin, const juce::File& file, juce::String& error)
{
    juce::MemoryBlock chunk;
    if (!readfile(file, chunk, error))
        return false;
    if (!loadchunk(plugin, chunk))
    {
        error = "the plug-in takes no state chunk";
        return false;
    }
    return true;
}

juce::MidiBuffer readmidifile(const juce::File& file, double sampleRate, juce::String& error)
{
    juce::MidiBuffer result;
    juce::FileInputStream stream(file);
    juce::MidiFile midifile;
    if (!stream.openedOk() || !midifile.readFrom(stream))
    {
        error = "cannot read the MIDI file " + file.getFullPathName();
        return result;
    }
    midifile.convertTimestampTicksToSeconds();
    for (int t = 0; t < midifile.getNumTracks(); ++t)
    {
        const auto* track = midifile.getTrack(t);
        for (const auto* holder : *track)
        {
            const auto& message = holder->message;
            if (message.isMetaEvent())
                continue;
            const auto position = static_cast<int>(std::lround(message.getTimeStamp() * sampleRate));
            result.addEvent(message, std::max(0, position));
        }
    }
    return result;
}

bool render(juce::AudioPluginInstance& plugin, const renderjob& job, juce::String& error)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader(formats.createReaderFor(job.input));
    if (reader == nullptr)
    {
        error = "cannot read the audio file " + job.input.getFullPathName();
        return false;
    }
    const double rate = reader->sampleRate;
    const int blocksize = std::max(1, job.blocksize);
    const int channels =
        job.channels > 0 ? std::clamp(job.channels, 1, 2) : std::clamp(static_cast<int>(reader->numChannels), 1, 2);

    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add(channelset(channels));
    layout.outputBuses.add(channelset(channels));
    if (!plugin.setBusesLayout(layout))
    {
        error = "the plug-in refuses " + juce::String(channels) + " in and out";
        return false;
    }

    juce::MidiBuffer midi;
    if (job.midi != juce::File())
    {
        midi = readmidifile(job.midi, rate, error);
        if (error.isNotEmpty())
            return false;
    }

    plugin.prepareToPlay(rate, blocksize);

    if (job.statein != juce::File())
    {
        juce::MemoryBlock chunk;
        if (!readfile(job.statein, chunk, error))
            return false;
        if (!loadchunk(plugin, chunk))
        {
            error = "the plug-in takes no state chunk";
            return false;
        }
    }
    const auto& parameters = plugin.getParameters();
    for (const auto& [index, value] : job.parameters)
    {
        if (index < 0 || index >= parameters.size())
        {
            error = "no parameter " + juce::String(index);
            return false;
        }
        parameters[index]->setValue(value);
    }

    job.output.deleteFile();
    auto stream = std::make_unique<juce::FileOutputStream>(job.output);
    if (!stream->openedOk())
    {
        error = "cannot write " + job.output.getFullPathName();
        return false;
    }
    const int outchannels = std::max(1, plugin.getTotalNumOutputChannels());
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer(
        wav.createWriterFor(stream.get(), rate, static_cast<unsigned>(outchannels), 32, {}, 0));
    if (writer == nullptr)
    {
        error = "cannot write a WAV file with " + juce::String(outchannels) + " channels";
        return false;
    }
    stream.release(); // the writer owns it now

    const auto inputlength = static_cast<juce::int64>(reader->lengthInSamples);
    const juce::int64 total = inputlength + std::max(0, plugin.getLatencySamples());
    const int bufferchannels = std::max(plugin.getTotalNumInputChannels(), outchannels);
    juce::AudioBuffer<float> buffer(bufferchannels, blocksize);
    juce::AudioBuffer<float> filein(static_cast<int>(reader->numChannels), blocksize);
    juce::MidiBuffer blockmidi;

    // Every block has the prepared size, the last one padded with silence: a short final
    // block would be a block size the plug-in was never prepared for.
    const int n = blocksize;
    for (juce::int64 position = 0; position < total; position += blocksize)
    {
        const int keep = static_cast<int>(std::min<juce::int64>(blocksize, total - position));
        buffer.clear();
        const auto available = std::clamp<juce::int64>(inputlength - position, 0, n);
        if (available > 0)
        {
            reader->read(&filein, 0, static_cast<int>(available), position, true, true);
            for (int ch = 0; ch < plugin.getTotalNumInputChannels(); ++ch)
                buffer.copyFrom(ch, 0, filein, std::min(ch, filein.getNumChannels() - 1), 0,
                                static_cast<int>(available));
        }

        blockmidi.clear();
        blockmidi.addEvents(midi, static_cast<int>(position), n, -static_cast<int>(position));
        plugin.processBlock(buffer, blockmidi);
        if (!writer->writeFromAudioSampleBuffer(buffer, 0, keep))
        {
            error = "write error on " + job.output.getFullPathName();
            return false;
        }
    }
    writer.reset();
    plugin.releaseResources();

    if (job.stateout != juce::File())
    {
        juce::MemoryBlock chunk;
        if (!savechunk(plugin, chunk))
        {
            error = "the plug-in gave no state chunk";
            return false;
        }
        if (!job.stateout.replaceWithData(chunk.getData(), chunk.getSize()))
        {
            error = "cannot write " + job.stateout.getFullPathName();
            return false;
        }
    }
    return true;
}
} // namespace vsthost
