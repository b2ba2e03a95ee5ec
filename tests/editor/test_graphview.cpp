// The graph view on real images: what lands in the pixels, and the view's life across ticks.
#include "allocation_counter.h"
#include "engine/pprojdata.h"
#include "kit/pgraphlines.h"
#include "kit/pgraphview.h"
#include "kit/pguitools.h"
#include "kit/pkit.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace
{
constexpr std::uint32_t clear = 0;

juce::Image render(std::vector<int> data, int page, int side = 265)
{
    juce::Image image(juce::Image::ARGB, side, side, true, juce::SoftwareImageType());
    pgraphrender(image, data.data(), data.size(), page, nullptr);
    return image;
}

std::uint32_t at(const juce::Image& image, int x, int y)
{
    return image.getPixelAt(x, y).getARGB();
}

// The rows of column x that hold colour, as "first-last" runs.
std::string column(const juce::Image& image, int x, std::uint32_t colour)
{
    std::string runs;
    for (int y = 0; y < image.getHeight(); ++y)
    {
        if (at(image, x, y) != colour || (y > 0 && at(image, x, y - 1) == colour))
            continue;
        int end = y;
        while (end + 1 < image.getHeight() && at(image, x, end + 1) == colour)
            ++end;
        runs += (runs.empty() ? "" : " ") + std::to_string(y) + "-" + std::to_string(end);
    }
    return runs;
}

int inked(const juce::Image& image)
{
    int n = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            n += at(image, x, y) != clear;
    return n;
}
} // namespace

// Runs of one colour down a column: lines land on whole pixels, a step of two rows stays
// joined, ticks and crosses keep their colours, bars stand on the bottom edge.
TEST(GraphPixels, ColumnsHoldWholePixelRuns)
{
    const std::vector<int> flat{0, 0, 0, 0}, cosine{0, 4, 0, 1}, echo{50, 0, 0, 0}, mix{21, 217, 132, 130};
    std::vector<int> bars(512, 0);
    bars[10] = 100;
    bars[11] = 511;
    const struct
    {
        const std::vector<int>& data;
        int page, side, x;
        std::uint32_t colour;
        const char* runs;
    } rows[] = {
        {flat, ppagemodulator, 265, 0, pgraphcurve, "236-236"},
        {flat, ppagemodulator, 265, 130, pgraphcurve, "236-236"},
        {flat, ppagemodulator, 265, 264, pgraphcurve, "236-236"},
        {cosine, ppagemodulator, 265, 130, pgraphcurve, "132-132"}, // its top row, midway
        {cosine, ppagemodulator, 265, 63, pgraphcurve, "188-188"},
        {cosine, ppagemodulator, 265, 64, pgraphcurve, "186-187"}, // a step of two rows
        {echo, ppagedelay, 265, 4, pgraphbaseline, "10-60"},
        {echo, ppagedelay, 265, 54, pgraphfirsttick, "10-60"},
        {echo, ppagedelay, 265, 104, pgraphlatertick, "10-60"},
        {echo, ppagedelay, 265, 254, pgraphlatertick, "10-60"},
        {mix, ppagemix, 265, 21, 0xffff0000, "210-224"},
        {mix, ppagemix, 265, 14, 0xffff0000, "217-217"},
        {mix, ppagemix, 265, 28, 0xffff0000, "217-217"},
        {mix, ppagemix, 265, 132, 0xff937c9f, "123-137"},
        {bars, ppageeq, 512, 10, pgraphbar, "411-511"},
        {bars, ppageeq, 512, 11, pgraphbar, "0-511"},
        {bars, ppageeq, 512, 12, pgraphbar, ""}, // a bar of no height has no ink
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "page " << row.page << " x " << row.x);
        EXPECT_EQ(column(render(row.data, row.page, row.side), row.x, row.colour), row.runs);
    }
}

// The whole picture's ink: one pixel per column for a flat curve, one more per extra row of a
// step, 51 rows per one-column tick, 29 pixels per cross.
TEST(GraphPixels, InkCountsLeaveNoStrayPixels)
{
    const struct
    {
        std::vector<int> data;
        int page, inked;
    } rows[] = {
        {{0, 0, 0, 0}, ppagemodulator, 265},
        {{0, 4, 0, 1}, ppagemodulator, 281},
        {{50, 0, 0, 0}, ppagedelay, 6 * 51 + 265},
        {{21, 217, 132, 130}, ppagemix, 2 * 29},
    };
    for (const auto& row : rows)
        EXPECT_EQ(inked(render(row.data, row.page)), row.inked) << row.page;
}

TEST(GraphPixels, RedrawClearsWhatWasThere)
{
    juce::Image image(juce::Image::ARGB, 265, 265, true, juce::SoftwareImageType());
    std::vector<int> first{50, 4, 0, 1}, second{0, 0, 0, 7};
    pgraphrender(image, first.data(), first.size(), ppagedelay, nullptr);
    pgraphrender(image, second.data(), second.size(), ppagedelay, nullptr); // shape 7: ticks only
    EXPECT_EQ(column(image, 54, pgraphfirsttick), "");
    EXPECT_EQ(column(image, 5, pgraphfirsttick), "10-60");
    EXPECT_EQ(at(image, 0, 236), clear);
}

struct GraphView : ::testing::Test
{
    pguitools tools;
    juce::Component parent;
    std::vector<int> data{0, 4, 0, 1};
    void tick(int page) { tools.updatepixels(data.data(), data.size(), page); }
};

TEST_F(GraphView, MadeOnceAtThePageSizeThenRedrawnInPlace)
{
    tools.parent.component = &parent;
    const std::uint64_t start = allocation_counter::count();
    tick(ppagemodulator);
    EXPECT_GT(allocation_counter::count(), start); // the counter sees the image and view made
    ASSERT_NE(tools.graphimage, nullptr);
    ASSERT_EQ(tools.controls.count, 1u);
    EXPECT_EQ(tools.controls[0], static_cast<pkControl*>(tools.graphview));
    EXPECT_EQ(tools.graphview->button.getBounds(), juce::Rectangle<int>(584, 264, 265, 265));
    EXPECT_EQ(tools.graphview->button.getParentComponent(), &parent);
    EXPECT_TRUE(tools.graphview->button.isVisible());
    juce::Image* image = tools.graphimage;

    tools.graphview->lookandfeel.opacity = 0.25;
    data = {0, 0, 0, 0};
    const std::uint64_t before = allocation_counter::count();
    for (int i = 0; i < 5; ++i)
        tick(ppagemodulator);
    EXPECT_EQ(allocation_counter::count(), before);
    EXPECT_EQ(tools.controls.count, 1u);
    EXPECT_EQ(tools.graphimage, image);
    EXPECT_EQ(tools.graphview->lookandfeel.opacity, 1.0);
    EXPECT_EQ(column(*image, 130, pgraphcurve), "236-236");
}

TEST_F(GraphView, EqPageUsesTheGraphRectangleAndNoParentMeansNotAdded)
{
    data.assign(512, 3);
    tick(ppageeq);
    ASSERT_NE(tools.graphview, nullptr);
    EXPECT_EQ(tools.graphview->button.getBounds(), juce::Rectangle<int>(369, 142, 512, 512));
    EXPECT_EQ(tools.graphview->button.getParentComponent(), nullptr);
    EXPECT_EQ(column(*tools.graphimage, 0, pgraphbar), "508-511");
}
