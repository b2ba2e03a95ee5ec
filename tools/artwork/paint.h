// Drawing helpers shared by every picture: the palette, the type scale and the few shapes
// (panels, fields, buttons, chips, knobs) from which pages and controls are composed.
//
// The look in short: a near-black window with a darker sidebar; raised panels with a 1-pixel
// edge and rounded corners group the controls; fields, menus and graph screens sit in wells
// darker than their panel. One teal accent marks whatever is lit or live (knob arcs, the lit
// radio item with its lamp, glyphs on buttons); each patch kind has a hue of its own (modulation
// teal, delay amber, EQ violet, harmony green) on its tabs, panel bars and menu faces. Text is
// DejaVu Sans: captions in bold small capitals in the label colour, headings in the heading
// colour, hints fainter still.
#pragma once

#include "tools/artwork/artwork.h"
#include "tools/artwork/layout.h"

namespace artwork
{
namespace palette
{
// Fixed by the editor: label text, chooser headings, pop-up menus.
inline const juce::Colour label{0xffd2d2d2};
inline const juce::Colour heading{0xffa0a0a0};
inline const juce::Colour menu{0xff474747};

inline const juce::Colour window{0xff17191c};
inline const juce::Colour sidebar{0xff111315};
inline const juce::Colour panel{0xff1f2226};
inline const juce::Colour edge{0xff2f343a};
inline const juce::Colour well{0xff0d0f11};
inline const juce::Colour welledge{0xff2a2e34};
inline const juce::Colour faint{0xff787e86};
inline const juce::Colour accent{0xff3ccbc8};
inline const juce::Colour track{0xff2a2e34};
inline const juce::Colour danger{0xffe0685a};
} // namespace palette

// The colour of a patch kind: headings, tabs and menu faces of that kind carry it.
juce::Colour tint(hue h);

class painter
{
public:
    painter(juce::Graphics& graphics, const fonts& f) : g(graphics), faces(f) {}

    juce::Graphics& g;

    juce::Font font(float height, bool bold) const;
    // One line of text fitted into box (squeezed a little rather than cut when too long).
    void text(const juce::String& s, juce::Rectangle<float> box, float height, bool bold, juce::Colour colour,
              juce::Justification just = juce::Justification::centred, float tracking = 0.0f) const;
    void text(const char* utf8, juce::Rectangle<float> box, float height, bool bold, juce::Colour colour,
              juce::Justification just = juce::Justification::centred, float tracking = 0.0f) const
    {
        text(juce::String::fromUTF8(utf8), box, height, bold, colour, just, tracking);
    }
    // Small capitals of a caption: bold, slightly spaced.
    void caption(const char* utf8, juce::Rectangle<float> box, float height, juce::Colour colour,
                 juce::Justification just = juce::Justification::centred) const
    {
        caption(juce::String::fromUTF8(utf8), box, height, colour, just);
    }
    void caption(const juce::String& s, juce::Rectangle<float> box, float height, juce::Colour colour,
                 juce::Justification just = juce::Justification::centred) const;

    void panel(juce::Rectangle<float> r, const char* heading, hue h) const;
    void well(juce::Rectangle<float> r, float radius) const;
    void raised(juce::Rectangle<float> r, float radius, bool pressed, juce::Colour rim) const;
    void icon(glyph which, juce::Rectangle<float> box, juce::Colour colour, float thickness = 1.6f) const;
    // The little picture of a source or wave shape, named by its caption ("SINE", "ENVELOPE", ...).
    void waveicon(const juce::String& item, juce::Rectangle<float> box, juce::Colour colour) const;

private:
    const fonts& faces;
};

// The lit area of a radio item inside its cell; the background captions it and the radio
// face frames or lights it.
juce::Rectangle<float> chip(float cellwidth, float cellheight);

// One knob frame: the value v (0..1) lights the arc from the left stop.
void paintknob(painter& p, juce::Rectangle<float> frame, float v);

// Draws one picture into the graphics context of an image of the picture's size.
void paintpicture(painter& p, const picturespec& spec);

// The page pictures (pages.cpp): a whole background, or one of the side panes.
void paintbackground(painter& p, std::uint32_t page);
void paintpane(painter& p, std::uint32_t pane);
void paintoverlay(painter& p);
void painteqoverlay(painter& p);
void paintchooser(painter& p);
} // namespace artwork
