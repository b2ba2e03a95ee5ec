#include "tools/artwork/paint.h"

#include <cmath>
#include <cstring>

namespace artwork
{
namespace
{
constexpr float pi = juce::MathConstants<float>::pi;
// Knob travel: from 7:30 to 4:30 o'clock, clockwise.
constexpr float knobstart = -0.75f * pi;
constexpr float knobend = 0.75f * pi;

using rect = juce::Rectangle<float>;

rect rowof(const picturespec& spec, int row)
{
    const float h = float(spec.height / 2);
    return {0.0f, row * h, float(spec.width), h};
}

// Two-row face: the upper row at rest or off, the lower one held down or on.
template <typename F>
void tworows(painter& p, const picturespec& spec, F face)
{
    for (int row = 0; row < 2; ++row)
    {
        juce::Graphics::ScopedSaveState keep(p.g);
        const auto area = rowof(spec, row);
        p.g.reduceClipRegion(area.toNearestInt());
        face(area, row == 1);
    }
}

void modulatebutton(painter& p, rect r, bool assigned, bool held)
{
    const auto box = r.reduced(0.5f);
    const auto colour = assigned ? palette::accent : palette::faint;
    p.g.setColour(held ? colour.withAlpha(0.45f) : assigned ? colour.withAlpha(0.22f) : juce::Colour(0xff24282d));
    p.g.fillRoundedRectangle(box, 3.0f);
    p.g.setColour(held ? colour : colour.withAlpha(assigned ? 0.9f : 0.7f));
    p.g.drawRoundedRectangle(box.reduced(0.5f), 3.0f, 1.0f);
    p.waveicon("SINE", box.reduced(3.0f, 4.0f), held || assigned ? juce::Colours::white : palette::label);
}

void pushbutton(painter& p, rect r, bool held, const char* text, glyph icon, juce::Colour rim, bool dashed = false)
{
    const auto box = r.reduced(2.0f);
    if (dashed && !held)
    {
        p.g.setColour(juce::Colour(0x0affffff));
        p.g.fillRoundedRectangle(box, 6.0f);
        juce::Path outline;
        outline.addRoundedRectangle(box.reduced(0.5f), 6.0f);
        juce::Path dashes;
        const float pattern[] = {4.0f, 3.0f};
        juce::PathStrokeType(1.2f).createDashedStroke(dashes, outline, pattern, 2);
        p.g.setColour(rim.withAlpha(0.75f));
        p.g.fillPath(dashes);
    }
    else
    {
        p.raised(box, 5.0f, held, rim);
    }
    const auto colour = held ? juce::Colours::white : palette::label;
    if (box.getHeight() > 40.0f)
    {
        p.icon(icon, box.withSizeKeepingCentre(22.0f, 22.0f).translated(0.0f, -9.0f), held ? colour : rim, 2.2f);
        p.caption(text, box.withTrimmedTop(box.getHeight() * 0.62f).withHeight(14.0f), 10.0f, colour);
    }
    else
    {
        const auto content = p.font(10.0f, true).getStringWidthFloat(text) + 16.0f;
        const auto left = box.getCentreX() - content / 2.0f;
        p.icon(icon, {left, box.getCentreY() - 5.0f, 10.0f, 10.0f}, held ? colour : rim, 1.8f);
        p.caption(text, {left + 14.0f, box.getY(), content, box.getHeight()}, 10.0f, colour,
                  juce::Justification::centredLeft);
    }
}

void deletebutton(painter& p, rect r, bool held)
{
    const auto box = r.reduced(2.0f);
    p.g.setColour(held ? palette::danger : juce::Colour(0xff2a2e33));
    p.g.fillEllipse(box);
    p.g.setColour(held ? palette::danger.brighter(0.3f) : juce::Colour(0xff4a5058));
    p.g.drawEllipse(box.reduced(0.5f), 1.0f);
    p.icon(glyph::cross, box.reduced(4.5f), held ? juce::Colours::white : palette::label, 1.6f);
}

void radioface(painter& p, rect cell, bool on, bool framed)
{
    const auto c = chip(cell.getWidth(), cell.getHeight()).translated(cell.getX(), cell.getY());
    if (on)
    {
        p.g.setColour(palette::accent.withAlpha(0.16f));
        p.g.fillRoundedRectangle(c, 5.0f);
        p.g.setColour(palette::accent.withAlpha(0.9f));
        p.g.drawRoundedRectangle(c.reduced(0.75f), 5.0f, 1.5f);
        // The lamp along the lower edge, with a soft glow.
        const auto lamp = juce::Rectangle<float>(c.getX() + 10.0f, c.getBottom() - 5.0f, c.getWidth() - 20.0f, 2.5f);
        p.g.setColour(palette::accent.withAlpha(0.25f));
        p.g.fillRoundedRectangle(lamp.expanded(3.0f, 2.0f), 3.0f);
        p.g.setColour(palette::accent.brighter(0.3f));
        p.g.fillRoundedRectangle(lamp, 1.25f);
    }
    else if (framed)
    {
        p.g.setColour(juce::Colour(0x38ffffff));
        p.g.drawRoundedRectangle(c.reduced(0.5f), 5.0f, 1.0f);
        p.g.setColour(juce::Colour(0x14ffffff));
        p.g.fillRoundedRectangle({c.getX() + 10.0f, c.getBottom() - 5.0f, c.getWidth() - 20.0f, 2.5f}, 1.25f);
    }
}

void toggle(painter& p, rect r, bool on, bool vertical)
{
    const auto slot = vertical ? r.withSizeKeepingCentre(18.0f, r.getHeight() - 5.0f) : r.reduced(4.0f, 4.0f);
    p.well(slot, slot.getWidth() < slot.getHeight() ? 9.0f : slot.getHeight() / 2.0f);
    if (on)
    {
        p.g.setColour(palette::accent.withAlpha(0.25f));
        p.g.fillRoundedRectangle(slot.reduced(1.5f), vertical ? 7.5f : slot.getHeight() / 2.0f - 1.5f);
    }
    rect thumb;
    if (vertical)
        thumb = slot.reduced(2.0f).withHeight(slot.getHeight() / 2.0f - 1.0f);
    else
        thumb = slot.reduced(2.0f).withWidth(slot.getHeight() - 4.0f);
    if (vertical && !on)
        thumb = thumb.withY(slot.getBottom() - 2.0f - thumb.getHeight());
    if (!vertical && on)
        thumb = thumb.withX(slot.getRight() - 2.0f - thumb.getWidth());
    p.raised(thumb, std::min(thumb.getWidth(), thumb.getHeight()) / 2.0f, false, on ? palette::accent : palette::edge);
    if (!vertical)
    {
        const auto label =
            on ? slot.withTrimmedRight(thumb.getWidth() + 4.0f) : slot.withTrimmedLeft(thumb.getWidth() + 4.0f);
        p.caption(on ? "ON" : "OFF", label, 10.0f, on ? palette::accent.brighter(0.4f) : palette::faint);
    }
    else
    {
        p.g.setColour(on ? palette::accent.brighter(0.4f) : juce::Colour(0xff3a3f46));
        p.g.fillEllipse(thumb.withSizeKeepingCentre(4.0f, 4.0f));
    }
}

void patchmenuface(painter& p, rect r, hue h)
{
    const auto colour = tint(h);
    juce::ColourGradient wash(colour.withAlpha(0.28f), r.getX(), 0.0f, colour.withAlpha(0.0f), r.getRight(), 0.0f,
                              false);
    p.g.setGradientFill(wash);
    p.g.fillRoundedRectangle(r.reduced(0.5f, 1.0f), 3.0f);
    // A bar at the very left: the menus' text starts 9 to 16 pixels to the right of these faces.
    p.g.setColour(colour);
    p.g.fillRoundedRectangle(r.getX() + 1.0f, r.getY() + 3.0f, 3.0f, r.getHeight() - 6.0f, 1.5f);
}

void indicator(painter& p, rect r, int which)
{
    // Chord quality of a scale degree: major (filled), minor (ring), diminished (diamond).
    const auto c = r.getCentre();
    const auto colour = tint(hue::harmony);
    p.g.setColour(juce::Colour(0xff101214));
    p.g.fillEllipse(r.reduced(1.0f));
    p.g.setColour(colour.withAlpha(0.6f));
    p.g.drawEllipse(r.reduced(1.5f), 1.0f);
    p.g.setColour(colour.brighter(0.2f));
    if (which == 1)
        p.g.fillEllipse(juce::Rectangle<float>(9.0f, 9.0f).withCentre(c));
    else if (which == 2)
        p.g.drawEllipse(juce::Rectangle<float>(8.0f, 8.0f).withCentre(c), 1.8f);
    else
    {
        juce::Path d;
        d.addQuadrilateral(c.x, c.y - 5.0f, c.x + 4.5f, c.y, c.x, c.y + 5.0f, c.x - 4.5f, c.y);
        p.g.fillPath(d);
    }
}

void mixrow(painter& p, rect r, bool selected)
{
    const auto box = r.reduced(1.0f, 1.0f);
    juce::ColourGradient fill(selected ? juce::Colour(0xff203336) : juce::Colour(0xff1d2024), 0.0f, box.getY(),
                              selected ? juce::Colour(0xff1a2a2c) : juce::Colour(0xff191b1f), 0.0f, box.getBottom(),
                              false);
    p.g.setGradientFill(fill);
    p.g.fillRoundedRectangle(box, 5.0f);
    p.g.setColour(selected ? palette::accent.withAlpha(0.7f) : palette::edge);
    p.g.drawRoundedRectangle(box.reduced(0.5f), 5.0f, 1.0f);
    if (selected)
    {
        p.g.setColour(palette::accent);
        p.g.fillRoundedRectangle(box.getX() + 1.0f, box.getY() + 8.0f, 3.0f, box.getHeight() - 16.0f, 1.5f);
    }
    // Separators between the name, the two knobs and the delay cell (x in the row: 86, 170, 230).
    p.g.setColour(juce::Colour(0x10ffffff));
    for (float x : {88.0f, 170.0f, 229.0f})
        p.g.fillRect(x, box.getY() + 8.0f, 1.0f, box.getHeight() - 16.0f);
    p.caption(selected ? "SELECTED" : "SELECT", {8.0f, r.getY() + 34.0f, 76.0f, 12.0f}, 8.0f,
              selected ? palette::accent : palette::heading, juce::Justification::centredLeft);
}
} // namespace

juce::Colour tint(hue h)
{
    switch (h)
    {
    case hue::modulation: return juce::Colour(0xff3ccbc8);
    case hue::delay: return juce::Colour(0xffe3a44f);
    case hue::eq: return juce::Colour(0xffa88fd0);
    case hue::harmony: return juce::Colour(0xff7fcf7a);
    case hue::neutral: break;
    }
    return palette::heading;
}

juce::Font painter::font(float height, bool bold) const
{
    return juce::Font(bold ? faces.bold : faces.regular).withHeight(height);
}

void painter::text(const juce::String& s, rect box, float height, bool bold, juce::Colour colour,
                   juce::Justification just, float tracking) const
{
    g.setColour(colour);
    g.setFont(font(height, bold).withExtraKerningFactor(tracking));
    g.drawFittedText(s, box.getSmallestIntegerContainer(), just, 1, 0.85f);
}

void painter::caption(const juce::String& s, rect box, float height, juce::Colour colour,
                      juce::Justification just) const
{
    text(s, box, height, true, colour, just, 0.06f);
}

void painter::panel(rect r, const char* heading, hue h) const
{
    juce::ColourGradient fill(juce::Colour(0xff212428), 0.0f, r.getY(), juce::Colour(0xff1b1e21), 0.0f, r.getBottom(),
                              false);
    g.setGradientFill(fill);
    g.fillRoundedRectangle(r, 7.0f);
    g.setColour(juce::Colour(0x66000000));
    g.drawRoundedRectangle(r.expanded(0.5f), 7.5f, 1.0f);
    g.setColour(palette::edge);
    g.drawRoundedRectangle(r.reduced(0.5f), 7.0f, 1.0f);
    g.setColour(juce::Colour(0x0cffffff));
    g.fillRect(r.getX() + 7.0f, r.getY() + 1.0f, r.getWidth() - 14.0f, 1.0f);
    if (heading != nullptr)
    {
        const auto bar = tint(h);
        g.setColour(bar);
        g.fillRoundedRectangle(r.getX() + 10.0f, r.getY() + 8.0f, 3.0f, 10.0f, 1.5f);
        caption(heading, {r.getX() + 18.0f, r.getY() + 6.0f, r.getWidth() - 26.0f, 14.0f}, 9.5f, palette::heading,
                juce::Justification::centredLeft);
    }
}

void painter::well(rect r, float radius) const
{
    g.setColour(palette::well);
    g.fillRoundedRectangle(r, radius);
    g.setColour(juce::Colour(0x55000000));
    g.fillRoundedRectangle(r.withHeight(std::min(3.0f, r.getHeight())), radius);
    g.setColour(palette::welledge);
    g.drawRoundedRectangle(r.reduced(0.5f), radius, 1.0f);
    g.setColour(juce::Colour(0x10ffffff));
    g.fillRect(r.getX() + radius, r.getBottom(), r.getWidth() - 2.0f * radius, 1.0f);
}

void painter::raised(rect r, float radius, bool pressed, juce::Colour rim) const
{
    if (!pressed)
    {
        g.setColour(juce::Colour(0x80000000));
        g.fillRoundedRectangle(r.translated(0.0f, 1.0f), radius);
    }
    juce::ColourGradient fill(pressed ? juce::Colour(0xff1c1f23) : juce::Colour(0xff363b42), 0.0f, r.getY(),
                              pressed ? juce::Colour(0xff25292e) : juce::Colour(0xff272b30), 0.0f, r.getBottom(),
                              false);
    g.setGradientFill(fill);
    g.fillRoundedRectangle(r, radius);
    g.setColour(pressed ? rim : juce::Colour(0xff464c54));
    g.drawRoundedRectangle(r.reduced(0.5f), radius, pressed ? 1.5f : 1.0f);
    if (!pressed)
    {
        g.setColour(juce::Colour(0x18ffffff));
        g.fillRect(r.getX() + radius, r.getY() + 1.0f, r.getWidth() - 2.0f * radius, 1.0f);
    }
}

void painter::icon(glyph which, rect box, juce::Colour colour, float thickness) const
{
    juce::Path path;
    const auto b = box;
    const float l = b.getX(), t = b.getY(), r = b.getRight(), bt = b.getBottom();
    const float cx = b.getCentreX(), cy = b.getCentreY(), w = b.getWidth(), h = b.getHeight();
    bool filled = false;
    switch (which)
    {
    case glyph::none:
    case glyph::waves: return;
    case glyph::left:
        path.addTriangle(r - w * 0.2f, t, r - w * 0.2f, bt, l + w * 0.15f, cy);
        filled = true;
        break;
    case glyph::right:
        path.addTriangle(l + w * 0.2f, t, l + w * 0.2f, bt, r - w * 0.15f, cy);
        filled = true;
        break;
    case glyph::up:
        path.addTriangle(l, bt - h * 0.15f, r, bt - h * 0.15f, cx, t + h * 0.1f);
        filled = true;
        break;
    case glyph::down:
        path.addTriangle(l, t + h * 0.15f, r, t + h * 0.15f, cx, bt - h * 0.1f);
        filled = true;
        break;
    case glyph::plus:
        path.startNewSubPath(cx, t);
        path.lineTo(cx, bt);
        path.startNewSubPath(l, cy);
        path.lineTo(r, cy);
        break;
    case glyph::cross:
        path.startNewSubPath(l, t);
        path.lineTo(r, bt);
        path.startNewSubPath(r, t);
        path.lineTo(l, bt);
        break;
    case glyph::mixer:
        // Three faders with their caps.
        g.setColour(colour);
        for (int i = 0; i < 3; ++i)
        {
            const float x = l + w * (0.15f + 0.35f * float(i));
            g.fillRect(x - 0.6f, t, 1.2f, h);
            const float capat = t + h * (i == 1 ? 0.3f : i == 0 ? 0.7f : 0.5f);
            g.fillRoundedRectangle(x - 2.5f, capat - 1.75f, 5.0f, 3.5f, 1.0f);
        }
        return;
    case glyph::book:
        path.addRoundedRectangle(l, t, w * 0.48f, h, 1.0f);
        path.addRoundedRectangle(cx + w * 0.02f, t, w * 0.48f, h, 1.0f);
        break;
    case glyph::globe:
        path.addEllipse(b);
        path.addEllipse(b.reduced(w * 0.28f, 0.0f));
        path.startNewSubPath(l, cy);
        path.lineTo(r, cy);
        break;
    case glyph::invert:
        path.startNewSubPath(l, t + h * 0.3f);
        path.lineTo(r, t + h * 0.3f);
        path.lineTo(r - w * 0.25f, t);
        path.startNewSubPath(r, bt - h * 0.3f);
        path.lineTo(l, bt - h * 0.3f);
        path.lineTo(l + w * 0.25f, bt);
        break;
    case glyph::reset:
        path.addCentredArc(cx, cy, w * 0.42f, h * 0.42f, 0.0f, 0.5f, 2.0f * pi - 0.3f, true);
        path.addTriangle(cx + w * 0.1f, t - h * 0.1f, cx + w * 0.1f, t + h * 0.3f, cx - w * 0.2f, t + h * 0.1f);
        break;
    case glyph::edit:
        path.startNewSubPath(l, bt);
        path.quadraticTo(l + w * 0.3f, t - h * 0.2f, cx, cy);
        path.quadraticTo(r - w * 0.3f, bt + h * 0.2f, r, t);
        break;
    }
    g.setColour(colour);
    if (filled)
        g.fillPath(path);
    else
        g.strokePath(path,
                     juce::PathStrokeType(thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void painter::waveicon(const juce::String& item, rect box, juce::Colour colour) const
{
    juce::Path path;
    const float l = box.getX(), t = box.getY(), w = box.getWidth(), h = box.getHeight();
    const float mid = t + h / 2.0f;
    if (item == "SINE" || item == "LFO")
    {
        for (int i = 0; i <= 40; ++i)
        {
            const float x = l + w * float(i) / 40.0f;
            const float y = mid - std::sin(2.0f * pi * float(i) / 40.0f) * h / 2.0f;
            i == 0 ? path.startNewSubPath(x, y) : path.lineTo(x, y);
        }
    }
    else if (item == "TRIANGLE")
    {
        path.startNewSubPath(l, mid);
        path.lineTo(l + w * 0.25f, t);
        path.lineTo(l + w * 0.75f, t + h);
        path.lineTo(l + w, mid);
    }
    else if (item == "RANDOM")
    {
        const float levels[] = {0.55f, 0.15f, 0.8f, 0.35f, 0.95f, 0.05f, 0.6f};
        path.startNewSubPath(l, t + h * levels[0]);
        for (int i = 0; i < 7; ++i)
        {
            path.lineTo(l + w * float(i) / 7.0f, t + h * levels[i]);
            path.lineTo(l + w * float(i + 1) / 7.0f, t + h * levels[i]);
        }
    }
    else if (item == "ENVELOPE")
    {
        path.startNewSubPath(l, t + h);
        path.quadraticTo(l + w * 0.12f, t, l + w * 0.25f, t);
        path.quadraticTo(l + w * 0.45f, t + h * 0.05f, l + w * 0.6f, t + h * 0.45f);
        path.quadraticTo(l + w * 0.8f, t + h, l + w, t + h);
    }
    else
    {
        const float cx = l + w / 2.0f;
        g.setColour(colour);
        g.drawEllipse(juce::Rectangle<float>(h, h).withCentre({cx, mid}).reduced(0.5f), 1.6f);
        // A five-pin socket: pins along the upper half, the key notch at the bottom.
        for (int i = 0; i < 5; ++i)
        {
            const float a = pi * 0.25f * float(i);
            g.fillEllipse(juce::Rectangle<float>(2.4f, 2.4f)
                              .withCentre({cx + std::cos(a) * h * 0.28f, mid - std::sin(a) * h * 0.22f + 1.0f}));
        }
        g.fillRect(cx - 1.5f, t + h - 3.0f, 3.0f, 3.0f);
        return;
    }
    g.setColour(colour);
    g.strokePath(path, juce::PathStrokeType(1.7f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

juce::Rectangle<float> chip(float cellwidth, float cellheight)
{
    if (cellheight > 50.0f)
        return {6.0f, 4.0f, cellwidth - 12.0f, 50.0f};
    return {4.0f, 3.0f, cellwidth - 8.0f, cellheight - 6.0f};
}

void paintknob(painter& p, rect frame, float v)
{
    auto& g = p.g;
    const float s = frame.getWidth();
    const auto c = frame.getCentre();
    const float stroke = std::max(2.5f, s * 0.055f);
    const float radius = s * 0.44f - stroke / 2.0f;
    const float angle = knobstart + (knobend - knobstart) * v;

    juce::Path track;
    track.addCentredArc(c.x, c.y, radius, radius, 0.0f, knobstart, knobend, true);
    g.setColour(palette::track);
    g.strokePath(track, juce::PathStrokeType(stroke, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

    if (v > 0.0f)
    {
        juce::Path lit;
        lit.addCentredArc(c.x, c.y, radius, radius, 0.0f, knobstart, angle, true);
        g.setColour(palette::accent.withAlpha(0.22f));
        g.strokePath(lit,
                     juce::PathStrokeType(stroke * 2.4f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        g.setColour(palette::accent);
        g.strokePath(lit, juce::PathStrokeType(stroke, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }

    const float body = s * 0.31f;
    g.setColour(juce::Colour(0x99000000));
    g.fillEllipse(juce::Rectangle<float>(2.0f * body + 3.0f, 2.0f * body + 3.0f).withCentre(c.translated(0.0f, 1.5f)));
    juce::ColourGradient shade(juce::Colour(0xff4a5058), c.x - body * 0.5f, c.y - body, juce::Colour(0xff1c1f23),
                               c.x + body * 0.4f, c.y + body, true);
    g.setGradientFill(shade);
    g.fillEllipse(juce::Rectangle<float>(2.0f * body, 2.0f * body).withCentre(c));
    g.setColour(juce::Colour(0xff0b0c0e));
    g.drawEllipse(juce::Rectangle<float>(2.0f * body, 2.0f * body).withCentre(c), 1.0f);
    juce::Path rim;
    rim.addCentredArc(c.x, c.y, body - 1.0f, body - 1.0f, 0.0f, -1.1f, 1.1f, true);
    g.setColour(juce::Colour(0x33ffffff));
    g.strokePath(rim, juce::PathStrokeType(1.0f));

    const auto along = [&](float r) { return c.getPointOnCircumference(r, angle); };
    juce::Path pointer;
    pointer.startNewSubPath(along(body * 0.3f));
    pointer.lineTo(along(body * 0.85f));
    g.setColour(juce::Colour(0xfff2f2f2));
    g.strokePath(pointer, juce::PathStrokeType(std::max(2.0f, s * 0.04f), juce::PathStrokeType::curved,
                                               juce::PathStrokeType::rounded));
}

void paintpicture(painter& p, const picturespec& spec)
{
    const std::string name = spec.name;
    const rect whole{0.0f, 0.0f, float(spec.width), float(spec.height)};
    const auto is = [&](const char* n) { return name == n; };

    if (spec.height == spec.width * knobframes)
    {
        const float s = float(spec.width);
        for (int frame = 0; frame < knobframes; ++frame)
        {
            juce::Graphics::ScopedSaveState keep(p.g);
            const rect area{0.0f, frame * s, s, s};
            p.g.reduceClipRegion(area.toNearestInt());
            paintknob(p, area, float(frame) / float(knobframes - 1));
        }
    }
    else if (name.rfind("bg", 0) == 0)
    {
        for (const auto& [bit, n] : pbackgrounds)
            if (name == n)
                paintbackground(p, bit);
    }
    else if (name.rfind("rightpan", 0) == 0)
    {
        for (const auto& [bit, n] : ppanes)
            if (name == n)
                paintpane(p, bit);
    }
    else if (is("globoverlay_png"))
        paintoverlay(p);
    else if (is("eqoverlay_png"))
        painteqoverlay(p);
    else if (is("blackbox_png"))
        paintchooser(p);
    else if (is("list_png") || is("list2_png"))
        tworows(p, spec, [&](rect r, bool held) { modulatebutton(p, r, is("list_png"), held); });
    else if (is("newpatch_png"))
        tworows(p, spec, [&](rect r, bool held) {
            pushbutton(p, r.expanded(1.0f, 1.0f), held, "NEW", glyph::plus, palette::accent);
        });
    else if (is("addany_png"))
        tworows(p, spec, [&](rect r, bool held) { pushbutton(p, r, held, "ADD", glyph::plus, palette::accent, true); });
    else if (is("adddelay_png"))
        tworows(p, spec, [&](rect r, bool held) {
            // The button is taller than the mix rows' pitch; the next row would hide its foot.
            pushbutton(p, r.withHeight(58.0f), held, "DELAY", glyph::plus, tint(hue::delay), true);
        });
    else if (is("deletefront_png") || is("deletepatch_png"))
        tworows(p, spec, [&](rect r, bool held) { deletebutton(p, r, held); });
    else if (is("switchb_png"))
        tworows(p, spec, [&](rect r, bool on) { toggle(p, r, on, true); });
    else if (is("switchs_png"))
        tworows(p, spec, [&](rect r, bool on) { toggle(p, r, on, false); });
    else if (is("radiobg_png") || is("radiobg2_png"))
        tworows(p, spec, [&](rect r, bool on) { radioface(p, r, on, true); });
    else if (is("radiohl_png") || is("radiohl2_png"))
        radioface(p, whole, true, true);
    else if (is("mixdark_png") || is("mixlight_png"))
        mixrow(p, whole, is("mixlight_png"));
    else if (is("mixblackbox_png"))
    {
        p.well(whole.reduced(0.5f, 0.5f), 4.0f);
        p.g.setColour(palette::welledge);
        p.g.fillRect(31.0f, 3.0f, 1.0f, whole.getHeight() - 6.0f);
        p.icon(glyph::up, {11.0f, 4.0f, 9.0f, 7.0f}, palette::faint);
        p.icon(glyph::down, {11.0f, 14.0f, 9.0f, 7.0f}, palette::faint);
        p.caption("s", {95.0f, 0.0f, 16.0f, whole.getHeight()}, 9.0f, palette::faint);
    }
    else if (is("routeddelay_png"))
    {
        const auto box = whole.reduced(2.0f);
        p.g.setColour(tint(hue::delay).withAlpha(0.12f));
        p.g.fillRoundedRectangle(box, 5.0f);
        p.g.setColour(tint(hue::delay).withAlpha(0.6f));
        p.g.drawRoundedRectangle(box.reduced(0.5f), 5.0f, 1.0f);
        // Two chain links: this voice feeds a delay shown on an earlier row.
        p.g.drawRoundedRectangle({9.0f, 11.0f, 12.0f, 8.0f}, 4.0f, 1.6f);
        p.g.drawRoundedRectangle({17.0f, 13.0f, 12.0f, 8.0f}, 4.0f, 1.6f);
        p.caption("SHARED", {30.0f, 4.0f, 40.0f, 12.0f}, 8.0f, palette::label, juce::Justification::centredLeft);
        p.caption("DELAY", {30.0f, 15.0f, 40.0f, 12.0f}, 8.0f, tint(hue::delay), juce::Justification::centredLeft);
    }
    else if (is("patchmenudl_png"))
        patchmenuface(p, whole, hue::delay);
    else if (is("patchmenueq_png"))
        patchmenuface(p, whole, hue::eq);
    else if (is("patchmenuhar_png"))
        patchmenuface(p, whole, hue::harmony);
    else if (is("indicator1_png") || is("indicator2_png") || is("indicator3_png"))
        indicator(p, whole, name[9] - '0');
}
} // namespace artwork
