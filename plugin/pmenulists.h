// The four menu string lists the processor fills at construction: MIDI sources, host
// parameter numbers, LFO shapes and keys. The editor's menus and the MIDI mapping read them.
#pragma once

class pguitools;

#include <cstdint>

// Empties and fills menu lists 0..3 and returns the MIDI menu base (the number of fixed
// entries before the controller names in list 0), which the model keeps. Lists 4 and 5 are
// left alone.
std::int32_t pfillmenulists(pguitools& tools);
