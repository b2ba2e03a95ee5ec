#include "plugin/PluginProcessor.h"

#include "editor/PluginEditor.h"
#include "plugin/pmenulists.h"
#include "plugin/pmididecode.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

namespace
{
constexpr double fallbackrate = 44100.0;
constexpr int maxconvertedchannels = 2;
constexpr float hostparamstep = 0.01f;
constexpr float hostparamdefault = 0.5f;

// The model takes its rate only from a real, positive number.
bool usablerate(double rate)
{
    return std::isfinite(rate) && rate >= 1.0;
}

// A host's mix must never receive a NaN or an infinity, nor a double beyond float's range
// (whose conversion is undefined): such a sample becomes silence or the largest float.
float tofloatsample(double x)
{
    constexpr double largest = std::numeric_limits<float>::max();
    if (std::isnan(x))
        return 0.0f;
    return static_cast<float>(std::clamp(x, -largest, largest));
}

bool ismonoorstereo(const juce::AudioChannelSet& set)
{
    return set == juce::AudioChannelSet::mono() || set == juce::AudioChannelSet::stereo();
}
} // namespace

VelquentAudioProcessor::VelquentAudioProcessor()
    : juce::AudioProcessor(BusesProperties()
                               .withInput("Input", juce::AudioChannelSet::stereo(), true)
                               .withOutput("Output", juce::AudioChannelSet::stereo(), true))
{
    addhostparameters();

    // The framework has no rate yet while the adapter builds the processor.
    const double hostrate = getSampleRate();
    preparedrate = usablerate(hostrate) ? hostrate : fallbackrate;

    model.tools = &controller.tools;
    model.controller = &controller;
    controller.model = &model;
    controller.tools.rootcontrol = &rootcontrol;

    pfillmenulists(controller.tools);
    model.pushglobalparams();
    model.initpbm(preparedrate);

    setLatencySamples(latencysamples);
}

VelquentAudioProcessor::~VelquentAudioProcessor() = default;

void VelquentAudioProcessor::addhostparameters()
{
    for (int k = 1; k <= hostparamcount; ++k)
    {
        const juce::String number(k);
        auto parameter = std::make_unique<juce::AudioParameterFloat>(
            juce::ParameterID("parameter" + number, 1), "Parameter " + number,
            juce::NormalisableRange<float>(0.0f, 1.0f, hostparamstep, 1.0f), hostparamdefault);
        auto* added = parameter.get();
        addParameter(parameter.release());
        added->addListener(this);
    }
}

//==============================================================================
const juce::String VelquentAudioProcessor::getName() const
{
    return "Quillatrove";
}

double VelquentAudioProcessor::getTailLengthSeconds() const
{
    return 0.0;
}

bool VelquentAudioProcessor::acceptsMidi() const
{
    return true;
}

bool VelquentAudioProcessor::producesMidi() const
{
    return false;
}

bool VelquentAudioProcessor::isMidiEffect() const
{
    return false;
}

juce::AudioProcessorEditor* VelquentAudioProcessor::createEditor()
{
    return new VelquentAudioProcessorEditor(*this);
}

bool VelquentAudioProcessor::hasEditor() const
{
    return true;
}

// One nameless program: the whole state travels in the chunk.
int VelquentAudioProcessor::getNumPrograms()
{
    return 1;
}

int VelquentAudioProcessor::getCurrentProgram()
{
    return 0;
}

void VelquentAudioProcessor::setCurrentProgram(int)
{
}

const juce::String VelquentAudioProcessor::getProgramName(int)
{
    return {};
}

void VelquentAudioProcessor::changeProgramName(int, const juce::String&)
{
}

bool VelquentAudioProcessor::isBusesLayoutSupported(const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();
    return ismonoorstereo(output) && layouts.getMainInputChannelSet() == output;
}

//==============================================================================
void VelquentAudioProcessor::prepareToPlay(double sampleRate, int)
{
    // Any difference counts, a NaN included, but the model only takes a usable rate.
    if (sampleRate != preparedrate && usablerate(sampleRate))
    {
        std::lock_guard<std::mutex> hold(model.modelmutex);
        preparedrate = sampleRate;
        model.initpbm(sampleRate);
    }
    setLatencySamples(latencysamples);
}

void VelquentAudioProcessor::releaseResources()
{
}

void VelquentAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    juce::ScopedNoDenormals noDenormals;

    const int inchannels = getTotalNumInputChannels();
    const int outchannels = getTotalNumOutputChannels();
    const int n = buffer.getNumSamples();
    for (int ch = inchannels; ch < outchannels; ++ch)
        buffer.clear(ch, 0, n);

    growconversionbuffers(n);
    const int channels = juce::jmin(inchannels, buffer.getNumChannels(), maxconvertedchannels);
    convertinput(buffer, channels, n);
    decodemidi(midi);

    model.doaudioevents();
    model.applyhostparams();

    double* in[maxconvertedchannels] = {inbuffers[0].get(), inbuffers[1].get()};
    double* out[maxconvertedchannels] = {outbuffers[0].get(), outbuffers[1].get()};
    model.process(in, static_cast<unsigned>(n), out, static_cast<unsigned>(channels));

    convertoutput(buffer, juce::jmin(channels, outchannels), n);
}

void VelquentAudioProcessor::growconversionbuffers(int n)
{
    if (bufferlength >= n)
        return;
    for (auto* set : {&outbuffers, &inbuffers})
        for (auto& b : *set)
            b.reset();
    for (auto* set : {&outbuffers, &inbuffers})
        for (auto& b : *set)
            b = std::make_unique<double[]>(static_cast<std::size_t>(n));
    bufferlength = n;
}

void VelquentAudioProcessor::convertinput(const juce::AudioBuffer<float>& buffer, int channels, int n)
{
    for (int ch = 0; ch < maxconvertedchannels; ++ch)
    {
        double* in = inbuffers[ch].get();
        if (ch >= channels)
        {
            // The engine mixes into its input buffers: a channel the host did not give is
            // silence every block, not the last block's mix.
            std::fill(in, in + n, 0.0);
            continue;
        }
        const float* source = buffer.getReadPointer(ch);
        for (int i = 0; i < n; ++i)
            in[i] = static_cast<double>(source[i]);
    }
}

void VelquentAudioProcessor::decodemidi(const juce::MidiBuffer& midi)
{
    model.midirecords.clear();
    krvstmidievent record;
    for (const auto metadata : midi)
        if (pmididecode::decode(metadata.data, metadata.numBytes, metadata.samplePosition, record))
            model.midirecords.append(record);
}

void VelquentAudioProcessor::convertoutput(juce::AudioBuffer<float>& buffer, int channels, int n)
{
    for (int ch = 0; ch < channels; ++ch)
    {
        const double* out = outbuffers[ch].get();
        float* destination = buffer.getWritePointer(ch);
        for (int i = 0; i < n; ++i)
            destination[i] = tofloatsample(out[i]);
    }
}

//==============================================================================
void VelquentAudioProcessor::parameterValueChanged(int parameterIndex, float newValue)
{
    model.hostparams.post(parameterIndex, newValue);
}

void VelquentAudioProcessor::parameterGestureChanged(int, bool)
{
}

//==============================================================================
void VelquentAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    costringa text;
    model.savestate(text);
    destData.append(text.c_str(), static_cast<std::size_t>(text.length) + 1); // the NUL too
}

void VelquentAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    model.restorestate(data, std::max(0, sizeInBytes));
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VelquentAudioProcessor();
}
