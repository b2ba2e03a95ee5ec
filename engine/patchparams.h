// What the control passes read of a patch's or a voice's parameters, and the codes that a
// patch's menu parameters hold. Shared by the modulator, voice-control, delay and MIDI passes.
#pragma once

#include "engine/pevent.h"
#include "engine/ppatch.h"

#include <cstdint>

// "Source" of a modulator (parameter 2).
inline constexpr std::int32_t psourcelfo = 0;
inline constexpr std::int32_t psourceenvelope = 1;
inline constexpr std::int32_t psourcecontroller = 2; // MIDI or a host parameter

// "Shape" of an LFO and of a delay's modulation (parameter 3); any other code is the
// smoothed random source.
inline constexpr std::int32_t pshapetriangle = 0;
inline constexpr std::int32_t pshapesine = 1;

// "Intervals" of a harmony patch (parameter 2): the rows of pprojdata::scales, then the
// custom table the patch's own twelve intervals hold.
inline constexpr std::int32_t pharmonythirds = 0;
inline constexpr std::int32_t pharmonyfifths = 1;
inline constexpr std::int32_t pharmonysixths = 2;
inline constexpr std::int32_t pharmonycustom = 3;

// "Key" of a harmony patch (parameter 3): C, then a semitone up per entry.
inline constexpr std::int32_t pkeyc = 0;

// "Adjustment Mode" 1: an envelope follower holds a burst's level, a controller's output
// starts one below "Amplitude 1", MIDI keys span the pitch range differently.
inline constexpr std::int32_t padjusthold = 1;

// The three fixed entries of "MIDI CC"; the controllers follow from the menu base on.
inline constexpr std::int32_t pmidiccpitchwheel = 0;
inline constexpr std::int32_t pmidicckeys = 1;
inline constexpr std::int32_t pmidiccvelocity = 2;

inline constexpr double psemitonesperoctave = 12.0;

// A parameter of the list as the audio path reads it. The caller has checked the count.
inline double paramvalue(const ocarray::ArrayPtr<pparam>& params, std::uint64_t index)
{
    return params[index]->value.load();
}

inline double paramnorm(const ocarray::ArrayPtr<pparam>& params, std::uint64_t index)
{
    return params[index]->norm.load();
}

inline std::int32_t paramint(const ocarray::ArrayPtr<pparam>& params, std::uint64_t index)
{
    return params[index]->intvalue.load();
}

// The selected patch's parameter a patch radio group (91006, 91007, 91008) writes.
inline std::uint64_t ppatchradioparam(std::int32_t code)
{
    if (code == pevpatchtype)
        return ppatchsource;
    return code == pevpatchshape ? ppatchshape : ppatchadjustmode;
}
