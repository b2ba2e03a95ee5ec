#include "engine/pprojdata.h"
#include "kit/pgraphlines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
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

// The modulator, delay and mix pages draw in the small square; the others take the graph's area.
TEST(GraphLines, AreasByPage)
{
    const prect graph{369, 142, 881, 654};
    const std::tuple<int, int, int, int, int> rows[] = {{10, 584, 264, 265, 265}, {11, 584, 264, 265, 265},
                                                        {14, 584, 264, 265, 265}, {12, 369, 142, 512, 512},
                                                        {0, 369, 142, 512, 512},  {13, 369, 142, 512, 512}};
    for (const auto& [page, x, y, w, h] : rows)
    {
        const pgrapharea a = pgraphareaof(page, graph);
        EXPECT_EQ(std::tuple(a.x, a.y, a.w, a.h), std::tuple(x, y, w, h)) << page;
    }
}

TEST(GraphLines, LfoCurvesByShapeAndSpeed)
{
    // The top row reached, the first and last columns that reach it, the heights at 66 and 264.
    const std::tuple<int, int, int, int, int, int, int> rows[] = {
        {0, 0, 236, 0, 264, 236, 236},   // flat: f is 0 everywhere
        {0, 4, 132, 132, 133, 184, 235}, // one triangle period across the square
        {1, 4, 132, 125, 140, 184, 235}, // one cosine period: within 1/52 of -1 from f = 0.46875
    };
    for (const auto& [shape, speed, lowest, firstlow, lastlow, at66, at264] : rows)
    {
        SCOPED_TRACE("shape " + std::to_string(shape) + " speed " + std::to_string(speed));
        const recorder r = draw({0, speed, 0, shape}, ppagemodulator);
        ASSERT_EQ(r.lines.size(), static_cast<std::size_t>(side));
        EXPECT_EQ(text(r.lines[0]), "ff00dcdc 0,236-0,236");
        int top = 1000;
        int first = -1;
        int last = -1;
        std::size_t joined = 0; // lines that start where the last ended
        for (std::size_t i = 0; i < r.lines.size(); ++i)
        {
            const recordedline& l = r.lines[i];
            first = l.y2 < top ? l.x2 : first;
            top = std::min(top, l.y2);
            last = l.y2 == top ? l.x2 : last;
            joined += i > 0 && l.x1 == r.lines[i - 1].x2 && l.y1 == r.lines[i - 1].y2 ? 1 : 0;
        }
        EXPECT_EQ(std::tuple(top, first, last), std::tuple(lowest, firstlow, lastlow));
        EXPECT_EQ(std::tuple(r.lines[66].y2, r.lines[264].y2), std::tuple(at66, at264));
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
    const std::tuple<int, int, int> rows[] = {{0, 29, 0}, {64, 144, 12}, {127, 246, 185}};
    for (const auto& [speed, at10, at50] : rows)
    {
        const recorder r = draw({0, speed, 1, 0}, ppagemodulator);
        ASSERT_EQ(r.lines.size(), static_cast<std::size_t>(side - 2));
        EXPECT_EQ(text(r.lines[0]).substr(0, 15), "ff00dcdc 0,265-") << speed;
        EXPECT_EQ(std::tuple(r.lines[9].y2, r.lines[49].y2), std::tuple(at10, at50)) << speed;
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
    const std::tuple<std::vector<int>, int, int, std::size_t, std::size_t, const char*> rows[] = {
        {{0, 0, 0, 2}, ppagedelay, 5, 1, 0, "ffdcdcdc 4,10-4,60"}, // too narrow for a tick: the base line
        {heights, ppageeq, 512, 512, 2, "ff937c9f 2,511-2,-1"},    // to the top edge and no further
        {heights, ppageeq, 512, 512, 3, "ff937c9f 3,511-3,511"},   // a negative bar is none
        {std::vector<int>(100, 3), ppageeq, 512, 100, 99, "ff937c9f 99,511-99,508"},    // no read past the count
        {{1, 2, 3}, ppagemix, side, 2, 0, "ffff0000 -6,2-8,2"},                         // an odd value has no partner
        {std::vector<int>(40, 100), ppagemix, side, 16, 15, "ffa8a8a8 100,93-100,107"}, // eight crosses at most
    };
    for (const auto& [data, page, w, count, index, line] : rows)
    {
        const recorder drawn = draw(data, page, w, w);
        ASSERT_EQ(drawn.lines.size(), count) << line;
        EXPECT_EQ(text(drawn.lines[index]), line);
    }
}
