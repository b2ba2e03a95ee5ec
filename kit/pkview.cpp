#include "kit/pkview.h"

#include "kit/pktext.h"

void ViewLookAndFeelNormal::drawButtonBackground(juce::Graphics& g, juce::Button& /*button*/,
                                                 const juce::Colour& /*background*/, bool /*highlighted*/,
                                                 bool /*down*/)
{
    if (image == nullptr || !(opacity > 0.0))
        return;
    g.setOpacity(static_cast<float>(opacity));
    if (image->isValid() && !g.isClipEmpty())
        g.drawImageAt(*image, 0, 0);
}

pkView::pkView(int x, int y, int w, int h, juce::Image* image, const char* text, unsigned long textColour)
{
    lookandfeel.image = image;
    button.setLookAndFeel(&lookandfeel);
    if (text != nullptr)
    {
        button.setButtonText(pklatin1(text));
        button.setColour(juce::TextButton::textColourOffId, juce::Colour(static_cast<juce::uint32>(textColour)));
    }
    if (image != nullptr)
        button.setBounds(x, y, image->isValid() ? image->getWidth() : 0, image->isValid() ? image->getHeight() : 0);
    else
        button.setBounds(x, y, w, h);
}

void pkView::setTip(const char* text)
{
    button.setTooltip(pklatin1(text));
}
