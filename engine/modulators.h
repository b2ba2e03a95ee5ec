// The control sources of modulator and delay patches: the two LFO shapes, the smoothed
// random source, and the layout of a patch's 14-double filter state.
#pragma once

#include "foundation/comath.h"

#include <cstdint>

namespace pmodsource
{
using comath::twopi;

// Random generator (linear congruential, modulo 2^32) as the engines hold it.
inline constexpr std::uint32_t randmultiplierdefault = 1664525;
inline constexpr std::uint32_t randincrementdefault = 32767;

// Slots of modstate for the random shape: two biquad sections, then their coefficients.
inline constexpr int slotx1 = 0, slotx2 = 1, sloty1 = 2, sloty2 = 3;  // first section
inline constexpr int slotu1 = 4, slotu2 = 5, slotz1 = 6, slotz2 = 7;  // second section
inline constexpr int slotb0 = 8, slotb1 = 9, slotb2 = 10, slota1 = 11, slota2 = 12;

// Slots of modstate for the envelope follower (one set per patch and channel).
inline constexpr int slotenvsmooth = 0;    // level smoothing coefficient
inline constexpr int slotenvlevel = 1;
inline constexpr int slotenvvalue = 2;
inline constexpr int slotenvgate = 3;      // 1 while the gate is open
inline constexpr int slotenvholdcount = 4; // samples above the upper threshold since the gate closed
inline constexpr int slotenvholdsum = 5;   // accumulated excess over the upper threshold
inline constexpr int slotenvheld = 6;      // the held target of hold mode
inline constexpr int slotenvholdlength = 7;

// Parabolic approximation of cos(2 pi p): 1 at p = 0, 0 at 0.25, -1 at 0.5.
double sineshape(double phase);
// -1 at p = 0, +1 at p = 0.5, linear in between.
double triangleshape(double phase);

// RBJ low-pass with Q = 1/2 at f + 0.01 Hz, normalised by a0, written into the coefficient
// slots of state.
void designsmoother(double frequency, double samplerate, double* state);

// Advances the generator held in generator (a 32-bit unsigned value kept as a double) and
// returns the noise sample in -1..1, computed in single precision.
float nextnoise(double& generator, std::uint32_t multiplier, std::uint32_t increment);

// One step of the smoothed random source: noise through the two smoothing sections whose
// coefficients designsmoother wrote into state.
double randomstep(double& generator, double* state, std::uint32_t multiplier, std::uint32_t increment);
} // namespace pmodsource
