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

// The random shape and the envelope follower keep their memories in slots of their own, so a
// patch whose source or shape changes in place starts the new one from its own last state,
// never from the other's numbers. Coefficients are recomputed every hop and not stored.

// Slots of modstate for the random shape: the memory of its two biquad sections.
inline constexpr int slotx1 = 0, slotx2 = 1, sloty1 = 2, sloty2 = 3; // first section
inline constexpr int slotu1 = 4, slotu2 = 5, slotz1 = 6, slotz2 = 7; // second section

// Slots of modstate for the envelope follower (one set per patch and channel).
inline constexpr int slotenvlevel = 8;
inline constexpr int slotenvvalue = 9;
inline constexpr int slotenvgate = 10;      // 1 while the gate is open
inline constexpr int slotenvholdcount = 11; // samples above the upper threshold since the gate closed
inline constexpr int slotenvholdsum = 12;   // accumulated excess over the upper threshold
inline constexpr int slotenvheld = 13;      // the held target of hold mode

// The smoothing sections' coefficients, normalised by a0.
struct psmoother
{
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

// Parabolic approximation of cos(2 pi p): 1 at p = 0, 0 at 0.25, -1 at 0.5.
double sineshape(double phase);
// -1 at p = 0, +1 at p = 0.5, linear in between.
double triangleshape(double phase);

// RBJ low-pass with Q = 1/2 at f + 0.01 Hz, normalised by a0.
psmoother designsmoother(double frequency, double samplerate);

// Advances the generator held in generator (a 32-bit unsigned value kept as a double) and
// returns the noise sample in -1..1, computed in single precision.
float nextnoise(double& generator, std::uint32_t multiplier, std::uint32_t increment);

// One step of the smoothed random source: noise through the two smoothing sections, whose
// memory is in state's random slots.
double randomstep(double& generator, double* state, const psmoother& filter, std::uint32_t multiplier,
                  std::uint32_t increment);
} // namespace pmodsource
