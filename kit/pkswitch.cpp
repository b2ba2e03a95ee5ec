#include "kit/pkswitch.h"

#include "kit/pktext.h"
#include "kit/plistenerproxy.h"

void SwitchLookAndFeelNormal::drawButtonBackground(juce::Graphics& g, juce::Button& button,
                                                   const juce::Colour& /*background*/, bool /*highlighted*/,
                                                   bool /*down*/)
{
    pkdrawfacerow(g, image, button.getToggleState());
}

pkSwitch::pkSwitch(int x, int y, int w, int h, plistenerproxy* listener, int tag, juce::Image* image,
                   juce::Image* image2, double value)
{
    lookandfeel.image = image;
    lookandfeel.image2 = image2;
    lookandfeel.value = value;
    button.setLookAndFeel(&lookandfeel);
    button.setClickingTogglesState(true);
    pkplacebutton(button, x, y, w, h, image, tag, listener);
}

void pkSwitch::setValue(float value)
{
    button.setToggleState(value >= 1.0f, juce::dontSendNotification);
}

double pkSwitch::getValue()
{
    return button.getToggleState() ? 1.0 : 0.0;
}

void pkSwitch::setTip(const char* text)
{
    button.setTooltip(pklatin1(text));
}
