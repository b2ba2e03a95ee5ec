// Two doubles side by side in one vector register, through the vector extension that GCC and
// Clang share: SSE2 on x86-64, NEON on ARM64, two plain doubles elsewhere. Arithmetic runs lane
// by lane with the rounding of the scalar operations, so code written for two lanes gives the
// same bits as the same code run on one value at a time.
#pragma once

#include <cstring>

typedef double doublepair __attribute__((vector_size(2 * sizeof(double))));

// Two neighbouring doubles, at any alignment.
inline doublepair loadlanes(const double* p)
{
    doublepair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void storelanes(double* p, doublepair v)
{
    std::memcpy(p, &v, sizeof v);
}
