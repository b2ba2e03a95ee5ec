// Counts the calls to the global operator new of this test program, so a test can show that a
// stretch of code allocates nothing.
#pragma once

#include <cstdint>

namespace allocation_counter
{
std::uint64_t count();
}
