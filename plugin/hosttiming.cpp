#include "plugin/hosttiming.h"

#include "engine/ppatch.h"

#include <algorithm>
#include <cmath>

namespace hosttiming
{
int latencyforrate(double rate)
{
    return rate >= doublingrate ? largestlatency : baselatency;
}

double tailseconds(int latency, double rate)
{
    // Half a sample more, so that a host truncating seconds times rate gets every sample.
    const double samples = static_cast<double>(latency) + std::round(pdelaylineseconds * rate) + 0.5;
    return samples / rate;
}
} // namespace hosttiming

pbypassdelay::pbypassdelay()
{
    for (auto& ring : rings)
        ring = std::make_unique<float[]>(static_cast<std::size_t>(hosttiming::largestlatency));
    prepare(hosttiming::baselatency, 44100.0);
}

void pbypassdelay::prepare(int latency, double rate)
{
    length = std::clamp(latency, 0, hosttiming::largestlatency);
    const double fade = std::isfinite(rate) && rate >= 1.0 ? std::round(fadeseconds * rate) : 1.0;
    fadestep = 1.0f / static_cast<float>(std::max(1.0, fade));
    for (int ch = 0; ch < maxchannels; ++ch)
    {
        std::fill(rings[ch].get(), rings[ch].get() + hosttiming::largestlatency, 0.0f);
        positions[ch] = 0;
    }
}

void pbypassdelay::delay(float* samples, int n, int ch)
{
    if (ch < 0 || ch >= maxchannels || length == 0)
        return;
    float* ring = rings[ch].get();
    int p = positions[ch];
    for (int i = 0; i < n; ++i)
    {
        const float x = std::isfinite(samples[i]) ? samples[i] : 0.0f;
        samples[i] = ring[p];
        ring[p] = x;
        p = p + 1 == length ? 0 : p + 1;
    }
    positions[ch] = p;
}

void pbypassdelay::endblock(int n)
{
    if (n > 0)
        current = gainat(n - 1);
}
