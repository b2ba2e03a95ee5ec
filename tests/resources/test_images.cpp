// The embedded pictures, looked up and decoded as the control kit does it.
#include "BinaryData.h"
#include "editor/pcontroller.h"
#include "editor/playout.h"
#include "tools/artwork/artwork.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace
{
juce::Image decoded(const char* name)
{
    int size = 0;
    const void* data = BinaryData::getNamedResource(name, size);
    if (data == nullptr)
        return {};
    return juce::ImageFileFormat::loadFrom(data, static_cast<size_t>(size));
}

using area = juce::Rectangle<int>;

// Pixels of r, sampled every step pixels each way, that pass `is`.
template <typename Test>
int count(const juce::Image& image, area r, Test is, int step = 1)
{
    int n = 0;
    for (int y = r.getY(); y < r.getBottom(); y += step)
        for (int x = r.getX(); x < r.getRight(); x += step)
            n += is(image.getPixelAt(x, y)) ? 1 : 0;
    return n;
}

// Pixels of r in image bright enough to be a caption or a glyph on the dark art.
int brightpixels(const juce::Image& image, area r)
{
    return count(image, r,
                 [](juce::Colour c) { return 299 * c.getRed() + 587 * c.getGreen() + 114 * c.getBlue() >= 140000; });
}

int distinctcolours(const juce::Image& image, area r)
{
    std::set<juce::uint32> seen;
    count(image, r, [&](juce::Colour c) { return seen.insert(c.getARGB()).second; });
    return static_cast<int>(seen.size());
}

// Fraction of the pixels of the two rows of a face that differ.
double rowdifference(const juce::Image& image)
{
    const int h = image.getHeight() / 2;
    int differ = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            differ += image.getPixelAt(x, y) != image.getPixelAt(x, y + h) ? 1 : 0;
    return double(differ) / double(h * image.getWidth());
}

struct images : ::testing::Test
{
    juce::ScopedJuceInitialiser_GUI gui;
};

// Every picture by its name, at the size the artwork table gives it.
TEST_F(images, EveryNameResolvesAndDecodesToItsSize)
{
    for (const auto& entry : artwork::pictures)
    {
        SCOPED_TRACE(entry.name);
        const auto image = decoded(entry.name);
        EXPECT_EQ(image.getWidth(), entry.width);
        EXPECT_EQ(image.getHeight(), entry.height);
    }
    EXPECT_EQ(BinaryData::namedResourceListSize, static_cast<int>(artwork::pictures.size()));
}

// The table's sizes already give each knob strip 91 square frames and each face two rows.
TEST_F(images, FacesShowTwoDifferentRows)
{
    const char* const faces[] = {"switchb_png",  "switchs_png",     "radiobg_png",    "radiobg2_png",
                                 "list_png",     "list2_png",       "newpatch_png",   "addany_png",
                                 "adddelay_png", "deletefront_png", "deletepatch_png"};
    for (const char* name : faces) // the lower row (on, held down) is plainly not the upper one
        EXPECT_GT(rowdifference(decoded(name)), 0.04) << name;
}

// Pixels of one knob frame that carry the lit arc.
int litpixels(const juce::Image& strip, int frame)
{
    const int side = strip.getWidth();
    return count(strip, {0, frame * side, side, side}, [](juce::Colour c) {
        return c.getAlpha() > 128 && c.getGreen() > 150 && c.getBlue() > 140 && c.getRed() < 120;
    });
}

TEST_F(images, KnobFramesLightMoreOfTheArcAsTheValueGrows)
{
    for (const auto& entry : artwork::pictures)
    {
        if (entry.height != artwork::knobframes * entry.width)
            continue;
        SCOPED_TRACE(entry.name);
        const auto strip = decoded(entry.name);
        EXPECT_EQ(litpixels(strip, 0), 0);
        int previous = 0;
        for (int frame = 10; frame <= 90; frame += 10)
        {
            const int lit = litpixels(strip, frame);
            EXPECT_GT(lit, previous) << "frame " << frame;
            previous = lit;
        }
        // Full travel lights several times what a quarter does.
        EXPECT_GT(litpixels(strip, 90), 3 * litpixels(strip, 22));
    }
}

// Share of the pixels of r, sampled every `step` pixels each way, with an alpha below `alpha`.
double seethrough(const juce::Image& image, area r, int step, int alpha)
{
    auto clear = [alpha](juce::Colour c) { return c.getAlpha() < alpha; };
    auto any = [](juce::Colour) { return true; };
    return double(count(image, r, clear, step)) / double(count(image, r, any, step));
}

TEST_F(images, BackgroundsAreOpaqueAndOverlaysMostlyClear)
{
    for (const auto& [on, name] : pbackgrounds)
        EXPECT_EQ(seethrough(decoded(name), {0, 0, peditorwidth, peditorheight}, 3, 255), 0.0) << name;
    EXPECT_GT(seethrough(decoded("globoverlay_png"), {0, 0, peditorwidth, peditorheight}, 2, 64), 0.9);
    // Inside its bezel the EQ overlay lets the curve show.
    const auto eq = decoded("eqoverlay_png");
    EXPECT_GT(seethrough(eq, {9, 9, 512, 512}, 2, 80), 0.9);
    EXPECT_EQ(eq.getPixelAt(3, 265).getAlpha(), 255);
}

TEST_F(images, SidePanesStackWithoutHidingEachOther)
{
    std::vector<juce::Image> shown;
    for (const auto& [on, name] : ppanes)
        shown.push_back(decoded(name));
    std::vector<int> covered(shown.size());
    int overlap = 0;
    for (int y = 0; y < shown[0].getHeight(); ++y)
        for (int x = 0; x < shown[0].getWidth(); ++x)
        {
            int opaque = 0;
            for (size_t i = 0; i < shown.size(); ++i)
                if (shown[i].getPixelAt(x, y).getAlpha() > 0)
                {
                    ++opaque;
                    ++covered[i];
                }
            overlap += opaque > 1 ? 1 : 0;
        }
    EXPECT_EQ(overlap, 0);
    for (int c : covered) // each a good part of the pane
        EXPECT_GT(c, shown[0].getWidth() * 90);
}

// The pictures a place lies on, with the place moved into each picture's coordinates.
struct onpicture
{
    const char* picture;
    area r;
};
std::vector<onpicture> picturesof(const pplace& p, pbox b)
{
    std::vector<onpicture> out;
    for (const auto& [on, name] : pbackgrounds)
        if ((p.on & on) != 0)
            out.push_back({name, {b.x, b.y, b.w, b.h}});
    for (const auto& [on, name] : ppanes)
        if ((p.on & on) != 0)
            out.push_back({name, {b.x - psidepanex, b.y, b.w, b.h}});
    if ((p.on & ponmixrow) != 0)
        for (const char* strip : {"mixdark_png", "mixlight_png"})
            out.push_back({strip, {b.x, b.y, b.w, b.h}});
    return out;
}

// Caption pixels in the 16-pixel bands right above and below a widget and in the 100 pixels
// to its left, inside the picture.
int captionpixels(const juce::Image& image, area r)
{
    auto bright = [&image](area band) { return brightpixels(image, band.getIntersection(image.getBounds())); };
    return bright(r.withY(r.getY() - 16).withHeight(16)) + bright(r.withY(r.getBottom()).withHeight(16))
           + bright(r.withX(r.getX() - 100).withWidth(100));
}

// Every place of the editor's table, on every picture it lies on: an invisible button or a
// radio item sits on a painted face with a caption, a menu on its well, a knob or field has
// its caption beside it. A control moved in the table without the art (or the art without the table)
// lands on plain background and fails here.
TEST_F(images, EveryPlaceSitsOnItsPaintedFaceOrCaption)
{
    for (const pplace& p : pplaces)
    {
        const bool face = p.kind == pplacekind::button || p.kind == pplacekind::radio;
        for (std::int32_t i = 0; i < p.count; ++i)
            for (const auto& [picture, r] : picturesof(p, pcell(p, i)))
            {
                SCOPED_TRACE(std::string(picture) + " place " + std::to_string(static_cast<int>(p.id)) + " cell "
                             + std::to_string(i));
                const auto image = decoded(picture);
                const area cut = r.getIntersection(image.getBounds());
                if (face)
                {
                    EXPECT_GT(distinctcolours(image, cut), 8);
                    EXPECT_GE(brightpixels(image, cut), 12);
                }
                else if (p.kind == pplacekind::menu) // its well, captioned or not
                    EXPECT_GT(distinctcolours(image, cut), 4);
                else if ((p.on & ponmixrow) == 0) // a mix row's knobs are captioned above the list
                {
                    EXPECT_GE(captionpixels(image, r), 20);
                }
            }
    }
}
} // namespace
