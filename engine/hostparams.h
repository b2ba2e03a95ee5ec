// Mailbox between the host's parameter thread(s) and the audio thread: the listener stores a
// host parameter's value and marks it changed; the audio thread takes the marked values right
// after the event drain and hands each to the modulator that follows it. The writer never
// touches the model, so it can run on any thread while the audio thread changes the lists.
//
// Also the chunk's host-parameter trailer: hosts that keep only the chunk of a plug-in that
// declares chunks would otherwise lose the values the user set.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

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

    // Any thread: every value is handed over again at the next take, as after a reload, whose
    // new modulators start at 0 and would otherwise wait for the host to move a parameter.
    void markall() { changed.store(~std::uint32_t{0}, std::memory_order_release); }

    // Audio thread: the mask of parameters posted since the last call, cleared at once. A value
    // posted while the caller reads is either seen now or marked again for the next call.
    std::uint32_t takechanged() { return changed.exchange(0, std::memory_order_acquire); }

    float value(int index) const { return values[index].load(std::memory_order_relaxed); }
};

// The trailer that follows the state text's NUL in the chunk:
//   "QLT-HOSTPARAMS:1" then "," and one value per host parameter (32), each written as the
//   state text writes numbers (six decimals, C locale), then one NUL.
// Readers of the state text stop at its NUL, so the text and every older reader stay as they
// were; a chunk saved before the trailer existed simply has none.
namespace phosttrailer
{
inline constexpr char tag[] = "QLT-HOSTPARAMS:";
inline constexpr int version = 1;

// Appends the trailer, NUL included. Values outside 0..1 are clamped, a NaN is written as 0.5
// (the parameters' default) so that a written trailer always reads back whole.
void write(const float (&values)[hostparamcount], std::string& out);

// Reads the trailer behind the first NUL of a chunk. True when one is there and well formed:
// the tag, version 1, exactly 32 numbers and the closing NUL. Then values[i] holds number i
// clamped to 0..1 and bit i of present is set, except for a number that is not finite, which
// is left out. False (nothing written) for a chunk without a trailer, or with a truncated,
// oversized, garbled or other-version one.
bool read(const void* chunk, std::size_t size, float (&values)[hostparamcount], std::uint32_t& present);
} // namespace phosttrailer
