#include "tools/artwork/paint.h"

namespace artwork
{
juce::Font painter::font(float height, bool bold) const
{
    const auto& face = bold ? faces.bold : faces.regular;
    return juce::Font(face).withHeight(height);
}

void painter::text(const juce::String& s, juce::Rectangle<float> box, float height, bool bold, juce::Colour colour,
                   juce::Justification just, float tracking) const
{
    g.setColour(colour);
    g.setFont(font(height, bold).withExtraKerningFactor(tracking));
    g.drawText(s, box, just, false);
}

void paintpicture(painter& p, const picturespec& spec)
{
    p.g.fillAll(juce::Colour(0xff1d2024));
    p.text(spec.name, {0.0f, 0.0f, float(spec.width), 20.0f}, 12.0f, true, juce::Colour(0xffd2d2d2));
}
} // namespace artwork
