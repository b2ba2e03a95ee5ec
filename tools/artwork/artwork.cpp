#include "tools/artwork/artwork.h"

#include "tools/artwork/paint.h"

#include <algorithm>
#include <cstring>

namespace artwork
{
const std::array<picturespec, 40> pictures = {{
    {"eqoverlay_png", 530, 530},
    {"globoverlay_png", 920, 690},
    {"indicator1_png", 19, 18},
    {"indicator2_png", 19, 18},
    {"indicator3_png", 19, 18},
    {"knobpto_png", 72, 72 * knobframes},
    {"knobptob_png", 84, 84 * knobframes},
    {"knobptoc_png", 50, 50 * knobframes},
    {"list_png", 16, 32},
    {"list2_png", 16, 32},
    {"mixblackbox_png", 115, 25},
    {"mixdark_png", 352, 60},
    {"mixlight_png", 352, 60},
    {"newpatch_png", 73, 38},
    {"patchmenudl_png", 86, 20},
    {"patchmenueq_png", 86, 20},
    {"patchmenuhar_png", 86, 20},
    {"radiobg_png", 115, 154},
    {"radiobg2_png", 123, 72},
    {"radiohl_png", 115, 77},
    {"radiohl2_png", 123, 36},
    {"rightpandl_png", 306, 690},
    {"rightpaneq_png", 306, 690},
    {"rightpanhar_png", 306, 690},
    {"routeddelay_png", 72, 32},
    {"switchb_png", 37, 70},
    {"switchs_png", 185, 64},
    {"addany_png", 72, 144},
    {"adddelay_png", 72, 144},
    {"bgdl_png", 920, 690},
    {"bgeq_png", 920, 690},
    {"bghar_png", 920, 690},
    {"bgmix_png", 920, 690},
    {"bgmod_png", 920, 690},
    {"bgmodenvelope_png", 920, 690},
    {"bgmodmidi_png", 920, 690},
    {"bgvo_png", 920, 690},
    {"blackbox_png", 240, 390},
    {"deletefront_png", 20, 40},
    {"deletepatch_png", 20, 40},
}};

fonts loadfonts(const juce::File& regular, const juce::File& bold)
{
    auto load = [](const juce::File& file) -> juce::Typeface::Ptr {
        juce::MemoryBlock data;
        if (!file.loadFileAsData(data) || data.getSize() == 0)
            return {};
        return juce::Typeface::createSystemTypefaceFor(data.getData(), data.getSize());
    };
    return {load(regular), load(bold)};
}

std::string filename(const picturespec& spec)
{
    std::string name = spec.name;
    const auto cut = name.rfind('_');
    return name.substr(0, cut) + "." + name.substr(cut + 1);
}

juce::MemoryBlock encodepng(const juce::Image& image)
{
    juce::MemoryOutputStream out;
    juce::PNGImageFormat png;
    png.writeImageToStream(image, out);
    return out.getMemoryBlock();
}

juce::Image contactsheet(const std::vector<juce::Image>& images, const fonts& f)
{
    constexpr int pad = 24;
    constexpr int labelheight = 20;
    constexpr int sheetwidth = 4 * 920 + 5 * pad;
    constexpr int stripcolumns = 13; // a strip is shown as a grid of its 91 frames

    struct cell
    {
        juce::Image shown;
        juce::Rectangle<int> area;
        juce::String label;
    };
    std::vector<cell> cells;
    int x = pad, y = pad, rowheight = 0;
    for (size_t i = 0; i < images.size() && i < pictures.size(); ++i)
    {
        juce::Image shown = images[i];
        const int w = shown.getWidth();
        if (shown.getHeight() == w * knobframes)
        {
            shown = juce::Image(juce::Image::ARGB, w * stripcolumns, w * (knobframes / stripcolumns), true);
            juce::Graphics g(shown);
            for (int frame = 0; frame < knobframes; ++frame)
                g.drawImage(images[i], (frame % stripcolumns) * w, (frame / stripcolumns) * w, w, w, 0, frame * w, w,
                            w);
        }
        const int cw = std::max(shown.getWidth(), 130);
        const int ch = shown.getHeight() + labelheight;
        if (x + cw + pad > sheetwidth)
        {
            x = pad;
            y += rowheight + pad;
            rowheight = 0;
        }
        cells.push_back({shown, {x, y, shown.getWidth(), shown.getHeight()}, pictures[i].name});
        x += cw + pad;
        rowheight = std::max(rowheight, ch);
    }

    juce::Image sheet(juce::Image::ARGB, sheetwidth, y + rowheight + pad, true);
    juce::Graphics g(sheet);
    painter p(g, f);
    g.fillAll(juce::Colour(0xff2b2e33));
    for (const auto& c : cells)
    {
        // A checkerboard under each picture shows which parts are transparent.
        g.setColour(juce::Colour(0xff3a3e44));
        for (int cy = 0; cy < c.area.getHeight(); cy += 8)
            for (int cx = (cy / 8) % 2 * 8; cx < c.area.getWidth(); cx += 16)
                g.fillRect(juce::Rectangle<int>(c.area.getX() + cx, c.area.getY() + cy, 8, 8).getIntersection(c.area));
        g.drawImageAt(c.shown, c.area.getX(), c.area.getY());
        p.text(c.label, juce::Rectangle<int>(c.area.getX(), c.area.getBottom() + 3, 300, 15).toFloat(), 12.0f, false,
               juce::Colour(0xffd2d2d2), juce::Justification::centredLeft);
    }
    return sheet;
}

juce::Image draw(const picturespec& spec, const fonts& f)
{
    juce::Image image(juce::Image::ARGB, spec.width, spec.height, true, juce::SoftwareImageType());
    {
        juce::Graphics g(image);
        painter p(g, f);
        paintpicture(p, spec);
    }
    return image;
}
} // namespace artwork
