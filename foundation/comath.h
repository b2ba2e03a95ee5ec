// The circle constants, written once. Every value equals what the C library's M_PI gives,
// so code moved onto these names computes bit for bit what it computed before.
#pragma once

namespace comath
{
inline constexpr double pi = 3.14159265358979323846;
inline constexpr double twopi = 2.0 * pi;
// For reference values computed in extended precision.
inline constexpr long double pilong = 3.14159265358979323846264338327950288L;
} // namespace comath
