// A MIDI channel message at its sample position from the start of a render.
#pragma once

#include <cstdint>

namespace quillrender
{
struct timedmidimessage
{
    std::int64_t sample = 0;
    unsigned char bytes[3] = {0, 0, 0};
    int size = 0;
};
} // namespace quillrender
