// VelquentAudioProcessor: the one object the VST 2 adapter creates per plug-in instance. It
// owns the whole system by value, declares it to the host, converts each audio block and
// its MIDI for the model, and hands the state chunk over in both directions.
#pragma once

#include "plugin/hosttiming.h"
#include "plugin/pinstance.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class VelquentAudioProcessor : public juce::AudioProcessor,
                               public juce::AudioProcessorParameter::Listener,
                               public juce::VSTCallbackHandler,
                               private juce::Timer
{
public:
    VelquentAudioProcessor();
    ~VelquentAudioProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    void processBlockBypassed(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlockBypassed;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index) override;
    const juce::String getProgramName(int index) override;
    void changeProgramName(int index, const juce::String& newName) override;
    void getStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;
    bool isBusesLayoutSupported(const BusesLayout& layouts) const override;

    void parameterValueChanged(int parameterIndex, float newValue) override;
    void parameterGestureChanged(int parameterIndex, bool gestureIsStarting) override;

    // The adapter's vendor-specific calls: answers the entry point's question whether an
    // editor is open on the calling thread, the message thread (pvst2entry.h).
    juce::pointer_sized_int handleVstManufacturerSpecific(juce::int32 index, juce::pointer_sized_int value, void* ptr,
                                                          float opt) override;

    // Everything but the framework's parts, wired and set up; model and controller name
    // its members.
    pinstance instance;
    pprojdata& model = instance.model;
    pcontroller& controller = instance.controller;

private:
    void addhostparameters();
    void growconversionbuffers(int n);
    void convertinput(const juce::AudioBuffer<float>& buffer, int channels, int n);
    void convertoutput(juce::AudioBuffer<float>& buffer, int channels, int n);
    // Latency, tail and bypass ring for the prepared rate.
    void reportlatency();
    // The current value of every host parameter into the mailbox, as the listener posts it.
    void posthostparameters();
    void writehosttrailer(juce::MemoryBlock& destData) const;
    void restorehostparameters(const void* data, int sizeInBytes);

    // Edits made in the editor change the saved state without any host parameter, so the
    // host would not know its session needs saving. While an editor is open, and once after
    // it goes, the message thread compares the state text (not the host-parameter trailer,
    // whose changes came from the host) with the last one it knows of and tells the host when
    // it differs: at most once a check, so a drag does not flood the host.
    static constexpr int statecheckms = 300;
    void timerCallback() override;
    void checksavedstate(bool rebaseline);
    std::string knownstate;                 // message thread
    std::uint64_t knownrestores = 0;        // message thread: the restores knownstate follows
    std::atomic<std::uint64_t> restores{0}; // counted by setStateInformation

    // The bypass path and the flag processBlockBypassed raises for the block it hands on.
    pbypassdelay bypass;
    bool bypassblock = false;
    // Read by the host from any thread.
    std::atomic<double> tailseconds{0.0};

    // Conversion buffers for channels 0 and 1; each holds bufferlength doubles.
    std::unique_ptr<double[]> inbuffers[2];
    std::unique_ptr<double[]> outbuffers[2];
    std::int32_t bufferlength = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VelquentAudioProcessor)
};
