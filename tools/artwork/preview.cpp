// Page previews for reviewing the art: each background with its overlay, side panes and
// sample widgets laid where the editor puts them. Not embedded; written on request only.
#include "tools/artwork/paint.h"

#include <cstring>

namespace artwork
{
namespace
{
const juce::Image& picture(const std::vector<juce::Image>& images, const char* name)
{
    for (size_t i = 0; i < pictures.size(); ++i)
        if (std::strcmp(pictures[i].name, name) == 0)
            return images[i];
    static const juce::Image none;
    return none;
}

void row(juce::Graphics& g, const juce::Image& face, int which, int x, int y)
{
    const int h = face.getHeight() / 2;
    g.drawImage(face, x, y, face.getWidth(), h, 0, which * h, face.getWidth(), h);
}

void knobframe(juce::Graphics& g, const juce::Image& strip, int frame, int x, int y)
{
    const int s = strip.getWidth();
    g.drawImage(strip, x, y, s, s, 0, frame * s, s, s);
}
} // namespace

juce::Image pagepreview(const char* background, std::uint32_t page, const std::vector<juce::Image>& images,
                        const fonts& f)
{
    juce::Image out(juce::Image::ARGB, 920, 690, true);
    juce::Graphics g(out);
    painter p(g, f);
    const auto label = [&](const char* s, float x, float y, float w, float h) {
        p.text(s, {x, y, w, h}, 15.0f, false, palette::label);
    };
    const auto get = [&](const char* name) -> const juce::Image& { return picture(images, name); };

    g.drawImageAt(get(background), 0, 0);
    g.drawImageAt(get("globoverlay_png"), 0, 0);
    label(page == onvoices    ? "VOICE VIEW"
          : page == onmix     ? "VOICE MIXER"
          : page == oneq      ? "EQUALIZER"
          : page == onharmony ? "HARMONY"
          : page == ondelay   ? "DELAY"
                              : "MODULATION",
          34, 153, 126, 24);
    label(page == onmix ? "SELECTED 1" : "VOICE 1", 34, 201, 126, 24);
    if (page != onvoices)
        label(page == onmix ? "SHOWN 1 - 3 of 3" : "3rds 2", 34, 248, 126, 24);
    label("Version 1.2a", 32, 476, 132, 24);

    std::uint32_t shown = page;
    if (page == onvoices)
    {
        for (const char* pane : {"rightpandl_png", "rightpaneq_png", "rightpanhar_png"})
            g.drawImageAt(get(pane), psidepanex, 0);
        shown |= ondelaypane | oneqpane | onharmonypane;
        g.drawImageAt(get("patchmenudl_png"), 664, 117);
        g.drawImageAt(get("patchmenueq_png"), 678, 378);
        g.drawImageAt(get("patchmenuhar_png"), 669, 477);
        const int modulate[][2] = {{227, 214}, {211, 638}, {323, 638}, {370, 467}, {501, 467}};
        for (const auto& at : modulate)
            row(g, get(at[0] == 227 ? "list_png" : "list2_png"), 0, at[0], at[1]);
        for (int y : {115, 376, 475})
            row(g, get("deletefront_png"), 0, 835, y);
        label("Voice 1 of 3", 484, 538, 100, 24);
    }
    int frame = 20;
    for (const auto& m : marks())
    {
        if ((m.on & shown) == 0)
            continue;
        if (m.kind == markkind::knob)
        {
            const char* strip = m.style == 1 ? "knobptob_png" : m.style == 2 ? "knobptoc_png" : "knobpto_png";
            knobframe(g, get(strip), frame, m.x, m.y);
            frame = (frame + 23) % 91;
        }
        else if (m.kind == markkind::radio)
        {
            const auto& face = get(m.w == 122 ? "radiobg2_png" : "radiobg_png");
            const int columns = m.style / m.rows;
            for (int i = 0; i < m.style; ++i)
                row(g, face, i == 1 ? 1 : 0, m.x + (i % columns) * m.w, m.y + (i / columns) * m.h);
        }
        else if (m.kind == markkind::field)
            p.text("4.000", {float(m.x) + 4.0f, float(m.y), 60.0f, 24.0f}, 14.0f, false, palette::label,
                   juce::Justification::centredLeft);
        else if (m.kind == markkind::menu)
            p.text(m.text == nullptr ? " SINE LFO  1" : "Key:C",
                   {float(m.x) + 21.0f, float(m.y) + 1.0f, float(m.w) - 30.0f, 16.0f}, 13.5f, false, palette::label,
                   juce::Justification::centredLeft);
    }
    if (page == onmix)
    {
        for (int k = 0; k < 3; ++k)
        {
            const int y = 180 + 61 * k;
            g.drawImageAt(get(k == 0 ? "mixlight_png" : "mixdark_png"), 214, y);
            p.text(juce::String("VOICE ") + juce::String(k + 1), {218.0f, float(y + 7), 60.0f, 24.0f}, 13.0f, false,
                   palette::label);
            knobframe(g, get("knobptoc_png"), 30 + 20 * k, 307, y + 2);
            knobframe(g, get("knobptoc_png"), 45, 389, y + 2);
            if (k == 0)
            {
                g.drawImageAt(get("mixblackbox_png"), 447, y + 15);
                p.text("0.050", {481.0f, float(y + 15), 60.0f, 24.0f}, 14.0f, false, palette::label,
                       juce::Justification::centredLeft);
            }
            else if (k == 1)
                g.drawImageAt(get("routeddelay_png"), 482, y);
            else
                row(g, get("adddelay_png"), 0, 482, y);
        }
    }
    if (page == onharmony)
    {
        const int at[][3] = {{1, 223, 376}, {2, 453, 376}, {2, 683, 376}, {1, 798, 376},
                             {1, 338, 453}, {2, 568, 453}, {3, 798, 453}};
        for (const auto& a : at)
            g.drawImageAt(get(a[0] == 1   ? "indicator1_png"
                              : a[0] == 2 ? "indicator2_png"
                                          : "indicator3_png"),
                          a[1], a[2]);
    }
    if (page == oneq)
    {
        g.setColour(juce::Colour(0xff937c9f));
        for (int i = 0; i < 512; ++i)
            g.drawLine(float(369 + i), 653.0f, float(369 + i), float(653 - (256 + 120 * std::sin(i / 60.0))));
        g.drawImageAt(get("eqoverlay_png"), 360, 133);
    }
    return out;
}
} // namespace artwork
