// pkSwitch: a two-state image switch; a click toggles it and reports on mouse-down.
#pragma once

#include "kit/pkcontrol.h"
#include "kit/pkimagelook.h"

class plistenerproxy;

class SwitchLookAndFeelNormal : public ImageButtonLookAndFeel
{
public:
    // Upper row while off, lower row while on; hovering and pressing change nothing.
    void drawButtonBackground(juce::Graphics& g, juce::Button& button, const juce::Colour& background, bool highlighted,
                              bool down) override;
};

class pkSwitch : public pkControl
{
public:
    // Takes ownership of both images; `value` is what a click that turns it on reports.
    // With an image the switch takes its width and half its height. Registers `listener`
    // when it is not null. Not listed or shown: its builders do that.
    pkSwitch(int x, int y, int w, int h, plistenerproxy* listener, int tag, juce::Image* image, juce::Image* image2,
             double value);
    ~pkSwitch() override = default;

    // On from 1.0 up (compared as float), off below; never notifies.
    void setValue(float value) override;
    double getValue() override;
    int getType() override { return pctlswitch; }
    void setTip(const char* text) override;

    SwitchLookAndFeelNormal lookandfeel;
    juce::TextButton button;
};
