// Denormal arithmetic off for a scope, as a host's audio callback has it: the engine's
// decaying filters and echoes would otherwise slow to a crawl near silence.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define QUILL_HAS_MXCSR 1
#endif

class nodenormals
{
public:
#ifdef QUILL_HAS_MXCSR
    nodenormals() : saved(_mm_getcsr())
    {
        _mm_setcsr(saved | flushtozero | denormalsarezero);
    }
    ~nodenormals()
    {
        _mm_setcsr(saved);
    }
    nodenormals(const nodenormals&) = delete;
    nodenormals& operator=(const nodenormals&) = delete;

private:
    static constexpr unsigned flushtozero = 0x8000;      // MXCSR FTZ
    static constexpr unsigned denormalsarezero = 0x0040; // MXCSR DAZ
    unsigned saved;
#endif
};
