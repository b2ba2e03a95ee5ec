#include "plugin/PluginProcessor.h"

#include "editor/PluginEditor.h"
#include "plugin/pvst2entry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <string>
#include <utility>

namespace
{
constexpr int maxconvertedchannels = 2;
constexpr float hostparamstep = 0.01f;
constexpr float hostparamdefault = 0.5f;

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
                               .withOutput("Output", juce::AudioChannelSet::stereo(), true)),
      // The framework has no usable rate yet while the adapter builds the processor: the
      // instance then starts at its fallback rate.
      instance(getSampleRate())
{
    addhostparameters();

    // The wrapper reads latency and tail once while it builds the effect record: a tail of 0
    // would tell hosts they may stop processing as soon as the input stops.
    reportlatency();
    posthostparameters();
}

VelquentAudioProcessor::~VelquentAudioProcessor()
{
    stopTimer();
}

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
    return tailseconds.load(std::memory_order_relaxed);
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
    checksavedstate(true); // what the user edits from here on is measured against this
    startTimer(statecheckms);
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
    instance.prepare(sampleRate);
    reportlatency();
}

void VelquentAudioProcessor::reportlatency()
{
    // The model's rate, not the host's: a rate the model refused leaves its frame, and so the
    // delay of the wet signal, as it was.
    const double rate = instance.preparedrate();
    const int latency = hosttiming::latencyforrate(rate);
    bypass.prepare(latency, rate);
    tailseconds.store(hosttiming::tailseconds(latency, rate), std::memory_order_relaxed);
    setLatencySamples(latency);
}

void VelquentAudioProcessor::posthostparameters()
{
    const auto& parameters = getParameters();
    for (int i = 0; i < parameters.size() && i < hostparamcount; ++i)
        instance.posthostparam(i, parameters[i]->getValue());
}

void VelquentAudioProcessor::releaseResources()
{
}

void VelquentAudioProcessor::processBlockBypassed(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    // The engine keeps running while bypassed, so that either switch is a crossfade between
    // two live signals and the voices, delays and modulators are current when it ends.
    bypassblock = true;
    processBlock(buffer, midi);
}

void VelquentAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    juce::ScopedNoDenormals noDenormals;
    bypass.settarget(std::exchange(bypassblock, false));

    const int inchannels = getTotalNumInputChannels();
    const int outchannels = getTotalNumOutputChannels();
    const int n = buffer.getNumSamples();
    for (int ch = inchannels; ch < outchannels; ++ch)
        buffer.clear(ch, 0, n);

    growconversionbuffers(n);
    const int channels = juce::jmin(inchannels, buffer.getNumChannels(), maxconvertedchannels);
    convertinput(buffer, channels, n);
    for (int ch = 0; ch < channels; ++ch) // the input is the model's now: keep its delayed copy here
        bypass.delay(buffer.getWritePointer(ch), n, ch);
    instance.clearmidi();
    for (const auto metadata : midi)
        instance.addmidi(metadata.data, metadata.numBytes, metadata.samplePosition);

    double* in[maxconvertedchannels] = {inbuffers[0].get(), inbuffers[1].get()};
    double* out[maxconvertedchannels] = {outbuffers[0].get(), outbuffers[1].get()};
    instance.processblock(in, static_cast<unsigned>(n), out, static_cast<unsigned>(channels));

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

void VelquentAudioProcessor::convertoutput(juce::AudioBuffer<float>& buffer, int channels, int n)
{
    for (int ch = 0; ch < channels; ++ch)
    {
        const double* out = outbuffers[ch].get();
        float* destination = buffer.getWritePointer(ch);
        for (int i = 0; i < n; ++i)
            destination[i] = bypass.blend(i, tofloatsample(out[i]), destination[i]);
    }
    bypass.endblock(n);
}

//==============================================================================
void VelquentAudioProcessor::parameterValueChanged(int parameterIndex, float newValue)
{
    instance.posthostparam(parameterIndex, newValue);
}

void VelquentAudioProcessor::parameterGestureChanged(int, bool)
{
}

juce::pointer_sized_int
VelquentAudioProcessor::handleVstManufacturerSpecific(juce::int32 index, juce::pointer_sized_int value, void*, float)
{
    if (index != pvst2entry::editoropenquery || value != pvst2entry::editoropenvalue)
        return 0;
    return juce::MessageManager::existsAndIsCurrentThread() && getActiveEditor() != nullptr ? 1 : 0;
}

//==============================================================================
void VelquentAudioProcessor::timerCallback()
{
    checksavedstate(false);
    // The check after the editor has gone sees what its closing committed; then the timer rests.
    if (getActiveEditor() == nullptr)
        stopTimer();
}

void VelquentAudioProcessor::checksavedstate(bool rebaseline)
{
    // A restore is not the user's edit, nor is the reload that applies it on the audio
    // thread later: the checks follow the state without a notice until that reload has run.
    const std::uint64_t restored = restores.load();
    bool reloadpending = false;
    {
        std::lock_guard<pspinlock> hold(model.pendinglock);
        reloadpending = model.pendinggeneration != model.appliedgeneration;
    }
    costringa text;
    instance.savestate(text);
    std::string state(text.c_str(), static_cast<std::size_t>(text.length));
    if (restored != knownrestores || reloadpending)
        rebaseline = true;
    if (!reloadpending)
        knownrestores = restored;
    if (state == knownstate)
        return;
    knownstate = std::move(state);
    // JUCE 7.0.5's VST 2 adapter sends audioMasterUpdateDisplay for a program change and
    // nothing for the non-parameter flag, which later adapters read.
    if (!rebaseline)
        updateHostDisplay(ChangeDetails().withNonParameterStateChanged(true).withProgramChanged(true));
}

//==============================================================================
void VelquentAudioProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    costringa text;
    instance.savestate(text);
    destData.append(text.c_str(), static_cast<std::size_t>(text.length) + 1); // the NUL too
    writehosttrailer(destData);
}

void VelquentAudioProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    // The values first: by the time the reload hands them to the new modulators, the mailbox
    // holds the restored ones.
    restorehostparameters(data, sizeInBytes);
    restores.fetch_add(1);
    instance.restorestate(data, std::max(0, sizeInBytes));
}

// The parameter objects take a restored value at once, so a save before the reload has run
// writes the restored values behind the restored text.
void VelquentAudioProcessor::writehosttrailer(juce::MemoryBlock& destData) const
{
    float values[hostparamcount];
    const auto& parameters = getParameters();
    for (int i = 0; i < hostparamcount; ++i)
        values[i] = i < parameters.size() ? parameters[i]->getValue() : 0.5f;
    std::string trailer;
    phosttrailer::write(values, trailer);
    destData.append(trailer.data(), trailer.size());
}

void VelquentAudioProcessor::restorehostparameters(const void* data, int sizeInBytes)
{
    float values[hostparamcount];
    std::uint32_t present = 0;
    if (sizeInBytes <= 0 || !phosttrailer::read(data, static_cast<std::size_t>(sizeInBytes), values, present))
        return; // a chunk saved before the trailer existed leaves the parameters as they are
    const auto& parameters = getParameters();
    for (int i = 0; i < hostparamcount && i < parameters.size(); ++i)
        if ((present >> i) & 1u)
        {
            // A restored value is no edit: the host reads it back (getParameter), but is not
            // sent it as automation, which would mark a freshly opened session modified and
            // be recorded by a host writing automation. Our own listener hears nothing either.
            parameters[i]->setValue(values[i]);
            instance.posthostparam(i, parameters[i]->getValue());
        }
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VelquentAudioProcessor();
}
