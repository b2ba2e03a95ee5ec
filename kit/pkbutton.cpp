#include "kit/pkbutton.h"

#include "kit/pktext.h"
#include "kit/plistenerproxy.h"

void ButtonLookAndFeelNormal::drawButtonBackground(juce::Graphics& g, juce::Button& /*button*/,
                                                   const juce::Colour& /*background*/, bool /*highlighted*/, bool down)
{
    pkdrawfacerow(g, image, down);
}

pkButton::pkButton(int x, int y, int w, int h, plistenerproxy* listener, int tag, juce::Image* image, double value)
{
    lookandfeel.image = image;
    lookandfeel.value = value;
    button.setLookAndFeel(&lookandfeel);
    pkplacebutton(button, x, y, w, h, image, tag, listener);
}

void pkButton::setTip(const char* text)
{
    button.setTooltip(pklatin1(text));
}
