// Runs a test body once per kernel set this CPU can run (baseline first), naming the set in
// failures, and restores the start-up choice afterwards.
#pragma once

#include "dsp/simd.h"

#include <gtest/gtest.h>

template <typename Body>
void foreachsimdpath(Body body)
{
    const simdpath startup = activesimdpath();
    for (simdpath path : {simdpath::baseline, simdpath::avx2})
        if (usesimdpath(path))
        {
            SCOPED_TRACE(activekernels().name);
            body();
        }
    usesimdpath(startup);
}
