// Drawing helpers shared by every picture: the palette, the type scale and the few shapes
// (panels, buttons, captions) from which pages and controls are composed.
#pragma once

#include "tools/artwork/artwork.h"

namespace artwork
{
class painter
{
public:
    painter(juce::Graphics& graphics, const fonts& f) : g(graphics), faces(f) {}

    juce::Graphics& g;

    juce::Font font(float height, bool bold) const;
    void text(const juce::String& s, juce::Rectangle<float> box, float height, bool bold, juce::Colour colour,
              juce::Justification just = juce::Justification::centred, float tracking = 0.0f) const;

private:
    const fonts& faces;
};

// Draws one picture into the graphics context of an image of the picture's size.
void paintpicture(painter& p, const picturespec& spec);
} // namespace artwork
