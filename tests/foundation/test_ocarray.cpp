#include "foundation/ocarray.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace
{
struct Counted
{
    static int alive;
    static int destroyed;
    int id;
    explicit Counted(int i) : id(i) { ++alive; }
    ~Counted()
    {
        --alive;
        ++destroyed;
    }
};
int Counted::alive = 0;
int Counted::destroyed = 0;

struct MenuItem
{
    costringa text;
    int tag = 0;
};
} // namespace

TEST(ArrayPtr, GrowsByDoublingAndKeepsOrder)
{
    ocarray::ArrayPtr<Counted> a;
    EXPECT_EQ(a.capacity, 2u);
    EXPECT_EQ(a.count, 0u);
    for (int i = 0; i < 3; ++i)
        a.append(new Counted(i));
    EXPECT_EQ(a.capacity, 4u);
    for (int i = 0; i < 5; ++i)
        a.append(new Counted(10 + i));
    EXPECT_EQ(a.capacity, 8u);
    EXPECT_EQ(a.count, 8u);
    EXPECT_EQ(a.data[0]->id, 0);
    EXPECT_EQ(a.data[7]->id, 14);
}

TEST(ArrayPtr, ZeroCapacityGrowsToOneAndMallocBlocksWork)
{
    ocarray::ArrayPtr<Counted> a;
    // An array switched to malloc-owned storage with no slots, as a caller may set up.
    ocarray::detail::freeBlock(a.owns, a.data);
    a.owns = 0;
    a.capacity = 0;
    a.data = nullptr;
    a.append(new Counted(1));
    EXPECT_EQ(a.capacity, 1u);
    a.append(new Counted(2));
    EXPECT_EQ(a.capacity, 2u);
    EXPECT_EQ(a.data[1]->id, 2);
}

TEST(ArrayPtr, RemoveHandsBackTheElementAndRejectsBadIndexes)
{
    Counted::alive = 0;
    ocarray::ArrayPtr<Counted> a;
    for (int i = 0; i < 3; ++i)
        a.append(new Counted(i));

    try
    {
        a.remove(3);
        FAIL() << "no exception";
    }
    catch (const std::out_of_range& e)
    {
        EXPECT_STREQ(e.what(), "array: attempting to access element:3 in array of length:3");
    }
    EXPECT_EQ(a.count, 3u);

    Counted* middle = a.remove(1);
    EXPECT_EQ(middle->id, 1);
    delete middle;
    EXPECT_EQ(a.count, 2u);
    EXPECT_EQ(a.data[1]->id, 2);
    EXPECT_EQ(Counted::alive, 2);
}

TEST(ArrayPtr, ClearAndDestroyDeletesEachElementOnceAndKeepsTheBlock)
{
    Counted::alive = 0;
    Counted::destroyed = 0;
    {
        ocarray::ArrayPtr<Counted> a;
        a.clearAndDestroy();
        EXPECT_EQ(a.count, 0u);
        EXPECT_EQ(a.capacity, 2u);
        ASSERT_NE(a.data, nullptr);

        for (int i = 0; i < 5; ++i)
            a.append(new Counted(i));
        a.append(nullptr); // empty slots are skipped
        a.clearAndDestroy();
        EXPECT_EQ(Counted::destroyed, 5);
        EXPECT_EQ(a.count, 0u);
        EXPECT_EQ(a.capacity, 8u);

        a.append(new Counted(9));
    }
    EXPECT_EQ(Counted::destroyed, 6);
    EXPECT_EQ(Counted::alive, 0);
}

TEST(Array, ResizeRules)
{
    ocarray::Array<int> a;
    EXPECT_EQ(a.capacity, 2u);
    a.resize(0);
    EXPECT_EQ(a.capacity, 1u);
    a.append(1);
    a.append(2);
    EXPECT_EQ(a.capacity, 2u);
    a.append(3);
    EXPECT_EQ(a.capacity, 4u);
    a.resize(2); // below the count: nothing moves, capacity follows the count
    EXPECT_EQ(a.capacity, 3u);
    EXPECT_EQ(a[2], 3);
    a.resize(16);
    EXPECT_EQ(a.capacity, 16u);
    EXPECT_EQ(a[0], 1);
    a.clear();
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(a.capacity, 16u);
}

TEST(Array, MenuItemsAreCopiedDeeplyWhenTheListGrows)
{
    ocarray::Array<MenuItem> list;
    const char* texts[] = {"Sine", "Triangle", "Random", "Envelope", "MIDI"};
    for (int i = 0; i < 5; ++i)
    {
        MenuItem item;
        item.text = texts[i];
        item.tag = 100 + i;
        list.append(item);
    }
    EXPECT_EQ(list.capacity, 8u);
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_STREQ(list[i].text.c_str(), texts[i]);
        EXPECT_EQ(list[i].tag, 100 + i);
    }
    // Appending an element of the list itself while it grows.
    ocarray::Array<MenuItem> small;
    small.resize(1);
    MenuItem first;
    first.text = "first";
    small.append(first);
    small.append(small[0]);
    EXPECT_STREQ(small[1].text.c_str(), "first");
    EXPECT_NE(small[0].text.data, small[1].text.data);
}
