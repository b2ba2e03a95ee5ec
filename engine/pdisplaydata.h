// pdisplaydata: the pictures the audio path draws for the editor: the EQ curve in pixel
// heights and the ring of recent modulator outputs with its play position. The engine
// writes them and knows their sizes, so the record is the engine's; the control holder
// (pguitools) owns it as its base, and the editor reads it there under the same names.
//
// Threads: written by the audio thread (setcont, the block driver, initpbm from an event),
// by the message thread (recalcpatchgraph for the EQ page) and by prepareToPlay's initpbm
// while audio is stopped; read by the message thread. A torn picture is harmless, so each
// slot is a whole relaxed value; historylock only keeps a second writer of the history
// from interleaving with the audio thread's update, which never waits for it.
#pragma once

#include "foundation/prelaxed.h"
#include "foundation/pspinlock.h"

#include <cstdint>

inline constexpr std::uint64_t pgraphside = 512; // the EQ graph is 512 x 512
inline constexpr std::uint64_t pgraphpixelcount = 2048;
inline constexpr std::uint64_t phistoryslots = 264;
inline constexpr double phistoryseconds = 5.0;

struct pdisplaydata
{
    prelaxed<std::int32_t> graphpixels[pgraphpixelcount];    // the first pgraphside are drawn
    prelaxed<std::int32_t> modulationhistory[phistoryslots]; // each 0..255
    prelaxed<double> historyposition{0.0};                   // play position, 0..264
    prelaxed<double> historystep{1.0};                       // advance per sample
    prelaxed<std::int32_t> historywrite{0};                  // slot of the newest write
    // Serialises history updates from the audio thread and the host's parameter thread.
    pspinlock historylock;
};
