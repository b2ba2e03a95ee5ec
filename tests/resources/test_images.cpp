// The embedded pictures, looked up and decoded as the control kit does it.
#include "BinaryData.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace
{
struct listed
{
    const char* name;
    int width;
    int height;
};

// Every picture the editor uses, with its pixel size.
constexpr std::array<listed, 40> table = {{
    {"eqoverlay_png", 530, 530},  {"globoverlay_png", 920, 690},   {"indicator1_png", 19, 18},
    {"indicator2_png", 19, 18},   {"indicator3_png", 19, 18},      {"knobpto_png", 72, 6552},
    {"knobptob_png", 84, 7644},   {"knobptoc_png", 50, 4550},      {"list_png", 16, 32},
    {"list2_png", 16, 32},        {"mixblackbox_png", 115, 25},    {"mixdark_png", 352, 60},
    {"mixlight_png", 352, 60},    {"newpatch_png", 73, 38},        {"patchmenudl_png", 86, 20},
    {"patchmenueq_png", 86, 20},  {"patchmenuhar_png", 86, 20},    {"radiobg_png", 115, 154},
    {"radiobg2_png", 123, 72},    {"radiohl_png", 115, 77},        {"radiohl2_png", 123, 36},
    {"rightpandl_png", 306, 690}, {"rightpaneq_png", 306, 690},    {"rightpanhar_png", 306, 690},
    {"routeddelay_png", 72, 32},  {"switchb_png", 37, 70},         {"switchs_png", 185, 64},
    {"addany_png", 72, 144},      {"adddelay_png", 72, 144},       {"bgdl_png", 920, 690},
    {"bgeq_png", 920, 690},       {"bghar_png", 920, 690},         {"bgmix_png", 920, 690},
    {"bgmod_png", 920, 690},      {"bgmodenvelope_png", 920, 690}, {"bgmodmidi_png", 920, 690},
    {"bgvo_png", 920, 690},       {"blackbox_png", 240, 390},      {"deletefront_png", 20, 40},
    {"deletepatch_png", 20, 40},
}};

const std::vector<const char*> backgrounds = {"bgvo_png",      "bgmix_png", "bgmod_png", "bgmodenvelope_png",
                                              "bgmodmidi_png", "bgdl_png",  "bgeq_png",  "bghar_png"};

// The lookup rule of the resource table: h = 31 h + c over the bytes, c a signed byte.
std::uint32_t namehash(const std::string& name)
{
    std::uint32_t h = 0;
    for (char c : name)
        h = 31u * h + static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(c)));
    return h;
}

juce::Image decoded(const char* name)
{
    int size = 0;
    const void* data = BinaryData::getNamedResource(name, size);
    if (data == nullptr)
        return {};
    return juce::ImageFileFormat::loadFrom(data, static_cast<size_t>(size));
}

struct area
{
    int x, y, w, h;
};

int luma(juce::Colour c)
{
    return (299 * c.getRed() + 587 * c.getGreen() + 114 * c.getBlue()) / 1000;
}

// Pixels of r in image bright enough to be a caption or a glyph on the dark art.
int brightpixels(const juce::Image& image, area r)
{
    int n = 0;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x)
            n += luma(image.getPixelAt(x, y)) >= 140 ? 1 : 0;
    return n;
}

int distinctcolours(const juce::Image& image, area r)
{
    std::set<juce::uint32> seen;
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x)
            seen.insert(image.getPixelAt(x, y).getARGB());
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

class images : public ::testing::Test
{
protected:
    juce::ScopedJuceInitialiser_GUI gui;
};

TEST_F(images, EveryNameResolvesAndDecodesToItsSize)
{
    for (const auto& entry : table)
    {
        SCOPED_TRACE(entry.name);
        int size = -1;
        const void* data = BinaryData::getNamedResource(entry.name, size);
        ASSERT_NE(data, nullptr);
        EXPECT_GT(size, 8);
        const auto image = juce::ImageFileFormat::loadFrom(data, static_cast<size_t>(size));
        EXPECT_EQ(image.getWidth(), entry.width);
        EXPECT_EQ(image.getHeight(), entry.height);
    }
    EXPECT_EQ(BinaryData::namedResourceListSize, 40);
}

TEST_F(images, NullEmptyAndUnknownNamesGiveNothing)
{
    const char* const names[] = {nullptr, "", "knobpto", "knobpto_pn", "KNOBPTO_PNG", "knobpto_png ", "nothing_png"};
    for (const char* name : names)
    {
        SCOPED_TRACE(name == nullptr ? "null" : name);
        int size = 123;
        EXPECT_EQ(BinaryData::getNamedResource(name, size), nullptr);
        EXPECT_EQ(size, 0);
    }
}

TEST_F(images, LookupFollowsTheSignedByteHash)
{
    std::set<std::uint32_t> hashes;
    for (const auto& entry : table)
        hashes.insert(namehash(entry.name));
    EXPECT_EQ(hashes.size(), table.size());

    // A foreign name with a byte above 127 whose hash, with that byte taken as signed, is the
    // hash of "list_png": the lookup compares hashes only, so it finds that picture. Taken as
    // unsigned, the byte would give another hash and nothing.
    std::string twin = "list_t";
    twin += static_cast<char>(0xf5); // -11 as a signed byte
    twin += static_cast<char>(10);
    ASSERT_EQ(namehash(twin), namehash("list_png"));
    int size = 0;
    EXPECT_EQ(BinaryData::getNamedResource(twin.c_str(), size), BinaryData::list_png);
    EXPECT_EQ(size, BinaryData::list_pngSize);
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
    const int s = strip.getWidth();
    int n = 0;
    for (int y = 0; y < s; ++y)
        for (int x = 0; x < s; ++x)
        {
            const auto c = strip.getPixelAt(x, frame * s + y);
            n += c.getAlpha() > 128 && c.getGreen() > 150 && c.getBlue() > 140 && c.getRed() < 120 ? 1 : 0;
        }
    return n;
}

TEST_F(images, KnobFramesLightMoreOfTheArcAsTheValueGrows)
{
    for (const char* name : {"knobpto_png", "knobptob_png", "knobptoc_png"})
    {
        SCOPED_TRACE(name);
        const auto strip = decoded(name);
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
    int clear = 0;
    int all = 0;
    for (int y = r.y; y < r.y + r.h; y += step)
        for (int x = r.x; x < r.x + r.w; x += step, ++all)
            clear += image.getPixelAt(x, y).getAlpha() < alpha ? 1 : 0;
    return double(clear) / double(all);
}

TEST_F(images, BackgroundsAreOpaqueAndOverlaysMostlyClear)
{
    for (const char* name : backgrounds)
        EXPECT_EQ(seethrough(decoded(name), {0, 0, 920, 690}, 3, 255), 0.0) << name;
    EXPECT_GT(seethrough(decoded("globoverlay_png"), {0, 0, 920, 690}, 2, 64), 0.9);
    // Inside its bezel the EQ overlay lets the curve show.
    const auto eq = decoded("eqoverlay_png");
    EXPECT_GT(seethrough(eq, {9, 9, 512, 512}, 2, 80), 0.9);
    EXPECT_EQ(eq.getPixelAt(3, 265).getAlpha(), 255);
}

TEST_F(images, SidePanesStackWithoutHidingEachOther)
{
    const char* const panes[] = {"rightpandl_png", "rightpaneq_png", "rightpanhar_png"};
    std::vector<juce::Image> shown;
    for (const char* name : panes)
        shown.push_back(decoded(name));
    int overlap = 0;
    std::array<int, 3> covered{};
    for (int y = 0; y < 690; ++y)
        for (int x = 0; x < 306; ++x)
        {
            int opaque = 0;
            for (size_t i = 0; i < shown.size(); ++i)
                if (shown[i].getPixelAt(x, y).getAlpha() > 0)
                    ++opaque, ++covered[i];
            overlap += opaque > 1 ? 1 : 0;
        }
    EXPECT_EQ(overlap, 0);
    for (int c : covered)
        EXPECT_GT(c, 306 * 90);
}

struct hotspot
{
    const char* picture;
    area r;
};

// Every invisible button of the editor, on the picture it lies on (side panes in their own
// coordinates: the window x minus 614; mix rows in the row's).
std::vector<hotspot> hotspots()
{
    std::vector<hotspot> all;
    for (const char* bg : backgrounds)
    {
        all.push_back({bg, {32, 354, 132, 37}}); // mixer
        all.push_back({bg, {32, 555, 132, 37}}); // manual
        all.push_back({bg, {32, 616, 132, 40}}); // home page
        if (std::string(bg) != "bgvo_png")
            all.push_back({bg, {226, 138, 57, 34}}); // back to the voices
    }
    const hotspot more[] = {
        {"bgvo_png", {481, 558, 44, 33}},        {"bgvo_png", {532, 558, 44, 33}},
        {"bgvo_png", {481, 596, 42, 33}},        {"bgvo_png", {481, 635, 42, 33}},
        {"bgmix_png", {585, 581, 51, 40}},       {"bgmix_png", {655, 581, 51, 40}},
        {"bgeq_png", {222, 612, 115, 34}},       {"bghar_png", {500, 250, 108, 19}},
        {"rightpaneq_png", {113, 408, 102, 24}}, {"rightpanhar_png", {113, 644, 102, 24}},
        {"mixdark_png", {2, 2, 85, 58}},         {"mixlight_png", {2, 2, 85, 58}},
    };
    all.insert(all.end(), std::begin(more), std::end(more));
    return all;
}

struct widget
{
    const char* picture;
    area r;
};

// Every knob, text field and menu that a background or side pane must caption: knobs by the
// side of their frame (72, 84 or 50 pixels), fields 78 x 24, menus 100 x 18.
std::vector<widget> captioned()
{
    std::vector<widget> all = {
        {"bgvo_png", {229, 429, 72, 72}},
        {"bgvo_png", {245, 144, 84, 84}},
        {"bgvo_png", {400, 182, 78, 24}},
        {"bgvo_png", {229, 568, 72, 72}},
        {"bgvo_png", {341, 568, 72, 72}},
        {"bgvo_png", {388, 397, 72, 72}},
        {"bgvo_png", {519, 397, 72, 72}},
        {"bgmix_png", {660, 135, 72, 72}},
        {"bgmix_png", {766, 135, 72, 72}},
        {"bgmod_png", {324, 280, 72, 72}},
        {"bgmod_png", {324, 420, 72, 72}},
        {"bgmodenvelope_png", {324, 244, 72, 72}},
        {"bgmodenvelope_png", {324, 384, 72, 72}},
        {"bgmodenvelope_png", {324, 520, 72, 72}},
        {"bgmodmidi_png", {295, 269, 100, 18}},
        {"bgmodmidi_png", {295, 319, 100, 18}},
        {"bgmodmidi_png", {324, 358, 72, 72}},
        {"bgmodmidi_png", {324, 498, 72, 72}},
        {"bgdl_png", {338, 173, 84, 84}},
        {"bgdl_png", {493, 201, 78, 24}},
        {"bgdl_png", {272, 297, 72, 72}},
        {"bgdl_png", {272, 434, 72, 72}},
        {"bgdl_png", {428, 297, 72, 72}},
        {"bgdl_png", {428, 434, 72, 72}},
        {"bghar_png", {232, 253, 72, 72}},
        {"bghar_png", {358, 253, 72, 72}},
        {"bghar_png", {674, 253, 72, 72}},
        {"bghar_png", {808, 253, 72, 72}},
        // Side panes, in their own coordinates (window x minus 614).
        {"rightpandl_png", {48, 156, 50, 50}},
        {"rightpandl_png", {138, 156, 50, 50}},
        {"rightpandl_png", {229, 156, 50, 50}},
        {"rightpandl_png", {87, 243, 50, 50}},
        {"rightpandl_png", {188, 243, 50, 50}},
        {"rightpandl_png", {115, 330, 100, 18}},
        {"rightpanhar_png", {88, 508, 50, 50}},
        {"rightpanhar_png", {191, 508, 50, 50}},
        {"rightpanhar_png", {50, 594, 50, 50}},
        {"rightpanhar_png", {230, 594, 50, 50}},
        {"rightpanhar_png", {115, 610, 100, 18}},
    };
    for (int j = 0; j < 12; ++j) // the twelve intervals
        all.push_back({"bghar_png", {229 + 115 * (j % 6), j < 6 ? 384 : 461, 78, 24}});
    return all;
}

// Caption pixels in the 16-pixel bands above and below a widget and in the 100 pixels to its
// left, inside the picture.
int captionpixels(const juce::Image& image, area r)
{
    auto clipped = [&](area a) {
        const int x0 = std::max(a.x, 0), y0 = std::max(a.y, 0);
        const int x1 = std::min(a.x + a.w, image.getWidth()), y1 = std::min(a.y + a.h, image.getHeight());
        return area{x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
    };
    return brightpixels(image, clipped({r.x - 20, r.y - 16, r.w + 40, 16}))
           + brightpixels(image, clipped({r.x - 20, r.y + r.h, r.w + 40, 16}))
           + brightpixels(image, clipped({r.x - 100, r.y, 100, r.h}));
}

TEST_F(images, EveryKnobFieldAndMenuIsCaptioned)
{
    for (const auto& w : captioned())
    {
        SCOPED_TRACE(std::string(w.picture) + " at " + std::to_string(w.r.x) + "," + std::to_string(w.r.y));
        EXPECT_GE(captionpixels(decoded(w.picture), w.r), 20);
    }
}

struct radiogroup
{
    const char* picture;
    int x, y, count, rows, w, h;
};

// Every radio item's cell, cut to its picture.
std::vector<hotspot> radiocells()
{
    std::vector<radiogroup> groups;
    for (const char* bg : backgrounds)
        groups.push_back({bg, 667, 28, 2, 1, 122, 36}); // mono / stereo
    for (const char* bg : {"bgmod_png", "bgmodenvelope_png", "bgmodmidi_png"})
        groups.push_back({bg, 391, 182, 3, 1, 115, 77}); // patch type
    const radiogroup more[] = {
        {"bgvo_png", 244, 253, 3, 1, 122, 36},      {"bgvo_png", 244, 317, 3, 1, 122, 36},
        {"bgmod_png", 390, 581, 3, 1, 115, 77},     {"bgmodenvelope_png", 480, 596, 2, 1, 122, 36},
        {"bgmodmidi_png", 480, 596, 2, 1, 122, 36}, {"bgdl_png", 391, 596, 3, 1, 115, 77},
        {"bghar_png", 333, 190, 4, 1, 115, 77},     {"bghar_png", 218, 538, 12, 2, 115, 77},
    };
    groups.insert(groups.end(), std::begin(more), std::end(more));
    std::vector<hotspot> cells;
    for (const auto& group : groups)
    {
        const int columns = group.count / group.rows;
        for (int i = 0; i < group.count; ++i)
        {
            const int x = group.x + (i % columns) * group.w;
            const int y = group.y + (i / columns) * group.h;
            const int h = std::min(group.h, 690 - y); // every group lies on a 690-pixel background
            cells.push_back({group.picture, {x, y, group.w, h}});
        }
    }
    return cells;
}

// Every invisible button and radio item lies on a painted face with a caption.
TEST_F(images, EveryHotspotAndRadioCellIsPaintedAndCaptioned)
{
    auto spots = hotspots();
    const auto cells = radiocells();
    spots.insert(spots.end(), cells.begin(), cells.end());
    for (const auto& spot : spots)
    {
        SCOPED_TRACE(std::string(spot.picture) + " at " + std::to_string(spot.r.x) + "," + std::to_string(spot.r.y));
        const auto image = decoded(spot.picture);
        EXPECT_GT(distinctcolours(image, spot.r), 8);
        EXPECT_GE(brightpixels(image, spot.r), 12);
    }
}
} // namespace
