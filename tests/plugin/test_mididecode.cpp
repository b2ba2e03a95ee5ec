// Decoding of host MIDI into the records the modulators read.
#include "plugin/pmididecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace
{
struct decoded
{
    bool kept = false;
    krvstmidievent record;
};

decoded decode(const std::vector<int>& bytes, int position = 0)
{
    const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    decoded d;
    d.kept = pmididecode::decode(data.data(), static_cast<int>(data.size()), position, d.record);
    return d;
}

TEST(mididecode, KeptMessagesOnEveryChannel)
{
    // Channel bits are dropped; note velocities stay unscaled, the rest is scaled to one.
    const struct { std::vector<int> bytes; unsigned status; int number; unsigned raw; double value; } cases[] = {
        {{0x90, 60, 100}, 0x90, 60, 100, 100.0},
        {{0x90, 64, 0}, 0x90, 64, 0, 0.0}, // velocity 0 stays a note-on
        {{0x80, 62, 40}, 0x80, 62, 40, 40.0},
        {{0xB0, 7, 127}, 0xB0, 7, 127, 1.0},
        {{0xB0, 119, 0}, 0xB0, 119, 0, 0.0},
        {{0xD0, 64}, 0xD0, 253, 64, 64.0 / 127.0},
        {{0xE0, 0, 64}, 0xE0, 254, 8192, 8192.0 / 16383.0},
        {{0xE0, 0x7F, 0x7F}, 0xE0, 254, 16383, 1.0},
        {{0xE0, 0, 0}, 0xE0, 254, 0, 0.0},
        {{0xE0, 0xFF, 0xFF}, 0xE0, 254, 16383, 1.0}}; // stray top bits are masked off
    for (const auto& c : cases)
        for (int channel = 0; channel < 16; ++channel)
        {
            SCOPED_TRACE(testing::Message() << std::hex << c.bytes[0] << " " << c.bytes[1] << " channel " << channel);
            auto bytes = c.bytes;
            bytes[0] |= channel;
            const auto d = decode(bytes, 100);
            ASSERT_TRUE(d.kept);
            EXPECT_EQ(d.record.status, c.status);
            EXPECT_EQ(d.record.number, c.number);
            EXPECT_EQ(d.record.rawvalue, c.raw);
            EXPECT_NEAR(d.record.value, c.value, 1e-9);
            EXPECT_EQ(d.record.sampleoffset, 100);
        }
}

TEST(mididecode, IgnoredMessages)
{
    const std::vector<int> cases[] = {
        {0xA0, 60, 10}, {0xC3, 5}, {0xF0, 0x7E, 0xF7}, {0xF8}, {0xFF, 0x2F, 0}, // pressure, program, system
        {0xB0, 120, 0}, {0xBF, 127, 0}, {0x90, 120, 100}, {0x80, 127, 0},      // numbers from 120
        {0x90, 60}, {0xB0}, {0xD0}, {0x3C, 0x40}};                             // short, running status
    for (const auto& bytes : cases)
        EXPECT_FALSE(decode(bytes).kept) << std::hex << bytes[0] << " " << bytes.size() << " bytes";
    krvstmidievent record;
    EXPECT_FALSE(pmididecode::decode(nullptr, 3, 0, record));
}
} // namespace
