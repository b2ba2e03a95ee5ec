// Sine and cosine for the synthesis, which needs one pair per bin and voice: a polynomial on
// the angle reduced to within pi/4 of a multiple of pi/2, four angles at a time and without
// branches. Within one unit in the last place of std::sin and std::cos (1e-16 absolute) for
// |x| <= fastsincoslimit; beyond it, and for infinities and NaN, the results are std::sin and
// std::cos themselves.
#pragma once

#include <cstdint>

inline constexpr double fastsincoslimit = 1.0e5;

// Polar to rectangular over two arrays of count values, in place: magnitude[i] becomes
// magnitude[i] cos angle[i] and angle[i] becomes magnitude[i] sin angle[i].
void polartorectangular(double* magnitude, double* angle, std::int64_t count);
