// Harmony snapping: a voice's interval follows the note detected in the input, chosen from
// its harmony patch's table of twelve ratios by the note's semitone above the key.
#pragma once

#include "dsp/pbkpitchshift.h"

#include <cstdint>

// The table index for a detected note: the note's semitone above the voice's key, rounded to
// the nearest semitone and folded into 0..11. A note that is not finite has no index: -1.
std::int64_t harmonyindex(double detectednote, double keyoffset);

// Moves the voice's harmonyratio toward the table entry that the detected note selects (at once,
// or by glidestep per call), then applies it: ratio := ratio x harmonyratio. A note that is not
// finite leaves harmonyratio where it was; the ratio still takes it. Nothing happens without a
// table.
void harmonysnap(pbkvoicestate& voice, double detectednote);
