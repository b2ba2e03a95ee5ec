// A one-pole filter along a whole array, four stretches at once. The plain sample loop is a
// chain: each sample waits for the one before (a multiply and three additions, some 14 cycles).
// With the pole p well inside the unit circle the chain forgets its start within a few dozen
// samples (|p|^n), so each quarter of the array runs from rest, side by side in one vector, and
// the first samples of every quarter then take the decayed end of the quarter before:
// w[s + i] += p^(i+1) w[s - 1], for as long as that adds anything (p^(i+1) above 1e-18).
// The result differs from the sample loop only by rounding (some 1e-16 of the largest value).
#pragma once

#include "dsp/cascade.h"

// Filters n samples of x in place through filter, like filter.process(n, x), carrying the
// memory and the alternating anti-denormal offset on the same way. Takes the plain loop when
// the cascade is not one first-order stage with |pole| <= 1/2, or n is short.
void processfirstorderblocks(Dsp::ButterworthFilter& filter, int n, double* x);
