// The menu lists the processor fills, where their order carries meaning.
#include "engine/patchparams.h"
#include "kit/pguitools.h"
#include "plugin/pmenulists.h"

#include <gtest/gtest.h>

#include <string>

// The delay pane's shape menu stores the chosen item as the shape code the delay pass plays.
TEST(MenuLists, ShapeItemsFollowTheShapeCodes)
{
    pguitools tools;
    pfillmenulists(tools);
    const auto& shapes = tools.menulists[pmenulfoshapes];
    ASSERT_EQ(shapes.count, 3u);
    EXPECT_EQ(shapes[pshapetriangle].text.str(), "LFO:Triangle");
    EXPECT_EQ(shapes[pshapesine].text.str(), "LFO:Sine");
    EXPECT_EQ(shapes[2].text.str(), "LFO:Random");
    for (std::uint64_t i = 0; i < shapes.count; ++i)
        EXPECT_EQ(shapes[i].tag, static_cast<std::int32_t>(i));
}
