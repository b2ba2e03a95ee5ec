// Every malloc (so every operator new) on the test thread during a block is counted, host and
// plug-in alike: after the first blocks, processing (MIDI, bypass switches and automation
// included) allocates nothing.
#include "tests/plugin/pluginharness.h"

#include <cstdint>

namespace
{
thread_local bool counting = false;
thread_local std::uint64_t allocations = 0;
} // namespace

extern "C"
{
    void* __libc_malloc(std::size_t size);
    void* __libc_calloc(std::size_t count, std::size_t size);
    void* __libc_realloc(void* block, std::size_t size);
    void* malloc(std::size_t size)
    {
        allocations += counting;
        return __libc_malloc(size);
    }
    void* calloc(std::size_t count, std::size_t size)
    {
        allocations += counting;
        return __libc_calloc(count, size);
    }
    void* realloc(void* block, std::size_t size)
    {
        allocations += counting;
        return __libc_realloc(block, size);
    }
}

namespace quilltest
{
namespace
{

// Blocks of several sizes, MIDI on three channels at a block's start, middle and end, a host
// parameter moving every block and bypass switching now and then.
TEST(allocation, NoneAfterTheFirstBlocksAtAGivenSize)
{
    auto instance = prepared(richstatetext(), 4096);
    ASSERT_NE(instance, nullptr);
    ASSERT_NE(instance->getBypassParameter(), nullptr);
    for (int n : {512, 256, 1000, 64, 4096, 512})
    {
        juce::AudioBuffer<float> buffer(2, n);
        juce::MidiBuffer midi;
        midi.addEvent(juce::MidiMessage::noteOn(1, 60, static_cast<juce::uint8>(100)), 0);
        midi.addEvent(juce::MidiMessage::controllerEvent(16, 10, 64), n / 2);
        midi.addEvent(juce::MidiMessage::pitchWheel(3, 9000), n - 1);
        const int warmup = std::max(2, 2 * 4096 / n); // the first blocks of a size may allocate
        allocations = 0;
        for (int b = 0; b < warmup + 50; ++b)
        {
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < n; ++i)
                    buffer.setSample(ch, i, 0.2f * std::sin(0.05f * static_cast<float>(b * n + i)));
            juce::MidiBuffer blockmidi(midi);
            instance->getParameters()[b % hostparametercount]->setValue(static_cast<float>(b % 10) / 10.0f);
            instance->getBypassParameter()->setValue(b % 37 < 18 ? 1.0f : 0.0f);
            counting = b >= warmup;
            instance->processBlock(buffer, blockmidi);
            counting = false;
        }
        EXPECT_EQ(allocations, 0u) << n;
    }
    // The hook itself counts in this process: a zero above is not a hook that never ran.
    void* (*volatile allocate)(std::size_t) = malloc;
    counting = true;
    free(allocate(1000));
    counting = false;
    EXPECT_EQ(allocations, 1u);
}
} // namespace
} // namespace quilltest
