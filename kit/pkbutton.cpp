#include "kit/pkbutton.h"

#include "kit/plistenerproxy.h"
#include "kit/pktext.h"

void ButtonLookAndFeelNormal::drawButtonBackground(juce::Graphics& g, juce::Button& /*button*/,
    const juce::Colour& /*background*/, bool /*highlighted*/, bool down)
{
    const auto face = pkhalfimage(image);
    if (face.isEmpty())
        return;
    const int row = down ? face.getHeight() : 0;
    g.drawImage(*image, 0, 0, face.getWidth(), face.getHeight(), 0, row, face.getWidth(), face.getHeight());
}

pkButton::pkButton(int x, int y, int w, int h, plistenerproxy* listener, int tag, juce::Image* image, double value)
{
    lookandfeel.image = image;
    lookandfeel.value = value;
    button.setLookAndFeel(&lookandfeel);
    button.setTriggeredOnMouseDown(true);
    if (image != nullptr)
        button.setBounds(pkhalfimage(image).withPosition(x, y));
    else
        button.setBounds(x, y, w, h);
    button.setComponentID(pkcomponentid(tag));
    if (listener != nullptr)
        button.addListener(listener);
}

void pkButton::setTip(const char* text)
{
    button.setTooltip(pklatin1(text));
}
