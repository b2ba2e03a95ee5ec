// Mailbox between the host's parameter thread(s) and the audio thread: the listener stores a
// host parameter's value and marks it changed; the audio thread takes the marked values right
// after the event drain and hands each to the modulator that follows it. The writer never
// touches the model, so it can run on any thread while the audio thread changes the lists.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>

inline constexpr int hostparamcount = 32;

struct phostparammailbox
{
    std::atomic<float> values[hostparamcount] = {};
    std::atomic<std::uint32_t> changed{0};

    // Any thread. An index outside 0..31 or a NaN is dropped; the value is clamped to 0..1.
    void post(int index, float value)
    {
        if (index < 0 || index >= hostparamcount || std::isnan(value))
            return;
        const float clamped = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
        values[index].store(clamped, std::memory_order_relaxed);
        changed.fetch_or(std::uint32_t{1} << index, std::memory_order_release);
    }

    // Audio thread: the mask of parameters posted since the last call, cleared at once. A value
    // posted while the caller reads is either seen now or marked again for the next call.
    std::uint32_t takechanged() { return changed.exchange(0, std::memory_order_acquire); }

    float value(int index) const { return values[index].load(std::memory_order_relaxed); }
};
