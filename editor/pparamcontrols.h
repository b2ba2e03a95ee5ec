// Helpers of the parameter controls and patch menus (the builders themselves are members of
// pprojdata).
#pragma once

#include "engine/ppatch.h"

class pprojdata;
struct pelement;

#include <cstdint>
#include <string>

// A voice's "Pitch" as the text field shows it: semitones, x24 in "Mode" 0 and 1, x48 in the
// others; empty for a voice without its parameters.
std::string ppitchtext(const pparvoice& voice);

// The delay pane's shape menu item that shows a shape code: the code itself for the
// triangle (0) and the sine (1), the last item (the random shape) for every other code.
std::int32_t pdelayshapeitem(std::int32_t shape);

// Builds one element of a surface plan (editor/psurfaceplan.h) with the kit's builders.
void pbuildelement(pprojdata& model, const pelement& element);

// The patch menu of a side pane at (x, y), w wide: lists the patches of kind with patch
// selected (none when -1) and records the menu's item map.
void pbuildpatchmenu(pprojdata& model, std::int32_t kind, std::int32_t patch, std::int32_t x, std::int32_t y,
                     std::int32_t w);
