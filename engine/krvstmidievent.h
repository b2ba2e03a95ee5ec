// One decoded MIDI message of the current block, as the block hand-over fills it and the
// hop schedule hands it to pprojdata::processmidievent.
#pragma once

#include <cstdint>

// Status bytes kept by the decoding, channel bits removed.
inline constexpr std::uint32_t kmidinoteoff = 0x80;
inline constexpr std::uint32_t kmidinoteon = 0x90;
inline constexpr std::uint32_t kmidicontroller = 0xB0;
inline constexpr std::uint32_t kmidichannelpressure = 0xD0;
inline constexpr std::uint32_t kmidipitchbend = 0xE0;

// Numbers given to the two messages that carry no note or controller number.
inline constexpr std::int32_t kmidinumberpressure = 253;
inline constexpr std::int32_t kmidinumberbend = 254;

struct krvstmidievent
{
    std::uint32_t status = 0;      // 0x80, 0x90, 0xB0, 0xD0 or 0xE0
    std::int32_t number = 0;       // note or controller 0..119, 253 pressure, 254 bend
    std::uint32_t rawvalue = 0;    // velocity, controller value, pressure (0..127) or bend (0..16383)
    double value = 0.0;            // the value handed to the modulators
    std::int32_t sampleoffset = 0; // position inside the current block
};
