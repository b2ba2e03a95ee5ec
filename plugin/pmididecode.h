// Decoding of the host's MIDI into the model's krvstmidievent records. All 16 channels are
// treated alike: the channel bits are dropped.
#pragma once

#include "engine/krvstmidievent.h"

#include <cstdint>

namespace pmididecode
{
// Notes and controllers from this number up to that one never reach the model (the channel
// mode messages and the upper notes); 253 and 254 stand for pressure and bend and pass.
inline constexpr std::int32_t firstdroppednumber = 120;
inline constexpr std::int32_t lastdroppednumber = 200;

inline constexpr double sevenbitmax = 127.0;
inline constexpr double fourteenbitmax = 16383.0;

// Decodes one message of size bytes at sample position `position` of the block. Returns
// false for a message the modulators do not follow (polyphonic pressure, program change,
// system messages, numbers 120..200, running status or missing data bytes); record is then
// left unspecified.
bool decode(const std::uint8_t* bytes, int size, int position, krvstmidievent& record);
} // namespace pmididecode
