// The compilers' generic vectors the kernel sets compute with, named once. Types only: the
// functions on them live inside each kernel set's namespace (dsp/kernelset.h), so that code
// compiled for AVX2 is never linked in place of the baseline's.
#pragma once

#include <cstdint>

typedef double lanes4 __attribute__((vector_size(4 * sizeof(double))));
typedef std::uint64_t lanes4bits __attribute__((vector_size(4 * sizeof(std::uint64_t))));
typedef std::int64_t lanes4int __attribute__((vector_size(4 * sizeof(std::int64_t))));
typedef std::uint64_t lanes2bits __attribute__((vector_size(2 * sizeof(std::uint64_t))));
