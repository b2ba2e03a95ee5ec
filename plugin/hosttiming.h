// What the processor tells a host about time: the latency it reports at each rate, the tail
// behind the last input, and the bypass path that keeps a bypassed signal where the host's
// delay compensation expects it.
#pragma once

#include <cstdint>
#include <memory>

namespace hosttiming
{
// The latency reported below 96 kHz, and from the first preparation on at every lower rate.
inline constexpr int baselatency = 1780;
// From 96 kHz on the engine's frame and hop double, and with them the delay of the wet signal.
inline constexpr double doublingrate = 96000.0;
inline constexpr int largestlatency = 2 * baselatency;

int latencyforrate(double rate);
// The latency plus the longest delay line, in seconds: after the last input sample a host
// keeps processing this long, so neither the delayed wet signal nor a delay's echo is cut.
double tailseconds(int latency, double rate);
} // namespace hosttiming

// The bypassed signal: every block's input goes through a ring as long as the reported latency,
// bypassed or not, so that a bypassed output is the input delayed by exactly that latency. The
// switch either way is a linear crossfade between the processed and the delayed signal.
class pbypassdelay
{
public:
    static constexpr int maxchannels = 2;
    static constexpr double fadeseconds = 0.02;

    pbypassdelay();

    // Audio stopped: the ring length and fade for a rate. Rings are cleared; a bypass in force
    // stays in force. The storage is made once, for the largest latency.
    void prepare(int latency, double rate);
    int latency() const { return length; }

    // Audio thread, before the block: where the crossfade heads for this block.
    void settarget(bool bypassed) { target = bypassed ? 1.0f : 0.0f; }
    // Audio thread: replaces n samples of channel ch by the input of `latency` samples earlier
    // and keeps the new ones for later blocks. A sample that is not finite is kept as silence.
    void delay(float* samples, int n, int ch);
    // Audio thread: sample i of the block from the processed sample and the delayed input.
    float blend(int i, float processed, float delayed) const
    {
        const float g = gainat(i);
        if (g <= 0.0f)
            return processed;
        if (g >= 1.0f)
            return delayed;
        return processed + g * (delayed - processed);
    }
    // Audio thread, after the block's last blend: the crossfade moves on by n samples.
    void endblock(int n);

    // Share of the delayed input in the output at the block's start (0 processed, 1 bypassed).
    float mix() const { return current; }

private:
    float gainat(int i) const
    {
        const float step = (target > current ? fadestep : -fadestep) * static_cast<float>(i + 1);
        const float g = current + step;
        return target > current ? (g > target ? target : g) : (g < target ? target : g);
    }

    std::unique_ptr<float[]> rings[maxchannels];
    int positions[maxchannels] = {};
    int length = hosttiming::baselatency;
    float fadestep = 1.0f;
    float current = 0.0f;
    float target = 0.0f;
};
