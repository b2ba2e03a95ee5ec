#include "foundation/costringa.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <locale>
#include <stdexcept>
#include <thread>
#include <tuple>

namespace
{
struct PrecisionScope
{
    explicit PrecisionScope(std::int64_t p) { costringspace::precision = p; }
    ~PrecisionScope() { costringspace::precision = costringspace::defaultPrecision; }
};

std::string formatted(std::int64_t precision, float value)
{
    PrecisionScope scope(precision);
    costringa s;
    s.assign(value);
    return s.str();
}

TEST(Costringa, FormatsNumbersAtTheThreadsPrecisionInAnyLocale)
{
    using row = std::tuple<std::int64_t, float, const char*>; // precision, value, text
    for (const auto& [precision, value, text] :
         {row{6, 0.5f, "0.500000"}, row{3, 0.5f, "0.500"}, row{2, -0.125f, "-0.12"}, row{1, 1.0e7f, "10000000.0"}})
        EXPECT_EQ(formatted(precision, value), text);
    costringa s;
    s.assign(1.0f); // default precision 3
    s.append(',');
    s.append(0);
    s.append(-5);
    s.append("^PAR");
    EXPECT_STREQ(s.c_str(), "1.000,0-5^PAR");
    EXPECT_EQ(s.capacity, s.length); // growth is exact
    EXPECT_EQ((":" + costringa("Pitch")).str(), ":Pitch");
    const std::locale previous;
    try
    {
        std::locale::global(std::locale("de_DE.UTF-8"));
    }
    catch (const std::runtime_error&)
    {
        GTEST_SKIP() << "no comma-decimal locale installed";
    }
    const std::string german = formatted(6, 0.5f);
    std::locale::global(previous);
    EXPECT_EQ(german, "0.500000");
}

TEST(Costringa, ThreadsFormatWithTheirOwnPrecision)
{
    std::atomic<bool> mixed{false};
    auto run = [&mixed](std::int64_t precision, const char* expected) {
        for (int i = 0; i < 20000; ++i)
            mixed = mixed || formatted(precision, 0.5f) != expected;
    };
    std::thread six(run, 6, "0.500000");
    std::thread two(run, 2, "0.50");
    six.join();
    two.join();
    EXPECT_FALSE(mixed);
}
} // namespace

// A copy holds exactly length + 1 bytes of its own; a one-character text is copied like any other, and an
// empty one gives an empty string with no buffer. Appending a text to itself survives the reallocation.
TEST(Costringa, CopiesAreExactAndOwnTheirBufferAndSelfAppendSurvivesReallocation)
{
    for (const char* text : {"", "x", "xy", "quill"})
    {
        SCOPED_TRACE(text);
        const costringa source(text);
        const costringa constructed(source);
        costringa assigned("something longer than any source");
        assigned = source;
        for (const costringa* copy : {&constructed, static_cast<const costringa*>(&assigned)})
        {
            EXPECT_EQ(copy->str(), text);
            EXPECT_EQ(copy->length, std::strlen(text));
            EXPECT_TRUE(copy->length == 0 || copy->data != source.data);
        }
        EXPECT_EQ(constructed.capacity, std::strlen(text));
    }
    costringa self("ab");
    self.append(self.c_str());
    EXPECT_EQ(self.str(), "abab");
}
