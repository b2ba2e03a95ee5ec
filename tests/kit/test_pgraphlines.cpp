#include "engine/pprojdata.h"
#include "kit/pgraphlines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
struct recordedline
{
    std::uint32_t colour;
    int x1, y1, x2, y2;
};

struct recorder : pgraphsink
{
    std::uint32_t colour = 0;
    std::vector<recordedline> lines;
    void setcolour(std::uint32_t argb) override { colour = argb; }
    void line(int x1, int y1, int x2, int y2) override { lines.push_back({colour, x1, y1, x2, y2}); }
};

constexpr int side = 265;

recorder draw(std::vector<int> data, int page, int w = side, int h = side,
              const prelaxed<std::int32_t>* history = nullptr)
{
    recorder r;
    pgraphdraw(data.data(), data.size(), page, w, h, history, r);
    return r;
}

std::string text(const recordedline& l)
{
    char out[64];
    std::snprintf(out, sizeof out, "%08x %d,%d-%d,%d", l.colour, l.x1, l.y1, l.x2, l.y2);
    return out;
}
} // namespace

TEST(GraphLines, AreasByPage)
{
    const prect eq{369, 142, 881, 654};
    const struct
    {
        int page;
        int x, y, w, h;
    } cases[] = {{10, 584, 264, 265, 265}, {11, 584, 264, 265, 265}, {14, 584, 264, 265, 265},
                 {12, 369, 142, 512, 512}, {0, 369, 142, 512, 512},  {13, 369, 142, 512, 512}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.page);
        const pgrapharea a = pgraphareaof(c.page, eq);
        EXPECT_EQ(a.x, c.x);
        EXPECT_EQ(a.y, c.y);
        EXPECT_EQ(a.w, c.w);
        EXPECT_EQ(a.h, c.h);
    }
}

// LFO curves: one joined line per column, from (0, 236), between y 132 and 236.
TEST(GraphLines, LfoCurvesByShapeAndSpeed)
{
    const struct
    {
        int shape, speed;
        int lowest, firstlow, lastlow; // the top row and the columns that reach it
        int at66, at264;
    } cases[] = {
        {0, 0, 236, 0, 264, 236, 236},   // flat: f is 0 everywhere
        {0, 4, 132, 132, 133, 184, 235}, // one triangle period across the square
        {1, 4, 132, 125, 140, 184, 235}, // one cosine period: within 1/52 of -1 from f = 0.46875
    };
    for (const auto& c : cases)
    {
        const recorder r = draw({0, c.speed, 0, c.shape}, ppagemodulator);
        ASSERT_EQ(r.lines.size(), static_cast<std::size_t>(side));
        EXPECT_EQ(text(r.lines[0]), "ff00dcdc 0,236-0,236");
        SCOPED_TRACE("shape " + std::to_string(c.shape) + " speed " + std::to_string(c.speed));
        int lowest = 1000;
        int first = -1;
        int last = -1;
        for (const recordedline& l : r.lines)
        {
            first = l.y2 < lowest ? l.x2 : first;
            lowest = std::min(lowest, l.y2);
            last = l.y2 == lowest ? l.x2 : last;
        }
        EXPECT_EQ(lowest, c.lowest);
        EXPECT_EQ(first, c.firstlow);
        EXPECT_EQ(last, c.lastlow);
        EXPECT_EQ(r.lines[66].y2, c.at66);
        EXPECT_EQ(r.lines[264].y2, c.at264);
        std::size_t joined = 0; // lines that start where the last ended
        for (std::size_t i = 1; i < r.lines.size(); ++i)
            joined += r.lines[i].x1 == r.lines[i - 1].x2 && r.lines[i].y1 == r.lines[i - 1].y2 ? 1 : 0;
        EXPECT_EQ(joined, r.lines.size() - 1);
    }
}

TEST(GraphLines, UnknownShapeOrSourceOrTooFewValuesDrawNothing)
{
    EXPECT_TRUE(draw({0, 4, 0, 2}, ppagemodulator).lines.empty());
    EXPECT_TRUE(draw({0, 4, 3, 0}, ppagemodulator).lines.empty());
    EXPECT_TRUE(draw({0, 4, 0}, ppagemodulator).lines.empty());
    EXPECT_TRUE(draw({5, 4, 0}, ppagedelay).lines.empty());
    for (int page : {0, 13, 7, -1})
        EXPECT_TRUE(draw({1, 2, 3, 4}, page).lines.empty()) << page;
}

// The curve divides the speed as a real number, so each speed has its own curve; like the
// follower's own time constants, a higher speed rises more slowly.
TEST(GraphLines, EnvelopeCurveHasOneShapePerSpeed)
{
    const struct
    {
        int speed;
        int at10, at50;
    } cases[] = {{0, 29, 0}, {64, 144, 12}, {127, 246, 185}};
    for (const auto& c : cases)
    {
        const recorder r = draw({0, c.speed, 1, 0}, ppagemodulator);
        ASSERT_EQ(r.lines.size(), static_cast<std::size_t>(side - 2));
        EXPECT_EQ(text(r.lines[0]).substr(0, 15), "ff00dcdc 0,265-") << c.speed;
        EXPECT_EQ(r.lines[9].y2, c.at10) << c.speed;
        EXPECT_EQ(r.lines[49].y2, c.at50) << c.speed;
    }
    EXPECT_TRUE(draw({0, 64, 1, 0}, ppagemodulator, 2, 2).lines.empty());
}

TEST(GraphLines, HistoryRunsInSlotOrderAndHoldsOverNegativeSlots)
{
    prelaxed<std::int32_t> history[phistoryslots];
    for (std::uint64_t i = 0; i < phistoryslots; ++i)
        history[i] = static_cast<std::int32_t>(i % 256);
    history[5] = -1;
    const recorder r = draw({0, 0, 2, 0}, ppagemodulator, side, side, history);
    ASSERT_EQ(r.lines.size(), phistoryslots - 1);
    EXPECT_EQ(text(r.lines[0]), "ff00dcdc 0,265-1,264");
    EXPECT_EQ(text(r.lines[4]), "ff00dcdc 4,261-5,261"); // slot 5 holds slot 4's height
    EXPECT_EQ(text(r.lines[5]), "ff00dcdc 5,261-6,259");
    EXPECT_EQ(text(r.lines.back()), "ff00dcdc 262,259-263,258");
    EXPECT_TRUE(draw({0, 0, 2, 0}, ppagemodulator).lines.empty()); // no ring, no curve
}

// Where the pictures end; their colours and places on the image are pinned by the graph view's pixels.
TEST(GraphLines, PicturesStopAtTheirLimits)
{
    std::vector<int> heights(512, 0);
    heights[2] = 9999;
    heights[3] = -7;
    const struct
    {
        std::vector<int> data;
        int page, w;
        std::size_t count, index;
        const char* line;
    } rows[] = {
        {{0, 0, 0, 2}, ppagedelay, 5, 1, 0, "ffdcdcdc 4,10-4,60"}, // too narrow for a tick: the base line
        {heights, ppageeq, 512, 512, 2, "ff937c9f 2,511-2,-1"},    // to the top edge and no further
        {heights, ppageeq, 512, 512, 3, "ff937c9f 3,511-3,511"},   // a negative bar is none
        {std::vector<int>(100, 3), ppageeq, 512, 100, 99, "ff937c9f 99,511-99,508"},    // no read past the count
        {{1, 2, 3}, ppagemix, side, 2, 0, "ffff0000 -6,2-8,2"},                         // an odd value has no partner
        {std::vector<int>(40, 100), ppagemix, side, 16, 15, "ffa8a8a8 100,93-100,107"}, // eight crosses at most
    };
    for (const auto& r : rows)
    {
        const recorder drawn = draw(r.data, r.page, r.w, r.w);
        ASSERT_EQ(drawn.lines.size(), r.count) << r.line;
        EXPECT_EQ(text(drawn.lines[r.index]), r.line);
    }
}
