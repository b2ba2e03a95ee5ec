// The audio thread allocates nothing once a block size has been seen: every malloc (and so
// every operator new) made on the test thread while a block runs is counted, in the host's
// code, JUCE's wrapper and the plug-in alike.
#include "tests/plugin/pluginharness.h"

#include <cstddef>
#include <cstdint>

extern "C"
{
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}

namespace
{
thread_local bool counting = false;
thread_local std::uint64_t allocations = 0;

void countallocation()
{
    if (counting)
        ++allocations;
}
} // namespace

extern "C"
{
void* malloc(std::size_t size)
{
    countallocation();
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size)
{
    countallocation();
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size)
{
    countallocation();
    return __libc_realloc(block, size);
}

void free(void* block)
{
    __libc_free(block);
}
}

namespace quilltest
{
namespace
{
class allocation : public plugintest
{
protected:
    void SetUp() override
    {
        plugin = loadplugin();
        ASSERT_NE(plugin, nullptr);
        plugin->prepareToPlay(defaultrate, 4096);
        restorestate(*plugin, richstatetext() + std::string(1, '\0'));
    }

    // Allocations made while `blocks` blocks of n samples run, each with the same MIDI.
    std::uint64_t allocationsin(int blocks, int n, bool automate)
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
            if (automate)
                plugin->getParameters()[2]->setValue(static_cast<float>(b % 10) / 10.0f);
            juce::MidiBuffer blockmidi(midi);
            allocations = 0;
            counting = true;
            plugin->processBlock(buffer, blockmidi);
            counting = false;
            total += allocations;
        }
        return total;
    }

    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

TEST_F(allocation, NoneAfterTheFirstBlockAtAGivenSize)
{
    for (int n : {512, 256, 1000, 64, 4096, 512})
    {
        SCOPED_TRACE(n);
        // The first blocks of a size may allocate (conversion buffers, dry rings, buses and
        // delay lines on their first hop); enough of them to cover a frame and the reload.
        allocationsin(std::max(2, 2 * 4096 / n), n, false);
        EXPECT_EQ(allocationsin(50, n, false), 0u);
    }
}

TEST_F(allocation, NoneWhileTheHostAutomatesParameters)
{
    allocationsin(20, 512, true);
    EXPECT_EQ(allocationsin(100, 512, true), 0u);
}

TEST_F(allocation, TheCounterSeesAllocations)
{
    // Guards the test itself: the hook is live in this process.
    void* (*volatile allocate)(std::size_t) = malloc;
    allocations = 0;
    counting = true;
    void* block = allocate(1000);
    counting = false;
    free(block);
    EXPECT_EQ(allocations, 1u);
}
} // namespace
} // namespace quilltest
