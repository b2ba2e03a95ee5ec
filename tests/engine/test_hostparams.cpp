// The chunk's host-parameter trailer, and the reload that hands every host value to the new
// modulators.
#include "engine/hostparams.h"
#include "eventmodel.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>

namespace
{
const std::string statetext = "QLT-VERSION:1.2a,^PAR,0.5";
const std::string tag = "QLT-HOSTPARAMS:1";

std::string values(const char* first, const char* rest, int count = hostparamcount)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::string(",") + (i == 0 ? first : rest);
    return text;
}

std::string chunkwith(const std::string& trailer)
{
    return statetext + std::string(1, '\0') + trailer;
}

// "rejected", or the first two values and the mask of finite ones.
std::string readback(const std::string& chunk)
{
    float v[hostparamcount];
    for (float& x : v)
        x = -1.0f;
    std::uint32_t present = 0;
    if (!phosttrailer::read(chunk.data(), chunk.size(), v, present))
        return "rejected";
    char text[96];
    std::snprintf(text, sizeof text, "%g %g %08x", static_cast<double>(v[0]), static_cast<double>(v[1]), present);
    return text;
}

TEST(HostTrailer, WrittenAfterTheTextsNulInAnyLocaleAndReadBackExactly)
{
    float v[hostparamcount];
    for (int i = 0; i < hostparamcount; ++i)
        v[i] = static_cast<float>(i) / 31.0f;
    v[2] = 7.0f, v[3] = -2.0f, v[4] = std::nanf("");
    std::string chunk = statetext;
    chunk.push_back('\0');
    phosttrailer::write(v, chunk);
    const std::string expected = tag + ",0.000000,0.032258,1.000000,0.000000,0.500000,0.161290";
    EXPECT_EQ(chunk.substr(statetext.size() + 1, expected.size()), expected);
    EXPECT_EQ(chunk.back(), '\0');
    float back[hostparamcount] = {};
    std::uint32_t present = 0;
    ASSERT_TRUE(phosttrailer::read(chunk.data(), chunk.size(), back, present));
    EXPECT_EQ(present, 0xFFFFFFFFu);
    for (int i = 5; i < hostparamcount; ++i)
        EXPECT_NEAR(back[i], v[i], 5e-7) << i;
    // A decimal comma in the process locale changes nothing.
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    std::string de = statetext;
    de.push_back('\0');
    phosttrailer::write(v, de);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(de, chunk) << (german ? "" : "(no German locale here)");
}

TEST(HostTrailer, OnlyAWholeTrailerOfThisVersionIsRead)
{
    // chunk, expected
    using row = std::tuple<std::string, const char*>;
    const row cases[] = {
        {chunkwith(tag + values("0.25", "0.75") + std::string(1, '\0')), "0.25 0.75 ffffffff"},
        {chunkwith(tag + values("0.25", "0.75")), "rejected"}, // no closing NUL: truncated
        {chunkwith(tag + values("0.25", "0.75").substr(0, 40)), "rejected"},
        {chunkwith(tag + values("0.25", "0.75", 31) + std::string(1, '\0')), "rejected"}, // 31 values
        {chunkwith(tag + values("0.25", "0.75", 33) + std::string(1, '\0')), "rejected"}, // 33 values
        {chunkwith("QLT-HOSTPARAMS:2" + values("0.25", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith("QLT-HOSTPARAMS:" + values("0.25", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith("QLT-HOSTPARAMZ:1" + values("0.25", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith(tag + values("0.25x", "0.75") + std::string(1, '\0')), "rejected"}, // garbage in a number
        {chunkwith(tag + values("", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith(tag + values(" 0.25", "0.75") + std::string(1, '\0')), "rejected"},
        {chunkwith(tag + values("0.25", std::string(60, '1').c_str()) + std::string(1, '\0')), "rejected"},
        {chunkwith(tag + values("1e-3", "7") + std::string(1, '\0')), "0.001 1 ffffffff"},  // clamped
        {chunkwith(tag + values("-0.5", "1e999") + std::string(1, '\0')), "0 -1 00000001"}, // too big: not finite
        {chunkwith(tag + values("nan", "inf") + std::string(1, '\0')), "-1 -1 00000000"},   // left alone
        {chunkwith(tag + values("0.5", "0.5") + std::string(1, '\0') + "later bytes"), "0.5 0.5 ffffffff"},
        {chunkwith(""), "rejected"},
        {statetext, "rejected"}, // no NUL at all
        {std::string(), "rejected"},
    };
    for (const auto& [chunk, expected] : cases)
        EXPECT_EQ(readback(chunk), expected) << chunk.substr(statetext.size());
}

// The host holds parameter 1 at 0.8 and parameter 2 at 0.3; a state restored afterwards makes
// new modulators listening to them, which start from those values, not from 0.
TEST(HostTrailer, ReloadHandsEveryHostValueToTheNewModulators)
{
    eventmodel em;
    em.m().hostparams.post(0, 0.8f);
    em.m().hostparams.post(1, 0.3f);
    em.m().applyhostparams(); // nobody listens yet: the values stay in the mailbox
    const std::string modulator = ",^PAT,93001,0.000000,1.000000,0.020202,0.010101,0.050000,0.000000,0.000000,";
    const std::string text = "QLT-VERSION:1.2a,^PAR,0.5,0.5,0,1,0,1,0.5,0.5,1" + modulator + "0.007874" + modulator
                             + "0.015748,^VOI,0.5,0.5,0.5,0,0.5,0.5,0,^PAM,0,1,1,^PAM,1,2,1";
    em.m().restorestate(text.c_str(), static_cast<std::int64_t>(text.size() + 1));
    em.m().doaudioevents();
    em.m().applyhostparams();
    ASSERT_EQ(em.m().patches.count, 2u);
    EXPECT_NEAR(em.m().patches[0]->channels[0].modoutput.load(), 0.8, 1e-6);
    EXPECT_NEAR(em.m().patches[1]->channels[1].modoutput.load(), 0.3, 1e-6);
}
} // namespace
