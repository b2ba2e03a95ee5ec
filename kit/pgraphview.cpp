// The graph view: the one picture of the editor drawn by the program. pgraphdraw says what
// to draw; this file puts it into the view's image.
#include "kit/pgraphview.h"

#include "engine/patchparams.h"
#include "engine/pprojdata.h"
#include "kit/pgraphlines.h"
#include "kit/pguitools.h"
#include "kit/pkview.h"

#include <cstdlib>
#include <cstring>

namespace
{
// Writes each line straight into the image's pixels, one pixel wide and opaque. The
// framework's anti-aliased line at integer coordinates smears a vertical line over two
// half-lit columns; the graph's lines are meant to sit on whole pixels. Writing pixels also
// keeps the tick free of the allocations a graphics context makes.
class pgraphraster final : public pgraphsink
{
public:
    explicit pgraphraster(juce::Image::BitmapData& target) : bits(target) {}

    void setcolour(std::uint32_t argb) override { colour = juce::Colour(argb); }

    // The pixels of the line's path, both ends included. A line of no length has no
    // pixels, as with the framework's own line drawing.
    void line(int x1, int y1, int x2, int y2) override
    {
        if (x1 == x2 && y1 == y2)
            return;
        const long dx = std::labs(static_cast<long>(x2) - x1);
        const long dy = -std::labs(static_cast<long>(y2) - y1);
        const int sx = x1 < x2 ? 1 : -1;
        const int sy = y1 < y2 ? 1 : -1;
        long err = dx + dy;
        int x = x1, y = y1;
        for (;;)
        {
            plot(x, y);
            if (x == x2 && y == y2)
                return;
            const long e2 = 2 * err;
            if (e2 >= dy)
                err += dy, x += sx;
            if (e2 <= dx)
                err += dx, y += sy;
        }
    }

private:
    void plot(int x, int y)
    {
        if (x >= 0 && y >= 0 && x < bits.width && y < bits.height)
            bits.setPixelColour(x, y, colour);
    }

    juce::Image::BitmapData& bits;
    juce::Colour colour;
};

// A digest of everything the picture depends on (history: the modulation ring, or null).
std::uint64_t pgraphdigest(const int* data, unsigned long count, int page, const prelaxed<std::int32_t>* history)
{
    // FNV-1a over every input of the picture.
    constexpr std::uint64_t basis = 14695981039346656037ull;
    constexpr std::uint64_t prime = 1099511628211ull;
    std::uint64_t h = basis;
    const auto mix = [&h](std::int64_t v) { h = (h ^ static_cast<std::uint64_t>(v)) * prime; };
    mix(page);
    mix(static_cast<std::int64_t>(count));
    for (unsigned long i = 0; data != nullptr && i < count; ++i)
        mix(data[i]);
    for (std::uint64_t i = 0; history != nullptr && i < phistoryslots; ++i)
        mix(history[i].load());
    return h;
}
} // namespace

void pgraphrender(juce::Image& image, const int* data, unsigned long count, int page,
                  const prelaxed<std::int32_t>* history)
{
    if (!image.isValid())
        return;
    juce::Image::BitmapData bits(image, juce::Image::BitmapData::readWrite);
    for (int y = 0; y < bits.height; ++y)
        std::memset(bits.getLinePointer(y), 0, static_cast<std::size_t>(bits.width * bits.pixelStride));
    pgraphraster raster(bits);
    pgraphdraw(data, count, page, bits.width, bits.height, history, raster);
}

void pguitools::updatepixels(int* data, unsigned long count, int page)
{
    // The picture is a function of these inputs alone: the tick redraws and repaints only
    // when they changed, so a page at rest costs next to nothing.
    const bool historyshown = page == ppagemodulator && count > 2 && data[2] == psourcecontroller;
    const std::uint64_t shown = pgraphdigest(data, count, page, historyshown ? modulationhistory : nullptr);
    if (graphimage == nullptr || graphview == nullptr)
    {
        // First call since the surface was rebuilt: the image and its view, once.
        const pgrapharea area = pgraphareaof(page, graphrect);
        if (area.w <= 0 || area.h <= 0)
            return;
        auto* image = new juce::Image(juce::Image::ARGB, area.w, area.h, true, juce::SoftwareImageType());
        auto* view = new pkView(area.x, area.y, area.w, area.h, image, nullptr, pgraphtextcolour);
        graphimage = image;
        graphview = view;
        controls.append(view);
        view->button.setVisible(true);
        if (parent.component != nullptr)
            parent.component->addAndMakeVisible(view->button);
    }
    else if (shown == graphshown)
    {
        return;
    }
    else
    {
        graphview->lookandfeel.opacity = 1.0;
        graphview->button.repaint();
    }
    graphshown = shown;
    pgraphrender(*graphimage, data, count, page, modulationhistory);
}
