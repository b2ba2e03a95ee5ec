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

TEST(GraphPixels, FlatTriangleIsOneRowOfWholePixels)
{
    const juce::Image image = render({0, 0, 0, 0}, ppagemodulator);
    for (int x = 0; x < 265; ++x)
        ASSERT_EQ(column(image, x, pgraphcurve), "236-236") << x;
    EXPECT_EQ(inked(image), 265);
}

TEST(GraphPixels, CosineDipsToItsTopRowMidway)
{
    const juce::Image image = render({0, 4, 0, 1}, ppagemodulator);
    EXPECT_EQ(at(image, 0, 236), pgraphcurve);
    EXPECT_EQ(column(image, 130, pgraphcurve), "132-132");
    EXPECT_EQ(column(image, 63, pgraphcurve), "188-188");
    EXPECT_EQ(column(image, 64, pgraphcurve), "186-187"); // a step of two rows stays joined
    EXPECT_EQ(inked(image), 281);
    for (int y = 0; y < 132; ++y)
        ASSERT_EQ(at(image, 130, y), clear);
}

TEST(GraphPixels, EchoTicksAreOneColumnWide)
{
    const juce::Image image = render({50, 0, 0, 0}, ppagedelay);
    const struct
    {
        int x;
        std::uint32_t colour;
    } ticks[] = {{4, pgraphbaseline},    {54, pgraphfirsttick},  {104, pgraphlatertick},
                 {154, pgraphlatertick}, {204, pgraphlatertick}, {254, pgraphlatertick}};
    for (const auto& t : ticks)
    {
        EXPECT_EQ(column(image, t.x, t.colour), "10-60") << t.x;
        EXPECT_EQ(column(image, t.x - 1, t.colour), "") << t.x;
        EXPECT_EQ(column(image, t.x + 1, t.colour), "") << t.x;
    }
    EXPECT_EQ(inked(image), 6 * 51 + 265);
}

TEST(GraphPixels, MixCrossesInTheFirstTwoColours)
{
    const juce::Image image = render({21, 217, 132, 130}, ppagemix);
    EXPECT_EQ(column(image, 21, 0xffff0000), "210-224");
    EXPECT_EQ(column(image, 14, 0xffff0000), "217-217");
    EXPECT_EQ(column(image, 28, 0xffff0000), "217-217");
    EXPECT_EQ(at(image, 13, 217), clear);
    EXPECT_EQ(column(image, 132, 0xff937c9f), "123-137");
    EXPECT_EQ(inked(image), 2 * 29);
}

TEST(GraphPixels, EqBarsFromTheBottomEdge)
{
    std::vector<int> heights(512, 0);
    heights[10] = 100;
    heights[11] = 511;
    const juce::Image image = render(heights, ppageeq, 512);
    EXPECT_EQ(column(image, 10, pgraphbar), "411-511");
    EXPECT_EQ(column(image, 11, pgraphbar), "0-511");
    EXPECT_EQ(column(image, 12, pgraphbar), ""); // a bar of no height has no ink
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
