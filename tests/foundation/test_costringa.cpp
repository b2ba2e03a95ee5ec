#include "foundation/costringa.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <thread>

namespace
{
struct PrecisionScope
{
    explicit PrecisionScope(std::int64_t p) { costringspace::precision = p; }
    ~PrecisionScope() { costringspace::precision = costringspace::defaultPrecision; }
};
} // namespace

TEST(Costringa, FormatsFloatsAtTheCallersPrecision)
{
    costringa s;
    {
        PrecisionScope scope(6);
        s.assign(0.5f);
        EXPECT_STREQ(s.c_str(), "0.500000");
        s.assign(1.0f);
        EXPECT_STREQ(s.c_str(), "1.000000");
    }
    s.assign(0.5f);
    EXPECT_STREQ(s.c_str(), "0.500");
    {
        PrecisionScope scope(2);
        s.assign(1.0f);
        s.append(',');
        s.append(-0.125f);
        EXPECT_STREQ(s.c_str(), "1.00,-0.12");
    }
    // Never scientific notation, even for large values.
    PrecisionScope scope(1);
    s.assign(1.0e7f);
    EXPECT_STREQ(s.c_str(), "10000000.0");
}

TEST(Costringa, FloatTextIgnoresTheProcessLocale)
{
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"};
    std::locale previous;
    bool switched = false;
    for (const char* name : commaLocales)
    {
        try
        {
            std::locale::global(std::locale(name));
            switched = true;
            break;
        }
        catch (const std::runtime_error&)
        {
        }
    }
    if (!switched)
        GTEST_SKIP() << "no comma-decimal locale installed";
    PrecisionScope scope(6);
    costringa s;
    s.assign(0.5f);
    std::locale::global(previous);
    EXPECT_STREQ(s.c_str(), "0.500000");
}

TEST(Costringa, AppendsIntegersCharactersAndText)
{
    costringa s;
    s.append(0);
    EXPECT_STREQ(s.c_str(), "0");
    s.append(-5);
    EXPECT_STREQ(s.c_str(), "0-5");
    s.append(',');
    s.append("^PAR");
    EXPECT_EQ(s.length, 8u);
    EXPECT_STREQ(s.c_str(), "0-5,^PAR");
    // Growth is exact: no slack past the text.
    EXPECT_EQ(s.capacity, s.length);
}

TEST(Costringa, ConcatenationKeepsTheLeftOperandFirst)
{
    costringa pitch("Pitch");
    const costringa label = ":" + pitch;
    EXPECT_STREQ(label.c_str(), ":Pitch");
    EXPECT_EQ(label.length, 6u);
    EXPECT_STREQ(pitch.c_str(), "Pitch");
}

TEST(Costringa, EmptyingAndShorteningNeverExposeOldText)
{
    costringa s("abcdef");
    const auto capacity = s.capacity;
    s.assign("");
    EXPECT_EQ(s.length, 0u);
    EXPECT_EQ(s.capacity, capacity); // buffer kept
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_STREQ(s.data, "");

    s.assign("xy");
    EXPECT_EQ(s.capacity, capacity); // a long enough buffer is reused
    s.removelast();
    EXPECT_STREQ(s.c_str(), "x");
    s.removelast();
    EXPECT_STREQ(s.c_str(), "");
    s.removelast(); // nothing to remove
    EXPECT_EQ(s.length, 0u);

    costringa never;
    never.removelast();
    EXPECT_EQ(never.capacity, 0u);
    EXPECT_STREQ(never.c_str(), "");
}

TEST(Costringa, CopiesAreDeepAndExact)
{
    costringa a("harmony");
    costringa b(a);
    EXPECT_NE(a.data, b.data);
    EXPECT_EQ(b.capacity, b.length);
    b.append('!');
    EXPECT_STREQ(a.c_str(), "harmony");

    costringa c("a much longer text than the source");
    c = a;
    EXPECT_STREQ(c.c_str(), "harmony");
    EXPECT_NE(c.data, a.data);
    c = c; // self-assignment keeps the text
    EXPECT_STREQ(c.c_str(), "harmony");

    costringa empty;
    costringa copyOfEmpty(empty);
    EXPECT_EQ(copyOfEmpty.capacity, 0u);
    EXPECT_EQ(copyOfEmpty.data, nullptr);

    // Appending a string's own text to itself survives the reallocation.
    costringa self("ab");
    self.append(self.c_str());
    EXPECT_STREQ(self.c_str(), "abab");
}

TEST(Costringa, ThreadsFormatWithTheirOwnPrecision)
{
    bool mixed = false;
    auto run = [&mixed](std::int64_t precision, const char* expected) {
        costringspace::precision = precision;
        costringa s;
        for (int i = 0; i < 20000; ++i)
        {
            s.assign(0.5f);
            if (std::strcmp(s.c_str(), expected) != 0)
                mixed = true;
        }
        costringspace::precision = costringspace::defaultPrecision;
    };
    std::thread six(run, 6, "0.500000");
    std::thread two(run, 2, "0.50");
    six.join();
    two.join();
    EXPECT_FALSE(mixed);
}
