// pkView: a passive picture or label. It has no code and no listener and reports nothing.
#pragma once

#include "kit/pkcontrol.h"
#include "kit/pkimagelook.h"

class ViewLookAndFeelNormal : public ImageButtonLookAndFeel
{
public:
    // The picture at its own size from (0, 0), at `opacity`; the framework draws the text.
    void drawButtonBackground(juce::Graphics& g, juce::Button& button, const juce::Colour& background, bool highlighted,
                              bool down) override;

    double opacity = 1.0; // the graph view sets it again on each redraw
};

class pkView : public pkControl
{
public:
    // Takes ownership of the image; with one the view takes the image's whole size, else
    // w x h. A text that is not null becomes the label (Latin-1) in `textColour` (ARGB).
    pkView(int x, int y, int w, int h, juce::Image* image, const char* text, unsigned long textColour);
    ~pkView() override = default;

    // The stored value lives in the drawing object, beside the pictures.
    void setValue(float value) override { lookandfeel.value = value; }
    double getValue() override { return lookandfeel.value; }
    int getType() override { return pctlview; }
    void setTip(const char* text) override;

    ViewLookAndFeelNormal lookandfeel;
    juce::TextButton button;
};
