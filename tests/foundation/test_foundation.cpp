#include "foundation/costringa.h"
#include "foundation/ocarray.h"

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
            if (copy->length > 0)
            {
                EXPECT_NE(copy->data, source.data) << "a buffer of its own";
            }
        }
        EXPECT_EQ(constructed.capacity, std::strlen(text));
    }
    costringa self("ab");
    self.append(self.c_str());
    EXPECT_EQ(self.str(), "abab");
}

namespace
{
struct Counted
{
    static inline int destroyed = 0;
    int id;
    ~Counted() { ++destroyed; }
};

struct MenuItem
{
    costringa text;
    int tag = 0;
};

// Growth doubles from two (or from a block with no slots); remove checks its index; clearAndDestroy
// deletes each element once, skips empty slots and keeps the block.
TEST(ArrayPtr, GrowsRemovesAndDestroysEachElementOnce)
{
    Counted::destroyed = 0;
    {
        ocarray::ArrayPtr<Counted> a;
        EXPECT_EQ(a.capacity, 2u);
        for (int i = 0; i < 5; ++i)
            a.append(new Counted{i});
        EXPECT_EQ(a.capacity, 8u);
        EXPECT_THROW(a.remove(5), std::out_of_range);
        EXPECT_EQ(a.count, 5u);
        delete a.remove(1);
        EXPECT_EQ(a[1]->id, 2);
        a.append(nullptr);
        a.clearAndDestroy();
        EXPECT_EQ(Counted::destroyed, 5);
        EXPECT_EQ(a.count, 0u);
        EXPECT_EQ(a.capacity, 8u);
        a.append(new Counted{9});
    }
    EXPECT_EQ(Counted::destroyed, 6);
    ocarray::ArrayPtr<Counted> empty; // switched to malloc-owned storage with no slots
    ocarray::detail::freeBlock(empty.owns, empty.data);
    empty.owns = 0;
    empty.capacity = 0;
    empty.data = nullptr;
    empty.append(new Counted{1});
    EXPECT_EQ(empty.capacity, 1u);
    empty.clearAndDestroy();
}

TEST(Array, ResizeNeverDropsElementsAndKeepsAtLeastOneSlot)
{
    ocarray::Array<int> a;
    a.resize(0);
    EXPECT_EQ(a.capacity, 1u);
    for (int v : {1, 2, 3})
        a.append(v);
    a.resize(2); // below the count: capacity follows the count
    EXPECT_EQ(a.capacity, 3u);
    EXPECT_EQ(a[2], 3);
}

TEST(Array, MenuItemsAreCopiedDeeplyWhenTheListGrows)
{
    ocarray::Array<MenuItem> list;
    const char* texts[] = {"Sine", "Triangle", "Random", "Envelope"};
    for (int i = 0; i < 4; ++i)
        list.append(MenuItem{texts[i], 100 + i});
    list.append(list[0]); // an element of the list itself, while the list grows
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ(list[i].text.str(), texts[i % 4]) << i;
        EXPECT_EQ(list[i].tag, 100 + i % 4) << i;
    }
    EXPECT_NE(list[0].text.data, list[4].text.data);
}
} // namespace
