#include "foundation/ocarray.h"

#include <gtest/gtest.h>

#include <stdexcept>

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
        EXPECT_TRUE(list[i].text.str() == texts[i % 4] && list[i].tag == 100 + i % 4) << i;
    EXPECT_NE(list[0].text.data, list[4].text.data);
}
} // namespace
