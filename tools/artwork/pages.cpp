// The page pictures: backgrounds, side panes and overlays, painted from the mark table.
#include "tools/artwork/paint.h"

namespace artwork
{
namespace
{
using rect = juce::Rectangle<float>;

constexpr float sidebarwidth = 196.0f;
constexpr float panex = float(psidepanex);

rect box(const mark& m)
{
    return {float(m.x), float(m.y), float(m.w), float(m.h)};
}

juce::StringArray items(const char* text)
{
    return juce::StringArray::fromTokens(juce::CharPointer_UTF8(text), "|", "");
}

void drawknobcaption(const painter& p, const mark& m)
{
    const auto r = box(m);
    rect where;
    switch (m.where)
    {
    case side::above: where = {r.getX() - 30.0f, r.getY() - 15.0f, r.getWidth() + 60.0f, 13.0f}; break;
    case side::below: where = {r.getX() - 30.0f, r.getBottom() + 2.0f, r.getWidth() + 60.0f, 13.0f}; break;
    case side::left: where = {r.getX() - 110.0f, r.getY(), 104.0f, r.getHeight()}; break;
    }
    p.caption(m.text, where, 10.0f, palette::label,
              m.where == side::left ? juce::Justification::centredRight : juce::Justification::centred);
}

void drawbutton(const painter& p, const mark& m)
{
    const auto r = box(m);
    p.raised(r, 5.0f, false, palette::accent);
    const juce::String text = m.text;
    if (r.getWidth() < 56.0f && r.getHeight() >= 30.0f)
    {
        // Narrow: the glyph above a small caption.
        p.icon(m.icon, r.withSizeKeepingCentre(11.0f, 11.0f).withY(r.getY() + 5.0f), palette::accent, 2.2f);
        p.caption(text, {r.getX(), r.getBottom() - 14.0f, r.getWidth(), 11.0f}, 8.0f, palette::label);
        return;
    }
    const float size = r.getHeight() < 22.0f ? 9.0f : 10.5f;
    const float iconsize = r.getHeight() < 22.0f ? 8.0f : 12.0f;
    const float width = p.font(size, true).withExtraKerningFactor(0.06f).getStringWidthFloat(text) + iconsize + 8.0f;
    const float left = r.getCentreX() - width / 2.0f;
    p.icon(m.icon, {left, r.getCentreY() - iconsize / 2.0f, iconsize, iconsize}, palette::accent, 1.8f);
    p.caption(text, {left + iconsize + 7.0f, r.getY(), width, r.getHeight()}, size, palette::label,
              juce::Justification::centredLeft);
}

void drawradio(const painter& p, const mark& m)
{
    const auto names = items(m.text);
    const int columns = m.style / m.rows;
    for (int i = 0; i < m.style; ++i)
    {
        const float x = float(m.x + (i % columns) * m.w);
        const float y = float(m.y + (i / columns) * m.h);
        const auto c = chip(float(m.w), float(m.h)).translated(x, y);
        p.g.setColour(juce::Colour(0xff15171a));
        p.g.fillRoundedRectangle(c, 5.0f);
        p.g.setColour(juce::Colour(0x22000000));
        p.g.drawRoundedRectangle(c.expanded(0.5f), 5.5f, 1.0f);
        const auto& name = names[i];
        if (m.icon == glyph::waves)
        {
            p.waveicon(name, c.withSizeKeepingCentre(40.0f, 14.0f).withY(c.getY() + 9.0f), palette::accent);
            p.caption(name, {c.getX(), c.getY() + 27.0f, c.getWidth(), 13.0f}, 9.5f, palette::label);
        }
        else
        {
            const bool large = name.length() <= 2; // the keys
            p.caption(name, c.withTrimmedBottom(c.getHeight() > 40.0f ? 6.0f : 2.0f), large ? 17.0f : 9.5f,
                      palette::label);
        }
    }
}

void drawfield(const painter& p, const mark& m)
{
    const auto r = box(m);
    p.well(r, 4.0f);
    if (m.unit != nullptr)
        p.text(m.unit, r.withTrimmedRight(6.0f), 9.5f, false, palette::faint, juce::Justification::centredRight);
    p.caption(m.text, {r.getX() + 14.0f, r.getY() - 15.0f, r.getWidth() - 14.0f, 13.0f}, 9.5f, palette::heading,
              juce::Justification::centredRight);
}

void drawfine(const painter& p, const mark& m)
{
    const auto r = box(m).reduced(2.0f, 0.0f);
    p.raised(r, 4.0f, false, palette::accent);
    p.icon(glyph::up, r.withSizeKeepingCentre(9.0f, 7.0f).translated(0.0f, -5.0f), palette::accent);
    p.icon(glyph::down, r.withSizeKeepingCentre(9.0f, 7.0f).translated(0.0f, 5.0f), palette::accent);
    p.caption(m.text, {r.getX() - 4.0f, r.getY() - 15.0f, r.getWidth() + 8.0f, 13.0f}, 9.5f, palette::heading);
}

void drawmenu(const painter& p, const mark& m)
{
    const auto r = box(m);
    p.well(r, 3.0f);
    // The menu's text ends 9 pixels before its right edge; the patch menus end under the side
    // column's delete buttons, so their arrow stays clear of those.
    const auto arrow = rect(r.getRight() - (r.getWidth() > 150.0f ? 20.0f : 9.0f), r.getCentreY() - 2.5f, 7.0f, 5.0f);
    p.icon(glyph::down, arrow, palette::heading);
    if (m.text != nullptr && m.where == side::above)
        p.caption(m.text, {r.getX() + 2.0f, r.getY() - 14.0f, r.getWidth(), 12.0f}, 9.5f, palette::heading,
                  juce::Justification::centredLeft);
    else if (m.text != nullptr)
        p.caption(m.text, {r.getX() - 96.0f, r.getY(), 90.0f, r.getHeight()}, 9.5f, palette::heading,
                  juce::Justification::centredRight);
}

void drawgraph(const painter& p, const mark& m)
{
    const auto r = box(m);
    p.g.setColour(juce::Colour(0xff0a0c0d));
    p.g.fillRect(r.expanded(3.0f));
    p.g.setColour(palette::welledge);
    p.g.drawRect(r.expanded(4.0f), 1.0f);
    juce::ColourGradient glow(juce::Colour(0xff0f1516), r.getCentreX(), r.getCentreY(), juce::Colour(0xff0a0c0d),
                              r.getX(), r.getY(), true);
    p.g.setGradientFill(glow);
    p.g.fillRect(r);
    p.g.setColour(juce::Colour(0x10ffffff));
    for (int i = 1; i < 8; ++i)
    {
        p.g.fillRect(r.getX() + r.getWidth() * float(i) / 8.0f, r.getY(), 1.0f, r.getHeight());
        p.g.fillRect(r.getX(), r.getY() + r.getHeight() * float(i) / 8.0f, r.getWidth(), 1.0f);
    }
    if (m.text != nullptr)
        p.caption(m.text, {r.getX(), r.getY() - 19.0f, r.getWidth(), 12.0f}, 9.5f, palette::heading,
                  juce::Justification::centredLeft);
}

void drawnote(const painter& p, const mark& m)
{
    const auto lines = items(m.text);
    const float size = float(m.style);
    const float step = size + 4.0f;
    const bool single = lines.size() == 1;
    for (int i = 0; i < lines.size(); ++i)
        p.caption(lines[i], {float(m.x), float(m.y) + step * float(i), float(m.w), single ? float(m.h) : step}, size,
                  palette::heading, juce::Justification::centredLeft);
}

// The column on the right of the voices page: a vertical tab names the patch kind.
void drawsidetab(const painter& p, const mark& m, bool assigned)
{
    const auto r = box(m);
    const auto colour = tint(m.tint);
    p.panel(r, nullptr, m.tint);
    const auto tab = rect(r.getX() + 4.0f, r.getY() + 4.0f, 24.0f, r.getHeight() - 8.0f);
    p.g.setColour(colour.withAlpha(assigned ? 0.16f : 0.06f));
    p.g.fillRoundedRectangle(tab, 4.0f);
    p.g.setColour(assigned ? colour : colour.withAlpha(0.45f));
    p.g.fillRoundedRectangle(tab.getX(), tab.getY() + 6.0f, 3.0f, tab.getHeight() - 12.0f, 1.5f);
    {
        juce::Graphics::ScopedSaveState keep(p.g);
        p.g.addTransform(
            juce::AffineTransform::rotation(-juce::MathConstants<float>::halfPi, tab.getCentreX(), tab.getCentreY()));
        const auto turned = rect(tab.getHeight(), tab.getWidth()).withCentre(tab.getCentre());
        p.caption(m.text, turned.translated(0.0f, 1.0f), 10.5f, assigned ? colour : colour.withAlpha(0.6f));
    }
}

void drawmark(const painter& p, const mark& m, std::uint32_t page)
{
    switch (m.kind)
    {
    case markkind::section: p.panel(box(m), m.text, m.tint); break;
    case markkind::sidetab: drawsidetab(p, m, page != onvoices); break;
    case markkind::knob: drawknobcaption(p, m); break;
    case markkind::field: drawfield(p, m); break;
    case markkind::fine: drawfine(p, m); break;
    case markkind::menu: drawmenu(p, m); break;
    case markkind::button: drawbutton(p, m); break;
    case markkind::radio: drawradio(p, m); break;
    case markkind::graph: drawgraph(p, m); break;
    case markkind::note: drawnote(p, m); break;
    }
}

void drawmarks(const painter& p, std::uint32_t page)
{
    for (const auto& m : marks())
        if ((m.on & page) != 0)
            drawmark(p, m, page);
}

// What every page shares: the window, the sidebar with the name and the title display.
void drawframe(const painter& p, std::uint32_t page)
{
    auto& g = p.g;
    juce::ColourGradient base(juce::Colour(0xff1b1e21), 0.0f, 0.0f, juce::Colour(0xff131517), 0.0f, 690.0f, false);
    g.setGradientFill(base);
    g.fillAll();

    // A line in the colour of the page's patch kind along the top of the page.
    const auto pagehue = (page & onmodulation) != 0 ? tint(hue::modulation)
                         : page == ondelay          ? tint(hue::delay)
                         : page == oneq             ? tint(hue::eq)
                         : page == onharmony        ? tint(hue::harmony)
                                                    : palette::accent;
    juce::ColourGradient strip(pagehue.withAlpha(0.9f), sidebarwidth, 0.0f, pagehue.withAlpha(0.0f), 920.0f, 0.0f,
                               false);
    g.setGradientFill(strip);
    g.fillRect(sidebarwidth, 0.0f, 920.0f - sidebarwidth, 2.0f);

    // Sidebar.
    g.setColour(palette::sidebar);
    g.fillRect(0.0f, 0.0f, sidebarwidth, 690.0f);
    g.setColour(juce::Colour(0xff23272b));
    g.fillRect(sidebarwidth, 0.0f, 1.0f, 690.0f);

    // Name and tagline.
    g.setColour(palette::accent);
    g.fillRoundedRectangle(22.0f, 31.0f, 4.0f, 34.0f, 2.0f);
    p.text("Quillatrove", {34.0f, 26.0f, 150.0f, 26.0f}, 21.0f, true, juce::Colour(0xffe8e8e8),
           juce::Justification::centredLeft, 0.01f);
    p.caption("HARMONY  \xc2\xb7  PITCH", {35.0f, 52.0f, 150.0f, 14.0f}, 8.5f, palette::heading,
              juce::Justification::centredLeft);
    g.setColour(juce::Colour(0xff24282c));
    g.fillRect(22.0f, 96.0f, 152.0f, 1.0f);

    // The title display: three lines of text that the editor writes.
    const rect display{24.0f, 132.0f, 148.0f, 150.0f};
    p.well(display, 6.0f);
    const char* third = page == onmix ? "SHOWN" : page == onvoices ? nullptr : "PATCH";
    p.caption("PAGE", {34.0f, 139.0f, 120.0f, 12.0f}, 8.0f, palette::faint, juce::Justification::centredLeft);
    p.caption("VOICE", {34.0f, 187.0f, 120.0f, 12.0f}, 8.0f, palette::faint, juce::Justification::centredLeft);
    if (third != nullptr)
        p.caption(third, {34.0f, 234.0f, 120.0f, 12.0f}, 8.0f, palette::faint, juce::Justification::centredLeft);
    g.setColour(juce::Colour(0xff1d2125));
    g.fillRect(34.0f, 181.0f, 128.0f, 1.0f);
    if (third != nullptr)
        g.fillRect(34.0f, 228.0f, 128.0f, 1.0f);

    // Between the title display and the page buttons, and above the version line.
    g.setColour(juce::Colour(0xff24282c));
    g.fillRect(22.0f, 468.0f, 152.0f, 1.0f);
    p.caption("CHANNELS", {560.0f, 28.0f, 100.0f, 36.0f}, 9.0f, palette::heading, juce::Justification::centredRight);

    // How the controls are handled, once, where every page has room for it.
    p.caption("DRAG KNOBS UP OR DOWN  \xc2\xb7  DOUBLE-CLICK TO CENTRE", {214.0f, 32.0f, 330.0f, 12.0f}, 8.0f,
              palette::faint, juce::Justification::centredLeft);
    if (page == onvoices)
    {
        const rect sign{214.0f, 47.0f, 14.0f, 14.0f};
        g.setColour(palette::faint);
        g.drawRoundedRectangle(sign.reduced(0.5f), 3.0f, 1.0f);
        p.waveicon("SINE", sign.reduced(3.0f, 4.0f), palette::heading);
        p.caption("OPENS THE MODULATORS OF THE CONTROL BESIDE IT", {234.0f, 48.0f, 330.0f, 12.0f}, 8.0f, palette::faint,
                  juce::Justification::centredLeft);
    }
}

// Texts the voices page shows where no patch of a kind is assigned (the panes cover them).
void drawemptyhints(const painter& p)
{
    const struct
    {
        float y;
        const char* line1;
        const char* line2;
    } hints[] = {{150.0f, "NO DELAY", "ON THIS VOICE"},
                 {408.0f, "NO EQ", "ON THIS VOICE"},
                 {512.0f, "NO HARMONY", "ON THIS VOICE"}};
    for (const auto& h : hints)
    {
        p.caption(h.line1, {650.0f, h.y, 88.0f, 13.0f}, 9.0f, palette::heading, juce::Justification::centredLeft);
        p.caption(h.line2, {650.0f, h.y + 14.0f, 88.0f, 13.0f}, 8.0f, palette::faint, juce::Justification::centredLeft);
    }
}

void draweqscale(const painter& p)
{
    const char* db[] = {"+12", "+6", "0", "-6", "-12"};
    for (int i = 0; i < 5; ++i)
        p.text(db[i], {322.0f, 142.0f + 128.0f * float(i) - 7.0f, 32.0f, 14.0f}, 9.5f, false, palette::heading,
               juce::Justification::centredRight);
    p.caption("dB", {322.0f, 120.0f, 32.0f, 12.0f}, 8.5f, palette::faint, juce::Justification::centredRight);
    p.caption("LOW", {369.0f, 666.0f, 80.0f, 13.0f}, 8.5f, palette::faint, juce::Justification::centredLeft);
    p.caption("FREQUENCY", {369.0f, 666.0f, 512.0f, 13.0f}, 8.5f, palette::faint);
    p.caption("HIGH", {801.0f, 666.0f, 80.0f, 13.0f}, 8.5f, palette::faint, juce::Justification::centredRight);
}

void drawharmonylegend(const painter& p)
{
    const auto colour = tint(hue::harmony);
    const float y = 491.0f;
    struct entry
    {
        float x;
        int kind;
        const char* text;
    };
    const entry entries[] = {{560.0f, 1, "MAJOR"}, {650.0f, 2, "MINOR"}, {740.0f, 3, "DIMINISHED"}};
    for (const auto& e : entries)
    {
        p.g.setColour(colour);
        const auto c = juce::Point<float>(e.x, y + 6.0f);
        if (e.kind == 1)
            p.g.fillEllipse(juce::Rectangle<float>(7.0f, 7.0f).withCentre(c));
        else if (e.kind == 2)
            p.g.drawEllipse(juce::Rectangle<float>(7.0f, 7.0f).withCentre(c), 1.5f);
        else
        {
            juce::Path d;
            d.addQuadrilateral(c.x, c.y - 4.0f, c.x + 3.5f, c.y, c.x, c.y + 4.0f, c.x - 3.5f, c.y);
            p.g.fillPath(d);
        }
        p.caption(e.text, {e.x + 8.0f, y, 90.0f, 12.0f}, 8.0f, palette::heading, juce::Justification::centredLeft);
    }
    p.caption("CHORD OF EACH SCALE NOTE:", {340.0f, y, 210.0f, 12.0f}, 8.0f, palette::faint,
              juce::Justification::centredRight);
}
} // namespace

void paintbackground(painter& p, std::uint32_t page)
{
    drawframe(p, page);
    drawmarks(p, page);
    if (page == onvoices)
        drawemptyhints(p);
    if (page == oneq)
        draweqscale(p);
    if (page == onharmony)
        drawharmonylegend(p);
}

void paintpane(painter& p, std::uint32_t pane)
{
    // The pane is shown at (614, 0); it is drawn in window coordinates and covers only the
    // section of its kind, so the panes of the other kinds and the page show around it.
    p.g.setOrigin(juce::Point<int>(-int(panex), 0));
    for (const auto& m : marks())
        if ((m.on & pane) != 0)
            drawmark(p, m, pane);
}

void paintoverlay(painter& p)
{
    auto& g = p.g;
    const rect window{0.0f, 0.0f, 920.0f, 690.0f};
    // A soft shade along the edges and a shadow cast by the sidebar onto the page.
    g.setColour(juce::Colour(0x40000000));
    g.drawRect(window, 1.0f);
    juce::ColourGradient cast(juce::Colour(0x38000000), sidebarwidth + 1.0f, 0.0f, juce::Colour(0x00000000),
                              sidebarwidth + 9.0f, 0.0f, false);
    g.setGradientFill(cast);
    g.fillRect(sidebarwidth + 1.0f, 0.0f, 8.0f, 690.0f);
    juce::ColourGradient top(juce::Colour(0x14ffffff), 0.0f, 0.0f, juce::Colour(0x00ffffff), 0.0f, 6.0f, false);
    g.setGradientFill(top);
    g.fillRect(1.0f, 1.0f, 918.0f, 6.0f);
    juce::ColourGradient bottom(juce::Colour(0x00000000), 0.0f, 670.0f, juce::Colour(0x30000000), 0.0f, 690.0f, false);
    g.setGradientFill(bottom);
    g.fillRect(1.0f, 670.0f, 918.0f, 19.0f);
}

void painteqoverlay(painter& p)
{
    auto& g = p.g;
    const rect outer{0.0f, 0.0f, 530.0f, 530.0f};
    const rect screen{9.0f, 9.0f, 512.0f, 512.0f};
    // The bezel around the square.
    juce::Path bezel;
    bezel.addRoundedRectangle(outer.reduced(0.5f), 8.0f);
    bezel.addRectangle(screen);
    bezel.setUsingNonZeroWinding(false);
    juce::ColourGradient metal(juce::Colour(0xff2b3036), 0.0f, 0.0f, juce::Colour(0xff1a1d21), 0.0f, 530.0f, false);
    g.setGradientFill(metal);
    g.fillPath(bezel);
    g.setColour(juce::Colour(0xff3a4047));
    g.drawRoundedRectangle(outer.reduced(0.5f), 8.0f, 1.0f);
    g.setColour(juce::Colour(0xff08090a));
    g.drawRect(screen.expanded(1.0f), 1.0f);
    // The grid over the curve: 6 dB lines, unity brighter, and eight columns.
    for (int i = 1; i < 4; ++i)
    {
        g.setColour(i == 2 ? juce::Colour(0x40ffffff) : juce::Colour(0x18ffffff));
        g.fillRect(screen.getX(), screen.getY() + 128.0f * float(i), screen.getWidth(), 1.0f);
    }
    g.setColour(juce::Colour(0x12ffffff));
    for (int i = 1; i < 8; ++i)
        g.fillRect(screen.getX() + 64.0f * float(i), screen.getY(), 1.0f, screen.getHeight());
    p.caption("EQ CURVE", {screen.getX() + 10.0f, screen.getY() + 8.0f, 120.0f, 12.0f}, 9.0f,
              tint(hue::eq).withAlpha(0.8f), juce::Justification::centredLeft);
}

void paintchooser(painter& p)
{
    auto& g = p.g;
    const rect panel{2.0f, 2.0f, 236.0f, 386.0f};
    g.setColour(juce::Colour(0x80000000));
    g.fillRoundedRectangle(panel.translated(0.0f, 2.0f).expanded(1.0f), 9.0f);
    juce::ColourGradient fill(juce::Colour(0xff1e2226), 0.0f, 0.0f, juce::Colour(0xff15181b), 0.0f, 390.0f, false);
    g.setGradientFill(fill);
    g.fillRoundedRectangle(panel, 8.0f);
    g.setColour(palette::accent.withAlpha(0.55f));
    g.drawRoundedRectangle(panel.reduced(0.5f), 8.0f, 1.0f);
    g.setColour(palette::accent);
    g.fillRoundedRectangle(14.0f, 9.0f, 3.0f, 12.0f, 1.5f);
    p.caption("CHOOSE A PATCH", {22.0f, 8.0f, 200.0f, 14.0f}, 9.5f, palette::heading, juce::Justification::centredLeft);
    g.setColour(juce::Colour(0xff2a2f35));
    g.fillRect(14.0f, 50.0f, 212.0f, 1.0f);
    // Faint bands under every other 24-pixel row of the list.
    g.setColour(juce::Colour(0x07ffffff));
    for (float y = 52.0f + 24.0f; y + 24.0f <= 364.0f; y += 48.0f)
        g.fillRect(14.0f, y, 212.0f, 24.0f);
    p.caption("CLICK OUTSIDE TO CLOSE", {14.0f, 370.0f, 212.0f, 12.0f}, 8.0f, palette::faint);
}
} // namespace artwork
