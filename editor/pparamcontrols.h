// Helpers of the parameter controls and patch menus (the builders themselves are members of
// pprojdata).
#pragma once

#include "engine/ppatch.h"

#include <cstdint>
#include <string>

// value in fixed notation with three decimals, whatever the process locale and whatever
// precision the shared string formatting holds.
std::string pfixed3(double value);

// A voice's "Pitch" as the text field shows it: semitones, x24 in "Mode" 0 and 1, x48 in the
// others; empty for a voice without its parameters.
std::string ppitchtext(const pparvoice& voice);

// The delay pane's shape menu item that shows a shape code: the code itself for the
// triangle (0) and the sine (1), the last item (the random shape) for every other code.
std::int32_t pdelayshapeitem(std::int32_t shape);
