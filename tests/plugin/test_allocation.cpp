// The audio thread allocates nothing once a block size has been seen: every malloc (and so
// every operator new) on the test thread while a block runs is counted, in the host's code,
// JUCE's wrapper and the plug-in alike.
#include "tests/plugin/pluginharness.h"

#include <cstddef>
#include <cstdint>

extern "C"
{
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
}

namespace
{
thread_local bool counting = false;
thread_local std::uint64_t allocations = 0;
} // namespace

extern "C"
{
void* malloc(std::size_t size)
{
    allocations += counting ? 1 : 0;
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size)
{
    allocations += counting ? 1 : 0;
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size)
{
    allocations += counting ? 1 : 0;
    return __libc_realloc(block, size);
}
}

namespace quilltest
{
namespace
{
// Allocations while `blocks` blocks of n samples run, each with the same MIDI, the host
// moving "Parameter 3" before each.
std::uint64_t allocationsin(juce::AudioPluginInstance& plugin, int blocks, int n)
{
    juce::AudioBuffer<float> buffer(2, n);
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::noteOn(1, 60, static_cast<juce::uint8>(100)), 0);
    midi.addEvent(juce::MidiMessage::controllerEvent(16, 10, 64), n / 2);
    midi.addEvent(juce::MidiMessage::pitchWheel(3, 9000), n - 1);
    std::uint64_t total = 0;
    for (int b = 0; b < blocks; ++b)
    {
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < n; ++i)
                buffer.setSample(ch, i, 0.2f * std::sin(0.05f * static_cast<float>(b * n + i)));
        plugin.getParameters()[2]->setValue(static_cast<float>(b % 10) / 10.0f);
        juce::MidiBuffer blockmidi(midi);
        allocations = 0;
        counting = true;
        plugin.processBlock(buffer, blockmidi);
        counting = false;
        total += allocations;
    }
    return total;
}

using allocation = plugintest;

TEST_F(allocation, NoneAfterTheFirstBlocksAtAGivenSize)
{
    // Guards the test itself: the hook is live in this process.
    void* (*volatile allocate)(std::size_t) = malloc;
    allocations = 0;
    counting = true;
    void* block = allocate(1000);
    counting = false;
    free(block);
    ASSERT_EQ(allocations, 1u);

    auto plugin = loadplugin();
    ASSERT_NE(plugin, nullptr);
    plugin->prepareToPlay(defaultrate, 4096);
    restorestate(*plugin, withnul(richstatetext()));
    for (int n : {512, 256, 1000, 64, 4096, 512})
    {
        // The first blocks of a size may allocate (buffers, dry rings, delay lines on their
        // first hop): enough of them to cover a frame and the reload.
        allocationsin(*plugin, std::max(2, 2 * 4096 / n), n);
        EXPECT_EQ(allocationsin(*plugin, 50, n), 0u) << n;
    }
}
} // namespace
} // namespace quilltest
