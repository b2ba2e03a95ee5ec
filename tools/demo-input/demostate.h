// The demo's harmony set-up, built through the model's own operations and written by the
// model's own state writer, so the text is what the plug-in itself would save.
#pragma once

#include <string>

class pprojdata;

namespace quilldemo
{
// Replaces the model's voices and patches by the demo set: a third above and a sixth above
// the sung note (snapped to C major, the relative major of the phrase's A minor), the sixth
// through a feedback delay, and an octave below that an LFO pans slowly from side to side;
// the dry voice stays in the mix.
void builddemostate(pprojdata& model);

// The state text of builddemostate on a fresh model.
std::string demostatetext();
} // namespace quilldemo
