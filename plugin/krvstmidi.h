// Names of the MIDI controllers 0..31 as the modulators' "MIDI CC" menu shows them.
#pragma once

namespace krvstmidi
{
inline constexpr int controllercount = 32;
extern const char* const controllers[controllercount];
} // namespace krvstmidi
