// Decoding of host MIDI into the records the modulators read.
#include "plugin/pmididecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace
{
struct decoded
{
    bool kept = false;
    krvstmidievent record;
};

decoded decode(std::initializer_list<int> bytes, int position = 0)
{
    std::vector<std::uint8_t> data;
    for (int b : bytes)
        data.push_back(static_cast<std::uint8_t>(b));
    decoded d;
    d.kept = pmididecode::decode(data.data(), static_cast<int>(data.size()), position, d.record);
    return d;
}

TEST(mididecode, NoteOnKeepsVelocityUnscaledAndVelocityZeroStaysANoteOn)
{
    auto d = decode({0x90, 60, 100});
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.record.status, 0x90u);
    EXPECT_EQ(d.record.number, 60);
    EXPECT_EQ(d.record.rawvalue, 100u);
    EXPECT_DOUBLE_EQ(d.record.value, 100.0);

    d = decode({0x90, 64, 0});
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.record.status, 0x90u);
    EXPECT_EQ(d.record.rawvalue, 0u);
    EXPECT_DOUBLE_EQ(d.record.value, 0.0);
}

TEST(mididecode, NoteOffKeepsItsVelocity)
{
    const auto d = decode({0x80, 62, 40});
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.record.status, 0x80u);
    EXPECT_EQ(d.record.number, 62);
    EXPECT_DOUBLE_EQ(d.record.value, 40.0);
}

TEST(mididecode, ControllerValueIsScaledToOne)
{
    const auto d = decode({0xB0, 7, 127});
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.record.status, 0xB0u);
    EXPECT_EQ(d.record.number, 7);
    EXPECT_EQ(d.record.rawvalue, 127u);
    EXPECT_DOUBLE_EQ(d.record.value, 1.0);
}

TEST(mididecode, PitchBendCentreAndExtremes)
{
    auto d = decode({0xE0, 0, 64});
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.record.status, 0xE0u);
    EXPECT_EQ(d.record.number, 254);
    EXPECT_EQ(d.record.rawvalue, 8192u);
    EXPECT_NEAR(d.record.value, 0.500031, 1e-6);

    d = decode({0xE0, 0x7F, 0x7F});
    EXPECT_EQ(d.record.rawvalue, 16383u);
    EXPECT_DOUBLE_EQ(d.record.value, 1.0);
    d = decode({0xE0, 0, 0});
    EXPECT_DOUBLE_EQ(d.record.value, 0.0);
}

TEST(mididecode, PitchBendDataBytesAreMaskedSoTheValueNeverExceedsOne)
{
    // Malformed data bytes with the top bit set must not push the bend past 16383.
    const auto d = decode({0xE0, 0xFF, 0xFF});
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.record.rawvalue, 16383u);
    EXPECT_LE(d.record.value, 1.0);
}

TEST(mididecode, ChannelPressureUsesItsOneDataByte)
{
    const auto d = decode({0xD0, 64});
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.record.status, 0xD0u);
    EXPECT_EQ(d.record.number, 253);
    EXPECT_EQ(d.record.rawvalue, 64u);
    EXPECT_NEAR(d.record.value, 0.503937, 1e-6);
}

TEST(mididecode, EverySixteenChannelsDecodeAlike)
{
    for (int channel = 0; channel < 16; ++channel)
    {
        SCOPED_TRACE(channel);
        const auto note = decode({0x90 | channel, 60, 90});
        ASSERT_TRUE(note.kept);
        EXPECT_EQ(note.record.status, 0x90u);
        const auto cc = decode({0xB0 | channel, 1, 64});
        ASSERT_TRUE(cc.kept);
        EXPECT_EQ(cc.record.status, 0xB0u);
        EXPECT_EQ(cc.record.number, 1);
    }
}

TEST(mididecode, PolyPressureProgramChangeAndSystemMessagesAreDropped)
{
    EXPECT_FALSE(decode({0xA0, 60, 10}).kept);
    EXPECT_FALSE(decode({0xC3, 5}).kept);
    EXPECT_FALSE(decode({0xF0, 0x7E, 0xF7}).kept);
    EXPECT_FALSE(decode({0xF8}).kept);
    EXPECT_FALSE(decode({0xFF, 0x2F, 0}).kept);
}

TEST(mididecode, NumbersFrom120AreDroppedForNotesAndControllers)
{
    EXPECT_FALSE(decode({0xB0, 121, 0}).kept);
    EXPECT_FALSE(decode({0xB0, 127, 0}).kept);
    EXPECT_FALSE(decode({0x90, 120, 100}).kept);
    EXPECT_FALSE(decode({0x80, 127, 0}).kept);
    EXPECT_TRUE(decode({0xB0, 119, 0}).kept);
    EXPECT_TRUE(decode({0x90, 119, 100}).kept);
}

TEST(mididecode, ShortOrHeadlessMessagesAreDropped)
{
    EXPECT_FALSE(decode({0x90, 60}).kept);
    EXPECT_FALSE(decode({0xB0}).kept);
    EXPECT_FALSE(decode({0xD0}).kept);
    EXPECT_FALSE(decode({0x3C, 0x40}).kept); // running status: no status byte
    krvstmidievent record;
    EXPECT_FALSE(pmididecode::decode(nullptr, 3, 0, record));
}

TEST(mididecode, SamplePositionIsKept)
{
    const auto d = decode({0xB0, 1, 1}, 100);
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.record.sampleoffset, 100);
}
} // namespace
