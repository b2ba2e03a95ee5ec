// The analysis needs an arctangent and a logarithm for every bin of every frame: the library
// calls cost more than the transform. These run four bins at a time, without branches, on the
// classic fdlibm reductions and polynomials, and stay within a few units in the last place of
// the library (a few 1e-16 relative): far below anything a frame's output can show. Beyond their
// range (non-finite input) they hand the value to the library.
#pragma once

#include <cstdint>

// count packed bins (re, im) in place to (sqrt(re^2 + im^2), atan2(im, re)): the fast path
// and the plain one it replaces, the library's std::atan2 bin by bin.
void rectangulartopolar(double* bins, std::int64_t count);
void rectangulartopolarplain(double* bins, std::int64_t count);

// out[k] := ln(1 + in[2k]) for k < count: every other value, the magnitudes of packed
// (magnitude, phase) bins. Fast path and plain std::log1p.
void log1pofmagnitudes(const double* bins, double* out, std::int64_t count);
void log1pofmagnitudesplain(const double* bins, double* out, std::int64_t count);

// The per-bin loops of a voice's synthesis, four bins at a time; the same bits as the scalar
// loops (see dsp/voicekernels.h for what each computes).
struct phasestep;
void advancephases(const double* bins, const phasestep& step, double* phases, double* magnitude, double* phase,
                   std::int64_t count);
void warpmagnitudes(const double* envelope, double g, double floor, std::int64_t hi, double* magnitude,
                    std::int64_t count);
void mapbins(const double* re, const double* im, double ratio, double gain, const double* eq, std::int64_t hi,
             double* bins, std::int64_t count);

// out[i] = sum over j < n of (a[j] - b[i + j])^2 for i < count, four lags at a time: differs
// from summing each lag alone only by rounding.
void squareddifferences(const double* a, const double* b, std::int64_t n, double* out, std::int64_t count);

// The sum of x[0..n-1], and the sum of (x[j] - about)^2, several running sums at once: they
// differ from one running sum only by rounding.
double sumof(const double* x, std::int64_t n);
double squareddeviation(const double* x, std::int64_t n, double about);
