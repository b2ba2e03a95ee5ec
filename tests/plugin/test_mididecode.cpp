// Decoding of host MIDI into the records the modulators read.
#include "plugin/pmididecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace
{
// "status number raw value offset", or "ignored".
std::string decode(const std::vector<std::uint8_t>& bytes)
{
    krvstmidievent r;
    if (!pmididecode::decode(bytes.data(), static_cast<int>(bytes.size()), 100, r))
        return "ignored";
    char text[96];
    std::snprintf(text, sizeof text, "%X %d %u %.6f %d", static_cast<unsigned>(r.status), static_cast<int>(r.number),
                  static_cast<unsigned>(r.rawvalue), static_cast<double>(r.value), static_cast<int>(r.sampleoffset));
    return text;
}

// On every channel: the channel bits are dropped, note velocities stay unscaled, the rest is scaled to one.
TEST(mididecode, EveryMessageKindOnEveryChannel)
{
    const std::tuple<std::vector<std::uint8_t>, const char*> rows[] = {
        {{0x90, 60, 100}, "90 60 100 100.000000 100"},
        {{0x90, 64, 0}, "90 64 0 0.000000 100"}, // velocity 0 stays a note-on
        {{0x80, 62, 40}, "80 62 40 40.000000 100"},
        {{0xB0, 7, 127}, "B0 7 127 1.000000 100"},
        {{0xB0, 119, 0}, "B0 119 0 0.000000 100"},
        {{0xD0, 64}, "D0 253 64 0.503937 100"},
        {{0xE0, 0, 64}, "E0 254 8192 0.500031 100"},
        {{0xE0, 0x7F, 0x7F}, "E0 254 16383 1.000000 100"},
        {{0xE0, 0xFF, 0xFF}, "E0 254 16383 1.000000 100"}, // stray top bits masked
        {{0xA0, 60, 10}, "ignored"},                       // pressure per key
        {{0xC3, 5}, "ignored"},                            // program change
        {{0xB0, 120, 0}, "ignored"},                       // channel modes: numbers from 120
        {{0x90, 120, 100}, "ignored"},
        {{0x90, 60}, "ignored"}, // short
        {{0xD0}, "ignored"},
    };
    for (const auto& [bytes, expected] : rows)
        for (std::uint8_t channel = 0; channel < 16; ++channel)
        {
            auto onchannel = bytes;
            onchannel[0] |= channel;
            EXPECT_EQ(decode(onchannel), expected) << "channel " << int(channel);
        }
    for (const std::vector<std::uint8_t>& other : {std::vector<std::uint8_t>{0xF0, 0x7E, 0xF7}, {0xF8}, {0x3C, 0x40}})
        EXPECT_EQ(decode(other), "ignored") << int(other[0]); // system, running status
    krvstmidievent record;
    EXPECT_FALSE(pmididecode::decode(nullptr, 3, 0, record));
}
} // namespace
