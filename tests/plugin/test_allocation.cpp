// Every malloc (so every operator new) on the test thread during a block is counted, host and
// plug-in alike, under JUCE's host and under the framework-free one: after the first blocks,
// processing (MIDI, bypass switches and automation included) allocates nothing.
#include "tests/plugin/pluginharness.h"
#include "tests/plugin/rawvst2host.h"

#include <cmath>
#include <cstddef>
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
using allocation = plugintest;

TEST_F(allocation, NoneAfterTheFirstBlocksAtAGivenSize)
{
    auto plugin = prepared(richstatetext(), 4096);
    ASSERT_NE(plugin, nullptr);
    for (int n : {512, 256, 1000, 64, 4096, 512})
    {
        juce::AudioBuffer<float> buffer(2, n);
        juce::MidiBuffer midi; // on three channels, at the block's start, middle and end
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
            plugin->getParameters()[2]->setValue(static_cast<float>(b % 10) / 10.0f);
            juce::MidiBuffer blockmidi(midi);
            counting = b >= warmup;
            plugin->processBlock(buffer, blockmidi);
            counting = false;
        }
        EXPECT_EQ(allocations, 0u) << n;
    }
}

TEST_F(allocation, NoneUnderAFrameworkFreeHostAfterTheFirstBlocks)
{
    rawvst2::host h(rawvst2::pluginpath());
    ASSERT_TRUE(h.loaded());
    h.start(defaultrate, defaultblock);
    const auto input = sine(440.0, defaultrate, 200 * defaultblock);
    constexpr std::size_t warmup = 20;
    allocations = 0;
    h.render(input, defaultblock, [&](std::size_t b) {
        counting = b >= warmup;
        h.setparameter(static_cast<int>(b % hostparametercount), static_cast<float>(b % 10) / 10.0f);
        if (b % 37 == 0)
            h.setbypass((b / 37) % 2 == 1);
    });
    counting = false;
    EXPECT_EQ(allocations, 0u);
    // The hook itself counts in this process: a zero above is not a hook that never ran.
    void* (*volatile allocate)(std::size_t) = malloc;
    counting = true;
    free(allocate(1000));
    counting = false;
    EXPECT_EQ(allocations, 1u);
}
} // namespace
} // namespace quilltest
