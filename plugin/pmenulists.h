// The four menu string lists the processor fills at construction: MIDI sources, host
// parameter numbers, LFO shapes and keys. The editor's menus and the MIDI mapping read them.
#pragma once

class pguitools;

// Empties and fills menu lists 0..3 and sets the MIDI menu base (the number of fixed
// entries before the controller names in list 0). Lists 4 and 5 are left alone.
void pfillmenulists(pguitools& tools);
