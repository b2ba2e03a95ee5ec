// The graph view on real images: what lands in the pixels, and the view's life across ticks.
#include "allocation_counter.h"
#include "engine/patchparams.h"
#include "engine/pprojdata.h"
#include "kit/pgraphlines.h"
#include "kit/pgraphview.h"
#include "kit/pguitools.h"
#include "kit/pkit.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace
{
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

} // namespace

// Runs of one colour down a column: lines land on whole pixels, a step of two rows stays
// joined, ticks and crosses keep their colours, bars stand on the bottom edge.
TEST(GraphPixels, ColumnsHoldWholePixelRuns)
{
    const std::vector<int> flat{0, 0, 0, 0}, cosine{0, 4, 0, 1}, echo{50, 0, 0, 0}, mix{21, 217, 132, 130};
    std::vector<int> bars(512, 0);
    bars[10] = 100;
    bars[11] = 511;
    // data, page, image side, column, colour, runs
    const std::tuple<const std::vector<int>&, int, int, int, std::uint32_t, const char*> rows[] = {
        {flat, ppagemodulator, 265, 0, pgraphcurve, "236-236"},
        {flat, ppagemodulator, 265, 264, pgraphcurve, "236-236"},
        {cosine, ppagemodulator, 265, 130, pgraphcurve, "132-132"}, // its top row, midway
        {cosine, ppagemodulator, 265, 63, pgraphcurve, "188-188"},
        {cosine, ppagemodulator, 265, 64, pgraphcurve, "186-187"}, // a step of two rows
        {echo, ppagedelay, 265, 4, pgraphbaseline, "10-60"},
        {echo, ppagedelay, 265, 54, pgraphfirsttick, "10-60"},
        {echo, ppagedelay, 265, 254, pgraphlatertick, "10-60"},
        {mix, ppagemix, 265, 21, 0xffff0000, "210-224"},
        {mix, ppagemix, 265, 14, 0xffff0000, "217-217"},
        {mix, ppagemix, 265, 132, 0xff937c9f, "123-137"},
        {bars, ppageeq, 512, 10, pgraphbar, "411-511"},
        {bars, ppageeq, 512, 11, pgraphbar, "0-511"},
        {bars, ppageeq, 512, 12, pgraphbar, ""}, // a bar of no height has no ink
    };
    for (const auto& [data, page, side, x, colour, runs] : rows)
        EXPECT_EQ(column(render(data, page, side), x, colour), runs) << "page " << page << " x " << x;
}

// The view is made once, on the first tick, at its page's place. A page at rest is not drawn
// again tick after tick (nothing allocated either); a change of its values is drawn at once,
// and so is one of the modulation history where the picture shows it.
TEST(GraphTicks, MadeOnceThenRedrawnOnlyWhenWhatItShowsChanged)
{
    const std::tuple<int, std::vector<int>, std::size_t, bool> rows[] = {
        // page, data, the value then changed, whether the history is drawn
        {ppagemodulator, {0, 4, psourcelfo, 1}, 1, false},
        {ppagemodulator, {0, 4, psourcecontroller, 1}, 0, true},
        {ppagedelay, {50, 4, 0, 1}, 0, false},
        {ppagemix, {21, 217, 132, 130}, 3, false},
        {ppageeq, std::vector<int>(512, 3), 200, false},
    };
    constexpr std::uint32_t marker = 0xff010203; // in no picture: gone when the graph is drawn again
    for (const auto& [page, values, changed, historyshown] : rows)
    {
        SCOPED_TRACE(testing::Message() << "page " << page << " source " << values[2]);
        pguitools tools;
        juce::Component parent;
        tools.parent.component = &parent;
        std::vector<int> data = values;
        const auto redrawn = [&, page = page] {
            tools.graphview->lookandfeel.opacity = 0.25;
            tools.updatepixels(data.data(), data.size(), page);
            const bool gone = at(*tools.graphimage, 1, 1) != marker;
            EXPECT_EQ(tools.graphview->lookandfeel.opacity, gone ? 1.0 : 0.25);
            tools.graphimage->setPixelAt(1, 1, juce::Colour(marker));
            return gone;
        };
        tools.updatepixels(data.data(), data.size(), page);
        ASSERT_EQ(tools.controls.count, 1u);
        tools.graphimage->setPixelAt(1, 1, juce::Colour(marker));
        const pgrapharea area = pgraphareaof(page, tools.graphrect);
        EXPECT_EQ(tools.graphview->button.getBounds(), juce::Rectangle<int>(area.x, area.y, area.w, area.h));
        EXPECT_EQ(tools.graphview->button.getParentComponent(), &parent);
        const std::uint64_t allocations = allocation_counter::count();
        int redraws = 0;
        for (int i = 0; i < 10; ++i)
            redraws += redrawn();
        EXPECT_EQ(redraws, 0);
        tools.modulationhistory[5] = 77;
        EXPECT_EQ(redrawn(), historyshown);
        data[changed] += 1;
        EXPECT_TRUE(redrawn());
        EXPECT_EQ(allocation_counter::count(), allocations);
        EXPECT_EQ(tools.controls.count, 1u);
    }
}
