// pkButton: an image push button that reports its fixed value on mouse-down.
#pragma once

#include "kit/pkcontrol.h"
#include "kit/pkimagelook.h"

class plistenerproxy;

class ButtonLookAndFeelNormal : public ImageButtonLookAndFeel
{
public:
    // Upper row at rest, lower row while held down; hovering changes nothing.
    void drawButtonBackground(juce::Graphics& g, juce::Button& button, const juce::Colour& background, bool highlighted,
                              bool down) override;
};

class pkButton : public pkControl
{
public:
    // Takes ownership of the image (null: an invisible click area of w x h). With an image
    // the button takes its width and half its height. Registers `listener` when not null.
    pkButton(int x, int y, int w, int h, plistenerproxy* listener, int tag, juce::Image* image, double value);
    ~pkButton() override = default;

    void setValue(float) override {}
    double getValue() override { return lookandfeel.value; }
    int getType() override { return pctlswitch; }
    void setTip(const char* text) override;

    ButtonLookAndFeelNormal lookandfeel;
    juce::TextButton button;
};
